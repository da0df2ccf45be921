#include "TreeTestSupport.h"
#include "platform/core/Arithmetic.h"
#include "platform/streaming/Filer.h"
#include "platform/windows/DataTransfer.h"

using namespace epc;
using namespace epc::tree_options;
using M = TVTNodeAttachMode;

namespace {

std::string AssertionText(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    }
    return "";
}

struct CheckFixture : ::testing::Test {
    TBaseVirtualTree tree{nullptr};
    PVirtualNode Add(PVirtualNode parent, TCheckType type) {
        PVirtualNode n = tree.AddChild(parent);
        tree.SetCheckType(n, type);
        return n;
    }
};

} // namespace

TEST(TreeDefaults, ConstructorValues) {
    TBaseVirtualTree tree(nullptr);
    EXPECT_EQ(tree.Width(), 200);
    EXPECT_EQ(tree.Height(), 100);
    EXPECT_TRUE(tree.TabStop());
    EXPECT_FALSE(tree.ParentColor());
    EXPECT_EQ(tree.BorderStyle(), bsSingle);
    EXPECT_EQ(tree.DefaultNodeHeight(), 18u);
    EXPECT_EQ(tree.Indent(), 18u);
    EXPECT_EQ(tree.Margin(), 4);
    EXPECT_EQ(tree.TextMargin(), 4);
    EXPECT_EQ(tree.NodeDataSize(), -1);
    EXPECT_EQ(tree.NodeAlignment(), TVTNodeAlignment::naProportional);
    EXPECT_EQ(tree.LineStyle(), TVTLineStyle::lsDotted);
    EXPECT_EQ(tree.CheckImageKind(), TCheckImageKind::ckLightCheck);
    EXPECT_EQ(tree.DragOperations(),
              (TDragOperations{TDragOperation::doCopy, TDragOperation::doMove}));
    EXPECT_EQ(tree.DragWidth(), 200);
    EXPECT_EQ(tree.DragHeight(), 350);
    EXPECT_EQ(tree.DefaultPasteMode(), M::amAddChildLast);
    EXPECT_EQ(tree.HintAnimation(), THintAnimationType::hatSystemDefault);
    EXPECT_EQ(tree.SelectionBlendFactor(), 128);
    EXPECT_EQ(tree.AnimationDuration(), 200u);
    EXPECT_EQ(tree.AutoExpandDelay(), 1000u);
    EXPECT_EQ(tree.AutoScrollInterval(), 1u);
    EXPECT_EQ(tree.ChangeDelay(), 0u);
    EXPECT_EQ(tree.IncrementalSearch(), TVTIncrementalSearch::isNone);
    EXPECT_EQ(tree.IncrementalSearchStart(), TVTSearchStart::ssFocusedNode);
    EXPECT_EQ(tree.FocusedColumn(), -1);
    EXPECT_EQ(tree.RootNodeCount(), 0u);

    // The option sets as stored values.
    auto* o = tree.TreeOptions();
    EXPECT_EQ(o->PaintOptions().Bits(), 0x1B60u);
    EXPECT_EQ(o->AnimationOptions().Bits(), 0u);
    EXPECT_EQ(o->AutoOptions().Bits(), 0x149u);
    EXPECT_EQ(o->SelectionOptions().Bits(), 0u);
    EXPECT_EQ(o->MiscOptions().Bits(), 0x1A9u);

    auto* c = tree.Colors();
    EXPECT_EQ(c->DisabledColor(), clBtnShadow);
    EXPECT_EQ(c->GridLineColor(), clBtnFace);
    EXPECT_EQ(c->HotColor(), clWindowText);
    EXPECT_EQ(c->SelectionRectangleBorderColor(), clHighlight);
    EXPECT_EQ(tree.ScrollBarOptions()->ScrollBars(), TScrollStyle::ssBoth);
    EXPECT_EQ(tree.ScrollBarOptions()->VerticalIncrement, 20);

    // The hidden root.
    PVirtualNode root = tree.RootNode();
    EXPECT_EQ(root->NextSibling, root);
    EXPECT_EQ(root->PrevSibling, root);
    EXPECT_TRUE(root->States.Contains(nsExpanded));
    EXPECT_TRUE(root->States.Contains(nsInitialized));
    EXPECT_EQ(root->TotalCount, 1u);
}

