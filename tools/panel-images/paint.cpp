#include "paint.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace paint {

Colour mix(Colour a, Colour b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

void set(cairo_t* cr, Colour c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void roundedRect(cairo_t* cr, Box box, double radius) {
  const double r = std::min({radius, box.w() / 2, box.h() / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, box.r - r, box.t + r, r, -M_PI / 2, 0);
  cairo_arc(cr, box.r - r, box.b - r, r, 0, M_PI / 2);
  cairo_arc(cr, box.l + r, box.b - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, box.l + r, box.t + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void circle(cairo_t* cr, double cx, double cy, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
  cairo_close_path(cr);
}

void fillVertical(cairo_t* cr, Box box, double radius, Colour top, Colour bottom) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, box.t, 0, box.b);
  cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  roundedRect(cr, box, radius);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void glow(cairo_t* cr, double cx, double cy, double radius, Colour c) {
  cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius);
  cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, c.a);
  cairo_pattern_add_color_stop_rgba(p, 0.45, c.r, c.g, c.b, c.a * 0.35);
  cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
  circle(cr, cx, cy, radius);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void softShadow(cairo_t* cr, Box box, double radius, double spread, double alpha) {
  const int steps = 6;
  for (int i = steps; i >= 1; --i) {
    const double g = spread * i / steps;
    roundedRect(cr, {box.l - g, box.t - g, box.r + g, box.b + g}, radius + g);
    cairo_set_source_rgba(cr, 0, 0, 0, alpha / steps);
    cairo_fill(cr);
  }
}

namespace {

const cairo_user_data_key_t kFaceKey{};

void doneFace(void* face) { FT_Done_Face(static_cast<FT_Face>(face)); }

// A cairo face over its own FreeType face, which cairo releases with its last reference.
cairo_font_face_t* openFace(FT_Library lib, const std::string& path) {
  FT_Face ft = nullptr;
  if (FT_New_Face(lib, path.c_str(), 0, &ft) != 0) return nullptr;
  cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ft, 0);
  if (cairo_font_face_set_user_data(face, &kFaceKey, ft, doneFace) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(face);
    FT_Done_Face(ft);
    return nullptr;
  }
  return face;
}

}  // namespace

std::unique_ptr<Font> Font::load(const std::string& path, std::string& error) {
  // The FreeType library stays open until the program ends: cairo may hold faces in its caches.
  static FT_Library lib = nullptr;
  if (!lib && FT_Init_FreeType(&lib) != 0) {
    error = "cannot start FreeType";
    return nullptr;
  }
  std::unique_ptr<Font> f(new Font);
  f->regular_ = openFace(lib, path);
  f->bold_ = openFace(lib, path);
  if (!f->regular_ || !f->bold_) {
    error = "cannot read the font " + path;
    return nullptr;
  }
  cairo_ft_font_face_set_synthesize(f->bold_, CAIRO_FT_SYNTHESIZE_BOLD);
  return f;
}

Font::~Font() {
  if (regular_) cairo_font_face_destroy(regular_);
  if (bold_) cairo_font_face_destroy(bold_);
}

namespace {

void selectFont(cairo_t* cr, const Font& font, const TextStyle& style) {
  cairo_set_font_face(cr, font.face(style.bold));
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, style.size * style.widthScale, style.size);
  cairo_set_font_matrix(cr, &m);
  // Unhinted outlines with grey anti-aliasing: the same pixels on every machine and at every size.
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, o);
  cairo_font_options_destroy(o);
}

}  // namespace

TextBox text(cairo_t* cr, const Font& font, const TextStyle& style, const std::string& s, double x, double y,
             Align align, bool draw) {
  cairo_save(cr);
  selectFont(cr, font, style);
  // Letters one by one, so that tracking can be added between them.
  struct Glyph {
    std::string letter;
    double x;
    cairo_text_extents_t e;
  };
  std::vector<Glyph> glyphs;
  double pen = 0;
  for (char c : s) {
    Glyph g{std::string(1, c), pen, {}};
    cairo_text_extents(cr, g.letter.c_str(), &g.e);
    pen += g.e.x_advance + style.tracking;
    glyphs.push_back(g);
  }
  const double advance = glyphs.empty() ? 0 : pen - style.tracking;
  Box ink{1e9, 1e9, -1e9, -1e9};
  for (const Glyph& g : glyphs) {
    if (g.e.width <= 0) continue;
    const double l = g.x + g.e.x_bearing, t = y + g.e.y_bearing;
    ink = {std::min(ink.l, l), std::min(ink.t, t), std::max(ink.r, l + g.e.width), std::max(ink.b, t + g.e.height)};
  }
  if (ink.l > ink.r) ink = {0, y, 0, y};
  // Centred texts are centred on their ink, which looks right also for "1" or "Ping".
  const double x0 = align == Align::Left ? x : align == Align::Centre ? x - ink.cx() : x - advance;
  ink.l += x0;
  ink.r += x0;
  if (draw) {
    set(cr, style.colour);
    for (const Glyph& g : glyphs) {
      cairo_move_to(cr, x0 + g.x, y);
      cairo_show_text(cr, g.letter.c_str());
    }
  }
  cairo_restore(cr);
  return {ink, advance};
}

bool writePng(cairo_surface_t* surface, const std::string& path, std::string& error) {
  if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool writeJpeg(cairo_surface_t* surface, const std::string& path, int quality, std::string& error) {
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    error = "cannot write " + path;
    return false;
  }
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, out);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  for (int c = 0; c < cinfo.num_components; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(w) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    // cairo keeps opaque pixels as native-endian 0xAARRGGBB words.
    const auto* px = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(cinfo.next_scanline) * stride);
    for (int x = 0; x < w; ++x) {
      row[x * 3 + 0] = (px[x] >> 16) & 0xff;
      row[x * 3 + 1] = (px[x] >> 8) & 0xff;
      row[x * 3 + 2] = px[x] & 0xff;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  const bool ok = std::fclose(out) == 0;
  if (!ok) error = "cannot write " + path;
  return ok;
}

Surface newSurface(int width, int height) {
  return Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
}

Context newContext(const Surface& s) { return Context(cairo_create(s.get())); }

}  // namespace paint
