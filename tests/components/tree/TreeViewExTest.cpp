#include <gtest/gtest.h>

#include <set>

#include "TreeTestSupport.h"
#include "components/tree/TreeViewEx.h"
#include "platform/context/PlatformContext.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Streams.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

// A word-wrapping tree in the fixed-metric face: 16 pixels a line, 8 a character.
class TTestTree : public TTreeViewEx {
public:
    explicit TTestTree(TComponent* owner = nullptr) : TTreeViewEx(owner) {
        epc::testing::UseFixedFace(*this, 200, 300);
    }
    PVirtualNode Add(PVirtualNode parent, const std::string& text, bool acceptsDrop = false,
                     bool notDraggable = false) {
        return AddTextNode(parent, TVTNodeAttachMode::amAddChildLast, text, 0, notDraggable,
                           acceptsDrop, -1, false);
    }
    // Characters that fit on one line of a top-level node.
    int LineChars() { return NodeTextRect(FirstNode()).Width() / 8; }
};

std::string Repeat(const std::string& word, int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += (i ? " " : "") + word;
    return s;
}

TEST(TreeViewEx, RecordStorageIsSizedFromTheRecord) {
    TTreeViewEx tree(nullptr);
    EXPECT_EQ(tree.NodeDataSize(), 20);
    EXPECT_GE(tree.NodeRecordSize(), TreeNodeSize + sizeof(TTreeViewExNodeData));
    EXPECT_EQ(tree.TreeOptions()->ClassName(), "TVirtualTreeOptions");
    PVirtualNode node = tree.AddTextNode(nullptr, TVTNodeAttachMode::amAddChildLast, "text", 7,
                                         true, true, 3, false);
    const TTreeViewExNodeData* data = tree.NodeRecord(node);
    EXPECT_EQ(data->Tag, 7);
    EXPECT_EQ(data->ImageIndex, 3);
    EXPECT_EQ(data->Text.View(), "text");
}

TEST(TreeViewEx, HeightsFollowTheWrappedText) {
    TTestTree tree;
    PVirtualNode one = tree.Add(nullptr, "short");
    const int chars = tree.LineChars();
    ASSERT_GE(chars, 12);
    // Words of four letters and a blank: (chars + 1) / 5 words fit on a line.
    const int perLine = (chars + 1) / 5;
    PVirtualNode three = tree.Add(nullptr, Repeat("abcd", perLine * 2 + 1));
    PVirtualNode empty = tree.Add(nullptr, "");
    PVirtualNode longWord = tree.Add(nullptr, std::string(size_t(chars + 10), 'w'));
    EXPECT_EQ(tree.NodeHeight(one), 18u); // added nodes keep the default until measured
    tree.UpdateNodeHeights();
    EXPECT_EQ(tree.NodeHeight(one), 16u + 4);
    EXPECT_EQ(tree.NodeHeight(three), 3 * 16u + 4);
    EXPECT_GE(tree.NodeHeight(empty), 16u);
    // A word wider than the area keeps one line and widens the node.
    EXPECT_EQ(tree.NodeHeight(longWord), 16u + 4);
    EXPECT_GT(tree.DoGetNodeWidth(longWord, NoColumn), tree.NodeTextRect(longWord).Width());
    epc::testing::CheckTotals(tree);

    // Resizing remeasures, unless the views switched measuring off around a bulk fill.
    tree.AutoNodeHeight = false;
    tree.SetWidth(400);
    EXPECT_EQ(tree.NodeHeight(three), 3 * 16u + 4);
    tree.UpdateNodeHeights();
    EXPECT_EQ(tree.NodeHeight(three), 3 * 16u + 4);
    tree.AutoNodeHeight = true;
    tree.SetWidth(401);
    EXPECT_LT(tree.NodeHeight(three), 3 * 16u + 4);
}

TEST(TreeViewEx, FlatFrameWithoutThreeDLook) {
    TPlatformContext context;
    TForm* form = epc::testing::NewTreeForm();
    auto* tree = new TTestTree;
    tree->SetParent(form);
    tree->SetCtl3D(false);
    tree->SetBounds(10, 10, 150, 100);
    epc::testing::ShowForm(form);
    const TWindowPixels pixels = epc::testing::WindowPixels(tree);
    const COLORREF shadow = ColorToRGB(clBtnShadow);
    EXPECT_EQ(pixels.Color(0, 0), shadow);
    EXPECT_EQ(pixels.Color(149, 50), shadow);
    EXPECT_EQ(pixels.Color(75, 99), shadow);
    FreeComponent(form);
}

