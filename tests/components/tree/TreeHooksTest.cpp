// Column spanning in the hit test, a drag leaving the tree, the header's parts and rectangle,
// the standard edit actions, rendering of foreign formats and the reading order.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TreeTestSupport.h"
#include "components/tree/VTDataTransfer.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/ActnList.h"
#include "platform/core/ScopeGuard.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Window.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;

namespace {

// Texts per column: "wide text" in column 0, nothing in 1, "x" in 2.
class TCellsTree : public TVirtualStringTree {
public:
    explicit TCellsTree(TComponent* owner) : TVirtualStringTree(owner) {
        OnGetText = [](TBaseVirtualTree*, PVirtualNode, TColumnIndex column, TVSTTextType,
                       std::u16string& text) {
            text = column == 0 ? u"wide text" : column == 2 ? u"x" : u"";
        };
    }
};

struct HooksFixture : ::testing::Test {
    TPlatformContext context;
    TForm* form = nullptr;
    TCellsTree* a = nullptr;
    TCellsTree* b = nullptr;
    void SetUp() override {
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 420, 200);
        a = new TCellsTree(form);
        b = new TCellsTree(form);
        for (TCellsTree* t : {a, b}) {
            t->SetParent(form);
            t->SetBorderStyle(bsNone);
            t->SetRootNodeCount(3);
        }
        a->SetBounds(0, 0, 200, 200);
        b->SetBounds(220, 0, 200, 200);
        ua::ShowForm(form);
    }
    void TearDown() override { FreeComponent(form); }
    void AddColumns(TBaseVirtualTree* t) {
        for (int i = 0; i < 3; ++i)
            t->Header()->Columns()->Add()->SetWidth(60);
        t->Header()->SetOptions(t->Header()->Options() | hoVisible);
    }
};

TEST_F(HooksFixture, EmptyCellsBelongToTheTextSpanningIntoThemWithAutoSpan) {
    AddColumns(a);
    auto columnAt = [&](int x) { return a->HitTestAt(x, 9, true).HitColumn; };
    EXPECT_EQ(columnAt(90), 1);
    a->TreeOptions()->SetAutoOptions(a->TreeOptions()->AutoOptions() | toAutoSpanColumns);
    EXPECT_EQ(columnAt(90), 0);
    EXPECT_EQ(columnAt(150), 2);
    EXPECT_EQ(columnAt(20), 0);
    // With column 1 shown first, nothing lies left of it to span from.
    a->Header()->Columns()->Items(1)->SetPosition(0);
    EXPECT_EQ(columnAt(20), 1);
    // Below the last row there is no node and no spanning.
    EXPECT_EQ(a->HitTestAt(90, 120, true).HitPositions, TBaseVirtualTree::hiNowhere);
}

TEST_F(HooksFixture, LeavingFrameworkDragTellsTheTargetWithoutSource) {
    a->SetDragType(TVTDragType::dtVCL);
    a->OnDragAllowed = [](TBaseVirtualTree*, PVirtualNode, TColumnIndex, bool& allowed) {
        allowed = true;
    };
    std::vector<std::pair<TObject*, TDragState>> seen;
    b->OnDragOver = [&](TBaseVirtualTree*, TObject* source, TShiftState, TDragState state, TPoint,
                        TVTDropMode, uint32_t&, bool& accept) {
        seen.push_back({source, state});
        accept = true;
    };
    const TPoint start(26, 9);
    ua::MouseDown(a, start.X, start.Y);
    for (int x = 40; x <= 300; x += 40)
        ua::MoveMouse(a, x, 30);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front().first, a);
    EXPECT_EQ(seen.front().second, dsDragEnter);
    EXPECT_NE(b->DropTargetNode(), nullptr);
    ua::MoveMouse(a, 100, 30); // back over the source
    ua::MouseUp(a, 100, 30);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.back().first, nullptr);
    EXPECT_EQ(seen.back().second, dsDragLeave);
    EXPECT_EQ(b->DropTargetNode(), nullptr);

    // The drop-target side told directly.
    seen.clear();
    uint32_t effect = DROPEFFECT_COPY;
    EXPECT_TRUE(b->DragEnter(a, {}, TPoint(30, 9), effect));
    EXPECT_EQ(b->DropTargetNode(), b->FirstNode());
    b->DragLeave();
    EXPECT_EQ(b->DropTargetNode(), nullptr);
    EXPECT_EQ(seen.back(), std::make_pair(static_cast<TObject*>(nullptr), dsDragLeave));
}

