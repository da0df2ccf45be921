// OLE-style drag and drop, the OLE clipboard and input-method compositions.

#include <cstring>
#include <string>

#include "WindowTestSupport.h"
#include "platform/windows/DataTransfer.h"
#include "platform/windows/Ime.h"

namespace epc {

namespace {

// A data object with one text format.
class TTextData : public TUnknownImpl<IDataObject> {
public:
    explicit TTextData(std::string text) : Text(std::move(text)) {}
    std::string Text;
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IDataObject});
    }
    HRESULT GetData(FORMATETC* f, STGMEDIUM* m) override {
        if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
        HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, Text.size() + 1);
        std::memcpy(GlobalLock(g), Text.c_str(), Text.size() + 1);
        GlobalUnlock(g);
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = g;
        return S_OK;
    }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC* f) override {
        return f->cfFormat == CF_TEXT && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return DATA_S_SAMEFORMATETC; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override {
        if (dir != DATADIR_GET) return E_NOTIMPL;
        FORMATETC f;
        f.cfFormat = CF_TEXT;
        *out = CreateFormatEnumerator({f});
        return S_OK;
    }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

class TSource : public TUnknownImpl<IDropSource> {
public:
    std::vector<DWORD> Feedback;
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IDropSource});
    }
    HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT GiveFeedback(DWORD effect) override {
        Feedback.push_back(effect);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
};

class TTarget : public TUnknownImpl<IDropTarget> {
public:
    std::vector<std::string> Log;
    std::string Dropped;
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IDropTarget});
    }
    HRESULT DragEnter(IDataObject*, DWORD, POINT pt, DWORD* effect) override {
        Log.push_back("enter " + std::to_string(pt.X));
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragOver(DWORD, POINT pt, DWORD* effect) override {
        Log.push_back("over " + std::to_string(pt.X));
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT DragLeave() override {
        Log.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD, POINT pt, DWORD* effect) override {
        Log.push_back("drop " + std::to_string(pt.X));
        FORMATETC f;
        f.cfFormat = CF_TEXT;
        STGMEDIUM m;
        if (data->GetData(&f, &m) == S_OK) {
            Dropped = static_cast<const char*>(GlobalLock(m.hGlobal));
            GlobalUnlock(m.hGlobal);
            ReleaseStgMedium(&m);
        }
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
};

// Writes down every change it is told of, with the text the medium holds ("-" for none).
class TChangeSink : public TUnknownImpl<IAdviseSink> {
public:
    std::vector<std::string> Log;
    std::function<void()> OnChange;
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IAdviseSink});
    }
    void OnDataChange(FORMATETC*, STGMEDIUM* medium) override {
        if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
            Log.push_back(static_cast<const char*>(GlobalLock(medium->hGlobal)));
            GlobalUnlock(medium->hGlobal);
        } else {
            Log.push_back("-");
        }
        if (OnChange) OnChange();
    }
};

}  // namespace

class DataTransferTest : public WindowTest {};

TEST_F(DataTransferTest, DragLoopFollowsQueuedInputToTheDrop) {
    HWND from = rec.Make(0, 0, 100, 100);
    HWND to = rec.Make(200, 0, 100, 100);
    auto* target = new TTarget;
    ASSERT_EQ(RegisterDragDrop(to, target), S_OK);
    EXPECT_EQ(RegisterDragDrop(to, target), DRAGDROP_E_ALREADYREGISTERED);
    auto* data = new TTextData("payload");
    auto* source = new TSource;
    HRESULT result = E_FAIL;
    DWORD effect = 0;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM, LRESULT&) {
        if (h == from && msg == WM_MOUSEMOVE && !IsInDragDropLoop() && result == E_FAIL)
            result = DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
        return false;
    };
    SimulateMouseButton(TMouseButtonId::Left, true, TPoint(10, 10));
    SimulateMouseMove(TPoint(20, 10));   // starts the drag
    SimulateMouseMove(TPoint(210, 10));  // over the target
    SimulateMouseMove(TPoint(220, 10));
    SimulateMouseButton(TMouseButtonId::Left, false, TPoint(220, 10));
    ProcessMessages();
    EXPECT_EQ(result, DRAGDROP_S_DROP);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(target->Log, (std::vector<std::string>{"enter 210", "over 220", "drop 220"}));
    EXPECT_EQ(target->Dropped, "payload");
    EXPECT_EQ(source->Feedback.front(), DWORD(DROPEFFECT_NONE));  // still over the source
    EXPECT_EQ(source->Feedback.back(), DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(rec.Count(WM_LBUTTONUP, to), 0);  // the loop took the release
    data->Release();
    source->Release();
    EXPECT_EQ(RevokeDragDrop(to), S_OK);
    EXPECT_EQ(RevokeDragDrop(to), DRAGDROP_E_NOTREGISTERED);
    EXPECT_EQ(target->RefCount(), 1u);
    target->Release();
}

