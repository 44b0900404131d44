#pragma once

// Pitch unit: integers in 1/128 semitone, 128 * n being MIDI note n.

// Frequency in Hz of pitch p, interpolated linearly between semitones;
// saturates at +-17279 (MIDI note 135 and its mirror below note 0).
double convert2Hz(int p);

// MIDI2Hz[n]: frequency of MIDI note n (n = 0 ... 135).
extern const double MIDI2Hz[136];
// AntiMIDI2Hz[n]: frequency n semitones below MIDI note 0.
extern const double AntiMIDI2Hz[136];
