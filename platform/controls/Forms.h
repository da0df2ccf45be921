#pragma once
// Forms, the application object (main form, help, hints, exceptions), the screen (cursors,
// resolution, active form) and the mouse.

#include <functional>
#include <string>
#include <vector>

#include "platform/controls/Controls.h"
#include "platform/controls/HintWindow.h"
#include "platform/core/BoundState.h"

namespace epc {

enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
enum TPosition : uint8_t {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCustomForm : public TCustomControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    std::string ClassName() const override { return "TCustomForm"; }

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle v);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition v) { FPosition = v; }
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle v) { FFormStyle = v; }
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState v);
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool v) { FKeyPreview = v; }
    bool Active() const { return FActive; }
    // The form's own help file (empty: the application's).
    const std::string& HelpFile() const { return FHelpFile; }
    void SetHelpFile(const std::string& v) { FHelpFile = v; }

    TWinControl* ActiveControl() const { return FActiveControl; }
    // Raises EInvalidOperation "Cannot focus a disabled or invisible window" for a control
    // that cannot take the focus while the form is shown. Cleared during a focus change, the
    // focus stays where it goes.
    void SetActiveControl(TWinControl* control);
    // Called when a child window gets the focus: OnExit/OnEnter and ActiveControl follow.
    bool SetFocusedControl(TWinControl* control);
    void FocusControl(TWinControl* control);
    void DefocusControl(TWinControl* control, bool removing);

    void Show();
    void Hide() { SetVisible(false); }
    // Shows the form and pumps messages until ModalResult is set. Headless: when nothing is
    // left to do, the modal handler (tests script it) decides; without one the form closes
    // with mrCancel.
    virtual int ShowModal();
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult v) { FModalResult = v; }
    bool Modal() const { return FModal; }
    void Close();
    virtual bool CloseQuery();
    void Release();

    void SetFocus() override;
    bool CanFocus() override { return Visible() && Enabled(); }
    void SetVisible(bool v) override;
    // Stored children: the form's components that are not placed controls (image lists,
    // menus), then its controls.
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnPaint;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TKeyEvent OnShortCut;

    void Dispatch(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    virtual void Activate();
    virtual void Deactivate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);
    void SetWindowFocus();
    void SetActive(bool v);

    void WMActivate(TMessage& message);
    void WMClose(TMessage& message);
    void CMDialogKey(TMessage& message);
    void CMShowingChanged(TMessage& message);

    TFormBorderStyle FBorderStyle = bsSizeable;
    TPosition FPosition = poDesigned;
    TFormStyle FFormStyle = fsNormal;
    TWindowState FWindowState = wsNormal;
    bool FKeyPreview = false;
    bool FActive = false;
    bool FModal = false;
    TWinControl* FActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    TModalResult FModalResult = mrNone;
    std::string FHelpFile;
};

class TForm : public TCustomForm {
public:
    explicit TForm(TComponent* owner) : TCustomForm(owner) {}
    std::string ClassName() const override { return "TForm"; }
};

// What decides a headless modal loop that has nothing left to do.
void SetModalHandler(std::function<void(TCustomForm* form)> handler);

// ---- Hints -----------------------------------------------------------------------------------
struct THintInfo {
    TControl* HintControl = nullptr;
    TPoint HintPos; // screen
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect; // client coordinates of HintControl
    TPoint CursorPos; // client coordinates of HintControl
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    std::string HintStr;
    void* HintData = nullptr;
    THintWindowClass HintWindowClass; // empty: the application's hint window class
};

// ---- Help ------------------------------------------------------------------------------------
enum : uint32_t {
    HELP_CONTEXT = 0x0001,
    HELP_QUIT = 0x0002,
    HELP_INDEX = 0x0003,
    HELP_CONTENTS = 0x0003,
    HELP_HELPONHELP = 0x0004,
    HELP_SETINDEX = 0x0005,
    HELP_SETCONTENTS = 0x0005,
    HELP_CONTEXTPOPUP = 0x0008,
    HELP_FORCEFILE = 0x0009,
    HELP_CONTEXTMENU = 0x000A,
    HELP_FINDER = 0x000B,
    HELP_WM_HELP = 0x000C,
    HELP_SETPOPUP_POS = 0x000D,
    HELP_TCARD = 0x8000,
    HELP_TAB = 0x000F,
    HELP_KEY = 0x0101,
    HELP_COMMAND = 0x0102,
    HELP_PARTIALKEY = 0x0105,
    HELP_MULTIKEY = 0x0201,
    HELP_SETWINPOS = 0x0203
};

