#pragma once

// Denormal numbers (below about 2.2e-308) cost many times more than normal ones on x86. Recursive filters
// decaying towards silence settle on them for good unless the floating-point unit flushes them to zero.

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace iplug {

// Sets flush-to-zero and denormals-are-zero for the length of the scope and restores the caller's
// floating-point mode on exit. Used around every block the audio thread renders.
class ScopedFlushDenormals {
public:
#if defined(__SSE2__)
  ScopedFlushDenormals() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero); }
  ~ScopedFlushDenormals() { _mm_setcsr(mSaved); }
#else
  ScopedFlushDenormals() {}
#endif
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
#if defined(__SSE2__)
  static constexpr unsigned kFlushToZero = 0x8000;     // MXCSR bit 15
  static constexpr unsigned kDenormalsAreZero = 0x0040;  // MXCSR bit 6
  unsigned mSaved;
#endif
};

}  // namespace iplug
