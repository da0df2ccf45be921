#include "components/tree/NodePool.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

namespace {

// The first slab is small so that trees with a handful of nodes stay cheap; slabs double up to
// this many records, after which they are full-size ones. Intermediate sizes of hundreds of
// kilobytes would be mapped and unmapped by the heap for every tree.
constexpr size_t FirstSlabRecords = 16;
constexpr size_t SmallSlabRecordsMax = 2048;
// Never-used records are zeroed this many bytes at a time ahead of use: one long fill costs far
// less than a call per record, and memory the tree never reaches is not touched.
constexpr size_t ZeroAheadBytes = size_t(64) << 10;

// Records that are not handed out are fenced off for the address checker, so that a node used
// after its deletion is reported as it would be with one heap block per node.
void Poison([[maybe_unused]] void* p, [[maybe_unused]] size_t n) {
#ifdef EPC_POOL_ASAN
    ASAN_POISON_MEMORY_REGION(p, n);
#endif
}

void Unpoison([[maybe_unused]] void* p, [[maybe_unused]] size_t n) {
#ifdef EPC_POOL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#endif
}

[[noreturn]] void OutOfMemory() {
    throw EOutOfMemory("Out of memory");
}

// Full-size slabs: mapped on a huge-page boundary and advised to be backed by huge pages
// (where the system does not offer them they are ordinary pages). Released ones are kept for
// the next tree up to a limit, already faulted in.
class TLargeSlabs {
public:
    ~TLargeSlabs() {
        for (void* slab : FSpare)
            Unmap(slab);
    }

    void* Take() {
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (!FSpare.empty()) {
                void* slab = FSpare.back();
                FSpare.pop_back();
                return slab;
            }
        }
        return Map();
    }

    void Give(void* slab) {
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FSpare.size() < TNodePool::ReservedSlabsMax) {
                FSpare.push_back(slab);
                return;
            }
        }
        Unmap(slab);
    }

    size_t Spare() {
        std::lock_guard<std::mutex> guard(FLock);
        return FSpare.size();
    }

private:
    static constexpr size_t Bytes = TNodePool::LargeSlabBytes;

    static void* Map() {
        // Twice the size, then the unaligned ends go back.
        void* raw =
            mmap(nullptr, 2 * Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) OutOfMemory();
        auto start = reinterpret_cast<uintptr_t>(raw);
        uintptr_t aligned = (start + Bytes - 1) & ~uintptr_t(Bytes - 1);
        if (aligned > start) munmap(raw, aligned - start);
        uintptr_t tail = aligned + Bytes;
        uintptr_t end = start + 2 * Bytes;
        if (end > tail) munmap(reinterpret_cast<void*>(tail), end - tail);
#ifdef MADV_HUGEPAGE
        madvise(reinterpret_cast<void*>(aligned), Bytes, MADV_HUGEPAGE);
#endif
        return reinterpret_cast<void*>(aligned);
    }

    static void Unmap(void* slab) {
        munmap(slab, Bytes);
    }

    std::mutex FLock;
    std::vector<void*> FSpare;
};

TLargeSlabs& LargeSlabs() {
    // Never destroyed: trees held by static objects may give slabs back during exit. The union
    // keeps the compiler from registering the member's destructor.
    union TUndestroyed {
        TLargeSlabs Slabs;
        TUndestroyed() : Slabs() {}
        ~TUndestroyed() {}
    };
    static TUndestroyed holder;
    return holder.Slabs;
}

} // namespace

size_t TNodePool::ReservedSlabs() {
    return LargeSlabs().Spare();
}

TNodePool::~TNodePool() {
    Release();
}

void TNodePool::FreeSlabs() {
    for (const TSlab& slab : FSlabs) {
        if (slab.Bytes == LargeSlabBytes) {
            // Fenced while in reserve; the next owner opens what it hands out.
            Poison(slab.Memory, slab.Bytes);
            LargeSlabs().Give(slab.Memory);
        } else {
            Unpoison(slab.Memory, slab.Bytes);
            std::free(slab.Memory);
        }
    }
    FSlabs.clear();
    FNext = FEnd = FZeroed = nullptr;
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
    const size_t largeRecords = std::max<size_t>(1, LargeSlabBytes / FStride);
    size_t records = FSlabRecords == 0 ? FirstSlabRecords : FSlabRecords * 2;
    if (records > SmallSlabRecordsMax) records = largeRecords;
    records = std::min(records, largeRecords);
    const bool large = records == largeRecords && FStride <= LargeSlabBytes;
    const size_t bytes = large ? LargeSlabBytes : records * FStride;
    // Room first, so that recording the slab cannot fail once it is allocated.
    if (FSlabs.size() == FSlabs.capacity()) FSlabs.reserve(std::max<size_t>(8, FSlabs.size() * 2));
    void* slab = large ? LargeSlabs().Take() : std::malloc(bytes);
    if (!slab) OutOfMemory();
    FSlabs.push_back({slab, bytes});
    Poison(slab, bytes);
    FSlabRecords = records;
    FSlabBytes += bytes;
    FNext = static_cast<char*>(slab);
    FEnd = FNext + records * FStride;
    FZeroed = FNext;
}

void* TNodePool::AllocateSlow(size_t size, size_t zeroFrom) {
    const size_t stride = StrideFor(size);
    if (FLive == 0 && stride != FStride) {
        // Nothing of the slabs is in use: start over with the new record size.
        FreeSlabs();
        FStride = stride;
    }
    if (stride > FStride) {
        void* record = std::calloc(1, stride);
        if (!record) OutOfMemory();
        auto release = Finally([record] { std::free(record); });
        FOversized.insert(record);
        release.Dismiss();
        return record;
    }
    zeroFrom = std::min(zeroFrom, FStride);
    char* record;
    if (FFreeList) {
        record = static_cast<char*>(FFreeList);
        Unpoison(record, FStride);
        FFreeList = *static_cast<void**>(FFreeList);
        std::memset(record + zeroFrom, 0, FStride - zeroFrom);
    } else {
        if (FNext == FEnd) AddSlab();
        record = FNext;
        FNext += FStride;
        const bool zeroTail = zeroFrom > 0 && record >= FZeroed;
        if (zeroTail) {
            // Its own bytes only; the records before it are all handed out.
            FZeroed = FNext;
        } else {
            while (FNext > FZeroed) {
                const size_t bytes = std::min<size_t>(ZeroAheadBytes, size_t(FEnd - FZeroed));
                Unpoison(FZeroed, bytes);
                std::memset(FZeroed, 0, bytes);
                Poison(FZeroed, bytes);
                FZeroed += bytes;
            }
        }
        Unpoison(record, FStride);
        if (zeroTail) std::memset(record + zeroFrom, 0, FStride - zeroFrom);
    }
    ++FLive;
    return record;
}

void TNodePool::Free(void* record) {
    if (!record) return;
    if (!FOversized.empty()) {
        auto it = FOversized.find(record);
        if (it != FOversized.end()) {
            FOversized.erase(it);
            std::free(record);
            return;
        }
    }
    --FLive;
    if (FLive == 0) {
        // The last record went (the tree was emptied): the slabs go as a whole, which also
        // gives the next nodes consecutive memory.
        FreeSlabs();
        return;
    }
    Unpoison(record, sizeof(void*));
    *static_cast<void**>(record) = FFreeList;
    FFreeList = record;
    Poison(static_cast<char*>(record) + sizeof(void*), FStride - sizeof(void*));
}

} // namespace epc
