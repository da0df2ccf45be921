// The string tree: texts, exports (text, HTML read back with libxml2, RTF), streamed captions,
// the clipboard text, incremental search and editing in place through keys; and the draw tree.

#include <gtest/gtest.h>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "TreeTestSupport.h"
#include "components/tree/VTEditors.h"
#include "components/tree/VirtualDrawTree.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/streaming/Filer.h"
#include "platform/windows/Clipboard.h"
#include "platform/windows/DataTransfer.h"
#include "tests/platform/support/XPathQuery.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;

namespace {

// A string tree whose texts live in a map by node and column.
class TTextsTree : public TVirtualStringTree {
public:
    explicit TTextsTree(TComponent* owner = nullptr) : TVirtualStringTree(owner) {
        ua::UseFixedFace(*this, 300, 200);
        OnGetText = [this](TBaseVirtualTree*, PVirtualNode node, TColumnIndex column,
                           TVSTTextType type, std::u16string& text) {
            if (type != TVSTTextType::ttNormal) return;
            auto at = Texts.find({node, column});
            if (at != Texts.end()) text = at->second;
        };
        OnNewText = [this](TBaseVirtualTree*, PVirtualNode node, TColumnIndex column,
                           const std::u16string& text) {
            Texts[{node, column}] = text;
            NewTexts.push_back(text);
        };
    }
    PVirtualNode Add(PVirtualNode parent, const std::u16string& text) {
        PVirtualNode node = AddChild(parent);
        Texts[{node, NoColumn}] = text;
        return node;
    }
    std::map<std::pair<PVirtualNode, TColumnIndex>, std::u16string> Texts;
    std::vector<std::u16string> NewTexts;
};

// a (a1 (a11)), b
struct TSmallTree {
    TTextsTree tree;
    PVirtualNode a, a1, a11, b;
    TSmallTree() {
        a = tree.Add(nullptr, u"a");
        a1 = tree.Add(a, u"a1");
        a11 = tree.Add(a1, u"a11");
        b = tree.Add(nullptr, u"b");
        tree.ExpandAll();
    }
};

void CountError(void* errors, xmlErrorPtr) {
    ++*static_cast<int*>(errors);
}

// A parsed document and the strings an XPath expression selects in it.
class TParsed {
public:
    TParsed(const std::string& text, bool xml) {
        xmlSetStructuredErrorFunc(&Errors, CountError);
        if (xml)
            FDoc =
                xmlReadMemory(text.data(), int(text.size()), "tree.xml", nullptr, XML_PARSE_NONET);
        else
            FDoc = htmlReadMemory(text.data(), int(text.size()), "tree.html", "UTF-8",
                                  HTML_PARSE_NONET);
        xmlSetStructuredErrorFunc(nullptr, nullptr);
    }
    ~TParsed() {
        if (FDoc) xmlFreeDoc(FDoc);
    }
    std::vector<std::string> Values(const char* xpath) const {
        return epc::test::XPathValues(FDoc, xpath);
    }
    bool Parsed() const { return FDoc != nullptr; }
    int Errors = 0;

private:
    xmlDocPtr FDoc = nullptr;
};

// ---- Texts and exports ------------------------------------------------------------------------

TEST(StringTree, DefaultTextAndWidthFollowTheText) {
    TTextsTree tree;
    PVirtualNode node = tree.AddChild(nullptr);
    EXPECT_EQ(tree.Text(node, NoColumn), u"Node");
    EXPECT_EQ(tree.DoGetNodeWidth(node, NoColumn), 4 * 8 + 2 * tree.TextMargin());
    // A new text is measured afresh.
    tree.SetText(node, NoColumn, u"longer text");
    EXPECT_EQ(tree.DoGetNodeWidth(node, NoColumn), 11 * 8 + 2 * tree.TextMargin());
    tree.Texts[{node, NoColumn}] = u"ab";
    tree.InvalidateNode(node);
    EXPECT_EQ(tree.DoGetNodeWidth(node, NoColumn), 2 * 8 + 2 * tree.TextMargin());
    // Reinitialising forgets the width too, also when asked through the base tree, and for the
    // children of a recursive call.
    PVirtualNode child = tree.Add(node, u"abc");
    EXPECT_EQ(tree.DoGetNodeWidth(child, NoColumn), 3 * 8 + 2 * tree.TextMargin());
    tree.Texts[{node, NoColumn}] = u"abcd";
    tree.Texts[{child, NoColumn}] = u"a";
    TBaseVirtualTree& base = tree;
    base.ReinitNode(node, true);
    EXPECT_EQ(tree.DoGetNodeWidth(node, NoColumn), 4 * 8 + 2 * tree.TextMargin());
    EXPECT_EQ(tree.DoGetNodeWidth(child, NoColumn), 1 * 8 + 2 * tree.TextMargin());
}

TEST(StringTree, AutoFitGivesColumnsTheirWidestTextWithTheMarginsOnce) {
    TPlatformContext context;
    TForm* form = ua::NewTreeForm();
    auto close = Finally([&] { FreeComponent(form); });
    auto* tree = new TTextsTree(form);
    tree->SetParent(form);
    tree->SetBorderStyle(bsNone);
    // The first column widens by more than 32 pixels, in animated steps; the second narrows by
    // less, at once.
    tree->Header()->Columns()->Add()->SetWidth(10);
    tree->Header()->Columns()->Add()->SetWidth(50);
    tree->Header()->SetOptions(tree->Header()->Options() | hoVisible);
    PVirtualNode parent = tree->AddChild(nullptr);
    PVirtualNode child = tree->AddChild(parent);
    tree->Texts[{parent, 0}] = u"abcdef";
    tree->Texts[{child, 0}] = u"abcd";
    tree->Texts[{parent, 1}] = u"xy";
    tree->Texts[{child, 1}] = u"xyz";
    tree->ExpandAll();
    ua::ShowForm(form);
    tree->SetFocus();
    const DWORD start = GetTickCount();
    ua::PressKey(VK_ADD, {ssCtrl});
    // 32 steps of a millisecond on the platform's clock.
    EXPECT_EQ(GetTickCount() - start, 32u);
    // The child's 4 characters one level deeper outreach the parent's 6; other columns start at
    // the margin.
    const int margins = 2 * tree->TextMargin();
    const int root = tree->TreeOptions()->PaintOptions().Contains(toShowRoot) ? 1 : 0;
    EXPECT_EQ(tree->Header()->Columns()->Items(0)->Width(),
              tree->Margin() + (root + 1) * int(tree->Indent()) + 4 * 8 + margins);
    EXPECT_EQ(tree->Header()->Columns()->Items(1)->Width(), tree->Margin() + 3 * 8 + margins);
}

TEST(StringTree, PaintTextHandlersSetTheFontTextsAreMeasuredAndShortenedWith) {
    TTextsTree tree;
    PVirtualNode node = tree.Add(nullptr, u"a rather long text for a narrow tree");
    tree.OnPaintText = [](TBaseVirtualTree*, TCanvas* canvas, PVirtualNode, TColumnIndex,
                          TVSTTextType) { canvas->Font()->SetHeight(-32); };
    // Characters of the 32-pixel face are 16 pixels wide.
    EXPECT_EQ(tree.DoGetNodeWidth(node, NoColumn), 36 * 16 + 2 * tree.TextMargin());
    EXPECT_TRUE(tree.FontChanged());
    int space = -1;
    std::u16string shortened;
    tree.OnShortenString = [&](TBaseVirtualTree*, TCanvas*, PVirtualNode, TColumnIndex,
                               const std::u16string& s, int textSpace, std::u16string& result,
                               bool& done) {
        space = textSpace;
        result = s.substr(0, 3) + u"...";
        done = true;
    };
    TBitmap bitmap(300, 60, pf32bit);
    tree.RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 300, 60), TPoint(0, 0), DefaultRenderOptions);
    const TRect content = tree.NodeContentRect(node, 0);
    EXPECT_EQ(space, 300 - content.Left - 2 * tree.TextMargin());
}

