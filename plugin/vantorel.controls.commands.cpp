// The editor's file and program commands: each asks before it overwrites something, shows the file
// dialogs, calls the program, bank and configuration operations and tells of failures.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "IGraphics.h"
#include "synth.h"
#include "vantorel.controls.h"

using iplug::igraphics::EFileAction;
using iplug::igraphics::EMsgBoxResult;
using iplug::igraphics::IGraphics;
using iplug::igraphics::kMB_OK;
using iplug::igraphics::kMB_YESNO;

namespace {

constexpr int kMaxMessageLength = 1024;
constexpr const char* kIllegalFileChars = "\"*/:<>?\\|";
// A program's name proposed as a file name is cut to fit this many bytes with its end.
constexpr size_t kProposedNameSize = 64;
constexpr const char* kBankFileName = "Vantorel";
constexpr const char* kProgramExtension = "fxp";
constexpr const char* kBankExtension = "fxb";
// "Default Path for Program Files..." asks with a save dialog and keeps only the folder.
constexpr const char* kFolderOnlyExtension = " ";
constexpr const char* kIgnoredFileName = "[file name is ignored]";

// The questions and messages of one command, shown in the editor of its control.
struct Dialogs {
  IGraphics& ui;

  EMsgBoxResult ask(const char* caption, const WDL_String& text) {
    return ui.ShowMessageBox(text.Get(), caption, kMB_YESNO);
  }
  void tell(const char* caption, const char* text) { ui.ShowMessageBox(text, caption, kMB_OK); }
  void error(const char* text) { tell("Error", text); }
  // The file chosen in a dialog starting in folder, or "" when cancelled.
  WDL_String chooseFile(EFileAction action, const char* ext, const WDL_String& folder, const char* proposed = "") {
    WDL_String fileName(proposed), path(folder.Get());
    ui.PromptForFile(fileName, path, action, ext);
    return fileName;
  }
  // Runs use on a file chosen in a dialog that starts in folder; folder then becomes the file's, whether
  // use succeeded or not, and a failure is told.
  void withFile(EFileAction action, const char* ext, WDL_String& folder, const char* proposed,
                const std::function<bool(const char* path)>& use) {
    WDL_String f = chooseFile(action, ext, folder, proposed);
    if (f.Empty()) return;
    const bool done = use(f.Get());
    makeNewFilePath(folder, f);
    if (!done) error(action == EFileAction::Open ? "Cannot load file!" : "Cannot save file!");
  }
};

WDL_String formatted(const char* format, const WDL_String& arg) {
  WDL_String text;
  text.SetFormatted(kMaxMessageLength, format, arg.Get());
  return text;
}

}  // namespace

void makeNewFilePath(WDL_String& folder, WDL_String& file) {
  const std::string path = file.Get();
  size_t length = 0;
  for (size_t i = path.size(); i-- > 1;)
    if (path[i] == '/' || path[i] == '\\') {
      length = i;
      break;
    }
  folder.Set(path.substr(0, length).c_str());
}

void replaceIllegalFileChar(char* name) {
  for (char* c = name; c && *c; ++c)
    if (std::strchr(kIllegalFileChars, *c)) *c = '_';
}

