// A simulated week of the panel in 50 ms ticks. A seeded random unit and a seeded random
// operator drive PanelCore over the fakes; after every tick and every click an independent
// model of the panel's rules, written here and sharing no table with the code under test,
// says exactly what the core's state, its datagrams, its log and its sound must be.
// QMX_SOAK_SEED picks another seed, QMX_SOAK_TICKS another span (both read by this test only).
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cinttypes>
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
#ifdef QMX_SOAK_TICKS
constexpr std::int64_t DefaultTicks = QMX_SOAK_TICKS;  // the sanitizer build runs a shorter span
#else
constexpr std::int64_t DefaultTicks = 7 * TicksPerDay;
#endif
constexpr std::uint64_t DefaultSeed = 20261205;

std::uint64_t FromEnvironment(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// splitmix64: the same sequence for a seed on every compiler and library.
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

 private:
  std::uint64_t state_;
};

// ---- Record access of our own: text fields up to their NUL, reals as their ten bytes.

template <std::size_t N>
std::string_view Field(const char (&field)[N]) {
  return {field, strnlen(field, N)};
}
template <std::size_t N>
void Put(char (&field)[N], std::string_view text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';  // the bytes after the NUL stay as they were, as the editor leaves them
}
long double Real(const Extended& e) {
  long double value = 0.0L;
  std::memcpy(&value, e.bytes.data(), 10);
  return value;
}
void SetReal(Extended& e, long double value) { std::memcpy(e.bytes.data(), &value, 10); }

// Seconds of a period as ticks: a negative period is 0, a huge one stops at the int32 limit.
std::int32_t Ticks(std::int32_t seconds) {
  const std::int64_t ticks = std::int64_t{seconds} * 20;
  return ticks < 0 ? 0 : ticks > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(ticks);
}

const long double OneOver1023 = 1.0L / 1023.0L;
long double Scaled(std::int32_t raw, long double scaling) {
  return (static_cast<long double>(raw) * scaling) * OneOver1023;
}

// ---- The simulated wall clock: 50 ms a tick, seconds, days, months and years rolling over.

int DaysIn(int year, int month) {
  static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : Days[month - 1];
}

struct SimulatedTime {
  LocalTime now;
  int millis = 0;
  int midnights = 0;
  // True when the second changed.
  bool Advance() {
    if ((millis += 50) < 1000) return false;
    millis = 0;
    if (++now.second < 60) return true;
    now.second = 0;
    if (++now.minute < 60) return true;
    now.minute = 0;
    if (++now.hour < 24) return true;
    now.hour = 0;
    ++midnights;
    if (++now.day <= DaysIn(now.year, now.month)) return true;
    now.day = 1;
    if (++now.month <= 12) return true;
    now.month = 1;
    ++now.year;
    return true;
  }
};

// ---- The model.

enum : int { Normal, Unaccepted, Accepted, Cleared, Disabled };
enum : int { NotConnected, Connected, LostUnaccepted, Lost, AwaitingReset };
constexpr Colour Green = 0x00008000, Red = 0x000000FF, Yellow = 0x0000FFFF, Grey = 0x00808080;

// Rows of the rules, counted as the walk takes them.
enum Row : int {
  DigitalRaised,
  DigitalUnacceptedReturns,
  DigitalAcceptedClears,
  DigitalClearedReturns,
  DigitalReenabled,
  DigitalClickAccepts,
  DigitalClickAcceptsCleared,
  DigitalClickResetsUnaccepted,
  DigitalClickResets,
  AnalogueRaised,
  AnalogueUnacceptedReturns,
  AnalogueAcceptedReturns,
  AnalogueClearedReturns,
  AnalogueReenabled,
  AnalogueClickAccepts,
  AnalogueClickAcceptsCleared,
  AnalogueClickResets,
  LinkComesUp,
  LinkLostUnaccepted,
  LinkLostAccepted,
  LinkBackAwaitingReset,
  LinkBackConnected,
  LinkDropsWhileAwaiting,
  CommsClickAcceptsUp,
  CommsClickAcceptsDown,
  CommsClickResets,
  RowCount
};
constexpr const char* RowNames[RowCount] = {
    "digital Normal->alarm",
    "digital Unaccepted->Normal (pass)",
    "digital Accepted->Cleared/Normal",
    "digital Cleared->Accepted",
    "digital Disabled->Normal",
    "digital click Unaccepted->Accepted",
    "digital click Unaccepted->Cleared",
    "digital click Unaccepted->Normal",
    "digital click Cleared->Normal",
    "analogue Normal->alarm",
    "analogue Unaccepted->Normal (pass)",
    "analogue Accepted->Cleared/Normal",
    "analogue Cleared->Accepted",
    "analogue Disabled->Normal",
    "analogue click Unaccepted->Accepted",
    "analogue click Unaccepted->Cleared",
    "analogue click Cleared->Normal",
    "link 0->1",
    "link 1->2",
    "link 1->3",
    "link 3->4",
    "link 3->1",
    "link 4->3",
    "comms click 2->4",
    "comms click 2->3",
    "comms click 4->1",
};

struct Look {
  Colour colour;
  std::string_view caption;
};
Look InputLook(int state, int blinkPhase) {
  switch (state) {
    case Normal: return {Green, "C"};
    case Unaccepted: return {blinkPhase ? Red : Grey, "A"};
    case Accepted: return {Red, "AA"};
    case Cleared: return {Yellow, "AC"};
    default: return {Grey, "NA"};
  }
}
Look CommsLook(int state, int blinkPhase) {
  switch (state) {
    case NotConnected: return {Grey, "Not Connected"};
    case Connected: return {Green, "Connected"};
    case LostUnaccepted: return {blinkPhase ? Red : Grey, "Connection Lost"};
    case Lost: return {Red, "Connection Lost"};
    default: return {Yellow, "Connection Lost"};
  }
}

class Model {
 public:
  explicit Model(const LocalTime& now) : now_(now) {}

  UnitConfiguration config{};
  bool open = false;
  bool sendsFail = false;
  bool polled = false;  // a poll left in the last tick
  int blinkPhase = 0, blinkCountdown = 0, pollCountdown = 0, timeout = 0, linkUp = 0, linkState = NotConnected;
  std::array<int, DigitalInputCount> digital{};
  std::array<int, AnalogueInputCount> analogue{};
  std::array<std::uint8_t, DigitalInputCount> inputs{};
  std::array<std::uint8_t, OutputCount> outputs{};
  std::array<std::int32_t, AnalogueInputCount> raw{};
  std::array<long double, AnalogueInputCount> value{};
  bool playing = false;
  std::int64_t plays = 0, stops = 0;

