// Tables in cells through RTF: our writer's nested rows read back by our reader, and nested rows
// whose definitions follow their cells or open them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "platform/controls/Clipbrd.h"
#include "platform/core/Streams.h"
#include "platform/testing/UserActions.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableRTFReader.h"
#include "tests/richtext/edit/EditTestSupport.h"
#include "tests/richtext/table/TableRandomSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

struct Doc {
    std::unique_ptr<TRVStyle> Style = test::MakeFixedStyle();
    test::TTestRVData Data{Style.get()};

    static TRVTableItemInfo* AddTable(TCustomRVData* into, int rows, int cols) {
        return test::AppendTable(into, rows, cols);
    }
    static void Text(TCustomRVData* into, const std::string& text) {
        into->AddTextParagraph(text, 0, 0, TRVTag());
    }
    std::string Rtf() {
        TMemoryStream ms;
        EXPECT_TRUE(Data.WriteRtfToStream(ms, false, clWhite));
        return std::string(reinterpret_cast<const char*>(ms.Memory()), size_t(ms.Size()));
    }
    // Imports RTF with tables at an item index (the end by default); the import's result code.
    int Read(const std::string& rtf, int index = -1) {
        TRVTableRTFReader tables(&Data);
        TRVRTFReaderProperties props;
        props.TableReader = &tables;
        TMemoryStream ms;
        ms.WriteString(rtf);
        ms.SetPosition(0);
        if (index < 0) index = Data.ItemCount();
        const int result = props.ImportRtfStream(&Data, ms, index);
        if (result == 0) tables.Finish();
        return result;
    }
};

// A document's items: text as it is (^ for centred paragraphs), tables as their grids with their
// cells' items, and whether every table knows the document it lies in.
std::string Describe(TCustomRVData* data) {
    std::string s;
    for (int i = 0; i < data->ItemCount(); ++i) {
        if (!s.empty()) s += " ";
        auto* t = dynamic_cast<TRVTableItemInfo*>(data->GetItem(i));
        if (!t) {
            for (char ch : data->GetItemText(i))
                if (ch) s += ch; // 16-bit text of plain letters: its low bytes
            const TRVStyle* style = data->GetRVStyle();
            if (style->ParaStyles[data->GetItemParaNo(i)].Alignment == TRVAlignment::rvaCenter)
                s += "^";
            continue;
        }
        s += "T" + std::to_string(t->RowCount()) + "x" + std::to_string(t->ColCount());
        if (t->GetRVData() != data) s += "!";
        s += "[";
        for (int r = 0; r < t->RowCount(); ++r)
            for (int c = 0; c < t->ColCount(); ++c) {
                s += c ? "|" : (r ? "/" : "");
                TRVTableCellData* cell = t->GetCell(r, c);
                if (!cell) {
                    s += "-";
                    continue;
                }
                if (cell->ColSpan > 1 || cell->RowSpan > 1)
                    s += std::to_string(cell->ColSpan) + "x" + std::to_string(cell->RowSpan) + ":";
                s += Describe(cell);
            }
        s += "]";
    }
    return s;
}

void Fill(TRVTableItemInfo* t, const std::string& prefix) {
    for (int r = 0; r < t->RowCount(); ++r)
        for (int c = 0; c < t->ColCount(); ++c)
            if (TRVTableCellData* cell = t->GetCell(r, c)) {
                cell->ClearAllItems();
                Doc::Text(cell, prefix + std::to_string(r) + std::to_string(c));
            }
}

// Outer 2x2; cell (0,1): text, a 2x2 table with a merged row and a table in one of its cells,
// text, another table, a centred paragraph; cell (1,0) centred too.
void BuildNested(Doc& d) {
    Doc::Text(&d.Data, "before");
    TRVTableItemInfo* outer = Doc::AddTable(&d.Data, 2, 2);
    Fill(outer, "o");
    TRVTableCellData* host = outer->GetCell(0, 1);
    host->ClearAllItems();
    Doc::Text(host, "above");
    TRVTableItemInfo* inner = Doc::AddTable(host, 2, 2);
    Fill(inner, "n");
    inner->MergeCells(1, 0, 2, 1, true);
    inner->GetCell(0, 1)->Color = TColor(0x00CC66);
    TRVTableCellData* deep = inner->GetCell(0, 0);
    deep->ClearAllItems();
    Fill(Doc::AddTable(deep, 1, 2), "d");
    Doc::Text(host, "middle");
    Fill(Doc::AddTable(host, 1, 1), "m");
    const int centred = test::AddPara(*d.Style, TRVAlignment::rvaCenter);
    host->AddTextParagraph("below", 0, centred, TRVTag());
    outer->GetCell(1, 0)->ClearAllItems();
    outer->GetCell(1, 0)->AddTextParagraph("o10", 0, centred, TRVTag());
    Doc::Text(&d.Data, "after");
}

