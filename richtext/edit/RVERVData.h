#pragma once
// The document data of the editor: the caret held as a drawing item and a stop among the caret
// stops of its screen line, the current text and paragraph styles, and the undo and redo lists.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "richtext/edit/RVItemResizer.h"
#include "richtext/edit/RVUndo.h"
#include "richtext/view/RVRVData.h"

namespace epc {

class TCustomRichViewEdit;
class TRVEditTransaction;
struct TRVEditRange;
class TRVIntPropertyHolder;
class TRVUndoModifyItemIntProperty;
class TRVUndoModifyItemIntProperties;

// UTF-16LE item bytes as characters (an odd last byte is dropped).
std::u16string LEBytesToWide(const std::string& bytes);
// Characters as UTF-16LE item bytes.
std::string WideToLEBytes(const std::u16string& text);

inline constexpr const char* errRVInvalidCaret =
    "Invalid caret position. Please contact the developer, if you can reproduce this problem";

// One caret stop of the caret's line.
struct TRVCharPos {
    int32_t X = 0;
    int32_t DrawItemNo = -1;
    int32_t Offset = -1;
    // 1 normally; 2 right of a non-text item (drawn a pixel further right); 0 when placed by
    // character placement.
    int32_t MoveCaret = 1;
    void Assign(const TRVCharPos& source) {
        X = source.X;
        DrawItemNo = source.DrawItemNo;
        Offset = source.Offset;
    }
};

// The caret stops of the caret's screen line, in order.
using TRVCharPosCollection = std::vector<TRVCharPos>;

// Extra integer properties of a picture item: its shown width and height.
inline constexpr int kImageWidthProp = 3;
inline constexpr int kImageHeightProp = 4;

// Where changes are recorded.
enum : uint8_t { rvudNone = 0, rvudUndo = 1, rvudRedo = 2 };

// One line of text to insert, in the encoding of the target text style.
struct TRVInsertLine {
    std::string Text;
    bool NewParagraph = false; // false: a new line inside the paragraph (the first line: none)
    bool PageBreak = false;
};

// Where a document (RVF, RTF) goes at the caret, and what happens to the caret's item.
struct TRVDocInsertPoint {
    int Index = 0; // the insertion index
    bool AtLineStart = false;
    bool ParaReadOnly = false;
    int SplitItem = -1; // a text item cut at the caret, its tail following the content
    int SplitOffs = 0;
    int EmptyItem = -1; // an empty text item at the caret, replaced by the content
    int Tail = -1;      // the item that continued the caret's line at the insertion index
    bool TailJoined = false;
};

// Where a new item goes at the caret, and the items whose line state changes once it is in.
struct TRVCaretPlace {
    int Index = -1;
    int JoinAfterInsert = -1;   // continues the new item's line
    int DeleteAfterInsert = -1; // the empty text item the new item replaces
};

class TRVEditRVData : public TRichViewRVData, public TRVUndoReformatter {
public:
    explicit TRVEditRVData(TCustomRichView* richView);
    ~TRVEditRVData() override;
    std::string ClassName() const override { return "TRVEditRVData"; }

    TCustomRichViewEdit* Editor() const;

    int32_t SavedTextStyleNo = 0;
    int32_t CaretHeight = 0;
    TRVCharPosCollection CharEnds;
    int32_t CurTextStyleNo = 0;
    int32_t CurParaStyleNo = 0;
    std::unique_ptr<TRVUndoList> UndoList;
    std::unique_ptr<TRVUndoList> RedoList;
    uint8_t UndoDest = rvudNone;
    int32_t CaretDrawItemNo = -1;
    int32_t CaretOffs = -1; // index into CharEnds

    // ---- Life cycle.
    void ClearFormatting() override;
    // Clearing the items forgets every step that referred to them.
    void Clear() override;
    void ClearDocument();
    void EnsureNotEmpty();
    void FormatAll(bool keepPosition, bool force, bool noCaching, bool onlyTail, TCanvas* canvas,
                   int depth, bool noScroll) override;

    // ---- Styles: the current styles count as used and follow a renumbering.
    void CollectUsedStyles(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                           TRVIntegerList& usedList) const override;
    void RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                        const TRVIntegerList& listMap) override;

