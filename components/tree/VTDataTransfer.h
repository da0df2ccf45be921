#pragma once
// OLE data transfer of the tree: the data object offering the formats a tree class registered,
// its format enumerator, and the drag manager that is the tree's drop target and drop source.

#include <vector>

#include "platform/windows/DataTransfer.h"

namespace epc {

class TBaseVirtualTree;

class TEnumFormatEtc : public TUnknownImpl<IEnumFORMATETC> {
public:
    TEnumFormatEtc(TBaseVirtualTree* tree, std::vector<FORMATETC> formats, size_t index = 0);
    HRESULT QueryInterface(const IID& iid, void** object) override;
    HRESULT Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumFORMATETC** out) override;

private:
    TBaseVirtualTree* FTree;
    std::vector<FORMATETC> FFormats;
    size_t FIndex;
};

class TVTDataObject : public TUnknownImpl<IDataObject> {
public:
    TVTDataObject(TBaseVirtualTree* owner, bool forClipboard);
    ~TVTDataObject() override;
    HRESULT QueryInterface(const IID& iid, void** object) override;
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** out) override;

    TBaseVirtualTree* Owner() const { return FOwner; }
    // The tree is going away: the object answers from what it stored and nothing else.
    void DetachOwner() { FOwner = nullptr; }
    bool ForClipboard() const { return FForClipboard; }

private:
    struct TStoredMedium {
        CLIPFORMAT Format = 0;
        STGMEDIUM Medium;
    };
    TBaseVirtualTree* FOwner;
    bool FForClipboard;
    std::vector<FORMATETC> FFormats;
    std::vector<TStoredMedium> FStored;
    TInterfaceRef<IDataAdviseHolder> FAdviseHolder; // made on the first DAdvise
};

// The "Virtual Tree Reference" block: the process id, then the tree's address (4 bytes plus a
// pointer, so the address is never cut on 64-bit systems).
constexpr size_t TreeReferenceSize = 4 + sizeof(void*);

class TVTDragManager : public TUnknownImpl<IDropTarget>, public IDropSource {
public:
    explicit TVTDragManager(TBaseVirtualTree* owner);
    ~TVTDragManager() override;
    HRESULT QueryInterface(const IID& iid, void** object) override;
    ULONG AddRef() override { return TUnknownImpl<IDropTarget>::AddRef(); }
    ULONG Release() override { return TUnknownImpl<IDropTarget>::Release(); }

    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINT pt, DWORD* effect) override;
    HRESULT DragOver(DWORD keyState, POINT pt, DWORD* effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* data, DWORD keyState, POINT pt, DWORD* effect) override;
    HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT GiveFeedback(DWORD effect) override;

    // The data object of the current drag: the stored one, one from OnCreateDataObject, or a
    // new one for the tree. The caller gets a reference.
    IDataObject* DataObject();
    TBaseVirtualTree* DragSource() const { return FDragSource; }
    bool DropTargetHelperSupported() const { return FDropTargetHelper != nullptr; }
    bool IsDropTarget() const { return FIsDropTarget; }
    void ForceDragLeave();
    void OwnerGone() { FOwner = nullptr; }

private:
    void SetDataObject(IDataObject* data);
    // The helper shows the drag image only while whole windows are dragged.
    IDropTargetHelper* UsedHelper() const {
        return FFullDragging ? FDropTargetHelper.get() : nullptr;
    }
    TBaseVirtualTree* FOwner;
    TBaseVirtualTree* FDragSource = nullptr;
    bool FIsDropTarget = false;
    IDataObject* FDataObject = nullptr;
    TInterfaceRef<IDropTargetHelper> FDropTargetHelper;
    bool FFullDragging = false;
};

} // namespace epc
