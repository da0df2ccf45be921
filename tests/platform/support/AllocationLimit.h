#pragma once
// A ceiling on single allocations through operator new, for tests that a reader never
// allocates by a size the input merely declares: above the ceiling, new raises std::bad_alloc
// instead of reserving the memory.

#include <cstddef>

namespace epc::testing {

class TAllocationLimit {
public:
    explicit TAllocationLimit(size_t maxBytes);
    ~TAllocationLimit();
    TAllocationLimit(const TAllocationLimit&) = delete;
    TAllocationLimit& operator=(const TAllocationLimit&) = delete;

private:
    size_t FPrevious;
};

}  // namespace epc::testing