    // ---- The caret.
    // Offset code: the caret's offset in the caret drawing item minus 2.
    void BuildCaretLine(int offsetCode);
    void ShowCaret(bool scrollIntoView, bool recheckResizer, bool keepStyles);
    void HideCaret();
    // While an item is edited in place (a table with an open cell editor) the caret stands on
    // that item: its index, offset 1.
    int CaretItemIndex();
    int CaretItemOffset() const;
    // The item edited in place, or -1.
    int InplaceItemNo() const;
    void GetCaretItemPos(bool forward, int& itemNo, int& offs);
    void GetSelectionOrCaret(bool normalize, int& startNo, int& startOffs, int& endNo,
                             int& endOffs);
    void GetSelStartOrCaret(int& drawItemNo, int& offs) const;
    void SetSelectionAnchorAtCaret();
    void ExtendSelectionToCaret();
    TPoint GetCaretPoint() const;
    // Selects Length characters from the character position Start, counted through the
    // document with one position per character, per non-text item and per line or paragraph
    // break; with Backwards the selection runs from the far end back to Start. Positions past
    // the end are cut to it.
    void SelectRange(int start, int length, bool backwards);
    // The item position of a character position, as SelectRange counts them.
    void CharPosToItemPos(int charPos, int& itemNo, int& offs) const;
    // Puts the caret at an item position, skipping a list marker, and shows it.
    void PlaceCaretAt(int itemNo, int offs);
    // The same after an edit; with ReapplyParaStyle a paragraph whose items were left with
    // different paragraph styles takes the current one again (undoably).
    void PlaceCaretAfterEdit(int itemNo, int offs, bool reapplyParaStyle);
    // A drawing position on a list marker moves to the first position after it.
    void SkipMarkerPos(int& drawItemNo, int& offs) const;
    void SelectClickedItem(int drawItemNo, int offs, bool shift) override;
    // The caret moves into or out of an item edited in place: the editor is told.
    void SetActiveSubItem(TCustomRVItemInfo* item) override;
    void DeselectSubItem() override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // After a mouse selection the caret stands at the selection's end.
    void CaretToSelectionEnd();
    // Esc: ends a mouse selection in progress where it stands, or takes away drop feedback;
    // false when there was nothing to cancel.
    bool CancelByEscape();

    // ---- Hyperlinks of an editor: built on request (the editor's own jump list), cleared
    // again unless the editor is read-only. A list built on request is marked in the flags
    // word (the bit the layout leaves unused); while it is marked, the RTF and HTML writers
    // build it afresh, so the link numbers they hand out are those of the document as it is
    // written, and drop it after them.
    static constexpr TRVFlag rvflJumpsBuilt = TRVFlag::Reserved7;
    void BuildJumps(bool forced);
    void ClearJumps();
    bool JumpsBuilt() const { return GetFlags().Contains(rvflJumpsBuilt); }
    bool WriteRtfToStream(TStream& stream, bool selectionOnly, TColor color,
                          TBackgroundStyle backStyle = TBackgroundStyle::bsNoBitmap,
                          TGraphic* backImage = nullptr) override;
    bool WriteHtmlToStream(TStream& stream, const std::string& path, const std::string& title,
                           bool selectionOnly) override;
    bool WriteHtmlCssToStream(TStream& stream, const std::string& path, const std::string& title,
                              bool selectionOnly) override;

    // ---- Caret movement.
    void GoLineStart(bool document);
    void GoLineEnd(bool document);
    void GoLeft(bool word, bool selecting);
    void GoRight(bool word, bool selecting);
    void GoLineUp(bool selecting);
    void GoLineDown(bool selecting);
    void GoPageUp();
    void GoPageDown();
    bool IsCaretAtLineStart() const { return CaretOffs == 0; }
    bool IsCaretAtLineEnd() const { return CaretOffs == int(CharEnds.size()) - 1; }
    bool IsCaretOnLastDrawItem() const { return CaretDrawItemNo == DrawItems.Count() - 1; }

    // ---- Undo recording. Every recording operation opens its own group and closes it, which
    // sets the mode back to "do not record".
    TRVUndoList* GetUndoList() const;
    bool BeginUndoSequence(uint8_t action, const std::string& caption);
    void EndUndoSequence();
    void Undo();
    void Redo();
    void BeforeUndoRecord(int first, int last) override;
    void ReformatAfterUndo(int first, int last, int itemCountChange, bool full) override;

