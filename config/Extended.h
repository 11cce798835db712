// The record's real numbers: 80-bit x87 extended values, kept as their exact ten storage
// bytes and computed with x87 semantics on every processor: 64-bit significand with an
// explicit integer bit, round to nearest even after every operation, the x87 exponent range
// with gradual underflow, and the x87's own answers for NaNs and the encodings it refuses.
// On x86 the x87 itself computes (long double is that format there); elsewhere, or with
// QMX_SOFT_EXTENDED, the software implementation in SoftExtended.cpp gives the same bits.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if !defined(QMX_SOFT_EXTENDED)
#if defined(__i386__) || defined(__x86_64__)
#define QMX_SOFT_EXTENDED 0
#else
#define QMX_SOFT_EXTENDED 1
#endif
#endif

#if !QMX_SOFT_EXTENDED
#include <limits>
static_assert(std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384,
              "native extended arithmetic needs the x87 long double: build with QMX_SOFT_EXTENDED on");
#endif
static_assert(std::endian::native == std::endian::little, "the record is little-endian and copied as raw bytes");

// Decimal digits of a value: value = 0.d1d2d3... x 10^(exponent10 + 1), i.e. digits[0] is the
// units digit when exponent10 is 0.
struct DecimalDigits {
  bool negative = false;
  std::string digits;
  int exponent10 = 0;
};

// A number's text in a buffer of its own: the value texts written every tick allocate nothing.
struct NumberText {
  std::array<char, 64> chars{};
  std::size_t size = 0;
  [[nodiscard]] std::string_view View() const { return {chars.data(), size}; }
};

// Ten bytes: 64-bit significand with explicit integer bit, then sign and 15-bit biased exponent.
// == compares the ten bytes; < > <= >= compare values as the x87 does (a NaN, or an encoding
// the x87 refuses, is unordered: every comparison with it is false).
struct Extended {
  std::array<std::uint8_t, 10> bytes;

  [[nodiscard]] static Extended FromBits(std::uint16_t signAndExponent, std::uint64_t significand) {
    Extended e;
    std::memcpy(e.bytes.data(), &significand, 8);
    std::memcpy(e.bytes.data() + 8, &signAndExponent, 2);
    return e;
  }
  [[nodiscard]] std::uint64_t Significand() const {
    std::uint64_t s;
    std::memcpy(&s, bytes.data(), 8);
    return s;
  }
  [[nodiscard]] std::uint16_t SignAndExponent() const {
    std::uint16_t s;
    std::memcpy(&s, bytes.data() + 8, 2);
    return s;
  }

  // Exact conversions (every int32 and every double is an extended value).
  [[nodiscard]] static Extended FromInt(std::int32_t value);
  [[nodiscard]] static Extended FromDouble(double value);

  // Classes as the x87 sees them. IsNaN is true for NaNs and for the encodings it refuses as
  // operands (unnormals, pseudo-NaNs, pseudo-infinities); a pseudo-denormal is a number.
  [[nodiscard]] bool IsNaN() const;
  [[nodiscard]] bool IsInfinite() const {
    return (SignAndExponent() & 0x7FFF) == 0x7FFF && Significand() == 1ULL << 63;
  }
  [[nodiscard]] bool IsZero() const { return (SignAndExponent() & 0x7FFF) == 0 && Significand() == 0; }
  [[nodiscard]] bool IsNegative() const { return (SignAndExponent() & 0x8000) != 0; }

  // Decimal text "digits[.digits][e[+|-]digits]" with an optional sign, rounded once to the
  // nearest extended value (gradual underflow; too large gives infinity). Anything else: NaN.
  [[nodiscard]] static Extended ParseDecimal(const std::string& text);
  // The fewest digits that read back (ParseDecimal) to the same value, the nearest of them on a
  // choice; a pseudo-denormal reads back as its normal equal. Only for finite values.
  [[nodiscard]] DecimalDigits ShortestDigits() const;
  // The value with `count` significant digits (1..36) as printf's "%.<count>Lg" writes it in
  // the C locale: rounded to nearest, ties to even; fixed notation when the rounded value's
  // power of ten is from -4 to count - 1, else "d.ddde+NN"; trailing zeros and a bare point
  // dropped. Only for finite values.
  [[nodiscard]] NumberText GeneralText(int count) const;

  // Becomes (whole x a) x b, each product rounded: the report parser's scaling of a reading,
  // kept in the x87's registers from start to end on x86 and stored straight into place (a
  // returned copy would be read back before the x87's ten-byte store reached memory).
  void AssignProductOf(std::int32_t whole, const Extended& a, const Extended& b);

#if !QMX_SOFT_EXTENDED
  // The x87 value itself, loaded and stored by the x87 straight from and to the ten bytes: a
  // copy through a long double's 16 would make every load wait on that copy's stores.
  [[nodiscard]] long double Native() const {
    long double value;
    __asm__("fldt %1" : "=t"(value) : "m"(bytes));
    return value;
  }
  [[nodiscard]] static Extended FromNative(long double value) {
    Extended e;
    __asm__("fstpt %0" : "=m"(e.bytes) : "t"(value) : "st");
    return e;
  }
#endif

