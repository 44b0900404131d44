// The instrument instance: construction, reset, parameter application, key tracking and the state record.
#include "vantorel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pitch.h"

using iplug::IByteChunk;
using iplug::IMidiMsg;

const char* versionMagic = "Vantorel_1.0.0";

namespace {

iplug::Config makeConfig() {
  return iplug::Config{vantorel::kNumParams,
                       vantorel::kNumPrograms,
                       "0-2",
                       "Vantorel",
                       "Vantorel",
                       "Kestrosa Music",
                       0x00010001,
                       iplug::MakeFourCC("Vtrl"),
                       iplug::MakeFourCC("Ksta"),
                       0,
                       true,
                       true,
                       true,
                       true,
                       1,
                       true,
                       1125,
                       400,
                       375,
                       3375,
                       133,
                       1200,
                       false,
                       "com.kestrosamusic.vst3.Vantorel",
                       "group.com.kestrosamusic.Vantorel"};
}

}  // namespace

void NoteEventFifo::push_back(const IMidiMsg& msg) {
  if (count == capacity()) {
    ++lost;  // the message refused, or the one that makes way for it
    if (!msg.IsRelease()) return;
    int i = count - 1;
    while (i >= 0 && at(i).IsRelease()) --i;
    if (i < 0) return;
    for (; i + 1 < count; ++i) at(i) = at(i + 1);
    --count;
  }
  at(count) = msg;
  ++count;
}

void NoteEventFifo::reserve(int n) {
  if (n <= capacity()) return;
  std::vector<IMidiMsg> bigger(n);
  for (int i = 0; i < count; ++i) bigger[i] = at(i);
  buf.swap(bigger);
  head = 0;
}

Vantorel::Vantorel(const iplug::InstanceInfo& info) : Synth(info, makeConfig()), span(newSpanBuffers()) {
  samplesPerTick = 0;  // the configuration was read by Synth's constructor
  lfo.setSampleRate(1000.0);
  initParameters();
  delayVibeSpeedDefault = GetParam(63)->GetDefault();
  delayVibeDepthDefault = GetParam(64)->GetDefault();
  createGraphics();
  if (!LoadBankFromFXB(startupBankPath.Get())) {
    startupBankPath.Set("");
    initAllPrograms();
  }
}

Vantorel::~Vantorel() {
  CloseWindow();  // before the members an open editor reads go
  delay.cleanUp();
}

void Vantorel::OnReset() {
  Synth::OnReset();
  noteEvents.reserve(kMidiQueueSize);  // all that the MIDI queue can hand on at one tick
  touchSpanBuffers();
  const double fs = GetSampleRate();
  if (fs == lastSampleRate) return;
  lastSampleRate = fs;
  samplesPerTick = std::max(static_cast<int>(fs) / 1000, 1);

  osc1.setSampleRate(fs);
  osc2.setSampleRate(fs);
  keyGate.setSampleRate(fs);
  static constexpr double organCutoffs[4] = {125.4, 282.2, 604.7, 1254.0};
  for (LP6& f : organFilters) f.setSampleRate(fs);
  for (int i = 0; i < 4; ++i) organFilters[i].setCutoff(organCutoffs[i]);
  lfoSmoother.setSampleRate(fs);
  lfoSmoother.setCutoff(1000.0);
  stringHP6.setSampleRate(fs);
  stringHP6.setCutoff(340.0);
  for (LP6& f : outLP6) f.setSampleRate(fs);
  for (LP6& f : outLP6) f.setCutoff(12000.0);
  for (HP6& f : outHP6) f.setSampleRate(fs);
  for (HP6& f : outHP6) f.setCutoff(3.3);
  stringEnv.setSampleRate(fs);
  stringEnv.setDecay(0.1);
  stringEnv.setSustain(1.0);
  organGate.setSampleRate(fs);
  sawtoothGate.setSampleRate(fs);
  squareGate.setSampleRate(fs);
  glideEnv.setSampleRate(1000.0);
  modDelayEnv.setSampleRate(1000.0);
  modDelayEnv.setSustain(0.0);
  ensemble.clear();
  ensemble.init(fs);
  for (double& c : ensemble.centre) c = 0.5;
  phaser.setSampleRate(fs);
  phaser.setBase(0.02);
  phaser.setFeedback(0.0);
  phaser.lfo.setSpeed(0.19);
  phaser.setDepth(0.22);
  phaser.setWet(0.5);
  delay.setSampleRate(fs);
  delay.vibeLfo.setSpeed(delayVibeSpeedDefault);
  delay.vibeDepth = 0.1 * delayVibeDepthDefault;
  for (VoiceCard& card : voiceCards) card.setSampleRate(fs);

  for (int i = 0; i < vantorel::kNumParams; ++i) OnParamChange(i);
}

// ---------------------------------------------------------------------------------------------------------
// Parameter application

