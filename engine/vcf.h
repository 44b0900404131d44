#pragma once

#include <cmath>
#include <memory>

// Feedback saturator: rational approximation of 5 * tanh(x / 5), meeting +-5
// with zero slope at x = +-15.
inline double clamp(double x) {
  const double y = 0.2 * x;
  if (y < -3.0) return -5.0;
  if (y > 3.0) return 5.0;
  return 5.0 * y * (y * y + 27.0) / (9.0 * (y * y) + 27.0);
}

// Four-pole resonant low-pass: a zero-delay-feedback ladder of four bilinear
// one-poles with the saturator in the feedback path. The control input is a
// normalised pitch: index cv * 17281 in 1/128 semitone from MIDI note 0.
class VCF {
public:
  // Tables that depend on the sample rate; shared, immutable, one set per rate.
  struct RateTables {
    double freq2rad[17281];    // cutoff as an angle per sample
    double resoScaler[17281];  // feedback scale at that cutoff
  };

  VCF();

  void setSampleRate(double fs);
  void setResonance(double r);

  // Intermediate values of one sample between the two halves of process().
  struct Pending {
    double in, a1, a2, a3, a4, u;
  };

  double process(double in, double cv) {
    Pending p;
    const double out = estimate(in, cv, p);
    advance(p);
    return out;
  }

  // process() in two halves, so that callers can run several filters side by
  // side (all estimates, then all advances) and overlap their recursions.
  // estimate() returns the output; advance() must follow before the next sample.
  double estimate(double in, double cv, Pending& p) {
    const double i = roundHalfAway(cv * 17281.0);
    if (!(i == index)) recompute(i);  // coefficients are cached against the index

    // A state spoilt by a NaN or infinite sample restarts from 0. The checks
    // are a (predicted) branch, which keeps them off the recursion's chain: a
    // finite sum of the four states means all four are finite; otherwise (or
    // if only the sum overflowed) each state is looked at on its own.
    double a1 = s1 + d, a2 = s2 + d, a3 = s3 + d, a4 = s4 + d;
    if (!std::isfinite(s1 + s2 + s3 + s4)) [[unlikely]] {
      a1 = std::isfinite(s1) ? a1 : restart();
      a2 = std::isfinite(s2) ? a2 : restart();
      a3 = std::isfinite(s3) ? a3 : restart();
      a4 = std::isfinite(s4) ? a4 : restart();
    }
    d = -d;

    const double S = ((a1 * G + a2) * G + a3) * G + a4;
    const double u = (G4 * in + S) * norm;  // linear estimate of the last stage
    p = {in, a1, a2, a3, a4, u};
    return u * C;
  }

  // Runs the four stages with the saturated feedback of the estimate.
  void advance(const Pending& p) {
    const double h = clamp(p.u);
    const double t1 = G * (p.in - K * h);
    const double y1 = p.a1 + t1;
    s1 = t1 - B * y1;
    const double t2 = G * y1;
    const double y2 = p.a2 + t2;
    s2 = t2 - B * y2;
    const double t3 = G * y2;
    const double y3 = p.a3 + t3;
    s3 = t3 - B * y3;
    const double t4 = G * y3;
    const double y4 = p.a4 + t4;
    s4 = t4 - B * y4;
  }

  double sampleRate() const { return fs; }
  double resonance() const { return r; }
  double heldIndex() const { return index; }
  double gain() const { return G; }
  double pole() const { return B; }
  double feedback() const { return K; }
  double outputGain() const { return C; }
  double state(int k) const { return k == 0 ? s1 : k == 1 ? s2 : k == 2 ? s3 : s4; }
  unsigned long recomputations() const { return recomputeCount; }
  const RateTables& rateTables() const { return *rates; }

  // std::round (halves away from zero) without the library call: exact for
  // every finite value below 2^52 in magnitude, where the truncation and the
  // remainder are exact; larger values, infinities and NaN go to std::round.
  static double roundHalfAway(double x) {
    if (std::fabs(x) < 4503599627370496.0) {
      const double t = static_cast<double>(static_cast<long long>(x));
      const double f = x - t;
      double r = t;
      if (f >= 0.5)
        r = t + 1.0;
      else if (f <= -0.5)
        r = t - 1.0;
      return std::copysign(r, x);  // -0.4 rounds to -0, as std::round does
    }
    return std::round(x);
  }

  // The coefficients at table index i (NaN or out of range reads the table's ends) and resonance r.
  struct Coefficients {
    double K, C, B, G, G4, norm;
  };
  static Coefficients coefficients(const RateTables& t, double i, double r) {
    const int j = i > 0.0 ? (i < 17280.0 ? static_cast<int>(i) : 17280) : 0;
    const double w = t.freq2rad[j];
    Coefficients c;
    c.K = t.resoScaler[j] * r;
    const double e = 2.0 * std::fabs(r - 0.5);
    c.C = 2.0 - e * e;
    c.B = (w - 2.0) / (w + 2.0);
    c.G = w / (w + 2.0);
    c.G4 = c.G * c.G * c.G * c.G;
    c.norm = 1.0 / (1.0 + c.K * c.G4);
    return c;
  }

private:
  template <class>
  friend class CardLanes;  // runs the filters of several cards side by side

  [[gnu::noinline, gnu::cold]] static double restart();  // returns 0

  void recompute(double i) {
    index = i;
    const Coefficients c = coefficients(*rates, i, r);
    K = c.K;
    C = c.C;
    B = c.B;
    G = c.G;
    G4 = c.G4;
    norm = c.norm;
    ++recomputeCount;
  }
  void reset();

  double fs = 44100.0;
  double r = 0.0;
  double G4 = 0.0;
  double G = 0.0;
  double B = 0.0;
  double K = 0.0;
  double C = 0.0;
  double norm = 0.0;  // 1 / (1 + K * G^4)
  double index;       // table index last used, unclamped; -1 after a reset or a new resonance
  double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
  double d = 1e-13;   // anti-denormal offset, alternating in sign
  unsigned long recomputeCount = 0;
  std::shared_ptr<const RateTables> tables;  // keeps this rate's set alive
  const RateTables* rates;                   // hot-path view of `tables`
};
