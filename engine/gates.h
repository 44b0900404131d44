#pragma once

#include <algorithm>

#include "span.h"

// Per-key gates and levels. Every held or still releasing key has an entry;
// entries are kept sorted by key in a fixed array, so nothing allocates.
class KeyGate {
public:
  struct Entry {
    unsigned char key;
    bool gate;
    double level;
  };

  KeyGate();

  void setSampleRate(double fs);
  void setRelease(double r);  // "Tweak: Key Release", knob units
  void start(unsigned char key);
  void stop(unsigned char key);
  bool isGate(unsigned char key) const;
  double get(unsigned char key) const;
  bool isVoiceCardGate(unsigned char card) const;
  void clear() {
    count = 0;
    pin7 = false;
  }
  void setPin7() { pin7 = true; }
  bool isPin7() const { return pin7; }

  // One audio sample, in increasing key order. An entry whose gate is clear and
  // whose level is 0 at the start of its step is dropped (the array compacts).
  void update() {
    int w = 0;
    for (int r = 0; r < count; ++r) {
      if (!step(entries[r])) continue;
      if (w != r) entries[w] = entries[r];
      ++w;
    }
    count = w;
  }

  // n samples of update() at once (n <= kSpan). Entry e as it stood before the first sample has
  // key[e]; its level after the update of sample j is level[e][j], for the samples j < present[e] in
  // which it is still there. Returns the number of those entries.
  int run(int n, unsigned char* key, double (*level)[kSpan], int* present);

  // Ordered walk over the entries (held and releasing keys).
  const Entry* begin() const { return entries; }
  const Entry* end() const { return entries + count; }
  int size() const { return count; }

private:
  // One sample of one entry; false when the entry is dropped instead.
  bool step(Entry& e) const {
    if (e.gate) {
      if (e.level < 1.0) e.level = std::min(1.0, e.level + (1.1111111111111112 - e.level) * attack);
    } else if (e.level > 0.0) {
      if (!pin7) e.level = std::max(0.0, e.level + (-0.1111111111111111 - e.level) * release);
    } else {
      return false;  // released to silence
    }
    return true;
  }

  // Index of the key's entry, or of the place where it would be inserted.
  int find(unsigned char key) const;

  // One slot per possible key value, so no key can overflow the array.
  Entry entries[256] = {};
  int count = 0;
  bool pin7 = false;
  double rate;
  double attack;
  double release;
};

// A single gate with a fixed attack (about 5.0 ms) and release (about 5.6 ms).
// The instrument opens and closes it through the public fields.
class GateAR {
public:
  GateAR();
  void setSampleRate(double fs);

  void update() {
    if (gate) {
      if (level < 1.0) {
        level = level + (1.1111111111111112 - level) * attack;
        if (level > 1.0) level = 1.0;
      }
    } else if (level > 0.0) {
      level = level + (-0.1111111111111111 - level) * release;
      if (level < 0.0) level = 0.0;
    }
  }

  bool gate = false;
  double level = 0.0;

private:
  double attack;
  double release;
};