TEST(TreeViewEx, AmpersandIsMeasuredAsItIsDrawn) {
    TTestTree tree;
    tree.Add(nullptr, "x");
    const int chars = tree.LineChars();
    // Both words fit on one line only when the "&" is taken for a prefix and not drawn.
    std::string text = "a&bc " + std::string(size_t(chars - 4), 'd');
    PVirtualNode node = tree.Add(nullptr, text);
    tree.UpdateNodeHeights();
    EXPECT_EQ(tree.NodeHeight(node), 2 * 16u + 4);
}

TEST(TreeViewEx, NarrowWindowStillWrapsAtTheMinimumWidth) {
    TTestTree tree;
    tree.SetWidth(40);
    PVirtualNode node = tree.Add(nullptr, Repeat("ab", 8));
    EXPECT_EQ(tree.NodeTextRect(node).Width(), 80 - 2);
    tree.UpdateNodeHeights();
    // 78 pixels hold nine characters: three words of "ab" a line.
    EXPECT_EQ(tree.NodeHeight(node), 3 * 16u + 4);
    tree.MinNodeTextWidth = 200;
    tree.UpdateNodeHeights();
    EXPECT_EQ(tree.NodeHeight(node), 16u + 4);
}

TEST(TreeViewEx, NarrowingRewrapsWithoutAHorizontalBar) {
    TPlatformContext context;
    TForm* form = epc::testing::NewTreeForm();
    form->SetBounds(100, 100, 500, 300);
    auto* tree = new TTestTree(form);
    tree->SetParent(form);
    tree->SetBorderStyle(bsNone);
    tree->SetBounds(0, 0, 420, 200);
    for (int i = 0; i < 3; ++i)
        tree->Add(nullptr, Repeat("word", 30));
    epc::testing::ShowForm(form);
    tree->UpdateNodeHeights();
    epc::testing::Pump();
    HWND h = tree->Handle();
    EXPECT_FALSE(IsScrollBarVisible(h, SB_HORZ));
    EXPECT_GT(tree->RangeX(), 350); // the wrapped text fills the row
    EXPECT_LE(tree->RangeX(), tree->ClientWidth());
    tree->SetWidth(200);
    epc::testing::Pump();
    EXPECT_FALSE(IsScrollBarVisible(h, SB_HORZ));
    EXPECT_LE(tree->RangeX(), tree->ClientWidth());
    EXPECT_GT(tree->RangeX(), 100);
    // A word longer than the row still gets its range once its row is seen.
    PVirtualNode wide = tree->Add(nullptr, std::string(60, 'w'));
    tree->UpdateNodeHeights();
    tree->ScrollIntoView(wide, false);
    epc::testing::Pump();
    tree->UpdateScrollBars(true);
    EXPECT_TRUE(IsScrollBarVisible(h, SB_HORZ));
    FreeComponent(form);
}

TEST(TreeViewEx, ExpandingAndCollapsingRemeasure) {
    TTestTree tree;
    PVirtualNode parent = tree.Add(nullptr, "parent");
    PVirtualNode child = tree.AddTextNode(parent, TVTNodeAttachMode::amAddChildLast,
                                          Repeat("abcd", 12), 0, false, false, -1, true);
    EXPECT_TRUE(tree.Expanded(parent));
    const Cardinal expanded = tree.NodeHeight(child);
    EXPECT_GT(expanded, 20u);
    tree.SetWidth(600);
    tree.SetNodeHeight(child, 5);
    tree.SetExpanded(parent, false);
    // Hidden nodes are measured too, at the indentation they will show with.
    EXPECT_EQ(tree.NodeHeight(child), 16u + 4);
    epc::testing::CheckTotals(tree);
    // Inside an update lock the heights follow once, when it ends.
    tree.LockUpdates();
    tree.SetNodeHeight(child, 5);
    tree.ExpandAll();
    tree.SetExpanded(parent, false);
    tree.SetExpanded(parent, true);
    EXPECT_EQ(tree.NodeHeight(child), 5u);
    tree.UnlockUpdates();
    EXPECT_EQ(tree.NodeHeight(child), 16u + 4);
    epc::testing::CheckTotals(tree);
}

TEST(TreeViewEx, SmallNodeDataSizeRefusesTextNodes) {
    TTestTree tree;
    tree.SetNodeDataSize(12);
    EXPECT_THROW(tree.Add(nullptr, "text"), EAssertionFailed);
    EXPECT_EQ(tree.RootNodeCount(), 0u);
    tree.SetNodeDataSize(20);
    EXPECT_NE(tree.Add(nullptr, "text"), nullptr);
}

