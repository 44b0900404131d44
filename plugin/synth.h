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

  // MIDI controllers that can be learned: 0 ... 119 (the rest are channel mode messages).
  static constexpr int kNumLearnControllers = 120;

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
  // MIDI learn takes the touched parameter: one the editor or the host's automation changed (UI thread).
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
  // Copies the current sound, unsaved edits included; pasting applies it to the current program, which
  // takes the name the copied program has then. Pasting before any copy does nothing.
  void copyPreset();
  void pastePreset();
  // The bank the next instances start with, kept in the configuration file; returns 0.
  int setStartupFxb(const char* path);
  void unsetStartupFxb();
  // Sets the default folder for program files (when path is given) and stores it in the configuration file.
  void storeProgramPath(const WDL_String* path);

  // --- online version check (UI thread, from the open editor) ---
  // Asks the maker's server for the newest version and tells the answer in message boxes, offering the
  // download page for a newer one. Returns 0 when the check completed, -1 without an answer (or without
  // an open editor), -3 for a web page instead of an answer, -5 when the answer came with an error.
  int checkVersionAgainstWeb();

  // --- MIDI learn ---
  // Posted (any thread) when a learn gesture ends, for the editor's learn switch.
  static constexpr int kLearnEndedEvent = 0;
  // The learn switch (UI thread) starts (on) or cancels (off) a learn or an unlearn gesture.
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  // A controller 0 ... 119 that arrived while a gesture waits (audio thread).
  void setMidiLearnCC(int cc);
  // Completes the waiting gesture once it has its halves: a learn needs the controller and the
  // parameter, in either order; an unlearn takes the first of the two. Whichever thread brings the
  // second half completes it, without allocating or locking.
  void applyMidiLearn();
  // UI thread: a gesture has completed (or applyMidiLearn found none waiting), so the learn switch is to
  // show off. A completion on the audio thread arrives through the UI queue.
  virtual void OnMidiLearnCompleted();

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
  // Learned controllers (the parameter each drives, or -1) and the gesture under way: read and written by
  // the audio thread (controllers) and UI threads (the switch, touched parameters, the configuration).
  std::atomic<int> midiLearnTable[kNumLearnControllers];
  float editorScale = 0.5f;
  std::atomic<bool> midiLearnActive{false};
  std::atomic<bool> midiUnlearnMode{false};
  std::atomic<int> midiLearnCC{-1};
  std::atomic<int> midiLearnParam{-1};
  std::vector<uint8_t> pressedKeys;

private:
  void startMidiLearn(bool unlearn, bool on);
  // The learn switch is to show off: at once on a UI thread, through the UI queue from the audio thread.
  void midiLearnSwitchOff();
  // Writes the startup bank section with its one key.
  void writeStartupBank();

};
