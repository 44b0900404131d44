// MIDI learn: gestures in either order, unlearning, re-learning, cancelling, controllers captured while a
// gesture waits, and the notice that the learn switch is to show off.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "plugin_test_util.h"

namespace {

// One step of a gesture: 'c' a controller arrives (value 127), 'p' the editor touches a parameter (to 0.25),
// 'o' the switch is turned off, 'r' the host resets the instance.
struct Step {
  char kind;
  int number;
};

std::map<int, int> learnedTable(const Vantorel& plug) {
  std::map<int, int> table;
  for (int cc = 0; cc < Synth::kNumLearnControllers; ++cc)
    if (plug.midiLearnTable[cc] != -1) table[cc] = plug.midiLearnTable[cc];
  return table;
}

std::vector<double> values(const Vantorel& plug) {
  std::vector<double> v;
  for (int i = 0; i < plug.NParams(); ++i) v.push_back(plug.GetParam(i)->Value());
  return v;
}

// Synth alone, to see when the learn switch is told to show off.
class LearnSwitchProbe : public Synth {
public:
  LearnSwitchProbe()
      : Synth(iplug::InstanceInfo{}, iplug::Config{66, 64, "0-2", "Probe", "Probe", "Probe", 0x00010000,
                                                  iplug::MakeFourCC("Prob"), iplug::MakeFourCC("Test"), 0, true,
                                                  false, false, true, 1, false, 100, 100, 100, 100, 100, 100,
                                                  false, "", ""}) {}
  void OnMidiLearnCompleted() override { ++switchOffs; }
  int switchOffs = 0;
};

}  // namespace

TEST(MidiLearn, GesturesCompleteInEitherOrderAndControllersWaitWhileLearning) {
  struct Case {
    const char* what;
    bool unlearn;
    std::map<int, int> before;
    std::vector<Step> steps;
    std::map<int, int> after;
  };
  const Case cases[] = {
      {"controller first", false, {}, {{'c', 20}, {'p', 25}}, {{20, 25}}},
      {"parameter first", false, {}, {{'p', 25}, {'c', 20}}, {{20, 25}}},
      {"re-learning a parameter drops its old controller", false, {{20, 25}}, {{'c', 21}, {'p', 25}}, {{21, 25}}},
      {"a learned controller is captured, not played", false, {{20, 25}}, {{'c', 20}, {'p', 26}}, {{20, 26}}},
      {"modulation wheel and pedal are captured too", false, {}, {{'c', 1}, {'c', 64}, {'p', 30}}, {{64, 30}}},
      {"unlearn by controller", true, {{20, 25}, {21, 25}, {22, 26}}, {{'c', 21}}, {{20, 25}, {22, 26}}},
      {"unlearn by parameter", true, {{20, 25}, {21, 25}, {22, 26}}, {{'p', 25}}, {{22, 26}}},
      {"switched off", false, {}, {{'c', 20}, {'o', 0}, {'p', 25}}, {}},
      {"a reset cancels", false, {}, {{'c', 20}, {'r', 0}, {'p', 25}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestInstrument t;
    for (const auto& [cc, param] : c.before) t->midiLearnTable[cc] = param;
    c.unlearn ? t->doMidiUnlearn(true) : t->doMidiLearn(true);
    for (const Step& s : c.steps) {
      if (s.kind == 'c') {
        const std::vector<double> before = values(*t);
        t.cc(0, s.number, 127);
        t.render(512, 512);
        EXPECT_EQ(values(*t), before);  // nothing played by the controller
      } else if (s.kind == 'p') {
        t->SendParameterValueFromUI(s.number, 0.25);
      } else if (s.kind == 'o') {
        t->doMidiLearn(false);
      } else {
        t->ResetProcessing(44100.0, 512);
      }
    }
    EXPECT_EQ(learnedTable(*t), c.after);
    EXPECT_EQ(t->modWheel, 0.0);  // captured controllers 1 and 64 act on nothing
    EXPECT_FALSE(t->sustain);
    EXPECT_FALSE(t->midiLearnActive);
    EXPECT_FALSE(t->midiUnlearnMode);
  }
}

TEST(MidiLearn, OnlyTouchesCountAndTheSwitchHearsOfCompletionsOnTheUIThread) {
  LearnSwitchProbe probe;
  probe.doMidiLearn(true);
  // Restores, resets and the instrument's own values touch no parameter.
  for (iplug::EParamSource source : {iplug::kPresetRecall, iplug::kReset, iplug::kDelegate})
    probe.OnParamChangeUI(30, source);
  EXPECT_EQ(probe.midiLearnParam, -1);
  probe.OnParamChangeUI(25, iplug::kHost);  // the host's automation does
  EXPECT_EQ(probe.switchOffs, 0);           // half a gesture
  {
    // The controller completes the gesture on the audio thread; the switch hears of it afterwards.
    iplug::IPlugAPIBase::ProcessScope block(probe);
    probe.setMidiLearnCC(20);
  }
  EXPECT_EQ(probe.midiLearnTable[20], 25);
  EXPECT_EQ(probe.switchOffs, 0);
  probe.FlushUIQueue();
  EXPECT_EQ(probe.switchOffs, 1);
  probe.FlushUIQueue();
  EXPECT_EQ(probe.switchOffs, 1);

  // Completed by a touch on the UI thread, the switch hears of it at once.
  probe.doMidiUnlearn(true);
  probe.OnParamChangeUI(25, iplug::kUI);
  EXPECT_EQ(probe.midiLearnTable[20], -1);
  EXPECT_EQ(probe.switchOffs, 2);
}
