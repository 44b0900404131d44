// The editor layer drawn offscreen: bitmap frames at several scales, text, mouse gestures reaching the
// delegate, hidden controls, dirty-region redrawing and the scale limits with the corner resizer.
#include <gtest/gtest.h>

#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "editor_test_util.h"

using namespace edtest;

namespace {

constexpr IColor kGreen(255, 0, 255, 0);
const IMouseMod kLeft(true, false);

class OffscreenEditor : public ::testing::Test {
protected:
  void SetUp() override { dlg.SetResourcePath(res.path.c_str()); }

  // Opens an editor of w x h canvas units at scale with the given layout.
  IGraphicsOffscreen* Open(int w, int h, float scale, std::function<void(IGraphics*)> layout) {
    dlg.mMakeGraphicsFunc = [this, w, h, scale] { return new IGraphicsOffscreen(dlg, w, h, 60, scale); };
    dlg.mLayoutFunc = std::move(layout);
    EXPECT_NE(dlg.OpenWindow(nullptr), nullptr);
    return static_cast<IGraphicsOffscreen*>(dlg.GetUI());
  }

  ResourceDir res;
  LogDelegate dlg;
};

// Counts its redraws.
struct Counting : IControl {
  using IControl::IControl;
  void Draw(IGraphics& g) override {
    ++draws;
    g.FillRect(COLOR_WHITE, mRECT);
  }
  int draws = 0;
};

TEST_F(OffscreenEditor, BitmapsShowTheFrameOfTheirValueAtEveryScale) {
  IControl *knob = nullptr, *sw = nullptr, *slider = nullptr;
  IGraphicsOffscreen* g = Open(60, 40, 1.0f, [&](IGraphics* g) {
    g->AttachControl(new IBitmapControl(0, 0, g->LoadBitmap("back.jpg")));
    knob = g->AttachControl(new IBKnobControl(10, 10, g->LoadBitmap("strip.png", 4), 0));
    sw = g->AttachControl(new IBSwitchControl(30, 10, g->LoadBitmap("strip.png", 4), 1));
    slider = g->AttachControl(
        new IBSliderControl(10, 25, 40, g->LoadBitmap("handle.png"), IBitmap(), 2, EDirection::Horizontal));
  });
  EXPECT_EQ(knob->GetRECT(), IRECT(10, 10, 20, 18));
  EXPECT_EQ(slider->GetRECT(), IRECT(10, 25, 50, 33));
  // Opening sent the defaults: gain 0.25 shows frame 1 + int(0.25 * 3 + 0.5) = 2; pan 0 puts the handle's
  // 6 units in the middle of the track's 40.
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.25);
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.5);
  dlg.SendParameterValueFromDelegate(1, 3.0, false);  // "D": the last frame
  EXPECT_DOUBLE_EQ(sw->GetValue(), 1.0);

  for (float scale : {0.5f, 1.0f, 2.0f}) {
    SCOPED_TRACE(scale);
    g->Resize(60, 40, scale, true);
    g->DrawDirty();
    cairo_surface_t* image = g->GetBackBuffer();
    ASSERT_EQ(cairo_image_surface_get_width(image), static_cast<int>(60 * scale));
    auto at = [&](float x, float y) { return PixelAt(image, static_cast<int>(x * scale), static_cast<int>(y * scale)); };
    EXPECT_TRUE(Near(at(2, 2), ResourceDir::kBack, 6));  // JPEG background
    EXPECT_TRUE(Near(at(15, 14), kFrameColors[1], 2));   // knob: frame 2
    EXPECT_TRUE(Near(at(35, 14), kFrameColors[3], 2));   // switch: frame 4
    EXPECT_TRUE(Near(at(30, 29), kFrameColors[0], 2));   // slider handle at 27 ... 33
    EXPECT_TRUE(Near(at(13, 29), ResourceDir::kBack, 6));
  }

  // The whole canvas at any scale into a file.
  const std::string png = res.path + "canvas.png";
  ASSERT_TRUE(RenderToPNG(*g, 1.5f, png.c_str()));
  cairo_surface_t* file = cairo_image_surface_create_from_png(png.c_str());
  EXPECT_EQ(cairo_image_surface_get_width(file), 90);
  EXPECT_EQ(cairo_image_surface_get_height(file), 60);
  EXPECT_TRUE(Near(PixelAt(file, 22, 21), kFrameColors[1], 2));
  cairo_surface_destroy(file);

  // Missing and unreadable files give invalid bitmaps, which draw nothing.
  EXPECT_FALSE(g->LoadBitmap("missing.png").IsValid());
  std::FILE* bad = std::fopen((res.path + "bad.jpg").c_str(), "wb");
  std::fputs("not a picture", bad);
  std::fclose(bad);
  EXPECT_FALSE(g->LoadBitmap("bad.jpg").IsValid());
}

