#pragma once
// TBaseVirtualTree: the tree control. It allocates its own node records (each with a user data
// area of NodeDataSize bytes) under one hidden root, keeps running subtree totals so that scroll
// ranges and hit tests never walk the whole tree, and fires every event through a virtual
// dispatcher with a fixed default answer.
//
// The operations are spread over several sources: BaseVirtualTree.cpp (construction, property
// setters, check states, selection, line images), VirtualTreeNodes.cpp (node records and node
// management, walkers, update locks), VirtualTreeEvents.cpp (dispatchers and class hooks),
// TreeMessages.cpp (the window procedure). The keyboard (TVTKeyboard), painting (TVTPainter),
// scrolling (TVTScroller) and the header's frame (TVTHeaderFrame) are collaborators the tree
// holds; they keep the state of their concern, and the tree's methods forward to them.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/tree/NodePool.h"
#include "components/tree/TreeHeaderFrame.h"
#include "components/tree/TreeKeyboard.h"
#include "components/tree/TreePainter.h"
#include "components/tree/TreeScroller.h"
#include "components/tree/TreeUnit.h"
#include "components/tree/VTHeader.h"
#include "components/tree/VTHintWindow.h"
#include "components/tree/VirtualTreeOptions.h"
#include "components/tree/VirtualTreeTypes.h"
#include "platform/controls/Controls.h"
#include "platform/controls/ImageList.h"
#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Geometry.h"
#include "platform/core/Streams.h"
#include "platform/core/Threads.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

// Tree states (their layout is private to the tree).
enum class TVirtualTreeState : uint8_t {
    tsCancelHintAnimation,
    tsChangePending,
    tsCheckPropagation,
    tsClearPending,
    tsClipboardFlushing,
    tsCollapsing,
    tsCutPending,
    tsDrawSelecting,
    tsDrawSelPending,
    tsEditing,
    tsEditPending,
    tsExpanding,
    tsHint,
    tsIncrementalSearching,
    tsIncrementalSearchPending,
    tsIterating,
    tsKeyCheckPending,
    tsLeftButtonDown,
    tsLeftDblClick,
    tsMouseCheckPending,
    tsMiddleButtonDown,
    tsMiddleDblClick,
    tsNeedScale,
    tsNeedRootCountUpdate,
    tsOLEDragging,
    tsOLEDragPending,
    tsPainting,
    tsRightButtonDown,
    tsRightDblClick,
    tsPopupMenuShown,
    tsScrolling,
    tsScrollPending,
    tsSizing,
    tsStopValidation,
    tsStructureChangePending,
    tsSynchMode,
    tsThumbTracking,
    tsToggling,
    tsUpdateHiddenChildrenNeeded,
    tsUpdating,
    tsUseCache,
    tsUserDragObject,
    tsUseThemes,
    tsValidating,
    tsPreviouslySelectedLocked,
    tsValidationNeeded,
    tsVCLDragging,
    tsVCLDragPending,
    tsVCLDragFinished,
    tsWheelPanning,
    tsWheelScrolling,
    tsWindowCreating,
    tsToggleFocusedSelection,
    tsSelectionCompactPending,
    tsCopyPending
};
using TVirtualTreeStates = TSet<TVirtualTreeState>;

// Bounds of what a stored form may ask a tree for (nothing real comes near them): user data
// bytes for each node, and the memory of the top-level nodes it makes when it has loaded.
constexpr int MaxStoredNodeDataSize = 64 * 1024;
constexpr int64_t MaxStoredNodesBytes = int64_t(256) << 20;
// Indentation wider than this lies beyond every picture; it leaves room for what is added to it.
constexpr int64_t MaxIndentWidth = int64_t(1) << 28;

class TBaseVirtualTree;
class TTreeReadView;
class TTreeWriteBuffer;
class TVTHeader;
class TVTDragManager;
class IDataObject;
struct FORMATETC;
struct STGMEDIUM;
class TVirtualTreeColumn;
class TVirtualTreeColumns;
class TBasicAction;

// Class references: each makes an object of the class it stands for.
using TVTHeaderClass = std::function<std::unique_ptr<TVTHeader>(TBaseVirtualTree* owner)>;
using TVirtualTreeColumnClass = std::function<TVirtualTreeColumn*(TVirtualTreeColumns* collection)>;

using TVTGetNodeDataSizeEvent = std::function<void(TBaseVirtualTree*, int& nodeDataSize)>;
using TVTInitNodeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode parentNode, PVirtualNode node,
                       TVirtualNodeInitStates& initialStates)>;
using TVTInitChildrenEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, Cardinal& childCount)>;
using TVTFreeNodeEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node)>;
using TVTChangeEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node)>;
using TVTChangingEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node, bool& allowed)>;
using TVTCheckChangingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TCheckState& newState, bool& allowed)>;
using TVTStructureChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TChangeReason reason)>;
using TVTUpdatingEvent = std::function<void(TBaseVirtualTree*, TVTUpdateState state)>;
using TVTFocusChangingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode oldNode, PVirtualNode newNode,
                       TColumnIndex oldColumn, TColumnIndex newColumn, bool& allowed)>;
using TVTFocusChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column)>;
using TVTCompareEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node1,
                                           PVirtualNode node2, TColumnIndex column, int& result)>;
using TVTGetLineStyleEvent = std::function<void(TBaseVirtualTree*, std::array<uint8_t, 8>& bits)>;
using TVTStateChangeEvent =
    std::function<void(TBaseVirtualTree*, TVirtualTreeStates enter, TVirtualTreeStates leave)>;
using TVTScrollEvent = std::function<void(TBaseVirtualTree*, int deltaX, int deltaY)>;
using TVTGetCursorEvent = std::function<void(TBaseVirtualTree*, TCursor& cursor)>;
using TVTGetImageEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node, TVTImageKind kind,
                                            TColumnIndex column, bool& ghosted, int& imageIndex)>;
using TVTHotNodeChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode oldNode, PVirtualNode newNode)>;
using TVTIncrementalSearchEvent = std::function<void(
    TBaseVirtualTree*, PVirtualNode node, const std::u16string& searchText, int& result)>;
using TVTNodeCopyingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, PVirtualNode target, bool& allowed)>;
using TVTNodeMovingEvent = TVTNodeCopyingEvent;
enum class TVTDropMode : uint8_t;
// What a drag over the tree asks: the source (a control, the source tree, or nil for OLE data
// from elsewhere), the keys, the drag state, the client point and the drop mode; Effect holds
// the suggested DROPEFFECT_* bits and may be changed.
using TVTDragOverEvent =
    std::function<void(TBaseVirtualTree*, TObject* source, TShiftState shift, TDragState state,
                       TPoint pt, TVTDropMode mode, uint32_t& effect, bool& accept)>;
// A drop: the source as above; for OLE drags the data object and its format ids.
using TVTDragDropEvent =
    std::function<void(TBaseVirtualTree*, TObject* source, IDataObject* dataObject,
                       const std::vector<uint32_t>& formats, TShiftState shift, TPoint pt,
                       uint32_t& effect, TVTDropMode mode)>;
using TVTDragAllowedEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column, bool& allowed)>;
using TVTRenderOLEDataEvent =
    std::function<void(TBaseVirtualTree*, const FORMATETC& format, STGMEDIUM& medium,
                       bool forClipboard, int32_t& result)>;
using TVTCreateDataObjectEvent = std::function<void(TBaseVirtualTree*, IDataObject*& dataObject)>;
using TVTSaveNodeEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node, TStream& stream)>;
using TVTKeyActionEvent =
    std::function<void(TBaseVirtualTree*, Word& charCode, TShiftState& shift, bool& doDefault)>;
// Asked for the help context of a node and column; leaving 0 asks again for the parent.
using TVTHelpContextEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node,
                                               TColumnIndex column, THelpContext& context)>;
using TVTPopupEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column,
                                         TPoint p, bool& askParent, TPopupMenu*& popupMenu)>;
using TVTBackgroundPaintEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* targetCanvas, TRect r, bool& handled)>;
using TVTHeaderNotifyEvent = std::function<void(TVTHeader*, TColumnIndex column)>;
using TVTHeaderPaintEvent =
    std::function<void(TVTHeader*, TCanvas* canvas, TVirtualTreeColumn* column, const TRect& r,
                       bool hover, bool pressed, bool dropMark)>;
using TVTGetHeaderCursorEvent = std::function<void(TVTHeader*, TCursor& cursor)>;
using TVTHeaderClickEvent = std::function<void(TVTHeader*, TColumnIndex column, TMouseButton button,
                                               TShiftState shift, int x, int y)>;
using TVTHeaderDraggingEvent = std::function<void(TVTHeader*, TColumnIndex column, bool& allowed)>;
using TVTHeaderDraggedEvent = std::function<void(TVTHeader*, TColumnIndex column, int oldPosition)>;
using TVTHeaderDraggedOutEvent =
    std::function<void(TVTHeader*, TColumnIndex column, TPoint dropPosition)>;
using TVTHeaderMouseEvent =
    std::function<void(TVTHeader*, TMouseButton button, TShiftState shift, int x, int y)>;
using TVTHeaderMouseMoveEvent = std::function<void(TVTHeader*, TShiftState shift, int x, int y)>;
// One header column as its painter has just drawn it, for a handler that draws over parts.
struct THeaderPaintInfo {
    TCanvas* TargetCanvas = nullptr;
    TVirtualTreeColumn* Column = nullptr;
    TRect PaintRectangle;
    bool IsHoverIndex = false;
    bool IsDownIndex = false;
    bool ShowDropMark = false;
};
using TVTHeaderDrawPartsEvent = std::function<void(TVTHeader*, const THeaderPaintInfo& info)>;