TEST(StringTree, ContentToTextIndentsLevelsAndTakesTheSource) {
    TSmallTree t;
    EXPECT_EQ(t.tree.ContentToText(TVSTTextSourceType::tstAll, "\t"),
              "a\r\n\ta1\r\n\t\ta11\r\nb\r\n");
    t.tree.TreeOptions()->SetSelectionOptions({toMultiSelect});
    t.tree.SetSelected(t.a11, true);
    t.tree.SetSelected(t.b, true);
    EXPECT_EQ(t.tree.ContentToUnicode(TVSTTextSourceType::tstSelected, u","), u"\t\ta11\r\nb\r\n");
    t.tree.SetExpanded(t.a1, false);
    EXPECT_EQ(t.tree.ContentToText(TVSTTextSourceType::tstVisible, "\t"), "a\r\n\ta1\r\nb\r\n");
}

TEST(StringTree, ContentToTextJoinsColumnsInPositionOrderAndQuotes) {
    TTextsTree tree;
    TVTHeader* header = tree.Header();
    header->Columns()->Add()->SetText(u"Name");
    header->Columns()->Add()->SetText(u"Size");
    header->Columns()->Add()->SetText(u"Hidden");
    header->Columns()->Items(2)->SetOptions(header->Columns()->Items(2)->Options() - coVisible);
    header->Columns()->Items(1)->SetPosition(0);
    PVirtualNode parent = tree.AddChild(nullptr);
    PVirtualNode child = tree.AddChild(parent);
    tree.Texts[{parent, 0}] = u"top";
    tree.Texts[{parent, 1}] = u"1,5";
    tree.Texts[{child, 0}] = u"say \"hi\"";
    tree.Texts[{child, 1}] = u"2";
    EXPECT_EQ(tree.ContentToUnicode(TVSTTextSourceType::tstAll, u","),
              u"\"1,5\",top\r\n2,\t\"say \"\"hi\"\"\"\r\n");
}

