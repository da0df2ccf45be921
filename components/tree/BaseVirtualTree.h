#pragma once
// TBaseVirtualTree: the tree control. It allocates its own node records (each with a user data
// area of NodeDataSize bytes) under one hidden root, keeps running subtree totals so that scroll
// ranges and hit tests never walk the whole tree, and fires every event through a virtual
// dispatcher with a fixed default answer.
//
// The operations are spread over several sources: BaseVirtualTree.cpp (construction, property
// setters, check states, selection, line images), VirtualTreeNodes.cpp (node records and node
// management, walkers, update locks), VirtualTreeEvents.cpp (dispatchers and class hooks).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/tree/NodePool.h"
#include "components/tree/TreeUnit.h"
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

class TBaseVirtualTree;
class TVTHeader;
class TVirtualTreeColumn;
class TVirtualTreeColumns;

// Class references: each makes an object of the class it stands for.
using TVTHeaderClass = std::function<std::unique_ptr<TVTHeader>(TBaseVirtualTree* owner)>;
using TVirtualTreeColumnClass =
    std::function<TVirtualTreeColumn*(TVirtualTreeColumns* collection)>;

using TVTGetNodeDataSizeEvent = std::function<void(TBaseVirtualTree*, int& NodeDataSize)>;
using TVTInitNodeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode ParentNode, PVirtualNode Node,
                       TVirtualNodeInitStates& InitialStates)>;
using TVTInitChildrenEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode Node, Cardinal& ChildCount)>;
using TVTFreeNodeEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node)>;
using TVTChangeEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node)>;
using TVTChangingEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node, bool& Allowed)>;
using TVTCheckChangingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode Node, TCheckState& NewState, bool& Allowed)>;
using TVTStructureChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode Node, TChangeReason Reason)>;
using TVTUpdatingEvent = std::function<void(TBaseVirtualTree*, TVTUpdateState State)>;
using TVTFocusChangingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode OldNode, PVirtualNode NewNode,
                       TColumnIndex OldColumn, TColumnIndex NewColumn, bool& Allowed)>;
using TVTFocusChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode Node, TColumnIndex Column)>;
using TVTCompareEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node1,
                                           PVirtualNode Node2, TColumnIndex Column, int& Result)>;
using TVTGetLineStyleEvent = std::function<void(TBaseVirtualTree*, std::array<uint8_t, 8>& Bits)>;
using TVTStateChangeEvent =
    std::function<void(TBaseVirtualTree*, TVirtualTreeStates Enter, TVirtualTreeStates Leave)>;
using TVTScrollEvent = std::function<void(TBaseVirtualTree*, int DeltaX, int DeltaY)>;
using TVTGetCursorEvent = std::function<void(TBaseVirtualTree*, TCursor& Cursor)>;
using TVTGetImageEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node, TVTImageKind Kind,
                                            TColumnIndex Column, bool& Ghosted, int& ImageIndex)>;
using TVTHotNodeChangeEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode OldNode, PVirtualNode NewNode)>;
using TVTIncrementalSearchEvent = std::function<void(
    TBaseVirtualTree*, PVirtualNode Node, const std::u16string& SearchText, int& Result)>;
using TVTNodeCopyingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode Node, PVirtualNode Target, bool& Allowed)>;
using TVTNodeMovingEvent = TVTNodeCopyingEvent;
using TVTSaveNodeEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node, TStream& Stream)>;
using TVTKeyActionEvent =
    std::function<void(TBaseVirtualTree*, Word& CharCode, TShiftState& Shift, bool& DoDefault)>;
using TVTPopupEvent = std::function<void(TBaseVirtualTree*, PVirtualNode Node, TColumnIndex Column,
                                         TPoint P, bool& AskParent, TPopupMenu*& PopupMenu)>;
using TVTBackgroundPaintEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* TargetCanvas, TRect R, bool& Handled)>;
using TVTEditChangingEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode Node, TColumnIndex Column, bool& Allowed)>;

