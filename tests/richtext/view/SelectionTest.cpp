// Mouse work on the viewer: selection by dragging, Shift+click and double click, hyperlinks
// pressed and released, right clicks, hover redrawing, and copying to the clipboard.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Clipbrd.h"
#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"

#include "tests/richtext/view/TestRVData.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc {
namespace {

// Cells of the fixed face are 10 x 20 pixels; the text starts at the 5-pixel margins.
constexpr const char* kFixed = "Fixed Metrics Test";
int CellX(int ch) {
    return 5 + 10 * ch + 5;
}
int LineY(int line) {
    return 5 + 20 * line + 10;
}

class SelectionTest : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Form = test::NewTestForm();
        Style = new TRVStyle(Form);
        TFontInfo& f = Style->TextStyles[0];
        f.FontName = kFixed;
        f.Size = 15;
        TFontInfo& link = Style->TextStyles.Add(); // 1: a hyperlink with a hover look
        link.FontName = kFixed;
        link.Size = 15;
        link.Jump = true;
        link.HoverColor = clRed;
        View = new TRichView(Form);
        View->SetParent(Form);
        View->SetBounds(10, 10, 300, 200);
        View->SetBorderStyle(bsNone);
        View->SetStyle(Style);
        View->OnJump = [this](TObject*, int id) { JumpIds.push_back(id); };
        View->OnRVMouseMove = [this](TObject*, int id) { HoverIds.push_back(id); };
    }
    void Show() {
        testing::ShowForm(Form);
        View->Format();
        testing::Pump();
    }
    // The normalised selection as item positions.
    std::vector<int> Sel() {
        int si, so, ei, eo;
        View->RVData()->GetSelectionBounds(si, so, ei, eo, true);
        return {si, so, ei, eo};
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichView* View = nullptr;
    std::vector<int> JumpIds, HoverIds;
};

using V = std::vector<int>;

TEST_F(SelectionTest, DraggingSelectsAcrossLinesAndParagraphsAndShiftClickExtendsFromTheStart) {
    // 29 characters fit a line: the first paragraph wraps after "bbbb ".
    View->AppendTextParagraph("aaaaaaaaaaaaaaaaaaaaaaaa bbbb cccc", 0, 0);
    View->AppendTextParagraph("second", 0, 0);
    Show();
    ASSERT_GE(View->RVData()->DrawItems.Count(), 3);
    const int o = View->RVData()->DrawItems[1]->Offs; // the second line's first character
    testing::DragMouse(View, TPoint(CellX(2) - 4, LineY(0)), TPoint(CellX(2) - 4, LineY(1)));
    EXPECT_EQ(Sel(), (V{0, 3, 0, o + 2}));
    testing::DragMouse(View, TPoint(CellX(1) - 4, LineY(1)), TPoint(CellX(3) - 4, LineY(2)));
    EXPECT_EQ(Sel(), (V{0, o + 1, 1, 4}));
    // Shift+click keeps the start and moves the end, even before the start.
    testing::Click(View, CellX(5) - 4, LineY(0), mbLeft, TShiftState{ssShift});
    EXPECT_EQ(Sel(), (V{0, 6, 0, o + 1}));
    EXPECT_EQ(View->RVData()->FirstOffs, 2);
    // Below the last line the end goes to the last line.
    testing::DragMouse(View, TPoint(CellX(0) - 4, LineY(0)), TPoint(250, 190));
    EXPECT_EQ(Sel(), (V{0, 1, 1, 7}));
}

