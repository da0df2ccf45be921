// The table in an editing document: undoable property changes, the cell editor's opening,
// moving and closing, and the hand-over of its undo records to the containing document.

#include <algorithm>
#include <vector>

#include "platform/core/ScopeGuard.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/table/RVTableInplace.h"
#include "richtext/table/RVTableUndo.h"
#include "richtext/view/RVRVData.h"

namespace epc {

namespace {

TCustomRichViewEdit* EditorOf(TCustomRVData* data) {
    auto* rvData = dynamic_cast<TRichViewRVData*>(data);
    return rvData ? dynamic_cast<TCustomRichViewEdit*>(rvData->RichView) : nullptr;
}

// The caret's offset in item ItemNo of an editing document; -1 when the caret is elsewhere.
int CaretOffsetInItem(TCustomRVData* rvData, int itemNo) {
    auto* data = dynamic_cast<TRVEditRVData*>(rvData);
    if (!data || itemNo < 0 || data->CaretDrawItemNo < 0 ||
        data->CaretDrawItemNo >= data->DrawItems.Count() || data->CaretItemIndex() != itemNo)
        return -1;
    return data->CaretItemOffset();
}

// Puts the caret back at an offset CaretOffsetInItem gave, once the document is laid out again.
void RestoreCaretInItem(TCustomRVData* rvData, int itemNo, int offs) {
    auto* data = dynamic_cast<TRVEditRVData*>(rvData);
    if (!data || offs < 0 || itemNo < 0 || itemNo >= data->ItemCount() ||
        data->DrawItems.Count() == 0)
        return;
    data->PlaceCaretAt(itemNo, offs);
}

} // namespace

bool RVTablePropertyAffectsWidth(const std::string& name) {
    return name == "BestWidth" || name == "BorderWidth" || name == "BorderHSpacing" ||
           name == "CellBorderWidth" || name == "CellPadding" || name == "CellHSpacing";
}

bool RVTablePropertyAffectsHeight(const std::string& name) {
    return RVTablePropertyAffectsWidth(name) || name == "BorderVSpacing" || name == "CellVSpacing";
}

// ---------------------------------------------------------------------------------------------
// Recording.

TRVUndoList* TRVTableItemInfo::GetEditUndoList() const {
    if (FUndoTargetSet) return FUndoTarget;
    if (!(StateBits & rvtsInserted)) return nullptr;
    auto* data = dynamic_cast<TRVEditRVData*>(FRVData);
    TRVUndoList* list = data ? data->GetActiveUndoList() : nullptr;
    return list && list->LastGroup() ? list : nullptr;
}

TRVTableItemInfo::TEditStep::TEditStep(TRVTableItemInfo& table, bool wanted) {
    auto* data = dynamic_cast<TRVEditRVData*>(table.GetRVData());
    if (!wanted || !data || table.UndoTargetSet() || data->UndoDest != rvudNone) return;
    table.FinalizeCellUndo();
    FTransaction.emplace(*data, TRVEditRange(), rvutModifyItem);
    // Without undo nothing is recorded; the change is still reported, or a document changed
    // this way would seem unchanged to whoever asks before closing it.
    if (data->UndoDest == rvudNone) {
        FTransaction.reset();
        FUnrecorded = data;
        FTable = &table;
        FStamp = table.ChangeStamp();
    }
}

TRVTableItemInfo::TEditStep::~TEditStep() noexcept(false) {
    if (FUnrecorded && FTable->ChangeStamp() != FStamp && FUnrecorded->Editor())
        FUnrecorded->MarkChanged();
    if (!FTransaction) return;
    const bool changed = FTransaction->Recorded();
    FTransaction->End();
    if (changed) FTransaction->Commit();
}

void TRVTableItemInfo::SetTablePropertyUndoable(const std::string& name, int32_t value,
                                                bool affectsWidth, bool affectsHeight) {
    if (UsesUndo()) {
        TEditStep step(*this, true);
        RVTableSetIntProperty(*this, -1, -1, name, value, affectsWidth, affectsHeight);
        if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData))
            formatted->Invalidate();
        return;
    }
    TUnrecordedScope unrecorded(*this);
    SetPropertyByName(name, value);
    SetChangedFlag();
}

void TRVTableItemInfo::SetBackgroundImageUndoable(TGraphic* graphic, int row, int col) {
    TEditStep step(*this, true);
    TRVTableCellData* cell = row >= 0 ? Rows.GetCell(row, col) : nullptr;
    if (row >= 0 && !cell) throw ERichViewError(errRVTableIndex);
    if (GetEditUndoList()) {
        auto record = RVNewTableRecord<TRVUndoModifyBackgroundImage>(*this, false,
                                                                     TRVTableCellPlace{row, col});
        if (TGraphic* current = cell ? cell->BackgroundImage() : BackgroundImage())
            record->OldImage = RVCopyGraphic(*current);
        AddUndoRecord(std::move(record));
    }
    if (cell) {
        cell->SetBackgroundImage(graphic);
    } else {
        TUnrecordedScope unrecorded(*this);
        SetBackgroundImage(graphic);
    }
    SetChangedFlag();
}

