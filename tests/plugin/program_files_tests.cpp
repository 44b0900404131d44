// FXB and FXP files on disk read by the instrument: the parameter-list forms load; damaged, foreign and
// oversized files are refused and leave the bank, the current program and the sound as they were; a bank
// written and read again holds every program as it was; the startup bank and the program folder are kept
// in the configuration file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

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

namespace {

// Every program's name and parameter values, read by making each current in turn.
std::vector<std::pair<std::string, std::vector<double>>> programs(Vantorel& plug) {
  std::vector<std::pair<std::string, std::vector<double>>> all;
  for (int p = 0; p < plug.NPresets(); ++p) {
    plug.RestorePreset(p);
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i) values.push_back(plug.GetParam(i)->Value());
    all.emplace_back(plug.GetPresetName(p), values);
  }
  return all;
}

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(ProgramFiles, BankWrittenEditedAndReadAgainKeepsEveryProgram) {
  ScopedHome home;
  TestInstrument a;
  ASSERT_TRUE(loadFactoryPrograms(*a));
  a->changePreset(3);
  a.set(25, 0.123);
  a->changePreset(10);
  a->ModifyCurrentPreset("Renamed");
  const std::string file = (home.dir / "bank.fxb").string();
  ASSERT_TRUE(a->SaveBankAsFXB(file.c_str()));
  const auto written = programs(*a);
  EXPECT_EQ(written[10].first, "Renamed");
  EXPECT_EQ(written[3].second[25], 0.123);

  // Edited after writing: renamed, changed, initialised, pasted over.
  a->changePreset(20);
  a.set(2, 0.0);
  a->copyPreset();
  a->changePreset(21);
  a->pastePreset();
  a->changePreset(22);
  a->initProgram();
  ASSERT_NE(programs(*a), written);
  ASSERT_TRUE(a->LoadBankFromFXB(file.c_str()));
  EXPECT_EQ(programs(*a), written);
  TestInstrument b;
  ASSERT_TRUE(b->LoadBankFromFXB(file.c_str()));
  EXPECT_EQ(programs(*b), written);
}

TEST(ProgramFiles, StartupBankAndProgramFolderAreKeptInTheConfiguration) {
  // (A refused startup bank and the factory bank it falls back to: the host test, with a real bundle.)
  ScopedHome home;
  const std::string bank = (home.dir / "start.fxb").string(), folder = (home.dir / "programs").string();
  {
    Vantorel a{iplug::InstanceInfo{}};
    a.ModifyCurrentPreset("Opening");
    a.changePreset(6);
    a.GetParam(11)->Set(0.75);
    a.ModifyCurrentPreset("Sixth");
    ASSERT_TRUE(a.SaveBankAsFXB(bank.c_str()));
    EXPECT_EQ(a.setStartupFxb(bank.c_str()), 0);
    const WDL_String path(folder.c_str());
    a.storeProgramPath(&path);
  }
  EXPECT_EQ(readText(home.configFile()),
            "[Global]\nPath to Program Files=" + folder + "\n\n[Startup Bank]\nFile=" + bank + "\n\n");
  {
    // The next instance starts with the startup bank.
    Vantorel b{iplug::InstanceInfo{}};
    EXPECT_STREQ(b.startupBankPath.Get(), bank.c_str());
    EXPECT_STREQ(b.programPath.Get(), folder.c_str());
    EXPECT_STREQ(b.GetPresetName(0), "Opening");
    EXPECT_STREQ(b.GetPresetName(6), "Sixth");
    b.RestorePreset(6);
    EXPECT_EQ(b.GetParam(11)->Value(), 0.75);
    b.unsetStartupFxb();
    b.storeProgramPath(nullptr);  // the folder read at construction, stored again
  }
  EXPECT_EQ(readText(home.configFile()), "[Global]\nPath to Program Files=" + folder + "\n\n[Startup Bank]\n\n");
  Vantorel c{iplug::InstanceInfo{}};
  EXPECT_STREQ(c.startupBankPath.Get(), "");
}
