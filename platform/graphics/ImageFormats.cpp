#include "platform/graphics/ImageFormats.h"

#include <algorithm>
#include <vector>

namespace epc {

// ---- TJPEGImage ---------------------------------------------------------------------------

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::SetCompressionQuality(int value) {
    value = std::clamp(value, 1, 100);
    if (value == FQuality) return;
    FQuality = value;
}

void TJPEGImage::SetGrayscale(bool value) {
    if (value == FGrayscale) return;
    FGrayscale = value;
    if (!FImage.Empty()) {
        FDataCurrent = false;
        Changed(this);
    }
}

const std::string& TJPEGImage::Data() {
    if (!FDataCurrent) {
        FData = FImage.Empty() ? std::string() : EncodeJpeg(FImage.ToImage(), FQuality, FGrayscale);
        FDataCurrent = true;
    }
    return FData;
}

void TJPEGImage::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    FImage.Draw(canvas, rect);
}

void TJPEGImage::LoadFromStream(TStream& stream) {
    std::string data = ReadStreamRest(stream);
    TDecodedImage image = DecodeJpeg(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    FImage.LoadFromImage(image, pf24bit);
    FGrayscale = image.ColorType == 0;
    FData = std::move(data);
    FDataCurrent = true;
    Changed(this);
}

void TJPEGImage::SaveToStream(TStream& stream) {
    stream.WriteString(Data());
}

void TJPEGImage::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TJPEGImage*>(source)) {
        FImage.Assign(&src->FImage);
        FData = src->Data();
        FDataCurrent = true;
        FQuality = src->FQuality;
        FGrayscale = src->FGrayscale;
        Changed(this);
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        TBitmap pixels;
        pixels.Assign(g);
        pixels.SetPixelFormat(pf24bit);
        FImage.Assign(&pixels);
        FDataCurrent = false;
        Data(); // raises now for what cannot be compressed
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) {
    if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
        bmp->Assign(&FImage);
        return;
    }
    TGraphic::AssignTo(dest);
}

// ---- TGIFImage ----------------------------------------------------------------------------

TGIFImage::TGIFImage() = default;

TGIFImage::~TGIFImage() = default;

void TGIFImage::Changed(TObject* sender) {
    FCache.Invalidate();
    TGraphic::Changed(sender);
}

TColor TGIFImage::TransparentColor() const {
    if (!FImage.HasTransparentColor) return clNone;
    uint32_t c = FImage.TransparentColor;
    return TColor(RGB(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)));
}

void TGIFImage::SetData(std::string data) {
    TDecodedImage image = DecodeGif(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (image.Pixels.size() < size_t(std::max(image.Width, 0)) * size_t(std::max(image.Height, 0)))
        throw EInvalidGraphic(SInvalidImage);
    FImage = std::move(image);
    FData = std::move(data);
    Changed(this);
}

void TGIFImage::Draw(TCanvas* canvas, const TRect& rect) {
    if (!canvas || Empty()) return;
    if (!FCache.Valid()) {
        bool transparent = Transparent();
        if (FImage.HasTransparentColor && !FImage.HasAlpha) {
            // A decoder that reports the key colour but leaves it opaque: cut it out here.
            std::vector<uint32_t> pixels(FImage.Pixels);
            uint32_t key = FImage.TransparentColor & 0xFFFFFF;
            for (uint32_t& p : pixels)
                if ((p & 0xFFFFFF) == key) p &= 0x00FFFFFF;
            FCache.Load(FImage.Width, FImage.Height, pixels.data(), true);
        } else {
            FCache.Load(FImage.Width, FImage.Height, FImage.Pixels.data(), transparent);
        }
    }
    FCache.Draw(canvas, rect);
}

void TGIFImage::LoadFromStream(TStream& stream) {
    SetData(ReadStreamRest(stream));
}

void TGIFImage::SaveToStream(TStream& stream) {
    stream.WriteString(FData);
}

void TGIFImage::Assign(TPersistent* source) {
    if (source == this) return;
    if (auto* src = dynamic_cast<TGIFImage*>(source)) {
        FImage = src->FImage;
        FData = src->FData;
        Changed(this);
        return;
    }
    if (auto* bmp = dynamic_cast<TBitmap*>(source)) {
        TDecodedImage image = bmp->ToImage();
        if (bmp->Transparent() && !bmp->Empty()) {
            COLORREF key = ColorToRGB(bmp->TransparentColor());
            uint32_t k =
                (uint32_t(GetRValue(key)) << 16) | (uint32_t(GetGValue(key)) << 8) | GetBValue(key);
            for (uint32_t& p : image.Pixels)
                p = (p & 0xFFFFFF) == k ? 0 : (p | 0xFF000000u);
        } else {
            for (uint32_t& p : image.Pixels)
                p |= 0xFF000000u;
        }
        SetData(EncodeGif(image));
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        TBitmap pixels;
        pixels.Assign(g);
        Assign(&pixels);
        return;
    }
    TGraphic::Assign(source);
}

void TGIFImage::AssignTo(TPersistent* dest) {
    TGraphic::AssignTo(dest);
}

} // namespace epc
