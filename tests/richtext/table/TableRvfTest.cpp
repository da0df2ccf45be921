#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/streaming/Filer.h"
#include "richtext/document/RVFReadWrite.h"
#include "richtext/table/RVTable.h"
#include "tests/richtext/table/TableRandomSupport.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::MakeFixedStyle;
using test::TTestRVData;

struct Doc {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    TTestRVData Data{Style.get()};

    TRVTableItemInfo* AddTable(int rows, int cols) {
        auto table = TRVTableItemInfo::CreateSized(rows, &Data, cols);
        TRVTableItemInfo* result = table.get();
        Data.AppendItem(std::string(), std::move(table));
        result->Inserted(&Data, Data.ItemCount() - 1);
        return result;
    }
    std::string Save(bool binary) {
        TRVFOptions o = Data.GetRVFOptions();
        if (binary)
            o.Include(TRVFOption::rvfoSaveBinary);
        else
            o.Exclude(TRVFOption::rvfoSaveBinary);
        Data.SetRVFOptions(o);
        TMemoryStream ms;
        Data.SaveToRvfStream(ms, false);
        return std::string(reinterpret_cast<const char*>(ms.Memory()), size_t(ms.Size()));
    }
    bool Load(const std::string& bytes) {
        TMemoryStream ms;
        ms.WriteString(bytes);
        ms.SetPosition(0);
        return Data.LoadFromRvfStream(ms);
    }
    TRVTableItemInfo* Table(int i) { return dynamic_cast<TRVTableItemInfo*>(Data.GetItem(i)); }
};

void SetText(TRVTableCellData* cell, const std::string& text) {
    cell->ClearAllItems();
    cell->AddTextParagraph(text, 0, 0, TRVTag());
}

std::string CellText(TRVTableCellData* cell) {
    std::string s;
    for (int i = 0; i < cell->ItemCount(); ++i)
        s += cell->GetItemText(i) + "|";
    return s;
}

// The grid, spans, cell properties and contents of two tables, as one comparable text.
std::string Describe(TRVTableItemInfo* t) {
    std::string s = std::to_string(t->RowCount()) + "x" + std::to_string(t->ColCount()) + " w" +
                    std::to_string(t->BestWidth()) + " c" + std::to_string(t->Color()) + " h" +
                    std::to_string(t->HeadingRowCount()) + " bs" +
                    std::to_string(int(t->BorderStyle())) + " o" +
                    std::to_string(t->Options.Bits()) + "\n";
    for (int r = 0; r < t->RowCount(); ++r) {
        s += "row va" + std::to_string(int(t->Rows.GetRow(r)->VAlign)) + ":";
        for (int c = 0; c < t->ColCount(); ++c) {
            TRVTableCellData* cell = t->GetCell(r, c);
            if (!cell) {
                s += " -";
                continue;
            }
            s += " [" + std::to_string(cell->ColSpan) + "," + std::to_string(cell->RowSpan) +
                 " col" + std::to_string(cell->Color) + " bw" + std::to_string(cell->BestWidth) +
                 " va" + std::to_string(int(cell->VAlign)) + " vb" +
                 std::to_string(int(cell->GetVisibleBordersBits())) + " " + CellText(cell) + "]";
        }
        s += "\n";
    }
    return s;
}

TEST(TableRvf, TitleRowMergeWritesOneRecordAndReadsBackInBothModes) {
    for (bool binary : {false, true}) {
        Doc d;
        TRVTableItemInfo* t = d.AddTable(2, 2);
        t->MergeCells(0, 0, 2, 1, true);
        SetText(t->GetCell(0, 0), "Title");
        SetText(t->GetCell(1, 0), "a");
        SetText(t->GetCell(1, 1), "b");
        t->GetCell(1, 1)->Color = clRed;
        t->GetCell(1, 0)->SetVisibleBorders(true, false, true, false);
        t->SetBorderStyle(rvtbColor);
        t->SetBestWidth(-80);
        const std::string before = Describe(t);
        const std::string saved = d.Save(binary);
        Doc e;
        ASSERT_TRUE(e.Load(saved)) << binary;
        ASSERT_EQ(e.Data.ItemCount(), 1);
        ASSERT_TRUE(e.Table(0));
        EXPECT_EQ(Describe(e.Table(0)), before);
        EXPECT_EQ(e.Table(0)->GetCell(0, 1), nullptr);
        EXPECT_EQ(e.Table(0)->GetCell(0, 0)->ColSpan, 2);
    }
}