TEST(StringTree, HtmlExportIsWellFormedAndKeepsTheTexts) {
    TSmallTree t;
    t.tree.Texts[{t.b, NoColumn}] = u"<b> & \u00e9\U0001F600";
    t.tree.OnPaintText = [&](TBaseVirtualTree*, TCanvas* canvas, PVirtualNode node, TColumnIndex,
                             TVSTTextType) {
        if (node == t.a) canvas->Font()->SetStyle({fsBold, fsItalic});
    };
    const std::string fragment = t.tree.ContentToHTML(TVSTTextSourceType::tstAll, u"Tree");
    // The strict parser, told what the HTML entity stands for.
    TParsed xml("<!DOCTYPE div [<!ENTITY nbsp \"&#160;\">]><div>" + fragment + "</div>", true);
    ASSERT_TRUE(xml.Parsed()) << fragment;
    EXPECT_EQ(xml.Errors, 0) << fragment;
    EXPECT_EQ(xml.Values("//caption"), std::vector<std::string>{"Tree"});
    EXPECT_EQ(xml.Values("//tr").size(), 4u);
    // Cells of the deepest node: two indentation cells, then its text.
    EXPECT_EQ(xml.Values("//tr[3]/td").size(), 3u);
    EXPECT_EQ(xml.Values("//tr[3]/td[3]"), std::vector<std::string>{"a11"});
    EXPECT_EQ(xml.Values("//tr[1]/td[@colspan='3']").size(), 1u);
    EXPECT_EQ(xml.Values("//tr[4]/td"), std::vector<std::string>{"<b> & \xC3\xA9\xF0\x9F\x98\x80"});
    EXPECT_NE(
        fragment.find("style='{font: italic bold 12pt \"Fixed Metrics Test\";color:#000000}'"),
        std::string::npos)
        << fragment;

    const std::string page = TCustomVirtualStringTree::MakeClipboardHTML(fragment);
    auto offset = [&](const std::string& name) {
        return size_t(std::stoul(page.substr(page.find(name) + name.size(), 8)));
    };
    EXPECT_EQ(
        page.substr(offset("StartFragment:"), offset("EndFragment:") - offset("StartFragment:")),
        fragment);
    EXPECT_EQ(page.substr(offset("StartHTML:"), 9), "<!DOCTYPE");
    EXPECT_EQ(offset("EndHTML:"), page.size());
    TParsed html(page.substr(offset("StartHTML:")), false);
    EXPECT_EQ(html.Errors, 0) << page;
    EXPECT_EQ(html.Values("//td").back(), "<b> & \xC3\xA9\xF0\x9F\x98\x80");
}

