#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "effects_util.h"
#include "phaser.h"

namespace {

constexpr double kPi = 3.141592653589793;

// The instrument's reset settings at 48 kHz, with the given depth, feedback and wet share.
Phaser makePhaser(double depth, double feedback, double wet) {
  Phaser p;
  p.setSampleRate(48000.0);
  p.setBase(0.02);
  p.setFeedback(feedback);
  p.setDepth(depth);
  p.setWet(wet);
  p.lfo.setSpeed(0.19);
  return p;
}

// Left output for input x(i), update() once per 48 samples.
template <class F>
std::vector<double> render(Phaser& p, int n, F x) {
  std::vector<double> y(n);
  for (int i = 0; i < n; ++i) {
    if (i % 48 == 0) p.update();
    Signal s{x(i), x(i)};
    p.process(s);
    y[i] = s.left;
  }
  return y;
}

TEST(EffectsPhaser, LargestBreakAngle) {
  Phaser p;
  EXPECT_DOUBLE_EQ(p.wmax(), 1.7097102876679147);  // constructed at 44.1 kHz
  p.setSampleRate(48000.0);
  EXPECT_DOUBLE_EQ(p.wmax(), kPi / 2.0);
}

TEST(EffectsPhaser, BreakFrequencyAtDepthZeroIs240Hz) {
  const double w = 0.02 * (kPi / 2.0);
  const double wBreak = 2.0 * std::atan(w / 2.0);  // bilinear, not prewarped: each stage -90 degrees
  EXPECT_NEAR(wBreak * 48000.0 / (2.0 * kPi), 240.0, 0.05);
  auto deviation = [](Phaser p, double wx, double gain) {
    const std::vector<double> y = render(p, 48000, [wx](int i) { return std::sin(wx * i); });
    double d = 0.0;
    for (int i = 43200; i < 48000; ++i) d = std::max(d, std::fabs(y[i] - gain * std::sin(wx * i)));
    return d;
  };
  // Wet only: four stages of -90 degrees come back in phase; an octave up they do not.
  EXPECT_LT(deviation(makePhaser(0.0, 0.0, 1.0), wBreak, 1.0), 1e-4);
  EXPECT_GT(deviation(makePhaser(0.0, 0.0, 1.0), 2.0 * wBreak, 1.0), 0.5);
  // Half wet: a notch where each stage shifts by -45 degrees.
  const double wNotch = 2.0 * std::atan(w * std::tan(kPi / 8.0) / 2.0);
  EXPECT_LT(deviation(makePhaser(0.0, 0.0, 0.5), wNotch, 0.0), 1e-4);
}

TEST(EffectsPhaser, DcGainWithAndWithoutFeedback) {
  // No feedback, half wet, sweep held at several places: a constant stays itself.
  for (int hold : {0, 300, 1500, 2600}) {
    Phaser p = makePhaser(0.22, 0.0, 0.5);
    for (int t = 0; t < hold; ++t) p.update();
    p.lfo.setSpeed(0.0);
    EXPECT_NEAR(render(p, 48000, [](int) { return 0.5; }).back(), 0.5, 1e-9) << hold;
  }
  // Wet only: the loop settles to x / (1 + 0.999 f); a break near 6 kHz keeps
  // its slowest mode short enough to settle even at f = +-1.
  for (double f : {0.5, -0.3, 1.0, -1.0}) {
    Phaser p = makePhaser(0.0, f, 1.0);
    p.setBase(0.5);
    const double y = render(p, 480000, [](int) { return 0.5; }).back();
    EXPECT_DOUBLE_EQ(p.loopGain(), 0.999 * f);
    EXPECT_NEAR(y, 0.5 / (1.0 + 0.999 * f), 1e-9 * y) << f;
  }
}

TEST(EffectsPhaser, ChannelsMatchAndNanIsDropped) {
  Phaser p = makePhaser(0.22, -1.0, 0.5);
  p.lfo.setSpeed(3.0);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> d(-1.0, 1.0);
  for (int i = 0; i < 20000; ++i) {
    if (i % 48 == 0) p.update();
    const double x = i == 100 ? std::numeric_limits<double>::quiet_NaN() : d(rng);
    Signal s{x, x};
    p.process(s);
    ASSERT_EQ(s.left, s.right) << i;
    ASSERT_TRUE(std::isfinite(s.left)) << i;
  }
}

TEST(EffectsPhaser, PassesDryShareUntilFirstUpdate) {
  Phaser p;
  p.setWet(0.3);
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 100; ++i) {
      Signal s{std::sin(0.1 * i), -std::sin(0.1 * i)};
      p.process(s);
      ASSERT_NEAR(s.left, 0.7 * std::sin(0.1 * i), 1e-12);
      ASSERT_NEAR(s.right, -0.7 * std::sin(0.1 * i), 1e-12);
    }
    for (int i = 0; i < 10; ++i) p.update();
    Signal t{1.0, 1.0};
    p.process(t);
    EXPECT_GT(std::fabs(t.left - 0.7), 1e-3);  // colouring once updated
    p.setSampleRate(96000.0);                  // a new rate drops the coefficients again
  }
}

}  // namespace
