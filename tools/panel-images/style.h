#pragma once

// The look of the panel: colours, type sizes and the pixel sizes of the control images (canvas units; the
// editor shows the 2250 x 800 canvas at a scale, 0.5 by default).

#include <string>

#include "paint.h"

namespace style {

using paint::rgb;

// Control images: one frame each.
struct Size {
  int w, h;
};
constexpr Size kKnob = {88, 88};
constexpr Size kSmallKnob = {44, 44};
constexpr Size kButton = {64, 60};
constexpr Size kSmallButton = {44, 44};
constexpr Size kHandle = {24, 20};  // the organ sliders lie 40 units apart: handle plus read-out above it
constexpr Size kLever = {40, 88};   // two-, three- and four-position selectors
constexpr Size kLed = {20, 20};
constexpr Size kArrow = {44, 44};
constexpr Size kLearn = {96, 44};
constexpr Size kCover = {712, 90};
// The frame size of a bitmap of the panel, by file name.
Size frameSize(const std::string& bitmap);

constexpr int kJpegQuality = 92;
constexpr double kKnobSweepDegrees = 300.0;  // minimum to maximum, centred on twelve o'clock

// Panel.
constexpr paint::Colour kPanelTop = rgb(0x2d2925), kPanelBottom = rgb(0x221f1c);
constexpr paint::Colour kPlateTop = rgb(0x3b3530), kPlateBottom = rgb(0x322d29);
constexpr paint::Colour kPlateEdge = rgb(0xfff0dc, 0.10);
constexpr paint::Colour kRecess = rgb(0x1a1715);
constexpr paint::Colour kInk = rgb(0xeee4cf);     // labels and titles on the plate
constexpr paint::Colour kInkDim = rgb(0xc3b79f);  // legends, scales
constexpr paint::Colour kHeaderInk = rgb(0x1e1a17);

// Section families, by the colour of their title bands.
constexpr paint::Colour kSynthBand = rgb(0xc9683f);
constexpr paint::Colour kOrganBand = rgb(0xd0a03c);
constexpr paint::Colour kStringBand = rgb(0x93a05c);
constexpr paint::Colour kPitchBand = rgb(0x5b9591);
constexpr paint::Colour kModBand = rgb(0x9c7595);
constexpr paint::Colour kEffectBand = rgb(0x6f8db0);
constexpr paint::Colour kNeutralBand = rgb(0xa39887);

// Controls.
constexpr paint::Colour kKnobSkirt = rgb(0x1b1917), kKnobCapTop = rgb(0x4c4641), kKnobCapBottom = rgb(0x1f1c1a);
constexpr paint::Colour kPointer = rgb(0xf3ead8);
constexpr paint::Colour kCapTop = rgb(0x4d4844), kCapBottom = rgb(0x2c2926);
constexpr paint::Colour kCapPressedTop = rgb(0x3a3632), kCapPressedBottom = rgb(0x262320);
constexpr paint::Colour kLampOff = rgb(0x3d2816), kLampOn = rgb(0xffb23e);
constexpr paint::Colour kLedOff = rgb(0x4a1a14), kLedOn = rgb(0xff4a2e);
constexpr paint::Colour kMetalTop = rgb(0xece4d6), kMetalBottom = rgb(0xa99e8d);
constexpr paint::Colour kDisplayTop = rgb(0x0d1114), kDisplayBottom = rgb(0x161c20);

// Type (sizes in canvas units: at the default scale 0.5 a label of 22 is 11 pixels high).
constexpr double kLabelSize = 22, kLegendSize = 20, kTitleSize = 23, kBrandSize = 58;

}  // namespace style
