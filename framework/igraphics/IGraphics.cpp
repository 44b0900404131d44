// The graphics context's controls, scale, mouse and key dispatch, menus, text entry and dialogs. Drawing is
// in IGraphicsDrawing.cpp.
#include "IGraphics.h"

#include <algorithm>
#include <cmath>

#include "IControls.h"
#include "IPlugParameter.h"

namespace iplug {
namespace igraphics {

IGraphics::IGraphics(IGEditorDelegate& dlg, int w, int h, int fps, float scale)
    : mDelegate(dlg), mWidth(w), mHeight(h), mFPS(fps), mDrawScale(scale > 0.0f ? scale : 1.0f),
      mDialogs(MakeWindowDialogs(*this)) {}

// --- size and scale ---

void IGraphics::SetScaleConstraints(float lo, float hi) {
  if (!(lo > 0.0f) || !(hi >= lo)) return;
  mMinScale = lo;
  mMaxScale = hi;
}

void IGraphics::Resize(int w, int h, float scale, bool needsPlatformResize) {
  if (w <= 0 || h <= 0 || std::isnan(scale)) return;
  scale = std::clamp(scale, mMinScale, mMaxScale);
  if (w == mWidth && h == mHeight && scale == mDrawScale) return;
  // A menu is laid out for the window it opened in.
  if (mPopupControl) mPopupControl->Dismiss();
  mWidth = w;
  mHeight = h;
  mDrawScale = scale;
  ResetBackBuffer();
  if (mCornerResizer) mCornerResizer->OnRescale();
  for (auto& c : mControls) c->OnRescale();
  if (needsPlatformResize) PlatformResize();
  // Last: a host may answer the resize request at once.
  mDelegate.EditorResizeFromUI(WindowWidth(), WindowHeight(), needsPlatformResize);
}

void IGraphics::OnDragResize(float x, float y) {
  // The pointer's window position becomes the window's bottom-right corner.
  if (mResizerMode == EUIResizerMode::Scale) {
    const float scale = std::max(x * mDrawScale / mWidth, y * mDrawScale / mHeight);
    Resize(mWidth, mHeight, scale, true);
  } else {
    Resize(std::max(1, static_cast<int>(std::lround(x))), std::max(1, static_cast<int>(std::lround(y))),
           mDrawScale, true);
  }
}

// --- controls ---

IControl* IGraphics::AttachControl(IControl* pControl, int ctrlTag, const char* group) {
  if (!pControl) return nullptr;
  mControls.emplace_back(pControl);
  pControl->SetAttached(this, ctrlTag, group);
  pControl->OnInit();
  return pControl;
}

void IGraphics::AttachCornerResizer(ICornerResizerControl* pControl, EUIResizerMode sizeMode,
                                    bool /*layoutOnResize*/) {
  if (!pControl) return;
  if (mMouseCapture == mCornerResizer.get() || mMouseOver == mCornerResizer.get()) {
    mMouseCapture = nullptr;
    mMouseOver = nullptr;
  }
  mCornerResizer.reset(pControl);
  mResizerMode = sizeMode;
  pControl->SetAttached(this, kNoTag, "");
  pControl->OnInit();
  pControl->OnRescale();
}

IControl* IGraphics::GetControlWithTag(int ctrlTag) const {
  if (ctrlTag == kNoTag) return nullptr;
  for (const auto& c : mControls)
    if (c->GetTag() == ctrlTag) return c.get();
  return nullptr;
}

void IGraphics::RemoveAllControls() {
  // Overlays opened by the controls close without telling them.
  if (mPopupControl) mPopupControl->Dismiss(true);
  if (mTextEntryControl) mTextEntryControl->Close(false);
  mModal = nullptr;
  mOverlayPress = false;
  mMouseCapture = nullptr;
  mMouseOver = nullptr;
  mResizingInProcess = false;
  mControls.clear();
  mCornerResizer.reset();
  mFullRedraw = true;
}

void IGraphics::ForAllControls(const std::function<void(IControl&)>& func) {
  for (auto& c : mControls) func(*c);
  if (mCornerResizer) func(*mCornerResizer);
}

void IGraphics::SetAllControlsDirty() {
  ForAllControls([](IControl& c) { c.SetDirty(false); });
}

void IGraphics::SetControlValueFromDelegate(int paramIdx, double normalizedValue) {
  if (paramIdx < 0) return;
  for (auto& c : mControls) {
    if (c->GetParamIdx() == paramIdx) {
      if (c->GetValue() != normalizedValue) c->SetValueFromDelegate(normalizedValue);
    } else if (c->ShowsParam(paramIdx)) {
      c->SetDirty(false);
    }
  }
}

// --- mouse ---

IControl* IGraphics::GetMouseControl(float x, float y) const {
  if (mCornerResizer && !mCornerResizer->IsHidden() && mCornerResizer->IsHit(x, y)) return mCornerResizer.get();
  for (auto it = mControls.rbegin(); it != mControls.rend(); ++it)
    if (!(*it)->IsHidden() && (*it)->IsHit(x, y)) return it->get();
  return nullptr;
}

int IGraphics::GestureParam(const IControl& control) const {
  return control.GetParam() ? control.GetParamIdx() : -1;
}

void IGraphics::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (IControl* overlay = ActiveOverlay()) {
    mMouseCapture = nullptr;
    mOverlayPress = true;
    overlay->OnMouseDown(x, y, mod);
    return;
  }
  IControl* c = GetMouseControl(x, y);
  mMouseCapture = c;
  mCaptureGestureParam = c ? GestureParam(*c) : -1;
  if (!c) return;
  if (mCaptureGestureParam >= 0) mDelegate.BeginInformHostOfParamChangeFromUI(mCaptureGestureParam);
  c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(float x, float y, const IMouseMod& mod) {
  IControl* c = mMouseCapture;
  const int gesture = mCaptureGestureParam;
  mMouseCapture = nullptr;
  mCaptureGestureParam = -1;
  if (mResizingInProcess) {
    mResizingInProcess = false;
    mFullRedraw = true;  // at full quality again
  }
  if (!c) {
    IControl* overlay = mOverlayPress ? ActiveOverlay() : nullptr;
    mOverlayPress = false;
    if (overlay) overlay->OnMouseUp(x, y, mod);
    return;
  }
  c->OnMouseUp(x, y, mod);
  if (gesture >= 0) mDelegate.EndInformHostOfParamChangeFromUI(gesture);
}

void IGraphics::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) {
  if (mResizingInProcess) {
    OnDragResize(x, y);
    return;
  }
  if (dX == 0.0f && dY == 0.0f) return;
  if (mMouseCapture)
    mMouseCapture->OnMouseDrag(x, y, dX, dY, mod);
  else if (IControl* overlay = mOverlayPress ? ActiveOverlay() : nullptr)
    overlay->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(float x, float y, const IMouseMod& mod) {
  if (IControl* overlay = ActiveOverlay()) {
    mMouseCapture = nullptr;
    mOverlayPress = true;
    overlay->OnMouseDblClick(x, y, mod);
    return;
  }
  IControl* c = GetMouseControl(x, y);
  if (c && c->GetMouseDblAsSingleClick()) {
    OnMouseDown(x, y, mod);
    return;
  }
  mMouseCapture = nullptr;
  mCaptureGestureParam = -1;
  if (!c) return;
  const int gesture = GestureParam(*c);
  if (gesture >= 0) mDelegate.BeginInformHostOfParamChangeFromUI(gesture);
  c->OnMouseDblClick(x, y, mod);
  if (gesture >= 0) mDelegate.EndInformHostOfParamChangeFromUI(gesture);
}

void IGraphics::OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) {
  if (IControl* overlay = ActiveOverlay()) {
    overlay->OnMouseWheel(x, y, mod, delta);
    return;
  }
  IControl* c = GetMouseControl(x, y);
  if (!c) return;
  const int gesture = GestureParam(*c);
  if (gesture >= 0) mDelegate.BeginInformHostOfParamChangeFromUI(gesture);
  c->OnMouseWheel(x, y, mod, delta);
  if (gesture >= 0) mDelegate.EndInformHostOfParamChangeFromUI(gesture);
}

bool IGraphics::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (IControl* overlay = ActiveOverlay()) {
    overlay->OnMouseOver(x, y, mod);
    return true;
  }
  if (!mEnableMouseOver) return false;
  IControl* c = GetMouseControl(x, y);
  IControl* previous = mMouseOver;
  mMouseOver = c;
  if (previous && previous != c) previous->OnMouseOut();
  if (c) c->OnMouseOver(x, y, mod);
  return c != nullptr;
}

