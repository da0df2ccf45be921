#include "components/controls/WhatsThis.h"

#include <algorithm>
#include <vector>

#include "platform/controls/Buttons.h"
#include "platform/controls/Forms.h"
#include "platform/core/Strings.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

namespace {

// Every living instance, and the one whose hooks are installed.
std::vector<TWhatsThis*>& Instances() {
    static std::vector<TWhatsThis*> list;
    return list;
}
TWhatsThis* GCurrent = nullptr;

bool Alive(TWhatsThis* w) {
    auto& list = Instances();
    return std::find(list.begin(), list.end(), w) != list.end();
}

bool EndsWithText(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           SameText(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

TWinControl* OwnControlOfWindow(HWND h) {
    for (; h; h = GetParent(h))
        if (TWinControl* c = TWinControl::FindControl(h)) return c;
    return nullptr;
}

TWinControl* FocusedControl() {
    if (TWinControl* c = OwnControlOfWindow(GetFocus())) return c;
    return Screen->ActiveControl();
}

} // namespace

TWhatsThis::TWhatsThis(TComponent* owner) : THelpBase(owner) {
    Instances().push_back(this);
}

TWhatsThis::~TWhatsThis() {
    if (FHooked) {
        if (FMode == wmContext) LeaveContextMode();
        RemoveHooks();
    }
    std::erase(Instances(), this);
    for (TWhatsThis* other : Instances())
        if (other->FPrevious == this) other->FPrevious = FPrevious;
    TWhatsThis* previous = FPrevious;
    if (previous && Alive(previous) && previous->FActive && !previous->FHooked && !GCurrent)
        previous->InstallHooks();
}

void TWhatsThis::Loaded() {
    THelpBase::Loaded();
    if (!FHelpContextMap && Owner())
        for (int i = 0; i < Owner()->ComponentCount(); ++i)
            if (auto* map = dynamic_cast<THelpContextMap*>(Owner()->Components(i))) {
                SetHelpContextMap(map);
                break;
            }
    if (ComponentState().Contains(TComponentStateItem::csDesigning)) return;
    if (!FPopupMenu) {
        FPopupMenu = std::make_unique<TPopupMenu>(nullptr);
        auto item = std::make_unique<TMenuItem>(nullptr);
        item->SetCaption(FPopupCaption);
        item->SetHelpContext(FPopupHelpContext);
        item->OnClick = [this](TObject*) {
            if (FPopupControl) ShowHelp(GetControlContext(FPopupControl), FPopupPoint);
        };
        FPopupMenu->Items()->Add(std::move(item));
    }
    if (FActive && !FHooked) InstallHooks();
}

void TWhatsThis::Notification(TComponent* component, TOperation operation) {
    THelpBase::Notification(component, operation);
    if (operation == TOperation::opInsert) {
        // The first map added to the owner is taken, after loading as well as during it.
        auto* map = dynamic_cast<THelpContextMap*>(component);
        if (map && !FHelpContextMap && !Destroying() && Owner() && map->Owner() == Owner())
            SetHelpContextMap(map);
        return;
    }
    if (operation != TOperation::opRemove) return;
    if (component == FHelpContextMap) FHelpContextMap = nullptr;
    if (component == FWTMenuItem) FWTMenuItem = nullptr;
    if (component == FWTToolbarButton) FWTToolbarButton = nullptr;
    if (component == FPopupControl) FPopupControl = nullptr;
    if (component == FPendingControl) FPendingControl = nullptr;
}

void TWhatsThis::SetPendingControl(TControl* value) {
    if (FPendingControl == value) return;
    TControl* old = FPendingControl;
    FPendingControl = value;
    ReleaseFreeNotification(old);
    if (FPendingControl) FPendingControl->FreeNotification(this);
}

void TWhatsThis::ReleaseFreeNotification(TComponent* component) {
    // One notification serves every field that holds the component.
    if (!component || component == FHelpContextMap || component == FWTMenuItem ||
        component == FWTToolbarButton || component == FPopupControl ||
        component == FPendingControl)
        return;
    component->RemoveFreeNotification(this);
}

void TWhatsThis::SetActive(bool value) {
    if (FActive == value) return;
    FActive = value;
    if (Loading() || ComponentState().Contains(TComponentStateItem::csDesigning)) return;
    if (value && !FHooked) {
        if (!Handle()) CreateHandle();
        InstallHooks();
    } else if (!value && FHooked) {
        if (FMode == wmContext) LeaveContextMode();
        RemoveHooks();
        TWhatsThis* previous = FPrevious;
        FPrevious = nullptr;
        if (previous && Alive(previous) && previous->FActive && !previous->FHooked)
            previous->InstallHooks();
    }
}

void TWhatsThis::SetHelpContextMap(THelpContextMap* value) {
    if (FHelpContextMap == value) return;
    if (FHelpContextMap) FHelpContextMap->RemoveFreeNotification(this);
    FHelpContextMap = value;
    if (FHelpContextMap) FHelpContextMap->FreeNotification(this);
}

void TWhatsThis::SetPopupCaption(const std::string& value) {
    FPopupCaption = value;
    if (FPopupMenu && FPopupMenu->Items()->Count() > 0)
        FPopupMenu->Items()->Items(0)->SetCaption(value);
}

void TWhatsThis::SetPopupHelpContext(THelpContext value) {
    FPopupHelpContext = value;
    if (FPopupMenu && FPopupMenu->Items()->Count() > 0)
        FPopupMenu->Items()->Items(0)->SetHelpContext(value);
}

void TWhatsThis::SetWTMenuItem(TMenuItem* value) {
    if (FHooked) throw Exception(SWhatsThisActive);
    if (FWTMenuItem == value) return;
    if (FWTMenuItem) {
        FWTMenuItem->SetShortCut(scNone);
        FWTMenuItem->RemoveFreeNotification(this);
    }
    FWTMenuItem = value;
    if (FWTMenuItem) {
        FWTMenuItem->SetShortCut(ShortCut(VK_F1, {ssShift}));
        FWTMenuItem->FreeNotification(this);
    }
}

void TWhatsThis::SetWTToolbarButton(TControl* value) {
    if (FHooked) throw Exception(SWhatsThisActive);
    if (FWTToolbarButton == value) return;
    TControl* old = FWTToolbarButton;
    FWTToolbarButton = value;
    ReleaseFreeNotification(old);
    if (FWTToolbarButton) FWTToolbarButton->FreeNotification(this);
}

// ---- Hooks -----------------------------------------------------------------------------------

void TWhatsThis::InstallHooks() {
    if (FHooked) return;
    if (GCurrent && GCurrent != this) {
        // The newest active instance owns the hooks; the one before waits for it to go.
        TWhatsThis* previous = GCurrent;
        if (previous->FMode == wmContext) previous->LeaveContextMode();
        previous->RemoveHooks();
        FPrevious = previous;
    }
    FKeyboardHook = SetWindowsHookExA(
        WH_KEYBOARD, [this](int c, WPARAM w, LPARAM l) { return KeyboardHook(c, w, l); }, nullptr,
        0);
    FMouseHook = SetWindowsHookExA(
        WH_MOUSE, [this](int c, WPARAM w, LPARAM l) { return MouseHook(c, w, l); }, nullptr, 0);
    FHooked = true;
    GCurrent = this;
    if (FWTMenuItem) {
        FSavedMenuClick = FWTMenuItem->OnClick;
        FWTMenuItem->OnClick = [this](TObject* s) { ToggleMode(s); };
    }
    if (FWTToolbarButton) {
        FSavedButtonClick = FWTToolbarButton->OnClick;
        FWTToolbarButton->OnClick = [this](TObject* s) { ToggleMode(s); };
    }
}

void TWhatsThis::RemoveHooks() {
    if (!FHooked) return;
    if (FKeyboardHook) UnhookWindowsHookEx(FKeyboardHook);
    if (FMouseHook) UnhookWindowsHookEx(FMouseHook);
    RemoveMessageHook();
    FKeyboardHook = FMouseHook = nullptr;
    if (FWTMenuItem) FWTMenuItem->OnClick = FSavedMenuClick;
    if (FWTToolbarButton) FWTToolbarButton->OnClick = FSavedButtonClick;
    FSavedMenuClick = nullptr;
    FSavedButtonClick = nullptr;
    FHooked = false;
    FInMenu = false;
    if (GCurrent == this) GCurrent = nullptr;
}

// The message hook follows menus, so it is there only while a menu may be open: from a press
// that can open one (a mouse button, Alt, F10, the Applications key) until the press ends
// without a menu, or the menu closes. The hooks post WM_WT_REMOVEMSGHOOK rather than unhook
// the message hook from inside a hook procedure.
void TWhatsThis::InstallMessageHook() {
    if (FMessageHook || !FHooked) return;
    FMessageHook = SetWindowsHookExA(
        WH_GETMESSAGE, [this](int c, WPARAM w, LPARAM l) { return MessageHook(c, w, l); }, nullptr,
        0);
}

void TWhatsThis::RemoveMessageHook() {
    if (FMessageHook) UnhookWindowsHookEx(FMessageHook);
    FMessageHook = nullptr;
    FInMenu = false;
    FMenuItemUnderCursor = nullptr;
}

void TWhatsThis::PostRemoveMessageHook() {
    if (FMessageHook && !FInMenu && Handle()) PostMessage(Handle(), WM_WT_REMOVEMSGHOOK, 0, 0);
}

LRESULT TWhatsThis::KeyboardHook(int code, WPARAM key, LPARAM keyData) {
    if (code < 0) return CallNextHookEx(FKeyboardHook, code, key, keyData);
    bool up = (uint32_t(keyData) >> 31) & 1;
    bool wasDown = (uint32_t(keyData) >> 30) & 1;
    if (key == VK_SHIFT) {
        FShiftDown = !up;
        return CallNextHookEx(FKeyboardHook, code, key, keyData);
    }
    if (key == VK_MENU || key == VK_F10 || key == VK_APPS) {
        if (!up)
            InstallMessageHook();
        else
            PostRemoveMessageHook();
    }
    if (!up && !wasDown) {
        bool wasContext = FMode == wmContext;
        if (wasContext) {
            LeaveContextMode();
            if (key == VK_ESCAPE) return 1;
        }
        if (key == VK_F1) {
            bool handled = false;
            if (OnF1KeyDown) OnF1KeyDown(this, handled);
            if (handled) return 1;
            if (FShiftDown) {
                if (!wasContext) EnterContextMode();
                return 1;
            }
            switch (FF1Action) {
            case goContext: {
                TPoint pos;
                if (FInMenu) {
                    GetCursorPos(&pos);
                } else if (TWinControl* focused = FocusedControl()) {
                    pos = focused->ClientToScreen(TPoint(0, 0));
                    SetPendingControl(focused);
                } else {
                    GetCursorPos(&pos);
                }
                FMode = wmF1Pending;
                PostMessage(Handle(), WM_WT_SHOWPENDING, 0, PointToLParam(pos));
                break;
            }
            case goDefault:
                Application->HelpCommand(HELP_CONTENTS, 0);
                break;
            case goTOC:
                Application->HelpCommand(HELP_TAB, 0);
                break;
            }
            return 1;
        }
    } else if (up && key == VK_APPS && FOptions.Contains(wtUseAppKey) && !FInMenu) {
        if (TWinControl* focused = FocusedControl()) {
            TPoint centre =
                focused->ClientToScreen(TPoint(focused->Width() / 2, focused->Height() / 2));
            FMode = wmF1Pending;
            SetPendingControl(focused);
            PostMessage(Handle(), WM_WT_SHOWPENDING, 0, PointToLParam(centre));
            return 1;
        }
    }
    return CallNextHookEx(FKeyboardHook, code, key, keyData);
}

LRESULT TWhatsThis::MouseHook(int code, WPARAM msg, LPARAM data) {
    if (code < 0 || !data) return CallNextHookEx(FMouseHook, code, msg, data);
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(data);
    TPoint pt = info->pt;
    bool own = OwnControlOfWindow(info->hwnd) != nullptr;
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        if (own) InstallMessageHook();
        break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
        PostRemoveMessageHook();
        break;
    default:
        break;
    }
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (FMode != wmContext) break;
        LeaveContextMode();
        if (!own) break; // outside the application: the click goes on
        FSwallowLeftUp = true;
        PostMessage(Handle(), WM_WT_SHOWATPOINT, 0, PointToLParam(pt));
        return 1;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN: {
        bool wasContext = FMode == wmContext;
        if (wasContext) LeaveContextMode();
        if (!own || !FOptions.Contains(wtMenuRightClick)) break;
        TControl* control = ControlAtPoint(pt);
        if (!control) break;
        bool onForm = dynamic_cast<TCustomForm*>(control) != nullptr;
        if (onForm && !FOptions.Contains(wtPopupOnForm)) break;
        // A control's own context menu wins unless the options suppress it.
        if (!wasContext && control->PopupMenu() && !FOptions.Contains(wtNoContextMenu)) break;
        if (FOptions.Contains(wtNoContextHelp) && GetControlContext(control) == 0) break;
        FSwallowRightUp = true;
        ShowRightClickMenu(control, pt);
        return 1;
    }
    case WM_MBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
        if (FMode == wmContext && !own) LeaveContextMode();
        break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
        if (FSwallowLeftUp) {
            FSwallowLeftUp = false;
            return 1;
        }
        break;
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
        if (FSwallowRightUp) {
            FSwallowRightUp = false;
            return 1;
        }
        break;
    default:
        break;
    }
    return CallNextHookEx(FMouseHook, code, msg, data);
}

