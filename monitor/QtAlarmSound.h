// The real alarm sound: "Alarm.wav" beside the program file, looped by QSoundEffect.
// When it cannot be played (no file, not a playable wave, no sound device) the operator is
// told once, and every later Play tries again, so a file put back or a device plugged in
// later is used.
#pragma once

#include "monitor/AlarmSound.h"
#include "monitor/OperatorNotifier.h"

#include <memory>
#include <string>

class QSoundEffect;

class QtAlarmSound final : public AlarmSound {
 public:
  QtAlarmSound(std::string wavPath, OperatorNotifier& notifier);
  ~QtAlarmSound() override;
  QtAlarmSound(const QtAlarmSound&) = delete;
  QtAlarmSound& operator=(const QtAlarmSound&) = delete;
  void Play() override;
  void Stop() override;

  // True while the sound is loaded and looping on a device.
  [[nodiscard]] bool Playing() const;

 private:
  void Failed(const std::string& reason);

  std::string path_;
  // Made on the first Play, so a panel that never alarms never wakes the audio back end.
  std::unique_ptr<QSoundEffect> effect_;
  FailureNotice notice_;
};
