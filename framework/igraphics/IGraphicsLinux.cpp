#include "IGraphicsLinux.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "pluginterfaces/gui/iplugview.h"

namespace iplug {
namespace igraphics {

using Steinberg::FUnknown;
using Steinberg::tresult;
using Steinberg::uint32;
namespace SL = Steinberg::Linux;

// A run-loop callback object: the host holds references to it, and so does the window while registered.
// It calls its owner only while attached, and holds a reference to itself during a callback, so a host
// that unregisters it (and drops its reference) from inside the callback does not delete it under the
// running code.
struct IGraphicsLinux::Handler : public SL::IEventHandler, public SL::ITimerHandler {
  using Method = void (IGraphicsLinux::*)();
  Handler(IGraphicsLinux* owner, Method method) : mOwner(owner), mMethod(method) {}
  virtual ~Handler() = default;

  void Run() {
    addRef();
    if (mOwner) mOwner->Dispatch(mMethod);
    release();
  }
  void PLUGIN_API onFDIsSet(SL::FileDescriptor) override { Run(); }
  void PLUGIN_API onTimer() override { Run(); }

  tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
    if (Steinberg::FUnknownPrivate::iidEqual(iid, SL::IEventHandler::iid) ||
        Steinberg::FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
      *obj = static_cast<SL::IEventHandler*>(this);
    } else if (Steinberg::FUnknownPrivate::iidEqual(iid, SL::ITimerHandler::iid)) {
      *obj = static_cast<SL::ITimerHandler*>(this);
    } else {
      *obj = nullptr;
      return Steinberg::kNoInterface;
    }
    addRef();
    return Steinberg::kResultOk;
  }
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --mRefs;
    if (left == 0) delete this;
    return left;
  }

  IGraphicsLinux* mOwner;
  Method mMethod;
  std::atomic<uint32> mRefs{1};
};

// The open window: its display connection, X window, cairo surface, the run loop and the registered
// handlers, and the mouse state between events.
struct IGraphicsLinux::Window {
  Display* display = nullptr;
  ::Window window = 0;
  cairo_surface_t* surface = nullptr;
  Cursor cursor = 0;
  SL::IRunLoop* runLoop = nullptr;
  Handler* events = nullptr;
  Handler* frameTimer = nullptr;
  Handler* idleTimer = nullptr;
  IRECT exposed;
  // The last pointer position (window pixels) and the last press, for drags and double clicks.
  int lastX = 0, lastY = 0;
  unsigned int pressButton = 0;
  Time pressTime = 0;
  int pressX = 0, pressY = 0;
  bool pressWasDouble = false;
};

namespace {

int gXError = 0;
int RecordXError(Display*, XErrorEvent* e) {
  gXError = e->error_code;
  return 0;
}

// Whether the window exists. Xlib's default reaction to a bad window id is to end the process, so the
// error is caught for this one request (the host's own handler is put back at once).
bool WindowExists(Display* display, ::Window window) {
  XSync(display, False);
  gXError = 0;
  XErrorHandler previous = XSetErrorHandler(RecordXError);
  XWindowAttributes attributes;
  const bool exists = XGetWindowAttributes(display, window, &attributes) != 0 && gXError == 0;
  XSetErrorHandler(previous);
  return exists;
}

}  // namespace

IGraphicsLinux::IGraphicsLinux(IGEditorDelegate& dlg, int w, int h, int fps, float scale)
    : IGraphics(dlg, w, h, fps, scale) {}

IGraphicsLinux::~IGraphicsLinux() { CloseWindow(); }

void IGraphicsLinux::Destroy() {
  if (mCallbackDepth > 0)
    mDestroyPending = true;
  else
    delete this;
}

void IGraphicsLinux::Dispatch(void (IGraphicsLinux::*method)()) {
  ++mCallbackDepth;
  (this->*method)();
  if (--mCallbackDepth == 0 && mDestroyPending) delete this;
}

