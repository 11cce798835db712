// The settings editor window with its real widgets over a Rig: the fake endpoint records the
// host and port put in force, the recording view the designators, the log sink every entry.
#include "config/DataFile.h"
#include "editor/DecimalEdit.h"
#include "editor/EditForm.h"
#include "support/Fakes.h"
#include "support/FileSizeLimit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

namespace {
template <typename T = QWidget>
T* Control(const QWidget& form, const QString& name) {
  T* control = form.findChild<T*>(name);
  EXPECT_NE(control, nullptr) << name.toStdString();
  return control;
}
QString Nth(const char* family, int n) { return QString::fromLatin1(family) + QString::number(n); }

void Click(const TEditForm& form, const char* button) {
  QTest::mouseClick(Control<QPushButton>(form, button), Qt::LeftButton);
}
// Replaces a text edit's contents by typing, as the operator would.
void Type(QLineEdit* edit, const QString& text, bool enter = true) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
  if (enter) QTest::keyClick(edit, Qt::Key_Return);
}
void Type(QSpinBox* spin, const QString& text) {
  QLineEdit* edit = spin->findChild<QLineEdit*>();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

// Brings the page holding the control to the front, so that its layout has placed it.
void ShowPageOf(QTabWidget& pages, const QWidget* control) {
  for (int i = 0; i < pages.count(); ++i)
    if (pages.widget(i)->isAncestorOf(control)) pages.setCurrentIndex(i);
}

bool SameBytes(const UnitConfiguration& a, const UnitConfiguration& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
std::vector<char> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
std::vector<char> Encoded(const UnitConfiguration& config) {
  const auto bytes = EncodeDataFile(config);
  return {bytes.begin(), bytes.end()};
}
Extended Bits(std::array<std::uint8_t, 10> bytes) { return Extended{bytes}; }

// The editor over a started panel, with the endpoint and captions wiped so that a hand-back shows.
struct Editor {
  Editor() { Wipe(); }
  void Wipe() {
    rig.endpoint.SetRemote("", 0);
    rig.view.inputLabels.fill("");
  }
  bool HandedBack() const { return rig.endpoint.port() != 0 && !rig.view.inputLabels[0].empty(); }
  UnitConfiguration& working() { return rig.core.Configuration; }
  Rig rig;
  TEditForm form{rig.core, rig.prompts};
};
}  // namespace

TEST(EditorWindow, HasSixPagesOfNamedControlsInTheirArrangement) {
  Editor e;
  const TEditForm& form = e.form;
  EXPECT_EQ(form.objectName(), "EditForm");
  EXPECT_EQ(form.windowTitle(), "EditForm");
  EXPECT_TRUE(form.isWindow());
  EXPECT_FALSE(form.isVisible());  // created hidden
  e.form.ShowEditor();
  EXPECT_EQ(form.size(), QSize(702, 403));  // every page fits the client area
  // The main window's font (Tahoma, 11 pixels), down to every control, not the system's.
  EXPECT_EQ(form.font().family(), "Tahoma");
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_EQ(QFontInfo(Control(form, "AlarmAboveJvCalcEdit8")->font()).pixelSize(), 11);
  EXPECT_EQ(QFontInfo(Control(form, "FinishButton")->font()).pixelSize(), 11);

  // The pages in tab order; the first showing opens on "Ethernet".
  auto* pages = Control<QTabWidget>(form, "EditAdvPageControl");
  const std::vector<std::pair<QString, QString>> expected = {{"EthernetAdvTabSheet", "Ethernet"},
                                                             {"DigitalReportingAdvTabSheet", "Digital Input Reporting"},
                                                             {"AnalogueReportingAdvTabSheet", "Analogue Reporting"},
                                                             {"InputDesignatorsAdvTabSheet", "Input Designators"},
                                                             {"OutputDesignatorsAdvTabSheet", "Outputs"},
                                                             {"GeneralAdvTabSheet", "General"}};
  ASSERT_EQ(pages->count(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(pages->widget(i)->objectName(), expected[i].first);
    EXPECT_EQ(pages->tabText(i), expected[i].second);
  }
  EXPECT_EQ(pages->currentIndex(), 0);

  // The button panel along the bottom; no button answers Enter or Escape.
  auto* panel = Control(form, "AdvPanel1");
  EXPECT_EQ(panel->height(), 69);
  EXPECT_EQ(panel->geometry().bottom(), form.height() - 1);
  int previousX = -1;
  for (auto [name, caption] :
       {std::pair{"SaveButton", "Save"}, {"FinishButton", "Finish"}, {"CancelButton", "Cancel"}}) {
    auto* button = Control<QPushButton>(form, name);
    EXPECT_EQ(button->text(), caption);
    EXPECT_EQ(button->size(), QSize(75, 25));
    EXPECT_FALSE(button->isDefault() || button->autoDefault()) << name;
    EXPECT_GT(button->x(), previousX);
    previousX = button->x();
  }

  // Labels, captions and limits of the first page.
  for (auto [edit, label] : {std::pair{"IPAddrEdit", "Target Address"},
                             {"PortCSpinEdit", "Port"},
                             {"UpdateCSpinEdit", "Update Period"},
                             {"TimeoutCSpinEdit", "Timeout Period"},
                             {"DeviceNameLabeledEdit", "Device Name"}}) {
    EXPECT_EQ(Control<QLabel>(form, QString(edit) + "Label")->text(), label);
    EXPECT_LT(Control(form, QString(edit) + "Label")->x(), Control(form, edit)->x());
  }
  EXPECT_EQ(Control<QLabel>(form, "UpdateCSpinEditUnitLabel")->text(), "Seconds");
  EXPECT_EQ(Control<QLabel>(form, "TimeoutCSpinEditUnitLabel")->text(), "Seconds");
  EXPECT_EQ(Control<QLineEdit>(form, "IPAddrEdit")->maxLength(), 62);
  EXPECT_EQ(Control<QLineEdit>(form, "DeviceNameLabeledEdit")->maxLength(), 31);
  auto range = [&](const QString& name) {
    auto* spin = Control<QSpinBox>(form, name);
    return std::pair{spin->minimum(), spin->maximum()};
  };
  EXPECT_EQ(range("PortCSpinEdit"), std::pair(1, 65000));
  EXPECT_EQ(range("UpdateCSpinEdit"), std::pair(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
  EXPECT_EQ(range("TimeoutCSpinEdit"), range("UpdateCSpinEdit"));

  // Check box families: captioned with the channel, in their group, rows of 8 (or 4).
  struct Family {
    const char* name;
    int count, perRow;
    const char* group;
  };
  for (const Family& f : {Family{"EnableReportingJvCheckBox", 16, 8, "Enable Reporting"},
                          {"RequiresAcceptJvCheckBox", 16, 8, "Requires Accept"},
                          {"RequiresResetJvCheckBox", 16, 8, "Requires Reset"},
                          {"AnalogueEnableReportingJvCheckBox", 8, 4, "Enable Reporting"},
                          {"AnalogueRequiresAcceptJvCheckBox", 8, 4, "Requires Accept"},
                          {"AnalogueRequiresResetJvCheckBox", 8, 4, "Requires Reset"},
                          {"OutputUsePulseJvCheckBox", 16, 8, "Pulse Outputs"}}) {
    ShowPageOf(*pages, Control(form, Nth(f.name, 1)));
    for (int n = 1; n <= f.count; ++n) {
      auto* box = Control<QCheckBox>(form, Nth(f.name, n));
      EXPECT_EQ(box->text(), QString::number(n));
      EXPECT_EQ(qobject_cast<QGroupBox*>(box->parentWidget())->title(), f.group) << f.name;
      auto* first = Control(form, Nth(f.name, 1 + (n - 1) % f.perRow));
      EXPECT_EQ(box->x(), first->x());
      EXPECT_EQ(box->y() > first->y(), n > f.perRow);
    }
  }
  // The digital groups: "Requires Accept" below "Enable Reporting", "Requires Reset" to its right.
  const QWidget* enable = Control(form, "EnableReportingJvCheckBox1")->parentWidget();
  EXPECT_GT(Control(form, "RequiresAcceptJvCheckBox1")->parentWidget()->y(), enable->y());
  EXPECT_GT(Control(form, "RequiresResetJvCheckBox1")->parentWidget()->x(), enable->x());

  // Calculator edits and pulse periods, each labelled with its channel, in their groups.
  for (auto [name, count, perRow, group] : {std::tuple{"AlarmAboveJvCalcEdit", 8, 4, "Alarm Above"},
                                            {"AlarmBelowJvCalcEdit", 8, 4, "Alarm Below"},
                                            {"AnalogueScalingJvCalcEdit", 8, 4, "Scaling"},
                                            {"OutputPulsePeriodCSpinEdit", 16, 4, "Pulse Period (x10mS)"}}) {
    for (int n = 1; n <= count; ++n) {
      QWidget* field = Control(form, Nth(name, n));
      ShowPageOf(*pages, field);
      EXPECT_EQ(Control<QLabel>(form, Nth(name, n) + "Label")->text(), QString::number(n));
      EXPECT_EQ(qobject_cast<QGroupBox*>(field->parentWidget())->title(), group);
      EXPECT_EQ(field->x(), Control(form, Nth(name, 1 + (n - 1) % perRow))->x());
    }
  }
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(range(Nth("OutputPulsePeriodCSpinEdit", n)), std::pair(0, 65000));
  EXPECT_NE(qobject_cast<DecimalEdit*>(Control(form, "AlarmAboveJvCalcEdit1")), nullptr);

  // Designators: labelled on their left, limited to 32 characters, in columns of 8.
  for (auto [name, count, caption] : {std::tuple{"InputDesignatorLabeledEdit", 16, "Input "},
                                      {"AnalogueDesignatorLabeledEdit", 8, "Input "},
                                      {"OutputDesignatorLabeledEdit", 16, "Output "}}) {
    for (int n = 1; n <= count; ++n) {
      auto* edit = Control<QLineEdit>(form, Nth(name, n));
      ShowPageOf(*pages, edit);
      EXPECT_EQ(edit->maxLength(), 32);
      auto* label = Control<QLabel>(form, Nth(name, n) + "Label");
      EXPECT_EQ(label->text(), Nth(caption, n));
      EXPECT_LT(label->x(), edit->x());
      EXPECT_EQ(edit->x(), Control(form, Nth(name, n > 8 ? 9 : 1))->x());
    }
  }
  auto* digitalHeading = Control<QLabel>(form, "DigitalInputsHeadingLabel");
  auto* analogueHeading = Control<QLabel>(form, "AnalogueInputsHeadingLabel");
  EXPECT_EQ(digitalHeading->text(), "Digital Inputs");
  EXPECT_EQ(analogueHeading->text(), "Analogue Inputs");
  EXPECT_LT(Control(form, "InputDesignatorLabeledEdit16")->x(), Control(form, "DesignatorsDivider")->x());
  EXPECT_GT(Control(form, "AnalogueDesignatorLabeledEdit1")->x(), Control(form, "DesignatorsDivider")->x());

  // General: logging, then the lost-link group top to bottom; the keyboard visits enable, reset, accept.
  EXPECT_EQ(Control<QCheckBox>(form, "EnableLoggingJvCheckBox")->text(), "Enable Logging");
  ShowPageOf(*pages, Control(form, "EnableLoggingJvCheckBox"));
  int previousY = -1;
  for (auto [name, caption] : {std::pair{"LostLinkEnableReportingJvCheckBox", "Enable Reporting"},
                               {"LostLinkRequiresAcceptJvCheckBox", "Requires Accept"},
                               {"LostLinkRequiresResetJvCheckBox", "Requires Reset"}}) {
    auto* box = Control<QCheckBox>(form, name);
    EXPECT_EQ(box->text(), caption);
    EXPECT_EQ(qobject_cast<QGroupBox*>(box->parentWidget())->title(), "Lost Link");
    EXPECT_GT(box->y(), previousY);
    previousY = box->y();
  }
  EXPECT_EQ(Control(form, "LostLinkEnableReportingJvCheckBox")->nextInFocusChain(),
            Control(form, "LostLinkRequiresResetJvCheckBox"));
  EXPECT_EQ(Control(form, "LostLinkRequiresResetJvCheckBox")->nextInFocusChain(),
            Control(form, "LostLinkRequiresAcceptJvCheckBox"));
}

TEST(EditorWindow, GroupButtonsSetOnlyTheirOwnGroup) {
  Editor e;
  e.form.ShowEditor();
  const std::vector<std::pair<const char*, int>> groups = {
      {"EnableReportingJvCheckBox", 16},       {"RequiresAcceptJvCheckBox", 16},
      {"RequiresResetJvCheckBox", 16},         {"AnalogueEnableReportingJvCheckBox", 8},
      {"AnalogueRequiresAcceptJvCheckBox", 8}, {"AnalogueRequiresResetJvCheckBox", 8},
      {"OutputUsePulseJvCheckBox", 16}};
  const std::vector<std::tuple<const char*, const char*, bool, const char*>> buttons = {
      {"EnableReportingAllCheckedButton", "EnableReportingJvCheckBox", true, "Enable All"},
      {"EnableReportingNoneCheckedButton", "EnableReportingJvCheckBox", false, "Disable All"},
      {"RequiresAcceptAllCheckedButton", "RequiresAcceptJvCheckBox", true, "Enable All"},
      {"RequiresAcceptNoneCheckedButton", "RequiresAcceptJvCheckBox", false, "Disable All"},
      {"RequiresResetAllCheckedButton", "RequiresResetJvCheckBox", true, "Enable All"},
      {"RequiresResetNoneCheckedButton", "RequiresResetJvCheckBox", false, "Disable All"},
      {"AnalogueEnableReportingAllCheckedButton", "AnalogueEnableReportingJvCheckBox", true, "Enable All"},
      {"AnalogueEnableReportingNoneCheckedButton", "AnalogueEnableReportingJvCheckBox", false, "Disable All"},
      {"AnalogueRequiresAcceptAllCheckedButton", "AnalogueRequiresAcceptJvCheckBox", true, "Enable All"},
      {"AnalogueRequiresAcceptNoneCheckedButton", "AnalogueRequiresAcceptJvCheckBox", false, "Disable All"},
      {"AnalogueRequiresResetAllCheckedButton", "AnalogueRequiresResetJvCheckBox", true, "Enable All"},
      {"AnalogueRequiresResetNoneCheckedButton", "AnalogueRequiresResetJvCheckBox", false, "Disable All"},
      {"OutputUsePulseCheckAllButton", "OutputUsePulseJvCheckBox", true, "Enable All"},
      {"OutputUsePulseCheckNoneButton", "OutputUsePulseJvCheckBox", false, "Disable All"}};
  auto* logging = Control<QCheckBox>(e.form, "EnableLoggingJvCheckBox");
  for (auto [button, family, checked, caption] : buttons) {
    // Every box starts opposite to what the button sets, so any box it touches shows.
    for (auto [name, count] : groups)
      for (int n = 1; n <= count; ++n) Control<QCheckBox>(e.form, Nth(name, n))->setChecked(!checked);
    logging->setChecked(!checked);
    auto* pushButton = Control<QPushButton>(e.form, button);
    EXPECT_EQ(pushButton->text(), caption);
    pushButton->click();
    for (auto [name, count] : groups)
      for (int n = 1; n <= count; ++n)
        EXPECT_EQ(Control<QCheckBox>(e.form, Nth(name, n))->isChecked(),
                  std::strcmp(name, family) == 0 ? checked : !checked)
            << button << " " << name << n;
    EXPECT_EQ(logging->isChecked(), !checked);
  }

  // "Disable All" and then Cancel: the configuration is untouched, and the next showing shows it.
  const UnitConfiguration before = e.working();
  Click(e.form, "EnableReportingNoneCheckedButton");
  Click(e.form, "CancelButton");
  EXPECT_FALSE(e.form.isVisible());
  EXPECT_TRUE(SameBytes(e.working(), before));
  e.form.ShowEditor();
  EXPECT_TRUE(Control<QCheckBox>(e.form, "EnableReportingJvCheckBox7")->isChecked());
  EXPECT_EQ(e.rig.prompts.questions, 0);
}

TEST(EditorHandBack, FollowsTheAnswerToTheSaveQuestion) {
  // Finish without any change: no question, the copy handed back and applied again.
  {
    Editor e;
    e.form.ShowEditor();
    EXPECT_TRUE(e.form.isVisible());
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_FALSE(e.form.isVisible());
    EXPECT_EQ(e.rig.endpoint.host(), "192.168.0.6");
    EXPECT_EQ(e.rig.endpoint.port(), 3012);
    EXPECT_EQ(e.rig.view.inputLabels[15], "Input 16");
    EXPECT_EQ(e.rig.view.outputCaptions[0], "Output 1");
    EXPECT_EQ(e.rig.view.analogueLabels[7], "Analogue 8");
  }
  // Changes made and undone before Finish: the bytes compare equal, so no question.
  {
    Editor e;
    e.form.ShowEditor();
    auto* name = Control<QLineEdit>(e.form, "DeviceNameLabeledEdit");
    Type(name, "OTHER");
    Type(name, "KELDRON");
    auto* box = Control<QCheckBox>(e.form, "RequiresResetJvCheckBox4");
    box->click();
    box->click();
    auto* above = Control<DecimalEdit>(e.form, "AlarmAboveJvCalcEdit2");
    Type(above, "5");
    Type(above, "1024");
    Type(Control<QSpinBox>(e.form, "PortCSpinEdit"), "4000");
    Type(Control<QSpinBox>(e.form, "PortCSpinEdit"), "3012");
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_TRUE(e.HandedBack());
  }
  // Yes, then the save dialog cancelled: nothing written, yet handed back and hidden.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit3"), "Pump");
    e.rig.prompts.saveAnswers = {SaveAnswer::Yes};
    e.rig.prompts.saveNames = {std::nullopt};
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 1);
    EXPECT_TRUE(e.rig.prompts.saveNames.empty());  // the dialog was shown
    EXPECT_FALSE(e.form.isVisible());
    EXPECT_EQ(ReadText(e.working().InputDesignator[2]), "Pump");
    EXPECT_EQ(e.rig.view.inputLabels[2], "Pump");
    for (const auto& entry : std::filesystem::directory_iterator(e.rig.directory))
      EXPECT_NE(entry.path().extension(), ".dat");
  }
  // Yes and a file name: the file holds the handed-back configuration.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "IPAddrEdit"), "127.0.0.1");
    const auto file = e.rig.directory / "unit.dat";
    e.rig.prompts.saveAnswers = {SaveAnswer::Yes};
    e.rig.prompts.saveNames = {file.string()};
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.endpoint.host(), "127.0.0.1");
    EXPECT_EQ(FileBytes(file), Encoded(e.working()));
    EXPECT_TRUE(e.rig.prompts.errors.empty());
  }
  // No: nothing saved, handed back.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "OutputDesignatorLabeledEdit16"), "Siren");
    e.rig.prompts.saveAnswers = {SaveAnswer::No};
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 1);
    EXPECT_EQ(e.rig.prompts.saveNames.size(), 0u);
    EXPECT_FALSE(e.form.isVisible());
    EXPECT_EQ(e.rig.view.outputCaptions[15], "Siren");
  }
  // Cancel: the window stays with the edits; nothing handed back or applied.
  {
    Editor e;
    e.form.ShowEditor();
    const UnitConfiguration before = e.working();
    Type(Control<QLineEdit>(e.form, "AnalogueDesignatorLabeledEdit1"), "Tank level");
    e.rig.prompts.saveAnswers = {SaveAnswer::Cancel};
    Click(e.form, "FinishButton");
    EXPECT_TRUE(e.form.isVisible());
    EXPECT_EQ(Control<QLineEdit>(e.form, "AnalogueDesignatorLabeledEdit1")->text(), "Tank level");
    EXPECT_TRUE(SameBytes(e.working(), before));
    EXPECT_FALSE(e.HandedBack());
  }
  // Cancel after edits: the edits are lost; the next showing shows the working configuration.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "DeviceNameLabeledEdit"), "LOST");
    Click(e.form, "CancelButton");
    EXPECT_EQ(ReadText(e.working().DeviceName), "KELDRON");
    EXPECT_FALSE(e.HandedBack());
    e.form.ShowEditor();
    EXPECT_EQ(Control<QLineEdit>(e.form, "DeviceNameLabeledEdit")->text(), "KELDRON");
  }
}

