#include "IControls.h"

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

IBitmapControl::IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx, EBlend blend)
    : IBitmapControl(FrameRect(x, y, bitmap), bitmap, paramIdx, blend) {}

IBitmapControl::IBitmapControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx, EBlend blend)
    : IControl(bounds, paramIdx), IBitmapBase(bitmap) {
  mBlend = IBlend(blend);
  AttachIControl(this);
}

IBKnobControl::IBKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx, EDirection direction,
                             double gearing)
    : IBKnobControl(FrameRect(x, y, bitmap), bitmap, paramIdx, direction, gearing) {}

IBKnobControl::IBKnobControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx, EDirection direction,
                             double gearing)
    : IKnobControlBase(bounds, paramIdx, direction, gearing), IBitmapBase(bitmap) {
  AttachIControl(this);
}

namespace {
IRECT SliderBounds(float x, float y, float trackLength, const IBitmap& handle, EDirection direction) {
  return direction == EDirection::Horizontal ? IRECT(x, y, x + trackLength, y + static_cast<float>(handle.FH()))
                                             : IRECT(x, y, x + static_cast<float>(handle.FW()), y + trackLength);
}
}  // namespace

IBSliderControl::IBSliderControl(float x, float y, float trackLength, const IBitmap& handleBitmap,
                                 const IBitmap& trackBitmap, int paramIdx, EDirection direction, double gearing)
    : ISliderControlBase(SliderBounds(x, y, trackLength, handleBitmap, direction), paramIdx, direction, gearing,
                         static_cast<float>(direction == EDirection::Horizontal ? handleBitmap.FW()
                                                                                : handleBitmap.FH())),
      IBitmapBase(handleBitmap), mTrackBitmap(trackBitmap) {
  AttachIControl(this);
}

IRECT IBSliderControl::GetHandleBounds(double value) const {
  const IRECT& t = mTrackBounds;
  const float fw = static_cast<float>(mBitmap.FW()), fh = static_cast<float>(mBitmap.FH());
  if (mDirection == EDirection::Horizontal) {
    const float l = t.L + static_cast<float>((t.W() - fw) * value);
    return IRECT(l, t.T, l + fw, t.T + fh);
  }
  const float top = t.B - fh - static_cast<float>((t.H() - fh) * value);
  return IRECT(t.L, top, t.L + fw, top + fh);
}

void IBSliderControl::Draw(IGraphics& g) {
  if (mTrackBitmap.IsValid()) g.DrawBitmap(mTrackBitmap, mTrackBounds, 1, &mBlend);
  g.DrawBitmap(mBitmap, GetHandleBounds(GetValue()), 1, &mBlend);
}

IBSwitchControl::IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx)
    : IBitmapControl(x, y, bitmap, paramIdx) {}

IBSwitchControl::IBSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx)
    : IBitmapControl(bounds, bitmap, paramIdx) {}

void IBSwitchControl::OnMouseDown(float, float, const IMouseMod&) {
  const int n = mBitmap.N();
  double value = n > 1 ? GetValue() + 1.0 / (n - 1) : 0.0;
  // The last state is 1 up to rounding; one step past it wraps.
  if (value > 1.0 + 1e-9) value = 0.0;
  SetValue(value);
  SetDirty(true);
}

IBButtonControl::IBButtonControl(float x, float y, const IBitmap& bitmap, IActionFunction actionFunc)
    : IBButtonControl(FrameRect(x, y, bitmap), bitmap, std::move(actionFunc)) {}

IBButtonControl::IBButtonControl(const IRECT& bounds, const IBitmap& bitmap, IActionFunction actionFunc)
    : IButtonControlBase(bounds, std::move(actionFunc)), IBitmapBase(bitmap) {
  AttachIControl(this);
}

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text, const IColor& bgColor,
                           bool setBoundsBasedOnStr)
    : IControl(bounds), mStr(str ? str : ""), mBGColor(bgColor), mSetBoundsBasedOnStr(setBoundsBasedOnStr) {
  mText = text;
}

void ITextControl::OnInit() {
  if (mSetBoundsBasedOnStr) GetUI()->MeasureText(mText, mStr.c_str(), mRECT);
}

void ITextControl::SetStr(const char* str) {
  const std::string s = str ? str : "";
  if (s == mStr) return;
  mStr = s;
  SetDirty(false);
}

void ITextControl::Draw(IGraphics& g) {
  if (mBGColor.A > 0) g.FillRect(mBGColor, mRECT, &mBlend);
  g.DrawText(mText, mStr.c_str(), mRECT, &mBlend);
}

ICornerResizerControl::ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color,
                                             const IColor& mouseOverColor, const IColor& dragColor)
    : IControl(graphicsBounds.GetFromBRHC(size, size).GetPadded(-1.0f)), mSize(size), mColor(color),
      mMouseOverColor(mouseOverColor), mDragColor(dragColor) {}

void ICornerResizerControl::Draw(IGraphics& g) {
  const IColor& c = g.GetResizingInProcess() ? mDragColor : (GetMouseIsOver() ? mMouseOverColor : mColor);
  g.FillTriangle(c, mRECT.L, mRECT.B, mRECT.R, mRECT.T, mRECT.R, mRECT.B, &mBlend);
}

void ICornerResizerControl::OnMouseDown(float, float, const IMouseMod&) {
  GetUI()->StartDragResize();
  SetDirty(false);
}

void ICornerResizerControl::OnMouseDblClick(float, float, const IMouseMod&) {
  IGraphics* g = GetUI();
  if (g->GetResizerMode() == EUIResizerMode::Scale) g->Resize(g->Width(), g->Height(), 1.0f, true);
}

void ICornerResizerControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  GetUI()->SetMouseCursor(ECursor::SIZENWSE);
  IControl::OnMouseOver(x, y, mod);
}

void ICornerResizerControl::OnMouseOut() {
  GetUI()->SetMouseCursor(ECursor::ARROW);
  IControl::OnMouseOut();
}

void ICornerResizerControl::OnRescale() {
  const float side = mSize / GetUI()->GetDrawScale();
  mRECT = GetUI()->GetBounds().GetFromBRHC(side, side);
}

}  // namespace igraphics
}  // namespace iplug