TEST(TableRtfNested, TablesInCellsRoundTripThroughOurWriterAndReader) {
    Doc d;
    BuildNested(d);
    const std::string expected = Describe(&d.Data);
    ASSERT_EQ(expected, "before T2x2[o00|above T2x2[T1x2[d00|d01]|n01/2x1:n10 n11|-] middle "
                        "T1x1[m00] below^/o10^|o11] after");
    const std::string rtf = d.Rtf();
    // A cell that ends with a table ends with a paragraph of the cell's own level.
    EXPECT_NE(rtf.find("\\nonesttables\\par}}\r\n\\pard\\intbl\\itap2\\nestcell"),
              std::string::npos);
    Doc e;
    ASSERT_EQ(e.Read(rtf), 0);
    EXPECT_EQ(Describe(&e.Data), expected) << rtf;
    auto* outer = dynamic_cast<TRVTableItemInfo*>(e.Data.GetItem(1));
    ASSERT_TRUE(outer);
    auto* inner = dynamic_cast<TRVTableItemInfo*>(outer->GetCell(0, 1)->GetItem(1));
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->GetCell(0, 1)->Color, TColor(0x00CC66));
    // Read between two paragraphs of a document, as a paste does.
    Doc f;
    Doc::Text(&f.Data, "first");
    Doc::Text(&f.Data, "last");
    ASSERT_EQ(f.Read(rtf, 1), 0);
    EXPECT_EQ(Describe(&f.Data), "first " + expected + " last");
    // With a table reader that takes no word the cells' text still comes in, nested cells
    // included.
    struct TNoTables : TRVRTFTableReader {
        bool TableWord(std::string_view, bool, int) override { return false; }
    } noTables;
    Doc plain;
    TRVRTFReaderProperties props;
    props.TableReader = &noTables;
    TMemoryStream ms;
    ms.WriteString(rtf);
    ms.SetPosition(0);
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&plain.Data, ms, index), 0);
    std::string text;
    for (int i = 0; i < plain.Data.ItemCount(); ++i)
        if (!plain.Data.GetItemText(i).empty()) text += plain.Data.GetItemText(i) + " ";
    EXPECT_EQ(text, "before o00 above d00 d01 n01 n10 n11 middle m00 below o10 o11 after ");
}

// Sizes, alignment and colours of every cell, nested tables included.
std::string Attributes(TCustomRVData* data) {
    std::string s;
    for (int i = 0; i < data->ItemCount(); ++i)
        if (auto* t = dynamic_cast<TRVTableItemInfo*>(data->GetItem(i))) {
            s +=
                "{w" + std::to_string(t->BestWidth()) + " h" + std::to_string(t->HeadingRowCount());
            for (int r = 0; r < t->RowCount(); ++r)
                for (int c = 0; c < t->ColCount(); ++c)
                    if (TRVTableCellData* cell = t->GetCell(r, c))
                        s += " " + std::to_string(cell->BestWidth) + "," +
                             std::to_string(cell->BestHeight) + "," +
                             std::to_string(int(cell->GetEffectiveVAlign())) + "," +
                             std::to_string(int(cell->Color)) + Attributes(cell);
            s += "}";
        }
    return s;
}

TRVTableItemInfo* RandomTable(std::mt19937& rng, TCustomRVData* into, int depth) {
    const int rows = 1 + int(rng() % 4), cols = 1 + int(rng() % 4);
    TRVTableItemInfo* t = Doc::AddTable(into, rows, cols);
    test::MergeRandomly(rng, *t, rows, cols, 3);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (TRVTableCellData* cell = t->GetCell(r, c)) {
                cell->ClearAllItems();
                std::string text = "x";
                text += std::to_string(depth);
                text += std::to_string(r);
                text += std::to_string(c);
                Doc::Text(cell, text);
                cell->Color = rng() % 2 ? TColor(rng() % 0xFFFFFF) : clWhite;
                cell->BestWidth = int(rng() % 200) - 100;
                cell->BestHeight = int(rng() % 3) * 7;
                cell->VAlign = TRVCellVAlign(1 + rng() % 2);
                if (depth < 3 && rng() % 4 == 0) {
                    RandomTable(rng, cell, depth + 1);
                    if (rng() % 2) Doc::Text(cell, "after");
                }
            }
    t->SetHeadingRowCount(int(rng() % (rows + 1)));
    t->SetBestWidth(int(rng() % 3) * 150 - 150);
    return t;
}

