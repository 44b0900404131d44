#pragma once

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "clocked.h"
#include "lanes.h"
#include "filters.h"
#include "hotloop.h"
#include "lfo.h"
#include "stereo_signal.h"

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

  // Lines of 1.2 s at the new rate, emptied; the clocks stop until the next update().
  void setSampleRate(double fs);
  // One control tick: time is the "Delay: Time" value 0 ... 1, tempo in BPM.
  void update(double time, double tempo);
  // Equal-power crossfade between dry (m = 0) and wet (m = 1).
  void setMix(double m);
  void clearDelayLine();
  void cleanUp();

  // n samples of both channels in place, one after the other.
  void processSpan(double* left, double* right, int n);
  void process(Signal& s) { processSpan(&s.left, &s.right, 1); }

  // The delay over a span, sample by sample, with both lines side by side in the lanes of one vector (on
  // the left clock, and writing each other's output back, with ping-pong on). Takes the delay's state;
  // finish() hands it back.
  class Run {
  public:
    VANTOREL_INLINE explicit Run(BBDDelay& delay) : d(delay) {
      // No lines, or clocks not yet started by update(): the signal passes unchanged.
      mode = d.N <= 0 || !d.bufL || !d.bufR || !(d.stepL_ > 0.0) ? kOff
             : d.pingPongOn                                        ? kPingPong
             : d.stepR_ > 0.0                                      ? kSideBySide
                                                                   : kOff;
      if (mode == kOff) return;
      const bool pingPong = mode == kPingPong;
      lanes.input.load(0, d.inL);
      lanes.input.load(1, d.inR);
      lanes.output.load(0, d.outL);
      lanes.output.load(1, d.outR);
      lanes.h0 = v2d{d.hInL[0], d.hInR[0]};
      lanes.h1 = v2d{d.hInL[1], d.hInR[1]};
      lanes.h2 = v2d{d.hInL[2], d.hInR[2]};
      lanes.h3 = v2d{d.hInL[3], d.hInR[3]};
      lanes.o0 = v2d{d.hOutL.v[0], d.hOutR.v[0]};
      lanes.o1 = v2d{d.hOutL.v[1], d.hOutR.v[1]};
      lanes.o2 = v2d{d.hOutL.v[2], d.hOutR.v[2]};
      lanes.o3 = v2d{d.hOutL.v[3], d.hOutR.v[3]};
      const int start[2] = {d.posL, pingPong ? d.posL : d.posR};
      double* const line[2] = {d.bufL.get(), d.bufR.get()};
      for (int l = 0; l < 2; ++l) {
        const int r = start[l] + d.readOff;
        lanes.place(l, line[l], d.N, start[l], r >= d.N ? r - d.N : r);
      }
      lanes.phase = v2d{d.phaseL, pingPong ? d.phaseL : d.phaseR};
      lanes.step = v2d{d.stepL_, pingPong ? d.stepL_ : d.stepR_};
      recip = v2d{d.recipL, pingPong ? d.recipL : d.recipR};
      fb = v2d{d.feedback, d.feedback};
      lanes.ready();
    }

    // Whether the clocks are fast enough (several ticks per sample) to run free over a whole span.
    bool runsFree() const { return mode != kOff && lanes.rounds >= kFreeRounds; }

    // n samples in place (n <= kSpan). Clocks that tick several times per sample run free through the
    // span; slower ones keep to the samples together.
    VANTOREL_INLINE void run(double* left, double* right, int n) {
      if (mode == kOff) return;
      v2d in[kSpan], y[kSpan];
      for (int j = 0; j < n; ++j) in[j] = v2d{left[j], right[j]};
      const v2d f = fb;
      auto straight = [f](v2d v, v2d r) { return v + f * clamp3(r); };
      auto crossed = [f](v2d v, v2d r) { return v + f * clamp3(v2d{r[1], r[0]}); };
      const bool free = lanes.rounds >= kFreeRounds;
      if (mode == kPingPong) {
        if (free)
          lanes.runFree(in, y, n, recip, crossed);
        else
          lanes.template run<false>(in, y, n, recip, crossed);
      } else {
        if (free)
          lanes.runFree(in, y, n, recip, straight);
        else
          lanes.template run<false>(in, y, n, recip, straight);
      }
      const int l = mode == kPingPong ? 1 : 0;
      for (int j = 0; j < n; ++j) {
        left[j] = d.dry * left[j] + d.wet * y[j][l];
        right[j] = d.dry * right[j] + d.wet * y[j][1 - l];
      }
    }

    // What samples change, taken out for a run of sample() calls and handed back with end(). A local of
    // the caller's: the cells that ticks write can then be nothing of it.
    using Running = typename ClockedLanes<v2d>::Hot;
    VANTOREL_INLINE Running begin() const { return lanes.hot(); }
    VANTOREL_INLINE void end(const Running& t) { lanes.keep(t); }

    // One stereo sample in place, between begin() and end().
    VANTOREL_INLINE void sample(Running& t, double& left, double& right) {
      if (mode == kOff) return;
      const v2d in{left, right};
      const v2d f = fb;
      if (mode == kPingPong) {
        const v2d y = lanes.template sample<false>(t, in, recip, [f](v2d v, v2d r) { return v + f * clamp3(v2d{r[1], r[0]}); });
        left = d.dry * left + d.wet * y[1];
        right = d.dry * right + d.wet * y[0];
      } else {
        const v2d y = lanes.template sample<false>(t, in, recip, [f](v2d v, v2d r) { return v + f * clamp3(r); });
        left = d.dry * left + d.wet * y[0];
        right = d.dry * right + d.wet * y[1];
      }
    }

    VANTOREL_INLINE void finish() {
      if (mode == kOff) return;
      d.inL.setState(lanes.input.state(0));
      d.inR.setState(lanes.input.state(1));
      d.outL.setState(lanes.output.state(0));
      d.outR.setState(lanes.output.state(1));
      const v2d h[4] = {lanes.h0, lanes.h1, lanes.h2, lanes.h3};
      const v2d o[4] = {lanes.o0, lanes.o1, lanes.o2, lanes.o3};
      for (int k = 0; k < 4; ++k) {
        d.hInL[k] = h[k][0], d.hInR[k] = h[k][1];
        d.hOutL.v[k] = o[k][0], d.hOutR.v[k] = o[k][1];
      }
      d.phaseL = lanes.phase[0];
      d.posL = lanes.pos[0];
      if (mode == kSideBySide) {
        d.phaseR = lanes.phase[1];
        d.posR = lanes.pos[1];
      }
    }

  private:
    // r limited to -3 ... 3 lane by lane (NaN passes through).
    VANTOREL_INLINE static v2d clamp3(v2d r) { return maxLanes(minLanes(r, v2d{3.0, 3.0}), v2d{-3.0, -3.0}); }

    static constexpr int kFreeRounds = 4;
    enum Mode { kOff, kSideBySide, kPingPong };
    BBDDelay& d;
    Mode mode;
    ClockedLanes<v2d> lanes;
    v2d recip, fb;
  };

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
  // Sets N and makes lines of N zeros (keeping lines of that length as they are).
  void setRate(double fs);

  struct FreeCells {
    void operator()(double* p) const { std::free(p); }
  };

  LowPass inL, inR, outL, outR;
  double hInL[4] = {0.0, 0.0, 0.0, 0.0};
  double hInR[4] = {0.0, 0.0, 0.0, 0.0};
  History4 hOutL, hOutR;
  std::unique_ptr<double[], FreeCells> bufL, bufR;
  int N = 0;
  int posL = 0, posR = 0;
  int readOff = 0;
  double phaseL = 0.0, phaseR = 0.0;
  double stepL_ = 0.0, stepR_ = 0.0;
  double recipL = 1.0, recipR = 1.0;
  double dry = 1.0, wet = 0.0;
  double lastTempo = 120.0;  // last usable host tempo, used while the host reports none
};
