// vantorel-panel-shot: draws the instrument's editor offscreen, as it opens, into a PNG file at any scale.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "IGraphicsOffscreen.h"
#include "vantorel.h"

namespace {

constexpr float kMaxShotScale = 8.0f;

void usage(FILE* out, const char* self) {
  std::fprintf(out,
               "usage: %s [--scale S] [--resources DIR] [--tweaks] OUT.png\n"
               "Draws the editor panel into OUT.png, %d x %d pixels times S (default 0.5, at most %g).\n"
               "  --resources DIR  the panel's images and font, and init.fxb for the program names\n"
               "                   (default: the source tree's resources folder)\n"
               "  --tweaks         with the tweak panel shown\n",
               self, panel::kCanvasWidth, panel::kCanvasHeight, kMaxShotScale);
}

// A home folder of its own for the instrument, so that no configuration of the user's is read or made.
struct PrivateHome {
  PrivateHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-panel-shot-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
    if (!path.empty()) setenv("HOME", path.c_str(), 1);
  }
  ~PrivateHome() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

}  // namespace

int main(int argc, char** argv) {
  float scale = 0.5f;
  std::string resources = VANTOREL_RESOURCES;
  bool tweaks = false;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      usage(stdout, argv[0]);
      return 0;
    }
    if ((arg == "--scale" || arg == "--resources") && i + 1 < argc) {
      const char* value = argv[++i];
      if (arg == "--resources") {
        resources = value;
        if (resources.empty() || resources.back() != '/') resources += '/';
        continue;
      }
      char* end = nullptr;
      errno = 0;
      scale = std::strtof(value, &end);
      if (errno || end == value || *end || !(scale > 0.0f) || scale > kMaxShotScale) {
        std::fprintf(stderr, "%s: bad scale '%s' (a number above 0, at most %g)\n", argv[0], value, kMaxShotScale);
        return 2;
      }
    } else if (arg == "--tweaks") {
      tweaks = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "%s: unknown or incomplete option '%s' (see --help)\n", argv[0], arg.c_str());
      return 2;
    } else if (!out) {
      out = argv[i];
    } else {
      std::fprintf(stderr, "%s: one output file only (see --help)\n", argv[0]);
      return 2;
    }
  }
  if (!out) {
    usage(stderr, argv[0]);
    return 2;
  }
  if (!std::filesystem::is_regular_file(resources + "back.jpg")) {
    std::fprintf(stderr, "%s: no panel images in %s\n", argv[0], resources.c_str());
    return 1;
  }

  PrivateHome home;
  Vantorel plug{iplug::InstanceInfo{}};
  plug.SetResourcePath(resources.c_str());
  plug.LoadBankFromFXB((resources + "init.fxb").c_str());  // names only; without it they stay empty
  plug.mMakeGraphicsFunc = [&plug] {
    return new iplug::igraphics::IGraphicsOffscreen(plug, panel::kCanvasWidth, panel::kCanvasHeight, 0, 1.0f);
  };
  if (!plug.OpenWindow(nullptr)) {
    std::fprintf(stderr, "%s: the editor did not open\n", argv[0]);
    return 1;
  }
  if (tweaks) plug.toggleTweaks();
  const bool written = iplug::igraphics::RenderToPNG(*plug.GetUI(), scale, out);
  plug.CloseWindow();
  if (!written) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], out);
    return 1;
  }
  return 0;
}
