#include "richtext/document/RVClasses.h"

#include <algorithm>

namespace epc {

int TRVList::IndexOf(const TObject* item) const {
    auto it = std::find_if(FItems.begin(), FItems.end(),
                           [item](const std::unique_ptr<TObject>& p) { return p.get() == item; });
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TRVList::DeleteAndFree(int index) {
    std::unique_ptr<TObject> item = DeleteWithoutFree(index);
}

std::unique_ptr<TObject> TRVList::DeleteWithoutFree(int index) {
    std::unique_ptr<TObject> item = std::move(FItems.at(size_t(index)));
    FItems.erase(FItems.begin() + index);
    return item;
}

void TRVList::Clear() {
    // Detach first so that destructors that look at the list see it empty.
    std::vector<std::unique_ptr<TObject>> items;
    items.swap(FItems);
}

TRVIntegerList TRVIntegerList::CreateFilled(int count, int32_t value) {
    TRVIntegerList list;
    if (count > 0) list.FItems.assign(size_t(count), value);
    return list;
}

int TRVIntegerList::IndexOf(int32_t value) const {
    auto it = std::find(FItems.begin(), FItems.end(), value);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

int TRVIntegerList::AddIfAbsent(int32_t value) {
    int i = IndexOf(value);
    if (i >= 0) return i;
    FItems.push_back(value);
    return Count() - 1;
}

} // namespace epc
