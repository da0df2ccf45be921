// The header and its columns: column properties with their clamps, display order and left
// edges, auto-sizing, classic button painting and the header's stored form.

#include "components/tree/VTHeader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/TreeUnit.h"
#include "components/tree/VTHintWindow.h"
#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/streaming/Filer.h"
#include "platform/windows/Window.h"

namespace epc {

namespace {

constexpr int MaxColumnWidth = 10000;

bool AllEightBit(const std::u16string& s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c <= 255; });
}

// ---- Stored-form reading: every count and length is checked against what the stream still
// holds before anything is allocated by it.

class TBoundedReader {
public:
    explicit TBoundedReader(TStream& stream) : FStream(stream) {}
    int64_t Remaining() { return FStream.Size() - FStream.Position(); }
    int32_t Int() {
        int32_t v = 0;
        Need(4);
        FStream.ReadBuffer(&v, 4);
        return v;
    }
    // A length-prefixed string of units of UnitSize bytes.
    template <typename CharT> std::basic_string<CharT> Text() {
        int32_t length = Int();
        if (length < 0 || int64_t(length) * int64_t(sizeof(CharT)) > Remaining())
            throw EReadError(SReadError);
        std::basic_string<CharT> s(size_t(length), CharT(0));
        if (length > 0) FStream.ReadBuffer(s.data(), int64_t(length) * int64_t(sizeof(CharT)));
        return s;
    }
    void Need(int64_t count) {
        if (count > Remaining()) throw EReadError(SReadError);
    }

private:
    TStream& FStream;
};

void WriteInt(TStream& stream, int32_t v) {
    stream.WriteBuffer(&v, 4);
}
void WriteWide(TStream& stream, const std::u16string& s) {
    WriteInt(stream, int32_t(s.size()));
    if (!s.empty()) stream.WriteBuffer(s.data(), int64_t(s.size() * 2));
}

// Version 1 and older stored the options without coParentColor's neighbour at bit 4: insert a
// zero bit there.
uint32_t ConvertOldColumnOptions(uint32_t bits) {
    return (bits & 0x0F) | ((bits & ~0x0Fu) << 1);
}

// Smallest size of one stored column record (two empty strings and the integer fields) plus
// its position entry.
int64_t MinColumnBytes(int version) {
    int fields = 11 + (version >= 1 ? 2 : 0) + (version >= 2 ? 1 : 0);
    return 4 + 4 + int64_t(fields) * 4 + 4;
}

} // namespace

// ---- TVirtualTreeColumn -------------------------------------------------------------------

TVirtualTreeColumn::TVirtualTreeColumn(TCollection* collection) : TCollectionItem(collection) {
    if (auto* owner = Owner()) {
        FPosition = Cardinal(std::max(0, owner->Count() - 1));
        if (!owner->FHeader->Loading()) owner->UpdatePositions(true);
    }
}

TVirtualTreeColumn::~TVirtualTreeColumn() {
    // The header's indices of the columns after this one move down with them.
    if (auto* owner = Owner(); owner && !owner->FDestroying) owner->ItemRemoved(Index());
}

TVirtualTreeColumns* TVirtualTreeColumn::Owner() const {
    return static_cast<TVirtualTreeColumns*>(Collection());
}

void TVirtualTreeColumn::ChangedAndRepaint(bool repaintTree) {
    Changed(false);
    if (repaintTree && Owner()) Owner()->FHeader->Treeview()->HeaderChanged(false);
}

void TVirtualTreeColumn::DefineProperties(TFiler* filer) {
    TCollectionItem::DefineProperties(filer);
    // Read only: the texts are written by the header's own stream.
    filer->DefineProperty(
        "WideText", [this](TReader& r) { SetText(r.ReadWideString()); }, nullptr, false);
    filer->DefineProperty(
        "WideHint", [this](TReader& r) { SetHint(r.ReadWideString()); }, nullptr, false);
}

void TVirtualTreeColumn::SetText(const std::u16string& value) {
    if (FText == value) return;
    FText = value;
    Changed(false);
    if (Owner()) Owner()->FHeader->Invalidate(Index());
}

void TVirtualTreeColumn::SetWidth(int value) {
    value = std::clamp(value, FMinWidth, FMaxWidth);
    if (FWidth == value) return;
    FLastWidth = FWidth;
    FWidth = value;
    TVirtualTreeColumns* owner = Owner();
    if (!owner) return;
    TVTHeader* header = owner->FHeader;
    const bool autoSizing =
        header->Options().Contains(hoAutoResize) && Index() == header->AutoSizeIndex();
    if (!autoSizing) owner->UpdatePositions();
    if (!header->Loading() && owner->UpdateCount() == 0) {
        header->AdjustAutoSize(Index());
        header->ColumnResized(Index());
    }
    Changed(false);
}

void TVirtualTreeColumn::SetMinWidth(int value) {
    value = std::clamp(value, 0, FMaxWidth);
    if (FMinWidth == value) return;
    FMinWidth = value;
    SetWidth(FWidth);
    Changed(false);
}

void TVirtualTreeColumn::SetMaxWidth(int value) {
    value = std::clamp(value, FMinWidth, MaxColumnWidth);
    if (FMaxWidth == value) return;
    FMaxWidth = value;
    SetWidth(FWidth);
    Changed(false);
}

void TVirtualTreeColumn::SetPosition(Cardinal value) {
    TVirtualTreeColumns* owner = Owner();
    if (!owner || owner->FHeader->Loading()) {
        FPosition = value;
        return;
    }
    value = std::min<Cardinal>(value, Cardinal(std::max(0, owner->Count() - 1)));
    if (FPosition == value) return;
    owner->AdjustPosition(this, value);
    owner->FHeader->Treeview()->DoEndEdit();
    owner->FHeader->Invalidate();
    owner->FHeader->Treeview()->HeaderChanged(false);
    Changed(false);
}