// Paint options of one RenderToCanvas call (a byte of these bits).
constexpr uint8_t poBackground = 0x01;
constexpr uint8_t poColumnColor = 0x02;
constexpr uint8_t poFocusRect = 0x04;
constexpr uint8_t poSelection = 0x08;
constexpr uint8_t poDropMark = 0x10;
constexpr uint8_t poGridLines = 0x20;
constexpr uint8_t poMainColumnOnly = 0x40;
constexpr uint8_t poSelectedOnly = 0x80;
// What the control's own paint handler asks for.
constexpr uint8_t DefaultRenderOptions = 0x3F;

enum class TVTDropMode : uint8_t { dmNowhere, dmAbove, dmOnNode, dmBelow };

struct TVTImageInfo {
    int Index = -1;
    bool Ghosted = false;
    TPoint Position;
};

// One cell as the node painter sees it (row coordinates: the row starts at 0).
struct TVTPaintInfo {
    TCanvas* Canvas = nullptr;
    uint8_t PaintOptions = 0;
    PVirtualNode Node = nullptr;
    TColumnIndex Column = NoColumn;
    int Position = 0;
    TRect CellRect;
    TRect ContentRect;
    int NodeWidth = 0;
    TAlignment Alignment = taLeftJustify;
    TBiDiMode BidiMode = bdLeftToRight;
    TPoint BrushOrigin;
    TVTImageInfo CheckImage;
    TVTImageInfo StateImage;
    TVTImageInfo NormalImage;
};

enum class TItemEraseAction : uint8_t { eaColor, eaDefault, eaNone };
using TVTBeforeItemPaintEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* canvas, PVirtualNode node, const TRect& itemRect,
                       bool& customDraw)>;
using TVTAfterItemPaintEvent = std::function<void(TBaseVirtualTree*, TCanvas* canvas,
                                                  PVirtualNode node, const TRect& itemRect)>;
using TVTBeforeItemEraseEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* canvas, PVirtualNode node, const TRect& itemRect,
                       TColor& itemColor, TItemEraseAction& eraseAction)>;
using TVTAfterItemEraseEvent = TVTAfterItemPaintEvent;
using TVTCellPaintEvent = std::function<void(TBaseVirtualTree*, TCanvas* canvas, PVirtualNode node,
                                             TColumnIndex column, const TRect& cellRect)>;
// Before and after the window's client area is painted, with the canvas painted on.
using TVTPaintEvent = std::function<void(TBaseVirtualTree*, TCanvas* targetCanvas)>;
// A click or double click on a column's cells in the client area.
using TVTColumnClickEvent =
    std::function<void(TBaseVirtualTree*, TColumnIndex column, TShiftState shift)>;
using TVTColumnDblClickEvent = TVTColumnClickEvent;
// May supply the drag manager of the tree (one reference handed over); nil keeps the tree's own.
using TVTCreateDragManagerEvent =
    std::function<void(TBaseVirtualTree*, TVTDragManager*& dragManager)>;

// Painting and measuring of nodes left to the tree's user (the draw tree, the word-wrapping
// tree).
using TVTDrawNodeEvent = std::function<void(TBaseVirtualTree*, const TVTPaintInfo& paintInfo)>;
using TVTGetUserClipboardFormatsEvent =
    std::function<void(TBaseVirtualTree*, std::vector<FORMATETC>& formats)>;
using TVTGetNodeWidthEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* hintCanvas, PVirtualNode node,
                       TColumnIndex column, int& nodeWidth)>;

using TVTEditChangingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column, bool& allowed)>;

// A 9 x 9 button glyph (plus or minus) as 32-bit pixels 0xAARRGGBB, row by row; the
// transparent colour (clFuchsia) marks pixels that are not drawn.
struct TButtonGlyph {
    static constexpr int Size = 9;
    std::array<uint32_t, Size * Size> Pixels{};
    uint32_t Pixel(int x, int y) const { return Pixels[size_t(y * Size + x)]; }
};

// An in-place editor of node texts as the tree drives it: prepared for a node and column,
// placed over the node's text, shown, and then ended (keeping the new text) or cancelled.
class IVTEditLink {
public:
    virtual ~IVTEditLink() = default;
    // Shows and focuses the editor.
    virtual bool BeginEdit() = 0;
    virtual bool CancelEdit() = 0;
    // Hands a changed text to the tree; false keeps the edit running.
    virtual bool EndEdit() = 0;
    virtual TRect GetBounds() = 0;
    // Makes the editor for the node and column; false when it cannot edit there.
    virtual bool PrepareEdit(TBaseVirtualTree* tree, PVirtualNode node, TColumnIndex column) = 0;
    virtual void ProcessMessage(TMessage& message) = 0;
    virtual void SetBounds(TRect r) = 0;
};
using TVTCreateEditorEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column,
                       std::unique_ptr<IVTEditLink>& editLink)>;
using TVTEditCancelEvent = std::function<void(TBaseVirtualTree*, TColumnIndex column)>;
using TVTEditChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column)>;

class TBaseVirtualTree : public TCustomControl {
public:
    explicit TBaseVirtualTree(TComponent* owner);
    ~TBaseVirtualTree() override;
    std::string ClassName() const override { return "TBaseVirtualTree"; }
    void AfterConstruction();

    // ---- Control-level properties -------------------------------------------------------------
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    // Where node labels sit in their cell while the header has no columns.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    // Visibility of the control itself (the node form is SetVisible(Node, Value)).
    using TWinControl::SetVisible;
    // The reading order changes the window's layout: the window is made anew.
    void SetBiDiMode(TBiDiMode value);

