#include "components/tree/TreeUnit.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/core/Strings.h"
#include "platform/windows/Clipboard.h"

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"

namespace epc {

void ShowError(const std::string& msg, int helpContext) {
    throw EVirtualTreeError(msg, helpContext);
}

// ---- Unit set-up -------------------------------------------------------------------------------

namespace {

// gUnit changes only under gUnitLock; gUnitReady lets callers skip the lock once it is made.
TTreeUnitState gUnit;
std::mutex gUnitLock;
std::atomic<bool> gUnitReady{false};

struct TFormatRegistry {
    std::mutex Lock;
    std::vector<TClipboardFormatEntry> Entries;
};

TFormatRegistry& Registry() {
    static TFormatRegistry registry;
    return registry;
}

// Releases the unit's resources when the process ends.
struct TUnitFinalizer {
    ~TUnitFinalizer() { FinalizeTreeUnit(); }
};

} // namespace

const TTreeUnitState& TreeUnitState() {
    return gUnit;
}

void InitializeTreeUnit() {
    if (gUnitReady.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(gUnitLock);
    if (gUnit.Initialized) return;
    gUnit.Initialized = true;
    gUnit.CF_VTREFERENCE = RegisterTreeClipboardFormat("Virtual Tree Reference");
    gUnit.CF_VIRTUALTREE = RegisterTreeClipboardFormat("Virtual Tree Data");
    gUnit.CF_HTML = RegisterTreeClipboardFormat("HTML Format");
    gUnit.CF_VRTFNOOBJS = RegisterTreeClipboardFormat("Rich Text Format Without Objects");
    gUnit.CF_VRTF = RegisterTreeClipboardFormat("Rich Text Format");
    gUnit.CF_CSV = RegisterTreeClipboardFormat("CSV");
    if (!TClipboardFormatList::FindFormat("Virtual Tree Data"))
        TClipboardFormatList::Add<TBaseVirtualTree>("Virtual Tree Data", gUnit.CF_VIRTUALTREE, 50,
                                                    "TBaseVirtualTree");
    // Check-image strips, the utilities strip and the cursors, drawn in code.
    CreateTreeImages();
    // Made last, so that it is destroyed before the graphics layer the images live in.
    static TUnitFinalizer finalizer;
    gUnitReady.store(true, std::memory_order_release);
}

void FinalizeTreeUnit() {
    std::lock_guard<std::mutex> lock(gUnitLock);
    if (!gUnit.Initialized) return;
    gUnitReady = false;
    FreeTreeImages();
    gUnit = TTreeUnitState();
}

// ---- Clipboard-format registry
// ---------------------------------------------------------------------

uint32_t RegisterTreeClipboardFormat(const std::string& name) {
    return RegisterClipboardFormatA(name.c_str());
}

void TClipboardFormatList::AddEntry(TClipboardFormatEntry entry) {
    auto& reg = Registry();
    if (entry.FormatEtc.cfFormat == 0) entry.FormatEtc.cfFormat = CLIPFORMAT(entry.Format);
    std::lock_guard<std::mutex> guard(reg.Lock);
    // Kept in priority order, smaller numbers first; equal priorities keep their order.
    auto at =
        std::upper_bound(reg.Entries.begin(), reg.Entries.end(), entry.Priority,
                         [](int p, const TClipboardFormatEntry& e) { return p < e.Priority; });
    reg.Entries.insert(at, std::move(entry));
}

std::string TClipboardFormatList::StandardFormatName(uint32_t format) {
    static const char* const names[] = {"Plain text",
                                        "Windows bitmap",
                                        "Windows metafile",
                                        "Symbolic link",
                                        "Data interchange format",
                                        "Tiff image",
                                        "OEM text",
                                        "DIB image",
                                        "Palette data",
                                        "Pen data",
                                        "Riff audio data",
                                        "Wav audio data",
                                        "Unicode text",
                                        "Enhanced metafile image",
                                        "File name(s)",
                                        "Locale descriptor"};
    if (format >= 1 && format <= 16) return names[format - 1];
    std::string name(2048, '\0');
    const int length = GetClipboardFormatNameA(format, name.data(), int(name.size()));
    name.resize(size_t(std::max(0, length)));
    return name;
}

const TClipboardFormatEntry* TClipboardFormatList::FindFormat(const std::string& description) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    for (auto e = reg.Entries.rbegin(); e != reg.Entries.rend(); ++e)
        if (SameText(e->Description, description)) return &*e;
    return nullptr;
}

const TClipboardFormatEntry* TClipboardFormatList::FindFormatFor(const std::string& description,
                                                                 const TBaseVirtualTree* tree) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    for (auto& e : reg.Entries)
        if (e.Description == description && e.AppliesTo && e.AppliesTo(tree)) return &e;
    return nullptr;
}

