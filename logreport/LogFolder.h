// The log folder on disk: which daily files it holds, and reading one whole file.
#pragma once

#include "logreport/LogParser.h"

#include <optional>
#include <string>
#include <vector>

namespace logreport {

// The files named "yymmdd.csv" (".CSV" too) with a real date, in date order. Nothing, with
// the reason in error, when the folder cannot be read.
[[nodiscard]] std::optional<std::vector<LogFile>> ListLogFiles(const std::string& folder, std::string& error);

// The whole file as it is when opened, into buffer, with one read.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& buffer, std::string& error);

}  // namespace logreport

namespace logreport {
// Writes the whole file under a temporary name beside it and renames it over the target, so
// a failed write never leaves a cut file where a good one was.
[[nodiscard]] bool WriteFileWhole(const std::string& path, std::string_view bytes, std::string& error);
}  // namespace logreport
