#include "logreport/Options.h"

#include <filesystem>
#include <system_error>

namespace logreport {
namespace {
// Where an installed panel keeps its logs, from the folder of this program (bin/); the panel's
// folder is the build's (QMX_PANEL_INSTALL_DIR).
std::string InstalledLogs() { return "../" + std::string(QMX_PANEL_INSTALL_DIR) + "/Logs"; }

bool IsFolder(const std::string& path) {
  std::error_code failure;
  return std::filesystem::is_directory(path, failure);
}
}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string_view>& arguments) {
  Options options;
  const auto fail = [](std::string why) { return ParsedArguments{std::nullopt, std::move(why)}; };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      continue;
    }
    if (!argument.starts_with("-") || argument == "-") {
      if (!options.folder.empty())
        return fail("more than one log folder: " + options.folder + " and " + std::string(argument));
      if (argument.empty()) return fail("an empty log folder name");
      options.folder = argument;
      continue;
    }
    std::string_view option = argument, value;
    bool inlineValue = false;
    if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
      option = argument.substr(0, equals);
      value = argument.substr(equals + 1);
      inlineValue = true;
    }
    if (option != "--from" && option != "--to" && option != "--channel" && option != "--html" && option != "--csv")
      return fail("unknown option " + std::string(argument));
    if (!inlineValue) {
      if (i + 1 == arguments.size()) return fail(std::string(option) + " needs a value");
      value = arguments[++i];
    }
    if (value.empty()) return fail(std::string(option) + " needs a value");
    if (option == "--from" || option == "--to") {
      const std::optional<Day> day = ParseFileDay(value);
      if (!day) return fail(std::string(option) + " " + std::string(value) + ": not a date as yymmdd (e.g. 261205)");
      (option == "--from" ? options.from : options.to) = day;
    } else {
      (option == "--channel" ? options.channel : option == "--html" ? options.html : options.csv) = value;
    }
  }
  if (options.html == "-" && options.csv == "-") return fail("only one of --html and --csv can be - (standard output)");
  if (options.from && options.to && *options.from > *options.to)
    return fail("--from " + FileNameOf(*options.from).substr(0, 6) + " (" + FormatDate(*options.from) +
                ") is later than --to " + FileNameOf(*options.to).substr(0, 6) + " (" + FormatDate(*options.to) + ")");
  return {options, {}};
}

FolderChoice DefaultLogFolder(const std::string& programFolder) {
  // The program's folder has no separator at its end, and is "" for the root.
  const std::string beside = programFolder + "/Logs";
  if (IsFolder(beside)) return {beside, "the Logs folder beside this program"};
  const std::string installed =
      std::filesystem::path(programFolder + "/" + InstalledLogs()).lexically_normal().string();
  if (IsFolder(installed)) return {installed, "the installed panel's Logs folder"};
  return {{}, {}};
}

std::string HelpText(const FolderChoice& defaultFolder, const std::string& programFolder) {
  std::string text = R"(Usage: quellmarinox-log-report [LOGDIR] [--from yymmdd] [--to yymmdd] [--channel TEXT]
                               [--html FILE] [--csv FILE]

Reads the panel's daily event logs (yymmdd.csv) and prints, for the period and per channel,
the alarms raised, accepted and reset, the times from each alarm to its accept and to its
reset (median and worst), the alarms still open at the end, the link losses and how long
they lasted, and the time the panel was not running, when no alarm could be seen. It judges
the alarm load against ISA-18.2 / EEMUA 191 (alarms a day and per 10 minutes, floods by a
sliding 10-minute window, chattering, the most frequent, stale and standing alarms, hours over
30 alarms) and names the channels to look at first. The lost-link alarm counts in the rates.

  LOGDIR          the log folder. Default: the folder Logs beside this program, else
                  )" +
                     InstalledLogs() + R"( from this program's folder,
                  where an installed panel keeps its logs.
  --from yymmdd   the first day (default: the first day that has a file)
  --to yymmdd     the last day (default: the last day that has a file)
  --channel TEXT  only the channel named TEXT or, when no channel has exactly that name,
                  every channel whose name contains TEXT. Link losses and the panel's
                  running time are reported all the same.
  --html FILE     also write a page with charts (one file, nothing fetched)
  --csv FILE      also write every alarm episode and link loss for a spreadsheet (UTF-8)
                  FILE may be - for standard output (instead of the text), a device or a
                  pipe; a link is written through; a file is replaced whole, never cut.
  --help          this text

Only files named yymmdd.csv (small letters, a real date) are read; others that look like a
day's log (.CSV, 991332.csv, seven digits) are named. Days without a file, torn or unreadable
lines, and names that a digital and an analogue input share are reported, not fatal.
Exit status: 0 when the report is written; 1 when there is no report (the folder cannot be
read or holds no log, or the page or CSV cannot be written); 2 for bad arguments (a bad date,
--from later than --to); 3 when the report is written but incomplete: a day's file could not
be read (no permission, a read error, far too large), named in the report and on stderr.

)";
  if (!defaultFolder.folder.empty())
    text += "Default log folder here: " + defaultFolder.folder + " (" + defaultFolder.note + ")\n";
  else
    text +=
        "Default log folder here: none found (looked for Logs and " + InstalledLogs() + " in " + programFolder + ")\n";
  return text;
}

}  // namespace logreport
