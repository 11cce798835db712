#include "logreport/Reports.h"

#include "logreport/Text.h"

#include <algorithm>
#include <cstdint>

namespace logreport {
namespace {
constexpr std::size_t MaxListed = 10;

void Pad(std::string& out, const std::string& text, std::size_t width, bool right) {
  const std::size_t shown = DisplayWidth(text);
  const std::string fill(shown < width ? width - shown : 0, ' ');
  out += right ? fill + text : text + fill;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The longest spans first when there are too many to list.
template <class T, class Length>
std::vector<const T*> Listed(const std::vector<T>& items, Length length) {
  std::vector<const T*> listed;
  listed.reserve(items.size());
  for (const T& item : items) listed.push_back(&item);
  if (listed.size() > MaxListed) {
    std::stable_sort(listed.begin(), listed.end(), [&](const T* a, const T* b) { return length(*a) > length(*b); });
    listed.resize(5);
    std::sort(listed.begin(), listed.end());
  }
  return listed;
}
}  // namespace

std::string DayRanges(const std::vector<Day>& days) {
  std::string text;
  for (std::size_t i = 0; i < days.size();) {
    std::size_t j = i;
    while (j + 1 < days.size() && days[j + 1] == days[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += FormatDate(days[i]);
    if (j > i) text += " to " + FormatDate(days[j]);
    i = j + 1;
  }
  return text;
}

std::string LinkEndText(LinkEnd end) {
  switch (end) {
    case LinkEnd::Connected: return "Comms Connected";
    case LinkEnd::LostReset: return "Comms Lost Reset";
    case LinkEnd::Disconnected: return "Comms Disconnected";
    case LinkEnd::PanelStopped: return "panel stopped";
    case LinkEnd::NotLogged: return "return not logged";
    case LinkEnd::StillLost: return "still lost at the end";
  }
  return "?";
}

std::string MedianText(const DelayFigures& figures) {
  return figures.count == 0 ? "-" : FormatDuration(figures.median);
}

std::string WorstText(const DelayFigures& figures) { return figures.count == 0 ? "-" : FormatDuration(figures.worst); }

std::string Location(const LogData& log, std::uint32_t file, std::uint32_t line) {
  return log.files[file].name + " line " + std::to_string(line);
}

std::vector<Day> NoFileDays(const Analysis& a, const ReportContext& context) {
  std::vector<Day> days = a.missingDays;
  std::erase_if(days, [&](Day day) {
    return std::any_of(context.unread.begin(), context.unread.end(),
                       [&](const SkippedFile& file) { return FileDayOf(file.name) == day; });
  });
  return days;
}

std::string UnreadText(const ReportContext& context) {
  std::string out;
  if (!context.unread.empty()) {
    out +=
        "Not read:   " + Plural(context.unread.size(), "day's file", "days' files") + ": this report is incomplete\n";
    for (const SkippedFile& file : context.unread) out += "  " + file.name + ": " + file.reason + "\n";
  }
  if (!context.otherNames.empty()) {
    out += "Not read:   " + Plural(context.otherNames.size(), "file looks", "files look") +
           " like a day's log but the panel does not write that name\n";
    for (const SkippedFile& file : context.otherNames) out += "  " + DisplayText(file.name) + ": " + file.reason + "\n";
  }
  return out;
}

std::string TextReport(const LogData& log, const Analysis& a, const ReportContext& context) {
  std::string out;
  const Period& period = a.period;
  const auto days = static_cast<std::size_t>(period.last - period.first + 1);
  out += "Event log report\n";
  out += "Log folder: " + context.folder + " (" + context.folderNote + ")\n";
  out += "Period:     " + FormatDate(period.first) + " to " + FormatDate(period.last) + ", " +
         Plural(days, "day", "days") + "; " + Plural(log.files.size(), "file", "files") + ", " +
         Plural(log.lines, "line", "lines") + "\n";
  if (const std::vector<Day> noFile = NoFileDays(a, context); !noFile.empty())
    out += "No file:    " + DayRanges(noFile) + " (the panel was not running or logging was off)\n";
  out += UnreadText(context);
  if (!context.channelText.empty()) {
    std::string chosen;
    for (std::uint32_t name = 0; name < log.names.size(); ++name) {
      if (!a.selected[name]) continue;
      if (!chosen.empty()) chosen += ", ";
      chosen += DisplayText(log.names[name]);
    }
    out +=
        "Channels:   \"" + context.channelText + "\": " + (chosen.empty() ? "no channel has that name" : chosen) + "\n";
  }

  out += "\nAgainst ISA-18.2 / EEMUA 191 (";
  out += !context.channelText.empty() ? "input alarms of the channels chosen)\n"
         : a.linkAlarms > 0           ? "input alarms and the lost-link alarm)\n"
                                      : "input alarms)\n";
  for (const Verdict& verdict : a.verdicts) {
    out += "  ";
    Pad(out, verdict.item + ":", 23, false);
    out += verdict.finding + "\n";
    out += std::string(25, ' ') + "-> " + verdict.judgement + "\n";
  }
  out += "Look first at: ";
  if (a.lookFirst.empty()) out += "no channel stands out";
  for (std::size_t i = 0; i < a.lookFirst.size(); ++i) out += (i > 0 ? "; " : "") + a.lookFirst[i];
  out += "\n";

  // The channel table.
  out += "\nAlarms per channel (times from the alarm: median / worst)\n";
  std::size_t width = 7;
  for (const ChannelFigures& channel : a.channels)
    width = std::max(width, DisplayWidth(DisplayText(log.names[channel.name])) + (channel.shared ? 2 : 0));
  const auto row = [&](const std::string& name, const std::string& raised, const std::string& accepted,
                       const std::string& reset, const std::string& toAccept, const std::string& toReset,
                       const std::string& open) {
    out += "  ";
    Pad(out, name, width, false);
    Pad(out, raised, 8, true);
    Pad(out, accepted, 10, true);
    Pad(out, reset, 7, true);
    Pad(out, toAccept, 25, true);
    Pad(out, toReset, 25, true);
    Pad(out, open, 6, true);
    out += "\n";
  };
  row("Channel", "Raised", "Accepted", "Reset", "To accept", "To reset", "Open");
  const auto pair = [](const DelayFigures& f) { return MedianText(f) + " / " + WorstText(f); };
  std::size_t accepted = 0, reset = 0, open = 0;
  for (const ChannelFigures& channel : a.channels) {
    row(DisplayText(log.names[channel.name]) + (channel.shared ? " *" : ""), std::to_string(channel.raised),
        std::to_string(channel.accepted), std::to_string(channel.reset), pair(channel.toAccept), pair(channel.toReset),
        std::to_string(channel.open));
    accepted += channel.accepted;
    reset += channel.reset;
    open += channel.open;
  }
  row("All", std::to_string(a.alarms), std::to_string(accepted), std::to_string(reset), pair(a.toAccept),
      pair(a.toReset), std::to_string(open));
  for (const ChannelFigures& channel : a.channels) {
    if (!channel.shared) continue;
    out += "  * " + DisplayText(log.names[channel.name]) + ": entries out of sequence (first at " +
           Location(log, channel.shared->file, channel.shared->line) +
           "): " + Plural(channel.unpaired, "accept", "accepts") +
           " after the alarm's accept or reset could not be paired; " + std::to_string(channel.ambiguous) + " of its " +
           Plural(channel.raised, "alarm", "alarms") + (channel.ambiguous == 1 ? " is" : " are") +
           " not timed (two inputs may write under this name)\n";
  }
  if (a.orphans > 0)
    out += "  " + Plural(a.orphans, "accept or reset entry has", "accept or reset entries have") +
           " no alarm before it (raised before the period, on a day without a file, or in an unreadable line)\n";

  // Alarms still standing.
  out += "\nOpen at the end (" + FormatDateTime(period.end) + "): ";
  std::vector<const Episode*> standing;
  for (const Episode& episode : a.episodes)
    if (episode.end == EpisodeEnd::StillOpen && episode.resets == 0) standing.push_back(&episode);
  out += standing.empty() ? "none\n" : std::to_string(standing.size()) + "\n";
  for (const Episode* episode : standing) {
    out += "  " + DisplayText(log.names[episode->name]) + ": raised " + FormatDateTime(episode->raised) +
           (episode->accepted ? ", accepted " + FormatDateTime(*episode->accepted) : ", not accepted") + "\n";
  }
  if (!standing.empty())
    out += "  (an alarm that returns to normal with no reset due writes no entry: some of these may be over)\n";

  // The link.
  out += "\nLink losses: " + std::to_string(a.linkLosses.size());
  if (!a.linkLosses.empty()) {
    Seconds lost = 0;
    for (const LinkLoss& loss : a.linkLosses)
      lost += (loss.back ? *loss.back : loss.end == LinkEnd::StillLost ? period.end : loss.lost) - loss.lost;
    out += ", " + FormatDuration(lost) + " in all\n";
    out += "  back after (median / worst): " + MedianText(a.linkBack) + " / " + WorstText(a.linkBack) +
           "; accepted after: " + MedianText(a.linkAccept) + " / " + WorstText(a.linkAccept) + "\n";
    const auto length = [&](const LinkLoss& loss) { return (loss.back ? *loss.back : period.end) - loss.lost; };
    const std::vector<const LinkLoss*> listed = Listed(a.linkLosses, length);
    if (listed.size() < a.linkLosses.size()) out += "  the longest " + std::to_string(listed.size()) + ":\n";
    for (const LinkLoss* loss : listed) {
      out += "  " + FormatDateTime(loss->lost) + "  ";
      out += loss->back ? FormatDuration(*loss->back - loss->lost) + " until " + LinkEndText(loss->end)
                        : LinkEndText(loss->end);
      out += "\n";
    }
    out += "  (where the lost-link alarm waits for a reset, the return is logged only by the reset)\n";
  } else {
    out += "\n";
  }
  out += "Connects: " + std::to_string(a.connects) + "; operator's disconnects: " + std::to_string(a.disconnects) +
         "; output commands: " + std::to_string(a.outputCommands) + "\n";

  // The panel not running.
  const Seconds length = period.end - period.Start();
  out += "\nPanel not running: " +
         (a.downtimes.empty()
              ? std::string("never")
              : Plural(a.downtimes.size(), "time", "times") + ", " + FormatDuration(a.downtimeTotal) + " in all (" +
                    OneDecimal(length > 0 ? 100.0 * static_cast<double>(a.downtimeTotal) / static_cast<double>(length)
                                          : 0.0) +
                    " % of the period); no alarm could be seen then");
  out += "\n";
  const std::vector<const Downtime*> downs = Listed(a.downtimes, [](const Downtime& d) { return d.to - d.from; });
  if (downs.size() < a.downtimes.size()) out += "  the longest " + std::to_string(downs.size()) + ":\n";
  std::size_t unclean = 0;
  for (const Downtime& down : a.downtimes) unclean += down.unclean;
  for (const Downtime* down : downs) {
    out += "  " + FormatDateTime(down->from) + " to " + FormatDateTime(down->to) + "  ";
    Pad(out, FormatDuration(down->to - down->from), 14, true);
    out += down->unclean ? "  (from its last entry)\n" : "\n";
  }
  if (unclean > 0)
    out += "  " + Plural(unclean, "stop", "stops") + " without \"Application Closed\" (counted from the last entry)\n";

  // Lines that could not be read.
  out += "\nTorn or unreadable lines: " + std::to_string(log.problems.size()) + "\n";
  for (std::size_t i = 0; i < log.problems.size() && i < MaxListed; ++i) {
    const LineProblem& problem = log.problems[i];
    out += "  " + Location(log, problem.file, problem.line) + ": " + std::string(ProblemText(problem.problem)) + "\n";
  }
  if (log.problems.size() > MaxListed) out += "  and " + std::to_string(log.problems.size() - MaxListed) + " more\n";
  if (a.stepsBack > 0)
    out += "Clock set back " + Plural(a.stepsBack, "time", "times") +
           " (an entry earlier than the one before it): times across it may be off\n";
  return out;
}

}  // namespace logreport
