// Data objects, the clipboard, moving and copying nodes, and drags between two trees made with
// the mouse.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "TreeTestSupport.h"
#include "components/tree/VTDataTransfer.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/core/Threads.h"
#include "platform/testing/UserActions.h"

using namespace epc;
using namespace epc::tree_options;
namespace ua = epc::testing;
using epc::testing::CheckTotals;
using T = TBaseVirtualTree;
using M = TVTNodeAttachMode;

namespace {

// Nodes carry an int32 tag, saved and loaded with them.
void Prepare(T* tree) {
    tree->SetNodeDataSize(4);
    tree->OnSaveNode = [](T* t, PVirtualNode n, TStream& s) {
        s.WriteInt32(*t->NodeData<int32_t>(n));
    };
    tree->OnLoadNode = [](T* t, PVirtualNode n, TStream& s) {
        *t->NodeData<int32_t>(n) = s.ReadInt32();
    };
}

PVirtualNode Add(T* tree, PVirtualNode parent, int32_t tag) {
    PVirtualNode n = tree->AddChild(parent);
    *tree->NodeData<int32_t>(n) = tag;
    return n;
}

// Tags of the tree in order, children after their parent, -1 closing each child list.
std::vector<int32_t> Shape(T* tree, PVirtualNode parent = nullptr) {
    std::vector<int32_t> out;
    if (!parent) parent = tree->RootNode();
    for (PVirtualNode c = parent->FirstChild; c; c = c->NextSibling) {
        out.push_back(*tree->NodeData<int32_t>(c));
        if (c->FirstChild) {
            auto sub = Shape(tree, c);
            out.insert(out.end(), sub.begin(), sub.end());
            out.push_back(-1);
        }
    }
    return out;
}

struct TransferFixture : ::testing::Test {
    TPlatformContext Context; // one per case: its end frees what the case leaves
    void SetUp() override {
        // The drag managers ask for the helper when the trees' windows are made.
        Context.SetDragDropHelperAvailable(withHelper);
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 420, 200);
        a = new T(form);
        b = new T(form);
        for (T* t : {a, b}) {
            t->SetParent(form);
            t->SetBorderStyle(bsNone);
            Prepare(t);
        }
        a->SetBounds(0, 0, 200, 200);
        b->SetBounds(220, 0, 200, 200);
        a1 = Add(a, nullptr, 1);
        Add(a, a1, 11);
        Add(a, a1, 12);
        a2 = Add(a, nullptr, 2);
        b1 = Add(b, nullptr, 100);
        ua::ShowForm(form);
    }
    void TearDown() override { FreeComponent(form); }
    bool withHelper = false;
    TForm* form = nullptr;
    T* a = nullptr;
    T* b = nullptr;
    PVirtualNode a1 = nullptr, a2 = nullptr, b1 = nullptr;
};

struct HelperFixture : TransferFixture {
    HelperFixture() { withHelper = true; }
};

// A memory medium holding the text and its terminating zero.
STGMEDIUM TextMedium(const std::string& text) {
    STGMEDIUM m;
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(m.hGlobal), text.c_str(), text.size() + 1);
    GlobalUnlock(m.hGlobal);
    return m;
}

// Writes down the text of every change it is told of ("-" without data).
class TChangeSink : public TUnknownImpl<IAdviseSink> {
public:
    std::vector<std::string> Texts;
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IAdviseSink});
    }
    void OnDataChange(FORMATETC*, STGMEDIUM* medium) override {
        if (medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) {
            Texts.push_back("-");
            return;
        }
        Texts.push_back(static_cast<const char*>(GlobalLock(medium->hGlobal)));
        GlobalUnlock(medium->hGlobal);
    }
};

std::vector<std::string> HelperMethods() {
    std::vector<std::string> out;
    for (const TDropTargetHelperCall& call : DropTargetHelperCalls())
        if (out.empty() || out.back() != call.Method) out.push_back(call.Method);
    return out;
}

