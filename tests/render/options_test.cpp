#include "options.h"

#include <gtest/gtest.h>

#include <vector>

using namespace render;

namespace {

bool parse(std::vector<const char*> args, Options& o, std::string& error) {
  args.insert(args.begin(), "vantorel-render");
  return parseOptions(static_cast<int>(args.size()), args.data(), o, error);
}

std::string parseError(std::vector<const char*> args) {
  Options o;
  std::string error;
  EXPECT_FALSE(parse(args, o, error));
  EXPECT_EQ(error.find('\n'), std::string::npos);
  return error;
}

}  // namespace

TEST(Options, DefaultsAndEveryOption) {
  Options o;
  std::string e;
  ASSERT_TRUE(parse({}, o, e)) << e;
  EXPECT_TRUE(o.midiPath.empty());
  EXPECT_EQ(o.rate, 48000);
  EXPECT_EQ(o.block, 512);
  EXPECT_EQ(o.lengthMode, LengthMode::kDefault);
  EXPECT_FALSE(o.hasTempo);
  EXPECT_EQ(o.format, SampleFormat::kS24);
  EXPECT_EQ(o.container, Container::kWav);

  ASSERT_TRUE(parse({"-o", "a.wav", "-r", "44100", "-b", "100", "-l", "2.5", "--tempo", "93.5", "--format", "f64",
                     "--set", "3=0.7", "--set", "LFO: Routing=VCA", "--set=Organ: 2'=1", "--bench", "song.mid",
                     "--list-params"},
                    o, e))
      << e;
  EXPECT_EQ(o.outPath, "a.wav");
  EXPECT_EQ(o.rate, 44100);
  EXPECT_EQ(o.block, 100);
  EXPECT_EQ(o.lengthMode, LengthMode::kGiven);
  EXPECT_EQ(samplePosition(o.length, 44100), 110250);
  EXPECT_TRUE(o.hasTempo);
  EXPECT_DOUBLE_EQ(o.tempo, 93.5);
  EXPECT_EQ(o.format, SampleFormat::kF64);
  ASSERT_EQ(o.settings.size(), 3u);  // command-line order
  EXPECT_EQ(o.settings[0].key, "3");
  EXPECT_EQ(o.settings[0].value, "0.7");
  EXPECT_EQ(o.settings[1].key, "LFO: Routing");
  EXPECT_EQ(o.settings[1].value, "VCA");
  EXPECT_EQ(o.settings[2].key, "Organ: 2'");
  EXPECT_TRUE(o.bench);
  EXPECT_TRUE(o.listParams);
  EXPECT_EQ(o.midiPath, "song.mid");

  // Long forms with '=', short forms with the value attached, and "--" before a file named like an option.
  ASSERT_TRUE(parse({"--out=b.wav", "--rate=96000", "--block=64", "--length=0", "-oc.FLAC", "--", "-x.mid"}, o, e))
      << e;
  EXPECT_EQ(o.outPath, "c.FLAC");
  EXPECT_EQ(o.container, Container::kFlac);
  EXPECT_EQ(o.rate, 96000);
  EXPECT_EQ(o.block, 64);
  EXPECT_EQ(samplePosition(o.length, 96000), 0);
  EXPECT_EQ(o.midiPath, "-x.mid");
  ASSERT_TRUE(parse({"-l", "auto", "-o", "take.ogg"}, o, e)) << e;
  EXPECT_EQ(o.lengthMode, LengthMode::kAuto);
  EXPECT_EQ(o.container, Container::kOgg);

  // Help ends parsing: later mistakes do not matter.
  ASSERT_TRUE(parse({"-h", "--bogus"}, o, e));
  EXPECT_TRUE(o.help);
  ASSERT_TRUE(parse({"--help"}, o, e));
  EXPECT_TRUE(o.help);
}

TEST(Options, RejectsBadCommandLines) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-o"}, "-o needs a value"},
      {{"--set"}, "--set needs a value"},
      {{"--bench=1"}, "--bench takes no value"},
      {{"-hv"}, "-h takes no value"},
      {{"-r", "48k"}, "bad sample rate '48k'"},
      {{"-r", "0"}, "bad sample rate"},
      {{"-r", "7999"}, "bad sample rate"},
      {{"-r", "44100.5"}, "bad sample rate"},
      {{"-b", "0"}, "bad block size"},
      {{"-b", "65537"}, "bad block size"},
      {{"-b", " 64"}, "bad block size"},
      {{"-l", "-1"}, "bad length '-1'"},
      {{"-l", "nan"}, "bad length"},
      {{"-l", "inf"}, "bad length"},
      {{"-l", "1e999"}, "bad length"},
      {{"-l", "0x10"}, "bad length"},
      {{"-l", "1e"}, "bad length"},
      {{"-l", "1.0000000000000000000000000000001"}, "bad length"},  // beyond 30 digits
      {{"-l", "Auto"}, "bad length 'Auto': expected seconds, 0 or more, or auto"},
      {{"--tempo", "0"}, "bad tempo"},
      {{"--tempo", "1001"}, "bad tempo"},
      {{"--format", "s32"}, "bad sample format 's32'"},
      {{"--set", "3"}, "expected INDEX=VALUE"},
      {{"--set", "=3"}, "expected INDEX=VALUE"},
      {{"--set", "3="}, "expected INDEX=VALUE"},
      {{"-o", ""}, "empty output file name"},
      {{"-o", "x.mp3"}, "unknown output file type '.mp3': expected .wav, .flac, .ogg or .aiff"},
      {{"-o", "x."}, "unknown output file type '.'"},
      {{"-o", "x.flac", "--format", "f32"}, "a FLAC file holds s16 or s24 samples, not f32"},
      {{"--format", "s16", "-o", "x.ogg"}, "--format does not apply to an Ogg Vorbis file ('x.ogg')"},
      {{"a.mid", "b.mid"}, "more than one MIDI file"},
  };
  for (const auto& [args, reason] : cases) {
    const std::string e = parseError(args);
    EXPECT_NE(e.find(reason), std::string::npos) << args[0] << ": " << e;
  }
}

