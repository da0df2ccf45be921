// Help map files made of arbitrary bytes (written to memory-backed files when possible): the input
// is split at its first NUL into a map file and a second file it may include (as may the second
// include the first, or either itself). Parsing must end, raise only its conversion error, and
// leave a map that looks up cleanly.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "components/controls/HelpContextMap.h"
#include "platform/core/Exceptions.h"
#include "platform/windows/Window.h"

using namespace epc;

namespace {

const std::filesystem::path& Folder() {
    static const std::filesystem::path dir = [] {
        auto shm = std::filesystem::path("/dev/shm");
        auto d =
            (std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path()) /
            ("epc_mapfile_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    // Holds its own copy of the name: it goes before or after dir, in either order.
    static const struct TCleanup {
        std::filesystem::path Dir;
        ~TCleanup() {
            std::error_code ec;
            std::filesystem::remove_all(Dir, ec);
        }
    } cleanup{dir};
    return dir;
}

void Write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

} // namespace

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    seeds.push_back(std::string("[MAP]\n#define IDH_A 10\nIDH_B=20\nIDH_C = $1F ; note\n"
                                "#include b.h\n[END]\n") +
                    '\0' + "IDH_D 0x10\n#include a.h\n#include b.h\nIDH_E -5 # x\n");
    seeds.push_back(std::string("[map]\r\n  IDH_X\t=\t7\r\n#include missing.h\r\nIDH_Y 9z\r\n") +
                    '\0' + "#include ../b.h\n");
    seeds.push_back(std::string("[MAP]\n#include  b.h \n") + '\0' +
                    "#define IDH_LONG 2147483647\nIDH_NEG -2147483648\nIDH_OVER 4294967296\n");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t nul = input.find('\0');
    std::string first = input.substr(0, nul);
    std::string second = nul == std::string::npos ? std::string() : input.substr(nul + 1);
    Write(Folder() / "a.h", first);
    Write(Folder() / "b.h", second);

    THelpContextMap map(nullptr);
    try {
        map.SetFileName((Folder() / "a.h").string());
    } catch (const EConvertError&) {
        if (map.Count() != 0) __builtin_trap(); // a failed parse stores nothing
    }
    if (map.Data().size() != size_t(map.Count()) * 8) __builtin_trap();
    map.LookupContext("IDH_A");
    map.LookupContext(first.substr(0, 16));
    ClearMessageBoxLog();
    return 0;
}
