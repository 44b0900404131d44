#pragma once

#include <cmath>

#include "hotloop.h"
#include "lanes.h"

#include "lfo.h"
#include "stereo_signal.h"

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

  // n samples of both channels in place; the channels run side by side in the lanes of one vector.
  void processSpan(double* left, double* right, int n);
  void process(Signal& s) { processSpan(&s.left, &s.right, 1); }

  // The phaser over a span, sample by sample, both channels side by side in the lanes of one vector.
  // Takes the phaser's state; finish() hands it back.
  class Run {
  public:
    VANTOREL_INLINE explicit Run(Phaser& phaser)
        : p(phaser),
          s0{p.left[0], p.right[0]},
          s1{p.left[1], p.right[1]},
          s2{p.left[2], p.right[2]},
          s3{p.left[3], p.right[3]},
          d{p.offsetL, p.offsetR} {}

    // One stereo sample in place.
    VANTOREL_INLINE void sample(double& left, double& right) {
      const double b0 = p.B[0], b1 = p.B[1], b2 = p.B[2], b3 = p.B[3];
      // NaN in a state or the input counts as 0; the alternating offset keeps the states off denormals.
      s0 = s0 == s0 ? s0 + d : v2d{};
      s1 = s1 == s1 ? s1 + d : v2d{};
      s2 = s2 == s2 ? s2 + d : v2d{};
      s3 = s3 == s3 ? s3 + d : v2d{};
      v2d x{left, right};
      x = x == x ? x + d : v2d{};
      d = -d;
      const v2d S = ((s0 * b1 + s1) * b2 + s2) * b3 + s3;
      // Fourth-stage output with the feedback loop solved without a unit delay.
      const v2d u = (p.B4 * x + S) * p.norm;
      const v2d out = x + p.wet * (u - x);
      const v2d a1 = x - p.k * u;
      const v2d y1 = b0 * a1 + s0;
      s0 = a1 - b0 * y1;
      const v2d y2 = b1 * y1 + s1;
      s1 = y1 - b1 * y2;
      const v2d y3 = b2 * y2 + s2;
      s2 = y2 - b2 * y3;
      const v2d y4 = b3 * y3 + s3;
      s3 = y3 - b3 * y4;
      left = out[0];
      right = out[1];
    }

    VANTOREL_INLINE void finish() {
      const v2d st[4] = {s0, s1, s2, s3};
      for (int i = 0; i < 4; ++i) {
        p.left[i] = st[i][0];
        p.right[i] = st[i][1];
      }
      p.offsetL = d[0];
      p.offsetR = d[1];
    }

  private:
    Phaser& p;
    v2d s0, s1, s2, s3, d;
  };

  double wmax() const { return wMax; }
  double coefficient() const { return B[0]; }
  double loopGain() const { return k; }

  LFO lfo;  // sweep, one step per control tick

private:
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
