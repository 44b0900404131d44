#include "controls.h"

#include <cmath>
#include <functional>

#include "panel_layout.h"
#include "style.h"

namespace controls {

using paint::Box;
using paint::Colour;

int framesOf(const std::string& bitmap) {
  for (const panel::BitmapFile& b : panel::kBitmaps)
    if (bitmap == b.name) return b.frames;
  return 0;
}

double knobAngle(int step, int steps) {
  return (-style::kKnobSweepDegrees / 2 + style::kKnobSweepDegrees * step / (steps - 1)) * M_PI / 180.0;
}

void radialLine(cairo_t* cr, double cx, double cy, double r0, double r1, double angle) {
  cairo_move_to(cr, cx + r0 * std::sin(angle), cy - r0 * std::cos(angle));
  cairo_line_to(cr, cx + r1 * std::sin(angle), cy - r1 * std::cos(angle));
}

namespace {

constexpr double kDegree = M_PI / 180.0;

// An image of `frames` frames of w x h; `draw` paints frame k (0-based) with the origin at its top left.
paint::Surface stacked(int w, int h, int frames, const std::function<void(cairo_t*, int)>& draw) {
  paint::Surface s = paint::newSurface(w, h * frames);
  paint::Context cr = paint::newContext(s);
  for (int k = 0; k < frames; ++k) {
    cairo_save(cr.get());
    cairo_translate(cr.get(), 0, static_cast<double>(h) * k);
    cairo_rectangle(cr.get(), 0, 0, w, h);
    cairo_clip(cr.get());
    draw(cr.get(), k);
    cairo_restore(cr.get());
  }
  return s;
}

// A light rim along the top of a shape, fading out towards its middle.
void topSheen(cairo_t* cr, Box box, double radius, double alpha) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, box.t, 0, box.cy());
  cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 0);
  paint::roundedRect(cr, {box.l + 0.75, box.t + 0.75, box.r - 0.75, box.b - 0.75}, radius);
  cairo_set_line_width(cr, 1.5);
  cairo_set_source(cr, p);
  cairo_stroke(cr);
  cairo_pattern_destroy(p);
}

// The cap of a push button in its collar; returns the cap's box (moved down while pressed).
Box drawCap(cairo_t* cr, Box box, bool pressed) {
  const double radius = std::min(box.w(), box.h()) * 0.16;
  paint::roundedRect(cr, {box.l + 1, box.t + 1, box.r - 1, box.b - 1}, radius + 3);
  paint::set(cr, style::kRecess);
  cairo_fill(cr);
  const double inset = std::max(4.0, box.w() * 0.08);
  Box cap{box.l + inset, box.t + inset, box.r - inset, box.b - inset - 1.5};
  if (pressed) {
    cap = {cap.l + 0.5, cap.t + 1.5, cap.r - 0.5, cap.b + 1.5};
  } else {
    paint::roundedRect(cr, {cap.l, cap.t + 2, cap.r, cap.b + 2}, radius);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
  }
  paint::fillVertical(cr, cap, radius, pressed ? style::kCapPressedTop : style::kCapTop,
                      pressed ? style::kCapPressedBottom : style::kCapBottom);
  topSheen(cr, cap, radius, pressed ? 0.08 : 0.2);
  return cap;
}

}  // namespace

void drawButtonFrame(cairo_t* cr, Box box, bool on, bool pressed) {
  const Box cap = drawCap(cr, box, pressed);
  // The lamp window across the upper part of the cap.
  const double lw = cap.w() * 0.56, lh = std::max(5.0, cap.h() * 0.13);
  const Box lamp{cap.cx() - lw / 2, cap.t + cap.h() * 0.2, cap.cx() + lw / 2, cap.t + cap.h() * 0.2 + lh};
  paint::roundedRect(cr, {lamp.l - 1, lamp.t - 1, lamp.r + 1, lamp.b + 1}, lh / 2 + 1);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_fill(cr);
  if (on) {
    cairo_save(cr);
    paint::roundedRect(cr, cap, 4);
    cairo_clip(cr);
    paint::glow(cr, lamp.cx(), lamp.cy(), cap.w() * 0.55, style::kLampOn);
    cairo_restore(cr);
    paint::fillVertical(cr, lamp, lh / 2, paint::mix(style::kLampOn, {1, 1, 1, 1}, 0.45), style::kLampOn);
  } else {
    paint::fillVertical(cr, lamp, lh / 2, style::kLampOff, paint::mix(style::kLampOff, {0, 0, 0, 1}, 0.3));
  }
}

