// Forms holding trees, written to component streams and read into new forms.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TreeTestSupport.h"
#include "components/tree/TreeViewEx.h"
#include "components/tree/VirtualDrawTree.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/ImageList.h"
#include "platform/controls/Menus.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
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

// ---- Every stored value read back -----------------------------------------------------------

// Every published value of an object and of the objects it holds, by dotted name, as text.
void CollectValues(TPersistent* object, const std::string& prefix,
                   std::map<std::string, std::string>& values) {
    for (const TPropInfo* p : GetPropList(object->ClassName())) {
        const std::string name = prefix + p->Name;
        if (p->IsOrdinal()) {
            if (p->GetOrd) values[name] = std::to_string(p->GetOrd(object));
            continue;
        }
        switch (p->Kind) {
        case TTypeKind::tkString:
            if (p->GetStr && p->Stored) values[name] = p->GetStr(object);
            break;
        case TTypeKind::tkWString:
            if (p->GetWStr) values[name] = WideToAnsi(p->GetWStr(object));
            break;
        case TTypeKind::tkFloat:
            if (p->GetFloat) values[name] = std::to_string(p->GetFloat(object));
            break;
        case TTypeKind::tkClass: {
            TPersistent* held = p->GetObj ? p->GetObj(object) : nullptr;
            if (!held) {
                values[name] = "nil";
            } else if (p->IsReference) {
                values[name] = dynamic_cast<TComponent*>(held)->Name();
            } else if (auto* items = dynamic_cast<TCollection*>(held)) {
                values[name] = std::to_string(items->Count()) + " items";
                for (int i = 0; i < items->Count(); ++i)
                    CollectValues(items->Items(i), name + "[" + std::to_string(i) + "].", values);
            } else {
                CollectValues(held, name + ".", values);
            }
            break;
        }
        default:
            break;
        }
    }
}

// Each ordinal property that has a default, with the objects (not collections) holding it.
void ForEachDefaulted(
    TPersistent* object, const std::string& prefix,
    const std::function<void(TPersistent*, const TPropInfo&, const std::string&)>& visit) {
    for (const TPropInfo* p : GetPropList(object->ClassName())) {
        if (p->IsOrdinal() && p->Default && p->GetOrd && p->SetOrd) {
            visit(object, *p, prefix + p->Name);
        } else if (p->Kind == TTypeKind::tkClass && !p->IsReference && p->GetObj) {
            TPersistent* held = p->GetObj(object);
            if (auto* items = dynamic_cast<TCollection*>(held)) {
                for (int i = 0; i < items->Count(); ++i)
                    ForEachDefaulted(items->Items(i),
                                     prefix + p->Name + "[" + std::to_string(i) + "].", visit);
            } else if (held) {
                ForEachDefaulted(held, prefix + p->Name + ".", visit);
            }
        }
    }
}

// A value of the property other than its default, which its setter keeps.
int64_t AwayFrom(const TPropInfo& p, const std::string& name) {
    const int64_t d = *p.Default;
    switch (p.Kind) {
    case TTypeKind::tkBoolean:
        return d ? 0 : 1;
    case TTypeKind::tkEnumeration:
        return (d + 1) % int64_t(p.Idents->size());
    case TTypeKind::tkSet:
        return d ^ 1;
    case TTypeKind::tkColor:
        return int64_t(RGB(10 + name.size(), 20, 30)); // a plain colour of its own
    default:
        // Size limits that would leave nothing of the window to compare.
        if (name.find("Constraints.Max") != std::string::npos) return 1000;
        return d < p.MaxValue ? d + 1 : d - 1;
    }
}

