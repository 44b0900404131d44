#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "test_plug.h"

using iplug::IByteChunk;
namespace fs = std::filesystem;

namespace {

int32_t BE32(const IByteChunk& c, int pos) {
  const uint8_t* p = c.GetData() + pos;
  return static_cast<int32_t>((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]);
}
std::string Bytes(const IByteChunk& c, int pos, int len) {
  return std::string(reinterpret_cast<const char*>(c.GetData() + pos), len);
}
void PutBE32(IByteChunk& c, int32_t v) {
  const uint8_t b[4] = {uint8_t(uint32_t(v) >> 24), uint8_t(uint32_t(v) >> 16), uint8_t(uint32_t(v) >> 8),
                        uint8_t(v)};
  c.PutBytes(b, 4);
}
void PutBEFloat(IByteChunk& c, float f) {
  int32_t bits;
  memcpy(&bits, &f, 4);
  PutBE32(c, bits);
}
void PutName28(IByteChunk& c, const char* name) {
  char field[28] = {};
  strncpy(field, name, 27);
  c.PutBytes(field, 28);
}
void Poke(IByteChunk& c, int pos, const char* text) { memcpy(c.GetData() + pos, text, strlen(text)); }
void PokeBE32(IByteChunk& c, int pos, int32_t v) {
  IByteChunk tmp;
  PutBE32(tmp, v);
  memcpy(c.GetData() + pos, tmp.GetData(), 4);
}

// Everything a failed load must leave alone: every slot, the current program and the current sound.
std::string Snapshot(const TestPlug& plug) {
  IByteChunk bank, state;
  plug.SaveBankAsChunk(bank);
  plug.SerializeState(state);
  return Bytes(bank, 0, bank.Size()) + "|" + Bytes(state, 0, state.Size());
}

// A plug-in with four distinct programs (0 ... 3) and program 5 current.
void FillBank(TestPlug& plug) {
  const char* names[] = {"Bass", "A name well beyond twenty-seven characters", "", "Strings"};
  for (int i = 0; i < 4; ++i) {
    plug.SetCurrentPresetIdx(i);
    plug.SetValues(0.1 * (i + 1), 0.2 * (i + 1), i % 3, 2.5 * (i + 1));
    plug.ModifyCurrentPreset(names[i]);
  }
  plug.SetCurrentPresetIdx(5);
  plug.SetValues(0.99, 0.01, 2, 24.0);
}

using Loader = std::function<bool(TestPlug&, const IByteChunk&)>;
const Loader kLoadBank = [](TestPlug& p, const IByteChunk& f) { return p.LoadBankFromChunk(f); };
const Loader kLoadProgram = [](TestPlug& p, const IByteChunk& f) { return p.LoadPresetFromChunk(f); };

// Loads every truncation and many single-byte corruptions of a valid file: no crash, and a load that
// reports failure changes nothing. Returns how many corrupted files were accepted.
int Fuzz(const IByteChunk& file, const Loader& load) {
  TestPlug plug(8);
  FillBank(plug);
  for (int len = 0; len < file.Size(); ++len) {
    IByteChunk cut;
    cut.PutBytes(file.GetData(), len);
    const std::string before = Snapshot(plug);
    EXPECT_FALSE(load(plug, cut)) << "length " << len;
    EXPECT_EQ(Snapshot(plug), before) << "length " << len;
  }
  int accepted = 0;
  for (int pos = 0; pos < file.Size(); ++pos) {
    for (uint8_t flip : {0xFF, 0x01, 0x80}) {
      IByteChunk bad;
      bad.PutBytes(file.GetData(), file.Size());
      bad.GetData()[pos] ^= flip;
      const std::string before = Snapshot(plug);
      if (load(plug, bad)) ++accepted;
      else EXPECT_EQ(Snapshot(plug), before) << "byte " << pos << " ^ " << int(flip);
    }
  }
  return accepted;
}

}  // namespace

