#include "options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace render {

const char* usageText() {
  return "Usage: vantorel-render [options] [MIDI_FILE]\n"
         "Renders a Standard MIDI File (format 0 or 1) with the Vantorel instrument to a stereo audio file.\n"
         "Without a MIDI file it renders the built-in demo piece, in its own sound (from the default sound)\n"
         "unless --bank, --program or --fxp chooses a program.\n"
         "\n"
         "  -o, --out FILE         output file; its extension chooses the type: .wav, .flac, .ogg (Vorbis) or\n"
         "                         .aiff, WAV without one (default: the MIDI file's name with .wav; demo.wav\n"
         "                         for the demo)\n"
         "  -r, --rate HZ          sample rate, 8000 to 768000 (default 48000)\n"
         "  -b, --block N          host block size in samples, 1 to 65536 (default 512)\n"
         "  -l, --length SECONDS|auto   render length (default: last MIDI event + 3 s); auto renders until\n"
         "                         the sound has stayed below -100 dBFS for 1 s after the last MIDI event,\n"
         "                         at most 60 s after it\n"
         "  --bank FILE.fxb        the bank of programs (default: the factory bank)\n"
         "  --program N            play program N of the bank, 0 to 63 (default 0)\n"
         "  --fxp FILE             load a program file into the program played\n"
         "  --init                 play the default sound (\"Init\") instead of a program\n"
         "  --set INDEX=VALUE      set a parameter's plain value on top of the program; INDEX is 0..65 or the\n"
         "                         exact parameter name; a switch or selector also takes one of its texts;\n"
         "                         repeatable\n"
         "  --tempo BPM            host tempo, 1 to 1000 (default: the MIDI file's first tempo, else 120)\n"
         "  --format s16|s24|f32|f64   sample format (default s24); FLAC takes s16 or s24, Ogg Vorbis none\n"
         "  --list-programs        print the index and name of every program of the bank\n"
         "  --list-params          print index, name, range, default and the display text of the value\n"
         "                         played, for all 66 parameters\n"
         "  --bench                print rendered seconds, wall seconds and the real-time factor\n"
         "                         (wall time of the instrument's processing, without file writing)\n"
         "  -h, --help             show this help\n"
         "\n"
         "Exit status: 0 on success, 1 if a file cannot be read or written (or a bank or program file is\n"
         "refused), 2 for a bad command line.\n";
}

const char* formatName(SampleFormat f) {
  switch (f) {
    case SampleFormat::kS16: return "s16";
    case SampleFormat::kS24: return "s24";
    case SampleFormat::kF32: return "f32";
    case SampleFormat::kF64: return "f64";
  }
  return "?";
}

const char* containerName(Container c) {
  switch (c) {
    case Container::kWav: return "WAV";
    case Container::kFlac: return "FLAC";
    case Container::kOgg: return "Ogg Vorbis";
    case Container::kAiff: return "AIFF";
  }
  return "?";
}

bool parseDouble(const std::string& text, double& v) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const double d = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(d)) return false;
  v = d;
  return true;
}

bool parseInt(const std::string& text, long long& v) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) return false;
  v = n;
  return true;
}

namespace {

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// Where a path's extension begins (its last dot, unless that starts the file name); npos if it has none.
size_t extensionDot(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) && dot > 0;
  return hasExt ? dot : std::string::npos;
}

unsigned __int128 powerOfTen(long long n) {
  unsigned __int128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// Checks that the output type takes the sample format asked for.
bool checkFormat(const Options& o, std::string& error) {
  if (!o.hasFormat) return true;
  if (o.container == Container::kOgg) {
    error = "--format does not apply to an Ogg Vorbis file (" + quoted(o.outPath) + ")";
    return false;
  }
  if (o.container == Container::kFlac && o.format != SampleFormat::kS16 && o.format != SampleFormat::kS24) {
    error = std::string("a FLAC file holds s16 or s24 samples, not ") + formatName(o.format);
    return false;
  }
  return true;
}

}  // namespace

