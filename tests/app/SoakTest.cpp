// A simulated week of the panel in 50 ms ticks. A seeded random unit and a seeded random
// operator drive PanelCore over the fakes; after every tick and every click a model of the
// panel's rules, written here and sharing no table with the code under test, says exactly
// what the core's state, its datagrams, its log bytes, its display and its sound must be.
// QMX_SOAK_SEED picks another seed, QMX_SOAK_TICKS another span (read by this test only).
#include "editor/DecimalText.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

namespace {

constexpr std::int64_t TicksPerDay = 24LL * 60 * 60 * 20;
#ifndef QMX_SOAK_TICKS
#define QMX_SOAK_TICKS (7 * TicksPerDay)
#endif

std::uint64_t Setting(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// splitmix64: the same walk for a seed on every compiler and library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool OneIn(int n) { return Below(n) == 0; }
  template <typename T, std::size_t N>
  T Of(const T (&choices)[N]) {
    return choices[Below(static_cast<int>(N))];
  }

 private:
  std::uint64_t state_;
};

// The record as the rules read it: texts up to their NUL, reals as their ten bytes.
template <std::size_t N>
std::string_view Field(const char (&field)[N]) {
  return {field, strnlen(field, N)};
}
template <std::size_t N>
void Put(char (&field)[N], std::string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  // NOLINTNEXTLINE(bugprone-suspicious-stringview-data-usage): n bytes copied, no NUL read
  std::memcpy(field, text.data(), n);
  field[n] = '\0';  // the bytes after the NUL stay, as the editor leaves them
}
const Extended& Real(const Extended& e) { return e; }
void SetReal(Extended& e, const Extended& value) { e = value; }
Extended Scaled(std::int32_t raw, const Extended& scaling) {
  static const Extended OneOver1023 = Extended::FromInt(1) / Extended::FromInt(1023);  // nearest 1/1023
  return (Extended::FromInt(raw) * scaling) * OneOver1023;
}
// Equal as values (+0 and -0 alike, a NaN equal to nothing).
bool SameValue(const Extended& a, const Extended& b) { return a <= b && a >= b; }
// A period in seconds as ticks: negative counts as 0, a huge one stops at the int32 limit.
std::int32_t Ticks(std::int32_t seconds) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds * 20LL, 0, INT32_MAX));
}

enum : int { Normal, Unaccepted, Accepted, Cleared, Disabled };
enum : int { NotConnected, Connected, LostUnaccepted, Lost, AwaitingReset };
constexpr Colour Green = 0x00008000, Red = 0x000000FF, Yellow = 0x0000FFFF, Grey = 0x00808080;

// The rows of the rules, counted as the walk takes them.
// clang-format off
enum Row : int {
  DigitalRaised, DigitalUnacceptedReturns, DigitalAcceptedClears, DigitalClearedReturns, DigitalReenabled,
  DigitalClickAccepts, DigitalClickAcceptsCleared, DigitalClickResetsUnaccepted, DigitalClickResets,
  AnalogueRaised, AnalogueUnacceptedReturns, AnalogueAcceptedReturns, AnalogueClearedReturns, AnalogueReenabled,
  AnalogueClickAccepts, AnalogueClickAcceptsCleared, AnalogueClickResets,
  LinkComesUp, LinkLostUnaccepted, LinkLostAccepted, LinkBackAwaitingReset, LinkBackConnected, LinkDropsWhileAwaiting,
  CommsClickAcceptsUp, CommsClickAcceptsDown, CommsClickResets,
  ReportIgnored, ReportStopped, ReportAccepted, ReadingOnALimit, Uncounted
};
constexpr const char* RowNames[] = {
  "digital Normal->alarm", "digital Unaccepted->Normal", "digital Accepted->Cleared/Normal", "digital Cleared->Accepted",
  "digital Disabled->Normal", "digital click Unaccepted->Accepted", "digital click Unaccepted->Cleared",
  "digital click Unaccepted->Normal", "digital click Cleared->Normal",
  "analogue Normal->alarm", "analogue Unaccepted->Normal", "analogue Accepted->Cleared/Normal",
  "analogue Cleared->Accepted", "analogue Disabled->Normal", "analogue click Unaccepted->Accepted",
  "analogue click Unaccepted->Cleared", "analogue click Cleared->Normal",
  "link 0->1", "link 1->2", "link 1->3", "link 3->4", "link 3->1", "link 4->3",
  "comms click 2->4", "comms click 2->3", "comms click 4->1",
  "report for another name", "report stopped at a bad field", "report accepted", "reading on a limit"};
// clang-format on

struct Look {
  Colour colour;
  std::string_view caption;
};
Look InputLook(int state, int blink) {
  constexpr Look Looks[] = {{Green, "C"}, {Red, "A"}, {Red, "AA"}, {Yellow, "AC"}, {Grey, "NA"}};
  return state == Unaccepted && !blink ? Look{Grey, "A"} : Looks[state];
}
Look CommsLook(int state, int blink) {
  // clang-format off
  constexpr Look Looks[] = {{Grey, "Not Connected"}, {Green, "Connected"}, {Red, "Connection Lost"},
                            {Red, "Connection Lost"}, {Yellow, "Connection Lost"}};
  // clang-format on
  return state == LostUnaccepted && !blink ? Look{Grey, "Connection Lost"} : Looks[state];
}

class Model {
 public:
  explicit Model(const LocalTime& now) : now_(now) {}

