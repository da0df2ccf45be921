#pragma once
// The document data of the editor: the caret held as a drawing item and a stop among the caret
// stops of its screen line, the current text and paragraph styles, and the undo and redo lists.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "richtext/edit/RVUndo.h"
#include "richtext/view/RVRVData.h"

namespace epc {

class TCustomRichViewEdit;

// UTF-16LE item bytes as characters (an odd last byte is dropped).
std::u16string LEBytesToWide(const std::string& bytes);

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

// Where changes are recorded.
enum : uint8_t { rvudNone = 0, rvudUndo = 1, rvudRedo = 2 };

class TRVEditRVData : public TRichViewRVData {
public:
    explicit TRVEditRVData(TCustomRichView* richView);
    ~TRVEditRVData() override;
    std::string ClassName() const override { return "TRVEditRVData"; }

    TCustomRichViewEdit* Editor() const;

    int32_t SavedTextStyleNo = 0;
    int32_t CaretHeight = 0;
    std::vector<TRVCharPos> CharEnds;
    int32_t CurTextStyleNo = 0;
    int32_t CurParaStyleNo = 0;
    std::unique_ptr<TRVUndoList> UndoList;
    std::unique_ptr<TRVUndoList> RedoList;
    uint8_t UndoDest = rvudNone;
    int32_t CaretDrawItemNo = -1;
    int32_t CaretOffs = -1; // index into CharEnds

    // ---- Life cycle.
    void ClearFormatting() override;
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
    int CaretItemIndex();
    int CaretItemOffset() const;
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
    void SelectClickedItem(int drawItemNo, int offs, bool shift) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // After a mouse selection the caret stands at the selection's end.
    void CaretToSelectionEnd();
    // Esc: ends a mouse selection in progress where it stands, or takes away drop feedback;
    // false when there was nothing to cancel.
    bool CancelByEscape();

    // ---- Hyperlinks of an editor: built on request (the editor's own jump list), cleared
    // again unless the editor is read-only.
    void BuildJumps(bool forced);
    void ClearJumps();
    bool JumpsBuilt = false;

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

private:
    bool SelectionRunsBackwards() const;
    // The current styles and the hot link follow the item under the caret.
    void FollowCaretItem(bool keepStyles);
    // The hyperlink under the caret is the hot one; leaving links clears it.
    void TrackHotJump(int drawItemNo, int itemNo);
    void AddMeasuredStops(int drawItemNo, bool lineStart, int offsetCode, int& caretStop);
    void RebuildAt(int drawItemNo, int offs);
    int SkipMarkerForward(int drawItemNo) const;
    void MoveToDrawItemAtY(int y, bool before);
    void MovePageTo(int drawItemNo, int offs, int oldLineFirst);
    bool FDestroying = false;
    bool FTakeStylesOnNextFormat = false;
};

} // namespace epc
