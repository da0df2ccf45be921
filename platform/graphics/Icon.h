#pragma once
// Icons and metafiles as pictures. An icon is a colour bitmap with a mask (white: transparent)
// or, for an alpha icon, with its own alpha channel; it loads and saves the icon file format.
// A metafile is held as its bytes: it knows its size and resolution from its header and draws
// by playing its records (MetafilePlayer.h).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PixelDraw.h"

namespace epc {

inline constexpr const char* SInvalidIcon = "Icon image is not valid";
inline constexpr const char* SInvalidMetafile = "Metafile is not valid";
inline constexpr const char* SChangeIconSize = "Cannot change the size of an icon";

class TIcon : public TGraphic {
public:
    TIcon();
    ~TIcon() override;
    std::string ClassName() const override { return "TIcon"; }

    // Only another icon can be assigned.
    void Assign(TPersistent* source) override;

    int Width() const override { return FColor.Width(); }
    int Height() const override { return FColor.Height(); }
    // An icon's size comes from its images: raises EInvalidGraphicOperation.
    void SetWidth(int value) override;
    void SetHeight(int value) override;
    bool Empty() const override { return FColor.Empty(); }
    bool Transparent() const override { return true; }

    // Copies of the two images: color of any format, mask of the same size (white where the
    // icon is transparent; nullptr: opaque). A 32-bit colour image with some alpha above 0
    // makes an alpha icon whose mask is ignored when drawing.
    void SetImages(TBitmap* color, TBitmap* mask);
    TBitmap* ColorBitmap() { return &FColor; }
    TBitmap* MaskBitmap() { return &FMask; }
    bool AlphaIcon() const { return FAlphaIcon; }

    void Draw(TCanvas* canvas, const TRect& rect) override;
    // The icon file format; of several images the largest (then deepest) is taken.
    void LoadFromStream(TStream& stream) override;
    // One 32-bit image with its mask.
    void SaveToStream(TStream& stream) override;

protected:
    void Changed(TObject* sender = nullptr) override;

private:
    void UpdateAlphaFlag();

    TBitmap FColor;
    TBitmap FMask;
    bool FAlphaIcon = false;
    TDibCache FCache;
};

class TMetafile : public TGraphic {
public:
    TMetafile();
    ~TMetafile() override;
    std::string ClassName() const override { return "TMetafile"; }

    // Only another metafile can be assigned.
    void Assign(TPersistent* source) override;

    int Width() const override { return FWidth; }
    void SetWidth(int value) override;
    int Height() const override { return FHeight; }
    void SetHeight(int value) override;
    bool Empty() const override { return FData.empty(); }
    bool Transparent() const override { return true; }

    // Units per inch of a placeable metafile (0 when the header gives none; a plain Windows
    // metafile is then sized from its window extent at 1440 units per inch).
    int Inch() const { return FInch; }
    void SetInch(int value);
    // Size in hundredths of a millimetre.
    int MMWidth() const { return MulDivSafe(FWidth, 2540, ScreenPixelsPerInch); }
    int MMHeight() const { return MulDivSafe(FHeight, 2540, ScreenPixelsPerInch); }
    bool Enhanced() const { return FEnhanced; }
    const std::string& Data() const { return FData; }

    // Plays the records scaled into rect.
    void Draw(TCanvas* canvas, const TRect& rect) override;
    // Accepts enhanced metafiles and (placeable) Windows metafiles; anything else raises
    // EInvalidGraphic "Metafile is not valid".
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

private:
    static int MulDivSafe(int a, int b, int c);

    std::string FData;
    int FWidth = 0;
    int FHeight = 0;
    int FInch = 0;
    bool FEnhanced = false;
};

} // namespace epc