void drawUnlitLed(cairo_t* cr, double cx, double cy) {
  const double r = style::kLed.w * 0.3;
  paint::circle(cr, cx, cy, r + 2.5);
  paint::set(cr, style::kRecess);
  cairo_fill(cr);
  paint::circle(cr, cx, cy, r);
  paint::set(cr, style::kLedOff);
  cairo_fill(cr);
  paint::circle(cr, cx - r * 0.3, cy - r * 0.35, r * 0.35);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
  cairo_fill(cr);
}

void drawCaptionButton(cairo_t* cr, const paint::Font& font, Box box, const std::string& caption) {
  const Box cap = drawCap(cr, box, false);
  paint::text(cr, font, {style::kLabelSize, style::kInk}, caption, cap.cx(), cap.cy() + style::kLabelSize * 0.36,
              paint::Align::Centre);
}

paint::Surface knob(int size, int frames) {
  const double s = size / 88.0;  // drawn at 88 units and scaled
  return stacked(size, size, frames, [&](cairo_t* cr, int k) {
    cairo_scale(cr, s, s);
    const double c = 44;
    const double angle = knobAngle(k, frames);
    // Shadow on the panel, then the ribbed skirt.
    cairo_pattern_t* shadow = cairo_pattern_create_radial(c, c + 3, 30, c, c + 3, 43);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    paint::circle(cr, c, c + 3, 43);
    cairo_set_source(cr, shadow);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);
    paint::circle(cr, c, c, 35);
    paint::set(cr, style::kKnobSkirt);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.6);
    for (int i = 0; i < 36; ++i) {
      radialLine(cr, c, c, 29.5, 34.5, angle + i * 10 * kDegree);
      cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
      cairo_stroke(cr);
    }
    // Light from above: a sheen over the skirt.
    cairo_pattern_t* sheen = cairo_pattern_create_linear(0, c - 35, 0, c + 35);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(sheen, 0.5, 1, 1, 1, 0.0);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 0, 0, 0, 0.25);
    paint::circle(cr, c, c, 35);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    // The cap: a rim lit from above and a slightly dished face.
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, c - 27, 0, c + 27);
    cairo_pattern_add_color_stop_rgb(rim, 0, style::kKnobCapTop.r, style::kKnobCapTop.g, style::kKnobCapTop.b);
    cairo_pattern_add_color_stop_rgb(rim, 1, style::kKnobCapBottom.r, style::kKnobCapBottom.g,
                                     style::kKnobCapBottom.b);
    paint::circle(cr, c, c, 27);
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    cairo_pattern_t* face = cairo_pattern_create_radial(c - 6, c - 8, 2, c, c, 24);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.27, 0.25, 0.23);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.15, 0.14, 0.13);
    paint::circle(cr, c, c, 24);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    // The pointer, across face and skirt.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 4.2);
    radialLine(cr, c, c, 11, 33, angle);
    paint::set(cr, style::kPointer);
    cairo_stroke(cr);
  });
}

paint::Surface button(int w, int h, bool on) {
  return stacked(w, h, 2, [&](cairo_t* cr, int k) { drawButtonFrame(cr, {0, 0, double(w), double(h)}, on, k == 1); });
}

