#pragma once

// The instrument's editor controls, adapted from the framework's controls, and the editor's file and
// program commands. The switch and the corner resizer are defined with the layout (vantorel.editor.cpp),
// the bitmap controls in vantorel.controls.cpp, the controls that open menus (and the MIDI learn switch)
// in vantorel.controls.menus.cpp, the commands in vantorel.controls.commands.cpp.

#include <string>

#include "IControls.h"
#include "IPopupMenu.h"
#include "wdlstring.h"

class Synth;
class Vantorel;

namespace iks {

using iplug::igraphics::IBitmap;
using iplug::igraphics::IColor;
using iplug::igraphics::IGraphics;
using iplug::igraphics::IMouseMod;
using iplug::igraphics::IPopupMenu;
using iplug::igraphics::IRECT;
using iplug::igraphics::IText;

// The text style of the knobs' and sliders' value read-out, and the backdrop it is drawn on.
IText readoutText();
constexpr IColor kReadoutBackdrop(160, 64, 64, 64);

// At most the first maxBytes bytes of text, never a part of a UTF-8 character.
std::string utf8Prefix(const char* text, size_t maxBytes);

}  // namespace iks

// A knob that shows its parameter's value while the mouse is over it (continuous knobs only).
class IKSKnobControl : public iplug::igraphics::IBKnobControl {
public:
  IKSKnobControl(float x, float y, const iks::IBitmap& bitmap, int paramIdx, double gearing);
  void Draw(iks::IGraphics& g) override;

private:
  float mCentreX, mCentreY, mRadius;
};

// A horizontal slider that shows its parameter's value above its track while the mouse is over either.
class IKSSliderControl : public iplug::igraphics::IBSliderControl {
public:
  IKSSliderControl(float x, float y, float trackLength, const iks::IBitmap& handle, int paramIdx);
  void Draw(iks::IGraphics& g) override;
  // The handle sits one unit below the top of the track, so it reaches one unit below the rectangle.
  iks::IRECT GetDrawRECT() const override { return mRECT.GetPadded(0.0f, 0.0f, 0.0f, 1.0f); }

private:
  iks::IRECT mValueRect;
};

// A bitmap switch stepping through its frames; made with the negated tweak-toggle element it draws
// nothing and shows or hides the tweak panel instead.
class IKSSwitchControl : public iplug::igraphics::IBSwitchControl {
public:
  IKSSwitchControl(float x, float y, const iks::IBitmap& bitmap, int index);
  IKSSwitchControl(const iks::IRECT& bounds, const iks::IBitmap& bitmap, int index);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnInit() override;
  void Draw(iks::IGraphics& g) override;

private:
  Vantorel* mPlug = nullptr;
  int mElement;
};

// An on/off button with an image for each state that flips its parameter when the mouse is released.
// It reads the parameter whenever it draws; the idle handler may take its display over (setOn).
class IKSButtonKick : public iplug::igraphics::IBButtonControl {
public:
  IKSButtonKick(float x, float y, int paramIdx, const iks::IBitmap& off, const iks::IBitmap& on);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const iks::IMouseMod& mod) override;
  void Draw(iks::IGraphics& g) override;
  bool ShowsParam(int paramIdx) const override { return paramIdx == mKickParam; }
  // Shows `on` instead of the parameter while overridden; redrawn when either changes.
  void setOn(bool overridden, bool on);
  // Whether it shows its on image.
  bool isShownOn() const;

private:
  iks::IBitmap mOff, mOn;
  int mKickParam;
  bool mPressed = false;
  bool mOverridden = false;
  bool mOverrideState = false;
};

// A momentary button that steps through the program bank (previous or next, wrapping round).
class IKSUtilityKick : public iplug::igraphics::IButtonControlBase, public iplug::igraphics::IBitmapBase {
public:
  IKSUtilityKick(float x, float y, int command, const iks::IBitmap& bitmap);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const iks::IMouseMod& mod) override;
  void OnInit() override;
  void Draw(iks::IGraphics& g) override { DrawBitmap(g); }

private:
  Synth* mPlug = nullptr;
  int mCommand;
};

