#include "richtext/view/RVScroller.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/testing/UserActions.h"
#include "tests/richtext/view/TestRVData.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc {
namespace {

class ScrollerTest : public ::testing::Test {
protected:
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        Form = test::NewTestForm();
        Scroller = new TRVScroller(Form);
        Scroller->SetParent(Form);
        Scroller->SetBounds(10, 10, 200, 100);
        testing::ShowForm(Form);
    }
    void TearDown() override {
        RVScrollBars() = TRVScrollBarEntryPoints();
        InstallRecordingThemeLibrary(nullptr);
    }
    TForm* Form = nullptr;
    TRVScroller* Scroller = nullptr;
};

TEST_F(ScrollerTest, StepBelowOneIsRefused) {
    Scroller->SetVSmallStep(0);
    EXPECT_EQ(Scroller->VSmallStep(), 1);
    Scroller->SetVSmallStep(-4);
    EXPECT_EQ(Scroller->VSmallStep(), 1);
    Scroller->SetVSmallStep(5);
    EXPECT_EQ(Scroller->VSmallStep(), 5);
}

TEST_F(ScrollerTest, PositionsAreClampedToTheRangeInSteps) {
    Scroller->SetVSmallStep(2);
    Scroller->UpdateScrollBars(500, 300, true, true);
    const int page = Scroller->ClientHeight() / 2;
    EXPECT_EQ(Scroller->VScrollPage(), page);
    EXPECT_EQ(Scroller->VScrollMax(), 299);
    Scroller->SetVScrollPos(1000, true);
    EXPECT_EQ(Scroller->VScrollPos(), 300 - page);
    Scroller->SetVScrollPos(-5, false);
    EXPECT_EQ(Scroller->VScrollPos(), 0);
    Scroller->SetVScrollVisible(false);
    Scroller->SetVScrollPos(1000, true);
    EXPECT_EQ(Scroller->VScrollPos(), 300 - page);
    EXPECT_FALSE(IsScrollBarVisible(Scroller->Handle(), SB_VERT));
}

