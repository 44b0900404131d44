// Built with ThreadSanitizer: one thread renders blocks through process() (notes, automation, program
// changes by parameter and by MIDI, a controller that learns and drives parameters) while another drives
// the plug-in the way a host's UI thread and the editor do (parameters, gestures, program changes, state
// saved and restored, MIDI learn and unlearn, the configuration saved and loaded, the UI timer) with the
// editor open offscreen (clicks, drags and hovering on its controls, its idle handler, its redraws). Any
// data race makes the sanitizer fail the run.
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../vst3/host_doubles.h"
#include "IGraphicsOffscreen.h"
#include "vantorel.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kBlock = 64;  // short blocks: many hand-overs between the threads
constexpr auto kDuration = std::chrono::milliseconds(2000);

void audioThread(Vantorel& plug, const std::atomic<bool>& stop, long& blocks) {
  ParamID programChangeId = 0;  // MIDI program changes arrive as a mapped controller
  plug.getMidiControllerAssignment(0, 0, kCtrlProgramChange, programChangeId);
  ParamID controllerId = 0;
  plug.getMidiControllerAssignment(0, 0, 20, controllerId);
  std::vector<double> l(kBlock), r(kBlock);
  double* ch[2] = {l.data(), r.data()};
  std::mt19937 rng(1);
  while (!stop.load()) {
    testhost::ParamChanges in, out;
    testhost::EventList events, outEvents;
    const int16 key = static_cast<int16>(60 + blocks % 4);  // few keys: cheap blocks, many of them
    events.noteOn(static_cast<int32>(rng() % kBlock), 0, key, 0.8f);
    events.noteOff(static_cast<int32>(rng() % kBlock), 0, static_cast<int16>(60 + (blocks + 2) % 4), 0.0f);
    if (blocks % 7 == 0) in.add(static_cast<ParamID>(rng() % 66), 0, (rng() % 101) / 100.0);
    if (blocks % 97 == 0) in.add(iplug::IPlugVST3::kPresetParam, 0, (rng() % 64) / 63.0);
    if (blocks % 89 == 0) in.add(programChangeId, 5, (rng() % 64) / 127.0);
    if (blocks % 5 == 0) in.add(controllerId, 3, (rng() % 128) / 127.0);
    AudioBusBuffers bus{};
    bus.numChannels = 2;
    bus.channelBuffers64 = ch;
    ProcessData data = testhost::BlockData(kBlock, kSample64, bus, &in, &out, &events, &outEvents);
    plug.process(data);
    ++blocks;
  }
}

// Presses, drags and releases a random control of the panel (the learn switch aside: its gesture state
// is not shared with the audio thread in a safe way yet), hovering over it first.
void useControl(iplug::igraphics::IGraphics& g, std::mt19937& rng) {
  using namespace iplug::igraphics;
  IControl* c = g.GetControl(static_cast<int>(rng() % g.NControls()));
  if (c->GetTag() == GUI::MidiLearnSwitch) return;
  const IRECT& r = c->GetRECT();
  const IMouseMod left(true, false);
  g.OnMouseOver(r.MW(), r.MH(), IMouseMod());
  g.OnMouseDown(r.MW(), r.MH(), left);
  g.OnMouseDrag(r.MW(), r.MH() - 5.0f, 0.0f, -5.0f, left);
  g.OnMouseUp(r.MW(), r.MH() - 5.0f, left);
}

void uiThread(Vantorel& plug, const std::atomic<bool>& stop, long& rounds) {
  std::mt19937 rng(2);
  plug.SetResourcePath(VANTOREL_RESOURCES);
  plug.mMakeGraphicsFunc = [&plug] { return new iplug::igraphics::IGraphicsOffscreen(plug, 1125, 400, 0, 1.0f); };
  plug.OpenWindow(nullptr);
  while (!stop.load()) {
    for (int i = 0; i < 20; ++i) plug.setParamNormalized(static_cast<ParamID>(rng() % 66), (rng() % 101) / 100.0);
    plug.setParamNormalized(iplug::IPlugVST3::kPresetParam, (rng() % 64) / 63.0);
    plug.setParamNormalized(iplug::IPlugVST3::kBypassParam, rounds % 5 == 0 ? 1.0 : 0.0);
    testhost::MemoryStream state;
    plug.getState(&state);
    state.rewind();
    plug.setState(&state);
    for (ParamID id = 0; id < 66; ++id) plug.getParamNormalized(id);
    // The editor: a gesture, a program change from the menu, the idle timer.
    const int idx = static_cast<int>(rng() % 66);
    plug.BeginInformHostOfParamChangeFromUI(idx);
    plug.SendParameterValueFromUI(idx, (rng() % 101) / 100.0);
    plug.EndInformHostOfParamChangeFromUI(idx);
    if (rounds % 3 == 0) plug.changePreset(static_cast<int>(rng() % 64));
    if (rounds % 7 == 0) plug.pastePreset();
    if (rounds % 11 == 0) plug.copyPreset();
    if (rounds % 4 == 0) rounds % 8 == 0 ? plug.doMidiUnlearn(true) : plug.doMidiLearn(true);
    if (rounds % 13 == 0) plug.saveConfig(Synth::kSaveAll);
    if (rounds % 17 == 0) plug.loadConfig();
    useControl(*plug.GetUI(), rng);
    plug.OnTimer();
    plug.GetUI()->DrawDirty();
    ++rounds;
  }
  plug.CloseWindow();
}

}  // namespace

int main() {
  const std::string home = (std::filesystem::temp_directory_path() / "vantorel-stress-XXXXXX").string();
  std::vector<char> pattern(home.begin(), home.end());
  pattern.push_back('\0');
  if (!mkdtemp(pattern.data())) return 1;
  setenv("HOME", pattern.data(), 1);

  auto* plug = new Vantorel(iplug::InstanceInfo{});
  plug->initialize(nullptr);
  ProcessSetup setup{kRealtime, kSample64, kBlock, 48000.0};
  plug->setupProcessing(setup);
  plug->setActive(true);
  plug->setProcessing(true);

  std::atomic<bool> stop{false};
  long blocks = 0, rounds = 0;
  std::thread audio(audioThread, std::ref(*plug), std::cref(stop), std::ref(blocks));
  std::thread ui(uiThread, std::ref(*plug), std::cref(stop), std::ref(rounds));
  std::this_thread::sleep_for(kDuration);
  stop = true;
  audio.join();
  ui.join();

  plug->setProcessing(false);
  plug->setActive(false);
  plug->terminate();
  plug->release();
  std::filesystem::remove_all(pattern.data());
  std::printf("%ld blocks rendered, %ld controller rounds\n", blocks, rounds);
  return blocks > 0 && rounds > 0 ? 0 : 1;
}
