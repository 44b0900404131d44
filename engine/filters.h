#pragma once

#include <cmath>

// Second-order low-pass (cookbook biquad, direct form I) for the effects'
// anti-aliasing and smoothing filters. Outputs silence until given a cutoff.
class LowPass {
public:
  void setSampleRate(double fs);
  void setCutoff(double fc);
  void setQ(double q);
  void calcCoeffs();
  void clear() { x1 = x2 = y1 = y2 = 0.0; }

  // Coefficients and recursion state, for loops that keep a filter in
  // registers: copy them out, run step(), put the state back.
  struct Coeffs {
    double b0, b1, a1, a2;
  };
  struct State {
    double x1, x2, y1, y2;
  };
  Coeffs coeffs() const { return {b0, b1, a1, a2}; }
  State state() const { return {x1, x2, y1, y2}; }
  void setState(const State& s) {
    x1 = s.x1;
    x2 = s.x2;
    y1 = s.y1;
    y2 = s.y2;
  }

  // One sample. A NaN or infinite input or result counts as 0, so one bad
  // sample cannot lock the section into NaN or +-inf for ever.
  static double step(const Coeffs& c, State& s, double x) {
    if (!std::isfinite(x)) [[unlikely]]
      x = badSample();
    double y = c.b0 * (x + s.x2) + c.b1 * s.x1 + c.a1 * s.y1 + c.a2 * s.y2;
    // A (predicted) branch rather than a select keeps the check off the
    // recursion's dependency chain; the out-of-line call keeps the compiler
    // from turning it into a select.
    if (!std::isfinite(y)) [[unlikely]]
      y = badSample();
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
  }

  double process(double x) {
    State s{x1, x2, y1, y2};
    const double y = step(Coeffs{b0, b1, a1, a2}, s, x);
    setState(s);
    return y;
  }

private:
  [[gnu::noinline, gnu::cold]] static double badSample();  // returns 0

  double w = 0.0;
  double Q = 0.7071067811865476;
  double fs = 44100.0;
  double a1 = 0.0;  // for y[n-1]
  double a2 = 0.0;  // for y[n-2]
  double b0 = 0.0;  // for x[n] and x[n-2]
  double b1 = 0.0;  // for x[n-1]
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

// One-pole low-pass; base of HP6, which differs only in its coefficient.
// process() is shared: callers that know the type may call LP6::process directly.
class LP6 {
public:
  virtual double process(double x) {
    y = g * x + p * y;
    return y;
  }
  virtual void setCutoff(double fc);
  void setSampleRate(double fs) {
    y = 0.0;
    T = 1.0 / fs;
    setCutoff(fc);
  }
  double pole() const { return p; }
  double gain() const { return g; }

protected:
  double T = 1.0;
  double g = 0.0;
  double p = 0.0;
  double y = 0.0;
  double fc = 0.0;
};

// One-pole "high-pass" section: same recurrence, pole exp(-2*pi*(0.5 - fc*T)),
// unity gain at DC and a gentle treble tilt.
class HP6 : public LP6 {
public:
  void setCutoff(double fc) override;
};