TEST(StringTree, RtfExportHasOneTableRowPerNode) {
    TSmallTree t;
    t.tree.Texts[{t.b, NoColumn}] = u"{x}\\ \u00e9\u4e2d";
    t.tree.OnPaintText = [&](TBaseVirtualTree*, TCanvas* canvas, PVirtualNode node, TColumnIndex,
                             TVSTTextType) {
        if (node == t.a1) {
            canvas->Font()->SetStyle({fsBold});
            canvas->Font()->SetColor(clRed);
        }
    };
    const std::string rtf = t.tree.ContentToRTF(TVSTTextSourceType::tstAll);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl", 0), 0u);
    EXPECT_NE(rtf.find("{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"),
              std::string::npos)
        << rtf;
    size_t rows = 0;
    for (size_t at = rtf.find("\\row"); at != std::string::npos; at = rtf.find("\\row", at + 1))
        ++rows;
    EXPECT_EQ(rows, 4u);
    EXPECT_NE(rtf.find("\\b\\fs24\\cf2 a1\\cell"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(" \\{x\\}\\\\ \\u233?\\u20013?\\cell"), std::string::npos) << rtf;
    EXPECT_EQ(rtf.substr(rtf.size() - 10), "\\pard\\par}");
    int depth = 0;
    for (size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
        } else if (rtf[i] == '{') {
            ++depth;
        } else if (rtf[i] == '}') {
            ASSERT_GE(--depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
    // Kept for opening in a word processor by hand (in the build's output folder).
    if (const char* out = std::getenv("EPC_TEST_OUT")) {
        std::filesystem::create_directories(out);
        std::ofstream(std::string(out) + "/tree-export.rtf", std::ios::binary) << rtf;
    }
}

TEST(StringTree, CopyingPutsTheSelectedTextsOnTheClipboard) {
    TPlatformContext context;
    TSmallTree t;
    t.tree.SetSelected(t.a1, true);
    t.tree.CopyToClipboard();
    EXPECT_EQ(ua::ClipboardText(), "\ta1\r\n");
    FORMATETC format;
    format.cfFormat = 13; // CF_UNICODETEXT
    format.tymed = TYMED_ISTREAM;
    STGMEDIUM medium;
    EXPECT_EQ(t.tree.RenderOLEData(format, medium, true), DV_E_TYMED);
}

TEST(StringTree, IncrementalSearchMatchesTheTextStart) {
    TSmallTree t;
    EXPECT_EQ(t.tree.DoIncrementalSearch(t.a11, u"a1"), 0);
    EXPECT_EQ(t.tree.DoIncrementalSearch(t.a11, u"a11"), 0);
    EXPECT_EQ(t.tree.DoIncrementalSearch(t.a11, u"A1"), 1); // the case counts
    EXPECT_EQ(t.tree.DoIncrementalSearch(t.a1, u"a11"), 1);
    EXPECT_EQ(t.tree.DoIncrementalSearch(t.b, u"a"), 1);
}

TEST(StringTree, TypedSearchGoesThroughTheKeyboardCodePage) {
    TPlatformContext context;
    TForm* form = ua::NewTreeForm();
    auto restore = Finally([form] { FreeComponent(form); });
    auto* tree = new TTextsTree(form);
    tree->SetParent(form);
    tree->SetIncrementalSearch(TVTIncrementalSearch::isAll);
    PVirtualNode alpha = tree->Add(nullptr, u"alpha");
    PVirtualNode upper = tree->Add(nullptr, u"Beta");
    PVirtualNode cyrillic = tree->Add(nullptr, u"\u0431\u0435\u0442\u0430");
    ua::ShowForm(form);
    tree->SetFocus();
    tree->SetFocusedNode(alpha);
    ua::TypeText(u"b");
    EXPECT_EQ(tree->FocusedNode(), alpha); // "Beta" starts with a capital
    ua::Wait(tree->IncrementalSearchTimeout() + 10);
    ua::TypeText(u"B");
    EXPECT_EQ(tree->FocusedNode(), upper);
    // A Cyrillic letter (from a letter key of a Cyrillic layout) is found under a Cyrillic layout,
    // and is no letter under a Western one.
    auto typeCyrillic = [&] {
        SendMessage(tree->Handle(), WM_KEYDOWN, 'D', 1);
        SendMessage(tree->Handle(), WM_CHAR, 0x0431, 1);
    };
    ua::Wait(tree->IncrementalSearchTimeout() + 10);
    context.SetKeyboardCodePage(1252);
    typeCyrillic();
    EXPECT_EQ(tree->FocusedNode(), upper);
    EXPECT_EQ(tree->SearchBuffer(), u"?");
    ua::Wait(tree->IncrementalSearchTimeout() + 10);
    context.SetKeyboardCodePage(1251);
    typeCyrillic();
    EXPECT_EQ(tree->FocusedNode(), cyrillic);
}

// ---- Streaming --------------------------------------------------------------------------------

TEST(StringTree, CaptionsTravelWithTheNodes) {
    TSmallTree t;
    TMemoryStream stream;
    t.tree.SaveToStream(stream);
    TTextsTree copy;
    stream.SetPosition(0);
    copy.LoadFromStream(stream);
    EXPECT_EQ(copy.NewTexts.size(), 4u);
    copy.ExpandAll();
    EXPECT_EQ(copy.ContentToText(TVSTTextSourceType::tstAll, "\t"),
              "a\r\n\ta1\r\n\t\ta11\r\nb\r\n");

    // Without the option no caption chunk is written.
    TMemoryStream bare;
    t.tree.TreeOptions()->SetStringOptions({});
    t.tree.SaveToStream(bare);
    EXPECT_LT(bare.Size(), stream.Size());
}

// Little-endian stream bytes built by hand.
struct TStreamBytes {
    std::vector<uint8_t> Bytes;
    TStreamBytes& U8(uint8_t v) {
        Bytes.push_back(v);
        return *this;
    }
    TStreamBytes& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    TStreamBytes& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    TStreamBytes& Text(const std::u16string& text) {
        for (char16_t c : text)
            U16(uint16_t(c));
        return *this;
    }
    TStreamBytes& Header(uint32_t count) {
        for (uint8_t b : {0x45, 0x20, 0x56, 0x00, 0x54, 0x00, 0x02, 0x00, 0x20, 0x00, 0x46, 0x20})
            U8(b);
        return U32(count);
    }
    // A leaf node chunk (initialised, visible, 18 pixels, aligned at 50) around the given
    // caption chunk bytes.
    TStreamBytes& Leaf(const std::vector<uint8_t>& caption) {
        U32(1).U32(uint32_t(8 + 17 + caption.size()));
        U32(2).U32(17).U32(0).U32(18).U16(0x0081).U8(50).U8(0).U8(0).U32(0);
        Bytes.insert(Bytes.end(), caption.begin(), caption.end());
        return *this;
    }
    static std::vector<uint8_t> Caption(const std::u16string& text) {
        TStreamBytes c;
        c.U32(3).U32(uint32_t(2 * text.size())).Text(text);
        return c.Bytes;
    }
    // The layout of earlier builds: a character count before each column's text.
    static std::vector<uint8_t> CountedCaption(const std::vector<std::u16string>& texts) {
        TStreamBytes body;
        for (const auto& text : texts)
            body.U32(uint32_t(text.size())).Text(text);
        TStreamBytes c;
        c.U32(3).U32(uint32_t(body.Bytes.size()));
        c.Bytes.insert(c.Bytes.end(), body.Bytes.begin(), body.Bytes.end());
        return c.Bytes;
    }
    void Load(TBaseVirtualTree& tree) const {
        TMemoryStream stream;
        stream.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
        stream.SetPosition(0);
        tree.LoadFromStream(stream);
    }
};

std::vector<uint8_t> Saved(TBaseVirtualTree& tree) {
    TMemoryStream stream;
    tree.SaveToStream(stream);
    const auto* p = static_cast<const uint8_t*>(stream.Memory());
    return std::vector<uint8_t>(p, p + stream.Size());
}

TEST(StringTree, CaptionChunkHoldsTheMainTextAndRoundTripsToTheByte) {
    TStreamBytes stored;
    stored.Header(3)
        .Leaf(TStreamBytes::Caption(u"ab"))
        .Leaf(TStreamBytes::Caption(u"\u00e9t\u00e9 \U0001F600"))
        .Leaf({}); // an empty caption has no chunk
    TTextsTree tree;
    stored.Load(tree);
    ASSERT_EQ(tree.RootNodeCount(), 3u);
    EXPECT_EQ(tree.NewTexts, (std::vector<std::u16string>{u"ab", u"\u00e9t\u00e9 \U0001F600"}));
    tree.Texts[{tree.LastNode(), NoColumn}] = u"";
    EXPECT_EQ(Saved(tree), stored.Bytes);

    // With columns the main column's text is the caption.
    TTextsTree columns;
    columns.Header()->Columns()->Add();
    columns.Header()->Columns()->Add();
    columns.Header()->SetOptions(columns.Header()->Options() | hoVisible);
    columns.Header()->SetMainColumn(1);
    PVirtualNode node = columns.Add(nullptr, u"");
    columns.Texts[{node, 0}] = u"left";
    columns.Texts[{node, 1}] = u"main";
    columns.InitNode(node);
    TStreamBytes expected;
    expected.Header(1).Leaf(TStreamBytes::Caption(u"main"));
    EXPECT_EQ(Saved(columns), expected.Bytes);
    // Read back, the caption lands in the main column, wherever that is.
    TTextsTree back;
    back.Header()->Columns()->Add();
    back.Header()->Columns()->Add();
    back.Header()->SetOptions(back.Header()->Options() | hoVisible);
    back.Header()->SetMainColumn(1);
    expected.Load(back);
    PVirtualNode loaded = back.FirstNode();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ((back.Texts[{loaded, 1}]), u"main");
    EXPECT_EQ(back.Texts.count({loaded, 0}), 0u);
    EXPECT_EQ(back.NewTexts, std::vector<std::u16string>{u"main"});

    // A node that was never initialised has no caption.
    TTextsTree lazy;
    lazy.TreeOptions()->SetMiscOptions(lazy.TreeOptions()->MiscOptions() - toInitOnSave);
    lazy.SetRootNodeCount(1);
    const std::vector<uint8_t> bytes = Saved(lazy);
    const uint8_t captionId[] = {3, 0, 0, 0};
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), std::begin(captionId), std::end(captionId)),
              bytes.end());
}

