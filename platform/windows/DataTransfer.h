#pragma once
// OLE-style data transfer in process: reference-counted interfaces for data objects, format
// enumerators, drop sources and drop targets with the usual result codes; DoDragDrop driven by
// the queued mouse and key input; the OLE clipboard over the in-process clipboard.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows/Clipboard.h"
#include "platform/windows/Window.h"

namespace epc {

using HRESULT = int32_t;
using ULONG = uint32_t;
using CLIPFORMAT = uint16_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
constexpr HRESULT E_POINTER = HRESULT(0x80004003);
constexpr HRESULT E_FAIL = HRESULT(0x80004005);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = HRESULT(0x80040003);
constexpr HRESULT OLE_E_NOCONNECTION = HRESULT(0x80040004);
constexpr HRESULT OLE_S_USEREG = HRESULT(0x00040000);
constexpr HRESULT DV_E_FORMATETC = HRESULT(0x80040064);
constexpr HRESULT DV_E_DVTARGETDEVICE = HRESULT(0x80040065);
constexpr HRESULT DV_E_STGMEDIUM = HRESULT(0x80040066);
constexpr HRESULT DV_E_LINDEX = HRESULT(0x80040068);
constexpr HRESULT DV_E_TYMED = HRESULT(0x80040069);
constexpr HRESULT DV_E_CLIPFORMAT = HRESULT(0x8004006A);
constexpr HRESULT DV_E_DVASPECT = HRESULT(0x8004006B);
constexpr HRESULT DATA_S_SAMEFORMATETC = HRESULT(0x00040130);
constexpr HRESULT DRAGDROP_S_DROP = HRESULT(0x00040100);
constexpr HRESULT DRAGDROP_S_CANCEL = HRESULT(0x00040101);
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = HRESULT(0x00040102);
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = HRESULT(0x80040100);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = HRESULT(0x80040101);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = HRESULT(0x80040102);
constexpr HRESULT CLIPBRD_E_CANT_OPEN = HRESULT(0x800401D0);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

enum : DWORD { DROPEFFECT_NONE = 0, DROPEFFECT_COPY = 1, DROPEFFECT_MOVE = 2,
               DROPEFFECT_LINK = 4, DROPEFFECT_SCROLL = 0x80000000u };
enum : DWORD { TYMED_NULL = 0, TYMED_HGLOBAL = 1, TYMED_FILE = 2, TYMED_ISTREAM = 4,
               TYMED_ISTORAGE = 8, TYMED_GDI = 16, TYMED_MFPICT = 32, TYMED_ENHMF = 64 };
enum : DWORD { DVASPECT_CONTENT = 1, DVASPECT_THUMBNAIL = 2, DVASPECT_ICON = 4,
               DVASPECT_DOCPRINT = 8 };
enum : DWORD { DATADIR_GET = 1, DATADIR_SET = 2 };
enum : DWORD { ADVF_NODATA = 1, ADVF_PRIMEFIRST = 2, ADVF_ONLYONCE = 4 };

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0, Data3 = 0;
    uint8_t Data4[8] = {};
    friend bool operator==(const GUID& a, const GUID& b) {
        return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
               std::equal(a.Data4, a.Data4 + 8, b.Data4);
    }
};
using IID = GUID;
using CLSID = GUID;
extern const IID IID_IUnknown;
extern const IID IID_IDataObject;
extern const IID IID_IEnumFORMATETC;
extern const IID IID_IDropSource;
extern const IID IID_IDropTarget;
extern const IID IID_IDragSourceHelper;
extern const IID IID_IDropTargetHelper;
extern const IID IID_IAdviseSink;
extern const IID IID_IEnumSTATDATA;
extern const IID IID_IDataAdviseHolder;
extern const CLSID CLSID_DragDropHelper;

struct FORMATETC {
    CLIPFORMAT cfFormat = 0;
    void* ptd = nullptr;
    DWORD dwAspect = DVASPECT_CONTENT;
    LONG lindex = -1;
    DWORD tymed = TYMED_HGLOBAL;
};

class IUnknown;

struct STGMEDIUM {
    DWORD tymed = TYMED_NULL;
    union {
        HGLOBAL hGlobal;
        HBITMAP hBitmap;
        void* pstm;
    };
    IUnknown* pUnkForRelease = nullptr;
    STGMEDIUM() : hGlobal(nullptr) {}
};

// Frees what a medium holds (a memory block or a bitmap) unless pUnkForRelease owns it.
void ReleaseStgMedium(STGMEDIUM* medium);

// Reference counting as COM does it: objects start at one reference and delete themselves
// when the count reaches zero.
class IUnknown {
public:
    virtual ~IUnknown() = default;
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};

class IEnumFORMATETC : public IUnknown {
public:
    virtual HRESULT Next(ULONG count, FORMATETC* out, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETC** out) = 0;
};

// Told when the data of an object it watches changes; the medium belongs to the caller.
class IAdviseSink : public IUnknown {
public:
    virtual void OnDataChange(FORMATETC* format, STGMEDIUM* medium) = 0;
};

// One advise connection. A sink handed out by an enumerator carries a reference of its own.
struct STATDATA {
    FORMATETC formatetc;
    DWORD advf = 0;
    IAdviseSink* pAdvSink = nullptr;
    DWORD dwConnection = 0;
};

class IEnumSTATDATA : public IUnknown {
public:
    virtual HRESULT Next(ULONG count, STATDATA* out, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumSTATDATA** out) = 0;
};

