// The command line of quellmarinox-log-report, and where it looks for the log folder.
#pragma once

#include "logreport/Calendar.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logreport {

struct Options {
  std::string folder;  // empty: the default folder
  std::optional<Day> from, to;
  std::string channel;
  std::string html, csv;
  bool help = false;
};

struct ParsedArguments {
  std::optional<Options> options;
  std::string error;  // why not, for a message; the program then exits with status 2
};

// The arguments after the program's name. Options take their value as the next argument or
// after "=" ("--from 261205", "--from=261205").
[[nodiscard]] ParsedArguments ParseArguments(const std::vector<std::string_view>& arguments);

struct FolderChoice {
  std::string folder;  // empty when no candidate exists
  std::string note;    // how it was chosen, for the report
};
// The "Logs" folder beside the program, else the installed panel's, found from the program's folder
// as ProgramDirectoryOf gives it.
[[nodiscard]] FolderChoice DefaultLogFolder(const std::string& programFolder);

[[nodiscard]] std::string HelpText(const FolderChoice& defaultFolder, const std::string& programFolder);

}  // namespace logreport