    // ---- Undoable edit primitives. Each records its reverse into the active list (when there
    // is one) before it changes the document; those that can change the document's minimum
    // width set FullReformat (they never clear it).
    // The list changes are recorded into now: the undo list (none when its limit is 0), the
    // redo list while undoing, or none.
    TRVUndoList* GetActiveUndoList() const;
    // Opens a group in the undo list at the caret; recording follows the result.
    void BeginUndoAction(uint8_t kind, bool finalize);
    void BeginUndoCustomAction(uint8_t kind, const std::string& caption, bool finalize);
    void BeginRedoAction(uint8_t kind, const std::string& caption);
    // The caret as an item position for a new group (-1, -1 without a caret).
    void GetUndoGroupCaret(int& itemNo, int& offs);
    // While the level is 1 or more, new actions join the current group.
    void ChangeUndoGroupLevel(bool raise);
    // Every editing operation ends with this: the editor is told of the change.
    void MarkChanged();

    void DeleteItemUndoable(int itemNo, bool& fullReformat);
    void DeleteItemsUndoable(int first, int last, bool& fullReformat);
    // Count -1: to the end of the text; 0: nothing.
    void DeleteSubstringUndoable(int itemNo, int offs, int count);
    // Text in the item's encoding, inserted before the character at Offs.
    void InsertSubstringUndoable(int itemNo, int offs, const std::string& text);
    void ChangeTextUndoable(int itemNo, const std::string& text);
    // Reattach: the item comes back from an undo record.
    void InsertItemUndoable(int index, const std::string& text,
                            std::unique_ptr<TCustomRVItemInfo> item, bool reattach,
                            bool& fullReformat);
    void InsertItemsUndoable(int index, std::vector<TRVItemEntry> items, bool reattach,
                             bool& fullReformat);
    // Only the record of inserted items, for items already put into the list.
    void AddInsertItemsUndo(int index, int count);
    // After a run of items went in at First..Last: their checkpoints (taken off them before,
    // given in order; may be empty) come back undoably, and the paragraph part after the run
    // takes the paragraph style of the run's last item.
    void FinishInsertedItems(int first, int last,
                             std::vector<std::unique_ptr<TRVCPInfo>> checkpoints,
                             bool& fullReformat);
    void SetParaStyleRangeUndoable(int first, int last, int paraNo, bool& fullReformat);
    void SetParaStylesFromListUndoable(int first, const std::vector<int32_t>& paraNos,
                                       bool& fullReformat);
    // ParaNo -1: a new paragraph start keeps the item's paragraph style.
    void SetJoinsPreviousUndoable(int itemNo, bool join, int paraNo, bool& fullReformat);
    void SetLineBreakUndoable(int itemNo, bool value, bool& fullReformat);
    void SetPageBreakUndoable(int itemNo, bool value);
    void SetStyleNoUndoable(int itemNo, int styleNo);
    // TakeOver: the tag is used as given, else copied.
    void SetTagUndoable(int itemNo, const TRVTag& tag, bool takeOver);
    // ItemNo -1: the document-end checkpoint.
    void AddCheckpointUndoable(int itemNo, std::unique_ptr<TRVCPInfo> checkpoint);
    void DeleteCheckpointUndoable(int itemNo);
    void ResizeControlUndoable(int itemNo, int width, int height, bool moveCaret);
    void ApplyControlSize(int itemNo, int width, int height, bool moveCaret);
    void SetExtraIntPropertyUndoable(int itemNo, int prop, int value);
    // Record null: the base record class. Target null: the item itself. The record, when one
    // was made, is returned; the active list keeps it.
    TRVUndoModifyItemIntProperty*
    SetItemIntPropertyUndoable(std::unique_ptr<TRVUndoModifyItemIntProperty> record, int itemNo,
                               TRVIntPropertyHolder* target, const std::string& name, int value,
                               bool affectsWidth, bool affectsHeight);
    TRVUndoModifyItemIntProperties*
    SetItemIntPropertiesUndoable(std::unique_ptr<TRVUndoModifyItemIntProperties> record, int itemNo,
                                 TRVIntPropertyHolder* target, bool affectsWidth,
                                 bool affectsHeight,
                                 const std::vector<std::pair<std::string, int>>& values);
    void AddModifyItemTerminatorUndo(int itemNo, bool opening);
    void AddReformatRange(int first, int last, bool flag);
    // Joins item ItemNo + 1 into ItemNo.
    void MergeTextItemsUndoable(int itemNo, bool& fullReformat);
    // The control whose bounds the editor itself is setting (its resize notice is ignored).
    TControl* ResizingControl = nullptr;
    // Puts back exactly the line options (joins, line break, page break) of an item.
    void RestoreLineOptionsUndoable(int itemNo, uint8_t options, uint8_t recordKind);

