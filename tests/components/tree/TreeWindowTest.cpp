#include <gtest/gtest.h>

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "tests/components/tree/TreeTestSupport.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

struct WindowFixture : ::testing::Test {
    void SetUp() override {
        form = epc::testing::NewTreeForm();
        tree = new TBaseVirtualTree(form);
        tree->SetParent(form);
    }
    void TearDown() override {
        FreeComponent(form);
        epc::testing::ResetAll();
    }
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
    tree->SetSelected(tree->GetFirst(), true);
    epc::testing::Wait(50);
    tree->SetSelected(tree->GetLast(), true);
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
