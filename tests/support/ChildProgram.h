// A program that a test starts and talks to through pipes: its standard input, output and
// error. Started with fork and exec, not QProcess: Debian's Qt starts a child with a clone()
// (a vfork with a pidfd) that user-mode emulation refuses, and the arm64 build's tests run
// under qemu-user. No Qt here.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class ChildProgram {
 public:
  // argv[0] is a path. Standard error is kept in errors() when `captureErrors`, else it stays
  // the test's own. The child dies with the test.
  explicit ChildProgram(const std::vector<std::string>& argv, bool captureErrors = false) {
    int in[2], out[2], err[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0 || (captureErrors && ::pipe2(err, O_CLOEXEC) != 0)) {
      for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
      return;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(127);
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      if (captureErrors) ::dup2(err[1], STDERR_FILENO);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (captureErrors) ::close(err[1]);
    input_ = in[1];
    output_ = out[0];
    errors_ = err[0];
    if (pid_ < 0) Close();
  }
  ~ChildProgram() {
    Kill();
    Close();
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  [[nodiscard]] bool started() const { return pid_ > 0; }

  // A program that has ended makes the write fail, not the test end with SIGPIPE.
  // NOLINTNEXTLINE(readability-make-member-function-const): it changes the child, not this handle
  void Write(std::string_view text) {
    struct sigaction ignore = {}, before = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &before);
    while (input_ >= 0 && !text.empty()) {
      const ssize_t n = ::write(input_, text.data(), text.size());
      if (n <= 0) break;
      text.remove_prefix(static_cast<std::size_t>(n));
    }
    ::sigaction(SIGPIPE, &before, nullptr);
  }
  void CloseInput() { CloseFd(input_); }

  // Takes what the program has written, waiting at most `milliseconds` for something new.
  void Read(int milliseconds) {
    pollfd fds[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
    if (output_ < 0 && errors_ < 0) return;
    if (::poll(fds, 2, milliseconds) <= 0) return;
    Drain(fds[0], output_, out_);
    Drain(fds[1], errors_, err_);
  }

  // The next whole line of standard output, without its end, if one has arrived.
  std::optional<std::string> TakeLine() {
    const std::size_t end = out_.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = out_.substr(0, end);
    out_.erase(0, end + 1);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  // Waits at most `milliseconds` for the program to end, reading all it writes meanwhile. Its
  // exit code, -1 when a signal ended it, or nothing when it still runs.
  std::optional<int> WaitForExit(int milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!status_) {
      Read(20);
      int status = 0;
      if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = pid_ <= 0 ? -1 : status;
      } else if (std::chrono::steady_clock::now() > deadline) {
        return std::nullopt;
      }
    }
    while (output_ >= 0 || errors_ >= 0) Read(1000);  // what is left in the pipes
    return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
  }

  void Kill() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
      status_ = status;
    }
  }

  const std::string& output() const { return out_; }
  const std::string& errors() const { return err_; }

 private:
  static void Drain(const pollfd& ready, int& fd, std::string& into) {
    if (fd < 0 || (ready.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      CloseFd(fd);
    }
  }
  static void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  void Close() {
    CloseFd(input_);
    CloseFd(output_);
    CloseFd(errors_);
  }

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1, errors_ = -1;
  std::string out_, err_;
  std::optional<int> status_;  // the raw wait status once the program has ended
};
