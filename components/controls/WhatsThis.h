#pragma once
// Context help by control: F1 over a control, or the "What's this?" mode entered with
// Shift+F1, a menu item or a toolbar button and ended by clicking a control, shows that
// control's help context as a popup through the application's help commands. Thread hooks
// watch the keyboard, the mouse and menu selection; they only post to the utility window,
// from whose message handling the help is shown.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/controls/HelpBase.h"
#include "components/controls/HelpContextMap.h"
#include "platform/controls/Controls.h"
#include "platform/controls/Menus.h"

namespace epc {

enum TF1Action : uint8_t { goContext, goDefault, goTOC };
enum TWhatsThisOption : uint8_t {
    wtDirectHelp,
    wtMenuRightClick,
    wtNoContextHelp,
    wtNoContextMenu,
    wtPopupOnForm,
    wtInheritFormContext,
    wtUseTag,
    wtUseAppKey
};
using TWhatsThisOptions = TSet<TWhatsThisOption>;

// Supplies the context of a control (0: none).
using TWTHelpContextEvent =
    std::function<void(TObject* sender, TControl* control, THelpContext& helpContext)>;
// Before help for a context is shown at a screen point; Cancel stops it.
using TWTHelpEvent =
    std::function<void(TObject* sender, THelpContext helpContext, TPoint pos, bool& cancel)>;
// Before the right-click menu shows for a control; Cancel stops it.
using TWTPopupEvent =
    std::function<void(TObject* sender, TControl* control, TPoint pos, bool& cancel)>;
// F1 pressed; Handled stops the component's own handling.
using TF1KeyDownEvent = std::function<void(TObject* sender, bool& handled)>;

// The utility window's messages.
enum : uint32_t {
    WM_WT_SHOWPENDING = WM_USER + 100, // F1 or the Applications key: the point in LParam
    WM_WT_SHOWATPOINT = WM_USER + 101, // a click in context mode: the point in LParam
    WM_WT_REMOVEMSGHOOK = WM_USER + 102
};

inline constexpr const char* SWhatsThisActive =
    "TWhatsThis must be deactivated to change this property";
inline constexpr const char* SNotActiveSuffix = " is currently not active.";

class TWhatsThis : public THelpBase {
public:
    enum TMode : uint8_t { wmIdle = 0, wmF1Pending = 1, wmContext = 3 };

    explicit TWhatsThis(TComponent* owner);
    ~TWhatsThis() override;
    std::string ClassName() const override { return "TWhatsThis"; }

    bool Active() const { return FActive; }
    void SetActive(bool value);
    THelpContextMap* HelpContextMap() const { return FHelpContextMap; }
    void SetHelpContextMap(THelpContextMap* value);
    TF1Action F1Action() const { return FF1Action; }
    void SetF1Action(TF1Action value) { FF1Action = value; }
    TWhatsThisOptions Options() const { return FOptions; }
    void SetOptions(TWhatsThisOptions value) { FOptions = value; }
    const std::string& PopupCaption() const { return FPopupCaption; }
    void SetPopupCaption(const std::string& value);
    THelpContext PopupHelpContext() const { return FPopupHelpContext; }
    void SetPopupHelpContext(THelpContext value);
    TMenuItem* WTMenuItem() const { return FWTMenuItem; }
    void SetWTMenuItem(TMenuItem* value);
    TControl* WTToolbarButton() const { return FWTToolbarButton; }
    void SetWTToolbarButton(TControl* value);

    TNotifyEvent OnEnterContextMode;
    TNotifyEvent OnLeaveContextMode;
    TWTHelpContextEvent OnGetContext;
    TWTHelpEvent OnHelp;
    TWTPopupEvent OnPopup;
    TF1KeyDownEvent OnF1KeyDown;

    void EnterContextMode();
    void LeaveContextMode();
    TMode Mode() const { return FMode; }
    bool Hooked() const { return FHooked; }
    // Whether the hook that follows menus is installed (only while a menu may be open).
    bool MessageHooked() const { return FMessageHook != nullptr; }
    // The right-click menu (made when loading finished).
    TPopupMenu* PopupMenu() const { return FPopupMenu.get(); }

    // The context of a control, following the options (0 when it has none).
    THelpContext GetControlContext(TControl* control);
    // The control under a screen point (null when none of this application's).
    static TControl* ControlAtPoint(TPoint screen);
    // Shows the help of the control (or the menu item) at a screen point.
    void ShowContextAt(TPoint screen);

    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void HandleMessage(TMessage& message) override;

private:
    void InstallHooks();
    void RemoveHooks();
    void InstallMessageHook();
    void RemoveMessageHook();
    void PostRemoveMessageHook();
    LRESULT KeyboardHook(int code, WPARAM key, LPARAM keyData);
    LRESULT MouseHook(int code, WPARAM msg, LPARAM data);
    LRESULT MessageHook(int code, WPARAM remove, LPARAM data);
    void ShowHelp(THelpContext context, TPoint pos);
    void ShowRightClickMenu(TControl* control, TPoint pos);
    void ToggleMode(TObject* sender);
    void SetStateShown(bool on);
    // The control whose help a pending F1 or Applications key shows.
    void SetPendingControl(TControl* value);
    // Drops the free notification of a component no field holds any more.
    void ReleaseFreeNotification(TComponent* component);
    std::string NameKey(TControl* control) const;
    THelpContext FocusControlContext(TControl* control);

    bool FActive = true;
    THelpContextMap* FHelpContextMap = nullptr;
    TF1Action FF1Action = goContext;
    TWhatsThisOptions FOptions{wtMenuRightClick, wtNoContextHelp, wtNoContextMenu,
                               wtInheritFormContext};
    std::string FPopupCaption = "What's this?";
    THelpContext FPopupHelpContext = 0;
    TMenuItem* FWTMenuItem = nullptr;
    TControl* FWTToolbarButton = nullptr;
    TNotifyEvent FSavedMenuClick;
    TNotifyEvent FSavedButtonClick;

    TMode FMode = wmIdle;
    bool FHooked = false;
    bool FShiftDown = false;
    bool FInMenu = false;
    TMenuItem* FMenuItemUnderCursor = nullptr;
    bool FSwallowLeftUp = false;
    bool FSwallowRightUp = false;
    HHOOK FKeyboardHook = nullptr;
    HHOOK FMouseHook = nullptr;
    HHOOK FMessageHook = nullptr;
    TWhatsThis* FPrevious = nullptr;
    std::unique_ptr<TPopupMenu> FPopupMenu;
    TControl* FPopupControl = nullptr;
    TControl* FPendingControl = nullptr;
    TPoint FPopupPoint;
};

} // namespace epc
