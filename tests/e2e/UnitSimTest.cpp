// The simulated unit by itself: what it puts on the wire, its scenarios, its recordings and
// their replay, and how it refuses bad input.
#include "config/DataFile.h"
#include "e2e/Loopback.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// A socket on 127.0.0.1 that plays the panel's part.
class Wire {
 public:
  explicit Wire(std::uint16_t port) : port_(port) { socket_.bind(QHostAddress::LocalHost, 0); }
  void Send(const std::string& text) {
    socket_.writeDatagram(QByteArray::fromStdString(text), QHostAddress::LocalHost, port_);
    ++sent;
  }
  // The next datagram from the unit; empty after five seconds without one.
  std::string Next() {
    if (!socket_.hasPendingDatagrams()) socket_.waitForReadyRead(5000);
    if (!socket_.hasPendingDatagrams()) return {};
    return socket_.receiveDatagram().data().toStdString();
  }
  std::uint16_t port() const { return socket_.localPort(); }
  int sent = 0;

 private:
  QUdpSocket socket_;
  std::uint16_t port_;
};

struct Finished {
  int exitCode = -1;
  std::string out, err;
};

Finished RunToEnd(const QStringList& arguments) {
  std::vector<std::string> words;
  for (const QString& a : arguments) words.push_back(a.toStdString());
  ChildProgram process(UnitSimCommand(words), true);
  process.CloseInput();
  Finished result;
  const std::optional<int> exitCode = process.WaitForExit(10000);
  if (!exitCode) return result;
  result.exitCode = *exitCode;
  result.out = process.output();
  result.err = process.errors();
  return result;
}

constexpr const char* Poll = "KELDRON,U****************";
using Lines = std::vector<std::string>;

void WriteFile(const QString& path, const std::string& text) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text.data(), static_cast<qint64>(text.size()));
}

}  // namespace

TEST(UnitSim, AnswersPollsAndCommandsWithReports) {
  UnitSim sim({"--every", "0"});
  ASSERT_NE(sim.port(), 0);
  Wire wire(sim.port());

  // --- A poll is answered in the report layout
  wire.Send(Poll);
  EXPECT_EQ(wire.Next(), "KELDRON,U,0000000000000000,0000000000000000,0,0,0,0,0,0,0,0");

  // --- Operator lines change the image and are reported at once; bad lines change nothing
  for (const char* line : {"in 1 1", "in 17 1", "in 16 1", "an 1 10000", "an 1 512", "out 2 x", "an 3 9999", "fly"})
    sim.Command(line);
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000000,0000000000000000,0,0,0,0,0,0,0,0");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0000000000000000,0,0,0,0,0,0,0,0");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0000000000000000,512,0,0,0,0,0,0,0");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0000000000000000,512,0,9999,0,0,0,0,0");
  ASSERT_TRUE(sim.WaitFor("error: unknown command 'fly'"));
  EXPECT_EQ(sim.Count("error: "), 4);

  // --- Toggle and pulse commands, each answered by a report; the pulse ends by itself
  wire.Send("KELDRON,U,T,*1**************");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0100000000000000,512,0,9999,0,0,0,0,0");
  wire.Send("KELDRON,U,P2,**1*************");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0110000000000000,512,0,9999,0,0,0,0,0");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0100000000000000,512,0,9999,0,0,0,0,0");

  // --- Ignored without an answer: pulses that are not positive, other names, acknowledgements
  ASSERT_TRUE(sim.WaitFor("pulse end: output 3 off"));
  sim.AwaitReceived(wire.sent);
  const int answersBefore = sim.Count("-> 127.0.0.1:");
  for (const char* text :
       {"KELDRON,U,P0,**1*************", "KELDRON,U,P-5,**1*************", "KELDRON,U,T,*1*", "OTHER,U****************",
        "keldron,U****************", "KELDRONX,U****************", "KELDRON,C,S,****************", Poll})
    wire.Send(text);
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0100000000000000,512,0,9999,0,0,0,0,0");
  sim.AwaitReceived(wire.sent);
  EXPECT_EQ(sim.Count("-> 127.0.0.1:"), answersBefore + 1);
  EXPECT_TRUE(sim.Saw("ignored: pulse length 0 is not positive"));
  EXPECT_TRUE(sim.Saw("ignored: pulse length -5 is not positive"));
  EXPECT_EQ(sim.Count("ignored: not for this unit"), 3);
  EXPECT_TRUE(sim.Saw("acknowledged"));
}

