#pragma once
// The processor time of the calling thread as a std::chrono clock: ratios of two timings taken
// in one run stay put while other programs load the machine.

#include <chrono>
#include <ctime>

namespace epc::bench {

struct ThreadCpuClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<ThreadCpuClock>;
    static constexpr bool is_steady = true;

    static time_point now() noexcept {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return time_point(duration(rep(ts.tv_sec) * 1000000000 + ts.tv_nsec));
    }
};

} // namespace epc::bench
