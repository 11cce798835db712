#include "logreport/Analysis.h"

#include "logreport/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

namespace logreport {
namespace {
constexpr Seconds TenMinutes = 600;

// The median and the worst of some delays, which it reorders.
template <typename Delay>
DelayFigures Figures(std::span<Delay> delays) {
  DelayFigures figures;
  figures.count = delays.size();
  if (delays.empty()) return figures;
  // The median is the mean of the two middle values (one for an odd count), as integers.
  const std::size_t n = delays.size(), upperRank = n / 2, lowerRank = n % 2 == 1 ? n / 2 : n / 2 - 1;
  if constexpr (std::is_same_v<Delay, std::uint32_t>) {
    // A long list of short delays: counted by value, when both middle values are short.
    constexpr std::uint32_t Short = 4096;
    if (n >= std::size_t{4} * Short) {
      std::array<std::uint32_t, Short> counts{};
      std::uint32_t longest = 0;
      for (const std::uint32_t delay : delays) {
        longest = std::max(longest, delay);
        if (delay < Short) ++counts[delay];
      }
      std::size_t below = 0;
      std::optional<Seconds> lower, upper;
      for (std::uint32_t value = 0; value < Short && !upper; ++value) {
        below += counts[value];
        if (!lower && below > lowerRank) lower = value;
        if (below > upperRank) upper = value;
      }
      if (upper) {
        figures.median = (*lower + *upper) / 2;
        figures.worst = longest;
        return figures;
      }
    }
  }
  // The two middle values, found without sorting the whole list.
  const auto upper = delays.begin() + static_cast<std::ptrdiff_t>(upperRank);
  std::nth_element(delays.begin(), upper, delays.end());
  const Seconds lower = n % 2 == 1 ? *upper : *std::max_element(delays.begin(), upper);
  figures.median = (lower + static_cast<Seconds>(*upper)) / 2;
  figures.worst = *std::max_element(upper, delays.end());
  return figures;
}

std::string Percent(double part, double whole) { return OneDecimal(whole > 0 ? 100.0 * part / whole : 0.0) + " %"; }

std::vector<Day> MissingDays(const LogData& log, const Period& period) {
  std::vector<Day> missing;
  std::size_t f = 0;
  for (Day day = period.first; day <= period.last; ++day) {
    while (f < log.files.size() && log.files[f].day < day) ++f;
    if (f == log.files.size() || log.files[f].day != day) missing.push_back(day);
  }
  return missing;
}

}  // namespace

// Walks the entries in the order written and builds the episodes, link losses and downtimes
// of every name; the choice of names comes after.
class Walk {
 public:
  explicit Walk(const Period& period) : period_(period), fileDay_(period.first - 1) { out.period = period; }

  void Add(const LogData& log, const Entry& entry) {
    const Seconds time = entry.time;
    if (any_ && time < last_) ++out.stepsBack;
    latest_ = any_ ? std::max(latest_, time) : time;
    // After a day without a file, accepts and resets may belong to alarms never seen.
    const Day day = log.files[entry.file].day;
    if (any_ && day > fileDay_ + 1) Gap();
    fileDay_ = day;
    switch (entry.kind) {
      case LogEntryKind::ApplicationStarted:
        if (running_ == Running::No) {
          AddDowntime(downSince_, time, false);
        } else if (running_ == Running::Yes) {
          // Started again without "Application Closed": it stopped after its last entry.
          Stop(last_);
          AddDowntime(last_, time, true);
        } else {
          AddDowntime(period_.Start(), time, false);
        }
        running_ = Running::Yes;
        break;
      case LogEntryKind::ApplicationClosed:
        if (running_ != Running::No) {
          Stop(time);
          running_ = Running::No;
          downSince_ = time;
        }
        break;
      default:
        // Any other entry shows the panel running, even after a close whose start was lost.
        if (running_ == Running::No) AddDowntime(downSince_, time, false);
        running_ = Running::Yes;
        Event(entry);
    }
    last_ = time;
    any_ = true;
  }

  // The period's end may have come earlier than was known when the walk began.
  void Finish(const Period& period, std::size_t names) {
    period_ = out.period = period;
    std::erase_if(out.downtimes, [&](Downtime& down) {
      down.to = std::min(down.to, period.end);
      return down.to <= down.from;
    });
    if (running_ == Running::No) AddDowntime(downSince_, period.end, false);
    orphans.resize(names);
    sharedAt.resize(names);
    unpaired.resize(names);
    timedAccepts.resize(names);
    timedResets.resize(names);
  }

  [[nodiscard]] std::optional<Seconds> Latest() const { return any_ ? std::optional(latest_) : std::nullopt; }

  Analysis out;
  std::vector<std::uint32_t> orphans;
  std::vector<std::uint32_t> unpaired;            // by name: accepts that follow the alarm's accept or reset
  std::vector<std::optional<LogPlace>> sharedAt;  // by name: the first entry that showed two inputs write it
  // By name: the episodes that can be timed to their accept and to their reset, so that the
  // times find their places without another look at every episode.
  std::vector<std::uint32_t> timedAccepts, timedResets;

 private:
  enum class Running { Unknown, Yes, No };

  void AddDowntime(Seconds from, Seconds to, bool unclean) {
    from = std::max(from, period_.Start());
    to = std::min(to, period_.end);
    if (to > from) out.downtimes.push_back({from, to, unclean});
  }

  // A restart leaves every alarm and the link machine at rest.
  void Stop(Seconds when) {
    for (const std::uint32_t name : open_) {
      Episode& episode = out.episodes[current_[name]];
      episode.end = EpisodeEnd::PanelStopped;
      if (episode.resets == 0) episode.over = when;
      current_[name] = -1;
    }
    open_.clear();
    EndLoss(when, LinkEnd::PanelStopped);
  }

  void Gap() {
    for (const std::uint32_t name : open_) {
      out.episodes[current_[name]].end = EpisodeEnd::NoFile;
      current_[name] = -1;
    }
    open_.clear();
    EndLoss(0, LinkEnd::NotLogged);
  }