void TRVTableItemInfo::AssignCellAttributesUndoable(int itemNo, int row, int col, int rowCount,
                                                    int colCount, bool withSizes,
                                                    const TRVTableCellData& source) {
    TRVTableCellData* cell = Rows.GetCell(row, col);
    if (!cell) throw ERichViewError(errRVTableIndex);
    if (!UsesUndo()) {
        cell->AssignAttributes(source, withSizes, rowCount, colCount);
        SetChangedFlag();
        return;
    }
    TEditStep step(*this, true);
    SetCellVisibleBorders(itemNo, source.VisibleBorders.Left, source.VisibleBorders.Top,
                          source.VisibleBorders.Right, source.VisibleBorders.Bottom, row, col);
    if (cell->BackgroundImage() != source.BackgroundImage())
        SetBackgroundImageUndoable(source.BackgroundImage(), row, col);
    std::vector<std::pair<std::string, int>> values = {
        {"Color", source.Color},
        {"BorderColor", source.BorderColor},
        {"BorderLightColor", source.BorderLightColor},
        {"VAlign", source.VAlign},
        {"BackgroundStyle", source.BackgroundStyle()}};
    if (withSizes) {
        values.emplace_back("BestWidth", colCount ? source.BestWidth / colCount : source.BestWidth);
        values.emplace_back("BestHeight",
                            rowCount ? source.BestHeight / rowCount : source.BestHeight);
    }
    // One record with the old values of them all.
    auto* data = static_cast<TRVEditRVData*>(FRVData);
    if (GetEditUndoList()) {
        if (auto* record = data->SetItemIntPropertiesUndoable(
                std::make_unique<TRVUndoModifyCellIntProperties>(row, col), GetItemNo(), cell, true,
                true, values))
            record->Target = nullptr;
        SetChangedFlag();
        return;
    }
    cell->AssignAttributes(source, withSizes, rowCount, colCount);
    SetChangedFlag();
}

// ---------------------------------------------------------------------------------------------
// The cell editor.

TRVTableItemInfo::TEditedCellContent::TEditedCellContent(const TRVTableItemInfo& table) {
    if (!table.FInplaceEditor) return;
    const int row = table.FEditedRow, col = table.FEditedCol;
    if (row < 0 || row >= table.RowCount() || col < 0 || col >= table.ColCount()) return;
    TRVTableCellData* cell = table.Rows.GetRow(row)->Cell(col);
    TRVEditRVData* inner = table.FInplaceEditor->EditData();
    // A cell that holds items of its own is not the one the editor took them from.
    if (!cell || cell->SharesItems() || cell->ItemCount() > 0 || inner->SharesItems()) return;
    cell->ShareItemsOf(*inner);
    FCell = cell;
}

TRVTableItemInfo::TEditedCellContent::~TEditedCellContent() {
    // A cell that shares items only lets go of them.
    if (FCell) FCell->ClearAllItems();
}

void TRVTableItemInfo::GetEditedCell(int& row, int& col) const {
    row = FInplaceEditor ? FEditedRow : -1;
    col = FInplaceEditor ? FEditedCol : -1;
}

bool TRVTableItemInfo::IsEditor(const TControl* control) const {
    return control && control == FInplaceEditor.get();
}

namespace {

// The cell editor's mouse events, double clicks and jumps reach the editor that holds the
// table once the cell editor's own message is over, at that editor's client coordinates.
void ForwardCellEditorEvents(TRVTableInplaceEdit& editor, TCustomRichViewEdit& outer) {
    TRVTableInplaceEdit* cellEditor = &editor;
    TCustomRichViewEdit* target = &outer;
    auto post = [target](std::unique_ptr<TRVMessageData> message) {
        if (!target->HandleAllocated()) return;
        PostMessage(target->Handle(), WM_RVEVENT, 0, reinterpret_cast<LPARAM>(message.release()),
                    [](WPARAM, LPARAM l) {
                        std::unique_ptr<TRVMessageData> dropped(
                            reinterpret_cast<TRVMessageData*>(l));
                    });
    };
    auto mouse = [post, cellEditor](bool down) {
        return [post, cellEditor, down](TCustomRichView*, TMouseButton button, TShiftState shift,
                                        int, int x, int y) {
            auto message = std::make_unique<TRVMouseUpDownMessageData>(down);
            message->Button = button;
            message->Shift = shift;
            message->ItemNo = cellEditor->Table() ? cellEditor->Table()->GetItemNo() : -1;
            message->X = x + cellEditor->Left();
            message->Y = y + cellEditor->Top();
            post(std::move(message));
        };
    };
    editor.OnRVMouseDown = mouse(true);
    editor.OnRVMouseUp = mouse(false);
    if (outer.OnRVRightClick)
        editor.OnRVRightClick = [target, cellEditor](TCustomRichView*, const std::string& word,
                                                     int styleNo, int x, int y) {
            if (target->OnRVRightClick)
                target->OnRVRightClick(target, word, styleNo, x + cellEditor->Left(),
                                       y + cellEditor->Top());
        };
    editor.OnRVDblClick = [post](TCustomRichView*, const std::string& word, int styleNo) {
        auto message = std::make_unique<TRVDblClickMessageData>();
        message->ClickedWord = word;
        message->StyleNo = styleNo;
        post(std::move(message));
    };
    editor.OnJump = [post](TObject*, int id) {
        auto message = std::make_unique<TRVJumpMessageData>();
        message->Id = id;
        post(std::move(message));
    };
    editor.OnClick = [post](TObject*) { post(std::make_unique<TRVClickMessageData>(false)); };
    // Dragging over the cell asks the outer editor, which decides what it accepts.
    editor.OnDragOver = [target, cellEditor](TObject*, TObject* source, int x, int y,
                                             TDragState state, bool& accept) {
        accept = target->DragOver(source, x + cellEditor->Left(), y + cellEditor->Top(), state);
    };
    auto dnd = [post, cellEditor](bool endDrag) {
        return [post, cellEditor, endDrag](TObject*, TObject* obj, int x, int y) {
            auto message = std::make_unique<TRVDNDMessageData>(endDrag);
            message->Obj = obj;
            message->X = x + cellEditor->Left();
            message->Y = y + cellEditor->Top();
            post(std::move(message));
        };
    };
    editor.OnDragDrop = dnd(false);
    editor.OnEndDrag = dnd(true);
}

} // namespace