TEST(StringTree, CaptionsOfEarlierBuildsStillLoad) {
    TStreamBytes old;
    old.Header(2)
        .Leaf(TStreamBytes::CountedCaption({u"first"}))
        .Leaf(TStreamBytes::CountedCaption({u""}));
    TTextsTree tree;
    old.Load(tree);
    EXPECT_EQ(tree.NewTexts, (std::vector<std::u16string>{u"first", u""}));

    // One text per column; texts beyond the tree's columns are left out.
    TTextsTree columns;
    columns.Header()->Columns()->Add();
    columns.Header()->Columns()->Add();
    columns.Header()->SetOptions(columns.Header()->Options() | hoVisible);
    TStreamBytes wide;
    wide.Header(1).Leaf(TStreamBytes::CountedCaption({u"c0", u"c1", u"c2"}));
    wide.Load(columns);
    PVirtualNode node = columns.FirstNode();
    EXPECT_EQ((columns.Texts[{node, 0}]), u"c0");
    EXPECT_EQ((columns.Texts[{node, 1}]), u"c1");
    EXPECT_EQ(columns.NewTexts.size(), 2u);
}

TEST(StringTree, CorruptCaptionChunkRaisesInsteadOfReadingPastIt) {
    // An odd byte count is no UTF-16 text.
    std::vector<uint8_t> odd = TStreamBytes::Caption(u"abc");
    odd[4] = 5;
    odd.pop_back();
    TStreamBytes bad;
    bad.Header(1).Leaf(odd);
    TTextsTree target;
    EXPECT_THROW(bad.Load(target), EVirtualTreeError);
    EXPECT_TRUE(target.NewTexts.empty());
    // A size beyond the node's end.
    std::vector<uint8_t> longer = TStreamBytes::Caption(u"abc");
    longer[4] = 0x40;
    TStreamBytes past;
    past.Header(1).Leaf(longer);
    EXPECT_THROW(past.Load(target), EVirtualTreeError);
    EXPECT_TRUE(target.NewTexts.empty());
}

// ---- Editing in place -------------------------------------------------------------------------

struct TEditFixture {
    TPlatformContext context; // made first, gone last
    TForm* form = ua::NewTreeForm();
    TTextsTree* tree = new TTextsTree(form);
    PVirtualNode first, second;
    std::vector<std::string> events;
    TEditFixture() {
        tree->SetParent(form);
        tree->SetBorderStyle(bsNone);
        tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() | toEditable);
        first = tree->Add(nullptr, u"first");
        second = tree->Add(nullptr, u"second");
        tree->OnEdited = [this](TBaseVirtualTree*, PVirtualNode, TColumnIndex) {
            events.push_back("edited");
        };
        tree->OnEditCancelled = [this](TBaseVirtualTree*, TColumnIndex) {
            events.push_back("cancelled");
        };
        ua::ShowForm(form);
        tree->SetFocus();
        tree->SetFocusedNode(first);
        ua::Pump();
    }
    ~TEditFixture() { FreeComponent(form); }
    TVTEdit* Edit() {
        auto* link = dynamic_cast<TStringEditLink*>(tree->EditLink());
        return link ? link->Edit() : nullptr;
    }
};