    // ---- Published tree properties ------------------------------------------------------------
    Cardinal DefaultNodeHeight() const { return FDefaultNodeHeight; }
    void SetDefaultNodeHeight(Cardinal value);
    Cardinal Indent() const { return FIndent; }
    // The width of Levels indentation steps. Any indent may be set (a stored form may hold
    // one in the billions): the width is capped far beyond every picture, so that the
    // positions worked out from it never overflow.
    int IndentWidth(int64_t levels) const {
        return int(std::min<int64_t>(levels * int64_t(FIndent), MaxIndentWidth));
    }
    void SetIndent(Cardinal value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int TextMargin() const { return FTextMargin; }
    void SetTextMargin(int value);
    int NodeDataSize() const { return FNodeDataSize; }
    void SetNodeDataSize(int value);
    TVTNodeAlignment NodeAlignment() const { return FNodeAlignment; }
    void SetNodeAlignment(TVTNodeAlignment value);
    TVTLineStyle LineStyle() const { return FLineStyle; }
    void SetLineStyle(TVTLineStyle value);
    TVTLineMode LineMode() const { return FLineMode; }
    void SetLineMode(TVTLineMode value);
    TVTButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TVTButtonStyle value);
    TVTButtonFillMode ButtonFillMode() const { return FButtonFillMode; }
    void SetButtonFillMode(TVTButtonFillMode value);
    TCheckImageKind CheckImageKind() const { return FCheckImageKind; }
    void SetCheckImageKind(TCheckImageKind value);
    // Image lists the tree draws from; a freed list is dropped (the property becomes nil).
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    TCustomImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TCustomImageList* value);
    TCustomImageList* CustomCheckImages() const { return FCustomCheckImages; }
    void SetCustomCheckImages(TCustomImageList* value);
    // The list check boxes come from: the unit's list of a built-in kind, CustomCheckImages
    // for ckCustom (nil while that is unset).
    TCustomImageList* CheckImages() const { return FCheckImages; }
    // A node's image of the given kind: the index DoGetImageIndex answers (preset -1), or -1
    // when the list that would hold it (StateImages for ikState, else Images) does not.
    int GetImageIndex(PVirtualNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted);
    TDragOperations DragOperations() const { return FDragOperations; }
    void SetDragOperations(TDragOperations value) { FDragOperations = value; }
    TVTDragType DragType() const { return FDragType; }
    void SetDragType(TVTDragType value) { FDragType = value; }
    TVTDragImageKind DragImageKind() const { return FDragImageKind; }
    void SetDragImageKind(TVTDragImageKind value) { FDragImageKind = value; }
    int DragWidth() const { return FDragWidth; }
    void SetDragWidth(int value) { FDragWidth = value; }
    int DragHeight() const { return FDragHeight; }
    void SetDragHeight(int value) { FDragHeight = value; }
    TVTNodeAttachMode DefaultPasteMode() const { return FDefaultPasteMode; }
    void SetDefaultPasteMode(TVTNodeAttachMode value) { FDefaultPasteMode = value; }
    THintAnimationType HintAnimation() const { return FHintAnimation; }
    void SetHintAnimation(THintAnimationType value) { FHintAnimation = value; }
    TVTHintMode HintMode() const { return FHintMode; }
    void SetHintMode(TVTHintMode value) { FHintMode = value; }
    TCursor HotCursor() const { return FHotCursor; }
    void SetHotCursor(TCursor value) { FHotCursor = value; }
    Byte SelectionBlendFactor() const { return FSelectionBlendFactor; }
    void SetSelectionBlendFactor(Byte value);
    Cardinal SelectionCurveRadius() const { return FSelectionCurveRadius; }
    void SetSelectionCurveRadius(Cardinal value);
    TVTDrawSelectionMode DrawSelectionMode() const { return FDrawSelectionMode; }
    void SetDrawSelectionMode(TVTDrawSelectionMode value);
    Cardinal AnimationDuration() const { return FAnimationDuration; }
    void SetAnimationDuration(Cardinal value);
    Cardinal AutoExpandDelay() const { return FAutoExpandDelay; }
    void SetAutoExpandDelay(Cardinal value) { FAutoExpandDelay = value; }
    Cardinal AutoScrollDelay() const { return FAutoScrollDelay; }
    void SetAutoScrollDelay(Cardinal value) { FAutoScrollDelay = value; }
    Cardinal AutoScrollInterval() const { return FAutoScrollInterval; }
    // Kept within 1..1000.
    void SetAutoScrollInterval(Cardinal value);
    Cardinal EditDelay() const { return FEditDelay; }
    void SetEditDelay(Cardinal value) { FEditDelay = value; }
    Cardinal ChangeDelay() const { return FChangeDelay; }
    void SetChangeDelay(Cardinal value) { FChangeDelay = value; }
    TVTIncrementalSearch IncrementalSearch() const { return FIncrementalSearch; }
    void SetIncrementalSearch(TVTIncrementalSearch value);
    TVTSearchDirection IncrementalSearchDirection() const { return FSearchDirection; }
    void SetIncrementalSearchDirection(TVTSearchDirection value) { FSearchDirection = value; }
    TVTSearchStart IncrementalSearchStart() const { return FSearchStart; }
    void SetIncrementalSearchStart(TVTSearchStart value) { FSearchStart = value; }
    Cardinal IncrementalSearchTimeout() const { return FSearchTimeout; }
    void SetIncrementalSearchTimeout(Cardinal value) { FSearchTimeout = value; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    Cardinal RootNodeCount() const;
    void SetRootNodeCount(Cardinal value);
    int BackgroundOffsetX() const { return FBackgroundOffsetX; }
    void SetBackgroundOffsetX(int value);
    int BackgroundOffsetY() const { return FBackgroundOffsetY; }
    void SetBackgroundOffsetY(int value);
    // Scroll offsets (0 or negative).
    int OffsetX() const { return FOffsetX; }
    void SetOffsetX(int value);
    int OffsetY() const { return FOffsetY; }
    void SetOffsetY(int value);

    TPicture* Background() const { return FBackground.get(); }
    void SetBackground(TPicture* value);
    // Copies the background picture in tiles over R of Target (SRCCOPY); the first tile starts
    // at the picture position BackgroundOffsetX/Y plus the scroll position, wrapped modulo the
    // picture size.
    void TileBackground(TCanvas* target, const TRect& r);
    // Scrolls vertically so that the node's row starts at the top (expanding its ancestors).
    PVirtualNode TopNode();
    void SetTopNode(PVirtualNode node);
    // The form's rescaling: with toAutoChangeScale node heights follow a height rescale.
    virtual void ChangeScale(int m, int d);

    TCustomVirtualTreeOptions* TreeOptions() const { return FOptions.get(); }
    void SetTreeOptions(TCustomVirtualTreeOptions* value) { FOptions->Assign(value); }
    TScrollBarOptions* ScrollBarOptions() const { return FScrollBarOptions.get(); }
    void SetScrollBarOptions(TScrollBarOptions* value) { FScrollBarOptions->Assign(value); }
    TVTColors* Colors() const { return FColors.get(); }
    void SetColors(TVTColors* value) { FColors->Assign(value); }
    TClipboardFormats* ClipboardFormats() const { return FClipboardFormats.get(); }
    void SetClipboardFormats(const TStringList* value);

    // Reads the older single "Options" set (identifiers such as "voMultiSelect") into the five
    // option sets; unknown identifiers are skipped.
    void ReadOldOptions(const std::vector<std::string>& identifiers);
    // Declares the legacy "Options" property, read through ReadOldOptions.
    void DefineProperties(TFiler* filer) override;

    // ---- Sizes and counts --------------------------------------------------------------------
    // Number of nodes that are visible with every ancestor expanded.
    Cardinal VisibleCount() const { return FVisibleCount; }
    // All nodes of the tree (the hidden root excluded).
    Cardinal TotalCount();
    // Height of all fully visible rows.
    Cardinal RootTotalHeight();
    PVirtualNode RootNode() const { return FRoot.get(); }
    Cardinal UpdateCount() const { return FUpdateCount; }
    TVirtualTreeStates TreeStates() const { return FStates; }
    Cardinal TotalInternalDataSize() const { return FTotalInternalDataSize; }
    // Size in bytes of one node record (fixed part, internal data, user data).
    size_t NodeRecordSize() const;
    // Changes whenever expansion, visibility or the node structure change.
    uint64_t StructureVersion() const { return FStructureVersion; }
    // Bytes the tree's node records take in their slabs.
    size_t NodeStorageBytes() const { return FNodePool.SlabBytes(); }

    // Reserves Size bytes (rounded up to pointer alignment) in every node record for a
    // descendant class and returns their offset within the record's data part.
    Cardinal AllocateInternalDataArea(Cardinal size);

    // ---- Node management ---------------------------------------------------------------------
    PVirtualNode InsertNodeAt(PVirtualNode node, TVTNodeAttachMode mode, void* userData = nullptr);
    PVirtualNode AddChild(PVirtualNode parent, void* userData = nullptr) {
        return InsertNodeAt(parent, TVTNodeAttachMode::amAddChildLast, userData);
    }
    void InitNode(PVirtualNode node);
    void InitChildren(PVirtualNode node);
    void RemoveNode(PVirtualNode node, bool reindex = true);
    void DeleteNode(PVirtualNode node, bool reindex = true) { RemoveNode(node, reindex); }
    void RemoveChildren(PVirtualNode node, bool resetHasChildren = false);
    void DeleteChildren(PVirtualNode node, bool resetHasChildren = false) {
        RemoveChildren(node, resetHasChildren);
    }
    void RemoveSelectedNodes();
    void ClearNodes();
    void Clear() { ClearNodes(); }
    void LockUpdates();
    void UnlockUpdates();
    void BeginUpdate() { LockUpdates(); }
    void EndUpdate() { UnlockUpdates(); }
    // Inline: load and save handlers ask for it once per node.
    void* NodeUserData(PVirtualNode node) const {
        Assert(FNodeDataSize >= 1, "NodeDataSize not initialized.");
        if (!node || node == FRoot.get()) return nullptr;
        return node->Data() + FTotalInternalDataSize;
    }
    template <typename T> T* NodeData(PVirtualNode node) const {
        return static_cast<T*>(NodeUserData(node));
    }
    Cardinal NodeLevel(PVirtualNode node) const;
    bool HasAsAncestor(PVirtualNode node, PVirtualNode potentialParent) const;
    PVirtualNode VisibleAncestorOf(PVirtualNode node) const;
    void StructureChange(PVirtualNode node, TChangeReason reason);
    void CollapseAll(PVirtualNode node = nullptr);
    void ExpandAll(PVirtualNode node = nullptr);
    void SetChildCount(PVirtualNode node, Cardinal newChildCount);
    Cardinal ChildCount(PVirtualNode node) const;
    bool HasChildren(PVirtualNode node) const;
    void SetHasChildren(PVirtualNode node, bool value);

    // Expansion, visibility and heights.
    void ToggleNode(PVirtualNode node);
    bool Expanded(PVirtualNode node) const;
    void SetExpanded(PVirtualNode node, bool value);
    bool IsVisible(PVirtualNode node) const;
    void SetVisible(PVirtualNode node, bool value);
    bool IsNodeExpanded(PVirtualNode node) const { return Expanded(node); }
    void SetNodeExpanded(PVirtualNode node, bool value) { SetExpanded(node, value); }
    bool IsNodeFullyVisible(PVirtualNode node) const;
    bool FullyVisible(PVirtualNode node) const { return IsNodeFullyVisible(node); }
    // Row height of a node; 0 for nil and for the hidden root.
    Cardinal NodeHeight(PVirtualNode node) const;
    // Heights above 65535 are stored as 65535.
    void SetNodeHeight(PVirtualNode node, Cardinal value);
    Cardinal VisibleChildCount(PVirtualNode node) const;
    void AdjustTotalCount(PVirtualNode node, int value, bool relative = false);
    void AdjustTotalHeight(PVirtualNode node, int value, bool relative = false);
    // Hands totals changed inside an update lock on to every ancestor.
    void FlushTotals();
    bool Disabled(PVirtualNode node) const;
    void SetDisabled(PVirtualNode node, bool value);

    // Sorting of sibling lists (stable merge sort through DoCompare).
    void SortTree(PVirtualNode node, TColumnIndex column,
                  TSortDirection direction = TSortDirection::sdAscending, bool doInit = true);
    void SortSubtree(PVirtualNode node, TColumnIndex column,
                     TSortDirection direction = TSortDirection::sdAscending, bool doInit = true);
    // Column and direction of automatic sorting (the header's, once there is one).
    TColumnIndex SortColumn() const { return FSortColumn; }
    void SetSortColumn(TColumnIndex value) { FSortColumn = value; }
    TSortDirection SortDirection() const { return FSortDirection; }
    void SetSortDirection(TSortDirection value) { FSortDirection = value; }

    // ---- Mouse and keyboard ------------------------------------------------------------------
    // Hit positions: where a point lies relative to the client area, and within a node's row.
    static constexpr uint32_t hiAbove = 0x0001;
    static constexpr uint32_t hiBelow = 0x0002;
    static constexpr uint32_t hiNowhere = 0x0004;
    static constexpr uint32_t hiOnItem = 0x0008;
    static constexpr uint32_t hiOnItemButton = 0x0010;
    static constexpr uint32_t hiOnItemCheckbox = 0x0020;
    static constexpr uint32_t hiOnItemIndent = 0x0040;
    static constexpr uint32_t hiOnItemLabel = 0x0080;
    static constexpr uint32_t hiOnItemLeft = 0x0100;
    static constexpr uint32_t hiOnItemRight = 0x0200;
    static constexpr uint32_t hiOnNormalIcon = 0x0400;
    static constexpr uint32_t hiOnStateIcon = 0x0800;
    static constexpr uint32_t hiToLeft = 0x1000;
    static constexpr uint32_t hiToRight = 0x2000;
    struct THitInfo {
        PVirtualNode HitNode = nullptr;
        uint32_t HitPositions = 0;
        TColumnIndex HitColumn = NoColumn;
    };
    // X and Y in client coordinates; with Relative the scroll offsets are taken out.
    THitInfo HitTestAt(int x, int y, bool relative);
    // The hit bits within a node's cell for a point Offset pixels from its leading edge.
    uint32_t HitTestRow(PVirtualNode node, int offset, int limit, TAlignment alignment,
                        bool mainColumn);
    void HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y, const THitInfo& hit);
    void HandleMouseUp(TMouseButton button, TShiftState shift, int x, int y, const THitInfo& hit);
    void HandleMouseDblClick(TMouseButton button, TShiftState shift, const THitInfo& hit);
    void HandleHotTrack(int x, int y);
    // A mouse move (client coordinates): hot tracking, panning, a pending drag starting, the
    // selection rectangle following.
    void HandleMouseMove(TShiftState shift, int x, int y);
    // Whether a node shows nothing in a column (the string tree: an empty text); a hit there
    // with toAutoSpanColumns belongs to the column whose text spans into it.
    virtual bool ColumnIsEmpty(PVirtualNode node, TColumnIndex column);
    // One auto-scroll step (timer 4).
    void DoTimerScroll();
    void StartWheelPanning(TPoint position);
    void StopWheelPanning();
    // One key of an incremental search: a character, or backspace (8).
    void IncrementalSearchKey(char16_t ch);
    const std::u16string& SearchBuffer() const { return FKeyboard.SearchBuffer(); }
    void SimulateMouseUp();
    // Scroll directions of the auto-scroll step.
    static constexpr uint8_t sdLeft = 0x01;
    static constexpr uint8_t sdUp = 0x02;
    static constexpr uint8_t sdRight = 0x04;
    static constexpr uint8_t sdDown = 0x08;
    uint8_t ScrollDirections() const { return FScroller.ScrollDirections(); }
    // Window timer ids of the mouse and keyboard work.
    static constexpr UINT_PTR ExpandTimer = 1;
    static constexpr UINT_PTR EditTimer = 2;
    static constexpr UINT_PTR HeaderTimer = 3;
    static constexpr UINT_PTR ScrollTimer = 4;
    static constexpr UINT_PTR SearchTimer = 7;
    // Posted by the end and the cancel of an edit.
    static constexpr uint32_t ReleaseEditLinkMessage = WM_APP + 31;
    // The allowed effects (DROPEFFECT_* bits) of DragOperations; an empty set allows all.
    uint32_t GetDragOperations() const;
    void KeyDown(Word& key, TShiftState shift) override;

    // ---- Drag and drop, clipboard, moving and copying ---------------------------------------
    // With dtVCL the framework's drag; with dtOLE an OLE drag of the selected nodes (at once
    // with Immediate, else once the mouse moves past the threshold).
    void BeginDrag(bool immediate, int threshold = -1);
    // Pixels the mouse must move, with the button down, before a pending OLE drag starts.
    int DragThreshold() const { return FDragThreshold; }
    // The drop-target side of both drag kinds. Source: see TVTDragOverEvent.
    bool TreeDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt,
                      uint32_t& effect);
    // A drag comes in over the tree: TreeDragOver in its enter state.
    bool DragEnter(TObject* source, TShiftState shift, TPoint pt, uint32_t& effect);
    // The drag left: DoDragOver hears it (no source, the leave state, the last drop mode), and
    // the drop target goes.
    void DragLeave();
    // The drop target becomes Node, its row and the old one's repainted at once.
    void SetDropTargetNode(PVirtualNode node);
    // After a scroll under a drag: the drop target is the node at the point again.
    void RefreshDropTargetAt(TPoint clientPoint);
    void TreeDragDrop(TObject* source, IDataObject* dataObject, TShiftState shift, TPoint pt,
                      uint32_t& effect);
    bool DragOver(TObject* source, int x, int y, TDragState state) override;
    void DragDrop(TObject* source, int x, int y) override;
    void DoStartDrag(TDragObject*& dragObject) override;
    void DoEndDrag(TObject* target, int x, int y) override;
    virtual bool DoDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt,
                            TVTDropMode mode, uint32_t& effect);
    virtual void DoDragDrop(TObject* source, IDataObject* dataObject,
                            const std::vector<uint32_t>& formats, TShiftState shift, TPoint pt,
                            uint32_t& effect, TVTDropMode mode);
    virtual bool DoDragAllowed(PVirtualNode node, TColumnIndex column);
    void CopyToClipboard();
    void CutToClipboard();
    // False when the clipboard holds nothing the tree can take.
    bool PasteFromClipboard();
    void CancelCutOrCopy();
    void DeleteCutNodes();
    // The source tree of this process named by the data object's reference, or nil.
    static TBaseVirtualTree* GetTreeFromDataObject(IDataObject* dataObject);
    bool ProcessOLEData(TBaseVirtualTree* source, IDataObject* dataObject, PVirtualNode targetNode,
                        TVTNodeAttachMode mode, bool optimizedMove);
    void MoveNodeTo(PVirtualNode source, TBaseVirtualTree* targetTree, PVirtualNode target,
                    TVTNodeAttachMode mode, bool childrenOnly);
    // Copies the subtree (or its children) with its user data; returns the first new node.
    PVirtualNode CopyNodeTo(PVirtualNode source, TBaseVirtualTree* targetTree, PVirtualNode target,
                            TVTNodeAttachMode mode, bool childrenOnly);
    virtual int32_t RenderOLEData(const FORMATETC& format, STGMEDIUM& medium, bool forClipboard);
    // Formats the tree does not render itself: OnRenderOLEData's answer, E_FAIL without one.
    virtual int32_t DoRenderOLEData(const FORMATETC& format, STGMEDIUM& medium, bool forClipboard);
    virtual void GetNativeClipboardFormats(std::vector<FORMATETC>& formats);
    // OnGetUserClipboardFormats, which may add formats to those offered.
    virtual void DoGetUserClipboardFormats(std::vector<FORMATETC>& formats);
    TVTGetUserClipboardFormatsEvent OnGetUserClipboardFormats;
    // Repaints TreeRect (client coordinates) at once; a shown drag image is taken out first
    // and, with ReshowDragImage, put back, so that it leaves no traces.
    void UpdateWindowAndDragImage(const TRect& treeRect, bool updateNCArea, bool reshowDragImage);
    // The selected nodes (or, with CutCopySet, those marked for cut or copy), top level only, in
    // tree order, each as a node chunk.
    void WriteSelectionToStream(TStream& stream, bool cutCopySet);
    // Reads a stream written by SaveToStream as new nodes at Target by Mode; the new top-level
    // nodes in order.
    std::vector<PVirtualNode> InsertFromStream(TStream& stream, PVirtualNode target,
                                               TVTNodeAttachMode mode);
    TVTDragManager* DragManager();
    // The selected rows around the cursor (DragWidth x DragHeight) become the picture that
    // follows an OLE drag of Data; nothing with diNoImage.
    void PrepareDragImage(IDataObject* data);
    // The data object the tree placed on the clipboard (nil when the clipboard moved on).
    IDataObject* ClipboardDataObject() const { return FClipboardDataObject; }
    void ClipboardDataObjectGone(IDataObject* dataObject);
    TVTDragOverEvent OnDragOver;
    TVTDragDropEvent OnDragDrop;
    TVTDragAllowedEvent OnDragAllowed;
    TVTRenderOLEDataEvent OnRenderOLEData;
    TVTCreateDataObjectEvent OnCreateDataObject;
    // The drag manager OnCreateDragManager supplies, or nil.
    virtual TVTDragManager* DoCreateDragManager();
    TVTCreateDragManagerEvent OnCreateDragManager;

    // ---- Streaming ---------------------------------------------------------------------------
    // Writes the header (version 2) and the node chunks of Node, or of every top-level node for
    // nil.
    void SaveToStream(TStream& stream, PVirtualNode node = nullptr);
    // Replaces the tree's nodes with the stream's. Load errors raise EVirtualTreeError; the
    // nodes read before the failure stay, with exact totals.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void WriteNode(TStream& stream, PVirtualNode node);
    virtual void WriteChunks(TStream& stream, PVirtualNode node);
    virtual void ReadNode(TStream& stream, int version, PVirtualNode node);
    virtual bool ReadChunk(TStream& stream, int version, PVirtualNode node, int chunkId,
                           int chunkSize);
    virtual void SkipNode(TStream& stream);
    void FinishChunkHeader(TStream& stream, int64_t startPos, int64_t endPos);

    // ---- Walkers -----------------------------------------------------------------------------
    PVirtualNode FirstNode();
    PVirtualNode FirstNodeNoInit() const;
    PVirtualNode FirstChildOf(PVirtualNode node);
    PVirtualNode FirstChildNoInit(PVirtualNode node) const;
    PVirtualNode FirstInitializedNode();
    PVirtualNode FirstVisibleNode();
    PVirtualNode FirstVisibleNodeNoInit() const;
    PVirtualNode FirstVisibleChildOf(PVirtualNode node);
    PVirtualNode FirstSelectedNode();
    PVirtualNode NextSelectedNode(PVirtualNode node);
    PVirtualNode FirstCutCopyNode();
    PVirtualNode NextCutCopyNode(PVirtualNode node);
    PVirtualNode LastNode(PVirtualNode node = nullptr);
    PVirtualNode LastNodeNoInit(PVirtualNode node = nullptr) const;
    PVirtualNode LastChildOf(PVirtualNode node);
    PVirtualNode LastChildNoInit(PVirtualNode node) const;
    PVirtualNode LastVisibleNode(PVirtualNode node = nullptr);
    PVirtualNode LastVisibleNodeNoInit(PVirtualNode node = nullptr) const;
    PVirtualNode LastVisibleChildOf(PVirtualNode node);
    PVirtualNode LastVisibleChildNoInit(PVirtualNode node) const;
    PVirtualNode NextNodeInTree(PVirtualNode node);
    PVirtualNode NextNodeNoInit(PVirtualNode node) const;
    PVirtualNode NextInitializedNode(PVirtualNode node);
    PVirtualNode NextSiblingOf(PVirtualNode node);
    PVirtualNode NextVisibleNode(PVirtualNode node);
    PVirtualNode NextVisibleNodeNoInit(PVirtualNode node) const;
    PVirtualNode NextVisibleSiblingOf(PVirtualNode node);
    PVirtualNode PreviousNode(PVirtualNode node);
    PVirtualNode PreviousNodeNoInit(PVirtualNode node) const;
    PVirtualNode PreviousSiblingOf(PVirtualNode node);
    PVirtualNode PreviousVisibleNode(PVirtualNode node);
    PVirtualNode PreviousVisibleNodeNoInit(PVirtualNode node) const;
    PVirtualNode PreviousVisibleSiblingOf(PVirtualNode node);
    PVirtualNode PreviousVisibleSiblingNoInit(PVirtualNode node) const;
    PVirtualNode GetNodeAt(int x, int y) { return NodeAtPoint(x, y); }
    PVirtualNode NodeAtPoint(int x, int y);
    PVirtualNode NodeAtPointEx(int x, int y, bool relative, int& nodeTop);
    // Vertical position of a node's row in tree coordinates (walks the visible nodes).
    int NodeTop(PVirtualNode node);
    std::vector<PVirtualNode> SortedSelection(bool topLevelOnly);
    std::vector<PVirtualNode> SortedCutCopySet(bool topLevelOnly);

    // Runs Proc over the nodes of a subtree (all nodes for nil) in tree order; deleting nodes
    // meanwhile fails with an assertion. Proc may set Abort to stop.
    void IterateSubtree(PVirtualNode node,
                        const std::function<void(PVirtualNode, bool& abort)>& proc);

    // ---- Positions and line images -------------------------------------------------------------
    int CompareNodePositions(PVirtualNode node1, PVirtualNode node2);
    int LevelDifference(PVirtualNode node1, PVirtualNode node2) const;
    // One entry per indentation level; returns the number of selected ancestors met.
    int DetermineLineImageAndSelectLevel(PVirtualNode node, std::vector<TVTLineType>& lineImage);
    // Vertical position of a node's button and tree lines within its row (Algorithms of the
    // line alignment): Y of the lines given the image heights that apply (0 for none).
    int NodeLineOffset(PVirtualNode node, int imageHeight) const;
    // The same with the height of Images when the row shows a normal image, else that of
    // StateImages when it shows a state image.
    int NodeLineOffset(PVirtualNode node, bool hasNormalImage, bool hasStateImage) const;

    // ---- Check states ------------------------------------------------------------------------
    TCheckState CheckState(PVirtualNode node) const;
    // Applies a check state with propagation; false when refused or not applicable.
    bool SetCheckState(PVirtualNode node, TCheckState value);
    TCheckType CheckType(PVirtualNode node) const;
    void SetCheckType(PVirtualNode node, TCheckType value);

    // ---- Selection and focus -----------------------------------------------------------------
    bool Selected(PVirtualNode node) const;
    void SetSelected(PVirtualNode node, bool value);
    // Selects or deselects one node; a node newly selected makes a focused column that is not
    // shown give way to the main column.
    void SetNodeSelected(PVirtualNode node, bool value);
    // Entries marked for packing inside an update lock are no longer selected.
    Cardinal SelectedCount() const { return Cardinal(FSelection.size() - FSelectionMarked); }
    void AddToSelection(PVirtualNode node);
    bool InternalAddToSelection(const std::vector<PVirtualNode>& newItems, bool forceInsert);
    void RemoveFromSelection(PVirtualNode node);
    void ClearSelection();
    void SelectAll(bool visibleOnly);
    int FindNodeInSelection(PVirtualNode node) const;
    // Selects the visible nodes from StartNode to EndNode (in tree order); without AddOnly the
    // rest of the selection goes.
    void SelectNodes(PVirtualNode startNode, PVirtualNode endNode, bool addOnly);
    void HandleClickSelection(PVirtualNode lastFocused, PVirtualNode newNode, bool shift,
                              bool ctrl);
    // Selection by a rectangle drawn with the mouse (tree coordinates): nodes whose content
    // lies inside exactly one of the two rectangles change; with Toggle (Ctrl) they flip.
    void HandleDrawSelection(const TRect& oldRect, const TRect& newRect, bool toggle);
    // Where a node's content (check image, images, label) starts and ends horizontally.
    TRect NodeContentRect(PVirtualNode node, int nodeTop);
    PVirtualNode RangeAnchor() const { return FRangeAnchor; }
    PVirtualNode FocusedNode() const { return FFocusedNode; }
    void SetFocusedNode(PVirtualNode node);
    TColumnIndex FocusedColumn() const { return FFocusedColumn; }
    void SetFocusedColumn(TColumnIndex value);
    PVirtualNode HotNode() const { return FCurrentHotNode; }
    PVirtualNode DropTargetNode() const { return FDropTargetNode; }

    // Change notification (OnChange now, or after ChangeDelay once the change timer elapses).
    void Change(PVirtualNode node);
    // Fires the delayed notifications at once (what the change and structure-change timers do
    // when they elapse).
    void ChangeTimerElapsed();
    void StructureChangeTimerElapsed();
    bool ChangeTimerRunning() const { return FChangeTimerRunning; }
    // Window timer ids of the delayed notifications.
    static constexpr UINT_PTR ChangeTimer = 5;
    static constexpr UINT_PTR StructureChangeTimer = 6;
    bool StructureChangeTimerRunning() const { return FStructureChangeTimerRunning; }

    // ---- Bitmaps -----------------------------------------------------------------------------
    const TButtonGlyph& PlusGlyph() const { return FPlusGlyph; }
    const TButtonGlyph& MinusGlyph() const { return FMinusGlyph; }
    // Rows of the 8 x 8 monochrome tree-line pattern (bit set = background).
    const std::array<uint8_t, 8>& LinePattern() const { return FLinePattern; }
    void PrepareBitmaps(bool needButtons, bool needLines);

    void InterruptValidation();
    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;
    bool CanFocus() override;
    // The standard edit actions (cut, copy, paste, delete, select all) act on the tree; true
    // when the action was one of them.
    bool ExecuteAction(TBasicAction* action) override;
    // Enables such an action by the selection and the read-only option.
    bool UpdateAction(TBasicAction* action) override;
    void WndProc(TMessage& message) override;
    // True when the tree has a popup menu or DoGetPopupMenu finds one for the node.
    bool HasPopupMenu(PVirtualNode node, TColumnIndex column, TPoint pos);

    // ---- Events ------------------------------------------------------------------------------
    TVTGetNodeDataSizeEvent OnGetNodeDataSize;
    TVTInitNodeEvent OnInitNode;
    TVTInitChildrenEvent OnInitChildren;
    TVTFreeNodeEvent OnFreeNode;
    TVTChangeEvent OnChange;
    TVTChangeEvent OnChecked;
    TVTCheckChangingEvent OnChecking;
    TVTChangeEvent OnExpanded;
    TVTChangingEvent OnExpanding;
    TVTChangeEvent OnCollapsed;
    TVTChangingEvent OnCollapsing;
    TVTChangeEvent OnResetNode;
    TVTChangeEvent OnNodeCopied;
    TVTChangeEvent OnNodeMoved;
    TVTNodeCopyingEvent OnNodeCopying;
    TVTNodeMovingEvent OnNodeMoving;
    TVTStructureChangeEvent OnStructureChange;
    TVTUpdatingEvent OnUpdating;
    TVTFocusChangingEvent OnFocusChanging;
    TVTFocusChangeEvent OnFocusChanged;
    TVTCompareEvent OnCompareNodes;
    TVTGetLineStyleEvent OnGetLineStyle;
    TVTStateChangeEvent OnStateChange;
    TVTScrollEvent OnScroll;
    TVTGetCursorEvent OnGetCursor;
    TVTGetImageEvent OnGetImageIndex;
    TVTHotNodeChangeEvent OnHotChange;
    TVTIncrementalSearchEvent OnIncrementalSearch;
    TVTSaveNodeEvent OnLoadNode;
    TVTSaveNodeEvent OnSaveNode;
    TVTEditChangingEvent OnEditing;
    TVTKeyActionEvent OnKeyAction;
    TVTPopupEvent OnGetPopupMenu;
    TVTHelpContextEvent OnGetHelpContext;
    TVTBackgroundPaintEvent OnPaintBackground;

    // ---- Dispatchers (each fires its event; the default answer when none is assigned) --------
    virtual void DoFocusNode(PVirtualNode node, bool ask);
    virtual void DoFreeNode(PVirtualNode node);
    virtual THintAnimationType GetHintAnimationType();
    virtual void DoGetCursor(TCursor& cursor);
    virtual bool DoKeyAction(Word& charCode, TShiftState& shift);
    virtual TPopupMenu* DoGetPopupMenu(PVirtualNode node, TColumnIndex column, TPoint position);
    // Shows the menu DoGetPopupMenu finds at Position (client coordinates).
    virtual void DoPopupMenu(PVirtualNode node, TColumnIndex column, TPoint position);
    virtual bool DoPaintBackground(TCanvas* canvas, const TRect& r);
    virtual int DoGetImageIndex(PVirtualNode node, TVTImageKind kind, TColumnIndex column,
                                bool& ghosted, int& index);
    virtual void DoGetLineStyle(std::array<uint8_t, 8>& bits);
    virtual std::u16string DoGetNodeHint(PVirtualNode node, TColumnIndex column);
    virtual std::u16string DoGetNodeTooltip(PVirtualNode node, TColumnIndex column);
    virtual int DoGetNodeWidth(PVirtualNode node, TColumnIndex column);
    // Width of a label of the given node width: a text margin on either side added.
    virtual int LabelWidth(int nodeWidth) const { return nodeWidth + 2 * FTextMargin; }
    virtual void DoHotChange(PVirtualNode old, PVirtualNode newNode);
    virtual int DoIncrementalSearch(PVirtualNode node, const std::u16string& text);
    virtual void DoInitChildren(PVirtualNode node, Cardinal& childCount);
    virtual void DoInitNode(PVirtualNode parent, PVirtualNode node,
                            TVirtualNodeInitStates& initStates);
    virtual void DoLoadUserData(PVirtualNode node, TStream& stream);
    virtual void DoNodeCopied(PVirtualNode node);
    virtual bool DoNodeCopying(PVirtualNode node, PVirtualNode newParent);
    virtual void DoNodeMoved(PVirtualNode node);
    virtual bool DoNodeMoving(PVirtualNode node, PVirtualNode newParent);
    virtual void DoReset(PVirtualNode node);
    virtual void DoSaveUserData(PVirtualNode node, TStream& stream);
    virtual void DoScroll(int deltaX, int deltaY);
    virtual void DoStateChange(TVirtualTreeStates enter, TVirtualTreeStates leave = {});
    virtual void DoStructureChange(PVirtualNode node, TChangeReason reason);
    virtual void DoUpdating(TVTUpdateState state);
    virtual int DoGetNodeDataSize();
    // Early dispatchers.
    virtual void DoChange(PVirtualNode node);
    virtual void DoChecked(PVirtualNode node);
    virtual bool DoChecking(PVirtualNode node, TCheckState& newCheckState);
    virtual void DoCollapsed(PVirtualNode node);
    virtual bool DoCollapsing(PVirtualNode node);
    virtual void DoExpanded(PVirtualNode node);
    virtual bool DoExpanding(PVirtualNode node);
    virtual int DoCompare(PVirtualNode node1, PVirtualNode node2, TColumnIndex column);
    virtual void DoFocusChange(PVirtualNode node, TColumnIndex column);
    virtual bool DoFocusChanging(PVirtualNode oldNode, PVirtualNode newNode, TColumnIndex oldColumn,
                                 TColumnIndex newColumn);
    virtual bool DoCanEdit(PVirtualNode node, TColumnIndex column);
    // Cancels the edit under way (true when it was cancelled or none was under way).
    virtual bool DoCancelEdit();
    // Ends the edit under way; false when the edit link refuses, which keeps it running.
    virtual bool DoEndEdit();
    // Starts editing the focused node in the edit column.
    virtual void DoEdit();
    // The edit link for a node and column: OnCreateEditor's; raises when there is none.
    virtual std::unique_ptr<IVTEditLink> DoCreateEditor(PVirtualNode node, TColumnIndex column);
    virtual void DoEdited(PVirtualNode node, TColumnIndex column);
    virtual void DoEditCancelled(TColumnIndex column);

    // Image index of a node's check box (-1 without a check type).
    virtual int GetCheckImage(PVirtualNode node);
    // The font and the text rectangle of a node's text (base: the tree's font, no rectangle).
    virtual void GetTextInfo(PVirtualNode node, TColumnIndex column, TFont* font, TRect& r,
                             std::u16string& text);
    // Class references of the header and its columns.
    virtual TVirtualTreeColumnClass GetColumnClass() const;
    virtual TVTHeaderClass GetHeaderClass() const;
    // Options object a tree of this class uses.
    virtual std::unique_ptr<TCustomVirtualTreeOptions> GetOptionsClass();
    // Drop effect (the platform's DROPEFFECT_* bits) from the source, the modifier keys and the
    // allowed effects.
    virtual uint32_t SuggestDropEffect(const TObject* source, bool shift, bool ctrl, TPoint pt,
                                       uint32_t allowedEffects);

    // Hooks the option objects call back.
    void OptionsPaintChanged(TVTPaintOptions oldOptions, TVTPaintOptions newOptions);
    void OptionsAutoChanged(TVTAutoOptions oldOptions, TVTAutoOptions newOptions);
    void OptionsSelectionChanged(TVTSelectionOptions oldOptions, TVTSelectionOptions newOptions);
    void OptionsMiscChanged(TVTMiscOptions oldOptions, TVTMiscOptions newOptions);
    void ScrollBarsChanged();
    void ColorsChanged(int index);

    // ---- In-place editing ----------------------------------------------------------------------
    // Starts editing Node (which becomes the focused node) in Column; true when an edit is
    // under way afterwards.
    bool EditNode(PVirtualNode node, TColumnIndex column);
    bool EndEditNode();
    bool CancelEditNode();
    bool IsEditing() const { return FStates.Contains(TVirtualTreeState::tsEditing); }
    // Places the editor over the focused node's text (the whole row for a multi-line node).
    void UpdateEditBounds();
    IVTEditLink* EditLink() const { return FEditLink.get(); }
    TColumnIndex EditColumn() const { return FEditColumn; }
    // The node a pending edit timer was started for; it edits only that node.
    PVirtualNode FEditTimerNode = nullptr;
    TVTCreateEditorEvent OnCreateEditor;
    TVTEditChangeEvent OnEdited;
    TVTEditCancelEvent OnEditCancelled;

    // ---- Header --------------------------------------------------------------------------------
    TVTHeader* Header() const { return FHeader.get(); }
    // The picture of the dragged nodes (transparency 200, fading).
    TVTDragImage* DragImage() const { return FDragImage.get(); }
    void SetHeader(TVTHeader* value) { FHeader->Assign(value); }
    // The header or its columns changed: repaint, and with UpdateScrollBars the ranges too.
    void HeaderChanged(bool updateScrollBars);
    // Owner-drawn header columns (hoOwnerDraw with OnHeaderDraw); true when the event drew.
    virtual bool DoHeaderDraw(TCanvas* canvas, TVirtualTreeColumn* column, const TRect& r,
                              bool hover, bool pressed, bool dropMark);
    // After the header painted a column.
    virtual void DoHeaderDrawParts(const THeaderPaintInfo& info);
    // The header's rectangle in window coordinates: the window less its frame (1 pixel for a
    // border, 3 for a sizing frame, 2 for a client edge), as high as the shown header.
    TRect UpdateHeaderRect();
    TRect HeaderRect() const { return FHeaderRect; }
    virtual void DoColumnResize(TColumnIndex column);
    virtual void DoGetHeaderCursor(TCursor& cursor);
    virtual void DoHeaderClick(TColumnIndex column, TMouseButton button, TShiftState shift, int x,
                               int y);
    virtual void DoHeaderDblClick(TColumnIndex column, TMouseButton button, TShiftState shift,
                                  int x, int y);
    virtual void DoColumnClick(TColumnIndex column, TShiftState shift);
    virtual void DoColumnDblClick(TColumnIndex column, TShiftState shift);
    virtual bool DoHeaderDragging(TColumnIndex column);
    virtual void DoHeaderDragged(TColumnIndex column, int oldPosition);
    virtual void DoHeaderDraggedOut(TColumnIndex column, TPoint dropPosition);
    virtual void DoHeaderMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DoHeaderMouseMove(TShiftState shift, int x, int y);
    virtual void DoHeaderMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    // Widest content of the visible nodes in a column, margins included.
    int GetMaxColumnWidth(TColumnIndex column);
    TVTHeaderNotifyEvent OnColumnResize;
    TVTHeaderPaintEvent OnHeaderDraw;
    TVTHeaderDrawPartsEvent OnHeaderDrawParts;
    TVTGetHeaderCursorEvent OnGetHeaderCursor;
    TVTHeaderClickEvent OnHeaderClick;
    TVTHeaderClickEvent OnHeaderDblClick;
    TVTHeaderDraggingEvent OnHeaderDragging;
    TVTHeaderDraggedEvent OnHeaderDragged;
    TVTHeaderDraggedOutEvent OnHeaderDraggedOut;
    TVTHeaderMouseEvent OnHeaderMouseDown;
    TVTHeaderMouseMoveEvent OnHeaderMouseMove;
    TVTHeaderMouseEvent OnHeaderMouseUp;
    TVTColumnClickEvent OnColumnClick;
    TVTColumnDblClickEvent OnColumnDblClick;

    // ---- Painting ------------------------------------------------------------------------------
    // Paints the rows that meet Window (tree coordinates) into Target with Window's top-left
    // corner at TargetPoint, one row at a time through a reused row bitmap.
    void RenderToCanvas(TCanvas* target, TRect window, TPoint targetPoint, uint8_t paintOptions);
    // (0, 0, larger of client width and horizontal range, larger of client height and
    // vertical range).
    TRect TreeExtent();
    // A node's rectangle in client coordinates; empty when an ancestor is hidden or collapsed.
    TRect DisplayRect(PVirtualNode node, TColumnIndex column, bool textOnly,
                      bool unclipped = false);
    void InvalidateColumn(TColumnIndex column);
    // The widest node extent (painting widens it; resizing, shrinking columns, deleting and
    // collapsing have it measured anew from the rows in the window), at least the columns' width.
    int RangeX() const;
    // Where a node's label starts in its cell: indentation (main column), margin and images.
    int NodeContentLeft(PVirtualNode node, TColumnIndex column);
    int RangeY();
    TVTDropMode DropMode() const { return FDropMode; }
    void SetDropTarget(PVirtualNode node, TVTDropMode mode);
    // Rows of the last RenderToCanvas call (tests and benchmarks read it).
    int LastPaintedRows() const { return FPainter.LastPaintedRows(); }

    virtual void PaintCheckImage(const TVTPaintInfo& paintInfo);
    virtual void PaintImage(const TVTPaintInfo& paintInfo, const TVTImageInfo& image,
                            TCustomImageList* images);
    virtual void PaintNodeButton(TCanvas* canvas, PVirtualNode node, const TRect& r, int buttonX,
                                 int buttonY);
    virtual void PaintTreeLines(const TVTPaintInfo& paintInfo, int vAlignment, int indentSize,
                                const std::vector<TVTLineType>& lineImage);
    virtual void PaintSelectionRectangle(TCanvas* canvas, int windowLeft,
                                         const TRect& selectionRect, const TRect& targetRect);
    virtual void DoPaintNode(TVTPaintInfo& paintInfo);
    virtual void DoPaintDropMark(TCanvas* canvas, PVirtualNode node, const TRect& r);
    virtual void DrawDottedHLine(const TVTPaintInfo& paintInfo, int left, int right, int top);
    virtual void DrawDottedVLine(const TVTPaintInfo& paintInfo, int top, int bottom, int left);
    // Selection rectangle being drawn with the mouse (tree coordinates; empty when none).
    void SetSelectionRectangle(const TRect& r) { FSelectRect = r; }

    TVTBeforeItemPaintEvent OnBeforeItemPaint;
    TVTAfterItemPaintEvent OnAfterItemPaint;
    TVTBeforeItemEraseEvent OnBeforeItemErase;
    TVTAfterItemEraseEvent OnAfterItemErase;
    TVTCellPaintEvent OnBeforeCellPaint;
    TVTCellPaintEvent OnAfterCellPaint;
    virtual void DoBeforePaint(TCanvas* canvas);
    virtual void DoAfterPaint(TCanvas* canvas);
    TVTPaintEvent OnBeforePaint;
    TVTPaintEvent OnAfterPaint;

    // ---- Window work -------------------------------------------------------------------------
    virtual void InvalidateNode(PVirtualNode node);
    virtual void InvalidateToBottom(PVirtualNode node);
    void RedrawWindowWithFrame();
    virtual void InvalidatePositionCache();
    // The column carrying the tree structure (no column while the header has none).
    virtual TColumnIndex MainColumn() const;
    // Number of repaints requested (tests and the window layer read it).
    int RepaintRequests() const { return FRepaintRequests; }

    // ---- Scrolling -----------------------------------------------------------------------------
    // Brings the node's row (and with Horizontally its text) into the client area; true when
    // an offset changed.
    virtual bool ScrollIntoView(PVirtualNode node, bool center, bool horizontally = false);
    // Options of DoSetOffsetXY.
    static constexpr uint32_t suoRepaintHeader = 0x01;
    static constexpr uint32_t suoRepaintScrollBars = 0x02;
    static constexpr uint32_t suoScrollClientArea = 0x04;
    static constexpr uint32_t suoUpdateNCArea = 0x08;
    static constexpr uint32_t DefaultScrollUpdateFlags = 0x0F;
    virtual bool DoSetOffsetXY(TPoint value, uint32_t options, const TRect* clipRect = nullptr);
    virtual void UpdateScrollBars(bool doRepaint);
    // The next scroll-bar update measures the horizontal range anew (content may have narrowed).
    void InvalidateRangeX() { FScroller.InvalidateRangeX(); }
    void UpdateHorizontalScrollBar(bool doRepaint);
    void UpdateVerticalScrollBar(bool doRepaint);
    // Fires first in UpdateScrollBars.
    TNotifyEvent OnUpdateScrollBars;
    void ToggleSelection(PVirtualNode startNode, PVirtualNode endNode);
    void ValidateNode(PVirtualNode node, bool recursive);
    void ValidateChildren(PVirtualNode node, bool recursive);
    virtual void ReinitNode(PVirtualNode node, bool recursive);
    void ReinitChildren(PVirtualNode node, bool recursive);
    void ResetNode(PVirtualNode node);
    void RepaintNode(PVirtualNode node);

    // Kept by tests to see the worker registrations.
    bool IsIterating() const { return FStates.Contains(TVirtualTreeState::tsIterating); }

