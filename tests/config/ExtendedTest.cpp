// The x87's answers that the software arithmetic must reproduce, named one by one; the golden
// vectors (ExtendedGoldenTest) and fuzz_extended hold every other case to the x87.
#include "config/Extended.h"
#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

TEST(Extended, ComputesAsTheX87) {
  const Extended indefinite = X(0xFFFF, 0xC000000000000000ULL);  // the x87's answer to an invalid operation
  const Extended unnormal = X(0x4000, 0x4000000000000000ULL);
  const Extended pseudoDenormal = X(0x0000, 0x8000000000000000ULL);
  const Extended signalling = X(0x7FFF, 0x8000000000000005ULL);

  // Every operation rounds its exact result once, to nearest even on 64 bits.
  EXPECT_EQ(X(1) / X(3), X(0x3FFD, 0xAAAAAAAAAAAAAAABULL));
  EXPECT_EQ(X(0x3FFF, 0x8000000000000001ULL) + X(0x3FBF, 0x8000000000000000ULL), X(0x3FFF, 0x8000000000000002ULL));
  EXPECT_EQ(X(1) + X(0x3FBF, 0x8000000000000000ULL), X(1));  // a tie goes to the even significand
  EXPECT_EQ(X(1023) * (X(1) / X(1023)), X(1));
  // Gradual underflow: the least denormal halved is a tie that rounds to zero, three halves to two.
  EXPECT_EQ(DenormMin / X(2), X(0));
  EXPECT_EQ(X(0x0000, 3) / X(2), X(0x0000, 2));
  EXPECT_EQ(X(0x0001, 0x8000000000000000ULL) - DenormMin, X(0x0000, 0x7FFFFFFFFFFFFFFFULL));
  // Overflow reaches infinity; the largest finite value stays finite.
  EXPECT_EQ(MaxFinite * X(2), Infinity);
  EXPECT_EQ(MaxFinite + X(1), MaxFinite);
  EXPECT_EQ(X(1) / X(0), Infinity);
  EXPECT_EQ(X(-1) / X(0), -Infinity);
  // Signed zeros.
  EXPECT_EQ(X(1) - X(1), X(0));
  EXPECT_EQ(-X(0) - X(0), -X(0));
  // Invalid operations and the encodings the x87 refuses give the indefinite.
  EXPECT_EQ(Infinity - Infinity, indefinite);
  EXPECT_EQ(Infinity * X(0), indefinite);
  EXPECT_EQ(X(0) / X(0), indefinite);
  EXPECT_EQ(unnormal + X(1), indefinite);
  EXPECT_EQ(X(0x7FFF, 0x0000000000000000ULL) * X(1), indefinite);  // a pseudo-infinity
  EXPECT_EQ(unnormal + QuietNaN, indefinite);
  // A pseudo-denormal is a number: its value is that of the same significand with exponent 1.
  EXPECT_EQ(pseudoDenormal + X(0), X(0x0001, 0x8000000000000000ULL));
  EXPECT_EQ(pseudoDenormal * X(2), X(0x0002, 0x8000000000000000ULL));
  // NaNs pass on: made quiet, a quiet one before a signalling one, else the larger significand.
  EXPECT_EQ(signalling + X(1), X(0x7FFF, 0xC000000000000005ULL));
  EXPECT_EQ(signalling * QuietNaN, QuietNaN);
  EXPECT_EQ(X(0xFFFF, 0xC000000000000001ULL) - X(0x7FFF, 0xC000000000000009ULL), X(0x7FFF, 0xC000000000000009ULL));
  EXPECT_EQ(X(0xFFFF, 0xC000000000000001ULL) + X(0x7FFF, 0xC000000000000001ULL), X(0x7FFF, 0xC000000000000001ULL));
  // The sign change flips the sign of anything, NaNs and refused encodings included.
  EXPECT_EQ(-unnormal, X(0xC000, 0x4000000000000000ULL));
  EXPECT_EQ(-QuietNaN, X(0xFFFF, 0xC000000000000000ULL));

  // Comparisons: a NaN or a refused encoding is unordered; -0 equals +0.
  EXPECT_TRUE(X(0) <= -X(0) && X(0) >= -X(0));
  EXPECT_FALSE(QuietNaN < X(1) || QuietNaN > X(1) || QuietNaN <= QuietNaN);
  EXPECT_FALSE(unnormal < X(3) || unnormal > X(1));
  EXPECT_TRUE(pseudoDenormal > DenormMin);
  EXPECT_TRUE(unnormal.IsNaN() && QuietNaN.IsNaN() && !pseudoDenormal.IsNaN() && !Infinity.IsNaN());

  // Exact conversions.
  EXPECT_EQ(X(-2147483647 - 1), X(0xC01E, 0x8000000000000000ULL));
  EXPECT_EQ(Extended::FromDouble(0.1), X(0x3FFB, 0xCCCCCCCCCCCCD000ULL));
  EXPECT_EQ(Extended::FromDouble(4.9406564584124654e-324), X(0x3BCD, 0x8000000000000000ULL));
}

TEST(Extended, ReadsDecimalTextWithOneRounding) {
  EXPECT_EQ(X("0.1"), X(0x3FFB, 0xCCCCCCCCCCCCCCCDULL));
  EXPECT_EQ(X("-0"), -X(0));
  EXPECT_EQ(X(".5"), X(0x3FFE, 0x8000000000000000ULL));
  EXPECT_EQ(X("5."), X(5));
  // Halfway between 1 and its successor, and a hair above: one rounding, not two.
  EXPECT_EQ(X("1.0000000000000000000542101086242752217003726400434970855712890625"), X(1));
  EXPECT_EQ(X("1.0000000000000000000542101086242752217003726400434970855712890626"), X(0x3FFF, 0x8000000000000001ULL));
  // The ends of the range: the least denormal, half of it (a tie, to zero), the largest finite.
  EXPECT_EQ(X("3.6451995318824746025e-4951"), DenormMin);
  EXPECT_EQ(X("1.8225997659412373012e-4951"), X(0));
  EXPECT_EQ(X("1.18973149535723176505e4932"), MaxFinite);
  EXPECT_EQ(X("1.18973149535723176509e4932"), Infinity);
  // Anything but a plain decimal number is no number.
  EXPECT_TRUE(X("inf").IsNaN() && X("1e").IsNaN() && X("0x10").IsNaN() && X("").IsNaN() && X(" 1").IsNaN());
}