TEST(TableRtfNested, RandomNestedTablesWithSpansRoundTrip) {
    std::mt19937 rng(2468);
    for (int round = 0; round < 40; ++round) {
        Doc d;
        Doc::Text(&d.Data, "top");
        RandomTable(rng, &d.Data, 1);
        Doc::Text(&d.Data, "end");
        const std::string rtf = d.Rtf();
        Doc e;
        ASSERT_EQ(e.Read(rtf), 0) << round;
        ASSERT_EQ(Describe(&e.Data), Describe(&d.Data)) << round << rtf;
        EXPECT_EQ(Attributes(&e.Data), Attributes(&d.Data)) << round << rtf;
    }
}

TEST(TableRtfNested, RowDefinitionsAfterTheirCellsAndTheNoNestingFallback) {
    // Nested rows define their cells at their end; the fallback group is for readers that do
    // not nest and must not add a paragraph.
    const std::string rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}"
        "\\pard lead\\par"
        "\\trowd\\cellx3000\\cellx6000"
        "\\pard\\intbl A\\cell"
        "\\pard\\intbl\\itap1 top\\par"
        "\\pard\\intbl\\itap2 x\\nestcell y\\nestcell"
        "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}{\\nonesttables\\par}"
        "\\pard\\intbl\\itap2 z\\nestcell\\pard\\intbl\\itap2 w\\nestcell"
        "{\\*\\nesttableprops\\trowd\\clmgf\\cellx1000\\clmrg\\cellx2000\\nestrow}"
        "{\\nonesttables\\par}"
        "\\pard\\intbl\\itap1 end\\cell"
        "\\trowd\\cellx3000\\cellx6000\\row"
        "\\pard tail\\par}";
    Doc d;
    ASSERT_EQ(d.Read(rtf), 0);
    EXPECT_EQ(Describe(&d.Data), "lead T1x2[A|top T2x2[x|y/2x1:z|-] end] tail");
    // Definitions may also open the nested row, with its cells inside the same group; a cell
    // may end right after the table it holds.
    Doc e;
    ASSERT_EQ(e.Read("{\\rtf1\\trowd\\cellx3000\\pard\\intbl\\itap1 top\\par"
                     "{\\*\\nesttableprops\\trowd\\itap2\\cellx100\\cellx200"
                     "\\pard\\intbl\\itap2{{{\\*\\nesttableprops\\trowd\\itap3\\cellx50"
                     "\\pard\\intbl\\itap3{{deep\\nestcell}}\\nestrow}\\nestcell}"
                     "{q\\nestcell}}\\nestrow}\\pard\\intbl\\itap1\\cell\\row}"),
              0);
    EXPECT_EQ(Describe(&e.Data), "T1x1[top T1x2[T1x1[deep]|q]]");
}

// Empty paragraphs after a table at the end of a cell are contents; the cell's own end mark is
// not.
TEST(TableRtfNested, EmptyParagraphsAfterATableAtACellsEndComeBack) {
    for (int empties = 0; empties < 3; ++empties)
        for (bool textFirst : {false, true}) {
            Doc d;
            TRVTableItemInfo* outer = Doc::AddTable(&d.Data, 1, 2);
            Fill(outer, "o");
            TRVTableCellData* host = outer->GetCell(0, 0);
            host->ClearAllItems();
            if (textFirst) Doc::Text(host, "lead");
            Fill(Doc::AddTable(host, 1, 1), "n");
            for (int k = 0; k < empties; ++k)
                Doc::Text(host, "");
            const std::string expected = Describe(&d.Data);
            Doc e;
            ASSERT_EQ(e.Read(d.Rtf()), 0);
            EXPECT_EQ(Describe(&e.Data), expected) << empties << textFirst;
        }
}

// The texts of a word processor's table: a title over two columns (a cell reaching past other
// rows' column boundaries), a cell over two rows, a nested table after text in a cell.
const char* const WordProcessorTable =
    "Before T3x3[2x1:Title|-|C3/1x2:Tall|B2|C2 T2x2[N1|N2/N3|N4]/-||C4] After";

std::string ReadFile(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    TFileStream fs(std::string(root ? root : "tests/data") + "/../richtext/table/data/" + name,
                   fmOpenRead);
    std::string bytes(size_t(fs.Size()), '\0');
    fs.ReadBuffer(bytes.data(), fs.Size());
    return bytes;
}

TEST(TableRtfNested, AnyImportReadsAWordProcessorsTablesWithoutSettingAReader) {
    Doc d;
    TRVRTFReaderProperties props;
    TMemoryStream ms;
    ms.WriteString(ReadFile("lo-merged-nested.rtf"));
    ms.SetPosition(0);
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&d.Data, ms, index), 0);
    EXPECT_EQ(index, d.Data.ItemCount());
    EXPECT_EQ(Describe(&d.Data), WordProcessorTable);
}