// A 9 x 9 button glyph (plus or minus) as 32-bit pixels 0xAARRGGBB, row by row; the
// transparent colour (clFuchsia) marks pixels that are not drawn.
struct TButtonGlyph {
    static constexpr int Size = 9;
    std::array<uint32_t, Size * Size> Pixels{};
    uint32_t Pixel(int x, int y) const { return Pixels[size_t(y * Size + x)]; }
};

class TBaseVirtualTree : public TCustomControl {
public:
    explicit TBaseVirtualTree(TComponent* AOwner);
    ~TBaseVirtualTree() override;
    std::string ClassName() const override { return "TBaseVirtualTree"; }
    void AfterConstruction();

    // ---- Control-level properties -------------------------------------------------------------
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    // Visibility of the control itself (the node form is SetVisible(Node, Value)).
    using TWinControl::SetVisible;

    // ---- Published tree properties ------------------------------------------------------------
    Cardinal DefaultNodeHeight() const { return FDefaultNodeHeight; }
    void SetDefaultNodeHeight(Cardinal value);
    Cardinal Indent() const { return FIndent; }
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
    int GetImageIndex(PVirtualNode Node, TVTImageKind Kind, TColumnIndex Column, bool& Ghosted);
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
    void TileBackground(TCanvas* Target, const TRect& R);
    // Scrolls vertically so that the node's row starts at the top (expanding its ancestors).
    PVirtualNode TopNode();
    void SetTopNode(PVirtualNode Node);
    // The form's rescaling: with toAutoChangeScale node heights follow a height rescale.
    virtual void ChangeScale(int M, int D);

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

    // ---- Sizes and counts --------------------------------------------------------------------
    // Number of nodes that are visible with every ancestor expanded.
    Cardinal VisibleCount() const { return FVisibleCount; }
    // All nodes of the tree (the hidden root excluded).
    Cardinal TotalCount();
    // Height of all fully visible rows.
    Cardinal RootTotalHeight();
    PVirtualNode RootNode() const { return FRoot; }
    Cardinal UpdateCount() const { return FUpdateCount; }
    TVirtualTreeStates TreeStates() const { return FStates; }
    Cardinal TotalInternalDataSize() const { return FTotalInternalDataSize; }
    // Size in bytes of one node record (fixed part, internal data, user data).
    size_t NodeRecordSize() const;

    // Reserves Size bytes (rounded up to pointer alignment) in every node record for a
    // descendant class and returns their offset within the record's data part.
    Cardinal AllocateInternalDataArea(Cardinal Size);

    // ---- Node management ---------------------------------------------------------------------
    PVirtualNode InsertNodeAt(PVirtualNode Node, TVTNodeAttachMode Mode, void* UserData = nullptr);
    PVirtualNode AddChild(PVirtualNode Parent, void* UserData = nullptr) {
        return InsertNodeAt(Parent, TVTNodeAttachMode::amAddChildLast, UserData);
    }
    void InitNode(PVirtualNode Node);
    void InitChildren(PVirtualNode Node);
    void RemoveNode(PVirtualNode Node, bool Reindex = true);
    void DeleteNode(PVirtualNode Node, bool Reindex = true) { RemoveNode(Node, Reindex); }
    void RemoveChildren(PVirtualNode Node, bool ResetHasChildren = false);
    void DeleteChildren(PVirtualNode Node, bool ResetHasChildren = false) {
        RemoveChildren(Node, ResetHasChildren);
    }
    void RemoveSelectedNodes();
    void ClearNodes();
    void Clear() { ClearNodes(); }
    void LockUpdates();
    void UnlockUpdates();
    void BeginUpdate() { LockUpdates(); }
    void EndUpdate() { UnlockUpdates(); }
    void* NodeUserData(PVirtualNode Node) const;
    template <typename T> T* NodeData(PVirtualNode Node) const {
        return static_cast<T*>(NodeUserData(Node));
    }
    Cardinal NodeLevel(PVirtualNode Node) const;
    bool HasAsAncestor(PVirtualNode Node, PVirtualNode PotentialParent) const;
    PVirtualNode VisibleAncestorOf(PVirtualNode Node) const;
    void StructureChange(PVirtualNode Node, TChangeReason Reason);
    void CollapseAll(PVirtualNode Node = nullptr);
    void ExpandAll(PVirtualNode Node = nullptr);
    void SetChildCount(PVirtualNode Node, Cardinal NewChildCount);
    Cardinal ChildCount(PVirtualNode Node) const;
    bool HasChildren(PVirtualNode Node) const;
    void SetHasChildren(PVirtualNode Node, bool Value);

