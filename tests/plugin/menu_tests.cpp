// The editor's menus and commands driven as a user drives them: the program list and renaming in place,
// the option menu's states, every command with its questions answered (files in the run's own home
// folder), the folders the file dialogs remember for every instance, and the window-size menus.
#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "editor_util.h"
#include "wdlprofile.h"
#include "website.h"

namespace {

using namespace edtest;
namespace fs = std::filesystem;
using Box = std::pair<std::string, std::string>;  // caption, text

std::string readFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class Menus : public EditorTest {
protected:
  void clickNumber() { clickAt(1480, 612); }
  void clickName() { clickAt(1700, 612); }
  std::string name() { return plug->GetPresetName(plug->GetCurrentPresetIdx()); }
  fs::path folder(const char* leaf) const {
    const fs::path path = fs::path(getenv("HOME")) / leaf;
    fs::create_directories(path);
    return path;
  }
  std::string ini() { return readFile(plug->configPath.Get()); }
  std::vector<Box> boxes() const {
    std::vector<Box> shown;
    for (const auto& b : dialogs->boxes) shown.emplace_back(b.caption, b.text);
    return shown;
  }
  // Whether the current program's stored state is the current sound.
  bool stored() {
    iplug::IByteChunk now;
    plug->SerializeState(now);
    const iplug::IByteChunk& slot = plug->GetPreset(plug->GetCurrentPresetIdx())->mChunk;
    return slot.Size() == now.Size() && std::equal(now.GetData(), now.GetData() + now.Size(), slot.GetData());
  }
};

TEST_F(Menus, ProgramListChoosesAndTheNameIsEditedInPlace) {
  const std::string longName = "Seventh program, whose name runs on and on";
  plug->changePreset(7);
  plug->ModifyCurrentPreset(longName.c_str());
  clickNumber();
  ASSERT_TRUE(menuOpen());
  IPopupMenu* list = menu()->GetLevelMenu(0);
  const char* titles[] = {"00 - 15", "16 - 31", "32 - 47", "48 - 63"};
  ASSERT_EQ(list->NItems(), 4);
  for (int bank = 0; bank < 4; ++bank) {
    EXPECT_STREQ(list->GetItemText(bank), titles[bank]);
    const IPopupMenu* programs = list->GetItem(bank)->GetSubmenu();
    ASSERT_EQ(programs->NItems(), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(programs->GetItem(i)->GetChecked(), 16 * bank + i == 7);
  }
  EXPECT_EQ(list->GetItem(0)->GetSubmenu()->GetItemText(7), ("07: " + longName).substr(0, 31));
  // Position 4 of "32 - 47" is program 36.
  clickItem(0, 2);
  clickItem(1, 4);
  EXPECT_FALSE(menuOpen());
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 36);

  // Escape, or a click outside (here on the learn switch, which it does not reach), dismisses the list.
  clickNumber();
  key(kVK_ESCAPE);
  EXPECT_FALSE(menuOpen());
  clickNumber();
  click(g->GetControlWithTag(GUI::MidiLearnSwitch));
  EXPECT_FALSE(menuOpen());
  EXPECT_EQ(g->GetControlWithTag(GUI::MidiLearnSwitch)->GetValue(), 0.0);
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 36);
  // The keyboard: Down to the first bank, Right into it, Down twice, Enter.
  clickNumber();
  key(kVK_DOWN);
  key(kVK_RIGHT);
  ASSERT_EQ(menu()->NLevels(), 2);
  EXPECT_EQ(menu()->GetHighlighted(1), 0);
  key(kVK_DOWN);
  key(kVK_DOWN);
  key(kVK_RETURN);
  EXPECT_EQ(plug->GetCurrentPresetIdx(), 2);

