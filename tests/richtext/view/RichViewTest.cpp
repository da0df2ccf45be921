#include "richtext/view/RichView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/context/PlatformContext.h"
#include "platform/controls/ExtCtrls.h"
#include "platform/controls/Forms.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/RVRVData.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc {
namespace {

// The built-in fixed-metric face at 15 points: cells 10 x 20 pixels, ascent 16; a glyph is a
// solid box over x 1..8 and rows 1..15 of its cell.
constexpr const char* kFixed = "Fixed Metrics Test";

class RichViewTest : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Form = test::NewTestForm();
        Style = new TRVStyle(Form);
        TFontInfo& f = Style->TextStyles[0];
        f.FontName = kFixed;
        f.Size = 15;
        f.Color = clBlack;
        Style->Color = clWhite;
        Style->InactiveSelColor = clGray;
        Style->SelColor = clNavy;
        View = new TRichView(Form);
        View->SetName("rvQuestion");
        View->SetParent(Form);
        View->SetBounds(10, 10, 300, 200);
        View->SetBorderStyle(bsNone);
        View->SetStyle(Style);
    }

    void Show() {
        View->SetStyle(Style);
        testing::ShowForm(Form);
        View->Format();
        testing::Pump();
    }
    TColor At(int x, int y) { return TColor(testing::PixelAt(View, x, y)); }
    static TColor Rgb(TColor c) { return TColor(ColorToRGB(c)); }
    // The text cell at a client point shows a glyph in the colour (the box's middle) on the
    // background (the cell's first column).
    void ExpectGlyph(int cellX, int cellY, TColor text, TColor back) {
        EXPECT_EQ(At(cellX + 4, cellY + 8), Rgb(text)) << cellX << "," << cellY;
        EXPECT_EQ(At(cellX, cellY + 8), Rgb(back)) << cellX << "," << cellY;
    }
    void AddLines(int count) {
        for (int i = 0; i < count; ++i)
            View->AppendTextParagraph("line", 0, 0);
    }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichView* View = nullptr;
};

TEST_F(RichViewTest, NewViewerHasItsDefaults) {
    auto* rv = new TRichView(Form);
    EXPECT_EQ(rv->Options.Bits(), 32421u);
    EXPECT_EQ(rv->RVFOptions.Bits(), 67u);
    EXPECT_EQ(rv->RTFOptions.Bits(), 14u);
    EXPECT_EQ(rv->Flags.Bits(), 0x010Bu);
    EXPECT_EQ(rv->LeftMargin + rv->RightMargin + rv->TopMargin + rv->BottomMargin, 20);
    EXPECT_EQ(rv->MinTextWidth, 0);
    EXPECT_EQ(rv->MaxTextWidth, 0);
    EXPECT_EQ(rv->BorderStyle(), bsSingle);
    EXPECT_EQ(rv->Width(), 100);
    EXPECT_EQ(rv->Height(), 40);
    EXPECT_EQ(rv->Color(), clNone);
    EXPECT_EQ(rv->Cursor(), 0);
    EXPECT_EQ(rv->Style(), nullptr);
    EXPECT_EQ(rv->Delimiters, std::u16string(u" .;,:(){}\"/\\"));
    EXPECT_EQ(rv->BackgroundStyle(), TBackgroundStyle::bsNoBitmap);
    EXPECT_EQ(rv->GetBiDiMode(), TRVBiDiMode::rvbdUnspecified);
    EXPECT_EQ(rv->TabNavigation(), TRVTabNavigationType::rvtnTab);
    EXPECT_EQ(rv->DoInPaletteMode(), TRVPaletteAction::rvpaCreateCopies);
    EXPECT_EQ(rv->RVFTextStylesReadMode, TRVFReaderStyleMode::rvf_sInsertMerge);
    EXPECT_EQ(rv->RVFParaStylesReadMode, TRVFReaderStyleMode::rvf_sInsertMerge);
    EXPECT_EQ(rv->CPEventKind, TCPEventKind::cpeNone);
    EXPECT_TRUE(rv->Tracking());
    EXPECT_TRUE(rv->VScrollVisible());
    EXPECT_TRUE(rv->HScrollVisible());
    EXPECT_TRUE(rv->UseXPThemes());
    EXPECT_TRUE(rv->TabStop());
    EXPECT_TRUE(rv->AllowSelection());
    EXPECT_FALSE(rv->SingleClick());
    EXPECT_EQ(rv->WheelStep(), 2);
    EXPECT_EQ(rv->FirstJumpNo(), 0);
    EXPECT_EQ(rv->VSmallStep(), 1);
    EXPECT_FALSE(rv->HasRTFReadProperties());
    EXPECT_NE(rv->GetRTFReadProperties(), nullptr);
    EXPECT_TRUE(rv->HasRTFReadProperties());
    EXPECT_STREQ(rv->RVData()->ClassName().c_str(), "TRichViewRVData");
}

TEST_F(RichViewTest, WithoutStyleSheetPaintsTheMessageInsteadOfTheDocument) {
    View->SetStyle(nullptr);
    View->AppendTextParagraph("text", 0, 0);
    testing::ShowForm(Form);
    View->Format();
    testing::Pump();
    // The message's first line is drawn at the top left on the window colour.
    bool text = false;
    for (int x = 0; x < 100 && !text; ++x)
        for (int y = 0; y < 12 && !text; ++y)
            text = At(x, y) != Rgb(clWindow);
    EXPECT_TRUE(text);
    EXPECT_EQ(At(150, 150), Rgb(clWindow)) << View->ClientWidth() << "x" << View->ClientHeight();
    // Nothing to scroll: no bars.
    EXPECT_FALSE(IsScrollBarVisible(View->Handle(), SB_VERT));
    EXPECT_FALSE(IsScrollBarVisible(View->Handle(), SB_HORZ));
    // Once the sheet is there, the document is painted instead.
    Show();
    ExpectGlyph(5, 5, clBlack, clWhite);
}

TEST_F(RichViewTest, PaintErrorShowsTheErrorTextAndTheNextPaintTriesAgain) {
    View->AppendTextParagraph("text", 0, 0);
    Style->ParaStyles[0].Background.Color = clYellow;
    bool fail = true;
    Style->OnDrawStyleText = [&](TRVStyle*, const std::string&, TCanvas*, int, int, int, int, int,
                                 int, TCustomRVData*, TRVTextDrawStates, bool, bool, TRVColorMode,
                                 bool&) {
        if (fail) throw std::runtime_error("boom");
    };
    Show();
    // The background painted before the failure stays; "Error:boom" is written in red on
    // white at the top left.
    bool red = false;
    for (int x = 0; x < 80 && !red; ++x)
        for (int y = 0; y < 16 && !red; ++y)
            red = At(x, y) == TColor(255);
    EXPECT_TRUE(red);
    EXPECT_EQ(At(200, 10), clYellow);
    fail = false;
    View->Invalidate();
    testing::Pump();
    ExpectGlyph(5, 5, clBlack, clYellow);
    EXPECT_NE(At(1, 1), TColor(255));
}

