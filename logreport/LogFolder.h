// The log folder on disk: which daily files it holds, reading one in bounded pieces, and
// writing the report's files.
#pragma once

#include "config/Result.h"
#include "logreport/LogParser.h"

#include <cstdint>
#include <optional>
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

// Nothing, with the reason in error, when the folder cannot be read.
[[nodiscard]] std::optional<LogListing> ListLogFiles(const std::string& folder, std::string& error);

// A day's log is far smaller: at most a few entries a second, under 100 bytes each.
inline constexpr std::uintmax_t MaxDayLogBytes = std::uintmax_t{256} << 20;

enum class ReadOutcome : std::uint8_t { Read, CannotRead, TooLarge };

// Feeds the file as it is when opened to the reader, in pieces of a fixed size. A file larger
// than MaxDayLogBytes is not read (TooLarge); error says why for anything but Read. A read
// error part-way keeps what was read before it.
[[nodiscard]] ReadOutcome ReadLogFile(const std::string& path, const LogFile& file, LogReader& reader,
                                      std::string& error);

// Writes a report's file. "-" is standard output; a device or a pipe (also behind a link) is
// written directly; anything else is saved as the panel saves its data file: through links,
// whole under a temporary name beside it, synced and renamed over the target.
[[nodiscard]] Result WriteReportFile(const std::string& path, std::string_view bytes);

}  // namespace logreport
