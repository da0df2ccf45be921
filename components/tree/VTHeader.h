#pragma once
// The tree's header: a collection of columns shown above the client area. Columns decide the
// cells of every row; the main column carries the tree structure. The header has a stored form
// (SaveToStream / LoadFromStream) with three older layouts that are still read.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/tree/VirtualTreeTypes.h"
#include "platform/controls/Controls.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/StdCtrls.h"
#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Geometry.h"
#include "platform/core/Set.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Graphics.h"

namespace epc {

class TBaseVirtualTree;
class TVTHeader;
class TVirtualTreeColumns;
class TVTDragImage;

enum class TVirtualTreeColumnStyle : uint8_t { vsText, vsOwnerDraw };
enum class TVTHeaderColumnLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum class TVTColumnOption : uint8_t {
    coAllowClick,
    coDraggable,
    coEnabled,
    coParentBidiMode,
    coParentColor,
    coResizable,
    coShowDropMark,
    coVisible
};
using TVTColumnOptions = TSet<TVTColumnOption>;
using enum TVTColumnOption;
constexpr TVTColumnOptions DefaultColumnOptions = TVTColumnOptions::FromBits(0xFF);

enum class TVTHeaderOption : uint8_t {
    hoAutoResize,
    hoColumnResize,
    hoDblClickResize,
    hoDrag,
    hoHotTrack,
    hoOwnerDraw,
    hoRestrictDrag,
    hoShowHint,
    hoShowImages,
    hoShowSortGlyphs,
    hoVisible
};
using TVTHeaderOptions = TSet<TVTHeaderOption>;
using enum TVTHeaderOption;
enum class TVTHeaderStyle : uint8_t { hsThickButtons, hsFlatButtons, hsPlates, hsXPStyle };

// Version of the header's stored form written by SaveToStream.
constexpr int HeaderStreamVersion = 2;

class TVirtualTreeColumn : public TCollectionItem {
public:
    explicit TVirtualTreeColumn(TCollection* collection);
    ~TVirtualTreeColumn() override;
    std::string ClassName() const override { return "TVirtualTreeColumn"; }

    const std::u16string& Text() const { return FText; }
    void SetText(const std::u16string& value);
    // Forms of older builds stored the text and hint as "WideText" and "WideHint".
    void DefineProperties(TFiler* filer) override;
    const std::u16string& Hint() const { return FHint; }
    void SetHint(const std::u16string& value) { FHint = value; }
    int Width() const { return FWidth; }
    void SetWidth(int value);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int value);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int value);
    // Display position (index into the header's position array).
    Cardinal Position() const { return FPosition; }
    void SetPosition(Cardinal value);
    TVirtualTreeColumnStyle Style() const { return FStyle; }
    void SetStyle(TVirtualTreeColumnStyle value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode value);
    // Takes the tree's reading order again when the column follows it (coParentBidiMode).
    void ParentBiDiModeChanged();
    TVTHeaderColumnLayout Layout() const { return FLayout; }
    void SetLayout(TVTHeaderColumnLayout value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    TVTColumnOptions Options() const { return FOptions; }
    void SetOptions(TVTColumnOptions value);
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);

    // Left edge: the widths of the visible columns before this one in display order.
    int Left() const { return FLeft; }
    int PreviousWidth() const { return FLastWidth; }
    // The column's text, or "Column <index>" when that is empty or not 8-bit.
    std::string DisplayName() const override;
    void Assign(TPersistent* source) override;
    bool Equals(const TVirtualTreeColumn& other) const;
    TVirtualTreeColumns* Owner() const;
    void LoadFromStream(TStream& stream, int version);
    void SaveToStream(TStream& stream) const;

