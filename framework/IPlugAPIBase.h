#pragma once

#include "IPlugMidi.h"
#include "IPlugPluginBase.h"

namespace iplug {

// The host-facing side of a plug-in, independent of the plug-in API: processing set-up, the processing
// hooks the instrument overrides, and the plug-in-to-host notifications that an API binding implements.
// The command-line renderer drives this class directly; the VST3 binding (IPlugVST3) drives it for a host.
class IPlugAPIBase : public IPluginBase {
public:
  explicit IPlugAPIBase(const Config& config);

  // --- set-up, called by the host side ---
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  double GetSampleRate() const { return mSampleRate; }
  void SetBlockSize(int blockSize) { mBlockSize = blockSize; }
  int GetBlockSize() const { return mBlockSize; }
  // Sets rate and maximum block size, then resets the instance (OnReset).
  void ResetProcessing(double sampleRate, int blockSize);
  // Host tempo in beats per minute as received with the block (120 until a host says otherwise).
  void SetTempo(double bpm) { mTempo = bpm; }
  double GetTempo() const { return mTempo; }
  void SetBypassed(bool bypassed) { mBypassed = bypassed; }
  bool GetBypassed() const { return mBypassed; }
  // A parameter change from the host: stores the normalised value and applies it (OnParamChange).
  void SetParameterFromHost(int idx, double normalizedValue);

  // --- processing hooks the plug-in overrides ---
  virtual void OnReset() {}
  virtual void OnActivate(bool /*active*/) {}
  virtual void OnIdle() {}
  virtual void ProcessMidiMsg(const IMidiMsg& /*msg*/) {}
  virtual void ProcessBlock(double** /*inputs*/, double** /*outputs*/, int /*nFrames*/) {}

  // --- plug-in to host ---
  // The plug-in sets a parameter itself: stores the value, informs the host and calls OnParamChange.
  void SetParameterValue(int idx, double normalizedValue);
  // A change made in the editor: stores the value and informs the host.
  void SendParameterValueFromUI(int idx, double normalizedValue);
  // Moves the editor's control for parameter idx to value (plain unless normalized).
  virtual void SendParameterValueFromDelegate(int /*idx*/, double /*value*/, bool /*normalized*/) {}
  virtual void InformHostOfParamChange(int /*idx*/, double /*normalizedValue*/) {}
  virtual void InformHostOfPresetChange() {}
  // A loaded bank or program file is a preset change for the host.
  void OnPresetsLoaded() override { InformHostOfPresetChange(); }
  // Sends a message to the plug-in's MIDI output; false where there is none.
  virtual bool SendMidiMsg(const IMidiMsg& /*msg*/) { return false; }

private:
  double mSampleRate = 44100.0;
  int mBlockSize = 1024;
  double mTempo = 120.0;
  bool mBypassed = false;
};

}  // namespace iplug
