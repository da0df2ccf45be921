// The unit's helpers that work on device contexts: text shortening, line-wise wide-text drawing
// and alpha blending between two 32-bit bitmaps.

#include <algorithm>

#include "components/tree/TreeUnit.h"

namespace epc {

namespace {

int TextWidth(HDC dc, const char16_t* text, int count) {
    SIZE size;
    if (count <= 0) return 0;
    GetTextExtentPoint32W(dc, text, count, &size);
    return size.cx;
}

} // namespace

// The ellipsis follows the text in both reading orders, so the reading order is not needed.
std::u16string ShortenString(HDC dc, const std::u16string& s, int width, bool) {
    if (width <= 0 || s.empty()) return s;
    if (TextWidth(dc, s.data(), int(s.size())) <= width) return s;
    static const std::u16string ellipsis = u"...";
    int ellipsisWidth = TextWidth(dc, ellipsis.data(), 3);
    int l = 0, h = int(s.size());
    // Binary search for the longest prefix that fits with the ellipsis.
    while (l < h) {
        int n = (l + h + 1) / 2;
        if (TextWidth(dc, s.data(), n) + ellipsisWidth <= width)
            l = n;
        else
            h = n - 1;
    }
    return s.substr(0, size_t(l)) + ellipsis;
}

void DrawTextLinesW(HDC dc, const std::u16string& text, TRect& bounds, UINT format) {
    const bool calc = (format & DT_CALCRECT) != 0;
    // Split into lines at LF, CR, CR LF and U+2028; a single-line request keeps one line.
    std::vector<std::u16string> lines;
    if (format & DT_SINGLELINE) {
        lines.push_back(text);
    } else {
        std::u16string current;
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t c = text[i];
            if (c == u'\r' || c == u'\n' || c == 0x2028) {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                lines.push_back(current);
                current.clear();
            } else {
                current += c;
            }
        }
        lines.push_back(current);
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const int lineHeight = tm.tmHeight;
    int y = bounds.Top;
    if ((format & DT_VCENTER) && (format & DT_SINGLELINE))
        y = bounds.Top + (bounds.Height() - lineHeight) / 2;
    int widest = 0;
    for (const auto& line : lines) {
        if (!calc && y >= bounds.Bottom && !(format & DT_NOCLIP)) break;
        int w = TextWidth(dc, line.data(), int(line.size()));
        widest = std::max(widest, w);
        if (!calc) {
            int x = bounds.Left;
            if (format & DT_RIGHT)
                x = bounds.Right - w;
            else if (format & DT_CENTER)
                x = bounds.Left + (bounds.Width() - w) / 2;
            UINT options = (format & DT_NOCLIP) ? 0u : UINT(ETO_CLIPPED);
            if (format & DT_RTLREADING) options |= ETO_RTLREADING;
            ExtTextOutW(dc, x, y, options, &bounds, line.data(), UINT(line.size()), nullptr);
        }
        y += lineHeight;
    }
    if (calc) {
        bounds.Right = bounds.Left + widest;
        bounds.Bottom = y;
    }
}

void AlphaBlend(HDC source, HDC destination, const TRect& r, const TPoint& target, TBlendMode mode,
                int constantAlpha, int bias) {
    if (r.IsEmpty()) return;
    HBITMAP dstBitmap = GetDCBitmap(destination);
    Assert(dstBitmap != nullptr, "Alpha blending DC error: no bitmap available.");
    TBitmapBits dst = GetBitmapBits(dstBitmap);
    Assert(dst.BitsPerPixel == 32, "Alpha blending error: bitmap must use 32 bpp.");
    TBitmapBits src;
    if (mode != TBlendMode::bmConstantAlphaAndColor) {
        HBITMAP srcBitmap = GetDCBitmap(source);
        Assert(srcBitmap != nullptr, "Alpha blending DC error: no bitmap available.");
        src = GetBitmapBits(srcBitmap);
        Assert(src.BitsPerPixel == 32, "Alpha blending error: bitmap must use 32 bpp.");
    }
    // Clip the source rectangle and the target area to both bitmaps, so that no pixel outside
    // them is read or written.
    int sx = r.Left, sy = r.Top, w = r.Width(), h = r.Height();
    int tx = target.X, ty = target.Y;
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
    const bool hasSource = mode != TBlendMode::bmConstantAlphaAndColor;
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
        switch (mode) {
        case TBlendMode::bmConstantAlpha:
            AlphaBlendLineConstant(s, d, w, constantAlpha, bias);
            break;
        case TBlendMode::bmPerPixelAlpha:
            AlphaBlendLinePerPixel(s, d, w, bias);
            break;
        case TBlendMode::bmMasterAlpha:
            AlphaBlendLineMaster(s, d, w, constantAlpha, bias);
            break;
        case TBlendMode::bmConstantAlphaAndColor:
            AlphaBlendLineMasterAndColor(d, w, constantAlpha, uint32_t(bias));
            break;
        }
    }
}

} // namespace epc