  UnitConfiguration config{};
  bool open = false, sendsFail = false, polled = false;
  int blinkPhase = 0, blinkCountdown = 0, pollCountdown = 0, timeout = 0, linkUp = 0, linkState = NotConnected;
  std::array<int, DigitalInputCount> digital{};
  std::array<int, AnalogueInputCount> analogue{};
  std::array<std::uint8_t, DigitalInputCount> inputs{};
  std::array<std::uint8_t, OutputCount> outputs{};
  std::array<std::int32_t, AnalogueInputCount> raw{};
  std::array<Extended, AnalogueInputCount> value{};
  bool playing = false;
  long long plays = 0, stops = 0;

  // What the present step must have sent, logged and shown in an error box; the checker clears them.
  std::array<std::string, 3> sends;
  std::size_t sendCount = 0;
  std::string log, error;
  // The controls as the last refresh and the last link status left them.
  std::array<Look, DigitalInputCount> indicators{};
  std::array<Colour, OutputCount> buttons{};
  std::array<Colour, AnalogueInputCount> bars{};
  std::array<std::int32_t, AnalogueInputCount> levels{};
  Look comms{Red, "Status"};  // the layout's look until the first link status
  bool idle = true;

  std::array<long long, Uncounted> hits{};
  long long polls = 0, lines = 0;

  void Tick(const std::string* datagram) {
    bool changed = blinkCountdown == 0;
    if (changed)
      blinkPhase ^= 1, blinkCountdown = 20;
    else
      --blinkCountdown;
    polled = false;
    if (open) {
      if (datagram && !datagram->empty()) {
        Parse(*datagram);
        EvaluateAlarms();
        changed = true;
      }
      if (pollCountdown == 0) {
        pollCountdown = linkUp ? Ticks(config.TimeoutPeriod) : 20;
        polls += polled = Send(Field(config.DeviceName), ",U****************");
      } else {
        --pollCountdown;
      }
      changed |= linkUp != (timeout != 0);
      linkUp = timeout != 0;
      if (timeout != 0) --timeout;
    }
    if (!changed) return;
    Refresh();
    LinkStep();
    ShowLink();
    bool needed = linkState == LostUnaccepted && config.LostLinkEnableReporting;
    for (int i = 0; i < DigitalInputCount; ++i) needed |= digital[i] == Unaccepted && config.DigitalEnableReporting[i];
    for (int k = 0; k < AnalogueInputCount; ++k)
      needed |= analogue[k] == Unaccepted && config.AnalogueEnableReporting[k];
    plays += needed && !playing;
    stops += !needed && playing;
    playing = needed;
  }

  void StartUp() {  // the evaluation start-up runs before any report
    EvaluateAlarms();
    log.clear();
  }

  void DigitalClick(int i) {
    int& s = digital[i];
    const std::string_view name = Field(config.InputDesignator[i]);
    if (s == Unaccepted && inputs[i]) return Move(DigitalClickAccepts, s, Accepted, name, " Alarm Accept");
    if (s == Unaccepted && config.DigitalRequiresReset[i])
      return Move(DigitalClickAcceptsCleared, s, Cleared, name, " Alarm Accept");
    if (s == Unaccepted) return Move(DigitalClickResetsUnaccepted, s, Normal, name, " Alarm Reset");
    if (s == Cleared) Move(DigitalClickResets, s, Normal, name, " Alarm Reset");
  }

  void AnalogueClick(int k) {
    int& s = analogue[k];
    const std::string_view name = Field(config.AnalogueDesignator[k]);
    if (s == Unaccepted && Out(k)) return Move(AnalogueClickAccepts, s, Accepted, name, " Alarm Accept");
    if (s == Unaccepted) return Move(AnalogueClickAcceptsCleared, s, Cleared, name, " Alarm Accept");
    if (s == Cleared) Move(AnalogueClickResets, s, Normal, name, " Alarm Reset");
  }

  void CommsClick() {
    if (linkState == LostUnaccepted)
      Move(linkUp ? CommsClickAcceptsUp : CommsClickAcceptsDown, linkState, linkUp ? AwaitingReset : Lost, {},
           "Comms Lost Accept");
    else if (linkState == AwaitingReset)
      Move(CommsClickResets, linkState, Connected, {}, "Comms Lost Reset");
    ShowLink();
  }

  void OutputClick(int i) {
    std::string command =
        config.OutputUsePulse[i] ? ",U,P" + std::to_string(config.OutputPulsePeriod[i]) + "," : ",U,T,";
    command += std::string(16, '*').replace(static_cast<std::size_t>(i), 1, "1");
    const std::string_view name = Field(config.OutputDesignator[i]);
    if (!Send(Field(config.DeviceName), command))
      error = "Cannot send the command for " + std::string(name) + ": send refused";
    else
      Log(name, outputs[i] ? " Set to Inactive" : " Set to Active");
  }

  void ConnectClick(bool refused) {
    pollCountdown = 0;
    if (!open) {
      if (refused) error = "Cannot open the link: open refused";
      open = !refused;
      pollCountdown = open ? 1 : 0;
      return;
    }
    open = false;
    timeout = linkUp = 0;
    Refresh();
    Log({}, "Comms Disconnected");
    linkState = NotConnected;
  }

 private:
  void Move(Row row, int& state, int next, std::string_view designator = {}, std::string_view text = {}) {
    if (row != Uncounted) ++hits[row];
    state = next;
    if (!text.empty()) Log(designator, text);
  }

  bool Send(std::string_view name, std::string_view rest) {
    if (sendsFail) return false;
    sends[sendCount++].assign(name).append(rest);
    return true;
  }

