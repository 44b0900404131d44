#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "IPlugDenormals.h"
#include "IPlugMidi.h"
#include "IPlugPluginBase.h"

namespace iplug {

// The host-facing side of a plug-in, independent of the plug-in API: processing set-up, the block's
// parameter changes and MIDI, rendering, the parameter and program rules, the UI thread's queue and the
// plug-in-to-host notifications that an API binding implements. The command-line renderer drives this
// class directly; the VST3 binding (IPlugVST3) drives it for a host and only translates.
//
// Threads: see IPluginBase. Work for the UI thread that arises on the audio thread (OnParamChangeUI,
// SendParameterValueFromDelegate, OnPresetsModified) and the notices to the host wait for FlushUIQueue,
// which the binding calls from the UI timer (OnTimer) and at the end of the host's controller calls that
// change the plug-in (never while the host is in the middle of an edit of its own).
class IPlugAPIBase : public IPluginBase {
public:
  // MIDI messages one host block can bring (host events and mapped controllers together).
  static constexpr int kMaxBlockMessages = 4096;
  // Sample rates the instance sets up processing for.
  static constexpr double kMinSampleRate = 8000.0;
  static constexpr double kMaxSampleRate = 768000.0;
  // Interval of the UI timer that calls OnTimer.
  static constexpr int kTimerIntervalMs = 20;

  explicit IPlugAPIBase(const Config& config);

  // --- set-up, called by the host side (not while a block is rendered) ---
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  // Sets rate and maximum block size, then resets the instance (OnReset). Refuses (false, nothing
  // changed) a rate outside kMinSampleRate ... kMaxSampleRate or a block size below 1.
  bool ResetProcessing(double sampleRate, int blockSize);
  // Host tempo in beats per minute as received with the block (120 until a host says otherwise).
  void SetTempo(double bpm) { mTempo = bpm; }
  double GetTempo() const { return mTempo; }
  // Any thread; the audio thread reads it once per block.
  void SetBypassed(bool bypassed) { mBypassed.store(bypassed, std::memory_order_relaxed); }
  bool GetBypassed() const { return mBypassed.load(std::memory_order_relaxed); }

  // --- one host block, on the audio thread ---
  // Brackets the block: marks the calling thread as the audio thread, sets flush-to-zero and
  // denormals-are-zero, applies what UI threads changed since the last block and empties the MIDI intake.
  class ProcessScope {
  public:
    explicit ProcessScope(IPlugAPIBase& plug);
    ~ProcessScope();
    ProcessScope(const ProcessScope&) = delete;
    ProcessScope& operator=(const ProcessScope&) = delete;

  private:
    ScopedFlushDenormals mFlushDenormals;
    IPlugAPIBase& mPlug;
  };
  // The block's MIDI intake, in the order the messages are to act at equal offsets. It holds at most
  // kMaxBlockMessages and never allocates; when full, releases (note offs, all notes off, pedal up) are
  // kept at the cost of other messages, and every lost message is counted.
  void AddBlockMidi(const IMidiMsg& msg) { mBlockMidi.Add(msg); }
  // Hands the intake's messages with offsets below end to ProcessMidiMsg, offsets counted from start.
  void DeliverBlockMidi(int start, int end);
  uint32_t GetMidiDropCount() const { return mBlockMidi.NDropped(); }
  // ProcessBlock; an output that is not finite everywhere is replaced by silence and OnNonFiniteOutput is
  // called, so the host never receives a non-finite sample.
  void RenderBlock(double** inputs, double** outputs, int nChans, int nFrames);

  // --- processing hooks the plug-in overrides ---
  virtual void OnReset() {}
  virtual void OnActivate(bool /*active*/) {}
  // UI timer hook (every kTimerIntervalMs on the UI thread, after FlushUIQueue).
  void OnIdle() override {}
  virtual void ProcessMidiMsg(const IMidiMsg& /*msg*/) {}
  virtual void ProcessBlock(double** /*inputs*/, double** /*outputs*/, int /*nFrames*/) {}
  // The block just rendered was not finite and has been silenced: clear the states that carry the fault.
  virtual void OnNonFiniteOutput() {}

