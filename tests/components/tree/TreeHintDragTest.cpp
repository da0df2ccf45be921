#include <gtest/gtest.h>

#include <vector>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/core/Strings.h"
#include "platform/testing/UserActions.h"

using namespace epc;

namespace {

uint32_t Pixel(TBitmap& b, int x, int y) {
    return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x] & 0xFFFFFF;
}
int Green(TBitmap& b, int x, int y) {
    return int((Pixel(b, x, y) >> 8) & 0xFF);
}

void Fill(TBitmap& b, TColor color) {
    b.Canvas()->Brush()->SetColor(color);
    b.Canvas()->FillRect(TRect(0, 0, b.Width(), b.Height()));
}

} // namespace

TEST(TreeHint, ShadowStripsDarkenTowardTheHint) {
    TBitmap b(30, 20, pf32bit);
    Fill(b, clWhite);
    DrawHintShadow(b, TRect(0, 0, 30, 20));
    // Right strips, outermost first: alpha 5, 10, 20, 35, 50 toward black.
    const int expected[5] = {205, 220, 235, 245, 250};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Green(b, 25 + i, 10), expected[i]) << i;
        EXPECT_EQ(Green(b, 12, 15 + i), expected[i]) << i;
    }
    // The shadow starts 5 pixels in from the top right and the bottom left corner.
    EXPECT_EQ(Green(b, 29, 4), 255);
    EXPECT_EQ(Green(b, 4, 19), 255);
    EXPECT_EQ(Green(b, 24, 10), 255);
    // The corner is darkened by the right strips only.
    EXPECT_EQ(Green(b, 29, 19), 250);
}

