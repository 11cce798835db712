#include "editor/DecimalText.h"

#include "config/Extended.h"

#include <cstdint>

namespace {
// x87 quiet NaN and infinity, as the calculator's words "NAN" and "INF" stand for them.
const Extended QuietNaN = Extended::FromBits(0x7FFF, 0xC000000000000000ULL);
const Extended Infinity = Extended::FromBits(0x7FFF, 0x8000000000000000ULL);
const Extended Zero = Extended::FromInt(0);

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Recursive descent over: expression = term {(+|-) term}; term = unary {(*|/) unary};
// unary = (-|+) unary | primary; primary = number | "(" expression ")".
class Calculator {
 public:
  explicit Calculator(std::string_view text) : text_(text) {}

  std::optional<Extended> Evaluate() {
    const Extended value = Expression();
    SkipSpaces();
    if (failed_ || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  Extended Expression() {
    Extended value = Term();
    while (!failed_) {
      const char op = Peek();
      if (op != '+' && op != '-') break;
      ++pos_;
      const Extended right = Term();
      value = op == '+' ? value + right : value - right;
    }
    return value;
  }

  Extended Term() {
    Extended value = Unary();
    while (!failed_) {
      const char op = Peek();
      if (op != '*' && op != '/') break;
      ++pos_;
      const Extended right = Unary();
      if (op == '*') {
        value = value * right;
      } else if (right.IsZero()) {
        return Fail();
      } else {
        value = value / right;
      }
    }
    return value;
  }

  Extended Unary() {
    const char op = Peek();
    if (op != '-' && op != '+') return Primary();
    ++pos_;
    if (!Enter()) return Fail();
    const Extended value = Unary();
    --depth_;
    return op == '-' ? -value : value;
  }

  Extended Primary() {
    const char c = Peek();
    if (c == '(') {
      ++pos_;
      if (!Enter()) return Fail();
      const Extended value = Expression();
      --depth_;
      if (Peek() != ')') return Fail();
      ++pos_;
      return value;
    }
    return Number();
  }

  Extended Number() {
    const std::size_t start = pos_;
    if (pos_ < text_.size() && IsLetter(text_[pos_])) {
      while (pos_ < text_.size() && IsLetter(text_[pos_])) ++pos_;
      const std::string_view word = text_.substr(start, pos_ - start);
      if (EqualsIgnoringCase(word, "INF") || EqualsIgnoringCase(word, "INFINITY")) return Infinity;
      if (EqualsIgnoringCase(word, "NAN")) return QuietNaN;
      return Fail();
    }
    std::size_t digits = 0;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_, ++digits;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_, ++digits;
    }
    if (digits == 0) return Fail();
    // An exponent counts only when digits follow it; otherwise the "e" is left over and refused.
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      std::size_t p = pos_ + 1;
      if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) ++p;
      if (p < text_.size() && IsDigit(text_[p])) {
        while (p < text_.size() && IsDigit(text_[p])) ++p;
        pos_ = p;
      }
    }
    return Extended::ParseDecimal(std::string(text_.substr(start, pos_ - start)));
  }

  char Peek() {
    SkipSpaces();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void SkipSpaces() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  bool Enter() { return ++depth_ <= MaxDecimalNesting; }
  Extended Fail() {
    failed_ = true;
    pos_ = text_.size();  // every caller unwinds at once
    return Zero;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  bool failed_ = false;
};
}  // namespace

std::string ShortestDecimalText(const Extended& stored) {
  const std::uint64_t significand = stored.Significand();
  const unsigned exponent = stored.SignAndExponent() & 0x7FFFu;
  const bool negative = stored.IsNegative();
  const bool integerBit = (significand >> 63) != 0;
  const std::string sign = negative ? "-" : "";

  if (exponent == 0x7FFF) return sign + (significand == (std::uint64_t{1} << 63) ? "INF" : "NAN");
  if (exponent != 0 && !integerBit) return sign + "NAN";  // an unnormal: the x87 refuses it as an operand

  // The shortest digits that read back to the same value (a pseudo-denormal as its normal
  // equal, which is how the x87 reads it), then laid out.
  const DecimalDigits shortest = stored.ShortestDigits();
  const std::string& digits = shortest.digits;
  const int exponent10 = shortest.exponent10;
  const int count = static_cast<int>(digits.size());
  std::string text = sign;
  if (exponent10 > 20 || exponent10 < -5) {
    text += digits[0];
    if (count > 1) text += "." + digits.substr(1);
    text += "e" + std::to_string(exponent10);
  } else if (exponent10 >= count - 1) {
    text += digits + std::string(static_cast<std::size_t>(exponent10 - (count - 1)), '0');
  } else if (exponent10 >= 0) {
    text += digits.substr(0, static_cast<std::size_t>(exponent10) + 1) + "." +
            digits.substr(static_cast<std::size_t>(exponent10) + 1);
  } else {
    text += "0." + std::string(static_cast<std::size_t>(-exponent10 - 1), '0') + digits;
  }
  return text;
}

std::optional<Extended> EvaluateDecimalText(std::string_view text) { return Calculator(text).Evaluate(); }
