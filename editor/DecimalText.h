// Text of the editor's decimal fields: the shortest text that reads back to the very same
// 80-bit value, and the calculator's reading of a typed number or simple expression.
#pragma once

#include <optional>
#include <string>
#include <string_view>

[[nodiscard]] std::string ShortestDecimalText(long double value);
// A number or an expression of + - * / and parentheses; nullopt when the text is neither.
[[nodiscard]] std::optional<long double> EvaluateDecimalText(std::string_view text);
