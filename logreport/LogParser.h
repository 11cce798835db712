// Reads the panel's daily event log files, whose lines config/EventLogFormat.h describes. The
// designator is everything between the time stamp and the text after it, commas and 8-bit
// bytes included. Lines that do not fit are counted with their file and line number and
// skipped; nothing stops the reading.
#pragma once

#include "config/EventLogFormat.h"
#include "logreport/Calendar.h"

#include <cstdint>
#include <functional>
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
  CrOnly,          // the file's lines end in CR alone: read as lines all the same, named once
  TooLong,         // longer than any entry the panel writes: skipped without being held whole
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
  // The same in pieces of any size, so that a file is never held whole: BeginFile, Feed for
  // each piece in order, EndFile.
  void BeginFile(const LogFile& file);
  void Feed(std::string_view bytes);
  void EndFile();
  [[nodiscard]] LogData Take() { return std::move(data_); }

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::uint32_t NameIndex(std::string_view name);
  void AddLine(std::string_view line, std::uint32_t file, std::uint32_t number, Day fileDay);
  void EndLine(std::string_view line);

  LogData data_;
  std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>> index_;
  char cachedDate_[TimeStampDateLength] = {};
  Day cachedDay_ = -1;

  // The file being fed: its index and day, the line count so far, the line ending it uses,
  // and the start of a line that the next piece ends.
  std::uint32_t fileIndex_ = 0;
  Day fileDay_ = 0;
  std::uint32_t number_ = 0;
  char lineEnd_ = 0;  // '\n', or '\r' for a file whose lines end in CR alone; 0 until seen
  std::string partial_;
  bool overlong_ = false;  // the current line passed MaxLineBytes and is being skipped
};

// Longer than any entry: a time stamp, a 34-byte designator and the longest text, with room.
inline constexpr std::size_t MaxLineBytes = 4096;

}  // namespace logreport
