// The looping alarm sound: needed while any enabled alarm waits for its accept.
#pragma once

#include "config/UnitConfiguration.h"
#include "monitor/AlarmState.h"

#include <cstdint>
#include <span>

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
