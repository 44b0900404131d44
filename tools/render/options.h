#pragma once

#include <string>
#include <vector>

#include "sampletime.h"

namespace render {

enum class SampleFormat { kS16, kS24, kF32, kF64 };
// The output file's type, chosen by its extension.
enum class Container { kWav, kFlac, kOgg, kAiff };
// How long to render: the last MIDI event plus three seconds, a given time, or until the sound has died.
enum class LengthMode { kDefault, kGiven, kAuto };

// One --set as typed: the part before the last '=' and the part after it.
struct ParamSetting {
  std::string key, value;
};

struct Options {
  std::string midiPath;  // empty: the built-in demo piece
  std::string outPath;   // empty: derived from midiPath (defaultOutputPath)
  Container container = Container::kWav;
  int rate = 48000;
  int block = 512;
  LengthMode lengthMode = LengthMode::kDefault;
  ExactTime length;  // LengthMode::kGiven
  bool hasTempo = false;
  double tempo = 120.0;
  bool hasFormat = false;
  SampleFormat format = SampleFormat::kS24;
  std::string bankPath;  // empty: the factory bank
  bool hasProgram = false;
  long long program = 0;  // checked against the bank's size by the caller
  std::string fxpPath;    // a program file loaded into the current program
  bool init = false;      // the default sound instead of a program
  std::vector<ParamSetting> settings;  // in command-line order
  bool listPrograms = false;
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
// The type an output path asks for: .wav, .flac, .ogg or .aiff in any case, and WAV for a name without
// an extension; false for any other extension.
bool containerForPath(const std::string& path, Container& c);
const char* containerName(Container c);

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
// Decimal seconds (digits, an optional fraction and an optional exponent, 0 or more) held exactly; a
// time too short to reach a sample at any rate becomes 0, one of more than 10^24 s is held as 10^24 s.
bool parseSeconds(const std::string& text, ExactTime& t);

}  // namespace render
