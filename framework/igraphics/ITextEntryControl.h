#pragma once

// Typing text inside the editor window: the editing state of a one-line field (ITextEdit), and the text
// entry a control opens over a rectangle of the canvas (IGraphics::CreateTextEntry). Enter completes the
// entry (the control hears the text), Escape cancels it, a click outside completes it.

#include <string>

#include "IControl.h"

namespace iplug {
namespace igraphics {

// A one-line text with a caret and a selection (byte positions at UTF-8 character boundaries), at most
// maxBytes long.
class ITextEdit {
public:
  // Starts editing str (cut to maxBytes at a character boundary) with all of it selected.
  void Set(const std::string& str, int maxBytes);
  const std::string& Str() const { return mStr; }
  int Caret() const { return mCaret; }
  int Anchor() const { return mAnchor; }
  int SelectionStart() const { return mCaret < mAnchor ? mCaret : mAnchor; }
  int SelectionEnd() const { return mCaret < mAnchor ? mAnchor : mCaret; }
  // Moves the caret (to the nearest boundary); with extend the selection grows from the anchor.
  void SetCaret(int pos, bool extend);
  void Select(int anchor, int caret);
  // Typing, deleting, caret movement and selecting all (Ctrl+A); returns whether the key was one of them.
  bool OnKey(const IKeyPress& key);

private:
  void Replace(const char* text);
  void Erase(int from, int to);
  int Prev(int pos) const;
  int Next(int pos) const;

  std::string mStr;
  int mMaxBytes = kDefaultTextEntryLength;
  int mCaret = 0, mAnchor = 0;
};

class ITextEntryControl : public IControl {
public:
  ITextEntryControl();
  // Opens over bounds (canvas units) in text's style and entry colours, holding str; the caller hears the
  // completed text with valIdx. An entry that is open already is completed first.
  void Open(IControl& caller, const IText& text, const IRECT& bounds, const char* str, int valIdx);
  bool IsOpen() const { return mCaller != nullptr; }
  const ITextEdit& GetEdit() const { return mEdit; }
  // Closes the entry; with complete the caller hears the text.
  void Close(bool complete);

  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  // Where the text starts (canvas units) and the x of a byte position.
  float TextLeft(IGraphics& g);
  float PositionX(IGraphics& g, int pos);
  int PositionAt(IGraphics& g, float x);
  // Keeps the caret inside the field.
  void ScrollToCaret(IGraphics& g);

  IControl* mCaller = nullptr;
  int mValIdx = 0;
  ITextEdit mEdit;
  float mScroll = 0.0f;  // how far a text longer than the field is moved left
};

}  // namespace igraphics
}  // namespace iplug
