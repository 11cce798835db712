#include "app/MainWindow.h"
#include "app/widgets/BarIndicator.h"
#include "app/widgets/GlassButton.h"
#include "app/widgets/StatusIndicator.h"
#include "monitor/QtAlarmSound.h"
#include "support/ExtendedValues.h"
#include "support/PulseServer.h"
#include "support/Wave.h"
#include "support/WindowRig.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace {
using Lines = std::vector<std::string>;
using enum AlarmState;
std::string At(const std::string& text) { return "05/12/2026,14:03:27," + text + "\r\n"; }
QString Nth(const char* family, int n) { return QString::fromLatin1(family) + QString::number(n); }

// A shown main window whose timer is stopped, so only the test moves the panel.
struct MonitorWindow : WindowRig {
  MonitorWindow() : WindowRig({}, Tick::Stopped) { form->show(); }
  template <typename T>
  T* find(const QString& name) {
    T* control = form->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
  }
  // The log lines after "Application Started".
  Lines entries() {
    Lines lines = logLines();
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
};
}  // namespace

// Each family's controls act on their own channel: a click on the control of channel n
// changes channel n's state alone, and what the panel shows reaches that channel's widget.
TEST(MonitorWindow, EveryIndicatorAndLabelAcceptsAndResetsItsOwnInput) {
  MonitorWindow w;
  PanelCore& core = w.core();
  const auto states = [&](AlarmState state) {
    return std::count(core.DigitalAlarmState.begin(), core.DigitalAlarmState.end(), state);
  };
  core.LinkUp = 1;
  core.BlinkPhase = 1;
  core.Report.ReportedInputs.fill(1);
  core.EvaluateAlarms();
  for (int n = 1; n <= 16; ++n) {
    QTest::mouseClick(w.find<StatusIndicator>(Nth("InputStatusAdvSmoothStatusIndicator", n)), Qt::LeftButton);
    EXPECT_EQ(core.DigitalAlarmState[n - 1], AlarmAccepted) << n;
    EXPECT_EQ(states(AlarmAccepted), n);
  }
  core.Report.ReportedInputs.fill(0);
  core.EvaluateAlarms();  // reset on: each waits, yellow "AC"
  for (int n = 1; n <= 16; ++n) {
    const auto* indicator = w.find<StatusIndicator>(Nth("InputStatusAdvSmoothStatusIndicator", n));
    EXPECT_EQ(indicator->fillColour(), Colours::Yellow) << n;
    EXPECT_EQ(indicator->caption(), "AC") << n;
    QTest::mouseClick(w.find<QLabel>(Nth("InputStatusLabel", n)), Qt::LeftButton);
    EXPECT_EQ(core.DigitalAlarmState[n - 1], Normal) << n;
    EXPECT_EQ(states(Normal), n);
  }
  core.RefreshStatusDisplay();
  const auto* indicator3 = w.find<StatusIndicator>("InputStatusAdvSmoothStatusIndicator3");
  EXPECT_EQ(indicator3->fillColour(), Colours::Green);
  EXPECT_EQ(indicator3->caption(), "C");
  const Lines entries = w.entries();
  ASSERT_EQ(entries.size(), 48u);
  EXPECT_EQ((Lines{entries[2], entries[18], entries[34]}),
            (Lines{At("Input 3 Alarm"), At("Input 3 Alarm Accept"), At("Input 3 Alarm Reset")}));
}

TEST(MonitorWindow, EveryBarShowsItsInputAndAcceptsItsOwnAlarm) {
  MonitorWindow w;
  EXPECT_EQ(w.find<QLabel>("AnalogueStatusValueLabel2")->text(), "N/A");
  PanelCore& core = w.core();
  core.LinkUp = 1;
  core.BlinkPhase = 1;
  for (int k = 0; k < 8; ++k) {
    core.Report.AnalogueRaw[k] = 1000 + k;
    core.Report.AnalogueValue[k] = X("2000.3456") + X(k);  // above every band's 1024
  }
  core.EvaluateAlarms();
  for (int n = 1; n <= 8; ++n) {
    auto* bar = w.find<BarIndicator>(Nth("AnalogueStatusJvSimIndicator", n));
    EXPECT_EQ(bar->barColour(), Colours::Red) << n;
    EXPECT_EQ(bar->value(), 999 + n);
    EXPECT_EQ(w.find<QLabel>(Nth("AnalogueStatusValueLabel", n))->text(), QString("%1.34").arg(1999 + n));
    QTest::mouseClick(bar, Qt::LeftButton);
    EXPECT_EQ(core.AnalogueAlarmState[n - 1], AlarmAccepted) << n;
    EXPECT_EQ(std::count(core.AnalogueAlarmState.begin(), core.AnalogueAlarmState.end(), AlarmAccepted), n);
  }
  EXPECT_EQ(w.entries()[9], At("Analogue 2 Alarm Accept"));
}

