#pragma once

// Vector lanes for loops that run identical recursions side by side (left and right, the ensemble's
// lines, the voice cards). Each lane performs exactly the IEEE operations of the scalar code, in the
// same order, so the results are the same bits; builds without wide registers split the vectors.
typedef double v2d __attribute__((vector_size(16)));
typedef double v4d __attribute__((vector_size(32)));
typedef long v2l __attribute__((vector_size(16)));
typedef long v4l __attribute__((vector_size(32)));

// Lanes whose value is finite: x - x is 0 for a finite x and NaN for an infinity or a NaN.
inline v2l finiteLanes(v2d x) { return (x - x) == 0.0; }
inline v4l finiteLanes(v4d x) { return (x - x) == 0.0; }

// A bit per lane whose mask is set.
inline int laneMask(v2l m) { return __builtin_ia32_movmskpd(reinterpret_cast<v2d>(m)); }
// Four lanes are used in AVX2 code only: one instruction there.
[[gnu::target("avx")]] inline int laneMask(v4l m) { return __builtin_ia32_movmskpd256(reinterpret_cast<v4d>(m)); }

// Scalar std::min(a, b) and std::max(a, b) lane by lane, NaN handling included: minpd(x, y) and
// maxpd(x, y) give y unless x < y, respectively x > y.
inline v2d minLanes(v2d a, v2d b) { return __builtin_ia32_minpd(b, a); }
inline v2d maxLanes(v2d a, v2d b) { return __builtin_ia32_maxpd(b, a); }
