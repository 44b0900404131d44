#pragma once

// Controls: the base class every editor element derives from, and the behaviour bases the bitmap
// controls share (bitmap frames, knob and slider dragging, momentary buttons).

#include <functional>

#include "IBitmap.h"
#include "IGraphicsStructs.h"

namespace iplug {
class IParam;
namespace igraphics {

class IGraphics;
class IGEditorDelegate;
class IControl;
class IPopupMenu;

// Called when a control's value changes from the mouse (SetDirty(true)).
using IActionFunction = std::function<void(IControl*)>;

// An element of the editor: a rectangle on the canvas, a normalised value 0 ... 1, an optional parameter
// binding, a tag, hidden and dirty states, and the mouse handlers. Coordinates are canvas units.
class IControl {
public:
  // paramIdx: the bound parameter, or kNoParameter (any negative index means none).
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter, IActionFunction actionFunc = nullptr);
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  virtual void Draw(IGraphics& g) = 0;

  virtual void OnMouseDown(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseDrag(float /*x*/, float /*y*/, float /*dX*/, float /*dY*/, const IMouseMod& /*mod*/) {}
  // Returns a bound parameter to its default value.
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  // Whether a double click comes as a second press instead (buttons).
  bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
  virtual void OnMouseWheel(float /*x*/, float /*y*/, const IMouseMod& /*mod*/, float /*delta*/) {}
  // Sets the mouse-over flag (and redraws when it changes).
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  // A key while the control has the keyboard (pop-ups, text entry, dialogs); returns whether it was used.
  virtual bool OnKeyDown(float /*x*/, float /*y*/, const IKeyPress& /*key*/) { return false; }
  // A menu this control opened (IGraphics::CreatePopupMenu) closed: pSelectedMenu is the (sub)menu an item
  // was chosen in (its GetChosenItemIdx), or nullptr when the menu was dismissed.
  virtual void OnPopupMenuSelection(IPopupMenu* /*pSelectedMenu*/, int /*valIdx*/) {}
  // A text entry this control opened (IGraphics::CreateTextEntry) was completed with str.
  virtual void OnTextEntryCompletion(const char* /*str*/, int /*valIdx*/) {}
  // After the control has been attached to a graphics context.
  virtual void OnInit() {}
  // After the context's scale or canvas size changed.
  virtual void OnRescale() {}
  virtual bool IsHit(float x, float y) const { return mRECT.Contains(x, y); }

  // --- value ---
  double GetValue() const { return mValue; }
  // Limited to 0 ... 1.
  void SetValue(double value);
  // The plug-in moved the value: set it and redraw, without sending it back.
  virtual void SetValueFromDelegate(double value);
  // The bound parameter's default, sent to the delegate.
  void SetValueToDefault();

  // --- binding ---
  int GetParamIdx() const { return mParamIdx; }
  // A control bound to no parameter that still shows parameter paramIdx: it is redrawn when the plug-in
  // moves that parameter.
  virtual bool ShowsParam(int /*paramIdx*/) const { return false; }
  // The bound parameter, or nullptr (unbound, or not yet attached).
  IParam* GetParam() const;
  int GetTag() const { return mTag; }
  const char* GetGroup() const { return mGroup; }

  // --- state ---
  // A hidden control is not drawn and takes no mouse input; its area is redrawn.
  void Hide(bool hide);
  bool IsHidden() const { return mHide; }
  // Marks the control for redrawing. With triggerAction the value goes to the delegate (bound controls)
  // and to the action function.
  void SetDirty(bool triggerAction = true);
  bool IsDirty() const { return mDirty; }
  void SetClean() { mDirty = false; }
  bool GetMouseIsOver() const { return mMouseIsOver; }

  const IRECT& GetRECT() const { return mRECT; }
  // What Draw may paint: the rectangle, unless a control draws beyond it.
  virtual IRECT GetDrawRECT() const { return mRECT; }
  void SetRECT(const IRECT& bounds) { mRECT = bounds; }
  const IText& GetText() const { return mText; }
  void SetText(const IText& text) { mText = text; }
  const IBlend& GetBlend() const { return mBlend; }
  void SetBlend(const IBlend& blend) { mBlend = blend; }
  void SetActionFunction(IActionFunction actionFunc) { mActionFunc = std::move(actionFunc); }
  // The longest text (in bytes) a text entry this control opens takes.
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }

