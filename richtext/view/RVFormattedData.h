#pragma once
// A document that is laid out into drawing items: line breaking and paragraph formatting,
// the selection held as drawing positions, hyperlink areas, and the translation between
// points, drawing positions and item positions. Whatever holds the document (a window, a
// table cell, a printer) answers the canvas, margins, sizes and scrolling as its host.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/Controls.h"
#include "platform/core/Set.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVItem.h"
#include "richtext/document/RVStyle.h"
#include "richtext/view/RVDocumentHost.h"
#include "richtext/view/RVDrawLines.h"

namespace epc {

class TCanvas;
class TControl;
class TRVBackground;
struct TDeviceContext;

// The word of a new viewer: UseJumps, TrimSpaces, UseExternalLeading, OwnsMarkers (0x010B).
inline constexpr TRVFlags RVDefaultViewerFlags{TRVFlag::UseJumps, TRVFlag::TrimSpaces,
                                               TRVFlag::UseExternalLeading,
                                               TRVFlag::OwnsMarkers};
static_assert(RVDefaultViewerFlags.Bits() == 0x010B);

// State flags of a formatted document. The two lowest refer to drawing items and are dropped
// with the formatting.
enum class TRVState {
    rvstMakingSelection = 0, // the left button is down and the selection follows the mouse
    rvstDrawHover = 1,       // the hovered hyperlink is drawn in its hover look
    rvstFormattingInProgress,
    rvstClearing,
    rvstKeepPosition, // a format keeps the scroll position and the selection
    rvstChangingSelection,
    rvstDestroying,
    rvstIgnoreNextMouseUp,
    rvstSelectedLook,      // every item is drawn selected
    rvstDocumentContinues, // the last line is continued elsewhere (a cell split on pages)
    rvstFormattingPart,    // a partial reformat runs
    rvstChangingBkPalette,
    rvstNoScroll,       // scrolling is suppressed
    rvstNoControlMoves, // embedded controls are not moved for now
    rvstMovingFocusByTab,
};
using TRVStates = TSet<TRVState>;

// A page break that pagination put inside a document: at an item position, with the item's
// own extra value (a table row), -1 when none.
struct TRVSoftPageBreakInfo {
    int ItemNo = 0;
    int Offset = 0;
    int ExtraData = -1;
};

// The running line state of one layout pass (also used by partial reformatting).
struct TRVFormatState {
    TCanvas* Canvas = nullptr;
    TDeviceContext* DC = nullptr;
    TRVScreenAndDevice Sad;
    int LM = 0; // scaled margins
    int RM = 0;
    int X = 0;                 // x within the current line
    int BaseLine = 0;          // baseline of the current line
    int Ascent = 0;            // of the current line, above the baseline
    int Descent = 0;           // of the current line, below the baseline
    int Extra = 0;             // extra spacing of the finished line, added before the next one
    int LineFirstDrawItem = 0; // the current line's first drawing item
    bool LineOpen = false;     // the current line holds a drawing item
    int LastTextStyle = -1;    // selected into the canvas; -1 forces a new selection
    int TextAscent = 0;        // of the selected style, with its shift and leading
    int TextDescent = 0;
    int TextHeight = 0;
    int AveCharWidth = 0;
    int VShift = 0;
    int ParaStart = 0;       // first item of the current paragraph
    int AvailWidth = 0;      // of the current line
    int LineLeft = 0;        // x of the current line's left edge
    bool AtParaStart = true; // the line began at a paragraph start
    bool SkipSpace = false;  // a space after the last piece is to be skipped
    bool TrimmedThisLine = false;
    bool LineFinished = true;  // FinishLine ran for the current line
    bool ForceNewLine = false; // the next item begins a line whatever its options say
    bool NoCaching = false;