class TablePasteTest : public test::EditorOnFormFixture<> {};

TEST_F(TablePasteTest, CtrlVOfAWordProcessorsTableIsOneUndoStep) {
    AddEditor(0, 0, 400, 300);
    Edit->RVData()->AddTextParagraph("", 0, 0, TRVTag());
    Show();
    const std::string rtf = ReadFile("lo-merged-nested.rtf");
    TClipboard* clipboard = Clipboard();
    clipboard->Clear();
    clipboard->SetBuffer(RegisterClipboardFormatA("Rich Text Format"), rtf.data(), rtf.size());
    const int groups = Data()->UndoList->Count();
    testing::PressKey('V', {ssCtrl});
    // The paste lands in the empty paragraph the document held.
    EXPECT_EQ(Describe(Edit->RVData()), WordProcessorTable);
    EXPECT_EQ(Data()->UndoList->Count(), groups + 1);
    Edit->Undo();
    testing::Pump();
    EXPECT_EQ(Describe(Edit->RVData()), "");
}

// RTF made of random pieces: text, character and paragraph formatting with values up to far
// beyond what a document keeps, and tables, nested ones included.
std::string RandomRtf(std::mt19937& rng) {
    auto pick = [&](std::initializer_list<int> values) {
        return *(values.begin() + rng() % values.size());
    };
    auto big = [&] {
        return pick({0, 1, 15, 1999, 2000, 2001, 2002, 14999, 15000, 15008, 16000, 32767, 1000000,
                     15000000, 2000000000}) *
               (rng() % 4 == 0 ? -1 : 1);
    };
    std::string s = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}";
    const int pieces = 3 + int(rng() % 12);
    for (int k = 0; k < pieces; ++k) {
        switch (rng() % 9) {
        case 0:
            s += "\\fs" + std::to_string(big()) + " x";
            break;
        case 1:
            s += "\\expndtw" + std::to_string(big()) + " y";
            break;
        case 2:
            s += std::string(pick({0, 1})   ? "\\li"
                             : pick({0, 1}) ? "\\fi"
                                            : "\\sb") +
                 std::to_string(big()) + " z";
            break;
        case 3:
            s += "\\sl" + std::to_string(big()) + "\\slmult" + std::to_string(rng() % 2) + " l";
            break;
        case 4:
            s += "\\brdrb\\brdrs\\brdrw" + std::to_string(big()) + "\\brsp" +
                 std::to_string(big()) + " b";
            break;
        case 5:
            s += "\\par\\pard ";
            break;
        case 6:
            s += "{\\b\\cf1 w}";
            break;
        case 7:
            s += "\\par\\trowd\\clmgf\\cellx1000\\clmrg\\cellx2000\\cellx3000"
                 "\\pard\\intbl a\\cell\\cell c\\cell\\row\\pard ";
            break;
        default:
            s += "\\par\\trowd\\cellx3000\\pard\\intbl\\itap1 t\\par"
                 "\\pard\\intbl\\itap2 n\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\nestrow}"
                 "{\\nonesttables\\par}" +
                 std::string(rng() % 2 ? "\\pard\\intbl\\itap1\\par" : "") +
                 "\\pard\\intbl\\itap1\\cell\\row\\pard ";
        }
    }
    return s + "}";
}

// Whatever loads from RTF saves to RVF that loads, and saves again to the same bytes.
TEST(TableRtfNested, RtfThatLoadsSavesToRvfThatLoadsAndSavesTheSame) {
    std::mt19937 rng(97531);
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        const std::string rtf = RandomRtf(rng);
        Doc d;
        TRVRTFReaderProperties props;
        TMemoryStream in;
        in.WriteString(rtf);
        in.SetPosition(0);
        int index = 0;
        if (props.ImportRtfStream(&d.Data, in, index) != 0) continue;
        ++loaded;
        const bool binary = round % 2 == 1;
        TRVFOptions options = d.Data.GetRVFOptions();
        if (binary) options.Include(TRVFOption::rvfoSaveBinary);
        d.Data.SetRVFOptions(options);
        TMemoryStream first;
        d.Data.SaveToRvfStream(first, false);
        Doc e;
        e.Data.SetRVFOptions(options);
        first.SetPosition(0);
        ASSERT_TRUE(e.Data.LoadFromRvfStream(first)) << rtf;
        TMemoryStream second;
        e.Data.SaveToRvfStream(second, false);
        ASSERT_EQ(second.DataString(), first.DataString()) << rtf;
    }
    EXPECT_GT(loaded, 250);
}

} // namespace
} // namespace epc
