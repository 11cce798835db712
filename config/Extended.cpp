#include "config/Extended.h"

#if !QMX_SOFT_EXTENDED
#include <locale.h>
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

NumberText Extended::GeneralText(int count) const {
  NumberText text;
  const auto result = std::to_chars(text.chars.data(), text.chars.data() + text.chars.size(), Canonical(*this),
                                    std::chars_format::general, count);
  text.size = static_cast<std::size_t>(result.ptr - text.chars.data());
  return text;
}
#endif