    // Expansion, visibility and heights.
    void ToggleNode(PVirtualNode Node);
    bool Expanded(PVirtualNode Node) const;
    void SetExpanded(PVirtualNode Node, bool Value);
    bool IsVisible(PVirtualNode Node) const;
    void SetVisible(PVirtualNode Node, bool Value);
    bool IsNodeExpanded(PVirtualNode Node) const { return Expanded(Node); }
    bool IsNodeFullyVisible(PVirtualNode Node) const;
    bool FullyVisible(PVirtualNode Node) const { return IsNodeFullyVisible(Node); }
    // Row height of a node; 0 for nil and for the hidden root.
    Cardinal NodeHeight(PVirtualNode Node) const;
    // Heights above 65535 are stored as 65535.
    void SetNodeHeight(PVirtualNode Node, Cardinal Value);
    Cardinal VisibleChildCount(PVirtualNode Node) const;
    void AdjustTotalCount(PVirtualNode Node, int Value, bool Relative = false);
    void AdjustTotalHeight(PVirtualNode Node, int Value, bool Relative = false);
    // Hands totals changed inside an update lock on to every ancestor.
    void FlushTotals();
    bool Disabled(PVirtualNode Node) const;
    void SetDisabled(PVirtualNode Node, bool Value);

    // Sorting of sibling lists (stable merge sort through DoCompare).
    void SortTree(PVirtualNode Node, TColumnIndex Column,
                  TSortDirection Direction = TSortDirection::sdAscending, bool DoInit = true);
    void SortSubtree(PVirtualNode Node, TColumnIndex Column,
                     TSortDirection Direction = TSortDirection::sdAscending, bool DoInit = true);
    // Column and direction of automatic sorting (the header's, once there is one).
    TColumnIndex SortColumn() const { return FSortColumn; }
    void SetSortColumn(TColumnIndex value) { FSortColumn = value; }
    TSortDirection SortDirection() const { return FSortDirection; }
    void SetSortDirection(TSortDirection value) { FSortDirection = value; }

