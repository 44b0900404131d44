// The instrument's editor drawn offscreen from the real panel images: every control where the layout puts
// it at each scale, the read-outs, kick buttons, knob drags, the tweak panel, the idle handler's lamps and
// octave buttons, the MIDI learn switch, the corner resizer and the scale of the next opening.
#include <cairo.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>

#include "editor_util.h"

using namespace iplug::igraphics;

namespace {

using namespace edtest;

struct Colour {
  double r, g, b, a;
};

// Reads an ARGB32 image file; the mean colour of a box of it (unpremultiplied channels 0 ... 255).
struct Image {
  explicit Image(const std::string& path) : s(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Image() { cairo_surface_destroy(s); }
  int width() const { return cairo_image_surface_get_width(s); }
  Colour mean(double l, double t, double r, double b) const {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    Colour c{0, 0, 0, 0};
    int n = 0;
    for (int y = static_cast<int>(t); y < static_cast<int>(std::ceil(b)); ++y)
      for (int x = static_cast<int>(l); x < static_cast<int>(std::ceil(r)); ++x, ++n) {
        const uint32_t p = *reinterpret_cast<const uint32_t*>(data + y * stride + 4 * x);
        const double a = (p >> 24) / 255.0;
        c.a += a * 255.0;
        if (a > 0.0) {
          c.r += ((p >> 16) & 255) / a;
          c.g += ((p >> 8) & 255) / a;
          c.b += (p & 255) / a;
        }
      }
    return {c.r / n, c.g / n, c.b / n, c.a / n};
  }
  cairo_surface_t* s;
};

bool near(const Colour& a, const Colour& b, double tolerance) {
  return std::fabs(a.r - b.r) <= tolerance && std::fabs(a.g - b.g) <= tolerance && std::fabs(a.b - b.b) <= tolerance;
}

// The middle third of a rectangle.
IRECT middle(const IRECT& r) { return IRECT(r.L + r.W() / 3, r.T + r.H() / 3, r.R - r.W() / 3, r.B - r.H() / 3); }

// The editor open offscreen, its panel rows and renders of it.
class Editor : public EditorTest {
protected:
  void reopen() {
    plug->CloseWindow();
    open();
  }
  IControl* row(int n) const { return g->GetControl(kFirstRow + n - 1); }
  std::string render(float scale, const std::string& name) {
    const std::string path = (std::filesystem::path(getenv("HOME")) / name).string();
    EXPECT_TRUE(RenderToPNG(*g, scale, path.c_str()));
    return path;
  }

