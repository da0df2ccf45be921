#include <gtest/gtest.h>

#include <cstring>

#include "components/tree/BaseVirtualTree.h"

using namespace epc;

namespace {

void PutInt(TMemoryStream& s, int32_t v) {
    s.WriteBuffer(&v, 4);
}
void PutWide(TMemoryStream& s, const std::u16string& t) {
    PutInt(s, int32_t(t.size()));
    if (!t.empty()) s.WriteBuffer(t.data(), int64_t(t.size() * 2));
}

// A column record of the given stored version.
void PutColumn(TMemoryStream& s, int version, const std::u16string& text, int width,
               uint32_t options) {
    PutWide(s, text);
    PutWide(s, u"");
    for (int32_t v : {width, 10, 10000, 0, -1, 0, 4, 4, 0, int32_t(options)})
        PutInt(s, v);
    if (version >= 1) {
        PutInt(s, 7); // tag
        PutInt(s, 2); // centred
    }
    if (version >= 2) PutInt(s, int32_t(clRed));
}

void PutHeaderTail(TMemoryStream& s, int version) {
    for (int32_t v : {-1, int32_t(clBtnFace), 21, 0, 0, int32_t(clBlack), -11})
        PutInt(s, v);
    PutInt(s, 4);
    s.WriteBuffer("Test", 4);
    PutInt(s, 0);
    PutInt(s, 0);
    if (version >= 1) {
        PutInt(s, 1);
        PutInt(s, 0);
        PutInt(s, 1);
    }
}

} // namespace

TEST(TreeHeader, ClassReferencesMakeHeaderAndColumns) {
    TBaseVirtualTree tree(nullptr);
    ASSERT_TRUE(tree.GetHeaderClass());
    ASSERT_TRUE(tree.GetColumnClass());
    ASSERT_NE(tree.Header(), nullptr);
    EXPECT_EQ(tree.Header()->Height(), 17);
    EXPECT_EQ(tree.Header()->MainColumn(), NoColumn);
    EXPECT_EQ(tree.MainColumn(), NoColumn);
    tree.Header()->Columns()->Add();
    EXPECT_EQ(tree.MainColumn(), 0);
    EXPECT_EQ(tree.Header()->DragImage()->Transparency(), 140);
    EXPECT_EQ(tree.Header()->DragImage()->PreBlendBias(), 206);
}

TEST(TreeHeader, ColumnClampsAndDisplayName) {
    TBaseVirtualTree tree(nullptr);
    auto* columns = tree.Header()->Columns();
    TVirtualTreeColumn* c = columns->Add();
    c->SetWidth(5);
    EXPECT_EQ(c->Width(), 10);
    c->SetMaxWidth(20000);
    EXPECT_EQ(c->MaxWidth(), 10000);
    c->SetWidth(300);
    c->SetMaxWidth(100);
    EXPECT_EQ(c->Width(), 100);
    c->SetMinWidth(-3);
    EXPECT_EQ(c->MinWidth(), 0);
    c->SetMinWidth(150);
    EXPECT_EQ(c->MinWidth(), 100);
    for (int i = 0; i < 3; ++i)
        columns->Add();
    columns->Items(3)->SetText(u"ab\u0416");
    EXPECT_EQ(columns->Items(3)->DisplayName(), "Column 3");
    columns->Items(2)->SetText(u"Name");
    EXPECT_EQ(columns->Items(2)->DisplayName(), "Name");
    EXPECT_EQ(columns->Items(1)->DisplayName(), "Column 1");
}

