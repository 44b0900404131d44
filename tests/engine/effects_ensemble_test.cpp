#include <gtest/gtest.h>

#include "effects_util.h"
#include "ensemble.h"

namespace {

// Sweep frozen (both depths 0) at the given centre, one step computed.
void freeze(Ensemble& e, double fs, double centre) {
  e.init(fs);
  e.depthA = e.depthB = 0.0;
  for (double& c : e.centre) c = centre;
  e.update();
}

TEST(EffectsEnsemble, LineLengthFollowsSampleRate) {
  Ensemble e;
  EXPECT_EQ(e.length(), 882);  // constructed at 44.1 kHz
  const double rates[] = {48000.0, 96000.0, 8000.0, 192000.0, 44100.0};
  const int lengths[] = {960, 1920, 160, 3840, 882};
  for (int i = 0; i < 5; ++i) {
    e.init(rates[i]);
    EXPECT_EQ(e.length(), lengths[i]);
    for (int j = 0; j < 200; ++j) ASSERT_TRUE(std::isfinite(e.process(0.1)));
  }
  e.init(20.0);  // no cell: silent, no crash
  EXPECT_EQ(e.length(), 0);
  EXPECT_EQ(e.process(1.0), 0.0);
}

TEST(EffectsEnsemble, ClockStepFromCentreAndDepths) {
  Ensemble e;
  freeze(e, 44100.0, 0.5);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(e.step(k), 0.5625);
  freeze(e, 44100.0, 0.0);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(e.step(k), 0.125);

  // Largest depths: d swings -0.25 ... 0.75, clamped at 0 (step 0.125).
  for (double& c : e.centre) c = 0.5;
  e.depthA = e.depthB = 0.25;
  e.lfoA.setSpeed(0.72);
  e.lfoB.setSpeed(5.0);
  int clamped = 0;
  double lo = 1.0, hi = 0.0;
  for (int t = 0; t < 5000; ++t) {
    e.update();
    for (int k = 0; k < 3; ++k) {
      lo = std::min(lo, e.step(k)), hi = std::max(hi, e.step(k));
      clamped += e.step(k) == 0.125;
    }
  }
  EXPECT_EQ(lo, 0.125);
  EXPECT_GT(clamped, 100);
  EXPECT_LE(hi, 0.875 * 0.75 + 0.125);
  EXPECT_GT(hi, 0.7);
}

TEST(EffectsEnsemble, DelayIsLengthTimesStepAndToneStaysClean) {
  // Step 0.5625 at 44.1 kHz: 882 * 0.5625 = 496.125 samples; filters and
  // interpolation add a few. Centre 0: step 0.125, 110.25 samples.
  for (double centre : {0.5, 0.0}) {
    Ensemble e;
    freeze(e, 44100.0, centre);
    std::vector<double> y(1000);
    for (int i = 0; i < 1000; ++i) y[i] = e.process(i == 0 ? 1.0 : 0.0);
    const double ticks = 882 * e.step(0);
    EXPECT_GE(peakIndex(y), ticks);
    EXPECT_LE(peakIndex(y), ticks + 7.0);
    for (int i = 0; i < ticks - 10; ++i) ASSERT_EQ(y[i], 0.0) << i;
  }
  // One or two ticks per sample: the resampling must not jitter a steady tone.
  Ensemble e;
  freeze(e, 44100.0, 0.5);
  const double w = 2.0 * 3.141592653589793 * 300.0 / 44100.0;
  std::vector<double> y(8000);
  for (int i = 0; i < 8000; ++i) y[i] = e.process(std::sin(w * i));
  EXPECT_LT(sineFitError(y, w, 4000, 8000), 1e-3);
  EXPECT_NEAR(std::fabs(y[peakIndex(y)]), 3.0, 0.05);
}

TEST(EffectsEnsemble, DcGainIsThreeAtEveryRate) {
  for (double fs : {8000.0, 44100.0, 48000.0, 192000.0}) {
    Ensemble e;
    e.init(fs);
    e.lfoA.setSpeed(0.72);
    e.lfoB.setSpeed(5.0);
    double y = 0.0;
    for (int i = 0; i < static_cast<int>(fs * 0.3); ++i) {
      if (i % (static_cast<int>(fs) / 1000) == 0) e.update();
      y = e.process(0.25);
    }
    EXPECT_NEAR(y, 0.75, 1e-9) << fs;
  }
}

TEST(EffectsEnsemble, ClearAndInitEmptyTheLines) {
  Ensemble e;
  e.init(48000.0);
  e.lfoA.setSpeed(0.72);
  for (int i = 0; i < 4800; ++i) e.process(std::sin(0.05 * i));
  e.clear();
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(e.process(0.0), 0.0) << i;
  const double before = e.step(0);
  for (int t = 0; t < 50; ++t) e.update();
  EXPECT_NE(e.step(0), before);  // the sweep runs on

  for (int i = 0; i < 4800; ++i) e.process(std::sin(0.05 * i));
  e.init(48000.0);  // same rate: no new lines, but empty ones
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(e.process(0.0), 0.0) << i;
}

}  // namespace