TEST(TreeSetters, ClampsAndSideEffects) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode n = tree.AddChild(nullptr);
    tree.SetDefaultNodeHeight(0);
    EXPECT_EQ(tree.DefaultNodeHeight(), 18u);
    tree.SetDefaultNodeHeight(25);
    EXPECT_EQ(n->NodeHeight, 18); // existing nodes keep their heights
    EXPECT_EQ(tree.AddChild(nullptr)->NodeHeight, 25);
    EXPECT_EQ(tree.RootTotalHeight(), 43u);

    TBaseVirtualTree empty(nullptr);
    empty.SetNodeDataSize(8);
    empty.SetNodeDataSize(-2);
    EXPECT_EQ(empty.NodeDataSize(), -1);
    tree.SetAutoScrollInterval(0);
    EXPECT_EQ(tree.AutoScrollInterval(), 1u);
    tree.SetAutoScrollInterval(5000);
    EXPECT_EQ(tree.AutoScrollInterval(), 1000u);

    tree.SetAnimationDuration(0);
    EXPECT_FALSE(tree.TreeOptions()->AnimationOptions().Contains(toAnimatedToggle));
    tree.SetAnimationDuration(150);
    EXPECT_TRUE(tree.TreeOptions()->AnimationOptions().Contains(toAnimatedToggle));
}

TEST(TreeSetters, NodeDataSizeRebuildsTopLevelNodes) {
    TBaseVirtualTree tree(nullptr);
    tree.SetRootNodeCount(3);
    tree.AddChild(tree.FirstNode());
    tree.SetNodeDataSize(16);
    EXPECT_EQ(tree.RootNodeCount(), 3u);
    EXPECT_EQ(tree.TotalCount(), 3u);
    EXPECT_NE(tree.NodeUserData(tree.FirstNode()), nullptr);
}

TEST(TreeOptions, ReactionsAndAssertions) {
    TBaseVirtualTree tree(nullptr);
    auto* sb = tree.ScrollBarOptions();
    EXPECT_EQ(AssertionText([&] { sb->SetScrollBarStyle(TScrollBarStyle::sbmFlat); }),
              "Flat scrollbars styles are disabled. Enable UseFlatScrollbars in the tree unit "
              "for flat scrollbar support.");
    EXPECT_EQ(sb->ScrollBarStyle(), TScrollBarStyle::sbmRegular);

    auto* o = tree.TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    tree.SetRootNodeCount(4);
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextNodeInTree(n))
        if (n->Index < 3) tree.SetSelected(n, true);
    EXPECT_EQ(tree.SelectedCount(), 3u);
    o->SetSelectionOptions(o->SelectionOptions() - toMultiSelect);
    EXPECT_EQ(tree.SelectedCount(), 0u);
    EXPECT_EQ(tree.FirstSelectedNode(), nullptr);

    // Without multi-select a new selection replaces the old one.
    tree.SetSelected(tree.FirstNode(), true);
    tree.SetSelected(tree.LastNode(), true);
    EXPECT_EQ(tree.SelectedCount(), 1u);
    EXPECT_EQ(tree.FirstSelectedNode(), tree.LastNode());

    // Copying options goes through the setters of the target.
    TBaseVirtualTree other(nullptr);
    other.SetTreeOptions(o);
    EXPECT_EQ(other.TreeOptions()->PaintOptions(), o->PaintOptions());
    EXPECT_EQ(other.TreeOptions()->MiscOptions(), o->MiscOptions());

    TVTColors colors(nullptr);
    colors.SetHotColor(clRed);
    tree.SetColors(&colors);
    EXPECT_EQ(tree.Colors()->HotColor(), clRed);
}

TEST(TreeOptions, LegacyOptionsAreMappedByName) {
    TBaseVirtualTree tree(nullptr);
    tree.ReadOldOptions({"voMultiSelect", "voAnimatedToggle", "voShowRoot", "voAutoSort",
                         "voEditable", "voNoSuchOption"});
    auto* o = tree.TreeOptions();
    EXPECT_EQ(o->SelectionOptions(), TVTSelectionOptions{toMultiSelect});
    EXPECT_EQ(o->AnimationOptions(), TVTAnimationOptions{toAnimatedToggle});
    EXPECT_EQ(o->PaintOptions(), TVTPaintOptions{toShowRoot});
    EXPECT_EQ(o->AutoOptions(), TVTAutoOptions{toAutoSort});
    EXPECT_EQ(o->MiscOptions(), TVTMiscOptions{toEditable});
}

