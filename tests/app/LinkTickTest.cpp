#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
using Lines = std::vector<std::string>;
using Look = RecordingView::Look;

// No input active and every analogue reading in band, so no input alarm can mix in.
const std::string Quiet = "KELDRON,U,0000000000000000,0000000000000000,0,0,0,0,0,0,0,0";
const std::string Poll = "KELDRON,U****************";
const std::string Ack = "KELDRON,C,S,****************";

std::string Line(std::string_view text) { return "05/12/2026,14:03:27," + std::string(text) + "\r\n"; }

const Look NotConnected{Colours::Grey, "Not Connected"};
const Look Connected{Colours::Green, "Connected"};
const Look LostRed{Colours::Red, "Connection Lost"};
const Look LostGrey{Colours::Grey, "Connection Lost"};
const Look LostYellow{Colours::Yellow, "Connection Lost"};

// The ticks (1-based, counted from now) at which a poll left.
std::vector<int> PollTicks(Rig& rig, int ticks, const std::string& feed = {}) {
  std::vector<int> at;
  for (int t = 1; t <= ticks; ++t) {
    if (!feed.empty()) rig.endpoint.incoming.push_back(feed);
    rig.endpoint.sent.clear();
    rig.tick();
    if (std::find(rig.endpoint.sent.begin(), rig.endpoint.sent.end(), Poll) != rig.endpoint.sent.end()) at.push_back(t);
  }
  return at;
}

// Ticks up to and including the next flip of BlinkPhase.
void TickToBlinkFlip(Rig& rig) {
  while (rig.core.BlinkCountdown != 0) rig.tick();
  rig.tick();
}

// Connected with a one-second link time-out (20 ticks), so a loss is quick to reach.
void ConnectAndReport(Rig& rig) {
  rig.core.Configuration.UpdatePeriod = 1;
  rig.core.ConnectButtonClick();
  rig.report(Quiet);
}
}  // namespace

TEST(LinkTick, PollingAndTimeOutInTicks) {
  // No unit: the first poll at the second tick, then every 21 ticks; grey "Not Connected", nothing logged.
  Rig silent;
  silent.core.ConnectButtonClick();
  EXPECT_EQ(silent.view.connectCaption, "Disconnect");
  EXPECT_EQ(PollTicks(silent, 90), (std::vector<int>{2, 23, 44, 65, 86}));
  EXPECT_EQ(silent.view.comms, NotConnected);
  EXPECT_EQ(silent.eventLines(), Lines{});

  // While up the poll interval is TimeoutPeriod x 20 + 1, decided from LinkUp as the previous tick left it:
  // the report taken in the poll's own tick does not yet count, and its acknowledgement leaves first.
  Rig up;
  up.core.Configuration.TimeoutPeriod = 2;
  up.core.Configuration.UpdatePeriod = 100;
  up.core.ConnectButtonClick();
  up.tick();
  up.report(Quiet);
  EXPECT_EQ(up.endpoint.sent, (Lines{Ack, Poll}));
  EXPECT_EQ(up.eventLines(), Lines{Line("Comms Connected")});
  EXPECT_EQ(up.view.comms, Connected);
  EXPECT_EQ(PollTicks(up, 100), (std::vector<int>{21, 62}));  // ticks 23 and 64 after Connect

  // The report of tick t keeps LinkUp at 1 through tick t + UpdatePeriod x 20 - 1; it falls at t + UpdatePeriod x 20.
  Rig timing;
  ConnectAndReport(timing);
  EXPECT_EQ(timing.core.LinkUp, 1);
  timing.tick(19);
  EXPECT_EQ(timing.core.LinkUp, 1);
  EXPECT_EQ(timing.eventLines(), Lines{Line("Comms Connected")});
  timing.tick();
  EXPECT_EQ(timing.core.LinkUp, 0);
  EXPECT_EQ(timing.eventLines(), (Lines{Line("Comms Connected"), Line("Comms Lost")}));

  // A datagram from another unit every tick keeps refreshing but does not renew the time-out.
  Rig other;
  ConnectAndReport(other);
  for (int t = 0; t < 20; ++t) other.report("OTHERUNIT,U,0000000000000000,0000000000000000,0,0,0,0,0,0,0,0");
  EXPECT_EQ(other.core.LinkUp, 0);

  // One datagram per tick; the rest wait.
  Rig burst;
  burst.core.ConnectButtonClick();
  burst.endpoint.incoming = {Quiet, Quiet, Quiet};
  burst.tick();
  EXPECT_EQ(burst.endpoint.incoming.size(), 2u);
  EXPECT_EQ(burst.endpoint.sent, Lines{Ack});
}

