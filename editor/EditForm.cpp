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
#include <cstring>
#include <tuple>

namespace {
constexpr int PanelHeight = 69;

QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }
QString Numbered(std::string_view name, int channel) { return Latin1(name) + QString::number(channel); }

QLabel* Label(const QString& caption, const QString& name, QWidget* buddy = nullptr) {
  auto* label = new QLabel(caption);
  label->setObjectName(name);
  if (buddy) label->setBuddy(buddy);
  return label;
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

template <typename Control>
Control* Named(Control* control, const QString& name) {
  control->setObjectName(name);
  return control;
}

// The control for one member of a row (channel 1 up), showing the stored layout's values until the first showing.
QWidget* MakeControl(const FieldBinding& field, int channel) {
  const QString name = field.count ? Numbered(field.name, channel) : Latin1(field.name);
  switch (field.kind) {
    case ControlKind::Flag:
      // A family's boxes are captioned with their channel numbers.
      return Named(new QCheckBox(field.count ? QString::number(channel) : Latin1(field.text)), name);
    case ControlKind::Whole: {
      auto* spin = Named(new QSpinBox, name);
      spin->setRange(field.minimum, field.maximum);
      spin->setValue(field.initial);
      return spin;
    }
    case ControlKind::Decimal: {
      auto* edit = Named(new DecimalEdit, name);
      edit->SetValue(field.initial);
      edit->setMinimumWidth(60);
      return edit;
    }
    case ControlKind::Text: {
      auto* edit = Named(new QLineEdit, name);
      edit->setMaxLength(field.maximum);
      edit->setText(Latin1(field.text));
      return edit;
    }
  }
  return nullptr;
}

// Channel check boxes laid out row by row.
QGridLayout* BoxRows(std::span<QWidget* const> boxes, int perRow) {
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(0);
  for (int i = 0; i < static_cast<int>(boxes.size()); ++i) grid->addWidget(boxes[i], i / perRow, i % perRow);
  return grid;
}

// A family's fields in its frame in rows of four, each behind a label with its channel number.
QGroupBox* NumberedRows(const char* name, const char* title, std::span<QWidget* const> fields) {
  QGroupBox* box = Group(name, title);
  auto* grid = Tight(new QGridLayout(box));
  grid->setHorizontalSpacing(4);
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    const int row = i / 4, column = (i % 4) * 2;
    grid->addWidget(Label(QString::number(i + 1), fields[i]->objectName() + "Label", fields[i]), row, column,
                    Qt::AlignRight);
    grid->addWidget(fields[i], row, column + 1);
  }
  return box;
}

// A family's designator fields in columns of eight from `firstRow`, each behind its caption and number.
void Designators(QGridLayout* grid, std::span<QWidget* const> edits, const char* caption, int firstRow) {
  for (int i = 0; i < static_cast<int>(edits.size()); ++i) {
    const int row = firstRow + i % 8, column = (i / 8) * 2;
    grid->addWidget(Label(Numbered(caption, i + 1), edits[i]->objectName() + "Label", edits[i]), row, column);
    grid->addWidget(edits[i], row, column + 1);
  }
}

// A text field up to its NUL through the 8-bit codec. A longer text than the typing limit
// (only a file brings one) is shown whole, so an untouched field hands back the same bytes.
void ShowText(QLineEdit* edit, const FieldBinding& field, const char* bytes) {
  const QString text = FromAnsi(ReadTextField(bytes, field.size));
  const int room = static_cast<int>(field.size) - 1;
  edit->setMaxLength(std::max<int>(field.maximum, std::min<int>(static_cast<int>(text.size()), room)));
  edit->setText(text);
  edit->setCursorPosition(0);
}

// A spin edit's value after it has taken its text: text that is not a number within the
// limits leaves the previous value in place.
std::int32_t SpinValue(QSpinBox* spin) {
  spin->interpretText();
  return spin->value();
}