  // The background, the size menu's area, the program display, the two program buttons, the option menu,
  // the version label and the learn switch come before the panel rows.
  static constexpr int kFirstRow = 8;
};

TEST_F(Editor, PanelHasEveryControlWhereTheLayoutPutsItAtEveryScale) {
  ASSERT_EQ(g->NControls(), kFirstRow + panel::kNumRows);
  EXPECT_EQ(g->WindowWidth(), 1125);  // the default scale 0.5
  // Tags: the octave buttons, the learn switch, the lamps and the tweak cover; no other control has one.
  std::set<int> tags;
  g->ForAllControls([&](IControl& c) {
    if (c.GetTag() != kNoTag) tags.insert(c.GetTag());
  });
  EXPECT_EQ(tags, (std::set<int>{13, 15, GUI::MidiLearnSwitch, GUI::BeatLed, GUI::LfoLed, GUI::TweakCover}));
  EXPECT_EQ(g->GetControlWithTag(13), row(16));
  EXPECT_EQ(g->GetControlWithTag(GUI::TweakCover), row(69));

  // Each row at its point with the size of one frame of its bitmap (sliders also cover their read-out);
  // every parameter shown by exactly one control.
  std::map<int, int> shown;
  for (const panel::Row& r : panel::kRows) {
    SCOPED_TRACE(r.row);
    IControl* c = row(r.row);
    const IBitmap bitmap = g->LoadBitmap(r.bitmap);
    int frames = 1;
    for (const auto& b : panel::kBitmaps)
      if (std::string(b.name) == r.bitmap) frames = b.frames;
    const float fh = static_cast<float>(bitmap.H() / frames);
    IRECT expected(r.x, r.y, r.x + bitmap.W(), r.y + fh);
    if (r.kind == panel::Kind::Slider) expected = IRECT(r.x, r.y - fh, r.x + r.length, r.y + fh);
    if (r.height > 0) expected = IRECT(r.x, r.y, r.x + r.length, r.y + r.height);
    EXPECT_EQ(c->GetRECT(), expected);
    EXPECT_EQ(c->GetTag(), r.tag);
    for (int p = 0; p < plug->NParams(); ++p)
      if (c->GetParamIdx() == p || c->ShowsParam(p)) ++shown[p];
  }
  EXPECT_EQ(shown.size(), 66u);
  for (const auto& [p, n] : shown) EXPECT_EQ(n, 1) << "parameter " << p;

  // Drawn at 1.0 the panel is its images: the cutoff knob shows the frame of its value, the lamp and the
  // cover their only frame; at the other scales the same controls look the same where the scale puts them.
  IControl* cutoff = row(29);
  const int frame = 1 + static_cast<int>(cutoff->GetValue() * 64 + 0.5);
  const Image reference(render(1.0f, "panel-1.png"));
  const Image knob(std::string(VANTOREL_RESOURCES) + "knob.png");
  const IRECT k = middle(cutoff->GetRECT());
  const Colour fromFile = knob.mean(k.L - cutoff->GetRECT().L, k.T - cutoff->GetRECT().T + 88 * (frame - 1),
                                    k.R - cutoff->GetRECT().L, k.B - cutoff->GetRECT().T + 88 * (frame - 1));
  EXPECT_TRUE(near(reference.mean(k.L, k.T, k.R, k.B), fromFile, 2.0));
  const Image cover(std::string(VANTOREL_RESOURCES) + "tweak.png");
  const IRECT c = middle(row(69)->GetRECT());
  EXPECT_TRUE(near(reference.mean(c.L, c.T, c.R, c.B), cover.mean(c.L - 64, c.T - 710, c.R - 64, c.B - 710), 2.0));

  const int samples[] = {1, 4, 16, 20, 23, 25, 29, 51, 58, 69};
  for (float scale : {0.25f, 0.5f, 2.0f}) {
    SCOPED_TRACE(scale);
    const Image image(render(scale, "panel.png"));
    ASSERT_EQ(image.width(), static_cast<int>(std::lround(2250 * scale)));
    for (int n : samples) {
      SCOPED_TRACE(n);
      const IRECT area = n == 4 ? IRECT(196, 313, 306, 333) : middle(row(n)->GetRECT());  // a slider: its track
      const IRECT at = area.GetScaled(scale);
      EXPECT_TRUE(near(image.mean(at.L, at.T, at.R, at.B), reference.mean(area.L, area.T, area.R, area.B), 12.0));
    }
  }
}

TEST_F(Editor, ControlsEditParametersAsTheHostSeesThem) {
  // Hovering a continuous knob shows its value in green on a dark backdrop; a selector knob shows nothing.
  auto readoutGreen = [&](IControl* c) {
    const Image image(render(1.0f, "hover.png"));
    const IRECT m = middle(c->GetRECT());
    const Colour mean = image.mean(m.L, m.T, m.R, m.B);
    return mean.g - mean.r;
  };
  IControl* cutoff = row(29);
  const double before = readoutGreen(cutoff);
  g->OnMouseOver(cutoff->GetRECT().MW(), cutoff->GetRECT().MH(), IMouseMod());
  EXPECT_GT(readoutGreen(cutoff) - before, 10.0);
  IControl* routing = row(35);
  const double selector = readoutGreen(routing);
  g->OnMouseOver(routing->GetRECT().MW(), routing->GetRECT().MH(), IMouseMod());
  EXPECT_FALSE(cutoff->GetMouseIsOver());
  EXPECT_NEAR(readoutGreen(routing), selector, 1.0);

  // A kick button flips its parameter when released, in one edit gesture for the host.
  IControl* sync = row(56);  // "Delay: Sync"
  const double off = plug->GetParam(52)->Value();
  const IRECT& s = sync->GetRECT();
  g->OnMouseDown(s.MW(), s.MH(), kLeft);
  EXPECT_EQ(plug->GetParam(52)->Value(), off);
  g->OnMouseUp(s.MW(), s.MH(), kLeft);
  EXPECT_EQ(plug->GetParam(52)->Value(), 1.0 - off);
  ASSERT_EQ(host.edits.size(), 3u);
  EXPECT_EQ(host.edits[0].kind, 'b');
  EXPECT_EQ(host.edits[1].kind, 'p');
  EXPECT_EQ(host.edits[1].value, 1.0 - off);
  EXPECT_EQ(host.edits[2].kind, 'e');
  EXPECT_EQ(host.edits[2].id, 52u);
  // The host moving it back redraws it.
  plug->setParamNormalized(52, off);
  EXPECT_TRUE(sync->IsDirty());

  // Dragging a knob up by its height times its gearing (4) covers the whole range; a quarter of that, a
  // quarter of it. The host hears one gesture of edits, and moving the parameter moves the knob back.
  host.edits.clear();
  const double start = cutoff->GetValue();
  const IRECT& r = cutoff->GetRECT();
  g->OnMouseDown(r.MW(), r.MH(), kLeft);
  g->OnMouseDrag(r.MW(), r.MH() - r.H(), 0.0f, -r.H(), kLeft);
  g->OnMouseUp(r.MW(), r.MH() - r.H(), kLeft);
  EXPECT_NEAR(plug->GetParam(25)->GetNormalized(), start + 0.25, 1e-9);
  EXPECT_EQ(host.edits.front().kind, 'b');
  EXPECT_EQ(host.edits.back().kind, 'e');
  EXPECT_NEAR(host.edits[1].value, start + 0.25, 1e-9);
  plug->setParamNormalized(25, start);
  EXPECT_DOUBLE_EQ(cutoff->GetValue(), start);

  // The tweak panel opens covered: clicks on a tweak knob reach the cover. The toggle uncovers it, and
  // only then do they reach the knob; a second click covers it again.
  IControl* tune = row(59);
  IControl* coverControl = row(69);
  const IRECT& t = tune->GetRECT();
  EXPECT_EQ(g->GetMouseControl(t.MW(), t.MH()), coverControl);
  click(row(70));
  EXPECT_TRUE(coverControl->IsHidden());
  EXPECT_TRUE(plug->tweaksShown);
  EXPECT_EQ(g->GetMouseControl(t.MW(), t.MH()), tune);
  click(row(70));
  EXPECT_FALSE(coverControl->IsHidden());
  EXPECT_EQ(g->GetMouseControl(t.MW(), t.MH()), coverControl);
  click(row(70));
  reopen();  // every opening starts covered
  EXPECT_FALSE(plug->tweaksShown);
  EXPECT_FALSE(row(69)->IsHidden());

  // The program buttons step through the bank, wrapping round.
  g->OnMouseDown(1410, 592, kLeft);
  g->OnMouseUp(1410, 592, kLeft);
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 63);
  g->OnMouseDown(1510, 592, kLeft);
  g->OnMouseUp(1510, 592, kLeft);
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 0);
}

