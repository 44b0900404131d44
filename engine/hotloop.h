#pragma once

// The hot span loops are built for AVX2 and for any x86-64 (the sample loops also for AVX-512), and the
// one the processor can run is chosen when the program loads. All do the same IEEE operations (no
// contraction into FMA, no reassociation), so they give the same bits; -DVANTOREL_AVX2=OFF builds the
// generic one only.
#if defined(VANTOREL_AVX2_CLONES) && defined(__GNUC__) && !defined(__clang__)
#define VANTOREL_HOT [[gnu::target_clones("avx2", "default")]]
#else
#define VANTOREL_HOT
#endif

// Loops whose lanes are as wide as the registers are written twice: a VANTOREL_WIDE definition with
// four lanes per vector for AVX2 and a VANTOREL_NARROW one with two for any x86-64 (without VANTOREL_WIDE
// only the narrow one); the processor's is chosen at load time.
#if defined(VANTOREL_AVX2_CLONES) && defined(__GNUC__) && !defined(__clang__)
#define VANTOREL_WIDE __attribute__((target("avx2")))
#define VANTOREL_NARROW __attribute__((target("default")))
// The four-lane loops once more for processors with AVX-512 (x86-64-v4): the same vectors and operations,
// but 32 vector registers instead of 16, so that the long sample loops keep their state in registers.
#define VANTOREL_WIDE_V4 __attribute__((target("arch=x86-64-v4")))
#else
#define VANTOREL_NARROW
#endif

// For helpers of the hot loops: inlined, so that they are built into each variant of their caller.
#define VANTOREL_INLINE [[gnu::always_inline]] inline