  // Renaming: the field holds the name, all of it selected; a 40-character name keeps its first 27.
  const std::string before = name();
  auto entryShown = [&] {  // the entry's white field over the name (its edge, left of any text)
    g->DrawDirty();
    cairo_surface_t* window = g->GetBackBuffer();
    cairo_surface_flush(window);
    const auto* pixels = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(window));
    return pixels[298 * cairo_image_surface_get_stride(window) / 4 + 780] == 0xFFFFFFFFu;
  };
  EXPECT_FALSE(entryShown());
  clickName();
  ASSERT_TRUE(g->GetTextEntryControl()->IsOpen());
  EXPECT_TRUE(entryShown());
  EXPECT_EQ(g->GetTextEntryControl()->GetEdit().Str(), before);
  type("abcdefghijklmnopqrstuvwxyz0123456789ABCD");
  key(kVK_RETURN);
  EXPECT_EQ(name(), "abcdefghijklmnopqrstuvwxyz0");
  // Escape leaves the name; an empty name keeps it too, but the current sound is stored.
  clickName();
  type("Other");
  key(kVK_ESCAPE);
  EXPECT_EQ(name(), "abcdefghijklmnopqrstuvwxyz0");
  plug->SendParameterValueFromUI(25, 0.125);
  EXPECT_FALSE(stored());
  clickName();
  key(kVK_BACK);
  key(kVK_RETURN);
  EXPECT_EQ(name(), "abcdefghijklmnopqrstuvwxyz0");
  EXPECT_TRUE(stored());
}

TEST_F(Menus, OptionMenuFollowsThePlugin) {
  auto open = [&] {
    click(find<IKSOptionMenu>());
    return menu()->GetLevelMenu(0);
  };
  IPopupMenu* m = open();
  ASSERT_EQ(m->NItems(), 22);
  for (int separator : {3, 8, 12, 17, 20}) EXPECT_TRUE(m->GetItem(separator)->GetIsSeparator());
  EXPECT_STREQ(m->GetItemText(13), "Default Path for Program Files...");
  EXPECT_STREQ(m->GetItem(21)->GetSubmenu()->GetItemText(1), (std::string("Visit ") + makerSite().name).c_str());
  for (int disabled : {1, 10, 11}) EXPECT_FALSE(m->GetItem(disabled)->GetEnabled()) << disabled;
  EXPECT_FALSE(m->GetItem(14)->GetSubmenu()->GetItem(0)->GetChecked());
  key(kVK_ESCAPE);

  plug->copyPreset();
  plug->setStartupFxb("/startup.fxb");
  plug->ignoreProgramChange = true;
  m = open();
  for (int enabled : {1, 10, 11}) EXPECT_TRUE(m->GetItem(enabled)->GetEnabled()) << enabled;
  EXPECT_FALSE(m->GetItem(14)->GetSubmenu()->GetItem(0)->GetChecked());
  EXPECT_TRUE(m->GetItem(14)->GetSubmenu()->GetItem(1)->GetChecked());
  key(kVK_ESCAPE);

  // The pointer is a hand over the button only.
  const IRECT& button = find<IKSOptionMenu>()->GetRECT();
  g->OnMouseOver(button.MW(), button.MH(), IMouseMod());
  EXPECT_EQ(g->GetMouseCursor(), ECursor::HAND);
  g->OnMouseOver(1000, 500, IMouseMod());
  EXPECT_EQ(g->GetMouseCursor(), ECursor::ARROW);
}

