// The settings editor window with its real widgets over a Rig: the fake endpoint records the
// host and port put in force, the recording view the designators, the log sink every entry.
#include "config/DataFile.h"
#include "editor/DecimalEdit.h"
#include "editor/EditForm.h"
#include "editor/EditorFields.h"
#include "support/Fakes.h"

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

#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
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
QString Latin1(std::string_view name) { return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())); }

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
// A spin edit's text typed without taking the focus, so no other field's editing ends.
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

// Every control of EditorFields by name, with its row and the offset of the bytes it edits.
struct Editing {
  QString name;
  const FieldBinding* field;
  std::size_t offset;
};
std::vector<Editing> EditingControls() {
  std::vector<Editing> controls;
  for (const FieldBinding& f : EditorFields) {
    const QString name = Latin1(f.name);
    if (f.count == 0) controls.push_back({name, &f, f.offset});
    for (int n = 1; n <= f.count; ++n) controls.push_back({name + QString::number(n), &f, f.offset + (n - 1) * f.size});
  }
  return controls;
}

// The editor over a started panel, with the endpoint and captions wiped so that a hand-back shows.
struct Editor {
  Editor() {
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
  EXPECT_EQ(QFontInfo(Control(form, "AlarmAboveJvCalcEdit8")->font()).pixelSize(), 11);

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

  // The button panel along the bottom, its buttons left to right.
  auto* panel = Control(form, "AdvPanel1");
  EXPECT_EQ(panel->height(), 69);
  EXPECT_EQ(panel->geometry().bottom(), form.height() - 1);
  int previousX = -1;
  for (auto [name, caption] :
       {std::pair{"SaveButton", "Save"}, {"FinishButton", "Finish"}, {"CancelButton", "Cancel"}}) {
    auto* button = Control<QPushButton>(form, name);
    EXPECT_EQ(button->text(), caption);
    EXPECT_EQ(button->size(), QSize(75, 25));
    EXPECT_GT(button->x(), previousX);
    previousX = button->x();
  }

  // The first page: captions on the left of their fields, and the fields' limits.
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

  // The numbered families: each member in its group, captioned or labelled with its channel,
  // in rows of `across` (or, for the designators, in columns of 8).
  struct Family {
    const char* name;
    int count, across;
    const char* group;  // the frame's title; none for the designators
    const char* label;  // the caption before the number on the label at its left; none: the box's own text
  };
  for (const Family& f : {Family{"EnableReportingJvCheckBox", 16, 8, "Enable Reporting", nullptr},
                          {"RequiresAcceptJvCheckBox", 16, 8, "Requires Accept", nullptr},
                          {"RequiresResetJvCheckBox", 16, 8, "Requires Reset", nullptr},
                          {"AnalogueEnableReportingJvCheckBox", 8, 4, "Enable Reporting", nullptr},
                          {"AnalogueRequiresAcceptJvCheckBox", 8, 4, "Requires Accept", nullptr},
                          {"AnalogueRequiresResetJvCheckBox", 8, 4, "Requires Reset", nullptr},
                          {"OutputUsePulseJvCheckBox", 16, 8, "Pulse Outputs", nullptr},
                          {"AlarmAboveJvCalcEdit", 8, 4, "Alarm Above", ""},
                          {"AlarmBelowJvCalcEdit", 8, 4, "Alarm Below", ""},
                          {"AnalogueScalingJvCalcEdit", 8, 4, "Scaling", ""},
                          {"OutputPulsePeriodCSpinEdit", 16, 4, "Pulse Period (x10mS)", ""},
                          {"InputDesignatorLabeledEdit", 16, 0, nullptr, "Input "},
                          {"AnalogueDesignatorLabeledEdit", 8, 0, nullptr, "Input "},
                          {"OutputDesignatorLabeledEdit", 16, 0, nullptr, "Output "}}) {
    for (int n = 1; n <= f.count; ++n) {
      QWidget* member = Control(form, Nth(f.name, n));
      ShowPageOf(*pages, member);
      if (f.group) {
        EXPECT_EQ(qobject_cast<QGroupBox*>(member->parentWidget())->title(), f.group) << f.name;
      } else {
        EXPECT_EQ(qobject_cast<QLineEdit*>(member)->maxLength(), 32);
      }
      if (f.label) {
        auto* label = Control<QLabel>(form, Nth(f.name, n) + "Label");
        EXPECT_EQ(label->text(), f.label + QString::number(n));
        EXPECT_LT(label->x(), member->x());
      } else {
        EXPECT_EQ(qobject_cast<QCheckBox*>(member)->text(), QString::number(n));
      }
      const int first = f.across ? 1 + (n - 1) % f.across : n > 8 ? 9 : 1;
      EXPECT_EQ(member->x(), Control(form, Nth(f.name, first))->x()) << f.name << n;
      if (f.across) {
        EXPECT_EQ(member->y() > Control(form, Nth(f.name, first))->y(), n > f.across) << f.name << n;
      }
    }
  }
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(range(Nth("OutputPulsePeriodCSpinEdit", n)), std::pair(0, 65000));
  for (const Editing& c : EditingControls())
    EXPECT_TRUE(pages->widget(c.field->page)->isAncestorOf(Control(form, c.name))) << c.name.toStdString();
  // The digital groups: "Requires Accept" below "Enable Reporting", "Requires Reset" to its right.
  const QWidget* enable = Control(form, "EnableReportingJvCheckBox1")->parentWidget();
  EXPECT_GT(Control(form, "RequiresAcceptJvCheckBox1")->parentWidget()->y(), enable->y());
  EXPECT_GT(Control(form, "RequiresResetJvCheckBox1")->parentWidget()->x(), enable->x());
  // Digital designators, a divider, analogue designators, each half under its heading.
  EXPECT_EQ(Control<QLabel>(form, "DigitalInputsHeadingLabel")->text(), "Digital Inputs");
  EXPECT_EQ(Control<QLabel>(form, "AnalogueInputsHeadingLabel")->text(), "Analogue Inputs");
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
  std::vector<std::pair<QCheckBox*, const FieldBinding*>> boxes;
  for (const Editing& c : EditingControls())
    if (c.field->kind == ControlKind::Flag) boxes.emplace_back(Control<QCheckBox>(e.form, c.name), c.field);
  int groups = 0;
  for (const FieldBinding& family : EditorFields) {
    if (family.all.empty()) continue;
    ++groups;
    for (const bool checked : {true, false}) {
      // Every box starts opposite to what the button sets, so any box it touches shows.
      for (const auto& box : boxes) box.first->setChecked(!checked);
      const std::string_view name = checked ? family.all : family.none;
      auto* button = Control<QPushButton>(e.form, Latin1(name));
      EXPECT_EQ(button->text(), checked ? "Enable All" : "Disable All");
      button->click();
      for (auto [box, field] : boxes)
        EXPECT_EQ(box->isChecked(), field == &family ? checked : !checked)
            << name << " " << box->objectName().toStdString();
    }
  }
  EXPECT_EQ(groups, 7);
}

// Finish and the window's close control hand the copy back, asking first whether to save when
// it differs from the working configuration; the answer decides the rest.
TEST(EditorHandBack, FinishAndTheCloseControlFollowTheAnswer) {
  struct Case {
    std::optional<SaveAnswer> answer;  // none: nothing was edited, so nothing is asked
    // cppcheck-suppress unusedStructMember ; read through the structured binding below
    bool named;  // a file is chosen in the save dialog
  };
  for (const bool finish : {true, false}) {
    for (const auto [answer, named] :
         {Case{std::nullopt, false}, Case{SaveAnswer::Yes, true}, Case{SaveAnswer::Yes, false},
          Case{SaveAnswer::No, false}, Case{SaveAnswer::Cancel, false}}) {
      SCOPED_TRACE((finish ? "Finish, answer " : "close control, answer ") +
                   std::to_string(answer ? static_cast<int>(*answer) : -1) + (named ? " and a file" : ""));
      Editor e;
      e.form.ShowEditor();
      const auto file = e.rig.directory / "unit.dat";
      if (answer) {
        Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit9"), "Gate");
        e.rig.prompts.saveAnswers = {*answer};
      }
      e.rig.prompts.saveNames = {named ? std::optional(file.string()) : std::nullopt};
      if (finish)
        Click(e.form, "FinishButton");
      else
        e.form.close();

      const bool handedBack = answer != SaveAnswer::Cancel;
      const std::string shown = answer ? "Gate" : "Input 9";
      EXPECT_EQ(e.rig.prompts.questions, answer ? 1 : 0);
      EXPECT_EQ(e.form.isVisible(), !handedBack);
      EXPECT_EQ(e.HandedBack(), handedBack);
      EXPECT_EQ(e.rig.view.inputLabels[8], handedBack ? shown : "");
      EXPECT_EQ(ReadText(e.working().InputDesignator[8]), handedBack ? shown : "Input 9");
      EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit9")->text(), QString::fromStdString(shown));
      EXPECT_EQ(e.rig.prompts.saveNames.empty(), answer == SaveAnswer::Yes);  // the save dialog was shown
      EXPECT_EQ(FileBytes(file), named ? Encoded(e.working()) : std::vector<char>{});
      EXPECT_TRUE(e.rig.prompts.errors.empty());
    }
  }
}

TEST(EditorHandBack, CancelSaveAndTheOtherWaysOut) {
  // Edits undone before Finish: the bytes compare equal, so nothing is asked.
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
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_TRUE(e.HandedBack());
  }
  // Enter, Escape and showing again change nothing; Cancel drops the edits, and the next
  // showing shows the working configuration on the page left.
  {
    Editor e;
    e.form.ShowEditor();
    auto* pages = Control<QTabWidget>(e.form, "EditAdvPageControl");
    pages->setCurrentIndex(3);
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2"), "Kept");
    for (QWidget* target : {Control(e.form, "InputDesignatorLabeledEdit2"), Control(e.form, "FinishButton")}) {
      target->setFocus();
      for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(target, key);
    }
    e.form.ShowEditor();
    EXPECT_TRUE(e.form.isVisible());
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2")->text(), "Kept");
    Click(e.form, "CancelButton");
    EXPECT_FALSE(e.form.isVisible());
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_EQ(ReadText(e.working().InputDesignator[1]), "Input 2");
    EXPECT_FALSE(e.HandedBack());
    e.form.ShowEditor();
    EXPECT_EQ(pages->currentIndex(), 3);
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2")->text(), "Input 2");
  }
  // Save, then Cancel: the saved values are in force, but applied only at the next hand-back.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit1"), "Door");
    const auto file = e.rig.directory / "saved.dat";
    e.rig.prompts.saveNames = {file.string()};
    Click(e.form, "SaveButton");
    EXPECT_TRUE(e.form.isVisible());
    EXPECT_EQ(ReadText(e.working().InputDesignator[0]), "Door");
    EXPECT_EQ(FileBytes(file), Encoded(e.working()));
    Click(e.form, "CancelButton");
    EXPECT_FALSE(e.HandedBack());
    e.form.ShowEditor();
    Click(e.form, "FinishButton");  // nothing differs any more
    EXPECT_EQ(e.rig.prompts.questions, 0);
    EXPECT_EQ(e.rig.view.inputLabels[0], "Door");
  }
  // A save that fails is told, and the hand-back goes on.
  {
    Editor e;
    e.form.ShowEditor();
    Type(Control<QLineEdit>(e.form, "DeviceNameLabeledEdit"), "NEWNAME");
    const std::string file = (e.rig.directory / "missing" / "unit.dat").string();
    e.rig.prompts.saveAnswers = {SaveAnswer::Yes};
    e.rig.prompts.saveNames = {file};
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.errors, std::vector<std::string>{"Cannot save \"" + file +
                                                             "\": cannot create the file: No such file or directory"});
    EXPECT_FALSE(e.form.isVisible());
    EXPECT_EQ(ReadText(e.working().DeviceName), "NEWNAME");
    EXPECT_TRUE(e.HandedBack());
  }
  // A file loaded by the main window while the editor is open: Finish compares with, and replaces, it.
  {
    Editor e;
    e.form.ShowEditor();
    UnitConfiguration loaded = e.working();
    WriteText(loaded.DeviceName, "LOADED");
    const auto file = e.rig.directory / "loaded.dat";
    ASSERT_TRUE(WriteDataFile(file.string(), loaded).ok);
    e.rig.core.LoadConfigurationFile(file.string());
    e.rig.prompts.saveAnswers = {SaveAnswer::Cancel, SaveAnswer::No};
    Click(e.form, "FinishButton");
    EXPECT_EQ(ReadText(e.working().DeviceName), "LOADED");
    Click(e.form, "FinishButton");
    EXPECT_EQ(e.rig.prompts.questions, 2);
    EXPECT_EQ(ReadText(e.working().DeviceName), "KELDRON");
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

// A field changed in the record changes its own control and no other, and the controls store
// the record back as it was changed: no control shows or stores another's field. The texts
// carry every byte from 1 to 255 between them, the decimals values whose bits only an
// untouched field keeps (a NaN's payload, an unnormal).
TEST(EditorFields, EveryControlShowsAndStoresItsOwnField) {
  Editor e;
  e.form.ShowEditor();
  const UnitConfiguration working = e.working();
  const std::vector<Editing> fields = EditingControls();
  std::vector<QWidget*> controls;
  controls.reserve(fields.size());
  for (const Editing& f : fields) controls.push_back(Control(e.form, f.name));
  const auto shown = [&] {
    std::vector<QString> texts;
    for (QWidget* control : controls) {
      if (auto* box = qobject_cast<QCheckBox*>(control))
        texts.push_back(box->isChecked() ? "on" : "off");
      else if (auto* spin = qobject_cast<QSpinBox*>(control))
        texts.push_back(QString::number(spin->value()));
      else
        texts.push_back(qobject_cast<QLineEdit*>(control)->text());
    }
    return texts;
  };
  const std::pair<Extended, QString> decimals[] = {
      {X(0x3FFF, 0x8000000000000001ULL), "1.0000000000000000001"},
      {X("-0.0"), "-0"},
      {Infinity, "INF"},
      {Extended{{1, 2, 3, 4, 0, 0, 0, 0xC0, 0xFF, 0x7F}}, "NAN"},
      {X("123456.789"), "123456.789"},
      {Extended{{0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F}}, {}},  // an unnormal
      {Extended{{0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x00}}, {}},  // a pseudo-denormal
      {DenormMin, {}}};
  const std::vector<QString> before = shown();
  std::vector<std::string> wrong;
  int texts = 0, numbers = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    UnitConfiguration changed = working;
    auto* at = reinterpret_cast<std::uint8_t*>(&changed) + fields[i].offset;
    const std::int32_t whole = 4321;
    const auto& [decimal, decimalText] = decimals[numbers % std::size(decimals)];
    switch (fields[i].field->kind) {
      case ControlKind::Text:
        for (int k = 0; k < 7; ++k) at[k] = static_cast<std::uint8_t>((7 * texts + k) % 255 + 1);
        at[7] = 0;
        ++texts;
        break;
      case ControlKind::Whole: std::memcpy(at, &whole, sizeof whole); break;
      case ControlKind::Decimal: std::memcpy(at, decimal.bytes.data(), decimal.bytes.size()), ++numbers; break;
      case ControlKind::Flag: *at ^= 1; break;
    }
    e.form.ConfigurationToControls(changed);
    const std::vector<QString> after = shown();
    UnitConfiguration stored = working;
    e.form.ControlsToConfiguration(stored);
    const std::string name = fields[i].name.toStdString();
    for (std::size_t j = 0; j < fields.size(); ++j)
      if ((after[j] != before[j]) != (i == j)) wrong.push_back(name + " shows in " + fields[j].name.toStdString());
    if (fields[i].field->kind == ControlKind::Decimal && !decimalText.isEmpty() && after[i] != decimalText)
      wrong.push_back(name + " shows " + after[i].toStdString());
    if (!SameBytes(stored, changed)) wrong.push_back(name + " is not stored as shown");
  }
  EXPECT_GE(7 * texts, 255);
  EXPECT_EQ(wrong, std::vector<std::string>{});

  // The check box rows that look alike, each named in the record's own terms, so that no two can
  // swap unseen in EditorFields (the tests below do the same for the other look-alike rows).
  UnitConfiguration alike = working;
  const std::pair<const char*, std::uint8_t*> flags[] = {
      {"RequiresAcceptJvCheckBox2", &alike.DigitalRequiresAccept[1]},
      {"RequiresResetJvCheckBox3", &alike.DigitalRequiresReset[2]},
      {"AnalogueEnableReportingJvCheckBox4", &alike.AnalogueEnableReporting[3]},
      {"AnalogueRequiresAcceptJvCheckBox5", &alike.AnalogueRequiresAccept[4]},
      {"AnalogueRequiresResetJvCheckBox6", &alike.AnalogueRequiresReset[5]},
      {"OutputUsePulseJvCheckBox7", &alike.OutputUsePulse[6]},
      {"LostLinkEnableReportingJvCheckBox", &alike.LostLinkEnableReporting},
      {"LostLinkRequiresAcceptJvCheckBox", &alike.LostLinkRequiresAccept}};
  for (auto [name, flag] : flags) *flag ^= 1;
  e.form.ConfigurationToControls(alike);
  for (auto [name, flag] : flags) EXPECT_EQ(Control<QCheckBox>(e.form, name)->isChecked(), *flag != 0) << name;
}

