// The VST3 binding's controller side: the parameter list the host sees, value texts and conversions,
// values set and read by the host, the MIDI controller mapping, and the notices to the host.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "IPlugVST3.h"
#include "IPlugVST3View.h"
#include "IPlugVST3_Util.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {

namespace {
// The pitch wheel's centre, 8192 of 0 ... 16383.
constexpr double kPitchWheelCentre = 8192.0 / 16383.0;
}  // namespace

void IPlugVST3::BuildParameters() {
  parameters.removeAll();
  for (int i = 0; i < NParams(); ++i) {
    const IParam* p = GetParam(i);
    ParameterInfo info{};
    info.id = static_cast<ParamID>(i);
    ToString128(p->GetName(), info.title);
    ToString128(p->GetName(), info.shortTitle);
    ToString128(p->GetLabel(), info.units);
    info.stepCount = 0;
    const double range = p->GetRange();
    if (p->GetStepped() && p->GetStep() > 0.0 && p->GetShape().exponent == 1.0 && range > 0.0) {
      const double steps = range / p->GetStep();
      if (steps >= 1.0 && steps <= 1.0e6) info.stepCount = static_cast<int32>(std::lround(steps));
    }
    info.defaultNormalizedValue = Clamp01(p->GetDefault(true));
    info.unitId = kRootUnitId;
    info.flags = p->GetCanAutomate() ? ParameterInfo::kCanAutomate : ParameterInfo::kNoFlags;
    if (p->Type() == IParam::kTypeEnum) info.flags |= ParameterInfo::kIsList;
    parameters.addParameter(info);
  }

  {
    ParameterInfo info{};
    info.id = kBypassParam;
    ToString128("Bypass", info.title);
    ToString128("Bypass", info.shortTitle);
    info.stepCount = 1;
    info.defaultNormalizedValue = 0.0;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass | ParameterInfo::kIsList;
    parameters.addParameter(info);
  }

  if (NPresets() > 0) {
    ParameterInfo info{};
    info.id = kPresetParam;
    ToString128("Preset", info.title);
    ToString128("Preset", info.shortTitle);
    info.stepCount = NPresets() - 1;
    info.defaultNormalizedValue = 0.0;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kIsProgramChange | ParameterInfo::kCanAutomate | ParameterInfo::kIsList;
    parameters.addParameter(info);
  }

  mMidiParamValues.clear();
  if (GetConfig().plugDoesMidiIn) {
    mMidiParamValues.assign(kNumMidiChannels * kNumMidiControllers, 0.0);
    for (int ch = 0; ch < kNumMidiChannels; ++ch)
      mMidiParamValues[ch * kNumMidiControllers + kPitchBend] = kPitchWheelCentre;
  }
}

void IPlugVST3::MidiParamInfo(int channel, int controller, ParameterInfo& info) {
  info = ParameterInfo{};
  info.id = kMidiParamBase + static_cast<ParamID>(channel * 256 + controller);
  char title[32];
  if (controller == kAfterTouch) std::snprintf(title, sizeof title, "MIDI Ch%d Pressure", channel + 1);
  else if (controller == kPitchBend) std::snprintf(title, sizeof title, "MIDI Ch%d Pitch Bend", channel + 1);
  else if (controller == kCtrlProgramChange) std::snprintf(title, sizeof title, "MIDI Ch%d Program", channel + 1);
  else std::snprintf(title, sizeof title, "MIDI Ch%d CC %d", channel + 1, controller);
  ToString128(title, info.title);
  ToString128(title, info.shortTitle);
  info.stepCount = 0;
  info.defaultNormalizedValue = controller == kPitchBend ? kPitchWheelCentre : 0.0;
  info.unitId = kRootUnitId;
  info.flags = ParameterInfo::kIsHidden | ParameterInfo::kIsReadOnly;
}

bool IPlugVST3::IsMidiParam(ParamID id, int& channel, int& controller) const {
  if (!GetConfig().plugDoesMidiIn || id < kMidiParamBase) return false;
  const ParamID rel = id - kMidiParamBase;
  channel = static_cast<int>(rel / 256);
  controller = static_cast<int>(rel % 256);
  return channel < kNumMidiChannels && controller < kNumMidiControllers;
}

