// The VST3 binding driven through its VST3 interfaces, with a small stand-in plug-in that logs what
// reaches it: parameter routing, MIDI intake and thru, block splitting, 32/64-bit output, bypass,
// host state, the program list and the host notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "IPlugVST3.h"
#include "host_doubles.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace testhost;

namespace {

iplug::Config TestConfig() {
  return iplug::Config{2,     4,     "0-2", "Stub", "Stub", "Tester", 0x00010000, iplug::MakeFourCC("Stub"),
                       iplug::MakeFourCC("Tstr"), 0, true, true, false, true, 1, false, 100, 100, 100, 100, 100,
                       100, false, "", ""};
}

// Two parameters ("Gain" 0 ... 2, "Mode" A/B/C), four programs (gain 1, 0.75, 0.5, 0.25). It renders a ramp scaled by the gain and
// logs every call the binding makes.
class StubPlug : public iplug::IPlugVST3 {
public:
  StubPlug() : IPlugVST3(TestConfig()) {
    GetParam(0)->InitDouble("Gain", 1.0, 0.0, 2.0, 0.001, "x");
    GetParam(1)->InitEnum("Mode", 0, {"A", "B", "C"});
    const char* names[] = {"Zero", "One", "Two", "Three"};
    for (int i = 0; i < NPresets(); ++i) {
      SetCurrentPresetIdx(i);
      GetParam(0)->Set(1.0 - 0.25 * i);
      GetParam(1)->Set(i % 3);
      ModifyCurrentPreset(names[i]);
    }
    SetCurrentPresetIdx(0);
    RestorePreset(0);
    log.clear();
  }

  void OnParamChange(int idx) override { log.push_back("param " + std::to_string(idx)); }
  void OnReset() override { log.push_back("reset " + std::to_string(static_cast<int>(GetSampleRate())) + " " +
                                          std::to_string(GetBlockSize())); }
  void OnActivate(bool active) override { log.push_back(active ? "activate" : "deactivate"); }
  void ProcessMidiMsg(const iplug::IMidiMsg& msg) override {
    char text[64];
    std::snprintf(text, sizeof text, "midi %d %02X %d %d", msg.mOffset, msg.mStatus, msg.mData1, msg.mData2);
    log.push_back(text);
    midi.push_back(msg);
    if (thru) SendMidiMsg(msg);
    if (msg.StatusMsg() == iplug::IMidiMsg::kProgramChange) RestorePreset(msg.mData1);
    if (msg.StatusMsg() == iplug::IMidiMsg::kControlChange && msg.mData1 == 7) SetParameterValue(0, msg.mData2 / 127.0);
  }
  void ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) override {
    log.push_back("block " + std::to_string(nFrames) + " tempo " + std::to_string(static_cast<int>(GetTempo())));
    for (int i = 0; i < nFrames; ++i, ++counter) {
      outputs[0][i] = GetParam(0)->Value() * counter / 1024.0;
      outputs[1][i] = -outputs[0][i];
    }
  }

  std::vector<std::string> log;
  std::vector<iplug::IMidiMsg> midi;
  bool thru = false;
  long counter = 1;
};

// Drives one StubPlug as a host does: initialise, set up, activate, process blocks.
struct Host {
  explicit Host(int maxBlock = 64, int32 sampleSize = kSample64) {
    plug = new StubPlug;
    EXPECT_EQ(plug->initialize(nullptr), kResultOk);
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, 48000.0};
    EXPECT_EQ(plug->setupProcessing(setup), kResultOk);
    EXPECT_EQ(plug->setActive(true), kResultOk);
    EXPECT_EQ(plug->setProcessing(true), kResultOk);
    plug->log.clear();
  }
  ~Host() {
    plug->setProcessing(false);
    plug->setActive(false);
    plug->terminate();
    plug->release();
  }

  // One block of n frames with the given inputs; returns the process result.
  tresult run(int n, int32 sampleSize = kSample64, ProcessContext* context = nullptr) {
    left.assign(n, 7.0);
    right.assign(n, 7.0);
    leftF.assign(n, 7.0f);
    rightF.assign(n, 7.0f);
    double* ch64[2] = {left.data(), right.data()};
    float* ch32[2] = {leftF.data(), rightF.data()};
    AudioBusBuffers out{};
    out.numChannels = 2;
    if (sampleSize == kSample64) out.channelBuffers64 = ch64;
    else out.channelBuffers32 = ch32;
    ProcessData data = BlockData(n, sampleSize, out, &inParams, &outParams, &inEvents, &outEvents);
    data.processContext = context;
    const tresult result = plug->process(data);
    silenceFlags = out.silenceFlags;
    return result;
  }

  StubPlug* plug;
  ParamChanges inParams, outParams;
  EventList inEvents, outEvents;
  std::vector<double> left, right;
  std::vector<float> leftF, rightF;
  uint64 silenceFlags = 0;
};

