// Test doubles for the panel's interfaces, and a Rig that wires them to a PanelCore.
#pragma once

#include "app/PanelCore.h"
#include "config/DataFile.h"
#include "config/Prompts.h"
#include "link/UnitEndpoint.h"
#include "monitor/AlarmSound.h"
#include "monitor/EventLog.h"
#include "monitor/StatusView.h"

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

// Records what was sent, hands out queued datagrams; never touches the network.
class FakeEndpoint final : public UnitEndpoint {
 public:
  void SetRemote(std::string host, std::uint16_t port) override {
    host_ = std::move(host);
    port_ = port;
  }
  Result Open() override {
    if (failOpen) return Result::Failure("open refused");
    open_ = true;
    hostAtOpen = host_;
    return Result::Success();
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  Result Send(std::string_view datagram) override {
    if (failSend) return Result::Failure("send refused");
    sent.emplace_back(datagram);
    return Result::Success();
  }
  std::optional<std::string> Receive() override {
    if (incoming.empty()) return std::nullopt;
    std::string next = std::move(incoming.front());
    incoming.pop_front();
    return next;
  }

  const std::string& host() const { return host_; }
  std::uint16_t port() const { return port_; }

  std::vector<std::string> sent;
  std::deque<std::string> incoming;
  bool failOpen = false;
  bool failSend = false;
  std::string hostAtOpen;  // the remote host in force when the link was opened

 private:
  std::string host_;
  std::uint16_t port_ = 0;
  bool open_ = false;
};

// Shows now; after each reading it moves on to the next queued time, if any.
class SettableClock final : public Clock {
 public:
  LocalTime Now() const override {
    const LocalTime reading = now;
    if (!later.empty()) {
      now = later.front();
      later.pop_front();
    }
    return reading;
  }
  mutable LocalTime now{2026, 12, 5, 14, 3, 27};
  mutable std::deque<LocalTime> later;
};

// Keeps every file's bytes in memory and counts the entries tried.
class MemoryLogSink final : public LogSink {
 public:
  Result Append(const std::string& path, std::string_view bytes) override {
    ++attempts;
    files[path] += bytes;
    return Result::Success();
  }
  std::map<std::string, std::string> files;
  int attempts = 0;
};

class RecordingNotifier final : public OperatorNotifier {
 public:
  void Notify(const std::string& message) override { notices.push_back(message); }
  std::vector<std::string> notices;
};

class CountingSound final : public AlarmSound {
 public:
  void Play() override { ++plays; }
  void Stop() override { ++stops; }
  int plays = 0;
  int stops = 0;
};

// Answers from a script; records what was shown.
class ScriptedPrompts final : public Prompts {
 public:
  void ShowError(std::string_view message) override { errors.emplace_back(message); }
  SaveAnswer AskSave() override {
    ++questions;
    if (saveAnswers.empty()) return SaveAnswer::Cancel;
    const SaveAnswer answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> ChooseFileToOpen() override { return Next(openNames); }
  std::optional<std::string> ChooseFileToSave() override { return Next(saveNames); }

  std::vector<std::string> errors;
  std::deque<SaveAnswer> saveAnswers;
  std::deque<std::optional<std::string>> openNames;
  std::deque<std::optional<std::string>> saveNames;
  int questions = 0;

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& names) {
    if (names.empty()) return std::nullopt;
    auto name = names.front();
    names.pop_front();
    return name;
  }
};

// Keeps the last value of every control and counts assignments.
class RecordingView final : public StatusView {
 public:
  struct Look {
    Colour colour = 0;
    std::string caption;
    bool operator==(const Look&) const = default;
  };

