#include "tools/unit_sim_station.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

constexpr const char* ProgramName = "quellmarinox-unit-sim";
constexpr std::size_t MaxLineLength = 4096;

volatile sig_atomic_t stopSignal = 0;
void OnStopSignal(int signal) { stopSignal = signal; }

// One trace line on standard output, behind the local time of day: "14:03:27.250 ".
[[gnu::format(printf, 1, 2)]] void Say(const char* format, ...) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  std::printf("%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::putchar('\n');
}

std::string AddressText(const sockaddr_in& address) {
  char host[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
  return std::string(host) + ":" + std::to_string(ntohs(address.sin_port));
}

bool IsLoopback(const sockaddr_in& address) { return (ntohl(address.sin_addr.s_addr) >> 24) == 127; }

TimePoint After(TimePoint from, double seconds) {
  return from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double SecondsBetween(TimePoint from, TimePoint to) { return std::chrono::duration<double>(to - from).count(); }

// The record file: written line by line and flushed, so an interrupted run keeps all it saw.
class Recorder {
 public:
  ~Recorder() {
    if (file_) std::fclose(file_);
  }
  bool Open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) std::fprintf(stderr, "%s: cannot write %s: %s\n", ProgramName, path.c_str(), std::strerror(errno));
    return file_ != nullptr;
  }
  void Comment(const std::string& text) { Write("# " + text); }
  void Datagram(TimePoint start, Direction direction, const sockaddr_in& peer, std::string_view bytes) {
    if (!file_) return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    Write(FormatRecordLine({ms, direction, AddressText(peer), std::string(bytes)}));
  }

 private:
  void Write(const std::string& line) {
    if (!file_) return;
    if (std::fputs(line.c_str(), file_) < 0 || std::fputc('\n', file_) == EOF || std::fflush(file_) != 0) {
      Say("error: recording to %s failed: %s; recording stopped", path_.c_str(), std::strerror(errno));
      std::fclose(file_);
      file_ = nullptr;
    }
  }
  std::string path_;
  std::FILE* file_ = nullptr;
};

// The socket, standard input and the trace; a station decides what to make of them.
class Station {
 public:
  explicit Station(const SimOptions& options) : options_(options) {}
  virtual ~Station() {
    if (socket_ >= 0) ::close(socket_);
  }
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  int Run() {
    if (!options_.record.empty() && !recorder_.Open(options_.record)) return 1;
    if (!Bind()) return 1;
    InstallStopSignals();
    start_ = Clock::now();
    Started();
    while (!quit_ && stopSignal == 0) {
      pollfd watched[2] = {{socket_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
      const int ready = ::poll(watched, stdinOpen_ ? 2 : 1, MillisecondsToNextWork());
      if (ready < 0 && errno != EINTR) {
        Say("error: poll failed: %s", std::strerror(errno));
        return 1;
      }
      if (ready > 0 && (watched[0].revents & POLLIN)) ReceiveDatagram();
      if (ready > 0 && stdinOpen_ && (watched[1].revents & (POLLIN | POLLHUP | POLLERR))) ReadStandardInput();
      if (!quit_) DoDueWork(Clock::now());
      // One write per turn: a datagram's trace line and the answer's arrive together, and only
      // once the answer has been sent, so a reader of the trace knows it is on its way.
      std::fflush(stdout);
    }
    if (stopSignal != 0) Say("stopped by signal %d", static_cast<int>(stopSignal));
    return 0;
  }

 protected:
  // Called once the socket is bound and the clock started.
  virtual void Started() = 0;
  virtual void Datagram(std::string_view bytes, const sockaddr_in& from) = 0;
  // One operator line, not blank and not a comment.
  virtual void Line(const std::string& line) = 0;
  // When DoDueWork next has something to do; nullopt for nothing but datagrams and lines.
  virtual std::optional<TimePoint> NextWork() const = 0;
  virtual void DoDueWork(TimePoint now) = 0;

  // The one way out: only ever to an address on 127.0.0.0/8.
  bool SendTo(const sockaddr_in& to, std::string_view bytes) {
    if (!IsLoopback(to)) {
      Say("refused: %s is not on 127.0.0.0/8", AddressText(to).c_str());
      return false;
    }
    if (::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
      Say("error: send to %s failed: %s", AddressText(to).c_str(), std::strerror(errno));
      return false;
    }
    Say("-> %s %s", AddressText(to).c_str(), Printable(bytes).c_str());
    recorder_.Datagram(start_, Direction::Sent, to, bytes);
    return true;
  }

  void Quit() { quit_ = true; }
  bool Quitting() const { return quit_ || stopSignal != 0; }
  std::uint16_t Port() const { return port_; }
  Recorder& Record() { return recorder_; }

  const SimOptions& options_;
  TimePoint start_;

 private:
  bool Bind() {
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket_ < 0) {
      std::fprintf(stderr, "%s: cannot make a UDP socket: %s\n", ProgramName, std::strerror(errno));
      return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(options_.port);
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only, by design
    socklen_t length = sizeof local;
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
      std::fprintf(stderr, "%s: cannot listen on 127.0.0.1:%u: %s\n", ProgramName, static_cast<unsigned>(options_.port),
                   std::strerror(errno));
      return false;
    }
    port_ = ntohs(local.sin_port);
    // The readiness line has no time stamp, so scripts and tests can read the port from it.
    std::printf("listening on %s\n", AddressText(local).c_str());
    std::fflush(stdout);
    return true;
  }

  static void InstallStopSignals() {
    struct sigaction stop = {};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
  }

  int MillisecondsToNextWork() const {
    const TimePoint now = Clock::now();
    TimePoint next = now + std::chrono::seconds(1);
    if (const auto work = NextWork()) next = std::min(next, *work);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::max<long long>(wait, 0));
  }