TEST(TreeOptions, LegacyOptionsSetOfAStoredFormIsRead) {
    TBaseVirtualTree tree(nullptr);
    TMemoryStream stream;
    TWriter writer(stream);
    // A stored set names the old options; bit n stands for the n-th identifier.
    std::vector<std::string> names(OldVTOptionNames.begin(), OldVTOptionNames.end());
    writer.WritePropName("Options");
    writer.WriteSet(
        (1u << int(TOldVTOption::voAcceptOLEDrop)) | (1u << int(TOldVTOption::voFullRowSelect)) |
            (1u << int(TOldVTOption::voHotTrack)) | (1u << int(TOldVTOption::voAutoScroll)) |
            (1u << int(TOldVTOption::voToggleOnDblClick)),
        names);
    writer.WriteListEnd();
    stream.SetPosition(0);
    TReader reader(stream);
    reader.ReadProperties(&tree);
    auto* o = tree.TreeOptions();
    EXPECT_EQ(o->SelectionOptions(), TVTSelectionOptions{toFullRowSelect});
    EXPECT_EQ(o->PaintOptions(), TVTPaintOptions{toHotTrack});
    EXPECT_EQ(o->AutoOptions(), TVTAutoOptions{toAutoScroll});
    EXPECT_EQ(o->AnimationOptions(), TVTAnimationOptions{});
    EXPECT_EQ(o->MiscOptions(), (TVTMiscOptions{toAcceptOLEDrop, toToggleOnDblClick}));
    // Every old name has its enumerator, in order.
    EXPECT_STREQ(OldVTOptionNames[size_t(TOldVTOption::voSiblingSelectConstraint)],
                 "voSiblingSelectConstraint");
    EXPECT_STREQ(OldVTOptionNames.back(), "voToggleOnDblClick");
}

TEST(TreeOptions, ClipboardFormatsOnlyForRegisteredClass) {
    TBaseVirtualTree tree(nullptr);
    auto* formats = tree.ClipboardFormats();
    EXPECT_EQ(formats->Add("CSV"), -1);
    EXPECT_EQ(formats->Add("Unknown format"), -1);
    EXPECT_EQ(formats->Add("Virtual Tree Data"), 0);
    EXPECT_EQ(formats->Add("Virtual Tree Data"), 0); // no duplicates
    EXPECT_EQ(formats->Count(), 1);
    EXPECT_EQ(RegisterTreeClipboardFormat("Virtual Tree Data"), TreeUnitState().CF_VIRTUALTREE);
    EXPECT_GE(TreeUnitState().CF_VIRTUALTREE, 0xC000u);
}

TEST_F(CheckFixture, TriStateUncheckWithRefusingChildren) {
    tree.TreeOptions()->SetMiscOptions(tree.TreeOptions()->MiscOptions() | toCheckSupport);
    PVirtualNode parent = Add(nullptr, ctTriStateCheckBox);
    PVirtualNode c1 = Add(parent, ctCheckBox);
    PVirtualNode c2 = Add(parent, ctCheckBox);
    EXPECT_TRUE(tree.SetCheckState(parent, csCheckedNormal));
    EXPECT_EQ(c1->CheckState, csCheckedNormal);
    EXPECT_EQ(c2->CheckState, csCheckedNormal);
    EXPECT_EQ(parent->CheckState, csCheckedNormal);

    // Both children refuse: the parent stays checked.
    tree.OnChecking = [&](TBaseVirtualTree*, PVirtualNode n, TCheckState&, bool& allowed) {
        allowed = n == parent;
    };
    tree.SetCheckState(parent, csUncheckedNormal);
    EXPECT_EQ(parent->CheckState, csCheckedNormal);
    // One refuses: mixed.
    tree.OnChecking = [&](TBaseVirtualTree*, PVirtualNode n, TCheckState&, bool& allowed) {
        allowed = n != c2;
    };
    tree.SetCheckState(parent, csUncheckedNormal);
    EXPECT_EQ(parent->CheckState, csMixedNormal);
    EXPECT_EQ(c1->CheckState, csUncheckedNormal);
    EXPECT_EQ(c2->CheckState, csCheckedNormal);
}