// The corner resizer, drawing its own grip: a translucent triangle, brighter while hovered or dragged.
class IKSCornerResizer : public iplug::igraphics::ICornerResizerControl {
public:
  IKSCornerResizer(const iks::IRECT& canvas, float size);
  void Draw(iks::IGraphics& g) override;
  // The grip is placed once, for the default scale; at other scales it reaches beyond the rectangle.
  iks::IRECT GetDrawRECT() const override { return mRECT.Union(mGrip); }

private:
  iks::IRECT mGrip;
  iks::IColor mNormal{32, 255, 255, 0};
  iks::IColor mHighlight{128, 255, 255, 0};
};

// The program display: the current program's number and name. A click on the name renames the program
// in place; a click on the number opens the program list (four submenus of sixteen programs).
class IKSPresetMenu : public iplug::igraphics::IButtonControlBase {
public:
  IKSPresetMenu(const iks::IRECT& numberRect, const iks::IRECT& nameRect);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnPopupMenuSelection(iks::IPopupMenu* pSelectedMenu, int valIdx) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void Draw(iks::IGraphics& g) override;
  // Builds the program list afresh and opens it.
  void doPopupMenu();

private:
  iks::IPopupMenu mMenu;
  WDL_String mNumber, mName;
  iks::IRECT mNumberRect, mNameRect;
};

// The option button: a menu of every file, program, configuration and online command, built afresh from
// the plug-in's state at each click. The pointer shows a hand over it.
class IKSOptionMenu : public iplug::igraphics::IControl {
public:
  explicit IKSOptionMenu(const iks::IRECT& bounds);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const iks::IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnPopupMenuSelection(iks::IPopupMenu* pSelectedMenu, int valIdx) override;
  // The button is part of the panel image.
  void Draw(iks::IGraphics&) override {}

private:
  iks::IPopupMenu mMenu;
};

// The bare panel under every other control: a right click opens the window-size menu.
class IKSSizeContextControl : public iplug::igraphics::IControl {
public:
  // index: the negated size-menu element (stored as the parameter index).
  IKSSizeContextControl(const iks::IRECT& bounds, int index);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;
  void OnInit() override;
  void OnPopupMenuSelection(iks::IPopupMenu* pSelectedMenu, int valIdx) override;
  void Draw(iks::IGraphics&) override {}
  // It draws nothing, so hovering changes nothing (and redraws nothing).
  void OnMouseOver(float, float, const iks::IMouseMod&) override {}
  void OnMouseOut() override {}

private:
  iks::IPopupMenu mMenu;
};

// The MIDI learn switch: a left click starts or cancels a learn (or unlearn) gesture; a right click
// while it is off swaps learn and unlearn mode.
class IKSSwitchMidiLearn : public iplug::igraphics::IBSwitchControl {
public:
  IKSSwitchMidiLearn(float x, float y, const iks::IBitmap& bitmap);
  void OnMouseDown(float x, float y, const iks::IMouseMod& mod) override;

private:
  bool mLearnMode = true;
};

// --- the editor's file and program commands ---

namespace File {
// The commands of the option menu: 0 ... 21 are the positions of its items (3, 8, 12, 17 and 20 are
// separators and 14, 18 and 21 open submenus), 22 + the position in "Global MIDI Settings...", 25 + the
// position in "Go Online...".
enum Command {
  CopyProgram = 0,
  PasteProgram = 1,
  InitProgram = 2,
  LoadProgram = 4,
  SaveProgram = 5,
  LoadBank = 6,
  SaveBank = 7,
  SelectStartupBank = 9,
  LoadStartupBank = 10,
  UnselectStartupBank = 11,
  DefaultProgramPath = 13,
  GlobalMidiSettings = 14,
  ReloadConfiguration = 15,
  SaveConfiguration = 16,
  WindowSize = 18,
  SaveWindowSize = 19,
  GoOnline = 21,
  MidiThru = 22,
  IgnoreProgramChange = 23,
  CheckOnline = 25,
  VisitWebSite = 26,
};
}  // namespace File

// Runs command for the plug-in delegate (a Synth), with its questions, file dialogs and messages shown
// through control's editor (UI thread). The folders the file dialogs start in are remembered for every
// instance of the process.
void runCommand(iplug::igraphics::IGEditorDelegate* delegate, iplug::igraphics::IControl* control,
                File::Command command);
// folder := the part of file before its last "/" or "\" (a separator at the very start does not count);
// empty when there is none.
void makeNewFilePath(WDL_String& folder, WDL_String& file);
// Replaces each character that cannot stand in a file name (" * / : < > ? \ |) by "_".
void replaceIllegalFileChar(char* name);
