// Construction, property setters, option reactions, check states, selection, focus, change
// notification, line images and button glyphs of the tree.

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/VTDataTransfer.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "components/tree/CheckImages.h"
#include "components/tree/WorkerThread.h"
#include "platform/controls/Forms.h"
#include "platform/controls/Menus.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/streaming/Filer.h"
#include "platform/windows/Window.h"

namespace epc {

using namespace tree_options;

// ---- Construction
// --------------------------------------------------------------------------------

TBaseVirtualTree::TBaseVirtualTree(TComponent* owner) : TCustomControl(owner) {
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
    FHeader = GetHeaderClass()(this);
    FDragImage = std::make_unique<TVTDragImage>(this);
    FDragImage->SetTransparency(200);
    FDragImage->SetFade(true);
    FBackground = std::make_unique<TPicture>();
    FBackground->OnChange = [this](TObject*) { RequestRepaint(); };
    for (TChangeLink* link : {&FImageChangeLink, &FStateChangeLink, &FCustomCheckChangeLink})
        link->OnChange = [this](TObject* sender) { ImageListChange(sender); };
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
    FRoot.reset(new (memory) TVirtualNode());
    FRoot->NodeHeight = Word(std::min<Cardinal>(FDefaultNodeHeight, 65535));
    FRoot->TotalHeight = FRoot->NodeHeight;
    FRoot->TotalCount = 1;
    FRoot->Align = 50;
    FRoot->States = {nsInitialized, nsExpanded, nsHasChildren, nsVisible};
    FRoot->PrevSibling = FRoot.get();
    FRoot->NextSibling = FRoot.get();
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
    // Data the tree put on the clipboard is rendered now, while the nodes still exist; the
    // object stays (others may hold it) but no longer reaches the tree.
    if (auto* data = static_cast<TVTDataObject*>(FClipboardDataObject)) {
        data->AddRef();
        DoStateChange({TVirtualTreeState::tsClipboardFlushing});
        if (OleIsCurrentClipboard(data) == S_OK) OleFlushClipboard();
        data->DetachOwner();
        FClipboardDataObject = nullptr;
        data->Release();
    }
    if (FDropRegistered && HandleAllocated()) RevokeDragDrop(Handle());
    FDropRegistered = false;
    FDragManager.reset();
    ClearNodes();
    FDragImage.reset();
    FHeader.reset();
    FClipboardFormats.reset();
    FBackground.reset();
    FColors.reset();
    FScrollBarOptions.reset();
    FRoot.reset();
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

void TBaseVirtualTree::InvalidateNode(PVirtualNode node) {
    // The node's full-width row, when it is shown at all.
    if (!node || node == FRoot.get() || !HandleAllocated() || IsUpdating() || Loading()) return;
    if (!IsNodeFullyVisible(node)) return;
    const int top = NodeTop(node) + FOffsetY;
    const RECT r{0, top, std::max(ClientWidth(), RangeX()), top + int(node->NodeHeight)};
    ++FRepaintRequests;
    InvalidateRect(Handle(), &r, false);
}

void TBaseVirtualTree::InvalidateToBottom(PVirtualNode node) {
    if (!HandleAllocated() || IsUpdating() || Loading()) return;
    if (!node || node == FRoot.get()) {
        RequestRepaint();
        return;
    }
    if (!IsNodeFullyVisible(node)) return;
    const int top = NodeTop(node) + FOffsetY;
    if (top >= ClientHeight()) return;
    const RECT r{0, std::max(0, top), std::max(ClientWidth(), RangeX()), ClientHeight()};
    ++FRepaintRequests;
    InvalidateRect(Handle(), &r, false);
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
    AdjustTotalHeight(FRoot.get(), delta, true);
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

void TBaseVirtualTree::SwapImageList(TCustomImageList*& field, TChangeLink& link,
                                     TCustomImageList* value) {
    TCustomImageList* old = field;
    if (old) old->UnRegisterChanges(&link);
    field = value;
    if (value) {
        value->RegisterChanges(&link);
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

int TBaseVirtualTree::GetImageIndex(PVirtualNode node, TVTImageKind kind, TColumnIndex column,
                                    bool& ghosted) {
    TCustomImageList* list = kind == TVTImageKind::ikState ? FStateImages : FImages;
    if (!list || !node || node == FRoot.get()) return -1;
    int index = -1;
    index = DoGetImageIndex(node, kind, column, ghosted, index);
    return index >= 0 && index < list->Count() ? index : -1;
}

int TBaseVirtualTree::NodeLineOffset(PVirtualNode node, bool hasNormalImage,
                                     bool hasStateImage) const {
    int imageHeight = 0;
    if (hasNormalImage && FImages)
        imageHeight = FImages->Height();
    else if (hasStateImage && FStateImages)
        imageHeight = FStateImages->Height();
    return NodeLineOffset(node, imageHeight);
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
        // A search under way ends now, not when its timer would have run out: until then the
        // Back key would still be taken for the search.
        StopTimer(SearchTimer);
        DoStateChange({}, {TVirtualTreeState::tsIncrementalSearching,
                           TVirtualTreeState::tsIncrementalSearchPending});
        FKeyboard.ForgetSearch();
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
    SetChildCount(FRoot.get(), value);
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

void TBaseVirtualTree::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    RequestRepaint();
}

// Both go the way of every scroll: clamped to the range, the client area scrolled, the bars
// and the header brought along.
void TBaseVirtualTree::SetOffsetX(int value) {
    DoSetOffsetXY(TPoint(value, FOffsetY), DefaultScrollUpdateFlags);
}

void TBaseVirtualTree::SetOffsetY(int value) {
    DoSetOffsetXY(TPoint(FOffsetX, value), DefaultScrollUpdateFlags);
}

void TBaseVirtualTree::SetBackground(TPicture* value) {
    FBackground->Assign(value);
    RequestRepaint();
}

void TBaseVirtualTree::TileBackground(TCanvas* target, const TRect& r) {
    const int w = FBackground->Width(), h = FBackground->Height();
    if (!target || w <= 0 || h <= 0 || r.IsEmpty()) return;
    TBitmap* picture = FBackground->Bitmap();
    HDC source = picture->Canvas()->Handle();
    HDC dc = target->Handle();
    auto wrap = [](int v, int m) { return ((v % m) + m) % m; };
    // Picture position of the rectangle's top-left corner.
    const int startX = wrap(r.Left + FBackgroundOffsetX - FOffsetX, w);
    const int startY = wrap(r.Top + FBackgroundOffsetY - FOffsetY, h);
    for (int y = r.Top, py = startY; y < r.Bottom; py = 0) {
        const int rowHeight = std::min(h - py, r.Bottom - y);
        for (int x = r.Left, px = startX; x < r.Right; px = 0) {
            const int colWidth = std::min(w - px, r.Right - x);
            BitBlt(dc, x, y, colWidth, rowHeight, source, px, py, SRCCOPY);
            x += colWidth;
        }
        y += rowHeight;
    }
}

PVirtualNode TBaseVirtualTree::TopNode() {
    int top = 0;
    return NodeAtPointEx(0, 0, true, top);
}

void TBaseVirtualTree::SetTopNode(PVirtualNode node) {
    if (!node || node == FRoot.get()) return;
    for (PVirtualNode run = node->Parent; run != FRoot.get(); run = run->Parent)
        if (!run->States.Contains(nsExpanded)) ToggleNode(run);
    SetOffsetY(-NodeTop(node));
}

void TBaseVirtualTree::ChangeScale(int m, int d) {
    if (m == d || !FOptions->AutoOptions().Contains(toAutoChangeScale)) return;
    SetDefaultNodeHeight(Cardinal(MulDiv(int(FDefaultNodeHeight), m, d)));
    FHeader->ChangeScale(m, d);
}

void TBaseVirtualTree::SetClipboardFormats(const TStringList* value) {
    FClipboardFormats->Clear();
    if (!value) return;
    for (int i = 0; i < value->Count(); ++i)
        FClipboardFormats->Add(value->Strings(i));
}

// ---- Option reactions
// ------------------------------------------------------------------------------

void TBaseVirtualTree::OptionsPaintChanged(TVTPaintOptions oldOptions, TVTPaintOptions newOptions) {
    if (Loading() || !HandleAllocated()) return;
    if (oldOptions.Contains(toThemeAware) != newOptions.Contains(toThemeAware)) {
        // No theme library: the themed state stays off.
        DoStateChange({}, {TVirtualTreeState::tsUseThemes});
        PrepareBitmaps(true, false);
        RedrawWindowWithFrame();
    } else {
        RequestRepaint();
    }
}

void TBaseVirtualTree::OptionsAutoChanged(TVTAutoOptions oldOptions, TVTAutoOptions newOptions) {
    if (Loading() || !HandleAllocated()) return;
    if (oldOptions.Contains(toAutoSpanColumns) != newOptions.Contains(toAutoSpanColumns))
        RequestRepaint();
}

void TBaseVirtualTree::OptionsSelectionChanged(TVTSelectionOptions oldOptions,
                                               TVTSelectionOptions newOptions) {
    if (Loading()) return;
    bool multiChanged = oldOptions.Contains(toMultiSelect) != newOptions.Contains(toMultiSelect);
    bool levelOn = !oldOptions.Contains(toLevelSelectConstraint) &&
                   newOptions.Contains(toLevelSelectConstraint);
    bool siblingOn = !oldOptions.Contains(toSiblingSelectConstraint) &&
                     newOptions.Contains(toSiblingSelectConstraint);
    if (multiChanged || levelOn || siblingOn) ClearSelection();
    if (oldOptions.Contains(toExtendedFocus) && !newOptions.Contains(toExtendedFocus) &&
        FFocusedColumn > 0 && HandleAllocated()) {
        FFocusedColumn = MainColumn();
        RequestRepaint();
    }
    if (!newOptions.Contains(toExtendedFocus)) FFocusedColumn = MainColumn();
}

void TBaseVirtualTree::OptionsMiscChanged(TVTMiscOptions oldOptions, TVTMiscOptions newOptions) {
    if (Loading() || !HandleAllocated()) return;
    if (oldOptions.Contains(toCheckSupport) != newOptions.Contains(toCheckSupport))
        RequestRepaint();
    if (!FComponentState.Contains(TComponentStateItem::csDesigning) &&
        oldOptions.Contains(toFullRepaintOnResize) != newOptions.Contains(toFullRepaintOnResize))
        RecreateWnd();
    if (FComponentState.Contains(TComponentStateItem::csDesigning) ||
        oldOptions.Contains(toAcceptOLEDrop) == newOptions.Contains(toAcceptOLEDrop))
        return;
    // The window takes OLE drops from now on, or no longer.
    if (newOptions.Contains(toAcceptOLEDrop) && !FDropRegistered) {
        FDropRegistered = SUCCEEDED(RegisterDragDrop(Handle(), DragManager()));
    } else if (!newOptions.Contains(toAcceptOLEDrop) && FDropRegistered) {
        RevokeDragDrop(Handle());
        FDropRegistered = false;
    }
}

void TBaseVirtualTree::ScrollBarsChanged() {
    if (!Loading() && HandleAllocated()) RecreateWnd();
}

void TBaseVirtualTree::ColorsChanged(int index) {
    if (Loading() || !HandleAllocated()) return;
    if (index == TVTColors::BorderColorIndex) RedrawWindowWithFrame();
    RequestRepaint();
}

void TBaseVirtualTree::DefineProperties(TFiler* filer) {
    TCustomControl::DefineProperties(filer);
    // Older forms stored all options in one set.
    filer->DefineProperty(
        "Options", [this](TReader& reader) { ReadOldOptions(reader.ReadSetIdents()); }, nullptr,
        false);
}

void TBaseVirtualTree::ReadOldOptions(const std::vector<std::string>& identifiers) {
    FOptions->SetPaintOptions({});
    FOptions->SetAnimationOptions({});
    FOptions->SetAutoOptions({});
    FOptions->SetSelectionOptions({});
    FOptions->SetMiscOptions({});
    TCustomVirtualTreeOptions& o = *FOptions;
    for (const std::string& id : identifiers) {
        auto named = std::find_if(OldVTOptionNames.begin(), OldVTOptionNames.end(),
                                  [&id](const char* name) { return id == name; });
        if (named == OldVTOptionNames.end()) continue; // unknown identifiers are skipped
        switch (TOldVTOption(named - OldVTOptionNames.begin())) {
        case TOldVTOption::voHideFocusRect:
            o.SetPaintOptions(o.PaintOptions() | toHideFocusRect);
            break;
        case TOldVTOption::voHideSelection:
            o.SetPaintOptions(o.PaintOptions() | toHideSelection);
            break;
        case TOldVTOption::voHotTrack:
            o.SetPaintOptions(o.PaintOptions() | toHotTrack);
            break;
        case TOldVTOption::voPopupMode:
            o.SetPaintOptions(o.PaintOptions() | toPopupMode);
            break;
        case TOldVTOption::voShowBackground:
            o.SetPaintOptions(o.PaintOptions() | toShowBackground);
            break;
        case TOldVTOption::voShowButtons:
            o.SetPaintOptions(o.PaintOptions() | toShowButtons);
            break;
        case TOldVTOption::voShowDropmark:
            o.SetPaintOptions(o.PaintOptions() | toShowDropmark);
            break;
        case TOldVTOption::voShowHorzGridLines:
            o.SetPaintOptions(o.PaintOptions() | toShowHorzGridLines);
            break;
        case TOldVTOption::voShowRoot:
            o.SetPaintOptions(o.PaintOptions() | toShowRoot);
            break;
        case TOldVTOption::voShowTreeLines:
            o.SetPaintOptions(o.PaintOptions() | toShowTreeLines);
            break;
        case TOldVTOption::voShowVertGridLines:
            o.SetPaintOptions(o.PaintOptions() | toShowVertGridLines);
            break;
        case TOldVTOption::voAnimatedToggle:
            o.SetAnimationOptions(o.AnimationOptions() | toAnimatedToggle);
            break;
        case TOldVTOption::voAutoDropExpand:
            o.SetAutoOptions(o.AutoOptions() | toAutoDropExpand);
            break;
        case TOldVTOption::voAutoExpand:
            o.SetAutoOptions(o.AutoOptions() | toAutoExpand);
            break;
        case TOldVTOption::voAutoScroll:
            o.SetAutoOptions(o.AutoOptions() | toAutoScroll);
            break;
        case TOldVTOption::voAutoSort:
            o.SetAutoOptions(o.AutoOptions() | toAutoSort);
            break;
        case TOldVTOption::voAutoSpanColumns:
            o.SetAutoOptions(o.AutoOptions() | toAutoSpanColumns);
            break;
        case TOldVTOption::voAutoTristateTracking:
            o.SetAutoOptions(o.AutoOptions() | toAutoTristateTracking);
            break;
        case TOldVTOption::voDisableDrawSelection:
            o.SetSelectionOptions(o.SelectionOptions() | toDisableDrawSelection);
            break;
        case TOldVTOption::voExtendedFocus:
            o.SetSelectionOptions(o.SelectionOptions() | toExtendedFocus);
            break;
        case TOldVTOption::voFullRowSelect:
            o.SetSelectionOptions(o.SelectionOptions() | toFullRowSelect);
            break;
        case TOldVTOption::voLevelSelectConstraint:
            o.SetSelectionOptions(o.SelectionOptions() | toLevelSelectConstraint);
            break;
        case TOldVTOption::voMiddleClickSelect:
            o.SetSelectionOptions(o.SelectionOptions() | toMiddleClickSelect);
            break;
        case TOldVTOption::voMultiSelect:
            o.SetSelectionOptions(o.SelectionOptions() | toMultiSelect);
            break;
        case TOldVTOption::voRightClickSelect:
            o.SetSelectionOptions(o.SelectionOptions() | toRightClickSelect);
            break;
        case TOldVTOption::voSiblingSelectConstraint:
            o.SetSelectionOptions(o.SelectionOptions() | toSiblingSelectConstraint);
            break;
        case TOldVTOption::voAcceptOLEDrop:
            o.SetMiscOptions(o.MiscOptions() | toAcceptOLEDrop);
            break;
        case TOldVTOption::voCheckSupport:
            o.SetMiscOptions(o.MiscOptions() | toCheckSupport);
            break;
        case TOldVTOption::voEditable:
            o.SetMiscOptions(o.MiscOptions() | toEditable);
            break;
        case TOldVTOption::voGridExtensions:
            o.SetMiscOptions(o.MiscOptions() | toGridExtensions);
            break;
        case TOldVTOption::voInitOnSave:
            o.SetMiscOptions(o.MiscOptions() | toInitOnSave);
            break;
        case TOldVTOption::voToggleOnDblClick:
            o.SetMiscOptions(o.MiscOptions() | toToggleOnDblClick);
            break;
        }
    }
}

// ---- Loading and notifications
// ---------------------------------------------------------------------

void TBaseVirtualTree::Loaded() {
    TCustomControl::Loaded();
    // What a stored form asks for must fit in what a real tree holds: a record of at most
    // MaxStoredNodeDataSize bytes, top-level nodes of at most MaxStoredNodesBytes in all.
    const int64_t count =
        FStates.Contains(TVirtualTreeState::tsNeedRootCountUpdate) ? FLoadedRootNodeCount : 0;
    std::string refused;
    if (FNodeDataSize > MaxStoredNodeDataSize)
        refused = "NodeDataSize: " + std::to_string(FNodeDataSize) + " bytes of user data " +
                  "for each node are more than a tree may hold";
    else if (count > 0 && count * int64_t(NodeRecordSize()) > MaxStoredNodesBytes)
        refused = "RootNodeCount: " + std::to_string(count) + " nodes take more memory " +
                  "than a tree may hold";
    if (!refused.empty()) {
        FStates.Exclude(TVirtualTreeState::tsNeedRootCountUpdate);
        FLoadedRootNodeCount = 0;
        if (FHeader && FHeader->Loading()) FHeader->EndLoading();
        throw EReadError("Error reading " + Name() + "." + refused);
    }
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
    // The header and its columns finish loading (positions are put in order).
    if (FHeader && FHeader->Loading()) FHeader->EndLoading();
}

void TBaseVirtualTree::SetBiDiMode(TBiDiMode value) {
    if (value == BiDiMode()) return;
    TCustomControl::SetBiDiMode(value);
    if (HandleAllocated() && !Loading()) RecreateWnd();
}

void TBaseVirtualTree::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation != TOperation::opRemove || !component) return;
    // A freed list is past its own destructor here and has already cut its links (their
    // Sender is nil); a list merely leaving its owner is still alive and is left properly.
    bool dropped = false;
    const std::pair<TCustomImageList**, TChangeLink*> lists[] = {
        {&FImages, &FImageChangeLink},
        {&FStateImages, &FStateChangeLink},
        {&FCustomCheckImages, &FCustomCheckChangeLink}};
    for (auto [field, link] : lists) {
        if (!*field || static_cast<TComponent*>(*field) != component) continue;
        if (link->Sender() == *field) (*field)->UnRegisterChanges(link);
        *field = nullptr;
        dropped = true;
    }
    if (FCheckImages && static_cast<TComponent*>(FCheckImages) == component) FCheckImages = nullptr;
    if (dropped && !Destroying()) RequestRepaint();
    // References a stored form gives the tree and its header go with what they name.
    if (FHeader && static_cast<TComponent*>(FHeader->Images()) == component)
        FHeader->SetImages(nullptr);
    if (FHeader && static_cast<TComponent*>(FHeader->PopupMenu()) == component)
        FHeader->SetPopupMenu(nullptr);
    if (static_cast<TComponent*>(PopupMenu()) == component) SetPopupMenu(nullptr);
}

bool TBaseVirtualTree::CanFocus() {
    if (!TCustomControl::CanFocus()) return false;
    TCustomForm* form = GetParentForm(this);
    return !form || form->CanFocus();
}

// ---- Check states
// ----------------------------------------------------------------------------------

TCheckState TBaseVirtualTree::CheckState(PVirtualNode node) const {
    return node && node != FRoot.get() ? node->CheckState : csUncheckedNormal;
}

TCheckType TBaseVirtualTree::CheckType(PVirtualNode node) const {
    return node && node != FRoot.get() ? node->CheckType : ctNone;
}

void TBaseVirtualTree::SetCheckType(PVirtualNode node, TCheckType value) {
    if (!node || node == FRoot.get() || node->CheckType == value) return;
    node->CheckType = value;
    node->CheckState = csUncheckedNormal;
    // A new check box starts unchecked; tri-state parents follow their children.
    InvalidateNode(node);
}

bool TBaseVirtualTree::SetCheckState(PVirtualNode node, TCheckState value) {
    if (!node || node == FRoot.get()) return false;
    if (node->CheckState == value || node->States.Contains(nsDisabled)) return false;
    if (!DoChecking(node, value)) return false;
    bool applied = DoSetCheckState(node, value);
    if (applied) DoChecked(node);
    return applied;
}

namespace {
inline bool IsCheckBoxType(TCheckType t) {
    return t == ctTriStateCheckBox || t == ctCheckBox;
}
} // namespace

bool TBaseVirtualTree::DoSetCheckState(PVirtualNode node, TCheckState value) {
    TCheckState oldState = node->CheckState;
    TCheckState newState = value;
    node->States.Include(nsChecking);
    const bool tracking = FOptions->AutoOptions().Contains(toAutoTristateTracking);

    if (node->CheckType == ctRadioButton && NormalCheckState(value) == csCheckedNormal) {
        // Radio siblings are unchecked directly, without asking them.
        for (PVirtualNode run = node->Parent->FirstChild; run; run = run->NextSibling)
            if (run != node && run->CheckType == ctRadioButton) run->CheckState = csUncheckedNormal;
        RequestRepaint();
    } else if (node->CheckType == ctTriStateCheckBox && tracking && node->ChildCount > 0) {
        TCheckState target = NormalCheckState(value);
        if (target == csUncheckedNormal || target == csCheckedNormal) {
            Cardinal boxes = 0, reached = 0;
            for (PVirtualNode run = node->FirstChild; run; run = run->NextSibling) {
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
    PVirtualNode parent = node->Parent;
    if (parent != FRoot.get()) {
        if (!parent->States.Contains(nsInitialized)) InitNode(parent);
        if (tracking && IsCheckBoxType(node->CheckType) &&
            parent->CheckType == ctTriStateCheckBox && !parent->States.Contains(nsChecking) &&
            !parent->States.Contains(nsDisabled))
            parentAccepted = CheckParentState(node, newState);
    }
    node->CheckState = parentAccepted ? newState : NormalCheckState(oldState);
    InvalidateNode(node);
    node->States.Exclude(nsChecking);
    return parentAccepted;
}

bool TBaseVirtualTree::CheckParentState(PVirtualNode node, TCheckState newState) {
    PVirtualNode changing = node;
    TCheckState changingState = newState;
    PVirtualNode parent = node->Parent;
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
        if (parent == FRoot.get() || parent->CheckType != ctTriStateCheckBox ||
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

bool TBaseVirtualTree::Selected(PVirtualNode node) const {
    return node && node != FRoot.get() && node->States.Contains(nsSelected);
}

int TBaseVirtualTree::FindNodeInSelection(PVirtualNode node) const {
    uintptr_t key = reinterpret_cast<uintptr_t>(node);
    auto it = std::lower_bound(FSelection.begin(), FSelection.end(), key,
                               [](PVirtualNode n, uintptr_t k) { return Addr(n) < k; });
    if (it == FSelection.end() || Addr(*it) != key || Marked(*it)) return -1;
    return int(it - FSelection.begin());
}

bool TBaseVirtualTree::InternalAddToSelection(const std::vector<PVirtualNode>& newItems,
                                              bool forceInsert) {
    std::vector<PVirtualNode> taken;
    taken.reserve(newItems.size());
    auto selOptions = FOptions->SelectionOptions();
    PVirtualNode firstSelected = nullptr;
    if (!forceInsert && selOptions.Contains(toSiblingSelectConstraint)) {
        for (PVirtualNode n : FSelection)
            if (!Marked(n)) {
                firstSelected = n;
                break;
            }
    }
    for (PVirtualNode node : newItems) {
        if (!node || node == FRoot.get()) continue;
        if (node->States.Contains(nsSelected) || node->States.Contains(nsDisabled)) continue;
        if (!forceInsert) {
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

void TBaseVirtualTree::AddToSelection(PVirtualNode node) {
    // A tree without multiple selection holds one selected node: the others go first,
    // whichever way (click with or without modifiers, key, code) the node comes.
    if (node && node != FRoot.get() && !Has(node, nsSelected) && !Has(node, nsDisabled) &&
        !FOptions->SelectionOptions().Contains(toMultiSelect) && SelectedCount() > 0) {
        PackSelection();
        for (PVirtualNode other : std::vector<PVirtualNode>(FSelection)) {
            InternalRemoveFromSelection(other);
            InvalidateNode(other);
        }
    }
    if (InternalAddToSelection({node}, false)) {
        InvalidateNode(node);
        Change(node);
    }
}

void TBaseVirtualTree::RemoveFromSelection(PVirtualNode node) {
    Assert(node != nullptr, "Node must not be nil!");
    if (!node->States.Contains(nsSelected)) return;
    InternalRemoveFromSelection(node);
    if (SelectedCount() == 0) ResetRangeAnchor();
    InvalidateNode(node);
    Change(node);
}

void TBaseVirtualTree::PackSelection() {
    FSelection.erase(std::remove_if(FSelection.begin(), FSelection.end(), Marked),
                     FSelection.end());
    FSelectionMarked = 0;
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

void TBaseVirtualTree::SetSelected(PVirtualNode node, bool value) {
    SetNodeSelected(node, value);
}

void TBaseVirtualTree::SetNodeSelected(PVirtualNode node, bool value) {
    if (!node || node == FRoot.get() || node->States.Contains(nsSelected) == value) return;
    if (value) {
        if (SelectedCount() == 0)
            FRangeAnchor = node;
        else if (!FOptions->SelectionOptions().Contains(toMultiSelect))
            ClearSelection();
        AddToSelection(node);
        // The selection shows in the focused column: one that is gone or hidden gives way to
        // the main column, or to the first visible one when the main column is hidden too.
        TVirtualTreeColumns* columns = FHeader->Columns();
        auto shown = [columns](TColumnIndex c) {
            return columns->IsValidColumn(c) && columns->Items(c)->Options().Contains(coVisible);
        };
        if (FHeader->UseColumns() && !shown(FFocusedColumn))
            FFocusedColumn = shown(MainColumn()) ? MainColumn() : columns->GetFirstVisibleColumn();
        else if (!FHeader->UseColumns())
            FFocusedColumn = NoColumn;
        if (!FRangeAnchor) FRangeAnchor = node;
    } else {
        RemoveFromSelection(node);
        if (SelectedCount() == 0) DoStateChange({}, {TVirtualTreeState::tsToggleFocusedSelection});
    }
    if (IsNodeFullyVisible(node)) InvalidateNode(node);
}

void TBaseVirtualTree::SelectAll(bool visibleOnly) {
    if (!FOptions->SelectionOptions().Contains(toMultiSelect)) return;
    std::vector<PVirtualNode> nodes;
    PVirtualNode run = visibleOnly ? FirstVisibleNode() : FirstNode();
    while (run) {
        nodes.push_back(run);
        run = visibleOnly ? NextVisibleNode(run) : NextNodeInTree(run);
    }
    if (InternalAddToSelection(nodes, false)) {
        RequestRepaint();
        Change(nullptr);
    }
}

void TBaseVirtualTree::SelectNodes(PVirtualNode startNode, PVirtualNode endNode, bool addOnly) {
    Assert(endNode != nullptr, "EndNode must not be nil!");
    if (!startNode) startNode = FirstVisibleNode();
    if (!startNode) return;
    if (CompareNodePositions(startNode, endNode) > 0) std::swap(startNode, endNode);
    std::vector<PVirtualNode> nodes;
    for (PVirtualNode run = startNode; run; run = NextVisibleNode(run)) {
        nodes.push_back(run);
        if (run == endNode) break;
    }
    if (!addOnly) {
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

void TBaseVirtualTree::HandleClickSelection(PVirtualNode /*lastFocused*/, PVirtualNode newNode,
                                            bool shift, bool ctrl) {
    if (!newNode) return;
    if (shift && ctrl) {
        if (!FRangeAnchor) FRangeAnchor = FirstNodeNoInit();
        SelectNodes(FRangeAnchor, newNode, true);
        RequestRepaint();
        Change(newNode);
    } else if (ctrl) {
        if (!FOptions->SelectionOptions().Contains(toSiblingSelectConstraint))
            FRangeAnchor = newNode;
        DoStateChange({TVirtualTreeState::tsToggleFocusedSelection});
    } else if (shift) {
        if (!FRangeAnchor) FRangeAnchor = FirstNodeNoInit();
        SelectNodes(FRangeAnchor, newNode, false);
        RequestRepaint();
        Change(newNode);
    } else {
        if (!newNode->States.Contains(nsSelected)) {
            AddToSelection(newNode);
            InvalidateNode(newNode);
        }
        FRangeAnchor = newNode;
    }
}

TRect TBaseVirtualTree::NodeContentRect(PVirtualNode node, int nodeTop) {
    // Content starts after the indentation and the margin, then the check image, the state
    // and the normal image; the label is as wide as the node says. Without columns the right
    // limit is the client width.
    const auto paint = FOptions->PaintOptions();
    const int64_t level = int64_t(NodeLevel(node)) + (paint.Contains(toShowRoot) ? 1 : 0);
    int start = IndentWidth(level) + FMargin;
    if (FOptions->MiscOptions().Contains(toCheckSupport) && node->CheckType != ctNone &&
        FCheckImages)
        start += FCheckImages->Width() + 2;
    bool ghosted = false;
    if (GetImageIndex(node, TVTImageKind::ikState, MainColumn(), ghosted) >= 0)
        start += FStateImages->Width() + 2;
    if (GetImageIndex(node, TVTImageKind::ikNormal, MainColumn(), ghosted) >= 0)
        start += FImages->Width() + 2;
    int width = DoGetNodeWidth(node, MainColumn());
    // The main column's cell (the client width without columns), its alignment and reading
    // order; the content is placed within the cell read left to right, then mirrored for
    // right-to-left.
    int cellLeft = 0, cellRight = std::max(ClientWidth(), start + width);
    TAlignment alignment = FAlignment;
    bool rightToLeft = UseRightToLeftAlignment();
    if (FHeader->Columns()->IsValidColumn(MainColumn())) {
        TVirtualTreeColumn* column = FHeader->Columns()->Items(MainColumn());
        cellLeft = column->Left();
        cellRight = cellLeft + column->Width();
        alignment = column->Alignment();
        rightToLeft = column->BiDiMode() == bdRightToLeft;
    }
    const int limit = cellRight - cellLeft;
    if (alignment == taRightJustify)
        start = std::max(start, limit - width);
    else if (alignment == taCenter)
        start = std::max(start, start + (limit - start - width) / 2);
    TRect r(cellLeft + start, nodeTop, cellLeft + start + width, nodeTop + node->NodeHeight);
    if (rightToLeft)
        r = TRect(cellRight - start - width, nodeTop, cellRight - start,
                  nodeTop + node->NodeHeight);
    return r;
}

void TBaseVirtualTree::HandleDrawSelection(const TRect& oldRect, const TRect& newRect,
                                           bool toggle) {
    const TRect oldR = OrderRect(oldRect), newR = OrderRect(newRect);
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
            bool select = toggle ? !run->States.Contains(nsSelected) : inNew;
            if (select && !run->States.Contains(nsSelected)) {
                toAdd.push_back(run);
            } else if (!select && run->States.Contains(nsSelected)) {
                InternalRemoveFromSelection(run);
                removed = true;
            }
            InvalidateNode(run);
        }
        nodeTop += run->NodeHeight;
        run = NextVisibleNodeNoInit(run);
    }
    PackSelection();
    bool added = !toAdd.empty() && InternalAddToSelection(toAdd, false);
    if (added || removed) Change(nullptr);
}

// ---- Focus
// ---------------------------------------------------------------------------------------

void TBaseVirtualTree::SetFocusedNode(PVirtualNode node) {
    PVirtualNode old = FFocusedNode;
    DoFocusNode(node, true);
    if (FFocusedNode != old) DoFocusChange(FFocusedNode, FFocusedColumn);
}

void TBaseVirtualTree::SetFocusedColumn(TColumnIndex value) {
    if (FFocusedColumn == value) return;
    if (!DoFocusChanging(FFocusedNode, FFocusedNode, FFocusedColumn, value)) return;
    DoCancelEdit();
    FFocusedColumn = value;
    auto opts = FOptions->SelectionOptions();
    if (FFocusedNode)
        ScrollIntoView(FFocusedNode, opts.Contains(toCenterScrollIntoView),
                       !FOptions->AutoOptions().Contains(toDisableAutoscrollOnFocus));
    InvalidateNode(FFocusedNode);
    DoFocusChange(FFocusedNode, FFocusedColumn);
}

// ---- Change notification
// ---------------------------------------------------------------------------

void TBaseVirtualTree::Change(PVirtualNode node) {
    if (IsUpdating()) {
        FLastChangedNode = node;
        if (!FStates.Contains(TVirtualTreeState::tsChangePending))
            DoStateChange({TVirtualTreeState::tsChangePending});
        return;
    }
    if (FChangeDelay > 0 && !FStates.Contains(TVirtualTreeState::tsSynchMode)) {
        // The change timer restarts with every change.
        FLastChangedNode = node;
        FChangeTimerRunning = true;
        if (HandleAllocated()) SetTimer(Handle(), ChangeTimer, FChangeDelay);
        if (!FStates.Contains(TVirtualTreeState::tsChangePending))
            DoStateChange({TVirtualTreeState::tsChangePending});
        return;
    }
    DoChange(node);
}

void TBaseVirtualTree::StopTimer(UINT_PTR id) {
    if (id == ChangeTimer) FChangeTimerRunning = false;
    if (id == StructureChangeTimer) FStructureChangeTimerRunning = false;
    if (HandleAllocated()) KillTimer(Handle(), id);
}

void TBaseVirtualTree::SetUpdateState(bool updating) {
    // Painting is suspended while the tree is updating and its window is shown.
    if (HandleAllocated() && Visible()) SendMessage(Handle(), WM_SETREDRAW, updating ? 0 : 1, 0);
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

int TBaseVirtualTree::CompareNodePositions(PVirtualNode node1, PVirtualNode node2) {
    Assert(node1 != nullptr && node2 != nullptr, "Nodes must never be nil.");
    if (node1 == node2) return 0;
    if (HasAsAncestor(node1, node2)) return 1;
    if (HasAsAncestor(node2, node1)) return -1;
    Cardinal level1 = NodeLevel(node1), level2 = NodeLevel(node2);
    while (level1 > level2) {
        node1 = node1->Parent;
        --level1;
    }
    while (level2 > level1) {
        node2 = node2->Parent;
        --level2;
    }
    while (node1->Parent != node2->Parent) {
        node1 = node1->Parent;
        node2 = node2->Parent;
    }
    return int(int64_t(node1->Index) - int64_t(node2->Index));
}

int TBaseVirtualTree::LevelDifference(PVirtualNode node1, PVirtualNode node2) const {
    Assert(node1 != nullptr && node2 != nullptr, "Both nodes must be Assigned.");
    return int(NodeLevel(node2)) - int(NodeLevel(node1));
}

namespace {
bool HasVisibleNextSibling(PVirtualNode node) {
    for (PVirtualNode run = node->NextSibling; run; run = run->NextSibling)
        if (run->States.Contains(nsVisible)) return true;
    return false;
}
bool HasVisiblePreviousSibling(PVirtualNode node) {
    for (PVirtualNode run = node->PrevSibling; run; run = run->PrevSibling)
        if (run->States.Contains(nsVisible)) return true;
    return false;
}
} // namespace

int TBaseVirtualTree::DetermineLineImageAndSelectLevel(PVirtualNode node,
                                                       std::vector<TVTLineType>& lineImage) {
    Assert(node != nullptr && node != FRoot.get(), "Invalid parameter.");
    const auto paint = FOptions->PaintOptions();
    const bool showRoot = paint.Contains(toShowRoot);
    const Cardinal level = NodeLevel(node);
    lineImage.assign(level + (showRoot ? 1 : 0), TVTLineType::ltNone);

    int selectedAncestors = 0;
    for (PVirtualNode run = node->Parent; run != FRoot.get(); run = run->Parent)
        if (run->States.Contains(nsSelected)) ++selectedAncestors;

    if (!paint.Contains(toShowTreeLines)) return selectedAncestors;
    if (level > 0) {
        size_t index = lineImage.size() - 1;
        lineImage[index] =
            HasVisibleNextSibling(node) ? TVTLineType::ltTopDownRight : TVTLineType::ltTopRight;
        PVirtualNode run = node->Parent;
        while (run->Parent != FRoot.get()) {
            --index;
            lineImage[index] =
                HasVisibleNextSibling(run) ? TVTLineType::ltTopDown : TVTLineType::ltNone;
            run = run->Parent;
        }
        if (showRoot)
            lineImage[0] =
                HasVisibleNextSibling(run) ? TVTLineType::ltTopDown : TVTLineType::ltNone;
    } else if (showRoot) {
        bool before = HasVisiblePreviousSibling(node);
        bool after = HasVisibleNextSibling(node);
        if (!before && !after)
            lineImage[0] = TVTLineType::ltRight;
        else if (!before)
            lineImage[0] = TVTLineType::ltBottomRight;
        else if (!after)
            lineImage[0] = TVTLineType::ltTopRight;
        else
            lineImage[0] = TVTLineType::ltTopDownRight;
    }
    return selectedAncestors;
}

int TBaseVirtualTree::NodeLineOffset(PVirtualNode node, int imageHeight) const {
    const int h = int(NodeHeight(node));
    const int a = node ? node->Align : 50;
    switch (FNodeAlignment) {
    case TVTNodeAlignment::naFromBottom:
        return h - a;
    case TVTNodeAlignment::naFromTop:
        return a;
    case TVTNodeAlignment::naProportional:
        break;
    }
    if (imageHeight > 0) return MulDiv(h - imageHeight, a, 100) + imageHeight / 2;
    if (FOptions->PaintOptions().Contains(toShowButtons)) {
        const int buttonHeight = TButtonGlyph::Size;
        return MulDiv(h - buttonHeight, a, 100) + buttonHeight / 2;
    }
    return MulDiv(h, a, 100);
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

void TBaseVirtualTree::PrepareBitmaps(bool needButtons, bool needLines) {
    constexpr int s = TButtonGlyph::Size;
    if (needButtons) {
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
                for (int y = 0; y < s; ++y)
                    for (int x = 0; x < s; ++x) {
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
                            int v = 255 - (y * 48) / (s - 1);
                            fill = 0xFF000000u | uint32_t(v) << 16 | uint32_t(v) << 8 | uint32_t(v);
                            break;
                        }
                        case TVTButtonFillMode::fmTransparent:
                            break;
                        }
                        g->Pixels[size_t(y * s + x)] = fill;
                    }
                if (FButtonFillMode == TVTButtonFillMode::fmShaded) frame = PixelOf(clGray);
                for (int i = 0; i < s; ++i) {
                    g->Pixels[size_t(i)] = frame;
                    g->Pixels[size_t((s - 1) * s + i)] = frame;
                    g->Pixels[size_t(i * s)] = frame;
                    g->Pixels[size_t(i * s + s - 1)] = frame;
                }
                for (int x = 2; x < s - 2; ++x)
                    g->Pixels[size_t((s / 2) * s + x)] = sign;
            }
            for (int y = 2; y < s - 2; ++y)
                FPlusGlyph.Pixels[size_t(y * s + s / 2)] = sign;
        }
    }
    if (needLines) {
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