    // ---- Resizing the one selected picture or control with the mouse.
    std::unique_ptr<TRVItemResizer> Resizer;
    // Drops the resizer and makes one when exactly one resizable item is selected.
    void UpdateResizer();
    // Keeps the resizer only while its drawing item still shows its item.
    void RecheckResizer();
    // X and Y in client coordinates.
    bool ResizerHit(int x, int y);
    // Drops a resizer whose drawing item a layout has replaced; whether one is left.
    bool ResizerIsLive();
    void PaintOverItems(TCanvas* canvas, int xOffset, int yOffset) override;
    // The handles of the resizer, when there is one.
    void PaintResizer(TCanvas* canvas, int xOffset, int yOffset);
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void ToggleXorFeedback(int x, int y) override;
    // Escape during a drag: the item keeps its size; false when no drag ran.
    bool CancelResize();
    // Sizes include the border spacing; one undo step.
    void ResizeItem(int itemNo, int width, int height);
    // Re-formats (the whole document, or the paragraphs around the caret and the item) and
    // puts the caret at an item position.
    void MoveCaretToItem(bool fullReformat, int itemNo, int offs);
    // Around a change of an item's size: the minimum width of its paragraph before, then the
    // re-format that width change asks for (the whole document when the document's width may
    // change), the caret on the item.
    void NoteParaMinWidth(int itemNo, int& width);
    void ReformatAfterItemResize(int itemNo, int oldWidth);
    // Takes back the last undo group without recording anything (a refused insertion).
    void DropLastUndoGroup();

    // ---- Inserting at the caret. Each operation is one undo step, re-formats what it changed
    // and puts the caret behind what it inserted (in front with CaretBefore).
    // Places Item (taken in any case) at the caret; false when refused. Index gets the new
    // item's index; FullReformat is set when the document's minimum width may change.
    bool InsertItemAtCaret(std::unique_ptr<TCustomRVItemInfo> item, std::string text, int& index,
                           bool& fullReformat);
    bool InsertItem(std::unique_ptr<TCustomRVItemInfo> item, std::string text, bool caretBefore);
    // AtCaret: placed at the caret as InsertItemAtCaret does (a refusal beeps); else the plain
    // list insertion at Index.
    using TRichViewRVData::InsertItemObjectAt;
    bool InsertItemObjectAt(int index, std::string text, std::unique_ptr<TCustomRVItemInfo> item,
                            bool atCaret);
    bool InsertNewTextItem(const std::string& text, int styleNo);
    // Text cut into paragraphs and lines, in the current text style.
    bool InsertTextA(const std::string& text, bool caretBefore);
    // UTF-16LE bytes; an odd length raises "Can't perform Unicode operation".
    bool InsertTextW(const std::string& utf16, bool caretBefore);
    // False when the stream cannot be read whole: what was read before the failure stays,
    // recorded in the step, and InsertedPart tells so.
    bool InsertRVFFromStream(TStream& stream);
    bool InsertedPart = false;
    bool InsertRTFFromStream(TStream& stream);
    // Joins an inserted range with its neighbours and inside; the range and the caret
    // position follow the joins.
    void MergeInsertedRange(int& first, int& last, int& caretItemNo, int& caretOffs,
                            bool& fullReformat);

    // ---- Applying styles. The text style of the selection through the editor's
    // OnStyleConversion (without a selection: the current text style, and an empty item at the
    // caret); the paragraph style of the paragraphs the selection touches, converted through
    // OnParaStyleConversion or set to Value.
    void ApplyTextStyleConversion(int userValue);
    void ApplyParaStyleConversion(bool convert, int value);
    // Joins mergeable neighbours from the item before Start to End; the ends follow.
    void MergeAroundRange(int& startNo, int& startOffs, int& endNo, int& endOffs);

