// One page with everything inline: styles, SVG charts, no script and nothing fetched.
#include "logreport/Reports.h"

#include "logreport/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace logreport {
namespace {
constexpr int ChartWidth = 1160;  // drawing width of the charts, in pixels
constexpr int LabelWidth = 210;   // channel names left of the timeline
constexpr int MaxColumns = 1100;  // bars in the ten-minute chart before periods are grouped
constexpr std::size_t MaxTimelineRows = 40;

void Escape(std::string& out, std::string_view utf8) {
  for (const char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
}
std::string Escaped(std::string_view utf8) {
  std::string out;
  Escape(out, utf8);
  return out;
}
std::string Name(const LogData& log, std::uint32_t name) { return Escaped(DisplayText(log.names[name])); }

const char* LevelClass(Level level) {
  switch (level) {
    case Level::Good: return "good";
    case Level::Fair: return "fair";
    case Level::Poor: return "poor";
    case Level::Unknown: return "none";
  }
  return "none";
}

constexpr const char* Style = R"(<style>
body{font-family:sans-serif;font-size:14px;color:#222;margin:20px;max-width:1200px}
h1{font-size:22px;margin:0 0 8px}h2{font-size:17px;margin:26px 0 8px;border-bottom:1px solid #ccc}
table{border-collapse:collapse}td,th{padding:3px 8px;text-align:left;vertical-align:top}
th{background:#eee}tr:nth-child(even) td{background:#f7f7f7}td.n{text-align:right}td:first-child{white-space:nowrap}
.meta td{padding:1px 8px 1px 0;background:none!important}
.good{background:#d9f0d9!important}.fair{background:#fbe9c4!important}.poor{background:#f6d0d0!important}
.none{background:#e8e8e8!important}.note{color:#555;font-size:12px}
svg text{font-family:sans-serif;font-size:11px;fill:#333}
</style>)";

// X positions of the period on a chart of the given width.
struct Scale {
  Seconds start, end;
  int x0, width;
  [[nodiscard]] double X(Seconds t) const {
    const double span = static_cast<double>(std::max<Seconds>(1, end - start));
    return x0 + width * static_cast<double>(std::clamp(t, start, end) - start) / span;
  }
};

// Day or month marks along the time axis.
void TimeAxis(std::string& out, const Scale& scale, const Period& period, int top, int bottom) {
  const Day days = period.last - period.first + 1;
  const Day step = days <= 16 ? 1 : days <= 62 ? 7 : 0;
  for (Day day = period.first; day <= period.last; ++day) {
    const std::string date = FormatDate(day);
    if (step == 0 ? date.compare(0, 2, "01") != 0 : (day - period.first) % step != 0) continue;
    const double x = scale.X(day * SecondsPerDay);
    out += "<line x1='" + OneDecimal(x) + "' y1='" + std::to_string(top) + "' x2='" + OneDecimal(x) + "' y2='" +
           std::to_string(bottom) + "' stroke='#ccc'/>";
    out += "<text x='" + OneDecimal(x + 2) + "' y='" + std::to_string(bottom + 13) + "'>" +
           (step == 0 ? date.substr(3) : date.substr(0, 5)) + "</text>";
  }
}

// Grey bands where the panel was stopped or a day has no file, as the analysis counts them.
void Unwatched(std::string& out, const Analysis& a, const Scale& scale, int top, int height) {
  for (const TimeSpan& span : a.unwatched) {
    const double x = scale.X(span.from);
    const double w = std::max(1.0, scale.X(span.to) - x);
    out += "<rect x='" + OneDecimal(x) + "' y='" + std::to_string(top) + "' width='" + OneDecimal(w) + "' height='" +
           std::to_string(height) + "' fill='#e4e4e4'/>";
  }
}

void TenMinuteChart(std::string& out, const Analysis& a) {
  const std::size_t slotCount = a.perTenMinutes.size();
  const std::size_t group = std::max<std::size_t>(1, (slotCount + MaxColumns - 1) / MaxColumns);
  const std::size_t columns = (slotCount + group - 1) / group;
  std::uint32_t peak = 0;
  for (const std::uint32_t count : a.perTenMinutes) peak = std::max(peak, count);
  const double top = std::max<double>(12, peak);
  const int height = 200, x0 = 40, y0 = 10, width = ChartWidth - x0;
  const Scale scale{a.period.Start(), a.period.Start() + static_cast<Seconds>(slotCount) * 600, x0, width};
  out += "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(ChartWidth) + "' height='" +
         std::to_string(height + y0 + 30) + "' role='img'>";
  Unwatched(out, a, scale, y0, height);
  TimeAxis(out, scale, a.period, y0, y0 + height);
  const auto y = [&](double count) { return y0 + height - height * count / top; };
  const double barWidth = columns > 0 ? static_cast<double>(width) / static_cast<double>(columns) : 0;
  for (std::size_t c = 0; c < columns; ++c) {
    std::uint32_t count = 0;
    for (std::size_t s = c * group; s < std::min(slotCount, (c + 1) * group); ++s)
      count = std::max(count, a.perTenMinutes[s]);
    if (count == 0) continue;
    const char* colour = count > FloodAlarms ? "#c62828" : count > BusyAlarms ? "#ef8f00" : "#4a78b0";
    out += "<rect x='" + OneDecimal(x0 + barWidth * static_cast<double>(c)) + "' y='" + OneDecimal(y(count)) +
           "' width='" + OneDecimal(std::max(barWidth * 0.85, 0.8)) + "' height='" +
           OneDecimal(y0 + height - y(count)) + "' fill='" + colour + "'/>";
  }
  // Axis, and the lines of the benchmarks.
  out += "<line x1='" + std::to_string(x0) + "' y1='" + std::to_string(y0 + height) + "' x2='" +
         std::to_string(x0 + width) + "' y2='" + std::to_string(y0 + height) + "' stroke='#333'/>";
  for (const std::uint32_t mark : {std::uint32_t{0}, BusyAlarms, FloodAlarms}) {
    out += "<text x='" + std::to_string(x0 - 6) + "' y='" + OneDecimal(y(mark) + 4) + "' text-anchor='end'>" +
           std::to_string(mark) + "</text>";
  }
  out += "<text x='" + std::to_string(x0 - 6) + "' y='" + OneDecimal(y(top) + 8) + "' text-anchor='end'>" +
         std::to_string(static_cast<int>(top)) + "</text>";
  out += "<line x1='" + std::to_string(x0) + "' y1='" + OneDecimal(y(FloodAlarms)) + "' x2='" +
         std::to_string(x0 + width) + "' y2='" + OneDecimal(y(FloodAlarms)) +
         "' stroke='#c62828' stroke-dasharray='6 4'/>";
  out += "<text x='" + std::to_string(x0 + width - 4) + "' y='" + OneDecimal(y(FloodAlarms) - 4) +
         "' text-anchor='end' style='fill:#c62828'>flood: more than " + std::to_string(FloodAlarms) + "</text>";
  out += "<line x1='" + std::to_string(x0) + "' y1='" + OneDecimal(y(BusyAlarms)) + "' x2='" +
         std::to_string(x0 + width) + "' y2='" + OneDecimal(y(BusyAlarms)) +
         "' stroke='#ef8f00' stroke-dasharray='3 3'/>";
  out += "</svg>";
  if (group > 1)
    out += "<p class='note'>Each bar is the busiest ten-minute period of " + std::to_string(group) + " in a row.</p>";
}

// Per channel: red while an alarm waits for its accept, amber once accepted until its reset.
void Timeline(std::string& out, const LogData& log, const Analysis& a) {
  const std::size_t rows = std::min(a.channels.size(), MaxTimelineRows);
  const int rowHeight = 18, x0 = LabelWidth, width = ChartWidth - LabelWidth, y0 = 4;
  const Scale scale{a.period.Start(), a.period.end, x0, width};
  std::vector<std::int64_t> row(log.names.size(), -1);
  for (std::size_t r = 0; r < rows; ++r) row[a.channels[r].name] = static_cast<std::int64_t>(r);
  // Pixel columns per row: 0 nothing, then (the stronger wins) accepted or waiting for accept
  // while open at the end, where an end that writes no entry may have come first (1, 2), and
  // accepted or waiting for accept as the entries show (3, 4).
  std::vector<std::vector<std::uint8_t>> pixels(rows, std::vector<std::uint8_t>(static_cast<std::size_t>(width), 0));
  const auto mark = [&](std::size_t r, Seconds from, Seconds to, std::uint8_t state) {
    const int first = std::clamp(static_cast<int>(scale.X(from)) - x0, 0, width - 1);
    const int last = std::clamp(static_cast<int>(scale.X(to)) - x0, first, width - 1);
    for (int x = first; x <= last; ++x)
      pixels[r][static_cast<std::size_t>(x)] = std::max(pixels[r][static_cast<std::size_t>(x)], state);
  };
  for (const Episode& e : a.episodes) {
    if (row[e.name] < 0) continue;
    const auto r = static_cast<std::size_t>(row[e.name]);
    // Where the episode is known to be over: its reset, the panel's stop, or still open at the end.
    std::optional<Seconds> over = e.reset ? e.reset : e.stopped;
    const bool openAtEnd = !over && e.end == EpisodeEnd::StillOpen;
    if (openAtEnd) over = a.period.end;
    const auto sure = static_cast<std::uint8_t>(openAtEnd ? 0 : 2);
    if (e.accepted) {
      mark(r, e.raised, *e.accepted, 4);
      mark(r, *e.accepted, over ? *over : *e.accepted, static_cast<std::uint8_t>(1 + sure));
    } else {
      mark(r, e.raised, e.raised, 4);
      mark(r, e.raised, over ? *over : e.raised, static_cast<std::uint8_t>(2 + sure));
    }
  }
  static const char* const colours[] = {"", "#f8dca0", "#f4b4b4", "#f0a020", "#d32f2f"};
  const int height = static_cast<int>(rows) * rowHeight;
  out += "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(ChartWidth) + "' height='" +
         std::to_string(height + y0 + 24) + "' role='img'>";
  Unwatched(out, a, scale, y0, height);
  TimeAxis(out, scale, a.period, y0, y0 + height);
  for (std::size_t r = 0; r < rows; ++r) {
    const int top = y0 + static_cast<int>(r) * rowHeight;
    out += "<text x='" + std::to_string(x0 - 6) + "' y='" + std::to_string(top + 13) + "' text-anchor='end'>" +
           Name(log, a.channels[r].name) + "</text>";
    out += "<line x1='" + std::to_string(x0) + "' y1='" + std::to_string(top + rowHeight) + "' x2='" +
           std::to_string(x0 + width) + "' y2='" + std::to_string(top + rowHeight) + "' stroke='#eee'/>";
    for (int x = 0; x < width;) {
      const std::uint8_t state = pixels[r][static_cast<std::size_t>(x)];
      int end = x + 1;
      while (end < width && pixels[r][static_cast<std::size_t>(end)] == state) ++end;
      if (state != 0)
        out += "<rect x='" + std::to_string(x0 + x) + "' y='" + std::to_string(top + 3) + "' width='" +
               std::to_string(end - x) + "' height='" + std::to_string(rowHeight - 6) + "' fill='" + colours[state] +
               "'/>";
      x = end;
    }
  }
  out += "</svg>";
  out +=
      "<p class='note'><span style='color:#d32f2f'>&#9632;</span> raised, waiting for its accept &nbsp; "
      "<span style='color:#f0a020'>&#9632;</span> accepted, until its reset &nbsp; "
      "<span style='color:#f4b4b4'>&#9632;</span><span style='color:#f8dca0'>&#9632;</span> the same, open at the "
      "end, where an end that writes no entry may have come first &nbsp; "
      "<span style='color:#ccc'>&#9632;</span> panel not running or no file. An alarm that needs no accept or no "
      "reset may end without an entry; it shows only as far as its entries go.";
  if (a.channels.size() > rows) out += " The " + std::to_string(rows) + " channels with the most alarms are shown.";
  out += "</p>";
}

void AcceptChart(std::string& out, const Analysis& a) {
  static const char* const labels[] = {"up to 10 s", "10-30 s",   "30 s-1 min", "1-2 min", "2-5 min",
                                       "5-10 min",   "10-30 min", "30-60 min",  "over 1 h"};
  static_assert(std::size(labels) == std::size(AcceptBuckets) + 1);
  std::uint32_t peak = 1;
  for (const std::uint32_t count : a.acceptHistogram) peak = std::max(peak, count);
  const int barHeight = 20, x0 = 90, width = 700;
  const int height = static_cast<int>(a.acceptHistogram.size()) * (barHeight + 4);
  out += "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(x0 + width + 80) + "' height='" +
         std::to_string(height + 4) + "' role='img'>";
  for (std::size_t i = 0; i < a.acceptHistogram.size(); ++i) {
    const int top = static_cast<int>(i) * (barHeight + 4);
    const double w = width * static_cast<double>(a.acceptHistogram[i]) / peak;
    out += "<text x='" + std::to_string(x0 - 6) + "' y='" + std::to_string(top + 14) + "' text-anchor='end'>" +
           labels[i] + "</text>";
    out += "<rect x='" + std::to_string(x0) + "' y='" + std::to_string(top) + "' width='" + OneDecimal(w) +
           "' height='" + std::to_string(barHeight) + "' fill='" +
           (i >= 6   ? "#c62828"
            : i >= 4 ? "#ef8f00"
                     : "#4a78b0") +
           "'/>";
    out += "<text x='" + OneDecimal(x0 + w + 6) + "' y='" + std::to_string(top + 14) + "'>" +
           std::to_string(a.acceptHistogram[i]) + "</text>";
  }
  out += "</svg>";
}
}  // namespace

std::string HtmlReport(const LogData& log, const Analysis& a, const ReportContext& context) {
  std::string out;
  out.reserve(1 << 20);
  const Period& period = a.period;
  out += "<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'><title>Event log report " +
         FormatDate(period.first) + " to " + FormatDate(period.last) + "</title>\n";
  out += Style;
  out += "</head><body>\n<h1>Event log report</h1>\n<table class='meta'>";
  out += "<tr><td>Log folder</td><td>" + Escaped(context.folder) + " (" + Escaped(context.folderNote) + ")</td></tr>";
  out += "<tr><td>Period</td><td>" + FormatDate(period.first) + " to " + FormatDate(period.last) + "; " +
         std::to_string(log.files.size()) + " files, " + std::to_string(log.lines) + " lines</td></tr>";
  if (const std::vector<Day> noFile = NoFileDays(a, context); !noFile.empty())
    out += "<tr><td>No file</td><td>" + DayRanges(noFile) +
           " (the panel was not running or logging was off)</td></tr>";
  for (const SkippedFile& file : context.unread)
    out += "<tr><td>Not read</td><td class='poor'>" + Escaped(DisplayText(file.name)) + ": " + Escaped(file.reason) +
           " (this report is incomplete)</td></tr>";
  for (const SkippedFile& file : context.otherNames)
    out += "<tr><td>Not read</td><td>" + Escaped(DisplayText(file.name)) + ": " + Escaped(file.reason) +
           " (not a name the panel writes)</td></tr>";
  if (!context.channelText.empty())
    out += "<tr><td>Channels</td><td>only those named &ldquo;" + Escaped(context.channelText) + "&rdquo;</td></tr>";
  out += "</table>\n";

  out += "<h2>Against ISA-18.2 / EEMUA 191</h2>\n<table><tr><th>Item</th><th>In this log</th><th>Verdict</th></tr>";
  for (const Verdict& verdict : a.verdicts)
    out += "<tr><td>" + Escaped(verdict.item) + "</td><td>" + Escaped(verdict.finding) + "</td><td class='" +
           LevelClass(verdict.level) + "'>" + Escaped(verdict.judgement) + "</td></tr>";
  out += "</table>\n<p><b>Look first at:</b> ";
  if (a.lookFirst.empty()) out += "no channel stands out";
  for (std::size_t i = 0; i < a.lookFirst.size(); ++i) out += (i > 0 ? "; " : "") + Escaped(a.lookFirst[i]);
  out += "</p>\n";

  out += "<h2>Alarms per 10 minutes</h2>\n";
  TenMinuteChart(out, a);
  out += "<h2>Alarm states per channel</h2>\n";
  Timeline(out, log, a);

  out += "<h2>The " + std::to_string(MostFrequentCount) +
         " most frequent alarms</h2>\n<table><tr><th></th><th>Channel</th><th>Alarms</th><th>Share</th>"
         "<th>Chattering</th><th>Median to accept</th></tr>";
  for (std::size_t i = 0; i < a.channels.size() && i < MostFrequentCount; ++i) {
    const ChannelFigures& c = a.channels[i];
    out += "<tr><td class='n'>" + std::to_string(i + 1) + "</td><td>" + Name(log, c.name) + "</td><td class='n'>" +
           std::to_string(c.raised) + "</td><td class='n'>" +
           OneDecimal(a.alarms > 0 ? 100.0 * static_cast<double>(c.raised) / static_cast<double>(a.alarms) : 0) +
           " %</td><td class='n'>" + std::to_string(c.chatter) + "</td><td class='n'>" + MedianText(c.toAccept) +
           "</td></tr>";
  }
  out += "</table>\n";

  out += "<h2>Time to accept</h2>\n";
  AcceptChart(out, a);
  out += "<p>Median " + MedianText(a.toAccept) + ", worst " + WorstText(a.toAccept) + ", over " +
         std::to_string(a.toAccept.count) + " accepted alarms.</p>\n";

  out +=
      "<h2>All channels</h2>\n<table><tr><th>Channel</th><th>Raised</th><th>Accepted</th><th>Reset</th>"
      "<th>To accept: median</th><th>worst</th><th>To reset: median</th><th>worst</th><th>Open at the end</th></tr>";
  for (const ChannelFigures& c : a.channels) {
    out += "<tr><td>" + Name(log, c.name) + (c.shared ? " *" : "") + "</td><td class='n'>" + std::to_string(c.raised) +
           "</td><td class='n'>" + std::to_string(c.accepted) + "</td><td class='n'>" + std::to_string(c.reset) +
           "</td><td class='n'>" + MedianText(c.toAccept) + "</td><td class='n'>" + WorstText(c.toAccept) +
           "</td><td class='n'>" + MedianText(c.toReset) + "</td><td class='n'>" + WorstText(c.toReset) +
           "</td><td class='n'>" + std::to_string(c.open) + "</td></tr>";
  }
  out += "</table>\n";
  for (const ChannelFigures& c : a.channels)
    if (c.shared)
      out += "<p class='note'>* " + Name(log, c.name) + ": entries out of sequence (first at " +
             Escaped(Location(log, c.shared->file, c.shared->line)) + "): " + std::to_string(c.unpaired) +
             " accepts after the alarm's accept or reset could not be paired; " + std::to_string(c.ambiguous) +
             " of its " + std::to_string(c.raised) + " alarms are not timed (two inputs may write under this name).</p>\n";

  out += "<h2>Link losses: " + std::to_string(a.linkLosses.size()) + "</h2>\n";
  if (!a.linkLosses.empty()) {
    out += "<p>Back after: median " + MedianText(a.linkBack) + ", worst " + WorstText(a.linkBack) +
           "; accepted after: median " + MedianText(a.linkAccept) + ", worst " + WorstText(a.linkAccept) +
           ".</p>\n<table><tr><th>Lost</th><th>For</th><th>Until</th></tr>";
    for (const LinkLoss& loss : a.linkLosses)
      out += "<tr><td>" + FormatDateTime(loss.lost) + "</td><td class='n'>" +
             (loss.back ? FormatDuration(*loss.back - loss.lost) : std::string("-")) + "</td><td>" +
             LinkEndText(loss.end) + "</td></tr>";
    out += "</table>\n";
  }

  out += "<h2>Panel not running: " + FormatDuration(a.downtimeTotal) + "</h2>\n";
  if (!a.downtimes.empty()) {
    out +=
        "<p class='note'>No alarm could be seen in these "
        "spans.</p><table><tr><th>From</th><th>To</th><th>For</th><th></th></tr>";
    for (const Downtime& down : a.downtimes)
      out += "<tr><td>" + FormatDateTime(down.from) + "</td><td>" + FormatDateTime(down.to) + "</td><td class='n'>" +
             FormatDuration(down.to - down.from) + "</td><td>" +
             (down.unclean ? "no &ldquo;Application Closed&rdquo;: from its last entry" : "") + "</td></tr>";
    out += "</table>\n";
  }

  out += "<h2>Torn or unreadable lines: " + std::to_string(log.problems.size()) + "</h2>\n";
  if (!log.problems.empty()) {
    out += "<table>";
    for (std::size_t i = 0; i < log.problems.size() && i < 50; ++i)
      out += "<tr><td>" + Escaped(Location(log, log.problems[i].file, log.problems[i].line)) + "</td><td>" +
             Escaped(ProblemText(log.problems[i].problem)) + "</td></tr>";
    out += "</table>\n";
    if (log.problems.size() > 50) out += "<p>and " + std::to_string(log.problems.size() - 50) + " more</p>\n";
  }
  out += "</body></html>\n";
  return out;
}

}  // namespace logreport