TEST(StringTreeEditing, ASecondClickOnTheLabelEditsOnlyThatNode) {
    TEditFixture f;
    f.tree->SetEditDelay(100);
    // "first" is 5 characters of 8 pixels; the node width holds both text margins.
    const TRect row = f.tree->DisplayRect(f.first, NoColumn, false);
    const int labelLeft = f.tree->Margin() + int(f.tree->Indent());
    const int labelRight = labelLeft + 5 * 8 + 2 * f.tree->TextMargin();
    const int y = row.Top + row.Height() / 2;
    // The node is focused already. Just right of its label: no edit.
    ua::Click(f.tree, labelRight, y);
    ua::Wait(300);
    EXPECT_FALSE(f.tree->IsEditing());
    // On the label's last pixel: an edit once the delay has passed.
    ua::Wait(1000); // not a double click
    ua::Click(f.tree, labelRight - 1, y);
    ua::Wait(300);
    EXPECT_TRUE(f.tree->IsEditing());
    EXPECT_EQ(f.tree->FocusedNode(), f.first);
    ua::PressKey(VK_ESCAPE);
    ASSERT_FALSE(f.tree->IsEditing());

    // The focus moves on before the delay is over: nothing is edited.
    ua::Wait(1000);
    ua::Click(f.tree, labelLeft + 2, y);
    ua::PressKey(VK_DOWN);
    ua::Wait(300);
    EXPECT_EQ(f.tree->FocusedNode(), f.second);
    EXPECT_FALSE(f.tree->IsEditing());
}

TEST(StringTreeEditing, F2TypingAndEnterSetTheNewText) {
    TEditFixture f;
    ua::PressKey(VK_F2);
    ASSERT_TRUE(f.tree->IsEditing());
    ASSERT_NE(f.Edit(), nullptr);
    EXPECT_TRUE(f.Edit()->Focused());
    EXPECT_EQ(f.Edit()->SelText(), u"first");
    // The editor lies over the node's text.
    const TRect text = f.tree->DisplayRect(f.first, NoColumn, true, true);
    EXPECT_EQ(f.Edit()->Left(), text.Left);
    EXPECT_GE(f.Edit()->Width(), text.Width());
    ua::TypeText(u"renamed");
    ua::PressKey(VK_LEFT);
    ua::PressKey(VK_UP); // Left again in a one-line node
    ua::PressKey(VK_BACK);
    ua::PressKey(VK_RETURN);
    EXPECT_FALSE(f.tree->IsEditing());
    EXPECT_EQ(f.tree->NewTexts, std::vector<std::u16string>{u"renaed"});
    EXPECT_EQ(f.tree->Text(f.first, NoColumn), u"renaed");
    EXPECT_EQ(f.events, std::vector<std::string>{"edited"});
    EXPECT_TRUE(f.tree->Focused());
}

TEST(StringTreeEditing, AnEditInAColumnOfATreeScrolledSidewaysLiesOverItsCell) {
    TEditFixture f;
    TVirtualTreeColumns* columns = f.tree->Header()->Columns();
    columns->Add()->SetWidth(250);
    columns->Add()->SetWidth(200);
    f.tree->Texts[{f.first, 0}] = u"first";
    f.tree->Texts[{f.first, 1}] = u"note";
    f.tree->SetFocusedColumn(1);
    SendMessage(f.tree->Handle(), WM_HSCROLL, SB_BOTTOM, 0);
    ua::Pump();
    ASSERT_LT(f.tree->OffsetX(), 0);
    EXPECT_EQ(f.tree->DisplayRect(f.first, 1, true, true).Left,
              250 + f.tree->OffsetX() + f.tree->Margin());
    ua::PressKey(VK_F2);
    ASSERT_TRUE(f.tree->IsEditing());
    ASSERT_NE(f.Edit(), nullptr);
    EXPECT_EQ(f.Edit()->SelText(), u"note");
    // Over the second column's text where the scrolled window shows it.
    ASSERT_LT(f.tree->OffsetX(), 0);
    EXPECT_EQ(f.Edit()->Left(), 250 + f.tree->OffsetX() + f.tree->Margin());
}

TEST(StringTreeEditing, RightAlignedLabelsAreEditedWhereTheyArePainted) {
    TEditFixture f;
    f.tree->SetAlignment(taRightJustify);
    ua::Pump();
    // "first": 5 characters of 8 pixels and both text margins, against the right edge.
    const int right = f.tree->ClientWidth();
    const int left = right - (5 * 8 + 2 * f.tree->TextMargin());
    const TRect text = f.tree->DisplayRect(f.first, NoColumn, true, true);
    EXPECT_EQ(text.Left, left);
    EXPECT_EQ(text.Right, right);
    // The painted label: the text's first pixels are right of Left, none left of it.
    const TRect row = f.tree->DisplayRect(f.first, NoColumn, false);
    auto inked = [&](int from, int to) {
        const TWindowPixels pixels = ua::ClientPixels(f.tree);
        for (int x = from; x < to; ++x)
            for (int y = row.Top; y < row.Bottom; ++y)
                if (pixels.Color(x, y) == ColorToRGB(f.tree->Font()->Color())) return true;
        return false;
    };
    f.tree->SetFocusedNode(f.second);
    ua::Pump();
    EXPECT_FALSE(inked(f.tree->Indent() + f.tree->Margin(), left));
    EXPECT_TRUE(inked(left, right));
    f.tree->SetFocusedNode(f.first);
    ua::PressKey(VK_F2);
    ASSERT_TRUE(f.tree->IsEditing());
    ASSERT_NE(f.Edit(), nullptr);
    EXPECT_EQ(f.Edit()->Left() + f.Edit()->Width(), right);
    EXPECT_LE(f.Edit()->Left(), left);
    ua::PressKey(VK_ESCAPE);
    // Read right to left, a right-aligned label sits at the far (left) side, where the hit
    // test finds it too.
    f.tree->SetBiDiMode(bdRightToLeft);
    ua::Pump();
    const TRect mirrored = f.tree->DisplayRect(f.first, NoColumn, true, true);
    EXPECT_EQ(mirrored.Left, 0);
    EXPECT_EQ(mirrored.Right, 5 * 8 + 2 * f.tree->TextMargin());
    const auto hit = f.tree->HitTestAt(mirrored.Left + 2, row.Top + 2, true);
    EXPECT_EQ(hit.HitNode, f.first);
    EXPECT_TRUE(hit.HitPositions & TBaseVirtualTree::hiOnItemLabel);
}

