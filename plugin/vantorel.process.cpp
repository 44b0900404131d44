// MIDI intake, the block loop with its per-sample rendering, and the one-millisecond control tick.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "vantorel.h"

using iplug::IMidiMsg;


// ---------------------------------------------------------------------------------------------------------
// MIDI intake

void Vantorel::ProcessMidiMsg(const IMidiMsg& incoming) {
  if (midiThru) SendMidiMsg(incoming);
  IMidiMsg msg = incoming;
  bool adjust = true;
  switch (msg.StatusMsg()) {
    case IMidiMsg::kNoteOff:
    case IMidiMsg::kPitchWheel:
      break;
    case IMidiMsg::kNoteOn:
      if (msg.mData2 == 0) msg.mStatus = 0x80;
      break;
    case IMidiMsg::kControlChange: {
      const int c = msg.mData1;
      if (c <= 119) {
        if (midiLearnActive) {
          setMidiLearnCC(c);
          return;
        }
        if (c == 64) adjust = false;
        break;
      }
      if (c == 120 || c == 123) allNotesOff();
      return;
    }
    case IMidiMsg::kProgramChange:
      if (!ignoreProgramChange) RestorePreset(msg.mData1);
      return;
    default:
      return;
  }
  if (adjust && msg.mOffset > samplesPerTick) msg.mOffset += samplesPerTick / 2;
  midiQueue.Add(msg);
}

void Vantorel::handleMidiEvents() {
  const int T = samplesPerTick;
  while (!midiQueue.Empty() && midiQueue.Peek().mOffset < T) {
    const IMidiMsg& msg = midiQueue.Peek();
    switch (msg.StatusMsg()) {
      case IMidiMsg::kNoteOff:
      case IMidiMsg::kNoteOn:
        noteEvents.push_back(msg);
        break;
      case IMidiMsg::kControlChange: {
        const int c = msg.mData1;
        if (c == 64) {
          noteEvents.push_back(msg);
        } else if (c == 1) {
          modWheel = msg.mData2 / 127.0;
        } else if (c < 120) {
          const int i = midiLearnTable[c];
          if (i >= 0 && i < vantorel::kNumParams) {
            const double value = msg.mData2 / 127.0;
            if (value != GetParam(i)->GetNormalized()) setParamValue(i, value, true);
          }
        }
        break;
      }
      case IMidiMsg::kPitchWheel:
        pitchBend = ((msg.mData2 * 128 + msg.mData1) - 8192) / 8192.0;
        break;
      default:
        break;
    }
    midiQueue.Remove();
  }
  midiQueue.Flush(T);
}

void Vantorel::dispatchNoteEvent(const IMidiMsg& msg) {
  switch (msg.mStatus & 0xF0) {
    case 0x80:
      setNoteOff(msg.mData1);
      break;
    case 0x90:
      setNoteOn(msg.mData1);
      active = true;
      break;
    case 0xB0:
      setSustain(msg.mData2 != 0);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------------
// Block loop

void Vantorel::ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) {
  double* left = outputs[0];
  double* right = outputs[1];
  std::fill(left, left + nFrames, 0.0);
  std::fill(right, right + nFrames, 0.0);
  while (nFrames > 0) {
    int n;
    if (tickCounter > 0) {
      n = std::min(tickCounter, nFrames);
      tickCounter = std::max(tickCounter - nFrames, 0);
    } else {
      handleMidiEvents();
      const bool sounding = update();
      publishLamps();
      if (!sounding && active) ensemble.clear();
      active = sounding;
      const int T = samplesPerTick;
      if (T > nFrames) {
        tickCounter = T - nFrames;
        n = nFrames;
      } else {
        n = T;
      }
    }
    nFrames -= n;
    renderSegment(left, right, n);
    left += n;
    right += n;
  }
}

// ---------------------------------------------------------------------------------------------------------
// Control tick

bool Vantorel::update() {
  phaserOn = phaserString || phaserSynth || phaserOrgan;

  lfo.update();
  lfoValue = lfoSquare ? lfo.getSqr() : lfo.getTri();

  double ramp = 0.0;
  if (modDelayCounter >= 0) {
    --modDelayCounter;
    if (modDelayCounter == -1) modDelayEnv.start();
  }
  if (modDelayCounter < 0) {
    modDelayEnv.update();
    ramp = 1.0 - modDelayEnv.getLevel();
  }

  const double wheel = modWheelAmount * modWheel;
  modDepth = ((ramp - wheel) * modDepthBlend + wheel) * 0.5;

  if (octaveMod) {
    const bool down = lfo.getSqr() > 0.0;
    osc1.octave = down;
    osc2.octave = down;
  } else {
    osc1.octave = osc1Octave;
    osc2.octave = osc2Octave;
  }

  glideEnv.update();
  setTunings();

  if (stringOn) ensemble.update();
  if (phaserOn) phaser.update();
  delay.update(delayTime, GetTempo());

  if (organGate.level > 0.0 || stringEnv.getLevel() > 0.0) return true;
  for (const VoiceCard& card : voiceCards)
    if (card.isActive()) return true;
  return false;
}

void Vantorel::publishLamps() {
  const unsigned state = (osc1.process(72)[0] > 0.0 ? kOsc1High : 0u) | (osc2.process(72)[0] > 0.0 ? kOsc2High : 0u) |
                         (lfo.getSqr() > 0.0 ? kLfoHigh : 0u);
  lampState.store(state, std::memory_order_relaxed);
}

void Vantorel::setTunings() {
  const double base = pitchBend * bendRange + masterTune;
  double t1 = base + osc1Tune;
  double t2 = base + osc2Tune;
  if (lfoRouting == 0) {
    const double v = modDepth * 14.0 * lfoValue;
    t1 += v;
    t2 += v;
  }
  const double g = glideAmount * glideEnv.getLevel();
  switch (glideDirection) {
    case 0: t1 -= g; t2 -= g; break;
    case 1: t2 -= g; break;
    case 2: t2 += g; break;
    case 3: t1 += g; t2 += g; break;
    default: break;
  }
  if (syncOn) t2 = t1;
  osc1.setTune(t1);
  osc2.setTune(t2);
}
