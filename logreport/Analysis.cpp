#include "logreport/Analysis.h"

#include "logreport/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace logreport {
namespace {
constexpr Seconds TenMinutes = 600;
constexpr Seconds ChatterWindow = 60;  // 3 alarms less than a minute apart, first to last
constexpr std::size_t FloodAlarms = 10;

DelayFigures Figures(std::vector<Seconds>& delays) {
  DelayFigures figures;
  figures.count = delays.size();
  if (delays.empty()) return figures;
  // The two middle values, found without sorting the whole list.
  const std::size_t n = delays.size();
  const auto upper = delays.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(delays.begin(), upper, delays.end());
  const Seconds lower = n % 2 == 1 ? *upper : *std::max_element(delays.begin(), upper);
  figures.median = (lower + *upper) / 2;
  figures.worst = *std::max_element(upper, delays.end());
  return figures;
}

std::string Percent(double part, double whole) { return OneDecimal(whole > 0 ? 100.0 * part / whole : 0.0) + " %"; }

// Walks the entries in the order written and builds the episodes, link losses and downtimes.
class Walk {
 public:
  Walk(const LogData& log, Analysis& out) : log_(log), out_(out), current_(log.names.size(), -1) {}

  void Run() {
    const Period& period = out_.period;
    Seconds last = period.Start();
    bool any = false;
    Day fileDay = period.first - 1;
    for (const Entry& entry : log_.entries) {
      if (any && entry.time < last) ++out_.stepsBack;
      // After a day without a file, accepts and resets may belong to alarms never seen.
      if (any && log_.files[entry.file].day > fileDay + 1) Gap();
      fileDay = log_.files[entry.file].day;
      switch (entry.kind) {
        case LogEntryKind::ApplicationStarted:
          if (running_ == Running::No) {
            AddDowntime(downSince_, entry.time, false);
          } else if (running_ == Running::Yes) {
            // Started again without "Application Closed": it stopped after its last entry.
            Stop(last);
            AddDowntime(last, entry.time, true);
          } else {
            AddDowntime(period.Start(), entry.time, false);
          }
          running_ = Running::Yes;
          break;
        case LogEntryKind::ApplicationClosed:
          if (running_ != Running::No) {
            Stop(entry.time);
            running_ = Running::No;
            downSince_ = entry.time;
          }
          break;
        default:
          // Any other entry shows the panel running, even after a close whose start was lost.
          if (running_ == Running::No) AddDowntime(downSince_, entry.time, false);
          running_ = Running::Yes;
          Event(entry);
      }
      last = entry.time;
      any = true;
    }
    if (running_ == Running::No) AddDowntime(downSince_, period.end, false);
  }

  std::vector<std::uint32_t> orphans;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> sharedAt;  // first evidence, by name; file+1, line

 private:
  enum class Running { Unknown, Yes, No };

  void AddDowntime(Seconds from, Seconds to, bool unclean) {
    from = std::max(from, out_.period.Start());
    to = std::min(to, out_.period.end);
    if (to > from) out_.downtimes.push_back({from, to, unclean});
  }

  // A restart leaves every alarm and the link machine at rest.
  void Stop(Seconds when) {
    for (const std::size_t index : open_) {
      Episode& episode = out_.episodes[index];
      if (current_[episode.name] != static_cast<std::int64_t>(index)) continue;
      episode.end = EpisodeEnd::PanelStopped;
      episode.stopped = when;
      current_[episode.name] = -1;
    }
    open_.clear();
    EndLoss(when, LinkEnd::PanelStopped);
  }

  void Gap() {
    for (const std::size_t index : open_) {
      Episode& episode = out_.episodes[index];
      if (current_[episode.name] != static_cast<std::int64_t>(index)) continue;
      episode.end = EpisodeEnd::NoFile;
      current_[episode.name] = -1;
    }
    open_.clear();
    EndLoss(0, LinkEnd::NotLogged);
  }

  void EndLoss(Seconds when, LinkEnd how) {
    if (!loss_) return;
    LinkLoss& loss = out_.linkLosses[*loss_];
    if (how != LinkEnd::StillLost && how != LinkEnd::NotLogged) loss.back = when;
    loss.end = how;
    loss_.reset();
  }

  void Shared(std::uint32_t name, const Entry& entry) {
    if (sharedAt.size() < log_.names.size()) sharedAt.resize(log_.names.size());
    if (sharedAt[name].first == 0) sharedAt[name] = {entry.file + 1, entry.line};
  }