TEST(StringTreeEditing, EscapeCancelsAndKeepsTheText) {
    TEditFixture f;
    ASSERT_TRUE(f.tree->EditNode(f.second, NoColumn));
    EXPECT_EQ(f.tree->FocusedNode(), f.second);
    ua::TypeText(u"thrown away");
    ua::PressKey(VK_ESCAPE);
    EXPECT_FALSE(f.tree->IsEditing());
    EXPECT_TRUE(f.tree->NewTexts.empty());
    EXPECT_EQ(f.tree->Text(f.second, NoColumn), u"second");
    EXPECT_EQ(f.events, std::vector<std::string>{"cancelled"});
    EXPECT_TRUE(f.tree->Focused());
    // An unchanged text is not handed back on Enter.
    ASSERT_TRUE(f.tree->EditNode(f.second, NoColumn));
    ua::PressKey(VK_RETURN);
    EXPECT_TRUE(f.tree->NewTexts.empty());
}

TEST(StringTreeEditing, MultilineNodesEndOnlyWithCtrlEnter) {
    TEditFixture f;
    f.first->States.Include(nsMultiline);
    ASSERT_TRUE(f.tree->EditNode(f.first, NoColumn));
    ua::PressKey(VK_END);
    ua::TypeText(u"!");
    ua::PressKey(VK_RETURN);
    EXPECT_TRUE(f.tree->IsEditing());
    ua::PressKey(VK_RETURN, {ssCtrl});
    EXPECT_FALSE(f.tree->IsEditing());
    EXPECT_EQ(f.tree->NewTexts, std::vector<std::u16string>{u"first!"});
}

TEST(StringTreeEditing, RefusedOrStructureChangesEndTheEdit) {
    TEditFixture f;
    f.tree->TreeOptions()->SetMiscOptions(f.tree->TreeOptions()->MiscOptions() - toEditable);
    EXPECT_FALSE(f.tree->EditNode(f.first, NoColumn));
    ua::PressKey(VK_F2);
    EXPECT_FALSE(f.tree->IsEditing());
    f.tree->TreeOptions()->SetMiscOptions(f.tree->TreeOptions()->MiscOptions() | toEditable);
    f.tree->SetEnabled(false);
    EXPECT_FALSE(f.tree->EditNode(f.first, NoColumn));
    f.tree->SetEnabled(true);
    f.tree->SetFocus();
    EXPECT_THROW(f.tree->EditNode(f.first, 0), EAssertionFailed);
    ASSERT_TRUE(f.tree->EditNode(f.first, NoColumn));
    // Adding a node cancels the edit under way.
    f.tree->Add(nullptr, u"third");
    EXPECT_FALSE(f.tree->IsEditing());
    EXPECT_EQ(f.events, std::vector<std::string>{"cancelled"});
    // A handler's own link is used; without one the tree insists on a link.
    TBaseVirtualTree plain(nullptr);
    plain.TreeOptions()->SetMiscOptions(plain.TreeOptions()->MiscOptions() | toEditable);
    plain.SetNodeDataSize(0);
    PVirtualNode node = plain.AddChild(nullptr);
    EXPECT_THROW(plain.EditNode(node, NoColumn), EVirtualTreeError);
}

// The program deletes the node being edited (from an event, a timer): the edit ends at once,
// its text going nowhere, and what the person types next reaches no freed node.
TEST(StringTreeEditing, DeletingTheEditedNodeOrAnAncestorEndsTheEditWithoutItsText) {
    std::vector<PVirtualNode> freed; // outlives the tree, which frees nodes as it goes
    TEditFixture f;
    f.tree->OnFreeNode = [&](TBaseVirtualTree*, PVirtualNode node) { freed.push_back(node); };
    // Each way a node goes, with the parent (P) and the edited child (C) made for it.
    const std::vector<std::function<void(PVirtualNode, PVirtualNode)>> deletions = {
        [&](PVirtualNode, PVirtualNode c) { f.tree->DeleteNode(c); },
        [&](PVirtualNode p, PVirtualNode) { f.tree->DeleteNode(p); },
        [&](PVirtualNode p, PVirtualNode) { f.tree->DeleteChildren(p, true); },
        [&](PVirtualNode, PVirtualNode) { f.tree->Clear(); },
    };
    for (size_t i = 0; i < deletions.size(); ++i) {
        SCOPED_TRACE(i);
        PVirtualNode p = f.tree->Add(nullptr, u"gamma's parent");
        PVirtualNode c = f.tree->Add(p, u"gamma");
        PVirtualNode other = f.tree->Add(nullptr, u"other");
        f.tree->SetExpanded(p, true);
        f.tree->SetFocus();
        f.events.clear();
        ASSERT_TRUE(f.tree->EditNode(c, NoColumn));
        ua::TypeText(u"typed");
        ASSERT_TRUE(f.tree->IsEditing());
        // Another node going leaves the edit alone.
        f.tree->DeleteNode(other);
        ASSERT_TRUE(f.tree->IsEditing());
        deletions[i](p, c);
        EXPECT_FALSE(f.tree->IsEditing());
        EXPECT_EQ(f.events, std::vector<std::string>{"cancelled"});
        EXPECT_NE(std::find(freed.begin(), freed.end(), c), freed.end());
        ua::TypeText(u" more");
        ua::PressKey(VK_RETURN);
        ua::Pump();
        EXPECT_TRUE(f.tree->NewTexts.empty());
        f.tree->Clear();
    }
}

