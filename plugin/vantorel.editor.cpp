// The editor: the panel's layout, the idle handling of the lamps and octave buttons, the tweak panel, the
// window sizes, and the switch and corner-resizer controls.
#include <cstring>
#include <iterator>

#include "IGraphics.h"
#include "vantorel.controls.h"
#include "vantorel.h"

using iplug::igraphics::EAlign;
using iplug::igraphics::EUIResizerMode;
using iplug::igraphics::EVAlign;
using iplug::igraphics::IBitmapControl;
using iplug::igraphics::IControl;
using iplug::igraphics::ITextControl;
using namespace iks;

namespace {

// The graphics context is made at this size and scale; the layout shows the canvas at editorScale.
constexpr int kInitialWidth = 1125, kInitialHeight = 400;
constexpr int kFramesPerSecond = 60;
constexpr const char* kBundleResources = "Vantorel.vst3/Contents/Resources/";
// The scale of each GUI::GUISize (the fourth is the square root of one half).
constexpr float kSizeScales[] = {0.25f, 0.375f, 0.5f, 0.70710677f, 1.0f, 2.0f};
constexpr int kOctaveModParam = 17;
// The octave buttons, tagged with their parameters.
constexpr int kOctaveButtonTags[] = {13, 15};

IRECT toRECT(const panel::Rect& r) {
  return IRECT(static_cast<float>(r.l), static_cast<float>(r.t), static_cast<float>(r.r), static_cast<float>(r.b));
}

// A panel bitmap with its frame count.
IBitmap panelBitmap(IGraphics* g, const char* name) {
  for (const panel::BitmapFile& file : panel::kBitmaps)
    if (std::strcmp(file.name, name) == 0) return g->LoadBitmap(name, file.frames);
  return g->LoadBitmap(name);
}

IControl* makeControl(IGraphics* g, const panel::Row& row) {
  const IBitmap bitmap = panelBitmap(g, row.bitmap);
  const float x = static_cast<float>(row.x), y = static_cast<float>(row.y);
  switch (row.kind) {
    case panel::Kind::Knob:
      return new IKSKnobControl(x, y, bitmap, row.param, row.gearing);
    case panel::Kind::Slider:
      return new IKSSliderControl(x, y, static_cast<float>(row.length), bitmap, row.param);
    case panel::Kind::Button:
      return new IKSButtonKick(x, y, row.param, bitmap, panelBitmap(g, row.bitmapOn));
    case panel::Kind::Switch:
      if (row.height > 0)
        return new IKSSwitchControl(IRECT(x, y, x + row.length, y + row.height), bitmap, row.param);
      return new IKSSwitchControl(x, y, bitmap, row.param);
    case panel::Kind::Lamp:
      return new IBitmapControl(x, y, bitmap, row.param);
  }
  return nullptr;
}

}  // namespace

// --- life cycle ---

void Vantorel::createGraphics() {
  if (!pluginPath.Empty()) {
    WDL_String resources;
    resources.SetFormatted(0, "%s%s", pluginPath.Get(), kBundleResources);
    SetResourcePath(resources.Get());
  }
  mMakeGraphicsFunc = [this] {
    return iplug::igraphics::MakeGraphics(*this, kInitialWidth, kInitialHeight, kFramesPerSecond, 1.0f);
  };
  mLayoutFunc = [this](IGraphics* g) { layoutPanel(g); };
  storeEditorSize();
}