TEST(FXB, SavedBankLayout) {
  TestPlug plug;
  FillBank(plug);
  IByteChunk file;
  ASSERT_TRUE(plug.SaveBankAsChunk(file));
  const int n = file.Size() - 160;
  EXPECT_EQ(Bytes(file, 0, 4), "CcnK");
  EXPECT_EQ(BE32(file, 4), 160 + n);
  EXPECT_EQ(Bytes(file, 8, 4), "FBCh");
  EXPECT_EQ(BE32(file, 12), 2);
  EXPECT_EQ(Bytes(file, 16, 4), "Vtrl");
  EXPECT_EQ(BE32(file, 20), 10001);
  EXPECT_EQ(BE32(file, 24), 64);
  EXPECT_EQ(BE32(file, 28), 5);
  EXPECT_EQ(Bytes(file, 32, 124), std::string(124, '\0'));
  EXPECT_EQ(BE32(file, 156), n);
  EXPECT_EQ(Bytes(file, 160, 4), "tffp");
  int32_t version;
  file.Get(&version, 164);
  EXPECT_EQ(version, 0x00010000);

  // First slot: name length, name, initialised byte, then the slot's record as stored.
  int32_t len;
  file.Get(&len, 168);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(Bytes(file, 172, 4), "Bass");
  EXPECT_EQ(file.GetData()[176], 1);
  const IByteChunk& rec = plug.GetPreset(0)->mChunk;
  EXPECT_EQ(Bytes(file, 177, rec.Size()), Bytes(rec, 0, rec.Size()));

  // 64 slots: 4 filled with records, 60 empty (4 + 1 bytes each).
  int expected = 8;
  for (int i = 0; i < 64; ++i)
    expected += 5 + static_cast<int>(strlen(plug.GetPresetName(i))) + plug.GetPreset(i)->mChunk.Size();
  EXPECT_EQ(n, expected);
}

TEST(FXB, RoundTripKeepsTheCurrentProgram) {
  TestPlug src;
  FillBank(src);
  IByteChunk file;
  ASSERT_TRUE(src.SaveBankAsChunk(file));

  TestPlug dst;
  dst.SetCurrentPresetIdx(2);
  dst.ModifyCurrentPreset("Old");
  dst.SetCurrentPresetIdx(9);
  dst.ModifyCurrentPreset("Also old");
  dst.SetCurrentPresetIdx(2);
  ASSERT_TRUE(dst.LoadBankFromChunk(file));
  EXPECT_EQ(dst.GetCurrentPresetIdx(), 2);
  EXPECT_EQ(dst.Values(), (std::vector<double>{0.1 * 3, 0.2 * 3, 2, 2.5 * 3}));
  EXPECT_EQ(dst.HostPresetChanges(), 1);
  EXPECT_GE(dst.presetsModified, 1);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(dst.GetPreset(i)->mInitialized, src.GetPreset(i)->mInitialized) << i;
    EXPECT_STREQ(dst.GetPresetName(i), src.GetPresetName(i)) << i;
  }
  EXPECT_FALSE(dst.GetPreset(9)->mInitialized);  // the whole bank is replaced
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(src.RestorePreset(i));
    ASSERT_TRUE(dst.RestorePreset(i));
    EXPECT_EQ(dst.Values(), src.Values()) << i;
  }
  // A current program that the bank leaves empty keeps the sound it had and is filled with it.
  TestPlug third;
  third.SetCurrentPresetIdx(10);
  third.SetValues(0.77, 0.66, 1, 3.0);
  ASSERT_TRUE(third.LoadBankFromChunk(file));
  EXPECT_EQ(third.GetCurrentPresetIdx(), 10);
  EXPECT_EQ(third.Values(), (std::vector<double>{0.77, 0.66, 1, 3.0}));
  EXPECT_STREQ(third.GetPresetName(10), "user preset 1");
}

