// Data transfer of the tree: the OLE data object, its format enumerator and the drag manager;
// the tree's drag source and drop target sides for OLE and framework drags; cut, copy and
// paste through the clipboard; moving and copying subtrees within and between trees.

#include <algorithm>
#include <cstring>
#include <utility>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/VTDataTransfer.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Threads.h"

namespace epc {

using namespace tree_options;
using S = TVirtualTreeState;

namespace {

HGLOBAL StreamToGlobal(TMemoryStream& stream) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size_t(stream.Size()));
    if (!block) return nullptr;
    if (void* p = GlobalLock(block)) {
        if (stream.Size() > 0) std::memcpy(p, stream.Memory(), size_t(stream.Size()));
        GlobalUnlock(block);
    }
    return block;
}

// A bitmap of the same size and depth with the same pixels; null when it cannot be made.
HBITMAP CopyBitmapHandle(HBITMAP source) {
    BITMAP info{};
    if (!source || !GetObjectW(reinterpret_cast<HGDIOBJ>(source), int(sizeof info), &info))
        return nullptr;
    HBITMAP copy = CreateBitmap(info.bmWidth, info.bmHeight, info.bmPlanes ? info.bmPlanes : 1,
                                info.bmBitsPixel, nullptr);
    if (!copy) return nullptr;
    HDC from = CreateCompatibleDC(nullptr);
    HDC to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, reinterpret_cast<HGDIOBJ>(source));
    HGDIOBJ oldTo = SelectObject(to, reinterpret_cast<HGDIOBJ>(copy));
    BitBlt(to, 0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    return copy;
}

TShiftState KeyStateToShift(DWORD keyState) {
    TShiftState shift;
    if (keyState & MK_SHIFT) shift.Include(ssShift);
    if (keyState & MK_CONTROL) shift.Include(ssCtrl);
    if (keyState & MK_LBUTTON) shift.Include(ssLeft);
    if (keyState & MK_RBUTTON) shift.Include(ssRight);
    return shift;
}

void WriteHeader(TStream& stream, uint32_t count) {
    const uint8_t header[16] = {0x45,
                                0x20,
                                0x56,
                                0x00,
                                0x54,
                                0x00,
                                2,
                                0,
                                0x20,
                                0,
                                0x46,
                                0x20,
                                uint8_t(count),
                                uint8_t(count >> 8),
                                uint8_t(count >> 16),
                                uint8_t(count >> 24)};
    stream.WriteBuffer(header, 16);
}

} // namespace

// ---- Format enumerator
// ---------------------------------------------------------------------------------

TEnumFormatEtc::TEnumFormatEtc(TBaseVirtualTree* tree, std::vector<FORMATETC> formats, size_t index)
    : FTree(tree), FFormats(std::move(formats)), FIndex(index) {}

HRESULT TEnumFormatEtc::QueryInterface(const IID& iid, void** object) {
    return QueryFor(iid, object, {IID_IEnumFORMATETC});
}

HRESULT TEnumFormatEtc::Next(ULONG count, FORMATETC* out, ULONG* fetched) {
    ULONG copied = 0;
    while (copied < count && FIndex < FFormats.size()) {
        if (out) out[copied] = FFormats[FIndex];
        ++copied;
        ++FIndex;
    }
    if (fetched) *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
}

HRESULT TEnumFormatEtc::Skip(ULONG count) {
    if (FIndex + count > FFormats.size()) return S_FALSE;
    FIndex += count;
    return S_OK;
}

HRESULT TEnumFormatEtc::Reset() {
    FIndex = 0;
    return S_OK;
}

HRESULT TEnumFormatEtc::Clone(IEnumFORMATETC** out) {
    if (!out) return E_POINTER;
    *out = new TEnumFormatEtc(FTree, FFormats, FIndex);
    return S_OK;
}

// ---- Data object
// ---------------------------------------------------------------------------------------

TVTDataObject::TVTDataObject(TBaseVirtualTree* owner, bool forClipboard)
    : FOwner(owner), FForClipboard(forClipboard) {
    if (FOwner) FOwner->GetNativeClipboardFormats(FFormats);
}

TVTDataObject::~TVTDataObject() {
    if (FForClipboard && FOwner) FOwner->ClipboardDataObjectGone(this);
    for (auto& stored : FStored)
        ReleaseStgMedium(&stored.Medium);
}

HRESULT TVTDataObject::QueryInterface(const IID& iid, void** object) {
    return QueryFor(iid, object, {IID_IDataObject});
}

