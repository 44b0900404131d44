#include "IControl.h"

#include <algorithm>
#include <cmath>

#include "IGraphics.h"
#include "IPlugParameter.h"

namespace iplug {
namespace igraphics {

IControl::IControl(const IRECT& bounds, int paramIdx, IActionFunction actionFunc)
    : mRECT(bounds), mParamIdx(paramIdx), mActionFunc(std::move(actionFunc)) {}

void IControl::SetAttached(IGraphics* graphics, int tag, const char* group) {
  mGraphics = graphics;
  mDelegate = graphics ? graphics->GetDelegate() : nullptr;
  mTag = tag;
  mGroup = group ? group : "";
}

IParam* IControl::GetParam() const {
  return (mDelegate && mParamIdx >= 0) ? mDelegate->GetParam(mParamIdx) : nullptr;
}

void IControl::SetValue(double value) {
  mValue = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

void IControl::SetValueFromDelegate(double value) {
  SetValue(value);
  SetDirty(false);
}

void IControl::SetValueToDefault() {
  if (const IParam* p = GetParam()) {
    SetValue(p->GetDefault(true));
    SetDirty(true);
  }
}

double IControl::SnapToParamStep(double value) const {
  const IParam* p = GetParam();
  return (p && p->GetStepped()) ? p->ToNormalized(p->FromNormalized(value)) : value;
}

void IControl::OnMouseDblClick(float, float, const IMouseMod&) { SetValueToDefault(); }

void IControl::OnMouseOver(float, float, const IMouseMod&) {
  if (!mMouseIsOver) {
    mMouseIsOver = true;
    SetDirty(false);
  }
}

void IControl::OnMouseOut() {
  if (mMouseIsOver) {
    mMouseIsOver = false;
    SetDirty(false);
  }
}

void IControl::Hide(bool hide) {
  mHide = hide;
  SetDirty(false);
}

void IControl::SetDirty(bool triggerAction) {
  mDirty = true;
  if (!triggerAction) return;
  if (GetParam()) mDelegate->SendParameterValueFromUI(mParamIdx, mValue);
  if (mActionFunc) mActionFunc(this);
}

// --- IBitmapBase ---

int IBitmapBase::GetFrame() const {
  const int n = mBitmap.N();
  if (n <= 1 || !mControl) return 1;
  const int frame = 1 + static_cast<int>(mControl->GetValue() * (n - 1) + 0.5);
  return std::clamp(frame, 1, n);
}

void IBitmapBase::DrawBitmap(IGraphics& g) {
  if (mControl) g.DrawBitmap(mBitmap, mControl->GetRECT(), GetFrame(), &mControl->GetBlend());
}

// --- knobs and sliders ---

bool IsFineControl(const IMouseMod& mod) { return mod.S || mod.C; }

double WheelStep(const IControl& control, const IMouseMod& mod, float delta) {
  const IParam* p = control.GetParam();
  if (p && p->GetStepped() && p->GetRange() > 0.0) {
    const double steps = delta > 0.0f ? 1.0 : (delta < 0.0f ? -1.0 : 0.0);
    return p->ToNormalized(p->FromNormalized(control.GetValue()) + steps * p->GetStep());
  }
  return control.GetValue() + (IsFineControl(mod) ? 0.001 : 0.01) * delta;
}

IKnobControlBase::IKnobControlBase(const IRECT& bounds, int paramIdx, EDirection direction, double gearing)
    : IControl(bounds, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControlBase::OnMouseDown(float, float, const IMouseMod&) { mMouseDragValue = GetValue(); }

void IKnobControlBase::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod) {
  const double gearing = IsFineControl(mod) ? mGearing * 10.0 : mGearing;
  const double length = mDirection == EDirection::Vertical ? mRECT.H() : mRECT.W();
  if (!(length > 0.0) || !(gearing > 0.0)) return;
  const double moved = mDirection == EDirection::Vertical ? -dY : dX;
  mMouseDragValue = std::clamp(mMouseDragValue + moved / (length * gearing), 0.0, 1.0);
  const double value = SnapToParamStep(mMouseDragValue);
  if (value != GetValue()) {
    SetValue(value);
    SetDirty(true);
  }
}

void IKnobControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float delta) {
  const double before = GetValue();
  SetValue(WheelStep(*this, mod, delta));
  if (GetValue() != before) SetDirty(true);
}

ISliderControlBase::ISliderControlBase(const IRECT& bounds, int paramIdx, EDirection direction, double gearing,
                                       float handleSize)
    : IControl(bounds, paramIdx), mDirection(direction), mGearing(gearing), mHandleSize(handleSize),
      mTrackBounds(bounds) {}

double ISliderControlBase::ValueAt(float x, float y) const {
  const IRECT& t = mTrackBounds;
  const double half = 0.5 * mHandleSize;
  const double travel = (mDirection == EDirection::Horizontal ? t.W() : t.H()) - mHandleSize;
  if (!(travel > 0.0)) return GetValue();
  const double v = mDirection == EDirection::Horizontal ? (x - (t.L + half)) / travel : ((t.B - half) - y) / travel;
  return std::clamp(v, 0.0, 1.0);
}

void ISliderControlBase::SetDragValue(double value) {
  const double snapped = SnapToParamStep(std::clamp(value, 0.0, 1.0));
  if (snapped != GetValue()) {
    SetValue(snapped);
    SetDirty(true);
  }
}

void ISliderControlBase::OnMouseDown(float x, float y, const IMouseMod& mod) {
  mMouseDragValue = IsFineControl(mod) ? GetValue() : ValueAt(x, y);
  SetDragValue(mMouseDragValue);
}

void ISliderControlBase::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod) {
  const double gearing = IsFineControl(mod) ? mGearing * 10.0 : mGearing;
  const double travel = (mDirection == EDirection::Horizontal ? mTrackBounds.W() : mTrackBounds.H()) - mHandleSize;
  if (!(travel > 0.0) || !(gearing > 0.0)) return;
  // Not limited while dragging, so the handle meets the pointer again after it went past an end.
  mMouseDragValue += (mDirection == EDirection::Horizontal ? dX : -dY) / (travel * gearing);
  SetDragValue(mMouseDragValue);
}

void ISliderControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float delta) {
  SetDragValue(WheelStep(*this, mod, delta));
}

IButtonControlBase::IButtonControlBase(const IRECT& bounds, IActionFunction actionFunc)
    : IControl(bounds, kNoParameter, std::move(actionFunc)) {
  mDblAsSingleClick = true;
}

void IButtonControlBase::OnMouseDown(float, float, const IMouseMod&) {
  SetValue(1.0);
  SetDirty(true);
}

void IButtonControlBase::OnMouseUp(float, float, const IMouseMod&) {
  SetValue(0.0);
  SetDirty(true);
}

}  // namespace igraphics
}  // namespace iplug
