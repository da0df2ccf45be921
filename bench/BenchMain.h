#pragma once
// The body of main for benchmark programs whose cases use windows and forms: the caller makes
// the program's platform context first, so every case runs on it.

#include <benchmark/benchmark.h>

namespace epc::bench {

inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace epc::bench
