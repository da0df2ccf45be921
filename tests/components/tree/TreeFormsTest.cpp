// Forms holding trees, written to component streams and read into new forms.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "TreeTestSupport.h"
#include "components/tree/TreeViewEx.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/Menus.h"
#include "platform/core/ScopeGuard.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

using namespace epc;
using namespace epc::tree_options;

namespace {

std::string Write(TComponent* root) {
    TMemoryStream out;
    WriteComponent(out, root);
    return out.DataString();
}

TForm* ReadBack(const std::string& bytes) {
    auto* form = new TForm(nullptr);
    TStringStream in(bytes);
    ReadComponent(in, form);
    return form;
}

// What the owning view does once its form has loaded: the full record size, its handlers,
// its nodes.
void FillAsTheView(TTreeViewEx* tree) {
    tree->SetNodeDataSize(TreeViewExNodeDataSize);
    tree->OnDrawNode = [](TBaseVirtualTree*, const TVTPaintInfo& info) {
        info.Canvas->Brush()->SetColor(clRed);
        info.Canvas->FillRect(TRect(info.ContentRect.Left, 2, info.ContentRect.Left + 4, 6));
    };
    tree->OnGetNodeWidth = [](TBaseVirtualTree*, TCanvas*, PVirtualNode, TColumnIndex, int& width) {
        width += 10;
    };
    tree->LockUpdates();
    PVirtualNode first = tree->AddTextNode(nullptr, TVTNodeAttachMode::amAddChildLast,
                                           "A first node whose text is long enough to wrap over "
                                           "several lines in the narrow tree",
                                           1, false, true, -1, false);
    tree->AddTextNode(first, TVTNodeAttachMode::amAddChildLast, "child one", 2, false, false, -1,
                      false);
    tree->AddTextNode(first, TVTNodeAttachMode::amAddChildLast, "child two, wrapping as well", 3,
                      true, false, -1, false);
    tree->AddTextNode(nullptr, TVTNodeAttachMode::amAddChildLast, "second", 4, false, true, -1,
                      false);
    tree->SetExpanded(first, true);
    tree->UnlockUpdates();
    tree->UpdateNodeHeights();
    tree->SetFocusedNode(tree->NextNodeInTree(first));
}

TEST(TreeForms, WordWrappingTreePaintsTheSameAfterItsFormIsReadBack) {
    TPlatformContext context;
    TForm* form = epc::testing::NewTreeForm();
    auto freeForm = Finally([form] { FreeComponent(form); });
    form->SetName("AnswerForm");
    auto* tree = new TTreeViewEx(form);
    tree->SetName("tvAnswer");
    tree->SetParent(form);
    epc::testing::UseFixedFace(*tree, 260, 180);
    tree->SetBounds(10, 8, 260, 180);
    tree->SetColor(TColor(RGB(250, 248, 236)));
    tree->SetCtl3D(false);
    tree->SetIndent(30);
    tree->SetDefaultNodeHeight(21);
    tree->SetNodeDataSize(12); // what the designer stored
    auto* options = tree->TreeOptions();
    options->SetPaintOptions((options->PaintOptions() - toShowTreeLines) | toShowHorzGridLines);
    options->SetSelectionOptions(options->SelectionOptions() | toFullRowSelect);
    options->SetMiscOptions(options->MiscOptions() | toEditable);
    tree->Colors()->SetFocusedSelectionColor(TColor(RGB(0, 110, 40)));
    tree->Colors()->SetGridLineColor(TColor(RGB(120, 120, 200)));
    tree->ScrollBarOptions()->SetScrollBars(TScrollStyle::ssVertical);
    TVTHeader* header = tree->Header();
    TVirtualTreeColumn* answer = header->Columns()->Add();
    answer->SetText(u"Answer");
    answer->SetWidth(170);
    TVirtualTreeColumn* note = header->Columns()->Add();
    note->SetText(u"Note");
    note->SetWidth(70);
    note->SetAlignment(taRightJustify);
    header->SetHeight(20);
    header->SetBackground(TColor(RGB(210, 220, 230)));
    header->SetOptions(header->Options() | hoVisible);

    const std::string bytes = Write(form);
    for (const char* name : {"TTreeViewEx", "NodeDataSize", "TreeOptions.PaintOptions",
                             "Header.Columns", "Colors.FocusedSelectionColor", "Indent"})
        EXPECT_NE(bytes.find(name), std::string::npos) << name;
    // Events are named by the form's reader, never stored with it.
    EXPECT_EQ(bytes.find("OnDrawNode"), std::string::npos);

    TForm* copy = ReadBack(bytes);
    auto freeCopy = Finally([copy] { FreeComponent(copy); });
    auto* read = dynamic_cast<TTreeViewEx*>(copy->FindComponent("tvAnswer"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->NodeDataSize(), 12);
    EXPECT_EQ(read->Indent(), 30u);
    EXPECT_EQ(read->TreeOptions()->PaintOptions(), options->PaintOptions());
    EXPECT_EQ(read->TreeOptions()->AutoOptions(), options->AutoOptions());
    EXPECT_EQ(read->TreeOptions()->SelectionOptions(), options->SelectionOptions());
    EXPECT_EQ(read->TreeOptions()->MiscOptions(), options->MiscOptions());
    EXPECT_FALSE(read->TreeOptions()->MiscOptions().Contains(toAcceptOLEDrop));
    ASSERT_EQ(read->Header()->Columns()->Count(), 2);
    EXPECT_EQ(read->Header()->Columns()->Items(1)->Text(), u"Note");
    EXPECT_EQ(read->Header()->Columns()->Items(1)->Left(), 170);
    EXPECT_FALSE(read->Header()->Loading());
    EXPECT_EQ(read->Colors()->GridLineColor(), TColor(RGB(120, 120, 200)));
    EXPECT_EQ(read->ScrollBarOptions()->ScrollBars(), TScrollStyle::ssVertical);
    EXPECT_EQ(read->Font()->Name(), "Fixed Metrics Test");
    EXPECT_FALSE(read->Ctl3D());

    FillAsTheView(tree);
    FillAsTheView(read);
    // Each as the person sees it, the tree holding the focus.
    auto look = [](TForm* f, TTreeViewEx* t) {
        epc::testing::ShowForm(f, 100, 100);
        t->SetFocus();
        epc::testing::Pump();
        return epc::testing::WindowPixels(t);
    };
    const TWindowPixels before = look(form, tree);
    const TWindowPixels after = look(copy, read);
    if (const char* out = std::getenv("EPC_TEST_OUT"))
        epc::testing::SavePng(after, std::string(out) + "/tree-form-read-back.png");
    ASSERT_EQ(before.Width, 260);
    ASSERT_EQ(after.Width, before.Width);
    ASSERT_EQ(after.Height, before.Height);
    int differing = 0;
    for (size_t i = 0; i < before.Pixels.size(); ++i)
        differing += (before.Pixels[i] & 0xFFFFFF) != (after.Pixels[i] & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    // The picture is the filled tree: header, the handler's marks, the focused row.
    int red = 0, green = 0;
    for (uint32_t p : after.Pixels) {
        red += (p & 0xFFFFFF) == 0xFF0000;
        green += (p & 0xFFFFFF) == 0x006E28;
    }
    EXPECT_GT(red, 4 * 16);
    EXPECT_GT(green, 100);
    EXPECT_EQ(after.Color(250, 10), ColorToRGB(TColor(RGB(210, 220, 230)))) << "header background";
}

TEST(TreeForms, StringTreeKeepsItsStoredPropertiesAndNodes) {
    TPlatformContext context;
    TForm form(nullptr);
    form.SetName("ListForm");
    auto* tree = new TVirtualStringTree(&form);
    tree->SetName("vst");
    tree->SetParent(&form);
    tree->SetDefaultText(u"Item");
    tree->TreeOptions()->SetStringOptions({TVTStringOption::soShowStaticText});
    tree->SetRootNodeCount(3);
    tree->SetIncrementalSearch(TVTIncrementalSearch::isAll);
    tree->SetDragType(TVTDragType::dtVCL);
    tree->SetBiDiMode(bdRightToLeft);
    tree->SetAlignment(taCenter);
    const std::string bytes = Write(&form);
    EXPECT_NE(bytes.find("WideDefaultText"), std::string::npos);
    EXPECT_EQ(bytes.find("DefaultText\x06"), std::string::npos);

    TForm copy(nullptr);
    TStringStream in(bytes);
    ReadComponent(in, &copy);
    auto* read = dynamic_cast<TVirtualStringTree*>(copy.FindComponent("vst"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->DefaultText(), u"Item");
    EXPECT_EQ(read->TreeOptions()->ClassName(), "TStringTreeOptions");
    EXPECT_EQ(read->TreeOptions()->StringOptions(),
              TVTStringOptions{TVTStringOption::soShowStaticText});
    // The stored count makes its nodes once the form has loaded.
    EXPECT_EQ(read->RootNodeCount(), 3u);
    EXPECT_EQ(read->Text(read->FirstNode(), NoColumn), u"Item");
    EXPECT_EQ(read->IncrementalSearch(), TVTIncrementalSearch::isAll);
    EXPECT_EQ(read->DragType(), TVTDragType::dtVCL);
    EXPECT_EQ(read->BiDiMode(), bdRightToLeft);
    EXPECT_EQ(read->Alignment(), taCenter);
}

TEST(TreeForms, OlderFormsOptionsSetIsRead) {
    TPlatformContext context;
    // A form of an older build: the tree's single "Options" set.
    TMemoryStream out;
    {
        TWriter writer(out);
        writer.WriteSignature();
        writer.WriteStr("TVirtualStringTree");
        writer.WriteStr("old");
        writer.WritePropName("Options");
        writer.WriteSet(0b101, {"voMultiSelect", "voAnimatedToggle", "voShowRoot"});
        writer.WriteListEnd();
        writer.WriteListEnd();
    }
    TStringStream in(out.DataString());
    std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
    auto* tree = dynamic_cast<TVirtualStringTree*>(made.get());
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->TreeOptions()->SelectionOptions(), TVTSelectionOptions{toMultiSelect});
    EXPECT_EQ(tree->TreeOptions()->PaintOptions(), TVTPaintOptions{toShowRoot});
    EXPECT_TRUE(tree->TreeOptions()->MiscOptions().Empty());
}

// An older form (kept as a fuzz seed): the single "Options" set, "StringOptions", texts of
// columns as "WideText", the main column given after the columns.
TEST(TreeForms, OlderStringTreeFormWithColumnsIsRead) {
    const char* root = std::getenv("EPC_TEST_DATA");
    if (!root) GTEST_SKIP() << "EPC_TEST_DATA not set";
    TPlatformContext context;
    TFileStream file(std::string(root) + "/fuzz/tree_form_stream_fuzz/older-string-tree",
                     fmOpenRead);
    std::unique_ptr<TComponent> made(ReadComponent(file, nullptr));
    auto* tree = dynamic_cast<TVirtualStringTree*>(made.get());
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->TreeOptions()->SelectionOptions(), TVTSelectionOptions{toMultiSelect});
    EXPECT_EQ(tree->TreeOptions()->MiscOptions(), TVTMiscOptions{toEditable});
    EXPECT_EQ(tree->TreeOptions()->StringOptions().Bits(), 3u);
    EXPECT_EQ(tree->DefaultText(), u"Old");
    EXPECT_EQ(tree->RootNodeCount(), 3u);
    TVTHeader* header = tree->Header();
    ASSERT_EQ(header->Columns()->Count(), 2);
    EXPECT_EQ(header->Columns()->Items(0)->Text(), u"b");
    // Stored positions hold: "a" is shown first.
    EXPECT_EQ(header->Columns()->PositionToIndex(), (std::vector<TColumnIndex>{1, 0}));
    EXPECT_EQ(header->Columns()->Items(0)->Left(), 50);
    EXPECT_EQ(header->MainColumn(), 1);
    EXPECT_TRUE(header->IsVisible());
}

// A form may give the word-wrapping tree nodes before its owner sets the record size: such
// nodes have no record, paint as empty rows and cannot be dragged.
TEST(TreeForms, WordWrappingTreeNodesMadeByTheFormHaveNoRecord) {
    for (int size : {-1, 12}) {
        TTreeViewEx designed(nullptr);
        designed.SetNodeDataSize(size);
        designed.SetRootNodeCount(2);
        TMemoryStream out;
        WriteComponent(out, &designed);
        TStringStream in(out.DataString());
        std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
        auto* tree = dynamic_cast<TTreeViewEx*>(made.get());
        ASSERT_NE(tree, nullptr);
        ASSERT_EQ(tree->RootNodeCount(), 2u) << size;
        EXPECT_EQ(tree->NodeRecord(tree->FirstNode()), nullptr) << size;
        EXPECT_FALSE(tree->DoDragAllowed(tree->FirstNode(), NoColumn));
        TBitmap bitmap(100, 60, pf32bit);
        tree->RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 100, 60), TPoint(0, 0),
                             DefaultRenderOptions);
        tree->UpdateNodeHeights();
        // The owner's size makes records again.
        tree->SetNodeDataSize(TreeViewExNodeDataSize);
        EXPECT_NE(tree->NodeRecord(tree->FirstNode()), nullptr) << size;
    }
}