LRESULT TWhatsThis::MessageHook(int code, WPARAM remove, LPARAM data) {
    if (code >= 0 && data) {
        const MSG* msg = reinterpret_cast<const MSG*>(data);
        switch (msg->message) {
        case WM_ENTERMENULOOP:
            FInMenu = true;
            break;
        case WM_EXITMENULOOP:
            FInMenu = false;
            FMenuItemUnderCursor = nullptr;
            PostRemoveMessageHook();
            break;
        case WM_MENUSELECT:
            if (HIWORD(msg->wParam) == 0xFFFF && msg->lParam == 0) {
                FInMenu = false;
                FMenuItemUnderCursor = nullptr;
                PostRemoveMessageHook();
            } else {
                FInMenu = true;
                FMenuItemUnderCursor = FindMenuItemByCommand(LOWORD(msg->wParam));
            }
            break;
        default:
            break;
        }
    }
    return CallNextHookEx(FMessageHook, code, remove, data);
}

// ---- Modes -----------------------------------------------------------------------------------

void TWhatsThis::SetStateShown(bool on) {
    if (FWTMenuItem) FWTMenuItem->SetChecked(on);
    // Any button with a published Boolean "Down" shows the state, whatever its class.
    if (!FWTToolbarButton) return;
    const TPropInfo* down = GetPropInfo(FWTToolbarButton, "Down");
    if (down && down->Kind == TTypeKind::tkBoolean && down->SetOrd)
        SetOrdProp(FWTToolbarButton, down, on ? 1 : 0);
}