  IGraphics* GetUI() const { return mGraphics; }
  IGEditorDelegate* GetDelegate() const { return mDelegate; }
  // Called by IGraphics::AttachControl.
  void SetAttached(IGraphics* graphics, int tag, const char* group);

protected:
  // For stepped parameters: the nearest value the parameter can take.
  double SnapToParamStep(double value) const;

  IRECT mRECT;
  IText mText;
  IBlend mBlend;
  bool mMouseIsOver = false;
  bool mDblAsSingleClick = false;
  int mTextEntryLength = kDefaultTextEntryLength;

private:
  IGraphics* mGraphics = nullptr;
  IGEditorDelegate* mDelegate = nullptr;
  int mParamIdx;
  int mTag = kNoTag;
  const char* mGroup = "";
  double mValue = 0.0;
  bool mHide = false;
  bool mDirty = true;
  IActionFunction mActionFunc;
};

// A bitmap shown by a control: frame 1 + int(value * (N - 1) + 0.5).
class IBitmapBase {
public:
  explicit IBitmapBase(const IBitmap& bitmap) : mBitmap(bitmap) {}
  virtual ~IBitmapBase() = default;
  void AttachIControl(IControl* control) { mControl = control; }
  void DrawBitmap(IGraphics& g);
  // The frame the control's value shows (1 ... N).
  int GetFrame() const;
  const IBitmap& GetBitmap() const { return mBitmap; }
  void SetBitmap(const IBitmap& bitmap) { mBitmap = bitmap; }

protected:
  IBitmap mBitmap;
  IControl* mControl = nullptr;
};

// The rectangle of one frame of bitmap at (x, y).
inline IRECT FrameRect(float x, float y, const IBitmap& bitmap) {
  return IRECT(x, y, x + static_cast<float>(bitmap.FW()), y + static_cast<float>(bitmap.FH()));
}

// A knob: dragging along the direction changes the value by the distance over (drag length x gearing),
// where the drag length is the control's height (vertical) or width; Shift or Ctrl makes it ten times
// finer. The wheel moves by 0.01 (0.001 fine) or one step of a stepped parameter.
class IKnobControlBase : public IControl {
public:
  IKnobControlBase(const IRECT& bounds, int paramIdx = kNoParameter, EDirection direction = EDirection::Vertical,
                   double gearing = DEFAULT_GEARING);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  double GetGearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing; }

protected:
  EDirection mDirection;
  double mGearing;
  double mMouseDragValue = 0.0;
};

bool IsFineControl(const IMouseMod& mod);
// The value after one wheel step: a parameter step for stepped parameters, else 0.01 (0.001 fine).
double WheelStep(const IControl& control, const IMouseMod& mod, float delta);

// A slider: a handle of handleSize units travelling along the track. A press moves the handle's centre
// to the pointer; dragging moves it by the distance over gearing (ten times finer with Shift or Ctrl).
class ISliderControlBase : public IControl {
public:
  ISliderControlBase(const IRECT& bounds, int paramIdx = kNoParameter, EDirection direction = EDirection::Vertical,
                     double gearing = DEFAULT_GEARING, float handleSize = 0.0f);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  const IRECT& GetTrackBounds() const { return mTrackBounds; }

protected:
  // The value that puts the handle's centre at the point.
  double ValueAt(float x, float y) const;
  void SetDragValue(double value);

  EDirection mDirection;
  double mGearing;
  float mHandleSize;
  IRECT mTrackBounds;
  double mMouseDragValue = 0.0;
};

// A momentary button: value 1 while pressed, 0 after the release. Each click of a double click is a press.
class IButtonControlBase : public IControl {
public:
  explicit IButtonControlBase(const IRECT& bounds, IActionFunction actionFunc = nullptr);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
};

}  // namespace igraphics
}  // namespace iplug