TEST_F(OffscreenEditor, TextIsDrawnInItsFontAndAlignment) {
  const char* kFont = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
  IGraphicsOffscreen* g = Open(200, 40, 1.0f, [&](IGraphics* g) {
    EXPECT_TRUE(g->LoadFont("Roboto", kFont));
    EXPECT_FALSE(g->LoadFont("Other", "missing.ttf"));
    g->AttachControl(new ITextControl(IRECT(0, 0, 200, 20), "Wide", IText(16, kGreen, "Roboto", EAlign::Near)));
    g->AttachControl(new ITextControl(IRECT(0, 20, 200, 40), "Wide", IText(16, kGreen, "Roboto", EAlign::Far)));
  });
  g->DrawDirty();
  // The columns and rows holding ink of each line.
  auto ink = [&](int top) {
    IRECT box(1e9f, 1e9f, -1.0f, -1.0f);
    for (int y = top; y < top + 20; ++y)
      for (int x = 0; x < 200; ++x)
        if (PixelAt(g->GetBackBuffer(), x, y).g > 128) box = IRECT(std::min(box.L, float(x)), std::min(box.T, float(y)),
                                                                    std::max(box.R, float(x)), std::max(box.B, float(y)));
    return box;
  };
  const IRECT nearInk = ink(0), farInk = ink(20);
  EXPECT_LE(nearInk.L, 3.0f);
  EXPECT_LT(nearInk.R, 60.0f);
  EXPECT_GE(farInk.R, 195.0f);
  EXPECT_GT(farInk.L, 140.0f);
  // Vertically centred: about as much room above the capitals as below the baseline.
  EXPECT_NEAR(nearInk.T - 0.0f, 19.0f - nearInk.B, 3.0f);
}

TEST_F(OffscreenEditor, KnobGesturesReachTheDelegateOnceEach) {
  IControl* knob = nullptr;
  IGraphicsOffscreen* g = Open(60, 40, 1.0f, [&](IGraphics* g) {
    knob = g->AttachControl(new IBKnobControl(10, 10, g->LoadBitmap("strip.png", 4), 0, EDirection::Vertical, 4.0));
  });
  dlg.log.clear();
  // 8 units up on a knob 8 units high with gearing 4: a quarter of the range.
  g->OnMouseDown(15, 14, kLeft);
  g->OnMouseDrag(15, 6, 0, -8, kLeft);
  g->OnMouseUp(15, 6, kLeft);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "perform 0 0.500000", "end 0"}));
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);

  // Shift: ten times finer; no movement sends nothing.
  dlg.log.clear();
  g->OnMouseDown(15, 14, kLeft);
  g->OnMouseDrag(15, 14, 0, 0, kLeft);
  g->OnMouseDrag(15, 6, 0, -8, IMouseMod(true, false, true));
  g->OnMouseUp(15, 6, kLeft);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "perform 0 0.525000", "end 0"}));

  dlg.log.clear();
  g->OnMouseDblClick(15, 14, kLeft);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "perform 0 0.250000", "end 0"}));
  EXPECT_DOUBLE_EQ(dlg.GetParam(0)->Value(), 0.25);

  dlg.log.clear();
  g->OnMouseWheel(15, 14, IMouseMod(), -1.0f);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "perform 0 0.240000", "end 0"}));
}