  // --- parameters ---
  // A value from the host (the block's automation on the audio thread, the controller on a UI thread). A
  // value the engine has already, also when rounded to single precision, is an echo and changes nothing.
  void SetParameterFromHost(int idx, double normalizedValue);
  // The plug-in sets a parameter itself (any thread): stores the value, the engine gets it through the
  // path, and the host learns of it (in the block's output changes on the audio thread, else by a
  // values-changed notice).
  void SetParameterValue(int idx, double normalizedValue);
  // An edit in the editor (UI thread): stores the value, the engine gets it through the path, and the host
  // gets it as part of the user's gesture (InformHostOfParamChange between the binding's
  // BeginInformHostOfParamChangeFromUI and EndInformHostOfParamChangeFromUI).
  void SendParameterValueFromUI(int idx, double normalizedValue) override;
  // Moves the editor's controls for parameter idx to value (plain unless normalized): UI-thread work.
  // Called on the audio thread it is deferred to FlushUIQueue, which calls it again with the normalised
  // value; an override starts with `if (DeferDelegateValue(idx, value, normalized)) return;`.
  void SendParameterValueFromDelegate(int idx, double value, bool normalized) override {
    if (DeferDelegateValue(idx, value, normalized)) return;
    IPluginBase::SendParameterValueFromDelegate(idx, value, normalized);
  }

  // --- programs ---
  // The host's program parameter: program round(value * (NPresets() - 1)). A value that selects the
  // current program is an echo of the program the plug-in announced and restores nothing.
  bool SetProgramFromHost(double normalizedValue);
  // The program parameter's value for the current program.
  double GetProgramNormalized() const;

  // --- UI thread ---
  // Delivers the work the audio thread left: OnParamChangeUI, editor values, OnPresetsModified, UI
  // events, notices to the host. Does nothing on the audio thread or when called from within itself.
  void FlushUIQueue();
  // The UI timer (the binding's, or the open editor's): FlushUIQueue, then OnIdle.
  void OnTimer() override {
    FlushUIQueue();
    OnIdle();
  }
  // Any thread: OnUIEvent(event) is to run on the UI thread, at the next FlushUIQueue. Events are numbers
  // 0 ... 31 of the plug-in's choosing; one posted several times before then is delivered once.
  void PostUIEvent(int event);
  virtual void OnUIEvent(int /*event*/) {}

  // --- plug-in to host, implemented by the API binding ---
  // Parameter idx has this value: on the audio thread an output change of the block, on a UI thread an edit
  // within the user's gesture.
  virtual void InformHostOfParamChange(int /*idx*/, double /*normalizedValue*/) {}
  // The current program (GetProgramNormalized): as for InformHostOfParamChange, the UI-thread form being a
  // complete gesture of its own.
  virtual void InformHostOfProgramChange() {}
  // UI thread: the host re-reads every parameter value / the program names.
  virtual void InformHostOfParamValuesChanged() {}
  virtual void InformHostOfProgramListChanged() {}
  // Any thread: the programs and the values changed (both notices at the next FlushUIQueue).
  void InformHostOfPresetChange() { QueueHostNotices(kProgramListNotice | kValuesNotice); }
  // A loaded bank or program file is a preset change for the host.
  void OnPresetsLoaded() override { InformHostOfPresetChange(); }
  // After a restore the host re-reads the values; a program restored on the audio thread is announced.
  // Overrides call this.
  void OnRestoreState() override;
  // Sends a message to the plug-in's MIDI output (audio thread); false where there is none.
  virtual bool SendMidiMsg(const IMidiMsg& /*msg*/) { return false; }

protected:
  // On the audio thread: keeps the editor value for FlushUIQueue and returns true.
  bool DeferDelegateValue(int idx, double value, bool normalized);

private:
  static constexpr unsigned kValuesNotice = 1, kProgramListNotice = 2;
  void QueueHostNotices(unsigned notices);
  // Host values echoed back in single precision count as the value they round.
  bool IsHostEcho(int idx, double normalizedValue) const;

  double mSampleRate = 44100.0;
  int mBlockSize = 1024;
  double mTempo = 120.0;
  std::atomic<bool> mBypassed{false};
  IMidiQueue mBlockMidi{kMaxBlockMessages};

  struct DelegateValue {
    std::atomic<bool> pending{false};
    std::atomic<double> value{0.0};
  };
  std::unique_ptr<DelegateValue[]> mDelegateValues;
  std::atomic<unsigned> mHostNotices{0};
  std::atomic<uint32_t> mUIEvents{0};
  std::atomic<bool> mFlushing{false};
};

}  // namespace iplug
