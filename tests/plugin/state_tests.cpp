#include <gtest/gtest.h>

#include <cstring>

#include "../vst3/host_doubles.h"
#include "plugin_test_util.h"

using iplug::IByteChunk;

namespace {
void putOldRecord(IByteChunk& chunk, const double* values, int count) {
  for (int i = 0; i < count; ++i) chunk.Put(&values[i]);
}
}  // namespace

TEST(StateRecord, LayoutAndRoundTrip) {
  TestInstrument a;
  a->ModifyCurrentPreset("Pad");
  a.set(25, 0.37);
  a.set(21, 2);
  a.set(44, -0.65);
  IByteChunk chunk;
  const int junk = 7;
  chunk.Put(&junk);  // records are appended to whatever the chunk holds
  ASSERT_TRUE(a->SerializeState(chunk));
  ASSERT_EQ(chunk.Size(), 4 + 550 + 3);
  EXPECT_EQ(std::memcmp(chunk.GetData() + 4, "Vantorel_1.0.0", 14), 0);
  int32_t index = -1, len = -1;
  chunk.Get(&index, 4 + 14);
  chunk.Get(&len, 4 + 18);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(std::memcmp(chunk.GetData() + 4 + 22, "Pad", 3), 0);

  TestInstrument b;
  EXPECT_EQ(b->UnserializeState(chunk, 4), chunk.Size());
  for (int i = 0; i < 66; ++i) EXPECT_EQ(b->GetParam(i)->Value(), a->GetParam(i)->Value()) << i;
  EXPECT_EQ(b->voiceCards[0].envelope().getLevel(), 0.0);
  EXPECT_EQ(b->glideDirection, 2);
  // Not a host restore: the name and index in the record change nothing in the bank.
  EXPECT_STRNE(b->GetPresetName(0), "Pad");
}

TEST(StateRecord, OldLayoutWithoutMark) {
  TestInstrument t;
  double values[66];
  for (int i = 0; i < 66; ++i) values[i] = t->GetParam(i)->GetDefault();
  values[2] = 0.9;
  values[35] = 30.0;  // above the maximum: restored as the maximum
  values[22] = 1.4;   // stepped: nearest step
  values[3] = std::nan("");  // not a number: the default, never the engine's
  IByteChunk chunk;
  putOldRecord(chunk, values, 66);
  ASSERT_EQ(chunk.Size(), 528);
  EXPECT_EQ(t->UnserializeState(chunk, 0), 528);
  EXPECT_EQ(t->GetParam(2)->Value(), 0.9);
  EXPECT_EQ(t->GetParam(35)->Value(), 25.0);
  EXPECT_EQ(t->GetParam(22)->Value(), 1.0);
  EXPECT_EQ(t->synthVolume, 0.9);
  EXPECT_EQ(t->organVolume, t->GetParam(3)->GetDefault());
}

TEST(StateRecord, TruncatedRecordAppliesWhatItHas) {
  TestInstrument a;
  for (int i = 0; i < 66; ++i) a->GetParam(i)->Set(a->GetParam(i)->GetMax());
  IByteChunk full;
  a->SerializeState(full);
  const int k = 10;
  IByteChunk cut;
  cut.PutBytes(full.GetData(), 22 + static_cast<int>(std::strlen(a->GetPresetName(0))) + 8 * k + 3);
  TestInstrument b;
  b->GetParam(40)->Set(0.25);
  EXPECT_EQ(b->UnserializeState(cut, 0), -1);
  for (int i = 0; i < k; ++i) EXPECT_EQ(b->GetParam(i)->Value(), a->GetParam(i)->Value()) << i;
  EXPECT_EQ(b->GetParam(k)->Value(), b->GetParam(k)->Constrain(0.0));
  EXPECT_EQ(b->GetParam(40)->Value(), 0.25);
}

TEST(StateRecord, BrokenHeadersNeverReadOutOfBounds) {
  TestInstrument a;
  a->ModifyCurrentPreset("Lead");
  IByteChunk full;
  a->SerializeState(full);
  for (int n = 0; n < full.Size(); ++n) {
    IByteChunk cut;
    cut.PutBytes(full.GetData(), n);
    TestInstrument b;
    const int r = b->UnserializeState(cut, 0);
    EXPECT_TRUE(r == -1 || r == n) << n;
  }
  // A negative or huge name length is a record that ends early.
  for (int32_t badLen : {-5, 1 << 30}) {
    IByteChunk bad;
    bad.PutBytes("Vantorel_1.0.0", 14);
    const int32_t idx = 0;
    bad.Put(&idx);
    bad.Put(&badLen);
    for (int i = 0; i < 66; ++i) {
      const double v = 0.5;
      bad.Put(&v);
    }
    TestInstrument b;
    EXPECT_EQ(b->UnserializeState(bad, 0), -1);
  }
}