TEST(Options, LengthsAreExactDecimalSeconds) {
  const std::pair<const char*, int64_t> cases[] = {
      {"0.35", 7718},  // 7717.5, which doubles put below the half
      {"00.3500", 7718}, {"+35e-2", 7718}, {"2.5", 55125}, {"1.5E1", 330750},
      {"0.001", 22},     {"5e-30", 0},     {"1e30", int64_t{1} << 62},
  };
  for (const auto& [text, position] : cases) {
    ExactTime t;
    ASSERT_TRUE(parseSeconds(text, t)) << text;
    EXPECT_EQ(samplePosition(t, 22050), position) << text;
  }
}

TEST(Options, DefaultOutputPath) {
  EXPECT_EQ(defaultOutputPath(""), "demo.wav");
  EXPECT_EQ(defaultOutputPath("song.mid"), "song.wav");
  EXPECT_EQ(defaultOutputPath("dir/song.MIDI"), "dir/song.wav");
  EXPECT_EQ(defaultOutputPath("dir.v2/song"), "dir.v2/song.wav");
  EXPECT_EQ(defaultOutputPath("dir/.hidden"), "dir/.hidden.wav");
  EXPECT_EQ(defaultOutputPath("a.b.mid"), "a.b.wav");
  // The input is never the output.
  EXPECT_EQ(defaultOutputPath("take.wav"), "take.wav.wav");

  const std::pair<const char*, Container> types[] = {{"a.wav", Container::kWav},     {"a.flac", Container::kFlac},
                                                     {"A.OGG", Container::kOgg},     {"v2.x/a.Aiff", Container::kAiff},
                                                     {"dir.v2/take", Container::kWav}, {"dir/.flac", Container::kWav}};
  for (const auto& [path, type] : types) {
    Container c = type == Container::kOgg ? Container::kWav : Container::kOgg;  // anything but the answer
    EXPECT_TRUE(containerForPath(path, c)) << path;
    EXPECT_EQ(c, type) << path;
  }
}

TEST(Options, ResolvesSettingsByIndexNameAndText) {
  const std::vector<ParamDesc> params = {
      {"Pitch Bend Amount", {}}, {"Organ: 2'", {}}, {"LFO: Routing", {"FM", "VCF", "VCA"}}, {"Delay: Sync", {"Off", "On"}}};
  int i;
  double v;
  std::string e;
  ASSERT_TRUE(resolveSetting({"0", "-30"}, params, i, v, e)) << e;  // range is the parameter's business
  EXPECT_EQ(i, 0);
  EXPECT_EQ(v, -30.0);
  ASSERT_TRUE(resolveSetting({"Organ: 2'", "0.25"}, params, i, v, e)) << e;
  EXPECT_EQ(i, 1);
  EXPECT_EQ(v, 0.25);
  ASSERT_TRUE(resolveSetting({"LFO: Routing", "VCA"}, params, i, v, e)) << e;
  EXPECT_EQ(i, 2);
  EXPECT_EQ(v, 2.0);
  ASSERT_TRUE(resolveSetting({"03", "On"}, params, i, v, e)) << e;
  EXPECT_EQ(i, 3);
  EXPECT_EQ(v, 1.0);
  ASSERT_TRUE(resolveSetting({"2", "1.4"}, params, i, v, e)) << e;  // rounding is the parameter's business
  EXPECT_EQ(v, 1.4);

  const std::pair<ParamSetting, const char*> bad[] = {
      {{"4", "1"}, "unknown parameter index 4 (indices are 0 to 3)"},
      {{"99999999999999999999", "1"}, "unknown parameter index"},
      {{"organ: 2'", "1"}, "unknown parameter 'organ: 2''"},
      {{"Organ: 2' ", "1"}, "unknown parameter"},
      {{"1", "loud"}, "bad value 'loud' for parameter 1 'Organ: 2'': expected a number"},
      {{"1", "nan"}, "bad value"},
      {{"1", "1.5x"}, "bad value"},
      {{"2", "vca"}, "expected a number or one of 'FM' 'VCF' 'VCA'"},
  };
  for (const auto& [s, reason] : bad) {
    EXPECT_FALSE(resolveSetting(s, params, i, v, e));
    EXPECT_NE(e.find(reason), std::string::npos) << s.key << "=" << s.value << ": " << e;
  }
}