    // ---- Deleting, typing and Enter. Each checks protections, records one undo step,
    // re-lays out the touched paragraphs and tells the editor; a refusal beeps and changes
    // nothing (false).
    bool CanDeleteSelection();
    bool DeleteSelection();
    bool BackspaceKey(bool word);
    // Backspace of one character inside the caret's text item, recorded as untyping so that
    // characters removed one after another form one undo step; false when the full path of
    // Backspace is needed.
    bool UntypeChar(int itemNo, int offs);
    bool DeleteKey(bool word);
    // Text in the current text style's encoding (UTF-16LE for a Unicode style).
    bool InsertTyped(const std::string& text);
    // Typed text that cannot go into the caret's item: a new text item in the given style,
    // placed at the caret as any inserted item (one insertion step).
    bool InsertTypedAsNewItem(const std::string& text, int styleNo);
    // An empty item that receives typed text first takes the current paragraph style (its
    // paragraph with it), undoably.
    void TakeCurrentParaStyle(int itemNo, bool& fullReformat);
    // A typed ANSI character.
    bool KeyPressChar(char key);
    bool EnterKey(bool lineBreak);
    // Whether the caret stands at the start (end) of its paragraph; a list marker before the
    // caret's item counts as the paragraph's start.
    bool CaretAtParaStart();
    bool CaretAtParaEnd();
    // Notes the text-numbered lists of the list markers in items First .. Last (cells
    // included) before an edit changes them: a removed marker renumbers the rest of its list.
    void NoteNumberedLists(int firstItemNo, int lastItemNo);
    // Lays out again the paragraphs from the first list marker at or after FirstItemNo to the
    // last marker of the lists noted or found in First .. Last: their numbers may have changed
    // width. False when the whole document must be formatted instead.
    bool UpdateNumberedLists(int firstItemNo, int lastItemNo);
    // A new text item like the given one: style, Unicode flag and a copy of the tag.
    std::unique_ptr<TCustomRVItemInfo> CreateTextItemLike(int itemNo);
    // A copy of the list marker that starts the paragraph of ItemNo, or null.
    std::unique_ptr<TCustomRVItemInfo> CopyParagraphMarker(int itemNo);
    // After an edit: lays out again the paragraphs of a drawing range noted before it (the
    // whole document when Full, when the window width or the document's minimum width changed,
    // or when list numbering may have moved), then puts the caret at an item position.
    void FinishEdit(const TRVEditRange& range, int itemCountBefore, bool full, int caretItemNo,
                    int caretOffs);
    // The end of every step that records a group: in the paragraphs of items First..Last and
    // those next to them, a list marker or a full-line item that continues a line starts a
    // paragraph, so does the item after a full-line item, a marker alone gets an empty item
    // behind it, and an empty text item beside other items of its line goes (undoably). The
    // caret position follows; Full is raised for changes outside First..Last.
    void TidyStructure(int first, int last, int& caretNo, int& caretOffs, bool& full);

private:
    friend class TRVEditTransaction;
    // After a change of the items First..Last (numbered as now): lays out again the paragraphs
    // of a drawing range noted before it, or the whole document when Full or when the partial
    // result shows that the document's width may have changed.
    void ReformatAfterEdit(int firstDrawItemNo, int lastDrawItemNo, int firstItemNo, int lastItemNo,
                           int itemCountChange, bool full);
    // Whether a partial format of the changed items cannot stand: list numbers may have changed
    // width, the window's width changed, or a paragraph grew wider than the document.
    bool PartialFormatFallsShort(int firstItemNo, int lastItemNo, int itemCountChange);
    int ConvertTextStyle(int styleNo, int userValue, bool appliedToText);
    // Text of one style in the encoding of another.
    std::string TextInStyle(const std::string& text, int fromStyleNo, int toStyleNo) const;
    void RestyleTextItem(int itemNo, int styleNo);
    std::unique_ptr<TCustomRVItemInfo> NewTextPart(int itemNo, int styleNo, bool keepTag) const;
    // The characters before Offs become a new item in front; returns the old item's index.
    int SplitOffHead(int itemNo, int offs, int styleNo, bool keepTag);
    // The characters from Offs on become a new item behind.
    void SplitOffTail(int itemNo, int offs, int styleNo, bool keepTag);
    bool ParaIsReadOnly(int paraNo) const;
    bool ItemHasProtection(int itemNo, TRVProtectOption option) const;
    // Nothing may go between two sticking items (after AfterItemNo; -1: before the first).
    bool InsertionSticks(int afterItemNo) const;
    // Readies the caret's item for a new item (a text item is cut at the caret, an empty line
    // kept for a list marker) and finds where the item goes; false when the place refuses it.
    bool PrepareCaretPlace(TCustomRVItemInfo& newItem, int caretItemNo, int caretOffs,
                           TRVCaretPlace& place, bool& fullReformat);
    // A full-line item put at the start of the item behind a list marker goes after an empty
    // line that keeps the marker's.
    void KeepMarkerLine(int caretItemNo, TRVCaretPlace& place, bool& fullReformat);
    std::unique_ptr<TCustomRVItemInfo> NewTextItemLike(int itemNo) const;
    // A new numbered marker at the caret takes the list of the paragraph above when the two
    // list styles are equal, so that the numbering goes on.
    void ContinueListAbove(TRVMarkerItemInfo& marker, int caretItemNo) const;
    std::unique_ptr<TCustomRVItemInfo> NewTextItem(int styleNo, int paraNo) const;
    void GetParagraphItemRangeOf(int& first, int& last) const;
    // An empty text item that the next text item continues (they join into one).
    bool EmptyTextRunsOn(int itemNo) const;
    bool InsertLines(std::vector<TRVInsertLine>& lines, bool caretBefore);
    // Expands the tabs of Lines (UTF-16 bytes when Wide, else ANSI) and brings them to the
    // encoding of the current text style before inserting them.
    bool InsertLinesInStyleEncoding(std::vector<TRVInsertLine>& lines, bool wide, bool caretBefore);
    void FinishInsertion(TRVEditTransaction& tx, int first, int last, bool caretBefore);
    void FindDocumentInsertionPoint(TRVDocInsertPoint& p);
    bool CheckDocumentInsertion(const TRVDocInsertPoint& p);
    // Reads a document into the items at Index; gives the range of the new items and whether
    // the whole document must be formatted again; false when it failed (the range then holds
    // what it read before the failure, if anything).
    using TRVDocumentReader = std::function<bool(int index, int& first, int& last, bool& full)>;
    // Inserts what Read reads at the caret as one undo step.
    bool InsertDocumentAtCaret(const TRVDocumentReader& read);
    void FinishDocumentInsertion(TRVEditTransaction& tx, const TRVDocInsertPoint& p, int first,
                                 int last);
    // The one resizable item the selection covers whole, or -1.
    int ResizableSelectedItem() const;
    // Lists whose markers an edit or undo step touched, noted before the change.
    TRVIntegerList FNotedListNos;
    bool FResizeFrameShown = false;
    bool FHandleCursorShown = false;
    TCursor FCursorBeforeHandle = crDefault;
    int FClickDrawItemNo = -1; // the drawing item under the last left press
    bool SelectClickedResizable();
    // Backspace at an item position (the caret's, or where Delete put it).
    bool BackspaceAt(int itemNo, int offs, bool word, int& caretItemNo, int& caretOffs,
                     bool& fullReformat);
    bool ItemProtected(int itemNo, TRVProtectOption option) const;
    // An edit left ItemNo an empty text item inside a line: it goes (undoably); the caret
    // position follows.
    void DropEmptyLineItem(int itemNo, int& caretNo, int& caretOffs, bool& full);
    bool ItemParaReadOnly(int itemNo) const;
    bool CanMergeAcrossStart(int first, int second) const;
    // An empty text item in the current text style.
    std::unique_ptr<TCustomRVItemInfo> NewEmptyTextItem(int paraNo);
    // Undoes the last group of From, recording the reverse into To.
    void ReplayLastGroup(TRVUndoList& from, TRVUndoList& to, uint8_t mode);
    bool SelectionRunsBackwards() const;
    // The current styles and the hot link follow the item under the caret.
    void FollowCaretItem(bool keepStyles);
    // The hyperlink under the caret is the hot one; leaving links clears it.
    void TrackHotJump(int drawItemNo, int itemNo);
    void ReapplyCurParaStyle();
    void AddMeasuredStops(int drawItemNo, bool lineStart, int offsetCode, int& caretStop);
    // Stops of a text drawing item with a BiDi mode from character placement; false (nothing
    // added) when it has no text or placement fails.
    bool AddPlacedStops(int drawItemNo, bool lineStart, int offsetCode, int& caretStop);
    void RebuildAt(int drawItemNo, int offs);
    int SkipMarkerForward(int drawItemNo) const;
    void MoveToDrawItemAtY(int y, bool before);
    void MovePageTo(int drawItemNo, int offs, int oldLineFirst);
    bool WriteWithJumps(const std::function<bool()>& write);
    bool FDestroying = false;
    bool FDeselectingSubItem = false; // the deselection tells the editor once, at its end
    // The client width the last full format broke the lines for.
    int FLayoutClientWidth = -1;
    bool FTakeStylesOnNextFormat = false;
};

} // namespace epc
