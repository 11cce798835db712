#include "logreport/Reports.h"

#include "logreport/Text.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace logreport {
namespace {
// A field as a spreadsheet reads it back: quoted when it holds a comma, quote or line break,
// with quotes doubled; a text a spreadsheet would take for a formula gets a leading "'".
void Field(std::string& out, std::string_view text) {
  const bool formula = !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@');
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos;
  if (!quote && !formula) {
    out += text;
    return;
  }
  if (quote) out.push_back('"');
  if (formula) out.push_back('\'');
  for (const char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  if (quote) out.push_back('"');
}

// "yyyy-mm-dd hh:nn:ss", with the date made once a day.
class Times {
 public:
  void Append(std::string& out, Seconds time) {
    const Day day = DayOfTime(time);
    if (day != day_) {
      day_ = day;
      date_ = FormatSortableTime(day * SecondsPerDay).substr(0, 11);
    }
    out += date_;
    const Seconds of = time - day * SecondsPerDay;
    const char text[8] = {Digit(of / 36000),   Digit(of / 3600 % 10), ':',
                          Digit(of / 600 % 6), Digit(of / 60 % 10),   ':',
                          Digit(of % 60 / 10), Digit(of % 10)};
    out.append(text, 8);
  }
  void Append(std::string& out, const std::optional<Seconds>& time) {
    if (time) Append(out, *time);
  }

 private:
  static char Digit(Seconds value) { return static_cast<char>('0' + value); }
  Day day_ = -1;
  std::string date_;
};

void Span(std::string& out, const std::optional<Seconds>& to, Seconds from) {
  if (to) out += std::to_string(std::max<Seconds>(0, *to - from));
}

std::string_view EndText(const Episode& episode) {
  if (episode.resets > 0) return "reset";
  switch (episode.end) {
    case EpisodeEnd::NextAlarm: return "unknown (no entry before the next alarm)";
    case EpisodeEnd::PanelStopped: return "panel stopped";
    case EpisodeEnd::NoFile: return "unknown (a day without a file came next)";
    case EpisodeEnd::StillOpen: return "open at the end";
  }
  return "?";
}
}  // namespace

std::string CsvReport(const LogData& log, const Analysis& a) {
  std::string out = "\xEF\xBB\xBF";  // the byte order mark tells a spreadsheet the text is UTF-8
  out += "channel,kind,raised,accepted,reset or back,seconds to accept,seconds to reset or back,end,note\r\n";
  out.reserve(out.size() + (a.episodes.size() + a.linkLosses.size()) * 110);
  Times times;
  const auto row = [&](std::string_view channel, std::string_view kind, Seconds raised,
                       const std::optional<Seconds>& accepted, const std::optional<Seconds>& reset,
                       std::string_view end, std::string_view note) {
    Field(out, channel);
    out += ',';
    out += kind;
    out += ',';
    times.Append(out, raised);
    out += ',';
    times.Append(out, accepted);
    out += ',';
    times.Append(out, reset);
    out += ',';
    Span(out, accepted, raised);
    out += ',';
    Span(out, reset, raised);
    out += ',';
    Field(out, end);
    out += ',';
    Field(out, note);
    out += "\r\n";
  };
  std::vector<std::string> names(log.names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    if (a.selected[i]) names[i] = DisplayText(log.names[i]);
  for (const Episode& episode : a.episodes) {
    row(names[episode.name], "input", episode.raised, episode.accepted, episode.reset(), EndText(episode),
        episode.ambiguous ? "entries out of sequence: not paired" : "");
  }
  for (const LinkLoss& loss : a.linkLosses)
    row("", "link", loss.lost, loss.accepted, loss.back, LinkEndText(loss.end), "");
  // The floods the text and the page count: from their start to their end, with their alarms.
  for (const Flood& flood : a.floods)
    row("", "flood", flood.from, std::nullopt, flood.to,
        "fewer than " + std::to_string(FloodEndAlarms) + " in 10 minutes",
        std::to_string(flood.alarms) + " alarms, at most " + std::to_string(flood.peak) + " in 10 minutes");
  return out;
}

}  // namespace logreport
