#include "link/LinkState.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {
using enum LinkState;

// The calls (1-based) at which step() reported true, over count calls.
template <typename Step>
std::vector<int> FiringCalls(int count, Step step) {
  std::vector<int> calls;
  for (int call = 1; call <= count; ++call)
    if (step()) calls.push_back(call);
  return calls;
}
}  // namespace

TEST(LinkSteps, CountdownsActWhenFoundAtZeroThenReload) {
  // Blink: BlinkCountdown starts at 0, so the first tick flips; then every 21 ticks.
  std::uint8_t phase = 0;
  std::int32_t blink = 0;
  EXPECT_EQ(FiringCalls(90, [&] { return StepBlink(phase, blink); }), (std::vector<int>{1, 22, 43, 64, 85}));
  EXPECT_EQ(phase, 1);

  // Poll after Connect (countdown 1): second tick, then every 21 ticks while the link is down.
  std::int32_t poll = 1;
  EXPECT_EQ(FiringCalls(70, [&] { return StepPoll(poll, 20, 0); }), (std::vector<int>{2, 23, 44, 65}));
  // While up: every TimeoutPeriod x 20 + 1 ticks; TimeoutPeriod 0 polls every tick.
  poll = 0;
  EXPECT_EQ(FiringCalls(90, [&] { return StepPoll(poll, 2, 1); }), (std::vector<int>{1, 42, 83}));
  poll = 0;
  EXPECT_EQ(FiringCalls(3, [&] { return StepPoll(poll, 0, 1); }), (std::vector<int>{1, 2, 3}));
  poll = 0;
  EXPECT_TRUE(StepPoll(poll, INT_MAX, 1));
  EXPECT_EQ(poll, INT_MAX);

  // Link time-out of 3 ticks: up at once (changed), stays up while counting, down when found at 0.
  std::int32_t timeout = 3;
  std::uint8_t up = 0;
  EXPECT_EQ(FiringCalls(6, [&] { return StepLinkTimeout(timeout, up); }), (std::vector<int>{1, 4}));
  EXPECT_EQ(up, 0);
  EXPECT_EQ(timeout, 0);
}

TEST(LinkSteps, NegativePeriodsAndCountdownsStayDefined) {
  // A negative period counts as 0; a countdown found below 0 acts as found at 0 and never counts further down.
  EXPECT_EQ(SecondsToTicks(-1), 0);
  EXPECT_EQ(SecondsToTicks(INT_MIN), 0);
  EXPECT_EQ(SecondsToTicks(INT_MAX), INT_MAX);
  std::int32_t poll = 0;
  EXPECT_TRUE(StepPoll(poll, -3, 1));
  EXPECT_EQ(poll, 0);
  poll = INT_MIN;
  EXPECT_TRUE(StepPoll(poll, 20, 0));
  EXPECT_EQ(poll, 20);
  std::int32_t timeout = INT_MIN;
  std::uint8_t up = 1;
  EXPECT_TRUE(StepLinkTimeout(timeout, up));
  EXPECT_EQ(timeout, 0);
  EXPECT_EQ(up, 0);
  std::uint8_t phase = 1;
  std::int32_t blink = -4;
  EXPECT_TRUE(StepBlink(phase, blink));
  EXPECT_EQ(phase, 0);
  EXPECT_EQ(blink, 20);
}

TEST(LinkStateMachine, CombinationsWithoutARowStandStillUnlogged) {
  struct Still {
    LinkState state;
    bool linkUp;
  };
  for (const Still s : {Still{LinkNotConnected, false}, Still{LinkConnected, true}, Still{LinkLostUnaccepted, true},
                        Still{LinkLostUnaccepted, false}, Still{LinkLost, false}, Still{LinkAwaitingReset, true}})
    for (const bool accept : {false, true})
      for (const bool reset : {false, true}) {
        const LinkTransition t = EvaluateLinkTransition(s.state, s.linkUp, accept, reset);
        EXPECT_EQ(t.next, s.state);
        EXPECT_FALSE(t.log.has_value());
      }
  for (const LinkState state : {LinkNotConnected, LinkConnected, LinkLost})
    for (const bool up : {false, true}) {
      const LinkTransition t = CommsClickTransition(state, up);
      EXPECT_EQ(t.next, state);
      EXPECT_FALSE(t.log.has_value());
    }
}

TEST(LinkStateMachine, LookOfEveryState) {
  struct Case {
    LinkState state;
    std::uint8_t phase;
    Colour fill;
    std::string_view text;
  };
  for (const Case& c :
       {Case{LinkNotConnected, 1, Colours::Grey, "Not Connected"}, Case{LinkConnected, 0, Colours::Green, "Connected"},
        Case{LinkLostUnaccepted, 1, Colours::Red, "Connection Lost"},
        Case{LinkLostUnaccepted, 0, Colours::Grey, "Connection Lost"},
        Case{LinkLost, 0, Colours::Red, "Connection Lost"},
        Case{LinkAwaitingReset, 0, Colours::Yellow, "Connection Lost"}}) {
    const LinkLook look = LinkStatusLook(c.state, c.phase);
    EXPECT_EQ(look.fill, c.fill) << static_cast<int>(c.state);
    EXPECT_EQ(look.text, c.text) << static_cast<int>(c.state);
  }
  EXPECT_EQ(Colours::Grey, MakeColour(128, 128, 128));
  EXPECT_EQ(Colours::Yellow, MakeColour(255, 255, 0));
}
