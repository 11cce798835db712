#include "logreport/LogParser.h"

#include <cstring>
#include <optional>

namespace logreport {
namespace {
static_assert(LogDesignatorLimit == 34, "ProblemText names the limit");

// Where the entry starts: the last time stamp in the line. A designator never holds a whole
// time stamp, so a second one means a torn entry ran into the next.
std::optional<std::size_t> EntryStart(std::string_view line) {
  std::optional<std::size_t> start;
  std::size_t from = TimeStampDateLength;
  if (StartsWithTimeStamp(line)) {
    start = 0;
    from = TimeStampLength;
  }
  while (from < line.size()) {
    const void* comma = std::memchr(line.data() + from, ',', line.size() - from);
    if (comma == nullptr) break;
    const auto at = static_cast<std::size_t>(static_cast<const char*>(comma) - line.data());
    if (at >= TimeStampDateLength && StartsWithTimeStamp(line.substr(at - TimeStampDateLength)))
      start = at - TimeStampDateLength;
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
  const LocalTime stamp = ReadTimeStamp(entry);

  // The date: most lines carry the same date as the one before.
  if (std::memcmp(entry.data(), cachedDate_, TimeStampDateLength) != 0) {
    const std::optional<Day> day = DayOf(stamp.year, stamp.month, stamp.day);
    if (!day) return fail(Problem::NoTimeStamp);
    std::memcpy(cachedDate_, entry.data(), TimeStampDateLength);
    cachedDay_ = *day;
  }
  if (stamp.hour > 23 || stamp.minute > 59 || stamp.second > 59) return fail(Problem::NoTimeStamp);
  if (cachedDay_ != fileDay && cachedDay_ != fileDay - 1) return fail(Problem::OutsideFileDay);

  Entry out;
  out.time = cachedDay_ * SecondsPerDay + static_cast<Seconds>(stamp.hour) * 3600 +
             static_cast<Seconds>(stamp.minute) * 60 + stamp.second;
  out.file = file;
  out.line = number;
  const std::string_view text = entry.substr(TimeStampLength);
  if (std::memchr(text.data(), '\0', text.size()) != nullptr) return fail(Problem::NulBytes);

  const std::optional<EventText> event = ParseEventText(text);
  if (!event) return fail(Problem::UnknownText);
  if (event->designator && event->designator->size() > LogDesignatorLimit) return fail(Problem::NameTooLong);
  out.kind = event->kind;
  if (event->designator) out.name = NameIndex(*event->designator);
  if (*start > 0) fail(Problem::TornBeforeEntry);
  data_.entries.push_back(out);
}

}  // namespace logreport