  void ReceiveDatagram() {
    static char buffer[65536];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t size = ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (size < 0) {
      if (errno != EINTR && errno != EAGAIN) Say("error: receive failed: %s", std::strerror(errno));
      return;
    }
    const std::string_view bytes(buffer, static_cast<std::size_t>(size));
    Say("<- %s %s", AddressText(from).c_str(), Printable(bytes).c_str());
    recorder_.Datagram(start_, Direction::Received, from, bytes);
    if (!IsLoopback(from)) {
      Say("ignored: sender is not on loopback");
      return;
    }
    Datagram(bytes, from);
  }

  void ReadStandardInput() {
    char buffer[1024];
    const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (size < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (size <= 0) {
      if (!pending_.empty()) TakeLine(std::exchange(pending_, {}));
      stdinOpen_ = false;
      Say("standard input closed; still running until quit or a signal");
      return;
    }
    pending_.append(buffer, static_cast<std::size_t>(size));
    std::size_t newline;
    while (!quit_ && (newline = pending_.find('\n')) != std::string::npos) {
      const std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      TakeLine(line);
    }
    if (pending_.size() > MaxLineLength) {
      Say("error: line longer than %zu characters dropped", MaxLineLength);
      pending_.clear();
    }
  }

  void TakeLine(const std::string& line) {
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') return;
    Line(line);
  }

  int socket_ = -1;
  std::uint16_t port_ = 0;
  Recorder recorder_;
  bool stdinOpen_ = true;
  std::string pending_;
  bool quit_ = false;
};

// The unit itself: answers polls, applies commands, reports by itself and by exception, and
// plays its scenario.
class Simulator final : public Station {
 public:
  Simulator(const SimOptions& options, std::vector<ScriptStep> script)
      : Station(options), script_(std::move(script)), motion_(options.seed) {}

 private:
  void Started() override {
    nextReport_ = After(start_, options_.every);
    const bool loops = !script_.empty() && script_.back().command.kind == OperatorCommand::Kind::Loop;
    Say("unit %s, reporting every %g s%s, %zu scripted command(s)%s", Printable(options_.name).c_str(), options_.every,
        options_.every > 0 ? "" : " (never)", script_.size() - (loops ? 1 : 0), loops ? ", looping" : "");
    Record().Comment(std::string(ProgramName) + " " + QMX_VERSION + " recording: unit " + Printable(options_.name) +
                     " on 127.0.0.1:" + std::to_string(Port()));
  }

  std::optional<TimePoint> NextWork() const override {
    std::optional<TimePoint> next;
    const auto consider = [&](TimePoint t) { next = next ? std::min(*next, t) : t; };
    if (nextStep_ < script_.size()) consider(After(start_, scriptOrigin_ + script_[nextStep_].at));
    if (options_.every > 0) consider(nextReport_);
    if (silent_) consider(silentUntil_);
    if (motion_.Moving()) consider(After(start_, static_cast<double>(nextGridStep_) * SimMotionStepSeconds));
    for (const auto& end : pulseEnds_)
      if (end) consider(*end);
    return next;
  }

  void DoDueWork(TimePoint now) override {
    if (silent_ && now >= silentUntil_) {
      silent_ = false;
      Say("silence over");
    }
    bool changed = false;
    for (int i = 0; i < SimOutputCount; ++i) {
      if (pulseEnds_[i] && now >= *pulseEnds_[i]) {
        pulseEnds_[i].reset();
        image_.outputs[i] = false;
        Say("pulse end: output %d off", i + 1);
        changed = true;
      }
    }
    // Every grid step is worked through, also after a stall, so the noise stays the seed's.
    while (motion_.Moving() && now >= After(start_, static_cast<double>(nextGridStep_) * SimMotionStepSeconds))
      motion_.Step(static_cast<double>(nextGridStep_++) * SimMotionStepSeconds);
    changed = TakeAnalogueValues() || changed;
    if (changed) ReportToPanel();
    while (!Quitting() && nextStep_ < script_.size() && now >= After(start_, scriptOrigin_ + script_[nextStep_].at)) {
      const ScriptStep& step = script_[nextStep_++];
      const double at = scriptOrigin_ + step.at;
      Say("script %.10g: %s", at, step.text.c_str());
      if (step.command.kind == OperatorCommand::Kind::Loop) {
        scriptOrigin_ = at;
        nextStep_ = 0;
        continue;
      }
      Execute(step.command, at);
    }
    if (options_.every > 0 && now >= nextReport_) {
      ReportToPanel();
      nextReport_ = After(now, options_.every);
    }
  }

