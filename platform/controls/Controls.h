#pragma once
// The framework's control classes over the window manager: TControl (bounds, visibility,
// colours and fonts, mouse and key methods, message routing), TWinControl (a window created on
// demand, child controls, tab order, focus), TCustomControl and TGraphicControl (painting on a
// canvas), and the framework's drag protocol.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Geometry.h"
#include "platform/core/Set.h"
#include "platform/graphics/Graphics.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Window.h"

namespace epc {

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;
class TDragObject;
class TBasicAction;

// ---- Enumerations and sets -------------------------------------------------------------------
enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind : uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;
enum TControlStyleItem : uint8_t {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents
};
using TControlStyle = TSet<TControlStyleItem>;
enum TControlStateItem : uint8_t {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle,
    csDocking
};
using TControlState = TSet<TControlStateItem>;
enum TBiDiMode : uint8_t {
    bdLeftToRight,
    bdRightToLeft,
    bdRightToLeftNoAlign,
    bdRightToLeftReadingOnly
};
enum TDragMode : uint8_t { dmManual, dmAutomatic };
enum TDragKind : uint8_t { dkDrag, dkDock };
enum TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
enum TDragMessage : uint8_t {
    dmDragEnter,
    dmDragLeave,
    dmDragMove,
    dmDragDrop,
    dmDragCancel,
    dmFindTarget
};
// Form border styles; TBorderStyle uses the first two.
enum TFormBorderStyle : uint8_t {
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin
};
using TBorderStyle = TFormBorderStyle;

using TCursor = int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSize = -22, crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9,
                  crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13, crHSplit = -14,
                  crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19,
                  crHelp = -20, crHandPoint = -21, crSizeAll = -22;

using THelpContext = int32_t;
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                       mrYes = 6, mrNo = 7, mrAll = 8;

// ---- Events ----------------------------------------------------------------------------------
using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, Word& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char16_t& key)>;
using TMouseWheelEvent = std::function<void(TObject* sender, TShiftState shift, int wheelDelta,
                                            TPoint mousePos, bool& handled)>;
using TMouseWheelUpDownEvent =
    std::function<void(TObject* sender, TShiftState shift, TPoint mousePos, bool& handled)>;
using TDragOverEvent = std::function<void(TObject* sender, TObject* source, int x, int y,
                                          TDragState state, bool& accept)>;
using TDragDropEvent = std::function<void(TObject* sender, TObject* source, int x, int y)>;
using TStartDragEvent = std::function<void(TObject* sender, TDragObject*& dragObject)>;
using TEndDragEvent = std::function<void(TObject* sender, TObject* target, int x, int y)>;
using TContextPopupEvent = std::function<void(TObject* sender, TPoint mousePos, bool& handled)>;
using TWndMethod = std::function<void(TMessage& message)>;

TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyDataToShiftState(LPARAM keyData);
// The shift state of the keyboard now (as of the message being processed).
TShiftState GetShiftState();

// ---- Size constraints ------------------------------------------------------------------------
class TSizeConstraints : public TPersistent {
public:
    explicit TSizeConstraints(TControl* control) : FControl(control) {}
    std::string ClassName() const override { return "TSizeConstraints"; }
    void Assign(TPersistent* source) override;
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int v);
    int MinHeight() const { return FMinHeight; }
    void SetMinHeight(int v);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int v);
    int MaxHeight() const { return FMaxHeight; }
    void SetMaxHeight(int v);
    TNotifyEvent OnChange;

private:
    void Changed();
    TControl* FControl;
    int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

// ---- Drag objects ----------------------------------------------------------------------------
// What CM_DRAG carries in its LParam.
struct TDragRec {
    TPoint Pos; // screen coordinates
    TDragObject* Source = nullptr;
    void* Target = nullptr; // the target control, or what dmFindTarget answers
    bool Docking = false;
};

