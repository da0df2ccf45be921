// Face lookup through fontconfig, with our own substitutions for the faces documents and
// dialogs name most, so their metrics hold even where fontconfig's aliases are missing.

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/core/Strings.h"
#include "platform/text/FontInternals.h"

namespace epc::fontengine {

namespace {

constexpr uint8_t FF_ROMAN = 0x10;
constexpr uint8_t FF_SWISS = 0x20;
constexpr uint8_t FF_MODERN = 0x30;
constexpr uint8_t FIXED_PITCH = 1;

struct TSubstitution {
    const char* Name;  // lower case
    const char* Family;
    uint8_t Kind;
};

// Metric-compatible faces first; the dialog faces take Arial's widths, the closest installed
// match of their proportions; symbol faces take the face with the widest symbol coverage.
const TSubstitution kSubstitutions[] = {
    {"arial", "Liberation Sans", FF_SWISS},
    {"helvetica", "Liberation Sans", FF_SWISS},
    {"arial unicode ms", "Liberation Sans", FF_SWISS},
    {"ms sans serif", "Liberation Sans", FF_SWISS},
    {"microsoft sans serif", "Liberation Sans", FF_SWISS},
    {"ms shell dlg", "Liberation Sans", FF_SWISS},
    {"ms shell dlg 2", "Liberation Sans", FF_SWISS},
    {"tahoma", "Liberation Sans", FF_SWISS},
    {"segoe ui", "Liberation Sans", FF_SWISS},
    {"system", "Liberation Sans", FF_SWISS},
    {"small fonts", "Liberation Sans", FF_SWISS},
    {"lucida sans unicode", "Liberation Sans", FF_SWISS},
    {"calibri", "Liberation Sans", FF_SWISS},
    {"verdana", "DejaVu Sans", FF_SWISS},
    {"times new roman", "Liberation Serif", FF_ROMAN},
    {"times", "Liberation Serif", FF_ROMAN},
    {"ms serif", "Liberation Serif", FF_ROMAN},
    {"georgia", "Liberation Serif", FF_ROMAN},
    {"cambria", "Liberation Serif", FF_ROMAN},
    {"courier new", "Liberation Mono", FF_MODERN},
    {"courier", "Liberation Mono", FF_MODERN},
    {"lucida console", "Liberation Mono", FF_MODERN},
    {"consolas", "Liberation Mono", FF_MODERN},
    {"fixedsys", "Liberation Mono", FF_MODERN},
    {"terminal", "Liberation Mono", FF_MODERN},
    {"symbol", "DejaVu Sans", FF_SWISS},
    {"wingdings", "DejaVu Sans", FF_SWISS},
    {"webdings", "DejaVu Sans", FF_SWISS},
    {"marlett", "DejaVu Sans", FF_SWISS},
};

FcConfig* Config() {
    static FcConfig* config = [] {
        FcInit();
        return FcConfigGetCurrent();
    }();
    return config;
}

std::string Lower(const std::string& s) {
    std::string r = s;
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// Whether fontconfig has a face of exactly this family (not an alias or a default).
bool HasFamily(const std::string& family) {
    if (family.empty()) return false;
    static std::map<std::string, bool> known;  // under LibraryMutex
    std::string key = Lower(family);
    auto it = known.find(key);
    if (it != known.end()) return it->second;
    bool found = false;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(Config(), pattern, objects);
    if (set) {
        found = set->nfont > 0;
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    known.emplace(key, found);
    return found;
}

uint8_t KindOfGeneric(const char* generic) {
    if (std::strcmp(generic, "serif") == 0) return FF_ROMAN;
    if (std::strcmp(generic, "monospace") == 0) return FF_MODERN;
    return FF_SWISS;
}

const char* GenericFor(uint8_t pitchAndFamily) {
    uint8_t family = pitchAndFamily & 0xF0;
    if ((pitchAndFamily & 0x03) == FIXED_PITCH || family == FF_MODERN) return "monospace";
    if (family == FF_ROMAN) return "serif";
    return "sans-serif";
}

int FcWeightFor(int32_t weight) {
    if (weight <= 0) weight = 400;
    if (weight > 1000) weight = 1000;
    return FcWeightFromOpenType(weight);
}

}  // namespace

std::mutex& LibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

bool IsBuiltInName(const std::u16string& faceName) {
    return WideLowerCase(faceName) == WideLowerCase(kBuiltInFixedFontName);
}

char32_t SymbolToUnicode(char32_t ch) {
    // Codes 0x20..0x7F, then 0xA0..0xFF; 0 keeps the code as it is.
    static const char16_t kLow[96] = {
        0, 0, 0x2200, 0, 0x2203, 0, 0, 0x220B, 0, 0, 0x2217, 0, 0, 0x2212, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
        0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
        0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
        0x039E, 0x03A8, 0x0396, 0, 0x2234, 0, 0x22A5, 0,
        0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
        0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
        0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
        0x03BE, 0x03C8, 0x03B6, 0, 0, 0, 0x223C, 0};
    static const char16_t kHigh[96] = {
        0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
        0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
        0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
        0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
        0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
        0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
        0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
        0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
        0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
        0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
        0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
        0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0};
    char32_t code = ch >= 0xF020 && ch <= 0xF0FF ? ch - 0xF000 : ch;
    if (code >= 0x20 && code < 0x80) {
        char16_t u = kLow[code - 0x20];
        return u ? u : code;
    }
    if (code >= 0xA0 && code <= 0xFF) {
        char16_t u = kHigh[code - 0xA0];
        return u ? u : code;
    }
    return ch;
}

std::string ChooseFamily(const std::u16string& faceName, uint8_t pitchAndFamily,
                         uint8_t* familyKind) {
    std::string name = Trim(Utf16ToUtf8(faceName));
    std::string lower = Lower(name);
    uint8_t kind = 0;
    std::string family;
    if (HasFamily(name)) {
        family = name;
    } else {
        for (const auto& s : kSubstitutions) {
            if (lower == s.Name && HasFamily(s.Family)) {
                family = s.Family;
                kind = s.Kind;
                break;
            }
        }
    }
    if (family.empty()) {
        const char* generic = GenericFor(pitchAndFamily);
        family = generic;
        kind = KindOfGeneric(generic);
    }
    if (familyKind) *familyKind = kind;
    return family;
}

bool LocateFace(const TFontRequest& request, TFaceLocation& location) {
    uint8_t kind = 0;
    std::string family = ChooseFamily(request.FaceName, request.PitchAndFamily, &kind);

    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFor(request.Weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(Config(), pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(Config(), pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;

    bool ok = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        location.File = reinterpret_cast<const char*>(file);
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        location.Index = index;
        // A face can carry several family names; report the one asked for when it is there.
        FcChar8* fam = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
            if (!fam) continue;
            std::string name = reinterpret_cast<const char*>(fam);
            if (i == 0 || Lower(name) == Lower(family)) location.Family = Utf8ToUtf16(name);
        }
        int spacing = FC_PROPORTIONAL;
        if (FcPatternGetInteger(match, FC_SPACING, 0, &spacing) == FcResultMatch &&
            spacing >= FC_MONO && kind == 0)
            kind = FF_MODERN;
        location.FamilyKind = kind;
        location.SymbolEncoding =
            Lower(Trim(Utf16ToUtf8(request.FaceName))) == "symbol" && Lower(family) != "symbol";
        ok = true;
    }
    FcPatternDestroy(match);
    return ok;
}

void FindFallbacks(const TFontRequest& request, const std::string& primaryFile,
                   std::vector<TFallbackCandidate>& out) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFor(request.Weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(Config(), pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(Config(), pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!set) return;
    constexpr size_t kMaxFallbacks = 8;
    for (int i = 0; i < set->nfont && out.size() < kMaxFallbacks; ++i) {
        FcChar8* file = nullptr;
        FcCharSet* charset = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file)
            continue;
        if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &charset) != FcResultMatch ||
            !charset)
            continue;
        std::string path = reinterpret_cast<const char*>(file);
        if (path == primaryFile) continue;
        TFallbackCandidate c;
        c.File = path;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &c.Index);
        c.CharSet = FcCharSetCopy(charset);
        out.push_back(std::move(c));
    }
    FcFontSetDestroy(set);
}

bool FallbackCovers(const TFallbackCandidate& candidate, char32_t ch) {
    return candidate.CharSet &&
           FcCharSetHasChar(static_cast<const FcCharSet*>(candidate.CharSet), ch);
}

void ReleaseFallbacks(std::vector<TFallbackCandidate>& list) {
    for (auto& c : list)
        if (c.CharSet) FcCharSetDestroy(static_cast<FcCharSet*>(c.CharSet));
    list.clear();
}

std::shared_ptr<const std::string> FontFileData(const std::string& path) {
    static std::map<std::string, std::shared_ptr<const std::string>> files;  // LibraryMutex
    auto it = files.find(path);
    if (it != files.end()) return it->second;
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    auto data = std::make_shared<const std::string>(std::istreambuf_iterator<char>(in),
                                                    std::istreambuf_iterator<char>());
    if (data->empty()) return nullptr;
    files.emplace(path, data);
    return data;
}

bool IsBlankCodePoint(char32_t ch) {
    if (ch <= 0x20 || (ch >= 0x7F && ch <= 0xA0)) return true;
    switch (ch) {
    case 0xAD: case 0x1680: case 0x180E: case 0x2028: case 0x2029: case 0x202F:
    case 0x205F: case 0x2060: case 0x3000: case 0xFEFF:
        return true;
    default:
        return ch >= 0x2000 && ch <= 0x200F;
    }
}

}  // namespace epc::fontengine
