// The factory programs: the table's reader refuses what it must, and every program of the shipped table
// sounds, finite and below full scale, with a short phrase.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "plugin_test_util.h"
#include "programtable.h"

namespace {

std::string bankBytes(const Vantorel& plug) {
  iplug::IByteChunk bank;
  plug.SaveBankAsChunk(bank);
  return std::string(reinterpret_cast<const char*>(bank.GetData()), bank.Size());
}

}  // namespace

TEST(FactoryPrograms, TableReaderRefusesBrokenTables) {
  Vantorel plug{iplug::InstanceInfo{}};
  const std::string good = "# two programs\nFirst\nVCF: Cutoff = 0.3\nWaveform Selection: Waveform = Mix\n\nSecond\n";
  std::vector<factory::Program> programs;
  std::string error;
  std::istringstream in(good);
  ASSERT_TRUE(factory::readPrograms(in, plug, 2, programs, error)) << error;
  ASSERT_EQ(programs.size(), 2u);
  EXPECT_EQ(programs[0].name, "First");
  EXPECT_EQ(programs[0].values, (std::vector<std::pair<int, double>>{{25, 0.3}, {22, 2.0}}));
  EXPECT_TRUE(programs[1].values.empty());

  const std::pair<std::string, std::string> broken[] = {
      {"First\nVCF: Cutof = 0.3\n\nSecond\n", "line 2: unknown parameter"},
      {"First\nVCF: Cutoff = 1.2\n\nSecond\n", "line 2: value \"1.2\" of \"VCF: Cutoff\" is outside"},
      {"First\nWaveform Selection: Waveform = 1.5\n\nSecond\n", "is outside"},
      {"First\nWaveform Selection: Waveform = Triangle\n\nSecond\n", "is not a number"},
      {"First\nVCF: Cutoff = 0.3\nVCF: Cutoff = 0.4\n\nSecond\n", "line 3: parameter \"VCF: Cutoff\" is given twice"},
      {"First\n\nFirst\n", "line 3: program name \"First\" is used twice"},
      {"First\n\nA name of twenty-eight chars\n", "longer than 27"},
      {"First\nVCF: Cutoff 0.3\n\nSecond\n", "expected"},
      {"First\n", "1 programs, not 2"},
      {"First\n\nSecond\n\nThird\n", "3 programs, not 2"},
  };
  for (const auto& [table, message] : broken) {
    std::istringstream bad(table);
    EXPECT_FALSE(factory::readPrograms(bad, plug, 2, programs, error)) << table;
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(FactoryPrograms, EveryProgramSoundsCleanly) {
  std::ifstream table(VANTOREL_FACTORY_PROGRAMS);
  Vantorel builder{iplug::InstanceInfo{}};
  std::vector<factory::Program> programs;
  std::string error;
  ASSERT_TRUE(factory::readPrograms(table, builder, vantorel::kNumPrograms, programs, error)) << error;
  factory::fillBank(builder, programs);
  Vantorel again{iplug::InstanceInfo{}};
  factory::fillBank(again, programs);
  const std::string bank = bankBytes(builder);
  EXPECT_EQ(bankBytes(again), bank);  // the same table always makes the same bank
  iplug::IByteChunk chunk;
  chunk.PutBytes(bank.data(), static_cast<int>(bank.size()));

  // A chord, then a short melody above it, at 48 kHz in host blocks.
  for (int i = 0; i < vantorel::kNumPrograms; ++i) {
    TestInstrument t;
    ASSERT_TRUE(t->LoadBankFromChunk(chunk));
    ASSERT_TRUE(t->RestorePreset(i));
    ASSERT_STREQ(t->GetPresetName(i), programs[i].name.c_str());
    for (int key : {48, 55, 60, 64}) t.noteOn(0, key);
    t.render(38400, 512);
    for (int key : {48, 55, 60, 64}) t.noteOff(0, key);
    for (int key : {67, 71}) {
      t.noteOn(0, key);
      t.render(14400, 512);
      t.noteOff(0, key);
    }
    t.render(24000, 512);
    double peak = 0.0;
    bool finite = true;
    for (size_t s = 0; s < t.left.size(); ++s) {
      finite = finite && std::isfinite(t.left[s]) && std::isfinite(t.right[s]);
      peak = std::max({peak, std::fabs(t.left[s]), std::fabs(t.right[s])});
    }
    EXPECT_TRUE(finite) << programs[i].name;
    EXPECT_GT(peak, 0.05) << programs[i].name;  // about -26 dBFS
    EXPECT_LT(peak, 0.9) << programs[i].name;    // below 0 dBFS with headroom
  }
}
