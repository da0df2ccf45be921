#include "components/controls/HelpContextMap.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "components/controls/StrHash.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"
#include "platform/windows/Window.h"

namespace epc {

namespace {

bool StartsWithText(const std::string& s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           SameText(std::string_view(s).substr(0, prefix.size()), prefix);
}

// The class library's integer conversion: an optional sign, then decimal digits or "$", "0x"
// or "x" and hexadecimal digits, within 32 bits.
bool TryStrToInt(const std::string& s, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    }
    if (i >= s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * base + d;
        // Hexadecimal covers the full 32 bits (as the library reads "$FFFFFFFF" as -1).
        if (v > (base == 16 ? int64_t(0xFFFFFFFF) : int64_t(0x80000000))) return false;
    }
    if (negative) v = -v;
    if (base == 10 && (v > INT32_MAX || v < INT32_MIN)) return false;
    value = int32_t(uint32_t(uint64_t(v)));
    return true;
}

std::string CanonicalName(const std::string& fileName) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::path(fileName), ec);
    return ec ? fileName : p.string();
}

} // namespace

void THelpContextMap::ParseMapFile(const std::string& fileName, bool isInclude,
                                   TContextPairs& pairs) {
    std::string key = CanonicalName(fileName);
    if (std::find(FParsing.begin(), FParsing.end(), key) != FParsing.end()) return;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return;
    FParsing.push_back(key);
    auto popParsing = Finally([this] { FParsing.pop_back(); });

    std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
    bool inMap = isInclude;
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string line = Trim(raw);
        if (!isInclude && !inMap) {
            if (StartsWithText(line, "[MAP]")) inMap = true;
            continue;
        }
        if (line.empty()) continue;
        if (line[0] == '[') break;
        if (StartsWithText(line, "#include")) {
            std::string name = Trim(std::string_view(line).substr(8));
            std::filesystem::path include(name);
            if (include.is_relative()) include = folder / include;
            std::error_code ec;
            if (name.empty() || !std::filesystem::is_regular_file(include, ec)) {
                std::string text = "Include file \"" + name + "\" not found!";
                MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR);
            } else {
                ParseMapFile(include.string(), true, pairs);
            }
            continue;
        }
        size_t pos = 0;
        if (StartsWithText(line, "#define")) pos = 8; // the word and the character after it
        std::string name, value;
        bool inValue = false, equalsSeen = false;
        for (; pos < line.size(); ++pos) {
            char c = line[pos];
            if (c == '#' || c == ';') break;
            bool blank = c == ' ' || c == '\t';
            if (!inValue) {
                if (blank || c == '=') {
                    if (name.empty()) {
                        if (blank) continue;
                    } else {
                        inValue = true;
                        equalsSeen = c == '=';
                        continue;
                    }
                }
                name += c;
            } else {
                if (blank) continue;
                // One "=" may stand between the name and the value, with blanks around it.
                if (c == '=' && value.empty() && !equalsSeen) {
                    equalsSeen = true;
                    continue;
                }
                value += c;
            }
        }
        if (name.empty() || value.empty()) continue;
        int32_t context = 0;
        if (!TryStrToInt(value, context))
            throw EConvertError("'" + value + "' is not a valid integer value (" + fileName +
                                ", line " + std::to_string(lineNumber) + ")");
        int32_t hash = StrHash(name);
        if (hash != 0) pairs.emplace_back(hash, context);
    }
}

void THelpContextMap::StorePairs(TContextPairs& pairs) {
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    FData.clear();
    FData.reserve(pairs.size() * 8);
    for (const auto& p : pairs) {
        FData.append(reinterpret_cast<const char*>(&p.first), 4);
        FData.append(reinterpret_cast<const char*>(&p.second), 4);
    }
}

void THelpContextMap::SetFileName(const TFileName& value) {
    if (!Loading() && !ComponentState().Contains(TComponentStateItem::csReading)) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(value, ec))
            throw Exception("File " + value + " not found.");
        TContextPairs pairs;
        FParsing.clear();
        ParseMapFile(value, false, pairs); // a failure leaves the stored map untouched
        StorePairs(pairs);
        if (ComponentState().Contains(TComponentStateItem::csDesigning)) {
            std::string text =
                "Help context list updated. " + std::to_string(pairs.size()) + " items stored.";
            MessageBoxA(nullptr, text.c_str(), "Information", MB_OK | MB_ICONINFORMATION);
        }
    }
    FFileName = value;
}

int32_t THelpContextMap::LookupContext(const std::string& name) const {
    int32_t hash = StrHash(name);
    if (hash == 0 || FData.empty()) return 0;
    const char* data = FData.data();
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int32_t h, context;
        std::memcpy(&h, data + size_t(mid) * 8, 4);
        if (h == hash) {
            std::memcpy(&context, data + size_t(mid) * 8 + 4, 4);
            return context;
        }
        if (h < hash)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return 0;
}

void THelpContextMap::ReadFileData(TStream& stream) {
    std::string bytes = ReadStreamRest(stream);
    TContextPairs pairs;
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        int32_t h, c;
        std::memcpy(&h, bytes.data() + i, 4);
        std::memcpy(&c, bytes.data() + i + 4, 4);
        pairs.emplace_back(h, c);
    }
    // Sorted again: the lookup relies on the order whatever the stream held.
    StorePairs(pairs);
}

void THelpContextMap::WriteFileData(TStream& stream) {
    if (!FData.empty()) stream.Write(FData.data(), int64_t(FData.size()));
}

void THelpContextMap::DefineProperties(TFiler* filer) {
    TComponent::DefineProperties(filer);
    filer->DefineBinaryProperty(
        "FileData", [this](TStream& s) { ReadFileData(s); },
        [this](TStream& s) { WriteFileData(s); }, !FData.empty());
}

} // namespace epc

namespace epc {
namespace {
const bool HelpContextMapRegistered = [] {
    TPublished<THelpContextMap>("THelpContextMap", "TComponent")
        .String("FileName", &THelpContextMap::FileName, &THelpContextMap::SetFileName);
    RegisterClass<THelpContextMap>("THelpContextMap");
    return true;
}();
} // namespace
} // namespace epc