  Colour InputIndicatorColour(int c) const override { return inputs[c].colour; }
  void SetInputIndicatorColour(int c, Colour colour) override { inputs[c].colour = colour, ++assignments; }
  std::string InputIndicatorCaption(int c) const override { return inputs[c].caption; }
  void SetInputIndicatorCaption(int c, std::string_view s) override { inputs[c].caption = s, ++assignments; }
  Colour OutputButtonColour(int c) const override { return outputColours[c]; }
  void SetOutputButtonColour(int c, Colour colour) override { outputColours[c] = colour, ++assignments; }
  Colour BarColour(int c) const override { return barColours[c]; }
  void SetBarColour(int c, Colour colour) override { barColours[c] = colour, ++assignments; }
  void SetBarValue(int c, std::int32_t v) override { barValues[c] = v, ++valueAssignments; }
  std::string AnalogueValueText(int c) const override { return valueTexts[c]; }
  void SetAnalogueValueText(int c, std::string_view s) override { valueTexts[c] = s, ++valueAssignments; }
  void SetInputLabelText(int c, std::string_view s) override { inputLabels[c] = s; }
  void SetOutputButtonCaption(int c, std::string_view s) override { outputCaptions[c] = s; }
  void SetAnalogueLabelText(int c, std::string_view s) override { analogueLabels[c] = s; }
  Colour CommsIndicatorColour() const override { return comms.colour; }
  void SetCommsIndicatorColour(Colour colour) override { comms.colour = colour, ++assignments; }
  std::string ConnectionStatusText() const override { return comms.caption; }
  void SetConnectionStatusText(std::string_view s) override { comms.caption = s, ++assignments; }
  std::string ConnectButtonCaption() const override { return connectCaption; }
  void SetConnectButtonCaption(std::string_view s) override { connectCaption = s; }
  void SetTitle(std::string_view s) override { title = s; }
  bool HelpButtonVisible() const override { return helpVisible; }
  void SetHelpButtonVisible(bool v) override { helpVisible = v; }

  std::array<Look, 16> inputs{};
  std::array<Colour, 16> outputColours{};
  std::array<Colour, 8> barColours{};
  std::array<std::int32_t, 8> barValues{};
  std::array<std::string, 8> valueTexts{};
  std::array<std::string, 16> inputLabels{}, outputCaptions{};
  std::array<std::string, 8> analogueLabels{};
  Look comms{Colours::Red, "Status"};
  std::string connectCaption = "Connect";
  std::string title;
  bool helpVisible = true;
  int assignments = 0;       // colours and captions
  int valueAssignments = 0;  // bar levels and value texts
};

// The lines of the day's log file as the sink holds them, each with its CR LF.
inline std::vector<std::string> LogLines(const MemoryLogSink& sink, const std::string& logDirectory,
                                         const LocalTime& day) {
  std::vector<std::string> lines;
  const auto it = sink.files.find(logDirectory + "/" + LogFileName(day));
  if (it == sink.files.end()) return lines;
  std::size_t start = 0;
  while (start < it->second.size()) {
    std::size_t end = it->second.find("\r\n", start);
    end = end == std::string::npos ? it->second.size() : end + 2;
    lines.push_back(it->second.substr(start, end - start));
    start = end;
  }
  return lines;
}

// A private program directory under the system's temporary folder, removed afterwards.
class TempProgramDirectory {
 public:
  explicit TempProgramDirectory(const std::string& prefix)
      : path(std::filesystem::temp_directory_path() /
             (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(++serial_))) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempProgramDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempProgramDirectory(const TempProgramDirectory&) = delete;
  TempProgramDirectory& operator=(const TempProgramDirectory&) = delete;
  std::string program() const { return (path / "quellmarinox-simple-panel").string(); }

  std::filesystem::path path;

 private:
  static inline int serial_ = 0;
};

// One of each service a PanelCore is given; the endpoint, the clock and the log sink may be
// real ones where a test or benchmark needs them.
template <typename Endpoint = FakeEndpoint, typename ClockType = SettableClock, typename Sink = MemoryLogSink>
struct FakeServices {
  PanelServices services() { return {endpoint, clock, sink, sound, prompts, notifier}; }

  Endpoint endpoint;
  ClockType clock;
  Sink sink;
  RecordingView view;
  CountingSound sound;
  ScriptedPrompts prompts;
  RecordingNotifier notifier;
};

// A PanelCore over the fakes, started as the program would be, in a private program
// directory under the system's temporary folder.
class Rig : public FakeServices<> {
 public:
  explicit Rig(const std::vector<std::string>& arguments = {}) : directory(temp.path) {
    core.FormCreate(arguments, temp.program());
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  void tick(int count = 1) {
    for (int i = 0; i < count; ++i) core.Timer1Timer();
  }
  // Queues one datagram and runs the tick that takes it.
  void report(std::string text) {
    endpoint.incoming.push_back(std::move(text));
    tick();
  }
  // The lines of today's log file, each with its CR LF.
  std::vector<std::string> logLines() const { return LogLines(sink, core.LogDirectory, clock.now); }
  // The log lines after "Application Started".
  std::vector<std::string> eventLines() const {
    auto lines = logLines();
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }

  TempProgramDirectory temp{"qmx-rig"};
  std::filesystem::path directory;
  PanelCore core{services(), view};
};
