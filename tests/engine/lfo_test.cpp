#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lfo.h"

TEST(LFO, SquareAt4Point6Hz) {
  LFO lfo;
  lfo.setSampleRate(1000.0);
  lfo.setSpeed(4.6);
  std::vector<int> runs{1};
  double last = lfo.getSqr();
  EXPECT_EQ(last, -1.0);
  for (int i = 1; i < 5000; ++i) {
    lfo.update();
    if (lfo.getSqr() == last) {
      ++runs.back();
    } else {
      last = lfo.getSqr();
      runs.push_back(1);
    }
  }
  EXPECT_EQ(runs[0], 109);
  EXPECT_EQ(runs[1], 109);
  for (size_t i = 2; i + 1 < runs.size(); ++i) EXPECT_TRUE(runs[i] == 108 || runs[i] == 109) << i;
  int total = 0;
  for (size_t i = 0; i < 20; ++i) total += runs[i];
  EXPECT_NEAR(total / 10.0, 217.39, 0.2);
}

TEST(LFO, ShapesAndFreeze) {
  LFO lfo;
  EXPECT_EQ(lfo.getTri(), -1.0);
  EXPECT_NEAR(lfo.getSin(1), 0.86550, 0.00001);  // about 120 degrees apart
  EXPECT_NEAR(lfo.getSin(2), -0.86550, 0.00001);
  lfo.setSpeed(499.5);  // phase 0.999: triangle near +1, square -1
  lfo.update();
  EXPECT_NEAR(lfo.getTri(), 0.998, 1e-12);
  EXPECT_EQ(lfo.getSqr(), -1.0);
  lfo.setSpeed(0.5005);  // 0.999 + 0.001001 wraps to about -1
  lfo.update();
  EXPECT_NEAR(lfo.getPhase(), -0.999999, 1e-9);
  EXPECT_NEAR(lfo.getTri(), 1.0, 1e-5);
  EXPECT_EQ(lfo.getSqr(), 1.0);
  EXPECT_NEAR(lfo.getSin(0), std::sin(-3.141592653589793 * 0.999999), 1e-15);

  const double p = lfo.getPhase();
  lfo.setSpeed(0.0);
  for (int i = 0; i < 100; ++i) lfo.update();
  EXPECT_EQ(lfo.getPhase(), p);
  lfo.setSpeed(3.0);
  lfo.setSampleRate(2000.0);
  lfo.update();
  EXPECT_NEAR(lfo.getPhase(), p + 0.003, 1e-12);
}