bool TRVTableItemInfo::OpenCellEditor(int itemNo, int row, int col, bool noEvent, bool click,
                                      bool caretAtEnd, bool caretAtStart) {
    auto* data = dynamic_cast<TRVEditRVData*>(FRVData);
    TCustomRichViewEdit* outer = EditorOf(FRVData);
    if (!data || !outer || !(StateBits & rvtsInserted)) return false;
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) return false;
    TRVTableCellData* cell = Rows.GetRow(row)->Cell(col);
    if (!cell) return false;
    if (!noEvent && !FireCellEditing(row, col, click)) return false;
    if (FInplaceEditor)
        DestroyCellEditor(true);
    else if (outer->InplaceEdit())
        // The document edits one cell at a time: another table's editor goes first, its
        // content kept and its steps handed over.
        outer->DestroyInplaceEditor();
    Deselect();
    if (itemNo < 0) itemNo = GetItemNo();

    FInplaceEditor.reset(new TRVTableInplaceEdit(nullptr));
    TRVTableInplaceEdit* editor = FInplaceEditor.get();
    editor->SetParentData(data);
    editor->SetColor(GetCellColor(cell));
    editor->SetParent(outer);
    editor->SetCell(row, col, this, CellPadding());
    // The editor holding the table handles the cell's events; those with a position hear of
    // it at their own coordinates.
    editor->CopyEventHandlersFrom(*outer);
    ForwardCellEditorEvents(*editor, *outer);
    FEditedRow = row;
    FEditedCol = col;
    const int d = data->GetFirstDrawItemNo(itemNo);
    auto place = [&] {
        if (d >= 0 && d < data->DrawItems.Count())
            PlaceCellEditor(data->DrawItems[d]->Left - outer->HScrollPos(),
                            data->DrawItems[d]->Top - outer->VScrollPos() * outer->VSmallStep());
    };
    place();
    TRVEditRVData* inner = editor->EditData();
    inner->ClearAllItems();
    inner->MoveItemsFrom(*cell);
    RVRebindItems(*inner);
    // From now on what happens to the cell's items is heard where the table lies.
    if (auto* innerData = dynamic_cast<TRVTableInplaceRVData*>(inner))
        innerData->ItemActionTarget = FRVData;
    cell->ClearFormatting();
    if (inner->ItemCount() == 0)
        inner->AppendItem(std::string(), std::make_unique<TRVTextItemInfo>(inner));
    outer->SetInplaceEditor(editor, [this](bool close) {
        if (close)
            DestroyCellEditor(true);
        else
            FinalizeCellUndo();
    });
    if (click) editor->SetClickTime(GetMessageTime());
    editor->Show();
    editor->Format();
    // The vertical alignment shift needs the height of the editor's document.
    place();
    FEditorHeight = FEditorMinWidth = -1;
    if (caretAtEnd || caretAtStart) {
        const int last = inner->ItemCount() - 1;
        if (caretAtEnd)
            inner->PlaceCaretAt(last, inner->ItemEndOffset(last));
        else
            inner->PlaceCaretAt(0, inner->GetItemStyleNo(0) >= 0 ? 1 : 0);
    }
    FChosenRow = row;
    FChosenCol = col;
    ShowAsActiveSubDocument(true);
    if (editor->HandleAllocated() && outer->Visible() && editor->CanFocus()) editor->SetFocus();
    return true;
}

void TRVTableItemInfo::PlaceCellEditor(int x, int y) {
    if (!FInplaceEditor || FEditedRow < 0 || FEditedRow >= RowCount() || FEditedCol < 0 ||
        FEditedCol >= ColCount())
        return;
    TRVTableCellData* cell = Rows.GetRow(FEditedRow)->Cell(FEditedCol);
    if (!cell) return;
    const int offset = std::max(cell->GetVAlignOffset(), 0);
    ResizeInplaceEditor(x + cell->Left, y + cell->Top + offset, std::max(int(cell->Width), 1),
                        std::max(cell->Height - offset, 1));
}

void TRVTableItemInfo::ResizeInplaceEditor(int x, int y, int width, int height) {
    if (!FInplaceEditor) return;
    if (height != 10000) FInplaceEditor->Oversized = height > 10000;
    FInplaceEditor->SetBounds(x, y, width, std::min(height, 10000));
    if (!(StateBits & rvtsPaddingChanged)) return;
    StateBits &= uint16_t(~rvtsPaddingChanged);
    FInplaceEditor->Format();
}

void TRVTableItemInfo::PassPressToCellEditor(TMouseButton button, TShiftState shift, TPoint client,
                                             bool down) {
    FEditorPressed = down && FInplaceEditor;
    if (!FInplaceEditor) return;
    TRVEditRVData* inner = FInplaceEditor->EditData();
    // The cell editor reports the press or release to the editor around it itself.
    if (auto* outer = dynamic_cast<TCustomRVFormattedData*>(FRVData))
        outer->NoteMouseEventReported();
    const int x = client.X - FInplaceEditor->Left(), y = client.Y - FInplaceEditor->Top();
    if (down)
        inner->MouseDown(button, shift, x, y);
    else
        inner->MouseUp(button, shift, x, y);
}

