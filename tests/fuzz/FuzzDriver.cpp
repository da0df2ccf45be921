// A small, deterministic mutation driver for fuzz targets written against the libFuzzer entry
// point. It runs every seed as it is, then a bounded number of mutated inputs made from them with
// a fixed random seed, so a sanitizer build can run it in CTest. Targets that want valid inputs
// to start from can define EpcFuzzSeeds.
//
// Limits make a slow or greedy input fail the run rather than pass slowly: each input has a time
// limit (--timeout=seconds; the run fails and saves the input), and under AddressSanitizer
// one allocation above 256 MB, or a resident size above 2.5 GB, aborts with the sanitizer's
// report (see __asan_default_options; ASAN_OPTIONS may still override them).

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
void EpcFuzzSeeds(std::vector<std::string>& seeds) __attribute__((weak));

// Read by AddressSanitizer before main; ignored in a build without it.
extern "C" const char* __asan_default_options() {
    // Our readers bound what they allocate by what the input can hold: small fuzz inputs never
    // need a quarter of a gigabyte at once.
    return "max_allocation_size_mb=256:allocator_may_return_null=0:hard_rss_limit_mb=2560";
}

namespace {

// The input being run, for the time limit's report (read by the signal handler only).
const uint8_t* volatile gCurrentData = nullptr;
volatile size_t gCurrentSize = 0;
volatile int gTimeoutSeconds = 0;

void WriteAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written <= 0) return;
        text += written;
        length -= size_t(written);
    }
}

void WriteText(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }

// Async-signal-safe: only write, open and _exit.
extern "C" void OnTimeout(int) {
    WriteText(2, "fuzz: an input ran longer than the time limit; saved as fuzz-timeout-input\n");
    int fd = open("fuzz-timeout-input", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        WriteAll(fd, reinterpret_cast<const char*>(gCurrentData), gCurrentSize);
        close(fd);
    }
    _exit(1);
}

void ArmTimer(int seconds) {
    itimerval timer{};
    timer.it_value.tv_sec = seconds;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RunOne(const std::string& input) {
    // Copy into an exactly sized buffer so the sanitizer sees reads past the end.
    std::vector<uint8_t> buffer(input.begin(), input.end());
    gCurrentData = buffer.data();
    gCurrentSize = buffer.size();
    if (gTimeoutSeconds > 0) ArmTimer(gTimeoutSeconds);
    LLVMFuzzerTestOneInput(buffer.empty() ? nullptr : buffer.data(), buffer.size());
    if (gTimeoutSeconds > 0) ArmTimer(0);
    gCurrentData = nullptr;
    gCurrentSize = 0;
}

std::string Mutate(const std::vector<std::string>& pool, std::mt19937_64& rng) {
    std::string s = pool[rng() % pool.size()];
    int steps = 1 + static_cast<int>(rng() % 4);
    static const uint8_t interesting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE, 0x20, 0x0D, 0x0A};
    for (int i = 0; i < steps; ++i) {
        size_t n = s.size();
        switch (rng() % 8) {
        case 0:  // flip a bit
            if (n) s[rng() % n] ^= static_cast<char>(1u << (rng() % 8));
            break;
        case 1:  // set an interesting byte
            if (n) s[rng() % n] = static_cast<char>(interesting[rng() % sizeof(interesting)]);
            break;
        case 2:  // truncate
            if (n) s.resize(rng() % n);
            break;
        case 3:  // insert random bytes
        {
            size_t at = n ? rng() % (n + 1) : 0;
            size_t len = 1 + rng() % 16;
            std::string ins(len, '\0');
            for (auto& c : ins) c = static_cast<char>(rng());
            s.insert(at, ins);
            break;
        }
        case 4:  // erase a range
            if (n) {
                size_t at = rng() % n;
                s.erase(at, 1 + rng() % std::min<size_t>(64, n - at));
            }
            break;
        case 5:  // duplicate a range
            if (n) {
                size_t at = rng() % n;
                size_t len = 1 + rng() % std::min<size_t>(256, n - at);
                s.insert(rng() % (n + 1), s.substr(at, len));
            }
            break;
        case 6:  // splice with another input
        {
            const std::string& other = pool[rng() % pool.size()];
            if (!other.empty()) {
                size_t cut = n ? rng() % n : 0;
                size_t from = rng() % other.size();
                s = s.substr(0, cut) + other.substr(from);
            }
            break;
        }
        default:  // overwrite a 32-bit value with a boundary number
            if (n >= 4) {
                static const uint32_t values[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                                  0xFFFF, 0x10000};
                uint32_t v = values[rng() % 7];
                std::memcpy(&s[rng() % (n - 3)], &v, 4);
            }
            break;
        }
    }
    if (s.size() > (1u << 20)) s.resize(1u << 20);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 10000;
    double maxSeconds = 60;
    int timeoutSeconds = 20;
    std::vector<std::string> pool;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--runs=", 0) == 0) {
            runs = std::atol(arg.c_str() + 7);
        } else if (arg.rfind("--max-seconds=", 0) == 0) {
            maxSeconds = std::atof(arg.c_str() + 14);
        } else if (arg.rfind("--timeout=", 0) == 0) {
            timeoutSeconds = std::atoi(arg.c_str() + 10);
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) pool.push_back(ReadFile(entry.path()));
        } else if (std::filesystem::is_regular_file(arg)) {
            pool.push_back(ReadFile(arg));
        }
    }
    gTimeoutSeconds = timeoutSeconds;
    struct sigaction action {};
    action.sa_handler = OnTimeout;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);

    if (EpcFuzzSeeds) EpcFuzzSeeds(pool);
    pool.push_back(std::string());

    for (const auto& seed : pool) RunOne(seed);

    std::mt19937_64 rng(0x5EED);
    auto start = std::chrono::steady_clock::now();
    long done = 0;
    for (; done < runs; ++done) {
        RunOne(Mutate(pool, rng));
        if ((done & 63) == 0) {
            std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
            if (spent.count() > maxSeconds) break;
        }
    }
    std::printf("fuzz: %zu seeds, %ld mutated runs, no failure\n", pool.size(), done);
    return 0;
}