TEST(TreeHeader, PositionsAndLeftEdges) {
    TBaseVirtualTree tree(nullptr);
    auto* columns = tree.Header()->Columns();
    for (int w : {30, 40, 50})
        columns->Add()->SetWidth(w);
    EXPECT_EQ(columns->Items(2)->Left(), 70);
    columns->Items(2)->SetPosition(0);
    EXPECT_EQ(columns->PositionToIndex(), (std::vector<TColumnIndex>{2, 0, 1}));
    EXPECT_EQ(columns->Items(0)->Left(), 50);
    EXPECT_EQ(columns->Items(1)->Left(), 80);
    columns->Items(0)->SetOptions(columns->Items(0)->Options() - coVisible);
    EXPECT_EQ(columns->Items(1)->Left(), 50);
    EXPECT_EQ(columns->TotalWidth(), 90);
    EXPECT_EQ(columns->GetFirstVisibleColumn(), 2);
    EXPECT_EQ(columns->GetNextVisibleColumn(2), 1);
    EXPECT_EQ(columns->GetNextVisibleColumn(1), InvalidColumn);
    EXPECT_EQ(columns->GetPreviousVisibleColumn(2), InvalidColumn);
    EXPECT_EQ(columns->ColumnFromPosition(55), 1);
    EXPECT_EQ(columns->ColumnFromPosition(200), NoColumn);
    // Positions past the end are clamped to the last.
    columns->Items(2)->SetPosition(99);
    EXPECT_EQ(columns->Items(2)->Position(), 2u);
}

TEST(TreeHeader, DeletingAColumnResetsIndices) {
    TBaseVirtualTree tree(nullptr);
    auto* columns = tree.Header()->Columns();
    for (int i = 0; i < 3; ++i)
        columns->Add();
    tree.Header()->SetMainColumn(2);
    tree.Header()->SetSortColumn(2);
    tree.Header()->SetAutoSizeIndex(2);
    columns->Delete(2);
    EXPECT_EQ(tree.Header()->MainColumn(), 0);
    EXPECT_EQ(tree.Header()->SortColumn(), NoColumn);
    EXPECT_EQ(tree.Header()->AutoSizeIndex(), NoColumn);
    EXPECT_EQ(columns->PositionToIndex().size(), 2u);
}

TEST(TreeHeader, DeletingAColumnShiftsTheIndicesAfterIt) {
    TBaseVirtualTree tree(nullptr);
    TVTHeader* header = tree.Header();
    auto* columns = header->Columns();
    for (int i = 0; i < 4; ++i)
        columns->Add();
    header->SetMainColumn(2);
    header->SetSortColumn(3);
    header->SetAutoSizeIndex(2);
    columns->HoverIndex = 3;
    columns->ClickIndex = 0;
    columns->DropTarget = 1;
    columns->Delete(1);
    // They still point at the same columns, now one place further left.
    EXPECT_EQ(header->MainColumn(), 1);
    EXPECT_EQ(header->SortColumn(), 2);
    EXPECT_EQ(header->AutoSizeIndex(), 1);
    EXPECT_EQ(columns->HoverIndex, 2);
    EXPECT_EQ(columns->ClickIndex, 0);
    EXPECT_EQ(columns->DropTarget, NoColumn); // it pointed at the deleted column
    // Deleting the main column makes the first one the main column.
    columns->Delete(1);
    EXPECT_EQ(header->MainColumn(), 0);
    EXPECT_EQ(header->SortColumn(), 1);
    EXPECT_EQ(header->AutoSizeIndex(), NoColumn);
    columns->Clear();
    EXPECT_EQ(header->MainColumn(), NoColumn);
    EXPECT_EQ(header->SortColumn(), NoColumn);
}

TEST(TreeHeader, AutoSizeColumnTakesTheRest) {
    TBaseVirtualTree tree(nullptr);
    tree.SetBounds(0, 0, 300, 100);
    auto* columns = tree.Header()->Columns();
    for (int w : {60, 70, 80})
        columns->Add()->SetWidth(w);
    tree.Header()->SetAutoSizeIndex(1);
    int resized = -5;
    tree.OnColumnResize = [&](TVTHeader*, TColumnIndex column) { resized = column; };
    tree.Header()->SetOptions(tree.Header()->Options() | hoAutoResize);
    EXPECT_EQ(columns->Items(1)->Width(), tree.ClientWidth() - 140);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(columns->Items(2)->Left(), tree.ClientWidth() - 80);
}

TEST(TreeHeader, RestoreColumnsGoesBackToPreviousWidth) {
    TBaseVirtualTree tree(nullptr);
    TVirtualTreeColumn* c = tree.Header()->Columns()->Add();
    c->SetWidth(80);
    c->SetWidth(120);
    tree.Header()->RestoreColumns();
    EXPECT_EQ(c->Width(), 80);
}