TEST_F(ScrollerTest, HorizontalMessagesMoveByStepPixelsAndPages) {
    Scroller->SetVSmallStep(3);
    Scroller->UpdateScrollBars(1000, 10, true, true);
    const int cw = Scroller->ClientWidth();
    SendMessage(Scroller->Handle(), WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(Scroller->HScrollPos(), 3);
    SendMessage(Scroller->Handle(), WM_HSCROLL, SB_PAGERIGHT, 0);
    EXPECT_EQ(Scroller->HScrollPos(), 3 + cw);
    SendMessage(Scroller->Handle(), WM_HSCROLL, SB_RIGHT, 0);
    EXPECT_EQ(Scroller->HScrollPos(), 1000 - cw);
    EXPECT_EQ(Scroller->GetHScrollMax(), 1000 - cw);
    SendMessage(Scroller->Handle(), WM_HSCROLL, SB_LEFT, 0);
    EXPECT_EQ(Scroller->HScrollPos(), 0);
    Scroller->SetFocus();
    testing::PressKey(VK_RIGHT);
    EXPECT_EQ(Scroller->HScrollPos(), 3);
    // With keyboard scrolling off the keys leave the document alone.
    Scroller->KeyboardScroll = false;
    testing::PressKey(VK_RIGHT);
    EXPECT_EQ(Scroller->HScrollPos(), 3);
}

TEST_F(ScrollerTest, ScrolledEventsFireOnlyOnChange) {
    int vertical = 0, horizontal = 0;
    Scroller->OnVScrolled = [&](TObject*) { ++vertical; };
    Scroller->OnHScrolled = [&](TObject*) { ++horizontal; };
    Scroller->UpdateScrollBars(1000, 1000, true, true);
    Scroller->ScrollToY(10);
    Scroller->ScrollToY(10);
    Scroller->SetHScrollPos(5);
    EXPECT_EQ(vertical, 1);
    EXPECT_EQ(horizontal, 1);
    Scroller->ScrollToPixelY(25);
    EXPECT_EQ(Scroller->VScrollPos(), 25);
    Scroller->SetVSmallStep(10);
    Scroller->ScrollToPixelYNoRedraw(59);
    EXPECT_EQ(Scroller->VScrollPos(), 5);
}

TEST_F(ScrollerTest, SingleBorderIsDrawnTheClassicWay) {
    Scroller->SetBorderStyle(bsSingle);
    testing::Pump();
    TWindowPixels px = GetWindowPixels(Scroller->Handle());
    EXPECT_EQ(px.Color(0, 50), ColorToRGB(clBtnFace));
    EXPECT_EQ(px.Color(1, 50), ColorToRGB(clBtnShadow));
    Scroller->SetCtl3D(false);
    Scroller->Perform(CM_CTL3DCHANGED, 0, 0);
    testing::Pump();
    px = GetWindowPixels(Scroller->Handle());
    EXPECT_EQ(px.Color(0, 50), ColorToRGB(clBtnShadow));
    EXPECT_EQ(GetWindowLong(Scroller->Handle(), GWL_STYLE) & WS_BORDER, WS_BORDER);
}

TEST_F(ScrollerTest, SingleBorderIsDrawnByTheEditThemeWhileThemesAreOn) {
    TRecordingThemeLibrary themes;
    InstallRecordingThemeLibrary(&themes);
    // Gone before the recording library it holds a theme of.
    auto themed = std::make_unique<TRVScroller>(nullptr);
    themed->SetParent(Form);
    themed->SetBounds(10, 120, 200, 100);
    themed->SetBorderStyle(bsSingle);
    testing::Pump();
    ASSERT_NE(themed->Theme(), nullptr);
    ASSERT_FALSE(themes.CallsOf("OpenThemeData").empty());
    EXPECT_EQ(themes.CallsOf("OpenThemeData").back().ClassList, u"Edit");
    themes.Calls.clear();
    SendMessage(themed->Handle(), WM_NCPAINT, 1, 0);
    const auto draws = themes.CallsOf("DrawThemeBackground");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].Part, EP_EDITTEXT);
    EXPECT_EQ(draws[0].State, ETS_NORMAL);
    EXPECT_EQ(draws[0].Rect, TRect(0, 0, 200, 100));
    // The recording theme frames the element in blue; the client area is left alone.
    TWindowPixels px = GetWindowPixels(themed->Handle());
    EXPECT_EQ(px.Color(0, 50), RGB(0, 84, 227));
    EXPECT_NE(px.Color(1, 50), RGB(0, 84, 227));
    // Switched off: the theme is closed and the classic frame comes back.
    themed->SetUseXPThemes(false);
    EXPECT_EQ(themed->Theme(), nullptr);
    EXPECT_EQ(themes.OpenThemes, 0);
    SendMessage(themed->Handle(), WM_NCPAINT, 1, 0);
    px = GetWindowPixels(themed->Handle());
    EXPECT_EQ(px.Color(0, 50), ColorToRGB(clBtnFace));
    // Switched on while the system has themes off: still classic, until they come on.
    themes.Active = false;
    themed->SetUseXPThemes(true);
    EXPECT_EQ(themed->Theme(), nullptr);
    themes.Active = true;
    SendMessage(themed->Handle(), WM_THEMECHANGED, 0, 0);
    EXPECT_NE(themed->Theme(), nullptr);
    themed.reset();
    EXPECT_EQ(themes.OpenThemes, 0);
    InstallRecordingThemeLibrary(nullptr);
}

TEST(ScrollerPalette, ColourCubeHasSixLevelsOfEachChannel) {
    const std::vector<TColor> cube = RVColorCube();
    ASSERT_EQ(cube.size(), 216u);
    EXPECT_EQ(cube[0], TColor(RGB(0, 0, 0)));
    EXPECT_EQ(cube[1], TColor(RGB(0, 0, 51)));
    EXPECT_EQ(cube[6], TColor(RGB(0, 51, 0)));
    EXPECT_EQ(cube[36], TColor(RGB(51, 0, 0)));
    EXPECT_EQ(cube[215], TColor(RGB(255, 255, 255)));
    EXPECT_EQ(std::set<TColor>(cube.begin(), cube.end()).size(), 216u);
}

