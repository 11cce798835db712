// The panel's state colours as 32-bit colour values laid out 0x00BBGGRR, shared by the
// input indicators, the analogue bars, the output buttons and the comms indicator.
#pragma once

#include <cstdint>

using Colour = std::uint32_t;

namespace Colours {
inline constexpr Colour Green = 0x00008000;   // RGB 0, 128, 0: normal
inline constexpr Colour Red = 0x000000FF;     // RGB 255, 0, 0: alarm
inline constexpr Colour Yellow = 0x0000FFFF;  // RGB 255, 255, 0: waiting for reset
inline constexpr Colour Grey = 0x00808080;    // RGB 128, 128, 128: disabled or not connected
}  // namespace Colours

constexpr int ColourRed(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int ColourGreen(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColourBlue(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr Colour MakeColour(int r, int g, int b) {
  return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