TEST_F(DataTransferTest, EscapeCancelsAndTheTargetHearsLeave) {
    HWND to = rec.Make(200, 0, 100, 100);
    SetFocus(to);
    auto* target = new TTarget;
    RegisterDragDrop(to, target);
    auto* data = new TTextData("x");
    auto* source = new TSource;
    SimulateMouseButton(TMouseButtonId::Left, true, TPoint(210, 10));
    ProcessMessages();
    SimulateMouseMove(TPoint(215, 10));
    SimulateKey(VK_ESCAPE, true);
    DWORD effect = 99;
    EXPECT_EQ(DoDragDrop(data, source, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(target->Log, (std::vector<std::string>{"enter 210", "over 215", "leave"}));
    // Without more input the button is let go where the cursor is.
    target->Log.clear();
    EXPECT_EQ(DoDragDrop(data, source, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(target->Log, (std::vector<std::string>{"enter 215", "drop 215"}));
    data->Release();
    source->Release();
    target->Release();  // the registration keeps its own reference
    void* helper = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDropTargetHelper, &helper),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(helper, nullptr);
}

TEST_F(DataTransferTest, OleClipboardGivesTheObjectWhileCurrent) {
    auto* data = new TTextData("ole text");
    ASSERT_EQ(OleSetClipboard(data), S_OK);
    EXPECT_EQ(data->RefCount(), 2u);
    EXPECT_EQ(OleIsCurrentClipboard(data), S_OK);
    ASSERT_TRUE(OpenClipboard(nullptr));
    auto g = static_cast<HGLOBAL>(GetClipboardData(CF_TEXT));
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(g)), "ole text");
    GlobalUnlock(g);
    CloseClipboard();
    IDataObject* got = nullptr;
    OleGetClipboard(&got);
    EXPECT_EQ(got, data);
    got->Release();
    // Someone else's data replaces it; the OLE view then reads the plain clipboard.
    OpenClipboard(nullptr);
    EmptyClipboard();
    HGLOBAL other = GlobalAlloc(GMEM_MOVEABLE, 6);
    std::memcpy(GlobalLock(other), "other", 6);
    GlobalUnlock(other);
    SetClipboardData(CF_TEXT, other);
    CloseClipboard();
    EXPECT_EQ(OleIsCurrentClipboard(data), S_FALSE);
    OleGetClipboard(&got);
    ASSERT_NE(got, data);
    FORMATETC f;
    f.cfFormat = CF_TEXT;
    STGMEDIUM m;
    ASSERT_EQ(got->GetData(&f, &m), S_OK);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(m.hGlobal)), "other");
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    f.cfFormat = CLIPFORMAT(RegisterClipboardFormatA("Virtual Tree Data"));
    EXPECT_EQ(got->QueryGetData(&f), DV_E_FORMATETC);
    got->Release();
    OleFlushClipboard();
    EXPECT_EQ(data->RefCount(), 1u);
    data->Release();
}

TEST_F(DataTransferTest, ImeResultReachesTheFocusWindow) {
    std::u16string seen;
    rec.Handler = [&](HWND h, uint32_t msg, WPARAM, LPARAM l, LRESULT&) {
        if (msg == WM_IME_COMPOSITION && (l & GCS_RESULTSTR)) {
            HIMC imc = ImmGetContext(h);
            LONG bytes = ImmGetCompositionStringW(imc, GCS_RESULTSTR, nullptr, 0);
            seen.resize(size_t(bytes) / 2);
            ImmGetCompositionStringW(imc, GCS_RESULTSTR, seen.data(), DWORD(bytes));
            ImmReleaseContext(h, imc);
        }
        return false;  // left to DefWindowProc: characters follow
    };
    HWND h = rec.Make(0, 0, 100, 100);
    SetFocus(h);
    COMPOSITIONFORM form;
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = TPoint(7, 9);
    ImmSetCompositionWindow(ImmGetContext(h), &form);
    EXPECT_EQ(LastCompositionWindow().ptCurrentPos, TPoint(7, 9));
    SimulateImeComposition(u"\u65e5\u672c");
    EXPECT_EQ(seen, u"\u65e5\u672c");
    auto chars = rec.Of(WM_CHAR, h);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].W, WPARAM(0x65e5));
    EXPECT_EQ(rec.Count(WM_IME_STARTCOMPOSITION, h), 1);
    EXPECT_EQ(rec.Count(WM_IME_ENDCOMPOSITION, h), 1);
}

}  // namespace epc

