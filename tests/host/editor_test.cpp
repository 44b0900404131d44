// The editor in a real host: JUCE's VST3 hosting opens it in a window of its own on the private X server,
// the test clicks a kick button and drags a knob with XTest, the host sees the edits, and a screenshot is
// written (vst3-editor.png in the working folder). Opening and closing it 200 times leaks no X window and
// no memory.
#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "host_util.h"

// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

// The editor opens at scale 0.5: canvas units are two window pixels.
constexpr int kEditorWidth = 1125, kEditorHeight = 400;

// Counts the edits and gestures the host sees.
struct EditCounter : juce::AudioProcessorListener {
  void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float) override { ++changes[index]; }
  void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}
  void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index) override { ++begins[index]; }
  void audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index) override { ++ends[index]; }
  std::map<int, int> changes, begins, ends;
};

// The test's own connection to the X server.
struct X {
  X() : d(XOpenDisplay(nullptr)) {}
  ~X() {
    if (d) XCloseDisplay(d);
  }
  // The deepest window of the editor's size under w (the plug-in's own, inside the host's), or 0.
  Window findEditor(Window w, int depth = 0, int* found = nullptr) {
    int best = -1;
    if (!found) found = &best;
    Window result = 0;
    XWindowAttributes a;
    if (XGetWindowAttributes(d, w, &a) && a.width == kEditorWidth && a.height == kEditorHeight && depth > *found) {
      *found = depth;
      result = w;
    }
    Window root, parent, *kids = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, w, &root, &parent, &kids, &n)) {
      for (unsigned int i = 0; i < n; ++i)
        if (Window inner = findEditor(kids[i], depth + 1, found)) result = inner;
      if (kids) XFree(kids);
    }
    return result;
  }
  int countWindows(Window w) {
    Window root, parent, *kids = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
    int total = 1;
    for (unsigned int i = 0; i < n; ++i) total += countWindows(kids[i]);
    if (kids) XFree(kids);
    return total;
  }
  // Presses the left button at (x, y) of w, moves up by dy and releases.
  void drag(Window w, int x, int y, int dy) {
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d, -1, rx, ry, 0);
    XTestFakeButtonEvent(d, 1, True, 0);
    for (int step = 1; step <= 4 && dy; ++step) XTestFakeMotionEvent(d, -1, rx, ry - dy * step / 4, 0);
    XTestFakeButtonEvent(d, 1, False, 0);
    XSync(d, False);
  }
  // The window's pixels as an image (and written to a PNG file if a name is given).
  juce::Image grab(Window w, const char* png = nullptr) {
    XWindowAttributes a;
    XGetWindowAttributes(d, w, &a);
    XImage* x = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    juce::Image image(juce::Image::RGB, a.width, a.height, false);
    for (int y = 0; y < a.height; ++y)
      for (int i = 0; i < a.width; ++i) {
        const unsigned long p = XGetPixel(x, i, y);
        image.setPixelAt(i, y, juce::Colour(static_cast<juce::uint8>(p >> 16), static_cast<juce::uint8>(p >> 8),
                                            static_cast<juce::uint8>(p)));
      }
    XDestroyImage(x);
    if (png) {
      juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile(png);
      file.deleteFile();
      juce::FileOutputStream out(file);
      juce::PNGImageFormat().writeImageToStream(image, out);
    }
    return image;
  }
  Display* d;
};

// Mean brightness of a box of an image.
double brightness(const juce::Image& image, int l, int t, int w, int h) {
  double sum = 0.0;
  for (int y = t; y < t + h; ++y)
    for (int x = l; x < l + w; ++x) sum += image.getPixelAt(x, y).getBrightness();
  return sum / (w * h);
}

long residentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// JUCE as a plug-in host (not a standalone application) leaves Xlib's error handler, which ends the
// process, in place; on a bare X server (no window manager, so no window-manager atoms) some of its window
// requests fail harmlessly. A host application ignores them.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

