#include "monitor/AlarmSound.h"
// STUB: replaced by the monitoring work.
void UpdateAlarmSound(const UnitConfiguration&, std::span<const AlarmState, DigitalInputCount>,
                      std::span<const AlarmState, AnalogueInputCount>, bool, std::uint8_t&, AlarmSound&) {}
