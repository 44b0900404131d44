// How parameter values and program changes cross threads on their way to the engine, and the notices the
// audio thread leaves for the UI thread.
#include <cstdio>
#include <cstring>

#include "IPlugPluginBase.h"

namespace iplug {

// --- bank lock ---

bool IPluginBase::BankLock::TryLock() {
  const std::thread::id me = std::this_thread::get_id();
  if (mOwner.load(std::memory_order_relaxed) == me) {
    ++mDepth;
    return true;
  }
  std::thread::id none;
  if (!mOwner.compare_exchange_strong(none, me, std::memory_order_acquire, std::memory_order_relaxed)) return false;
  mDepth = 1;
  return true;
}

void IPluginBase::BankLock::Lock() {
  // Held by the audio thread only for the time of one restore.
  while (!TryLock()) std::this_thread::yield();
}

void IPluginBase::BankLock::Unlock() {
  if (--mDepth == 0) mOwner.store(std::thread::id(), std::memory_order_release);
}

// --- parameters ---

bool IPluginBase::ChangeParam(int idx, double plain, EParamSource source) {
  IParam* param = GetParam(idx);
  if (!param) return false;
  ParamLane& lane = mLanes[idx];
  if (IsAudioThread()) {
    const double v = param->Constrain(plain);
    if (v == lane.applied) return false;  // the engine has it already
    param->Set(v);
    OnParamChange(idx);
    lane.applied = v;
    DeferParamNotice(idx, source);
    return true;
  }
  const double before = param->Value();
  param->Set(plain);
  if (param->Value() == before) return false;
  if (IsProcessingActive()) {
    lane.changed.store(true, std::memory_order_release);
    mAnyChanged.store(true, std::memory_order_release);
  } else {
    OnParamChange(idx);
    lane.applied = param->Value();
  }
  NotifyParamChangeUI(idx, source);
  return true;
}

void IPluginBase::ApplyAllParams() {
  for (int i = 0; i < NParams(); ++i) {
    const double v = mParams[i]->Value();
    OnParamChange(i);
    mLanes[i].applied = v;
  }
}

void IPluginBase::OnParamReset(EParamSource source) {
  if (IsAudioThread()) {
    ApplyAllParams();
    for (int i = 0; i < NParams(); ++i) DeferParamNotice(i, source);
    return;
  }
  // The values are stored before the mark, so the audio thread takes them all in one block.
  if (IsProcessingActive()) mResetPending.store(true, std::memory_order_release);
  else ApplyAllParams();
  for (int i = 0; i < NParams(); ++i) NotifyParamChangeUI(i, source);
}

void IPluginBase::SendParameterValueFromUI(int idx, double normalizedValue) {
  if (IParam* param = GetParam(idx)) ChangeParam(idx, param->FromNormalized(normalizedValue), kUI);
}

void IPluginBase::SetProcessingActive(bool active) {
  if (active) {
    // Everything stored so far has been applied on the storing thread.
    for (int i = 0; i < NParams(); ++i) {
      mLanes[i].applied = mParams[i]->Value();
      mLanes[i].changed.store(false, std::memory_order_relaxed);
    }
    mAnyChanged.store(false, std::memory_order_relaxed);
    mResetPending.store(false, std::memory_order_relaxed);
    mProcessingActive.store(true, std::memory_order_release);
  } else {
    mProcessingActive.store(false, std::memory_order_release);
    ApplyPendingChanges();  // the audio thread has stopped: what it left is applied here
  }
}

void IPluginBase::ApplyPendingChanges() {
  const int request = mPendingProgram.exchange(kNoProgram, std::memory_order_acq_rel);
  if (request != kNoProgram) RestorePreset(request & ~kUnlessCurrentFlag, (request & kUnlessCurrentFlag) != 0);
  if (mResetPending.exchange(false, std::memory_order_acq_rel)) {
    for (int i = 0; i < NParams(); ++i) mLanes[i].changed.store(false, std::memory_order_relaxed);
    ApplyAllParams();
    return;
  }
  if (!mAnyChanged.exchange(false, std::memory_order_acq_rel)) return;
  for (int i = 0; i < NParams(); ++i) {
    ParamLane& lane = mLanes[i];
    if (!lane.changed.exchange(false, std::memory_order_acq_rel)) continue;
    const double v = mParams[i]->Value();
    if (v == lane.applied) continue;  // changed and changed back
    OnParamChange(i);
    lane.applied = v;
  }
}

// --- programs ---

bool IPluginBase::RestorePreset(int idx, bool unlessCurrent) {
  if (!GetPreset(idx)) return false;
  return IsAudioThread() ? RestorePresetOnAudioThread(idx, unlessCurrent) : RestorePresetOnUIThread(idx, unlessCurrent);
}

bool IPluginBase::RestorePresetOnAudioThread(int idx, bool unlessCurrent) {
  if (!mBankLock.TryLock()) {
    // A UI thread is writing the bank: try again at the start of the next block.
    mPendingProgram.store(idx | (unlessCurrent ? kUnlessCurrentFlag : 0), std::memory_order_release);
    return true;
  }
  IPreset& preset = mPresets[idx];
  bool ok = true;
  bool restored = false;
  if (unlessCurrent && idx == GetCurrentPresetIdx()) {
    // nothing to do
  } else if (!preset.mInitialized) {
    // Filling an empty slot changes no sound; it is left to the UI thread, which may allocate.
    mDeferredProgram.store(idx | (unlessCurrent ? kUnlessCurrentFlag : 0), std::memory_order_release);
    MarkUIWork();
  } else if (UnserializeState(preset.mChunk, 0) >= 1) {
    SetCurrentPresetIdx(idx);
    restored = true;
  } else {
    ok = false;
  }
  mBankLock.Unlock();
  if (restored) {
    mPresetsModifiedPending.store(true, std::memory_order_release);
    MarkUIWork();
    OnRestoreState();
  }
  return ok;
}

bool IPluginBase::RestorePresetOnUIThread(int idx, bool unlessCurrent) {
  BankScope bank(mBankLock);
  if (unlessCurrent && idx == GetCurrentPresetIdx()) return true;
  IPreset& preset = mPresets[idx];
  if (!preset.mInitialized) {
    // First use of an empty slot: it takes the current sound under a new user preset name.
    preset.mChunk.Clear();
    if (!SerializeState(preset.mChunk)) {
      preset.mChunk.Clear();
      return false;
    }
    int nUser = 0;
    for (const IPreset& p : mPresets) nUser += strstr(p.mName, "user preset") ? 1 : 0;
    preset.mInitialized = true;
    snprintf(preset.mName, sizeof preset.mName, "user preset %d", nUser + 1);
  } else if (UnserializeState(preset.mChunk, 0) < 1) {
    return false;
  }
  SetCurrentPresetIdx(idx);
  OnPresetsModified();
  OnRestoreState();
  return true;
}

// --- notices for the UI thread ---

void IPluginBase::DeferParamNotice(int idx, EParamSource source) {
  mLanes[idx].uiNotice.store(static_cast<int>(source), std::memory_order_release);
  MarkUIWork();
}

void IPluginBase::NotifyParamChangeUI(int idx, EParamSource source) {
  if (source != kUI) SendParameterValueFromDelegate(idx, mParams[idx]->GetNormalized(), true);
  OnParamChangeUI(idx, source);
}

void IPluginBase::DeliverDeferredNotices() {
  const int fill = mDeferredProgram.exchange(kNoProgram, std::memory_order_acq_rel);
  if (fill != kNoProgram) RestorePreset(fill & ~kUnlessCurrentFlag, (fill & kUnlessCurrentFlag) != 0);
  for (int i = 0; i < NParams(); ++i) {
    const int source = mLanes[i].uiNotice.exchange(-1, std::memory_order_acq_rel);
    if (source >= 0) NotifyParamChangeUI(i, static_cast<EParamSource>(source));
  }
  if (mPresetsModifiedPending.exchange(false, std::memory_order_acq_rel)) OnPresetsModified();
}

}  // namespace iplug
