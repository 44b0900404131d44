#pragma once

// The instrument's editor controls, adapted from the framework's bitmap controls. The switch and the
// corner resizer are defined with the layout (vantorel.editor.cpp), the others in vantorel.controls.cpp.

#include "IControls.h"
#include "wdlstring.h"

class Synth;
class Vantorel;

namespace iks {

using iplug::igraphics::IBitmap;
using iplug::igraphics::IColor;
using iplug::igraphics::IGraphics;
using iplug::igraphics::IMouseMod;
using iplug::igraphics::IRECT;
using iplug::igraphics::IText;

// The text style of the knobs' and sliders' value read-out, and the backdrop it is drawn on.
IText readoutText();
constexpr IColor kReadoutBackdrop(160, 64, 64, 64);

}  // namespace iks

// A knob that shows its parameter's value while the mouse is over it (continuous knobs only).
class IKSKnobControl : public iplug::igraphics::IBKnobControl {
public:
  IKSKnobControl(float x, float y, const iks::IBitmap& bitmap, int paramIdx, double gearing);
  void Draw(iks::IGraphics& g) override;

private:
  float mCentreX, mCentreY, mRadius;
};

// A horizontal slider that shows its parameter's value above its track while the mouse is over either.
class IKSSliderControl : public iplug::igraphics::IBSliderControl {
public:
  IKSSliderControl(float x, float y, float trackLength, const iks::IBitmap& handle, int paramIdx);
  void Draw(iks::IGraphics& g) override;
  // The handle sits one unit below the top of the track, so it reaches one unit below the rectangle.
  iks::IRECT GetDrawRECT() const override { return mRECT.GetPadded(0.0f, 0.0f, 0.0f, 1.0f); }

private:
  iks::IRECT mValueRect;
};

// A bitmap switch stepping through its frames; made with the negated tweak-toggle element it draws
// nothing and shows or hides the tweak panel instead.
class IKSSwitchControl : public iplug::igraphics::IBSwitchControl {
public:
  IKSSwitchControl(float x, float y, const iks::IBitmap& bitmap, int index);
  IKSSwitchControl(const iks::IRECT& bounds, const iks::IBitmap& bitmap, int index);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnInit() override;
  void Draw(iks::IGraphics& g) override;

private:
  Vantorel* mPlug = nullptr;
  int mElement;
};

// An on/off button with an image for each state that flips its parameter when the mouse is released.
// It reads the parameter whenever it draws; the idle handler may take its display over (setOn).
class IKSButtonKick : public iplug::igraphics::IBButtonControl {
public:
  IKSButtonKick(float x, float y, int paramIdx, const iks::IBitmap& off, const iks::IBitmap& on);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const iks::IMouseMod& mod) override;
  void Draw(iks::IGraphics& g) override;
  bool ShowsParam(int paramIdx) const override { return paramIdx == mKickParam; }
  // Shows `on` instead of the parameter while overridden; redrawn when either changes.
  void setOn(bool overridden, bool on);
  // Whether it shows its on image.
  bool isShownOn() const;

private:
  iks::IBitmap mOff, mOn;
  int mKickParam;
  bool mPressed = false;
  bool mOverridden = false;
  bool mOverrideState = false;
};

// A momentary button that steps through the program bank (previous or next, wrapping round).
class IKSUtilityKick : public iplug::igraphics::IButtonControlBase, public iplug::igraphics::IBitmapBase {
public:
  IKSUtilityKick(float x, float y, int command, const iks::IBitmap& bitmap);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const iks::IMouseMod& mod) override;
  void OnInit() override;
  void Draw(iks::IGraphics& g) override { DrawBitmap(g); }

private:
  Synth* mPlug = nullptr;
  int mCommand;
};

// The corner resizer, drawing its own grip: a translucent triangle, brighter while hovered or dragged.
class IKSCornerResizer : public iplug::igraphics::ICornerResizerControl {
public:
  IKSCornerResizer(const iks::IRECT& canvas, float size);
  void Draw(iks::IGraphics& g) override;
  // The grip is placed once, for the default scale; at other scales it reaches beyond the rectangle.
  iks::IRECT GetDrawRECT() const override { return mRECT.Union(mGrip); }

private:
  iks::IRECT mGrip;
  iks::IColor mNormal{32, 255, 255, 0};
  iks::IColor mHighlight{128, 255, 255, 0};
};

// The program display: the current program's number and name.
class IKSPresetMenu : public iplug::igraphics::IButtonControlBase {
public:
  IKSPresetMenu(const iks::IRECT& numberRect, const iks::IRECT& nameRect);
  void Draw(iks::IGraphics& g) override;

private:
  WDL_String mNumber, mName;
  iks::IRECT mNumberRect, mNameRect;
};

// The MIDI learn switch: a left click starts or cancels a learn (or unlearn) gesture; a right click
// while it is off swaps learn and unlearn mode.
class IKSSwitchMidiLearn : public iplug::igraphics::IBSwitchControl {
public:
  IKSSwitchMidiLearn(float x, float y, const iks::IBitmap& bitmap);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;

private:
  bool mLearnMode = true;
};
