#include <gtest/gtest.h>

#include <cmath>

#include "plugin_test_util.h"

namespace {

int firstNonZero(const std::vector<double>& v) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] != 0.0) return static_cast<int>(i);
  return -1;
}

double lfoTicks(const Vantorel& v, double speedHz) {
  // The modulation LFO steps once per tick from phase 0.
  return v.lfo.getPhase() / (2.0 * speedHz / 1000.0);
}

}  // namespace

TEST(BlockLoop, TickSegmentationCarriesAcrossBlocks) {
  TestInstrument t(48000.0, 100);
  EXPECT_EQ(t->samplesPerTick, 48);
  t.block(100);  // ticks at 0, 48 and 96: segments 48, 48, 4
  EXPECT_NEAR(lfoTicks(*t, 4.6), 3.0, 1e-9);
  EXPECT_EQ(t->tickCounter, 44);
  t.block(30);  // shorter than the rest of the tick: no tick at all
  EXPECT_NEAR(lfoTicks(*t, 4.6), 3.0, 1e-9);
  EXPECT_EQ(t->tickCounter, 14);
  t.block(100);  // 14 to finish the tick, then ticks at 14, 62 (and 38 samples into the next)
  EXPECT_NEAR(lfoTicks(*t, 4.6), 5.0, 1e-9);
  EXPECT_EQ(t->tickCounter, 10);
}

TEST(BlockLoop, ResetTickLengthsAndSameRateReset) {
  TestInstrument t(44100.0, 64);
  EXPECT_EQ(t->samplesPerTick, 44);
  EXPECT_DOUBLE_EQ(t->lastSampleRate, 44100.0);
  t.noteOn(0, 60);
  t.render(2000, 64);
  EXPECT_EQ(t->pressedKeys.size(), 1u);
  EXPECT_TRUE(t->keyGate.isGate(60));
  // Same rate: the held-key list empties but the sound keeps running.
  t->ResetProcessing(44100.0, 64);
  EXPECT_TRUE(t->pressedKeys.empty());
  EXPECT_TRUE(t->keyGate.isGate(60));
  EXPECT_TRUE(t->voiceCards[0].isActive());
  // New rate: the engine is rebuilt and silenced.
  t->ResetProcessing(96000.0, 64);
  EXPECT_EQ(t->samplesPerTick, 96);
  EXPECT_EQ(t->keyGate.size(), 0);
  for (const VoiceCard& card : t->voiceCards) EXPECT_FALSE(card.isActive());
  EXPECT_EQ(t->organGate.level, 0.0);
}

TEST(BlockLoop, OffsetAdjustmentDelaysLateMessagesByHalfATick) {
  {
    TestInstrument t(44100.0, 256);
    t.noteOn(100, 69);  // above one tick: moved on by 44/2 samples
    t.block(256);
    EXPECT_EQ(firstNonZero(t.left), 122);
  }
  {
    TestInstrument t(44100.0, 256);
    t.noteOn(30, 69);
    t.block(256);
    EXPECT_EQ(firstNonZero(t.left), 30);
  }
  {
    TestInstrument t(44100.0, 256);
    t.noteOn(44, 69);  // exactly one tick stays
    t.block(256);
    EXPECT_EQ(firstNonZero(t.left), 44);
  }
}

TEST(KeyTracking, VelocityZeroIsNoteOff) {
  TestInstrument a(48000.0, 128), b(48000.0, 128);
  a.noteOn(0, 64);
  b.noteOn(0, 64);
  a.render(4800, 128);
  b.render(4800, 128);
  a.noteOn(10, 64, 0);
  b.noteOff(10, 64);
  a.render(48000, 128);
  b.render(48000, 128);
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.right, b.right);
  EXPECT_FALSE(a->keyGate.isGate(64));
}

TEST(KeyTracking, DoubleStrikeThenOneReleaseClosesTheKey) {
  TestInstrument t(48000.0, 64);
  t.noteOn(0, 60);
  t.noteOn(1, 60);
  t.block(64);
  EXPECT_EQ(t->pressedKeys.size(), 2u);
  t.noteOff(0, 60);
  t.block(64);
  EXPECT_FALSE(t->isKeyPressed(60));
  EXPECT_FALSE(t->keyGate.isGate(60));
}

