// The viewer as a reader meets it, through window messages: scrolling over numbered answers
// repaints what a full repaint paints, Tab walks past embedded controls in document order,
// the focus frame shows at once when focusing scrolls, and selections never end on a list
// marker.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/controls/StdCtrls.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc {
namespace {

constexpr const char* kFixed = "Fixed Metrics Test"; // 10 x 20 pixel cells at 15 points

class ViewerReadingTest : public ::testing::Test {
protected:
    TPlatformContext Context;
    void SetUp() override {
        Form = test::NewTestForm();
        Style = new TRVStyle(Form);
        TFontInfo& f = Style->TextStyles[0];
        f.FontName = kFixed;
        f.Size = 15;
        f.Color = clBlack;
        Style->Color = clWhite;
        View = new TRichView(Form);
        View->SetParent(Form);
        View->SetBounds(10, 10, 300, 200);
        View->SetBorderStyle(bsNone);
        View->SetStyle(Style);
    }
    void Show() {
        testing::ShowForm(Form);
        View->Format();
        testing::Pump();
    }
    // A numbered list whose markers are smaller than their text: the marker, which starts the
    // line, lies lower than the text beside it.
    void AddSmallMarkerList() {
        TRVListLevel& level = Style->ListStyles.Add().AddLevel();
        level.ListType = TRVListType::rvlstDecimal;
        level.FormatString = "%0:s.";
        level.Font.FontName = kFixed;
        level.Font.Size = 8;
        level.LeftIndent = 30;
        level.MarkerIndent = 0;
    }
    int PixelsUnlikeAFullRepaint() { return test::PixelsUnlikeAFullRepaint(View); }
    // Whether the dotted focus frame shows on the row just above an item's drawing item or on
    // the column just left of it (the frame lies one pixel outside it).
    bool Framed(int itemNo) {
        int x = 0, y = 0;
        if (!View->GetItemClientCoords(itemNo, x, y)) return false;
        const TRVDrawLineInfo* d =
            View->RVData()->DrawItems[View->RVData()->GetFirstDrawItemNo(itemNo)];
        const COLORREF white = COLORREF(ColorToRGB(clWhite));
        auto inked = [&](int px, int py) {
            return px >= 0 && py >= 0 && px < View->ClientWidth() && py < View->ClientHeight() &&
                   testing::PixelAt(View, px, py) != white;
        };
        for (int i = x; i < x + d->Width; ++i)
            if (inked(i, y - 1)) return true;
        for (int j = y; j < y + d->Height; ++j)
            if (inked(x - 1, j)) return true;
        return false;
    }
    static std::unique_ptr<TGraphic> Block(int width, int height) {
        auto bmp = std::make_unique<TBitmap>(width, height, pf24bit);
        bmp->Canvas()->Brush()->SetColor(clGreen);
        bmp->Canvas()->FillRect(TRect(0, 0, width, height));
        return bmp;
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichView* View = nullptr;
};

TEST_F(ViewerReadingTest, ScrollingUpOverNumberedAnswersPaintsWhatAFullRepaintPaints) {
    AddSmallMarkerList();
    for (int i = 0; i < 30; ++i) {
        View->AppendTextParagraph("answer text", 0, 0);
        View->ApplyParagraphMarker(View->GetItemCount() - 1, 0, 0, 1, false);
    }
    Show();
    const TRVDrawLines& lines = View->RVData()->DrawItems;
    ASSERT_EQ(View->GetItemStyleNo(lines[0]->ItemNo), rvsListMarker);
    ASSERT_GT(lines[0]->Top, lines[1]->Top);
    SendMessage(View->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    // One step at a time, so that the edge of the newly shown rows falls everywhere in a line.
    for (int step = 0; step < 45; ++step) {
        SendMessage(View->Handle(), WM_VSCROLL, SB_LINEUP, 0);
        ASSERT_EQ(PixelsUnlikeAFullRepaint(), 0) << "at " << View->VScrollPos();
    }
}

TEST_F(ViewerReadingTest, TabGoesOnFromAnEmbeddedControlInDocumentOrderAndThenToTheForm) {
    View->AppendTextParagraph("go", 0, 0);
    View->RVData()->AddHotPicture("first", Block(10, 10), -1, TRVVAlign::rvvaBaseline); // 1
    View->AppendTextParagraph("fill in", 0, 0);
    auto* edit = new TEdit(nullptr);
    edit->SetBounds(0, 0, 60, 20);
    View->RVData()->AddControlItem("edit", TRVComponentPtr(edit), -1, TRVVAlign::rvvaBaseline);
    View->AppendTextParagraph("and", 0, 0);
    View->RVData()->AddHotPicture("second", Block(10, 10), -1, TRVVAlign::rvvaBaseline); // 5
    auto* next = new TEdit(Form);
    next->SetParent(Form);
    next->SetBounds(10, 250, 100, 20);
    Show();
    TRichViewRVData* data = View->RVData();
    View->SetFocus();
    testing::PressKey(VK_TAB);
    EXPECT_EQ(data->FocusedItemNo, 1);
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(edit->Focused());
    // Back from the viewer's own control: the hotspot after it, not the first one again.
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(data->FocusedItemNo, 5);
    EXPECT_TRUE(Framed(5));
    EXPECT_FALSE(Framed(1));
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(data->FocusedItemNo, -1);
    // And backwards: from outside the last hotspot, then the control, then the one before it,
    // then out of the viewer to the form's previous control.
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(data->FocusedItemNo, 5);
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_TRUE(edit->Focused());
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(data->FocusedItemNo, 1);
    EXPECT_TRUE(Framed(1));
    EXPECT_FALSE(Framed(5));
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
}

// Focusing a hotspot that lies partly outside the view scrolls it in; its frame is on the
// screen at once, exactly where a full repaint draws it.
TEST_F(ViewerReadingTest, AFocusThatScrollsShowsTheFocusFrameAtOnce) {
    View->RVData()->AddHotPicture("top", Block(10, 10), 0, TRVVAlign::rvvaBaseline); // 0
    for (int i = 0; i < 8; ++i)
        View->AppendTextParagraph("line", 0, 0);
    View->RVData()->AddHotPicture("low", Block(10, 40), 0, TRVVAlign::rvvaBaseline); // 9
    for (int i = 0; i < 8; ++i)
        View->AppendTextParagraph("line", 0, 0);
    auto* next = new TEdit(Form);
    next->SetParent(Form);
    next->SetBounds(10, 250, 100, 20);
    Show();
    int x = 0, y = 0;
    ASSERT_TRUE(View->GetItemClientCoords(9, x, y));
    ASSERT_LT(y, View->ClientHeight());
    ASSERT_GT(y + 40, View->ClientHeight());
    // Shift+Tab from the form's other control: the last hotspot, half below the bottom edge.
    next->SetFocus();
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    ASSERT_TRUE(View->Focused());
    ASSERT_EQ(View->RVData()->FocusedItemNo, 9);
    ASSERT_GT(View->VScrollPos(), 0);
    EXPECT_TRUE(Framed(9));
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
    // Back to the first one, now above the top edge.
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    ASSERT_EQ(View->RVData()->FocusedItemNo, 0);
    EXPECT_TRUE(Framed(0));
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
    // Forwards again, scrolling down.
    testing::PressKey(VK_TAB);
    ASSERT_EQ(View->RVData()->FocusedItemNo, 9);
    EXPECT_TRUE(Framed(9));
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
    // Scrolled by one line step and by odd pixel counts, the frame moves with the hotspot
    // (its dots are fixed to the window, so it is drawn again there), and the next focus move
    // takes it away whole.
    for (int pos : {View->VScrollPos() - 1, View->VScrollPos() - 4, View->VScrollPos() - 7}) {
        SendMessage(View->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
        EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0) << pos;
    }
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
    testing::PressKey(VK_TAB); // out to the form's other control
    ASSERT_TRUE(next->Focused());
    EXPECT_FALSE(Framed(9));
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
}

TEST_F(ViewerReadingTest, SetSelectionWithAnEndOnAListMarkerEndsAtTheFollowingItem) {
    AddSmallMarkerList();
    View->AppendTextParagraph("first", 0, 0);
    View->AppendTextParagraph("second", 0, 0);
    View->ApplyParagraphMarker(1, 0, 0, 1, false); // 0 "first", 1 marker, 2 "second"
    Show();
    ASSERT_EQ(View->GetItemStyleNo(1), rvsListMarker);
    View->SetSelection(0, 2, 1, 0);
    int si, so, ei, eo;
    View->RVData()->GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(std::to_string(si) + ":" + std::to_string(so) + "-" + std::to_string(ei) + ":" +
                  std::to_string(eo),
              "0:2-2:1");
    // A start on the marker moves the same way.
    View->SetSelection(1, 0, 2, 3);
    View->RVData()->GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(si, 2);
    EXPECT_EQ(so, 1);
    EXPECT_EQ(View->GetSelText(), "se");
    EXPECT_EQ(PixelsUnlikeAFullRepaint(), 0);
}

} // namespace
} // namespace epc