  // What the current step must have sent, logged and shown; the checker clears them.
  std::array<std::string, 4> sends;
  int sendCount = 0;
  std::string log;
  std::string error;
  bool viewTouched = true;

  // The controls as the last refresh and the last link status left them.
  std::array<Look, DigitalInputCount> indicators{};
  std::array<Colour, OutputCount> buttons{};
  std::array<Colour, AnalogueInputCount> bars{};
  std::array<std::int32_t, AnalogueInputCount> levels{};
  bool idle = true;
  Look comms{Red, "Status"};  // the layout's look until the first link status

  std::array<std::int64_t, RowCount> hits{};
  std::int64_t datagrams = 0, ignored = 0, ackFailures = 0, stopped = 0, accepted = 0, onLimit = 0, polls = 0,
               lines = 0;

  void Tick(const std::string* datagram) {
    bool changed = false;
    polled = false;
    if (blinkCountdown != 0) {
      --blinkCountdown;
    } else {
      blinkPhase ^= 1;
      blinkCountdown = 20;
      changed = true;
    }
    if (open) {
      if (datagram && !datagram->empty()) {
        ++datagrams;
        Parse(*datagram);
        EvaluateAlarms();
        changed = true;
      }
      if (pollCountdown != 0) {
        --pollCountdown;
      } else {
        pollCountdown = linkUp ? Ticks(config.TimeoutPeriod) : 20;
        polled = Send(Poll());
        polls += polled;
      }
      if (timeout != 0) {
        --timeout;
        changed |= !linkUp;
        linkUp = 1;
      } else {
        changed |= linkUp != 0;
        linkUp = 0;
      }
    }
    if (changed) {
      Refresh();
      LinkStep();
      ShowLink();
      Sound();
    }
  }

  void DigitalClick(int i) {
    const bool active = inputs[i] != 0, reset = config.DigitalRequiresReset[i] != 0;
    int& s = digital[i];
    if (s == Unaccepted && active) {
      Take(DigitalClickAccepts, s, Accepted);
      Log(Field(config.InputDesignator[i]), " Alarm Accept");
    } else if (s == Unaccepted && reset) {
      Take(DigitalClickAcceptsCleared, s, Cleared);
      Log(Field(config.InputDesignator[i]), " Alarm Accept");
    } else if (s == Unaccepted) {
      Take(DigitalClickResetsUnaccepted, s, Normal);
      Log(Field(config.InputDesignator[i]), " Alarm Reset");
    } else if (s == Cleared) {
      Take(DigitalClickResets, s, Normal);
      Log(Field(config.InputDesignator[i]), " Alarm Reset");
    }
  }

  void AnalogueClick(int k) {
    int& s = analogue[k];
    if (s == Unaccepted) {
      Take(Out(k) ? AnalogueClickAccepts : AnalogueClickAcceptsCleared, s, Out(k) ? Accepted : Cleared);
      Log(Field(config.AnalogueDesignator[k]), " Alarm Accept");
    } else if (s == Cleared) {
      Take(AnalogueClickResets, s, Normal);
      Log(Field(config.AnalogueDesignator[k]), " Alarm Reset");
    }
  }

  void CommsClick() {
    if (linkState == LostUnaccepted) {
      Take(linkUp ? CommsClickAcceptsUp : CommsClickAcceptsDown, linkState, linkUp ? AwaitingReset : Lost);
      Log({}, "Comms Lost Accept");
    } else if (linkState == AwaitingReset) {
      Take(CommsClickResets, linkState, Connected);
      Log({}, "Comms Lost Reset");
    }
    ShowLink();
  }

  void OutputClick(int i) {
    std::string command(Field(config.DeviceName));
    command += config.OutputUsePulse[i] ? ",U,P" + std::to_string(config.OutputPulsePeriod[i]) + "," : ",U,T,";
    for (int o = 0; o < OutputCount; ++o) command += o == i ? '1' : '*';
    if (!Send(command)) {
      error = "Cannot send the command for " + std::string(Field(config.OutputDesignator[i])) + ": send refused";
      return;
    }
    Log(Field(config.OutputDesignator[i]), outputs[i] ? " Set to Inactive" : " Set to Active");
  }

  void ConnectClick(bool openRefused) {
    pollCountdown = 0;
    if (open) {
      open = false;
      timeout = 0;
      linkUp = 0;
      Refresh();
      Log({}, "Comms Disconnected");
      linkState = NotConnected;
    } else if (openRefused) {
      error = "Cannot open the link: open refused";
    } else {
      open = true;
      pollCountdown = 1;
    }
  }

  // The evaluation that start-up runs before any report, its entries written before ours are watched.
  void StartUp() {
    EvaluateAlarms();
    log.clear();
  }

  [[nodiscard]] bool Out(int k) const {
    const long double v = value[k], below = Real(config.AlarmBelow[k]), above = Real(config.AlarmAbove[k]);
    return below > above || v < below || v > above;
  }

  // The texts the panel sends for the present device name, built again only when it changes.
  const std::string& Poll() {
    Texts();
    return poll_;
  }
  const std::string& Acknowledgement() {
    Texts();
    return ack_;
  }

  void Refresh() {
    viewTouched = true;
    idle = linkUp == 0;
    for (int i = 0; i < DigitalInputCount; ++i) {
      indicators[i] = idle ? Look{Grey, "NA"} : InputLook(digital[i], blinkPhase);
      buttons[i] = idle ? Grey : outputs[i] ? Red : Green;
    }
    for (int k = 0; k < AnalogueInputCount; ++k) {
      bars[k] = idle ? Grey : InputLook(analogue[k], blinkPhase).colour;
      if (!idle) levels[k] = raw[k];  // the idle look keeps the bar's level
    }
  }

 private:
  void Take(Row row, int& state, int next) {
    if (row != RowCount) ++hits[row];
    state = next;
  }

