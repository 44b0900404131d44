#include "IGraphicsOffscreen.h"

#include <cairo.h>

#include <cmath>

namespace iplug {
namespace igraphics {

namespace {
bool WritePNG(cairo_surface_t* surface, const char* path) {
  return path && cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}
}  // namespace

void* IGraphicsOffscreen::OpenWindow(void*) {
  mOpen = true;
  return GetBackBuffer();
}

bool IGraphicsOffscreen::WriteToPNG(const char* path) { return WritePNG(GetBackBuffer(), path); }

bool RenderToPNG(IGraphics& g, float scale, const char* path) {
  if (!(scale > 0.0f)) return false;
  const int w = static_cast<int>(std::lround(g.Width() * scale));
  const int h = static_cast<int>(std::lround(g.Height() * scale));
  if (w <= 0 || h <= 0) return false;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(image);
  g.DrawRegion(cr, g.GetBounds(), scale);
  cairo_destroy(cr);
  const bool ok = WritePNG(image, path);
  cairo_surface_destroy(image);
  return ok;
}

}  // namespace igraphics
}  // namespace iplug