TEST(TreeViewEx, TextsAreFreedWithTheirNodes) {
    auto tree = std::make_unique<TTestTree>();
    PVirtualNode a = tree->Add(nullptr, "deleted");
    PVirtualNode b = tree->Add(nullptr, "cleared");
    TNodeText deleted = tree->NodeRecord(a)->Text;
    TNodeText cleared = tree->NodeRecord(b)->Text;
    EXPECT_EQ(deleted.RefCount(), 2);
    tree->DeleteNode(a);
    EXPECT_EQ(deleted.RefCount(), 1);
    tree->Clear();
    EXPECT_EQ(cleared.RefCount(), 1);

    PVirtualNode loaded = tree->Add(nullptr, "replaced by a load");
    TNodeText replaced = tree->NodeRecord(loaded)->Text;
    TMemoryStream stream;
    tree->SaveToStream(stream);
    stream.SetPosition(0);
    tree->LoadFromStream(stream);
    EXPECT_EQ(replaced.RefCount(), 1);

    // Shrinking the data size replaces the nodes after the new size is set.
    PVirtualNode shrunk = tree->Add(nullptr, "shrunk");
    TNodeText replacedBySize = tree->NodeRecord(shrunk)->Text;
    tree->SetNodeDataSize(12);
    EXPECT_EQ(replacedBySize.RefCount(), 1);
    tree->SetNodeDataSize(20);

    PVirtualNode last = tree->Add(nullptr, "destroyed");
    TNodeText destroyed = tree->NodeRecord(last)->Text;
    tree.reset();
    EXPECT_EQ(destroyed.RefCount(), 1);
    EXPECT_EQ(destroyed.Str(), "destroyed");
}

// ---- Stripes ----------------------------------------------------------------------------------

struct TStripeFixture {
    TTestTree tree;
    PVirtualNode a, a1, b, c, d, e;
    TBitmap bitmap{200, 300, pf32bit};
    TStripeFixture() {
        tree.TreeOptions()->SetSelectionOptions(tree.TreeOptions()->SelectionOptions() |
                                                toFullRowSelect);
        a = tree.Add(nullptr, "a");
        a1 = tree.Add(a, "a1");
        b = tree.Add(nullptr, "b");
        c = tree.Add(nullptr, "c");
        d = tree.Add(nullptr, "d");
        e = tree.Add(nullptr, "e");
        tree.SetExpanded(a, true);
        tree.UpdateNodeHeights();
    }
    void Render(int top) {
        tree.RenderToCanvas(bitmap.Canvas(), TRect(0, top, 200, 300), TPoint(0, 0),
                            DefaultRenderOptions);
    }
    COLORREF RowColour(PVirtualNode node, int top) {
        const int y = tree.NodeTop(node) - top + 2;
        const uint32_t p = reinterpret_cast<uint32_t*>(bitmap.ScanLine(y))[190];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    uint8_t Stripe(PVirtualNode node) { return tree.NodeRecord(node)->Stripe; }
};

TEST(TreeViewExStripes, RowsAlternateInVisibleOrder) {
    TStripeFixture f;
    f.Render(0);
    const COLORREF grey = RGB(231, 231, 231), white = RGB(255, 255, 255);
    PVirtualNode rows[] = {f.a, f.a1, f.b, f.c, f.d, f.e};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(f.Stripe(rows[i]), i % 2) << i;
        EXPECT_EQ(f.RowColour(rows[i], 0), i % 2 ? grey : white) << i;
    }
}

TEST(TreeViewExStripes, PartialRepaintAfterCollapseAboveTakesTheRowParity) {
    TStripeFixture f;
    f.Render(0);
    f.tree.SetExpanded(f.a, false);
    // One row fewer above: only the rows from c down are repainted, b above them is not.
    const int top = f.tree.NodeTop(f.c);
    f.Render(top);
    EXPECT_EQ(f.Stripe(f.c), 0); // row 2: a, b, c
    EXPECT_EQ(f.Stripe(f.d), 1);
    EXPECT_EQ(f.RowColour(f.c, top), RGB(255, 255, 255));
    EXPECT_EQ(f.RowColour(f.d, top), RGB(231, 231, 231));
    // The next window on, without a change in between, continues the count.
    f.Render(f.tree.NodeTop(f.e));
    EXPECT_EQ(f.Stripe(f.e), 0);
}