private:
    friend class TVirtualTreeColumns;
    friend class TVTHeader;
    void ChangedAndRepaint(bool repaintTree);

    std::u16string FText;
    std::u16string FHint;
    int FWidth = 50;
    int FMinWidth = 10;
    int FMaxWidth = 10000;
    Cardinal FPosition = 0;
    TVirtualTreeColumnStyle FStyle = TVirtualTreeColumnStyle::vsText;
    int FImageIndex = -1;
    TBiDiMode FBiDiMode = bdLeftToRight;
    TVTHeaderColumnLayout FLayout = TVTHeaderColumnLayout::blGlyphLeft;
    int FMargin = 4;
    int FSpacing = 4;
    TVTColumnOptions FOptions = DefaultColumnOptions;
    int FTag = 0;
    TAlignment FAlignment = taLeftJustify;
    TColor FColor = clWindow;
    int FLeft = 0;
    int FLastWidth = 50;
};

class TVirtualTreeColumns : public TCollection {
public:
    explicit TVirtualTreeColumns(TVTHeader* header);
    ~TVirtualTreeColumns() override;
    std::string ClassName() const override { return "TVirtualTreeColumns"; }

    TVirtualTreeColumn* Add() { return static_cast<TVirtualTreeColumn*>(TCollection::Add()); }
    TVirtualTreeColumn* Items(TColumnIndex index) const {
        return static_cast<TVirtualTreeColumn*>(TCollection::Items(index));
    }
    TVTHeader* Header() const { return FHeader; }
    // Item index at each display position.
    const std::vector<TColumnIndex>& PositionToIndex() const { return FPositionToIndex; }

    bool IsValidColumn(TColumnIndex column) const { return column >= 0 && column < Count(); }
    // The column whose cell holds X (client coordinates without scrolling), with its edges;
    // NoColumn when none.
    TColumnIndex ColumnFromPosition(int x, int* left = nullptr, int* right = nullptr) const;
    TColumnIndex GetFirstVisibleColumn() const;
    TColumnIndex GetLastVisibleColumn() const;
    TColumnIndex GetNextVisibleColumn(TColumnIndex column) const;
    TColumnIndex GetPreviousVisibleColumn(TColumnIndex column) const;
    int GetVisibleColumnCount() const;
    int TotalWidth() const;
    std::vector<TColumnIndex> GetVisibleColumns() const;
    void GetColumnBounds(TColumnIndex column, int& left, int& right) const;

    // Rebuilds positions and left edges (deferred while the header is loading).
    void UpdatePositions(bool force = false);
    void AdjustPosition(TVirtualTreeColumn* column, Cardinal position);
    // Changes a column's width over 32 steps, scrolling the window parts right of it.
    void AnimatedResize(TColumnIndex column, int newWidth);
    // Paints every visible column as a button, and the rest of R with the header background.
    void PaintHeader(TCanvas* canvas, const TRect& r, int horizontalOffset);

    TColumnIndex HoverIndex = NoColumn;
    TColumnIndex DownIndex = NoColumn;
    TColumnIndex DropTarget = NoColumn;
    TColumnIndex ClickIndex = NoColumn;
    bool NeedPositionsFix = false;

protected:
    void Update(TCollectionItem* item) override;

private:
    friend class TVirtualTreeColumn;
    friend class TVTHeader;
    void ItemRemoved(TColumnIndex index);

    TVTHeader* FHeader;
    std::vector<TColumnIndex> FPositionToIndex;
    int FLastCount = 0;
    bool FDestroying = false;
};

class TVTHeader : public TPersistent {
public:
    explicit TVTHeader(TBaseVirtualTree* owner);
    ~TVTHeader() override;
    std::string ClassName() const override { return "TVTHeader"; }

