#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "bbddelay.h"
#include "effects_util.h"

namespace {

struct Stereo {
  std::vector<double> left, right;
};

double syncTime(int i) { return 1.0 - i / 19.0; }  // "Delay: Time" of note value i

// Wet only, no feedback, no vibe; `fs` also sets the control tick.
void setUp(BBDDelay& d, double fs, bool sync = false, bool dbl = false, bool pingPong = false) {
  d.setSampleRate(fs);
  d.feedback = 0.0;
  d.vibeOn = false;
  d.setMix(1.0);
  d.syncOn = sync, d.doubleOn = dbl, d.pingPongOn = pingPong;
}

// n samples of input in(i) on both sides (left only if leftOnly), update() once per 1 ms.
template <class F>
Stereo run(BBDDelay& d, double fs, double time, double tempo, int n, F in, bool leftOnly = false) {
  const int tick = static_cast<int>(fs) / 1000;
  Stereo out{std::vector<double>(n), std::vector<double>(n)};
  for (int i = 0; i < n; ++i) {
    if (i % tick == 0) d.update(time, tempo);
    Signal s{in(i), leftOnly ? 0.0 : in(i)};
    d.process(s);
    out.left[i] = s.left, out.right[i] = s.right;
  }
  return out;
}
auto impulse = [](int i) { return i == 0 ? 1.0 : 0.0; };

double energy(const std::vector<double>& v, int from, int to) {
  double e = 0.0;
  for (int i = from; i < to; ++i) e += v[i] * v[i];
  return e;
}

// An impulse's echo lands ms late; filters and interpolation add under 0.1 ms.
void expectEcho(double fs, bool sync, bool dbl, double time, double tempo, double ms) {
  BBDDelay d;
  setUp(d, fs, sync, dbl);
  const double at = ms * fs / 1000.0;
  const Stereo y = run(d, fs, time, tempo, static_cast<int>(at + fs * 0.05), impulse);
  const int p = peakIndex(y.left);
  EXPECT_GE(p, at - 0.5) << fs << " Hz, " << ms << " ms";
  EXPECT_LE(p, at + 0.0001 * fs + 3.0) << fs << " Hz, " << ms << " ms";
  EXPECT_GT(std::fabs(y.left[p]), 0.05);
}

TEST(EffectsDelay, LineLengths) {
  BBDDelay d;
  EXPECT_EQ(d.length(), 52920);  // constructed at 44.1 kHz
  const double rates[] = {48000.0, 96000.0, 8000.0, 192000.0};
  const int lengths[] = {57600, 115200, 9600, 230400};
  for (int i = 0; i < 4; ++i) {
    setUp(d, rates[i]);
    EXPECT_EQ(d.length(), lengths[i]);
    d.update(0.5, 120.0);  // double off: the half line
    EXPECT_EQ(d.readOffset(), lengths[i] / 2);
  }
}

// A new rate, or the same one again, starts with empty lines: no echo of what was played before (only
// the filters' last breath), where a delay left running goes on echoing.
TEST(EffectsDelay, SettingTheRateEmptiesTheLines) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> uniform(-0.5, 0.5);
  std::vector<double> noise(24000);
  for (double& x : noise) x = uniform(rng);
  auto played = [&](int i) { return noise[i]; };
  auto silence = [](int) { return 0.0; };
  for (const double next : {48000.0, 96000.0}) {
    BBDDelay d, kept;
    for (BBDDelay* x : {&d, &kept}) {
      setUp(*x, 48000.0);
      x->feedback = 0.5;
      run(*x, 48000.0, 0.5, 120.0, 24000, played);
    }
    setUp(d, next);
    d.feedback = 0.5;
    const int n = static_cast<int>(1.3 * next);
    const double echoes = energy(run(kept, 48000.0, 0.5, 120.0, 62400, silence).left, 0, 62400);
    EXPECT_GT(echoes, 1.0);
    EXPECT_LT(energy(run(d, next, 0.5, 120.0, n, silence).left, 0, n), 1e-3 * echoes) << next;
  }
}

