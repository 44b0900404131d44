// The parameter table, its display functions and the "Init" program.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pitch.h"
#include "vantorel.h"

using iplug::IParam;

namespace vantorel {
const char* const labelSyncRates[20] = {"2/1",  "1/1.",  "1/1",  "1/2.",  "1/2",  "1/4.",  "1/2T",
                                        "1/4",  "1/8.",  "1/4T", "1/8",   "1/16.", "1/8T",  "1/16",
                                        "1/32.", "1/16T", "1/32", "1/64.", "1/32T", "1/64"};
}

void setDisplayTextForDB(double value, WDL_String& text) {
  if (value <= 0.0)
    text.Set("-oo");
  else
    text.SetFormatted(8, "%.1f", 20.0 * std::log10(value));
}

void setDisplayTextForBlend(double value, WDL_String& text) {
  text.SetFormatted(8, "%.0f:%.0f", (1.0 - value) * 100.0, value * 100.0);
}

void setDisplayTextForFrequency(double value, WDL_String& text) {
  const double f = convert2Hz(static_cast<int>(std::round(value * 17280.0)));
  if (f < 100.0)
    text.SetFormatted(16, "%.1f", f);
  else
    text.SetFormatted(16, "%.0f", f);
}

void setDisplayTextForDelayTimeSync(double value, WDL_String& text) {
  const int i = std::clamp(static_cast<int>(std::round((1.0 - value) * 19.0)), 0, 19);
  text.Set(vantorel::labelSyncRates[i]);
}

// Parsers of typed texts, the inverses of the display functions above.
namespace {

// The number that fills the whole text (surrounding blanks allowed).
bool wholeNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0';
}

bool parseDB(const char* text, double& value) {
  while (*text == ' ') ++text;
  if (std::strncmp(text, "-oo", 3) == 0 || std::strncmp(text, "-inf", 4) == 0) {
    value = 0.0;
    return true;
  }
  double db = 0.0;
  if (!wholeNumber(text, db)) return false;
  value = std::pow(10.0, db / 20.0);
  return true;
}

bool parseBlend(const char* text, double& value) {
  double left = 0.0, right = 0.0;
  char tail = 0;
  if (std::sscanf(text, " %lf : %lf %c", &left, &right, &tail) == 2 && left + right > 0.0) {
    value = right / (left + right);
    return true;
  }
  return false;
}

bool parseFrequency(const char* text, double& value) {
  double hz = 0.0;
  if (!wholeNumber(text, hz)) return false;
  // The pitch index whose frequency lies nearest (frequencies rise with the index).
  int lo = 0, hi = 17280;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (convert2Hz(mid) < hz) lo = mid + 1;
    else hi = mid;
  }
  if (lo > 0 && hz - convert2Hz(lo - 1) < convert2Hz(lo) - hz) --lo;
  value = lo / 17280.0;
  return true;
}

bool parseDelayTimeSync(const char* text, double& value) {
  while (*text == ' ') ++text;
  for (int i = 0; i < 20; ++i) {
    if (std::strcmp(text, vantorel::labelSyncRates[i]) == 0) {
      value = 1.0 - i / 19.0;
      return true;
    }
  }
  return false;
}

struct DoubleSpec {
  int index;
  const char* name;
  double min, max, def, step;
  double exponent;  // 1 linear, else power curve
  IParam::DisplayFunc display;
  IParam::DisplayParser parser;
};

struct EnumSpec {
  int index;
  const char* name;
  int def;
  std::vector<const char*> texts;
};