  void EndLoss(Seconds when, LinkEnd how) {
    if (!loss_) return;
    LinkLoss& loss = out.linkLosses[*loss_];
    if (how != LinkEnd::StillLost && how != LinkEnd::NotLogged) loss.back = when;
    loss.end = how;
    loss_.reset();
  }

  void Event(const Entry& entry) {
    const Seconds time = entry.time;
    const bool designated = entry.kind == LogEntryKind::Alarm || entry.kind == LogEntryKind::AlarmAccept ||
                            entry.kind == LogEntryKind::AlarmReset;
    if (designated && current_.size() <= entry.name) {
      // A name not met before: every list by name has room for it from here.
      const std::size_t names = std::size_t{entry.name} + 1;
      current_.resize(names, -1);
      for (std::vector<std::uint32_t>* list : {&orphans, &unpaired, &timedAccepts, &timedResets})
        if (list->size() < names) list->resize(names);
      if (sharedAt.size() < names) sharedAt.resize(names);
    }
    const std::int64_t at = designated ? current_[entry.name] : -1;
    switch (entry.kind) {
      case LogEntryKind::Alarm: {
        if (at >= 0) out.episodes[at].end = EpisodeEnd::NextAlarm;
        Episode episode;
        episode.name = entry.name;
        episode.raised = time;
        if (at < 0) open_.push_back(entry.name);
        current_[entry.name] = static_cast<std::int64_t>(out.episodes.size());
        out.episodes.push_back(episode);
        break;
      }
      case LogEntryKind::AlarmAccept:
      case LogEntryKind::AlarmReset: {
        if (at < 0) {
          ++orphans[entry.name];
          break;
        }
        Episode& episode = out.episodes[at];
        if (entry.kind == LogEntryKind::AlarmReset) {
          episode.over = time;
          if (episode.resets == 0 && !episode.ambiguous) ++timedResets[entry.name];
          if (episode.resets < UINT16_MAX) ++episode.resets;
        } else if (episode.accepted || episode.resets > 0) {
          // One input accepts an alarm once, and never after its reset: only the episodes that
          // hold such an entry cannot be paired and are left out of the timings.
          if (!episode.ambiguous) {
            if (episode.accepted) --timedAccepts[entry.name];
            if (episode.resets > 0) --timedResets[entry.name];
          }
          episode.ambiguous = true;
          ++unpaired[entry.name];
          std::optional<LogPlace>& shared = sharedAt[entry.name];
          if (!shared) shared = LogPlace{entry.file, entry.line};
        } else {
          episode.accepted = time;
          ++timedAccepts[entry.name];
        }
        break;
      }
      case LogEntryKind::SetToActive:
      case LogEntryKind::SetToInactive: ++out.outputCommands; break;
      case LogEntryKind::CommsLost:
        EndLoss(time, LinkEnd::NotLogged);
        loss_ = out.linkLosses.size();
        out.linkLosses.push_back({time, std::nullopt, std::nullopt, LinkEnd::StillLost});
        break;
      case LogEntryKind::CommsLostAccept:
        if (loss_ && !out.linkLosses[*loss_].accepted) out.linkLosses[*loss_].accepted = time;
        break;
      case LogEntryKind::CommsLostReset: EndLoss(time, LinkEnd::LostReset); break;
      case LogEntryKind::CommsConnected:
        ++out.connects;
        EndLoss(time, LinkEnd::Connected);
        break;
      case LogEntryKind::CommsDisconnected:
        ++out.disconnects;
        EndLoss(time, LinkEnd::Disconnected);
        break;
      case LogEntryKind::ApplicationStarted:
      case LogEntryKind::ApplicationClosed: break;
    }
  }

  Period period_;
  std::vector<std::int64_t> current_;  // by name: its latest episode while that can still take entries
  std::vector<std::uint32_t> open_;    // the names whose latest episode can take entries
  std::optional<std::size_t> loss_;
  Running running_ = Running::Unknown;
  Seconds downSince_ = 0;
  Seconds last_ = 0, latest_ = 0;
  bool any_ = false;
  Day fileDay_ = 0;
};

namespace {
// The downtimes, then the days without a file, cut to the period.
std::vector<TimeSpan> Unwatched(const Analysis& a) {
  std::vector<TimeSpan> spans;
  spans.reserve(a.downtimes.size());
  for (const Downtime& down : a.downtimes) spans.push_back({down.from, down.to});
  for (const Day day : a.missingDays)
    spans.push_back({day * SecondsPerDay, std::min((day + 1) * SecondsPerDay, a.period.end)});
  std::erase_if(spans, [](const TimeSpan& span) { return span.to <= span.from; });
  return spans;
}

// The same time as sorted spans that do not overlap.
std::vector<TimeSpan> Merged(std::vector<TimeSpan> spans) {
  std::sort(spans.begin(), spans.end(),
            [](const TimeSpan& x, const TimeSpan& y) { return x.from != y.from ? x.from < y.from : x.to < y.to; });
  std::vector<TimeSpan> merged;
  for (const TimeSpan& span : spans) {
    if (!merged.empty() && span.from <= merged.back().to)
      merged.back().to = std::max(merged.back().to, span.to);
    else
      merged.push_back(span);
  }
  return merged;
}

// The running time, and the ten-minute periods from the period's start: each is watched
// unless one stretch of no file or no panel covers all of it.
void CountWatchedTime(Analysis& a) {
  const Period& period = a.period;
  const std::vector<TimeSpan> unwatched = Merged(a.unwatched);
  a.observed = period.end - period.Start();
  for (const TimeSpan& span : unwatched) a.observed -= span.to - span.from;

  const Seconds length = std::max<Seconds>(0, period.end - period.Start());
  const auto slotCount = static_cast<std::size_t>((length + TenMinutes - 1) / TenMinutes);
  // A year's periods fill some fifty pages, asked for at once.
  a.perTenMinutes.reserve(slotCount);
  PrefaultRoom(a.perTenMinutes.data(), slotCount * sizeof(std::uint32_t));
  a.perTenMinutes.assign(slotCount, 0);
  a.watched.assign(slotCount, true);
  for (const TimeSpan& span : unwatched) {
    const Seconds from = (span.from - period.Start() + TenMinutes - 1) / TenMinutes;
    for (Seconds slot = from;
         (slot + 1) * TenMinutes + period.Start() <= span.to && slot < static_cast<Seconds>(slotCount); ++slot)
      a.watched[static_cast<std::size_t>(slot)] = false;
  }
  if (slotCount > 0 && period.end - period.Start() < static_cast<Seconds>(slotCount) * TenMinutes) {
    // The last, shorter period counts as watched unless its whole length lies in one span.
    const Seconds lastStart = period.Start() + static_cast<Seconds>(slotCount - 1) * TenMinutes;
    for (const TimeSpan& span : unwatched)
      if (span.from <= lastStart && span.to >= period.end) a.watched[slotCount - 1] = false;
  }
}

// Each episode to each of the figures, in one look at it.
template <typename... Figure>
void TakeEach(const BigVector<Episode>& episodes, Figure&... figures) {
  for (const Episode& episode : episodes) (figures.Take(episode), ...);
}

// Input alarms by ten-minute period from the period's start (one raised before it counts in
// the first, one after it in the last).
class TenMinuteCount {
 public:
  explicit TenMinuteCount(Analysis& a) : a_(a), last_(static_cast<std::int64_t>(a.perTenMinutes.size()) - 1) {}
  void Take(const Episode& episode) {
    if (last_ < 0) return;
    const std::int64_t slot = (episode.raised - a_.period.Start()) / TenMinutes;
    ++a_.perTenMinutes[static_cast<std::size_t>(std::clamp<std::int64_t>(slot, 0, last_))];
  }

