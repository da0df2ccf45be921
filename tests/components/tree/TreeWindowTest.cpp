#include <gtest/gtest.h>

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "tests/components/tree/TreeTestSupport.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

struct WindowFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        form = epc::testing::NewTreeForm();
        tree = new TBaseVirtualTree(form);
        tree->SetParent(form);
    }
    void TearDown() override { FreeComponent(form); }
    TForm* form = nullptr;
    TBaseVirtualTree* tree = nullptr;
};

} // namespace

TEST_F(WindowFixture, DelayedChangeFiresOnceAfterTheDelay) {
    epc::testing::ShowForm(form);
    tree->HandleNeeded();
    int changes = 0, structures = 0;
    tree->OnChange = [&](TBaseVirtualTree*, PVirtualNode) { ++changes; };
    tree->OnStructureChange = [&](TBaseVirtualTree*, PVirtualNode, TChangeReason) { ++structures; };
    tree->SetChangeDelay(100);
    tree->SetRootNodeCount(3);
    tree->SetSelected(tree->FirstNode(), true);
    epc::testing::Wait(50);
    tree->SetSelected(tree->LastNode(), true);
    EXPECT_EQ(changes, 0);
    epc::testing::Wait(60);
    EXPECT_EQ(changes, 0); // restarted by the second change
    EXPECT_EQ(structures, 1);
    epc::testing::Wait(60);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(tree->ChangeTimerRunning());
}

TEST_F(WindowFixture, RepaintsOnlyWithAWindow) {
    tree->SetMargin(7);
    EXPECT_EQ(tree->RepaintRequests(), 0);
    epc::testing::ShowForm(form);
    tree->HandleNeeded();
    // Taking the focus repaints too.
    const int shown = tree->RepaintRequests();
    tree->SetMargin(8);
    EXPECT_EQ(tree->RepaintRequests(), shown + 1);
    // While loading, setters only store.
    tree->IncludeState(TComponentStateItem::csLoading);
    tree->SetMargin(9);
    EXPECT_EQ(tree->RepaintRequests(), shown + 1);
    tree->ExcludeState(TComponentStateItem::csLoading);
}

TEST_F(WindowFixture, ControlDefaultsAndFocus) {
    EXPECT_EQ(tree->Width(), 200);
    EXPECT_EQ(tree->Height(), 100);
    EXPECT_TRUE(tree->TabStop());
    EXPECT_FALSE(tree->ParentColor());
    EXPECT_TRUE(tree->ControlStyle().Contains(csOpaque));
    EXPECT_TRUE(tree->ControlStyle().Contains(csCaptureMouse));
    EXPECT_FALSE(tree->ControlStyle().Contains(csSetCaption));
    EXPECT_FALSE(tree->CanFocus()); // the form is not shown
    epc::testing::ShowForm(form);
    EXPECT_TRUE(tree->CanFocus());
}

TEST_F(WindowFixture, FocusMovingToAnEditorOfTheTreeClearsTheFormsActiveControl) {
    epc::testing::ShowForm(form);
    tree->SetFocus();
    ASSERT_EQ(form->ActiveControl(), tree);
    // Plain windows, no controls of the form: only the tree changes the active control.
    auto plain = [](HWND parent) {
        TWindowCreate p;
        p.ClassName = "PlainEditor";
        p.Style = WS_CHILD | WS_VISIBLE;
        p.Width = p.Height = 20;
        p.Parent = parent;
        return CreateWindow(p);
    };
    HWND editor = plain(tree->Handle());
    HWND elsewhere = plain(form->Handle());
    SetFocus(elsewhere);
    EXPECT_EQ(GetFocus(), elsewhere);
    EXPECT_EQ(form->ActiveControl(), tree);
    SetFocus(tree->Handle());
    ASSERT_TRUE(tree->Focused());
    SetFocus(editor);
    EXPECT_EQ(GetFocus(), editor); // the form does not take the focus back
    EXPECT_EQ(form->ActiveControl(), nullptr);
}

TEST_F(WindowFixture, FrameButtonPressesAreSwallowed) {
    epc::testing::ShowForm(form);
    tree->HandleNeeded();
    int downs = 0;
    tree->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    TMessage m{WM_NCLBUTTONDOWN, 0, 0, 0};
    tree->WndProc(m);
    m = TMessage{WM_LBUTTONDOWN, 0, 0, 0};
    tree->WndProc(m);
    EXPECT_EQ(downs, 1);
    // With automatic dragging a press starts the framework drag instead.
    tree->SetDragMode(dmAutomatic);
    tree->WndProc(m);
    EXPECT_EQ(downs, 1);
}

