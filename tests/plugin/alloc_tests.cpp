// The audio thread never allocates: a counter armed around the whole of process(), parameter changes,
// program changes, learned controllers and floods of events included. A flood loses no note off.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "../vst3/host_doubles.h"
#include "vantorel.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

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

namespace {

constexpr int kBlock = 256;

// An instance set up and processing as a host has it, its blocks run with the counter armed.
struct Hosted {
  Hosted() : plug(new Vantorel(iplug::InstanceInfo{})) {
    plug->initialize(nullptr);
    ProcessSetup setup{kRealtime, kSample64, kBlock, 44100.0};
    plug->setupProcessing(setup);
    plug->setActive(true);
    plug->setProcessing(true);
    ch[0] = l.data();
    ch[1] = r.data();
    bus.numChannels = 2;
    bus.channelBuffers64 = ch;
    outEvents.events.reserve(16 * 4096);
    // The host's room for what the instance tells it.
    for (ParamID id : {iplug::IPlugVST3::kPresetParam, ParamID{0}, ParamID{11}}) out.add(id, 0, 0.0);
    for (auto& q : out.queues) q.points.reserve(64);
  }
  ~Hosted() {
    plug->setActive(false);
    plug->terminate();
    plug->release();
  }
  ParamID midiParam(int16 channel, CtrlNumber controller) {
    ParamID id = 0;
    plug->getMidiControllerAssignment(0, channel, controller, id);
    return id;
  }
  tresult block(testhost::ParamChanges& in, testhost::EventList& events) {
    for (auto& q : out.queues) q.points.clear();
    outEvents.events.clear();
    ProcessData data = testhost::BlockData(kBlock, kSample64, bus, &in, &out, &events, &outEvents);
    armed = true;
    const tresult result = plug->process(data);
    armed = false;
    return result;
  }

  Vantorel* plug;
  std::vector<double> l = std::vector<double>(kBlock), r = std::vector<double>(kBlock);
  double* ch[2];
  AudioBusBuffers bus{};
  testhost::ParamChanges out;
  testhost::EventList outEvents;
};

}  // namespace

TEST(AudioThread, ProcessNeverAllocatesAndFloodsKeepEveryNoteOff) {
  allocations = 0;
  Hosted host;
  Vantorel* plug = host.plug;
  for (int i : {3, 4, 45, 46, 47, 52, 54, 34}) plug->setParamNormalized(i, 1.0);
  plug->setParamNormalized(50, 0.5);
  plug->setParamNormalized(32, 0.5);

  uint32_t seed = 12345;
  auto rnd = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  auto block = [&host](testhost::ParamChanges& in, testhost::EventList& events) { return host.block(in, events); };
  auto midiParam = [&host](int16 channel, CtrlNumber controller) { return host.midiParam(channel, controller); };

  for (int b = 0; b < 2000; ++b) {
    testhost::ParamChanges in;
    testhost::EventList events;
    for (int e = rnd(6); e > 0; --e) {
      if (rnd(2)) events.noteOn(rnd(kBlock), 0, static_cast<int16>(24 + rnd(80)), 0.8f);
      else events.noteOff(rnd(kBlock), 0, static_cast<int16>(24 + rnd(80)), 0.0f);
    }
    if (b % 5 == 0) in.add(static_cast<ParamID>(rnd(66)), rnd(kBlock), rnd(101) / 100.0);
    if (b % 50 == 0) in.add(iplug::IPlugVST3::kPresetParam, 0, rnd(64) / 63.0);
    if (b % 70 == 0) plug->setParamNormalized(iplug::IPlugVST3::kPresetParam, rnd(64) / 63.0);  // UI thread
    if (b % 3 == 0) plug->setParamNormalized(static_cast<ParamID>(rnd(66)), rnd(101) / 100.0);
    ASSERT_EQ(block(in, events), kResultOk);
  }

  // A block of more messages than the intake holds: note ons, a pedal and controllers, then the note offs
  // of every key at its end, then the pedal's release.
  testhost::ParamChanges in;
  testhost::EventList flood;
  for (int i = 0; i < 6000; ++i) flood.noteOn(i * kBlock / 8000, 0, static_cast<int16>(i % 128), 0.9f);
  in.add(midiParam(0, 64), 10, 1.0);
  for (int k = 0; k < 128; ++k) flood.noteOff(kBlock - 2, 0, static_cast<int16>(k), 0.0f);
  in.add(midiParam(0, 64), kBlock - 1, 0.0);
  ASSERT_EQ(block(in, flood), kResultOk);
  EXPECT_GT(plug->GetMidiDropCount(), 0u);
  testhost::ParamChanges none;
  testhost::EventList quiet;
  for (int b = 0; b < 4; ++b) ASSERT_EQ(block(none, quiet), kResultOk);
  EXPECT_TRUE(plug->pressedKeys.empty());
  for (const KeyGate::Entry& e : plug->keyGate) EXPECT_FALSE(e.gate) << "key " << static_cast<int>(e.key);
  EXPECT_FALSE(plug->sustain);

  EXPECT_EQ(allocations.load(), 0);
}

TEST(AudioThread, LearnedControllersDriveTheirParametersWithoutAllocating) {
  allocations = 0;
  Hosted host;
  Vantorel& plug = *host.plug;
  const ParamID cc20 = host.midiParam(0, 20);
  testhost::EventList none;
  auto sendCC = [&](double value) {
    testhost::ParamChanges in;
    in.add(cc20, 0, value);
    return host.block(in, none);
  };

  // Learned on two threads: the controller arrives in a block, the host then moves "Organ: 16'".
  plug.doMidiLearn(true);
  const double before = plug.GetParam(11)->GetNormalized();
  ASSERT_EQ(sendCC(1.0), kResultOk);
  EXPECT_EQ(plug.GetParam(11)->GetNormalized(), before);
  EXPECT_EQ(plug.midiLearnCC, 20);
  plug.setParamNormalized(11, 0.5);
  EXPECT_EQ(plug.midiLearnTable[20], 11);
  EXPECT_FALSE(plug.midiLearnActive);

  // The controller now drives the parameter and the engine; the host hears of it among the block's
  // output changes.
  ASSERT_EQ(sendCC(100 / 127.0), kResultOk);
  EXPECT_DOUBLE_EQ(plug.GetParam(11)->GetNormalized(), 100 / 127.0);
  EXPECT_EQ(plug.organ16, plug.GetParam(11)->Value());
  const testhost::ParamQueue* told = host.out.find(11);
  ASSERT_NE(told, nullptr);
  ASSERT_EQ(told->points.size(), 1u);
  EXPECT_DOUBLE_EQ(told->points[0].second, 100 / 127.0);
  EXPECT_EQ(allocations.load(), 0);
}
