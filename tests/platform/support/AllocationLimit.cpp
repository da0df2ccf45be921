// The replaceable allocation functions of the test programs that link this file, with a ceiling
// tests can set. Every form of new and delete is replaced together so each pair meets malloc
// and free.

#include "tests/platform/support/AllocationLimit.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> gLimit{SIZE_MAX};

void* Allocate(size_t size) {
    if (size > gLimit.load(std::memory_order_relaxed)) throw std::bad_alloc();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace epc::testing {

TAllocationLimit::TAllocationLimit(size_t maxBytes) : FPrevious(gLimit.exchange(maxBytes)) {}
TAllocationLimit::~TAllocationLimit() { gLimit.store(FPrevious); }

}  // namespace epc::testing

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
