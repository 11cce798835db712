#include "link/LinkState.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

TEST(LinkSteps, BlinkFlipsEvery21Ticks) {
  // BlinkCountdown starts at 0, so the first tick flips and draws the link status for the first time.
  std::uint8_t phase = 0;
  std::int32_t countdown = 0;
  std::vector<int> flips;
  for (int tick = 1; tick <= 90; ++tick)
    if (StepBlink(phase, countdown)) flips.push_back(tick);
  EXPECT_EQ(flips, (std::vector<int>{1, 22, 43, 64, 85}));
  EXPECT_EQ(phase, 1);
}

TEST(LinkSteps, NegativeAndHugePeriodsStayDefined) {
  // A negative period counts as 0; a huge one saturates; a countdown found below 0 acts as
  // found at 0 and is never counted further down.
  EXPECT_EQ(SecondsToTicks(-1), 0);
  EXPECT_EQ(SecondsToTicks(INT_MIN), 0);
  EXPECT_EQ(SecondsToTicks(107374183), INT_MAX);
  std::int32_t poll = 0;
  EXPECT_TRUE(StepPoll(poll, INT_MAX, 1));
  EXPECT_EQ(poll, INT_MAX);
  poll = 0;
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
