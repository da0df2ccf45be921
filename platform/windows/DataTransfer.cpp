// OLE-style drag and drop and the OLE clipboard, in process.

#include "platform/windows/DataTransfer.h"

#include <cstring>
#include <map>

#include "platform/windows/ListEnumerator.h"
#include "platform/windows/WindowsState.h"

namespace epc {

const IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IEnumFORMATETC{0x00000103, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDropSource{0x00000121, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDropTarget{0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDragSourceHelper{0xDE5BF786, 0x477A, 0x11D2,
                                {0x83, 0x9D, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
const IID IID_IDropTargetHelper{0x4657278B, 0x411B, 0x11D2,
                                {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
const IID IID_IAdviseSink{0x0000010F, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IEnumSTATDATA{0x00000105, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDataAdviseHolder{0x00000110, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID CLSID_DragDropHelper{0x4657278A, 0x411B, 0x11D2,
                                 {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};

namespace {

TTransferState& State() {
    return WindowsState().Transfer;
}

using TFormatEnumerator = TListEnumerator<IEnumFORMATETC, FORMATETC, IID_IEnumFORMATETC>;

// What OleGetClipboard gives when no OLE object is current: the clipboard's memory formats.
class TClipboardDataObject : public TUnknownImpl<IDataObject> {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IDataObject});
    }
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_POINTER;
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK) return hr;
        if (!OpenClipboard(nullptr)) return CLIPBRD_E_CANT_OPEN;
        auto h = static_cast<HGLOBAL>(GetClipboardData(format->cfFormat));
        HGLOBAL copy = h ? CopyGlobalBlock(h) : nullptr;
        CloseClipboard();
        if (!copy) return h ? E_OUTOFMEMORY : DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC* format) override {
        if (!format) return E_POINTER;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        if (format->cfFormat == CF_BITMAP) return DV_E_TYMED;
        return IsClipboardFormatAvailable(format->cfFormat) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        for (uint32_t f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
            FORMATETC fe;
            fe.cfFormat = CLIPFORMAT(f);
            fe.tymed = f == CF_BITMAP ? TYMED_GDI : TYMED_HGLOBAL;
            formats.push_back(fe);
        }
        *out = CreateFormatEnumerator(std::move(formats));
        return S_OK;
    }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

// The drag-and-drop helper: headless, there is no image to show, so it only logs. One object
// answers for both of its sides.
class TDragDropHelper : public TUnknownImpl<IDropTargetHelper>, public IDragSourceHelper {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IDropTargetHelper || iid == IID_IUnknown)
            *object = static_cast<IDropTargetHelper*>(this);
        else if (iid == IID_IDragSourceHelper)
            *object = static_cast<IDragSourceHelper*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    // The source side shares the one reference count.
    ULONG AddRef() override { return TUnknownImpl::AddRef(); }
    ULONG Release() override { return TUnknownImpl::Release(); }
    HRESULT DragEnter(HWND target, IDataObject* data, POINT* pt, DWORD effect) override {
        return Log(Call("DragEnter", target, data, pt ? *pt : TPoint(), effect));
    }
    HRESULT DragLeave() override { return Log(Call("DragLeave", nullptr, nullptr, TPoint(), 0)); }
    HRESULT DragOver(POINT* pt, DWORD effect) override {
        return Log(Call("DragOver", nullptr, nullptr, pt ? *pt : TPoint(), effect));
    }
    HRESULT Drop(IDataObject* data, POINT* pt, DWORD effect) override {
        return Log(Call("Drop", nullptr, data, pt ? *pt : TPoint(), effect));
    }
    HRESULT Show(BOOL show) override {
        return Log(Call("Show", nullptr, nullptr, TPoint(), DWORD(show)));
    }
    // Takes the picture over on success, as the system's helper does.
    HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* data) override {
        if (!image || !data || !image->hbmpDragImage) return E_INVALIDARG;
        TDropTargetHelperCall call =
            Call("InitializeFromBitmap", nullptr, data, image->ptOffset, 0);
        call.ImageSize = image->sizeDragImage;
        call.ColorKey = image->crColorKey;
        TBitmapBits bits = GetBitmapBits(image->hbmpDragImage);
        if (bits.BitsPerPixel == 32)
            for (int y = 0; y < bits.Height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(bits.Bits + y * bits.Stride);
                call.Image.insert(call.Image.end(), row, row + bits.Width);
            }
        DeleteObject(reinterpret_cast<HGDIOBJ>(image->hbmpDragImage));
        image->hbmpDragImage = nullptr;
        return Log(std::move(call));
    }
    HRESULT InitializeFromWindow(HWND h, POINT* pt, IDataObject* data) override {
        if (!data) return E_INVALIDARG;
        return Log(Call("InitializeFromWindow", h, data, pt ? *pt : TPoint(), 0));
    }

private:
    static TDropTargetHelperCall Call(std::string method, HWND target, IDataObject* data, TPoint pt,
                                      DWORD effect) {
        TDropTargetHelperCall call;
        call.Method = std::move(method);
        call.Target = target;
        call.Data = data;
        call.Pt = pt;
        call.Effect = effect;
        return call;
    }
    static HRESULT Log(TDropTargetHelperCall call) {
        State().HelperCalls.push_back(std::move(call));
        return S_OK;
    }
};

IDropTarget* TargetAt(TPoint screen, HWND& window) {
    for (HWND h = WindowFromPoint(screen); h; h = GetParent(h)) {
        if (IDropTarget* t = GetRegisteredDropTarget(h)) {
            window = h;
            return t;
        }
    }
    window = nullptr;
    return nullptr;
}

}  // namespace

void ReleaseStgMedium(STGMEDIUM* medium) {
    if (!medium) return;
    if (medium->pUnkForRelease) {
        medium->pUnkForRelease->Release();
    } else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
        GlobalFree(medium->hGlobal);
    } else if (medium->tymed == TYMED_GDI && medium->hBitmap) {
        DeleteObject(reinterpret_cast<HGDIOBJ>(medium->hBitmap));
    }
    medium->tymed = TYMED_NULL;
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

IEnumFORMATETC* CreateFormatEnumerator(std::vector<FORMATETC> formats) {
    return new TFormatEnumerator(std::move(formats));
}

HRESULT OleInitialize(void*) { return S_OK; }
void OleUninitialize() {}

HRESULT RegisterDragDrop(HWND h, IDropTarget* target) {
    if (!IsWindow(h)) return DRAGDROP_E_INVALIDHWND;
    if (!target) return E_INVALIDARG;
    auto& targets = State().Targets;
    if (targets.count(h)) return DRAGDROP_E_ALREADYREGISTERED;
    target->AddRef();
    targets[h] = target;
    return S_OK;
}

HRESULT RevokeDragDrop(HWND h) {
    auto& targets = State().Targets;
    auto it = targets.find(h);
    if (it == targets.end()) return DRAGDROP_E_NOTREGISTERED;
    IDropTarget* t = it->second;
    targets.erase(it);
    t->Release();
    return S_OK;
}

IDropTarget* GetRegisteredDropTarget(HWND h) {
    auto& targets = State().Targets;
    auto it = targets.find(h);
    if (it == targets.end()) return nullptr;
    if (!IsWindow(h)) {
        // The window died without revoking: the registration goes with it.
        it->second->Release();
        targets.erase(it);
        return nullptr;
    }
    return it->second;
}

void SetDragDropDriver(std::function<bool()> driver) { State().Driver = std::move(driver); }
bool IsInDragDropLoop() { return State().InLoop; }

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect) {
    if (!data || !source || !effect) return E_INVALIDARG;
    auto& st = State();
    if (st.InLoop) return E_UNEXPECTED;
    st.InLoop = true;
    data->AddRef();
    source->AddRef();
    IDropTarget* current = nullptr;
    HWND currentWindow = nullptr;
    DWORD lastEffect = DROPEFFECT_NONE;
    HRESULT result = DRAGDROP_S_CANCEL;
    *effect = DROPEFFECT_NONE;
    bool moved = true;  // the first round enters the target under the cursor
    bool released = false;
    TPoint pt = WM().MessagePos;
    for (int round = 0; round < 1000000; ++round) {
        bool escape = false;
        if (!moved) {
            TQueuedMessage q;
            if (TakeQueuedMessage(q)) {
                uint32_t msg = q.Msg.message;
                bool input = q.Input;
                if (input) {
                    if (q.KeyState) WM().KeyState = *q.KeyState;
                    WM().MessageTime = q.Msg.time;
                    WM().MessagePos = q.Msg.pt;
                    if ((msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
                        (msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONDBLCLK))
                        pt = q.Msg.pt;
                    if (msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE) moved = true;
                    if ((msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) && q.Msg.wParam == VK_ESCAPE)
                        escape = true;
                    if (q.Deleter) q.Deleter(q.Msg.wParam, q.Msg.lParam);
                } else {
                    DeliverQueuedMessage(std::move(q));
                    continue;
                }
            } else if (!released && st.Driver && st.Driver()) {
                continue;
            } else {
                // Nothing more comes: the person lets go where the cursor is.
                for (uint8_t vk : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON}) {
                    WM().KeyState[vk] &= uint8_t(~0x80);
                    WM().AsyncKeyState[vk] &= uint8_t(~0x80);
                }
                pt = WM().CursorPos;
                released = true;
            }
        }
        DWORD keys = MouseKeyBits(WM().KeyState);
        HRESULT hr = source->QueryContinueDrag(escape ? 1 : 0, keys);
        if (hr == DRAGDROP_S_DROP) {
            if (current && lastEffect != DROPEFFECT_NONE) {
                DWORD eff = okEffects;
                current->Drop(data, keys, pt, &eff);
                *effect = eff & okEffects;
                result = DRAGDROP_S_DROP;
            } else {
                if (current) current->DragLeave();
                result = DRAGDROP_S_CANCEL;
            }
            current = nullptr;
            break;
        }
        if (hr != S_OK) {
            if (current) current->DragLeave();
            current = nullptr;
            result = hr == DRAGDROP_S_CANCEL ? DRAGDROP_S_CANCEL : hr;
            break;
        }
        if (moved) {
            moved = false;
            HWND window = nullptr;
            IDropTarget* target = TargetAt(pt, window);
            if (target != current || window != currentWindow) {
                if (current) current->DragLeave();
                current = target;
                currentWindow = window;
                lastEffect = DROPEFFECT_NONE;
                if (current) {
                    DWORD eff = okEffects;
                    if (current->DragEnter(data, keys, pt, &eff) == S_OK) lastEffect = eff & okEffects;
                }
            } else if (current) {
                DWORD eff = okEffects;
                if (current->DragOver(keys, pt, &eff) == S_OK) lastEffect = eff & okEffects;
                else lastEffect = DROPEFFECT_NONE;
            }
            if (source->GiveFeedback(lastEffect) == DRAGDROP_S_USEDEFAULTCURSORS)
                SetCursor(LoadCursor(nullptr, lastEffect == DROPEFFECT_NONE ? IDC_NO : IDC_ARROW));
        }
        if (released) {
            // A source that does not end the drag when the button is let go is cancelled.
            if (current) current->DragLeave();
            current = nullptr;
            result = DRAGDROP_S_CANCEL;
            break;
        }
    }
    source->Release();
    data->Release();
    st.InLoop = false;
    return result;
}

// ---- The OLE clipboard -----------------------------------------------------------------------

HRESULT OleSetClipboard(IDataObject* data) {
    auto& st = State();
    if (st.ClipboardObject) {
        st.ClipboardObject->Release();
        st.ClipboardObject = nullptr;
    }
    if (!OpenClipboard(nullptr)) return CLIPBRD_E_CANT_OPEN;
    EmptyClipboard();
    if (data) {
        IEnumFORMATETC* formats = nullptr;
        if (data->EnumFormatEtc(DATADIR_GET, &formats) == S_OK && formats) {
            FORMATETC fe;
            ULONG fetched = 0;
            while (formats->Next(1, &fe, &fetched) == S_OK && fetched == 1) {
                if (!(fe.tymed & TYMED_HGLOBAL)) continue;
                fe.tymed = TYMED_HGLOBAL;
                STGMEDIUM medium;
                if (data->GetData(&fe, &medium) != S_OK) continue;
                if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal)
                    if (HGLOBAL copy = CopyGlobalBlock(medium.hGlobal))
                        SetClipboardData(fe.cfFormat, copy);
                ReleaseStgMedium(&medium);
            }
            formats->Release();
        }
        data->AddRef();
        st.ClipboardObject = data;
    }
    CloseClipboard();
    st.ClipboardSequence = GetClipboardSequenceNumber();
    return S_OK;
}

HRESULT OleIsCurrentClipboard(IDataObject* data) {
    auto& st = State();
    bool current = data && st.ClipboardObject == data &&
                   st.ClipboardSequence == GetClipboardSequenceNumber();
    return current ? S_OK : S_FALSE;
}

HRESULT OleGetClipboard(IDataObject** data) {
    if (!data) return E_POINTER;
    auto& st = State();
    if (st.ClipboardObject && OleIsCurrentClipboard(st.ClipboardObject) == S_OK) {
        st.ClipboardObject->AddRef();
        *data = st.ClipboardObject;
        return S_OK;
    }
    *data = new TClipboardDataObject;
    return S_OK;
}

HRESULT OleFlushClipboard() {
    auto& st = State();
    if (st.ClipboardObject) {
        st.ClipboardObject->Release();
        st.ClipboardObject = nullptr;
    }
    return S_OK;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown*, DWORD, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_DragDropHelper) || !State().HelperAvailable) return REGDB_E_CLASSNOTREG;
    auto* helper = new TDragDropHelper;
    HRESULT hr = helper->QueryInterface(iid, object);
    static_cast<IDropTargetHelper*>(helper)->Release();
    return hr;
}

const std::vector<TDropTargetHelperCall>& DropTargetHelperCalls() {
    return State().HelperCalls;
}
void ClearDropTargetHelperCalls() {
    State().HelperCalls.clear();
}

void ShutDownDataTransfer() {
    auto& st = State();
    for (auto& [h, t] : st.Targets) t->Release();
    st.Targets.clear();
    OleFlushClipboard();
}

}  // namespace epc