void TVirtualTreeColumn::SetStyle(TVirtualTreeColumnStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    Changed(false);
}

void TVirtualTreeColumn::SetImageIndex(int value) {
    if (FImageIndex == value) return;
    FImageIndex = value;
    Changed(false);
}

void TVirtualTreeColumn::SetBiDiMode(TBiDiMode value) {
    if (FBiDiMode == value) return;
    FBiDiMode = value;
    FOptions.Exclude(coParentBidiMode);
    ChangedAndRepaint(true);
}

void TVirtualTreeColumn::ParentBiDiModeChanged() {
    TVirtualTreeColumns* owner = Owner();
    if (!owner || !FOptions.Contains(coParentBidiMode)) return;
    const TBiDiMode mode = owner->FHeader->Treeview()->BiDiMode();
    if (FBiDiMode == mode) return;
    FBiDiMode = mode;
    ChangedAndRepaint(true);
}

void TVirtualTreeColumn::SetLayout(TVTHeaderColumnLayout value) {
    if (FLayout == value) return;
    FLayout = value;
    Changed(false);
}

void TVirtualTreeColumn::SetMargin(int value) {
    if (FMargin == value) return;
    FMargin = value;
    Changed(false);
}

void TVirtualTreeColumn::SetSpacing(int value) {
    if (FSpacing == value) return;
    FSpacing = value;
    Changed(false);
}

void TVirtualTreeColumn::SetAlignment(TAlignment value) {
    if (FAlignment == value) return;
    FAlignment = value;
    ChangedAndRepaint(true);
}

void TVirtualTreeColumn::SetColor(TColor value) {
    if (FColor == value) return;
    FColor = value;
    FOptions.Exclude(coParentColor);
    ChangedAndRepaint(true);
}

void TVirtualTreeColumn::SetOptions(TVTColumnOptions value) {
    if (FOptions == value) return;
    const TVTColumnOptions old = FOptions;
    FOptions = value;
    TVirtualTreeColumns* owner = Owner();
    TBaseVirtualTree* tree = owner ? owner->FHeader->Treeview() : nullptr;
    if (tree) {
        if (value.Contains(coParentBidiMode) && !old.Contains(coParentBidiMode))
            FBiDiMode = tree->BiDiMode();
        if (value.Contains(coParentColor) && !old.Contains(coParentColor)) FColor = tree->Color();
    }
    if (owner && (old.Contains(coVisible) != value.Contains(coVisible) ||
                  old.Contains(coParentColor) != value.Contains(coParentColor))) {
        owner->UpdatePositions();
        tree->HeaderChanged(true);
    }
    Changed(false);
}

std::string TVirtualTreeColumn::DisplayName() const {
    if (!FText.empty() && AllEightBit(FText)) {
        std::string s;
        for (char16_t c : FText)
            s += char(uint8_t(c));
        return s;
    }
    return FormatMessage("Column %d", Index());
}

void TVirtualTreeColumn::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TVirtualTreeColumn*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    FText = other->FText;
    FHint = other->FHint;
    FMinWidth = other->FMinWidth;
    FMaxWidth = other->FMaxWidth;
    FLastWidth = FWidth;
    FWidth = std::clamp(other->FWidth, FMinWidth, FMaxWidth);
    FPosition = other->FPosition;
    FStyle = other->FStyle;
    FImageIndex = other->FImageIndex;
    FBiDiMode = other->FBiDiMode;
    FLayout = other->FLayout;
    FMargin = other->FMargin;
    FSpacing = other->FSpacing;
    FTag = other->FTag;
    FAlignment = other->FAlignment;
    FColor = other->FColor;
    // Options last, so that the parent flags they carry win over the values set above.
    FOptions = other->FOptions;
    Changed(false);
}

bool TVirtualTreeColumn::Equals(const TVirtualTreeColumn& o) const {
    return FText == o.FText && FHint == o.FHint && FWidth == o.FWidth && FMinWidth == o.FMinWidth &&
           FMaxWidth == o.FMaxWidth && FPosition == o.FPosition && FStyle == o.FStyle &&
           FImageIndex == o.FImageIndex && FBiDiMode == o.FBiDiMode && FLayout == o.FLayout &&
           FMargin == o.FMargin && FSpacing == o.FSpacing && FOptions == o.FOptions &&
           FTag == o.FTag && FAlignment == o.FAlignment && FColor == o.FColor;
}

void TVirtualTreeColumn::SaveToStream(TStream& stream) const {
    WriteWide(stream, FText);
    WriteWide(stream, FHint);
    for (int32_t v : {int32_t(FWidth), int32_t(FMinWidth), int32_t(FMaxWidth), int32_t(FStyle),
                      int32_t(FImageIndex), int32_t(FLayout), int32_t(FMargin), int32_t(FSpacing),
                      int32_t(FBiDiMode), int32_t(FOptions.Bits()), int32_t(FTag),
                      int32_t(FAlignment), int32_t(FColor)})
        WriteInt(stream, v);
}

// ---- TVirtualTreeColumns ------------------------------------------------------------------

TVirtualTreeColumns::TVirtualTreeColumns(TVTHeader* header)
    : TCollection(
          "TVirtualTreeColumn",
          [header](TCollection* c) -> TCollectionItem* {
              TVirtualTreeColumnClass make = header->Treeview()->GetColumnClass();
              return make ? make(static_cast<TVirtualTreeColumns*>(c)) : new TVirtualTreeColumn(c);
          },
          header),
      FHeader(header) {}

TVirtualTreeColumns::~TVirtualTreeColumns() {
    // The columns go while this collection is still whole, and nothing is told about them.
    FDestroying = true;
    Clear();
}

