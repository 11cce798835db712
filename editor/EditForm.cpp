#include "editor/EditForm.h"

#include "config/AnsiCodec.h"
#include "config/DataFile.h"
#include "config/QtPanelFont.h"
#include "editor/DecimalEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <tuple>

namespace {
constexpr int IPAddressLimit = 62;
constexpr int DeviceNameLimit = 31;
constexpr int DesignatorLimit = 32;
constexpr int PanelHeight = 69;

QString Numbered(const char* name, int channel) { return QString::fromLatin1(name) + QString::number(channel); }

QLabel* Label(const QString& caption, const QString& name, QWidget* buddy = nullptr) {
  auto* label = new QLabel(caption);
  label->setObjectName(name);
  if (buddy) label->setBuddy(buddy);
  return label;
}

QCheckBox* Box(const QString& name, const QString& caption) {
  auto* box = new QCheckBox(caption);
  box->setObjectName(name);
  return box;
}

QGroupBox* Group(const char* name, const char* title) {
  auto* group = new QGroupBox(QString::fromLatin1(title));
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

// Tight margins: six pages of controls share a 702 by 334 pixel area.
template <typename Layout>
Layout* Tight(Layout* layout) {
  layout->setContentsMargins(4, 4, 4, 4);
  return layout;
}

QLineEdit* TextEdit(const QString& name, int limit, const QString& initial) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setMaxLength(limit);
  edit->setText(initial);
  return edit;
}

QSpinBox* SpinEdit(const QString& name, int minimum, int maximum, int initial) {
  auto* spin = new QSpinBox;
  spin->setObjectName(name);
  spin->setRange(minimum, maximum);
  spin->setValue(initial);
  return spin;
}

// Channel check boxes, captioned with their channel numbers, laid out row by row.
template <std::size_t N>
QGridLayout* BoxRows(std::array<QCheckBox*, N>& boxes, const char* name, int perRow) {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(0);
  for (int i = 0; i < static_cast<int>(N); ++i) {
    boxes[i] = Box(Numbered(name, i + 1), QString::number(i + 1));
    grid->addWidget(boxes[i], i / perRow, i % perRow);
  }
  return grid;
}

// A text field up to its NUL through the 8-bit codec. A longer text than the typing limit
// (only a file brings one) is shown whole, so an untouched field hands back the same bytes.
template <std::size_t N>
void ShowText(QLineEdit* edit, int limit, const char (&field)[N]) {
  const QString text = FromAnsi(ReadText(field));
  edit->setMaxLength(std::max<int>(limit, std::min<int>(static_cast<int>(text.size()), static_cast<int>(N) - 1)));
  edit->setText(text);
  edit->setCursorPosition(0);
}

// The characters and their NUL at the start of the field; the bytes after it stay as they were.
template <std::size_t N>
void StoreText(const QLineEdit* edit, char (&field)[N]) {
  WriteText(field, ToAnsi(edit->text()));
}

void ShowFlags(std::span<QCheckBox* const> boxes, const std::uint8_t* flags) {
  for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(flags[i] != 0);
}

void StoreFlags(std::span<QCheckBox* const> boxes, std::uint8_t* flags) {
  for (std::size_t i = 0; i < boxes.size(); ++i) flags[i] = boxes[i]->isChecked() ? 1 : 0;
}

// A spin edit's value after it has taken its text: text that is not a number within the
// limits leaves the previous value in place.
std::int32_t SpinValue(QSpinBox* spin) {
  spin->interpretText();
  return spin->value();
}
}  // namespace

TEditForm::TEditForm(ConfigurationOwner& owner, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), owner_(owner), prompts_(prompts) {
  setObjectName("EditForm");
  setWindowTitle("EditForm");
  setFont(PanelFont());  // the main window's, not the system's
  BuildControls();
  resize(702, 403);
  // The program's quit closes every window; that close is no operator's close and hands nothing back.
  if (QCoreApplication* application = QCoreApplication::instance()) application->installEventFilter(this);
  FormCreate();
}

