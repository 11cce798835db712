// The real alarm sound: "Alarm.wav" beside the program file, looped by QSoundEffect.
// Without the file, a playable format or a sound device the panel carries on silently and
// says so once on standard error.
#pragma once

#include "monitor/AlarmSound.h"

#include <memory>
#include <string>

class QSoundEffect;

class QtAlarmSound final : public AlarmSound {
 public:
  explicit QtAlarmSound(std::string wavPath);
  ~QtAlarmSound() override;
  QtAlarmSound(const QtAlarmSound&) = delete;
  QtAlarmSound& operator=(const QtAlarmSound&) = delete;
  void Play() override;
  void Stop() override;

  // True once the sound has been found unavailable; Play does nothing from then on.
  [[nodiscard]] bool Unavailable() const { return unavailable_; }

 private:
  void GiveUp(const std::string& reason);

  std::string path_;
  // Made on the first Play, so a panel that never alarms never wakes the audio back end.
  std::unique_ptr<QSoundEffect> effect_;
  bool unavailable_ = false;
};