  void Log(std::string_view designator, std::string_view text) {
    if (config.EnableLogging == 0) return;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d,%02d:%02d:%02d,", now_.day, now_.month, now_.year, now_.hour,
                  now_.minute, now_.second);
    log.append(stamp).append(designator).append(text).append("\r\n");
    ++lines;
  }

  [[nodiscard]] bool Out(int k) const {
    const Extended &below = config.AlarmBelow[k], &above = config.AlarmAbove[k];
    return below > above || value[k] < below || value[k] > above;
  }

  // N "," type, a separator, 16 inputs, a separator, 16 outputs, a separator, up to 8 fields.
  void Parse(std::string_view text) {
    text = text.substr(0, 510);
    text = text.substr(0, text.find('\0'));
    const std::string_view name = Field(config.DeviceName);
    const std::size_t n = name.size();
    if (name.find(',') != std::string_view::npos || text.size() <= n || !text.starts_with(name) || text[n] != ',')
      return void(++hits[ReportIgnored]);
    if (text.size() > n + 1 && text[n + 1] == 'U' && !Send(name, ",C,S,****************")) return;
    std::size_t at = n + 3;
    for (auto* bits : {&inputs, &outputs}) {
      for (std::uint8_t& bit : *bits) {
        if (at >= text.size() || (text[at] != '0' && text[at] != '1')) return void(++hits[ReportStopped]);
        bit = text[at++] == '1';
      }
      ++at;
    }
    for (int k = 0; k < AnalogueInputCount && at <= text.size(); ++k, ++at) {
      std::int32_t reading = 0;
      for (int digits = 0; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        if (digits++ < 4) reading = reading * 10 + (text[at] - '0');
      raw[k] = reading;  // a field the text does not reach keeps its value
      value[k] = Scaled(reading, Real(config.AnalogueScaling[k]));
    }
    timeout = Ticks(config.UpdatePeriod);
    ++hits[ReportAccepted];
  }

  void EvaluateAlarms() {
    for (int i = 0; i < DigitalInputCount; ++i) {
      const bool on = inputs[i], accept = config.DigitalRequiresAccept[i], reset = config.DigitalRequiresReset[i];
      const std::string_view name = Field(config.InputDesignator[i]);
      int& s = digital[i];
      if (s == Normal && on)
        Move(DigitalRaised, s, accept ? Unaccepted : Accepted, name, " Alarm");
      else if (s == Unaccepted && !on && !accept && !reset)
        Move(DigitalUnacceptedReturns, s, Normal, name, " Alarm Reset");
      else if (s == Accepted && !on)
        Move(DigitalAcceptedClears, s, reset ? Cleared : Normal);
      else if (s == Cleared && on)
        Move(DigitalClearedReturns, s, Accepted);
      else if (s == Disabled && config.DigitalEnableReporting[i])
        Move(DigitalReenabled, s, Normal);
      if (!config.DigitalEnableReporting[i]) s = Disabled;
    }
    for (int k = 0; k < AnalogueInputCount; ++k) {
      const bool out = Out(k), accept = config.AnalogueRequiresAccept[k], reset = config.AnalogueRequiresReset[k],
                 enabled = config.AnalogueEnableReporting[k];
      const std::string_view name = Field(config.AnalogueDesignator[k]);
      hits[ReadingOnALimit] += SameValue(value[k], config.AlarmBelow[k]) || SameValue(value[k], config.AlarmAbove[k]);
      int& s = analogue[k];
      if (s == Normal && out)
        Move(AnalogueRaised, s, accept ? Unaccepted : Accepted, name, " Alarm");
      else if (s == Unaccepted && !out && !reset && accept)
        Move(AnalogueUnacceptedReturns, s, Normal);
      else if (s == Accepted && !out)
        Move(AnalogueAcceptedReturns, s, reset ? Cleared : Normal, name, " Alarm Reset");
      else if (s == Cleared && out)
        Move(AnalogueClearedReturns, s, Accepted);
      else if (s == Disabled && out)
        Move(enabled ? AnalogueReenabled : Uncounted, s, Normal);
      if (!enabled) s = Disabled;
    }
    Refresh();
  }

  void LinkStep() {
    if (linkState == NotConnected && linkUp)
      Move(LinkComesUp, linkState, Connected, {}, "Comms Connected");
    else if (linkState == Connected && !linkUp && config.LostLinkRequiresAccept)
      Move(LinkLostUnaccepted, linkState, LostUnaccepted, {}, "Comms Lost");
    else if (linkState == Connected && !linkUp)
      Move(LinkLostAccepted, linkState, Lost, {}, "Comms Lost");
    else if (linkState == Lost && linkUp && config.LostLinkRequiresReset)
      Move(LinkBackAwaitingReset, linkState, AwaitingReset);
    else if (linkState == Lost && linkUp)
      Move(LinkBackConnected, linkState, Connected, {}, "Comms Connected");
    else if (linkState == AwaitingReset && !linkUp)
      Move(LinkDropsWhileAwaiting, linkState, Lost);
  }

  void Refresh() {
    idle = !linkUp;
    for (int i = 0; i < DigitalInputCount; ++i) {
      indicators[i] = linkUp ? InputLook(digital[i], blinkPhase) : Look{Grey, "NA"};
      buttons[i] = !linkUp ? Grey : outputs[i] ? Red : Green;
    }
    for (int k = 0; k < AnalogueInputCount; ++k) {
      bars[k] = linkUp ? InputLook(analogue[k], blinkPhase).colour : Grey;
      if (linkUp) levels[k] = raw[k];  // the idle look keeps the level
    }
  }

  void ShowLink() { comms = CommsLook(linkState, blinkPhase); }

  const LocalTime& now_;
};

