#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"
#include "platform/context/PlatformContext.h"
#include "platform/core/ScopeGuard.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

// A tree whose nodes show their index as text in the fixed-metric face (8 pixels a character).
class TTextTree : public TBaseVirtualTree {
public:
    explicit TTextTree(TComponent* owner = nullptr) : TBaseVirtualTree(owner) {
        epc::testing::UseFixedFace(*this, 200, 100);
    }
    int DoGetNodeWidth(PVirtualNode, TColumnIndex) override { return 16; }
    void DoPaintNode(TVTPaintInfo& info) override {
        ++Painted;
        info.Canvas->Brush()->SetStyle(bsClear);
        info.Canvas->TextOut(info.ContentRect.Left + TextMargin(), 1, std::u16string(u"ab"));
    }
    int Painted = 0;
};

COLORREF At(TBitmap& b, int x, int y) {
    const uint32_t p = reinterpret_cast<uint32_t*>(b.ScanLine(y))[x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

struct Fixture {
    TTextTree tree;
    PVirtualNode a, a1, b;
    TBitmap bitmap{200, 90, pf32bit};
    Fixture() {
        a = tree.AddChild(nullptr);
        a1 = tree.AddChild(a);
        b = tree.AddChild(nullptr);
        tree.SetExpanded(a, true);
    }
    void Render(uint8_t options) {
        bitmap.Canvas()->Brush()->SetColor(clBlack);
        bitmap.Canvas()->FillRect(TRect(0, 0, 200, 90));
        tree.RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 200, 90), TPoint(0, 0), options);
    }
};

const COLORREF White = RGB(255, 255, 255);

} // namespace

TEST(TreePaint, LinesAndButtons) {
    Fixture f;
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(f.tree.LastPaintedRows(), 3);
    const COLORREF line = ColorToRGB(f.tree.Colors()->TreeLineColor());
    // Button of A: 9 x 9 at (4, 5), framed in the line colour, a minus across its middle.
    EXPECT_EQ(At(f.bitmap, 4, 5), line);
    EXPECT_EQ(At(f.bitmap, 12, 13), line);
    EXPECT_EQ(At(f.bitmap, 8, 9), ColorToRGB(f.tree.Font()->Color()));
    EXPECT_EQ(At(f.bitmap, 8, 7), ColorToRGB(f.tree.Color()));
    // B is collapsed-free (a leaf): no button, but its root line comes up from A.
    // A1's lines: level cell 1 centred at x 27, dotted down to the row's middle (y 18 + 9),
    // then right to the content.
    int dots = 0;
    for (int y = 18; y < 27; ++y)
        dots += At(f.bitmap, 27, y) == line;
    EXPECT_GE(dots, 4);
    EXPECT_EQ(At(f.bitmap, 27, 18 + 14), White);
    int across = 0;
    for (int x = 27; x < 36; ++x)
        across += At(f.bitmap, x, 27) == line;
    EXPECT_GE(across, 4);
    // The root line at x 9 runs from A past A1 down to B.
    dots = 0;
    for (int y = 18; y < 36; ++y)
        dots += At(f.bitmap, 9, y) == line;
    EXPECT_GE(dots, 8);
    // Text of A1 starts at 2 indents + margin + text margin.
    EXPECT_NE(At(f.bitmap, 36 + 4 + 4 + 3, 18 + 8), White);
    // Rows are painted once each; the space below the tree gets the tree colour.
    EXPECT_EQ(f.tree.Painted, 3);
    EXPECT_EQ(At(f.bitmap, 100, 80), White);
}

