#include "preview.h"

#include <cstring>

#include "controls.h"
#include "panel_layout.h"
#include "print.h"

namespace preview {

namespace {

using paint::Align;
using paint::Box;

// The editor's own texts: program display, version label and value read-out.
const paint::TextStyle kDisplayText{28, {1, 1, 1, 192 / 255.0}};
const paint::TextStyle kVersionText{24, {1, 1, 1, 192 / 255.0}};
const paint::TextStyle kReadout{28, {64 / 255.0, 1, 64 / 255.0, 1}};
const paint::Colour kReadoutBackdrop{64 / 255.0, 64 / 255.0, 64 / 255.0, 160 / 255.0};

// Frame `frame` (0-based) of an image with `frames` frames, its top left at (x, y).
void drawFrame(cairo_t* cr, const paint::Surface& image, int frame, int frames, double x, double y) {
  const int w = cairo_image_surface_get_width(image.get());
  const int h = cairo_image_surface_get_height(image.get()) / frames;
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_set_source_surface(cr, image.get(), x, y - double(h) * frame);
  cairo_paint(cr);
  cairo_restore(cr);
}

void centred(cairo_t* cr, const paint::Font& font, const paint::TextStyle& st, const std::string& s, Box b) {
  const double cap = -paint::text(cr, font, st, "H", 0, 0, Align::Left, false).ink.t;
  paint::text(cr, font, st, s, b.cx(), b.cy() + cap / 2, Align::Centre);
}

// One panel; `open` shows the tweak panel, other sample values and two read-outs.
void drawPanel(cairo_t* cr, const Images& img, const paint::Font& font, bool open) {
  drawFrame(cr, img.at("back.jpg"), 0, 1, 0, 0);
  for (const panel::Row& row : panel::kRows) {
    if (row.tweak && !open) continue;
    const int frames = controls::framesOf(row.bitmap);
    const Box c = panelart::controlBox(row);
    switch (row.kind) {
      case panel::Kind::Knob:
        drawFrame(cr, img.at(row.bitmap), open ? (row.row * 11) % frames : frames / 2, frames, row.x, row.y);
        break;
      case panel::Kind::Slider: {
        const double v = open ? (row.row % 5) / 4.0 : 0.5;
        const int w = cairo_image_surface_get_width(img.at(row.bitmap).get());
        drawFrame(cr, img.at(row.bitmap), 0, 1, row.x + (row.length - w) * v, row.y + 1);
        break;
      }
      case panel::Kind::Button:
        drawFrame(cr, img.at(open && row.row % 2 ? row.bitmapOn : row.bitmap), open && row.row == 57 ? 1 : 0, 2,
                  row.x, row.y);
        break;
      case panel::Kind::Switch:
        if (row.height == 0) drawFrame(cr, img.at(row.bitmap), open ? frames - 1 : 0, frames, row.x, row.y);
        break;
      case panel::Kind::Lamp:
        if (!(open && std::strcmp(row.bitmap, "tweak.png") == 0)) drawFrame(cr, img.at(row.bitmap), 0, 1, row.x, row.y);
        break;
    }
    if (open && row.row == 29) {
      paint::circle(cr, c.cx(), c.cy(), c.h() / 2);
      paint::set(cr, kReadoutBackdrop);
      cairo_fill(cr);
      centred(cr, font, kReadout, "4186", c);
    }
    if (open && row.row == 6) {
      const Box value{c.l, c.t, c.r, c.cy()};
      paint::roundedRect(cr, value, 5);
      paint::set(cr, kReadoutBackdrop);
      cairo_fill(cr);
      centred(cr, font, kReadout, "50:50", value);
    }
  }
  drawFrame(cr, img.at("prev.png"), 0, 2, panel::kPrevProgram.x, panel::kPrevProgram.y);
  drawFrame(cr, img.at("next.png"), open ? 1 : 0, 2, panel::kNextProgram.x, panel::kNextProgram.y);
  drawFrame(cr, img.at(open ? "unlearn.png" : "learn.png"), open ? 1 : 0, 2, panel::kMidiLearn.x, panel::kMidiLearn.y);
  const auto box = [](panel::Rect r) { return Box{double(r.l), double(r.t), double(r.r), double(r.b)}; };
  centred(cr, font, kDisplayText, open ? "63" : "07", box(panel::kPresetNumber));
  centred(cr, font, kDisplayText, open ? "Glassy Strings with Slow Phas" : "Init", box(panel::kPresetName));
  const Box v = box(panel::kVersionLabel);
  const double cap = -paint::text(cr, font, kVersionText, "H", 0, 0, Align::Left, false).ink.t;
  paint::text(cr, font, kVersionText, panel::kVersionText, v.r, v.cy() + cap / 2, Align::Right);
}

}  // namespace

paint::Surface compose(const Images& images, const paint::Font& font) {
  paint::Surface out = paint::newSurface(panel::kCanvasWidth, panel::kCanvasHeight * 2);
  paint::Context cr = paint::newContext(out);
  drawPanel(cr.get(), images, font, false);
  cairo_translate(cr.get(), 0, panel::kCanvasHeight);
  drawPanel(cr.get(), images, font, true);
  return out;
}

}  // namespace preview
