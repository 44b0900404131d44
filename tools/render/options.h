#pragma once

#include <string>
#include <vector>

namespace render {

enum class SampleFormat { kS16, kS24, kF32, kF64 };

// One --set as typed: the part before the last '=' and the part after it.
struct ParamSetting {
  std::string key, value;
};

struct Options {
  std::string midiPath;  // empty: the built-in demo piece
  std::string outPath;   // empty: derived from midiPath (defaultOutputPath)
  int rate = 48000;
  int block = 512;
  bool hasLength = false;
  double lengthSeconds = 0.0;
  bool hasTempo = false;
  double tempo = 120.0;
  SampleFormat format = SampleFormat::kS24;
  std::vector<ParamSetting> settings;  // in command-line order
  bool listParams = false;
  bool bench = false;
  bool help = false;
};

constexpr int kMinRate = 8000, kMaxRate = 768000;
constexpr int kMaxBlock = 65536;
constexpr double kMinTempo = 1.0, kMaxTempo = 1000.0;

// Parses argv[1 ...]. On failure returns false with a one-line reason. -h/--help stops parsing.
bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error);
const char* usageText();
// The MIDI file's path with its extension replaced by .wav ("demo.wav" for the demo).
std::string defaultOutputPath(const std::string& midiPath);
const char* formatName(SampleFormat f);

// What the renderer needs to know about a parameter to resolve a --set.
struct ParamDesc {
  std::string name;
  std::vector<std::string> enumTexts;  // empty for continuous parameters
};

// Resolves a setting against the parameter list: KEY is an index or an exact name; VALUE is a number
// (the plain value; range and steps are the parameter's business) or, for a switch or selector, one of
// its texts. On failure returns false with a one-line reason.
bool resolveSetting(const ParamSetting& s, const std::vector<ParamDesc>& params, int& index, double& value,
                    std::string& error);

// Strict number parsing: the whole text must be the number; doubles must be finite.
bool parseDouble(const std::string& text, double& v);
bool parseInt(const std::string& text, long long& v);

}  // namespace render
