// The word-wrapping tree: long node texts wrapped to the window, rows striped in visible order,
// the focused node highlighted; then the same nodes as an answer drawing (a hidden tree 300
// pixels wide, as tall as its content) and as a plain list.
// The first tree sits focused on a shown form, so its selection shows in the focused colours.

#include <string>

#include "components/tree/TreeViewEx.h"
#include "demo/DemoLabel.h"
#include "demo/DemoRegistry.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"

namespace {

using namespace epc;
using namespace epc::tree_options;

void Fill(TTreeViewEx& tree) {
    auto add = [&](PVirtualNode parent, const std::string& text) {
        return tree.AddTextNode(parent, TVTNodeAttachMode::amAddChildLast, text, 0, false, true, -1,
                                false);
    };
    tree.LockUpdates();
    tree.AutoNodeHeight = false;
    PVirtualNode plan = add(nullptr, "Plan the network & its address ranges before the devices "
                                     "are ordered, so that every site fits.");
    add(plan, "Gather the number of hosts at each site, including the growth expected over the "
              "next three years.");
    add(plan, "Choose a private range large enough for all sites.");
    add(plan, "Split it into one subnet per site, largest first, and keep one spare block for "
              "links between the routers.");
    PVirtualNode build = add(nullptr, "Configure the routers.");
    add(build, "Assign the first usable address of every subnet to the router's interface.");
    add(build, "Enable the routing protocol and announce only the site subnets.");
    add(nullptr, "Test from one host at every site that all other sites answer, and record the "
                 "round-trip times for later comparison.");
    add(nullptr, "Document.");
    tree.AutoNodeHeight = true;
    tree.ExpandAll();
    tree.UpdateNodeHeights();
    tree.UnlockUpdates();
}

bool RenderTreeViewEx(const std::string& dir) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, 440, 310);
    auto* shown = new TTreeViewEx(form);
    shown->SetParent(form);
    TTreeViewEx& tree = *shown;
    tree.SetColor(clWhite);
    tree.SetBounds(0, 0, 420, 290);
    Fill(tree);
    testing::ShowForm(form);
    tree.SetFocus();
    PVirtualNode focused = tree.NextNodeInTree(tree.FirstNode());
    tree.AddToSelection(focused);
    tree.SetFocusedNode(focused);
    const TRect extent = tree.TreeExtent();

    TTreeViewEx answer(nullptr);
    answer.SetColor(clWhite);
    answer.SetBounds(0, 0, 300, 100);
    Fill(answer);
    TRect answerExtent = answer.TreeExtent();
    answerExtent.Right = std::max(answerExtent.Right, 300);
    answerExtent.Bottom += 2;

    TTreeViewEx list(nullptr);
    list.SetColor(clWhite);
    list.SetBounds(0, 0, 300, 100);
    list.TreeOptions()->SetPaintOptions(list.TreeOptions()->PaintOptions() - toShowButtons -
                                        toShowRoot - toShowTreeLines);
    Fill(list);
    TRect listExtent = list.TreeExtent();
    listExtent.Bottom += 2;

    const int height =
        30 + extent.Height() + 40 + std::max(answerExtent.Height(), listExtent.Height()) + 20;
    TBitmap page(20 + 420 + 20 + 300 + 20, height, pf24bit);
    TCanvas* c = page.Canvas();
    c->Brush()->SetColor(TColor(0xF0F0F0));
    c->FillRect(TRect(0, 0, page.Width(), page.Height()));
    int y = 8;
    demo::DrawLabel(c, 10, y, u"Word-wrapping tree: long texts, striped rows, the focused node");
    y += 20;
    tree.RenderToCanvas(c, extent, TPoint(10, y), DefaultRenderOptions);
    y += extent.Height() + 16;
    demo::DrawLabel(c, 10, y, u"As an answer drawing (300 pixels wide)");
    demo::DrawLabel(c, 330, y, u"As a list");
    y += 20;
    TBitmap drawing(301, answerExtent.Height() + 1, pf24bit);
    drawing.Canvas()->Brush()->SetColor(clWhite);
    drawing.Canvas()->FillRect(TRect(0, 0, drawing.Width(), drawing.Height()));
    answer.RenderToCanvas(drawing.Canvas(), answerExtent, TPoint(1, 1), poGridLines);
    c->Draw(10, y, &drawing);
    list.RenderToCanvas(c, listExtent, TPoint(330, y), poGridLines);
    page.SaveToPngFile(dir + "/tree-wrapping.png");
    FreeComponent(form);
    return true;
}

demo::DemoSection treeViewExSection("32-tree-wrapping", RenderTreeViewEx);

} // namespace
