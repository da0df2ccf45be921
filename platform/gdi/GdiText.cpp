// Text on device contexts: measuring with the selected font's advances (no kerning, so every
// prefix width is exact), drawing glyph coverage masks, and DrawText's line layout. Runs with
// right-to-left or complex-script text are reordered and shaped as a whole instead.

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/core/Strings.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiSink.h"
#include "platform/text/TextLayout.h"

namespace epc {

namespace {

inline bool IsHigh(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
inline bool IsLow(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// The code point starting at text[i]; `units` receives 1 or 2.
inline char32_t CodePointAt(const char16_t* text, int count, int i, int& units) {
    char16_t c = text[i];
    if (IsHigh(c) && i + 1 < count && IsLow(text[i + 1])) {
        units = 2;
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
    }
    units = 1;
    return c;
}

bool ReadsRightToLeft(HDC dc) {
    return (dc->S.TextAlign & TA_RTLREADING) != 0;
}

// The layout of a run that needs reordering or shaping; false for plain text (or when the
// bidirectional algorithm fails), which is measured by adding advances.
bool ComplexLayout(TGdiFont* font, const char16_t* text, int count, int extra, bool rtl,
                   TTextLayout& out) {
    // Right-to-left reading reorders even plain text: neutrals at its ends change sides.
    return (rtl || NeedsComplexLayout(text, count)) &&
           LayoutComplexText(*font->Instance, text, count, rtl, extra, out);
}

// The width of reordered or shaped text; -1 when the layout fails. Kept out of line so the
// plain measuring loops stay tight.
[[gnu::noinline]] int ComplexWidth(TGdiFont* font, const char16_t* text, int count, int extra,
                                   bool rtl) {
    TTextLayout layout;
    return LayoutComplexText(*font->Instance, text, count, rtl, extra, layout) ? layout.Width : -1;
}

// Width of a run: advances plus the character extra once per code point.
int RunWidth(TGdiFont* font, const char16_t* text, int count, int extra, bool rtl = false) {
    if (rtl && count > 0) {
        const int w = ComplexWidth(font, text, count, extra, rtl);
        if (w >= 0) return w;
    }
    int w = 0;
    for (int i = 0; i < count;) {
        int units;
        char32_t cp = CodePointAt(text, count, i, units);
        if (cp >= kFirstComplexCodePoint && IsComplexCodePoint(cp)) [[unlikely]] {
            const int complex = ComplexWidth(font, text, count, extra, rtl);
            if (complex >= 0) return complex;
        }
        w += font->Advance(cp) + extra;
        i += units;
    }
    return w;
}

uint32_t CodePageOf(HDC dc) {
    TGdiFont* f = dc->S.Font ? dc->S.Font : static_cast<TGdiFont*>(GetStockObject(SYSTEM_FONT));
    return CharsetToCodePage(f->Log.lfCharSet);
}

std::u16string FromAnsi(HDC dc, const char* text, int count) {
    if (!text || count <= 0) return {};
    return AnsiToWide(std::string_view(text, size_t(count)), CodePageOf(dc));
}

// The measuring calls convert into a reused buffer: plain ASCII (the common case) maps
// directly, without the code-page converter or an allocation.
const std::u16string& FromAnsiScratch(HDC dc, const char* text, int count) {
    static thread_local std::u16string scratch;
    scratch.clear();
    if (!text || count <= 0) return scratch;
    bool ascii = true;
    for (int i = 0; i < count && ascii; ++i)
        ascii = static_cast<unsigned char>(text[i]) < 0x80;
    if (ascii)
        scratch.assign(text, text + count);
    else
        scratch = FromAnsi(dc, text, count);
    return scratch;
}

// Blends an 8-bit coverage mask in one colour into the surface at device (x, y) = the mask's
// top-left, inside the visible rectangles and the optional clip.
// How far the pen moves over the code point at i, `units` code units long: the caller's widths
// where given, else the face's advance and the character extra.
int PenAdvance(TGdiFont* font, char32_t cp, int extra, const int* dx, int i, int units) {
    if (!dx) return font->Advance(cp) + extra;
    int advance = 0;
    for (int k = 0; k < units; ++k)
        advance += dx[i + k];
    return advance;
}

void BlendMask(HDC dc, int x, int y, const TGlyphBitmap& g, uint32_t color, const TRect* clip) {
    if (g.Width <= 0 || g.Height <= 0 || !g.Coverage) return;
    TRect box(x, y, x + g.Width, y + g.Height);
    if (clip && !IntersectRect(box, box, *clip)) return;
    TGdiBitmap* bmp = dc->S.Bitmap;
    uint32_t* bits = nullptr;
    int stride = bmp->PixelStride();
    uint32_t crb = color & 0xFF00FFu, cg = color & 0x00FF00u;
    for (const TRect& v : dc->Visible()) {
        if (v.Top >= box.Bottom) break;
        TRect r;
        if (!IntersectRect(r, v, box)) continue;
        if (!bits) bits = bmp->Pixels(box);
        for (int yy = r.Top; yy < r.Bottom; ++yy) {
            const uint8_t* cov = g.Coverage + size_t(yy - y) * g.Pitch - x;
            uint32_t* row = bits + size_t(yy) * stride;
            for (int xx = r.Left; xx < r.Right; ++xx) {
                int a = cov[xx];
                if (!a) continue;
                if (a == 255) {
                    row[xx] = color;
                    continue;
                }
                // Red and blue together, then green, with the weight scaled to 0..256.
                uint32_t d = row[xx], w = uint32_t(a + (a >> 7)), iw = 256 - w;
                uint32_t rb = ((crb * w + (d & 0xFF00FFu) * iw) >> 8) & 0xFF00FFu;
                uint32_t g = ((cg * w + (d & 0x00FF00u) * iw) >> 8) & 0x00FF00u;
                row[xx] = 0xFF000000u | rb | g;
            }
        }
    }
}

void FillClipped(HDC dc, TRect r, uint32_t color, const TRect* clip) {
    if (clip && !IntersectRect(r, r, *clip)) return;
    TPaint p;
    p.Color = color;
    FillDeviceRect(dc, r, p);
}

// Draws shaped glyphs from Left, through the context's sink when it takes them. With advances
// given per code unit the clusters are spaced by them in visual order instead of by the
// shaping.
void DrawLayout(HDC dc, TFontInstance& face, const TTextLayout& layout, int count, const int* dx,
                int left, int baseline, uint32_t color, const TRect* clip) {
    std::vector<int> clusterAt;   // with dx: each cluster's left, by its units' places
    std::vector<int> clusterLeft; // each cluster's left as shaped
    if (dx) {
        std::vector<int> byVisual(size_t(count), 0);
        for (int i = 0; i < count; ++i)
            byVisual[size_t(layout.VisualIndex[size_t(i)])] = i;
        std::vector<int> placed(size_t(count), 0);
        for (int v = 0, x = 0; v < count; ++v) {
            placed[size_t(byVisual[size_t(v)])] = x;
            x += dx[byVisual[size_t(v)]];
        }
        clusterLeft.assign(size_t(count), INT32_MAX);
        for (const TShapedGlyph& g : layout.Glyphs)
            clusterLeft[size_t(g.Cluster)] = std::min(clusterLeft[size_t(g.Cluster)], g.X);
        clusterAt.assign(size_t(count), INT32_MAX);
        for (int u = 0, owner = 0; u < count; ++u) {
            if (clusterLeft[size_t(u)] != INT32_MAX) owner = u;
            clusterAt[size_t(owner)] = std::min(clusterAt[size_t(owner)], placed[size_t(u)]);
        }
    }
    std::vector<int> pens;
    pens.reserve(layout.Glyphs.size());
    for (const TShapedGlyph& g : layout.Glyphs) {
        const size_t c = size_t(g.Cluster);
        pens.push_back(dx ? left + clusterAt[c] + g.X - clusterLeft[c] : left + g.X);
    }
    if (dc->Sink &&
        dc->Sink->Glyphs(layout.Glyphs, pens, baseline, face, color, clip, dc->Visible()))
        return;
    for (size_t i = 0; i < layout.Glyphs.size(); ++i) {
        const TShapedGlyph& g = layout.Glyphs[i];
        const TGlyphBitmap& bitmap = face.ShapedGlyph(g.Face, g.Index);
        BlendMask(dc, pens[i] + g.OffsetX + bitmap.Left, baseline - g.OffsetY - bitmap.Top, bitmap,
                  color, clip);
    }
}

} // namespace

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* r, const char16_t* text,
                 UINT count, const int* dx) {
    if (!dc) return 0;
    if (!text) count = 0;
    TGdiFont* font = CurrentFont(dc);
    TFontInstance& face = *font->Instance;
    const TFontMetrics& m = face.Metrics();
    int n = int(count);
    int extra = dc->S.CharExtra;
    TTextLayout layout;
    const bool complex = ComplexLayout(font, text, n, extra,
                                       ReadsRightToLeft(dc) || (options & ETO_RTLREADING), layout);
    int width = 0;
    if (dx) {
        for (int i = 0; i < n; ++i)
            width += dx[i];
    } else {
        width = complex ? layout.Width : RunWidth(font, text, n, extra);
    }
    UINT align = dc->S.TextAlign;
    if (align & TA_UPDATECP) {
        x = dc->S.CurPos.X;
        y = dc->S.CurPos.Y;
    }
    int left = x;
    if ((align & TA_CENTER) == TA_CENTER)
        left = x - width / 2;
    else if (align & TA_RIGHT)
        left = x - width;
    int baseline;
    if ((align & TA_BASELINE) == TA_BASELINE)
        baseline = y;
    else if (align & TA_BOTTOM)
        baseline = y - m.Descent;
    else
        baseline = y + m.Ascent;
    if (align & TA_UPDATECP) {
        if ((align & TA_CENTER) == TA_CENTER) {
        } else if (align & TA_RIGHT) {
            dc->S.CurPos.X = x - width;
        } else {
            dc->S.CurPos.X = x + width;
        }
    }
    // Device units from here on.
    int ox = dc->DX(), oy = dc->DY();
    left += ox;
    baseline += oy;
    TRect clipRect;
    const TRect* clip = nullptr;
    if (r) {
        clipRect = *r;
        OffsetRect(clipRect, ox, oy);
        if (options & ETO_CLIPPED) clip = &clipRect;
    }
    uint32_t bk = ToPixel(ResolveColor(dc->S.BkColor));
    if ((options & ETO_OPAQUE) && r) FillClipped(dc, clipRect, bk, nullptr);
    if (dc->S.BkMode == OPAQUE && n > 0)
        FillClipped(dc, TRect(left, baseline - m.Ascent, left + width, baseline + m.Descent), bk,
                    clip);
    if (n == 0) return 1;
    uint32_t color = ToPixel(ResolveColor(dc->S.TextColor));
    int pen = left;
    bool sunk = false;
    if (complex) {
        DrawLayout(dc, face, layout, n, dx, left, baseline, color, clip);
        sunk = true;
    }
    if (dc->Sink && !sunk) {
        std::u32string cps;
        std::vector<int> penX;
        for (int i = 0; i < n;) {
            int units;
            char32_t cp = CodePointAt(text, n, i, units);
            cps.push_back(cp);
            penX.push_back(pen);
            pen += PenAdvance(font, cp, extra, dx, i, units);
            i += units;
        }
        pen = left;
        sunk = dc->Sink->Text(cps, penX, baseline, face, color, clip, dc->Visible());
    }
    for (int i = 0; i < n && !sunk;) {
        int units;
        char32_t cp = CodePointAt(text, n, i, units);
        const TGlyphBitmap& g = face.Glyph(cp);
        BlendMask(dc, pen + g.Left, baseline - g.Top, g, color, clip);
        pen += PenAdvance(font, cp, extra, dx, i, units);
        i += units;
    }
    if (font->Log.lfUnderline || m.Underline) {
        int t = std::max(1, m.UnderlineThickness);
        int uy = baseline + m.UnderlinePosition;
        FillClipped(dc, TRect(left, uy, left + width, uy + t), color, clip);
    }
    if (font->Log.lfStrikeOut || m.StrikeOut) {
        int t = std::max(1, m.StrikeOutThickness);
        int sy = baseline - m.StrikeOutPosition;
        FillClipped(dc, TRect(left, sy, left + width, sy + t), color, clip);
    }
    return 1;
}

BOOL TextOutW(HDC dc, int x, int y, const char16_t* text, int count) {
    if (count < 0) return 0;
    return ExtTextOutW(dc, x, y, 0, nullptr, text, UINT(count), nullptr);
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* r, const char* text, UINT count,
                 const int* dx) {
    if (!dc) return 0;
    std::u16string w = FromAnsi(dc, text, int(count));
    // Single-byte code pages map byte for byte; otherwise the advances cannot be matched.
    const int* wdx = w.size() == count ? dx : nullptr;
    return ExtTextOutW(dc, x, y, options, r, w.data(), UINT(w.size()), wdx);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
    if (count < 0) return 0;
    return ExtTextOutA(dc, x, y, 0, nullptr, text, UINT(count), nullptr);
}

BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int count, SIZE* size) {
    if (!dc || !size || count < 0 || (!text && count > 0)) return 0;
    TGdiFont* font = CurrentFont(dc);
    size->cx = RunWidth(font, text, count, dc->S.CharExtra, ReadsRightToLeft(dc));
    size->cy = font->Instance->Metrics().Height;
    return 1;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
    if (!dc || count < 0) return 0;
    const std::u16string& w = FromAnsiScratch(dc, text, count);
    return GetTextExtentPoint32W(dc, w.data(), int(w.size()), size);
}

namespace {

// Extents of reordered or shaped text: each character's share of the width, logical order;
// false when the layout fails.
[[gnu::noinline]] bool ComplexExtents(TGdiFont* font, const char16_t* text, int count, int extra,
                                      bool rtl, int maxExtent, int& w, int& fits, int* partial) {
    TTextLayout layout;
    if (!LayoutComplexText(*font->Instance, text, count, rtl, extra, layout)) return false;
    w = 0;
    fits = 0;
    bool stillFits = true;
    for (int i = 0; i < count;) {
        int units;
        CodePointAt(text, count, i, units);
        for (int k = 0; k < units; ++k)
            w += layout.Advance[size_t(i + k)];
        for (int k = 0; k < units; ++k) {
            if (partial) partial[i + k] = w;
            if (stillFits && (maxExtent < 0 || w <= maxExtent)) ++fits;
        }
        if (maxExtent >= 0 && w > maxExtent) stillFits = false;
        i += units;
    }
    return true;
}

} // namespace

BOOL GetTextExtentExPointW(HDC dc, const char16_t* text, int count, int maxExtent, int* fit,
                           int* partial, SIZE* size) {
    if (!dc || count < 0 || (!text && count > 0)) return 0;
    TGdiFont* font = CurrentFont(dc);
    int extra = dc->S.CharExtra;
    int w = 0, fits = 0;
    bool stillFits = true;
    // Plain text is measured as it goes; right-to-left reading, or the first character that
    // needs reordering or shaping, sends the whole run to the layout.
    const bool rtl = ReadsRightToLeft(dc);
    for (int i = 0; i < count;) {
        int units;
        char32_t cp = CodePointAt(text, count, i, units);
        if ((cp >= kFirstComplexCodePoint && IsComplexCodePoint(cp)) || (rtl && i == 0))
            [[unlikely]] {
            if (ComplexExtents(font, text, count, extra, rtl, maxExtent, w, fits, partial)) break;
        }
        w += font->Advance(cp) + extra;
        for (int k = 0; k < units; ++k) {
            if (partial) partial[i + k] = w;
            if (stillFits && (maxExtent < 0 || w <= maxExtent)) ++fits;
        }
        if (maxExtent >= 0 && w > maxExtent) stillFits = false;
        i += units;
    }
    if (fit) *fit = fits;
    if (size) {
        size->cx = w;
        size->cy = font->Instance->Metrics().Height;
    }
    return 1;
}

BOOL GetTextExtentExPointA(HDC dc, const char* text, int count, int maxExtent, int* fit,
                           int* partial, SIZE* size) {
    if (!dc || count < 0) return 0;
    const std::u16string& w = FromAnsiScratch(dc, text, count);
    if (int(w.size()) == count)
        return GetTextExtentExPointW(dc, w.data(), count, maxExtent, fit, partial, size);
    // Multi-byte text: measure each byte prefix as a whole.
    TGdiFont* font = CurrentFont(dc);
    int fits = 0;
    for (int i = 0; i < count; ++i) {
        std::u16string p = FromAnsi(dc, text, i + 1);
        int pw = RunWidth(font, p.data(), int(p.size()), dc->S.CharExtra);
        if (partial) partial[i] = pw;
        if (fits == i && (maxExtent < 0 || pw <= maxExtent)) ++fits;
    }
    if (fit) *fit = fits;
    if (size) {
        size->cx = RunWidth(font, w.data(), int(w.size()), dc->S.CharExtra);
        size->cy = font->Instance->Metrics().Height;
    }
    return 1;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm) {
    if (!dc || !tm) return 0;
    TGdiFont* font = CurrentFont(dc);
    const TFontMetrics& m = font->Instance->Metrics();
    *tm = TEXTMETRICW{};
    tm->tmHeight = m.Height;
    tm->tmAscent = m.Ascent;
    tm->tmDescent = m.Descent;
    tm->tmInternalLeading = m.InternalLeading;
    tm->tmExternalLeading = m.ExternalLeading;
    tm->tmAveCharWidth = m.AveCharWidth;
    tm->tmMaxCharWidth = m.MaxCharWidth;
    tm->tmWeight = m.Weight;
    tm->tmOverhang = 0;
    tm->tmDigitizedAspectX = dc->DpiX;
    tm->tmDigitizedAspectY = dc->DpiY;
    tm->tmFirstChar = u' ';
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = u'?';
    tm->tmBreakChar = u' ';
    tm->tmItalic = m.Italic || font->Log.lfItalic ? 1 : 0;
    tm->tmUnderlined = m.Underline || font->Log.lfUnderline ? 1 : 0;
    tm->tmStruckOut = m.StrikeOut || font->Log.lfStrikeOut ? 1 : 0;
    tm->tmPitchAndFamily = m.PitchAndFamily;
    tm->tmCharSet = font->Log.lfCharSet == 1 ? m.Charset : font->Log.lfCharSet;
    return 1;
}

int GetTextFaceW(HDC dc, int count, char16_t* name) {
    if (!dc) return 0;
    TGdiFont* font = CurrentFont(dc);
    std::u16string face;
    for (int i = 0; i < LF_FACESIZE && font->Log.lfFaceName[i]; ++i)
        face += font->Log.lfFaceName[i];
    if (face.empty()) face = font->Instance->FamilyName();
    if (!name) return int(face.size()) + 1;
    if (count <= 0) return 0;
    int n = std::min(int(face.size()), count - 1);
    std::copy_n(face.data(), n, name);
    name[n] = 0;
    return n + 1;
}

DWORD GetCharacterPlacementW(HDC dc, const char16_t* text, int count, int maxExtent,
                             GCP_RESULTSW* results, DWORD flags) {
    if (!dc || !text || count <= 0) return 0;
    TGdiFont* font = CurrentFont(dc);
    const int extra = dc->S.CharExtra;
    TTextLayout layout;
    if (!ComplexLayout(font, text, count, extra, ReadsRightToLeft(dc), layout)) {
        if (NeedsComplexLayout(text, count)) return 0; // the reordering failed
        // Plain text: left to right, each code point its advance.
        layout.Caret.resize(size_t(count));
        layout.Advance.assign(size_t(count), 0);
        layout.Levels.assign(size_t(count), 0);
        layout.VisualIndex.resize(size_t(count));
        for (int i = 0; i < count;) {
            int units;
            char32_t cp = CodePointAt(text, count, i, units);
            for (int k = 0; k < units; ++k) {
                layout.Caret[size_t(i + k)] = layout.Width;
                layout.VisualIndex[size_t(i + k)] = i + k;
            }
            layout.Advance[size_t(i)] = font->Advance(cp) + extra;
            layout.Width += layout.Advance[size_t(i)];
            i += units;
        }
    }
    if (results) {
        const int room = results->nGlyphs > 0 ? std::min(int(results->nGlyphs), count) : count;
        for (int i = 0; i < room; ++i) {
            if (results->lpCaretPos) results->lpCaretPos[i] = layout.Caret[size_t(i)];
            if (results->lpDx) results->lpDx[i] = layout.Advance[size_t(i)];
            if (results->lpOrder) results->lpOrder[i] = UINT(layout.VisualIndex[size_t(i)]);
            if (results->lpClass)
                results->lpClass[i] =
                    (layout.Levels[size_t(i)] & 1) ? GCPCLASS_HEBREW : GCPCLASS_LATIN;
            const int v = layout.VisualIndex[size_t(i)];
            if (results->lpOutString && v < room) results->lpOutString[v] = text[i];
        }
        results->nGlyphs = UINT(room);
        int fit = count;
        if (flags & GCP_MAXEXTENT) {
            int w = 0;
            fit = 0;
            while (fit < count && w + layout.Advance[size_t(fit)] <= maxExtent)
                w += layout.Advance[size_t(fit++)];
        }
        results->nMaxFit = fit;
    }
    const int height = font->Instance->Metrics().Height;
    return DWORD(layout.Width & 0xFFFF) | (DWORD(height & 0xFFFF) << 16);
}

// ---- DrawText ---------------------------------------------------------------------------

namespace {

struct TLine {
    int Start = 0;
    int End = 0;
    int Width = 0;
};

class TTextLayout {
public:
    TTextLayout(HDC dc, UINT format, int tabWidth)
        : FDc(dc), FFormat(format), FTabWidth(tabWidth), FFont(CurrentFont(dc)),
          FExtra(dc->S.CharExtra) {}

