#pragma once

#include <algorithm>
#include <cmath>

#include "filters.h"
#include "hotloop.h"
#include "lanes.h"
#include "span.h"

// Clocked delay lines, shared by the ensemble and the echo. A line is a chain of cells shifted by a clock
// that ticks 1/step times per sample; the audio is resampled into the clock domain and back out of it by
// four-point cubic interpolation, and every cell read passes through a low-pass filter. Several lines run
// side by side in vector lanes, each on its own clock.

// Four-point Catmull-Rom cubic between y1 and y2, with its coefficients computed once for a set of four
// values that is read at several fractions. Works lane by lane on vectors too.
template <class V>
struct CubicOf {
  CubicOf() = default;
  CubicOf(V y0, V y1, V y2, V y3)
      : a(y1), b(0.5 * (y2 - y0)), c(y0 - 2.5 * y1 + 2.0 * y2 - 0.5 * y3), d(1.5 * (y1 - y2) + 0.5 * (y3 - y0)) {}
  // The value at fraction t (0 ... 1).
  V at(V t) const { return a + b * t + c * (t * t) + d * (t * t * t); }

  V a, b, c, d;
};
using Cubic = CubicOf<double>;

inline double cubicInterpolate(double y0, double y1, double y2, double y3, double t) {
  return Cubic(y0, y1, y2, y3).at(t);
}

// Anti-aliasing cutoff of a clocked line: the nominal cutoff, pulled below the Nyquist frequency at very
// low sample rates, where a biquad tuned at or above fs/2 would be unstable. Leaves the cutoff untouched
// wherever it is below fs/2.
inline double clockedLineCutoff(double fc, double fs) { return fc < 0.5 * fs ? fc : 0.45 * fs; }

// The last four values of a signal, oldest first.
struct History4 {
  void push(double x) {
    v[0] = v[1];
    v[1] = v[2];
    v[2] = v[3];
    v[3] = x;
  }
  void clear() { v[0] = v[1] = v[2] = v[3] = 0.0; }

  double v[4] = {0.0, 0.0, 0.0, 0.0};
};

// A biquad low-pass (LowPass::step) in every lane: a NaN or infinite input or result counts as 0.
template <class V>
struct BiquadLanes {
  VANTOREL_INLINE void load(int l, const LowPass& f) {
    const LowPass::Coeffs c = f.coeffs();
    const LowPass::State s = f.state();
    b0[l] = c.b0, b1[l] = c.b1, a1[l] = c.a1, a2[l] = c.a2;
    x1[l] = s.x1, x2[l] = s.x2, y1[l] = s.y1, y2[l] = s.y2;
  }
  VANTOREL_INLINE LowPass::State state(int l) const { return {x1[l], x2[l], y1[l], y2[l]}; }

  VANTOREL_INLINE V step(V x) {
    V y = b0 * (x + x2) + b1 * x1 + a1 * y1 + a2 * y2;
    // A finite result means a finite input (a non-finite one makes the sum non-finite).
    if (laneMask(finiteLanes(y)) != (1 << (sizeof(V) / sizeof(double))) - 1) [[unlikely]] {
      x = finiteLanes(x) ? x : V{};
      y = b0 * (x + x2) + b1 * x1 + a1 * y1 + a2 * y2;
      y = finiteLanes(y) ? y : V{};
    }
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
  // The same for the lanes in m only; the others keep their state.
  template <class M>
  VANTOREL_INLINE V step(V x, M m) {
    const V ox1 = x1, ox2 = x2, oy1 = y1, oy2 = y2;
    const V y = step(x);
    x1 = m ? x1 : ox1;
    x2 = m ? x2 : ox2;
    y1 = m ? y1 : oy1;
    y2 = m ? y2 : oy2;
    return y;
  }

  V b0{}, b1{}, a1{}, a2{};
  V x1{}, x2{}, y1{}, y2{};
};

// Clocked lines run sample by sample, a line in each lane of V that the owner places (the other lanes
// tick on a spare cell of their own with their clock standing still). The owner sets the lanes up, runs
// sample() for every sample on the running state taken out with hot() and put back with keep() (run()
// and runFree() do both themselves over a span), and takes the lanes' state back. Every lane performs
// its own line's operations in its own order.
template <class V>
struct ClockedLanes {
  static constexpr int kLanes = sizeof(V) / sizeof(double);
  using Mask = decltype(V{} < 1.0);