void* IGraphicsLinux::OpenWindow(void* pParent) {
  if (mWindow || !pParent) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  const ::Window parent = reinterpret_cast<::Window>(pParent);
  if (!WindowExists(display, parent)) {
    XCloseDisplay(display);
    return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->display = display;
  XSetWindowAttributes attributes{};
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                          EnterWindowMask | LeaveWindowMask;
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  w->window = XCreateWindow(display, parent, 0, 0, WindowWidth(), WindowHeight(), 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixel, &attributes);
  XWindowAttributes created{};
  if (!w->window || !XGetWindowAttributes(display, w->window, &created)) {
    XCloseDisplay(display);
    return nullptr;
  }
  w->surface = cairo_xlib_surface_create(display, w->window, created.visual, WindowWidth(), WindowHeight());
  XMapWindow(display, w->window);
  XFlush(display);

  w->runLoop = static_cast<SL::IRunLoop*>(GetPlatformContext());
  if (w->runLoop) {
    w->runLoop->addRef();
    w->events = new Handler(this, &IGraphicsLinux::OnEvents);
    w->frameTimer = new Handler(this, &IGraphicsLinux::OnFrameTimer);
    w->idleTimer = new Handler(this, &IGraphicsLinux::OnIdleTimer);
    const int frameMs = FPS() > 0 ? std::max(1, 1000 / FPS()) : kIdleTimerMs;
    w->runLoop->registerEventHandler(w->events, ConnectionNumber(display));
    w->runLoop->registerTimer(w->frameTimer, static_cast<SL::TimerInterval>(frameMs));
    w->runLoop->registerTimer(w->idleTimer, static_cast<SL::TimerInterval>(kIdleTimerMs));
  }
  mWindow = std::move(w);
  return reinterpret_cast<void*>(mWindow->window);
}

void IGraphicsLinux::CloseWindow() {
  if (!mWindow) return;
  std::unique_ptr<Window> w = std::move(mWindow);
  // Unregister first; a callback that is running keeps its handler alive and sees it detached.
  for (Handler* h : {w->events, w->frameTimer, w->idleTimer}) {
    if (!h) continue;
    if (h == w->events)
      w->runLoop->unregisterEventHandler(h);
    else
      w->runLoop->unregisterTimer(h);
    h->mOwner = nullptr;
    h->release();
  }
  if (w->runLoop) w->runLoop->release();
  cairo_surface_destroy(w->surface);
  XDestroyWindow(w->display, w->window);
  if (w->cursor) XFreeCursor(w->display, w->cursor);
  XCloseDisplay(w->display);
}

void IGraphicsLinux::PlatformResize() {
  if (!mWindow) return;
  XResizeWindow(mWindow->display, mWindow->window, WindowWidth(), WindowHeight());
  cairo_xlib_surface_set_size(mWindow->surface, WindowWidth(), WindowHeight());
  XFlush(mWindow->display);
}

void IGraphicsLinux::SetMouseCursor(ECursor cursor) {
  IGraphics::SetMouseCursor(cursor);
  if (!mWindow) return;
  static const unsigned int kShapes[] = {XC_left_ptr, XC_xterm, XC_watch, XC_crosshair, XC_sb_up_arrow,
                                         XC_bottom_right_corner, XC_bottom_left_corner, XC_sb_h_double_arrow,
                                         XC_sb_v_double_arrow, XC_fleur, XC_X_cursor, XC_hand2, XC_watch,
                                         XC_question_arrow};
  const Cursor next = XCreateFontCursor(mWindow->display, kShapes[static_cast<int>(cursor)]);
  XDefineCursor(mWindow->display, mWindow->window, next);
  if (mWindow->cursor) XFreeCursor(mWindow->display, mWindow->cursor);
  mWindow->cursor = next;
  XFlush(mWindow->display);
}

void IGraphicsLinux::Blit(const IRECT& pixels) {
  if (pixels.Empty()) return;
  cairo_t* cr = cairo_create(mWindow->surface);
  cairo_set_source_surface(cr, GetBackBuffer(), 0.0, 0.0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, pixels.L, pixels.T, pixels.W(), pixels.H());
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(mWindow->surface);
  XFlush(mWindow->display);
}

// --- run-loop callbacks ---

void IGraphicsLinux::OnEvents() {
  // Until nothing is pending, or an event closed the window.
  while (mWindow && ProcessNextEvent()) {
  }
}

void IGraphicsLinux::OnFrameTimer() {
  if (mWindow) Blit(DrawDirty());
}

void IGraphicsLinux::OnIdleTimer() { GetDelegate()->OnTimer(); }

namespace {
IMouseMod Modifiers(unsigned int state, unsigned int button) {
  return IMouseMod(button == Button1 || (state & Button1Mask), button == Button3 || (state & Button3Mask),
                   state & ShiftMask, state & ControlMask, state & Mod1Mask);
}
}  // namespace

// A control may close the window while its event is handled: nothing of the window is used after the
// call into IGraphics.
bool IGraphicsLinux::ProcessNextEvent() {
  Window& w = *mWindow;
  if (!XPending(w.display)) return false;
  XEvent ev;
  XNextEvent(w.display, &ev);
  const float scale = GetDrawScale();
  switch (ev.type) {
    case Expose: {
      const IRECT r(ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height);
      w.exposed = w.exposed.Union(r);
      if (ev.xexpose.count == 0) {
        const IRECT area = w.exposed.Union(DrawDirty());
        w.exposed = IRECT();
        Blit(area);
      }
      break;
    }
    case ButtonPress: {
      const XButtonEvent& b = ev.xbutton;
      w.lastX = b.x;
      w.lastY = b.y;
      const IMouseMod mod = Modifiers(b.state, b.button);
      const float x = b.x / scale, y = b.y / scale;
      if (b.button == Button4 || b.button == Button5) {
        OnMouseWheel(x, y, mod, b.button == Button4 ? 1.0f : -1.0f);
        break;
      }
      if (b.button != Button1 && b.button != Button3) break;
      const bool isDouble = !w.pressWasDouble && b.button == w.pressButton && b.time - w.pressTime <= kDoubleClickMs &&
                            std::abs(b.x - w.pressX) <= kDoubleClickPixels &&
                            std::abs(b.y - w.pressY) <= kDoubleClickPixels;
      w.pressButton = b.button;
      w.pressTime = b.time;
      w.pressX = b.x;
      w.pressY = b.y;
      w.pressWasDouble = isDouble;
      if (isDouble)
        OnMouseDblClick(x, y, mod);
      else
        OnMouseDown(x, y, mod);
      break;
    }
    case ButtonRelease: {
      const XButtonEvent& b = ev.xbutton;
      if (b.button != Button1 && b.button != Button3) break;
      w.lastX = b.x;
      w.lastY = b.y;
      OnMouseUp(b.x / scale, b.y / scale, Modifiers(b.state, 0));
      break;
    }
    case MotionNotify: {
      // Only the latest of consecutive motions matters (never one from beyond a press or release).
      XEvent next;
      while (XEventsQueued(w.display, QueuedAlready) > 0 && XPeekEvent(w.display, &next) == 1 &&
             next.type == MotionNotify)
        XNextEvent(w.display, &ev);
      const XMotionEvent& m = ev.xmotion;
      const float dX = (m.x - w.lastX) / scale, dY = (m.y - w.lastY) / scale;
      w.lastX = m.x;
      w.lastY = m.y;
      const IMouseMod mod = Modifiers(m.state, 0);
      if ((mod.L || mod.R) && (GetCapturedControl() || GetResizingInProcess()))
        OnMouseDrag(m.x / scale, m.y / scale, dX, dY, mod);
      else
        OnMouseOver(m.x / scale, m.y / scale, mod);
      break;
    }
    case EnterNotify:
      w.lastX = ev.xcrossing.x;
      w.lastY = ev.xcrossing.y;
      OnMouseOver(ev.xcrossing.x / scale, ev.xcrossing.y / scale, Modifiers(ev.xcrossing.state, 0));
      break;
    case LeaveNotify:
      if (!GetCapturedControl() && !GetResizingInProcess()) OnMouseOut();
      break;
    default:
      break;
  }
  return true;
}

IGraphics* MakeGraphics(IGEditorDelegate& dlg, int w, int h, int fps, float scale) {
  return new IGraphicsLinux(dlg, w, h, fps, scale);
}

}  // namespace igraphics
}  // namespace iplug
