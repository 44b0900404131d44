#include <gtest/gtest.h>

#include <barrier>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "oscbank.h"
#include "pitch.h"
#include "squarewave.h"
#include "vcf.h"

namespace {
constexpr double twoPi = 6.283185307179586;
constexpr int partials[22] = {2048, 1448, 1024, 724, 512, 362, 256, 181, 128, 91, 64,
                              45,   32,   23,   16,  11,  8,   6,   4,   3,   2,  1};

uint32_t inc(double hz, double fs) { return static_cast<uint32_t>(hz * 268435456.0 / fs); }

// Samples per cycle of a key's footage, from its rising zero crossings.
double period(OscBank& bank, unsigned char key, int footage, int samples) {
  double previous = bank.process(key)[footage];
  int first = -1, last = -1, cycles = 0;
  for (int i = 1; i < samples; ++i) {
    bank.advance();
    const double v = bank.process(key)[footage];
    if (previous <= 0.0 && v > 0.0) {
      cycles += first >= 0;
      if (first < 0) first = i;
      last = i;
    }
    previous = v;
  }
  return cycles ? double(last - first) / cycles : 0.0;
}

double peak(OscBank& bank, unsigned char key, int footage) {
  double m = 0.0;
  for (int i = 0; i < 2000; ++i, bank.advance()) m = std::max(m, std::fabs(bank.process(key)[footage]));
  return m;
}

// Amplitude of harmonic h in one table cycle.
double harmonic(const double* wave, int h) {
  double re = 0.0, im = 0.0;
  for (int j = 0; j < OscBank::waveLength; ++j) {
    re += wave[j] * std::cos(twoPi * h * j / OscBank::waveLength);
    im += wave[j] * std::sin(twoPi * h * j / OscBank::waveLength);
  }
  return 2.0 * std::hypot(re, im) / OscBank::waveLength;
}
}  // namespace

// Under ctest each test runs in its own process, so the rate tables are really
// built here while the two threads race for them.
TEST(OscBank, TwoRatesFromTwoThreads) {
  const double rates[2] = {44100.0, 96000.0};
  uint32_t inc0[2] = {}, incTop[2] = {};
  double a4[2] = {}, vcfTop[2] = {};
  bool sameTable[2] = {};
  std::barrier sync(2);
  auto run = [&](int t) {
    sync.arrive_and_wait();
    OscBank bank;
    bank.setSampleRate(rates[t]);
    static double copy[2][OscBank::waveSets * OscBank::waveLength];
    std::memcpy(copy[t], OscBank::squareWave(0), sizeof copy[t]);
    VCF vcf;
    vcf.setSampleRate(rates[t]);
    sync.arrive_and_wait();  // both set up before either reads its tables
    bank.setTune(1000.0);
    incTop[t] = bank.incrementOf(5);
    bank.setTune(0.0);
    inc0[t] = bank.incrementOf(0);
    a4[t] = period(bank, 69, 0, 50000);
    vcfTop[t] = vcf.rateTables().freq2rad[17280];
    sync.arrive_and_wait();
    OscBank other;  // a new instance at the other rate leaves this one alone
    other.setSampleRate(rates[1 - t]);
    sync.arrive_and_wait();
    bank.setTune(0.0);
    sameTable[t] = bank.incrementOf(0) == inc0[t] &&
                   std::memcmp(copy[t], OscBank::squareWave(0), sizeof copy[t]) == 0;
  };
  std::thread a(run, 0), b(run, 1);
  a.join();
  b.join();
  EXPECT_EQ(inc0[0], 167391u);
  EXPECT_EQ(inc0[1], inc(27.5, 96000.0));
  EXPECT_EQ(incTop[0], inc(19912.127, 44100.0));
  EXPECT_EQ(incTop[1], inc(19912.127, 96000.0));
  EXPECT_NEAR(a4[0], 44100.0 / 440.0, 0.05);  // about 100.2 samples
  EXPECT_NEAR(a4[1], 96000.0 / 440.0, 0.05);
  EXPECT_DOUBLE_EQ(vcfTop[0], 19912.127 * twoPi / 44100.0);
  EXPECT_DOUBLE_EQ(vcfTop[1], 19912.127 * twoPi / 96000.0);
  EXPECT_TRUE(sameTable[0]);  // neither saw its tables rebuilt
  EXPECT_TRUE(sameTable[1]);
}

