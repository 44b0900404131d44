#pragma once

// Value types of the editor layer: rectangles, colours, text styles, blends, mouse modifiers and the
// small enumerations controls and back ends share. No drawing library appears here.

#include <algorithm>
#include <cmath>
#include <cstring>

namespace iplug {
namespace igraphics {

// The parameter index of a control bound to no parameter (more negative indices mean the same).
constexpr int kNoParameter = -1;
// The tag of a control that is not looked up later.
constexpr int kNoTag = -1;

enum class EDirection { Vertical, Horizontal };
enum class EAlign { Near, Center, Far };
enum class EVAlign { Top, Middle, Bottom };
// How the corner resizer changes the editor: its drawing scale, or the canvas size.
enum class EUIResizerMode { Scale, Size };
// Mouse cursors, in this order (the pointing hand is 11).
enum class ECursor { ARROW, IBEAM, WAIT, CROSS, UPARROW, SIZENWSE, SIZENESW, SIZEWE, SIZENS, SIZEALL, INO, HAND,
                     APPSTARTING, HELP };

// Compositing: Default draws over what is there, Clobber replaces it, Add adds to it. The weight scales
// the source's opacity.
enum class EBlend { Default, Clobber, Add };
struct IBlend {
  EBlend mMethod = EBlend::Default;
  float mWeight = 1.0f;
  IBlend() = default;
  explicit IBlend(EBlend method, float weight = 1.0f) : mMethod(method), mWeight(std::clamp(weight, 0.0f, 1.0f)) {}
};

// Colour with alpha, 0 ... 255 per channel.
struct IColor {
  int A = 255, R = 0, G = 0, B = 0;
  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  constexpr bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  constexpr bool operator!=(const IColor& o) const { return !(*this == o); }
};

constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
constexpr IColor COLOR_TRANSLUCENT(10, 0, 0, 0);
constexpr IColor COLOR_BLACK(255, 0, 0, 0);
constexpr IColor COLOR_WHITE(255, 255, 255, 255);
constexpr IColor COLOR_GRAY(255, 127, 127, 127);
constexpr IColor DEFAULT_BGCOLOR = COLOR_TRANSPARENT;
constexpr IColor DEFAULT_TEXT_FGCOLOR = COLOR_BLACK;
constexpr IColor DEFAULT_TEXTENTRY_BGCOLOR = COLOR_WHITE;
constexpr IColor DEFAULT_TEXTENTRY_FGCOLOR = COLOR_BLACK;
constexpr float DEFAULT_TEXT_SIZE = 14.0f;
constexpr double DEFAULT_GEARING = 4.0;
constexpr int kDefaultTextEntryLength = 255;

// A text style: size in canvas units, colour, font identifier (as given to LoadFont), alignment, angle in
// degrees, and the colours of a text entry opened with this style.
struct IText {
  static constexpr int kMaxFontID = 64;
  float mSize = DEFAULT_TEXT_SIZE;
  IColor mFGColor = DEFAULT_TEXT_FGCOLOR;
  char mFont[kMaxFontID] = {0};
  EAlign mAlign = EAlign::Center;
  EVAlign mVAlign = EVAlign::Middle;
  float mAngle = 0.0f;
  IColor mTextEntryBGColor = DEFAULT_TEXTENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXTENTRY_FGCOLOR;

  IText(float size = DEFAULT_TEXT_SIZE, const IColor& color = DEFAULT_TEXT_FGCOLOR, const char* fontID = nullptr,
        EAlign align = EAlign::Center, EVAlign valign = EVAlign::Middle, float angle = 0.0f,
        const IColor& textEntryBGColor = DEFAULT_TEXTENTRY_BGCOLOR,
        const IColor& textEntryFGColor = DEFAULT_TEXTENTRY_FGCOLOR)
      : mSize(size), mFGColor(color), mAlign(align), mVAlign(valign), mAngle(angle),
        mTextEntryBGColor(textEntryBGColor), mTextEntryFGColor(textEntryFGColor) {
    if (fontID) {
      std::strncpy(mFont, fontID, kMaxFontID - 1);
      mFont[kMaxFontID - 1] = '\0';
    }
  }
};

// A rectangle in canvas units: left, top, right, bottom (right and bottom exclusive for hit tests).
struct IRECT {
  float L = 0.0f, T = 0.0f, R = 0.0f, B = 0.0f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}

