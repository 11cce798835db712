#include "link/Messages.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Messages, EveryTextByteForByte) {
  // The poll with the default name: 4B 45 4C 44 52 4F 4E 2C 55 then sixteen 2A.
  const std::string poll = BuildPoll("KELDRON");
  EXPECT_EQ(poll, std::string("\x4B\x45\x4C\x44\x52\x4F\x4E\x2C\x55") + std::string(16, '\x2A'));
  EXPECT_EQ(BuildPoll(""), ",U****************");
  EXPECT_EQ(Acknowledgement("KELDRON").Text(), "KELDRON,C,S,****************");
  EXPECT_EQ(Acknowledgement("K\xC9L").Text(), "K\xC9L,C,S,****************");
  const std::string longest(32, 'N');
  EXPECT_EQ(Acknowledgement(longest).Text(), longest + ",C,S,****************");
  EXPECT_EQ(Acknowledgement(longest + "cut").Text(), longest + ",C,S,****************");

  // Toggle: ",U,T," and the mask of one output, zero-based.
  EXPECT_EQ(BuildToggleCommand("KELDRON", 0), "KELDRON,U,T,1***************");
  EXPECT_EQ(BuildToggleCommand("KELDRON", 2), "KELDRON,U,T,**1*************");
  EXPECT_EQ(BuildToggleCommand("KELDRON", 15), "KELDRON,U,T,***************1");

  // Pulse: ",U,P" then the length with no comma before it, a minus kept, "0" for zero.
  EXPECT_EQ(BuildPulseCommand("KELDRON", 0, 1000), "KELDRON,U,P1000,1***************");
  EXPECT_EQ(BuildPulseCommand("KELDRON", 15, 0), "KELDRON,U,P0,***************1");
  EXPECT_EQ(BuildPulseCommand("KELDRON", 15, -5), "KELDRON,U,P-5,***************1");
  EXPECT_EQ(BuildPulseCommand("", 7, INT_MIN), ",U,P-2147483648,*******1********");
  EXPECT_EQ(BuildPulseCommand("KELDRON", 1, INT_MAX), "KELDRON,U,P2147483647,*1**************");

  // Lengths: name + 18 for the poll, + 21 for the acknowledgement and the toggle, + 21 + digits for the pulse.
  EXPECT_EQ(poll.size(), 7u + 18u);
  EXPECT_EQ(BuildPulseCommand("KELDRON", 4, 25).size(), 7u + 21u + 2u);

  // A channel outside 0..15 names no output instead of writing past the mask.
  EXPECT_EQ(OutputMask(16), "****************");
  EXPECT_EQ(OutputMask(-1), "****************");
}
