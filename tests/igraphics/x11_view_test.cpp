// The editor as a VST3 view on a private X server: embedded in a parent window of the test, driven by a
// host run loop of the test (a poll loop), clicked and dragged with XTest. Checks drawing, gestures,
// idle calls, resize requests, that attach/remove leaks no windows or connections, and that a host may
// remove the view from inside its callbacks.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "IControls.h"
#include "IGraphics.h"
#include "IPlugVST3View.h"
#include "editor_test_util.h"
#include "xvfb.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace edtest;
using namespace Steinberg;
namespace SL = Steinberg::Linux;
using Clock = std::chrono::steady_clock;

namespace {

#define UNCOUNTED(Interface)                                                     \
  uint32 PLUGIN_API addRef() override { return 1; }                              \
  uint32 PLUGIN_API release() override { return 1; }                             \
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {       \
    if (FUnknownPrivate::iidEqual(iid, Interface::iid)) {                        \
      *obj = static_cast<Interface*>(this);                                      \
      return kResultOk;                                                          \
    }                                                                            \
    return QueryMore(iid, obj);                                                  \
  }

// A host run loop: keeps a reference to each registered handler, polls the file descriptors, fires the
// timers, and calls a handler only while it is registered (handlers may come and go inside callbacks).
class TestRunLoop : public SL::IRunLoop {
public:
  tresult PLUGIN_API registerEventHandler(SL::IEventHandler* h, SL::FileDescriptor fd) override {
    h->addRef();
    mRegs.push_back({h, nullptr, fd, 0, {}});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterEventHandler(SL::IEventHandler* h) override { return Drop(h, nullptr); }
  tresult PLUGIN_API registerTimer(SL::ITimerHandler* h, SL::TimerInterval ms) override {
    h->addRef();
    mRegs.push_back({nullptr, h, -1, static_cast<int>(ms), Clock::now() + std::chrono::milliseconds(ms)});
    return kResultOk;
  }
  tresult PLUGIN_API unregisterTimer(SL::ITimerHandler* h) override { return Drop(nullptr, h); }
  UNCOUNTED(SL::IRunLoop)
  tresult QueryMore(const TUID, void** obj) {
    *obj = nullptr;
    return kNoInterface;
  }

  // Runs callbacks for about ms milliseconds (one pass if 0).
  void Run(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
      std::vector<pollfd> fds;
      auto wake = end;
      for (const Reg& r : mRegs) {
        if (r.events) fds.push_back({r.fd, POLLIN, 0});
        if (r.timer) wake = std::min(wake, r.due);
      }
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
      poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(0, wait)));
      for (const pollfd& p : fds)
        if (p.revents & POLLIN)
          for (const Reg& r : Snapshot())
            if (r.events && r.fd == p.fd && Registered(r)) r.events->onFDIsSet(p.fd);
      for (const Reg& r : Snapshot())
        if (r.timer && r.due <= Clock::now() && Registered(r)) {
          for (Reg& live : mRegs)
            if (live.timer == r.timer) live.due = Clock::now() + std::chrono::milliseconds(live.ms);
          r.timer->onTimer();
        }
    } while (Clock::now() < end);
  }
  size_t Count() const { return mRegs.size(); }

private:
  struct Reg {
    SL::IEventHandler* events;
    SL::ITimerHandler* timer;
    int fd, ms;
    Clock::time_point due;
  };
  tresult Drop(SL::IEventHandler* e, SL::ITimerHandler* t) {
    for (auto it = mRegs.begin(); it != mRegs.end(); ++it)
      if ((e && it->events == e) || (t && it->timer == t)) {
        mRegs.erase(it);
        if (e) e->release();
        if (t) t->release();
        return kResultOk;
      }
    return kInvalidArgument;
  }
  std::vector<Reg> Snapshot() const { return mRegs; }
  bool Registered(const Reg& r) const {
    return std::any_of(mRegs.begin(), mRegs.end(),
                       [&](const Reg& x) { return x.events == r.events && x.timer == r.timer; });
  }
  std::vector<Reg> mRegs;
};

// The host's frame: hands out the run loop and grants every resize request.
class TestFrame : public IPlugFrame {
public:
  explicit TestFrame(TestRunLoop& loop) : mLoop(loop) {}
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* rect) override {
    resizes.emplace_back(rect->getWidth(), rect->getHeight());
    return view->onSize(rect);
  }
  UNCOUNTED(IPlugFrame)
  tresult QueryMore(const TUID iid, void** obj) { return mLoop.queryInterface(iid, obj); }
  std::vector<std::pair<int, int>> resizes;

private:
  TestRunLoop& mLoop;
};

xtest::PrivateXServer gServer;
std::string gSkipReason;

