#pragma once
// Menus, headless: items with captions, shortcuts, check marks, help contexts and command ids;
// a popup menu "shows" by recording where it was asked to appear, and a person's choice is
// an item's Click.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/Controls.h"

namespace epc {

using TShortCut = uint16_t;
// A key with scMods in the high byte, as the framework packs shortcuts.
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0 };
TShortCut ShortCut(Word key, TShiftState shift);

class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;
    std::string ClassName() const override { return "TMenuItem"; }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool value) { FChecked = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut value) { FShortCut = value; }
    THelpContext HelpContext() const { return FHelpContext; }
    void SetHelpContext(THelpContext value) { FHelpContext = value; }
    // Unique in the process, as WM_MENUSELECT and WM_COMMAND carry it.
    Word Command() const { return FCommand; }

    // The sub-items.
    int Count() const { return int(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(size_t(index)).get(); }
    TMenuItem* Parent() const { return FParent; }
    // Takes the item over.
    void Add(std::unique_ptr<TMenuItem> item);
    void Clear() { FItems.clear(); }
    TMenuItem* FindByCommand(Word command);

    // What choosing the item does.
    virtual void Click();
    TNotifyEvent OnClick;

private:
    std::string FCaption;
    bool FChecked = false;
    bool FEnabled = true;
    TShortCut FShortCut = scNone;
    THelpContext FHelpContext = 0;
    Word FCommand;
    TMenuItem* FParent = nullptr;
    std::vector<std::unique_ptr<TMenuItem>> FItems;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    std::string ClassName() const override { return "TMenu"; }
    TMenuItem* Items() const { return FItems.get(); }
    TMenuItem* FindItem(Word command) { return FItems->FindByCommand(command); }

private:
    std::unique_ptr<TMenuItem> FItems;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
    std::string ClassName() const override { return "TMainMenu"; }
};

class TPopupMenu : public TMenu {
public:
    using TMenu::TMenu;
    std::string ClassName() const override { return "TPopupMenu"; }

    // Fires OnPopup and records the screen point; the menu stays "open" until an item is
    // clicked or CloseMenu is called.
    virtual void Popup(int x, int y);
    TPoint PopupPoint() const { return FPopupPoint; }
    TControl* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TControl* value) { FPopupComponent = value; }
    TNotifyEvent OnPopup;

private:
    TPoint FPopupPoint;
    TControl* FPopupComponent = nullptr;
};

// The popup menu shown last and not closed since (null when none), for tests.
TPopupMenu* OpenPopupMenu();
void CloseMenu();
// Every living menu, to find an item by its command id.
TMenuItem* FindMenuItemByCommand(Word command);

} // namespace epc
