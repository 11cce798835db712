// quellmarinox-unit-sim: stands in for the remote unit on this machine. It listens on
// 127.0.0.1 only, answers polls with reports, applies toggle and pulse commands, reports
// by itself every few seconds, and takes operator lines on standard input or from a
// scenario file. Every datagram in and out is traced on standard output.
#include "config/DataFile.h"
#include "config/UnitConfiguration.h"
#include "tools/unit_sim_protocol.h"

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
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

constexpr const char* ProgramName = "quellmarinox-unit-sim";
constexpr std::uint16_t DefaultPort = 3012;
constexpr std::size_t MaxNameLength = sizeof(UnitConfiguration::DeviceName) - 1;
constexpr std::size_t MaxLineLength = 4096;

volatile sig_atomic_t stopSignal = 0;
void OnStopSignal(int signal) { stopSignal = signal; }

struct Options {
  std::uint16_t port = DefaultPort;
  std::string name = "KELDRON";
  bool nameGiven = false;
  double every = 5;
  std::string script;
  std::string writeConfig;
  bool help = false;
};

void PrintHelp() {
  std::printf(
      "Usage: %s [--port N] [--name NAME] [--every S] [--script FILE]\n"
      "       %s --write-config FILE [--port N] [--name NAME]\n"
      "\n"
      "Simulates the remote unit on 127.0.0.1 (never any other address).\n"
      "  --port N           UDP port, 0 for one the system picks (default %u)\n"
      "  --name NAME        device name, at most %zu characters (default KELDRON)\n"
      "  --every S          seconds between unsolicited reports, 0 for none (default 5)\n"
      "  --script FILE      timed commands, lines 'AT_SECONDS COMMAND', '#' for comments\n"
      "  --write-config FILE  write a data file for the panel: defaults, 127.0.0.1 and the port\n"
      "  --help             this text\n"
      "\n"
      "Commands on standard input, one per line:\n"
      "  in N 0|1     digital input N (1 to 16)      an N RAW   analogue input N (1 to 8), RAW 0 to 9999\n"
      "  out N 0|1    output N (1 to 16)             silent S   neither answer nor report for S seconds\n"
      "  report       send a report now              quit       stop\n",
      ProgramName, ProgramName, static_cast<unsigned>(DefaultPort), MaxNameLength);
}

// Parses the command line; a message and nullopt for anything it cannot take.
std::optional<Options> ReadOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      options.help = true;
      continue;
    }
    const bool takesValue = argument == "--port" || argument == "--name" || argument == "--every" ||
                            argument == "--script" || argument == "--write-config";
    if (!takesValue) {
      std::fprintf(stderr, "%s: unknown argument '%s'\n", ProgramName, Printable(argument).c_str());
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "%s: %s needs a value\n", ProgramName, argument.c_str());
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (value.empty()) {
      std::fprintf(stderr, "%s: %s needs a value\n", ProgramName, argument.c_str());
      return std::nullopt;
    }
    if (argument == "--port") {
      const auto port = ParseWholeNumber(value, 0, 65535);
      if (!port) {
        std::fprintf(stderr, "%s: --port needs a whole number from 0 to 65535, not '%s'\n", ProgramName,
                     Printable(value).c_str());
        return std::nullopt;
      }
      options.port = static_cast<std::uint16_t>(*port);
    } else if (argument == "--name") {
      if (value.size() > MaxNameLength) {
        std::fprintf(stderr, "%s: --name takes at most %zu characters\n", ProgramName, MaxNameLength);
        return std::nullopt;
      }
      options.name = value;
      options.nameGiven = true;
    } else if (argument == "--every") {
      const auto every = ParseSeconds(value);
      if (!every) {
        std::fprintf(stderr, "%s: --every needs seconds from 0 to 86400, not '%s'\n", ProgramName,
                     Printable(value).c_str());
        return std::nullopt;
      }
      options.every = *every;
    } else if (argument == "--script") {
      options.script = value;
    } else {
      options.writeConfig = value;
    }
  }
  if (!options.writeConfig.empty() && options.port == 0) {
    std::fprintf(stderr, "%s: --write-config needs a port from 1 to 65535\n", ProgramName);
    return std::nullopt;
  }
  return options;
}

// A data file the panel can be started with (-F FILE -c) that keeps it on loopback.
int WriteLoopbackConfiguration(const Options& options) {
  UnitConfiguration config{};
  SetDefaults(config);
  WriteText(config.IPAddress, "127.0.0.1");
  config.Port = options.port;
  if (options.nameGiven) WriteText(config.DeviceName, options.name);
  const SaveResult saved = WriteDataFile(options.writeConfig, config);
  if (!saved.ok) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", ProgramName, options.writeConfig.c_str(), saved.reason.c_str());
    return 1;
  }
  std::printf("wrote %s for 127.0.0.1:%u\n", options.writeConfig.c_str(), static_cast<unsigned>(options.port));
  return 0;
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

