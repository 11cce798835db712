// quellmarinox-log-report: reads the panel's daily event logs and reports the alarm load.
#include "logreport/Analysis.h"
#include "logreport/LogFolder.h"
#include "logreport/Options.h"
#include "logreport/Reports.h"
#include "logreport/Text.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {
using namespace logreport;

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "quellmarinox-log-report: %s\n", message.c_str());
  if (status == 2) std::fputs("Try: quellmarinox-log-report --help\n", stderr);
  return status;
}

std::string ProgramFolder() {
  std::error_code failure;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failure);
  return failure ? std::string(".") : program.parent_path().string();
}

// The panel's clock is the local one; the report ends no later than now.
Seconds LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::optional<Day> day = DayOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return day.value_or(0) * SecondsPerDay + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const ParsedArguments parsed = ParseArguments(arguments);
  if (!parsed.options) return Fail(parsed.error, 2);
  const Options& options = *parsed.options;
  const std::string programFolder = ProgramFolder();
  const FolderChoice defaultFolder = DefaultLogFolder(programFolder);
  if (options.help) {
    std::fputs(HelpText(defaultFolder, programFolder).c_str(), stdout);
    return 0;
  }

  ReportContext context;
  context.channelText = options.channel;
  if (!options.folder.empty()) {
    context.folder = options.folder;
    context.folderNote = "given";
  } else if (!defaultFolder.folder.empty()) {
    context.folder = defaultFolder.folder;
    context.folderNote = defaultFolder.note;
  } else {
    return Fail("no log folder found beside this program (" + programFolder +
                    "/Logs) nor an installed panel's; name one: quellmarinox-log-report LOGDIR",
                1);
  }

  std::string error;
  const std::optional<std::vector<LogFile>> files = ListLogFiles(context.folder, error);
  if (!files) return Fail(error, 1);
  if (files->empty() && !options.from && !options.to) return Fail("no log files (yymmdd.csv) in " + context.folder, 1);

  Period period;
  period.first = options.from ? *options.from : files->front().day;
  period.last = options.to ? *options.to : files->empty() ? period.first : files->back().day;
  if (!options.to && period.last < period.first) period.last = period.first;
  if (!options.from && period.first > period.last) period.first = period.last;
  period.end = (period.last + 1) * SecondsPerDay;
  const Seconds now = LocalNow();

  LogReader reader;
  std::string buffer;
  std::uintmax_t total = 0;
  for (const LogFile& file : *files) {
    std::error_code failure;
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(context.folder) / file.name, failure);
    if (!failure && file.day >= period.first && file.day <= period.last) total += size;
  }
  reader.Reserve(static_cast<std::size_t>(total));
  for (const LogFile& file : *files) {
    if (file.day < period.first || file.day > period.last) continue;
    if (!ReadWholeFile((std::filesystem::path(context.folder) / file.name).string(), buffer, error))
      return Fail(error, 1);
    reader.AddFile(file, buffer);
  }
  const LogData log = reader.Take();
  // A day not over yet ends now, or at its last entry when the clocks disagree.
  if (now >= period.Start() && now < period.end) {
    period.end = now;
    for (const Entry& entry : log.entries) period.end = std::max(period.end, entry.time + 1);
    period.end = std::min(period.end, (period.last + 1) * SecondsPerDay);
  }

  std::vector<bool> selected;
  if (!options.channel.empty()) {
    const std::string wanted = ToLogBytes(options.channel);
    selected.assign(log.names.size(), false);
    bool exact = false;
    for (std::size_t i = 0; i < log.names.size(); ++i)
      if (log.names[i] == wanted) selected[i] = exact = true;
    if (!exact)
      for (std::size_t i = 0; i < log.names.size(); ++i) selected[i] = log.names[i].find(wanted) != std::string::npos;
  }
  const Analysis analysis = Analyse(log, period, std::move(selected));

  const std::string text = TextReport(log, analysis, context);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (!options.html.empty() && !WriteFileWhole(options.html, HtmlReport(log, analysis, context), error))
    return Fail(error, 1);
  if (!options.csv.empty() && !WriteFileWhole(options.csv, CsvReport(log, analysis), error)) return Fail(error, 1);
  if (std::fflush(stdout) != 0) return Fail("standard output: write failed", 1);
  return 0;
}
