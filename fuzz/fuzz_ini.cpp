// The configuration file: any text loads, and saving what was loaded then loading again gives the same
// settings.
#include <cstring>
#include <fstream>
#include <vector>

#include "fuzz_util.h"

namespace {

struct Settings {
  std::string startupBank, scale;
  bool thru, ignore;
  std::vector<int> table;
  bool operator==(const Settings&) const = default;
};

Settings settings(const Vantorel& plug) {
  Settings s{plug.startupBankPath.Get(), std::to_string(plug.editorScale), plug.midiThru, plug.ignoreProgramChange, {}};
  for (int entry : plug.midiLearnTable) s.table.push_back(entry < 0 ? -1 : entry);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Vantorel& plug = fuzz::instrument();
  // A new file each time (written beside it and renamed), so that the reader sees a changed file.
  const std::string path = plug.configPath.Get(), tmp = path + ".in";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) fuzz::fail("cannot write the configuration file");
  if (!plug.loadConfig()) fuzz::fail("the configuration file is not found");
  const Settings loaded = settings(plug);
  plug.saveConfig(Synth::kSaveAll);
  plug.loadConfig();
  // A startup bank path with a line break cannot be written; everything else must read back unchanged.
  if (std::strpbrk(loaded.startupBank.c_str(), "\r\n")) return 0;
  if (!(settings(plug) == loaded)) fuzz::fail("saved settings read back differently");
  return 0;
}