// A stored indent may be huge: the tree lines are painted as far as the picture shows them,
// however far they reach, and only there.
TEST(TreePaint, TreeLinesOfAHugeIndentArePaintedWhereThePictureShowsThem) {
    TTextTree tree;
    for (int i = 0; i < 3; ++i)
        tree.AddChild(nullptr);
    tree.SetIndent(2000000000);
    tree.SetLineStyle(TVTLineStyle::lsSolid);
    tree.Colors()->SetTreeLineColor(clRed);
    TBitmap bitmap(200, 90, pf32bit);
    auto render = [&](int left) {
        bitmap.Canvas()->Brush()->SetColor(clBlack);
        bitmap.Canvas()->FillRect(TRect(0, 0, 200, 90));
        tree.RenderToCanvas(bitmap.Canvas(), TRect(left, 0, left + 200, 90), TPoint(0, 0),
                            DefaultRenderOptions);
    };
    auto redAt = [&](int x, int y) { return At(bitmap, x, y) == RGB(255, 0, 0); };
    render(0);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_FALSE(redAt(x, y)) << x << "," << y;
    // The top level's line runs down the middle of the first indent, a billion pixels in,
    // with an arm to each row's label.
    render(1000000000 - 100);
    int red = 0;
    for (int y = 0; y < 54; ++y)
        for (int x = 0; x < 200; ++x)
            if (redAt(x, y)) {
                ++red;
                EXPECT_TRUE(x == 100 || y == 9 || y == 27 || y == 45) << x << "," << y;
            }
    EXPECT_TRUE(redAt(100, 27));
    EXPECT_TRUE(redAt(199, 27));
    EXPECT_GE(red, 36 + 3 * 98);
}

// Painting on screen: a node added next to a hidden one is painted at once, tree lines of the
// rows above included, as a full repaint would.
TEST(TreePaint, NodeAddedNextToAHiddenOneIsPaintedAtOnce) {
    for (TVTNodeAttachMode mode :
         {TVTNodeAttachMode::amInsertAfter, TVTNodeAttachMode::amInsertBefore}) {
        TPlatformContext context;
        TForm* form = epc::testing::NewTreeForm();
        auto freeForm = Finally([form] { FreeComponent(form); });
        auto* tree = new TTextTree(form);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 200, 100);
        PVirtualNode shown = tree->AddChild(nullptr);
        tree->AddChild(shown);
        tree->SetExpanded(shown, true);
        PVirtualNode hidden = tree->AddChild(nullptr);
        epc::testing::ShowForm(form);
        epc::testing::Pump();
        tree->SetVisible(hidden, false);
        epc::testing::Pump();
        const TWindowPixels before = epc::testing::ClientPixels(tree);
        tree->InsertNodeAt(hidden, mode);
        epc::testing::Pump();
        const TWindowPixels after = epc::testing::ClientPixels(tree);
        tree->Invalidate();
        epc::testing::Pump();
        const TWindowPixels repainted = epc::testing::ClientPixels(tree);
        EXPECT_NE(repainted.Pixels, before.Pixels) << int(mode);
        EXPECT_EQ(after.Pixels, repainted.Pixels) << int(mode);
    }
}

TEST(TreePaint, NoLinesNoButtonsWithoutTheOptions) {
    Fixture f;
    auto paint = f.tree.TreeOptions()->PaintOptions();
    f.tree.TreeOptions()->SetPaintOptions(paint - toShowTreeLines - toShowButtons);
    f.Render(DefaultRenderOptions);
    const COLORREF line = ColorToRGB(f.tree.Colors()->TreeLineColor());
    for (int y = 0; y < 54; ++y)
        for (int x : {4, 9, 27})
            EXPECT_NE(At(f.bitmap, x, y), line) << x << "," << y;
}

TEST(TreePaint, SelectionAndFocusOnlyWithTheirOptions) {
    Fixture f;
    f.tree.AddToSelection(f.a1);
    f.tree.SetFocusedNode(f.b);
    const COLORREF selection = ColorToRGB(f.tree.Colors()->UnfocusedSelectionColor());
    f.Render(DefaultRenderOptions);
    // A1's label: from x 40 to 40 + 16 + 2 x 4, inside its frame.
    EXPECT_EQ(At(f.bitmap, 42, 18 + 3), selection);
    EXPECT_EQ(At(f.bitmap, 62, 18 + 3), selection);
    EXPECT_EQ(At(f.bitmap, 66, 18 + 3), White);
    // B's focus rectangle shows only while the tree has the focus (popup mode counts as that):
    // dotted along the label's top edge from x 22.
    for (int x = 22; x < 46; ++x)
        EXPECT_EQ(At(f.bitmap, x, 36), White) << x;
    f.tree.TreeOptions()->SetPaintOptions(f.tree.TreeOptions()->PaintOptions() | toPopupMode);
    f.Render(DefaultRenderOptions);
    int dots = 0;
    for (int x = 22; x < 46; ++x)
        dots += At(f.bitmap, x, 36) != White;
    EXPECT_GE(dots, 8);
    // The answer drawing's options: no selection colours and no focus rectangle.
    f.Render(poGridLines);
    EXPECT_EQ(At(f.bitmap, 42, 18 + 3), White);
    for (int x = 22; x < 46; ++x)
        EXPECT_EQ(At(f.bitmap, x, 36), White) << x;
    // Only selected nodes.
    f.tree.Painted = 0;
    f.Render(DefaultRenderOptions | poSelectedOnly);
    EXPECT_EQ(f.tree.Painted, 1);
}