TEST_F(Editor, IdleLampsLearnSwitchAndScale) {
  // The lamps and octave buttons follow what the audio thread published at its last control tick.
  auto idle = [&](unsigned lamps) {
    plug->lampState = lamps;
    plug->OnTimer();
  };
  IControl* beat = g->GetControlWithTag(GUI::BeatLed);
  IControl* lfo = g->GetControlWithTag(GUI::LfoLed);
  auto* octave1 = dynamic_cast<IKSButtonKick*>(g->GetControlWithTag(13));
  auto* octave2 = dynamic_cast<IKSButtonKick*>(g->GetControlWithTag(15));
  ASSERT_TRUE(octave1 && octave2);
  idle(Vantorel::kOsc1High | Vantorel::kOsc2High);  // a rise of bank 1 with bank 2 high: dark
  EXPECT_TRUE(beat->IsHidden());
  EXPECT_TRUE(lfo->IsHidden());
  idle(Vantorel::kOsc2High);  // a fall changes nothing
  idle(0);
  EXPECT_TRUE(beat->IsHidden());
  idle(Vantorel::kOsc1High | Vantorel::kLfoHigh);  // a rise with bank 2 low: lit
  EXPECT_FALSE(beat->IsHidden());
  EXPECT_FALSE(lfo->IsHidden());
  // With "Osc.: Octave Mod." on the octave buttons show the LFO square, whatever their parameters.
  EXPECT_FALSE(octave1->isShownOn());
  plug->SendParameterValueFromUI(17, 1.0);
  idle(Vantorel::kLfoHigh);
  EXPECT_TRUE(octave1->isShownOn() && octave2->isShownOn());
  idle(0);
  EXPECT_FALSE(octave1->isShownOn());
  plug->SendParameterValueFromUI(15, 1.0);
  plug->SendParameterValueFromUI(17, 0.0);
  idle(Vantorel::kLfoHigh);
  EXPECT_FALSE(octave1->isShownOn());
  EXPECT_TRUE(octave2->isShownOn());
  // The audio thread publishes at each control tick: the LFO lamp follows the LFO's square, both ways.
  plug->ResetProcessing(48000.0, 48);
  plug.set(35, plug->GetParam(35)->GetMax());
  std::set<bool> seen;
  for (int tick = 0; tick < 400; ++tick) {
    {
      iplug::IPlugAPIBase::ProcessScope scope(*plug);
      plug.block(48);
    }
    const bool high = plug->lfo.getSqr() > 0.0;
    ASSERT_EQ((plug->lampState.load() & Vantorel::kLfoHigh) != 0, high);
    plug->OnTimer();
    ASSERT_EQ(lfo->IsHidden(), !high);
    seen.insert(high);
  }
  EXPECT_EQ(seen.size(), 2u);

  // The learn switch: a left click starts a learn gesture; one completed on the audio thread turns the
  // switch off at the next UI timer. A right click while it is off swaps learn and unlearn mode.
  IControl* learn = g->GetControlWithTag(GUI::MidiLearnSwitch);
  click(learn);
  EXPECT_EQ(learn->GetValue(), 1.0);
  EXPECT_TRUE(plug->midiLearnActive);
  click(learn, kRight);
  EXPECT_STREQ(static_cast<IBitmapBase*>(static_cast<IKSSwitchMidiLearn*>(learn))->GetBitmap().GetResourceName(),
               "learn.png");
  plug->SendParameterValueFromUI(25, 0.5);
  {
    iplug::IPlugAPIBase::ProcessScope scope(*plug);
    plug->setMidiLearnCC(20);
  }
  EXPECT_EQ(plug->midiLearnTable[20], 25);
  EXPECT_EQ(learn->GetValue(), 1.0);
  plug->OnTimer();
  EXPECT_EQ(learn->GetValue(), 0.0);
  click(learn, kRight);
  EXPECT_STREQ(static_cast<IKSSwitchMidiLearn*>(learn)->GetBitmap().GetResourceName(), "unlearn.png");
  click(learn);
  EXPECT_TRUE(plug->midiUnlearnMode);

  // Dragging the corner changes the open editor's scale (within 0.25 ... 2), not editorScale: the next
  // opening is back at editorScale, and so is the size the host is told.
  IControl* corner = g->GetCornerResizer();
  const IRECT grip = corner->GetRECT();
  g->OnMouseDown(grip.MW(), grip.MH(), kLeft);
  g->OnMouseDrag(1800, 640, -(grip.MW() - 1800), -(grip.MH() - 640), kLeft);
  g->OnMouseUp(1800, 640, kLeft);
  EXPECT_NEAR(g->GetDrawScale(), 0.4f, 1e-6);
  EXPECT_NEAR(plug->currentEditorScale(), 0.4f, 1e-6);
  EXPECT_EQ(plug->editorScale, 0.5f);
  plug->resizeUI(GUI::Size200);
  EXPECT_EQ(g->WindowWidth(), static_cast<int>(std::lround(2250 * 0.70710677f)));
  plug->resizeUI(static_cast<GUI::GUISize>(6));
  EXPECT_EQ(plug->editorScale, 0.70710677f);
  g->OnMouseDown(g->GetCornerResizer()->GetRECT().MW(), g->GetCornerResizer()->GetRECT().MH(), kLeft);
  g->OnMouseDrag(3 * 2250, 3 * 800, 4500, 1600, kLeft);  // far beyond the largest size
  g->OnMouseUp(3 * 2250, 3 * 800, kLeft);
  EXPECT_EQ(g->GetDrawScale(), 2.0f);
  plug->CloseWindow();
  EXPECT_EQ(plug->GetEditorWidth(), static_cast<int>(std::lround(2250 * 0.70710677f)));
  open();
  EXPECT_EQ(g->GetDrawScale(), 0.70710677f);
  // A stored scale beyond the limits opens at the nearest limit.
  plug->resizeUI(3.0f);
  EXPECT_EQ(g->GetDrawScale(), 2.0f);
}

}  // namespace