class VST3Editor : public ::testing::Test {
protected:
  void SetUp() override {
    if (!noDisplay.empty()) GTEST_SKIP() << noDisplay;
    XSetErrorHandler(ignoreXError);
    plugin = load();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(kRate, kBlock);
    window = std::make_unique<juce::DocumentWindow>("Vantorel", juce::Colours::black, 0);
    window->setVisible(true);
    ASSERT_NE(x.d, nullptr);
  }
  void TearDown() override {
    if (window) window->clearContentComponent();
    window.reset();
    if (plugin) plugin->releaseResources();
  }
  // Opens the editor in the host window; false if JUCE made none.
  bool open() {
    auto* editor = plugin->createEditorIfNeeded();
    if (!editor) return false;
    window->setContentOwned(editor, true);
    return true;
  }
  void close() { window->clearContentComponent(); }
  // The plug-in's window once the X server shows it (within a second), or 0.
  Window editorWindow() {
    for (int i = 0; i < 100; ++i) {
      XSync(x.d, False);
      if (const Window w = x.findEditor(DefaultRootWindow(x.d))) return w;
      pump(10);
    }
    return 0;
  }

  std::unique_ptr<juce::AudioPluginInstance> plugin;
  std::unique_ptr<juce::DocumentWindow> window;
  X x;
};

TEST_F(VST3Editor, ClicksAndDragsReachTheHost) {
  EditCounter edits;
  plugin->addListener(&edits);
  ASSERT_TRUE(open());
  const Window editor = editorWindow();
  ASSERT_NE(editor, 0u) << "no window of the editor's size";
  pump(300);  // drawn
  EXPECT_EQ(window->getContentComponent()->getWidth(), kEditorWidth);

  // "Delay: Sync", a kick button at (1148, 580), 64 x 60 units; "VCF: Cutoff", a knob at (521, 128), 88 high.
  const auto& params = plugin->getParameters();
  const float sync = params[52]->getValue(), cutoff = params[25]->getValue();
  const juce::Image before = x.grab(editor);
  x.drag(editor, 590, 305, 0);
  pump(200);
  EXPECT_EQ(params[52]->getValue(), 1.0f - sync);
  EXPECT_EQ(edits.begins[52], 1);
  EXPECT_EQ(edits.ends[52], 1);
  // 22 window pixels up at scale 0.5 are 44 units: an eighth of the range at gearing 4.
  x.drag(editor, 282, 86, 22);
  pump(200);
  EXPECT_NEAR(params[25]->getValue(), cutoff + 0.125f, 0.01f);
  EXPECT_EQ(edits.begins[25], 1);
  EXPECT_EQ(edits.ends[25], 1);
  EXPECT_GE(edits.changes[25], 1);

  // What the window shows: the panel (not a blank window), the button lit after the click.
  const juce::Image after = x.grab(editor, "vst3-editor.png");
  EXPECT_GT(brightness(after, 0, 0, kEditorWidth, kEditorHeight), 0.1);
  EXPECT_GT(brightness(after, 578, 294, 24, 22) - brightness(before, 578, 294, 24, 22), 0.05);
  plugin->removeListener(&edits);
  close();
  pump(50);
  EXPECT_EQ(x.findEditor(DefaultRootWindow(x.d)), 0u);
}

TEST_F(VST3Editor, OpensAndClosesTwoHundredTimesWithoutLeaks) {
  // A few rounds first: the allocator and the X connection settle.
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(open());
    pump(2);
    close();
  }
  pump(50);
  XSync(x.d, False);
  const int windows = x.countWindows(DefaultRootWindow(x.d));
  const long memory = residentKiB();
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(open());
    ASSERT_NE(editorWindow(), 0u) << "round " << i;
    close();
  }
  pump(50);
  XSync(x.d, False);
  EXPECT_EQ(x.countWindows(DefaultRootWindow(x.d)), windows);
  EXPECT_LT(residentKiB() - memory, 16 * 1024) << "resident memory grew";
}

}  // namespace
