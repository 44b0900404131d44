#pragma once

#include <memory>

#include "filters.h"
#include "lfo.h"

// Four-point Catmull-Rom cubic between y1 and y2 at fraction t (0 ... 1).
// Shared by the clocked delay lines of the ensemble and the echo.
inline double cubicInterpolate(double y0, double y1, double y2, double y3, double t) {
  return y1 + 0.5 * (y2 - y0) * t + (y0 - 2.5 * y1 + 2.0 * y2 - 0.5 * y3) * (t * t) +
         (1.5 * (y1 - y2) + 0.5 * (y3 - y0)) * (t * t * t);
}

// Anti-aliasing cutoff of a clocked line: the nominal cutoff, pulled below the
// Nyquist frequency at very low sample rates, where a biquad tuned at or above
// fs/2 would be unstable. Leaves the cutoff untouched wherever it is below fs/2.
inline double clockedLineCutoff(double fc, double fs) {
  return fc < 0.5 * fs ? fc : 0.45 * fs;
}

// String-section chorus: three clocked delay lines of N cells in parallel, each
// clock swept by two sine LFOs at three phases about 120 degrees apart. Audio is
// resampled into and out of each line's clock domain with cubic interpolation.
class Ensemble {
public:
  Ensemble();
  Ensemble(const Ensemble&) = delete;
  Ensemble& operator=(const Ensemble&) = delete;

  // Allocates the lines when the rate changes; always empties them, then runs update().
  void init(double fs);
  // Empties lines, filters and histories; clocks and sweep keep running.
  void clear();
  // One control tick: advances both sweeps and recomputes the three clock steps.
  void update();

  // One input sample; returns the unscaled sum of the three lines (0 without lines).
  double process(double x) {
    if (N <= 0) return 0.0;
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
      Line& l = lines[k];
      const double a = l.in.process(x);
      l.h[0] = l.h[1];
      l.h[1] = l.h[2];
      l.h[2] = l.h[3];
      l.h[3] = a;
      double* const buf = l.buf.get();
      double phase = l.phase;
      int pos = l.pos;
      while (phase < 1.0) {
        pos = pos > 0 ? pos - 1 : N - 1;
        const double v = cubicInterpolate(l.h[0], l.h[1], l.h[2], l.h[3], phase);
        const double r = l.out.process(buf[pos]);  // the value written N ticks ago
        l.o[0] = l.o[1];
        l.o[1] = l.o[2];
        l.o[2] = l.o[3];
        l.o[3] = r;
        buf[pos] = v;
        phase = phase + l.step;
      }
      phase = phase - 1.0;
      l.phase = phase;
      l.pos = pos;
      sum += cubicInterpolate(l.o[0], l.o[1], l.o[2], l.o[3], 1.0 - phase * l.recip);
    }
    return sum;
  }

  int length() const { return N; }
  double step(int k) const { return lines[k].step; }

  LFO lfoA;  // slow sweep, one step per control tick
  LFO lfoB;  // fast sweep, one step per control tick
  double centre[3];
  double depthA;
  double depthB;

private:
  struct Line {
    LowPass in, out;
    double h[4] = {0.0, 0.0, 0.0, 0.0};  // input-filter outputs, oldest first
    double o[4] = {0.0, 0.0, 0.0, 0.0};  // output-filter outputs, oldest first
    std::unique_ptr<double[]> buf;
    int pos = 0;
    double phase = 0.0;
    double step = 1.0;
    double recip = 1.0;
  };

  void emptyLines();

  Line lines[3];
  int N = 0;
  double fs;  // NaN until the first init, so that one allocates
};