TEST_F(SelectionTest, DoubleClickSelectsTheWordOrThePicture) {
    std::string word;
    View->OnRVDblClick = [&](TCustomRichView*, const std::string& w, int) { word = w; };
    View->AppendTextParagraph("hello world now", 0, 0);
    auto pic = std::make_unique<TBitmap>(20, 20, pf24bit);
    TGraphic* graphic = pic.get();
    View->AppendPicture("pic", std::move(pic), 0);
    Show();
    testing::DoubleClick(View, CellX(8), LineY(0));
    EXPECT_EQ(word, "world");
    EXPECT_EQ(Sel(), (V{0, 7, 0, 12}));
    EXPECT_EQ(View->GetSelectedImage(), nullptr);
    // The mouse-up after the double click leaves the word selected; no drag follows.
    testing::MoveMouse(View, CellX(12), LineY(0));
    EXPECT_EQ(Sel(), (V{0, 7, 0, 12}));
    int x, y;
    ASSERT_TRUE(View->GetItemClientCoords(1, x, y));
    testing::DoubleClick(View, x + 3, y + 3);
    EXPECT_EQ(Sel(), (V{1, 0, 1, 1}));
    EXPECT_EQ(View->GetSelectedImage(), graphic);
}

TEST_F(SelectionTest, JumpFiresOnlyWhenReleasedOverTheSameLinkWithoutSelection) {
    View->SetFirstJumpNo(5);
    View->AppendTextParagraph("one", 1, 0);
    View->AppendTextParagraph(" - ", 0, -1);
    View->AppendTextParagraph("two", 1, -1);
    Show();
    // Pressed on one link and released on the other: nothing.
    testing::MouseDown(View, CellX(1), LineY(0));
    testing::MoveMouse(View, CellX(7), LineY(0));
    testing::MouseUp(View, CellX(7), LineY(0));
    EXPECT_TRUE(JumpIds.empty());
    // Both events report the list's number, which already holds the first jump number.
    testing::Click(View, CellX(7), LineY(0));
    EXPECT_EQ(JumpIds, (V{6}));
    testing::MoveMouse(View, CellX(1), LineY(0));
    testing::MoveMouse(View, CellX(4), LineY(0));
    EXPECT_EQ(HoverIds, (V{6, 5, -1}));
    // Text selected by the press and drag inside the link: no jump.
    testing::DragMouse(View, TPoint(CellX(0) - 4, LineY(0)), TPoint(CellX(2), LineY(0)));
    EXPECT_TRUE(View->HasSelection());
    EXPECT_EQ(JumpIds, (V{6}));
}

TEST_F(SelectionTest, RightClickKeepsASelectionItLiesInAndMovesTheCaretOutside) {
    std::string word;
    int rx = -1;
    View->OnRVRightClick = [&](TCustomRichView*, const std::string& w, int, int x, int) {
        word = w;
        rx = x;
    };
    View->AppendTextParagraph("alpha beta gamma", 0, 0);
    Show();
    View->SetSelection(0, 1, 0, 11);
    testing::Click(View, CellX(7), LineY(0), mbRight);
    EXPECT_EQ(Sel(), (V{0, 1, 0, 11}));
    EXPECT_EQ(word, "beta");
    EXPECT_EQ(rx, CellX(7));
    testing::Click(View, CellX(13) - 4, LineY(0), mbRight);
    EXPECT_EQ(Sel(), (V{0, 14, 0, 14}));
    EXPECT_EQ(word, "gamma");
    // Without the option the selection stays.
    View->SetSelection(0, 1, 0, 5);
    View->Options.Exclude(TRVOption::rvoRClickDeselects);
    testing::Click(View, CellX(13), LineY(0), mbRight);
    EXPECT_EQ(Sel(), (V{0, 1, 0, 5}));
}

// ---- Hover redrawing, on a document without a window.

