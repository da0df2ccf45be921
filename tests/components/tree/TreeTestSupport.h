#pragma once
// Helpers shared by the tree tests: a brute-force check of the running totals.

#include <gtest/gtest.h>

#include "components/tree/BaseVirtualTree.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace epc::testing {

// The fixed-metric face (8 pixels a character, 16 a line) on white, at (0, 0) in the given size.
inline void UseFixedFace(TBaseVirtualTree& tree, int width, int height) {
    tree.Font()->SetName("Fixed Metrics Test");
    tree.Font()->SetHeight(-16);
    tree.SetColor(clWhite);
    tree.SetBounds(0, 0, width, height);
}

struct TTotals {
    Cardinal Count = 0;
    Cardinal Height = 0;
};

// Recomputes TotalCount and TotalHeight of every node from scratch and compares them with the
// stored ones; returns the number of fully visible nodes.
inline Cardinal CheckTotals(TBaseVirtualTree& tree) {
    tree.FlushTotals();
    Cardinal visible = 0;
    std::function<TTotals(PVirtualNode, bool)> walk = [&](PVirtualNode node, bool shown) {
        TTotals t{1, node->NodeHeight};
        const bool expanded = node->States.Contains(nsExpanded);
        for (PVirtualNode c = node->FirstChild; c; c = c->NextSibling) {
            bool childShown = shown && expanded && c->States.Contains(nsVisible);
            if (childShown) ++visible;
            TTotals ct = walk(c, childShown);
            t.Count += ct.Count;
            if (expanded && c->States.Contains(nsVisible)) t.Height += ct.Height;
        }
        EXPECT_EQ(node->TotalCount, t.Count);
        EXPECT_EQ(node->TotalHeight, t.Height);
        return t;
    };
    walk(tree.RootNode(), true);
    return visible;
}

// Whether the n bytes at p are all zero.
inline bool AllZero(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != 0) return false;
    return true;
}

// Indices of the children of a node, in sibling order.
inline std::vector<Cardinal> ChildIndices(PVirtualNode parent) {
    std::vector<Cardinal> result;
    for (PVirtualNode c = parent->FirstChild; c; c = c->NextSibling)
        result.push_back(c->Index);
    return result;
}

// One borderless form at (100, 100), 300 x 200, for the tree under test, on the case's context.
inline TForm* NewTreeForm() {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 300, 200);
    return form;
}

} // namespace epc::testing
