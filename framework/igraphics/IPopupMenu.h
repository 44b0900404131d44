#pragma once

// A menu as data: items with a text and flags (disabled, checked, separator, title), items that open a
// submenu, and the index of the item chosen in it. A graphics context shows it (IGraphics::CreatePopupMenu)
// and tells the control that opened it which (sub)menu an item was chosen in.

#include <memory>
#include <string>
#include <vector>

namespace iplug {
namespace igraphics {

class IPopupMenu {
public:
  class Item {
  public:
    enum Flags { kNoFlags = 0, kDisabled = 1 << 0, kTitle = 1 << 1, kChecked = 1 << 2, kSeparator = 1 << 3 };

    Item(const char* str, int flags = kNoFlags, int tag = -1);
    // An item that opens pSubMenu (owned by the item from now on).
    Item(const char* str, IPopupMenu* pSubMenu);
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    const char* GetText() const { return mText.c_str(); }
    void SetText(const char* str) { mText = str ? str : ""; }
    int GetFlags() const { return mFlags; }
    bool GetEnabled() const { return !(mFlags & kDisabled); }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    // Whether the user can pick it (or open its submenu): enabled, and neither a separator nor a title.
    bool GetIsChoosable() const { return !(mFlags & (kDisabled | kSeparator | kTitle)); }
    void SetEnabled(bool enabled) { SetFlag(kDisabled, !enabled); }
    void SetChecked(bool checked) { SetFlag(kChecked, checked); }
    int GetTag() const { return mTag; }
    IPopupMenu* GetSubmenu() const { return mSubmenu.get(); }

  private:
    void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }
    std::string mText;
    int mFlags;
    int mTag;
    std::unique_ptr<IPopupMenu> mSubmenu;
  };

  explicit IPopupMenu(const char* rootTitle = "");
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Adds an item (owned by the menu) at index, or at the end when index is outside the menu; returns it.
  Item* AddItem(Item* pItem, int index = -1);
  Item* AddItem(const char* str, int index = -1, int itemFlags = Item::kNoFlags);
  // An item that opens pSubmenu (owned by the menu from now on).
  Item* AddItem(const char* str, IPopupMenu* pSubmenu, int index = -1);
  Item* AddSeparator(int index = -1);

  int NItems() const { return static_cast<int>(mItems.size()); }
  // nullptr for an index outside the menu.
  Item* GetItem(int index) const { return (index >= 0 && index < NItems()) ? mItems[index].get() : nullptr; }
  const char* GetItemText(int index) const;
  void CheckItem(int index, bool checked);
  void SetItemEnabled(int index, bool enabled);

  // The position of the item chosen in this menu, -1 if none.
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  Item* GetChosenItem() const { return GetItem(mChosenItemIdx); }

  const char* GetRootTitle() const { return mRootTitle.c_str(); }
  void SetRootTitle(const char* title) { mRootTitle = title ? title : ""; }
  // Deletes every item and forgets the chosen one; with resetEverything the title goes too.
  void Clear(bool resetEverything = true);

private:
  std::string mRootTitle;
  int mChosenItemIdx = -1;
  std::vector<std::unique_ptr<Item>> mItems;
};

}  // namespace igraphics
}  // namespace iplug