namespace {

// A shown tree with a visible header of three 80-pixel columns and 20 rows.
struct ColumnsFixture : WindowFixture {
    void SetUp() override {
        WindowFixture::SetUp();
        tree->SetBorderStyle(bsNone);
        tree->SetBounds(0, 0, 300, 200);
        tree->SetColor(clWhite);
        for (int i = 0; i < 3; ++i)
            tree->Header()->Columns()->Add()->SetWidth(80);
        tree->Header()->SetOptions(tree->Header()->Options() | hoVisible | hoHotTrack);
        tree->SetRootNodeCount(20);
        epc::testing::ShowForm(form);
        tree->SetFocus();
        epc::testing::Pump();
    }
    void Options(TVTSelectionOptions selection, TVTMiscOptions misc) {
        auto* o = tree->TreeOptions();
        o->SetSelectionOptions(o->SelectionOptions() | selection);
        o->SetMiscOptions(o->MiscOptions() | misc);
    }
};

} // namespace

TEST_F(ColumnsFixture, PrintPaintsTheHeaderAndTheScrolledClientArea) {
    auto* o = tree->TreeOptions();
    o->SetPaintOptions(o->PaintOptions() | toShowHorzGridLines);
    tree->DoSetOffsetXY(TPoint(0, -25), tree->DefaultScrollUpdateFlags);
    epc::testing::Pump();
    const TWindowPixels client = epc::testing::ClientPixels(tree);
    const int header = tree->Header()->Height();
    for (UINT msg : {WM_PRINT, WM_PRINTCLIENT}) {
        TBitmap picture(tree->ClientWidth(), header + tree->ClientHeight(), pf32bit);
        picture.Canvas()->Brush()->SetColor(clRed);
        picture.Canvas()->FillRect(TRect(0, 0, picture.Width(), picture.Height()));
        SendMessage(tree->Handle(), msg, WPARAM(picture.Canvas()->Handle()), PRF_CLIENT);
        // Right of the last column the header shows its background.
        EXPECT_EQ(ColorToRGB(picture.Canvas()->Pixels(280, header / 2)),
                  ColorToRGB(tree->Header()->Background()));
        int differing = 0;
        for (int y = 0; y < tree->ClientHeight(); ++y)
            for (int x = 0; x < tree->ClientWidth(); ++x)
                if (ColorToRGB(picture.Canvas()->Pixels(x, header + y)) != client.Color(x, y))
                    ++differing;
        EXPECT_EQ(differing, 0) << msg;
    }
}

TEST_F(ColumnsFixture, ArrowsHomeAndEndMoveAcrossTheCells) {
    Options({toExtendedFocus}, {toGridExtensions});
    std::vector<TColumnIndex> refused{2};
    tree->OnFocusChanging = [&](TBaseVirtualTree*, PVirtualNode, PVirtualNode, TColumnIndex,
                                TColumnIndex column, bool& allowed) {
        allowed = std::find(refused.begin(), refused.end(), column) == refused.end();
    };
    tree->SetFocusedNode(tree->FirstNode());
    tree->SetFocusedColumn(0);
    epc::testing::PressKey(VK_RIGHT);
    EXPECT_EQ(tree->FocusedColumn(), 1);
    // The refused last cell keeps the focus where it is; the row does not change.
    epc::testing::PressKey(VK_RIGHT);
    EXPECT_EQ(tree->FocusedColumn(), 1);
    EXPECT_EQ(tree->FocusedNode(), tree->FirstNode());
    epc::testing::PressKey(VK_LEFT);
    epc::testing::PressKey(VK_LEFT);
    EXPECT_EQ(tree->FocusedColumn(), 0);
    // End: the last row and the last cell the handler allows; Home: the first of both.
    epc::testing::PressKey(VK_END);
    EXPECT_EQ(tree->FocusedNode(), tree->LastNode());
    EXPECT_EQ(tree->FocusedColumn(), 1);
    epc::testing::PressKey(VK_END);
    EXPECT_EQ(tree->FocusedColumn(), 1);
    refused.clear();
    epc::testing::PressKey(VK_END);
    EXPECT_EQ(tree->FocusedColumn(), 2);
    epc::testing::PressKey(VK_HOME);
    EXPECT_EQ(tree->FocusedNode(), tree->FirstNode());
    EXPECT_EQ(tree->FocusedColumn(), 0);
}

