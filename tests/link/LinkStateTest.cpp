#include "link/LinkState.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

TEST(LinkSteps, CountdownsFoundBelowZeroActAsZero) {
  // The tick never leaves a countdown below 0 (the soak holds it to that); should one be
  // found there all the same, it acts as found at 0 and is never counted further down.
  std::int32_t poll = INT_MIN;
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