void IGraphics::OnMouseOut() {
  IControl* previous = mMouseOver;
  mMouseOver = nullptr;
  if (previous) previous->OnMouseOut();
}

// --- overlays: menus, text entry, dialog boxes ---

IControl* IGraphics::ActiveOverlay() const {
  if (mModal) return mModal;
  if (mTextEntryControl && mTextEntryControl->IsOpen()) return mTextEntryControl.get();
  if (mPopupControl && mPopupControl->IsOpen()) return mPopupControl.get();
  return nullptr;
}

std::vector<IControl*> IGraphics::OpenOverlays() const {
  std::vector<IControl*> open;
  if (mTextEntryControl && mTextEntryControl->IsOpen()) open.push_back(mTextEntryControl.get());
  if (mPopupControl && mPopupControl->IsOpen()) open.push_back(mPopupControl.get());
  if (mModal) open.push_back(mModal);
  return open;
}

void IGraphics::UpdateKeyboardFocus() {
  const bool want = ActiveOverlay() != nullptr;
  if (want == mKeyboardTaken) return;
  mKeyboardTaken = want;
  PlatformKeyboardFocus(want);
}

IPopupMenu* IGraphics::CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds, int valIdx) {
  if (mModal) return nullptr;
  if (mTextEntryControl) mTextEntryControl->Close(true);
  if (!mPopupControl) {
    mPopupControl = std::make_unique<IPopupMenuControl>();
    mPopupControl->SetAttached(this, kNoTag, "");
  }
  mPopupControl->Open(control, menu, bounds, valIdx);
  return mPopupControl->IsOpen() ? &menu : nullptr;
}

