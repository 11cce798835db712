// Telling the operator, without stopping the panel, that something they rely on is not
// happening: the alarm sound cannot be played, or events are not reaching the log.
#pragma once

#include <string>

class OperatorNotifier {
 public:
  virtual ~OperatorNotifier() = default;
  // Shows one sentence and returns at once; never waits for an answer.
  virtual void Notify(const std::string& message) = 0;
};

// One notice per failure episode: the first failure is told, the ones after it are not until
// a success has ended the episode. A lasting fault is told once, one that comes back after
// working is told again.
class FailureNotice {
 public:
  explicit FailureNotice(OperatorNotifier& notifier) : notifier_(notifier) {}

  void Failed(const std::string& message) {
    if (failing_) return;
    failing_ = true;
    notifier_.Notify(message);
  }
  void Succeeded() { failing_ = false; }
  [[nodiscard]] bool Failing() const { return failing_; }

 private:
  OperatorNotifier& notifier_;
  bool failing_ = false;
};
