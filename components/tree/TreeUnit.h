#pragma once
// Process-wide resources every tree shares (made by InitializeTreeUnit, released at exit), the
// tree's error class, and the unit's free helpers: node-to-tree lookup, rectangle ordering, an
// integer quicksort, wide-text drawing and shortening, alpha blending of 32-bit pixels and two
// growing text buffers.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/tree/VirtualTreeTypes.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Geometry.h"
#include "platform/gdi/Gdi.h"
#include "platform/windows/DataTransfer.h"

namespace epc {

class EVirtualTreeError : public Exception {
public:
    using Exception::Exception;
};

// Help context of the errors the tree raises itself.
constexpr int hcTFEditLinkIsNil = 2000;
constexpr int hcTFWrongMoveError = 2001;
constexpr int hcTFWrongStreamFormat = 2002;
constexpr int hcTFWrongStreamVersion = 2003;
constexpr int hcTFStreamTooSmall = 2004;
constexpr int hcTFCorruptStream1 = 2005;
constexpr int hcTFCorruptStream2 = 2006;
constexpr int hcTFClipboardFailed = 2007;
constexpr int hcTFCannotSetUserData = 2008;

[[noreturn]] void ShowError(const std::string& msg, int helpContext);

// ---- Unit set-up -----------------------------------------------------------------------------

struct TTreeUnitState {
    bool Initialized = false;
    uint32_t CF_VIRTUALTREE = 0;
    uint32_t CF_VTREFERENCE = 0;
    uint32_t CF_VRTF = 0;
    uint32_t CF_VRTFNOOBJS = 0;
    uint32_t CF_HTML = 0;
    uint32_t CF_CSV = 0;
};
const TTreeUnitState& TreeUnitState();

// Runs once (safe to call from any thread); every tree constructor calls it. Resources are
// released at process exit.
void InitializeTreeUnit();
// Releases what InitializeTreeUnit made (also run automatically at exit).
void FinalizeTreeUnit();

// Screen cursor id of the header's split cursor.
constexpr int crHeaderSplit = 100;

// ---- Clipboard-format registry ---------------------------------------------------------------

// The clipboard's id for a format name (the same name gets the same id).
uint32_t RegisterTreeClipboardFormat(const std::string& name);

struct TClipboardFormatEntry {
    std::string Description;
    uint32_t Format = 0;
    int Priority = 0;
    std::string TreeClassName;
    // True for trees of the class the format was registered for, or of a class derived from it.
    std::function<bool(const TBaseVirtualTree*)> AppliesTo;
    // How the format is offered; its clipboard format is Format.
    FORMATETC FormatEtc;
};

class TClipboardFormatList {
public:
    // Registers a format description for trees of class T (and classes derived from it).
    template <typename T>
    static void Add(const std::string& description, uint32_t format, int priority,
                    const std::string& treeClassName) {
        AddEntry(
            {description, format, priority, treeClassName,
             [](const TBaseVirtualTree* tree) { return dynamic_cast<const T*>(tree) != nullptr; },
             FORMATETC{}});
    }
    static void AddEntry(TClipboardFormatEntry entry);
    // Registers the name with the clipboard and offers it, as described, for trees of class T;
    // returns the clipboard's id for it.
    template <typename T>
    static uint32_t Register(const std::string& description, int priority,
                             const std::string& treeClassName, LONG index = -1,
                             DWORD aspect = DVASPECT_CONTENT, void* targetDevice = nullptr,
                             DWORD medium = TYMED_HGLOBAL) {
        const uint32_t format = RegisterTreeClipboardFormat(description);
        TClipboardFormatEntry entry{
            description,
            format,
            priority,
            treeClassName,
            [](const TBaseVirtualTree* tree) { return dynamic_cast<const T*>(tree) != nullptr; },
            FORMATETC{CLIPFORMAT(format), targetDevice, aspect, index, medium}};
        AddEntry(std::move(entry));
        return format;
    }
    // The formats the string tree class T offers; its unit calls this once at start-up.
    template <typename T>
    static void AddStringTreeFormats(const TTreeUnitState& unit, const std::string& className) {
        if (HasFormatFor("CSV", className)) return;
        Add<T>("HTML Format", unit.CF_HTML, 80, className);
        Add<T>("Rich Text Format Without Objects", unit.CF_VRTFNOOBJS, 84, className);
        Add<T>("Rich Text Format", unit.CF_VRTF, 85, className);
        Add<T>("CSV", unit.CF_CSV, 90, className);
        AddStandard<T>(13, 95, className); // CF_UNICODETEXT
        AddStandard<T>(1, 100, className); // CF_TEXT
    }
    // Registers a standard clipboard format by its id, under its standard name.
    template <typename T>
    static uint32_t AddStandard(uint32_t format, int priority, const std::string& treeClassName) {
        Add<T>(StandardFormatName(format), format, priority, treeClassName);
        return format;
    }
    // "Plain text" to "Locale descriptor" for the ids 1 to 16; other ids by the clipboard's
    // name for them.
    static std::string StandardFormatName(uint32_t format);
    // The last entry registered under the description, in any letter case, or nil.
    static const TClipboardFormatEntry* FindFormat(const std::string& description);
    // The entry of that description registered for the tree's class (several classes may
    // register the same names), or nil.
    static const TClipboardFormatEntry* FindFormatFor(const std::string& description,
                                                      const TBaseVirtualTree* tree);
    // Whether a format of that description is registered for the named tree class.
    static bool HasFormatFor(const std::string& description, const std::string& treeClassName);
    static const TClipboardFormatEntry* FindFormat(uint32_t format);
    // Descriptions registered for the tree's class, by priority.
    static std::vector<std::string> EnumerateFormats(const TBaseVirtualTree* tree);
    // How the formats registered for the tree's class are offered, by priority; with Allowed
    // only those whose description it lists.
    static std::vector<FORMATETC> EnumerateFormatEtcs(const TBaseVirtualTree* tree,
                                                      const std::vector<std::string>* allowed);
    static void Clear();
};

// ---- Free helpers ----------------------------------------------------------------------------

// The tree a node belongs to: walks up to the hidden root, whose parent link holds the tree.
TBaseVirtualTree* TreeFromNode(PVirtualNode node);

// The rectangle with Left <= Right and Top <= Bottom.
TRect OrderRect(const TRect& r);

// Ascending sort of TheArray[L..R] (inclusive), the middle element as pivot.
void QuickSort(std::vector<intptr_t>& theArray, int l, int r);

// The text unchanged when it fits Width (or Width is not positive); otherwise the longest
// prefix that fits together with "...", followed by "...".
std::u16string ShortenString(HDC dc, const std::u16string& s, int width, bool rtl = false);

// Draws or measures lines (ending at LF, CR, CR LF or U+2028) with the DrawText flags
// DT_SINGLELINE, DT_CALCRECT, DT_NOCLIP, DT_RTLREADING, DT_RIGHT, DT_CENTER, DT_VCENTER.
void DrawTextLinesW(HDC dc, const std::u16string& text, TRect& bounds, UINT format);

// ---- Alpha blending --------------------------------------------------------------------------

enum class TBlendMode : uint8_t {
    bmConstantAlpha,        // one alpha for every pixel
    bmPerPixelAlpha,        // the source pixel's alpha
    bmMasterAlpha,          // the source pixel's alpha scaled by the constant alpha
    bmConstantAlphaAndColor // the target alone, blended toward a colour (passed as Bias)
};

// Row routines over B, G, R, A pixels. Each channel: target + (source - target) * alpha / 256
// (arithmetic shift), plus Bias, clamped to 0..255. For bmConstantAlphaAndColor Bias holds
// the colour as a pixel value (0xAARRGGBB).
void AlphaBlendLineConstant(const uint32_t* source, uint32_t* destination, int count,
                            int constantAlpha, int bias);
void AlphaBlendLinePerPixel(const uint32_t* source, uint32_t* destination, int count, int bias);
void AlphaBlendLineMaster(const uint32_t* source, uint32_t* destination, int count,
                          int constantAlpha, int bias);
void AlphaBlendLineMasterAndColor(uint32_t* destination, int count, int constantAlpha,
                                  uint32_t color);

// Blends R of the source context's bitmap onto the target context's bitmap at Target. Both
// contexts must hold a 32-bit bitmap. The rectangle is clipped to both bitmaps.
void AlphaBlend(HDC source, HDC destination, const TRect& r, const TPoint& target, TBlendMode mode,
                int constantAlpha, int bias);

// ---- Growing text buffers --------------------------------------------------------------------

template <typename CharT> class TBasicBufferedString {
public:
    static constexpr size_t AllocIncrement = 4096;

    void Add(const std::basic_string<CharT>& s) { Add(s.data(), s.size()); }
    void Add(const CharT* s, size_t length);
    // Appends CR LF.
    void AddNewLine();
    std::basic_string<CharT> AsString() const { return {FBuffer.data(), FPosition}; }
    size_t Length() const { return FPosition; }
    size_t Capacity() const { return FBuffer.size(); }

private:
    void Grow(size_t needed);
    std::vector<CharT> FBuffer;
    size_t FPosition = 0;
};

using TBufferedString = TBasicBufferedString<char>;
using TWideBufferedString = TBasicBufferedString<char16_t>;

template <typename CharT> void TBasicBufferedString<CharT>::Grow(size_t needed) {
    // One step (current size plus 4096) may be too small for a long text: repeat until it fits.
    size_t size = FBuffer.size();
    while (size - FPosition < needed)
        size += size + AllocIncrement;
    FBuffer.resize(size);
}

template <typename CharT> void TBasicBufferedString<CharT>::Add(const CharT* s, size_t length) {
    if (length == 0) return;
    if (FBuffer.size() - FPosition < length) Grow(length);
    std::copy(s, s + length, FBuffer.begin() + std::ptrdiff_t(FPosition));
    FPosition += length;
}

template <typename CharT> void TBasicBufferedString<CharT>::AddNewLine() {
    // 8-bit buffers keep 3 characters in reserve, 16-bit ones 5.
    const size_t reserve = sizeof(CharT) == 1 ? 3 : 5;
    if (FBuffer.size() - FPosition < reserve) Grow(reserve);
    FBuffer[FPosition++] = CharT('\r');
    FBuffer[FPosition++] = CharT('\n');
}

} // namespace epc
