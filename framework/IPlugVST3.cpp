#include "IPlugVST3.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pluginterfaces/base/ibstream.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {

namespace {

// UTF-8 into a zero-terminated String128 (cut to 127 UTF-16 units).
void ToString128(const char* text, String128 out) {
  int n = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*s && n < 127) {
    uint32_t cp = *s++;
    int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
    if (extra) cp &= (0x3F >> extra);
    for (; extra > 0 && (*s & 0xC0) == 0x80; --extra) cp = (cp << 6) | (*s++ & 0x3F);
    if (extra > 0) cp = 0xFFFD;  // truncated sequence
    if (cp >= 0x10000) {
      if (n + 2 > 127) break;
      cp -= 0x10000;
      out[n++] = static_cast<TChar>(0xD800 + (cp >> 10));
      out[n++] = static_cast<TChar>(0xDC00 + (cp & 0x3FF));
    } else {
      out[n++] = static_cast<TChar>(cp);
    }
  }
  out[n] = 0;
}

// A zero-terminated UTF-16 text (at most 128 units) into UTF-8.
std::string ToUtf8(const TChar* text) {
  std::string out;
  if (!text) return out;
  for (int i = 0; i < 128 && text[i]; ++i) {
    uint32_t cp = static_cast<uint16_t>(text[i]);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < 128 && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// Parses a whole text as a number (surrounding blanks allowed).
bool ParseNumber(const std::string& text, double& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  value = std::strtod(begin, &end);
  if (end == begin) return false;
  while (*end == ' ') ++end;
  return *end == 0 && std::isfinite(value);
}

double Clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

SpeakerArrangement ArrangementFor(int nChans) {
  if (nChans == 1) return SpeakerArr::kMono;
  if (nChans == 2) return SpeakerArr::kStereo;
  return nChans >= 64 ? ~SpeakerArrangement(0) : (SpeakerArrangement(1) << nChans) - 1;
}

uint8_t ToMidi7(double normalized) { return static_cast<uint8_t>(std::lround(Clamp01(normalized) * 127.0)); }

}  // namespace

IPlugVST3::IPlugVST3(const Config& config) : IPlugAPIBase(config) {
  int nIn = 0, nOut = 0;
  if (config.channelIOStr && std::sscanf(config.channelIOStr, "%d-%d", &nIn, &nOut) == 2) {
    mNumInChans = std::clamp(nIn, 0, 64);
    mNumOutChans = std::clamp(nOut, 0, 64);
  }
  mPending.resize(kMaxBlockMessages);
  mOutPtrs.resize(std::max(mNumOutChans, 1), nullptr);
  mInPtrs.resize(std::max(mNumInChans, 1), nullptr);
}

IPlugVST3::~IPlugVST3() {
  if (mInitialized) IPlugVST3::terminate();
}

bool IPlugVST3::IsProcessThread() const {
  return mProcessThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

// ---------------------------------------------------------------------------------------------------------
// Life cycle

tresult PLUGIN_API IPlugVST3::initialize(FUnknown* context) {
  if (mInitialized) return kResultFalse;
  const tresult result = EditControllerEx1::initialize(context);
  if (result != kResultOk) return result;
  BuildParameters();
  mInitialized = true;
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::terminate() {
  if (!mInitialized) return kResultFalse;
  mInitialized = false;
  mActive = false;
  return EditControllerEx1::terminate();
}

void IPlugVST3::BuildParameters() {
  parameters.removeAll();
  for (int i = 0; i < NParams(); ++i) {
    const IParam* p = GetParam(i);
    ParameterInfo info{};
    info.id = static_cast<ParamID>(i);
    ToString128(p->GetName(), info.title);
    ToString128(p->GetName(), info.shortTitle);
    ToString128(p->GetLabel(), info.units);
    info.stepCount = 0;
    const double range = p->GetRange();
    if (p->GetStepped() && p->GetStep() > 0.0 && p->GetShape().exponent == 1.0 && range > 0.0) {
      const double steps = range / p->GetStep();
      if (steps >= 1.0 && steps <= 1.0e6) info.stepCount = static_cast<int32>(std::lround(steps));
    }
    info.defaultNormalizedValue = Clamp01(p->GetDefault(true));
    info.unitId = kRootUnitId;
    info.flags = p->GetCanAutomate() ? ParameterInfo::kCanAutomate : ParameterInfo::kNoFlags;
    if (p->Type() == IParam::kTypeEnum) info.flags |= ParameterInfo::kIsList;
    parameters.addParameter(info);
  }

  {
    ParameterInfo info{};
    info.id = kBypassParam;
    ToString128("Bypass", info.title);
    ToString128("Bypass", info.shortTitle);
    info.stepCount = 1;
    info.defaultNormalizedValue = 0.0;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass | ParameterInfo::kIsList;
    parameters.addParameter(info);
  }

  if (NPresets() > 0) {
    ParameterInfo info{};
    info.id = kPresetParam;
    ToString128("Preset", info.title);
    ToString128("Preset", info.shortTitle);
    info.stepCount = NPresets() - 1;
    info.defaultNormalizedValue = 0.0;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kIsProgramChange | ParameterInfo::kCanAutomate | ParameterInfo::kIsList;
    parameters.addParameter(info);
  }

  if (GetConfig().plugDoesMidiIn) {
    for (int ch = 0; ch < kNumMidiChannels; ++ch) {
      for (int cc = 0; cc < kNumMidiControllers; ++cc) {
        ParameterInfo info{};
        info.id = kMidiParamBase + static_cast<ParamID>(ch * 256 + cc);
        char title[32];
        if (cc == kAfterTouch) std::snprintf(title, sizeof title, "MIDI Ch%d Pressure", ch + 1);
        else if (cc == kPitchBend) std::snprintf(title, sizeof title, "MIDI Ch%d Pitch Bend", ch + 1);
        else if (cc == kCtrlProgramChange) std::snprintf(title, sizeof title, "MIDI Ch%d Program", ch + 1);
        else std::snprintf(title, sizeof title, "MIDI Ch%d CC %d", ch + 1, cc);
        ToString128(title, info.title);
        ToString128(title, info.shortTitle);
        info.stepCount = 0;
        info.defaultNormalizedValue = cc == kPitchBend ? 8192.0 / 16383.0 : 0.0;
        info.unitId = kRootUnitId;
        info.flags = ParameterInfo::kIsHidden | ParameterInfo::kIsReadOnly;
        parameters.addParameter(info);
      }
    }
  }
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
  if (setup.maxSamplesPerBlock <= 0 || !(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate)) {
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

tresult PLUGIN_API IPlugVST3::setActive(TBool state) {
  // Repeating the current state is not a transition: refused, as the VST3 state model asks.
  if ((state != 0) == mActive) return kResultFalse;
  if (state) {
    EnsureProcessingSetUp();
    mActive = true;
    OnActivate(true);
  } else {
    mActive = false;
    OnActivate(false);
  }
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3::setProcessing(TBool state) {
  // Switching processing off resets the instance (held keys, tick count) at the current settings.
  if (!state && mSetUp) ResetProcessing(GetSampleRate(), GetBlockSize());
  return kResultOk;
}

// ---------------------------------------------------------------------------------------------------------
// Processing

bool IPlugVST3::IsMidiParam(ParamID id, int& channel, int& controller) const {
  if (!GetConfig().plugDoesMidiIn || id < kMidiParamBase) return false;
  const ParamID rel = id - kMidiParamBase;
  channel = static_cast<int>(rel / 256);
  controller = static_cast<int>(rel % 256);
  return channel < kNumMidiChannels && controller < kNumMidiControllers;
}

bool IPlugVST3::IsEcho(double current, double incoming) const {
  // Hosts that hold values in single precision send our own announcements back rounded to float.
  return incoming == current || incoming == static_cast<double>(static_cast<float>(current));
}

void IPlugVST3::AddPending(const IMidiMsg& msg, int order) {
  if (mNumPending >= static_cast<int>(mPending.size())) return;  // full: no allocation on the audio thread
  int k = mNumPending++;
  while (k > 0 && (mPending[k - 1].msg.mOffset > msg.mOffset ||
                   (mPending[k - 1].msg.mOffset == msg.mOffset && mPending[k - 1].order > order))) {
    mPending[k] = mPending[k - 1];
    --k;
  }
  mPending[k] = PendingMidi{msg, order};
}

void IPlugVST3::ApplyParameterChanges(IParameterChanges* changes, int nFrames) {
  if (!changes) return;
  const int32 nQueues = changes->getParameterCount();
  for (int32 q = 0; q < nQueues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (!queue) continue;
    const ParamID id = queue->getParameterId();
    const int32 nPoints = queue->getPointCount();
    if (nPoints <= 0) continue;

    if (id < static_cast<ParamID>(NParams())) {
      // The value at the end of the block: the last point.
      int32 offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(nPoints - 1, offset, value) != kResultTrue || !std::isfinite(value)) continue;
      value = Clamp01(value);
      const IParam* param = GetParam(static_cast<int>(id));
      if (param->FromNormalized(value) == param->Value() || IsEcho(param->GetNormalized(), value)) continue;
      SetParameterFromHost(static_cast<int>(id), value);
    } else if (id == kBypassParam) {
      int32 offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(nPoints - 1, offset, value) == kResultTrue && std::isfinite(value)) SetBypassed(value >= 0.5);
    } else {
      // The program-change parameter is acted on by the controller side (setParamNormalized).
      int channel = 0, controller = 0;
      if (!IsMidiParam(id, channel, controller)) continue;
      for (int32 j = 0; j < nPoints; ++j) {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue->getPoint(j, offset, value) != kResultTrue || !std::isfinite(value)) continue;
        const int off = std::clamp<int>(offset, 0, std::max(nFrames - 1, 0));
        const uint8_t ch = static_cast<uint8_t>(channel);
        IMidiMsg msg;
        if (controller < 128) {
          msg = IMidiMsg(off, static_cast<uint8_t>(0xB0 | ch), static_cast<uint8_t>(controller), ToMidi7(value));
        } else if (controller == kAfterTouch) {
          msg = IMidiMsg(off, static_cast<uint8_t>(0xD0 | ch), ToMidi7(value), 0);
        } else if (controller == kPitchBend) {
          const long bend = std::lround(Clamp01(value) * 16383.0);
          msg = IMidiMsg(off, static_cast<uint8_t>(0xE0 | ch), static_cast<uint8_t>(bend & 0x7F),
                         static_cast<uint8_t>(bend >> 7));
        } else {
          msg = IMidiMsg(off, static_cast<uint8_t>(0xC0 | ch), ToMidi7(value), 0);
        }
        AddPending(msg, 0);
      }
    }
  }
}

void IPlugVST3::CollectEvents(IEventList* events, int nFrames) {
  if (!events) return;
  const int32 n = events->getEventCount();
  for (int32 i = 0; i < n; ++i) {
    Event e{};
    if (events->getEvent(i, e) != kResultOk || e.busIndex != 0) continue;
    const int off = std::clamp<int>(e.sampleOffset, 0, std::max(nFrames - 1, 0));
    int channel = 0, pitch = 0;
    uint8_t status = 0, data2 = 0;
    switch (e.type) {
      case Event::kNoteOnEvent: {
        channel = e.noteOn.channel;
        pitch = e.noteOn.pitch;
        // A VST3 note on is always a note on: its velocity never rounds down to 0 (a MIDI note off).
        data2 = std::max<uint8_t>(ToMidi7(e.noteOn.velocity), 1);
        status = 0x90;
        break;
      }
      case Event::kNoteOffEvent:
        channel = e.noteOff.channel;
        pitch = e.noteOff.pitch;
        data2 = ToMidi7(e.noteOff.velocity);
        status = 0x80;
        break;
      case Event::kPolyPressureEvent:
        channel = e.polyPressure.channel;
        pitch = e.polyPressure.pitch;
        data2 = ToMidi7(e.polyPressure.pressure);
        status = 0xA0;
        break;
      default:
        continue;
    }
    if (channel < 0 || channel >= kNumMidiChannels || pitch < 0 || pitch > 127) continue;
    AddPending(IMidiMsg(off, static_cast<uint8_t>(status | channel), static_cast<uint8_t>(pitch), data2), 1);
  }
}

void IPlugVST3::RenderSpan(ProcessData& data, int start, int n, int& nextMsg) {
  mSpanStart = start;
  const int end = start + n;
  while (nextMsg < mNumPending && mPending[nextMsg].msg.mOffset < end) {
    IMidiMsg msg = mPending[nextMsg++].msg;
    msg.mOffset -= start;
    ProcessMidiMsg(msg);
  }

  AudioBusBuffers* bus = (data.numOutputs > 0 && data.outputs) ? &data.outputs[0] : nullptr;
  const int hostChans = bus ? bus->numChannels : 0;
  const bool is64 = data.symbolicSampleSize == kSample64;
  bool direct = is64 && bus && hostChans >= mNumOutChans && bus->channelBuffers64;
  for (int c = 0; direct && c < mNumOutChans; ++c) direct = bus->channelBuffers64[c] != nullptr;

  for (int c = 0; c < mNumOutChans; ++c) {
    mOutPtrs[c] = direct ? bus->channelBuffers64[c] + start : mScratch.data() + static_cast<size_t>(c) * mMaxBlock;
  }
  ProcessBlock(mInPtrs.data(), mOutPtrs.data(), n);

  if (!bus) return;
  const bool silent = GetBypassed();
  for (int c = 0; c < hostChans; ++c) {
    const bool ours = c < mNumOutChans && !silent;
    if (is64) {
      double* out = bus->channelBuffers64 ? bus->channelBuffers64[c] : nullptr;
      if (!out) continue;
      if (!ours) std::fill(out + start, out + end, 0.0);
      else if (!direct) std::copy(mOutPtrs[c], mOutPtrs[c] + n, out + start);
    } else {
      float* out = bus->channelBuffers32 ? bus->channelBuffers32[c] : nullptr;
      if (!out) continue;
      if (!ours) {
        std::fill(out + start, out + end, 0.0f);
      } else {
        const double* src = mOutPtrs[c];
        for (int i = 0; i < n; ++i) out[start + i] = static_cast<float>(src[i]);
      }
    }
  }
}

tresult PLUGIN_API IPlugVST3::process(ProcessData& data) {
  mProcessThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
  struct ThreadMark {
    std::atomic<std::thread::id>& id;
    ~ThreadMark() { id.store(std::thread::id(), std::memory_order_relaxed); }
  } mark{mProcessThread};

  const int nFrames = std::max<int32>(data.numSamples, 0);
  mOutParamChanges = data.outputParameterChanges;
  mOutEvents = mMidiOutActive ? data.outputEvents : nullptr;
  mSpanStart = 0;
  mRestoredInBlock = false;

  if (data.processContext && (data.processContext->state & ProcessContext::kTempoValid) &&
      data.processContext->tempo > 0.0 && std::isfinite(data.processContext->tempo)) {
    SetTempo(data.processContext->tempo);
  }

  mNumPending = 0;
  ApplyParameterChanges(data.inputParameterChanges, nFrames);
  if (mMidiInActive) CollectEvents(data.inputEvents, nFrames);

  int nextMsg = 0;
  if (nFrames == 0 || mMaxBlock == 0) {
    // Nothing to render (a parameter flush, or processing without set-up): MIDI is still taken in,
    // so that no note off is lost; it acts at the start of the next block.
    while (nextMsg < mNumPending) ProcessMidiMsg(mPending[nextMsg++].msg);
    if (nFrames > 0 && data.numOutputs > 0 && data.outputs) {
      AudioBusBuffers& bus = data.outputs[0];
      for (int c = 0; c < bus.numChannels; ++c) {
        if (data.symbolicSampleSize == kSample64 && bus.channelBuffers64 && bus.channelBuffers64[c])
          std::fill(bus.channelBuffers64[c], bus.channelBuffers64[c] + nFrames, 0.0);
        else if (data.symbolicSampleSize == kSample32 && bus.channelBuffers32 && bus.channelBuffers32[c])
          std::fill(bus.channelBuffers32[c], bus.channelBuffers32[c] + nFrames, 0.0f);
      }
    }
  } else {
    // Blocks longer than the set-up maximum are rendered in pieces.
    for (int start = 0; start < nFrames; start += mMaxBlock) {
      RenderSpan(data, start, std::min(mMaxBlock, nFrames - start), nextMsg);
    }
  }

  // Silence flags: one bit per output channel that holds only zeros.
  if (data.numOutputs > 0 && data.outputs) {
    AudioBusBuffers& bus = data.outputs[0];
    uint64 flags = 0;
    for (int c = 0; c < bus.numChannels && c < 64; ++c) {
      bool zero = true;
      if (data.symbolicSampleSize == kSample64 && bus.channelBuffers64 && bus.channelBuffers64[c]) {
        for (int i = 0; i < nFrames && zero; ++i) zero = bus.channelBuffers64[c][i] == 0.0;
      } else if (data.symbolicSampleSize == kSample32 && bus.channelBuffers32 && bus.channelBuffers32[c]) {
        for (int i = 0; i < nFrames && zero; ++i) zero = bus.channelBuffers32[c][i] == 0.0f;
      }
      if (zero) flags |= uint64(1) << c;
    }
    bus.silenceFlags = flags;
  }

  // A program restored during the block (MIDI program change): the host's view follows.
  if (mRestoredInBlock) {
    mSpanStart = 0;
    if (NPresets() > 1) {
      QueueOutputParamChange(kPresetParam, static_cast<double>(GetCurrentPresetIdx()) / (NPresets() - 1));
    }
    for (int i = 0; i < NParams(); ++i) QueueOutputParamChange(static_cast<ParamID>(i), GetParam(i)->GetNormalized());
  }

  mOutParamChanges = nullptr;
  mOutEvents = nullptr;
  return kResultOk;
}

void IPlugVST3::QueueOutputParamChange(ParamID id, double normalizedValue) {
  if (!mOutParamChanges) return;
  int32 index = 0;
  IParamValueQueue* queue = mOutParamChanges->addParameterData(id, index);
  if (!queue) return;
  int32 pointIndex = 0;
  queue->addPoint(mSpanStart, normalizedValue, pointIndex);
}

void IPlugVST3::OnRestoreState() {
  if (IsProcessThread()) mRestoredInBlock = true;
}

bool IPlugVST3::SendMidiMsg(const IMidiMsg& msg) {
  if (!IsProcessThread() || !mOutEvents) return false;
  Event e{};
  e.busIndex = 0;
  e.sampleOffset = std::max(msg.mOffset, 0) + mSpanStart;
  e.flags = Event::kIsLive;
  const int16 channel = static_cast<int16>(msg.Channel());
  switch (msg.StatusMsg()) {
    case IMidiMsg::kNoteOn:
      if (msg.mData2 > 0) {
        e.type = Event::kNoteOnEvent;
        e.noteOn.channel = channel;
        e.noteOn.pitch = msg.mData1;
        e.noteOn.velocity = msg.mData2 / 127.0f;
        e.noteOn.noteId = -1;
        break;
      }
      [[fallthrough]];  // velocity 0: a note off
    case IMidiMsg::kNoteOff:
      e.type = Event::kNoteOffEvent;
      e.noteOff.channel = channel;
      e.noteOff.pitch = msg.mData1;
      e.noteOff.velocity = msg.mData2 / 127.0f;
      e.noteOff.noteId = -1;
      break;
    case IMidiMsg::kPolyAftertouch:
      e.type = Event::kPolyPressureEvent;
      e.polyPressure.channel = channel;
      e.polyPressure.pitch = msg.mData1;
      e.polyPressure.pressure = msg.mData2 / 127.0f;
      e.polyPressure.noteId = -1;
      break;
    case IMidiMsg::kControlChange:
      e.type = Event::kLegacyMIDICCOutEvent;
      e.midiCCOut = LegacyMIDICCOutEvent{static_cast<uint8>(msg.mData1 & 0x7F), static_cast<int8>(channel),
                                         static_cast<int8>(msg.mData2 & 0x7F), 0};
      break;
    case IMidiMsg::kProgramChange:
      e.type = Event::kLegacyMIDICCOutEvent;
      e.midiCCOut = LegacyMIDICCOutEvent{static_cast<uint8>(kCtrlProgramChange), static_cast<int8>(channel),
                                         static_cast<int8>(msg.mData1 & 0x7F), 0};
      break;
    case IMidiMsg::kChannelAftertouch:
      e.type = Event::kLegacyMIDICCOutEvent;
      e.midiCCOut = LegacyMIDICCOutEvent{static_cast<uint8>(kAfterTouch), static_cast<int8>(channel),
                                         static_cast<int8>(msg.mData1 & 0x7F), 0};
      break;
    case IMidiMsg::kPitchWheel:
      e.type = Event::kLegacyMIDICCOutEvent;
      e.midiCCOut = LegacyMIDICCOutEvent{static_cast<uint8>(kPitchBend), static_cast<int8>(channel),
                                         static_cast<int8>(msg.mData1 & 0x7F), static_cast<int8>(msg.mData2 & 0x7F)};
      break;
    default:
      return false;
  }
  return mOutEvents->addEvent(e) == kResultOk;
}

// ---------------------------------------------------------------------------------------------------------
// Host state

bool IPlugVST3::RestoreHostState(IBStream* state) {
  if (!state) return false;
  int64 start = 0;
  state->tell(&start);
  IByteChunk chunk;
  char buffer[128];
  for (;;) {
    int32 got = 0;
    const tresult result = state->read(buffer, sizeof buffer, &got);
    if (got > 0) chunk.PutBytes(buffer, got);
    if (result != kResultOk || got < static_cast<int32>(sizeof buffer)) break;
  }
  if (chunk.Size() == 0) return false;  // nothing to restore: keep the current sound

  const int pos = unserializeKestrosaState(chunk, 0);
  if (pos <= 0) return false;
  int32 bypass = 0;
  const int after = chunk.Get(&bypass, pos);
  SetBypassed(after > 0 && bypass != 0);
  state->seek(start + (after > 0 ? after : pos), IBStream::kIBSeekSet, nullptr);
  return true;
}

tresult PLUGIN_API IPlugVST3::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  return RestoreHostState(state) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPlugVST3::setComponentState(IBStream* state) {
  // Processor and controller are one object: the same restore (it is idempotent).
  if (!state) return kInvalidArgument;
  return RestoreHostState(state) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPlugVST3::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  IByteChunk chunk;
  SerializeState(chunk);
  const int32 bypass = GetBypassed() ? 1 : 0;
  chunk.Put(&bypass);
  int32 written = 0;
  if (state->write(chunk.GetData(), chunk.Size(), &written) != kResultOk || written != chunk.Size()) {
    return kResultFalse;
  }
  return kResultOk;
}

// ---------------------------------------------------------------------------------------------------------
// Parameters (controller side)

tresult PLUGIN_API IPlugVST3::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= parameters.getParameterCount()) return kInvalidArgument;
  return EditControllerEx1::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API IPlugVST3::getParamStringByValue(ParamID tag, ParamValue valueNormalized, String128 string) {
  if (!string || !std::isfinite(valueNormalized)) return kInvalidArgument;
  const double v = Clamp01(valueNormalized);
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) {
    WDL_String text;
    GetParam(static_cast<int>(tag))->GetDisplay(v, true, text);
    ToString128(text.Get(), string);
  } else if (tag == kBypassParam) {
    ToString128(v >= 0.5 ? "On" : "Off", string);
  } else if (tag == kPresetParam && NPresets() > 0) {
    ToString128(GetPresetName(static_cast<int>(std::lround(v * (NPresets() - 1)))), string);
  } else if (IsMidiParam(tag, channel, controller)) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", std::lround(v * (controller == kPitchBend ? 16383.0 : 127.0)));
    ToString128(text, string);
  } else {
    return kResultFalse;
  }
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getParamValueByString(ParamID tag, TChar* string, ParamValue& valueNormalized) {
  if (!string) return kInvalidArgument;
  const std::string text = ToUtf8(string);
  double number = 0.0;
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) {
    const IParam* param = GetParam(static_cast<int>(tag));
    double plain = 0.0;
    if (!param->StringToValue(text.c_str(), plain)) return kResultFalse;
    valueNormalized = param->ToNormalized(plain);
  } else if (tag == kBypassParam) {
    if (text == "On") valueNormalized = 1.0;
    else if (text == "Off") valueNormalized = 0.0;
    else if (ParseNumber(text, number)) valueNormalized = number >= 0.5 ? 1.0 : 0.0;
    else return kResultFalse;
  } else if (tag == kPresetParam && NPresets() > 0) {
    const double last = std::max(NPresets() - 1, 1);
    int found = -1;
    for (int i = 0; i < NPresets() && found < 0; ++i) {
      if (text == GetPresetName(i)) found = i;
    }
    if (found < 0 && ParseNumber(text, number) && number >= 0 && number < NPresets()) {
      found = static_cast<int>(number);
    }
    if (found < 0) return kResultFalse;
    valueNormalized = found / last;
  } else if (IsMidiParam(tag, channel, controller)) {
    if (!ParseNumber(text, number)) return kResultFalse;
    valueNormalized = Clamp01(number / (controller == kPitchBend ? 16383.0 : 127.0));
  } else {
    return kResultFalse;
  }
  return kResultTrue;
}