#include "platform/windows/Accessibility.h"

namespace epc {

TEST_F(DataTransferTest, AccessibleObjectsComeFromTheWindowOrTheStandardOne) {
    HWND plain = rec.Make(10, 20, 80, 40);
    SetWindowText(plain, "Sections");
    SetFocus(plain);
    IAccessible* acc = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(plain, DWORD(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&acc)),
              S_OK);
    LONG role = 0;
    DWORD state = 0;
    std::u16string name;
    acc->get_accRole(CHILDID_SELF, &role);
    acc->get_accState(CHILDID_SELF, &state);
    acc->get_accName(CHILDID_SELF, &name);
    EXPECT_EQ(role, ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(state, DWORD(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED));
    EXPECT_EQ(name, u"Sections");
    LONG l, t, w, h;
    acc->accLocation(&l, &t, &w, &h, CHILDID_SELF);
    EXPECT_EQ(TRect(l, t, l + w, t + h), TRect(10, 20, 90, 60));
    // A window that answers WM_GETOBJECT hands out its own object.
    IAccessible* own = acc;
    rec.Handler = [&](HWND, uint32_t msg, WPARAM wp, LPARAM lp, LRESULT& r) {
        if (msg != WM_GETOBJECT || LONG(lp) != OBJID_CLIENT) return false;
        r = LresultFromObject(IID_IAccessible, wp, own);
        return true;
    };
    HWND custom = rec.Make(0, 0, 10, 10);
    IAccessible* got = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(custom, DWORD(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&got)),
              S_OK);
    EXPECT_EQ(got, own);
    got->Release();
    acc->Release();
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, custom, OBJID_CLIENT, 3);
    ASSERT_EQ(WinEventLog().size(), 1u);
    EXPECT_EQ(WinEventLog()[0].ChildId, 3);
    ClearWinEventLog();
}

TEST_F(DataTransferTest, AdviseHolderTellsItsSinksAsTheyAsked) {
    IDataAdviseHolder* holder = nullptr;
    ASSERT_EQ(CreateDataAdviseHolder(&holder), S_OK);
    auto* data = new TTextData("one");
    auto* sink = new TChangeSink;
    FORMATETC text;
    text.cfFormat = CF_TEXT;
    DWORD plain = 0, bare = 0, once = 0, primed = 0;
    ASSERT_EQ(holder->Advise(data, &text, 0, sink, &plain), S_OK);
    ASSERT_EQ(holder->Advise(data, &text, ADVF_NODATA, sink, &bare), S_OK);
    ASSERT_EQ(holder->Advise(data, &text, ADVF_ONLYONCE, sink, &once), S_OK);
    EXPECT_EQ(plain, 1u);
    EXPECT_EQ(once, 3u);
    EXPECT_TRUE(sink->Log.empty());
    // A primed connection is told at once.
    ASSERT_EQ(holder->Advise(data, &text, ADVF_PRIMEFIRST, sink, &primed), S_OK);
    EXPECT_EQ(sink->Log, std::vector<std::string>{"one"});
    EXPECT_EQ(sink->RefCount(), 5u);  // one per connection

    sink->Log.clear();
    holder->SendOnDataChange(data, 0, 0);
    EXPECT_EQ(sink->Log, (std::vector<std::string>{"one", "-", "one", "one"}));
    // The connection for one change is gone; so is an unadvised one.
    EXPECT_EQ(holder->Unadvise(once), OLE_E_NOCONNECTION);
    EXPECT_EQ(holder->Unadvise(bare), S_OK);
    EXPECT_EQ(holder->Unadvise(0), OLE_E_NOCONNECTION);
    IEnumSTATDATA* e = nullptr;
    ASSERT_EQ(holder->EnumAdvise(&e), S_OK);
    STATDATA got[3];
    ULONG n = 0;
    EXPECT_EQ(e->Next(3, got, &n), S_FALSE);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(got[0].dwConnection, plain);
    EXPECT_EQ(got[1].dwConnection, primed);
    EXPECT_EQ(got[1].pAdvSink, sink);
    for (ULONG i = 0; i < n; ++i) got[i].pAdvSink->Release();
    e->Reset();
    EXPECT_EQ(e->Skip(2), S_OK);  // to the end exactly
    EXPECT_EQ(e->Skip(1), S_FALSE);
    e->Release();

    // A sink may end its own and another connection while it is told.
    sink->Log.clear();
    data->Text = "two";
    sink->OnChange = [&] {
        holder->Unadvise(plain);
        holder->Unadvise(primed);
    };
    holder->SendOnDataChange(data, 0, 0);
    EXPECT_EQ(sink->Log, std::vector<std::string>{"two"});
    EXPECT_EQ(sink->RefCount(), 1u);
    holder->Release();
    sink->Release();
    data->Release();
}