void TVirtualTreeColumns::Update(TCollectionItem* item) {
    if (!FDestroying && Count() != FLastCount) {
        // A column came or went: indices that pointed past the end are dropped.
        if (Count() < FLastCount) ItemRemoved(NoColumn);
        FLastCount = Count();
        if (FHeader->Loading())
            NeedPositionsFix = true;
        else
            UpdatePositions(true);
        FHeader->Treeview()->HeaderChanged(true);
    }
    TCollection::Update(item);
}

void TVirtualTreeColumns::ItemRemoved(TColumnIndex removed) {
    // Called once with the index of a column about to go (indices after it shift down), and
    // after removals with NoColumn (indices past the end are dropped).
    auto fix = [this, removed](TColumnIndex& index) {
        if (removed >= 0 && index == removed)
            index = NoColumn;
        else if (removed >= 0 && index > removed)
            --index;
        else if (removed < 0 && index >= Count())
            index = NoColumn;
    };
    fix(HoverIndex);
    fix(DownIndex);
    fix(DropTarget);
    fix(ClickIndex);
    fix(FHeader->FAutoSizeIndex);
    TColumnIndex sort = FHeader->SortColumn();
    fix(sort);
    if (sort != FHeader->SortColumn()) FHeader->SetSortColumn(sort);
    TColumnIndex& main = FHeader->FMainColumn;
    if (removed >= 0) {
        // The main column itself going: the first of the remaining columns carries the tree.
        const int remaining = Count() - 1;
        if (main == removed)
            main = remaining > 0 ? 0 : NoColumn;
        else if (main > removed)
            --main;
    } else if (main >= Count()) {
        main = Count() > 0 ? 0 : NoColumn;
    }
}