TEST_F(ColumnsFixture, WithoutGridExtensionsArrowsWalkTheTree) {
    Options({toExtendedFocus}, {});
    PVirtualNode parent = tree->FirstNode();
    tree->AddChild(parent);
    tree->SetFocusedNode(parent);
    tree->SetFocusedColumn(1);
    epc::testing::PressKey(VK_RIGHT);
    EXPECT_TRUE(tree->Expanded(parent));
    EXPECT_EQ(tree->FocusedColumn(), 1);
    epc::testing::PressKey(VK_END);
    EXPECT_EQ(tree->FocusedNode(), tree->LastNode());
    EXPECT_EQ(tree->FocusedColumn(), 1);
}

TEST_F(ColumnsFixture, HeaderHotColumnAndHintPause) {
    tree->Header()->SetOptions(tree->Header()->Options() | hoShowHint);
    auto pause = [&] {
        int value = 500;
        tree->Perform(CM_HINTSHOWPAUSE, 0, reinterpret_cast<LPARAM>(&value));
        return value;
    };
    const int header = tree->Header()->Height();
    epc::testing::MoveMouse(tree, 100, -header / 2);
    EXPECT_EQ(tree->Header()->Columns()->HoverIndex, 1);
    EXPECT_EQ(pause(), 0);
    // Leaving the header for the rows: the timer takes the hot column away.
    epc::testing::MoveMouse(tree, 100, 50);
    epc::testing::Wait(80);
    EXPECT_EQ(tree->Header()->Columns()->HoverIndex, NoColumn);
    EXPECT_EQ(pause(), 500);
    tree->SetHintMode(TVTHintMode::hmTooltip);
    EXPECT_EQ(pause(), 0);
}

TEST_F(ColumnsFixture, ColourFontAndLookChanges) {
    PVirtualNode parent = tree->FirstNode();
    tree->AddChild(parent);
    tree->Invalidate();
    epc::testing::Pump();
    auto signPixels = [&](COLORREF colour) {
        const TWindowPixels pixels = epc::testing::ClientPixels(tree);
        int count = 0;
        for (int y = 0; y < int(tree->DefaultNodeHeight()); ++y)
            for (int x = 0; x < int(tree->Indent()); ++x)
                if (pixels.Color(x, y) == colour) ++count;
        return count;
    };
    EXPECT_EQ(signPixels(RGB(255, 0, 0)), 0);
    // The button's sign takes the font colour.
    tree->Font()->SetColor(clRed);
    epc::testing::Pump();
    EXPECT_GT(signPixels(RGB(255, 0, 0)), 0);
    // A single border is made anew with the other look; no border stays as it is.
    HWND before = tree->Handle();
    tree->SetCtl3D(false);
    EXPECT_EQ(tree->Handle(), before);
    tree->SetBorderStyle(bsSingle);
    before = tree->Handle();
    tree->SetCtl3D(true);
    EXPECT_NE(tree->Handle(), before);
}

TEST_F(WindowFixture, AnimatedToggleSlidesTheRowsOverTheDuration) {
    tree->SetBorderStyle(bsNone);
    tree->SetBounds(0, 0, 300, 200);
    tree->SetColor(clWhite);
    tree->SetRootNodeCount(4);
    PVirtualNode first = tree->FirstNode();
    for (int i = 0; i < 3; ++i)
        tree->AddChild(first);
    epc::testing::ShowForm(form);
    tree->SetFocus();
    tree->SetFocusedNode(first);
    epc::testing::Pump();
    auto keyTakes = [&](Word key) {
        const DWORD start = GetTickCount();
        epc::testing::PressKey(key);
        return GetTickCount() - start;
    };
    // Without the option the toggle takes no time.
    EXPECT_EQ(keyTakes(VK_ADD), 0u);
    EXPECT_EQ(keyTakes(VK_SUBTRACT), 0u);
    tree->TreeOptions()->SetAnimationOptions({toAnimatedToggle});
    tree->SetAnimationDuration(120);
    const DWORD expanding = keyTakes(VK_ADD);
    EXPECT_GE(expanding, 110u);
    EXPECT_LE(expanding, 120u);
    EXPECT_TRUE(tree->Expanded(first));
    // The rows end where a full repaint puts them.
    epc::testing::Pump();
    const TWindowPixels animated = epc::testing::ClientPixels(tree);
    tree->Invalidate();
    epc::testing::Pump();
    EXPECT_EQ(epc::testing::ClientPixels(tree).Pixels, animated.Pixels);
    const DWORD collapsing = keyTakes(VK_SUBTRACT);
    EXPECT_GE(collapsing, 110u);
    EXPECT_FALSE(tree->Expanded(first));
    // Expanding everything at once is not animated.
    EXPECT_EQ(keyTakes(VK_MULTIPLY), 0u);
}

