#include "components/tree/TreeUnit.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/windows/Clipboard.h"

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/CheckImages.h"

namespace epc {

void ShowError(const std::string& Msg, int HelpContext) {
    throw EVirtualTreeError(Msg, HelpContext);
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
    std::lock_guard<std::mutex> guard(reg.Lock);
    // Kept in priority order, smaller numbers first; equal priorities keep their order.
    auto at =
        std::upper_bound(reg.Entries.begin(), reg.Entries.end(), entry.Priority,
                         [](int p, const TClipboardFormatEntry& e) { return p < e.Priority; });
    reg.Entries.insert(at, std::move(entry));
}

const TClipboardFormatEntry* TClipboardFormatList::FindFormat(const std::string& description) {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    for (auto& e : reg.Entries)
        if (e.Description == description) return &e;
    return nullptr;
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

void TClipboardFormatList::Clear() {
    auto& reg = Registry();
    std::lock_guard<std::mutex> guard(reg.Lock);
    reg.Entries.clear();
}

// ---- Free helpers
// ----------------------------------------------------------------------------------

TBaseVirtualTree* TreeFromNode(PVirtualNode Node) {
    Assert(Node != nullptr, "Node must not be nil.");
    // The hidden root's sibling links point to itself; its parent link holds the tree.
    while (Node->NextSibling != Node)
        Node = Node->Parent;
    return reinterpret_cast<TBaseVirtualTree*>(Node->Parent);
}

TRect OrderRect(const TRect& R) {
    TRect result = R;
    if (result.Left > result.Right) std::swap(result.Left, result.Right);
    if (result.Top > result.Bottom) std::swap(result.Top, result.Bottom);
    return result;
}

void QuickSort(std::vector<intptr_t>& TheArray, int L, int R) {
    // Recurse into the smaller part only, so that the depth stays logarithmic.
    while (L < R) {
        int I = L, J = R;
        intptr_t P = TheArray[size_t(L + (R - L) / 2)];
        do {
            while (TheArray[size_t(I)] < P)
                ++I;
            while (TheArray[size_t(J)] > P)
                --J;
            if (I <= J) {
                std::swap(TheArray[size_t(I)], TheArray[size_t(J)]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (J - L < R - I) {
            if (L < J) QuickSort(TheArray, L, J);
            L = I;
        } else {
            if (I < R) QuickSort(TheArray, I, R);
            R = J;
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

void AlphaBlendLineConstant(const uint32_t* Source, uint32_t* Destination, int Count,
                            int ConstantAlpha, int Bias) {
    for (int i = 0; i < Count; ++i)
        Destination[i] = BlendPixel(Source[i], Destination[i], ConstantAlpha, Bias);
}

void AlphaBlendLinePerPixel(const uint32_t* Source, uint32_t* Destination, int Count, int Bias) {
    for (int i = 0; i < Count; ++i)
        Destination[i] = BlendPixel(Source[i], Destination[i], int(Source[i] >> 24), Bias);
}

void AlphaBlendLineMaster(const uint32_t* Source, uint32_t* Destination, int Count,
                          int ConstantAlpha, int Bias) {
    for (int i = 0; i < Count; ++i) {
        int alpha = (int(Source[i] >> 24) * ConstantAlpha) >> 8;
        Destination[i] = BlendPixel(Source[i], Destination[i], alpha, Bias);
    }
}

void AlphaBlendLineMasterAndColor(uint32_t* Destination, int Count, int ConstantAlpha,
                                  uint32_t Color) {
    for (int i = 0; i < Count; ++i)
        Destination[i] = BlendPixel(Color, Destination[i], ConstantAlpha, 0);
}

} // namespace epc