HRESULT TVTDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_POINTER;
    const TTreeUnitState& unit = TreeUnitState();
    if (format->cfFormat == unit.CF_VTREFERENCE) {
        if (!FOwner || FOwner->TreeStates().Contains(S::tsClipboardFlushing)) return E_FAIL;
        HGLOBAL block =
            GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, TreeReferenceSize);
        if (!block) return E_OUTOFMEMORY;
        auto* p = static_cast<uint8_t*>(GlobalLock(block));
        const uint32_t pid = GetCurrentProcessId();
        const TBaseVirtualTree* tree = FOwner;
        std::memcpy(p, &pid, 4);
        std::memcpy(p + 4, &tree, sizeof tree);
        GlobalUnlock(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    for (auto& stored : FStored) {
        if (stored.Format != format->cfFormat) continue;
        if (stored.Medium.tymed == TYMED_HGLOBAL) {
            HGLOBAL copy = CopyGlobalBlock(stored.Medium.hGlobal);
            if (!copy) return E_OUTOFMEMORY;
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = copy;
            medium->pUnkForRelease = nullptr;
            return S_OK;
        }
        if (stored.Medium.tymed == TYMED_GDI) {
            // The receiver frees what it gets; the stored bitmap stays ours.
            HBITMAP copy = CopyBitmapHandle(stored.Medium.hBitmap);
            if (!copy) return E_OUTOFMEMORY;
            medium->tymed = TYMED_GDI;
            medium->hBitmap = copy;
            medium->pUnkForRelease = nullptr;
            return S_OK;
        }
    }
    if (!FOwner) return E_FAIL;
    return FOwner->RenderOLEData(*format, *medium, FForClipboard);
}

HRESULT TVTDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT TVTDataObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    if (FFormats.empty()) return DV_E_FORMATETC;
    HRESULT result = DV_E_FORMATETC;
    for (const FORMATETC& f : FFormats) {
        if (f.cfFormat != format->cfFormat) continue;
        if (!(f.tymed & format->tymed))
            result = DV_E_TYMED;
        else if (f.dwAspect != format->dwAspect)
            result = DV_E_DVASPECT;
        else if (f.lindex != format->lindex)
            result = DV_E_LINDEX;
        else
            return S_OK;
    }
    return result;
}

HRESULT TVTDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TVTDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_POINTER;
    auto it = std::find_if(FStored.begin(), FStored.end(),
                           [&](const TStoredMedium& m) { return m.Format == format->cfFormat; });
    if (it == FStored.end()) {
        FFormats.push_back(*format);
        FStored.push_back({format->cfFormat, STGMEDIUM()});
        it = FStored.end() - 1;
    } else {
        ReleaseStgMedium(&it->Medium);
        it->Medium = STGMEDIUM();
    }
    if (release) {
        it->Medium = *medium;
    } else if (medium->tymed == TYMED_HGLOBAL) {
        it->Medium.tymed = TYMED_HGLOBAL;
        it->Medium.hGlobal = CopyGlobalBlock(medium->hGlobal);
        if (!it->Medium.hGlobal) {
            it->Medium.tymed = TYMED_NULL;
            return E_OUTOFMEMORY;
        }
    } else if (medium->tymed == TYMED_GDI && !medium->pUnkForRelease) {
        // The caller keeps its bitmap: releasing the stored medium must not delete it.
        it->Medium.tymed = TYMED_GDI;
        it->Medium.hBitmap = CopyBitmapHandle(medium->hBitmap);
        if (!it->Medium.hBitmap) {
            it->Medium.tymed = TYMED_NULL;
            return E_OUTOFMEMORY;
        }
    } else {
        it->Medium = *medium;
        if (it->Medium.pUnkForRelease) it->Medium.pUnkForRelease->AddRef();
    }
    if (FAdviseHolder) FAdviseHolder->SendOnDataChange(this, 0, 0);
    return S_OK;
}

HRESULT TVTDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction == DATADIR_GET) {
        *out = new TEnumFormatEtc(FOwner, FFormats);
        return S_OK;
    }
    return OLE_S_USEREG;
}

HRESULT TVTDataObject::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                               DWORD* connection) {
    if (!FAdviseHolder) {
        IDataAdviseHolder* holder = nullptr;
        HRESULT hr = CreateDataAdviseHolder(&holder);
        if (FAILED(hr)) return hr;
        FAdviseHolder.reset(holder);
    }
    return FAdviseHolder->Advise(this, format, flags, sink, connection);
}

HRESULT TVTDataObject::DUnadvise(DWORD connection) {
    return FAdviseHolder ? FAdviseHolder->Unadvise(connection) : E_NOTIMPL;
}

HRESULT TVTDataObject::EnumDAdvise(IEnumSTATDATA** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return FAdviseHolder ? FAdviseHolder->EnumAdvise(out) : OLE_E_NOCONNECTION;
}

// ---- Drag manager
// --------------------------------------------------------------------------------------

TVTDragManager::TVTDragManager(TBaseVirtualTree* owner) : FOwner(owner) {
    void* helper = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDropTargetHelper, &helper)) &&
        helper)
        FDropTargetHelper.reset(static_cast<IDropTargetHelper*>(helper));
}

