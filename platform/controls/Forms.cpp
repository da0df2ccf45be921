// Forms, the application object, the screen and the mouse.

#include "platform/controls/Forms.h"

#include <algorithm>

#include "platform/controls/ControlsState.h"
#include "platform/windows/Help.h"

namespace epc {

void SetModalHandler(std::function<void(TCustomForm* form)> handler) {
    ControlsState().ModalHandler = std::move(handler);
}

// ---- TCustomForm -----------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* owner) : TCustomControl(owner) {
    FVisible = false;
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                     csDoubleClicks};
    FColor = clBtnFace;
    FParentColor = false;
    FParentFont = false;
    FBrush->SetColor(FColor);
    FWidth = 320;
    FHeight = 240;
    if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
    if (OnDestroy) OnDestroy(this);
    if (Screen) Screen->RemoveForm(this);
    if (Application) Application->UnregisterForm(this);
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style &= ~(WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    params.WndParent = nullptr;
    if (FParent) {
        params.Style |= WS_CHILD;
        params.WndParent = FParent->Handle();
    }
    params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (FBorderStyle) {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX; break;
    case bsSizeable:
        params.Style |= WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        break;
    case bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_SYSMENU;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_THICKFRAME | WS_SYSMENU;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (FFormStyle == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
    if (FBorderStyle == v) return;
    FBorderStyle = v;
    RecreateWnd();
}

void TCustomForm::SetWindowState(TWindowState v) {
    if (FWindowState == v) return;
    FWindowState = v;
    if (v == wsMaximized) {
        TRect wa = GetWorkArea();
        SetBounds(wa.Left, wa.Top, wa.Width(), wa.Height());
    }
}

void TCustomForm::Paint() {
    if (OnPaint) OnPaint(this);
}

void TCustomForm::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    if (root == this)
        for (int i = 0; i < ComponentCount(); ++i) {
            auto* control = dynamic_cast<TControl*>(Components(i));
            if (!control || !control->Parent()) proc(Components(i));
        }
    TCustomControl::GetChildren(proc, root);
}

void TCustomForm::SetVisible(bool v) {
    if (FVisible == v) return;
    if (v) {
        HandleNeeded();
        // Placement by Position, the first time the form shows.
        TRect wa = GetWorkArea();
        if (FPosition == poScreenCenter || FPosition == poDesktopCenter) {
            SetBounds(wa.Left + (wa.Width() - FWidth) / 2, wa.Top + (wa.Height() - FHeight) / 2,
                      FWidth, FHeight);
        } else if ((FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) &&
                   Application && Application->MainForm() && Application->MainForm() != this) {
            TCustomForm* m = Application->MainForm();
            SetBounds(m->Left() + (m->Width() - FWidth) / 2, m->Top() + (m->Height() - FHeight) / 2,
                      FWidth, FHeight);
        }
        FVisible = true;
        DoShow();
        Perform(CM_VISIBLECHANGED, 1, 0);
        if (FHandle) ShowWindow(FHandle, SW_SHOW);
    } else {
        DoHide();
        FVisible = false;
        Perform(CM_VISIBLECHANGED, 0, 0);
        if (FHandle) ShowWindow(FHandle, SW_HIDE);
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    if (FHandle) SetActiveWindow(FHandle);
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::Activate() {
    if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::SetActive(bool v) {
    FActive = v;
    if (v) {
        if (!FActiveControl) FActiveControl = FindNextControl(nullptr, true, true, false);
        if (Screen) Screen->SetActiveForm(this);
        SetWindowFocus();
        Activate();
    } else {
        Deactivate();
    }
}

void TCustomForm::SetWindowFocus() {
    if (!FHandle) return;
    if (FActiveControl && FActiveControl->CanFocus()) epc::SetFocus(FActiveControl->Handle());
    else if (GetFocus() != FHandle) epc::SetFocus(FHandle);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (FActiveControl == control) return;
    if (control && (control == this || GetParentForm(control) != this ||
                    (!Loading() && !control->CanFocus())))
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    FActiveControl = control;
    // Cleared while the focus is moving, it is only recorded: focusing the form now would take
    // the focus from the window that is receiving it.
    if (FActive && (control || !IsFocusChanging())) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* control) {
    bool wasActive = FActive;
    SetActiveControl(control);
    if (!wasActive) SetFocus();
}

void TCustomForm::SetFocus() {
    if (!FActive) {
        if (!Visible() || !Enabled())
            throw EInvalidOperation("Cannot focus a disabled or invisible window");
        HWND h = Handle();
        if (GetActiveWindow() != h) SetActiveWindow(h);
        if (!FActive) SetWindowFocus();
    } else {
        SetWindowFocus();
    }
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
    if (Destroying()) return false;
    TWinControl* old = FFocusedControl;
    FFocusedControl = control;
    if (control != this) FActiveControl = control;
    if (Screen) Screen->SetActiveControl(control);
    if (old != control) {
        if (old) old->Perform(CM_EXIT, 0, 0);
        if (control && FFocusedControl == control) control->Perform(CM_ENTER, 0, 0);
    }
    return true;
}

void TCustomForm::DefocusControl(TWinControl* control, bool) {
    if (FActiveControl && control->ContainsControl(FActiveControl)) FActiveControl = nullptr;
    if (FFocusedControl && control->ContainsControl(FFocusedControl)) FFocusedControl = nullptr;
    if (Screen && Screen->ActiveControl() && control->ContainsControl(Screen->ActiveControl()))
        Screen->SetActiveControl(nullptr);
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TCustomForm::Close() {
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        Hide();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        SetWindowState(wsMinimized);
    } else {
        Release();
    }
}

void TCustomForm::Release() {
    HWND h = Handle();
    PostMessage(h, CM_RELEASE, 0, 0);
}

int TCustomForm::ShowModal() {
    if (Visible() || !Enabled() || FModal)
        throw EInvalidOperation("Cannot make a visible window modal");
    FModal = true;
    FModalResult = mrNone;
    // Other forms take no input while this one is up.
    std::vector<HWND> disabled;
    for (HWND t : GetTopLevelWindows())
        if (IsWindowVisible(t) && IsWindowEnabled(t)) {
            EnableWindow(t, 0);
            disabled.push_back(t);
        }
    Show();
    for (int round = 0; round < 1000 && FModalResult == mrNone; ++round) {
        ::epc::ProcessMessages();
        if (FModalResult != mrNone) break;
        if (auto& handler = ControlsState().ModalHandler)
            handler(this);
        else FModalResult = mrCancel;
        ::epc::ProcessMessages();
    }
    if (FModalResult == mrNone) FModalResult = mrCancel;
    TCloseAction action = caHide;
    DoClose(action);
    for (HWND t : disabled)
        if (IsWindow(t)) EnableWindow(t, 1);
    FModal = false;
    Hide();
    return FModalResult;
}

void TCustomForm::WMActivate(TMessage& message) {
    SetActive(LOWORD(message.WParam) != WA_INACTIVE);
}

void TCustomForm::WMClose(TMessage&) { Close(); }

void TCustomForm::CMDialogKey(TMessage& message) {
    if (message.WParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
        SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
        message.Result = 1;
        return;
    }
    DefaultHandler(message);
}

void TCustomForm::CMShowingChanged(TMessage& message) { DefaultHandler(message); }

void TCustomForm::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_ACTIVATE: WMActivate(message); return;
    case WM_CLOSE: WMClose(message); return;
    case CM_DIALOGKEY: CMDialogKey(message); return;
    case CM_SHOWINGCHANGED: CMShowingChanged(message); return;
    case CM_RELEASE: FreeComponent(this); return;
    }
    TCustomControl::Dispatch(message);
}

// ---- TApplication ----------------------------------------------------------------------------

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication() {
    FHintWindow = nullptr;  // owned: freed with the other components
    if (IsWindow(FHandle)) DestroyWindow(FHandle);
}

HWND TApplication::Handle() {
    if (IsWindow(FHandle)) return FHandle;
    TWindowCreate p;
    p.ClassName = "TApplication";
    p.Caption = FTitle;
    p.Style = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU;
    p.WndProc = [this](HWND h, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_TIMER) {
            if (w == 1) HintTimerExpired();
            else if (w == 2) {
                StopHintTimer();
                KillTimer(h, 2);
                FHintShowing = false;
                if (FHintWindow) FHintWindow->ReleaseHandle();
            }
            return 0;
        }
        return DefWindowProc(h, msg, w, l);
    };
    FHandle = CreateWindow(p);
    return FHandle;
}

void TApplication::RegisterForm(TCustomForm* form) {
    if (!FMainForm) FMainForm = form;
}

void TApplication::UnregisterForm(TCustomForm* form) {
    if (FMainForm == form) FMainForm = nullptr;
}

bool TApplication::HelpCommand(uint32_t command, intptr_t data) {
    bool callHelp = true;
    bool result = false;
    if (OnHelp) result = OnHelp(Word(command), data, callHelp);
    if (callHelp && !FHelpFile.empty()) {
        FHelpLog.push_back({Handle(), FHelpFile, command, data});
        result = WinHelpA(Handle(), FHelpFile.c_str(), command, uintptr_t(data)) != 0;
    }
    return result;
}

bool TApplication::HelpContext(THelpContext context) { return HelpCommand(HELP_CONTEXT, context); }

void TApplication::SetShowHint(bool v) {
    FShowHint = v;
    if (!v) CancelHint();
}

void TApplication::StartHintTimer(int value) {
    StopHintTimer();
    FHintTimer = SetTimer(Handle(), 1, uint32_t(std::max(value, 0)));
}

void TApplication::StopHintTimer() {
    if (FHintTimer && IsWindow(FHandle)) KillTimer(FHandle, 1);
    FHintTimer = 0;
}

void TApplication::CancelHint() {
    StopHintTimer();
    if (IsWindow(FHandle)) KillTimer(FHandle, 2);
    FHideTimer = 0;
    FHintShowing = false;
    FHintActive = false;
    FHintControl = nullptr;
    FHintAsked = false;
    FShownHint = THintInfo();
    if (FHintWindow) FHintWindow->ReleaseHandle();
}

void TApplication::ControlDestroyed(TControl* control) {
    if (control == FHintWindow) FHintWindow = nullptr;
    if (FMouseControl == control) FMouseControl = nullptr;
    if (FHintControl == control || FShownHint.HintControl == control) CancelHint();
}

static bool WantsHint(TControl* c) { return c && c->ShowHint() && !c->Hint().empty(); }

void TApplication::HintMouseMessage(TControl* control, const TMessage& message) {
    if (message.Msg != WM_MOUSEMOVE || !FShowHint) return;
    TControl* target = control;
    if (auto* w = dynamic_cast<TWinControl*>(control))
        if (TControl* c = w->ControlAtPos(message.Pos(), false)) target = c;
    if (target == FHintControl) {
        TPoint p = message.Pos();
        if (target != control) p = target->ScreenToClient(control->ClientToScreen(p));
        if (!FHintAsked || PtInRect(FHintCursorRect, p)) return;
        // Out of the part the hint belongs to: that hint goes, the control is asked again.
        if (FHintWindow) FHintWindow->ReleaseHandle();
    }
    bool wasActive = FHintActive && FHintShowing;
    StopHintTimer();
    FHintShowing = false;
    FHintAsked = false;
    FHintControl = target;
    if (!WantsHint(target)) {
        FHintActive = false;
        return;
    }
    int pause = wasActive ? FHintShortPause : FHintPause;
    target->Perform(CM_HINTSHOWPAUSE, wasActive ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
    StartHintTimer(pause);
}

void TApplication::HintTimerExpired() {
    StopHintTimer();
    POINT p;
    GetCursorPos(&p);
    ActivateHint(p);
}

void TApplication::ActivateHint(TPoint cursorPos) {
    TControl* c = FindDragTarget(cursorPos, false);
    while (c && !WantsHint(c)) c = c->Parent();
    if (!c) return;
    THintInfo info;
    info.HintControl = c;
    info.HintPos = TPoint(cursorPos.X, cursorPos.Y + 20);
    info.HintMaxWidth = Screen ? Screen->Width() : 1024;
    info.HintColor = FHintColor;
    info.CursorRect = c->ClientRect();
    info.CursorPos = c->ScreenToClient(cursorPos);
    info.HideTimeout = FHintHidePause;
    std::string hint = c->Hint();
    size_t bar = hint.find('|');
    info.HintStr = bar == std::string::npos ? hint : hint.substr(0, bar);
    FHint = bar == std::string::npos ? hint : hint.substr(bar + 1);
    if (OnHint) OnHint(this);
    FHintControl = c;
    const bool refused =
        c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0 || info.HintStr.empty();
    FHintAsked = true;
    FHintCursorRect = info.CursorRect;
    if (refused) return;
    FHintActive = true;
    FHintShowing = true;
    FShownHint = info;
    // A hint may ask for a window class of its own.
    THintWindowClass make = info.HintWindowClass ? info.HintWindowClass : HintWindowClass;
    if (FHintWindow && (info.HintWindowClass || !FHintWindow->HandleAllocated())) {
        FreeComponent(FHintWindow);
        FHintWindow = nullptr;
    }
    if (!FHintWindow) FHintWindow = make ? make(this) : new THintWindow(this);
    if (FHintWindow) {
        TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
        OffsetRect(r, info.HintPos.X, info.HintPos.Y);
        FHintWindow->ActivateHintData(r, info.HintStr, info.HintData);
    }
    if (info.HideTimeout > 0) FHideTimer = SetTimer(Handle(), 2, uint32_t(info.HideTimeout));
}

bool TApplication::MessageFilter(MSG& msg) {
    if (DragTrackMessage(msg)) return true;
    uint32_t m = msg.message;
    if (m == WM_MOUSEMOVE || m == WM_NCMOUSEMOVE) {
        TControl* c = FindDragTarget(msg.pt, false);
        if (c != FMouseControl) {
            TControl* old = FMouseControl;
            FMouseControl = c;
            if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
            if (c && FMouseControl == c) c->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(c));
        }
        if (!c && FHintControl) CancelHint();
    } else if ((m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK && m != WM_LBUTTONUP &&
                m != WM_RBUTTONUP && m != WM_MBUTTONUP) ||
               m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
        if (FHintShowing || FHintTimer) {
            CancelHint();
        }
    }
    if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
        if (TWinControl* w = TWinControl::FindControl(msg.hwnd))
            if (w->Perform(CN_KEYDOWN, msg.wParam, msg.lParam) != 0) return true;
    }
    return false;
}