  // Places a line in lane l: its cells, write and read positions.
  VANTOREL_INLINE void place(int l, double* cells, int length, int writePos, int readPos) {
    buf[l] = cells;
    lengths[l] = length;
    pos[l] = writePos;
    rd[l] = readPos;
    live[l] = -1;
  }
  // Lanes without a line: a spare cell each. Then counts how many rounds of ticks a sample takes at
  // most: the smallest clock step's reciprocal, rounded up (a phase starts a sample at 0 or above).
  VANTOREL_INLINE void ready() {
    double smallest = 1.0;
#pragma GCC unroll 4
    for (int l = 0; l < kLanes; ++l) {
      if (live[l]) {
        smallest = step[l] < smallest ? step[l] : smallest;
        continue;
      }
      spare[l] = 0.0;
      buf[l] = &spare[l];
      lengths[l] = 1;
      pos[l] = rd[l] = 0;
      phase[l] = step[l] = 0.0;
    }
    all = laneMask(live);
    rounds = smallest > 0.0 ? static_cast<int>(std::ceil(1.0 / smallest)) : 1;
  }

  // sample() for n samples (n <= kSpan): out[j] for in[j].
  template <bool SameCell, class CellOf>
  VANTOREL_INLINE void run(const V* in, V* out, int n, V recip, CellOf cellOf) {
    Hot t = hot();
    for (int j = 0; j < n; ++j) out[j] = sample<SameCell>(t, in[j], recip, cellOf);
    keep(t);
  }