TEST(LinkTick, ZeroPeriods) {
  // UpdatePeriod 0: reports are taken and acknowledged, but the link never comes up.
  Rig never;
  never.core.Configuration.UpdatePeriod = 0;
  never.core.ConnectButtonClick();
  for (int t = 0; t < 30; ++t) never.report(Quiet);
  EXPECT_EQ(never.core.LinkUp, 0);
  EXPECT_EQ(never.core.LinkState, LinkState::LinkNotConnected);
  EXPECT_EQ(never.view.comms, NotConnected);
  EXPECT_EQ(never.eventLines(), Lines{});

  // TimeoutPeriod 0: while up, a poll leaves at every tick.
  Rig every;
  every.core.Configuration.TimeoutPeriod = 0;
  ConnectAndReport(every);
  every.core.Configuration.UpdatePeriod = 100;
  every.report(Quiet);  // the poll of this tick reloads from LinkUp 1
  EXPECT_EQ(PollTicks(every, 5), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(LinkTick, LostLinkRowsWithoutAcceptOrReset) {
  Rig rig;
  rig.core.Configuration.LostLinkRequiresAccept = 0;
  rig.core.Configuration.LostLinkRequiresReset = 0;
  ConnectAndReport(rig);  // 0 -> 1
  EXPECT_EQ(rig.view.comms, Connected);
  rig.tick(20);  // 1 -> 3, steady red whatever the blink phase
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLost);
  EXPECT_EQ(rig.view.comms, LostRed);
  TickToBlinkFlip(rig);
  EXPECT_EQ(rig.view.comms, LostRed);
  rig.core.CommsStatusAdvSmoothStatusIndicatorClick();  // no click row in state 3
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLost);
  rig.report(Quiet);  // 3 -> 1 with "Comms Connected"
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkConnected);
  EXPECT_EQ(rig.view.comms, Connected);
  EXPECT_EQ(rig.eventLines(), (Lines{Line("Comms Connected"), Line("Comms Lost"), Line("Comms Connected")}));
}

TEST(LinkTick, LostLinkRowsWithAcceptAndReset) {
  Rig rig;
  ConnectAndReport(rig);
  rig.tick(20);  // 1 -> 2: blinks red and grey
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLostUnaccepted);
  TickToBlinkFlip(rig);
  const Look first = rig.view.comms;
  TickToBlinkFlip(rig);
  EXPECT_EQ((std::vector<Look>{first, rig.view.comms}),
            rig.core.BlinkPhase ? (std::vector<Look>{LostGrey, LostRed}) : (std::vector<Look>{LostRed, LostGrey}));

  rig.report(Quiet);  // 2 stays 2 although the link is back
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLostUnaccepted);
  rig.core.CommsStatusAdvSmoothStatusIndicatorClick();  // 2 -> 4 (LinkUp 1), yellow at once
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkAwaitingReset);
  EXPECT_EQ(rig.view.comms, LostYellow);
  rig.tick(20);  // 4 -> 3 when the link drops again, no entry
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkLost);
  EXPECT_EQ(rig.view.comms, LostRed);
  rig.report(Quiet);  // 3 -> 4 with reset on, no entry
  EXPECT_EQ(rig.view.comms, LostYellow);
  rig.core.CommsStatusAdvSmoothStatusIndicatorClick();  // 4 -> 1: "Comms Lost Reset" and no "Comms Connected"
  EXPECT_EQ(rig.view.comms, Connected);
  EXPECT_EQ(rig.eventLines(),
            (Lines{Line("Comms Connected"), Line("Comms Lost"), Line("Comms Lost Accept"), Line("Comms Lost Reset")}));
}