    std::u16string Text;         // after prefix processing
    std::vector<int> Underlined; // indexes into Text of accelerator characters
    std::vector<TLine> Lines;

    void Prepare(const char16_t* text, int count) {
        Text.reserve(size_t(count));
        bool prefixes = !(FFormat & DT_NOPREFIX);
        for (int i = 0; i < count; ++i) {
            char16_t c = text[i];
            if (prefixes && c == u'&') {
                if (i + 1 < count && text[i + 1] == u'&') {
                    Text += u'&';
                    ++i;
                } else if (i + 1 < count) {
                    if (!(FFormat & DT_HIDEPREFIX)) Underlined.push_back(int(Text.size()));
                }
                continue;
            }
            if ((FFormat & DT_SINGLELINE) && (c == u'\r' || c == u'\n')) continue;
            Text += c;
        }
    }

    // Width of Text[a, b), tabs advancing to the next stop when they are expanded.
    int Width(int a, int b) const {
        if (!(FFormat & DT_EXPANDTABS)) return RunWidth(FFont, Text.data() + a, b - a, FExtra);
        int w = 0, seg = a;
        for (int i = a; i <= b; ++i) {
            if (i == b || Text[size_t(i)] == u'\t') {
                w += RunWidth(FFont, Text.data() + seg, i - seg, FExtra);
                if (i < b && FTabWidth > 0) w = (w / FTabWidth + 1) * FTabWidth;
                seg = i + 1;
            }
        }
        return w;
    }

