// ParseReport: checks a report from the remote unit and stores what it carries.
//
// Grammar, N the device name: N "," type sep inputs[16 of 0/1] sep outputs[16 of 0/1] sep
// a1 "," a2 ... "," a8, each analogue field 0 to 4 digits. Separators are not examined.
// Only the first 510 bytes count and a NUL ends the text. A text not beginning with exactly
// N "," is ignored whole. Type "U" sends the acknowledgement before any field is read. A bad
// input or output character stops the parse: earlier positions stay stored, the link time-out
// is not renewed. A text that ends before its eighth analogue field leaves the missing fields'
// values as they were and still renews the time-out; a field of more than four digits reads
// its first four and skips the rest of the field.
#pragma once

#include "config/UnitConfiguration.h"
#include "link/UnitEndpoint.h"

#include <array>
#include <cstdint>
#include <string_view>

struct ReportedValues {
  std::array<std::uint8_t, DigitalInputCount> ReportedInputs{};
  std::array<std::uint8_t, OutputCount> ReportedOutputs{};
  std::array<std::int32_t, AnalogueInputCount> AnalogueRaw{};
  std::array<Extended, AnalogueInputCount> AnalogueValue{};
};

enum class ParseOutcome {
  Ignored,    // not for this panel: nothing changed, nothing sent
  AckFailed,  // the acknowledgement could not be sent: nothing stored
  Stopped,    // a bad input or output character: earlier positions stored, time-out not renewed
  Accepted,   // stored, time-out renewed
};

// The extended value nearest 1/1023, the factor of every analogue scaling: 1 / 1023 as the
// correctly rounded division gives it, written out so that the scaling loads it as it stands.
[[nodiscard]] constexpr Extended ReciprocalOf1023() {
  return {{0x08, 0x20, 0x80, 0x00, 0x02, 0x08, 0x20, 0x80, 0xF5, 0x3F}};  // 0x3FF5 8020080200802008
}

ParseOutcome ParseReport(std::string_view received, const UnitConfiguration& config, UnitEndpoint& endpoint,
                         ReportedValues& values, std::int32_t& LinkTimeoutCountdown);