const DoubleSpec kDoubles[] = {
  {0, "Pitch Bend Amount", -24, 24, 2, 1, 1, nullptr, nullptr},
  {1, "Mod.Wheel Amount", 0, 1, 0.1, 0.01, 1, nullptr, nullptr},
  {2, "Synth: Volume", 0, 1, 0.5, 0.01, 1, setDisplayTextForDB, parseDB},
  {3, "Organ: Volume", 0, 1, 0, 0.01, 1, setDisplayTextForDB, parseDB},
  {4, "String: Volume", 0, 1, 0, 0.01, 1, setDisplayTextForDB, parseDB},
  {5, "Synth: Panorama", 0, 1, 0.5, 0.01, 1, setDisplayTextForBlend, parseBlend},
  {6, "Organ: Panorama", 0, 1, 0.5, 0.01, 1, setDisplayTextForBlend, parseBlend},
  {7, "String: Panoram", 0, 1, 0.5, 0.01, 1, setDisplayTextForBlend, parseBlend},
  {8, "Organ: 2'", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {9, "Organ: 4'", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {10, "Organ: 8'", 0, 1, 1, 0.01, 1, nullptr, nullptr},
  {11, "Organ: 16'", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {12, "Osc.1: Fine Tune", -1, 1, 0, 0.005, 1, nullptr, nullptr},
  {14, "Osc.2: Coarse Tune", -7, 7, 0, 0.001, 1, nullptr, nullptr},
  {18, "Glide: Amount", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {19, "Glide: Speed", 0, 1, 0.18, 0.01, 1, nullptr, nullptr},
  {25, "VCF: Cutoff", 0, 1, 0.8, 0.01, 0.5, setDisplayTextForFrequency, parseFrequency},
  {26, "VCF: Resonance", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {27, "VCF: Envelope", -1, 1, 0, 0.005, 1, nullptr, nullptr},
  {28, "Envelope: Attack", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {29, "Envelope: Decay", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {30, "Envelope: Sustain", 0, 1, 1, 0.01, 1, nullptr, nullptr},
  {31, "Envelope: Release", 0, 1, 0.1, 0.01, 1, nullptr, nullptr},
  {35, "Modulation: Speed", 0, 25, 4.6, 0.01, 2, nullptr, nullptr},
  {36, "Modulation: Slope", 0, 1, 0, 0.01, 1, nullptr, nullptr},
  {37, "Modulation: Delay", 0, 10, 0, 0.1, 2, nullptr, nullptr},
  {38, "Modulation: Depth", 0, 1, 0, 0.01, 2, nullptr, nullptr},
  {39, "String: Footages", 0, 1, 0.5, 0.01, 1, setDisplayTextForBlend, parseBlend},
  {40, "String: Timbre", 0, 1, 0.5, 0.01, 1, nullptr, nullptr},
  {41, "String: Attack", 0, 1, 0.2, 0.01, 1, nullptr, nullptr},
  {42, "String: Release", 0, 1, 0.3, 0.01, 1, nullptr, nullptr},
  {43, "Phaser: Speed", 0, 25, 0.19, 0.01, 2, nullptr, nullptr},
  {44, "Phaser: Feedback", -1, 1, -0.3, 0.005, 1, nullptr, nullptr},
  {48, "Delay: Time", 0, 1, 0.5, 0.01, 1, nullptr, nullptr},
  {49, "Delay: Feedback", 0, 1, 0.3, 0.01, 1, nullptr, nullptr},
  {50, "Delay: Mix", 0, 1, 0, 0.01, 1, setDisplayTextForBlend, parseBlend},
  {55, "Tweak: Master Tune", -1, 1, 0, 0.05, 1, nullptr, nullptr},
  {57, "Tweak: Sync Reset Phase", 0, 360, 45, 1, 1, nullptr, nullptr},
  {58, "Tweak: Key Release", 0, 1, 0.3, 0.01, 1, nullptr, nullptr},
  {59, "Tweak: Ensemble LFO 1 Speed", 0, 25, 0.72, 0.01, 2, nullptr, nullptr},
  {60, "Tweak: Ensemble LFO 2 Speed", 0, 25, 5, 0.01, 2, nullptr, nullptr},
  {61, "Tweak: Ensemble LFO 1 Depth", 0, 1, 0.12, 0.01, 1, nullptr, nullptr},
  {62, "Tweak: Ensemble LFO 2 Depth", 0, 1, 0.04, 0.01, 1, nullptr, nullptr},
  {63, "Tweak: Delay Vibe Speed", 0, 25, 0.02, 0.01, 2, nullptr, nullptr},
  {64, "Tweak: Delay Vibe Depth", 0, 1, 0.2, 0.01, 1, nullptr, nullptr},
  {65, "Master Volume", 0, 1, 0.5, 0.01, 1, setDisplayTextForDB, parseDB},
};

const EnumSpec kEnums[] = {
  {13, "Osc.1: Octave", 0, {"Off", "On"}},
  {15, "Osc.2: Octave", 0, {"Off", "On"}},
  {16, "Osc.: Sync", 0, {"Off", "On"}},
  {17, "Osc.: Octave Mod.", 0, {"Off", "On"}},
  {20, "Glide: Enable", 0, {"Mono", "Multi"}},
  {21, "Glide: Direction", 0, {"A", "B", "C", "D"}},
  {22, "Waveform Selection: Waveform", 0, {"Sawtooth", "Square", "Mix"}},
  {23, "Waveform Selection: Alternate", 1, {"On", "Off"}},
  {24, "Waveform Selection: Enable", 0, {"Mono", "Multi"}},
  {32, "LFO: Routing", 0, {"FM", "VCF", "VCA"}},
  {33, "LFO: Reset", 0, {"Mono", "Multi"}},
  {34, "LFO: Waveshape", 0, {"Triangle", "Square"}},
  {45, "Phaser: String", 0, {"Off", "On"}},
  {46, "Phaser: Synth", 0, {"Off", "On"}},
  {47, "Phaser: Organ", 0, {"Off", "On"}},
  {51, "Delay: Double", 0, {"Off", "On"}},
  {52, "Delay: Sync", 0, {"Off", "On"}},
  {53, "Delay: Vibe", 1, {"Off", "On"}},
  {54, "Delay: Ping-Pong", 0, {"Off", "On"}},
  {56, "Tweak: Sync Reset", 0, {"Off", "On"}},
};

}  // namespace

void Vantorel::initParameters() {
  for (const DoubleSpec& d : kDoubles) {
    const IParam::Shape shape = d.exponent == 1.0 ? IParam::ShapeLinear() : IParam::ShapePowCurve(d.exponent);
    GetParam(d.index)->InitDouble(d.name, d.def, d.min, d.max, d.step, "", 0, "", shape, iplug::kUnitCustom);
  }
  for (const DoubleSpec& d : kDoubles)
    if (d.display) GetParam(d.index)->SetDisplayFunc(d.display, d.parser);
  for (const EnumSpec& e : kEnums) GetParam(e.index)->InitEnum(e.name, e.def, e.texts, 0, "");
}

void Vantorel::setDelayTimeDisplay() {
  if (delay.syncOn)
    GetParam(48)->SetDisplayFunc(setDisplayTextForDelayTimeSync, parseDelayTimeSync);
  else
    GetParam(48)->SetDisplayFunc(nullptr);
}

void Vantorel::initProgram() { Synth::initProgram(); }