bool TRVTableItemInfo::GetEditedCellSize(const TRVTableCellData* cell, int& height,
                                         int& minWidth) const {
    if (!FInplaceEditor || !cell || FEditedRow < 0 || FEditedRow >= RowCount() || FEditedCol < 0 ||
        FEditedCol >= ColCount() || Rows.GetRow(FEditedRow)->Cell(FEditedCol) != cell)
        return false;
    TRVEditRVData* inner = FInplaceEditor->EditData();
    // The editor's document has the padding as its margins.
    height = std::max(inner->DocumentHeight - 2 * CellPadding(), 0);
    minWidth =
        inner->DrawItems.Count() > 0 ? inner->CalcDocumentMinWidth(inner->GetCanvas(), nullptr) : 0;
    return true;
}

void TRVTableItemInfo::EditorResized() {
    SetChangedFlag();
    int height = 0, minWidth = 0;
    if (!FInplaceEditor || FEditedRow < 0 || FEditedRow >= RowCount() || FEditedCol < 0 ||
        FEditedCol >= ColCount() ||
        !GetEditedCellSize(Rows.GetRow(FEditedRow)->Cell(FEditedCol), height, minWidth))
        return;
    if (height == FEditorHeight && minWidth == FEditorMinWidth) return;
    FEditorHeight = height;
    FEditorMinWidth = minWidth;
    auto* data = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    TCustomRichViewEdit* outer = EditorOf(FRVData);
    const int itemNo = GetItemNo();
    if (!data || !outer || !data->GetCanvas() || itemNo < 0) return;
    const int d = data->GetFirstDrawItemNo(itemNo);
    if (d < 0 || d >= data->DrawItems.Count()) return;
    // As a fresh format of the document would lay it out (it may change the document's width).
    FormatAfterChange(data);
    const int e = data->GetFirstDrawItemNo(itemNo);
    if (e >= 0 && e < data->DrawItems.Count())
        PlaceCellEditor(data->DrawItems[e]->Left - outer->HScrollPos(),
                        data->DrawItems[e]->Top - outer->VScrollPos() * outer->VSmallStep());
    data->Invalidate();
    // What the layout was made for: the editor lays its items out again when the cell's width
    // changes, and they may then need another height.
    if (FInplaceEditor && FEditedRow >= 0 && FEditedRow < RowCount() && FEditedCol >= 0 &&
        FEditedCol < ColCount())
        GetEditedCellSize(Rows.GetRow(FEditedRow)->Cell(FEditedCol), FEditorHeight,
                          FEditorMinWidth);
}

void RVTableCellEditorFollows(TRVTableItemInfo& table, const std::string& name, int row, int col) {
    TRVTableInplaceEdit* editor = table.InplaceEditor();
    if (!editor) return;
    int editedRow, editedCol;
    table.GetEditedCell(editedRow, editedCol);
    if (name == "CellPadding" && row < 0) {
        const int padding = table.CellPadding();
        editor->LeftMargin = editor->RightMargin = editor->TopMargin = editor->BottomMargin =
            padding;
        // The editor's document is laid out with its new margins before the table asks it
        // for its size.
        table.StateBits |= rvtsPaddingChanged;
        table.ResizeInplaceEditor(editor->Left(), editor->Top(), editor->Width(), editor->Height());
        table.EditorResized();
    } else if (name == "Color" && (row < 0 || (row == editedRow && col == editedCol))) {
        editor->SetColor(table.GetCellColor(table.GetCell(editedRow, editedCol)));
    } else if ((name == "BackgroundImage" || name == "BackgroundStyle") && row == editedRow &&
               col == editedCol) {
        editor->Invalidate();
    }
}

void TRVTableItemInfo::MoveToUndo(TCustomRVData* rvData) {
    DestroyCellEditor(true);
    ShowAsActiveSubDocument(false);
    StateBits &= uint16_t(~rvtsInserted);
    TRVFullLineItemInfo::MoveToUndo(rvData);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) {
                for (int i = 0; i < cell->ItemCount(); ++i)
                    cell->GetItem(i)->MoveToUndo(cell);
                cell->ClearFormatting();
            }
    // Out of the document: the cells report to nobody until the table comes back.
    FRVData = nullptr;
    FChosenRow = FChosenCol = -1;
}

void TRVTableItemInfo::AttachToDocument(TCustomRVData* rvData) {
    if (rvData) FRVData = rvData;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c))
                for (int i = 0; i < cell->ItemCount(); ++i)
                    cell->GetItem(i)->AttachToDocument(cell);
    NeedsLayout = true;
}

void TRVTableItemInfo::CloseCellEditor(bool clearing) {
    if (!FInplaceEditor) return;
    // Editors open inside this one close first, innermost first, each handing its steps to
    // the editor around it; so the steps reach this editor's lists before they are handed on,
    // and no table is left holding an editor that goes with this one.
    FInplaceEditor->DestroyInplaceEditor();
    if (!FInplaceEditor) return;
    TCustomRichViewEdit* outer = FInplaceEditor->Outer();
    if (outer && (outer->Destroying() || !outer->HandleAllocated())) clearing = true;
    FinalizeCellUndo();
    const int row = FEditedRow, col = FEditedCol;
    TRVTableCellData* cell = row >= 0 && row < RowCount() && col >= 0 && col < ColCount()
                                 ? Rows.GetRow(row)->Cell(col)
                                 : nullptr;
    TRVEditRVData* inner = FInplaceEditor->EditData();
    // Text selected in the editor stays selected in the cell.
    int sel[4] = {-1, -1, -1, -1};
    const bool selected = inner->SelectionExists(false, false);
    if (selected) inner->GetSelectionBounds(sel[0], sel[1], sel[2], sel[3], true);
    inner->ClearFormatting();
    if (cell) {
        cell->ClearAllItems();
        cell->MoveItemsFrom(*inner);
        if (cell->ItemCount() == 0) cell->ResetContent();
        RVRebindItems(*cell);
    }
    ShowAsActiveSubDocument(false);
    // The editor goes first: its items are the cell's again.
    FInplaceEditor.reset();
    FEditedRow = FEditedCol = -1;
    SetChangedFlag();
    if (!clearing)
        if (auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData)) {
            // Only the table's paragraph is laid out again: the caret and the scroll position
            // of the document stay.
            FormatDocumentAfterChange();
            // As the document's inner selection, which goes when the document selects
            // elsewhere.
            if (selected && cell && cell->DrawItems.Count() > 0 && sel[0] >= 0 &&
                sel[2] < cell->ItemCount()) {
                FChosenRow = row;
                FChosenCol = col;
                ShowAsActiveSubDocument(true);
                cell->SetSelectionBounds(sel[0], sel[2], sel[1], sel[3]);
            }
            formatted->Invalidate();
        }
    if (OnCellEndEdit) OnCellEndEdit(this, row, col, clearing);
}

