// Tables in RTF and HTML: the words and attributes of the writers, and pages that a strict XML
// parser takes.

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "platform/context/PlatformContext.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableRTFReader.h"
#include "richtext/view/RichView.h"
#include "tests/platform/support/XPathQuery.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc {
namespace {

using test::MakeFixedStyle;
using test::TTestRVData;

struct Doc {
    std::unique_ptr<TRVStyle> Style = MakeFixedStyle();
    TTestRVData Data{Style.get()};
    TRVTableItemInfo* AddTable(int rows, int cols, TCustomRVData* host = nullptr) {
        TCustomRVData* into = host ? host : &Data;
        auto table = TRVTableItemInfo::CreateSized(rows, into, cols);
        TRVTableItemInfo* t = table.get();
        if (host) host->ClearAllItems();
        into->AppendItem(std::string(), std::move(table));
        t->Inserted(into, into->ItemCount() - 1);
        return t;
    }
    std::string Rtf() {
        TMemoryStream ms;
        EXPECT_TRUE(Data.WriteRtfToStream(ms, false, clWhite));
        return std::string(reinterpret_cast<const char*>(ms.Memory()), size_t(ms.Size()));
    }
    std::string Html(bool css, const std::string& path = std::string()) {
        TMemoryStream ms;
        EXPECT_TRUE(css ? Data.WriteHtmlCssToStream(ms, path, "t", false)
                        : Data.WriteHtmlToStream(ms, path, "t", false));
        return std::string(reinterpret_cast<const char*>(ms.Memory()), size_t(ms.Size()));
    }
};

void SetText(TRVTableCellData* cell, const std::string& text) {
    cell->ClearAllItems();
    cell->AddTextParagraph(text, 0, 0, TRVTag());
}

int Count(const std::string& s, const std::string& what) {
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        ++n;
    return n;
}

TEST(TableRtf, MergedTitleRowWritesMergeWordsAndOneCellxPerPosition) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(2, 2);
    t->MergeCells(0, 0, 2, 1, true);
    SetText(t->GetCell(0, 0), "Title");
    SetText(t->GetCell(1, 0), "left");
    SetText(t->GetCell(1, 1), "right");
    const std::string rtf = d.Rtf();
    EXPECT_EQ(Count(rtf, "\\trowd"), 2);
    EXPECT_EQ(Count(rtf, "\\cellx"), 4);
    EXPECT_EQ(Count(rtf, "\\clmgf"), 1);
    EXPECT_EQ(Count(rtf, "\\clmrg"), 1);
    EXPECT_LT(rtf.find("\\clmgf"), rtf.find("\\clmrg"));
    EXPECT_EQ(Count(rtf, "\\cell}"), 4);
    EXPECT_EQ(Count(rtf, "\\row}"), 2);
    EXPECT_NE(rtf.find("\\itap1"), std::string::npos);
    EXPECT_NE(rtf.find("Title"), std::string::npos);
    EXPECT_EQ(Count(rtf, "{"), Count(rtf, "}"));
}

// The cell boundaries of "\\cellx": the screen layout's when the table has one (even one that
// is out of date), else a layout for 600 pixels made aside; the screen layout never changes.
TEST(TableRtf, WritingLeavesTheScreenLayoutAlone) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(2, 3);
    SetText(t->GetCell(0, 0), "a");
    auto cellx = [](const std::string& rtf) {
        std::string s;
        for (size_t at = rtf.find("\\cellx"); at != std::string::npos;
             at = rtf.find("\\cellx", at + 1))
            s += rtf.substr(at + 6, rtf.find_first_not_of("0123456789", at + 6) - at - 6) + " ";
        return s;
    };
    // Never laid out: laid out aside for 600 pixels; the last boundary at 597 pixels.
    const std::string unformatted = cellx(d.Rtf());
    EXPECT_EQ(t->GetFormattedWidth(), 0);
    EXPECT_EQ(t->GetCell(0, 2)->Width, 0);
    EXPECT_EQ(unformatted.substr(unformatted.rfind(' ', unformatted.size() - 2) + 1), "8955 ");
    t->FormatForDocWidth(300, d.Data.GetCanvas(), true);
    const int width = t->GetFormattedWidth(), cellWidth = t->GetCell(0, 2)->Width;
    const int lastStart = t->Formatting().ColStarts[2];
    ASSERT_EQ(width, 300);
    const std::string formatted = cellx(d.Rtf());
    EXPECT_NE(formatted, unformatted);
    // A change since the last layout does not make the writer lay the table out again.
    t->SetChangedFlag();
    EXPECT_EQ(cellx(d.Rtf()), formatted);
    EXPECT_TRUE(t->NeedsLayout);
    EXPECT_EQ(t->GetFormattedWidth(), width);
    EXPECT_EQ(t->GetCell(0, 2)->Width, cellWidth);
    EXPECT_EQ(t->Formatting().ColStarts[2], lastStart);
}

