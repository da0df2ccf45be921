// The hooks a table item uses to write itself into RTF and HTML: its colours in the colour
// table, the writer's state (factor, nesting level, "table just closed"), the extra-code hook and
// its cells written as sub-documents.

#include <gtest/gtest.h>

#include "platform/core/Strings.h"
#include "richtext/document/RVHtmlWriter.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/document/RVRtfWriter.h"

using namespace epc;

namespace {

// A one-row, one-cell table in the shape of the real one.
class FakeTable : public TRVFullLineItemInfo {
public:
    explicit FakeTable(TCustomRVData* rvData) : TRVFullLineItemInfo(rvData) {
        StyleNo = rvsTable;
        Cell.SetRVStyle(rvData->GetRVStyle());
    }
    void FillRtfTables(TRVColorList& colors) const override {
        colors.AddColorIfAbsent(CellColor);
        Cell.FillRtfTables(colors);
    }
    void SaveRTF(TStream& stream, TCustomRVData* rvData, int, TRVRTFWriteContext& ctx) override {
        std::string row = "{\\trowd\\itap" + std::to_string(ctx.Level + 1) + "\\trgaph" +
                          std::to_string(ctx.Twips(2)) + rvData->GetExtraRTFCode(rvrtfaRow, 0, -1) +
                          "\\clcbpat" + std::to_string(ctx.ColorIndex(CellColor)) + "\\cellx" +
                          std::to_string(ctx.Twips(100)) + "\\pard\\intbl{";
        RVFWriteRaw(stream, row);
        Cell.WriteRtfSubDocument(stream, ctx, ctx.Level + 1, CellColor);
        RVFWriteRaw(stream, "\\cell}\\pard\\intbl\\row}\r\n");
        ctx.TableJustClosed = true;
    }
    void SaveHTMLEx(TStream& stream, TCustomRVData*, int, TRVHTMLWriteContext& ctx) override {
        RVFWriteRaw(stream,
                    std::string("<table><tr><td") + (ctx.Css ? " class=\"css\"" : "") + ">");
        Cell.WriteHtmlSubDocument(stream, ctx, CellColor);
        RVFWriteRaw(stream, "</td></tr></table>\r\n");
    }

    TRVDocument Cell;
    TColor CellColor = TColor(0x123456);
};

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    FakeTable* table = nullptr;
    Doc() {
        data.SetRVStyle(&style);
        TFontInfo& red = style.TextStyles.Add();
        red.Color = TColor(0x0000FE);
        data.AddTextParagraph("before", 0, 0, TRVTag());
        auto t = std::make_unique<FakeTable>(&data);
        table = t.get();
        t->Cell.AddTextParagraph("cell one", 1, 0, TRVTag());
        t->Cell.AddTextParagraph("cell two", 0, 0, TRVTag());
        data.AppendItem("", std::move(t));
        data.AddTextParagraph("after", 0, 0, TRVTag());
        data.OnSaveRTFExtra = [](TCustomRVData*, int area, int row, int col, std::string& code) {
            code = "{\\*\\extra " + std::to_string(area) + " " + std::to_string(row) + " " +
                   std::to_string(col) + "}";
        };
    }
};

} // namespace

TEST(WriterHooks, TableWritesItselfIntoRtf) {
    Doc d;
    TMemoryStream ms;
    ASSERT_TRUE(d.data.WriteRtfToStream(ms, false, clNone));
    std::string rtf = ms.DataString();
    // The cell's colour and its text's colour are in the table, and the hooks got their state.
    EXPECT_NE(rtf.find("\\red86\\green52\\blue18;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\red254\\green0\\blue0;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\trowd\\itap1\\trgaph30{\\*\\extra 3 0 -1}\\clcbpat"), std::string::npos);
    // The paragraph before is ended once; the cell's paragraphs are in the table, the last one
    // ended by the cell word; the paragraph after needs no \par of its own before it.
    EXPECT_NE(rtf.find("before}\\par\r\n{\\trowd"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\pard\\intbl\\itap1\\ql{\\plain"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("cell two}\\cell}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\row}\r\n\\pard\\ql{"), std::string::npos) << rtf;
    EXPECT_FALSE(d.data.GetExtraRTFCode(2, 0, 0).empty());

    // Without a table reader the cells come in as paragraphs, and nothing else is added.
    TRVStyle style(nullptr);
    TRVDocument back;
    back.SetRVStyle(&style);
    TStringStream in(rtf);
    TRVRTFReaderProperties props;
    int index = 0;
    ASSERT_EQ(props.ImportRtfStream(&back, in, index), rtf_ec_OK);
    TMemoryStream text;
    back.WriteTextToStream(text, "", 10, false, true);
    EXPECT_EQ(BytesToWide(text.DataString()), u"before\r\ncell one\r\ncell two\r\nafter");
}

TEST(WriterHooks, ItemsThatWriteNothingLeaveNoEmptyParagraph) {
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("a", 0, 0, TRVTag());
    data.AppendItem("", std::make_unique<TRVFullLineItemInfo>(&data));
    data.GetItem(1)->StyleNo = rvsTable;
    data.AddTextParagraph("b", 0, 0, TRVTag());
    TMemoryStream ms;
    ASSERT_TRUE(data.WriteRtfToStream(ms, false, clNone));
    std::string rtf = ms.DataString();
    size_t pars = 0;
    for (size_t p = rtf.find("\\par\r\n"); p != std::string::npos; p = rtf.find("\\par\r\n", p + 1))
        ++pars;
    EXPECT_EQ(pars, 2u) << rtf;
}

TEST(WriterHooks, TableWritesItselfIntoHtml) {
    Doc d;
    for (bool css : {false, true}) {
        TMemoryStream ms;
        ASSERT_TRUE(css ? d.data.WriteHtmlCssToStream(ms, "", "t", false)
                        : d.data.WriteHtmlToStream(ms, "", "t", false));
        std::string html = ms.DataString();
        std::string cell =
            css ? "<td class=\"css\"><p class=\"rvps0\"><span class=\"rvts1\">cell one"
                : "<td><p align=\"left\"><font face=\"Arial\" size=\"2\" "
                  "color=\"#FE0000\">cell one";
        EXPECT_NE(html.find("</p>\r\n<table>"), std::string::npos) << html;
        EXPECT_NE(html.find(cell), std::string::npos) << html;
        EXPECT_NE(html.find("</p>\r\n</td></tr></table>\r\n<p"), std::string::npos) << html;
    }
}
