#include "app/MainWindow.h"
#include "app/widgets/BarIndicator.h"
#include "app/widgets/GlassButton.h"
#include "app/widgets/StatusIndicator.h"
#include "monitor/QtAlarmSound.h"
#include "support/Wave.h"
#include "support/WindowRig.h"

#include <QAudioDevice>
#include <QLabel>
#include <QMediaDevices>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>

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
    core.Report.AnalogueValue[k] = 2000.3456L + k;  // above every band's 1024
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
  EXPECT_FALSE(sound.Playing());
}

TEST(QtAlarmSound, PlaysAFilePutBackAfterAFailure) {
  if (QMediaDevices::audioOutputs().isEmpty()) GTEST_SKIP() << "no sound output device here";
  TempProgramDirectory dir("qmx-sound");
  const std::string wav = (dir.path / "Alarm.wav").string();
  RecordingNotifier notifier;
  QtAlarmSound sound(wav, notifier);
  sound.Play();
  sound.Stop();
  std::ofstream(wav, std::ios::binary) << WaveBytes();
  sound.Play();
  for (int i = 0; i < 400 && !sound.Playing(); ++i) QTest::qWait(25);
  EXPECT_TRUE(sound.Playing());
  sound.Stop();
  EXPECT_FALSE(sound.Playing());
  EXPECT_EQ(notifier.notices, Lines{"The alarm sound cannot be played: " + wav + " not found"});
}
