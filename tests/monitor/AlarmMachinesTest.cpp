#include "monitor/AlarmMachines.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
using Lines = std::vector<std::string>;
using enum AlarmState;

std::string At(const std::string& text) { return "05/12/2026,14:03:27," + text + "\r\n"; }

// A started panel whose inputs the tests set directly, then evaluate as a report would.
struct Alarms {
  Rig rig;
  UnitConfiguration& config = rig.core.Configuration;
  AlarmState& digital(int n) { return rig.core.DigitalAlarmState[n - 1]; }
  AlarmState& analogue(int n) { return rig.core.AnalogueAlarmState[n - 1]; }
  void input(int n, bool active) {
    rig.core.Report.ReportedInputs[n - 1] = active;
    rig.core.EvaluateAlarms();
  }
  void value(int n, long double v) {
    rig.core.Report.AnalogueValue[n - 1] = v;
    rig.core.EvaluateAlarms();
  }
  // The entries written since the last call.
  Lines entries() {
    Lines all = rig.eventLines();
    Lines fresh(all.begin() + static_cast<long>(seen), all.end());
    seen = all.size();
    return fresh;
  }
  std::size_t seen = 0;
};
}  // namespace

TEST(DigitalAlarm, PassRowsMoveTheStateAndLogAsTheRulesSay) {
  Alarms a;
  // Normal, active, accept on: unaccepted with " Alarm" (default flags: all on).
  a.input(3, true);
  EXPECT_EQ(a.digital(3), AlarmUnaccepted);
  EXPECT_EQ(a.entries(), Lines{At("Input 3 Alarm")});
  // Unaccepted while the input goes inactive: stays, with accept on or with only reset on.
  a.input(3, false);
  a.config.DigitalRequiresAccept[2] = 0;
  a.input(3, false);
  EXPECT_EQ(a.digital(3), AlarmUnaccepted);
  // ... and leaves for Normal with " Alarm Reset" once accept and reset are both off.
  a.config.DigitalRequiresReset[2] = 0;
  a.input(3, false);
  EXPECT_EQ(a.digital(3), Normal);
  EXPECT_EQ(a.entries(), Lines{At("Input 3 Alarm Reset")});

  // Normal, active, accept off: accepted at once; inactive, reset off: Normal, no entry.
  a.input(3, true);
  EXPECT_EQ(a.digital(3), AlarmAccepted);
  a.input(3, false);
  EXPECT_EQ(a.digital(3), Normal);
  EXPECT_EQ(a.entries(), Lines{At("Input 3 Alarm")});

  // Accepted, inactive, reset on: cleared without an entry; active again: accepted, no new " Alarm".
  a.config.DigitalRequiresReset[2] = 1;
  a.input(3, true);
  a.input(3, false);
  EXPECT_EQ(a.digital(3), AlarmCleared);
  a.input(3, true);
  EXPECT_EQ(a.digital(3), AlarmAccepted);
  EXPECT_EQ(a.entries(), Lines{At("Input 3 Alarm")});
  // Other inputs were never touched.
  EXPECT_EQ(a.digital(4), Normal);
}

TEST(DigitalAlarm, ReportingSwitchedOffAndOn) {
  Alarms a;
  // Active at the first evaluation after Enable Reporting went off: one " Alarm", then disabled.
  a.config.DigitalEnableReporting[15] = 0;
  a.input(16, true);
  EXPECT_EQ(a.digital(16), ReportingDisabled);
  EXPECT_EQ(a.entries(), Lines{At("Input 16 Alarm")});
  a.input(16, false);
  a.input(16, true);
  EXPECT_EQ(a.entries(), Lines{});
  // Back on: Normal at the next evaluation, the alarm at the one after if still active.
  a.config.DigitalEnableReporting[15] = 1;
  a.rig.core.EvaluateAlarms();
  EXPECT_EQ(a.digital(16), Normal);
  EXPECT_EQ(a.entries(), Lines{});
  a.rig.core.EvaluateAlarms();
  EXPECT_EQ(a.digital(16), AlarmUnaccepted);
  EXPECT_EQ(a.entries(), Lines{At("Input 16 Alarm")});
}