TEST_F(CheckFixture, ParentFollowsItsChildren) {
    PVirtualNode top = Add(nullptr, ctTriStateCheckBox);
    PVirtualNode mid = Add(top, ctTriStateCheckBox);
    PVirtualNode a = Add(mid, ctCheckBox);
    PVirtualNode b = Add(mid, ctCheckBox);
    Add(mid, ctRadioButton); // not a check box: does not count
    tree.SetCheckState(a, csCheckedNormal);
    EXPECT_EQ(mid->CheckState, csMixedNormal);
    EXPECT_EQ(top->CheckState, csMixedNormal);
    tree.SetCheckState(b, csCheckedNormal);
    EXPECT_EQ(mid->CheckState, csCheckedNormal);
    EXPECT_EQ(top->CheckState, csCheckedNormal);
    tree.SetCheckState(a, csUncheckedNormal);
    tree.SetCheckState(b, csUncheckedNormal);
    EXPECT_EQ(top->CheckState, csUncheckedNormal);

    // A parent that refuses keeps the child in the normal form of its old state.
    tree.OnChecking = [&](TBaseVirtualTree*, PVirtualNode n, TCheckState&, bool& allowed) {
        allowed = n != mid;
    };
    EXPECT_FALSE(tree.SetCheckState(a, csCheckedNormal));
    EXPECT_EQ(a->CheckState, csUncheckedNormal);
}

TEST_F(CheckFixture, TriStateWithoutCheckableChildrenKeepsItsState) {
    PVirtualNode leaf = Add(nullptr, ctTriStateCheckBox);
    EXPECT_TRUE(tree.SetCheckState(leaf, csCheckedNormal));
    EXPECT_EQ(leaf->CheckState, csCheckedNormal);
    EXPECT_TRUE(tree.SetCheckState(leaf, csUncheckedNormal));
    EXPECT_EQ(leaf->CheckState, csUncheckedNormal);
    PVirtualNode withPlainChildren = Add(nullptr, ctTriStateCheckBox);
    Add(withPlainChildren, ctNone);
    Add(withPlainChildren, ctButton);
    tree.SetCheckState(withPlainChildren, csCheckedNormal);
    EXPECT_EQ(withPlainChildren->CheckState, csCheckedNormal);
    tree.SetCheckState(withPlainChildren, csUncheckedNormal);
    EXPECT_EQ(withPlainChildren->CheckState, csUncheckedNormal);
}

TEST_F(CheckFixture, RadioButtonsUncheckSiblingsWithoutAsking) {
    PVirtualNode r1 = Add(nullptr, ctRadioButton);
    PVirtualNode r2 = Add(nullptr, ctRadioButton);
    PVirtualNode box = Add(nullptr, ctCheckBox);
    tree.SetCheckState(box, csCheckedNormal);
    tree.SetCheckState(r1, csCheckedNormal);
    std::vector<PVirtualNode> asked;
    tree.OnChecking = [&](TBaseVirtualTree*, PVirtualNode n, TCheckState&, bool&) {
        asked.push_back(n);
    };
    tree.SetCheckState(r2, csCheckedNormal);
    EXPECT_EQ(asked, std::vector<PVirtualNode>{r2});
    EXPECT_EQ(r1->CheckState, csUncheckedNormal);
    EXPECT_EQ(r2->CheckState, csCheckedNormal);
    EXPECT_EQ(box->CheckState, csCheckedNormal);
    // Disabled nodes and unchanged states do nothing.
    tree.SetDisabled(r1, true);
    EXPECT_FALSE(tree.SetCheckState(r1, csCheckedNormal));
    EXPECT_FALSE(tree.SetCheckState(r2, csCheckedNormal));
}

