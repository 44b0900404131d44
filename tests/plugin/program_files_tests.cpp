// FXB and FXP files on disk read by the instrument: the parameter-list forms load; damaged, foreign and
// oversized files are refused and leave the bank, the current program and the sound as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "plugin_test_util.h"

namespace {

void putBE32(std::string& s, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>(v >> shift));
}

// A program in the parameter-list form: normalised value i / 65 for parameter i.
std::string listProgram(const char* name, const char* id = "Vtrl") {
  std::string s = "CcnK";
  putBE32(s, 52 + 4 * 66);
  s += "FxCk";
  putBE32(s, 1);
  s += id;
  putBE32(s, 10001);
  putBE32(s, 66);
  std::string field(28, '\0');
  std::memcpy(field.data(), name, std::strlen(name));
  s += field;
  for (int i = 0; i < 66; ++i) {
    const float f = static_cast<float>(i) / 65.0f;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    putBE32(s, bits);
  }
  return s;
}

std::string listBank() {
  std::string s = "CcnK";
  putBE32(s, 0);
  s += "FxBk";
  putBE32(s, 2);
  s += "Vtrl";
  putBE32(s, 10001);
  putBE32(s, 2);
  putBE32(s, 0);
  s += std::string(124, '\0');
  return s + listProgram("Listed One") + listProgram("Listed Two");
}

std::string snapshot(const Vantorel& plug) {
  iplug::IByteChunk bank, state;
  plug.SaveBankAsChunk(bank);
  plug.SerializeState(state);
  return std::string(reinterpret_cast<const char*>(bank.GetData()), bank.Size()) +
         std::string(reinterpret_cast<const char*>(state.GetData()), state.Size());
}

}  // namespace

TEST(ProgramFiles, ListFormsLoadAndBadFilesChangeNothing) {
  ScopedHome home;
  Vantorel plug{iplug::InstanceInfo{}};
  plug.SetCurrentPresetIdx(1);
  plug.GetParam(25)->Set(0.3);
  plug.ModifyCurrentPreset("Mine");

  struct Case {
    const char* what;
    std::string bytes;
    bool bank, loads;
    off_t sparseSize = 0;  // grown to this size with a hole, when not 0
  };
  std::string wrongMagic = listBank();
  wrongMagic[0] = 'X';
  const Case cases[] = {
      {"truncated bank", listBank().substr(0, 300), true, false},
      {"truncated program", listProgram("Cut").substr(0, 100), false, false},
      {"wrong magic", wrongMagic, true, false},
      {"foreign bank", listBank().replace(16, 4, "Xtrl"), true, false},
      {"foreign program", listProgram("Other", "Xtrl"), false, false},
      {"oversized bank", listBank(), true, false, off_t{65} << 20},
      {"listed program", listProgram("Listed"), false, true},
      {"listed bank", listBank(), true, true},
  };
  for (const Case& c : cases) {
    const std::string path = (home.dir / "file").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
    if (c.sparseSize) {
      ASSERT_EQ(truncate(path.c_str(), c.sparseSize), 0);
    }
    const std::string before = snapshot(plug);
    const bool loaded = c.bank ? plug.LoadBankFromFXB(path.c_str()) : plug.LoadPresetFromFXP(path.c_str());
    EXPECT_EQ(loaded, c.loads) << c.what;
    if (!c.loads) {
      EXPECT_EQ(snapshot(plug), before) << c.what;
    }
  }
  // The listed values went through each parameter's shape: "VCF: Cutoff" (power 0.5) got (25/65)^0.5,
  // "Osc.2: Coarse Tune" (-7 ... 7) got -7 + 14 * 14/65.
  EXPECT_STREQ(plug.GetPresetName(0), "Listed One");
  EXPECT_STREQ(plug.GetPresetName(1), "Listed Two");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
  EXPECT_NEAR(plug.GetParam(25)->Value(), std::sqrt(25.0 / 65), 1e-6);
  EXPECT_NEAR(plug.GetParam(14)->Value(), -7.0 + 14.0 * 14 / 65, 1e-3);
  EXPECT_EQ(plug.GetParam(22)->Value(), 1.0);  // a switch of 3 positions at 22/65 sits on the middle one
}