 private:
  Analysis& a_;
  std::int64_t last_;
};

// Per name: its alarms and how they ended, and its chatter, found from the last two raises.
class AlarmCount {
 public:
  explicit AlarmCount(std::vector<ChannelFigures>& figures)
      : figures_(figures), lastTwo_(figures.size(), {-1, -1}), inBurst_(figures.size(), false) {}
  void Take(const Episode& episode) {
    static_assert(ChatterAlarms == 3, "a raise and the two before it");
    ChannelFigures& channel = figures_[episode.name];
    ++channel.raised;
    channel.accepted += episode.accepted.has_value();
    channel.reset += episode.resets > 0;
    channel.open += episode.end == EpisodeEnd::StillOpen && episode.resets == 0;
    channel.ambiguous += episode.ambiguous;
    auto& two = lastTwo_[episode.name];
    if (two.first >= 0 && episode.raised - two.first < ChatterWindow) {
      if (!inBurst_[episode.name]) ++channel.chatter;
      inBurst_[episode.name] = true;
    } else {
      inBurst_[episode.name] = false;
    }
    two = {two.second, episode.raised};
  }

 private:
  std::vector<ChannelFigures>& figures_;
  std::vector<std::pair<Seconds, Seconds>> lastTwo_;
  std::vector<bool> inBurst_;
};

// The times from each alarm told apart to its accept and to its reset, per name and in all,
// and the accept times' bands.
class AlarmTimes {
 public:
  AlarmTimes(Analysis& a, const Walk& walk)
      : a_(a), toAccept_(walk.timedAccepts, a.selected), toReset_(walk.timedResets, a.selected) {
    a.acceptHistogram.assign(std::size(AcceptBuckets) + 1, 0);
  }
  void Take(const Episode& episode) {
    if (episode.ambiguous) return;
    if (episode.accepted) {
      const Seconds delay = std::max<Seconds>(0, *episode.accepted - episode.raised);
      toAccept_.Add(episode.name, delay);
      // The bands' ends rise: a delay's band is the number of ends below it.
      std::size_t band = 0;
      for (const Seconds end : AcceptBuckets) band += delay > end;
      ++a_.acceptHistogram[band];
    }
    if (const MaybeSeconds reset = episode.reset())
      toReset_.Add(episode.name, std::max<Seconds>(0, *reset - episode.raised));
  }
  void Finish(std::vector<ChannelFigures>& figures) {
    for (std::size_t name = 0; name < figures.size(); ++name) {
      figures[name].toAccept = Figures(toAccept_.Part(name));
      figures[name].toReset = Figures(toReset_.Part(name));
    }
    a_.toAccept = Figures(std::span(toAccept_.list));
    a_.toReset = Figures(std::span(toReset_.list));
  }

