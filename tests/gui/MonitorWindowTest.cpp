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

#include <cstdint>
#include <fstream>

namespace {
using Lines = std::vector<std::string>;
using enum AlarmState;
std::string At(const std::string& text) { return "05/12/2026,14:03:27," + text + "\r\n"; }

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

TEST(MonitorWindow, InputIndicatorsAndLabelsAcceptAndReset) {
  MonitorWindow w;
  auto* indicator = w.find<StatusIndicator>("InputStatusAdvSmoothStatusIndicator3");
  auto* label = w.find<QLabel>("InputStatusLabel3");
  ASSERT_TRUE(indicator && label);
  // Before any link: the idle look.
  EXPECT_EQ(indicator->fillColour(), Colours::Grey);
  EXPECT_EQ(indicator->caption(), "NA");

  PanelCore& core = w.core();
  core.LinkUp = 1;
  core.Report.ReportedInputs[2] = 1;
  core.EvaluateAlarms();
  EXPECT_EQ(indicator->fillColour(), Colours::Grey);  // blink phase 0
  EXPECT_EQ(indicator->caption(), "A");
  core.BlinkPhase = 1;
  core.RefreshStatusDisplay();
  EXPECT_EQ(indicator->fillColour(), Colours::Red);

  // The indicator accepts; the display follows at the next refresh.
  QTest::mouseClick(indicator, Qt::LeftButton);
  EXPECT_EQ(core.DigitalAlarmState[2], AlarmAccepted);
  EXPECT_EQ(indicator->caption(), "A");
  core.RefreshStatusDisplay();
  EXPECT_EQ(indicator->caption(), "AA");

  // Inactive with reset on: yellow "AC"; the label resets as the indicator would.
  core.Report.ReportedInputs[2] = 0;
  core.EvaluateAlarms();
  EXPECT_EQ(indicator->fillColour(), Colours::Yellow);
  EXPECT_EQ(indicator->caption(), "AC");
  QTest::mouseClick(label, Qt::LeftButton);
  core.RefreshStatusDisplay();
  EXPECT_EQ(indicator->fillColour(), Colours::Green);
  EXPECT_EQ(indicator->caption(), "C");
  EXPECT_EQ(w.entries(), (Lines{At("Input 3 Alarm"), At("Input 3 Alarm Accept"), At("Input 3 Alarm Reset")}));
}

TEST(MonitorWindow, AnalogueBarsShowLevelColourAndTextAndTakeClicks) {
  MonitorWindow w;
  auto* bar = w.find<BarIndicator>("AnalogueStatusJvSimIndicator2");
  auto* text = w.find<QLabel>("AnalogueStatusValueLabel2");
  ASSERT_TRUE(bar && text);
  EXPECT_EQ(text->text(), "N/A");

  PanelCore& core = w.core();
  core.LinkUp = 1;
  core.BlinkPhase = 1;
  core.Configuration.AlarmAbove[1].Set(500.0L);
  core.Report.AnalogueRaw[1] = 512;
  core.Report.AnalogueValue[1] = 512.3456L;
  core.EvaluateAlarms();
  EXPECT_EQ(bar->barColour(), Colours::Red);
  EXPECT_EQ(bar->value(), 512);
  EXPECT_EQ(text->text(), "512.34");

  QTest::mouseClick(bar, Qt::LeftButton);
  EXPECT_EQ(core.AnalogueAlarmState[1], AlarmAccepted);
  EXPECT_EQ(w.entries(), (Lines{At("Analogue 2 Alarm"), At("Analogue 2 Alarm Accept")}));

  // The link drops: grey bar, "N/A", the level stays.
  core.LinkUp = 0;
  core.RefreshStatusDisplay();
  EXPECT_EQ(bar->barColour(), Colours::Grey);
  EXPECT_EQ(bar->value(), 512);
  EXPECT_EQ(text->text(), "N/A");
}

TEST(MonitorWindow, OutputButtonSendsAndShowsOnlyTheReportedState) {
  MonitorWindow w;  // fake endpoint: nothing leaves the process
  auto* button = w.find<GlassButton>("OuputStatusAdvGlassButton4");
  ASSERT_TRUE(button);
  EXPECT_EQ(button->backColour(), Colours::Grey);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(w.endpoint.sent, Lines{"KELDRON,U,T,***1************"});
  EXPECT_EQ(w.entries(), Lines{At("Output 4 Set to Active")});
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