TEST(TreeHint, PlainHintRectangleAndDrawing) {
    TBaseVirtualTree tree(nullptr);
    TVirtualTreeHintWindow hint(nullptr);
    EXPECT_TRUE(TVirtualTreeHintWindow::HintWindowExists());
    TVTHintData data;
    data.Tree = &tree;
    const TRect r = hint.CalcHintRect(300, "abc", &data);
    // The same text measured in the screen's hint font.
    TBitmap probe(10, 10, pf32bit);
    if (Screen) probe.Canvas()->Font()->Assign(Screen->HintFont());
    RECT m{0, 0, 300, 0};
    DrawTextW(probe.Canvas()->Handle(), u"abc", 3, &m, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    EXPECT_EQ(r.Width(), m.Width() + 2 * tree.TextMargin() + 2 + HintShadowSize);
    EXPECT_EQ(r.Height(), m.Height() + 6 + HintShadowSize);
    EXPECT_EQ(hint.HintData().HintText, u"abc");

    TBitmap target(r.Width(), r.Height(), pf32bit);
    Fill(target, clWhite);
    hint.DrawHint(target);
    EXPECT_EQ(Pixel(target, 0, 0), 0u); // black frame
    const COLORREF info = ColorToRGB(clInfoBk);
    const uint32_t infoPixel =
        (uint32_t(GetRValue(info)) << 16) | (uint32_t(GetGValue(info)) << 8) | GetBValue(info);
    EXPECT_EQ(Pixel(target, 1, r.Height() - HintShadowSize - 2), infoPixel);
    EXPECT_LT(Green(target, r.Width() - HintShadowSize, r.Height() / 2 + 3), 255);
}

TEST(TreeHint, HintTextFromTheTreeWhenEmpty) {
    TBaseVirtualTree tree(nullptr);
    tree.SetHint("from the tree");
    PVirtualNode node = tree.AddChild(nullptr);
    TVirtualTreeHintWindow hint(nullptr);
    TVTHintData data;
    data.Tree = &tree;
    data.Node = node;
    hint.CalcHintRect(300, "", &data);
    EXPECT_EQ(hint.HintData().HintText, u"from the tree");
}

TEST(TreeDragImage, BlendsMovesAndRestores) {
    TBaseVirtualTree tree(nullptr);
    EXPECT_EQ(tree.DragImage()->Transparency(), 200);
    EXPECT_TRUE(tree.DragImage()->Fade());
    TBitmap screen(100, 100, pf32bit);
    Fill(screen, clWhite);
    TBitmap picture(10, 10, pf32bit);
    Fill(picture, clRed);
    TVTDragImage image(&tree);
    EXPECT_EQ(image.Transparency(), 128);
    image.SetSurface(screen.Canvas()->Handle());
    image.PrepareDrag(&picture, TPoint(5, 5), TPoint(2, 2));
    EXPECT_FALSE(image.Visible());
    image.ShowDragImage();
    EXPECT_TRUE(image.Visible());
    // Red over white at alpha 128: green half way down.
    EXPECT_EQ(Green(screen, 7, 7), 127);
    EXPECT_EQ(Green(screen, 15, 15), 255);
    EXPECT_TRUE(image.DragTo(TPoint(52, 52)));
    EXPECT_EQ(image.ImagePosition(), TPoint(50, 50));
    EXPECT_EQ(Green(screen, 7, 7), 255); // the old place is restored
    EXPECT_EQ(Green(screen, 55, 55), 127);
    // A small move overlapping the old place leaves no trail.
    EXPECT_TRUE(image.DragTo(TPoint(55, 52)));
    EXPECT_EQ(Green(screen, 50, 55), 255);
    EXPECT_EQ(Green(screen, 58, 55), 127);
    EXPECT_FALSE(image.DragTo(TPoint(55, 52)));
    image.EndDrag();
    EXPECT_FALSE(image.Visible());
    for (int y = 0; y < 100; y += 3)
        for (int x = 0; x < 100; x += 3)
            ASSERT_EQ(Green(screen, x, y), 255) << x << "," << y;
}

TEST(TreeDragImage, ColourKeyAndFade) {
    TBaseVirtualTree tree(nullptr);
    TBitmap screen(40, 40, pf32bit);
    Fill(screen, clWhite);
    TBitmap picture(20, 20, pf32bit);
    Fill(picture, clBlue);
    picture.Canvas()->Brush()->SetColor(clRed);
    picture.Canvas()->FillRect(TRect(0, 0, 20, 4));
    TVTDragImage image(&tree);
    image.SetSurface(screen.Canvas()->Handle());
    image.SetTransparency(255);
    image.SetColorKey(clRed);
    image.SetFade(true);
    image.PrepareDrag(&picture, TPoint(0, 0), TPoint(0, 0));
    image.ShowDragImage();
    EXPECT_EQ(Green(screen, 10, 2), 255);                   // keyed out
    EXPECT_LT(Green(screen, 10, 10), Green(screen, 1, 19)); // stronger at the centre
    EXPECT_LT(Green(screen, 10, 10), 100);
}

TEST(TreeHint, FadeAndSlideRunOnTheClock) {
    TForm* form = new TForm(nullptr);
    auto* tree = new TBaseVirtualTree(form);
    tree->SetParent(form);
    tree->SetAnimationDuration(60);
    TVirtualTreeHintWindow hint(nullptr);
    TVTHintData data;
    data.Tree = tree;
    const TRect r = hint.CalcHintRect(300, "a hint", &data);
    auto shownAfter = [&](THintAnimationType kind) {
        tree->SetHintAnimation(kind);
        hint.CalcHintRect(300, "a hint", &data);
        const DWORD start = GetTickCount();
        hint.ActivateHint(TRect(100, 100, 100 + r.Width(), 100 + r.Height()), "a hint");
        const DWORD spent = GetTickCount() - start;
        // However it came in, the window ends showing the whole hint (animated, it shows it
        // before any paint message).
        if (kind == THintAnimationType::hatNone) epc::testing::Pump();
        TBitmap drawn(r.Width(), r.Height(), pf32bit);
        hint.DrawHint(drawn);
        const TWindowPixels shown = GetWindowPixels(hint.Handle());
        int differing = 0;
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x)
                if (shown.Color(x, y) != ColorToRGB(drawn.Canvas()->Pixels(x, y))) ++differing;
        EXPECT_EQ(differing, 0) << int(kind);
        hint.ReleaseHandle();
        return spent;
    };
    EXPECT_EQ(shownAfter(THintAnimationType::hatNone), 0u);
    const DWORD fade = shownAfter(THintAnimationType::hatFade);
    EXPECT_GE(fade, 110u);
    EXPECT_LE(fade, 120u);
    const DWORD slide = shownAfter(THintAnimationType::hatSlide);
    EXPECT_GE(slide, 50u);
    EXPECT_LE(slide, 60u);
    FreeComponent(form);
}

