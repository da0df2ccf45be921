// The unit's helpers that work on device contexts: text shortening, line-wise wide-text drawing
// and alpha blending between two 32-bit bitmaps.

#include <algorithm>

#include "components/tree/TreeUnit.h"

namespace epc {

namespace {

int TextWidth(HDC DC, const char16_t* text, int count) {
    SIZE size;
    if (count <= 0) return 0;
    GetTextExtentPoint32W(DC, text, count, &size);
    return size.cx;
}

} // namespace

std::u16string ShortenString(HDC DC, const std::u16string& S, int Width, bool RTL) {
    (void)RTL; // the ellipsis follows the text in both reading orders
    if (Width <= 0 || S.empty()) return S;
    if (TextWidth(DC, S.data(), int(S.size())) <= Width) return S;
    static const std::u16string ellipsis = u"...";
    int ellipsisWidth = TextWidth(DC, ellipsis.data(), 3);
    int L = 0, H = int(S.size());
    // Binary search for the longest prefix that fits with the ellipsis.
    while (L < H) {
        int N = (L + H + 1) / 2;
        if (TextWidth(DC, S.data(), N) + ellipsisWidth <= Width)
            L = N;
        else
            H = N - 1;
    }
    return S.substr(0, size_t(L)) + ellipsis;
}

void DrawTextLinesW(HDC DC, const std::u16string& Text, TRect& Bounds, UINT Format) {
    const bool calc = (Format & DT_CALCRECT) != 0;
    // Split into lines at LF, CR, CR LF and U+2028; a single-line request keeps one line.
    std::vector<std::u16string> lines;
    if (Format & DT_SINGLELINE) {
        lines.push_back(Text);
    } else {
        std::u16string current;
        for (size_t i = 0; i < Text.size(); ++i) {
            char16_t c = Text[i];
            if (c == u'\r' || c == u'\n' || c == 0x2028) {
                if (c == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') ++i;
                lines.push_back(current);
                current.clear();
            } else {
                current += c;
            }
        }
        lines.push_back(current);
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(DC, &tm);
    const int lineHeight = tm.tmHeight;
    int y = Bounds.Top;
    if ((Format & DT_VCENTER) && (Format & DT_SINGLELINE))
        y = Bounds.Top + (Bounds.Height() - lineHeight) / 2;
    int widest = 0;
    for (const auto& line : lines) {
        if (!calc && y >= Bounds.Bottom && !(Format & DT_NOCLIP)) break;
        int w = TextWidth(DC, line.data(), int(line.size()));
        widest = std::max(widest, w);
        if (!calc) {
            int x = Bounds.Left;
            if (Format & DT_RIGHT)
                x = Bounds.Right - w;
            else if (Format & DT_CENTER)
                x = Bounds.Left + (Bounds.Width() - w) / 2;
            UINT options = (Format & DT_NOCLIP) ? 0u : UINT(ETO_CLIPPED);
            if (Format & DT_RTLREADING) options |= ETO_RTLREADING;
            ExtTextOutW(DC, x, y, options, &Bounds, line.data(), UINT(line.size()), nullptr);
        }
        y += lineHeight;
    }
    if (calc) {
        Bounds.Right = Bounds.Left + widest;
        Bounds.Bottom = y;
    }
}

void AlphaBlend(HDC Source, HDC Destination, const TRect& R, const TPoint& Target, TBlendMode Mode,
                int ConstantAlpha, int Bias) {
    if (R.IsEmpty()) return;
    HBITMAP dstBitmap = GetDCBitmap(Destination);
    Assert(dstBitmap != nullptr, "Alpha blending DC error: no bitmap available.");
    TBitmapBits dst = GetBitmapBits(dstBitmap);
    Assert(dst.BitsPerPixel == 32, "Alpha blending error: bitmap must use 32 bpp.");
    TBitmapBits src;
    if (Mode != TBlendMode::bmConstantAlphaAndColor) {
        HBITMAP srcBitmap = GetDCBitmap(Source);
        Assert(srcBitmap != nullptr, "Alpha blending DC error: no bitmap available.");
        src = GetBitmapBits(srcBitmap);
        Assert(src.BitsPerPixel == 32, "Alpha blending error: bitmap must use 32 bpp.");
    }
    // Clip the source rectangle and the target area to both bitmaps, so that no pixel outside
    // them is read or written.
    int sx = R.Left, sy = R.Top, w = R.Width(), h = R.Height();
    int tx = Target.X, ty = Target.Y;
    auto clip = [&](int& s, int& t, int& len, int srcLimit, int dstLimit, bool hasSource) {
        if (t < 0) {
            s -= t;
            len += t;
            t = 0;
        }
        if (hasSource && s < 0) {
            t -= s;
            len += s;
            s = 0;
        }
        len = std::min(len, dstLimit - t);
        if (hasSource) len = std::min(len, srcLimit - s);
    };
    const bool hasSource = Mode != TBlendMode::bmConstantAlphaAndColor;
    clip(sx, tx, w, src.Width, dst.Width, hasSource);
    clip(sy, ty, h, src.Height, dst.Height, hasSource);
    if (w <= 0 || h <= 0) return;
    for (int row = 0; row < h; ++row) {
        auto* d =
            reinterpret_cast<uint32_t*>(dst.Bits + size_t(ty + row) * size_t(dst.Stride)) + tx;
        const uint32_t* s = nullptr;
        if (hasSource)
            s = reinterpret_cast<const uint32_t*>(src.Bits +
                                                  size_t(sy + row) * size_t(src.Stride)) +
                sx;
        switch (Mode) {
        case TBlendMode::bmConstantAlpha:
            AlphaBlendLineConstant(s, d, w, ConstantAlpha, Bias);
            break;
        case TBlendMode::bmPerPixelAlpha:
            AlphaBlendLinePerPixel(s, d, w, Bias);
            break;
        case TBlendMode::bmMasterAlpha:
            AlphaBlendLineMaster(s, d, w, ConstantAlpha, Bias);
            break;
        case TBlendMode::bmConstantAlphaAndColor:
            AlphaBlendLineMasterAndColor(d, w, ConstantAlpha, uint32_t(Bias));
            break;
        }
    }
}

} // namespace epc
