#include "oscbank.h"

#include <cmath>

#include "pages.h"
#include "pitch.h"
#include "ratecache.h"
#include "squarewave.h"

namespace {

// One silent cycle: read by footages out of range and by a bank that has not
// been given a sample rate yet.
const double silentWave[OscBank::waveLength] = {};

// Every key reads the silent cycle.
void silenceKeys(OscBank::RateTables& t) {
  for (auto& byKey : t.keyRead)
    for (OscBank::KeyRead& r : byKey)
      r = {{silentWave, silentWave, silentWave, silentWave}, {16, 16, 16, 16}, 0, {-1, -1, -1, -1}};
  for (OscBank::NoteRead& r : t.noteRead) r = {silentWave, 4, 0};
}

// The tables of a bank that has not been given a sample rate yet: silence.
const OscBank::RateTables& silentRates() {
  static const OscBank::RateTables* const t = [] {
    void* raw = ::operator new(sizeof(OscBank::RateTables));
    prefaultPages(raw, sizeof(OscBank::RateTables));  // every page is written below
    auto* fresh = new (raw) OscBank::RateTables{};
    silenceKeys(*fresh);
    return fresh;
  }();
  return *t;
}

int32_t truncateToInt32(double v) {
  if (v != v) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void buildRates(OscBank::RateTables& t, double fs) {
  for (int i = 0; i <= 17280; ++i) t.freq2PhInc[i] = truncateToInt32(convert2Hz(i) * 268435456.0 / fs);
  for (int n = 0; n < 128; ++n) {
    // Table samples crossed per output sample by the note's phase.
    const int b = static_cast<int16_t>(t.freq2PhInc[128 * n] >> 16);
    int k = 0;
    if (b >= 2) {
      double c = b;
      do {
        c = c * 0.7071067811865476;
        ++k;
      } while (c > 1.0);
    }
    t.midiNote2WaveSet[n] = k < 21 ? k : 21;
  }
  // Read info per key: key < 12 and keys whose lowest footage lies above note 127
  // stay silent; footages above note 127 or below note 21 read silence.
  silenceKeys(t);
  for (int m = 21; m < 128; ++m)
    t.noteRead[m] = {squarewave::kTable[t.midiNote2WaveSet[m]], static_cast<uint8_t>(4 + OscBank::noteOctave[m]),
                     static_cast<uint8_t>(OscBank::noteKey[m])};
  for (int oct = 0; oct < 2; ++oct) {
    for (int key = 12; key < 256; ++key) {
      const int n = oct ? key - 12 : key;
      if (n > 127) continue;
      OscBank::KeyRead& r = t.keyRead[oct][key];
      r.pitchClass = static_cast<uint8_t>(OscBank::noteKey[n]);
      for (int f = 0; f < 4; ++f) {
        const int m = n + 12 * f;
        if (m > 127) break;
        if (m >= 21) {
          r.wave[f] = squarewave::kTable[t.midiNote2WaveSet[m]];
          r.down[f] = static_cast<uint8_t>(16 - OscBank::noteOctave[m]);
          r.note[f] = static_cast<int8_t>(m);
        }
      }
    }
  }
}
}  // namespace

OscBank::OscBank() : phase{}, increment{}, rates(&silentRates()) {}

const double* OscBank::squareWave(int p) { return squarewave::kTable[p]; }

void OscBank::setSampleRate(double fs) {
  if (fs != rate || !tables) {
    rate = fs;
    tables = acquireRateTables<OscBank::RateTables>(fs, buildRates);
    rates = tables.get();
    tuned = false;
  }
}

void OscBank::setTune(double semitones) {
  // Limit before converting so that absurd offsets cannot overflow; every
  // index beyond the table sticks at its ends anyway.
  double r = std::round(semitones * 128.0);
  if (r != r) r = 0.0;
  if (r > 1.0e6) r = 1.0e6;
  if (r < -1.0e6) r = -1.0e6;
  const long x = static_cast<long>(r) + 2688;  // 2688: pitch index of MIDI note 21
  // The same pitch index at the same rate gives the same increments (the control tick sets the tune
  // every millisecond, mostly to what it was).
  if (tuned && x == tunedIndex) return;
  tuned = true;
  tunedIndex = x;
  for (int k = 0; k < 12; ++k) {
    long i = x + 128 * k;
    if (i < 0) i = 0;
    if (i > 17280) i = 17280;
    increment[k] = static_cast<uint32_t>(rates->freq2PhInc[i]);
  }
}

void OscBank::setSyncPhase(OscBank& master, double fraction) {
  const long o = std::lround(fraction * 268435456.0);
  for (int k = 0; k < 12; ++k) phase[k] = (master.phase[k] + static_cast<uint32_t>(o)) & phaseMask;
}
