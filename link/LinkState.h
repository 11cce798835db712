// The lost-link machine (automatic rows from LinkUp, the operator's click rows), its look,
// and the countdown steps of the 50 ms tick. One tick is 50 ms; 20 ticks are a second.
#pragma once

#include "config/Colour.h"
#include "config/EventCode.h"

#include <cstdint>
#include <optional>
#include <string_view>

enum class LinkState : std::int32_t {
  LinkNotConnected = 0,
  LinkConnected = 1,
  LinkLostUnaccepted = 2,
  LinkLost = 3,
  LinkAwaitingReset = 4,
};

struct LinkTransition {
  LinkState next;
  std::optional<EventCode> log;
};

// One automatic transition at most, from the tick.
[[nodiscard]] LinkTransition EvaluateLinkTransition(LinkState state, bool linkUp, bool requiresAccept,
                                                    bool requiresReset);
// The operator's click on the comms indicator.
[[nodiscard]] LinkTransition CommsClickTransition(LinkState state, bool linkUp);

struct LinkLook {
  Colour fill;
  std::string_view text;
};
[[nodiscard]] LinkLook LinkStatusLook(LinkState state, std::uint8_t blinkPhase);

// Tick steps. Each returns true when the tick counts as changed (or, for the poll, when a
// poll is due now). Countdowns never overflow, whatever the configured periods.
bool StepBlink(std::uint8_t& BlinkPhase, std::int32_t& BlinkCountdown);
// When due, reloads PollCountdown (TimeoutPeriod x 20, or 20 while LinkUp is 0) and returns true.
[[nodiscard]] bool StepPoll(std::int32_t& PollCountdown, std::int32_t TimeoutPeriod, std::uint8_t LinkUp);
bool StepLinkTimeout(std::int32_t& LinkTimeoutCountdown, std::uint8_t& LinkUp);
// A period in seconds as ticks (x 20), held inside the int32 range.
[[nodiscard]] std::int32_t SecondsToTicks(std::int32_t seconds);
