#pragma once

#include "wdlstring.h"

namespace iplug {

// The folder that holds the plug-in bundle "<name>.vst3" this code runs from, with a trailing "/".
// Empty when the code is not loaded from such a bundle (a command-line tool, a test program).
void PluginPath(WDL_String& path, const char* bundleName);

// The user's Music folder, without a trailing "/": XDG_MUSIC_DIR of ~/.config/user-dirs.dirs when that
// file sets it (its "$HOME/..." form expanded), else ~/Music, with ~ the value of HOME (or the user's
// home folder from the password database when HOME is unset). Empty when no home folder is known.
void SharedMusicPath(WDL_String& path);

}  // namespace iplug