TEST(EffectsDelay, FreeAndSyncTimes) {
  expectEcho(48000.0, false, false, 0.5, 120.0, 337.5);
  expectEcho(48000.0, false, true, 0.5, 120.0, 675.0);
  expectEcho(48000.0, false, true, 1.0, 120.0, 1200.0);
  expectEcho(44100.0, false, false, 0.0, 120.0, 75.0);
  expectEcho(48000.0, true, false, syncTime(7), 120.0, 500.0);         // "1/4"
  expectEcho(48000.0, true, false, syncTime(13), 120.0, 125.0);        // "1/16", full line
  expectEcho(48000.0, true, false, syncTime(16), 120.0, 62.5);         // "1/32", half line
  expectEcho(48000.0, true, false, syncTime(0), 120.0, 1000.0);        // "2/1": 4000 ms halved twice
  expectEcho(48000.0, true, false, syncTime(0), 60.0, 1000.0);         // halved three times
  expectEcho(48000.0, true, false, syncTime(19), 60.0, 62.5);          // "1/64"
  expectEcho(48000.0, true, false, syncTime(19), 240.0, 62.5);         // 15.625 ms doubled twice
  expectEcho(48000.0, true, false, syncTime(19), 480.0, 62.5);         // doubled three times
  expectEcho(44100.0, true, true, syncTime(12), 90.0, 2000.0 / 9.0);  // "1/8T"; double has no say
  expectEcho(8000.0, false, false, 0.5, 120.0, 337.5);
  expectEcho(8000.0, true, false, syncTime(7), 120.0, 500.0);
  expectEcho(192000.0, false, true, 0.5, 120.0, 675.0);
  expectEcho(192000.0, true, false, syncTime(19), 240.0, 62.5);

  // The double switch doubles the time exactly: the same clock over twice the cells.
  BBDDelay a, b;
  setUp(a, 48000.0);
  setUp(b, 48000.0, false, true);
  const Stereo ya = run(a, 48000.0, 0.5, 120.0, 20000, impulse);
  const Stereo yb = run(b, 48000.0, 0.5, 120.0, 36000, impulse);
  for (int i = 0; i < 20000 - 16200; ++i) ASSERT_EQ(yb.left[i + 16200], ya.left[i]) << i;
}

TEST(EffectsDelay, UnusableTempoKeepsTheLastOne) {
  BBDDelay d;
  setUp(d, 48000.0, true);
  d.update(syncTime(7), 120.0);
  const double step = d.stepLeft();
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  for (double t : {0.0, -120.0, inf, nan, 1e-310}) {
    d.update(syncTime(7), t);  // returns, with the 120 BPM clock
    EXPECT_EQ(d.stepLeft(), step) << t;
  }
}

TEST(EffectsDelay, ToneComesOutWithoutClockJitter) {
  // Time 0.5: one or two ticks per sample; "1/64" at 120 BPM: about ten.
  const double w = 2.0 * 3.141592653589793 * 300.0 / 48000.0;
  for (int mode = 0; mode < 4; ++mode) {
    BBDDelay d;
    setUp(d, 48000.0, mode & 1, false, mode & 2);
    const Stereo y = run(d, 48000.0, mode & 1 ? 0.0 : 0.5, 120.0, 24000, [w](int i) { return std::sin(w * i); });
    EXPECT_LT(sineFitError(y.left, w, 20000, 24000), 1e-3) << mode;
    EXPECT_LT(sineFitError(y.right, w, 20000, 24000), 1e-3) << mode;
    EXPECT_NEAR(std::fabs(y.left[peakIndex(y.left)]), 1.0, 0.02) << mode;
  }
}

