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

  // A NaN or infinite input or result counts as 0, so one bad sample cannot lock
  // the section into NaN or +-inf for ever.
  double process(double x) {
    if (!std::isfinite(x)) x = 0.0;
    double y = b0 * (x + x2) + b1 * x1 + a1 * y1 + a2 * y2;
    if (!std::isfinite(y)) y = 0.0;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

private:
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
