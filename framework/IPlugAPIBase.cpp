#include "IPlugAPIBase.h"

#include <algorithm>
#include <cmath>

namespace iplug {

IPlugAPIBase::IPlugAPIBase(const Config& config)
    : IPluginBase(config), mDelegateValues(std::make_unique<DelegateValue[]>(NParams())) {}

bool IPlugAPIBase::ResetProcessing(double sampleRate, int blockSize) {
  if (!(sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate) || blockSize < 1) return false;
  mSampleRate = sampleRate;
  mBlockSize = blockSize;
  OnReset();
  return true;
}

// --- one host block ---

IPlugAPIBase::ProcessScope::ProcessScope(IPlugAPIBase& plug) : mPlug(plug) {
  mPlug.SetAudioThread(true);
  mPlug.mBlockMidi.Clear();
  mPlug.ApplyPendingChanges();
}

IPlugAPIBase::ProcessScope::~ProcessScope() { mPlug.SetAudioThread(false); }

void IPlugAPIBase::DeliverBlockMidi(int start, int end) {
  while (!mBlockMidi.Empty() && mBlockMidi.Peek().mOffset < end) {
    IMidiMsg msg = mBlockMidi.Peek();
    mBlockMidi.Remove();
    msg.mOffset -= start;
    ProcessMidiMsg(msg);
  }
}

void IPlugAPIBase::RenderBlock(double** inputs, double** outputs, int nChans, int nFrames) {
  ProcessBlock(inputs, outputs, nFrames);
  // x * 0 is 0 for every finite x and NaN otherwise; one NaN makes the sum NaN.
  double probe = 0.0;
  for (int c = 0; c < nChans; ++c)
    for (int i = 0; i < nFrames; ++i) probe += outputs[c][i] * 0.0;
  if (probe == 0.0) return;
  for (int c = 0; c < nChans; ++c) std::fill(outputs[c], outputs[c] + nFrames, 0.0);
  OnNonFiniteOutput();
}

// --- parameters ---

bool IPlugAPIBase::IsHostEcho(int idx, double normalizedValue) const {
  const IParam* param = GetParam(idx);
  const double reference = param->ToNormalized(IsAudioThread() ? AppliedValue(idx) : param->Value());
  return normalizedValue == reference || normalizedValue == static_cast<double>(static_cast<float>(reference));
}

void IPlugAPIBase::SetParameterFromHost(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (!param || IsHostEcho(idx, normalizedValue)) return;
  ChangeParam(idx, param->FromNormalized(normalizedValue), kHost);
}

void IPlugAPIBase::SetParameterValue(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (!param || !ChangeParam(idx, param->FromNormalized(normalizedValue), kDelegate)) return;
  if (IsAudioThread()) InformHostOfParamChange(idx, param->GetNormalized());
  else QueueHostNotices(kValuesNotice);
}

void IPlugAPIBase::SendParameterValueFromUI(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (!param) return;
  IPluginBase::SendParameterValueFromUI(idx, normalizedValue);
  InformHostOfParamChange(idx, param->GetNormalized());
}

bool IPlugAPIBase::DeferDelegateValue(int idx, double value, bool normalized) {
  if (!IsAudioThread()) return false;
  const IParam* param = GetParam(idx);
  if (!param) return true;
  DelegateValue& d = mDelegateValues[idx];
  d.value.store(normalized ? value : param->ToNormalized(value), std::memory_order_relaxed);
  d.pending.store(true, std::memory_order_release);
  MarkUIWork();
  return true;
}

// --- programs ---

bool IPlugAPIBase::SetProgramFromHost(double normalizedValue) {
  if (NPresets() <= 0 || !std::isfinite(normalizedValue)) return false;
  const double v = std::clamp(normalizedValue, 0.0, 1.0);
  return RestorePreset(static_cast<int>(std::lround(v * (NPresets() - 1))), true);
}

double IPlugAPIBase::GetProgramNormalized() const {
  return NPresets() > 1 ? static_cast<double>(GetCurrentPresetIdx()) / (NPresets() - 1) : 0.0;
}

void IPlugAPIBase::OnRestoreState() {
  QueueHostNotices(kValuesNotice);
  if (IsAudioThread()) InformHostOfProgramChange();
}

// --- UI thread ---

void IPlugAPIBase::QueueHostNotices(unsigned notices) {
  mHostNotices.fetch_or(notices, std::memory_order_acq_rel);
  MarkUIWork();
}

void IPlugAPIBase::PostUIEvent(int event) {
  if (event < 0 || event > 31) return;
  mUIEvents.fetch_or(uint32_t(1) << event, std::memory_order_acq_rel);
  MarkUIWork();
}

void IPlugAPIBase::FlushUIQueue() {
  if (IsAudioThread() || !TakeUIWork()) return;
  if (mFlushing.exchange(true, std::memory_order_acquire)) {
    MarkUIWork();  // called from within a flush (a host calling back): the outer one or the next takes it
    return;
  }
  DeliverDeferredNotices();
  for (int i = 0; i < NParams(); ++i) {
    DelegateValue& d = mDelegateValues[i];
    if (d.pending.exchange(false, std::memory_order_acq_rel))
      SendParameterValueFromDelegate(i, d.value.load(std::memory_order_relaxed), true);
  }
  const uint32_t events = mUIEvents.exchange(0, std::memory_order_acq_rel);
  for (int e = 0; e < 32; ++e)
    if (events & (uint32_t(1) << e)) OnUIEvent(e);
  const unsigned notices = mHostNotices.exchange(0, std::memory_order_acq_rel);
  if (notices & kProgramListNotice) InformHostOfProgramListChanged();
  if (notices & kValuesNotice) InformHostOfParamValuesChanged();
  mFlushing.store(false, std::memory_order_release);
}

}  // namespace iplug