TEST(TreePositions, CompareNodePositions) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode b = tree.AddChild(nullptr);
    PVirtualNode a1 = tree.AddChild(a);
    PVirtualNode a1x = tree.AddChild(a1);
    PVirtualNode b1 = tree.AddChild(b);
    PVirtualNode b2 = tree.AddChild(b);
    EXPECT_EQ(tree.CompareNodePositions(a, a), 0);
    EXPECT_EQ(tree.CompareNodePositions(a1x, a), 1); // first is the descendant
    EXPECT_EQ(tree.CompareNodePositions(a, a1x), -1);
    EXPECT_LT(tree.CompareNodePositions(a1x, b1), 0);
    EXPECT_GT(tree.CompareNodePositions(b2, b1), 0);
    EXPECT_GT(tree.CompareNodePositions(b1, a1x), 0);
    EXPECT_EQ(AssertionText([&] { tree.CompareNodePositions(nullptr, a); }),
              "Nodes must never be nil.");
    EXPECT_EQ(tree.LevelDifference(a, a1x), 2);
    EXPECT_EQ(AssertionText([&] { tree.LevelDifference(a, nullptr); }),
              "Both nodes must be Assigned.");
    EXPECT_EQ(tree.NodeLevel(a1x), 2u);
    EXPECT_TRUE(tree.HasAsAncestor(a1x, a));
    EXPECT_FALSE(tree.HasAsAncestor(a, a));
    EXPECT_EQ(tree.VisibleAncestorOf(a1x), a);
    tree.SetExpanded(a, true);
    EXPECT_EQ(tree.VisibleAncestorOf(a1x), a1);
    EXPECT_EQ(AssertionText([&] { tree.VisibleAncestorOf(nullptr); }), "Node must not be nil.");
    EXPECT_EQ(AssertionText([&] { tree.IsNodeFullyVisible(nullptr); }), "Invalid parameter.");
}

TEST(TreeLines, LineImages) {
    using L = TVTLineType;
    TBaseVirtualTree tree(nullptr);
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode a1 = tree.AddChild(a);
    PVirtualNode a1x = tree.AddChild(a1);
    PVirtualNode a2 = tree.AddChild(a);
    std::vector<L> image;

    // Only top-level node: ltRight.
    tree.DetermineLineImageAndSelectLevel(a, image);
    EXPECT_EQ(image, std::vector<L>{L::ltRight});
    PVirtualNode b = tree.AddChild(nullptr);
    PVirtualNode c = tree.AddChild(nullptr);
    tree.DetermineLineImageAndSelectLevel(a, image);
    EXPECT_EQ(image, std::vector<L>{L::ltBottomRight});
    tree.DetermineLineImageAndSelectLevel(b, image);
    EXPECT_EQ(image, std::vector<L>{L::ltTopDownRight});
    tree.DetermineLineImageAndSelectLevel(c, image);
    EXPECT_EQ(image, std::vector<L>{L::ltTopRight});

    tree.DetermineLineImageAndSelectLevel(a1x, image);
    EXPECT_EQ(image, (std::vector<L>{L::ltTopDown, L::ltTopDown, L::ltTopRight}));
    tree.DetermineLineImageAndSelectLevel(a2, image);
    EXPECT_EQ(image, (std::vector<L>{L::ltTopDown, L::ltTopRight}));

    // Hidden siblings do not count.
    tree.SetVisible(a2, false);
    tree.SetVisible(b, false);
    tree.SetVisible(c, false);
    tree.DetermineLineImageAndSelectLevel(a1x, image);
    EXPECT_EQ(image, (std::vector<L>{L::ltNone, L::ltNone, L::ltTopRight}));
    tree.DetermineLineImageAndSelectLevel(a, image);
    EXPECT_EQ(image, std::vector<L>{L::ltRight});

    // Without the root level one entry less; without tree lines all none.
    auto* o = tree.TreeOptions();
    o->SetPaintOptions(o->PaintOptions() - toShowRoot);
    tree.DetermineLineImageAndSelectLevel(a1x, image);
    EXPECT_EQ(image, (std::vector<L>{L::ltNone, L::ltTopRight}));
    tree.DetermineLineImageAndSelectLevel(a, image);
    EXPECT_TRUE(image.empty());
    o->SetPaintOptions(o->PaintOptions() - toShowTreeLines);
    tree.SetSelected(a, true);
    EXPECT_EQ(tree.DetermineLineImageAndSelectLevel(a1x, image), 1);
    EXPECT_EQ(image, (std::vector<L>{L::ltNone, L::ltNone}));
}