    // A fresh line at the start of paragraph ParaStart, with the whole text width free.
    void StartParagraphLine(int paraStart, int availWidth) {
        X = 0;
        Ascent = Descent = Extra = 0;
        LastTextStyle = -1;
        AtParaStart = true;
        SkipSpace = false;
        LineOpen = false;
        LineFinished = true;
        ForceNewLine = false;
        AvailWidth = availWidth;
        LineLeft = LM;
        ParaStart = paraStart;
    }
};

class TCustomRVFormattedData;

// An item that handles the mouse over itself (a table: its border zones and cell rectangles).
// Points are relative to the item's top-left corner; Client is the same point in the control.
class TRVMouseItem {
public:
    virtual ~TRVMouseItem() = default;
    // True when the item takes the press: the moves and the release then come to it too.
    virtual bool ItemMouseDown(TCustomRVFormattedData* rvData, TMouseButton button,
                               TShiftState shift, int x, int y, TPoint client) = 0;
    virtual void ItemMouseMove(TCustomRVFormattedData* rvData, TShiftState shift, int x, int y,
                               TPoint client) = 0;
    virtual void ItemMouseUp(TCustomRVFormattedData* rvData, TMouseButton button, TShiftState shift,
                             int x, int y, TPoint client) = 0;
    // The cursor over a point while no button is held; False leaves the point to the document.
    virtual bool ItemCursorAt(int x, int y, int& cursor) const = 0;
    // A press in the item's document landed elsewhere: the item lets go of the selection it
    // holds inside itself, and of whatever edits it (a table: its selected cells, its editor).
    virtual void EndInnerSelection(TCustomRVFormattedData* /*rvData*/) {}
};

class TCustomRVFormattedData : public TCustomRVData {
public:
    TCustomRVFormattedData();
    ~TCustomRVFormattedData() override;
    std::string ClassName() const override { return "TCustomRVFormattedData"; }

    // ---- Formatted state.
    TRVDrawLines DrawItems;
    std::vector<std::unique_ptr<TRVJumpInfo>> Jumps;
    int32_t NextJumpNo = 0;
    int32_t LastFormattedItemNo = -1;
    int32_t MinWidth = -1;
    int32_t DocumentHeight = 0;
    int32_t TextWidth = -1;
    // The selection, in drawing items, in the order the user made it.
    int32_t FirstDrawItemNo = -1;
    int32_t LastDrawItemNo = -1;
    int32_t FirstOffs = 0;
    int32_t LastOffs = 0;
    // Hover: the jump and drawing item under the mouse; the nested document and item that
    // hold the caret or the mouse.
    int32_t LastJumpMovedAbove = -1;
    int32_t LastDIMovedAbove = -1;
    TCustomRVFormattedData* ChosenRVData = nullptr;
    TCustomRVItemInfo* ChosenItem = nullptr;
    TRVStates State;
    uint8_t SkipFormatting = 0; // one shot: the next FormatAll returns at once

    // ---- The host the document lives in; a detached host until the holder attaches.
    TRVDocumentHost& Host() const { return *FHost; }
    void SetHost(TRVDocumentHost* host) { FHost = host ? host : &FDetachedHost; }

