// The module's entry points and the VST3 class factory of the instrument.
#include <atomic>
#include <memory>
#include <mutex>

#include "IPlugVST3Factory.h"
#include "vantorel.h"

namespace iplug {

IPlugVST3* MakePlug(const InstanceInfo& info) {
  // One instance at a time runs its constructor (configuration folder and file work included).
  static std::mutex creationMutex;
  std::lock_guard<std::mutex> lock(creationMutex);
  return new Vantorel(info);
}

}  // namespace iplug

namespace {

Steinberg::FUnknown* createInstance(void* /*context*/) {
  iplug::IPlugVST3* plug = iplug::MakePlug(iplug::InstanceInfo{});
  return static_cast<Steinberg::Vst::IAudioProcessor*>(plug);
}

const iplug::VST3ClassDescription kVantorelClass = {
    "Kestrosa Music",
    "https://www.kestrosamusic.com",
    "mailto:info@kestrosamusic.com",
    Steinberg::PFactoryInfo::kUnicode,
    // 0xF2AEE70D, 0x00DE4F4E, "Ksta", "Vtrl", each most significant byte first.
    {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E, 'K', 's', 't', 'a', 'V', 't', 'r', 'l'},
    0x7FFFFFFF,
    "Audio Module Class",
    "Vantorel",
    2,  // simple mode supported
    "Instrument|Synth",
    "",
    "1.0.1",
    "VST 3.7.3",
    &createInstance,
};

std::atomic<int> moduleCount{0};

}  // namespace

extern "C" {

SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  return iplug::GetVST3Factory(kVantorelClass);
}

// Linux module entry and exit, counted per host call; nothing else to set up or tear down.
SMTG_EXPORT_SYMBOL bool ModuleEntry(void* /*sharedLibraryHandle*/) {
  ++moduleCount;
  return true;
}

SMTG_EXPORT_SYMBOL bool ModuleExit() {
  if (moduleCount.load() > 0) --moduleCount;
  return true;
}

}  // extern "C"
