// The main window's controls as the panel's logic sees them: numbered controls with a
// colour, caption, bar level or text. Channels are zero-based. Getters let the logic assign
// only what differs; the real view is the main window, tests use a recorder.
#pragma once

#include "config/Colour.h"

#include <cstdint>
#include <string>
#include <string_view>

class StatusView {
 public:
  virtual ~StatusView() = default;

  [[nodiscard]] virtual Colour InputIndicatorColour(int channel) const = 0;
  virtual void SetInputIndicatorColour(int channel, Colour colour) = 0;
  [[nodiscard]] virtual std::string InputIndicatorCaption(int channel) const = 0;
  virtual void SetInputIndicatorCaption(int channel, std::string_view caption) = 0;

  [[nodiscard]] virtual Colour OutputButtonColour(int channel) const = 0;
  virtual void SetOutputButtonColour(int channel, Colour colour) = 0;

  [[nodiscard]] virtual Colour BarColour(int channel) const = 0;
  virtual void SetBarColour(int channel, Colour colour) = 0;
  virtual void SetBarValue(int channel, std::int32_t value) = 0;
  [[nodiscard]] virtual std::string AnalogueValueText(int channel) const = 0;
  virtual void SetAnalogueValueText(int channel, std::string_view text) = 0;

  // Designators (8-bit text).
  virtual void SetInputLabelText(int channel, std::string_view text) = 0;
  virtual void SetOutputButtonCaption(int channel, std::string_view text) = 0;
  virtual void SetAnalogueLabelText(int channel, std::string_view text) = 0;

  // The link bar.
  [[nodiscard]] virtual Colour CommsIndicatorColour() const = 0;
  virtual void SetCommsIndicatorColour(Colour colour) = 0;
  [[nodiscard]] virtual std::string ConnectionStatusText() const = 0;
  virtual void SetConnectionStatusText(std::string_view text) = 0;
  [[nodiscard]] virtual std::string ConnectButtonCaption() const = 0;
  virtual void SetConnectButtonCaption(std::string_view caption) = 0;

  // The window frame.
  virtual void SetTitle(std::string_view title) = 0;
  [[nodiscard]] virtual bool HelpButtonVisible() const = 0;
  virtual void SetHelpButtonVisible(bool visible) = 0;
};
