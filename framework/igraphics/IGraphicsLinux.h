#pragma once

// The Linux back end: an X11 child window inside the host's window, on a display connection of its own.
// Its events and timers come from the host's run loop (Steinberg::Linux::IRunLoop, given as the platform
// context before the window opens): the connection's file descriptor, a frame timer that redraws dirty
// regions, and the 20 ms idle timer that calls the delegate's OnTimer. Everything registered is
// unregistered when the window closes, before the window and the connection go; the registered handler
// objects are reference counted, so a host may unregister them, or close the window, from inside one of
// their callbacks.
//
// The window takes the keyboard (key events and the input focus) only while a menu, a text entry or a
// dialog box of its own is open, and gives the focus back after; otherwise keys stay with the host. A
// dialog box of its own (when the desktop has no dialog program) runs a loop of the window's own events
// until answered, inside the host's callback, and answers as if closed when the window goes meanwhile.

#include <memory>

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

class IGraphicsLinux : public IGraphics {
public:
  static constexpr int kIdleTimerMs = 20;
  // Two presses of one button within this time and distance make a double click.
  static constexpr unsigned long kDoubleClickMs = 400;
  static constexpr int kDoubleClickPixels = 4;

  IGraphicsLinux(IGEditorDelegate& dlg, int w, int h, int fps, float scale);
  ~IGraphicsLinux() override;

  // pParent is the host's X11 window id; returns the new child window's id (as a pointer), or nullptr.
  void* OpenWindow(void* pParent) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return mWindow != nullptr; }
  void SetMouseCursor(ECursor cursor) override;
  void Destroy() override;

  struct Window;
  struct Handler;

protected:
  void PlatformResize() override;
  bool RunModalLoop(const std::function<bool()>& done) override;
  void PlatformKeyboardFocus(bool take) override;

private:
  // Runs a run-loop callback; a Destroy() during it takes effect when it returns.
  void Dispatch(void (IGraphicsLinux::*method)());
  // Run-loop callbacks.
  void OnEvents();
  void OnFrameTimer();
  void OnIdleTimer();
  // Handles one pending event; false when none was pending.
  bool ProcessNextEvent();
  // Copies window pixels from the back buffer to the window.
  void Blit(const IRECT& pixels);

  std::unique_ptr<Window> mWindow;
  int mCallbackDepth = 0;
  bool mDestroyPending = false;
};

}  // namespace igraphics
}  // namespace iplug
