// The state record, read as a program or as a host's project restore.
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Vantorel& plug = fuzz::instrument();
  iplug::IByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  const int start = size > 0 ? data[0] % 4 : 0;
  for (bool full : {false, true}) {
    const int pos = full ? plug.unserializeKestrosaState(chunk, start) : plug.UnserializeState(chunk, start);
    if (pos != -1 && (pos < start || pos > chunk.Size())) fuzz::fail("position outside the record");
    if (plug.GetCurrentPresetIdx() < 0 || plug.GetCurrentPresetIdx() >= plug.NPresets())
      fuzz::fail("current program outside the bank");
  }
  fuzz::checkSound(plug);
  return 0;
}