// References a form gives the tree name components of the form; they go with what they name.
TEST(TreeForms, ReferencesToImagesAndMenusAreResolvedAndDropped) {
    TPlatformContext context;
    // The program registers the framework classes its forms hold.
    if (!IsClassRegistered("TImageList")) RegisterClass<TImageList>("TImageList");
    if (!IsClassRegistered("TPopupMenu")) RegisterClass<TPopupMenu>("TPopupMenu");
    TForm form(nullptr);
    form.SetName("RefForm");
    auto* images = new TImageList(&form);
    images->SetName("ilHeader");
    auto* menu = new TPopupMenu(&form);
    menu->SetName("pmTree");
    auto* tree = new TVirtualStringTree(&form);
    tree->SetName("vst");
    tree->SetParent(&form);
    tree->Header()->SetImages(images);
    tree->Header()->SetPopupMenu(menu);
    tree->SetImages(images);
    tree->SetPopupMenu(menu);
    TMemoryStream out;
    WriteComponent(out, &form);

    TForm copy(nullptr);
    TStringStream in(out.DataString());
    ReadComponent(in, &copy);
    auto* read = dynamic_cast<TVirtualStringTree*>(copy.FindComponent("vst"));
    auto* readImages = dynamic_cast<TImageList*>(copy.FindComponent("ilHeader"));
    auto* readMenu = dynamic_cast<TPopupMenu*>(copy.FindComponent("pmTree"));
    ASSERT_TRUE(read && readImages && readMenu);
    EXPECT_EQ(read->Header()->Images(), readImages);
    EXPECT_EQ(read->Header()->PopupMenu(), readMenu);
    EXPECT_EQ(read->Images(), readImages);
    EXPECT_EQ(read->PopupMenu(), readMenu);
    delete readImages;
    delete readMenu;
    EXPECT_EQ(read->Header()->Images(), nullptr);
    EXPECT_EQ(read->Header()->PopupMenu(), nullptr);
    EXPECT_EQ(read->Images(), nullptr);
    EXPECT_EQ(read->PopupMenu(), nullptr);
}

