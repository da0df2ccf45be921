// The item resizer on its own: handle placement and grabbing, the drag rectangle with
// proportions, Ctrl symmetry and the minimum size, and drawing in a scrolled view.

#include <gtest/gtest.h>

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVData.h"
#include "richtext/edit/RVItemResizer.h"

namespace epc {
namespace {

class ResizerTest : public ::testing::Test {
protected:
    // A picture item whose drawing item stands at (100, 200), Width x Height including the
    // border spacing on each side.
    void Make(int width, int height, int spacing, uint8_t mode = 2) {
        Item = std::make_unique<TRVGraphicItemInfo>(&Doc);
        Item->Spacing = spacing;
        Dli.Left = 100;
        Dli.Top = 200;
        Dli.Width = width;
        Dli.Height = height;
        R = std::make_unique<TRVItemResizer>(&Dli, Item.get(), 0, mode);
    }
    // Presses on a handle (on its centre), moves by (dx, dy) and releases.
    void Drag(int handle, int dx, int dy, TShiftState shift = {}) {
        const TPoint p = R->HandlePos(handle);
        ASSERT_TRUE(R->MouseDown(p.X, p.Y));
        R->MouseMove(shift, p.X + dx, p.Y + dy);
        R->MouseUp();
    }
    TRVDocument Doc;
    std::unique_ptr<TRVGraphicItemInfo> Item;
    TRVDrawLineInfo Dli;
    std::unique_ptr<TRVItemResizer> R;
};

TEST_F(ResizerTest, HandlesSitOnTheBorderOrThreePixelsAcrossIt) {
    Make(40, 20, 0);
    EXPECT_EQ(R->HandlePos(2), (TPoint{140, 220}));
    EXPECT_EQ(R->HandlePos(4), (TPoint{120, 200}));
    EXPECT_EQ(R->HandlePos(7), (TPoint{100, 210}));
    Make(40, 20, 0, 0);
    EXPECT_EQ(R->HandlePos(0), (TPoint{97, 197}));
    EXPECT_EQ(R->HandlePos(5), (TPoint{143, 210}));
    Make(40, 20, 0, 1);
    EXPECT_EQ(R->HandlePos(2), (TPoint{137, 217}));
    EXPECT_EQ(R->HandlePos(4), (TPoint{120, 203}));
}

TEST_F(ResizerTest, GrabDistanceIsThreePixelsInBothDirections) {
    Make(40, 20, 0);
    EXPECT_EQ(R->GetHandleAt(143, 223), 2);
    EXPECT_EQ(R->GetHandleAt(137, 217), 2);
    EXPECT_EQ(R->GetHandleAt(144, 223), TRVItemResizer::rvrhNone);
    EXPECT_EQ(R->GetHandleAt(143, 224), TRVItemResizer::rvrhNone);
    EXPECT_EQ(R->GetHandleAt(96, 200), TRVItemResizer::rvrhNone);
    // The middle of the item is no handle, and a miss starts no drag.
    EXPECT_EQ(R->GetHandleAt(120, 210), TRVItemResizer::rvrhNone);
    EXPECT_FALSE(R->MouseDown(120, 210));
    EXPECT_FALSE(R->Dragging());
    // Where handles overlap (a tiny item) the first in index order wins.
    Make(4, 4, 0);
    EXPECT_EQ(R->GetHandleAt(102, 202), 0);
}

TEST_F(ResizerTest, CornerHandlesKeepTheProportions) {
    // 100 x 50 picture with a one-pixel spacing: the proportion is that of the picture.
    Make(102, 52, 1);
    Drag(2, 100, 0);
    EXPECT_EQ(R->Width, 202);
    EXPECT_EQ(R->Height, 102);
    // The grab offset is kept: a press 2 pixels off the handle moves the edge by the move.
    Make(102, 52, 1);
    ASSERT_TRUE(R->MouseDown(202 + 2, 252 + 1));
    R->MouseMove({}, 302 + 2, 252 + 1);
    R->MouseUp();
    EXPECT_EQ(R->Width, 202);
    EXPECT_EQ(R->Height, 102);
    // The top-left corner moves the left and top edges.
    Make(100, 50, 0);
    const TPoint p = R->HandlePos(0);
    R->MouseDown(p.X, p.Y);
    R->MouseMove({}, p.X - 100, p.Y);
    EXPECT_EQ(R->DragRect(), (TRect{-100, -50, 100, 50}));
    R->MouseUp();
    // The larger factor wins: shrinking only the width leaves the size.
    Make(100, 50, 0);
    Drag(2, -50, 0);
    EXPECT_EQ(R->Width, 100);
    EXPECT_EQ(R->Height, 50);
}

TEST_F(ResizerTest, SideHandlesKeepProportionsOnlyWithShift) {
    Make(100, 50, 0);
    Drag(5, 100, 0);
    EXPECT_EQ(R->Width, 200);
    EXPECT_EQ(R->Height, 50);
    Make(100, 50, 0);
    Drag(5, 100, 0, TShiftState{ssShift});
    EXPECT_EQ(R->Width, 200);
    EXPECT_EQ(R->Height, 100);
    // Round half to even: 3 x 25 / 2 = 37.5 gives 38, 5 x 25 / 2 = 62.5 gives 62.
    Make(2, 25, 0);
    Drag(5, 1, 0, TShiftState{ssShift});
    EXPECT_EQ(R->Height, 38);
    Make(2, 25, 0);
    Drag(5, 3, 0, TShiftState{ssShift});
    EXPECT_EQ(R->Height, 62);
}

TEST_F(ResizerTest, CtrlResizesSymmetrically) {
    Make(100, 50, 0);
    const TPoint p = R->HandlePos(5);
    R->MouseDown(p.X, p.Y);
    R->MouseMove(TShiftState{ssCtrl}, p.X + 10, p.Y);
    EXPECT_EQ(R->DragRect(), (TRect{-10, 0, 110, 50}));
    R->MouseUp();
    EXPECT_EQ(R->Width, 120);
    // A corner with Ctrl spreads the proportional growth over both sides.
    Make(100, 50, 0);
    Drag(2, 20, 0, TShiftState{ssCtrl});
    EXPECT_EQ(R->Width, 140);
    EXPECT_EQ(R->Height, 70);
}

TEST_F(ResizerTest, MovedEdgeStopsTwoPixelsFromTheOtherOne) {
    Make(100, 50, 0);
    Drag(7, 150, 0);
    EXPECT_EQ(R->Width, 2);
    Make(100, 50, 0);
    Drag(5, -99, 0, TShiftState{ssCtrl});
    EXPECT_EQ(R->Width, 2);
}

TEST_F(ResizerTest, HandlesAndFrameAreDrawnAtTheScrolledPosition) {
    TCanvas canvas;
    canvas.SetOwnedHandle(CreateBufferDC(200, 200, 96, 96));
    canvas.Brush()->SetColor(clWhite);
    canvas.FillRect(TRect(0, 0, 200, 200));
    Make(40, 20, 0);
    // Scrolled by (80, 150): the item's top-left corner is at client (20, 50).
    R->DrawHandles(&canvas, 80, 150);
    // A 6 x 6 frame with two inverted squares inside: black on white all through.
    EXPECT_EQ(canvas.Pixels(17, 47), clBlack);
    EXPECT_EQ(canvas.Pixels(18, 48), clBlack);
    EXPECT_EQ(canvas.Pixels(20, 50), clBlack);
    EXPECT_EQ(canvas.Pixels(22, 52), clBlack);
    EXPECT_EQ(canvas.Pixels(23, 53), clWhite);
    EXPECT_EQ(canvas.Pixels(16, 46), clWhite);
    EXPECT_EQ(canvas.Pixels(57, 67), clBlack); // handle 2 at (60, 70)
    EXPECT_EQ(canvas.Pixels(30, 60), clWhite);
    // The XOR frame inverts the background and a second drawing takes it away.
    const TPoint p = R->HandlePos(2);
    R->MouseDown(p.X, p.Y);
    canvas.Brush()->SetStyle(bsSolid);
    canvas.FillRect(TRect(0, 0, 200, 200));
    R->DrawDragRect(&canvas, 80, 150);
    EXPECT_EQ(canvas.Pixels(20, 50), clBlack);
    R->DrawDragRect(&canvas, 80, 150);
    EXPECT_EQ(canvas.Pixels(20, 50), clWhite);
    EXPECT_EQ(canvas.Pen()->Mode(), pmCopy);
}

} // namespace
} // namespace epc
