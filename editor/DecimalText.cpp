#include "editor/DecimalText.h"

#include "config/Extended.h"

#include <locale.h>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// strtold in the "C" locale: the program's own locale may spell the decimal point ",".
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

long double ReadNumber(const std::string& token) { return strtold_l(token.c_str(), nullptr, CLocale()); }

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

  std::optional<long double> Evaluate() {
    const long double value = Expression();
    SkipSpaces();
    if (failed_ || pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  long double Expression() {
    long double value = Term();
    while (!failed_) {
      const char op = Peek();
      if (op != '+' && op != '-') break;
      ++pos_;
      const long double right = Term();
      value = op == '+' ? value + right : value - right;
    }
    return value;
  }

  long double Term() {
    long double value = Unary();
    while (!failed_) {
      const char op = Peek();
      if (op != '*' && op != '/') break;
      ++pos_;
      const long double right = Unary();
      if (op == '*') {
        value = value * right;
      } else if (right == 0.0L) {
        return Fail();
      } else {
        value = value / right;
      }
    }
    return value;
  }

  long double Unary() {
    const char op = Peek();
    if (op != '-' && op != '+') return Primary();
    ++pos_;
    if (!Enter()) return Fail();
    const long double value = Unary();
    --depth_;
    return op == '-' ? -value : value;
  }

  long double Primary() {
    const char c = Peek();
    if (c == '(') {
      ++pos_;
      if (!Enter()) return Fail();
      const long double value = Expression();
      --depth_;
      if (Peek() != ')') return Fail();
      ++pos_;
      return value;
    }
    return Number();
  }

  long double Number() {
    const std::size_t start = pos_;
    if (pos_ < text_.size() && IsLetter(text_[pos_])) {
      while (pos_ < text_.size() && IsLetter(text_[pos_])) ++pos_;
      const std::string_view word = text_.substr(start, pos_ - start);
      if (EqualsIgnoringCase(word, "INF") || EqualsIgnoringCase(word, "INFINITY"))
        return std::numeric_limits<long double>::infinity();
      if (EqualsIgnoringCase(word, "NAN")) return std::numeric_limits<long double>::quiet_NaN();
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
    return ReadNumber(std::string(text_.substr(start, pos_ - start)));
  }

  char Peek() {
    SkipSpaces();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void SkipSpaces() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  bool Enter() { return ++depth_ <= MaxDecimalNesting; }
  long double Fail() {
    failed_ = true;
    pos_ = text_.size();  // every caller unwinds at once
    return 0.0L;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  bool failed_ = false;
};
}  // namespace

std::string ShortestDecimalText(long double value) {
  const Extended stored = Extended::From(value);
  std::uint64_t significand = 0;
  std::uint16_t signAndExponent = 0;
  std::memcpy(&significand, stored.bytes.data(), 8);
  std::memcpy(&signAndExponent, stored.bytes.data() + 8, 2);
  const bool negative = (signAndExponent & 0x8000u) != 0;
  const unsigned exponent = signAndExponent & 0x7FFFu;
  const bool integerBit = (significand >> 63) != 0;
  const std::string sign = negative ? "-" : "";

  if (exponent == 0x7FFF) return sign + (significand == (std::uint64_t{1} << 63) ? "INF" : "NAN");
  if (exponent != 0 && !integerBit) return sign + "NAN";  // an unnormal: the x87 refuses it as an operand
  if (exponent == 0 && integerBit) {
    // A pseudo-denormal: the x87 reads it as significand x 2^-16445, which is exact here.
    const long double magnitude = std::ldexp(static_cast<long double>(significand), -16445);
    value = negative ? -magnitude : magnitude;
  }

  // The shortest digits that read back to the same value, in scientific form, then laid out.
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  if (error != std::errc()) return sign + "NAN";  // cannot happen: the buffer holds any extended value
  const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
  std::string digits;
  std::size_t i = negative ? 1 : 0;
  for (; i < scientific.size() && scientific[i] != 'e'; ++i)
    if (IsDigit(scientific[i])) digits.push_back(scientific[i]);
  int exponent10 = 0;
  std::from_chars(scientific.data() + i + 1 + (scientific[i + 1] == '+' ? 1 : 0), scientific.data() + scientific.size(),
                  exponent10);

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

std::optional<long double> EvaluateDecimalText(std::string_view text) { return Calculator(text).Evaluate(); }