    // ---- Questions and requests for the host (sizes are screen pixels unless said).
    TRVFlags GetFlags() const { return FHost->GetFlags(); }
    void SetFlags(TRVFlags value) { FHost->SetFlags(value); }
    int GetAreaWidth() const { return FHost->GetAreaWidth(); }
    int GetLeftMargin() const { return FHost->GetLeftMargin(); }
    int GetRightMargin() const { return FHost->GetRightMargin(); }
    int GetTopMargin() const { return FHost->GetTopMargin(); }
    int GetBottomMargin() const { return FHost->GetBottomMargin(); }
    int GetMinTextWidth() const { return FHost->GetMinTextWidth(); }
    int GetMaxTextWidth() const { return FHost->GetMaxTextWidth(); }
    TRVBackground* GetBackground() const { return FHost->GetBackground(); }
    void AdjustVScrollUnits() { FHost->AdjustVScrollUnits(); }
    void SetDocumentSize(int width, int height) { FHost->SetDocumentSize(width, height); }
    int GetHScrollPos() const { return FHost->GetHScrollPos(); }
    int GetVScrollPos() const { return FHost->GetVScrollPos(); }
    int GetClientWidth() const { return FHost->GetClientWidth(); }
    int GetClientHeight() const { return FHost->GetClientHeight(); }
    TCanvas* GetCanvas() const { return FHost->GetCanvas(); }
    void ScrollTo(int y, bool redraw) { FHost->ScrollTo(y, redraw); }
    void HScrollTo(int x) { FHost->HScrollTo(x); }
    int GetVSmallStep() const { return FHost->GetVSmallStep(); }
    TColor GetColor() const { return FHost->GetColor(); }
    void PaintBackground(TCanvas* canvas, const TRect& rect) {
        FHost->PaintBackground(canvas, rect);
    }
    void PaintHook(int lastDrawItemNo, int firstDrawItemNo, int yOffset) {
        FHost->PaintHook(lastDrawItemNo, firstDrawItemNo, yOffset);
    }
    // The origin of this document in the coordinates of the outermost document.
    void GetOriginInRoot(int& x, int& y) const { FHost->GetOriginInRoot(x, y); }
    // Vertical offset of the content inside the holder's box (a cell's vertical alignment).
    int GetContentVOffset() const { return FHost->GetContentVOffset(); }
    // The selection changed; the document needs repainting; the selection is about to change.
    void DoSelect() { FHost->DoSelect(); }
    void Invalidate() { FHost->Invalidate(); }
    void BeforeSelectionChange() { FHost->BeforeSelectionChange(); }

    // ---- What the kinds of document (viewer, editor, printout) do their own way.
    virtual bool GetParaRange(int& first, int& last) const {
        first = -1;
        last = -1;
        return false;
    }
    virtual void GetScaling(TCanvas* canvas, TRVScreenAndDevice& sad) const;
    virtual void SetActiveSubItem(TCustomRVItemInfo* item) { ChosenItem = item; }
    virtual void ToggleXorFeedback(int x, int y);
    virtual void ClearFormatting();
    virtual void FormatAll(bool keepPosition, bool force, bool noCaching, bool onlyTail,
                           TCanvas* canvas, int depth, bool noScroll);
    // Resets the hover state (the jump under the mouse) of this document.
    virtual void LeaveHover(int /*jumpNo*/) {
        LastJumpMovedAbove = -1;
        LastDIMovedAbove = -1;
        State.Exclude(TRVState::rvstDrawHover);
    }

    // ---- Painting. ClipRect is the part of the holder's client area to paint; the canvas's
    // (0, 0) lies at ClipRect's top-left corner.
    void PaintDocument(TCanvas* canvas, TRect clipRect);
    // The control that shows the document, or a viewer it is nested in, has the keyboard focus.
    bool IsControlFocused() const { return FHost->IsControlFocused(); }
    // Page breaks set by pagination; null when there are none.
    const std::vector<TRVSoftPageBreakInfo>* GetSoftPageBreaks() const {
        return FHost->GetSoftPageBreaks();
    }
    // The next (or previous) item after FromItemNo (-1: from the start or the end) that can
    // take the keyboard focus: a hotspot, or an embedded control that can be focused; -1.
    // Documents inside items (table cells) are searched in reading order where their item
    // stands; Data gets the document that holds the item found. FromData is the document of
    // FromItemNo when that is a nested one (null: this one).
    int FindNextFocusItem(bool forward, int fromItemNo, TCustomRVFormattedData** data = nullptr,
                          const TCustomRVFormattedData* fromData = nullptr) const;

    // ---- The mouse, in client coordinates of this document's holder.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void DblClick();
    // Sets the selection end (and, without Shift or without a selection, its start) at a
    // drawing position; the editor moves its caret here as well.
    virtual void SelectClickedItem(int drawItemNo, int offs, bool shift);
    // The item that holds the active inner selection loses it.
    virtual void DeselectSubItem();