TEST(DigitalAlarm, ClickRows) {
  Alarms a;
  auto click = [&](int n) { a.rig.core.DigitalInputAlarmClick(n - 1); };
  // Unaccepted, still active: accepted.
  a.input(1, true);
  click(1);
  EXPECT_EQ(a.digital(1), AlarmAccepted);
  // Accepted (alarm present): a click changes nothing.
  click(1);
  EXPECT_EQ(a.digital(1), AlarmAccepted);
  EXPECT_EQ(a.entries(), (Lines{At("Input 1 Alarm"), At("Input 1 Alarm Accept")}));

  // Unaccepted, inactive, reset on: the accept leads to Cleared; the next click resets.
  a.input(2, true);
  a.input(2, false);
  click(2);
  EXPECT_EQ(a.digital(2), AlarmCleared);
  click(2);
  EXPECT_EQ(a.digital(2), Normal);
  EXPECT_EQ(a.entries(), (Lines{At("Input 2 Alarm"), At("Input 2 Alarm Accept"), At("Input 2 Alarm Reset")}));

  // Accept on, reset off, inactive before the click: still blinking; the click resets with no accept entry.
  a.config.DigitalRequiresReset[4] = 0;
  a.input(5, true);
  a.input(5, false);
  EXPECT_EQ(a.digital(5), AlarmUnaccepted);
  click(5);
  EXPECT_EQ(a.digital(5), Normal);
  EXPECT_EQ(a.entries(), (Lines{At("Input 5 Alarm"), At("Input 5 Alarm Reset")}));

  // Normal and ReportingDisabled: nothing; no channel outside 0..15 does anything.
  click(6);
  a.config.DigitalEnableReporting[6] = 0;
  a.input(7, false);
  click(7);
  a.rig.core.DigitalInputAlarmClick(-1);
  a.rig.core.DigitalInputAlarmClick(16);
  EXPECT_EQ(a.digital(6), Normal);
  EXPECT_EQ(a.digital(7), ReportingDisabled);
  EXPECT_EQ(a.entries(), Lines{});
}

TEST(AnalogueAlarm, PassRowsAndWhereTheyDifferFromDigital) {
  Alarms a;
  // Default band 0..1024: a value on a limit raises nothing.
  a.value(2, 1024.0L);
  a.value(2, 0.0L);
  EXPECT_EQ(a.analogue(2), Normal);
  // Above the band: unaccepted with " Alarm".
  a.value(2, 1024.5L);
  EXPECT_EQ(a.analogue(2), AlarmUnaccepted);
  // Unaccepted, back in band, reset on: waits.
  a.value(2, 10.0L);
  EXPECT_EQ(a.analogue(2), AlarmUnaccepted);
  // Accept on, reset off: back to Normal by itself, no entry (digital would wait for the click).
  a.config.AnalogueRequiresReset[1] = 0;
  a.rig.core.EvaluateAlarms();
  EXPECT_EQ(a.analogue(2), Normal);
  EXPECT_EQ(a.entries(), Lines{At("Analogue 2 Alarm")});

  // Accept off: accepted at once; back in band logs " Alarm Reset" (digital logs nothing).
  a.config.AnalogueRequiresAccept[1] = 0;
  a.value(2, -0.5L);
  EXPECT_EQ(a.analogue(2), AlarmAccepted);
  a.value(2, 1.0L);
  EXPECT_EQ(a.analogue(2), Normal);
  // ... also when it then waits for the reset; out again from Cleared: accepted, no new " Alarm".
  a.config.AnalogueRequiresReset[1] = 1;
  a.value(2, 2000.0L);
  a.value(2, 1.0L);
  EXPECT_EQ(a.analogue(2), AlarmCleared);
  a.value(2, 2000.0L);
  EXPECT_EQ(a.analogue(2), AlarmAccepted);
  EXPECT_EQ(a.entries(), (Lines{At("Analogue 2 Alarm"), At("Analogue 2 Alarm Reset"), At("Analogue 2 Alarm"),
                                At("Analogue 2 Alarm Reset")}));

  // Out of band at the first evaluation after reporting went off: one " Alarm", then disabled.
  a.config.AnalogueEnableReporting[7] = 0;
  a.value(8, 5000.0L);
  EXPECT_EQ(a.analogue(8), ReportingDisabled);
  // Enabled again but in band: stays disabled (digital would return to Normal).
  a.config.AnalogueEnableReporting[7] = 1;
  a.value(8, 5.0L);
  EXPECT_EQ(a.analogue(8), ReportingDisabled);
  // Out of band: Normal, and the next evaluation raises the alarm.
  a.value(8, 5000.0L);
  EXPECT_EQ(a.analogue(8), Normal);
  a.rig.core.EvaluateAlarms();
  EXPECT_EQ(a.analogue(8), AlarmUnaccepted);
  EXPECT_EQ(a.entries(), (Lines{At("Analogue 8 Alarm"), At("Analogue 8 Alarm")}));
}