  void Event(const Entry& entry) {
    const bool designated =
        entry.kind == LogEntryKind::Alarm || entry.kind == LogEntryKind::AlarmAccept || entry.kind == LogEntryKind::AlarmReset;
    if (designated && !out_.selected[entry.name]) return;
    const std::int64_t at = designated ? current_[entry.name] : -1;
    switch (entry.kind) {
      case LogEntryKind::Alarm: {
        if (at >= 0) out_.episodes[at].end = EpisodeEnd::NextAlarm;
        Episode episode;
        episode.name = entry.name;
        episode.raised = entry.time;
        episode.file = entry.file;
        episode.line = entry.line;
        current_[entry.name] = static_cast<std::int64_t>(out_.episodes.size());
        open_.push_back(out_.episodes.size());
        out_.episodes.push_back(episode);
        break;
      }
      case LogEntryKind::AlarmAccept:
      case LogEntryKind::AlarmReset: {
        if (at < 0) {
          if (orphans.size() < log_.names.size()) orphans.resize(log_.names.size());
          ++orphans[entry.name];
          break;
        }
        Episode& episode = out_.episodes[at];
        if (entry.kind == LogEntryKind::AlarmReset) {
          episode.reset = entry.time;
          ++episode.resets;
        } else if (episode.accepted || episode.resets > 0) {
          // One input accepts an alarm once, and never after its reset.
          episode.impossible = true;
          Shared(entry.name, entry);
        } else {
          episode.accepted = entry.time;
        }
        break;
      }
      case LogEntryKind::SetToActive:
      case LogEntryKind::SetToInactive: ++out_.outputCommands; break;
      case LogEntryKind::CommsLost:
        EndLoss(entry.time, LinkEnd::NotLogged);
        loss_ = out_.linkLosses.size();
        out_.linkLosses.push_back({entry.time, std::nullopt, std::nullopt, LinkEnd::StillLost});
        break;
      case LogEntryKind::CommsLostAccept:
        if (loss_ && !out_.linkLosses[*loss_].accepted) out_.linkLosses[*loss_].accepted = entry.time;
        break;
      case LogEntryKind::CommsLostReset: EndLoss(entry.time, LinkEnd::LostReset); break;
      case LogEntryKind::CommsConnected:
        ++out_.connects;
        EndLoss(entry.time, LinkEnd::Connected);
        break;
      case LogEntryKind::CommsDisconnected:
        ++out_.disconnects;
        EndLoss(entry.time, LinkEnd::Disconnected);
        break;
      case LogEntryKind::ApplicationStarted:
      case LogEntryKind::ApplicationClosed: break;
    }
  }

