// The looping alarm sound: needed while any enabled alarm waits for its accept.
#pragma once

#include "config/UnitConfiguration.h"
#include "monitor/AlarmState.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

class AlarmSound {
 public:
  virtual ~AlarmSound() = default;
  virtual void Play() = 0;  // starts looping
  virtual void Stop() = 0;
};

// Calls Play or Stop only on a change of AlarmSoundPlaying.
void UpdateAlarmSound(const UnitConfiguration& config, std::span<const AlarmState, DigitalInputCount> digitalStates,
                      std::span<const AlarmState, AnalogueInputCount> analogueStates, bool linkLostUnaccepted,
                      std::uint8_t& AlarmSoundPlaying, AlarmSound& sound);

// The sound of a wave file, as its "fmt " chunk describes it: whole frames of integer or
// float samples, ready for a sound server.
struct WaveSound {
  bool floatSamples = false;
  bool bigEndian = false;  // a "RIFX" file
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bits = 0;
  std::string samples;
};

// Longer sounds are refused rather than held in memory: the alarm is a short loop.
inline constexpr std::uint32_t MaxWaveSampleBytes = 16U << 20U;

// The wave file at path, or why it cannot be looped: it must be there, be a RIFF "WAVE" file
// whose "fmt " chunk is uncompressed, and hold its whole "data" chunk. The text starts with
// the path.
[[nodiscard]] std::variant<WaveSound, std::string> ReadWaveFile(const std::string& path);
