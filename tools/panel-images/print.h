#pragma once

// Where the layout's controls lie, and a printer that places texts on the panel and checks each one.

#include <string>
#include <vector>

#include "panel_layout.h"
#include "paint.h"

namespace panelart {

paint::Box toBox(panel::Rect r);
// A one-frame rectangle of a bitmap with its top left at p.
paint::Box frameAt(panel::Point p, const char* bitmap);
// The rectangle the editor gives a row's control (a slider's includes the read-out area above its track).
paint::Box controlBox(const panel::Row& row);
// The controls around the program display.
std::vector<paint::Box> displayControls();
const panel::Row& rowOf(GUI::Element e);
// The section whose box holds b, or null.
const panel::Section* sectionOf(const paint::Box& b);

// Prints texts and checks each against the texts before it, the controls and its section; every
// problem is kept, one per line.
class Print {
public:
  Print(cairo_t* cr, const paint::Font& font);

  // `ownRow` is the control the text belongs to (it may lie on it), 0 for none. A text with a line break
  // stacks its lines upwards from the baseline y.
  void text(const paint::TextStyle& st, const std::string& s, double x, double y, paint::Align align,
            const paint::Box& section, int ownRow = 0);
  double capHeight(const paint::TextStyle& st) const;
  double width(const paint::TextStyle& st, const std::string& s) const;
  void fail(const std::string& why) { error_ += (error_.empty() ? "" : "\n") + why; }
  const std::string& error() const { return error_; }
  cairo_t* cr() const { return cr_; }
  const paint::Font& font() const { return font_; }

private:
  struct Placed {
    paint::Box box;
    std::string what;
    int owner;
  };
  struct Control {
    paint::Box box;
    int row;  // 0: a control around the program display
  };
  cairo_t* cr_;
  const paint::Font& font_;
  std::vector<Placed> texts_;
  std::vector<Control> controls_;
  std::string error_;
};

}  // namespace panelart
