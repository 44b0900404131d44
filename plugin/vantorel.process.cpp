// MIDI intake, the block loop with its per-sample rendering, and the one-millisecond control tick.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "vantorel.h"

using iplug::IMidiMsg;

namespace {
// Weights of the higher footages in the key sums.
constexpr double K1 = 0.5641025641025641;   // 22/39
constexpr double K2 = 0.2682926829268293;   // 11/41
constexpr double K3 = 0.14666666666666667;  // 11/75

// Voice card of each key: key mod 6.
constexpr std::array<uint8_t, 256> cardOfKey = [] {
  std::array<uint8_t, 256> t{};
  for (int k = 0; k < 256; ++k) t[k] = static_cast<uint8_t>(k % 6);
  return t;
}();
}  // namespace

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

void Vantorel::renderSegment(double* left, double* right, int n) {
  for (int i = 0; i < n; ++i) {
    while (!noteEvents.empty() && noteEvents.front().mOffset == i) {
      const IMidiMsg msg = noteEvents.front();
      noteEvents.pop_front();
      dispatchNoteEvent(msg);
    }

    Signal P, D;
    if (active) {
      keyGate.update();
      double sawtoothSum[6] = {0, 0, 0, 0, 0, 0};
      double squareSum[6] = {0, 0, 0, 0, 0, 0};
      double F16 = 0.0, F8 = 0.0, F4 = 0.0, F2 = 0.0;
      double string16 = 0.0, string8 = 0.0;
      for (const KeyGate::Entry& e : keyGate) {
        const unsigned char k = e.key;
        const double g = e.level;
        const std::array<double, 4> X = osc1.process(k);
        const std::array<double, 4> Y = osc2.process(k);
        const double x16 = g * X[0], x8 = g * X[1], x4 = g * X[2], x2 = g * X[3];
        const double y16 = g * Y[0], y8 = g * Y[1], y4 = g * Y[2], y2 = g * Y[3];
        if (organOn) {
          F16 += x16 + y16;
          F8 += x8 + y8;
          F4 += x4 + y4;
          F2 += x2 + y2;
        }
        if (synthOn) {
          const int c = cardOfKey[k];
          sawtoothSum[c] += (y16 + K1 * y8 + K2 * y4 + K3 * y2) + x16 + K1 * x8 + K2 * x4 + K3 * x2;
          squareSum[c] += (x16 + y16) + K2 * (x8 + y8);
        }
        if (stringOn) {
          string8 += y8 + K1 * y4 + K2 * y2;
          string16 += y16 + K1 * y8 + K2 * y4 + K3 * y2;
        }
      }

      if (lfoSquare) lfoValue = lfoSmoother.LP6::process(lfoValue);

      organGate.update();
      stringEnv.update();
      sawtoothGate.update();
      squareGate.update();
      for (VoiceCard& card : voiceCards) card.update();

      double synth = 0.0;
      VCF::Pending pending[6];
      bool cardsPending = false;
      if (synthOn) {
        const double mod = lfoRouting == 1 ? modDepth * lfoValue : 0.0;
        const double sawLevel = sawtoothGate.level;
        const double squareLevel = squareGate.level;
        // The cards' outputs come from the first halves of their filter steps;
        // the second halves, which only prepare the next sample, run after the
        // Organ and String sections, so that the six independent recursions
        // overlap each other and that work.
        double out[6];
        for (int k = 0; k < 6; ++k)
          out[k] = voiceCards[k].begin(sawLevel * sawtoothSum[k] + squareLevel * squareSum[k], mod, pending[k]);
        cardsPending = true;
        for (int k = 0; k < 6; ++k) synth += out[k];
        if (lfoRouting == 2) synth = synth * (1.0 - (lfoValue + 1.0) * modDepth);
      }

      double organ = 0.0;
      if (organOn) {
        const double o16 = organ16 * organFilters[0].LP6::process(F16);
        const double o8 = organ8 * organFilters[1].LP6::process(F8);
        const double o4 = organ4 * organFilters[2].LP6::process(F4);
        const double o2 = organ2 * organFilters[3].LP6::process(F2);
        organ = (o16 + o8 + o4 + o2) * organGate.level;
      }

      double string = 0.0;
      if (stringOn) {
        const double s = string16 + stringFootages * (string8 - string16);
        const double e = ensemble.process(s);
        string = stringHP6.LP6::process(s * stringTimbre + 0.5 * e) * stringEnv.getLevel();
      }

      if (cardsPending)
        for (int k = 0; k < 6; ++k) voiceCards[k].end(pending[k]);

      const double synthL = synth * synthGain[0], synthR = synth * synthGain[1];
      const double organL = organ * organGain[0], organR = organ * organGain[1];
      const double stringL = string * stringGain[0], stringR = string * stringGain[1];

      if (phaserOn) {
        Signal& toString = phaserString ? P : D;
        toString.left = stringL;
        toString.right = stringR;
        Signal& toSynth = phaserSynth ? P : D;
        toSynth.left += synthL;
        toSynth.right += synthR;
        Signal& toOrgan = phaserOrgan ? P : D;
        toOrgan.left += organL;
        toOrgan.right += organR;
      } else {
        D.left = organL + (synthL + stringL);
        D.right = organR + (synthR + stringR);
      }
    }

    osc1.advance();
    osc2.advance();

    if (phaserOn) {
      phaser.process(P);
      D.left += P.left;
      D.right += P.right;
    }
    delay.process(D);

    left[i] = outLP6[0].LP6::process(outHP6[0].LP6::process(D.left));
    right[i] = outLP6[1].LP6::process(outHP6[1].LP6::process(D.right));
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
