// Event codes of the event log. Every layer records events with one of these and a
// zero-based channel, so the type lives in the base library.
#pragma once

#include <cstdint>

enum class EventCode : std::int32_t {
  DigitalAlarm = 1,
  DigitalAlarmAccept = 2,
  DigitalAlarmReset = 3,
  AnalogueAlarm = 4,
  AnalogueAlarmAccept = 5,
  AnalogueAlarmReset = 6,
  OutputSetActive = 7,
  OutputSetInactive = 8,
  CommsConnected = 9,
  CommsDisconnected = 10,
  CommsLost = 11,
  CommsLostAccept = 12,
  CommsLostReset = 13,
  ApplicationStarted = 14,
  ApplicationClosed = 15,
};