ParamValue PLUGIN_API IPlugVST3::normalizedParamToPlain(ParamID tag, ParamValue valueNormalized) {
  const double v = std::isfinite(valueNormalized) ? Clamp01(valueNormalized) : 0.0;
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) return GetParam(static_cast<int>(tag))->FromNormalized(v);
  if (tag == kBypassParam) return v >= 0.5 ? 1.0 : 0.0;
  if (tag == kPresetParam && NPresets() > 0) return static_cast<double>(std::lround(v * (NPresets() - 1)));
  if (IsMidiParam(tag, channel, controller)) {
    return static_cast<double>(std::lround(v * (controller == kPitchBend ? 16383.0 : 127.0)));
  }
  return v;
}

ParamValue PLUGIN_API IPlugVST3::plainParamToNormalized(ParamID tag, ParamValue plainValue) {
  if (!std::isfinite(plainValue)) return 0.0;
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) return GetParam(static_cast<int>(tag))->ToNormalized(plainValue);
  if (tag == kBypassParam) return plainValue >= 0.5 ? 1.0 : 0.0;
  if (tag == kPresetParam && NPresets() > 1) return Clamp01(plainValue / (NPresets() - 1));
  if (IsMidiParam(tag, channel, controller)) return Clamp01(plainValue / (controller == kPitchBend ? 16383.0 : 127.0));
  return Clamp01(plainValue);
}

