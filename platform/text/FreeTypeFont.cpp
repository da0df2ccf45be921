// Fonts measured and drawn by FreeType: sized with LOGFONT semantics, metrics with TEXTMETRIC
// meanings taken from the face's Windows metrics, integer hinted advances without kerning, and
// grayscale coverage masks cached per code point.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <hb-ft.h>
#include <hb.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "platform/text/FontInternals.h"

namespace epc::fontengine {

namespace {

constexpr int32_t kMaxEm = 2048;
constexpr int32_t kNoAdvance = -1;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

struct TOpenFace {
    std::shared_ptr<const std::string> Data;  // must outlive Face
    FT_Face Face = nullptr;
};

bool OpenFace(const std::string& file, int index, TOpenFace& out) {
    if (!Library()) return false;
    auto data = FontFileData(file);
    if (!data) return false;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(Library(), reinterpret_cast<const FT_Byte*>(data->data()),
                           static_cast<FT_Long>(data->size()), index, &face) != 0)
        return false;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return false;
    }
    out.Data = std::move(data);
    out.Face = face;
    return true;
}

int32_t RoundToInt(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }
int32_t CeilToInt(double v) { return static_cast<int32_t>(std::ceil(v - 1e-9)); }

// Zero-width marks and format controls advance by nothing when no face has them.
bool IsZeroWidth(char32_t ch) {
    return ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || ch == 0xAD ||
           (ch >= 0x200B && ch <= 0x200F) || ch == 0x2060 || ch == 0xFEFF;
}

struct TGlyphEntry {
    TGlyphBitmap Bitmap;
    std::vector<uint8_t> Pixels;
};

class TFreeTypeFont final : public TFontInstance {
public:
    TFreeTypeFont(const TFontRequest& request, const TFaceLocation& location)
        : FRequest(request), FLocation(location) {}

    ~TFreeTypeFont() override {
        std::lock_guard<std::mutex> lock(LibraryMutex());
        for (hb_font_t* f : FShapers)
            if (f) hb_font_destroy(f);
        if (FPrimary.Face) FT_Done_Face(FPrimary.Face);
        for (auto& f : FFallbackFaces)
            if (f.Face) FT_Done_Face(f.Face);
        ReleaseFallbacks(FFallbacks);
    }

