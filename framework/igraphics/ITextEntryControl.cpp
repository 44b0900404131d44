#include "ITextEntryControl.h"

#include <algorithm>
#include <cmath>

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The longest prefix of str of at most maxBytes that ends at a character boundary.
size_t FittingPrefix(const std::string& str, size_t maxBytes) {
  if (str.size() <= maxBytes) return str.size();
  size_t n = maxBytes;
  while (n > 0 && IsContinuation(str[n])) --n;
  return n;
}

// Geometry of the entry in window pixels.
constexpr float kPaddingPixels = 4.0f;
constexpr IColor kSelectionColor(255, 173, 214, 255);

}  // namespace

// --- ITextEdit ---

void ITextEdit::Set(const std::string& str, int maxBytes) {
  mMaxBytes = std::max(0, maxBytes);
  mStr = str.substr(0, FittingPrefix(str, static_cast<size_t>(mMaxBytes)));
  Select(0, static_cast<int>(mStr.size()));
}

int ITextEdit::Prev(int pos) const {
  if (pos <= 0) return 0;
  do --pos;
  while (pos > 0 && IsContinuation(mStr[pos]));
  return pos;
}

int ITextEdit::Next(int pos) const {
  const int size = static_cast<int>(mStr.size());
  if (pos >= size) return size;
  do ++pos;
  while (pos < size && IsContinuation(mStr[pos]));
  return pos;
}

void ITextEdit::SetCaret(int pos, bool extend) {
  pos = std::clamp(pos, 0, static_cast<int>(mStr.size()));
  while (pos > 0 && pos < static_cast<int>(mStr.size()) && IsContinuation(mStr[pos])) --pos;
  mCaret = pos;
  if (!extend) mAnchor = pos;
}

void ITextEdit::Select(int anchor, int caret) {
  SetCaret(anchor, false);
  SetCaret(caret, true);
}

void ITextEdit::Erase(int from, int to) {
  mStr.erase(from, to - from);
  mCaret = mAnchor = from;
}

void ITextEdit::Replace(const char* text) {
  Erase(SelectionStart(), SelectionEnd());
  const std::string add(text);
  if (mStr.size() + add.size() > static_cast<size_t>(mMaxBytes)) return;
  mStr.insert(mCaret, add);
  mCaret = mAnchor = mCaret + static_cast<int>(add.size());
}

bool ITextEdit::OnKey(const IKeyPress& key) {
  const bool selection = mCaret != mAnchor;
  switch (key.VK) {
    case kVK_BACK:
      if (selection) Erase(SelectionStart(), SelectionEnd());
      else if (mCaret > 0) Erase(Prev(mCaret), mCaret);
      return true;
    case kVK_DELETE:
      if (selection) Erase(SelectionStart(), SelectionEnd());
      else Erase(mCaret, Next(mCaret));
      return true;
    case kVK_LEFT:
      SetCaret(selection && !key.S ? SelectionStart() : Prev(mCaret), key.S);
      return true;
    case kVK_RIGHT:
      SetCaret(selection && !key.S ? SelectionEnd() : Next(mCaret), key.S);
      return true;
    case kVK_HOME:
      SetCaret(0, key.S);
      return true;
    case kVK_END:
      SetCaret(static_cast<int>(mStr.size()), key.S);
      return true;
    default:
      break;
  }
  if (key.C && (key.VK == 'A' || key.utf8[0] == 'a' || key.utf8[0] == 'A')) {
    Select(0, static_cast<int>(mStr.size()));
    return true;
  }
  const unsigned char first = static_cast<unsigned char>(key.utf8[0]);
  if (key.C || key.A || first < 0x20 || first == 0x7F) return false;
  Replace(key.utf8);
  return true;
}

// --- ITextEntryControl ---

ITextEntryControl::ITextEntryControl() : IControl(IRECT()) {}

void ITextEntryControl::Open(IControl& caller, const IText& text, const IRECT& bounds, const char* str, int valIdx) {
  if (IsOpen()) Close(true);
  mCaller = &caller;
  mValIdx = valIdx;
  mText = text;
  mRECT = bounds;
  mScroll = 0.0f;
  mEdit.Set(str ? str : "", caller.GetTextEntryLength());
  ScrollToCaret(*GetUI());
  SetDirty(false);
}

void ITextEntryControl::Close(bool complete) {
  IControl* caller = mCaller;
  if (!caller) return;
  mCaller = nullptr;
  const std::string text = mEdit.Str();
  GetUI()->SetAreaDirty(mRECT);
  GetUI()->UpdateKeyboardFocus();
  if (complete) caller->OnTextEntryCompletion(text.c_str(), mValIdx);
}

