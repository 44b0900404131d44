#include "IPlugAPIBase.h"

namespace iplug {

IPlugAPIBase::IPlugAPIBase(const Config& config) : IPluginBase(config) {}

void IPlugAPIBase::ResetProcessing(double sampleRate, int blockSize) {
  mSampleRate = sampleRate;
  mBlockSize = blockSize;
  OnReset();
}

void IPlugAPIBase::SetParameterFromHost(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  OnParamChange(idx);
}

void IPlugAPIBase::SetParameterValue(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(idx, param->GetNormalized());
  OnParamChange(idx);
}

void IPlugAPIBase::SendParameterValueFromUI(int idx, double normalizedValue) {
  IParam* param = GetParam(idx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(idx, param->GetNormalized());
}

}  // namespace iplug
