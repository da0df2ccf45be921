#pragma once
// Storage for the node records of one tree: records of one size are cut from large slabs in
// the order they are requested, so that nodes made one after another lie next to each other
// in memory and walks over big trees read memory in sequence instead of jumping around the
// heap. Single records can be given back (they are reused first); when the last record goes,
// all slabs are released at once.

#include <cstddef>
#include <unordered_set>
#include <vector>

namespace epc {

class TNodePool {
public:
    TNodePool() = default;
    TNodePool(const TNodePool&) = delete;
    TNodePool& operator=(const TNodePool&) = delete;
    ~TNodePool();

    // A zero-filled record of at least Size bytes, aligned for pointers. Throws EOutOfMemory.
    void* Allocate(size_t Size);
    // Gives back a record got from Allocate.
    void Free(void* Record);
    // Frees every slab; records still handed out become invalid.
    void Release();

    // Records handed out and not yet given back.
    size_t LiveCount() const { return FLive + FOversized.size(); }
    // Distance between neighbouring records in the slabs (0 while no slab exists).
    size_t Stride() const { return FStride; }
    // Bytes held in slabs.
    size_t SlabBytes() const { return FSlabBytes; }

private:
    void AddSlab();
    void FreeSlabs();

    size_t FStride = 0;
    std::vector<void*> FSlabs;
    char* FNext = nullptr; // next never-used record of the newest slab
    char* FEnd = nullptr;
    void* FFreeList = nullptr; // given-back records, linked through their first bytes
    size_t FLive = 0;          // slab records handed out
    size_t FSlabBytes = 0;
    size_t FSlabRecords = 0; // records of the newest slab
    // Records larger than the slabs' stride, asked for while slab records were still in use
    // (the user data size grew meanwhile); they come from the heap one by one.
    std::unordered_set<void*> FOversized;
};

} // namespace epc