    // ---- Walkers -----------------------------------------------------------------------------
    PVirtualNode GetFirst();
    PVirtualNode GetFirstNoInit() const;
    PVirtualNode GetFirstChild(PVirtualNode Node);
    PVirtualNode GetFirstChildNoInit(PVirtualNode Node) const;
    PVirtualNode GetFirstInitialized();
    PVirtualNode GetFirstVisible();
    PVirtualNode GetFirstVisibleNoInit() const;
    PVirtualNode GetFirstVisibleChild(PVirtualNode Node);
    PVirtualNode GetFirstSelected();
    PVirtualNode GetNextSelected(PVirtualNode Node);
    PVirtualNode GetFirstCutCopy();
    PVirtualNode GetNextCutCopy(PVirtualNode Node);
    PVirtualNode GetLast(PVirtualNode Node = nullptr);
    PVirtualNode GetLastNoInit(PVirtualNode Node = nullptr) const;
    PVirtualNode GetLastChild(PVirtualNode Node);
    PVirtualNode GetLastChildNoInit(PVirtualNode Node) const;
    PVirtualNode GetLastVisible(PVirtualNode Node = nullptr);
    PVirtualNode GetLastVisibleNoInit(PVirtualNode Node = nullptr) const;
    PVirtualNode GetLastVisibleChild(PVirtualNode Node);
    PVirtualNode GetLastVisibleChildNoInit(PVirtualNode Node) const;
    PVirtualNode GetNext(PVirtualNode Node);
    PVirtualNode GetNextNoInit(PVirtualNode Node) const;
    PVirtualNode GetNextInitialized(PVirtualNode Node);
    PVirtualNode GetNextSibling(PVirtualNode Node);
    PVirtualNode GetNextVisible(PVirtualNode Node);
    PVirtualNode GetNextVisibleNoInit(PVirtualNode Node) const;
    PVirtualNode GetNextVisibleSibling(PVirtualNode Node);
    PVirtualNode GetPrevious(PVirtualNode Node);
    PVirtualNode GetPreviousNoInit(PVirtualNode Node) const;
    PVirtualNode GetPreviousSibling(PVirtualNode Node);
    PVirtualNode GetPreviousVisible(PVirtualNode Node);
    PVirtualNode GetPreviousVisibleNoInit(PVirtualNode Node) const;
    PVirtualNode GetPreviousVisibleSibling(PVirtualNode Node);
    PVirtualNode GetPreviousVisibleSiblingNoInit(PVirtualNode Node) const;
    PVirtualNode GetNodeAt(int X, int Y) { return NodeAtPoint(X, Y); }
    PVirtualNode NodeAtPoint(int X, int Y);
    PVirtualNode NodeAtPointEx(int X, int Y, bool Relative, int& NodeTop);
    // Vertical position of a node's row in tree coordinates (walks the visible nodes).
    int NodeTop(PVirtualNode Node);
    std::vector<PVirtualNode> SortedSelection(bool TopLevelOnly);
    std::vector<PVirtualNode> SortedCutCopySet(bool TopLevelOnly);

    // Runs Proc over the nodes of a subtree (all nodes for nil) in tree order; deleting nodes
    // meanwhile fails with an assertion. Proc may set Abort to stop.
    void IterateSubtree(PVirtualNode Node,
                        const std::function<void(PVirtualNode, bool& Abort)>& Proc);

    // ---- Positions and line images -------------------------------------------------------------
    int CompareNodePositions(PVirtualNode Node1, PVirtualNode Node2);
    int LevelDifference(PVirtualNode Node1, PVirtualNode Node2) const;
    // One entry per indentation level; returns the number of selected ancestors met.
    int DetermineLineImageAndSelectLevel(PVirtualNode Node, std::vector<TVTLineType>& LineImage);
    // Vertical position of a node's button and tree lines within its row (Algorithms of the
    // line alignment): Y of the lines given the image heights that apply (0 for none).
    int NodeLineOffset(PVirtualNode Node, int ImageHeight) const;
    // The same with the height of Images when the row shows a normal image, else that of
    // StateImages when it shows a state image.
    int NodeLineOffset(PVirtualNode Node, bool HasNormalImage, bool HasStateImage) const;

    // ---- Check states ------------------------------------------------------------------------
    TCheckState CheckState(PVirtualNode Node) const;
    // Applies a check state with propagation; false when refused or not applicable.
    bool SetCheckState(PVirtualNode Node, TCheckState Value);
    TCheckType CheckType(PVirtualNode Node) const;
    void SetCheckType(PVirtualNode Node, TCheckType Value);