void runCommand(iplug::igraphics::IGEditorDelegate* delegate, iplug::igraphics::IControl* control,
                File::Command command) {
  auto* plug = dynamic_cast<Synth*>(delegate);
  IGraphics* ui = control ? control->GetUI() : nullptr;
  if (!plug || !ui) return;
  // Where the file dialogs start, for every instance of the process: set by the first command run.
  static WDL_String pathToPrograms(plug->programPath.Get());
  static WDL_String pathToStartUp(plug->homePath.Get());
  Dialogs dialogs{*ui};
  using iplug::igraphics::kNO;
  using iplug::igraphics::kYES;

  switch (command) {
    case File::CopyProgram:
      plug->copyPreset();
      break;
    case File::PasteProgram:
      if (dialogs.ask("Paste Program", WDL_String("Do you really want to overwrite the current program?")) != kNO)
        plug->pastePreset();
      break;
    case File::InitProgram:
      if (dialogs.ask("Initialize Program", WDL_String("Do you really want to initialize the current program?")) != kNO)
        plug->initProgram();
      break;
    case File::LoadProgram:
      dialogs.withFile(EFileAction::Open, kProgramExtension, pathToPrograms, "",
                       [&](const char* f) { return plug->LoadPresetFromFXP(f); });
      break;
    case File::SaveProgram: {
      char name[kProposedNameSize];
      std::snprintf(name, sizeof name, "%s",
                    iks::utf8Prefix(plug->GetPresetName(plug->GetCurrentPresetIdx()), sizeof name - 1).c_str());
      replaceIllegalFileChar(name);
      // The current sound is stored in its slot first (so also for a bank).
      dialogs.withFile(EFileAction::Save, kProgramExtension, pathToPrograms, name, [&](const char* f) {
        plug->ModifyCurrentPreset();
        return plug->SavePresetAsFXP(f);
      });
      break;
    }
    case File::LoadBank:
      dialogs.withFile(EFileAction::Open, kBankExtension, pathToPrograms, "",
                       [&](const char* f) { return plug->LoadBankFromFXB(f); });
      break;
    case File::SaveBank:
      dialogs.withFile(EFileAction::Save, kBankExtension, pathToPrograms, kBankFileName, [&](const char* f) {
        plug->ModifyCurrentPreset();
        return plug->SaveBankAsFXB(f);
      });
      break;
    case File::SelectStartupBank:
      // New instances load it; this one keeps its sounds.
      dialogs.withFile(EFileAction::Open, kBankExtension, pathToStartUp, "",
                       [&](const char* f) { return plug->setStartupFxb(f) == 0; });
      break;
    case File::LoadStartupBank:
      if (dialogs.ask("Load Startup Bank", formatted("The Startup Bank is:\n%s\n\nDo you really want to reload all programs?",
                                                      plug->startupBankPath)) != kNO &&
          !plug->LoadBankFromFXB(plug->startupBankPath.Get()))
        dialogs.error("Cannot load file!");
      break;
    case File::UnselectStartupBank:
      if (dialogs.ask("Unselect Startup Bank", formatted("The Startup Bank is:\n%s\n\nDo you really want to unselect it?",
                                                          plug->startupBankPath)) != kNO)
        plug->unsetStartupFxb();
      break;
    case File::DefaultProgramPath: {
      const WDL_String& start = pathToPrograms.Empty() ? plug->homePath : pathToPrograms;
      WDL_String f = dialogs.chooseFile(EFileAction::Save, kFolderOnlyExtension, start, kIgnoredFileName);
      if (f.Empty()) break;
      makeNewFilePath(pathToPrograms, f);
      plug->storeProgramPath(&pathToPrograms);
      break;
    }
    case File::ReloadConfiguration:
      if (dialogs.ask("Reload Configuration", formatted("The INI configuration file is:\n%s\n\nDo you really want to reload it?",
                                                         plug->configPath)) == kYES &&
          !plug->loadConfig())
        dialogs.tell("Problem with INI File", "The INI file does not exist.");
      break;
    case File::SaveConfiguration:
      if (dialogs.ask("Save Configuration", formatted("The INI configuration file is:\n%s\n\nDo you really want to overwrite it?",
                                                       plug->configPath)) == kYES)
        plug->saveConfig(Synth::kSaveAll);
      break;
    case File::SaveWindowSize:
      plug->saveConfig(Synth::kSaveWindowSize);
      dialogs.tell("Save Window Size",
                   formatted("The current window size was saved to the INI configuration file:\n%s", plug->configPath).Get());
      break;
    case File::MidiThru:
      plug->midiThru = !plug->midiThru;
      plug->saveConfig(Synth::kSaveMidiThru);
      break;
    case File::IgnoreProgramChange:
      plug->ignoreProgramChange = !plug->ignoreProgramChange;
      plug->saveConfig(Synth::kSaveIgnoreProgramChange);
      break;
    case File::CheckOnline:
      plug->checkVersionAgainstWeb();
      break;
    case File::GlobalMidiSettings:
    case File::WindowSize:
    case File::GoOnline:
    case File::VisitWebSite:
      break;  // submenus, and the web site the menu opens itself
  }
}