std::string FileText(const std::filesystem::path& path) {
    TMemoryStream ms;
    ms.LoadFromFile(path.string());
    return ms.DataString();
}

// A viewer on no form writes its table: the columns are measured on a memory device context.
// A save that fails halfway (a handler throws) leaves no file behind, and an earlier file as it
// was.
TEST(TableRtf, AViewerOnNoFormWritesItsTableAndAFailedSaveLeavesNoFile) {
    TPlatformContext context;
    std::unique_ptr<TRVStyle> style = MakeFixedStyle();
    auto view = std::make_unique<TRichView>(nullptr);
    view->SetStyle(style.get());
    view->AppendTextParagraph("before", 0, 0);
    auto table = TRVTableItemInfo::CreateSized(2, view->RVData(), 2);
    SetText(table->GetCell(1, 1), "inside");
    view->AppendItem(std::string(), std::move(table));
    const auto path = std::filesystem::temp_directory_path() / "epc_table_no_form.rtf";
    std::filesystem::remove(path);
    ASSERT_TRUE(view->WriteRtfFile(path.string(), false));
    const std::string rtf = FileText(path);
    EXPECT_NE(rtf.find("inside"), std::string::npos);
    EXPECT_EQ(Count(rtf, "\\row}"), 2);
    EXPECT_EQ(rtf.back(), '}');
    view->OnSaveRTFExtra = [](TCustomRichView*, int area, int row, int, std::string&) {
        if (area == 3 && row == 1) throw Exception("stop");
    };
    EXPECT_FALSE(view->WriteRtfFile(path.string(), false));
    EXPECT_EQ(FileText(path), rtf);
    std::filesystem::remove(path);
    EXPECT_FALSE(view->WriteRtfFile(path.string(), false));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TableRtf, WidthWordsAndPrivateWords) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(1, 1);
    t->SetBestWidth(-50);
    t->GetCell(0, 0)->BestWidth = 40;
    t->GetCell(0, 0)->BestHeight = 7;
    std::string rtf = d.Rtf();
    EXPECT_NE(rtf.find("\\trwWidth2500\\trftsWidth2"), std::string::npos);
    EXPECT_NE(rtf.find("\\richviewtbw-50"), std::string::npos);
    EXPECT_NE(rtf.find("\\clwWidth0"), std::string::npos);
    EXPECT_NE(rtf.find("\\richviewcbw40\\richviewcbh7"), std::string::npos);
    t->SetBestWidth(0);
    t->Options.Include(TRVTableOption::rvtoRTFSaveCellPixelBestWidth);
    rtf = d.Rtf();
    EXPECT_NE(rtf.find("\\trftsWidth1"), std::string::npos);
    EXPECT_NE(rtf.find("\\clwWidth600\\clftsWidth3"), std::string::npos);
}

