#include "editor/DecimalText.h"

#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

TEST(DecimalText, ShowsTheShortestTextThatReadsBackExactly) {
  // Exact texts; fuzz_decimal_text reads any stored value back from its text, bit for bit.
  // Whole values have no decimals; the defaults look as an operator expects.
  EXPECT_EQ(ShortestDecimalText(X("1023.0")), "1023");
  EXPECT_EQ(ShortestDecimalText(X("1024.0")), "1024");
  EXPECT_EQ(ShortestDecimalText(X("0.0")), "0");
  EXPECT_EQ(ShortestDecimalText(X("-0.0")), "-0");
  EXPECT_EQ(ShortestDecimalText(X("-2.5")), "-2.5");
  EXPECT_EQ(ShortestDecimalText(X("0.1")), "0.1");
  EXPECT_EQ(ShortestDecimalText(X("0.00001")), "0.00001");
  EXPECT_EQ(ShortestDecimalText(X("0.000001")), "1e-6");
  EXPECT_EQ(ShortestDecimalText(X("1e20")), "100000000000000000000");
  EXPECT_EQ(ShortestDecimalText(X("1e21")), "1e21");
  EXPECT_EQ(ShortestDecimalText(X("1e-4000")), "1e-4000");
  // A full 64-bit significand needs every one of its digits.
  EXPECT_EQ(ShortestDecimalText(X(0x3FFF, 0x8000000000000001ULL)), "1.0000000000000000001");
  EXPECT_EQ(ShortestDecimalText(X(1) / X(3)), "0.33333333333333333334");
  EXPECT_EQ(ShortestDecimalText(MaxFinite), "1.189731495357231765e4932");

  // Neither the locale the panel runs in nor its decimal comma changes the text.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_EQ(ShortestDecimalText(X("-2.5")), "-2.5");
    EXPECT_EQ(EvaluateDecimalText("2.5"), X("2.5"));
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(DecimalText, ShowsValuesThatAreNotNumbers) {
  EXPECT_EQ(ShortestDecimalText(Infinity), "INF");
  EXPECT_EQ(ShortestDecimalText(-Infinity), "-INF");
  EXPECT_EQ(ShortestDecimalText(QuietNaN), "NAN");
  EXPECT_EQ(ShortestDecimalText(-QuietNaN), "-NAN");

  // Unnormals and the other encodings the x87 refuses: the seeds of fuzz_decimal_text.
}

TEST(DecimalText, CalculatesTypedExpressions) {
  // Worked examples; fuzz_decimal_text holds the calculator to a reference on any text.
  EXPECT_EQ(EvaluateDecimalText(" 12.5 "), X("12.5"));
  EXPECT_EQ(EvaluateDecimalText("1.5E3"), X("1500.0"));
  EXPECT_EQ(EvaluateDecimalText("0.1"),
            X(0x3FFB, 0xCCCCCCCCCCCCCCCDULL));  // read in extended precision, not as a double
  EXPECT_EQ(EvaluateDecimalText("1+2*3"), X("7.0"));
  EXPECT_EQ(EvaluateDecimalText("-(2+3)*-2"), X("10.0"));
  EXPECT_EQ(EvaluateDecimalText("1023 * 4 / 3"), X(1023) * X(4) / X(3));
  EXPECT_TRUE(EvaluateDecimalText("-0")->IsNegative());
  EXPECT_EQ(EvaluateDecimalText("1e5000"), Infinity);  // too large: INF
  EXPECT_EQ(EvaluateDecimalText("-inf"), -Infinity);
  EXPECT_TRUE(EvaluateDecimalText("NaN")->IsNaN());
  for (const char* bad : {"", "1,5", "12a", "1e", "0x10", "2**3", "1/0", "1/-0", "\xE9"})
    EXPECT_FALSE(EvaluateDecimalText(bad).has_value()) << bad;

  // Nesting is bounded, so a pasted wall of parentheses cannot exhaust the stack.
  const auto nested = [](int depth) { return std::string(depth, '(') + "1" + std::string(depth, ')'); };
  EXPECT_EQ(EvaluateDecimalText(nested(MaxDecimalNesting)), X("1.0"));
  EXPECT_FALSE(EvaluateDecimalText(nested(MaxDecimalNesting + 1)).has_value());
  EXPECT_FALSE(EvaluateDecimalText(std::string(30000, '-') + "1").has_value());
}
