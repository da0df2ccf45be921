#include "richtext/view/RVBackground.h"

#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVGraphicSupport.h"

namespace epc {

namespace {

bool HasPicture(const TGraphic* g) {
    return g && !g->Empty();
}

// Floor division: tiles left of or above the grid's origin have negative numbers.
int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

TRVBackground::TRVBackground(bool createBitmap) {
    if (createBitmap) FBitmap = std::make_unique<TBitmap>();
}

TRVBackground::~TRVBackground() = default;

void TRVBackground::AssignImage(TGraphic* graphic) {
    FImage.reset();
    FBitmap.reset();
    if (graphic) FImage = RVCopyGraphic(*graphic);
    Changed();
}

void TRVBackground::SetStyle(TBackgroundStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    Changed();
}

void TRVBackground::Changed() {
    if (OnChange) OnChange();
}

TGraphic* TRVBackground::Picture() const {
    if (FImage) return FImage.get();
    return FBitmap.get();
}

bool TRVBackground::ScrollRequiresFullRedraw() const {
    if (!HasPicture(Picture())) return false;
    return FStyle != TBackgroundStyle::bsNoBitmap && FStyle != TBackgroundStyle::bsTiledAndScrolled;
}

bool TRVBackground::IsColorOnly() const {
    return FStyle == TBackgroundStyle::bsNoBitmap && !HasPicture(Picture());
}

void TRVBackground::Draw(TCanvas* canvas, TRect rect, bool clip, TColor color, int areaWidth,
                         int areaHeight, int dx, int dy, int scrollY, int scrollX) const {
    if (!canvas) return;
    HDC dc = canvas->Handle();
    int saved = 0;
    if (clip) {
        saved = SaveDC(dc);
        IntersectClipRect(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
    }
    auto restore = Finally([&] {
        if (clip) RestoreDC(dc, saved);
    });
    TGraphic* pic = Picture();
    const bool picture = HasPicture(pic) && FStyle != TBackgroundStyle::bsNoBitmap;
    if (color != clNone &&
        (!picture || pic->Transparent() || FStyle == TBackgroundStyle::bsCentered ||
         FStyle >= TBackgroundStyle::bsTopLeft)) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(color);
        canvas->FillRect(rect);
    }
    if (!picture) return;
    TRect area = rect;
    area.Left -= dx;
    area.Right -= dx;
    area.Top -= dy;
    area.Bottom -= dy;
    DrawPicture(canvas, area, areaWidth, areaHeight, dx, dy, scrollY, scrollX, nullptr);
}

void TRVBackground::DrawScaled(TCanvas* canvas, TRect rect, TColor color, int areaWidth,
                               int areaHeight, int dx, int dy,
                               const TRVResolutionInfo& resolution) const {
    if (!canvas) return;
    TGraphic* pic = Picture();
    const bool picture = HasPicture(pic) && FStyle != TBackgroundStyle::bsNoBitmap;
    if (color != clNone &&
        (!picture || pic->Transparent() || FStyle == TBackgroundStyle::bsCentered ||
         FStyle >= TBackgroundStyle::bsTopLeft)) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(color);
        canvas->FillRect(rect);
    }
    if (!picture) return;
    HDC dc = canvas->Handle();
    const int saved = SaveDC(dc);
    auto restore = Finally([&] { RestoreDC(dc, saved); });
    IntersectClipRect(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
    TRect area(rect.Left - dx, rect.Top - dy, rect.Right - dx, rect.Bottom - dy);
    DrawPicture(canvas, area, areaWidth, areaHeight, dx, dy, 0, 0, &resolution);
}

void TRVBackground::DrawPicture(TCanvas* canvas, const TRect& area, int areaWidth, int areaHeight,
                                int dx, int dy, int scrollY, int scrollX,
                                const TRVResolutionInfo* resolution) const {
    TGraphic* pic = Picture();
    int w = pic->Width(), h = pic->Height();
    if (resolution) {
        w = resolution->Scaling().XToDevice(w);
        h = resolution->Scaling().YToDevice(h);
    }
    if (w <= 0 || h <= 0) return;
    auto* bitmap = dynamic_cast<TBitmap*>(pic);
    // One copy of the picture at area point (x, y), W x H pixels on the canvas.
    auto put = [&](int x, int y, int cw, int ch) {
        const int cx = x + dx, cy = y + dy;
        // CW and CH are already device pixels when drawing for a device.
        if (bitmap) {
            if (cw == bitmap->Width() && ch == bitmap->Height())
                BitBlt(canvas->Handle(), cx, cy, cw, ch, bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
            else
                StretchBlt(canvas->Handle(), cx, cy, cw, ch, bitmap->Canvas()->Handle(), 0, 0,
                           bitmap->Width(), bitmap->Height(), SRCCOPY);
        } else if (cw == pic->Width() && ch == pic->Height()) {
            canvas->Draw(cx, cy, pic);
        } else {
            canvas->StretchDraw(TRect(cx, cy, cx + cw, cy + ch), pic);
        }
    };
    switch (FStyle) {
    case TBackgroundStyle::bsStretched:
        put(0, 0, areaWidth, areaHeight);
        break;
    case TBackgroundStyle::bsTiled:
    case TBackgroundStyle::bsTiledAndScrolled: {
        // The scrolling grid is fixed to the document, so it moves with the scroll offsets.
        const int sx = FStyle == TBackgroundStyle::bsTiledAndScrolled ? scrollX : 0;
        const int sy = FStyle == TBackgroundStyle::bsTiledAndScrolled ? scrollY : 0;
        const int row0 = FloorDiv(area.Top + sy, h), row1 = FloorDiv(area.Bottom + sy, h);
        const int col0 = FloorDiv(area.Left + sx, w), col1 = FloorDiv(area.Right + sx, w);
        for (int row = row0; row <= row1; ++row)
            for (int col = col0; col <= col1; ++col)
                put(col * w - sx, row * h - sy, w, h);
        break;
    }
    case TBackgroundStyle::bsCentered:
        put((areaWidth - w) / 2, (areaHeight - h) / 2, w, h);
        break;
    case TBackgroundStyle::bsTopLeft:
        put(0, 0, w, h);
        break;
    case TBackgroundStyle::bsTopRight:
        put(areaWidth - w, 0, w, h);
        break;
    case TBackgroundStyle::bsBottomLeft:
        put(0, areaHeight - h, w, h);
        break;
    case TBackgroundStyle::bsBottomRight:
        put(areaWidth - w, areaHeight - h, w, h);
        break;
    case TBackgroundStyle::bsNoBitmap:
        break;
    }
}

} // namespace epc
