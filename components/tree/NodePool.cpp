#include "components/tree/NodePool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/core/Exceptions.h"

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

namespace {

// The first slab is small so that trees with a handful of nodes stay cheap; later slabs
// double up to this size.
constexpr size_t FirstSlabRecords = 16;
constexpr size_t MaxSlabBytes = size_t(1) << 20;

// Records that are not handed out are fenced off for the address checker, so that a node
// used after its deletion is still reported as it was with one heap block per node.
void Poison(void* p, size_t n) {
#ifdef EPC_POOL_ASAN
    ASAN_POISON_MEMORY_REGION(p, n);
#else
    (void)p;
    (void)n;
#endif
}

void Unpoison(void* p, size_t n) {
#ifdef EPC_POOL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#else
    (void)p;
    (void)n;
#endif
}

[[noreturn]] void OutOfMemory() {
    throw EOutOfMemory("Out of memory");
}

} // namespace

TNodePool::~TNodePool() {
    Release();
}

void TNodePool::FreeSlabs() {
    for (void* slab : FSlabs)
        std::free(slab);
    FSlabs.clear();
    FNext = FEnd = nullptr;
    FFreeList = nullptr;
    FLive = 0;
    FSlabBytes = 0;
    FSlabRecords = 0;
}

void TNodePool::Release() {
    FreeSlabs();
    for (void* record : FOversized)
        std::free(record);
    FOversized.clear();
    FStride = 0;
}

void TNodePool::AddSlab() {
    size_t records = FSlabRecords == 0 ? FirstSlabRecords : FSlabRecords * 2;
    records = std::max<size_t>(1, std::min(records, MaxSlabBytes / FStride));
    size_t bytes = records * FStride;
    // Room first, so that recording the slab cannot fail once it is allocated.
    if (FSlabs.size() == FSlabs.capacity()) FSlabs.reserve(std::max<size_t>(8, FSlabs.size() * 2));
    void* slab = std::malloc(bytes);
    if (!slab) OutOfMemory();
    FSlabs.push_back(slab);
    Poison(slab, bytes);
    FSlabRecords = records;
    FSlabBytes += bytes;
    FNext = static_cast<char*>(slab);
    FEnd = FNext + bytes;
}

void* TNodePool::Allocate(size_t Size) {
    const size_t stride = (std::max<size_t>(Size, sizeof(void*)) + sizeof(void*) - 1) /
                          sizeof(void*) * sizeof(void*);
    if (FLive == 0 && stride != FStride) {
        // Nothing of the slabs is in use: start over with the new record size.
        FreeSlabs();
        FStride = stride;
    }
    if (stride > FStride) {
        void* record = std::calloc(1, stride);
        if (!record) OutOfMemory();
        try {
            FOversized.insert(record);
        } catch (...) {
            std::free(record);
            throw;
        }
        return record;
    }
    void* record;
    if (FFreeList) {
        record = FFreeList;
        Unpoison(record, FStride);
        FFreeList = *static_cast<void**>(record);
    } else {
        if (FNext == FEnd) AddSlab();
        record = FNext;
        FNext += FStride;
        Unpoison(record, FStride);
    }
    std::memset(record, 0, FStride);
    ++FLive;
    return record;
}

void TNodePool::Free(void* Record) {
    if (!Record) return;
    if (!FOversized.empty()) {
        auto it = FOversized.find(Record);
        if (it != FOversized.end()) {
            FOversized.erase(it);
            std::free(Record);
            return;
        }
    }
    --FLive;
    if (FLive == 0) {
        // The last record went (the tree was cleared): the slabs go as a whole, which also
        // gives the next nodes fresh, consecutive memory.
        FreeSlabs();
        return;
    }
    Unpoison(Record, sizeof(void*));
    *static_cast<void**>(Record) = FFreeList;
    FFreeList = Record;
    Poison(static_cast<char*>(Record) + sizeof(void*), FStride - sizeof(void*));
}

} // namespace epc
