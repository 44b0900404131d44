#include "IBitmap.h"

#include <cairo.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace iplug {
namespace igraphics {

APIBitmap::APIBitmap(cairo_surface_t* surface)
    : mSurface(surface), mWidth(cairo_image_surface_get_width(surface)),
      mHeight(cairo_image_surface_get_height(surface)) {}

APIBitmap::~APIBitmap() {
  DropScaledFrames();
  cairo_surface_destroy(mSurface);
}

void APIBitmap::DropScaledFrames() {
  for (auto& frame : mScaledFrames) cairo_surface_destroy(frame.second);
  mScaledFrames.clear();
  mScaledBytes = 0;
}

cairo_surface_t* APIBitmap::FindScaledFrame(const ScaledFrameKey& key, float scale) {
  if (scale != mScaledAt) {
    DropScaledFrames();
    mScaledAt = scale;
    return nullptr;
  }
  const auto found = mScaledFrames.find(key);
  return found == mScaledFrames.end() ? nullptr : found->second;
}

void APIBitmap::KeepScaledFrame(const ScaledFrameKey& key, float scale, cairo_surface_t* surface) {
  const size_t bytes = static_cast<size_t>(cairo_image_surface_get_stride(surface)) *
                       static_cast<size_t>(cairo_image_surface_get_height(surface));
  if (scale != mScaledAt || mScaledBytes + bytes > kMaxScaledBytes) DropScaledFrames();
  mScaledAt = scale;
  auto [it, added] = mScaledFrames.emplace(key, surface);
  if (!added) {
    mScaledBytes -= static_cast<size_t>(cairo_image_surface_get_stride(it->second)) *
                    static_cast<size_t>(cairo_image_surface_get_height(it->second));
    cairo_surface_destroy(it->second);
    it->second = surface;
  }
  mScaledBytes += bytes;
}

namespace {

bool HasExtension(const char* path, const char* ext) {
  const size_t n = std::strlen(path), e = std::strlen(ext);
  return n >= e && strcasecmp(path + n - e, ext) == 0;
}

cairo_surface_t* LoadPNG(const char* path) {
  cairo_surface_t* s = cairo_image_surface_create_from_png(path);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return s;
}

// libjpeg reports fatal errors through a callback that must not return: jump back to the loader.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }

// Decodes to RGB and packs each pixel as cairo's opaque 0xffRRGGBB.
cairo_surface_t* LoadJPEG(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return nullptr;
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = OnJpegError;
  // Touched between setjmp and longjmp, hence volatile.
  cairo_surface_t* volatile surface = nullptr;
  JSAMPLE* volatile row = nullptr;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    if (surface) cairo_surface_destroy(surface);
    std::free(row);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const int w = static_cast<int>(info.output_width), h = static_cast<int>(info.output_height);
  surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(w) * 3));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || !row) std::longjmp(error.jump, 1);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row};
    const int y = static_cast<int>(info.output_scanline);
    jpeg_read_scanlines(&info, rows, 1);
    auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x)
      out[x] = 0xff000000u | (uint32_t(row[3 * x]) << 16) | (uint32_t(row[3 * x + 1]) << 8) | row[3 * x + 2];
  }
  std::free(row);
  row = nullptr;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  cairo_surface_mark_dirty(surface);
  return surface;
}

}  // namespace

std::shared_ptr<APIBitmap> LoadAPIBitmap(const char* path) {
  if (!path) return nullptr;
  cairo_surface_t* s = nullptr;
  if (HasExtension(path, ".png"))
    s = LoadPNG(path);
  else if (HasExtension(path, ".jpg") || HasExtension(path, ".jpeg"))
    s = LoadJPEG(path);
  return s ? std::make_shared<APIBitmap>(s) : nullptr;
}

}  // namespace igraphics
}  // namespace iplug
