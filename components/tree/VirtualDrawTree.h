#pragma once
// TCustomVirtualDrawTree: a tree that leaves painting a node, measuring its width and drawing
// its hint to events.

#include <functional>
#include <string>

#include "components/tree/BaseVirtualTree.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

using TVTDrawHintEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* hintCanvas, PVirtualNode node, const TRect& r,
                       TColumnIndex column)>;

class TCustomVirtualDrawTree : public TBaseVirtualTree {
public:
    using TBaseVirtualTree::TBaseVirtualTree;
    std::string ClassName() const override { return "TCustomVirtualDrawTree"; }

    void DoPaintNode(TVTPaintInfo& paintInfo) override;
    // OnGetNodeWidth's answer, 0 without a handler.
    int DoGetNodeWidth(PVirtualNode node, TColumnIndex column) override;
    virtual void DoDrawHint(TCanvas* canvas, PVirtualNode node, const TRect& r,
                            TColumnIndex column);

    TVTDrawNodeEvent OnDrawNode;
    TVTGetNodeWidthEvent OnGetNodeWidth;
    TVTDrawHintEvent OnDrawHint;

private:
    TBitmap FMeasure{1, 1, pf32bit};
};

class TVirtualDrawTree : public TCustomVirtualDrawTree {
public:
    using TCustomVirtualDrawTree::TCustomVirtualDrawTree;
    std::string ClassName() const override { return "TVirtualDrawTree"; }
};

} // namespace epc
