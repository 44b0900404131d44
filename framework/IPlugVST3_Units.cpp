// The VST3 binding's unit information: one root unit whose program list, "Factory Presets", is the
// plug-in's program bank.
#include "IPlugVST3.h"
#include "IPlugVST3_Util.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace iplug {

int32 PLUGIN_API IPlugVST3::getUnitCount() { return 1; }

tresult PLUGIN_API IPlugVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kInvalidArgument;
  info = UnitInfo{};
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  ToString128("Root", info.name);
  info.programListId = NPresets() > 0 ? static_cast<ProgramListID>(kPresetParam) : kNoProgramListId;
  return kResultTrue;
}

int32 PLUGIN_API IPlugVST3::getProgramListCount() { return NPresets() > 0 ? 1 : 0; }

tresult PLUGIN_API IPlugVST3::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0 || NPresets() <= 0) return kInvalidArgument;
  info = ProgramListInfo{};
  info.id = static_cast<ProgramListID>(kPresetParam);
  ToString128("Factory Presets", info.name);
  info.programCount = NPresets();
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != static_cast<ProgramListID>(kPresetParam) || programIndex < 0 || programIndex >= NPresets() || !name) {
    return kInvalidArgument;
  }
  ToString128(GetPresetName(programIndex), name);
  return kResultTrue;
}

tresult PLUGIN_API IPlugVST3::getProgramInfo(ProgramListID /*listId*/, int32 /*programIndex*/,
                                             Steinberg::Vst::CString /*attributeId*/, String128 /*attributeValue*/) {
  return kResultFalse;
}

tresult PLUGIN_API IPlugVST3::hasProgramPitchNames(ProgramListID /*listId*/, int32 /*programIndex*/) {
  return kResultFalse;
}

tresult PLUGIN_API IPlugVST3::getProgramPitchName(ProgramListID /*listId*/, int32 /*programIndex*/,
                                                  int16 /*midiPitch*/, String128 /*name*/) {
  return kResultFalse;
}

tresult PLUGIN_API IPlugVST3::selectUnit(UnitID unitId) {
  if (unitId != kRootUnitId) return kInvalidArgument;
  selectedUnit = unitId;
  return kResultTrue;
}

}  // namespace iplug
