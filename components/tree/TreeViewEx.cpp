// The word-wrapping tree: node records, height measuring, striped painting and drag rules.

#include "components/tree/TreeViewEx.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "components/tree/TreeForms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/windows/Window.h"

namespace epc {

namespace {
// Forms holding the tree can be read as soon as the program runs.
[[maybe_unused]] const bool TreeClassesRegistered = (RegisterTreeClasses(), true);
} // namespace

using namespace tree_options;

// ---- Node text --------------------------------------------------------------------------------

TNodeText& TNodeText::operator=(const TNodeText& other) {
    if (other.FBlock) ++other.FBlock->Refs;
    Release();
    FBlock = other.FBlock;
    return *this;
}

void TNodeText::Release() {
    if (FBlock && --FBlock->Refs == 0) ::operator delete(FBlock);
    FBlock = nullptr;
}

void TNodeText::Assign(std::string_view text) {
    auto* block = static_cast<TBlock*>(::operator new(offsetof(TBlock, Chars) + text.size() + 1));
    block->Refs = 1;
    block->Length = text.size();
    if (!text.empty()) std::memcpy(block->Chars, text.data(), text.size());
    block->Chars[text.size()] = '\0';
    Release();
    FBlock = block;
}

// ---- Construction -----------------------------------------------------------------------------

TCustomTreeViewEx::TCustomTreeViewEx(TComponent* owner) : TBaseVirtualTree(owner) {
    Font()->SetName("Arial");
    Font()->SetSize(10);
    MinNodeTextWidth = 80;
    AutoNodeHeight = true;
    SetTreeMode(0);
    NodeDropsOnly = true;
    SetIndent(TreeViewExIndent);
    SetNodeDataSize(TreeViewExNodeDataSize);
    TCustomVirtualTreeOptions* options = TreeOptions();
    options->SetAutoOptions(options->AutoOptions() | toAutoScroll | toDisableAutoscrollOnFocus);
    options->SetMiscOptions(options->MiscOptions() - toAcceptOLEDrop);
    options->SetPaintOptions(options->PaintOptions() - toShowDropmark);
    SetDragType(TVTDragType::dtVCL);
    SetDragMode(dmManual);
}

TCustomTreeViewEx::~TCustomTreeViewEx() {
    // The base class frees the records after this class is gone, so the texts go now.
    if (!FRecordsHoldTexts) return;
    for (PVirtualNode run = FirstNodeNoInit(); run; run = NextNodeNoInit(run))
        NodeRecord(run)->Text.Release();
}

TTreeViewEx::TTreeViewEx(TComponent* owner) : TCustomTreeViewEx(owner) {
    UseOptionsClass();
}

TVirtualTreeOptions* TTreeViewEx::TreeOptions() const {
    return static_cast<TVirtualTreeOptions*>(TCustomTreeViewEx::TreeOptions());
}

std::unique_ptr<TCustomVirtualTreeOptions> TTreeViewEx::GetOptionsClass() {
    return std::make_unique<TVirtualTreeOptions>(this);
}

size_t TCustomTreeViewEx::UserDataCapacity(size_t nodeDataSize) const {
    FRecordsHoldTexts = nodeDataSize >= size_t(TreeViewExNodeDataSize);
    if (!FRecordsHoldTexts) return nodeDataSize;
    return std::max(nodeDataSize, sizeof(TTreeViewExNodeData));
}

TCanvas* TCustomTreeViewEx::MeasureCanvas() {
    TCanvas* canvas = FMeasure.Canvas();
    canvas->Font()->Assign(Font());
    return canvas;
}

// ---- Nodes ------------------------------------------------------------------------------------

PVirtualNode TCustomTreeViewEx::AddTextNode(PVirtualNode parent, TVTNodeAttachMode mode,
                                            const std::string& text, int tag, bool notDraggable,
                                            bool acceptsDrop, int imageIndex, bool expandParent) {
    Assert(NodeDataSize() >= TreeViewExNodeDataSize,
           "NodeDataSize is too small for the node record.");
    PVirtualNode node = InsertNodeAt(parent, mode, nullptr);
    TTreeViewExNodeData* data = NodeRecord(node);
    data->Tag = tag;
    data->Text = text;
    data->NotDraggable = notDraggable ? 1 : 0;
    data->AcceptsDrop = acceptsDrop ? 1 : 0;
    data->ImageIndex = imageIndex;
    if (expandParent && node->Parent != RootNode()) SetNodeExpanded(node->Parent, true);
    return node;
}

void TCustomTreeViewEx::DoFreeNode(PVirtualNode node) {
    // Whatever way the node goes (deleted, cleared, replaced by a load), its text goes too,
    // initialised or not.
    if (FRecordsHoldTexts) NodeRecord(node)->Text.Release();
    TBaseVirtualTree::DoFreeNode(node);
}

void TCustomTreeViewEx::SetTreeMode(uint8_t value) {
    if (FTreeMode == value) return;
    FTreeMode = value;
    TCustomVirtualTreeOptions* options = TreeOptions();
    options->SetPaintOptions(options->PaintOptions());
    Invalidate();
}

// ---- Heights ----------------------------------------------------------------------------------

TRect TCustomTreeViewEx::NodeTextRect(PVirtualNode node) {
    // Only the horizontal extent matters for wrapping; it is worked out from the indentation
    // directly, so measuring never walks the rows above the node.
    int indent = IndentWidth(int64_t(NodeLevel(node)) +
                             (TreeOptions()->PaintOptions().Contains(toShowRoot) ? 1 : 0));
    indent += Margin();
    bool ghosted = false;
    if (TreeOptions()->MiscOptions().Contains(toCheckSupport) && node->CheckType != ctNone &&
        CheckImages())
        indent += CheckImages()->Width() + 2;
    if (GetImageIndex(node, TVTImageKind::ikState, NoColumn, ghosted) >= 0)
        indent += StateImages()->Width() + 2;
    if (GetImageIndex(node, TVTImageKind::ikNormal, NoColumn, ghosted) >= 0)
        indent += Images()->Width() + 2;
    TRect r(OffsetX() + indent, 0, 0, 0);
    r.Right = ClientWidth() + OffsetX() - Margin() - 1;
    const int width = std::max(r.Right - r.Left, MinNodeTextWidth);
    r.Right = r.Left + width;
    ++r.Left;
    --r.Right;
    return r;
}

void TCustomTreeViewEx::MeasureNodeHeight(PVirtualNode node, TRect r) {
    TCanvas* canvas = MeasureCanvas();
    MeasureOn(canvas, canvas->TextHeight(std::string("abcdmABCDM")), node, r);
}

void TCustomTreeViewEx::MeasureOn(TCanvas* canvas, int sample, PVirtualNode node, TRect r) {
    const TTreeViewExNodeData* data = NodeRecord(node);
    const char* text = data ? data->Text.CStr() : "";
    // The same flags as painting: an "&" is a plain character in both.
    RECT rect = r;
    DrawTextExA(canvas->Handle(), text, -1, &rect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX,
                nullptr);
    const int height = std::max(rect.Bottom - rect.Top + 4, sample);
    SetNodeHeight(node, Cardinal(height));
}

void TCustomTreeViewEx::UpdateNodeHeights() {
    if (!AutoNodeHeight || NodeDataSize() < TreeViewExNodeDataSize) return;
    FHeightsPending = false;
    LockUpdates();
    auto unlock = Finally([&] { UnlockUpdates(); });
    TCanvas* canvas = MeasureCanvas();
    const int sample = canvas->TextHeight(std::string("abcdmABCDM"));
    for (PVirtualNode run = FirstNode(); run; run = NextNodeInTree(run))
        MeasureOn(canvas, sample, run, NodeTextRect(run));
}

void TCustomTreeViewEx::HeightsChanged() {
    if (!AutoNodeHeight) return;
    // Expanding a whole tree toggles every parent inside one lock: one pass at its end does.
    if (IsUpdating())
        FHeightsPending = true;
    else
        UpdateNodeHeights();
}

void TCustomTreeViewEx::DoUpdating(TVTUpdateState state) {
    TBaseVirtualTree::DoUpdating(state);
    if (state != TVTUpdateState::usEnd || !FHeightsPending) return;
    FHeightsPending = false;
    UpdateNodeHeights();
}

void TCustomTreeViewEx::DoExpanded(PVirtualNode node) {
    TBaseVirtualTree::DoExpanded(node);
    HeightsChanged();
}

void TCustomTreeViewEx::DoCollapsed(PVirtualNode node) {
    TBaseVirtualTree::DoCollapsed(node);
    HeightsChanged();
}

void TCustomTreeViewEx::Resize() {
    TBaseVirtualTree::Resize();
    HeightsChanged();
}

int TCustomTreeViewEx::NodeWidthOn(TCanvas* canvas, PVirtualNode node, TColumnIndex column) {
    if (!canvas)
        canvas = MeasureCanvas();
    else
        canvas->Font()->Assign(Font());
    RECT r = NodeTextRect(node);
    const TTreeViewExNodeData* data = NodeRecord(node);
    DrawTextExA(canvas->Handle(), data ? data->Text.CStr() : "", -1, &r,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX, nullptr);
    int width = r.Right - r.Left + 2;
    if (OnGetNodeWidth) OnGetNodeWidth(this, canvas, node, column, width);
    return width;
}

int TCustomTreeViewEx::DoGetNodeWidth(PVirtualNode node, TColumnIndex column) {
    if (NodeDataSize() < TreeViewExNodeDataSize) return 0;
    return NodeWidthOn(nullptr, node, column);
}

int TCustomTreeViewEx::DoCompare(PVirtualNode node1, PVirtualNode node2, TColumnIndex column) {
    // Sorting reorders rows without a structure change the stripes could see.
    FStripeNode = nullptr;
    return TBaseVirtualTree::DoCompare(node1, node2, column);
}

// ---- Painting ---------------------------------------------------------------------------------

uint8_t TCustomTreeViewEx::StripeOf(PVirtualNode node) {
    const uint64_t version = StructureVersion();
    Cardinal index = 0;
    if (FStripeNode && FStripeVersion == version && FStripeNode == node) {
        index = FStripeIndex;
    } else if (FStripeNode && FStripeVersion == version &&
               PreviousVisibleNodeNoInit(node) == FStripeNode) {
        index = FStripeIndex + 1;
    } else {
        // The first row of a paint (or one after a change): count from the top.
        PVirtualNode run = FirstVisibleNodeNoInit();
        while (run && run != node) {
            run = NextVisibleNodeNoInit(run);
            ++index;
        }
    }
    FStripeNode = node;
    FStripeIndex = index;
    FStripeVersion = version;
    return uint8_t(index & 1);
}

void TCustomTreeViewEx::DoPaintNode(TVTPaintInfo& paintInfo) {
    PVirtualNode node = paintInfo.Node;
    TTreeViewExNodeData* data = NodeRecord(node);
    if (!data || NodeDataSize() < TreeViewExNodeDataSize) return;
    TCanvas* canvas = paintInfo.Canvas;
    canvas->Font()->Assign(Font());
    const int height = paintInfo.CellRect.Height();
    // The text rectangle within the row (row coordinates, so no scroll offset).
    TRect r(paintInfo.ContentRect.Left, 0, 0, height);
    r.Right = std::min(r.Left + paintInfo.NodeWidth, std::max(paintInfo.CellRect.Right, r.Left));
    if (paintInfo.NodeWidth >= paintInfo.CellRect.Right - r.Left)
        r.Right = paintInfo.CellRect.Right;
    // The text belongs to the node, not to a column: with columns it lies where it lies
    // without them, wrapped as it was measured, and each cell shows its own part of it.
    HDC dc = canvas->Handle();
    // The clip the painter set, given back afterwards (none when it set none).
    HRGN oldClip = nullptr;
    bool clipped = false;
    if (paintInfo.Column > NoColumn) {
        const int full = std::max(ClientWidth(), RangeX());
        r.Left = NodeContentLeft(node, NoColumn);
        const int width = DoGetNodeWidth(node, NoColumn);
        r.Right = width >= full - r.Left ? full : r.Left + width;
        oldClip = CreateRectRgn(0, 0, 0, 0);
        if (GetClipRgn(dc, oldClip) != 1) {
            DeleteObject(oldClip);
            oldClip = nullptr;
        }
        clipped = true;
        IntersectClipRect(dc, paintInfo.CellRect.Left, paintInfo.CellRect.Top,
                          paintInfo.CellRect.Right, paintInfo.CellRect.Bottom);
    }

    data->Stripe = StripeOf(node);

    const TRect f0 = r;
    TRect f1 = r;
    if (TreeOptions()->SelectionOptions().Contains(toFullRowSelect)) {
        f1.Left = paintInfo.CellRect.Left;
        f1.Right = paintInfo.CellRect.Right;
    }
    auto fill = [&](const TRect& area, TColor color) {
        canvas->Brush()->SetColor(color);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->FillRect(area);
    };
    const bool stripe = data->Stripe == 1;
    // A picture drawn without selection colours (an answer rendered for a report) shows the
    // focused node and the drop target as any other row: white text there would be lost.
    // (An unfocused tree hiding its selection loses the selection colours too; its rows keep
    // their own marks below.)
    const bool marks = (paintInfo.PaintOptions & poSelection) != 0 ||
                       (!Focused() && TreeOptions()->PaintOptions().Contains(toHideSelection));
    const bool isFocused = marks && node == FocusedNode();
    const bool isDrop = marks && node == DropTargetNode();
    // The base tree highlights selected nodes and a drop target dropped onto; a text turned
    // white over a node it leaves plain gets the highlight here, so that it stays readable.
    const bool highlighted = Selected(node) || (isDrop && DropMode() == TVTDropMode::dmOnNode);
    auto readable = [&](TColor color) {
        // Inside the focus rectangle's edges, which the base tree has drawn around the text.
        if (!highlighted && (paintInfo.PaintOptions & poSelection))
            fill(TRect(f0.Left + 1, f0.Top + 1, f0.Right, f0.Bottom - 1), color);
    };
    if (!isFocused && !isDrop) {
        if (stripe) fill(f1, StripeColor);
        canvas->Font()->SetColor(clWindowText);
    } else if (Focused()) {
        if (isFocused || FTreeMode == 0) {
            readable(Colors()->FocusedSelectionColor());
            canvas->Brush()->SetColor(Colors()->FocusedSelectionColor());
            canvas->Font()->SetColor(clHighlightText);
        } else {
            fill(f1, stripe ? StripeColor : clWindow);
        }
    } else if (!TreeOptions()->PaintOptions().Contains(toHideSelection)) {
        if (!isDrop) {
            readable(Colors()->UnfocusedSelectionColor());
            canvas->Font()->SetColor(clHighlightText);
        } else if (FTreeMode != 0 && !isFocused) {
            fill(f0, stripe ? StripeColor : Color());
        } else if (FTreeMode != 0) {
            fill(f0, Colors()->UnfocusedSelectionColor());
        } else {
            readable(Colors()->UnfocusedSelectionColor());
            canvas->Font()->SetColor(clHighlightText);
        }
    } else {
        if (!isDrop || FTreeMode != 0) {
            if (stripe) fill(f0, StripeColor);
        } else {
            fill(f0, clHighlight);
            canvas->Font()->SetColor(clHighlightText);
        }
    }

    RECT text(r.Left + 1, 1, r.Right - 1, height - 1);
    SetBkMode(canvas->Handle(), TRANSPARENT);
    canvas->Brush()->SetStyle(bsClear);
    DrawTextA(canvas->Handle(), data->Text.CStr(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    canvas->Brush()->SetStyle(bsSolid);
    if (clipped) {
        SelectClipRgn(dc, oldClip);
        if (oldClip) DeleteObject(oldClip);
    }
    if (OnDrawNode) OnDrawNode(this, paintInfo);
}

// ---- Dragging ---------------------------------------------------------------------------------

bool TCustomTreeViewEx::DoDragAllowed(PVirtualNode node, TColumnIndex column) {
    // The handler still hears about it, but the record decides.
    TBaseVirtualTree::DoDragAllowed(node, column);
    const TTreeViewExNodeData* data = NodeRecord(node);
    return data && data->NotDraggable == 0;
}

bool TCustomTreeViewEx::DoDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt,
                                   TVTDropMode mode, uint32_t& effect) {
    PVirtualNode node = NodeAtPoint(pt.X, pt.Y);
    bool accept;
    if (node) {
        const TTreeViewExNodeData* data = NodeRecord(node);
        accept = FTreeMode == 1 || (data && data->AcceptsDrop != 0);
    } else {
        accept = FTreeMode == 1 || !NodeDropsOnly;
    }
    if (OnDragOver) OnDragOver(this, source, shift, state, pt, mode, effect, accept);
    return accept;
}

// ---- Frame ------------------------------------------------------------------------------------

void TCustomTreeViewEx::CreateParams(TCreateParams& params) {
    TBaseVirtualTree::CreateParams(params);
    if (BorderStyle() != bsSingle) return;
    if (Ctl3D())
        params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        params.Style |= WS_BORDER;
}

void TCustomTreeViewEx::WndProc(TMessage& message) {
    TBaseVirtualTree::WndProc(message);
    if (message.Msg != WM_NCPAINT || BorderStyle() != bsSingle || Ctl3D() || !HandleAllocated())
        return;
    // A flat one-pixel frame instead of the sunken edge.
    HDC dc = GetWindowDC(Handle());
    if (!dc) return;
    // The window rectangle in client coordinates, moved by the client edge's (1, 1), is the
    // window context's own rectangle.
    TRect window;
    GetWindowRect(Handle(), &window);
    const TRect frame(0, 0, window.Width(), window.Height());
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(clBtnShadow));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Rectangle(dc, frame.Left, frame.Top, frame.Right, frame.Bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    ReleaseDC(Handle(), dc);
}

} // namespace epc
