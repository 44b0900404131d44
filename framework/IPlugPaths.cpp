#include "IPlugPaths.h"

#include <dlfcn.h>

#include <string>

namespace iplug {

void PluginPath(WDL_String& path, const char* bundleName) {
  path.Set("");
  Dl_info info{};
  if (!dladdr(reinterpret_cast<const void*>(&PluginPath), &info) || !info.dli_fname) return;
  // <folder>/<name>.vst3/Contents/<arch>/<name>.so
  const std::string file = info.dli_fname;
  const std::string marker = std::string("/") + bundleName + ".vst3/Contents/";
  const size_t at = file.rfind(marker);
  if (at == std::string::npos || file.find('/', at + marker.size()) == std::string::npos) return;
  path.Set(file.substr(0, at + 1).c_str());
}

}  // namespace iplug
