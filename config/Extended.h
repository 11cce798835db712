// The record's real numbers: 80-bit x87 extended values kept as their exact ten
// storage bytes and computed as long double, which is that very format here.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384,
              "long double must be the x87 80-bit extended format (GCC or Clang on x86/x86-64)");
static_assert(std::endian::native == std::endian::little, "the record is little-endian and copied as raw bytes");

// Ten bytes: 64-bit significand with explicit integer bit, then sign and 15-bit biased exponent.
struct Extended {
  std::array<std::uint8_t, 10> bytes;

  [[nodiscard]] long double Get() const {
    long double value = 0.0L;  // the six padding bytes of the in-memory long double stay zero
    std::memcpy(&value, bytes.data(), bytes.size());
    return value;
  }
  void Set(long double value) { std::memcpy(bytes.data(), &value, bytes.size()); }

  [[nodiscard]] static Extended From(long double value) {
    Extended e;
    e.Set(value);
    return e;
  }
};
static_assert(sizeof(Extended) == 10 && alignof(Extended) == 1);
