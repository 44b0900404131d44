// The VST3 binding's host state: the state record followed by the 32-bit bypass flag, written for the
// host's project and restored from it (component and controller alike: they are one object).
#include "IPlugVST3.h"
#include "pluginterfaces/base/ibstream.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {

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
  // Even a failed restore may have changed values (a record cut short applies what it holds).
  InformHostOfPresetChange();
  if (pos <= 0) return false;
  int32 bypass = 0;
  const int after = chunk.Get(&bypass, pos);
  SetBypassed(after > 0 && bypass != 0);
  state->seek(start + (after > 0 ? after : pos), IBStream::kIBSeekSet, nullptr);
  return true;
}

tresult PLUGIN_API IPlugVST3::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  const bool ok = RestoreHostState(state);
  FlushUIQueue();  // the host re-reads names and values
  return ok ? kResultOk : kResultFalse;
}

tresult PLUGIN_API IPlugVST3::setComponentState(IBStream* state) {
  // Processor and controller are one object: the same restore (it is idempotent).
  return setState(state);
}

tresult PLUGIN_API IPlugVST3::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  FlushUIQueue();
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

}  // namespace iplug
