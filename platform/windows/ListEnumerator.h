#pragma once
// An enumerator over a copied list, for the format and advise enumerators of data transfer.

#include <vector>

#include "platform/windows/DataTransfer.h"

namespace epc {

// What an enumerator holds of an item and hands out: a sink is referenced by each copy.
inline FORMATETC HeldCopy(const FORMATETC& format) { return format; }
inline void DropCopy(FORMATETC&) {}
inline STATDATA HeldCopy(const STATDATA& stat) {
    if (stat.pAdvSink) stat.pAdvSink->AddRef();
    return stat;
}
inline void DropCopy(STATDATA& stat) {
    if (stat.pAdvSink) stat.pAdvSink->Release();
}

template <typename Interface, typename Item, const IID& Id>
class TListEnumerator : public TUnknownImpl<Interface> {
public:
    explicit TListEnumerator(const std::vector<Item>& items, size_t pos = 0) : FPos(pos) {
        for (const Item& item : items) FItems.push_back(HeldCopy(item));
    }
    ~TListEnumerator() override {
        for (Item& item : FItems) DropCopy(item);
    }
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return this->QueryFor(iid, object, {Id});
    }
    HRESULT Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < count && FPos < FItems.size()) out[n++] = HeldCopy(FItems[FPos++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    // Skipping past the end stops there and says so; reaching the end exactly is no failure.
    HRESULT Skip(ULONG count) override {
        if (count > FItems.size() - FPos) {
            FPos = FItems.size();
            return S_FALSE;
        }
        FPos += count;
        return S_OK;
    }
    HRESULT Reset() override {
        FPos = 0;
        return S_OK;
    }
    HRESULT Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = new TListEnumerator(FItems, FPos);
        return S_OK;
    }

private:
    std::vector<Item> FItems;
    size_t FPos;
};

}  // namespace epc