TEST(TreeLines, ButtonGlyphsAndLinePattern) {
    TBaseVirtualTree tree(nullptr);
    const uint32_t transparent = 0xFFFF00FF;
    // Rectangle buttons: frame, bar, and the plus's vertical bar.
    const TButtonGlyph& plus = tree.PlusGlyph();
    const TButtonGlyph& minus = tree.MinusGlyph();
    uint32_t sign = minus.Pixel(2, 4);
    EXPECT_EQ(minus.Pixel(6, 4), sign);
    EXPECT_NE(minus.Pixel(7, 4), sign);
    EXPECT_NE(minus.Pixel(4, 2), sign);
    EXPECT_EQ(plus.Pixel(4, 2), sign);
    EXPECT_EQ(plus.Pixel(4, 6), sign);
    EXPECT_EQ(plus.Pixel(0, 0), plus.Pixel(8, 8)); // frame

    tree.SetButtonStyle(TVTButtonStyle::bsTriangle);
    auto countRow = [](const TButtonGlyph& g, int y) {
        int n = 0;
        for (int x = 0; x < 9; ++x)
            n += g.Pixel(x, y) != 0xFFFF00FF;
        return n;
    };
    EXPECT_EQ(countRow(tree.MinusGlyph(), 2), 9);
    EXPECT_EQ(countRow(tree.MinusGlyph(), 6), 1);
    EXPECT_EQ(countRow(tree.MinusGlyph(), 7), 0);
    EXPECT_EQ(tree.PlusGlyph().Pixel(2, 0), 0xFF000000u);
    EXPECT_EQ(tree.PlusGlyph().Pixel(6, 4), 0xFF000000u);
    EXPECT_EQ(tree.PlusGlyph().Pixel(7, 4), transparent);

    EXPECT_EQ(tree.LinePattern()[0], 0xAA);
    EXPECT_EQ(tree.LinePattern()[1], 0x55);
    tree.SetLineStyle(TVTLineStyle::lsSolid);
    EXPECT_EQ(tree.LinePattern()[0], 0);
    tree.OnGetLineStyle = [](TBaseVirtualTree*, std::array<uint8_t, 8>& bits) { bits[0] = 0x0F; };
    tree.SetLineStyle(TVTLineStyle::lsCustomStyle);
    EXPECT_EQ(tree.LinePattern()[0], 0x0F);
    EXPECT_EQ(tree.LinePattern()[1], 0x55);
}

TEST(TreeLines, LineOffsetFollowsAlignment) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode n = tree.AddChild(nullptr);
    tree.SetNodeHeight(n, 40);
    EXPECT_EQ(tree.NodeLineOffset(n, 0), MulDiv(40 - 9, 50, 100) + 4);
    EXPECT_EQ(tree.NodeLineOffset(n, 16), 12 + 8);
    tree.SetNodeAlignment(TVTNodeAlignment::naFromTop);
    EXPECT_EQ(tree.NodeLineOffset(n, 0), 50);
    tree.SetNodeAlignment(TVTNodeAlignment::naFromBottom);
    EXPECT_EQ(tree.NodeLineOffset(n, 0), -10);
}

TEST(TreeDispatchers, DefaultAnswers) {
    TBaseVirtualTree tree(nullptr);
    PVirtualNode n = tree.AddChild(nullptr);
    EXPECT_TRUE(tree.DoNodeCopying(n, nullptr));
    EXPECT_TRUE(tree.DoNodeMoving(n, nullptr));
    EXPECT_EQ(tree.DoIncrementalSearch(n, u"x"), 0);
    EXPECT_EQ(tree.DoGetNodeDataSize(), 0);
    EXPECT_EQ(tree.DoGetNodeWidth(n, NoColumn), 0);
    tree.SetHint("tip");
    EXPECT_EQ(tree.DoGetNodeHint(n, NoColumn), u"tip");
    TCursor cursor = 5;
    tree.DoGetCursor(cursor);
    EXPECT_EQ(cursor, 5);
    Cardinal count = 3;
    tree.DoInitChildren(n, count);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(tree.GetHintAnimationType(), THintAnimationType::hatNone);
    EXPECT_EQ(tree.GetCheckImage(n), -1);
    tree.SetCheckType(n, ctCheckBox);
    EXPECT_EQ(tree.GetCheckImage(n), 9);
    tree.SetCheckState(n, csCheckedNormal);
    EXPECT_EQ(tree.GetCheckImage(n), 13);
    uint32_t all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(tree.SuggestDropEffect(nullptr, false, false, {}, all), uint32_t(DROPEFFECT_COPY));
    EXPECT_EQ(tree.SuggestDropEffect(&tree, false, false, {}, all), uint32_t(DROPEFFECT_MOVE));
    EXPECT_EQ(tree.SuggestDropEffect(&tree, true, true, {}, all), uint32_t(DROPEFFECT_LINK));
    EXPECT_EQ(tree.SuggestDropEffect(&tree, false, true, {}, DROPEFFECT_MOVE),
              uint32_t(DROPEFFECT_MOVE));
}

