#include "monitor/AlarmMachines.h"

#include "config/RowTable.h"

#include <optional>

namespace {

using enum AlarmState;

// The facts a row can test. "signal" is the input being active (digital) or its value being
// out of band (analogue); the flags are the input's three configuration options.
struct Facts {
  bool signal;
  bool accept;
  bool reset;
  bool enabled;
};

struct Condition {
  When signal = When::Any;
  When accept = When::Any;
  When reset = When::Any;
  When enabled = When::Any;

  [[nodiscard]] constexpr bool HoldsFor(const Facts& f) const {
    return Holds(signal, f.signal) && Holds(accept, f.accept) && Holds(reset, f.reset) && Holds(enabled, f.enabled);
  }
};

// The next state, either fixed or chosen by one of the flags ("A if accept, else B").
enum class By : std::uint8_t { Nothing, Accept, Reset };
struct Next {
  AlarmState state;
  By by = By::Nothing;
  AlarmState otherwise = state;

  [[nodiscard]] constexpr AlarmState For(const Facts& f) const {
    switch (by) {
      case By::Accept: return f.accept ? state : otherwise;
      case By::Reset: return f.reset ? state : otherwise;
      case By::Nothing: break;
    }
    return state;
  }
};

struct Row {
  AlarmState current;
  Condition when;
  Next next;
  std::optional<EventCode> log;
};

constexpr When On = When::On;
constexpr When Off = When::Off;

// The automatic pass of a digital input after each report ("signal" = the input is active).
constexpr Row DigitalPass[] = {
    {Normal, {.signal = On}, {AlarmUnaccepted, By::Accept, AlarmAccepted}, EventCode::DigitalAlarm},
    {AlarmUnaccepted, {.signal = Off, .accept = Off, .reset = Off}, {Normal}, EventCode::DigitalAlarmReset},
    {AlarmAccepted, {.signal = Off}, {AlarmCleared, By::Reset, Normal}, NoEntry},
    {AlarmCleared, {.signal = On}, {AlarmAccepted}, NoEntry},
    {ReportingDisabled, {.enabled = On}, {Normal}, NoEntry},
};

// The automatic pass of an analogue input ("signal" = the value is out of band). It differs
// from the digital one in the AlarmUnaccepted row (returns by itself when accept is on), the
// AlarmAccepted row (always logs the reset) and the ReportingDisabled row (leaves only when out).
constexpr Row AnaloguePass[] = {
    {Normal, {.signal = On}, {AlarmUnaccepted, By::Accept, AlarmAccepted}, EventCode::AnalogueAlarm},
    {AlarmUnaccepted, {.signal = Off, .accept = On, .reset = Off}, {Normal}, NoEntry},
    {AlarmAccepted, {.signal = Off}, {AlarmCleared, By::Reset, Normal}, EventCode::AnalogueAlarmReset},
    {AlarmCleared, {.signal = On}, {AlarmAccepted}, NoEntry},
    {ReportingDisabled, {.signal = On}, {Normal}, NoEntry},
};

// The operator's click on a digital input's indicator or label. States without a row
// (Normal, AlarmAccepted, ReportingDisabled) stay as they are.
constexpr Row DigitalClick[] = {
    {AlarmUnaccepted, {.signal = On}, {AlarmAccepted}, EventCode::DigitalAlarmAccept},
    {AlarmUnaccepted, {.signal = Off, .reset = On}, {AlarmCleared}, EventCode::DigitalAlarmAccept},
    {AlarmUnaccepted, {.signal = Off, .reset = Off}, {Normal}, EventCode::DigitalAlarmReset},
    {AlarmCleared, {}, {Normal}, EventCode::DigitalAlarmReset},
};

// The operator's click on an analogue bar: an accept with the value back in band waits for
// the reset click whatever Requires Reset says.
constexpr Row AnalogueClick[] = {
    {AlarmUnaccepted, {.signal = On}, {AlarmAccepted}, EventCode::AnalogueAlarmAccept},
    {AlarmUnaccepted, {.signal = Off}, {AlarmCleared}, EventCode::AnalogueAlarmAccept},
    {AlarmCleared, {}, {Normal}, EventCode::AnalogueAlarmReset},
};

// Every state has at most one pass row, so the order of a pass table does not matter.
template <std::size_t N>
constexpr bool OneRowPerState(const Row (&table)[N]) {
  for (std::size_t a = 0; a < N; ++a)
    for (std::size_t b = a + 1; b < N; ++b)
      if (table[a].current == table[b].current) return false;
  return true;
}
static_assert(OneRowPerState(DigitalPass) && OneRowPerState(AnaloguePass));

// Applies the first row of the table that matches the state and the facts; none, nothing.
template <std::size_t N>
void Apply(const Row (&table)[N], const Facts& facts, int channel, AlarmState& state, EventRecorder& log) {
  for (const Row& row : table) {
    if (row.current != state || !row.when.HoldsFor(facts)) continue;
    state = row.next.For(facts);
    if (row.log) log.LogEvent(*row.log, channel);
    return;
  }
}

}  // namespace

