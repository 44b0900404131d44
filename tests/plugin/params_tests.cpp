#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plugin_test_util.h"

namespace {
std::string display(void (*f)(double, WDL_String&), double v) {
  WDL_String s;
  f(v, s);
  return s.Get();
}
std::string paramText(Vantorel& v, int index) {
  WDL_String s;
  v.GetParam(index)->GetDisplay(s);
  return s.Get();
}
}  // namespace

TEST(Parameters, TableNamesDefaultsAndShapes) {
  TestInstrument t;
  ASSERT_EQ(t->NParams(), 66);
  EXPECT_STREQ(t->GetParam(0)->GetName(), "Pitch Bend Amount");
  EXPECT_STREQ(t->GetParam(7)->GetName(), "String: Panoram");
  EXPECT_STREQ(t->GetParam(65)->GetName(), "Master Volume");
  EXPECT_EQ(t->GetParam(23)->GetDefault(), 1.0);  // "Off" is the second entry
  EXPECT_STREQ(t->GetParam(23)->GetDisplayText(0), "On");
  EXPECT_NEAR(t->GetParam(25)->GetDefault(true), 0.64, 1e-12);
  EXPECT_NEAR(t->GetParam(35)->GetDefault(true), std::sqrt(0.184), 1e-12);
  EXPECT_NEAR(t->GetParam(43)->GetDefault(true), std::sqrt(0.0076), 1e-12);
  EXPECT_EQ(t->GetParam(21)->NDisplayTexts(), 4);
  EXPECT_EQ(t->GetParam(32)->NDisplayTexts(), 3);
}

TEST(Parameters, DisplayFunctions) {
  EXPECT_EQ(display(setDisplayTextForDB, 0.0), "-oo");
  EXPECT_EQ(display(setDisplayTextForDB, -1.0), "-oo");
  EXPECT_EQ(display(setDisplayTextForDB, 0.5), "-6.0");
  EXPECT_EQ(display(setDisplayTextForDB, 1.0), "0.0");
  EXPECT_EQ(display(setDisplayTextForBlend, 0.5), "50:50");
  EXPECT_EQ(display(setDisplayTextForBlend, 0.0), "100:0");
  EXPECT_EQ(display(setDisplayTextForBlend, 0.25), "75:25");
  EXPECT_EQ(display(setDisplayTextForFrequency, 0.8), "4186");
  EXPECT_EQ(display(setDisplayTextForFrequency, 0.0), "8.2");
  EXPECT_EQ(display(setDisplayTextForFrequency, 1.0), "19912");
  EXPECT_EQ(display(setDisplayTextForDelayTimeSync, 0.5), "1/8");
  EXPECT_EQ(display(setDisplayTextForDelayTimeSync, 1.0), "2/1");
  EXPECT_EQ(display(setDisplayTextForDelayTimeSync, 0.0), "1/64");
  EXPECT_EQ(display(setDisplayTextForDelayTimeSync, 0.9), "1/1");
}

TEST(Parameters, DelayTimeShowsNoteValuesOnlyWhileSynced) {
  TestInstrument t;
  EXPECT_EQ(paramText(*t, 48), "0.50");
  t.set(52, 1);
  EXPECT_EQ(paramText(*t, 48), "1/8");
  t.set(52, 0);
  EXPECT_EQ(paramText(*t, 48), "0.50");
}

TEST(Parameters, ApplicationReachesTheEngine) {
  TestInstrument t;
  t.set(11, 0.7);
  EXPECT_EQ(t->organ16, 0.7);
  t.set(8, 0.3);
  EXPECT_EQ(t->organ2, 0.3);
  EXPECT_EQ(t->osc2Tune, 0.02);
  t.set(18, 0.5);
  EXPECT_EQ(t->glideAmount, 6.0);
  t.set(22, 2);
  EXPECT_TRUE(t->sawtoothSelected);
  EXPECT_TRUE(t->squareSelected);
  t.set(22, 1);
  EXPECT_FALSE(t->sawtoothSelected);
  EXPECT_TRUE(t->squareSelected);
  EXPECT_FALSE(t->waveAlternate);
  t.set(23, 0);
  EXPECT_TRUE(t->waveAlternate);
  t.set(57, 360);
  EXPECT_EQ(t->syncPhase, 0.5);
  t.set(57, 0);
  EXPECT_EQ(t->syncPhase, 0.0);
  t.set(57, 45);
  EXPECT_EQ(t->syncPhase, 0.0625);
  t.set(61, 1.0);
  EXPECT_EQ(t->ensemble.depthA, 0.25);
  t.set(64, 0.5);
  EXPECT_EQ(t->delay.vibeDepth, 0.05);
  t.set(13, 1);
  EXPECT_TRUE(t->osc1Octave);
  t.set(21, 3.7);  // enumerations round to a whole step
  EXPECT_EQ(t->glideDirection, 3);
}

