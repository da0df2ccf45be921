// Focus notifications, the focused column, re-initialising nodes, and the clipboard after a
// tree is cleared, with input through window messages.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TreeTestSupport.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/core/ScopeGuard.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Window.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;

namespace {

// Nodes carry an int32 tag, saved and loaded with them; the text shows the tag.
class TTagTree : public TVirtualStringTree {
public:
    explicit TTagTree(TComponent* owner) : TVirtualStringTree(owner) {
        SetNodeDataSize(4);
        SetParent(static_cast<TWinControl*>(owner));
        SetBorderStyle(bsNone);
        OnGetText = [](TBaseVirtualTree* t, PVirtualNode n, TColumnIndex, TVSTTextType,
                       std::u16string& text) {
            const std::string s = std::to_string(*t->NodeData<int32_t>(n));
            text.assign(s.begin(), s.end());
        };
        OnSaveNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            s.WriteInt32(*t->NodeData<int32_t>(n));
        };
        OnLoadNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            *t->NodeData<int32_t>(n) = s.ReadInt32();
        };
        OnFocusChanged = [this](TBaseVirtualTree*, PVirtualNode node, TColumnIndex column) {
            Focus.push_back({node, column});
        };
    }
    PVirtualNode Add(int32_t tag, PVirtualNode parent = nullptr) {
        PVirtualNode n = AddChild(parent);
        *NodeData<int32_t>(n) = tag;
        return n;
    }
    std::vector<int32_t> Tags() {
        std::vector<int32_t> out;
        for (PVirtualNode n = FirstNodeNoInit(); n; n = NextNodeNoInit(n))
            out.push_back(*NodeData<int32_t>(n));
        return out;
    }
    int RowMiddle(PVirtualNode node) {
        TRect r = DisplayRect(node, NoColumn, false);
        return (r.Top + r.Bottom) / 2;
    }
    std::vector<std::pair<PVirtualNode, TColumnIndex>> Focus;
};

struct TFocusFixture : ::testing::Test {
    TPlatformContext context;
    TForm* form = nullptr;
    TTagTree* a = nullptr;
    TTagTree* b = nullptr;
    void SetUp() override {
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 420, 200);
        a = new TTagTree(form);
        b = new TTagTree(form);
        a->SetBounds(0, 0, 200, 200);
        b->SetBounds(220, 0, 200, 200);
        ua::ShowForm(form);
    }
    void TearDown() override { FreeComponent(form); }
    static void Send(TWinControl* control, UINT msg) { SendMessage(control->Handle(), msg, 0, 0); }
};

TEST_F(TFocusFixture, ClearingTheTreeTakesItsCopyOffTheClipboard) {
    PVirtualNode copied = a->Add(1);
    a->Add(2);
    b->Add(100);
    a->SetFocus();
    ua::Click(a, 34, a->RowMiddle(copied));
    ASSERT_TRUE(a->Selected(copied));
    Send(a, WM_COPY);
    ASSERT_TRUE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));
    ASSERT_GT(CountClipboardFormats(), 0);

    a->ClearNodes();
    EXPECT_FALSE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));
    EXPECT_EQ(CountClipboardFormats(), 0);
    // A new node, selected: the old copy must not turn into it.
    PVirtualNode fresh = a->Add(7);
    ua::Wait(1000); // not a double click
    ua::Click(a, 34, a->RowMiddle(fresh));
    ASSERT_TRUE(a->Selected(fresh));
    b->SetFocus();
    b->SetFocusedNode(b->FirstNode());
    Send(b, WM_PASTE);
    EXPECT_EQ(b->Tags(), (std::vector<int32_t>{100}));

    // A cut pending in the cleared tree goes the same way; a copy taken after it stays.
    Send(a, WM_CUT);
    ASSERT_TRUE(a->TreeStates().Contains(TVirtualTreeState::tsCutPending));
    a->ClearNodes();
    EXPECT_EQ(CountClipboardFormats(), 0);
    b->AddToSelection(b->FirstNode());
    Send(b, WM_COPY);
    a->ClearNodes();
    EXPECT_GT(CountClipboardFormats(), 0);
}