// A point of one control in the client coordinates of another.
TPoint InA(TControl* of, TControl* in, TPoint p) {
    TPoint s = ua::ScreenPoint(of, p);
    TPoint o = ua::ScreenPoint(in, TPoint(0, 0));
    return TPoint(s.X - o.X, s.Y - o.Y);
}

// An OLE drag by the mouse: the press and the first move past the threshold go through the
// window, the drag loop then takes the rest of the way and the release from the driver.
void OleDragMouse(TControl* from, TPoint start, TControl* over, TPoint end) {
    ua::MoveMouse(from, start.X, start.Y);
    ua::MouseDown(from, start.X, start.Y);
    const TPoint target = ua::ScreenPoint(over, end);
    std::vector<std::function<void()>> script;
    for (int i = 1; i <= 4; ++i) {
        TPoint s = ua::ScreenPoint(from, TPoint(start.X + 8, start.Y));
        TPoint p(s.X + (target.X - s.X) * i / 4, s.Y + (target.Y - s.Y) * i / 4);
        script.push_back([p] { SimulateMouseMove(p); });
    }
    script.push_back([target] { SimulateMouseButton(TMouseButtonId::Left, false, target); });
    size_t next = 0;
    SetDragDropDriver([&] {
        if (next >= script.size()) return false;
        script[next++]();
        return true;
    });
    ua::MoveMouse(from, start.X + 8, start.Y);
    SetDragDropDriver(nullptr);
    ua::Pump();
}

} // namespace

TEST_F(TransferFixture, ReferenceBlockHoldsTheWholePointer) {
    auto* data = new TVTDataObject(a, false);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(TreeUnitState().CF_VTREFERENCE);
    STGMEDIUM m;
    ASSERT_EQ(data->GetData(&f, &m), S_OK);
    EXPECT_EQ(GlobalSize(m.hGlobal), 4 + sizeof(void*));
    T* stored = nullptr;
    std::memcpy(&stored, static_cast<uint8_t*>(GlobalLock(m.hGlobal)) + 4, sizeof stored);
    GlobalUnlock(m.hGlobal);
    EXPECT_EQ(stored, a);
    ReleaseStgMedium(&m);
    EXPECT_EQ(T::GetTreeFromDataObject(data), a);
    data->Release();

    // Another process's reference is not followed; a short block neither.
    auto* foreign = new TVTDataObject(nullptr, false);
    for (size_t size : {TreeReferenceSize, size_t(8)}) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        auto* p = static_cast<uint8_t*>(GlobalLock(block));
        uint32_t pid = size == 8 ? GetCurrentProcessId() : GetCurrentProcessId() + 1;
        std::memcpy(p, &pid, 4);
        std::memcpy(p + 4, &a, std::min(size - 4, sizeof a));
        GlobalUnlock(block);
        STGMEDIUM given;
        given.tymed = TYMED_HGLOBAL;
        given.hGlobal = block;
        foreign->SetData(&f, &given, BOOL(1));
        EXPECT_EQ(T::GetTreeFromDataObject(foreign), nullptr);
    }
    foreign->Release();
}

TEST_F(TransferFixture, DataObjectAnswersQueriesAndEnumerates) {
    auto* data = new TVTDataObject(a, false);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(TreeUnitState().CF_VIRTUALTREE);
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    FORMATETC g = f;
    g.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->QueryGetData(&g), DV_E_TYMED);
    g = f;
    g.dwAspect = DVASPECT_ICON;
    EXPECT_EQ(data->QueryGetData(&g), DV_E_DVASPECT);
    g = f;
    g.lindex = 3;
    EXPECT_EQ(data->QueryGetData(&g), DV_E_LINDEX);
    g.cfFormat = 0x7777;
    EXPECT_EQ(data->QueryGetData(&g), DV_E_FORMATETC);
    EXPECT_EQ(data->GetDataHere(&f, nullptr), E_NOTIMPL);

    IEnumFORMATETC* e = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    FORMATETC got[4];
    ULONG n = 0;
    EXPECT_EQ(e->Next(4, got, &n), S_FALSE);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(got[0].cfFormat, f.cfFormat);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    e->Reset();
    EXPECT_EQ(e->Skip(1), S_OK);
    IEnumFORMATETC* c = nullptr;
    e->Clone(&c);
    EXPECT_EQ(c->Next(1, got, &n), S_FALSE);
    c->Release();
    e->Release();
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), OLE_S_USEREG);

    // The tree renders its selected subtrees in the stream format.
    a->AddToSelection(a1);
    STGMEDIUM m;
    ASSERT_EQ(data->GetData(&f, &m), S_OK);
    TMemoryStream s;
    s.WriteBuffer(GlobalLock(m.hGlobal), int64_t(GlobalSize(m.hGlobal)));
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    s.SetPosition(0);
    b->LoadFromStream(s);
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{1, 11, 12, -1}));
    data->Release();
}

