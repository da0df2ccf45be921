// The draw tree: node painting, width and hints come from its events.

#include "components/tree/VirtualDrawTree.h"

#include "components/tree/TreeForms.h"

namespace epc {

namespace {
// Forms holding the tree can be read as soon as the program runs.
[[maybe_unused]] const bool TreeClassesRegistered = (RegisterTreeClasses(), true);
} // namespace

void TCustomVirtualDrawTree::DoPaintNode(TVTPaintInfo& paintInfo) {
    if (OnDrawNode) OnDrawNode(this, paintInfo);
}

int TCustomVirtualDrawTree::DoGetNodeWidth(PVirtualNode node, TColumnIndex column) {
    int width = 0;
    if (OnGetNodeWidth) {
        TCanvas* canvas = FMeasure.Canvas();
        canvas->Font()->Assign(Font());
        OnGetNodeWidth(this, canvas, node, column, width);
    }
    return width;
}

void TCustomVirtualDrawTree::DoDrawHint(TCanvas* canvas, PVirtualNode node, const TRect& r,
                                        TColumnIndex column) {
    if (OnDrawHint) OnDrawHint(this, canvas, node, r, column);
}

} // namespace epc
