#pragma once

#include <algorithm>
#include <memory>

#include "ensemble.h"
#include "filters.h"
#include "hotloop.h"
#include "lfo.h"
#include "signal.h"

// Tempo note values for the synced delay, in quarter notes ("2/1" ... "1/64").
extern const double syncRate[20];

// Stereo echo built as two clocked lines of N cells (1.2 s of samples). The
// delay time is set by the clock rate; a slow LFO can bend the two clocks in
// opposite directions, and the lines can run cross-coupled as a ping-pong echo.
class BBDDelay {
public:
  // Smallest clock step: at most this many ticks per sample and channel.
  static constexpr int kMaxTicks = 256;
  static constexpr double kMinStep = 1.0 / kMaxTicks;

  BBDDelay();
  BBDDelay(const BBDDelay&) = delete;
  BBDDelay& operator=(const BBDDelay&) = delete;

  // Reallocates and empties the lines; the clocks stop until the next update().
  void setSampleRate(double fs);
  // One control tick: time is the "Delay: Time" value 0 ... 1, tempo in BPM.
  void update(double time, double tempo);
  // Equal-power crossfade between dry (m = 0) and wet (m = 1).
  void setMix(double m);
  void clearDelayLine();
  void cleanUp();

  void process(Signal& s) {
    // No lines, or clocks not yet started by update(): leave the signal alone.
    if (N <= 0 || !bufL || !bufR || !(stepL_ > 0.0)) return;
    if (pingPongOn)
      processPingPong(s);
    else if (stepR_ > 0.0)
      processSideBySide(s);
  }

  int length() const { return N; }
  int readOffset() const { return readOff; }
  double stepLeft() const { return stepL_; }
  double stepRight() const { return stepR_; }
  int writePosLeft() const { return posL; }
  int writePosRight() const { return posR; }

  LFO vibeLfo;  // one step per control tick
  double feedback = 0.0;
  double vibeDepth = 0.02;
  bool doubleOn = false;
  bool syncOn = false;
  bool vibeOn = false;
  bool pingPongOn = false;

private:
  static void push(double* h, double v) {
    h[0] = h[1];
    h[1] = h[2];
    h[2] = h[3];
    h[3] = v;
  }
  // r limited to -3 ... 3 (NaN passes through); min/max compile to two
  // branch-free instructions.
  static double clamp3(double r) { return std::max(std::min(r, 3.0), -3.0); }

  // A line's output at fraction t between its last two output values.
  static double output(const History4& h, double t) {
    return cubicInterpolate(h.value(0), h.value(1), h.value(2), h.value(3), t);
  }

  // A whole clock tick of a line that feeds back its own output.
  static void tick(ClockedLane& l, int n, double fb) {
    const double v = l.in.at(l.phase);
    const double r = l.read(n);
    l.buf[l.pos] = v + fb * clamp3(r);
    l.phase = l.phase + l.step;
  }

  // Independent left and right lines. Their tick loops share nothing, so they
  // run interleaved while both still tick, then each finishes on its own;
  // every line's own operations keep their order.
  VANTOREL_NO_SLP void processSideBySide(Signal& s) {
    const int n = N, off = readOff;
    const double fb = feedback;
    push(hInL, inL.process(s.left));
    push(hInR, inR.process(s.right));
    ClockedLane a(outL, hInL, hOutL, bufL.get(), n, off, posL, phaseL, stepL_);
    ClockedLane b(outR, hInR, hOutR, bufR.get(), n, off, posR, phaseR, stepR_);
    while (a.phase < 1.0 && b.phase < 1.0) {
      tick(a, n, fb);
      tick(b, n, fb);
    }
    while (a.phase < 1.0) tick(a, n, fb);
    while (b.phase < 1.0) tick(b, n, fb);
    a.phase = a.phase - 1.0;
    b.phase = b.phase - 1.0;
    a.store(outL, hOutL);
    b.store(outR, hOutR);
    posL = a.pos;
    posR = b.pos;
    phaseL = a.phase;
    phaseR = b.phase;
    const double yL = output(hOutL, 1.0 - a.phase * recipL);
    const double yR = output(hOutR, 1.0 - b.phase * recipR);
    s.left = dry * s.left + wet * yL;
    s.right = dry * s.right + wet * yR;
  }

  // Cross-coupled lines on one clock (the left one's), outputs swapped.
  VANTOREL_NO_SLP void processPingPong(Signal& s) {
    const int n = N, off = readOff;
    const double fb = feedback;
    push(hInL, inL.process(s.left));
    push(hInR, inR.process(s.right));
    ClockedLane a(outL, hInL, hOutL, bufL.get(), n, off, posL, phaseL, stepL_);
    ClockedLane b(outR, hInR, hOutR, bufR.get(), n, off, posL, phaseL, stepL_);
    while (a.phase < 1.0) {
      const double vL = a.in.at(a.phase);
      const double vR = b.in.at(a.phase);
      const double rL = a.read(n);
      const double rR = b.read(n);
      a.buf[a.pos] = vL + fb * clamp3(rR);
      b.buf[b.pos] = vR + fb * clamp3(rL);
      a.phase = a.phase + a.step;
    }
    a.phase = a.phase - 1.0;
    a.store(outL, hOutL);
    b.store(outR, hOutR);
    phaseL = a.phase;
    posL = a.pos;
    const double t = 1.0 - a.phase * recipL;
    const double pL = output(hOutL, t);
    const double pR = output(hOutR, t);
    s.left = dry * s.left + wet * pR;
    s.right = dry * s.right + wet * pL;
  }

  LowPass inL, inR, outL, outR;
  double hInL[4] = {0.0, 0.0, 0.0, 0.0};
  double hInR[4] = {0.0, 0.0, 0.0, 0.0};
  History4 hOutL, hOutR;
  std::unique_ptr<double[]> bufL, bufR;
  int N = 0;
  int posL = 0, posR = 0;
  int readOff = 0;
  double phaseL = 0.0, phaseR = 0.0;
  double stepL_ = 0.0, stepR_ = 0.0;
  double recipL = 1.0, recipR = 1.0;
  double dry = 1.0, wet = 0.0;
  double lastTempo = 120.0;  // last usable host tempo, used while the host reports none
};
