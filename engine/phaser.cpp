#include "phaser.h"

namespace {
constexpr double kTwoPiTimes12k = 75398.22368615503;  // largest break angle times fs
}

Phaser::Phaser() : wMax(kTwoPiTimes12k / 44100.0) { lfo.setSampleRate(1000.0); }

void Phaser::setSampleRate(double fs) {
  wMax = kTwoPiTimes12k / fs;
  B4 = 0.0;
  for (double& b : B) b = 0.0;
  norm = 0.0;
  for (int i = 0; i < 4; ++i) left[i] = right[i] = 0.0;
}

void Phaser::update() {
  lfo.update();
  const double t = lfo.getTri();
  const double x = base + depth * ((1.0 + t) * (1.0 + t));
  // Break angle clamped to 0 ... wmax (0 ... 12 kHz); a NaN sweep counts as 0.
  double w;
  if (x >= 1.0)
    w = wMax;
  else if (x >= 0.0)
    w = wMax * x;
  else
    w = 0.0;
  const double b = (w - 2.0) / (w + 2.0);
  for (double& c : B) c = b;
  B4 = b * b * b * b;
  k = 0.999 * feedback;
  norm = 1.0 / (1.0 + k * B4);
}

VANTOREL_HOT void Phaser::processSpan(double* left, double* right, int n) {
  Run run(*this);
  for (int j = 0; j < n; ++j) run.sample(left[j], right[j]);
  run.finish();
}