TEST_F(TransferFixture, CopyPasteBetweenTreesAndCopyWithNothingSelected) {
    a->CopyToClipboard();
    EXPECT_EQ(CountClipboardFormats(), 0); // nothing selected: the clipboard stays as it was
    EXPECT_FALSE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));

    a->AddToSelection(a1);
    a->CopyToClipboard();
    EXPECT_TRUE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));
    EXPECT_TRUE(a1->States.Contains(nsCutOrCopy));
    b->SetFocusedNode(b1);
    b->SetDefaultPasteMode(M::amInsertAfter);
    EXPECT_TRUE(b->PasteFromClipboard());
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{100, 1, 11, 12, -1}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, 12, -1, 2}));
    CheckTotals(*b);
    // Copying again elsewhere ends the first copy's marks.
    b->AddToSelection(b1);
    b->CopyToClipboard();
    EXPECT_FALSE(a1->States.Contains(nsCutOrCopy));
    EXPECT_FALSE(a->TreeStates().Contains(TVirtualTreeState::tsCopyPending));
}

TEST_F(TransferFixture, CutAndPasteMovesWithinAndBetweenTrees) {
    // Within one tree: the cut node moves after the focused one and leaves its old place.
    a->AddToSelection(a1);
    a->CutToClipboard();
    a->SetFocusedNode(a2);
    a->SetDefaultPasteMode(M::amInsertAfter);
    EXPECT_TRUE(a->PasteFromClipboard());
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{2, 1, 11, 12, -1}));
    EXPECT_EQ(a->TotalCount(), 4u);
    CheckTotals(*a);
    // Between trees: the nodes go to the other tree and leave the source.
    a->ClearSelection();
    a->AddToSelection(a2);
    a->Perform(WM_CUT, 0, 0);
    b->SetFocusedNode(b1);
    b->SetDefaultPasteMode(M::amAddChildLast);
    b->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{100, 2, -1}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, 12, -1}));
    CheckTotals(*a);
    CheckTotals(*b);
}

TEST_F(TransferFixture, DataOfAnotherProcessComesThroughTheStreamOnly) {
    // An object holding only "Virtual Tree Data", as a foreign process offers it.
    TMemoryStream s;
    a->SaveToStream(s, a1);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size_t(s.Size()));
    std::memcpy(GlobalLock(block), s.Memory(), size_t(s.Size()));
    GlobalUnlock(block);
    auto* foreign = new TVTDataObject(nullptr, false);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(TreeUnitState().CF_VIRTUALTREE);
    STGMEDIUM m;
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = block;
    foreign->SetData(&f, &m, BOOL(1));
    EXPECT_EQ(T::GetTreeFromDataObject(foreign), nullptr);
    EXPECT_TRUE(b->ProcessOLEData(nullptr, foreign, nullptr, M::amAddChildLast, true));
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{100, 1, 11, 12, -1}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, 12, -1, 2})); // the source keeps its nodes
    foreign->Release();
}