class X11View : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!gServer.Start()) {
      ASSERT_TRUE(gServer.missing) << gServer.problem;
      gSkipReason = gServer.problem;
    }
  }
  static void TearDownTestSuite() { gServer.Stop(); }

  void SetUp() override {
    if (!gSkipReason.empty()) GTEST_SKIP() << gSkipReason;
    host = XOpenDisplay(nullptr);
    ASSERT_NE(host, nullptr);
    parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 400, 300, 0, 0, 0);
    XMapWindow(host, parent);
    XSync(host, False);
    dlg.SetResourcePath(res.path.c_str());
    dlg.SetEditorSize(60, 40);
    dlg.mMakeGraphicsFunc = [this] { return MakeGraphics(dlg, 60, 40, 60, 1.0f); };
    dlg.mLayoutFunc = [](IGraphics* g) {
      g->AttachControl(new IBitmapControl(0, 0, g->LoadBitmap("back.jpg")));
      g->AttachControl(new IBKnobControl(10, 10, g->LoadBitmap("strip.png", 4), 0));
      g->Resize(60, 40, 2.0f, true);
    };
    view = new IPlugVST3View(dlg);
    view->setFrame(&frame);
  }
  void TearDown() override {
    if (view) view->release();
    if (host) XCloseDisplay(host);
  }

  std::vector<::Window> Children() {
    ::Window root, up, *kids = nullptr;
    unsigned int n = 0;
    XQueryTree(host, parent, &root, &up, &kids, &n);
    std::vector<::Window> out(kids, kids + n);
    if (kids) XFree(kids);
    return out;
  }
  RGB Pixel(::Window w, int x, int y) {
    XImage* image = XGetImage(host, w, x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return RGB{static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255)};
  }
  // Presses the left button at (x, y) of window w, moves by dy, releases.
  void Drag(::Window w, int x, int y, int dy) {
    int rx = 0, ry = 0;
    ::Window child;
    XTranslateCoordinates(host, w, DefaultRootWindow(host), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(host, -1, rx, ry, 0);
    XTestFakeButtonEvent(host, 1, True, 0);
    if (dy) XTestFakeMotionEvent(host, -1, rx, ry + dy, 0);
    XTestFakeButtonEvent(host, 1, False, 0);
    XSync(host, False);
  }
  bool Attach() { return view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID) == kResultTrue; }

  ResourceDir res;
  LogDelegate dlg;
  TestRunLoop loop;
  TestFrame frame{loop};
  IPlugVST3View* view = nullptr;
  Display* host = nullptr;
  ::Window parent = 0;
};

TEST_F(X11View, EmbedsInTheHostWindowAndRunsOnTheHostLoop) {
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  ViewRect size;
  view->getSize(&size);
  EXPECT_EQ(size.getWidth(), 60);
  // A parent that is no window is refused without ending the process.
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(parent + 1000), kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_EQ(dlg.GetUI(), nullptr);
  ASSERT_TRUE(Attach());
  // The layout chose scale 2: the host is asked once to follow, and hosts may not resize otherwise.
  EXPECT_EQ(frame.resizes, (std::vector<std::pair<int, int>>{{120, 80}}));
  view->getSize(&size);
  EXPECT_EQ(size.getWidth(), 120);
  EXPECT_EQ(view->canResize(), kResultFalse);
  ViewRect other(0, 0, 300, 300);
  EXPECT_EQ(view->onSize(&other), kResultFalse);
  view->checkSizeConstraint(&other);
  EXPECT_EQ(other.getHeight(), 80);
  EXPECT_EQ(loop.Count(), 3u);  // the connection, the frame timer, the idle timer

  const std::vector<::Window> kids = Children();
  ASSERT_EQ(kids.size(), 1u);
  loop.Run(150);
  EXPECT_GE(dlg.idles, 4);
  EXPECT_TRUE(Near(Pixel(kids[0], 30, 28), kFrameColors[1], 2));  // knob centre, frame 2 of value 0.25
  EXPECT_TRUE(Near(Pixel(kids[0], 4, 4), ResourceDir::kBack, 6));

  // 16 window pixels up at scale 2 are 8 canvas units: a quarter of the range.
  dlg.log.clear();
  Drag(kids[0], 30, 28, -16);
  loop.Run(100);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "perform 0 0.500000", "end 0"}));
  EXPECT_TRUE(Near(Pixel(kids[0], 30, 28), kFrameColors[2], 2));

  // A new scale resizes the child window and asks the host.
  dlg.GetUI()->Resize(60, 40, 1.0f, true);
  loop.Run(50);
  XWindowAttributes a;
  XGetWindowAttributes(host, kids[0], &a);
  EXPECT_EQ(a.width, 60);
  EXPECT_EQ(frame.resizes.back(), (std::pair<int, int>{60, 40}));

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(loop.Count(), 0u);
  EXPECT_TRUE(Children().empty());
}

int CountWindows(Display* d, ::Window w) {
  ::Window root, up, *kids = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, w, &root, &up, &kids, &n)) return 0;
  int total = 1;
  for (unsigned int i = 0; i < n; ++i) total += CountWindows(d, kids[i]);
  if (kids) XFree(kids);
  return total;
}

int CountOpenFiles() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST_F(X11View, AttachAndRemoveLeakNothingAndHostsMayRemoveInsideCallbacks) {
  const int windows = CountWindows(host, DefaultRootWindow(host));
  const int files = CountOpenFiles();
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(Attach());
    loop.Run(0);
    ASSERT_EQ(view->removed(), kResultOk);
  }
  XSync(host, False);
  EXPECT_EQ(CountWindows(host, DefaultRootWindow(host)), windows);
  EXPECT_EQ(CountOpenFiles(), files);  // every display connection closed
  EXPECT_EQ(loop.Count(), 0u);

  // The host closes the editor from inside the idle timer's callback.
  dlg.onIdle = [this] { view->removed(); };
  ASSERT_TRUE(Attach());
  loop.Run(100);
  EXPECT_EQ(loop.Count(), 0u);
  EXPECT_EQ(dlg.GetUI(), nullptr);
  EXPECT_TRUE(Children().empty());

  // ... and from inside the event callback, while a press on the knob is handled.
  dlg.onIdle = nullptr;
  dlg.onBegin = [this] { view->removed(); };
  ASSERT_TRUE(Attach());
  loop.Run(60);
  dlg.log.clear();
  Drag(Children().at(0), 30, 28, 0);
  loop.Run(100);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0"}));
  EXPECT_EQ(loop.Count(), 0u);
  EXPECT_TRUE(Children().empty());
  // The view opens again afterwards.
  dlg.onBegin = nullptr;
  ASSERT_TRUE(Attach());
  EXPECT_EQ(view->removed(), kResultOk);
}

}  // namespace
