// One page with everything inline: styles, SVG charts, no script and nothing fetched.
#include "logreport/Reports.h"

#include "logreport/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
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
svg{display:block;width:100%;height:auto}
@page{size:A4;margin:12mm}
@media print{body{margin:0;max-width:none;font-size:9pt}h2{break-after:avoid;margin-top:14px}
svg,tr,.note{break-inside:avoid}td,th{padding:1px 4px}.good,.fair,.poor,.none{print-color-adjust:exact;-webkit-print-color-adjust:exact}}
</style>)";

// Patterns, so that a state is told by more than its colour: hatched for accepted, dotted
// for a state whose end the log may not show.
constexpr const char* Patterns =
    "<defs><pattern id='hatch' width='4' height='4' patternUnits='userSpaceOnUse' patternTransform='rotate(45)'>"
    "<rect width='4' height='4' fill='#f0a020'/><line x1='0' y1='0' x2='0' y2='4' stroke='#7a4a00' "
    "stroke-width='1.5'/></pattern>"
    "<pattern id='flood' width='5' height='5' patternUnits='userSpaceOnUse' patternTransform='rotate(-45)'>"
    "<rect width='5' height='5' fill='#c62828'/><line x1='0' y1='0' x2='0' y2='5' stroke='#fff' "
    "stroke-width='1.2'/></pattern>"
    "<pattern id='dots' width='4' height='4' patternUnits='userSpaceOnUse'><rect width='4' height='4' "
    "fill='#f6c8c8'/><circle cx='2' cy='2' r='0.9' fill='#7a1c1c'/></pattern></defs>";

// An SVG drawn at width by height that scales to the page.
std::string SvgOpen(int width, int height, std::string_view label) {
  return "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 " + std::to_string(width) + " " +
         std::to_string(height) + "' style='max-width:" + std::to_string(width) + "px' role='img' aria-label='" +
         std::string(label) + "'>" + Patterns;
}

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
  out += SvgOpen(ChartWidth, height + y0 + 30, "alarms per ten minutes");
  Unwatched(out, a, scale, y0, height);
  TimeAxis(out, scale, a.period, y0, y0 + height);
  const auto y = [&](double count) { return y0 + height - height * count / top; };
  const double barWidth = columns > 0 ? static_cast<double>(width) / static_cast<double>(columns) : 0;
  for (std::size_t c = 0; c < columns; ++c) {
    std::uint32_t count = 0;
    for (std::size_t s = c * group; s < std::min(slotCount, (c + 1) * group); ++s)
      count = std::max(count, a.perTenMinutes[s]);
    if (count == 0) continue;
    const char* colour = count > FloodAlarms ? "url(#flood)" : count > BusyAlarms ? "#ef8f00" : "#4a78b0";
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
  out += "<line x1='" + std::to_string(x0) + "' y1='" + OneDecimal(y(BusyAlarms)) + "' x2='" +
         std::to_string(x0 + width) + "' y2='" + OneDecimal(y(BusyAlarms)) +
         "' stroke='#ef8f00' stroke-dasharray='3 3'/>";
  out += "</svg><p class='note'>Each bar is ";
  out += group > 1
             ? "the busiest ten-minute period (from the hour, 10 past, ...) of " + std::to_string(group) + " in a row"
             : "one ten-minute period from the hour, 10 past, ...";
  out += "; the dashed red line is " + std::to_string(FloodAlarms) +
         " alarms, above which a flood begins. Grey: panel not running or no file.</p>";
}