TEST_F(TransferFixture, MoveAndCopyNodes) {
    // Within the tree.
    a->MoveNodeTo(a2, a, a1, M::amAddChildFirst, false);
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 2, 11, 12, -1}));
    CheckTotals(*a);
    try {
        a->MoveNodeTo(a1, a, a1->FirstChild, M::amInsertAfter, false);
        ADD_FAILURE();
    } catch (const EVirtualTreeError& e) {
        EXPECT_EQ(e.HelpContext(), hcTFWrongMoveError);
        EXPECT_EQ(e.Message(), "Target node cannot be a child node of the node to be moved.");
    }
    // Children only into the other tree, refusing one.
    b->OnNodeMoving = [&](T*, PVirtualNode n, PVirtualNode, bool& allowed) {
        allowed = *a->NodeData<int32_t>(n) != 11;
    };
    int moved = 0;
    b->OnNodeMoved = [&](T*, PVirtualNode) { ++moved; };
    a->MoveNodeTo(a1, b, b1, M::amInsertBefore, true);
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{2, 12, 100}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, -1}));
    EXPECT_EQ(moved, 2);
    CheckTotals(*a);
    CheckTotals(*b);
    // Copies keep the source and carry the user data.
    PVirtualNode copy = a->CopyNodeTo(a1, b, nullptr, M::amAddChildLast, false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(*b->NodeData<int32_t>(copy), 1);
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{2, 12, 100, 1, 11, -1}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, -1}));
    // A copy into its own subtree reads the finished stream once.
    a->CopyNodeTo(a1, a, a1->FirstChild, M::amAddChildLast, false);
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, 1, 11, -1, -1, -1}));
    CheckTotals(*a);
}

TEST_F(TransferFixture, FrameworkDragMovesANodeBetweenTrees) {
    a->SetDragType(TVTDragType::dtVCL);
    a->OnDragAllowed = [](T*, PVirtualNode, TColumnIndex, bool& allowed) { allowed = true; };
    TVTDropMode lastMode = TVTDropMode::dmNowhere;
    b->OnDragOver = [&](T*, TObject* source, TShiftState, TDragState, TPoint, TVTDropMode mode,
                        uint32_t&, bool& accept) {
        lastMode = mode;
        accept = source == a;
    };
    b->OnDragDrop = [&](T* target, TObject* source, IDataObject* data, const std::vector<uint32_t>&,
                        TShiftState, TPoint, uint32_t&, TVTDropMode mode) {
        EXPECT_EQ(data, nullptr);
        auto* from = dynamic_cast<T*>(source);
        ASSERT_NE(from, nullptr);
        from->MoveNodeTo(from->FocusedNode(), target, target->DropTargetNode(),
                         mode == TVTDropMode::dmOnNode ? M::amAddChildLast : M::amInsertAfter,
                         false);
    };
    // Press on a2's label (second row; a base tree's label is the text margins wide), drag
    // onto b1's label.
    ua::DragMouse(a, TPoint(26, 18 + 9), InA(b, a, TPoint(26, 9)), 6);
    EXPECT_EQ(lastMode, TVTDropMode::dmOnNode);
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{100, 2, -1}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{1, 11, 12, -1}));
    const auto ole =
        TVirtualTreeStates{TVirtualTreeState::tsOLEDragging, TVirtualTreeState::tsOLEDragPending};
    EXPECT_FALSE(a->TreeStates().ContainsAny(ole));
    EXPECT_FALSE(a->TreeStates().Contains(TVirtualTreeState::tsLeftButtonDown));
    EXPECT_EQ(b->DropTargetNode(), nullptr);
}

