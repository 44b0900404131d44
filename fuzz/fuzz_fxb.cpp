// FXB bank and FXP program files as the instrument reads them: a refused file changes nothing.
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Vantorel& plug = fuzz::instrument();
  iplug::IByteChunk file;
  file.PutBytes(data, static_cast<int>(size));
  for (bool bank : {true, false}) {
    const std::string before = fuzz::snapshot(plug);
    const bool loaded = bank ? plug.LoadBankFromChunk(file) : plug.LoadPresetFromChunk(file);
    if (!loaded && fuzz::snapshot(plug) != before) fuzz::fail("a refused file changed the bank");
  }
  fuzz::checkSound(plug);
  return 0;
}
