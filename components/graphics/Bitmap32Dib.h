#pragma once
// The section, memory context, canvas and font of a TBitmap32 (platform side).

#include "components/graphics/Bitmap32.h"

namespace epc {

class TBitmap32Dib : public TBitmap32Surface {
public:
    explicit TBitmap32Dib(TBitmap32& owner) : Owner(owner) {}
    ~TBitmap32Dib() override;
    void ReleaseDib() override;
    void Reattach() override;
    // Makes the section and the context when the bitmap is not empty and has none.
    void MakeDib();
    static TBitmap32Dib& Of(TBitmap32& bitmap);

    TBitmap32& Owner;
    HBITMAP Dib = nullptr;
    HDC Dc = nullptr;
    TColor32* DibBits = nullptr;
    HGDIOBJ OldBitmap = nullptr;
    std::unique_ptr<TCanvas> Canvas;
    std::unique_ptr<TFont> Font;
    bool FontSelected = false;

    // Takes the bitmap's font out of the context, so that the next text operation selects
    // the font as it is now.
    void DeselectFont();
};

}  // namespace epc