void TWhatsThis::EnterContextMode() {
    if (!FHooked) throw Exception(Name() + SNotActiveSuffix);
    FMode = wmContext;
    Screen->SetCursor(crHelp);
    SetStateShown(true);
    if (OnEnterContextMode) OnEnterContextMode(this);
}

void TWhatsThis::LeaveContextMode() {
    if (!FHooked) throw Exception(Name() + SNotActiveSuffix);
    FMode = wmIdle;
    Screen->SetCursor(crDefault);
    SetStateShown(false);
    if (OnLeaveContextMode) OnLeaveContextMode(this);
}

void TWhatsThis::ToggleMode(TObject*) {
    if (FMode == wmContext)
        LeaveContextMode();
    else
        EnterContextMode();
}

// ---- Contexts --------------------------------------------------------------------------------

TControl* TWhatsThis::ControlAtPoint(TPoint screen) {
    TWinControl* win = OwnControlOfWindow(WindowFromPoint(screen));
    if (!win) return nullptr;
    TControl* control = win;
    // Down through the visible children under the point.
    while (auto* parent = dynamic_cast<TWinControl*>(control)) {
        TControl* child = parent->ControlAtPos(parent->ScreenToClient(screen), true, true);
        if (!child || !child->Visible()) break;
        control = child;
    }
    return control;
}