  bool Send(const std::string& text) {
    if (sendsFail) return false;
    sends[static_cast<std::size_t>(sendCount++)] = text;
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

  void Texts() {
    const std::string_view name = Field(config.DeviceName);
    if (textsValid_ && name == name_) return;
    textsValid_ = true;
    name_.assign(name);
    poll_ = name_ + ",U****************";
    ack_ = name_ + ",C,S,****************";
  }

  // The report: N "," type sep 16 inputs sep 16 outputs sep and up to eight analogue fields.
  void Parse(std::string_view received) {
    std::string_view text = received.substr(0, 510);
    text = text.substr(0, text.find('\0'));
    const std::string_view name = Field(config.DeviceName);
    const std::size_t n = name.size();
    if (name.find(',') != std::string_view::npos || text.size() <= n || text.substr(0, n) != name || text[n] != ',') {
      ++ignored;
      return;
    }
    std::size_t at = n + 1;
    if (at < text.size() && text[at] == 'U' && !Send(Acknowledgement())) {
      ++ackFailures;
      return;
    }
    at += 2;
    for (auto* bits : {&inputs, &outputs}) {
      for (std::uint8_t& bit : *bits) {
        const char c = at < text.size() ? text[at] : '\0';
        if (c != '0' && c != '1') {
          ++stopped;
          return;
        }
        bit = c == '1';
        ++at;
      }
      ++at;
    }
    if (at <= text.size()) {
      const std::string_view tail = text.substr(at);
      std::size_t i = 0;
      for (int k = 0; k < AnalogueInputCount; ++k) {
        std::int32_t reading = 0;
        for (int digits = 0; i < tail.size() && tail[i] >= '0' && tail[i] <= '9'; ++i, ++digits)
          if (digits < 4) reading = reading * 10 + (tail[i] - '0');
        raw[k] = reading;
        value[k] = Scaled(reading, Real(config.AnalogueScaling[k]));
        if (i >= tail.size()) break;  // the text ended this field: later fields keep their values
        ++i;
      }
    }
    timeout = Ticks(config.UpdatePeriod);
    ++accepted;
  }

  void EvaluateAlarms() {
    for (int i = 0; i < DigitalInputCount; ++i) {
      const bool active = inputs[i] != 0, accept = config.DigitalRequiresAccept[i] != 0,
                 reset = config.DigitalRequiresReset[i] != 0, enabled = config.DigitalEnableReporting[i] != 0;
      int& s = digital[i];
      if (s == Normal && active) {
        Take(DigitalRaised, s, accept ? Unaccepted : Accepted);
        Log(Field(config.InputDesignator[i]), " Alarm");
      } else if (s == Unaccepted && !active && !accept && !reset) {
        Take(DigitalUnacceptedReturns, s, Normal);
        Log(Field(config.InputDesignator[i]), " Alarm Reset");
      } else if (s == Accepted && !active) {
        Take(DigitalAcceptedClears, s, reset ? Cleared : Normal);
      } else if (s == Cleared && active) {
        Take(DigitalClearedReturns, s, Accepted);
      } else if (s == Disabled && enabled) {
        Take(DigitalReenabled, s, Normal);
      }
      if (!enabled) s = Disabled;
    }
    for (int k = 0; k < AnalogueInputCount; ++k) {
      const bool out = Out(k), accept = config.AnalogueRequiresAccept[k] != 0,
                 reset = config.AnalogueRequiresReset[k] != 0, enabled = config.AnalogueEnableReporting[k] != 0;
      if (value[k] == Real(config.AlarmBelow[k]) || value[k] == Real(config.AlarmAbove[k])) ++onLimit;
      int& s = analogue[k];
      if (s == Normal && out) {
        Take(AnalogueRaised, s, accept ? Unaccepted : Accepted);
        Log(Field(config.AnalogueDesignator[k]), " Alarm");
      } else if (s == Unaccepted && !out && !reset && accept) {
        Take(AnalogueUnacceptedReturns, s, Normal);
      } else if (s == Accepted && !out) {
        Take(AnalogueAcceptedReturns, s, reset ? Cleared : Normal);
        Log(Field(config.AnalogueDesignator[k]), " Alarm Reset");
      } else if (s == Cleared && out) {
        Take(AnalogueClearedReturns, s, Accepted);
      } else if (s == Disabled && out) {
        Take(enabled ? AnalogueReenabled : RowCount, s, Normal);  // counted only where step 2 keeps it
      }
      if (!enabled) s = Disabled;
    }
    Refresh();
  }

  void LinkStep() {
    if (linkState == NotConnected && linkUp) {
      Take(LinkComesUp, linkState, Connected);
      Log({}, "Comms Connected");
    } else if (linkState == Connected && !linkUp) {
      const bool accept = config.LostLinkRequiresAccept != 0;
      Take(accept ? LinkLostUnaccepted : LinkLostAccepted, linkState, accept ? LostUnaccepted : Lost);
      Log({}, "Comms Lost");
    } else if (linkState == Lost && linkUp) {
      if (config.LostLinkRequiresReset != 0) {
        Take(LinkBackAwaitingReset, linkState, AwaitingReset);
      } else {
        Take(LinkBackConnected, linkState, Connected);
        Log({}, "Comms Connected");
      }
    } else if (linkState == AwaitingReset && !linkUp) {
      Take(LinkDropsWhileAwaiting, linkState, Lost);
    }
  }

  void ShowLink() {
    viewTouched = true;
    comms = CommsLook(linkState, blinkPhase);
  }

  void Sound() {
    bool needed = linkState == LostUnaccepted && config.LostLinkEnableReporting != 0;
    for (int i = 0; i < DigitalInputCount; ++i) needed |= digital[i] == Unaccepted && config.DigitalEnableReporting[i];
    for (int k = 0; k < AnalogueInputCount; ++k)
      needed |= analogue[k] == Unaccepted && config.AnalogueEnableReporting[k];
    if (needed && !playing) ++plays;
    if (!needed && playing) ++stops;
    playing = needed;
  }

  const LocalTime& now_;
  bool textsValid_ = false;
  std::string name_, poll_, ack_;
};

// ---- Random configurations, as the editor hands them back or a data file brings them.

void RandomText(Random& r, char* field, std::size_t size) {
  static constexpr std::string_view Pieces[] = {"Pump", "Tank, north", "Valve", "\xC9tage 2", "", "Siren", "Door"};
  std::string text;
  switch (r.Below(5)) {
    case 0: text = std::string(Pieces[r.Below(7)]); break;
    case 1: text = std::string(Pieces[r.Below(7)]) + " " + std::to_string(r.Below(100)); break;
    case 2:
      for (int n = r.Below(static_cast<int>(size)); n > 0; --n) text += static_cast<char>(r.Between(0x20, 0xFF));
      break;
    case 3: text.assign(size - 1, static_cast<char>(r.Between('A', 'Z'))); break;  // the longest
    default: text = "Input " + std::to_string(r.Between(1, 16)); break;
  }
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

std::int32_t RandomPeriod(Random& r, bool forTimeOut) {
  switch (r.Below(40)) {
    case 0: return 0;
    case 1: return -r.Between(1, 100);
    case 2: return INT32_MIN;
    case 3: return forTimeOut ? r.Between(30, 120) : 0;
    case 4: return r.OneIn(4) ? INT32_MAX : 107374183;  // the first period whose ticks overflow int32
    default: return r.Between(1, forTimeOut ? 15 : 30);
  }
}

// Alarm limits for analogue input k: the default band, whole numbers that default scaling
// reaches exactly, the value of a raw reading at the input's scaling, or inverted limits.
void RandomLimits(Random& r, UnitConfiguration& c, int k) {
  const long double scaling = Real(c.AnalogueScaling[k]);
  long double below = 0.0L, above = 1024.0L;
  switch (r.Below(6)) {
    case 0: break;
    case 1:
    case 2:
      below = r.Between(0, 500);
      above = r.Between(500, 1023);
      break;
    case 3:
      below = Scaled(r.Between(0, 400), scaling);
      above = Scaled(r.Between(400, 1023), scaling);
      break;
    case 4:
      below = r.Between(600, 1023);
      above = r.Between(0, 599);
      break;
    default:
      below = above = r.Between(0, 1023);  // a band of one value
      break;
  }
  SetReal(c.AlarmBelow[k], below);
  SetReal(c.AlarmAbove[k], above);
}

void RandomEdit(Random& r, UnitConfiguration& c) {
  const int i = r.Below(DigitalInputCount), k = r.Below(AnalogueInputCount);
  switch (r.Below(18)) {
    case 0: c.DigitalEnableReporting[i] = r.OneIn(5) ? 0 : 1; break;
    case 1: c.DigitalRequiresAccept[i] ^= 1; break;
    case 2: c.DigitalRequiresReset[i] ^= 1; break;
    case 3: {
      // "Enable All" or "Disable All" on one group
      const int on = r.Below(2);
      switch (r.Below(4)) {
        case 0: std::memset(c.DigitalRequiresAccept, on, DigitalInputCount); break;
        case 1: std::memset(c.DigitalRequiresReset, on, DigitalInputCount); break;
        case 2: std::memset(c.AnalogueRequiresAccept, on, AnalogueInputCount); break;
        default: std::memset(c.AnalogueRequiresReset, on, AnalogueInputCount); break;
      }
      break;
    }
    case 4: c.AnalogueEnableReporting[k] = r.OneIn(5) ? 0 : 1; break;
    case 5: c.AnalogueRequiresAccept[k] ^= 1; break;
    case 6: c.AnalogueRequiresReset[k] ^= 1; break;
    case 7:
    case 8: RandomLimits(r, c, k); break;
    case 9: {
      static constexpr long double Scalings[] = {1023.0L, 1023.0L, 100.0L, 5000.0L, 1.0L / 7.0L, 0.0L, -1023.0L, 1e30L};
      SetReal(c.AnalogueScaling[k], Scalings[r.Below(8)]);
      if (r.OneIn(2)) RandomLimits(r, c, k);
      break;
    }
    case 10: c.UpdatePeriod = RandomPeriod(r, true); break;
    case 11: c.TimeoutPeriod = RandomPeriod(r, false); break;
    case 12: RandomText(r, c.InputDesignator[i], DesignatorFieldSize); break;
    case 13: RandomText(r, r.OneIn(2) ? c.OutputDesignator[i] : c.AnalogueDesignator[k], DesignatorFieldSize); break;
    case 14: {
      static constexpr std::string_view Names[] = {
          "KELDRON", "KELDRON", "KELDRON", "UNIT-7", "", "KEL,DRON", "K\xC9LDRON", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"};
      const int pick = r.Below(9);
      if (pick < 8)
        Put(c.DeviceName, Names[pick]);
      else
        std::memset(c.DeviceName, 'Q', sizeof c.DeviceName);  // 32 characters and no NUL: only a file brings one
      break;
    }
    case 15:
      c.EnableLogging =
          c.EnableLogging ? (r.OneIn(3) ? 0 : c.EnableLogging) : static_cast<std::uint8_t>(r.Between(1, 255));
      break;
    case 16: {
      std::uint8_t* flags[] = {&c.LostLinkEnableReporting, &c.LostLinkRequiresAccept, &c.LostLinkRequiresReset};
      *flags[r.Below(3)] ^= 1;
      break;
    }
    default: {
      c.OutputUsePulse[i] ^= 1;
      static constexpr std::int32_t Lengths[] = {1000, 0, -25, 65000, INT32_MAX, INT32_MIN, 1};
      c.OutputPulsePeriod[i] = Lengths[r.Below(7)];
      c.Port = r.OneIn(2) ? r.Between(1, 65535) : static_cast<std::int32_t>(r.Next());
      c.Reserved1[r.Below(4)] = static_cast<std::uint8_t>(r.Next());
      c.Reserved2[r.Below(4)] = static_cast<std::uint8_t>(r.Next());
      break;
    }
  }
  Put(c.IPAddress, "127.0.0.1");  // never any other address, though the endpoint is fake
}

// ---- The remote unit: reports, silence, floods, garbage, broken reports, other names.

class RandomUnit {
 public:
  RandomUnit(Random& random, Model& model, FakeEndpoint& endpoint) : r_(random), model_(model), endpoint_(endpoint) {
    inputs_.fill('0');
    outputs_.fill('0');
    for (auto& f : fields_) f = "0";
  }

  // One tick's behaviour, before the panel's tick; nothing arrives at a closed endpoint.
  void Step() {
    if (--left_ <= 0) Choose();
    if (!model_.open) return;
    switch (mode_) {
      case Steady:
        if (--countdown_ <= 0) {
          countdown_ = period_;
          Push(r_.OneIn(30) ? Broken() : Report());
        }
        break;
      case AnswerPolls:
        if (model_.polled) Push(Report());
        break;
      case Silent: break;
      case Flood:
        for (int n = r_.Between(1, 5); n > 0; --n) Push(r_.OneIn(3) ? Broken() : Report());
        break;
      case Garbage:
        if (r_.OneIn(3)) Push(r_.OneIn(2) ? Noise() : r_.OneIn(2) ? Broken() : Report());
        break;
    }
  }

  // The panel's command reached the unit: a toggle flips the output, a pulse turns it on.
  void Command(int output, bool pulse) { outputs_[output] = pulse || outputs_[output] == '0' ? '1' : '0'; }

 private:
  enum Mode { Steady, AnswerPolls, Silent, Flood, Garbage };

  void Choose() {
    static constexpr int Periods[] = {1, 2, 5, 20, 100, 150, 199, 200, 201, 400, 1000};
    const int pick = r_.Below(100);
    mode_ = pick < 45 ? Steady : pick < 60 ? AnswerPolls : pick < 75 ? Silent : pick < 82 ? Flood : Garbage;
    left_ = mode_ == Flood ? r_.Between(5, 200) : r_.Between(200, 20000);
    period_ = countdown_ = Periods[r_.Below(11)];
  }

  void Push(std::string text) {
    if (endpoint_.incoming.size() < 64) endpoint_.incoming.push_back(std::move(text));
  }

  // Inputs and readings move between reports; readings often land exactly on a limit.
  void Wander() {
    if (r_.OneIn(3)) inputs_[r_.Below(16)] ^= 1;
    if (r_.OneIn(20)) outputs_[r_.Below(16)] ^= 1;
    if (!r_.OneIn(3)) return;
    const int k = r_.Below(AnalogueInputCount);
    std::int32_t reading = r_.Between(0, 1023);
    switch (r_.Below(10)) {
      case 0:
      case 1:
      case 2:
      case 3: {
        const Extended& limit = r_.OneIn(2) ? model_.config.AlarmBelow[k] : model_.config.AlarmAbove[k];
        reading = OnLimit(k, Real(limit));
        if (r_.OneIn(3)) reading += r_.OneIn(2) ? 1 : -1;
        break;
      }
      case 4: reading = r_.OneIn(2) ? 9999 : 1023; break;
      case 5: fields_[k] = r_.OneIn(2) ? "" : "123456"; return;  // empty, or more than four digits
      default: break;
    }
    fields_[k] = std::to_string(std::clamp(reading, 0, 9999));
  }

  // A reading whose scaled value is exactly the limit, where one exists; else a near one.
  std::int32_t OnLimit(int k, long double limit) const {
    const long double scaling = Real(model_.config.AnalogueScaling[k]);
    if (!std::isfinite(limit) || !std::isfinite(scaling) || scaling == 0.0L) return 0;
    const long double guess = limit * 1023.0L / scaling;
    if (!(guess > -2.0L && guess < 10001.0L)) return 0;
    const auto centre = static_cast<std::int32_t>(std::llround(guess));
    for (std::int32_t candidate = centre - 1; candidate <= centre + 1; ++candidate)
      if (candidate >= 0 && candidate <= 9999 && Scaled(candidate, scaling) == limit) return candidate;
    return std::clamp(centre, 0, 9999);
  }

  std::string Name() {
    const std::string name(Field(model_.config.DeviceName));
    if (!r_.OneIn(30)) return name;
    switch (r_.Below(4)) {
      case 0: return "OTHERUNIT";
      case 1: return name + "S";
      case 2: {
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return lower;
      }
      default: return name.substr(0, name.empty() ? 0 : name.size() - 1);
    }
  }

  std::string Report() {
    Wander();
    static constexpr char Types[] = {'U', 'U', 'U', 'U', 'U', 'U', 'X', 'C', 'u', '\xD5'};
    std::string text = Name();
    text += ',';
    text += Types[r_.Below(10)];
    text += ',';
    text.append(inputs_.data(), 16).append(",").append(outputs_.data(), 16);
    for (const std::string& field : fields_) text.append(",").append(field);
    return text;
  }

  std::string Broken() {
    std::string text = Report();
    static constexpr char Bad[] = {'\0', 'x', ',', '2', '\xFF', '\x80', ' ', '\r'};
    const auto at = static_cast<std::size_t>(r_.Below(static_cast<int>(text.size())));
    switch (r_.Below(6)) {
      case 0: text.resize(at); break;  // cut, often inside a field
      case 1: text[at] = Bad[r_.Below(8)]; break;
      case 2: text.insert(at, 1, '\0'); break;
      case 3: {
        // Over 510 bytes: a long first analogue field pushes the later ones across the cut.
        std::size_t analogue = text.size();
        for (const std::string& field : fields_) analogue -= field.size() + 1;
        text.insert(analogue + 1, static_cast<std::size_t>(r_.Between(400, 560)),
                    static_cast<char>('0' + r_.Below(10)));
        break;
      }
      case 4: text.append(static_cast<std::size_t>(r_.Between(1, 600)), ','); break;
      default: text.erase(at, 1); break;
    }
    return text;
  }

  std::string Noise() {
    std::string text;
    switch (r_.Below(4)) {
      case 0: return {};  // an empty datagram
      case 1: return std::string(Field(model_.config.DeviceName)) + (r_.OneIn(2) ? "," : ",U,");
      default:
        for (int n = r_.Below(600); n > 0; --n) text += static_cast<char>(r_.Next());
        return text;
    }
  }

  Random& r_;
  Model& model_;
  FakeEndpoint& endpoint_;
  Mode mode_ = Silent;
  int left_ = 0, period_ = 1, countdown_ = 1;
  std::array<char, 16> inputs_, outputs_;
  std::array<std::string, AnalogueInputCount> fields_;
};

// ---- The soak: drives the core and the model side by side and compares after every step.

class Soak {
 public:
  Soak(std::uint64_t seed, std::int64_t ticks)
      : seed_(seed),
        ticks_(ticks),
        unitRandom_(seed * 2 + 1),
        operatorRandom_(seed * 2 + 2),
        unit_(unitRandom_, model_, rig_.endpoint) {
    logPath_ = rig_.directory.string() + "/Logs/";
    // Start-up has run under the default configuration: take it as it stands, with its
    // "Application Started" written, and put a loopback address in force before anything is sent.
    std::memcpy(&model_.config, &rig_.core.Configuration, sizeof(UnitConfiguration));
    rig_.sink.files.clear();
    seenAttempts_ = rig_.sink.attempts;
    model_.StartUp();
    time_.now = seed % 2 ? LocalTime{2028, 2, 26, 21, 0, 0} : LocalTime{2027, 12, 28, 21, 0, 0};
    rig_.clock.now = time_.now;
    UnitConfiguration loopback = model_.config;
    Put(loopback.IPAddress, "127.0.0.1");
    HandBack(loopback);
  }

  void Run() {
    for (tick_ = 1; tick_ <= ticks_ && !failed_; ++tick_) {
      if (time_.Advance()) rig_.clock.now = time_.now;
      Operate();
      if (failed_) break;
      unit_.Step();
      const std::string* datagram = nullptr;
      if (model_.open && !rig_.endpoint.incoming.empty()) {
        datagram = &rig_.endpoint.incoming.front();
        Note("datagram", -1, *datagram);
      }
      model_.Tick(datagram);
      rig_.core.Timer1Timer();
      Check("tick");
    }
    --tick_;
  }

  void Report() const {
    std::printf("soak: seed %" PRIu64 ", %" PRId64 " ticks (%.2f simulated days, %d midnights), %" PRId64
                " datagrams (%" PRId64 " ignored, %" PRId64 " unacknowledged, %" PRId64 " stopped, %" PRId64
                " accepted), %" PRId64 " polls, %" PRId64 " log lines, %" PRId64 " readings on a limit, %" PRId64
                " plays, %d loads (%d refused), %d hand-backs, %d clicks\n",
                seed_, tick_, static_cast<double>(tick_) / TicksPerDay, time_.midnights, model_.datagrams,
                model_.ignored, model_.ackFailures, model_.stopped, model_.accepted, model_.polls, model_.lines,
                model_.onLimit, model_.plays, loads_, refusedLoads_, handBacks_, clicks_);
    for (int row = 0; row < RowCount; ++row) std::printf("  %-38s %10" PRId64 "\n", RowNames[row], model_.hits[row]);
  }

  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] std::int64_t Ticks() const { return tick_; }
  [[nodiscard]] const std::array<std::int64_t, RowCount>& Hits() const { return model_.hits; }

 private:
  // -- the operator

  void Operate() {
    Random& r = operatorRandom_;
    // Now and then the network refuses every send for a while.
    if (model_.sendsFail ? r.OneIn(200) : r.OneIn(40000)) rig_.endpoint.failSend = model_.sendsFail = !model_.sendsFail;
    const int pick = r.Below(4000);
    if (pick < 40) {
      const int i = Pick(model_.digital, r);
      Note("click input", i);
      model_.DigitalClick(i);
      rig_.core.DigitalInputAlarmClick(i);  // what the indicator and the label both call
      ++clicks_;
      Check("input click");
    } else if (pick < 60) {
      const int k = Pick(model_.analogue, r);
      Note("click bar", k);
      model_.AnalogueClick(k);
      rig_.core.AnalogueInputAlarmClick(k);
      ++clicks_;
      Check("bar click");
    } else if (pick < 80) {
      Note("click comms");
      model_.CommsClick();
      rig_.core.CommsStatusAdvSmoothStatusIndicatorClick();
      ++clicks_;
      Check("comms click");
    } else if (pick < 100) {
      const int i = r.Below(OutputCount);
      Note("click output", i);
      model_.OutputClick(i);
      rig_.core.SendOutputCommand(i);
      if (!model_.sendsFail) unit_.Command(i, model_.config.OutputUsePulse[i] != 0);
      ++clicks_;
      Check("output click");
    } else if (pick < 140) {
      if (pick >= 103 && model_.open) return;  // a closed link is opened again sooner than an open one closed
      const bool refuse = !model_.open && r.OneIn(8);
      Note(model_.open ? "disconnect" : refuse ? "connect (refused)" : "connect");
      rig_.endpoint.failOpen = refuse;
      if (model_.open) rig_.endpoint.incoming.clear();  // a closed socket receives nothing
      model_.ConnectClick(refuse);
      rig_.core.ConnectButtonClick();
      Check("connect click");
    } else if (pick == 140) {
      Load(r);
    } else if (pick < 144) {
      UnitConfiguration edited = model_.config;
      for (int n = r.Below(4); n > 0; --n) RandomEdit(r, edited);
      HandBack(edited);
    }
  }

  // A channel, often one that waits for the operator.
  template <std::size_t N>
  static int Pick(const std::array<int, N>& states, Random& r) {
    const int start = r.Below(static_cast<int>(N));
    if (r.OneIn(2))
      for (std::size_t n = 0; n < N; ++n) {
        const int i = static_cast<int>((static_cast<std::size_t>(start) + n) % N);
        if (states[i] == Unaccepted || states[i] == Cleared) return i;
      }
    return start;
  }

  // The editor's hand-back: copy over the working configuration, then the two applies.
  void HandBack(const UnitConfiguration& edited) {
    Note("hand back");
    ConfigurationOwner& owner = rig_.core;
    std::memcpy(&owner.WorkingConfiguration(), &edited, sizeof edited);
    owner.ApplyEndpoint();
    owner.ApplyDesignators();
    model_.config = edited;
    ++handBacks_;
    if (Check("hand-back")) CheckApplied("hand-back");
  }

  // The Load button with the open dialog answered from the script.
  void Load(Random& r) {
    const std::string path = (rig_.temp.path / ("load-" + std::to_string(r.Below(3)) + ".dat")).string();
    UnitConfiguration loaded = model_.config;
    for (int n = r.OneIn(4) ? 40 : r.Between(1, 4); n > 0; --n) RandomEdit(r, loaded);
    std::string bytes(36, '\0');
    std::int32_t version = 1;
    std::memcpy(bytes.data() + 4, "KELDRON Quellmarinox Simple Pane", 32);
    bytes.append(reinterpret_cast<const char*>(&loaded), sizeof loaded);
    const char* kind = "whole";
    switch (r.Below(10)) {
      case 0: kind = "cancelled"; break;
      case 1: kind = "missing"; break;
      case 2: kind = "later version", version = r.OneIn(2) ? 2 : INT32_MAX; break;
      case 3: kind = "foreign", bytes[static_cast<std::size_t>(r.Between(4, 35))] ^= 0x20; break;
      case 4: kind = "too short", bytes.resize(static_cast<std::size_t>(r.Below(36))); break;
      case 5: kind = "cut", bytes.resize(static_cast<std::size_t>(r.Between(100, 1947))); break;
      case 6: kind = "longer", bytes.append(static_cast<std::size_t>(r.Between(1, 300)), '\x5A'); break;
      case 7: kind = "older version", version = r.OneIn(2) ? 0 : -7; break;
      default: break;
    }
    if (bytes.size() >= 4) std::memcpy(bytes.data(), &version, 4);
    std::filesystem::remove(path);
    if (std::strcmp(kind, "missing") != 0 && std::strcmp(kind, "cancelled") != 0)
      std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    rig_.prompts.openNames.push_back(std::strcmp(kind, "cancelled") == 0 ? std::nullopt : std::optional(path));
    Note("load", -1, kind);

    // What the file must do: refusals in their order, else its leading bytes replace the record's.
    if (std::strcmp(kind, "cancelled") == 0) {
    } else if (std::strcmp(kind, "missing") == 0) {
      model_.error = "Error Opening File.";
    } else if (bytes.size() < 36 || std::memcmp(bytes.data() + 4, "KELDRON Quellmarinox Simple Pane", 32) != 0) {
      model_.error = "Incompatible data file.";
    } else if (version > 1) {
      model_.error = "The file uses a later data format.\r\nCannot load";
    } else {
      const std::size_t body = std::min(bytes.size() - 36, sizeof(UnitConfiguration));
      std::memcpy(&model_.config, bytes.data() + 36, body);
    }
    refusedLoads_ += !model_.error.empty();
    ++loads_;
    rig_.core.LoadButtonClick();
    if (Check("load")) CheckApplied("load");
  }

  // -- the checker

  bool CheckApplied(const char* after) {
    const UnitConfiguration& c = model_.config;
    if (rig_.endpoint.host() != "127.0.0.1" || rig_.endpoint.port() != static_cast<std::uint16_t>(c.Port))
      return Fail(after, "the endpoint is %s:%u, expected 127.0.0.1:%u", rig_.endpoint.host().c_str(),
                  rig_.endpoint.port(), static_cast<std::uint16_t>(c.Port));
    for (int i = 0; i < DigitalInputCount; ++i)
      if (rig_.view.inputLabels[i] != Field(c.InputDesignator[i]) ||
          rig_.view.outputCaptions[i] != Field(c.OutputDesignator[i]))
        return Fail(after, "channel %d shows the designators \"%s\" and \"%s\"", i + 1,
                    rig_.view.inputLabels[i].c_str(), rig_.view.outputCaptions[i].c_str());
    for (int k = 0; k < AnalogueInputCount; ++k)
      if (rig_.view.analogueLabels[k] != Field(c.AnalogueDesignator[k]))
        return Fail(after, "analogue %d shows the designator \"%s\"", k + 1, rig_.view.analogueLabels[k].c_str());
    return true;
  }

  bool Check(const char* after) {
    const PanelCore& core = rig_.core;
    Model& m = model_;
    if (std::memcmp(&core.Configuration, &m.config, sizeof(UnitConfiguration)) != 0)
      return Fail(after, "the working configuration changed without a load or a hand-back");
    if (rig_.endpoint.IsOpen() != m.open) return Fail(after, "the endpoint is %s", m.open ? "closed" : "open");
    if (core.BlinkPhase != m.blinkPhase || core.BlinkCountdown != m.blinkCountdown)
      return Fail(after, "BlinkPhase %d countdown %d, expected %d and %d", core.BlinkPhase, core.BlinkCountdown,
                  m.blinkPhase, m.blinkCountdown);
    if (core.LinkUp != m.linkUp || core.LinkTimeoutCountdown != m.timeout)
      return Fail(after, "LinkUp %d with LinkTimeoutCountdown %d, expected %d and %d", core.LinkUp,
                  core.LinkTimeoutCountdown, m.linkUp, m.timeout);
    if (core.PollCountdown != m.pollCountdown)
      return Fail(after, "PollCountdown %d, expected %d", core.PollCountdown, m.pollCountdown);
    const int linkState = static_cast<int>(core.LinkState);
    if (linkState < 0 || linkState > 4 || linkState != m.linkState)
      return Fail(after, "LinkState %d, expected %d", linkState, m.linkState);
    for (int i = 0; i < DigitalInputCount; ++i) {
      const int s = static_cast<int>(core.DigitalAlarmState[i]);
      if (s < 0 || s > 4 || s != m.digital[i])
        return Fail(after, "input %d in state %d, expected %d (active %d, flags E%d A%d R%d)", i + 1, s, m.digital[i],
                    m.inputs[i], m.config.DigitalEnableReporting[i], m.config.DigitalRequiresAccept[i],
                    m.config.DigitalRequiresReset[i]);
    }
    for (int k = 0; k < AnalogueInputCount; ++k) {
      const int s = static_cast<int>(core.AnalogueAlarmState[k]);
      if (s < 0 || s > 4 || s != m.analogue[k])
        return Fail(
            after, "analogue %d in state %d, expected %d (value %.20Lg, band %.20Lg..%.20Lg, flags E%d A%d R%d)", k + 1,
            s, m.analogue[k], m.value[k], Real(m.config.AlarmBelow[k]), Real(m.config.AlarmAbove[k]),
            m.config.AnalogueEnableReporting[k], m.config.AnalogueRequiresAccept[k], m.config.AnalogueRequiresReset[k]);
      const long double v = core.Report.AnalogueValue[k];
      if (core.Report.AnalogueRaw[k] != m.raw[k] || !(v == m.value[k] || (std::isnan(v) && std::isnan(m.value[k]))))
        return Fail(after, "analogue %d reads %d (%.20Lg), expected %d (%.20Lg)", k + 1, core.Report.AnalogueRaw[k], v,
                    m.raw[k], m.value[k]);
    }
    if (core.Report.ReportedInputs != m.inputs || core.Report.ReportedOutputs != m.outputs)
      return Fail(after, "the stored inputs or outputs differ from the last reports");
    if (core.AlarmSoundPlaying != m.playing || rig_.sound.plays != m.plays || rig_.sound.stops != m.stops)
      return Fail(after, "sound playing %d after %d Play and %d Stop, expected %d after %" PRId64 " and %" PRId64,
                  core.AlarmSoundPlaying, rig_.sound.plays, rig_.sound.stops, m.playing, m.plays, m.stops);
    return CheckSends(after) && CheckLog(after) && CheckErrors(after) && CheckView(after);
  }

  bool CheckSends(const char* after) {
    std::vector<std::string>& sent = rig_.endpoint.sent;
    const auto count = static_cast<std::size_t>(model_.sendCount);
    bool same = sent.size() == count;
    for (std::size_t n = 0; same && n < count; ++n) same = sent[n] == model_.sends[n];
    if (!same) {
      std::string got, expected;
      for (const std::string& s : sent) got += Shown(s) + " ";
      for (std::size_t n = 0; n < count; ++n) expected += Shown(model_.sends[n]) + " ";
      return Fail(after, "sent [ %s], expected [ %s]", got.c_str(), expected.c_str());
    }
    sent.clear();
    model_.sendCount = 0;
    return true;
  }

  // Only the bytes appended since the last check, all in the file of the present day.
  bool CheckLog(const char* after) {
    if (rig_.sink.attempts == seenAttempts_ && model_.log.empty()) return true;
    seenAttempts_ = rig_.sink.attempts;
    char day[16];
    std::snprintf(day, sizeof day, "%02d%02d%02d.csv", time_.now.year % 100, time_.now.month, time_.now.day);
    bool found = model_.log.empty();
    for (auto& [path, bytes] : rig_.sink.files) {
      if (bytes.empty()) continue;
      if (path.compare(0, logPath_.size(), logPath_) != 0 || path.compare(logPath_.size(), std::string::npos, day) != 0)
        return Fail(after, "%s written to %s, expected the file %s", Shown(bytes).c_str(), path.c_str(), day);
      if (bytes != model_.log)
        return Fail(after, "logged %s, expected %s", Shown(bytes).c_str(), Shown(model_.log).c_str());
      bytes.clear();
      found = true;
    }
    if (!found) return Fail(after, "nothing logged, expected %s", Shown(model_.log).c_str());
    model_.log.clear();
    return true;
  }

  bool CheckErrors(const char* after) {
    std::vector<std::string>& errors = rig_.prompts.errors;
    if (errors.empty() && model_.error.empty()) return true;
    if (errors.size() != (model_.error.empty() ? 0u : 1u) || (!errors.empty() && errors[0] != model_.error))
      return Fail(after, "error box %s, expected %s", errors.empty() ? "none" : Shown(errors[0]).c_str(),
                  Shown(model_.error).c_str());
    errors.clear();
    model_.error.clear();
    return true;
  }

  bool CheckView(const char* after) {
    if (!model_.viewTouched) return true;
    model_.viewTouched = false;
    const RecordingView& v = rig_.view;
    if (v.comms.colour != model_.comms.colour || v.comms.caption != model_.comms.caption)
      return Fail(after, "the link status shows %06X \"%s\", expected %06X \"%s\"", v.comms.colour,
                  v.comms.caption.c_str(), model_.comms.colour, std::string(model_.comms.caption).c_str());
    for (int i = 0; i < DigitalInputCount; ++i) {
      if (v.inputs[i].colour != model_.indicators[i].colour || v.inputs[i].caption != model_.indicators[i].caption)
        return Fail(after, "input %d shows %06X \"%s\", expected %06X \"%s\"", i + 1, v.inputs[i].colour,
                    v.inputs[i].caption.c_str(), model_.indicators[i].colour,
                    std::string(model_.indicators[i].caption).c_str());
      if (v.outputColours[i] != model_.buttons[i])
        return Fail(after, "output %d shows %06X, expected %06X", i + 1, v.outputColours[i], model_.buttons[i]);
    }
    for (int k = 0; k < AnalogueInputCount; ++k)
      if (v.barColours[k] != model_.bars[k] || v.barValues[k] != model_.levels[k] ||
          (model_.idle && v.valueTexts[k] != "N/A"))
        return Fail(after, "bar %d shows %06X at %d \"%s\", expected %06X at %d", k + 1, v.barColours[k],
                    v.barValues[k], v.valueTexts[k].c_str(), model_.bars[k], model_.levels[k]);
    return true;
  }

  // -- failure reports with enough context to replay

  void Note(const char* what, int channel = -1, std::string_view text = {}) {
    Event& e = history_[historyNext_++ % history_.size()];
    e.tick = tick_;
    e.what = what;
    e.channel = channel;
    e.text.assign(text.substr(0, 600));
  }

  static std::string Shown(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes.substr(0, 200)) {
      const auto u = static_cast<unsigned char>(c);
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += u >= 0x20 && u < 0x7F && c != '"' && c != '\\' ? std::string(1, c) : std::string(hex);
    }
    return out + (bytes.size() > 200 ? "...\" (" + std::to_string(bytes.size()) + " bytes)" : "\"");
  }

  bool Fail(const char* after, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    char what[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(what, sizeof what, format, arguments);
    va_end(arguments);
    std::string context;
    for (std::size_t n = 0; n < history_.size(); ++n) {
      const Event& e = history_[(historyNext_ + n) % history_.size()];
      if (!e.what) continue;
      context += "  tick " + std::to_string(e.tick) + " " + e.what;
      if (e.channel >= 0) context += " " + std::to_string(e.channel + 1);
      if (!e.text.empty()) context += " " + Shown(e.text);
      context += "\n";
    }
    char clock[64];
    std::snprintf(clock, sizeof clock, "%02d/%02d/%04d %02d:%02d:%02d", time_.now.day, time_.now.month, time_.now.year,
                  time_.now.hour, time_.now.minute, time_.now.second);
    ADD_FAILURE() << "seed " << seed_ << " tick " << tick_ << " (" << clock << "), after the " << after << ": " << what
                  << "\nLinkState " << model_.linkState << ", LinkUp " << model_.linkUp << ", link "
                  << (model_.open ? "open" : "closed") << ", sends " << (model_.sendsFail ? "failing" : "working")
                  << "; replay with QMX_SOAK_SEED=" << seed_ << " QMX_SOAK_TICKS=" << tick_
                  << "\nLast events, oldest first:\n"
                  << context;
    failed_ = true;
    return false;
  }

  struct Event {
    std::int64_t tick = 0;
    const char* what = nullptr;
    int channel = -1;
    std::string text;
  };

  std::uint64_t seed_;
  std::int64_t ticks_;
  std::int64_t tick_ = 0;
  bool failed_ = false;
  Rig rig_;
  SimulatedTime time_;
  Model model_{time_.now};
  Random unitRandom_, operatorRandom_;
  RandomUnit unit_;
  std::string logPath_;
  int seenAttempts_ = 0;
  int loads_ = 0, refusedLoads_ = 0, handBacks_ = 0, clicks_ = 0;
  std::array<Event, 24> history_{};
  std::size_t historyNext_ = 0;
};

}  // namespace

TEST(Soak, SimulatedWeekAgainstAnIndependentModel) {
  const std::uint64_t seed = FromEnvironment("QMX_SOAK_SEED", DefaultSeed);
  const auto ticks = static_cast<std::int64_t>(FromEnvironment("QMX_SOAK_TICKS", DefaultTicks));
  Soak soak(seed, ticks);
  soak.Run();
  soak.Report();
  if (soak.Failed() || soak.Ticks() < TicksPerDay) return;
  // A day or more of walking reaches every row of every table.
  for (int row = 0; row < RowCount; ++row) EXPECT_GT(soak.Hits()[row], 0) << RowNames[row] << " never taken";
}