TEST(EditorHandBack, SaveAndTheCloseControl) {
  // Save, then Cancel: the saved values are in force, but not applied until the next hand-back.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit1"), "Door");
    const auto file = e.rig.directory / "saved.dat";
    e.rig.prompts.saveNames = {file.string()};
    Click(e.form, "SaveButton");
    EXPECT_TRUE(e.form.isVisible());
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_EQ(ReadText(e.working().InputDesignator[0]), "Door");
    EXPECT_EQ(FileBytes(file), Encoded(e.working()));
    Click(e.form, "CancelButton");
    EXPECT_EQ(ReadText(e.working().InputDesignator[0]), "Door");
    EXPECT_FALSE(e.HandedBack());
    e.form.ShowEditor();
    Click(e.form, "FinishButton");  // nothing differs any more
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_EQ(e.rig.view.inputLabels[0], "Door");
  }
  // The window's close control runs the same hand-back check.
  {
    Editor e;
    e.form.ShowEditor();
    EXPECT_TRUE(e.form.close());  // no change: no question
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_TRUE(e.HandedBack());
  }
  for (SaveAnswer answer : {SaveAnswer::Yes, SaveAnswer::No, SaveAnswer::Cancel}) {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit9"), "Gate");
    e.rig.prompts.saveAnswers = {answer};
    e.rig.prompts.saveNames = {std::nullopt};
    EXPECT_EQ(e.form.close(), answer != SaveAnswer::Cancel);
    EXPECT_EQ(e.form.isVisible(), answer == SaveAnswer::Cancel);
    EXPECT_EQ(e.rig.prompts.saveNames.empty(), answer == SaveAnswer::Yes);
    EXPECT_EQ(e.rig.view.inputLabels[8], answer == SaveAnswer::Cancel ? "" : "Gate");
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit9")->text(), "Gate");
  }
  // Ending the program closes every window; that is no operator's close and asks nothing.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit9"), "Gate");
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });  // in case the quit were refused
    QApplication::exec();
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_FALSE(e.form.isVisible());
  }
}

