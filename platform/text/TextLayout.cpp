// Bidirectional reordering with ICU, then shaping of each directional run, split further where
// the script changes, by the font instance; carets follow from the glyph clusters.

#include "platform/text/TextLayout.h"

#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>

namespace epc {

bool IsComplexCodePoint(char32_t ch) {
    if (ch < kFirstComplexCodePoint) return false;
    if (ch <= 0x0DFF) return true; // Hebrew, Arabic, Syriac, Thaana, N'Ko, Indic scripts
    if (ch <= 0x1CFF)              // Thai to Myanmar; Khmer to the Vedic extensions
        return ch <= 0x109F || ch >= 0x1780;
    if (ch <= 0x206F) // joiners and the directional marks, embeddings and isolates
        return (ch >= 0x200C && ch <= 0x200F) || (ch >= 0x202A && ch <= 0x202E) ||
               (ch >= 0x2066 && ch <= 0x2069);
    if (ch >= 0xA800 && ch <= 0xABFF) return true; // more Indic and South-East Asian scripts
    if (ch >= 0xFB1D && ch <= 0xFDFF) return true; // Hebrew and Arabic presentation forms
    if (ch >= 0xFE70 && ch <= 0xFEFE) return true;
    if (ch >= 0x10800 && ch <= 0x11FFF) return true; // historic right-to-left and Brahmic
    return ch >= 0x1E800 && ch <= 0x1EFFF;
}

bool NeedsComplexLayout(const char16_t* text, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        char32_t c = text[i];
        if (c < kFirstComplexCodePoint) continue;
        if (U16_IS_LEAD(c) && i + 1 < count && U16_IS_TRAIL(text[i + 1]))
            c = U16_GET_SUPPLEMENTARY(c, text[++i]);
        if (IsComplexCodePoint(c)) return true;
    }
    return false;
}

bool ContinuesCluster(char32_t ch) {
    return (U_GET_GC_MASK(ch) & U_GC_M_MASK) != 0 || ch == 0x200C || ch == 0x200D;
}

namespace {

struct TBiDiCloser {
    void operator()(UBiDi* b) const { ubidi_close(b); }
};

// Splits [start, end) where one real script gives way to another; common and inherited
// characters (spaces, digits, punctuation, marks) stay with their neighbours.
void ScriptRuns(const char16_t* text, int32_t start, int32_t end,
                std::vector<std::pair<int32_t, int32_t>>& runs) {
    runs.clear();
    UScriptCode current = USCRIPT_COMMON;
    int32_t runStart = start;
    for (int32_t i = start; i < end;) {
        int32_t at = i;
        UChar32 c;
        U16_NEXT(text, i, end, c);
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode s = uscript_getScript(c, &status);
        if (U_FAILURE(status) || s == USCRIPT_COMMON || s == USCRIPT_INHERITED) continue;
        if (current != USCRIPT_COMMON && s != current) {
            runs.emplace_back(runStart, at);
            runStart = at;
        }
        current = s;
    }
    runs.emplace_back(runStart, end);
}

} // namespace

