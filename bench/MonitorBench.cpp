// Monitoring figures: the alarm passes over all 24 inputs, a display refresh on the real
// widgets of a main window (offscreen), once with nothing to change and once with everything,
// and one log entry written to a real file.
#include "app/MainWindow.h"
#include "bench/PanelShape.h"
#include "monitor/AlarmMachines.h"
#include "monitor/StatusDisplay.h"
#include "support/WindowRig.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {
using enum AlarmState;

void EnsureMonitorBenchApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "panel_bench";
  static char* argv[] = {name, nullptr};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static QApplication application(argc, argv);
}

class NoLog final : public EventRecorder {
 public:
  void LogEvent(EventCode, int) override {}
};

// A shown main window over the fakes, its timer stopped.
struct BenchWindow : WindowRig {
  BenchWindow() : WindowRig((EnsureMonitorBenchApplication(), std::vector<std::string>{}), Tick::Stopped) {
    form->show();
    QCoreApplication::processEvents();
  }
};

// Two connected looks that differ in every colour, caption, level and value text.
void ShowLook(PanelCore& core, bool second) {
  core.LinkUp = 1;
  core.BlinkPhase = second ? 0 : 1;
  core.DigitalAlarmState.fill(second ? AlarmCleared : AlarmUnaccepted);  // yellow "AC" / red "A"
  core.AnalogueAlarmState.fill(second ? AlarmCleared : AlarmUnaccepted);
  core.Report.ReportedOutputs.fill(second ? 1 : 0);
  core.Report.AnalogueRaw.fill(second ? 900 : 100);
  core.Report.AnalogueValue.fill(Extended::ParseDecimal(second ? "900.123" : "100.987"));
}
}  // namespace

static void BM_EvaluateAlarmsAll24(benchmark::State& state) {
  UnitConfiguration config{};
  SetDefaults(config);
  std::array<std::uint8_t, DigitalInputCount> inputs{};
  std::array<Extended, AnalogueInputCount> values{};
  std::array<AlarmState, DigitalInputCount> digital{};
  std::array<AlarmState, AnalogueInputCount> analogue{};
  NoLog log;
  // Half the inputs sit in an accepted alarm, half are quiet: a typical report changes nothing.
  for (int i = 0; i < DigitalInputCount; i += 2) inputs[i] = 1;
  for (int i = 0; i < AnalogueInputCount; i += 2) values[i] = Extended::FromInt(2000);
  for (auto _ : state) {
    EvaluateDigitalAlarms(config, inputs, digital, log);
    EvaluateAnalogueAlarms(config, values, analogue, log);
    benchmark::DoNotOptimize(digital.data());
    benchmark::DoNotOptimize(analogue.data());
  }
}
BENCHMARK(BM_EvaluateAlarmsAll24);

// The value texts of one connected refresh: eight readings scaled as the parser scales them.
static void BM_FormatAnalogueValueAll8(benchmark::State& state) {
  std::array<Extended, AnalogueInputCount> values{};
  constexpr std::array<std::int32_t, AnalogueInputCount> Raw{0, 1, 100, 333, 512, 777, 1000, 1023};
  for (int i = 0; i < AnalogueInputCount; ++i)
    values[i] = (Extended::FromInt(Raw[i]) * Extended::FromInt(1000)) * ReciprocalOf1023();
  for (auto _ : state)
    for (const Extended& value : values) benchmark::DoNotOptimize(FormatAnalogueValue(value));
}
BENCHMARK(BM_FormatAnalogueValueAll8);

static void BM_RefreshUnchanged(benchmark::State& state) {
  BenchWindow window;
  PanelCore& core = window.form->Core();
  ShowLook(core, false);
  core.RefreshStatusDisplay();
  for (auto _ : state) core.RefreshStatusDisplay();
  // The bare comparison program copies the window's shape; say so when they part.
  const auto widgets = window.form->findChildren<QWidget*>().size();
  state.counters["widgets"] = static_cast<double>(widgets);
  if (widgets != PanelWindowWidgets) state.SkipWithError("the main window's widget count is not PanelWindowWidgets");
}
BENCHMARK(BM_RefreshUnchanged);

static void BM_RefreshEverythingChanged(benchmark::State& state) {
  BenchWindow window;
  PanelCore& core = window.form->Core();
  bool second = false;  // cppcheck-suppress variableScope ; it alternates from one round to the next
  for (auto _ : state) {
    second = !second;
    ShowLook(core, second);
    core.RefreshStatusDisplay();
  }
}
BENCHMARK(BM_RefreshEverythingChanged);

// One entry as the program writes it: the line formatted, then the day's file opened,
// appended to and closed, in a Logs folder under the system's temporary folder.
static void BM_LogEventToFile(benchmark::State& state) {
  TempProgramDirectory folder("qmx-log-bench");
  FakeServices<FakeEndpoint, SystemClock, FileLogSink> fakes;
  PanelCore core{fakes.services(), fakes.view};
  core.FormCreate({}, folder.program());
  for (auto _ : state) core.LogEvent(EventCode::DigitalAlarm, 2);
  if (!std::filesystem::exists(core.LogDirectory + "/" + LogFileName(fakes.clock.Now())))
    state.SkipWithError("no log file written");
}
BENCHMARK(BM_LogEventToFile);
