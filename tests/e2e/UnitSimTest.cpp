// The simulated unit by itself: what it puts on the wire, and how it refuses bad input.
#include "config/DataFile.h"
#include "e2e/Loopback.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

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
  QProcess process;
  process.start(QStringLiteral(QMX_UNIT_SIM), arguments);
  process.closeWriteChannel();
  Finished result;
  if (!process.waitForFinished(10000)) {
    process.kill();
    process.waitForFinished(1000);
    return result;
  }
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput().toStdString();
  result.err = process.readAllStandardError().toStdString();
  return result;
}

constexpr const char* Poll = "KELDRON,U****************";

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

  // --- Silent: polls go unanswered until the silence is over
  sim.Command("silent 3600");
  ASSERT_TRUE(sim.WaitFor("silent for 3600 s"));
  wire.Send(Poll);
  sim.AwaitReceived(wire.sent);
  EXPECT_TRUE(sim.Saw("silent: not answered"));
  sim.Command("silent 0");
  sim.Command("report");
  EXPECT_EQ(wire.Next(), "KELDRON,U,1000000000000001,0100000000000000,512,0,9999,0,0,0,0,0");
}

TEST(UnitSim, RefusesBadArgumentsAndWritesALoopbackDataFile) {
  QTemporaryDir directory;
  const QString badScript = directory.path() + "/bad.txt";
  QFile file(badScript);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("# a scenario\n1 in 3 1\n2 in 3 2\n");
  file.close();

  // --- Bad arguments: a message and exit code 2
  const std::vector<QStringList> bad = {{"--port", "70000"},
                                        {"--port", "-1"},
                                        {"--port"},
                                        {"--every", "-1"},
                                        {"--every", "nan"},
                                        {"--frobnicate"},
                                        {"--name", QString(32, 'N')},
                                        {"--script", directory.path() + "/none.txt"},
                                        {"--script", badScript},
                                        {"--write-config", directory.path() + "/unit.dat", "--port", "0"}};
  for (const QStringList& arguments : bad) {
    const Finished run = RunToEnd(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_FALSE(run.err.empty()) << arguments.join(' ').toStdString();
  }
  EXPECT_NE(RunToEnd({"--script", badScript}).err.find("bad.txt:3: usage: in N 0|1"), std::string::npos);

  // --- --write-config: the defaults with 127.0.0.1 and the given port
  const QString dataFile = directory.path() + "/unit.dat";
  EXPECT_EQ(RunToEnd({"--write-config", dataFile, "--port", "4321"}).exitCode, 0);
  UnitConfiguration loaded{};
  ASSERT_EQ(ReadDataFile(dataFile.toStdString(), loaded), LoadOutcome::Loaded);
  UnitConfiguration expected{};
  SetDefaults(expected);
  WriteText(expected.IPAddress, "127.0.0.1");
  expected.Port = 4321;
  EXPECT_FALSE(ConfigurationDiffers(loaded, expected));
  const Finished unwritable = RunToEnd({"--write-config", directory.path() + "/missing/unit.dat"});
  EXPECT_NE(unwritable.exitCode, 0);
  EXPECT_FALSE(unwritable.err.empty());

  // --- A scenario runs its lines at their times and may end the program
  QFile scenario(directory.path() + "/short.txt");
  ASSERT_TRUE(scenario.open(QIODevice::WriteOnly));
  scenario.write("0.2 quit\n0 in 5 1\n# the unit's analogue 2 rises\n0.1   an 2 100\n");
  scenario.close();
  const Finished scripted = RunToEnd({"--port", "0", "--script", scenario.fileName()});
  EXPECT_EQ(scripted.exitCode, 0);
  const auto inAt = scripted.out.find("script 0: in 5 1\ninput 5 = 1\n");
  const auto anAt = scripted.out.find("script 0.1: an 2 100\nanalogue 2 = 100\n");
  const auto quitAt = scripted.out.find("script 0.2: quit\nquit\n");
  EXPECT_TRUE(inAt < anAt && anAt < quitAt && quitAt != std::string::npos) << scripted.out;
}
