#include "config/Extended.h"
#include "editor/DecimalText.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {
bool SameBits(long double a, long double b) { return Extended::From(a).bytes == Extended::From(b).bytes; }

// What the field shows must read back, bit for bit, through both the C library and the calculator.
void ExpectRoundTrip(long double value) {
  const std::string text = ShortestDecimalText(value);
  EXPECT_TRUE(SameBits(std::strtold(text.c_str(), nullptr), value)) << text;
  const auto evaluated = EvaluateDecimalText(text);
  ASSERT_TRUE(evaluated.has_value()) << text;
  EXPECT_TRUE(SameBits(*evaluated, value)) << text;
  // Shortest: one significant digit fewer no longer reads back to the same value.
  std::string significant;
  for (char c : text.substr(0, text.find('e')))
    if (c >= '0' && c <= '9') significant += c;
  significant.erase(0, significant.find_first_not_of('0'));
  significant.erase(significant.find_last_not_of('0') + 1);
  const int digits = static_cast<int>(significant.size());
  if (digits > 1 && std::isfinite(value) && value != 0.0L) {
    char shorter[64];
    std::snprintf(shorter, sizeof shorter, "%.*Le", digits - 2, value);
    EXPECT_FALSE(SameBits(std::strtold(shorter, nullptr), value)) << text << " vs " << shorter;
  }
}
}  // namespace

TEST(DecimalText, ShowsTheShortestTextThatReadsBackExactly) {
  // Whole values have no decimals; the defaults look as an operator expects.
  EXPECT_EQ(ShortestDecimalText(1023.0L), "1023");
  EXPECT_EQ(ShortestDecimalText(1024.0L), "1024");
  EXPECT_EQ(ShortestDecimalText(0.0L), "0");
  EXPECT_EQ(ShortestDecimalText(-0.0L), "-0");
  EXPECT_EQ(ShortestDecimalText(-2.5L), "-2.5");
  EXPECT_EQ(ShortestDecimalText(0.1L), "0.1");
  EXPECT_EQ(ShortestDecimalText(0.00001L), "0.00001");
  EXPECT_EQ(ShortestDecimalText(0.000001L), "1e-6");
  EXPECT_EQ(ShortestDecimalText(1e20L), "100000000000000000000");
  EXPECT_EQ(ShortestDecimalText(1e21L), "1e21");
  EXPECT_EQ(ShortestDecimalText(1e-4000L), "1e-4000");
  // A full 64-bit significand needs every one of its digits.
  EXPECT_EQ(ShortestDecimalText(1.0L + 0x1p-63L), "1.0000000000000000001");
  EXPECT_EQ(ShortestDecimalText(1.0L / 3.0L), "0.33333333333333333334");
  EXPECT_EQ(ShortestDecimalText(std::numeric_limits<long double>::max()), "1.189731495357231765e4932");

  // Round trips over the awkward corners of the format.
  for (long double value : {1023.0L, 0.1L, 1.0L / 3.0L, 2.0L / 3.0L, 1.0L + 0x1p-63L, 1e-4000L, -1e4000L, 123456.789L,
                            -0.0L, 0x1p64L, 0x1.fffffffffffffffep63L, std::numeric_limits<long double>::max(),
                            std::numeric_limits<long double>::min(), std::numeric_limits<long double>::denorm_min(),
                            std::numeric_limits<long double>::min() / 3.0L, 9.999999999999999999e20L})
    ExpectRoundTrip(value);

  // Neither the locale the panel runs in nor its decimal comma changes the text.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_EQ(ShortestDecimalText(-2.5L), "-2.5");
    EXPECT_EQ(EvaluateDecimalText("2.5"), 2.5L);
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(DecimalText, ShowsValuesThatAreNotNumbers) {
  EXPECT_EQ(ShortestDecimalText(std::numeric_limits<long double>::infinity()), "INF");
  EXPECT_EQ(ShortestDecimalText(-std::numeric_limits<long double>::infinity()), "-INF");
  EXPECT_EQ(ShortestDecimalText(std::numeric_limits<long double>::quiet_NaN()), "NAN");
  EXPECT_EQ(ShortestDecimalText(-std::numeric_limits<long double>::quiet_NaN()), "-NAN");

  auto fromBytes = [](std::array<std::uint8_t, 10> bytes) { return Extended{bytes}.Get(); };
  // An unnormal (integer bit clear, exponent not zero) is no number to the x87.
  EXPECT_EQ(ShortestDecimalText(fromBytes({0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F})), "NAN");
  // A pseudo-infinity (integer bit clear) likewise.
  EXPECT_EQ(ShortestDecimalText(fromBytes({0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF})), "-NAN");
  // A pseudo-denormal has the value of the smallest normal exponent.
  EXPECT_EQ(ShortestDecimalText(fromBytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0})),
            ShortestDecimalText(std::numeric_limits<long double>::min()));
}

