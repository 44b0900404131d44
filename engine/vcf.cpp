#include "vcf.h"

#include <cstdint>

#include "pitch.h"
#include "ratecache.h"

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


}  // namespace

double VCF::restart() { return 0.0; }

VCF::VCF() : index(-1.0) {
  tables = acquireRateTables<VCF::RateTables>(fs, buildRates);
  rates = tables.get();
}

void VCF::reset() {
  index = -1.0;
  G4 = G = B = C = norm = 0.0;
  s1 = s2 = s3 = s4 = 0.0;
  d = 1e-13;
}

void VCF::setSampleRate(double rate) {
  if (rate != fs || rate != rate || fs != fs) {
    fs = rate;
    tables = acquireRateTables<VCF::RateTables>(fs, buildRates);
    rates = tables.get();
  }
  reset();
}

void VCF::setResonance(double res) {
  r = res;
  index = -1.0;
  // A silent filter at full resonance gets a start impulse for self-oscillation.
  if (r >= 1.0 && std::fabs(s1) <= 1e-13 && std::fabs(s2) <= 1e-13 && std::fabs(s3) <= 1e-13 &&
      std::fabs(s4) <= 1e-13) {
    s2 = 0.1;
    s4 = -0.1;
  }
}