class IDataObject : public IUnknown {
public:
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** out) = 0;
};

// Keeps the advise connections of a data object: connections count from 1; SendOnDataChange
// tells every sink, with the data in its format unless it asked for none, and drops the
// connections made for one change only.
class IDataAdviseHolder : public IUnknown {
public:
    virtual HRESULT Advise(IDataObject* data, FORMATETC* format, DWORD advf, IAdviseSink* sink,
                           DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** out) = 0;
    virtual HRESULT SendOnDataChange(IDataObject* data, DWORD reserved, DWORD advf) = 0;
};
HRESULT CreateDataAdviseHolder(IDataAdviseHolder** out);

class IDropSource : public IUnknown {
public:
    virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
    virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

class IDropTarget : public IUnknown {
public:
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINT pt, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINT pt, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINT pt, DWORD* effect) = 0;
};

// The shell's drop-target helper, which shows the source's drag image over a drop target.
class IDropTargetHelper : public IUnknown {
public:
    virtual HRESULT DragEnter(HWND target, IDataObject* data, POINT* pt, DWORD effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT DragOver(POINT* pt, DWORD effect) = 0;
    virtual HRESULT Drop(IDataObject* data, POINT* pt, DWORD effect) = 0;
    virtual HRESULT Show(BOOL show) = 0;
};

// What the drag-source helper is given to show during a drag: the picture (the helper takes it
// over when it accepts it), where the cursor holds it, and the colour drawn transparently.
struct SHDRAGIMAGE {
    SIZE sizeDragImage;
    POINT ptOffset;
    HBITMAP hbmpDragImage = nullptr;
    COLORREF crColorKey = 0;
};

// The shell's drag-source helper, which shows a drag image for the source of a drag.
class IDragSourceHelper : public IUnknown {
public:
    virtual HRESULT InitializeFromBitmap(SHDRAGIMAGE* image, IDataObject* data) = 0;
    virtual HRESULT InitializeFromWindow(HWND h, POINT* pt, IDataObject* data) = 0;
};

// Holds one reference to an interface and gives it back when it goes.
struct TInterfaceRelease {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};
template <typename Interface> using TInterfaceRef = std::unique_ptr<Interface, TInterfaceRelease>;

// A base for implementations: the reference count and QueryInterface over a list of ids.
template <typename Interface>
class TUnknownImpl : public Interface {
public:
    ULONG AddRef() override { return ++FRefCount; }
    ULONG Release() override {
        ULONG n = --FRefCount;
        if (n == 0) delete this;
        return n;
    }
    ULONG RefCount() const { return FRefCount; }

protected:
    HRESULT QueryFor(const IID& iid, void** object, std::initializer_list<IID> ids) {
        if (!object) return E_POINTER;
        for (const IID& id : ids)
            if (id == iid || iid == IID_IUnknown) {
                *object = static_cast<Interface*>(this);
                AddRef();
                return S_OK;
            }
        *object = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<ULONG> FRefCount{1};
};

// An enumerator over a fixed list of formats.
IEnumFORMATETC* CreateFormatEnumerator(std::vector<FORMATETC> formats);

HRESULT OleInitialize(void* reserved);
void OleUninitialize();
HRESULT RegisterDragDrop(HWND h, IDropTarget* target);  // keeps a reference
HRESULT RevokeDragDrop(HWND h);
IDropTarget* GetRegisteredDropTarget(HWND h);

// Runs a drag until the source ends it: every queued mouse move goes to the drop target below
// the cursor (DragEnter / DragOver / DragLeave), the source is asked QueryContinueDrag with the
// Escape key and the button state and GiveFeedback with the target's effect; DRAGDROP_S_DROP
// drops on the target. When the queue runs dry the driver (tests script it) may queue more
// input; without one the person lets the button go where the cursor is.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect);
// Returns false to stop feeding input (the button is then released where the cursor is).
void SetDragDropDriver(std::function<bool()> driver);
bool IsInDragDropLoop();

// The OLE clipboard: OleSetClipboard keeps the object and places its memory formats on the
// clipboard; OleGetClipboard gives that object while it is current, else a data object over
// the clipboard's formats.
HRESULT OleSetClipboard(IDataObject* data);
HRESULT OleGetClipboard(IDataObject** data);
HRESULT OleFlushClipboard();
HRESULT OleIsCurrentClipboard(IDataObject* data);

// Object creation: only the drag-and-drop helper, and only once tests made it available.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, DWORD context, const IID& iid,
                         void** object);
enum : DWORD { CLSCTX_INPROC_SERVER = 1 };

// The drag-and-drop helper (drop-target and drag-source sides) is absent, as on a system
// without it, until the context installs it; every helper made then writes its calls to one
// log.
struct TDropTargetHelperCall {
    // "DragEnter", "DragOver", "DragLeave", "Drop" or "Show" of the drop-target side;
    // "InitializeFromBitmap" or "InitializeFromWindow" of the drag-source side.
    std::string Method;
    HWND Target = nullptr;
    IDataObject* Data = nullptr;
    TPoint Pt; // the point, or the offset of the cursor in a drag image
    DWORD Effect = 0;
    TSize ImageSize; // a drag image's size, colour key and pixels (B, G, R, A)
    COLORREF ColorKey = 0;
    std::vector<uint32_t> Image;
};
const std::vector<TDropTargetHelperCall>& DropTargetHelperCalls();
void ClearDropTargetHelperCalls();

}  // namespace epc
