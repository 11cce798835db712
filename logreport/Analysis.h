// What a period of the event log says: the alarm episodes of every channel, the link's
// losses, the times the panel was not running, and the load against the alarm-management
// benchmarks of ISA-18.2 / EEMUA 191.
//
// One episode runs from a " Alarm" entry to the next " Alarm" of the same designator, or to
// the panel's stop (a restart puts every alarm back to normal). Its accept is the first
// " Alarm Accept" in it, its reset the last " Alarm Reset" (an analogue alarm that waits for
// the operator's reset writes one when its value returns and one at the reset). An alarm that
// returns to normal with no reset due writes nothing, so such an episode's end is unknown.
#pragma once

#include "logreport/BigVector.h"
#include "logreport/LogParser.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace logreport {

struct Period {
  Day first = 0;
  Day last = 0;
  Seconds end = 0;  // the end of the last day, or the moment of the report when that is earlier
  [[nodiscard]] Seconds Start() const { return first * SecondsPerDay; }
};

// NoFile: a day without a file came next, so what followed is unknown.
enum class EpisodeEnd : std::uint8_t { NextAlarm, PanelStopped, NoFile, StillOpen };

// A moment of a log that may be unknown, in the same room. It converts to and from
// std::optional<Seconds> as freely as that converts from Seconds.
class MaybeSeconds {
 public:
  constexpr MaybeSeconds() = default;
  // cppcheck-suppress noExplicitConstructor ; it takes std::nullopt where an optional would
  constexpr MaybeSeconds(std::nullopt_t /*none*/) {}
  // cppcheck-suppress noExplicitConstructor ; and a time, as an optional does
  constexpr MaybeSeconds(Seconds time) : offset_(static_cast<std::uint32_t>(time - LogMoment::Base)) {}
  constexpr operator std::optional<Seconds>() const { return has_value() ? std::optional(**this) : std::nullopt; }
  [[nodiscard]] constexpr bool has_value() const { return offset_ != None; }
  constexpr explicit operator bool() const { return has_value(); }
  constexpr Seconds operator*() const { return LogMoment::Base + offset_; }

 private:
  static constexpr std::uint32_t None = UINT32_MAX;
  std::uint32_t offset_ = None;
};

struct Episode {
  LogMoment raised;
  MaybeSeconds accepted;
  // The last reset, or else, for PanelStopped, when the panel stopped: a reset is its end
  // whenever there is one, so the two share a place (a year holds many episodes).
  MaybeSeconds over;
  std::uint32_t name = 0;
  std::uint16_t resets = 0;  // counted up to 65535: the report asks only whether there was one
  EpisodeEnd end = EpisodeEnd::StillOpen;
  // It holds an entry out of sequence (two inputs under one name, or a lost line), so it
  // cannot be paired and is not timed.
  bool ambiguous = false;

  [[nodiscard]] MaybeSeconds reset() const { return resets > 0 ? over : MaybeSeconds(); }
  // Where it is known to be over: its last reset, or else the panel's stop.
  [[nodiscard]] MaybeSeconds ResetOrStop() const {
    return resets > 0 || end == EpisodeEnd::PanelStopped ? over : MaybeSeconds();
  }
};
static_assert(sizeof(Episode) == 20, "five words an episode");

// NotLogged: lost again before any entry showed it back.
enum class LinkEnd : std::uint8_t { Connected, LostReset, Disconnected, PanelStopped, NotLogged, StillLost };

struct LinkLoss {
  Seconds lost = 0;
  std::optional<Seconds> accepted;
  std::optional<Seconds> back;  // when the link was known to be back, or the panel stopped
  LinkEnd end = LinkEnd::StillLost;
};

struct TimeSpan {
  Seconds from = 0, to = 0;
};

struct Downtime {
  Seconds from = 0, to = 0;
  bool unclean = false;  // no "Application Closed": counted from the last entry before the start
};

struct DelayFigures {
  std::size_t count = 0;
  Seconds median = 0, worst = 0;
};

// Where an entry stands in the log.
struct LogPlace {
  std::uint32_t file = 0, line = 0;
};

struct ChannelFigures {
  std::uint32_t name = 0;
  std::size_t raised = 0, accepted = 0, reset = 0, open = 0, ambiguous = 0, orphans = 0;
  DelayFigures toAccept, toReset;
  std::size_t chatter = 0;         // times 3 or more alarms came within a minute
  std::size_t unpaired = 0;        // accepts out of sequence, which no alarm of the name could take
  std::optional<LogPlace> shared;  // entries out of sequence: the first one
};

enum class Level : std::uint8_t { Good, Fair, Poor, Unknown };

struct Verdict {
  std::string item;     // "Alarms a day"
  std::string finding;  // what the log shows (UTF-8)
  std::string judgement;
  Level level = Level::Unknown;
};

// A flood as the alarm-management standards define it: it begins when more than FloodAlarms
// alarms came in the ten minutes before a moment (a sliding window), and ends when fewer than
// FloodEndAlarms did.
struct Flood {
  Seconds from = 0, to = 0;
  std::size_t alarms = 0;  // annunciated from the ten minutes before its start to its end
  std::size_t peak = 0;    // the most in any ten minutes within it
};