bool parseSeconds(const std::string& text, ExactTime& t) {
  double check;
  if (!parseDouble(text, check) || check < 0) return false;
  // digits [. digits] [e|E exponent]: the value is digits * 10^exponent
  std::string digits;
  long long exponent = 0;
  size_t i = text[0] == '+' ? 1 : 0;
  const auto digitAt = [&](size_t k) { return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])); };
  for (; digitAt(i); ++i) digits += text[i];
  if (i < text.size() && text[i] == '.') {
    for (++i; digitAt(i); ++i, --exponent) digits += text[i];
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    long long e;
    constexpr long long kMaxExponent = 100000;  // what a double admits is far smaller
    if (!parseInt(text.substr(i + 1), e) || e < -kMaxExponent || e > kMaxExponent) return false;
    exponent += e;
    i = text.size();
  }
  if (digits.empty() || i != text.size()) return false;  // hexadecimal, for one

  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    t = ExactTime{};
    return true;
  }
  digits.erase(0, first);
  for (; digits.back() == '0'; ++exponent) digits.pop_back();
  constexpr size_t kMaxDigits = 30;
  constexpr long long kMaxMagnitude = 24;  // 10^24 s: far beyond any render
  constexpr long long kMinMagnitude = -7;  // below 10^-7 s, t * rate < 1/2 for every rate
  if (digits.size() > kMaxDigits) return false;
  const long long magnitude = static_cast<long long>(digits.size()) + exponent;  // the value is below 10^magnitude
  if (magnitude > kMaxMagnitude) {
    t = {powerOfTen(kMaxMagnitude), 1};
    return true;
  }
  if (magnitude < kMinMagnitude) {
    t = ExactTime{};
    return true;
  }
  unsigned __int128 m = 0;
  for (char c : digits) m = 10 * m + static_cast<unsigned>(c - '0');
  t = exponent >= 0 ? ExactTime{m * powerOfTen(exponent), 1} : ExactTime{m, powerOfTen(-exponent)};
  return true;
}

bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error) {
  out = Options{};
  error.clear();
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
      if (!out.midiPath.empty()) {
        error = "more than one MIDI file given (" + quoted(out.midiPath) + " and " + quoted(arg) + ")";
        return false;
      }
      if (arg.empty()) {
        error = "empty MIDI file name";
        return false;
      }
      out.midiPath = arg;
      continue;
    }
    if (arg == "--") {
      onlyFiles = true;
      continue;
    }
    // Split "--name=value" and "-xVALUE".
    std::string name = arg, value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      value = arg.substr(2);
      hasValue = true;
    }
    auto flag = [&](bool& f) {
      if (hasValue) {
        error = "option " + name + " takes no value";
        return false;
      }
      f = true;
      return true;
    };
    auto needValue = [&]() {
      if (hasValue) return true;
      if (i + 1 >= argc) {
        error = "option " + name + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    if (name == "-h" || name == "--help") {
      if (!flag(out.help)) return false;
      return true;
    } else if (name == "--list-params") {
      if (!flag(out.listParams)) return false;
    } else if (name == "--list-programs") {
      if (!flag(out.listPrograms)) return false;
    } else if (name == "--init") {
      if (!flag(out.init)) return false;
    } else if (name == "--bank" || name == "--fxp") {
      if (!needValue()) return false;
      if (value.empty()) {
        error = "empty " + std::string(name == "--bank" ? "bank" : "program") + " file name";
        return false;
      }
      (name == "--bank" ? out.bankPath : out.fxpPath) = value;
    } else if (name == "--program") {
      if (!needValue()) return false;
      if (!parseInt(value, out.program)) {
        error = "bad program number " + quoted(value) + ": expected a whole number";
        return false;
      }
      out.hasProgram = true;
    } else if (name == "--bench") {
      if (!flag(out.bench)) return false;
    } else if (name == "-o" || name == "--out") {
      if (!needValue()) return false;
      if (value.empty()) {
        error = "empty output file name";
        return false;
      }
      if (!containerForPath(value, out.container)) {
        error = "unknown output file type " + quoted(value.substr(extensionDot(value))) +
                ": expected .wav, .flac, .ogg or .aiff";
        return false;
      }
      out.outPath = value;
    } else if (name == "-r" || name == "--rate") {
      long long n;
      if (!needValue()) return false;
      if (!parseInt(value, n) || n < kMinRate || n > kMaxRate) {
        error = "bad sample rate " + quoted(value) + ": expected a whole number of Hz from " + std::to_string(kMinRate) +
                " to " + std::to_string(kMaxRate);
        return false;
      }
      out.rate = static_cast<int>(n);
    } else if (name == "-b" || name == "--block") {
      long long n;
      if (!needValue()) return false;
      if (!parseInt(value, n) || n < 1 || n > kMaxBlock) {
        error = "bad block size " + quoted(value) + ": expected a whole number from 1 to " + std::to_string(kMaxBlock);
        return false;
      }
      out.block = static_cast<int>(n);
    } else if (name == "-l" || name == "--length") {
      if (!needValue()) return false;
      if (value == "auto") {
        out.lengthMode = LengthMode::kAuto;
      } else if (parseSeconds(value, out.length)) {
        out.lengthMode = LengthMode::kGiven;
      } else {
        error = "bad length " + quoted(value) + ": expected seconds, 0 or more, or auto";
        return false;
      }
    } else if (name == "--tempo") {
      double d;
      if (!needValue()) return false;
      if (!parseDouble(value, d) || d < kMinTempo || d > kMaxTempo) {
        error = "bad tempo " + quoted(value) + ": expected beats per minute from 1 to 1000";
        return false;
      }
      out.hasTempo = true;
      out.tempo = d;
    } else if (name == "--format") {
      if (!needValue()) return false;
      out.hasFormat = true;
      if (value == "s16") out.format = SampleFormat::kS16;
      else if (value == "s24") out.format = SampleFormat::kS24;
      else if (value == "f32") out.format = SampleFormat::kF32;
      else if (value == "f64") out.format = SampleFormat::kF64;
      else {
        error = "bad sample format " + quoted(value) + ": expected s16, s24, f32 or f64";
        return false;
      }
    } else if (name == "--set") {
      if (!needValue()) return false;
      const size_t eq = value.rfind('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == value.size()) {
        error = "bad --set " + quoted(value) + ": expected INDEX=VALUE";
        return false;
      }
      out.settings.push_back({value.substr(0, eq), value.substr(eq + 1)});
    } else {
      error = "unknown option " + quoted(arg) + " (see --help)";
      return false;
    }
  }
  if (out.init && (out.hasProgram || !out.fxpPath.empty())) {
    error = "--init plays no program: it excludes --program and --fxp";
    return false;
  }
  return checkFormat(out, error);
}

