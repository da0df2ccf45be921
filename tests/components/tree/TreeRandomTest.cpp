// A string tree and a word-wrapping tree of a few thousand nodes, driven at random as a person
// would (clicks with modifiers, keys, the wheel and the bars, window sizes across those where
// the bars come and go) and by the code that fills them (hiding, deleting, inserting). After
// every step the bookkeeping must agree with the nodes themselves.
//
// EPC_RANDOM_SEEDS (number of seeds) and EPC_RANDOM_STEPS (steps per seed) run more.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "TreeTestSupport.h"
#include "components/tree/TreeViewEx.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Window.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;
using T = TBaseVirtualTree;

namespace {

int EnvCount(const char* name, int fallback) {
    const char* value = std::getenv(name);
    if (!value) return fallback;
    const int n = std::atoi(value);
    return n > 0 ? n : fallback;
}

// Every node below the hidden root, by the links alone (no walker of the tree's own).
std::vector<PVirtualNode> AllNodes(T& tree) {
    std::vector<PVirtualNode> result;
    std::vector<PVirtualNode> pending;
    for (PVirtualNode c = tree.RootNode()->LastChild; c; c = c->PrevSibling)
        pending.push_back(c);
    while (!pending.empty()) {
        PVirtualNode n = pending.back();
        pending.pop_back();
        result.push_back(n);
        for (PVirtualNode c = n->LastChild; c; c = c->PrevSibling)
            pending.push_back(c);
    }
    return result;
}

bool FullyShown(T& tree, PVirtualNode node) {
    for (PVirtualNode run = node; run != tree.RootNode(); run = run->Parent) {
        if (!run->States.Contains(nsVisible)) return false;
        if (run != node && !run->States.Contains(nsExpanded)) return false;
    }
    return true;
}

// The invariants checked after every step; the step's description goes with a failure.
void CheckTree(T& tree, const std::string& step) {
    SCOPED_TRACE(step);
    const std::vector<PVirtualNode> nodes = AllNodes(tree);
    const std::unordered_set<PVirtualNode> live(nodes.begin(), nodes.end());
    Cardinal selected = 0;
    int shownHeight = 0;
    Cardinal shown = 0;
    for (PVirtualNode n : nodes) {
        if (n->States.Contains(nsSelected)) ++selected;
        if (FullyShown(tree, n)) {
            shownHeight += int(n->NodeHeight);
            ++shown;
        }
    }
    ASSERT_EQ(tree.SelectedCount(), selected);
    Cardinal walked = 0;
    for (PVirtualNode n = tree.FirstSelectedNode(); n; n = tree.NextSelectedNode(n)) {
        ASSERT_TRUE(live.count(n));
        ++walked;
    }
    ASSERT_EQ(walked, selected);
    if (!tree.TreeOptions()->SelectionOptions().Contains(toMultiSelect)) {
        ASSERT_LE(selected, 1u);
    }
    if (PVirtualNode f = tree.FocusedNode()) {
        ASSERT_TRUE(live.count(f));
    }
    if (PVirtualNode a = tree.RangeAnchor()) {
        ASSERT_TRUE(live.count(a));
    }
    ASSERT_EQ(tree.RangeY(), shownHeight);
    ASSERT_EQ(tree.VisibleCount(), shown);
    epc::testing::CheckTotals(tree);
    // Each bar is there exactly when its range needs it; nothing is scrolled past.
    const bool vertical = IsScrollBarVisible(tree.Handle(), SB_VERT);
    ASSERT_EQ(vertical, tree.RangeY() > tree.ClientHeight())
        << tree.RangeY() << " in " << tree.ClientHeight();
    const bool horizontal = IsScrollBarVisible(tree.Handle(), SB_HORZ);
    ASSERT_EQ(horizontal, tree.RangeX() > tree.ClientWidth())
        << tree.RangeX() << " in " << tree.ClientWidth();
    ASSERT_LE(tree.OffsetX(), 0);
    ASSERT_GE(tree.OffsetX(), std::min(0, tree.ClientWidth() - tree.RangeX()));
    ASSERT_LE(tree.OffsetY(), 0);
    ASSERT_GE(tree.OffsetY(), std::min(0, tree.ClientHeight() - tree.RangeY()));
}

// Drives one tree; Insert adds one node under a parent (nil: top level) by the tree's own way.
class TDriver {
public:
    TDriver(T& tree, std::mt19937& random) : FTree(tree), FRandom(random) {}
    virtual ~TDriver() = default;
    virtual PVirtualNode Insert(PVirtualNode parent, TVTNodeAttachMode mode) = 0;

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(FRandom); }
    bool Chance(int percent) { return Pick(100) < percent; }

