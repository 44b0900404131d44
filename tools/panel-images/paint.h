#pragma once

// Small drawing helpers over cairo: colours, shapes, text in the panel font and the two file writers.

#include <cairo.h>

#include <memory>
#include <string>

namespace paint {

struct Colour {
  double r, g, b, a = 1.0;
};
// 0xRRGGBB with an optional alpha.
constexpr Colour rgb(unsigned hex, double a = 1.0) {
  return {((hex >> 16) & 0xff) / 255.0, ((hex >> 8) & 0xff) / 255.0, (hex & 0xff) / 255.0, a};
}
Colour mix(Colour a, Colour b, double t);

struct Box {
  double l, t, r, b;
  double w() const { return r - l; }
  double h() const { return b - t; }
  double cx() const { return (l + r) / 2; }
  double cy() const { return (t + b) / 2; }
  bool overlaps(const Box& o) const { return l < o.r && o.l < r && t < o.b && o.t < b; }
  bool inside(const Box& o) const { return l >= o.l && r <= o.r && t >= o.t && b <= o.b; }
};

void set(cairo_t* cr, Colour c);
void roundedRect(cairo_t* cr, Box box, double radius);
void circle(cairo_t* cr, double cx, double cy, double radius);
// A vertical gradient from `top` to `bottom` over the box.
void fillVertical(cairo_t* cr, Box box, double radius, Colour top, Colour bottom);
// A soft round glow: `c` at the centre fading out at `radius`.
void glow(cairo_t* cr, double cx, double cy, double radius, Colour c);
// A soft shadow under a rounded box: several widening, fading outlines.
void softShadow(cairo_t* cr, Box box, double radius, double spread, double alpha);

// The panel font, loaded once from a TrueType file; a heavier cut is synthesised for titles.
class Font {
public:
  static std::unique_ptr<Font> load(const std::string& path, std::string& error);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  cairo_font_face_t* face(bool bold) const { return bold ? bold_ : regular_; }

private:
  Font() = default;
  cairo_font_face_t* regular_ = nullptr;
  cairo_font_face_t* bold_ = nullptr;
};

enum class Align { Left, Centre, Right };

struct TextStyle {
  double size;
  Colour colour;
  bool bold = false;
  double tracking = 0.0;  // extra space after each letter, in units
  double widthScale = 1.0;  // horizontal squeeze of the letters
};

// Where a line of text lands: its ink box (for layout checks) and its advance.
struct TextBox {
  Box ink;
  double advance;
};

// Measures and, if `draw` is set, draws one line with its baseline at y, aligned on x.
TextBox text(cairo_t* cr, const Font& font, const TextStyle& style, const std::string& s, double x, double y,
             Align align, bool draw = true);

// A PNG through cairo; a baseline JPEG through libjpeg at the given quality, without chroma subsampling.
bool writePng(cairo_surface_t* surface, const std::string& path, std::string& error);
bool writeJpeg(cairo_surface_t* surface, const std::string& path, int quality, std::string& error);

// Owning handles.
struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;
Surface newSurface(int width, int height);
Context newContext(const Surface& s);

}  // namespace paint
