// Extended values for tests, spelled the same on every processor: decimal text read as the
// editor reads it, whole numbers, and the encodings by their bits.
#pragma once

#include "config/Extended.h"

#include <cstdint>
#include <ostream>

// Known to the compiler only at run time: it would otherwise fold the arithmetic of constants
// by its own rules (which NaN an operation passes on, for one) instead of the x87's.
// The copy is the point: cppcheck 2.17 would pass it by reference.
// cppcheck-suppress passedByValue
inline Extended Opaque(Extended e) {
  __asm__ volatile("" : : "r"(&e) : "memory");
  return e;
}
inline Extended X(const char* decimal) { return Opaque(Extended::ParseDecimal(decimal)); }
inline Extended X(std::int32_t value) { return Opaque(Extended::FromInt(value)); }
inline Extended X(std::uint16_t signAndExponent, std::uint64_t significand) {
  return Opaque(Extended::FromBits(signAndExponent, significand));
}
inline const Extended Infinity = X(0x7FFF, 0x8000000000000000ULL);
inline const Extended QuietNaN = X(0x7FFF, 0xC000000000000000ULL);
inline const Extended MaxFinite = X(0x7FFE, 0xFFFFFFFFFFFFFFFFULL);
inline const Extended DenormMin = X(0x0000, 1);

// Failures name the ten bytes.
inline void PrintTo(const Extended& e, std::ostream* os) {
  static const char* const hex = "0123456789ABCDEF";
  *os << "x87{" << hex[e.SignAndExponent() >> 12] << hex[(e.SignAndExponent() >> 8) & 15]
      << hex[(e.SignAndExponent() >> 4) & 15] << hex[e.SignAndExponent() & 15] << ':';
  for (int shift = 60; shift >= 0; shift -= 4) *os << hex[(e.Significand() >> shift) & 15];
  *os << '}';
}