TVTDragManager::~TVTDragManager() {
    SetDataObject(nullptr);
}

HRESULT TVTDragManager::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IDropSource) {
        *object = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    return QueryFor(iid, object, {IID_IDropTarget});
}

void TVTDragManager::SetDataObject(IDataObject* data) {
    if (data) data->AddRef();
    if (FDataObject) FDataObject->Release();
    FDataObject = data;
}

IDataObject* TVTDragManager::DataObject() {
    if (FDataObject) {
        FDataObject->AddRef();
        return FDataObject;
    }
    IDataObject* result = nullptr;
    if (FOwner && FOwner->OnCreateDataObject) FOwner->OnCreateDataObject(FOwner, result);
    if (!result) result = new TVTDataObject(FOwner, false);
    return result;
}

HRESULT TVTDragManager::DragEnter(IDataObject* data, DWORD keyState, POINT pt, DWORD* effect) {
    SetDataObject(data);
    FIsDropTarget = true;
    BOOL full = 0;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full, 0);
    FFullDragging = full != 0;
    if (!FFullDragging) LockWindowUpdate(nullptr);
    if (IDropTargetHelper* helper = UsedHelper())
        helper->DragEnter(FOwner && FOwner->HandleAllocated() ? FOwner->Handle() : nullptr, data,
                          &pt, effect ? *effect : DROPEFFECT_NONE);
    FDragSource = TBaseVirtualTree::GetTreeFromDataObject(data);
    if (!FOwner || !effect) return S_OK;
    uint32_t e = *effect;
    FOwner->DragEnter(FDragSource, KeyStateToShift(keyState), FOwner->ScreenToClient(pt), e);
    *effect = e;
    return S_OK;
}

HRESULT TVTDragManager::DragOver(DWORD keyState, POINT pt, DWORD* effect) {
    if (IDropTargetHelper* helper = UsedHelper())
        helper->DragOver(&pt, effect ? *effect : DROPEFFECT_NONE);
    if (!FOwner || !effect) return S_OK;
    uint32_t e = *effect;
    FOwner->TreeDragOver(FDragSource, KeyStateToShift(keyState), dsDragMove,
                         FOwner->ScreenToClient(pt), e);
    *effect = e;
    return S_OK;
}

HRESULT TVTDragManager::DragLeave() {
    if (IDropTargetHelper* helper = UsedHelper()) helper->DragLeave();
    if (FOwner) FOwner->DragLeave();
    FIsDropTarget = false;
    FDragSource = nullptr;
    SetDataObject(nullptr);
    return S_OK;
}

HRESULT TVTDragManager::Drop(IDataObject* data, DWORD keyState, POINT pt, DWORD* effect) {
    if (IDropTargetHelper* helper = UsedHelper())
        helper->Drop(data, &pt, effect ? *effect : DROPEFFECT_NONE);
    if (FOwner && effect) {
        uint32_t e = *effect;
        FOwner->TreeDragDrop(FDragSource, data, KeyStateToShift(keyState),
                             FOwner->ScreenToClient(pt), e);
        *effect = e;
    }
    FIsDropTarget = false;
    FDragSource = nullptr;
    SetDataObject(nullptr);
    return S_OK;
}