    // ---- Selection.
    // An end on a list marker moves to the start of the following item.
    void SetSelection(int startItemNo, int startOffs, int endItemNo, int endOffs);
    // Selects between two drawing positions, drops inner selections and scrolls the end into
    // view.
    void SelectDrawRange(int firstDrawItemNo, int firstOffs, int lastDrawItemNo, int lastOffs);
    bool SelectionExists(bool reset, bool usePartial);
    // The picture when the selection covers exactly one non-text item, else null.
    TGraphic* GetSelectedImage() const;
    // The selection as plain text; UTF-16LE bytes when Unicode.
    std::string GetSelectionText(bool unicode);
    // The nested document that holds the active inner selection, or null.
    TCustomRVFormattedData* GetActiveSubData() const;
    // Invalidates the hyperlink areas of a jump, widened by 5 pixels.
    void RedrawJump(int jumpNo);
    // Puts the selection on the clipboard in the formats the options ask for.
    void CopyToClipboard(TColor color, TRVBackground* background);

    // ---- XOR feedback drawn at the mouse (drop marks of the editor); Owner identifies who
    // set the drawer.
    using TRVXorDrawer = std::function<void(TCustomRVFormattedData* rvData, int x, int y)>;
    void SetXorDrawer(TRVXorDrawer drawer, const void* owner);
    void ClearXorDrawer(const void* owner);
    bool XorDrawerAssigned() const { return bool(FXorDrawer); }
    void DrawXorFeedbackAt(int x, int y);
    void HideXorFeedback();
    // Draws the feedback again at its last point after HideXorFeedback.
    void ShowXorFeedback();
    bool XorFeedbackShown() const { return FXorShown; }

    // ---- Events and requests answered by the host of the outermost document (a cell asks its
    // viewer's).
    // A press or release fires once, from the innermost document that handles it: the root
    // notes that one did.
    void DoRVMouseDown(TMouseButton button, TShiftState shift, int itemNo, int x, int y) {
        GetRootFormattedData()->FMouseEventFired = true;
        RootHost().DoRVMouseDown(button, shift, itemNo, x, y);
    }
    void DoRVMouseUp(TMouseButton button, TShiftState shift, int itemNo, int x, int y) {
        GetRootFormattedData()->FMouseEventFired = true;
        RootHost().DoRVMouseUp(button, shift, itemNo, x, y);
    }
    // The press or release being handled is reported by another control (a cell editor).
    void NoteMouseEventReported() { GetRootFormattedData()->FMouseEventFired = true; }
    void DoRVDblClick(const std::string& clickedWord, int styleNo) {
        RootHost().DoRVDblClick(clickedWord, styleNo);
    }
    bool HasRVDblClick() const { return RootHost().HasRVDblClick(); }
    bool HasRVRightClick() const { return RootHost().HasRVRightClick(); }
    void DoRVRightClick(const std::string& clickedWord, int styleNo, int x, int y) {
        RootHost().DoRVRightClick(clickedWord, styleNo, x, y);
    }
    void DoJump(int id) override;
    // The jump under the mouse changed (-1: none).
    void DoJumpHover(int id) { RootHost().DoJumpHover(id); }
    void DoCopy() { RootHost().DoCopy(); }
    bool HasCopyHandler() const { return RootHost().HasCopyHandler(); }
    // A hyperlink's cursor while the mouse is over it; -1 gives the control its own again.
    void SetJumpCursor(int cursor) { RootHost().SetJumpCursor(cursor); }
    void InvalidateRect(const TRect& rect) { RootHost().InvalidateRect(rect); }
    void UpdateControl() { RootHost().UpdateControl(); }
    void FocusControl() { RootHost().FocusControl(); }
    void ClientToScreen(TPoint& p) const { RootHost().ClientToScreen(p); }
    void ScreenToClient(TPoint& p) const { RootHost().ScreenToClient(p); }
    // The formatted document at the root of the nesting.
    TCustomRVFormattedData* GetRootFormattedData();
    // The document that shows the hovered hyperlink (kept by the root).
    TCustomRVFormattedData* HoverRVData = nullptr;

