// The device-context side of TBitmap32: a device-independent section holding the bitmap's
// pixels, with a memory context over it, made when a caller first asks for either.

#include <cstring>

#include "components/graphics/Bitmap32.h"
#include "components/graphics/Bitmap32Dib.h"
#include "platform/core/Exceptions.h"
#include "platform/graphics/Graphics.h"

namespace epc {

TBitmap32Dib::~TBitmap32Dib() {
    Canvas.reset();
    ReleaseDib();
}

void TBitmap32Dib::DeselectFont() {
    if (FontSelected && Dc) SelectObject(Dc, GetStockObject(SYSTEM_FONT));
    FontSelected = false;
}

void TBitmap32Dib::ReleaseDib() {
    DeselectFont();
    if (Canvas) Canvas->SetHandle(nullptr);
    if (Dc) {
        SelectObject(Dc, OldBitmap);
        DeleteDC(Dc);
    }
    if (Dib) {
        if (Owner.FBits == DibBits) Owner.FBits = nullptr;
        DeleteObject(Dib);
    }
    Dc = nullptr;
    Dib = nullptr;
    DibBits = nullptr;
    OldBitmap = nullptr;
}

void TBitmap32Dib::MakeDib() {
    if (Dib || Owner.IsEmpty()) return;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &Owner.FBitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !bits) {
        if (dib) DeleteObject(dib);
        throw Exception("Can't allocate the DIB handle");
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(dib);
        throw Exception("Can't create compatible DC");
    }
    HGDIOBJ old = SelectObject(dc, dib);
    if (!old) {
        DeleteDC(dc);
        DeleteObject(dib);
        throw Exception("Can't select an object into DC");
    }
    // The pixels move into the section; from now on both sides address the same memory.
    std::memcpy(bits, Owner.FBits, size_t(Owner.FWidth) * size_t(Owner.FHeight) * 4);
    Owner.FreeOwnBits();
    Owner.FBits = static_cast<TColor32*>(bits);
    Dib = dib;
    Dc = dc;
    DibBits = Owner.FBits;
    OldBitmap = old;
    if (Canvas) Canvas->SetHandle(Dc);
}

void TBitmap32Dib::Reattach() {
    // A canvas always has a context over the current pixels.
    if (Canvas) MakeDib();
}

TBitmap32Dib& TBitmap32Dib::Of(TBitmap32& bitmap) {
    if (!bitmap.FSurface) bitmap.FSurface = std::make_unique<TBitmap32Dib>(bitmap);
    return static_cast<TBitmap32Dib&>(*bitmap.FSurface);
}

HBITMAP TBitmap32::Handle() {
    TBitmap32Dib& s = TBitmap32Dib::Of(*this);
    s.MakeDib();
    return s.Dib;
}

HDC TBitmap32::DC() {
    TBitmap32Dib& s = TBitmap32Dib::Of(*this);
    s.MakeDib();
    return s.Dc;
}

TCanvas* TBitmap32::Canvas() {
    TBitmap32Dib& s = TBitmap32Dib::Of(*this);
    if (!s.Canvas) {
        s.Canvas = std::make_unique<TCanvas>();
        s.MakeDib();
        if (s.Dc) s.Canvas->SetHandle(s.Dc);
        s.Canvas->OnChange = [this](TObject*) { NotifyChanged(); };
    }
    return s.Canvas.get();
}

TFont* TBitmap32::Font() {
    TBitmap32Dib& s = TBitmap32Dib::Of(*this);
    if (!s.Font) {
        s.Font = std::make_unique<TFont>();
        s.Font->OnChange = [&s](TObject*) { s.DeselectFont(); };
    }
    return s.Font.get();
}

void TBitmap32::DrawToDC(HDC dc, int32_t x, int32_t y) {
    if (IsEmpty() || !dc) return;
    StretchDIBits(dc, x, y, FWidth, FHeight, 0, 0, FWidth, FHeight, FBits, &FBitmapInfo,
                  DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace epc