  const LogData& log_;
  Analysis& out_;
  std::vector<std::int64_t> current_;  // by name: its latest episode while that can still take entries
  std::vector<std::size_t> open_;
  std::optional<std::size_t> loss_;
  Running running_ = Running::Unknown;
  Seconds downSince_ = 0;
};

// The time in the period with no file or with the panel stopped, as sorted disjoint spans.
std::vector<std::pair<Seconds, Seconds>> Unwatched(const Analysis& a) {
  std::vector<std::pair<Seconds, Seconds>> spans;
  for (const Downtime& down : a.downtimes) spans.emplace_back(down.from, down.to);
  for (const Day day : a.missingDays)
    spans.emplace_back(day * SecondsPerDay, std::min((day + 1) * SecondsPerDay, a.period.end));
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<Seconds, Seconds>> merged;
  for (const auto& span : spans) {
    if (span.second <= span.first) continue;
    if (!merged.empty() && span.first <= merged.back().second)
      merged.back().second = std::max(merged.back().second, span.second);
    else
      merged.push_back(span);
  }
  return merged;
}

void Judge(Analysis& a, const std::vector<std::string>& names) {
  const double days = static_cast<double>(a.observed) / SecondsPerDay;
  const auto total = static_cast<double>(a.alarms);
  const bool ran = a.observed > 0;
  const auto verdict = [&](std::string item, std::string finding, std::string judgement, Level level) {
    a.verdicts.push_back({std::move(item), std::move(finding), std::move(judgement), level});
  };

  // Alarms a day, on average over the running time; the worst calendar day beside it.
  if (!ran) {
    verdict("Alarms a day", "no running time in the period", "cannot be judged", Level::Unknown);
  } else {
    std::vector<std::pair<Day, std::size_t>> perDay;
    for (const Episode& episode : a.episodes) {
      const Day day = DayOfTime(episode.raised);
      if (perDay.empty() || perDay.back().first != day) perDay.emplace_back(day, 0);
      ++perDay.back().second;
    }
    std::pair<Day, std::size_t> worst{0, 0};
    for (const auto& day : perDay)
      if (day.second > worst.second) worst = day;
    const double rate = total / days;
    std::string finding = OneDecimal(rate) + " on average over " + OneDecimal(days) + " days of running";
    if (worst.second > 0) finding += "; worst day " + FormatDate(worst.first) + " with " + std::to_string(worst.second);
    if (rate <= 150)
      verdict("Alarms a day", finding, "acceptable (about 150 a day)", Level::Good);
    else if (rate <= 300)
      verdict("Alarms a day", finding, "above the acceptable 150, within the manageable 300", Level::Fair);
    else
      verdict("Alarms a day", finding, "over the manageable 300", Level::Poor);
  }

  std::size_t watched = 0, busy = 0, floods = 0, peak = 0, peakAt = 0;
  for (std::size_t i = 0; i < a.perTenMinutes.size(); ++i) {
    if (!a.watched[i]) continue;
    ++watched;
    busy += a.perTenMinutes[i] > 2;
    floods += a.perTenMinutes[i] > FloodAlarms;
    if (a.perTenMinutes[i] > peak) {
      peak = a.perTenMinutes[i];
      peakAt = i;
    }
  }
  const std::string periods = " of " + std::to_string(watched) + " ten-minute periods";
  if (!ran) {
    verdict("Alarms in 10 minutes", "no running time in the period", "cannot be judged", Level::Unknown);
    verdict("Floods", "no running time in the period", "cannot be judged", Level::Unknown);
  } else {
    const double rate = total / (static_cast<double>(a.observed) / TenMinutes);
    const std::string finding = OneDecimal(rate) + " on average; " + std::to_string(busy) + periods + " (" +
                                Percent(static_cast<double>(busy), static_cast<double>(watched)) + ") had more than 2";
    if (rate <= 1)
      verdict("Alarms in 10 minutes", finding, "acceptable (about 1)", Level::Good);
    else if (rate <= 2)
      verdict("Alarms in 10 minutes", finding, "above the acceptable 1, within the manageable 2", Level::Fair);
    else
      verdict("Alarms in 10 minutes", finding, "over the manageable 2", Level::Poor);

    const double share = watched > 0 ? 100.0 * static_cast<double>(floods) / static_cast<double>(watched) : 0.0;
    std::string finding2 =
        std::to_string(floods) + periods + " had more than 10 alarms (" + OneDecimal(share) + " % of the time)";
    if (peak > 0)
      finding2 += "; the busiest had " + std::to_string(peak) + ", from " +
                  FormatDateTime(a.period.Start() + static_cast<Seconds>(peakAt) * TenMinutes).substr(0, 16);
    if (share < 1.0)
      verdict("Floods", finding2, "under 1 % of the time: met", Level::Good);
    else
      verdict("Floods", finding2, "1 % of the time or more: not met", Level::Poor);
  }

  // Chattering channels, most chatter first.
  std::vector<const ChannelFigures*> chattering;
  for (const ChannelFigures& channel : a.channels)
    if (channel.chatter > 0) chattering.push_back(&channel);
  std::stable_sort(chattering.begin(), chattering.end(),
                   [](const ChannelFigures* x, const ChannelFigures* y) { return x->chatter > y->chatter; });
  if (chattering.empty()) {
    verdict("Chattering", "no channel had 3 alarms within a minute", "none: met", Level::Good);
  } else {
    std::string finding = std::to_string(chattering.size()) +
                          (chattering.size() == 1 ? " channel had" : " channels had") +
                          " 3 or more alarms within a minute: ";
    for (std::size_t i = 0; i < chattering.size() && i < 5; ++i) {
      if (i > 0) finding += ", ";
      finding += DisplayText(names[chattering[i]->name]) + " (" + std::to_string(chattering[i]->chatter) +
                 (chattering[i]->chatter == 1 ? " time)" : " times)");
    }
    if (chattering.size() > 5) finding += " and " + std::to_string(chattering.size() - 5) + " more";
    verdict("Chattering", finding, "should be none: not met", Level::Poor);
  }

  // The top 10 of a plant with hundreds of alarms are a small share; this unit has at most
  // 24 inputs, so the test is whether the top quarter of the channels that alarmed give more
  // than half of all alarms.
  const std::size_t n = a.channels.size();
  if (n < 4) {
    verdict("Most frequent", "only " + std::to_string(n) + (n == 1 ? " channel" : " channels") + " alarmed",
            "too few to judge", Level::Unknown);
  } else {
    std::size_t top10 = 0, topQuarter = 0;
    const std::size_t k = std::min<std::size_t>(10, (n + 3) / 4);
    for (std::size_t i = 0; i < n; ++i) {
      if (i < 10) top10 += a.channels[i].raised;
      if (i < k) topQuarter += a.channels[i].raised;
    }
    std::string finding = n <= 10 ? "the " + std::to_string(n) + " channels that alarmed are the top 10"
                                  : "the top 10 give " + Percent(static_cast<double>(top10), total) + " of all alarms";
    finding += "; the top " + std::to_string(k) + " (a quarter of the " + std::to_string(n) +
               " channels that alarmed) give " + Percent(static_cast<double>(topQuarter), total);
    if (2 * topQuarter > a.alarms)
      verdict("Most frequent", finding, "more than half: a few channels dominate", Level::Poor);
    else
      verdict("Most frequent", finding, "no few channels dominate", Level::Good);
  }

  // Where to look first: chattering channels, then, when the load is above the acceptable,
  // any channel with a tenth of all alarms.
  bool heavy = false;
  for (const Verdict& v : a.verdicts) heavy = heavy || v.level == Level::Fair || v.level == Level::Poor;
  std::vector<const ChannelFigures*> first;
  std::vector<const ChannelFigures*> byCount = chattering;
  std::stable_sort(byCount.begin(), byCount.end(),
                   [](const ChannelFigures* x, const ChannelFigures* y) { return x->raised > y->raised; });
  first.assign(byCount.begin(), byCount.end());
  for (const ChannelFigures& channel : a.channels)
    if (heavy && channel.chatter == 0 && 10 * channel.raised >= a.alarms) first.push_back(&channel);
  for (std::size_t i = 0; i < first.size() && i < 5; ++i) {
    std::string line = DisplayText(names[first[i]->name]) + " (";
    if (first[i]->chatter > 0) line += "chattering " + std::to_string(first[i]->chatter) + " times, ";
    line += Percent(static_cast<double>(first[i]->raised), total) + " of alarms)";
    a.lookFirst.push_back(std::move(line));
  }
}
}  // namespace