TEST(EditorFields, BytesBeyondTheFieldsAndValuesBeyondTheLimits) {
  // Bytes after the terminators, the reserved holes, a text longer than anyone could type,
  // the whole-number extremes: Finish finds no change.
  {
    Editor e;
    UnitConfiguration odd{};
    std::memset(&odd, 0xA5, sizeof odd);  // every byte after a terminator, and both holes
    SetDefaults(odd);
    odd.UpdatePeriod = std::numeric_limits<std::int32_t>::min();
    odd.TimeoutPeriod = std::numeric_limits<std::int32_t>::max();
    WriteText(odd.InputDesignator[1], "Caf\xE9 \x81\x8D\x8F\x90\x9D \x80\x9F\xFF");
    WriteText(odd.OutputDesignator[0], std::string(34, 'L'));
    CopyConfiguration(e.working(), odd);
    e.form.ShowEditor();
    EXPECT_EQ(Control<QLineEdit>(e.form, "InputDesignatorLabeledEdit2")->text(),
              QString::fromUtf8("Caf\u00e9 \u0081\u008d\u008f\u0090\u009d \u20ac\u0178\u00ff"));
    EXPECT_EQ(Control<QLineEdit>(e.form, "OutputDesignatorLabeledEdit1")->text(), QString(34, 'L'));
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
  Type(Control<DecimalEdit>(e.form, "AnalogueScalingJvCalcEdit2"), "1023/2", false);
  // Half-typed whole numbers keep the previous value.
  Type(Control<QSpinBox>(e.form, "OutputPulsePeriodCSpinEdit3"), "");
  Type(Control<QSpinBox>(e.form, "UpdateCSpinEdit"), "-");
  Type(Control<QSpinBox>(e.form, "TimeoutCSpinEdit"), "45");
  // A designator takes at most 32 characters.
  Type(Control<QLineEdit>(e.form, "OutputDesignatorLabeledEdit2"), QString(40, 'x'));
  e.rig.prompts.saveAnswers = {SaveAnswer::No};
  Click(e.form, "FinishButton");
  EXPECT_EQ(e.working().AlarmAbove[0], X("14.0"));
  EXPECT_EQ(e.working().AnalogueScaling[1], X("511.5"));
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
