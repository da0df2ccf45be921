// The HTML pages are read back with libxml2: well-formed, with the text, styles and pictures.

#include <gtest/gtest.h>

#include <filesystem>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include "DocTestUtil.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVHtmlWriter.h"
#include "tests/platform/support/XPathQuery.h"

using namespace epc;

namespace {

struct Doc {
    TRVStyle style{nullptr};
    TRVDocument data;
    Doc() {
        data.SetRVStyle(&style);
        data.SetOptions(data.GetOptions() | TRVOption::rvoTagsArePChars);
        doctest::FillStyle(style);
        doctest::FillDocument(data, true);
    }
};

void CountError(void* errors, xmlErrorPtr) {
    ++*static_cast<int*>(errors);
}

// A parsed page with XPath queries; Errors counts what the strict XML parser objected to.
class Page {
public:
    Page(const std::string& html, bool xml) {
        if (xml) {
            xmlSetStructuredErrorFunc(&Errors, CountError);
            FDoc =
                xmlReadMemory(html.data(), int(html.size()), "page.html", nullptr, XML_PARSE_NONET);
            xmlSetStructuredErrorFunc(nullptr, nullptr);
        } else {
            FDoc = htmlReadMemory(html.data(), int(html.size()), "page.html", "UTF-8",
                                  HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
        }
    }
    ~Page() {
        if (FDoc) xmlFreeDoc(FDoc);
    }
    bool Parsed() const { return FDoc != nullptr; }
    // The string values of the nodes an XPath expression selects.
    std::vector<std::string> Values(const char* xpath) const {
        return epc::test::XPathValues(FDoc, xpath);
    }
    std::string Value(const char* xpath) const {
        auto v = Values(xpath);
        return v.empty() ? std::string("(none)") : v[0];
    }
    int Errors = 0;

private:
    xmlDocPtr FDoc = nullptr;
};

std::string Folder(const char* name) {
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

} // namespace

TEST(HtmlWriter, CssPageIsWellFormedWithTextStylesAndPictures) {
    Doc d;
    std::string dir = Folder("html-css");
    TMemoryStream ms;
    ASSERT_TRUE(d.data.WriteHtmlCssToStream(ms, dir, "Styles & <pictures>", false));
    std::string html = ms.DataString();
    Page page(html, true);
    ASSERT_TRUE(page.Parsed()) << html;
    EXPECT_EQ(page.Errors, 0) << html;
    EXPECT_EQ(page.Value("/html/head/title"), "Styles & <pictures>");

    // The style sheet has a class per style; text refers to its style's class.
    std::string css = page.Value("//style");
    EXPECT_NE(css.find(".rvts1 { font-family: 'Arial'; font-size: 10pt; color: #800000;"
                       " font-weight: bold;"),
              std::string::npos)
        << css;
    EXPECT_NE(
        css.find(".rvps1 { text-align: center; text-indent: -10px; margin: 0px 0px 0px 20px;"),
        std::string::npos)
        << css;
    EXPECT_NE(css.find("border-top: none;"), std::string::npos) << css;
    EXPECT_NE(css.find("background-color: #FFFF00;"), std::string::npos) << css;
    EXPECT_EQ(page.Value("//span[@class='rvts1']"), " bold continuation");
    EXPECT_EQ(page.Value("//p[2]/span[@class='rvts2']"),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xF0\x9F\x98\x80");
    EXPECT_EQ(page.Value("//p[2]/@class"), "rvps1");
    EXPECT_EQ(page.Value("//a[span[@class='rvts3']]/@href"), "http://x y");
    EXPECT_EQ(page.Values("//hr").size(), 1u);
    EXPECT_EQ(page.Value("//a[@name='start']/following-sibling::span[1]"),
              "Plain ANSI text, caf\xC3\xA9.");
    EXPECT_EQ(page.Value("//p[span='after a line break']/br/following-sibling::span[1]"),
              "after a line break");

    // Each picture is a file beside the page that loads as what its element says.
    auto sources = page.Values("//img/@src");
    ASSERT_EQ(sources.size(), 2u); // the picture without an image is left out
    for (const std::string& src : sources) {
        std::unique_ptr<TGraphic> g = CreateGraphicByExtension(src.substr(src.rfind('.')));
        ASSERT_NE(g, nullptr) << src;
        g->LoadFromFile(dir + "/" + src);
        EXPECT_FALSE(g->Empty());
    }
    EXPECT_EQ(page.Value("//img[1]/@width"), "5");
    EXPECT_EQ(page.Value("//img[2]/@width"), "40");
}

TEST(HtmlWriter, PlainPageUsesTagsAndAttributes) {
    Doc d;
    std::string dir = Folder("html-plain");
    TMemoryStream ms;
    ASSERT_TRUE(d.data.WriteHtmlToStream(ms, dir, "Plain", false));
    std::string html = ms.DataString();
    Page xml(html, true);
    ASSERT_TRUE(xml.Parsed());
    EXPECT_EQ(xml.Errors, 0) << html;
    EXPECT_EQ(xml.Values("//style").size(), 0u);
    // An HTML parser reads the same page.
    Page page(html, false);
    ASSERT_TRUE(page.Parsed());
    EXPECT_EQ(page.Value("//font[@color='#800000']/b"), " bold continuation");
    EXPECT_EQ(page.Value("//font[@face='Times New Roman']/@size"), "3");
    EXPECT_EQ(page.Value("//p[2]/@align"), "center");
    EXPECT_EQ(page.Value("//a/font/u"), "link");
    EXPECT_EQ(page.Value("//hr/@color"), "#008000");
    EXPECT_EQ(page.Values("//img").size(), 2u);
    // Every paragraph of the document is a paragraph of the page; the empty one holds a
    // space so that it keeps its height.
    EXPECT_EQ(page.Values("//p").size(), 8u);
}

TEST(HtmlWriter, SelectionAndEscaping) {
    class Selected : public TRVDocument {
    public:
        void GetSelectionBounds(int& sn, int& so, int& en, int& eo) const override {
            sn = 0;
            so = 2;
            en = 0;
            eo = 6;
        }
    };
    TRVStyle style(nullptr);
    Selected data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("a<b&c\x01\"d", 0, 0, TRVTag());
    TMemoryStream ms;
    ASSERT_TRUE(data.WriteHtmlCssToStream(ms, "", "", true));
    Page page(ms.DataString(), true);
    EXPECT_EQ(page.Errors, 0) << ms.DataString();
    EXPECT_EQ(page.Value("//span"), "<b&c");
    EXPECT_EQ(HtmlEscapeText("<&>\"\x02\t"), "&lt;&amp;&gt;&quot;\t");
}

// Raised and lowered text is other text ("x²" is not "x2"): superscript and subscript in both
// writers.
TEST(HtmlWriter, ShiftedTextIsSuperscriptOrSubscript) {
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    style.TextStyles.Add().VShift = 50;
    style.TextStyles.Add().VShift = -30;
    data.AddTextParagraph("x", 0, 0, TRVTag());
    data.AddTextParagraph("2", 1, -1, TRVTag());
    data.AddTextParagraph(" H", 0, -1, TRVTag());
    data.AddTextParagraph("2", 2, -1, TRVTag());
    data.AddTextParagraph("O", 0, -1, TRVTag());
    TMemoryStream plainOut;
    ASSERT_TRUE(data.WriteHtmlToStream(plainOut, "", "", false));
    Page plain(plainOut.DataString(), true);
    EXPECT_EQ(plain.Errors, 0) << plainOut.DataString();
    EXPECT_EQ(plain.Values("//sup"), std::vector<std::string>{"2"}) << plainOut.DataString();
    EXPECT_EQ(plain.Values("//sub"), std::vector<std::string>{"2"});
    EXPECT_EQ(plain.Value("//p"), "x2 H2O");

    TMemoryStream cssOut;
    ASSERT_TRUE(data.WriteHtmlCssToStream(cssOut, "", "", false));
    Page css(cssOut.DataString(), true);
    const std::string sheet = css.Value("//style");
    auto rule = [&](int n) {
        const std::string name = ".rvts" + std::to_string(n) + " {";
        const size_t at = sheet.find(name);
        return at == std::string::npos ? std::string() : sheet.substr(at, sheet.find('}', at) - at);
    };
    EXPECT_EQ(rule(0).find("vertical-align"), std::string::npos) << sheet;
    EXPECT_NE(rule(1).find("vertical-align: super;"), std::string::npos) << sheet;
    EXPECT_NE(rule(2).find("vertical-align: sub;"), std::string::npos) << sheet;
}