TEST(SelectionHover, HoverRedrawsOnlyTheLinksAreasWidenedByFivePixels) {
    auto style = test::MakeFixedStyle();
    const int hover = test::AddFixedTextStyle(*style, 15);
    style->TextStyles.GetItem(hover).Jump = true;
    style->TextStyles.GetItem(hover).HoverBackColor = clYellow;
    const int plain = test::AddFixedTextStyle(*style, 15);
    style->TextStyles.GetItem(plain).Jump = true;
    test::TTestRVData d(style.get());
    d.ClientWidth = 60;
    d.AddTextParagraph("aaaa bbbb", hover, 0, TRVTag()); // wraps: two areas of one link
    d.AddTextParagraph("cc", plain, 0, TRVTag());
    d.Format(false);
    d.VScrollPos = 3;
    ASSERT_EQ(d.Jumps.size(), 3u);
    d.MouseMove({}, 5, 5);
    ASSERT_EQ(d.InvalidatedRects.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const TRVJumpInfo& j = *d.Jumps[i];
        EXPECT_EQ(d.InvalidatedRects[i],
                  TRect(j.Left - 5, j.Top - 5 - 3, j.Left + j.Width + 5, j.Top + j.Height + 5 - 3));
    }
    EXPECT_NE(d.Jumps[0]->Top, d.Jumps[1]->Top);
    EXPECT_TRUE(d.State.Contains(TRVState::rvstDrawHover));
    // A link without a hover look is not redrawn; leaving the hovered one redraws it.
    d.InvalidatedRects.clear();
    d.MouseMove({}, 5, 45);
    EXPECT_EQ(d.InvalidatedRects.size(), 2u);
    EXPECT_FALSE(d.State.Contains(TRVState::rvstDrawHover));
    d.InvalidatedRects.clear();
    d.MouseMove({}, 5, 190);
    EXPECT_TRUE(d.InvalidatedRects.empty());
    EXPECT_EQ(d.WholeInvalidations, 0);
}

// Only the selected characters of a partly selected line take the selection background, on a
// line that also has selected and unselected items of its own.
TEST(SelectionPaint, PartlySelectedTextHighlightsOnlyItsSelectedCharacters) {
    auto style = test::MakeFixedStyle();
    test::TTestRVData d(style.get());
    d.AddTextParagraph("abcdef", 0, 0, TRVTag());
    d.AddTextParagraph("ghij", 0, 0, TRVTag());
    d.Format(false);
    TCanvas canvas;
    canvas.SetOwnedHandle(CreateBufferDC(100, 40, 96, 96));
    auto paint = [&] {
        canvas.Brush()->SetStyle(bsSolid);
        canvas.Brush()->SetColor(clWhite);
        canvas.FillRect(TRect(0, 0, 100, 40));
        d.PaintDocument(&canvas, TRect(0, 0, 100, 40));
    };
    // The characters (by cell of 10 x 20 pixels) that show the selection background.
    auto highlighted = [&](int line, int cells) {
        std::string marks;
        for (int c = 0; c < cells; ++c) {
            bool found = false;
            for (int y = line * 20; y < line * 20 + 20 && !found; ++y)
                for (int x = c * 10; x < c * 10 + 10 && !found; ++x)
                    found = canvas.Pixels(x, y) == TColor(ColorToRGB(style->InactiveSelColor));
            marks += found ? 'x' : '.';
        }
        return marks;
    };
    d.SetSelectionBounds(0, 1, 3, 3); // "cdef" and "gh"
    paint();
    EXPECT_EQ(highlighted(0, 6), "..xxxx");
    EXPECT_EQ(highlighted(1, 4), "xx..");
    d.SetSelectionBounds(0, 0, 2, 4); // "bc"
    paint();
    EXPECT_EQ(highlighted(0, 6), ".xx...");
    EXPECT_EQ(highlighted(1, 4), "....");
}

TEST(SelectionXor, FeedbackIsErasedBeforeItMovesAndWhenTheDrawerChanges) {
    auto style = test::MakeFixedStyle();
    test::TTestRVData d(style.get());
    d.AddTextParagraph("x", 0, 0, TRVTag());
    d.Format(false);
    std::vector<TPoint> calls;
    int owner = 0;
    d.SetXorDrawer([&](TCustomRVFormattedData*, int x, int y) { calls.push_back(TPoint(x, y)); },
                   &owner);
    d.MouseMove({}, 3, 4);
    d.MouseMove({}, 7, 8);
    EXPECT_EQ(calls, (std::vector<TPoint>{TPoint(3, 4), TPoint(3, 4), TPoint(7, 8)}));
    EXPECT_TRUE(d.XorFeedbackShown());
    d.ClearXorDrawer(nullptr); // someone else's: kept
    EXPECT_TRUE(d.XorDrawerAssigned());
    d.ClearXorDrawer(&owner);
    EXPECT_EQ(calls.size(), 4u);
    EXPECT_FALSE(d.XorFeedbackShown());
}