TEST_F(HooksFixture, HeaderPartsAndRectangle) {
    AddColumns(a);
    a->Header()->SetHeight(20);
    std::vector<TColumnIndex> painted;
    a->OnHeaderDrawParts = [&](TVTHeader*, const THeaderPaintInfo& info) {
        painted.push_back(info.Column->Index());
        info.TargetCanvas->Brush()->SetColor(clRed);
        info.TargetCanvas->FillRect(
            TRect(info.PaintRectangle.Left + 2, 4, info.PaintRectangle.Left + 6, 8));
    };
    a->SetBorderStyle(bsSingle);
    a->SetCtl3D(true);
    ua::Pump();
    RedrawWindow(a->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    ua::Pump();
    EXPECT_EQ(painted.size() % 3, 0u);
    ASSERT_FALSE(painted.empty());
    const TRect r = a->UpdateHeaderRect();
    const intptr_t exStyle = GetWindowLong(a->Handle(), GWL_EXSTYLE);
    const int frame = (exStyle & WS_EX_CLIENTEDGE) ? 2 : 1;
    EXPECT_EQ(r, TRect(frame, frame, a->Width() - frame, frame + 20));
    EXPECT_EQ(a->HeaderRect(), r);
    // The handler's marks sit in the header, where the rectangle says.
    const TWindowPixels pixels = ua::WindowPixels(a);
    EXPECT_EQ(pixels.Color(r.Left + 3, r.Top + 5), RGB(255, 0, 0));
    EXPECT_EQ(pixels.Color(r.Left + 60 + 3, r.Top + 5), RGB(255, 0, 0));
    a->Header()->SetOptions(a->Header()->Options() - hoVisible);
    EXPECT_EQ(a->UpdateHeaderRect().Height(), 0);
}

TEST_F(HooksFixture, StandardEditActionsActOnTheTree) {
    TEditCut cut(nullptr);
    TEditCopy copy(nullptr);
    TEditPaste paste(nullptr);
    TEditDelete del(nullptr);
    TEditSelectAll all(nullptr);
    TAction other(nullptr);
    EXPECT_FALSE(a->UpdateAction(&other));
    EXPECT_FALSE(a->ExecuteAction(&other));
    for (TEditAction* action : std::initializer_list<TEditAction*>{&cut, &copy, &paste, &del, &all})
        EXPECT_TRUE(a->UpdateAction(action));
    EXPECT_FALSE(cut.Enabled());
    EXPECT_FALSE(copy.Enabled());
    EXPECT_FALSE(del.Enabled());
    EXPECT_TRUE(paste.Enabled());
    EXPECT_FALSE(all.Enabled()); // one node at a time
    a->TreeOptions()->SetSelectionOptions({toMultiSelect});
    a->UpdateAction(&all);
    EXPECT_TRUE(all.Enabled());
    EXPECT_TRUE(a->ExecuteAction(&all));
    EXPECT_EQ(a->SelectedCount(), 3u);
    a->UpdateAction(&all);
    EXPECT_FALSE(all.Enabled());
    a->UpdateAction(&cut);
    EXPECT_TRUE(cut.Enabled());
    EXPECT_TRUE(a->ExecuteAction(&copy));
    EXPECT_TRUE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));
    b->SetFocusedNode(b->FirstNode());
    b->SetDefaultPasteMode(TVTNodeAttachMode::amInsertAfter);
    EXPECT_TRUE(b->ExecuteAction(&paste));
    EXPECT_EQ(b->RootNodeCount(), 6u);
    a->TreeOptions()->SetMiscOptions(a->TreeOptions()->MiscOptions() | toReadOnly);
    for (TEditAction* action : std::initializer_list<TEditAction*>{&cut, &paste, &del})
        a->UpdateAction(action);
    EXPECT_FALSE(cut.Enabled());
    EXPECT_FALSE(paste.Enabled());
    EXPECT_FALSE(del.Enabled());
    a->TreeOptions()->SetMiscOptions(a->TreeOptions()->MiscOptions() - toReadOnly);
    EXPECT_TRUE(a->ExecuteAction(&del));
    EXPECT_EQ(a->RootNodeCount(), 0u);
}

