// What the monitoring controls show: the idle look while the link is down, otherwise each
// input's state colour and caption, the outputs as reported, the bars and value texts.
#pragma once

#include "config/Colour.h"
#include "config/UnitConfiguration.h"
#include "monitor/AlarmState.h"
#include "monitor/StatusView.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct StateLook {
  Colour colour;
  std::string_view caption;  // the digital indicator's caption
};
[[nodiscard]] StateLook AlarmStateLook(AlarmState state, std::uint8_t blinkPhase);

// General format, at most 15 significant digits, cut (not rounded) two characters after the first ".".
[[nodiscard]] std::string FormatAnalogueValue(const Extended& value);

struct DisplayInputs {
  std::span<const AlarmState, DigitalInputCount> digitalStates;
  std::span<const AlarmState, AnalogueInputCount> analogueStates;
  std::span<const std::uint8_t, OutputCount> reportedOutputs;
  std::span<const std::int32_t, AnalogueInputCount> analogueRaw;
  std::span<const Extended, AnalogueInputCount> analogueValue;
  std::uint8_t blinkPhase = 0;
  std::uint8_t linkUp = 0;
};

// Colours, captions and the "N/A" text are assigned only when they differ from what the
// control holds; the bar level and value text of the connected branch every time.
void RefreshStatusDisplay(const DisplayInputs& inputs, StatusView& view);