TEST_F(RichViewTest, TextBackgroundBorderPictureAndMarkerWhereTheLayoutPutsThem) {
    TParaInfo& boxed = Style->ParaStyles.Add(); // 1
    boxed.Background.Color = clYellow;
    boxed.Border.Style = TRVBorderStyle::rvbSingle;
    boxed.Border.Color = clBlue;
    boxed.LeftIndent = 10;
    TRVListInfo& list = Style->ListStyles.Add();
    TRVListLevel& level = list.AddLevel();
    level.ListType = TRVListType::rvlstDecimal;
    level.FormatString = "%0:s.";
    level.Font.FontName = kFixed;
    level.Font.Size = 15;
    level.Font.Color = clRed;
    level.LeftIndent = 40;
    level.MarkerIndent = 0;
    View->AppendTextParagraph("AB", 0, 0); // y 5
    View->AppendTextParagraph("CD", 0, 1); // y 25, boxed
    auto pic = std::make_unique<TBitmap>(20, 10, pf24bit);
    pic->Canvas()->Brush()->SetColor(clGreen);
    pic->Canvas()->FillRect(TRect(0, 0, 20, 10));
    View->AppendPicture("pic", std::move(pic), 0); // y 45
    View->AppendTextParagraph("item", 0, 0);       // y 57, list paragraph
    View->ApplyParagraphMarker(3, 0, 0, 1, false);
    Show();
    ExpectGlyph(5, 5, clBlack, clWhite);
    ExpectGlyph(15, 5, clBlack, clWhite);
    EXPECT_EQ(At(30, 13), clWhite);
    // The boxed paragraph: its text after the left indent, the yellow background up to the
    // right margin, the blue border around it.
    ExpectGlyph(25, 25, clBlack, clYellow);
    EXPECT_EQ(At(200, 33), clYellow);
    EXPECT_EQ(At(15, 33), clBlue);
    EXPECT_EQ(At(294, 33), clBlue);
    EXPECT_EQ(At(100, 25), clBlue);
    EXPECT_EQ(At(100, 44), clBlue);
    EXPECT_EQ(At(10, 33), clWhite);
    std::string name;
    TGraphic* graphic = nullptr;
    TRVVAlign vAlign = TRVVAlign::rvvaMiddle;
    TRVTag tag;
    View->GetPictureItemInfo(2, name, graphic, vAlign, tag);
    EXPECT_EQ(name, "pic");
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->Width(), 20);
    EXPECT_EQ(vAlign, TRVVAlign::rvvaBaseline);
    EXPECT_THROW(View->GetPictureItemInfo(0, name, graphic, vAlign, tag), ERichViewError);
    // The picture inside its one-pixel spacing.
    EXPECT_EQ(At(6, 46), clGreen);
    EXPECT_EQ(At(25, 55), clGreen);
    EXPECT_EQ(At(5, 46), clWhite);
    // The marker "1." in its level's red at the marker indent, the text at the left indent.
    int y = 0, x = 0;
    ASSERT_TRUE(View->GetItemClientCoords(4, x, y));
    EXPECT_EQ(x, 45);
    ExpectGlyph(5, y, clRed, clWhite);
    ExpectGlyph(15, y, clRed, clWhite);
    EXPECT_EQ(At(29, y + 8), clWhite);
    ExpectGlyph(45, y, clBlack, clWhite);
}

TEST_F(RichViewTest, PartialSelectionIsDrawnInTheFocusedOrUnfocusedColours) {
    View->AppendTextParagraph("ABCDEF", 0, 0);
    Show();
    View->SetFocus();
    View->SetSelection(0, 2, 0, 4); // B and C
    testing::Pump();
    ExpectGlyph(5, 5, clBlack, clWhite);
    ExpectGlyph(15, 5, Style->SelTextColor, clNavy);
    ExpectGlyph(25, 5, Style->SelTextColor, clNavy);
    ExpectGlyph(35, 5, clBlack, clWhite);
    // The focus goes: the selection is redrawn in the unfocused colours.
    epc::SetFocus(nullptr);
    testing::Pump();
    ExpectGlyph(15, 5, Style->InactiveSelTextColor, clGray);
    ExpectGlyph(25, 5, Style->InactiveSelTextColor, clGray);
    ExpectGlyph(35, 5, clBlack, clWhite);
    // An end offset of 1 in an item selects nothing of it.
    View->SetSelection(0, 1, 0, 1);
    testing::Pump();
    ExpectGlyph(5, 5, clBlack, clWhite);
    ExpectGlyph(15, 5, clBlack, clWhite);
}

TEST_F(RichViewTest, ScrollingByBarMessagesKeysAndWheelMovesByItsSteps) {
    AddLines(100); // 100 lines of 20 pixels
    Show();
    const int page = View->ClientHeight() / View->VSmallStep();
    EXPECT_EQ(View->VSmallStep(), 1);
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(View->VScrollPos(), 1);
    SendMessage(View->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(View->VScrollPos(), 1 + page);
    SendMessage(View->Handle(), WM_VSCROLL, SB_PAGEUP, 0);
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(View->VScrollPos(), 0);
    SendMessage(View->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), 0);
    EXPECT_EQ(View->VScrollPos(), 40);
    testing::Pump();
    // Scrolled by two lines: the third line's glyph is where the first one was.
    ExpectGlyph(5, 5 - 40 + 40, clBlack, clWhite);
    View->SetFocus();
    testing::PressKey(VK_HOME);
    EXPECT_EQ(View->VScrollPos(), 0);
    testing::PressKey(VK_DOWN);
    EXPECT_EQ(View->VScrollPos(), 1);
    testing::PressKey(VK_NEXT);
    EXPECT_EQ(View->VScrollPos(), 1 + page);
    testing::PressKey(VK_PRIOR);
    EXPECT_EQ(View->VScrollPos(), 1);
    testing::PressKey(VK_END);
    const int docSteps = View->RVData()->DocumentHeight;
    EXPECT_EQ(View->VScrollPos(), docSteps - page);
    testing::PressKey(VK_UP);
    EXPECT_EQ(View->VScrollPos(), docSteps - page - 1);
    testing::Wheel(View, 1, 20, 20);
    EXPECT_EQ(View->VScrollPos(), docSteps - page - 3);
    testing::Wheel(View, -1, 20, 20);
    EXPECT_EQ(View->VScrollPos(), docSteps - page - 1);
    // Without the bar the keys still scroll.
    View->SetVScrollVisible(false);
    testing::PressKey(VK_HOME);
    EXPECT_EQ(View->VScrollPos(), 0);
    testing::PressKey(VK_NEXT);
    EXPECT_EQ(View->VScrollPos(), page);
}

