// The shipped program flooded on 127.0.0.1. The test plays the unit on a socket of its own:
// the panel, started with a data file that names that socket and -c, polls it, and the
// poll's source address is the panel's endpoint, which the test then floods. Afterwards the
// panel still answers reports, has polled on time throughout, has logged only whole lines
// that the reports explain, and holds no more memory than before to speak of.
#include "program/PanelProcess.h"
#include "support/LoopbackSocket.h"
#include "support/TargetProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string_view>

#ifndef QMX_FLOOD_DATAGRAMS
#define QMX_FLOOD_DATAGRAMS 40000
#endif

using namespace panel_process;

namespace {

constexpr std::string_view Poll = "KELDRON,U****************";
constexpr std::string_view Ack = "KELDRON,C,S,****************";

using Received = LoopbackSocket::Received;

// A report of the given type; `inputs` holds 16 "0"/"1".
// cppcheck-suppress constParameterReference ; drawing a number changes the generator
std::string Report(char type, const std::string& inputs, std::mt19937& random) {
  std::string text = "KELDRON," + std::string(1, type) + "," + inputs + ",";
  for (int i = 0; i < 16; ++i) text += static_cast<char>('0' + random() % 2);
  for (int i = 0; i < 8; ++i) (text += ',') += std::to_string(random() % 1024);  // inside the default band
  return text;
}

// Inputs 1 to 4 at random, the rest off.
// cppcheck-suppress constParameterReference ; drawing a number changes the generator
std::string FloodInputs(std::mt19937& random) {
  std::string inputs(16, '0');
  for (int i = 0; i < 4; ++i) inputs[i] = static_cast<char>('0' + random() % 2);
  return inputs;
}

// One datagram of the flood: valid reports, foreign and near-miss names, random bytes, NULs,
// cut reports, empty datagrams, 60 KB datagrams. Its reports are of a type that asks for no
// acknowledgement, so every acknowledgement after it answers one of the test's own reports.
std::string FloodDatagram(int i, std::mt19937& random) {
  static const char* const Foreign[] = {"OTHERUNIT", "keldron", "KELDRONX", "KELDRO", ""};
  std::string report = Report('X', FloodInputs(random), random);
  switch (i % 8) {
    case 0:
    case 1: return report;
    case 2: return Foreign[random() % 5] + report.substr(7);
    case 3: {
      std::string bytes(1 + random() % 600, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      return bytes;
    }
    case 4: report[random() % report.size()] = '\0'; return report;
    case 5:
      if (i % 400 == 5) return report + std::string(60000 - report.size(), 'x');
      return report.substr(0, random() % report.size());
    case 6: return {};
    default: return report + std::string(random() % 2000, ',');
  }
}

// The panel's resident memory in kB. Under an emulator the process is the emulator's too, and
// the emulator's own heap (the host's "[heap]"; the panel's heap is a mapping of the emulated
// address space) holds the tables of the code it has translated, which grow as the flood takes
// new paths: that heap is left out, so the same bound judges the panel on every platform.
std::optional<long> ResidentKilobytes(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  if (std::string_view(QMX_TARGET_RUNNER).empty()) {
    std::ifstream status(proc + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return std::nullopt;
  }
  std::ifstream smaps(proc + "/smaps");
  std::optional<long> total;
  bool emulatorHeap = false;
  for (std::string line; std::getline(smaps, line);) {
    const std::size_t space = line.find(' ');
    if (space != std::string::npos && line.find('-') < space && line.find(':') > space)
      emulatorHeap = line.ends_with("[heap]");  // a mapping's first line: "start-end perms ... name"
    else if (line.starts_with("Rss:") && !emulatorHeap)
      total = total.value_or(0) + std::stol(line.substr(4));
  }
  return total;
}

double Seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

TEST(Program, FloodOfDatagrams) {
  TempProgramDirectory folder("qmx-flood");
  LoopbackSocket unit;
  ASSERT_NE(unit.port(), 0);

  // The unit at the test's socket; a poll every 21 ticks whether the link is up or down.
  UnitConfiguration config{};
  SetDefaults(config);
  WriteText(config.IPAddress, "127.0.0.1");
  config.Port = unit.port();
  config.TimeoutPeriod = 1;
  const std::string dataFile = (folder.path / "unit.dat").string();
  ASSERT_TRUE(WriteDataFile(dataFile, config).ok);
  UnitConfiguration written{};  // -c connects to what the file holds: make sure it is this machine
  ASSERT_EQ(ReadDataFile(dataFile, written), LoadOutcome::Loaded);
  ASSERT_EQ(ReadText(written.IPAddress), "127.0.0.1");
  ASSERT_EQ(written.Port, unit.port());

  // The sanitizer keeps freed memory in a quarantine (256 MB by default) that would swamp the
  // memory figure below; a small one leaves it about the panel.
  PanelProcess panel(folder.path, {"-F" + dataFile, "-c"}, "offscreen", ":quarantine_size_mb=1");
  const auto deadline = SteadyClock::now() + Patience;
  std::optional<Received> poll;
  while (!poll && SteadyClock::now() < deadline)
    if (auto r = unit.Receive(std::chrono::milliseconds(100)); r && r->bytes == Poll) poll = r;
  ASSERT_TRUE(poll) << "no poll from the panel";
  const sockaddr_in panelAddress = poll->from;
  ASSERT_EQ(ntohl(panelAddress.sin_addr.s_addr), INADDR_LOOPBACK);

  std::vector<SteadyClock::time_point> acks;
  std::vector<SteadyClock::time_point> polls;
  const auto take = [&](std::chrono::milliseconds wait) {
    const auto r = unit.Receive(wait);
    if (r && r->bytes == Poll) polls.push_back(r->at);
    if (r && r->bytes == Ack) acks.push_back(r->at);
  };
  const auto takeFor = [&](SteadyClock::duration span) {
    for (const auto until = SteadyClock::now() + span; SteadyClock::now() < until;) take(std::chrono::milliseconds(10));
  };

  std::mt19937 random(7);
  unit.SendTo(panelAddress, Report('U', std::string(16, '0'), random));
  while (acks.empty() && SteadyClock::now() < deadline) take(std::chrono::milliseconds(100));
  ASSERT_EQ(acks.size(), 1U);
  ASSERT_TRUE(panel.WaitForEvent("Comms Connected"));
  takeFor(std::chrono::seconds(1));
  acks.clear();
  const std::optional<long> residentBefore = ResidentKilobytes(panel.pid());
  ASSERT_TRUE(residentBefore);

  for (int i = 0; i < QMX_FLOOD_DATAGRAMS; ++i) unit.SendTo(panelAddress, FloodDatagram(i, random));

  // Then reports that ask for an acknowledgement, one every 200 ms until the first is
  // answered. The socket refuses datagrams while full and, once it has room again, takes
  // every later one, so the N acknowledgements answer the last N reports sent, and the first
  // of those shows how long a report waits behind a flood.
  std::vector<SteadyClock::time_point> sent;
  const auto floodEnd = SteadyClock::now();
  polls.clear();  // those that waited while the flood went out carry late times
  while (acks.empty() && SteadyClock::now() < floodEnd + Patience && !panel.Ended()) {
    if (SteadyClock::now() >= floodEnd + std::chrono::milliseconds(200) * sent.size()) {
      unit.SendTo(panelAddress, Report('U', std::string(16, '0'), random));
      sent.push_back(SteadyClock::now());
    }
    take(std::chrono::milliseconds(10));
  }
  ASSERT_FALSE(acks.empty()) << "the panel did not work off the flood";
  // The ones still queued are answered one a tick; two seconds without an answer end them.
  for (std::size_t seen = 0; seen != acks.size();) {
    seen = acks.size();
    takeFor(std::chrono::seconds(2));
  }
  ASSERT_LE(acks.size(), sent.size());
  const double staleness = Seconds(acks.front() - sent[sent.size() - acks.size()]);

  // The queue is empty now: a fresh report is answered at the next tick.
  const std::size_t answered = acks.size();
  unit.SendTo(panelAddress, Report('U', std::string(16, '0'), random));
  const auto freshSent = SteadyClock::now();
  // cppcheck-suppress knownConditionTrueFalse ; take() adds to acks
  while (acks.size() == answered && SteadyClock::now() < freshSent + Patience) take(std::chrono::milliseconds(100));
  // cppcheck-suppress knownConditionTrueFalse ; take() adds to acks
  ASSERT_GT(acks.size(), answered) << "no acknowledgement of a fresh report after the flood";
  while (polls.size() < 6 && SteadyClock::now() < freshSent + Patience) take(std::chrono::milliseconds(100));

  // Polls kept their pace (21 ticks, 1.05 s) all along: the tick never waited on the flood.
  ASSERT_GE(polls.size(), 6U);
  for (std::size_t i = 1; i < polls.size(); ++i) {
    EXPECT_GT(Seconds(polls[i] - polls[i - 1]), 0.5);
    EXPECT_LT(Seconds(polls[i] - polls[i - 1]), 4.0);
  }

  // The panel's memory holds no flood: the queue lives in the socket's kernel buffer.
  const std::optional<long> residentAfter = ResidentKilobytes(panel.pid());
  ASSERT_TRUE(residentAfter);
  EXPECT_LT(*residentAfter - *residentBefore, 8 * 1024);

  std::printf(
      "flood of %d datagrams: the first report let in after it was answered %.2f s later (%zu of %zu "
      "got in); a fresh one then %.3f s later; resident memory %ld kB before, %ld kB after\n",
      QMX_FLOOD_DATAGRAMS, staleness, answered, sent.size(), Seconds(acks.back() - freshSent), *residentBefore,
      *residentAfter);

  panel.Signal(SIGTERM);
  EXPECT_EQ(panel.WaitForExit(), 0);
  // Every entry whole, and only what the reports could cause.
  const std::regex expected("Application Started|Comms Connected|Input [1-4] Alarm|Application Closed");
  const std::vector<std::string> events = panel.Events();
  for (const std::string& event : events) EXPECT_TRUE(std::regex_match(event, expected)) << event;
  EXPECT_EQ(events.back(), "Application Closed");
}
