#pragma once

#include <cmath>

#include "lfo.h"
#include "signal.h"

// Stereo four-stage phaser: per channel four first-order all-pass sections in
// series inside a feedback loop, their shared break frequency swept by a
// triangle LFO, mixed with the dry signal. Both channels use one coefficient set.
class Phaser {
public:
  Phaser();

  void setBase(double x) { base = x; }
  void setFeedback(double f) { feedback = f; }
  void setDepth(double d) { depth = d; }
  void setWet(double m) { wet = m; }
  // New rate: empties the filter and zeroes the coefficients until the next update().
  void setSampleRate(double fs);
  // One control tick: advances the sweep and recomputes the coefficients.
  void update();

  void process(Signal& s) {
    s.left = channel(s.left, left, offsetL);
    s.right = channel(s.right, right, offsetR);
  }

  double wmax() const { return wMax; }
  double coefficient() const { return B[0]; }
  double loopGain() const { return k; }

  LFO lfo;  // sweep, one step per control tick

private:
  double channel(double in, double* st, double& d) {
    for (int i = 0; i < 4; ++i) st[i] = std::isnan(st[i]) ? 0.0 : st[i] + d;
    const double x = std::isnan(in) ? 0.0 : in + d;
    d = -d;
    const double S = ((st[0] * B[1] + st[1]) * B[2] + st[2]) * B[3] + st[3];
    // Fourth-stage output with the feedback loop solved without a unit delay.
    const double u = (B4 * x + S) * norm;
    const double out = x + wet * (u - x);
    const double a1 = x - k * u;
    const double y1 = B[0] * a1 + st[0];
    st[0] = a1 - B[0] * y1;
    const double y2 = B[1] * y1 + st[1];
    st[1] = y1 - B[1] * y2;
    const double y3 = B[2] * y2 + st[2];
    st[2] = y2 - B[2] * y3;
    const double y4 = B[3] * y3 + st[3];
    st[3] = y3 - B[3] * y4;
    return out;
  }

  double base = 0.0;
  double feedback = 0.0;
  double depth = 0.0;
  double wet = 0.0;
  double wMax;
  double B4 = 0.0;
  double B[4] = {0.0, 0.0, 0.0, 0.0};
  double k = 0.0;
  double norm = 0.0;  // 1 / (1 + k * B4)
  double left[4] = {0.0, 0.0, 0.0, 0.0};
  double right[4] = {0.0, 0.0, 0.0, 0.0};
  double offsetL = 1e-13;  // anti-denormal offsets, sign flips every sample
  double offsetR = 1e-13;
};
