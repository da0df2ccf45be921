#include "platform/controls/Menus.h"

#include <algorithm>

#include "platform/controls/ControlsState.h"

namespace epc {

namespace {

TMenuState& MenuState() {
    return ControlsState().Menus;
}

} // namespace

TShortCut ShortCut(Word key, TShiftState shift) {
    TShortCut result = TShortCut(key & 0xFF);
    if (shift.Contains(ssShift)) result |= scShift;
    if (shift.Contains(ssCtrl)) result |= scCtrl;
    if (shift.Contains(ssAlt)) result |= scAlt;
    return result;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), FCommand(MenuState().NextCommand++) {
    if (MenuState().NextCommand == 0) MenuState().NextCommand = 1;
}

TMenuItem::~TMenuItem() = default;

void TMenuItem::Add(std::unique_ptr<TMenuItem> item) {
    if (!item) return;
    item->FParent = this;
    FItems.push_back(std::move(item));
}

TMenuItem* TMenuItem::FindByCommand(Word command) {
    if (FCommand == command) return this;
    for (auto& item : FItems)
        if (TMenuItem* found = item->FindByCommand(command)) return found;
    return nullptr;
}

void TMenuItem::Click() {
    if (!FEnabled) return;
    MenuState().Open = nullptr;
    if (OnClick) OnClick(this);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr)) {
    MenuState().Menus.push_back(this);
}

TMenu::~TMenu() {
    auto& st = MenuState();
    std::erase(st.Menus, this);
    if (st.Open == this) st.Open = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
    FPopupPoint = TPoint(x, y);
    if (OnPopup) OnPopup(this);
    MenuState().Open = this;
}

TPopupMenu* OpenPopupMenu() {
    return MenuState().Open;
}
void CloseMenu() {
    MenuState().Open = nullptr;
}

TMenuItem* FindMenuItemByCommand(Word command) {
    for (TMenu* menu : MenuState().Menus)
        if (TMenuItem* item = menu->FindItem(command)) return item;
    return nullptr;
}

} // namespace epc
