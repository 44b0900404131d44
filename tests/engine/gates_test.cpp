#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gates.h"

namespace {
std::vector<int> keysOf(const KeyGate& g) {
  std::vector<int> keys;
  for (const KeyGate::Entry& e : g) keys.push_back(e.key);
  return keys;
}
}  // namespace

TEST(KeyGate, AttackReleaseAndRemoval) {
  KeyGate g;  // constructed for 44100 Hz
  g.start(60);
  g.update();
  EXPECT_EQ(g.get(60), 1.1111111111111112 * 0.009377267133288235);
  int attack = 1;
  for (; g.get(60) < 1.0; ++attack) g.update();
  EXPECT_EQ(attack, 245);

  g.stop(60);
  g.update();
  EXPECT_EQ(g.get(60), 1.0 + (-0.1111111111111111 - 1.0) * 0.00028555145805391066);
  int release = 1;
  for (; g.get(60) > 0.0; ++release) g.update();
  EXPECT_NEAR(release, 8060, 5);
  EXPECT_EQ(release, std::ceil(std::log(0.1) / std::log1p(-0.00028555145805391066)));
  EXPECT_EQ(g.size(), 1);  // silent, dropped by the next step
  g.update();
  EXPECT_EQ(g.size(), 0);

  // setRelease(0.3) is the default through the time law; half the rate halves the speed.
  KeyGate h;
  h.setSampleRate(88200.0);
  h.setRelease(0.3);
  h.start(1);
  for (int i = 0; i < 600; ++i) h.update();
  h.stop(1);
  int n = 0;
  for (; h.size() > 0; ++n) h.update();
  EXPECT_NEAR(n, 2 * release, 3);
}

TEST(KeyGate, OrderingRestartsAndUnknownKeys) {
  KeyGate g;
  g.stop(40);  // never started: nothing added
  EXPECT_EQ(g.size(), 0);
  EXPECT_FALSE(g.isGate(40));
  for (int k : {70, 20, 50, 20, 0, 127}) g.start(static_cast<unsigned char>(k));
  EXPECT_EQ(keysOf(g), (std::vector<int>{0, 20, 50, 70, 127}));
  for (int i = 0; i < 100; ++i) g.update();
  g.start(50);  // struck again: restarts from silence
  EXPECT_EQ(g.get(50), 0.0);
  g.stop(50);   // stopped at 0: gone after one step, neighbours untouched
  g.update();
  EXPECT_EQ(keysOf(g), (std::vector<int>{0, 20, 70, 127}));
  EXPECT_EQ(g.get(20), g.get(70));

  KeyGate all;  // every key value fits in the fixed array
  for (int k = 255; k >= 0; --k) all.start(static_cast<unsigned char>(k));
  ASSERT_EQ(all.size(), 256);
  EXPECT_EQ(all.begin()[200].key, 200);

  all.setPin7();
  all.setSampleRate(44100.0);  // empties, keeps pin7
  EXPECT_EQ(all.size(), 0);
  EXPECT_TRUE(all.isPin7());
}

TEST(KeyGate, VoiceCardGateAndPin7) {
  KeyGate g;
  g.start(60);
  g.start(66);
  g.start(31);
  for (int i = 0; i < 300; ++i) g.update();
  EXPECT_TRUE(g.isVoiceCardGate(0));
  EXPECT_TRUE(g.isVoiceCardGate(1));
  EXPECT_FALSE(g.isVoiceCardGate(2));
  g.stop(60);
  EXPECT_TRUE(g.isVoiceCardGate(0));
  g.stop(66);
  EXPECT_FALSE(g.isVoiceCardGate(0));  // releasing entries do not count

  for (int i = 0; i < 100; ++i) g.update();
  const double held = g.get(60);
  ASSERT_GT(held, 0.0);
  g.setPin7();
  g.start(40);
  for (int i = 0; i < 100000; ++i) g.update();
  EXPECT_EQ(g.get(60), held);  // frozen
  EXPECT_EQ(g.get(40), 1.0);   // gated keys still rise
  g.clear();
  EXPECT_EQ(g.size(), 0);
  EXPECT_FALSE(g.isPin7());
}

TEST(GateAR, AttackAndRelease) {
  GateAR a;  // constructed for 44100 Hz
  a.gate = true;
  a.update();
  EXPECT_EQ(a.level, 1.1111111111111112 * 0.010453081017000232);
  int n = 1;
  for (; a.level < 1.0; ++n) a.update();
  EXPECT_NEAR(n, 220, 1);  // about 5.0 ms
  a.gate = false;
  a.update();
  EXPECT_EQ(a.level, 1.0 + (-0.1111111111111111 - 1.0) * 0.009377267133288235);
  for (n = 1; a.level > 0.0; ++n) a.update();
  EXPECT_EQ(n, 245);  // about 5.6 ms

  a.gate = true;
  for (int i = 0; i < 50; ++i) a.update();
  const double reached = a.level;
  a.gate = false;  // closed early: releases from the level reached
  a.update();
  EXPECT_LT(a.level, reached);
  EXPECT_GT(a.level, reached - 0.02);

  a.setSampleRate(88200.0);
  EXPECT_FALSE(a.gate);
  EXPECT_EQ(a.level, 0.0);
  a.gate = true;
  for (n = 0; a.level < 1.0; ++n) a.update();
  EXPECT_NEAR(n, 440, 2);
}
