#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// Index of the largest magnitude in v.
inline int peakIndex(const std::vector<double>& v) {
  auto less = [](double a, double b) { return std::fabs(a) < std::fabs(b); };
  return static_cast<int>(std::max_element(v.begin(), v.end(), less) - v.begin());
}

// Worst deviation of y[from, to) from the best-fitting sine of angular frequency w.
inline double sineFitError(const std::vector<double>& y, double w, int from, int to) {
  double ss = 0.0, sc = 0.0, cc = 0.0, ys = 0.0, yc = 0.0;
  for (int i = from; i < to; ++i) {
    const double s = std::sin(w * i), c = std::cos(w * i);
    ss += s * s, sc += s * c, cc += c * c, ys += y[i] * s, yc += y[i] * c;
  }
  const double det = ss * cc - sc * sc, a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
  double err = 0.0;
  for (int i = from; i < to; ++i) err = std::max(err, std::fabs(y[i] - a * std::sin(w * i) - b * std::cos(w * i)));
  return err;
}