void TRVTableItemInfo::DestroyCellEditor(bool keepContent) {
    if (!FInplaceEditor || FInplaceEditor->Closing) return;
    FInplaceEditor->Closing = true;
    CloseCellEditor(!keepContent);
}

void TRVTableItemInfo::FinalizeCellUndo() {
    auto* data = dynamic_cast<TRVEditRVData*>(FRVData);
    if (!FInplaceEditor || !data) return;
    // The steps of an editor open inside this one join this one's lists first.
    FInplaceEditor->FinalizeInplaceUndo();
    TRVEditRVData* inner = FInplaceEditor->EditData();
    const int itemNo = GetItemNo();
    for (bool redo : {false, true}) {
        TRVUndoList* from = redo ? inner->RedoList.get() : inner->UndoList.get();
        if (from->Count() == 0) continue;
        TRVUndoList* to = redo ? data->RedoList.get() : data->UndoList.get();
        const int level = to->GroupModeLevel;
        to->GroupModeLevel = 0;
        const bool opened = to->BeginUndoGroup(rvutModifyItem, std::string(), itemNo, 0);
        to->GroupModeLevel = level;
        if (!opened) {
            from->Clear();
            continue;
        }
        auto record = std::make_unique<TRVUndoCellModify>(itemNo, nullptr);
        record->IsRedo = redo;
        record->Row = FEditedRow;
        record->Col = FEditedCol;
        inner->GetSelectionBounds(record->SelStartNo, record->SelStartOffs, record->SelEndNo,
                                  record->SelEndOffs, true);
        while (from->Count() > 0)
            record->UndoList.AddGroup(from->ExtractGroup(0));
        to->AddInfo(std::move(record));
    }
}

void TRVTableItemInfo::SaveEditorState() {
    if (!FInplaceEditor) return;
    if (FInplaceEditor->Busy()) throw ERVTableInplaceError(errRVTableInplaceBusy);
    FInplaceEditor->EditData()->GetSelectionBounds(FSavedSel[0], FSavedSel[1], FSavedSel[2],
                                                   FSavedSel[3], true);
    FSavedRow = FEditedRow;
    FSavedCol = FEditedCol;
    FEditorSaved = true;
    DestroyCellEditor(true);
}

void TRVTableItemInfo::RestoreEditorState() {
    if (!FEditorSaved) return;
    FEditorSaved = false;
    if (!OpenCellEditor(-1, FSavedRow, FSavedCol, true, false, false, false)) return;
    TRVEditRVData* inner = FInplaceEditor->EditData();
    if (FSavedSel[0] >= 0 && FSavedSel[0] < inner->ItemCount() && FSavedSel[2] >= 0 &&
        FSavedSel[2] < inner->ItemCount())
        inner->SetSelectionBounds(FSavedSel[0], FSavedSel[2], FSavedSel[1], FSavedSel[3]);
    FInplaceEditor->Invalidate();
}

void TRVTableItemInfo::ChooseCell(int row, int col) {
    ChooseAndEditCell(row, col, false);
}

bool TRVTableItemInfo::ChooseAndEditCell(int row, int col, bool caretAtEnd) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount()) return false;
    int mr, mc;
    if (!Rows.GetMainCell(row, col, mr, mc)) return false;
    ValidateCellPair(FChosenRow, FChosenCol);
    if (FChosenRow == mr && FChosenCol == mc && FInplaceEditor) return true;
    // In an editing document the cell is chosen once its editor opens.
    if ((StateBits & rvtsInserted) && (StateBits & rvtsEditMode)) {
        EditCell(mr, mc, caretAtEnd);
        return FInplaceEditor != nullptr;
    }
    FChosenRow = mr;
    FChosenCol = mc;
    ShowAsActiveSubDocument(true);
    return false;
}

bool TRVTableItemInfo::FindCellOfData(const TCustomRVItemInfo* item, int& row, int& col,
                                      int& itemNo) const {
    row = col = itemNo = -1;
    if (!item) return false;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c) {
            const TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            const TCustomRVData* data = cell;
            if (FInplaceEditor && r == FEditedRow && c == FEditedCol)
                data = FInplaceEditor->EditData();
            const int found = data->FindItemIndex(item);
            if (found >= 0) {
                row = r;
                col = c;
                itemNo = found;
                return true;
            }
        }
    return false;
}

void TRVTableItemInfo::DeselectChosenCell() {
    ValidateCellPair(FChosenRow, FChosenCol);
    if (FChosenRow >= 0)
        if (TRVTableCellData* cell = GetCell(FChosenRow, FChosenCol))
            cell->Deselect(nullptr, false);
    CloseCellEditor(false);
    UnchooseCell();
}

