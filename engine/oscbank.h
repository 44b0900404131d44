#pragma once

#include <array>
#include <cstdint>
#include <memory>

// Divide-down tone generator: twelve 28-bit phase accumulators, one per pitch
// class of the lowest octave (A0 ... G#1 at zero tuning). A key reads its
// pitch class's phase multiplied by 2^octave, so all keys of one class are
// phase-locked; each footage reads a band-limited square chosen by pitch.
class OscBank {
public:
  // Tables that depend on the sample rate; shared, immutable, one set per rate.
  struct RateTables {
    int32_t freq2PhInc[17281];     // phase increment per 1/128 semitone from MIDI note 0
    int32_t midiNote2WaveSet[128]; // wave set per MIDI note
  };

  static constexpr int waveSets = 22;
  static constexpr int waveLength = 4096;
  static constexpr uint32_t phaseMask = 0x0FFFFFFF;  // one cycle = 2^28

  OscBank();

  void setSampleRate(double fs);
  void setTune(double semitones);
  void setSyncPhase(OscBank& master, double fraction);

  // The key's footages 16', 8', 4', 2' at the current phases (0 where out of range).
  std::array<double, 4> process(unsigned char key) const {
    std::array<double, 4> out = {0.0, 0.0, 0.0, 0.0};
    if (key < 12) return out;
    const int n = octave ? key - 12 : key;
    if (n > 127) return out;
    const uint32_t ph = phase[noteKey[n]];
    const int32_t* waveSet = rates->midiNote2WaveSet;
    for (int f = 0; f < 4; ++f) {
      const int m = n + 12 * f;
      if (m > 127) break;
      if (m >= 21) {
        const uint32_t idx = ((ph << noteOctave[m]) >> 16) & 4095u;
        out[f] = waves[waveSet[m] * waveLength + idx];
      }
    }
    return out;
  }

  void advance() {
    for (int k = 0; k < 12; ++k) phase[k] = (phase[k] + increment[k]) & phaseMask;
  }

  uint32_t phaseOf(int k) const { return phase[k]; }
  uint32_t incrementOf(int k) const { return increment[k]; }
  double sampleRate() const { return rate; }
  const RateTables& rateTables() const { return *rates; }

  // The shared square-wave table (built on first use), wave set p = 0 ... 21.
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

public:
  bool octave = false;  // sound one octave lower; written by the control tick

private:
  double rate = 1.0;
  std::shared_ptr<const RateTables> tables;  // keeps this rate's set alive
  const RateTables* rates;                   // hot-path view of `tables` (zeros until set up)
  const double* waves;                       // square table (one silent cycle until set up)
};
