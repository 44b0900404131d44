// The controls that open menus or change modes: the program display with its program list and renaming,
// the option menu, the window-size menu of the bare panel, and the MIDI learn switch.
#include <cstdio>
#include <iterator>

#include "IGraphics.h"
#include "panel_layout.h"
#include "vantorel.controls.h"
#include "vantorel.h"
#include "website.h"

using iplug::igraphics::EAlign;
using iplug::igraphics::ECursor;
using iplug::igraphics::EVAlign;
using Item = iplug::igraphics::IPopupMenu::Item;
using namespace iks;

namespace {

constexpr int kProgramsPerSubmenu = 16;
constexpr const char* kBankTitles[] = {"00 - 15", "16 - 31", "32 - 47", "48 - 63"};
constexpr int kMaxBanks = static_cast<int>(std::size(kBankTitles));
// The lengths (bytes) of what the display shows, of a program's text in the list and of a new name (the
// program files' name field holds 27).
constexpr size_t kDisplayedNameLength = 30;
constexpr size_t kListedLength = 31;
constexpr size_t kNameLength = 27;
constexpr int kTextEntryLength = 253;

// The option menu by position: its labels (nullptr: a separator).
constexpr const char* kOptionLabels[] = {
    "Copy Program", "Paste Program", "Init Program", nullptr, "Load Program", "Save Program", "Load Bank",
    "Save Bank", nullptr, "Select Startup Bank", "Load Startup Bank", "Unselect Startup Bank", nullptr,
    "Default Path for Program Files...", "Global MIDI Settings...", "Reload Configuration", "Save Configuration",
    nullptr, "Window Size", "Save Window Size", nullptr, "Go Online..."};
constexpr const char* kSizeLabels[] = {"50%", "75%", "100%", "200%", "400%", "800%"};
constexpr int kNumSizes = static_cast<int>(std::size(kSizeLabels));
// The size menu's item that saves the window size (after a separator).
constexpr int kSaveSizeItem = kNumSizes + 1;

IText displayText() { return IText(28.0f, IColor(192, 255, 255, 255), panel::kFontName, EAlign::Center, EVAlign::Middle); }

Synth* synthOf(const iplug::igraphics::IControl& control) { return dynamic_cast<Synth*>(control.GetDelegate()); }

// The submenu opened by the item at position in menu, or nullptr.
IPopupMenu* submenuAt(const IPopupMenu& menu, int position) {
  const Item* item = menu.GetItem(position);
  return item ? item->GetSubmenu() : nullptr;
}

void resizeTo(const iplug::igraphics::IControl& control, int size) {
  if (auto* plug = dynamic_cast<Vantorel*>(control.GetDelegate())) plug->resizeUI(static_cast<GUI::GUISize>(size));
}

}  // namespace

// --- program display ---

IKSPresetMenu::IKSPresetMenu(const IRECT& numberRect, const IRECT& nameRect)
    : IButtonControlBase(numberRect.Empty() ? nameRect : (nameRect.Empty() ? numberRect : numberRect.Union(nameRect))),
      mNumberRect(numberRect), mNameRect(nameRect) {
  mText = displayText();
  mTextEntryLength = kTextEntryLength;
}

void IKSPresetMenu::Draw(IGraphics& g) {
  const Synth* plug = synthOf(*this);
  if (!plug) return;
  const int current = plug->GetCurrentPresetIdx();
  mNumber.SetFormatted(30, "%02d", current);
  mName.Set(utf8Prefix(plug->GetPresetName(current), kDisplayedNameLength).c_str());
  g.FillRect(iplug::igraphics::COLOR_TRANSPARENT, mNumberRect);
  g.FillRect(iplug::igraphics::COLOR_TRANSPARENT, mNameRect);
  g.DrawText(mText, mNumber.Get(), mNumberRect);
  g.DrawText(mText, mName.Get(), mNameRect);
}

void IKSPresetMenu::OnMouseDown(float x, float y, const IMouseMod&) {
  Synth* plug = synthOf(*this);
  if (!plug) return;
  if (mNameRect.Contains(x, y))
    GetUI()->CreateTextEntry(*this, mText, mNameRect, plug->GetPresetName(plug->GetCurrentPresetIdx()), 0);
  else
    doPopupMenu();
  GetUI()->SetAllControlsDirty();
}

void IKSPresetMenu::doPopupMenu() {
  const Synth* plug = synthOf(*this);
  if (!plug) return;
  mMenu.Clear();
  const int current = plug->GetCurrentPresetIdx();
  IPopupMenu* bank = nullptr;
  for (int i = 0; i < plug->NPresets(); ++i) {
    if (i % kProgramsPerSubmenu == 0 && i / kProgramsPerSubmenu < kMaxBanks)
      mMenu.AddItem(kBankTitles[i / kProgramsPerSubmenu], bank = new IPopupMenu());
    char number[16];
    std::snprintf(number, sizeof number, "%02u: ", static_cast<unsigned>(i));
    const std::string text = utf8Prefix((number + std::string(plug->GetPresetName(i))).c_str(), kListedLength);
    bank->AddItem(text.c_str(), -1, i == current ? Item::kChecked : Item::kNoFlags);
  }
  GetUI()->CreatePopupMenu(*this, mMenu, mRECT);
}

void IKSPresetMenu::OnPopupMenuSelection(IPopupMenu* pSelectedMenu, int) {
  Synth* plug = synthOf(*this);
  if (!pSelectedMenu || !plug) return;
  int base = 0;
  for (int bank = 1; bank < kMaxBanks; ++bank)
    if (pSelectedMenu == submenuAt(mMenu, bank)) base = bank * kProgramsPerSubmenu;
  plug->changePreset(base + pSelectedMenu->GetChosenItemIdx());
}

