// Golden renders: short scenarios that between them run every section and effect, driven exactly as
// vantorel-render drives the instrument (its block loop included), each compared with the hash of the
// exact output bits recorded from a reviewed build. A change of any sample in any scenario fails.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "blockrender.h"
#include "vantorel.h"

namespace {

struct Setting {
  int index;
  double plain;
};

// A parameter change at a sample position, made before the block that contains it (as the renderer does).
struct Change {
  int64_t pos;
  Setting set;
};

struct Scenario {
  const char* name;
  double rate;
  int block;
  double tempo;
  std::vector<Setting> settings;
  std::vector<render::ScheduledEvent> events;
  double seconds;
  std::vector<Change> changes;
  // A second part at a new rate (0: none), rendered after a reset, with its own events.
  double rate2;
  std::vector<render::ScheduledEvent> events2;
  uint64_t hash;
};

render::ScheduledEvent on(int64_t pos, int key, int vel = 100) {
  return {pos, 0x90, static_cast<uint8_t>(key), static_cast<uint8_t>(vel)};
}
render::ScheduledEvent off(int64_t pos, int key) { return {pos, 0x80, static_cast<uint8_t>(key), 0}; }
render::ScheduledEvent cc(int64_t pos, int number, int value) {
  return {pos, 0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value)};
}
render::ScheduledEvent bend(int64_t pos, int lsb, int msb) {
  return {pos, 0xE0, static_cast<uint8_t>(lsb), static_cast<uint8_t>(msb)};
}

// 64-bit FNV-1a over the bytes of every left, then right, sample.
struct Fnv {
  uint64_t h = 14695981039346656037ull;
  void add(const std::vector<double>& v) {
    for (double x : v) {
      unsigned char b[sizeof x];
      std::memcpy(b, &x, sizeof x);
      for (unsigned char c : b) h = (h ^ c) * 1099511628211ull;
    }
  }
};

void apply(Vantorel& plug, const Setting& set) {
  plug.GetParam(set.index)->Set(set.plain);
  plug.OnParamChange(set.index);
}

class Target : public render::BlockTarget {
public:
  Target(Vantorel& plug, const std::vector<Change>& changes) : mPlug(plug), mChanges(changes) {}
  void beginBlock(int64_t start, int n) override {
    for (; mNext < mChanges.size() && mChanges[mNext].pos < start + n; ++mNext) apply(mPlug, mChanges[mNext].set);
  }
  void midi(int offset, const render::ScheduledEvent& e) override {
    mPlug.ProcessMidiMsg(iplug::IMidiMsg(offset, e.status, e.data1, e.data2));
  }
  bool process(int64_t /*start*/, int n) override {
    const size_t at = left.size();
    left.resize(at + n);
    right.resize(at + n);
    double* outputs[2] = {left.data() + at, right.data() + at};
    mPlug.ProcessBlock(nullptr, outputs, n);
    return true;
  }
  std::vector<double> left, right;

private:
  Vantorel& mPlug;
  const std::vector<Change>& mChanges;
  size_t mNext = 0;
};

// The scenario's output, left and right.
Target renderScenario(const Scenario& s, std::unique_ptr<Vantorel>& plug) {
  plug = std::make_unique<Vantorel>(iplug::InstanceInfo{});
  plug->ResetProcessing(s.rate, s.block);
  for (const Setting& set : s.settings) apply(*plug, set);
  plug->SetTempo(s.tempo);
  Target target(*plug, s.changes);
  render::renderBlocks(s.events, static_cast<int64_t>(s.seconds * s.rate), s.block, target);
  if (s.rate2 > 0.0) {
    plug->ResetProcessing(s.rate2, s.block);
    Target second(*plug, {});
    render::renderBlocks(s.events2, static_cast<int64_t>(s.seconds * s.rate2), s.block, second);
    target.left.insert(target.left.end(), second.left.begin(), second.left.end());
    target.right.insert(target.right.end(), second.right.begin(), second.right.end());
  }
  return target;
}