TEST(TreePaint, CheckImages) {
    Fixture f;
    f.tree.TreeOptions()->SetMiscOptions(f.tree.TreeOptions()->MiscOptions() | toCheckSupport);
    f.tree.SetCheckType(f.a1, ctCheckBox);
    f.tree.SetCheckState(f.a1, csCheckedNormal);
    f.Render(DefaultRenderOptions);
    // The check image sits at x 40, centred on the row's line (y 18 + 9 - 8).
    TBitmap expected(16, 16, pf32bit);
    expected.Canvas()->Brush()->SetColor(clWhite);
    expected.Canvas()->FillRect(TRect(0, 0, 16, 16));
    f.tree.CheckImages()->Draw(expected.Canvas(), 0, 0, f.tree.GetCheckImage(f.a1));
    int differing = 0, drawn = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            differing += At(expected, x, y) != At(f.bitmap, 40 + x, 19 + y);
            drawn += At(expected, x, y) != White;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(drawn, 20);
    // The label moved right by the check image and 2 pixels.
    EXPECT_EQ(f.tree.DisplayRect(f.a1, NoColumn, true).Left, 40 + 18);
}

TEST(TreePaint, GridLinesAndColumns) {
    Fixture f;
    f.tree.TreeOptions()->SetPaintOptions(f.tree.TreeOptions()->PaintOptions() |
                                          toShowHorzGridLines | toShowVertGridLines);
    auto* columns = f.tree.Header()->Columns();
    columns->Add()->SetWidth(120);
    columns->Add()->SetWidth(60);
    f.Render(DefaultRenderOptions);
    const COLORREF grid = ColorToRGB(f.tree.Colors()->GridLineColor());
    EXPECT_EQ(At(f.bitmap, 150, 17), grid); // bottom of row 0
    EXPECT_EQ(At(f.bitmap, 119, 5), grid);  // right edge of column 0
    EXPECT_EQ(At(f.bitmap, 179, 5), grid);  // right edge of column 1
    EXPECT_EQ(At(f.bitmap, 150, 5), White);
    EXPECT_EQ(f.tree.Painted, 6);
    f.tree.Painted = 0;
    f.Render(DefaultRenderOptions | poMainColumnOnly);
    EXPECT_EQ(f.tree.Painted, 3);
}

TEST(TreePaint, RowsTakeTheEraseColourTheEventLeaves) {
    Fixture f;
    // A stripe on the second row; the action stays the default one.
    f.tree.OnBeforeItemErase = [&f](TBaseVirtualTree*, TCanvas*, PVirtualNode node, const TRect&,
                                    TColor& color, TItemEraseAction&) {
        if (node == f.a1) color = clYellow;
    };
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 150, 18 + 9), RGB(255, 255, 0));
    EXPECT_EQ(At(f.bitmap, 150, 9), White);
    EXPECT_EQ(At(f.bitmap, 150, 36 + 9), White);
}

TEST(TreePaint, WindowAndTargetOffsets) {
    Fixture f;
    // Rows from y 18 (A1 first) drawn at target y 5; what lies above stays untouched.
    f.bitmap.Canvas()->Brush()->SetColor(clBlack);
    f.bitmap.Canvas()->FillRect(TRect(0, 0, 200, 90));
    f.tree.RenderToCanvas(f.bitmap.Canvas(), TRect(0, 18, 200, 54), TPoint(0, 5), poGridLines);
    EXPECT_EQ(f.tree.LastPaintedRows(), 2);
    EXPECT_EQ(At(f.bitmap, 100, 2), RGB(0, 0, 0));
    EXPECT_EQ(At(f.bitmap, 100, 6), White);
    EXPECT_EQ(At(f.bitmap, 100, 5 + 36), RGB(0, 0, 0));
    EXPECT_FALSE(f.tree.TreeStates().Contains(TVirtualTreeState::tsPainting));
}

