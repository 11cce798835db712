// The log folder on disk: which daily files it holds, and reading one whole file.
#pragma once

#include "config/Result.h"
#include "logreport/LogParser.h"

#include <optional>
#include <string>
#include <vector>

namespace logreport {

// The files named "yymmdd.csv" (".CSV" too) with a real date, in date order, into files; a
// failure when the folder cannot be read.
[[nodiscard]] Result ListLogFiles(const std::string& folder, std::vector<LogFile>& files);

// The whole file as it is when opened, into buffer, with one read.
[[nodiscard]] Result ReadWholeFile(const std::string& path, std::string& buffer);

}  // namespace logreport

namespace logreport {
// Writes the whole file under a temporary name beside it and renames it over the target, so
// a failed write never leaves a cut file where a good one was.
[[nodiscard]] Result WriteFileWhole(const std::string& path, std::string_view bytes);
}  // namespace logreport