// ---- Configurations as the editor hands them back or a data file brings them.

// Readings whose scaled values the limits are made of, so that reports land on them exactly.
constexpr std::int32_t Readings[] = {0, 1, 100, 511, 512, 513, 1000, 1022, 1023, 9999};

void RandomEdit(Random& r, UnitConfiguration& c) {
  // clang-format off
  static constexpr std::int32_t UpdatePeriods[] = {1, 1, 2, 3, 5, 5, 10, 10, 10, 15, 60, 0, -1, INT32_MIN, 107374183,
                                                   INT32_MAX};
  static constexpr std::int32_t TimeoutPeriods[] = {0, 0, 1, 2, 5, 10, 20, 20, 30, -1, INT32_MIN, 107374183};
  static const Extended Scalings[] = {Extended::FromInt(1023), Extended::FromInt(1023), Extended::FromInt(1023),
      Extended::FromInt(100), Extended::FromInt(5000), Extended::FromInt(1) / Extended::FromInt(7), Extended::FromInt(0),
      Extended::FromInt(-1023), Extended::ParseDecimal("1e30")};
  static constexpr std::string_view Names[] = {"KELDRON", "KELDRON", "KELDRON", "UNIT-7", "", "KEL,DRON", "K\xC9LDRON",
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", "QQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQQ"};
  static constexpr std::string_view Designators[] = {"Pump 1", "Tank, north", "\xC9tage 2", "", "Input 3",
      "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"};
  static constexpr std::int32_t Lengths[] = {1000, 0, -25, 65000, INT32_MAX, INT32_MIN};
  const int i = r.Below(DigitalInputCount), k = r.Below(AnalogueInputCount);
  std::uint8_t* flags[] = {&c.DigitalEnableReporting[i], &c.DigitalRequiresAccept[i], &c.DigitalRequiresReset[i],
      &c.AnalogueEnableReporting[k], &c.AnalogueRequiresAccept[k], &c.AnalogueRequiresReset[k],
      &c.LostLinkEnableReporting, &c.LostLinkRequiresAccept, &c.LostLinkRequiresReset, &c.OutputUsePulse[i],
      &c.EnableLogging};
  // clang-format on
  switch (r.Below(12)) {
    case 0:
    case 1: {
      std::uint8_t& flag = *flags[r.Below(11)];
      flag = flag ? 0 : static_cast<std::uint8_t>(r.Between(1, 255));  // any byte but 0 is on
      break;
    }
    case 2:  // "Enable All" or "Disable All"
      if (r.OneIn(2))
        std::memset(c.DigitalRequiresAccept, r.Below(2), DigitalInputCount);
      else
        std::memset(c.AnalogueRequiresReset, r.Below(2), AnalogueInputCount);
      break;
    case 3:
    case 4: {
      Extended below = Scaled(r.Of(Readings), c.AnalogueScaling[k]),
               above = Scaled(r.Of(Readings), c.AnalogueScaling[k]);
      if (below > above && !r.OneIn(5)) std::swap(below, above);  // now and then an inverted band
      if (r.OneIn(4)) below = Extended::FromInt(0), above = Extended::FromInt(1024);
      SetReal(c.AlarmBelow[k], below);
      SetReal(c.AlarmAbove[k], above);
      break;
    }
    case 5: SetReal(c.AnalogueScaling[k], r.Of(Scalings)); break;
    case 6: c.UpdatePeriod = r.Of(UpdatePeriods); break;
    case 7: c.TimeoutPeriod = r.Of(TimeoutPeriods); break;
    case 8: {
      std::string text(r.Of(Designators));
      for (int n = r.OneIn(3) ? r.Below(35) : 0; n > 0; --n) text += static_cast<char>(r.Between(0x20, 0xFF));
      char(*designators[])[DesignatorFieldSize] = {c.InputDesignator, c.OutputDesignator, c.AnalogueDesignator};
      const int kind = r.Below(3);
      Put(designators[kind][r.Below(kind == 2 ? AnalogueInputCount : DigitalInputCount)], text);
      break;
    }
    case 9: {
      const std::string_view name = r.Of(Names);
      if (name.size() == sizeof c.DeviceName)
        std::memcpy(c.DeviceName, name.data(), name.size());  // no NUL
      else
        Put(c.DeviceName, name);
      break;
    }
    case 10: c.OutputPulsePeriod[i] = r.Of(Lengths); break;
    default:
      c.Port = r.OneIn(2) ? r.Between(1, 65535) : static_cast<std::int32_t>(r.Next());
      c.Reserved1[r.Below(4)] = static_cast<std::uint8_t>(r.Next());
      c.Reserved2[r.Below(4)] = static_cast<std::uint8_t>(r.Next());
      break;
  }
  Put(c.IPAddress, "127.0.0.1");  // never any other address, though the endpoint is fake
}

// ---- The remote unit: reports, silence, floods, garbage, broken reports, other names.

class RandomUnit {
 public:
  RandomUnit(Random& random, const Model& model, FakeEndpoint& endpoint) : r_(random), m_(model), endpoint_(endpoint) {}

  void Step() {  // before each of the panel's ticks
    if (--left_ <= 0) {
      static constexpr int Periods[] = {1, 2, 5, 20, 100, 150, 199, 200, 201, 400, 1000};
      static constexpr Mode Modes[] = {Steady,      Steady, Steady, Steady, AnswerPolls,
                                       AnswerPolls, Silent, Silent, Flood,  Garbage};
      mode_ = r_.Of(Modes);
      left_ = mode_ == Flood ? r_.Between(5, 200) : r_.Between(200, 20000);
      period_ = countdown_ = r_.Of(Periods);
    }
    if (!m_.open) return;  // a closed endpoint receives nothing
    if (mode_ == Steady && --countdown_ <= 0) countdown_ = period_, Push(r_.OneIn(30) ? Broken() : Report());
    if (mode_ == AnswerPolls && m_.polled) Push(Report());
    for (int n = mode_ == Flood ? r_.Between(1, 5) : 0; n > 0; --n) Push(r_.OneIn(3) ? Broken() : Report());
    if (mode_ == Garbage && r_.OneIn(3)) Push(r_.OneIn(2) ? Noise() : Broken());
  }

  // The panel's command reached the unit: a toggle flips the output, a pulse turns it on.
  void Command(int output, bool pulse) { outputs_[output] = pulse || outputs_[output] == '0' ? '1' : '0'; }

 private:
  enum Mode { Steady, AnswerPolls, Silent, Flood, Garbage };

  void Push(std::string text) {
    if (endpoint_.incoming.size() < 64) endpoint_.incoming.push_back(std::move(text));
  }

  std::string Report() {
    if (r_.OneIn(3)) inputs_[r_.Below(16)] ^= 1;
    if (r_.OneIn(20)) outputs_[r_.Below(16)] ^= 1;
    const int k = r_.Below(AnalogueInputCount);
    if (r_.OneIn(3)) fields_[k] = std::to_string(r_.OneIn(3) ? r_.Between(0, 1023) : r_.Of(Readings));
    if (r_.OneIn(40)) fields_[k] = r_.OneIn(2) ? "" : "123456";  // empty, or more than four digits
    static constexpr std::string_view Types[] = {"U", "U", "U", "U", "U", "U", "X", "C", "u", "\xD5"};
    std::string text(Field(m_.config.DeviceName));
    if (r_.OneIn(30)) {  // another unit, a longer name, a shorter one, or the name in small letters
      static constexpr std::string_view Others[] = {"OTHERUNIT", "KELDRONS", "KEL", "keldron"};
      text = r_.OneIn(2) ? text + "S" : std::string(r_.Of(Others));
    }
    text.append(",").append(r_.Of(Types)).append(",").append(inputs_, 16).append(",").append(outputs_, 16);
    for (const std::string& field : fields_) text.append(",").append(field);
    return text;
  }

  std::string Broken() {
    std::string text = Report();
    static constexpr char Bad[] = {'\0', 'x', ',', '2', '\xFF', '\x80', ' ', '\r'};
    const auto at = static_cast<std::size_t>(r_.Below(static_cast<int>(text.size())));
    switch (r_.Below(6)) {
      case 0: text.resize(at); break;  // cut, often inside a field
      case 1: text[at] = r_.Of(Bad); break;
      case 2: text.insert(at, 1, '\0'); break;
      case 3: {  // over 510 bytes: a long first analogue field pushes the later ones past the cut
        std::size_t first = text.size();
        for (const std::string& field : fields_) first -= field.size() + 1;
        text.insert(first + 1, static_cast<std::size_t>(r_.Between(400, 560)), static_cast<char>('0' + r_.Below(10)));
        break;
      }
      case 4: text.append(static_cast<std::size_t>(r_.Between(1, 600)), ','); break;
      default: text.erase(at, 1); break;
    }
    return text;
  }

  std::string Noise() {
    std::string text(r_.OneIn(4) ? 0 : static_cast<std::size_t>(r_.Below(600)), ' ');  // empty now and then
    for (char& c : text) c = static_cast<char>(r_.Next());
    return r_.OneIn(4) ? std::string(Field(m_.config.DeviceName)) + ",U," : text;
  }

  Random& r_;
  const Model& m_;
  FakeEndpoint& endpoint_;
  Mode mode_ = Silent;
  int left_ = 0, period_ = 1, countdown_ = 1;
  char inputs_[16] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
  char outputs_[16] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
  std::array<std::string, AnalogueInputCount> fields_{"0", "0", "0", "0", "0", "0", "0", "0"};
};

// ---- The soak: drives the core and the model side by side and compares after every step.

class Soak {
 public:
  Soak(std::uint64_t seed, long long ticks)
      : seed_(seed), ticks_(ticks), unitRandom_(seed * 2 + 1), operatorRandom_(seed * 2 + 2) {
    // Start-up has run with the defaults and written "Application Started"; a loopback
    // address goes into force before anything is sent.
    std::memcpy(&model_.config, &rig_.core.Configuration, sizeof(UnitConfiguration));
    model_.StartUp();
    rig_.sink.files.clear();
    seenAttempts_ = rig_.sink.attempts;
    using namespace std::chrono;
    wall_ = sys_days(seed % 2 ? year(2028) / 2 / 26 : year(2027) / 12 / 28) + hours(21);
    ShowTime();
    UnitConfiguration loopback = model_.config;
    Put(loopback.IPAddress, "127.0.0.1");
    HandBack(loopback);
  }

  void Run() {
    while (tick_ < ticks_ && !failed_) {
      if (++tick_ % 20 == 0) wall_ += std::chrono::seconds(1), ShowTime();
      Operate();
      if (failed_) break;
      unit_.Step();
      const bool takes = model_.open && !rig_.endpoint.incoming.empty();
      if (takes) lastDatagram_.assign(rig_.endpoint.incoming.front(), 0, 600);
      model_.Tick(takes ? &rig_.endpoint.incoming.front() : nullptr);
      rig_.core.Timer1Timer();
      Check("tick");
    }
  }

  void Report() const {
    std::printf(
        "soak: seed %llu, %lld ticks, %d midnights, %lld polls, %lld log lines, %lld plays, %d loads, "
        "%d hand-backs\n",
        static_cast<unsigned long long>(seed_), tick_, midnights_, model_.polls, model_.lines, model_.plays, loads_,
        handBacks_);
    for (int row = 0; row < Uncounted; ++row) std::printf("  %-36s %9lld\n", RowNames[row], model_.hits[row]);
  }

  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] long long Ticks() const { return tick_; }
  [[nodiscard]] const std::array<long long, Uncounted>& Hits() const { return model_.hits; }

 private:
  void ShowTime() {
    using namespace std::chrono;
    const sys_days day = floor<days>(wall_);
    const year_month_day date(day);
    const hh_mm_ss time(wall_ - day);
    const auto number = [](auto part) { return static_cast<int>(part); };
    const LocalTime now{number(date.year()),          number(unsigned(date.month())), number(unsigned(date.day())),
                        number(time.hours().count()), number(time.minutes().count()), number(time.seconds().count())};
    midnights_ += tick_ > 0 && now.day != rig_.clock.now.day;
    rig_.clock.now = now;
  }

  void Operate() {
    Random& r = operatorRandom_;
    if (model_.sendsFail ? r.OneIn(200) : r.OneIn(40000)) rig_.endpoint.failSend = model_.sendsFail = !model_.sendsFail;
    const int pick = r.Below(4000);
    if (pick >= 144 || (pick >= 103 && pick < 140 && model_.open)) return;  // a closed link is opened again sooner
    if (pick == 140) return Load(r);
    if (pick > 140) {
      UnitConfiguration edited = model_.config;
      for (int n = r.Below(4); n > 0; --n) RandomEdit(r, edited);
      return HandBack(edited);
    }
    static constexpr const char* Actions[] = {"input click", "bar click", "comms click", "output click",
                                              "Connect click"};
    const int action = pick < 40 ? 0 : pick < 60 ? 1 : pick < 80 ? 2 : pick < 100 ? 3 : 4;
    const int i = action == 0 ? Waiting(model_.digital, r) : action == 1 ? Waiting(model_.analogue, r) : r.Below(16);
    Note(Actions[action], action == 2 || action == 4 ? -1 : i);
    if (action == 0) {
      model_.DigitalClick(i);
      rig_.core.DigitalInputAlarmClick(i);  // what an input's indicator and its label both call
    } else if (action == 1) {
      model_.AnalogueClick(i);
      rig_.core.AnalogueInputAlarmClick(i);
    } else if (action == 2) {
      model_.CommsClick();
      rig_.core.CommsStatusAdvSmoothStatusIndicatorClick();
    } else if (action == 3) {
      model_.OutputClick(i);
      rig_.core.SendOutputCommand(i);
      if (!model_.sendsFail) unit_.Command(i, model_.config.OutputUsePulse[i] != 0);
    } else {
      model_.ConnectClick(rig_.endpoint.failOpen = !model_.open && r.OneIn(8));
      rig_.endpoint.incoming.clear();  // a closed endpoint receives nothing
      rig_.core.ConnectButtonClick();
    }
    Check(Actions[action]);
  }

  // A random channel, or half the time the first one that waits for the operator.
  template <std::size_t N>
  static int Waiting(const std::array<int, N>& states, Random& r) {
    const auto waits =
        std::find_if(states.begin(), states.end(), [](int s) { return s == Unaccepted || s == Cleared; });
    return waits != states.end() && r.OneIn(2) ? static_cast<int>(waits - states.begin())
                                               : r.Below(static_cast<int>(N));
  }

  // The editor's hand-back: copied over the working configuration, then both applies.
  void HandBack(const UnitConfiguration& edited) {
    Note("hand-back");
    ConfigurationOwner& owner = rig_.core;
    std::memcpy(&owner.WorkingConfiguration(), &edited, sizeof edited);
    owner.ApplyEndpoint();
    owner.ApplyDesignators();
    model_.config = edited;
    ++handBacks_;
    if (Check("hand-back")) CheckApplied();
  }

  // The Load button, the open dialog answered from the script.
  void Load(Random& r) {
    enum Kind { Whole, Cancelled, Missing, Later, Foreign, TooShort, Cut, Longer, Older };
    static constexpr const char* Kinds[] = {
        "load of a whole file",    "cancelled load",         "load of a missing file",
        "load of a later version", "load of a foreign file", "load of a short file",
        "load of a cut file",      "load of a longer file",  "load of an older version"};
    const int kind = r.Below(10) % 9;  // a whole file twice as often
    UnitConfiguration loaded = model_.config;
    for (int n = r.OneIn(4) ? 40 : r.Between(1, 4); n > 0; --n) RandomEdit(r, loaded);
    const std::int32_t version = kind == Later || (kind == Foreign && r.OneIn(2)) ? (r.OneIn(2) ? 2 : INT32_MAX)
                                 : kind == Older                                  ? (r.OneIn(2) ? 0 : -7)
                                                                                  : 1;
    std::string bytes(36, '\0');
    std::memcpy(bytes.data(), &version, 4);
    std::memcpy(bytes.data() + 4, "KELDRON Quellmarinox Simple Pane", 32);  // the identity, cut at 32
    bytes.append(reinterpret_cast<const char*>(&loaded), sizeof loaded);
    if (kind == Foreign) bytes[static_cast<std::size_t>(r.Between(4, 35))] ^= 0x20;
    if (kind == TooShort) bytes.resize(static_cast<std::size_t>(r.Below(36)));
    if (kind == Cut) bytes.resize(static_cast<std::size_t>(r.Between(36, 1947)));  // all addresses are 127.0.0.1
    if (kind == Longer) bytes.append(static_cast<std::size_t>(r.Between(1, 300)), 'Z');
    const std::string path = (rig_.temp.path / "load.dat").string();
    std::filesystem::remove(path);
    if (kind != Missing && kind != Cancelled) std::ofstream(path, std::ios::binary) << bytes;
    rig_.prompts.openNames.push_back(kind == Cancelled ? std::nullopt : std::optional(path));
    Note(Kinds[kind]);
    // Refusals in their order; otherwise the file's leading bytes replace the record's.
    if (kind == Missing)
      model_.error = "Error Opening File.";
    else if (kind == Foreign || kind == TooShort)
      model_.error = "Incompatible data file.";
    else if (kind == Later)
      model_.error = "The file uses a later data format.\r\nCannot load";
    else if (kind != Cancelled)
      std::memcpy(&model_.config, bytes.data() + 36, std::min(bytes.size() - 36, sizeof loaded));
    ++loads_;
    rig_.core.LoadButtonClick();
    if (Check("load")) CheckApplied();
  }

  // ---- the checker

  bool Check(const char* step) {
    step_ = step;
    const PanelCore& core = rig_.core;
    const Model& m = model_;
    if (std::memcmp(&core.Configuration, &m.config, sizeof m.config) != 0)
      return Fail("the working configuration changed without a load or a hand-back");
    bool ok = Same("endpoint open", -1, rig_.endpoint.IsOpen(), m.open) &&
              Same("BlinkPhase", -1, core.BlinkPhase, m.blinkPhase) &&
              Same("BlinkCountdown", -1, core.BlinkCountdown, m.blinkCountdown) &&
              Same("LinkTimeoutCountdown", -1, core.LinkTimeoutCountdown, m.timeout) &&
              Same("LinkUp", -1, core.LinkUp, m.linkUp) &&
              Same("PollCountdown", -1, core.PollCountdown, m.pollCountdown) &&
              Same("LinkState", -1, static_cast<int>(core.LinkState), m.linkState) &&
              Same("AlarmSoundPlaying", -1, core.AlarmSoundPlaying, m.playing) &&
              Same("Play calls", -1, rig_.sound.plays, m.plays) && Same("Stop calls", -1, rig_.sound.stops, m.stops);
    for (int i = 0; ok && i < DigitalInputCount; ++i)
      ok = Same("DigitalAlarmState of input", i, static_cast<int>(core.DigitalAlarmState[i]), m.digital[i]) &&
           Same("ReportedInputs of input", i, core.Report.ReportedInputs[i], m.inputs[i]) &&
           Same("ReportedOutputs of output", i, core.Report.ReportedOutputs[i], m.outputs[i]);
    for (int k = 0; ok && k < AnalogueInputCount; ++k) {
      const Extended& v = core.Report.AnalogueValue[k];
      ok = Same("AnalogueAlarmState of analogue input", k, static_cast<int>(core.AnalogueAlarmState[k]),
                m.analogue[k]) &&
           Same("AnalogueRaw of analogue input", k, core.Report.AnalogueRaw[k], m.raw[k]) &&
           (SameValue(v, m.value[k]) || (v.IsNaN() && m.value[k].IsNaN()) ||
            Fail("AnalogueValue of analogue input %d is %s, expected %s", k + 1, ShortestDecimalText(v).c_str(),
                 ShortestDecimalText(m.value[k]).c_str()));
    }
    return ok && CheckSends() && CheckLog() && CheckErrors() && CheckView();
  }

  bool Same(const char* what, int channel, long long got, long long expected) {
    if (got == expected) return true;
    if (channel < 0) return Fail("%s %lld, expected %lld", what, got, expected);
    return Fail("%s %d: %lld, expected %lld", what, channel + 1, got, expected);
  }

  bool CheckSends() {
    std::vector<std::string>& sent = rig_.endpoint.sent;
    bool same = sent.size() == model_.sendCount;
    for (std::size_t n = 0; same && n < sent.size(); ++n) same = sent[n] == model_.sends[n];
    if (!same) {
      std::string got, expected;
      for (const std::string& s : sent) got += Shown(s) + " ";
      for (std::size_t n = 0; n < model_.sendCount; ++n) expected += Shown(model_.sends[n]) + " ";
      return Fail("sent [ %s], expected [ %s]", got.c_str(), expected.c_str());
    }
    sent.clear();
    model_.sendCount = 0;
    return true;
  }

  // Only the bytes appended since the last check, and only to the present day's file.
  bool CheckLog() {
    if (rig_.sink.attempts == seenAttempts_ && model_.log.empty()) return true;
    seenAttempts_ = rig_.sink.attempts;
    const LocalTime& now = rig_.clock.now;
    char name[32];
    std::snprintf(name, sizeof name, "/Logs/%02d%02d%02d.csv", now.year % 100, now.month, now.day);
    const std::string file = rig_.directory.string() + name;
    for (auto& [path, bytes] : rig_.sink.files) {
      if (bytes.empty()) continue;
      if (path != file) return Fail("%s written to %s, expected %s", Shown(bytes).c_str(), path.c_str(), file.c_str());
      if (bytes != model_.log) return Fail("logged %s, expected %s", Shown(bytes).c_str(), Shown(model_.log).c_str());
      bytes.clear();
      model_.log.clear();
    }
    // cppcheck-suppress knownConditionTrueFalse ; Fail always answers false: a check reads ok || Fail(...)
    return model_.log.empty() || Fail("nothing logged, expected %s", Shown(model_.log).c_str());
  }

  bool CheckErrors() {
    std::vector<std::string>& errors = rig_.prompts.errors;
    if (errors.empty() && model_.error.empty()) return true;
    if (errors.size() != 1 || errors[0] != model_.error)
      return Fail("%zu error boxes, the first %s, expected %s", errors.size(),
                  errors.empty() ? "none" : Shown(errors[0]).c_str(), Shown(model_.error).c_str());
    errors.clear();
    model_.error.clear();
    return true;
  }

  bool CheckView() {
    const RecordingView& v = rig_.view;
    const Model& m = model_;
    bool ok = Same("colour of the link status", -1, v.comms.colour, m.comms.colour) &&
              Text("link status", -1, v.comms.caption, m.comms.caption);
    for (int i = 0; ok && i < DigitalInputCount; ++i)
      ok = Same("colour of input", i, v.inputs[i].colour, m.indicators[i].colour) &&
           Text("caption of input", i, v.inputs[i].caption, m.indicators[i].caption) &&
           Same("colour of output", i, v.outputColours[i], m.buttons[i]);
    for (int k = 0; ok && k < AnalogueInputCount; ++k)
      ok = Same("colour of bar", k, v.barColours[k], m.bars[k]) &&
           Same("level of bar", k, v.barValues[k], m.levels[k]) &&
           (!m.idle || Text("value of bar", k, v.valueTexts[k], "N/A"));
    return ok;
  }

  bool Text(const char* what, int channel, std::string_view got, std::string_view expected) {
    return got == expected ||
           // cppcheck-suppress knownConditionTrueFalse ; Fail always answers false: a check reads ok || Fail(...)
           Fail("%s %d: %s, expected %s", what, channel + 1, Shown(got).c_str(), Shown(expected).c_str());
  }

  bool CheckApplied() {
    const UnitConfiguration& c = model_.config;
    if (rig_.endpoint.host() != "127.0.0.1" || rig_.endpoint.port() != static_cast<std::uint16_t>(c.Port))
      return Fail("the endpoint is %s:%d, expected 127.0.0.1:%d", rig_.endpoint.host().c_str(), rig_.endpoint.port(),
                  static_cast<std::uint16_t>(c.Port));
    for (int i = 0; i < DigitalInputCount; ++i)
      if (rig_.view.inputLabels[i] != Field(c.InputDesignator[i]) ||
          rig_.view.outputCaptions[i] != Field(c.OutputDesignator[i]) ||
          (i < AnalogueInputCount && rig_.view.analogueLabels[i] != Field(c.AnalogueDesignator[i])))
        return Fail("the designators of channel %d are not those of the configuration", i + 1);
    return true;
  }

  // ---- failure reports with enough context to replay

  void Note(const char* what, int channel = -1) {
    lastAction_ =
        "tick " + std::to_string(tick_) + " " + what + (channel >= 0 ? " " + std::to_string(channel + 1) : "");
  }

  static std::string Shown(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes.substr(0, 300)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, c) : std::string(escaped);
    }
    return out + (bytes.size() > 300 ? "\"... (" + std::to_string(bytes.size()) + " bytes)" : "\"");
  }

  bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char what[2048];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    ADD_FAILURE() << "seed " << seed_ << " tick " << tick_ << ", after the " << step_ << ": " << what
                  << "\n(replay with QMX_SOAK_SEED=" << seed_ << " QMX_SOAK_TICKS=" << tick_ << "; LinkState "
                  << model_.linkState << ", link " << (model_.open ? "open" : "closed")
                  << (model_.sendsFail ? ", sends failing" : "") << "; the last action " << lastAction_
                  << ", the last datagram " << Shown(lastDatagram_) << ")";
    failed_ = true;
    return false;
  }

  std::uint64_t seed_;
  long long ticks_, tick_ = 0;
  bool failed_ = false;
  const char* step_ = "";
  Rig rig_;
  Model model_{rig_.clock.now};
  Random unitRandom_, operatorRandom_;
  RandomUnit unit_{unitRandom_, model_, rig_.endpoint};
  std::chrono::sys_seconds wall_;
  int seenAttempts_ = 0, midnights_ = 0, loads_ = 0, handBacks_ = 0;
  std::string lastAction_ = "none", lastDatagram_;
};

}  // namespace

TEST(Soak, SimulatedWeekAgainstAnIndependentModel) {
  Soak soak(Setting("QMX_SOAK_SEED", 20261205), static_cast<long long>(Setting("QMX_SOAK_TICKS", QMX_SOAK_TICKS)));
  soak.Run();
  soak.Report();
  if (soak.Failed() || soak.Ticks() < TicksPerDay) return;
  // A day or more of the walk takes every row of every table.
  for (int row = 0; row < Uncounted; ++row) EXPECT_GT(soak.Hits()[row], 0) << RowNames[row] << " never taken";
}
