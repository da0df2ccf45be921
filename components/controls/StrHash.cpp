#include "components/controls/StrHash.h"

#include <array>

namespace epc {

namespace {

// Runs of codes whose values rise by one per code from the first code's value.
struct TRun {
    int First, Last, Value;
};

constexpr TRun kRuns[] = {
    {0, 0, 0},     {1, 31, 209},     {32, 32, -16},  {33, 33, 11},     {34, 34, -14},
    {35, 37, 243}, {38, 41, -10},    {42, 43, 250},  {44, 45, -4},     {46, 46, 12},
    {47, 47, -1},  {48, 48, 10},     {49, 90, 1},    {91, 94, 11},     {95, 95, 13},
    {96, 127, 16}, {128, 144, -176}, {145, 151, 97}, {152, 255, -152},
};

constexpr std::array<int32_t, 256> MakeTable() {
    std::array<int32_t, 256> t{};
    for (const TRun& run : kRuns)
        for (int c = run.First; c <= run.Last; ++c)
            t[size_t(c)] = run.Value + (c - run.First);
    return t;
}

constexpr std::array<int32_t, 256> kTable = MakeTable();

} // namespace

int32_t StrHash(std::string_view text) {
    uint32_t h = 0; // unsigned: the product wraps around at 32 bits
    for (char c : text)
        h = h * 43u + uint32_t(kTable[uint8_t(c)]);
    return int32_t(h);
}

} // namespace epc