// The sets linked in were computed at build time; computed here again, every value has the same bits
// (a compiler or maths library that computes them differently shows here, not in the sound).
TEST(OscBank, SquareWaveSetsAsComputedAtRunTime) {
  std::vector<double> now(squarewave::kSets * squarewave::kLength);
  squarewave::compute(reinterpret_cast<double(*)[squarewave::kLength]>(now.data()));
  for (int p = 0; p < squarewave::kSets; ++p) {
    int differing = 0;
    for (int j = 0; j < squarewave::kLength; ++j)
      differing += std::memcmp(&now[p * squarewave::kLength + j], &squarewave::kTable[p][j], sizeof(double)) != 0;
    EXPECT_EQ(differing, 0) << "values of set " << p << " differ";
  }
}

TEST(OscBank, SquareWaveSets) {
  for (int p = 0; p < OscBank::waveSets; ++p) {
    const double* w = OscBank::squareWave(p);
    const int N = partials[p], top = N % 2 ? N : N - 1;
    // The highest odd partial carries the tapered amplitude; the next odd and the even ones are absent.
    const double a = top == 1 ? 0.5 : 0.5 * (0.54 + 0.46 * std::cos((top - 1) * 1.5707963267948966 / (N - 1))) / top;
    EXPECT_NEAR(harmonic(w, top), a, 1e-9 + 1e-6 * a) << p;
    EXPECT_NEAR(harmonic(w, 1), 0.5, 1e-9) << p;
    EXPECT_LT(harmonic(w, 2), 1e-9) << p;
    if (top + 2 < 2048) {
      EXPECT_LT(harmonic(w, top + 2), 1e-9) << p;
    }
    for (int j = 0; j < 2048; ++j) ASSERT_EQ(w[j + 2048], -w[j]);
  }
  EXPECT_NEAR(OscBank::squareWave(0)[1024], 0.39, 0.01);  // about +-0.39
}

TEST(OscBank, TuningPitchAndWaveSets) {
  OscBank bank, fast;
  bank.setSampleRate(44100.0);
  fast.setSampleRate(96000.0);
  bank.setTune(0.0);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(bank.incrementOf(k), inc(MIDI2Hz[21 + k], 44100.0)) << k;
  EXPECT_EQ(bank.incrementOf(0), 167391u);
  EXPECT_NEAR(period(bank, 69, 0, 44100), 100.227, 0.05);
  EXPECT_NEAR(period(bank, 57, 1, 44100), 100.227, 0.05);  // 8' of A3

  bank.setTune(-1.0 / 256.0);  // index -0.5 rounds away from zero
  EXPECT_EQ(bank.incrementOf(0), inc(convert2Hz(2687), 44100.0));
  bank.setTune(110.0);  // oscillators 4 ... 11 reach note 135 and stick there
  EXPECT_LT(bank.incrementOf(3), inc(19912.127, 44100.0));
  for (int k = 4; k < 12; ++k) EXPECT_EQ(bank.incrementOf(k), inc(19912.127, 44100.0));
  bank.setTune(1e300);
  EXPECT_EQ(bank.incrementOf(0), inc(19912.127, 44100.0));
  bank.setTune(-1e9);
  EXPECT_EQ(bank.incrementOf(11), inc(8.176, 44100.0));

  const int32_t* slow = bank.rateTables().midiNote2WaveSet;
  EXPECT_EQ(slow[21], 3);
  EXPECT_EQ(slow[69], 11);
  EXPECT_EQ(slow[127], 21);
  EXPECT_EQ(fast.rateTables().midiNote2WaveSet[21], 0);
  EXPECT_EQ(fast.rateTables().midiNote2WaveSet[69], 9);
  for (int n = 22; n < 127; ++n) EXPECT_LT(MIDI2Hz[n] * partials[slow[n]], 22050.0 * 1.5) << n;
  OscBank again;
  again.setSampleRate(96000.0);
  EXPECT_EQ(&again.rateTables(), &fast.rateTables());  // one shared set per rate

  OscBank unset;  // silent until given a rate
  unset.setTune(0.0);
  EXPECT_EQ(unset.process(69)[0], 0.0);
  // The same tune set again after a change of rate takes the new rate's increments.
  unset.setSampleRate(44100.0);
  unset.setTune(0.0);
  EXPECT_EQ(unset.incrementOf(0), 167391u);
  unset.setSampleRate(96000.0);
  unset.setTune(0.0);
  EXPECT_EQ(unset.incrementOf(0), inc(MIDI2Hz[21], 96000.0));
}

