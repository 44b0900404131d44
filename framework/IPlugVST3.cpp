// The VST3 binding's life cycle: construction, initialisation with the UI timer, activation, processing
// set-up, and the buses the host sees.
#include "IPlugVST3.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "IGraphics.h"
#include "IPlugVST3_Util.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {

namespace {

SpeakerArrangement ArrangementFor(int nChans) {
  if (nChans == 1) return SpeakerArr::kMono;
  if (nChans == 2) return SpeakerArr::kStereo;
  return nChans >= 64 ? ~SpeakerArrangement(0) : (SpeakerArrangement(1) << nChans) - 1;
}

}  // namespace

// The UI timer registered with the host's run loop. The host may hold it beyond terminate() (a callback
// running while it is unregistered), so it is reference counted and forgets the plug-in when stopped.
class IPlugVST3::Timer : public Linux::ITimerHandler {
public:
  explicit Timer(IPlugVST3* plug) : mPlug(plug) {}
  void PLUGIN_API onTimer() override {
    // An open editor with a run loop of its own has its own timer, which calls OnTimer instead.
    if (mPlug && !(mPlug->GetUI() && mPlug->GetUI()->GetPlatformContext())) mPlug->OnTimer();
  }
  void Detach() { mPlug = nullptr; }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, Linux::ITimerHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
      addRef();
      *obj = static_cast<Linux::ITimerHandler*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --mRefs;
    if (left == 0) delete this;
    return left;
  }

private:
  virtual ~Timer() = default;
  IPlugVST3* mPlug;
  std::atomic<uint32> mRefs{1};
};

IPlugVST3::IPlugVST3(const Config& config) : IPlugAPIBase(config) {
  int nIn = 0, nOut = 0;
  if (config.channelIOStr && std::sscanf(config.channelIOStr, "%d-%d", &nIn, &nOut) == 2) {
    mNumInChans = std::clamp(nIn, 0, 64);
    mNumOutChans = std::clamp(nOut, 0, 64);
  }
  mOutPtrs.resize(std::max(mNumOutChans, 1), nullptr);
  mInPtrs.resize(std::max(mNumInChans, 1), nullptr);
}

IPlugVST3::~IPlugVST3() {
  if (mInitialized) IPlugVST3::terminate();
}

// ---------------------------------------------------------------------------------------------------------
// Life cycle

tresult PLUGIN_API IPlugVST3::initialize(FUnknown* context) {
  if (mInitialized) return kResultFalse;
  const tresult result = EditControllerEx1::initialize(context);
  if (result != kResultOk) return result;
  BuildParameters();
  StartTimer(context);
  mInitialized = true;
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::terminate() {
  if (!mInitialized) return kResultFalse;
  if (mActive) setActive(false);
  StopTimer();
  mInitialized = false;
  mMidiParamValues.clear();
  return EditControllerEx1::terminate();
}

void IPlugVST3::StartTimer(FUnknown* context) {
  if (!context) return;
  Linux::IRunLoop* runLoop = nullptr;
  if (context->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&runLoop)) != kResultOk || !runLoop) {
    return;
  }
  mTimer = new Timer(this);
  if (runLoop->registerTimer(mTimer, kTimerIntervalMs) == kResultOk) {
    mRunLoop = runLoop;
  } else {
    mTimer->release();
    mTimer = nullptr;
    runLoop->release();
  }
}

void IPlugVST3::StopTimer() {
  if (!mRunLoop) return;
  mRunLoop->unregisterTimer(mTimer);
  mTimer->Detach();
  mTimer->release();
  mTimer = nullptr;
  mRunLoop->release();
  mRunLoop = nullptr;
}

tresult PLUGIN_API IPlugVST3::setActive(TBool state) {
  FlushUIQueue();
  if ((state != 0) == mActive) return kResultOk;  // no transition: nothing to do
  if (state) {
    EnsureProcessingSetUp();
    OnActivate(true);
    SetProcessingActive(true);
    mActive = true;
  } else {
    mActive = false;
    SetProcessingActive(false);
    OnActivate(false);
  }
  return kResultOk;
}

// ---------------------------------------------------------------------------------------------------------
// Processing set-up

tresult PLUGIN_API IPlugVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return (symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64) ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API IPlugVST3::getLatencySamples() { return static_cast<uint32>(std::max(GetConfig().latency, 0)); }

uint32 PLUGIN_API IPlugVST3::getTailSamples() { return kInfiniteTail; }

uint32 PLUGIN_API IPlugVST3::getProcessContextRequirements() {
  return IProcessContextRequirements::kNeedTempo;
}