    void Break(int maxWidth) {
        int n = int(Text.size());
        if (FFormat & DT_SINGLELINE) {
            Lines.push_back({0, n, Width(0, n)});
            return;
        }
        int p = 0;
        while (true) {
            int e = p;
            while (e < n && Text[size_t(e)] != u'\r' && Text[size_t(e)] != u'\n')
                ++e;
            if (FFormat & DT_WORDBREAK)
                Wrap(p, e, maxWidth);
            else
                Lines.push_back({p, e, Width(p, e)});
            if (e >= n) break;
            p = e +
                ((Text[size_t(e)] == u'\r' && e + 1 < n && Text[size_t(e) + 1] == u'\n') ? 2 : 1);
            if (p >= n) break; // a final line end opens no empty line
        }
    }

private:
    bool IsSpace(int i) const { return Text[size_t(i)] == u' '; }

    // Breaks Text[p, e) into lines at spaces; a word wider than the line stays whole.
    void Wrap(int p, int e, int maxWidth) {
        int start = p;
        while (true) {
            int lineEnd = -1, next = -1;
            int i = start;
            // Without tab stops widths add up, so the line is measured word by word.
            bool additive = !(FFormat & DT_EXPANDTABS);
            int measured = 0, measuredEnd = start;
            while (i < e) {
                int wordEnd = i;
                while (wordEnd < e && !IsSpace(wordEnd))
                    ++wordEnd;
                int w = additive ? measured + Width(measuredEnd, wordEnd) : Width(start, wordEnd);
                if (w > maxWidth && lineEnd >= 0) break;
                measured = w;
                measuredEnd = wordEnd;
                lineEnd = wordEnd;
                int sp = wordEnd;
                while (sp < e && IsSpace(sp))
                    ++sp;
                next = sp;
                i = sp;
            }
            if (lineEnd < 0) lineEnd = next = e;
            Lines.push_back({start, lineEnd, Width(start, lineEnd)});
            if (next >= e) break;
            start = next;
        }
    }

