// The base's side of the editor: the scale it opens at, redrawing after program changes and the MIDI learn
// switch at the end of a gesture.
#include <algorithm>
#include <cmath>

#include "IGraphics.h"
#include "panel_layout.h"
#include "synth.h"

using iplug::igraphics::IGraphics;

namespace {

// The graphics context of an open editor window, or nullptr.
IGraphics* openUI(const Synth& synth) {
  IGraphics* ui = synth.GetUI();
  return ui && ui->WindowIsOpen() ? ui : nullptr;
}

}  // namespace

void Synth::resizeUI(float scale) {
  if (!(scale > 0.0f)) return;
  editorScale = scale;
  if (IGraphics* ui = openUI(*this))
    ui->Resize(panel::kCanvasWidth, panel::kCanvasHeight, editorScale, true);
  else
    storeEditorSize();
}

float Synth::currentEditorScale() const {
  const IGraphics* ui = openUI(*this);
  return ui ? ui->GetDrawScale() : editorScale;
}

void Synth::storeEditorSize() {
  const float scale = std::clamp(editorScale, panel::kMinScale, panel::kMaxScale);
  SetEditorSize(static_cast<int>(std::lround(panel::kCanvasWidth * scale)),
                static_cast<int>(std::lround(panel::kCanvasHeight * scale)));
}

void Synth::OnPresetsModified() {
  if (IGraphics* ui = openUI(*this)) ui->SetAllControlsDirty();
}

void Synth::OnUIEvent(int event) {
  if (event == kLearnEndedEvent) OnMidiLearnCompleted();
}

void Synth::OnMidiLearnCompleted() {
  IGraphics* ui = openUI(*this);
  if (auto* learnSwitch = ui ? ui->GetControlWithTag(GUI::MidiLearnSwitch) : nullptr) {
    learnSwitch->SetValue(0.0);
    learnSwitch->SetDirty(false);
  }
}
