// Shared font instances: one per distinct request, kept in a bounded most-recently-used cache
// so repeated measuring of the same font never reopens a face.

#include "platform/text/FontEngine.h"

#include <algorithm>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text/FontInternals.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps a few blocks from parsing its configuration unreferenced until exit; they
// are not ours to free and are allocated once.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

namespace epc {

namespace {

struct TRequestHash {
    size_t operator()(const TFontRequest& r) const {
        size_t h = std::hash<std::u16string>()(r.FaceName);
        auto mix = [&h](uint64_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
        mix(static_cast<uint32_t>(r.Height));
        mix(static_cast<uint32_t>(r.Width));
        mix(static_cast<uint32_t>(r.Weight));
        mix((r.Italic ? 1u : 0u) | (r.Underline ? 2u : 0u) | (r.StrikeOut ? 4u : 0u) |
            (static_cast<uint32_t>(r.Charset) << 8) |
            (static_cast<uint32_t>(r.PitchAndFamily) << 16));
        return h;
    }
};

// Instances in use stay alive through their shared pointers even after eviction.
constexpr size_t kCacheCapacity = 128;

struct TFontCache {
    std::mutex Mutex;
    using TEntry = std::pair<TFontRequest, std::shared_ptr<TFontInstance>>;
    std::list<TEntry> Order;  // most recently used first
    std::unordered_map<TFontRequest, std::list<TEntry>::iterator, TRequestHash> Index;
};

} // namespace

// The text module's state: the font instances of one program run. Instances release FreeType
// faces, so the default state is never destroyed (the library's statics go first at exit).
struct TTextState {
    TFontCache FontCache;
};

TTextScope::TTextScope() = default;
TTextScope::~TTextScope() = default;

namespace {

TFontCache& Cache() {
    return TBoundState<TTextState>::Current().FontCache;
}

std::shared_ptr<TFontInstance> CreateFont(const TFontRequest& request) {
    using namespace fontengine;
    if (IsBuiltInName(request.FaceName)) return CreateBuiltInFont(request);
    TFaceLocation location;
    bool found;
    {
        std::lock_guard lock(LibraryMutex());
        found = LocateFace(request, location);
    }
    if (found) {
        if (auto font = CreateFreeTypeFont(request, location)) return font;
    }
    // No usable installed face: the built-in one still measures and draws.
    return CreateBuiltInFont(request);
}

}  // namespace

std::shared_ptr<TFontInstance> AcquireFont(const TFontRequest& request) {
    TFontCache& cache = Cache();
    std::vector<std::shared_ptr<TFontInstance>> evicted;  // released after the lock
    std::lock_guard<std::mutex> lock(cache.Mutex);
    auto it = cache.Index.find(request);
    if (it != cache.Index.end()) {
        cache.Order.splice(cache.Order.begin(), cache.Order, it->second);
        return it->second->second;
    }
    auto font = CreateFont(request);
    cache.Order.emplace_front(request, font);
    cache.Index[request] = cache.Order.begin();
    while (cache.Order.size() > kCacheCapacity) {
        evicted.push_back(std::move(cache.Order.back().second));
        cache.Index.erase(cache.Order.back().first);
        cache.Order.pop_back();
    }
    return font;
}

void TFontInstance::ShapeRun(const char16_t* text, int32_t, int32_t start, int32_t end,
                             bool rightToLeft, std::vector<TShapedGlyph>& out) {
    const size_t first = out.size();
    int32_t pen = 0;
    for (int32_t i = start; i < end;) {
        TShapedGlyph g;
        g.Cluster = i;
        UChar32 c;
        U16_NEXT(text, i, end, c);
        g.Index = rightToLeft ? char32_t(u_charMirror(c)) : char32_t(c);
        g.X = pen;
        g.Advance = Advance(g.Index);
        pen += g.Advance;
        out.push_back(g);
    }
    if (!rightToLeft) return;
    // Right to left: the first character goes rightmost.
    for (size_t i = first; i < out.size(); ++i)
        out[i].X = pen - out[i].X - out[i].Advance;
    std::reverse(out.begin() + std::ptrdiff_t(first), out.end());
}

const TGlyphBitmap& TFontInstance::ShapedGlyph(int32_t, uint32_t index) {
    return Glyph(char32_t(index));
}

std::u16string ResolveFontFamily(const std::u16string& faceName) {
    using namespace fontengine;
    if (IsBuiltInName(faceName)) return kBuiltInFixedFontName;
    TFontRequest request;
    request.FaceName = faceName;
    TFaceLocation location;
    std::lock_guard lock(LibraryMutex());
    if (!LocateFace(request, location)) return kBuiltInFixedFontName;
    return location.Family;
}

}  // namespace epc