// Two trees as the person sees them, pixel for pixel.
int DifferingPixels(TForm* form1, TBaseVirtualTree* tree1, TForm* form2, TBaseVirtualTree* tree2) {
    auto look = [](TForm* f, TBaseVirtualTree* t) {
        epc::testing::ShowForm(f, 100, 100);
        epc::testing::Pump();
        return epc::testing::WindowPixels(t);
    };
    const TWindowPixels before = look(form1, tree1);
    const TWindowPixels after = look(form2, tree2);
    EXPECT_GT(before.Width, 0);
    if (after.Width != before.Width || after.Height != before.Height) return -1;
    int differing = 0;
    for (size_t i = 0; i < before.Pixels.size(); ++i)
        differing += (before.Pixels[i] & 0xFFFFFF) != (after.Pixels[i] & 0xFFFFFF);
    return differing;
}

// A form holding a word-wrapping tree is written and read into a new form; the read tree must
// hold every value the first one did and look the same.
void ExpectTreeReadsBack(TForm* form, TTreeViewEx* tree, const std::string& what) {
    SCOPED_TRACE(what);
    std::map<std::string, std::string> written;
    CollectValues(tree, "", written);
    TForm* copy = ReadBack(Write(form));
    auto freeCopy = Finally([copy] { FreeComponent(copy); });
    auto* read = dynamic_cast<TTreeViewEx*>(copy->FindComponent(tree->Name()));
    ASSERT_NE(read, nullptr);
    std::map<std::string, std::string> readBack;
    CollectValues(read, "", readBack);
    for (const auto& [name, value] : written)
        EXPECT_EQ(readBack[name], value) << name;
    EXPECT_EQ(read->ClipboardFormats()->Count(), tree->ClipboardFormats()->Count());
    tree->SetVisible(true);
    read->SetVisible(true);
    EXPECT_EQ(DifferingPixels(form, tree, copy, read), 0);
}

// The form of a view: a tree with columns, images and a menu to refer to, and nodes.
struct TStoredTreeForm {
    TForm* form = epc::testing::NewTreeForm();
    TTreeViewEx* tree = new TTreeViewEx(form);
    TStoredTreeForm() {
        // The program registers the framework classes its forms hold.
        if (!IsClassRegistered("TImageList")) RegisterClass<TImageList>("TImageList");
        if (!IsClassRegistered("TPopupMenu")) RegisterClass<TPopupMenu>("TPopupMenu");
        form->SetName("StoredForm");
        tree->SetName("tvStored");
        tree->SetParent(form);
        epc::testing::UseFixedFace(*tree, 260, 180);
        tree->Header()->Columns()->Add()->SetText(u"Answer");
        tree->Header()->Columns()->Add()->SetText(u"Note");
    }
    ~TStoredTreeForm() { FreeComponent(form); }
    void Refer() {
        auto* images = new TImageList(form);
        images->SetName("ilTree");
        auto* menu = new TPopupMenu(form);
        menu->SetName("pmTree");
        tree->SetImages(images);
        tree->SetStateImages(images);
        tree->SetCustomCheckImages(images);
        tree->SetPopupMenu(menu);
        tree->Header()->SetImages(images);
        tree->Header()->SetPopupMenu(menu);
        tree->ClipboardFormats()->Add("Virtual Tree Data");
    }
};

TEST(TreeForms, WordWrappingTreeKeepsEveryValueAwayFromItsDefaults) {
    TPlatformContext context;
    TStoredTreeForm f;
    f.Refer();
    std::vector<std::string> stuck;
    // Flat scroll bars are not built in: the regular ones are the only style a tree takes.
    const std::string fixed = "ScrollBarOptions.ScrollBarStyle";
    ForEachDefaulted(f.tree, "",
                     [&](TPersistent* object, const TPropInfo& p, const std::string& name) {
                         if (name == fixed) return;
                         p.SetOrd(object, AwayFrom(p, name));
                         // A number already at its largest goes down instead.
                         if (p.Kind == TTypeKind::tkInteger && p.GetOrd(object) == *p.Default)
                             p.SetOrd(object, *p.Default - 1);
                     });
    // Setters react to each other (a parent colour or font takes the parent's): every value
    // ends away from its default all the same.
    ForEachDefaulted(f.tree, "",
                     [&](TPersistent* object, const TPropInfo& p, const std::string& name) {
                         if (p.GetOrd(object) == *p.Default && name != fixed) stuck.push_back(name);
                     });
    EXPECT_EQ(stuck, std::vector<std::string>{});
    ExpectTreeReadsBack(f.form, f.tree, "away from its own defaults");
}