TEST_F(TFocusFixture, FocusChangesAreReportedFromMouseKeysAndCode) {
    PVirtualNode n1 = a->Add(1), n2 = a->Add(2), n3 = a->Add(3);
    a->SetFocus();
    ua::Click(a, 34, a->RowMiddle(n2));
    ASSERT_EQ(a->Focus.size(), 1u);
    EXPECT_EQ(a->Focus.back().first, n2);
    ua::PressKey(VK_DOWN);
    ASSERT_EQ(a->Focus.size(), 2u);
    EXPECT_EQ(a->Focus.back().first, n3);
    ua::PressKey(VK_HOME);
    ASSERT_EQ(a->Focus.size(), 3u);
    EXPECT_EQ(a->Focus.back().first, n1);
    a->SetFocusedNode(n3);
    ASSERT_EQ(a->Focus.size(), 4u);
    EXPECT_EQ(a->Focus.back().first, n3);
    // A click on the focused node moves nothing.
    ua::Click(a, 34, a->RowMiddle(n3));
    EXPECT_EQ(a->Focus.size(), 4u);
    // A refusal keeps the focus where it was, unreported.
    a->OnFocusChanging = [](TBaseVirtualTree*, PVirtualNode, PVirtualNode, TColumnIndex,
                            TColumnIndex, bool& allowed) { allowed = false; };
    ua::PressKey(VK_UP);
    EXPECT_EQ(a->FocusedNode(), n3);
    EXPECT_EQ(a->Focus.size(), 4u);
}

TEST_F(TFocusFixture, FocusedColumnFollowsColumnsAndEditing) {
    PVirtualNode n1 = a->Add(1), n2 = a->Add(2);
    EXPECT_EQ(a->FocusedColumn(), NoColumn);
    a->Header()->Columns()->Add()->SetWidth(80);
    a->Header()->Columns()->Add()->SetWidth(80);
    a->Header()->SetOptions(a->Header()->Options() | hoVisible);
    // A node focused while no column is focused takes the first column.
    a->SetFocusedNode(n1);
    EXPECT_EQ(a->FocusedColumn(), 0);
    EXPECT_EQ(a->Focus.back(), std::make_pair(n1, TColumnIndex(0)));

    a->TreeOptions()->SetMiscOptions(a->TreeOptions()->MiscOptions() | toEditable);
    a->SetFocus();
    ASSERT_TRUE(a->EditNode(n2, 1));
    EXPECT_EQ(a->FocusedNode(), n2);
    EXPECT_EQ(a->FocusedColumn(), 1);
    EXPECT_EQ(a->EditColumn(), 1);
    EXPECT_EQ(a->Focus.back(), std::make_pair(n2, TColumnIndex(1)));
    ua::PressKey(VK_ESCAPE);
    EXPECT_FALSE(a->IsEditing());
    // A column the focus may not move to is not edited.
    a->OnFocusChanging = [](TBaseVirtualTree*, PVirtualNode, PVirtualNode, TColumnIndex oldColumn,
                            TColumnIndex newColumn,
                            bool& allowed) { allowed = oldColumn == newColumn; };
    EXPECT_FALSE(a->EditNode(n2, 0));
    EXPECT_EQ(a->FocusedColumn(), 1);
    EXPECT_FALSE(a->IsEditing());
}

TEST_F(TFocusFixture, ReinitialisingKeepsWhatTheInitNotificationAnswers) {
    int calls = 0;
    a->OnInitNode = [&calls](TBaseVirtualTree*, PVirtualNode, PVirtualNode,
                             TVirtualNodeInitStates& states) {
        ++calls;
        if (calls > 1) {
            states.Include(TVirtualNodeInitState::ivsDisabled);
            states.Include(TVirtualNodeInitState::ivsMultiline);
        }
    };
    PVirtualNode n = a->Add(1);
    a->InitNode(n);
    ASSERT_EQ(calls, 1);
    EXPECT_FALSE(n->States.Contains(nsDisabled));
    n->States.Include(nsCutOrCopy);
    a->ReinitNode(n, false);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(n->States.Contains(nsInitialized));
    EXPECT_TRUE(n->States.Contains(nsDisabled));
    EXPECT_TRUE(n->States.Contains(nsMultiline));
    EXPECT_FALSE(n->States.Contains(nsCutOrCopy));
    // A node never initialised is left for its first touch.
    PVirtualNode fresh = a->Add(2);
    fresh->States.Exclude(nsInitialized);
    a->ReinitNode(fresh, false);
    EXPECT_EQ(calls, 2);
}

} // namespace
