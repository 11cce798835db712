// The software extended arithmetic against the x87 itself, bit for bit. The input holds two
// ten-byte values a and b, a digit count, then a text. Every operation on them (+ - x / and
// the sign change, the comparisons, the reading scaled as the report parser scales it, the
// conversions from int32 and double) must give the same ten bytes, NaN payloads included; the
// shortest and the rounded digits of a must be the same digits; the text (as typed, and as
// spelled over the alphabet of numbers) must read to the same ten bytes.
#include "config/Extended.h"
#include "fuzz/X87Reference.h"

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {
using x87::FromNative;
using x87::Native;

std::string Hex(const Extended& e) {
  char text[32];
  std::snprintf(text, sizeof text, "%04X:%016llX", e.SignAndExponent(),
                static_cast<unsigned long long>(e.Significand()));
  return text;
}

void Differ(const char* what, const Extended& a, const Extended& b, const std::string& native,
            const std::string& soft) {
  std::fprintf(stderr, "extended: %s differs for a=%s b=%s: x87 %s, software %s\n", what, Hex(a).c_str(),
               Hex(b).c_str(), native.c_str(), soft.c_str());
  std::abort();
}
void Same(const char* what, const Extended& a, const Extended& b, const Extended& native, const Extended& soft) {
  if (!(native == soft)) Differ(what, a, b, Hex(native), Hex(soft));
}
void SameDigits(const char* what, const Extended& a, const DecimalDigits& native, const DecimalDigits& soft) {
  const auto text = [](const DecimalDigits& d) {
    return (d.negative ? "-" : "+") + d.digits + "e" + std::to_string(d.exponent10);
  };
  if (text(native) != text(soft)) Differ(what, a, a, text(native), text(soft));
}

// The x87's reading of a value's digits, as the library writes them.
long double Canonical(const Extended& value) {
  if ((value.SignAndExponent() & 0x7FFF) == 0 && (value.Significand() >> 63) != 0)
    return Native(Extended::FromBits(static_cast<std::uint16_t>(value.SignAndExponent() | 1), value.Significand()));
  return Native(value);
}
DecimalDigits Scientific(const char* buffer, const char* end) {
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  DecimalDigits d;
  std::size_t i = 0;
  if (text[0] == '-') d.negative = true, i = 1;
  for (; i < text.size() && text[i] != 'e'; ++i)
    if (text[i] != '.') d.digits.push_back(text[i]);
  const std::size_t e = i + 1 + (text[i + 1] == '+' ? 1 : 0);
  std::from_chars(text.data() + e, text.data() + text.size(), d.exponent10);
  return d;
}
DecimalDigits NativeShortest(const Extended& value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, Canonical(value), std::chars_format::scientific);
  return Scientific(buffer, result.ptr);
}
DecimalDigits NativeRounded(const Extended& value, int count) {
  char buffer[96];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, Canonical(value), std::chars_format::scientific, count - 1);
  return Scientific(buffer, result.ptr);
}
// printf's own general notation, the definition the value text follows.
std::string NativeGeneral(const Extended& value, int count) {
  char buffer[96];
  const int size = std::snprintf(buffer, sizeof buffer, "%.*Lg", count, Canonical(value));
  return {buffer, static_cast<std::size_t>(std::clamp(size, 0, static_cast<int>(sizeof buffer) - 1))};
}
Extended NativeParse(const std::string& text) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return FromNative(strtold_l(text.c_str(), nullptr, c));
}

bool Finite(const Extended& v) { return (v.SignAndExponent() & 0x7FFF) != 0x7FFF; }

void CheckText(const std::string& text) {
  if (!IsDecimalNumberText(text)) return;
  const Extended soft = SoftExtended::ParseDecimal(text);
  if (!(NativeParse(text) == soft))
    Differ(("reading \"" + text + "\"").c_str(), soft, soft, Hex(NativeParse(text)), Hex(soft));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t head[21] = {};
  std::memcpy(head, data, std::min<std::size_t>(size, sizeof head));
  Extended a, b;
  std::memcpy(a.bytes.data(), head, 10);
  std::memcpy(b.bytes.data(), head + 10, 10);
  const long double x = Native(a), y = Native(b);

  Same("a + b", a, b, FromNative(x + y), SoftExtended::Add(a, b));
  Same("a - b", a, b, FromNative(x - y), SoftExtended::Subtract(a, b));
  Same("a * b", a, b, FromNative(x * y), SoftExtended::Multiply(a, b));
  Same("a / b", a, b, FromNative(x / y), SoftExtended::Divide(a, b));
  Same("-a", a, b, FromNative(-x), SoftExtended::Negate(a));
  const int order = x < y ? -1 : x > y ? 1 : x == y ? 0 : 2;
  if (order != SoftExtended::Compare(a, b))
    Differ("comparison", a, b, std::to_string(order), std::to_string(SoftExtended::Compare(a, b)));

  // The reading as the report parser scales it: raw x scaling x (the nearest 1/1023).
  static const long double c = 1.0L / 1023.0L;
  const auto raw = static_cast<std::int32_t>((head[0] | head[1] << 8) % 10000);
  Same("raw x b x c", Extended::FromBits(0, static_cast<std::uint64_t>(raw)), b,
       FromNative((static_cast<long double>(raw) * y) * c),
       SoftExtended::Multiply(SoftExtended::Multiply(SoftExtended::FromInt(raw), b), FromNative(c)));

  std::int32_t whole;
  std::memcpy(&whole, head, 4);
  Same("from int32", a, b, FromNative(static_cast<long double>(whole)), SoftExtended::FromInt(whole));
  double real;
  std::memcpy(&real, head + 2, 8);
  Same("from double", a, b, FromNative(static_cast<long double>(real)), SoftExtended::FromDouble(real));

  if (Finite(a) && ((a.SignAndExponent() & 0x7FFF) == 0 || (a.Significand() >> 63) != 0)) {
    SameDigits("shortest digits", a, NativeShortest(a), SoftExtended::ShortestDigits(a));
    const int count = 1 + head[20] % 36;
    SameDigits("rounded digits", a, NativeRounded(a, count), SoftExtended::RoundedDigits(a, count));
    for (const int digits : {count, 15}) {
      const std::string native = NativeGeneral(a, digits);
      if (SoftExtended::GeneralText(a, digits).View() != native)
        Differ("general text", a, a, native, std::string(SoftExtended::GeneralText(a, digits).View()));
#if !QMX_SOFT_EXTENDED
      if (a.GeneralText(digits).View() != native)
        Differ("the panel's general text", a, a, native, std::string(a.GeneralText(digits).View()));
#endif
    }
#if !QMX_SOFT_EXTENDED
    SameDigits("the panel's shortest digits", a, NativeShortest(a), a.ShortestDigits());
#endif
    // The shortest digits read back to the same value.
    const DecimalDigits shortest = SoftExtended::ShortestDigits(a);
    CheckText((shortest.negative ? "-" : "") + shortest.digits + "e" +
              std::to_string(shortest.exponent10 - static_cast<int>(shortest.digits.size()) + 1));
  }

  if (size > sizeof head) {
    const std::string text(reinterpret_cast<const char*>(data) + sizeof head, size - sizeof head);
    CheckText(text);
    // The same bytes spelled over a number's alphabet, so that most of them are numbers.
    static constexpr char Alphabet[] = "0123456789012345678901234567.e-+";
    std::string spelled;
    for (const char ch : text) spelled += Alphabet[static_cast<unsigned char>(ch) % 32];
    CheckText(spelled);
  }
  return 0;
}
