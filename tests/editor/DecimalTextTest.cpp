#include "editor/DecimalText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

TEST(DecimalText, ShowsTheShortestTextThatReadsBackExactly) {
  // Exact texts; fuzz_decimal_text reads any stored value back from its text, bit for bit.
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

  // Unnormals and the other encodings the x87 refuses: the seeds of fuzz_decimal_text.
}

TEST(DecimalText, CalculatesTypedExpressions) {
  // Worked examples; fuzz_decimal_text holds the calculator to a reference on any text.
  EXPECT_EQ(EvaluateDecimalText(" 12.5 "), 12.5L);
  EXPECT_EQ(EvaluateDecimalText("1.5E3"), 1500.0L);
  EXPECT_EQ(EvaluateDecimalText("0.1"), 0.1L);  // read in extended precision, not as a double
  EXPECT_EQ(EvaluateDecimalText("1+2*3"), 7.0L);
  EXPECT_EQ(EvaluateDecimalText("-(2+3)*-2"), 10.0L);
  EXPECT_EQ(EvaluateDecimalText("1023 * 4 / 3"), 1023.0L * 4.0L / 3.0L);
  EXPECT_TRUE(std::signbit(*EvaluateDecimalText("-0")));
  EXPECT_EQ(EvaluateDecimalText("1e5000"), std::numeric_limits<long double>::infinity());  // too large: INF
  EXPECT_EQ(EvaluateDecimalText("-inf"), -std::numeric_limits<long double>::infinity());
  EXPECT_TRUE(std::isnan(*EvaluateDecimalText("NaN")));
  for (const char* bad : {"", "1,5", "12a", "1e", "0x10", "2**3", "1/0", "1/-0", "\xE9"})
    EXPECT_FALSE(EvaluateDecimalText(bad).has_value()) << bad;

  // Nesting is bounded, so a pasted wall of parentheses cannot exhaust the stack.
  const auto nested = [](int depth) { return std::string(depth, '(') + "1" + std::string(depth, ')'); };
  EXPECT_EQ(EvaluateDecimalText(nested(MaxDecimalNesting)), 1.0L);
  EXPECT_FALSE(EvaluateDecimalText(nested(MaxDecimalNesting + 1)).has_value());
  EXPECT_FALSE(EvaluateDecimalText(std::string(30000, '-') + "1").has_value());
}