TEST(TreeDispatchers, StateChangeReportsOnlyRealChanges) {
    TBaseVirtualTree tree(nullptr);
    int calls = 0;
    tree.OnStateChange = [&](TBaseVirtualTree*, TVirtualTreeStates enter, TVirtualTreeStates) {
        ++calls;
        EXPECT_TRUE(enter.Contains(TVirtualTreeState::tsHint));
    };
    tree.DoStateChange({TVirtualTreeState::tsHint});
    tree.DoStateChange({TVirtualTreeState::tsHint});
    EXPECT_EQ(calls, 1);
    tree.OnStateChange = nullptr;
}

TEST(TreeSorting, StableInBothDirections) {
    TBaseVirtualTree tree(nullptr);
    tree.SetNodeDataSize(sizeof(int));
    int keys[] = {2, 1, 2, 1, 3};
    for (int k : keys)
        *tree.NodeData<int>(tree.AddChild(nullptr)) = k;
    std::vector<PVirtualNode> original;
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextSiblingOf(n))
        original.push_back(n);
    tree.OnCompareNodes = [](TBaseVirtualTree* t, PVirtualNode a, PVirtualNode b, TColumnIndex,
                             int& r) { r = *t->NodeData<int>(a) - *t->NodeData<int>(b); };
    tree.SortTree(nullptr, NoColumn, TSortDirection::sdAscending);
    std::vector<PVirtualNode> sorted;
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextSiblingOf(n))
        sorted.push_back(n);
    EXPECT_EQ(sorted, (std::vector<PVirtualNode>{original[1], original[3], original[0], original[2],
                                                 original[4]}));
    EXPECT_EQ(epc::testing::ChildIndices(tree.RootNode()), (std::vector<Cardinal>{0, 1, 2, 3, 4}));
    tree.SortTree(nullptr, NoColumn, TSortDirection::sdDescending);
    sorted.clear();
    for (PVirtualNode n = tree.FirstNode(); n; n = tree.NextSiblingOf(n))
        sorted.push_back(n);
    EXPECT_EQ(sorted, (std::vector<PVirtualNode>{original[4], original[0], original[2], original[1],
                                                 original[3]}));
}

namespace {
class TTextTree : public TBaseVirtualTree {
public:
    using TBaseVirtualTree::TBaseVirtualTree;
};
} // namespace

TEST(TreeOptions, ClipboardFormatsFollowTheClassChain) {
    InitializeTreeUnit();
    TClipboardFormatList::AddStringTreeFormats<TTextTree>(TreeUnitState(), "TTextTree");
    TTextTree textTree(nullptr);
    TBaseVirtualTree plainTree(nullptr);
    EXPECT_GE(textTree.ClipboardFormats()->Add("CSV"), 0);
    EXPECT_GE(textTree.ClipboardFormats()->Add("Virtual Tree Data"), 0); // inherited class
    EXPECT_EQ(plainTree.ClipboardFormats()->Add("CSV"), -1);
    // By priority: the tree's own data first, plain text last.
    auto names = TClipboardFormatList::EnumerateFormats(&textTree);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names.front(), "Virtual Tree Data");
    EXPECT_EQ(names.back(), "Plain text");
    EXPECT_EQ(TClipboardFormatList::EnumerateFormats(&plainTree),
              std::vector<std::string>{"Virtual Tree Data"});
}
