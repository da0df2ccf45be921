#pragma once
// The editor a table lays over the cell being edited: the cell's items live in it while the
// cell is edited. Its keys, undo and redo are routed so that it and the editor holding the
// table act as one.

#include <cstdint>
#include <memory>
#include <string>

#include "richtext/edit/RVEdit.h"
#include "richtext/table/RVTable.h"

namespace epc {

class TRVTableInplaceEdit;

// The cell editor's document: it shows the edited cell's background.
class TRVTableInplaceRVData : public TRVEditRVData {
public:
    explicit TRVTableInplaceRVData(TRVTableInplaceEdit* editor);
    std::string ClassName() const override { return "TRVTableInplaceRVData"; }

    TRVBackground* GetBackground() const override;
    void PaintBackground(TCanvas* canvas, const TRect& rect) override;
    // Actions on the items of the edited cell are the containing document's too: its
    // OnItemAction hears of typing and new items in the cell.
    void DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                      TCustomRVData* rvData) override;
    // The document holding the table while the editor edits a cell of it; none once the
    // editor goes, which may outlive that document.
    TCustomRVData* ItemActionTarget = nullptr;
    // Set whenever the document's size is set: the table fits the cell to it.
    void SetDocumentSize(int width, int height) override;
    bool DocumentSizeChanged = false;
    // Beyond the editor, the document continues the edited cell's chain: its outer container
    // is the document holding the table.
    TCustomRVData* GetOuterParentData() const override;
    // Where this document's (0, 0) lies in its outer container's coordinates: the edited
    // cell's origin less that of the document holding the table, less the padding the
    // editor's margins repeat, plus the alignment shift the editor starts below, less the
    // editor's own scrolling. False while no cell is edited.
    bool GetOuterOrigin(int& x, int& y) const;
    // The editor scrolls only for a cell taller than any window; the rest is the outer
    // document's to scroll, so the caret typed into a cell stays on the screen.
    void MakeRectVisible(int x, int y, int width, int height) override;

private:
    // The cell's background when it has a picture and the editor does not look selected.
    TRVBackground* CellPicture() const;
    TRVTableInplaceEdit* FEditor;
};

class TRVTableInplaceEdit : public TRichViewEdit {
public:
    explicit TRVTableInplaceEdit(TComponent* owner);
    ~TRVTableInplaceEdit() override;
    std::string ClassName() const override { return "TRVTableInplaceEdit"; }

    // Takes the settings of the editor that holds the table.
    void SetParentData(TCustomRVData* data);
    void SetCell(int row, int col, TRVTableItemInfo* table, int margin);
    void SetSelectedLook(bool selected);

    TRVTableItemInfo* Table() const { return FTable; }
    TCustomRichViewEdit* Outer() const { return FOuter; }
    int Row() const { return FRow; }
    int Col() const { return FCol; }
    bool Busy() const { return FBusy; }
    bool SelectedLook() const { return FSelectedLook; }
    // The press that opened the editor: a press soon after it is a double click.
    void SetClickTime(LONG time) {
        FClickTime = time;
        FClicked = true;
    }
    bool Closing = false;
    bool Oversized = false;

    bool GetReadOnly() const override;
    void SetReadOnly(bool value) override;
    // Only a cell taller than any window scrolls; sideways the cell editor never does (the
    // table makes it as wide as its cell).
    void SetVScrollPos(int pos, bool redraw) override;
    void SetHScrollPos(int pos) override;
    // While the table lays the editor out, the outer viewer is not repainted with it.
    void RepaintWithOuter(bool now) override;
    // RTF pasted into the cell is read with the outer editor's settings.
    TRVRTFReaderProperties* GetRTFReadProperties() override;
    // A left press soon after the press that opened the editor becomes a double click.
    void TranslateClickToDoubleClick(TMessage& message);
    // A left press in the cell is being held.
    bool Tracking() const { return FTracking; }
    bool BeforeChange(bool quiet) override;
    void NotifyChange(bool clearRedo) override;
    void Undo() override;
    void Redo() override;
    void Dispatch(TMessage& message) override;

protected:
    std::unique_ptr<TRichViewRVData> GetDataClass() override;
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char16_t& key) override;

private:
    TCustomRVData* FParentData = nullptr;
    TCustomRichViewEdit* FOuter = nullptr;
    TRVTableItemInfo* FTable = nullptr;
    int FRow = -1, FCol = -1, FItemNo = -1;
    bool FBusy = false;
    // While an undo record replays its step here the editor is writable.
    bool FReplaying = false;
    bool FSelectedLook = false;
    TColor FSavedColor = clNone;
    LONG FClickTime = 0;
    bool FClicked = false;
    bool FTracking = false;
    // A move of a held press that leaves the cell goes to the outer document, at its client
    // coordinates.
    void PassMouseMoveToParent(const TMessage& message);
};

} // namespace epc
