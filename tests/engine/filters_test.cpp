#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "filters.h"

namespace {
constexpr double pi = 3.141592653589793;

// Steady-state peak gain for a sine of frequency f at 44100 Hz.
double sineGain(LowPass& lp, double f) {
  double peak = 0.0;
  for (int i = 0; i < 20000; ++i) {
    const double y = lp.process(std::sin(2.0 * pi * f * i / 44100.0));
    if (i > 10000) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

LowPass makeLowPass(double fc) {
  LowPass lp;
  lp.setSampleRate(44100.0);
  lp.setCutoff(fc);
  return lp;
}
}  // namespace

TEST(LowPass, ButterworthResponse) {
  LowPass silent;
  EXPECT_EQ(silent.process(1.0), 0.0);  // no cutoff yet
  silent.setSampleRate(48000.0);
  EXPECT_EQ(silent.process(1.0), 0.0);

  LowPass lp = makeLowPass(4500.0);
  EXPECT_NEAR(20.0 * std::log10(sineGain(lp, 4500.0)), -3.0103, 0.005);
  lp = makeLowPass(4500.0);
  double dc = 0.0, nyquist = 0.0;
  for (int i = 0; i < 2000; ++i) dc = lp.process(1.0);
  lp.clear();
  for (int i = 0; i < 2000; ++i) nyquist = lp.process(i % 2 ? -1.0 : 1.0);
  EXPECT_NEAR(dc, 1.0, 1e-12);
  EXPECT_NEAR(nyquist, 0.0, 1e-12);

  // setQ(1) gives Q = 1 (gain 1 at the cutoff); a new sample rate restores 1/sqrt(2).
  lp.setQ(1.0);
  EXPECT_NEAR(sineGain(lp, 4500.0), 1.0, 0.01);
  lp.setSampleRate(44100.0);
  lp.setCutoff(4500.0);
  EXPECT_NEAR(20.0 * std::log10(sineGain(lp, 4500.0)), -3.0103, 0.005);
}

TEST(LowPass, RecoversFromNaNAndInfinity) {
  LowPass a = makeLowPass(2000.0), ref = makeLowPass(2000.0);
  a.process(1.0);
  ref.process(1.0);
  EXPECT_EQ(a.process(std::numeric_limits<double>::quiet_NaN()), ref.process(0.0));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(a.process(0.5), ref.process(0.5));

  // One infinite sample must not lock the section into inf/NaN for ever.
  LowPass b = makeLowPass(2000.0);
  b.process(std::numeric_limits<double>::infinity());
  double y = 0.0;
  for (int i = 0; i < 2000; ++i) y = b.process(0.5);
  EXPECT_NEAR(y, 0.5, 1e-9);
}

TEST(LP6, PolesAndGains) {
  LP6 lp;
  EXPECT_EQ(lp.process(1.0), 0.0);  // unconfigured: silent
  lp.setSampleRate(44100.0);
  lp.setCutoff(12000.0);
  EXPECT_NEAR(lp.pole(), 0.18092, 0.00001);
  const double g = lp.gain(), p = lp.pole();
  EXPECT_EQ(g, 1.0 - p);
  EXPECT_EQ(lp.process(1.0), g);  // impulse response g * p^n
  EXPECT_DOUBLE_EQ(lp.process(0.0), g * p);
  lp.setCutoff(0.0);  // p = 1, g = 0: holds the last output
  EXPECT_DOUBLE_EQ(lp.process(5.0), g * p);
  lp.setCutoff(1000.0);
  lp.setSampleRate(96000.0);  // re-applies the cutoff at the new rate, empties the state
  EXPECT_DOUBLE_EQ(lp.pole(), std::exp(-2.0 * pi * 1000.0 / 96000.0));
  EXPECT_EQ(lp.process(0.0), 0.0);
}

TEST(HP6, PoleAndTilt) {
  HP6 hp;
  LP6& base = hp;  // the cutoff is virtual
  base.setSampleRate(44100.0);
  base.setCutoff(3.3);
  EXPECT_NEAR(hp.pole(), 0.04323, 0.00001);
  EXPECT_NEAR(hp.gain(), 0.95677, 0.00001);
  double y = 0.0;
  for (int i = 0; i < 100; ++i) y = hp.process(0.7);
  EXPECT_NEAR(y, 0.7, 1e-12);  // unity at DC
  for (int i = 0; i < 100; ++i) y = hp.process(i % 2 ? -1.0 : 1.0);
  EXPECT_NEAR(std::fabs(y), 0.917, 0.001);  // (1 - p) / (1 + p) at half the rate
  base.setCutoff(340.0);
  EXPECT_NEAR(hp.pole(), 0.0454, 0.0001);
  base.setSampleRate(88200.0);
  EXPECT_DOUBLE_EQ(hp.pole(), std::exp(-2.0 * pi * (0.5 - 340.0 / 88200.0)));
}