void Vantorel::OnParamChange(int index) {
  if (index < 0 || index >= vantorel::kNumParams) return;
  const iplug::IParam* param = GetParam(index);
  const double v = param->Value();
  const double n = param->GetNormalized();
  const bool b = n >= 0.5;

  switch (index) {
    case 0: bendRange = v; break;
    case 1: modWheelAmount = v; break;
    case 2: synthVolume = v; setVolumes(); break;
    case 3: organVolume = v; setVolumes(); break;
    case 4: stringVolume = v; setVolumes(); break;
    case 5: synthPan = v; setVolumes(); break;
    case 6: organPan = v; setVolumes(); break;
    case 7: stringPan = v; setVolumes(); break;
    case 8: organ2 = v; break;
    case 9: organ4 = v; break;
    case 10: organ8 = v; break;
    case 11: organ16 = v; break;
    case 12: osc1Tune = v; break;
    case 13: osc1Octave = b; break;
    case 14: osc2Tune = v + 0.02; break;
    case 15: osc2Octave = b; break;
    case 16: setSync(b); break;
    case 17: octaveMod = b; break;
    case 18: glideAmount = 12.0 * v; break;
    case 19:
      glideEnv.setDecay(v);
      glideEnv.setRelease(v);
      break;
    case 20: glideMulti = b; break;
    case 21: glideDirection = static_cast<int32_t>(v); break;
    case 22: {
      const int k = static_cast<int>(v);
      sawtoothSelected = k != 1;
      squareSelected = k >= 1;
      setWaveSelection();
      break;
    }
    case 23: waveAlternate = n < 0.5; break;
    case 24: waveMulti = b; break;
    case 25:
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
      for (VoiceCard& card : voiceCards) card.setParam(index, v);
      break;
    case 32: lfoRouting = static_cast<int32_t>(v); break;
    case 33: lfoMulti = b; break;
    case 34: lfoSquare = b; break;
    case 35: lfo.setSpeed(v); break;
    case 36:
      modDelayEnv.setDecay(v);
      modDelayEnv.setRelease(v);
      break;
    case 37: modDelay = v; break;
    case 38: modDepthBlend = v; break;
    case 39: stringFootages = n; break;
    case 40: stringTimbre = n; break;
    case 41: stringEnv.setAttack(v); break;
    case 42: stringEnv.setRelease(v); break;
    case 43: phaser.lfo.setSpeed(v); break;
    case 44: phaser.setFeedback(v); break;
    case 45: phaserString = b; break;
    case 46: phaserSynth = b; break;
    case 47: phaserOrgan = b; break;
    case 48: delayTime = v; break;
    case 49: delay.feedback = v; break;
    case 50: delay.setMix(v); break;
    case 51: delay.doubleOn = b; break;
    case 52:
      delay.syncOn = b;
      setDelayTimeDisplay();
      break;
    case 53: delay.vibeOn = b; break;
    case 54: delay.pingPongOn = b; break;
    case 55: masterTune = v; break;
    case 56: syncReset = b; break;
    case 57: syncPhase = 0.5 * n; break;
    case 58: keyGate.setRelease(v); break;
    case 59: ensemble.lfoA.setSpeed(v); break;
    case 60: ensemble.lfoB.setSpeed(v); break;
    case 61: ensemble.depthA = 0.25 * v; break;
    case 62: ensemble.depthB = 0.25 * v; break;
    case 63: delay.vibeLfo.setSpeed(v); break;
    case 64: delay.vibeDepth = 0.1 * v; break;
    case 65: masterVolume = v; setVolumes(); break;
    default: break;
  }
}

void Vantorel::setVolumes() {
  synthOn = synthVolume > 0.0;
  organOn = organVolume > 0.0;
  stringOn = stringVolume > 0.0;
  auto gains = [this](double volume, double pan, double* gain) {
    const double v = volume * masterVolume;
    gain[0] = v * std::sqrt(1.0 - pan);
    gain[1] = v * std::sqrt(pan);
  };
  gains(synthVolume, synthPan, synthGain);
  gains(organVolume, organPan, organGain);
  gains(stringVolume, stringPan, stringGain);
}

void Vantorel::setWaveSelection() {
  if (waveAlternate) {
    const bool t = alternateState;
    sawtoothGate.gate = !t;
    squareGate.gate = t;
    alternateState = !t;
  } else {
    sawtoothGate.gate = sawtoothSelected;
    squareGate.gate = squareSelected;
  }
}

void Vantorel::setSync(bool on) {
  syncOn = on;
  if (on && syncReset) osc2.setSyncPhase(osc1, syncPhase);
}

// ---------------------------------------------------------------------------------------------------------
// Key tracking

bool Vantorel::isKeyPressed(unsigned char key) const {
  return std::find(pressedKeys.begin(), pressedKeys.end(), key) != pressedKeys.end();
}

void Vantorel::setNoteOn(unsigned char key) {
  addPressedKey(key);
  if (pressedKeys.size() < 2) {
    keyGate.clear();
    setWaveSelection();
    stringEnv.start();
    glideEnv.start();
    modDelayCounter = static_cast<int32_t>(std::round(modDelay * 1000.0));
  } else {
    if (waveMulti) setWaveSelection();
    if (glideMulti) glideEnv.start();
    if (lfoMulti) modDelayCounter = static_cast<int32_t>(std::round(modDelay * 1000.0));
  }
  keyGate.start(key);
  voiceCards[key % 6].gateOn();
  organGate.gate = true;
}

