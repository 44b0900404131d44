#pragma once

#include <cmath>

// Low-frequency oscillator: a phase running over -1 ... 1, read as a triangle,
// a square or one of three sine phases about 120 degrees apart.
class LFO {
public:
  void setSampleRate(double steps) {
    sampleRate = steps;
    increment = 2.0 * speed / steps;
  }
  void setSpeed(double hz) {
    speed = hz;
    increment = 2.0 * hz / sampleRate;
  }
  void update() {
    const double p = phase + increment;
    phase = p < 1.0 ? p : p - 2.0;
  }
  double getTri() const { return 2.0 * std::fabs(phase) - 1.0; }
  double getSqr() const { return phase < 0.0 ? 1.0 : -1.0; }
  double getSin(unsigned char k) const {
    static constexpr double offsets[3] = {0.0, 0.667, 1.333};
    return std::sin(3.141592653589793 * (phase + offsets[k]));
  }
  double getPhase() const { return phase; }
  double getSpeed() const { return speed; }

private:
  double sampleRate = 1000.0;
  double speed = 0.0;
  double phase = 0.0;
  double increment = 0.0;
};
