#include "monitor/QtAlarmSound.h"

#include <QAudioDevice>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include <cstdio>

QtAlarmSound::QtAlarmSound(std::string wavPath) : path_(std::move(wavPath)) {}

QtAlarmSound::~QtAlarmSound() = default;

void QtAlarmSound::GiveUp(const std::string& reason) {
  if (unavailable_) return;
  unavailable_ = true;
  std::fprintf(stderr, "quellmarinox-simple-panel: alarm sound unavailable: %s\n", reason.c_str());
  if (effect_) effect_->stop();
}

void QtAlarmSound::Play() {
  if (unavailable_) return;
  if (!effect_) {
    const QString path = QFile::decodeName(path_.c_str());
    if (!QFileInfo(path).isFile()) return GiveUp(path_ + " not found");
    if (QMediaDevices::audioOutputs().isEmpty()) return GiveUp("no sound output device");
    effect_ = std::make_unique<QSoundEffect>();
    // Loading is asynchronous: a file that turns out unplayable is reported when found so.
    QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(), [this] {
      if (effect_->status() == QSoundEffect::Error) GiveUp(path_ + " cannot be played");
    });
    effect_->setLoopCount(QSoundEffect::Infinite);
    effect_->setSource(QUrl::fromLocalFile(path));
  }
  effect_->play();  // before loading has finished, starts as soon as it has
}

void QtAlarmSound::Stop() {
  if (effect_) effect_->stop();
}