TEST(TreePaint, DisplayRect) {
    Fixture f;
    TRect r = f.tree.DisplayRect(f.b, NoColumn, false);
    EXPECT_EQ(r, TRect(0, 36, 200, 54));
    EXPECT_EQ(f.tree.DisplayRect(f.a1, NoColumn, true), TRect(40, 18, 56, 36));
    auto paint = f.tree.TreeOptions()->PaintOptions();
    f.tree.TreeOptions()->SetPaintOptions(paint - toShowRoot);
    EXPECT_EQ(f.tree.DisplayRect(f.b, NoColumn, true).Left, 4);
    f.tree.SetExpanded(f.a, false);
    EXPECT_TRUE(f.tree.DisplayRect(f.a1, NoColumn, false).IsEmpty());
    f.tree.SetExpanded(f.a, true);
    f.tree.SetVisible(f.a, false);
    EXPECT_TRUE(f.tree.DisplayRect(f.a1, NoColumn, true).IsEmpty());
    EXPECT_THROW(f.tree.DisplayRect(nullptr, NoColumn, false), EAssertionFailed);
    EXPECT_THROW(f.tree.DisplayRect(f.tree.RootNode(), NoColumn, false), EAssertionFailed);
}

TEST(TreePaint, TreeExtentAndEmptyTree) {
    Fixture f;
    EXPECT_EQ(f.tree.TreeExtent(), TRect(0, 0, f.tree.ClientWidth(), f.tree.ClientHeight()));
    for (int i = 0; i < 10; ++i)
        f.tree.AddChild(nullptr);
    EXPECT_EQ(f.tree.TreeExtent().Bottom, 13 * 18);
    TTextTree empty;
    TBitmap b(50, 30, pf32bit);
    empty.RenderToCanvas(b.Canvas(), TRect(0, 0, 50, 30), TPoint(0, 0), DefaultRenderOptions);
    EXPECT_EQ(At(b, 25, 15), White);
}

TEST(TreePaint, DropMark) {
    Fixture f;
    f.tree.SetDropTarget(f.a1, TVTDropMode::dmBelow);
    f.Render(DefaultRenderOptions);
    const COLORREF mark = ColorToRGB(f.tree.Colors()->DropMarkColor());
    // Below: the strip from (L+2, B-1) to (R-2, B-1) of A1's row.
    EXPECT_EQ(At(f.bitmap, 100, 18 + 15), mark);
    f.Render(DefaultRenderOptions & ~poDropMark);
    EXPECT_NE(At(f.bitmap, 100, 18 + 15), mark);
}

TEST(TreePaint, SelectionRectangleOverTheRows) {
    Fixture f;
    f.tree.SetSelectionRectangle(TRect(100, 5, 150, 30));
    f.Render(poGridLines);
    // Dotted: the frame's edges are drawn, the inside is left alone.
    int dots = 0;
    for (int y = 5; y < 30; ++y)
        dots += At(f.bitmap, 100, y) != White;
    EXPECT_GE(dots, 8);
    EXPECT_EQ(At(f.bitmap, 125, 20), White);
    // Blended: the inside moves toward the blend colour, the frame takes the border colour.
    f.tree.SetDrawSelectionMode(TVTDrawSelectionMode::smBlendedRectangle);
    f.tree.Colors()->SetColor(TVTColors::SelectionRectangleBlendColorIndex, clBlack);
    f.tree.SetSelectionBlendFactor(128);
    f.Render(poGridLines);
    EXPECT_EQ(At(f.bitmap, 125, 20), RGB(127, 127, 127));
    EXPECT_EQ(At(f.bitmap, 125, 29), ColorToRGB(f.tree.Colors()->SelectionRectangleBorderColor()));
    EXPECT_EQ(At(f.bitmap, 99, 20), White);
    EXPECT_EQ(At(f.bitmap, 160, 20), White);
}