TEST(KeyTracking, VoiceCardSharedByKeys60And66) {
  TestInstrument t(48000.0, 64);
  t.noteOn(0, 60);
  t.noteOn(0, 66);
  t.render(2400, 64);
  t.noteOff(0, 60);
  t.render(48000, 64);
  EXPECT_TRUE(t->voiceCards[0].isActive());
  EXPECT_EQ(t->voiceCards[0].envelope().getLevel(), 1.0);  // still sustaining
  t.noteOff(0, 66);
  t.render(48000, 64);
  EXPECT_FALSE(t->voiceCards[0].isActive());
}

TEST(KeyTracking, PedalHoldsAndReleasesInKeyOrder) {
  TestInstrument t(48000.0, 64);
  t.set(3, 0.5);  // organ on, so its gate matters
  t.cc(0, 64, 1);  // any non-zero value holds
  t.noteOn(1, 62);
  t.noteOn(1, 67);
  t.render(4800, 64);
  t.noteOff(0, 62);
  t.noteOff(0, 67);
  t.render(4800, 64);
  EXPECT_TRUE(t->sustain);
  EXPECT_TRUE(t->pressedKeys.empty());
  EXPECT_TRUE(t->keyGate.isGate(62));
  EXPECT_TRUE(t->keyGate.isGate(67));
  EXPECT_TRUE(t->organGate.gate);
  const double level62 = t->keyGate.get(62);
  t.cc(0, 64, 0);
  t.block(64);
  EXPECT_FALSE(t->keyGate.isGate(62));
  EXPECT_FALSE(t->keyGate.isGate(67));
  EXPECT_FALSE(t->organGate.gate);
  // The released levels are frozen: the phrase ended.
  t.render(4800, 64);
  EXPECT_EQ(t->keyGate.get(62), level62);
}

TEST(KeyTracking, PedalDownNewPhraseClearsKeyGate) {
  TestInstrument t(48000.0, 64);
  t.cc(0, 64, 127);
  t.noteOn(0, 50);
  t.render(640, 64);
  t.noteOff(0, 50);
  t.render(640, 64);
  EXPECT_TRUE(t->keyGate.isGate(50));
  t.noteOn(0, 55);  // first key of a phrase: the pedal-held key loses its key material
  t.block(64);
  EXPECT_FALSE(t->keyGate.isGate(50));
  EXPECT_EQ(t->keyGate.get(50), 0.0);
  EXPECT_TRUE(t->keyGate.isGate(55));
}

TEST(KeyTracking, AllNotesOffSilencesKeyMaterial) {
  TestInstrument t(48000.0, 64);
  t.noteOn(0, 60);
  t.noteOn(0, 64);
  t.render(2400, 64);
  t.cc(0, 123, 0);
  EXPECT_EQ(t->keyGate.size(), 0);
  EXPECT_TRUE(t->pressedKeys.empty());
  t.render(48000 * 2, 64);
  for (const VoiceCard& card : t->voiceCards) EXPECT_FALSE(card.isActive());
}

TEST(KeyTracking, WheelsAndPitchBend) {
  TestInstrument t(48000.0, 64);
  t.midi(0, 0xE0, 0x00, 0x40);
  t.block(64);
  EXPECT_EQ(t->pitchBend, 0.0);
  t.midi(0, 0xE3, 0x7F, 0x7F);
  t.block(64);
  EXPECT_EQ(t->pitchBend, 8191.0 / 8192.0);
  t.midi(0, 0xE0, 0x00, 0x00);
  t.block(64);
  EXPECT_EQ(t->pitchBend, -1.0);
  t.cc(0, 1, 127);
  t.block(64);
  EXPECT_EQ(t->modWheel, 1.0);
}

TEST(ActiveFlag, ClearsAfterReleaseAndEmptiesEnsemble) {
  TestInstrument t(48000.0, 480);
  t.set(4, 0.8);  // string on
  t.noteOn(0, 60);
  t.render(48000, 480);
  EXPECT_TRUE(t->active);
  t.noteOff(0, 60);
  t.render(48000 * 30, 480);  // string release 0.3 takes well under 30 s
  EXPECT_FALSE(t->active);
  // The ensemble lines were emptied: silence in gives exact silence out.
  EXPECT_EQ(t->ensemble.process(0.0), 0.0);
}

