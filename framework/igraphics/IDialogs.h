#pragma once

// The questions an editor asks its user and the pages it opens: message boxes, file dialogs and web
// addresses. A graphics context holds one IDialogs (IGraphics::SetDialogs); its ShowMessageBox,
// PromptForFile and OpenURL go through it, and every call blocks until the user has answered.
//
// On Linux the desktop's dialog programs are used when one is installed (zenity, else kdialog), each a
// window of its own; without either the editor window shows its own modal box over the panel. Web
// addresses open in the desktop's browser (xdg-open), which runs on its own.

#include <memory>
#include <string>

#include "IGraphicsStructs.h"
#include "wdlstring.h"

namespace iplug {
namespace igraphics {

class IGraphics;

class IDialogs {
public:
  virtual ~IDialogs() = default;
  // Shows text with the buttons of type; returns the button pressed (closing the box presses the last).
  virtual EMsgBoxResult MessageBox(const char* text, const char* caption, EMsgBoxType type) = 0;
  // Asks for a file in folder with extension ext (none if blank), fileName proposing a name. Returns true
  // with fileName the chosen file's full path, or false when cancelled. A file to save gets the extension
  // when its name has none; an existing file is replaced only after the user agreed.
  virtual bool PromptForFile(WDL_String& fileName, const char* folder, EFileAction action, const char* ext) = 0;
  // Opens url in the browser without waiting for it; false if no browser could be started.
  virtual bool OpenURL(const char* url) = 0;
};

// The editor window's own modal boxes (nothing can be answered where no window can show them: the boxes
// answer as if closed).
std::unique_ptr<IDialogs> MakeWindowDialogs(IGraphics& g);
// The desktop's dialog programs when one is installed, else the window's own boxes.
std::unique_ptr<IDialogs> MakeDesktopDialogs(IGraphics& g);

// Starts the desktop's browser on url, detached; false if it could not be started.
bool LaunchBrowser(const char* url);

// --- for implementations ---
// name in folder: name itself when absolute, "~/..." in the home folder, folder + "/" when name is empty.
std::string JoinPath(const char* folder, const char* name);
// path ending in "." + ext (added unless it is there in any case; nothing for a blank ext).
std::string WithExtension(const std::string& path, const char* ext);
// The end of every file dialog: a file to save gets its extension and, if it exists and the user was not
// asked yet (replaceConfirmed), replaces it only after a yes; fileName becomes path. False when no file
// was named or the user did not want it replaced.
bool FinishFileChoice(IDialogs& dialogs, WDL_String& fileName, std::string path, EFileAction action,
                      const char* ext, bool replaceConfirmed);

// The buttons of a message box type, left to right: their labels and results.
struct MsgBoxButtons {
  int n;
  const char* labels[3];
  EMsgBoxResult results[3];
};
MsgBoxButtons ButtonsOf(EMsgBoxType type);

}  // namespace igraphics
}  // namespace iplug
