// What an operator types into a decimal field, against a reference calculator written here:
// the text is cut into tokens first, then read by recursive descent with the nesting depth
// passed down, each number read by strtold. They agree when both refuse the text, or both
// give the same ten bytes (so +0 and -0 differ, and an overflow must reach the same infinity);
// two NaNs agree when their signs do, as the field shows "NAN" or "-NAN".
// The first ten bytes, taken as a stored value, must show as the shortest text that the
// calculator reads back to that very value.
#include "config/Extended.h"
#include "editor/DecimalText.h"
#include "fuzz/X87Reference.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {
using x87::FromNative;
using x87::Native;

void Check(bool condition, const char* what, std::string_view text) {
  if (condition) return;
  std::fprintf(stderr, "decimal text: %s for \"%.*s\"\n", what, static_cast<int>(text.size()), text.data());
  std::abort();
}

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

struct Token {
  char kind;  // 'n' for a number, else the operator or parenthesis itself
  long double value = 0.0L;
};

// A number is digits with at most one ".", at least one digit, and an exponent only when
// digits follow the "e"; a word is INF, INFINITY or NAN in any case. Blanks and tabs only part.
std::optional<std::vector<Token>> Tokens(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '+' || c == '-' || c == '*' || c == '/' || c == '(' || c == ')') {
      tokens.push_back({c});
      ++i;
    } else if (Letter(c)) {
      std::string word;
      while (i < text.size() && Letter(text[i])) word += static_cast<char>(text[i++] & ~0x20);
      if (word == "INF" || word == "INFINITY") {
        tokens.push_back({'n', HUGE_VALL});
      } else if (word == "NAN") {
        tokens.push_back({'n', std::nanl("")});
      } else {
        return std::nullopt;
      }
    } else {
      const std::size_t start = i;
      while (i < text.size() && Digit(text[i])) ++i;
      if (i < text.size() && text[i] == '.') ++i;
      while (i < text.size() && Digit(text[i])) ++i;
      if (std::none_of(text.begin() + start, text.begin() + i, Digit)) return std::nullopt;
      std::size_t e = i + 1;
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (e < text.size() && Digit(text[e])) {
          while (e < text.size() && Digit(text[e])) ++e;
          i = e;
        }
      }
      tokens.push_back({'n', std::strtold(std::string(text.substr(start, i - start)).c_str(), nullptr)});
    }
  }
  return tokens;
}

// expression = term {(+|-) term}; term = unary {(*|/) unary}; unary = (-|+) unary | primary;
// primary = number | "(" expression ")". A sign or a parenthesis nests one level deeper.
class Reference {
 public:
  explicit Reference(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}
  std::optional<long double> Evaluate() {
    const auto value = Expression(0);
    return value && at_ == tokens_.size() ? value : std::nullopt;
  }

 private:
  bool Next(char kind) const { return at_ < tokens_.size() && tokens_[at_].kind == kind; }

  std::optional<long double> Expression(int depth) {
    auto left = Term(depth);
    while (left && (Next('+') || Next('-'))) {
      const char op = tokens_[at_++].kind;
      const auto right = Term(depth);
      if (!right) return std::nullopt;
      left = op == '+' ? *left + *right : *left - *right;
    }
    return left;
  }
  std::optional<long double> Term(int depth) {
    auto left = Unary(depth);
    while (left && (Next('*') || Next('/'))) {
      const char op = tokens_[at_++].kind;
      const auto right = Unary(depth);
      if (!right || (op == '/' && *right == 0.0L)) return std::nullopt;
      left = op == '*' ? *left * *right : *left / *right;
    }
    return left;
  }
  std::optional<long double> Unary(int depth) {
    if (!Next('-') && !Next('+')) return Primary(depth);
    const char op = tokens_[at_++].kind;
    if (depth + 1 > MaxDecimalNesting) return std::nullopt;
    const auto value = Unary(depth + 1);
    if (!value) return std::nullopt;
    return op == '-' ? -*value : *value;
  }
  std::optional<long double> Primary(int depth) {
    if (Next('n')) return tokens_[at_++].value;
    if (!Next('(') || depth + 1 > MaxDecimalNesting) return std::nullopt;
    ++at_;
    const auto value = Expression(depth + 1);
    if (!value || !Next(')')) return std::nullopt;
    ++at_;
    return value;
  }

  std::vector<Token> tokens_;
  std::size_t at_ = 0;
};

bool Agree(std::optional<Extended> calculated, std::optional<long double> b) {
  if (!calculated || !b) return !calculated && !b;
  const std::optional<long double> a = Native(*calculated);
  if (std::isnan(*a) || std::isnan(*b)) return std::isnan(*a) && std::isnan(*b) && std::signbit(*a) == std::signbit(*b);
  return FromNative(*a) == FromNative(*b);
}

// A stored value: its text is "INF" or "NAN" (signed) where it is no number, else the shortest
// digits that read back to the same number; one significant digit fewer would not.
void CheckShownValue(const Extended& stored) {
  std::uint64_t significand = 0;
  std::uint16_t top = 0;
  std::memcpy(&significand, stored.bytes.data(), 8);
  std::memcpy(&top, stored.bytes.data() + 8, 2);
  const bool negative = top & 0x8000u;
  const unsigned exponent = top & 0x7FFFu;
  const bool integerBit = significand >> 63;
  const std::string text = ShortestDecimalText(stored);
  const std::string sign = negative ? "-" : "";
  const auto readExtended = EvaluateDecimalText(text);
  const std::optional<long double> read =
      readExtended ? std::optional<long double>(Native(*readExtended)) : std::nullopt;
  Check(read.has_value(), "the shown text reads back", text);

  if (exponent == 0x7FFF && significand == std::uint64_t{1} << 63) {
    Check(text == sign + "INF" && std::isinf(*read) && std::signbit(*read) == negative, "an infinity", text);
  } else if (exponent == 0x7FFF || (exponent != 0 && !integerBit)) {
    Check(text == sign + "NAN" && std::isnan(*read) && std::signbit(*read) == negative, "no number", text);
  } else {
    const long double value = Native(stored) * 1.0L;  // a pseudo-denormal becomes its plain equal
    Check(*read == value && std::signbit(*read) == negative, "reads back to the same value", text);
    std::string digits;
    for (const char c : text.substr(0, text.find('e')))
      if (Digit(c)) digits += c;
    digits.erase(0, digits.find_first_not_of('0'));
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.size() > 1) {
      char shorter[64];
      std::snprintf(shorter, sizeof shorter, "%.*Le", static_cast<int>(digits.size()) - 2, value);
      Check(std::strtold(shorter, nullptr) != value, "shortest", text);
    }
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto tokens = Tokens(text);
  const auto expected = tokens ? Reference(*tokens).Evaluate() : std::nullopt;
  Check(Agree(EvaluateDecimalText(text), expected), "the calculator and the reference disagree", text);

  if (size >= 10) {
    Extended stored;
    std::memcpy(stored.bytes.data(), data, 10);
    CheckShownValue(stored);
  }
  return 0;
}