void TVirtualTreeColumns::UpdatePositions(bool force) {
    if (FHeader->Loading() && !force) {
        NeedPositionsFix = true;
        return;
    }
    const int n = Count();
    if (force || int(FPositionToIndex.size()) != n) {
        // Rebuild the position array from the columns' stored positions (ties by index).
        std::vector<TColumnIndex> order(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            order[size_t(i)] = i;
        std::stable_sort(order.begin(), order.end(), [this](TColumnIndex a, TColumnIndex b) {
            return Items(a)->FPosition < Items(b)->FPosition;
        });
        FPositionToIndex = std::move(order);
    }
    int left = 0;
    for (size_t p = 0; p < FPositionToIndex.size(); ++p) {
        TVirtualTreeColumn* column = Items(FPositionToIndex[p]);
        column->FPosition = Cardinal(p);
        column->FLeft = left;
        if (column->FOptions.Contains(coVisible)) left += column->FWidth;
    }
}

void TVirtualTreeColumns::AdjustPosition(TVirtualTreeColumn* column, Cardinal position) {
    const TColumnIndex index = column->Index();
    auto it = std::find(FPositionToIndex.begin(), FPositionToIndex.end(), index);
    if (it != FPositionToIndex.end()) FPositionToIndex.erase(it);
    position = std::min<Cardinal>(position, Cardinal(FPositionToIndex.size()));
    FPositionToIndex.insert(FPositionToIndex.begin() + position, index);
    UpdatePositions();
}

TColumnIndex TVirtualTreeColumns::ColumnFromPosition(int x, int* left, int* right) const {
    for (TColumnIndex index : FPositionToIndex) {
        TVirtualTreeColumn* c = Items(index);
        if (!c->FOptions.Contains(coVisible)) continue;
        if (x >= c->FLeft && x < c->FLeft + c->FWidth) {
            if (left) *left = c->FLeft;
            if (right) *right = c->FLeft + c->FWidth;
            return index;
        }
    }
    return NoColumn;
}

TColumnIndex TVirtualTreeColumns::GetFirstVisibleColumn() const {
    for (TColumnIndex index : FPositionToIndex)
        if (Items(index)->FOptions.Contains(coVisible)) return index;
    return InvalidColumn;
}

TColumnIndex TVirtualTreeColumns::GetLastVisibleColumn() const {
    for (auto it = FPositionToIndex.rbegin(); it != FPositionToIndex.rend(); ++it)
        if (Items(*it)->FOptions.Contains(coVisible)) return *it;
    return InvalidColumn;
}

TColumnIndex TVirtualTreeColumns::GetNextVisibleColumn(TColumnIndex column) const {
    if (!IsValidColumn(column)) return InvalidColumn;
    for (size_t p = Items(column)->FPosition + 1; p < FPositionToIndex.size(); ++p)
        if (Items(FPositionToIndex[p])->FOptions.Contains(coVisible)) return FPositionToIndex[p];
    return InvalidColumn;
}

TColumnIndex TVirtualTreeColumns::GetPreviousVisibleColumn(TColumnIndex column) const {
    if (!IsValidColumn(column)) return InvalidColumn;
    for (int p = int(Items(column)->FPosition) - 1; p >= 0; --p)
        if (Items(FPositionToIndex[size_t(p)])->FOptions.Contains(coVisible))
            return FPositionToIndex[size_t(p)];
    return InvalidColumn;
}

int TVirtualTreeColumns::GetVisibleColumnCount() const {
    return int(GetVisibleColumns().size());
}

std::vector<TColumnIndex> TVirtualTreeColumns::GetVisibleColumns() const {
    std::vector<TColumnIndex> result;
    for (TColumnIndex index : FPositionToIndex)
        if (Items(index)->FOptions.Contains(coVisible)) result.push_back(index);
    return result;
}

int TVirtualTreeColumns::TotalWidth() const {
    int total = 0;
    for (TColumnIndex index : FPositionToIndex)
        if (Items(index)->FOptions.Contains(coVisible)) total += Items(index)->FWidth;
    return total;
}

void TVirtualTreeColumns::GetColumnBounds(TColumnIndex column, int& left, int& right) const {
    if (!IsValidColumn(column)) {
        left = right = 0;
        return;
    }
    left = Items(column)->FLeft;
    right = left + Items(column)->FWidth;
}

void TVirtualTreeColumns::AnimatedResize(TColumnIndex column, int newWidth) {
    if (!IsValidColumn(column)) return;
    TVirtualTreeColumn* c = Items(column);
    newWidth = std::clamp(newWidth, c->FMinWidth, c->FMaxWidth);
    const int oldWidth = c->FWidth;
    TBaseVirtualTree* tree = FHeader->Treeview();
    const int step = (newWidth - oldWidth) / 32;
    if (tree->HandleAllocated() && tree->Showing() && step != 0) {
        HWND window = tree->Handle();
        const int clientWidth = tree->ClientWidth(), clientHeight = tree->ClientHeight();
        // The header lies above the client area in the window's own coordinates.
        const bool headerShown = FHeader->Options().Contains(hoVisible);
        HDC windowDC = headerShown ? GetWindowDC(window) : nullptr;
        TRect bounds;
        GetWindowRect(window, &bounds);
        const TPoint origin = tree->ClientToScreen(TPoint(0, 0));
        const TPoint headerOrigin(origin.X - bounds.Left,
                                  origin.Y - bounds.Top - FHeader->Height());
        TBitmap strip(std::max(1, clientWidth), std::max(1, FHeader->Height()), pf32bit);
        HDC clientDC = GetDC(window);
        HBRUSH brush = CreateSolidBrush(ColorToRGB(tree->Color()));
        int edge = c->FLeft + oldWidth + tree->OffsetX();
        for (int i = 0; i < 32; ++i) {
            // Everything right of the moving edge follows it; widening uncovers a strip.
            const int from = std::max(0, std::min(edge, edge + step));
            if (from < clientWidth) {
                const RECT area{from, 0, clientWidth, clientHeight};
                ScrollWindow(window, step, 0, &area, &area);
                const int to = edge + step;
                if (windowDC && to >= 0) {
                    const int h = FHeader->Height();
                    HDC stripDC = strip.Canvas()->Handle();
                    BitBlt(stripDC, 0, 0, clientWidth - from, h, windowDC, headerOrigin.X + from,
                           headerOrigin.Y, SRCCOPY);
                    BitBlt(windowDC, headerOrigin.X + to, headerOrigin.Y,
                           clientWidth - std::max(edge, to), h, stripDC, edge - from, 0, SRCCOPY);
                }
                if (step > 0 && clientDC) {
                    const RECT uncovered{edge, 0, std::min(clientWidth, edge + step), clientHeight};
                    FillRect(clientDC, &uncovered, brush);
                }
            }
            edge += step;
            // The platform's clock: tests follow the animation without waiting.
            Sleep(1);
        }
        DeleteObject(brush);
        if (clientDC) ReleaseDC(window, clientDC);
        if (windowDC) ReleaseDC(window, windowDC);
    }
    c->SetWidth(newWidth);
}

void TVirtualTreeColumns::PaintHeader(TCanvas* canvas, const TRect& r, int horizontalOffset) {
    HDC dc = canvas->Handle();
    TBaseVirtualTree* tree = FHeader->Treeview();
    const int height = FHeader->Height();
    int right = r.Left;
    canvas->Font()->Assign(FHeader->Font());
    for (TColumnIndex index : FPositionToIndex) {
        TVirtualTreeColumn* c = Items(index);
        if (!c->FOptions.Contains(coVisible)) continue;
        TRect cell(r.Left + c->FLeft + horizontalOffset, r.Top, 0, r.Top + height);
        cell.Right = cell.Left + c->FWidth;
        right = std::max(right, cell.Right);
        if (cell.Right <= r.Left || cell.Left >= r.Right) continue;
        const bool hot = FHeader->Options().Contains(hoHotTrack) && HoverIndex == index;
        const bool pressed = DownIndex == index;
        if (tree->DoHeaderDraw(canvas, c, cell, hot, pressed, DropTarget == index)) continue;
        canvas->Brush()->SetColor(FHeader->Background());
        canvas->FillRect(cell);
        RECT edge = cell;
        switch (FHeader->Style()) {
        case TVTHeaderStyle::hsThickButtons:
            DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT);
            break;
        case TVTHeaderStyle::hsFlatButtons:
            DrawEdge(dc, &edge, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
            break;
        default:
            DrawEdge(dc, &edge, pressed ? BDR_SUNKENINNER : (hot ? BDR_RAISEDINNER : EDGE_ETCHED),
                     BF_RECT);
            break;
        }
        TRect content(cell.Left + c->FMargin, cell.Top + 2, cell.Right - c->FMargin,
                      cell.Bottom - 2);
        if (pressed) OffsetRect(content, 1, 1);
        // Image first, at the side the layout says; the caption takes what is left.
        TCustomImageList* images = FHeader->Images();
        if (images && FHeader->Options().Contains(hoShowImages) && c->FImageIndex >= 0 &&
            c->FImageIndex < images->Count()) {
            int y = content.Top + (content.Height() - images->Height()) / 2;
            if (c->FLayout == TVTHeaderColumnLayout::blGlyphRight) {
                images->Draw(canvas, content.Right - images->Width(), y, c->FImageIndex);
                content.Right -= images->Width() + c->FSpacing;
            } else {
                images->Draw(canvas, content.Left, y, c->FImageIndex);
                content.Left += images->Width() + c->FSpacing;
            }
        }
        if (FHeader->Options().Contains(hoShowSortGlyphs) && FHeader->SortColumn() == index) {
            // A small arrow at the right: up for ascending, down for descending.
            const int x = content.Right - 8, y = content.Top + content.Height() / 2;
            const bool up = FHeader->SortDirection() == TSortDirection::sdAscending;
            std::vector<TPoint> arrow =
                up ? std::vector<TPoint>{{x, y + 2}, {x + 6, y + 2}, {x + 3, y - 1}}
                   : std::vector<TPoint>{{x, y - 1}, {x + 6, y - 1}, {x + 3, y + 2}};
            canvas->Brush()->SetColor(clBtnShadow);
            canvas->Pen()->SetColor(clBtnShadow);
            canvas->Polygon(arrow);
            content.Right -= 10;
        }
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
        if (c->FAlignment == taRightJustify) format |= DT_RIGHT;
        if (c->FAlignment == taCenter) format |= DT_CENTER;
        if (c->FBiDiMode != bdLeftToRight) format |= DT_RTLREADING;
        // The canvas selects its font into the context when the context is asked for.
        canvas->Font()->Assign(FHeader->Font());
        HDC textDc = canvas->Handle();
        SetBkMode(textDc, TRANSPARENT);
        SetTextColor(textDc, ColorToRGB(FHeader->Font()->Color()));
        RECT text = content;
        if (!c->FText.empty())
            DrawTextW(textDc, c->FText.data(), int(c->FText.size()), &text, format);
        tree->DoHeaderDrawParts({canvas, c, cell, hot, pressed, DropTarget == index});
    }
    if (right < r.Right) {
        canvas->Brush()->SetColor(FHeader->Background());
        canvas->FillRect(TRect(std::max(right, r.Left), r.Top, r.Right, r.Top + height));
    }
}

// ---- TVTHeader ------------------------------------------------------------------------------

TVTHeader::TVTHeader(TBaseVirtualTree* owner)
    : FOwner(owner), FColumns(std::make_unique<TVirtualTreeColumns>(this)),
      FFont(std::make_unique<TFont>()) {
    FFont->OnChange = [this](TObject*) { Invalidate(); };
    FDragImage = std::make_unique<TVTDragImage>(owner);
    FDragImage->SetTransparency(140);
    FDragImage->SetPreBlendBias(206);
}

TVTHeader::~TVTHeader() = default;

void TVTHeader::SetHeight(int value) {
    value = std::max(0, value);
    if (FHeight == value) return;
    FHeight = value;
    if (!FLoading && IsVisible()) FOwner->HeaderChanged(true);
}

void TVTHeader::ChangeScale(int m, int d) {
    if (m == d || d == 0) return;
    FFont->SetHeight(MulDiv(FFont->Height(), m, d));
    SetHeight(MulDiv(FHeight, m, d));
    // The widths in the order that keeps each within its new limits.
    for (int i = 0; i < FColumns->Count(); ++i) {
        TVirtualTreeColumn* column = FColumns->Items(i);
        const int width = MulDiv(column->Width(), m, d);
        const int minWidth = MulDiv(column->MinWidth(), m, d);
        const int maxWidth = MulDiv(column->MaxWidth(), m, d);
        column->SetMinWidth(0);
        column->SetMaxWidth(maxWidth);
        column->SetMinWidth(minWidth);
        column->SetWidth(width);
    }
}

void TVTHeader::SetBackground(TColor value) {
    if (FBackground == value) return;
    FBackground = value;
    Invalidate();
}

void TVTHeader::SetOptions(TVTHeaderOptions value) {
    if (FOptions == value) return;
    const TVTHeaderOptions old = FOptions;
    FOptions = value;
    if (old.Contains(hoAutoResize) != value.Contains(hoAutoResize) && UseColumns()) {
        AdjustAutoSize(NoColumn, true);
        FOwner->UpdateScrollBars(value.Contains(hoAutoResize));
    }
    if (old.Contains(hoVisible) != value.Contains(hoVisible)) {
        // The client area starts below a visible header: the frame is measured again.
        if (FOwner->HandleAllocated())
            SetWindowPos(FOwner->Handle(), nullptr, 0, 0, 0, 0,
                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                             SWP_NOACTIVATE);
        FOwner->RedrawWindowWithFrame();
    }
    Invalidate();
    FOwner->HeaderChanged(false);
}

void TVTHeader::SetStyle(TVTHeaderStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    Invalidate();
}

void TVTHeader::SetImages(TCustomImageList* value) {
    if (FImages == value) return;
    FImages = value;
    if (value) FOwner->FreeNotification(value);
    Invalidate();
}

void TVTHeader::SetAutoSizeIndex(TColumnIndex value) {
    if (FAutoSizeIndex == value) return;
    FAutoSizeIndex = value;
    if (FOptions.Contains(hoAutoResize)) AdjustAutoSize(NoColumn, true);
}

TColumnIndex TVTHeader::MainColumn() const {
    if (FColumns->Count() == 0) return NoColumn;
    return FMainColumn < 0 ? 0 : FMainColumn;
}

void TVTHeader::SetMainColumn(TColumnIndex value) {
    if (FColumns->Count() == 0)
        value = NoColumn;
    else
        value = std::clamp(value, 0, FColumns->Count() - 1);
    if (FMainColumn == value) return;
    FMainColumn = value;
    FOwner->HeaderChanged(false);
}

TColumnIndex TVTHeader::SortColumn() const {
    return FOwner->SortColumn();
}
void TVTHeader::SetSortColumn(TColumnIndex value) {
    if (FOwner->SortColumn() == value) return;
    FOwner->SetSortColumn(value);
    Invalidate();
}
TSortDirection TVTHeader::SortDirection() const {
    return FOwner->SortDirection();
}
void TVTHeader::SetSortDirection(TSortDirection value) {
    if (FOwner->SortDirection() == value) return;
    FOwner->SetSortDirection(value);
    Invalidate();
}

void TVTHeader::EndLoading() {
    FLoading = false;
    if (FColumns->NeedPositionsFix) {
        FColumns->NeedPositionsFix = false;
        FColumns->FLastCount = FColumns->Count();
        FColumns->UpdatePositions(true);
    }
}

bool TVTHeader::InHeader(TPoint p) const {
    return IsVisible() && p.Y >= 0 && p.Y < FHeight && p.X >= 0;
}

void TVTHeader::Invalidate(TColumnIndex) {
    if (IsVisible()) FOwner->RedrawWindowWithFrame();
}

void TVTHeader::RestoreColumns() {
    const auto& order = FColumns->PositionToIndex();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        TVirtualTreeColumn* c = FColumns->Items(*it);
        if (c->Options().ContainsAll({coVisible, coResizable})) c->SetWidth(c->PreviousWidth());
    }
}

