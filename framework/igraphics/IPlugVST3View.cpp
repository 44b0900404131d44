#include "IPlugVST3View.h"

#include <cstring>

namespace iplug {
namespace igraphics {

using namespace Steinberg;

IPlugVST3View::IPlugVST3View(IGEditorDelegate& delegate, FUnknown* owner) : mDelegate(delegate), mOwner(owner) {
  if (mOwner) mOwner->addRef();
}

IPlugVST3View::~IPlugVST3View() {
  if (mAttached) removed();
  setFrame(nullptr);
  if (mOwner) mOwner->release();
}

tresult PLUGIN_API IPlugVST3View::isPlatformTypeSupported(FIDString type) {
  return (type && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::attached(void* parent, FIDString type) {
  if (mAttached || !parent || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
  if (!mDelegate.OpenWindow(parent, mRunLoop)) return kResultFalse;
  mAttached = true;
  mDelegate.mEditorResizeFunc = [this](int width, int height) { RequestResize(width, height); };
  // The layout may have chosen another size than the host was told.
  if (mDelegate.GetEditorWidth() != mHostWidth || mDelegate.GetEditorHeight() != mHostHeight)
    RequestResize(mDelegate.GetEditorWidth(), mDelegate.GetEditorHeight());
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3View::removed() {
  if (!mAttached) return kResultFalse;
  mAttached = false;
  mDelegate.mEditorResizeFunc = nullptr;
  mDelegate.CloseWindow();
  return kResultOk;
}

tresult PLUGIN_API IPlugVST3View::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  mHostWidth = mDelegate.GetEditorWidth();
  mHostHeight = mDelegate.GetEditorHeight();
  *size = ViewRect(0, 0, mHostWidth, mHostHeight);
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3View::onSize(ViewRect* newSize) {
  if (!newSize) return kInvalidArgument;
  return (newSize->getWidth() == mDelegate.GetEditorWidth() && newSize->getHeight() == mDelegate.GetEditorHeight())
             ? kResultTrue
             : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::checkSizeConstraint(ViewRect* rect) {
  if (!rect) return kInvalidArgument;
  rect->right = rect->left + mDelegate.GetEditorWidth();
  rect->bottom = rect->top + mDelegate.GetEditorHeight();
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3View::setFrame(IPlugFrame* frame) {
  if (mRunLoop) mRunLoop->release();
  mRunLoop = nullptr;
  mFrame = frame;
  if (frame && frame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&mRunLoop)) != kResultOk)
    mRunLoop = nullptr;
  return kResultTrue;
}

void IPlugVST3View::RequestResize(int width, int height) {
  if (!mFrame) return;
  mHostWidth = width;
  mHostHeight = height;
  ViewRect r(0, 0, width, height);
  mFrame->resizeView(this, &r);
}

}  // namespace igraphics
}  // namespace iplug
