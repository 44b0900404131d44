#include "print.h"

#include "style.h"

namespace panelart {

using paint::Box;

namespace {

constexpr double kTextClearance = 0.4;  // the least room beside a text, in text sizes (near two word spaces)
constexpr double kLineClearance = 4;    // the least room above and below a text
constexpr double kLineStep = 1.2;       // line distance of two-line texts, in text sizes

}  // namespace

Box toBox(panel::Rect r) { return {double(r.l), double(r.t), double(r.r), double(r.b)}; }

Box frameAt(panel::Point p, const char* bitmap) {
  const style::Size f = style::frameSize(bitmap);
  return {double(p.x), double(p.y), double(p.x + f.w), double(p.y + f.h)};
}

Box controlBox(const panel::Row& row) {
  if (row.height > 0) return {double(row.x), double(row.y), double(row.x + row.length), double(row.y + row.height)};
  const style::Size f = style::frameSize(row.bitmap);
  if (row.kind == panel::Kind::Slider)
    return {double(row.x), double(row.y - f.h), double(row.x + row.length), double(row.y + f.h)};
  return {double(row.x), double(row.y), double(row.x + f.w), double(row.y + f.h)};
}

std::vector<Box> displayControls() {
  return {toBox(panel::kPresetNumber),
          toBox(panel::kPresetName),
          toBox(panel::kOptionMenu),
          toBox(panel::kVersionLabel),
          frameAt(panel::kPrevProgram, "prev.png"),
          frameAt(panel::kNextProgram, "next.png"),
          frameAt(panel::kMidiLearn, "learn.png")};
}

const panel::Row& rowOf(GUI::Element e) {
  for (const panel::Row& row : panel::kRows)
    if (row.param == -e) return row;
  return panel::kRows[0];
}

const panel::Section* sectionOf(const Box& b) {
  for (const panel::Section& s : panel::kSections)
    if (b.inside(toBox(s.box))) return &s;
  return nullptr;
}

Print::Print(cairo_t* cr, const paint::Font& font) : cr_(cr), font_(font) {
  // The cover lies over the tweak panel on purpose: its labels are printed under it.
  for (const panel::Row& row : panel::kRows)
    if (row.param != -GUI::TweakCover) controls_.push_back({controlBox(row), row.row});
  for (const Box& b : displayControls()) controls_.push_back({b, 0});
}

void Print::text(const paint::TextStyle& st, const std::string& s, double x, double y, paint::Align align,
                 const Box& section, int ownRow) {
  const size_t br = s.rfind('\n');
  if (br != std::string::npos) {
    text(st, s.substr(0, br), x, y - st.size * kLineStep, align, section, ownRow);
    text(st, s.substr(br + 1), x, y, align, section, ownRow);
    return;
  }
  if (s.empty()) return;
  const paint::TextBox tb = paint::text(cr_, font_, st, s, x, y, align);
  if (!tb.ink.inside(section)) fail("\"" + s + "\" leaves its section");
  // Texts of one control (a lever's position names) may stand closer to each other.
  for (const Placed& p : texts_) {
    const bool own = ownRow && p.owner == ownRow;
    const double mx = own ? 1 : st.size * kTextClearance, my = own ? 1 : kLineClearance;
    if (Box{tb.ink.l - mx, tb.ink.t - my, tb.ink.r + mx, tb.ink.b + my}.overlaps(p.box))
      fail("\"" + s + "\" lies too close to \"" + p.what + "\"");
  }
  for (const Control& c : controls_)
    if (c.row != ownRow && tb.ink.overlaps(c.box))
      fail("\"" + s + "\" lies on a control" + (c.row ? " (row " + std::to_string(c.row) + ")" : ""));
  texts_.push_back({tb.ink, s, ownRow});
}

double Print::capHeight(const paint::TextStyle& st) const {
  return -paint::text(cr_, font_, st, "H", 0, 0, paint::Align::Left, false).ink.t;
}

double Print::width(const paint::TextStyle& st, const std::string& s) const {
  return paint::text(cr_, font_, st, s, 0, 0, paint::Align::Left, false).advance;
}

}  // namespace panelart
