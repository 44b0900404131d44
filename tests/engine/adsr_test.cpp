#include <gtest/gtest.h>

#include <cmath>

#include "adsr.h"

namespace {
double law(double x) { return std::pow(5.0, 3.3 - 7.5 * x) + 0.05; }

int stepsIn(ADSR& env, int state) {
  int n = 0;
  for (; env.getState() == state && n < 10000000; ++n) env.update();
  return n;
}
}  // namespace

TEST(ADSR, TimeLawAndStageLengths) {
  EXPECT_NEAR(1.0 / envelopeTime(0.0), 0.0049, 0.0001);
  EXPECT_NEAR(1.0 / envelopeTime(0.5), 1.87, 0.01);
  EXPECT_NEAR(1.0 / envelopeTime(1.0), 19.55, 0.05);
  for (double x : {0.1, 0.6}) {
    ADSR env;
    env.setSampleRate(1000.0);
    env.setAttack(x);
    env.setRelease(x);
    env.setSustain(1.0);
    env.start();
    // A rise from 0 to 1 and a fall from 1 to 0 each end once (1 - c)^n <= 1/10.
    const double steps = std::log(0.1) / std::log1p(-2.302585092994046 / 1000.0 * law(x));
    EXPECT_NEAR(stepsIn(env, ADSR::Attack), steps, 1.0) << x;
    env.stop();
    EXPECT_NEAR(stepsIn(env, ADSR::Release), steps, 1.0) << x;
    EXPECT_EQ(env.getLevel(), 0.0);
  }
}

TEST(ADSR, ZeroAttackAndDecayToSustain) {
  ADSR env;
  env.setSampleRate(44100.0);
  env.setDecay(0.1);
  env.setSustain(1.0);
  env.start();
  env.update();
  EXPECT_NEAR(env.getLevel(), 0.01158, 0.00001);
  EXPECT_EQ(stepsIn(env, ADSR::Attack), 219);  // clamped to 1 on the 220th step
  EXPECT_EQ(env.getLevel(), 1.0);
  for (int i = 0; i < 50000; ++i) env.update();
  EXPECT_EQ(env.getLevel(), 1.0);

  // A new sustain level becomes the target at once; sustain 0 keeps the envelope on.
  env.setSustain(0.0);
  for (int i = 0; i < 200000; ++i) env.update();
  EXPECT_TRUE(env.isOn());
  EXPECT_LT(env.getLevel(), 1e-9);
}

TEST(ADSR, StopAndStartEdges) {
  ADSR env;
  env.setSampleRate(44100.0);
  env.setAttack(0.3);
  env.setRelease(0.4);
  env.start();
  env.stop();  // at level 0: idle at once
  EXPECT_FALSE(env.isOn());

  env.start();
  while (env.getLevel() < 0.5) env.update();
  const double reached = env.getLevel();
  env.stop();  // releases from where the attack got to
  env.update();
  EXPECT_DOUBLE_EQ(env.getLevel(), reached + (-1.0 / 9.0 - reached) * (2.302585092994046 / 44100.0 * law(0.4)));

  const double released = env.getLevel();
  env.start();  // back into the attack without a jump
  EXPECT_EQ(env.getLevel(), released);
  env.update();
  EXPECT_GT(env.getLevel(), released);
  EXPECT_LT(env.getLevel(), released + 0.01);

  // During the attack a setting of 0 follows the time law (no special case).
  env.setAttack(0.0);
  const double l = env.getLevel();
  env.update();
  EXPECT_DOUBLE_EQ(env.getLevel(), l + (10.0 / 9.0 - l) * (2.302585092994046 / 44100.0 * law(0.0)));

  env.setSampleRate(48000.0);
  EXPECT_FALSE(env.isOn());
  EXPECT_EQ(env.getLevel(), 0.0);
}
