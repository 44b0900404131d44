#pragma once

// The VST3 binding: one object that is the host's component, audio processor, edit controller, unit
// information and MIDI mapping at once (a single-component plug-in). It translates between the host and
// IPlugAPIBase, which holds the rules: processing set-up and activation, per-block parameter changes, MIDI
// and rendering, host state, the program list and the parameter list the host sees. Its definitions are
// split by concern: IPlugVST3.cpp (life cycle, buses, set-up), IPlugVST3_Process.cpp (the block),
// IPlugVST3_Controller.cpp (parameters, texts, notices to the host), IPlugVST3_State.cpp (host state) and
// IPlugVST3_Units.cpp (the program list).

#include <vector>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/gui/iplugview.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include "IPlugAPIBase.h"

namespace iplug {

class IPlugVST3 : public IPlugAPIBase,
                  public Steinberg::Vst::EditControllerEx1,
                  public Steinberg::Vst::IComponent,
                  public Steinberg::Vst::IAudioProcessor,
                  public Steinberg::Vst::IMidiMapping,
                  public Steinberg::Vst::IProcessContextRequirements {
public:
  using tresult = Steinberg::tresult;
  using int32 = Steinberg::int32;
  using uint32 = Steinberg::uint32;
  using ParamID = Steinberg::Vst::ParamID;
  using ParamValue = Steinberg::Vst::ParamValue;

  // Parameter IDs besides the plug-in's own parameters 0 ... NParams()-1.
  static constexpr ParamID kBypassParam = 65536;
  // The host's program-change parameter ("Preset"); also the ID of the program list "Factory Presets".
  static constexpr ParamID kPresetParam = 65537;
  // Hidden parameters that carry MIDI controllers, pitch wheel, channel pressure and program change
  // through the host's MIDI mapping: kMidiParamBase + channel * 256 + controller number.
  static constexpr ParamID kMidiParamBase = 0x20000;
  static constexpr int kNumMidiChannels = 16;
  static constexpr int kNumMidiControllers = Steinberg::Vst::kCtrlProgramChange + 1;  // 0 ... 127, AT, PB, PC

  explicit IPlugVST3(const Config& config);
  ~IPlugVST3() override;

  // A host context that offers a run loop (Linux::IRunLoop) drives the UI timer (OnTimer) from it, except
  // while an editor with a timer of its own on the host's loop is open.
  tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  tresult PLUGIN_API terminate() override;

  // --- IComponent ---
  tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
  tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
  int32 PLUGIN_API getBusCount(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir) override;
  tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir, int32 index,
                                Steinberg::Vst::BusInfo& bus) override;
  tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo, Steinberg::Vst::RoutingInfo& outInfo) override;
  tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir, int32 index,
                                 Steinberg::TBool state) override;
  // Activation switches processing on (see IPluginBase: threads); repeating the current state is accepted
  // and changes nothing.
  tresult PLUGIN_API setActive(Steinberg::TBool state) override;
  // Host state (component and controller alike): the state record, then the 32-bit bypass flag.
  tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
  tresult PLUGIN_API getState(Steinberg::IBStream* state) override;

  // --- IAudioProcessor ---
  tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, int32 numIns,
                                        Steinberg::Vst::SpeakerArrangement* outputs, int32 numOuts) override;
  tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir, int32 index,
                                       Steinberg::Vst::SpeakerArrangement& arr) override;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
  uint32 PLUGIN_API getLatencySamples() override;
  // Refused while active and for rates outside IPlugAPIBase::kMinSampleRate ... kMaxSampleRate.
  tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  uint32 PLUGIN_API getTailSamples() override;

  // --- IProcessContextRequirements ---
  uint32 PLUGIN_API getProcessContextRequirements() override;

  // --- IEditController ---
  tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
  // The container's parameters, then the hidden MIDI parameters (described when asked, not stored).
  int32 PLUGIN_API getParameterCount() override;
  // The SDK's version throws on an index out of range; this one refuses it.
  tresult PLUGIN_API getParameterInfo(int32 paramIndex, Steinberg::Vst::ParameterInfo& info) override;
  tresult PLUGIN_API getParamStringByValue(ParamID tag, ParamValue valueNormalized,
                                           Steinberg::Vst::String128 string) override;
  tresult PLUGIN_API getParamValueByString(ParamID tag, Steinberg::Vst::TChar* string,
                                           ParamValue& valueNormalized) override;
  ParamValue PLUGIN_API normalizedParamToPlain(ParamID tag, ParamValue valueNormalized) override;
  ParamValue PLUGIN_API plainParamToNormalized(ParamID tag, ParamValue plainValue) override;
  ParamValue PLUGIN_API getParamNormalized(ParamID tag) override;
  // The host sets a parameter on the controller side (SetParameterFromHost; SetProgramFromHost for
  // kPresetParam). Returns kResultTrue on success.
  tresult PLUGIN_API setParamNormalized(ParamID tag, ParamValue value) override;
  // The editor as a view on the host's window (the "editor" view type, when the plug-in has an editor).
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // --- IUnitInfo: one root unit whose program list is "Factory Presets" ---
  int32 PLUGIN_API getUnitCount() override;
  tresult PLUGIN_API getUnitInfo(int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
  int32 PLUGIN_API getProgramListCount() override;
  tresult PLUGIN_API getProgramListInfo(int32 listIndex, Steinberg::Vst::ProgramListInfo& info) override;
  tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                    Steinberg::Vst::String128 name) override;
  tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                    Steinberg::Vst::CString attributeId,
                                    Steinberg::Vst::String128 attributeValue) override;
  tresult PLUGIN_API hasProgramPitchNames(Steinberg::Vst::ProgramListID listId, int32 programIndex) override;
  tresult PLUGIN_API getProgramPitchName(Steinberg::Vst::ProgramListID listId, int32 programIndex,
                                         Steinberg::int16 midiPitch, Steinberg::Vst::String128 name) override;
  tresult PLUGIN_API selectUnit(Steinberg::Vst::UnitID unitId) override;

  // --- IMidiMapping ---
  tresult PLUGIN_API getMidiControllerAssignment(int32 busIndex, Steinberg::int16 channel,
                                                 Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                 ParamID& id) override;

  // --- IConnectionPoint: a single component has no peer; a host that connects it to itself is accepted
  // without keeping a reference (that would be a reference cycle). ---
  tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint* other) override;
  tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint* other) override;
  tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

  // --- IPlugAPIBase notifications ---
  void InformHostOfParamChange(int idx, double normalizedValue) override;
  void InformHostOfProgramChange() override;
  void InformHostOfParamValuesChanged() override;
  void InformHostOfProgramListChanged() override;
  void BeginInformHostOfParamChangeFromUI(int idx) override;
  void EndInformHostOfParamChangeFromUI(int idx) override;
  bool SendMidiMsg(const IMidiMsg& msg) override;

  // --- COM plumbing ---
  OBJ_METHODS(IPlugVST3, Steinberg::Vst::EditControllerEx1)
  DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Vst::IComponent)
    DEF_INTERFACE(Steinberg::Vst::IAudioProcessor)
    DEF_INTERFACE(Steinberg::Vst::IMidiMapping)
    DEF_INTERFACE(Steinberg::Vst::IProcessContextRequirements)
  END_DEFINE_INTERFACES(Steinberg::Vst::EditControllerEx1)
  REFCOUNT_METHODS(Steinberg::Vst::EditControllerEx1)

