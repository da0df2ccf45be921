#include "components/controls/TiledImage.h"

#include "components/controls/PngFunctions.h"
#include "platform/controls/ControlStreaming.h"
#include "platform/controls/Forms.h"
#include "platform/core/ScopeGuard.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

namespace {

int FloorMod(int a, int m) {
    return ((a % m) + m) % m;
}

const TColor kEdgeColor = TColor(RGB(235, 116, 41));

} // namespace

TTiledImage::TTiledImage(TComponent* owner)
    : TGraphicControl(owner), FPicture(std::make_unique<TPicture>()),
      FTileCache(std::make_unique<TBitmap>()), FTopLeftCorner(std::make_unique<TPngImage>()),
      FTopRightCorner(std::make_unique<TPngImage>()),
      FBottomLeftCorner(std::make_unique<TPngImage>()),
      FBottomRightCorner(std::make_unique<TPngImage>()),
      FVerticalLine(std::make_unique<TPngImage>()), FHorizontalLine(std::make_unique<TPngImage>()),
      FTopLeftCornerMask(std::make_unique<TBitmap>()),
      FTopRightCornerMask(std::make_unique<TBitmap>()),
      FBottomLeftCornerMask(std::make_unique<TBitmap>()),
      FBottomRightCornerMask(std::make_unique<TBitmap>()) {
    FControlStyle.Include(csOpaque);
    for (TBitmap* mask : {FTopLeftCornerMask.get(), FTopRightCornerMask.get(),
                          FBottomLeftCornerMask.get(), FBottomRightCornerMask.get()})
        PrepareMask(mask);
    FPicture->OnChange = [this](TObject* s) { PictureChanged(s); };
    SetBounds(0, 0, 105, 105);
}

TTiledImage::~TTiledImage() {
    FPicture->OnChange = nullptr;
}

void TTiledImage::SetAutoSize(bool value) {
    if (FAutoSize == value) return;
    FAutoSize = value;
    if (value) PictureChanged(nullptr);
}

void TTiledImage::SetLineWidth(int value) {
    if (FLineWidth == value || value < 0) return;
    FLineWidth = value;
    Invalidate();
}

void TTiledImage::SetPng(TPngImage* target, TPngImage* value) {
    if (value)
        target->Assign(value);
    else
        target->CreateBlank(COLOR_RGBALPHA, 8, 0, 0);
    Invalidate();
}

void TTiledImage::PrepareMask(TBitmap* mask) {
    mask->SetMonochrome(true);
    mask->SetTransparentColor(clWhite);
}

void TTiledImage::SetMask(TBitmap* target, TBitmap* value) {
    if (value)
        target->Assign(value);
    else
        target->SetSize(0, 0);
    PrepareMask(target);
    Invalidate();
}

void TTiledImage::PictureChanged(TObject*) {
    FCacheValid = false;
    if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0)
        SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
    if (TGraphic* g = FPicture->Graphic(); g && g->PaletteModified()) {
        if (TCustomForm* form = GetParentForm(this); form && form->HandleAllocated()) {
            if (FPainting)
                SendMessage(form->Handle(), WM_QUERYNEWPALETTE, 0, 0);
            else
                PostMessage(form->Handle(), WM_QUERYNEWPALETTE, 0, 0);
        }
    }
    if (!FPainting) Invalidate();
}

