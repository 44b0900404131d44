// Whole-instrument rendering cost per output sample (stereo) at 48 kHz, 512-sample host blocks, with
// denormal numbers flushed to zero as on a host's audio thread.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "IPlugDenormals.h"
#include "vantorel.h"

namespace {

void setParam(Vantorel& v, int index, double plain) {
  v.GetParam(index)->Set(plain);
  v.OnParamChange(index);
}

void renderPatch(benchmark::State& state, bool heavy) {
  const iplug::ScopedFlushDenormals flushDenormals;
  auto plug = std::make_unique<Vantorel>(iplug::InstanceInfo{});
  plug->ResetProcessing(48000.0, 512);
  if (heavy) {
    setParam(*plug, 2, 0.8);
    setParam(*plug, 3, 0.8);
    setParam(*plug, 4, 0.8);
    setParam(*plug, 45, 1);
    setParam(*plug, 46, 1);
    setParam(*plug, 47, 1);
    setParam(*plug, 50, 0.5);
    setParam(*plug, 52, 1);
    setParam(*plug, 48, 6.0 / 19.0);  // 1/16
  }
  const int keys[10] = {36, 43, 48, 52, 55, 60, 64, 67, 71, 74};
  const int nKeys = heavy ? 10 : 3;
  const int chord[3] = {60, 64, 67};
  for (int k = 0; k < nKeys; ++k)
    plug->ProcessMidiMsg(iplug::IMidiMsg(0, 0x90, static_cast<uint8_t>(heavy ? keys[k] : chord[k]), 100));
  std::vector<double> l(512), r(512);
  double* outs[2] = {l.data(), r.data()};
  for (int i = 0; i < 200; ++i) plug->ProcessBlock(nullptr, outs, 512);  // past the attacks
  for (auto _ : state) {
    plug->ProcessBlock(nullptr, outs, 512);
    benchmark::DoNotOptimize(l.data());
  }
  state.SetItemsProcessed(state.iterations() * 512);
  state.counters["ns_per_sample"] =
    benchmark::Counter(static_cast<double>(state.iterations()) * 512, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) * 512 / 48000.0, benchmark::Counter::kIsRate);
}

void BM_Instrument_DefaultChord(benchmark::State& state) { renderPatch(state, false); }
void BM_Instrument_Heavy(benchmark::State& state) { renderPatch(state, true); }

}  // namespace

BENCHMARK(BM_Instrument_DefaultChord);
BENCHMARK(BM_Instrument_Heavy);