class UnitSimulator {
 public:
  UnitSimulator(Options options, std::vector<ScriptStep> script)
      : options_(std::move(options)), script_(std::move(script)) {}
  ~UnitSimulator() {
    if (socket_ >= 0) ::close(socket_);
  }
  UnitSimulator(const UnitSimulator&) = delete;
  UnitSimulator& operator=(const UnitSimulator&) = delete;

  // Binds, then serves until quit or a signal; the exit code.
  int Run() {
    if (!Bind()) return 1;
    start_ = Clock::now();
    nextReport_ = After(start_, options_.every);
    while (!quit_ && stopSignal == 0) {
      pollfd watched[2] = {{socket_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
      const nfds_t count = stdinOpen_ ? 2 : 1;
      const int ready = ::poll(watched, count, MillisecondsToNextWork());
      if (ready < 0 && errno != EINTR) {
        std::printf("error: poll failed: %s\n", std::strerror(errno));
        return 1;
      }
      if (ready > 0 && (watched[0].revents & POLLIN)) ReceiveDatagram();
      if (ready > 0 && stdinOpen_ && (watched[1].revents & (POLLIN | POLLHUP | POLLERR))) ReadStandardInput();
      DoDueWork(Clock::now());
      // One write per turn: a datagram's trace line and the answer's arrive together, and only
      // once the answer has been sent, so a reader of the trace knows it is on its way.
      std::fflush(stdout);
    }
    if (stopSignal != 0) std::printf("stopped by signal %d\n", static_cast<int>(stopSignal));
    return 0;
  }

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
    std::printf("listening on %s\n", AddressText(local).c_str());
    std::printf("unit %s, reporting every %g s%s, %zu scripted command(s)\n", Printable(options_.name).c_str(),
                options_.every, options_.every > 0 ? "" : " (never)", script_.size());
    std::fflush(stdout);
    return true;
  }

  int MillisecondsToNextWork() const {
    const TimePoint now = Clock::now();
    TimePoint next = now + std::chrono::seconds(1);
    if (nextStep_ < script_.size()) next = std::min(next, After(start_, script_[nextStep_].at));
    if (options_.every > 0) next = std::min(next, nextReport_);
    if (silent_) next = std::min(next, silentUntil_);
    for (const auto& end : pulseEnds_)
      if (end) next = std::min(next, *end);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::max<long long>(wait, 0));
  }

  void DoDueWork(TimePoint now) {
    if (silent_ && now >= silentUntil_) {
      silent_ = false;
      std::printf("silence over\n");
    }
    bool pulseEnded = false;
    for (int i = 0; i < SimOutputCount; ++i) {
      if (pulseEnds_[i] && now >= *pulseEnds_[i]) {
        pulseEnds_[i].reset();
        image_.outputs[i] = false;
        std::printf("pulse end: output %d off\n", i + 1);
        pulseEnded = true;
      }
    }
    if (pulseEnded) ReportToPanel();
    while (!quit_ && nextStep_ < script_.size() && now >= After(start_, script_[nextStep_].at)) {
      const ScriptStep& step = script_[nextStep_++];
      std::printf("script %g: %s\n", step.at, step.text.c_str());
      Execute(step.command);
    }
    if (options_.every > 0 && now >= nextReport_) {
      ReportToPanel();
      nextReport_ = After(now, options_.every);
    }
  }

  void ReceiveDatagram() {
    char buffer[65536];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t size = ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (size < 0) {
      if (errno != EINTR && errno != EAGAIN) std::printf("error: receive failed: %s\n", std::strerror(errno));
      return;
    }
    const std::string_view text(buffer, static_cast<std::size_t>(size));
    std::printf("<- %s %s\n", AddressText(from).c_str(), Printable(text).c_str());
    if (!IsLoopback(from)) {
      std::printf("ignored: sender is not on loopback\n");
      return;
    }
    if (silent_) {
      std::printf("silent: not answered\n");
      return;
    }
    HandleDatagram(ClassifyDatagram(text, options_.name), from);
  }