TEST(TreeForms, TreeClassesAreCreatableByName) {
    for (const char* name : {"TTreeViewEx", "TVirtualStringTree", "TVirtualDrawTree"})
        EXPECT_TRUE(IsClassRegistered(name)) << name;
    EXPECT_NE(GetPropInfo("TTreeViewEx", "OnDrawNode"), nullptr);
    EXPECT_NE(GetPropInfo("TTreeViewEx", "OnGetNodeWidth"), nullptr);
    EXPECT_NE(GetPropInfo("TTreeViewEx", "OnFocusChanged"), nullptr);
    EXPECT_NE(GetPropInfo("TTreeViewEx", "NodeDataSize"), nullptr);
    EXPECT_NE(GetPropInfo("TTreeViewEx", "TreeOptions"), nullptr);
    EXPECT_NE(GetPropInfo("TTreeViewEx", "Alignment"), nullptr);
    // The header's column events and the paint and drag-manager events are the tree's too.
    for (const char* name : {"OnColumnClick", "OnColumnDblClick", "OnAfterPaint", "OnBeforePaint",
                             "OnCreateDragManager"}) {
        const TPropInfo* info = GetPropInfo("TTreeViewEx", name);
        ASSERT_NE(info, nullptr) << name;
        EXPECT_EQ(info->Kind, TTypeKind::tkMethod) << name;
    }
    // Not these: the header parts and the scroll bar notification stay unpublished.
    EXPECT_EQ(GetPropInfo("TTreeViewEx", "OnHeaderDrawParts"), nullptr);
    EXPECT_EQ(GetPropInfo("TTreeViewEx", "OnUpdateScrollBars"), nullptr);
}

} // namespace