void TVTHeader::AutoFitColumns(bool animated) {
    for (TColumnIndex index : FColumns->GetVisibleColumns()) {
        TVirtualTreeColumn* c = FColumns->Items(index);
        if (!c->Options().Contains(coResizable)) continue;
        int width = FOwner->GetMaxColumnWidth(index);
        if (animated)
            FColumns->AnimatedResize(index, width);
        else
            c->SetWidth(width);
    }
}

void TVTHeader::AdjustAutoSize(TColumnIndex currentIndex, bool force) {
    if (!FOptions.Contains(hoAutoResize) || FColumns->Count() == 0) return;
    if (FLoading || FColumns->UpdateCount() > 0) return;
    TColumnIndex index =
        FColumns->IsValidColumn(FAutoSizeIndex) ? FAutoSizeIndex : FColumns->Count() - 1;
    TVirtualTreeColumn* target = FColumns->Items(index);
    if (FColumns->IsValidColumn(currentIndex) && !force) {
        // A column resized at or after the auto-size column (that one too) makes its next
        // visible neighbour give way.
        if (FColumns->Items(currentIndex)->Position() >= target->Position()) {
            TColumnIndex next = FColumns->GetNextVisibleColumn(currentIndex);
            if (next < 0) return;
            index = next;
            target = FColumns->Items(index);
        }
    }
    if (!target->Options().Contains(coVisible)) return;
    const int others = FColumns->TotalWidth() - target->Width();
    const int wanted = FOwner->ClientWidth() - others;
    FColumns->BeginUpdate();
    auto endUpdate = Finally([this] { FColumns->EndUpdate(); });
    const int old = target->Width();
    target->SetWidth(wanted);
    FColumns->UpdatePositions();
    if (target->Width() != old) FOwner->DoColumnResize(index);
}