    PVirtualNode AnyNode() {
        const std::vector<PVirtualNode> nodes = AllNodes(FTree);
        return nodes.empty() ? nullptr : nodes[size_t(Pick(int(nodes.size())))];
    }
    TShiftState AnyShift() {
        TShiftState shift;
        if (Chance(30)) shift.Include(ssShift);
        if (Chance(30)) shift.Include(ssCtrl);
        return shift;
    }

    // One random step; returns what it did.
    std::string Step() {
        switch (Pick(14)) {
        case 0:
        case 1:
        case 2:
            return ClickRow();
        case 3:
        case 4:
        case 5:
            return Key();
        case 6:
            return Expand();
        case 7:
            return Hide();
        case 8:
            return Delete();
        case 9:
            return InsertSome();
        case 10:
            return Scroll();
        case 11:
        case 12:
            return Resize();
        default:
            return Band();
        }
    }

private:
    std::string ClickRow() {
        const int y = Pick(std::max(1, FTree.ClientHeight()));
        PVirtualNode node = FTree.GetNodeAt(0, y);
        const TShiftState shift = AnyShift();
        int x = Pick(std::max(1, FTree.ClientWidth()));
        if (node) {
            // Mostly on the label, sometimes on the button or the space beside.
            const TRect text = FTree.DisplayRect(node, NoColumn, true);
            if (Chance(80) && text.Left + 2 < FTree.ClientWidth()) x = std::max(0, text.Left + 2);
        }
        ua::Click(&FTree, x, y, mbLeft, shift);
        return "click " + std::to_string(x) + "," + std::to_string(y) + " shift " +
               std::to_string(shift.Contains(ssShift)) + " ctrl " +
               std::to_string(shift.Contains(ssCtrl));
    }

    std::string Key() {
        static const Word keys[] = {VK_UP,       VK_DOWN,     VK_HOME,  VK_END,  VK_PRIOR,
                                    VK_NEXT,     VK_LEFT,     VK_RIGHT, VK_BACK, VK_ADD,
                                    VK_SUBTRACT, VK_MULTIPLY, 'A'};
        const Word key = keys[Pick(int(std::size(keys)))];
        TShiftState shift = AnyShift();
        // Expanding a whole subtree of thousands is rare: a person does not do it every time.
        if (key == VK_MULTIPLY && Chance(70)) return "no key";
        if (key == 'A') shift = {ssCtrl};
        ua::PressKey(key, shift);
        return "key " + std::to_string(key) + " shift " + std::to_string(shift.Contains(ssShift)) +
               " ctrl " + std::to_string(shift.Contains(ssCtrl));
    }

    std::string Expand() {
        PVirtualNode node = AnyNode();
        if (!node || !node->FirstChild) return "no toggle";
        FTree.ToggleNode(node);
        return "toggle";
    }

    std::string Hide() {
        PVirtualNode node = AnyNode();
        if (!node) return "no hide";
        const bool show = !node->States.Contains(nsVisible);
        FTree.SetVisible(node, show);
        return show ? "show" : "hide";
    }

    std::string Delete() {
        if (AllNodes(FTree).size() < 50) return "no delete";
        switch (Pick(3)) {
        case 0:
            if (PVirtualNode node = AnyNode()) FTree.DeleteNode(node);
            return "delete node";
        case 1:
            if (PVirtualNode node = AnyNode()) FTree.DeleteChildren(node);
            return "delete children";
        default:
            FTree.RemoveSelectedNodes();
            return "delete selected";
        }
    }

