#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "IPlugAPIBase.h"

// A small plug-in for the framework tests: four parameters and a state record of its own
// (a mark, the current program's name, then the plain values) that refuses a record without its mark.
class TestPlug : public iplug::IPlugAPIBase {
public:
  static constexpr int kNParams = 4;
  static constexpr char kMark[] = "TPst";

  static iplug::Config MakeConfig(int nPresets = 64) {
    iplug::Config c{};
    c.nParams = kNParams;
    c.nPresets = nPresets;
    c.pluginName = "TestPlug";
    c.vendorVersion = 0x00010001;
    c.uniqueID = iplug::MakeFourCC("Vtrl");
    c.mfrID = iplug::MakeFourCC("Ksta");
    return c;
  }

  explicit TestPlug(int nPresets = 64) : IPlugAPIBase(MakeConfig(nPresets)) {
    GetParam(0)->InitDouble("Gain", 0.5, 0.0, 1.0, 0.01);
    GetParam(1)->InitDouble("Cutoff", 0.8, 0.0, 1.0, 0.01, "", 0, "", iplug::IParam::ShapePowCurve(0.5));
    GetParam(2)->InitEnum("Mode", 1, {"A", "B", "C"});
    GetParam(3)->InitDouble("Speed", 4.6, 0.0, 25.0, 0.01, "", 0, "", iplug::IParam::ShapePowCurve(2.0));
  }

  bool SerializeState(iplug::IByteChunk& chunk) const override {
    chunk.PutBytes(kMark, 4);
    chunk.PutStr(GetPresetName(GetCurrentPresetIdx()));
    return SerializeParams(chunk);
  }

  int UnserializeState(const iplug::IByteChunk& chunk, int startPos) override {
    flagSeen.push_back(fullStateRestore);
    char mark[4];
    WDL_String name;
    int pos = chunk.GetBytes(mark, 4, startPos);
    if (pos < 0 || memcmp(mark, kMark, 4) != 0) return -1;
    pos = chunk.GetStr(name, pos);
    if (pos < 0) return -1;
    return UnserializeParams(chunk, pos);
  }

  void OnParamChange(int idx) override { paramChanges.push_back(idx); }
  void OnParamChangeUI(int idx, iplug::EParamSource source) override { uiChanges.emplace_back(idx, source); }
  void OnPresetsModified() override { ++presetsModified; }
  void OnRestoreState() override {
    ++restores;
    IPlugAPIBase::OnRestoreState();
  }
  void OnReset() override { ++resets; }
  void ProcessBlock(double**, double** outputs, int nFrames) override {
    for (int i = 0; i < nFrames; ++i) outputs[0][i] = renderValue;
  }
  void OnNonFiniteOutput() override { ++faults; }
  void InformHostOfParamChange(int idx, double n) override { hostParams.emplace_back(idx, n); }
  void InformHostOfProgramChange() override { hostPrograms.push_back(GetCurrentPresetIdx()); }
  void InformHostOfParamValuesChanged() override { ++hostValueNotices; }
  void InformHostOfProgramListChanged() override { ++hostListNotices; }
  void SendParameterValueFromDelegate(int idx, double value, bool normalized) override {
    if (!DeferDelegateValue(idx, value, normalized)) editorValues.emplace_back(idx, value);
  }
  // Switches processing on or off, as a binding does on activation.
  void SetActive(bool active) { SetProcessingActive(active); }
  // The program list notices the host has received once the UI queue is delivered.
  int HostPresetChanges() {
    FlushUIQueue();
    return hostListNotices;
  }

  void SetValues(double gain, double cutoff, int mode, double speed) {
    GetParam(0)->Set(gain);
    GetParam(1)->Set(cutoff);
    GetParam(2)->Set(mode);
    GetParam(3)->Set(speed);
  }
  std::vector<double> Values() const {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i) v.push_back(GetParam(i)->Value());
    return v;
  }

  std::vector<bool> flagSeen;
  std::vector<int> paramChanges;
  std::vector<std::pair<int, iplug::EParamSource>> uiChanges;
  std::vector<std::pair<int, double>> hostParams, editorValues;
  std::vector<int> hostPrograms;
  int presetsModified = 0, restores = 0, resets = 0, faults = 0, hostValueNotices = 0, hostListNotices = 0;
  double renderValue = 0.0;
};
