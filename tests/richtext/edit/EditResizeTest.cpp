// Resizing a picture in the editor with the mouse, through window messages: a click selects
// the picture and shows the handles, the handles' cursors and grab distance, a drag as one
// undo step, Escape, a refused change, tiny sizes and a scrolled view.

#include <gtest/gtest.h>

#include <string>

#include "platform/controls/ExtCtrls.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc {
namespace {

class EditResizeTest : public test::EditorOnFormFixture<> {
protected:
    void SetUp() override {
        EditorOnFormFixture::SetUp();
        AddEditor(10, 10, 400, 200);
    }
    // Text, then a 40 x 20 picture (42 x 22 with its one-pixel spacing) at item PictureNo.
    void Build(int paragraphsBefore = 0) {
        for (int i = 0; i < paragraphsBefore; ++i)
            Edit->AppendTextParagraph("line", 0, 0);
        Edit->AppendTextParagraph("ab", 0, 0);
        PictureNo = Edit->GetItemCount();
        Edit->AppendPicture("p", std::make_unique<TBitmap>(40, 20), -1);
        Show();
    }
    TRVGraphicItemInfo* Picture() {
        return static_cast<TRVGraphicItemInfo*>(Data()->GetItem(PictureNo));
    }
    // Client point of a handle (or of the picture's middle for -1).
    TPoint At(int handle) {
        TPoint p;
        if (handle < 0) {
            const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(PictureNo)];
            p = TPoint{d->Left + d->Width / 2, d->Top + d->Height / 2};
        } else {
            p = Data()->Resizer->HandlePos(handle);
        }
        return TPoint{p.X - Data()->GetHScrollPos(), p.Y - Data()->GetVScrollPos()};
    }
    void ClickPicture() {
        const TPoint p = At(-1);
        testing::Click(Edit, p.X, p.Y);
        ASSERT_NE(Data()->Resizer, nullptr);
    }
    int Width() { return Picture()->GetImageWidth(Style); }
    int Height() { return Picture()->GetImageHeight(Style); }

    int PictureNo = -1;
};

TEST_F(EditResizeTest, AClickSelectsThePictureAndShowsHandlesInsteadOfTheCaret) {
    Build();
    EXPECT_EQ(Data()->Resizer, nullptr);
    ClickPicture();
    int si, so, ei, eo;
    Data()->GetSelectionBounds(si, so, ei, eo, true);
    EXPECT_EQ(si, PictureNo);
    EXPECT_EQ(so, 0);
    EXPECT_EQ(eo, 1);
    EXPECT_FALSE(testing::Caret().Shown());
    // The handles are painted over the picture.
    const TPoint h = At(2);
    EXPECT_EQ(testing::PixelAt(Edit, h.X - 3, h.Y - 3), 0u);
    // A click on the text drops them.
    testing::Click(Edit, 6, 10);
    EXPECT_EQ(Data()->Resizer, nullptr);
    EXPECT_TRUE(testing::Caret().Shown());
    // No resizing with the option, nor in a read-only editor.
    Edit->EditorOptions.Include(TRVEditorOption::rvoNoImageResize);
    testing::Click(Edit, At(-1).X, At(-1).Y);
    EXPECT_EQ(Data()->Resizer, nullptr);
}

TEST_F(EditResizeTest, HandlesSetTheCursorWithinThreePixels) {
    Build();
    ClickPicture();
    const TPoint h2 = At(2), h1 = At(1), h5 = At(5);
    testing::MoveMouse(Edit, h2.X + 3, h2.Y - 3);
    EXPECT_EQ(Edit->Cursor(), crSizeNWSE);
    testing::MoveMouse(Edit, h1.X, h1.Y);
    EXPECT_EQ(Edit->Cursor(), crSizeNESW);
    testing::MoveMouse(Edit, h5.X - 2, h5.Y);
    EXPECT_EQ(Edit->Cursor(), crSizeWE);
    testing::MoveMouse(Edit, h2.X + 4, h2.Y + 4);
    EXPECT_EQ(Edit->Cursor(), crIBeam);
    // A press 4 pixels away starts no resize.
    testing::DragMouse(Edit, TPoint{h2.X + 4, h2.Y + 4}, TPoint{h2.X + 40, h2.Y + 40});
    EXPECT_EQ(Width(), 40);
    EXPECT_FALSE(Edit->CanUndo());
}

