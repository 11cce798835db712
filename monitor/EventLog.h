// The event log: one CSV line per event, appended to the day's file "yymmdd.csv" with one
// open, seek, write and close per entry, so every entry is on disk when the call returns.
#pragma once

#include "config/EventCode.h"
#include "config/EventLogFormat.h"
#include "config/Result.h"
#include "config/UnitConfiguration.h"

#include <string>
#include <string_view>

class Clock {
 public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual LocalTime Now() const = 0;
};

// The machine's local time.
class SystemClock final : public Clock {
 public:
  [[nodiscard]] LocalTime Now() const override;
};

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Appends the bytes at the end of the file, creating it when missing and never truncating.
  // An entry is written whole or not at all: on failure the file is left as it was, and the
  // error says why (the system's text for errno).
  virtual Result Append(const std::string& path, std::string_view bytes) = 0;
};

class FileLogSink final : public LogSink {
 public:
  Result Append(const std::string& path, std::string_view bytes) override;
};

// The entry as config/EventLogFormat.h lays it out, with the designator of the channel the
// code names (codes 1 to 8).
[[nodiscard]] std::string FormatLogLine(EventCode code, int channel, const UnitConfiguration& config,
                                        const LocalTime& time);
