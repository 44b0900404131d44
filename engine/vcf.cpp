#include "vcf.h"

#include <bit>
#include <cstdint>
#include <limits>
#include <map>
#include <mutex>

#include "pitch.h"

namespace {

void buildRates(VCF::RateTables& t, double fs) {
  for (int i = 0; i <= 17280; ++i) {
    const double f = convert2Hz(i);
    t.freq2rad[i] = f * 6.283185307179586 / fs;
    // Feedback scale: 4.1 below 500 Hz, falling linearly to 4.005 at 2000 Hz.
    if (f < 500.0)
      t.resoScaler[i] = 4.1;
    else if (f > 2000.0)
      t.resoScaler[i] = 4.005;
    else
      t.resoScaler[i] = 4.1 + (f - 500.0) * -0.09499999999999975 / 1500.0;
  }
}

// One immutable table set per sample rate in use, shared by all filters of the
// process and freed when the last filter at that rate lets go of it.
std::shared_ptr<const VCF::RateTables> acquireRates(double fs) {
  static std::mutex mutex;
  static std::map<uint64_t, std::weak_ptr<const VCF::RateTables>> cache;
  const uint64_t key = std::bit_cast<uint64_t>(fs);
  std::lock_guard<std::mutex> lock(mutex);
  for (auto it = cache.begin(); it != cache.end();) {
    if (it->second.expired())
      it = cache.erase(it);
    else
      ++it;
  }
  if (auto it = cache.find(key); it != cache.end()) {
    if (auto held = it->second.lock()) return held;
  }
  auto* fresh = new VCF::RateTables;
  buildRates(*fresh, fs);
  std::shared_ptr<const VCF::RateTables> shared(fresh);
  cache[key] = shared;
  return shared;
}

}  // namespace

double VCF::restart() { return 0.0; }

VCF::VCF() : index(std::numeric_limits<double>::quiet_NaN()) {
  tables = acquireRates(fs);
  rates = tables.get();
}

void VCF::reset() {
  index = std::numeric_limits<double>::quiet_NaN();
  G4 = G = B = C = norm = 0.0;
  s1 = s2 = s3 = s4 = 0.0;
  d = 1e-13;
}

void VCF::setSampleRate(double rate) {
  if (rate != fs || rate != rate || fs != fs) {
    fs = rate;
    tables = acquireRates(fs);
    rates = tables.get();
  }
  reset();
}

void VCF::setResonance(double res) {
  r = res;
  index = std::numeric_limits<double>::quiet_NaN();
  // A silent filter at full resonance gets a start impulse for self-oscillation.
  if (r >= 1.0 && std::fabs(s1) <= 1e-13 && std::fabs(s2) <= 1e-13 && std::fabs(s3) <= 1e-13 &&
      std::fabs(s4) <= 1e-13) {
    s2 = 0.1;
    s4 = -0.1;
  }
}
