#pragma once

#include <memory>

#include "clocked.h"
#include "filters.h"
#include "hotloop.h"
#include "lanes.h"
#include "lfo.h"

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

  // n input samples; out[j] is the unscaled sum of the three lines for x[j] (0 without lines).
  VANTOREL_NARROW void processSpan(const double* x, double* out, int n);
#ifdef VANTOREL_WIDE
  VANTOREL_WIDE void processSpan(const double* x, double* out, int n);
#endif
  double process(double x) {
    double y;
    processSpan(&x, &y, 1);
    return y;
  }

  // The ensemble over a span, sample by sample, with the three lines side by side in the lanes of
  // vectors V. Takes the ensemble's state; finish() hands it back.
  template <class V>
  class Run {
  public:
    VANTOREL_INLINE explicit Run(Ensemble& ensemble) : e(ensemble) {
      if (e.N <= 0) return;
      for (int k = 0; k < 3; ++k) {
        Line& l = e.lines[k];
        ClockedLanes<V>& g = lanes[k / kWidth];
        const int i = k % kWidth;
        g.input.load(i, l.in);
        g.output.load(i, l.out);
        g.h0[i] = l.h.v[0], g.h1[i] = l.h.v[1], g.h2[i] = l.h.v[2], g.h3[i] = l.h.v[3];
        g.o0[i] = l.o.v[0], g.o1[i] = l.o.v[1], g.o2[i] = l.o.v[2], g.o3[i] = l.o.v[3];
        g.place(i, l.buf.get(), e.N, l.pos, l.pos);  // the cell read is the one about to be written
        g.phase[i] = l.phase;
        g.step[i] = l.step;
        recip[k / kWidth][i] = l.recip;
      }
      for (ClockedLanes<V>& g : lanes) g.ready();
    }

    // n input samples (n <= kSpan): out[j] for x[j].
    VANTOREL_INLINE void run(const double* x, double* out, int n) {
      if (e.N <= 0) {
        for (int j = 0; j < n; ++j) out[j] = 0.0;
        return;
      }
      V in[kSpan], y[kGroups][kSpan];
      for (int j = 0; j < n; ++j)
#pragma GCC unroll 4
        for (int i = 0; i < kWidth; ++i) in[j][i] = x[j];
#pragma GCC unroll 2
      for (int g = 0; g < kGroups; ++g) lanes[g].template run<true>(in, y[g], n, recip[g], [](V v, V) { return v; });
      for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int k = 0; k < 3; ++k) sum += y[k / kWidth][j][k % kWidth];
        out[j] = sum;
      }
    }

    VANTOREL_INLINE void finish() {
      if (e.N <= 0) return;
      for (int k = 0; k < 3; ++k) {
        Line& l = e.lines[k];
        ClockedLanes<V>& g = lanes[k / kWidth];
        const int i = k % kWidth;
        l.in.setState(g.input.state(i));
        l.out.setState(g.output.state(i));
        l.h.v[0] = g.h0[i], l.h.v[1] = g.h1[i], l.h.v[2] = g.h2[i], l.h.v[3] = g.h3[i];
        l.o.v[0] = g.o0[i], l.o.v[1] = g.o1[i], l.o.v[2] = g.o2[i], l.o.v[3] = g.o3[i];
        l.pos = g.pos[i];
        l.phase = g.phase[i];
      }
    }

  private:
    static constexpr int kWidth = sizeof(V) / sizeof(double);
    static constexpr int kGroups = (3 + kWidth - 1) / kWidth;
    Ensemble& e;
    ClockedLanes<V> lanes[kGroups];
    V recip[kGroups];
  };

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
    History4 h;  // input-filter outputs
    History4 o;  // output-filter outputs
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
