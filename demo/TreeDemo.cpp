// The tree control painted whole: a header of three columns, check boxes, images, tree lines
// and buttons, a selection and the focus; then the same tree as an answer drawing (grid lines
// only), a hint with its shadow and a drag image over the tree.

#include <string>
#include <vector>

#include "components/tree/BaseVirtualTree.h"
#include "demo/DemoLabel.h"
#include "demo/DemoRegistry.h"
#include "platform/controls/ImageList.h"
#include "platform/graphics/Bitmap.h"

namespace {

using namespace epc;
using namespace epc::tree_options;

struct TRow {
    std::u16string Name, Kind, Size;
    int Image;
};

// A tree whose nodes carry three texts, one per column.
class TDemoTree : public TBaseVirtualTree {
public:
    TDemoTree() : TBaseVirtualTree(nullptr) {
        SetNodeDataSize(sizeof(int));
        Font()->SetName("Arial");
        Font()->SetSize(9);
        FMeasure.Canvas()->Font()->Assign(Font());
        SetColor(clWhite);
        SetBounds(0, 0, 420, 300);
    }
    std::vector<TRow> Rows;
    const TRow& RowOf(PVirtualNode node) const { return Rows[size_t(*NodeData<int>(node))]; }
    const std::u16string& TextOf(PVirtualNode node, TColumnIndex column) const {
        const TRow& row = RowOf(node);
        return column <= 0 ? row.Name : column == 1 ? row.Kind : row.Size;
    }
    int DoGetNodeWidth(PVirtualNode node, TColumnIndex column) override {
        return FMeasure.Canvas()->TextWidth(TextOf(node, column));
    }
    int DoGetImageIndex(PVirtualNode node, TVTImageKind kind, TColumnIndex column, bool&,
                        int& index) override {
        if (kind == TVTImageKind::ikNormal && column <= 0) index = RowOf(node).Image;
        return index;
    }
    void DoPaintNode(TVTPaintInfo& info) override {
        TCanvas* c = info.Canvas;
        c->Brush()->SetStyle(bsClear);
        const std::u16string& text = TextOf(info.Node, info.Column);
        int x = info.ContentRect.Left + TextMargin();
        if (info.Alignment == taRightJustify)
            x = info.ContentRect.Right - TextMargin() - info.NodeWidth;
        c->TextOut(x, (info.CellRect.Height() - c->TextHeight(text)) / 2, text);
        c->Brush()->SetStyle(bsSolid);
    }

private:
    TBitmap FMeasure{1, 1, pf32bit};
};

// Two small 16 x 16 pictures drawn in code: a folder and a page.
std::unique_ptr<TImageList> MakeImages() {
    auto list = std::make_unique<TImageList>(nullptr, 16, 16);
    for (int kind = 0; kind < 2; ++kind) {
        TBitmap b(16, 16, pf24bit);
        TCanvas* c = b.Canvas();
        c->Brush()->SetColor(clFuchsia);
        c->FillRect(TRect(0, 0, 16, 16));
        c->Pen()->SetColor(clBlack);
        if (kind == 0) {
            c->Brush()->SetColor(TColor(0x40C0F0));
            c->Rectangle(1, 4, 15, 14);
            c->Rectangle(1, 2, 7, 5);
        } else {
            c->Brush()->SetColor(clWhite);
            c->Rectangle(3, 1, 13, 15);
            c->Pen()->SetColor(clGray);
            for (int y = 4; y < 13; y += 3) {
                c->MoveTo(5, y);
                c->LineTo(11, y);
            }
        }
        list->AddMasked(&b, clFuchsia);
    }
    return list;
}

bool RenderTree(const std::string& dir) {
    TDemoTree tree;
    auto images = MakeImages();
    tree.SetImages(images.get());
    tree.TreeOptions()->SetMiscOptions(tree.TreeOptions()->MiscOptions() | toCheckSupport);
    tree.TreeOptions()->SetSelectionOptions(tree.TreeOptions()->SelectionOptions() | toMultiSelect);
    tree.TreeOptions()->SetPaintOptions(tree.TreeOptions()->PaintOptions() | toShowVertGridLines);
    TVTHeader* header = tree.Header();
    header->Font()->SetName("Arial");
    header->Font()->SetSize(9);
    header->SetHeight(20);
    header->SetOptions(header->Options() | hoVisible | hoShowSortGlyphs);
    const char16_t* titles[] = {u"Name", u"Kind", u"Size"};
    const int widths[] = {220, 110, 90};
    for (int i = 0; i < 3; ++i) {
        TVirtualTreeColumn* column = header->Columns()->Add();
        column->SetText(titles[i]);
        column->SetWidth(widths[i]);
    }
    header->Columns()->Items(2)->SetAlignment(taRightJustify);
    header->SetSortColumn(0);

    tree.Rows = {{u"Exams", u"folder", u"", 0},           {u"Networking", u"folder", u"", 0},
                 {u"Routing.eqb", u"bank", u"120 KB", 1}, {u"Switching.eqb", u"bank", u"98 KB", 1},
                 {u"Security", u"folder", u"", 0},        {u"Firewalls.eqb", u"bank", u"64 KB", 1},
                 {u"Notes.txt", u"text", u"2 KB", 1},     {u"history.dat", u"history", u"8 KB", 1}};
    auto add = [&](PVirtualNode parent, int row) {
        PVirtualNode node = tree.AddChild(parent);
        *tree.NodeData<int>(node) = row;
        tree.SetCheckType(node, ctTriStateCheckBox);
        return node;
    };
    PVirtualNode exams = add(nullptr, 0);
    PVirtualNode net = add(exams, 1);
    PVirtualNode routing = add(net, 2);
    add(net, 3);
    PVirtualNode security = add(exams, 4);
    add(security, 5);
    add(exams, 6);
    add(nullptr, 7);
    tree.ExpandAll(nullptr);
    tree.SetCheckState(routing, csCheckedNormal);
    tree.SetCheckState(security, csCheckedNormal);
    tree.AddToSelection(routing);
    tree.AddToSelection(security);
    tree.SetFocusedNode(routing);

    const int width = 420, treeHeight = 8 * 18 + 8;
    TBitmap page(width + 20, 40 + 20 + treeHeight + 40 + treeHeight + 130, pf24bit);
    TCanvas* c = page.Canvas();
    c->Brush()->SetColor(TColor(0xF0F0F0));
    c->FillRect(TRect(0, 0, page.Width(), page.Height()));
    int y = 8;
    demo::DrawLabel(c, 10, y, u"Tree with a header, check boxes, images and a selection");
    y += 20;
    header->Columns()->PaintHeader(c, TRect(10, y, 10 + width, y + 20), 0);
    y += 20;
    tree.RenderToCanvas(c, TRect(0, 0, width, treeHeight), TPoint(10, y), DefaultRenderOptions);
    y += treeHeight + 12;
    demo::DrawLabel(c, 10, y, u"The same tree as an answer drawing (grid lines only)");
    y += 20;
    tree.RenderToCanvas(c, TRect(0, 0, width, treeHeight), TPoint(10, y), poGridLines);
    y += treeHeight + 12;

    demo::DrawLabel(c, 10, y, u"A hint and a drag image");
    y += 20;
    tree.RenderToCanvas(c, TRect(0, 0, width, 100), TPoint(10, y), DefaultRenderOptions);
    TVirtualTreeHintWindow hint(nullptr);
    TVTHintData data;
    data.Tree = &tree;
    TRect hr = hint.CalcHintRect(200, "Routing.eqb: 120 KB, 40 questions", &data);
    TBitmap hintBitmap(hr.Width(), hr.Height(), pf32bit);
    BitBlt(hintBitmap.Canvas()->Handle(), 0, 0, hr.Width(), hr.Height(), c->Handle(), 230, y + 20,
           SRCCOPY);
    hint.DrawHint(hintBitmap);
    c->Draw(230, y + 20, &hintBitmap);
    TBitmap dragged(150, 18, pf32bit);
    tree.RenderToCanvas(dragged.Canvas(), TRect(36, 36, 186, 54), TPoint(0, 0), poSelection);
    TVTDragImage drag(&tree);
    drag.SetSurface(c->Handle());
    drag.PrepareDrag(&dragged, TPoint(60, y + 62), TPoint(0, 0));
    drag.ShowDragImage();
    page.SaveToPngFile(dir + "/tree.png");
    drag.EndDrag();
    return true;
}

demo::DemoSection treeSection("30-tree", RenderTree);

} // namespace
