#pragma once
// Lists used throughout the rich-text layers: an owning object list, a plain integer list and
// a colour list.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/core/Color.h"
#include "platform/core/Types.h"

namespace epc {

// A list that owns the objects it holds: deleting an entry or the list frees them.
class TRVList {
public:
    TRVList() = default;
    TRVList(const TRVList&) = delete;
    TRVList& operator=(const TRVList&) = delete;
    virtual ~TRVList() { Clear(); }

    int Count() const { return int(FItems.size()); }
    TObject* Items(int index) const { return FItems.at(size_t(index)).get(); }
    TObject* operator[](int index) const { return Items(index); }
    void Add(std::unique_ptr<TObject> item) { FItems.push_back(std::move(item)); }
    void Insert(int index, std::unique_ptr<TObject> item) {
        FItems.insert(FItems.begin() + index, std::move(item));
    }
    int IndexOf(const TObject* item) const;
    void DeleteAndFree(int index);
    // Takes the object out of the list and hands it to the caller.
    std::unique_ptr<TObject> DeleteWithoutFree(int index);
    void Clear();

private:
    std::vector<std::unique_ptr<TObject>> FItems;
};

class TRVIntegerList {
public:
    TRVIntegerList() = default;
    static TRVIntegerList CreateFilled(int count, int32_t value);
    static TRVIntegerList CreateCopyOf(const TRVIntegerList& source) { return source; }

    int Count() const { return int(FItems.size()); }
    int32_t GetValue(int index) const { return FItems.at(size_t(index)); }
    int32_t operator[](int index) const { return GetValue(index); }
    void SetValue(int index, int32_t value) { FItems.at(size_t(index)) = value; }
    void AddValue(int32_t value) { FItems.push_back(value); }
    // Adds the value when absent; returns its index either way.
    int AddIfAbsent(int32_t value);
    int IndexOf(int32_t value) const;
    void InsertValue(int index, int32_t value) { FItems.insert(FItems.begin() + index, value); }
    void Delete(int index) { FItems.erase(FItems.begin() + index); }
    void Clear() { FItems.clear(); }
    const std::vector<int32_t>& Values() const { return FItems; }
    friend bool operator==(const TRVIntegerList&, const TRVIntegerList&) = default;

private:
    std::vector<int32_t> FItems;
};

class TRVColorList : public TRVIntegerList {
public:
    // clNone is never collected.
    void AddColorIfAbsent(TColor color) {
        if (color != clNone) AddIfAbsent(color);
    }
};

} // namespace epc
