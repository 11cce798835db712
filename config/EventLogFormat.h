// The event log's format, for the panel that writes it and the report that reads it. One file
// a day, "yymmdd.csv"; one line per event: "dd/mm/yyyy,hh:nn:ss," and then the channel's
// designator and a text (the codes that name a channel) or a text alone, ending in CR LF.
// The designator is the 8-bit text of its field, commas included.
#pragma once

#include "config/EventCode.h"
#include "config/UnitConfiguration.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// A reading of the panel's clock: local time, with no time zone.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Whose designator an entry carries.
enum class LogChannel : std::uint8_t { None, DigitalInput, AnalogueInput, Output };

// What a reader can tell from an entry: a digital and an analogue input write the same texts.
enum class LogEntryKind : std::uint8_t {
  Alarm,
  AlarmAccept,
  AlarmReset,
  SetToActive,
  SetToInactive,
  CommsConnected,
  CommsDisconnected,
  CommsLost,
  CommsLostAccept,
  CommsLostReset,
  ApplicationStarted,
  ApplicationClosed,
};

struct EventLogText {
  EventCode code;
  LogEntryKind kind;
  LogChannel channel;     // None: the text stands alone
  std::string_view text;  // after the designator, or alone
};

// Every code's entry, in the order of the codes.
// clang-format off
inline constexpr std::array<EventLogText, 15> EventLogTexts = {{
    {EventCode::DigitalAlarm,        LogEntryKind::Alarm,              LogChannel::DigitalInput,  " Alarm"},
    {EventCode::DigitalAlarmAccept,  LogEntryKind::AlarmAccept,        LogChannel::DigitalInput,  " Alarm Accept"},
    {EventCode::DigitalAlarmReset,   LogEntryKind::AlarmReset,         LogChannel::DigitalInput,  " Alarm Reset"},
    {EventCode::AnalogueAlarm,       LogEntryKind::Alarm,              LogChannel::AnalogueInput, " Alarm"},
    {EventCode::AnalogueAlarmAccept, LogEntryKind::AlarmAccept,        LogChannel::AnalogueInput, " Alarm Accept"},
    {EventCode::AnalogueAlarmReset,  LogEntryKind::AlarmReset,         LogChannel::AnalogueInput, " Alarm Reset"},
    {EventCode::OutputSetActive,     LogEntryKind::SetToActive,        LogChannel::Output,        " Set to Active"},
    {EventCode::OutputSetInactive,   LogEntryKind::SetToInactive,      LogChannel::Output,        " Set to Inactive"},
    {EventCode::CommsConnected,      LogEntryKind::CommsConnected,     LogChannel::None,          "Comms Connected"},
    {EventCode::CommsDisconnected,   LogEntryKind::CommsDisconnected,  LogChannel::None,          "Comms Disconnected"},
    {EventCode::CommsLost,           LogEntryKind::CommsLost,          LogChannel::None,          "Comms Lost"},
    {EventCode::CommsLostAccept,     LogEntryKind::CommsLostAccept,    LogChannel::None,          "Comms Lost Accept"},
    {EventCode::CommsLostReset,      LogEntryKind::CommsLostReset,     LogChannel::None,          "Comms Lost Reset"},
    {EventCode::ApplicationStarted,  LogEntryKind::ApplicationStarted, LogChannel::None,          "Application Started"},
    {EventCode::ApplicationClosed,   LogEntryKind::ApplicationClosed,  LogChannel::None,          "Application Closed"},
}};
// clang-format on

inline constexpr std::string_view LogLineEnd = "\r\n";
inline constexpr std::size_t TimeStampLength = 20;      // "dd/mm/yyyy,hh:nn:ss,"
inline constexpr std::size_t TimeStampDateLength = 10;  // "dd/mm/yyyy"
// A designator field holds its text and a NUL.
inline constexpr std::size_t LogDesignatorLimit = DesignatorFieldSize - 1;

// Whose designator the code's entry carries.
[[nodiscard]] LogChannel ChannelOf(EventCode code);
// A whole entry: the time stamp, the designator where the code names a channel, the code's
// text, CR LF.
[[nodiscard]] std::string FormatEventLine(const LocalTime& time, EventCode code, std::string_view designator);
// "yymmdd.csv", the file of the time's day.
[[nodiscard]] std::string LogFileName(const LocalTime& time);

// Whether text begins with the shape of a time stamp. The system's date and time separators
// are "/" and ":" in the usual settings; any single byte that is neither a digit nor a comma
// is taken, the same in both places of the date or of the time.
[[nodiscard]] inline bool StartsWithTimeStamp(std::string_view text);
// The numbers of a time stamp of that shape at the start of stamp, not judged (a month may be 13).
[[nodiscard]] inline LocalTime ReadTimeStamp(std::string_view stamp);
// Its time of day alone, for a reader that knows the date already.
struct TimeOfDay {
  int hour = 0, minute = 0, second = 0;
};
[[nodiscard]] inline TimeOfDay ReadTimeOfDay(std::string_view stamp);

struct EventText {
  LogEntryKind kind = LogEntryKind::Alarm;
  std::optional<std::string_view> designator;  // for the kinds that carry one, of any length
};
// What follows the time stamp, without its CR LF. Nothing for a text the panel never writes.
[[nodiscard]] inline std::optional<EventText> ParseEventText(std::string_view text);
// The same as the table's entry whose text it ends with (is, for a text that stands alone);
// null for a text the panel never writes.
[[nodiscard]] inline const EventLogText* MatchEventText(std::string_view text);