    std::string InsertSome() {
        static const TVTNodeAttachMode modes[] = {
            TVTNodeAttachMode::amInsertBefore, TVTNodeAttachMode::amInsertAfter,
            TVTNodeAttachMode::amAddChildFirst, TVTNodeAttachMode::amAddChildLast};
        const int count = 1 + Pick(20);
        const bool locked = Chance(50);
        if (locked) FTree.BeginUpdate();
        for (int i = 0; i < count; ++i)
            Insert(Chance(10) ? nullptr : AnyNode(), modes[Pick(4)]);
        if (locked) FTree.EndUpdate();
        return "insert " + std::to_string(count) + (locked ? " locked" : "");
    }

    std::string Scroll() {
        static const int codes[] = {SB_LINEUP,   SB_LINEDOWN, SB_PAGEUP,
                                    SB_PAGEDOWN, SB_TOP,      SB_BOTTOM};
        if (Chance(30)) {
            const int notches = Pick(7) - 3;
            ua::Wheel(&FTree, notches, 10, 10);
            return "wheel " + std::to_string(notches);
        }
        const bool vertical = Chance(60);
        const int code = codes[Pick(int(std::size(codes)))];
        FTree.Perform(vertical ? WM_VSCROLL : WM_HSCROLL, WPARAM(code), 0);
        return std::string(vertical ? "vscroll " : "hscroll ") + std::to_string(code);
    }

    std::string Resize() {
        // Around the sizes where the bars come and go.
        const int width = 90 + Pick(260);
        const int height = 60 + Pick(300);
        FTree.SetBounds(FTree.Left(), FTree.Top(), width, height);
        ua::Pump();
        return "resize " + std::to_string(width) + "x" + std::to_string(height);
    }

    std::string Band() {
        // A rubber band drawn from the free space right of the rows.
        const int x = std::max(0, FTree.ClientWidth() - 3);
        const int y0 = Pick(std::max(1, FTree.ClientHeight()));
        const int y1 = Pick(std::max(1, FTree.ClientHeight()));
        ua::DragMouse(&FTree, TPoint(x, y0), TPoint(x - 60, y1), 3);
        return "band " + std::to_string(y0) + ".." + std::to_string(y1);
    }

protected:
    T& FTree;
    std::mt19937& FRandom;
};

// A string tree whose nodes carry a number that gives their text.
class TStringDriver : public TDriver {
public:
    TStringDriver(TVirtualStringTree& tree, std::mt19937& random)
        : TDriver(tree, random), FStrings(tree) {
        tree.SetNodeDataSize(int(sizeof(int32_t)));
        tree.OnGetText = [](T* sender, PVirtualNode node, TColumnIndex, TVSTTextType,
                            std::u16string& text) {
            const int32_t id = *sender->NodeData<int32_t>(node);
            text = u"Item " + std::u16string(size_t(id * 7919 % 37), u'w');
            text += u' ';
            text += char16_t(u'a' + id % 26);
        };
    }
    PVirtualNode Insert(PVirtualNode parent, TVTNodeAttachMode mode) override {
        if (!parent &&
            (mode == TVTNodeAttachMode::amInsertBefore || mode == TVTNodeAttachMode::amInsertAfter))
            mode = TVTNodeAttachMode::amAddChildLast;
        PVirtualNode node = FStrings.InsertNodeAt(parent, mode);
        *FStrings.NodeData<int32_t>(node) = ++FNextId;
        return node;
    }

private:
    TVirtualStringTree& FStrings;
    int32_t FNextId = 0;
};

