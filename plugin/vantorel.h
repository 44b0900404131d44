#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "adsr.h"
#include "bbddelay.h"
#include "ensemble.h"
#include "filters.h"
#include "gates.h"
#include "lfo.h"
#include "oscbank.h"
#include "panel_layout.h"
#include "phaser.h"
#include "stereo_signal.h"
#include "synth.h"
#include "voicecard.h"

namespace vantorel {
constexpr int kNumParams = 66;
constexpr int kNumPrograms = 64;
// Texts of the delay's tempo-synced note values, index for index with syncRate.
extern const char* const labelSyncRates[20];
}  // namespace vantorel

// The version mark at the start of a state record.
extern const char* versionMagic;
bool isNewVersion_1_0_0(const iplug::IByteChunk& chunk, int startPos);

// Display functions attached to parameters.
void setDisplayTextForDB(double value, WDL_String& text);
void setDisplayTextForBlend(double value, WDL_String& text);
void setDisplayTextForFrequency(double value, WDL_String& text);
void setDisplayTextForDelayTimeSync(double value, WDL_String& text);

// Note, sustain and controller messages of the current control tick, waiting for their sample. A ring
// whose room is made on the set-up thread (reserve) and never grows on the audio thread: when it is full,
// a release takes the place of the latest other message, as in the MIDI queue, and losses are counted.
class NoteEventFifo {
public:
  explicit NoteEventFifo(int capacity = 1024) : buf(capacity) {}
  bool empty() const { return count == 0; }
  const iplug::IMidiMsg& front() const { return buf[head]; }
  void pop_front() {
    head = (head + 1) % capacity();
    --count;
  }
  void push_back(const iplug::IMidiMsg& msg);
  void clear() { head = count = 0; }
  int size() const { return count; }
  // Makes room for at least n messages, keeping those waiting (not on the audio thread).
  void reserve(int n);
  int dropped() const { return lost; }

private:
  int capacity() const { return static_cast<int>(buf.size()); }
  iplug::IMidiMsg& at(int i) { return buf[(head + i) % capacity()]; }
  std::vector<iplug::IMidiMsg> buf;
  int head = 0;
  int count = 0;
  int lost = 0;
};

class Vantorel final : public Synth {
public:
  explicit Vantorel(const iplug::InstanceInfo& info);
  ~Vantorel() override;

  // --- framework and Synth overrides ---
  void OnParamChange(int index) override;
  bool SerializeState(iplug::IByteChunk& chunk) const override;
  int UnserializeState(const iplug::IByteChunk& chunk, int startPos) override;
  // The lamps and the octave buttons follow the published engine state (editor open only).
  void OnIdle() override;
  // Installs the graphics factory and the panel's layout function.
  void createGraphics() override;
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  void OnReset() override;
  void allNotesOff() override;
  void initParameters() override;
  void initProgram() override;
  void ProcessMidiMsg(const iplug::IMidiMsg& msg) override;
  // Empties every filter and effect state, so that a fault that made the output non-finite does not last.
  void OnNonFiniteOutput() override;

  // --- editor ---
  // Shows or hides the tweak panel of an open editor.
  void toggleTweaks();
  // One of the six window sizes (others change nothing).
  void resizeUI(GUI::GUISize size);
  using Synth::resizeUI;

  // --- MIDI and key tracking ---
  void handleMidiEvents();
  void setNoteOn(unsigned char key);
  void setNoteOff(unsigned char key);
  void setSustain(bool down);
  bool isKeyPressed(unsigned char key) const;

  // --- control tick and engine settings ---
  bool update();
  void setTunings();
  void setVolumes();
  void setWaveSelection();
  void setSync(bool on);
  void setDelayTimeDisplay();