TEST(TableRvf, RowVAlignWrittenOnlyWhenSomeRowHasOne) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(2, 1);
    EXPECT_EQ(d.Save(true).find("RowVAlign"), std::string::npos);
    t->Rows.GetRow(1)->VAlign = rvcBottom;
    const std::string saved = d.Save(true);
    EXPECT_NE(saved.find("RowVAlign"), std::string::npos);
    Doc e;
    ASSERT_TRUE(e.Load(saved));
    EXPECT_EQ(e.Table(0)->Rows.GetRow(1)->VAlign, rvcBottom);
    EXPECT_EQ(e.Table(0)->Rows.GetRow(0)->VAlign, rvcTop);
}

TEST(TableRvf, EmptyTableRoundTrips) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(1, 1);
    t->Rows.Reset(0, 0);
    Doc e;
    ASSERT_TRUE(e.Load(d.Save(false)));
    ASSERT_TRUE(e.Table(0));
    EXPECT_EQ(e.Table(0)->RowCount(), 0);
}

// Deleting every column leaves rows without cells; the document is stored so and reads back
// so, in both body modes, to the same bytes; a list claiming more such rows than its bytes can
// stand for still fails.
TEST(TableRvf, RowsWithoutColumnsRoundTrip) {
    Doc d;
    d.Data.AddTextParagraph("before", 0, 0, TRVTag());
    TRVTableItemInfo* t = d.AddTable(2, 2);
    t->DeleteColumns(0, 2, false);
    ASSERT_EQ(t->RowCount(), 2);
    ASSERT_EQ(t->ColCount(), 0);
    for (bool binary : {false, true}) {
        const std::string saved = d.Save(binary);
        Doc e;
        ASSERT_TRUE(e.Load(saved)) << binary;
        ASSERT_EQ(e.Data.ItemCount(), 2);
        ASSERT_TRUE(e.Table(1));
        EXPECT_EQ(e.Table(1)->RowCount(), 2);
        EXPECT_EQ(e.Table(1)->ColCount(), 0);
        EXPECT_EQ(e.Save(binary), saved);
    }
}

// Stored merges that the strict merge check would refuse (a merged 1x2, a fully merged 2x2)
// come back as stored.
TEST(TableRvf, StoredSpansRestoredWithoutPermissionCheck) {
    for (int shape = 0; shape < 2; ++shape) {
        Doc d;
        TRVTableItemInfo* t = shape == 0 ? d.AddTable(1, 2) : d.AddTable(2, 2);
        t->Rows.MergeCellRange(0, 0, 2, shape == 0 ? 1 : 2, true, false);
        const std::string before = Describe(t);
        Doc e;
        ASSERT_TRUE(e.Load(d.Save(false))) << shape;
        EXPECT_EQ(Describe(e.Table(0)), before);
    }
}

TEST(TableRvf, RandomTablesWithSpansRoundTrip) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 60; ++round) {
        Doc d;
        const int rows = 1 + int(rng() % 5), cols = 1 + int(rng() % 5);
        TRVTableItemInfo* t = d.AddTable(rows, cols);
        test::MergeRandomly(rng, *t, rows, cols, 4);
        for (int r = 0; r < rows; ++r) {
            t->Rows.GetRow(r)->VAlign = TRVCellVAlign(rng() % 4);
            for (int c = 0; c < cols; ++c)
                if (TRVTableCellData* cell = t->GetCell(r, c)) {
                    // Appended piece by piece: GCC 12 warns falsely on a chain of + here.
                    std::string text = "r";
                    text += std::to_string(r);
                    text += 'c';
                    text += std::to_string(c);
                    SetText(cell, text);
                    cell->Color = TColor(rng() % 0xFFFFFF);
                    cell->BestWidth = int(rng() % 200) - 100;
                    cell->VAlign = TRVCellVAlign(rng() % 4);
                    cell->SetVisibleBordersBits(uint8_t(rng() % 16));
                }
        }
        t->SetHeadingRowCount(int(rng() % 3));
        t->SetColor(TColor(rng() % 0xFFFFFF));
        const std::string before = Describe(t);
        const bool binary = round % 2 == 0;
        const std::string saved = d.Save(binary);
        Doc e;
        ASSERT_TRUE(e.Load(saved)) << round;
        ASSERT_TRUE(e.Table(0)) << round;
        EXPECT_EQ(Describe(e.Table(0)), before) << round;
        EXPECT_EQ(e.Save(binary), saved) << round;
    }
}