  void HandleDatagram(const DatagramAction& action, const sockaddr_in& from) {
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
          std::printf("toggle: output %d %s\n", i + 1, image_.outputs[i] ? "on" : "off");
        }
        ReportToPanel();
        return;
      case Kind::Pulse:
        peer_ = from;
        for (int i = 0; i < SimOutputCount; ++i) {
          if (!action.outputs[i]) continue;
          image_.outputs[i] = true;
          pulseEnds_[i] = Clock::now() + std::chrono::milliseconds(action.pulseLength * 10);
          std::printf("pulse: output %d on for %lld x 10 ms\n", i + 1, static_cast<long long>(action.pulseLength));
        }
        ReportToPanel();
        return;
      case Kind::PulseIgnored:
        peer_ = from;
        std::printf("ignored: %s\n", action.note.c_str());
        return;
      case Kind::Acknowledgement: std::printf("acknowledged\n"); return;
      case Kind::Ignored: std::printf("ignored: %s\n", action.note.c_str()); return;
    }
  }

  void ReadStandardInput() {
    char buffer[1024];
    const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (size < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (size <= 0) {
      if (!pending_.empty()) ExecuteLine(std::exchange(pending_, {}));
      stdinOpen_ = false;
      std::printf("standard input closed; still running until quit or a signal\n");
      return;
    }
    pending_.append(buffer, static_cast<std::size_t>(size));
    std::size_t newline;
    while (!quit_ && (newline = pending_.find('\n')) != std::string::npos) {
      const std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      ExecuteLine(line);
    }
    if (pending_.size() > MaxLineLength) {
      std::printf("error: line longer than %zu characters dropped\n", MaxLineLength);
      pending_.clear();
    }
  }

  void ExecuteLine(const std::string& line) {
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') return;
    const ParsedCommand parsed = ParseOperatorCommand(line);
    if (!parsed.command) {
      std::printf("error: %s\n", parsed.error.c_str());
      return;
    }
    Execute(*parsed.command);
  }

  void Execute(const OperatorCommand& command) {
    using Kind = OperatorCommand::Kind;
    const int n = command.channel + 1;
    switch (command.kind) {
      case Kind::Input:
        image_.inputs[command.channel] = command.value != 0;
        std::printf("input %d = %d\n", n, command.value);
        break;
      case Kind::Analogue:
        image_.analogue[command.channel] = command.value;
        std::printf("analogue %d = %d\n", n, command.value);
        break;
      case Kind::Output:
        pulseEnds_[command.channel].reset();
        image_.outputs[command.channel] = command.value != 0;
        std::printf("output %d = %d\n", n, command.value);
        break;
      case Kind::Silent:
        silent_ = command.seconds > 0;
        silentUntil_ = After(Clock::now(), command.seconds);
        std::printf(silent_ ? "silent for %g s\n" : "silence over\n", command.seconds);
        return;
      case Kind::Report:
        if (!peer_) std::printf("no panel has polled or commanded yet: nothing sent\n");
        if (silent_) std::printf("silent: nothing sent\n");
        ReportToPanel();
        return;
      case Kind::Quit:
        quit_ = true;
        std::printf("quit\n");
        return;
    }
    // A changed input or output is reported at once, as a unit reporting by exception would.
    ReportToPanel();
  }

  // One report to the panel last heard from, unless none is known or the unit is silent.
  void ReportToPanel() {
    if (!peer_ || silent_) return;
    const std::string report = BuildUnitReport(options_.name, image_);
    if (::sendto(socket_, report.data(), report.size(), 0, reinterpret_cast<const sockaddr*>(&*peer_), sizeof *peer_) <
        0) {
      std::printf("error: send to %s failed: %s\n", AddressText(*peer_).c_str(), std::strerror(errno));
      return;
    }
    std::printf("-> %s %s\n", AddressText(*peer_).c_str(), Printable(report).c_str());
  }

  Options options_;
  std::vector<ScriptStep> script_;
  std::size_t nextStep_ = 0;
  int socket_ = -1;
  std::optional<sockaddr_in> peer_;
  UnitImage image_;
  std::array<std::optional<TimePoint>, SimOutputCount> pulseEnds_{};
  TimePoint start_{};
  TimePoint nextReport_{};
  TimePoint silentUntil_{};
  bool silent_ = false;
  bool stdinOpen_ = true;
  std::string pending_;
  bool quit_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ReadOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "Try '%s --help'.\n", ProgramName);
    return 2;
  }
  if (options->help) {
    PrintHelp();
    return 0;
  }
  if (!options->writeConfig.empty()) return WriteLoopbackConfiguration(*options);

  std::vector<ScriptStep> script;
  if (!options->script.empty()) {
    LoadedScript loaded = LoadScript(options->script);
    if (!loaded.error.empty()) {
      std::fprintf(stderr, "%s: %s\n", ProgramName, loaded.error.c_str());
      return 2;
    }
    script = std::move(loaded.steps);
  }

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);

  UnitSimulator simulator(*options, std::move(script));
  return simulator.Run();
}
