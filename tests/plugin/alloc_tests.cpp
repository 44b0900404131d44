// ProcessBlock must not allocate: a counter armed around every block of a long, busy render.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "plugin_test_util.h"

namespace {
std::atomic<bool> armed{false};
std::atomic<long> allocations{0};
}  // namespace

// The replacements pair malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  if (armed.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(AudioThread, ProcessBlockNeverAllocates) {
  TestInstrument t(44100.0, 256);
  t.set(3, 0.8);
  t.set(4, 0.8);
  t.set(45, 1);
  t.set(46, 1);
  t.set(47, 1);
  t.set(50, 0.5);
  t.set(52, 1);
  t.set(54, 1);
  t.set(34, 1);
  t.set(32, 1);
  t.set(38, 0.6);
  uint32_t seed = 12345;
  auto rnd = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  std::vector<double> l(256), r(256);
  double* outs[2] = {l.data(), r.data()};
  for (int b = 0; b < 4000; ++b) {
    for (int e = rnd(6); e > 0; --e) {
      const int kind = rnd(10);
      const int off = rnd(256);
      if (kind < 5) t.noteOn(off, 24 + rnd(80), 1 + rnd(126));
      else if (kind < 8) t.noteOff(off, 24 + rnd(80));
      else if (kind == 8) t.cc(off, 64, rnd(2) * 127);
      else t.midi(off, 0xE0, rnd(128), rnd(128));
    }
    armed = true;
    t->ProcessBlock(nullptr, outs, 256);
    armed = false;
  }
  EXPECT_EQ(allocations.load(), 0);
}
