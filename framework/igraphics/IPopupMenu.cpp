#include "IPopupMenu.h"

namespace iplug {
namespace igraphics {

IPopupMenu::Item::Item(const char* str, int flags, int tag) : mText(str ? str : ""), mFlags(flags), mTag(tag) {}

IPopupMenu::Item::Item(const char* str, IPopupMenu* pSubMenu)
    : mText(str ? str : ""), mFlags(kNoFlags), mTag(-1), mSubmenu(pSubMenu) {}

IPopupMenu::IPopupMenu(const char* rootTitle) : mRootTitle(rootTitle ? rootTitle : "") {}

IPopupMenu::Item* IPopupMenu::AddItem(Item* pItem, int index) {
  if (!pItem) return nullptr;
  if (index < 0 || index >= NItems())
    mItems.emplace_back(pItem);
  else
    mItems.emplace(mItems.begin() + index, pItem);
  return pItem;
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* str, int index, int itemFlags) {
  return AddItem(new Item(str, itemFlags), index);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* str, IPopupMenu* pSubmenu, int index) {
  return AddItem(new Item(str, pSubmenu), index);
}

IPopupMenu::Item* IPopupMenu::AddSeparator(int index) { return AddItem(new Item("", Item::kSeparator), index); }

const char* IPopupMenu::GetItemText(int index) const {
  const Item* item = GetItem(index);
  return item ? item->GetText() : "";
}

void IPopupMenu::CheckItem(int index, bool checked) {
  if (Item* item = GetItem(index)) item->SetChecked(checked);
}

void IPopupMenu::SetItemEnabled(int index, bool enabled) {
  if (Item* item = GetItem(index)) item->SetEnabled(enabled);
}

void IPopupMenu::Clear(bool resetEverything) {
  if (resetEverything) mRootTitle.clear();
  mChosenItemIdx = -1;
  mItems.clear();
}

}  // namespace igraphics
}  // namespace iplug