ParamID MidiParam(int channel, int controller) {
  StubPlug* probe = new StubPlug;
  ParamID id = 0;
  EXPECT_EQ(probe->getMidiControllerAssignment(0, static_cast<int16>(channel), static_cast<CtrlNumber>(controller), id),
            kResultTrue);
  probe->release();
  return id;
}

}  // namespace

TEST(VST3Binding, BusesAndArrangements) {
  StubPlug* plug = new StubPlug;
  EXPECT_EQ(plug->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(plug->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(plug->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(plug->getBusCount(kEvent, kOutput), 1);
  BusInfo info{};
  ASSERT_EQ(plug->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
  EXPECT_EQ(info.channelCount, 2);
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(plug->getBusInfo(kAudio, kInput, 0, info), kInvalidArgument);
  EXPECT_EQ(plug->getBusInfo(kAudio, kOutput, 1, info), kInvalidArgument);
  EXPECT_EQ(plug->getBusInfo(kEvent, kOutput, -1, info), kInvalidArgument);
  ASSERT_EQ(plug->getBusInfo(kEvent, kInput, 0, info), kResultTrue);
  EXPECT_EQ(info.channelCount, 16);

  SpeakerArrangement stereo = SpeakerArr::kStereo, mono = SpeakerArr::kMono, arr = 0;
  EXPECT_EQ(plug->setBusArrangements(nullptr, 0, &stereo, 1), kResultTrue);
  EXPECT_EQ(plug->setBusArrangements(nullptr, 0, &mono, 1), kResultFalse);
  EXPECT_EQ(plug->setBusArrangements(&stereo, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(plug->setBusArrangements(nullptr, 0, nullptr, 1), kInvalidArgument);
  ASSERT_EQ(plug->getBusArrangement(kOutput, 0, arr), kResultTrue);
  EXPECT_EQ(arr, SpeakerArr::kStereo);
  EXPECT_EQ(plug->getBusArrangement(kInput, 0, arr), kInvalidArgument);
  EXPECT_EQ(plug->activateBus(kAudio, kOutput, 0, false), kResultTrue);
  EXPECT_EQ(plug->activateBus(kAudio, kOutput, 3, true), kInvalidArgument);
  EXPECT_EQ(plug->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(plug->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(plug->canProcessSampleSize(7), kResultFalse);
  EXPECT_EQ(plug->getProcessContextRequirements(), IProcessContextRequirements::kNeedTempo);
  plug->release();
}

TEST(VST3Binding, LifeCycleAndStateTransitions) {
  StubPlug* plug = new StubPlug;
  EXPECT_EQ(plug->terminate(), kResultFalse);  // not initialised
  ASSERT_EQ(plug->initialize(nullptr), kResultOk);
  EXPECT_EQ(plug->initialize(nullptr), kResultFalse);
  const int32 count = plug->getParameterCount();
  EXPECT_EQ(count, 2 + 2 + 16 * 131);
  // Activation without a set-up resets once at the defaults; the set-up then resets at the host's values.
  EXPECT_EQ(plug->setActive(true), kResultOk);
  EXPECT_EQ(plug->setActive(true), kResultOk);  // a repeated state is accepted and changes nothing
  EXPECT_EQ(plug->setActive(false), kResultOk);
  EXPECT_EQ(plug->setActive(false), kResultOk);
  ProcessSetup setup{kRealtime, kSample32, 256, 200.0};
  EXPECT_EQ(plug->setupProcessing(setup), kResultFalse);  // a rate the instance cannot render
  setup.sampleRate = 44100.0;
  EXPECT_EQ(plug->setupProcessing(setup), kResultOk);
  ASSERT_GE(plug->log.size(), 4u);
  EXPECT_EQ(plug->log[0], "reset 44100 1024");
  EXPECT_EQ(plug->log[1], "activate");
  EXPECT_EQ(plug->log[2], "deactivate");
  EXPECT_EQ(plug->log[3], "reset 44100 256");
  plug->setActive(true);
  EXPECT_EQ(plug->setupProcessing(setup), kResultFalse);  // only while inactive
  plug->setActive(false);
  setup.maxSamplesPerBlock = 0;
  EXPECT_EQ(plug->setupProcessing(setup), kResultFalse);
  EXPECT_EQ(plug->terminate(), kResultOk);
  EXPECT_EQ(plug->terminate(), kResultFalse);
  EXPECT_EQ(plug->getParameterCount(), 0);
  ASSERT_EQ(plug->initialize(nullptr), kResultOk);  // again after terminate: parameters rebuilt
  EXPECT_EQ(plug->getParameterCount(), count);

  // A host connecting the object to itself: accepted, and no reference is kept.
  plug->addRef();
  const uint32 before = plug->release();
  IConnectionPoint* self = nullptr;
  ASSERT_EQ(plug->queryInterface(IConnectionPoint::iid, reinterpret_cast<void**>(&self)), kResultOk);
  EXPECT_EQ(self->connect(self), kResultTrue);
  self->release();
  plug->addRef();
  EXPECT_EQ(plug->release(), before);
  EXPECT_EQ(self->disconnect(self), kResultTrue);
  EXPECT_EQ(self->connect(nullptr), kInvalidArgument);
  plug->terminate();
  plug->release();
}

TEST(VST3Binding, ParameterListAndTexts) {
  StubPlug* plug = new StubPlug;
  plug->initialize(nullptr);
  ParameterInfo info{};
  ASSERT_EQ(plug->getParameterInfo(0, info), kResultTrue);
  EXPECT_EQ(ToAscii(info.title), "Gain");
  EXPECT_EQ(ToAscii(info.units), "x");
  EXPECT_EQ(info.stepCount, 0);
  EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, 0.5);
  EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate);
  ASSERT_EQ(plug->getParameterInfo(1, info), kResultTrue);
  EXPECT_EQ(info.stepCount, 2);
  EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsList);

  int bypass = 0, program = 0, hidden = 0;
  for (int32 i = 0; i < plug->getParameterCount(); ++i) {
    ASSERT_EQ(plug->getParameterInfo(i, info), kResultTrue);
    EXPECT_EQ(info.unitId, kRootUnitId);
    if (info.flags & ParameterInfo::kIsBypass) {
      ++bypass;
      EXPECT_EQ(info.id, iplug::IPlugVST3::kBypassParam);
      EXPECT_EQ(info.stepCount, 1);
    }
    if (info.flags & ParameterInfo::kIsProgramChange) {
      ++program;
      EXPECT_EQ(info.id, iplug::IPlugVST3::kPresetParam);
      EXPECT_EQ(ToAscii(info.title), "Preset");
      EXPECT_EQ(info.stepCount, 3);
    }
    if (info.flags & ParameterInfo::kIsHidden) {
      ++hidden;
      EXPECT_FALSE(info.flags & ParameterInfo::kCanAutomate);
    }
  }
  EXPECT_EQ(bypass, 1);
  EXPECT_EQ(program, 1);
  EXPECT_EQ(hidden, 16 * 131);
  EXPECT_NE(plug->getParameterInfo(plug->getParameterCount(), info), kResultTrue);  // refused, never thrown
  EXPECT_NE(plug->getParameterInfo(-1, info), kResultTrue);

  String128 text{};
  ASSERT_EQ(plug->getParamStringByValue(0, 0.25, text), kResultTrue);
  EXPECT_EQ(ToAscii(text), "0.500");
  ASSERT_EQ(plug->getParamStringByValue(1, 1.0, text), kResultTrue);
  EXPECT_EQ(ToAscii(text), "C");
  ASSERT_EQ(plug->getParamStringByValue(iplug::IPlugVST3::kPresetParam, 2.0 / 3.0, text), kResultTrue);
  EXPECT_EQ(ToAscii(text), "Two");
  EXPECT_EQ(plug->getParamStringByValue(12345, 0.5, text), kResultFalse);

  TChar typed[8] = {'1', '.', '5', 0};
  ParamValue v = -1.0;
  ASSERT_EQ(plug->getParamValueByString(0, typed, v), kResultTrue);
  EXPECT_DOUBLE_EQ(v, 0.75);
  TChar modeB[2] = {'B', 0};
  ASSERT_EQ(plug->getParamValueByString(1, modeB, v), kResultTrue);
  EXPECT_DOUBLE_EQ(v, 0.5);
  TChar junk[4] = {'x', 'y', 0};
  EXPECT_EQ(plug->getParamValueByString(0, junk, v), kResultFalse);
  EXPECT_DOUBLE_EQ(plug->normalizedParamToPlain(0, 0.5), 1.0);
  EXPECT_DOUBLE_EQ(plug->plainParamToNormalized(0, 1.5), 0.75);
  EXPECT_DOUBLE_EQ(plug->normalizedParamToPlain(iplug::IPlugVST3::kPresetParam, 1.0), 3.0);
  plug->terminate();
  plug->release();
}

TEST(VST3Binding, UnitsAndProgramList) {
  StubPlug* plug = new StubPlug;
  plug->initialize(nullptr);
  EXPECT_EQ(plug->getUnitCount(), 1);
  UnitInfo unit{};
  ASSERT_EQ(plug->getUnitInfo(0, unit), kResultTrue);
  EXPECT_EQ(unit.id, kRootUnitId);
  EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
  EXPECT_EQ(unit.programListId, static_cast<ProgramListID>(iplug::IPlugVST3::kPresetParam));
  EXPECT_NE(plug->getUnitInfo(1, unit), kResultTrue);  // out of range: refused, never thrown
  EXPECT_NE(plug->getUnitInfo(-1, unit), kResultTrue);

  ASSERT_EQ(plug->getProgramListCount(), 1);
  ProgramListInfo list{};
  ASSERT_EQ(plug->getProgramListInfo(0, list), kResultTrue);
  EXPECT_EQ(list.id, static_cast<ProgramListID>(iplug::IPlugVST3::kPresetParam));
  EXPECT_EQ(ToAscii(list.name), "Factory Presets");
  EXPECT_EQ(list.programCount, 4);
  EXPECT_NE(plug->getProgramListInfo(1, list), kResultTrue);
  String128 name{};
  ASSERT_EQ(plug->getProgramName(list.id, 3, name), kResultTrue);
  EXPECT_EQ(ToAscii(name), "Three");
  EXPECT_NE(plug->getProgramName(list.id, 4, name), kResultTrue);
  EXPECT_NE(plug->getProgramName(list.id, -1, name), kResultTrue);
  EXPECT_NE(plug->getProgramName(99, 0, name), kResultTrue);

  // The host's program parameter restores the program it selects.
  ASSERT_EQ(plug->setParamNormalized(iplug::IPlugVST3::kPresetParam, 2.0 / 3.0), kResultTrue);
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 2);
  EXPECT_DOUBLE_EQ(plug->GetParam(0)->Value(), 0.5);
  EXPECT_DOUBLE_EQ(plug->GetParam(1)->Value(), 2.0);
  EXPECT_DOUBLE_EQ(plug->getParamNormalized(iplug::IPlugVST3::kPresetParam), 2.0 / 3.0);
  EXPECT_EQ(plug->setParamNormalized(iplug::IPlugVST3::kPresetParam, NAN), kInvalidArgument);
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 2);
  plug->terminate();
  plug->release();
}

TEST(VST3Binding, MidiMapping) {
  StubPlug* plug = new StubPlug;
  plug->initialize(nullptr);
  ParamID id = 0;
  std::vector<ParamID> seen;
  for (int16 ch = 0; ch < 16; ++ch) {
    for (CtrlNumber cc = 0; cc <= kCtrlProgramChange; ++cc) {
      ASSERT_EQ(plug->getMidiControllerAssignment(0, ch, cc, id), kResultTrue);
      seen.push_back(id);
    }
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());  // all distinct
  // Every mapped ID is a parameter the host can find.
  std::vector<ParamID> ids;
  ParameterInfo info{};
  for (int32 i = 0; i < plug->getParameterCount(); ++i) {
    plug->getParameterInfo(i, info);
    ids.push_back(info.id);
    // Each described as the controller its ID carries, with its value starting at the default.
    if (info.id == iplug::IPlugVST3::kMidiParamBase + 2 * 256 + kPitchBend) {
      EXPECT_EQ(ToAscii(info.title), "MIDI Ch3 Pitch Bend");
      EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, 8192.0 / 16383.0);
    }
    if (info.id == iplug::IPlugVST3::kMidiParamBase + 15 * 256 + 7) {
      EXPECT_EQ(ToAscii(info.title), "MIDI Ch16 CC 7");
    }
    if (info.id >= iplug::IPlugVST3::kMidiParamBase) {
      EXPECT_EQ(plug->getParamNormalized(info.id), info.defaultNormalizedValue);
    }
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_TRUE(std::includes(ids.begin(), ids.end(), seen.begin(), seen.end()));
  // A value the host sets is the one it reads back, for that parameter only.
  const ParamID wheel = iplug::IPlugVST3::kMidiParamBase + 256 + kPitchBend;
  EXPECT_EQ(plug->setParamNormalized(wheel, 0.25), kResultTrue);
  EXPECT_EQ(plug->getParamNormalized(wheel), 0.25);
  EXPECT_EQ(plug->getParamNormalized(wheel + 256), 8192.0 / 16383.0);
  EXPECT_EQ(plug->getMidiControllerAssignment(1, 0, 1, id), kResultFalse);
  EXPECT_EQ(plug->getMidiControllerAssignment(0, 16, 1, id), kResultFalse);
  EXPECT_EQ(plug->getMidiControllerAssignment(0, -1, 1, id), kResultFalse);
  EXPECT_EQ(plug->getMidiControllerAssignment(0, 0, kCtrlProgramChange + 1, id), kResultFalse);
  plug->terminate();
  plug->release();
}

TEST(VST3Binding, BlockOrderParametersThenMidiThenRender) {
  Host host;
  ProcessContext context{};
  context.state = ProcessContext::kTempoValid;
  context.tempo = 93.0;
  host.inParams.add(0, 10, 0.2);
  host.inParams.add(0, 30, 0.6);  // the value at the end of the block wins
  host.inParams.add(MidiParam(2, 64), 5, 1.0);
  host.inParams.add(MidiParam(0, kPitchBend), 2, 0.75);
  host.inParams.add(MidiParam(0, 1), 40, 64 / 127.0);
  host.inParams.add(MidiParam(3, kCtrlProgramChange), 0, 1 / 127.0);
  host.inEvents.noteOn(5, 1, 60, 100 / 127.0f);
  host.inEvents.noteOff(3, 0, 59, 0.0f);
  host.inEvents.noteOn(7, 0, 61, 0.001f);  // a note on stays a note on
  ASSERT_EQ(host.run(48, kSample64, &context), kResultOk);

  const std::vector<std::string> expected = {
      "param 0",
      "midi 0 C3 1 0",    // program change 1 (its restore applies both parameters)
      "param 0", "param 1",
      "midi 2 E0 127 95",  // 0.75 * 16383 = 12287
      "midi 3 80 59 0",
      "midi 5 B2 64 127",  // a mapped controller precedes an event at the same offset
      "midi 5 91 60 100",
      "midi 7 90 61 1",
      "midi 40 B0 1 64",
      "block 48 tempo 93"};
  EXPECT_EQ(host.plug->log, expected);
  EXPECT_DOUBLE_EQ(host.plug->GetTempo(), 93.0);
}

TEST(VST3Binding, LongBlocksAreSplitAndBothSampleSizesRender) {
  Host host(64);
  host.inEvents.noteOn(100, 0, 60, 1.0f);
  host.inEvents.noteOn(149, 0, 62, 1.0f);
  ASSERT_EQ(host.run(150), kResultOk);
  const std::vector<std::string> expected = {"block 64 tempo 120", "midi 36 90 60 127", "block 64 tempo 120",
                                             "midi 21 90 62 127", "block 22 tempo 120"};
  EXPECT_EQ(host.plug->log, expected);
  for (int i = 0; i < 150; ++i) {
    ASSERT_DOUBLE_EQ(host.left[i], (i + 1) / 1024.0);
    ASSERT_DOUBLE_EQ(host.right[i], -(i + 1) / 1024.0);
  }
  EXPECT_EQ(host.silenceFlags, 0u);

  // 32-bit: the same doubles, rounded once to float.
  host.plug->counter = 1;
  ASSERT_EQ(host.run(100, kSample32), kResultOk);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(host.leftF[i], static_cast<float>((i + 1) / 1024.0));
}

TEST(VST3Binding, ProgramParameterInTheBlockAndTheRunLoopTimer) {
  // A host context with a run loop: the plug-in's UI timer runs on it.
  struct RunLoop : Linux::IRunLoop {
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override { return kResultFalse; }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultFalse; }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms) override {
      timer = handler;
      timer->addRef();
      interval = ms;
      return kResultOk;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
      if (handler != timer) return kResultFalse;
      timer->release();
      timer = nullptr;
      return kResultOk;
    }
    TESTHOST_UNCOUNTED(Linux::IRunLoop)
    Linux::ITimerHandler* timer = nullptr;
    Linux::TimerInterval interval = 0;
  } runLoop;

  Host host;
  host.plug->terminate();
  ASSERT_EQ(host.plug->initialize(&runLoop), kResultOk);
  ASSERT_NE(runLoop.timer, nullptr);
  EXPECT_EQ(runLoop.interval, 20u);
  ComponentHandler handler;
  host.plug->setComponentHandler(&handler);

  // The program parameter in the block acts there, before the block's own values, and is announced.
  host.plug->log.clear();
  host.inParams.add(0, 0, 0.1);
  host.inParams.add(iplug::IPlugVST3::kPresetParam, 3, 2.0 / 3.0);
  ASSERT_EQ(host.run(8), kResultOk);
  EXPECT_EQ(host.plug->GetCurrentPresetIdx(), 2);
  EXPECT_DOUBLE_EQ(host.plug->GetParam(0)->Value(), 0.2);
  EXPECT_DOUBLE_EQ(host.plug->GetParam(1)->Value(), 2.0);
  EXPECT_EQ(host.plug->log, (std::vector<std::string>{"param 0", "param 1", "param 0", "block 8 tempo 120"}));
  ASSERT_NE(host.outParams.find(iplug::IPlugVST3::kPresetParam), nullptr);

  // The timer delivers the values-changed notice the audio thread left.
  EXPECT_TRUE(handler.restarts.empty());
  runLoop.timer->onTimer();
  EXPECT_EQ(handler.restarts, (std::vector<int32>{kParamValuesChanged}));
  host.plug->setComponentHandler(nullptr);
  host.plug->terminate();
  EXPECT_EQ(runLoop.timer, nullptr);
  ASSERT_EQ(host.plug->initialize(nullptr), kResultOk);  // for the Host's own teardown
}

TEST(VST3Binding, ZeroSampleBlocksFlushParametersOnly) {
  Host host;
  host.inParams.add(1, 0, 1.0);
  host.inParams.add(iplug::IPlugVST3::kBypassParam, 0, 1.0);
  host.inEvents.noteOff(0, 0, 60, 0.5f);
  ProcessData data;
  data.numSamples = 0;
  data.symbolicSampleSize = kSample32;
  data.inputParameterChanges = &host.inParams;
  data.inputEvents = &host.inEvents;  // no outputs, no buffers at all
  ASSERT_EQ(host.plug->process(data), kResultOk);
  EXPECT_DOUBLE_EQ(host.plug->GetParam(1)->Value(), 2.0);
  EXPECT_TRUE(host.plug->GetBypassed());
  // The note off is not lost; nothing is rendered.
  const std::vector<std::string> expected = {"param 1", "midi 0 80 60 64"};
  EXPECT_EQ(host.plug->log, expected);
}

TEST(VST3Binding, BypassSilencesButMidiThruPasses) {
  Host host;
  host.plug->thru = true;
  host.inParams.add(iplug::IPlugVST3::kBypassParam, 0, 1.0);
  host.inParams.add(MidiParam(5, 74), 3, 20 / 127.0);
  host.inParams.add(MidiParam(5, kPitchBend), 4, 0.0);
  host.inParams.add(MidiParam(5, kAfterTouch), 6, 1.0);
  host.inParams.add(MidiParam(5, kCtrlProgramChange), 1, 2 / 127.0);
  host.inEvents.noteOn(8, 5, 64, 0.5f);
  host.inEvents.noteOff(9, 5, 64, 0.0f);
  ASSERT_EQ(host.run(32), kResultOk);
  for (int i = 0; i < 32; ++i) ASSERT_EQ(host.left[i], 0.0);
  EXPECT_EQ(host.silenceFlags, 3u);

  const auto& out = host.outEvents.events;
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[0].type, Event::kLegacyMIDICCOutEvent);
  EXPECT_EQ(out[0].sampleOffset, 1);
  EXPECT_EQ(out[0].midiCCOut.controlNumber, kCtrlProgramChange);
  EXPECT_EQ(out[0].midiCCOut.channel, 5);
  EXPECT_EQ(out[0].midiCCOut.value, 2);
  EXPECT_EQ(out[1].midiCCOut.controlNumber, 74);
  EXPECT_EQ(out[1].midiCCOut.value, 20);
  EXPECT_EQ(out[2].midiCCOut.controlNumber, kPitchBend);
  EXPECT_EQ(out[2].midiCCOut.value, 0);
  EXPECT_EQ(out[2].midiCCOut.value2, 0);
  EXPECT_EQ(out[3].midiCCOut.controlNumber, kAfterTouch);
  EXPECT_EQ(out[3].midiCCOut.value, 127);
  EXPECT_EQ(out[4].type, Event::kNoteOnEvent);
  EXPECT_EQ(out[4].sampleOffset, 8);
  EXPECT_EQ(out[4].noteOn.channel, 5);
  EXPECT_EQ(out[4].noteOn.pitch, 64);
  EXPECT_FLOAT_EQ(out[4].noteOn.velocity, 64 / 127.0f);
  EXPECT_EQ(out[5].type, Event::kNoteOffEvent);

  // Un-bypassed, the sound is back.
  host.inParams.queues.clear();
  host.inParams.add(iplug::IPlugVST3::kBypassParam, 0, 0.0);
  ASSERT_EQ(host.run(16), kResultOk);
  EXPECT_NE(host.left[0], 0.0);
}

