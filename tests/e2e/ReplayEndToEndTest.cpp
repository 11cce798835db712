// A session between the panel and the simulated unit, recorded once and replayed twice: the
// panel writes the same log each time.
#include "e2e/Loopback.h"

#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

// The panel's log of one session, without the time stamps, from Connect to Disconnect.
// A recording plays at its own pace, so the panel is ticked at its own, every 50 ms, until
// the unit's trace shows `last` (or a minute has passed).
Lines Session(UnitSim& sim, std::string_view last) {
  LoopbackRig rig;
  UnitConfiguration& config = rig.core.Configuration;
  config.UpdatePeriod = 1;  // lost after 20 ticks without a report
  config.TimeoutPeriod = 1;
  config.LostLinkRequiresAccept = 0;  // so the link's return is logged without a click
  config.LostLinkRequiresReset = 0;
  config.AnalogueRequiresAccept[1] = 0;
  config.AnalogueRequiresReset[1] = 0;
  rig.talkTo(sim.port());
  rig.core.ConnectButtonClick();
  auto next = std::chrono::steady_clock::now();
  for (int ticks = 0; ticks < 1200 && !sim.SawLine(last); ++ticks) {
    rig.tick();
    next += std::chrono::milliseconds(50);
    std::this_thread::sleep_until(next);
    sim.Read(0);
  }
  rig.core.ConnectButtonClick();
  Lines lines;
  for (const std::string& line : rig.eventLines()) lines.push_back(line.substr(line.find(',', 11) + 1));
  return lines;
}

}  // namespace

TEST(ReplayEndToEnd, ARecordingReplayedTwiceGivesThePanelTheSameLog) {
  QTemporaryDir directory;
  const QString scenario = directory.path() + "/session.txt";
  const QString recording = directory.path() + "/session.rec";
  QFile file(scenario);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("0 an 1 500\n0 noise 1 3\n0.5 in 3 1\n1 ramp 2 1000 1100 1\n2 in 3 0\n2 silent 2\n4.5 an 2 500\n5 quit\n");
  file.close();

  Lines first;
  {
    UnitSim sim({"--every", "0.2", "--seed", "3", "--script", scenario, "--record", recording});
    ASSERT_NE(sim.port(), 0);
    first = Session(sim, "quit");
  }
  EXPECT_EQ(first, (Lines{"Comms Connected\r\n", "Input 3 Alarm\r\n", "Analogue 2 Alarm\r\n", "Comms Lost\r\n",
                          "Comms Connected\r\n", "Analogue 2 Alarm Reset\r\n", "Comms Disconnected\r\n"}));

  for (int run = 1; run <= 2; ++run) {
    UnitSim replay({"--replay", recording});
    ASSERT_NE(replay.port(), 0);
    EXPECT_EQ(Session(replay, "replay finished"), first) << "replay " << run;
    EXPECT_TRUE(replay.Saw("replay starts: the panel is at 127.0.0.1:")) << "replay " << run;
  }
}
