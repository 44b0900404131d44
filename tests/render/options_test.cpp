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
  EXPECT_FALSE(o.hasLength);
  EXPECT_FALSE(o.hasTempo);
  EXPECT_EQ(o.format, SampleFormat::kS24);

  ASSERT_TRUE(parse({"-o", "a.wav", "-r", "44100", "-b", "100", "-l", "2.5", "--tempo", "93.5", "--format", "f64",
                     "--set", "3=0.7", "--set", "LFO: Routing=VCA", "--set=Organ: 2'=1", "--bench", "song.mid",
                     "--list-params"},
                    o, e))
      << e;
  EXPECT_EQ(o.outPath, "a.wav");
  EXPECT_EQ(o.rate, 44100);
  EXPECT_EQ(o.block, 100);
  EXPECT_TRUE(o.hasLength);
  EXPECT_DOUBLE_EQ(o.lengthSeconds, 2.5);
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
  ASSERT_TRUE(parse({"--out=b.wav", "--rate=96000", "--block=64", "--length=0", "-oc.wav", "--", "-x.mid"}, o, e)) << e;
  EXPECT_EQ(o.outPath, "c.wav");
  EXPECT_EQ(o.rate, 96000);
  EXPECT_EQ(o.block, 64);
  EXPECT_EQ(o.lengthSeconds, 0.0);
  EXPECT_EQ(o.midiPath, "-x.mid");

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
      {{"--tempo", "0"}, "bad tempo"},
      {{"--tempo", "1001"}, "bad tempo"},
      {{"--format", "s32"}, "bad sample format 's32'"},
      {{"--set", "3"}, "expected INDEX=VALUE"},
      {{"--set", "=3"}, "expected INDEX=VALUE"},
      {{"--set", "3="}, "expected INDEX=VALUE"},
      {{"-o", ""}, "empty output file name"},
      {{"a.mid", "b.mid"}, "more than one MIDI file"},
  };
  for (const auto& [args, reason] : cases) {
    const std::string e = parseError(args);
    EXPECT_NE(e.find(reason), std::string::npos) << args[0] << ": " << e;
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