TEST(EditorHandBack, FailedSaveIsToldAndTheHandBackGoesOn) {
  // A directory that does not exist.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "DeviceNameLabeledEdit"), "NEWNAME");
    const std::string file = (e.rig.directory / "missing" / "unit.dat").string();
    e.rig.prompts.saveAnswers = {SaveAnswer::Yes};
    e.rig.prompts.saveNames = {file};
    Click(e.form, "FinishButton");
    ASSERT_EQ(e.rig.prompts.errors.size(), 1u);
    EXPECT_EQ(e.rig.prompts.errors[0],
              "Cannot save \"" + file + "\": cannot create the file: No such file or directory");
    EXPECT_FALSE(e.form.isVisible());
    EXPECT_EQ(ReadText(e.working().DeviceName), "NEWNAME");
    EXPECT_TRUE(e.HandedBack());
  }
  // A file that cannot be replaced keeps its old bytes.
  {
    Editor e;
    const auto file = e.rig.directory / "unit.dat";
    ASSERT_TRUE(WriteDataFile(file.string(), e.working()).ok);
    const std::vector<char> old = FileBytes(file);
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "DeviceNameLabeledEdit"), "NEWNAME");
    e.rig.prompts.saveNames = {file.string()};
    {
      FileSizeLimit full(1000);  // as on a full disk
      Click(e.form, "SaveButton");
    }
    ASSERT_EQ(e.rig.prompts.errors.size(), 1u);
    EXPECT_EQ(e.rig.prompts.errors[0], "Cannot save \"" + file.string() + "\": cannot write the file: File too large");
    EXPECT_EQ(FileBytes(file), old);
    EXPECT_EQ(ReadText(e.working().DeviceName), "NEWNAME");  // the copy still reaches the working configuration
    EXPECT_TRUE(e.form.isVisible());
  }
}