TEST(TreeAnimation, OverrunningStepsTakeTheTimeOfTheStepsTheyRanInto) {
    std::vector<Cardinal> calls;
    const DWORD start = GetTickCount();
    RunAnimation(10, 100, [&](Cardinal left) {
        calls.push_back(left);
        if (calls.size() == 2) Sleep(35); // ends at 45 ms, in the fifth step's share
        return true;
    });
    EXPECT_EQ(GetTickCount() - start, 100u);
    EXPECT_EQ(calls, (std::vector<Cardinal>{10, 9, 6, 5, 4, 3, 2, 1, 0}));
    // A step asking to stop ends the animation with the closing call.
    calls.clear();
    RunAnimation(10, 100, [&](Cardinal left) {
        calls.push_back(left);
        return left != 8;
    });
    EXPECT_EQ(calls, (std::vector<Cardinal>{10, 9, 8, 0}));
}

namespace {

// A shown form with a string tree whose two rows read Texts[0] and Texts[1].
struct HintFixture : ::testing::Test {
    TPlatformContext Context;
    TForm* form = nullptr;
    TVirtualStringTree* tree = nullptr;
    std::u16string Texts[2] = {u"Gr\u00F6\u00DFe", u"\u041F\u0440\u0438\u0432\u0435\u0442"};
    void SetUp() override {
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        tree = new TVirtualStringTree(form);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 300, 200);
        tree->OnGetText = [this](TBaseVirtualTree*, PVirtualNode node, TColumnIndex, TVSTTextType,
                                 std::u16string& text) { text = Texts[node->Index % 2]; };
        tree->SetRootNodeCount(2);
        tree->SetShowHint(true);
        Application->SetShowHint(true);
        epc::testing::ShowForm(form);
    }
    void TearDown() override {
        Application->CancelHint();
        FreeComponent(form);
    }
    // Rests the mouse on a row until the hint shows; the tree's hint window then.
    TVirtualTreeHintWindow* HintOver(int row) {
        epc::testing::MoveMouse(tree, 250, 190);
        Application->CancelHint();
        epc::testing::MoveMouse(tree, 30, row * 18 + 9);
        epc::testing::Wait(2000);
        EXPECT_TRUE(Application->HintShowing());
        return dynamic_cast<TVirtualTreeHintWindow*>(Application->HintWindow());
    }
    // Width of a plain hint of this text, shadow included.
    int HintWidth(const std::u16string& text) {
        TBitmap probe(1, 1, pf32bit);
        probe.Canvas()->Font()->Assign(Screen->HintFont());
        RECT r(0, 0, 1000, 0);
        DrawTextW(probe.Canvas()->Handle(), text.data(), int(text.size()), &r,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        return r.Width() + 2 * tree->TextMargin() + 2 + HintShadowSize;
    }
};

} // namespace

TEST_F(HintFixture, NodeHintsKeepTheirCharacters) {
    tree->SetHint("tree");
    tree->SetHintMode(TVTHintMode::hmHint);
    for (int row : {0, 1}) {
        TVirtualTreeHintWindow* hint = HintOver(row);
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(hint->HintData().HintText, Texts[row]);
        // Measured by its characters: six Cyrillic letters are not twelve bytes wide.
        EXPECT_EQ(hint->Width(), HintWidth(Texts[row]));
    }
}

