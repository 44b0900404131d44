#pragma once

// The oscillator banks' band-limited square waves: 22 wave sets of one 4096-sample cycle each. Wave set
// p holds the odd partials of a tapered sawtooth of about 2048 / sqrt(2)^p partials.
namespace squarewave {

constexpr int kSets = 22;
constexpr int kLength = 4096;

// Computes every set into out. The build runs this once and links the result in as kTable, so that no
// process pays for it; a test recomputes it at run time and compares the bits.
void compute(double (*out)[kLength]);

// The sets as computed at build time.
extern const double kTable[kSets][kLength];

}  // namespace squarewave