class TDragObject : public TObject {
public:
    std::string ClassName() const override { return "TDragObject"; }
    virtual TCursor GetDragCursor(bool accepted, int x, int y);
    // Called when the drag ends (dropped or not).
    virtual void Finished(TObject* target, int x, int y, bool accepted) {}
    virtual void HideDragImage() {}
    virtual void ShowDragImage() {}
    virtual TControl* DragControl() const { return nullptr; }

    TObject* DragTarget = nullptr;
    TPoint DragPos;       // screen
    TPoint DragTargetPos; // target client coordinates
    HWND DragHandle = nullptr;
    bool Cancelling = false;
    bool Dropped = false;
    bool AlwaysShowDragImages = false;
};

// A drag started by a control (the default object of BeginDrag).
class TBaseDragControlObject : public TDragObject {
public:
    explicit TBaseDragControlObject(TControl* control) : FControl(control) {}
    std::string ClassName() const override { return "TBaseDragControlObject"; }
    TControl* Control() const { return FControl; }
    TControl* DragControl() const override { return FControl; }
    void Finished(TObject* target, int x, int y, bool accepted) override;

protected:
    TControl* FControl;
};

class TDragControlObject : public TBaseDragControlObject {
public:
    using TBaseDragControlObject::TBaseDragControlObject;
    std::string ClassName() const override { return "TDragControlObject"; }
};

// The drag in progress (null when none) and the control it came from.
TDragObject* CurrentDragObject();
TControl* CurrentDragControl();
bool IsDragging();
// Ends the current drag: dropped on the current target when drop is true and it accepts.
void DragDone(bool drop);
// Cancels the current drag as Escape does.
void CancelDrag();
// The control at a screen point, walking into graphic children (null when none).
TControl* FindDragTarget(TPoint pos, bool allowDisabled);
// Mouse movement and button handling while a drag is pending or active; true takes the
// message (the application's filter calls it).
bool DragTrackMessage(const MSG& msg);

// Stored bounds and size constraints beyond this many pixels either way are refused as bad input
// when a form is read: every sum the layout makes of positions and sizes, down the deepest
// nesting a stream may hold, then stays inside 32 bits. No screen or page comes near it.
inline constexpr int32_t MaxStoredCoordinate = 1 << 24;

