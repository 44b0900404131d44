#pragma once

#include <memory>

#include "ensemble.h"
#include "filters.h"
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
    else {
      if (!(stepR_ > 0.0)) return;
      s.left = dry * s.left + wet * runLine(s.left, inL, outL, hInL, hOutL, bufL.get(), posL, phaseL, stepL_, recipL);
      s.right = dry * s.right + wet * runLine(s.right, inR, outR, hInR, hOutR, bufR.get(), posR, phaseR, stepR_, recipR);
    }
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
  static double clamp3(double r) { return r < -3.0 ? -3.0 : (r > 3.0 ? 3.0 : r); }
  int readPos(int pos) const {
    const int p = pos + readOff;
    return p >= N ? p - N : p;
  }

  double runLine(double x, LowPass& fin, LowPass& fout, double* hin, double* hout, double* buf, int& posRef,
                 double& phaseRef, double step, double recip) {
    push(hin, fin.process(x));
    double phase = phaseRef;
    int pos = posRef;
    while (phase < 1.0) {
      pos = pos > 0 ? pos - 1 : N - 1;
      const double v = cubicInterpolate(hin[0], hin[1], hin[2], hin[3], phase);
      const double r = fout.process(buf[readPos(pos)]);
      push(hout, r);
      buf[pos] = v + feedback * clamp3(r);
      phase = phase + step;
    }
    phase = phase - 1.0;
    phaseRef = phase;
    posRef = pos;
    return cubicInterpolate(hout[0], hout[1], hout[2], hout[3], 1.0 - phase * recip);
  }

  void processPingPong(Signal& s) {
    push(hInL, inL.process(s.left));
    push(hInR, inR.process(s.right));
    double* const bl = bufL.get();
    double* const br = bufR.get();
    double phase = phaseL;
    int pos = posL;
    while (phase < 1.0) {
      pos = pos > 0 ? pos - 1 : N - 1;
      const double vL = cubicInterpolate(hInL[0], hInL[1], hInL[2], hInL[3], phase);
      const double vR = cubicInterpolate(hInR[0], hInR[1], hInR[2], hInR[3], phase);
      const int rp = readPos(pos);
      const double rL = outL.process(bl[rp]);
      const double rR = outR.process(br[rp]);
      push(hOutL, rL);
      push(hOutR, rR);
      bl[pos] = vL + feedback * clamp3(rR);
      br[pos] = vR + feedback * clamp3(rL);
      phase = phase + stepL_;
    }
    phase = phase - 1.0;
    phaseL = phase;
    posL = pos;
    const double t = 1.0 - phase * recipL;
    const double pL = cubicInterpolate(hOutL[0], hOutL[1], hOutL[2], hOutL[3], t);
    const double pR = cubicInterpolate(hOutR[0], hOutR[1], hOutR[2], hOutR[3], t);
    s.left = dry * s.left + wet * pR;
    s.right = dry * s.right + wet * pL;
  }

  LowPass inL, inR, outL, outR;
  double hInL[4] = {0.0, 0.0, 0.0, 0.0};
  double hInR[4] = {0.0, 0.0, 0.0, 0.0};
  double hOutL[4] = {0.0, 0.0, 0.0, 0.0};
  double hOutR[4] = {0.0, 0.0, 0.0, 0.0};
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