TEST_F(TransferFixture, OleDragCopiesAndTheSourceDeletesOnMove) {
    ASSERT_EQ(a->DragType(), TVTDragType::dtOLE);
    a->OnDragAllowed = [](T*, PVirtualNode, TColumnIndex, bool& allowed) { allowed = true; };
    int drops = 0;
    b->OnDragDrop = [&](T* target, TObject* source, IDataObject* data,
                        const std::vector<uint32_t>& formats, TShiftState, TPoint, uint32_t& effect,
                        TVTDropMode) {
        ++drops;
        EXPECT_EQ(source, a);
        EXPECT_FALSE(formats.empty());
        target->ProcessOLEData(dynamic_cast<T*>(source), data, target->DropTargetNode(),
                               M::amInsertBefore, false);
        effect = DROPEFFECT_MOVE;
    };
    OleDragMouse(a, TPoint(26, 9), b, TPoint(26, 9));
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(Shape(b), (std::vector<int32_t>{1, 11, 12, -1, 100}));
    EXPECT_EQ(Shape(a), (std::vector<int32_t>{2})); // moved: auto-deleted at the source
    EXPECT_FALSE(a->TreeStates().Contains(TVirtualTreeState::tsOLEDragging));
    CheckTotals(*a);
    CheckTotals(*b);
}

TEST_F(TransferFixture, NoDragWithoutPermission) {
    // The base tree lets no node be dragged unless OnDragAllowed says so.
    a->SetDragType(TVTDragType::dtVCL);
    int drops = 0;
    b->OnDragDrop = [&](T*, TObject*, IDataObject*, const std::vector<uint32_t>&, TShiftState,
                        TPoint, uint32_t&, TVTDropMode) { ++drops; };
    ua::DragMouse(a, TPoint(26, 18 + 9), InA(b, a, TPoint(26, 9)), 6);
    EXPECT_EQ(drops, 0);
    EXPECT_FALSE(a->Dragging());
    EXPECT_FALSE(a->TreeStates().Contains(TVirtualTreeState::tsVCLDragging));
}

TEST_F(TransferFixture, UserFormatsAreOfferedAndRenderedByTheEvent) {
    const uint32_t custom = RegisterClipboardFormatA("Tree Test Format");
    a->OnGetUserClipboardFormats = [&](TBaseVirtualTree*, std::vector<FORMATETC>& formats) {
        FORMATETC f;
        f.cfFormat = CLIPFORMAT(custom);
        formats.push_back(f);
    };
    a->OnRenderOLEData = [&](TBaseVirtualTree*, const FORMATETC& format, STGMEDIUM& medium, bool,
                             int32_t& result) {
        if (format.cfFormat != custom) return;
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 3);
        std::memcpy(GlobalLock(medium.hGlobal), "abc", 3);
        GlobalUnlock(medium.hGlobal);
        result = S_OK;
    };
    auto* data = new TVTDataObject(a, false);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(custom);
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    STGMEDIUM m;
    ASSERT_EQ(data->GetData(&f, &m), S_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(m.hGlobal)), 3), "abc");
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    // The tree's own format still comes first.
    IEnumFORMATETC* e = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    FORMATETC got[3];
    ULONG n = 0;
    e->Next(3, got, &n);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(got[0].cfFormat, TreeUnitState().CF_VIRTUALTREE);
    EXPECT_EQ(got[1].cfFormat, custom);
    e->Release();
    data->Release();
}

TEST_F(TransferFixture, RowsRepaintAtOnceUnderTheDragImage) {
    ua::Pump();
    TBitmap picture(30, 10, pf32bit);
    picture.Canvas()->Brush()->SetColor(clRed);
    picture.Canvas()->FillRect(TRect(0, 0, 30, 10));
    a->DragImage()->PrepareDrag(&picture, ua::ScreenPoint(a, TPoint(5, 5)), TPoint(0, 0));
    a->DragImage()->ShowDragImage();
    ASSERT_TRUE(a->DragImage()->Visible());
    // The rows take a new colour: painted before any message is handled.
    a->SetColor(clYellow);
    const TRect row = a->DisplayRect(a1, NoColumn, false);
    const COLORREF before = GetWindowPixels(a->Handle()).Color(150, row.Top + 2);
    a->UpdateWindowAndDragImage(row, false, true);
    EXPECT_NE(before, ColorToRGB(clYellow));
    EXPECT_EQ(GetWindowPixels(a->Handle()).Color(150, row.Top + 2), ColorToRGB(clYellow));
    EXPECT_TRUE(a->DragImage()->Visible());
    a->UpdateWindowAndDragImage(row, false, false);
    EXPECT_FALSE(a->DragImage()->Visible());
}

