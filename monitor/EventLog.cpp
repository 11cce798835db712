#include "monitor/EventLog.h"

#include <cstdio>
#include <ctime>
#include <memory>

namespace {
struct Suffix {
  std::string_view text;
  bool designated;  // codes 1 to 8 put the channel's designator first
};

Suffix SuffixOf(EventCode code) {
  switch (code) {
    case EventCode::DigitalAlarm: return {" Alarm\r\n", true};
    case EventCode::DigitalAlarmAccept: return {" Alarm Accept\r\n", true};
    case EventCode::DigitalAlarmReset: return {" Alarm Reset\r\n", true};
    case EventCode::AnalogueAlarm: return {" Alarm\r\n", true};
    case EventCode::AnalogueAlarmAccept: return {" Alarm Accept\r\n", true};
    case EventCode::AnalogueAlarmReset: return {" Alarm Reset\r\n", true};
    case EventCode::OutputSetActive: return {" Set to Active\r\n", true};
    case EventCode::OutputSetInactive: return {" Set to Inactive\r\n", true};
    case EventCode::CommsConnected: return {"Comms Connected\r\n", false};
    case EventCode::CommsDisconnected: return {"Comms Disconnected\r\n", false};
    case EventCode::CommsLost: return {"Comms Lost\r\n", false};
    case EventCode::CommsLostAccept: return {"Comms Lost Accept\r\n", false};
    case EventCode::CommsLostReset: return {"Comms Lost Reset\r\n", false};
    case EventCode::ApplicationStarted: return {"Application Started\r\n", false};
    case EventCode::ApplicationClosed: return {"Application Closed\r\n", false};
  }
  return {"\r\n", false};
}

// The designator of a channel, empty for a channel outside the array (no caller passes one).
std::string Designator(EventCode code, int channel, const UnitConfiguration& config) {
  switch (code) {
    case EventCode::DigitalAlarm:
    case EventCode::DigitalAlarmAccept:
    case EventCode::DigitalAlarmReset:
      return channel >= 0 && channel < DigitalInputCount ? ReadText(config.InputDesignator[channel]) : std::string();
    case EventCode::AnalogueAlarm:
    case EventCode::AnalogueAlarmAccept:
    case EventCode::AnalogueAlarmReset:
      return channel >= 0 && channel < AnalogueInputCount ? ReadText(config.AnalogueDesignator[channel])
                                                          : std::string();
    case EventCode::OutputSetActive:
    case EventCode::OutputSetInactive:
      return channel >= 0 && channel < OutputCount ? ReadText(config.OutputDesignator[channel]) : std::string();
    default: return {};
  }
}

void AppendTwoDigits(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + (value / 10) % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}
}  // namespace

LocalTime SystemClock::Now() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

bool FileLogSink::Append(const std::string& path, std::string_view bytes) {
  // "ab" opens an existing file without truncating it, or creates it, and every write goes
  // to the end; other programs may keep the file open meanwhile.
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

std::string FormatLogLine(EventCode code, int channel, const UnitConfiguration& config, const LocalTime& time) {
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
  const Suffix suffix = SuffixOf(code);
  if (suffix.designated) line += Designator(code, channel, config);
  line += suffix.text;
  return line;
}

std::string LogFileName(const LocalTime& time) {
  std::string name;
  AppendTwoDigits(name, time.year % 100);
  AppendTwoDigits(name, time.month);
  AppendTwoDigits(name, time.day);
  return name + ".csv";
}