ParamValue PLUGIN_API IPlugVST3::getParamNormalized(ParamID tag) {
  if (tag < static_cast<ParamID>(NParams())) return GetParam(static_cast<int>(tag))->GetNormalized();
  if (tag == kBypassParam) return GetBypassed() ? 1.0 : 0.0;
  if (tag == kPresetParam) return NPresets() > 1 ? static_cast<double>(GetCurrentPresetIdx()) / (NPresets() - 1) : 0.0;
  return EditControllerEx1::getParamNormalized(tag);
}

tresult PLUGIN_API IPlugVST3::setParamNormalized(ParamID tag, ParamValue value) {
  if (!std::isfinite(value)) return kInvalidArgument;
  const double v = Clamp01(value);
  if (tag < static_cast<ParamID>(NParams())) {
    // Processor and controller share the parameter; a host setting it here changes the sound too.
    IParam* param = GetParam(static_cast<int>(tag));
    if (param->FromNormalized(v) == param->Value() || IsEcho(param->GetNormalized(), v)) return kResultTrue;
    param->SetNormalized(v);
    OnParamChange(static_cast<int>(tag));
    return kResultTrue;
  }
  if (tag == kBypassParam) {
    SetBypassed(v >= 0.5);
    return kResultTrue;
  }
  if (tag == kPresetParam) {
    if (NPresets() <= 0) return kResultFalse;
    return RestorePreset(static_cast<int>(std::lround(v * (NPresets() - 1)))) ? kResultTrue : kResultFalse;
  }
  int channel = 0, controller = 0;
  if (IsMidiParam(tag, channel, controller)) return EditControllerEx1::setParamNormalized(tag, v);
  return kResultFalse;
}

