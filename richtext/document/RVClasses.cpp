#include "richtext/document/RVClasses.h"

#include <algorithm>

namespace epc {

int TRVList::IndexOf(const TObject* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TRVList::DeleteAndFree(int index) {
    TObject* item = FItems.at(size_t(index));
    FItems.erase(FItems.begin() + index);
    delete item;
}

void TRVList::DeleteWithoutFree(int index) {
    (void)FItems.at(size_t(index));
    FItems.erase(FItems.begin() + index);
}

void TRVList::Clear() {
    // Detach first so that destructors that look at the list see it empty.
    std::vector<TObject*> items;
    items.swap(FItems);
    for (TObject* item : items)
        delete item;
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
