#include "config/Extended.h"

#if !QMX_SOFT_EXTENDED
#include <locale.h>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace {
// strtold in the "C" locale: the program's own locale may spell the decimal point ",".
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// "d.ddde+NN" as std::to_chars writes it, taken apart.
DecimalDigits FromScientific(std::string_view text) {
  DecimalDigits d;
  std::size_t i = 0;
  if (text[0] == '-') d.negative = true, i = 1;
  for (; i < text.size() && text[i] != 'e'; ++i)
    if (text[i] != '.') d.digits.push_back(text[i]);
  const std::size_t e = i + 1 + (text[i + 1] == '+' ? 1 : 0);
  std::from_chars(text.data() + e, text.data() + text.size(), d.exponent10);
  return d;
}

// "[-]digits[.digits][e(+|-)digits]" as the general notation writes it (trailing zeros dropped)
// into count digits from the first that is not 0, and the power of ten of that first digit.
DecimalDigits FromGeneral(std::string_view text, int count) {
  DecimalDigits d;
  std::size_t i = 0;
  if (text[0] == '-') d.negative = true, i = 1;
  const std::size_t e = text.find('e', i);
  const std::string_view mantissa = text.substr(i, e == std::string_view::npos ? std::string_view::npos : e - i);
  int exponent = 0;
  if (e != std::string_view::npos) {
    const std::size_t from = e + 1 + (text[e + 1] == '+' ? 1 : 0);
    std::from_chars(text.data() + from, text.data() + text.size(), exponent);
  }
  const std::size_t whole = std::min(mantissa.find('.'), mantissa.size());
  // The digits from the first that is not 0 ("0.000123" below 1), without the point.
  int lead = 0;
  d.digits.reserve(static_cast<std::size_t>(count));
  for (const char c : mantissa) {
    if (c == '.') continue;
    if (c == '0' && d.digits.empty()) {
      ++lead;
      continue;
    }
    d.digits.push_back(c);
  }
  d.exponent10 = d.digits.empty() ? 0 : exponent + static_cast<int>(whole) - 1 - lead;
  d.digits.resize(static_cast<std::size_t>(count), '0');
  return d;
}

// A pseudo-denormal (exponent 0 with the integer bit set) as its normal equal, which the
// library's conversions read correctly.
long double Canonical(const Extended& value) {
  if ((value.SignAndExponent() & 0x7FFF) == 0 && (value.Significand() >> 63) != 0)
    return Extended::FromBits(static_cast<std::uint16_t>(value.SignAndExponent() | 1), value.Significand()).Native();
  return value.Native();
}
}  // namespace

Extended Extended::ParseDecimal(const std::string& text) {
  if (!IsDecimalNumberText(text)) return FromBits(0x7FFF, 0xC000000000000000ULL);
  return FromNative(strtold_l(text.c_str(), nullptr, CLocale()));
}

DecimalDigits Extended::ShortestDigits() const {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, Canonical(*this), std::chars_format::scientific);
  return FromScientific(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

DecimalDigits Extended::RoundedDigits(int count) const {
  // The general notation rounds to the same digits as the scientific one, and the library
  // writes it a good deal faster for the round values readings often are (500, 12.5).
  char buffer[96];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, Canonical(*this), std::chars_format::general, count);
  return FromGeneral(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), count);
}
#endif