 private:
  // Each kind's delays in one list, by name: each name's part found in its place, then the
  // whole. An entry is dated its file's day or the day before, and files are named in the
  // years 2000 to 2099: a delay fits in 32 bits.
  struct Delays {
    std::vector<std::size_t> from;  // by name: where its part starts; one more at the end
    BigVector<std::uint32_t> list;
    // counts: by name, the delays to come; only the names chosen.
    Delays(const std::vector<std::uint32_t>& counts, const std::vector<bool>& chosen) : from(counts.size() + 1, 0) {
      for (std::size_t name = 0; name < counts.size(); ++name)
        from[name + 1] = from[name] + (chosen[name] ? counts[name] : 0);
      list.resize(from.back());
    }
    void Add(std::uint32_t name, Seconds delay) { list[from[name]++] = static_cast<std::uint32_t>(delay); }
    [[nodiscard]] std::span<std::uint32_t> Part(std::size_t name) {
      // After the adds each part's start has moved to the next one's.
      const std::size_t start = name == 0 ? 0 : from[name - 1];
      return std::span(list).subspan(start, from[name] - start);
    }
  };
  Analysis& a_;
  Delays toAccept_, toReset_;
};

// The channels that alarmed, most alarms first, and the totals over them.
void RankChannels(Analysis& a, const LogData& log, std::vector<ChannelFigures>& figures, const Walk& walk) {
  for (std::uint32_t name = 0; name < log.names.size(); ++name) {
    ChannelFigures& channel = figures[name];
    channel.name = name;
    channel.orphans = a.selected[name] ? walk.orphans[name] : 0;
    channel.shared = walk.sharedAt[name];
    channel.unpaired = walk.unpaired[name];
    a.alarms += channel.raised;
    a.orphans += channel.orphans;
    a.ambiguous += channel.ambiguous;
    if (channel.raised > 0) a.channels.push_back(channel);
  }
  std::stable_sort(a.channels.begin(), a.channels.end(), [&](const ChannelFigures& x, const ChannelFigures& y) {
    return x.raised != y.raised ? x.raised > y.raised : log.names[x.name] < log.names[y.name];
  });
}

void TimeLinkLosses(Analysis& a) {
  std::vector<Seconds> back, accepted;
  for (const LinkLoss& loss : a.linkLosses) {
    if (loss.back) back.push_back(std::max<Seconds>(0, *loss.back - loss.lost));
    if (loss.accepted) accepted.push_back(std::max<Seconds>(0, *loss.accepted - loss.lost));
  }
  a.linkBack = Figures(std::span(back));
  a.linkAccept = Figures(std::span(accepted));
}

// The verdicts, one step each.

void AddVerdict(Analysis& a, std::string_view item, std::string finding, std::string judgement, Level level) {
  a.verdicts.push_back({std::string(item), std::move(finding), std::move(judgement), level});
}

void CannotJudge(Analysis& a, std::string_view item) {
  AddVerdict(a, item, "no running time in the period", "cannot be judged", Level::Unknown);
}

// An average against its benchmark: within the acceptable, within the manageable, or over.
void JudgeRate(Analysis& a, const RateBenchmark& benchmark, double rate, std::string finding) {
  const std::string acceptable = std::to_string(benchmark.acceptable);
  const std::string manageable = std::to_string(benchmark.manageable);
  if (rate <= benchmark.acceptable)
    AddVerdict(a, benchmark.item, std::move(finding),
               "acceptable (about " + acceptable + std::string(benchmark.per) + ")", Level::Good);
  else if (rate <= benchmark.manageable)
    AddVerdict(a, benchmark.item, std::move(finding),
               "above the acceptable " + acceptable + ", within the manageable " + manageable, Level::Fair);
  else
    AddVerdict(a, benchmark.item, std::move(finding), "over the manageable " + manageable, Level::Poor);
}

// Every annunciation in time order: the input alarms chosen and, with every channel, the
// lost-link alarms. Each list is in time order unless the clock was set back: then sorted,
// else merged as the alarms come (a library merge in place would take a buffer as large as
// the list).
class Annunciations {
 public:
  Annunciations(const Analysis& a, bool withLink)
      : links_(withLink ? std::span<const LinkLoss>(a.linkLosses) : std::span<const LinkLoss>()),
        inOrder_(a.stepsBack == 0 ||
                 (std::is_sorted(a.episodes.begin(), a.episodes.end(),
                                 [](const Episode& x, const Episode& y) { return x.raised < y.raised; }) &&
                  std::is_sorted(links_.begin(), links_.end(),
                                 [](const LinkLoss& x, const LinkLoss& y) { return x.lost < y.lost; }))) {
    times_.reserve(a.episodes.size() + links_.size());
  }
  void Take(const Episode& episode) {
    while (inOrder_ && link_ < links_.size() && links_[link_].lost < episode.raised)
      times_.push_back(links_[link_++].lost);
    times_.push_back(episode.raised);
  }
  BigVector<LogMoment> Finish() {
    for (; link_ < links_.size(); ++link_) times_.push_back(links_[link_].lost);
    if (!inOrder_) std::sort(times_.begin(), times_.end());
    return std::move(times_);
  }