TEST_F(TransferFixture, AdviseSinksHearOfSetDataUntilTheyUnadvise) {
    auto* data = new TVTDataObject(a, false);
    auto* sink = new TChangeSink;
    IEnumSTATDATA* e = nullptr;
    // No holder before the first advise.
    EXPECT_EQ(data->DUnadvise(1), E_NOTIMPL);
    EXPECT_EQ(data->EnumDAdvise(&e), OLE_E_NOCONNECTION);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(RegisterClipboardFormatA("Advised Test Format"));
    DWORD connection = 0, bare = 0;
    ASSERT_EQ(data->DAdvise(&f, 0, sink, &connection), S_OK);
    ASSERT_EQ(data->DAdvise(&f, ADVF_NODATA, sink, &bare), S_OK);
    // Copied and handed-over media both tell the sinks, which see the new data.
    STGMEDIUM m = TextMedium("abc");
    ASSERT_EQ(data->SetData(&f, &m, BOOL(0)), S_OK);
    ReleaseStgMedium(&m);
    m = TextMedium("xyz");
    ASSERT_EQ(data->SetData(&f, &m, BOOL(1)), S_OK);
    EXPECT_EQ(sink->Texts, (std::vector<std::string>{"abc", "-", "xyz", "-"}));

    ASSERT_EQ(data->EnumDAdvise(&e), S_OK);
    STATDATA stat[2];
    ULONG n = 0;
    e->Next(2, stat, &n);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(stat[0].dwConnection, connection);
    EXPECT_EQ(stat[1].advf, DWORD(ADVF_NODATA));
    for (STATDATA& s : stat)
        s.pAdvSink->Release();
    e->Release();
    EXPECT_EQ(data->DUnadvise(bare), S_OK);
    EXPECT_EQ(data->DUnadvise(bare), OLE_E_NOCONNECTION);
    m = TextMedium("last");
    data->SetData(&f, &m, BOOL(1));
    EXPECT_EQ(sink->Texts.back(), "last");
    EXPECT_EQ(data->DUnadvise(connection), S_OK);
    m = TextMedium("unheard");
    data->SetData(&f, &m, BOOL(1));
    EXPECT_EQ(sink->Texts.size(), 5u);
    EXPECT_EQ(sink->RefCount(), 1u);
    data->Release();
    sink->Release();
}

TEST(TreeDragManager, OnCreateDragManagerSuppliesIt) {
    TBaseVirtualTree tree(nullptr);
    struct TOwnManager : TVTDragManager {
        using TVTDragManager::TVTDragManager;
    };
    TOwnManager* made = nullptr;
    int asked = 0;
    tree.OnCreateDragManager = [&](TBaseVirtualTree* sender, TVTDragManager*& manager) {
        ++asked;
        made = new TOwnManager(sender);
        manager = made;
    };
    EXPECT_EQ(tree.DragManager(), made);
    EXPECT_EQ(tree.DragManager(), made);
    EXPECT_EQ(asked, 1);
    // Without an answer the tree makes its own.
    TBaseVirtualTree other(nullptr);
    other.OnCreateDragManager = [](TBaseVirtualTree*, TVTDragManager*&) {};
    EXPECT_NE(other.DragManager(), nullptr);
}

