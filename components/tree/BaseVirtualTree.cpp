// Construction, property setters, option reactions, check states, selection, focus, change
// notification, line images and button glyphs of the tree.

#include "components/tree/BaseVirtualTree.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "components/tree/CheckImages.h"
#include "components/tree/WorkerThread.h"
#include "platform/controls/Forms.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;

// ---- Construction
// --------------------------------------------------------------------------------

TBaseVirtualTree::TBaseVirtualTree(TComponent* AOwner) : TCustomControl(AOwner) {
    InitializeTreeUnit();
    TControlStyle style = ControlStyle();
    style.Exclude(csSetCaption);
    style |= TControlStyle{csCaptureMouse, csOpaque, csDisplayDragImage};
    SetControlStyle(style);
    SetBounds(Left(), Top(), 200, 100);
    SetTabStop(true);
    SetParentColor(false);
    FOptions = GetOptionsClass();
    FScrollBarOptions = std::make_unique<TScrollBarOptions>(this);
    FColors = std::make_unique<TVTColors>(this);
    FClipboardFormats = std::make_unique<TClipboardFormats>(this);
    FBackground = std::make_unique<TPicture>();
    FBackground->OnChange = [this](TObject*) { RequestRepaint(); };
    for (TChangeLink* link : {&FImageChangeLink, &FStateChangeLink, &FCustomCheckChangeLink})
        link->OnChange = [this](TObject* Sender) { ImageListChange(Sender); };
    FCheckImages = CheckImageList(FCheckImageKind);
    AfterConstruction();
    PrepareBitmaps(true, true);
    TWorkerThread::AddThreadReference();
    FRegisteredWithWorker = true;
}

void TBaseVirtualTree::AfterConstruction() {
    if (FRoot) return;
    // The hidden root carries no user data (it is never handed out).
    size_t size = TreeNodeSize + FTotalInternalDataSize;
    void* memory = std::calloc(1, size);
    if (!memory) throw EOutOfMemory("Out of memory");
    FRoot = new (memory) TVirtualNode();
    FRoot->NodeHeight = Word(std::min<Cardinal>(FDefaultNodeHeight, 65535));
    FRoot->TotalHeight = FRoot->NodeHeight;
    FRoot->TotalCount = 1;
    FRoot->Align = 50;
    FRoot->States = {nsInitialized, nsExpanded, nsHasChildren, nsVisible};
    FRoot->PrevSibling = FRoot;
    FRoot->NextSibling = FRoot;
    // The root's parent link holds the tree (see TreeFromNode).
    FRoot->Parent = reinterpret_cast<PVirtualNode>(this);
}

TBaseVirtualTree::~TBaseVirtualTree() {
    FComponentState.Include(TComponentStateItem::csDestroying);
    // Lift the read-only option so that the nodes can go.
    if (FOptions) {
        auto misc = FOptions->MiscOptions();
        if (misc.Contains(toReadOnly)) {
            misc.Exclude(toReadOnly);
            FOptions->SetMiscOptions(misc);
        }
    }
    InterruptValidation();
    ClearNodes();
    FClipboardFormats.reset();
    FBackground.reset();
    FColors.reset();
    FScrollBarOptions.reset();
    if (FRoot) {
        FRoot->~TVirtualNode();
        std::free(FRoot);
        FRoot = nullptr;
    }
    FOptions.reset();
    if (FRegisteredWithWorker) TWorkerThread::ReleaseThreadReference(this);
}

std::unique_ptr<TCustomVirtualTreeOptions> TBaseVirtualTree::GetOptionsClass() {
    return std::make_unique<TCustomVirtualTreeOptions>(this);
}

bool TBaseVirtualTree::IsReadOnly() const {
    return FOptions && FOptions->MiscOptions().Contains(toReadOnly);
}

void TBaseVirtualTree::RequestRepaint() {
    if (HandleAllocated() && !Loading()) {
        ++FRepaintRequests;
        Invalidate();
    }
}

void TBaseVirtualTree::InvalidateNode(PVirtualNode Node) {
    if (Node && HandleAllocated()) RequestRepaint();
}

void TBaseVirtualTree::InvalidateToBottom(PVirtualNode Node) {
    if (HandleAllocated() && !IsUpdating()) RequestRepaint();
}

void TBaseVirtualTree::InvalidatePositionCache() {
    // No positions are ever cached: the worker does no work, so only stop a pending run.
    InterruptValidation();
}

void TBaseVirtualTree::InterruptValidation() {
    TWorkerThread* worker = TWorkerThread::Instance();
    if (!worker) return;
    if (!FStates.Contains(TVirtualTreeState::tsValidating)) {
        worker->RemoveTree(this);
        return;
    }
    DoStateChange({TVirtualTreeState::tsStopValidation});
    // The worker never validates a tree here, so this wait ends at once.
    worker->WaitWhileValidating(this);
    DoStateChange({}, {TVirtualTreeState::tsStopValidation});
}

// ---- Control-level properties
// --------------------------------------------------------------------

void TBaseVirtualTree::SetBorderStyle(TBorderStyle value) {
    if (FBorderStyle == value) return;
    FBorderStyle = value;
    if (HandleAllocated()) RecreateWnd();
}

void TBaseVirtualTree::RedrawWindowWithFrame() {
    if (HandleAllocated())
        RedrawWindow(Handle(), nullptr, nullptr,
                     RDW_FRAME | RDW_INVALIDATE | RDW_NOERASE | RDW_NOCHILDREN);
}

// ---- Published property setters
// --------------------------------------------------------------------

void TBaseVirtualTree::SetDefaultNodeHeight(Cardinal value) {
    if (value == 0) value = 18;
    value = std::min<Cardinal>(value, 65535);
    if (FDefaultNodeHeight == value) return;
    // Existing nodes keep their heights; only the root follows.
    int delta = int(value) - int(FDefaultNodeHeight);
    FDefaultNodeHeight = value;
    AdjustTotalHeight(FRoot, delta, true);
    FRoot->NodeHeight = Word(value);
    if (!IsUpdating() && HandleAllocated() && !Loading()) {
        UpdateScrollBars(true);
        ScrollIntoView(FFocusedNode, false, true);
        RequestRepaint();
    }
}

void TBaseVirtualTree::SetIndent(Cardinal value) {
    if (FIndent == value) return;
    FIndent = value;
    if (!Loading() && !IsUpdating() && HandleAllocated()) {
        UpdateScrollBars(true);
        RequestRepaint();
    }
}

