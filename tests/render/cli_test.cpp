// End-to-end runs of the built vantorel-render binary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo.h"
#include "midifile.h"
#include "smf.h"
#include "vantorel.h"

namespace {

struct Result {
  int status = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const std::string& path, const smf::Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

// A scratch folder that is also HOME, so that the instrument's configuration stays out of the user's.
class Cli : public testing::Test {
protected:
  void SetUp() override {
    std::string tmpl = testing::TempDir() + "vantorel-cli-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

  Result run(std::vector<std::string> args) {
    const std::string outPath = dir + "/.stdout", errPath = dir + "/.stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      setenv("HOME", dir.c_str(), 1);
      const int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      std::vector<char*> argv{const_cast<char*>(VANTOREL_RENDER_BIN)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(VANTOREL_RENDER_BIN, argv.data());
      _exit(127);
    }
    Result r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    return r;
  }

  // A one-line message on stderr, nothing on stdout, the given exit status.
  void expectError(const Result& r, int status, const std::string& text) {
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("vantorel-render: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }

  std::string dir;
};

struct Wav {
  SF_INFO info{};
  std::vector<double> samples;  // interleaved
  double peak = 0.0;
  // The last frame at -100 dBFS or above in either channel; -1 if there is none.
  int64_t lastLoud() const {
    for (int64_t i = static_cast<int64_t>(samples.size()) - 1; i >= 0; --i)
      if (std::fabs(samples[i]) >= 1e-5) return i / info.channels;
    return -1;
  }
  double rms(double from, double to) const {
    const int64_t a = static_cast<int64_t>(from * info.samplerate), b = static_cast<int64_t>(to * info.samplerate);
    double sum = 0.0;
    for (int64_t i = 2 * a; i < 2 * b; ++i) sum += samples[i] * samples[i];
    return std::sqrt(sum / static_cast<double>(2 * (b - a)));
  }
};

bool readWav(const std::string& path, Wav& w) {
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &w.info);
  if (!f) return false;
  w.samples.resize(static_cast<size_t>(w.info.frames) * w.info.channels);
  sf_readf_double(f, w.samples.data(), w.info.frames);
  sf_close(f);
  for (double s : w.samples) w.peak = std::max(w.peak, std::fabs(s));
  return true;
}

// A C major triad held for one second from 0.5 s, at the default tempo.
smf::Bytes chordFile() {
  return smf::file(0, 480, {smf::trackEnd({0x83, 0x60, 0x90, 0x3C, 0x64, 0x00, 0x40, 0x64, 0x00, 0x43, 0x64, 0x87,
                                           0x40, 0x3C, 0x00, 0x00, 0x40, 0x00, 0x00, 0x43, 0x00})});
}

}  // namespace

TEST_F(Cli, HelpAndBadCommandLines) {
  Result r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: vantorel-render", 0), 0u);
  EXPECT_TRUE(r.err.empty());
  expectError(run({"--frobnicate"}), 2, "unknown option '--frobnicate'");
  expectError(run({"-r", "fast"}), 2, "bad sample rate 'fast'");
  expectError(run({"--set", "66=1"}), 2, "unknown parameter index 66");
  expectError(run({"--set", "Organ Volume=1"}), 2, "unknown parameter 'Organ Volume'");
  expectError(run({"--set", "Organ: Volume=loud"}), 2, "bad value 'loud' for parameter 3 'Organ: Volume'");
  expectError(run({"--set", "LFO: Routing=Sideways"}), 2, "one of 'FM' 'VCF' 'VCA'");
  expectError(run({"-l", "36000", "--format", "f64"}), 2, "too long for a WAV file");
  EXPECT_NE(access((dir + "/demo.wav").c_str(), F_OK), 0);  // nothing written for a failed run
}

TEST_F(Cli, MissingMalformedAndUnwritableFiles) {
  expectError(run({"nothing.mid"}), 1, "cannot open MIDI file 'nothing.mid': No such file or directory");
  spit(dir + "/junk.mid", smf::Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  expectError(run({"junk.mid"}), 1, "malformed MIDI file 'junk.mid': not a MIDI file");
  smf::Bytes cut = chordFile();
  cut.resize(cut.size() - 5);
  spit(dir + "/cut.mid", cut);
  expectError(run({"cut.mid"}), 1, "malformed MIDI file 'cut.mid'");
  EXPECT_NE(access((dir + "/cut.wav").c_str(), F_OK), 0);
  spit(dir + "/chord.mid", chordFile());
  expectError(run({"chord.mid", "-o", "no/such/dir.wav"}), 1, "cannot write 'no/such/dir.wav'");
  expectError(run({"chord.mid", "-o", "."}), 1, "cannot write '.'");
  // A note more than three days in: the WAV header cannot hold the render.
  spit(dir + "/late.mid", smf::file(0, 480, {smf::track({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64})}));
  expectError(run({"late.mid"}), 1, "too long for a WAV file (the MIDI file's last event plus 3 s)");
  if (access("/dev/full", W_OK) == 0) {
    expectError(run({"chord.mid", "-o", "/dev/full"}), 1, "cannot write '/dev/full'");
  }
}

TEST_F(Cli, RendersAFileNextToItsMidiFile) {
  ASSERT_EQ(mkdir((dir + "/songs").c_str(), 0755), 0);
  spit(dir + "/songs/chord.mid", chordFile());
  Result r = run({"songs/chord.mid", "-r", "44100", "-b", "100", "--format", "f64", "--set", "Synth: Volume=2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;  // no progress bar when stderr is not a terminal
  EXPECT_TRUE(r.out.empty()) << r.out;
  Wav w;
  ASSERT_TRUE(readWav(dir + "/songs/chord.wav", w));
  EXPECT_EQ(w.info.samplerate, 44100);
  EXPECT_EQ(w.info.channels, 2);
  EXPECT_EQ(w.info.format, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
  EXPECT_EQ(w.info.frames, 198450);  // last event at 1.5 s, plus 3 s
  EXPECT_EQ(w.rms(0.0, 0.5), 0.0);   // silent until the chord
  EXPECT_GT(w.rms(0.6, 1.4), 0.01);
}

TEST_F(Cli, LengthFormatAndBench) {
  spit(dir + "/chord.mid", chordFile());
  Result r = run({"chord.mid", "-o", "short.wav", "-l", "0.25", "-r", "8000", "--format", "s16", "--bench"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("rendered 0.250 s of audio in "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("x real time"), std::string::npos) << r.out;
  Wav w;
  ASSERT_TRUE(readWav(dir + "/short.wav", w));
  EXPECT_EQ(w.info.frames, 2000);
  EXPECT_EQ(w.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

TEST_F(Cli, OutputTypeFollowsTheFileName) {
  spit(dir + "/chord.mid", chordFile());
  const std::pair<const char*, int> cases[] = {{"take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
                                               {"take.OGG", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                                               {"take.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                                               {"take", SF_FORMAT_WAV | SF_FORMAT_PCM_24}};
  for (const auto& [name, format] : cases) {
    Result r = run({"chord.mid", "-r", "8000", "-l", "2", "-o", name});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    Wav w;
    ASSERT_TRUE(readWav(dir + "/" + name, w)) << name;
    EXPECT_EQ(w.info.format, format) << name;
    EXPECT_EQ(w.info.frames, 16000) << name;
    EXPECT_GT(w.rms(0.6, 1.4), 0.01) << name;
  }
  expectError(run({"chord.mid", "-o", "take.mp3"}), 2, "unknown output file type '.mp3'");
  expectError(run({"chord.mid", "-o", "take.flac", "--format", "f64"}), 2, "a FLAC file holds s16 or s24 samples");
  EXPECT_NE(access((dir + "/take.mp3").c_str(), F_OK), 0);
}

TEST_F(Cli, LengthAutoEndsOneSecondAfterTheSoundHasDied) {
  spit(dir + "/chord.mid", chordFile());  // the last event at 1.5 s
  struct Case {
    const char* what;
    std::vector<std::string> settings;
    double soundsPast;  // seconds: the tail lasts beyond this
  };
  const Case cases[] = {
      {"long release", {"--set", "Envelope: Release=0.65"}, 4.5},  // where the default length would cut it
      {"ping-pong delay", {"--set", "Delay: Mix=0.5", "--set", "Delay: Feedback=0.5", "--set", "Delay: Ping-Pong=On"},
       4.5},
      {"short release", {}, 1.5},  // well before the default's three seconds
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"chord.mid", "-r", "8000", "-b", "100", "--format", "f64", "-l", "auto", "--init"};
    args.insert(args.end(), c.settings.begin(), c.settings.end());
    Result r = run(args);
    ASSERT_EQ(r.status, 0) << c.what << ": " << r.err;
    Wav w;
    ASSERT_TRUE(readWav(dir + "/chord.wav", w)) << c.what;
    EXPECT_GT(w.lastLoud(), c.soundsPast * 8000) << c.what;
    EXPECT_EQ(w.info.frames, w.lastLoud() + 1 + 8000) << c.what;  // one quiet second, no more
  }
}

TEST_F(Cli, ListParamsShowsAllParametersAndTheSettings) {
  Result r = run({"--list-params", "--set", "3=0.5", "--set", "LFO: Routing=VCA", "--set", "Synth: Volume=7"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 67u);  // header and 66 parameters
  EXPECT_EQ(lines[1].rfind("0     Pitch Bend Amount", 0), 0u) << lines[1];
  EXPECT_NE(lines[3].find("Synth: Volume"), std::string::npos);
  EXPECT_NE(lines[3].find(" 0.0"), std::string::npos) << lines[3];  // 7 clamped to 1: 0.0 dB
  EXPECT_NE(lines[4].find("-6.0"), std::string::npos) << lines[4];
  EXPECT_NE(lines[33].find("FM|VCF|VCA"), std::string::npos) << lines[33];
  EXPECT_EQ(lines[33].substr(lines[33].size() - 3), "VCA") << lines[33];
  EXPECT_NE(lines[66].find("Master Volume"), std::string::npos);
  EXPECT_EQ(access((dir + "/demo.wav").c_str(), F_OK), -1);  // listing renders nothing
}

TEST_F(Cli, DemoRendersTheEmbeddedPieceFromAnyFolder) {
  Result r = run({"--format", "f32"});
  ASSERT_EQ(r.status, 0) << r.err;
  render::MidiFile demo;
  std::string e;
  ASSERT_TRUE(render::parseMidi(render::demoMidi().data(), render::demoMidi().size(), demo, e));
  Wav w;
  ASSERT_TRUE(readWav(dir + "/demo.wav", w));
  EXPECT_EQ(w.info.samplerate, 48000);
  EXPECT_EQ(w.info.frames, render::samplePosition(demo.lastEventTime().plusSeconds(3), 48000));
  // Every passage sounds, the tail fades, and nothing clips.
  const double bar = 4 * 60.0 / demo.firstTempoBpm;
  for (int passage = 0; passage < 3; ++passage)
    EXPECT_GT(w.rms(passage * 4 * bar, (passage + 1) * 4 * bar), 0.02) << "passage " << passage + 1;
  EXPECT_LT(w.peak, 1.0);
  EXPECT_LT(w.rms(demo.lastEventSeconds() + 2.5, demo.lastEventSeconds() + 3.0),
            w.rms(8 * bar, 12 * bar));
}

TEST_F(Cli, DemoKeepsWhatTheCommandLineSets) {
  // The sections the demo brings in later stay silent when the command line sets their volumes.
  Result r = run({"-r", "8000", "--format", "f32", "--set", "2=0", "--set", "Organ: Volume=0", "--set", "4=0"});
  ASSERT_EQ(r.status, 0) << r.err;
  Wav w;
  ASSERT_TRUE(readWav(dir + "/demo.wav", w));
  EXPECT_GT(w.info.frames, 8000 * 20);
  EXPECT_LT(w.peak, 1e-9);  // only the filters' anti-denormal offsets
}

TEST_F(Cli, ProgramsFromBanksAndProgramFiles) {
  // A bank of the user's own, made by the instrument in this folder: program 5 with a sound of its own,
  // the other programs empty; program 5 also as program files, as it is and with a cutoff changed.
  const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", dir.c_str(), 1);
  iplug::IByteChunk factory;
  std::string factoryList;  // as --list-programs prints it
  {
    Vantorel plug{iplug::InstanceInfo{}};
    ASSERT_TRUE(plug.LoadBankFromFXB(VANTOREL_FACTORY_BANK));
    plug.SaveBankAsChunk(factory);
    for (int i = 0; i < plug.NPresets(); ++i) {
      char line[300];
      std::snprintf(line, sizeof line, "%-5d %s\n", i, plug.GetPresetName(i));
      factoryList += line;
    }
  }
  {
    Vantorel plug{iplug::InstanceInfo{}};
    plug.RestorePreset(5);
    for (const auto& [index, value] : {std::pair{3, 0.4}, {11, 0.9}, {25, 0.3}, {26, 0.6}})
      plug.GetParam(index)->Set(value);
    plug.ModifyCurrentPreset("Mine");
    ASSERT_TRUE(plug.SaveBankAsFXB((dir + "/mine.fxb").c_str()));
    ASSERT_TRUE(plug.SavePresetAsFXP((dir + "/mine.fxp").c_str()));
    plug.GetParam(25)->Set(0.55);
    ASSERT_TRUE(plug.SavePresetAsFXP((dir + "/open.fxp").c_str()));
  }
  if (oldHome.empty()) unsetenv("HOME");
  else setenv("HOME", oldHome.c_str(), 1);
  std::string foreign = slurp(dir + "/mine.fxb");
  std::ofstream(dir + "/foreign.fxb", std::ios::binary) << foreign.replace(16, 4, "Xtrl");
  std::ofstream(dir + "/factory.fxb", std::ios::binary)
      .write(reinterpret_cast<const char*>(factory.GetData()), factory.Size());
  spit(dir + "/chord.mid", chordFile());

  // Renders that must be the same sound, sample for sample.
  const std::vector<std::string> common = {"chord.mid", "-r", "8000", "-l", "2", "--format", "f64", "-o"};
  auto render = [&](std::vector<std::string> args) {
    args.insert(args.begin(), common.begin(), common.end());
    args.insert(args.begin() + static_cast<long>(common.size()), "take.wav");
    const Result r = run(args);
    Wav w;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readWav(dir + "/take.wav", w));
    return w.samples;
  };
  const std::pair<std::vector<std::string>, std::vector<std::string>> same[] = {
      {{"--bank", "mine.fxb", "--program", "5"}, {"--fxp", "mine.fxp"}},
      {{"--bank", "mine.fxb", "--program", "5", "--set", "VCF: Cutoff=0.55"}, {"--program", "9", "--fxp", "open.fxp"}},
      {{"--program", "12"}, {"--bank", "factory.fxb", "--program", "12"}},  // the built-in bank is the factory's
      {{}, {"--program", "0"}},
  };
  for (const auto& [a, b] : same) {
    const std::vector<double> first = render(a);
    EXPECT_GT(first.size(), 0u);
    EXPECT_EQ(first, render(b)) << a.size() << " arguments";
  }
  EXPECT_NE(render({"--program", "5"}), render({"--bank", "mine.fxb", "--program", "5"}));

  Result r = run({"--list-programs"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, factoryList);
  r = run({"--bank", "mine.fxb", "--list-programs"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\n5     Mine\n6     \n"), std::string::npos) << r.out;

  struct Bad {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Bad bad[] = {
      {{"--bank", "none.fxb"}, 1, "cannot open bank 'none.fxb': No such file or directory"},
      {{"--bank", "foreign.fxb"}, 1, "cannot load bank 'foreign.fxb': not a Vantorel bank"},
      {{"--fxp", "none.fxp"}, 1, "cannot open program file 'none.fxp'"},
      {{"--fxp", "mine.fxb"}, 1, "cannot load program file 'mine.fxb'"},
      {{"--bank", "mine.fxb", "--program", "6"}, 1, "program 6 of bank 'mine.fxb' is empty"},
      {{"--program", "64"}, 2, "bad program number '64': expected 0 to 63"},
      {{"--program", "one"}, 2, "bad program number 'one'"},
      {{"--init", "--program", "3"}, 2, "--init plays no program"},
  };
  for (const Bad& b : bad) {
    std::vector<std::string> args = b.args;
    args.insert(args.begin(), "chord.mid");
    expectError(run(args), b.status, b.message);
  }
  EXPECT_NE(access((dir + "/chord.wav").c_str(), F_OK), 0);
}