    // ---- Partial reformatting after edits.
    void ExpandDrawRangeToParas(int& firstDrawItemNo, int& lastDrawItemNo) const;
    // NoCaching lays out again items that keep a layout of their own (tables) as well.
    void FormatParasOfDrawRange(int firstDrawItemNo, int lastDrawItemNo, int itemCountChange,
                                bool noCaching = false);
    void FormatParas(int firstDrawItemNo, int lastDrawItemNo, bool noCaching, int itemCountChange);
    // Rebuilds a jump list (this document's own when none is given); returns how many jump
    // numbers were used.
    int BuildJumpList(int firstJumpNo, std::vector<std::unique_ptr<TRVJumpInfo>>* list = nullptr);
    // Brings the drawing-item numbers of the hyperlink areas up to date; readers of
    // TRVJumpInfo::DrawItemNo call it first.
    void SettleJumpDrawItemNos() const;
    // The first jump number of this document (given by its container).
    int GetFirstJumpNo() const { return FHost->GetFirstJumpNo(); }
    void UpdateVisibleCheckpoint();
    TRVCPInfo* CurrentCheckpoint = nullptr;
    TCPEventKind GetCPEventKind() const { return FHost->GetCPEventKind(); }
    void DoCheckpointVisible(TRVCPInfo* cp) { FHost->DoCheckpointVisible(cp); }
    // Scrolls so that a rectangle of document coordinates comes into view; one taller than
    // the view whose top is near the view's top leaves the view alone.
    virtual void MakeRectVisible(int x, int y, int width, int height);
    bool GetItemClientCoords(int itemNo, int& left, int& top) const;
    // Items FirstItemNo.. of this document were removed (Delta negative, their count) or
    // gained: the root document shifts the item numbers it remembers of this document.
    void AdjustItemIndicesInRoot(int firstItemNo, int delta);
    virtual void AdjustRememberedItemIndices(TCustomRVFormattedData* /*rvData*/,
                                             int /*firstItemNo*/, int /*delta*/) {}
    // Painting slot after the drawing items: an item resizer draws its handles here.
    virtual void PaintOverItems(TCanvas* /*canvas*/, int /*xOffset*/, int /*yOffset*/) {}
    void DeleteItemRange(int first, int count) override;

    // ---- Formatted document.
    void ClearJumps();
    virtual void Clear();
    virtual void Deselect(TCustomRVItemInfo* item, bool redraw);
    void SelectAll();
    int IsDrawItemText(int drawItemNo) const;
    int GetOffsAfterDrawItem(int drawItemNo) const;
    void Format(bool noCaching) { FormatAll(false, true, noCaching, false, GetCanvas(), 0, false); }
    void UpdateJumpPositions();
    // Items outside FromItemNo..ToItemNo are left where they are.
    void ScrollControlsVisible(int fromItemNo = 0, int toItemNo = INT_MAX);

    // ---- Line breaking (one pass keeps its line state in FFmt).
    void FormatItem(int itemNo, const std::string& text, int startChar, int charCount);
    // Breaks items firstItem..lastItem into drawing items, continuing the current line state.
    void FormatItemRange(int firstItem, int lastItem);
    void FormatJustifiedItem(int itemNo, const std::string& text);
    void FinishLine(bool lastOfParagraph);
    // Wrapped: the line ends because the next piece does not fit, not because an item starts
    // a paragraph or a line of its own.
    void StartNewLine(int itemNo, bool lineBreak, bool wrapped = false);
    // Drops a space left at the end of the open line (when spaces are trimmed).
    void TrimLineEnd(bool wrapped = false);
    void FormatRectItem(int itemNo);
    void RaiseLineBaseline(int newAscent);
    int CountFittingCharsA(const char* text, int len, int width, bool noWrap, int& measuredWidth);
    int CountFittingCharsW(const char16_t* text, int len, int width, bool noWrap,
                           int& measuredWidth);
    void GetItemIndents(int itemNo, bool firstLine, int& right, int& left, int& paraStartItemNo);
    int GetItemIndentsSum(int itemNo, int& paraStartItemNo);
    void MirrorLineRTL(int first, int last, int shift);
    bool IsLineStartForTrim(int drawItemNo) const;
    TRVFormatState& FormatState() { return FFmt; }