TEST_F(RichViewTest, ShortDocumentNeverScrolls) {
    AddLines(2);
    Show();
    SendMessage(View->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessage(View->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    View->SetFocus();
    testing::PressKey(VK_END);
    testing::Wheel(View, -3, 20, 20);
    EXPECT_EQ(View->VScrollPos(), 0);
    ExpectGlyph(5, 5, clBlack, clWhite);
}

TEST_F(RichViewTest, ScrollStepFollowsTheDocumentHeight) {
    Show();
    View->SetVSmallStep(0);
    EXPECT_EQ(View->VSmallStep(), 1);
    TRichViewRVData* data = View->RVData();
    data->DocumentHeight = 400000;
    data->AdjustVScrollUnits();
    EXPECT_EQ(View->VSmallStep(), 13);
    // A step that would give more than 32000 steps is refused.
    View->SetVSmallStep(12);
    EXPECT_EQ(View->VSmallStep(), 13);
    data->DocumentHeight = 300;
    View->SetVSmallStep(20);
    data->AdjustVScrollUnits();
    EXPECT_EQ(View->VSmallStep(), 10);
    View->SetVSmallStep(4);
    data->AdjustVScrollUnits();
    EXPECT_EQ(View->VSmallStep(), 4);
}

TEST_F(RichViewTest, EmbeddedControlsFarOffScreenComeBackExactlyAndKeepTheirTag) {
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 30, 20);
    panel->SetTag(77);
    AddLines(1);
    View->RVData()->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    Show();
    const int top = panel->Top();
    View->MoveEmbeddedControls(0, -15000);
    EXPECT_EQ(panel->Top(), -10000);
    View->MoveEmbeddedControls(0, -5000);
    EXPECT_EQ(panel->Top(), -10000);
    View->MoveEmbeddedControls(0, 20000);
    EXPECT_EQ(panel->Top(), top);
    EXPECT_EQ(panel->Tag(), 77);
    View->MoveEmbeddedControls(0, 12000);
    EXPECT_EQ(panel->Top(), 10000);
    View->MoveEmbeddedControls(0, -12000);
    EXPECT_EQ(panel->Top(), top);
}

// The item of an embedded control answers where it sits and is remembered until it goes.
TEST_F(RichViewTest, AskedControlItemIsRememberedUntilItGoes) {
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 30, 20);
    AddLines(2);
    View->RVData()->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    Show();
    TRichViewRVData* data = View->RVData();
    const TRVDrawLineInfo* d = data->DrawItems[data->GetFirstDrawItemNo(2)];
    // The mouse over the control's border spacing: its drawing item is the one under it.
    testing::MoveMouse(View, d->Left, d->Top);
    int left = -1, top = -1;
    ASSERT_TRUE(data->GetControlItemCoords(2, left, top));
    EXPECT_EQ(left, d->Left);
    EXPECT_EQ(top, d->Top);
    EXPECT_EQ(data->RememberedControlItem(), data->GetItem(2));
    EXPECT_FALSE(data->GetControlItemCoords(3, left, top));
    // Items before it go: it stays remembered; then it goes itself and is forgotten.
    data->DeleteItemRange(0, 1);
    EXPECT_EQ(data->RememberedControlItem(), data->GetItem(1));
    data->DeleteItemRange(1, 1);
    EXPECT_EQ(data->RememberedControlItem(), nullptr);
}

TEST_F(RichViewTest, HeldMouseBelowTheViewScrollsByTimerTicks) {
    AddLines(100);
    Show();
    testing::MouseDown(View, 50, 50);
    EXPECT_TRUE(View->AutoScrollTimerRunning());
    testing::MoveMouse(View, 50, View->ClientHeight() + 30);
    EXPECT_EQ(View->AutoScrollDY(), 10);
    testing::Wait(100);
    EXPECT_EQ(View->VScrollPos(), 10);
    testing::MoveMouse(View, 50, View->ClientHeight() + 10);
    EXPECT_EQ(View->AutoScrollDY(), 1);
    testing::Wait(100);
    EXPECT_EQ(View->VScrollPos(), 11);
    testing::MoveMouse(View, 50, -30);
    EXPECT_EQ(View->AutoScrollDY(), -10);
    testing::MouseUp(View, 50, -30);
    EXPECT_FALSE(View->AutoScrollTimerRunning());
    testing::Wait(300);
    EXPECT_EQ(View->VScrollPos(), 11);
}

TEST_F(RichViewTest, PostedEventsRunTheViewersHandlers) {
    Show();
    int jumped = -1;
    View->OnJump = [&](TObject*, int id) { jumped = id; };
    auto data = std::make_unique<TRVJumpMessageData>();
    data->Id = 5;
    PostMessage(View->Handle(), WM_RVEVENT, 0, reinterpret_cast<LPARAM>(data.release()),
                [](WPARAM, LPARAM l) {
                    std::unique_ptr<TRVMessageData> undelivered(
                        reinterpret_cast<TRVMessageData*>(l));
                });
    EXPECT_EQ(jumped, -1);
    testing::Pump();
    EXPECT_EQ(jumped, 5);
    EXPECT_EQ(WM_RVEVENT, 1039u);
}