void IPlugVST3::AllocateScratch(int maxBlock) {
  mMaxBlock = std::max(maxBlock, 1);
  mScratch.assign(static_cast<size_t>(std::max(mNumOutChans, 1)) * mMaxBlock, 0.0);
  mInScratch.assign(static_cast<size_t>(std::max(mNumInChans, 1)) * mMaxBlock, 0.0);
  for (size_t c = 0; c < mInPtrs.size(); ++c) mInPtrs[c] = mInScratch.data() + c * mMaxBlock;
}

tresult PLUGIN_API IPlugVST3::setupProcessing(ProcessSetup& setup) {
  // The host sets up processing only while the plug-in is inactive; scratch is resized here.
  if (mActive) return kResultFalse;
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue) return kResultFalse;
  if (setup.maxSamplesPerBlock <= 0 || !(setup.sampleRate >= kMinSampleRate && setup.sampleRate <= kMaxSampleRate)) {
    return kResultFalse;
  }
  AllocateScratch(setup.maxSamplesPerBlock);
  ResetProcessing(setup.sampleRate, setup.maxSamplesPerBlock);
  mSetUp = true;
  return kResultOk;
}

void IPlugVST3::EnsureProcessingSetUp() {
  if (mSetUp) return;
  // Activation without a set-up: run with the current (default) rate and block size.
  AllocateScratch(GetBlockSize());
  ResetProcessing(GetSampleRate(), mMaxBlock);
  mSetUp = true;
}

tresult PLUGIN_API IPlugVST3::setProcessing(TBool state) {
  // Switching processing off resets the instance (held keys, tick count) at the current settings.
  if (!state && mSetUp) ResetProcessing(GetSampleRate(), GetBlockSize());
  return kResultOk;
}

// ---------------------------------------------------------------------------------------------------------
// Buses

int32 PLUGIN_API IPlugVST3::getBusCount(MediaType type, BusDirection dir) {
  if (type == kAudio) return dir == kInput ? (mNumInChans > 0 ? 1 : 0) : (mNumOutChans > 0 ? 1 : 0);
  if (type == kEvent) {
    return dir == kInput ? (GetConfig().plugDoesMidiIn ? 1 : 0) : (GetConfig().plugDoesMidiOut ? 1 : 0);
  }
  return 0;
}

tresult PLUGIN_API IPlugVST3::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
  if (index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
  bus = BusInfo{};
  bus.mediaType = type;
  bus.direction = dir;
  bus.busType = kMain;
  bus.flags = BusInfo::kDefaultActive;
  if (type == kAudio) {
    bus.channelCount = dir == kInput ? mNumInChans : mNumOutChans;
    ToString128(dir == kInput ? "Input" : "Output", bus.name);
  } else {
    bus.channelCount = kNumMidiChannels;
    ToString128(dir == kInput ? "MIDI In" : "MIDI Out", bus.name);
  }
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/) {
  return kNotImplemented;
}

tresult PLUGIN_API IPlugVST3::activateBus(MediaType type, BusDirection dir, int32 index, TBool state) {
  if (index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
  const bool on = state != 0;
  if (type == kAudio) (dir == kInput ? mInBusActive : mOutBusActive) = on;
  else (dir == kInput ? mMidiInActive : mMidiOutActive) = on;
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                 SpeakerArrangement* outputs, int32 numOuts) {
  if (numIns < 0 || numOuts < 0) return kInvalidArgument;
  if ((numIns > 0 && !inputs) || (numOuts > 0 && !outputs)) return kInvalidArgument;
  if (numIns != getBusCount(kAudio, kInput) || numOuts != getBusCount(kAudio, kOutput)) return kResultFalse;
  if (numIns > 0 && inputs[0] != ArrangementFor(mNumInChans)) return kResultFalse;
  if (numOuts > 0 && outputs[0] != ArrangementFor(mNumOutChans)) return kResultFalse;
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
  if (index < 0 || index >= getBusCount(kAudio, dir)) return kInvalidArgument;
  arr = ArrangementFor(dir == kInput ? mNumInChans : mNumOutChans);
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getControllerClassId(TUID /*classId*/) { return kNotImplemented; }

tresult PLUGIN_API IPlugVST3::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

// ---------------------------------------------------------------------------------------------------------
// Connection point

tresult PLUGIN_API IPlugVST3::connect(IConnectionPoint* other) {
  // Nothing is exchanged with a peer; no reference is kept (a host may connect the object to itself).
  return other ? kResultTrue : kInvalidArgument;
}

tresult PLUGIN_API IPlugVST3::disconnect(IConnectionPoint* other) { return other ? kResultTrue : kInvalidArgument; }

tresult PLUGIN_API IPlugVST3::notify(IMessage* message) { return message ? kResultFalse : kInvalidArgument; }

}  // namespace iplug