// A bar a day: value(d) against a top line and its label, for periods too long for
// ten-minute bars.
template <class Value>
void DayBars(std::string& out, const Analysis& a, std::string_view label, double limit, const std::string& limitText,
             Value value, double top, const std::string& topText, const std::string& caption) {
  const auto days = static_cast<std::size_t>(a.period.last - a.period.first + 1);
  const int height = 160, x0 = 48, y0 = 10, width = ChartWidth - x0;
  const Scale scale{a.period.Start(), (a.period.last + 1) * SecondsPerDay, x0, width};
  out += SvgOpen(ChartWidth, height + y0 + 30, label);
  Unwatched(out, a, scale, y0, height);
  TimeAxis(out, scale, a.period, y0, y0 + height);
  const auto y = [&](double v) { return y0 + height - height * std::min(v, top) / top; };
  const double barWidth = static_cast<double>(width) / static_cast<double>(days);
  for (std::size_t d = 0; d < days; ++d) {
    const double v = value(d);
    if (v <= 0) continue;
    out += "<rect x='" + OneDecimal(x0 + barWidth * static_cast<double>(d)) + "' y='" + OneDecimal(y(v)) + "' width='" +
           OneDecimal(std::max(barWidth * 0.8, 0.8)) + "' height='" + OneDecimal(y0 + height - y(v)) + "' fill='" +
           (v > limit ? "url(#flood)" : "#4a78b0") + "'><title>" + FormatDate(a.period.first + static_cast<Day>(d)) +
           "</title></rect>";
  }
  out += "<line x1='" + std::to_string(x0) + "' y1='" + std::to_string(y0 + height) + "' x2='" +
         std::to_string(x0 + width) + "' y2='" + std::to_string(y0 + height) + "' stroke='#333'/>";
  out += "<line x1='" + std::to_string(x0) + "' y1='" + OneDecimal(y(limit)) + "' x2='" + std::to_string(x0 + width) +
         "' y2='" + OneDecimal(y(limit)) + "' stroke='#c62828' stroke-dasharray='6 4'/>";
  out += "<text x='" + std::to_string(x0 - 4) + "' y='" + OneDecimal(y(limit) + 4) + "' text-anchor='end'>" +
         limitText + "</text>";
  out += "<text x='" + std::to_string(x0 - 4) + "' y='" + OneDecimal(y(top) + 8) + "' text-anchor='end'>" + topText +
         "</text>";
  out +=
      "<text x='" + std::to_string(x0 - 4) + "' y='" + std::to_string(y0 + height + 4) + "' text-anchor='end'>0</text>";
  out += "</svg><p class='note'>" + caption + "</p>";
}

// Over more than a few days: the worst ten minutes of each day, and each day's time in flood.
void DailyFloodCharts(std::string& out, const Analysis& a) {
  std::uint32_t peak = 0;
  for (const std::uint32_t v : a.worstTenMinutesPerDay) peak = std::max(peak, v);
  const double top = std::max<double>(2.0 * FloodAlarms, peak);
  out += "<h3>The most alarms in any ten minutes, each day</h3>\n";
  DayBars(
      out, a, "the most alarms in any ten minutes, each day", FloodAlarms, std::to_string(FloodAlarms),
      [&](std::size_t d) { return static_cast<double>(a.worstTenMinutesPerDay[d]); }, top,
      std::to_string(static_cast<int>(top)),
      "Each bar is one day: the most alarms in any ten minutes (a sliding window) that ended that day. Hatched red: "
      "more than " +
          std::to_string(FloodAlarms) + ", a flood began. Grey: panel not running or no file.");
  double worstShare = 0;
  for (const Seconds t : a.floodTimePerDay)
    worstShare = std::max(worstShare, 100.0 * static_cast<double>(t) / SecondsPerDay);
  const double shareTop = std::max(5.0, std::ceil(worstShare / 5.0) * 5.0);
  out += "<h3>Time in flood, each day</h3>\n";
  DayBars(
      out, a, "time in flood each day", FloodTimePercent, std::to_string(FloodTimePercent) + " %",
      [&](std::size_t d) { return 100.0 * static_cast<double>(a.floodTimePerDay[d]) / SecondsPerDay; }, shareTop,
      OneDecimal(shareTop).substr(0, OneDecimal(shareTop).size() - 2) + " %",
      "Each bar is one day: the share of its 24 hours in flood (from more than " + std::to_string(FloodAlarms) +
          " alarms in ten minutes until fewer than " + std::to_string(FloodEndAlarms) + "). Hatched red: over the " +
          std::to_string(FloodTimePercent) + " % target.");
}

