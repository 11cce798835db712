// Wave files for the alarm sound's tests: 0.1 s of a 16-bit mono square wave.
#pragma once

#include <cstdint>
#include <string>

inline std::string WaveBytes(std::uint16_t format = 1, std::uint16_t bits = 16) {
  std::string out;
  const auto put = [&out](std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
  };
  const std::uint32_t rate = 8000, dataBytes = 1600;
  out += "RIFF";
  put(36 + dataBytes, 4);
  out += "WAVEfmt ";
  put(16, 4);
  put(format, 2);
  put(1, 2);  // mono
  put(rate, 4);
  put(rate * bits / 8, 4);
  put(bits / 8, 2);
  put(bits, 2);
  out += "data";
  put(dataBytes, 4);
  for (std::uint32_t i = 0; i < dataBytes / 2; ++i) put(i % 16 < 8 ? 8000 : 0x10000 - 8000, 2);
  return out;
}
