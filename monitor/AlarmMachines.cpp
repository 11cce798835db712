#include "monitor/AlarmMachines.h"
// STUB: replaced by the monitoring work.
bool OutOfBand(long double value, long double below, long double above) { return value < below || value > above; }
void EvaluateDigitalAlarms(const UnitConfiguration&, std::span<const std::uint8_t, DigitalInputCount>,
                           std::span<AlarmState, DigitalInputCount>, EventRecorder&) {}
void EvaluateAnalogueAlarms(const UnitConfiguration&, std::span<const long double, AnalogueInputCount>,
                            std::span<AlarmState, AnalogueInputCount>, EventRecorder&) {}
void DigitalInputAlarmClick(const UnitConfiguration&, int, std::uint8_t, AlarmState&, EventRecorder&) {}
void AnalogueInputAlarmClick(const UnitConfiguration&, int, long double, AlarmState&, EventRecorder&) {}