bool TRVTableItemInfo::ChosenCellHasSelection() {
    ValidateCellPair(FChosenRow, FChosenCol);
    if (FChosenRow < 0) return false;
    // While the cell is edited its items are the editor's.
    if (FInplaceEditor && FEditedRow == FChosenRow && FEditedCol == FChosenCol)
        return FInplaceEditor->EditData()->SelectionExists(false, true);
    TRVTableCellData* cell = GetCell(FChosenRow, FChosenCol);
    return cell && cell->SelectionExists(false, true);
}

void TRVTableItemInfo::ShowAsActiveSubDocument(bool active) {
    auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    if (!formatted) return;
    const int itemNo = GetItemNo();
    if (!active) {
        if (formatted->ChosenItem != this) return;
        formatted->SetActiveSubItem(nullptr);
        formatted->ChosenRVData = nullptr;
        // The table selected as a whole would be replaced by the next key typed outside it.
        int si, so, ei, eo;
        formatted->GetSelectionBounds(si, so, ei, eo, true);
        if (itemNo >= 0 && si == itemNo && ei == itemNo && so == 0 && eo == 1)
            formatted->Deselect(nullptr, false);
        return;
    }
    if (itemNo < 0) return;
    if (formatted->GetFirstDrawItemNo(itemNo) >= 0)
        formatted->SetSelectionBounds(itemNo, itemNo, 0, 1);
    formatted->SetActiveSubItem(this);
    // The active sub-document: the cell editor's, else the chosen cell itself.
    TCustomRVFormattedData* sub = FInplaceEditor ? FInplaceEditor->EditData() : nullptr;
    if (!sub && FChosenRow >= 0 && FChosenRow < RowCount() && FChosenCol >= 0 &&
        FChosenCol < ColCount())
        sub = Rows.GetRow(FChosenRow)->Cell(FChosenCol);
    formatted->ChosenRVData = sub;
}

namespace {

// Cell and the cells of the tables inside it, at any depth.
void CollectCellDocuments(const TRVTableCellData& cell, std::vector<const TCustomRVData*>& out) {
    out.push_back(&cell);
    for (int i = 0; i < cell.ItemCount(); ++i)
        if (auto* table = dynamic_cast<const TRVTableItemInfo*>(cell.GetItem(i)))
            for (int r = 0; r < table->RowCount(); ++r)
                for (int c = 0; c < table->ColCount(); ++c)
                    if (const TRVTableCellData* inner = table->GetCell(r, c))
                        CollectCellDocuments(*inner, out);
}

} // namespace

void TRVTableItemInfo::ForgetCell(const TRVTableCellData* cell) {
    auto* formatted = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    if (!cell || !formatted) return;
    if (formatted->ChosenRVData == cell) formatted->ChosenRVData = nullptr;
    TCustomRVFormattedData* root = formatted->GetRootFormattedData();
    if (!root || (!root->HoverRVData && root->Jumps.empty())) return;
    std::vector<const TCustomRVData*> going;
    CollectCellDocuments(*cell, going);
    auto goes = [&](const TCustomRVData* data) {
        return data && std::find(going.begin(), going.end(), data) != going.end();
    };
    if (goes(root->HoverRVData)) root->HoverRVData = nullptr;
    // Hyperlink areas of the cell stay until the next format, which builds them again; they
    // only no longer lead into it.
    for (auto& jump : root->Jumps)
        if (goes(jump->RVData)) {
            jump->RVData = nullptr;
            jump->DrawItemNo = -1;
        }
}

void TRVTableItemInfo::EditCell(int row, int col, bool caretAtEnd) {
    if (auto* parentCell = dynamic_cast<TRVTableCellData*>(FRVData)) {
        // A table inside a cell is edited once its own cell is: it then lies in that cell's
        // editor, where it opens its own.
        TRVTableItemInfo* parent = parentCell->GetTable();
        int r, c;
        if (!parent || !parent->GetCellPosition(parentCell, r, c))
            throw ERichViewError("Internal error");
        parent->EditCell(r, c);
        if (dynamic_cast<TRVTableCellData*>(FRVData)) return; // the parent's editor did not open
    }
    OpenCellEditor(-1, row, col, false, false, caretAtEnd, !caretAtEnd);
}

namespace {

// The cell editor numbered from another first jump: its jumps and its items' numbers move along.
void ShiftJumpNumbers(TCustomRVFormattedData& data, int shift) {
    if (shift == 0) return;
    for (auto& jump : data.Jumps)
        jump->Id += shift;
    data.NextJumpNo += shift;
    for (int i = 0; i < data.ItemCount(); ++i)
        if (TCustomRVItemInfo* item = data.GetItem(i); item->JumpID >= 0) item->JumpID += shift;
}

} // namespace

void TRVTableItemInfo::BuildJumps(int /*left*/, int /*top*/, int& jumpNo) {
    auto* owner = dynamic_cast<TCustomRVFormattedData*>(FRVData);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            if (FInplaceEditor && r == FEditedRow && c == FEditedCol) {
                // The cell editor keeps its own hyperlinks, numbered from here.
                TRVEditRVData* inner = FInplaceEditor->EditData();
                ShiftJumpNumbers(*inner, jumpNo - inner->FirstJumpNo);
                inner->FirstJumpNo = jumpNo;
                jumpNo = std::max(jumpNo, int(inner->NextJumpNo));
                continue;
            }
            // The other cells' hyperlinks join the document's list, at root coordinates.
            cell->FirstJumpNo = jumpNo;
            if (!owner || cell->DrawItems.Count() == 0) continue;
            std::vector<std::unique_ptr<TRVJumpInfo>> jumps;
            jumpNo += cell->BuildJumpList(jumpNo, &jumps);
            // The cell's origin leaves out its vertical alignment shift: its content, and the
            // areas of tables inside it, are drawn that much lower.
            const int shift = cell->GetVAlignOffset();
            for (auto& jump : jumps) {
                jump->Top += shift;
                owner->Jumps.push_back(std::move(jump));
            }
        }
}