// The word-wrapping tree, filled the way the views fill it.
class TWrapDriver : public TDriver {
public:
    TWrapDriver(TTreeViewEx& tree, std::mt19937& random) : TDriver(tree, random), FWrap(tree) {}
    PVirtualNode Insert(PVirtualNode parent, TVTNodeAttachMode mode) override {
        if (!parent &&
            (mode == TVTNodeAttachMode::amInsertBefore || mode == TVTNodeAttachMode::amInsertAfter))
            mode = TVTNodeAttachMode::amAddChildLast;
        std::string text;
        const int words = 1 + Pick(12);
        for (int i = 0; i < words; ++i) {
            if (i) text += ' ';
            // Now and then one word too long for any line.
            text += std::string(size_t(Chance(3) ? 30 + Pick(20) : 1 + Pick(9)), char('a' + i));
        }
        return FWrap.AddTextNode(parent, mode, text, 0, false, true, -1, Chance(20));
    }

private:
    TTreeViewEx& FWrap;
};

// Fills a tree with about Count nodes in a few levels, inside one update like the views do.
void Fill(TDriver& driver, T& tree, int count) {
    tree.BeginUpdate();
    std::vector<PVirtualNode> parents{nullptr};
    for (int i = 0; i < count; ++i) {
        PVirtualNode parent = parents[size_t(driver.Pick(int(parents.size())))];
        PVirtualNode node = driver.Insert(parent, TVTNodeAttachMode::amAddChildLast);
        if (tree.NodeLevel(node) < 3 && driver.Chance(30)) parents.push_back(node);
    }
    tree.EndUpdate();
}

void Drive(T& tree, TDriver& driver, int steps, uint32_t seed) {
    for (int step = 0; step < steps; ++step) {
        const std::string did = driver.Step();
        ua::Pump(); // the window shows the step before the next one
        CheckTree(tree,
                  "seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + did);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

struct RandomFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    TForm* form = nullptr;
    void SetUp() override {
        form = ua::NewTreeForm();
        form->SetBounds(50, 50, 500, 450);
    }
    void TearDown() override { FreeComponent(form); }
    template <typename Tree> Tree* NewTree(bool multi) {
        auto* tree = new Tree(form);
        tree->SetParent(form);
        tree->SetBounds(10, 10, 200, 240);
        auto* o = tree->TreeOptions();
        if (multi) o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
        return tree;
    }
};

} // namespace

TEST_F(RandomFixture, StringTreeKeepsItsBookkeepingUnderRandomUse) {
    const int seeds = EnvCount("EPC_RANDOM_SEEDS", 2);
    const int steps = EnvCount("EPC_RANDOM_STEPS", 120);
    for (int s = 0; s < seeds; ++s) {
        const uint32_t seed = 1000u + uint32_t(s);
        std::mt19937 random(seed);
        auto* tree = NewTree<TVirtualStringTree>(s % 2 == 0);
        TStringDriver driver(*tree, random);
        Fill(driver, *tree, 2500);
        ua::ShowForm(form);
        tree->SetFocus();
        ua::Pump();
        CheckTree(*tree, "seed " + std::to_string(seed) + " filled");
        Drive(*tree, driver, steps, seed);
        FreeComponent(tree);
        if (HasFatalFailure()) return;
    }
}

TEST_F(RandomFixture, WordWrappingTreeKeepsItsBookkeepingUnderRandomUse) {
    const int seeds = EnvCount("EPC_RANDOM_SEEDS", 2);
    const int steps = EnvCount("EPC_RANDOM_STEPS", 120);
    for (int s = 0; s < seeds; ++s) {
        const uint32_t seed = 2000u + uint32_t(s);
        std::mt19937 random(seed);
        auto* tree = NewTree<TTreeViewEx>(s % 2 == 1);
        TWrapDriver driver(*tree, random);
        tree->AutoNodeHeight = false;
        Fill(driver, *tree, 2000);
        tree->AutoNodeHeight = true;
        tree->UpdateNodeHeights();
        ua::ShowForm(form);
        tree->SetFocus();
        ua::Pump();
        CheckTree(*tree, "seed " + std::to_string(seed) + " filled");
        Drive(*tree, driver, steps, seed);
        FreeComponent(tree);
        if (HasFatalFailure()) return;
    }
}
