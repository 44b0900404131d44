#include "bbddelay.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "pages.h"

const double syncRate[20] = {
    8.0, 6.0,   4.0,       3.0,  2.0,    1.5,       4.0 / 3.0, 1.0,     0.75,       2.0 / 3.0,
    0.5, 0.375, 1.0 / 3.0, 0.25, 0.1875, 1.0 / 6.0, 0.125,     0.09375, 1.0 / 12.0, 0.0625,
};

BBDDelay::BBDDelay() {
  // Lines for 44.1 kHz whose zero pages are not touched yet: an instance that a host only looks at
  // (a plug-in scan) never pays for filling them; the owner's setSampleRate does.
  setRate(44100.0);
  vibeLfo.setSampleRate(1000.0);
  vibeLfo.setSpeed(0.02);
}

void BBDDelay::setSampleRate(double fs) {
  const double* const before = bufL.get();
  setRate(fs);
  // The lines' pages in now rather than on the audio thread. New lines are empty already (calloc) and
  // need only their pages; kept ones are emptied, and where the system cannot bring pages in at once,
  // emptying brings them in.
  const bool fresh = bufL.get() != before;
  if (N > 0 && bufL && bufR && fresh && prefaultPages(bufL.get(), N * sizeof(double)) &&
      prefaultPages(bufR.get(), N * sizeof(double)))
    return;
  clearDelayLine();
}

void BBDDelay::setRate(double fs) {
  // 1.2 s of cells; rates that give no cell (or no number) leave the signal unchanged.
  const double cells = 1200.0 * fs / 1000.0;
  const int n = (cells >= 1.0 && cells < 1.0e9) ? static_cast<int>(cells) : 0;
  if (n != N || !bufL || !bufR) {  // lines of the same length are kept (and emptied by the caller)
    bufL.reset();
    bufR.reset();
    N = n;
    if (N > 0) {
      bufL.reset(static_cast<double*>(std::calloc(N, sizeof(double))));
      bufR.reset(static_cast<double*>(std::calloc(N, sizeof(double))));
      if (!bufL || !bufR) {
        bufL.reset();
        bufR.reset();
        N = 0;
      }
    }
  }
  // A half-line offset stays a half-line offset of the new length, so it always indexes inside the line.
  if (readOff != 0) readOff = N / 2;
  posL = posR = 0;
  phaseL = phaseR = 0.0;
  stepL_ = stepR_ = 0.0;
  recipL = recipR = 1.0;
  const double fc = clockedLineCutoff(6000.0, fs);
  for (LowPass* f : {&inL, &inR, &outL, &outR}) {
    f->setSampleRate(fs);
    f->setCutoff(fc);
  }
}

void BBDDelay::update(double time, double tempo) {
  double a, c;
  if (syncOn) {
    // A tempo of 0, below 0, infinite or not a number would make the note length loops
    // below run for ever: keep the last usable tempo instead.
    const double beat = 60000.0 / tempo;
    if (beat > 0.0 && std::isfinite(beat)) lastTempo = tempo;
    double r = std::round((1.0 - time) * 19.0);
    if (!(r >= 0.0)) r = 0.0;
    if (r > 19.0) r = 19.0;
    double e = 60000.0 / lastTempo * syncRate[static_cast<int>(r)];
    while (e > 1200.0) e = e * 0.5;
    if (e < 75.0) {
      readOff = N / 2;
      while (e < 37.5) e = e * 2.0;
      a = (e - 37.5) / (600.0 - 37.5);
    } else {
      readOff = 0;
      a = (e - 75.0) / (1200.0 - 75.0);
    }
    c = 0.0625;
  } else {
    readOff = doubleOn ? 0 : N / 2;
    a = time;
    c = 0.125;
  }
  vibeLfo.update();
  const double v = vibeOn ? vibeDepth * vibeLfo.getSin(0) : 0.0;

  // Clock floor. In sync mode with the largest vibe depth and short notes the
  // formula's step passes through 0 (down to -0.03125), where the tick loop would
  // never end, and just above 0 it asks for an unbounded number of ticks. Steps
  // below kMinStep (1/256: at most 256 ticks per sample and channel, a delay of at
  // least 4.7 ms on the full line, 2.3 ms on the half line) are held at kMinStep;
  // every step at or above it is the formula's value. Free mode never gets there
  // (its smallest step is 0.0375); a NaN step lands on the floor too.
  stepL_ = (a + v) * (1.0 - c) + c;
  if (!(stepL_ >= kMinStep)) stepL_ = kMinStep;
  recipL = 1.0 / stepL_;
  if (pingPongOn) {
    phaseR = phaseL;
    stepR_ = stepL_;
    recipR = recipL;
  } else {
    stepR_ = (a - v) * (1.0 - c) + c;
    if (!(stepR_ >= kMinStep)) stepR_ = kMinStep;
    recipR = 1.0 / stepR_;
  }
}

void BBDDelay::setMix(double m) {
  dry = std::sqrt(1.0 - m);
  wet = std::sqrt(m);
}

void BBDDelay::clearDelayLine() {
  if (N > 0 && bufL && bufR) {
    std::fill(bufL.get(), bufL.get() + N, 0.0);
    std::fill(bufR.get(), bufR.get() + N, 0.0);
  }
}

void BBDDelay::cleanUp() {
  bufL.reset();
  bufR.reset();
}

VANTOREL_HOT void BBDDelay::processSpan(double* left, double* right, int n) {
  Run run(*this);
  for (int j = 0; j < n; j += kSpan) run.run(left + j, right + j, std::min(kSpan, n - j));
  run.finish();
}
