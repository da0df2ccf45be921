// Reads arbitrary bytes as a stored form holding trees (the word-wrapping tree, the string tree
// and the draw tree with their options, colours, header and columns), into a given form and
// into a component of the stream's class. Bad input must end in EReadError and leave nothing
// behind; what was read must paint.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/tree/TreeViewEx.h"
#include "components/tree/VirtualDrawTree.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/graphics/Bitmap.h"
#include "platform/streaming/Filer.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

std::string Stored(TComponent* root) {
    TMemoryStream out;
    WriteComponent(out, root);
    return out.DataString();
}

// Every tree the form holds paints its first rows into a small bitmap.
void PaintTrees(TComponent* root) {
    for (int i = 0; i < root->ComponentCount(); ++i)
        if (auto* tree = dynamic_cast<TBaseVirtualTree*>(root->Components(i))) {
            TBitmap bitmap(64, 64, pf32bit);
            tree->RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 64, 64), TPoint(0, 0),
                                 DefaultRenderOptions);
        }
}

} // namespace

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    InitializeForms();
    TForm form(nullptr);
    form.SetName("Seed");
    auto* ex = new TTreeViewEx(&form);
    ex->SetName("tv");
    ex->SetParent(&form);
    ex->SetNodeDataSize(12);
    ex->SetCtl3D(false);
    auto* o = ex->TreeOptions();
    o->SetPaintOptions(o->PaintOptions() | toShowHorzGridLines);
    o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    ex->Colors()->SetGridLineColor(clRed);
    ex->ScrollBarOptions()->SetScrollBars(TScrollStyle::ssVertical);
    TVirtualTreeColumn* c = ex->Header()->Columns()->Add();
    c->SetText(u"one");
    c->SetWidth(80);
    ex->Header()->Columns()->Add()->SetPosition(0);
    ex->Header()->SetMainColumn(1);
    ex->Header()->SetOptions(ex->Header()->Options() | hoVisible);
    auto* vst = new TVirtualStringTree(&form);
    vst->SetName("vst");
    vst->SetParent(&form);
    vst->SetDefaultText(u"Item");
    vst->SetRootNodeCount(2);
    vst->ClipboardFormats()->Add("Virtual Tree Data");
    auto* draw = new TVirtualDrawTree(&form);
    draw->SetName("vdt");
    draw->SetParent(&form);
    draw->SetBorderStyle(bsNone);
    seeds.push_back(Stored(&form));
    TVirtualStringTree alone(nullptr);
    alone.SetName("vstAlone");
    alone.SetRootNodeCount(1);
    seeds.push_back(Stored(&alone));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    [[maybe_unused]] static const bool ready = (InitializeForms(), true);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        TForm form(nullptr);
        TStringStream in(bytes);
        ReadComponent(in, &form);
        PaintTrees(&form);
    } catch (const EReadError&) {
    }
    try {
        TStringStream in(bytes);
        std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
    } catch (const EReadError&) {
    }
    return 0;
}
