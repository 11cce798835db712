#include "monitor/QtAlarmSound.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

QtAlarmSound::QtAlarmSound(std::string wavPath, OperatorNotifier& notifier)
    : path_(std::move(wavPath)), notice_(notifier) {}

QtAlarmSound::~QtAlarmSound() = default;

void QtAlarmSound::Failed(const std::string& reason) {
  if (effect_) effect_->stop();
  notice_.Failed("The alarm sound cannot be played: " + reason);
}

void QtAlarmSound::Play() {
  // A failed effect stays failed, and one whose device has gone plays nowhere: the next alarm
  // starts afresh, with the file and the default device as they are by then.
  const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
  if (effect_ && (effect_->status() == QSoundEffect::Error || !outputs.contains(effect_->audioDevice())))
    effect_.reset();
  if (!effect_) {
    if (const auto problem = WaveFileProblem(path_)) return Failed(*problem);
    if (outputs.isEmpty()) return Failed("no sound output device");
    effect_ = std::make_unique<QSoundEffect>(QMediaDevices::defaultAudioOutput());
    // Loading is asynchronous: a file that turns out unplayable is reported when found so,
    // and the sound counts as working once it is loaded and playing (the effect says it is
    // playing from the moment it is asked to, while still loading).
    const auto check = [this] {
      if (effect_->status() == QSoundEffect::Error) Failed(path_ + " is not a playable wave file");
      if (Playing()) notice_.Succeeded();
    };
    QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(), check);
    QObject::connect(effect_.get(), &QSoundEffect::playingChanged, effect_.get(), check);
    effect_->setLoopCount(QSoundEffect::Infinite);
    effect_->setSource(QUrl::fromLocalFile(QFile::decodeName(path_.c_str())));
  }
  effect_->play();  // before loading has finished, starts as soon as it has
}

void QtAlarmSound::Stop() {
  if (effect_) effect_->stop();
}

bool QtAlarmSound::Playing() const {
  return effect_ && effect_->status() == QSoundEffect::Ready && effect_->isPlaying();
}