TEST_F(OffscreenEditor, SliderSwitchAndButtonFollowTheMouse) {
  IControl *slider = nullptr, *sw = nullptr;
  IBButtonControl* button = nullptr;
  IGraphicsOffscreen* g = Open(60, 40, 1.0f, [&](IGraphics* g) {
    slider = g->AttachControl(
        new IBSliderControl(10, 25, 40, g->LoadBitmap("handle.png"), IBitmap(), 2, EDirection::Horizontal, 1.0));
    sw = g->AttachControl(new IBSwitchControl(30, 10, g->LoadBitmap("strip.png", 4), 1));
    button = static_cast<IBButtonControl*>(g->AttachControl(new IBButtonControl(45, 0, g->LoadBitmap("strip.png", 2))));
  });
  // A button shows frame 2 while pressed and edits no parameter.
  g->OnMouseDown(50, 4, kLeft);
  EXPECT_EQ(button->GetFrame(), 2);
  g->OnMouseUp(50, 4, kLeft);
  EXPECT_EQ(button->GetFrame(), 1);
  EXPECT_TRUE(dlg.log.empty());

  // The handle's centre goes to the pointer: travel 34 from x = 13.
  g->OnMouseDown(13 + 34 * 0.75f, 29, kLeft);
  EXPECT_NEAR(slider->GetValue(), 0.75, 1e-6);
  g->OnMouseDrag(13 + 34 * 0.25f, 29, -17, 0, kLeft);
  g->OnMouseUp(13 + 34 * 0.25f, 29, kLeft);
  EXPECT_NEAR(dlg.GetParam(2)->Value(), -0.5, 1e-4);

  // Four frames: 1/3, 2/3, 1, then back to 0; each click one gesture.
  std::vector<int> modes;
  dlg.log.clear();
  for (int i = 0; i < 4; ++i) {
    g->OnMouseDown(35, 14, kLeft);
    g->OnMouseUp(35, 14, kLeft);
    modes.push_back(dlg.GetParam(1)->Int());
  }
  EXPECT_EQ(modes, (std::vector<int>{1, 2, 3, 0}));
  EXPECT_EQ(dlg.log.size(), 12u);
  EXPECT_EQ(dlg.log.front(), "begin 1");
  EXPECT_EQ(dlg.log.back(), "end 1");
}

TEST_F(OffscreenEditor, HiddenControlsTakeNoMouseAndMouseOverNeedsEnabling) {
  IControl *knob = nullptr, *cover = nullptr;
  IGraphicsOffscreen* g = Open(60, 40, 1.0f, [&](IGraphics* g) {
    knob = g->AttachControl(new IBKnobControl(10, 10, g->LoadBitmap("strip.png", 4), 0));
    cover = g->AttachControl(new IBitmapControl(IRECT(0, 0, 30, 30), g->LoadBitmap("handle.png")), 74);
  });
  EXPECT_EQ(g->GetControlWithTag(74), cover);
  dlg.log.clear();
  g->OnMouseDown(15, 14, kLeft);
  EXPECT_EQ(g->GetCapturedControl(), cover);
  g->OnMouseUp(15, 14, kLeft);
  EXPECT_TRUE(dlg.log.empty());  // the cover edits nothing

  cover->Hide(true);
  g->OnMouseDown(15, 14, kLeft);
  EXPECT_EQ(g->GetCapturedControl(), knob);
  g->OnMouseUp(15, 14, kLeft);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"begin 0", "end 0"}));

  EXPECT_FALSE(g->OnMouseOver(15, 14, IMouseMod()));
  EXPECT_FALSE(knob->GetMouseIsOver());
  g->EnableMouseOver(true);
  EXPECT_TRUE(g->OnMouseOver(15, 14, IMouseMod()));
  EXPECT_TRUE(knob->GetMouseIsOver());
  g->OnMouseOver(50, 35, IMouseMod());
  EXPECT_FALSE(knob->GetMouseIsOver());
}

