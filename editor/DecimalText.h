// Text of the editor's decimal fields: the shortest text that reads back to the very same
// 80-bit value, and the calculator's reading of a typed number or simple expression.
// Both use "." as the decimal point whatever the locale, so a file moves between machines.
#pragma once

#include "config/Extended.h"

#include <optional>
#include <string>
#include <string_view>

// Plain notation while the decimal exponent lies in -5..20 (a whole value has no decimals:
// 1023 shows "1023"), otherwise "d.ddde-N". Infinities show "INF"/"-INF"; NaNs and the
// encodings the x87 refuses as operands show "NAN"/"-NAN".
[[nodiscard]] std::string ShortestDecimalText(const Extended& stored);

// A number or an expression of + - * / and parentheses with unary minus and plus, evaluated
// with x87 rounding after each operation; spaces are ignored, "INF" and "NAN" are numbers too. nullopt when the text
// is neither, when it divides by zero, or when it nests deeper than MaxDecimalNesting.
[[nodiscard]] std::optional<Extended> EvaluateDecimalText(std::string_view text);

inline constexpr int MaxDecimalNesting = 64;