TEST(TreePaint, DropTargetTakesItsColoursWhenDroppedOn) {
    Fixture f;
    f.tree.Colors()->SetDropTargetColor(clRed);
    f.tree.Colors()->SetDropTargetBorderColor(clRed);
    const COLORREF red = RGB(255, 0, 0);
    // B's label starts at x 20 + 4 (margin) in row 2.
    f.tree.SetDropTarget(f.b, TVTDropMode::dmOnNode);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 22, 36 + 3), red);
    // Above or below an unselected node only the drop mark shows, not the node colours.
    f.tree.SetDropTarget(f.b, TVTDropMode::dmAbove);
    f.Render(DefaultRenderOptions);
    EXPECT_NE(At(f.bitmap, 22, 36 + 12), red);
    // A selected drop target keeps the drop colours in any mode.
    f.tree.AddToSelection(f.b);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 22, 36 + 12), red);
    // The answer drawing's options show none of it.
    f.tree.SetDropTarget(f.b, TVTDropMode::dmOnNode);
    f.Render(poGridLines);
    EXPECT_EQ(At(f.bitmap, 22, 36 + 3), White);
}

namespace {

// The fixture with a selection on A1 (row 1, label from x 40 to 64) and the focus on B (row 2,
// label from x 22 to 46), painted as if focused.
struct SelectionFixture : Fixture {
    COLORREF focused, border, unfocused;
    SelectionFixture() {
        tree.Colors()->SetFocusedSelectionColor(clRed);
        tree.Colors()->SetFocusedSelectionBorderColor(clBlue);
        tree.Colors()->SetUnfocusedSelectionColor(clYellow);
        tree.Colors()->SetUnfocusedSelectionBorderColor(clYellow);
        focused = RGB(255, 0, 0);
        border = RGB(0, 0, 255);
        unfocused = RGB(255, 255, 0);
        tree.AddToSelection(a1);
        tree.SetFocusedNode(b);
        SetPaint(toPopupMode, true);
    }
    void SetPaint(TVTPaintOption option, bool on) {
        auto paint = tree.TreeOptions()->PaintOptions();
        tree.TreeOptions()->SetPaintOptions(on ? paint | option : paint - option);
    }
    void SetMisc(TVTMiscOption option, bool on) {
        auto misc = tree.TreeOptions()->MiscOptions();
        tree.TreeOptions()->SetMiscOptions(on ? misc | option : misc - option);
    }
    // Pixels of a row (0 to 2) between two x positions that have the colour.
    int Count(int row, int y, int from, int to, COLORREF color) {
        int n = 0;
        for (int x = from; x < to; ++x)
            n += At(bitmap, x, row * 18 + y) == color;
        return n;
    }
};

} // namespace

TEST(TreePaintSelection, FocusedNodeThatIsNotSelectedGetsOnlyTheFocusRectangle) {
    SelectionFixture f;
    f.Render(DefaultRenderOptions);
    // B: no selection colour inside its label (its text runs from 26 to 42), a dotted frame
    // around it.
    EXPECT_EQ(f.Count(2, 8, 22, 46, f.focused), 0);
    EXPECT_EQ(At(f.bitmap, 24, 36 + 8), White);
    EXPECT_GE(f.Count(2, 0, 22, 46, RGB(0, 0, 0)), 8);
    // A1: the selection colour framed in the border colour.
    EXPECT_EQ(At(f.bitmap, 42, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 40, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 63, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 64, 18 + 8), White);
    // Selected and focused: both.
    f.tree.AddToSelection(f.b);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 24, 36 + 8), f.focused);
}

TEST(TreePaintSelection, CornersRoundedBySelectionCurveRadius) {
    SelectionFixture f;
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 40, 18), f.border); // square corner
    f.tree.SetSelectionCurveRadius(10);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 40, 18), White);
    EXPECT_EQ(At(f.bitmap, 63, 35), White);
    EXPECT_EQ(At(f.bitmap, 52, 18), f.border); // the middle of the top edge
    EXPECT_EQ(At(f.bitmap, 40, 27), f.border); // and of the left edge
    EXPECT_EQ(At(f.bitmap, 52, 27), f.focused);
}