bool TRVTableItemInfo::EnterTableByCaret(int mode, int x) {
    if (Rows.IsEmpty() || !Options.Contains(TRVTableOption::rvtoEditing)) return false;
    int row = 0, col = 0;
    switch (mode) {
    case 0:
        break;
    case 1:
        row = RowCount() - 1;
        col = ColCount() - 1;
        break;
    case 2:
    case 3:
        row = mode == 2 ? 0 : RowCount() - 1;
        col = GetColAt(x);
        if (col < 0) return false;
        break;
    default:
        return false;
    }
    return ChooseAndEditCell(row, col, mode == 1 || mode == 3);
}

void TRVTableItemInfo::MoveFromCellEditor(int direction) {
    if (!FInplaceEditor) return;
    // Cells selected by a drag from the editor stay the selection in its place.
    if (direction == rvimClose && HasCellSelection()) {
        SelectCellsForEditor();
        return;
    }
    auto* data = dynamic_cast<TRVEditRVData*>(FRVData);
    TCustomRichViewEdit* outer = FInplaceEditor->Outer();
    const int row = FEditedRow, col = FEditedCol, itemNo = GetItemNo();
    int newRow = -1, newCol = -1;
    if (direction != rvimClose && direction != rvimBeforeTable && direction != rvimAfterTable &&
        GetNeighbourCell(row, col, newCol, newRow, direction)) {
        const bool atEnd = direction == rvimLeft || direction == rvimUp || direction == rvimPrev;
        if (OpenCellEditor(itemNo, newRow, newCol, false, false, atEnd, !atEnd)) return;
    }
    DestroyCellEditor(true);
    if (direction == rvimClose || !data || itemNo < 0) return;
    const bool before = direction == rvimBeforeTable || direction == rvimLeft ||
                        direction == rvimUp || direction == rvimPrev;
    if (data->DrawItems.Count() > 0) data->PlaceCaretAt(itemNo, before ? 0 : 1);
    if (outer && outer->HandleAllocated() && outer->CanFocus()) outer->SetFocus();
}

std::unique_ptr<TCustomRichViewEdit> TRVTableItemInfo::CreateHiddenEditor() {
    auto editor = std::make_unique<TCustomRichViewEdit>(nullptr);
    editor->SetVisible(false);
    if (TCustomRichViewEdit* outer = EditorOf(FRVData)) {
        editor->SetParent(outer);
        editor->EditorOptions = outer->EditorOptions;
        editor->SetStyle(outer->Style());
        editor->SetUndoLimit(outer->UndoLimit() != 0 ? -1 : 0);
    } else if (FRVData) {
        editor->SetStyle(FRVData->GetRVStyle());
    }
    return editor;
}

void TRVTableItemInfo::ApplyStyleConversion(TCustomRVData* /*rvData*/, int /*itemNo*/, int userData,
                                            bool whole) {
    // Chosen cells take it; without them, all cells of a table that lies in the selection.
    if (!whole || HasCellSelection()) {
        ApplyStyleConversionToCells(userData);
        return;
    }
    if (RowCount() == 0 || ColCount() == 0) return;
    Select(0, 0, RowCount() - 1, ColCount() - 1);
    ApplyStyleConversionToCells(userData);
    Deselect();
}

void TRVTableItemInfo::ApplyToSelectedCells(int mode, int value) {
    if (!Options.Contains(TRVTableOption::rvtoEditing) || !HasCellSelection()) return;
    // The caret is read before the cell editor closes: closing moves it into the cell.
    const int itemNo = GetItemNo();
    const int caretOffs = CaretOffsetInItem(FRVData, itemNo);
    if (FInplaceEditor) DestroyCellEditor(true);
    bool changed = false;
    TEditStep step(*this, UsesUndo());
    std::unique_ptr<TCustomRichViewEdit> hidden = CreateHiddenEditor();
    std::unique_ptr<TRVUndoMultiCellsModify> record;
    if (GetEditUndoList()) record = std::make_unique<TRVUndoMultiCellsModify>(GetItemNo(), nullptr);
    if (TCustomRichViewEdit* outer = EditorOf(FRVData)) {
        if (mode == 0) hidden->OnStyleConversion = outer->OnStyleConversion;
        if (mode == 2) hidden->OnParaStyleConversion = outer->OnParaStyleConversion;
    }
    TRVEditRVData* data = hidden->EditData();
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell || !IsCellSelected(r, c) || !FireCellEditing(r, c, false)) continue;
            data->ClearAllItems();
            data->MoveItemsFrom(*cell);
            RVRebindItems(*data);
            cell->ClearFormatting();
            // The items go back into the cell whatever the operation does.
            auto giveBack = Finally([&] {
                data->ClearFormatting();
                cell->MoveItemsFrom(*data);
                RVRebindItems(*cell);
            });
            hidden->Format();
            data->SelectAll();
            switch (mode) {
            case 0:
                hidden->ConvertSelectionTextStyles(value);
                break;
            case 1:
                hidden->ApplyParaStyleToSelection(value);
                break;
            case 2:
                hidden->ConvertSelectionParaStyles(value);
                break;
            default:
                break;
            }
            data->UndoList->RemoveEmptyLastGroup();
            const int groups = data->UndoList->Count();
            if (groups == 0) continue;
            SetChangedFlag();
            changed = true;
            if (record) {
                record->Rows.AddValue(r);
                record->Cols.AddValue(c);
                record->Counts.AddValue(groups);
                while (data->UndoList->Count() > 0)
                    record->UndoList.AddGroup(data->UndoList->ExtractGroup(0));
            }
            data->UndoList->Clear();
        }
    if (record && record->Rows.Count() > 0) AddUndoRecord(std::move(record));
    // The cells hand their items back unformatted.
    FormatDocumentAfterChange();
    if (changed) RestoreCaretInItem(FRVData, itemNo, caretOffs);
}