TEST_F(Menus, EveryCommandRunsWithItsQuestionsAnswered) {
  const fs::path dir = folder("commands");
  fs::create_directories(dir / "progs");
  fs::create_directories(dir / "banks");
  auto at = [&](const char* leaf) { return (dir / leaf).string(); };
  constexpr int kCutoff = 25;
  auto cutoff = [&] { return plug->GetParam(kCutoff)->GetNormalized(); };
  auto setCutoff = [&](double v) { plug->SendParameterValueFromUI(kCutoff, v); };
  auto prompt = [&] { return dialogs->prompts.at(0); };
  const std::string config = plug->configPath.Get(), startup = at("banks/bank.fxb");
  const std::string configQuestion = "The INI configuration file is:\n" + config + "\n\nDo you really want to ";
  const std::string startupIs = "The Startup Bank is:\n" + startup + "\n\nDo you really want to ";
  const Box error = {"Error", "Cannot load file!"};

  // In order, each step on the state the last left.
  struct Step {
    const char* what;
    int position, sub;
    std::vector<EMsgBoxResult> answers;
    std::vector<std::string> files;  // in dir; "" cancels
    std::function<void()> before;
    std::vector<Box> boxes;
    std::function<void()> check;
  };
  const Step steps[] = {
      {"copy", File::CopyProgram, -1, {}, {},
       [&] {
         plug->changePreset(4);
         plug->ModifyCurrentPreset("Bass");
         setCutoff(0.3);
       },
       {},
       [&] {
         EXPECT_EQ(plug->copiedProgramIndex, 4);
         plug->changePreset(9);
       }},
      {"paste, answered no", File::PasteProgram, -1, {kNO}, {}, nullptr,
       {{"Paste Program", "Do you really want to overwrite the current program?"}}, [&] { EXPECT_NE(name(), "Bass"); }},
      {"paste", File::PasteProgram, -1, {kYES}, {}, nullptr,
       {{"Paste Program", "Do you really want to overwrite the current program?"}},
       [&] {
         EXPECT_EQ(name(), "Bass");
         EXPECT_NEAR(cutoff(), 0.3, 1e-9);
       }},
      {"init", File::InitProgram, -1, {kYES}, {}, nullptr,
       {{"Initialize Program", "Do you really want to initialize the current program?"}},
       [&] {
         EXPECT_EQ(name(), "Init");
         EXPECT_DOUBLE_EQ(cutoff(), plug->GetParam(kCutoff)->GetDefault(true));
       }},
      {"save program", File::SaveProgram, -1, {}, {"progs/A.fxp"},
       [&] {
         plug->ModifyCurrentPreset("A/B: C?");
         setCutoff(0.6);
       },
       {},
       [&] {
         EXPECT_EQ(prompt().name, "A_B_ C_");
         EXPECT_EQ(prompt().action, EFileAction::Save);
         EXPECT_EQ(prompt().ext, "fxp");
         EXPECT_EQ(readFile(at("progs/A.fxp")).substr(28, 8), std::string("A/B: C?\0", 8));
         EXPECT_TRUE(stored());
       }},
      {"load program", File::LoadProgram, -1, {}, {"progs/A.fxp"}, [&] { setCutoff(0.1); }, {},
       [&] {
         EXPECT_EQ(prompt().folder, at("progs"));
         EXPECT_EQ(prompt().action, EFileAction::Open);
         EXPECT_EQ(prompt().ext, "fxp");
         EXPECT_NEAR(cutoff(), 0.6, 1e-9);
       }},
      {"load program, cancelled", File::LoadProgram, -1, {}, {""}, nullptr, {}, nullptr},
      {"load a refused program", File::LoadProgram, -1, {}, {"progs/bad.fxp"},
       [&] { std::ofstream(at("progs/bad.fxp")) << "no program"; }, {error}, nullptr},
      {"save a program nowhere", File::SaveProgram, -1, {}, {"missing/x.fxp"}, nullptr, {{"Error", "Cannot save file!"}},
       nullptr},
      {"save bank", File::SaveBank, -1, {}, {"banks/bank.fxb"}, nullptr, {},
       [&] {
         // The folder of the failed save is remembered too.
         EXPECT_EQ(prompt().folder, at("missing"));
         EXPECT_EQ(prompt().name, "Vantorel");
         EXPECT_EQ(prompt().ext, "fxb");
         const std::string bank = readFile(startup);
         EXPECT_EQ(bank.substr(0, 4), "CcnK");
         EXPECT_EQ(bank.substr(16, 4), "Vtrl");
       }},
      {"load bank", File::LoadBank, -1, {}, {"banks/bank.fxb"}, [&] { plug->ModifyCurrentPreset("Renamed"); }, {},
       [&] {
         EXPECT_EQ(prompt().folder, at("banks"));
         EXPECT_EQ(name(), "A/B: C?");
       }},
      {"select startup bank", File::SelectStartupBank, -1, {}, {"banks/bank.fxb"},
       [&] { plug->ModifyCurrentPreset("Kept"); }, {},
       [&] {
         EXPECT_EQ(prompt().action, EFileAction::Open);
         EXPECT_EQ(plug->startupBankPath.Get(), startup);
         EXPECT_NE(ini().find("File=" + startup), std::string::npos);
         EXPECT_EQ(name(), "Kept");  // the sounds stay until the bank is loaded
       }},
      {"load startup bank", File::LoadStartupBank, -1, {kYES}, {}, nullptr,
       {{"Load Startup Bank", startupIs + "reload all programs?"}}, [&] { EXPECT_EQ(name(), "A/B: C?"); }},
      {"unselect startup bank, answered no", File::UnselectStartupBank, -1, {kNO}, {}, nullptr,
       {{"Unselect Startup Bank", startupIs + "unselect it?"}}, [&] { EXPECT_EQ(plug->startupBankPath.Get(), startup); }},
      {"unselect startup bank", File::UnselectStartupBank, -1, {kYES}, {}, nullptr,
       {{"Unselect Startup Bank", startupIs + "unselect it?"}},
       [&] {
         EXPECT_TRUE(plug->startupBankPath.Empty());
         EXPECT_EQ(ini().find(startup), std::string::npos);
       }},
      {"load a missing startup bank", File::LoadStartupBank, -1, {kYES}, {},
       [&] { plug->setStartupFxb(at("banks/none.fxb").c_str()); },
       {{"Load Startup Bank", "The Startup Bank is:\n" + at("banks/none.fxb") + "\n\nDo you really want to reload all programs?"},
        error},
       nullptr},
      {"default path for program files", File::DefaultProgramPath, -1, {}, {"presets/[file name is ignored]"}, nullptr, {},
       [&] {
         EXPECT_EQ(prompt().name, "[file name is ignored]");
         EXPECT_EQ(prompt().action, EFileAction::Save);
         EXPECT_EQ(prompt().ext, " ");
         EXPECT_EQ(prompt().folder, at("banks"));
         EXPECT_EQ(plug->programPath.Get(), at("presets"));
         EXPECT_NE(ini().find("Path to Program Files=" + at("presets")), std::string::npos);
       }},
      {"reload configuration", File::ReloadConfiguration, -1, {kYES}, {},
       [&] { WritePrivateProfileString("MIDI Global", "MIDI Thru", "true", config.c_str()); },
       {{"Reload Configuration", configQuestion + "reload it?"}}, [&] { EXPECT_TRUE(plug->midiThru); }},
      {"reload configuration, answered no", File::ReloadConfiguration, -1, {kNO}, {},
       [&] { WritePrivateProfileString("MIDI Global", "MIDI Thru", "false", config.c_str()); },
       {{"Reload Configuration", configQuestion + "reload it?"}}, [&] { EXPECT_TRUE(plug->midiThru); }},
      {"reload a missing configuration", File::ReloadConfiguration, -1, {kYES}, {}, [&] { fs::remove(config); },
       {{"Reload Configuration", configQuestion + "reload it?"}, {"Problem with INI File", "The INI file does not exist."}},
       nullptr},
      {"save configuration", File::SaveConfiguration, -1, {kYES}, {}, [&] { plug->midiLearnTable[20] = kCutoff; },
       {{"Save Configuration", configQuestion + "overwrite it?"}},
       [&] {
         EXPECT_NE(ini().find("CC20=25"), std::string::npos);
         EXPECT_NE(ini().find("MIDI Thru=true"), std::string::npos);
       }},
      {"save window size", File::SaveWindowSize, -1, {}, {}, nullptr,
       {{"Save Window Size", "The current window size was saved to the INI configuration file:\n" + config}},
       [&] { EXPECT_NE(ini().find("Scale=0.500000"), std::string::npos); }},
      {"MIDI thru", File::GlobalMidiSettings, 0, {}, {}, nullptr, {},
       [&] {
         EXPECT_FALSE(plug->midiThru);
         EXPECT_NE(ini().find("MIDI Thru=false"), std::string::npos);
       }},
      {"ignore program change", File::GlobalMidiSettings, 1, {}, {}, nullptr, {},
       [&] {
         EXPECT_TRUE(plug->ignoreProgramChange);
         EXPECT_NE(ini().find("Ignore Program Change=true"), std::string::npos);
       }},
      {"visit the web site", File::GoOnline, 1, {}, {}, nullptr, {},
       [&] { EXPECT_EQ(dialogs->urls, std::vector<std::string>{makerSite().address}); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    *dialogs = AnsweringDialogs();
    dialogs->answers.assign(step.answers.begin(), step.answers.end());
    for (const std::string& f : step.files) dialogs->files.push_back(f.empty() ? "" : at(f.c_str()));
    if (step.before) step.before();
    chooseOption(step.position, step.sub);
    EXPECT_EQ(boxes(), step.boxes);
    EXPECT_TRUE(dialogs->answers.empty() && dialogs->files.empty());
    if (step.check) step.check();
  }
}

TEST_F(Menus, FileDialogsStartWhereAnyInstanceLastChoseAFile) {
  OpenEditor other;
  other.plug->initialize(nullptr);
  other.open();
  const fs::path x = folder("shared-x"), y = folder("shared-y");
  ASSERT_TRUE(plug->SaveBankAsFXB((x / "b.fxb").c_str()));
  dialogs->files = {(x / "b.fxb").string()};
  chooseOption(File::LoadBank);
  other.chooseOption(File::SaveProgram);  // cancelled
  EXPECT_EQ(other.dialogs->prompts.at(0).folder, x.string());
  other.dialogs->files = {(y / "p.fxp").string()};
  other.chooseOption(File::SaveProgram);
  chooseOption(File::SaveBank);
  EXPECT_EQ(dialogs->prompts.back().folder, y.string());
  other.plug->terminate();
}

TEST_F(Menus, SizeMenusResizeAndSaveTheOpenEditorsScale) {
  const float x = 1000.0f, y = 500.0f;  // bare panel
  ASSERT_NE(dynamic_cast<IKSSizeContextControl*>(g->GetMouseControl(x, y)), nullptr);
  clickAt(x, y);
  EXPECT_FALSE(menuOpen());  // a left click opens nothing
  const float scales[] = {0.25f, 0.375f, 0.5f, 0.70710677f, 1.0f, 2.0f};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    clickAt(x, y, kRight);
    ASSERT_TRUE(menuOpen());
    ASSERT_EQ(menu()->GetLevelMenu(0)->NItems(), 8);
    clickItem(0, i);
    EXPECT_EQ(g->GetDrawScale(), scales[i]);
    EXPECT_EQ(plug->editorScale, scales[i]);
    EXPECT_EQ(g->WindowWidth(), static_cast<int>(std::lround(2250 * scales[i])));
  }
  chooseOption(File::WindowSize, 3);
  EXPECT_EQ(g->GetDrawScale(), 0.70710677f);

  // "Save Window Size" after dragging the corner saves the dragged scale, not the last one chosen.
  chooseOption(File::WindowSize, 2);
  const IRECT grip = g->GetCornerResizer()->GetRECT();
  g->OnMouseDown(grip.MW(), grip.MH(), kLeft);
  g->OnMouseDrag(1800, 640, 1800 - grip.MW(), 640 - grip.MH(), kLeft);
  g->OnMouseUp(1800, 640, kLeft);
  ASSERT_NEAR(g->GetDrawScale(), 0.4f, 1e-6);
  clickAt(x, y, kRight);
  EXPECT_STREQ(menu()->GetLevelMenu(0)->GetItemText(7), "Save Window Size");
  clickItem(0, 7);
  EXPECT_NE(ini().find("Scale=0.400000"), std::string::npos);
  EXPECT_EQ(dialogs->boxes.at(0).caption, "Save Window Size");
  EXPECT_EQ(plug->editorScale, 0.5f);
}

}  // namespace