void TVTHeader::ColumnResized(TColumnIndex column) {
    FOwner->DoColumnResize(column);
    FOwner->HeaderChanged(true);
}

// ---- Mouse work ---------------------------------------------------------------------------

TColumnIndex TVTHeader::SplitColumn(TPoint p) const {
    if (!FOptions.Contains(hoColumnResize) || p.Y < 0 || p.Y >= FHeight) return NoColumn;
    const int x = p.X - FOwner->OffsetX();
    // The last column whose edge is near wins, so a zero-width column can still be widened.
    TColumnIndex result = NoColumn;
    for (TColumnIndex index : FColumns->GetVisibleColumns()) {
        TVirtualTreeColumn* c = FColumns->Items(index);
        const int edge = c->Left() + c->Width();
        if (c->Options().Contains(coResizable) && x >= edge - HeaderSplitZone &&
            x <= edge + HeaderSplitZone)
            result = index;
    }
    return result;
}

TCursor TVTHeader::CursorAt(TPoint p) {
    TCursor cursor = SplitColumn(p) != NoColumn ? TCursor(crHeaderSplit) : crDefault;
    FOwner->DoGetHeaderCursor(cursor);
    return cursor;
}

bool TVTHeader::MouseDown(TPoint p, TShiftState shift) {
    if (!IsVisible() || p.Y < 0 || p.Y >= FHeight) return false;
    FOwner->DoHeaderMouseDown(mbLeft, shift, p.X, p.Y);
    FDownPoint = p;
    const TColumnIndex split = SplitColumn(p);
    if (split != NoColumn) {
        FState = TState::Tracking;
        FTrackColumn = split;
        FTrackStartWidth = FColumns->Items(split)->Width();
        return true;
    }
    const TColumnIndex column = FColumns->ColumnFromPosition(p.X - FOwner->OffsetX());
    if (column == NoColumn) return true;
    const TVTColumnOptions options = FColumns->Items(column)->Options();
    if (!options.Contains(coEnabled)) return true;
    FTrackColumn = column;
    if (FOptions.Contains(hoDrag) && options.Contains(coDraggable))
        FState = TState::DragPending;
    else
        FState = options.Contains(coAllowClick) ? TState::ClickPending : TState::Idle;
    if (options.Contains(coAllowClick)) {
        FColumns->DownIndex = column;
        Invalidate(column);
    }
    return true;
}