TEST(TreePaintSelection, PopupModePaintsAsIfFocused) {
    SelectionFixture f;
    f.SetPaint(toPopupMode, false);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 42, 18 + 8), f.unfocused);
    EXPECT_EQ(f.Count(2, 0, 22, 46, RGB(0, 0, 0)), 0); // no focus rectangle without the focus
    // toHideSelection hides the selection of an unfocused tree, but not in popup mode.
    f.SetPaint(toHideSelection, true);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 42, 18 + 8), White);
    f.SetPaint(toPopupMode, true);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 42, 18 + 8), f.focused);
    EXPECT_GE(f.Count(2, 0, 22, 46, RGB(0, 0, 0)), 8);
}

TEST(TreePaintSelection, GridExtensionsCoverTheCell) {
    SelectionFixture f;
    f.SetMisc(toGridExtensions, true);
    f.Render(DefaultRenderOptions);
    // The selection and the focus rectangle span the whole cell (the client width here).
    EXPECT_EQ(At(f.bitmap, 150, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 0, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 199, 18 + 8), f.border);
    EXPECT_GE(f.Count(2, 0, 60, 200, RGB(0, 0, 0)), 40);
    // Without them the label alone.
    f.SetMisc(toGridExtensions, false);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 150, 18 + 8), White);
    EXPECT_EQ(f.Count(2, 0, 60, 200, RGB(0, 0, 0)), 0);
}

TEST(TreePaintSelection, HighlightFollowsTheColumnAlignment) {
    SelectionFixture f;
    auto* columns = f.tree.Header()->Columns();
    TVirtualTreeColumn* column = columns->Add();
    column->SetWidth(200);
    column->SetAlignment(taRightJustify);
    f.Render(DefaultRenderOptions);
    // A1's label ends at the column's right edge less the margin: 172 to 196.
    EXPECT_EQ(At(f.bitmap, 180, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 172, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 195, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 50, 18 + 8), White);
    EXPECT_GE(f.Count(2, 0, 172, 196, RGB(0, 0, 0)), 8);
    // Centred: in the middle of the space after the content start (40 to 196).
    column->SetAlignment(taCenter);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 106, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 118, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 100, 18 + 8), White);
    // Without columns the tree's own alignment places the label.
    columns->Clear();
    f.tree.SetAlignment(taRightJustify);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 190, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 50, 18 + 8), White);
}

TEST(TreePaintSelection, RightToLeftMirrorsTheRow) {
    SelectionFixture f;
    f.tree.SetBiDiMode(bdRightToLeft);
    f.Render(DefaultRenderOptions);
    // A1's label hangs from the right: 200 - 64 to 200 - 40.
    EXPECT_EQ(At(f.bitmap, 150, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 136, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 159, 18 + 8), f.border);
    EXPECT_EQ(At(f.bitmap, 50, 18 + 8), White);
    // A's button: 9 x 9 at x 187 to 195 (mirrored from 4 to 12), framed in the line colour.
    const COLORREF line = ColorToRGB(f.tree.Colors()->TreeLineColor());
    EXPECT_EQ(At(f.bitmap, 195, 5), line);
    EXPECT_EQ(At(f.bitmap, 187, 13), line);
    EXPECT_NE(At(f.bitmap, 4, 5), line);
    // The root line runs at the mirrored x 190 from A down to B.
    int dots = 0;
    for (int y = 18; y < 36; ++y)
        dots += At(f.bitmap, 190, y) == line;
    EXPECT_GE(dots, 8);
    // The focus rectangle of B: mirrored to 154 to 178.
    EXPECT_GE(f.Count(2, 0, 154, 178, RGB(0, 0, 0)), 8);
    EXPECT_EQ(f.Count(2, 0, 22, 46, RGB(0, 0, 0)), 0);
}

TEST(TreePaintSelection, FullRowSelectionFillsTheRow) {
    SelectionFixture f;
    auto sel = f.tree.TreeOptions()->SelectionOptions();
    f.tree.TreeOptions()->SetSelectionOptions(sel | toFullRowSelect);
    f.tree.SetSelectionCurveRadius(6);
    f.Render(DefaultRenderOptions);
    EXPECT_EQ(At(f.bitmap, 10, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 190, 18 + 8), f.focused);
    EXPECT_EQ(At(f.bitmap, 0, 18), White); // rounded corner
    EXPECT_EQ(At(f.bitmap, 100, 18), f.border);
    EXPECT_EQ(At(f.bitmap, 100, 36 + 8), White); // B is only focused
}