void TEditForm::BuildControls() {
  EditAdvPageControl = new QTabWidget;
  EditAdvPageControl->setObjectName("EditAdvPageControl");
  EditAdvPageControl->addTab(BuildEthernetPage(), "Ethernet");
  EditAdvPageControl->addTab(BuildDigitalReportingPage(), "Digital Input Reporting");
  EditAdvPageControl->addTab(BuildAnalogueReportingPage(), "Analogue Reporting");
  EditAdvPageControl->addTab(BuildInputDesignatorsPage(), "Input Designators");
  EditAdvPageControl->addTab(BuildOutputDesignatorsPage(), "Outputs");
  EditAdvPageControl->addTab(BuildGeneralPage(), "General");
  EditAdvPageControl->setCurrentIndex(EditAdvPageControl->count() - 1);  // the stored layout's page

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(EditAdvPageControl, 1);
  layout->addWidget(BuildButtonPanel());
}

QWidget* TEditForm::BuildEthernetPage() {
  auto* page = new QWidget;
  page->setObjectName("EthernetAdvTabSheet");
  IPAddrEdit = TextEdit("IPAddrEdit", IPAddressLimit, "192");
  IPAddrEdit->setMinimumWidth(220);
  PortCSpinEdit = SpinEdit("PortCSpinEdit", 1, 65000, 3012);
  constexpr int intMin = std::numeric_limits<int>::min(), intMax = std::numeric_limits<int>::max();
  UpdateCSpinEdit = SpinEdit("UpdateCSpinEdit", intMin, intMax, 10);
  TimeoutCSpinEdit = SpinEdit("TimeoutCSpinEdit", intMin, intMax, 30);
  DeviceNameLabeledEdit = TextEdit("DeviceNameLabeledEdit", DeviceNameLimit, "KELDRON");
  DeviceNameLabeledEdit->setMinimumWidth(220);

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(24, 24, 24, 24);
  grid->setVerticalSpacing(12);
  grid->addWidget(Label("Target Address", "IPAddrEditLabel", IPAddrEdit), 0, 0);
  grid->addWidget(IPAddrEdit, 0, 1, 1, 2, Qt::AlignLeft);
  grid->addWidget(Label("Port", "PortCSpinEditLabel", PortCSpinEdit), 1, 0);
  grid->addWidget(PortCSpinEdit, 1, 1);
  grid->addWidget(Label("Update Period", "UpdateCSpinEditLabel", UpdateCSpinEdit), 2, 0);
  grid->addWidget(UpdateCSpinEdit, 2, 1);
  grid->addWidget(Label("Seconds", "UpdateCSpinEditUnitLabel"), 2, 2);
  grid->addWidget(Label("Timeout Period", "TimeoutCSpinEditLabel", TimeoutCSpinEdit), 3, 0);
  grid->addWidget(TimeoutCSpinEdit, 3, 1);
  grid->addWidget(Label("Seconds", "TimeoutCSpinEditUnitLabel"), 3, 2);
  grid->addWidget(Label("Device Name", "DeviceNameLabeledEditLabel", DeviceNameLabeledEdit), 4, 0);
  grid->addWidget(DeviceNameLabeledEdit, 4, 1, 1, 2, Qt::AlignLeft);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(5, 1);
  return page;
}

// A group's "Enable All" and "Disable All" buttons; neither is a default button.
void TEditForm::AddGroupButtons(QBoxLayout* buttons, const char* allName, void (TEditForm::*all)(),
                                const char* noneName, void (TEditForm::*none)()) const {
  for (auto [name, caption, handler] : {std::tuple{allName, "Enable All", all}, {noneName, "Disable All", none}}) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, handler);
    buttons->addWidget(button);
  }
}

