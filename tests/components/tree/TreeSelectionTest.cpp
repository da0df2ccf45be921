#include "TreeTestSupport.h"
#include "platform/core/Arithmetic.h"
#include "platform/graphics/Bitmap.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

// Nodes 50 pixels wide, as a descendant that measures its labels would say.
class TWideTree : public TBaseVirtualTree {
public:
    using TBaseVirtualTree::TBaseVirtualTree;
    int DoGetNodeWidth(PVirtualNode, TColumnIndex) override { return 50; }
};

std::vector<Cardinal> SelectedIndices(TBaseVirtualTree& tree) {
    std::vector<Cardinal> result;
    for (PVirtualNode n = tree.FirstSelectedNode(); n; n = tree.NextSelectedNode(n))
        result.push_back(n->Index);
    return result;
}

} // namespace

TEST(TreeRectangleSelection, AddsRemovesAndToggles) {
    TWideTree tree(nullptr);
    auto* o = tree.TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    tree.SetRootNodeCount(6);
    // Content of top-level nodes runs from x = 18 + 4 to 72; rows are 18 high.
    tree.HandleDrawSelection(TRect(0, 0, 0, 0), TRect(10, 5, 40, 40), false);
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{0, 1, 2}));
    // Shrinking the rectangle deselects what it left.
    tree.HandleDrawSelection(TRect(10, 5, 40, 40), TRect(10, 5, 40, 20), false);
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{0, 1}));
    // Left of the content nothing is touched.
    tree.HandleDrawSelection(TRect(0, 0, 0, 0), TRect(0, 60, 15, 100), false);
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{0, 1}));
    // With the toggle modifier nodes flip.
    tree.HandleDrawSelection(TRect(0, 0, 0, 0), TRect(30, 20, 60, 60), true);
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{0, 2, 3}));
}

TEST(TreeClickSelection, RangesAndAnchor) {
    TBaseVirtualTree tree(nullptr);
    auto* o = tree.TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    tree.SetRootNodeCount(6);
    std::vector<PVirtualNode> n;
    for (PVirtualNode r = tree.FirstNode(); r; r = tree.NextSiblingOf(r))
        n.push_back(r);
    tree.HandleClickSelection(nullptr, n[1], false, false);
    EXPECT_EQ(tree.RangeAnchor(), n[1]);
    tree.HandleClickSelection(n[1], n[3], true, false); // Shift: the range replaces
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{1, 2, 3}));
    tree.HandleClickSelection(n[3], n[0], true, false);
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{0, 1}));
    tree.HandleClickSelection(n[0], n[5], false, true); // Ctrl: new anchor, toggle pending
    EXPECT_EQ(tree.RangeAnchor(), n[5]);
    EXPECT_TRUE(tree.TreeStates().Contains(TVirtualTreeState::tsToggleFocusedSelection));
    tree.HandleClickSelection(n[5], n[3], true, true); // Shift+Ctrl: the range is added
    EXPECT_EQ(SelectedIndices(tree), (std::vector<Cardinal>{0, 1, 3, 4, 5}));
}

TEST(TreeSelection, ConstraintsAndDisabledNodes) {
    TBaseVirtualTree tree(nullptr);
    auto* o = tree.TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect | toLevelSelectConstraint);
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode a1 = tree.AddChild(a);
    PVirtualNode b = tree.AddChild(nullptr);
    tree.SetDisabled(b, true);
    tree.SetSelected(a, true);
    tree.SetSelected(a1, true); // another level
    tree.SetSelected(b, true);  // disabled
    EXPECT_EQ(tree.SelectedCount(), 1u);
    // Inside an update lock removed entries wait for compaction; neither the walkers nor the
    // count see them.
    tree.LockUpdates();
    tree.SetSelected(a, false);
    EXPECT_EQ(tree.SelectedCount(), 0u);
    EXPECT_EQ(tree.FindNodeInSelection(a), -1);
    tree.UnlockUpdates();
    EXPECT_EQ(tree.SelectedCount(), 0u);
}

TEST(TreeSelection, SelectingMovesAFocusedColumnThatIsNotShown) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode n = tree.AddChild(nullptr);
    auto* columns = tree.Header()->Columns();
    for (int i = 0; i < 3; ++i)
        columns->Add();
    tree.Header()->SetMainColumn(1);
    auto hide = [&](TColumnIndex c) {
        columns->Items(c)->SetOptions(columns->Items(c)->Options() - coVisible);
    };
    tree.SetFocusedColumn(2);
    hide(2);
    tree.SetNodeSelected(n, true);
    EXPECT_TRUE(tree.Selected(n));
    EXPECT_EQ(tree.FocusedColumn(), 1); // the main column
    // With the main column hidden as well, the first visible column.
    tree.SetNodeSelected(n, false);
    EXPECT_EQ(tree.FocusedColumn(), 1); // deselecting leaves it
    hide(1);
    tree.SetNodeSelected(n, true);
    EXPECT_EQ(tree.FocusedColumn(), 0);
    // A shown focused column stays.
    tree.SetNodeSelected(n, false);
    columns->Items(2)->SetOptions(columns->Items(2)->Options() | coVisible);
    tree.SetFocusedColumn(2);
    tree.SetNodeSelected(n, true);
    EXPECT_EQ(tree.FocusedColumn(), 2);
}