TEST_F(TransferFixture, BitmapSetWithoutReleaseStaysTheCallers) {
    auto* data = new TVTDataObject(a, false);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(RegisterClipboardFormatA("Bitmap Test Format"));
    f.tymed = TYMED_GDI;
    HBITMAP mine = CreateBitmap(3, 2, 1, 32, nullptr);
    {
        TBitmapBits bits = GetBitmapBits(mine);
        bits.Bits[0] = 0x12;
        bits.Bits[bits.Stride + 4] = 0x34;
    }
    STGMEDIUM m;
    m.tymed = TYMED_GDI;
    m.hBitmap = mine;
    ASSERT_EQ(data->SetData(&f, &m, BOOL(0)), S_OK);
    // A second set of the same format releases the first stored copy, not the caller's bitmap.
    ASSERT_EQ(data->SetData(&f, &m, BOOL(0)), S_OK);
    STGMEDIUM out;
    ASSERT_EQ(data->GetData(&f, &out), S_OK);
    ASSERT_EQ(out.tymed, DWORD(TYMED_GDI));
    EXPECT_NE(out.hBitmap, mine);
    TBitmapBits copied = GetBitmapBits(out.hBitmap);
    EXPECT_EQ(copied.Width, 3);
    EXPECT_EQ(copied.Bits[0], 0x12);
    EXPECT_EQ(copied.Bits[copied.Stride + 4], 0x34);
    ReleaseStgMedium(&out);
    data->Release();
    // The data object is gone; the caller's bitmap is still there to read and free.
    BITMAP info{};
    ASSERT_NE(GetObjectW(reinterpret_cast<HGDIOBJ>(mine), int(sizeof info), &info), 0);
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(GetBitmapBits(mine).Bits[0], 0x12);
    EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(mine)));
}

TEST_F(HelperFixture, OleDragShowsThroughTheHelperWhileWholeWindowsAreDragged) {
    ASSERT_TRUE(b->DragManager()->DropTargetHelperSupported());
    a->OnDragAllowed = [](T*, PVirtualNode, TColumnIndex, bool& allowed) { allowed = true; };
    b->OnDragDrop = [&](T*, TObject*, IDataObject*, const std::vector<uint32_t>&, TShiftState,
                        TPoint, uint32_t& effect, TVTDropMode) { effect = DROPEFFECT_COPY; };
    // A lock of the form's window outlasts a drag of whole windows.
    ASSERT_TRUE(LockWindowUpdate(form->Handle()));
    OleDragMouse(a, TPoint(26, 9), b, TPoint(26, 9));
    EXPECT_FALSE(LockWindowUpdate(b->Handle()));
    // The source hands its picture to the helper; the drag leaves the source tree for the
    // target, where it drops.
    EXPECT_EQ(HelperMethods(),
              (std::vector<std::string>{"InitializeFromBitmap", "DragEnter", "DragOver",
                                        "DragLeave", "DragEnter", "Drop"}));
    const auto& calls = DropTargetHelperCalls();
    EXPECT_EQ(calls.front().Data, calls.back().Data);
    EXPECT_EQ(calls[1].Target, a->Handle());
    auto enterB = std::find_if(calls.begin() + 2, calls.end(), [](const TDropTargetHelperCall& c) {
        return c.Method == "DragEnter";
    });
    ASSERT_NE(enterB, calls.end());
    EXPECT_EQ(enterB->Target, b->Handle());
    EXPECT_NE(calls.back().Data, nullptr);
    EXPECT_EQ(calls.back().Pt, ua::ScreenPoint(b, TPoint(26, 9)));
    ClearDropTargetHelperCalls();
    b->DragManager()->ForceDragLeave();
    EXPECT_EQ(HelperMethods(), std::vector<std::string>{"DragLeave"});

    // Without whole-window dragging the helper is left out and window updates are unlocked.
    ClearDropTargetHelperCalls();
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, 0, nullptr, 0);
    OleDragMouse(a, TPoint(26, 18 + 9), b, TPoint(26, 9));
    EXPECT_EQ(HelperMethods(), std::vector<std::string>{"InitializeFromBitmap"});
    EXPECT_TRUE(LockWindowUpdate(b->Handle()));
    LockWindowUpdate(nullptr);
}

