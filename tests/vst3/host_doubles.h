#pragma once

// Minimal host-side objects for driving a VST3 plug-in in tests: parameter changes, event lists, a memory
// stream and a component handler that records what the plug-in tells the host. They live on the stack of
// a test, so reference counting is a no-op.

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace testhost {

using namespace Steinberg;
using namespace Steinberg::Vst;

#define TESTHOST_UNCOUNTED(Interface)                                              \
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {         \
    if (FUnknownPrivate::iidEqual(iid, Interface::iid) ||                          \
        FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {                           \
      *obj = static_cast<Interface*>(this);                                        \
      return kResultOk;                                                            \
    }                                                                              \
    *obj = nullptr;                                                                \
    return kNoInterface;                                                           \
  }                                                                                \
  uint32 PLUGIN_API addRef() override { return 1; }                                \
  uint32 PLUGIN_API release() override { return 1; }

class ParamQueue : public IParamValueQueue {
public:
  explicit ParamQueue(ParamID id) : mId(id) {}
  ParamID PLUGIN_API getParameterId() override { return mId; }
  int32 PLUGIN_API getPointCount() override { return static_cast<int32>(points.size()); }
  tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
    if (index < 0 || index >= getPointCount()) return kResultFalse;
    offset = points[index].first;
    value = points[index].second;
    return kResultTrue;
  }
  tresult PLUGIN_API addPoint(int32 offset, ParamValue value, int32& index) override {
    index = getPointCount();
    points.emplace_back(offset, value);
    return kResultTrue;
  }
  TESTHOST_UNCOUNTED(IParamValueQueue)
  std::vector<std::pair<int32, double>> points;

private:
  ParamID mId;
};

class ParamChanges : public IParameterChanges {
public:
  ParamChanges() { queues.reserve(4096); }  // stable addresses while the plug-in adds queues
  int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
  IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
    return index >= 0 && index < getParameterCount() ? &queues[index] : nullptr;
  }
  IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) override {
    for (size_t i = 0; i < queues.size(); ++i) {
      if (queues[i].getParameterId() == id) {
        index = static_cast<int32>(i);
        return &queues[i];
      }
    }
    index = getParameterCount();
    queues.emplace_back(id);
    return &queues.back();
  }
  void add(ParamID id, int32 offset, double value) {
    int32 index = 0, point = 0;
    addParameterData(id, index)->addPoint(offset, value, point);
  }
  const ParamQueue* find(ParamID id) const {
    for (const auto& q : queues)
      if (const_cast<ParamQueue&>(q).getParameterId() == id) return &q;
    return nullptr;
  }
  TESTHOST_UNCOUNTED(IParameterChanges)
  std::vector<ParamQueue> queues;
};

class EventList : public IEventList {
public:
  int32 PLUGIN_API getEventCount() override { return static_cast<int32>(events.size()); }
  tresult PLUGIN_API getEvent(int32 index, Event& e) override {
    if (index < 0 || index >= getEventCount()) return kResultFalse;
    e = events[index];
    return kResultOk;
  }
  tresult PLUGIN_API addEvent(Event& e) override {
    events.push_back(e);
    return kResultOk;
  }
  void noteOn(int32 offset, int16 channel, int16 pitch, float velocity) {
    Event e{};
    e.type = Event::kNoteOnEvent;
    e.sampleOffset = offset;
    e.noteOn.channel = channel;
    e.noteOn.pitch = pitch;
    e.noteOn.velocity = velocity;
    e.noteOn.noteId = -1;
    events.push_back(e);
  }
  void noteOff(int32 offset, int16 channel, int16 pitch, float velocity) {
    Event e{};
    e.type = Event::kNoteOffEvent;
    e.sampleOffset = offset;
    e.noteOff.channel = channel;
    e.noteOff.pitch = pitch;
    e.noteOff.velocity = velocity;
    e.noteOff.noteId = -1;
    events.push_back(e);
  }
  TESTHOST_UNCOUNTED(IEventList)
  std::vector<Event> events;
};

class MemoryStream : public IBStream {
public:
  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    const int32 n = std::max<int32>(0, std::min<int32>(numBytes, static_cast<int32>(data.size()) - static_cast<int32>(pos)));
    if (n > 0) std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    if (numBytesRead) *numBytesRead = n;
    return kResultOk;
  }
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    if (pos + numBytes > data.size()) data.resize(pos + numBytes);
    std::memcpy(data.data() + pos, buffer, numBytes);
    pos += numBytes;
    if (numBytesWritten) *numBytesWritten = numBytes;
    return kResultOk;
  }
  tresult PLUGIN_API seek(int64 offset, int32 mode, int64* result) override {
    int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? static_cast<int64>(pos) : static_cast<int64>(data.size());
    if (base + offset < 0) return kResultFalse;
    pos = static_cast<size_t>(base + offset);
    if (result) *result = static_cast<int64>(pos);
    return kResultOk;
  }
  tresult PLUGIN_API tell(int64* p) override {
    if (p) *p = static_cast<int64>(pos);
    return kResultOk;
  }
  void rewind() { pos = 0; }
  TESTHOST_UNCOUNTED(IBStream)
  std::vector<char> data;
  size_t pos = 0;
};

// Records every edit and notification; answers IComponentHandler and IUnitHandler.
class ComponentHandler : public IComponentHandler, public IUnitHandler {
public:
  struct Edit {
    char kind;  // 'b' begin, 'p' perform, 'e' end
    ParamID id;
    double value;
  };
  tresult PLUGIN_API beginEdit(ParamID id) override {
    edits.push_back({'b', id, 0.0});
    return kResultOk;
  }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
    edits.push_back({'p', id, value});
    return kResultOk;
  }
  tresult PLUGIN_API endEdit(ParamID id) override {
    edits.push_back({'e', id, 0.0});
    return kResultOk;
  }
  tresult PLUGIN_API restartComponent(int32 flags) override {
    restarts.push_back(flags);
    return kResultOk;
  }
  tresult PLUGIN_API notifyUnitSelection(UnitID) override { return kResultOk; }
  tresult PLUGIN_API notifyProgramListChange(ProgramListID listId, int32) override {
    programListChanges.push_back(listId);
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (FUnknownPrivate::iidEqual(iid, IComponentHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
      *obj = static_cast<IComponentHandler*>(this);
      return kResultOk;
    }
    if (FUnknownPrivate::iidEqual(iid, IUnitHandler::iid)) {
      *obj = static_cast<IUnitHandler*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

  std::vector<Edit> edits;
  std::vector<int32> restarts;
  std::vector<ProgramListID> programListChanges;
};

// The ProcessData of one real-time block of n frames into one output bus.
inline ProcessData BlockData(int32 n, int32 sampleSize, AudioBusBuffers& out, IParameterChanges* inParams,
                             IParameterChanges* outParams, IEventList* inEvents, IEventList* outEvents) {
  ProcessData data;
  data.processMode = kRealtime;
  data.symbolicSampleSize = sampleSize;
  data.numSamples = n;
  data.numOutputs = 1;
  data.outputs = &out;
  data.inputParameterChanges = inParams;
  data.outputParameterChanges = outParams;
  data.inputEvents = inEvents;
  data.outputEvents = outEvents;
  return data;
}

inline std::string ToAscii(const TChar* s) {
  std::string out;
  for (int i = 0; i < 128 && s[i]; ++i) out += static_cast<char>(s[i] < 128 ? s[i] : '?');
  return out;
}

}  // namespace testhost
