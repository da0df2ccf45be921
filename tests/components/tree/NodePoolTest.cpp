#include <cstring>
#include <set>

#include "TreeTestSupport.h"
#include "components/tree/NodePool.h"

using namespace epc;
using epc::testing::AllZero;

TEST(NodePool, RecordsAreZeroedAlignedAdjacentAndReused) {
    TNodePool pool;
    std::vector<void*> records;
    for (int i = 0; i < 100; ++i) {
        void* r = pool.Allocate(21);
        ASSERT_TRUE(AllZero(r, 21));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(r) % sizeof(void*), 0u);
        std::memset(r, 0xAB, 21);
        records.push_back(r);
    }
    EXPECT_EQ(pool.Stride(), 24u);
    EXPECT_EQ(std::set<void*>(records.begin(), records.end()).size(), records.size());
    EXPECT_EQ(static_cast<char*>(records[1]) - static_cast<char*>(records[0]), 24);

    // A given-back record is handed out again, cleared (the free-list link included).
    pool.Free(records[40]);
    pool.Free(records[7]);
    void* again = pool.Allocate(21);
    EXPECT_EQ(again, records[7]);
    EXPECT_TRUE(AllZero(again, 21));
    EXPECT_EQ(pool.Allocate(21), records[40]);
    EXPECT_EQ(pool.LiveCount(), 100u);
}

TEST(NodePool, LastFreeReleasesSlabsAndTheSizeMayChangeThen) {
    TNodePool pool;
    void* a = pool.Allocate(80);
    void* b = pool.Allocate(80);
    EXPECT_GT(pool.SlabBytes(), 0u);
    pool.Free(a);
    pool.Free(b);
    EXPECT_EQ(pool.LiveCount(), 0u);
    EXPECT_EQ(pool.SlabBytes(), 0u);
    void* c = pool.Allocate(96);
    EXPECT_EQ(pool.Stride(), 96u);
    EXPECT_TRUE(AllZero(c, 96));
    pool.Free(c);
}

TEST(NodePool, LargerRecordsWhileSlabRecordsLive) {
    TNodePool pool;
    void* small = pool.Allocate(72);
    // Larger records while the slab ones are in use come from the heap, zeroed and usable.
    void* big = pool.Allocate(200);
    EXPECT_TRUE(AllZero(big, 200));
    std::memset(big, 1, 200);
    void* smaller = pool.Allocate(40);
    EXPECT_EQ(pool.Stride(), 72u);
    EXPECT_EQ(pool.LiveCount(), 3u);
    pool.Free(big);
    EXPECT_EQ(pool.LiveCount(), 2u);
    pool.Free(small);
    pool.Free(smaller);
    EXPECT_EQ(pool.LiveCount(), 0u);
    // Records still handed out at destruction are not leaked (checked by the sanitizer).
    pool.Allocate(72);
    pool.Allocate(500);
}

TEST(NodePool, FullSizeSlabsGoToTheReserveAndComeBack) {
    const size_t stride = 72;
    const size_t perLarge = TNodePool::LargeSlabBytes / stride;
    {
        TNodePool pool;
        // Enough records to need several full-size slabs after the small ones.
        std::vector<void*> records;
        for (size_t i = 0; i < 3 * perLarge; ++i)
            records.push_back(pool.Allocate(stride));
        // Every record is whole and writable, and full-size slabs start on their own boundary.
        size_t slabStarts = 0;
        for (void* r : records) {
            std::memset(r, 0x3C, stride);
            slabStarts += reinterpret_cast<uintptr_t>(r) % TNodePool::LargeSlabBytes == 0;
        }
        EXPECT_GE(slabStarts, 2u);
        EXPECT_GE(pool.SlabBytes(), 2 * TNodePool::LargeSlabBytes);
        const size_t before = TNodePool::ReservedSlabs();
        for (void* r : records)
            pool.Free(r);
        EXPECT_EQ(pool.SlabBytes(), 0u);
        EXPECT_GE(TNodePool::ReservedSlabs(), std::min(before + 2, TNodePool::ReservedSlabsMax));
    }
    // The next pool takes reserved slabs again; their records come out zeroed.
    TNodePool next;
    std::vector<void*> records;
    for (size_t i = 0; i < 2 * perLarge; ++i) {
        // Every one: records are zeroed ahead in blocks, and some straddle two blocks.
        void* r = next.Allocate(stride);
        ASSERT_TRUE(AllZero(r, stride)) << i;
        records.push_back(r);
    }
    EXPECT_LE(TNodePool::ReservedSlabs(), TNodePool::ReservedSlabsMax);
}

TEST(NodePool, RecordsWhoseCallerSetsTheHead) {
    // Records from reserved slabs hold old bytes; only the part past the head is cleared.
    {
        TNodePool dirty;
        std::vector<void*> records;
        for (int i = 0; i < 40000; ++i) {
            records.push_back(dirty.Allocate(80));
            std::memset(records.back(), 0x5A, 80);
        }
        for (void* r : records)
            dirty.Free(r);
    }
    TNodePool pool;
    std::vector<char*> heads;
    for (int i = 0; i < 30000; ++i) {
        auto* r = static_cast<char*>(pool.Allocate(80, 64));
        ASSERT_TRUE(AllZero(r + 64, 16)) << i;
        std::memset(r, 0x11, 64);
        heads.push_back(r);
    }
    // Fully zeroed records after those leave the handed-out ones alone.
    for (int i = 0; i < 2000; ++i) {
        void* r = pool.Allocate(80);
        ASSERT_TRUE(AllZero(r, 80)) << i;
    }
    for (char* r : heads)
        ASSERT_EQ(r[0], 0x11);
    // A given-back record comes again with its tail cleared.
    std::memset(heads[5], 0x22, 80);
    pool.Free(heads[5]);
    auto* again = static_cast<char*>(pool.Allocate(80, 64));
    EXPECT_EQ(again, heads[5]);
    EXPECT_TRUE(AllZero(again + 64, 16));
}
