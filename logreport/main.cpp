// quellmarinox-log-report: reads the panel's daily event logs and reports the alarm load.
#include "config/ProgramPath.h"
#include "logreport/Options.h"
#include "logreport/Run.h"

#include <cstdio>
#include <ctime>

namespace {
using namespace logreport;

// The panel's clock is the local one.
Seconds LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::optional<Day> day = DayOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return day.value_or(0) * SecondsPerDay + static_cast<Seconds>(local.tm_hour) * 3600 +
         static_cast<Seconds>(local.tm_min) * 60 + local.tm_sec;
}
}  // namespace

int main(int argc, char** argv) {
  const ParsedArguments parsed = ParseArguments(std::vector<std::string_view>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::fprintf(stderr, "quellmarinox-log-report: %s\nTry: quellmarinox-log-report --help\n", parsed.error.c_str());
    return 2;
  }
  const std::string programFolder = ProgramDirectoryOf(ProgramFilePath(argc > 0 ? argv[0] : ""));
  const FolderChoice defaultFolder = DefaultLogFolder(programFolder);
  if (parsed.options->help) {
    std::fputs(HelpText(defaultFolder, programFolder).c_str(), stdout);
    return 0;
  }
  const RunOutcome outcome = RunReport(*parsed.options, defaultFolder, LocalNow());
  std::fwrite(outcome.text.data(), 1, outcome.text.size(), stdout);
  if (std::fflush(stdout) != 0 && outcome.result.ok) {
    std::fputs("quellmarinox-log-report: standard output: write failed\n", stderr);
    return 1;
  }
  if (outcome.result.ok) return 0;
  std::fprintf(stderr, "quellmarinox-log-report: %s\n", outcome.result.error.c_str());
  return 1;
}
