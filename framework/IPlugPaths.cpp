#include "IPlugPaths.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "";
}

// The folder a line XDG_MUSIC_DIR="$HOME/Music" or XDG_MUSIC_DIR="/abs/path" names; "" for other lines.
std::string MusicDirOf(const std::string& line, const std::string& home) {
  const std::string prefix = "XDG_MUSIC_DIR=\"";
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line.compare(start, prefix.size(), prefix) != 0) return "";
  std::string value;
  bool closed = false;
  for (size_t i = start + prefix.size(); i < line.size() && !closed; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) value += line[++i];
    else if (line[i] == '"') closed = true;
    else value += line[i];
  }
  if (!closed) return "";
  if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) return home + value.substr(5);
  return (!value.empty() && value[0] == '/') ? value : "";
}

}  // namespace

void SharedMusicPath(WDL_String& path) {
  path.Set("");
  const std::string home = HomeFolder();
  if (home.empty()) return;
  std::string music = home + "/Music";
  // C streams: the first C++ file stream of a process sets up its locale, a good part of a start.
  if (FILE* dirs = std::fopen((home + "/.config/user-dirs.dirs").c_str(), "re")) {
    char* buf = nullptr;
    size_t capacity = 0;
    for (ssize_t n; (n = getline(&buf, &capacity, dirs)) >= 0;) {
      if (n > 0 && buf[n - 1] == '\n') --n;
      const std::string dir = MusicDirOf(std::string(buf, static_cast<size_t>(n)), home);
      if (!dir.empty()) music = dir;
    }
    std::free(buf);
    std::fclose(dirs);
  }
  while (music.size() > 1 && music.back() == '/') music.pop_back();
  path.Set(music.c_str());
}

}  // namespace iplug
