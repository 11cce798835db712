// The whole main window over the real UDP endpoint, started with a data file from the
// simulated unit's --write-config, so 127.0.0.1 is the address in force.
#include "app/MainWindow.h"
#include "app/widgets/GlassButton.h"
#include "app/widgets/StatusIndicator.h"
#include "e2e/Loopback.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

using Lines = std::vector<std::string>;

// The simulator's own data file for a panel that talks to it on loopback.
bool WriteLoopbackDataFile(const QString& path, std::uint16_t port) {
  ChildProgram writer(UnitSimCommand({"--write-config", path.toStdString(), "--port", std::to_string(port)}));
  return writer.WaitForExit(10000) == 0;
}

}  // namespace

TEST(PanelEndToEnd, InputAlarmAndOutputCommandThroughTheMainWindow) {
  UnitSim sim({"--every", "0"});
  ASSERT_NE(sim.port(), 0) << "the simulated unit did not come up";
  QTemporaryDir directory;
  const QString dataFile = directory.path() + "/unit.dat";
  ASSERT_TRUE(WriteLoopbackDataFile(dataFile, sim.port()));

  CountingEndpoint endpoint;
  SettableClock clock;
  MemoryLogSink sink;
  CountingSound sound;
  ScriptedPrompts prompts;
  RecordingNotifier notifier;
  auto form = std::make_unique<TMainForm>(PanelServices{endpoint, clock, sink, sound, prompts, notifier},
                                          std::vector<std::string>{"-F" + dataFile.toStdString()},
                                          (directory.path() + "/quellmarinox-simple-panel").toStdString());
  form->Timer1()->stop();  // the test ticks the core itself
  form->show();
  PanelCore& core = form->Core();
  // cppcheck-suppress containerOutOfBounds ; the message after << is made only when the list is not empty
  ASSERT_TRUE(prompts.errors.empty()) << prompts.errors.front();
  ASSERT_EQ(ReadText(core.Configuration.IPAddress), "127.0.0.1");
  ASSERT_EQ(core.Configuration.Port, sim.port());

  const auto tick = [&] { core.Timer1Timer(); };
  const auto until = [&](const std::function<bool()>& done) { return TickUntil(sim, endpoint, tick, done, 200); };
  auto* indicator3 = form->findChild<StatusIndicator*>("InputStatusAdvSmoothStatusIndicator3");
  auto* output2 = form->findChild<GlassButton*>("OuputStatusAdvGlassButton2");
  auto* connect = form->findChild<QPushButton*>("ConnectButton");
  ASSERT_TRUE(indicator3 && output2 && connect);

  // --- Connect
  QTest::mouseClick(connect, Qt::LeftButton);
  ASSERT_EQ(connect->text(), "Disconnect");
  ASSERT_TRUE(until([&] { return core.LinkState == LinkState::LinkConnected; }));
  EXPECT_TRUE(sim.Saw(" KELDRON,C,S,****************")) << "the unit never saw the acknowledgement";

  // --- Input 3 becomes active at the unit: alarm, accepted by a click
  sim.Command("in 3 1");
  ASSERT_TRUE(sim.WaitFor(",U,0010000000000000,"));
  ASSERT_TRUE(until([&] { return core.DigitalAlarmState[2] == AlarmState::AlarmUnaccepted; }));
  QTest::mouseClick(indicator3, Qt::LeftButton);
  EXPECT_EQ(core.DigitalAlarmState[2], AlarmState::AlarmAccepted);
  EXPECT_TRUE(until([&] { return indicator3->caption() == "AA"; }));  // drawn at the next refresh
  EXPECT_EQ(indicator3->fillColour(), Colours::Red);

  // --- Input 3 goes back: the alarm waits for reset, reset by a second click
  sim.Command("in 3 0");
  ASSERT_TRUE(until([&] { return core.DigitalAlarmState[2] == AlarmState::AlarmCleared; }));
  EXPECT_EQ(indicator3->fillColour(), Colours::Yellow);
  EXPECT_EQ(indicator3->caption(), "AC");
  QTest::mouseClick(indicator3, Qt::LeftButton);
  EXPECT_EQ(core.DigitalAlarmState[2], AlarmState::Normal);

  // --- Output 2: the toggle command reaches the unit and its report turns the button red
  QTest::mouseClick(output2, Qt::LeftButton);
  ASSERT_TRUE(sim.WaitFor(" KELDRON,U,T,*1**************"));
  ASSERT_TRUE(until([&] { return core.Report.ReportedOutputs[1] == 1; }));
  tick();
  EXPECT_EQ(output2->backColour(), Colours::Red);

  Lines events = LogLines(sink, core.LogDirectory, clock.now);
  ASSERT_FALSE(events.empty());
  events.erase(events.begin());  // "Application Started"
  EXPECT_EQ(events,
            (Lines{"05/12/2026,14:03:27,Comms Connected\r\n", "05/12/2026,14:03:27,Input 3 Alarm\r\n",
                   "05/12/2026,14:03:27,Input 3 Alarm Accept\r\n", "05/12/2026,14:03:27,Input 3 Alarm Reset\r\n",
                   "05/12/2026,14:03:27,Output 2 Set to Active\r\n"}));
}
