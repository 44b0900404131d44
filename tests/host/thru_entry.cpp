// Test-only module: the instrument with MIDI thru switched on from the start (as the configuration file
// would switch it on), so that the host test can watch messages pass through the VST3 binding.
#include "IPlugVST3Factory.h"
#include "vantorel.h"

namespace {

Steinberg::FUnknown* createThruInstance(void* /*context*/) {
  auto* plug = new Vantorel(iplug::InstanceInfo{});
  plug->midiThru = true;
  return static_cast<Steinberg::Vst::IAudioProcessor*>(plug);
}

const iplug::VST3ClassDescription kThruClass = {
    "Kestrosa Music", "", "", Steinberg::PFactoryInfo::kUnicode,
    {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E, 'K', 's', 't', 'a', 'V', 't', 'r', 'l'},
    0x7FFFFFFF, "Audio Module Class", "Vantorel", 2, "Instrument|Synth", "", "1.0.1", "VST 3.7.3",
    &createThruInstance};

}  // namespace

extern "C" {
SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() { return iplug::GetVST3Factory(kThruClass); }
SMTG_EXPORT_SYMBOL bool ModuleEntry(void*) { return true; }
SMTG_EXPORT_SYMBOL bool ModuleExit() { return true; }
}