void IGraphics::CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds, const char* str,
                                int valIdx) {
  if (mModal) return;
  if (mPopupControl) mPopupControl->Dismiss();
  if (!mTextEntryControl) {
    mTextEntryControl = std::make_unique<ITextEntryControl>();
    mTextEntryControl->SetAttached(this, kNoTag, "");
  }
  mTextEntryControl->Open(control, text, bounds, str, valIdx);
  UpdateKeyboardFocus();
}

bool IGraphics::RunModal(IControl& overlay, const std::function<bool()>& done) {
  if (mModal) return false;
  if (mPopupControl) mPopupControl->Dismiss();
  overlay.SetAttached(this, kNoTag, "");
  mModal = &overlay;
  overlay.SetDirty(false);
  UpdateKeyboardFocus();
  const bool ran = RunModalLoop(done);
  if (mModal == &overlay) {
    mModal = nullptr;
    mOverlayPress = false;
    SetAreaDirty(GetBounds());
    UpdateKeyboardFocus();
  }
  return ran && done();
}

bool IGraphics::OnKeyDown(float x, float y, const IKeyPress& key) {
  IControl* overlay = ActiveOverlay();
  return overlay && overlay->OnKeyDown(x, y, key);
}

bool IGraphics::OnKeyUp(float, float, const IKeyPress&) { return ActiveOverlay() != nullptr; }

// --- dialogs ---

EMsgBoxResult IGraphics::ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                        IMsgBoxCompletionHandlerFunc completionHandler) {
  const EMsgBoxResult result = mDialogs->MessageBox(str ? str : "", caption ? caption : "", type);
  if (completionHandler) completionHandler(result);
  return result;
}

void IGraphics::PromptForFile(WDL_String& fileName, WDL_String& path, EFileAction action, const char* ext,
                              IFileDialogCompletionHandlerFunc completionHandler) {
  WDL_String chosen(fileName.Get());
  if (!mDialogs->PromptForFile(chosen, path.Get(), action, ext ? ext : "")) chosen.Set("");
  fileName.Set(chosen.Get());
  if (completionHandler) completionHandler(fileName, path);
}

bool IGraphics::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                        const char* errMsgOnFailure) {
  const char* title = msgWindowTitle ? msgWindowTitle : "";
  if (confirmMsg && ShowMessageBox(confirmMsg, title, kMB_YESNO) != kYES) return false;
  const bool opened = mDialogs->OpenURL(url);
  if (!opened && errMsgOnFailure) ShowMessageBox(errMsgOnFailure, title, kMB_OK);
  return opened;
}

}  // namespace igraphics
}  // namespace iplug
