#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

// A tree whose nodes show their index as text in the fixed-metric face (8 pixels a character).
class TTextTree : public TBaseVirtualTree {
public:
    explicit TTextTree() : TBaseVirtualTree(nullptr) {
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
    // B's focus rectangle: dotted along the label's top edge from x 22.
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