IPlugView* PLUGIN_API IPlugVST3::createView(FIDString /*name*/) { return nullptr; }

// ---------------------------------------------------------------------------------------------------------
// Units and the program list

int32 PLUGIN_API IPlugVST3::getUnitCount() { return 1; }

tresult PLUGIN_API IPlugVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kInvalidArgument;
  info = UnitInfo{};
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  ToString128("Root", info.name);
  info.programListId = NPresets() > 0 ? static_cast<ProgramListID>(kPresetParam) : kNoProgramListId;
  return kResultTrue;
}

int32 PLUGIN_API IPlugVST3::getProgramListCount() { return NPresets() > 0 ? 1 : 0; }

tresult PLUGIN_API IPlugVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0 || NPresets() <= 0) return kInvalidArgument;
  info = ProgramListInfo{};
  info.id = static_cast<ProgramListID>(kPresetParam);
  ToString128("Factory Presets", info.name);
  info.programCount = NPresets();
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != static_cast<ProgramListID>(kPresetParam) || programIndex < 0 || programIndex >= NPresets() || !name) {
    return kInvalidArgument;
  }
  ToString128(GetPresetName(programIndex), name);
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getProgramInfo(ProgramListID /*listId*/, int32 /*programIndex*/,
                                             Steinberg::Vst::CString /*attributeId*/, String128 /*attributeValue*/) {
  return kResultFalse;
}

