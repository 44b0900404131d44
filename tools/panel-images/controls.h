#pragma once

// The images of the panel's controls. Multi-frame images stack their frames vertically, frame 1 on top.

#include <string>

#include "paint.h"

namespace controls {

int framesOf(const std::string& bitmap);  // from the layout's bitmap table

// The knob's pointer at step `step` of `steps` from minimum to maximum: radians clockwise from twelve
// o'clock.
double knobAngle(int step, int steps);
void radialLine(cairo_t* cr, double cx, double cy, double r0, double r1, double angle);

// 65 frames: the knob turned from its minimum to its maximum.
paint::Surface knob(int size, int frames);
// Two frames: released, pressed; `on` lights the button's lamp.
paint::Surface button(int w, int h, bool on);
paint::Surface handle();
// One frame per position, the lever at the bottom for the first (lowest) position.
paint::Surface lever(int positions);
// The centres of a lever's positions within its frame, first position first.
double leverPositionY(int position, int positions);
paint::Surface led();
// Two frames: released, pressed.
paint::Surface arrow(bool next);
// Two frames: off, on.
paint::Surface learn(const paint::Font& font, const std::string& caption);

// The pictures the background prints where an image's parts are not drawn by a control.
void drawButtonFrame(cairo_t* cr, paint::Box box, bool on, bool pressed);
void drawUnlitLed(cairo_t* cr, double cx, double cy);
void drawCaptionButton(cairo_t* cr, const paint::Font& font, paint::Box box, const std::string& caption);

}  // namespace controls