TEST(TableRtf, BordersOnlyWithWidthAndVisibleSides) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(1, 1);
    std::string rtf = d.Rtf();
    EXPECT_EQ(rtf.find("brdr"), std::string::npos);
    t->SetCellBorderWidth(1);
    t->SetCellBorderStyle(rvtbColor);
    t->SetCellBorderColor(clRed);
    t->GetCell(0, 0)->SetVisibleBorders(true, false, true, true);
    rtf = d.Rtf();
    EXPECT_NE(rtf.find("\\clbrdrl\\brdrs\\brdrw15\\brdrcf"), std::string::npos);
    EXPECT_EQ(rtf.find("\\clbrdrt"), std::string::npos);
    EXPECT_NE(rtf.find("\\clbrdrb"), std::string::npos);
    EXPECT_EQ(rtf.find("\\trbrdr"), std::string::npos);
}

TEST(TableRtf, NestedTableUsesNestWordsAndLevelTwo) {
    Doc d;
    TRVTableItemInfo* t = d.AddTable(1, 2);
    TRVTableItemInfo* inner = d.AddTable(1, 1, t->GetCell(0, 1));
    SetText(inner->GetCell(0, 0), "deep");
    const std::string rtf = d.Rtf();
    EXPECT_EQ(Count(rtf, "{\\*\\nesttableprops"), 1);
    EXPECT_NE(rtf.find("\\itap2"), std::string::npos);
    EXPECT_EQ(Count(rtf, "\\nestcell}"), 1);
    EXPECT_EQ(Count(rtf, "\\nestrow}"), 1);
    EXPECT_EQ(Count(rtf, "\\row}"), 1);
    EXPECT_EQ(Count(rtf, "{"), Count(rtf, "}"));
    // The nested row is defined after its cells; readers without nesting get a paragraph.
    EXPECT_LT(rtf.find("deep"), rtf.find("{\\*\\nesttableprops"));
    EXPECT_EQ(Count(rtf, "\\nestrow}{\\nonesttables\\par}"), 1);
}

std::string CellText(TRVTableCellData* cell) {
    std::string s;
    for (int i = 0; i < cell->ItemCount(); ++i)
        s += cell->GetItemText(i) + "|";
    return s;
}

std::string Grid(TRVTableItemInfo* t) {
    std::string s = std::to_string(t->RowCount()) + "x" + std::to_string(t->ColCount()) + " w" +
                    std::to_string(t->BestWidth()) + " h" + std::to_string(t->HeadingRowCount());
    for (int r = 0; r < t->RowCount(); ++r) {
        s += "\n";
        for (int c = 0; c < t->ColCount(); ++c)
            if (TRVTableCellData* cell = t->GetCell(r, c)) {
                s += '[';
                s += std::to_string(cell->ColSpan) + "," + std::to_string(cell->RowSpan) + " " +
                     std::to_string(cell->BestWidth) + "," + std::to_string(cell->BestHeight) +
                     " va" + std::to_string(cell->VAlign) + " " + CellText(cell) + "]";
            } else
                s += "-";
    }
    return s;
}

TEST(TableRtf, RoundTripThroughOurReader) {
    Doc d;
    d.Data.AddTextParagraph("before", 0, 0, TRVTag());
    TRVTableItemInfo* t = d.AddTable(3, 3);
    d.Data.AddTextParagraph("after", 0, 0, TRVTag());
    t->MergeCells(0, 0, 3, 1, true);
    t->MergeCells(1, 1, 2, 2, true);
    t->SetBestWidth(-90);
    t->SetHeadingRowCount(1);
    SetText(t->GetCell(0, 0), "Title");
    SetText(t->GetCell(1, 0), "a");
    SetText(t->GetCell(2, 0), "b");
    SetText(t->GetCell(1, 1), "big");
    t->GetCell(1, 0)->BestWidth = 30;
    t->GetCell(2, 0)->BestHeight = 12;
    t->GetCell(2, 0)->VAlign = rvcBottom;
    t->GetCell(1, 1)->Color = TColor(0x3366CC);
    t->GetCell(2, 0)->Color = clWhite;
    const std::string rtf = d.Rtf();
    Doc e;
    TRVTableRTFReader tables(&e.Data);
    TRVRTFReaderProperties props;
    props.TableReader = &tables;
    TMemoryStream ms;
    ms.WriteString(rtf);
    ms.SetPosition(0);
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&e.Data, ms, index), 0);
    tables.Finish();
    ASSERT_EQ(e.Data.ItemCount(), 3) << rtf;
    EXPECT_EQ(e.Data.GetItemText(0), "before");
    EXPECT_EQ(e.Data.GetItemText(2), "after");
    auto* got = dynamic_cast<TRVTableItemInfo*>(e.Data.GetItem(1));
    ASSERT_TRUE(got);
    EXPECT_EQ(Grid(got), Grid(t)) << rtf;
    // Cell colours come back through the colour table; uncoloured cells were written with the
    // colour they show (the document's).
    EXPECT_EQ(got->GetCell(1, 1)->Color, TColor(0x3366CC));
    EXPECT_EQ(got->GetCell(2, 0)->Color, clWhite);
    EXPECT_EQ(got->GetCell(1, 0)->Color, TColor(ColorToRGB(t->GetCellColor(t->GetCell(1, 0)))));
}

