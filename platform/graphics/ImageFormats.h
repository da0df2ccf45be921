#pragma once
// JPEG and GIF pictures. Each keeps the bytes it was loaded from (saved back unchanged) and
// the decoded pixels it draws. Loading decodes at once, so bad data raises EInvalidGraphic
// when it is loaded, not when it is first drawn.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/codecs/ImageCodecs.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PixelDraw.h"

namespace epc {

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;
    std::string ClassName() const override { return "TJPEGImage"; }

    // From a TJPEGImage: a copy. From any other picture: its pixels compressed with
    // CompressionQuality.
    void Assign(TPersistent* source) override;

    int Width() const override { return FImage.Width(); }
    int Height() const override { return FImage.Height(); }
    // A JPEG's size is that of its data; these do nothing.
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    bool Empty() const override { return FImage.Empty(); }

    int CompressionQuality() const { return FQuality; }
    void SetCompressionQuality(int value);
    bool Grayscale() const { return FGrayscale; }
    // Recompresses the pixels (as gray when set) the next time the data is saved.
    void SetGrayscale(bool value);
    // The decoded pixels.
    TBitmap* Bitmap() { return &FImage; }
    // The compressed data (compressed now if the pixels changed).
    const std::string& Data();

    void Draw(TCanvas* canvas, const TRect& rect) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

protected:
    void AssignTo(TPersistent* dest) override;

private:
    TBitmap FImage;
    std::string FData;
    bool FDataCurrent = true;
    int FQuality = 90;
    bool FGrayscale = false;
};

class TGIFImage : public TGraphic {
public:
    TGIFImage();
    ~TGIFImage() override;
    std::string ClassName() const override { return "TGIFImage"; }

    // From a TGIFImage: a copy. From any other picture: its pixels encoded as a GIF.
    void Assign(TPersistent* source) override;

    int Width() const override { return FImage.Width; }
    int Height() const override { return FImage.Height; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    bool Empty() const override { return FImage.Width == 0 || FImage.Height == 0; }
    // True when the GIF names a transparent colour: its pixels are left out when drawing.
    bool Transparent() const override { return FImage.HasAlpha || FImage.HasTransparentColor; }
    TColor TransparentColor() const;

    // The decoded first frame (straight alpha, transparent pixels have alpha 0).
    const TDecodedImage& Image() const { return FImage; }
    const std::string& Data() const { return FData; }

    void Draw(TCanvas* canvas, const TRect& rect) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

protected:
    void AssignTo(TPersistent* dest) override;
    void Changed(TObject* sender = nullptr) override;

private:
    void SetData(std::string data);

    TDecodedImage FImage;
    std::string FData;
    TDibCache FCache;
};

} // namespace epc