tresult PLUGIN_API IPlugVST3::hasProgramPitchNames(ProgramListID /*listId*/, int32 /*programIndex*/) {
  return kResultFalse;
}

tresult PLUGIN_API IPlugVST3::getProgramPitchName(ProgramListID /*listId*/, int32 /*programIndex*/,
                                                  int16 /*midiPitch*/, String128 /*name*/) {
  return kResultFalse;
}

tresult PLUGIN_API IPlugVST3::selectUnit(UnitID unitId) {
  if (unitId != kRootUnitId) return kInvalidArgument;
  selectedUnit = unitId;
  return kResultTrue;
}

// ---------------------------------------------------------------------------------------------------------
// MIDI mapping

tresult PLUGIN_API IPlugVST3::getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber midiControllerNumber,
                                                          ParamID& id) {
  if (!GetConfig().plugDoesMidiIn || busIndex != 0 || channel < 0 || channel >= kNumMidiChannels ||
      midiControllerNumber < 0 || midiControllerNumber >= kNumMidiControllers) {
    return kResultFalse;
  }
  id = kMidiParamBase + static_cast<ParamID>(channel * 256 + midiControllerNumber);
  return kResultTrue;
}

// ---------------------------------------------------------------------------------------------------------
// Connection point

tresult PLUGIN_API IPlugVST3::connect(IConnectionPoint* other) {
  // Nothing is exchanged with a peer; no reference is kept (a host may connect the object to itself).
  return other ? kResultTrue : kInvalidArgument;
}