class Page {
public:
    explicit Page(const std::string& html) {
        xmlSetStructuredErrorFunc(&Errors,
                                  [](void* errors, xmlErrorPtr) { ++*static_cast<int*>(errors); });
        // The XML parser knows no HTML entities: the empty cells' one is declared.
        std::string page = html;
        const std::string doctype = "<!DOCTYPE html>";
        if (page.compare(0, doctype.size(), doctype) == 0)
            page.replace(0, doctype.size(), "<!DOCTYPE html [<!ENTITY nbsp \"&#160;\">]>");
        FDoc = xmlReadMemory(page.data(), int(page.size()), "page.html", nullptr, XML_PARSE_NONET);
        xmlSetStructuredErrorFunc(nullptr, nullptr);
    }
    ~Page() {
        if (FDoc) xmlFreeDoc(FDoc);
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;
    int Nodes(const char* xpath) const { return test::XPathCount(FDoc, xpath); }
    bool Parsed() const { return FDoc != nullptr; }
    int Errors = 0;

private:
    xmlDocPtr FDoc = nullptr;
};

TEST(TableHtml, PlainAndCssPagesAreWellFormedWithSpansColoursAndEmptyCells) {
    for (bool css : {false, true}) {
        Doc d;
        TRVTableItemInfo* t = d.AddTable(3, 3);
        t->MergeCells(0, 0, 3, 1, true);
        t->MergeCells(1, 2, 1, 2, true);
        SetText(t->GetCell(0, 0), "Score <report> & more");
        t->GetCell(1, 1)->Color = clYellow;
        t->SetBestWidth(-80);
        t->SetCellBorderWidth(1);
        t->SetBorderStyle(rvtbRaisedColor);
        t->SetCellBorderStyle(rvtbColor);
        t->GetCell(2, 0)->SetVisibleBorders(false, true, true, true);
        TRVTableItemInfo* inner = d.AddTable(1, 2, t->GetCell(2, 1));
        SetText(inner->GetCell(0, 0), "inner");
        const std::string html = d.Html(css);
        Page page(html);
        ASSERT_TRUE(page.Parsed()) << html;
        EXPECT_EQ(page.Errors, 0) << html;
        EXPECT_EQ(page.Nodes("//TABLE"), 2) << css;
        EXPECT_EQ(page.Nodes("//TABLE[@width='80%']"), 1);
        EXPECT_EQ(page.Nodes("//TD[@colspan='3']"), 1);
        EXPECT_EQ(page.Nodes("//TD[@rowspan='2']"), 1);
        EXPECT_EQ(page.Nodes("//TD[@bgcolor]"), 1);
        // Covered positions write nothing: 1 + 3 + 2 outer cells, 2 inner ones.
        EXPECT_EQ(page.Nodes("//TD"), 8);
        // An empty cell holds a non-breaking space.
        EXPECT_NE(html.find("<TD>&nbsp;</TD>"), std::string::npos) << html;
        if (css) {
            EXPECT_NE(html.find("border-left: none;"), std::string::npos);
            EXPECT_NE(html.find("border-style: solid"), std::string::npos);
        }
    }
}

// Pictures of the table and of a cell are saved beside the page and named in background=; in
// CSS a centred picture and a tiled table picture say where they lie.
TEST(TableHtml, BackgroundPicturesAndTheirPositions) {
    const char* out = std::getenv("EPC_TEST_OUT");
    const std::string dir = std::string(out ? out : "/tmp") + "/table-html-pictures";
    std::filesystem::create_directories(dir);
    for (bool css : {false, true}) {
        Doc d;
        TRVTableItemInfo* t = d.AddTable(1, 2);
        TBitmap picture(4, 4, pf24bit);
        t->SetBackgroundImage(&picture);
        t->SetBackgroundStyle(rvbsTiled);
        t->SetCellBackgroundImage(&picture, 0, 1);
        t->GetCell(0, 1)->SetBackgroundStyle(rvbsCentered);
        const std::string html = d.Html(css, dir);
        Page page(html);
        ASSERT_TRUE(page.Parsed()) << html;
        EXPECT_EQ(page.Nodes("//TABLE[@background]"), 1) << html;
        EXPECT_EQ(page.Nodes("//TD[@background]"), 1) << html;
        EXPECT_EQ(page.Nodes("//TD[1][@background]"), 0) << html;
        const size_t at = html.find("background=\"");
        ASSERT_NE(at, std::string::npos);
        const std::string name = html.substr(at + 12, html.find('"', at + 12) - at - 12);
        EXPECT_TRUE(std::filesystem::exists(dir + "/" + name)) << name;
        const size_t centred = html.find("background-position: center center");
        const size_t tiled = html.find("background-position: left top; background-repeat: repeat;");
        EXPECT_EQ(centred != std::string::npos, css) << html;
        EXPECT_EQ(tiled != std::string::npos, css) << html;
        // Without a folder no picture is saved and none is named.
        EXPECT_EQ(d.Html(css).find("background="), std::string::npos);
    }
}

} // namespace
} // namespace epc