TEST(FXP, SavedProgramLayoutAndRoundTrip) {
  TestPlug src;
  src.SetCurrentPresetIdx(3);
  const std::string longName = "Program name of exactly forty characters";
  src.ModifyCurrentPreset(longName.c_str());
  src.SetValues(0.42, 0.3, 0, 12.5);  // unsaved edits are what the file carries
  IByteChunk file;
  ASSERT_TRUE(src.SavePresetAsChunk(file));
  const int n = file.Size() - 60;
  EXPECT_EQ(Bytes(file, 0, 4), "CcnK");
  EXPECT_EQ(BE32(file, 4), 60 + n);
  EXPECT_EQ(Bytes(file, 8, 4), "FPCh");
  EXPECT_EQ(BE32(file, 12), 1);
  EXPECT_EQ(Bytes(file, 16, 4), "Vtrl");
  EXPECT_EQ(BE32(file, 20), 10001);
  EXPECT_EQ(BE32(file, 24), 4);
  EXPECT_EQ(Bytes(file, 28, 27), longName.substr(0, 27));
  EXPECT_EQ(file.GetData()[55], 0);
  EXPECT_EQ(BE32(file, 56), n);
  EXPECT_EQ(Bytes(file, 60, 4), "tffp");
  IByteChunk state;
  src.SerializeState(state);
  EXPECT_EQ(Bytes(file, 68, n - 8), Bytes(state, 0, state.Size()));

  TestPlug dst(8);
  dst.SetCurrentPresetIdx(6);
  ASSERT_TRUE(dst.LoadPresetFromChunk(file));
  EXPECT_EQ(dst.GetCurrentPresetIdx(), 6);
  EXPECT_EQ(dst.Values(), src.Values());
  EXPECT_TRUE(dst.GetPreset(6)->mInitialized);
  EXPECT_EQ(std::string(dst.GetPresetName(6)), longName.substr(0, 27));
  EXPECT_EQ(dst.HostPresetChanges(), 1);
  EXPECT_EQ(dst.restores, 1);
  dst.SetValues(0, 0, 0, 0);
  ASSERT_TRUE(dst.RestorePreset(6));
  EXPECT_EQ(dst.Values(), src.Values());

  // A file without a name leaves the slot's name.
  TestPlug unnamed;
  IByteChunk noName;
  ASSERT_TRUE(unnamed.SavePresetAsChunk(noName));
  dst.ModifyCurrentPreset("Keep");
  ASSERT_TRUE(dst.LoadPresetFromChunk(noName));
  EXPECT_STREQ(dst.GetPresetName(6), "Keep");
  EXPECT_EQ(dst.Values(), unnamed.Values());
}

TEST(FXBFXP, RefusesForeignAndDamagedFiles) {
  TestPlug src;
  FillBank(src);
  IByteChunk bank, prog;
  ASSERT_TRUE(src.SaveBankAsChunk(bank));
  ASSERT_TRUE(src.SavePresetAsChunk(prog));

  TestPlug plug;
  FillBank(plug);
  plug.SetValues(0.5, 0.5, 1, 5.0);
  const std::string before = Snapshot(plug);
  auto refused = [&](IByteChunk file, bool isBank, const std::function<void(IByteChunk&)>& damage) {
    damage(file);
    const bool ok = isBank ? plug.LoadBankFromChunk(file) : plug.LoadPresetFromChunk(file);
    return !ok && Snapshot(plug) == before && plug.HostPresetChanges() == 0;
  };
  for (bool isBank : {true, false}) {
    const IByteChunk& f = isBank ? bank : prog;
    EXPECT_TRUE(refused(f, isBank, [](IByteChunk& c) { Poke(c, 16, "Xtrl"); })) << isBank;
    EXPECT_TRUE(refused(f, isBank, [](IByteChunk& c) { Poke(c, 0, "CcnX"); })) << isBank;
    EXPECT_TRUE(refused(f, isBank, [](IByteChunk& c) { Poke(c, 8, "FxXX"); })) << isBank;
    EXPECT_TRUE(refused(f, isBank, [&](IByteChunk& c) { PokeBE32(c, isBank ? 156 : 56, c.Size()); })) << isBank;
    EXPECT_TRUE(refused(f, isBank, [&](IByteChunk& c) { PokeBE32(c, isBank ? 156 : 56, -8); })) << isBank;
  }
  EXPECT_TRUE(refused(prog, false, [](IByteChunk& c) { PokeBE32(c, 12, 2); }));  // program format version
  EXPECT_TRUE(refused(bank, true, [](IByteChunk& c) { PokeBE32(c, 24, -1); }));   // number of programs
  // A damaged record in the fourth slot: the three before it were read, yet nothing changes.
  const std::string bankBytes = Bytes(bank, 0, bank.Size());
  size_t rec3 = 0;
  for (int i = 0; i < 4; ++i) rec3 = bankBytes.find(TestPlug::kMark, rec3 + (i ? 1 : 0));
  ASSERT_NE(rec3, std::string::npos);
  EXPECT_TRUE(refused(bank, true, [&](IByteChunk& c) { Poke(c, static_cast<int>(rec3), "XXXX"); }));
  EXPECT_TRUE(refused(prog, false, [](IByteChunk& c) { Poke(c, 68, "XXXX"); }));
  // An FXB's byte size field is not relied upon (writers differ in what they count).
  IByteChunk otherSize;
  otherSize.PutBytes(bank.GetData(), bank.Size());
  PokeBE32(otherSize, 4, bank.Size() - 8);
  EXPECT_TRUE(plug.LoadBankFromChunk(otherSize));
}

