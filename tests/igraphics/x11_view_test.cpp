// The editor as a VST3 view on a private X server: embedded in a parent window of the test, driven by a
// host run loop of the test (a poll loop), clicked and dragged with XTest. Checks drawing, gestures,
// idle calls, resize requests, that attach/remove leaks no windows or connections, and that a host may
// remove the view from inside its callbacks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "IControls.h"
#include "IGraphics.h"
#include "IPlugVST3View.h"
#include "editor_test_util.h"
#include "test_run_loop.h"
#include "xvfb.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace edtest;
using namespace Steinberg;
namespace SL = Steinberg::Linux;
using xtest::TestFrame;
using xtest::TestRunLoop;

namespace {

class X11View : public xtest::XServerTest {
protected:
  void SetUp() override {
    XServerTest::SetUp();
    if (IsSkipped()) return;
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

  // Keys the host passes on are the editor's only while it types or shows a menu: a text entry takes
  // them, and the X keyboard focus, until Enter completes it.
  IGraphics* g = dlg.GetUI();
  EXPECT_EQ(view->onKeyDown('a', 0, 0), kResultFalse);
  g->CreateTextEntry(*g->GetControl(1), IText(), IRECT(0, 0, 30, 10), "x");
  loop.Run(20);
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(host, &focus, &revert);
  EXPECT_EQ(focus, kids[0]);
  EXPECT_EQ(view->onKeyDown(0x00E9, 0, 0), kResultTrue);  // é typed over the selected "x"
  EXPECT_EQ(g->GetTextEntryControl()->GetEdit().Str(), "\xC3\xA9");
  EXPECT_EQ(view->onKeyUp(0x00E9, 0, 0), kResultTrue);
  EXPECT_EQ(view->onKeyDown(0, 4, 0), kResultTrue);  // the host's Return
  EXPECT_FALSE(g->GetTextEntryControl()->IsOpen());
  EXPECT_EQ(view->onKeyDown('a', 0, 0), kResultFalse);
  XGetInputFocus(host, &focus, &revert);
  EXPECT_NE(focus, kids[0]);

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