bool TRVTableItemInfo::CanDeleteSelectedCellsContents() const {
    if (!Options.Contains(TRVTableOption::rvtoEditing) || !HasCellSelection()) return false;
    if (!FRVData ||
        !dynamic_cast<TRVEditRVData*>(const_cast<TCustomRVData*>(FRVData)->GetRootData()))
        return false;
    TRVStyle* style = FRVData->GetRVStyle();
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell || !IsCellSelected(r, c)) continue;
            for (int i = 0; i < cell->ItemCount(); ++i) {
                const int styleNo = cell->GetItemStyleNo(i);
                if (style && style->HasTextStyle(styleNo) &&
                    style->TextStyles.GetItem(styleNo).Protection.Contains(
                        TRVProtectOption::rvprDeleteProtect))
                    return false;
            }
        }
    return true;
}

void TRVTableItemInfo::DeleteSelectedCellsContents() {
    TRVIntegerList rows, cols;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (Rows.GetRow(r)->Cell(c) && IsCellSelected(r, c) && FireCellEditing(r, c, false)) {
                rows.AddValue(r);
                cols.AddValue(c);
            }
    if (rows.Count() == 0) return;
    const int itemNo = GetItemNo();
    const int caretOffs = CaretOffsetInItem(FRVData, itemNo);
    if (FInplaceEditor) DestroyCellEditor(true);
    {
        TEditStep step(*this, UsesUndo());
        Rows.ClearCells(rows, cols);
        SetChangedFlag();
        FormatDocumentAfterChange();
    }
    RestoreCaretInItem(FRVData, itemNo, caretOffs);
}

// ---------------------------------------------------------------------------------------------
// Replaying the cell editor's steps.

void TRVUndoCellModify::Undo(TCustomRVData* rvData, TRVUndoList* /*reverse*/) {
    TRVTableItemInfo* table = RVTableAtItem(rvData, ItemNo);
    if (!table || UndoList.Count() == 0) return;
    int row, col;
    table->GetEditedCell(row, col);
    if (row != Row || col != Col)
        if (!table->OpenCellEditor(ItemNo, Row, Col, true, false, false, false)) return;
    TRVTableInplaceEdit* editor = table->InplaceEditor();
    TRVEditRVData* inner = editor->EditData();
    TRVUndoList* into = IsRedo ? inner->RedoList.get() : inner->UndoList.get();
    while (UndoList.Count() > 0)
        into->AddGroup(UndoList.ExtractGroup(0));
    if (SelStartNo >= 0 && SelStartNo < inner->ItemCount() && SelEndNo >= 0 &&
        SelEndNo < inner->ItemCount() && inner->DrawItems.Count() > 0)
        inner->SetSelectionBounds(SelStartNo, SelEndNo, SelStartOffs, SelEndOffs);
    // The editor replays the step itself, once this replay is over.
    if (editor->HandleAllocated())
        PostMessage(editor->Handle(), IsRedo ? WM_RVINPLACEREDO : WM_RVINPLACEUNDO, 0, 0);
}

void TRVUndoMultiCellsModify::Undo(TCustomRVData* rvData, TRVUndoList* reverse) {
    TRVTableItemInfo* table = RVTableAtItem(rvData, ItemNo);
    if (!table) return;
    std::unique_ptr<TCustomRichViewEdit> hidden = table->CreateHiddenEditor();
    std::unique_ptr<TRVUndoMultiCellsModify> inverse;
    if (reverse && reverse->LastGroup()) {
        inverse = std::make_unique<TRVUndoMultiCellsModify>(ItemNo, nullptr);
        inverse->IsRedo = !IsRedo;
    }
    TRVEditRVData* data = hidden->EditData();
    for (int i = 0; i < Rows.Count() && i < Cols.Count() && i < Counts.Count(); ++i) {
        TRVTableCellData* cell = table->GetCell(Rows[i], Cols[i]);
        if (!cell) continue;
        data->ClearAllItems();
        data->MoveItemsFrom(*cell);
        RVRebindItems(*data);
        cell->ClearFormatting();
        hidden->Format();
        TRVUndoList* list = IsRedo ? data->RedoList.get() : data->UndoList.get();
        for (int k = 0; k < Counts[i] && UndoList.Count() > 0; ++k)
            list->AddGroup(UndoList.ExtractGroup(0));
        while (list->Count() > 0) {
            if (IsRedo)
                data->Redo();
            else
                data->Undo();
        }
        TRVUndoList* produced = IsRedo ? data->UndoList.get() : data->RedoList.get();
        if (inverse && produced->Count() > 0) {
            inverse->Rows.AddValue(Rows[i]);
            inverse->Cols.AddValue(Cols[i]);
            inverse->Counts.AddValue(produced->Count());
            while (produced->Count() > 0)
                inverse->UndoList.AddGroup(produced->ExtractGroup(0));
        }
        produced->Clear();
        data->ClearFormatting();
        cell->MoveItemsFrom(*data);
        RVRebindItems(*cell);
    }
    table->SetChangedFlag();
    if (inverse) reverse->AddInfo(std::move(inverse));
}

} // namespace epc