// ---- TControl --------------------------------------------------------------------------------
class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    std::string ClassName() const override { return "TControl"; }

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);
    // Controls are placed in a parent (stream readers give them the record they are read in).
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* value) override;

    // Bounds in the parent's client coordinates.
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
    virtual void SetBounds(int left, int top, int width, int height);
    virtual TRect ClientRect();
    int ClientWidth() { return ClientRect().Width(); }
    int ClientHeight() { return ClientRect().Height(); }
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    virtual TPoint ClientOrigin();
    TPoint ClientToScreen(TPoint p);
    TPoint ScreenToClient(TPoint p);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible with every parent up to a shown window.
    virtual bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool v);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* v) { FFont->Assign(v); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool v);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor v);
    TCursor DragCursor() const { return FDragCursor; }
    void SetDragCursor(TCursor v) { FDragCursor = v; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& v) { FHint = v; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool v);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* v) { FPopupMenu = v; }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign v);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors v);
    TSizeConstraints* Constraints() const { return FConstraints.get(); }
    TDragMode DragMode() const { return FDragMode; }
    void SetDragMode(TDragMode v) { FDragMode = v; }
    TDragKind DragKind() const { return FDragKind; }
    void SetDragKind(TDragKind v) { FDragKind = v; }
    THelpContext HelpContext() const { return FHelpContext; }
    void SetHelpContext(THelpContext v) { FHelpContext = v; }
    const std::string& HelpKeyword() const { return FHelpKeyword; }
    void SetHelpKeyword(const std::string& v) { FHelpKeyword = v; }
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool v);
    bool ParentCtl3D() const { return FParentCtl3D; }
    void SetParentCtl3D(bool v) { FParentCtl3D = v; }
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode v);
    bool ParentBiDiMode() const { return FParentBiDiMode; }
    void SetParentBiDiMode(bool v) { FParentBiDiMode = v; }
    bool IsRightToLeft() const { return FBiDiMode != bdLeftToRight; }
    bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }
    bool UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
    bool UseRightToLeftScrollBar() const {
        return FBiDiMode != bdLeftToRight && FBiDiMode != bdRightToLeftNoAlign;
    }
    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle v) { FControlStyle = v; }
    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState v) { FControlState = v; }
    // Caption and Text are the same string.
    std::string Text() const { return GetText(); }
    void SetText(const std::string& v);
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& v) { SetText(v); }

    bool MouseCapture() const;
    void SetMouseCapture(bool v);

    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // Message routing. Perform sends through WindowProc (replaceable, starting as WndProc);
    // WndProc pre-processes and calls Dispatch, which routes to the handlers and falls back on
    // DefaultHandler.
    LRESULT Perform(uint32_t msg, WPARAM wParam, LPARAM lParam);
    TWndMethod WindowProc() const { return FWindowProc; }
    void SetWindowProc(TWndMethod v) { FWindowProc = v ? std::move(v) : DefaultWindowProc(); }
    virtual void WndProc(TMessage& message);
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message);

    // The framework's drag protocol.
    void BeginDrag(bool immediate, int threshold = -1);
    void EndDrag(bool drop);
    bool Dragging() const;
    virtual void DragDrop(TObject* source, int x, int y);

    // Event handlers
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseWheelEvent OnMouseWheel;
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TMouseWheelUpDownEvent OnMouseWheelUp;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;
    TContextPopupEvent OnContextPopup;

    // Used by the drag machinery and the parent's routing.
    virtual void DoStartDrag(TDragObject*& dragObject);
    virtual void DoEndDrag(TObject* target, int x, int y);
    virtual bool DragOver(TObject* source, int x, int y, TDragState state);
    virtual void Click();
    virtual void DblClick();
    // A standard action without a handler of its own is offered to the control that has the
    // focus: true when the control carried it out (or, for the update, set its state).
    virtual bool ExecuteAction(TBasicAction*) { return false; }
    virtual bool UpdateAction(TBasicAction*) { return false; }

protected:
    virtual std::string GetText() const { return FText; }
    virtual void SetTextBuf(const std::string& v);

    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
    virtual bool DoMouseWheelDown(TShiftState shift, TPoint mousePos);
    virtual bool DoMouseWheelUp(TShiftState shift, TPoint mousePos);
    virtual void DoContextPopup(TPoint mousePos, bool& handled);
    virtual void Resize();
    virtual void Changed() {}
    virtual void FontChanged();
    virtual void RequestAlign();
    virtual void VisibleChanging() {}
    // Constrains a proposed size.
    virtual void ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight) {}
    void DoConstraints(int& width, int& height);
    virtual void UpdateBoundsRect(const TRect& r);
    void UpdateAnchorRules();
    // Invalidates the parent's area under this control (graphic controls).
    void InvalidateControl(bool isVisible, bool isOpaque);

    // Message handlers the framework routes; derived classes override Dispatch to add theirs
    // and call the base Dispatch for "inherited".
    void WMLButtonDown(TMessage& message);
    void WMLButtonDblClk(TMessage& message);
    void WMLButtonUp(TMessage& message);
    void WMRButtonDown(TMessage& message);
    void WMRButtonDblClk(TMessage& message);
    void WMRButtonUp(TMessage& message);
    void WMMButtonDown(TMessage& message);
    void WMMButtonDblClk(TMessage& message);
    void WMMButtonUp(TMessage& message);
    void WMMouseMove(TMessage& message);
    void WMMouseWheel(TMessage& message);
    void WMContextMenu(TMessage& message);
    void CMMouseWheel(TMessage& message);
    void CMDrag(TMessage& message);
    void CMEnabledChanged(TMessage& message);
    void CMColorChanged(TMessage& message);
    void CMFontChanged(TMessage& message);
    void CMParentColorChanged(TMessage& message);
    void CMParentFontChanged(TMessage& message);
    void CMVisibleChanged(TMessage& message);
    void CMHitTest(TMessage& message);
    void CMMouseEnter(TMessage& message);
    void CMMouseLeave(TMessage& message);
    void CMHintShow(TMessage& message) {}

    void DoMouseDown(TMessage& message, TMouseButton button, TShiftState shift);
    void DoMouseUp(TMessage& message, TMouseButton button);
    void SendCancelMode();

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clWindow;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    TCursor FCursor = crDefault;
    TCursor FDragCursor = crDrag;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TPopupMenu* FPopupMenu = nullptr;
    TAlign FAlign = alNone;
    TAnchors FAnchors{akLeft, akTop};
    TPoint FAnchorRules; // right and bottom distances kept by akRight / akBottom
    TSize FOriginalParentSize;
    std::unique_ptr<TSizeConstraints> FConstraints;
    TDragMode FDragMode = dmManual;
    TDragKind FDragKind = dkDrag;
    THelpContext FHelpContext = 0;
    std::string FHelpKeyword;
    bool FCtl3D = true;
    bool FParentCtl3D = true;
    TBiDiMode FBiDiMode = bdLeftToRight;
    bool FParentBiDiMode = true;
    TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TControlState FControlState;
    std::string FText;
    TWndMethod FWindowProc;
    bool FUpdatingFont = false;

