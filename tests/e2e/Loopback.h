// Helpers for the end-to-end tests: the simulated unit as a child process on 127.0.0.1,
// an endpoint wrapper that lets a test wait for exactly the datagrams the panel sent, and a
// panel core over that endpoint.
#pragma once

#include "link/UdpUnitEndpoint.h"
#include "monitor/EventLog.h"
#include "support/ChildProgram.h"
#include "support/Fakes.h"
#include "support/TargetProgram.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The real endpoint, counting what it sends so the test knows how many datagrams the
// simulator should have seen.
class CountingEndpoint final : public UnitEndpoint {
 public:
  void SetRemote(std::string host, std::uint16_t port) override {
    host_ = host;
    real_.SetRemote(std::move(host), port);
  }
  Result Open() override { return real_.Open(); }
  void Close() override { real_.Close(); }
  bool IsOpen() const override { return real_.IsOpen(); }
  Result Send(std::string_view datagram) override {
    // A last guard: nothing from these tests may leave for an address off this machine.
    if (host_ != "127.0.0.1") return Result::Failure("test endpoint refuses " + host_);
    Result result = real_.Send(datagram);
    if (result.ok) ++sent;
    return result;
  }
  std::optional<std::string> Receive() override { return real_.Receive(); }

  int sent = 0;

 private:
  UdpUnitEndpoint real_;
  std::string host_;
};

// A trace line without its time of day ("14:03:27.250 ").
inline std::string Untimed(std::string_view line) {
  const bool stamped = line.size() > 13 && line[2] == ':' && line[5] == ':' && line[8] == '.' && line[12] == ' ';
  return std::string(stamped ? line.substr(13) : line);
}

// The command that starts the simulated unit with `arguments`.
inline std::vector<std::string> UnitSimCommand(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = TargetCommand(QMX_UNIT_SIM);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

class UnitSim {
 public:
  explicit UnitSim(const QStringList& arguments) : process_(CommandLine(arguments)) {
    if (!process_.started()) return;
    const QDeadlineTimer deadline(10000);
    const std::string ready = "listening on 127.0.0.1:";
    while (port_ == 0 && !deadline.hasExpired()) {
      Read(100);
      for (const std::string& line : lines_)
        if (line.starts_with(ready)) port_ = static_cast<std::uint16_t>(std::stoi(line.substr(ready.size())));
    }
  }
  ~UnitSim() { process_.Kill(); }
  UnitSim(const UnitSim&) = delete;
  UnitSim& operator=(const UnitSim&) = delete;

  // 0 when the simulator did not come up.
  std::uint16_t port() const { return port_; }

  void Command(const std::string& line) { process_.Write(line + "\n"); }

  // Takes what the simulator has printed, waiting at most `milliseconds` for something new.
  void Read(int milliseconds) {
    process_.Read(milliseconds);
    while (std::optional<std::string> line = process_.TakeLine()) lines_.push_back(std::move(*line));
  }

  int Count(std::string_view text) const {
    return static_cast<int>(std::count_if(
        lines_.begin(), lines_.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
  }
  bool Saw(std::string_view text) const { return Count(text) > 0; }
  // Whether a trace line, its time of day aside, starts with `start`.
  bool SawLine(std::string_view start) const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& line) { return Untimed(line).starts_with(start); });
  }

  // Reads until a line holds `text`, for at most ten seconds.
  bool WaitFor(std::string_view text) {
    const QDeadlineTimer deadline(10000);
    while (!Saw(text) && !deadline.hasExpired()) Read(50);
    return Saw(text);
  }

  // Waits, at most two seconds, until the simulator has traced `count` received datagrams.
  // The trace of a datagram and of the answer to it arrive together, after the answer left.
  // A datagram that never arrives is written off, so later waits do not wait for it again.
  void AwaitReceived(int count) {
    const QDeadlineTimer deadline(2000);
    Read(0);
    while (Count("<- 127.0.0.1:") + lost_ < count && !deadline.hasExpired()) Read(50);
    lost_ = std::max(lost_, count - Count("<- 127.0.0.1:"));
  }

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  static std::vector<std::string> CommandLine(const QStringList& arguments) {
    std::vector<std::string> words{"--port", "0"};
    for (const QString& a : arguments) words.push_back(a.toStdString());
    return UnitSimCommand(words);
  }

  ChildProgram process_;
  std::uint16_t port_ = 0;
  int lost_ = 0;
  std::vector<std::string> lines_;
};

// Runs `tick` until `done` holds, at most `maxTicks` times. After each tick it waits only
// for the simulator to have taken every datagram the panel sent, so every answer is waiting
// in the panel's socket before the next tick reads.
inline bool TickUntil(UnitSim& sim, const CountingEndpoint& endpoint, const std::function<void()>& tick,
                      const std::function<bool()>& done, int maxTicks) {
  for (int i = 0; i < maxTicks; ++i) {
    tick();
    QCoreApplication::processEvents();
    sim.AwaitReceived(endpoint.sent);
    if (done()) return true;
  }
  return false;
}

// The panel's core over the real UDP endpoint, started in a private program directory.
struct LoopbackRig : FakeServices<CountingEndpoint> {
  LoopbackRig() { core.FormCreate({}, (directory.path() + "/quellmarinox-simple-panel").toStdString()); }

  void tick() { core.Timer1Timer(); }
  // The log lines after "Application Started".
  std::vector<std::string> eventLines() const {
    std::vector<std::string> lines = LogLines(sink, core.LogDirectory, clock.now);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
  // Puts the unit at 127.0.0.1:port; the endpoint refuses any other address anyway.
  void talkTo(std::uint16_t port) {
    WriteText(core.Configuration.IPAddress, "127.0.0.1");
    core.Configuration.Port = port;
    core.ApplyEndpoint();
  }

  QTemporaryDir directory;
  PanelCore core{services(), view};
};