  // n samples at once (n <= kSpan), for clocks that tick many times per sample. The input filters take
  // in[0 ... n-1] first; then each lane runs on its own clock through the span, ending its samples as it
  // gets to them, so no lane waits for another (a lane through with its n samples rests on a short
  // line of its own until all are through). out[j] receives what sample() returns for sample j; the
  // lanes' operations are those of sample(), in the same order.
  template <class CellOf>
  VANTOREL_INLINE void runFree(const V* in, V* out, int n, V recip, CellOf cellOf) {
    if (n <= 0) return;
    CubicOf<V> inputs[kSpan];
    for (int j = 0; j < n; ++j) {
      h0 = h1;
      h1 = h2;
      h2 = h3;
      h3 = input.step(in[j]);
      inputs[j] = CubicOf<V>(h0, h1, h2, h3);
    }
    constexpr int kIdle = 16;
    double idle[kLanes][kIdle];
    double aside[kLanes];
    int sample[kLanes];
    // Between wraps every lane's positions move back together: they are held as fixed bases and one
    // shared count k (0, -1, -2, ...) that may go down to -room before some position wraps.
    double* wb[kLanes];
    const double* rb[kLanes];
    long k = 0, room = 0;
    auto settle = [&]() {
#pragma GCC unroll 4
      for (int l = 0; l < kLanes; ++l) {
        pos[l] += static_cast<int>(k);
        rd[l] += static_cast<int>(k);
      }
      k = 0;
    };
    auto window = [&]() {
      room = lengths[0];
#pragma GCC unroll 4
      for (int l = 0; l < kLanes; ++l) {
        // A position at 0 moves to the end of its line with the next tick.
        if (pos[l] == 0) pos[l] = lengths[l];
        if (rd[l] == 0) rd[l] = lengths[l];
        wb[l] = buf[l] + pos[l];
        rb[l] = buf[l] + rd[l];
        room = std::min<long>(room, std::min(pos[l], rd[l]));
      }
      k = 0;
    };
    // The state a lane leaves the span with, saved when it is through.
    struct Saved {
      LowPass::State filter;
      double o[4];
      double phase;
      double* buf;
      int length, pos, rd;
    } saved[kLanes] = {};
    Hot t = hot();
    auto save = [&](int l, const V& ph) {
      settle();
      saved[l] = {t.output.state(l), {t.o0[l], t.o1[l], t.o2[l], t.o3[l]}, ph[l], buf[l], lengths[l], pos[l], rd[l]};
    };
    auto rest = [&](int l, V& ph, V& st) {
      for (double& c : idle[l]) c = 0.0;
      buf[l] = idle[l];
      lengths[l] = kIdle;
      pos[l] = rd[l] = 0;
      ph[l] = 0.0;
      st[l] = 0.0;
      sample[l] = n;
    };
    V ph = phase, st = step;
    CubicOf<V> cur = inputs[0];
    int running = 0;
#pragma GCC unroll 4
    for (int l = 0; l < kLanes; ++l) {
      sample[l] = 0;
      if (live[l])
        ++running;
      else
        rest(l, ph, st);
    }
    window();
    for (;;) {
      // End the samples whose ticks are over (a step above 1 can leave a sample without a tick), all
      // lanes at once: a lane that ends none writes its output aside and keeps its input.
      for (Mask over = (ph >= 1.0) & live; laneMask(over); over = (ph >= 1.0) & live) {
        ph = over ? ph - 1.0 : ph;
        const V o = CubicOf<V>(t.o0, t.o1, t.o2, t.o3).at(1.0 - ph * recip);
        int through = 0;
#pragma GCC unroll 4
        for (int l = 0; l < kLanes; ++l) {
          const int ends = over[l] != 0;
          *(ends ? &out[sample[l]][l] : &aside[l]) = o[l];
          sample[l] += ends;
          through |= (ends && sample[l] == n) << l;
        }
        if (through) [[unlikely]] {
#pragma GCC unroll 4
          for (int l = 0; l < kLanes; ++l) {
            if (!(through & (1 << l))) continue;
            save(l, ph);
            rest(l, ph, st);
            window();
            live[l] = 0;
            --running;
          }
        }
#pragma GCC unroll 4
        for (int l = 0; l < kLanes; ++l) {
          const CubicOf<V>& next = inputs[std::min(sample[l], n - 1)];
          cur.a[l] = next.a[l];
          cur.b[l] = next.b[l];
          cur.c[l] = next.c[l];
          cur.d[l] = next.d[l];
        }
      }
      if (running == 0) break;
      do {
        if (k == -room) [[unlikely]] {
          settle();
          window();
        }
        --k;
        const V v = cur.at(ph);
        V x{};
#pragma GCC unroll 4
        for (int l = 0; l < kLanes; ++l) x[l] = rb[l][k];
        const V y = t.output.step(x);
        t.push(y);
        const V cell = cellOf(v, y);
#pragma GCC unroll 4
        for (int l = 0; l < kLanes; ++l) wb[l][k] = cell[l];
        ph = ph + st;
      } while (!laneMask((ph >= 1.0) & live));
    }
    // Every lane's state as it was when the lane got through.
    keep(t);
#pragma GCC unroll 4
    for (int l = 0; l < kLanes; ++l) {
      if (!(all & (1 << l))) continue;
      const Saved& v = saved[l];
      output.x1[l] = v.filter.x1, output.x2[l] = v.filter.x2, output.y1[l] = v.filter.y1, output.y2[l] = v.filter.y2;
      o0[l] = v.o[0], o1[l] = v.o[1], o2[l] = v.o[2], o3[l] = v.o[3];
      phase[l] = v.phase;
      buf[l] = v.buf;
      lengths[l] = v.length;
      pos[l] = v.pos == v.length ? 0 : v.pos;
      rd[l] = v.rd == v.length ? 0 : v.rd;
      live[l] = -1;
    }
  }

  BiquadLanes<V> input, output;
  V h0{}, h1{}, h2{}, h3{};  // input history, oldest first
  V o0{}, o1{}, o2{}, o3{};  // output history
  V phase{}, step{};
  double* buf[kLanes];
  int lengths[kLanes];
  int pos[kLanes];
  int rd[kLanes];
  Mask live{};
  double spare[kLanes];
  int all = 0;     // lanes with lines, a bit each
  int rounds = 1;  // the most rounds of ticks in a sample

