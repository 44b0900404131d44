#include "IModalDialog.h"

#include <algorithm>
#include <cmath>

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

namespace {

// Window pixels.
constexpr float kMargin = 8.0f;
constexpr float kBoxWidth = 480.0f;
constexpr float kBoxHeight = 250.0f;
constexpr float kInner = 14.0f;
constexpr float kCaptionHeight = 20.0f;
constexpr float kButtonWidth = 84.0f;
constexpr float kButtonHeight = 26.0f;
constexpr float kButtonGap = 8.0f;
constexpr float kFieldHeight = 26.0f;
constexpr float kCaptionSize = 14.0f;
constexpr float kTextSize = 13.0f;
constexpr float kLineHeight = 17.0f;
constexpr float kFieldPadding = 4.0f;
constexpr const char* kTab = "    ";

constexpr IColor kDim(110, 0, 0, 0);
constexpr IColor kBoxColor(255, 240, 240, 240);
constexpr IColor kBorderColor(255, 120, 120, 120);
constexpr IColor kTextColor(255, 20, 20, 20);
constexpr IColor kButtonColor(255, 222, 222, 222);
constexpr IColor kFocusColor(255, 51, 120, 215);
constexpr IColor kSelectionColor(255, 173, 214, 255);

IRECT Scaled(const IRECT& pixels, float scale) { return pixels.GetScaled(1.0f / scale); }

// The lines of text as they fit width (canvas units): its own lines, tabs as spaces, broken between
// words, a word longer than a line broken where it must.
std::vector<std::string> Wrap(IGraphics& g, const IText& style, const std::string& text, float width) {
  std::vector<std::string> lines;
  auto fits = [&](const std::string& s) {
    IRECT box;
    return g.MeasureText(style, s.c_str(), box) <= width;
  };
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string paragraph;
    for (char c : text.substr(start, end - start)) paragraph += c == '\t' ? std::string(kTab) : std::string(1, c);
    std::string line;
    size_t i = 0;
    while (i < paragraph.size()) {
      const size_t space = paragraph.find(' ', i + 1);
      const std::string word = paragraph.substr(i, (space == std::string::npos ? paragraph.size() : space) - i);
      if (fits(line + word)) {
        line += word;
        i += word.size();
        continue;
      }
      if (!line.empty()) {
        lines.push_back(line);
        line.clear();
        if (word[0] == ' ') ++i;
        continue;
      }
      // A word wider than the line: as many characters as fit (at least one).
      size_t n = 1;
      while (n < word.size() && ((static_cast<unsigned char>(word[n]) & 0xC0) == 0x80 || fits(word.substr(0, n + 1))))
        ++n;
      lines.push_back(word.substr(0, n));
      i += n;
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

IModalDialogControl::Layout IModalDialogControl::MakeLayout(float w, float h, int nButtons, bool withField) {
  Layout l;
  const float bw = std::min(kBoxWidth, w - 2.0f * kMargin), bh = std::min(kBoxHeight, h - 2.0f * kMargin);
  const float left = std::floor(0.5f * (w - bw)), top = std::floor(0.5f * (h - bh));
  l.box = IRECT(left, top, left + bw, top + bh);
  l.caption = IRECT(left + kInner, top + kInner, l.box.R - kInner, top + kInner + kCaptionHeight);
  const float buttonsTop = l.box.B - kInner - kButtonHeight;
  float right = l.box.R - kInner;
  for (int i = nButtons - 1; i >= 0; --i) {
    l.buttons[i] = IRECT(right - kButtonWidth, buttonsTop, right, buttonsTop + kButtonHeight);
    right -= kButtonWidth + kButtonGap;
  }
  float bodyBottom = buttonsTop - kInner;
  if (withField) {
    l.field = IRECT(l.caption.L, bodyBottom - kFieldHeight, l.caption.R, bodyBottom);
    bodyBottom = l.field.T - kButtonGap;
  }
  l.body = IRECT(l.caption.L, l.caption.B + kButtonGap, l.caption.R, bodyBottom);
  return l;
}

IModalDialogControl::IModalDialogControl(const char* caption, const char* text, const MsgBoxButtons& buttons,
                                         const char* field)
    : IControl(IRECT()), mCaption(caption ? caption : ""), mText(text ? text : ""), mButtons(buttons),
      mHasField(field != nullptr) {
  if (field) {
    mField.Set(field, 4096);
    // The name part selected: typing replaces it, the folder stays.
    const std::string& s = mField.Str();
    const size_t slash = s.rfind('/');
    mField.Select(slash == std::string::npos ? 0 : static_cast<int>(slash) + 1, static_cast<int>(s.size()));
  }
}

IModalDialogControl::Layout IModalDialogControl::CurrentLayout() const {
  const IGraphics& g = *GetUI();
  return MakeLayout(static_cast<float>(g.WindowWidth()), static_cast<float>(g.WindowHeight()), mButtons.n, mHasField);
}

IRECT IModalDialogControl::GetDrawRECT() const { return GetUI() ? GetUI()->GetBounds() : IRECT(); }

void IModalDialogControl::Redraw() { GetUI()->SetAreaDirty(Scaled(CurrentLayout().box, GetUI()->GetDrawScale())); }

int IModalDialogControl::ButtonAt(float x, float y) const {
  const float scale = GetUI()->GetDrawScale();
  const Layout l = CurrentLayout();
  for (int i = 0; i < mButtons.n; ++i)
    if (l.buttons[i].Contains(x * scale, y * scale)) return i;
  return -1;
}

void IModalDialogControl::OnMouseDown(float x, float y, const IMouseMod&) {
  mPressed = ButtonAt(x, y);
  if (mPressed >= 0) {
    mFocus = mPressed;
    Redraw();
  }
}

void IModalDialogControl::OnMouseUp(float x, float y, const IMouseMod&) {
  if (mPressed >= 0 && ButtonAt(x, y) == mPressed) mAnswer = mPressed;
  mPressed = -1;
}

bool IModalDialogControl::OnKeyDown(float, float, const IKeyPress& key) {
  switch (key.VK) {
    case kVK_RETURN: mAnswer = mFocus; return true;
    case kVK_ESCAPE: mAnswer = mButtons.n - 1; return true;
    case kVK_TAB: mFocus = (mFocus + (key.S ? mButtons.n - 1 : 1)) % mButtons.n; break;
    case kVK_SPACE:
      if (!mHasField) {
        mAnswer = mFocus;
        return true;
      }
      break;
    case kVK_LEFT:
    case kVK_RIGHT:
      if (!mHasField) mFocus = std::clamp(mFocus + (key.VK == kVK_LEFT ? -1 : 1), 0, mButtons.n - 1);
      break;
    default: break;
  }
  if (mHasField) mField.OnKey(key);
  Redraw();
  return true;
}

void IModalDialogControl::Draw(IGraphics& g) {
  const float scale = g.GetDrawScale(), px = 1.0f / scale;
  const Layout l = CurrentLayout();
  g.FillRect(kDim, g.GetBounds());
  const IRECT box = Scaled(l.box, scale);
  g.FillRect(kBoxColor, box);
  g.DrawRect(kBorderColor, box.GetPadded(-0.5f * px), nullptr, px);

  const IText caption(kCaptionSize * px, kTextColor, nullptr, EAlign::Near, EVAlign::Middle);
  g.DrawText(caption, mCaption.c_str(), Scaled(l.caption, scale));
  const IText text(kTextSize * px, kTextColor, nullptr, EAlign::Near, EVAlign::Middle);
  const IRECT body = Scaled(l.body, scale);
  g.PathClipRegion(box);
  float y = body.T;
  for (const std::string& line : Wrap(g, text, mText, body.W())) {
    if (y + kLineHeight * px > body.B + 0.5f * px) break;
    g.DrawText(text, line.c_str(), IRECT(body.L, y, body.R, y + kLineHeight * px));
    y += kLineHeight * px;
  }

  if (mHasField) {
    const IRECT field = Scaled(l.field, scale);
    g.FillRect(COLOR_WHITE, field);
    g.DrawRect(kBorderColor, field.GetPadded(-0.5f * px), nullptr, px);
    // A text longer than the field shows its end.
    auto width = [&](int n) {
      IRECT b;
      return n > 0 ? g.MeasureText(text, mField.Str().substr(0, n).c_str(), b) : 0.0f;
    };
    const float room = field.W() - 2.0f * kFieldPadding * px;
    const float whole = width(static_cast<int>(mField.Str().size()));
    const float left = field.L + kFieldPadding * px - std::max(0.0f, whole - room);
    const float a = left + width(mField.SelectionStart()), b = left + width(mField.SelectionEnd());
    g.PathClipRegion(field);
    if (a != b) g.FillRect(kSelectionColor, IRECT(a, field.T + 3.0f * px, b, field.B - 3.0f * px));
    g.DrawText(text, mField.Str().c_str(), IRECT(left, field.T, field.R + whole, field.B));
    const float caret = left + width(mField.Caret());
    g.DrawLine(kTextColor, caret, field.T + 4.0f * px, caret, field.B - 4.0f * px, nullptr, px);
    g.PathClipRegion(box);
  }

  for (int i = 0; i < mButtons.n; ++i) {
    const IRECT b = Scaled(l.buttons[i], scale);
    const bool focused = i == mFocus;
    g.FillRoundRect(focused ? kFocusColor : kButtonColor, b, 4.0f * px);
    IText label(kTextSize * px, focused ? COLOR_WHITE : kTextColor, nullptr, EAlign::Center, EVAlign::Middle);
    g.DrawText(label, mButtons.labels[i], b);
  }
}

// --- the window's own dialogs ---

namespace {

class WindowDialogs : public IDialogs {
public:
  explicit WindowDialogs(IGraphics& g) : mGraphics(g) {}

  EMsgBoxResult MessageBox(const char* text, const char* caption, EMsgBoxType type) override {
    const MsgBoxButtons buttons = ButtonsOf(type);
    IModalDialogControl box(caption, text, buttons);
    const int answer = mGraphics.RunModal(box, [&] { return box.GetAnswer() >= 0; }) ? box.GetAnswer() : -1;
    return buttons.results[answer >= 0 ? answer : buttons.n - 1];
  }

  bool PromptForFile(WDL_String& fileName, const char* folder, EFileAction action, const char* ext) override {
    std::string initial = JoinPath(folder, fileName.Get());
    if (action == EFileAction::Save && !fileName.Empty()) initial = WithExtension(initial, ext);
    const MsgBoxButtons buttons = ButtonsOf(kMB_OKCANCEL);
    IModalDialogControl box(action == EFileAction::Open ? "Open File" : "Save File",
                            action == EFileAction::Open ? "The file to open:" : "The file to save:", buttons,
                            initial.c_str());
    if (!mGraphics.RunModal(box, [&] { return box.GetAnswer() >= 0; }) || box.GetAnswer() != 0) return false;
    return FinishFileChoice(*this, fileName, JoinPath(folder, box.GetField().c_str()), action, ext, false);
  }

  bool OpenURL(const char* url) override { return LaunchBrowser(url); }

private:
  IGraphics& mGraphics;
};

}  // namespace

std::unique_ptr<IDialogs> MakeWindowDialogs(IGraphics& g) { return std::make_unique<WindowDialogs>(g); }

}  // namespace igraphics
}  // namespace iplug