const std::vector<Scenario>& scenarios() {
  static const std::vector<Scenario> list = {
      {"synth envelope stages, resonant filter sweep", 48000, 256, 120,
       {{22, 2}, {25, 0.45}, {26, 0.7}, {27, 0.6}, {28, 0.35}, {29, 0.45}, {30, 0.4}, {31, 0.45}},
       {on(100, 48), on(2000, 55), on(4000, 63), off(18000, 48), off(18500, 55), off(19000, 63)},
       0.8, {}, 0, {}, 0x182fab318afec835ull},
      {"synth LFO on the filter, mod wheel", 44100, 300, 120,
       {{32, 1}, {35, 9}, {1, 1}, {25, 0.55}, {26, 0.4}},
       {cc(0, 1, 100), on(50, 45), on(50, 57), off(30000, 45), off(30000, 57)}, 0.8, {}, 0, {}, 0x0cff6374eaeacb7dull},
      {"synth square LFO on the amplifier after a delay", 48000, 128, 120,
       {{32, 2}, {34, 1}, {35, 12}, {36, 0.3}, {37, 0.1}, {38, 0.9}, {22, 1}},
       {on(0, 60), on(9000, 72), off(36000, 60), off(36000, 72)}, 0.9, {}, 0, {}, 0x41fb9d90a3886855ull},
      {"organ footages, panned", 48000, 512, 120,
       {{2, 0}, {3, 0.8}, {6, 0.2}, {8, 0.3}, {9, 0.5}, {10, 0.7}, {11, 0.9}},
       {on(10, 36), on(10, 48), on(3000, 67), off(24000, 36), off(24000, 48), off(25000, 67)}, 0.7, {}, 0, {},
       0xa26a8152bc113131ull},
      {"string ensemble, fast sweeps", 48000, 256, 120,
       {{2, 0}, {4, 0.9}, {7, 0.25}, {39, 0.3}, {40, 0.7}, {41, 0.1}, {42, 0.2}, {59, 3}, {60, 7}, {61, 0.6}, {62, 0.4}},
       {on(0, 53), on(0, 60), on(0, 65), off(30000, 53), off(30000, 60), off(30000, 65)}, 0.9, {}, 0, {}, 0xa6d31097ca21c632ull},
      {"phaser on all sections", 44100, 256, 120,
       {{3, 0.5}, {4, 0.5}, {43, 4}, {44, 0.7}, {45, 1}, {46, 1}, {47, 1}, {5, 0.1}},
       {on(0, 57), on(0, 64), off(32000, 57), off(32000, 64)}, 0.9, {}, 0, {}, 0xb073be0761d0d167ull},
      {"delay side by side, left input only", 48000, 256, 120,
       {{5, 0}, {48, 0.15}, {49, 0.6}, {50, 0.5}, {31, 0.05}},
       {on(0, 69), off(2400, 69), on(20000, 76), off(21000, 76)}, 1.0, {}, 0, {}, 0xdbc312386cb1512bull},
      {"delay ping-pong, left input only", 48000, 192, 120,
       {{5, 0}, {48, 0.1}, {49, 0.7}, {50, 0.6}, {54, 1}, {53, 0}, {31, 0.05}},
       {on(0, 64), off(2000, 64)}, 1.0, {{30000, {54, 0}}}, 0, {}, 0x190991b461c20b10ull},
      {"delay doubled and tempo-synced", 44100, 512, 141,
       {{5, 0.8}, {48, 0.7}, {49, 0.5}, {50, 0.7}, {51, 1}, {52, 1}, {53, 0}, {31, 0.05}},
       {on(0, 60), off(3000, 60), on(11000, 67), off(13000, 67)}, 1.0, {}, 0, {}, 0x5da18ef52f5fa8f9ull},
      {"glide, detuned banks", 48000, 256, 120,
       {{18, 0.5}, {19, 0.4}, {20, 1}, {21, 2}, {14, 7}, {12, -0.3}, {0, 12}},
       {on(0, 50), on(12000, 57), off(14000, 50), bend(20000, 0x00, 0x60), off(36000, 57)}, 0.9, {}, 0, {},
       0x624d4cdab9381451ull},
      {"sync, octaves, alternating waveforms", 48000, 100, 120,
       {{16, 1}, {56, 1}, {57, 90}, {13, 1}, {17, 1}, {35, 6}, {23, 0}, {24, 1}, {14, -5}},
       {on(0, 52), on(6000, 59), off(9000, 52), on(12000, 64), off(30000, 59), off(30000, 64)}, 0.8, {}, 0, {},
       0x2e4bbbfe26acdc15ull},
      {"sustain pedal, pitch wheel, key release", 48000, 256, 120,
       {{58, 0.6}, {55, 0.25}, {3, 0.4}, {4, 0.4}},
       {on(0, 60), cc(100, 64, 127), off(4000, 60), on(6000, 67), off(8000, 67), bend(12000, 0x7F, 0x7F),
        cc(20000, 64, 0), on(26000, 72), off(30000, 72)},
       0.8, {}, 0, {}, 0x9afaecd60456144dull},
      {"sample rate change with a held note", 44100, 256, 120,
       {{26, 0.8}, {25, 0.4}, {3, 0.6}, {4, 0.6}, {50, 0.4}, {46, 1}},
       {on(0, 55), on(0, 62)}, 0.4, {}, 48000, {on(0, 55), on(0, 62), off(15000, 55), off(15000, 62)}, 0xd15ddf7c4e6d491full},
  };
  return list;
}

}  // namespace

TEST(GoldenRenders, EveryScenarioRendersTheRecordedOutput) {
  for (const Scenario& s : scenarios()) {
    std::unique_ptr<Vantorel> plug;
    const Target out = renderScenario(s, plug);
    Fnv fnv;
    fnv.add(out.left);
    fnv.add(out.right);
    const uint64_t got = fnv.h;
    EXPECT_EQ(got, s.hash) << s.name << ": output hash 0x" << std::hex << got << ", recorded 0x" << s.hash;
  }
}
