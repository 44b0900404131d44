#pragma once

#include <atomic>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "IGEditorDelegate.h"
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
//
// Threads. The audio thread is the thread inside a processing scope (IPlugAPIBase::ProcessScope, one host
// block); every other thread counts as a UI thread. While processing is active the audio thread owns the
// engine: a parameter value stored on a UI thread is marked, and the audio thread applies it
// (OnParamChange) at the start of its next block, before that block's own changes and MIDI. While
// processing is not active, values are applied at once on the thread that stores them. Either way a value
// reaches the engine exactly once, and a value equal to the one the engine has does not reach it again.
// UI-thread notices (OnParamChangeUI, OnPresetsModified) of changes made on the audio thread wait for the
// UI thread (IPlugAPIBase::FlushUIQueue).
//
// The plug-in is its editor's delegate: every change that does not come from the editor itself reaches
// the editor's controls on the UI thread, with OnParamChangeUI.
class IPluginBase : public igraphics::IGEditorDelegate {
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
  int NParams() const final { return static_cast<int>(mParams.size()); }
  // nullptr for an index outside 0 ... NParams() - 1.
  IParam* GetParam(int idx) final { return (idx >= 0 && idx < NParams()) ? mParams[idx].get() : nullptr; }
  const IParam* GetParam(int idx) const { return (idx >= 0 && idx < NParams()) ? mParams[idx].get() : nullptr; }
  // The parameter-change notification: the plug-in applies parameter idx to its engine. Runs on the audio
  // thread while processing is active, else on the thread that changed the value.
  virtual void OnParamChange(int /*paramIdx*/) {}
  // UI-thread notice that parameter idx changed (editor controls, MIDI learn): on the thread of the change
  // unless that is the audio thread, then deferred to the UI thread.
  virtual void OnParamChangeUI(int /*paramIdx*/, EParamSource /*source*/) {}
  // Applies every parameter again (OnParamChange for each index in order, whatever its value), with the
  // UI notices.
  void OnParamReset(EParamSource source);
  // An edit in the editor: stores the value, which reaches the engine as any other change (the API base
  // also tells the host).
  void SendParameterValueFromUI(int idx, double normalizedValue) override;
  void BeginInformHostOfParamChangeFromUI(int /*idx*/) override {}
  void EndInformHostOfParamChangeFromUI(int /*idx*/) override {}

  // --- threads ---
  bool IsAudioThread() const { return mAudioThread.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
  bool IsProcessingActive() const { return mProcessingActive.load(std::memory_order_acquire); }

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
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx.load(std::memory_order_acquire); }
  void SetCurrentPresetIdx(int idx) { mCurrentPresetIdx.store(idx, std::memory_order_release); }
  IPreset* GetPreset(int idx) { return (idx >= 0 && idx < NPresets()) ? &mPresets[idx] : nullptr; }
  const char* GetPresetName(int idx) const;
  // Applies slot idx and makes it current (or fills an empty slot with the current sound under the name
  // "user preset N"); with unlessCurrent, nothing happens when idx is current already. Any thread: on the
  // audio thread the slot is read without waiting or allocating; if a UI thread is writing the bank at
  // that moment, or the slot is empty, the request is carried out at the next block or on the UI thread.
  bool RestorePreset(int idx, bool unlessCurrent = false);
  // Stores the current sound in the current slot; renames it if name is given and not empty.
  void ModifyCurrentPreset(const char* name = nullptr);
  // UI-thread notice that programs changed (loaded, renamed, restored); deferred to the UI thread for a
  // program restored on the audio thread.
  virtual void OnPresetsModified() {}
  // Notice after a program has been restored, on the thread that restored it (the audio thread included).
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

protected:
  // Stores a plain value for parameter idx and delivers it to the engine (see Threads above). Returns false
  // if the value equals the one the engine has (on the audio thread) or the one stored (elsewhere).
  bool ChangeParam(int idx, double plain, EParamSource source);
  // The binding switches processing on when the host activates the plug-in and off when it deactivates it;
  // switched off, the changes the audio thread has not taken yet are applied on the calling thread.
  void SetProcessingActive(bool active);
  // The value the engine has for parameter idx (NaN before the first application); audio thread.
  double AppliedValue(int idx) const { return mLanes[idx].applied; }
  // Audio thread, start of a block: the program request left over and the values marked by UI threads.
  void ApplyPendingChanges();
  void SetAudioThread(bool inside) {
    mAudioThread.store(inside ? std::this_thread::get_id() : std::thread::id(), std::memory_order_relaxed);
  }
  // UI thread: the notices deferred by the audio thread, and an empty slot it was asked to restore.
  void DeliverDeferredNotices();
  // Marks work for the UI thread; TakeUIWork clears the mark and says whether there was any.
  void MarkUIWork() { mUIWork.store(true, std::memory_order_release); }
  bool TakeUIWork() { return mUIWork.exchange(false, std::memory_order_acq_rel); }

private:
  // Guards the slots' records against being read on the audio thread while a UI thread writes them. UI
  // threads wait for it (and may take it again while holding it); the audio thread only tries.
  class BankLock {
  public:
    bool TryLock();
    void Lock();
    void Unlock();

  private:
    std::atomic<std::thread::id> mOwner{};
    int mDepth = 0;  // touched by the owner only
  };
  struct BankScope {
    explicit BankScope(BankLock& lock) : mLock(lock) { mLock.Lock(); }
    ~BankScope() { mLock.Unlock(); }
    BankLock& mLock;
  };
  // Per-parameter state of the path to the engine.
  struct ParamLane {
    std::atomic<bool> changed{false};  // stored on a UI thread, not yet applied by the audio thread
    std::atomic<int> uiNotice{-1};     // source of a deferred OnParamChangeUI, or -1
    double applied = std::numeric_limits<double>::quiet_NaN();  // the value the engine has
  };
  static constexpr int kNoProgram = -1;
  static constexpr int kUnlessCurrentFlag = 1 << 20;  // in a carried-over program request

  bool RestorePresetOnAudioThread(int idx, bool unlessCurrent);
  bool RestorePresetOnUIThread(int idx, bool unlessCurrent);
  void DeferParamNotice(int idx, EParamSource source);
  // UI thread: the editor's controls follow a change made elsewhere, then OnParamChangeUI.
  void NotifyParamChangeUI(int idx, EParamSource source);
  void ApplyAllParams();
  bool LoadChunkBank(const IByteChunk& file, int nPrograms, const IByteChunk& before);
  bool LoadParamListBank(const IByteChunk& file, int nPrograms);
  bool LoadChunkProgram(const IByteChunk& file);
  bool LoadParamListProgram(const IByteChunk& file);

  Config mConfig;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::vector<IPreset> mPresets;
  std::atomic<int> mCurrentPresetIdx{0};
  BankLock mBankLock;

  std::unique_ptr<ParamLane[]> mLanes;
  std::atomic<std::thread::id> mAudioThread{};
  std::atomic<bool> mProcessingActive{false};
  std::atomic<bool> mAnyChanged{false};       // some lane is marked changed
  std::atomic<bool> mResetPending{false};     // a UI thread reset every parameter
  std::atomic<int> mPendingProgram{kNoProgram};   // a restore the audio thread could not make yet
  std::atomic<int> mDeferredProgram{kNoProgram};  // an empty slot to fill on the UI thread
  std::atomic<bool> mPresetsModifiedPending{false};
  std::atomic<bool> mUIWork{false};
};

}  // namespace iplug