using THelpEvent = std::function<bool(Word command, intptr_t data, bool& callHelp)>;
using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;

// One call of the help engine, as recorded.
struct THelpCall {
    HWND Window = nullptr;
    std::string HelpFile;
    uint32_t Command = 0;
    intptr_t Data = 0;
};

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;
    std::string ClassName() const override { return "TApplication"; }

    // The hidden application window (made on first use).
    HWND Handle();
    TCustomForm* MainForm() const { return FMainForm; }
    void SetMainForm(TCustomForm* v) { FMainForm = v; }
    // Makes the first created form the main form, as the framework's CreateForm does.
    void RegisterForm(TCustomForm* form);
    void UnregisterForm(TCustomForm* form);
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& v) { FTitle = v; }
    const std::string& HelpFile() const { return FHelpFile; }
    void SetHelpFile(const std::string& v) { FHelpFile = v; }
    const std::string& ExeName() const { return FExeName; }

    // OnHelp first (it may clear CallHelp); then the help engine with the help file of the
    // active form or the application. The result is OnHelp's, or whether the engine ran.
    bool HelpCommand(uint32_t command, intptr_t data);
    bool HelpContext(THelpContext context);
    THelpEvent OnHelp;
    const std::vector<THelpCall>& HelpLog() const { return FHelpLog; }
    void ClearHelpLog() { FHelpLog.clear(); }

    // Hints
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v);
    int HintPause() const { return FHintPause; }
    void SetHintPause(int v) { FHintPause = v; }
    int HintShortPause() const { return FHintShortPause; }
    void SetHintShortPause(int v) { FHintShortPause = v; }
    int HintHidePause() const { return FHintHidePause; }
    void SetHintHidePause(int v) { FHintHidePause = v; }
    TColor HintColor() const { return FHintColor; }
    void SetHintColor(TColor v) { FHintColor = v; }
    void CancelHint();
    void ActivateHint(TPoint cursorPos);
    void HintMouseMessage(TControl* control, const TMessage& message);
    // The hint on show (empty when none) and where.
    bool HintShowing() const { return FHintShowing; }
    const THintInfo& ShownHint() const { return FShownHint; }
    const std::string& Hint() const { return FHint; }
    // The window showing the hint (null when none was shown yet).
    THintWindow* HintWindow() const { return FHintWindow; }
    THintWindowClass HintWindowClass;
    TNotifyEvent OnHint;

    // Messages and exceptions
    void ProcessMessages();
    void HandleMessage();
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Reports the exception being handled (call inside a catch block).
    void HandleException(TObject* sender);
    void HandleException(TObject* sender, std::exception_ptr failure);
    // Forgets a control that is going away (mouse and hint tracking).
    void ControlDestroyed(TControl* control);
    template <typename T> T* CreateForm() {
        T* form = new T(this);
        RegisterForm(form);
        return form;
    }
    void ShowException(const std::exception& e);
    TExceptionEvent OnException;
    int ExceptionCount() const { return FExceptionCount; }
    const std::string& LastExceptionMessage() const { return FLastException; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnIdle;

private:
    void HintTimerExpired();
    void StartHintTimer(int value);
    void StopHintTimer();
    bool MessageFilter(MSG& msg);
    friend struct TControlsState;

    HWND FHandle = nullptr;
    TCustomForm* FMainForm = nullptr;
    std::string FTitle = "Application";
    std::string FHelpFile;
    std::string FExeName = "application";
    std::vector<THelpCall> FHelpLog;
    bool FShowHint = true;
    int FHintPause = 500;
    int FHintShortPause = 50;
    int FHintHidePause = 2500;
    TColor FHintColor = clInfoBk;
    TControl* FMouseControl = nullptr;
    TControl* FHintControl = nullptr;
    bool FHintActive = false;
    bool FHintShowing = false;
    THintInfo FShownHint;
    // The part of the hint control the last hint asked for belongs to (its CursorRect): moves
    // within it keep that hint, a move out of it asks again.
    bool FHintAsked = false;
    TRect FHintCursorRect;
    std::string FHint;
    THintWindow* FHintWindow = nullptr;
    UINT_PTR FHintTimer = 0;
    UINT_PTR FHideTimer = 0;
    bool FTerminated = false;
    int FExceptionCount = 0;
    std::string FLastException;
};

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* owner);
    ~TScreen() override;
    std::string ClassName() const override { return "TScreen"; }

    // Overrides every control's cursor while not crDefault.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor v);
    HCURSOR Cursors(int index);
    void SetCursors(int index, HCURSOR v);
    int PixelsPerInch() const { return 96; }
    int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
    TRect WorkAreaRect() const { return GetWorkArea(); }
    int WorkAreaWidth() const { return GetWorkArea().Width(); }
    int WorkAreaHeight() const { return GetWorkArea().Height(); }
    TFont* HintFont();
    TFont* MenuFont();
    TFont* IconFont();
    TCustomForm* ActiveCustomForm() const { return FActiveCustomForm; }
    TCustomForm* ActiveForm() const { return FActiveCustomForm; }
    TWinControl* ActiveControl() const { return FActiveControl; }
    int FormCount() const { return int(FForms.size()); }
    TCustomForm* Forms(int index) const { return FForms.at(size_t(index)); }
    int CustomFormCount() const { return FormCount(); }
    TCustomForm* CustomForms(int index) const { return Forms(index); }

    TNotifyEvent OnActiveControlChange;
    TNotifyEvent OnActiveFormChange;

    // Kept up to date by the forms.
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    void SetActiveForm(TCustomForm* form);
    void SetActiveControl(TWinControl* control);