QWidget* TEditForm::BuildDigitalReportingPage() {
  auto* page = new QWidget;
  page->setObjectName("DigitalReportingAdvTabSheet");
  // Sixteen boxes in two rows of eight, the group's two buttons below them.
  auto group = [this](const char* name, const char* title, std::array<QCheckBox*, DigitalInputCount>& boxes,
                      const char* boxName, const char* allName, void (TEditForm::*all)(), const char* noneName,
                      void (TEditForm::*none)()) {
    QGroupBox* box = Group(name, title);
    auto* layout = Tight(new QVBoxLayout(box));
    layout->addLayout(BoxRows(boxes, boxName, 8));
    auto* buttons = new QHBoxLayout;
    AddGroupButtons(buttons, allName, all, noneName, none);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return box;
  };
  auto* grid = Tight(new QGridLayout(page));
  grid->setHorizontalSpacing(4);
  grid->addWidget(
      group("EnableReportingGroupBox", "Enable Reporting", EnableReportingJvCheckBox, "EnableReportingJvCheckBox",
            "EnableReportingAllCheckedButton", &TEditForm::EnableReportingAllCheckedButtonClick,
            "EnableReportingNoneCheckedButton", &TEditForm::EnableReportingNoneCheckedButtonClick),
      0, 0);
  grid->addWidget(
      group("RequiresAcceptGroupBox", "Requires Accept", RequiresAcceptJvCheckBox, "RequiresAcceptJvCheckBox",
            "RequiresAcceptAllCheckedButton", &TEditForm::RequiresAcceptAllCheckedButtonClick,
            "RequiresAcceptNoneCheckedButton", &TEditForm::RequiresAcceptNoneCheckedButtonClick),
      1, 0);
  grid->addWidget(group("RequiresResetGroupBox", "Requires Reset", RequiresResetJvCheckBox, "RequiresResetJvCheckBox",
                        "RequiresResetAllCheckedButton", &TEditForm::RequiresResetAllCheckedButtonClick,
                        "RequiresResetNoneCheckedButton", &TEditForm::RequiresResetNoneCheckedButtonClick),
                  0, 1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(2, 1);
  return page;
}

QWidget* TEditForm::BuildAnalogueReportingPage() {
  auto* page = new QWidget;
  page->setObjectName("AnalogueReportingAdvTabSheet");
  // Eight calculator edits in two rows of four, each with its channel number as a label.
  auto edits = [](const char* name, const char* title, std::array<DecimalEdit*, AnalogueInputCount>& fields,
                  const char* fieldName, long double initial) {
    QGroupBox* box = Group(name, title);
    auto* grid = Tight(new QGridLayout(box));
    grid->setHorizontalSpacing(4);
    for (int i = 0; i < AnalogueInputCount; ++i) {
      fields[i] = new DecimalEdit;
      fields[i]->setObjectName(Numbered(fieldName, i + 1));
      fields[i]->SetValue(initial);
      fields[i]->setMinimumWidth(60);
      const int row = i / 4, column = (i % 4) * 2;
      grid->addWidget(Label(QString::number(i + 1), Numbered(fieldName, i + 1) + "Label", fields[i]), row, column,
                      Qt::AlignRight);
      grid->addWidget(fields[i], row, column + 1);
    }
    return box;
  };
  // Eight check boxes in two rows of four, "Enable All" above "Disable All" on their right.
  auto boxes = [this](const char* name, const char* title, std::array<QCheckBox*, AnalogueInputCount>& group,
                      const char* boxName, const char* allName, void (TEditForm::*all)(), const char* noneName,
                      void (TEditForm::*none)()) {
    QGroupBox* box = Group(name, title);
    auto* layout = Tight(new QHBoxLayout(box));
    layout->addLayout(BoxRows(group, boxName, 4));
    auto* buttons = new QVBoxLayout;
    AddGroupButtons(buttons, allName, all, noneName, none);
    layout->addLayout(buttons);
    return box;
  };

  auto* left = new QVBoxLayout;
  left->addWidget(edits("AlarmAboveGroupBox", "Alarm Above", AlarmAboveJvCalcEdit, "AlarmAboveJvCalcEdit", 0.0L));
  left->addWidget(edits("AlarmBelowGroupBox", "Alarm Below", AlarmBelowJvCalcEdit, "AlarmBelowJvCalcEdit", 0.0L));
  left->addWidget(edits("ScalingGroupBox", "Scaling", AnalogueScalingJvCalcEdit, "AnalogueScalingJvCalcEdit", 1023.0L));
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(boxes("AnalogueEnableReportingGroupBox", "Enable Reporting", AnalogueEnableReportingJvCheckBox,
                         "AnalogueEnableReportingJvCheckBox", "AnalogueEnableReportingAllCheckedButton",
                         &TEditForm::AnalogueEnableReportingAllCheckedButtonClick,
                         "AnalogueEnableReportingNoneCheckedButton",
                         &TEditForm::AnalogueEnableReportingNoneCheckedButtonClick));
  right->addWidget(boxes("AnalogueRequiresAcceptGroupBox", "Requires Accept", AnalogueRequiresAcceptJvCheckBox,
                         "AnalogueRequiresAcceptJvCheckBox", "AnalogueRequiresAcceptAllCheckedButton",
                         &TEditForm::AnalogueRequiresAcceptAllCheckedButtonClick,
                         "AnalogueRequiresAcceptNoneCheckedButton",
                         &TEditForm::AnalogueRequiresAcceptNoneCheckedButtonClick));
  right->addWidget(boxes("AnalogueRequiresResetGroupBox", "Requires Reset", AnalogueRequiresResetJvCheckBox,
                         "AnalogueRequiresResetJvCheckBox", "AnalogueRequiresResetAllCheckedButton",
                         &TEditForm::AnalogueRequiresResetAllCheckedButtonClick,
                         "AnalogueRequiresResetNoneCheckedButton",
                         &TEditForm::AnalogueRequiresResetNoneCheckedButtonClick));
  right->addStretch(1);
  auto* layout = Tight(new QHBoxLayout(page));
  layout->addLayout(left, 3);
  layout->addLayout(right, 2);
  return page;
}

QWidget* TEditForm::BuildInputDesignatorsPage() {
  auto* page = new QWidget;
  page->setObjectName("InputDesignatorsAdvTabSheet");
  auto* digital = new QGridLayout;
  digital->addWidget(Label("Digital Inputs", "DigitalInputsHeadingLabel"), 0, 0, 1, 4);
  for (int i = 0; i < DigitalInputCount; ++i) {
    const QString name = Numbered("InputDesignatorLabeledEdit", i + 1);
    InputDesignatorLabeledEdit[i] = TextEdit(name, DesignatorLimit, "Input 1");
    const int row = 1 + i % 8, column = (i / 8) * 2;
    digital->addWidget(Label(Numbered("Input ", i + 1), name + "Label", InputDesignatorLabeledEdit[i]), row, column);
    digital->addWidget(InputDesignatorLabeledEdit[i], row, column + 1);
  }
  auto* analogue = new QGridLayout;
  analogue->addWidget(Label("Analogue Inputs", "AnalogueInputsHeadingLabel"), 0, 0, 1, 2);
  for (int i = 0; i < AnalogueInputCount; ++i) {
    const QString name = Numbered("AnalogueDesignatorLabeledEdit", i + 1);
    AnalogueDesignatorLabeledEdit[i] = TextEdit(name, DesignatorLimit, "Input 1");
    analogue->addWidget(Label(Numbered("Input ", i + 1), name + "Label", AnalogueDesignatorLabeledEdit[i]), 1 + i, 0);
    analogue->addWidget(AnalogueDesignatorLabeledEdit[i], 1 + i, 1);
  }
  digital->setRowStretch(9, 1);
  analogue->setRowStretch(9, 1);
  auto* divider = new QFrame;
  divider->setObjectName("DesignatorsDivider");
  divider->setFrameShape(QFrame::VLine);
  divider->setFrameShadow(QFrame::Sunken);
  auto* layout = Tight(new QHBoxLayout(page));
  layout->addLayout(digital, 2);
  layout->addWidget(divider);
  layout->addLayout(analogue, 1);
  return page;
}

QWidget* TEditForm::BuildOutputDesignatorsPage() {
  auto* page = new QWidget;
  page->setObjectName("OutputDesignatorsAdvTabSheet");
  auto* designators = new QGridLayout;
  for (int i = 0; i < OutputCount; ++i) {
    const QString name = Numbered("OutputDesignatorLabeledEdit", i + 1);
    OutputDesignatorLabeledEdit[i] = TextEdit(name, DesignatorLimit, "Input 1");
    OutputDesignatorLabeledEdit[i]->setMinimumWidth(80);
    const int row = i % 8, column = (i / 8) * 2;
    designators->addWidget(Label(Numbered("Output ", i + 1), name + "Label", OutputDesignatorLabeledEdit[i]), row,
                           column);
    designators->addWidget(OutputDesignatorLabeledEdit[i], row, column + 1);
  }
  designators->setRowStretch(8, 1);

  QGroupBox* pulse = Group("PulseOutputsGroupBox", "Pulse Outputs");
  auto* pulseLayout = Tight(new QVBoxLayout(pulse));
  pulseLayout->addLayout(BoxRows(OutputUsePulseJvCheckBox, "OutputUsePulseJvCheckBox", 8));
  auto* pulseButtons = new QHBoxLayout;
  AddGroupButtons(pulseButtons, "OutputUsePulseCheckAllButton", &TEditForm::OutputUsePulseCheckAllButtonClick,
                  "OutputUsePulseCheckNoneButton", &TEditForm::OutputUsePulseCheckNoneButtonClick);
  pulseButtons->addStretch(1);
  pulseLayout->addLayout(pulseButtons);

  QGroupBox* period = Group("PulsePeriodGroupBox", "Pulse Period (x10mS)");
  auto* periodGrid = Tight(new QGridLayout(period));
  periodGrid->setHorizontalSpacing(4);
  for (int i = 0; i < OutputCount; ++i) {
    const QString name = Numbered("OutputPulsePeriodCSpinEdit", i + 1);
    OutputPulsePeriodCSpinEdit[i] = SpinEdit(name, 0, 65000, 1000);
    const int row = i / 4, column = (i % 4) * 2;
    periodGrid->addWidget(Label(QString::number(i + 1), name + "Label", OutputPulsePeriodCSpinEdit[i]), row, column,
                          Qt::AlignRight);
    periodGrid->addWidget(OutputPulsePeriodCSpinEdit[i], row, column + 1);
  }

  auto* right = new QVBoxLayout;
  right->addWidget(pulse);
  right->addWidget(period);
  right->addStretch(1);
  auto* layout = Tight(new QHBoxLayout(page));
  layout->addLayout(designators, 1);
  layout->addLayout(right, 1);
  return page;
}

QWidget* TEditForm::BuildGeneralPage() {
  auto* page = new QWidget;
  page->setObjectName("GeneralAdvTabSheet");
  EnableLoggingJvCheckBox = Box("EnableLoggingJvCheckBox", "Enable Logging");
  QGroupBox* lostLink = Group("LostLinkGroupBox", "Lost Link");
  LostLinkEnableReportingJvCheckBox = Box("LostLinkEnableReportingJvCheckBox", "Enable Reporting");
  LostLinkRequiresAcceptJvCheckBox = Box("LostLinkRequiresAcceptJvCheckBox", "Requires Accept");
  LostLinkRequiresResetJvCheckBox = Box("LostLinkRequiresResetJvCheckBox", "Requires Reset");
  auto* lostLinkLayout = new QVBoxLayout(lostLink);
  lostLinkLayout->addWidget(LostLinkEnableReportingJvCheckBox);
  lostLinkLayout->addWidget(LostLinkRequiresAcceptJvCheckBox);
  lostLinkLayout->addWidget(LostLinkRequiresResetJvCheckBox);
  // The keyboard visits the lost-link boxes as enable, reset, accept.
  setTabOrder(LostLinkEnableReportingJvCheckBox, LostLinkRequiresResetJvCheckBox);
  setTabOrder(LostLinkRequiresResetJvCheckBox, LostLinkRequiresAcceptJvCheckBox);

  auto* layout = new QGridLayout(page);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setVerticalSpacing(16);
  layout->addWidget(EnableLoggingJvCheckBox, 0, 0);
  layout->addWidget(lostLink, 1, 0);
  layout->setRowStretch(2, 1);
  layout->setColumnStretch(1, 1);
  return page;
}

QWidget* TEditForm::BuildButtonPanel() {
  auto* panel = new QFrame;
  panel->setObjectName("AdvPanel1");
  panel->setFixedHeight(PanelHeight);
  panel->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QHBoxLayout(panel);
  layout->addStretch(1);
  // None is a default button: Enter and Escape trigger none of them.
  for (auto [button, name, caption, handler] :
       {std::tuple{&SaveButton, "SaveButton", "Save", &TEditForm::SaveButtonClick},
        {&FinishButton, "FinishButton", "Finish", &TEditForm::FinishButtonClick},
        {&CancelButton, "CancelButton", "Cancel", &TEditForm::CancelButtonClick}}) {
    *button = new QPushButton(caption);
    (*button)->setObjectName(name);
    (*button)->setFixedSize(75, 25);
    (*button)->setAutoDefault(false);
    (*button)->setDefault(false);
    connect(*button, &QPushButton::clicked, this, handler);
    layout->addWidget(*button);
    layout->addSpacing(16);
  }
  layout->addStretch(1);
  return panel;
}

void TEditForm::FormCreate() { EditAdvPageControl->setCurrentIndex(0); }

void TEditForm::ShowEditor() {
  if (!isVisible()) {
    show();  // showEvent runs FormShow first
  } else if (isMinimized()) {
    showNormal();  // already visible: brought back as it was, nothing reloaded
  }
  raise();
  activateWindow();
}

void TEditForm::FormShow() {
  CopyConfiguration(Configuration, owner_.WorkingConfiguration());
  ConfigurationToControls(Configuration);
}

void TEditForm::showEvent(QShowEvent* event) {
  // Only a hidden window becoming visible reloads; a restore from the task bar does not.
  if (!event->spontaneous()) FormShow();
  QWidget::showEvent(event);
}

void TEditForm::CancelButtonClick() { hide(); }

void TEditForm::SaveButtonClick() { SaveConfigurationFile(); }

void TEditForm::FinishButtonClick() {
  if (HandBack()) hide();
}

void TEditForm::FormCloseQuery(bool& canClose) {
  canClose = false;
  if (HandBack()) canClose = true;
}

void TEditForm::closeEvent(QCloseEvent* event) {
  if (applicationQuitting_ || !isVisible()) {
    event->accept();
    return;
  }
  bool canClose = false;
  FormCloseQuery(canClose);
  if (canClose) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool TEditForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
    applicationQuitting_ = true;
    // Should the quit be refused elsewhere, the next turn of the loop forgets it.
    QTimer::singleShot(0, this, [this] { applicationQuitting_ = false; });
  }
  return QWidget::eventFilter(watched, event);
}