TEST_F(WindowFixture, WindowStylesFollowBorderAndRepaintOptions) {
    epc::testing::ShowForm(form);
    auto style = [&] { return DWORD(GetWindowLong(tree->Handle(), GWL_STYLE)); };
    auto exStyle = [&] { return DWORD(GetWindowLong(tree->Handle(), GWL_EXSTYLE)); };
    // The single border is a client edge with the 3-D look, a plain border without it.
    EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(style() & WS_CLIPCHILDREN);
    EXPECT_TRUE(GetClassStyle(tree->Handle()) & CS_HREDRAW);
    tree->SetCtl3D(false);
    tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() -
                                        TVTMiscOptions{toFullRepaintOnResize});
    tree->RecreateWnd();
    EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(style() & WS_BORDER);
    EXPECT_FALSE(GetClassStyle(tree->Handle()) & (CS_HREDRAW | CS_VREDRAW));
    // No border at all.
    tree->SetBorderStyle(bsNone);
    tree->RecreateWnd();
    EXPECT_FALSE(style() & WS_BORDER);
}

TEST_F(WindowFixture, RepaintNodePaintsItsRowAtOnce) {
    epc::testing::ShowForm(form);
    tree->SetRootNodeCount(3);
    epc::testing::Pump();
    std::vector<PVirtualNode> painted;
    tree->OnBeforeItemPaint = [&](TBaseVirtualTree*, TCanvas*, PVirtualNode node, const TRect&,
                                  bool&) { painted.push_back(node); };
    PVirtualNode second = tree->FirstNode()->NextSibling;
    tree->RepaintNode(second);
    EXPECT_EQ(painted, std::vector<PVirtualNode>{second});
    // The hidden root has no row to paint.
    painted.clear();
    tree->RepaintNode(tree->RootNode());
    EXPECT_TRUE(painted.empty());
}

TEST_F(WindowFixture, ScrollingRetracksTheHotNodeUnderTheMouse) {
    epc::testing::ShowForm(form);
    tree->SetRootNodeCount(50);
    tree->TreeOptions()->SetPaintOptions(tree->TreeOptions()->PaintOptions() |
                                         TVTPaintOptions{toHotTrack});
    tree->SetFocus();
    epc::testing::MoveMouse(tree, 20, 5);
    epc::testing::Pump();
    ASSERT_EQ(tree->HotNode(), tree->FirstNode());
    // Ctrl+Down scrolls one row without moving the mouse.
    epc::testing::PressKey(VK_DOWN, {ssCtrl});
    EXPECT_EQ(tree->HotNode(), tree->FirstNode()->NextSibling);
}

TEST_F(WindowFixture, AutoScrollUnderAFrameworkDragMovesTheDropTarget) {
    epc::testing::ShowForm(form);
    tree->SetRootNodeCount(50);
    tree->SetAutoScrollDelay(10);
    tree->SetAutoScrollInterval(10);
    tree->TreeOptions()->SetAutoOptions(tree->TreeOptions()->AutoOptions() |
                                        TVTAutoOptions{toAutoScroll});
    // The mouse rests on the last whole row, near the bottom edge.
    const TPoint at(20, tree->ClientHeight() - 5);
    epc::testing::MoveMouse(tree, at.X, at.Y);
    tree->DragOver(tree, at.X, at.Y, dsDragEnter);
    PVirtualNode before = tree->DropTargetNode();
    ASSERT_NE(before, nullptr);
    epc::testing::Wait(15);
    ASSERT_LT(tree->OffsetY(), 0);
    // The rows slid up under the resting mouse: the drop target is the row now there.
    EXPECT_NE(tree->DropTargetNode(), before);
    EXPECT_EQ(tree->DropTargetNode(), tree->GetNodeAt(at.X, at.Y));
    tree->DragOver(tree, at.X, at.Y, dsDragLeave);
}
