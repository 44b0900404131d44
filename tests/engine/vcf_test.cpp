#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pitch.h"
#include "vcf.h"
#include "voicecard.h"

namespace {
constexpr double twoPi = 6.283185307179586;

VCF makeVCF(double fs, double r) {
  VCF f;
  f.setSampleRate(fs);
  f.setResonance(r);
  return f;
}
}  // namespace

TEST(VCF, SaturatorAndTables) {
  EXPECT_EQ(clamp(0.0), 0.0);
  EXPECT_DOUBLE_EQ(clamp(15.0), 5.0);
  EXPECT_EQ(clamp(-1e300), -5.0);
  EXPECT_NEAR(clamp(1e-3), 1e-3, 1e-9);
  for (double x = -20.0; x <= 20.0; x += 0.01) {
    ASSERT_GE(clamp(x + 0.01), clamp(x)) << x;
    ASSERT_NEAR(clamp(x), 5.0 * std::tanh(x / 5.0), 0.12) << x;
  }

  VCF f;  // 44100 Hz tables from construction
  const VCF::RateTables& t = f.rateTables();
  EXPECT_DOUBLE_EQ(t.freq2rad[8832], 440.0 * twoPi / 44100.0);
  for (int i = 0; i <= 17280; ++i) {
    const double hz = convert2Hz(i);
    const double expected = hz < 500.0 ? 4.1 : hz > 2000.0 ? 4.005 : 4.1 - 0.095 * (hz - 500.0) / 1500.0;
    ASSERT_NEAR(t.resoScaler[i], expected, 1e-12) << i;
  }
  f.setSampleRate(96000.0);
  EXPECT_DOUBLE_EQ(f.rateTables().freq2rad[17280], 19912.127 * twoPi / 96000.0);
}

TEST(VCF, CoefficientsCachedAgainstTheIndex) {
  VCF f = makeVCF(44100.0, 0.3);
  const unsigned long start = f.recomputations();
  f.process(0.0, 0.8);
  EXPECT_EQ(f.heldIndex(), 13825.0);  // MIDI note 108 and 1/128
  const double w = convert2Hz(13825) * twoPi / 44100.0;
  EXPECT_DOUBLE_EQ(f.gain(), w / (w + 2.0));
  EXPECT_DOUBLE_EQ(f.pole(), (w - 2.0) / (w + 2.0));
  EXPECT_DOUBLE_EQ(f.feedback(), 4.005 * 0.3);
  EXPECT_DOUBLE_EQ(f.outputGain(), 1.84);
  f.process(0.0, 0.80001);  // same index
  EXPECT_EQ(f.recomputations(), start + 1);
  f.setResonance(0.0);  // forces one recomputation
  f.process(0.0, 0.8);
  f.process(0.0, 0.8);
  EXPECT_EQ(f.recomputations(), start + 2);
  EXPECT_EQ(f.outputGain(), 1.0);

  // Out of range reads the table's ends, but the held index stays unclamped.
  f.process(0.0, 2.0);
  f.process(0.0, 3.0);
  EXPECT_EQ(f.recomputations(), start + 4);
  EXPECT_EQ(f.heldIndex(), 51843.0);
  const double wTop = 19912.127 * twoPi / 44100.0;
  EXPECT_DOUBLE_EQ(f.gain(), wTop / (wTop + 2.0));
  f.process(0.0, -0.5);
  EXPECT_EQ(f.heldIndex(), -8641.0);  // -8640.5: halves away from zero
  const double wLow = 8.176 * twoPi / 44100.0;
  EXPECT_DOUBLE_EQ(f.gain(), wLow / (wLow + 2.0));

  // A reset holds index -1: any other index recomputes on the next sample, while a control value
  // whose index is exactly -1 keeps the reset coefficients until the index moves.
  f.setSampleRate(44100.0);
  EXPECT_EQ(f.heldIndex(), -1.0);
  f.process(1.0, -1.0 / 17281.0);
  EXPECT_EQ(f.gain(), 0.0);
  f.process(1.0, -2.0 / 17281.0);
  EXPECT_EQ(f.heldIndex(), -2.0);
  EXPECT_DOUBLE_EQ(f.gain(), wLow / (wLow + 2.0));
}

TEST(VCF, ZeroResonanceIsFourBilinearOnePoles) {
  for (double fs : {44100.0, 96000.0}) {
    for (double cv : {0.3, 0.75}) {
      VCF f = makeVCF(fs, 0.0);
      const double w = convert2Hz(static_cast<int>(std::lround(cv * 17281.0))) * twoPi / fs;
      const double G = w / (w + 2.0), B = (w - 2.0) / (w + 2.0);
      double xPrev[4] = {}, yPrev[4] = {}, maxOut = 0.0;
      for (int i = 0; i < 4000; ++i) {
        double x = std::sin(0.05 * i) + 0.5 * std::sin(0.9 * i) + (i % 50 == 0 ? 1.0 : 0.0);
        const double out = f.process(x, cv);
        for (int s = 0; s < 4; ++s) {  // y = G * (x + x[n-1]) - B * y[n-1]
          const double y = G * (x + xPrev[s]) - B * yPrev[s];
          xPrev[s] = x;
          yPrev[s] = x = y;
        }
        ASSERT_NEAR(out, x, 1e-10) << fs << " " << cv << " " << i;
        maxOut = std::max(maxOut, std::fabs(out));
      }
      EXPECT_GT(maxOut, 0.01);
    }
  }
}