bool TEditForm::HandBack() {
  ControlsToConfiguration(Configuration);
  UnitConfiguration& working = owner_.WorkingConfiguration();
  if (ConfigurationDiffers(working, Configuration)) {
    switch (prompts_.AskSave()) {
      case SaveAnswer::Yes: SaveConfigurationFile(); break;
      case SaveAnswer::No: break;
      case SaveAnswer::Cancel: return false;
    }
  }
  CopyConfiguration(working, Configuration);
  owner_.ApplyEndpoint();
  owner_.ApplyDesignators();
  return true;
}

void TEditForm::SaveConfigurationFile() {
  ControlsToConfiguration(Configuration);
  const auto fileName = prompts_.ChooseFileToSave();
  if (!fileName) return;
  const SaveResult saved = WriteDataFile(*fileName, Configuration);
  // The copy is handed over whether or not the file was written; a failure is told, not hidden.
  CopyConfiguration(owner_.WorkingConfiguration(), Configuration);
  if (!saved.ok) prompts_.ShowError("Cannot save \"" + *fileName + "\": " + saved.reason);
}

void TEditForm::ConfigurationToControls(const UnitConfiguration& config) {
  ShowText(IPAddrEdit, IPAddressLimit, config.IPAddress);
  PortCSpinEdit->setValue(config.Port);
  ShowText(DeviceNameLabeledEdit, DeviceNameLimit, config.DeviceName);
  UpdateCSpinEdit->setValue(config.UpdatePeriod);
  TimeoutCSpinEdit->setValue(config.TimeoutPeriod);
  ShowFlags(EnableReportingJvCheckBox, config.DigitalEnableReporting);
  ShowFlags(RequiresAcceptJvCheckBox, config.DigitalRequiresAccept);
  ShowFlags(RequiresResetJvCheckBox, config.DigitalRequiresReset);
  ShowFlags(AnalogueEnableReportingJvCheckBox, config.AnalogueEnableReporting);
  ShowFlags(AnalogueRequiresAcceptJvCheckBox, config.AnalogueRequiresAccept);
  ShowFlags(AnalogueRequiresResetJvCheckBox, config.AnalogueRequiresReset);
  for (int i = 0; i < AnalogueInputCount; ++i) {
    AlarmAboveJvCalcEdit[i]->SetExtended(config.AlarmAbove[i]);
    AlarmBelowJvCalcEdit[i]->SetExtended(config.AlarmBelow[i]);
    AnalogueScalingJvCalcEdit[i]->SetExtended(config.AnalogueScaling[i]);
    ShowText(AnalogueDesignatorLabeledEdit[i], DesignatorLimit, config.AnalogueDesignator[i]);
  }
  for (int i = 0; i < DigitalInputCount; ++i)
    ShowText(InputDesignatorLabeledEdit[i], DesignatorLimit, config.InputDesignator[i]);
  for (int i = 0; i < OutputCount; ++i) {
    ShowText(OutputDesignatorLabeledEdit[i], DesignatorLimit, config.OutputDesignator[i]);
    OutputPulsePeriodCSpinEdit[i]->setValue(config.OutputPulsePeriod[i]);
  }
  EnableLoggingJvCheckBox->setChecked(config.EnableLogging != 0);
  LostLinkEnableReportingJvCheckBox->setChecked(config.LostLinkEnableReporting != 0);
  LostLinkRequiresAcceptJvCheckBox->setChecked(config.LostLinkRequiresAccept != 0);
  LostLinkRequiresResetJvCheckBox->setChecked(config.LostLinkRequiresReset != 0);
  ShowFlags(OutputUsePulseJvCheckBox, config.OutputUsePulse);
}

