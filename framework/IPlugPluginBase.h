#pragma once

#include <memory>
#include <vector>

#include "IPlugParameter.h"
#include "IPlugStructs.h"

namespace iplug {

// One program slot of the bank.
struct IPreset {
  bool mInitialized = false;
  char mName[256] = {0};
  IByteChunk mChunk;  // one state record as written by SerializeState
};

// Parameters, the program bank with its FXB/FXP files, and the state record hooks.
class IPluginBase {
public:
  // Creates config.nParams parameters (uninitialised) and config.nPresets empty program slots.
  explicit IPluginBase(const Config& config);
  virtual ~IPluginBase();
  IPluginBase(const IPluginBase&) = delete;
  IPluginBase& operator=(const IPluginBase&) = delete;

  const Config& GetConfig() const { return mConfig; }
  const char* GetPluginName() const { return mConfig.pluginName; }
  const char* GetMfrName() const { return mConfig.mfrName; }
  const char* GetProductName() const { return mConfig.productName; }
  int GetPluginVersion() const { return mConfig.vendorVersion; }
  int GetUniqueID() const { return mConfig.uniqueID; }
  int GetMfrID() const { return mConfig.mfrID; }
  // Version as major * 10000 + minor * 100 + patch (10001 for 1.0.1), the number FXB/FXP files carry.
  int GetPluginVersionDecimal() const;

  // --- parameters ---
  int NParams() const { return static_cast<int>(mParams.size()); }
  // nullptr for an index outside 0 ... NParams() - 1.
  IParam* GetParam(int idx) { return (idx >= 0 && idx < NParams()) ? mParams[idx].get() : nullptr; }
  const IParam* GetParam(int idx) const { return (idx >= 0 && idx < NParams()) ? mParams[idx].get() : nullptr; }
  // The parameter-change notification: the plug-in applies parameter idx to its engine.
  virtual void OnParamChange(int /*paramIdx*/) {}
  // Applies every parameter again (OnParamChange for each index in order, then the editor-side notice).
  void OnParamReset(EParamSource source);

  // --- state record ---
  // Default state: the plain parameter values as doubles.
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  virtual int UnserializeState(const IByteChunk& chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  // Host project restore: UnserializeState with fullStateRestore set for the duration of the call.
  virtual int unserializeKestrosaState(const IByteChunk& chunk, int startPos);
  // The plain values of all parameters as doubles, in index order.
  bool SerializeParams(IByteChunk& chunk) const;
  // Sets each parameter from the next double (stepped and clamped) and applies them all (OnParamReset);
  // returns the position after the last value, or -1 if the chunk ended first (the rest keep their values).
  int UnserializeParams(const IByteChunk& chunk, int startPos);
  bool fullStateRestore = false;

  // --- program bank ---
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  void SetCurrentPresetIdx(int idx) { mCurrentPresetIdx = idx; }
  IPreset* GetPreset(int idx) { return (idx >= 0 && idx < NPresets()) ? &mPresets[idx] : nullptr; }
  const char* GetPresetName(int idx) const;
  // Applies slot idx (or fills an empty slot with the current sound under the name "user preset N").
  bool RestorePreset(int idx);
  // Stores the current sound in the current slot; renames it if name is given and not empty.
  void ModifyCurrentPreset(const char* name = nullptr);
  // Notice that programs changed (loaded, renamed, restored).
  virtual void OnPresetsModified() {}
  // Notice after a program or state has been restored.
  virtual void OnRestoreState() {}
  // Notice after a bank or program file has been loaded (the API base tells the host).
  virtual void OnPresetsLoaded() {}

  // FXB bank and FXP program files (opaque-chunk forms written; chunk and parameter-list forms read).
  // A load that fails returns false and leaves the slots, the current program and the sound as they were;
  // a save that fails returns false and leaves any existing file untouched.
  bool LoadBankFromFXB(const char* path);
  bool SaveBankAsFXB(const char* path) const;
  bool LoadPresetFromFXP(const char* path);
  bool SavePresetAsFXP(const char* path) const;
  // The same on memory.
  bool LoadBankFromChunk(const IByteChunk& file);
  bool SaveBankAsChunk(IByteChunk& file) const;
  bool LoadPresetFromChunk(const IByteChunk& file);
  bool SavePresetAsChunk(IByteChunk& file) const;

private:
  bool LoadChunkBank(const IByteChunk& file, int nPrograms, const IByteChunk& before);
  bool LoadParamListBank(const IByteChunk& file, int nPrograms);
  bool LoadChunkProgram(const IByteChunk& file);
  bool LoadParamListProgram(const IByteChunk& file);

  Config mConfig;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::vector<IPreset> mPresets;
  int mCurrentPresetIdx = 0;
};

}  // namespace iplug
