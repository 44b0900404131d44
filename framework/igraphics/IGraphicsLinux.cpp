#include "IGraphicsLinux.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

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
// handlers, the mouse state between events, and the keyboard's input context and the focus to give back.
struct IGraphicsLinux::Window {
  Display* display = nullptr;
  ::Window window = 0;
  bool gone = false;  // destroyed with the host's window: no request may name it any more
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
  bool triedInputMethod = false;
  XIM inputMethod = nullptr;
  XIC inputContext = nullptr;
  ::Window previousFocus = 0;
};

namespace {

int gXError = 0;
int RecordXError(Display*, XErrorEvent* e) {
  gXError = e->error_code;
  return 0;
}

// Runs requests whose errors must not reach the process's handler (Xlib's default one ends the process);
// returns whether none failed. The host's own handler is put back at once.
template <typename F>
bool WithoutXErrors(Display* display, F requests) {
  XSync(display, False);
  gXError = 0;
  XErrorHandler previous = XSetErrorHandler(RecordXError);
  const bool ok = requests() && (XSync(display, False), gXError == 0);
  XSetErrorHandler(previous);
  return ok;
}

// Whether the window exists.
bool WindowExists(Display* display, ::Window window) {
  XWindowAttributes attributes;
  return WithoutXErrors(display, [&] { return XGetWindowAttributes(display, window, &attributes) != 0; });
}

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                            LeaveWindowMask | StructureNotifyMask;
constexpr long kKeyMask = KeyPressMask | KeyReleaseMask;

}  // namespace

IGraphicsLinux::IGraphicsLinux(IGEditorDelegate& dlg, int w, int h, int fps, float scale)
    : IGraphics(dlg, w, h, fps, scale) {
  SetDialogs(MakeDesktopDialogs(*this));
}

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
  attributes.event_mask = kEventMask;
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
  if (w->inputContext) XDestroyIC(w->inputContext);
  if (w->inputMethod) XCloseIM(w->inputMethod);
  if (!w->gone) XDestroyWindow(w->display, w->window);
  if (w->cursor) XFreeCursor(w->display, w->cursor);
  XCloseDisplay(w->display);
}

void IGraphicsLinux::PlatformResize() {
  if (!mWindow || mWindow->gone) return;
  XResizeWindow(mWindow->display, mWindow->window, WindowWidth(), WindowHeight());
  cairo_xlib_surface_set_size(mWindow->surface, WindowWidth(), WindowHeight());
  XFlush(mWindow->display);
}

