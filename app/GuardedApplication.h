// The application object. An error that escapes a handler or a tick is shown in the
// toolkit's standard error box and ends only that handler; the program goes on.
#pragma once

#include <QApplication>

#include <functional>

class QSocketNotifier;

class GuardedApplication final : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, a closed terminal) no longer end the program
  // on the spot: `onSignal` runs on the window thread instead, once per burst of signals.
  // A signal the program was started with ignored (nohup) stays ignored.
  void HandleClosingSignals(std::function<void()> onSignal);

 private:
  QSocketNotifier* notifier_ = nullptr;
  std::function<void()> onSignal_;
};

void ShowStandardError(const char* what);
