#include "panel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "controls.h"
#include "print.h"
#include "style.h"

namespace panelart {

using paint::Align;
using paint::Box;
using paint::TextStyle;

namespace {

constexpr double kLabelGap = 5;         // between a label's baseline and the control below it
constexpr double kLegendGap = 9;        // between a lever and its legends
constexpr double kBandHeight = 32;      // section title band
constexpr double kSectionPadding = 8;  // the least room between a label and its section's sides
constexpr double kPlateRadius = 10;
constexpr int kKnobTicks = 11;
// The maker's and the instrument's names: right of the tweak panel, clear of the window's corner grip.
constexpr Box kBrandArea{784, 700, 2180, 800};

const TextStyle kLabel{style::kLabelSize, style::kInk};
const TextStyle kLegend{style::kLegendSize, style::kInkDim};
const TextStyle kSubLabel{style::kLegendSize, style::kInk};
const TextStyle kTitle{style::kTitleSize, style::kHeaderInk, true, 2.5};
const TextStyle kGroup{style::kTitleSize, style::kHeaderInk, false, 2.5};

bool isCover(const panel::Row& row) { return row.param == -GUI::TweakCover; }
bool isToggle(const panel::Row& row) { return row.param == -GUI::TweakToggle; }
bool isLever(const panel::Row& row) { return std::strncmp(row.bitmap, "switch", 6) == 0; }
bool isKnobImage(const panel::Row& row) { return std::strncmp(row.bitmap, "knob", 4) == 0; }

const panel::Legend* legendOf(const panel::Row& row) {
  for (const panel::Legend& l : panel::kLegends)
    if (l.row == row.row) return &l;
  return nullptr;
}

paint::Colour bandColour(const panel::Section& s) {
  const std::string t = s.title, g = s.group;
  if (g == "Synth") return style::kSynthBand;
  if (t == "Organ") return style::kOrganBand;
  if (t == "String") return style::kStringBand;
  if (t == "Glide" || t == "Oscillators" || t == "Waveform") return style::kPitchBand;
  if (t == "LFO" || t == "Modulation") return style::kModBand;
  if (t == "Phaser" || t == "Delay") return style::kEffectBand;
  return style::kNeutralBand;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void drawBase(cairo_t* cr) {
  const Box all{0, 0, double(panel::kCanvasWidth), double(panel::kCanvasHeight)};
  paint::fillVertical(cr, all, 0, style::kPanelTop, style::kPanelBottom);
}

void drawPlate(cairo_t* cr, Box b) {
  paint::softShadow(cr, {b.l, b.t + 2, b.r, b.b + 2}, kPlateRadius, 3, 0.35);
  paint::fillVertical(cr, b, kPlateRadius, style::kPlateTop, style::kPlateBottom);
  paint::roundedRect(cr, {b.l + 0.5, b.t + 0.5, b.r - 0.5, b.b - 0.5}, kPlateRadius);
  paint::set(cr, style::kPlateEdge);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void drawSection(Print& print, const panel::Section& s) {
  cairo_t* cr = print.cr();
  const Box b = toBox(s.box);
  drawPlate(cr, b);
  // The title band across the top, its lower corners square.
  const Box band{b.l, b.t, b.r, b.t + kBandHeight};
  const paint::Colour colour = bandColour(s);
  cairo_save(cr);
  paint::roundedRect(cr, b, kPlateRadius);
  cairo_clip(cr);
  paint::fillVertical(cr, band, 0, paint::mix(colour, {1, 1, 1, 1}, 0.12), colour);
  cairo_rectangle(cr, band.l, band.b - 1, band.w(), 1);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  cairo_restore(cr);
  const double baseline = band.cy() + print.capHeight(kTitle) / 2;
  double x = b.l + 16;
  if (*s.group) {
    // The sound section as a dark tag before the title.
    const std::string group = upper(s.group);
    const double w = print.width(kGroup, group);
    paint::roundedRect(cr, {x - 8, band.t + 6, x + w + 8, band.b - 6}, 4);
    paint::set(cr, style::kHeaderInk);
    cairo_fill(cr);
    print.text({kGroup.size, colour, false, kGroup.tracking}, group, x, baseline, Align::Left, band);
    x += w + 22;
  }
  print.text(kTitle, upper(s.title), x, baseline, Align::Left, band);
}

void drawKnobScale(cairo_t* cr, const Box& k) {
  const double s = k.w() / double(style::kKnob.w);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  paint::set(cr, style::kInkDim);
  for (int i = 0; i < kKnobTicks; ++i) {
    const bool major = i == 0 || i == kKnobTicks / 2 || i == kKnobTicks - 1;
    controls::radialLine(cr, k.cx(), k.cy(), 38 * s, (major ? 43.5 : 42) * s, controls::knobAngle(i, kKnobTicks));
    cairo_set_line_width(cr, major ? 2.4 : 1.6);
    cairo_stroke(cr);
  }
}

// The groove a slider's handle runs in, with marks at the ends and the middle.
void drawSliderTrack(cairo_t* cr, const panel::Row& row) {
  const double cy = row.y + 1 + style::kHandle.h / 2.0;
  const double l = row.x + 2, r = row.x + row.length - 2;
  const double half = style::kHandle.w / 2.0;
  cairo_set_line_width(cr, 1.5);
  for (double t : {0.0, 0.5, 1.0}) {
    const double x = row.x + half + (row.length - 2 * half) * t;
    cairo_move_to(cr, x, cy - 9);
    cairo_line_to(cr, x, cy + 9);
  }
  paint::set(cr, paint::mix(style::kInkDim, {0, 0, 0, 0}, 0.4));
  cairo_stroke(cr);
  paint::roundedRect(cr, {l, cy - 3.5, r, cy + 3.5}, 3.5);
  paint::set(cr, style::kRecess);
  cairo_fill(cr);
  cairo_rectangle(cr, l + 3, cy + 3, r - l - 6, 1);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
  cairo_fill(cr);
}

// Sliders that share their track with others in a column (drawbars) carry their labels on the left.
bool inColumn(const panel::Row& row) {
  for (const panel::Row& o : panel::kRows)
    if (o.row != row.row && o.kind == panel::Kind::Slider && o.x == row.x && o.length == row.length) return true;
  return false;
}

const panel::Section* sectionOrFail(Print& print, const Box& c, const std::string& what) {
  const panel::Section* section = sectionOf(c);
  if (!section) print.fail(what + " lies outside every section");
  return section;
}

// A lever's position names to its right, each at its position.
void drawLegends(Print& print, const panel::Row& row, const Box& c, const Box& area) {
  const panel::Legend* legend = legendOf(row);
  const int n = controls::framesOf(row.bitmap);
  int count = 0;
  while (legend && count < 4 && legend->positions[count]) ++count;
  if (count != n) {
    print.fail("row " + std::to_string(row.row) + " needs " + std::to_string(n) + " position names");
    return;
  }
  const double cap = print.capHeight(kLegend);
  for (int k = 0; k < n; ++k) {
    const double y = c.t + controls::leverPositionY(k, n);
    cairo_rectangle(print.cr(), c.r + 1, y - 0.75, kLegendGap - 5, 1.5);
    paint::set(print.cr(), style::kInkDim);
    cairo_fill(print.cr());
    print.text(kLegend, legend->positions[k], c.r + kLegendGap, y + cap / 2, Align::Left, area, row.row);
  }
}

// The caption over a run of controls, with a rule on each side reaching to the run's ends.
void drawCaption(Print& print, const panel::Caption& caption) {
  Box span{1e9, 1e9, -1e9, -1e9};
  for (const panel::Row& row : panel::kRows)
    if (row.row >= caption.firstRow && row.row <= caption.lastRow) {
      const Box c = controlBox(row);
      span = {std::min(span.l, c.l), std::min(span.t, c.t), std::max(span.r, c.r), std::max(span.b, c.b)};
    }
  const panel::Section* section = sectionOrFail(print, span, caption.text);
  if (!section) return;
  const double baseline = span.t - kLabelGap, cap = print.capHeight(kLabel);
  print.text(kLabel, caption.text, span.cx(), baseline, Align::Centre, toBox(section->box));
  const double half = print.width(kLabel, caption.text) / 2 + 8, y = baseline - cap / 2;
  if (span.cx() + half > span.r - 12) return;  // no room for the rules
  cairo_t* cr = print.cr();
  for (double dir : {-1.0, 1.0}) {
    const double end = dir < 0 ? span.l + 4 : span.r - 4;
    cairo_move_to(cr, span.cx() + dir * half, y);
    cairo_line_to(cr, end, y);
    cairo_line_to(cr, end, y + 7);
  }
  cairo_set_line_width(cr, 1.5);
  paint::set(cr, style::kInkDim);
  cairo_stroke(cr);
}

void drawRow(Print& print, const panel::Row& row) {
  if (isCover(row)) return;
  cairo_t* cr = print.cr();
  const Box c = controlBox(row);
  const panel::Section* section = sectionOrFail(print, c, "row " + std::to_string(row.row));
  if (!section) return;
  const Box area = toBox(section->box);
  const double cap = print.capHeight(kLabel);
  if (isToggle(row)) {
    const style::Size f = style::kSmallButton;
    controls::drawButtonFrame(cr, {c.cx() - f.w / 2.0, c.t, c.cx() + f.w / 2.0, c.t + f.h}, false, false);
    print.text(kLabel, section->title, c.cx(), c.b + 4 + cap, Align::Centre, area);
    return;
  }
  if (row.kind == panel::Kind::Slider) {
    drawSliderTrack(cr, row);
    if (inColumn(row))
      print.text(kLabel, row.label, c.l - 14, row.y + 1 + style::kHandle.h / 2.0 + cap / 2, Align::Right, area);
    else
      print.text(kLabel, row.label, c.cx(), row.y - 3, Align::Centre, area, row.row);
    return;
  }
  if (row.kind == panel::Kind::Lamp) {
    controls::drawUnlitLed(cr, c.cx(), c.cy());
    print.text(kLabel, row.label, c.r + 6, c.cy() + cap / 2, Align::Left, area);
    return;
  }
  if (isKnobImage(row)) drawKnobScale(cr, c);
  if (isLever(row)) drawLegends(print, row, c, area);
  // A label is centred on its control, but kept clear of the section's sides.
  const double half = print.width(row.tweak ? kSubLabel : kLabel, row.label) / 2;
  const double centre = std::clamp(c.cx(), area.l + kSectionPadding + half, area.r - kSectionPadding - half);
  // The tweak panel has no room above for all its labels: they go below, its captions above.
  if (row.tweak)
    print.text(kSubLabel, row.label, centre, c.b - 1 + print.capHeight(kSubLabel), Align::Centre, area, row.row);
  else
    print.text(kLabel, row.label, centre, c.t - kLabelGap, Align::Centre, area, row.row);
}

// The program display's windows and the option button, with captions over them.
void drawProgramArea(Print& print) {
  cairo_t* cr = print.cr();
  const Box prev = frameAt(panel::kPrevProgram, "prev.png"), next = frameAt(panel::kNextProgram, "next.png");
  const Box learn = frameAt(panel::kMidiLearn, "learn.png"), name = toBox(panel::kPresetName);
  const panel::Section* section = sectionOrFail(print, name, "the program display");
  if (!section) return;
  for (const Box& b : displayControls())
    if (sectionOf(b) != section) print.fail("the program display's controls leave their section");
  for (panel::Rect r : {panel::kPresetNumber, panel::kPresetName}) {
    const Box w{r.l - 1.0, prev.t, r.r + 1.0, prev.b};
    paint::roundedRect(cr, {w.l - 2, w.t - 2, w.r + 2, w.b + 2}, 7);
    paint::set(cr, style::kRecess);
    cairo_fill(cr);
    paint::fillVertical(cr, w, 5, style::kDisplayTop, style::kDisplayBottom);
    // Glass: a faint reflection over the upper half.
    paint::fillVertical(cr, {w.l + 2, w.t + 2, w.r - 2, w.cy()}, 4, {1, 1, 1, 0.07}, {1, 1, 1, 0.01});
  }
  const Box menu{double(panel::kOptionMenu.l), prev.t, double(panel::kOptionMenu.r), prev.b};
  controls::drawCaptionButton(cr, print.font(), menu, "Menu");
  const Box area = toBox(section->box);
  const double baseline = prev.t - kLabelGap - 2;
  print.text(kLabel, "Select", (prev.l + next.r) / 2, baseline, Align::Centre, area);
  print.text(kLabel, "Name", name.cx(), baseline, Align::Centre, area);
  print.text(kLabel, "Options", menu.cx(), baseline, Align::Centre, area);
  print.text(kLabel, "MIDI", learn.cx(), baseline, Align::Centre, area);
}

void drawBrand(Print& print) {
  const Box band = kBrandArea;
  const TextStyle name{style::kBrandSize, style::kInk, false, 14};
  const TextStyle maker{26, style::kInk, false, 3};
  const TextStyle line{style::kLabelSize, style::kInkDim, false, 0.5};
  const double right = band.r - 10, baseline = band.b - 28;
  print.text(name, "VANTOREL", right, baseline, Align::Right, band);
  const double left = right - print.width(name, "VANTOREL") - 36;
  cairo_rectangle(print.cr(), left + 16, baseline - 52, 2, 56);
  paint::set(print.cr(), paint::mix(style::kInkDim, {0, 0, 0, 0}, 0.3));
  cairo_fill(print.cr());
  print.text(maker, "KESTROSA MUSIC", left, baseline - 28, Align::Right, band);
  print.text(line, "Paraphonic combination keyboard", left, baseline, Align::Right, band);
}

bool isTweakPanel(const panel::Section& s) { return controlBox(rowOf(GUI::TweakCover)).inside(toBox(s.box)); }

// The tweak panel has no title band (the cover carries its title); its outline runs off the canvas's
// lower edge.
void drawTweakPanel(cairo_t* cr, const panel::Section& s) {
  const Box b = toBox(s.box);
  paint::fillVertical(cr, b, kPlateRadius, paint::mix(style::kPlateBottom, {0, 0, 0, 1}, 0.15), style::kPlateBottom);
  paint::roundedRect(cr, {b.l + 0.5, b.t + 0.5, b.r - 0.5, b.b + kPlateRadius}, kPlateRadius);
  paint::set(cr, style::kPlateEdge);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

}  // namespace

bool drawBackground(const paint::Font& font, paint::Surface& out, std::string& error) {
  out = paint::newSurface(panel::kCanvasWidth, panel::kCanvasHeight);
  paint::Context cr = paint::newContext(out);
  Print print(cr.get(), font);
  drawBase(cr.get());
  for (const panel::Section& s : panel::kSections) {
    if (isTweakPanel(s))
      drawTweakPanel(cr.get(), s);
    else
      drawSection(print, s);
  }
  for (const panel::Row& row : panel::kRows) drawRow(print, row);
  for (const panel::Caption& caption : panel::kCaptions) drawCaption(print, caption);
  drawProgramArea(print);
  drawBrand(print);
  error = print.error();
  return error.empty();
}

paint::Surface drawCover(const paint::Font& font) {
  const style::Size size = style::kCover;
  paint::Surface surface = paint::newSurface(size.w, size.h);
  paint::Context context = paint::newContext(surface);
  cairo_t* cr = context.get();
  const Box b{0, 0, double(size.w), double(size.h)};
  paint::fillVertical(cr, b, kPlateRadius, paint::mix(style::kPlateTop, {1, 1, 1, 1}, 0.08),
                      paint::mix(style::kPlateBottom, {1, 1, 1, 1}, 0.02));
  paint::roundedRect(cr, {b.l + 0.5, b.t + 0.5, b.r - 0.5, b.b - 0.5}, kPlateRadius);
  paint::set(cr, style::kPlateEdge);
  cairo_stroke(cr);
  // The picture of the button under the tweak toggle, where the background has it too.
  const panel::Row& cover = rowOf(GUI::TweakCover);
  const Box t = controlBox(rowOf(GUI::TweakToggle));
  const double bx = t.cx() - cover.x - style::kSmallButton.w / 2.0, by = t.t - cover.y;
  controls::drawButtonFrame(cr, {bx, by, bx + style::kSmallButton.w, by + style::kSmallButton.h}, false, false);
  const double x = bx + style::kSmallButton.w + 22;
  const panel::Section* section = sectionOf(controlBox(cover));
  paint::text(cr, font, {28, style::kInk, true, 4}, upper(section ? section->title : ""), x, 44, Align::Left);
  paint::text(cr, font, kLegend, "Master tune, sync reset, key release, ensemble and delay vibe", x, 74, Align::Left);
  // Two screws on the right.
  for (double sy : {22.0, b.b - 22}) {
    const double sx = b.r - 22;
    paint::circle(cr, sx, sy, 6);
    paint::set(cr, style::kRecess);
    cairo_fill(cr);
    paint::fillVertical(cr, {sx - 4.5, sy - 4.5, sx + 4.5, sy + 4.5}, 4.5, style::kMetalTop, style::kMetalBottom);
    cairo_move_to(cr, sx - 3.5, sy + 1);
    cairo_line_to(cr, sx + 3.5, sy - 1);
    cairo_set_source_rgba(cr, 0.2, 0.17, 0.14, 0.8);
    cairo_set_line_width(cr, 1.3);
    cairo_stroke(cr);
  }
  return surface;
}

}  // namespace panelart