TEST_F(HintFixture, AnsiHintOfTheControlIsReadInItsCodePage) {
    // "5€ café" in code page 1252: the euro sign is byte 0x80, the e acute 0xE9.
    ASSERT_EQ(GetACP(), 1252u);
    tree->SetHint(std::string("5\x80 caf\xE9"));
    const std::u16string expected = u"5\u20AC caf\u00E9";
    for (TVTHintMode mode : {TVTHintMode::hmDefault, TVTHintMode::hmHintAndDefault}) {
        tree->SetHintMode(mode);
        // hmHintAndDefault falls back to the control's hint where the node gives none.
        if (mode == TVTHintMode::hmHintAndDefault) Texts[0].clear();
        TVirtualTreeHintWindow* hint = HintOver(0);
        ASSERT_NE(hint, nullptr);
        EXPECT_EQ(hint->HintData().HintText, expected);
        EXPECT_EQ(hint->Width(), HintWidth(expected));
    }
}

TEST_F(HintFixture, ColumnHintsOfTheHeaderKeepTheirCharacters) {
    tree->SetHint("tree");
    TVTHeader* header = tree->Header();
    TVirtualTreeColumn* column = header->Columns()->Add();
    column->SetWidth(200);
    column->SetHint(u"\u0428\u0438\u0440\u0438\u043D\u0430 \u00DC");
    header->SetOptions(header->Options() | hoVisible | hoShowHint);
    epc::testing::Pump();
    // A move over the header in the frame starts the hint.
    epc::testing::MoveMouse(tree, 250, 150);
    Application->CancelHint();
    epc::testing::MoveMouse(tree, 30, -8);
    epc::testing::Wait(2000);
    ASSERT_TRUE(Application->HintShowing());
    auto* hint = dynamic_cast<TVirtualTreeHintWindow*>(Application->HintWindow());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->HintData().HintText, column->Hint());
}

TEST_F(HintFixture, TooltipsForTextsCutOnEitherSide) {
    Texts[0] = std::u16string(60, u'W');
    Texts[1] = u"short";
    tree->SetRootNodeCount(0); // new nodes measure the new texts
    tree->SetRootNodeCount(2);
    epc::testing::Pump();
    tree->SetHintMode(TVTHintMode::hmTooltip);
    auto ask = [&](int row) {
        THintInfo info;
        info.CursorPos = TPoint(40, row * int(tree->DefaultNodeHeight()) + 9);
        return tree->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0
                   ? info.HintStr
                   : std::string("(none)");
    };
    EXPECT_EQ(ask(0), std::string(60, 'W')); // cut by the right edge
    EXPECT_EQ(ask(1), "(none)");             // fully shown
    // Scrolled to the right, the short label starts left of the client area.
    tree->SetOffsetX(-100);
    ASSERT_EQ(tree->OffsetX(), -100);
    EXPECT_EQ(ask(1), "short");
    // Back in view but wider than its column's cell.
    tree->SetOffsetX(0);
    EXPECT_EQ(ask(1), "(none)");
    TVirtualTreeColumn* column = tree->Header()->Columns()->Add();
    column->SetWidth(tree->Indent() + tree->Margin() + 10);
    tree->Header()->SetOptions(tree->Header()->Options() | hoVisible);
    epc::testing::Pump();
    EXPECT_EQ(ask(1), "short");
}

