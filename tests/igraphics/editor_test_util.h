#pragma once

// A small editor delegate that logs the edit calls it receives, and generated test images: frame strips
// of solid colours (PNG) and a solid JPEG, written to a temporary resource folder.

#include <cairo.h>
#include <jpeglib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IGEditorDelegate.h"
#include "IPlugParameter.h"

namespace edtest {

using namespace iplug;
using namespace iplug::igraphics;

// Parameters: 0 "Gain" 0 ... 1 (default 0.25), 1 "Mode" A/B/C/D, 2 "Pan" -1 ... 1 (default 0).
class LogDelegate : public IGEditorDelegate {
public:
  LogDelegate() {
    mParams[0].InitDouble("Gain", 0.25, 0.0, 1.0, 0.0001);
    mParams[1].InitEnum("Mode", 0, {"A", "B", "C", "D"});
    mParams[2].InitDouble("Pan", 0.0, -1.0, 1.0, 0.0001);
  }
  IParam* GetParam(int idx) override { return (idx >= 0 && idx < NParams()) ? &mParams[idx] : nullptr; }
  int NParams() const override { return static_cast<int>(mParams.size()); }
  void SendParameterValueFromUI(int idx, double value) override {
    mParams[idx].SetNormalized(value);
    Log("perform " + std::to_string(idx) + " " + std::to_string(value));
  }
  void BeginInformHostOfParamChangeFromUI(int idx) override {
    Log("begin " + std::to_string(idx));
    if (onBegin) onBegin();
  }
  void EndInformHostOfParamChangeFromUI(int idx) override { Log("end " + std::to_string(idx)); }
  void OnIdle() override {
    ++idles;
    if (onIdle) onIdle();
  }
  void Log(const std::string& s) { log.push_back(s); }

  std::vector<std::string> log;
  int idles = 0;
  std::function<void()> onIdle, onBegin;

private:
  std::array<IParam, 3> mParams;
};

struct RGB {
  int r, g, b;
};

// Frame colours of the test strips, in frame order.
constexpr RGB kFrameColors[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// A w x (h * n) PNG whose n frames are solid kFrameColors, stacked vertically.
inline void WriteStrip(const std::string& path, int w, int h, int n) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h * n);
  cairo_t* cr = cairo_create(s);
  for (int i = 0; i < n; ++i) {
    const RGB& c = kFrameColors[i % 4];
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
    cairo_rectangle(cr, 0, h * i, w, h);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
}

inline void WriteSolidJPEG(const std::string& path, int w, int h, RGB c) {
  FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, f);
  info.image_width = w;
  info.image_height = h;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(w) * 3);
  for (int x = 0; x < w; ++x) {
    row[3 * x] = static_cast<JSAMPLE>(c.r);
    row[3 * x + 1] = static_cast<JSAMPLE>(c.g);
    row[3 * x + 2] = static_cast<JSAMPLE>(c.b);
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(f);
}

// A temporary resource folder with "strip.png" (4 frames of 10 x 8), "handle.png" (one 6 x 8 frame)
// and "back.jpg" (60 x 40 of kBack); removed at the end.
struct ResourceDir {
  static constexpr RGB kBack = {200, 100, 50};
  ResourceDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantorel-editor-XXXXXX").string();
    path = mkdtemp(tmpl.data());
    path += "/";
    WriteStrip(path + "strip.png", 10, 8, 4);
    WriteStrip(path + "handle.png", 6, 8, 1);
    WriteSolidJPEG(path + "back.jpg", 60, 40, kBack);
  }
  ~ResourceDir() { std::filesystem::remove_all(path); }
  std::string path;
};

// The pixel of an ARGB32 cairo image surface.
inline RGB PixelAt(cairo_surface_t* s, int x, int y) {
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const uint32_t p = *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s) + 4 * x);
  return RGB{static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255)};
}

inline bool Near(RGB a, RGB b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

}  // namespace edtest
