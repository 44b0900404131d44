// The instrument's knob, slider and kick buttons.
#include "vantorel.controls.h"

#include "IGraphics.h"
#include "panel_layout.h"
#include "synth.h"

using iplug::IParam;
using iplug::igraphics::EAlign;
using iplug::igraphics::EDirection;
using iplug::igraphics::EVAlign;
using iplug::igraphics::FrameRect;
using namespace iks;

namespace {

// The display text of the parameter a control is bound to, or "" when it has none.
WDL_String displayOf(const iplug::igraphics::IControl& control) {
  WDL_String text;
  if (const IParam* param = control.GetParam()) param->GetDisplay(text);
  return text;
}

// The bank steps of the previous and next buttons, wrapping round.
int stepProgram(int current, int count, int command) {
  if (command == -GUI::NextProgram) return current < count - 1 ? current + 1 : 0;
  if (command == -GUI::PrevProgram) return current > 0 ? current - 1 : count - 1;
  return -1;
}

}  // namespace

IText iks::readoutText() {
  return IText(28.0f, IColor(255, 64, 255, 64), panel::kFontName, EAlign::Center, EVAlign::Middle);
}

std::string iks::utf8Prefix(const char* text, size_t maxBytes) {
  std::string s = text ? text : "";
  if (s.size() <= maxBytes) return s;
  size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

// --- knob and slider ---

IKSKnobControl::IKSKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx, double gearing)
    : IBKnobControl(x, y, bitmap, paramIdx, EDirection::Vertical, gearing),
      mCentreX(x + bitmap.FW() / 2.0f), mCentreY(y + bitmap.FH() / 2.0f), mRadius(bitmap.FH() / 2.0f) {
  mText = readoutText();
}

void IKSKnobControl::Draw(IGraphics& g) {
  DrawBitmap(g);
  // Selector knobs (gearing 1) never show their value.
  if (!(mGearing > 1.0) || !GetMouseIsOver() || !GetParam()) return;
  g.FillCircle(kReadoutBackdrop, mCentreX, mCentreY, mRadius);
  g.DrawText(mText, displayOf(*this).Get(), mRECT);
}

IKSSliderControl::IKSSliderControl(float x, float y, float trackLength, const IBitmap& handle, int paramIdx)
    : IBSliderControl(x, y, trackLength, handle, IBitmap(), paramIdx, EDirection::Horizontal, 1.0) {
  mText = readoutText();
  // The control also covers the read-out above its track, so hovering either shows the value.
  mValueRect = mRECT.GetTranslated(0.0f, -mRECT.H());
  mRECT.T = mValueRect.T;
}

void IKSSliderControl::Draw(IGraphics& g) {
  if (GetMouseIsOver() && GetParam()) {
    g.FillRoundRect(kReadoutBackdrop, mValueRect, 5.0f);
    g.DrawText(mText, displayOf(*this).Get(), mValueRect);
  }
  const float w = static_cast<float>(mBitmap.FW()), h = static_cast<float>(mBitmap.FH());
  const float l = mTrackBounds.L + (mTrackBounds.W() - w) * static_cast<float>(GetValue());
  const float t = mValueRect.B + 1.0f;
  g.DrawBitmap(mBitmap, IRECT(l, t, l + w, t + h), 1, &mBlend);
}

// --- kick buttons ---

IKSButtonKick::IKSButtonKick(float x, float y, int paramIdx, const IBitmap& off, const IBitmap& on)
    : IBButtonControl(x, y, off), mOff(off), mOn(on), mKickParam(paramIdx) {}

bool IKSButtonKick::isShownOn() const {
  if (mOverridden) return mOverrideState;
  const IParam* param = GetDelegate() ? GetDelegate()->GetParam(mKickParam) : nullptr;
  return param && param->Value() >= 0.5;
}

void IKSButtonKick::Draw(IGraphics& g) { g.DrawBitmap(isShownOn() ? mOn : mOff, mRECT, mPressed ? 2 : 1); }

void IKSButtonKick::OnMouseDown(float x, float y, const IMouseMod& mod) {
  IButtonControlBase::OnMouseDown(x, y, mod);
  mPressed = true;
}

void IKSButtonKick::OnMouseUp(float, float, const IMouseMod&) {
  mPressed = false;
  auto* plug = GetDelegate();
  if (const IParam* param = plug ? plug->GetParam(mKickParam) : nullptr) {
    // One edit gesture for the host.
    plug->BeginInformHostOfParamChangeFromUI(mKickParam);
    plug->SendParameterValueFromUI(mKickParam, param->Value() >= 0.5 ? 0.0 : 1.0);
    plug->EndInformHostOfParamChangeFromUI(mKickParam);
  }
  SetDirty(false);
}

void IKSButtonKick::setOn(bool overridden, bool on) {
  if (overridden == mOverridden && on == mOverrideState) return;
  mOverridden = overridden;
  mOverrideState = on;
  SetDirty(false);
}

IKSUtilityKick::IKSUtilityKick(float x, float y, int command, const IBitmap& bitmap)
    : IButtonControlBase(FrameRect(x, y, bitmap)), IBitmapBase(bitmap), mCommand(command) {
  AttachIControl(this);
}

void IKSUtilityKick::OnInit() { mPlug = dynamic_cast<Synth*>(GetDelegate()); }

void IKSUtilityKick::OnMouseDown(float x, float y, const IMouseMod& mod) {
  IButtonControlBase::OnMouseDown(x, y, mod);
  if (!mPlug) return;
  const int next = stepProgram(mPlug->GetCurrentPresetIdx(), mPlug->NPresets(), mCommand);
  if (next >= 0) mPlug->changePreset(next);
}

void IKSUtilityKick::OnMouseUp(float, float, const IMouseMod&) {
  SetValue(0.0);
  SetDirty(true);
}
