#pragma once

// Small conversions shared by the parts of the VST3 binding.

#include <string>

#include "pluginterfaces/vst/vsttypes.h"

namespace iplug {

// UTF-8 into a zero-terminated String128 (cut to 127 UTF-16 units).
void ToString128(const char* text, Steinberg::Vst::String128 out);
// A zero-terminated UTF-16 text (at most 128 units) into UTF-8.
std::string ToUtf8(const Steinberg::Vst::TChar* text);
// Parses a whole text as a finite number (surrounding blanks allowed).
bool ParseNumber(const std::string& text, double& value);

inline double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

}  // namespace iplug