int32 PLUGIN_API IPlugVST3::getParameterCount() {
  return parameters.getParameterCount() + static_cast<int32>(mMidiParamValues.size());
}

tresult PLUGIN_API IPlugVST3::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kInvalidArgument;
  const int32 stored = parameters.getParameterCount();
  if (paramIndex < stored) return EditControllerEx1::getParameterInfo(paramIndex, info);
  const int midi = paramIndex - stored;
  MidiParamInfo(midi / kNumMidiControllers, midi % kNumMidiControllers, info);
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getParamStringByValue(ParamID tag, ParamValue valueNormalized, String128 string) {
  if (!string || !std::isfinite(valueNormalized)) return kInvalidArgument;
  const double v = Clamp01(valueNormalized);
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) {
    WDL_String text;
    GetParam(static_cast<int>(tag))->GetDisplay(v, true, text);
    ToString128(text.Get(), string);
  } else if (tag == kBypassParam) {
    ToString128(v >= 0.5 ? "On" : "Off", string);
  } else if (tag == kPresetParam && NPresets() > 0) {
    ToString128(GetPresetName(static_cast<int>(std::lround(v * (NPresets() - 1)))), string);
  } else if (IsMidiParam(tag, channel, controller)) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", std::lround(v * (controller == kPitchBend ? 16383.0 : 127.0)));
    ToString128(text, string);
  } else {
    return kResultFalse;
  }
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getParamValueByString(ParamID tag, TChar* string, ParamValue& valueNormalized) {
  if (!string) return kInvalidArgument;
  const std::string text = ToUtf8(string);
  double number = 0.0;
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) {
    const IParam* param = GetParam(static_cast<int>(tag));
    double plain = 0.0;
    if (!param->StringToValue(text.c_str(), plain)) return kResultFalse;
    valueNormalized = param->ToNormalized(plain);
  } else if (tag == kBypassParam) {
    if (text == "On") valueNormalized = 1.0;
    else if (text == "Off") valueNormalized = 0.0;
    else if (ParseNumber(text, number)) valueNormalized = number >= 0.5 ? 1.0 : 0.0;
    else return kResultFalse;
  } else if (tag == kPresetParam && NPresets() > 0) {
    const double last = std::max(NPresets() - 1, 1);
    int found = -1;
    for (int i = 0; i < NPresets() && found < 0; ++i) {
      if (text == GetPresetName(i)) found = i;
    }
    if (found < 0 && ParseNumber(text, number) && number >= 0 && number < NPresets()) {
      found = static_cast<int>(number);
    }
    if (found < 0) return kResultFalse;
    valueNormalized = found / last;
  } else if (IsMidiParam(tag, channel, controller)) {
    if (!ParseNumber(text, number)) return kResultFalse;
    valueNormalized = Clamp01(number / (controller == kPitchBend ? 16383.0 : 127.0));
  } else {
    return kResultFalse;
  }
  return kResultTrue;
}

ParamValue PLUGIN_API IPlugVST3::normalizedParamToPlain(ParamID tag, ParamValue valueNormalized) {
  const double v = std::isfinite(valueNormalized) ? Clamp01(valueNormalized) : 0.0;
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) return GetParam(static_cast<int>(tag))->FromNormalized(v);
  if (tag == kBypassParam) return v >= 0.5 ? 1.0 : 0.0;
  if (tag == kPresetParam && NPresets() > 0) return static_cast<double>(std::lround(v * (NPresets() - 1)));
  if (IsMidiParam(tag, channel, controller)) {
    return static_cast<double>(std::lround(v * (controller == kPitchBend ? 16383.0 : 127.0)));
  }
  return v;
}

ParamValue PLUGIN_API IPlugVST3::plainParamToNormalized(ParamID tag, ParamValue plainValue) {
  if (!std::isfinite(plainValue)) return 0.0;
  int channel = 0, controller = 0;
  if (tag < static_cast<ParamID>(NParams())) return GetParam(static_cast<int>(tag))->ToNormalized(plainValue);
  if (tag == kBypassParam) return plainValue >= 0.5 ? 1.0 : 0.0;
  if (tag == kPresetParam && NPresets() > 1) return Clamp01(plainValue / (NPresets() - 1));
  if (IsMidiParam(tag, channel, controller)) return Clamp01(plainValue / (controller == kPitchBend ? 16383.0 : 127.0));
  return Clamp01(plainValue);
}