std::string TWhatsThis::NameKey(TControl* control) const {
    TCustomForm* form = GetParentForm(control);
    if (!form || form == control || !FHelpContextMap) return control->Name();
    const std::string& file = FHelpContextMap->FileName();
    if (EndsWithText(file, ".hpj")) return form->Name() + "." + control->Name();
    if (EndsWithText(file, ".hhp")) return form->Name() + "_" + control->Name();
    return control->Name();
}

THelpContext TWhatsThis::FocusControlContext(TControl* control) {
    // A label speaks for the control it focuses (a published "FocusControl" reference).
    const TPropInfo* info = GetPropInfo(control, "FocusControl");
    if (!info || info->Kind != TTypeKind::tkClass || !info->GetObj) return 0;
    auto* focus = dynamic_cast<TWinControl*>(info->GetObj(control));
    if (!focus) return 0;
    THelpContext context = focus->HelpContext();
    if (context == 0 && FHelpContextMap) context = FHelpContextMap->LookupContext(NameKey(focus));
    return context;
}

THelpContext TWhatsThis::GetControlContext(TControl* control) {
    for (TControl* c = control; c; c = c->Parent()) {
        THelpContext context = 0;
        if (OnGetContext) {
            OnGetContext(this, c, context);
        } else {
            context = c->HelpContext();
            if (context == 0 && FHelpContextMap)
                context = FHelpContextMap->LookupContext(NameKey(c));
            if (context == 0) context = FocusControlContext(c);
            if (context == 0 && FOptions.Contains(wtUseTag)) context = THelpContext(c->Tag());
        }
        if (context != 0) return context;
        if (!FOptions.Contains(wtInheritFormContext) || dynamic_cast<TCustomForm*>(c)) break;
    }
    return 0;
}