template <typename T>
T Load(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

template <typename T>
void Store(char* bytes, const T& value) {
  std::memcpy(bytes, &value, sizeof value);
}

void ShowField(const FieldBinding& field, QWidget* control, const char* bytes) {
  switch (field.kind) {
    case ControlKind::Flag: static_cast<QCheckBox*>(control)->setChecked(*bytes != 0); break;
    case ControlKind::Whole: static_cast<QSpinBox*>(control)->setValue(Load<std::int32_t>(bytes)); break;
    case ControlKind::Decimal: static_cast<DecimalEdit*>(control)->SetExtended(Load<Extended>(bytes)); break;
    case ControlKind::Text: ShowText(static_cast<QLineEdit*>(control), field, bytes); break;
  }
}

// A text stores its characters and their NUL at the start of the field; the bytes after it stay as they were.
void StoreField(const FieldBinding& field, QWidget* control, char* bytes) {
  switch (field.kind) {
    case ControlKind::Flag: *bytes = static_cast<QCheckBox*>(control)->isChecked() ? 1 : 0; break;
    case ControlKind::Whole: Store(bytes, SpinValue(static_cast<QSpinBox*>(control))); break;
    case ControlKind::Decimal: Store(bytes, static_cast<DecimalEdit*>(control)->ExtendedValue()); break;
    case ControlKind::Text: WriteTextField(bytes, field.size, ToAnsi(static_cast<QLineEdit*>(control)->text())); break;
  }
}

// Calls visit(field, control, bytes) for every editing control with the bytes of the record it edits.
template <typename Byte, typename Visit>
void ForEachControl(const FieldControls& controls, Byte* record, Visit visit) {
  for (std::size_t row = 0; row < EditorFields.size(); ++row) {
    const FieldBinding& field = EditorFields[row];
    for (int i = 0; i < ControlCount(field); ++i)
      visit(field, controls[row][i], record + field.offset + i * field.size);
  }
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
  for (std::size_t row = 0; row < EditorFields.size(); ++row) {
    const FieldBinding& field = EditorFields[row];
    for (int n = 1; n <= ControlCount(field); ++n) fieldControls_[row].push_back(MakeControl(field, n));
  }
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
  QWidget* address = Control("IPAddrEdit");
  QWidget* port = Control("PortCSpinEdit");
  QWidget* update = Control("UpdateCSpinEdit");
  QWidget* timeout = Control("TimeoutCSpinEdit");
  QWidget* deviceName = Control("DeviceNameLabeledEdit");
  address->setMinimumWidth(220);
  deviceName->setMinimumWidth(220);

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(24, 24, 24, 24);
  grid->setVerticalSpacing(12);
  grid->addWidget(Label("Target Address", "IPAddrEditLabel", address), 0, 0);
  grid->addWidget(address, 0, 1, 1, 2, Qt::AlignLeft);
  grid->addWidget(Label("Port", "PortCSpinEditLabel", port), 1, 0);
  grid->addWidget(port, 1, 1);
  grid->addWidget(Label("Update Period", "UpdateCSpinEditLabel", update), 2, 0);
  grid->addWidget(update, 2, 1);
  grid->addWidget(Label("Seconds", "UpdateCSpinEditUnitLabel"), 2, 2);
  grid->addWidget(Label("Timeout Period", "TimeoutCSpinEditLabel", timeout), 3, 0);
  grid->addWidget(timeout, 3, 1);
  grid->addWidget(Label("Seconds", "TimeoutCSpinEditUnitLabel"), 3, 2);
  grid->addWidget(Label("Device Name", "DeviceNameLabeledEditLabel", deviceName), 4, 0);
  grid->addWidget(deviceName, 4, 1, 1, 2, Qt::AlignLeft);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(5, 1);
  return page;
}

// A check box family in its frame, in two rows, with its "Enable All" and "Disable All" buttons
// (neither a default button): below sixteen boxes, on the right of eight.
QGroupBox* TEditForm::BoxGroup(const char* name, const char* title, FieldRow family, void (TEditForm::*all)(),
                               void (TEditForm::*none)()) {
  const FieldBinding& field = EditorFields[family.index];
  const bool below = field.count == 16;
  QGroupBox* group = Group(name, title);
  QBoxLayout* layout = below ? static_cast<QBoxLayout*>(new QVBoxLayout(group)) : new QHBoxLayout(group);
  Tight(layout)->addLayout(BoxRows(Controls(family), field.count / 2));
  QBoxLayout* buttons = below ? static_cast<QBoxLayout*>(new QHBoxLayout) : new QVBoxLayout;
  for (auto [button, caption, handler] :
       {std::tuple{field.all, "Enable All", all}, {field.none, "Disable All", none}}) {
    auto* push = Named(new QPushButton(caption), Latin1(button));
    push->setAutoDefault(false);
    connect(push, &QPushButton::clicked, this, handler);
    buttons->addWidget(push);
  }
  if (below) buttons->addStretch(1);
  layout->addLayout(buttons);
  return group;
}

QWidget* TEditForm::BuildDigitalReportingPage() {
  auto* page = new QWidget;
  page->setObjectName("DigitalReportingAdvTabSheet");
  auto* grid = Tight(new QGridLayout(page));
  grid->setHorizontalSpacing(4);
  grid->addWidget(
      BoxGroup("EnableReportingGroupBox", "Enable Reporting", "EnableReportingJvCheckBox",
               &TEditForm::EnableReportingAllCheckedButtonClick, &TEditForm::EnableReportingNoneCheckedButtonClick),
      0, 0);
  grid->addWidget(
      BoxGroup("RequiresAcceptGroupBox", "Requires Accept", "RequiresAcceptJvCheckBox",
               &TEditForm::RequiresAcceptAllCheckedButtonClick, &TEditForm::RequiresAcceptNoneCheckedButtonClick),
      1, 0);
  grid->addWidget(
      BoxGroup("RequiresResetGroupBox", "Requires Reset", "RequiresResetJvCheckBox",
               &TEditForm::RequiresResetAllCheckedButtonClick, &TEditForm::RequiresResetNoneCheckedButtonClick),
      0, 1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(2, 1);
  return page;
}

QWidget* TEditForm::BuildAnalogueReportingPage() {
  auto* page = new QWidget;
  page->setObjectName("AnalogueReportingAdvTabSheet");
  auto* left = new QVBoxLayout;
  left->addWidget(NumberedRows("AlarmAboveGroupBox", "Alarm Above", Controls("AlarmAboveJvCalcEdit")));
  left->addWidget(NumberedRows("AlarmBelowGroupBox", "Alarm Below", Controls("AlarmBelowJvCalcEdit")));
  left->addWidget(NumberedRows("ScalingGroupBox", "Scaling", Controls("AnalogueScalingJvCalcEdit")));
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(BoxGroup("AnalogueEnableReportingGroupBox", "Enable Reporting", "AnalogueEnableReportingJvCheckBox",
                            &TEditForm::AnalogueEnableReportingAllCheckedButtonClick,
                            &TEditForm::AnalogueEnableReportingNoneCheckedButtonClick));
  right->addWidget(BoxGroup("AnalogueRequiresAcceptGroupBox", "Requires Accept", "AnalogueRequiresAcceptJvCheckBox",
                            &TEditForm::AnalogueRequiresAcceptAllCheckedButtonClick,
                            &TEditForm::AnalogueRequiresAcceptNoneCheckedButtonClick));
  right->addWidget(BoxGroup("AnalogueRequiresResetGroupBox", "Requires Reset", "AnalogueRequiresResetJvCheckBox",
                            &TEditForm::AnalogueRequiresResetAllCheckedButtonClick,
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
  Designators(digital, Controls("InputDesignatorLabeledEdit"), "Input ", 1);
  auto* analogue = new QGridLayout;
  analogue->addWidget(Label("Analogue Inputs", "AnalogueInputsHeadingLabel"), 0, 0, 1, 2);
  Designators(analogue, Controls("AnalogueDesignatorLabeledEdit"), "Input ", 1);
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
  for (QWidget* edit : Controls("OutputDesignatorLabeledEdit")) edit->setMinimumWidth(80);
  Designators(designators, Controls("OutputDesignatorLabeledEdit"), "Output ", 0);
  designators->setRowStretch(8, 1);

  auto* right = new QVBoxLayout;
  right->addWidget(BoxGroup("PulseOutputsGroupBox", "Pulse Outputs", "OutputUsePulseJvCheckBox",
                            &TEditForm::OutputUsePulseCheckAllButtonClick,
                            &TEditForm::OutputUsePulseCheckNoneButtonClick));
  right->addWidget(NumberedRows("PulsePeriodGroupBox", "Pulse Period (x10mS)", Controls("OutputPulsePeriodCSpinEdit")));
  right->addStretch(1);
  auto* layout = Tight(new QHBoxLayout(page));
  layout->addLayout(designators, 1);
  layout->addLayout(right, 1);
  return page;
}

QWidget* TEditForm::BuildGeneralPage() {
  auto* page = new QWidget;
  page->setObjectName("GeneralAdvTabSheet");
  QWidget* logging = Control("EnableLoggingJvCheckBox");
  QWidget* enable = Control("LostLinkEnableReportingJvCheckBox");
  QWidget* accept = Control("LostLinkRequiresAcceptJvCheckBox");
  QWidget* reset = Control("LostLinkRequiresResetJvCheckBox");
  QGroupBox* lostLink = Group("LostLinkGroupBox", "Lost Link");
  auto* lostLinkLayout = new QVBoxLayout(lostLink);
  lostLinkLayout->addWidget(enable);
  lostLinkLayout->addWidget(accept);
  lostLinkLayout->addWidget(reset);
  // The keyboard visits the lost-link boxes as enable, reset, accept.
  setTabOrder(enable, reset);
  setTabOrder(reset, accept);

  auto* layout = new QGridLayout(page);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setVerticalSpacing(16);
  layout->addWidget(logging, 0, 0);
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
  const Result saved = WriteDataFile(*fileName, Configuration);
  // The copy is handed over whether or not the file was written; a failure is told, not hidden.
  CopyConfiguration(owner_.WorkingConfiguration(), Configuration);
  if (!saved.ok) prompts_.ShowError("Cannot save \"" + *fileName + "\": " + saved.error);
}

void TEditForm::ConfigurationToControls(const UnitConfiguration& config) {
  ForEachControl(fieldControls_, reinterpret_cast<const char*>(&config), ShowField);
}

void TEditForm::ControlsToConfiguration(UnitConfiguration& config) {
  ForEachControl(fieldControls_, reinterpret_cast<char*>(&config), StoreField);
}

void TEditForm::SetAll(FieldRow family, bool checked) {
  for (QWidget* box : Controls(family)) static_cast<QCheckBox*>(box)->setChecked(checked);
}

void TEditForm::EnableReportingAllCheckedButtonClick() { SetAll("EnableReportingJvCheckBox", true); }
void TEditForm::EnableReportingNoneCheckedButtonClick() { SetAll("EnableReportingJvCheckBox", false); }
void TEditForm::RequiresAcceptAllCheckedButtonClick() { SetAll("RequiresAcceptJvCheckBox", true); }
void TEditForm::RequiresAcceptNoneCheckedButtonClick() { SetAll("RequiresAcceptJvCheckBox", false); }
void TEditForm::RequiresResetAllCheckedButtonClick() { SetAll("RequiresResetJvCheckBox", true); }
void TEditForm::RequiresResetNoneCheckedButtonClick() { SetAll("RequiresResetJvCheckBox", false); }
void TEditForm::AnalogueEnableReportingAllCheckedButtonClick() { SetAll("AnalogueEnableReportingJvCheckBox", true); }
void TEditForm::AnalogueEnableReportingNoneCheckedButtonClick() { SetAll("AnalogueEnableReportingJvCheckBox", false); }
void TEditForm::AnalogueRequiresAcceptAllCheckedButtonClick() { SetAll("AnalogueRequiresAcceptJvCheckBox", true); }
void TEditForm::AnalogueRequiresAcceptNoneCheckedButtonClick() { SetAll("AnalogueRequiresAcceptJvCheckBox", false); }
void TEditForm::AnalogueRequiresResetAllCheckedButtonClick() { SetAll("AnalogueRequiresResetJvCheckBox", true); }
void TEditForm::AnalogueRequiresResetNoneCheckedButtonClick() { SetAll("AnalogueRequiresResetJvCheckBox", false); }
void TEditForm::OutputUsePulseCheckAllButtonClick() { SetAll("OutputUsePulseJvCheckBox", true); }
void TEditForm::OutputUsePulseCheckNoneButtonClick() { SetAll("OutputUsePulseJvCheckBox", false); }
