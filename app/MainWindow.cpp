#include "app/MainWindow.h"

#include "app/widgets/BarIndicator.h"
#include "app/widgets/GlassButton.h"
#include "app/widgets/StatusIndicator.h"
#include "config/AnsiCodec.h"
#include "config/QtPanelFont.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int ClientWidth = 899;
constexpr int ClientHeight = 517;
constexpr int RowPitch = 43;
constexpr int FirstRowTop = 13;

QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setGeometry(geometry);
  return panel;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, 75, 25);
  button->setAutoDefault(false);
  return button;
}

// A designator is shown as typed, even one that looks like markup ("<b>Pump</b>"): labels
// are plain text, and a tooltip that Qt would take for rich text carries the name escaped.
QString PlainToolTip(const QString& text) {
  return Qt::mightBeRichText(text)
             ? QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>")
             : text;
}

// A label that reports clicks: the input labels accept and reset like their indicators.
class ClickableLabel final : public QLabel {
 public:
  ClickableLabel(QWidget* parent, std::function<void()> onClick) : QLabel(parent), onClick_(std::move(onClick)) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) onClick_();
  }

 private:
  std::function<void()> onClick_;
};
}  // namespace

TMainForm::TMainForm(const PanelServices& services, const std::vector<std::string>& arguments,
                     const std::string& programFilePath, QWidget* parent)
    : QWidget(parent), core_(services, *this) {
  setObjectName("MainForm");
  setFixedSize(ClientWidth, ClientHeight);
  setFont(PanelFont());
  BuildControls();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  // The timer runs from the window's creation; its first tick draws the link status.
  timer_ = new QTimer(this);
  timer_->setObjectName("Timer1");
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(50);
  connect(timer_, &QTimer::timeout, this, [this] { core_.Timer1Timer(); });
  timer_->start();

  core_.FormCreate(arguments, programFilePath);
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildControls() {
  auto* panel1 = MakePanel(this, "Panel1", QRect(0, ClientHeight - 83, ClientWidth, 83));
  loadButton_ = MakeButton(panel1, "LoadButton", "Load", 88, 32);
  editButton_ = MakeButton(panel1, "EditButton", "Edit", 216, 32);
  helpButton_ = MakeButton(panel1, "HelpButton", "Help", 624, 32);
  exitButton_ = MakeButton(panel1, "ExitButton", "Exit", 749, 32);
  connect(loadButton_, &QPushButton::clicked, this, [this] { core_.LoadButtonClick(); });
  connect(editButton_, &QPushButton::clicked, this, [this] { EditButtonClick(); });
  connect(exitButton_, &QPushButton::clicked, this, [this] { ExitButtonClick(); });

  auto* panel12 = MakePanel(this, "Panel12", QRect(0, ClientHeight - 83 - 78, ClientWidth, 78));
  connectButton_ = MakeButton(panel12, "ConnectButton", "Connect", 96, 32);
  connect(connectButton_, &QPushButton::clicked, this, [this] { core_.ConnectButtonClick(); });
  connectionStatusLabel_ = new QLabel(QStringLiteral("Status"), panel12);
  connectionStatusLabel_->setObjectName("ConnectionStatusLabel");
  connectionStatusLabel_->setGeometry(224, 36, 82, 13);
  connectionStatusLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connectionStatusText_ = "Status";
  commsIndicator_ = new StatusIndicator(panel12);
  commsIndicator_->setObjectName("CommsStatusAdvSmoothStatusIndicator");
  commsIndicator_->setGeometry(312, 32, 24, 24);
  commsIndicator_->setFillColour(Colours::Red);
  commsIndicator_->setCaption("0");
  connect(commsIndicator_, &StatusIndicator::clicked, this,
          [this] { core_.CommsStatusAdvSmoothStatusIndicatorClick(); });

  auto* panel10 = MakePanel(this, "Panel10", QRect(1, 1, 320, 350));
  for (int i = 0; i < DigitalInputCount; ++i) {
    const int column = i / 8;
    const int top = FirstRowTop + RowPitch * (i % 8);
    const int n = i + 1;
    auto* label = new ClickableLabel(panel10, [this, i] { core_.DigitalInputAlarmClick(i); });
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(QStringLiteral("InputStatusLabel%1").arg(n));
    label->setGeometry(column == 0 ? 20 : 180, top, 80, 24);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setCursor(Qt::PointingHandCursor);
    inputLabels_[i] = label;
    auto* indicator = new StatusIndicator(panel10);
    indicator->setObjectName(QStringLiteral("InputStatusAdvSmoothStatusIndicator%1").arg(n));
    indicator->setGeometry(column == 0 ? 106 : 266, top, 24, 24);
    indicator->setFillColour(Colours::Green);
    indicator->setCaption("C");
    connect(indicator, &StatusIndicator::clicked, this, [this, i] { core_.DigitalInputAlarmClick(i); });
    inputIndicators_[i] = indicator;
  }

  auto* panel11 = MakePanel(this, "Panel11", QRect(321, 1, 275, 350));
  for (int i = 0; i < OutputCount; ++i) {
    auto* button = new GlassButton(panel11);
    button->setObjectName(QStringLiteral("OuputStatusAdvGlassButton%1").arg(i + 1));
    button->setGeometry(i < 8 ? 16 : 160, FirstRowTop + RowPitch * (i % 8), 97, 24);
    connect(button, &GlassButton::clicked, this, [this, i] { core_.SendOutputCommand(i); });
    outputButtons_[i] = button;
  }

  static constexpr int AnalogueLefts[4] = {600, 675, 750, 825};
  for (int i = 0; i < AnalogueInputCount; ++i) {
    const int n = i + 1;
    const QByteArray panelName = QStringLiteral("Panel%1").arg(n + 1).toLatin1();
    auto* panel = MakePanel(this, panelName.constData(), QRect(AnalogueLefts[i % 4], i < 4 ? 1 : 176, 75, 175));
    auto* value = new QLabel(QStringLiteral("0"), panel);
    value->setObjectName(QStringLiteral("AnalogueStatusValueLabel%1").arg(n));
    value->setGeometry(1, 6, 73, 18);
    value->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    analogueValueLabels_[i] = value;
    analogueValueTexts_[i] = "0";
    auto* bar = new BarIndicator(panel);
    bar->setObjectName(QStringLiteral("AnalogueStatusJvSimIndicator%1").arg(n));
    bar->setGeometry(24, 32, 27, 108);
    bar->setMaximum(1023);
    connect(bar, &BarIndicator::clicked, this, [this, i] { core_.AnalogueInputAlarmClick(i); });
    analogueBars_[i] = bar;
    auto* label = new QLabel(panel);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(QStringLiteral("AnalogueStatusLabel%1").arg(n));
    label->setGeometry(1, 175 - 31 - 1, 73, 31);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    analogueLabels_[i] = label;
  }
}

void TMainForm::ExitButtonClick() { close(); }

void TMainForm::EditButtonClick() {
  if (showEditor_) showEditor_();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  core_.FormClose();
  event->accept();
  emit closed();
}

Colour TMainForm::InputIndicatorColour(int channel) const { return inputIndicators_[channel]->fillColour(); }
void TMainForm::SetInputIndicatorColour(int channel, Colour colour) {
  inputIndicators_[channel]->setFillColour(colour);
}
std::string TMainForm::InputIndicatorCaption(int channel) const { return inputIndicators_[channel]->caption(); }
void TMainForm::SetInputIndicatorCaption(int channel, std::string_view caption) {
  inputIndicators_[channel]->setCaption(caption);
}
Colour TMainForm::OutputButtonColour(int channel) const { return outputButtons_[channel]->backColour(); }
void TMainForm::SetOutputButtonColour(int channel, Colour colour) { outputButtons_[channel]->setBackColour(colour); }
Colour TMainForm::BarColour(int channel) const { return analogueBars_[channel]->barColour(); }
void TMainForm::SetBarColour(int channel, Colour colour) { analogueBars_[channel]->SetBarColor(colour); }
void TMainForm::SetBarValue(int channel, std::int32_t value) { analogueBars_[channel]->SetValue(value); }
std::string TMainForm::AnalogueValueText(int channel) const { return analogueValueTexts_[channel]; }
void TMainForm::SetAnalogueValueText(int channel, std::string_view text) {
  if (analogueValueTexts_[channel] == text) return;  // the label repaints only on a change
  analogueValueTexts_[channel] = std::string(text);
  analogueValueLabels_[channel]->setText(FromAnsi(text));
}
// A designator of up to 34 characters does not fit its control; the tooltip shows it whole.
void TMainForm::SetInputLabelText(int channel, std::string_view text) {
  inputLabels_[channel]->setText(FromAnsi(text));
  inputLabels_[channel]->setToolTip(PlainToolTip(FromAnsi(text)));
}
void TMainForm::SetOutputButtonCaption(int channel, std::string_view text) {
  outputButtons_[channel]->setCaption(text);
  outputButtons_[channel]->setToolTip(PlainToolTip(FromAnsi(text)));
}
void TMainForm::SetAnalogueLabelText(int channel, std::string_view text) {
  analogueLabels_[channel]->setText(FromAnsi(text));
  analogueLabels_[channel]->setToolTip(PlainToolTip(FromAnsi(text)));
}
Colour TMainForm::CommsIndicatorColour() const { return commsIndicator_->fillColour(); }
void TMainForm::SetCommsIndicatorColour(Colour colour) { commsIndicator_->setFillColour(colour); }
std::string TMainForm::ConnectionStatusText() const { return connectionStatusText_; }
void TMainForm::SetConnectionStatusText(std::string_view text) {
  connectionStatusText_ = std::string(text);
  connectionStatusLabel_->setText(FromAnsi(text));
}
std::string TMainForm::ConnectButtonCaption() const { return ToAnsi(connectButton_->text()); }
void TMainForm::SetConnectButtonCaption(std::string_view caption) { connectButton_->setText(FromAnsi(caption)); }
void TMainForm::SetTitle(std::string_view title) { setWindowTitle(FromAnsi(title)); }
bool TMainForm::HelpButtonVisible() const { return !helpButton_->isHidden(); }
void TMainForm::SetHelpButtonVisible(bool visible) { helpButton_->setVisible(visible); }