private:
  class Timer;

  void BuildParameters();
  bool RestoreHostState(Steinberg::IBStream* state);
  void AllocateScratch(int maxBlock);
  void EnsureProcessingSetUp();
  void StartTimer(Steinberg::FUnknown* context);
  void StopTimer();
  void ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes, int nFrames);
  void CollectEvents(Steinberg::Vst::IEventList* events, int nFrames);
  void RenderSpan(Steinberg::Vst::ProcessData& data, int start, int n);
  void SilenceOutputs(Steinberg::Vst::ProcessData& data, int nFrames);
  void SetSilenceFlags(Steinberg::Vst::ProcessData& data, int nFrames);
  void QueueOutputParamChange(ParamID id, double normalizedValue);
  bool IsMidiParam(ParamID id, int& channel, int& controller) const;
  static void MidiParamInfo(int channel, int controller, Steinberg::Vst::ParameterInfo& info);

  // Bus layout from the configuration's channel I/O text.
  int mNumInChans = 0;
  int mNumOutChans = 2;
  bool mOutBusActive = true;
  bool mInBusActive = true;
  bool mMidiInActive = true;
  bool mMidiOutActive = true;

  bool mInitialized = false;
  bool mActive = false;
  bool mSetUp = false;
  int mMaxBlock = 0;

  // Preallocated on the set-up thread; the audio thread only reads and writes their contents.
  std::vector<double> mScratch;       // mNumOutChans * mMaxBlock, 32-bit rendering and missing outputs
  std::vector<double> mInScratch;     // zeroed inputs
  std::vector<double*> mOutPtrs;      // per-channel pointers handed to ProcessBlock
  std::vector<double*> mInPtrs;

  // Per-block context of process(), valid on the audio thread only.
  Steinberg::Vst::IParameterChanges* mOutParamChanges = nullptr;
  Steinberg::Vst::IEventList* mOutEvents = nullptr;
  int mSpanStart = 0;

  // The values of the hidden MIDI parameters, channel by channel (empty while not initialised). Some two
  // thousand of them: kept out of the SDK's container, whose parameter objects cost an instance's start.
  std::vector<double> mMidiParamValues;

  // The UI timer on the host's run loop, when the host context offers one.
  Steinberg::Linux::IRunLoop* mRunLoop = nullptr;
  Timer* mTimer = nullptr;
};

// Creates the plug-in instance for a host (defined by the plug-in's entry unit).
IPlugVST3* MakePlug(const InstanceInfo& info);

}  // namespace iplug