    // ---- Selection and focus -----------------------------------------------------------------
    bool Selected(PVirtualNode Node) const;
    void SetSelected(PVirtualNode Node, bool Value);
    Cardinal SelectedCount() const { return Cardinal(FSelection.size()); }
    void AddToSelection(PVirtualNode Node);
    bool InternalAddToSelection(const std::vector<PVirtualNode>& NewItems, bool ForceInsert);
    void RemoveFromSelection(PVirtualNode Node);
    void ClearSelection();
    void SelectAll(bool VisibleOnly);
    int FindNodeInSelection(PVirtualNode Node) const;
    // Selects the visible nodes from StartNode to EndNode (in tree order); without AddOnly the
    // rest of the selection goes.
    void SelectNodes(PVirtualNode StartNode, PVirtualNode EndNode, bool AddOnly);
    void HandleClickSelection(PVirtualNode LastFocused, PVirtualNode NewNode, bool Shift,
                              bool Ctrl);
    // Selection by a rectangle drawn with the mouse (tree coordinates): nodes whose content
    // lies inside exactly one of the two rectangles change; with Toggle (Ctrl) they flip.
    void HandleDrawSelection(const TRect& OldRect, const TRect& NewRect, bool Toggle);
    // Where a node's content (check image, images, label) starts and ends horizontally.
    TRect NodeContentRect(PVirtualNode Node, int NodeTop);
    PVirtualNode RangeAnchor() const { return FRangeAnchor; }
    PVirtualNode FocusedNode() const { return FFocusedNode; }
    void SetFocusedNode(PVirtualNode Node);
    TColumnIndex FocusedColumn() const { return FFocusedColumn; }
    void SetFocusedColumn(TColumnIndex Value);
    PVirtualNode HotNode() const { return FCurrentHotNode; }
    PVirtualNode DropTargetNode() const { return FDropTargetNode; }

    // Change notification (OnChange now, or after ChangeDelay once the change timer elapses).
    void Change(PVirtualNode Node);
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
    void PrepareBitmaps(bool NeedButtons, bool NeedLines);

    void InterruptValidation();
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    bool CanFocus() override;
    void WndProc(TMessage& Message) override;
    // True when the tree has a popup menu or DoGetPopupMenu finds one for the node.
    bool HasPopupMenu(PVirtualNode Node, TColumnIndex Column, TPoint Pos);

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
    TVTBackgroundPaintEvent OnPaintBackground;

    // ---- Dispatchers (each fires its event; the default answer when none is assigned) --------
    virtual void DoFocusNode(PVirtualNode Node, bool Ask);
    virtual void DoFreeNode(PVirtualNode Node);
    virtual THintAnimationType GetHintAnimationType();
    virtual void DoGetCursor(TCursor& Cursor);
    virtual bool DoKeyAction(Word& CharCode, TShiftState& Shift);
    virtual TPopupMenu* DoGetPopupMenu(PVirtualNode Node, TColumnIndex Column, TPoint Position);
    virtual bool DoPaintBackground(TCanvas* Canvas, const TRect& R);
    virtual int DoGetImageIndex(PVirtualNode Node, TVTImageKind Kind, TColumnIndex Column,
                                bool& Ghosted, int& Index);
    virtual void DoGetLineStyle(std::array<uint8_t, 8>& Bits);
    virtual std::string DoGetNodeHint(PVirtualNode Node, TColumnIndex Column);
    virtual std::string DoGetNodeTooltip(PVirtualNode Node, TColumnIndex Column);
    virtual int DoGetNodeWidth(PVirtualNode Node, TColumnIndex Column);
    virtual void DoHotChange(PVirtualNode Old, PVirtualNode New);
    virtual int DoIncrementalSearch(PVirtualNode Node, const std::u16string& Text);
    virtual void DoInitChildren(PVirtualNode Node, Cardinal& ChildCount);
    virtual void DoInitNode(PVirtualNode Parent, PVirtualNode Node,
                            TVirtualNodeInitStates& InitStates);
    virtual void DoLoadUserData(PVirtualNode Node, TStream& Stream);
    virtual void DoNodeCopied(PVirtualNode Node);
    virtual bool DoNodeCopying(PVirtualNode Node, PVirtualNode NewParent);
    virtual void DoNodeMoved(PVirtualNode Node);
    virtual bool DoNodeMoving(PVirtualNode Node, PVirtualNode NewParent);
    virtual void DoReset(PVirtualNode Node);
    virtual void DoSaveUserData(PVirtualNode Node, TStream& Stream);
    virtual void DoScroll(int DeltaX, int DeltaY);
    virtual void DoStateChange(TVirtualTreeStates Enter, TVirtualTreeStates Leave = {});
    virtual void DoStructureChange(PVirtualNode Node, TChangeReason Reason);
    virtual void DoUpdating(TVTUpdateState State);
    virtual int DoGetNodeDataSize();
    // Early dispatchers.
    virtual void DoChange(PVirtualNode Node);
    virtual void DoChecked(PVirtualNode Node);
    virtual bool DoChecking(PVirtualNode Node, TCheckState& NewCheckState);
    virtual void DoCollapsed(PVirtualNode Node);
    virtual bool DoCollapsing(PVirtualNode Node);
    virtual void DoExpanded(PVirtualNode Node);
    virtual bool DoExpanding(PVirtualNode Node);
    virtual int DoCompare(PVirtualNode Node1, PVirtualNode Node2, TColumnIndex Column);
    virtual void DoFocusChange(PVirtualNode Node, TColumnIndex Column);
    virtual bool DoFocusChanging(PVirtualNode OldNode, PVirtualNode NewNode, TColumnIndex OldColumn,
                                 TColumnIndex NewColumn);
    virtual bool DoCanEdit(PVirtualNode Node, TColumnIndex Column);
    virtual void DoCancelEdit() {}
    virtual bool DoEndEdit() { return true; }