TEST(VST3Binding, HostStateRoundTripIsIdempotent) {
  MemoryStream saved;
  {
    Host host;
    host.plug->setParamNormalized(0, 0.8);
    host.plug->setParamNormalized(1, 0.5);
    host.plug->setParamNormalized(iplug::IPlugVST3::kBypassParam, 1.0);
    ASSERT_EQ(host.plug->getState(&saved), kResultOk);
  }
  // The state record (two doubles for this plug-in) followed by the 32-bit bypass flag.
  ASSERT_EQ(saved.data.size(), 2 * sizeof(double) + 4);
  EXPECT_EQ(saved.data[16], 1);

  Host fresh;
  // A host's restore sequence: setState, setComponentState, setState with the same stream.
  for (int round = 0; round < 3; ++round) {
    saved.rewind();
    const tresult r = round == 1 ? fresh.plug->setComponentState(&saved) : fresh.plug->setState(&saved);
    ASSERT_EQ(r, kResultOk);
    EXPECT_EQ(saved.pos, saved.data.size());
    EXPECT_DOUBLE_EQ(fresh.plug->GetParam(0)->Value(), 1.6);
    EXPECT_DOUBLE_EQ(fresh.plug->GetParam(1)->Value(), 1.0);
    EXPECT_TRUE(fresh.plug->GetBypassed());
    EXPECT_DOUBLE_EQ(fresh.plug->getParamNormalized(iplug::IPlugVST3::kBypassParam), 1.0);
  }
  MemoryStream again;
  ASSERT_EQ(fresh.plug->getState(&again), kResultOk);
  EXPECT_EQ(again.data, saved.data);

  // An empty stream changes nothing; a record without the bypass flag loads and is not bypassed.
  MemoryStream empty;
  EXPECT_EQ(fresh.plug->setState(&empty), kResultFalse);
  EXPECT_DOUBLE_EQ(fresh.plug->GetParam(0)->Value(), 1.6);
  MemoryStream noBypass;
  noBypass.data.assign(saved.data.begin(), saved.data.begin() + 16);
  ASSERT_EQ(fresh.plug->setState(&noBypass), kResultOk);
  EXPECT_FALSE(fresh.plug->GetBypassed());
  EXPECT_EQ(fresh.plug->setState(nullptr), kInvalidArgument);
}

