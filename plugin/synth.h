#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "IPlugVST3.h"
#include "wdlstring.h"

// Base of the instrument between the framework's VST3 plug-in class and Vantorel: the MIDI queue, the
// held-key list, the tick counters, the paths, the configuration file, the program copy buffer and the
// MIDI learn state.
class Synth : public iplug::IPlugVST3 {
public:
  // Room of the MIDI queue: a full block's intake plus what the previous block left for later ticks.
  static constexpr int kMidiQueueSize = 2 * kMaxBlockMessages;
  // Room of the held-key list: a full keyboard struck several times over.
  static constexpr size_t kMaxPressedKeys = 1024;

  // What saveConfig writes besides the startup bank (the numbers of the commands that ask for it).
  static constexpr int kSaveAll = -1;
  static constexpr int kSaveWindowSize = 19;
  static constexpr int kSaveMidiThru = 22;
  static constexpr int kSaveIgnoreProgramChange = 23;

  // Works out the paths, creates the configuration folder and file when missing (taking over an old
  // configuration file once) and loads the configuration.
  Synth(const iplug::InstanceInfo& info, const iplug::Config& config);
  ~Synth() override;

  // Pitch in 1/128 semitone to Hz.
  static double convert2Hz(int pitch);

  // --- framework overrides ---
  // MIDI learn takes the touched parameter (UI thread).
  void OnParamChangeUI(int paramIdx, iplug::EParamSource source) override;
  // An open editor redraws everything.
  void OnPresetsModified() override;
  void OnIdle() override {}
  // The learn switch goes off after a learn gesture ended (kLearnEndedEvent).
  void OnUIEvent(int event) override;
  // The next opening is at editorScale again.
  void OnUIClose() override { storeEditorSize(); }

  // --- operations the instrument overrides or uses, in slot order ---
  virtual void createGraphics() {}
  // Stores a positive scale as editorScale and shows an open editor at it.
  virtual void resizeUI(float scale);
  // The editor size a host is told before the editor opens: the canvas at editorScale, held to the
  // editor's scale limits.
  void storeEditorSize();
  void ProcessBlock(double** /*inputs*/, double** /*outputs*/, int /*nFrames*/) override {}
  void OnReset() override;
  virtual void allNotesOff() {}
  virtual void initParameters() {}
  virtual void initAllPrograms();
  void OnActivate(bool active) override;
  virtual void initProgram();

  // --- held keys ---
  void addPressedKey(unsigned char key);
  void removePressedKey(unsigned char key);
  void clearKeyBuffer() { pressedKeys.clear(); }

  // --- parameters set by the instrument itself (MIDI controllers) ---
  void setParamValue(int index, double value, bool normalized);

  // --- configuration file (never on the audio thread) ---
  // Reads every setting the file holds; settings it lacks keep their values. Returns whether it exists.
  bool loadConfig();
  // Writes the startup bank and, by selector, the editor scale, the MIDI switches or everything.
  int saveConfig(int what);
  static bool fileExists(const WDL_String& path);
  // The scale saveConfig writes: the open editor's; the stored scale while there is none.
  virtual float currentEditorScale() const;

  // --- programs (UI thread) ---
  // Makes program index current, keeping the edits of the program left; an index outside the bank
  // changes nothing but that store.
  void changePreset(int index);
  void copyPreset();
  void pastePreset();

  // --- MIDI learn ---
  // Posted (any thread) when a learn gesture ends, for the editor's learn switch.
  static constexpr int kLearnEndedEvent = 0;
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  void setMidiLearnCC(int cc);
  void applyMidiLearn();

  iplug::IMidiQueue midiQueue{iplug::IMidiQueue::kDefaultSize};
  int copiedProgramIndex = -1;
  iplug::IByteChunk copyBuffer;
  // Settings read by the audio thread's MIDI handling.
  std::atomic<bool> midiThru{false};
  std::atomic<bool> ignoreProgramChange{false};
  int tickCounter = 0;
  int samplesPerTick = 0;
  WDL_String pluginPath;
  WDL_String homePath;
  WDL_String configPath;
  WDL_String startupBankPath;
  WDL_String programPath;
  int midiLearnTable[120];
  float editorScale = 0.5f;
  bool midiLearnActive = false;
  bool midiUnlearnMode = false;
  int midiLearnCC = -1;
  int midiLearnParam = -1;
  std::vector<uint8_t> pressedKeys;
};