    HDC FDc;
    UINT FFormat;
    int FTabWidth;
    TGdiFont* FFont;
    int FExtra;
};

int DrawTextCore(HDC dc, const char16_t* text, int count, RECT* rect, UINT format,
                 DRAWTEXTPARAMS* params) {
    if (!dc || !rect) return 0;
    if (!text) count = 0;
    if (count < 0) {
        count = 0;
        while (text[count])
            ++count;
    }
    int tabChars = (params && params->iTabLength > 0) ? params->iTabLength : 8;
    if (format & DT_TABSTOP) {
        // The second byte of the format is the tab length in characters, not flags.
        if ((format >> 8) & 0xFF) tabChars = int((format >> 8) & 0xFF);
        format &= ~UINT(0xFF00);
    }
    TGdiFont* font = CurrentFont(dc);
    const TFontMetrics& m = font->Instance->Metrics();
    int lineHeight = m.Height + ((format & DT_EXTERNALLEADING) ? m.ExternalLeading : 0);
    int leftMargin = params ? params->iLeftMargin : 0,
        rightMargin = params ? params->iRightMargin : 0;
    TRect area(rect->Left + leftMargin, rect->Top, rect->Right - rightMargin, rect->Bottom);
    TTextLayout layout(dc, format, tabChars * std::max(1, m.AveCharWidth));
    layout.Prepare(text, count);
    layout.Break(area.Width());
    if (params) params->uiLengthDrawn = UINT(count);

    int lines = int(layout.Lines.size());
    int height = lines * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TLine& l : layout.Lines)
            widest = std::max(widest, l.Width);
        rect->Right = area.Left + widest + rightMargin;
        rect->Bottom = rect->Top + height;
        return height;
    }

