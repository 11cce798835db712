#include "tools/LogGenerator.h"

#include "link/LinkState.h"
#include "monitor/AlarmMachines.h"
#include "monitor/EventLog.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <map>
#include <queue>
#include <random>
#include <set>

namespace {
using Time = std::int64_t;  // seconds from 00:00 of the first day
constexpr Time Day = 86400;

struct InputPlan {
  const char* name;
  double perDay;    // how often the input alarms
  double duration;  // mean seconds it stays active or out of band
  bool accept, reset, chatter;
};

// clang-format off
constexpr std::array<InputPlan, DigitalInputCount> Digital{{
    {"Door 1", 6, 120, true, true, false},        {"Door 2", 4, 60, true, false, false},
    {"Pump 1 trip", 2, 900, true, true, false},   {"Pump 2 trip", 2, 900, true, true, false},
    {"Fire panel", 0.1, 600, true, true, false},  {"Boiler 1", 3, 300, true, true, false},
    {"Smoke, hall", 0.3, 300, true, true, false}, {"Low oil", 1, 3600, true, false, false},
    {"Compressor", 5, 200, true, true, false},    {"Gate \"B\"", 6, 40, true, false, false},
    {"Fan fault", 1, 600, true, true, false},     {"Flow switch", 9, 4, false, false, true},
    {"E-stop", 0.05, 300, true, true, false},     {"K\xFChlwasser", 2, 600, true, true, false},
    {"Door 3", 3, 90, true, false, false},        {"Spare 16", 0, 0, true, true, false},
}};
constexpr std::array<InputPlan, AnalogueInputCount> Analogue{{
    {"Boiler 1", 3, 600, true, true, false},         {"Tank 2, level", 3, 1800, true, true, false},
    {"Temp\xE9rature", 2, 900, true, true, false},   {"Pressure", 10, 5, true, false, true},
    {"Flow 50 m\xB3/h", 2, 600, false, true, false}, {"Humidity", 1, 1200, true, false, false},
    {"Voltage", 0.5, 60, false, false, false},       {"Current", 1, 300, true, true, false},
}};
// clang-format on
constexpr std::array<const char*, 6> Outputs{"Siren", "Beacon", "Pump 1", "Pump 2", "Valve A", "Valve B"};

enum class Kind : std::uint8_t { InputOn, InputOff, Click, CommsClick, LinkDown, LinkUp, Start, Stop, Crash, Output };
struct Event {
  Time at;
  std::uint64_t order;
  Kind kind;
  int channel = 0;  // digital 0..15, analogue 16..23
  std::uint32_t run = 0;
  bool operator>(const Event& other) const { return at != other.at ? at > other.at : order > other.order; }
};

class Simulation final : public EventRecorder {
 public:
  explicit Simulation(const LogGeneratorOptions& options) : options_(options), random_(options.seed) {
    SetDefaults(config_);
    for (int i = 0; i < DigitalInputCount; ++i) {
      WriteText(config_.InputDesignator[i], Digital[i].name);
      config_.DigitalRequiresAccept[i] = Digital[i].accept;
      config_.DigitalRequiresReset[i] = Digital[i].reset;
    }
    for (int i = 0; i < AnalogueInputCount; ++i) {
      WriteText(config_.AnalogueDesignator[i], Analogue[i].name);
      config_.AnalogueRequiresAccept[i] = Analogue[i].accept;
      config_.AnalogueRequiresReset[i] = Analogue[i].reset;
      config_.AlarmBelow[i] = Extended::FromInt(100);
      config_.AlarmAbove[i] = Extended::FromInt(900);
      values_[i] = Extended::FromInt(500);
    }
    for (int i = 0; i < static_cast<int>(Outputs.size()); ++i) WriteText(config_.OutputDesignator[i], Outputs[i]);
    config_.LostLinkRequiresAccept = 1;
    config_.LostLinkRequiresReset = 1;
    first_ = std::chrono::sys_days{std::chrono::year{options.firstYear} / options.firstMonth / options.firstDay};
  }

  std::vector<GeneratedLog> Run() {
    Plan();
    while (!queue_.empty() && queue_.top().at < options_.days * Day) {
      const Event event = queue_.top();
      queue_.pop();
      now_ = event.at;
      Handle(event);
    }
    std::vector<GeneratedLog> logs;
    logs.reserve(files_.size());
    for (auto& [day, bytes] : files_) logs.push_back({LogFileName(TimeOf(day * Day)), std::move(bytes)});
    return logs;
  }

  void LogEvent(EventCode code, int channel) override {
    const Time day = now_ / Day;
    if (silentDays_.contains(day)) return;  // logging switched off that day
    files_[day] += FormatLogLine(code, channel, config_, TimeOf(now_));
  }

