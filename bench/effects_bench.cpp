// Effects at 48 kHz, one control tick per iteration as the instrument runs them: update(), then the
// tick's 48 samples as one span, with denormal numbers flushed to zero as on the audio thread (the
// silence benchmarks compare both modes). ns_per_sample is the cost of one sample.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

#include "IPlugDenormals.h"
#include "bbddelay.h"
#include "ensemble.h"
#include "phaser.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kTick = 48;

void perSample(benchmark::State& state) {
  state.counters["ns_per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kTick,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const std::vector<double>& noise() {
  static const std::vector<double> v = [] {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(-0.5, 0.5);
    std::vector<double> out(4096);
    for (double& x : out) x = d(rng);
    return out;
  }();
  return v;
}

void BM_EnsembleDefaultSweep(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  Ensemble e;
  e.init(kRate);
  e.lfoA.setSpeed(0.72);
  e.lfoB.setSpeed(5.0);
  e.depthA = 0.03;
  e.depthB = 0.01;
  const std::vector<double>& in = noise();
  double out[kTick];
  std::size_t i = 0;
  for (auto _ : state) {
    e.update();
    e.processSpan(&in[i], out, kTick);
    benchmark::DoNotOptimize(out);
    i = (i + kTick) & 4095;
  }
  perSample(state);
}
BENCHMARK(BM_EnsembleDefaultSweep);

void BM_Phaser(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  Phaser p;
  p.setSampleRate(kRate);
  p.setBase(0.02);
  p.setFeedback(-0.3);
  p.setDepth(0.22);
  p.setWet(0.5);
  p.lfo.setSpeed(0.19);
  const std::vector<double>& in = noise();
  double left[kTick], right[kTick];
  std::size_t i = 0;
  for (auto _ : state) {
    p.update();
    std::copy(&in[i], &in[i] + kTick, left);
    std::copy(&in[i + kTick], &in[i + kTick] + kTick, right);
    p.processSpan(left, right, kTick);
    benchmark::DoNotOptimize(left);
    benchmark::DoNotOptimize(right);
    i = (i + kTick) & 2047;
  }
  perSample(state);
}
BENCHMARK(BM_Phaser);

// Instrument defaults: vibe on at 0.02 Hz, depth 0.02, feedback 0.3, mix 0.5.
void runDelay(benchmark::State& state, BBDDelay& d, double time, double tempo) {
  const iplug::ScopedFlushDenormals flushDenormals;
  const std::vector<double>& in = noise();
  double left[kTick], right[kTick];
  std::size_t i = 0;
  for (auto _ : state) {
    d.update(time, tempo);
    std::copy(&in[i], &in[i] + kTick, left);
    std::copy(&in[i + kTick], &in[i + kTick] + kTick, right);
    d.processSpan(left, right, kTick);
    benchmark::DoNotOptimize(left);
    benchmark::DoNotOptimize(right);
    i = (i + kTick) & 2047;
  }
  perSample(state);
}

void setUpDelay(BBDDelay& d) {
  d.setSampleRate(kRate);
  d.vibeLfo.setSpeed(0.02);
  d.vibeDepth = 0.02;
  d.vibeOn = true;
  d.feedback = 0.3;
  d.setMix(0.5);
}

void BM_DelayFree(benchmark::State& state) {
  BBDDelay d;
  setUpDelay(d);
  runDelay(state, d, 0.5, 120.0);
}
BENCHMARK(BM_DelayFree);

void BM_DelaySync64th(benchmark::State& state) {
  BBDDelay d;
  setUpDelay(d);
  d.syncOn = true;
  runDelay(state, d, 0.0, 120.0);  // time 0 is "1/64": 62.5 ms on the half line
}
BENCHMARK(BM_DelaySync64th);

// Worst case: sync "1/64" at 100 BPM (37.5 ms, a = 0), largest vibe depth, vibe
// frozen at its lowest point so the left clock sits on the floor step, and
// ping-pong on so both lines run the left clock's ticks.
void BM_DelayWorstCase(benchmark::State& state) {
  BBDDelay d;
  setUpDelay(d);
  d.syncOn = true;
  d.pingPongOn = true;
  d.vibeDepth = 0.1;
  d.vibeLfo.setSpeed(750.0);  // one step moves the phase from 0 to -0.5: sine -1
  d.update(0.0, 100.0);
  d.vibeLfo.setSpeed(0.0);
  runDelay(state, d, 0.0, 100.0);
  state.counters["step"] = d.stepLeft();
}
BENCHMARK(BM_DelayWorstCase);

// Silence through the delay (mix 0, as the instrument starts), fresh or a minute after one impulse, when
// the tails of its filters and lines have decayed into denormal numbers. The vibe is off, so both run the
// same clock. Argument 1 renders with flush-to-zero and denormals-are-zero, as the plug-in's audio thread
// does; 0 without.
void runSilence(benchmark::State& state, bool afterImpulse) {
  std::optional<iplug::ScopedFlushDenormals> flush;
  if (state.range(0) != 0) flush.emplace();
  BBDDelay d;
  setUpDelay(d);
  d.setMix(0.0);
  d.vibeOn = false;
  double left[kTick], right[kTick];
  auto tick = [&](bool impulse) {
    d.update(0.5, 120.0);
    std::fill(left, left + kTick, 0.0);
    std::fill(right, right + kTick, 0.0);
    left[0] = right[0] = impulse ? 1.0 : 0.0;
    d.processSpan(left, right, kTick);
    benchmark::DoNotOptimize(left);
  };
  if (afterImpulse)
    for (long i = 0; i < 60L * 1000; ++i) tick(i == 0);
  for (auto _ : state) tick(false);
  perSample(state);
}
void BM_DelaySilenceFresh(benchmark::State& state) { runSilence(state, false); }
void BM_DelaySilenceAfterImpulse(benchmark::State& state) { runSilence(state, true); }
BENCHMARK(BM_DelaySilenceFresh)->Arg(0)->Arg(1);
BENCHMARK(BM_DelaySilenceAfterImpulse)->Arg(0)->Arg(1);

}  // namespace