TEST_F(HintFixture, TooltipLiesOverTheWholeText) {
    Texts[1] = std::u16string(60, u'W');
    tree->SetRootNodeCount(0);
    tree->SetRootNodeCount(2);
    tree->SetHint("tree");
    tree->SetHintMode(TVTHintMode::hmTooltip);
    // A narrow column cuts the text; the tooltip shows all of it, over the text.
    TVirtualTreeColumn* column = tree->Header()->Columns()->Add();
    column->SetWidth(120);
    epc::testing::Pump();
    PVirtualNode second = tree->FirstNode()->NextSibling;
    const TRect text = tree->DisplayRect(second, 0, true, true);
    ASSERT_GT(text.Right, 120);
    TVirtualTreeHintWindow* hint = HintOver(1);
    ASSERT_NE(hint, nullptr);
    const TPoint at = epc::testing::ScreenPoint(tree, TPoint(text.Left - 1, text.Top - 1));
    EXPECT_EQ(hint->Left(), at.X);
    EXPECT_EQ(hint->Top(), at.Y);
    EXPECT_EQ(hint->Width(), text.Width() + 2 + HintShadowSize);
    EXPECT_EQ(hint->HintData().HintText, Texts[1]);
}

TEST_F(HintFixture, EachRowAsksForItsOwnHint) {
    tree->SetHint("tree");
    tree->SetHintMode(TVTHintMode::hmHint);
    TVirtualTreeHintWindow* hint = HintOver(0);
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->HintData().HintText, Texts[0]);
    // Within the row the hint stays; on the next row that row's hint comes.
    epc::testing::MoveMouse(tree, 60, 9);
    EXPECT_TRUE(Application->HintShowing());
    epc::testing::MoveMouse(tree, 30, 27);
    epc::testing::Wait(2000);
    ASSERT_TRUE(Application->HintShowing());
    hint = dynamic_cast<TVirtualTreeHintWindow*>(Application->HintWindow());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->HintData().HintText, Texts[1]);
    // Below the rows no node has a hint; back on a row its hint comes again.
    epc::testing::MoveMouse(tree, 30, 150);
    epc::testing::Wait(2000);
    EXPECT_FALSE(Application->HintShowing());
    epc::testing::MoveMouse(tree, 30, 9);
    epc::testing::Wait(2000);
    ASSERT_TRUE(Application->HintShowing());
    hint = dynamic_cast<TVirtualTreeHintWindow*>(Application->HintWindow());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->HintData().HintText, Texts[0]);
}

TEST_F(HintFixture, EachColumnOfTheHeaderAsksForItsOwnHint) {
    tree->SetHint("tree");
    TVTHeader* header = tree->Header();
    for (const char16_t* text : {u"first", u"second"}) {
        TVirtualTreeColumn* column = header->Columns()->Add();
        column->SetWidth(100);
        column->SetHint(text);
    }
    header->SetOptions(header->Options() | hoVisible | hoShowHint);
    epc::testing::Pump();
    epc::testing::MoveMouse(tree, 250, 150);
    Application->CancelHint();
    epc::testing::MoveMouse(tree, 30, -8);
    epc::testing::Wait(2000);
    ASSERT_TRUE(Application->HintShowing());
    auto* hint = dynamic_cast<TVirtualTreeHintWindow*>(Application->HintWindow());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->HintData().HintText, u"first");
    epc::testing::MoveMouse(tree, 130, -8);
    epc::testing::Wait(2000);
    ASSERT_TRUE(Application->HintShowing());
    hint = dynamic_cast<TVirtualTreeHintWindow*>(Application->HintWindow());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->HintData().HintText, u"second");
}

// The hint window holds the node it shows: deleting a node takes a shown hint down.
TEST_F(HintFixture, DeletingANodeTakesTheShownHintDown) {
    tree->SetHint("tree");
    tree->SetHintMode(TVTHintMode::hmHint);
    ASSERT_NE(HintOver(1), nullptr);
    tree->RemoveNode(tree->LastChildNoInit(nullptr));
    EXPECT_FALSE(Application->HintShowing());
    epc::testing::Pump();
    EXPECT_EQ(tree->RootNodeCount(), 1u);
}