    // Opens and sizes the face; LibraryMutex held.
    bool Init() {
        if (!OpenFace(FLocation.File, FLocation.Index, FPrimary)) return false;
        FT_Face face = FPrimary.Face;
        const double upem = face->units_per_EM;
        auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
        double winAscent = face->ascender;
        double winDescent = -face->descender;
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
        if (winAscent + winDescent <= 0) {
            winAscent = upem * 0.8;
            winDescent = upem * 0.2;
        }
        const double cellUnits = winAscent + winDescent;

        TFontMetrics& m = FMetrics;
        int64_t height = FRequest.Height;
        bool cellGiven = height >= 0;
        if (height == 0) height = 16;
        if (height < 0) height = -height;
        height = std::min<int64_t>(height, cellGiven ? kMaxEm * 4 : kMaxEm);
        int32_t em;
        if (cellGiven) {
            em = RoundToInt(static_cast<double>(height) * upem / cellUnits);
            em = std::clamp(em, 1, kMaxEm);
            // The cell is what was asked for; the em follows from it.
            m.Ascent = RoundToInt(static_cast<double>(height) * winAscent / cellUnits);
            m.Descent = static_cast<int32_t>(height) - m.Ascent;
        } else {
            em = static_cast<int32_t>(std::max<int64_t>(1, height));
            m.Ascent = RoundToInt(winAscent * em / upem);
            m.Descent = RoundToInt(winDescent * em / upem);
        }
        m.Height = m.Ascent + m.Descent;
        m.InternalLeading = std::max(0, m.Height - em);
        FEm = em;
        FXEm = em;  // until a requested width changes it below

        const double scale = em / upem;
        // A requested average width scales the face horizontally.
        double naturalAverage = 0;
        if (FRequest.Width > 0) {
            if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) return false;
            naturalAverage = WeightedAverageLocked();
        }
        int32_t xEm = em;
        if (FRequest.Width > 0 && naturalAverage > 0)
            xEm = std::clamp(RoundToInt(em * FRequest.Width / naturalAverage), 1, kMaxEm);
        FXEm = xEm;
        if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(xEm), static_cast<FT_UInt>(em)) != 0)
            return false;
        const double xScale = xEm / upem;

        // The face's own style decides, not what fontconfig reports: its configuration may
        // relabel a light face as bold and ask its users to embolden it.
        bool faceBold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ||
                        (os2 && os2->version != 0xFFFF && os2->usWeightClass >= 600);
        bool faceItalic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        FSynthBold = FRequest.Weight >= 600 && !faceBold;
        FBoldExtra = FSynthBold ? 1 + em / 32 : 0;
        FSynthItalic = FRequest.Italic && !faceItalic;

        if (hhea) {
            double gap = hhea->Line_Gap -
                         (cellUnits - (hhea->Ascender - static_cast<double>(hhea->Descender)));
            m.ExternalLeading = std::max(0, RoundToInt(gap * scale));
        }
        m.AveCharWidth = std::max(1, WeightedAverageLocked());
        m.MaxCharWidth = std::max(m.AveCharWidth,
                                  CeilToInt(face->max_advance_width * xScale) + FBoldExtra);

        m.Weight = FRequest.Weight > 0 ? FRequest.Weight : 400;
        m.Italic = FRequest.Italic;
        m.Underline = FRequest.Underline;
        m.StrikeOut = FRequest.StrikeOut;
        m.Charset = FRequest.Charset == 1 ? 0 : FRequest.Charset;
        uint8_t pitch = FT_IS_FIXED_WIDTH(face) ? 0 : 1;
        uint8_t kind = FLocation.FamilyKind;
        if (FT_IS_FIXED_WIDTH(face)) {
            kind = 0x30;
        } else if (kind == 0 && os2 && os2->version != 0xFFFF && os2->panose[0] == 2) {
            kind = os2->panose[1] >= 11 && os2->panose[1] <= 13 ? 0x20 : 0x10;
        }
        m.PitchAndFamily = static_cast<uint8_t>(kind | pitch | (FT_IS_SFNT(face) ? 0x06 : 0x02));

        double underlineThickness = face->underline_thickness > 0 ? face->underline_thickness
                                                                  : upem / 14.0;
        m.UnderlineThickness = std::max(1, RoundToInt(underlineThickness * scale));
        // FreeType gives the centre of the line; rows start at its top.
        double centre = face->underline_position != 0 ? -face->underline_position : upem / 10.0;
        int32_t top = RoundToInt(centre * scale - m.UnderlineThickness / 2.0);
        // Keep a row between the letters and the line where the descent has room for it.
        if (m.Descent > m.UnderlineThickness) {
            top = std::clamp(top, 1, m.Descent - m.UnderlineThickness);
        }
        m.UnderlinePosition = std::max(0, top);
        if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
            m.StrikeOutThickness = std::max(1, RoundToInt(os2->yStrikeoutSize * scale));
            m.StrikeOutPosition = std::max(1, RoundToInt(os2->yStrikeoutPosition * scale));
        } else {
            m.StrikeOutThickness = m.UnderlineThickness;
            m.StrikeOutPosition = std::max(1, RoundToInt(upem * 0.26 * scale));
        }
        return true;
    }

    const TFontMetrics& Metrics() const override { return FMetrics; }

    int32_t Advance(char32_t ch) override {
        int32_t v = FAdvances.FindFast(ch);
        if (v != kNoAdvance) return v;
        std::lock_guard<std::mutex> lock(LibraryMutex());
        v = FAdvances.FindLocked(ch);
        if (v != kNoAdvance) return v;
        v = MeasureLocked(ch);
        FAdvances.Store(ch, v);
        return v;
    }

    const TGlyphBitmap& Glyph(char32_t ch) override {
        if (IsBlankCodePoint(Shown(ch))) return FEmpty;
        const TGlyphBitmap* g = FGlyphs.FindFast(ch);
        if (g) return *g;
        std::lock_guard<std::mutex> lock(LibraryMutex());
        g = FGlyphs.FindLocked(ch);
        if (g) return *g;
        g = RenderLocked(ch);
        FGlyphs.Store(ch, g);
        return *g;
    }

    std::u16string FamilyName() const override { return FLocation.Family; }
    const TFontRequest& Request() const override { return FRequest; }

    bool FaceSource(TFontFaceSource& out) const override {
        if (FLocation.SymbolEncoding) return false;
        out.File = FLocation.File;
        out.Index = FLocation.Index;
        out.XEm = FXEm;
        out.Em = FEm;
        out.SynthBold = FSynthBold;
        out.SynthItalic = FSynthItalic;
        return true;
    }

    void ShapeRun(const char16_t* text, int32_t count, int32_t start, int32_t end, bool rightToLeft,
                  std::vector<TShapedGlyph>& out) override {
        // Codes of the symbol face stand for other characters: no shaping applies to them.
        if (FLocation.SymbolEncoding) {
            TFontInstance::ShapeRun(text, count, start, end, rightToLeft, out);
            return;
        }
        std::lock_guard<std::mutex> lock(LibraryMutex());
        // Pieces drawn from one face each; a mark or a joiner stays with its base's face.
        struct TPiece {
            int32_t Start, End, Face;
        };
        std::vector<TPiece> pieces;
        for (int32_t i = start; i < end;) {
            const int32_t at = i;
            UChar32 c;
            U16_NEXT(text, i, end, c);
            const bool joins = (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0 || c == 0x200C || c == 0x200D;
            int32_t face =
                pieces.empty() || !joins ? FaceSlotLocked(char32_t(c)) : pieces.back().Face;
            if (!pieces.empty() && pieces.back().Face == face)
                pieces.back().End = i;
            else
                pieces.push_back({at, i, face});
        }
        if (rightToLeft) std::reverse(pieces.begin(), pieces.end());
        int32_t pen = 0;
        for (const TPiece& p : pieces) {
            hb_font_t* font = ShaperLocked(p.Face);
            if (!font) continue;
            hb_buffer_t* buffer = hb_buffer_create();
            hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(text), count,
                                unsigned(p.Start), p.End - p.Start);
            hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
            hb_buffer_guess_segment_properties(buffer);
            // Widths of neighbouring runs add up, as for plain text: no kerning.
            static const hb_feature_t noKerning{HB_TAG('k', 'e', 'r', 'n'), 0, 0, ~0u};
            hb_shape(font, buffer, &noKerning, 1);
            unsigned n = 0;
            const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &n);
            const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, nullptr);
            for (unsigned k = 0; k < n; ++k) {
                TShapedGlyph g;
                g.Face = p.Face;
                g.Index = info[k].codepoint;
                g.Cluster = int32_t(info[k].cluster);
                g.X = pen;
                g.OffsetX = (pos[k].x_offset + 32) >> 6;
                g.OffsetY = (pos[k].y_offset + 32) >> 6;
                g.Advance = std::max(0, (pos[k].x_advance + 32) >> 6);
                if (g.Advance > 0) g.Advance += FBoldExtra;
                pen += g.Advance;
                out.push_back(g);
            }
            hb_buffer_destroy(buffer);
        }
    }

    const TGlyphBitmap& ShapedGlyph(int32_t face, uint32_t index) override {
        if (face < 0) return Glyph(char32_t(index));
        std::lock_guard<std::mutex> lock(LibraryMutex());
        const uint64_t key = (uint64_t(uint32_t(face)) << 32) | index;
        auto it = FShapedGlyphs.find(key);
        if (it != FShapedGlyphs.end()) return *it->second;
        FT_Face ft = FaceOfSlot(face);
        const TGlyphBitmap* g = ft ? RenderIndexLocked({ft, index}) : &FEmpty;
        FShapedGlyphs.emplace(key, g);
        return *g;
    }