TEST(TreeHeaderStream, RoundTripsEveryProperty) {
    TBaseVirtualTree source(nullptr), target(nullptr);
    TVTHeader* h = source.Header();
    for (int i = 0; i < 3; ++i) {
        TVirtualTreeColumn* c = h->Columns()->Add();
        c->SetText(u"C\u0416" + std::u16string(1, char16_t(u'0' + i)));
        c->SetHint(u"hint");
        c->SetMaxWidth(500 + i);
        c->SetMinWidth(20 + i);
        c->SetWidth(60 + i);
        c->SetImageIndex(i);
        c->SetLayout(TVTHeaderColumnLayout::blGlyphRight);
        c->SetMargin(2 + i);
        c->SetSpacing(3 + i);
        c->SetTag(100 + i);
        c->SetAlignment(taCenter);
        c->SetColor(clYellow);
        c->SetBiDiMode(bdRightToLeft);
        c->SetStyle(TVirtualTreeColumnStyle::vsOwnerDraw);
        c->SetOptions(c->Options() - coDraggable);
    }
    h->Columns()->Items(2)->SetPosition(0);
    h->SetHeight(23);
    h->SetBackground(clGreen);
    h->SetStyle(TVTHeaderStyle::hsPlates);
    h->SetAutoSizeIndex(1);
    h->SetMainColumn(1);
    h->SetSortColumn(2);
    h->SetSortDirection(TSortDirection::sdDescending);
    h->Font()->SetName("Fixed Metrics Test");
    h->Font()->SetHeight(-16);
    h->Font()->SetColor(clNavy);
    TMemoryStream stream;
    h->SaveToStream(stream);
    stream.SetPosition(0);
    target.Header()->LoadFromStream(stream);
    TVTHeader* t = target.Header();
    ASSERT_EQ(t->Columns()->Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(t->Columns()->Items(i)->Equals(*h->Columns()->Items(i))) << i;
    EXPECT_EQ(t->Columns()->PositionToIndex(), (std::vector<TColumnIndex>{2, 0, 1}));
    EXPECT_EQ(t->Height(), 23);
    EXPECT_EQ(t->Background(), clGreen);
    EXPECT_EQ(t->Style(), TVTHeaderStyle::hsPlates);
    EXPECT_EQ(t->AutoSizeIndex(), 1);
    EXPECT_EQ(t->MainColumn(), 1);
    EXPECT_EQ(t->SortColumn(), 2);
    EXPECT_EQ(t->SortDirection(), TSortDirection::sdDescending);
    EXPECT_EQ(t->Font()->Name(), "Fixed Metrics Test");
    EXPECT_EQ(t->Font()->Height(), -16);
    EXPECT_EQ(t->Font()->Color(), clNavy);
    EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(TreeHeaderStream, ReadsOlderLayouts) {
    for (int version : {-1, 0, 1, 2}) {
        TMemoryStream s;
        if (version >= 0) {
            PutInt(s, -1);
            PutInt(s, version);
        }
        PutInt(s, 2);
        // Old options with bit 4 set (coResizable's old place) and bit 3.
        const uint32_t stored = version <= 1 ? 0x18u : 0x28u;
        PutColumn(s, version, u"A", 70, stored);
        PutColumn(s, version, u"B", 80, stored);
        PutInt(s, 1);
        PutInt(s, 0);
        PutHeaderTail(s, version);
        s.SetPosition(0);
        TBaseVirtualTree tree(nullptr);
        tree.Header()->LoadFromStream(s);
        auto* columns = tree.Header()->Columns();
        ASSERT_EQ(columns->Count(), 2) << version;
        EXPECT_EQ(columns->Items(0)->Width(), 70);
        EXPECT_EQ(columns->PositionToIndex(), (std::vector<TColumnIndex>{1, 0})) << version;
        // Bits 0-3 stay, bit 4 moves to 5 for versions up to 1.
        EXPECT_EQ(columns->Items(0)->Options(), (TVTColumnOptions{coParentBidiMode, coResizable}))
            << version;
        EXPECT_EQ(columns->Items(0)->Tag(), version >= 1 ? 7 : 0);
        EXPECT_EQ(columns->Items(0)->Alignment(), version >= 1 ? taCenter : taLeftJustify);
        EXPECT_EQ(columns->Items(0)->Color(), version >= 2 ? clRed : clWindow);
        EXPECT_EQ(tree.Header()->Height(), 21);
        EXPECT_EQ(tree.Header()->MainColumn(), version >= 1 ? 1 : 0);
    }
}

TEST(TreeHeaderStream, BadStreamRaisesAndLeavesHeader) {
    TBaseVirtualTree tree(nullptr);
    tree.Header()->Columns()->Add()->SetText(u"Keep");
    tree.Header()->SetHeight(30);
    auto expectUnchanged = [&] {
        ASSERT_EQ(tree.Header()->Columns()->Count(), 1);
        EXPECT_EQ(tree.Header()->Columns()->Items(0)->Text(), u"Keep");
        EXPECT_EQ(tree.Header()->Height(), 30);
    };
    { // A huge column count in a short stream.
        TMemoryStream s;
        PutInt(s, -1);
        PutInt(s, 2);
        PutInt(s, 0x7FFFFFFF);
        s.SetPosition(0);
        EXPECT_THROW(tree.Header()->LoadFromStream(s), EReadError);
        expectUnchanged();
    }
    { // A font name longer than the stream.
        TMemoryStream s;
        PutInt(s, -1);
        PutInt(s, 2);
        PutInt(s, 1);
        PutColumn(s, 2, u"X", 70, 0xFF);
        PutInt(s, 0);
        for (int32_t v : {-1, 0, 17, 0, 0, 0, -11})
            PutInt(s, v);
        PutInt(s, 1 << 30);
        s.WriteBuffer("ab", 2);
        s.SetPosition(0);
        EXPECT_THROW(tree.Header()->LoadFromStream(s), EReadError);
        expectUnchanged();
    }
    { // A stream cut short after the columns, and a position array that repeats a column.
        TMemoryStream s;
        PutInt(s, -1);
        PutInt(s, 2);
        PutInt(s, 2);
        PutColumn(s, 2, u"X", 70, 0xFF);
        PutColumn(s, 2, u"Y", 70, 0xFF);
        PutInt(s, 0);
        PutInt(s, 0);
        PutHeaderTail(s, 2);
        s.SetPosition(0);
        EXPECT_THROW(tree.Header()->LoadFromStream(s), EReadError);
        expectUnchanged();
        s.SetSize(40);
        s.SetPosition(0);
        EXPECT_THROW(tree.Header()->LoadFromStream(s), EReadError);
        expectUnchanged();
    }
}

TEST(TreeHeaderMouse, ClickResizeAndDrag) {
    TBaseVirtualTree tree(nullptr);
    TVTHeader* header = tree.Header();
    header->SetOptions(header->Options() | hoVisible | hoDblClickResize);
    auto* columns = header->Columns();
    for (int w : {50, 60, 70})
        columns->Add()->SetWidth(w);
    std::vector<TColumnIndex> clicks;
    tree.OnHeaderClick = [&](TVTHeader*, TColumnIndex column, TMouseButton, TShiftState, int, int) {
        clicks.push_back(column);
    };
    int draggedOld = -1;
    tree.OnHeaderDragged = [&](TVTHeader*, TColumnIndex, int oldPosition) {
        draggedOld = oldPosition;
    };

    // A click: pressed and released over the same column.
    EXPECT_TRUE(header->MouseDown(TPoint(70, 5), {}));
    EXPECT_EQ(columns->DownIndex, 1);
    header->MouseUp(TPoint(72, 6), {});
    EXPECT_EQ(clicks, (std::vector<TColumnIndex>{1}));
    EXPECT_EQ(columns->DownIndex, NoColumn);
    // Released over another column: no click.
    header->MouseDown(TPoint(70, 5), {});
    header->MouseUp(TPoint(71, 30), {});
    EXPECT_EQ(clicks.size(), 1u);
    // Below the header the press is not the header's.
    EXPECT_FALSE(header->MouseDown(TPoint(70, 40), {}));

    // The split cursor and a resize at the right edge of column 0 (x 50).
    EXPECT_EQ(header->CursorAt(TPoint(52, 5)), crHeaderSplit);
    EXPECT_EQ(header->CursorAt(TPoint(30, 5)), crDefault);
    header->MouseDown(TPoint(49, 5), {});
    EXPECT_EQ(header->State(), TVTHeader::TState::Tracking);
    header->MouseMove(TPoint(79, 5), {});
    header->MouseUp(TPoint(79, 5), {});
    EXPECT_EQ(columns->Items(0)->Width(), 80);
    EXPECT_EQ(columns->Items(1)->Left(), 80);
    EXPECT_TRUE(clicks.size() == 1u);

    // A drag of column 2 onto column 0 moves it to the front.
    header->MouseDown(TPoint(160, 5), {});
    header->MouseMove(TPoint(162, 5), {});
    EXPECT_EQ(header->State(), TVTHeader::TState::DragPending);
    header->MouseMove(TPoint(20, 5), {});
    EXPECT_EQ(header->State(), TVTHeader::TState::Dragging);
    EXPECT_EQ(columns->DropTarget, 0);
    header->MouseUp(TPoint(20, 5), {});
    EXPECT_EQ(columns->PositionToIndex(), (std::vector<TColumnIndex>{2, 0, 1}));
    EXPECT_EQ(draggedOld, 2);
    EXPECT_EQ(clicks.size(), 1u);

    // A refused drag stays a click; Escape gives a drag up.
    tree.OnHeaderDragging = [](TVTHeader*, TColumnIndex, bool& allowed) { allowed = false; };
    header->MouseDown(TPoint(90, 5), {});
    header->MouseMove(TPoint(10, 5), {});
    EXPECT_EQ(header->State(), TVTHeader::TState::ClickPending);
    header->CancelMouseWork();
    EXPECT_EQ(header->State(), TVTHeader::TState::Idle);
    EXPECT_EQ(columns->PositionToIndex(), (std::vector<TColumnIndex>{2, 0, 1}));
}

TEST(TreeHeaderPaint, ButtonsCaptionsAndBackground) {
    TBaseVirtualTree tree(nullptr);
    TVTHeader* header = tree.Header();
    header->Font()->SetName("Fixed Metrics Test");
    header->Font()->SetHeight(-16);
    header->Font()->SetColor(clBlack);
    header->SetBackground(clSilver);
    header->SetHeight(20);
    for (int w : {60, 40})
        header->Columns()->Add()->SetWidth(w);
    header->Columns()->Items(0)->SetText(u"ab");
    TBitmap b(150, 20, pf32bit);
    header->Columns()->PaintHeader(b.Canvas(), TRect(0, 0, 150, 20), 0);
    auto at = [&](int x, int y) {
        const uint32_t p = reinterpret_cast<uint32_t*>(b.ScanLine(y))[x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    };
    const COLORREF face = ColorToRGB(clSilver);
    // Raised edges: light top-left, dark bottom-right; the face inside.
    EXPECT_NE(at(0, 10), face);
    EXPECT_NE(at(59, 10), face);
    EXPECT_EQ(at(30, 10), face);
    // The caption starts at the margin: its first glyph cell covers x 4..11.
    int ink = 0;
    for (int x = 4; x < 20; ++x)
        for (int y = 2; y < 18; ++y)
            ink += at(x, y) == RGB(0, 0, 0);
    EXPECT_GT(ink, 10);
    // Right of the last column: the background colour.
    EXPECT_EQ(at(130, 10), face);
    EXPECT_EQ(at(130, 0), face);
}

TEST(TreeHeader, ColumnsFollowingTheTreeTakeItsReadingOrder) {
    TBaseVirtualTree tree(nullptr);
    TVirtualTreeColumn* following = tree.Header()->Columns()->Add();
    TVirtualTreeColumn* own = tree.Header()->Columns()->Add();
    own->SetBiDiMode(bdLeftToRight); // an own value ends following the tree
    own->SetBiDiMode(bdRightToLeftNoAlign);
    tree.SetBiDiMode(bdRightToLeft);
    EXPECT_EQ(following->BiDiMode(), bdRightToLeft);
    EXPECT_EQ(own->BiDiMode(), bdRightToLeftNoAlign);
}
