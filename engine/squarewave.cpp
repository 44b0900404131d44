#include "squarewave.h"

#include <cmath>
#include <vector>

namespace squarewave {

void compute(double (*out)[kLength]) {
  std::vector<double> s(kLength);
  for (int p = 0; p < kSets; ++p) {
    const int N = static_cast<int>(std::round(2048.0 / std::pow(1.4142135623730951, p)));
    for (int i = 1; i <= N; ++i) {
      const double w = i * 6.283185307179586 * 0.000244140625;
      // Partials taper from 1 at the fundamental to 0.54 at partial N.
      const double a = i == 1 ? 0.5 : 0.5 * (0.54 + 0.46 * std::cos((i - 1) * 1.5707963267948966 / (N - 1))) / i;
      if (i == 1) {
        for (int j = 0; j < kLength; ++j) s[j] = a * std::sin(w * j);
      } else {
        for (int j = 0; j < kLength; ++j) s[j] += a * std::sin(w * j);
      }
    }
    // Sawtooth minus itself half a cycle later: only the odd partials remain.
    for (int j = 0; j < kLength; ++j) out[p][j] = 0.5 * (s[j] - s[(j + 2048) % 4096]);
  }
}

}  // namespace squarewave