void Vantorel::layoutPanel(IGraphics* g) {
  for (const panel::BitmapFile& file : panel::kBitmaps) g->LoadBitmap(file.name, file.frames);
  g->LoadFont(panel::kFontName, panel::kFontName);
  g->EnableTooltips(false);
  g->EnableMouseOver(true);
  g->EnableMultiTouch(g->PlatformSupportsMultiTouch());
  g->AttachControl(new IBitmapControl(0.0f, 0.0f, panelBitmap(g, "back.jpg")));
  // Above the background and below everything else: it takes the clicks on bare panel.
  g->AttachControl(new IKSSizeContextControl(IRECT(0.0f, 0.0f, panel::kCanvasWidth, panel::kCanvasHeight),
                                             -GUI::SizeMenu));

  g->SetScaleConstraints(panel::kMinScale, panel::kMaxScale);
  g->Resize(panel::kCanvasWidth, panel::kCanvasHeight, editorScale, true);
  g->AttachCornerResizer(new IKSCornerResizer(g->GetBounds(), panel::kCornerSize), EUIResizerMode::Scale, false);

  g->AttachControl(new IKSPresetMenu(toRECT(panel::kPresetNumber), toRECT(panel::kPresetName)));
  g->AttachControl(new IKSUtilityKick(panel::kPrevProgram.x, panel::kPrevProgram.y, -GUI::PrevProgram,
                                      panelBitmap(g, "prev.png")));
  g->AttachControl(new IKSUtilityKick(panel::kNextProgram.x, panel::kNextProgram.y, -GUI::NextProgram,
                                      panelBitmap(g, "next.png")));
  g->AttachControl(new IKSOptionMenu(toRECT(panel::kOptionMenu)));
  const IText version(24.0f, IColor(192, 255, 255, 255), panel::kFontName, EAlign::Far, EVAlign::Middle);
  g->AttachControl(new ITextControl(toRECT(panel::kVersionLabel), panel::kVersionText, version));

  // A learn gesture left pending from an earlier window is dropped.
  midiLearnActive = false;
  midiUnlearnMode = false;
  g->AttachControl(new IKSSwitchMidiLearn(panel::kMidiLearn.x, panel::kMidiLearn.y, panelBitmap(g, "learn.png")),
                   GUI::MidiLearnSwitch);

  tweaksShown = false;
  for (const panel::Row& row : panel::kRows) g->AttachControl(makeControl(g, row), row.tag);
}

// --- idle handling, tweak panel, window sizes ---

void Vantorel::OnIdle() {
  IGraphics* g = GetUI();
  if (!g || !g->WindowIsOpen()) return;
  const unsigned lamps = lampState.load(std::memory_order_relaxed);

  // At each rise of the first bank's output the beat lamp shows whether the second one is low: dark while
  // the banks are in tune and in phase, flickering at the beat between them otherwise.
  if (IControl* beat = g->GetControlWithTag(GUI::BeatLed)) {
    const bool positive = (lamps & kOsc1High) != 0;
    if (positive != ledState) {
      ledState = positive;
      if (positive) beat->Hide((lamps & kOsc2High) != 0);
    }
  }
  const bool square = (lamps & kLfoHigh) != 0;
  if (IControl* lfoLamp = g->GetControlWithTag(GUI::LfoLed); lfoLamp && lfoLamp->IsHidden() == square)
    lfoLamp->Hide(!square);
  const bool octaveModOn = GetParam(kOctaveModParam)->Bool();
  for (int tag : kOctaveButtonTags)
    if (auto* button = dynamic_cast<IKSButtonKick*>(g->GetControlWithTag(tag))) button->setOn(octaveModOn, square);
}

void Vantorel::toggleTweaks() {
  IGraphics* g = GetUI();
  if (!g || !g->WindowIsOpen()) return;
  tweaksShown = !tweaksShown;
  if (IControl* cover = g->GetControlWithTag(GUI::TweakCover)) cover->Hide(tweaksShown);
}

void Vantorel::resizeUI(GUI::GUISize size) {
  const int i = static_cast<int>(size);
  resizeUI(i >= 0 && i < static_cast<int>(std::size(kSizeScales)) ? kSizeScales[i] : 0.0f);
}

// --- switch and corner resizer ---

IKSSwitchControl::IKSSwitchControl(float x, float y, const IBitmap& bitmap, int index)
    : IBSwitchControl(x, y, bitmap, index), mElement(index) {}

IKSSwitchControl::IKSSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int index)
    : IBSwitchControl(bounds, bitmap, index), mElement(index) {
  // The tweak toggle is a button: each click of a double click toggles.
  mDblAsSingleClick = mElement == -GUI::TweakToggle;
}

void IKSSwitchControl::OnInit() { mPlug = dynamic_cast<Vantorel*>(GetDelegate()); }

void IKSSwitchControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mElement != -GUI::TweakToggle) IBSwitchControl::OnMouseDown(x, y, mod);
  else if (mPlug) mPlug->toggleTweaks();
}

void IKSSwitchControl::Draw(IGraphics& g) {
  // The tweak toggle is an invisible hot spot over the picture of a button.
  if (mElement != -GUI::TweakToggle) DrawBitmap(g);
}

IKSCornerResizer::IKSCornerResizer(const IRECT& canvas, float size)
    : ICornerResizerControl(canvas, size), mGrip(mRECT.GetPadded(-32.0f, -32.0f, -8.0f, -8.0f)) {}

void IKSCornerResizer::Draw(IGraphics& g) {
  const IColor& colour = (GetMouseIsOver() || g.GetResizingInProcess()) ? mHighlight : mNormal;
  g.FillTriangle(colour, mGrip.L, mGrip.B, mGrip.R, mGrip.T, mGrip.R, mGrip.B);
}
