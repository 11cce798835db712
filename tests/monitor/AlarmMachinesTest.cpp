// The state tables are walked row by row, against a model of their rules, by the soak
// (tests/app/SoakTest.cpp); what stays here are the band's edges that no report reaches.
#include "monitor/AlarmMachines.h"
#include "support/Fakes.h"

#include "support/ExtendedValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(AnalogueAlarm, BandIsStrictInExtendedPrecision) {
  // 512 plus one extended ulp is out although a double could not tell it from 512.
  const Extended justAbove = X(0x4008, 0x8000000000000001ULL);
  EXPECT_TRUE(OutOfBand(justAbove, X("0.0"), X("512.0")));
  EXPECT_FALSE(OutOfBand(X("512.0"), X("0.0"), X("512.0")));
  EXPECT_TRUE(OutOfBand(-DenormMin, X("0.0"), X("512.0")));
  // Inverted limits leave no band: every value is out, a NaN reading too.
  const Extended nan = QuietNaN;
  EXPECT_TRUE(OutOfBand(X("50.0"), X("100.0"), X("10.0")));
  EXPECT_TRUE(OutOfBand(nan, X("100.0"), X("10.0")));
  // A NaN with a real band, or a NaN limit, raises nothing.
  EXPECT_FALSE(OutOfBand(nan, X("0.0"), X("1024.0")));
  EXPECT_FALSE(OutOfBand(X("5.0"), nan, nan));

  // Through the panel: a NaN reading raises nothing and shows as "NAN".
  Rig rig;
  rig.core.LinkUp = 1;
  rig.core.Report.AnalogueValue[5] = nan;
  rig.core.EvaluateAlarms();
  EXPECT_EQ(rig.core.AnalogueAlarmState[5], AlarmState::Normal);
  EXPECT_EQ(rig.view.valueTexts[5], "NAN");
}
