// The real program as a child process: copied with Alarm.wav into a private folder (a copy,
// since the program finds its folder through /proc/self/exe, which resolves links), started
// there, watched through its log file and stopped by signals.
#pragma once

#include "support/Fakes.h"
#include "support/TargetProgram.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>  // environ too, as the compiler defines _GNU_SOURCE

namespace panel_process {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// Readiness waits only; a slow machine (or a sanitizer build) just takes longer.
inline constexpr auto Patience = std::chrono::seconds(60);

// For Spawn's `errors`: the child starts with standard error closed, as some launchers do.
inline constexpr int ClosedDescriptor = -2;

// Starts argv[0] (a path) with the test's environment plus `overrides` ("NAME=value"), in
// `directory`, with the three closing signals at their defaults as from a fresh terminal.
// The child dies with the test, so a failed test leaves nothing running. Output goes to
// `output` when given (a pipe's write end), else stays the test's own; standard error the
// same with `errors`, or is closed with ClosedDescriptor.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& overrides,
                   const fs::path& directory = {}, int output = -1, int errors = -1) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (std::none_of(overrides.begin(), overrides.end(),
                     [&](const std::string& o) { return o.starts_with(name + "="); }))
      environment.push_back(entry);
  }
  environment.insert(environment.end(), overrides.begin(), overrides.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);

  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
  if (!directory.empty() && ::chdir(directory.c_str()) != 0) ::_exit(127);
  if (output >= 0) ::dup2(output, STDOUT_FILENO);
  if (errors >= 0) ::dup2(errors, STDERR_FILENO);
  if (errors == ClosedDescriptor) ::close(STDERR_FILENO);
  ::execve(args[0], args.data(), envp.data());
  _exit(127);  // unqualified, as cppcheck knows that this one does not return
}

// Waits for the child to end; its raw wait status, or nothing when it is still running.
inline std::optional<int> WaitForExit(pid_t pid) {
  const auto deadline = SteadyClock::now() + Patience;
  for (;;) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return status;
    if (SteadyClock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Runs a tool (found on PATH) to its end and returns what it printed, or nothing if it failed.
inline std::optional<std::string> Capture(std::vector<std::string> argv) {
  std::string found;
  for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
    if (found.empty() && ::access((dir + argv[0]).c_str(), X_OK) == 0) found = dir + argv[0];
  if (found.empty()) return std::nullopt;
  argv[0] = found;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  const pid_t pid = Spawn(argv, {}, {}, fds[1]);
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  const std::optional<int> status = WaitForExit(pid);
  if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;
  return text;
}

class PanelProcess {
 public:
  // moreAsanOptions (":name=value...") go to the sanitizer build's ASAN_OPTIONS; `errors`
  // is as for Spawn.
  PanelProcess(const fs::path& folder, const std::vector<std::string>& arguments,
               const std::string& platform = "offscreen", std::string moreAsanOptions = {}, int errors = -1)
      : folder_(folder) {
    fs::copy_file(QMX_PANEL, folder / "quellmarinox-simple-panel", fs::copy_options::overwrite_existing);
    fs::copy_file(QMX_ALARM_WAV, folder / "Alarm.wav", fs::copy_options::overwrite_existing);
    std::vector<std::string> argv = TargetCommand((folder / "quellmarinox-simple-panel").string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> overrides{"QT_QPA_PLATFORM=" + platform};
    // The X keyboard library reads its server replies with strndup past their end, which
    // strict string checks report; the check stays on for everything else.
    if (platform == "xcb") moreAsanOptions += ":strict_string_checks=0";
    if (const char* asan = std::getenv("ASAN_OPTIONS"); asan && !moreAsanOptions.empty())
      overrides.push_back(std::string("ASAN_OPTIONS=") + asan + moreAsanOptions);
    pid_ = Spawn(argv, overrides, folder, -1, errors);
  }
  ~PanelProcess() {
    if (!Ended()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  PanelProcess(const PanelProcess&) = delete;
  PanelProcess& operator=(const PanelProcess&) = delete;

  // The texts of every log entry so far, oldest first, each checked for its date, time and CR LF.
  std::vector<std::string> Events() const {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder_ / "Logs", ignored)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> events;
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      std::string line;
      while (std::getline(bytes, line, '\n')) {
        const bool wellFormed = line.size() > 21 && line[2] == '/' && line[5] == '/' && line[10] == ',' &&
                                line[13] == ':' && line[16] == ':' && line[19] == ',' && line.back() == '\r';
        events.push_back(wellFormed ? line.substr(20, line.size() - 21) : "malformed: " + line);
      }
    }
    return events;
  }

  // False when the program ended, or the patience ran out, before the entry was written.
  bool WaitForEvent(const std::string& text) {
    const auto deadline = SteadyClock::now() + Patience;
    while (SteadyClock::now() < deadline) {
      const auto events = Events();
      if (std::find(events.begin(), events.end(), text) != events.end()) return true;
      if (Ended()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // True once the program has ended (it is then reaped).
  bool Ended() {
    int status = 0;
    if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
    return status_.has_value();
  }

  pid_t pid() const { return pid_; }

  void Signal(int signal) const {
    if (!status_) ::kill(pid_, signal);
  }
  pid_t Pid() const { return pid_; }

  // The exit code when the program ended by itself, -signal when a signal ended it, or
  // nothing when it is still running.
  std::optional<int> WaitForExit() {
    if (!status_) status_ = panel_process::WaitForExit(pid_);
    if (!status_) return std::nullopt;
    return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -WTERMSIG(*status_);
  }

 private:
  fs::path folder_;
  pid_t pid_ = -1;
  std::optional<int> status_;  // the raw wait status once the program has ended
};

}  // namespace panel_process