private:
    friend class TWinControl;
    TWndMethod DefaultWindowProc();
};

// ---- TWinControl -----------------------------------------------------------------------------

// What CreateParams fills in before the window is made.
struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    std::string WinClassName;
    DWORD WindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    std::string ClassName() const override { return "TWinControl"; }

    // The window, created on demand (with the parent's first).
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    // Destroys the window now and makes it again (children keep their windows' state).
    void RecreateWnd();
    // Makes a window for a control without a parent control inside a given window.
    HWND ParentWindow() const { return FParentWindow; }
    void SetParentWindow(HWND v);

    int ControlCount() const { return int(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(size_t(index)); }
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool ContainsControl(TControl* control) const;
    // The child control at a client point (graphic controls unless only windowed ones).
    TControl* ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls = false);
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool v);
    int TabOrder() const;
    void SetTabOrder(int v);
    // The windowed children in tab order, depth first.
    virtual void GetTabOrderList(std::vector<TWinControl*>& list);
    virtual bool CanFocus();
    virtual void SetFocus();
    virtual bool Focused();
    TWinControl* FindNextControl(TWinControl* curControl, bool goForward, bool checkTabStop,
                                 bool checkParent);
    void SelectNext(TWinControl* curControl, bool goForward, bool checkTabStop);

    TBrush* Brush() const { return FBrush.get(); }
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool v) { FDoubleBuffered = v; }
    bool ParentBackground() const { return FParentBackground; }
    void SetParentBackground(bool v) { FParentBackground = v; }

    TRect ClientRect() override;
    TPoint ClientOrigin() override;
    void SetBounds(int left, int top, int width, int height) override;
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    void SetVisible(bool v) override;
    bool Showing() const override;
    void SetEnabled(bool v) override;
    void SetParent(TWinControl* parent) override;
    void Realign();
    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();
    void PaintTo(HDC dc, int x, int y);

    void WndProc(TMessage& message) override;
    void Dispatch(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // The control a window belongs to (null for other windows).
    static TWinControl* FindControl(HWND h);

protected:
    virtual void CreateParams(TCreateParams& params);
    // A single border: the sunken client edge on a 3D control, else a frame line.
    void AddBorderStyle(TCreateParams& params, TBorderStyle style) const;
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    virtual void CreateHandle();
    virtual void DestroyHandle();
    // Called once the window exists (the framework's CreateWnd tail).
    virtual void InitializeHandle() {}
    virtual void AlignControls(TControl* control, TRect& rect);
    virtual void AdjustClientRect(TRect& rect) {}
    virtual void PaintWindow(HDC dc);
    void PaintHandler(TMessage& message);
    void PaintControls(HDC dc, TControl* first);
    virtual void KeyDown(Word& key, TShiftState shift);
    virtual void KeyUp(Word& key, TShiftState shift);
    virtual void KeyPress(char16_t& key);
    bool DoKeyDown(TMessage& message);
    bool DoKeyUp(TMessage& message);
    bool DoKeyPress(TMessage& message);
    bool FormPreviewsKey(TMessage& message, bool (TWinControl::*handler)(TMessage&));
    virtual void DoEnter();
    virtual void DoExit();
    void UpdateBounds();
    void UpdateShowing();
    std::string GetText() const override;
    void SetTextBuf(const std::string& v) override;
    void RequestAlign() override;
    void FontChanged() override;

    void WMPaint(TMessage& message);
    void WMEraseBkgnd(TMessage& message);
    void WMSize(TMessage& message);
    void WMMove(TMessage& message);
    void WMWindowPosChanged(TMessage& message);
    void WMSetFocus(TMessage& message);
    void WMKillFocus(TMessage& message);
    void WMKeyDown(TMessage& message);
    void WMKeyUp(TMessage& message);
    void WMChar(TMessage& message);
    void WMSysKeyDown(TMessage& message);
    void WMSysKeyUp(TMessage& message);
    void WMSetCursor(TMessage& message);
    void WMNCDestroy(TMessage& message);
    void WMPrintClient(TMessage& message);
    void CNKeyDown(TMessage& message);
    void CMEnter(TMessage& message);
    void CMExit(TMessage& message);
    void CMColorChangedWin(TMessage& message);
    void CMFontChangedWin(TMessage& message);
    void CMCtl3DChanged(TMessage& message);

    HWND FHandle = nullptr;
    HWND FParentWindow = nullptr;
    std::vector<TControl*> FControls; // z-order: first is bottom
    std::vector<TWinControl*> FTabList;
    bool FTabStop = false;
    std::unique_ptr<TBrush> FBrush;
    bool FDoubleBuffered = false;
    bool FParentBackground = false;
    int FAlignLevel = 0;
    bool FAligning = false;
    bool FInUpdateBounds = false;
    bool FHadHandle = false; // recreated with the parent

private:
    friend class TControl;
    void MainWndProc(HWND h, TMessage& message);
    bool IsControlMouseMsg(TMessage& message);
    void AlignChildren();
    void AnchorChildren(int oldWidth, int oldHeight);
    int FLastClientWidth = -1, FLastClientHeight = -1;
};