TEST_F(ScrollerTest, PaletteDisplayGetsTheColourCubeUnlessTheModeSaysNothing) {
    EXPECT_EQ(Scroller->Palette(), nullptr); // true-colour screen
    SetScreenPaletteBased(true);
    auto resetScreen = Finally([] { SetScreenPaletteBased(false); });
    auto* scroller = new TRVScroller(Form);
    scroller->SetParent(Form);
    scroller->SetBounds(10, 120, 100, 50);
    testing::Pump();
    ASSERT_NE(scroller->Palette(), nullptr);
    const std::vector<TColor> cube = RVColorCube();
    std::vector<PALETTEENTRY> entries(300);
    ASSERT_EQ(GetPaletteEntries(scroller->Palette(), 0, 300, entries.data()), 216u);
    for (size_t i = 0; i < cube.size(); ++i)
        EXPECT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue), ColorToRGB(cube[i]))
            << i;
    EXPECT_EQ(scroller->PaletteColors(), cube);
    scroller->SetDoInPaletteMode(TRVPaletteAction::rvpaDoNothing);
    EXPECT_EQ(scroller->Palette(), nullptr);
    EXPECT_TRUE(scroller->PaletteColors().empty());
    scroller->SetDoInPaletteMode(TRVPaletteAction::rvpaAssignPallette);
    EXPECT_NE(scroller->Palette(), nullptr);
    // Back on a true-colour screen the next refresh lets the palette go.
    SetScreenPaletteBased(false);
    scroller->SetDoInPaletteMode(TRVPaletteAction::rvpaCreateCopies);
    EXPECT_EQ(scroller->Palette(), nullptr);
}

// A scroller whose cell editing is counted.
class TEditingScroller : public TRVScroller {
public:
    using TRVScroller::TRVScroller;
    void DestroyInplaceEditor() override { ++EditingEnded; }
    int EditingEnded = 0;
};

TEST(ScrollerChosen, ChoosingAnotherItemDeselectsTheOldOneAndEndsItsEditing) {
    TPlatformContext context;
    TForm* form = test::NewTestForm();
    auto* scroller = new TEditingScroller(form);
    TRVStyle style(nullptr);
    test::TTestRVData a(&style), b(&style);
    a.AddTextParagraph("one", 0, 0, TRVTag());
    b.AddTextParagraph("two", 0, 0, TRVTag());
    TCustomRVItemInfo* item = a.GetItem(0);
    a.SetActiveSubItem(item);
    scroller->SetChosen(&a, item);
    EXPECT_EQ(scroller->ChosenRVData(), &a);
    EXPECT_EQ(a.ChosenItem, item);
    EXPECT_EQ(scroller->EditingEnded, 0); // nothing was chosen before
    scroller->SetChosen(&a, item);
    EXPECT_EQ(scroller->EditingEnded, 0);
    scroller->SetChosen(&b, b.GetItem(0));
    EXPECT_EQ(scroller->ChosenItem(), b.GetItem(0));
    EXPECT_EQ(a.ChosenItem, nullptr);
    EXPECT_EQ(scroller->EditingEnded, 1);
    scroller->SetChosen(nullptr, nullptr);
    EXPECT_EQ(scroller->EditingEnded, 2);
}

// A scroller that shows another one as its in-place editor.
class TOuterScroller : public TRVScroller {
public:
    using TRVScroller::TRVScroller;
    TRVScroller* GetInplaceEditor() const override { return Inner; }
    TRVScroller* Inner = nullptr;
};

TEST_F(ScrollerTest, FocusGoesOnToTheCellEditorUnlessAnEnclosingScrollerIsGoing) {
    auto* host = new TRVScroller(Form);
    host->SetParent(Form);
    host->SetBounds(10, 120, 200, 150);
    auto* outer = new TOuterScroller(Form);
    outer->SetParent(host);
    outer->SetBounds(5, 5, 150, 100);
    auto* inner = new TRVScroller(Form);
    inner->SetParent(outer);
    inner->SetBounds(5, 5, 50, 30);
    outer->Inner = inner;
    testing::Pump();
    outer->SetFocus();
    EXPECT_TRUE(inner->Focused());
    Scroller->SetFocus();
    host->BeginDestroy();
    outer->SetFocus();
    EXPECT_TRUE(outer->Focused());
    EXPECT_FALSE(inner->Focused());
}

int gSetInfoCalls = 0;
int CountingSetScrollInfo(HWND h, int bar, const SCROLLINFO* si, BOOL redraw) {
    ++gSetInfoCalls;
    return SetScrollInfo(h, bar, si, redraw);
}

TEST_F(ScrollerTest, ScrollBarEntryPointsCanBeReplaced) {
    gSetInfoCalls = 0;
    RVScrollBars().SetScrollInfo = CountingSetScrollInfo;
    Scroller->UpdateScrollBars(1000, 1000, true, true);
    EXPECT_EQ(gSetInfoCalls, 2);
}

} // namespace
} // namespace epc
