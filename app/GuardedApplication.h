// The application object. The toolkit is given the program's name and nothing else: every
// argument after it belongs to the panel's own command line, so toolkit options such as
// -style, -platform or -reverse are ignored like any other "-" argument (the platform comes
// from QT_QPA_PLATFORM alone). An error that escapes a handler or a tick is shown in the
// toolkit's standard error box and ends only that handler; the program goes on.
#pragma once

#include <QApplication>

#include <functional>

class QSocketNotifier;

namespace detail {
// Made safe before the toolkit opens anything: descriptors 0, 1 and 2 open (on /dev/null
// when the program was started without them, so that no file or socket opened later becomes
// standard error and gets the panel's notices written into it), and SIGPIPE ignored (a
// notice written to a pipe whose reader has gone then fails with EPIPE and is dropped,
// instead of ending the panel). Also SIGXFSZ: a write past a file-size limit then fails
// (EFBIG) like one on a full disk, which the log and the save report.
void PrepareProcess();

// The argument count and vector the toolkit keeps a reference to; a base, so that they
// exist before the QApplication base is built with them (and after PrepareProcess).
struct ToolkitArguments {
  explicit ToolkitArguments(char* programName) : argv{programName, nullptr} { PrepareProcess(); }
  int argc = 1;
  char* argv[2];
};
}  // namespace detail

class GuardedApplication final : private detail::ToolkitArguments, public QApplication {
 public:
  explicit GuardedApplication(char* programName);
  bool notify(QObject* receiver, QEvent* event) override;

  // SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, a closed terminal) no longer end the program
  // on the spot: `onSignal` runs on the window thread instead, once per burst of signals.
  // A signal the program was started with ignored (nohup) stays ignored.
  void HandleClosingSignals(std::function<void()> onSignal);

 private:
  QSocketNotifier* notifier_ = nullptr;
  std::function<void()> onSignal_;
};