void TEditForm::ControlsToConfiguration(UnitConfiguration& config) {
  StoreText(IPAddrEdit, config.IPAddress);
  config.Port = SpinValue(PortCSpinEdit);
  StoreText(DeviceNameLabeledEdit, config.DeviceName);
  config.UpdatePeriod = SpinValue(UpdateCSpinEdit);
  config.TimeoutPeriod = SpinValue(TimeoutCSpinEdit);
  StoreFlags(EnableReportingJvCheckBox, config.DigitalEnableReporting);
  StoreFlags(RequiresAcceptJvCheckBox, config.DigitalRequiresAccept);
  StoreFlags(RequiresResetJvCheckBox, config.DigitalRequiresReset);
  StoreFlags(AnalogueEnableReportingJvCheckBox, config.AnalogueEnableReporting);
  StoreFlags(AnalogueRequiresAcceptJvCheckBox, config.AnalogueRequiresAccept);
  StoreFlags(AnalogueRequiresResetJvCheckBox, config.AnalogueRequiresReset);
  for (int i = 0; i < AnalogueInputCount; ++i) {
    config.AlarmAbove[i] = AlarmAboveJvCalcEdit[i]->ExtendedValue();
    config.AlarmBelow[i] = AlarmBelowJvCalcEdit[i]->ExtendedValue();
    config.AnalogueScaling[i] = AnalogueScalingJvCalcEdit[i]->ExtendedValue();
    StoreText(AnalogueDesignatorLabeledEdit[i], config.AnalogueDesignator[i]);
  }
  for (int i = 0; i < DigitalInputCount; ++i) StoreText(InputDesignatorLabeledEdit[i], config.InputDesignator[i]);
  for (int i = 0; i < OutputCount; ++i) {
    StoreText(OutputDesignatorLabeledEdit[i], config.OutputDesignator[i]);
    config.OutputPulsePeriod[i] = SpinValue(OutputPulsePeriodCSpinEdit[i]);
  }
  config.EnableLogging = EnableLoggingJvCheckBox->isChecked() ? 1 : 0;
  config.LostLinkEnableReporting = LostLinkEnableReportingJvCheckBox->isChecked() ? 1 : 0;
  config.LostLinkRequiresAccept = LostLinkRequiresAcceptJvCheckBox->isChecked() ? 1 : 0;
  config.LostLinkRequiresReset = LostLinkRequiresResetJvCheckBox->isChecked() ? 1 : 0;
  StoreFlags(OutputUsePulseJvCheckBox, config.OutputUsePulse);
}