// ---- What the editor builds on.

class TSeamData : public test::TTestRVData {
public:
    using TTestRVData::TTestRVData;
    std::vector<std::vector<int>> Clicked, Adjusted;
    int Painted = 0;
    void SelectClickedItem(int d, int offs, bool shift) override {
        Clicked.push_back({d, offs, shift ? 1 : 0});
        TTestRVData::SelectClickedItem(d, offs, shift);
    }
    void AdjustRememberedItemIndices(TCustomRVFormattedData* rvData, int first,
                                     int delta) override {
        Adjusted.push_back({first, delta, rvData == this ? 1 : 0});
    }
    void PaintOverItems(TCanvas*, int, int) override { ++Painted; }
};

TEST(SelectionSeams, ClicksGoThroughSelectClickedItemAndPaintingLeavesASlotAfterTheItems) {
    auto style = test::MakeFixedStyle();
    TSeamData d(style.get());
    d.SetOptions(d.GetOptions() | TRVOption::rvoAllowSelection);
    d.AddTextParagraph("abc", 0, 0, TRVTag());
    d.Format(false);
    d.MouseDown(mbLeft, TShiftState{ssShift}, 12, 5);
    d.MouseUp(mbLeft, TShiftState{ssShift}, 12, 5);
    EXPECT_EQ(d.Clicked, (std::vector<std::vector<int>>{{0, 2, 1}}));
    d.AdjustItemIndicesInRoot(3, -2);
    EXPECT_EQ(d.Adjusted, (std::vector<std::vector<int>>{{3, -2, 1}}));
    d.PaintDocument(d.GetCanvas(), TRect(0, 0, 50, 50));
    EXPECT_EQ(d.Painted, 1);
    // Removing items hands their count on by itself.
    d.AddTextParagraph("def", 0, 0, TRVTag());
    d.AddTextParagraph("ghi", 0, 0, TRVTag());
    d.Format(false);
    ASSERT_EQ(d.ItemCount(), 3);
    d.DeleteItemRange(1, 2);
    EXPECT_EQ(d.Adjusted.back(), (std::vector<int>{1, -2, 1}));
}

// ---- Copying.

std::string Block(uint32_t format) {
    HANDLE h = GetClipboardData(format);
    if (!h) return std::string();
    auto block = static_cast<HGLOBAL>(h);
    const char* p = static_cast<const char*>(GlobalLock(block));
    std::string s(p, GlobalSize(block));
    GlobalUnlock(block);
    return s;
}

void EmptyClipboardForTest() {
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
}

class CopyTest : public SelectionTest {
protected:
    std::string Clip(uint32_t format) {
        EXPECT_TRUE(OpenClipboard(nullptr));
        std::string s = Block(format);
        CloseClipboard();
        return s;
    }
    uint32_t RvfFormat() { return RegisterClipboardFormatA("RichView Format"); }
};