TEST_F(DataTransferTest, DragDropHelperIsMadeOnlyOnceInstalledAndLogsItsCalls) {
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDropTargetHelper, &object),
              REGDB_E_CLASSNOTREG);
    Windows.SetDragDropHelperAvailable(true);
    EXPECT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDataObject,
                               &object),
              E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDropTargetHelper, &object),
              S_OK);
    auto* helper = static_cast<IDropTargetHelper*>(object);
    HWND h = rec.Make(0, 0, 50, 50);
    POINT pt(7, 8);
    helper->DragEnter(h, nullptr, &pt, DROPEFFECT_COPY);
    helper->DragLeave();
    ASSERT_EQ(DropTargetHelperCalls().size(), 2u);
    EXPECT_EQ(DropTargetHelperCalls()[0].Method, "DragEnter");
    EXPECT_EQ(DropTargetHelperCalls()[0].Target, h);
    EXPECT_EQ(DropTargetHelperCalls()[0].Pt, TPoint(7, 8));
    EXPECT_EQ(DropTargetHelperCalls()[1].Method, "DragLeave");
    helper->Release();
    TWindowsScope fresh;
    EXPECT_TRUE(DropTargetHelperCalls().empty());
    EXPECT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDropTargetHelper, &object),
              REGDB_E_CLASSNOTREG);
}

TEST_F(DataTransferTest, DragSourceHelperTakesTheDragImageOver) {
    Windows.SetDragDropHelperAvailable(true);
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDragSourceHelper, &object),
              S_OK);
    auto* helper = static_cast<IDragSourceHelper*>(object);
    // Both sides are one object.
    void* other = nullptr;
    ASSERT_EQ(helper->QueryInterface(IID_IDropTargetHelper, &other), S_OK);
    static_cast<IDropTargetHelper*>(other)->Release();
    IDataObject* data = nullptr;
    ASSERT_EQ(OleGetClipboard(&data), S_OK);
    SHDRAGIMAGE image;
    EXPECT_EQ(helper->InitializeFromBitmap(&image, data), E_INVALIDARG);
    image.hbmpDragImage = CreateBitmap(3, 2, 1, 32, nullptr);
    TBitmapBits bits = GetBitmapBits(image.hbmpDragImage);
    reinterpret_cast<uint32_t*>(bits.Bits + bits.Stride)[2] = 0x80112233;
    image.sizeDragImage = TSize(3, 2);
    image.ptOffset = TPoint(1, 1);
    image.crColorKey = 0x00FF00FF;
    ASSERT_EQ(helper->InitializeFromBitmap(&image, data), S_OK);
    EXPECT_EQ(image.hbmpDragImage, nullptr);
    ASSERT_EQ(DropTargetHelperCalls().size(), 1u);
    const TDropTargetHelperCall& call = DropTargetHelperCalls()[0];
    EXPECT_EQ(call.Method, "InitializeFromBitmap");
    EXPECT_EQ(call.Data, data);
    EXPECT_EQ(call.Pt, TPoint(1, 1));
    EXPECT_EQ(call.ImageSize, TSize(3, 2));
    EXPECT_EQ(call.ColorKey, 0x00FF00FFu);
    ASSERT_EQ(call.Image.size(), 6u);
    EXPECT_EQ(call.Image[5], 0x80112233u);
    helper->Release();
    data->Release();
}

}  // namespace epc