TEST(EditorHandBack, MeetsTheRunningPanel) {
  // A file loaded by the main window while the editor is open: Finish compares with, and replaces, it.
  {
    Editor e;
    e.form.ShowEditor();
    UnitConfiguration loaded = e.working();
    WriteText(loaded.DeviceName, "LOADED");
    const auto file = e.rig.directory / "loaded.dat";
    ASSERT_TRUE(WriteDataFile(file.string(), loaded).ok);
    e.rig.core.LoadConfigurationFile(file.string());
    ASSERT_TRUE(SameBytes(e.working(), loaded));
    e.rig.prompts.saveAnswers = {SaveAnswer::Cancel, SaveAnswer::No};
    Click(e.form, "FinishButton");
    EXPECT_EQ(ReadText(e.working().DeviceName), "LOADED");
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 2);
    EXPECT_EQ(ReadText(e.working().DeviceName), "KELDRON");
  }
  // Logging switched off takes effect only when the copy reaches the working configuration.
  {
    Editor e;
    e.form.ShowEditor();
    Control<QCheckBox>(e.form, "EnableLoggingJvCheckBox")->click();
    e.rig.core.LogEvent(EventCode::DigitalAlarm, 2);
    e.rig.prompts.saveAnswers = {SaveAnswer::No};
    Click(e.form, "FinishButton");
    e.rig.core.LogEvent(EventCode::DigitalAlarm, 3);
    EXPECT_EQ(e.rig.eventLines(), std::vector<std::string>{"05/12/2026,14:03:27,Input 3 Alarm\r\n"});
    EXPECT_EQ(e.working().EnableLogging, 0);
  }
  // Showing a visible editor only raises it; the page left is the page reopened.
  {
    Editor e;
    e.form.ShowEditor();
    auto* pages = Control<QTabWidget>(e.form, "EditAdvPageControl");
    pages->setCurrentIndex(3);
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2"), "Kept");
    e.form.ShowEditor();
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2")->text(), "Kept");
    Click(e.form, "CancelButton");
    e.form.ShowEditor();
    EXPECT_EQ(pages->currentIndex(), 3);
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2")->text(), "Input 2");
  }
  // Enter and Escape trigger no button.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "IPAddrEdit"), "127.0.0.2");
    for (QWidget* target : {Control(e.form, "IPAddrEdit"), Control(e.form, "FinishButton")}) {
      target->setFocus();
      QTest::keyClick(target, Qt::Key_Return);
      QTest::keyClick(target, Qt::Key_Enter);
      QTest::keyClick(target, Qt::Key_Escape);
    }
    EXPECT_TRUE(e.form.isVisible());
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_FALSE(e.HandedBack());
  }
}