TEST_F(EditResizeTest, DraggingACornerResizesProportionallyAsOneUndoStep) {
    Build();
    ClickPicture();
    const TPoint h = At(2);
    // Pressed 3 pixels off the handle: still grabbed.
    testing::DragMouse(Edit, TPoint{h.X + 3, h.Y + 3}, TPoint{h.X + 43, h.Y + 3});
    EXPECT_EQ(Width(), 80);
    EXPECT_EQ(Height(), 40);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(PictureNo)];
    EXPECT_EQ(d->Width, 82);
    ASSERT_TRUE(Edit->CanUndo());
    Edit->Undo();
    EXPECT_EQ(Width(), 40);
    EXPECT_EQ(Height(), 20);
    EXPECT_FALSE(Edit->CanUndo());
    Edit->Redo();
    EXPECT_EQ(Width(), 80);
}

TEST_F(EditResizeTest, TinyDragsGiveAOnePixelPicture) {
    Build();
    ClickPicture();
    const TPoint h = At(5);
    testing::DragMouse(Edit, h, TPoint{h.X - 200, h.Y});
    EXPECT_EQ(Width(), 1);
    EXPECT_EQ(Height(), 20);
}

TEST_F(EditResizeTest, EscapeDuringADragKeepsTheSizeAndRecordsNothing) {
    Build();
    ClickPicture();
    const TPoint h = At(6);
    testing::MouseDown(Edit, h.X, h.Y);
    EXPECT_EQ(Screen->Cursor(), crSizeNS);
    testing::MoveMouse(Edit, h.X, h.Y + 30);
    testing::PressKey(VK_ESCAPE);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    testing::MouseUp(Edit, h.X, h.Y + 30);
    EXPECT_EQ(Height(), 20);
    EXPECT_FALSE(Edit->CanUndo());
    EXPECT_NE(Data()->Resizer, nullptr);
}

TEST_F(EditResizeTest, ARefusedResizeChangesNothing) {
    Build();
    ClickPicture();
    Edit->OnChanging = [](TCustomRichViewEdit*, bool& canEdit) { canEdit = false; };
    const TPoint h = At(5);
    testing::DragMouse(Edit, h, TPoint{h.X + 30, h.Y});
    EXPECT_EQ(Width(), 40);
    EXPECT_FALSE(Edit->CanUndo());
    EXPECT_EQ(Data()->UndoList->GroupModeLevel, 0);
    EXPECT_FALSE(Edit->Modified);
}

TEST_F(EditResizeTest, HandlesAreHitInAScrolledView) {
    Build(30);
    Edit->ScrollToPixelY(Data()->DocumentHeight);
    testing::Pump();
    ASSERT_GT(Data()->GetVScrollPos(), 100);
    ClickPicture();
    const TPoint h = At(5);
    testing::DragMouse(Edit, h, TPoint{h.X + 20, h.Y});
    EXPECT_EQ(Width(), 60);
    EXPECT_TRUE(Edit->CanUndo());
}

TEST_F(EditResizeTest, AControlIsResizedWithHandlesOutsideIt) {
    Edit->AppendTextParagraph("ab", 0, 0);
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 30, 20);
    Data()->AddControlItem("panel", TRVComponentPtr(panel), -1, TRVVAlign::rvvaBaseline);
    PictureNo = 1;
    testing::ShowForm(Form);
    Edit->Format();
    Edit->SetFocus();
    testing::Pump();
    Data()->SelectRange(2, 1, false);
    Data()->CaretToSelectionEnd();
    ASSERT_NE(Data()->Resizer, nullptr);
    EXPECT_TRUE(Data()->Resizer->IsControl);
    const TRVDrawLineInfo* d = Data()->DrawItems[Data()->GetFirstDrawItemNo(1)];
    // The bottom-right handle stands 3 pixels outside the control's box.
    EXPECT_EQ(Data()->Resizer->HandlePos(2).X, d->Left + d->Width + 3);
    const TPoint h = At(5);
    testing::DragMouse(Edit, h, TPoint{h.X + 10, h.Y});
    EXPECT_EQ(panel->Width(), 40);
    EXPECT_EQ(panel->Height(), 20);
    Edit->Undo();
    EXPECT_EQ(panel->Width(), 30);
}

} // namespace
} // namespace epc