TEST(StateRecord, HostRestoreRenamesAndSelectsTheStoredProgram) {
  TestInstrument a;
  a->RestorePreset(5);
  a->ModifyCurrentPreset("Pad");
  a.set(3, 0.77);
  IByteChunk chunk;
  a->SerializeState(chunk);

  TestInstrument b;
  b->RestorePreset(2);
  EXPECT_EQ(b->unserializeKestrosaState(chunk, 0), chunk.Size());
  EXPECT_FALSE(b->fullStateRestore);
  EXPECT_EQ(b->GetCurrentPresetIdx(), 5);
  EXPECT_STREQ(b->GetPresetName(5), "Pad");
  EXPECT_EQ(b->GetParam(3)->Value(), 0.77);
  // The slot holds the restored sound.
  TestInstrument c;
  EXPECT_GT(c->UnserializeState(b->GetPreset(5)->mChunk, 0), 0);
  EXPECT_EQ(c->GetParam(3)->Value(), 0.77);

  // A record cut short applies what it holds, but neither renames nor selects nor stores a program.
  IByteChunk cut;
  cut.PutBytes(chunk.GetData(), chunk.Size() - 100);
  c->RestorePreset(2);
  IByteChunk slotBefore;
  slotBefore.PutBytes(c->GetPreset(5)->mChunk.GetData(), c->GetPreset(5)->mChunk.Size());
  EXPECT_EQ(c->unserializeKestrosaState(cut, 0), -1);
  EXPECT_EQ(c->GetParam(3)->Value(), 0.77);
  EXPECT_EQ(c->GetCurrentPresetIdx(), 2);
  EXPECT_STRNE(c->GetPresetName(5), "Pad");
  EXPECT_TRUE(c->GetPreset(5)->mChunk.IsEqual(slotBefore));
}

TEST(StateRecord, LongNamesAndBadIndicesAreSafe) {
  TestInstrument a;
  const std::string longName(200, 'x');
  a->ModifyCurrentPreset(longName.c_str());
  IByteChunk chunk;
  a->SerializeState(chunk);
  TestInstrument b;
  EXPECT_EQ(b->unserializeKestrosaState(chunk, 0), chunk.Size());
  EXPECT_EQ(std::string(b->GetPresetName(0)), std::string(63, 'x'));

  // A stored index outside the bank is ignored together with its name.
  IByteChunk bad;
  bad.PutBytes("Vantorel_1.0.0", 14);
  const int32_t idx = 99;
  bad.Put(&idx);
  bad.PutStr("Ghost");
  for (int i = 0; i < 66; ++i) {
    const double v = b->GetParam(i)->GetDefault();
    bad.Put(&v);
  }
  EXPECT_EQ(b->unserializeKestrosaState(bad, 0), bad.Size());
  EXPECT_EQ(b->GetCurrentPresetIdx(), 0);
}

TEST(Programs, CopyPasteTakesTheSourceName) {
  TestInstrument t;
  t->RestorePreset(4);
  t->ModifyCurrentPreset("Bass");
  t.set(27, 0.5);
  t->copyPreset();
  t->RestorePreset(9);
  t.set(27, -0.5);
  t->GetPreset(4)->mName[0] = 'b';  // renamed in between
  t->pastePreset();
  EXPECT_EQ(t->GetParam(27)->Value(), 0.5);
  EXPECT_STREQ(t->GetPresetName(9), "bass");
}

TEST(Programs, PasteBeforeCopyDoesNothingAndInitResetsOnlyTheCurrentProgram) {
  TestInstrument t;
  ASSERT_TRUE(loadFactoryPrograms(*t));
  t.set(2, 0.9);
  t->pastePreset();
  EXPECT_EQ(t->GetParam(2)->Value(), 0.9);
  t->RestorePreset(12);
  t.set(2, 0.1);
  IByteChunk before;
  t->SaveBankAsChunk(before);
  t->initProgram();
  // Set through the normalised default, so some land within a rounding step of it.
  for (int i = 0; i < 66; ++i) EXPECT_DOUBLE_EQ(t->GetParam(i)->Value(), t->GetParam(i)->GetDefault()) << i;
  EXPECT_EQ(t->synthVolume, 0.5);
  EXPECT_STREQ(t->GetPresetName(12), "Init");
  // Every other program is as it was; program 12 stores the default sound.
  IByteChunk after;
  t->SaveBankAsChunk(after);
  TestInstrument was, is;
  ASSERT_TRUE(was->LoadBankFromChunk(before));
  ASSERT_TRUE(is->LoadBankFromChunk(after));
  for (int p = 0; p < 64; ++p) {
    was->RestorePreset(p);
    is->RestorePreset(p);
    if (p == 12) {
      for (int i = 0; i < 66; ++i) EXPECT_DOUBLE_EQ(is->GetParam(i)->Value(), is->GetParam(i)->GetDefault()) << i;
      continue;
    }
    EXPECT_STREQ(is->GetPresetName(p), was->GetPresetName(p)) << p;
    for (int i = 0; i < 66; ++i) EXPECT_EQ(is->GetParam(i)->Value(), was->GetParam(i)->Value()) << p << " " << i;
  }
}

TEST(Programs, ChangePresetKeepsEditsAndTellsTheHostWithoutValueGestures) {
  TestInstrument t;
  testhost::ComponentHandler handler;
  t->setComponentHandler(&handler);
  t->changePreset(7);
  t->changePreset(3);
  t.set(2, 0.9);
  t->changePreset(7);
  EXPECT_EQ(t->GetCurrentPresetIdx(), 7);
  EXPECT_EQ(t->synthVolume, 0.5);
  t->changePreset(3);
  EXPECT_EQ(t->synthVolume, 0.9);  // the edits were kept
  for (int outside : {-1, 64, 1000}) t->changePreset(outside);
  EXPECT_EQ(t->GetCurrentPresetIdx(), 3);
  t->FlushUIQueue();
  // The host heard of the programs as the user's edits, of the values only by a values-changed restart.
  for (const auto& edit : handler.edits) EXPECT_EQ(edit.id, iplug::IPlugVST3::kPresetParam) << edit.kind;
  ASSERT_EQ(handler.edits.size(), 4u * 3u);  // one gesture per change, none for the refused ones
  EXPECT_DOUBLE_EQ(handler.edits[10].value, 3.0 / 63.0);
  ASSERT_FALSE(handler.restarts.empty());
  EXPECT_EQ(handler.restarts.back(), Steinberg::Vst::kParamValuesChanged);
  t->setComponentHandler(nullptr);
}
