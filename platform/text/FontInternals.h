#pragma once
// Pieces of the font engine shared by its units: face lookup through fontconfig, the FreeType
// and built-in font instances, and the lock-free per-code-point caches they measure with.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/text/FontEngine.h"

namespace epc::fontengine {

// Serializes every FreeType and fontconfig call: neither library is safe to share between
// threads without it. Only cache misses take it, and whoever uses a lent face (LockFontFaces).
std::recursive_mutex& LibraryMutex();

// Where a requested face lives, as fontconfig resolved it.
struct TFaceLocation {
    std::string File;
    int Index = 0;
    std::u16string Family;
    uint8_t FamilyKind = 0;     // FF_ROMAN, FF_SWISS or FF_MODERN as resolved; 0 unknown
    // The request named the classic symbol face, which is not installed: its character codes
    // are translated to the Unicode characters they stand for (SymbolToUnicode).
    bool SymbolEncoding = false;
};

// The Unicode character a code of the classic symbol face shows, for codes 0x20..0xFF and
// their private-use forms 0xF020..0xF0FF; other code points are returned unchanged.
char32_t SymbolToUnicode(char32_t ch);

bool IsBuiltInName(const std::u16string& faceName);

// The family to ask fontconfig for: an installed face of that very name, else our
// substitution for a well-known name, else a generic family chosen by pitch and family.
std::string ChooseFamily(const std::u16string& faceName, uint8_t pitchAndFamily,
                         uint8_t* familyKind);

// Finds the file for a request. False when fontconfig knows no scalable face at all.
// Call with LibraryMutex held.
bool LocateFace(const TFontRequest& request, TFaceLocation& location);

// Up to a few other faces (file, index) that may cover code points the primary face lacks,
// best first. Call with LibraryMutex held.
struct TFallbackCandidate {
    std::string File;
    int Index = 0;
    void* CharSet = nullptr;  // an FcCharSet reference, released by ReleaseFallbacks
};
void FindFallbacks(const TFontRequest& request, const std::string& primaryFile,
                   std::vector<TFallbackCandidate>& out);
bool FallbackCovers(const TFallbackCandidate& candidate, char32_t ch);
void ReleaseFallbacks(std::vector<TFallbackCandidate>& list);

// The bytes of a font file, read once and shared by every face opened from it.
std::shared_ptr<const std::string> FontFileData(const std::string& path);

std::shared_ptr<TFontInstance> CreateBuiltInFont(const TFontRequest& request);
// Null when the face cannot be opened or sized. Call without LibraryMutex held.
std::shared_ptr<TFontInstance> CreateFreeTypeFont(const TFontRequest& request,
                                                  const TFaceLocation& location);

// A per-code-point table: flat pages for the Basic Multilingual Plane, read without locking,
// and a map beyond it (read under the owner's lock). Pages are published once and never freed
// before the table, so a reader never sees a dangling page.
template <typename T, T Missing>
class TCodePointTable {
public:
    TCodePointTable() {
        for (auto& p : FPages) p.store(nullptr, std::memory_order_relaxed);
    }
    ~TCodePointTable() {
        for (auto& p : FPages) delete[] p.load(std::memory_order_relaxed);
    }
    TCodePointTable(const TCodePointTable&) = delete;
    TCodePointTable& operator=(const TCodePointTable&) = delete;

    // Lock-free for the BMP; returns Missing when not yet stored.
    T FindFast(char32_t ch) const {
        if (ch > 0xFFFF) return Missing;
        const std::atomic<T>* page = FPages[ch >> 8].load(std::memory_order_acquire);
        // Acquire pairs with Store's release: a stored pointer's target is complete.
        return page ? page[ch & 0xFF].load(std::memory_order_acquire) : Missing;
    }
    // Beyond the BMP; the caller holds its lock.
    T FindLocked(char32_t ch) const {
        if (ch <= 0xFFFF) return FindFast(ch);
        auto it = FAstral.find(ch);
        return it == FAstral.end() ? Missing : it->second;
    }
    // The caller holds its lock.
    void Store(char32_t ch, T value) {
        if (ch > 0xFFFF) {
            FAstral[ch] = value;
            return;
        }
        std::atomic<T>* page = FPages[ch >> 8].load(std::memory_order_acquire);
        if (!page) {
            page = new std::atomic<T>[256];
            for (int i = 0; i < 256; ++i) page[i].store(Missing, std::memory_order_relaxed);
            FPages[ch >> 8].store(page, std::memory_order_release);
        }
        page[ch & 0xFF].store(value, std::memory_order_release);
    }

private:
    std::array<std::atomic<std::atomic<T>*>, 256> FPages;
    std::unordered_map<char32_t, T> FAstral;
};

// The blanks that advance by nothing when no face has them: controls, the soft hyphen and the
// zero-width characters. A subset of IsBlankCodePoint; the other blanks advance as a space.
bool IsZeroWidthBlank(char32_t ch);

}  // namespace epc::fontengine