bool containerForPath(const std::string& path, Container& c) {
  const size_t dot = extensionDot(path);
  if (dot == std::string::npos) {
    c = Container::kWav;
    return true;
  }
  std::string ext = path.substr(dot + 1);
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::pair<const char*, Container> known[] = {
      {"wav", Container::kWav}, {"flac", Container::kFlac}, {"ogg", Container::kOgg}, {"aiff", Container::kAiff}};
  for (const auto& [name, type] : known) {
    if (ext == name) {
      c = type;
      return true;
    }
  }
  return false;
}

std::string defaultOutputPath(const std::string& midiPath) {
  if (midiPath.empty()) return "demo.wav";
  std::string out = midiPath.substr(0, extensionDot(midiPath)) + ".wav";
  // Never overwrite the input, whatever it is called.
  if (out == midiPath) out += ".wav";
  return out;
}

bool resolveSetting(const ParamSetting& s, const std::vector<ParamDesc>& params, int& index, double& value,
                    std::string& error) {
  const int n = static_cast<int>(params.size());
  index = -1;
  if (s.key.find_first_not_of("0123456789") == std::string::npos) {
    long long i;
    if (parseInt(s.key, i) && i < n) index = static_cast<int>(i);
    if (index < 0) {
      error = "unknown parameter index " + s.key + " (indices are 0 to " + std::to_string(n - 1) + ")";
      return false;
    }
  } else {
    for (int i = 0; i < n && index < 0; ++i)
      if (params[i].name == s.key) index = i;
    if (index < 0) {
      error = "unknown parameter " + quoted(s.key) + " (see --list-params)";
      return false;
    }
  }
  const ParamDesc& p = params[index];
  if (parseDouble(s.value, value)) return true;
  for (size_t t = 0; t < p.enumTexts.size(); ++t) {
    if (p.enumTexts[t] == s.value) {
      value = static_cast<double>(t);
      return true;
    }
  }
  error = "bad value " + quoted(s.value) + " for parameter " + std::to_string(index) + " '" + p.name + "'";
  if (!p.enumTexts.empty()) {
    error += ": expected a number or one of";
    for (const std::string& t : p.enumTexts) error += " '" + t + "'";
  } else {
    error += ": expected a number";
  }
  return false;
}

}  // namespace render