TEST(MonitorWindow, EveryOutputButtonSendsForItsOwnOutputAndShowsOnlyTheReportedState) {
  MonitorWindow w;  // fake endpoint: nothing leaves the process
  Lines sent;
  for (int n = 1; n <= 16; ++n) {
    QTest::mouseClick(w.find<GlassButton>(Nth("OuputStatusAdvGlassButton", n)), Qt::LeftButton);
    sent.push_back("KELDRON,U,T," + std::string(16, '*').replace(n - 1, 1, "1"));
  }
  EXPECT_EQ(w.endpoint.sent, sent);
  EXPECT_EQ(w.entries().size(), 16u);
  EXPECT_EQ(w.entries()[3], At("Output 4 Set to Active"));

  auto* button = w.find<GlassButton>("OuputStatusAdvGlassButton4");
  EXPECT_EQ(button->backColour(), Colours::Grey);
  PanelCore& core = w.core();
  core.LinkUp = 1;
  core.RefreshStatusDisplay();
  EXPECT_EQ(button->backColour(), Colours::Green);
  core.Report.ReportedOutputs[3] = 1;
  core.RefreshStatusDisplay();
  EXPECT_EQ(button->backColour(), Colours::Red);
}

TEST(QtAlarmSound, TellsTheOperatorOnceWhileItKeepsFailing) {
  TempProgramDirectory dir("qmx-sound");
  const std::string wav = (dir.path / "Alarm.wav").string();
  RecordingNotifier notifier;
  QtAlarmSound sound(wav, notifier);
  const Lines told{"The alarm sound cannot be played: " + wav + " not found"};

  // A missing file: told once, however often the alarm starts.
  sound.Play();
  sound.Stop();
  sound.Play();
  EXPECT_EQ(notifier.notices, told);

  // A file put back but cut short is tried at the next Play and refused before it reaches the
  // sound back end (which would wait for the rest for ever). Still the same failure, so nothing
  // new is told.
  std::ofstream(wav, std::ios::binary) << WaveBytes().substr(0, 100);
  sound.Stop();
  sound.Play();
  EXPECT_EQ(notifier.notices, told);
}

// Against a real sound server of the test's own: started after the panel, killed and started
// again, its output taken away and put back. Each time the operator is told once that the
// sound is not heard, and once that it is again, and the server plays it within seconds of
// coming back, with nothing done on the panel's side.
TEST(QtAlarmSound, ComesBackByItselfWhenTheSoundServerComesBack) {
  if (const std::string missing = PulseServer::Missing(); !missing.empty()) GTEST_SKIP() << missing;
  TempProgramDirectory dir("qmx-pulse");
  const std::string wav = (dir.path / "Alarm.wav").string();
  std::ofstream(wav, std::ios::binary) << WaveBytes();
  PulseServer server(dir.path / "pulse");
  ::setenv("PULSE_SERVER", server.Address().c_str(), 1);
  RecordingNotifier notifier;
  QtAlarmSound sound(wav, notifier);
  const std::string cannot = "The alarm sound cannot be played: ";
  const std::string again = "The alarm sound is playing again.";
  const auto waitFor = [](const char* what, const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20000) QTest::qWait(50);
    std::printf("%s: %.1f s\n", what, static_cast<double>(timer.elapsed()) / 1000);
    return done();
  };
  const auto told = [&](std::size_t count) { return [&notifier, count] { return notifier.notices.size() >= count; }; };
  const auto sounding = [&] { return server.Sounding(); };
  struct Fault {
    const char* name;
    std::function<void()> make, mend;
    std::string toldPrefix;
  };
  const Fault faults[] = {
      {"the server not started yet", [] {}, [&] { ASSERT_TRUE(server.Start()); },
       cannot + "the sound server cannot be reached (Connection refused)"},
      {"the server killed", [&] { server.Kill(); }, [&] { ASSERT_TRUE(server.Start()); }, cannot + "the "},
      {"its output removed", [&] { server.RemoveOutput(); }, [&] { server.AddOutput(); }, cannot + "the sound server "},
  };
  sound.Play();
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    const std::size_t before = notifier.notices.size();
    fault.make();
    ASSERT_TRUE(waitFor("told of the fault", told(before + 1)));
    EXPECT_THAT(notifier.notices[before], testing::StartsWith(fault.toldPrefix));
    fault.mend();
    EXPECT_TRUE(waitFor("heard again, on the server", sounding));
    ASSERT_TRUE(waitFor("told it plays", told(before + 2)));
    EXPECT_EQ(notifier.notices[before + 1], again);
  }

  // Accepted: the stream leaves the server, the sound stops, and nothing more is told.
  sound.Stop();
  EXPECT_TRUE(waitFor("stream gone after the accept", [&] { return server.Streams() == 0; }));
  EXPECT_TRUE(waitFor("silent after the accept", [&] { return !server.Sounding(); }));
  QTest::qWait(2500);
  EXPECT_EQ(notifier.notices.size(), 6u) << notifier.notices.back();
  ::unsetenv("PULSE_SERVER");
}