TEST_F(CopyTest, CtrlCPutsTheRvfTextAndRtfBlocksOfTheSelection) {
    View->AppendTextParagraph("first line", 0, 0);
    View->AppendTextParagraph("link", 1, 0);
    View->AppendTextParagraph("last", 0, 0);
    Show();
    View->SetFocus();
    View->SetSelection(0, 7, 2, 3);
    testing::PressKey('C', TShiftState{ssCtrl});
    TMemoryStream rvf;
    View->RVData()->SaveToRvfStream(rvf, true, View->EffectiveColor(),
                                    View->Background()->GetStyle(), View->Background()->Picture());
    const std::string block = Clip(RvfFormat());
    ASSERT_EQ(block.size(), size_t(rvf.Size()) + 4);
    int32_t n;
    std::memcpy(&n, block.data(), 4);
    EXPECT_EQ(n, rvf.Size());
    EXPECT_EQ(block.substr(4), rvf.DataString());
    TMemoryStream rtf;
    View->RVData()->WriteRtfToStream(rtf, true, View->EffectiveColor());
    EXPECT_EQ(Clip(RegisterClipboardFormatA("Rich Text Format")), rtf.DataString());
    EXPECT_EQ(testing::ClipboardText(), View->GetSelText());
    EXPECT_EQ(View->GetSelText().substr(0, 4), "line");
    EXPECT_FALSE(IsClipboardOpen());

    // The RVF block read into another viewer gives the same items.
    auto* other = new TRichView(Form);
    other->SetParent(Form);
    other->SetStyle(Style);
    TMemoryStream in;
    in.Write(block.data() + 4, n);
    in.SetPosition(0);
    ASSERT_TRUE(other->InsertRvfStreamAt(in, 0));
    ASSERT_EQ(other->GetItemCount(), 3);
    const char* texts[] = {"line", "link", "la"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(other->RVData()->GetItemText(i), texts[i]);
        EXPECT_EQ(other->GetItemStyleNo(i), View->GetItemStyleNo(i));
        EXPECT_EQ(other->ItemStartsParagraph(i), View->ItemStartsParagraph(i));
    }

    // Ctrl+Insert and WM_COPY copy as well.
    EmptyClipboardForTest();
    testing::PressKey(VK_INSERT, TShiftState{ssCtrl});
    EXPECT_EQ(Clip(RvfFormat()), block);
    EmptyClipboardForTest();
    View->Perform(WM_COPY, 0, 0);
    EXPECT_EQ(Clip(RvfFormat()), block);
}

TEST_F(CopyTest, UnicodeBlockIsTwoBytesPerCharacterAndAZeroTerminator) {
    View->Options.Include(TRVOption::rvoAutoCopyUnicodeText);
    View->AppendTextParagraph("abcdef", 0, 0);
    Show();
    View->SetSelection(0, 2, 0, 5);
    View->CopyToClipboard();
    const std::string u = Clip(CF_UNICODETEXT);
    ASSERT_EQ(u.size(), 2u * 3 + 2);
    EXPECT_EQ(u, std::string("b\0c\0d\0\0\0", 8));
}

TEST_F(CopyTest, NothingSelectedLeavesTheClipboardAlone) {
    View->AppendTextParagraph("abc", 0, 0);
    Show();
    const DWORD seq = GetClipboardSequenceNumber();
    View->CopyToClipboard();
    View->SetSelection(0, 2, 0, 2);
    View->CopyToClipboard();
    EXPECT_EQ(GetClipboardSequenceNumber(), seq);
}

TEST_F(CopyTest, OnePictureGoesAsAPictureBesidesTheText) {
    View->AppendPicture("pic", std::make_unique<TBitmap>(8, 8, pf24bit), 0);
    Show();
    View->SetSelection(0, 0, 0, 1);
    View->CopyToClipboard();
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_TRUE(IsClipboardFormatAvailable(RvfFormat()));
}

TEST_F(CopyTest, FailingAllocationClosesTheClipboardAndKeepsEarlierFormats) {
    View->Options = TRVOptions{TRVOption::rvoAllowSelection, TRVOption::rvoAutoCopyRVF,
                               TRVOption::rvoAutoCopyUnicodeText};
    View->AppendTextParagraph("abcdef", 0, 0);
    Show();
    View->SetSelection(0, 2, 0, 5);
    Context.SetGlobalAllocFailureAfter(1);
    try {
        View->CopyToClipboard();
        ADD_FAILURE() << "no error";
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "No memory");
    }
    Context.SetGlobalAllocFailureAfter(-1);
    EXPECT_FALSE(IsClipboardOpen());
    EXPECT_TRUE(IsClipboardFormatAvailable(RvfFormat()));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

} // namespace
} // namespace epc