// A nested table lives in a cell's contents and comes back there.
TEST(TableRvf, NestedTableRoundTrips) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(1, 2);
    auto inner = TRVTableItemInfo::CreateSized(2, t->GetCell(0, 1), 2);
    SetText(inner->GetCell(1, 1), "deep");
    TRVTableCellData* host = t->GetCell(0, 1);
    host->ClearAllItems();
    TRVTableItemInfo* innerPtr = inner.get();
    host->AppendItem(std::string(), std::move(inner));
    innerPtr->Inserted(host, 0);
    Doc e;
    ASSERT_TRUE(e.Load(d.Save(false)));
    auto* got = dynamic_cast<TRVTableItemInfo*>(e.Table(0)->GetCell(0, 1)->GetItem(0));
    ASSERT_TRUE(got);
    EXPECT_EQ(CellText(got->GetCell(1, 1)), "deep|");
    // Both tables had their one fix-up after loading.
    EXPECT_FALSE(e.Table(0)->StateBits & rvtsLoading);
    EXPECT_FALSE(got->StateBits & rvtsLoading);
}

// Builds the component stream of a table by hand, to feed the reader what no writer makes.
std::string TableBody(const std::function<void(TWriter&)>& cells) {
    TMemoryStream ms;
    TWriter w(ms);
    w.WriteSignature();
    w.WriteStr("TRVTableSW");
    w.WriteStr("");
    w.WritePropName("C");
    cells(w);
    w.WriteListEnd(); // properties
    w.WriteListEnd(); // children
    return std::string(reinterpret_cast<const char*>(ms.Memory()), size_t(ms.Size()));
}

std::string DocWithBody(const std::string& body) {
    return RVFItemHeader(rvsTable, 3, "0", 0, 0, "0", "") + "\r\n\r\n1\r\n" + BytesToHex(body) +
           "\r\n";
}

void WriteCell(TWriter& w, int colSpan, int rowSpan) {
    w.WriteInteger(colSpan);
    w.WriteInteger(rowSpan);
    w.WriteStr("TD");
    w.WriteStr("");
    w.WriteListEnd();
    w.WriteListEnd();
}

TEST(TableRvf, HandMadeBodyIsAcceptedWhenSound) {
    Doc e;
    ASSERT_TRUE(e.Load(DocWithBody(TableBody([](TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(2);
        w.WriteInteger(2);
        w.WriteListBegin();
        WriteCell(w, 2, 1);
        WriteCell(w, 1, 1);
        WriteCell(w, 1, 1);
        w.WriteListEnd();
        w.WriteListEnd();
    }))));
    EXPECT_EQ(e.Table(0)->GetCell(0, 0)->ColSpan, 2);
}