 private:
  std::span<const LinkLoss> links_;
  bool inOrder_;
  std::size_t link_ = 0;
  BigVector<LogMoment> times_;
};

// The floods by a sliding ten-minute window: the count of alarms in the ten minutes up to each
// moment changes only when an alarm comes or one leaves the window ten minutes later.
void FindFloods(Analysis& a, const BigVector<LogMoment>& times) {
  const auto days = static_cast<std::size_t>(std::max<Day>(0, a.period.last - a.period.first + 1));
  a.worstTenMinutesPerDay.assign(days, 0);
  a.floodTimePerDay.assign(days, 0);
  const auto dayIndex = [&](Seconds t) {
    return static_cast<std::size_t>(std::clamp<Day>(DayOfTime(t) - a.period.first, 0, static_cast<Day>(days) - 1));
  };
  const auto addFloodTime = [&](Seconds from, Seconds to) {
    while (from < to) {
      const Seconds dayEnd = std::min(to, (DayOfTime(from) + 1) * SecondsPerDay);
      a.floodTimePerDay[dayIndex(from)] += dayEnd - from;
      from = dayEnd;
    }
  };
  // Each flood but the first begins with more than FloodAlarms alarms in the window, of which
  // at most FloodEndAlarms - 1 were there when the one before it ended: room for so many at
  // most, taken once (a year's thousands of floods would otherwise grow it page by page).
  a.floods.reserve(times.size() / (FloodAlarms + 2 - FloodEndAlarms) + 1);
  // The moments come in time order: the day of the last one is kept with its bounds.
  Seconds dayFrom = 1, dayTo = 0;
  std::uint32_t* worstOfDay = nullptr;
  std::size_t in = 0, out = 0, count = 0;
  std::optional<Flood> flood;
  std::size_t floodFirst = 0;  // the first alarm in the window when the flood began
  while (out < times.size()) {
    if (in < times.size()) {
      // The alarms that leave the window before the next one comes only lower the count: their
      // moments are passed over together unless one of them could end a flood, or falls in a
      // later day than the last moment looked at. (Mostly none or one or two leave: counted
      // without a branch to guess.)
      const Seconds coming = times[in];
      std::size_t leaving = out;
      leaving += static_cast<std::size_t>(times[leaving] + TenMinutes < coming);
      leaving += static_cast<std::size_t>(times[leaving] + TenMinutes < coming);
      while (times[leaving] + TenMinutes < coming) ++leaving;
      const std::size_t left = leaving - out;
      const Seconds lastLeaves = times[leaving - (left > 0 ? 1 : 0)] + TenMinutes;
      const bool passOver = (days == 0 || lastLeaves < dayTo) && (!flood || count - left >= FloodEndAlarms);
      count -= passOver ? left : 0;
      out = passOver ? leaving : out;
    }
    const Seconds next =
        in < times.size() ? std::min(Seconds{times[in]}, times[out] + TenMinutes) : times[out] + TenMinutes;
    while (out < times.size() && times[out] + TenMinutes == next) ++out, --count;
    while (in < times.size() && times[in] == next) ++in, ++count;
    if (count > a.peakTenMinutes) {
      a.peakTenMinutes = count;
      a.peakTenMinutesEnd = next;
    }
    if (days > 0) {
      if (next < dayFrom || next >= dayTo) {
        dayFrom = DayOfTime(next) * SecondsPerDay;
        dayTo = dayFrom + SecondsPerDay;
        worstOfDay = &a.worstTenMinutesPerDay[dayIndex(next)];
      }
      *worstOfDay = std::max(*worstOfDay, static_cast<std::uint32_t>(count));
    }
    if (!flood && count > FloodAlarms) {
      flood = Flood{next, next, 0, count};
      floodFirst = out;
    } else if (flood) {
      flood->peak = std::max(flood->peak, count);
      if (count < FloodEndAlarms) {
        flood->to = std::min(next, a.period.end);
        flood->alarms = in - floodFirst;
        a.floodTime += flood->to - flood->from;
        if (days > 0) addFloodTime(flood->from, flood->to);
        a.floods.push_back(*flood);
        flood.reset();
      }
    }
  }
}

// How long each alarm stood, where its end is known: its last reset, the panel's stop, or the
// end of the period for one still open. One that returned with no reset due wrote no end.
class Standing {
 public:
  explicit Standing(Analysis& a) : a_(a), inOrder_(a.stepsBack == 0) {}
  void Take(const Episode& e) {
    if (e.end == EpisodeEnd::PanelStopped && !e.accepted) ++a_.unacceptedAtStop;
    const std::optional<Seconds> end = EndOf(e);
    if (!end) {
      ++a_.endUnknown;
      return;
    }
    const Seconds standing = std::max<Seconds>(0, *end - e.raised);
    if (standing > a_.longestStanding) {
      a_.longestStanding = standing;
      a_.longestStandingName = e.name;
    }
    if (standing > StaleAfter) {
      ++a_.staleAlarms;
      const auto day = static_cast<std::size_t>(DayOfTime(e.raised + StaleAfter) - a_.period.first);
      if (stalePerDay_.size() <= day) stalePerDay_.resize(day + 1);
      a_.staleWorstDay = std::max(a_.staleWorstDay, ++stalePerDay_[day]);
    }
    if (standing == 0) return;
    total_ += static_cast<double>(standing);
    if (inOrder_) Raise(e.raised, *end);
  }
  void Finish() {
    if (a_.observed > 0) a_.standingAverage = total_ / static_cast<double>(a_.observed);
    if (inOrder_) return;
    // The clock was set back: the raises sorted first.
    BigVector<TimeSpan> stood;
    for (const Episode& e : a_.episodes)
      if (const std::optional<Seconds> end = EndOf(e); end && *end > e.raised) stood.push_back({e.raised, *end});
    std::stable_sort(stood.begin(), stood.end(), [](const TimeSpan& x, const TimeSpan& y) { return x.from < y.from; });
    for (const TimeSpan& span : stood) Raise(span.from, span.to);
  }

 private:
  [[nodiscard]] std::optional<Seconds> EndOf(const Episode& e) const {
    if (const MaybeSeconds over = e.ResetOrStop()) return *over;
    if (e.end == EpisodeEnd::StillOpen) return a_.period.end;
    return std::nullopt;
  }
  // The raises in time order, each adding to those still open; an end at the same second as a
  // raise comes first: the two never stood together. The ends still to come are kept in a
  // heap, the earliest on top: as many as stand at once.
  void Raise(Seconds raised, Seconds end) {
    while (!ends_.empty() && ends_.front() <= raised) {
      std::pop_heap(ends_.begin(), ends_.end(), std::greater<>());
      ends_.pop_back();
    }
    ends_.push_back(end);
    std::push_heap(ends_.begin(), ends_.end(), std::greater<>());
    a_.standingPeak = std::max(a_.standingPeak, ends_.size());
  }

  Analysis& a_;
  // With no entry out of time order the raises come in order, and are counted as they come.
  bool inOrder_;
  std::vector<std::size_t> stalePerDay_;
  double total_ = 0;  // alarm-seconds standing
  std::vector<Seconds> ends_;
};

// The day with the most input alarms, by the runs of alarms raised on one day.
class WorstDay {
 public:
  explicit WorstDay(Analysis& a) : a_(a) {}
  void Take(const Episode& episode) {
    const Day raised = DayOfTime(episode.raised);
    if (run_ == 0 || raised != day_) {
      day_ = raised;
      run_ = 0;
    }
    if (++run_ > a_.worstDayAlarms) {
      a_.worstDayAlarms = run_;
      a_.worstDay = day_;
    }
  }