void TVTHeader::MouseMove(TPoint p, TShiftState shift) {
    FOwner->DoHeaderMouseMove(shift, p.X, p.Y);
    const int x = p.X - FOwner->OffsetX();
    switch (FState) {
    case TState::Tracking:
        FColumns->Items(FTrackColumn)->SetWidth(FTrackStartWidth + p.X - FDownPoint.X);
        return;
    case TState::DragPending:
        if (std::abs(p.X - FDownPoint.X) < HeaderDragThreshold &&
            std::abs(p.Y - FDownPoint.Y) < HeaderDragThreshold)
            return;
        if (!FOwner->DoHeaderDragging(FTrackColumn)) {
            FState = FColumns->DownIndex == FTrackColumn ? TState::ClickPending : TState::Idle;
            return;
        }
        FState = TState::Dragging;
        FColumns->DownIndex = NoColumn;
        {
            // The dragged column's button is the picture that follows the mouse.
            TVirtualTreeColumn* c = FColumns->Items(FTrackColumn);
            TBitmap picture(std::max(1, c->Width()), std::max(1, FHeight), pf32bit);
            FColumns->PaintHeader(picture.Canvas(), TRect(0, 0, picture.Width(), FHeight),
                                  -c->Left());
            FDragImage->PrepareDrag(
                &picture, TPoint(c->Left() + FOwner->OffsetX(), 0),
                TPoint(FDownPoint.X - c->Left() - FOwner->OffsetX(), FDownPoint.Y));
            FDragImage->ShowDragImage();
        }
        [[fallthrough]];
    case TState::Dragging: {
        FDragImage->DragTo(p);
        const TColumnIndex target =
            p.Y >= 0 && p.Y < FHeight ? FColumns->ColumnFromPosition(x) : NoColumn;
        if (target != FColumns->DropTarget) {
            FColumns->DropTarget = target;
            Invalidate();
        }
        return;
    }
    default:
        break;
    }
    // Hot tracking.
    const TColumnIndex hot = p.Y >= 0 && p.Y < FHeight ? FColumns->ColumnFromPosition(x) : NoColumn;
    if (hot != FColumns->HoverIndex) {
        FColumns->HoverIndex = hot;
        if (FOptions.Contains(hoHotTrack)) Invalidate();
        // The tree's timer notices when the mouse leaves the header.
        if (FOwner->HandleAllocated())
            SetTimer(FOwner->Handle(), TBaseVirtualTree::HeaderTimer, HeaderHotTimerDelay);
    }
}

void TVTHeader::MouseLeft() {
    if (FColumns->HoverIndex == NoColumn) return;
    FColumns->HoverIndex = NoColumn;
    if (FOptions.Contains(hoHotTrack)) Invalidate();
}

void TVTHeader::MouseUp(TPoint p, TShiftState shift) {
    FOwner->DoHeaderMouseUp(mbLeft, shift, p.X, p.Y);
    const TState state = FState;
    const TColumnIndex column = FTrackColumn;
    FState = TState::Idle;
    FTrackColumn = NoColumn;
    const TColumnIndex under = p.Y >= 0 && p.Y < FHeight
                                   ? FColumns->ColumnFromPosition(p.X - FOwner->OffsetX())
                                   : NoColumn;
    switch (state) {
    case TState::ClickPending:
    case TState::DragPending:
        FColumns->DownIndex = NoColumn;
        Invalidate();
        if (under == column && FColumns->IsValidColumn(column) &&
            FColumns->Items(column)->Options().Contains(coAllowClick))
            FOwner->DoHeaderClick(column, mbLeft, shift, p.X, p.Y);
        break;
    case TState::Dragging: {
        FDragImage->EndDrag();
        FColumns->DropTarget = NoColumn;
        if (p.Y < 0 || p.Y >= FHeight) {
            FOwner->DoHeaderDraggedOut(column, p);
        } else if (under != NoColumn && under != column) {
            TVirtualTreeColumn* c = FColumns->Items(column);
            const int oldPosition = int(c->Position());
            c->SetPosition(FColumns->Items(under)->Position());
            FOwner->DoHeaderDragged(column, oldPosition);
        }
        Invalidate();
        break;
    }
    default:
        break;
    }
}

bool TVTHeader::DoubleClick(TPoint p, TShiftState shift) {
    if (!IsVisible() || p.Y < 0 || p.Y >= FHeight) return false;
    const TColumnIndex split = SplitColumn(p);
    if (split != NoColumn && FOptions.Contains(hoDblClickResize)) {
        FColumns->AnimatedResize(split, FOwner->GetMaxColumnWidth(split));
        return true;
    }
    const TColumnIndex column = FColumns->ColumnFromPosition(p.X - FOwner->OffsetX());
    FOwner->DoHeaderDblClick(column, mbLeft, shift, p.X, p.Y);
    return true;
}

void TVTHeader::CancelMouseWork() {
    if (FState == TState::Dragging) FDragImage->EndDrag();
    FState = TState::Idle;
    FTrackColumn = NoColumn;
    FColumns->DownIndex = NoColumn;
    FColumns->DropTarget = NoColumn;
    Invalidate();
}

void TVTHeader::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TVTHeader*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FLoading = true;
    {
        auto done = Finally([this] { FLoading = false; });
        FColumns->Assign(other->FColumns.get());
        FHeight = other->FHeight;
        FFont->Assign(other->FFont.get());
        FBackground = other->FBackground;
        FOptions = other->FOptions;
        FStyle = other->FStyle;
        FImages = other->FImages;
        FPopupMenu = other->FPopupMenu;
        FAutoSizeIndex = other->FAutoSizeIndex;
        FMainColumn = other->FMainColumn;
    }
    FColumns->FLastCount = FColumns->Count();
    FColumns->UpdatePositions(true);
    SetSortColumn(other->SortColumn());
    SetSortDirection(other->SortDirection());
    FOwner->HeaderChanged(true);
}

void TVTHeader::SaveToStream(TStream& stream) const {
    WriteInt(stream, -1);
    WriteInt(stream, HeaderStreamVersion);
    const int n = FColumns->Count();
    WriteInt(stream, n);
    for (int i = 0; i < n; ++i)
        FColumns->Items(i)->SaveToStream(stream);
    for (TColumnIndex index : FColumns->PositionToIndex())
        WriteInt(stream, index);
    WriteInt(stream, FAutoSizeIndex);
    WriteInt(stream, int32_t(FBackground));
    WriteInt(stream, FHeight);
    WriteInt(stream, int32_t(FOptions.Bits()));
    WriteInt(stream, int32_t(FStyle));
    WriteInt(stream, int32_t(FFont->Color()));
    WriteInt(stream, FFont->Height());
    const std::string& name = FFont->Name();
    WriteInt(stream, int32_t(name.size()));
    stream.WriteString(name);
    WriteInt(stream, int32_t(FFont->Pitch()) & 0x7F);
    WriteInt(stream, int32_t(FFont->Style().Bits()));
    WriteInt(stream, FMainColumn);
    WriteInt(stream, SortColumn());
    WriteInt(stream, int32_t(SortDirection()));
}

