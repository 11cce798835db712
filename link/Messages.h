// Texts of the four messages the panel sends. Every one begins with the device name and ",".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// 16 characters: "1" at the zero-based output's position, "*" elsewhere.
[[nodiscard]] std::string OutputMask(int output);
// N,U****************
[[nodiscard]] std::string BuildPoll(std::string_view deviceName);
// N,C,S,****************
[[nodiscard]] std::string BuildAcknowledgement(std::string_view deviceName);
// N,U,T,<mask>
[[nodiscard]] std::string BuildToggleCommand(std::string_view deviceName, int output);
// N,U,P<length>,<mask>; the length in decimal, a "-" kept for a negative one
[[nodiscard]] std::string BuildPulseCommand(std::string_view deviceName, int output, std::int32_t length);
