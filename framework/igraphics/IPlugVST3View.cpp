#include "IPlugVST3View.h"

#include <cstring>

#include "IGraphics.h"

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

namespace {

// The host's virtual key codes (VST3 SDK, keycodes.h) and modifier bits.
enum HostKey : int16 {
  kHostBack = 1, kHostTab = 2, kHostReturn = 4, kHostEscape = 6, kHostSpace = 7, kHostEnd = 9, kHostHome = 10,
  kHostLeft = 11, kHostUp = 12, kHostRight = 13, kHostDown = 14, kHostPageUp = 15, kHostPageDown = 16,
  kHostEnter = 19, kHostDelete = 22
};
constexpr int16 kHostShift = 1 << 0, kHostAlt = 1 << 1, kHostControl = 1 << 3;

igraphics::IKeyPress HostKeyPress(char16 key, int16 keyCode, int16 modifiers) {
  static const struct {
    int16 host;
    int vk;
  } kKeys[] = {{kHostBack, kVK_BACK},     {kHostTab, kVK_TAB},       {kHostReturn, kVK_RETURN},
               {kHostEnter, kVK_RETURN},  {kHostEscape, kVK_ESCAPE}, {kHostSpace, kVK_SPACE},
               {kHostEnd, kVK_END},       {kHostHome, kVK_HOME},     {kHostLeft, kVK_LEFT},
               {kHostUp, kVK_UP},         {kHostRight, kVK_RIGHT},   {kHostDown, kVK_DOWN},
               {kHostPageUp, kVK_PRIOR},  {kHostPageDown, kVK_NEXT}, {kHostDelete, kVK_DELETE}};
  int vk = kVK_NONE;
  for (const auto& k : kKeys)
    if (k.host == keyCode) vk = k.vk;
  if (key >= 'a' && key <= 'z') vk = key - 'a' + 'A';
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) vk = key;
  if (key == ' ') vk = kVK_SPACE;
  // The character as UTF-8 (one UTF-16 unit: surrogate halves type nothing).
  char text[5] = {0};
  if (key >= 0x20 && key != 0x7F && (key < 0xD800 || key > 0xDFFF)) {
    if (key < 0x80) {
      text[0] = static_cast<char>(key);
    } else if (key < 0x800) {
      text[0] = static_cast<char>(0xC0 | (key >> 6));
      text[1] = static_cast<char>(0x80 | (key & 0x3F));
    } else {
      text[0] = static_cast<char>(0xE0 | (key >> 12));
      text[1] = static_cast<char>(0x80 | ((key >> 6) & 0x3F));
      text[2] = static_cast<char>(0x80 | (key & 0x3F));
    }
  }
  return igraphics::IKeyPress(text, vk, modifiers & kHostShift, modifiers & kHostControl, modifiers & kHostAlt);
}

}  // namespace

tresult IPlugVST3View::OnKey(char16 key, int16 keyCode, int16 modifiers, bool down) {
  IGraphics* ui = mAttached ? mDelegate.GetUI() : nullptr;
  if (!ui) return kResultFalse;
  const IKeyPress press = HostKeyPress(key, keyCode, modifiers);
  return (down ? ui->OnKeyDown(-1.0f, -1.0f, press) : ui->OnKeyUp(-1.0f, -1.0f, press)) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
  return OnKey(key, keyCode, modifiers, true);
}

tresult PLUGIN_API IPlugVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers) {
  return OnKey(key, keyCode, modifiers, false);
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
