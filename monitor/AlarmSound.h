// The looping alarm sound: needed while any enabled alarm waits for its accept.
#pragma once

#include "config/UnitConfiguration.h"
#include "monitor/AlarmState.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

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

// Why the wave file at path cannot be looped, or nothing when it can: it must be there, be a
// RIFF "WAVE" file whose "fmt " chunk is uncompressed, and hold its whole "data" chunk. The
// sound back end never finishes loading a file cut short (and then blocks when any sound is
// destroyed), so such a file must not reach it. The text starts with the path.
[[nodiscard]] std::optional<std::string> WaveFileProblem(const std::string& path);
