#pragma once

// The bitmap controls, the text label and the corner resizer. A control given by a point takes the
// size of one frame of its bitmap there.

#include <string>

#include "IControl.h"

namespace iplug {
namespace igraphics {

// Shows the frame of its value.
class IBitmapControl : public IControl, public IBitmapBase {
public:
  IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoParameter,
                 EBlend blend = EBlend::Default);
  IBitmapControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = kNoParameter,
                 EBlend blend = EBlend::Default);
  void Draw(IGraphics& g) override { DrawBitmap(g); }
};

// A knob drawn as the frame of its value.
class IBKnobControl : public IKnobControlBase, public IBitmapBase {
public:
  IBKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx, EDirection direction = EDirection::Vertical,
                double gearing = DEFAULT_GEARING);
  IBKnobControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx,
                EDirection direction = EDirection::Vertical, double gearing = DEFAULT_GEARING);
  void Draw(IGraphics& g) override { DrawBitmap(g); }
};

// A slider: an optional track image, and frame 1 of the handle image moving along the track. The
// rectangle (and the track) is trackLength long in the direction and one handle frame wide across it.
class IBSliderControl : public ISliderControlBase, public IBitmapBase {
public:
  IBSliderControl(float x, float y, float trackLength, const IBitmap& handleBitmap,
                  const IBitmap& trackBitmap = IBitmap(), int paramIdx = kNoParameter,
                  EDirection direction = EDirection::Vertical, double gearing = DEFAULT_GEARING);
  void Draw(IGraphics& g) override;
  // Where the handle is drawn for value.
  IRECT GetHandleBounds(double value) const;

protected:
  IBitmap mTrackBitmap;
};

// Steps through its frames on each press: the value grows by 1 / (N - 1) and wraps to 0 after the last.
class IBSwitchControl : public IBitmapControl {
public:
  IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoParameter);
  IBSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = kNoParameter);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
};

// A momentary bitmap button: frame 2 while pressed.
class IBButtonControl : public IButtonControlBase, public IBitmapBase {
public:
  IBButtonControl(float x, float y, const IBitmap& bitmap, IActionFunction actionFunc = nullptr);
  IBButtonControl(const IRECT& bounds, const IBitmap& bitmap, IActionFunction actionFunc = nullptr);
  void Draw(IGraphics& g) override { DrawBitmap(g); }
};

// One line of text on an optional background. With setBoundsBasedOnStr the rectangle shrinks to the
// text's box (aligned in the given one) when attached.
class ITextControl : public IControl {
public:
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = IText(),
               const IColor& bgColor = DEFAULT_BGCOLOR, bool setBoundsBasedOnStr = false);
  void Draw(IGraphics& g) override;
  void OnInit() override;
  void SetStr(const char* str);
  const char* GetStr() const { return mStr.c_str(); }

protected:
  std::string mStr;
  IColor mBGColor;
  bool mSetBoundsBasedOnStr;
};

// The grip in the bottom-right corner of the canvas that resizes the editor: in scale mode dragging sets
// the drawing scale from the pointer and a double-click returns to scale 1.0. It stays `size` window
// pixels large: every change of scale re-places it in the canvas corner.
class ICornerResizerControl : public IControl {
public:
  ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color = COLOR_TRANSLUCENT,
                        const IColor& mouseOverColor = COLOR_BLACK, const IColor& dragColor = COLOR_BLACK);
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnRescale() override;

protected:
  float mSize;
  IColor mColor, mMouseOverColor, mDragColor;
};

}  // namespace igraphics
}  // namespace iplug