struct Analysis {
  Period period;
  std::vector<Day> missingDays;
  std::vector<bool> selected;            // by name index
  BigVector<Episode> episodes;           // selected names only, in time order
  std::vector<ChannelFigures> channels;  // selected names that alarmed, most alarms first
  std::vector<LinkLoss> linkLosses;
  std::vector<Downtime> downtimes;
  // The time in the period with no file or with the panel stopped: the downtimes, then the
  // days without a file, each cut to the period. They may overlap.
  std::vector<TimeSpan> unwatched;
  DelayFigures toAccept, toReset, linkBack, linkAccept;
  std::vector<std::uint32_t> acceptHistogram;  // by AcceptBuckets
  std::size_t alarms = 0, orphans = 0, ambiguous = 0, outputCommands = 0, stepsBack = 0;
  std::size_t connects = 0, disconnects = 0;
  // The lost-link alarm sounds and waits for an accept like any input's: counted in the rates
  // (when every channel is chosen), beside the input alarms.
  std::size_t linkAlarms = 0;
  std::size_t daysWithFile = 0;
  // The day with the most input alarms raised on it (counted while they come in time order).
  Day worstDay = 0;
  std::size_t worstDayAlarms = 0;
  std::size_t uncleanStops = 0;
  Seconds uncleanTime = 0;  // the stops' time from the last entry to the next start or the day's end

  // Floods by the sliding window, and the most alarms in any ten minutes.
  std::vector<Flood> floods;
  Seconds floodTime = 0;
  std::size_t peakTenMinutes = 0;
  Seconds peakTenMinutesEnd = 0;
  // By day of the period: the most alarms in any ten minutes that end in it, and its time in flood.
  std::vector<std::uint32_t> worstTenMinutesPerDay;
  std::vector<Seconds> floodTimePerDay;

  // Standing alarms: those with a known end (a reset, the panel's stop, still open at the end).
  std::size_t staleAlarms = 0, staleWorstDay = 0, standingPeak = 0, endUnknown = 0, unacceptedAtStop = 0;
  double standingAverage = 0;
  Seconds longestStanding = 0;
  std::uint32_t longestStandingName = 0;
  std::size_t hoursWatched = 0, busyHours = 0;
  Seconds downtimeTotal = 0, observed = 0;

  // Ten-minute periods from the period's start: alarms in each, and whether the panel was
  // running (and logging) in any of it.
  std::vector<std::uint32_t> perTenMinutes;
  std::vector<bool> watched;

  std::vector<Verdict> verdicts;
  std::vector<std::string> lookFirst;  // "Flow switch (chattering 12 times, 35.2 % of alarms)"
};

// Upper ends of the accept-time bands, in seconds; the last band is open.
inline constexpr Seconds AcceptBuckets[] = {10, 30, 60, 120, 300, 600, 1800, 3600};

// The benchmarks the load is judged by. The verdicts and the page say each number from here.
struct RateBenchmark {
  std::string_view item;       // the verdict's name
  int acceptable, manageable;  // alarms on average
  std::string_view per;        // said after the acceptable number
};
// clang-format off
inline constexpr RateBenchmark DailyLoad     {"Alarms a day",         150, 300, " a day"};
inline constexpr RateBenchmark TenMinuteLoad {"Alarms in 10 minutes",   1,   2, ""};
inline constexpr std::uint32_t BusyAlarms = 2;              // a ten-minute period with more is busy,
inline constexpr std::uint32_t FloodAlarms = 10;            // and with more than this a flood begins,
inline constexpr std::uint32_t FloodEndAlarms = 5;          // and with fewer than this it ends
inline constexpr Seconds StaleAfter = Seconds{24} * 3600;           // standing longer than this: stale
inline constexpr std::uint32_t BusyHourAlarms = 30;         // an hour with more is overloaded
inline constexpr std::size_t StaleAlarmsADay = 5;           // fewer stale alarms on any day: met
inline constexpr std::size_t StandingAlarms = 10;           // fewer open at once: met
inline constexpr int FloodTimePercent = 1;                  // floods less of the time than this: met
inline constexpr std::size_t ChatterAlarms = 3;             // alarms of one channel
inline constexpr Seconds ChatterWindow = 60;                // within this, first to last, chatter
inline constexpr std::string_view ChatterWindowWords = "a minute";
inline constexpr std::size_t MostFrequentCount = 10;        // the most frequent alarms looked at
// clang-format on

class Walk;

// Judges the entries as a reader sends them, so that they need not all be held: Take them in
// the order read, then Finish once.
class Analyser final : public EntrySink {
 public:
  // The period as known before reading; only its end may come earlier at the finish.
  explicit Analyser(const Period& period);
  ~Analyser() override;
  Analyser(const Analyser&) = delete;
  Analyser& operator=(const Analyser&) = delete;

  // Room for the alarms of this many bytes of logs, so that their list is not copied as it grows.
  void Expect(std::uintmax_t bytes);
  void Take(const LogData& log, std::span<const Entry> entries) override;
  void TakeRead(const LogData& log, std::span<const Entry> entries, std::uint16_t file,
                std::span<const std::uint32_t> names) override;
  // The latest time of the entries taken so far.
  [[nodiscard]] std::optional<Seconds> Latest() const;
  // selected: by name index; empty selects every name.
  [[nodiscard]] Analysis Finish(const LogData& log, const Period& period, std::vector<bool> selected);

 private:
  std::unique_ptr<Walk> walk_;
};

// The same over entries already read.
[[nodiscard]] Analysis Analyse(const LogData& log, const Period& period, std::vector<bool> selected);

// The figures as text with one decimal: "12.5".
[[nodiscard]] std::string OneDecimal(double value);

}  // namespace logreport
