#pragma once
// Storage for the node records of one tree. Records of one size are cut from slabs in the order
// they are asked for, so nodes made one after another lie next to each other and walks over big
// trees read memory in sequence. Slabs double in size up to 2 MB; the full-size ones are asked
// to be backed by huge pages, so that a million-node tree needs a few dozen address
// translations instead of tens of thousands. Given-back records are reused first; when the last
// one goes the slabs are released, the full-size ones to a small process-wide reserve that the
// next big tree takes them from (no fresh page faults for every tree that is built).

#include <cstddef>
#include <cstring>
#include <unordered_set>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define EPC_POOL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(EPC_POOL_ASAN)
#define EPC_POOL_ASAN 1
#endif
#ifdef EPC_POOL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace epc {

class TNodePool {
public:
    // Bytes of a full-size slab (one huge page).
    static constexpr size_t LargeSlabBytes = size_t(2) << 20;
    // Full-size slabs the process keeps in reserve at most.
    static constexpr size_t ReservedSlabsMax = 48;

    TNodePool() = default;
    TNodePool(const TNodePool&) = delete;
    TNodePool& operator=(const TNodePool&) = delete;
    ~TNodePool();

    // A zero-filled record of at least Size bytes, aligned for pointers. Throws EOutOfMemory.
    // The first ZeroFrom bytes (a multiple of the pointer size) are left as they are for a
    // caller that sets them all anyway: filling them twice costs a pass over the memory.
    void* Allocate(size_t size, size_t zeroFrom = 0) {
        // The common case without a call: the next never-used record of the newest slab, at
        // the current size, with only its tail to clear.
        if (zeroFrom > 0 && zeroFrom <= FStride && FNext != FEnd && FNext >= FZeroed &&
            !FFreeList && StrideFor(size) == FStride) {
            char* record = FNext;
            char* const end = record + FStride;
            FNext = FZeroed = end;
            ++FLive;
#ifdef EPC_POOL_ASAN
            // Records not handed out are fenced off for the address checker.
            ASAN_UNPOISON_MEMORY_REGION(record, FStride);
#endif
            // Tails are a word or two: stored in place rather than through a call.
            for (char* p = record + zeroFrom; p != end; p += sizeof(void*)) {
                void* const zero = nullptr;
                std::memcpy(p, &zero, sizeof zero);
            }
            return record;
        }
        return AllocateSlow(size, zeroFrom);
    }
    // Gives back a record got from Allocate.
    void Free(void* record);
    // Frees every slab; records still handed out become invalid.
    void Release();

    // Records handed out and not yet given back.
    size_t LiveCount() const {
        return FLive + FOversized.size();
    }
    // Distance between neighbouring records in the slabs (0 while no slab exists).
    size_t Stride() const {
        return FStride;
    }
    // Bytes held in slabs.
    size_t SlabBytes() const {
        return FSlabBytes;
    }
    // Full-size slabs currently in the process-wide reserve.
    static size_t ReservedSlabs();

private:
    struct TSlab {
        void* Memory;
        size_t Bytes;
    };
    static size_t StrideFor(size_t size) {
        return ((size < sizeof(void*) ? sizeof(void*) : size) + sizeof(void*) - 1) / sizeof(void*) *
               sizeof(void*);
    }
    void* AllocateSlow(size_t size, size_t zeroFrom);
    void AddSlab();
    void FreeSlabs();

    size_t FStride = 0;
    std::vector<TSlab> FSlabs;
    char* FNext = nullptr; // next never-used record of the newest slab
    char* FEnd = nullptr;
    char* FZeroed = nullptr;   // never-used records of the newest slab are zero below this
    void* FFreeList = nullptr; // given-back records, linked through their first bytes
    size_t FLive = 0;          // slab records handed out
    size_t FSlabBytes = 0;
    size_t FSlabRecords = 0; // records of the newest slab
    // Records larger than the slabs' stride, asked for while slab records were still in use
    // (the user data size grew meanwhile); they come from the heap one by one.
    std::unordered_set<void*> FOversized;
};

} // namespace epc