 private:
  Analysis& a_;
  Day day_ = 0;
  std::size_t run_ = 0;
};

// The clock hours from the period's start that the panel watched, and those with more than
// BusyHourAlarms alarms.
void CountHours(Analysis& a, const BigVector<LogMoment>& times) {
  const std::size_t hours = (a.perTenMinutes.size() + 5) / 6;
  std::vector<std::uint32_t> perHour(hours, 0);
  for (const Seconds t : times) {
    const Seconds hour = (t - a.period.Start()) / 3600;
    if (hour >= 0 && hour < static_cast<Seconds>(hours)) ++perHour[static_cast<std::size_t>(hour)];
  }
  for (std::size_t h = 0; h < hours; ++h) {
    bool watched = false;
    for (std::size_t s = 6 * h; s < 6 * h + 6 && s < a.watched.size(); ++s) watched = watched || a.watched[s];
    a.hoursWatched += watched || perHour[h] > 0;
    a.busyHours += perHour[h] > BusyHourAlarms;
  }
}

std::string AlarmsText(const Analysis& a) {
  const std::size_t all = a.alarms + a.linkAlarms;
  std::string text = std::to_string(all) + (all == 1 ? " alarm" : " alarms");
  if (a.linkAlarms > 0) text += ", " + std::to_string(a.linkAlarms) + " of them lost-link";
  return text;
}

// Alarms a day over the calendar days that have a file, as the per-operator-day figure is;
// the worst calendar day beside it. A stop without "Application Closed" leaves the running
// time between two bounds, said when there is one.
void JudgeDailyLoad(Analysis& a) {
  if (a.daysWithFile == 0) return CannotJudge(a, DailyLoad.item);
  const std::pair<Day, std::size_t> worst{a.worstDay, a.worstDayAlarms};
  const auto total = static_cast<double>(a.alarms + a.linkAlarms);
  const double rate = total / static_cast<double>(a.daysWithFile);
  std::string finding = OneDecimal(rate) + " on average over " + std::to_string(a.daysWithFile) +
                        (a.daysWithFile == 1 ? " day" : " days") + " with a file (" + AlarmsText(a) + ")";
  if (worst.second > 0) finding += "; worst day " + FormatDate(worst.first) + " with " + std::to_string(worst.second);
  if (a.uncleanStops > 0 && a.observed > 0) {
    const double most = total / (static_cast<double>(a.observed) / SecondsPerDay);
    const double least = total / (static_cast<double>(a.observed + a.uncleanTime) / SecondsPerDay);
    finding += "; " + std::to_string(a.uncleanStops) + (a.uncleanStops == 1 ? " stop" : " stops") +
               " without \"Application Closed\": " + OneDecimal(least) + " to " + OneDecimal(most) +
               " per 24 h of running, by when it stopped";
  }
  JudgeRate(a, DailyLoad, rate, std::move(finding));
}

// The ten-minute periods the panel watched: how many, how many were busy or a flood, the busiest.
struct TenMinuteCounts {
  std::size_t watched = 0, busy = 0, floods = 0, peak = 0, peakAt = 0;
  [[nodiscard]] std::string Periods() const { return " of " + std::to_string(watched) + " ten-minute periods"; }
};

TenMinuteCounts CountTenMinutePeriods(const Analysis& a) {
  TenMinuteCounts counts;
  for (std::size_t i = 0; i < a.perTenMinutes.size(); ++i) {
    if (!a.watched[i]) continue;
    ++counts.watched;
    counts.busy += a.perTenMinutes[i] > BusyAlarms;
    counts.floods += a.perTenMinutes[i] > FloodAlarms;
    if (a.perTenMinutes[i] > counts.peak) {
      counts.peak = a.perTenMinutes[i];
      counts.peakAt = i;
    }
  }
  return counts;
}

void JudgeTenMinuteLoad(Analysis& a, const TenMinuteCounts& counts) {
  if (a.observed <= 0) return CannotJudge(a, TenMinuteLoad.item);
  const double rate = static_cast<double>(a.alarms + a.linkAlarms) / (static_cast<double>(a.observed) / TenMinutes);
  JudgeRate(a, TenMinuteLoad, rate,
            OneDecimal(rate) + " on average; " + std::to_string(counts.busy) + counts.Periods() + " (" +
                Percent(static_cast<double>(counts.busy), static_cast<double>(counts.watched)) + ") had more than " +
                std::to_string(BusyAlarms));
}

void JudgeFloods(Analysis& a) {
  if (a.observed <= 0) return CannotJudge(a, "Floods");
  const double share = std::min(100.0, 100.0 * static_cast<double>(a.floodTime) / static_cast<double>(a.observed));
  std::vector<Seconds> lengths;
  lengths.reserve(a.floods.size());
  std::size_t inside = 0;
  for (const Flood& flood : a.floods) {
    lengths.push_back(flood.to - flood.from);
    inside += flood.alarms;
  }
  const DelayFigures length = Figures(std::span(lengths));
  std::string finding = std::to_string(a.floods.size()) + (a.floods.size() == 1 ? " flood" : " floods") +
                        " (more than " + std::to_string(FloodAlarms) + " alarms in 10 minutes, until fewer than " +
                        std::to_string(FloodEndAlarms) + ")";
  if (!a.floods.empty())
    finding += ", lasting " + FormatDuration(length.median) + " at the median and " + FormatDuration(length.worst) +
               " at the longest, with " + std::to_string(inside) + " alarms in them";
  finding += "; " + OneDecimal(share) + " % of the running time in flood";
  if (a.peakTenMinutes > 0)
    finding += "; the most in 10 minutes: " + std::to_string(a.peakTenMinutes) + ", up to " +
               FormatDateTime(a.peakTenMinutesEnd).substr(0, 16);
  const std::string limit = std::to_string(FloodTimePercent) + " % of the time";
  if (share < FloodTimePercent)
    AddVerdict(a, "Floods", std::move(finding), "under " + limit + ": met", Level::Good);
  else
    AddVerdict(a, "Floods", std::move(finding), limit + " or more: not met", Level::Poor);
}

void JudgeStandingAlarms(Analysis& a, const std::vector<std::string>& names) {
  std::string stale =
      std::to_string(a.staleAlarms) + (a.staleAlarms == 1 ? " alarm" : " alarms") + " stood more than 24 h";
  if (a.staleAlarms > 0) stale += ", at most " + std::to_string(a.staleWorstDay) + " becoming stale on one day";
  if (a.longestStanding > 0)
    stale += "; the longest " + OneDecimal(static_cast<double>(a.longestStanding) / 3600) + " h (" +
             DisplayText(names[a.longestStandingName]) + ")";
  const std::string staleLimit = "fewer than " + std::to_string(StaleAlarmsADay) + " on any day";
  if (a.staleWorstDay < StaleAlarmsADay)
    AddVerdict(a, "Stale alarms", std::move(stale), staleLimit + ": met",
               a.staleAlarms == 0 ? Level::Good : Level::Fair);
  else
    AddVerdict(a, "Stale alarms", std::move(stale), staleLimit + ": not met", Level::Poor);

  std::string standing =
      "at most " + std::to_string(a.standingPeak) + " open at once, " + OneDecimal(a.standingAverage) + " on average";
  if (a.endUnknown > 0)
    standing += " (" + std::to_string(a.endUnknown) + (a.endUnknown == 1 ? " alarm" : " alarms") +
                " returned with no reset due and wrote no end: not counted)";
  const std::string standingLimit = "fewer than " + std::to_string(StandingAlarms) + " at once";
  AddVerdict(a, "Standing alarms", std::move(standing),
             standingLimit + (a.standingPeak < StandingAlarms ? ": met" : ": not met"),
             a.standingPeak < StandingAlarms ? Level::Good : Level::Poor);

  if (a.hoursWatched == 0) return CannotJudge(a, "Hours over 30");
  const double busy = 100.0 * static_cast<double>(a.busyHours) / static_cast<double>(a.hoursWatched);
  AddVerdict(a, "Hours over 30",
             std::to_string(a.busyHours) + " of " + std::to_string(a.hoursWatched) + " hours (" + OneDecimal(busy) +
                 " %) had more than " + std::to_string(BusyHourAlarms) + " alarms",
             busy < 1.0 ? "under 1 %: met" : "1 % or more: not met", busy < 1.0 ? Level::Good : Level::Poor);
}

// The chattering channels, most chatter first.
std::vector<const ChannelFigures*> Chattering(const Analysis& a) {
  std::vector<const ChannelFigures*> chattering;
  for (const ChannelFigures& channel : a.channels)
    if (channel.chatter > 0) chattering.push_back(&channel);
  std::stable_sort(chattering.begin(), chattering.end(),
                   [](const ChannelFigures* x, const ChannelFigures* y) { return x->chatter > y->chatter; });
  return chattering;
}

void JudgeChattering(Analysis& a, const std::vector<const ChannelFigures*>& chattering,
                     const std::vector<std::string>& names) {
  const std::string alarms = std::to_string(ChatterAlarms), within = " within " + std::string(ChatterWindowWords);
  if (chattering.empty())
    return AddVerdict(a, "Chattering", "no channel had " + alarms + " alarms" + within, "none: met", Level::Good);
  std::string finding = std::to_string(chattering.size()) +
                        (chattering.size() == 1 ? " channel had " : " channels had ") + alarms + " or more alarms" +
                        within + ": ";
  for (std::size_t i = 0; i < chattering.size() && i < 5; ++i) {
    if (i > 0) finding += ", ";
    finding += DisplayText(names[chattering[i]->name]) + " (" + std::to_string(chattering[i]->chatter) +
               (chattering[i]->chatter == 1 ? " time)" : " times)");
  }
  if (chattering.size() > 5) finding += " and " + std::to_string(chattering.size() - 5) + " more";
  std::size_t fromChattering = 0;
  for (const ChannelFigures* channel : chattering) fromChattering += channel->raised;
  finding += "; they gave " + Percent(static_cast<double>(fromChattering), static_cast<double>(a.alarms)) +
             " of the input alarms";
  AddVerdict(a, "Chattering", std::move(finding), "should be none: not met", Level::Poor);
}

// The top 10 of a plant with hundreds of alarms are a small share; this unit has at most
// 24 inputs, so the test is whether the top quarter of the channels that alarmed give more
// than half of all alarms.
void JudgeMostFrequent(Analysis& a) {
  const std::size_t n = a.channels.size();
  if (n < 4)
    return AddVerdict(a, "Most frequent",
                      "only " + std::to_string(n) + (n == 1 ? " channel" : " channels") + " alarmed",
                      "too few to judge", Level::Unknown);
  const std::string top = std::to_string(MostFrequentCount);
  std::size_t topCount = 0, topQuarter = 0;
  const std::size_t k = std::min(MostFrequentCount, (n + 3) / 4);
  for (std::size_t i = 0; i < n; ++i) {
    if (i < MostFrequentCount) topCount += a.channels[i].raised;
    if (i < k) topQuarter += a.channels[i].raised;
  }
  const auto total = static_cast<double>(a.alarms);
  std::string finding =
      n <= MostFrequentCount
          ? "the " + std::to_string(n) + " channels that alarmed are the top " + top
          : "the top " + top + " give " + Percent(static_cast<double>(topCount), total) + " of all alarms";
  finding += "; the top " + std::to_string(k) + " (a quarter of the " + std::to_string(n) +
             " channels that alarmed) give " + Percent(static_cast<double>(topQuarter), total);
  if (2 * topQuarter > a.alarms)
    AddVerdict(a, "Most frequent", std::move(finding), "more than half: a few channels dominate", Level::Poor);
  else
    AddVerdict(a, "Most frequent", std::move(finding), "no few channels dominate", Level::Good);
}

// Where to look first: chattering channels, then, when the load is above the acceptable,
// any channel with a tenth of all alarms.
void ChooseLookFirst(Analysis& a, const std::vector<const ChannelFigures*>& chattering,
                     const std::vector<std::string>& names) {
  bool heavy = false;
  for (const Verdict& v : a.verdicts) heavy = heavy || v.level == Level::Fair || v.level == Level::Poor;
  std::vector<const ChannelFigures*> first = chattering;
  std::stable_sort(first.begin(), first.end(),
                   [](const ChannelFigures* x, const ChannelFigures* y) { return x->raised > y->raised; });
  for (const ChannelFigures& channel : a.channels)
    if (heavy && channel.chatter == 0 && 10 * channel.raised >= a.alarms) first.push_back(&channel);
  const auto total = static_cast<double>(a.alarms);
  for (std::size_t i = 0; i < first.size() && i < 5; ++i) {
    std::string line = DisplayText(names[first[i]->name]) + " (";
    if (first[i]->chatter > 0)
      line += "chattering " + std::to_string(first[i]->chatter) + (first[i]->chatter == 1 ? " time, " : " times, ");
    line += Percent(static_cast<double>(first[i]->raised), total) + " of alarms)";
    a.lookFirst.push_back(std::move(line));
  }
}

void Judge(Analysis& a, const std::vector<std::string>& names) {
  JudgeDailyLoad(a);
  const TenMinuteCounts counts = CountTenMinutePeriods(a);
  JudgeTenMinuteLoad(a, counts);
  JudgeFloods(a);
  const std::vector<const ChannelFigures*> chattering = Chattering(a);
  JudgeChattering(a, chattering, names);
  JudgeMostFrequent(a);
  ChooseLookFirst(a, chattering, names);  // by the load's verdicts above
  JudgeStandingAlarms(a, names);
  AddVerdict(a, "At the panel's stops",
             std::to_string(a.unacceptedAtStop) + (a.unacceptedAtStop == 1 ? " alarm was" : " alarms were") +
                 " still unaccepted when the panel stopped",
             a.unacceptedAtStop == 0 ? "none" : "look at who stopped it and why",
             a.unacceptedAtStop == 0 ? Level::Good : Level::Fair);
  AddVerdict(a, "Not in this log", "shelving, suppression and priorities: the panel has none", "cannot be judged",
             Level::Unknown);
}
}  // namespace

std::string OneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

Analyser::Analyser(const Period& period) : walk_(std::make_unique<Walk>(period)) {}
Analyser::~Analyser() = default;

void Analyser::Expect(std::uintmax_t bytes) {
  // An alarm's line and the lines around it take some 70 bytes in a busy log; a reservation
  // is only address space until used, and a longer list grows as any does.
  walk_->out.episodes.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(bytes / 64, std::uintmax_t{1} << 22)));
}