// An edit action without a handler of its own acts on the tree that has the focus.
TEST_F(HooksFixture, EditActionsReachTheFocusedTree) {
    TEditCopy copy(nullptr);
    TEditPaste paste(nullptr);
    a->SetFocus();
    // On the label (an empty text without columns).
    ua::Click(a, 25, 9);
    ASSERT_EQ(a->SelectedCount(), 1u);
    ASSERT_TRUE(copy.Update());
    EXPECT_TRUE(copy.Enabled());
    EXPECT_TRUE(copy.Execute());
    EXPECT_TRUE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));
    ua::Click(b, 25, 9);
    ASSERT_TRUE(b->Focused());
    EXPECT_TRUE(paste.Execute());
    EXPECT_EQ(b->RootNodeCount(), 3u);
    EXPECT_EQ(b->TotalCount(), 4u); // a child of the focused node
    // A handler of the action's own comes first.
    int ran = 0;
    paste.OnExecute = [&](TObject*) { ++ran; };
    EXPECT_TRUE(paste.Execute());
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(b->TotalCount(), 4u);
}

TEST_F(HooksFixture, ForeignFormatsGoToTheRenderEvent) {
    FORMATETC format{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    TBaseVirtualTree plain(nullptr);
    EXPECT_EQ(plain.DoRenderOLEData(format, medium, true), E_FAIL);
    int calls = 0;
    plain.OnRenderOLEData = [&](TBaseVirtualTree*, const FORMATETC& f, STGMEDIUM&,
                                bool forClipboard, int32_t& result) {
        ++calls;
        EXPECT_EQ(f.cfFormat, CF_TEXT);
        EXPECT_FALSE(forClipboard);
        result = S_OK;
    };
    EXPECT_EQ(plain.RenderOLEData(format, medium, false), S_OK);
    EXPECT_EQ(calls, 1);
}

TEST_F(HooksFixture, ReadingOrderMakesTheWindowAnew) {
    HWND before = a->Handle();
    EXPECT_EQ(GetWindowLong(before, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR, 0);
    a->SetBiDiMode(bdRightToLeft);
    EXPECT_NE(GetWindowLong(a->Handle(), GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR, 0);
    // The same mode again changes nothing.
    HWND now = a->Handle();
    a->SetBiDiMode(bdRightToLeft);
    EXPECT_EQ(a->Handle(), now);
}

TEST(StringTreeOlderForms, StringOptionsOfOlderFormsAreRead) {
    TVirtualStringTree tree(nullptr);
    tree.ReadOldStringOptions({"soShowStaticText", "soUnknown"});
    EXPECT_EQ(tree.TreeOptions()->StringOptions(),
              TVTStringOptions{TVTStringOption::soShowStaticText});
    tree.ReadOldStringOptions({});
    EXPECT_TRUE(tree.TreeOptions()->StringOptions().Empty());
    EXPECT_EQ(int(TOldVTStringOption::soShowStaticText), 1);
}

} // namespace
