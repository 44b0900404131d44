#pragma once

#include <cstdint>

namespace render {

// A time held exactly as units / unitsPerSecond seconds, so that its sample position is found without
// rounding: MIDI times through the tempo map, lengths typed as decimal seconds.
struct ExactTime {
  unsigned __int128 units = 0;
  unsigned __int128 unitsPerSecond = 1;

  double seconds() const { return static_cast<double>(units) / static_cast<double>(unitsPerSecond); }
  // The later time by s whole seconds.
  ExactTime plusSeconds(uint64_t s) const { return {units + s * unitsPerSecond, unitsPerSecond}; }
};

// Beyond this, positions are clamped: no render comes near it.
constexpr int64_t kMaxSamplePosition = int64_t{1} << 62;

// Sample position of a time: floor(t * rate + 1/2), computed in integers (halves round up exactly).
int64_t samplePosition(const ExactTime& t, int64_t rate);
// The same for a time that is approximate to begin with (the demo's parameter changes).
int64_t samplePosition(double seconds, double rate);

}  // namespace render
