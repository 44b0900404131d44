#pragma once

// A VST3 class factory with one class, built once per loaded module. The plug-in's entry unit describes
// its class and hands the description to GetVST3Factory from its exported GetPluginFactory.

#include <cstdint>

#include "pluginterfaces/base/ipluginbase.h"

namespace iplug {

struct VST3ClassDescription {
  // Factory information.
  const char* vendor;
  const char* url;
  const char* email;
  Steinberg::int32 factoryFlags;
  // Class entry.
  uint8_t classID[16];
  Steinberg::int32 cardinality;
  const char* category;
  const char* name;
  Steinberg::uint32 classFlags;
  const char* subCategories;
  const char* classVendor;  // empty: the factory's vendor applies
  const char* version;
  const char* sdkVersion;
  // Makes a new instance and returns one counted reference to it, or nullptr.
  Steinberg::FUnknown* (*createInstance)(void* context);
};

// The module's factory: built from desc on the first call (later descriptions are ignored); every call
// returns it with one more reference for the caller.
Steinberg::IPluginFactory* GetVST3Factory(const VST3ClassDescription& desc);

}  // namespace iplug
