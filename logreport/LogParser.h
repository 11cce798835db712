// Reads the panel's daily event log files, whose lines config/EventLogFormat.h describes. The
// designator is everything between the time stamp and the text after it, commas and 8-bit
// bytes included. Lines that do not fit are counted with their file and line number and
// skipped; nothing stops the reading.
#pragma once

#include "config/EventLogFormat.h"
#include "logreport/Calendar.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace logreport {

class MaybeSeconds;

// A moment of a log in 32 bits: the seconds from 31/12/1999, the earliest day an entry can
// carry (its file's day or the day before, and files are named in 2000 to 2099), to at most
// 01/01/2100. A year holds a million entries and many episodes; each reads as the Seconds it
// holds.
class LogMoment {
 public:
  constexpr LogMoment() = default;
  // cppcheck-suppress noExplicitConstructor ; a moment of the log is stored as it comes
  constexpr LogMoment(Seconds time) : offset_(static_cast<std::uint32_t>(time - Base)) {}
  constexpr operator Seconds() const { return Base + offset_; }

 private:
  friend class MaybeSeconds;
  static constexpr Seconds Base = Seconds{10956} * SecondsPerDay;
  static_assert(Seconds{47482} * SecondsPerDay - Base < Seconds{UINT32_MAX}, "01/01/2100 fits, with room for none");
  std::uint32_t offset_ = 0;
};

// A reader's files are days of 2000 to 2099, each once (LogReader::BeginFile): an entry's
// file index fits in 16 bits.
inline constexpr std::size_t MaxFiles = std::size_t{1} << 16;

// Four words: a year's entries pass between threads.
struct Entry {
  LogMoment time;
  std::uint32_t name = 0;  // index into LogData::names for the kinds with a designator, else 0
  std::uint32_t line = 0;  // from 1
  std::uint16_t file = 0;  // index into LogData::files
  LogEntryKind kind = LogEntryKind::Alarm;
};
static_assert(sizeof(Entry) == 16);

// Whether entries of the kind carry a designator, and so a name: asked of every entry read
// side by side, so looked up rather than searched for.
inline constexpr auto KindsWithName = [] {
  std::array<bool, std::size_t{static_cast<std::uint8_t>(LogEntryKind::ApplicationClosed)} + 1> named{};
  for (const EventLogText& text : EventLogTexts)
    named[static_cast<std::uint8_t>(text.kind)] =
        named[static_cast<std::uint8_t>(text.kind)] || text.channel != LogChannel::None;
  return named;
}();
[[nodiscard]] constexpr bool HasName(LogEntryKind kind) {
  const auto at = static_cast<std::uint8_t>(kind);
  return at < KindsWithName.size() && KindsWithName[at];
}

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
  std::vector<Entry> entries;      // in the order written, by a reader without a sink
  std::vector<LineProblem> problems;
  std::uint64_t lines = 0;
};

// A reader with a sink hands on its entries this many at a time: a batch that stays in the cache.
inline constexpr std::size_t EntriesAtOnce = 4096;

// An entry read by a reader of its own, its file and name made this reader's: file is its
// file's index here, and names maps that reader's name indexes to these.
[[nodiscard]] inline Entry ReadHere(Entry entry, std::uint16_t file, std::span<const std::uint32_t> names) {
  entry.file = file;
  if (HasName(entry.kind)) entry.name = names[entry.name];
  return entry;
}

// Takes the entries as a reader reads them, so that they need not all be held at once.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // Some entries in the order read; log holds the files and names read so far.
  virtual void Take(const LogData& log, std::span<const Entry> entries) = 0;
  // The same from a reader of its own, each as ReadHere makes it: taken one by one, the list
  // that reader filled is only read.
  virtual void TakeRead(const LogData& log, std::span<const Entry> entries, std::uint16_t file,
                        std::span<const std::uint32_t> names) {
    std::vector<Entry> here;
    here.reserve(entries.size());
    for (const Entry& entry : entries) here.push_back(ReadHere(entry, file, names));
    Take(log, here);
  }
  // The same from the reader's own list, which a sink may keep, leaving it another, empty.
  virtual void TakeList(const LogData& log, std::vector<Entry>& entries) {
    Take(log, entries);
    entries.clear();
  }

 protected:
  EntrySink() = default;
  EntrySink(const EntrySink&) = default;
  EntrySink& operator=(const EntrySink&) = default;
};

class LogReader {
 public:
  // Without a sink the entries are kept in LogData::entries; with one they go to it a few
  // thousand at a time, and at the end of each file, and are not kept.
  explicit LogReader(EntrySink* sink = nullptr);
  // Files must come in date order, each day once (at most MaxFiles: std::length_error past
  // them); the bytes need to live only for the call.
  void AddFile(const LogFile& file, std::string_view bytes);
  // The same in pieces of any size, so that a file is never held whole: BeginFile, Feed for
  // each piece in order, EndFile.
  void BeginFile(const LogFile& file);
  void Feed(std::string_view bytes);
  void EndFile();
  [[nodiscard]] LogData Take() {
    Flush();
    return std::move(data_);
  }

  // For reading files side by side, each file in a reader of its own: what that reader read
  // is taken here in file order, as if read here. A file begins with BeginFile as ever; its
  // entries come with their file's index here and the map of their names (as ReadHere takes
  // them), its problems with their file already this reader's, and the count of the lines
  // they were read from.
  [[nodiscard]] const LogData& Data() const { return data_; }
  [[nodiscard]] std::uint32_t NameIndex(std::string_view name);
  void AddRead(std::span<const Entry> entries, std::uint16_t file, std::span<const std::uint32_t> names,
               std::span<const LineProblem> problems, std::uint64_t lines);

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  void AddLine(std::string_view line, std::uint32_t file, std::uint32_t number, Day fileDay);
  void EndLine(std::string_view line);
  // Whether the first bytes of a file show its line end, which is then set.
  bool LineEndSeen(std::string_view seen);
  void Flush();

  EntrySink* sink_ = nullptr;
  LogData data_;
  std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>> index_;
  // The texts after the time stamp met lately, by a quick hash of their ends: a log writes a
  // few texts again and again, and one read before is known by its bytes alone. A slot holds
  // a text of 8 to 64 bytes whole, with the kind and name it was read as (its size 0: empty).
  // Only a text that reads as an entry is kept: one with a NUL byte never is.
  struct RecentText {
    std::uint64_t head = 0, tail = 0;
    std::uint32_t size = 0, name = 0;
    LogEntryKind kind = LogEntryKind::Alarm;
    bool plain = false;  // it holds no comma and no NUL byte
    std::array<char, 64> bytes = {};
  };
  std::array<RecentText, 256> recentTexts_ = {};
  // The slot of a text of 8 to 64 bytes, its first and last eight bytes set to the text's:
  // it holds the text when its size is the text's and the bytes between are the same.
  RecentText* RecentSlot(std::string_view text);
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
