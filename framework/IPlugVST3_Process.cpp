// The VST3 binding's block: the host's parameter changes, events and mapped controllers translated for
// IPlugAPIBase, rendering in pieces of at most the set-up block size, and what goes back to the host.
#include <algorithm>
#include <climits>
#include <cmath>

#include "IPlugVST3.h"
#include "IPlugVST3_Util.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {

namespace {

uint8_t ToMidi7(double normalized) { return static_cast<uint8_t>(std::lround(Clamp01(normalized) * 127.0)); }

// The value at the end of the block: the queue's last point.
bool LastPoint(IParamValueQueue* queue, double& value) {
  const int32 n = queue->getPointCount();
  int32 offset = 0;
  ParamValue v = 0.0;
  if (n <= 0 || queue->getPoint(n - 1, offset, v) != kResultTrue || !std::isfinite(v)) return false;
  value = Clamp01(v);
  return true;
}

// A mapped controller's point as a MIDI message.
IMidiMsg MappedMessage(int offset, int channel, int controller, double value) {
  const uint8_t ch = static_cast<uint8_t>(channel);
  if (controller < 128)
    return IMidiMsg(offset, static_cast<uint8_t>(0xB0 | ch), static_cast<uint8_t>(controller), ToMidi7(value));
  if (controller == kAfterTouch) return IMidiMsg(offset, static_cast<uint8_t>(0xD0 | ch), ToMidi7(value), 0);
  if (controller == kPitchBend) {
    const long bend = std::lround(Clamp01(value) * 16383.0);
    return IMidiMsg(offset, static_cast<uint8_t>(0xE0 | ch), static_cast<uint8_t>(bend & 0x7F),
                    static_cast<uint8_t>(bend >> 7));
  }
  return IMidiMsg(offset, static_cast<uint8_t>(0xC0 | ch), ToMidi7(value), 0);
}

// A channel message sent as a legacy controller event.
bool LegacyMessage(int offset, const LegacyMIDICCOutEvent& cc, IMidiMsg& msg) {
  if (cc.channel < 0 || cc.channel >= IPlugVST3::kNumMidiChannels) return false;
  const uint8_t ch = static_cast<uint8_t>(cc.channel);
  const uint8_t v1 = static_cast<uint8_t>(cc.value & 0x7F), v2 = static_cast<uint8_t>(cc.value2 & 0x7F);
  if (cc.controlNumber < 128) msg = IMidiMsg(offset, static_cast<uint8_t>(0xB0 | ch), cc.controlNumber, v1);
  else if (cc.controlNumber == kAfterTouch) msg = IMidiMsg(offset, static_cast<uint8_t>(0xD0 | ch), v1, 0);
  else if (cc.controlNumber == kPitchBend) msg = IMidiMsg(offset, static_cast<uint8_t>(0xE0 | ch), v1, v2);
  else if (cc.controlNumber == kCtrlProgramChange) msg = IMidiMsg(offset, static_cast<uint8_t>(0xC0 | ch), v1, 0);
  else return false;
  return true;
}

}  // namespace