TEST(EffectsDelay, EqualPowerMix) {
  auto render = [](double mix) {
    BBDDelay d;
    setUp(d, 48000.0);
    d.setMix(mix);
    return run(d, 48000.0, 0.0, 120.0, 4000, impulse).left;  // 75 ms echo
  };
  const std::vector<double> dry = render(0.0), half = render(0.5), wet = render(1.0);
  EXPECT_EQ(dry[0], 1.0);
  EXPECT_EQ(energy(dry, 1, 4000), 0.0);
  EXPECT_EQ(wet[0], 0.0);
  EXPECT_GT(energy(wet, 1, 4000), 0.1);
  const double wetShare = energy(half, 1, 4000) / energy(wet, 1, 4000);
  EXPECT_NEAR(half[0], std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(wetShare, 0.5, 1e-12);
}

TEST(EffectsDelay, VibeBendsChannelsOppositeWays) {
  BBDDelay d;
  setUp(d, 48000.0, false, true);
  d.vibeOn = true;
  d.vibeDepth = 0.1;
  d.vibeLfo.setSpeed(250.0);  // one step: phase 0 -> 0.5, sine +1
  d.update(0.5, 120.0);
  d.vibeLfo.setSpeed(0.0);
  const Stereo y = run(d, 48000.0, 0.5, 120.0, 48000, impulse);
  // 1.2 s * ((0.5 +- 0.1) * 0.875 + 0.125): 780 ms left, 570 ms right, either side of 675 ms.
  EXPECT_NEAR(peakIndex(y.left), 0.780 * 48000.0, 8.0);
  EXPECT_NEAR(peakIndex(y.right), 0.570 * 48000.0, 8.0);
}

TEST(EffectsDelay, PingPongCrossesSides) {
  BBDDelay d;
  setUp(d, 48000.0, false, true, true);  // 150 ms per pass
  Stereo y = run(d, 48000.0, 0.0, 120.0, 12000, impulse, true);
  EXPECT_NEAR(peakIndex(y.right), 7200, 8);
  EXPECT_GT(std::fabs(y.right[peakIndex(y.right)]), 0.1);
  EXPECT_EQ(energy(y.left, 0, 12000), 0.0);

  d.clearDelayLine();
  d.feedback = 0.5;  // the second pass returns on the left only
  y = run(d, 48000.0, 0.0, 120.0, 18000, impulse, true);
  EXPECT_NEAR(peakIndex(y.left), 14400, 16);
  EXPECT_EQ(energy(y.left, 0, 12000), 0.0);
  EXPECT_LT(energy(y.right, 12000, 18000), 0.01 * energy(y.left, 12000, 18000));
}

TEST(EffectsDelay, FullFeedbackIsHeldByTheClamp) {
  BBDDelay d;
  setUp(d, 48000.0);
  d.feedback = 1.0;
  // A loud burst: after the first echo (75 ms) only the clamped value recirculates.
  Stereo y = run(d, 48000.0, 0.0, 120.0, 144000, [](int i) { return i < 200 ? 50.0 * std::sin(0.3 * i) : 0.0; });
  double first = 0.0, late = 0.0;
  for (int i = 0; i < 4000; ++i) first = std::max(first, std::fabs(y.left[i]));
  for (int i = 8000; i < 144000; ++i) late = std::max(late, std::fabs(y.left[i]));
  EXPECT_GT(first, 20.0);
  EXPECT_LT(late, 3.5);
  EXPECT_GT(late, 0.5);
  // Steady loud noise stays bounded by the input plus the clamp, here and at the
  // low rates whose filters sit near the Nyquist frequency.
  for (double fs : {48000.0, 8000.0, 11025.0, 12000.0}) {
    setUp(d, fs);
    d.feedback = 1.0;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    y = run(d, fs, 0.0, 120.0, static_cast<int>(fs * 3), [&](int) { return u(rng); });
    EXPECT_LT(std::fabs(y.left[peakIndex(y.left)]), 5.0) << fs;
    EXPECT_LT(std::fabs(y.right[peakIndex(y.right)]), 5.0) << fs;
  }
}

TEST(EffectsDelay, SyncClockFloorBoundsTicks) {
  // Worst case: "1/64" at 100 BPM is 37.5 ms (a = 0) with the largest vibe depth,
  // swept fast so every part of the vibe cycle is visited.
  BBDDelay d;
  setUp(d, 48000.0, true);
  d.vibeOn = true;
  d.vibeDepth = 0.1;
  d.vibeLfo.setSpeed(25.0);
  int maxTicks = 0, belowZero = 0;
  for (int i = 0; i < 48000; ++i) {
    if (i % 48 == 0) {
      d.update(syncTime(19), 100.0);
      const double v = 0.1 * d.vibeLfo.getSin(0);
      const double left = v * 0.9375 + 0.0625, right = -v * 0.9375 + 0.0625;  // unfloored
      EXPECT_EQ(d.stepLeft(), std::max(left, BBDDelay::kMinStep));
      EXPECT_EQ(d.stepRight(), std::max(right, BBDDelay::kMinStep));
      belowZero += left <= 0.0;
    }
    const int before = d.writePosLeft();
    Signal s{std::sin(0.01 * i), 0.0};
    d.process(s);
    ASSERT_TRUE(std::isfinite(s.left));
    maxTicks = std::max(maxTicks, (before - d.writePosLeft() + d.length()) % d.length());
  }
  EXPECT_GT(belowZero, 100);
  EXPECT_LE(maxTicks, BBDDelay::kMaxTicks);
  EXPECT_GE(maxTicks, BBDDelay::kMaxTicks - 1);

  // A small positive step from the formula stands: "1/16" at 120 BPM, vibe at its low point.
  setUp(d, 48000.0, true);
  d.vibeOn = true;
  d.vibeLfo.setSpeed(750.0);  // phase 0 -> -0.5: sine -1
  d.update(syncTime(13), 120.0);
  EXPECT_EQ(d.stepLeft(), ((125.0 - 75.0) / (1200.0 - 75.0) - 0.1) * 0.9375 + 0.0625);
  EXPECT_LT(d.stepLeft(), 0.02);
}

TEST(EffectsDelay, NoClockOrNoLineLeavesSignalAlone) {
  BBDDelay d;
  setUp(d, 48000.0);
  Signal s{0.25, -0.5};
  d.process(s);  // no update since the new rate: clocks stopped, no endless tick loop
  EXPECT_EQ(s.left, 0.25);
  EXPECT_EQ(s.right, -0.5);
  d.update(0.5, 120.0);
  d.cleanUp();
  d.clearDelayLine();
  d.process(s);
  EXPECT_EQ(s.left, 0.25);
  d.setSampleRate(0.5);  // no cell at all
  EXPECT_EQ(d.length(), 0);
  d.update(0.5, 120.0);
  d.process(s);
  EXPECT_EQ(s.right, -0.5);
  setUp(d, 48000.0);  // and back to work
  EXPECT_NEAR(peakIndex(run(d, 48000.0, 0.0, 120.0, 6000, impulse).left), 3600, 8);
}

}  // namespace
