// The state tables are walked row by row, against a model of their rules, by the soak
// (tests/app/SoakTest.cpp); what stays here are the band's edges that no report reaches.
#include "monitor/AlarmMachines.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

  // Through the panel: a NaN reading raises nothing and shows as "NAN".
  Rig rig;
  rig.core.LinkUp = 1;
  rig.core.Report.AnalogueValue[5] = nan;
  rig.core.EvaluateAlarms();
  EXPECT_EQ(rig.core.AnalogueAlarmState[5], AlarmState::Normal);
  EXPECT_EQ(rig.view.valueTexts[5], "NAN");
}