void TTiledImage::UpdateTileCache() {
    int pw = FPicture->Width(), ph = FPicture->Height();
    if (FCacheValid && FTileCache->Width() == pw * 2 && FTileCache->Height() == ph * 2) return;
    FTileCache->SetSize(pw * 2, ph * 2);
    TCanvas* c = FTileCache->Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect(0, 0, pw * 2, ph * 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            c->Draw(x * pw, y * ph, FPicture->Graphic());
    FCacheValid = true;
}

void TTiledImage::CopyParentAligned(TCanvas* dest, const TRect& area, TPoint destOrigin) {
    int pw = FPicture->Width(), ph = FPicture->Height();
    if (!FPicture->Graphic() || pw <= 0 || ph <= 0 || area.IsEmpty()) return;
    UpdateTileCache();
    // Pieces of at most one tile, each copied out of the 2 x 2 cache in one piece.
    for (int y = area.Top; y < area.Bottom;) {
        int sy = FloorMod(Top() + y, ph);
        int h = std::min(ph, area.Bottom - y);
        for (int x = area.Left; x < area.Right;) {
            int sx = FloorMod(Left() + x, pw);
            int w = std::min(pw, area.Right - x);
            int dx = x - destOrigin.X, dy = y - destOrigin.Y;
            dest->CopyRect(TRect(dx, dy, dx + w, dy + h), FTileCache->Canvas(),
                           TRect(sx, sy, sx + w, sy + h));
            x += w;
        }
        y += h;
    }
}

void TTiledImage::PaintParentAligned(TCanvas* canvas, const TRect& rect) {
    CopyParentAligned(canvas, rect, TPoint(0, 0));
}

void TTiledImage::PaintCornerMask(TBitmap* mask, int x, int y) {
    if (mask->Empty() || !FPicture->Graphic()) return;
    TRect target = Bounds(x, y, mask->Width(), mask->Height());
    TBitmap piece(target.Width(), target.Height(), pf32bit);
    CopyParentAligned(piece.Canvas(), target, target.TopLeft());
    TPngImage png;
    ConvertToPNG(&piece, mask, &png);
    png.Draw(Canvas(), target);
}

void TTiledImage::Paint() {
    FPainting = true;
    auto done = Finally([this] { FPainting = false; });
    TCanvas* c = Canvas();
    int w = Width(), h = Height();
    if (ComponentState().Contains(TComponentStateItem::csDesigning)) {
        c->Pen()->SetStyle(psDash);
        c->Brush()->SetStyle(bsClear);
        c->Rectangle(0, 0, w, h);
    }
    // The body in line with the parent as well, so that two images side by side meet
    // without a seam.
    PaintParentAligned(c, TRect(0, 0, w, h));

    PaintCornerMask(FTopLeftCornerMask.get(), 0, 0);
    PaintCornerMask(FTopRightCornerMask.get(), w - FTopRightCornerMask->Width(), 0);
    PaintCornerMask(FBottomLeftCornerMask.get(), 0, h - FBottomLeftCornerMask->Height());
    PaintCornerMask(FBottomRightCornerMask.get(), w - FBottomRightCornerMask->Width(),
                    h - FBottomRightCornerMask->Height());

    auto drawCorner = [&](TPngImage* png, int x, int y) {
        if (!png->Empty()) png->Draw(c, Bounds(x, y, png->Width(), png->Height()));
    };
    drawCorner(FTopLeftCorner.get(), 0, 0);
    drawCorner(FTopRightCorner.get(), w - FTopRightCorner->Width(), 0);
    drawCorner(FBottomLeftCorner.get(), 0, h - FBottomLeftCorner->Height());
    drawCorner(FBottomRightCorner.get(), w - FBottomRightCorner->Width(),
               h - FBottomRightCorner->Height());

    c->Pen()->SetStyle(psSolid);
    c->Pen()->SetColor(kEdgeColor);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(kEdgeColor);
    int lw = FLineWidth;
    if (!FTopLeftCorner->Empty() && !FBottomLeftCorner->Empty())
        c->FillRect(TRect(0, FTopLeftCorner->Height(), lw, h - FBottomLeftCorner->Height()));
    if (!FTopRightCorner->Empty() && !FBottomRightCorner->Empty())
        c->FillRect(TRect(w - lw, FTopRightCorner->Height(), w, h - FBottomRightCorner->Height()));
    if (!FTopLeftCorner->Empty() && !FTopRightCorner->Empty())
        c->FillRect(TRect(FTopLeftCorner->Width(), 0, w - FTopRightCorner->Width(), lw));
    if (!FBottomLeftCorner->Empty() && !FBottomRightCorner->Empty())
        c->FillRect(TRect(FBottomLeftCorner->Width(), h - lw, w - FBottomRightCorner->Width(), h));
}

namespace {

[[maybe_unused]] const bool TiledImageRegistered = [] {
    using T = TTiledImage;
    PublishControlProperties("TTiledImage", "TGraphicControl",
                             {"Align", "Anchors", "ParentShowHint", "Visible"});
    TPublished<T>("TTiledImage", "TGraphicControl")
        .Object("Picture", &T::Picture)
        .Object("TopLeftCorner", &T::TopLeftCorner)
        .Object("TopRightCorner", &T::TopRightCorner)
        .Object("BottomLeftCorner", &T::BottomLeftCorner)
        .Object("BottomRightCorner", &T::BottomRightCorner)
        .Object("VerticalLine", &T::VerticalLine)
        .Object("HorizontalLine", &T::HorizontalLine)
        .Object("TopLeftCornerMask", &T::TopLeftCornerMask)
        .Object("TopRightCornerMask", &T::TopRightCornerMask)
        .Object("BottomLeftCornerMask", &T::BottomLeftCornerMask)
        .Object("BottomRightCornerMask", &T::BottomRightCornerMask)
        .Integer("BackgroundItem", &T::BackgroundItem, &T::SetBackgroundItem, 0);
    RegisterClass<T>("TTiledImage");
    return true;
}();

} // namespace

} // namespace epc
