// A target that breaks the fuzz driver's limits on purpose: the input "allocate" asks for a
// buffer by a declared size of 1.5 GB, the input "spin" never returns. CTest expects each run
// to end with the driver's or the sanitizer's report.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto is = [&](const char* word) {
        return size == std::strlen(word) && std::memcmp(data, word, size) == 0;
    };
    if (is("allocate")) {
        volatile size_t declared = size_t(1536) << 20;
        auto buffer = std::make_unique_for_overwrite<uint8_t[]>(declared);
        buffer[0] = data[0];
        return buffer[declared - 1];
    }
    if (is("spin")) {
        volatile bool forever = true;
        while (forever) {
        }
    }
    return 0;
}
