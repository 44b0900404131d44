#include "IPopupMenuControl.h"

#include <algorithm>

#include "IGraphics.h"

namespace iplug {
namespace igraphics {

namespace {

// Window pixels.
constexpr float kItemHeight = 18.0f;
constexpr float kSeparatorHeight = 7.0f;
constexpr float kFontSize = 12.0f;
constexpr float kBorder = 1.0f;
constexpr float kCheckColumn = 18.0f;
constexpr float kTextPadding = 12.0f;
constexpr float kSubmenuColumn = 14.0f;
constexpr float kMinWidth = 100.0f;
constexpr float kShadow = 3.0f;
constexpr float kSubmenuOverlap = 2.0f;

constexpr IColor kBackground(255, 248, 248, 248);
constexpr IColor kBorderColor(255, 150, 150, 150);
constexpr IColor kTextColor(255, 20, 20, 20);
constexpr IColor kDisabledColor(255, 160, 160, 160);
constexpr IColor kHighlightColor(255, 51, 120, 215);
constexpr IColor kSeparatorColor(255, 210, 210, 210);
constexpr IColor kShadowColor(60, 0, 0, 0);

}  // namespace

IPopupMenuControl::IPopupMenuControl() : IControl(IRECT()) {}

float IPopupMenuControl::Pixels(float px) const { return px / GetUI()->GetDrawScale(); }

float IPopupMenuControl::ItemHeight(const IPopupMenu::Item& item) const {
  return Pixels(item.GetIsSeparator() ? kSeparatorHeight : kItemHeight);
}

IRECT IPopupMenuControl::PlaceColumn(IPopupMenu& menu, float x, float y, float flipLeftOf, float flipAbove) const {
  IGraphics& g = *GetUI();
  const IText style(Pixels(kFontSize));
  float textWidth = 0.0f, height = 2.0f * Pixels(kBorder);
  bool submenus = false;
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenu::Item& item = *menu.GetItem(i);
    height += ItemHeight(item);
    submenus = submenus || item.GetSubmenu();
    IRECT box;
    if (!item.GetIsSeparator()) textWidth = std::max(textWidth, g.MeasureText(style, item.GetText(), box));
  }
  const float width = std::max(Pixels(kMinWidth), 2.0f * Pixels(kBorder) + Pixels(kCheckColumn) + textWidth +
                                                      Pixels(kTextPadding) + (submenus ? Pixels(kSubmenuColumn) : 0.0f));
  const IRECT window = g.GetBounds();
  height = std::min(height, window.H());
  float left = x, top = y;
  if (left + width > window.R) left = flipLeftOf - width;
  if (left < window.L) left = std::max(window.L, window.R - width);
  if (top + height > window.B) top = flipAbove - height;
  if (top < window.T) top = std::max(window.T, window.B - height);
  return IRECT(left, top, left + width, top + height);
}

IPopupMenuControl::Layout IPopupMenuControl::LayoutOf(const Level& level) const {
  Layout layout;
  const IPopupMenu& menu = *level.menu;
  const float border = Pixels(kBorder), arrow = Pixels(kItemHeight);
  const float bottom = level.rect.B - border;
  float y = level.rect.T + border;
  if (level.first > 0) {
    layout.up = IRECT(level.rect.L, y, level.rect.R, y + arrow);
    y += arrow;
  }
  // The height the items from i on still need.
  std::vector<float> rest(menu.NItems() + 1, 0.0f);
  for (int i = menu.NItems() - 1; i >= 0; --i) rest[i] = rest[i + 1] + ItemHeight(*menu.GetItem(i));
  for (int i = level.first; i < menu.NItems(); ++i) {
    const float h = ItemHeight(*menu.GetItem(i));
    if (y + rest[i] > bottom + 0.01f && y + h > bottom - arrow + 0.01f) {
      layout.down = IRECT(level.rect.L, bottom - arrow, level.rect.R, bottom);
      break;
    }
    layout.rows.push_back({i, IRECT(level.rect.L + border, y, level.rect.R - border, y + h)});
    y += h;
  }
  return layout;
}

IRECT IPopupMenuControl::GetItemBounds(int level, int index) const {
  if (level < 0 || level >= NLevels()) return IRECT();
  for (const Row& row : LayoutOf(mLevels[level]).rows)
    if (row.item == index) return row.rect;
  return IRECT();
}

IRECT IPopupMenuControl::GetDrawRECT() const {
  IRECT area;
  for (const Level& level : mLevels) area = area.Union(level.rect.GetPadded(0.0f, 0.0f, Pixels(kShadow), Pixels(kShadow)));
  return area;
}

void IPopupMenuControl::Redraw() {
  GetUI()->SetAreaDirty(mDrawn);
  mDrawn = GetDrawRECT();
  GetUI()->SetAreaDirty(mDrawn);
}

// --- opening and closing ---

void IPopupMenuControl::Open(IControl& caller, IPopupMenu& menu, const IRECT& anchor, int valIdx) {
  Dismiss();
  if (menu.NItems() == 0) return;
  mCaller = &caller;
  mValIdx = valIdx;
  mPressedInside = false;
  mLevels.push_back({&menu, PlaceColumn(menu, anchor.L, anchor.B, anchor.R, anchor.T)});
  Redraw();
  GetUI()->UpdateKeyboardFocus();
}

void IPopupMenuControl::Dismiss(bool silently) {
  if (!IsOpen()) return;
  IControl* caller = mCaller;
  mLevels.clear();
  mCaller = nullptr;
  Redraw();
  GetUI()->UpdateKeyboardFocus();
  if (!silently) caller->OnPopupMenuSelection(nullptr, mValIdx);
}

void IPopupMenuControl::Choose(int level, int item) {
  IPopupMenu* menu = mLevels[level].menu;
  menu->SetChosenItemIdx(item);
  for (int k = 0; k < level; ++k) mLevels[k].menu->SetChosenItemIdx(mLevels[k].openItem);
  IControl* caller = mCaller;
  mLevels.clear();
  mCaller = nullptr;
  Redraw();
  GetUI()->UpdateKeyboardFocus();
  caller->OnPopupMenuSelection(menu, mValIdx);
}

void IPopupMenuControl::OpenSubmenu(int level, int item, bool highlightFirst) {
  CloseLevelsAfter(level);
  Level& parent = mLevels[level];
  parent.highlighted = item;
  IPopupMenu* sub = parent.menu->GetItem(item)->GetSubmenu();
  if (!sub || sub->NItems() == 0) {
    Redraw();
    return;
  }
  KeepVisible(level);
  const IRECT row = GetItemBounds(level, item);
  const IRECT column = PlaceColumn(*sub, parent.rect.R - Pixels(kSubmenuOverlap), row.T - Pixels(kBorder),
                                   parent.rect.L + Pixels(kSubmenuOverlap), GetUI()->GetBounds().B);
  parent.openItem = item;
  mLevels.push_back({sub, column});
  if (highlightFirst) Step(level + 1, -1, 1);
  Redraw();
}

void IPopupMenuControl::CloseLevelsAfter(int level) {
  if (level + 1 >= NLevels()) return;
  mLevels.resize(level + 1);
  mLevels[level].openItem = -1;
  Redraw();
}

// --- highlighting and scrolling ---

void IPopupMenuControl::Highlight(int level, int item) {
  Level& lv = mLevels[level];
  if (item != lv.openItem) CloseLevelsAfter(level);
  lv.highlighted = item;
  KeepVisible(level);
  Redraw();
}

void IPopupMenuControl::Step(int level, int from, int direction) {
  const IPopupMenu& menu = *mLevels[level].menu;
  const int n = menu.NItems();
  int i = from;
  for (int tries = 0; tries < n; ++tries) {
    i = (i < 0 && direction < 0) ? n - 1 : (i + direction + n) % n;
    if (menu.GetItem(i)->GetIsChoosable()) {
      Highlight(level, i);
      return;
    }
  }
}

void IPopupMenuControl::Scroll(int level, int by) {
  Level& lv = mLevels[level];
  const Layout layout = LayoutOf(lv);
  if ((by < 0 && layout.up.Empty()) || (by > 0 && layout.down.Empty())) return;
  CloseLevelsAfter(level);
  lv.first = std::clamp(lv.first + by, 0, lv.menu->NItems() - 1);
  Redraw();
}

void IPopupMenuControl::KeepVisible(int level) {
  Level& lv = mLevels[level];
  if (lv.highlighted < 0) return;
  if (lv.highlighted < lv.first) lv.first = lv.highlighted;
  while (GetItemBounds(level, lv.highlighted).Empty() && lv.first < lv.highlighted) ++lv.first;
}

// --- mouse ---

int IPopupMenuControl::LevelAt(float x, float y, int& item) const {
  item = -1;
  for (int level = NLevels() - 1; level >= 0; --level) {
    if (!mLevels[level].rect.Contains(x, y)) continue;
    for (const Row& row : LayoutOf(mLevels[level]).rows)
      if (row.rect.Contains(x, y)) item = row.item;
    return level;
  }
  return -1;
}

void IPopupMenuControl::OnMouseOver(float x, float y, const IMouseMod&) {
  int item = -1;
  const int level = LevelAt(x, y, item);
  if (level < 0 || item < 0) return;
  Level& lv = mLevels[level];
  if (item == lv.openItem) {
    if (lv.highlighted != item) Highlight(level, item);
    return;
  }
  const IPopupMenu::Item& it = *lv.menu->GetItem(item);
  if (!it.GetIsChoosable()) {
    if (lv.openItem < 0 && lv.highlighted >= 0) Highlight(level, -1);
    return;
  }
  if (it.GetSubmenu())
    OpenSubmenu(level, item, false);
  else if (lv.highlighted != item)
    Highlight(level, item);
}

void IPopupMenuControl::OnMouseDrag(float x, float y, float, float, const IMouseMod& mod) { OnMouseOver(x, y, mod); }

void IPopupMenuControl::OnMouseDown(float x, float y, const IMouseMod&) {
  int item = -1;
  const int level = LevelAt(x, y, item);
  if (level < 0) {
    Dismiss();
    return;
  }
  mPressedInside = true;
  const Layout layout = LayoutOf(mLevels[level]);
  if (layout.up.Contains(x, y)) Scroll(level, -1);
  if (layout.down.Contains(x, y)) Scroll(level, 1);
  const IPopupMenu::Item* it = mLevels[level].menu->GetItem(item);
  if (!it || !it->GetIsChoosable()) return;
  if (it->GetSubmenu() && mLevels[level].openItem != item)
    OpenSubmenu(level, item, false);
  else
    Highlight(level, item);
}

void IPopupMenuControl::OnMouseUp(float x, float y, const IMouseMod&) {
  // Only a click inside the menu chooses: the release of the press that opened it does not.
  if (!mPressedInside) return;
  mPressedInside = false;
  int item = -1;
  const int level = LevelAt(x, y, item);
  const IPopupMenu::Item* it = level >= 0 ? mLevels[level].menu->GetItem(item) : nullptr;
  if (it && it->GetIsChoosable() && !it->GetSubmenu()) Choose(level, item);
}

void IPopupMenuControl::OnMouseWheel(float x, float y, const IMouseMod&, float delta) {
  int item = -1;
  const int level = LevelAt(x, y, item);
  if (level >= 0 && delta != 0.0f) Scroll(level, delta > 0.0f ? -1 : 1);
}

// --- keyboard ---

bool IPopupMenuControl::OnKeyDown(float, float, const IKeyPress& key) {
  if (!IsOpen()) return false;
  // The keys act on the deepest column.
  const int level = NLevels() - 1;
  Level& lv = mLevels[level];
  const IPopupMenu::Item* it = lv.menu->GetItem(lv.highlighted);
  switch (key.VK) {
    case kVK_DOWN: Step(level, lv.highlighted, 1); break;
    case kVK_UP: Step(level, lv.highlighted, -1); break;
    case kVK_HOME: Step(level, -1, 1); break;
    case kVK_END: Step(level, -1, -1); break;
    case kVK_RIGHT:
      if (it && it->GetSubmenu()) OpenSubmenu(level, lv.highlighted, true);
      break;
    case kVK_LEFT:
      if (level > 0) {
        CloseLevelsAfter(level - 1);
        Highlight(level - 1, mLevels[level - 1].highlighted);
      }
      break;
    case kVK_ESCAPE:
      if (NLevels() > 1)
        CloseLevelsAfter(NLevels() - 2);
      else
        Dismiss();
      break;
    case kVK_RETURN:
    case kVK_SPACE:
      if (it && it->GetSubmenu()) OpenSubmenu(level, lv.highlighted, true);
      else if (it) Choose(level, lv.highlighted);
      break;
    default: break;
  }
  return true;  // the menu has the keyboard
}

// --- drawing ---

void IPopupMenuControl::Draw(IGraphics& g) {
  const IText normal(Pixels(kFontSize), kTextColor, nullptr, EAlign::Near, EVAlign::Middle);
  const float px = Pixels(1.0f);
  for (const Level& level : mLevels) {
    const IRECT& r = level.rect;
    g.FillRect(kShadowColor, r.GetTranslated(Pixels(kShadow), Pixels(kShadow)));
    g.FillRect(kBackground, r);
    g.DrawRect(kBorderColor, r.GetPadded(-0.5f * px), nullptr, px);
    const Layout layout = LayoutOf(level);
    for (const Row& row : layout.rows) {
      const IPopupMenu::Item& item = *level.menu->GetItem(row.item);
      const IRECT& b = row.rect;
      if (item.GetIsSeparator()) {
        g.DrawLine(kSeparatorColor, b.L + 4.0f * px, b.MH(), b.R - 4.0f * px, b.MH(), nullptr, px);
        continue;
      }
      const bool lit = row.item == level.highlighted && item.GetIsChoosable();
      if (lit) g.FillRect(kHighlightColor, b);
      IText text = normal;
      text.mFGColor = lit ? COLOR_WHITE : (item.GetIsChoosable() ? kTextColor : kDisabledColor);
      g.DrawText(text, item.GetText(), IRECT(b.L + Pixels(kCheckColumn), b.T, b.R - Pixels(kSubmenuColumn), b.B));
      const float cx = b.L + 0.5f * Pixels(kCheckColumn), cy = b.MH();
      if (item.GetChecked()) {
        g.DrawLine(text.mFGColor, cx - 4.0f * px, cy, cx - 1.0f * px, cy + 3.0f * px, nullptr, 1.5f * px);
        g.DrawLine(text.mFGColor, cx - 1.0f * px, cy + 3.0f * px, cx + 4.0f * px, cy - 4.0f * px, nullptr, 1.5f * px);
      }
      if (item.GetSubmenu())
        g.FillTriangle(text.mFGColor, b.R - 10.0f * px, cy - 4.0f * px, b.R - 10.0f * px, cy + 4.0f * px,
                       b.R - 5.0f * px, cy);
    }
    if (!layout.up.Empty())
      g.FillTriangle(kTextColor, layout.up.MW() - 5.0f * px, layout.up.MH() + 3.0f * px, layout.up.MW() + 5.0f * px,
                     layout.up.MH() + 3.0f * px, layout.up.MW(), layout.up.MH() - 3.0f * px);
    if (!layout.down.Empty())
      g.FillTriangle(kTextColor, layout.down.MW() - 5.0f * px, layout.down.MH() - 3.0f * px,
                     layout.down.MW() + 5.0f * px, layout.down.MH() - 3.0f * px, layout.down.MW(),
                     layout.down.MH() + 3.0f * px);
  }
}

}  // namespace igraphics
}  // namespace iplug
