// The editor in an X11 window on a private X server, as a user works it with the keyboard and the mouse
// (XTest): the option menu opened with a click and worked with the arrow keys (the disabled "Paste
// Program" is passed over), and, with no desktop dialog program, the window's own question box answered
// by a click while the command waits for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "../igraphics/test_run_loop.h"
#include "../igraphics/xvfb.h"
#include "IGraphics.h"
#include "IModalDialog.h"
#include "plugin_test_util.h"

// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace iplug::igraphics;

using EditorOnX11 = xtest::XServerTest;

// Clicks the left button at (x, y) of window w.
void Click(Display* d, ::Window w, int x, int y) {
  int rx = 0, ry = 0;
  ::Window child;
  XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
  XTestFakeMotionEvent(d, -1, rx, ry, 0);
  XTestFakeButtonEvent(d, 1, True, 0);
  XTestFakeButtonEvent(d, 1, False, 0);
  XSync(d, False);
}

void Key(Display* d, KeySym sym) {
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, sym), True, 0);
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, sym), False, 0);
  XSync(d, False);
}

bool PixelNear(Display* d, ::Window w, int x, int y, int r, int g, int b) {
  XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return false;
  const unsigned long p = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return std::abs(static_cast<int>((p >> 16) & 255) - r) < 8 && std::abs(static_cast<int>((p >> 8) & 255) - g) < 8 &&
         std::abs(static_cast<int>(p & 255) - b) < 8;
}

TEST_F(EditorOnX11, OptionMenuByKeysAndTheWindowsOwnQuestionBox) {
  Display* host = XOpenDisplay(nullptr);
  ASSERT_NE(host, nullptr);
  const ::Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 1125, 400, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);
  TestInstrument plug;
  plug->SetResourcePath(VANTOREL_RESOURCES);
  xtest::TestRunLoop loop;
  const auto window = reinterpret_cast<::Window>(plug->OpenWindow(reinterpret_cast<void*>(parent), &loop));
  ASSERT_NE(window, 0u);
  IGraphics* g = plug->GetUI();
  g->SetDialogs(MakeWindowDialogs(*g));  // never a desktop program in a test
  plug->ModifyCurrentPreset("Before");
  plug->SendParameterValueFromUI(25, 0.9);
  loop.Run(100);

  // A click on the option button (canvas 1996, 612 at scale 0.5) opens the menu and takes the keyboard.
  Click(host, window, 998, 306);
  for (int i = 0; i < 50 && !(g->GetPopupMenuControl() && g->GetPopupMenuControl()->IsOpen()); ++i) loop.Run(20);
  ASSERT_TRUE(g->GetPopupMenuControl() && g->GetPopupMenuControl()->IsOpen());
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(host, &focus, &revert);
  EXPECT_EQ(focus, window);

  // The user answers the question box when it shows: a click on its first button, "Yes".
  const IModalDialogControl::Layout box = IModalDialogControl::MakeLayout(1125, 400, 2, false);
  const int yesX = static_cast<int>(box.buttons[0].L) + 6, yesY = static_cast<int>(box.buttons[0].MH());
  bool answered = false;
  std::thread user([&] {
    Display* d = XOpenDisplay(nullptr);
    for (int i = 0; i < 250 && !answered; ++i) {
      if (PixelNear(d, window, yesX, yesY, 51, 120, 215)) {
        Click(d, window, yesX, yesY);
        answered = true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XCloseDisplay(d);
  });
  // Down to "Copy Program", Down past the disabled "Paste Program" to "Init Program", Enter.
  Key(host, XK_Down);
  Key(host, XK_Down);
  Key(host, XK_Return);
  for (int i = 0; i < 100 && plug->GetPresetName(0) != std::string("Init"); ++i) loop.Run(20);
  user.join();
  EXPECT_TRUE(answered);
  EXPECT_STREQ(plug->GetPresetName(0), "Init");
  EXPECT_DOUBLE_EQ(plug->GetParam(25)->GetNormalized(), plug->GetParam(25)->GetDefault(true));
  // The keyboard went back.
  XGetInputFocus(host, &focus, &revert);
  EXPECT_NE(focus, window);

  plug->CloseWindow();
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
}

}  // namespace
