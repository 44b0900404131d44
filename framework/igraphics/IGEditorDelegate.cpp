// Built into the framework core. Only virtual and inline members of IGraphics may be used here, so that
// the core links without the drawing libraries.
#include "IGEditorDelegate.h"

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

IGEditorDelegate::~IGEditorDelegate() { CloseWindow(); }

void IGEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) {
  if (!mGraphics) return;
  if (!normalized) {
    const IParam* p = GetParam(paramIdx);
    if (!p) return;
    value = p->ToNormalized(value);
  }
  mGraphics->SetControlValueFromDelegate(paramIdx, value);
}

void* IGEditorDelegate::OpenWindow(void* pParent, void* pPlatformContext) {
  if (mGraphics || !mMakeGraphicsFunc) return nullptr;
  mGraphics = mMakeGraphicsFunc();
  if (!mGraphics) return nullptr;
  mGraphics->SetPlatformContext(pPlatformContext);
  LayoutUI(mGraphics);
  OnUIOpen();
  SetEditorSize(mGraphics->WindowWidth(), mGraphics->WindowHeight());
  void* window = mGraphics->OpenWindow(pParent);
  if (!window) CloseWindow();
  return window;
}

void IGEditorDelegate::CloseWindow() {
  if (!mGraphics) return;
  IGraphics* graphics = mGraphics;
  graphics->CloseWindow();
  OnUIClose();
  mGraphics = nullptr;
  graphics->Destroy();
}

void IGEditorDelegate::OnUIOpen() {
  for (int i = 0; i < NParams(); ++i)
    if (const IParam* p = GetParam(i)) SendParameterValueFromDelegate(i, p->GetNormalized(), true);
}

void IGEditorDelegate::EditorResizeFromUI(int viewWidth, int viewHeight, bool needsPlatformResize) {
  SetEditorSize(viewWidth, viewHeight);
  if (needsPlatformResize && mEditorResizeFunc) mEditorResizeFunc(viewWidth, viewHeight);
}

}  // namespace igraphics
}  // namespace iplug
