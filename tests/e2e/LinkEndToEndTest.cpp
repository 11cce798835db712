// The panel's logic over the real UDP endpoint, talking to the simulated unit on 127.0.0.1.
#include "e2e/Loopback.h"

#include <gtest/gtest.h>

#include <cstring>

using Lines = std::vector<std::string>;

TEST(LinkEndToEnd, ConnectsLosesAndRegainsTheLinkToTheSimulatedUnit) {
  UnitSim sim({"--every", "0"});
  ASSERT_NE(sim.port(), 0) << "the simulated unit did not come up";

  LoopbackRig rig;
  UnitConfiguration& config = rig.core.Configuration;
  config.UpdatePeriod = 1;   // the link counts as lost 20 ticks after the last report
  config.TimeoutPeriod = 0;  // while the link is up, a poll at every tick keeps it up
  rig.talkTo(sim.port());
  ASSERT_EQ(ReadText(config.IPAddress), "127.0.0.1");
  const auto tick = [&] { rig.tick(); };
  const auto logged = [&](std::string_view text) { return [&rig, text] { return Holds(rig.eventLines(), text); }; };

  // --- Connect: the first poll is answered and the link comes up
  rig.core.ConnectButtonClick();
  ASSERT_TRUE(rig.prompts.errors.empty()) << rig.prompts.errors.front();
  ASSERT_EQ(rig.view.connectCaption, "Disconnect");
  ASSERT_TRUE(TickUntil(sim, rig.endpoint, tick, logged("Comms Connected"), 200));
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkConnected);
  EXPECT_EQ(rig.view.comms, (RecordingView::Look{Colours::Green, "Connected"}));
  EXPECT_TRUE(sim.Saw(" KELDRON,U****************")) << "the unit never saw the poll";
  EXPECT_TRUE(sim.Saw(" KELDRON,C,S,****************")) << "the unit never saw the acknowledgement";
  EXPECT_TRUE(sim.Saw("-> 127.0.0.1:"));

  // --- The unit falls silent: 20 ticks without a report and the link is lost
  sim.Command("silent 3600");
  ASSERT_TRUE(sim.WaitFor("silent for 3600 s"));
  ASSERT_TRUE(TickUntil(sim, rig.endpoint, tick, logged("Comms Lost"), 200));
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLostUnaccepted);
  EXPECT_EQ(rig.view.comms.caption, "Connection Lost");
  EXPECT_TRUE(sim.Saw("silent: not answered"));

  // --- The unit answers again: the alarm waits for accept, then for reset
  sim.Command("silent 0");
  ASSERT_TRUE(sim.WaitFor("silence over"));
  ASSERT_TRUE(TickUntil(
      sim, rig.endpoint, tick, [&] { return rig.core.LinkUp == 1; }, 200));
  rig.tick();
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLostUnaccepted);
  rig.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkAwaitingReset);
  EXPECT_EQ(rig.view.comms, (RecordingView::Look{Colours::Yellow, "Connection Lost"}));
  rig.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(rig.view.comms, (RecordingView::Look{Colours::Green, "Connected"}));

  // --- Disconnect
  rig.core.ConnectButtonClick();
  EXPECT_FALSE(rig.endpoint.IsOpen());
  EXPECT_EQ(rig.eventLines(),
            (Lines{"05/12/2026,14:03:27,Comms Connected\r\n", "05/12/2026,14:03:27,Comms Lost\r\n",
                   "05/12/2026,14:03:27,Comms Lost Accept\r\n", "05/12/2026,14:03:27,Comms Lost Reset\r\n",
                   "05/12/2026,14:03:27,Comms Disconnected\r\n"}));
}
