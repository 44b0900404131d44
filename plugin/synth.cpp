// The instrument's base: held keys, MIDI learn, programs and the host-facing parameter calls.
#include "synth.h"

#include <algorithm>
#include <cstdlib>

#include "IPlugPaths.h"
#include "pitch.h"

Synth::Synth(const iplug::InstanceInfo& /*info*/, const iplug::Config& config) : iplug::IPlugVST3(config) {
  std::fill(std::begin(midiLearnTable), std::end(midiLearnTable), -1);
  pressedKeys.reserve(kMaxPressedKeys);  // note-ons never allocate on the audio thread
  copyBuffer.Reserve(4096);
  iplug::PluginPath(pluginPath, "Vantorel");
  if (const char* home = std::getenv("HOME")) homePath.Set(home);
  programPath.Set(homePath.Get());
}

Synth::~Synth() = default;

double Synth::convert2Hz(int pitch) { return ::convert2Hz(pitch); }

// ---------------------------------------------------------------------------------------------------------
// Host and framework calls

void Synth::OnReset() {
  midiQueue.Resize(kMidiQueueSize);
  clearKeyBuffer();
  midiLearnActive = false;
  samplesPerTick = std::max(static_cast<int>(GetSampleRate()) / 1000, 1);
  tickCounter = 0;
}

void Synth::OnActivate(bool active) {
  if (active) OnParamReset(iplug::kHost);
}

void Synth::OnParamChangeUI(int paramIdx, iplug::EParamSource /*source*/) {
  if (midiLearnActive) {
    midiLearnParam = paramIdx;
    applyMidiLearn();
  }
}

void Synth::setParamValue(int index, double value, bool normalized) {
  if (index < 0 || index >= NParams()) return;
  SendParameterValueFromDelegate(index, value, normalized);
  const double n = normalized ? value : GetParam(index)->ToNormalized(value);
  SetParameterValue(index, n);
}

// ---------------------------------------------------------------------------------------------------------
// Held keys

void Synth::addPressedKey(unsigned char key) {
  if (pressedKeys.size() >= kMaxPressedKeys) {
    // Full (keys struck over and over without release): one repeated entry makes room. What depends on
    // the list (whether a key is held, whether it is empty or holds one key) stays as it was.
    const auto repeated = std::adjacent_find(pressedKeys.begin(), pressedKeys.end());
    if (repeated == pressedKeys.end()) return;
    pressedKeys.erase(repeated);
  }
  // Insert behind equal keys: the same as appending and sorting.
  pressedKeys.insert(std::upper_bound(pressedKeys.begin(), pressedKeys.end(), key), key);
}

void Synth::removePressedKey(unsigned char key) {
  pressedKeys.erase(std::remove(pressedKeys.begin(), pressedKeys.end(), key), pressedKeys.end());
}

// ---------------------------------------------------------------------------------------------------------
// Programs

void Synth::initAllPrograms() {
  if (LoadBankFromFXB(startupBankPath.Get())) return;
  startupBankPath.Set("");
  WDL_String factoryBank;
  factoryBank.SetFormatted(4096, "%sVantorel.vst3/Contents/Resources/init.fxb", pluginPath.Get());
  LoadBankFromFXB(factoryBank.Get());
}

void Synth::initProgram() {
  for (int i = 0; i < NParams(); ++i) SetParameterValue(i, std::min(GetParam(i)->GetDefault(true), 1.0));
  ModifyCurrentPreset("Init");
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, std::min(GetParam(i)->GetNormalized(), 1.0), true);
  InformHostOfPresetChange();
}

void Synth::changePreset(int index) {
  ModifyCurrentPreset();
  if (index < 0 || index >= NPresets()) return;
  // The edits were stored just now, so going to the current program again changes nothing.
  if (!RestorePreset(index, true)) return;
  InformHostOfProgramChange();  // the user's own choice, unlike the values that follow from it
  InformHostOfPresetChange();
}

void Synth::copyPreset() {
  copiedProgramIndex = GetCurrentPresetIdx();
  copyBuffer.Clear();
  SerializeState(copyBuffer);
}

void Synth::pastePreset() {
  if (copyBuffer.Size() == 0) return;
  UnserializeState(copyBuffer, 0);
  ModifyCurrentPreset(GetPresetName(copiedProgramIndex));
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, std::min(GetParam(i)->GetNormalized(), 1.0), true);
  InformHostOfPresetChange();
}

// ---------------------------------------------------------------------------------------------------------
// MIDI learn

void Synth::doMidiLearn(bool on) {
  midiUnlearnMode = false;
  midiLearnActive = on;
  midiLearnCC = -1;
  midiLearnParam = -1;
}

void Synth::doMidiUnlearn(bool on) {
  midiUnlearnMode = true;
  midiLearnActive = on;
  midiLearnCC = -1;
  midiLearnParam = -1;
}

void Synth::setMidiLearnCC(int cc) {
  midiLearnCC = cc;
  applyMidiLearn();
}

void Synth::applyMidiLearn() {
  if (!midiLearnActive) return;
  if (midiUnlearnMode) {
    if (midiLearnCC != -1) {
      if (midiLearnCC >= 0 && midiLearnCC < 120) midiLearnTable[midiLearnCC] = -1;
    } else if (midiLearnParam != -1) {
      for (int& entry : midiLearnTable)
        if (entry == midiLearnParam) entry = -1;
    } else {
      return;
    }
    midiUnlearnMode = false;
  } else {
    if (midiLearnCC == -1 || midiLearnParam == -1) return;
    for (int& entry : midiLearnTable)
      if (entry == midiLearnParam) entry = -1;
    if (midiLearnCC >= 0 && midiLearnCC < 120) midiLearnTable[midiLearnCC] = midiLearnParam;
  }
  midiLearnActive = false;
}