TEST(LinkTick, AcceptDecidesAgainstLinkUp) {
  // Accept while still lost: steady red (3); the link's return gives green and "Comms Connected" with reset off.
  Rig lost;
  lost.core.Configuration.LostLinkRequiresReset = 0;
  ConnectAndReport(lost);
  lost.tick(20);
  lost.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(lost.core.LinkState, LinkState::LinkLost);
  EXPECT_EQ(lost.view.comms, LostRed);
  lost.report(Quiet);
  EXPECT_EQ(lost.view.comms, Connected);
  EXPECT_EQ(lost.eventLines(),
            (Lines{Line("Comms Connected"), Line("Comms Lost"), Line("Comms Lost Accept"), Line("Comms Connected")}));

  // Accept after the link is back waits for a reset even with reset off.
  Rig back;
  back.core.Configuration.LostLinkRequiresReset = 0;
  ConnectAndReport(back);
  back.tick(20);
  back.report(Quiet);
  back.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(back.view.comms, LostYellow);
  back.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(back.view.comms, Connected);
  EXPECT_EQ(back.eventLines(),
            (Lines{Line("Comms Connected"), Line("Comms Lost"), Line("Comms Lost Accept"), Line("Comms Lost Reset")}));

  // Clicks in states 0 and 1 change and write nothing, but redraw the status at once.
  Rig idle;
  idle.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(idle.view.comms, NotConnected);  // was the layout's red "Status"
  ConnectAndReport(idle);
  idle.view.comms = Look{};
  idle.core.CommsStatusAdvSmoothStatusIndicatorClick();
  EXPECT_EQ(idle.view.comms, Connected);
  EXPECT_EQ(idle.eventLines(), Lines{Line("Comms Connected")});
}

TEST(LinkTick, ConnectAndDisconnect) {
  // Disconnect in state 2: logged, state 0 at once, the grey status only at the next blink flip.
  Rig rig;
  ConnectAndReport(rig);
  rig.tick(20);
  ASSERT_EQ(rig.core.LinkState, LinkState::LinkLostUnaccepted);
  const std::uint8_t phase = rig.core.BlinkPhase;
  const Look shown = rig.view.comms;
  rig.core.ConnectButtonClick();
  EXPECT_FALSE(rig.endpoint.IsOpen());
  EXPECT_EQ(rig.view.connectCaption, "Connect");
  EXPECT_EQ(rig.core.LinkState, LinkState::LinkNotConnected);
  EXPECT_EQ(rig.core.LinkUp, 0);
  EXPECT_EQ(rig.core.LinkTimeoutCountdown, 0);
  EXPECT_EQ(rig.core.BlinkPhase, phase);
  EXPECT_EQ(rig.view.comms, shown);
  EXPECT_EQ(rig.eventLines(), (Lines{Line("Comms Connected"), Line("Comms Lost"), Line("Comms Disconnected")}));
  // Closed: no poll, no datagram taken, the state stays 0.
  rig.endpoint.sent.clear();
  rig.endpoint.incoming.push_back(Quiet);
  while (rig.core.BlinkCountdown != 0) {
    rig.tick();
    EXPECT_EQ(rig.view.comms, shown);
  }
  rig.tick();
  EXPECT_EQ(rig.view.comms, NotConnected);
  EXPECT_EQ(rig.endpoint.sent, Lines{});
  EXPECT_EQ(rig.endpoint.incoming.size(), 1u);

  // Connecting again starts the polling afresh: the first poll at the second tick.
  rig.endpoint.incoming.clear();
  rig.core.ConnectButtonClick();
  EXPECT_EQ(PollTicks(rig, 23), (std::vector<int>{2, 23}));

  // A failed open leaves the link closed with the caption "Connect" and says why.
  Rig refused;
  refused.endpoint.failOpen = true;
  refused.core.ConnectButtonClick();
  EXPECT_EQ(refused.view.connectCaption, "Connect");
  EXPECT_EQ(refused.prompts.errors, Lines{"Cannot open the link: open refused"});
  refused.tick(30);
  EXPECT_EQ(refused.endpoint.sent, Lines{});
  EXPECT_EQ(refused.eventLines(), Lines{});
}

TEST(LinkTick, SendFailuresAreAbsorbed) {
  // Neither poll nor acknowledgement can leave: the report is not stored, the tick goes on, polling keeps its rhythm.
  Rig rig;
  rig.core.ConnectButtonClick();
  rig.endpoint.failSend = true;
  rig.tick();
  rig.report("KELDRON,U,1111111111111111,1111111111111111,5,5,5,5,5,5,5,5");
  EXPECT_EQ(rig.core.Report.ReportedOutputs, (std::array<std::uint8_t, 16>{}));
  EXPECT_EQ(rig.core.LinkTimeoutCountdown, 0);
  EXPECT_EQ(rig.core.PollCountdown, 20);
  EXPECT_EQ(rig.view.comms, NotConnected);
  rig.endpoint.failSend = false;
  EXPECT_EQ(PollTicks(rig, 21), (std::vector<int>{21}));
}
