#include "filters.h"

double LowPass::badSample() { return 0.0; }

void LowPass::setSampleRate(double rate) {
  fs = rate;
  Q = 0.7071067811865476;
  a1 = a2 = b0 = b1 = 0.0;
  clear();
}

void LowPass::setCutoff(double fc) {
  w = fc * 2.0 * 3.141592653589793 / fs;
  calcCoeffs();
}

void LowPass::setQ(double q) {
  Q = 0.9 * q + 0.1;
  calcCoeffs();
}

void LowPass::calcCoeffs() {
  const double cs = std::cos(w);
  const double alpha = std::sin(w) / (2.0 * Q);
  const double a0 = 1.0 + alpha;
  a1 = 2.0 * cs / a0;
  a2 = (alpha - 1.0) / a0;
  b0 = 0.5 * (1.0 - cs) / a0;
  b1 = (1.0 - cs) / a0;
}

void LP6::setCutoff(double cutoff) {
  fc = cutoff;
  p = std::exp(-2.0 * 3.141592653589793 * fc * T);
  g = 1.0 - p;
}

void HP6::setCutoff(double cutoff) {
  fc = cutoff;
  p = std::exp(-2.0 * 3.141592653589793 * (0.5 - fc * T));
  g = 1.0 - p;
}