// The date of "yymmdd" (a file's name without ".csv", or a day typed as one), in the years
// 2000 to 2099, not judged; nothing unless the six bytes are digits.
[[nodiscard]] std::optional<LocalTime> ParseLogDay(std::string_view yymmdd);
// The date in a day's file name, "yymmdd.csv" exactly as the panel names it; nothing for any
// other name (".CSV" is another file on a case-sensitive disk, and would be a day read twice).
[[nodiscard]] std::optional<LocalTime> LogFileDay(std::string_view fileName);

// StartsWithTimeStamp, ReadTimeStamp and ParseEventText are asked of every line a reader reads:
// defined here, so that its loop takes them in.
namespace event_log_detail {
constexpr bool Digit(char c) { return c >= '0' && c <= '9'; }
constexpr int Two(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }
constexpr bool Separator(char a, char b) { return a == b && !Digit(a) && a != ','; }

// The last sixteen bytes of each text as two words read from memory hold them (the last eight,
// and the eight before), and the bytes a shorter text fills: a line's last words are told
// against each in a comparison or two.
struct TextEnd {
  std::uint64_t bytes = 0, mask = 0, before = 0, beforeMask = 0;
};
constexpr TextEnd EndOf(std::string_view text) {
  TextEnd end;
  for (std::size_t i = 0; i < 16 && i < text.size(); ++i) {
    const std::size_t shift = std::endian::native == std::endian::little ? 8 * (7 - i % 8) : 8 * (i % 8);
    const std::uint64_t byte = std::uint64_t{static_cast<unsigned char>(text[text.size() - 1 - i])} << shift;
    const std::uint64_t mask = std::uint64_t{0xFF} << shift;
    if (i < 8) {
      end.bytes |= byte;
      end.mask |= mask;
    } else {
      end.before |= byte;
      end.beforeMask |= mask;
    }
  }
  return end;
}
inline constexpr std::size_t TextCount = EventLogTexts.size();
inline constexpr std::array<TextEnd, TextCount> TextEnds = [] {
  std::array<TextEnd, TextCount> ends{};
  for (std::size_t e = 0; e < TextCount; ++e) ends[e] = EndOf(EventLogTexts[e].text);
  return ends;
}();
}  // namespace event_log_detail

inline bool StartsWithTimeStamp(std::string_view text) {
  using event_log_detail::Separator;
  if (text.size() < TimeStampLength) return false;
  const char* p = text.data();
  // The fourteen digits eight bytes at a time (bytes 0-7, 8-15 and 12-19), the other places
  // taken as '0' there and looked at one by one.
  const auto digitsAt = [p](std::size_t from, std::initializer_list<std::size_t> places) {
    std::uint64_t word = 0, mask = 0;
    std::memcpy(&word, p + from, 8);
    for (const std::size_t place : places)
      mask |= std::uint64_t{0xFF} << (std::endian::native == std::endian::little ? 8 * place : 8 * (7 - place));
    constexpr std::uint64_t Zeros = 0x3030303030303030U, Tops = 0xF0F0F0F0F0F0F0F0U, Sixes = 0x0606060606060606U;
    const std::uint64_t digits = (word & mask) | (Zeros & ~mask);
    return (digits & Tops) == Zeros && ((digits + Sixes) & Tops) == Zeros;
  };
  return digitsAt(0, {0, 1, 3, 4, 6, 7}) && digitsAt(8, {0, 1, 3, 4, 6, 7}) && digitsAt(12, {5, 6}) &&
         Separator(p[2], p[5]) && p[10] == ',' && Separator(p[13], p[16]) && p[19] == ',';
}

inline TimeOfDay ReadTimeOfDay(std::string_view stamp) {
  using event_log_detail::Two;
  const char* p = stamp.data();
  return {Two(p + 11), Two(p + 14), Two(p + 17)};
}

inline LocalTime ReadTimeStamp(std::string_view stamp) {
  using event_log_detail::Two;
  const char* p = stamp.data();
  const TimeOfDay time = ReadTimeOfDay(stamp);
  return {Two(p + 6) * 100 + Two(p + 8), Two(p + 3), Two(p), time.hour, time.minute, time.second};
}

inline const EventLogText* MatchEventText(std::string_view text) {
  // Most texts differ in their last bytes: compared from the end, eight at a time.
  const auto fits = [text](const EventLogText& entry) {
    return entry.channel == LogChannel::None ? text.size() == entry.text.size() : text.size() >= entry.text.size();
  };
  if (text.size() >= 8) {
    std::uint64_t last = 0, before = 0;
    std::memcpy(&last, text.data() + text.size() - 8, 8);
    const bool twoWords = text.size() >= 16;
    if (twoWords) std::memcpy(&before, text.data() + text.size() - 16, 8);
    for (std::size_t e = 0; e < EventLogTexts.size(); ++e) {
      const EventLogText& entry = EventLogTexts[e];
      const event_log_detail::TextEnd& end = event_log_detail::TextEnds[e];
      if ((last & end.mask) != end.bytes || !fits(entry)) continue;
      if (entry.text.size() <= 8) return &entry;
      if (twoWords && entry.text.size() <= 16) {
        if ((before & end.beforeMask) == end.before) return &entry;
        continue;
      }
      if (std::equal(entry.text.begin(), entry.text.end() - 8,
                     text.end() - static_cast<std::ptrdiff_t>(entry.text.size())))
        return &entry;
    }
    return nullptr;
  }
  for (const EventLogText& entry : EventLogTexts)
    if (fits(entry) && std::equal(entry.text.rbegin(), entry.text.rend(), text.rbegin())) return &entry;
  return nullptr;
}

inline std::optional<EventText> ParseEventText(std::string_view text) {
  const EventLogText* entry = MatchEventText(text);
  if (entry == nullptr) return std::nullopt;
  if (entry->channel == LogChannel::None) return EventText{entry->kind, std::nullopt};
  return EventText{entry->kind, text.substr(0, text.size() - entry->text.size())};
}
