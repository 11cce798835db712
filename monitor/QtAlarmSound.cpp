#include "monitor/QtAlarmSound.h"

#include <QSoundEffect>
// STUB: replaced by the monitoring work.
QtAlarmSound::QtAlarmSound(std::string wavPath) : path_(std::move(wavPath)) {}
QtAlarmSound::~QtAlarmSound() = default;
void QtAlarmSound::Play() {}
void QtAlarmSound::Stop() {}