void TWhatsThis::ShowHelp(THelpContext context, TPoint pos) {
    bool cancel = false;
    if (OnHelp) OnHelp(this, context, pos, cancel);
    if (cancel) return;
    if (context >= 0) {
        Application->HelpCommand(HELP_SETPOPUP_POS, intptr_t(uint32_t(PointToLParam(pos))));
        Application->HelpCommand(HELP_CONTEXTPOPUP, context);
    } else {
        Application->HelpCommand(HELP_CONTEXT, -intptr_t(context));
    }
}

void TWhatsThis::ShowContextAt(TPoint screen) {
    if (FInMenu && FMenuItemUnderCursor) {
        ShowHelp(FMenuItemUnderCursor->HelpContext(), screen);
        return;
    }
    TControl* control = ControlAtPoint(screen);
    if (!control) return;
    ShowHelp(GetControlContext(control), screen);
}

void TWhatsThis::ShowRightClickMenu(TControl* control, TPoint pos) {
    if (!FPopupMenu) return;
    bool cancel = false;
    if (OnPopup) OnPopup(this, control, pos, cancel);
    if (cancel) return;
    TControl* old = FPopupControl;
    FPopupControl = control;
    ReleaseFreeNotification(old);
    FPopupControl->FreeNotification(this);
    FPopupPoint = pos;
    FPopupMenu->SetPopupComponent(control);
    FPopupMenu->Popup(pos.X, pos.Y);
}

void TWhatsThis::HandleMessage(TMessage& message) {
    switch (message.Msg) {
    case WM_WT_SHOWPENDING: {
        // The focused control's help, even where another control covers the point shown at.
        TControl* control = FPendingControl;
        SetPendingControl(nullptr);
        if (FMode == wmF1Pending) {
            if (control && !FInMenu)
                ShowHelp(GetControlContext(control), LParamToPoint(message.LParam));
            else
                ShowContextAt(LParamToPoint(message.LParam));
        }
        if (FMode != wmContext) FMode = wmIdle;
        if (!FInMenu) RemoveMessageHook();
        break;
    }
    case WM_WT_SHOWATPOINT:
        ShowContextAt(LParamToPoint(message.LParam));
        break;
    case WM_WT_REMOVEMSGHOOK:
        // Posted when a press ended or a menu closed: a menu opened since keeps the hook.
        if (!FInMenu) RemoveMessageHook();
        break;
    default:
        THelpBase::HandleMessage(message);
    }
}

} // namespace epc

namespace epc {
namespace {
const bool WhatsThisRegistered = [] {
    TPublished<TWhatsThis>("TWhatsThis", "TComponent")
        .Boolean("Active", &TWhatsThis::Active, &TWhatsThis::SetActive, true)
        .Reference<THelpContextMap>("HelpContextMap", &TWhatsThis::HelpContextMap,
                                    &TWhatsThis::SetHelpContextMap)
        .Enum("F1Action", &TWhatsThis::F1Action, &TWhatsThis::SetF1Action,
              {"goContext", "goDefault", "goTOC"}, 0)
        .Set("Options", &TWhatsThis::Options, &TWhatsThis::SetOptions,
             {"wtDirectHelp", "wtMenuRightClick", "wtNoContextHelp", "wtNoContextMenu",
              "wtPopupOnForm", "wtInheritFormContext", "wtUseTag", "wtUseAppKey"},
             TWhatsThisOptions{wtMenuRightClick, wtNoContextHelp, wtNoContextMenu,
                               wtInheritFormContext}
                 .Bits())
        .String("PopupCaption", &TWhatsThis::PopupCaption, &TWhatsThis::SetPopupCaption)
        .Integer("PopupHelpContext", &TWhatsThis::PopupHelpContext,
                 &TWhatsThis::SetPopupHelpContext, 0)
        .Reference<TMenuItem>("WTMenuItem", &TWhatsThis::WTMenuItem, &TWhatsThis::SetWTMenuItem)
        .Reference<TControl>("WTToolbarButton", &TWhatsThis::WTToolbarButton,
                             &TWhatsThis::SetWTToolbarButton)
        .Event("OnEnterContextMode")
        .Event("OnLeaveContextMode")
        .Event("OnGetContext")
        .Event("OnHelp")
        .Event("OnPopup")
        .Event("OnF1KeyDown");
    RegisterClass<TWhatsThis>("TWhatsThis");
    return true;
}();
} // namespace
} // namespace epc