  constexpr float W() const { return R - L; }
  constexpr float H() const { return B - T; }
  constexpr float MW() const { return 0.5f * (L + R); }
  constexpr float MH() const { return 0.5f * (T + B); }
  constexpr bool Empty() const { return !(R > L && B > T); }
  constexpr bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  constexpr bool operator!=(const IRECT& o) const { return !(*this == o); }

  constexpr bool Contains(float x, float y) const { return x >= L && x < R && y >= T && y < B; }
  constexpr bool Intersects(const IRECT& o) const {
    return !Empty() && !o.Empty() && L < o.R && o.L < R && T < o.B && o.T < B;
  }
  // The smallest rectangle holding both (an empty one holds nothing).
  IRECT Union(const IRECT& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return IRECT(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
  }
  // The common part; empty if they do not meet.
  IRECT Intersect(const IRECT& o) const {
    const IRECT r(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
    return r.Empty() ? IRECT() : r;
  }
  IRECT GetTranslated(float x, float y) const { return IRECT(L + x, T + y, R + x, B + y); }
  // Grown by amount on every side (shrunk when negative).
  IRECT GetPadded(float amount) const { return IRECT(L - amount, T - amount, R + amount, B + amount); }
  IRECT GetPadded(float l, float t, float r, float b) const { return IRECT(L + l, T + t, R + r, B + b); }
  // Every edge multiplied by scale.
  IRECT GetScaled(float scale) const { return IRECT(L * scale, T * scale, R * scale, B * scale); }
  // The w x h rectangle in the bottom-right corner.
  IRECT GetFromBRHC(float w, float h) const { return IRECT(R - w, B - h, R, B); }
  // The smallest rectangle of whole units holding this one.
  IRECT GetPixelAligned() const { return IRECT(std::floor(L), std::floor(T), std::ceil(R), std::ceil(B)); }
};

// Message boxes: their buttons, and the button that answered (kNoResult: none did).
enum EMsgBoxType { kMB_OK = 0, kMB_OKCANCEL = 1, kMB_ABORTRETRYIGNORE = 2, kMB_YESNOCANCEL = 3, kMB_YESNO = 4,
                   kMB_RETRYCANCEL = 5 };
enum EMsgBoxResult { kNoResult = 0, kOK = 1, kCANCEL = 2, kABORT = 3, kRETRY = 4, kIGNORE = 5, kYES = 6, kNO = 7 };
// A file dialog that opens an existing file or names one to save.
enum class EFileAction { Open, Save };

// Virtual key codes of IKeyPress (letters and digits are their upper-case ASCII codes).
enum EVirtualKey {
  kVK_NONE = 0, kVK_BACK = 0x08, kVK_TAB = 0x09, kVK_RETURN = 0x0D, kVK_ESCAPE = 0x1B, kVK_SPACE = 0x20,
  kVK_PRIOR = 0x21, kVK_NEXT = 0x22, kVK_END = 0x23, kVK_HOME = 0x24, kVK_LEFT = 0x25, kVK_UP = 0x26,
  kVK_RIGHT = 0x27, kVK_DOWN = 0x28, kVK_DELETE = 0x2E
};

// A key press: its virtual key, the text it types (UTF-8, empty for none) and the modifier keys held.
struct IKeyPress {
  int VK = kVK_NONE;
  char utf8[5] = {0};
  bool S = false, C = false, A = false;
  IKeyPress() = default;
  IKeyPress(const char* text, int vk, bool s = false, bool c = false, bool a = false) : VK(vk), S(s), C(c), A(a) {
    const size_t n = text ? std::min(std::strlen(text), sizeof utf8 - 1) : 0;
    if (n > 0) std::memcpy(utf8, text, n);
  }
};

// Mouse buttons and modifier keys held during a mouse event.
struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;
  IMouseMod() = default;
  IMouseMod(bool l, bool r, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

}  // namespace igraphics
}  // namespace iplug