TEST(UnitSim, SaysWhatIsWrongWithAnArgumentAndWritesALoopbackDataFile) {
  QTemporaryDir directory;
  const QString dir = directory.path();
  WriteFile(dir + "/bad.txt", "# a scenario\n1 in 3 1\n2 in 3 2\n");
  WriteFile(dir + "/late.txt", "1 loop\n2 in 1 1\n");
  WriteFile(dir + "/bad.rec", "0 <- 127.0.0.1:1 A\n5 -> 127.0.0.1:1 B C\n");
  WriteFile(dir + "/sent.rec", "# nothing received\n0 -> 127.0.0.1:1 B\n");

  // --- --help and --version end at once
  const Finished version = RunToEnd({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "quellmarinox-unit-sim 1.00\n");
  const Finished help = RunToEnd({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: quellmarinox-unit-sim [--port N] [--name NAME]")) << help.out;

  // --- A bad argument, one of each kind: the option, what it expects, and exit status 2
  const std::vector<std::pair<QStringList, std::string>> bad = {
      {{"--port", "70000"}, "--port expects a whole number from 0 to 65535, not '70000'"},
      {{"--port"}, "--port expects a value after it"},
      {{"--name", QString(32, 'N')}, "--name expects at most 31 characters, not 32"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"7"}, "unexpected argument '7': every value follows its option"},
      {{"--speed", "2"}, "--speed goes only with --replay"},
      {{"--replay", dir + "/bad.rec", "--record", dir + "/../" + QFileInfo(dir).fileName() + "/bad.rec"},
       "--record names the recording being replayed, which it would overwrite"},
      {{"--write-config", "u.dat", "--port", "0"},
       "--write-config expects a --port from 1 to 65535: the panel cannot send to port 0"},
      {{"--write-config", "u.dat", "--no-accept", "in2,an9"},
       "--no-accept expects a list such as in2,in3,an2,link (inputs 1 to 16, analogues 1 to 8), not 'in2,an9'"},
      {{"--no-report", "in1"}, "--no-report goes only with --write-config"}};
  for (const auto& [arguments, message] : bad) {
    const Finished run = RunToEnd(arguments);
    EXPECT_EQ(run.exitCode, 2) << message;
    EXPECT_EQ(run.err, "quellmarinox-unit-sim: " + message + "\nTry 'quellmarinox-unit-sim --help'.\n");
  }

  // --- A scenario or recording it cannot take: the file, the line and why, exit status 2
  const std::string d = dir.toStdString();
  const std::vector<std::pair<QStringList, std::string>> badFiles = {
      {{"--script", dir + "/none.txt"}, d + "/none.txt: cannot be read"},
      {{"--script", dir + "/bad.txt"}, d + "/bad.txt:3: usage: in N 0|1, N from 1 to 16"},
      {{"--script", dir + "/late.txt"}, d + "/late.txt:2: comes after the loop at 1 s"},
      {{"--replay", dir + "/bad.rec"}, d + "/bad.rec:2: expected 'MS DIR ADDRESS:PORT BYTES'"},
      {{"--replay", dir + "/sent.rec"},
       d + "/sent.rec: holds no datagram received from a panel, so there is nothing to wait for"}};
  for (const auto& [arguments, message] : badFiles) {
    const Finished run = RunToEnd(QStringList{"--port", "0"} + arguments);
    EXPECT_EQ(run.exitCode, 2) << message;
    EXPECT_EQ(run.err, "quellmarinox-unit-sim: " + message + "\n");
  }
  const Finished unrecordable = RunToEnd({"--port", "0", "--record", dir + "/missing/x.rec"});
  EXPECT_EQ(unrecordable.exitCode, 1);
  EXPECT_EQ(unrecordable.err,
            "quellmarinox-unit-sim: cannot write " + d + "/missing/x.rec: No such file or directory\n");

  // --- --write-config: the defaults with 127.0.0.1, the given port, and the flags cleared
  const QString dataFile = dir + "/unit.dat";
  EXPECT_EQ(RunToEnd({"--write-config", dataFile, "--port", "4321", "--no-accept", "in2,in16,an3,link", "--no-report",
                      "in4,an1"})
                .exitCode,
            0);
  UnitConfiguration loaded{};
  ASSERT_EQ(ReadDataFile(dataFile.toStdString(), loaded), LoadOutcome::Loaded);
  UnitConfiguration expected{};
  SetDefaults(expected);
  WriteText(expected.IPAddress, "127.0.0.1");
  expected.Port = 4321;
  expected.DigitalRequiresAccept[1] = expected.DigitalRequiresAccept[15] = expected.AnalogueRequiresAccept[2] = 0;
  expected.LostLinkRequiresAccept = 0;
  expected.DigitalEnableReporting[3] = expected.AnalogueEnableReporting[0] = 0;
  EXPECT_FALSE(ConfigurationDiffers(loaded, expected));
  const Finished unwritable = RunToEnd({"--write-config", dir + "/missing/unit.dat"});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_FALSE(unwritable.err.empty());

  // --- --show-config: where a data file sends, as the panel reads it; scripts ask it before -c
  const Finished shown = RunToEnd({"--show-config", dataFile});
  EXPECT_EQ(std::tuple(shown.exitCode, shown.out), std::tuple(0, std::string("127.0.0.1 4321\n")));
  WriteFile(dir + "/notes.txt", "not a data file\n");
  const Finished notOurs = RunToEnd({"--show-config", dir + "/notes.txt"});
  EXPECT_EQ(std::tuple(notOurs.exitCode, notOurs.out), std::tuple(1, std::string()));
  EXPECT_EQ(notOurs.err, "quellmarinox-unit-sim: " + d + "/notes.txt: Incompatible data file.\n");
}

TEST(UnitSim, PlaysAScenarioWithRampNoisePulseAndLoop) {
  QTemporaryDir directory;
  const QString scenario = directory.path() + "/story.txt";
  WriteFile(scenario, "0.2 pulse 4 0.2\n0 an 3 500\n0 noise 3 5\n  # analogue 2 climbs\n0 ramp 2 0 100 1\n1.2 loop\n");
  UnitSim sim({"--every", "0", "--seed", "7", "--script", scenario});
  ASSERT_NE(sim.port(), 0);
  ASSERT_TRUE(sim.WaitFor("script 1.2: noise 3 5"));  // the second round has begun

  // Every trace line but the readiness line carries the time of day.
  Lines analogue, steps;
  for (std::size_t i = 1; i < sim.lines().size(); ++i) {
    const std::string line = Untimed(sim.lines()[i]);
    if (line == "script 1.2: noise 3 5") break;
    EXPECT_NE(line, sim.lines()[i]);
    if (line.starts_with("analogue "))
      analogue.push_back(line);
    else if (line.starts_with("script ") || line.starts_with("pulse"))
      steps.push_back(line);
  }
  // Ramp and noise are worked out on the half-second grid, the noise from the seed.
  EXPECT_EQ(analogue, (Lines{"analogue 3 = 500", "analogue 2 = 50", "analogue 3 = 497", "analogue 2 = 100",
                             "analogue 3 = 495", "analogue 3 = 500"}));
  EXPECT_EQ(steps, (Lines{"script 0: an 3 500", "script 0: noise 3 5", "script 0: ramp 2 0 100 1",
                          "script 0.2: pulse 4 0.2", "pulse: output 4 on for 0.2 s", "pulse end: output 4 off",
                          "script 1.2: loop", "script 1.2: an 3 500"}));
}

TEST(UnitSim, RecordsEveryByteAndReplaysTheUnitsSideToWhereverThePanelIs) {
  QTemporaryDir directory;
  const QString recording = directory.path() + "/wire.rec";
  std::string allBytes;
  for (int byte = 0; byte < 256; ++byte) allBytes += static_cast<char>(byte);

  std::string unit, panel;
  {
    UnitSim sim({"--every", "0", "--record", recording});
    ASSERT_NE(sim.port(), 0);
    Wire wire(sim.port());
    wire.Send(Poll);
    EXPECT_EQ(wire.Next(), "KELDRON,U,0000000000000000,0000000000000000,0,0,0,0,0,0,0,0");
    wire.Send(allBytes);
    sim.AwaitReceived(wire.sent);
    unit = "127.0.0.1:" + std::to_string(sim.port());
    panel = "127.0.0.1:" + std::to_string(wire.port());
  }

  // --- One line a datagram: whole milliseconds, direction, the panel's address, the bytes
  QFile file(recording);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  Lines lines;
  while (!file.atEnd()) lines.push_back(file.readLine().chopped(1).toStdString());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "# quellmarinox-unit-sim 1.00 recording: unit KELDRON on " + unit);
  Lines fields;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t space = lines[i].find(' ');
    EXPECT_EQ(lines[i].find_first_not_of("0123456789"), space);
    fields.push_back(lines[i].substr(space + 1));
  }
  EXPECT_EQ(fields[0], "<- " + panel + " KELDRON,U****************");
  EXPECT_EQ(fields[1], "-> " + panel + " KELDRON,U,0000000000000000,0000000000000000,0,0,0,0,0,0,0,0");
  const std::string escaped = fields[2].substr(fields[2].rfind(' ') + 1);
  // Printable ASCII but the blank and the backslash as itself, every other byte as \xHH.
  EXPECT_EQ(escaped.size(), 163u * 4 + 93);
  EXPECT_TRUE(escaped.starts_with(R"(\x00\x01\x02)") && escaped.ends_with(R"(\xFE\xFF)")) << escaped;
  EXPECT_NE(escaped.find(R"(\x1F\x20!"#$%&'()*+,-./0123456789:;<=>?@ABC)"), std::string::npos) << escaped;
  EXPECT_NE(escaped.find(R"(XYZ[\x5C]^_`abc)"), std::string::npos) << escaped;
  EXPECT_NE(escaped.find(R"(xyz{|}~\x7F\x80\x81)"), std::string::npos) << escaped;

  // --- Played back: the replay waits for the recording's first datagram from wherever the
  // panel is, then sends the unit's datagrams at their offsets, here a thousand times faster.
  const QString replayFile = directory.path() + "/replay.rec";
  WriteFile(replayFile, "0 <- 127.0.0.1:9 KELDRON,U****************\n60000 -> 127.0.0.1:9 " + escaped + "\n");
  UnitSim replay({"--replay", replayFile, "--speed", "1000"});
  ASSERT_NE(replay.port(), 0);
  Wire wire(replay.port());
  wire.Send("KELDRON,U,T,*1**************");
  ASSERT_TRUE(replay.WaitFor("not the recording's first datagram; still waiting"));
  wire.Send(Poll);
  EXPECT_EQ(wire.Next(), allBytes);
  EXPECT_TRUE(replay.WaitFor("replay finished: 1 datagram(s) sent"));
}
