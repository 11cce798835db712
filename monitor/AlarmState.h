// One input's alarm state and the event sink the alarm machines write to.
#pragma once

#include "config/EventCode.h"

#include <cstdint>

enum class AlarmState : std::int32_t {
  Normal = 0,
  AlarmUnaccepted = 1,
  AlarmAccepted = 2,
  AlarmCleared = 3,
  ReportingDisabled = 4,
};

class EventRecorder {
 public:
  virtual ~EventRecorder() = default;
  virtual void LogEvent(EventCode code, int channel) = 0;
};
