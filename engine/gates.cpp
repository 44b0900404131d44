#include "gates.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double ln10 = 2.302585092994046;
constexpr double keyAttackTime = 179.59704587520338;   // time law at 0.01
constexpr double keyReleaseTime = 5.468991933671839;   // time law at 0.3
constexpr double gateAttackTime = 200.2014493415737;   // time law at 0.001
constexpr double gateReleaseTime = 179.59704587520338; // time law at 0.01
}  // namespace

KeyGate::KeyGate() { setSampleRate(44100.0); }

void KeyGate::setSampleRate(double fs) {
  count = 0;
  rate = ln10 / fs;
  attack = rate * keyAttackTime;
  release = rate * keyReleaseTime;
}

void KeyGate::setRelease(double r) { release = rate * (std::pow(5.0, 3.3 - 7.5 * r) + 0.05); }

int KeyGate::find(unsigned char key) const {
  int lo = 0, hi = count;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (entries[mid].key < key)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void KeyGate::start(unsigned char key) {
  const int i = find(key);
  if (i == count || entries[i].key != key) {
    for (int j = count; j > i; --j) entries[j] = entries[j - 1];
    ++count;
    entries[i].key = key;
  }
  entries[i].gate = true;
  entries[i].level = 0.0;
}

void KeyGate::stop(unsigned char key) {
  const int i = find(key);
  if (i < count && entries[i].key == key) entries[i].gate = false;
}

int KeyGate::run(int n, unsigned char* key, double (*level)[kSpan], int* present) {
  const int entered = count;
  int moving[256];
  int moves = 0;
  for (int e = 0; e < entered; ++e) {
    key[e] = entries[e].key;
    present[e] = n;
    // A held key at full level, and a released key held by pin 7, keep their level: step() leaves it.
    const Entry& x = entries[e];
    if ((x.gate && x.level >= 1.0) || (!x.gate && x.level > 0.0 && pin7))
      fillSpan(level[e], 0, n, x.level);
    else
      moving[moves++] = e;
  }
  // The others sample by sample (their steps are independent of each other).
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < moves; ++i) {
      const int e = moving[i];
      if (present[e] <= j) continue;
      if (step(entries[e]))
        level[e][j] = entries[e].level;
      else
        present[e] = j;
    }
  }
  int w = 0;
  for (int e = 0; e < entered; ++e) {
    if (present[e] < n) continue;  // dropped during the span
    if (w != e) entries[w] = entries[e];
    ++w;
  }
  count = w;
  return entered;
}

bool KeyGate::isGate(unsigned char key) const {
  const int i = find(key);
  return i < count && entries[i].key == key && entries[i].gate;
}

double KeyGate::get(unsigned char key) const {
  const int i = find(key);
  return i < count && entries[i].key == key ? entries[i].level : 0.0;
}

bool KeyGate::isVoiceCardGate(unsigned char card) const {
  for (int i = 0; i < count; ++i)
    if (entries[i].gate && entries[i].key % 6 == card) return true;
  return false;
}

GateAR::GateAR() { setSampleRate(44100.0); }

void GateAR::setSampleRate(double fs) {
  gate = false;
  level = 0.0;
  attack = (ln10 / fs) * gateAttackTime;
  release = (ln10 / fs) * gateReleaseTime;
}