    TBaseVirtualTree* Treeview() const { return FOwner; }
    TVirtualTreeColumns* Columns() const { return FColumns.get(); }
    int Height() const { return FHeight; }
    void SetHeight(int value);
    // The form's rescaling: the header's font, height and column widths follow it.
    void ChangeScale(int m, int d);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TColor Background() const { return FBackground; }
    void SetBackground(TColor value);
    TVTHeaderOptions Options() const { return FOptions; }
    void SetOptions(TVTHeaderOptions value);
    TVTHeaderStyle Style() const { return FStyle; }
    void SetStyle(TVTHeaderStyle value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* value) { FPopupMenu = value; }
    TColumnIndex AutoSizeIndex() const { return FAutoSizeIndex; }
    void SetAutoSizeIndex(TColumnIndex value);
    // -1 while there are no columns.
    TColumnIndex MainColumn() const;
    void SetMainColumn(TColumnIndex value);
    TColumnIndex SortColumn() const;
    void SetSortColumn(TColumnIndex value);
    TSortDirection SortDirection() const;
    void SetSortDirection(TSortDirection value);
    TVTDragImage* DragImage() const { return FDragImage.get(); }

    bool Loading() const { return FLoading; }
    void BeginLoading() { FLoading = true; }
    // Finishes loading: positions and left edges are rebuilt.
    void EndLoading();
    bool IsVisible() const { return FOptions.Contains(hoVisible); }
    bool UseColumns() const { return FColumns->Count() > 0; }
    // Whether P (in header coordinates, 0..Height) lies in the header.
    // The mouse has left the header: no column is hot.
    void MouseLeft();
    bool InHeader(TPoint p) const;
    void Invalidate(TColumnIndex column = NoColumn);
    void RestoreColumns();
    void AutoFitColumns(bool animated = true);
    // Gives the auto-size column the client width not taken by the others.
    void AdjustAutoSize(TColumnIndex currentIndex = NoColumn, bool force = false);
    void Assign(TPersistent* source) override;
    // Reads the stored form; a bad stream raises EReadError and leaves the header unchanged.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    // Fired after a column's width changed (the tree's column-resize notification).
    void ColumnResized(TColumnIndex column);

    // ---- Mouse work in the header (points in header coordinates) ----------------------------
    enum class TState : uint8_t { Idle, ClickPending, Tracking, DragPending, Dragging };
    TState State() const { return FState; }
    // The resizable column whose right edge lies within the split zone around P.X.
    TColumnIndex SplitColumn(TPoint p) const;
    // The cursor over P: the split cursor over a split with hoColumnResize.
    TCursor CursorAt(TPoint p);
    // A left-button press starts a column click, a resize (on a split) or a column drag;
    // moves and the release carry them on and end them. Each returns whether the header took
    // the mouse.
    bool MouseDown(TPoint p, TShiftState shift);
    void MouseMove(TPoint p, TShiftState shift);
    void MouseUp(TPoint p, TShiftState shift);
    // A double click on a split fits that column to its content (hoDblClickResize).
    bool DoubleClick(TPoint p, TShiftState shift);
    // Escape or losing the focus while dragging: the drag is given up.
    void CancelMouseWork();

private:
    friend class TVirtualTreeColumns;
    friend class TVirtualTreeColumn;
    TBaseVirtualTree* FOwner;
    std::unique_ptr<TVirtualTreeColumns> FColumns;
    int FHeight = 17;
    std::unique_ptr<TFont> FFont;
    TColor FBackground = clBtnFace;
    TVTHeaderOptions FOptions{hoColumnResize, hoDrag};
    TVTHeaderStyle FStyle = TVTHeaderStyle::hsThickButtons;
    TCustomImageList* FImages = nullptr;
    TPopupMenu* FPopupMenu = nullptr;
    TColumnIndex FAutoSizeIndex = NoColumn;
    TColumnIndex FMainColumn = NoColumn;
    std::unique_ptr<TVTDragImage> FDragImage;
    bool FLoading = false;
    TState FState = TState::Idle;
    TPoint FDownPoint;
    TColumnIndex FTrackColumn = NoColumn;
    int FTrackStartWidth = 0;
};

// Pixels on each side of a column's right edge where the mouse resizes it.
constexpr int HeaderSplitZone = 3;
// Pixels the mouse moves with the button down before a column drag starts.
constexpr int HeaderDragThreshold = 4;
// How often the tree looks whether the mouse has left the header with a hot column.
constexpr int HeaderHotTimerDelay = 50;

} // namespace epc
