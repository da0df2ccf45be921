#pragma once
// The layout of a document with its tables as one comparable text, RVF saved and reloaded, and
// the seed and step counts of the random table tests.

#include <cstdlib>
#include <string>

#include "platform/core/Streams.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc::test {

// EPC_RANDOM_SEEDS (EPC_RANDOM_STEPS) when set to a positive number, else Default.
inline int RandomCount(const char* name, int fallback) {
    const char* value = std::getenv(name);
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : fallback;
}

// Every drawing item of Data, every table's columns, rows and cells, and the cells' own
// layouts (the cell editor's, with its bounds, for an edited cell), at any depth.
inline std::string LayoutText(const TCustomRVFormattedData& data, const std::string& indent = "") {
    std::string s = indent + "doc w" + std::to_string(data.TextWidth) + " m" +
                    std::to_string(data.MinWidth) + " h" + std::to_string(data.DocumentHeight) +
                    "\n";
    for (int i = 0; i < data.DrawItems.Count(); ++i) {
        const TRVDrawLineInfo* d = data.DrawItems[i];
        s += indent + std::to_string(d->ItemNo) + "@" + std::to_string(d->Left) + "," +
             std::to_string(d->Top) + " " + std::to_string(d->Width) + "x" +
             std::to_string(d->Height) + "\n";
    }
    for (int i = 0; i < data.ItemCount(); ++i) {
        auto* table = dynamic_cast<const TRVTableItemInfo*>(data.GetItem(i));
        if (!table) continue;
        const TRVTableItemFormattingInfo& f = table->Formatting();
        s += indent + "table " + std::to_string(i) + " " + std::to_string(f.Width) + "x" +
             std::to_string(f.Height) + " cols";
        for (int c = 0; c < f.ColWidths.Count(); ++c)
            s += " " + std::to_string(f.ColStarts[c]) + "+" + std::to_string(f.ColWidths[c]);
        s += " rows";
        for (int r = 0; r < f.RowHeights.Count(); ++r)
            s += " " + std::to_string(f.RowStarts[r]) + "+" + std::to_string(f.RowHeights[r]);
        s += "\n";
        int editedRow = -1, editedCol = -1;
        table->GetEditedCell(editedRow, editedCol);
        for (int r = 0; r < table->RowCount(); ++r)
            for (int c = 0; c < table->ColCount(); ++c) {
                const TRVTableCellData* cell = table->GetCell(r, c);
                if (!cell) continue;
                s += indent + " cell " + std::to_string(r) + "," + std::to_string(c) + " " +
                     std::to_string(cell->Left) + "," + std::to_string(cell->Top) + " " +
                     std::to_string(cell->Width) + "x" + std::to_string(cell->Height) + "\n";
                if (r == editedRow && c == editedCol && table->InplaceEditor()) {
                    const TRVTableInplaceEdit* editor = table->InplaceEditor();
                    s += indent + "  editor " + std::to_string(editor->Left()) + "," +
                         std::to_string(editor->Top()) + " " + std::to_string(editor->Width()) +
                         "x" + std::to_string(editor->Height()) + "\n";
                    s += LayoutText(*editor->EditData(), indent + "   ");
                } else {
                    s += LayoutText(*cell, indent + "  ");
                }
            }
    }
    return s;
}

inline std::string RvfBytes(TCustomRVData& data) {
    TMemoryStream stream;
    data.SaveToRvfStream(stream, false);
    return stream.DataString();
}

// Saved RVF of Data, read into a new document of the same style sheet and saved again; an
// empty text when it did not load.
inline std::string RvfReloaded(TCustomRVData& data, const std::string& saved) {
    TTestRVData copy(data.GetRVStyle());
    copy.SetRVFOptions(data.GetRVFOptions());
    TMemoryStream stream;
    stream.WriteString(saved);
    stream.SetPosition(0);
    if (!copy.LoadFromRvfStream(stream)) return std::string();
    return RvfBytes(copy);
}

} // namespace epc::test