// The focused node and the drop target get white text from the node painter; the base painter
// puts the highlight behind it, so the text shows on a white row.
TEST(TreeViewExStripes, FocusedNodeAndDropTargetTextsShowOnWhiteRows) {
    TPlatformContext context;
    TForm* form = epc::testing::NewTreeForm();
    auto freeForm = Finally([form] { FreeComponent(form); });
    auto* tree = new TTestTree(form);
    tree->SetParent(form);
    PVirtualNode a = tree->Add(nullptr, "focused");
    tree->Add(nullptr, "striped");
    PVirtualNode c = tree->Add(nullptr, "dropped on");
    tree->UpdateNodeHeights();
    epc::testing::ShowForm(form);
    tree->SetFocus();
    ASSERT_TRUE(tree->Focused());
    TBitmap bitmap(200, 300, pf32bit);
    auto coloursIn = [&](PVirtualNode node) {
        const TRect r = tree->NodeTextRect(node);
        const int top = tree->NodeTop(node);
        std::set<uint32_t> colours;
        // The first letters, clear of the focus rectangle's dots.
        for (int y = top + 3; y < top + int(tree->NodeHeight(node)) - 3; ++y)
            for (int x = r.Left + 2; x < r.Left + 40; ++x)
                colours.insert(reinterpret_cast<uint32_t*>(bitmap.ScanLine(y))[x] & 0xFFFFFF);
        return colours.size();
    };
    auto render = [&] {
        tree->RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 200, 300), TPoint(0, 0),
                             DefaultRenderOptions);
    };
    // Neither is selected: the texts are drawn on the highlight, not white on white.
    tree->SetFocusedNode(a);
    tree->SetDropTarget(c, TVTDropMode::dmOnNode);
    ASSERT_FALSE(tree->Selected(a));
    render();
    EXPECT_GE(coloursIn(a), 2u);
    EXPECT_GE(coloursIn(c), 2u);
    // Without the focus the drop target still shows.
    tree->SetFocusedNode(nullptr);
    auto* other = new TTestTree(form);
    other->SetParent(form);
    other->SetFocus();
    ASSERT_FALSE(tree->Focused());
    render();
    EXPECT_GE(coloursIn(c), 2u);
}

// The text is the node's, not a column's: with columns it is painted once, where it is painted
// without them and wrapped as it was measured, across the cells.
TEST(TreeViewExStripes, WithColumnsTheTextIsPaintedOnceAcrossTheRow) {
    TTestTree tree;
    TVirtualTreeColumns* columns = tree.Header()->Columns();
    columns->Add()->SetWidth(100);
    columns->Add()->SetWidth(100);
    PVirtualNode shortText = tree.Add(nullptr, "abc");
    PVirtualNode wrapped = tree.Add(nullptr, Repeat("abcd", 3 * tree.LineChars() / 5));
    tree.UpdateNodeHeights();
    ASSERT_GT(tree.NodeHeight(wrapped), 2 * 16u);
    TBitmap bitmap(200, 300, pf32bit);
    tree.RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 200, 300), TPoint(0, 0), DefaultRenderOptions);
    const uint32_t ink = ColorToRGB(clWindowText);
    auto inked = [&](PVirtualNode node, int from, int to) {
        int count = 0;
        const int top = tree.NodeTop(node);
        for (int y = top; y < top + int(tree.NodeHeight(node)); ++y)
            for (int x = from; x < to; ++x)
                count += (reinterpret_cast<uint32_t*>(bitmap.ScanLine(y))[x] & 0xFFFFFF) == ink;
        return count;
    };
    EXPECT_GT(inked(shortText, 0, 100), 0);
    EXPECT_EQ(inked(shortText, 100, 200), 0) << "the second column repeats the text";
    // A text wrapped to the tree's width runs on into the second column.
    EXPECT_GT(inked(wrapped, 0, 100), 0);
    EXPECT_GT(inked(wrapped, 100, 200), 0);
}