TEST(OscBank, FootagesAndPhaseLock) {
  OscBank bank;
  bank.setSampleRate(48000.0);
  bank.setTune(0.37);
  for (int key : {0, 11, 140, 255}) {
    for (bool oct : {false, true}) {
      bank.octave = oct;
      for (double v : bank.process(static_cast<unsigned char>(key))) EXPECT_EQ(v, 0.0) << key;
    }
  }
  bank.octave = false;
  for (double v : bank.process(128)) EXPECT_EQ(v, 0.0);
  EXPECT_GT(peak(bank, 127, 0), 0.1);  // key 127: 16' only
  EXPECT_EQ(peak(bank, 127, 1), 0.0);
  EXPECT_GT(peak(bank, 92, 2), 0.1);  // key 92: up to 4'
  EXPECT_EQ(peak(bank, 92, 3), 0.0);
  bank.octave = true;  // key 12 reads notes 0, 12, 24, 36
  EXPECT_EQ(peak(bank, 12, 0), 0.0);
  EXPECT_EQ(peak(bank, 12, 1), 0.0);
  EXPECT_GT(peak(bank, 12, 2), 0.1);
  EXPECT_GT(peak(bank, 12, 3), 0.1);

  for (int i = 0; i < 5000; ++i, bank.advance()) {
    bank.octave = false;
    const auto a33 = bank.process(33), a45 = bank.process(45), c60 = bank.process(60);
    ASSERT_EQ(a33[1], a45[0]);  // one pitch class: phase-locked octaves
    ASSERT_EQ(a33[2], a45[1]);
    ASSERT_EQ(c60[0], OscBank::squareWave(bank.rateTables().midiNote2WaveSet[60])[((bank.phaseOf(3) << 3) >> 16) & 4095u]);
    bank.octave = true;
    ASSERT_EQ(bank.process(72)[0], c60[0]);  // one octave lower
  }
  for (int k = 0; k < 12; ++k) EXPECT_LT(bank.phaseOf(k), 1u << 28);
}

TEST(OscBank, SyncPhase) {
  OscBank master, slave;
  master.setSampleRate(44100.0);
  slave.setSampleRate(44100.0);
  master.setTune(0.3);
  slave.setTune(-2.0);
  for (int i = 0; i < 12345; ++i, master.advance()) slave.advance();
  slave.setSyncPhase(master, 0.5);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(slave.phaseOf(k), (master.phaseOf(k) + (1u << 27)) & OscBank::phaseMask) << k;
  slave.setSyncPhase(master, -0.25);  // wraps within the cycle
  for (int k = 0; k < 12; ++k) EXPECT_EQ((master.phaseOf(k) - slave.phaseOf(k)) & OscBank::phaseMask, 1u << 26) << k;
}
