// Feeds arbitrary bytes to the RTF reader with tables, nested ones included, reading into the
// middle of a small document; whatever it builds must hold together and write out again.

#include <cstdint>
#include <string>
#include <vector>

#include "richtext/document/RVRTFReader.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableRTFReader.h"

using namespace epc;

namespace {

// Every position of every table (and of the tables in its cells) is held by exactly one cell
// whose span stays inside the grid.
void CheckTables(TCustomRVData* data) {
    for (int i = 0; i < data->ItemCount(); ++i) {
        auto* t = dynamic_cast<TRVTableItemInfo*>(data->GetItem(i));
        if (!t) continue;
        const int rows = t->RowCount(), cols = t->ColCount();
        std::vector<int> held(size_t(rows) * size_t(cols), 0);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                TRVTableCellData* cell = t->GetCell(r, c);
                if (!cell) continue;
                if (cell->RowSpan < 1 || cell->ColSpan < 1 || r + cell->RowSpan > rows ||
                    c + cell->ColSpan > cols)
                    __builtin_trap();
                for (int rr = r; rr < r + cell->RowSpan; ++rr)
                    for (int cc = c; cc < c + cell->ColSpan; ++cc)
                        ++held[size_t(rr) * size_t(cols) + size_t(cc)];
                CheckTables(cell);
            }
        for (int h : held)
            if (h != 1) __builtin_trap();
    }
}

std::string WriteNested() {
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("before", 0, 0, TRVTag());
    auto table = TRVTableItemInfo::CreateSized(2, &data, 2);
    TRVTableItemInfo* t = table.get();
    data.AppendItem(std::string(), std::move(table));
    t->Inserted(&data, 1);
    t->MergeCells(1, 0, 2, 1, true);
    TRVTableCellData* host = t->GetCell(0, 1);
    auto inner = TRVTableItemInfo::CreateSized(2, host, 2);
    TRVTableItemInfo* in = inner.get();
    host->AppendItem(std::string(), std::move(inner));
    in->Inserted(host, host->ItemCount() - 1);
    in->MergeCells(0, 0, 1, 2, true);
    in->GetCell(0, 1)->Color = clYellow;
    host->AddTextParagraph("below", 0, 0, TRVTag());
    TMemoryStream ms;
    data.WriteRtfToStream(ms, false, clWhite);
    return ms.DataString();
}

} // namespace

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    seeds.push_back(WriteNested());
    // Nested words without any table, levels far beyond any real document, rows without
    // definitions and a nested table never closed.
    seeds.push_back("{\\rtf1 a\\nestcell b\\nestrow c\\itap5 d\\par}");
    seeds.push_back("{\\rtf1\\trowd\\cellx100\\pard\\intbl\\itap2000000000 x\\nestcell"
                    "\\nestrow\\cell\\row}");
    seeds.push_back("{\\rtf1\\trowd\\cellx100\\pard\\intbl\\itap-7 x\\cell\\row}");
    seeds.push_back("{\\rtf1\\trowd\\cellx100\\pard\\intbl a\\cell\\pard\\intbl\\itap2 b"
                    "\\nestcell{\\*\\nesttableprops\\trowd\\cellx50\\nestrow}\\pard\\intbl"
                    "\\itap3 c\\nestcell\\row}");
    seeds.push_back("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\trowd\\clmgf\\cellx3000\\clmrg"
                    "\\cellx6000\\pard\\intbl A\\cell\\cell\\row\\trowd\\cellx3000\\cellx6000"
                    "\\pard\\intbl\\itap1 top\\par\\pard\\intbl\\itap2 x\\nestcell y\\nestcell"
                    "{\\*\\nesttableprops\\trowd\\clvmgf\\cellx1000\\cellx2000\\nestrow}"
                    "{\\nonesttables\\par}\\pard\\intbl\\itap2 z\\nestcell w\\nestcell"
                    "{\\*\\nesttableprops\\trowd\\clvmrg\\cellx1000\\cellx2000\\nestrow}"
                    "\\pard\\intbl\\itap1\\cell B\\cell\\row\\pard tail\\par}");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("a", 0, 0, TRVTag());
    data.AddTextParagraph("b", 0, 0, TRVTag());
    TStringStream in(std::string(reinterpret_cast<const char*>(bytes), size));
    TRVTableRTFReader tables(&data);
    TRVRTFReaderProperties props;
    props.TableReader = &tables;
    // Between the two paragraphs, as a paste reads.
    int index = 1;
    const int result = props.ImportRtfStream(&data, in, index);
    if (result != rtf_ec_OK) {
        if (data.ItemCount() != 2) __builtin_trap();
        return 0;
    }
    tables.Finish();
    const int n = data.ItemCount();
    if (n < 2 || data.GetItemText(0) != "a" || data.GetItemText(n - 1) != "b") __builtin_trap();
    CheckTables(&data);
    TMemoryStream out;
    data.WriteRtfToStream(out, false, clNone);
    data.WriteHtmlCssToStream(out, "", "", false);
    return 0;
}