void TBaseVirtualTree::SetMargin(int value) {
    if (FMargin == value) return;
    FMargin = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetTextMargin(int value) {
    if (FTextMargin == value) return;
    FTextMargin = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetNodeDataSize(int value) {
    if (value < -1) value = -1;
    if (FNodeDataSize == value) return;
    FNodeDataSize = value;
    if (!Loading() && !FComponentState.Contains(TComponentStateItem::csDesigning)) {
        Cardinal lastRootCount = FRoot->ChildCount;
        ClearNodes();
        SetRootNodeCount(lastRootCount);
    }
}

void TBaseVirtualTree::SetNodeAlignment(TVTNodeAlignment value) {
    if (FNodeAlignment == value) return;
    FNodeAlignment = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetLineStyle(TVTLineStyle value) {
    if (FLineStyle == value) return;
    FLineStyle = value;
    if (!Loading()) PrepareBitmaps(false, true);
    RequestRepaint();
}

void TBaseVirtualTree::SetLineMode(TVTLineMode value) {
    if (FLineMode == value) return;
    FLineMode = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetButtonStyle(TVTButtonStyle value) {
    if (FButtonStyle == value) return;
    FButtonStyle = value;
    if (!Loading()) PrepareBitmaps(true, false);
    RequestRepaint();
}

void TBaseVirtualTree::SetButtonFillMode(TVTButtonFillMode value) {
    if (FButtonFillMode == value) return;
    FButtonFillMode = value;
    if (!Loading()) PrepareBitmaps(true, false);
    RequestRepaint();
}

void TBaseVirtualTree::SetCheckImageKind(TCheckImageKind value) {
    if (FCheckImageKind == value) return;
    FCheckImageKind = value;
    FCheckImages = value == TCheckImageKind::ckCustom ? FCustomCheckImages : CheckImageList(value);
    if (!IsUpdating() && !Loading()) RequestRepaint();
}

// ---- Image lists

void TBaseVirtualTree::SwapImageList(TCustomImageList*& Field, TChangeLink& Link,
                                     TCustomImageList* value) {
    TCustomImageList* old = Field;
    if (old) old->UnRegisterChanges(&Link);
    Field = value;
    if (value) {
        value->RegisterChanges(&Link);
        value->FreeNotification(this);
    }
    // One list may serve several properties: keep hearing of its end while any still uses it.
    if (old && old != FImages && old != FStateImages && old != FCustomCheckImages)
        old->RemoveFreeNotification(this);
}

void TBaseVirtualTree::SetImages(TCustomImageList* value) {
    if (FImages == value) return;
    SwapImageList(FImages, FImageChangeLink, value);
    RequestRepaint();
}

void TBaseVirtualTree::SetStateImages(TCustomImageList* value) {
    if (FStateImages == value) return;
    SwapImageList(FStateImages, FStateChangeLink, value);
    RequestRepaint();
}

void TBaseVirtualTree::SetCustomCheckImages(TCustomImageList* value) {
    if (FCustomCheckImages == value) return;
    TCustomImageList* old = FCustomCheckImages;
    SwapImageList(FCustomCheckImages, FCustomCheckChangeLink, value);
    if (FCheckImageKind == TCheckImageKind::ckCustom)
        FCheckImages = value;
    else if (old && FCheckImages == old)
        FCheckImages = nullptr;
    RequestRepaint();
}

void TBaseVirtualTree::ImageListChange(TObject*) {
    if (!Destroying()) RequestRepaint();
}

int TBaseVirtualTree::GetImageIndex(PVirtualNode Node, TVTImageKind Kind, TColumnIndex Column,
                                    bool& Ghosted) {
    TCustomImageList* list = Kind == TVTImageKind::ikState ? FStateImages : FImages;
    if (!list || !Node || Node == FRoot) return -1;
    int index = -1;
    index = DoGetImageIndex(Node, Kind, Column, Ghosted, index);
    return index >= 0 && index < list->Count() ? index : -1;
}

int TBaseVirtualTree::NodeLineOffset(PVirtualNode Node, bool HasNormalImage,
                                     bool HasStateImage) const {
    int imageHeight = 0;
    if (HasNormalImage && FImages)
        imageHeight = FImages->Height();
    else if (HasStateImage && FStateImages)
        imageHeight = FStateImages->Height();
    return NodeLineOffset(Node, imageHeight);
}

void TBaseVirtualTree::SetSelectionBlendFactor(Byte value) {
    if (FSelectionBlendFactor == value) return;
    FSelectionBlendFactor = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetSelectionCurveRadius(Cardinal value) {
    if (FSelectionCurveRadius == value) return;
    FSelectionCurveRadius = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetDrawSelectionMode(TVTDrawSelectionMode value) {
    FDrawSelectionMode = value;
}

void TBaseVirtualTree::SetAnimationDuration(Cardinal value) {
    if (FAnimationDuration == value) return;
    FAnimationDuration = value;
    auto anim = FOptions->AnimationOptions();
    if (value > 0)
        anim.Include(toAnimatedToggle);
    else
        anim.Exclude(toAnimatedToggle);
    FOptions->SetAnimationOptions(anim);
}

void TBaseVirtualTree::SetAutoScrollInterval(Cardinal value) {
    FAutoScrollInterval = std::clamp<Cardinal>(value, 1, 1000);
}

void TBaseVirtualTree::SetIncrementalSearch(TVTIncrementalSearch value) {
    if (FIncrementalSearch == value) return;
    FIncrementalSearch = value;
    if (value == TVTIncrementalSearch::isNone) {
        // The search timer (id 7) belongs to the window layer; the buffer goes here.
        FSearchBuffer.clear();
    }
}

Cardinal TBaseVirtualTree::RootNodeCount() const {
    if (FStates.Contains(TVirtualTreeState::tsNeedRootCountUpdate)) return FLoadedRootNodeCount;
    return FRoot ? FRoot->ChildCount : 0;
}

void TBaseVirtualTree::SetRootNodeCount(Cardinal value) {
    if (Loading()) {
        // Applied when loading ends.
        FLoadedRootNodeCount = value;
        FStates.Include(TVirtualTreeState::tsNeedRootCountUpdate);
        return;
    }
    if (FRoot->ChildCount == value) return;
    LockUpdates();
    auto unlock = Finally([this] { UnlockUpdates(); });
    InterruptValidation();
    SetChildCount(FRoot, value);
}

void TBaseVirtualTree::SetBackgroundOffsetX(int value) {
    if (FBackgroundOffsetX == value) return;
    FBackgroundOffsetX = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetBackgroundOffsetY(int value) {
    if (FBackgroundOffsetY == value) return;
    FBackgroundOffsetY = value;
    RequestRepaint();
}

void TBaseVirtualTree::SetOffsetX(int value) {
    value = std::min(value, 0);
    if (FOffsetX == value) return;
    int delta = value - FOffsetX;
    FOffsetX = value;
    DoScroll(delta, 0);
    RequestRepaint();
}

void TBaseVirtualTree::SetOffsetY(int value) {
    value = std::min(value, 0);
    if (FOffsetY == value) return;
    int delta = value - FOffsetY;
    FOffsetY = value;
    DoScroll(0, delta);
    RequestRepaint();
}

void TBaseVirtualTree::SetBackground(TPicture* value) {
    FBackground->Assign(value);
    RequestRepaint();
}

void TBaseVirtualTree::TileBackground(TCanvas* Target, const TRect& R) {
    const int w = FBackground->Width(), h = FBackground->Height();
    if (!Target || w <= 0 || h <= 0 || R.IsEmpty()) return;
    TBitmap* picture = FBackground->Bitmap();
    HDC source = picture->Canvas()->Handle();
    HDC target = Target->Handle();
    auto wrap = [](int v, int m) { return ((v % m) + m) % m; };
    // Picture position of the rectangle's top-left corner.
    const int startX = wrap(R.Left + FBackgroundOffsetX - FOffsetX, w);
    const int startY = wrap(R.Top + FBackgroundOffsetY - FOffsetY, h);
    for (int y = R.Top, py = startY; y < R.Bottom; py = 0) {
        const int rowHeight = std::min(h - py, R.Bottom - y);
        for (int x = R.Left, px = startX; x < R.Right; px = 0) {
            const int colWidth = std::min(w - px, R.Right - x);
            BitBlt(target, x, y, colWidth, rowHeight, source, px, py, SRCCOPY);
            x += colWidth;
        }
        y += rowHeight;
    }
}

PVirtualNode TBaseVirtualTree::TopNode() {
    int top = 0;
    return NodeAtPointEx(0, 0, true, top);
}

void TBaseVirtualTree::SetTopNode(PVirtualNode Node) {
    if (!Node || Node == FRoot) return;
    for (PVirtualNode run = Node->Parent; run != FRoot; run = run->Parent)
        if (!run->States.Contains(nsExpanded)) ToggleNode(run);
    SetOffsetY(-NodeTop(Node));
}

void TBaseVirtualTree::ChangeScale(int M, int D) {
    if (M == D || !FOptions->AutoOptions().Contains(toAutoChangeScale)) return;
    SetDefaultNodeHeight(Cardinal(MulDiv(int(FDefaultNodeHeight), M, D)));
    // The header rescales itself once there is one.
}

void TBaseVirtualTree::SetClipboardFormats(const TStringList* value) {
    FClipboardFormats->Clear();
    if (!value) return;
    for (int i = 0; i < value->Count(); ++i)
        FClipboardFormats->Add(value->Strings(i));
}

// ---- Option reactions
// ------------------------------------------------------------------------------

void TBaseVirtualTree::OptionsPaintChanged(TVTPaintOptions OldOptions, TVTPaintOptions NewOptions) {
    if (Loading() || !HandleAllocated()) return;
    if (OldOptions.Contains(toThemeAware) != NewOptions.Contains(toThemeAware)) {
        // No theme library: the themed state stays off.
        DoStateChange({}, {TVirtualTreeState::tsUseThemes});
        PrepareBitmaps(true, false);
        RedrawWindowWithFrame();
    } else {
        RequestRepaint();
    }
}

void TBaseVirtualTree::OptionsAutoChanged(TVTAutoOptions OldOptions, TVTAutoOptions NewOptions) {
    if (Loading() || !HandleAllocated()) return;
    if (OldOptions.Contains(toAutoSpanColumns) != NewOptions.Contains(toAutoSpanColumns))
        RequestRepaint();
}

void TBaseVirtualTree::OptionsSelectionChanged(TVTSelectionOptions OldOptions,
                                               TVTSelectionOptions NewOptions) {
    if (Loading()) return;
    bool multiChanged = OldOptions.Contains(toMultiSelect) != NewOptions.Contains(toMultiSelect);
    bool levelOn = !OldOptions.Contains(toLevelSelectConstraint) &&
                   NewOptions.Contains(toLevelSelectConstraint);
    bool siblingOn = !OldOptions.Contains(toSiblingSelectConstraint) &&
                     NewOptions.Contains(toSiblingSelectConstraint);
    if (multiChanged || levelOn || siblingOn) ClearSelection();
    if (OldOptions.Contains(toExtendedFocus) && !NewOptions.Contains(toExtendedFocus) &&
        FFocusedColumn > 0 && HandleAllocated()) {
        FFocusedColumn = MainColumn();
        RequestRepaint();
    }
    if (!NewOptions.Contains(toExtendedFocus)) FFocusedColumn = MainColumn();
}

void TBaseVirtualTree::OptionsMiscChanged(TVTMiscOptions OldOptions, TVTMiscOptions NewOptions) {
    if (Loading() || !HandleAllocated()) return;
    if (OldOptions.Contains(toCheckSupport) != NewOptions.Contains(toCheckSupport))
        RequestRepaint();
    if (!FComponentState.Contains(TComponentStateItem::csDesigning) &&
        OldOptions.Contains(toFullRepaintOnResize) != NewOptions.Contains(toFullRepaintOnResize))
        RecreateWnd();
    // OLE dropping is registered by the drag manager of the data-transfer layer.
}

void TBaseVirtualTree::ScrollBarsChanged() {
    if (!Loading() && HandleAllocated()) RecreateWnd();
}

void TBaseVirtualTree::ColorsChanged(int Index) {
    if (Loading() || !HandleAllocated()) return;
    if (Index == TVTColors::BorderColorIndex) RedrawWindowWithFrame();
    RequestRepaint();
}

void TBaseVirtualTree::ReadOldOptions(const std::vector<std::string>& identifiers) {
    // Every old option maps onto the new option of the same name ("vo" becomes "to").
    static const std::map<std::string, std::function<void(TCustomVirtualTreeOptions&)>> map = [] {
        std::map<std::string, std::function<void(TCustomVirtualTreeOptions&)>> m;
        auto paint = [&](const char* name, TVTPaintOption o) {
            m[name] = [o](TCustomVirtualTreeOptions& t) {
                t.SetPaintOptions(t.PaintOptions() | o);
            };
        };
        auto autoOpt = [&](const char* name, TVTAutoOption o) {
            m[name] = [o](TCustomVirtualTreeOptions& t) { t.SetAutoOptions(t.AutoOptions() | o); };
        };
        auto sel = [&](const char* name, TVTSelectionOption o) {
            m[name] = [o](TCustomVirtualTreeOptions& t) {
                t.SetSelectionOptions(t.SelectionOptions() | o);
            };
        };
        auto misc = [&](const char* name, TVTMiscOption o) {
            m[name] = [o](TCustomVirtualTreeOptions& t) { t.SetMiscOptions(t.MiscOptions() | o); };
        };
        misc("voAcceptOLEDrop", toAcceptOLEDrop);
        m["voAnimatedToggle"] = [](TCustomVirtualTreeOptions& t) {
            t.SetAnimationOptions(t.AnimationOptions() | toAnimatedToggle);
        };
        autoOpt("voAutoDropExpand", toAutoDropExpand);
        autoOpt("voAutoExpand", toAutoExpand);
        autoOpt("voAutoScroll", toAutoScroll);
        autoOpt("voAutoSort", toAutoSort);
        autoOpt("voAutoSpanColumns", toAutoSpanColumns);
        autoOpt("voAutoTristateTracking", toAutoTristateTracking);
        misc("voCheckSupport", toCheckSupport);
        sel("voDisableDrawSelection", toDisableDrawSelection);
        misc("voEditable", toEditable);
        sel("voExtendedFocus", toExtendedFocus);
        sel("voFullRowSelect", toFullRowSelect);
        misc("voGridExtensions", toGridExtensions);
        paint("voHideFocusRect", toHideFocusRect);
        paint("voHideSelection", toHideSelection);
        paint("voHotTrack", toHotTrack);
        misc("voInitOnSave", toInitOnSave);
        sel("voLevelSelectConstraint", toLevelSelectConstraint);
        sel("voMiddleClickSelect", toMiddleClickSelect);
        sel("voMultiSelect", toMultiSelect);
        sel("voRightClickSelect", toRightClickSelect);
        paint("voPopupMode", toPopupMode);
        paint("voShowBackground", toShowBackground);
        paint("voShowButtons", toShowButtons);
        paint("voShowDropmark", toShowDropmark);
        paint("voShowHorzGridLines", toShowHorzGridLines);
        paint("voShowRoot", toShowRoot);
        paint("voShowTreeLines", toShowTreeLines);
        paint("voShowVertGridLines", toShowVertGridLines);
        sel("voSiblingSelectConstraint", toSiblingSelectConstraint);
        misc("voToggleOnDblClick", toToggleOnDblClick);
        return m;
    }();
    FOptions->SetPaintOptions({});
    FOptions->SetAnimationOptions({});
    FOptions->SetAutoOptions({});
    FOptions->SetSelectionOptions({});
    FOptions->SetMiscOptions({});
    for (const auto& id : identifiers) {
        auto it = map.find(id);
        if (it != map.end()) it->second(*FOptions);
    }
}

// ---- Loading and notifications
// ---------------------------------------------------------------------

void TBaseVirtualTree::Loaded() {
    TCustomControl::Loaded();
    if (FStates.Contains(TVirtualTreeState::tsNeedRootCountUpdate)) {
        FStates.Exclude(TVirtualTreeState::tsNeedRootCountUpdate);
        Cardinal count = FLoadedRootNodeCount;
        FLoadedRootNodeCount = 0;
        // The stored count is applied even on a read-only tree.
        auto misc = FOptions->MiscOptions();
        bool readOnly = misc.Contains(toReadOnly);
        if (readOnly) FOptions->SetMiscOptions(misc - toReadOnly);
        auto restore = Finally([&] {
            if (readOnly) FOptions->SetMiscOptions(FOptions->MiscOptions() | toReadOnly);
        });
        SetRootNodeCount(count);
    }
    // The header finishes its own loading once it exists.
}

void TBaseVirtualTree::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent) return;
    // A freed list is past its own destructor here and has already cut its links (their
    // Sender is nil); a list merely leaving its owner is still alive and is left properly.
    bool dropped = false;
    const std::pair<TCustomImageList**, TChangeLink*> lists[] = {
        {&FImages, &FImageChangeLink},
        {&FStateImages, &FStateChangeLink},
        {&FCustomCheckImages, &FCustomCheckChangeLink}};
    for (auto [field, link] : lists) {
        if (!*field || static_cast<TComponent*>(*field) != AComponent) continue;
        if (link->Sender() == *field) (*field)->UnRegisterChanges(link);
        *field = nullptr;
        dropped = true;
    }
    if (FCheckImages && static_cast<TComponent*>(FCheckImages) == AComponent)
        FCheckImages = nullptr;
    if (dropped && !Destroying()) RequestRepaint();
    // Header images and the popup menu are cleared here once the layers that give the tree
    // those properties exist.
}

bool TBaseVirtualTree::CanFocus() {
    if (!TCustomControl::CanFocus()) return false;
    TCustomForm* form = GetParentForm(this);
    return !form || form->CanFocus();
}

void TBaseVirtualTree::WndProc(TMessage& Message) {
    // An in-place editor and a drag manager see messages first once the editing and data
    // transfer layers provide them; the header handles its own messages in the header layer.
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (DragMode() == dmAutomatic &&
            !FComponentState.Contains(TComponentStateItem::csDesigning) && !Dragging()) {
            BeginDrag(false);
            return;
        }
        break;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
        // Button presses on the frame do nothing here.
        return;
    case WM_TIMER:
        // The delayed change notifications; the other timers belong to the message layer.
        if (Message.WParam == ChangeTimer) {
            ChangeTimerElapsed();
            return;
        }
        if (Message.WParam == StructureChangeTimer) {
            StructureChangeTimerElapsed();
            return;
        }
        break;
    default:
        break;
    }
    TCustomControl::WndProc(Message);
}

// ---- Check states
// ----------------------------------------------------------------------------------

TCheckState TBaseVirtualTree::CheckState(PVirtualNode Node) const {
    return Node && Node != FRoot ? Node->CheckState : csUncheckedNormal;
}

TCheckType TBaseVirtualTree::CheckType(PVirtualNode Node) const {
    return Node && Node != FRoot ? Node->CheckType : ctNone;
}

void TBaseVirtualTree::SetCheckType(PVirtualNode Node, TCheckType Value) {
    if (!Node || Node == FRoot || Node->CheckType == Value) return;
    Node->CheckType = Value;
    Node->CheckState = csUncheckedNormal;
    // A new check box starts unchecked; tri-state parents follow their children.
    InvalidateNode(Node);
}

bool TBaseVirtualTree::SetCheckState(PVirtualNode Node, TCheckState Value) {
    if (!Node || Node == FRoot) return false;
    if (Node->CheckState == Value || Node->States.Contains(nsDisabled)) return false;
    if (!DoChecking(Node, Value)) return false;
    bool applied = DoSetCheckState(Node, Value);
    if (applied) DoChecked(Node);
    return applied;
}

namespace {
inline bool IsCheckBoxType(TCheckType t) {
    return t == ctTriStateCheckBox || t == ctCheckBox;
}
} // namespace

bool TBaseVirtualTree::DoSetCheckState(PVirtualNode Node, TCheckState Value) {
    TCheckState oldState = Node->CheckState;
    TCheckState newState = Value;
    Node->States.Include(nsChecking);
    const bool tracking = FOptions->AutoOptions().Contains(toAutoTristateTracking);

    if (Node->CheckType == ctRadioButton && NormalCheckState(Value) == csCheckedNormal) {
        // Radio siblings are unchecked directly, without asking them.
        for (PVirtualNode run = Node->Parent->FirstChild; run; run = run->NextSibling)
            if (run != Node && run->CheckType == ctRadioButton) run->CheckState = csUncheckedNormal;
        RequestRepaint();
    } else if (Node->CheckType == ctTriStateCheckBox && tracking && Node->ChildCount > 0) {
        TCheckState target = NormalCheckState(Value);
        if (target == csUncheckedNormal || target == csCheckedNormal) {
            Cardinal boxes = 0, reached = 0;
            for (PVirtualNode run = Node->FirstChild; run; run = run->NextSibling) {
                if (!IsCheckBoxType(run->CheckType)) continue;
                ++boxes;
                if (run->CheckState != target) SetCheckState(run, target);
                if (NormalCheckState(run->CheckState) == target) ++reached;
            }
            // Children decide only when there are check boxes among them; otherwise the node
            // keeps the state it was given.
            if (boxes > 0) {
                TCheckState opposite =
                    target == csUncheckedNormal ? csCheckedNormal : csUncheckedNormal;
                if (reached == 0)
                    newState = opposite;
                else if (reached < boxes)
                    newState = csMixedNormal;
            }
        }
    }

    bool parentAccepted = true;
    PVirtualNode parent = Node->Parent;
    if (parent != FRoot) {
        if (!parent->States.Contains(nsInitialized)) InitNode(parent);
        if (tracking && IsCheckBoxType(Node->CheckType) &&
            parent->CheckType == ctTriStateCheckBox && !parent->States.Contains(nsChecking) &&
            !parent->States.Contains(nsDisabled))
            parentAccepted = CheckParentState(Node, newState);
    }
    Node->CheckState = parentAccepted ? newState : NormalCheckState(oldState);
    InvalidateNode(Node);
    Node->States.Exclude(nsChecking);
    return parentAccepted;
}

bool TBaseVirtualTree::CheckParentState(PVirtualNode Node, TCheckState NewState) {
    PVirtualNode changing = Node;
    TCheckState changingState = NewState;
    PVirtualNode parent = Node->Parent;
    bool first = true;
    while (true) {
        Cardinal boxes = 0, checked = 0, mixed = 0;
        for (PVirtualNode run = parent->FirstChild; run; run = run->NextSibling) {
            if (!IsCheckBoxType(run->CheckType)) continue;
            ++boxes;
            TCheckState s = NormalCheckState(run == changing ? changingState : run->CheckState);
            if (s == csCheckedNormal) ++checked;
            if (s == csMixedNormal) ++mixed;
        }
        TCheckState parentState;
        if (checked == 0 && mixed == 0)
            parentState = csUncheckedNormal;
        else if (checked == boxes)
            parentState = csCheckedNormal;
        else
            parentState = csMixedNormal;
        if (!DoChecking(parent, parentState)) return !first;
        parent->CheckState = parentState;
        InvalidateNode(parent);
        first = false;
        changing = parent;
        changingState = parentState;
        parent = parent->Parent;
        if (parent == FRoot || parent->CheckType != ctTriStateCheckBox ||
            parent->States.Contains(nsChecking) || parent->States.Contains(nsDisabled))
            break;
    }
    return true;
}

// ---- Selection
// -------------------------------------------------------------------------------------

namespace {
// Entries removed inside an update lock are marked by their lowest address bit until the
// array is packed, so that the array stays sorted for the binary search.
inline uintptr_t Addr(PVirtualNode n) {
    return reinterpret_cast<uintptr_t>(n) & ~uintptr_t(1);
}
inline bool Marked(PVirtualNode n) {
    return (reinterpret_cast<uintptr_t>(n) & 1) != 0;
}
} // namespace

bool TBaseVirtualTree::Selected(PVirtualNode Node) const {
    return Node && Node != FRoot && Node->States.Contains(nsSelected);
}

int TBaseVirtualTree::FindNodeInSelection(PVirtualNode Node) const {
    uintptr_t key = reinterpret_cast<uintptr_t>(Node);
    auto it = std::lower_bound(FSelection.begin(), FSelection.end(), key,
                               [](PVirtualNode n, uintptr_t k) { return Addr(n) < k; });
    if (it == FSelection.end() || Addr(*it) != key || Marked(*it)) return -1;
    return int(it - FSelection.begin());
}

bool TBaseVirtualTree::InternalAddToSelection(const std::vector<PVirtualNode>& NewItems,
                                              bool ForceInsert) {
    std::vector<PVirtualNode> taken;
    taken.reserve(NewItems.size());
    auto selOptions = FOptions->SelectionOptions();
    PVirtualNode firstSelected = nullptr;
    if (!ForceInsert && selOptions.Contains(toSiblingSelectConstraint)) {
        for (PVirtualNode n : FSelection)
            if (!Marked(n)) {
                firstSelected = n;
                break;
            }
    }
    for (PVirtualNode node : NewItems) {
        if (!node || node == FRoot) continue;
        if (node->States.Contains(nsSelected) || node->States.Contains(nsDisabled)) continue;
        if (!ForceInsert) {
            if (selOptions.Contains(toLevelSelectConstraint)) {
                int level = int(NodeLevel(node));
                if (FLastSelectionLevel < 0) FLastSelectionLevel = level;
                if (level != FLastSelectionLevel) continue;
            }
            if (selOptions.Contains(toSiblingSelectConstraint)) {
                if (!firstSelected) firstSelected = node;
                if (node->Parent != firstSelected->Parent) continue;
            }
        }
        node->States.Include(nsSelected);
        taken.push_back(node);
    }
    if (taken.empty()) return false;
    if (FStates.Contains(TVirtualTreeState::tsSelectionCompactPending)) PackSelection();
    std::sort(taken.begin(), taken.end(), [](PVirtualNode a, PVirtualNode b) { return a < b; });
    std::vector<PVirtualNode> merged;
    merged.reserve(FSelection.size() + taken.size());
    std::merge(FSelection.begin(), FSelection.end(), taken.begin(), taken.end(),
               std::back_inserter(merged), [](PVirtualNode a, PVirtualNode b) { return a < b; });
    FSelection.swap(merged);
    return true;
}

void TBaseVirtualTree::AddToSelection(PVirtualNode Node) {
    if (InternalAddToSelection({Node}, false)) {
        InvalidateNode(Node);
        Change(Node);
    }
}

void TBaseVirtualTree::RemoveFromSelection(PVirtualNode Node) {
    Assert(Node != nullptr, "Node must not be nil!");
    if (!Node->States.Contains(nsSelected)) return;
    Node->States.Exclude(nsSelected);
    int index = FindNodeInSelection(Node);
    if (index >= 0) {
        if (IsUpdating()) {
            FSelection[size_t(index)] =
                reinterpret_cast<PVirtualNode>(reinterpret_cast<uintptr_t>(Node) | 1);
            FStates.Include(TVirtualTreeState::tsSelectionCompactPending);
        } else {
            FSelection.erase(FSelection.begin() + index);
        }
    }
    if (SelectedCount() == 0) ResetRangeAnchor();
    InvalidateNode(Node);
    Change(Node);
}

void TBaseVirtualTree::PackSelection() {
    FSelection.erase(std::remove_if(FSelection.begin(), FSelection.end(), Marked),
                     FSelection.end());
    FStates.Exclude(TVirtualTreeState::tsSelectionCompactPending);
}

void TBaseVirtualTree::ResetRangeAnchor() {
    FRangeAnchor = FFocusedNode;
    FLastSelectionLevel = -1;
}

void TBaseVirtualTree::ClearSelection() {
    PackSelection();
    bool hadSelection = !FSelection.empty();
    for (PVirtualNode node : FSelection) {
        node->States.Exclude(nsSelected);
        InvalidateNode(node);
    }
    FSelection.clear();
    ResetRangeAnchor();
    DoStateChange({}, {TVirtualTreeState::tsClearPending});
    if (hadSelection) Change(nullptr);
}

void TBaseVirtualTree::SetSelected(PVirtualNode Node, bool Value) {
    if (!Node || Node == FRoot || Node->States.Contains(nsSelected) == Value) return;
    if (Value) {
        if (SelectedCount() == 0)
            FRangeAnchor = Node;
        else if (!FOptions->SelectionOptions().Contains(toMultiSelect))
            ClearSelection();
        AddToSelection(Node);
        if (FFocusedColumn < NoColumn) FFocusedColumn = MainColumn();
        if (!FRangeAnchor) FRangeAnchor = Node;
    } else {
        RemoveFromSelection(Node);
        if (SelectedCount() == 0) DoStateChange({}, {TVirtualTreeState::tsToggleFocusedSelection});
    }
}

void TBaseVirtualTree::SelectAll(bool VisibleOnly) {
    if (!FOptions->SelectionOptions().Contains(toMultiSelect)) return;
    std::vector<PVirtualNode> nodes;
    PVirtualNode run = VisibleOnly ? GetFirstVisible() : GetFirst();
    while (run) {
        nodes.push_back(run);
        run = VisibleOnly ? GetNextVisible(run) : GetNext(run);
    }
    if (InternalAddToSelection(nodes, false)) {
        RequestRepaint();
        Change(nullptr);
    }
}

void TBaseVirtualTree::SelectNodes(PVirtualNode StartNode, PVirtualNode EndNode, bool AddOnly) {
    Assert(EndNode != nullptr, "EndNode must not be nil!");
    if (!StartNode) StartNode = GetFirstVisible();
    if (!StartNode) return;
    if (CompareNodePositions(StartNode, EndNode) > 0) std::swap(StartNode, EndNode);
    std::vector<PVirtualNode> nodes;
    for (PVirtualNode run = StartNode; run; run = GetNextVisible(run)) {
        nodes.push_back(run);
        if (run == EndNode) break;
    }
    if (!AddOnly) {
        std::vector<PVirtualNode> keep(nodes);
        std::sort(keep.begin(), keep.end());
        PackSelection();
        std::vector<PVirtualNode> remaining;
        for (PVirtualNode n : FSelection) {
            if (std::binary_search(keep.begin(), keep.end(), n))
                remaining.push_back(n);
            else
                n->States.Exclude(nsSelected);
        }
        FSelection.swap(remaining);
    }
    InternalAddToSelection(nodes, false);
}

void TBaseVirtualTree::HandleClickSelection(PVirtualNode LastFocused, PVirtualNode NewNode,
                                            bool Shift, bool Ctrl) {
    (void)LastFocused;
    if (!NewNode) return;
    if (Shift && Ctrl) {
        if (!FRangeAnchor) FRangeAnchor = GetFirstNoInit();
        SelectNodes(FRangeAnchor, NewNode, true);
        RequestRepaint();
        Change(NewNode);
    } else if (Ctrl) {
        if (!FOptions->SelectionOptions().Contains(toSiblingSelectConstraint))
            FRangeAnchor = NewNode;
        DoStateChange({TVirtualTreeState::tsToggleFocusedSelection});
    } else if (Shift) {
        if (!FRangeAnchor) FRangeAnchor = GetFirstNoInit();
        SelectNodes(FRangeAnchor, NewNode, false);
        RequestRepaint();
        Change(NewNode);
    } else {
        if (!NewNode->States.Contains(nsSelected)) {
            AddToSelection(NewNode);
            InvalidateNode(NewNode);
        }
        FRangeAnchor = NewNode;
    }
}

TRect TBaseVirtualTree::NodeContentRect(PVirtualNode Node, int NodeTop) {
    // Content starts after the indentation and the margin, then the check image, the state
    // and the normal image; the label is as wide as the node says. Without columns the right
    // limit is the client width.
    const auto paint = FOptions->PaintOptions();
    int level = int(NodeLevel(Node)) + (paint.Contains(toShowRoot) ? 1 : 0);
    int start = level * int(FIndent) + FMargin;
    if (FOptions->MiscOptions().Contains(toCheckSupport) && Node->CheckType != ctNone &&
        FCheckImages)
        start += FCheckImages->Width() + 2;
    bool ghosted = false;
    if (GetImageIndex(Node, TVTImageKind::ikState, MainColumn(), ghosted) >= 0)
        start += FStateImages->Width() + 2;
    if (GetImageIndex(Node, TVTImageKind::ikNormal, MainColumn(), ghosted) >= 0)
        start += FImages->Width() + 2;
    int width = DoGetNodeWidth(Node, MainColumn());
    const int limit = std::max(ClientWidth(), start + width);
    TRect r(start, NodeTop, start + width, NodeTop + Node->NodeHeight);
    if (UseRightToLeftAlignment()) {
        // Mirrored: content hangs from the right edge.
        r = TRect(limit - start - width, NodeTop, limit - start, NodeTop + Node->NodeHeight);
    }
    return r;
}

void TBaseVirtualTree::HandleDrawSelection(const TRect& OldRect, const TRect& NewRect,
                                           bool Toggle) {
    const TRect oldR = OrderRect(OldRect), newR = OrderRect(NewRect);
    const int top = std::min(oldR.Top, newR.Top), bottom = std::max(oldR.Bottom, newR.Bottom);
    auto inside = [](const TRect& content, const TRect& r) {
        // The content lies inside when the rectangles overlap.
        return content.Left < r.Right && content.Right > r.Left && content.Top < r.Bottom &&
               content.Bottom > r.Top && !r.IsEmpty();
    };
    int nodeTop = 0;
    PVirtualNode run = NodeAtPointEx(0, top, false, nodeTop);
    std::vector<PVirtualNode> toAdd;
    bool removed = false;
    while (run && nodeTop < bottom) {
        TRect content = NodeContentRect(run, nodeTop);
        bool inNew = inside(content, newR), inOld = inside(content, oldR);
        if (inNew != inOld) {
            bool select = Toggle ? !run->States.Contains(nsSelected) : inNew;
            if (select && !run->States.Contains(nsSelected)) {
                toAdd.push_back(run);
            } else if (!select && run->States.Contains(nsSelected)) {
                InternalRemoveFromSelection(run);
                removed = true;
            }
            InvalidateNode(run);
        }
        nodeTop += run->NodeHeight;
        run = GetNextVisibleNoInit(run);
    }
    PackSelection();
    bool added = !toAdd.empty() && InternalAddToSelection(toAdd, false);
    if (added || removed) Change(nullptr);
}

// ---- Focus
// ---------------------------------------------------------------------------------------

void TBaseVirtualTree::SetFocusedNode(PVirtualNode Node) {
    PVirtualNode old = FFocusedNode;
    DoFocusNode(Node, true);
    if (FFocusedNode != old) DoFocusChange(FFocusedNode, FFocusedColumn);
}

void TBaseVirtualTree::SetFocusedColumn(TColumnIndex Value) {
    if (FFocusedColumn == Value) return;
    if (!DoFocusChanging(FFocusedNode, FFocusedNode, FFocusedColumn, Value)) return;
    DoCancelEdit();
    FFocusedColumn = Value;
    auto opts = FOptions->SelectionOptions();
    if (FFocusedNode)
        ScrollIntoView(FFocusedNode, opts.Contains(toCenterScrollIntoView),
                       !FOptions->AutoOptions().Contains(toDisableAutoscrollOnFocus));
    InvalidateNode(FFocusedNode);
    DoFocusChange(FFocusedNode, FFocusedColumn);
}

// ---- Change notification
// ---------------------------------------------------------------------------

void TBaseVirtualTree::Change(PVirtualNode Node) {
    if (IsUpdating()) {
        FLastChangedNode = Node;
        if (!FStates.Contains(TVirtualTreeState::tsChangePending))
            DoStateChange({TVirtualTreeState::tsChangePending});
        return;
    }
    if (FChangeDelay > 0 && !FStates.Contains(TVirtualTreeState::tsSynchMode)) {
        // The change timer restarts with every change.
        FLastChangedNode = Node;
        FChangeTimerRunning = true;
        if (HandleAllocated()) SetTimer(Handle(), ChangeTimer, FChangeDelay);
        if (!FStates.Contains(TVirtualTreeState::tsChangePending))
            DoStateChange({TVirtualTreeState::tsChangePending});
        return;
    }
    DoChange(Node);
}

void TBaseVirtualTree::StopTimer(UINT_PTR Id) {
    if (Id == ChangeTimer) FChangeTimerRunning = false;
    if (Id == StructureChangeTimer) FStructureChangeTimerRunning = false;
    if (HandleAllocated()) KillTimer(Handle(), Id);
}

void TBaseVirtualTree::SetUpdateState(bool Updating) {
    // Painting is suspended while the tree is updating and its window is shown.
    if (HandleAllocated() && Visible()) SendMessage(Handle(), WM_SETREDRAW, Updating ? 0 : 1, 0);
}

void TBaseVirtualTree::ChangeTimerElapsed() {
    StopTimer(ChangeTimer);
    if (FStates.Contains(TVirtualTreeState::tsChangePending)) DoChange(FLastChangedNode);
}

void TBaseVirtualTree::StructureChangeTimerElapsed() {
    StopTimer(StructureChangeTimer);
    if (FStates.Contains(TVirtualTreeState::tsStructureChangePending))
        DoStructureChange(FLastStructureChangeNode, FLastStructureChangeReason);
}

// ---- Positions and line images
// ---------------------------------------------------------------------

int TBaseVirtualTree::CompareNodePositions(PVirtualNode Node1, PVirtualNode Node2) {
    Assert(Node1 != nullptr && Node2 != nullptr, "Nodes must never be nil.");
    if (Node1 == Node2) return 0;
    if (HasAsAncestor(Node1, Node2)) return 1;
    if (HasAsAncestor(Node2, Node1)) return -1;
    Cardinal level1 = NodeLevel(Node1), level2 = NodeLevel(Node2);
    while (level1 > level2) {
        Node1 = Node1->Parent;
        --level1;
    }
    while (level2 > level1) {
        Node2 = Node2->Parent;
        --level2;
    }
    while (Node1->Parent != Node2->Parent) {
        Node1 = Node1->Parent;
        Node2 = Node2->Parent;
    }
    return int(int64_t(Node1->Index) - int64_t(Node2->Index));
}

int TBaseVirtualTree::LevelDifference(PVirtualNode Node1, PVirtualNode Node2) const {
    Assert(Node1 != nullptr && Node2 != nullptr, "Both nodes must be Assigned.");
    return int(NodeLevel(Node2)) - int(NodeLevel(Node1));
}

namespace {
bool HasVisibleNextSibling(PVirtualNode Node) {
    for (PVirtualNode run = Node->NextSibling; run; run = run->NextSibling)
        if (run->States.Contains(nsVisible)) return true;
    return false;
}
bool HasVisiblePreviousSibling(PVirtualNode Node) {
    for (PVirtualNode run = Node->PrevSibling; run; run = run->PrevSibling)
        if (run->States.Contains(nsVisible)) return true;
    return false;
}
} // namespace

int TBaseVirtualTree::DetermineLineImageAndSelectLevel(PVirtualNode Node,
                                                       std::vector<TVTLineType>& LineImage) {
    Assert(Node != nullptr && Node != FRoot, "Invalid parameter.");
    const auto paint = FOptions->PaintOptions();
    const bool showRoot = paint.Contains(toShowRoot);
    const Cardinal level = NodeLevel(Node);
    LineImage.assign(level + (showRoot ? 1 : 0), TVTLineType::ltNone);

    int selectedAncestors = 0;
    for (PVirtualNode run = Node->Parent; run != FRoot; run = run->Parent)
        if (run->States.Contains(nsSelected)) ++selectedAncestors;

    if (!paint.Contains(toShowTreeLines)) return selectedAncestors;
    if (level > 0) {
        size_t index = LineImage.size() - 1;
        LineImage[index] =
            HasVisibleNextSibling(Node) ? TVTLineType::ltTopDownRight : TVTLineType::ltTopRight;
        PVirtualNode run = Node->Parent;
        while (run->Parent != FRoot) {
            --index;
            LineImage[index] =
                HasVisibleNextSibling(run) ? TVTLineType::ltTopDown : TVTLineType::ltNone;
            run = run->Parent;
        }
        if (showRoot)
            LineImage[0] =
                HasVisibleNextSibling(run) ? TVTLineType::ltTopDown : TVTLineType::ltNone;
    } else if (showRoot) {
        bool before = HasVisiblePreviousSibling(Node);
        bool after = HasVisibleNextSibling(Node);
        if (!before && !after)
            LineImage[0] = TVTLineType::ltRight;
        else if (!before)
            LineImage[0] = TVTLineType::ltBottomRight;
        else if (!after)
            LineImage[0] = TVTLineType::ltTopRight;
        else
            LineImage[0] = TVTLineType::ltTopDownRight;
    }
    return selectedAncestors;
}

int TBaseVirtualTree::NodeLineOffset(PVirtualNode Node, int ImageHeight) const {
    const int H = int(NodeHeight(Node));
    const int A = Node ? Node->Align : 50;
    switch (FNodeAlignment) {
    case TVTNodeAlignment::naFromBottom:
        return H - A;
    case TVTNodeAlignment::naFromTop:
        return A;
    case TVTNodeAlignment::naProportional:
        break;
    }
    if (ImageHeight > 0) return MulDiv(H - ImageHeight, A, 100) + ImageHeight / 2;
    if (FOptions->PaintOptions().Contains(toShowButtons)) {
        const int buttonHeight = TButtonGlyph::Size;
        return MulDiv(H - buttonHeight, A, 100) + buttonHeight / 2;
    }
    return MulDiv(H, A, 100);
}

// ---- Button glyphs and the line pattern
// ------------------------------------------------------------

namespace {

uint32_t PixelOf(TColor color) {
    COLORREF rgb = ColorToRGB(color);
    return 0xFF000000u | (uint32_t(GetRValue(rgb)) << 16) | (uint32_t(GetGValue(rgb)) << 8) |
           uint32_t(GetBValue(rgb));
}

// Filled triangle through three points, edges included.
void FillTriangle(TButtonGlyph& g, TPoint a, TPoint b, TPoint c, uint32_t color) {
    auto edge = [](TPoint p, TPoint q, int x, int y) {
        return (q.X - p.X) * (y - p.Y) - (q.Y - p.Y) * (x - p.X);
    };
    for (int y = 0; y < TButtonGlyph::Size; ++y)
        for (int x = 0; x < TButtonGlyph::Size; ++x) {
            int e0 = edge(a, b, x, y), e1 = edge(b, c, x, y), e2 = edge(c, a, x, y);
            bool inside = (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
            if (inside) g.Pixels[size_t(y * TButtonGlyph::Size + x)] = color;
        }
}

} // namespace

void TBaseVirtualTree::PrepareBitmaps(bool NeedButtons, bool NeedLines) {
    constexpr int S = TButtonGlyph::Size;
    if (NeedButtons) {
        const uint32_t transparent = PixelOf(clFuchsia);
        FPlusGlyph.Pixels.fill(transparent);
        FMinusGlyph.Pixels.fill(transparent);
        if (FButtonStyle == TVTButtonStyle::bsTriangle) {
            const uint32_t black = PixelOf(clBlack);
            FillTriangle(FMinusGlyph, {0, 2}, {8, 2}, {4, 6}, black);
            FillTriangle(FPlusGlyph, {2, 0}, {6, 4}, {2, 8}, black);
        } else {
            uint32_t frame = PixelOf(FColors->TreeLineColor());
            uint32_t sign = PixelOf(Font()->Color());
            for (TButtonGlyph* g : {&FPlusGlyph, &FMinusGlyph}) {
                for (int y = 0; y < S; ++y)
                    for (int x = 0; x < S; ++x) {
                        uint32_t fill = transparent;
                        switch (FButtonFillMode) {
                        case TVTButtonFillMode::fmTreeColor:
                            fill = PixelOf(Color());
                            break;
                        case TVTButtonFillMode::fmWindowColor:
                            fill = PixelOf(clWindow);
                            break;
                        case TVTButtonFillMode::fmShaded: {
                            // A soft vertical shade from white to a light grey.
                            int v = 255 - (y * 48) / (S - 1);
                            fill = 0xFF000000u | uint32_t(v) << 16 | uint32_t(v) << 8 | uint32_t(v);
                            break;
                        }
                        case TVTButtonFillMode::fmTransparent:
                            break;
                        }
                        g->Pixels[size_t(y * S + x)] = fill;
                    }
                if (FButtonFillMode == TVTButtonFillMode::fmShaded) frame = PixelOf(clGray);
                for (int i = 0; i < S; ++i) {
                    g->Pixels[size_t(i)] = frame;
                    g->Pixels[size_t((S - 1) * S + i)] = frame;
                    g->Pixels[size_t(i * S)] = frame;
                    g->Pixels[size_t(i * S + S - 1)] = frame;
                }
                for (int x = 2; x < S - 2; ++x)
                    g->Pixels[size_t((S / 2) * S + x)] = sign;
            }
            for (int y = 2; y < S - 2; ++y)
                FPlusGlyph.Pixels[size_t(y * S + S / 2)] = sign;
        }
    }
    if (NeedLines) {
        switch (FLineStyle) {
        case TVTLineStyle::lsSolid:
            FLinePattern.fill(0);
            break;
        case TVTLineStyle::lsDotted:
        case TVTLineStyle::lsCustomStyle:
            for (size_t i = 0; i < 8; ++i)
                FLinePattern[i] = (i % 2 == 0) ? 0xAA : 0x55;
            if (FLineStyle == TVTLineStyle::lsCustomStyle) DoGetLineStyle(FLinePattern);
            break;
        }
    }
}

} // namespace epc
