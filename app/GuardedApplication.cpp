#include "app/GuardedApplication.h"

#include "app/QtPrompts.h"

#include <QIcon>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int ClosingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The self-pipe: the handler only writes one byte, the window thread reads it. Made once and
// never closed, so a late signal can never write into a reused descriptor.
int signalPipe[2] = {-1, -1};

extern "C" void WriteSignalByte(int signal) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);  // full pipe: one is waiting anyway
  errno = savedErrno;
}
}  // namespace

void detail::PrepareProcess() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor, which is this one: the lower ones are open.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened > STDERR_FILENO) ::close(opened);
  }
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

GuardedApplication::GuardedApplication(char* programName)
    : ToolkitArguments(programName), QApplication(ToolkitArguments::argc, ToolkitArguments::argv) {
  setQuitOnLastWindowClosed(false);  // the main window's closing ends the program
  setWindowIcon(QIcon(QStringLiteral(":/icons/quellmarinox-simple-panel-256.png")));  // every window's
}

void GuardedApplication::HandleClosingSignals(std::function<void()> onSignal) {
  onSignal_ = std::move(onSignal);
  if (notifier_) return;
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("quellmarinox-simple-panel: closing signals keep their default action");
    return;
  }
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char bytes[64];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
  });
  for (const int signal : ClosingSignals) {
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = WriteSignalByte;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowStandardError(error.what());
  } catch (...) {
    ShowStandardError("Unknown error.");
  }
  return false;
}