TEST_F(OffscreenEditor, OnlyDirtyRegionsAreRedrawn) {
  Counting *back = nullptr, *a = nullptr, *b = nullptr, *c = nullptr;
  IGraphicsOffscreen* g = Open(60, 40, 1.0f, [&](IGraphics* g) {
    back = static_cast<Counting*>(g->AttachControl(new Counting(IRECT(0, 0, 60, 40))));
    a = static_cast<Counting*>(g->AttachControl(new Counting(IRECT(5, 5, 15, 15), 0)));
    b = static_cast<Counting*>(g->AttachControl(new Counting(IRECT(40, 5, 50, 15))));
    c = static_cast<Counting*>(g->AttachControl(new Counting(IRECT(5, 25, 15, 35))));
  });
  auto draws = [&] {
    std::vector<int> d{back->draws, a->draws, b->draws, c->draws};
    back->draws = a->draws = b->draws = c->draws = 0;
    return d;
  };
  g->DrawDirty();
  EXPECT_EQ(draws(), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_TRUE(g->DrawDirty().Empty());
  EXPECT_EQ(draws(), (std::vector<int>{0, 0, 0, 0}));

  b->SetDirty(false);
  const IRECT redrawn = g->DrawDirty();
  EXPECT_EQ(draws(), (std::vector<int>{1, 0, 1, 0}));
  EXPECT_TRUE(redrawn.Intersect(b->GetRECT()) == b->GetRECT());
  EXPECT_LE(redrawn.W(), 12.0f);

  c->Hide(true);  // what lay beneath is drawn again, the control not
  g->DrawDirty();
  EXPECT_EQ(draws(), (std::vector<int>{1, 0, 0, 0}));

  dlg.SendParameterValueFromDelegate(0, 0.9, true);
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.9);
  g->DrawDirty();
  EXPECT_EQ(draws(), (std::vector<int>{1, 1, 0, 0}));

  g->Resize(60, 40, 2.0f, true);
  g->DrawDirty();
  EXPECT_EQ(draws(), (std::vector<int>{1, 1, 1, 0}));
}

TEST_F(OffscreenEditor, ScaleLimitsAndTheCornerResizer) {
  std::vector<std::pair<int, int>> hostSizes;
  dlg.mEditorResizeFunc = [&](int w, int h) { hostSizes.emplace_back(w, h); };
  ICornerResizerControl* corner = nullptr;
  IGraphicsOffscreen* g = Open(200, 100, 1.0f, [&](IGraphics* g) {
    g->SetScaleConstraints(0.25f, 2.0f);
    g->Resize(200, 100, 3.0f, true);
    corner = new ICornerResizerControl(g->GetBounds(), 32);
    g->AttachCornerResizer(corner, EUIResizerMode::Scale, false);
  });
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 2.0f);
  EXPECT_EQ(hostSizes, (std::vector<std::pair<int, int>>{{400, 200}}));
  EXPECT_EQ(dlg.GetEditorWidth(), 400);
  // 32 window pixels in the canvas corner.
  EXPECT_EQ(corner->GetRECT(), IRECT(184, 84, 200, 100));

  g->Resize(200, 100, 0.1f, true);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 0.25f);
  EXPECT_EQ(g->WindowWidth(), 50);
  g->Resize(200, 100, 0.5f, true);
  EXPECT_EQ(corner->GetRECT(), IRECT(136, 36, 200, 100));

  // Dragging the grip: the pointer's window position becomes the window's corner.
  g->OnMouseDown(190, 95, kLeft);
  EXPECT_TRUE(g->GetResizingInProcess());
  g->OnMouseDrag(300, 100, 110, 5, kLeft);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 0.75f);
  EXPECT_EQ(hostSizes.back(), (std::pair<int, int>{150, 75}));
  g->OnMouseUp(300, 100, kLeft);
  EXPECT_FALSE(g->GetResizingInProcess());
  g->OnMouseDblClick(195, 98, kLeft);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.0f);
  EXPECT_EQ(hostSizes.back(), (std::pair<int, int>{200, 100}));
}

}  // namespace
