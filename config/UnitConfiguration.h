// UnitConfiguration: every setting for one remote unit in one fixed 1912-byte record.
// Its layout is the data file's format, so offsets, widths and holes are fixed and
// checked below; the record is copied and compared as raw bytes.
#pragma once

#include "config/Extended.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

inline constexpr int DigitalInputCount = 16;
inline constexpr int AnalogueInputCount = 8;
inline constexpr int OutputCount = 16;
inline constexpr int DesignatorFieldSize = 35;

struct UnitConfiguration {
  char IPAddress[64];
  std::int32_t Port;
  char DeviceName[32];
  std::int32_t UpdatePeriod;
  std::int32_t TimeoutPeriod;
  std::uint8_t DigitalEnableReporting[DigitalInputCount];
  std::uint8_t DigitalRequiresAccept[DigitalInputCount];
  std::uint8_t DigitalRequiresReset[DigitalInputCount];
  std::uint8_t AnalogueEnableReporting[AnalogueInputCount];
  std::uint8_t AnalogueRequiresAccept[AnalogueInputCount];
  std::uint8_t AnalogueRequiresReset[AnalogueInputCount];
  std::uint8_t Reserved1[4];  // alignment hole: never written, kept from a file as it came
  Extended AlarmAbove[AnalogueInputCount];
  Extended AlarmBelow[AnalogueInputCount];
  char InputDesignator[DigitalInputCount][DesignatorFieldSize];
  char OutputDesignator[OutputCount][DesignatorFieldSize];
  char AnalogueDesignator[AnalogueInputCount][DesignatorFieldSize];
  Extended AnalogueScaling[AnalogueInputCount];
  std::uint8_t EnableLogging;
  std::uint8_t LostLinkEnableReporting;
  std::uint8_t LostLinkRequiresAccept;
  std::uint8_t LostLinkRequiresReset;
  std::uint8_t OutputUsePulse[OutputCount];
  std::int32_t OutputPulsePeriod[OutputCount];
  std::uint8_t Reserved2[4];  // alignment hole
};

static_assert(std::is_trivial_v<UnitConfiguration> && std::is_standard_layout_v<UnitConfiguration>);
static_assert(sizeof(UnitConfiguration) == 1912);
static_assert(offsetof(UnitConfiguration, IPAddress) == 0);
static_assert(offsetof(UnitConfiguration, Port) == 64);
static_assert(offsetof(UnitConfiguration, DeviceName) == 68);
static_assert(offsetof(UnitConfiguration, UpdatePeriod) == 100);
static_assert(offsetof(UnitConfiguration, TimeoutPeriod) == 104);
static_assert(offsetof(UnitConfiguration, DigitalEnableReporting) == 108);
static_assert(offsetof(UnitConfiguration, DigitalRequiresAccept) == 124);
static_assert(offsetof(UnitConfiguration, DigitalRequiresReset) == 140);
static_assert(offsetof(UnitConfiguration, AnalogueEnableReporting) == 156);
static_assert(offsetof(UnitConfiguration, AnalogueRequiresAccept) == 164);
static_assert(offsetof(UnitConfiguration, AnalogueRequiresReset) == 172);
static_assert(offsetof(UnitConfiguration, Reserved1) == 180);
static_assert(offsetof(UnitConfiguration, AlarmAbove) == 184);
static_assert(offsetof(UnitConfiguration, AlarmBelow) == 264);
static_assert(offsetof(UnitConfiguration, InputDesignator) == 344);
static_assert(offsetof(UnitConfiguration, OutputDesignator) == 904);
static_assert(offsetof(UnitConfiguration, AnalogueDesignator) == 1464);
static_assert(offsetof(UnitConfiguration, AnalogueScaling) == 1744);
static_assert(offsetof(UnitConfiguration, EnableLogging) == 1824);
static_assert(offsetof(UnitConfiguration, LostLinkEnableReporting) == 1825);
static_assert(offsetof(UnitConfiguration, LostLinkRequiresAccept) == 1826);
static_assert(offsetof(UnitConfiguration, LostLinkRequiresReset) == 1827);
static_assert(offsetof(UnitConfiguration, OutputUsePulse) == 1828);
static_assert(offsetof(UnitConfiguration, OutputPulsePeriod) == 1844);
static_assert(offsetof(UnitConfiguration, Reserved2) == 1908);

// Writes every field's default; holes and bytes after each text's NUL are left as they are.
void SetDefaults(UnitConfiguration& config);
// All 1912 bytes, holes and bytes after terminators included.
void CopyConfiguration(UnitConfiguration& destination, const UnitConfiguration& source);
[[nodiscard]] bool ConfigurationDiffers(const UnitConfiguration& a, const UnitConfiguration& b);

// A text field up to its first NUL, never past the field: a field without a NUL
// (only a file can bring one) reads as its full length.
[[nodiscard]] std::string ReadTextField(const char* field, std::size_t size);
template <std::size_t N>
[[nodiscard]] std::string ReadText(const char (&field)[N]) {
  return ReadTextField(field, N);
}
// Writes the characters and a NUL at the start of the field, leaving the bytes after the
// NUL untouched. A text longer than N-1 characters is cut to fit, so nothing is written past the field.
void WriteTextField(char* field, std::size_t size, std::string_view text);
template <std::size_t N>
void WriteText(char (&field)[N], std::string_view text) {
  WriteTextField(field, N, text);
}

// The UDP port the endpoint uses: the low 16 bits of Port.
[[nodiscard]] constexpr std::uint16_t EndpointPort(std::int32_t port) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFFu);
}