TEST(DecimalText, CalculatesTypedExpressions) {
  // Plain numbers, with or without decimals and exponents.
  EXPECT_EQ(EvaluateDecimalText("1023"), 1023.0L);
  EXPECT_EQ(EvaluateDecimalText(" 12.5 "), 12.5L);
  EXPECT_EQ(EvaluateDecimalText(".5"), 0.5L);
  EXPECT_EQ(EvaluateDecimalText("5."), 5.0L);
  EXPECT_EQ(EvaluateDecimalText("1.5E3"), 1500.0L);
  EXPECT_EQ(EvaluateDecimalText("2e-3"), 0.002L);
  EXPECT_EQ(EvaluateDecimalText("0.1"), 0.1L);  // read in extended precision, not as a double

  // The calculator: precedence, parentheses, unary signs, all in long double.
  EXPECT_EQ(EvaluateDecimalText("1+2*3"), 7.0L);
  EXPECT_EQ(EvaluateDecimalText("(1+2)*3"), 9.0L);
  EXPECT_EQ(EvaluateDecimalText("10-4-3"), 3.0L);
  EXPECT_EQ(EvaluateDecimalText("100/10/5"), 2.0L);
  EXPECT_EQ(EvaluateDecimalText("-(2+3)*-2"), 10.0L);
  EXPECT_EQ(EvaluateDecimalText("--4"), 4.0L);
  EXPECT_EQ(EvaluateDecimalText("+4"), 4.0L);
  EXPECT_EQ(EvaluateDecimalText("1023 * 4 / 3"), 1023.0L * 4.0L / 3.0L);
  EXPECT_EQ(EvaluateDecimalText("1/3"), 1.0L / 3.0L);
  EXPECT_TRUE(std::signbit(*EvaluateDecimalText("-0")));
  EXPECT_EQ(EvaluateDecimalText("1e5000"), std::numeric_limits<long double>::infinity());  // too large: INF
  EXPECT_EQ(EvaluateDecimalText("-inf"), -std::numeric_limits<long double>::infinity());
  EXPECT_TRUE(std::isnan(*EvaluateDecimalText("NaN")));

  // Text that is neither a number nor an expression.
  for (const char* bad : {"",   " ",  "abc", "1,5",  "1.2.3", "12a",     "1e",   "e5",   "0x10", "(1+2", "1+2)",
                          "()", "1+", "*2",  "2**3", "1/0",   "5/(3-3)", "1/-0", "INFX", "--",   "\xE9"})
    EXPECT_FALSE(EvaluateDecimalText(bad).has_value()) << bad;

  // Nesting is bounded, so a pasted wall of parentheses cannot exhaust the stack.
  const auto nested = [](int depth) { return std::string(depth, '(') + "1" + std::string(depth, ')'); };
  EXPECT_EQ(EvaluateDecimalText(nested(MaxDecimalNesting)), 1.0L);
  EXPECT_FALSE(EvaluateDecimalText(nested(MaxDecimalNesting + 1)).has_value());
  EXPECT_FALSE(EvaluateDecimalText(std::string(30000, '(')).has_value());
  EXPECT_FALSE(EvaluateDecimalText(std::string(30000, '-') + "1").has_value());
}
