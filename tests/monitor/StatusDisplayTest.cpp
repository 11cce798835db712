#include "monitor/StatusDisplay.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <limits>

namespace {
using Look = RecordingView::Look;
using enum AlarmState;
}  // namespace

TEST(StatusDisplay, ConnectedLookFollowsTheStatesOutputsAndReadings) {
  Rig rig;
  PanelCore& core = rig.core;
  core.LinkUp = 1;
  core.DigitalAlarmState = {Normal, AlarmUnaccepted, AlarmAccepted, AlarmCleared, ReportingDisabled};
  core.AnalogueAlarmState = {Normal, AlarmUnaccepted, AlarmAccepted, AlarmCleared, ReportingDisabled};
  core.Report.ReportedOutputs[3] = 1;
  core.Report.AnalogueRaw = {0, 1023, 512, 9999, 700};
  core.Report.AnalogueValue = {0.0L, 1023.0L, 512.0L, 9999.0L, 700.0L};
  core.BlinkPhase = 1;
  core.RefreshStatusDisplay();
  const RecordingView& v = rig.view;
  EXPECT_EQ(v.indicator(0), (Look{Colours::Green, "C"}));
  EXPECT_EQ(v.indicator(1), (Look{Colours::Red, "A"}));
  EXPECT_EQ(v.indicator(2), (Look{Colours::Red, "AA"}));
  EXPECT_EQ(v.indicator(3), (Look{Colours::Yellow, "AC"}));
  EXPECT_EQ(v.indicator(4), (Look{Colours::Grey, "NA"}));
  EXPECT_EQ(v.barColours, (std::array<Colour, 8>{Colours::Green, Colours::Red, Colours::Red, Colours::Yellow,
                                                 Colours::Grey, Colours::Green, Colours::Green, Colours::Green}));
  // Outputs as reported; the bar level is the raw reading, also for a disabled input.
  EXPECT_EQ(v.outputColours[3], Colours::Red);
  EXPECT_EQ(v.outputColours[4], Colours::Green);
  EXPECT_EQ(v.barValues, (std::array<std::int32_t, 8>{0, 1023, 512, 9999, 700, 0, 0, 0}));
  EXPECT_EQ(v.valueTexts[4], "700");

  // The other blink phase: only the unaccepted ones turn grey, keeping their caption.
  core.BlinkPhase = 0;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.indicator(1), (Look{Colours::Grey, "A"}));
  EXPECT_EQ(v.barColours[1], Colours::Grey);
  EXPECT_EQ(v.indicator(2), (Look{Colours::Red, "AA"}));

  // An output command changes no colour; the next report does.
  core.SendOutputCommand(4);
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.outputColours[4], Colours::Green);
}

TEST(StatusDisplay, IdleLookAndAssignmentsOnlyOnChange) {
  Rig rig;
  PanelCore& core = rig.core;
  RecordingView& v = rig.view;
  // Start-up already drew the idle look.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(v.indicator(i), (Look{Colours::Grey, "NA"})) << i;
  EXPECT_EQ(v.outputColours[15], Colours::Grey);
  EXPECT_EQ(v.valueTexts[7], "N/A");

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

  // The link goes down: grey "NA" everywhere, no blink, the bar keeps its level.
  core.LinkUp = 0;
  core.RefreshStatusDisplay();
  EXPECT_EQ(v.indicator(0), (Look{Colours::Grey, "NA"}));
  EXPECT_EQ(v.barColours[2], Colours::Grey);
  EXPECT_EQ(v.barValues[2], 300);
  EXPECT_EQ(v.valueTexts[2], "N/A");
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

TEST(AlarmSound, PlaysOnceWhileAnEnabledAlarmWaitsForItsAccept) {
  Rig rig;
  PanelCore& core = rig.core;
  CountingSound& sound = rig.sound;
  // Several alarms, one Play; the link being down does not matter.
  core.DigitalAlarmState[0] = AlarmUnaccepted;
  core.UpdateAlarmSound();
  core.AnalogueAlarmState[7] = AlarmUnaccepted;
  core.UpdateAlarmSound();
  core.LinkUp = 1;
  core.UpdateAlarmSound();
  EXPECT_EQ(sound.plays, 1);
  EXPECT_EQ(core.AlarmSoundPlaying, 1);
  // The first accept leaves one waiting; the last stops it, once.
  core.DigitalAlarmState[0] = AlarmAccepted;
  core.UpdateAlarmSound();
  EXPECT_EQ(sound.stops, 0);
  core.AnalogueAlarmState[7] = AlarmCleared;
  core.UpdateAlarmSound();
  core.UpdateAlarmSound();
  EXPECT_EQ(sound.stops, 1);
  EXPECT_EQ(core.AlarmSoundPlaying, 0);

  // An unaccepted alarm on an input whose reporting is off is silent.
  core.Configuration.DigitalEnableReporting[5] = 0;
  core.DigitalAlarmState[5] = AlarmUnaccepted;
  core.UpdateAlarmSound();
  EXPECT_EQ(sound.plays, 1);
  // The lost link, unaccepted, sounds only while its reporting is on.
  core.LinkState = LinkState::LinkLostUnaccepted;
  core.Configuration.LostLinkEnableReporting = 0;
  core.UpdateAlarmSound();
  EXPECT_EQ(sound.plays, 1);
  core.Configuration.LostLinkEnableReporting = 1;
  core.UpdateAlarmSound();
  EXPECT_EQ(sound.plays, 2);
}

TEST(AlarmSound, BlinkAndSoundFollowTheTick) {
  Rig rig;
  rig.core.ConnectButtonClick();
  rig.report("KELDRON,U,0100000000000000,0000000000000000,0,0,0,0,0,0,0,0");
  EXPECT_EQ(rig.sound.plays, 1);
  // A further alarm does not restart the sound.
  rig.report("KELDRON,U,0110000000000000,0000000000000000,0,0,0,0,0,0,0,0");
  EXPECT_EQ(rig.view.indicator(1).caption, "A");

  // Each blink colour lasts 21 ticks, and both unaccepted inputs blink together.
  std::vector<int> flips;
  Colour last = rig.view.indicator(1).colour;
  for (int t = 1; t <= 70; ++t) {
    rig.tick();
    EXPECT_EQ(rig.view.indicator(2).colour, rig.view.indicator(1).colour);
    if (rig.view.indicator(1).colour != last) flips.push_back(t);
    last = rig.view.indicator(1).colour;
  }
  ASSERT_EQ(flips.size(), 3u);
  EXPECT_EQ(flips[1] - flips[0], 21);
  EXPECT_EQ(flips[2] - flips[1], 21);

  // The accepts stop the sound at the next blink flip, not at the click.
  rig.core.DigitalInputAlarmClick(1);
  rig.core.DigitalInputAlarmClick(2);
  EXPECT_EQ(rig.sound.stops, 0);
  rig.tick(21);
  EXPECT_EQ(rig.sound.plays, 1);
  EXPECT_EQ(rig.sound.stops, 1);
}
