#include "monitor/AlarmSound.h"

namespace {
template <std::size_t N>
bool AnyEnabledUnaccepted(std::span<const AlarmState, N> states, const std::uint8_t (&enabled)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (states[i] == AlarmState::AlarmUnaccepted && enabled[i] != 0) return true;
  return false;
}
}  // namespace

void UpdateAlarmSound(const UnitConfiguration& config, std::span<const AlarmState, DigitalInputCount> digitalStates,
                      std::span<const AlarmState, AnalogueInputCount> analogueStates, bool linkLostUnaccepted,
                      std::uint8_t& AlarmSoundPlaying, AlarmSound& sound) {
  // LinkUp plays no part: alarms left unaccepted from before a disconnection keep sounding.
  const bool needed = AnyEnabledUnaccepted(digitalStates, config.DigitalEnableReporting) ||
                      AnyEnabledUnaccepted(analogueStates, config.AnalogueEnableReporting) ||
                      (linkLostUnaccepted && config.LostLinkEnableReporting != 0);
  if (needed) {
    if (AlarmSoundPlaying == 0) sound.Play();
    AlarmSoundPlaying = 1;
  } else {
    if (AlarmSoundPlaying == 1) sound.Stop();
    AlarmSoundPlaying = 0;
  }
}
