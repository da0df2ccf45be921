// The advise holder that data objects keep their change sinks in, and its enumerator.

#include <algorithm>

#include "platform/windows/ListEnumerator.h"

namespace epc {

namespace {

using TStatDataEnumerator = TListEnumerator<IEnumSTATDATA, STATDATA, IID_IEnumSTATDATA>;

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
        FConnections.push_back(HeldCopy(stat));
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
        *out = new TStatDataEnumerator(FConnections);
        return S_OK;
    }
    HRESULT SendOnDataChange(IDataObject* data, DWORD, DWORD) override {
        if (!data) return E_INVALIDARG;
        // A sink may unadvise itself or others while it is told: work from a copy and skip
        // connections that went meanwhile.
        AddRef();
        std::vector<STATDATA> now;
        for (const STATDATA& stat : FConnections)
            now.push_back(HeldCopy(stat));
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