TCustomForm* GetParentForm(TControl* control);

// ---- Canvases of controls --------------------------------------------------------------------

// A canvas drawing on a control: the paint context during painting, otherwise a context over
// the control's window (the parent's, moved to the control, for graphic controls).
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl* control) : FControl(control) {}
    ~TControlCanvas() override;
    std::string ClassName() const override { return "TControlCanvas"; }
    TControl* Control() const { return FControl; }
    void SetControl(TControl* v);
    void FreeHandle();
    void UpdateTextFlags();

protected:
    void CreateHandle() override;

private:
    TControl* FControl;
    HDC FDeviceContext = nullptr;
    HWND FWindowHandle = nullptr;
};

class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    std::string ClassName() const override { return "TCustomControl"; }
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    virtual void Paint();
    void PaintWindow(HDC dc) override;
    void DestroyWnd() override;

    std::unique_ptr<TControlCanvas> FCanvas;
};

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    std::string ClassName() const override { return "TGraphicControl"; }
    TCanvas* Canvas() const { return FCanvas.get(); }
    void Dispatch(TMessage& message) override;

protected:
    virtual void Paint() {}
    void WMPaint(TMessage& message);

    std::unique_ptr<TControlCanvas> FCanvas;
};

// Shows a context menu for a control (the menus install it; without one nothing shows).
using TPopupHandler = std::function<bool(TPopupMenu* menu, TControl* control, int x, int y)>;
void SetPopupHandler(TPopupHandler handler);

} // namespace epc
