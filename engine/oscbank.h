#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "hotloop.h"
#include "span.h"
#include "squarewave.h"

// Divide-down tone generator: twelve 28-bit phase accumulators, one per pitch
// class of the lowest octave (A0 ... G#1 at zero tuning). A key reads its
// pitch class's phase multiplied by 2^octave, so all keys of one class are
// phase-locked; each footage reads a band-limited square chosen by pitch.
class OscBank {
public:
  // Where one key reads its four footages: the pitch class whose phase it
  // uses, and per footage the wave set to read (a silent cycle for a footage
  // out of range) and the right shift that takes the table index from the
  // phase. A footage of octave o reads the top 12 bits of the 28-bit phase
  // times 2^o, that is ((phase << o) >> 16) & 4095; as the bits that the left
  // shift pushes out of 32 bits are never among those 12, this is the same as
  // (phase >> (16 - o)) & 4095, one shift fewer.
  struct KeyRead {
    const double* wave[4];
    uint8_t down[4];
    uint8_t pitchClass;
    int8_t note[4];  // the MIDI note each footage sounds, -1 where silent
  };
  // Where note m reads: the same for every key and footage that sounds it. Its table index, bits
  // down ... down + 11 of the phase, is also the top 12 bits of the phase shifted left by 20 - down
  // (modulo 2^32), which readNote steps along without a mask.
  struct NoteRead {
    const double* wave;
    uint8_t up;  // 20 - down
    uint8_t pitchClass;
  };

  // Tables that depend on the sample rate; shared, immutable, one set per rate.
  struct RateTables {
    int32_t freq2PhInc[17281];     // phase increment per 1/128 semitone from MIDI note 0
    int32_t midiNote2WaveSet[128]; // wave set per MIDI note
    KeyRead keyRead[2][256];       // per octave flag (clear, set) and key
    NoteRead noteRead[128];        // notes 21 ... 127
  };

  static constexpr int waveSets = squarewave::kSets;
  static constexpr int waveLength = squarewave::kLength;
  static constexpr uint32_t phaseMask = 0x0FFFFFFF;  // one cycle = 2^28

  OscBank();

  void setSampleRate(double fs);
  void setTune(double semitones);
  void setSyncPhase(OscBank& master, double fraction);

  // The key's footages 16', 8', 4', 2' at the current phases (0 where out of range).
  std::array<double, 4> process(unsigned char key) const {
    const KeyRead& r = rates->keyRead[octave ? 1 : 0][key];
    const uint32_t ph = phase[r.pitchClass];
    return {r.wave[0][(ph >> r.down[0]) & 4095u], r.wave[1][(ph >> r.down[1]) & 4095u],
            r.wave[2][(ph >> r.down[2]) & 4095u], r.wave[3][(ph >> r.down[3]) & 4095u]};
  }

  void advance() {
    for (int k = 0; k < 12; ++k) phase[k] = (phase[k] + increment[k]) & phaseMask;
  }

  // How the key reads its footages at the present octave flag.
  const KeyRead& keyRead(unsigned char key) const { return rates->keyRead[octave ? 1 : 0][key]; }

  // Note m (21 ... 127) for the next n samples (n <= kSpan) as process() will read it there, each
  // sample one increment further on: out[j] is its value at sample j. The phases do not move.
  VANTOREL_INLINE void readNote(int m, int n, double* out) const {
    const NoteRead& r = rates->noteRead[m];
    const unsigned up = r.up;
    const uint32_t inc = increment[r.pitchClass] << up;
    uint32_t ph = phase[r.pitchClass] << up;
    const double* wave = r.wave;
#pragma GCC unroll 8
    for (int j = 0; j < n; ++j, ph += inc) out[j] = wave[ph >> 20];
  }

  // advance() n times.
  void advance(int n) {
    for (int k = 0; k < 12; ++k) phase[k] = (phase[k] + static_cast<uint32_t>(n) * increment[k]) & phaseMask;
  }

  uint32_t phaseOf(int k) const { return phase[k]; }
  uint32_t incrementOf(int k) const { return increment[k]; }
  double sampleRate() const { return rate; }
  const RateTables& rateTables() const { return *rates; }

  // The square-wave table, wave set p = 0 ... 21.
  static const double* squareWave(int p);

  // (note - 21) mod 12 and floor((note - 21) / 12) for MIDI notes 0 ... 127.
  static constexpr std::array<int, 128> noteKey = [] {
    std::array<int, 128> t{};
    for (int n = 0; n < 128; ++n) t[n] = ((n - 21) % 12 + 12) % 12;
    return t;
  }();
  static constexpr std::array<int, 128> noteOctave = [] {
    std::array<int, 128> t{};
    for (int n = 0; n < 128; ++n) t[n] = n >= 21 ? (n - 21) / 12 : -((20 - n) / 12 + 1);
    return t;
  }();

private:
  uint32_t phase[12];
  uint32_t increment[12];
  bool tuned = false;  // `increment` holds the pitch index tunedIndex at the present rate
  long tunedIndex = 0;

public:
  bool octave = false;  // sound one octave lower; written by the control tick

private:
  double rate = 1.0;
  std::shared_ptr<const RateTables> tables;  // keeps this rate's set alive
  const RateTables* rates;                   // hot-path view of `tables` (silence until set up)
};
