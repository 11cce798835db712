// The reference the fuzz targets check the panel against: the x87 itself, which long double is
// on x86, where these targets are built. The ten bytes are copied, not loaded through the panel's
// own type, so that the reference shares no code with what it checks.
#pragma once

#include "config/Extended.h"

#include <cstring>
#include <limits>

static_assert(sizeof(long double) >= 10 && std::numeric_limits<long double>::digits == 64,
              "the reference is the x87: this target is built on x86 only");

namespace x87 {
inline long double Native(const Extended& e) {
  long double value = 0.0L;
  std::memcpy(&value, e.bytes.data(), 10);
  return value;
}
inline Extended FromNative(long double value) {
  Extended e;
  std::memcpy(e.bytes.data(), &value, 10);
  return e;
}
}  // namespace x87
