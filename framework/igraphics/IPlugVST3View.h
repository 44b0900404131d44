#pragma once

// The editor as a VST3 view (IPlugView) on Linux: the host's X11 window is handed to the delegate, which
// opens its editor inside it; the run loop comes from the host's frame. The view's size is the editor's
// size at its current scale; the host may not resize it, and the editor asks the host to follow when its
// scale changes.

#include "base/source/fobject.h"
#include "pluginterfaces/gui/iplugview.h"

#include "IGEditorDelegate.h"

namespace iplug {
namespace igraphics {

class IPlugVST3View : public Steinberg::FObject, public Steinberg::IPlugView {
public:
  using tresult = Steinberg::tresult;

  // owner, if given, is kept referenced while the view lives (the controller that made it).
  explicit IPlugVST3View(IGEditorDelegate& delegate, Steinberg::FUnknown* owner = nullptr);
  ~IPlugVST3View() override;

  tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  tresult PLUGIN_API removed() override;
  tresult PLUGIN_API onWheel(float /*distance*/) override { return Steinberg::kResultFalse; }
  // Keys the host passes on: used (kResultTrue) only while a menu, text entry or dialog box of the
  // editor is open.
  tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers) override;
  tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers) override;
  tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  // Accepts only the editor's own size.
  tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  tresult PLUGIN_API onFocus(Steinberg::TBool /*state*/) override { return Steinberg::kResultTrue; }
  tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  tresult PLUGIN_API canResize() override { return Steinberg::kResultFalse; }
  // Any proposed size becomes the editor's own.
  tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

  OBJ_METHODS(IPlugVST3View, Steinberg::FObject)
  DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::IPlugView)
  END_DEFINE_INTERFACES(Steinberg::FObject)
  REFCOUNT_METHODS(Steinberg::FObject)

private:
  void RequestResize(int width, int height);
  tresult OnKey(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers, bool down);

  IGEditorDelegate& mDelegate;
  Steinberg::FUnknown* mOwner;
  Steinberg::IPlugFrame* mFrame = nullptr;  // not referenced: the host keeps it until setFrame(nullptr)
  Steinberg::Linux::IRunLoop* mRunLoop = nullptr;
  bool mAttached = false;
  // The size the host was last told (getSize or a resize request).
  int mHostWidth = -1, mHostHeight = -1;
};

}  // namespace igraphics
}  // namespace iplug
