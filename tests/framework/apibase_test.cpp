// The API-independent rules: how parameter values and programs reach the engine from each thread, what
// the host and the UI thread are told, and what a block does with a fault. A ProcessScope makes the test
// thread the audio thread for the length of one block.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "test_plug.h"

using iplug::EParamSource;
using Block = iplug::IPlugAPIBase::ProcessScope;

TEST(IPlugAPIBase, ParameterValuesReachTheEngineExactlyOnce) {
  TestPlug plug;
  ASSERT_TRUE(plug.ResetProcessing(48000.0, 256));

  // Not processing: applied at once on the calling thread, and a value the engine has is no change.
  plug.SetParameterFromHost(3, 0.2);
  plug.SetParameterFromHost(3, 0.2);
  plug.SetParameterFromHost(3, static_cast<float>(plug.GetParam(3)->GetNormalized()));  // single-precision echo
  EXPECT_EQ(plug.paramChanges, (std::vector<int>{3}));
  plug.SendParameterValueFromUI(0, 0.25);  // the editor: applied, and an edit for the host
  EXPECT_EQ(plug.hostParams, (std::vector<std::pair<int, double>>{{0, 0.25}}));
  plug.SetParameterValue(2, 0.9);  // the plug-in itself: the host re-reads the values, no edit
  EXPECT_EQ(plug.GetParam(2)->Value(), 2.0);
  EXPECT_EQ(plug.paramChanges, (std::vector<int>{3, 0, 2}));
  EXPECT_EQ(plug.hostParams.size(), 1u);
  EXPECT_EQ(plug.hostValueNotices, 0);
  plug.FlushUIQueue();
  EXPECT_EQ(plug.hostValueNotices, 1);
  EXPECT_EQ(plug.uiChanges.size(), 3u);  // each on the thread of its change
  // The editor follows every change but its own.
  EXPECT_EQ(plug.editorValues, (std::vector<std::pair<int, double>>{{3, 0.2}, {2, 1.0}}));

  // Processing: what UI threads store waits for the next block, and reaches the engine once.
  plug.SetActive(true);
  plug.paramChanges.clear();
  plug.uiChanges.clear();
  plug.editorValues.clear();
  plug.SendParameterValueFromUI(0, 0.75);
  plug.SetParameterFromHost(0, 0.75);  // the host echoing the edit to the controller
  const double cutoff = plug.GetParam(1)->GetNormalized();
  plug.SetParameterFromHost(1, 0.3);
  plug.SetParameterFromHost(1, cutoff);  // changed back before the block
  EXPECT_TRUE(plug.paramChanges.empty());
  EXPECT_EQ(plug.uiChanges.size(), 3u);
  {
    Block block(plug);
    EXPECT_EQ(plug.paramChanges, (std::vector<int>{0}));
    plug.SetParameterFromHost(0, 0.75);  // and echoing it in the block's own changes
    plug.SetParameterFromHost(2, 0.0);   // automation in the block
    EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 2}));
    plug.SendParameterValueFromDelegate(1, 0.5, true);  // editor work made on the audio thread ...
    plug.FlushUIQueue();                                // ... is never done there
    EXPECT_EQ(plug.uiChanges.size(), 3u);
    EXPECT_EQ(plug.editorValues.size(), 2u);  // the two host values before the block
  }
  plug.FlushUIQueue();  // ... but on the UI thread
  EXPECT_EQ(plug.uiChanges.back(), std::make_pair(2, iplug::kHost));
  // The host's two values and its automation of the block, then the value the audio thread left.
  std::vector<int> shown;
  for (const auto& v : plug.editorValues) shown.push_back(v.first);
  EXPECT_EQ(shown, (std::vector<int>{1, 1, 2, 1}));
  EXPECT_EQ(plug.editorValues.back().second, 0.5);

  // A reset applies every parameter, whatever its value, at the next block and only there.
  plug.OnParamReset(iplug::kPresetRecall);
  EXPECT_EQ(plug.paramChanges.size(), 2u);
  { Block block(plug); }
  { Block block(plug); }
  EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 2, 0, 1, 2, 3}));

  // Switched off, what the audio thread has not taken is applied at once.
  plug.SetParameterFromHost(3, 0.9);
  plug.SetActive(false);
  EXPECT_EQ(plug.paramChanges.back(), 3);
  EXPECT_EQ(plug.paramChanges.size(), 7u);
}

TEST(IPlugAPIBase, ProgramChangesFromHostBlockAndMidi) {
  TestPlug plug(8);
  for (int i = 0; i < 8; ++i) {
    if (i == 6) continue;  // left empty
    plug.SetCurrentPresetIdx(i);
    plug.SetValues(0.1 * i, 0.5, i % 3, 1.0 + i);
    plug.ModifyCurrentPreset("P");
  }
  plug.SetCurrentPresetIdx(0);
  ASSERT_TRUE(plug.RestorePreset(0));
  plug.ResetProcessing(48000.0, 256);
  plug.SetActive(true);
  plug.paramChanges.clear();

  // From the controller: program round(7 * value), applied to the engine by the next block.
  EXPECT_TRUE(plug.SetProgramFromHost(3.0 / 7.0));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
  EXPECT_TRUE(plug.paramChanges.empty());
  { Block block(plug); }
  EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(plug.hostPrograms.empty());  // the host chose it: nothing to announce

  // The value of the current program, in single precision or not, is an echo: edits stay.
  plug.SetParameterFromHost(0, 0.9);
  EXPECT_TRUE(plug.SetProgramFromHost(static_cast<float>(3.0 / 7.0)));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.9);

  // In a block (automation, an offline bounce): restored there and then, and announced to the host.
  plug.paramChanges.clear();
  {
    Block block(plug);
    plug.paramChanges.clear();
    EXPECT_TRUE(plug.SetProgramFromHost(5.0 / 7.0));
    EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(plug.GetParam(3)->Value(), 6.0);
    // An empty slot (a MIDI program change) is filled on the UI thread: that may allocate.
    EXPECT_TRUE(plug.RestorePreset(6));
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 5);
  }
  EXPECT_EQ(plug.hostPrograms, (std::vector<int>{5}));
  const int modified = plug.presetsModified;
  plug.FlushUIQueue();
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 6);
  EXPECT_STREQ(plug.GetPresetName(6), "user preset 1");
  EXPECT_GE(plug.presetsModified, modified + 2);  // the block's restore and the fill
  EXPECT_GE(plug.hostValueNotices, 1);

  EXPECT_FALSE(plug.SetProgramFromHost(std::nan("")));
  EXPECT_TRUE(plug.SetProgramFromHost(7.5));  // limited to the last program
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 7);
}

TEST(IPlugAPIBase, RefusedRatesAndNonFiniteBlocks) {
  TestPlug plug;
  for (double rate : {0.0, 200.0, 7999.0, 768001.0, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_FALSE(plug.ResetProcessing(rate, 256)) << rate;
  EXPECT_FALSE(plug.ResetProcessing(48000.0, 0));
  EXPECT_EQ(plug.resets, 0);
  ASSERT_TRUE(plug.ResetProcessing(8000.0, 16));

  double buf[16];
  double* outs[1] = {buf};
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
    plug.renderValue = bad;
    plug.RenderBlock(nullptr, outs, 1, 16);
    for (double x : buf) ASSERT_EQ(x, 0.0);
  }
  EXPECT_EQ(plug.faults, 2);
  plug.renderValue = 0.5;
  plug.RenderBlock(nullptr, outs, 1, 16);
  EXPECT_EQ(buf[15], 0.5);
  EXPECT_EQ(plug.faults, 2);
}
