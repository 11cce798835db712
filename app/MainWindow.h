// TMainForm: the panel's main window. It builds the controls at their layout positions,
// forwards every click and the 50 ms tick to PanelCore, and is PanelCore's status view.
#pragma once

#include "app/PanelCore.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTimer;
class QFrame;
class StatusIndicator;
class BarIndicator;
class GlassButton;

class TMainForm final : public QWidget, public StatusView {
  Q_OBJECT
 public:
  // Builds the window and runs FormCreate with the arguments after the program name.
  TMainForm(const PanelServices& services, const std::vector<std::string>& arguments,
            const std::string& programFilePath, QWidget* parent = nullptr);
  ~TMainForm() override;

  PanelCore& Core() { return core_; }
  QTimer* Timer1() const { return timer_; }
  // How the Edit button shows the settings editor, which is created after this window.
  void SetEditorShower(std::function<void()> showEditor) { showEditor_ = std::move(showEditor); }

  // StatusView
  [[nodiscard]] Colour InputIndicatorColour(int channel) const override;
  void SetInputIndicatorColour(int channel, Colour colour) override;
  [[nodiscard]] std::string InputIndicatorCaption(int channel) const override;
  void SetInputIndicatorCaption(int channel, std::string_view caption) override;
  [[nodiscard]] Colour OutputButtonColour(int channel) const override;
  void SetOutputButtonColour(int channel, Colour colour) override;
  [[nodiscard]] Colour BarColour(int channel) const override;
  void SetBarColour(int channel, Colour colour) override;
  void SetBarValue(int channel, std::int32_t value) override;
  [[nodiscard]] std::string AnalogueValueText(int channel) const override;
  void SetAnalogueValueText(int channel, std::string_view text) override;
  void SetInputLabelText(int channel, std::string_view text) override;
  void SetOutputButtonCaption(int channel, std::string_view text) override;
  void SetAnalogueLabelText(int channel, std::string_view text) override;
  [[nodiscard]] Colour CommsIndicatorColour() const override;
  void SetCommsIndicatorColour(Colour colour) override;
  [[nodiscard]] std::string ConnectionStatusText() const override;
  void SetConnectionStatusText(std::string_view text) override;
  [[nodiscard]] std::string ConnectButtonCaption() const override;
  void SetConnectButtonCaption(std::string_view caption) override;
  void SetTitle(std::string_view title) override;
  [[nodiscard]] bool HelpButtonVisible() const override;
  void SetHelpButtonVisible(bool visible) override;

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ExitButtonClick();
  void EditButtonClick();

  PanelCore core_;
  std::function<void()> showEditor_;
  QTimer* timer_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QPushButton* editButton_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QLabel* connectionStatusLabel_ = nullptr;
  StatusIndicator* commsIndicator_ = nullptr;
  std::array<QLabel*, DigitalInputCount> inputLabels_{};
  std::array<StatusIndicator*, DigitalInputCount> inputIndicators_{};
  std::array<GlassButton*, OutputCount> outputButtons_{};
  std::array<QLabel*, AnalogueInputCount> analogueValueLabels_{};
  std::array<BarIndicator*, AnalogueInputCount> analogueBars_{};
  std::array<QLabel*, AnalogueInputCount> analogueLabels_{};
  // The value texts as last assigned, so comparing them needs no conversion.
  std::array<std::string, AnalogueInputCount> analogueValueTexts_{};
  std::string connectionStatusText_;
};