    // Image index of a node's check box (-1 without a check type).
    virtual int GetCheckImage(PVirtualNode Node);
    // The font and the text rectangle of a node's text (base: the tree's font, no rectangle).
    virtual void GetTextInfo(PVirtualNode Node, TColumnIndex Column, TFont* AFont, TRect& R,
                             std::u16string& Text);
    // Class references of the header and its columns. This system's trees keep the header
    // hidden and make neither, so the base answers empty references.
    virtual TVirtualTreeColumnClass GetColumnClass() const { return nullptr; }
    virtual TVTHeaderClass GetHeaderClass() const { return nullptr; }
    // Options object a tree of this class uses.
    virtual std::unique_ptr<TCustomVirtualTreeOptions> GetOptionsClass();
    // Drop effect (the platform's DROPEFFECT_* bits) from the source, the modifier keys and the
    // allowed effects.
    virtual uint32_t SuggestDropEffect(const TObject* Source, bool Shift, bool Ctrl, TPoint Pt,
                                       uint32_t AllowedEffects);

    // Hooks the option objects call back.
    void OptionsPaintChanged(TVTPaintOptions OldOptions, TVTPaintOptions NewOptions);
    void OptionsAutoChanged(TVTAutoOptions OldOptions, TVTAutoOptions NewOptions);
    void OptionsSelectionChanged(TVTSelectionOptions OldOptions, TVTSelectionOptions NewOptions);
    void OptionsMiscChanged(TVTMiscOptions OldOptions, TVTMiscOptions NewOptions);
    void ScrollBarsChanged();
    void ColorsChanged(int Index);

    // ---- Window work -------------------------------------------------------------------------
    // Row invalidation and scrolling belong to the painting and scrolling layers; until they
    // refine them, a node's rows are redrawn by invalidating the whole client area.
    virtual void InvalidateNode(PVirtualNode Node);
    virtual void InvalidateToBottom(PVirtualNode Node);
    virtual void UpdateScrollBars(bool DoRepaint) {}
    void RedrawWindowWithFrame();
    virtual bool ScrollIntoView(PVirtualNode Node, bool Center, bool Horizontally) { return false; }
    virtual void InvalidatePositionCache();
    // The column carrying the tree structure (no column while there is no header).
    virtual TColumnIndex MainColumn() const { return NoColumn; }
    // Number of repaints requested (tests and the window layer read it).
    int RepaintRequests() const { return FRepaintRequests; }