TEST_F(RichViewTest, RvfRoundTripCarriesItemsLayoutAndColor) {
    View->LeftMargin = 12;
    View->MaxTextWidth = 250;
    View->SetColor(clCream);
    for (TRVFOption o : {TRVFOption::rvfoSaveLayout, TRVFOption::rvfoLoadLayout,
                         TRVFOption::rvfoSaveBack, TRVFOption::rvfoLoadBack})
        View->RVFOptions.Include(o);
    AddLines(3);
    Show();
    TMemoryStream stream;
    View->WriteRvfStream(stream, false);
    auto* other = new TRichView(Form);
    other->SetParent(Form);
    other->SetStyle(Style);
    other->RVFOptions = View->RVFOptions;
    stream.SetPosition(0);
    ASSERT_TRUE(other->ReadRvfStream(stream));
    EXPECT_EQ(other->GetItemCount(), 3);
    EXPECT_EQ(other->LeftMargin, 12);
    EXPECT_EQ(other->MaxTextWidth, 250);
    EXPECT_EQ(other->Color(), clCream);
    // Garbage is refused without a crash.
    TMemoryStream bad;
    bad.WriteBuffer("-9 9 zz\r\n", 9);
    bad.SetPosition(0);
    EXPECT_FALSE(other->ReadRvfStream(bad));
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(RichViewTest, DraggingTheMouseSelectsAndPaintsTheSelectedCharacters) {
    View->AppendTextParagraph("ABCDEF", 0, 0);
    View->AppendTextParagraph("GHIJ", 0, 0);
    Show();
    // From the left edge of B to the left edge of D: B and C.
    testing::DragMouse(View, TPoint(16, 10), TPoint(36, 12));
    EXPECT_TRUE(View->HasSelection());
    ExpectGlyph(5, 5, clBlack, clWhite);
    ExpectGlyph(15, 5, Style->SelTextColor, clNavy);
    ExpectGlyph(25, 5, Style->SelTextColor, clNavy);
    ExpectGlyph(35, 5, clBlack, clWhite);
    // Shift and a click extend it from its old start into the next line.
    testing::Click(View, 26, 30, mbLeft, TShiftState{ssShift});
    ExpectGlyph(5, 5, clBlack, clWhite);
    ExpectGlyph(55, 5, Style->SelTextColor, clNavy);
    ExpectGlyph(5, 25, Style->SelTextColor, clNavy);
    ExpectGlyph(15, 25, Style->SelTextColor, clNavy);
    ExpectGlyph(25, 25, clBlack, clWhite);
    // A plain click collapses it.
    testing::Click(View, 46, 10);
    EXPECT_FALSE(View->HasSelection());
    ExpectGlyph(15, 5, clBlack, clWhite);
}

std::unique_ptr<TGraphic> Square(TColor color) {
    auto bmp = std::make_unique<TBitmap>(10, 10, pf24bit);
    bmp->Canvas()->Brush()->SetColor(color);
    bmp->Canvas()->FillRect(TRect(0, 0, 10, 10));
    return bmp;
}

TEST_F(RichViewTest, TabMovesTheFocusFrameAmongHotspotsAndThenToTheNextControl) {
    View->AppendTextParagraph("go", 0, 0);
    View->RVData()->AddHotPicture("first", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    View->AppendTextParagraph("and", 0, 0);
    View->RVData()->AddHotPicture("second", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    auto* next = new TRichView(Form);
    next->SetParent(Form);
    next->SetBounds(10, 220, 100, 40);
    Show();
    View->SetFocus();
    ASSERT_TRUE(View->Focused());
    TRichViewRVData* data = View->RVData();
    EXPECT_EQ(data->FocusedItemNo, -1);
    testing::PressKey(VK_TAB);
    EXPECT_EQ(data->FocusedItemNo, 1);
    EXPECT_TRUE(View->Focused());
    // The dotted frame lies one pixel outside the picture's drawing item.
    int x = 0, y = 0;
    ASSERT_TRUE(View->GetItemClientCoords(1, x, y));
    bool framed = false;
    for (int i = x - 1; i <= x + 12 && !framed; ++i)
        framed = At(i, y - 1) != Rgb(clWhite);
    EXPECT_TRUE(framed);
    testing::PressKey(VK_TAB);
    EXPECT_EQ(data->FocusedItemNo, 3);
    testing::Pump();
    // The frame left the first hotspot (drawn twice is gone).
    for (int i = x - 1; i <= x + 12; ++i)
        EXPECT_EQ(At(i, y - 1), Rgb(clWhite)) << i;
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_EQ(data->FocusedItemNo, 1);
    testing::PressKey(VK_TAB);
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(next->Focused());
    EXPECT_EQ(data->FocusedItemNo, -1);
    // Coming back from the other control with Shift+Tab gives the focus to the last hotspot.
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(data->FocusedItemNo, 3);
    // Focus taken away and given back by the mouse: no hotspot keeps it.
    testing::Click(next, 50, 20);
    ASSERT_TRUE(next->Focused());
    EXPECT_EQ(data->FocusedItemNo, 3);
    testing::Click(View, 5, 5);
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(data->FocusedItemNo, -1);
    // Left by the mouse with a hotspot focused, entered again by Tab: the first one takes it.
    testing::PressKey(VK_TAB);
    testing::PressKey(VK_TAB);
    ASSERT_EQ(data->FocusedItemNo, 3);
    testing::Click(next, 50, 20);
    testing::PressKey(VK_TAB);
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(data->FocusedItemNo, 1);
}

// ---- Scrolling: checkpoints, hover, bounds ---------------------------------------------------

class ScrolledViewTest : public RichViewTest {
protected:
    void SetUp() override {
        RichViewTest::SetUp();
        TFontInfo& link = Style->TextStyles.Add(); // 1: a hyperlink with a hover look
        link.FontName = kFixed;
        link.Size = 15;
        link.Jump = true;
        link.HoverColor = clRed;
        View->OnCheckpointVisible = [this](TCustomRichView*, TRVCPInfo* cp) { Seen.push_back(cp); };
    }
    void ScrollTo(int pos) {
        SendMessage(View->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
    }
    // Line I of 20-pixel lines starts at the top margin (5) + 20 I.
    TRVCPInfo* CheckpointAt(int itemNo) {
        return View->RVData()->SetCheckpointInfo(itemNo, "cp" + std::to_string(itemNo), TRVTag(),
                                                 true);
    }
    std::vector<TRVCPInfo*> Seen;
};

TEST_F(ScrolledViewTest, WhenVisibleReportsTheCheckpointInViewAndNoneWhenTheNextLiesBelow) {
    AddLines(100);
    TRVCPInfo* cp20 = CheckpointAt(20); // y 405
    TRVCPInfo* cp40 = CheckpointAt(40); // y 805
    View->RVData()->SetCheckpointInfo(30, "quiet", TRVTag(), false);
    View->CPEventKind = TCPEventKind::cpeWhenVisible;
    Show();
    const int h = View->ClientHeight();
    ASSERT_EQ(View->VSmallStep(), 1);
    ScrollTo(405 - h + 1); // cp20's top on the last visible row
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen.back(), cp20);
    ScrollTo(405); // at the visible top it still counts
    EXPECT_EQ(Seen.size(), 1u);
    ScrollTo(406); // the next raise-event checkpoint lies below the view
    ASSERT_EQ(Seen.size(), 2u);
    EXPECT_EQ(Seen.back(), nullptr);
    ScrollTo(805 - h); // cp40 just below the last visible row
    EXPECT_EQ(Seen.size(), 2u);
    ScrollTo(805 - h + 1);
    ASSERT_EQ(Seen.size(), 3u);
    EXPECT_EQ(Seen.back(), cp40);
    // Without checkpoint events nothing is reported.
    View->CPEventKind = TCPEventKind::cpeNone;
    ScrollTo(0);
    EXPECT_EQ(Seen.size(), 3u);
}

TEST_F(ScrolledViewTest, SectionStartKeepsThePreviousCheckpointAndEndsWithTheDocumentEnd) {
    AddLines(100);
    TRVCPInfo* cp20 = CheckpointAt(20);
    TRVCPInfo* cp40 = CheckpointAt(40);
    View->RVData()->SetDocumentEndCheckpoint("end", TRVTag(), true);
    View->CPEventKind = TCPEventKind::cpeAsSectionStart;
    Show();
    const int h = View->ClientHeight();
    ScrollTo(300);
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen.back(), cp20);
    ScrollTo(410); // cp40 is below: the section of cp20 goes on
    EXPECT_EQ(Seen.size(), 1u);
    ScrollTo(805 - h + 1);
    ASSERT_EQ(Seen.size(), 2u);
    EXPECT_EQ(Seen.back(), cp40);
    // Above the first checkpoint there is nothing before it: no change.
    ScrollTo(0);
    EXPECT_EQ(Seen.size(), 2u);
    SendMessage(View->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    ASSERT_EQ(Seen.size(), 3u);
    EXPECT_EQ(Seen.back(), View->RVData()->NotAddedCP);
    // One step above the bottom the document end is not reached: the last one before it.
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEUP, 0);
    ASSERT_EQ(Seen.size(), 4u);
    EXPECT_EQ(Seen.back(), cp40);
}

TEST_F(ScrolledViewTest, ContentScrolledUnderAStillMouseTakesOverTheHover) {
    std::vector<int> hover;
    View->OnRVMouseMove = [&](TObject*, int id) { hover.push_back(id); };
    View->AppendTextParagraph("link", 1, 0);
    AddLines(3);
    View->AppendTextParagraph("other", 1, 0);
    AddLines(50);
    Show();
    TRichViewRVData* data = View->RVData();
    testing::MoveMouse(View, 15, 15);
    ASSERT_EQ(hover, std::vector<int>{0});
    EXPECT_TRUE(data->State.Contains(TRVState::rvstDrawHover));
    EXPECT_EQ(View->Cursor(), Style->TextStyles[1].JumpCursor);
    ScrollTo(20); // a plain line under the mouse now
    EXPECT_EQ(hover, (std::vector<int>{0, -1}));
    EXPECT_FALSE(data->State.Contains(TRVState::rvstDrawHover));
    EXPECT_EQ(View->Cursor(), crDefault);
    ScrollTo(80); // the second link comes under the mouse
    EXPECT_EQ(hover, (std::vector<int>{0, -1, 1}));
    EXPECT_TRUE(data->State.Contains(TRVState::rvstDrawHover));
    // A mouse outside the view leaves the hover alone while scrolling.
    testing::MoveMouse(Form, 350, 280);
    const size_t n = hover.size();
    ScrollTo(0);
    EXPECT_EQ(hover.size(), n);
}

TEST_F(ScrolledViewTest, BottomPositionIsClampedAgainWhenTheBarsAreUpdated) {
    AddLines(100);
    Show();
    const int page = View->VScrollPage();
    const int steps = View->DocHeightSteps();
    const int width = View->AreaWidth();
    SendMessage(View->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(View->VScrollPos(), steps - page);
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(View->VScrollPos(), steps - page);
    // The same document again: the last page stays where it is.
    View->UpdateScrollBars(width, steps, true, true);
    EXPECT_EQ(View->VScrollPos(), steps - page);
    // One step shorter: the position follows by exactly one.
    View->UpdateScrollBars(width, steps - 1, true, true);
    EXPECT_EQ(View->VScrollPos(), steps - 1 - page);
    View->UpdateScrollBars(width, steps, true, true);
    EXPECT_EQ(View->VScrollPos(), steps - 1 - page);
    // Shorter than the page: never below 0.
    View->UpdateScrollBars(width, page - 1, true, true);
    EXPECT_EQ(View->VScrollPos(), 0);
    View->UpdateScrollBars(width, page + 1, true, true);
    EXPECT_EQ(View->VScrollPos(), 0);
    // A taller window at the bottom shows more of the end, not past it.
    View->UpdateScrollBars(width, steps, true, true);
    SendMessage(View->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    View->SetBounds(View->Left(), View->Top(), View->Width(), View->Height() + 20);
    testing::Pump();
    EXPECT_EQ(View->VScrollPage(), page + 20);
    EXPECT_EQ(View->VScrollPos(), steps - page - 20);
}

TEST_F(ScrolledViewTest, AutoScrollBandsChangeAtTheirExactEdges) {
    AddLines(100);
    Show();
    testing::MouseDown(View, 50, 50);
    const int w = View->ClientWidth(), h = View->ClientHeight();
    const std::vector<std::pair<int, int>> bands = {
        {-21, -10}, {-20, -1}, {-1, -1}, {0, 0}, {h - 1, 0}, {h, 1}, {h + 19, 1}, {h + 20, 10}};
    for (auto [y, dir] : bands) {
        testing::MoveMouse(View, 50, y);
        EXPECT_EQ(View->AutoScrollDY(), dir) << y;
        EXPECT_EQ(View->AutoScrollDX(), 0) << y;
    }
    for (auto [x, dir] : std::vector<std::pair<int, int>>{
             {-21, -10}, {-20, -1}, {0, 0}, {w - 1, 0}, {w, 1}, {w + 19, 1}, {w + 20, 10}}) {
        testing::MoveMouse(View, x, 50);
        EXPECT_EQ(View->AutoScrollDX(), dir) << x;
    }
    testing::MouseUp(View, 50, 50);
}

// ---- Keyboard activation, context menu, tab order
// ------------------------------------------------

TEST_F(RichViewTest, TabToAHotPictureAndEnterJumpsAsAClickDoes) {
    std::vector<int> jumps;
    View->OnJump = [&](TObject*, int id) { jumps.push_back(id); };
    View->SetFirstJumpNo(100);
    View->AppendTextParagraph("go", 0, 0);
    View->RVData()->AddHotPicture("first", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    View->AppendTextParagraph("and", 0, 0);
    View->RVData()->AddHotPicture("second", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    Show();
    View->SetFocus();
    testing::PressKey(VK_RETURN); // nothing focused yet
    EXPECT_TRUE(jumps.empty());
    testing::PressKey(VK_TAB);
    testing::PressKey(VK_TAB);
    ASSERT_EQ(View->RVData()->FocusedItemNo, 3);
    testing::PressKey(VK_RETURN);
    int x = 0, y = 0;
    ASSERT_TRUE(View->GetItemClientCoords(3, x, y));
    testing::Click(View, x + 5, y + 5);
    ASSERT_EQ(jumps.size(), 2u);
    EXPECT_EQ(jumps[0], jumps[1]);
    ASSERT_TRUE(View->GetItemClientCoords(1, x, y));
    testing::Click(View, x + 5, y + 5);
    ASSERT_EQ(jumps.size(), 3u);
    EXPECT_NE(jumps[2], jumps[0]);
}

// A viewer that shows another one as its in-place editor.
class TOuterView : public TRichView {
public:
    using TRichView::TRichView;
    TRVScroller* GetInplaceEditor() const override { return Inner; }
    TCustomRichView* Inner = nullptr;
};

class NestedViewTest : public RichViewTest {
protected:
    void SetUp() override {
        RichViewTest::SetUp();
        Outer = new TOuterView(Form);
        Outer->SetParent(Form);
        Outer->SetBounds(10, 220, 300, 70);
        Outer->SetBorderStyle(bsNone);
        Outer->SetStyle(Style);
        Outer->AppendTextParagraph("outer", 0, 0);
        View->SetParent(Outer);
        View->SetBounds(5, 5, 200, 40);
        Outer->Inner = View;
    }
    TOuterView* Outer = nullptr;
};

TEST_F(NestedViewTest, KeyboardMenuOfACellEditorGoesToTheOutermostViewer) {
    int outerMenus = 0, innerMenus = 0;
    Outer->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
        ++outerMenus;
        handled = true;
    };
    View->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
        ++innerMenus;
        handled = true;
    };
    View->AppendTextParagraph("inner", 0, 0);
    Show();
    Outer->Format();
    SendMessage(View->Handle(), WM_CONTEXTMENU, WPARAM(View->Handle()), MAKELPARAM(-1, -1));
    EXPECT_EQ(outerMenus, 1);
    EXPECT_EQ(innerMenus, 0);
    const TPoint p = testing::ScreenPoint(View, {10, 10});
    SendMessage(View->Handle(), WM_CONTEXTMENU, WPARAM(View->Handle()), MAKELPARAM(p.X, p.Y));
    EXPECT_EQ(innerMenus, 1);
    EXPECT_EQ(outerMenus, 1);
}

TEST_F(NestedViewTest, CopyGoesToTheCellEditorAndItsFixedBackgroundRepaintsTheOuterViewer) {
    View->AppendTextParagraph("inner text", 0, 0);
    AddLines(20);
    Show();
    Outer->Format();
    View->SetSelection(0, 1, 0, 6);
    SendMessage(Outer->Handle(), WM_COPY, 0, 0);
    testing::Pump();
    EXPECT_EQ(testing::ClipboardText(), "inner");
    int outerPaints = 0;
    Outer->OnPaint = [&](TCustomRichView*, TCanvas*, bool) { ++outerPaints; };
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    testing::Pump();
    EXPECT_EQ(outerPaints, 0); // a plain background moves with the text
    TBitmap tile(8, 8, pf24bit);
    View->SetBackgroundBitmap(&tile);
    View->SetBackgroundStyle(TBackgroundStyle::bsTiled);
    testing::Pump();
    outerPaints = 0;
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    testing::Pump();
    EXPECT_EQ(outerPaints, 1);
}

TEST_F(RichViewTest, EmbeddedControlKeepsItsOwnContextMenuAndTabReturnsToTheViewer) {
    int menus = 0;
    View->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
        ++menus;
        handled = true;
    };
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 40, 20);
    View->AppendTextParagraph("text", 0, 0);
    View->RVData()->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    Show();
    TPoint p = testing::ScreenPoint(panel, {5, 5});
    SendMessage(View->Handle(), WM_CONTEXTMENU, WPARAM(View->Handle()), MAKELPARAM(p.X, p.Y));
    EXPECT_EQ(menus, 0);
    p = testing::ScreenPoint(View, {5, 5});
    SendMessage(View->Handle(), WM_CONTEXTMENU, WPARAM(View->Handle()), MAKELPARAM(p.X, p.Y));
    EXPECT_EQ(menus, 1);
    std::vector<TWinControl*> order;
    Form->GetTabOrderList(order);
    EXPECT_EQ(std::count(order.begin(), order.end(), View), 2);
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.back(), View);
    order.clear();
    View->SetTabNavigation(TRVTabNavigationType::rvtnNone);
    Form->GetTabOrderList(order);
    EXPECT_EQ(std::count(order.begin(), order.end(), View), 1);
}

TEST_F(RichViewTest, XorFeedbackIsTakenOffAroundThePaint) {
    View->AppendTextParagraph("text", 0, 0);
    Show();
    std::vector<std::string> calls;
    View->RVData()->SetXorDrawer(
        [&](TCustomRVFormattedData*, int x, int y) {
            calls.push_back("xor " + std::to_string(x) + "," + std::to_string(y));
        },
        this);
    View->OnPaint = [&](TCustomRichView*, TCanvas*, bool) { calls.push_back("paint"); };
    View->RVData()->DrawXorFeedbackAt(7, 9);
    calls.clear();
    View->Invalidate();
    testing::Pump();
    EXPECT_EQ(calls, (std::vector<std::string>{"xor 7,9", "paint", "xor 7,9"}));
    EXPECT_TRUE(View->RVData()->XorFeedbackShown());
    View->RVData()->ClearXorDrawer(this);
}

// ---- Requests of the readers and writers -----------------------------------------------------

class WriterEventsTest : public ScrolledViewTest {
protected:
    std::string Html(const std::string& path) {
        TMemoryStream stream;
        EXPECT_TRUE(View->RVData()->WriteHtmlToStream(stream, path, "t", false));
        return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
    }
};

TEST_F(WriterEventsTest, RtfLinksAskTheProgramAndPicturesInThemBecomeHot) {
    View->Options.Include(TRVOption::rvoTagsArePChars);
    struct Read {
        std::string Target, Extras;
        int StyleNo;
    };
    std::vector<Read> reads;
    View->OnReadHyperlink = [&](TCustomRichView*, const std::string& target,
                                const std::string& extras, int& styleNo, TRVTag& tag,
                                std::string&) {
        reads.push_back({target, extras, styleNo});
        if (target == "http://text") tag = TRVTag::FromString("changed");
        if (target == "http://plain") styleNo = rvsPicture; // the program keeps it a picture
    };
    TStringStream text("{\\rtf1\\ansi{\\field{\\*\\fldinst HYPERLINK \"http://text\" \\\\o \"tip\"}"
                       "{\\fldrslt click}}\\par}");
    ASSERT_EQ(View->LoadRtfStream(text), 0);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Target, "http://text");
    EXPECT_EQ(reads[0].Extras, "\\o \"tip\"");
    EXPECT_GE(reads[0].StyleNo, 0);
    EXPECT_EQ(View->GetItemTag(0).Text(), "changed");
    // Pictures in links, written by a viewer and read back.
    TRichView source(Form);
    source.SetStyle(Style);
    source.Options.Include(TRVOption::rvoTagsArePChars);
    source.RVData()->AddHotPicture("hot", Square(clGreen), 0, TRVVAlign::rvvaBaseline,
                                   TRVTag::FromString("http://hot"));
    source.RVData()->AddHotPicture("plain", Square(clGreen), 0, TRVVAlign::rvvaBaseline,
                                   TRVTag::FromString("http://plain"));
    TMemoryStream rtf;
    ASSERT_TRUE(source.WriteRtfStream(rtf, false));
    rtf.SetPosition(0);
    const int first = View->GetItemCount();
    ASSERT_EQ(View->LoadRtfStream(rtf), 0);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[1].StyleNo, rvsHotPicture);
    EXPECT_EQ(View->GetItemStyleNo(first), rvsHotPicture);
    EXPECT_EQ(View->GetItemTag(first).Text(), "http://hot");
    EXPECT_EQ(View->GetItemStyleNo(first + 1), rvsPicture);
}

