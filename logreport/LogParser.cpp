#include "logreport/LogParser.h"

#include <cstring>
#include <optional>

namespace logreport {
namespace {
constexpr std::size_t StampLength = 20;  // "dd/mm/yyyy,hh:nn:ss,"
constexpr std::size_t MaxNameLength = 34;

struct Fixed {
  std::string_view text;
  EntryKind kind;
};
constexpr Fixed FixedTexts[] = {
    {"Comms Connected", EntryKind::CommsConnected},
    {"Comms Disconnected", EntryKind::CommsDisconnected},
    {"Comms Lost", EntryKind::CommsLost},
    {"Comms Lost Accept", EntryKind::CommsLostAccept},
    {"Comms Lost Reset", EntryKind::CommsLostReset},
    {"Application Started", EntryKind::ApplicationStarted},
    {"Application Closed", EntryKind::ApplicationClosed},
};
// Longer suffixes first: " Alarm" ends none of the others.
constexpr Fixed Suffixes[] = {
    {" Alarm Accept", EntryKind::AlarmAccept},
    {" Alarm Reset", EntryKind::AlarmReset},
    {" Set to Inactive", EntryKind::SetToInactive},
    {" Set to Active", EntryKind::SetToActive},
    {" Alarm", EntryKind::Alarm},
};

bool Digit(char c) { return c >= '0' && c <= '9'; }
int Two(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }
// The system's date and time separators are "/" and ":" in the usual settings; any single
// byte that is neither a digit nor a comma is taken.
bool Separator(char a, char b) { return a == b && !Digit(a) && a != ','; }

// The shape of "dd/mm/yyyy,hh:nn:ss," at p, without judging the values.
bool StampShape(const char* p) {
  return Digit(p[0]) && Digit(p[1]) && Separator(p[2], p[5]) && Digit(p[3]) && Digit(p[4]) && Digit(p[6]) &&
         Digit(p[7]) && Digit(p[8]) && Digit(p[9]) && p[10] == ',' && Digit(p[11]) && Digit(p[12]) &&
         Separator(p[13], p[16]) && Digit(p[14]) && Digit(p[15]) && Digit(p[17]) && Digit(p[18]) && p[19] == ',';
}

bool StampAt(std::string_view line, std::size_t at) {
  return at + StampLength <= line.size() && StampShape(line.data() + at);
}

// Where the entry starts: the last time stamp in the line. A designator never holds a whole
// time stamp, so a second one means a torn entry ran into the next.
std::optional<std::size_t> EntryStart(std::string_view line) {
  std::optional<std::size_t> start;
  std::size_t from = 10;
  if (StampAt(line, 0)) {
    start = 0;
    from = StampLength;
  }
  while (from < line.size()) {
    const void* comma = std::memchr(line.data() + from, ',', line.size() - from);
    if (comma == nullptr) break;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(comma) - line.data());
    if (at >= 10 && StampAt(line, at - 10)) start = at - 10;
    from = at + 1;
  }
  return start;
}
}  // namespace

std::string_view ProblemText(Problem problem) {
  switch (problem) {
    case Problem::TornAtEnd: return "torn: no CR LF at the end of the file";
    case Problem::TornBeforeEntry: return "torn entry run into the next one (the whole entry after it is read)";
    case Problem::NoTimeStamp: return "no date and time at the start";
    case Problem::UnknownText: return "not an event the panel writes";
    case Problem::NameTooLong: return "name longer than 34 bytes";
    case Problem::NulBytes: return "holds NUL bytes";
    case Problem::Empty: return "empty line";
    case Problem::OutsideFileDay: return "dated outside its file's day";
  }
  return "?";
}

std::uint32_t LogReader::NameIndex(std::string_view name) {
  if (const auto found = index_.find(name); found != index_.end()) return found->second;
  const auto index = static_cast<std::uint32_t>(data_.names.size());
  data_.names.emplace_back(name);
  index_.emplace(std::string(name), index);
  return index;
}

void LogReader::AddFile(const LogFile& file, std::string_view bytes) {
  const auto fileIndex = static_cast<std::uint32_t>(data_.files.size());
  data_.files.push_back(file);
  std::uint32_t number = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    ++number;
    ++data_.lines;
    const void* end = std::memchr(bytes.data() + at, '\n', bytes.size() - at);
    if (end == nullptr) {
      // The panel writes each entry whole with its CR LF, so a line without one was cut off.
      data_.problems.push_back({fileIndex, number, Problem::TornAtEnd});
      break;
    }
    const auto stop = static_cast<std::size_t>(static_cast<const char*>(end) - bytes.data());
    std::string_view line = bytes.substr(at, stop - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    AddLine(line, fileIndex, number, file.day);
    at = stop + 1;
  }
}

void LogReader::AddLine(std::string_view line, std::uint32_t file, std::uint32_t number, Day fileDay) {
  const auto fail = [&](Problem problem) { data_.problems.push_back({file, number, problem}); };
  if (line.empty()) return fail(Problem::Empty);
  const std::optional<std::size_t> start = EntryStart(line);
  if (!start) return fail(Problem::NoTimeStamp);
  const std::string_view entry = line.substr(*start);
  const char* p = entry.data();

  // The date: most lines carry the same date as the one before.
  if (std::memcmp(p, cachedDate_, 10) != 0) {
    const std::optional<Day> day = DayOf(Two(p + 6) * 100 + Two(p + 8), Two(p + 3), Two(p));
    if (!day) return fail(Problem::NoTimeStamp);
    std::memcpy(cachedDate_, p, 10);
    cachedDay_ = *day;
  }
  const int hour = Two(p + 11), minute = Two(p + 14), second = Two(p + 17);
  if (hour > 23 || minute > 59 || second > 59) return fail(Problem::NoTimeStamp);
  if (cachedDay_ != fileDay && cachedDay_ != fileDay - 1) return fail(Problem::OutsideFileDay);

  Entry out;
  out.time =
      cachedDay_ * SecondsPerDay + static_cast<Seconds>(hour) * 3600 + static_cast<Seconds>(minute) * 60 + second;
  out.file = file;
  out.line = number;
  const std::string_view text = entry.substr(StampLength);
  if (std::memchr(text.data(), '\0', text.size()) != nullptr) return fail(Problem::NulBytes);

  bool known = false;
  if (!text.empty() && (text[0] == 'C' || text[0] == 'A')) {
    for (const Fixed& fixed : FixedTexts) {
      if (text == fixed.text) {
        out.kind = fixed.kind;
        known = true;
        break;
      }
    }
  }
  if (!known) {
    for (const Fixed& suffix : Suffixes) {
      if (text.ends_with(suffix.text)) {
        const std::string_view name = text.substr(0, text.size() - suffix.text.size());
        if (name.size() > MaxNameLength) return fail(Problem::NameTooLong);
        out.kind = suffix.kind;
        out.name = NameIndex(name);
        known = true;
        break;
      }
    }
  }
  if (!known) return fail(Problem::UnknownText);
  if (*start > 0) fail(Problem::TornBeforeEntry);
  data_.entries.push_back(out);
}

}  // namespace logreport