TEST(VCF, SelfOscillationStartImpulse) {
  VCF f = makeVCF(44100.0, 1.0);
  EXPECT_EQ(f.state(1), 0.1);
  EXPECT_EQ(f.state(3), -0.1);
  EXPECT_EQ(f.state(0) + f.state(2), 0.0);
  double peak = 0.0, late = 0.0;
  for (int i = 0; i < 44100; ++i) {
    const double y = f.process(0.0, 0.5);
    peak = std::max(peak, std::fabs(y));
    if (i > 40000) late = std::max(late, std::fabs(y));
  }
  EXPECT_GT(late, 0.5);  // keeps ringing ...
  EXPECT_LT(peak, 20.0);  // ... bounded by the saturator

  VCF g = makeVCF(44100.0, 0.5);
  for (int i = 0; i < 100; ++i) g.process(1.0, 0.5);
  const double s1 = g.state(1), s3 = g.state(3);
  g.setResonance(1.0);  // holds state: no impulse
  EXPECT_EQ(g.state(1), s1);
  EXPECT_EQ(g.state(3), s3);
  EXPECT_EQ(makeVCF(44100.0, 0.99).state(1), 0.0);
}

TEST(VCF, RecoversFromNaNAndInfinity) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    VCF f = makeVCF(44100.0, 0.7), ref = makeVCF(44100.0, 0.7);
    f.process(bad, 0.5);
    ref.process(0.0, 0.5);
    for (int i = 0; i < 2000; ++i) ASSERT_NEAR(f.process(0.3, 0.5), ref.process(0.3, 0.5), 1e-9) << i;
  }
}

TEST(VoiceCard, IdleCardAndEnvelopeDrivenFilter) {
  VoiceCard card;
  card.setSampleRate(44100.0);
  card.gateOff();  // on an idle card: stays idle
  for (int i = 0; i < 10; ++i) {
    card.update();
    EXPECT_EQ(card.process(1.0, 0.0), 0.0);
  }
  EXPECT_FALSE(card.isActive());
  EXPECT_EQ(card.envelope().getLevel(), 0.0);

  const double settings[7] = {0.4, 0.6, -0.3, 0.1, 0.2, 0.5, 0.05};
  for (int code = 25; code <= 31; ++code) card.setParam(code, settings[code - 25]);
  for (int code : {0, 24, 32, 65}) card.setParam(code, 0.9);  // ignored
  VCF vcf = makeVCF(44100.0, 0.6);  // reference: the same parts driven by hand
  ADSR env;
  env.setSampleRate(44100.0);
  env.setAttack(0.1);
  env.setDecay(0.2);
  env.setSustain(0.5);
  env.setRelease(0.05);
  card.gateOn();
  env.start();
  for (int n = 0; n < 20000; ++n) {
    if (n == 15000) {
      card.gateOff();
      env.stop();
    }
    card.update();
    env.update();
    const double in = std::sin(0.02 * n), mod = 0.1 * std::sin(0.001 * n), e = env.getLevel();
    const double expected = env.isOn() ? vcf.process(in, -0.3 * e + 0.4 + mod) * e : 0.0;
    ASSERT_EQ(card.process(in, mod), expected) << n;
    ASSERT_EQ(card.isActive(), env.isOn()) << n;
  }
  EXPECT_FALSE(card.isActive());
}

TEST(VoiceCard, DefaultSettingsAndEndOfRelease) {
  VoiceCard card;
  card.setSampleRate(44100.0);
  card.setParam(25, 0.7);
  card.gateOn();
  int n = 0;
  for (; card.envelope().getLevel() < 1.0; ++n) card.update();
  EXPECT_EQ(n, 245);  // attack 0.01, about 5.6 ms
  for (int i = 0; i < 1000; ++i) card.update();
  EXPECT_EQ(card.envelope().getLevel(), 1.0);  // sustain 1
  card.gateOff();
  for (n = 0; card.isActive(); ++n) {
    ASSERT_NE(card.process(0.5, 0.0), 0.0);  // sounds through the release
    card.update();
  }
  EXPECT_NEAR(n / 44100.0, 1.0 / (std::pow(5.0, 2.55) + 0.05), 0.0005);  // release 0.1
  EXPECT_EQ(card.process(0.5, 0.0), 0.0);  // silent from the sample after the flag cleared
  card.gateOn();
  card.setSampleRate(48000.0);  // makes the card idle
  EXPECT_FALSE(card.isActive());
}