bool LayoutComplexText(TFontInstance& font, const char16_t* text, int32_t count, bool rightToLeft,
                       int32_t charExtra, TTextLayout& out) {
    out = TTextLayout{};
    if (count <= 0) return true;
    UErrorCode status = U_ZERO_ERROR;
    // One object per thread: setting a paragraph reuses the memory it grew to.
    thread_local std::unique_ptr<UBiDi, TBiDiCloser> bidi(ubidi_open());
    if (!bidi) return false;
    ubidi_setPara(bidi.get(), reinterpret_cast<const UChar*>(text), count, rightToLeft ? 1 : 0,
                  nullptr, &status);
    int32_t runCount = U_SUCCESS(status) ? ubidi_countRuns(bidi.get(), &status) : 0;
    if (U_FAILURE(status)) return false;
    const UBiDiLevel* levels = ubidi_getLevels(bidi.get(), &status);
    if (U_FAILURE(status) || !levels) return false;
    out.Levels.assign(levels, levels + count);
    out.VisualIndex.resize(size_t(count));
    ubidi_getLogicalMap(bidi.get(), out.VisualIndex.data(), &status);
    if (U_FAILURE(status)) return false;

    // Shape the runs in visual order.
    std::vector<std::pair<int32_t, int32_t>> scripts;
    std::vector<TShapedGlyph> piece;
    int32_t pen = 0;
    for (int32_t r = 0; r < runCount; ++r) {
        int32_t start = 0, length = 0;
        const bool rtl = ubidi_getVisualRun(bidi.get(), r, &start, &length) == UBIDI_RTL;
        ScriptRuns(text, start, start + length, scripts);
        if (rtl) std::reverse(scripts.begin(), scripts.end());
        for (const auto& [a, b] : scripts) {
            piece.clear();
            // Pieces of plain script keep the advances plain text is measured with.
            if (NeedsComplexLayout(text + a, b - a))
                font.ShapeRun(text, count, a, b, rtl, piece);
            else
                font.TFontInstance::ShapeRun(text, count, a, b, rtl, piece);
            int32_t width = 0;
            for (TShapedGlyph& g : piece) {
                width = std::max(width, g.X + g.Advance);
                g.X += pen;
                out.Glyphs.push_back(g);
            }
            pen += width;
        }
    }

    // Clusters: the code units [Cluster, next cluster) and the span of their glyphs.
    std::vector<int32_t> clusterStart(size_t(count) + 1, -1); // unit -> its cluster's start
    std::vector<int32_t> left(size_t(count), INT32_MAX), right(size_t(count), INT32_MIN);
    for (const TShapedGlyph& g : out.Glyphs) {
        if (g.Cluster < 0 || g.Cluster >= count) continue;
        left[size_t(g.Cluster)] = std::min(left[size_t(g.Cluster)], g.X);
        right[size_t(g.Cluster)] = std::max(right[size_t(g.Cluster)], g.X + g.Advance);
        clusterStart[size_t(g.Cluster)] = g.Cluster;
    }
    for (int32_t i = 0, owner = 0; i < count; ++i) {
        if (clusterStart[size_t(i)] == i) owner = i;
        clusterStart[size_t(i)] = owner;
    }
    out.Caret.assign(size_t(count), 0);
    out.Advance.assign(size_t(count), 0);
    // Each cluster's width is shared among its characters, so a caret can stand between the
    // letters of a ligature.
    std::vector<int32_t> starts;
    for (int32_t a = 0; a < count;) {
        int32_t b = a + 1;
        while (b < count && clusterStart[size_t(b)] == a)
            ++b;
        starts.clear();
        for (int32_t i = a; i < b;) {
            int32_t at = i;
            UChar32 c;
            U16_NEXT(text, i, b, c);
            if (starts.empty() || !ContinuesCluster(char32_t(c))) starts.push_back(at);
        }
        const int32_t x0 = left[size_t(a)] == INT32_MAX ? 0 : left[size_t(a)];
        const int32_t w = left[size_t(a)] == INT32_MAX ? 0 : right[size_t(a)] - x0;
        const bool rtl = (out.Levels[size_t(a)] & 1) != 0;
        const int32_t n = int32_t(starts.size());
        for (int32_t j = 0; j < n; ++j) {
            const int32_t lo = w * j / n, hi = w * (j + 1) / n;
            const int32_t from = starts[size_t(j)];
            const int32_t to = j + 1 < n ? starts[size_t(j) + 1] : b;
            for (int32_t i = from; i < to; ++i)
                out.Caret[size_t(i)] = rtl ? x0 + w - lo : x0 + lo;
            out.Advance[size_t(from)] = hi - lo;
        }
        a = b;
    }
    out.Width = pen;

    if (charExtra != 0) {
        // Spacing after every code point, in visual order: each moves right by the spacing
        // of the code points left of it.
        auto startsCodePoint = [text](int32_t i) {
            return !(U16_IS_TRAIL(text[i]) && i > 0 && U16_IS_LEAD(text[i - 1]));
        };
        std::vector<int32_t> byVisual(size_t(count), -1);
        for (int32_t i = 0; i < count; ++i)
            byVisual[size_t(out.VisualIndex[size_t(i)])] = i;
        std::vector<int32_t> shiftOf(size_t(count), 0);
        int32_t shift = 0;
        for (int32_t v = 0; v < count; ++v) {
            const int32_t i = byVisual[size_t(v)];
            if (i < 0) continue;
            shiftOf[size_t(i)] = shift;
            if (startsCodePoint(i)) shift += charExtra;
        }
        for (int32_t i = 0; i < count; ++i) {
            const bool rtl = (out.Levels[size_t(i)] & 1) != 0;
            // A right-to-left character leads on its right, past its own spacing.
            out.Caret[size_t(i)] += shiftOf[size_t(i)] + (rtl ? charExtra : 0);
            if (startsCodePoint(i)) out.Advance[size_t(i)] += charExtra;
        }
        for (TShapedGlyph& g : out.Glyphs) {
            if (g.Cluster >= 0 && g.Cluster < count) g.X += shiftOf[size_t(g.Cluster)];
        }
        out.Width += shift;
    }
    return true;
}

} // namespace epc