// Per channel, in columns of equal time: how much of each column an alarm waited for its
// accept (solid red, from the bottom), stood accepted until its reset (hatched amber), or stood
// where the log may not show its end (dotted). A short wait stays short however long the period.
void Timeline(std::string& out, const LogData& log, const Analysis& a) {
  const std::size_t rows = std::min(a.channels.size(), MaxTimelineRows);
  const int rowHeight = 18, barHeight = rowHeight - 4, x0 = LabelWidth, width = ChartWidth - LabelWidth, y0 = 4;
  const Scale scale{a.period.Start(), a.period.end, x0, width};
  const double columnTime =
      static_cast<double>(std::max<Seconds>(1, a.period.end - a.period.Start())) / static_cast<double>(width);
  std::vector<std::int64_t> row(log.names.size(), -1);
  for (std::size_t r = 0; r < rows; ++r) row[a.channels[r].name] = static_cast<std::int64_t>(r);
  enum { Waiting, Accepted, Unsure, States };
  std::vector<std::vector<std::array<float, States>>> time(
      rows, std::vector<std::array<float, States>>(static_cast<std::size_t>(width), {0, 0, 0}));
  const auto add = [&](std::size_t r, Seconds from, Seconds to, int state) {
    from = std::clamp(from, a.period.Start(), a.period.end);
    to = std::clamp(to, from, a.period.end);
    if (to == from) to = std::min(from + 1, a.period.end);  // an alarm accepted on the second still shows
    const double left = (static_cast<double>(from - a.period.Start())) / columnTime;
    const double right = (static_cast<double>(to - a.period.Start())) / columnTime;
    for (auto c = static_cast<std::size_t>(left); c < static_cast<std::size_t>(width) && static_cast<double>(c) < right;
         ++c) {
      const double part = std::min(right, static_cast<double>(c + 1)) - std::max(left, static_cast<double>(c));
      time[r][c][static_cast<std::size_t>(state)] += static_cast<float>(part);
    }
  };
  for (const Episode& e : a.episodes) {
    if (row[e.name] < 0) continue;
    const auto r = static_cast<std::size_t>(row[e.name]);
    // Where the episode is known to be over: its reset, the panel's stop, or still open at the end.
    std::optional<Seconds> over = e.ResetOrStop();
    const bool openAtEnd = !over && e.end == EpisodeEnd::StillOpen;
    if (openAtEnd) over = a.period.end;
    const Seconds accepted = e.accepted ? *e.accepted : (over ? *over : Seconds{e.raised});
    add(r, e.raised, accepted, openAtEnd && !e.accepted ? Unsure : Waiting);
    if (e.accepted && over) add(r, *e.accepted, *over, openAtEnd ? Unsure : Accepted);
  }
  static const char* const fills[] = {"#d32f2f", "url(#hatch)", "url(#dots)"};
  const int height = static_cast<int>(rows) * rowHeight;
  out += SvgOpen(ChartWidth, height + y0 + 24, "alarm states per channel");
  Unwatched(out, a, scale, y0, height);
  TimeAxis(out, scale, a.period, y0, y0 + height);
  for (std::size_t r = 0; r < rows; ++r) {
    const int top = y0 + static_cast<int>(r) * rowHeight;
    const int bottom = top + rowHeight - 2;
    out += "<text x='" + std::to_string(x0 - 6) + "' y='" + std::to_string(top + 13) + "' text-anchor='end'>" +
           Name(log, a.channels[r].name) + "</text>";
    out += "<line x1='" + std::to_string(x0) + "' y1='" + std::to_string(top + rowHeight) + "' x2='" +
           std::to_string(x0 + width) + "' y2='" + std::to_string(top + rowHeight) + "' stroke='#eee'/>";
    // Each state's height in whole pixels, stacked; runs of equal columns drawn as one.
    const auto heights = [&](int c) {
      std::array<int, States> h{};
      int used = 0;
      for (std::size_t s = 0; s < States; ++s) {
        const double share = std::min(1.0, static_cast<double>(time[r][static_cast<std::size_t>(c)][s]));
        h[s] = share > 0 ? std::clamp(static_cast<int>(std::lround(share * barHeight)), 1, barHeight - used) : 0;
        used += h[s];
      }
      return h;
    };
    for (int x = 0; x < width;) {
      const std::array<int, States> h = heights(x);
      int end = x + 1;
      while (end < width && heights(end) == h) ++end;
      int y = bottom;
      for (std::size_t s = 0; s < States; ++s) {
        if (h[s] == 0) continue;
        y -= h[s];
        out += "<rect x='" + std::to_string(x0 + x) + "' y='" + std::to_string(y) + "' width='" +
               std::to_string(end - x) + "' height='" + std::to_string(h[s]) + "' fill='" + fills[s] + "'/>";
      }
      x = end;
    }
  }
  out += "</svg>";
  const auto swatch = [](const char* fill) {
    return std::string("<svg viewBox='0 0 14 10' style='display:inline;width:14px;height:10px'>") + Patterns +
           "<rect width='14' height='10' fill='" + fill + "'/></svg>";
  };
  out += "<p class='note'>Each column is " + FormatDuration(static_cast<Seconds>(columnTime)) +
         "; its height is the share of that time in each state. " + swatch(fills[0]) +
         " raised, waiting for its accept (solid) &nbsp; " + swatch(fills[1]) +
         " accepted, until its reset (hatched) &nbsp; " + swatch(fills[2]) +
         " open at the end, where an end that writes no entry may have come first (dotted) &nbsp; "
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
  out += SvgOpen(x0 + width + 80, height + 4, "time to accept");
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
    out += "<tr><td>No file</td><td>" + DayRanges(noFile) + " (the panel was not running or logging was off)</td></tr>";
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

  if (a.period.last - a.period.first + 1 > 3) {
    out += "<h2>Alarms per 10 minutes, a bar a day</h2>\n";
    DailyFloodCharts(out, a);
  } else {
    out += "<h2>Alarms per 10 minutes</h2>\n";
    TenMinuteChart(out, a);
  }
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
             " of its " + std::to_string(c.raised) +
             " alarms are not timed (two inputs may write under this name).</p>\n";

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