void TEditForm::SetAll(std::span<QCheckBox* const> boxes, bool checked) {
  for (QCheckBox* box : boxes) box->setChecked(checked);
}

void TEditForm::EnableReportingAllCheckedButtonClick() { SetAll(EnableReportingJvCheckBox, true); }
void TEditForm::EnableReportingNoneCheckedButtonClick() { SetAll(EnableReportingJvCheckBox, false); }
void TEditForm::RequiresAcceptAllCheckedButtonClick() { SetAll(RequiresAcceptJvCheckBox, true); }
void TEditForm::RequiresAcceptNoneCheckedButtonClick() { SetAll(RequiresAcceptJvCheckBox, false); }
void TEditForm::RequiresResetAllCheckedButtonClick() { SetAll(RequiresResetJvCheckBox, true); }
void TEditForm::RequiresResetNoneCheckedButtonClick() { SetAll(RequiresResetJvCheckBox, false); }
void TEditForm::AnalogueEnableReportingAllCheckedButtonClick() { SetAll(AnalogueEnableReportingJvCheckBox, true); }
void TEditForm::AnalogueEnableReportingNoneCheckedButtonClick() { SetAll(AnalogueEnableReportingJvCheckBox, false); }
void TEditForm::AnalogueRequiresAcceptAllCheckedButtonClick() { SetAll(AnalogueRequiresAcceptJvCheckBox, true); }
void TEditForm::AnalogueRequiresAcceptNoneCheckedButtonClick() { SetAll(AnalogueRequiresAcceptJvCheckBox, false); }
void TEditForm::AnalogueRequiresResetAllCheckedButtonClick() { SetAll(AnalogueRequiresResetJvCheckBox, true); }
void TEditForm::AnalogueRequiresResetNoneCheckedButtonClick() { SetAll(AnalogueRequiresResetJvCheckBox, false); }
void TEditForm::OutputUsePulseCheckAllButtonClick() { SetAll(OutputUsePulseJvCheckBox, true); }
void TEditForm::OutputUsePulseCheckNoneButtonClick() { SetAll(OutputUsePulseJvCheckBox, false); }