ParamValue PLUGIN_API IPlugVST3::getParamNormalized(ParamID tag) {
  if (tag < static_cast<ParamID>(NParams())) return GetParam(static_cast<int>(tag))->GetNormalized();
  if (tag == kBypassParam) return GetBypassed() ? 1.0 : 0.0;
  if (tag == kPresetParam) return GetProgramNormalized();
  int channel = 0, controller = 0;
  if (IsMidiParam(tag, channel, controller) && !mMidiParamValues.empty())
    return mMidiParamValues[channel * kNumMidiControllers + controller];
  return EditControllerEx1::getParamNormalized(tag);
}

tresult PLUGIN_API IPlugVST3::setParamNormalized(ParamID tag, ParamValue value) {
  if (!std::isfinite(value)) return kInvalidArgument;
  const double v = Clamp01(value);
  int channel = 0, controller = 0;
  tresult result = kResultTrue;
  if (tag < static_cast<ParamID>(NParams())) {
    SetParameterFromHost(static_cast<int>(tag), v);
  } else if (tag == kBypassParam) {
    SetBypassed(v >= 0.5);
  } else if (tag == kPresetParam) {
    result = SetProgramFromHost(v) ? kResultTrue : kResultFalse;
  } else if (IsMidiParam(tag, channel, controller)) {
    if (mMidiParamValues.empty()) result = kResultFalse;
    else mMidiParamValues[channel * kNumMidiControllers + controller] = v;
  } else {
    result = kResultFalse;
  }
  // Work left for the UI thread, the notices this change gave rise to included. Only now: a host that
  // re-reads the values on a notice must find its own change among them.
  FlushUIQueue();
  return result;
}

IPlugView* PLUGIN_API IPlugVST3::createView(FIDString name) {
  if (!GetConfig().plugHasUI || !mMakeGraphicsFunc || !name || std::strcmp(name, ViewType::kEditor) != 0)
    return nullptr;
  return new igraphics::IPlugVST3View(*this, static_cast<IEditController*>(this));
}

// ---------------------------------------------------------------------------------------------------------
// MIDI mapping

tresult PLUGIN_API IPlugVST3::getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber midiControllerNumber,
                                                          ParamID& id) {
  if (!GetConfig().plugDoesMidiIn || busIndex != 0 || channel < 0 || channel >= kNumMidiChannels ||
      midiControllerNumber < 0 || midiControllerNumber >= kNumMidiControllers) {
    return kResultFalse;
  }
  id = kMidiParamBase + static_cast<ParamID>(channel * 256 + midiControllerNumber);
  return kResultTrue;
}

// ---------------------------------------------------------------------------------------------------------
// Plug-in to host

void IPlugVST3::InformHostOfParamChange(int idx, double normalizedValue) {
  if (idx < 0 || idx >= NParams()) return;
  if (IsAudioThread()) QueueOutputParamChange(static_cast<ParamID>(idx), normalizedValue);
  else if (componentHandler) performEdit(static_cast<ParamID>(idx), Clamp01(normalizedValue));
}

void IPlugVST3::BeginInformHostOfParamChangeFromUI(int idx) {
  if (idx >= 0 && idx < NParams() && componentHandler) beginEdit(static_cast<ParamID>(idx));
}

void IPlugVST3::EndInformHostOfParamChangeFromUI(int idx) {
  if (idx >= 0 && idx < NParams() && componentHandler) endEdit(static_cast<ParamID>(idx));
}

void IPlugVST3::InformHostOfProgramChange() {
  if (NPresets() <= 0) return;
  if (IsAudioThread()) {
    QueueOutputParamChange(kPresetParam, GetProgramNormalized());
  } else if (componentHandler) {
    beginEdit(kPresetParam);
    performEdit(kPresetParam, GetProgramNormalized());
    endEdit(kPresetParam);
  }
}

void IPlugVST3::InformHostOfParamValuesChanged() {
  if (componentHandler) componentHandler->restartComponent(kParamValuesChanged);
}

void IPlugVST3::InformHostOfProgramListChanged() {
  if (NPresets() > 0) notifyProgramListChange(static_cast<ProgramListID>(kPresetParam), kAllProgramInvalid);
}

}  // namespace iplug
