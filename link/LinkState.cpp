#include "link/LinkState.h"

#include "config/RowTable.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>

namespace {
struct LinkRow {
  LinkState state;
  When linkUp;
  When requiresAccept;
  When requiresReset;
  LinkState next;
  std::optional<EventCode> log;
};

using enum LinkState;
using enum When;

// The tick's rows, from LinkUp and the lost-link options. State 2 waits for the operator.
constexpr std::array AutomaticRows{
    LinkRow{LinkNotConnected, On, Any, Any, LinkConnected, EventCode::CommsConnected},
    LinkRow{LinkConnected, Off, On, Any, LinkLostUnaccepted, EventCode::CommsLost},
    LinkRow{LinkConnected, Off, Off, Any, LinkLost, EventCode::CommsLost},
    LinkRow{LinkLostUnaccepted, Any, Any, Any, LinkLostUnaccepted, NoEntry},
    LinkRow{LinkLost, On, Any, On, LinkAwaitingReset, NoEntry},
    LinkRow{LinkLost, On, Any, Off, LinkConnected, EventCode::CommsConnected},
    LinkRow{LinkAwaitingReset, Off, Any, Any, LinkLost, NoEntry},
};

// The operator's click on the comms indicator. An accept while the link is back waits for a
// reset whatever LostLinkRequiresReset says; states 0, 1 and 3 have no row.
constexpr std::array ClickRows{
    LinkRow{LinkLostUnaccepted, On, Any, Any, LinkAwaitingReset, EventCode::CommsLostAccept},
    LinkRow{LinkLostUnaccepted, Off, Any, Any, LinkLost, EventCode::CommsLostAccept},
    LinkRow{LinkAwaitingReset, Any, Any, Any, LinkConnected, EventCode::CommsLostReset},
};

// The first row whose state and conditions hold; no row leaves the state as it is, unlogged.
LinkTransition FindRow(std::span<const LinkRow> rows, LinkState state, bool linkUp, bool requiresAccept,
                       bool requiresReset) {
  const auto row = std::find_if(rows.begin(), rows.end(), [&](const LinkRow& r) {
    return r.state == state && Holds(r.linkUp, linkUp) && Holds(r.requiresAccept, requiresAccept) &&
           Holds(r.requiresReset, requiresReset);
  });
  if (row == rows.end()) return {state, std::nullopt};
  return {row->next, row->log};
}

struct LookRow {
  LinkState state;
  Colour fill;
  Colour blinkOffFill;  // the fill while BlinkPhase is 0
  std::string_view text;
};

constexpr std::array LookRows{
    LookRow{LinkNotConnected, Colours::Grey, Colours::Grey, "Not Connected"},
    LookRow{LinkConnected, Colours::Green, Colours::Green, "Connected"},
    LookRow{LinkLostUnaccepted, Colours::Red, Colours::Grey, "Connection Lost"},
    LookRow{LinkLost, Colours::Red, Colours::Red, "Connection Lost"},
    LookRow{LinkAwaitingReset, Colours::Yellow, Colours::Yellow, "Connection Lost"},
};

constexpr std::int32_t TicksPerSecond = 20;
constexpr std::int32_t BlinkReload = 20;
constexpr std::int32_t PollReloadWhileDown = 20;
}  // namespace

LinkTransition EvaluateLinkTransition(LinkState state, bool linkUp, bool requiresAccept, bool requiresReset) {
  return FindRow(AutomaticRows, state, linkUp, requiresAccept, requiresReset);
}

LinkTransition CommsClickTransition(LinkState state, bool linkUp) {
  return FindRow(ClickRows, state, linkUp, false, false);
}

LinkLook LinkStatusLook(LinkState state, std::uint8_t blinkPhase) {
  for (const LookRow& row : LookRows)
    if (row.state == state) return {blinkPhase != 0 ? row.fill : row.blinkOffFill, row.text};
  return {Colours::Grey, "Not Connected"};  // no state outside 0..4 is ever stored
}

// A countdown found below 0 (only a negative period could have put it there, and those are
// held at 0) is treated as found at 0, so no step ever counts below 0.

bool StepBlink(std::uint8_t& BlinkPhase, std::int32_t& BlinkCountdown) {
  if (BlinkCountdown > 0) {
    --BlinkCountdown;
    return false;
  }
  BlinkPhase = BlinkPhase != 0 ? 0 : 1;
  BlinkCountdown = BlinkReload;
  return true;
}

bool StepPoll(std::int32_t& PollCountdown, std::int32_t TimeoutPeriod, std::uint8_t LinkUp) {
  if (PollCountdown > 0) {
    --PollCountdown;
    return false;
  }
  PollCountdown = LinkUp != 0 ? SecondsToTicks(TimeoutPeriod) : PollReloadWhileDown;
  return true;
}

bool StepLinkTimeout(std::int32_t& LinkTimeoutCountdown, std::uint8_t& LinkUp) {
  const bool wasUp = LinkUp != 0;
  if (LinkTimeoutCountdown > 0) {
    --LinkTimeoutCountdown;
    LinkUp = 1;
    return !wasUp;
  }
  LinkTimeoutCountdown = 0;
  LinkUp = 0;
  return wasUp;
}

std::int32_t SecondsToTicks(std::int32_t seconds) {
  // A negative period counts as 0; a huge one saturates instead of overflowing.
  constexpr std::int64_t Max = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{seconds} * TicksPerSecond, 0, Max));
}
