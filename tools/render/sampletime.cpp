#include "sampletime.h"

#include <cmath>

namespace render {

int64_t samplePosition(const ExactTime& t, int64_t rate) {
  using U = unsigned __int128;
  if (rate <= 0) return 0;
  // floor((2 * units * rate + unitsPerSecond) / (2 * unitsPerSecond)), guarded against overflow.
  const U r = static_cast<U>(rate);
  if (t.units > (~U{0} - t.unitsPerSecond) / (2 * r)) return kMaxSamplePosition;
  const U p = (2 * t.units * r + t.unitsPerSecond) / (2 * t.unitsPerSecond);
  return p >= static_cast<U>(kMaxSamplePosition) ? kMaxSamplePosition : static_cast<int64_t>(p);
}

int64_t samplePosition(double seconds, double rate) {
  const double p = std::floor(seconds * rate + 0.5);
  if (!(p < static_cast<double>(kMaxSamplePosition))) return kMaxSamplePosition;
  return p < 0 ? 0 : static_cast<int64_t>(p);
}

}  // namespace render