TEST(FXBFXP, FuzzedFilesNeverCorruptTheBank) {
  TestPlug src(8);
  FillBank(src);
  IByteChunk bank, prog;
  ASSERT_TRUE(src.SaveBankAsChunk(bank));
  ASSERT_TRUE(src.SavePresetAsChunk(prog));
  const int bankAccepted = Fuzz(bank, kLoadBank);
  const int progAccepted = Fuzz(prog, kLoadProgram);
  // Flipped value bytes still make valid files; flipped structure does not.
  EXPECT_GT(bankAccepted, 0);
  EXPECT_LT(bankAccepted, 3 * bank.Size());
  EXPECT_GT(progAccepted, 0);
  EXPECT_LT(progAccepted, 3 * prog.Size());
}

namespace {

IByteChunk ParamListProgram(const char* name, std::vector<float> values, int32_t id = iplug::MakeFourCC("Vtrl")) {
  IByteChunk c;
  c.PutBytes("CcnK", 4);
  PutBE32(c, 52 + 4 * static_cast<int>(values.size()));
  c.PutBytes("FxCk", 4);
  PutBE32(c, 1);
  PutBE32(c, id);
  PutBE32(c, 10001);
  PutBE32(c, static_cast<int>(values.size()));
  PutName28(c, name);
  for (float v : values) PutBEFloat(c, v);
  return c;
}

}  // namespace