TEST(TableRvf, BadCellListsFailAndLeaveTheDocumentUnchanged) {
    struct Case {
        const char* Name;
        std::function<void(TWriter&)> Cells;
    };
    auto grid = [](int rows, int cols, std::function<void(TWriter&)> body) {
        return [=](TWriter& w) {
            w.WriteListBegin();
            w.WriteInteger(rows);
            if (rows != 0) w.WriteInteger(cols);
            w.WriteListBegin();
            body(w);
            w.WriteListEnd();
            w.WriteListEnd();
        };
    };
    const Case cases[] = {
        {"short list", grid(1, 2, [](TWriter& w) { WriteCell(w, 1, 1); })},
        {"long list", grid(1, 1,
                           [](TWriter& w) {
                               WriteCell(w, 1, 1);
                               WriteCell(w, 1, 1);
                           })},
        {"span beyond columns", grid(1, 2, [](TWriter& w) { WriteCell(w, 3, 1); })},
        {"span beyond rows", grid(1, 1, [](TWriter& w) { WriteCell(w, 1, 2); })},
        {"zero span", grid(1, 1, [](TWriter& w) { WriteCell(w, 0, 1); })},
        {"overlapping spans", grid(2, 2,
                                   [](TWriter& w) {
                                       WriteCell(w, 1, 1);
                                       WriteCell(w, 1, 2);
                                       WriteCell(w, 2, 1);
                                   })},
        {"negative rows", grid(-1, 1, [](TWriter&) {})},
        {"negative columns", grid(1, -1, [](TWriter&) {})},
        {"a cell in no columns", grid(1, 0, [](TWriter& w) { WriteCell(w, 1, 1); })},
        {"countless rows without columns", grid(100000000, 0, [](TWriter&) {})},
        {"huge grid", grid(1000000, 1000000, [](TWriter& w) { WriteCell(w, 1, 1); })},
    };
    for (const Case& c : cases) {
        Doc e;
        e.Data.AddTextParagraph("keep", 0, 0, TRVTag());
        TMemoryStream ms;
        ms.WriteString(DocWithBody(TableBody(c.Cells)));
        ms.SetPosition(0);
        int index = 1, first = -1, last = -1;
        bool full = false;
        EXPECT_FALSE(e.Data.RvfReadLoop(ms, index, first, last, full)) << c.Name;
        ASSERT_EQ(e.Data.ItemCount(), 1) << c.Name;
        EXPECT_EQ(e.Data.GetItemText(0), "keep") << c.Name;
    }
}

TEST(TableRvf, RowVAlignMustHoldOneKnownValuePerRow) {
    for (int variant = 0; variant < 3; ++variant) {
        std::string body = TableBody([&](TWriter& w) {
            w.WriteListBegin();
            w.WriteInteger(2);
            w.WriteInteger(1);
            w.WriteListBegin();
            WriteCell(w, 1, 1);
            WriteCell(w, 1, 1);
            w.WriteListEnd();
            w.WriteListEnd();
            w.WritePropName("RowVAlign");
            w.WriteListBegin();
            w.WriteInteger(variant == 2 ? 9 : 1);
            if (variant != 0) w.WriteInteger(2);
            if (variant == 1) w.WriteInteger(2);
            w.WriteListEnd();
        });
        Doc e;
        EXPECT_FALSE(e.Load(DocWithBody(body))) << variant;
    }
}

// Cells take the styles the stored document brings, not only those of the loading sheet.
TEST(TableRvf, CellStylesComeFromTheStoredStyleTables) {
    Doc d;
    const int extra = d.Style->TextStyles.Count() + 1;
    d.Style->TextStyles.Add().Style.Include(TRVFontStyle::rvfsBold);
    d.Style->TextStyles.Add().Style.Include(TRVFontStyle::rvfsItalic);
    TRVTableItemInfo* t = d.AddTable(1, 1);
    t->GetCell(0, 0)->ClearAllItems();
    t->GetCell(0, 0)->AddTextParagraph("styled", extra, 0, TRVTag());
    const std::string saved = d.Save(false);
    Doc e;
    ASSERT_LT(e.Style->TextStyles.Count(), extra + 1);
    ASSERT_TRUE(e.Load(saved));
    EXPECT_EQ(e.Style->TextStyles.Count(), extra + 1);
    EXPECT_EQ(e.Table(0)->GetCell(0, 0)->GetItem(0)->StyleNo, extra);
    // A cell may not bring style tables of its own.
    Doc f;
    TRVTableItemInfo* g = f.AddTable(1, 1);
    TRVFOptions o = g->GetCell(0, 0)->GetRVFOptions();
    EXPECT_FALSE(o.Contains(TRVFOption::rvfoSaveTextStyles));
}