TEST(AnalogueAlarm, ClickRows) {
  Alarms a;
  auto click = [&](int n) { a.rig.core.AnalogueInputAlarmClick(n - 1); };
  // Unaccepted, still out: accepted; a click while accepted changes nothing.
  a.value(1, 1500.0L);
  click(1);
  click(1);
  EXPECT_EQ(a.analogue(1), AlarmAccepted);
  EXPECT_EQ(a.entries(), (Lines{At("Analogue 1 Alarm"), At("Analogue 1 Alarm Accept")}));

  // Reset on: back in band logs a reset, the operator's reset click a second one.
  a.value(1, 3.0L);
  EXPECT_EQ(a.analogue(1), AlarmCleared);
  click(1);
  EXPECT_EQ(a.analogue(1), Normal);
  EXPECT_EQ(a.entries(), (Lines{At("Analogue 1 Alarm Reset"), At("Analogue 1 Alarm Reset")}));

  // Unaccepted, back in band: the click judges the band afresh (limits changed since the
  // evaluation) and leads to Cleared even with reset off; the second click resets.
  a.config.AnalogueRequiresReset[2] = 0;
  a.config.AlarmAbove[2].Set(100.0L);
  a.value(3, 200.0L);
  a.config.AlarmAbove[2].Set(300.0L);
  click(3);
  EXPECT_EQ(a.analogue(3), AlarmCleared);
  click(3);
  EXPECT_EQ(a.analogue(3), Normal);
  click(3);
  a.config.AnalogueEnableReporting[3] = 0;
  a.rig.core.EvaluateAlarms();
  click(4);
  a.rig.core.AnalogueInputAlarmClick(8);
  EXPECT_EQ(a.analogue(4), ReportingDisabled);
  EXPECT_EQ(a.entries(), (Lines{At("Analogue 3 Alarm"), At("Analogue 3 Alarm Accept"), At("Analogue 3 Alarm Reset")}));
}

TEST(AnalogueAlarm, BandIsStrictInExtendedPrecision) {
  // 512 plus one extended ulp is out although a double could not tell it from 512.
  const long double justAbove = std::nextafter(512.0L, 1000.0L);
  ASSERT_EQ(static_cast<double>(justAbove), 512.0);
  EXPECT_TRUE(OutOfBand(justAbove, 0.0L, 512.0L));
  EXPECT_FALSE(OutOfBand(512.0L, 0.0L, 512.0L));
  EXPECT_TRUE(OutOfBand(std::nextafter(0.0L, -1.0L), 0.0L, 512.0L));
  // Inverted limits leave no band: every value is out, a NaN reading too.
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  EXPECT_TRUE(OutOfBand(50.0L, 100.0L, 10.0L));
  EXPECT_TRUE(OutOfBand(nan, 100.0L, 10.0L));
  // A NaN with a real band, or a NaN limit, raises nothing.
  EXPECT_FALSE(OutOfBand(nan, 0.0L, 1024.0L));
  EXPECT_FALSE(OutOfBand(5.0L, nan, nan));

  Alarms a;
  a.rig.core.LinkUp = 1;
  a.value(6, nan);
  EXPECT_EQ(a.analogue(6), Normal);
  EXPECT_EQ(a.rig.view.valueTexts[5], "NAN");
}

TEST(AnalogueAlarm, ThroughReports) {
  Alarms a;
  a.rig.core.ConnectButtonClick();
  a.config.AlarmAbove[0].Set(500.0L);
  // Raw 512 at the default scaling of 1023 is 512: out of band.
  a.rig.report("KELDRON,U,0010000000000000,0000000000000000,512,0,0,0,0,0,0,0");
  EXPECT_EQ(a.digital(3), AlarmUnaccepted);
  EXPECT_EQ(a.analogue(1), AlarmUnaccepted);
  a.rig.core.DigitalInputAlarmClick(2);
  a.rig.report("KELDRON,U,0000000000000000,0000000000000000,512,0,0,0,0,0,0,0");
  a.rig.core.DigitalInputAlarmClick(2);
  Lines inputs;
  for (const auto& line : a.rig.eventLines())
    if (line.find("Input") != std::string::npos || line.find("Analogue") != std::string::npos) inputs.push_back(line);
  EXPECT_EQ(inputs, (Lines{At("Input 3 Alarm"), At("Analogue 1 Alarm"), At("Input 3 Alarm Accept"),
                           At("Input 3 Alarm Reset")}));
  // The click redraws nothing; the next report shows the reset.
  EXPECT_EQ(a.rig.view.indicator(2), (RecordingView::Look{Colours::Yellow, "AC"}));
  a.rig.report("KELDRON,U,0000000000000000,0000000000000000,512,0,0,0,0,0,0,0");
  EXPECT_EQ(a.rig.view.indicator(2), (RecordingView::Look{Colours::Green, "C"}));
  EXPECT_EQ(a.rig.view.valueTexts[0], "512");
  EXPECT_EQ(a.rig.view.barValues[0], 512);
}