  friend bool operator==(const Extended&, const Extended&) = default;
};
static_assert(sizeof(Extended) == 10 && alignof(Extended) == 1);

// What ParseDecimal reads: "digits[.digits][e[+|-]digits]" with an optional sign, at least one
// digit before or after the point.
[[nodiscard]] inline bool IsDecimalNumberText(const std::string& text) {
  std::size_t i = 0, digits = 0;
  const auto digit = [&] { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (digit()) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (digit()) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digit()) return false;
    while (digit()) ++i;
  }
  return i == text.size();
}

// The software implementation, on every processor: what runs off x86, and what the
// differential fuzz target checks against the x87 on x86.
namespace SoftExtended {
[[nodiscard]] Extended Add(const Extended& a, const Extended& b);
[[nodiscard]] Extended Subtract(const Extended& a, const Extended& b);
[[nodiscard]] Extended Multiply(const Extended& a, const Extended& b);
[[nodiscard]] Extended Divide(const Extended& a, const Extended& b);
[[nodiscard]] Extended Negate(const Extended& a);
// -1, 0, 1 for less, equal, greater; 2 when unordered.
[[nodiscard]] int Compare(const Extended& a, const Extended& b);
[[nodiscard]] Extended FromInt(std::int32_t value);
[[nodiscard]] Extended FromDouble(double value);
[[nodiscard]] Extended ParseDecimal(const std::string& text);
[[nodiscard]] DecimalDigits ShortestDigits(const Extended& value);
// The value rounded to `count` significant digits (1..36), nearest, ties to even.
[[nodiscard]] DecimalDigits RoundedDigits(const Extended& value, int count);
[[nodiscard]] NumberText GeneralText(const Extended& value, int count);
}  // namespace SoftExtended

#if QMX_SOFT_EXTENDED
inline Extended operator+(const Extended& a, const Extended& b) { return SoftExtended::Add(a, b); }
inline Extended operator-(const Extended& a, const Extended& b) { return SoftExtended::Subtract(a, b); }
inline Extended operator*(const Extended& a, const Extended& b) { return SoftExtended::Multiply(a, b); }
inline Extended operator/(const Extended& a, const Extended& b) { return SoftExtended::Divide(a, b); }
inline Extended operator-(const Extended& a) { return SoftExtended::Negate(a); }
inline bool operator<(const Extended& a, const Extended& b) { return SoftExtended::Compare(a, b) == -1; }
inline bool operator>(const Extended& a, const Extended& b) { return SoftExtended::Compare(a, b) == 1; }
inline bool operator<=(const Extended& a, const Extended& b) {
  const int c = SoftExtended::Compare(a, b);
  return c == -1 || c == 0;
}
inline bool operator>=(const Extended& a, const Extended& b) {
  const int c = SoftExtended::Compare(a, b);
  return c == 0 || c == 1;
}
inline Extended Extended::FromInt(std::int32_t value) { return SoftExtended::FromInt(value); }
inline void Extended::AssignProductOf(std::int32_t whole, const Extended& a, const Extended& b) {
  *this = SoftExtended::Multiply(SoftExtended::Multiply(SoftExtended::FromInt(whole), a), b);
}
inline Extended Extended::FromDouble(double value) { return SoftExtended::FromDouble(value); }
inline Extended Extended::ParseDecimal(const std::string& text) { return SoftExtended::ParseDecimal(text); }
inline DecimalDigits Extended::ShortestDigits() const { return SoftExtended::ShortestDigits(*this); }
inline NumberText Extended::GeneralText(int count) const { return SoftExtended::GeneralText(*this, count); }
inline bool Extended::IsNaN() const { return SoftExtended::Compare(*this, *this) == 2; }
#else
inline Extended operator+(const Extended& a, const Extended& b) {
  return Extended::FromNative(a.Native() + b.Native());
}
inline Extended operator-(const Extended& a, const Extended& b) {
  return Extended::FromNative(a.Native() - b.Native());
}
inline Extended operator*(const Extended& a, const Extended& b) {
  return Extended::FromNative(a.Native() * b.Native());
}
inline Extended operator/(const Extended& a, const Extended& b) {
  return Extended::FromNative(a.Native() / b.Native());
}
inline Extended operator-(const Extended& a) { return Extended::FromNative(-a.Native()); }
inline bool operator<(const Extended& a, const Extended& b) { return a.Native() < b.Native(); }
inline bool operator>(const Extended& a, const Extended& b) { return a.Native() > b.Native(); }
inline bool operator<=(const Extended& a, const Extended& b) { return a.Native() <= b.Native(); }
inline bool operator>=(const Extended& a, const Extended& b) { return a.Native() >= b.Native(); }
inline Extended Extended::FromInt(std::int32_t value) { return FromNative(static_cast<long double>(value)); }
inline void Extended::AssignProductOf(std::int32_t whole, const Extended& a, const Extended& b) {
  const long double product = (static_cast<long double>(whole) * a.Native()) * b.Native();
  __asm__("fstpt %0" : "=m"(bytes) : "t"(product) : "st");
}
inline Extended Extended::FromDouble(double value) { return FromNative(static_cast<long double>(value)); }
inline bool Extended::IsNaN() const {
  const long double v = Native();
  return !(v == v);
}
#endif