    int y = area.Top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = area.Top + (area.Height() - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = area.Bottom - lineHeight;
    }
    UINT oldAlign = dc->S.TextAlign;
    dc->S.TextAlign = TA_LEFT | TA_TOP;
    UINT options = (format & DT_NOCLIP) ? 0u : UINT(ETO_CLIPPED);
    if (format & DT_RTLREADING) options |= ETO_RTLREADING;
    uint32_t color = ToPixel(ResolveColor(dc->S.TextColor));
    const std::u16string& t = layout.Text;
    std::u16string ellipsized;
    for (const TLine& line : layout.Lines) {
        const char16_t* s = t.data() + line.Start;
        int n = line.End - line.Start, w = line.Width;
        if ((format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) &&
            w > area.Width()) {
            // Keep the longest prefix that leaves room for the dots.
            int dots = RunWidth(font, u"...", 3, dc->S.CharExtra);
            // Widths grow with the prefix: binary search for the longest that fits.
            int lo = 0, hi = n;
            while (lo < hi) {
                int mid = (lo + hi + 1) / 2;
                if (layout.Width(line.Start, line.Start + mid) + dots <= area.Width())
                    lo = mid;
                else
                    hi = mid - 1;
            }
            int keep = lo;
            if (keep > 0 && IsLowSurrogate(s[keep]) && IsHighSurrogate(s[keep - 1])) --keep;
            ellipsized.assign(s, size_t(keep));
            ellipsized += u"...";
            s = ellipsized.data();
            n = int(ellipsized.size());
            w = layout.Width(line.Start, line.Start + keep) + dots;
        }
        int x = area.Left;
        if (format & DT_CENTER)
            x = area.Left + (area.Width() - w) / 2;
        else if (format & DT_RIGHT)
            x = area.Right - w;
        if (format & DT_EXPANDTABS) {
            // Draw between tabs, each piece at its stop.
            int seg = 0;
            for (int i = 0; i <= n; ++i) {
                if (i < n && s[i] != u'\t') continue;
                int px = x + (seg > 0 ? layout.Width(line.Start, line.Start + seg) : 0);
                ExtTextOutW(dc, px, y, options, &area, s + seg, UINT(i - seg), nullptr);
                seg = i + 1;
            }
        } else {
            ExtTextOutW(dc, x, y, options, &area, s, UINT(n), nullptr);
        }
        for (int u : layout.Underlined) {
            if (u < line.Start || u >= line.Start + n || u >= line.End) continue;
            int ux = x + layout.Width(line.Start, u) + dc->DX();
            int uw = layout.Width(u, u + 1);
            int uy = y + m.Ascent + m.UnderlinePosition + dc->DY();
            TRect ur(ux, uy, ux + uw, uy + std::max(1, m.UnderlineThickness));
            TRect clip = area;
            OffsetRect(clip, dc->DX(), dc->DY());
            FillClipped(dc, ur, color, (format & DT_NOCLIP) ? nullptr : &clip);
        }
        y += lineHeight;
    }
    dc->S.TextAlign = oldAlign;
    return height;
}

} // namespace

int DrawTextExW(HDC dc, const char16_t* text, int count, RECT* r, UINT format,
                DRAWTEXTPARAMS* params) {
    return DrawTextCore(dc, text, count, r, format, params);
}

int DrawTextW(HDC dc, const char16_t* text, int count, RECT* r, UINT format) {
    return DrawTextCore(dc, text, count, r, format, nullptr);
}

int DrawTextExA(HDC dc, const char* text, int count, RECT* r, UINT format, DRAWTEXTPARAMS* params) {
    if (!dc) return 0;
    if (text && count < 0) count = int(std::strlen(text));
    std::u16string w = FromAnsi(dc, text, count);
    return DrawTextCore(dc, w.data(), int(w.size()), r, format, params);
}

int DrawTextA(HDC dc, const char* text, int count, RECT* r, UINT format) {
    return DrawTextExA(dc, text, count, r, format, nullptr);
}

} // namespace epc