TEST(TableRvf, BackgroundPictureRoundTripsAndOnlyRegisteredClassesLoad) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(1, 1);
    TBitmap bmp(4, 3, pf24bit);
    bmp.Canvas()->SetPixels(1, 1, clRed);
    t->SetBackgroundImage(&bmp);
    Doc e;
    ASSERT_TRUE(e.Load(d.Save(true)));
    ASSERT_TRUE(e.Table(0)->BackgroundImage());
    EXPECT_EQ(e.Table(0)->BackgroundImage()->Width(), 4);
    // The same stream naming a class that is no registered picture class.
    std::string body = TableBody([](TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(0);
        w.WriteListEnd();
        w.WritePropName("T.BackgroundImg");
        TMemoryStream data;
        const std::string cls = "TRVTableSW";
        data.WriteInt32(int32_t(cls.size()));
        data.WriteBuffer(cls.data(), int64_t(cls.size()));
        w.WriteBinary(
            std::string(reinterpret_cast<const char*>(data.Memory()), size_t(data.Size())));
    });
    Doc f;
    EXPECT_FALSE(f.Load(DocWithBody(body)));
}

TEST(TableRvf, CellPicturesRoundTripAndOnlyRegisteredClassesLoad) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(2, 2);
    TBitmap bmp(5, 2, pf24bit);
    bmp.Canvas()->SetPixels(1, 1, clRed);
    t->GetCell(1, 0)->SetBackgroundImage(&bmp);
    t->GetCell(1, 0)->SetBackgroundStyle(rvbsTiled);
    for (bool binary : {false, true}) {
        Doc e;
        ASSERT_TRUE(e.Load(d.Save(binary)));
        TGraphic* g = e.Table(0)->GetCell(1, 0)->BackgroundImage();
        ASSERT_TRUE(g);
        EXPECT_EQ(g->Width(), 5);
        EXPECT_EQ(e.Table(0)->GetCell(1, 0)->BackgroundStyle(), rvbsTiled);
        EXPECT_FALSE(e.Table(0)->GetCell(0, 0)->BackgroundImage());
        EXPECT_EQ(e.Save(binary), d.Save(binary));
    }
    const std::string saved = d.Save(true);
    const size_t at = saved.find(bmp.ClassName());
    ASSERT_NE(at, std::string::npos);
    // Another name of the same length, and a class name longer than what follows it.
    std::string unknown = saved;
    unknown[at + 1] = 'X';
    Doc e;
    EXPECT_FALSE(e.Load(unknown));
    EXPECT_EQ(e.Data.ItemCount(), 0);
    std::string longName = saved;
    longName[at - 4] = char(200);
    EXPECT_FALSE(e.Load(longName));
    // A picture body cut short.
    std::string cut = saved;
    cut[at + bmp.ClassName().size()] = char(0x7f);
    EXPECT_FALSE(e.Load(cut));
}

// The contents of a cell holding Text, as the nested RVF a cell stores.
std::string CellContents(const std::string& text) {
    Doc d;
    TRVTableCellData* cell = d.AddTable(1, 1)->GetCell(0, 0);
    SetText(cell, text);
    TMemoryStream ms;
    cell->SaveToRvfStream(ms, false);
    return std::string(reinterpret_cast<const char*>(ms.Memory()), size_t(ms.Size()));
}

// A 1 x 1 table whose cell carries the properties Write puts after the carrier's header.
std::string OneCellDoc(const std::function<void(TWriter&)>& props) {
    return DocWithBody(TableBody([&](TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(1);
        w.WriteInteger(1);
        w.WriteListBegin();
        w.WriteInteger(1);
        w.WriteInteger(1);
        w.WriteStr("TD");
        w.WriteStr("");
        props(w);
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteListEnd();
    }));
}

TEST(TableRvf, CellContentsLoadUnderDataAndUnderTheEarlierName) {
    for (const char* name : {"C.Data", "RVF"}) {
        Doc e;
        ASSERT_TRUE(e.Load(OneCellDoc([&](TWriter& w) {
            w.WritePropName("C.Color");
            w.WriteInteger(clRed);
            w.WritePropName(name);
            w.WriteBinary(CellContents("question"));
        }))) << name;
        EXPECT_EQ(CellText(e.Table(0)->GetCell(0, 0)), "question|") << name;
        EXPECT_EQ(e.Table(0)->GetCell(0, 0)->Color, clRed) << name;
    }
    // What this build writes is the first form only.
    Doc d;
    SetText(d.AddTable(1, 1)->GetCell(0, 0), "x");
    const std::string saved = d.Save(true);
    EXPECT_NE(saved.find(std::string("\x06") + "C.Data"), std::string::npos);
    EXPECT_EQ(saved.find(std::string("\x03") + "RVF"), std::string::npos);
}