    // Kept by tests to see the worker registrations.
    bool IsIterating() const { return FStates.Contains(TVirtualTreeState::tsIterating); }

protected:
    // Invalidates the window when it exists and the tree is not loading.
    void RequestRepaint();
    void StopTimer(UINT_PTR Id);
    // Sends WM_SETREDRAW to a shown window: off while updating.
    void SetUpdateState(bool Updating);
    bool IsUpdating() const { return FUpdateCount > 0; }
    bool IsReadOnly() const;
    PVirtualNode MakeNewNode();
    void FreeNodeRecord(PVirtualNode Node);
    void LinkNode(PVirtualNode Node, PVirtualNode Destination, TVTNodeAttachMode Mode);
    void UnlinkNode(PVirtualNode Node, bool KeepFocus, bool Reindex);
    Cardinal CountVisibleChildren(PVirtualNode Node) const;
    // WalkSumsHeights: the calling walk rebuilds the totals on its way up (ExpandAll,
    // CollapseAll), so the toggle leaves the heights alone.
    void ToggleNodeImpl(PVirtualNode Node, int FullyVisibleHint, bool WalkSumsHeights);
    void LeaveWalkedNode(PVirtualNode Node, PVirtualNode Start, bool Descended);
    void DeleteSubtreeNodes(PVirtualNode Node);
    void DetermineHiddenChildrenFlag(PVirtualNode Node);
    void DoCheckClick(PVirtualNode Node, TCheckState NewCheckState);
    bool DoSetCheckState(PVirtualNode Node, TCheckState NewState);
    bool CheckParentState(PVirtualNode Node, TCheckState NewState);
    void PackSelection();
    void ResetRangeAnchor();
    bool ChangeFocus(PVirtualNode Node, bool Ask);
    void SetRootNodeCountInternal(Cardinal value);
    void AdjustCoordinatesByIndent(int& Left) const;
    void MergeSortSiblings(PVirtualNode Parent, TColumnIndex Column, TSortDirection Direction);

private:
    void QueuePending(PVirtualNode Node);
    bool DeferTotals() const { return FUpdateCount > 0 && FEagerTotals == 0; }
    void ForgetNode(PVirtualNode Node);
    bool KnownFullyVisible(PVirtualNode Node) const;
    PVirtualNode RememberVisible(PVirtualNode Node) const;
    PVirtualNode NextVisibleStep(PVirtualNode Node) const;
    PVirtualNode PreviousVisibleStep(PVirtualNode Node) const;
    void InternalRemoveFromSelection(PVirtualNode Node);
    void SwapImageList(TCustomImageList*& Field, TChangeLink& Link, TCustomImageList* value);
    void ImageListChange(TObject* Sender);
    friend class TWorkerThread;
    friend struct TEagerTotals;

    TNodePool FNodePool; // before everything that may hold nodes, so it goes last
    TBorderStyle FBorderStyle = bsSingle;

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
    std::u16string FSearchBuffer;
    bool FWantTabs = false;
    int FBackgroundOffsetX = 0;
    int FBackgroundOffsetY = 0;
    int FOffsetX = 0;
    int FOffsetY = 0;
    TColumnIndex FSortColumn = NoColumn;
    TSortDirection FSortDirection = TSortDirection::sdAscending;

    std::unique_ptr<TCustomVirtualTreeOptions> FOptions;
    std::unique_ptr<TScrollBarOptions> FScrollBarOptions;
    std::unique_ptr<TVTColors> FColors;
    std::unique_ptr<TClipboardFormats> FClipboardFormats;
    std::unique_ptr<TPicture> FBackground;
    TButtonGlyph FPlusGlyph;
    TButtonGlyph FMinusGlyph;
    std::array<uint8_t, 8> FLinePattern{};
    TCriticalSection FCriticalSection;

    PVirtualNode FRoot = nullptr;
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
    std::vector<PVirtualNode> FSelection; // sorted by address; nil entries await packing
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
    int FRepaintRequests = 0;
    // Changes of expansion, visibility or structure; lets visible walks trust their last step.
    uint64_t FStructureVersion = 0;
    mutable PVirtualNode FVisibleWalkNode = nullptr;
    mutable uint64_t FVisibleWalkVersion = 0;
};

// A record size rounded to pointer alignment.
constexpr size_t AlignToPointer(size_t n) {
    return (n + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
}

} // namespace epc
