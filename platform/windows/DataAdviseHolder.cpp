// The advise holder that data objects keep their change sinks in, and its enumerator.

#include <algorithm>

#include "platform/windows/DataTransfer.h"

namespace epc {

namespace {

STATDATA Referenced(const STATDATA& stat) {
    if (stat.pAdvSink) stat.pAdvSink->AddRef();
    return stat;
}

class TStatDataEnumerator : public TUnknownImpl<IEnumSTATDATA> {
public:
    TStatDataEnumerator(const std::vector<STATDATA>& list, size_t pos) : FPos(pos) {
        for (const STATDATA& stat : list)
            FList.push_back(Referenced(stat));
    }
    ~TStatDataEnumerator() override {
        for (STATDATA& stat : FList)
            if (stat.pAdvSink) stat.pAdvSink->Release();
    }
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IEnumSTATDATA});
    }
    HRESULT Next(ULONG count, STATDATA* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < count && FPos < FList.size())
            out[n++] = Referenced(FList[FPos++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        FPos = std::min(FList.size(), FPos + count);
        return FPos < FList.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        FPos = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumSTATDATA** out) override {
        if (!out) return E_POINTER;
        *out = new TStatDataEnumerator(FList, FPos);
        return S_OK;
    }

private:
    std::vector<STATDATA> FList;
    size_t FPos;
};

// Each connection holds a reference to its sink.
class TDataAdviseHolder : public TUnknownImpl<IDataAdviseHolder> {
public:
    ~TDataAdviseHolder() override {
        for (STATDATA& stat : FConnections)
            stat.pAdvSink->Release();
    }
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IDataAdviseHolder});
    }
    HRESULT Advise(IDataObject* data, FORMATETC* format, DWORD advf, IAdviseSink* sink,
                   DWORD* connection) override {
        if (connection) *connection = 0;
        if (!format || !sink) return E_INVALIDARG;
        STATDATA stat;
        stat.formatetc = *format;
        stat.advf = advf;
        stat.pAdvSink = sink;
        stat.dwConnection = ++FLastConnection;
        if (connection) *connection = stat.dwConnection;
        if (data && (advf & ADVF_PRIMEFIRST)) {
            Notify(data, stat);
            if (advf & ADVF_ONLYONCE) return S_OK;
        }
        FConnections.push_back(Referenced(stat));
        return S_OK;
    }
    HRESULT Unadvise(DWORD connection) override {
        auto it = std::find_if(FConnections.begin(), FConnections.end(),
                               [&](const STATDATA& s) { return s.dwConnection == connection; });
        if (it == FConnections.end()) return OLE_E_NOCONNECTION;
        IAdviseSink* sink = it->pAdvSink;
        FConnections.erase(it);
        sink->Release();
        return S_OK;
    }
    HRESULT EnumAdvise(IEnumSTATDATA** out) override {
        if (!out) return E_POINTER;
        *out = new TStatDataEnumerator(FConnections, 0);
        return S_OK;
    }
    HRESULT SendOnDataChange(IDataObject* data, DWORD, DWORD) override {
        if (!data) return E_INVALIDARG;
        // A sink may unadvise itself or others while it is told: work from a copy and skip
        // connections that went meanwhile.
        AddRef();
        std::vector<STATDATA> now;
        for (const STATDATA& stat : FConnections)
            now.push_back(Referenced(stat));
        for (STATDATA& stat : now) {
            if (Connected(stat.dwConnection)) {
                Notify(data, stat);
                if (stat.advf & ADVF_ONLYONCE) Unadvise(stat.dwConnection);
            }
            stat.pAdvSink->Release();
        }
        Release();
        return S_OK;
    }

private:
    bool Connected(DWORD connection) const {
        return std::any_of(FConnections.begin(), FConnections.end(),
                           [&](const STATDATA& s) { return s.dwConnection == connection; });
    }
    static void Notify(IDataObject* data, STATDATA stat) {
        STGMEDIUM medium;
        // Without the data the sink still learns of the change, with an empty medium.
        if (!(stat.advf & ADVF_NODATA) && data->GetData(&stat.formatetc, &medium) != S_OK)
            medium = STGMEDIUM();
        stat.pAdvSink->OnDataChange(&stat.formatetc, &medium);
        ReleaseStgMedium(&medium);
    }
    std::vector<STATDATA> FConnections;
    DWORD FLastConnection = 0;
};

} // namespace

HRESULT CreateDataAdviseHolder(IDataAdviseHolder** out) {
    if (!out) return E_POINTER;
    *out = new TDataAdviseHolder;
    return S_OK;
}

} // namespace epc
