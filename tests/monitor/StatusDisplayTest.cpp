#include "monitor/StatusDisplay.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
using enum AlarmState;
}  // namespace

TEST(StatusDisplay, ControlsAreAssignedOnlyOnChange) {
  // What each control shows is checked after every tick by the soak; here, how often it is set.
  Rig rig;
  PanelCore& core = rig.core;
  RecordingView& v = rig.view;
  // Connected: an unchanged refresh assigns no colour or caption, only the 8 levels and 8 texts.
  core.LinkUp = 1;
  core.Report.AnalogueRaw[2] = 300;
  core.DigitalAlarmState[0] = AlarmUnaccepted;
  core.RefreshStatusDisplay();
  const int assignments = v.assignments;
  const int values = v.valueAssignments;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.assignments, assignments);
  EXPECT_EQ(v.valueAssignments, values + 16);
  // One blink flip reassigns the one blinking colour.
  core.BlinkPhase = 1;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.assignments, assignments + 1);

  // The link down: the idle look once, then nothing while it stands, blink or not.
  core.LinkUp = 0;
  core.RefreshStatusDisplay();
  const int idleAssignments = v.assignments;
  const int idleValues = v.valueAssignments;
  core.BlinkPhase = 0;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.assignments, idleAssignments);
  EXPECT_EQ(v.valueAssignments, idleValues);
}

TEST(StatusDisplay, ValueTextIsCutNotRounded) {
  // The listed examples.
  EXPECT_EQ(FormatAnalogueValue(512.0L), "512");
  EXPECT_EQ(FormatAnalogueValue(512.3456L), "512.34");
  EXPECT_EQ(FormatAnalogueValue(100.999L), "100.99");
  EXPECT_EQ(FormatAnalogueValue(100.999), "100.99");
  EXPECT_EQ(FormatAnalogueValue(2.5L), "2.5");
  EXPECT_EQ(FormatAnalogueValue(1.0L / 3), "0.33");
  EXPECT_EQ(FormatAnalogueValue(0.977517106549365L), "0.97");
  EXPECT_EQ(FormatAnalogueValue(0.0L), "0");
  EXPECT_EQ(FormatAnalogueValue(-0.0L), "0");
  // A reading as the parser scales it: raw 1000 at scaling 1000 is 1000 * 1000 / 1023.
  EXPECT_EQ(FormatAnalogueValue(1000.0L * 1000.0L * (1.0L / 1023)), "977.51");
  // Rounding to 15 digits comes first: the carry reaches the whole number.
  EXPECT_EQ(FormatAnalogueValue(0.9999999999999999L), "1");
  EXPECT_EQ(FormatAnalogueValue(99.9999999999999999L), "100");
  // Fixed notation from 0.00001 up, also where the 15-digit rounding lands on it.
  EXPECT_EQ(FormatAnalogueValue(0.00001L), "0.00");
  EXPECT_EQ(FormatAnalogueValue(0.0000099999999999999999L), "0.00");
  EXPECT_EQ(FormatAnalogueValue(0.05L), "0.05");
  EXPECT_EQ(FormatAnalogueValue(-0.001L), "-0.00");
  EXPECT_EQ(FormatAnalogueValue(-12.345L), "-12.34");
  // Below 0.00001: "0.00" with its sign.
  EXPECT_EQ(FormatAnalogueValue(0.000001L), "0.00");
  EXPECT_EQ(FormatAnalogueValue(-1e-300L), "-0.00");
  // Up to 15 digits before the point in fixed notation; more keep their exponent.
  EXPECT_EQ(FormatAnalogueValue(123456789012345.67L), "123456789012346");
  EXPECT_EQ(FormatAnalogueValue(999999999999999.9L), "1E+15");
  EXPECT_EQ(FormatAnalogueValue(-1.23456e20L), "-1.23E+20");
  EXPECT_EQ(FormatAnalogueValue(std::numeric_limits<long double>::max()), "1.18E+4932");
  EXPECT_EQ(FormatAnalogueValue(std::numeric_limits<long double>::infinity()), "INF");
  EXPECT_EQ(FormatAnalogueValue(-std::numeric_limits<long double>::infinity()), "-INF");
  EXPECT_EQ(FormatAnalogueValue(-std::numeric_limits<long double>::quiet_NaN()), "NAN");
}