HRESULT TVTDragManager::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    const bool left = keyState & MK_LBUTTON;
    const bool right = keyState & MK_RBUTTON;
    if (escapePressed || (left && right)) return DRAGDROP_S_CANCEL;
    if (left || right) return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT TVTDragManager::GiveFeedback(DWORD) {
    // The tree's own picture follows the cursor; the shell's helper moves the one it was given.
    if (TVTDragImage* image = FOwner ? FOwner->DragImage() : nullptr; image && image->Visible()) {
        const DWORD pos = GetMessagePos();
        image->DragTo(TPoint(int16_t(LOWORD(pos)), int16_t(LOWORD(pos >> 16))));
    }
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

void TVTDragManager::ForceDragLeave() {
    if (FDropTargetHelper) FDropTargetHelper->DragLeave();
    FIsDropTarget = false;
}

void TBaseVirtualTree::TReleaseDragManager::operator()(TVTDragManager* manager) const noexcept {
    manager->OwnerGone();
    manager->Release();
}

// ---- The tree's side
// -----------------------------------------------------------------------------------

TVTDragManager* TBaseVirtualTree::DragManager() {
    if (!FDragManager) {
        TVTDragManager* manager = DoCreateDragManager();
        FDragManager.reset(manager ? manager : new TVTDragManager(this));
    }
    return FDragManager.get();
}

TVTDragManager* TBaseVirtualTree::DoCreateDragManager() {
    TVTDragManager* manager = nullptr;
    if (OnCreateDragManager) OnCreateDragManager(this, manager);
    return manager;
}

void TBaseVirtualTree::PrepareDragImage(IDataObject* data) {
    if (FDragImageKind == TVTDragImageKind::diNoImage || !FDragImage || !HandleAllocated()) return;
    const TRect extent = TreeExtent();
    const int w = std::min(FDragWidth, extent.Width()), h = std::min(FDragHeight, extent.Height());
    if (w <= 0 || h <= 0) return;
    const DWORD pos = GetMessagePos();
    const TPoint screen(int16_t(LOWORD(pos)), int16_t(LOWORD(pos >> 16)));
    const TPoint client = ScreenToClient(screen);
    const TPoint inTree(client.X - FOffsetX, client.Y - FOffsetY);
    // Centred on the cursor as far as the tree reaches.
    const int left = std::clamp(inTree.X - w / 2, 0, extent.Width() - w);
    const int top = std::clamp(inTree.Y - h / 2, 0, extent.Height() - h);
    TBitmap picture(w, h, pf32bit);
    picture.Canvas()->Brush()->SetColor(Color());
    picture.Canvas()->FillRect(TRect(0, 0, w, h));
    uint8_t options = poColumnColor | poSelectedOnly;
    if (FDragImageKind == TVTDragImageKind::diMainColumnOnly) options |= poMainColumnOnly;
    RenderToCanvas(picture.Canvas(), TRect(left, top, left + w, top + h), TPoint(0, 0), options);
    // What is not a dragged row shows the tree colour, which lets what lies below show through.
    FDragImage->SetColorKey(Color());
    const TPoint hotSpot(inTree.X - left, inTree.Y - top);
    FDragImage->PrepareDrag(&picture, TPoint(screen.X - hotSpot.X, screen.Y - hotSpot.Y), hotSpot,
                            data);
    FDragImage->ShowDragImage();
}

void TBaseVirtualTree::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    const TScrollStyle bars = FScrollBarOptions->ScrollBars();
    if (bars == TScrollStyle::ssHorizontal || bars == TScrollStyle::ssBoth)
        params.Style |= WS_HSCROLL;
    if (bars == TScrollStyle::ssVertical || bars == TScrollStyle::ssBoth)
        params.Style |= WS_VSCROLL;
    if (FOptions->MiscOptions().Contains(toFullRepaintOnResize))
        params.WindowClassStyle |= CS_HREDRAW | CS_VREDRAW;
    else
        params.WindowClassStyle &= ~DWORD(CS_HREDRAW | CS_VREDRAW);
    AddBorderStyle(params, FBorderStyle);
    if (UseRightToLeftScrollBar()) params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TBaseVirtualTree::CreateWnd() {
    DoStateChange({S::tsWindowCreating});
    auto created = Finally([this] { DoStateChange({}, {S::tsWindowCreating}); });
    TCustomControl::CreateWnd();
    // No theme library here: the themed state stays off.
    DoStateChange({}, {S::tsUseThemes});
    if (FHeader && FHeader->Options().Contains(hoAutoResize))
        FHeader->AdjustAutoSize(NoColumn, true);
    PrepareBitmaps(true, true);
    if (FOptions->MiscOptions().Contains(toAcceptOLEDrop) &&
        !FComponentState.Contains(TComponentStateItem::csDesigning) && !FDropRegistered) {
        FDropRegistered = SUCCEEDED(RegisterDragDrop(Handle(), DragManager()));
    }
    UpdateScrollBars(true);
}

void TBaseVirtualTree::DestroyWnd() {
    StopWheelPanning();
    if (FDropRegistered && HandleAllocated()) RevokeDragDrop(Handle());
    FDropRegistered = false;
    TCustomControl::DestroyWnd();
}

void TBaseVirtualTree::GetNativeClipboardFormats(std::vector<FORMATETC>& formats) {
    // The tree's own data is always offered; ClipboardFormats chooses among the others.
    std::vector<std::string> wanted;
    if (FClipboardFormats && FClipboardFormats->Count() > 0) {
        wanted.push_back("Virtual Tree Data");
        for (int i = 0; i < FClipboardFormats->Count(); ++i)
            wanted.push_back(FClipboardFormats->Strings(i));
    }
    const std::vector<FORMATETC> offered =
        TClipboardFormatList::EnumerateFormatEtcs(this, wanted.empty() ? nullptr : &wanted);
    formats.insert(formats.end(), offered.begin(), offered.end());
    DoGetUserClipboardFormats(formats);
}

void TBaseVirtualTree::DoGetUserClipboardFormats(std::vector<FORMATETC>& formats) {
    if (OnGetUserClipboardFormats) OnGetUserClipboardFormats(this, formats);
}

void TBaseVirtualTree::UpdateWindowAndDragImage(const TRect& treeRect, bool updateNCArea,
                                                bool reshowDragImage) {
    if (!HandleAllocated() || IsUpdating() || treeRect.IsEmpty()) return;
    const bool shown = FDragImage && FDragImage->Visible();
    if (shown) FDragImage->HideDragImage();
    const RECT r = treeRect;
    RedrawWindow(Handle(), &r, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE |
                     (updateNCArea ? uint32_t(RDW_FRAME) : 0u));
    if (shown && reshowDragImage) FDragImage->ShowDragImage();
}

void TBaseVirtualTree::WriteSelectionToStream(TStream& stream, bool cutCopySet) {
    for (PVirtualNode node : cutCopySet ? SortedCutCopySet(true) : SortedSelection(true))
        WriteNode(stream, node);
}

int32_t TBaseVirtualTree::RenderOLEData(const FORMATETC& format, STGMEDIUM& medium,
                                        bool forClipboard) {
    if (format.cfFormat == TreeUnitState().CF_VIRTUALTREE) {
        if (!(format.tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        const bool cutCopy =
            forClipboard && FStates.ContainsAny({S::tsCutPending, S::tsCopyPending});
        TMemoryStream stream;
        WriteHeader(stream, Cardinal(cutCopy ? SortedCutCopySet(true).size()
                                             : SortedSelection(true).size()));
        WriteSelectionToStream(stream, cutCopy);
        HGLOBAL block = StreamToGlobal(stream);
        if (!block) return E_OUTOFMEMORY;
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block;
        medium.pUnkForRelease = nullptr;
        return S_OK;
    }
    return DoRenderOLEData(format, medium, forClipboard);
}

TBaseVirtualTree* TBaseVirtualTree::GetTreeFromDataObject(IDataObject* dataObject) {
    if (!dataObject) return nullptr;
    FORMATETC format;
    format.cfFormat = CLIPFORMAT(TreeUnitState().CF_VTREFERENCE);
    STGMEDIUM medium;
    if (FAILED(dataObject->GetData(&format, &medium))) return nullptr;
    TBaseVirtualTree* result = nullptr;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal &&
        GlobalSize(medium.hGlobal) >= TreeReferenceSize) {
        if (auto* p = static_cast<const uint8_t*>(GlobalLock(medium.hGlobal))) {
            uint32_t pid = 0;
            std::memcpy(&pid, p, 4);
            if (pid == GetCurrentProcessId()) std::memcpy(&result, p + 4, sizeof result);
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return result;
}

// ---- Clipboard
// -----------------------------------------------------------------------------------------

void TBaseVirtualTree::ClipboardDataObjectGone(IDataObject* dataObject) {
    if (dataObject != FClipboardDataObject) return;
    FClipboardDataObject = nullptr;
    if (!FStates.Contains(S::tsClipboardFlushing)) CancelCutOrCopy();
}

// Marks the selection cut or copied and offers it on the clipboard.
void TBaseVirtualTree::PutSelectionOnClipboard(bool cut) {
    CancelCutOrCopy();
    auto* data = new TVTDataObject(this, true);
    auto release = Finally([&] { data->Release(); });
    // Marked first: the clipboard may ask for the data at once.
    for (PVirtualNode node : SortedSelection(false))
        if (!node->States.Contains(nsDisabled)) node->States.Include(nsCutOrCopy);
    if (cut)
        DoStateChange({S::tsCutPending}, {S::tsCopyPending});
    else
        DoStateChange({S::tsCopyPending}, {S::tsCutPending});
    FClipboardDataObject = data;
    if (FAILED(OleSetClipboard(data))) {
        FClipboardDataObject = nullptr;
        CancelCutOrCopy();
        return;
    }
    RequestRepaint();
}

void TBaseVirtualTree::CopyToClipboard() {
    if (SelectedCount() == 0) return;
    PutSelectionOnClipboard(false);
}

void TBaseVirtualTree::CutToClipboard() {
    if (SelectedCount() == 0 || IsReadOnly()) return;
    PutSelectionOnClipboard(true);
}

bool TBaseVirtualTree::PasteFromClipboard() {
    if (IsReadOnly()) return false;
    IDataObject* data = nullptr;
    if (FAILED(OleGetClipboard(&data)) || !data)
        ShowError("Clipboard operation failed.", hcTFClipboardFailed);
    auto release = Finally([&] { data->Release(); });
    TBaseVirtualTree* source = GetTreeFromDataObject(data);
    const bool cut = source && source->FStates.Contains(S::tsCutPending);
    bool result = ProcessOLEData(source, data, FFocusedNode, FDefaultPasteMode, cut);
    if (result && cut) {
        if (source != this)
            source->DeleteCutNodes();
        else
            CancelCutOrCopy();
        // A cut is pasted once.
        OleSetClipboard(nullptr);
    }
    return result;
}

void TBaseVirtualTree::CancelCutOrCopy() {
    if (!FStates.ContainsAny({S::tsCutPending, S::tsCopyPending})) return;
    for (PVirtualNode run = FirstNodeNoInit(); run; run = NextNodeNoInit(run))
        run->States.Exclude(nsCutOrCopy);
    DoStateChange({}, {S::tsCutPending, S::tsCopyPending});
    RequestRepaint();
}

void TBaseVirtualTree::DeleteCutNodes() {
    if (!FStates.Contains(S::tsCutPending)) return;
    std::vector<PVirtualNode> cut = SortedCutCopySet(true);
    BeginUpdate();
    auto end = Finally([&] { EndUpdate(); });
    for (PVirtualNode node : cut)
        DeleteNode(node, true);
    DoStateChange({}, {S::tsCutPending});
}

bool TBaseVirtualTree::ProcessOLEData(TBaseVirtualTree* source, IDataObject* dataObject,
                                      PVirtualNode targetNode, TVTNodeAttachMode mode,
                                      bool optimizedMove) {
    using M = TVTNodeAttachMode;
    if (optimizedMove && source == this) {
        std::vector<PVirtualNode> nodes =
            FStates.Contains(S::tsCutPending) ? SortedCutCopySet(true) : SortedSelection(true);
        if (nodes.empty()) return false;
        BeginUpdate();
        auto end = Finally([&] { EndUpdate(); });
        for (PVirtualNode node : nodes) {
            if (targetNode && (targetNode == node || HasAsAncestor(targetNode, node))) continue;
            MoveNodeTo(node, this, targetNode, mode, false);
            if (mode == M::amInsertAfter || mode == M::amAddChildFirst) {
                targetNode = node;
                mode = M::amInsertAfter;
            }
        }
        return true;
    }
    if (!dataObject) return false;
    FORMATETC format;
    format.cfFormat = CLIPFORMAT(TreeUnitState().CF_VIRTUALTREE);
    STGMEDIUM medium;
    if (FAILED(dataObject->GetData(&format, &medium))) return false;
    auto release = Finally([&] { ReleaseStgMedium(&medium); });
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) return false;
    TMemoryStream stream;
    if (const void* p = GlobalLock(medium.hGlobal)) {
        stream.WriteBuffer(p, int64_t(GlobalSize(medium.hGlobal)));
        GlobalUnlock(medium.hGlobal);
    }
    stream.SetPosition(0);
    BeginUpdate();
    auto end = Finally([&] { EndUpdate(); });
    return !InsertFromStream(stream, targetNode, mode).empty();
}

void TBaseVirtualTree::MoveNodeTo(PVirtualNode source, TBaseVirtualTree* targetTree,
                                  PVirtualNode target, TVTNodeAttachMode mode, bool childrenOnly) {
    using M = TVTNodeAttachMode;
    if (!source || source == FRoot.get() || !targetTree || targetTree->IsReadOnly()) return;
    Assert(TreeFromNode(source) == this, "The source tree must contain the source node.");
    if (!target) {
        target = targetTree->RootNode();
        mode = M::amAddChildLast;
    }
    if (mode == M::amNoWhere) return;
    if (target == targetTree->RootNode()) {
        if (mode == M::amInsertBefore) mode = M::amAddChildFirst;
        if (mode == M::amInsertAfter) mode = M::amAddChildLast;
    }
    if (targetTree == this && (target == source || HasAsAncestor(target, source)))
        ShowError("Target node cannot be a child node of the node to be moved.",
                  hcTFWrongMoveError);
    std::vector<PVirtualNode> nodes;
    if (childrenOnly) {
        for (PVirtualNode c = source->FirstChild; c; c = c->NextSibling)
            nodes.push_back(c);
    } else {
        nodes.push_back(source);
    }
    BeginUpdate();
    auto endSource = Finally([&] { EndUpdate(); });
    targetTree->BeginUpdate();
    auto endTarget = Finally([&] { targetTree->EndUpdate(); });
    for (PVirtualNode node : nodes) {
        PVirtualNode newParent =
            (mode == M::amAddChildFirst || mode == M::amAddChildLast) ? target : target->Parent;
        if (!targetTree->DoNodeMoving(node, newParent)) continue;
        PVirtualNode moved = node;
        if (targetTree == this) {
            if ((mode == M::amAddChildFirst || mode == M::amAddChildLast) &&
                target != FRoot.get() && !target->States.Contains(nsInitialized))
                InitNode(target);
            UnlinkNode(node, true, true);
            LinkNode(node, target, mode);
        } else {
            TMemoryStream stream;
            SaveToStream(stream, node);
            stream.SetPosition(0);
            std::vector<PVirtualNode> added = targetTree->InsertNodes(stream, target, mode);
            DeleteNode(node, true);
            if (added.empty()) continue;
            moved = added.front();
        }
        targetTree->DoNodeMoved(moved);
        if (mode == M::amInsertAfter || mode == M::amAddChildFirst) {
            target = moved;
            mode = M::amInsertAfter;
        }
    }
    targetTree->InvalidatePositionCache();
    targetTree->StructureChange(nullptr, TChangeReason::crNodeMoved);
}

PVirtualNode TBaseVirtualTree::CopyNodeTo(PVirtualNode source, TBaseVirtualTree* targetTree,
                                          PVirtualNode target, TVTNodeAttachMode mode,
                                          bool childrenOnly) {
    using M = TVTNodeAttachMode;
    if (!source || source == FRoot.get() || !targetTree || targetTree->IsReadOnly()) return nullptr;
    Assert(TreeFromNode(source) == this, "The source tree must contain the source node.");
    if (!target) {
        target = targetTree->RootNode();
        mode = M::amAddChildLast;
    }
    PVirtualNode newParent = (mode == M::amAddChildFirst || mode == M::amAddChildLast ||
                              target == targetTree->RootNode())
                                 ? target
                                 : target->Parent;
    if (!targetTree->DoNodeCopying(source, newParent)) return nullptr;
    // Written whole first, so a copy into its own subtree reads a finished stream.
    TMemoryStream stream;
    if (childrenOnly) {
        WriteHeader(stream, source->ChildCount);
        for (PVirtualNode c = source->FirstChild; c; c = c->NextSibling)
            WriteNode(stream, c);
    } else {
        SaveToStream(stream, source);
    }
    stream.SetPosition(0);
    targetTree->BeginUpdate();
    auto end = Finally([&] { targetTree->EndUpdate(); });
    std::vector<PVirtualNode> added = targetTree->InsertFromStream(stream, target, mode);
    targetTree->StructureChange(nullptr, TChangeReason::crNodeCopied);
    return added.empty() ? nullptr : added.front();
}

// ---- Dragging
// ------------------------------------------------------------------------------------------

bool TBaseVirtualTree::DoDragAllowed(PVirtualNode node, TColumnIndex column) {
    bool allowed = false;
    if (OnDragAllowed) OnDragAllowed(this, node, column, allowed);
    return allowed;
}

bool TBaseVirtualTree::DoDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt,
                                  TVTDropMode mode, uint32_t& effect) {
    bool accept = true;
    if (OnDragOver) OnDragOver(this, source, shift, state, pt, mode, effect, accept);
    return accept;
}

void TBaseVirtualTree::DoDragDrop(TObject* source, IDataObject* dataObject,
                                  const std::vector<uint32_t>& formats, TShiftState shift,
                                  TPoint pt, uint32_t& effect, TVTDropMode mode) {
    if (OnDragDrop) OnDragDrop(this, source, dataObject, formats, shift, pt, effect, mode);
}

void TBaseVirtualTree::BeginDrag(bool immediate, int threshold) {
    if (FDragType == TVTDragType::dtVCL) {
        DoStateChange({S::tsVCLDragPending});
        TControl::BeginDrag(immediate, threshold);
        return;
    }
    if (FStates.ContainsAny({S::tsEditing, S::tsOLEDragging})) return;
    FDragThreshold = threshold >= 0 ? threshold : GetSystemMetrics(SM_CXDRAG);
    if (!immediate) {
        DoStateChange({S::tsOLEDragPending});
        return;
    }
    DoStateChange({S::tsOLEDragging}, {S::tsOLEDragPending, S::tsClearPending});
    IDataObject* data = DragManager()->DataObject();
    auto done = Finally([&] {
        if (FDragImage) FDragImage->EndDrag();
        data->Release();
        DoStateChange({}, {S::tsOLEDragging, S::tsLeftButtonDown});
        SetMouseCapture(false);
    });
    PrepareDragImage(data);
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = epc::DoDragDrop(data, DragManager(), GetDragOperations(), &effect);
    if (result == DRAGDROP_S_DROP && effect == DROPEFFECT_MOVE &&
        FOptions->AutoOptions().Contains(toAutoDeleteMovedNodes)) {
        BeginUpdate();
        auto end = Finally([&] { EndUpdate(); });
        RemoveSelectedNodes();
    }
}

void TBaseVirtualTree::DoStartDrag(TDragObject*& dragObject) {
    TCustomControl::DoStartDrag(dragObject);
    DoStateChange({S::tsVCLDragging}, {S::tsVCLDragPending});
}

void TBaseVirtualTree::DoEndDrag(TObject* target, int x, int y) {
    TCustomControl::DoEndDrag(target, x, y);
    // The framework took the button-up: the mouse states end with the drag.
    DoStateChange({S::tsVCLDragFinished},
                  {S::tsVCLDragging, S::tsVCLDragPending, S::tsLeftButtonDown, S::tsClearPending});
}

bool TBaseVirtualTree::DragOver(TObject* source, int x, int y, TDragState state) {
    uint32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    bool accept;
    if (state == dsDragEnter) {
        DoStateChange({S::tsVCLDragging});
        accept = DragEnter(source, GetShiftState(), TPoint(x, y), effect);
    } else {
        accept = TreeDragOver(source, GetShiftState(), state, TPoint(x, y), effect);
    }
    FDropEffect = effect;
    if (state == dsDragLeave) DoStateChange({}, {S::tsVCLDragging});
    return accept;
}

void TBaseVirtualTree::DragDrop(TObject* source, int x, int y) {
    // No leave follows a drop: the drag over this tree ends here, whatever the handler does.
    auto ended = Finally([this] { DoStateChange({}, {S::tsVCLDragging}); });
    uint32_t effect = FDropEffect;
    TreeDragDrop(source, nullptr, GetShiftState(), TPoint(x, y), effect);
}

bool TBaseVirtualTree::TreeDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt,
                                    uint32_t& effect) {
    if (state == dsDragLeave) {
        DragLeave();
        effect = DROPEFFECT_NONE;
        return false;
    }
    THitInfo hit = HitTestAt(pt.X, pt.Y, true);
    PVirtualNode node = hit.HitNode;
    TVTDropMode mode = TVTDropMode::dmNowhere;
    if (node) {
        mode = TVTDropMode::dmOnNode;
        // Beside the label (indent, margin, right of it) a drop mark goes between rows.
        if (FOptions->PaintOptions().Contains(toShowDropmark) &&
            (hit.HitPositions & (hiOnItemIndent | hiOnItemLeft | hiOnItemRight))) {
            int top = NodeTop(node) + FOffsetY;
            mode = pt.Y < top + int(NodeHeight(node)) / 2 ? TVTDropMode::dmAbove
                                                          : TVTDropMode::dmBelow;
        }
    }
    if (node != FDropTargetNode) {
        SetDropTargetNode(node);
        StopTimer(ExpandTimer);
        if (node && FOptions->AutoOptions().Contains(toAutoDropExpand) &&
            node->States.Contains(nsHasChildren) && !node->States.Contains(nsExpanded) &&
            HandleAllocated())
            SetTimer(Handle(), ExpandTimer, FAutoExpandDelay);
    }
    if (mode != FDropMode) InvalidateNode(node);
    FDropMode = mode;
    FScroller.AutoScrollFrom(pt);
    effect = SuggestDropEffect(source, shift.Contains(ssShift), shift.Contains(ssCtrl), pt, effect);
    bool accept = DoDragOver(source, shift, state, pt, mode, effect);
    if (!accept) effect = DROPEFFECT_NONE;
    return accept;
}

void TBaseVirtualTree::SetDropTargetNode(PVirtualNode node) {
    // Both rows show the change at once, under the drag image.
    PVirtualNode old = std::exchange(FDropTargetNode, node);
    for (PVirtualNode row : {old, node})
        if (row) UpdateWindowAndDragImage(DisplayRect(row, NoColumn, false), false, true);
}

void TBaseVirtualTree::RefreshDropTargetAt(TPoint clientPoint) {
    const THitInfo hit = HitTestAt(clientPoint.X, clientPoint.Y, true);
    if (hit.HitNode != FDropTargetNode) SetDropTargetNode(hit.HitNode);
}

bool TBaseVirtualTree::DragEnter(TObject* source, TShiftState shift, TPoint pt, uint32_t& effect) {
    return TreeDragOver(source, shift, dsDragEnter, pt, effect);
}

void TBaseVirtualTree::DragLeave() {
    uint32_t effect = DROPEFFECT_NONE;
    DoDragOver(nullptr, {}, dsDragLeave, TPoint(0, 0), FDropMode, effect);
    ClearDropTarget();
}

void TBaseVirtualTree::ClearDropTarget() {
    StopTimer(ExpandTimer);
    FScroller.StopAutoScroll();
    InvalidateNode(FDropTargetNode);
    FDropTargetNode = nullptr;
    FDropMode = TVTDropMode::dmNowhere;
}

void TBaseVirtualTree::TreeDragDrop(TObject* source, IDataObject* dataObject, TShiftState shift,
                                    TPoint pt, uint32_t& effect) {
    StopTimer(ExpandTimer);
    std::vector<uint32_t> formats;
    if (dataObject) {
        IEnumFORMATETC* enumerator = nullptr;
        if (SUCCEEDED(dataObject->EnumFormatEtc(DATADIR_GET, &enumerator)) && enumerator) {
            FORMATETC f;
            ULONG fetched = 0;
            while (enumerator->Next(1, &f, &fetched) == S_OK && fetched == 1)
                formats.push_back(f.cfFormat);
            enumerator->Release();
        }
    }
    DoDragDrop(source, dataObject, formats, shift, pt, effect, FDropMode);
    ClearDropTarget();
    if (FScroller.ScrollTimerRunning()) StopTimer(ScrollTimer);
}

} // namespace epc