  void Datagram(std::string_view bytes, const sockaddr_in& from) override {
    if (silent_) {
      Say("silent: not answered");
      return;
    }
    const DatagramAction action = ClassifyDatagram(bytes, options_.name);
    using Kind = DatagramAction::Kind;
    switch (action.kind) {
      case Kind::Poll:
        peer_ = from;
        ReportToPanel();
        return;
      case Kind::Toggle:
        peer_ = from;
        for (int i = 0; i < SimOutputCount; ++i) {
          if (!action.outputs[i]) continue;
          pulseEnds_[i].reset();
          image_.outputs[i] = !image_.outputs[i];
          Say("toggle: output %d %s", i + 1, image_.outputs[i] ? "on" : "off");
        }
        ReportToPanel();
        return;
      case Kind::Pulse:
        peer_ = from;
        for (int i = 0; i < SimOutputCount; ++i) {
          if (!action.outputs[i]) continue;
          StartPulse(i, static_cast<double>(action.pulseLength) / 100);
          Say("pulse: output %d on for %lld x 10 ms", i + 1, static_cast<long long>(action.pulseLength));
        }
        ReportToPanel();
        return;
      case Kind::PulseIgnored:
        peer_ = from;
        Say("ignored: %s", action.note.c_str());
        return;
      case Kind::Acknowledgement: Say("acknowledged"); return;
      case Kind::Ignored: Say("ignored: %s", action.note.c_str()); return;
    }
  }

  void Line(const std::string& line) override {
    const ParsedCommand parsed = ParseOperatorCommand(line);
    if (!parsed.command) {
      Say("error: %s", parsed.error.c_str());
      return;
    }
    if (parsed.command->kind == OperatorCommand::Kind::Loop) {
      Say("error: loop belongs in a scenario file");
      return;
    }
    Execute(*parsed.command, SecondsBetween(start_, Clock::now()));
  }

  // `at` is the command's time in seconds since the start: when a scenario meant it to run.
  void Execute(const OperatorCommand& command, double at) {
    using Kind = OperatorCommand::Kind;
    const int n = command.channel + 1;
    switch (command.kind) {
      case Kind::Input:
        image_.inputs[command.channel] = command.value != 0;
        Say("input %d = %d", n, command.value);
        break;
      case Kind::Analogue:
        motion_.Set(command.channel, command.value);
        if (!TakeAnalogueValues()) Say("analogue %d = %d", n, image_.analogue[command.channel]);
        break;
      case Kind::Ramp:
        motion_.Ramp(command.channel, command.value, command.to, at, command.seconds);
        Say("ramp: analogue %d from %d to %d in %g s", n, command.value, command.to, command.seconds);
        StartMotionGrid();
        TakeAnalogueValues();
        break;
      case Kind::Noise:
        motion_.Noise(command.channel, command.value);
        Say("noise: analogue %d +/- %d", n, command.value);
        StartMotionGrid();
        TakeAnalogueValues();
        return;  // the noise shows from the next step on
      case Kind::Output:
        pulseEnds_[command.channel].reset();
        image_.outputs[command.channel] = command.value != 0;
        Say("output %d = %d", n, command.value);
        break;
      case Kind::Pulse:
        StartPulse(command.channel, command.seconds);
        Say("pulse: output %d on for %g s", n, command.seconds);
        break;
      case Kind::Silent:
        silent_ = command.seconds > 0;
        silentUntil_ = After(Clock::now(), command.seconds);
        if (silent_)
          Say("silent for %g s", command.seconds);
        else
          Say("silence over");
        return;
      case Kind::Report:
        if (!peer_) Say("no panel has polled or commanded yet: nothing sent");
        if (silent_) Say("silent: nothing sent");
        ReportToPanel();
        return;
      case Kind::Loop: return;  // handled by the scenario runner
      case Kind::Quit:
        Quit();
        Say("quit");
        return;
    }
    // A changed input or output is reported at once, as a unit reporting by exception would.
    ReportToPanel();
  }

  void StartPulse(int channel, double seconds) {
    image_.outputs[channel] = true;
    pulseEnds_[channel] = After(Clock::now(), seconds);
  }

