// Assignment between TBitmap32 and the framework's pictures.

#include "components/graphics/Bitmap32.h"
#include "platform/graphics/Bitmap.h"
#include "platform/controls/Clipbrd.h"
#include "platform/graphics/Graphics.h"

namespace epc {

namespace {

void MakeOpaque(TBitmap32& b) {
    TColor32* p = b.Bits();
    for (size_t i = 0, n = size_t(b.Width()) * size_t(b.Height()); i < n; ++i) p[i] |= 0xFF000000;
}

}  // namespace

bool TBitmap32::AssignFromGraphic(TPersistent* source) {
    TGraphic* graphic = nullptr;
    TPicture fromClipboard;
    if (auto* clipboard = dynamic_cast<TClipboard*>(source)) {
        // Whatever picture the clipboard holds is drawn like any other picture.
        fromClipboard.Assign(clipboard);
        graphic = fromClipboard.Graphic();
        if (!graphic) {
            SetSize(0, 0);
            return true;
        }
    } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
        graphic = picture->Graphic();
        if (!graphic) {
            SetSize(0, 0);
            return true;
        }
    } else {
        graphic = dynamic_cast<TGraphic*>(source);
    }
    if (!graphic) return false;

    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic); bitmap && !fromClipboard.Graphic()) {
        SetSize(bitmap->Width(), bitmap->Height());
        if (IsEmpty()) return true;
        BitBlt(DC(), 0, 0, FWidth, FHeight, bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
        if (bitmap->PixelFormat() != pf32bit) MakeOpaque(*this);
        return true;
    }
    SetSize(graphic->Width(), graphic->Height());
    if (IsEmpty()) return true;
    TCanvas canvas;
    canvas.SetHandle(DC());
    graphic->Draw(&canvas, TRect(0, 0, FWidth, FHeight));
    canvas.SetHandle(nullptr);
    MakeOpaque(*this);
    return true;
}

bool TBitmap32::AssignToGraphic(TPersistent* dest) {
    if (auto* clipboard = dynamic_cast<TClipboard*>(dest)) {
        TBitmap bitmap;
        AssignToGraphic(&bitmap);
        clipboard->Assign(&bitmap);
        return true;
    }
    TBitmap* bitmap = dynamic_cast<TBitmap*>(dest);
    if (auto* picture = dynamic_cast<TPicture*>(dest)) bitmap = picture->Bitmap();
    if (!bitmap) return false;
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(FWidth, FHeight);
    if (!IsEmpty()) DrawToDC(bitmap->Canvas()->Handle(), 0, 0);
    return true;
}

}  // namespace epc
