#pragma once

// A menu shown inside the editor window (IGraphics::CreatePopupMenu): a column of items next to where it
// was opened, each submenu in a column of its own beside its item. Mouse: hovering highlights and opens
// submenus, a click chooses, a click outside dismisses. Keyboard (in the deepest column open): Up/Down/
// Home/End move between the items that can be chosen, Right or Enter opens a submenu, Left or Escape
// closes one (Escape at the top dismisses), Enter or Space chooses. A column taller than the window scrolls (wheel, arrow rows, keys).
// Sizes are window pixels whatever the editor's scale.

#include <vector>

#include "IControl.h"
#include "IPopupMenu.h"

namespace iplug {
namespace igraphics {

class IPopupMenuControl : public IControl {
public:
  IPopupMenuControl();
  // Shows menu next to anchor (canvas units; an empty rectangle is a point). An open menu is dismissed
  // first. Nothing is shown for a menu without items.
  void Open(IControl& caller, IPopupMenu& menu, const IRECT& anchor, int valIdx);
  bool IsOpen() const { return !mLevels.empty(); }
  // Closes the menu; the caller hears of it (nullptr) unless silently.
  void Dismiss(bool silently = false);

  // The columns shown: 0 is the menu itself, each further one the submenu opened in the one before.
  int NLevels() const { return static_cast<int>(mLevels.size()); }
  IPopupMenu* GetLevelMenu(int level) const { return level >= 0 && level < NLevels() ? mLevels[level].menu : nullptr; }
  // The highlighted item of a column, -1 if none.
  int GetHighlighted(int level) const { return level >= 0 && level < NLevels() ? mLevels[level].highlighted : -1; }
  // Where item index of a column is drawn (canvas units); empty when it is scrolled out of sight.
  IRECT GetItemBounds(int level, int index) const;

  void Draw(IGraphics& g) override;
  IRECT GetDrawRECT() const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override { OnMouseDown(x, y, mod); }
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  struct Level {
    IPopupMenu* menu;
    IRECT rect;            // canvas units
    int highlighted = -1;
    int first = 0;         // the first item shown (scrolling)
    int openItem = -1;     // the item whose submenu is the next column
  };
  // What a column shows: the rows of its visible items and the scroll arrows.
  struct Row {
    int item;
    IRECT rect;
  };
  struct Layout {
    std::vector<Row> rows;
    IRECT up, down;  // empty when there is nothing to scroll to
  };
  Layout LayoutOf(const Level& level) const;
  float Pixels(float px) const;
  float ItemHeight(const IPopupMenu::Item& item) const;
  // The column rectangle for menu placed at (x, y) or, when it does not fit, flipped or moved into the
  // window; flipLeftOf is the left edge to place it against when it does not fit to the right.
  IRECT PlaceColumn(IPopupMenu& menu, float x, float y, float flipLeftOf, float flipAbove) const;
  // The deepest column under the point and the item there (-1: none), or -1.
  int LevelAt(float x, float y, int& item) const;
  void OpenSubmenu(int level, int item, bool highlightFirst);
  void CloseLevelsAfter(int level);
  void Highlight(int level, int item);
  void Step(int level, int from, int direction);
  void Scroll(int level, int by);
  void KeepVisible(int level);
  void Choose(int level, int item);
  void Redraw();

  std::vector<Level> mLevels;
  IControl* mCaller = nullptr;
  int mValIdx = 0;
  bool mPressedInside = false;
  IRECT mDrawn;  // what the menu covered when last marked for redrawing
};

}  // namespace igraphics
}  // namespace iplug