bool TClipboardFormatList::HasFormatFor(const std::string& description,
                                        const std::string& treeClassName) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    for (auto& e : reg.Entries)
        if (e.Description == description && e.TreeClassName == treeClassName) return true;
    return false;
}

const TClipboardFormatEntry* TClipboardFormatList::FindFormat(uint32_t format) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    for (auto& e : reg.Entries)
        if (e.Format == format) return &e;
    return nullptr;
}

std::vector<std::string> TClipboardFormatList::EnumerateFormats(const TBaseVirtualTree* tree) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    std::vector<std::string> names;
    for (auto& e : reg.Entries)
        if (e.AppliesTo && e.AppliesTo(tree)) names.push_back(e.Description);
    return names;
}

std::vector<FORMATETC>
TClipboardFormatList::EnumerateFormatEtcs(const TBaseVirtualTree* tree,
                                          const std::vector<std::string>* allowed) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    std::vector<FORMATETC> formats;
    for (auto& e : reg.Entries) {
        if (!e.AppliesTo || !e.AppliesTo(tree)) continue;
        if (allowed && std::find(allowed->begin(), allowed->end(), e.Description) == allowed->end())
            continue;
        formats.push_back(e.FormatEtc);
    }
    return formats;
}

void TClipboardFormatList::Clear() {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    reg.Entries.clear();
}

// ---- Free helpers
// ----------------------------------------------------------------------------------

TBaseVirtualTree* TreeFromNode(PVirtualNode node) {
    Assert(node != nullptr, "Node must not be nil.");
    // The hidden root's sibling links point to itself; its parent link holds the tree.
    while (node->NextSibling != node)
        node = node->Parent;
    return reinterpret_cast<TBaseVirtualTree*>(node->Parent);
}

TRect OrderRect(const TRect& r) {
    TRect result = r;
    if (result.Left > result.Right) std::swap(result.Left, result.Right);
    if (result.Top > result.Bottom) std::swap(result.Top, result.Bottom);
    return result;
}

void QuickSort(std::vector<intptr_t>& theArray, int l, int r) {
    // Recurse into the smaller part only, so that the depth stays logarithmic.
    while (l < r) {
        int i = l, j = r;
        intptr_t p = theArray[size_t(l + (r - l) / 2)];
        do {
            while (theArray[size_t(i)] < p)
                ++i;
            while (theArray[size_t(j)] > p)
                --j;
            if (i <= j) {
                std::swap(theArray[size_t(i)], theArray[size_t(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - l < r - i) {
            if (l < j) QuickSort(theArray, l, j);
            l = i;
        } else {
            if (i < r) QuickSort(theArray, i, r);
            r = j;
        }
    }
}

// ---- Alpha blending ----------------------------------------------------------------------------

namespace {

inline int Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

inline uint32_t BlendPixel(uint32_t s, uint32_t t, int alpha, int bias) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int sc = int((s >> shift) & 0xFF);
        int tc = int((t >> shift) & 0xFF);
        // Arithmetic shift: the product may be negative.
        int v = tc + (((sc - tc) * alpha) >> 8) + bias;
        result |= uint32_t(Clamp255(v)) << shift;
    }
    return result;
}

} // namespace

void AlphaBlendLineConstant(const uint32_t* source, uint32_t* destination, int count,
                            int constantAlpha, int bias) {
    for (int i = 0; i < count; ++i)
        destination[i] = BlendPixel(source[i], destination[i], constantAlpha, bias);
}

void AlphaBlendLinePerPixel(const uint32_t* source, uint32_t* destination, int count, int bias) {
    for (int i = 0; i < count; ++i)
        destination[i] = BlendPixel(source[i], destination[i], int(source[i] >> 24), bias);
}

void AlphaBlendLineMaster(const uint32_t* source, uint32_t* destination, int count,
                          int constantAlpha, int bias) {
    for (int i = 0; i < count; ++i) {
        int alpha = (int(source[i] >> 24) * constantAlpha) >> 8;
        destination[i] = BlendPixel(source[i], destination[i], alpha, bias);
    }
}

void AlphaBlendLineMasterAndColor(uint32_t* destination, int count, int constantAlpha,
                                  uint32_t color) {
    for (int i = 0; i < count; ++i)
        destination[i] = BlendPixel(color, destination[i], constantAlpha, 0);
}

} // namespace epc