void IKSPresetMenu::OnTextEntryCompletion(const char* str, int) {
  Synth* plug = synthOf(*this);
  if (!plug) return;
  // An empty name keeps the old one; the current sound is stored either way.
  plug->ModifyCurrentPreset(utf8Prefix(str, kNameLength).c_str());
  plug->InformHostOfPresetChange();
  SetDirty(false);
}

// --- option menu ---

IKSOptionMenu::IKSOptionMenu(const IRECT& bounds) : IControl(bounds) {}

void IKSOptionMenu::OnMouseDown(float x, float y, const IMouseMod&) {
  const Synth* plug = synthOf(*this);
  if (!plug) return;
  mMenu.Clear();
  for (int position = 0; position < static_cast<int>(std::size(kOptionLabels)); ++position) {
    const char* label = kOptionLabels[position];
    if (!label) {
      mMenu.AddSeparator();
      continue;
    }
    IPopupMenu* sub = nullptr;
    int flags = Item::kNoFlags;
    switch (position) {
      case File::PasteProgram:
        if (plug->copyBuffer.Size() == 0) flags = Item::kDisabled;
        break;
      case File::LoadStartupBank:
      case File::UnselectStartupBank:
        if (plug->startupBankPath.Empty()) flags = Item::kDisabled;
        break;
      case File::GlobalMidiSettings:
        sub = new IPopupMenu();
        sub->AddItem("MIDI Thru", -1, plug->midiThru ? Item::kChecked : Item::kNoFlags);
        sub->AddItem("Ignore Program Change", -1, plug->ignoreProgramChange ? Item::kChecked : Item::kNoFlags);
        break;
      case File::WindowSize:
        sub = new IPopupMenu();
        for (const char* size : kSizeLabels) sub->AddItem(size);
        break;
      case File::GoOnline:
        sub = new IPopupMenu();
        sub->AddItem("Check Online for Update");
        sub->AddItem((std::string("Visit ") + makerSite().name).c_str());
        break;
      default:
        break;
    }
    if (sub)
      mMenu.AddItem(label, sub);
    else
      mMenu.AddItem(label, -1, flags);
  }
  GetUI()->CreatePopupMenu(*this, mMenu, IRECT(x, y, x, y));
  GetUI()->SetAllControlsDirty();
}

void IKSOptionMenu::OnPopupMenuSelection(IPopupMenu* pSelectedMenu, int) {
  if (!pSelectedMenu) return;
  const int chosen = pSelectedMenu->GetChosenItemIdx();
  if (pSelectedMenu == submenuAt(mMenu, File::WindowSize)) {
    resizeTo(*this, chosen);
    return;
  }
  int value = chosen;
  if (pSelectedMenu == submenuAt(mMenu, File::GlobalMidiSettings)) value = File::MidiThru + chosen;
  if (pSelectedMenu == submenuAt(mMenu, File::GoOnline)) value = File::CheckOnline + chosen;
  if (value == File::VisitWebSite)
    GetUI()->OpenURL(makerSite().address);
  else
    runCommand(GetDelegate(), this, static_cast<File::Command>(value));
}

void IKSOptionMenu::OnMouseOver(float x, float y, const IMouseMod& mod) {
  IControl::OnMouseOver(x, y, mod);
  GetUI()->SetMouseCursor(ECursor::HAND);
}

void IKSOptionMenu::OnMouseOut() {
  IControl::OnMouseOut();
  GetUI()->SetMouseCursor(ECursor::ARROW);
}

// --- window-size menu ---

IKSSizeContextControl::IKSSizeContextControl(const IRECT& bounds, int index) : IControl(bounds, index) {}

void IKSSizeContextControl::OnInit() {
  mMenu.Clear();
  for (const char* size : kSizeLabels) mMenu.AddItem((std::string("Set Windows Size to ") + size).c_str());
  mMenu.AddSeparator();
  mMenu.AddItem("Save Window Size");
}

void IKSSizeContextControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (!mod.R || GetParamIdx() != -GUI::SizeMenu) return;
  GetUI()->CreatePopupMenu(*this, mMenu, IRECT(x, y, x, y));
  SetDirty(true);
}

void IKSSizeContextControl::OnPopupMenuSelection(IPopupMenu* pSelectedMenu, int) {
  if (!pSelectedMenu || GetParamIdx() != -GUI::SizeMenu) return;
  const int chosen = pSelectedMenu->GetChosenItemIdx();
  if (chosen >= 0 && chosen < kNumSizes) resizeTo(*this, chosen);
  if (chosen == kSaveSizeItem) runCommand(GetDelegate(), this, File::SaveWindowSize);
}

// --- MIDI learn switch ---

IKSSwitchMidiLearn::IKSSwitchMidiLearn(float x, float y, const IBitmap& bitmap) : IBSwitchControl(x, y, bitmap) {}

void IKSSwitchMidiLearn::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.L) {
    IBSwitchControl::OnMouseDown(x, y, mod);
    const bool on = GetValue() > 0.0;
    if (Synth* plug = synthOf(*this)) {
      if (mLearnMode) plug->doMidiLearn(on);
      else plug->doMidiUnlearn(on);
    }
  } else if (mod.R && GetValue() == 0.0) {
    mLearnMode = !mLearnMode;
    SetBitmap(GetUI()->LoadBitmap(mLearnMode ? "learn.png" : "unlearn.png", 2));
    SetDirty(true);
  }
}