void IPlugVST3::ApplyParameterChanges(IParameterChanges* changes, int nFrames) {
  if (!changes) return;
  const int32 nQueues = changes->getParameterCount();
  // A program change comes first, so that the block's own values of other parameters win over it.
  for (int32 q = 0; q < nQueues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    double value = 0.0;
    if (queue && queue->getParameterId() == kPresetParam && LastPoint(queue, value)) SetProgramFromHost(value);
  }
  for (int32 q = 0; q < nQueues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (!queue) continue;
    const ParamID id = queue->getParameterId();
    double value = 0.0;
    int channel = 0, controller = 0;
    if (id < static_cast<ParamID>(NParams())) {
      if (LastPoint(queue, value)) SetParameterFromHost(static_cast<int>(id), value);
    } else if (id == kBypassParam) {
      if (LastPoint(queue, value)) SetBypassed(value >= 0.5);
    } else if (IsMidiParam(id, channel, controller)) {
      // Mapped controllers go in before the block's events: at equal offsets they act first.
      for (int32 j = 0; j < queue->getPointCount(); ++j) {
        int32 offset = 0;
        ParamValue point = 0.0;
        if (queue->getPoint(j, offset, point) != kResultTrue || !std::isfinite(point)) continue;
        AddBlockMidi(MappedMessage(std::clamp<int>(offset, 0, std::max(nFrames - 1, 0)), channel, controller, point));
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
    if (e.type == Event::kLegacyMIDICCOutEvent) {
      // Some hosts send program changes (and other channel messages) to the plug-in this way too.
      IMidiMsg msg;
      if (LegacyMessage(off, e.midiCCOut, msg)) AddBlockMidi(msg);
      continue;
    }
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
    AddBlockMidi(IMidiMsg(off, static_cast<uint8_t>(status | channel), static_cast<uint8_t>(pitch), data2));
  }
}

void IPlugVST3::RenderSpan(ProcessData& data, int start, int n) {
  mSpanStart = start;
  DeliverBlockMidi(start, start + n);

  AudioBusBuffers* bus = (data.numOutputs > 0 && data.outputs) ? &data.outputs[0] : nullptr;
  const int hostChans = bus ? bus->numChannels : 0;
  const bool is64 = data.symbolicSampleSize == kSample64;
  bool direct = is64 && bus && hostChans >= mNumOutChans && bus->channelBuffers64;
  for (int c = 0; direct && c < mNumOutChans; ++c) direct = bus->channelBuffers64[c] != nullptr;

  for (int c = 0; c < mNumOutChans; ++c) {
    mOutPtrs[c] = direct ? bus->channelBuffers64[c] + start : mScratch.data() + static_cast<size_t>(c) * mMaxBlock;
  }
  RenderBlock(mInPtrs.data(), mOutPtrs.data(), mNumOutChans, n);

  if (!bus) return;
  const bool silent = GetBypassed();
  for (int c = 0; c < hostChans; ++c) {
    const bool ours = c < mNumOutChans && !silent;
    if (is64) {
      double* out = bus->channelBuffers64 ? bus->channelBuffers64[c] : nullptr;
      if (!out) continue;
      if (!ours) std::fill(out + start, out + start + n, 0.0);
      else if (!direct) std::copy(mOutPtrs[c], mOutPtrs[c] + n, out + start);
    } else {
      float* out = bus->channelBuffers32 ? bus->channelBuffers32[c] : nullptr;
      if (!out) continue;
      if (!ours) {
        std::fill(out + start, out + start + n, 0.0f);
      } else {
        const double* src = mOutPtrs[c];
        for (int i = 0; i < n; ++i) out[start + i] = static_cast<float>(src[i]);
      }
    }
  }
}

void IPlugVST3::SilenceOutputs(ProcessData& data, int nFrames) {
  if (nFrames <= 0 || data.numOutputs <= 0 || !data.outputs) return;
  AudioBusBuffers& bus = data.outputs[0];
  for (int c = 0; c < bus.numChannels; ++c) {
    if (data.symbolicSampleSize == kSample64 && bus.channelBuffers64 && bus.channelBuffers64[c])
      std::fill(bus.channelBuffers64[c], bus.channelBuffers64[c] + nFrames, 0.0);
    else if (data.symbolicSampleSize == kSample32 && bus.channelBuffers32 && bus.channelBuffers32[c])
      std::fill(bus.channelBuffers32[c], bus.channelBuffers32[c] + nFrames, 0.0f);
  }
}

void IPlugVST3::SetSilenceFlags(ProcessData& data, int nFrames) {
  // One bit per output channel that holds only zeros.
  if (data.numOutputs <= 0 || !data.outputs) return;
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

tresult PLUGIN_API IPlugVST3::process(ProcessData& data) {
  ProcessScope scope(*this);
  const int nFrames = std::max<int32>(data.numSamples, 0);
  mOutParamChanges = data.outputParameterChanges;
  mOutEvents = mMidiOutActive ? data.outputEvents : nullptr;
  mSpanStart = 0;

  if (data.processContext && (data.processContext->state & ProcessContext::kTempoValid) &&
      data.processContext->tempo > 0.0 && std::isfinite(data.processContext->tempo)) {
    SetTempo(data.processContext->tempo);
  }

  ApplyParameterChanges(data.inputParameterChanges, nFrames);
  if (mMidiInActive) CollectEvents(data.inputEvents, nFrames);

  if (nFrames == 0 || mMaxBlock == 0) {
    // Nothing to render (a parameter flush, or processing without set-up): MIDI is still taken in,
    // so that no note off is lost; it acts at the start of the next block.
    DeliverBlockMidi(0, INT_MAX);
    SilenceOutputs(data, nFrames);
  } else {
    // Blocks longer than the set-up maximum are rendered in pieces.
    for (int start = 0; start < nFrames; start += mMaxBlock) RenderSpan(data, start, std::min(mMaxBlock, nFrames - start));
  }
  SetSilenceFlags(data, nFrames);

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
  queue->addPoint(mSpanStart, Clamp01(normalizedValue), pointIndex);
}

bool IPlugVST3::SendMidiMsg(const IMidiMsg& msg) {
  if (!IsAudioThread() || !mOutEvents) return false;
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

}  // namespace iplug
