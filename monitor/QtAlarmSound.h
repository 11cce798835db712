// The real alarm sound: "Alarm.wav" beside the program file, looped on the desktop's sound
// server through PulseAudio's client library (PipeWire's pulse server speaks the same).
//
// While the sound is wanted, a watch on the window thread checks four times a second that the
// server really takes it: the connection is up, the stream is playing, and the server's read
// position in the stream moves on. A server that is not there yet, goes away, restarts or
// loses its output is reconnected to by itself, about once a second, and the operator is told
// once when the sound stops reaching the server and once when it is heard again.
#pragma once

#include "monitor/AlarmSound.h"
#include "monitor/OperatorNotifier.h"

#include <memory>
#include <string>

class QTimer;

class QtAlarmSound final : public AlarmSound {
 public:
  QtAlarmSound(std::string wavPath, OperatorNotifier& notifier);
  ~QtAlarmSound() override;
  QtAlarmSound(const QtAlarmSound&) = delete;
  QtAlarmSound& operator=(const QtAlarmSound&) = delete;
  void Play() override;
  void Stop() override;

 private:
  class Server;
  void Watch();

  std::string path_;
  OperatorNotifier& notifier_;
  FailureNotice notice_;
  // Made on the first Play, so a panel that never alarms never connects to the sound server.
  std::unique_ptr<Server> server_;
  std::unique_ptr<QTimer> watch_;
  bool wanted_ = false;
  std::string why_;       // the last fault seen since the sound was last heard
  int quietWatches_ = 0;  // watches since the sound was last heard, or since it was wanted
  int watchesToRetry_ = 0;
};