void IGraphicsLinux::SetMouseCursor(ECursor cursor) {
  const bool same = cursor == GetMouseCursor();
  IGraphics::SetMouseCursor(cursor);
  if (!mWindow || mWindow->gone || (same && mWindow->cursor)) return;
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
  if (pixels.Empty() || mWindow->gone) return;
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

int VirtualKey(KeySym sym) {
  switch (sym) {
    case XK_BackSpace: return kVK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: return kVK_TAB;
    case XK_Return:
    case XK_KP_Enter: return kVK_RETURN;
    case XK_Escape: return kVK_ESCAPE;
    case XK_space: return kVK_SPACE;
    case XK_Page_Up:
    case XK_KP_Page_Up: return kVK_PRIOR;
    case XK_Page_Down:
    case XK_KP_Page_Down: return kVK_NEXT;
    case XK_End:
    case XK_KP_End: return kVK_END;
    case XK_Home:
    case XK_KP_Home: return kVK_HOME;
    case XK_Left:
    case XK_KP_Left: return kVK_LEFT;
    case XK_Up:
    case XK_KP_Up: return kVK_UP;
    case XK_Right:
    case XK_KP_Right: return kVK_RIGHT;
    case XK_Down:
    case XK_KP_Down: return kVK_DOWN;
    case XK_Delete:
    case XK_KP_Delete: return kVK_DELETE;
    default: break;
  }
  if (sym >= XK_a && sym <= XK_z) return static_cast<int>('A' + (sym - XK_a));
  if ((sym >= XK_A && sym <= XK_Z) || (sym >= XK_0 && sym <= XK_9)) return static_cast<int>(sym);
  return kVK_NONE;
}

// The key press an X key event stands for; the text (through the input method when there is one) only
// for a press, and never a control character.
IKeyPress TranslateKey(IGraphicsLinux::Window& w, XKeyEvent& e, bool press) {
  char latin[32] = {0};
  KeySym sym = NoSymbol;
  const int n = XLookupString(&e, latin, sizeof latin - 1, &sym, nullptr);
  std::string text;
  if (press && w.inputContext) {
    char utf8[32] = {0};
    Status status = 0;
    const int len = Xutf8LookupString(w.inputContext, &e, utf8, sizeof utf8 - 1, nullptr, &status);
    if (status == XLookupChars || status == XLookupBoth) text.assign(utf8, len);
  } else if (press) {
    for (int i = 0; i < n; ++i) {
      const unsigned char c = static_cast<unsigned char>(latin[i]);
      if (c < 0x80) text += static_cast<char>(c);
      else text += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  if (text.size() > 4 || (!text.empty() && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F)))
    text.clear();
  return IKeyPress(text.c_str(), VirtualKey(sym), e.state & ShiftMask, e.state & ControlMask, e.state & Mod1Mask);
}

// An input method for typed text (compose sequences, other layouts); without one, Latin-1 text.
void OpenInputContext(IGraphicsLinux::Window& w) {
  if (w.triedInputMethod) return;
  w.triedInputMethod = true;
  w.inputMethod = XOpenIM(w.display, nullptr, nullptr, nullptr);
  if (w.inputMethod)
    w.inputContext = XCreateIC(w.inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                               w.window, XNFocusWindow, w.window, nullptr);
}
}  // namespace

void IGraphicsLinux::PlatformKeyboardFocus(bool take) {
  if (!mWindow || mWindow->gone) return;
  Window& w = *mWindow;
  XSelectInput(w.display, w.window, kEventMask | (take ? kKeyMask : 0));
  if (take) {
    OpenInputContext(w);
    int revert = 0;
    XGetInputFocus(w.display, &w.previousFocus, &revert);
    // Refused while the window is not viewable, or by a host that keeps the focus: keys then reach the
    // editor only through the host.
    WithoutXErrors(w.display, [&] { return XSetInputFocus(w.display, w.window, RevertToParent, CurrentTime) != 0; });
    if (w.inputContext) XSetICFocus(w.inputContext);
  } else {
    if (w.inputContext) XUnsetICFocus(w.inputContext);
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(w.display, &focus, &revert);
    if (focus == w.window && w.previousFocus != w.window)
      WithoutXErrors(w.display,
                     [&] { return XSetInputFocus(w.display, w.previousFocus, RevertToParent, CurrentTime) != 0; });
  }
  XFlush(w.display);
}

bool IGraphicsLinux::RunModalLoop(const std::function<bool()>& done) {
  if (!mWindow || mWindow->gone) return false;
  // Inside the host's callback: only this window's events are handled. A Destroy() meanwhile waits for
  // the loop (and the callback around it) to end.
  ++mCallbackDepth;
  const int frameMs = FPS() > 0 ? std::max(1, 1000 / FPS()) : kIdleTimerMs;
  while (mWindow && !mWindow->gone && !done()) {
    Blit(DrawDirty());
    if (!XPending(mWindow->display)) {
      pollfd p{ConnectionNumber(mWindow->display), POLLIN, 0};
      poll(&p, 1, frameMs);
    }
    while (mWindow && !mWindow->gone && !done() && ProcessNextEvent()) {
    }
  }
  --mCallbackDepth;
  return mWindow && !mWindow->gone;
}

// A control may close the window while its event is handled: nothing of the window is used after the
// call into IGraphics.
bool IGraphicsLinux::ProcessNextEvent() {
  Window& w = *mWindow;
  if (!XPending(w.display)) return false;
  XEvent ev;
  XNextEvent(w.display, &ev);
  if ((ev.type == KeyPress || ev.type == KeyRelease) && w.inputContext && XFilterEvent(&ev, 0)) return true;
  const float scale = GetDrawScale();
  switch (ev.type) {
    case KeyPress:
    case KeyRelease: {
      const IKeyPress key = TranslateKey(w, ev.xkey, ev.type == KeyPress);
      const float x = ev.xkey.x / scale, y = ev.xkey.y / scale;
      if (ev.type == KeyPress)
        OnKeyDown(x, y, key);
      else
        OnKeyUp(x, y, key);
      break;
    }
    case DestroyNotify:
      if (ev.xdestroywindow.window == w.window) w.gone = true;
      break;
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