TEST(EditorFields, RoundTripEveryByteThroughTheControls) {
  // The defaults as shown, and stored back to the same bytes.
  {
    Editor e;
    e.form.ShowEditor();
    EXPECT_EQ(Control<QLineEdit>(e.form, "IPAddrEdit")->text(), "192.168.0.6");
    EXPECT_EQ(Control<QSpinBox>(e.form, "PortCSpinEdit")->value(), 3012);
    EXPECT_EQ(Control<QSpinBox>(e.form, "UpdateCSpinEdit")->value(), 10);
    EXPECT_EQ(Control<QSpinBox>(e.form, "TimeoutCSpinEdit")->value(), 20);
    EXPECT_EQ(Control<QLineEdit>(e.form, "DeviceNameLabeledEdit")->text(), "KELDRON");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AlarmAboveJvCalcEdit8")->text(), "1024");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AlarmBelowJvCalcEdit1")->text(), "0");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AnalogueScalingJvCalcEdit4")->text(), "1023");
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit16")->text(), "Input 16");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AnalogueDesignatorLabeledEdit8")->text(), "Analogue 8");
    EXPECT_EQ(Control<QLineEdit>(e.form, "OutputDesignatorLabeledEdit1")->text(), "Output 1");
    EXPECT_EQ(Control<QSpinBox>(e.form, "OutputPulsePeriodCSpinEdit16")->value(), 1000);
    EXPECT_FALSE(Control<QCheckBox>(e.form, "OutputUsePulseJvCheckBox1")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(e.form, "LostLinkRequiresResetJvCheckBox")->isChecked());
    UnitConfiguration stored = e.form.Configuration;
    e.form.ControlsToConfiguration(stored);
    EXPECT_TRUE(SameBytes(stored, e.working()));
  }
  // Unusual values, bytes after the terminators and the reserved holes: Finish finds no change.
  {
    Editor e;
    UnitConfiguration odd{};
    std::memset(&odd, 0xA5, sizeof odd);  // every byte after a terminator, and both holes
    SetDefaults(odd);
    WriteText(odd.IPAddress, "127.0.0.1");
    odd.Port = 65000;
    WriteText(odd.DeviceName, std::string(31, 'D'));
    odd.UpdatePeriod = std::numeric_limits<std::int32_t>::min();
    odd.TimeoutPeriod = std::numeric_limits<std::int32_t>::max();
    odd.DigitalRequiresAccept[4] = 0;
    odd.AnalogueRequiresReset[7] = 0;
    odd.LostLinkRequiresAccept = 0;
    odd.OutputUsePulse[9] = 1;
    odd.OutputPulsePeriod[0] = 0;
    odd.OutputPulsePeriod[15] = 65000;
    WriteText(odd.InputDesignator[0], "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");  // 32 characters
    WriteText(odd.InputDesignator[1], "Caf\xE9 \x81\x8D\x8F\x90\x9D \x80\x9F\xFF");
    WriteText(odd.OutputDesignator[0], std::string(34, 'L'));  // longer than the editor lets anyone type
    // Every byte from 1 to 255 passes through one of the analogue designators.
    for (int b = 1, field = 0; b < 256; ++field) {
      std::string text;
      for (; b < 256 && text.size() < 32; ++b) text.push_back(static_cast<char>(b));
      WriteText(odd.AnalogueDesignator[field], text);
    }
    odd.AlarmAbove[0].Set(1.0L + 0x1p-63L);
    odd.AlarmAbove[1].Set(0.1L);
    odd.AlarmAbove[2].Set(1.0L / 3.0L);
    odd.AlarmAbove[3].Set(1e-4000L);
    odd.AlarmAbove[4].Set(-0.0L);
    odd.AlarmAbove[5].Set(std::numeric_limits<long double>::max());
    odd.AlarmAbove[6].Set(std::numeric_limits<long double>::denorm_min());
    odd.AlarmAbove[7].Set(-1e4000L);
    odd.AlarmBelow[0].Set(std::numeric_limits<long double>::infinity());
    odd.AlarmBelow[1].Set(-std::numeric_limits<long double>::infinity());
    odd.AlarmBelow[2] = Bits({1, 2, 3, 4, 0, 0, 0, 0xC0, 0xFF, 0x7F});  // a NaN with a payload
    odd.AlarmBelow[3] = Bits({9, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF});  // a signalling NaN
    odd.AlarmBelow[4] = Bits({0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F});  // an unnormal
    odd.AlarmBelow[5] = Bits({0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x00});  // a pseudo-denormal
    odd.AnalogueScaling[0].Set(123456.789L);
    CopyConfiguration(e.working(), odd);

    e.form.ShowEditor();
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2")->text(),
              QString::fromUtf8("Caf\u00e9 \u0081\u008d\u008f\u0090\u009d \u20ac\u0178\u00ff"));
    EXPECT_EQ(Control<QLineEdit>(e.form, "OutputDesignatorLabeledEdit1")->text(), QString(34, 'L'));
    EXPECT_EQ(Control<QLineEdit>(e.form, "AlarmAboveJvCalcEdit1")->text(), "1.0000000000000000001");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AlarmAboveJvCalcEdit5")->text(), "-0");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AlarmBelowJvCalcEdit1")->text(), "INF");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AlarmBelowJvCalcEdit3")->text(), "NAN");
    EXPECT_EQ(Control<QLineEdit>(e.form, "AnalogueScalingJvCalcEdit1")->text(), "123456.789");
    EXPECT_EQ(Control<QSpinBox>(e.form, "UpdateCSpinEdit")->value(), std::numeric_limits<std::int32_t>::min());
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_TRUE(SameBytes(e.working(), odd));
  }
  // A flag byte of 2 shows as on and stays 2 until the box is stored, then becomes 1; values the
  // controls cannot hold come back within their limits.
  {
    Editor e;
    e.working().DigitalEnableReporting[3] = 2;
    e.working().EnableLogging = 2;
    e.working().Port = 70000;
    std::memset(e.working().InputDesignator[5], 'N', DesignatorFieldSize);  // no terminator at all
    UnitConfiguration expected = e.working();
    e.form.ShowEditor();
    EXPECT_TRUE(Control<QCheckBox>(e.form, "EnableReportingJvCheckBox4")->isChecked());
    EXPECT_EQ(e.form.Configuration.DigitalEnableReporting[3], 2);
    Click(e.form, "CancelButton");
    EXPECT_EQ(e.working().DigitalEnableReporting[3], 2);
    e.form.ShowEditor();
    e.rig.prompts.saveAnswers = {SaveAnswer::No};
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 1);
    expected.DigitalEnableReporting[3] = 1;
    expected.EnableLogging = 1;
    expected.Port = 65000;
    expected.InputDesignator[5][DesignatorFieldSize - 1] = '\0';
    EXPECT_TRUE(SameBytes(e.working(), expected));
  }
}