void Analyser::Take(const LogData& log, std::span<const Entry> entries) {
  Walk& walk = *walk_;
  for (const Entry& entry : entries) walk.Add(log, entry);
}

void Analyser::TakeRead(const LogData& log, std::span<const Entry> entries, std::uint16_t file,
                        std::span<const std::uint32_t> names) {
  Walk& walk = *walk_;
  for (const Entry& entry : entries) walk.Add(log, ReadHere(entry, file, names));
}

std::optional<Seconds> Analyser::Latest() const { return walk_->Latest(); }

Analysis Analyser::Finish(const LogData& log, const Period& period, std::vector<bool> selected) {
  Walk& walk = *walk_;
  walk.Finish(period, log.names.size());
  Analysis a = std::move(walk.out);
  if (selected.size() != log.names.size()) selected.assign(log.names.size(), true);
  a.selected = std::move(selected);
  if (!std::all_of(a.selected.begin(), a.selected.end(), [](bool s) { return s; }))
    std::erase_if(a.episodes, [&](const Episode& episode) { return !a.selected[episode.name]; });
  a.missingDays = MissingDays(log, period);

  for (const Downtime& down : a.downtimes) a.downtimeTotal += down.to - down.from;
  a.unwatched = Unwatched(a);
  CountWatchedTime(a);
  for (const Downtime& down : a.downtimes)
    if (down.unclean) {
      ++a.uncleanStops;
      // Known to have stopped by the next start, or by the end of its day when that is earlier.
      a.uncleanTime += std::min(down.to, (DayOfTime(down.from) + 1) * SecondsPerDay) - down.from;
    }
  for (const LogFile& file : log.files) a.daysWithFile += file.day >= period.first && file.day <= period.last;
  const bool everyChannel = std::all_of(a.selected.begin(), a.selected.end(), [](bool s) { return s; });
  if (everyChannel) a.linkAlarms = a.linkLosses.size();
  // These read the episodes and write apart (the channels' counts and their times are other
  // members of each channel's figures): worked out in two halves of about the same work, side
  // by side where there are enough episodes to repay a thread and one can be had. Each half
  // looks at each episode once for all its figures: a year's episodes fill far more than the
  // cache, and reading them is most of the work.
  std::vector<ChannelFigures> figures(log.names.size());
  const auto firstHalf = [&a, &figures, everyChannel] {
    AlarmCount counts(figures);
    Annunciations annunciations(a, everyChannel);
    TakeEach(a.episodes, counts, annunciations);
    const BigVector<LogMoment> times = annunciations.Finish();
    FindFloods(a, times);
    CountHours(a, times);
  };
  std::thread beside;
  try {
    if (a.episodes.size() >= 65536) beside = std::thread(firstHalf);
  } catch (const std::system_error&) {
    // No thread to be had: both halves here.
  }
  if (!beside.joinable()) firstHalf();
  TenMinuteCount tenMinutes(a);
  WorstDay worstDay(a);
  Standing standing(a);
  AlarmTimes times(a, walk);
  TakeEach(a.episodes, tenMinutes, worstDay, standing, times);
  standing.Finish();
  times.Finish(figures);
  if (beside.joinable()) beside.join();
  RankChannels(a, log, figures, walk);
  TimeLinkLosses(a);

  Judge(a, log.names);
  return a;
}

Analysis Analyse(const LogData& log, const Period& period, std::vector<bool> selected) {
  Analyser analyser(period);
  analyser.Take(log, log.entries);
  return analyser.Finish(log, period, std::move(selected));
}

}  // namespace logreport
