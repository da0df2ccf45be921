// Two trees on a form: a node with its children is dragged with the mouse from the left tree
// onto a node of the right tree (the framework's drag, as the program's own trees use it), and
// the form is painted before and after the drop.

#include <string>
#include <vector>

#include "components/tree/BaseVirtualTree.h"
#include "demo/DemoRegistry.h"
#include "platform/controls/Forms.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"

namespace {

using namespace epc;
using namespace epc::tree_options;

const std::vector<std::u16string>& Names() {
    static const std::vector<std::u16string> names = {
        u"Network", u"Router",  u"Switch",   u"Firewall", u"Hub",        u"Site",
        u"Floor 1", u"Floor 2", u"Server A", u"Server B", u"Workstation"};
    return names;
}

// Nodes carry an index into Names(); it travels with them when they are moved or copied.
class TNameTree : public TBaseVirtualTree {
public:
    explicit TNameTree(TComponent* owner) : TBaseVirtualTree(owner) {
        SetNodeDataSize(sizeof(int32_t));
        Font()->SetName("Arial");
        Font()->SetSize(9);
        FMeasure.Canvas()->Font()->Assign(Font());
        SetColor(clWhite);
        SetDragType(TVTDragType::dtVCL);
        OnSaveNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            s.WriteInt32(*t->NodeData<int32_t>(n));
        };
        OnLoadNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            *t->NodeData<int32_t>(n) = s.ReadInt32();
        };
    }
    PVirtualNode Add(PVirtualNode parent, int32_t name) {
        PVirtualNode n = AddChild(parent);
        *NodeData<int32_t>(n) = name;
        return n;
    }
    const std::u16string& TextOf(PVirtualNode node) const {
        return Names()[size_t(*NodeData<int32_t>(node))];
    }
    int DoGetNodeWidth(PVirtualNode node, TColumnIndex) override {
        return FMeasure.Canvas()->TextWidth(TextOf(node));
    }
    void DoPaintNode(TVTPaintInfo& info) override {
        TCanvas* c = info.Canvas;
        c->Brush()->SetStyle(bsClear);
        c->Font()->SetColor(Selected(info.Node) ? clHighlightText : clWindowText);
        const std::u16string& text = TextOf(info.Node);
        c->TextOut(info.ContentRect.Left + TextMargin(),
                   (info.CellRect.Height() - c->TextHeight(text)) / 2, text);
        c->Brush()->SetStyle(bsSolid);
    }

private:
    TBitmap FMeasure{1, 1, pf32bit};
};

bool RenderTreeDrag(const std::string& dir) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetColor(TColor(0xF0F0F0));
    form->SetBounds(40, 40, 440, 220);
    auto* left = new TNameTree(form);
    auto* right = new TNameTree(form);
    left->SetParent(form);
    right->SetParent(form);
    left->SetBounds(10, 10, 200, 200);
    right->SetBounds(230, 10, 200, 200);

    PVirtualNode network = left->Add(nullptr, 0);
    left->Add(network, 1);
    PVirtualNode sw = left->Add(network, 2);
    left->Add(sw, 4);
    left->Add(network, 3);
    left->ExpandAll();
    PVirtualNode site = right->Add(nullptr, 5);
    PVirtualNode floor1 = right->Add(site, 6);
    right->Add(site, 7);
    right->Add(floor1, 8);
    right->Add(floor1, 9);
    right->ExpandAll();

    left->OnDragAllowed = [](TBaseVirtualTree*, PVirtualNode, TColumnIndex, bool& allowed) {
        allowed = true;
    };
    // The right tree takes nodes of the left one and puts them under the node they fall on.
    right->OnDragOver = [left](TBaseVirtualTree*, TObject* source, TShiftState, TDragState, TPoint,
                               TVTDropMode, uint32_t&, bool& accept) { accept = source == left; };
    right->OnDragDrop = [](TBaseVirtualTree* target, TObject* source, IDataObject*,
                           const std::vector<uint32_t>&, TShiftState, TPoint, uint32_t&,
                           TVTDropMode) {
        auto* from = dynamic_cast<TBaseVirtualTree*>(source);
        if (!from || !from->FocusedNode()) return;
        PVirtualNode at = target->DropTargetNode();
        from->MoveNodeTo(from->FocusedNode(), target, at, TVTNodeAttachMode::amAddChildLast, false);
        if (at) target->SetExpanded(at, true);
    };

    testing::ShowForm(form);
    bool ok = testing::SaveWindowPng(form, dir + "/tree-drag-before.png");
    // "Switch" (third row of the left tree) onto "Floor 2" (fifth row of the right tree).
    const int labelX = 2 * int(left->Indent()) + left->Margin() + 8;
    TPoint from(labelX, 2 * 18 + 9);
    TPoint onto = right->ClientToScreen(TPoint(2 * int(right->Indent()) + 12, 4 * 18 + 9));
    TPoint origin = left->ClientToScreen(TPoint(0, 0));
    testing::DragMouse(left, from, TPoint(onto.X - origin.X, onto.Y - origin.Y), 8);
    testing::Pump();
    ok = testing::SaveWindowPng(form, dir + "/tree-drag.png") && ok;
    ok = ok && left->TotalCount() == 3 && right->TotalCount() == 7;
    FreeComponent(form);
    return ok;
}

demo::DemoSection treeDragSection("31-tree-drag", RenderTreeDrag);

} // namespace