std::string OneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

Analysis Analyse(const LogData& log, const Period& period, std::vector<bool> selected) {
  Analysis a;
  a.period = period;
  if (selected.size() != log.names.size()) selected.assign(log.names.size(), true);
  a.selected = std::move(selected);

  std::size_t f = 0;
  for (Day day = period.first; day <= period.last; ++day) {
    while (f < log.files.size() && log.files[f].day < day) ++f;
    if (f == log.files.size() || log.files[f].day != day) a.missingDays.push_back(day);
  }

  a.episodes.reserve(static_cast<std::size_t>(std::count_if(
      log.entries.begin(), log.entries.end(), [](const Entry& e) { return e.kind == LogEntryKind::Alarm; })));
  Walk walk(log, a);
  walk.Run();
  walk.orphans.resize(log.names.size());
  walk.sharedAt.resize(log.names.size());

  for (const Downtime& down : a.downtimes) a.downtimeTotal += down.to - down.from;
  const std::vector<std::pair<Seconds, Seconds>> unwatched = Unwatched(a);
  a.observed = period.end - period.Start();
  for (const auto& span : unwatched) a.observed -= span.second - span.first;

  // Ten-minute periods: watched unless one stretch of no file or no panel covers all of it.
  const Seconds length = std::max<Seconds>(0, period.end - period.Start());
  const auto slots = static_cast<std::size_t>((length + TenMinutes - 1) / TenMinutes);
  a.perTenMinutes.assign(slots, 0);
  a.watched.assign(slots, true);
  for (const auto& span : unwatched) {
    const Seconds from = (span.first - period.Start() + TenMinutes - 1) / TenMinutes;
    for (Seconds slot = from;
         (slot + 1) * TenMinutes + period.Start() <= span.second && slot < static_cast<Seconds>(slots); ++slot)
      a.watched[static_cast<std::size_t>(slot)] = false;
  }
  if (slots > 0 && period.end - period.Start() < static_cast<Seconds>(slots) * TenMinutes) {
    // The last, shorter period counts as watched unless its whole length lies in one span.
    const Seconds lastStart = period.Start() + static_cast<Seconds>(slots - 1) * TenMinutes;
    for (const auto& span : unwatched)
      if (span.first <= lastStart && span.second >= period.end) a.watched[slots - 1] = false;
  }

  // Names shared by two inputs: an episode is told apart only when it and the one before it
  // were reset before the next alarm of the name.
  std::vector<std::int64_t> previous(log.names.size(), -1);
  const auto unresolved = [](const Episode& e) { return e.end == EpisodeEnd::NextAlarm && e.resets == 0; };
  for (std::size_t i = 0; i < a.episodes.size(); ++i) {
    Episode& episode = a.episodes[i];
    if (walk.sharedAt[episode.name].first != 0) {
      const std::int64_t before = previous[episode.name];
      episode.ambiguous = episode.impossible || unresolved(episode) || (before >= 0 && unresolved(a.episodes[before]));
    }
    previous[episode.name] = static_cast<std::int64_t>(i);
  }

  // Per channel, with the chatter found from the last two raises of each name.
  std::vector<ChannelFigures> figures(log.names.size());
  std::vector<std::vector<Seconds>> toAccept(log.names.size()), toReset(log.names.size());
  std::vector<Seconds> allAccept, allReset;
  std::vector<std::pair<Seconds, Seconds>> lastTwo(log.names.size(), {-1, -1});
  std::vector<bool> inBurst(log.names.size(), false);
  a.acceptHistogram.assign(std::size(AcceptBuckets) + 1, 0);
  for (const Episode& episode : a.episodes) {
    ChannelFigures& channel = figures[episode.name];
    ++channel.raised;
    channel.accepted += episode.accepted.has_value();
    channel.reset += episode.resets > 0;
    channel.open += episode.end == EpisodeEnd::StillOpen && episode.resets == 0;
    channel.ambiguous += episode.ambiguous;
    auto& two = lastTwo[episode.name];
    if (two.first >= 0 && episode.raised - two.first < ChatterWindow) {
      if (!inBurst[episode.name]) ++channel.chatter;
      inBurst[episode.name] = true;
    } else {
      inBurst[episode.name] = false;
    }
    two = {two.second, episode.raised};
    const std::int64_t slot = (episode.raised - period.Start()) / TenMinutes;
    if (!a.perTenMinutes.empty())
      ++a.perTenMinutes[static_cast<std::size_t>(
          std::clamp<std::int64_t>(slot, 0, static_cast<std::int64_t>(slots) - 1))];
    if (episode.ambiguous) continue;
    if (episode.accepted) {
      const Seconds delay = std::max<Seconds>(0, *episode.accepted - episode.raised);
      toAccept[episode.name].push_back(delay);
      allAccept.push_back(delay);
      std::size_t band = 0;
      while (band < std::size(AcceptBuckets) && delay > AcceptBuckets[band]) ++band;
      ++a.acceptHistogram[band];
    }
    if (episode.reset) {
      const Seconds delay = std::max<Seconds>(0, *episode.reset - episode.raised);
      toReset[episode.name].push_back(delay);
      allReset.push_back(delay);
    }
  }
  for (std::uint32_t name = 0; name < log.names.size(); ++name) {
    ChannelFigures& channel = figures[name];
    channel.name = name;
    channel.orphans = a.selected[name] ? walk.orphans[name] : 0;
    channel.shared = walk.sharedAt[name].first != 0;
    if (channel.shared) {
      channel.sharedFile = walk.sharedAt[name].first - 1;
      channel.sharedLine = walk.sharedAt[name].second;
    }
    channel.toAccept = Figures(toAccept[name]);
    channel.toReset = Figures(toReset[name]);
    a.alarms += channel.raised;
    a.orphans += channel.orphans;
    a.ambiguous += channel.ambiguous;
    if (channel.raised > 0) a.channels.push_back(channel);
  }
  std::stable_sort(a.channels.begin(), a.channels.end(), [&](const ChannelFigures& x, const ChannelFigures& y) {
    return x.raised != y.raised ? x.raised > y.raised : log.names[x.name] < log.names[y.name];
  });
  a.toAccept = Figures(allAccept);
  a.toReset = Figures(allReset);

  std::vector<Seconds> back, accepted;
  for (const LinkLoss& loss : a.linkLosses) {
    if (loss.back) back.push_back(std::max<Seconds>(0, *loss.back - loss.lost));
    if (loss.accepted) accepted.push_back(std::max<Seconds>(0, *loss.accepted - loss.lost));
  }
  a.linkBack = Figures(back);
  a.linkAccept = Figures(accepted);

  Judge(a, log.names);
  return a;
}

}  // namespace logreport
