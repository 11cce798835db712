// The log folder on disk: which daily files it holds, reading one in bounded pieces, and
// writing the report's files.
#pragma once

#include "config/Result.h"
#include "logreport/LogParser.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace logreport {

// A file that looks like a day's log but is not read, and why.
struct SkippedFile {
  std::string name;
  std::string reason;
};

struct LogListing {
  std::vector<LogFile> files;        // "yymmdd.csv" with a real date, regular files, in date order
  std::vector<SkippedFile> notRead;  // other names of that look (".CSV", 991332.csv, 7 digits), by name
};

// Fills listing; fails, saying why, when the folder cannot be read.
[[nodiscard]] Result ListLogFiles(const std::string& folder, LogListing& listing);

// A day's log is far smaller: at most a few entries a second, under 100 bytes each.
inline constexpr std::uintmax_t MaxDayLogBytes = std::uintmax_t{256} << 20;

// Feeds the file as it is when opened to the reader, in pieces of a fixed size. Fails, saying
// why, for a file it cannot open or read and one larger than MaxDayLogBytes (not read at all);
// a read error part-way keeps what was read before it.
[[nodiscard]] Result ReadLogFile(const std::string& path, const LogFile& file, LogReader& reader);

// Reads the files, in their order, into the reader as ReadLogFile does each; names the files
// that could not be read, or only in part, with why. With sideReaders, that many files are read
// at once, each by a reader of its own on a thread of its own, and what they read is taken
// into this reader in file order, a few thousand entries at a time: the outcome is the same.
// meanwhile, if given, is done here before the reader takes anything: once the side readers
// have begun, while they read.
[[nodiscard]] std::vector<SkippedFile> ReadLogFiles(const std::string& folder, std::span<const LogFile> files,
                                                    LogReader& reader, unsigned sideReaders,
                                                    const std::function<void()>& meanwhile = {});

// Writes a report's file. "-" is standard output; a device or a pipe (also behind a link) is
// written directly; anything else is saved as the panel saves its data file: through links,
// whole under a temporary name beside it, synced and renamed over the target.
[[nodiscard]] Result WriteReportFile(const std::string& path, std::string_view bytes);

}  // namespace logreport