  // Engine members, in this order.
  NoteEventFifo noteEvents;
  OscBank osc1, osc2;
  KeyGate keyGate;
  VoiceCard voiceCards[6];
  ADSR stringEnv;
  ADSR glideEnv;
  ADSR modDelayEnv;
  GateAR organGate;
  GateAR sawtoothGate;
  GateAR squareGate;
  LFO lfo;
  LP6 outLP6[2];
  LP6 organFilters[4];
  LP6 lfoSmoother;
  HP6 outHP6[2];
  HP6 stringHP6;
  Ensemble ensemble;
  Phaser phaser;
  BBDDelay delay;
  bool active = true;
  bool sustain = false;
  bool synthOn = false, organOn = false, stringOn = false;
  bool phaserOn = false;
  bool alternateState = false;
  bool ledState = false;
  int32_t modDelayCounter = 0;
  double lastSampleRate = 1.0;
  double pitchBend = 0.0;
  double modWheel = 0.0;
  double lfoValue = 0.0;
  double modDepth = 0.0;
  double synthGain[2] = {0.0, 0.0}, organGain[2] = {0.0, 0.0}, stringGain[2] = {0.0, 0.0};
  double delayTime = 0.0;
  bool tweaksShown = false;
  // What the editor's lamps show, published by the audio thread once per control tick: the first
  // footage of key 72 on each oscillator bank is high, the LFO's square is high.
  static constexpr unsigned kOsc1High = 1, kOsc2High = 2, kLfoHigh = 4;
  std::atomic<unsigned> lampState{0};

  // Values of parameters, written only by the parameter application.
  bool osc1Octave = false, osc2Octave = false;
  bool syncOn = false;
  bool syncReset = false;
  bool octaveMod = false;
  bool sawtoothSelected = false, squareSelected = false;
  bool waveAlternate = false;
  bool waveMulti = false;
  bool glideMulti = false;
  bool lfoMulti = false;
  bool lfoSquare = false;
  bool phaserString = false, phaserSynth = false, phaserOrgan = false;
  int32_t glideDirection = 0;
  int32_t lfoRouting = 0;
  double bendRange = 0.0;
  double modWheelAmount = 0.0;
  double masterVolume = 0.0;
  double synthVolume = 0.0, organVolume = 0.0, stringVolume = 0.0;
  double synthPan = 0.5, organPan = 0.5, stringPan = 0.5;
  double organ16 = 0.0, organ8 = 0.0, organ4 = 0.0, organ2 = 0.0;
  double osc1Tune = 0.0;
  double osc2Tune = 0.0;
  double glideAmount = 0.0;
  double modDelay = 0.0;
  double modDepthBlend = 0.0;
  double stringFootages = 0.5;
  double stringTimbre = 0.5;
  double masterTune = 0.0;
  double syncPhase = 0.0;
  double delayVibeSpeedDefault = 0.0;
  double delayVibeDepthDefault = 0.0;

private:
  // The editor's layout function: the whole panel on a new graphics context.
  void layoutPanel(iplug::igraphics::IGraphics* g);
  void publishLamps();
  struct SpanBuffers;

  // Renders one segment of n samples into the output buffers at the given position, span by span
  // between its note events.
  void renderSegment(double* left, double* right, int n);
  void dispatchNoteEvent(const iplug::IMidiMsg& msg);
  // The stages of a span of n <= kSpan samples.
  void renderSpan(double* left, double* right, int n);
  void mixKeys(int n);
  void runEnvelopes(int n);
  VANTOREL_NARROW void renderSections(double* left, double* right, int n);
#ifdef VANTOREL_WIDE
  VANTOREL_WIDE void renderSections(double* left, double* right, int n);
  VANTOREL_WIDE_V4 void renderSections(double* left, double* right, int n);
#endif
  template <class V>
  void renderSectionsWith(double* left, double* right, int n);
  // The sample loop of renderSectionsWith, for an echo that runs free over the span (or one that runs in
  // the loop).
  template <bool EchoFree, class Cards>
  void renderSamples(Cards& cards, Phaser::Run& sweep, BBDDelay::Run& echo, double* left, double* right, int n,
                     bool synth);

  struct SpanBuffersDeleter {
    void operator()(SpanBuffers* b) const;
  };
  // Made with the instance, brought into memory at every reset, used on the audio thread.
  std::unique_ptr<SpanBuffers, SpanBuffersDeleter> span;
  static SpanBuffers* newSpanBuffers();
  void touchSpanBuffers();
};
