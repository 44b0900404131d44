#pragma once

#include <cstring>

#include "lanes.h"

// Between two events the block loop renders stage by stage: each stage runs over a span of samples
// held in arrays, at most kSpan at a time. Every object still sees its samples one by one, in order,
// so a stage's results are those of the sample-by-sample loop.
constexpr int kSpan = 64;

// out[from] ... out[n - 1] = v (n <= kSpan), two values a store: the span stages fill levels that stand
// still and empty their sums this way.
inline void fillSpan(double* out, int from, int n, double v) {
  const v2d pair{v, v};
  int j = from;
#pragma GCC unroll 4
  for (; j + 2 <= n; j += 2) std::memcpy(out + j, &pair, sizeof pair);
  if (j < n) out[j] = v;
}
