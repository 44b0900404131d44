#pragma once

// The editor window's own message box and file-name prompt: a box over the dimmed panel that takes all
// input until one of its buttons is pressed (IGraphics::RunModal). Enter presses the focused button (the
// first at the start), Escape the last, Tab and the arrow keys move the focus; a prompt's field takes
// the typing. Sizes are window pixels whatever the editor's scale.

#include <string>
#include <vector>

#include "IControl.h"
#include "IDialogs.h"
#include "ITextEntryControl.h"

namespace iplug {
namespace igraphics {

class IModalDialogControl : public IControl {
public:
  // Where the parts of a box lie in a window of w x h pixels.
  struct Layout {
    IRECT box, caption, body, field;
    IRECT buttons[3];
  };
  static Layout MakeLayout(float w, float h, int nButtons, bool withField);

  // A box with caption, text and buttons; with field (not nullptr) also a one-line field holding it.
  IModalDialogControl(const char* caption, const char* text, const MsgBoxButtons& buttons,
                      const char* field = nullptr);
  // The button pressed (0 ... n - 1), -1 while none.
  int GetAnswer() const { return mAnswer; }
  const std::string& GetField() const { return mField.Str(); }

  void Draw(IGraphics& g) override;
  IRECT GetDrawRECT() const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  Layout CurrentLayout() const;
  // The button under a canvas point, or -1.
  int ButtonAt(float x, float y) const;
  // Redraws the box (the dimmed panel around it stays).
  void Redraw();

  std::string mCaption, mText;
  MsgBoxButtons mButtons;
  bool mHasField;
  ITextEdit mField;
  int mFocus = 0;
  int mPressed = -1;
  int mAnswer = -1;
};

}  // namespace igraphics
}  // namespace iplug