 private:
  double Uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }
  bool Chance(double p) { return Uniform(0, 1) < p; }
  Time Exponential(double mean) {
    return static_cast<Time>(std::exponential_distribution<double>(1 / mean)(random_)) + 1;
  }
  Time LogNormal(double median, double sigma) {
    return static_cast<Time>(median * std::exp(sigma * std::normal_distribution<double>()(random_))) + 1;
  }
  void Push(Time at, Kind kind, int channel = 0, std::uint32_t run = 0) {
    queue_.push({at, order_++, kind, channel, run});
  }

  LocalTime TimeOf(Time t) const {
    const std::chrono::year_month_day date{first_ + std::chrono::days{t / Day}};
    const Time s = t % Day;
    return {static_cast<int>(date.year()),
            static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())),
            static_cast<int>(s / 3600),
            static_cast<int>(s / 60 % 60),
            static_cast<int>(s % 60)};
  }

  // An operator answers in half a minute or so, slower at night, and now and then is away.
  Time OperatorDelay(double median) {
    const Time hour = now_ % Day / 3600;
    const double night = hour < 6 || hour >= 22 ? 3 : 1;
    if (Chance(0.03)) return static_cast<Time>(Uniform(600, 3 * 3600));
    return LogNormal(median * night, 1.0);
  }

  void Excursion(int channel, Time at, double duration) {
    Push(at, Kind::InputOn, channel);
    Push(at + Exponential(duration), Kind::InputOff, channel);
  }

  void Plan() {
    const Time end = options_.days * Day;
    const double a = options_.activity;
    for (int c = 0; c < DigitalInputCount + AnalogueInputCount; ++c) {
      const InputPlan& plan = c < DigitalInputCount ? Digital[c] : Analogue[c - DigitalInputCount];
      if (plan.perDay <= 0) continue;
      for (Time t = Exponential(Day / (plan.perDay * a)); t < end; t += Exponential(Day / (plan.perDay * a))) {
        if (!plan.chatter) {
          Excursion(c, t, plan.duration);
          continue;
        }
        // A nuisance input flickers a few times within seconds.
        const int flickers = static_cast<int>(Uniform(2, 7));
        for (int k = 0; k < flickers; ++k) Excursion(c, t + k * static_cast<Time>(Uniform(6, 14)), plan.duration);
      }
    }
    for (Time day = 0; day < options_.days; ++day) {
      const Time base = day * Day;
      // A plant upset now and then: many inputs within a few minutes.
      if (Chance(0.25)) {
        const Time at = base + static_cast<Time>(Uniform(0, Day - 900));
        const int alarms = static_cast<int>(Uniform(12, 30));
        for (int k = 0; k < alarms; ++k) {
          const int c = static_cast<int>(Uniform(0, DigitalInputCount + AnalogueInputCount - 1));
          if (c != 15) Excursion(c, at + static_cast<Time>(Uniform(0, 420)), 900);
        }
      }
      if (Chance(0.35)) {
        const Time at = base + static_cast<Time>(Uniform(0, Day));
        Push(at, Kind::LinkDown);
        Push(at + 10 + std::min<Time>(LogNormal(90, 1.6), Time{6} * 3600), Kind::LinkUp);
      }
      for (Time t = base + Exponential(Day / (4 * a)); t < base + Day; t += Exponential(Day / (4 * a)))
        Push(t, Kind::Output, static_cast<int>(Uniform(0, Outputs.size())));
      if (Chance(0.03)) silentDays_.insert(day);
      if (Chance(0.08)) {  // a clean restart
        const Time at = base + static_cast<Time>(Uniform(0, Day));
        Push(at, Kind::Stop);
        Push(at + static_cast<Time>(Uniform(20, 300)), Kind::Start);
      } else if (Chance(0.06)) {  // a crash or a power cut: no "Application Closed"
        const Time at = base + static_cast<Time>(Uniform(0, Day));
        Push(at, Kind::Crash);
        Push(at + static_cast<Time>(Uniform(600, 7200)), Kind::Start);
      }
      // A weekend off now and then: closed on Friday evening, started again on Sunday or Monday.
      const auto weekday = std::chrono::weekday{first_ + std::chrono::days{day}};
      if (weekday == std::chrono::Friday && day + 3 < options_.days && Chance(0.3)) {
        Push(base + Time{18} * 3600 + static_cast<Time>(Uniform(0, 3600)), Kind::Stop);
        Push(base + (Chance(0.5) ? 2 : 3) * Day + Time{7} * 3600 + static_cast<Time>(Uniform(0, 3600)), Kind::Start);
      }
    }
    Push(Time{7} * 3600 + static_cast<Time>(Uniform(0, 3600)), Kind::Start);
  }

  AlarmState& State(int c) { return c < DigitalInputCount ? digital_[c] : analogue_[c - DigitalInputCount]; }

  // A report from the unit: the alarm passes, then the operator's clicks that are now due.
  void Evaluate() {
    if (!running_ || !linkUp_) return;
    EvaluateDigitalAlarms(config_, inputs_, digital_, *this);
    EvaluateAnalogueAlarms(config_, values_, analogue_, *this);
    ScheduleClicks();
  }

  void ScheduleClicks() {
    for (int c = 0; c < DigitalInputCount + AnalogueInputCount; ++c) {
      const AlarmState state = State(c);
      if ((state == AlarmState::AlarmUnaccepted || state == AlarmState::AlarmCleared) && !clickDue_[c]) {
        clickDue_[c] = true;
        Push(now_ + OperatorDelay(state == AlarmState::AlarmCleared ? 60 : 25), Kind::Click, c, run_);
      }
    }
    if ((link_ == LinkState::LinkLostUnaccepted || link_ == LinkState::LinkAwaitingReset) && !commsClickDue_) {
      commsClickDue_ = true;
      Push(now_ + OperatorDelay(30), Kind::CommsClick, 0, run_);
    }
  }

  void LinkStep() {
    if (!running_) return;
    const LinkTransition step = EvaluateLinkTransition(link_, linkUp_, true, true);
    link_ = step.next;
    if (step.log) LogEvent(*step.log, 1);
    ScheduleClicks();
  }

  void Handle(const Event& e) {
    switch (e.kind) {
      case Kind::InputOn:
      case Kind::InputOff: {
        int& count = active_[e.channel];
        count += e.kind == Kind::InputOn ? 1 : -1;
        if (e.channel < DigitalInputCount)
          inputs_[e.channel] = count > 0;
        else
          values_[e.channel - DigitalInputCount] = Extended::FromInt(count > 0 ? 950 : 500);
        Evaluate();
        break;
      }
      case Kind::Click: {
        if (e.run != run_ || !running_) break;
        clickDue_[e.channel] = false;
        if (e.channel < DigitalInputCount)
          DigitalInputAlarmClick(config_, e.channel, inputs_[e.channel], digital_[e.channel], *this);
        else
          AnalogueInputAlarmClick(config_, e.channel - DigitalInputCount, values_[e.channel - DigitalInputCount],
                                  analogue_[e.channel - DigitalInputCount], *this);
        ScheduleClicks();
        break;
      }
      case Kind::CommsClick: {
        if (e.run != run_ || !running_) break;
        commsClickDue_ = false;
        const LinkTransition step = CommsClickTransition(link_, linkUp_);
        link_ = step.next;
        if (step.log) LogEvent(*step.log, 0);
        ScheduleClicks();
        break;
      }
      case Kind::LinkDown:
        linkUp_ = false;
        LinkStep();
        break;
      case Kind::LinkUp:
        linkUp_ = true;
        LinkStep();
        Evaluate();
        break;
      case Kind::Output:
        if (!running_) break;
        // The entry names the state the unit reported before the click.
        LogEvent(outputs_[e.channel] ? EventCode::OutputSetInactive : EventCode::OutputSetActive, e.channel);
        outputs_[e.channel] = !outputs_[e.channel];
        break;
      case Kind::Start:
        if (running_) break;
        running_ = true;
        ++run_;
        digital_.fill(AlarmState::Normal);
        analogue_.fill(AlarmState::Normal);
        clickDue_.fill(false);
        commsClickDue_ = false;
        link_ = LinkState::LinkNotConnected;
        LogEvent(EventCode::ApplicationStarted, 0);
        LinkStep();  // the first report raises the link at once
        Evaluate();
        break;
      case Kind::Stop:
      case Kind::Crash:
        if (!running_) break;
        if (e.kind == Kind::Stop) {
          LogEvent(EventCode::ApplicationClosed, 0);
        } else if (Chance(0.5)) {
          // The power went while the last entry was being written.
          std::string& bytes = files_[now_ / Day];
          if (bytes.size() > 12) bytes.resize(bytes.size() - static_cast<std::size_t>(Uniform(3, 12)));
        }
        running_ = false;
        break;
    }
  }

  LogGeneratorOptions options_;
  std::mt19937_64 random_;
  UnitConfiguration config_{};
  std::chrono::sys_days first_;
  std::priority_queue<Event, std::vector<Event>, std::greater<>> queue_;
  std::uint64_t order_ = 0;
  Time now_ = 0;
  std::map<Time, std::string> files_;
  std::set<Time> silentDays_;

  std::array<std::uint8_t, DigitalInputCount> inputs_{};
  std::array<Extended, AnalogueInputCount> values_{};
  std::array<int, DigitalInputCount + AnalogueInputCount> active_{};
  std::array<bool, Outputs.size()> outputs_{};
  std::array<AlarmState, DigitalInputCount> digital_{};
  std::array<AlarmState, AnalogueInputCount> analogue_{};
  std::array<bool, DigitalInputCount + AnalogueInputCount> clickDue_{};
  bool commsClickDue_ = false;
  LinkState link_ = LinkState::LinkNotConnected;
  bool linkUp_ = true;
  bool running_ = false;
  std::uint32_t run_ = 0;
};
}  // namespace

std::vector<GeneratedLog> GenerateLogs(const LogGeneratorOptions& options) { return Simulation(options).Run(); }