// An answer drawn for a report (grid lines only): the focused node and the drop target are
// rows like the others, their text in the text colour.
TEST(TreeViewExStripes, PicturesWithoutSelectionColoursShowEveryText) {
    TTestTree tree;
    PVirtualNode focused = tree.Add(nullptr, "focused");
    PVirtualNode dropped = tree.Add(nullptr, "dropped");
    tree.UpdateNodeHeights();
    tree.SetFocusedNode(focused);
    tree.SetDropTarget(dropped, TVTDropMode::dmOnNode);
    TBitmap bitmap(200, 300, pf32bit);
    tree.RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 200, 300), TPoint(0, 0), poGridLines);
    const uint32_t ink = ColorToRGB(clWindowText);
    for (PVirtualNode node : {focused, dropped}) {
        int count = 0;
        const int top = tree.NodeTop(node);
        for (int y = top; y < top + int(tree.NodeHeight(node)); ++y)
            for (int x = 0; x < 200; ++x)
                count += (reinterpret_cast<uint32_t*>(bitmap.ScanLine(y))[x] & 0xFFFFFF) == ink;
        EXPECT_GT(count, 20) << tree.NodeRecord(node)->Text.View();
    }
}

// ---- Dragging ---------------------------------------------------------------------------------

TEST(TreeViewExDrag, DropsFollowTheModeAndTheRecords) {
    TTestTree tree;
    PVirtualNode accepting = tree.Add(nullptr, "accepts", true);
    tree.Add(nullptr, "refuses", false);
    tree.UpdateNodeHeights();
    uint32_t effect = 0;
    auto over = [&](int y) {
        return tree.DoDragOver(nullptr, {}, dsDragMove, TPoint(50, y), TVTDropMode::dmOnNode,
                               effect);
    };
    const int below = 200;
    EXPECT_TRUE(over(5));
    EXPECT_FALSE(over(int(tree.NodeHeight(accepting)) + 5));
    EXPECT_FALSE(over(below));
    tree.NodeDropsOnly = false;
    EXPECT_TRUE(over(below));
    EXPECT_FALSE(over(int(tree.NodeHeight(accepting)) + 5));
    tree.NodeDropsOnly = true;
    tree.SetTreeMode(1);
    EXPECT_TRUE(over(below));
    EXPECT_TRUE(over(int(tree.NodeHeight(accepting)) + 5));
    // The handler has the last word.
    tree.OnDragOver = [](TBaseVirtualTree*, TObject*, TShiftState, TDragState, TPoint, TVTDropMode,
                         uint32_t&, bool& accept) { accept = false; };
    EXPECT_FALSE(over(5));
}

TEST(TreeViewExDrag, TheRecordDecidesWhatMayBeDragged) {
    TTestTree tree;
    PVirtualNode fixed = tree.Add(nullptr, "fixed", false, true);
    PVirtualNode free = tree.Add(nullptr, "free");
    int asked = 0;
    tree.OnDragAllowed = [&](TBaseVirtualTree*, PVirtualNode, TColumnIndex, bool& allowed) {
        ++asked;
        allowed = true;
    };
    EXPECT_FALSE(tree.DoDragAllowed(fixed, NoColumn));
    EXPECT_TRUE(tree.DoDragAllowed(free, NoColumn));
    EXPECT_FALSE(tree.DoDragAllowed(nullptr, NoColumn));
    EXPECT_EQ(asked, 3);
}

} // namespace

// An indent no real tree has, set by a program on a tree with grandchildren: measuring,
// painting and hit testing all work it out without overflowing.
TEST(TreeViewEx, HugeIndentOnNestedNodesMeasuresAndPaints) {
    for (Cardinal indent : {2000000000u, 4000000000u}) {
        TTestTree tree;
        PVirtualNode parent = tree.Add(nullptr, "parent");
        PVirtualNode child = tree.AddTextNode(parent, TVTNodeAttachMode::amAddChildLast, "child", 0,
                                              false, false, -1, true);
        PVirtualNode grandchild = tree.AddTextNode(child, TVTNodeAttachMode::amAddChildLast,
                                                   "grandchild", 0, false, false, -1, true);
        tree.SetIndent(indent);
        EXPECT_EQ(tree.Indent(), indent);
        tree.UpdateNodeHeights();
        EXPECT_GE(tree.NodeTextRect(grandchild).Width(), tree.MinNodeTextWidth - 2);
        EXPECT_EQ(tree.NodeHeight(grandchild), 16u + 4);
        TBitmap bitmap(64, 64, pf32bit);
        tree.RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 64, 64), TPoint(0, 0),
                            DefaultRenderOptions);
        EXPECT_GT(tree.DisplayRect(grandchild, NoColumn, true).Left, 0);
        const TBaseVirtualTree::THitInfo hit =
            tree.HitTestAt(10, int(tree.NodeHeight(parent) + tree.NodeHeight(child)) + 2, true);
        EXPECT_EQ(hit.HitNode, grandchild);
        EXPECT_TRUE(hit.HitPositions & TBaseVirtualTree::hiOnItemIndent);
    }
}