protected:
    // The window registers the drag manager as its OLE drop target with toAcceptOLEDrop.
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    // Paints the update rectangle of the client area through RenderToCanvas.
    void Paint() override;
    // Invalidates the window when it exists and the tree is not loading.
    void RequestRepaint();
    void StopTimer(UINT_PTR id);
    // Sends WM_SETREDRAW to a shown window: off while updating.
    void SetUpdateState(bool updating);
    bool IsUpdating() const { return FUpdateCount > 0; }
    bool IsReadOnly() const;
    PVirtualNode MakeNewNode();
    void FreeNodeRecord(PVirtualNode node);
    void LinkNode(PVirtualNode node, PVirtualNode destination, TVTNodeAttachMode mode);
    void UnlinkNode(PVirtualNode node, bool keepFocus, bool reindex);
    Cardinal CountVisibleChildren(PVirtualNode node) const;
    // WalkSumsHeights: the calling walk rebuilds the totals on its way up (ExpandAll,
    // CollapseAll), so the toggle leaves the heights alone.
    void ToggleNodeImpl(PVirtualNode node, int fullyVisibleHint, bool walkSumsHeights);
    void LeaveWalkedNode(PVirtualNode node, PVirtualNode start, bool descended);
    void DeleteSubtreeNodes(PVirtualNode node);
    void DetermineHiddenChildrenFlag(PVirtualNode node);
    void DoCheckClick(PVirtualNode node, TCheckState newCheckState);
    bool DoSetCheckState(PVirtualNode node, TCheckState newState);
    bool CheckParentState(PVirtualNode node, TCheckState newState);
    void PackSelection();
    void ResetRangeAnchor();
    bool ChangeFocus(PVirtualNode node, bool ask);
    void SetRootNodeCountInternal(Cardinal value);
    void AdjustCoordinatesByIndent(int& left) const;
    // Puts the options object of the tree's own class in place, keeping the settings: the
    // class query cannot reach a descendant from the base constructor, so the descendant's
    // constructor calls this.
    void UseOptionsClass() {
        std::unique_ptr<TCustomVirtualTreeOptions> options = GetOptionsClass();
        options->Assign(FOptions.get());
        FOptions = std::move(options);
    }
    // Bytes reserved for the user data of each node; a descendant whose record is larger than
    // the NodeDataSize it publishes asks for more.
    virtual size_t UserDataCapacity(size_t nodeDataSize) const { return nodeDataSize; }
    void MergeSortSiblings(PVirtualNode parent, TColumnIndex column, TSortDirection direction);

