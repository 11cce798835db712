// The alarm machines of the 16 digital and 8 analogue inputs: the automatic pass after each
// report and the operator's accept/reset click, each a table of rows.
#pragma once

#include "config/UnitConfiguration.h"
#include "monitor/AlarmState.h"

#include <cstdint>
#include <span>

// Strictly below AlarmBelow or strictly above AlarmAbove, in 80-bit precision.
[[nodiscard]] bool OutOfBand(const Extended& value, const Extended& below, const Extended& above);

void EvaluateDigitalAlarms(const UnitConfiguration& config, std::span<const std::uint8_t, DigitalInputCount> inputs,
                           std::span<AlarmState, DigitalInputCount> states, EventRecorder& log);
void EvaluateAnalogueAlarms(const UnitConfiguration& config, std::span<const Extended, AnalogueInputCount> values,
                            std::span<AlarmState, AnalogueInputCount> states, EventRecorder& log);

// Zero-based channels. Neither redraws anything.
void DigitalInputAlarmClick(const UnitConfiguration& config, int channel, std::uint8_t reportedInput, AlarmState& state,
                            EventRecorder& log);
void AnalogueInputAlarmClick(const UnitConfiguration& config, int channel, const Extended& value, AlarmState& state,
                             EventRecorder& log);
