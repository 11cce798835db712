// A real PulseAudio server of the test's own, for the alarm sound's tests: a private folder
// for its socket, runtime files and home, anonymous clients, and one null sink "alarmtest"
// as its only output. What reaches it is read from the server's side with pactl and parec,
// never from the panel's opinion. The server dies with the test.
#pragma once

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

class PulseServer {
 public:
  explicit PulseServer(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder_ / "home");
    std::filesystem::create_directories(folder_ / "runtime");
    std::ofstream(folder_ / "server.pa") << "load-module module-native-protocol-unix auth-anonymous=1 socket="
                                         << Socket() << "\n"
                                         << "load-module module-null-sink sink_name=alarmtest\n";
  }
  ~PulseServer() { Kill(); }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Why no server can be started here, or an empty text.
  static std::string Missing() {
    for (const char* tool : {"/usr/bin/pulseaudio", "/usr/bin/pactl", "/usr/bin/parec"})
      if (::access(tool, X_OK) != 0) return std::string(tool) + " is not installed (pulseaudio, pulseaudio-utils)";
    return {};
  }

  // The address a client is given in PULSE_SERVER.
  std::string Address() const { return "unix:" + Socket(); }

  // Starts the server and waits until it answers; false if it does not.
  bool Start() {
    Kill();
    pid_ = Child([&] {
      ::setenv("HOME", (folder_ / "home").c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", (folder_ / "runtime").c_str(), 1);
      ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
      const std::string script = (folder_ / "server.pa").string();
      ::execl("/usr/bin/pulseaudio", "pulseaudio", "-n", "-F", script.c_str(), "--daemonize=no", "--exit-idle-time=-1",
              "--use-pid-file=no", "--log-level=error", static_cast<char*>(nullptr));
    });
    for (int i = 0; i < 200; ++i) {
      if (Pactl("info").find("Server Name") != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // Kills the server at once, as a crash would, and waits for it to go.
  void Kill() {
    End(recorder_);
    if (pid_ <= 0) return;
    End(pid_);
    std::filesystem::remove(Socket());
  }

  void RemoveOutput() { Pactl("unload-module module-null-sink"); }
  void AddOutput() { Pactl("load-module module-null-sink sink_name=alarmtest"); }

  // How many streams play on the server now.
  int Streams() const {
    const std::string list = Pactl("list short sink-inputs");
    int lines = 0;
    for (const char c : list) lines += c == '\n';
    return lines;
  }

  // Whether the null sink has played anything but silence in the last quarter of a second,
  // as recorded from its monitor by a parec running beside the server. Never waits: the
  // first call after the server or its output (re)appears starts the recorder and says no.
  bool Sounding() {
    if (recorder_ > 0 && ::waitpid(recorder_, nullptr, WNOHANG) == recorder_) recorder_ = -1;
    const std::filesystem::path recording = folder_ / "recording.raw";
    if (recorder_ <= 0) {
      std::ofstream(recording, std::ios::trunc).close();
      recorder_ = Child([&] {
        if (!std::freopen(recording.c_str(), "w", stdout)) return;
        const std::string server = "--server=" + Address();
        ::execl("/usr/bin/parec", "parec", server.c_str(), "--device=alarmtest.monitor", "--raw", "--format=u8",
                "--rate=8000", "--channels=1", "--latency-msec=20", static_cast<char*>(nullptr));
      });
      return false;
    }
    std::ifstream in(recording, std::ios::binary | std::ios::ate);
    constexpr std::streamoff Quarter = 2000;  // u8 samples at 8 kHz
    if (!in || in.tellg() < Quarter) return false;
    std::string samples(Quarter, '\0');
    in.seekg(-Quarter, std::ios::end);
    in.read(samples.data(), Quarter);
    return std::ranges::any_of(samples, [](char sample) { return static_cast<unsigned char>(sample) != 0x80; });
  }

 private:
  // A child that dies with the test and runs `exec`, which does not return when it works.
  template <typename Exec>
  static pid_t Child(Exec exec) {
    std::fflush(stdout);  // else the child would print what the test has buffered again
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == parent) exec();
    ::_exit(127);
  }
  static void End(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
  std::string Socket() const { return (folder_ / "runtime" / "native").string(); }
  std::string Pactl(const std::string& arguments) const {
    return Run("pactl -s " + Address() + " " + arguments + " 2>/dev/null");
  }
  static std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
      ::pclose(pipe);
    }
    return out;
  }

  std::filesystem::path folder_;
  pid_t pid_ = -1;
  pid_t recorder_ = -1;
};
