// Per-sample cost of the sound sources: one benchmark iteration is one sample,
// so the time column reads as nanoseconds per sample. Denormal numbers are flushed to zero, as on
// the audio thread.
#include <benchmark/benchmark.h>

#include <cmath>

#include "IPlugDenormals.h"
#include "gates.h"
#include "hotloop.h"
#include "oscbank.h"
#include "vcf.h"
#include "voicecard.h"

namespace {

// Ladder filter with a cutoff that moves every sample (coefficients recomputed each time).
void BM_VCF_MovingCutoff(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  VCF vcf;
  vcf.setSampleRate(44100.0);
  vcf.setResonance(0.8);
  double cv = 0.3, in = 0.25;
  for (auto _ : state) {
    cv += 1e-5;
    if (cv > 0.9) cv = 0.3;
    in = -in;
    benchmark::DoNotOptimize(vcf.process(in, cv));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VCF_MovingCutoff);

// Ladder filter at a fixed cutoff (cached coefficients).
void BM_VCF_FixedCutoff(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  VCF vcf;
  vcf.setSampleRate(44100.0);
  vcf.setResonance(0.8);
  double in = 0.25;
  for (auto _ : state) {
    in = -in;
    benchmark::DoNotOptimize(vcf.process(in, 0.6));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VCF_FixedCutoff);

// One voice card, update + process, envelope modulating the cutoff.
void BM_VoiceCard(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  VoiceCard card;
  card.setSampleRate(44100.0);
  card.setParam(25, 0.4);
  card.setParam(26, 0.5);
  card.setParam(27, 0.4);
  card.setParam(29, 0.6);
  card.setParam(30, 0.3);
  card.gateOn();
  double in = 0.25;
  for (auto _ : state) {
    in = -in;
    card.update();
    benchmark::DoNotOptimize(card.process(in, 0.01));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VoiceCard);

// The Synth section's six cards per sample: independent chains that can overlap.
void BM_VoiceCard_Six(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  VoiceCard cards[6];
  for (int k = 0; k < 6; ++k) {
    cards[k].setSampleRate(44100.0);
    cards[k].setParam(25, 0.3 + 0.05 * k);
    cards[k].setParam(26, 0.5);
    cards[k].setParam(27, 0.4);
    cards[k].setParam(29, 0.6);
    cards[k].setParam(30, 0.3);
    cards[k].gateOn();
  }
  double in = 0.25;
  for (auto _ : state) {
    in = -in;
    double sum = 0.0;
    for (VoiceCard& c : cards) c.update();
    for (VoiceCard& c : cards) sum += c.process(in, 0.01);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VoiceCard_Six);

// The cards as the instrument runs them: those that sound side by side in vector lanes, a 48-sample span
// per iteration. Argument: the number of cards sounding; the envelope does not move the cutoff.
template <class V>
VANTOREL_INLINE void runCardLanes(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  VoiceCard cards[6];
  for (int k = 0; k < 6; ++k) {
    cards[k].setSampleRate(48000.0);
    cards[k].setParam(25, 0.8);
    cards[k].setParam(26, 0.5);
    if (k < state.range(0)) cards[k].gateOn();
  }
  double in[kSpan][CardLanes<V>::kLanes];
  for (int j = 0; j < kSpan; ++j)
    for (double& x : in[j]) x = (j & 8) ? 0.25 : -0.25;
  for (auto _ : state) {
    CardLanes<V> lanes(cards);
    double sum = 0.0;
    for (int j = 0; j < 48; ++j) sum += lanes.sample(in[j], 0.0);
    lanes.finish(true);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["ns_per_sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * 48,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
VANTOREL_NARROW void BM_CardLanes(benchmark::State& state) { runCardLanes<v2d>(state); }
#ifdef VANTOREL_WIDE
VANTOREL_WIDE void BM_CardLanes(benchmark::State& state) { runCardLanes<v4d>(state); }
#endif
BENCHMARK(BM_CardLanes)->Arg(3)->Arg(6);

// Four footages of one key plus the twelve-phase advance.
void BM_OscBank_OneKey(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  OscBank bank;
  bank.setSampleRate(44100.0);
  bank.setTune(0.0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(bank.process(60));
    bank.advance();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OscBank_OneKey);

// Key gate with ten entries: five gated, five releasing (frozen by pin7 so the count stays).
void BM_KeyGate_10(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  KeyGate gate;
  gate.setSampleRate(44100.0);
  for (int k = 0; k < 10; ++k) gate.start(static_cast<unsigned char>(48 + 3 * k));
  for (int i = 0; i < 100; ++i) gate.update();
  for (int k = 0; k < 10; k += 2) gate.stop(static_cast<unsigned char>(48 + 3 * k));
  gate.setPin7();
  for (auto _ : state) {
    gate.update();
    benchmark::DoNotOptimize(gate.begin());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyGate_10);

// Key gate with ten entries while they rise and release (restarted when done).
void BM_KeyGate_10_Moving(benchmark::State& state) {
  const iplug::ScopedFlushDenormals flushDenormals;
  KeyGate gate;
  gate.setSampleRate(44100.0);
  int n = 0;
  for (auto _ : state) {
    if (n == 0) {
      for (int k = 0; k < 10; ++k) gate.start(static_cast<unsigned char>(48 + 3 * k));
    } else if (n == 300) {
      for (int k = 0; k < 10; k += 2) gate.stop(static_cast<unsigned char>(48 + 3 * k));
    }
    n = n == 2000 ? 0 : n + 1;
    gate.update();
    benchmark::DoNotOptimize(gate.begin());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyGate_10_Moving);

}  // namespace