    // ---- Coordinates and hit testing.
    void GetSelectionDrawBounds(int& startDrawItemNo, int& startOffs, int& endDrawItemNo,
                                int& endOffs, bool normalize) const;
    void GetSelectionBounds(int& startItemNo, int& startOffs, int& endItemNo, int& endOffs,
                            bool normalize) const;
    void GetSelectionBounds(int& startNo, int& startOffs, int& endNo, int& endOffs) const override {
        GetSelectionBounds(startNo, startOffs, endNo, endOffs, true);
    }
    void SetSelectionBounds(int startItemNo, int endItemNo, int startOffs, int endOffs);
    void DrawItemToItemPos(int drawItemNo, int drawItemOffs, int& itemNo, int& itemOffs) const;
    void ItemToDrawItemPos(int itemNo, int itemOffs, int& drawItemNo, int& drawItemOffs) const;
    int GetFirstDrawItemNo(int itemNo) const;
    void GetScreenLineBounds(int drawItemNo, int& first, int& last) const;
    void FindDrawItemAtPoint(int x, int y, int& drawItemNo, int& offs, bool strict);
    int FindDrawItemContaining(int x, int y) const;
    int FindFirstDrawItemAtY(int y, int mode) const;
    // X and Y in client pixels. The innermost document under the point, its item and offset;
    // for text also the clicked word (bytes in the item's encoding), its first offset and the
    // item's style. False when no drawing item contains the point (ItemNo -1).
    bool GetItemAtPointEx(int x, int y, TCustomRVFormattedData*& rvData, int& itemNo, int& offs,
                          std::string* clickedWord = nullptr, int* wordOffs = nullptr,
                          int* styleNo = nullptr);
    bool GetItemCoords(int itemNo, int& left, int& top) const;
    // Where the item of an embedded control sits, in document coordinates: at the drawing item
    // under the mouse when that one shows the item, else at its first drawing item; False when
    // it has none. The item is remembered (RememberedControlItem) until it is released.
    bool GetControlItemCoords(int itemNo, int& left, int& top);
    TCustomRVItemInfo* RememberedControlItem() const { return FRememberedControlItem; }
    void DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                      TCustomRVData* rvData) override;

    // ---- Minimum widths. Sad may be null (the formatting canvas, unscaled).
    int CalcParaMinWidth(int itemNo, TCanvas* canvas, const TRVScreenAndDevice* sad);
    int CalcParaMinWidthOnFormatCanvas(int itemNo) {
        return CalcParaMinWidth(itemNo, nullptr, nullptr);
    }
    int CalcParasMinWidth(int firstItemNo, int lastItemNo, TCanvas* canvas,
                          const TRVScreenAndDevice* sad);
    int CalcItemRangeMinWidth(int firstItemNo, int lastItemNo, TCanvas* canvas,
                              const TRVScreenAndDevice* sad);
    int CalcDocumentMinWidth(TCanvas* canvas, const TRVScreenAndDevice* sad);

    // Text-measuring calls made by layout since the program started (for benchmarks).
    static int64_t MeasureCallCount();

protected:
    // The width of an item's text in its style on the canvas; Extents (when given) gets the
    // partial extents of every character.
    int MeasureItemText(TCanvas* canvas, int itemNo, std::vector<int>* extents);
    // Text of an item as laid out (all-caps applied).
    std::string GetDisplayText(int itemNo) const;
    void SelectTextStyle(int styleNo, int itemNo);
    void AddDrawItem(std::unique_ptr<TRVDrawLineInfo> dli);
    int SX(int v) const;
    int SY(int v) const;
    // Character offset nearest to X inside a text drawing item (1 .. Length + 1).
    int FindOffsetInDrawItem(int drawItemNo, int x);