private:
    void PutSelectionOnClipboard(bool cut);
    void QueuePending(PVirtualNode node);
    bool DeferTotals() const { return FUpdateCount > 0 && FEagerTotals == 0; }
    void ForgetNode(PVirtualNode node);
    bool KnownFullyVisible(PVirtualNode node) const;
    PVirtualNode RememberVisible(PVirtualNode node) const;
    // Initialises a node a walker returns (nil passes).
    PVirtualNode Initialized(PVirtualNode node);
    // The highest node from a node up to the top level that does not show: hidden, or below
    // a collapsed parent (nil for a fully visible node).
    PVirtualNode HiddenTop(PVirtualNode node) const;
    PVirtualNode NextVisibleStep(PVirtualNode node) const;
    PVirtualNode PreviousVisibleStep(PVirtualNode node) const;
    // Cancels the edit under way when it changes a descendant of Node (or Node itself with
    // Itself): the edit link holds the node, which is about to be freed.
    void CancelEditOf(PVirtualNode node, bool itself);
    void InternalRemoveFromSelection(PVirtualNode node);
    // Ends the drop-target side of a drag: timers stopped, the drop target's row repainted.
    void ClearDropTarget();
    void SwapImageList(TCustomImageList*& field, TChangeLink& link, TCustomImageList* value);
    void ImageListChange(TObject* sender);
    friend class TWorkerThread;
    friend class TVTKeyboard;
    friend class TVTPainter;
    friend class TVTScroller;
    friend class TVTHeaderFrame;
    friend struct TEagerTotals;

    // The tree's reference to its drag manager (reference counted like every COM object).
    struct TReleaseDragManager {
        void operator()(TVTDragManager* manager) const noexcept;
    };
    std::unique_ptr<TVTDragManager, TReleaseDragManager> FDragManager;
    // Observed only: the clipboard holds the reference.
    IDataObject* FClipboardDataObject = nullptr;
    uint32_t FDropEffect = 0;
    bool FDropRegistered = false;
    std::vector<PVirtualNode> InsertNodes(TStream& stream, PVirtualNode target,
                                          TVTNodeAttachMode mode);
    // Message families of WndProc; true when the message needs nothing more.
    bool MouseMessage(TMessage& message);
    void MouseButtonDown(TMessage& message, TPoint p);
    bool KeyboardMessage(TMessage& message);
    bool AppearanceMessage(TMessage& message);
    bool TimerMessage(TMessage& message);
    bool FocusMessage(TMessage& message);
    void SizeMessage(TMessage& message);
    bool TreeMessage(TMessage& message);
    void HintShowPause(TMessage& message);
    // WM_PRINT and WM_PRINTCLIENT: the header, and below it the client area as it is scrolled.
    void PrintTo(HDC dc);
    void HandleHintShow(TMessage& message);
    TVTHintData FHintData;
    // The selection rectangle drawn with the mouse now reaches the client point.
    void DrawSelectionTo(TPoint clientPoint, bool toggle);
    void StopMouseTimers();
    PVirtualNode FCheckNode = nullptr;
    TCheckState FPendingCheckState = csUncheckedNormal;
    TPoint FDownPoint;
    TPoint FDrawSelStart;
    PVirtualNode FDownNode = nullptr;

    void ReadNodeChunks(TStream& stream, int version, PVirtualNode node, int64_t pos, int64_t end);
    void FinishLoadedSubtree(PVirtualNode top, std::vector<PVirtualNode>& selected);
    // Where the chunk being read ends (the stream's size outside any chunk), and the nesting
    // depth of the node being read.
    int64_t FReadLimit = 0;
    int FReadDepth = 0;
    // Stands in for a plain memory stream while it is read: its bytes are taken in place
    // rather than through a call per field.
    TTreeReadView* FReadView = nullptr;
    // Where loaded nodes marked selected go while a stream is inserted.
    std::vector<PVirtualNode>* FLoadSelection = nullptr;
    // FReadView when Stream is that one, else null.
    TTreeReadView* ReadingInPlace(TStream& stream) const;
    // Collects what SaveToStream writes, so that chunk sizes are filled in place rather than
    // by seeking the target stream; the target gets the bytes in one write.
    TTreeWriteBuffer* FWriteBuffer = nullptr;
    // FWriteBuffer when Stream is that one, else null.
    TTreeWriteBuffer* WritingInPlace(TStream& stream) const;

    TNodePool FNodePool; // before everything that may hold nodes, so it goes last
    // The link of the edit under way, and the one of the last edit: an editor ends from inside
    // its own key handling, so it is freed only when the next edit starts or the tree goes.
    std::unique_ptr<IVTEditLink> FEditLink;
    std::unique_ptr<IVTEditLink> FEndedEditLink;
    TColumnIndex FEditColumn = NoColumn;
    // The node the edit under way changes.
    PVirtualNode FEditNode = nullptr;
    TBorderStyle FBorderStyle = bsSingle;
    TAlignment FAlignment = taLeftJustify;

    Cardinal FDefaultNodeHeight = 18;
    Cardinal FIndent = 18;
    int FMargin = 4;
    int FTextMargin = 4;
    int FNodeDataSize = -1;
    TVTNodeAlignment FNodeAlignment = TVTNodeAlignment::naProportional;
    TVTLineStyle FLineStyle = TVTLineStyle::lsDotted;
    TVTLineMode FLineMode = TVTLineMode::lmNormal;
    TVTButtonStyle FButtonStyle = TVTButtonStyle::bsRectangle;
    TVTButtonFillMode FButtonFillMode = TVTButtonFillMode::fmTreeColor;
    TCheckImageKind FCheckImageKind = TCheckImageKind::ckLightCheck;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FStateImages = nullptr;
    TCustomImageList* FCustomCheckImages = nullptr;
    TCustomImageList* FCheckImages = nullptr;
    TChangeLink FImageChangeLink;
    TChangeLink FStateChangeLink;
    TChangeLink FCustomCheckChangeLink;
    TDragOperations FDragOperations{TDragOperation::doCopy, TDragOperation::doMove};
    TVTDragType FDragType = TVTDragType::dtOLE;
    TVTDragImageKind FDragImageKind = TVTDragImageKind::diComplete;
    int FDragWidth = 200;
    int FDragHeight = 350;
    int FDragThreshold = 5;
    // The area the last WM_PAINT was asked to paint (client coordinates).
    TRect FUpdateRect;
    TVTNodeAttachMode FDefaultPasteMode = TVTNodeAttachMode::amAddChildLast;
    THintAnimationType FHintAnimation = THintAnimationType::hatSystemDefault;
    TVTHintMode FHintMode = TVTHintMode::hmDefault;
    TCursor FHotCursor = crDefault;
    Byte FSelectionBlendFactor = 128;
    Cardinal FSelectionCurveRadius = 0;
    TVTDrawSelectionMode FDrawSelectionMode = TVTDrawSelectionMode::smDottedRectangle;
    Cardinal FAnimationDuration = 200;
    Cardinal FAutoExpandDelay = 1000;
    Cardinal FAutoScrollDelay = 1000;
    Cardinal FAutoScrollInterval = 1;
    Cardinal FEditDelay = 1000;
    Cardinal FChangeDelay = 0;
    TVTIncrementalSearch FIncrementalSearch = TVTIncrementalSearch::isNone;
    TVTSearchDirection FSearchDirection = TVTSearchDirection::sdForward;
    TVTSearchStart FSearchStart = TVTSearchStart::ssFocusedNode;
    Cardinal FSearchTimeout = 1000;
    bool FWantTabs = false;
    int FBackgroundOffsetX = 0;
    int FBackgroundOffsetY = 0;
    int FOffsetX = 0;
    int FOffsetY = 0;
    TColumnIndex FSortColumn = NoColumn;
    TSortDirection FSortDirection = TSortDirection::sdAscending;

    std::unique_ptr<TVTHeader> FHeader;
    TRect FHeaderRect;
    TVTDropMode FDropMode = TVTDropMode::dmNowhere;
    TRect FSelectRect;
    // The rows below an expanded or collapsed node slide by Distance pixels.
    void AnimateToggle(PVirtualNode node, int distance, bool expanding);
    static constexpr int AnimationSteps = 16;
    std::unique_ptr<TVTDragImage> FDragImage;
    std::unique_ptr<TCustomVirtualTreeOptions> FOptions;
    std::unique_ptr<TScrollBarOptions> FScrollBarOptions;
    std::unique_ptr<TVTColors> FColors;
    std::unique_ptr<TClipboardFormats> FClipboardFormats;
    std::unique_ptr<TPicture> FBackground;
    TButtonGlyph FPlusGlyph;
    TButtonGlyph FMinusGlyph;
    std::array<uint8_t, 8> FLinePattern{};
    TCriticalSection FCriticalSection;
    TVTKeyboard FKeyboard{*this};
    TVTPainter FPainter{*this};
    TVTScroller FScroller{*this};
    TVTHeaderFrame FHeaderFrame{*this};

    // The hidden root's record comes from calloc, not new, since reserving internal data grows
    // it with realloc.
    struct TRootRecordFree {
        void operator()(PVirtualNode root) const noexcept {
            root->~TVirtualNode();
            std::free(root);
        }
    };
    std::unique_ptr<TVirtualNode, TRootRecordFree> FRoot;
    Cardinal FTotalInternalDataSize = 0;
    Cardinal FVisibleCount = 0;
    Cardinal FUpdateCount = 0;
    int FEagerTotals = 0;
    std::vector<PVirtualNode> FPendingTotals;
    TVirtualTreeStates FStates;
    PVirtualNode FFocusedNode = nullptr;
    TColumnIndex FFocusedColumn = NoColumn;
    PVirtualNode FRangeAnchor = nullptr;
    int FLastSelectionLevel = -1;
    std::vector<PVirtualNode> FSelection; // sorted by address; marked entries await packing
    size_t FSelectionMarked = 0;          // marked entries in FSelection
    PVirtualNode FCurrentHotNode = nullptr;
    PVirtualNode FDropTargetNode = nullptr;
    PVirtualNode FLastChangedNode = nullptr;
    PVirtualNode FLastStructureChangeNode = nullptr;
    TChangeReason FLastStructureChangeReason = TChangeReason::crIgnore;
    bool FChangeTimerRunning = false;
    bool FStructureChangeTimerRunning = false;
    Cardinal FLoadedRootNodeCount = 0;
    bool FRootNodeCountStored = false;
    bool FRegisteredWithWorker = false;
    // The client size changed again while a size change was being handled.
    bool FSizedWhileSizing = false;
    int FRepaintRequests = 0;
    // Changes of expansion, visibility or structure; lets visible walks trust their last step.
    uint64_t FStructureVersion = 0;
    mutable PVirtualNode FVisibleWalkNode = nullptr;
    mutable uint64_t FVisibleWalkVersion = 0;
};

// One step of an animation, told how many steps are left (0 for the closing call); false stops
// the animation.
using TAnimationStep = std::function<bool(Cardinal stepsLeft)>;
// Runs up to Steps steps within Duration milliseconds: each step gets an equal share of the time
// left and waits on the clock until its share has passed; a step that overruns takes the time
// of the steps it ran into. Ends with a call for step 0.
void RunAnimation(Cardinal steps, Cardinal duration, const TAnimationStep& step);

// A record size rounded to pointer alignment.
constexpr size_t AlignToPointer(size_t n) {
    return (n + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
}

} // namespace epc
