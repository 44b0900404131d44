#include <gtest/gtest.h>

#include <string>

#include "test_plug.h"

using iplug::IByteChunk;

TEST(IPluginBase, ConstructionAndIdentity) {
  TestPlug plug(8);
  EXPECT_EQ(plug.NParams(), 4);
  EXPECT_EQ(plug.NPresets(), 8);
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(plug.GetPluginVersionDecimal(), 10001);
  EXPECT_EQ(plug.GetParam(-1), nullptr);
  EXPECT_EQ(plug.GetParam(4), nullptr);
  EXPECT_EQ(plug.GetPreset(8), nullptr);
  EXPECT_STREQ(plug.GetPresetName(0), "");
  EXPECT_STREQ(plug.GetPresetName(-1), "");
  EXPECT_STREQ(plug.GetPresetName(8), "");
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(plug.GetPreset(i)->mInitialized);
  EXPECT_FALSE(plug.fullStateRestore);

  iplug::Config c = TestPlug::MakeConfig();
  c.vendorVersion = 0x00020305;
  iplug::IPluginBase other(c);
  EXPECT_EQ(other.GetPluginVersionDecimal(), 20305);
}

TEST(IPluginBase, ParamResetAppliesEveryParameterInOrder) {
  TestPlug plug;
  plug.OnParamReset(iplug::kHost);
  EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 1, 2, 3}));
}

TEST(IPluginBase, DefaultStateIsThePlainValues) {
  iplug::Config c = TestPlug::MakeConfig();
  c.nParams = 3;
  iplug::IPluginBase plug(c);
  plug.GetParam(0)->InitDouble("a", 0.5, 0.0, 1.0, 0.01);
  plug.GetParam(1)->InitEnum("b", 0, {"x", "y", "z"});
  plug.GetParam(2)->InitDouble("c", 2.0, -5.0, 5.0, 0.1);
  plug.GetParam(0)->Set(0.25);
  plug.GetParam(1)->Set(2.0);
  plug.GetParam(2)->Set(-3.3);

  IByteChunk chunk;
  const int lead = 7;  // the record may follow other data
  chunk.PutBytes("prefix!", lead);
  ASSERT_TRUE(plug.SerializeState(chunk));
  EXPECT_EQ(chunk.Size(), lead + 3 * 8);
  for (int i = 0; i < 3; ++i) plug.GetParam(i)->SetToDefault();
  EXPECT_EQ(plug.UnserializeState(chunk, lead), lead + 24);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.25);
  EXPECT_EQ(plug.GetParam(1)->Value(), 2.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), -3.3);

  // Stored values are stepped and clamped; a cut record keeps the rest and reports -1.
  IByteChunk odd;
  const double vals[] = {7.0, 1.4};
  odd.Put(&vals[0]);
  odd.Put(&vals[1]);
  odd.PutBytes("abc", 3);
  plug.GetParam(2)->Set(4.0);
  EXPECT_EQ(plug.UnserializeParams(odd, 0), -1);
  EXPECT_EQ(plug.GetParam(0)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 4.0);
  EXPECT_EQ(plug.UnserializeParams(odd, -5), -1);
}

TEST(IPluginBase, FullStateFlagIsSetOnlyDuringTheCall) {
  TestPlug plug;
  IByteChunk chunk;
  plug.SerializeState(chunk);
  EXPECT_EQ(plug.unserializeKestrosaState(chunk, 0), chunk.Size());
  EXPECT_EQ(plug.UnserializeState(chunk, 0), chunk.Size());
  EXPECT_EQ(plug.flagSeen, (std::vector<bool>{true, false}));
  EXPECT_FALSE(plug.fullStateRestore);
  IByteChunk bad;
  EXPECT_EQ(plug.unserializeKestrosaState(bad, 0), -1);
  EXPECT_FALSE(plug.fullStateRestore);
}

TEST(IPluginBase, RestoringEmptySlotsNamesThemUserPresets) {
  TestPlug plug(8);
  plug.SetValues(0.3, 0.4, 2, 10.0);
  ASSERT_TRUE(plug.RestorePreset(5));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 5);
  EXPECT_STREQ(plug.GetPresetName(5), "user preset 1");
  EXPECT_TRUE(plug.GetPreset(5)->mInitialized);
  EXPECT_EQ(plug.presetsModified, 1);
  EXPECT_EQ(plug.restores, 1);
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.3, 0.4, 2, 10.0}));  // the sound is kept

  ASSERT_TRUE(plug.RestorePreset(2));
  EXPECT_STREQ(plug.GetPresetName(2), "user preset 2");
  snprintf(plug.GetPreset(6)->mName, 256, "My user preset");  // any name containing the words counts
  ASSERT_TRUE(plug.RestorePreset(7));
  EXPECT_STREQ(plug.GetPresetName(7), "user preset 4");

  // A filled slot applies its stored sound.
  plug.SetValues(0.9, 0.1, 0, 1.0);
  plug.paramChanges.clear();
  ASSERT_TRUE(plug.RestorePreset(5));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.3, 0.4, 2, 10.0}));
  EXPECT_EQ(plug.paramChanges, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_STREQ(plug.GetPresetName(5), "user preset 1");
}

TEST(IPluginBase, RestorePresetRefusesBadIndicesAndDamagedSlots) {
  TestPlug plug(8);
  plug.SetCurrentPresetIdx(3);
  for (int idx : {-1, 8, 64, 1000}) EXPECT_FALSE(plug.RestorePreset(idx));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
  EXPECT_EQ(plug.presetsModified, 0);

  iplug::IPreset* slot = plug.GetPreset(4);
  slot->mInitialized = true;
  slot->mChunk.PutBytes("XXXX", 4);  // not a record of this plug-in
  EXPECT_FALSE(plug.RestorePreset(4));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 3);
  EXPECT_EQ(plug.restores, 0);
}

TEST(IPluginBase, ModifyCurrentPresetStoresTheSoundAndRenames) {
  TestPlug plug(8);
  plug.SetCurrentPresetIdx(2);
  plug.SetValues(0.7, 0.2, 0, 3.0);
  IByteChunk expected;  // the record is written before the slot takes its new name
  plug.SerializeState(expected);
  plug.ModifyCurrentPreset("Pad");
  iplug::IPreset* slot = plug.GetPreset(2);
  EXPECT_TRUE(slot->mInitialized);
  EXPECT_STREQ(slot->mName, "Pad");
  EXPECT_TRUE(slot->mChunk.IsEqual(expected));
  plug.ModifyCurrentPreset("Pad");
  EXPECT_EQ(slot->mChunk.Size(), expected.Size() + 3);  // replaced, not appended

  plug.SetValues(0.1, 0.1, 1, 1.0);
  plug.ModifyCurrentPreset();
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(slot->mName, "Pad");
  plug.SetValues(0.5, 0.5, 2, 2.0);
  ASSERT_TRUE(plug.RestorePreset(2));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.1, 0.1, 1, 1.0}));

  const std::string longName(300, 'n');
  plug.ModifyCurrentPreset(longName.c_str());
  EXPECT_EQ(std::string(slot->mName), longName.substr(0, 255));
  for (int i = 0; i < 8; ++i) {
    if (i != 2) {
      EXPECT_FALSE(plug.GetPreset(i)->mInitialized);
    }
  }
}