void TApplication::ProcessMessages() { ::epc::ProcessMessages(); }

void TApplication::HandleMessage() {
    ::epc::ProcessMessages();
    if (OnIdle) OnIdle(this);
}

void TApplication::Run() {
    for (int round = 0; round < 100000 && !FTerminated; ++round) {
        int before = PendingMessageCount();
        HandleMessage();
        if (before == 0 && PendingMessageCount() == 0) break;  // headless: nothing more comes
    }
}

void TApplication::Terminate() {
    FTerminated = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(TObject* sender) {
    HandleException(sender, std::current_exception());
}

void TApplication::HandleException(TObject* sender, std::exception_ptr failure) {
    if (!failure) return;
    try {
        std::rethrow_exception(failure);
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        ++FExceptionCount;
        FLastException = e.what();
        if (OnException) OnException(sender, e);
        else ShowException(e);
    } catch (...) {
        ++FExceptionCount;
        FLastException = "Unknown exception";
        if (OnException) OnException(sender, Exception(FLastException));
        else ShowException(Exception(FLastException));
    }
}

void TApplication::ShowException(const std::exception& e) {
    std::string msg = e.what();
    if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
    MessageBoxA(nullptr, msg.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}

// ---- TScreen ---------------------------------------------------------------------------------

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}
TScreen::~TScreen() = default;

static TFont* LazyFont(std::unique_ptr<TFont>& font, const char* name, int size) {
    if (!font) {
        font = std::make_unique<TFont>();
        font->SetName(name);
        font->SetSize(size);
    }
    return font.get();
}

TFont* TScreen::HintFont() { return LazyFont(FHintFont, "Tahoma", 8); }
TFont* TScreen::MenuFont() { return LazyFont(FMenuFont, "Tahoma", 8); }
TFont* TScreen::IconFont() { return LazyFont(FIconFont, "Tahoma", 8); }

void TScreen::SetCursor(TCursor v) {
    FCursor = v;
    ::epc::SetCursor(Cursors(v));
}

// The cursors added to the list are the process's, as the cursors themselves are: components
// add theirs once, when their unit is first used.
static std::vector<std::pair<int, HCURSOR>>& CursorList() {
    static std::vector<std::pair<int, HCURSOR>> list;
    return list;
}

HCURSOR TScreen::Cursors(int index) {
    for (auto& [id, h] : CursorList())
        if (id == index) return h;
    int stock = 0;
    switch (index) {
    case crNone: return nullptr;
    case crDefault: case crArrow: stock = IDC_ARROW; break;
    case crCross: stock = IDC_CROSS; break;
    case crIBeam: stock = IDC_IBEAM; break;
    case crSizeNESW: stock = IDC_SIZENESW; break;
    case crSizeNS: stock = IDC_SIZENS; break;
    case crSizeNWSE: stock = IDC_SIZENWSE; break;
    case crSizeWE: stock = IDC_SIZEWE; break;
    case crUpArrow: stock = IDC_UPARROW; break;
    case crHourGlass: stock = IDC_WAIT; break;
    case crNo: stock = IDC_NO; break;
    case crAppStart: stock = IDC_APPSTARTING; break;
    case crHelp: stock = IDC_HELP; break;
    case crHandPoint: stock = IDC_HAND; break;
    case crSizeAll: stock = IDC_SIZEALL; break;
    }
    if (stock) return LoadCursor(nullptr, stock);
    const char* own = nullptr;
    switch (index) {
    case crDrag: own = "crDrag"; break;
    case crNoDrop: own = "crNoDrop"; break;
    case crHSplit: own = "crHSplit"; break;
    case crVSplit: own = "crVSplit"; break;
    case crMultiDrag: own = "crMultiDrag"; break;
    case crSQLWait: own = "crSQLWait"; break;
    }
    if (own) {
        HCURSOR h = LoadCursorA(nullptr, own);
        return h ? h : RegisterCursorImage(own, 32, 32, TPoint(0, 0), {});
    }
    return LoadCursor(nullptr, IDC_ARROW);
}

void TScreen::SetCursors(int index, HCURSOR v) {
    auto& list = CursorList();
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->first == index) {
            if (v) it->second = v;
            else
                list.erase(it);
            return;
        }
    if (v) list.emplace_back(index, v);
}

void TScreen::AddForm(TCustomForm* form) { FForms.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FActiveCustomForm == form) FActiveCustomForm = nullptr;
    if (FActiveControl && GetParentForm(FActiveControl) == form) FActiveControl = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* form) {
    if (FActiveCustomForm == form) return;
    FActiveCustomForm = form;
    if (OnActiveFormChange) OnActiveFormChange(this);
}

void TScreen::SetActiveControl(TWinControl* control) {
    if (FActiveControl == control) return;
    FActiveControl = control;
    if (OnActiveControlChange) OnActiveControlChange(this);
}

// ---- TMouse ----------------------------------------------------------------------------------

TPoint TMouse::CursorPos() const {
    POINT p;
    GetCursorPos(&p);
    return p;
}

void TMouse::SetCursorPos(TPoint p) { ::epc::SetCursorPos(p.X, p.Y); }

}  // namespace epc
