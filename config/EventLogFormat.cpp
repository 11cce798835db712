#include "config/EventLogFormat.h"

#include <algorithm>

namespace {
constexpr std::string_view Extension = ".csv";

// A reader takes the first text a line ends with (or is): that must be the one it was written
// with, so no kind's text may end with another kind's.
constexpr bool EveryTextReadsAsOneKind() {
  for (const EventLogText& a : EventLogTexts)
    for (const EventLogText& b : EventLogTexts)
      if (a.kind != b.kind && a.text.ends_with(b.text)) return false;
  return true;
}
static_assert(EveryTextReadsAsOneKind());

const EventLogText* Find(EventCode code) {
  for (const EventLogText& entry : EventLogTexts)
    if (entry.code == code) return &entry;
  return nullptr;
}

void AppendTwoDigits(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + (value / 10) % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

using event_log_detail::Digit;
using event_log_detail::Two;
}  // namespace

LogChannel ChannelOf(EventCode code) {
  const EventLogText* entry = Find(code);
  return entry != nullptr ? entry->channel : LogChannel::None;
}

std::string FormatEventLine(const LocalTime& time, EventCode code, std::string_view designator) {
  std::string line;
  line.reserve(72);
  AppendTwoDigits(line, time.day);
  line.push_back('/');
  AppendTwoDigits(line, time.month);
  line.push_back('/');
  AppendTwoDigits(line, (time.year / 100) % 100);
  AppendTwoDigits(line, time.year % 100);
  line.push_back(',');
  AppendTwoDigits(line, time.hour);
  line.push_back(':');
  AppendTwoDigits(line, time.minute);
  line.push_back(':');
  AppendTwoDigits(line, time.second);
  line.push_back(',');
  if (const EventLogText* entry = Find(code)) {
    if (entry->channel != LogChannel::None) line += designator;
    line += entry->text;
  }
  line += LogLineEnd;
  return line;
}

std::string LogFileName(const LocalTime& time) {
  std::string name;
  AppendTwoDigits(name, time.year % 100);
  AppendTwoDigits(name, time.month);
  AppendTwoDigits(name, time.day);
  name += Extension;
  return name;
}

std::optional<LocalTime> ParseLogDay(std::string_view yymmdd) {
  if (yymmdd.size() != 6) return std::nullopt;
  for (const char c : yymmdd)
    if (!Digit(c)) return std::nullopt;
  const char* p = yymmdd.data();
  return LocalTime{2000 + Two(p), Two(p + 2), Two(p + 4), 0, 0, 0};
}

std::optional<LocalTime> LogFileDay(std::string_view fileName) {
  if (fileName.size() != 10) return std::nullopt;
  const std::string_view extension = fileName.substr(6);
  if (extension != Extension) return std::nullopt;
  return ParseLogDay(fileName.substr(0, 6));
}