TEST(Parameters, VolumesAndPanning) {
  TestInstrument t;
  t.set(2, 1.0);
  t.set(65, 1.0);
  t.set(5, 0.5);
  EXPECT_NEAR(t->synthGain[0], std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(t->synthGain[1], std::sqrt(0.5), 1e-15);
  t.set(5, 0.0);
  EXPECT_EQ(t->synthGain[0], 1.0);
  EXPECT_EQ(t->synthGain[1], 0.0);
  t.set(2, 0.0);
  EXPECT_FALSE(t->synthOn);
}

TEST(Parameters, ResonanceReachesAllSixCardsAndSyncResetsOsc2) {
  TestInstrument t;
  t.set(26, 1.0);  // every silent card gets the self-oscillation start impulse
  for (VoiceCard& card : t->voiceCards) {
    card.gateOn();
    card.update();
    EXPECT_NE(card.process(0.0, 0.0), 0.0);
  }
  t.set(56, 1);
  t.set(57, 180);
  t.set(16, 1);
  for (int k = 0; k < 12; ++k)
    EXPECT_EQ(t->osc2.phaseOf(k), (t->osc1.phaseOf(k) + (1u << 26)) & 0x0FFFFFFFu);
}

TEST(Parameters, WaveAlternationFlipsPerPhrase) {
  TestInstrument t(48000.0, 64);
  t.set(23, 0);  // alternate on
  t.noteOn(0, 60);
  t.block(64);
  EXPECT_TRUE(t->sawtoothGate.gate);
  EXPECT_FALSE(t->squareGate.gate);
  t.noteOff(0, 60);
  t.block(64);
  t.noteOn(0, 60);
  t.block(64);
  EXPECT_FALSE(t->sawtoothGate.gate);
  EXPECT_TRUE(t->squareGate.gate);
}

TEST(Parameters, TypedDisplayTextsReadBack) {
  TestInstrument t;
  auto typed = [&](int index, const char* text, double& v) { return t->GetParam(index)->StringToValue(text, v); };
  double v = -1.0;
  ASSERT_TRUE(typed(65, "-6.0", v));
  EXPECT_NEAR(v, std::pow(10.0, -6.0 / 20.0), 1e-15);
  ASSERT_TRUE(typed(65, "-oo", v));
  EXPECT_EQ(v, 0.0);
  ASSERT_TRUE(typed(65, "12", v));
  EXPECT_EQ(v, 1.0);  // clamped
  ASSERT_TRUE(typed(5, "75:25", v));
  EXPECT_DOUBLE_EQ(v, 0.25);
  EXPECT_FALSE(typed(5, "left", v));
  ASSERT_TRUE(typed(25, "4186", v));
  EXPECT_NEAR(v, 13824.0 / 17280.0, 1e-12);
  // Every display text of the cutoff reads back to a value that shows the same text.
  for (double x = 0.0; x <= 1.0; x += 0.01) {
    WDL_String shown, again;
    t->GetParam(25)->GetDisplay(x, false, shown);
    ASSERT_TRUE(typed(25, shown.Get(), v));
    t->GetParam(25)->GetDisplay(v, false, again);
    EXPECT_STREQ(shown.Get(), again.Get()) << x;
  }
  t.set(52, 1);
  ASSERT_TRUE(typed(48, "1/16", v));
  WDL_String shown;
  t->GetParam(48)->GetDisplay(v, false, shown);
  EXPECT_STREQ(shown.Get(), "1/16");
  t.set(52, 0);
  ASSERT_TRUE(typed(48, "0.25", v));
  EXPECT_EQ(v, 0.25);
}
