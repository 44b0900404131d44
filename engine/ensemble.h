#pragma once

#include <memory>

#include "filters.h"
#include "hotloop.h"
#include "lfo.h"

// Four-point Catmull-Rom cubic between y1 and y2, with its coefficients
// computed once for a set of four values that is read at several fractions.
// Shared by the clocked delay lines of the ensemble and the echo.
struct Cubic {
  Cubic(double y0, double y1, double y2, double y3)
      : a(y1), b(0.5 * (y2 - y0)), c(y0 - 2.5 * y1 + 2.0 * y2 - 0.5 * y3), d(1.5 * (y1 - y2) + 0.5 * (y3 - y0)) {}
  // The value at fraction t (0 ... 1).
  double at(double t) const { return a + b * t + c * (t * t) + d * (t * t * t); }

  double a, b, c, d;
};

inline double cubicInterpolate(double y0, double y1, double y2, double y3, double t) {
  return Cubic(y0, y1, y2, y3).at(t);
}

// Anti-aliasing cutoff of a clocked line: the nominal cutoff, pulled below the
// Nyquist frequency at very low sample rates, where a biquad tuned at or above
// fs/2 would be unstable. Leaves the cutoff untouched wherever it is below fs/2.
inline double clockedLineCutoff(double fc, double fs) {
  return fc < 0.5 * fs ? fc : 0.45 * fs;
}

// The last four values of a signal as a ring; value(0) is the oldest.
struct History4 {
  double value(unsigned i) const { return v[(head + i) & 3]; }
  void clear() { v[0] = v[1] = v[2] = v[3] = 0.0; }

  double v[4] = {0.0, 0.0, 0.0, 0.0};
  unsigned head = 0;  // v[head & 3] is the oldest value
};

// Working copy of one clocked line's tick state for the duration of one audio
// sample, shared by the ensemble and the echo. Copying the output filter's
// recursion into a local object lets it stay in registers instead of going
// through memory that the cell writes might alias.
struct ClockedLane {
  // off (0 ... n - 1) is the distance from the write position to the cell read.
  ClockedLane(const LowPass& out, const double* hin, History4& hout, double* cells, int n, int off, int p, double ph,
              double st)
      : k(out.coeffs()), f(out.state()), in(hin[0], hin[1], hin[2], hin[3]), ring(hout.v), head(hout.head),
        buf(cells), pos(p), rd(p + off >= n ? p + off - n : p + off), phase(ph), step(st) {}

  // First half of a clock tick: move the write position back by one and pass
  // the cell at the write position plus off (wrapped) through the output filter
  // into the output history. Returns the filtered value. The read position
  // moves with the write position instead of being recomputed from it.
  double read(int n) {
    pos = pos > 0 ? pos - 1 : n - 1;
    rd = rd > 0 ? rd - 1 : n - 1;
    return filter(buf[rd]);
  }
  // The same for an offset of 0: the cell read is the one about to be written.
  double readAtWrite(int n) {
    pos = pos > 0 ? pos - 1 : n - 1;
    return filter(buf[pos]);
  }
  double filter(double x) {
    const double r = LowPass::step(k, f, x);
    ring[head++ & 3] = r;
    return r;
  }

  // Puts the filter state and the history's position back.
  void store(LowPass& out, History4& hout) const {
    out.setState(f);
    hout.head = head;
  }

  LowPass::Coeffs k;
  LowPass::State f;
  Cubic in;      // the input history's interpolant, fixed for the sample
  double* ring;  // the output history's values
  unsigned head;
  double* buf;
  int pos;
  int rd;  // read position of read()
  double phase;
  double step;
};

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
  VANTOREL_NO_SLP double process(double x) {
    if (N <= 0) return 0.0;
    const int n = N;
    double sum = 0.0;
    for (Line& l : lines) {
      const double a = l.in.process(x);
      l.h[0] = l.h[1];
      l.h[1] = l.h[2];
      l.h[2] = l.h[3];
      l.h[3] = a;
      ClockedLane c = lane(l);
      while (c.phase < 1.0) tick(c, n);
      sum += finish(l, c);
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
    History4 o;                          // output-filter outputs
    std::unique_ptr<double[]> buf;
    int pos = 0;
    double phase = 0.0;
    double step = 1.0;
    double recip = 1.0;
  };

  ClockedLane lane(Line& l) const { return ClockedLane(l.out, l.h, l.o, l.buf.get(), N, 0, l.pos, l.phase, l.step); }
  // One clock tick: the cell written N ticks ago goes to the output side, the
  // interpolated input takes its place.
  static void tick(ClockedLane& l, int n) {
    const double v = l.in.at(l.phase);
    l.readAtWrite(n);
    l.buf[l.pos] = v;
    l.phase = l.phase + l.step;
  }
  // Ends the sample for one line: stores its state back, returns its output.
  static double finish(Line& l, const ClockedLane& c) {
    const double phase = c.phase - 1.0;
    l.phase = phase;
    l.pos = c.pos;
    c.store(l.out, l.o);
    return cubicInterpolate(l.o.value(0), l.o.value(1), l.o.value(2), l.o.value(3), 1.0 - phase * l.recip);
  }

  void emptyLines();

  Line lines[3];
  int N = 0;
  double fs;  // NaN until the first init, so that one allocates
};