TEST_F(WriterEventsTest, HtmlAsksForAddressesExtrasControlsAndPictures) {
    View->Options.Include(TRVOption::rvoTagsArePChars);
    View->AppendTextParagraph("link", 1, 0, TRVTag::FromString("tag-address"));
    View->RVData()->AddHotPicture("pic", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    auto* panel = new TPanel(nullptr);
    View->RVData()->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    Show();
    // Without handlers the string tag is the address and nothing is added.
    std::string html = Html("");
    EXPECT_NE(html.find("<a href=\"tag-address\">"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos); // no folder for the picture
    View->OnURLNeeded = [](TCustomRichView*, int id, std::string& url) {
        url = std::string("u").append(std::to_string(id));
    };
    View->OnSaveHTMLExtra = [](TCustomRichView*, TRVHTMLSaveArea area, bool, std::string& code) {
        code = std::string("[").append(std::to_string(int(area))).append("]");
    };
    std::vector<TRVSaveFormat> formats;
    View->OnSaveComponentToFile = [&](TCustomRichView*, const std::string&, TPersistent* saveMe,
                                      TRVSaveFormat format, std::string& out) {
        formats.push_back(format);
        if (saveMe == panel) out = "{panel}";
    };
    View->OnHTMLSaveImage = [](TCustomRichView*, TCustomRVData*, int itemNo, const std::string&,
                               TColor, std::string& location, bool& doDefault) {
        location = "pics/" + std::to_string(itemNo) + ".png";
        doDefault = false;
    };
    html = Html("");
    EXPECT_NE(html.find("<a href=\"u0\">"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"u1\"><img src=\"pics/1.png\""), std::string::npos);
    EXPECT_NE(html.find("{panel}"), std::string::npos);
    const size_t head = html.find("[0]</head>"), attr = html.find("<body [1]>");
    const size_t body = html.find("[2]"), end = html.find("[3]</body>");
    ASSERT_NE(head, std::string::npos);
    ASSERT_NE(attr, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(head, attr);
    EXPECT_LT(attr, body);
    EXPECT_LT(body, end);
    // Plain text and RTF ask for the control too.
    TMemoryStream text;
    ASSERT_TRUE(View->RVData()->WriteTextToStream(text, "", 80, false, false));
    EXPECT_NE(std::string(reinterpret_cast<const char*>(text.Memory()), size_t(text.Size()))
                  .find("{panel}"),
              std::string::npos);
    TMemoryStream rtf;
    ASSERT_TRUE(View->WriteRtfStream(rtf, false));
    EXPECT_NE(std::string(reinterpret_cast<const char*>(rtf.Memory()), size_t(rtf.Size()))
                  .find("{panel}"),
              std::string::npos);
    EXPECT_EQ(formats, (std::vector<TRVSaveFormat>{TRVSaveFormat::rvsfHTML, TRVSaveFormat::rvsfText,
                                                   TRVSaveFormat::rvsfRTF}));
}

// ---- Justified selection ----------------------------------------------------------------------

TEST_F(RichViewTest, SelectedJustifiedLineIsOneContinuousSelection) {
    TParaInfo& justified = Style->ParaStyles.Add();
    justified.Alignment = TRVAlignment::rvaJustify;
    View->AppendTextParagraph("abc de fgh ij klm no pqr st uvw xy zab cd efg hi jkl mn", 0, 1);
    Show();
    TRichViewRVData* data = View->RVData();
    // The first line's drawing items, stretched to the right edge.
    int last = 0;
    while (last + 1 < data->DrawItems.Count() && !data->DrawItems[last + 1]->FromNewLine)
        ++last;
    ASSERT_GT(last, 1);
    int spread = 0;
    for (int i = 0; i <= last; ++i)
        spread += data->DrawItems[i]->SpaceBefore;
    ASSERT_GT(spread, 0); // the line really was justified
    const int left = data->DrawItems[0]->Left;
    const int right = data->DrawItems[last]->Left + data->DrawItems[last]->Width;
    View->SetFocus();
    View->SetSelection(0, 1, 0, 1 + int(View->GetItemTextUnicode(0).size()));
    testing::Pump();
    // Row 18 of the line lies below every glyph: only the selection colour shows there.
    TWindowPixels px = testing::ClientPixels(View);
    for (int x = left; x < right; ++x)
        ASSERT_EQ(TColor(px.Color(x, 5 + 18)), Rgb(clNavy)) << x;
    // Selected from the second word's first letter: the justification gap and the space in
    // front of the letter stay unselected, the letter's cell is selected from its first pixel.
    View->SetSelection(0, 5, 0, 1 + int(View->GetItemTextUnicode(0).size()));
    testing::Pump();
    const TRVDrawLineInfo* second = data->DrawItems[1];
    const int letter = second->Left + second->SpaceBefore + 10;
    EXPECT_EQ(At(left + 1, 5 + 18), Rgb(clWhite));
    EXPECT_EQ(At(second->Left, 5 + 18), Rgb(clWhite));
    EXPECT_EQ(At(letter - 1, 5 + 18), Rgb(clWhite));
    px = testing::ClientPixels(View);
    for (int x = letter; x < right; ++x)
        ASSERT_EQ(TColor(px.Color(x, 5 + 18)), Rgb(clNavy)) << x;
}

TEST_F(RichViewTest, ResizeThatKeepsTheTextWidthKeepsTheScrollPosition) {
    View->MinTextWidth = 400; // wider than the view: resizing does not change the text width
    AddLines(100);
    Show();
    View->ScrollToY(300);
    const int pos = View->VScrollPos();
    View->SetBounds(10, 10, 250, 180);
    testing::Pump();
    EXPECT_EQ(View->VScrollPos(), pos);
    EXPECT_EQ(View->RVData()->TextWidth, 400);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(RichViewTest, FixedTilesStayWhileScrolledTilesMoveWithTheDocument) {
    auto tile = std::make_unique<TBitmap>(4, 4, pf24bit);
    tile->Canvas()->Brush()->SetColor(clYellow);
    tile->Canvas()->FillRect(TRect(0, 0, 4, 4));
    tile->Canvas()->SetPixels(0, 0, clBlue);
    View->SetBackgroundBitmap(tile.get());
    View->SetBackgroundStyle(TBackgroundStyle::bsTiled);
    EXPECT_TRUE(View->FullRedrawOnScroll);
    AddLines(100);
    Show();
    EXPECT_EQ(At(248, 8), Rgb(clBlue));
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    testing::Pump();
    EXPECT_EQ(At(248, 8), Rgb(clBlue));
    EXPECT_EQ(At(248, 7), Rgb(clYellow));
    View->SetBackgroundStyle(TBackgroundStyle::bsTiledAndScrolled);
    EXPECT_FALSE(View->FullRedrawOnScroll);
    SendMessage(View->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    testing::Pump();
    // Two pixels down the document: the grid's rows now start at 2, 6, 10...
    EXPECT_EQ(At(248, 6), Rgb(clBlue));
    EXPECT_EQ(At(248, 8), Rgb(clYellow));
    // The text moved with it: the third line's glyph row 8 is now at 5 + 40 - 2.
    ExpectGlyph(5, 43, clBlack, clYellow);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

// The background takes in its padding and the border goes around that, so nothing of the
// background shows outside the border; OnDrawParaBack gets the padded rectangle.
TEST_F(RichViewTest, ParagraphBorderGoesAroundTheBackgroundsPadding) {
    TParaInfo& boxed = Style->ParaStyles.Add(); // 1
    boxed.LeftIndent = 20;
    boxed.Background.Color = clYellow;
    boxed.Background.BorderOffsets = TRVRect{4, 4, 4, 4};
    boxed.Border.Style = TRVBorderStyle::rvbSingle;
    boxed.Border.Color = clBlue;
    AddLines(1);
    View->AppendTextParagraph("boxed", 0, 1); // text at x 25, y 25
    AddLines(1);
    TRect given;
    Style->OnDrawParaBack = [&](TRVStyle*, TCanvas*, int paraNo, const TRect& r, bool&) {
        if (paraNo == 1) given = r;
    };
    Show();
    EXPECT_EQ(given.Left, 21);
    EXPECT_EQ(given.Top, 21);
    EXPECT_EQ(At(21, 30), Rgb(clBlue));
    EXPECT_EQ(At(22, 30), Rgb(clYellow));
    EXPECT_EQ(At(20, 30), Rgb(clWhite));
    EXPECT_EQ(At(100, 21), Rgb(clBlue));
    EXPECT_EQ(At(100, 22), Rgb(clYellow));
    EXPECT_EQ(At(100, 20), Rgb(clWhite));
    if (const char* out = std::getenv("EPC_TEST_OUT"))
        testing::SaveWindowPng(View, std::string(out) + "/paragraph-border-padding.png");
}

TEST_F(RichViewTest, ParagraphBeginningAboveTheVisibleAreaIsPaintedWhole) {
    TParaInfo& boxed = Style->ParaStyles.Add(); // 1
    boxed.Background.Color = clYellow;
    boxed.Border.Style = TRVBorderStyle::rvbSingle;
    boxed.Border.Color = clBlue;
    AddLines(3);
    // One paragraph of many wrapped lines (each word takes a line of its own).
    std::string words;
    for (int i = 0; i < 30; ++i)
        words += "abcdefghijklmnopqrstuvwxyz ";
    View->AppendTextParagraph(words, 0, 1);
    AddLines(20);
    Show();
    const int paraTop = 5 + 3 * 20;
    EXPECT_EQ(At(200, paraTop), Rgb(clBlue));
    View->ScrollToY(paraTop + 100);
    testing::Pump();
    // The paragraph's top border is out of view; its background and side borders still show.
    EXPECT_EQ(At(View->ClientWidth() - 10, 50), Rgb(clYellow));
    EXPECT_EQ(At(5, 50), Rgb(clBlue));
    EXPECT_EQ(At(View->ClientWidth() - 6, 50), Rgb(clBlue));
    EXPECT_NE(At(100, 0), Rgb(clBlue));
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(RichViewTest, RtfIsReadIntoTheViewAndWrittenFromIt) {
    TMemoryStream in;
    in.WriteString("{\\rtf1\\ansi Hello {\\b bold} world\\par second\\par}");
    in.SetPosition(0);
    EXPECT_EQ(View->LoadRtfStream(in), 0);
    EXPECT_GE(View->GetItemCount(), 2);
    Show();
    TMemoryStream out;
    EXPECT_TRUE(View->WriteRtfStream(out, false));
    const std::string rtf(reinterpret_cast<const char*>(out.Memory()), size_t(out.Size()));
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
    EXPECT_NE(rtf.find("second"), std::string::npos);
    // Not RTF: refused, nothing added.
    const int count = View->GetItemCount();
    TMemoryStream bad;
    bad.WriteString("plain text");
    bad.SetPosition(0);
    EXPECT_NE(View->LoadRtfStream(bad), 0);
    EXPECT_EQ(View->GetItemCount(), count);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(RichViewTest, ControlScrolledFarOutOfViewByTheBarComesBack) {
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 30, 20);
    View->RVData()->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    AddLines(900); // 18000 pixels
    Show();
    ASSERT_EQ(View->VSmallStep(), 1);
    const int top = panel->Top();
    SendMessage(View->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 15000), 0);
    EXPECT_EQ(View->VScrollPos(), 15000);
    EXPECT_EQ(panel->Top(), -10000);
    SendMessage(View->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 12000), 0);
    EXPECT_EQ(panel->Top(), -10000);
    SendMessage(View->Handle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(panel->Top(), top);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

std::string ReadWholeFile(const std::string& path) {
    TFileStream fs(path, fmOpenRead);
    std::string s(size_t(fs.Size()), '\0');
    fs.Read(s.data(), int(s.size()));
    return s;
}

TEST_F(RichViewTest, SavedRtfCarriesTheColourAndTheBackgroundPicture) {
    View->AppendTextParagraph("page", 0, 0);
    Show();
    TBitmap tile(4, 3, pf24bit);
    tile.Canvas()->Brush()->SetColor(clLime);
    tile.Canvas()->FillRect(TRect(0, 0, 4, 3));
    View->SetBackgroundBitmap(&tile);
    View->SetBackgroundStyle(TBackgroundStyle::bsTiled);
    View->SetColor(clRed);
    const std::string path =
        (std::filesystem::temp_directory_path() / "epc_view_background.rtf").string();
    const std::string colour = "{\\sp{\\sn fillColor}{\\sv 255}}";
    const std::string blip = "{\\sp{\\sn fillBlip}{\\sv {\\pict\\pngblip\\picw4\\pich3";
    ASSERT_TRUE(View->WriteRtfFile(path, false));
    std::string rtf = ReadWholeFile(path);
    EXPECT_NE(rtf.find("{\\*\\background{\\shp{\\*\\shpinst" + colour +
                       "{\\sp{\\sn fillType}{\\sv 2}}" + blip),
              std::string::npos);
    EXPECT_NE(rtf.find("page"), std::string::npos);
    // Shown once: a picture fill.
    View->SetBackgroundStyle(TBackgroundStyle::bsCentered);
    ASSERT_TRUE(View->WriteRtfFile(path, false));
    EXPECT_NE(ReadWholeFile(path).find("{\\sp{\\sn fillType}{\\sv 3}}" + blip), std::string::npos);
    // The picture only shows in a picture style; the colour stays.
    View->SetBackgroundStyle(TBackgroundStyle::bsNoBitmap);
    ASSERT_TRUE(View->WriteRtfFile(path, false));
    rtf = ReadWholeFile(path);
    EXPECT_NE(rtf.find(colour + "}}}\\viewbksp1"), std::string::npos);
    EXPECT_EQ(rtf.find("fillBlip"), std::string::npos);
    // No colour and no picture: no page background at all.
    View->SetColor(clNone);
    ASSERT_TRUE(View->WriteRtfFile(path, false));
    EXPECT_EQ(ReadWholeFile(path).find("\\background"), std::string::npos);
    std::filesystem::remove(path);

    // Copying writes the background into the RTF block too.
    View->SetBackgroundStyle(TBackgroundStyle::bsStretched);
    View->SelectAll();
    SendMessage(View->Handle(), WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE h = GetClipboardData(RegisterClipboardFormatA("Rich Text Format"));
    ASSERT_NE(h, nullptr);
    auto block = static_cast<HGLOBAL>(h);
    const std::string copied(static_cast<const char*>(GlobalLock(block)), GlobalSize(block));
    GlobalUnlock(block);
    CloseClipboard();
    EXPECT_NE(copied.find("{\\sp{\\sn fillType}{\\sv 3}}" + blip), std::string::npos);
    // The copy uses the effective colour: the style sheet's white.
    EXPECT_NE(copied.find("{\\sp{\\sn fillColor}{\\sv 16777215}}"), std::string::npos);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(RichViewTest, FocusArrivingBackwardsScrollsTheLastHotspotIntoView) {
    View->RVData()->AddHotPicture("top", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    AddLines(30);
    View->RVData()->AddHotPicture("bottom", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    auto* next = new TRichView(Form);
    next->SetParent(Form);
    next->SetBounds(10, 220, 100, 40);
    Show();
    next->SetFocus();
    ASSERT_EQ(View->VScrollPos(), 0);
    testing::PressKey(VK_TAB, TShiftState{ssShift});
    ASSERT_TRUE(View->Focused());
    EXPECT_EQ(View->RVData()->FocusedItemNo, 31);
    int x = 0, y = 0;
    ASSERT_TRUE(View->GetItemClientCoords(31, x, y));
    EXPECT_GE(y, 0);
    EXPECT_LE(y + 10, View->ClientHeight());
    EXPECT_GT(View->VScrollPos(), 0);
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST(RichViewShortcuts, CopyCutAndPasteKeysAreToldApart) {
    const TShiftState ctrl{ssCtrl}, shift{ssShift}, none{};
    EXPECT_TRUE(TCustomRichView::IsCopyShortcut('C', ctrl));
    EXPECT_TRUE(TCustomRichView::IsCopyShortcut(VK_INSERT, ctrl));
    EXPECT_FALSE(TCustomRichView::IsCopyShortcut('C', none));
    EXPECT_FALSE(TCustomRichView::IsCopyShortcut(VK_INSERT, shift));
    EXPECT_TRUE(TCustomRichView::IsCutShortcut('X', ctrl));
    EXPECT_TRUE(TCustomRichView::IsCutShortcut(VK_DELETE, shift));
    EXPECT_FALSE(TCustomRichView::IsCutShortcut(VK_DELETE, none));
    EXPECT_FALSE(TCustomRichView::IsCutShortcut('X', shift));
    EXPECT_TRUE(TCustomRichView::IsPasteShortcut('V', ctrl));
    EXPECT_TRUE(TCustomRichView::IsPasteShortcut(VK_INSERT, shift));
    EXPECT_FALSE(TCustomRichView::IsPasteShortcut(VK_INSERT, ctrl));
    EXPECT_FALSE(TCustomRichView::IsPasteShortcut('V', none));
}

} // namespace
} // namespace epc

namespace epc {
namespace {

// A viewer that keeps the pictures of its HTML exports elsewhere.
class TPictureKeepingView : public TRichView {
public:
    using TRichView::TRichView;
    std::string SaveImageFileForHtml(const std::string& path, TGraphic* graphic) override {
        if (Own) return "kept/" + std::to_string(graphic->Width()) + ".png";
        return TRichView::SaveImageFileForHtml(path, graphic);
    }
    bool Own = false;
};

TEST_F(WriterEventsTest, HtmlPicturesAreWrittenByTheViewerUnderItsOwnNumbers) {
    auto* view = new TPictureKeepingView(Form);
    view->SetParent(Form);
    view->SetStyle(Style);
    view->RVData()->AddPictureItem("a", Square(clGreen), 0, TRVVAlign::rvvaBaseline);
    view->RVData()->AddPictureItem("b", Square(clRed), 0, TRVVAlign::rvvaBaseline);
    const auto dir = std::filesystem::temp_directory_path() / "epc_view_html_pictures";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    auto html = [&] {
        TMemoryStream stream;
        EXPECT_TRUE(view->RVData()->WriteHtmlToStream(stream, dir.string(), "t", false));
        return stream.DataString();
    };
    std::string page = html();
    EXPECT_NE(page.find("src=\"rvimg1.png\""), std::string::npos);
    EXPECT_NE(page.find("src=\"rvimg2.png\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "rvimg2.png"));
    // The count goes on with the next export.
    EXPECT_NE(html().find("src=\"rvimg4.png\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "rvimg4.png"));
    view->Own = true;
    page = html();
    EXPECT_NE(page.find("src=\"kept/"), std::string::npos);
    EXPECT_EQ(page.find("rvimg5"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace epc