  // The grid runs from the start of the program; a motion that begins joins it at the next step.
  void StartMotionGrid() {
    if (!gridRunning_) {
      const double elapsed = SecondsBetween(start_, Clock::now());
      nextGridStep_ = static_cast<long long>(std::floor(elapsed / SimMotionStepSeconds)) + 1;
    }
    gridRunning_ = true;
  }

  // Copies the moving values into the image; true when any changed.
  bool TakeAnalogueValues() {
    if (!motion_.Moving()) gridRunning_ = false;
    const std::array<int, SimAnalogueCount> values = motion_.Values();
    bool changed = false;
    for (int i = 0; i < SimAnalogueCount; ++i) {
      if (values[i] == image_.analogue[i]) continue;
      image_.analogue[i] = values[i];
      Say("analogue %d = %d", i + 1, values[i]);
      changed = true;
    }
    return changed;
  }

  // One report to the panel last heard from, unless none is known or the unit is silent.
  void ReportToPanel() {
    if (!peer_ || silent_) return;
    SendTo(*peer_, BuildUnitReport(options_.name, image_));
  }

  std::vector<ScriptStep> script_;
  std::size_t nextStep_ = 0;
  double scriptOrigin_ = 0;  // seconds from the start to the current round of a looping scenario
  AnalogueMotion motion_;
  long long nextGridStep_ = 0;
  bool gridRunning_ = false;
  std::optional<sockaddr_in> peer_;
  UnitImage image_;
  std::array<std::optional<TimePoint>, SimOutputCount> pulseEnds_{};
  TimePoint nextReport_;
  TimePoint silentUntil_;
  bool silent_ = false;
};

// Plays the unit's side of a recording back to a panel: waits for the panel's first datagram
// (the one the recording starts from), then sends the unit's datagrams at their recorded
// offsets from it, divided by the speed, to wherever the panel last sent from.
class Replayer final : public Station {
 public:
  Replayer(const SimOptions& options, ReplayPlan plan) : Station(options), plan_(std::move(plan)) {}

 private:
  void Started() override {
    Say("replay of %s: %zu datagram(s) over %.3f s at %g times the recorded pace", Printable(options_.replay).c_str(),
        plan_.sends.size(), static_cast<double>(plan_.lengthMs) / 1000, options_.speed);
    if (plan_.skipped > 0) Say("left out: %zu datagram(s) sent before the first one received", plan_.skipped);
    Say("waiting for a panel's first datagram: %s", Printable(plan_.anchor).c_str());
    Record().Comment(std::string(ProgramName) + " " + QMX_VERSION + " recording: replay of " +
                     Printable(options_.replay) + " on 127.0.0.1:" + std::to_string(Port()));
  }

  std::optional<TimePoint> NextWork() const override {
    if (!anchor_) return std::nullopt;
    if (next_ < plan_.sends.size()) return At(plan_.sends[next_].offsetMs);
    return At(plan_.lengthMs);
  }

  void DoDueWork(TimePoint now) override {
    if (!anchor_) return;
    while (next_ < plan_.sends.size() && now >= At(plan_.sends[next_].offsetMs))
      SendTo(*peer_, plan_.sends[next_++].bytes);
    if (next_ == plan_.sends.size() && now >= At(plan_.lengthMs)) {
      Say("replay finished: %zu datagram(s) sent", plan_.sends.size());
      Quit();
    }
  }

  void Datagram(std::string_view bytes, const sockaddr_in& from) override {
    if (anchor_) {
      peer_ = from;  // a panel that reconnects comes from a new port
      return;
    }
    if (bytes != plan_.anchor) {
      Say("not the recording's first datagram; still waiting");
      return;
    }
    anchor_ = Clock::now();
    peer_ = from;
    Say("replay starts: the panel is at %s", AddressText(from).c_str());
  }

  void Line(const std::string& line) override {
    const ParsedCommand parsed = ParseOperatorCommand(line);
    if (parsed.command && parsed.command->kind == OperatorCommand::Kind::Quit) {
      Say("quit");
      Quit();
      return;
    }
    Say("error: only quit is taken while replaying");
  }

  TimePoint At(std::int64_t offsetMs) const {
    return *anchor_ + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double, std::milli>(static_cast<double>(offsetMs) / options_.speed));
  }

  ReplayPlan plan_;
  std::optional<TimePoint> anchor_;
  std::optional<sockaddr_in> peer_;
  std::size_t next_ = 0;
};

}  // namespace

int RunSimulator(const SimOptions& options, std::vector<ScriptStep> script) {
  Simulator simulator(options, std::move(script));
  return simulator.Run();
}

int RunReplay(const SimOptions& options, ReplayPlan plan) {
  Replayer replayer(options, std::move(plan));
  return replayer.Run();
}