    TRVFormatState FFmt;
    // An item being freed: a remembered control item that it was is forgotten.
    void ItemReleased(const TCustomRVItemInfo* item) {
        if (item == FRememberedControlItem) FRememberedControlItem = nullptr;
    }

private:
    // The host of the outermost document.
    TRVDocumentHost& RootHost() const;
    TRVDetachedDocumentHost FDetachedHost;
    TRVDocumentHost* FHost = &FDetachedHost;
    int FindLineAtY(int y) const;
    void FormatTextPieces(int itemNo, const std::string& text, int startChar, int charCount);
    template <class Ch> void BreakTextRun(int itemNo, const Ch* text, int len, int startChar);
    template <class Ch>
    int CountFittingChars(const Ch* text, int len, int width, bool noWrap, int& measuredWidth);
    void OpenLine(TRVDrawLineInfo* dli, int ascent, int descent);
    // A hyperlink area over a drawing item.
    void AddJump(const TRVDrawLineInfo& dli, int drawItemNo, int id, int cursor);
    void FormatFullLineItem(int itemNo);
    int NextDrawItemIndex() const;
    int FPartInsertAt = 0; // where a partial reformat puts its next drawing item
    // The hyperlink areas a partial reformat lays out, spliced into Jumps afterwards.
    std::vector<std::unique_ptr<TRVJumpInfo>> FPartJumps;
    // Jumps holds the areas of the present layout, in drawing-item order, numbered from
    // FJumpsFirstNo (a container may renumber the document since).
    bool FJumpsInStep = false;
    int FJumpsFirstNo = 0;
    bool JumpsInStep() const { return FJumpsInStep && FJumpsFirstNo == GetFirstJumpNo(); }
    // Items with documents inside, or with controls, were laid out since the last full format:
    // their jumps come from elsewhere, and they have windows to move.
    bool FHasSubDocItems = false;
    bool FHasPlacedItems = false;
    // The drawing-item numbers of Jumps[FJumpShiftFrom..] are short by FJumpShift: a partial
    // reformat that changed only the number of drawing items leaves them for the next reader.
    mutable size_t FJumpShiftFrom = SIZE_MAX;
    mutable int FJumpShift = 0;
    int JumpDrawItemNo(size_t j) const {
        return Jumps[j]->DrawItemNo + (j >= FJumpShiftFrom ? FJumpShift : 0);
    }
    void NoteLaidOutItem(const TCustomRVItemInfo& item);
    // Forgets the hovered hyperlink (its number may change).
    void ForgetJumpHover();
    // After a partial reformat: the range's new hyperlink areas replace the old ones
    // (JumpFirst..JumpEnd - 1 of Jumps, numbered up to OldEndNo) and the later ones move along.
    void SpliceRangeJumps(size_t jumpFirst, size_t jumpEnd, int oldEndNo, int oldNextJumpNo,
                          int shift, int countChange);
    bool DrawItemBeginsWithSpace(int drawItemNo) const;
    bool NextItemContinuesLine(int itemNo) const;
    int CalcParaMinWidthRange(int firstItemNo, int lastItemNo, TCanvas* canvas,
                              const TRVScreenAndDevice* sad);
    void UpdateDrawItemUnderMouse(int x, int y);
    void ClearHover();
    int JumpAtPoint(int x, int y) const;
    // Whether drawing items of a range may hold hyperlink areas (non-text items may add some).
    bool RangeHasJumps(int firstDrawItemNo, int lastDrawItemNo) const;
    // Document coordinates of a client point of the outermost holder.
    void ClientToDoc(int x, int y, int& dx, int& dy);
    int FDrawItemUnderMouse = -1;
    TCustomRVItemInfo* FRememberedControlItem = nullptr; // not owned; forgotten when released
    int FLastHoverId = -1;        // the jump number last reported to the hover event
    int FMouseX = 0, FMouseY = 0; // the last client point of a press or move
    int FPressedJump = -1;
    bool FMouseEventFired = false; // of the root: a nested document fired the press or release
    TCustomRVFormattedData* FCaptureRVData = nullptr; // a nested document that took the press
    TRVMouseItem* FMouseItem = nullptr;               // an item that took the press
    int FMouseItemDrawNo = -1;
    TRVXorDrawer FXorDrawer;
    const void* FXorOwner = nullptr;
    int FXorX = 0, FXorY = 0;
    bool FXorShown = false;
    int FMinWidthStyle = -1; // text style selected while measuring minimum widths
    std::u16string FWideBuf;
    std::vector<int> FExtents;
};

} // namespace epc