void TVTHeader::LoadFromStream(TStream& stream) {
    // Everything is read into local records first; the header changes only once the whole
    // stored form has been read and checked.
    struct TStoredColumn {
        std::u16string Text, Hint;
        int32_t Width, MinWidth, MaxWidth, Style, ImageIndex, Layout, Margin, Spacing, BiDiMode,
            Options, Tag = 0, Alignment = 0, Color = int32_t(clWindow);
    };
    TBoundedReader in(stream);
    int version = -1;
    int32_t count = in.Int();
    if (count < 0) {
        version = in.Int();
        if (version < 0 || version > HeaderStreamVersion) throw EReadError(SReadError);
        count = in.Int();
    }
    if (count < 0 || int64_t(count) * MinColumnBytes(version) > in.Remaining())
        throw EReadError(SReadError);
    std::vector<TStoredColumn> columns(static_cast<size_t>(count));
    for (TStoredColumn& c : columns) {
        c.Text = in.Text<char16_t>();
        c.Hint = in.Text<char16_t>();
        for (int32_t* field : {&c.Width, &c.MinWidth, &c.MaxWidth, &c.Style, &c.ImageIndex,
                               &c.Layout, &c.Margin, &c.Spacing, &c.BiDiMode, &c.Options})
            *field = in.Int();
        if (version >= 1) {
            c.Tag = in.Int();
            c.Alignment = in.Int();
        }
        if (version >= 2) c.Color = in.Int();
        if (version <= 1) c.Options = int32_t(ConvertOldColumnOptions(uint32_t(c.Options)));
        if (c.Style < 0 || c.Style > 1 || c.Layout < 0 || c.Layout > 3 || c.BiDiMode < 0 ||
            c.BiDiMode > 3 || c.Alignment < 0 || c.Alignment > 2)
            throw EReadError(SReadError);
    }
    std::vector<TColumnIndex> positions(static_cast<size_t>(count));
    std::vector<bool> seen(static_cast<size_t>(count));
    for (TColumnIndex& index : positions) {
        index = in.Int();
        if (index < 0 || index >= count || seen[size_t(index)]) throw EReadError(SReadError);
        seen[size_t(index)] = true;
    }
    const int32_t autoSizeIndex = in.Int();
    const int32_t background = in.Int();
    const int32_t height = in.Int();
    const int32_t options = in.Int();
    const int32_t style = in.Int();
    const int32_t fontColor = in.Int();
    const int32_t fontHeight = in.Int();
    const std::string fontName = in.Text<char>();
    const int32_t pitch = in.Int() & 0x7F;
    const int32_t fontStyle = in.Int();
    int32_t mainColumn = NoColumn, sortColumn = SortColumn(),
            sortDirection = int32_t(SortDirection());
    if (version >= 1) {
        mainColumn = in.Int();
        sortColumn = in.Int();
        sortDirection = in.Int();
    }
    if (style < 0 || style > 3 || pitch > 2 || sortDirection < 0 || sortDirection > 1)
        throw EReadError(SReadError);

    // Apply.
    FLoading = true;
    {
        auto done = Finally([this] { FLoading = false; });
        FColumns->Clear();
        for (size_t i = 0; i < columns.size(); ++i) {
            const TStoredColumn& s = columns[i];
            TVirtualTreeColumn* c = FColumns->Add();
            c->FText = s.Text;
            c->FHint = s.Hint;
            c->FMaxWidth = std::clamp(s.MaxWidth, 0, MaxColumnWidth);
            c->FMinWidth = std::clamp(s.MinWidth, 0, c->FMaxWidth);
            c->FWidth = std::clamp(s.Width, c->FMinWidth, c->FMaxWidth);
            c->FLastWidth = c->FWidth;
            c->FStyle = TVirtualTreeColumnStyle(s.Style);
            c->FImageIndex = s.ImageIndex;
            c->FLayout = TVTHeaderColumnLayout(s.Layout);
            c->FMargin = s.Margin;
            c->FSpacing = s.Spacing;
            c->FBiDiMode = TBiDiMode(s.BiDiMode);
            c->FOptions = TVTColumnOptions::FromBits(uint32_t(s.Options) & 0xFF);
            c->FTag = s.Tag;
            c->FAlignment = TAlignment(s.Alignment);
            c->FColor = TColor(s.Color);
        }
        for (size_t p = 0; p < positions.size(); ++p)
            FColumns->Items(positions[p])->FPosition = Cardinal(p);
        FAutoSizeIndex = autoSizeIndex;
        FBackground = TColor(background);
        FHeight = std::max(0, height);
        FOptions = TVTHeaderOptions::FromBits(uint32_t(options) & 0x7FF);
        FStyle = TVTHeaderStyle(style);
        FFont->SetColor(TColor(fontColor));
        FFont->SetHeight(fontHeight);
        FFont->SetName(fontName);
        FFont->SetPitch(TFontPitch(pitch));
        FFont->SetStyle(TFontStyles::FromBits(uint32_t(fontStyle) & 0x0F));
        FMainColumn = mainColumn;
    }
    FColumns->FLastCount = FColumns->Count();
    FColumns->NeedPositionsFix = false;
    FColumns->UpdatePositions(true);
    if (!FColumns->IsValidColumn(FAutoSizeIndex)) FAutoSizeIndex = NoColumn;
    if (FMainColumn >= FColumns->Count()) FMainColumn = FColumns->Count() > 0 ? 0 : NoColumn;
    FOwner->SetSortColumn(sortColumn < FColumns->Count() ? sortColumn : NoColumn);
    FOwner->SetSortDirection(TSortDirection(sortDirection));
    FOwner->HeaderChanged(true);
}

} // namespace epc
