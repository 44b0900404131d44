// Writes the seed corpora of the fuzz targets: files the instrument itself writes, in every form it reads.
#include <cstring>
#include <fstream>
#include <iterator>

#include "fuzz_util.h"

namespace {

void write(const std::filesystem::path& file, const void* data, size_t size) {
  std::ofstream(file, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}
void write(const std::filesystem::path& file, const iplug::IByteChunk& c) { write(file, c.GetData(), c.Size()); }
void write(const std::filesystem::path& file, const std::string& s) { write(file, s.data(), s.size()); }

void putBE32(iplug::IByteChunk& c, int32_t v) {
  const uint8_t b[4] = {uint8_t(uint32_t(v) >> 24), uint8_t(uint32_t(v) >> 16), uint8_t(uint32_t(v) >> 8), uint8_t(v)};
  c.PutBytes(b, 4);
}

// A program in the parameter-list form ("FxCk"): header, 28-byte name, normalised values as floats.
iplug::IByteChunk paramListProgram(const Vantorel& plug, const char* name) {
  iplug::IByteChunk c;
  c.PutBytes("CcnK", 4);
  putBE32(c, 52 + 4 * plug.NParams());
  c.PutBytes("FxCk", 4);
  putBE32(c, 1);
  putBE32(c, plug.GetUniqueID());
  putBE32(c, plug.GetPluginVersionDecimal());
  putBE32(c, plug.NParams());
  char field[28] = {};
  std::strncpy(field, name, 27);
  c.PutBytes(field, 28);
  for (int i = 0; i < plug.NParams(); ++i) {
    const float f = static_cast<float>(plug.GetParam(i)->GetNormalized());
    int32_t bits;
    std::memcpy(&bits, &f, 4);
    putBE32(c, bits);
  }
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path top = argv[1];
  for (const char* t : {"fxb", "state", "ini"}) std::filesystem::create_directories(top / t);
  Vantorel& plug = fuzz::instrument();
  for (int i = 0; i < 3; ++i) {
    plug.SetCurrentPresetIdx(i);
    plug.GetParam(25)->Set(0.2 * (i + 1));
    plug.ModifyCurrentPreset(i == 1 ? "Second" : "");
  }

  iplug::IByteChunk bank, program, state;
  plug.SaveBankAsChunk(bank);
  plug.SavePresetAsChunk(program);
  plug.SerializeState(state);
  write(top / "fxb" / "bank.fxb", bank);
  write(top / "fxb" / "program.fxp", program);
  const iplug::IByteChunk listProgram = paramListProgram(plug, "List");
  write(top / "fxb" / "list.fxp", listProgram);
  iplug::IByteChunk listBank;
  listBank.PutBytes(bank.GetData(), 156);  // the bank header, then two programs in the list form
  std::memcpy(listBank.GetData() + 8, "FxBk", 4);
  listBank.GetData()[27] = 2;
  listBank.PutBytes(listProgram.GetData(), listProgram.Size());
  listBank.PutBytes(listProgram.GetData(), listProgram.Size());
  write(top / "fxb" / "list.fxb", listBank);

  write(top / "state" / "record", state);
  write(top / "state" / "old-layout", state.GetData() + 22 + 6, 8 * plug.NParams());  // no mark, no name

  plug.midiThru = true;
  plug.midiLearnTable[7] = 12;
  plug.startupBankPath.Set("/some/where/bank.fxb");
  plug.saveConfig(Synth::kSaveAll);
  std::ifstream saved(plug.configPath.Get(), std::ios::binary);
  write(top / "ini" / "saved.ini", std::string(std::istreambuf_iterator<char>(saved), {}));
  write(top / "ini" / "edges.ini",
        std::string("; comment\r\n[midi global]\r\nmidi thru = TRUE\r\n[MIDI Control]\nCC7=12xyz\nCC8=abc\nCC9=0\n"
                    "[Editor]\nScale=-1\n[Global]\nPath to Program Files=/a/b\n=x\n[broken\nkey\n"));
  return 0;
}