paint::Surface handle() {
  const double w = style::kHandle.w, h = style::kHandle.h;
  return stacked(style::kHandle.w, style::kHandle.h, 1, [&](cairo_t* cr, int) {
    const Box cap{1.5, 0.5, w - 1.5, h - 1.5};
    paint::roundedRect(cr, {cap.l - 0.5, cap.t + 1.5, cap.r + 0.5, cap.b + 1.5}, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    paint::fillVertical(cr, cap, 3, style::kMetalTop, style::kMetalBottom);
    cairo_rectangle(cr, w / 2 - 1.25, cap.t + 2.5, 2.5, cap.h() - 5);
    cairo_set_source_rgba(cr, 0.12, 0.10, 0.09, 0.9);
    cairo_fill(cr);
  });
}

double leverPositionY(int position, int positions) {
  constexpr double top = 14, bottom = style::kLever.h - 14;
  return positions < 2 ? bottom : bottom - (bottom - top) * position / (positions - 1);
}

paint::Surface lever(int positions) {
  const double w = style::kLever.w, h = style::kLever.h;
  return stacked(style::kLever.w, style::kLever.h, positions, [&](cairo_t* cr, int k) {
    // The slot.
    const Box slot{w / 2 - 6, 4, w / 2 + 6, h - 4};
    paint::roundedRect(cr, slot, 6);
    paint::set(cr, style::kRecess);
    cairo_fill(cr);
    paint::roundedRect(cr, {slot.l + 3, slot.t + 3, slot.r - 3, slot.b - 3}, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_fill(cr);
    // The lever's cap at position k.
    const double y = leverPositionY(k, positions);
    const Box cap{3, y - 9, w - 3, y + 9};
    paint::roundedRect(cr, {cap.l, cap.t + 2.5, cap.r, cap.b + 2.5}, 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    paint::fillVertical(cr, cap, 4, style::kMetalTop, style::kMetalBottom);
    cairo_set_line_width(cr, 1.2);
    for (double dy : {-3.5, 0.0, 3.5}) {
      cairo_move_to(cr, cap.l + 6, y + dy);
      cairo_line_to(cr, cap.r - 6, y + dy);
    }
    cairo_set_source_rgba(cr, 0.2, 0.17, 0.14, 0.55);
    cairo_stroke(cr);
  });
}

paint::Surface led() {
  const double c = style::kLed.w / 2.0, r = style::kLed.w * 0.3;
  return stacked(style::kLed.w, style::kLed.h, 1, [&](cairo_t* cr, int) {
    paint::glow(cr, c, c, c, style::kLedOn);
    cairo_pattern_t* p = cairo_pattern_create_radial(c - r * 0.3, c - r * 0.35, 0, c, c, r);
    cairo_pattern_add_color_stop_rgb(p, 0, 1.0, 0.86, 0.74);
    cairo_pattern_add_color_stop_rgb(p, 1, style::kLedOn.r, style::kLedOn.g, style::kLedOn.b);
    paint::circle(cr, c, c, r + 0.5);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  });
}

paint::Surface arrow(bool next) {
  const int w = style::kArrow.w, h = style::kArrow.h;
  return stacked(w, h, 2, [&](cairo_t* cr, int k) {
    const Box cap = drawCap(cr, {0, 0, double(w), double(h)}, k == 1);
    const double cx = cap.cx(), cy = cap.cy(), d = cap.w() * 0.18;
    const double dir = next ? 1 : -1;
    cairo_move_to(cr, cx - dir * d * 0.8, cy - d);
    cairo_line_to(cr, cx + dir * d, cy);
    cairo_line_to(cr, cx - dir * d * 0.8, cy + d);
    cairo_close_path(cr);
    paint::set(cr, style::kPointer);
    cairo_fill(cr);
  });
}

paint::Surface learn(const paint::Font& font, const std::string& caption) {
  const int w = style::kLearn.w, h = style::kLearn.h;
  return stacked(w, h, 2, [&](cairo_t* cr, int k) {
    const bool on = k == 1;
    const Box cap = drawCap(cr, {0, 0, double(w), double(h)}, on);
    if (on) {
      // Switched on, the whole cap glows.
      paint::fillVertical(cr, cap, 4, paint::mix(style::kLedOn, {0, 0, 0, 1}, 0.35),
                          paint::mix(style::kLedOn, {0, 0, 0, 1}, 0.6));
      cairo_save(cr);
      paint::roundedRect(cr, cap, 4);
      cairo_clip(cr);
      paint::glow(cr, cap.cx(), cap.cy(), cap.w() * 0.6, paint::mix(style::kLedOn, {1, 1, 1, 1}, 0.2));
      cairo_restore(cr);
    }
    const paint::TextStyle st{style::kLabelSize - 1, on ? Colour{1, 1, 1, 1} : style::kInk};
    paint::text(cr, font, st, caption, cap.cx(), cap.cy() + st.size * 0.35, paint::Align::Centre);
  });
}

}  // namespace controls

namespace style {

Size frameSize(const std::string& bitmap) {
  if (bitmap == "knob.png") return kKnob;
  if (bitmap == "knob_small.png") return kSmallKnob;
  if (bitmap == "button_off.png" || bitmap == "button_on.png") return kButton;
  if (bitmap == "button_small_off.png" || bitmap == "button_small_on.png") return kSmallButton;
  if (bitmap == "handle.png") return kHandle;
  if (bitmap == "switch2.png" || bitmap == "switch3.png" || bitmap == "switch4.png") return kLever;
  if (bitmap == "led.png") return kLed;
  if (bitmap == "prev.png" || bitmap == "next.png") return kArrow;
  if (bitmap == "learn.png" || bitmap == "unlearn.png") return kLearn;
  if (bitmap == "tweak.png") return kCover;
  if (bitmap == "back.jpg") return {panel::kCanvasWidth, panel::kCanvasHeight};
  return {0, 0};
}

}  // namespace style