TEST(TreeBackground, TilesWrapAroundThePicture) {
    TBaseVirtualTree tree(nullptr);
    TBitmap picture(4, 4, pf32bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<uint32_t*>(picture.ScanLine(y))[x] =
                0xFF000000u | uint32_t(y * 16 + x);
    TPicture holder;
    holder.SetGraphic(&picture);
    tree.SetBackground(&holder);
    tree.SetBackgroundOffsetX(1);
    tree.SetBackgroundOffsetY(2);
    TBitmap target(10, 10, pf32bit);
    tree.TileBackground(target.Canvas(), TRect(0, 0, 10, 10));
    auto at = [&](int x, int y) {
        return reinterpret_cast<uint32_t*>(target.ScanLine(y))[x] & 0xFF;
    };
    EXPECT_EQ(at(0, 0), 2u * 16 + 1);
    EXPECT_EQ(at(3, 0), 2u * 16 + 0); // wrapped to the picture's first column
    EXPECT_EQ(at(0, 2), 0u * 16 + 1); // wrapped to its first row
    EXPECT_EQ(at(9, 9), ((9 + 2) % 4) * 16u + (9 + 1) % 4);
}

TEST(TreeScrolling, TopNodeAndScale) {
    TBaseVirtualTree tree(nullptr);
    // Taller than the tree's 100 pixels, so that the third node's child can be the top row.
    tree.SetRootNodeCount(10);
    PVirtualNode last = tree.FirstNode()->NextSibling->NextSibling;
    PVirtualNode child = tree.AddChild(last);
    int scrolls = 0;
    tree.OnScroll = [&](TBaseVirtualTree*, int, int dy) { scrolls += dy; };
    tree.SetTopNode(child);
    EXPECT_TRUE(tree.Expanded(last));
    EXPECT_EQ(tree.OffsetY(), -54);
    EXPECT_EQ(scrolls, -54);
    EXPECT_EQ(tree.TopNode(), child);

    tree.ChangeScale(3, 2);
    EXPECT_EQ(tree.DefaultNodeHeight(), 18u); // only with toAutoChangeScale
    auto* o = tree.TreeOptions();
    o->SetAutoOptions(o->AutoOptions() | toAutoChangeScale);
    TVirtualTreeColumn* column = tree.Header()->Columns()->Add();
    column->SetWidth(60);
    const int fontHeight = tree.Header()->Font()->Height();
    tree.ChangeScale(3, 2);
    EXPECT_EQ(tree.DefaultNodeHeight(), 27u);
    // The header follows: its height, its font and the columns' widths.
    EXPECT_EQ(tree.Header()->Height(), 26);
    EXPECT_EQ(tree.Header()->Font()->Height(), MulDiv(fontHeight, 3, 2));
    EXPECT_EQ(column->Width(), 90);
    EXPECT_EQ(column->MinWidth(), 15);
}

TEST(TreeDispatchers, PopupMenuAsksParentsAndOtherDefaults) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode a1 = tree.AddChild(a);
    PVirtualNode a1x = tree.AddChild(a1);
    EXPECT_FALSE(tree.HasPopupMenu(a1x, NoColumn, TPoint()));
    std::vector<PVirtualNode> asked;
    auto* menu = reinterpret_cast<TPopupMenu*>(&tree); // any non-nil menu
    tree.OnGetPopupMenu = [&](TBaseVirtualTree*, PVirtualNode node, TColumnIndex, TPoint, bool&,
                              TPopupMenu*& result) {
        asked.push_back(node);
        if (node == a) result = menu;
    };
    EXPECT_EQ(tree.DoGetPopupMenu(a1x, NoColumn, TPoint()), menu);
    EXPECT_EQ(asked, (std::vector<PVirtualNode>{a1x, a1, a}));
    asked.clear();
    tree.DoGetPopupMenu(nullptr, 3, TPoint());
    EXPECT_EQ(asked, std::vector<PVirtualNode>{nullptr});

    Word key = 13;
    TShiftState shift;
    EXPECT_TRUE(tree.DoKeyAction(key, shift));
    EXPECT_FALSE(tree.DoPaintBackground(nullptr, TRect()));
}

TEST(TreeLifetime, DestructionFreesNodesQuietly) {
    int freed = 0, others = 0;
    {
        TBaseVirtualTree tree(nullptr);
        tree.OnInitNode = [](TBaseVirtualTree*, PVirtualNode, PVirtualNode,
                             TVirtualNodeInitStates&) {};
        tree.SetRootNodeCount(3);
        for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextNodeInTree(n)) {
        }
        tree.SetFocusedNode(tree.FirstNode());
        tree.SetSelected(tree.LastNode(), true);
        tree.OnFreeNode = [&](TBaseVirtualTree*, PVirtualNode) { ++freed; };
        tree.OnChange = [&](TBaseVirtualTree*, PVirtualNode) { ++others; };
        tree.OnStateChange = [&](TBaseVirtualTree*, TVirtualTreeStates, TVirtualTreeStates) {
            ++others;
        };
        tree.OnFocusChanged = [&](TBaseVirtualTree*, PVirtualNode, TColumnIndex) { ++others; };
    }
    EXPECT_EQ(freed, 3);
    EXPECT_EQ(others, 0);
}