TEST(EditorFields, TypedValuesAndTextThatIsNoNumber) {
  Editor e;
  e.form.ShowEditor();
  // The calculator: an expression becomes its value and is shown as such.
  auto* above = Control<DecimalEdit>(e.form, "AlarmAboveJvCalcEdit1");
  const QString hint =
      "A number or an expression: + - * / with parentheses and unary minus, e.g. (1023 - 23) / 2.\n"
      "The result replaces the text when editing ends.";
  EXPECT_EQ(above->toolTip(), hint);
  Type(above, "2*(3+4)");
  EXPECT_EQ(above->text(), "14");
  EXPECT_FALSE(above->property("invalid").toBool());
  // Text that is no number keeps the previous value and marks the field.
  Type(above, "twelve");
  EXPECT_TRUE(above->property("invalid").toBool());
  EXPECT_EQ(above->text(), "twelve");
  EXPECT_EQ(above->toolTip(), "Not a number: the previous value is kept.\n" + hint);
  // Typed but not yet ended: the store reads it all the same.
  auto* scaling = Control<DecimalEdit>(e.form, "AnalogueScalingJvCalcEdit2");
  Type(scaling, "1023/2", false);
  // Half-typed whole numbers keep the previous value.
  Type(Control<QSpinBox>(e.form, "OutputPulsePeriodCSpinEdit3"), "");
  Type(Control<QSpinBox>(e.form, "UpdateCSpinEdit"), "-");
  Type(Control<QSpinBox>(e.form, "TimeoutCSpinEdit"), "45");
  // A designator takes at most 32 characters.
  Type(Control<QLineEdit>(e.form, "OutputDesignatorLabeledEdit2"), QString(40, 'x'));
  e.rig.prompts.saveAnswers = {SaveAnswer::No};
  Click(e.form, "FinishButton");
  EXPECT_EQ(e.working().AlarmAbove[0].Get(), 14.0L);
  EXPECT_EQ(e.working().AnalogueScaling[1].Get(), 511.5L);
  EXPECT_EQ(e.working().OutputPulsePeriod[2], 1000);
  EXPECT_EQ(e.working().UpdatePeriod, 10);
  EXPECT_EQ(e.working().TimeoutPeriod, 45);
  EXPECT_EQ(ReadText(e.working().OutputDesignator[1]), std::string(32, 'x'));
  // The next showing clears the mark.
  e.form.ShowEditor();
  EXPECT_EQ(above->text(), "14");
  EXPECT_FALSE(above->property("invalid").toBool());
  EXPECT_EQ(above->toolTip(), hint);
}
