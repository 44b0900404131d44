#include "ensemble.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

Ensemble::Ensemble()
    : centre{0.5, 0.5, 0.5},
      depthA(0.03),
      depthB(0.01),
      fs(std::numeric_limits<double>::quiet_NaN()) {
  lfoA.setSampleRate(1000.0);
  lfoA.setSpeed(0.13);
  lfoB.setSampleRate(1000.0);
  lfoB.setSpeed(0.13);
  init(44100.0);
}

void Ensemble::init(double rate) {
  if (rate != fs || std::isnan(rate) || std::isnan(fs)) {
    fs = rate;
    // 20 ms of cells; rates that give no cell (or no number) leave the ensemble silent.
    const double cells = rate * 0.02;
    N = (cells >= 1.0 && cells < 1.0e9) ? static_cast<int>(cells) : 0;
    const double fc = clockedLineCutoff(4500.0, rate);
    for (Line& l : lines) {
      l.buf.reset();
      if (N > 0) {
        l.buf.reset(new (std::nothrow) double[N]);
        if (!l.buf) N = 0;
      }
      l.in.setSampleRate(rate);
      l.in.setCutoff(fc);
      l.out.setSampleRate(rate);
      l.out.setCutoff(fc);
      l.phase = 0.0;
      l.step = 1.0;
      l.recip = 1.0;
      l.pos = 0;
    }
    if (N == 0)
      for (Line& l : lines) l.buf.reset();
  }
  emptyLines();
  update();
}

void Ensemble::clear() { emptyLines(); }

void Ensemble::emptyLines() {
  for (Line& l : lines) {
    if (N > 0 && l.buf) std::fill(l.buf.get(), l.buf.get() + N, 0.0);
    l.in.clear();
    l.out.clear();
    l.h.clear();
    l.o.clear();
  }
}

void Ensemble::update() {
  lfoA.update();
  lfoB.update();
  for (int k = 0; k < 3; ++k) {
    const unsigned char kk = static_cast<unsigned char>(k);
    double d = centre[k] - (lfoA.getSin(kk) + 0.5) * depthA - (lfoB.getSin(kk) + 0.5) * depthB;
    // Clamp to 0 ... 1; a NaN sweep also lands on 0 so the clock keeps running.
    d = d > 1.0 ? 1.0 : (d >= 0.0 ? d : 0.0);
    lines[k].step = 0.875 * d + 0.125;
    lines[k].recip = 1.0 / lines[k].step;
  }
}

namespace {
template <class V>
VANTOREL_INLINE void runSpan(Ensemble& e, const double* x, double* out, int n) {
  Ensemble::Run<V> run(e);
  for (int j = 0; j < n; j += kSpan) run.run(x + j, out + j, std::min(kSpan, n - j));
  run.finish();
}
}  // namespace

VANTOREL_NARROW void Ensemble::processSpan(const double* x, double* out, int n) { runSpan<v2d>(*this, x, out, n); }
#ifdef VANTOREL_WIDE
VANTOREL_WIDE void Ensemble::processSpan(const double* x, double* out, int n) { runSpan<v4d>(*this, x, out, n); }
#endif