TEST(TreeForms, WordWrappingTreeKeepsTheBaseTreesDefaults) {
    TPlatformContext context;
    TStoredTreeForm f;
    f.tree->SetRootNodeCount(3);
    // Each value in which the word-wrapping tree starts differently from the base tree, set to
    // the base tree's.
    const std::map<std::string, std::string> baseClass = {
        {"TTreeViewEx", "TBaseVirtualTree"}, {"TVirtualTreeOptions", "TCustomVirtualTreeOptions"}};
    std::vector<std::string> changed;
    ForEachDefaulted(
        f.tree, "", [&](TPersistent* object, const TPropInfo& p, const std::string& name) {
            auto base = baseClass.find(object->ClassName());
            if (base == baseClass.end()) return;
            const TPropInfo* baseProp = GetPropInfo(base->second, p.Name);
            ASSERT_NE(baseProp, nullptr) << name;
            ASSERT_TRUE(baseProp->Default.has_value()) << name;
            if (*baseProp->Default == *p.Default) return;
            EXPECT_EQ(p.GetOrd(object), *p.Default) << name << " starts at the tree's own default";
            p.SetOrd(object, *baseProp->Default);
            changed.push_back(name);
        });
    EXPECT_EQ(changed, (std::vector<std::string>{
                           "DragType", "Indent", "NodeDataSize", "TreeOptions.AutoOptions",
                           "TreeOptions.MiscOptions", "TreeOptions.PaintOptions"}));
    EXPECT_EQ(f.tree->Indent(), 18u);
    EXPECT_TRUE(f.tree->TreeOptions()->PaintOptions().Contains(toShowDropmark));
    ExpectTreeReadsBack(f.form, f.tree, "at the base tree's defaults");
}

// What a tree holds when it is made is what its class registers as its defaults, so a value
// equal to a default (not written) reads back as itself; the base trees included.
TEST(TreeForms, RegisteredDefaultsAreTheValuesTreesStartWith) {
    TPlatformContext context;
    TForm form(nullptr);
    std::vector<TBaseVirtualTree*> trees = {new TTreeViewEx(&form), new TVirtualStringTree(&form),
                                            new TVirtualDrawTree(&form)};
    for (TBaseVirtualTree* tree : trees) {
        tree->SetParent(&form);
        // A column's own defaults too (without columns the main column reads as none).
        tree->Header()->Columns()->Add();
        ForEachDefaulted(
            tree, "", [&](TPersistent* object, const TPropInfo& p, const std::string& name) {
                EXPECT_EQ(p.GetOrd(object), *p.Default) << tree->ClassName() << "." << name;
            });
    }
}

// ---- Stored trees no real tree holds ----------------------------------------------------------

// The stored trees that fuzzing found (also seeds of the form fuzz target), by file name.
std::string StoredTreeFile(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    if (!root) return std::string();
    TFileStream file(std::string(root) + "/fuzz/tree_form_stream_fuzz/" + name, fmOpenRead);
    std::string bytes(size_t(file.Size()), '\0');
    file.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

// Read as a component of its own (owned by Owner); the read's error message, "" without one.
std::string ReadFailure(const std::string& bytes, TComponent* owner) {
    try {
        TStringStream in(bytes);
        std::unique_ptr<TComponent> made(ReadComponent(in, nullptr, owner));
        if (made) {
            TBitmap bitmap(64, 64, pf32bit);
            if (auto* tree = dynamic_cast<TBaseVirtualTree*>(made.get()))
                tree->RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 64, 64), TPoint(0, 0),
                                     DefaultRenderOptions);
        }
    } catch (const EReadError& e) {
        return e.Message();
    }
    return "";
}

