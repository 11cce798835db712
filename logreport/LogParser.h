// Reads the panel's daily event log files, whose lines config/EventLogFormat.h describes. The
// designator is everything between the time stamp and the text after it, commas and 8-bit
// bytes included. Lines that do not fit are counted with their file and line number and
// skipped; nothing stops the reading.
#pragma once

#include "config/EventLogFormat.h"
#include "logreport/Calendar.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace logreport {

struct Entry {
  Seconds time = 0;
  std::uint32_t name = 0;  // index into LogData::names for the kinds with a designator, else 0
  std::uint32_t file = 0;  // index into LogData::files
  std::uint32_t line = 0;  // from 1
  LogEntryKind kind = LogEntryKind::Alarm;
};

enum class Problem : std::uint8_t {
  TornAtEnd,        // the file's last line has no CR LF: its write was cut off
  TornBeforeEntry,  // a cut-off entry with the next whole entry written straight after it
  NoTimeStamp,
  UnknownText,
  NameTooLong,  // longer than a designator field holds
  NulBytes,
  Empty,
  OutsideFileDay,  // dated neither the file's day nor the day before (an entry written at midnight)
};
[[nodiscard]] std::string_view ProblemText(Problem problem);

struct LineProblem {
  std::uint32_t file = 0;
  std::uint32_t line = 0;
  Problem problem = Problem::Empty;
};

struct LogFile {
  std::string name;  // "yymmdd.csv"
  Day day = 0;
};

struct LogData {
  std::vector<LogFile> files;      // in date order
  std::vector<std::string> names;  // designators as written, 8-bit
  std::vector<Entry> entries;      // in the order written
  std::vector<LineProblem> problems;
  std::uint64_t lines = 0;
};

class LogReader {
 public:
  // Room for the entries of this many bytes of files, so the list is not copied as it grows.
  void Reserve(std::size_t bytes) { data_.entries.reserve(bytes / 32); }
  // Files must come in date order; the bytes need to live only for the call.
  void AddFile(const LogFile& file, std::string_view bytes);
  [[nodiscard]] LogData Take() { return std::move(data_); }

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::uint32_t NameIndex(std::string_view name);
  void AddLine(std::string_view line, std::uint32_t file, std::uint32_t number, Day fileDay);

  LogData data_;
  std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>> index_;
  char cachedDate_[TimeStampDateLength] = {};
  Day cachedDay_ = -1;
};

}  // namespace logreport