TEST(ControlTick, GlideDirectionAPullsBothBanksDown) {
  TestInstrument t(48000.0, 48);
  t.set(18, 1.0);  // 12 semitones
  t.set(21, 0);    // "A"
  t.noteOn(0, 69);
  t.block(48);
  t.block(48);
  t.block(48);
  t.block(48);
  t.block(48);
  // Within four ticks the glide envelope has reached 1 and starts to decay.
  EXPECT_GT(t->glideEnv.getLevel(), 0.9);
  const uint32_t pulled = t->osc1.incrementOf(0);
  const uint32_t pulled2 = t->osc2.incrementOf(0);
  OscBank ref;
  ref.setSampleRate(48000.0);
  ref.setTune(0.0);
  EXPECT_LT(pulled, ref.incrementOf(0) * 0.55);
  EXPECT_LT(pulled2, ref.incrementOf(0) * 0.55);
  t.render(48000 * 10, 48);
  EXPECT_NEAR(static_cast<double>(t->osc1.incrementOf(0)), ref.incrementOf(0), ref.incrementOf(0) * 1e-3);
}

TEST(ControlTick, GlideDirectionCPushesOnlyOsc2Up) {
  TestInstrument t(48000.0, 48);
  t.set(18, 1.0);
  t.set(21, 2);  // "C"
  t.noteOn(0, 69);
  t.render(48 * 6, 48);
  OscBank ref;
  ref.setSampleRate(48000.0);
  ref.setTune(0.0);
  EXPECT_EQ(t->osc1.incrementOf(0), ref.incrementOf(0));
  EXPECT_GT(t->osc2.incrementOf(0), ref.incrementOf(0) * 1.8);
}

TEST(ControlTick, DelayedModulationRampsIn) {
  TestInstrument t(48000.0, 48);
  t.set(38, 1.0);  // depth blend 1: the ramp alone sets the depth
  t.set(37, 0.5);  // 0.5 s delay
  t.set(36, 0.3);  // slope
  t.noteOn(0, 60);
  t.render(48 * 400, 48);
  EXPECT_EQ(t->modDepth, 0.0);  // still in the delay
  t.render(48 * 200, 48);
  EXPECT_GT(t->modDepth, 0.0);
  t.render(48000 * 20, 48);
  EXPECT_NEAR(t->modDepth, 0.5, 1e-3);
}

TEST(ControlTick, VcaRoutingAtFullDepth) {
  TestInstrument t(48000.0, 48);
  t.set(32, 2);    // VCA
  t.set(38, 1.0);  // full depth once the ramp is up
  t.noteOn(0, 60);
  t.render(48000 * 15, 48);
  ASSERT_NEAR(t->modDepth, 0.5, 1e-3);
  // The gain factor 1 - (lfo + 1) * depth spans silence to full level.
  EXPECT_NEAR(1.0 - (1.0 + 1.0) * t->modDepth, 0.0, 2e-3);
  EXPECT_NEAR(1.0 - (-1.0 + 1.0) * t->modDepth, 1.0, 1e-12);
  double lo = 1e9, hi = 0.0;
  const size_t start = t.left.size();
  t.render(48000, 48);
  for (size_t i = start; i < t.left.size(); i += 48) {
    double peak = 0.0;
    for (size_t j = i; j < i + 48 && j < t.left.size(); ++j) peak = std::max(peak, std::fabs(t.left[j]));
    lo = std::min(lo, peak);
    hi = std::max(hi, peak);
  }
  EXPECT_LT(lo, hi * 0.05);
}

TEST(Engine, DefaultPatchComputesOnlyTheSynthSection) {
  TestInstrument t(48000.0, 64);
  EXPECT_TRUE(t->synthOn);
  EXPECT_FALSE(t->organOn);
  EXPECT_FALSE(t->stringOn);
  t.noteOn(0, 60);
  t.render(4800, 64);
  double peak = 0.0;
  for (double s : t.left) peak = std::max(peak, std::fabs(s));
  EXPECT_GT(peak, 0.01);
  EXPECT_LT(peak, 2.0);
  // Left and right are equal at the centre pan.
  EXPECT_EQ(t.left, t.right);
}

TEST(Engine, BlockSizeDoesNotChangeTheSoundWhenEventsFallOnTicks) {
  // Events at tick boundaries of the first block: every block size renders the same samples.
  auto run = [](int blockSize) {
    TestInstrument t(48000.0, blockSize);
    t.set(3, 0.6);
    t.set(4, 0.6);
    t.set(46, 1);
    t.set(50, 0.4);
    t.noteOn(0, 48);
    t.noteOn(0, 55);
    t.noteOn(0, 64);
    t.render(48000, blockSize);
    return t.left;
  };
  const std::vector<double> a = run(48), b = run(480), c = run(4800);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i], b[i]) << i;
    ASSERT_EQ(a[i], c[i]) << i;
  }
}