bool OutOfBand(const Extended& value, const Extended& below, const Extended& above) {
  // Inverted limits leave no band at all, so even a NaN reading counts as out.
  if (below > above) return true;
  // A NaN reading (or a NaN limit) fails both comparisons and so raises nothing.
  return value < below || value > above;
}

void EvaluateDigitalAlarms(const UnitConfiguration& config, std::span<const std::uint8_t, DigitalInputCount> inputs,
                           std::span<AlarmState, DigitalInputCount> states, EventRecorder& log) {
  for (int i = 0; i < DigitalInputCount; ++i) {
    const Facts facts{inputs[i] != 0, config.DigitalRequiresAccept[i] != 0, config.DigitalRequiresReset[i] != 0,
                      config.DigitalEnableReporting[i] != 0};
    Apply(DigitalPass, facts, i, states[i], log);
    if (!facts.enabled) states[i] = ReportingDisabled;  // an entry written above stays written
  }
}

void EvaluateAnalogueAlarms(const UnitConfiguration& config, std::span<const Extended, AnalogueInputCount> values,
                            std::span<AlarmState, AnalogueInputCount> states, EventRecorder& log) {
  for (int i = 0; i < AnalogueInputCount; ++i) {
    const Facts facts{OutOfBand(values[i], config.AlarmBelow[i], config.AlarmAbove[i]),
                      config.AnalogueRequiresAccept[i] != 0, config.AnalogueRequiresReset[i] != 0,
                      config.AnalogueEnableReporting[i] != 0};
    Apply(AnaloguePass, facts, i, states[i], log);
    if (!facts.enabled) states[i] = ReportingDisabled;
  }
}

void DigitalInputAlarmClick(const UnitConfiguration& config, int channel, std::uint8_t reportedInput, AlarmState& state,
                            EventRecorder& log) {
  if (channel < 0 || channel >= DigitalInputCount) return;
  const Facts facts{reportedInput != 0, config.DigitalRequiresAccept[channel] != 0,
                    config.DigitalRequiresReset[channel] != 0, config.DigitalEnableReporting[channel] != 0};
  Apply(DigitalClick, facts, channel, state, log);
}

void AnalogueInputAlarmClick(const UnitConfiguration& config, int channel, const Extended& value, AlarmState& state,
                             EventRecorder& log) {
  if (channel < 0 || channel >= AnalogueInputCount) return;
  // Judged afresh from the current value and limits, as the pass does.
  const Facts facts{OutOfBand(value, config.AlarmBelow[channel], config.AlarmAbove[channel]),
                    config.AnalogueRequiresAccept[channel] != 0, config.AnalogueRequiresReset[channel] != 0,
                    config.AnalogueEnableReporting[channel] != 0};
  Apply(AnalogueClick, facts, channel, state, log);
}
