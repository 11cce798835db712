// Texts of the four messages the panel sends. Every one begins with the device name and ",".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// 16 characters: "1" at the zero-based output's position, "*" elsewhere.
[[nodiscard]] std::string OutputMask(int output);
// N,U****************
[[nodiscard]] std::string BuildPoll(std::string_view deviceName);
// N,C,S,****************, built in place: one answers every report, so it allocates nothing.
// The name is the record's, at most 32 bytes; a longer one is cut there.
class Acknowledgement {
 public:
  static constexpr std::size_t MaxDeviceNameSize = 32;
  explicit Acknowledgement(std::string_view deviceName);
  [[nodiscard]] std::string_view Text() const { return {bytes_.data(), size_}; }

 private:
  std::array<char, MaxDeviceNameSize + 21> bytes_{};
  std::size_t size_ = 0;
};
// N,U,T,<mask>
[[nodiscard]] std::string BuildToggleCommand(std::string_view deviceName, int output);
// N,U,P<length>,<mask>; the length in decimal, a "-" kept for a negative one
[[nodiscard]] std::string BuildPulseCommand(std::string_view deviceName, int output, std::int32_t length);