// ---- Draw tree --------------------------------------------------------------------------------

TEST(DrawTree, PaintingAndWidthsComeFromTheEvents) {
    TVirtualDrawTree tree(nullptr);
    tree.SetBounds(0, 0, 200, 100);
    tree.SetNodeDataSize(0);
    tree.SetRootNodeCount(3);
    int drawn = 0;
    tree.OnDrawNode = [&](TBaseVirtualTree*, const TVTPaintInfo& info) {
        ++drawn;
        EXPECT_NE(info.Canvas, nullptr);
    };
    EXPECT_EQ(tree.DoGetNodeWidth(tree.FirstNode(), NoColumn), 0);
    tree.OnGetNodeWidth = [](TBaseVirtualTree*, TCanvas* canvas, PVirtualNode, TColumnIndex,
                             int& width) { width = canvas ? 42 : -1; };
    EXPECT_EQ(tree.DoGetNodeWidth(tree.FirstNode(), NoColumn), 42);
    TBitmap bitmap(200, 100, pf32bit);
    tree.RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 200, 100), TPoint(0, 0), DefaultRenderOptions);
    EXPECT_EQ(drawn, 3);
}

TEST(DrawTree, HintsArePaintedByTheEvent) {
    TVirtualDrawTree tree(nullptr);
    tree.SetNodeDataSize(0);
    PVirtualNode node = tree.AddChild(nullptr);
    TVirtualTreeHintWindow hint(nullptr);
    TVTHintData data;
    data.Tree = &tree;
    data.Node = node;
    const TRect r = hint.CalcHintRect(300, "text", &data);
    TBitmap target(r.Width(), r.Height(), pf32bit);
    int calls = 0;
    tree.OnDrawHint = [&](TBaseVirtualTree* sender, TCanvas* canvas, PVirtualNode hinted,
                          const TRect& area, TColumnIndex column) {
        ++calls;
        EXPECT_EQ(sender, &tree);
        EXPECT_EQ(hinted, node);
        EXPECT_EQ(column, NoColumn);
        EXPECT_EQ(area.Right, r.Width() - HintShadowSize);
        canvas->Brush()->SetColor(clRed);
        canvas->FillRect(TRect(2, 2, 6, 6));
    };
    hint.DrawHint(target);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(target.ScanLine(3))[3] & 0xFFFFFF, 0xFF0000u);
}

} // namespace

// ---- Stored properties of earlier forms ------------------------------------------------------

TEST(StringTree, PropertiesOfEarlierFormsAreRead) {
    // A property list as a form stores it: name, value, ..., end marker.
    auto read = [](TPersistent* target, const std::function<void(TWriter&)>& write) {
        TMemoryStream stream;
        TWriter writer(stream);
        write(writer);
        writer.WriteListEnd();
        stream.SetPosition(0);
        TReader reader(stream);
        reader.ReadProperties(target);
    };
    TTextsTree tree;
    read(&tree, [](TWriter& w) {
        w.WritePropName("WideDefaultText");
        w.WriteWideString(u"\u00e9l\u00e9ment");
        w.WritePropName("StringOptions");
        w.WriteSet(0x3, {"soSaveCaptions", "soShowStaticText"});
    });
    EXPECT_EQ(tree.DefaultText(), u"\u00e9l\u00e9ment");
    EXPECT_TRUE(tree.TreeOptions()->StringOptions().Contains(TVTStringOption::soShowStaticText));
    // An 8-bit text is taken as well.
    read(&tree, [](TWriter& w) {
        w.WritePropName("WideDefaultText");
        w.WriteString("plain");
    });
    EXPECT_EQ(tree.DefaultText(), u"plain");

    TVirtualTreeColumn* column = tree.Header()->Columns()->Add();
    read(column, [](TWriter& w) {
        w.WritePropName("WideText");
        w.WriteWideString(u"\u0422\u0435\u043a\u0441\u0442");
        w.WritePropName("WideHint");
        w.WriteString("hint");
    });
    EXPECT_EQ(column->Text(), u"\u0422\u0435\u043a\u0441\u0442");
    EXPECT_EQ(column->Hint(), u"hint");

    // The default text goes into forms only when it is not the standard one.
    auto written = [](TPersistent* source) {
        TMemoryStream stream;
        TWriter writer(stream);
        writer.WriteProperties(source);
        return stream.DataString();
    };
    EXPECT_NE(written(&tree).find("WideDefaultText"), std::string::npos);
    tree.SetDefaultText(u"Node");
    EXPECT_EQ(written(&tree).find("WideDefaultText"), std::string::npos);
}