namespace {
IText EntryStyle(const IText& text) {
  IText style = text;
  style.mFGColor = text.mTextEntryFGColor;
  style.mAlign = EAlign::Near;
  return style;
}
float Width(IGraphics& g, const IText& style, const std::string& str) {
  IRECT box;
  return str.empty() ? 0.0f : g.MeasureText(style, str.c_str(), box);
}
}  // namespace

float ITextEntryControl::TextLeft(IGraphics& g) {
  const float pad = kPaddingPixels / g.GetDrawScale();
  const float w = Width(g, EntryStyle(mText), mEdit.Str());
  if (w > mRECT.W() - 2.0f * pad) return mRECT.L + pad - mScroll;
  switch (mText.mAlign) {
    case EAlign::Near: return mRECT.L + pad;
    case EAlign::Center: return mRECT.MW() - 0.5f * w;
    case EAlign::Far: return mRECT.R - pad - w;
  }
  return mRECT.L + pad;
}

float ITextEntryControl::PositionX(IGraphics& g, int pos) {
  return TextLeft(g) + Width(g, EntryStyle(mText), mEdit.Str().substr(0, pos));
}

int ITextEntryControl::PositionAt(IGraphics& g, float x) {
  const std::string& str = mEdit.Str();
  int best = 0;
  float bestDistance = std::fabs(x - PositionX(g, 0));
  for (int pos = 1; pos <= static_cast<int>(str.size()); ++pos) {
    if (pos < static_cast<int>(str.size()) && IsContinuation(str[pos])) continue;
    const float d = std::fabs(x - PositionX(g, pos));
    if (d < bestDistance) {
      best = pos;
      bestDistance = d;
    }
  }
  return best;
}

void ITextEntryControl::ScrollToCaret(IGraphics& g) {
  const IText style = EntryStyle(mText);
  const float room = mRECT.W() - 2.0f * kPaddingPixels / g.GetDrawScale();
  const float whole = Width(g, style, mEdit.Str());
  if (whole <= room) {
    mScroll = 0.0f;
    return;
  }
  const float caret = Width(g, style, mEdit.Str().substr(0, mEdit.Caret()));
  if (caret - mScroll > room) mScroll = caret - room;
  if (caret - mScroll < 0.0f) mScroll = caret;
  mScroll = std::clamp(mScroll, 0.0f, whole - room);
}

void ITextEntryControl::Draw(IGraphics& g) {
  if (!IsOpen()) return;
  g.FillRect(mText.mTextEntryBGColor, mRECT);
  g.PathClipRegion(mRECT);
  const float pad = kPaddingPixels / g.GetDrawScale();
  const float left = TextLeft(g);
  if (mEdit.SelectionStart() != mEdit.SelectionEnd())
    g.FillRect(kSelectionColor, IRECT(PositionX(g, mEdit.SelectionStart()), mRECT.T + pad,
                                      PositionX(g, mEdit.SelectionEnd()), mRECT.B - pad));
  g.DrawText(EntryStyle(mText), mEdit.Str().c_str(), IRECT(left, mRECT.T, mRECT.R + mScroll + mRECT.W(), mRECT.B));
  const float caret = PositionX(g, mEdit.Caret());
  g.DrawLine(mText.mTextEntryFGColor, caret, mRECT.T + pad, caret, mRECT.B - pad, nullptr, 1.0f / g.GetDrawScale());
}

void ITextEntryControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (!mRECT.Contains(x, y)) {
    Close(true);
    return;
  }
  mEdit.SetCaret(PositionAt(*GetUI(), x), mod.S);
  SetDirty(false);
}

void ITextEntryControl::OnMouseDrag(float x, float, float, float, const IMouseMod&) {
  mEdit.SetCaret(PositionAt(*GetUI(), x), true);
  ScrollToCaret(*GetUI());
  SetDirty(false);
}

void ITextEntryControl::OnMouseDblClick(float x, float y, const IMouseMod& mod) {
  if (!mRECT.Contains(x, y)) {
    OnMouseDown(x, y, mod);
    return;
  }
  mEdit.Select(0, static_cast<int>(mEdit.Str().size()));
  SetDirty(false);
}

bool ITextEntryControl::OnKeyDown(float, float, const IKeyPress& key) {
  if (key.VK == kVK_RETURN || key.VK == kVK_ESCAPE) {
    Close(key.VK == kVK_RETURN);
    return true;
  }
  if (mEdit.OnKey(key)) {
    ScrollToCaret(*GetUI());
    SetDirty(false);
  }
  return true;  // the entry has the keyboard
}

}  // namespace igraphics
}  // namespace iplug