private:
    struct TResolved {
        FT_Face Face = nullptr;
        FT_UInt Index = 0;
    };

    // The face and glyph for a code point: the primary face, else a fallback face covering it,
    // else the primary face's missing-glyph box (index 0).
    char32_t Shown(char32_t ch) const {
        return FLocation.SymbolEncoding ? SymbolToUnicode(ch) : ch;
    }

    TResolved ResolveLocked(char32_t ch) {
        ch = Shown(ch);
        TResolved r{FPrimary.Face, 0};
        if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return r;
        r.Index = FT_Get_Char_Index(FPrimary.Face, ch);
        if (r.Index) return r;
        if (!FFallbacksLoaded) {
            FFallbacksLoaded = true;
            FindFallbacks(FRequest, FLocation.File, FFallbacks);
            FFallbackFaces.resize(FFallbacks.size());
            FFallbackTried.assign(FFallbacks.size(), false);
        }
        for (size_t i = 0; i < FFallbacks.size(); ++i) {
            if (!FallbackCovers(FFallbacks[i], ch)) continue;
            if (!FFallbackTried[i]) {
                FFallbackTried[i] = true;
                TOpenFace f;
                if (OpenFace(FFallbacks[i].File, FFallbacks[i].Index, f)) {
                    if (FT_Set_Pixel_Sizes(f.Face, static_cast<FT_UInt>(FXEm),
                                           static_cast<FT_UInt>(FEm)) == 0)
                        FFallbackFaces[i] = std::move(f);
                    else
                        FT_Done_Face(f.Face);
                }
            }
            if (!FFallbackFaces[i].Face) continue;
            FT_UInt index = FT_Get_Char_Index(FFallbackFaces[i].Face, ch);
            if (index) return {FFallbackFaces[i].Face, index};
        }
        return r;
    }

    bool LoadLocked(const TResolved& r) {
        const FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL;
        if (FT_Load_Glyph(r.Face, r.Index, flags) == 0) return true;
        return r.Index != 0 && FT_Load_Glyph(r.Face, 0, flags) == 0;
    }

    // The average width of lower-case text: letters and space weighted by their frequency in
    // English, which is what the classic average-width field means. Newer faces store an
    // average over all their glyphs instead, far wider than text.
    int32_t WeightedAverageLocked() {
        static const int weights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6,  35, 20, 56,
                                        56, 17, 4,  49, 56,  71, 31, 10, 18, 3,  18, 2,  166};
        int64_t sum = 0;
        for (int i = 0; i < 27; ++i) {
            char32_t ch = i < 26 ? static_cast<char32_t>(U'a' + i) : U' ';
            if (!FT_Get_Char_Index(FPrimary.Face, ch)) return MeasureLocked(U'x');
            sum += int64_t(weights[i]) * MeasureLocked(ch);
        }
        return static_cast<int32_t>((sum + 500) / 1000);
    }

    int32_t MeasureLocked(char32_t ch) {
        TResolved r = ResolveLocked(ch);
        char32_t shown = Shown(ch);
        if (r.Index == 0 && IsBlankCodePoint(shown) && shown != U' ')
            return IsZeroWidth(shown) ? 0 : MeasureLocked(U' ');
        if (!LoadLocked(r)) return 0;
        int32_t advance = static_cast<int32_t>((r.Face->glyph->advance.x + 32) >> 6);
        return std::max(0, advance) + (advance > 0 ? FBoldExtra : 0);
    }

    const TGlyphBitmap* RenderLocked(char32_t ch) { return RenderIndexLocked(ResolveLocked(ch)); }

    // Faces by slot: 0 the primary face, 1 on the fallbacks.
    FT_Face FaceOfSlot(int32_t slot) const {
        if (slot == 0) return FPrimary.Face;
        size_t i = size_t(slot - 1);
        return i < FFallbackFaces.size() ? FFallbackFaces[i].Face : nullptr;
    }

    int32_t FaceSlotLocked(char32_t ch) {
        TResolved r = ResolveLocked(ch);
        for (size_t i = 0; i < FFallbackFaces.size(); ++i)
            if (r.Face == FFallbackFaces[i].Face) return int32_t(i + 1);
        return 0;
    }

    hb_font_t* ShaperLocked(int32_t slot) {
        FT_Face face = FaceOfSlot(slot);
        if (!face) return nullptr;
        if (FShapers.size() <= size_t(slot)) FShapers.resize(size_t(slot) + 1, nullptr);
        if (!FShapers[size_t(slot)]) {
            hb_font_t* font = hb_ft_font_create(face, nullptr);
            // Hinted advances, as the plain path measures them.
            hb_ft_font_set_load_flags(font,
                                      FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL);
            FShapers[size_t(slot)] = font;
        }
        return FShapers[size_t(slot)];
    }

    const TGlyphBitmap* RenderIndexLocked(const TResolved& r) {
        auto entry = std::make_unique<TGlyphEntry>();
        if (LoadLocked(r) && r.Face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_GlyphSlot slot = r.Face->glyph;
            if (FBoldExtra > 0) FT_Outline_EmboldenXY(&slot->outline, 64 * FBoldExtra, 0);
            if (FSynthItalic) {
                FT_Matrix shear{0x10000, 0x3604, 0, 0x10000};  // about 12 degrees
                FT_Outline_Transform(&slot->outline, &shear);
            }
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0) CopyBitmap(slot, *entry);
        }
        if (entry->Pixels.empty()) {
            entry->Bitmap = FEmpty;
        } else {
            entry->Bitmap.Coverage = entry->Pixels.data();
        }
        const TGlyphBitmap* result = &entry->Bitmap;
        FGlyphStore.push_back(std::move(entry));
        return result;
    }

    static void CopyBitmap(FT_GlyphSlot slot, TGlyphEntry& entry) {
        const FT_Bitmap& b = slot->bitmap;
        if (b.width == 0 || b.rows == 0 || !b.buffer) return;
        int32_t width = static_cast<int32_t>(b.width);
        int32_t rows = static_cast<int32_t>(b.rows);
        entry.Pixels.assign(static_cast<size_t>(width) * rows, 0);
        for (int32_t y = 0; y < rows; ++y) {
            const uint8_t* src = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
            uint8_t* dst = entry.Pixels.data() + static_cast<size_t>(y) * width;
            if (b.pixel_mode == FT_PIXEL_MODE_GRAY) {
                int levels = b.num_grays > 1 ? b.num_grays - 1 : 255;
                for (int32_t x = 0; x < width; ++x)
                    dst[x] = levels == 255 ? src[x]
                                           : static_cast<uint8_t>(src[x] * 255 / levels);
            } else if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
                for (int32_t x = 0; x < width; ++x)
                    dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            }
        }
        entry.Bitmap.Left = slot->bitmap_left;
        entry.Bitmap.Top = slot->bitmap_top;
        entry.Bitmap.Width = width;
        entry.Bitmap.Height = rows;
        entry.Bitmap.Pitch = width;
    }

    TFontRequest FRequest;
    TFaceLocation FLocation;
    TFontMetrics FMetrics;
    TOpenFace FPrimary;
    int32_t FEm = 16;
    int32_t FXEm = 16;
    bool FSynthBold = false;
    bool FSynthItalic = false;
    int32_t FBoldExtra = 0;

    bool FFallbacksLoaded = false;
    std::vector<TFallbackCandidate> FFallbacks;
    std::vector<TOpenFace> FFallbackFaces;
    std::vector<bool> FFallbackTried;

    TCodePointTable<int32_t, kNoAdvance> FAdvances;
    TCodePointTable<const TGlyphBitmap*, nullptr> FGlyphs;
    std::vector<std::unique_ptr<TGlyphEntry>> FGlyphStore;
    TGlyphBitmap FEmpty;
    std::vector<hb_font_t*> FShapers; // by face slot, made on first use
    std::unordered_map<uint64_t, const TGlyphBitmap*> FShapedGlyphs; // (slot, index)
};

}  // namespace

std::shared_ptr<TFontInstance> CreateFreeTypeFont(const TFontRequest& request,
                                                  const TFaceLocation& location) {
    auto font = std::make_shared<TFreeTypeFont>(request, location);
    bool ok;
    {
        std::lock_guard<std::mutex> lock(LibraryMutex());
        ok = font->Init();
    }
    if (!ok) return nullptr;  // destroyed outside the lock its destructor takes
    return font;
}

}  // namespace epc::fontengine
