#pragma once
// Watches the largest single allocation while a scope lives, so that a test can show a reader
// never sized memory by a number the input declares. Works in sanitizer builds, which call back
// on every allocation; elsewhere Available is false and Bytes() stays 0.

#include <atomic>
#include <cstddef>

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*))
    __attribute__((weak));

namespace epc::doctest {

class LargestAllocation {
public:
    LargestAllocation() {
        static const bool installed = __sanitizer_install_malloc_and_free_hooks &&
                                      __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
        Available = installed;
        FLargest = 0;
        FWatching = true;
    }
    LargestAllocation(const LargestAllocation&) = delete;
    LargestAllocation& operator=(const LargestAllocation&) = delete;
    ~LargestAllocation() { FWatching = false; }
    size_t Bytes() const { return FLargest; }
    bool Available = false;

private:
    static void OnMalloc(const volatile void*, size_t size) {
        if (!FWatching) return;
        size_t seen = FLargest;
        while (size > seen && !FLargest.compare_exchange_weak(seen, size)) {
        }
    }
    static void OnFree(const volatile void*) {}
    static inline std::atomic<bool> FWatching{false};
    static inline std::atomic<size_t> FLargest{0};
};

} // namespace epc::doctest
