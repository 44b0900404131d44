#pragma once

#include "wdlstring.h"

namespace iplug {

// The folder that holds the plug-in bundle "<name>.vst3" this code runs from, with a trailing "/".
// Empty when the code is not loaded from such a bundle (a command-line tool, a test program).
void PluginPath(WDL_String& path, const char* bundleName);

}  // namespace iplug
