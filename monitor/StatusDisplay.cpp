#include "monitor/StatusDisplay.h"
// STUB: replaced by the monitoring work.
StateLook AlarmStateLook(AlarmState, std::uint8_t) { return {Colours::Green, "C"}; }
std::string FormatAnalogueValue(long double) { return "0"; }
void RefreshStatusDisplay(const DisplayInputs&, StatusView&) {}