TEST(VST3Binding, HostAndPluginEditsStayConsistent) {
  Host host;
  ComponentHandler handler;
  ASSERT_EQ(host.plug->setComponentHandler(&handler), kResultTrue);

  // The editor's gesture: one edit for the host; the engine gets the value at the next block, once, even
  // when the host echoes it to the controller and in the block.
  host.plug->BeginInformHostOfParamChangeFromUI(0);
  host.plug->SendParameterValueFromUI(0, 0.3);
  host.plug->EndInformHostOfParamChangeFromUI(0);
  ASSERT_EQ(handler.edits.size(), 3u);
  EXPECT_EQ(handler.edits[0].kind, 'b');
  EXPECT_EQ(handler.edits[1].kind, 'p');
  EXPECT_DOUBLE_EQ(handler.edits[1].value, 0.3);
  EXPECT_EQ(handler.edits[2].kind, 'e');
  host.plug->setParamNormalized(0, 0.3);
  host.inParams.add(0, 0, static_cast<float>(0.3));
  EXPECT_TRUE(host.plug->log.empty());
  ASSERT_EQ(host.run(8), kResultOk);
  EXPECT_EQ(host.plug->log, (std::vector<std::string>{"param 0", "block 8 tempo 120"}));

  // Values the plug-in sets itself on the UI thread: no edits, the host re-reads the values.
  host.plug->SetParameterValue(1, 1.0);
  host.plug->setParamNormalized(iplug::IPlugVST3::kBypassParam, 0.0);  // the next controller call delivers it
  EXPECT_EQ(handler.edits.size(), 3u);
  ASSERT_EQ(handler.restarts.size(), 1u);
  EXPECT_EQ(handler.restarts[0], kParamValuesChanged);

  // From the audio thread: into the block's output parameter changes, never to the handler.
  host.inParams.queues.clear();
  host.inParams.add(MidiParam(0, 7), 0, 127 / 127.0);  // the stub sets "Gain" from controller 7
  ASSERT_EQ(host.run(16), kResultOk);
  EXPECT_EQ(handler.edits.size(), 3u);
  const ParamQueue* q = host.outParams.find(0);
  ASSERT_NE(q, nullptr);
  ASSERT_EQ(q->points.size(), 1u);
  EXPECT_DOUBLE_EQ(q->points[0].second, 1.0);

  // A program change by MIDI is restored in its block and announced there; the values follow by a
  // values-changed restart on the UI thread. The host passing the announcement back restores nothing.
  host.outParams.queues.clear();
  host.inParams.queues.clear();
  host.inParams.add(MidiParam(0, kCtrlProgramChange), 0, 3 / 127.0);
  host.run(8);
  EXPECT_EQ(host.plug->GetCurrentPresetIdx(), 3);
  EXPECT_DOUBLE_EQ(host.plug->GetParam(0)->Value(), 0.25);
  ASSERT_NE(host.outParams.find(iplug::IPlugVST3::kPresetParam), nullptr);
  EXPECT_DOUBLE_EQ(host.outParams.find(iplug::IPlugVST3::kPresetParam)->points.back().second, 1.0);
  EXPECT_EQ(host.outParams.find(1), nullptr);
  host.plug->setParamNormalized(0, 0.9);  // an edit, then the echo of the announcement
  EXPECT_EQ(host.plug->setParamNormalized(iplug::IPlugVST3::kPresetParam, 1.0), kResultTrue);
  EXPECT_DOUBLE_EQ(host.plug->GetParam(0)->Value(), 1.8);
  ASSERT_EQ(handler.restarts.size(), 2u);
  EXPECT_EQ(handler.restarts[1], kParamValuesChanged);

  // The programs changed: the host re-reads the list and the values.
  host.plug->InformHostOfPresetChange();
  host.plug->FlushUIQueue();
  ASSERT_EQ(handler.programListChanges.size(), 1u);
  EXPECT_EQ(handler.restarts.back(), kParamValuesChanged);
  host.plug->setComponentHandler(nullptr);
}