tresult PLUGIN_API IPlugVST3::disconnect(IConnectionPoint* other) { return other ? kResultTrue : kInvalidArgument; }

tresult PLUGIN_API IPlugVST3::notify(IMessage* message) { return message ? kResultFalse : kInvalidArgument; }

// ---------------------------------------------------------------------------------------------------------
// Plug-in to host

void IPlugVST3::InformHostOfParamChange(int idx, double normalizedValue) {
  if (idx < 0) return;
  if (IsProcessThread()) {
    QueueOutputParamChange(static_cast<ParamID>(idx), normalizedValue);
    return;
  }
  if (!componentHandler) return;
  beginEdit(static_cast<ParamID>(idx));
  performEdit(static_cast<ParamID>(idx), normalizedValue);
  endEdit(static_cast<ParamID>(idx));
}

void IPlugVST3::InformHostOfProgramParamChange(double normalizedValue) {
  if (NPresets() <= 0) return;
  if (IsProcessThread()) {
    QueueOutputParamChange(kPresetParam, normalizedValue);
    return;
  }
  if (!componentHandler) return;
  beginEdit(kPresetParam);
  performEdit(kPresetParam, normalizedValue);
  endEdit(kPresetParam);
}

void IPlugVST3::InformHostOfPresetChange() {
  if (IsProcessThread()) {
    mRestoredInBlock = true;  // announced through the block's output parameter changes
    return;
  }
  if (!componentHandler) return;
  if (NPresets() > 0) notifyProgramListChange(static_cast<ProgramListID>(kPresetParam), kAllProgramInvalid);
  componentHandler->restartComponent(kParamValuesChanged);
}

}  // namespace iplug