// A record of 2 GB for each node, or two billion nodes: the read fails with a clear error and
// leaves nothing of what it made.
TEST(TreeForms, StoredTreesAskingForAllMemoryAreRefused) {
    if (!std::getenv("EPC_TEST_DATA")) GTEST_SKIP() << "EPC_TEST_DATA not set";
    TPlatformContext context;
    const std::pair<const char*, const char*> files[] = {
        {"node-data-size-2g.bin",
         "Error reading t.NodeDataSize: 2147483647 bytes of user data for each node are more "
         "than a tree may hold"},
        {"root-node-count-2g.bin",
         "Error reading t.RootNodeCount: 2147483647 nodes take more memory than a tree may hold"}};
    for (const auto& [name, message] : files) {
        TComponent owner(nullptr);
        EXPECT_EQ(ReadFailure(StoredTreeFile(name), &owner), message);
        EXPECT_EQ(owner.ComponentCount(), 0) << name;
    }
}

// Within a form, at the bounds: a record of 64 KB and nodes of 256 MB in all are still read;
// a byte or a node more is not, and the form is left as it was.
TEST(TreeForms, StoredNodeMemoryIsBoundedWithinAForm) {
    TPlatformContext context;
    auto stored = [](int nodeDataSize, Cardinal count) {
        TForm form(nullptr);
        form.SetName("Bounds");
        auto* tree = new TVirtualStringTree(&form);
        tree->SetName("vst");
        tree->SetParent(&form);
        TForm copy(nullptr);
        copy.SetName("Bounds");
        // Set as a form holds them, without making any node here.
        tree->IncludeState(TComponentStateItem::csLoading);
        tree->SetNodeDataSize(nodeDataSize);
        tree->SetRootNodeCount(count);
        const std::string bytes = Write(&form);
        tree->ExcludeState(TComponentStateItem::csLoading);
        std::string error;
        try {
            TStringStream in(bytes);
            ReadComponent(in, &copy);
        } catch (const EReadError& e) {
            error = e.Message();
        }
        if (!error.empty()) {
            EXPECT_EQ(copy.ComponentCount(), 0) << error;
        }
        return error;
    };
    EXPECT_EQ(stored(MaxStoredNodeDataSize, 2), "");
    EXPECT_NE(stored(MaxStoredNodeDataSize + 1, 0), "");
    EXPECT_EQ(stored(4, 100000), "");
    EXPECT_NE(stored(4, 10000000), "");
    EXPECT_NE(stored(MaxStoredNodeDataSize, 10000), "");
}

// A huge indent loads; painting clips the tree lines to the picture, so it ends at once.
TEST(TreeForms, StoredTreeWithAHugeIndentLoadsAndPaints) {
    const std::string bytes = StoredTreeFile("indent-2e9.bin");
    if (bytes.empty()) GTEST_SKIP() << "EPC_TEST_DATA not set";
    TPlatformContext context;
    TForm* form = epc::testing::NewTreeForm();
    auto freeForm = Finally([form] { FreeComponent(form); });
    TStringStream in(bytes);
    ReadComponent(in, form);
    auto* tree = dynamic_cast<TVirtualStringTree*>(form->FindComponent("t"));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->Indent(), 2000000000u);
    EXPECT_EQ(tree->RootNodeCount(), 1u);
    TBitmap bitmap(64, 64, pf32bit);
    tree->RenderToCanvas(bitmap.Canvas(), TRect(0, 0, 64, 64), TPoint(0, 0), DefaultRenderOptions);
    tree->SetBounds(0, 0, 120, 80);
    epc::testing::ShowForm(form);
    epc::testing::Pump();
    // Nothing of the node reaches the window: the tree's colour all over.
    const TWindowPixels pixels = epc::testing::ClientPixels(tree);
    ASSERT_GT(pixels.Width, 0);
    for (int y = 0; y < pixels.Height; ++y)
        for (int x = 0; x < pixels.Width; ++x)
            ASSERT_EQ(pixels.Color(x, y), ColorToRGB(tree->Color())) << x << "," << y;
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
