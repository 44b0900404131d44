#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "pitch.h"

TEST(Pitch, TablesAndConversion) {
  for (int n = 0; n < 136; ++n) {
    const double hz = 440.0 * std::pow(2.0, (n - 69) / 12.0);
    const double digits = n >= 124 && n <= 127 ? 100.0 : 1000.0;
    EXPECT_DOUBLE_EQ(MIDI2Hz[n], std::round(hz * digits) / digits) << n;
    EXPECT_DOUBLE_EQ(AntiMIDI2Hz[n], std::round(8.176 * std::pow(2.0, -n / 12.0) * 1e10) / 1e10) << n;
  }
  EXPECT_EQ(MIDI2Hz[124], 10548.08);
  EXPECT_EQ(MIDI2Hz[135], 19912.127);
  EXPECT_EQ(AntiMIDI2Hz[135], 0.0033570162);

  EXPECT_EQ(convert2Hz(0), 8.176);
  EXPECT_EQ(convert2Hz(69 * 128), 440.0);
  EXPECT_DOUBLE_EQ(convert2Hz(64), 8.419);
  EXPECT_EQ(convert2Hz(17280), 19912.127);
  EXPECT_EQ(convert2Hz(-128), 7.7171163805);
  EXPECT_EQ(convert2Hz(-20000), 0.0033570162);
  EXPECT_DOUBLE_EQ(convert2Hz(69 * 128 + 32), 440.0 + (466.164 - 440.0) * 0.25);
  EXPECT_DOUBLE_EQ(convert2Hz(-64), 8.176 + (7.7171163805 - 8.176) * 0.5);
  EXPECT_EQ(convert2Hz(INT_MAX), 19912.127);
  EXPECT_EQ(convert2Hz(INT_MIN), 0.0033570162);
  double previous = 0.0;
  for (int p = -17300; p <= 17300; ++p) {
    ASSERT_GE(convert2Hz(p), previous) << p;  // rises monotonically across note 0
    previous = convert2Hz(p);
  }
}