TEST_F(TransferFixture, OleDragCarriesAPictureOfTheSelectedRowsUnderTheCursor) {
    a->OnDragAllowed = [](T*, PVirtualNode, TColumnIndex, bool& allowed) { allowed = true; };
    bool shown = false;
    TPoint position, drop;
    TBitmap picture;
    b->OnDragDrop = [&](T*, TObject*, IDataObject*, const std::vector<uint32_t>&, TShiftState,
                        TPoint pt, uint32_t& effect, TVTDropMode) {
        TVTDragImage* image = a->DragImage();
        shown = image->Visible();
        position = image->ImagePosition();
        drop = b->ClientToScreen(pt);
        if (image->AlphaImage()) picture.Assign(image->AlphaImage());
        effect = DROPEFFECT_COPY;
    };
    OleDragMouse(a, TPoint(26, 9), b, TPoint(26, 9));
    ASSERT_TRUE(shown);
    // The whole 200 x 200 tree fits the drag size; the drag began 8 pixels right of the press.
    ASSERT_EQ(picture.Width(), 200);
    ASSERT_EQ(picture.Height(), 200);
    EXPECT_EQ(position, TPoint(drop.X - 34, drop.Y - 9));
    auto alphaIn = [&](int top, int bottom) {
        int most = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < picture.Width(); ++x)
                most = std::max(most, int(picture.ScanLine(y)[4 * x + 3]));
        return most;
    };
    // Only the dragged (selected) row shows; the rest is keyed out.
    EXPECT_GT(alphaIn(0, 18), 0);
    EXPECT_EQ(alphaIn(18, 200), 0);
    EXPECT_FALSE(a->DragImage()->Visible());
    EXPECT_EQ(a->DragImage()->AlphaImage(), nullptr);

    // Without a picture nothing follows the cursor.
    a->SetDragImageKind(TVTDragImageKind::diNoImage);
    shown = true;
    OleDragMouse(a, TPoint(26, 18 + 9), b, TPoint(26, 9));
    EXPECT_FALSE(shown);
}

namespace {
class TStreamOfferingTree : public TBaseVirtualTree {
public:
    using TBaseVirtualTree::TBaseVirtualTree;
};
} // namespace

TEST(ClipboardFormatRegistry, RegisteredFormatsAreOfferedAsDescribed) {
    const uint32_t id = TClipboardFormatList::Register<TStreamOfferingTree>(
        "Stream Offered Test Format", 60, "TStreamOfferingTree", -1, DVASPECT_CONTENT, nullptr,
        TYMED_ISTREAM);
    EXPECT_EQ(id, RegisterClipboardFormatA("Stream Offered Test Format"));
    TStreamOfferingTree tree(nullptr);
    TBaseVirtualTree plain(nullptr);
    std::vector<FORMATETC> offered, plainOffered;
    tree.GetNativeClipboardFormats(offered);
    plain.GetNativeClipboardFormats(plainOffered);
    // After the tree data (priority 50), before formats of higher numbers; other classes
    // do not offer it.
    ASSERT_EQ(offered.size(), plainOffered.size() + 1);
    EXPECT_EQ(offered[1].cfFormat, CLIPFORMAT(id));
    EXPECT_EQ(offered[1].tymed, DWORD(TYMED_ISTREAM));
    auto* data = new TVTDataObject(&tree, false);
    FORMATETC asked;
    asked.cfFormat = CLIPFORMAT(id);
    EXPECT_EQ(data->QueryGetData(&asked), DV_E_TYMED);
    asked.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->QueryGetData(&asked), S_OK);
    data->Release();
}

TEST(ClipboardFormatRegistry, ATreesListOfFormatsChoosesAmongItsClassFormats) {
    TVirtualStringTree tree(nullptr);
    std::vector<FORMATETC> all, chosen;
    tree.GetNativeClipboardFormats(all);
    EXPECT_EQ(all.size(), 7u);
    // The tree's own data stays whatever the list says.
    ASSERT_GE(tree.ClipboardFormats()->Add("CSV"), 0);
    tree.GetNativeClipboardFormats(chosen);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].cfFormat, CLIPFORMAT(TreeUnitState().CF_VIRTUALTREE));
    EXPECT_EQ(chosen[1].cfFormat, CLIPFORMAT(TreeUnitState().CF_CSV));
}
