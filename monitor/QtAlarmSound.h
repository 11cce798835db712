// The real alarm sound: "Alarm.wav" beside the program file, looped by QSoundEffect.
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

 private:
  std::string path_;
  std::unique_ptr<QSoundEffect> effect_;
};