namespace epc {
namespace {
// Writes a sample table as RTF and HTML into /tmp for opening in other programs by hand
// (--gtest_also_run_disabled_tests).
TEST(TableSamples, DISABLED_WriteFiles) {
    Doc d;
    d.Data.AddTextParagraph("Score report", 0, 0, TRVTag());
    TRVTableItemInfo* t = d.AddTable(3, 3);
    t->MergeCells(0, 0, 3, 1, true);
    t->MergeCells(1, 2, 1, 2, true);
    t->SetBestWidth(-80);
    t->SetCellBorderWidth(1);
    t->SetCellBorderStyle(rvtbColor);
    SetText(t->GetCell(0, 0), "Title");
    SetText(t->GetCell(1, 0), "Alice");
    SetText(t->GetCell(1, 1), "90");
    SetText(t->GetCell(1, 2), "tall");
    SetText(t->GetCell(2, 0), "Bob");
    SetText(t->GetCell(2, 1), "75");
    t->GetCell(1, 1)->Color = clYellow;
    t->GetCell(2, 1)->Color = clAqua;
    // A nested table with an empty paragraph after it, at the end of its cell.
    TRVTableItemInfo* nested = d.AddTable(1, 2, t->GetCell(2, 0));
    SetText(nested->GetCell(0, 0), "n1");
    SetText(nested->GetCell(0, 1), "n2");
    t->GetCell(2, 0)->AddTextParagraph("", 0, 0, TRVTag());
    d.Data.AddTextParagraph("end", 0, 0, TRVTag());
    for (auto [name, text] :
         {std::pair{"/tmp/tb2-table.rtf", d.Rtf()}, std::pair{"/tmp/tb2-table.html", d.Html(false)},
          std::pair{"/tmp/tb2-table-css.html", d.Html(true)}}) {
        TFileStream fs(name, fmCreate);
        fs.WriteBuffer(text.data(), int64_t(text.size()));
    }
}
} // namespace
} // namespace epc