TEST(TableRvf, UnknownCellPropertyFailsTheLoad) {
    const std::function<void(TWriter&)> cases[] = {
        [](TWriter& w) {
            w.WritePropName("C.Contents");
            w.WriteBinary(CellContents("lost"));
        },
        [](TWriter& w) {
            w.WritePropName("Body");
            w.WriteBinary(CellContents("lost"));
        },
    };
    for (const auto& props : cases) {
        Doc e;
        e.Data.AddTextParagraph("keep", 0, 0, TRVTag());
        TMemoryStream ms;
        ms.WriteString(OneCellDoc(props));
        ms.SetPosition(0);
        int index = 1, first = -1, last = -1;
        bool full = false;
        EXPECT_FALSE(e.Data.RvfReadLoop(ms, index, first, last, full));
        ASSERT_EQ(e.Data.ItemCount(), 1);
        EXPECT_EQ(e.Data.GetItemText(0), "keep");
    }
}

TEST(TableRvf, BodyThatIsNotHexFails) {
    Doc e;
    EXPECT_FALSE(e.Load(RVFItemHeader(rvsTable, 3, "0", 0, 0, "0", "") + "\r\n\r\n1\r\nzz\r\n"));
}

} // namespace
} // namespace epc
namespace epc {
namespace {

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string h;
    for (unsigned char b : bytes) {
        h += digits[b >> 4];
        h += digits[b & 15];
    }
    return h;
}

std::string Short(const std::string& s) {
    return std::string(1, char(s.size())) + s;
}

// The record of a table with a merged title row, byte for byte: the header line, an empty name,
// "1", and the carrier's stream: its table's published properties, "C" (row count, column
// count, then per cell its spans and its carrier with the cell's contents) and "RowVAlign".
TEST(TableRvf, RecordBytesFollowTheStoredLayout) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(2, 2);
    t->MergeCells(0, 0, 2, 1, true);
    SetText(t->GetCell(0, 0), "T");
    t->Rows.GetRow(1)->VAlign = rvcBottom;
    const std::string saved = d.Save(false);
    const size_t at = saved.find("-60 ");
    ASSERT_NE(at, std::string::npos);
    const std::string end(1, '\0');
    // Spans as one-byte integers, then the cell's carrier: class, empty name, the contents as
    // a binary value with an int32 length, the end of its properties and of its children.
    // The contents are nested RVF, in the document's mode.
    auto cell = [&](int colSpan, int rowSpan, const std::string& text, bool binary) {
        const std::string rvf = binary ? "0 1 0 0 2 0 \r\n" + std::string{char(text.size())} + end +
                                             end + end + text
                                       : "0 1 0 0 0 0 \r\n" + text + "\r\n";
        return std::string{'\x02', char(colSpan), '\x02', char(rowSpan)} + Short("TD") + end +
               Short("C.Data") + '\x0A' + char(rvf.size()) + end + end + end + rvf + end + end;
    };
    auto body = [&](bool binary) {
        std::string b = "TPF0" + Short("TRVTableSW") + end;
        b += Short("T.TextRowSeparator") + '\x06' + Short("\r\n");
        b += Short("T.TextColSeparator") + '\x06' + Short("\r\n");
        b += Short("C") + "\x01\x02\x02\x02\x02\x01"; // list: 2 rows, 2 columns, cell list
        b += cell(2, 1, "T", binary) + cell(1, 1, "", binary) + cell(1, 1, "", binary) + end + end;
        b += Short("RowVAlign") + "\x01\x02" + end + "\x02\x02" + end;
        return b + end + end;
    };
    EXPECT_EQ(saved.substr(at), "-60 3 0 0 0 0 \r\n\r\n1\r\n" + Hex(body(false)) + "\r\n");
    // Binary: body mode 2, and the stream after its int32 length.
    const std::string binary = d.Save(true), stream = body(true);
    const std::string length{char(stream.size()), char(stream.size() >> 8), '\0', '\0'};
    EXPECT_EQ(binary.substr(binary.find("-60 ")), "-60 3 0 0 2 0 \r\n\r\n1\r\n" + length + stream);
}

} // namespace
} // namespace epc