private:
    TCursor FCursor = crDefault;
    std::unique_ptr<TFont> FHintFont, FMenuFont, FIconFont;
    TCustomForm* FActiveCustomForm = nullptr;
    TWinControl* FActiveControl = nullptr;
    std::vector<TCustomForm*> FForms;
};

class TMouse {
public:
    TPoint CursorPos() const;
    void SetCursorPos(TPoint p);
    int DragThreshold() const { return FDragThreshold; }
    void SetDragThreshold(int v) { FDragThreshold = v; }
    bool DragImmediate() const { return FDragImmediate; }
    void SetDragImmediate(bool v) { FDragImmediate = v; }
    bool MousePresent() const { return true; }
    bool WheelPresent() const { return true; }
    int WheelScrollLines() const { return 3; }
    HWND Capture() const { return GetCapture(); }
    void SetCapture(HWND h) {
        if (h)
            epc::SetCapture(h);
        else
            ReleaseCapture();
    }

private:
    int FDragThreshold = 5;
    bool FDragImmediate = true;
};

// The application, screen and mouse of the bound controls state. The names stand for pointers:
// Application->Title(), if (Screen), f->Owner() == Application.
TApplication* CurrentApplication();
TScreen* CurrentScreen();
TMouse* CurrentMouse();
template <class T, T* (*Current)()> struct TCurrentObject {
    T* operator->() const { return Current(); }
    operator T*() const { return Current(); }
};
inline constexpr TCurrentObject<TApplication, CurrentApplication> Application{};
inline constexpr TCurrentObject<TScreen, CurrentScreen> Screen{};
inline constexpr TCurrentObject<TMouse, CurrentMouse> Mouse{};
// Makes the controls state now when none is bound yet (programs that want the objects early).
void InitializeForms();

// Owns and binds the controls module's state while it lives; going, it frees the forms, the
// application with what it owns, and every other object of the module's state.
struct TControlsState;
class TControlsScope {
public:
    TControlsScope();
    ~TControlsScope();

private:
    TStateScope<TControlsState> FScope;
};

} // namespace epc
