// The configuration file through the instrument: where it lives, how it is made and taken over, and
// what loading and saving read and write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "plugin_test_util.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t currentMask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

}  // namespace

TEST(Configuration, FirstInstanceMakesItsFileAndTakesOverTheOldOneOnce) {
  ScopedHome home;
  const mode_t mask = currentMask();
  const fs::path oldFile = home.dir / "Library" / "Application Support" / "KestrosaMusic" / "vantorel.ini";
  const std::string oldText = "[MIDI Global]\r\nMIDI Thru=true\r\n\r\n; taken over byte for byte\n\x01\xff";
  writeFile(oldFile, oldText);
  {
    Vantorel plug{iplug::InstanceInfo{}};
    EXPECT_EQ(plug.configPath.Get(), home.configFile().string());
    EXPECT_EQ(plug.programPath.Get(), home.dir.string());
    EXPECT_TRUE(plug.midiThru);
  }
  EXPECT_EQ(readFile(home.configFile()), oldText);
  struct stat folder, file;
  ASSERT_EQ(stat(home.configFolder().c_str(), &folder), 0);
  ASSERT_EQ(stat(home.configFile().c_str(), &file), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0774 & ~mask);
  EXPECT_EQ(file.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(currentMask(), mask);  // the process's mask is left alone

  // From now on the old file is never read again.
  writeFile(oldFile, "[MIDI Global]\nMIDI Thru=false\n");
  Vantorel second{iplug::InstanceInfo{}};
  EXPECT_TRUE(second.midiThru);
  EXPECT_EQ(readFile(home.configFile()), oldText);
}

TEST(Configuration, MusicFolderFollowsTheUserDirectoriesFile) {
  // user-dirs.dirs line (ABS stands for an absolute folder in the home) -> music folder below HOME.
  const std::pair<std::string, std::string> cases[] = {
      {"XDG_MUSIC_DIR=\"$HOME/Musik\"", "Musik"},
      {"  XDG_MUSIC_DIR=\"$HOME/My \\\"Tunes\\\"/\"", "My \"Tunes\""},
      {"ABS", "abs/music"},
      {"# XDG_MUSIC_DIR=\"$HOME/Not\"", "Music"},
      {"XDG_MUSIC_DIR=relative", "Music"},
  };
  for (const auto& [line, folder] : cases) {
    ScopedHome home;
    const std::string text = line == "ABS" ? "XDG_MUSIC_DIR=\"" + (home.dir / "abs/music").string() + "\"" : line;
    writeFile(home.dir / ".config" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" + text + "\n");
    fs::create_directories(home.dir / "abs");
    Vantorel plug{iplug::InstanceInfo{}};
    const fs::path expected = home.dir / folder / "KestrosaMusic" / "vantorel.ini";
    EXPECT_EQ(plug.configPath.Get(), expected.string()) << line;
    EXPECT_TRUE(fs::exists(expected)) << line;
    EXPECT_EQ(fs::file_size(expected), 0u) << line;
  }
}

TEST(Configuration, LoadKeepsWhatTheFileLacksAndReadsValuesAsStored) {
  ScopedHome home;
  Vantorel plug{iplug::InstanceInfo{}};
  const std::string longPath = "/" + std::string(79, 'p');
  struct Case {
    std::string ini;
    std::function<void(Vantorel&)> before, check;
  };
  const Case cases[] = {
      {"[midi global]\nMIDI THRU=TRUE\nIgnore Program Change=true\n"
       "[MIDI Control]\nCC7=abc\nCC8=0\nCC9=12xyz\nCC10=70\nCC11= 5\nCC12=-3\nCC13=99999999999\n"
       "[Editor]\nScale=-1\n[Startup Bank]\nFile=\n[Global]\nPath to Program Files=" + longPath + "\n",
       [](Vantorel& p) { p.midiThru = true; p.startupBankPath.Set("/x.fxb"); },
       [&](Vantorel& p) {
         EXPECT_FALSE(p.midiThru);  // "TRUE" is not "true"
         EXPECT_TRUE(p.ignoreProgramChange);
         const int table[] = {-1, 0, 12, 70, 5, -3, -1};
         for (int i = 0; i < 7; ++i) EXPECT_EQ(p.midiLearnTable[7 + i], table[i]) << "CC" << 7 + i;
         EXPECT_EQ(p.editorScale, -1.0f);
         EXPECT_STREQ(p.startupBankPath.Get(), "");
         EXPECT_EQ(p.programPath.Get(), longPath.substr(0, 63));
       }},
      {"[Editor]\nScale=0\n",
       [](Vantorel& p) { p.midiThru = true; p.midiLearnTable[3] = 4; p.programPath.Set("/kept"); },
       [](Vantorel& p) {
         EXPECT_EQ(p.editorScale, 0.0f);
         EXPECT_TRUE(p.midiThru);
         EXPECT_EQ(p.midiLearnTable[3], -1);  // the table is the file's, whole
         EXPECT_STREQ(p.programPath.Get(), "/kept");
       }},
      {"[Editor]\nScale=0.75junk\n[Startup Bank]\nFile=/banks/my.fxb\n", nullptr,
       [](Vantorel& p) {
         EXPECT_EQ(p.editorScale, 0.75f);
         EXPECT_STREQ(p.startupBankPath.Get(), "/banks/my.fxb");
       }},
  };
  for (const Case& c : cases) {
    if (c.before) c.before(plug);
    std::ofstream(plug.configPath.Get(), std::ios::trunc) << c.ini;
    EXPECT_TRUE(plug.loadConfig());
    c.check(plug);
  }
  fs::remove(plug.configPath.Get());
  plug.startupBankPath.Set("/x.fxb");
  EXPECT_FALSE(plug.loadConfig());
  EXPECT_STREQ(plug.startupBankPath.Get(), "");
  EXPECT_EQ(plug.editorScale, 0.75f);
}

TEST(Configuration, SaveWritesTheChosenKeysInSortedSections) {
  ScopedHome home;
  Vantorel plug{iplug::InstanceInfo{}};
  plug.midiThru = true;
  plug.editorScale = 0.75f;
  plug.startupBankPath.Set("/banks/a.fxb");
  plug.midiLearnTable[3] = 0;
  plug.midiLearnTable[21] = 25;
  plug.midiLearnTable[30] = 70;  // kept although no parameter has that index
  const std::string startup = "[Startup Bank]\nFile=/banks/a.fxb\n\n";
  const std::pair<int, std::string> cases[] = {
      {Synth::kSaveWindowSize, "[Editor]\nScale=0.750000\n\n" + startup},
      {Synth::kSaveMidiThru, "[MIDI Global]\nMIDI Thru=true\n\n" + startup},
      {Synth::kSaveIgnoreProgramChange, "[MIDI Global]\nIgnore Program Change=false\n\n" + startup},
      {5, startup},
      {Synth::kSaveAll, "[Editor]\nScale=0.750000\n\n[MIDI Control]\nCC21=25\nCC3=0\nCC30=70\n\n"
                        "[MIDI Global]\nIgnore Program Change=false\nMIDI Thru=true\n\n" + startup},
  };
  for (const auto& [what, expected] : cases) {
    std::ofstream(plug.configPath.Get(), std::ios::trunc).close();
    EXPECT_EQ(plug.saveConfig(what), 0);
    EXPECT_EQ(readFile(plug.configPath.Get()), expected) << what;
  }

  // Existing sections and keys are matched without regard to case and keep their spelling; the startup
  // bank section holds only its key; no learned controller leaves the section empty.
  std::ofstream(plug.configPath.Get(), std::ios::trunc)
      << "[zeta]\nB=2\na=1\n[midi global]\nOther=x\nmidi thru=false\n[startup bank]\nfile=/old\nstale=1\n"
         "[MIDI Control]\nCC1=5\n";
  std::fill(std::begin(plug.midiLearnTable), std::end(plug.midiLearnTable), -1);
  plug.startupBankPath.Set("");
  plug.saveConfig(Synth::kSaveAll);
  EXPECT_EQ(readFile(plug.configPath.Get()),
            "[Editor]\nScale=0.750000\n\n[MIDI Control]\n\n"
            "[midi global]\nIgnore Program Change=false\nmidi thru=true\nOther=x\n\n"
            "[startup bank]\nFile=\n\n[zeta]\na=1\nB=2\n\n");
  plug.startupBankPath.Set("/y.fxb");
  plug.loadConfig();
  EXPECT_STREQ(plug.startupBankPath.Get(), "");
}