void Vantorel::setNoteOff(unsigned char key) {
  removePressedKey(key);
  if (sustain) return;
  keyGate.stop(key);
  const unsigned char card = key % 6;
  if (!keyGate.isVoiceCardGate(card)) voiceCards[card].gateOff();
  if (pressedKeys.empty()) {
    keyGate.setPin7();
    organGate.gate = false;
    stringEnv.stop();
  }
}

void Vantorel::setSustain(bool down) {
  sustain = down;
  if (down) return;
  for (int key = 0; key < 128; ++key) {
    const auto k = static_cast<unsigned char>(key);
    if (keyGate.isGate(k) && !isKeyPressed(k)) setNoteOff(k);
  }
  if (!sustain && pressedKeys.empty()) {
    stringEnv.stop();
    organGate.gate = false;
  }
}

void Vantorel::allNotesOff() {
  clearKeyBuffer();
  noteEvents.clear();
  keyGate.clear();
  setSustain(false);
  for (int key = 0; key < 128; ++key) setNoteOff(static_cast<unsigned char>(key));
}

// ---------------------------------------------------------------------------------------------------------
// State record

bool isNewVersion_1_0_0(const IByteChunk& chunk, int startPos) {
  const int len = static_cast<int>(std::strlen(versionMagic));
  if (startPos < 0 || startPos > chunk.Size() || chunk.Size() - startPos < len) return false;
  return std::memcmp(chunk.GetData() + startPos, versionMagic, len) == 0;
}

bool Vantorel::SerializeState(IByteChunk& chunk) const {
  chunk.PutBytes(versionMagic, static_cast<int>(std::strlen(versionMagic)));
  const int32_t programIndex = GetCurrentPresetIdx();
  chunk.Put(&programIndex);
  chunk.PutStr(GetPresetName(programIndex));
  for (int i = 0; i < vantorel::kNumParams; ++i) {
    const double v = GetParam(i)->Value();
    chunk.Put(&v);
  }
  return chunk.Size() > 0;
}

int Vantorel::UnserializeState(const IByteChunk& chunk, int startPos) {
  int32_t programIndex = GetCurrentPresetIdx();
  const bool marked = isNewVersion_1_0_0(chunk, startPos);
  int pos = startPos;
  char name[64] = {0};
  bool haveName = false;
  if (marked) {
    pos = startPos + static_cast<int>(std::strlen(versionMagic));
    pos = chunk.Get(&programIndex, pos);
    if (pos >= 0) {
      int32_t len = 0;
      const int afterLen = chunk.Get(&len, pos);
      // A negative or overlong length is read as a record that ends early.
      if (afterLen >= 0 && len >= 0 && len <= chunk.Size() - afterLen) {
        const int keep = std::min<int32_t>(len, static_cast<int32_t>(sizeof(name)) - 1);
        std::memcpy(name, chunk.GetData() + afterLen, keep);
        name[keep] = 0;
        pos = afterLen + len;
        haveName = true;
      } else {
        pos = -1;
      }
    }
  }

  if (pos >= 0) {
    for (int i = 0; i < vantorel::kNumParams; ++i) {
      double v = 0.0;
      const int next = chunk.Get(&v, pos);
      pos = next;
      if (next < 0) v = 0.0;
      if (iplug::IParam* param = GetParam(i)) param->Set(v);  // a value that is not finite is constrained
      if (pos < 0) break;
    }
  }

  OnParamReset(iplug::kPresetRecall);

  // Only a host's project restore of a whole record renames a slot and makes it current, and never through
  // an index outside the bank: a damaged project leaves every program as it was.
  if (marked && fullStateRestore && pos >= 0 && haveName && programIndex >= 0 && programIndex < NPresets()) {
    iplug::IPreset* preset = GetPreset(programIndex);
    std::strncpy(preset->mName, name, sizeof(preset->mName) - 1);
    preset->mName[sizeof(preset->mName) - 1] = 0;
    if (programIndex != GetCurrentPresetIdx()) {
      preset->mChunk.Clear();
      SetCurrentPresetIdx(programIndex);
      SerializeState(preset->mChunk);
    }
  }
  return pos;
}

// ---------------------------------------------------------------------------------------------------------
// Faults

void Vantorel::OnNonFiniteOutput() {
  for (LP6& f : outLP6) f.setSampleRate(lastSampleRate);
  for (HP6& f : outHP6) f.setSampleRate(lastSampleRate);
  for (LP6& f : organFilters) f.setSampleRate(lastSampleRate);
  lfoSmoother.setSampleRate(lastSampleRate);
  stringHP6.setSampleRate(lastSampleRate);
  lfoValue = 0.0;
  ensemble.clear();
  phaser.setSampleRate(lastSampleRate);
  delay.clearDelayLine();
}
