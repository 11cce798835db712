#include "logreport/Run.h"

#include "logreport/Analysis.h"
#include "logreport/LogFolder.h"
#include "logreport/Reports.h"
#include "logreport/Text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

namespace logreport {
namespace {
RunOutcome Failed(std::string error) { return {1, {}, std::move(error)}; }

// The channels named TEXT, or else every channel whose name holds it.
std::vector<bool> Select(const LogData& log, const std::string& channel) {
  if (channel.empty()) return {};
  const std::string wanted = ToLogBytes(channel);
  std::vector<bool> selected(log.names.size(), false);
  bool exact = false;
  for (std::size_t i = 0; i < log.names.size(); ++i)
    if (log.names[i] == wanted) selected[i] = exact = true;
  if (!exact)
    for (std::size_t i = 0; i < log.names.size(); ++i) selected[i] = log.names[i].find(wanted) != std::string::npos;
  return selected;
}
}  // namespace

RunOutcome RunReport(const Options& options, const FolderChoice& defaultFolder, Seconds now) {
  ReportContext context;
  context.channelText = options.channel;
  if (!options.folder.empty()) {
    context.folder = options.folder;
    context.folderNote = "given";
  } else if (!defaultFolder.folder.empty()) {
    context.folder = defaultFolder.folder;
    context.folderNote = defaultFolder.note;
  } else {
    return Failed(
        "no Logs folder beside this program nor an installed panel's; name one: "
        "quellmarinox-log-report LOGDIR");
  }

  LogListing listing;
  if (Result listed = ListLogFiles(context.folder, listing); !listed.ok) return Failed(std::move(listed.error));
  const std::vector<LogFile>& files = listing.files;
  context.otherNames = listing.notRead;
  if (files.empty() && !options.from && !options.to) return Failed("no log files (yymmdd.csv) in " + context.folder);

  Period period;
  period.first = options.from ? *options.from : files.front().day;
  period.last = options.to ? *options.to : files.back().day;
  if (!options.to) period.last = std::max(period.last, period.first);
  if (!options.from) period.first = std::min(period.first, period.last);
  period.end = (period.last + 1) * SecondsPerDay;

  // The entries go straight to the analysis as they are read: a year's are never all held.
  Analyser analyser(period);
  LogReader reader(&analyser);
  const std::filesystem::path folder(context.folder);
  std::vector<LogFile> inPeriod;
  for (const LogFile& file : files)
    if (file.day >= period.first && file.day <= period.last) inPeriod.push_back(file);
  // Two files read at once where there are two cores and a few megabytes to read, as the
  // first files' sizes tell; the others' sizes, for the room the alarms will take, are looked
  // up while those side readers begin.
  constexpr std::uintmax_t AFewMegabytes = std::uintmax_t{4} << 20;
  std::uintmax_t total = 0;
  std::size_t sized = 0;
  const auto addSize = [&] {
    std::error_code failure;
    const std::uintmax_t size = std::filesystem::file_size(folder / inPeriod[sized++].name, failure);
    if (!failure && size <= MaxDayLogBytes) total += size;
  };
  while (sized < inPeriod.size() && total < AFewMegabytes) addSize();
  const unsigned sideReaders = std::thread::hardware_concurrency() > 1 && total >= AFewMegabytes ? 2 : 0;
  context.unread = ReadLogFiles(context.folder, inPeriod, reader, sideReaders, [&] {
    while (sized < inPeriod.size()) addSize();
    analyser.Expect(total);
  });
  const LogData log = reader.Take();
  // A day not over yet ends now, or at its last entry when the clocks disagree.
  if (now >= period.Start() && now < period.end) {
    const Seconds dayEnd = period.end;
    period.end = std::min(std::max(now, analyser.Latest().value_or(now - 1) + 1), dayEnd);
  }

  const Analysis analysis = analyser.Finish(log, period, Select(log, options.channel));
  RunOutcome outcome;
  outcome.text = TextReport(log, analysis, context);
  // A page or CSV sent to standard output takes the text's place there.
  if (options.html == "-" || options.csv == "-") outcome.text.clear();
  if (!options.html.empty()) {
    if (Result written = WriteReportFile(options.html, HtmlReport(log, analysis, context)); !written.ok)
      return {1, std::move(outcome.text), std::move(written.error)};
  }
  if (!options.csv.empty()) {
    if (Result written = WriteReportFile(options.csv, CsvReport(log, analysis)); !written.ok)
      return {1, std::move(outcome.text), std::move(written.error)};
  }
  if (!context.unread.empty()) {
    outcome.status = 3;
    outcome.error = UnreadText(ReportContext{{}, {}, {}, context.unread, {}});
    outcome.error.pop_back();
  }
  return outcome;
}

}  // namespace logreport