  // What samples change, held in locals while they run: the cells written could otherwise be these
  // members as far as the compiler knows.
  struct Hot {
    V phase, step;
    V h0, h1, h2, h3;
    V o0, o1, o2, o3;
    BiquadLanes<V> input, output;
    // The output history moves on by one tick's value.
    VANTOREL_INLINE void push(V y) {
      o0 = o1;
      o1 = o2;
      o2 = o3;
      o3 = y;
    }
  };
  // The state that samples change, taken out for a run of samples and put back after it.
  VANTOREL_INLINE Hot hot() const { return {phase, step, h0, h1, h2, h3, o0, o1, o2, o3, input, output}; }
  VANTOREL_INLINE void keep(const Hot& t) {
    phase = t.phase;
    h0 = t.h0, h1 = t.h1, h2 = t.h2, h3 = t.h3;
    o0 = t.o0, o1 = t.o1, o2 = t.o2, o3 = t.o3;
    input = t.input;
    output = t.output;
  }

  // One sample, on state t taken out with hot(): the input filters take x; every lane ticks while its
  // phase is below 1 (all lanes together while all are below 1, then the rest while the others wait);
  // the phases go down by 1. A tick moves the lane's write and read positions back by one, passes the
  // cell read through the output filter into the output history and writes cellOf(v, y) for the input
  // interpolated at the tick's phase v and the filtered y; with SameCell the read position is the write
  // position. Returns every lane's output history read at 1 - phase * recip.
  template <bool SameCell, class CellOf>
  VANTOREL_INLINE V sample(Hot& t, V x, V recip, CellOf cellOf) {
    t.h0 = t.h1;
    t.h1 = t.h2;
    t.h2 = t.h3;
    t.h3 = t.input.step(x);
    const CubicOf<V> cur(t.h0, t.h1, t.h2, t.h3);
    // A lane ticks at most `rounds` times in a sample. All rounds but the last are nearly always rounds
    // of every lane; the last is a round of some lanes, masked without a branch, so that how many ticks
    // a lane takes does not steer the program.
    for (int k = rounds; k > 1; --k) {
      const Mask m = (t.phase < 1.0) & live;
      if (laneMask(m) == all)
        tick<SameCell, false>(t, cur, m, cellOf);
      else
        tick<SameCell, true>(t, cur, m, cellOf);
    }
    tick<SameCell, true>(t, cur, (t.phase < 1.0) & live, cellOf);
    for (Mask m = (t.phase < 1.0) & live; laneMask(m); m = (t.phase < 1.0) & live) [[unlikely]]
      tick<SameCell, true>(t, cur, m, cellOf);
    t.phase = t.phase - 1.0;
    return CubicOf<V>(t.o0, t.o1, t.o2, t.o3).at(1.0 - t.phase * recip);
  }

 private:
  // One tick of the lanes in m, or of all lanes if not Masked (unused ones on their spare cell).
  template <bool SameCell, bool Masked, class CellOf>
  VANTOREL_INLINE void tick(Hot& t, const CubicOf<V>& cur, Mask m, CellOf cellOf) {
    const V v = cur.at(t.phase);
    V x{};
    double* w[kLanes];
#pragma GCC unroll 4
    for (int l = 0; l < kLanes; ++l) {
      const bool ticks = !Masked || m[l] != 0;
      const int p = (pos[l] > 0 ? pos[l] : lengths[l]) - 1;
      pos[l] = ticks ? p : pos[l];
      if (!SameCell) {
        const int r = (rd[l] > 0 ? rd[l] : lengths[l]) - 1;
        rd[l] = ticks ? r : rd[l];
      }
      x[l] = buf[l][SameCell ? pos[l] : rd[l]];
      w[l] = ticks ? &buf[l][pos[l]] : &spare[l];
    }
    V y;
    if (Masked) {
      y = t.output.step(x, m);
      t.o0 = m ? t.o1 : t.o0;
      t.o1 = m ? t.o2 : t.o1;
      t.o2 = m ? t.o3 : t.o2;
      t.o3 = m ? y : t.o3;
    } else {
      y = t.output.step(x);
      t.push(y);
    }
    const V cell = cellOf(v, y);
#pragma GCC unroll 4
    for (int l = 0; l < kLanes; ++l) *w[l] = cell[l];
    t.phase = Masked ? (m ? t.phase + t.step : t.phase) : t.phase + t.step;
  }
};