TEST(FXBFXP, ReadsParameterListForms) {
  const IByteChunk prog = ParamListProgram("Strings", {0.25f, 0.5f, 1.0f, 0.2f});
  TestPlug plug(8);
  plug.SetCurrentPresetIdx(1);
  ASSERT_TRUE(plug.LoadPresetFromChunk(prog));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.25);
  EXPECT_DOUBLE_EQ(plug.GetParam(1)->Value(), std::sqrt(0.5));  // normalised values go through the shape
  EXPECT_EQ(plug.GetParam(2)->Value(), 2.0);
  EXPECT_NEAR(plug.GetParam(3)->Value(), 1.0, 1e-6);
  EXPECT_STREQ(plug.GetPresetName(1), "Strings");
  EXPECT_EQ(plug.HostPresetChanges(), 1);
  EXPECT_GT(Fuzz(prog, kLoadProgram), 0);

  IByteChunk bank;
  bank.PutBytes("CcnK", 4);
  PutBE32(bank, 0);
  bank.PutBytes("FxBk", 4);
  PutBE32(bank, 2);
  PutBE32(bank, iplug::MakeFourCC("Vtrl"));
  PutBE32(bank, 10001);
  PutBE32(bank, 2);
  PutBE32(bank, 1);
  const char reserved[124] = {};
  bank.PutBytes(reserved, 124);
  const IByteChunk p0 = ParamListProgram("First", {0.1f, 0.0f, 0.0f, 0.0f});
  const IByteChunk p1 = ParamListProgram("Second", {0.9f, 1.0f, 0.5f});  // fewer values than parameters
  bank.PutBytes(p0.GetData(), p0.Size());
  bank.PutBytes(p1.GetData(), p1.Size());

  TestPlug b(8);
  ASSERT_TRUE(b.LoadBankFromChunk(bank));
  EXPECT_EQ(b.GetCurrentPresetIdx(), 0);
  EXPECT_STREQ(b.GetPresetName(0), "First");
  EXPECT_STREQ(b.GetPresetName(1), "Second");
  EXPECT_NEAR(b.GetParam(0)->Value(), 0.1, 1e-7);
  ASSERT_TRUE(b.RestorePreset(1));
  EXPECT_NEAR(b.GetParam(0)->Value(), 0.9, 1e-7);
  EXPECT_EQ(b.GetParam(2)->Value(), 1.0);
  EXPECT_FALSE(b.GetPreset(2)->mInitialized);
  EXPECT_GT(Fuzz(bank, kLoadBank), 0);
}

class FXBFiles : public ::testing::Test {
protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "fxbtestXXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
  }
  void TearDown() override { fs::remove_all(dir); }
  int CountEntries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir), {})); }
  fs::path dir;
};

TEST_F(FXBFiles, SaveAndLoadThroughFiles) {
  TestPlug src;
  FillBank(src);
  const std::string bankPath = (dir / "bank.fxb").string(), progPath = (dir / "prog.fxp").string();
  {
    std::ofstream old(bankPath);
    old << "an older file";
  }
  ASSERT_TRUE(src.SaveBankAsFXB(bankPath.c_str()));
  ASSERT_TRUE(src.SavePresetAsFXP(progPath.c_str()));
  EXPECT_EQ(CountEntries(), 2);  // replaced in place, no temporary files left
  IByteChunk bank;
  src.SaveBankAsChunk(bank);
  EXPECT_EQ(fs::file_size(bankPath), static_cast<uintmax_t>(bank.Size()));

  TestPlug dst;
  dst.SetCurrentPresetIdx(1);
  ASSERT_TRUE(dst.LoadBankFromFXB(bankPath.c_str()));
  EXPECT_STREQ(dst.GetPresetName(1), src.GetPresetName(1));
  ASSERT_TRUE(dst.LoadPresetFromFXP(progPath.c_str()));
  EXPECT_EQ(dst.Values(), src.Values());
}

TEST_F(FXBFiles, FailuresAreReportedAndHarmless) {
  TestPlug plug;
  FillBank(plug);
  const std::string before = Snapshot(plug);
  EXPECT_FALSE(plug.SaveBankAsFXB((dir / "missing" / "bank.fxb").string().c_str()));
  EXPECT_FALSE(plug.SavePresetAsFXP(dir.string().c_str()));  // a folder cannot be replaced by a file
  EXPECT_FALSE(plug.SaveBankAsFXB(""));
  EXPECT_FALSE(plug.SaveBankAsFXB(nullptr));
  EXPECT_EQ(CountEntries(), 0);

  const std::string empty = (dir / "empty.fxb").string();
  std::ofstream(empty).close();
  for (const std::string& p : {(dir / "none.fxb").string(), dir.string(), empty}) {
    EXPECT_FALSE(plug.LoadBankFromFXB(p.c_str())) << p;
    EXPECT_FALSE(plug.LoadPresetFromFXP(p.c_str())) << p;
  }
  EXPECT_FALSE(plug.LoadBankFromFXB(nullptr));
  EXPECT_FALSE(plug.LoadPresetFromFXP(""));
  EXPECT_EQ(Snapshot(plug), before);
}
