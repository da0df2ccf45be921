#pragma once
// The framework's bitmap: pixels in a device-independent section that its canvas draws into,
// with scan-line access in the bitmap's pixel format and an optional transparent colour.
//
// Drawing always happens on a 32-bit top-down surface (B, G, R, A bytes). A bitmap whose pixel
// format is not 32 bits keeps its scan lines in a second buffer of that format; the two are
// converted into each other only when use switches between scan lines and drawing, so a
// caller who fills all rows through ScanLine and then draws pays for one conversion.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/codecs/ImageCodecs.h"
#include "platform/graphics/Graphics.h"

namespace epc {

enum TPixelFormat : uint8_t {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

inline constexpr const char* SScanLine = "Scan line index out of range";
inline constexpr const char* SInvalidPixelFormat = "Invalid pixel format";

class TBitmap;

// The canvas of a bitmap: its device context is a memory context with the bitmap's surface
// selected, made on first use.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
    ~TBitmapCanvas() override;
    std::string ClassName() const override { return "TBitmapCanvas"; }
    void FreeContext();

protected:
    void CreateHandle() override;
    void BeforeUse() override;

private:
    friend class TBitmap;
    TBitmap* FBitmap;
    HDC FDC = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
};

// A bitmap. New bitmaps are empty (0 x 0) with the device's pixel format (32 bits). Scan lines
// are top-down: ScanLine(0) is the top row. Layouts: pf1bit one bit per pixel, most significant
// bit first, 1 = white; pf8bit one index into Palette() per pixel; pf24bit B, G, R; pf32bit and
// pfDevice B, G, R, A. Rows of pf1bit, pf8bit and pf24bit are padded to 4 bytes.
class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = pfDevice);
    ~TBitmap() override;
    std::string ClassName() const override { return "TBitmap"; }

    // From a TBitmap: a copy of pixels, format and transparency. From any other picture: a
    // bitmap of its size, white, with the picture drawn on it.
    void Assign(TPersistent* source) override;

    int Width() const override { return FWidth; }
    void SetWidth(int value) override { SetSize(value, FHeight); }
    int Height() const override { return FHeight; }
    void SetHeight(int value) override { SetSize(FWidth, value); }
    // Keeps the overlapping part of the picture; new pixels are opaque white.
    void SetSize(int width, int height) override;
    bool Empty() const override { return FWidth == 0 || FHeight == 0; }

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    // Converts the pixels: to pf1bit by brightness (at least half: white), to pf8bit to the
    // nearest palette colour. Formats other than those named above raise EInvalidGraphic.
    void SetPixelFormat(TPixelFormat value);
    int BitsPerPixel() const;
    bool Monochrome() const { return FPixelFormat == pf1bit; }
    void SetMonochrome(bool value);
    // The colours of pf1bit (black, white) and pf8bit (a 6x6x6 cube and 40 grays) pixels.
    const std::vector<TPaletteEntry>& Palette() const;

    // Direct access to a row's bytes in the pixel format; raises EInvalidGraphicOperation
    // "Scan line index out of range" for a row outside the bitmap.
    uint8_t* ScanLine(int row);
    int ScanLineStride() const;

    TCanvas* Canvas();
    // The 32-bit surface the canvas draws into.
    HBITMAP Handle();
    // Adopts a bitmap handle (its pixels are taken over; a 32-bit one becomes the surface).
    void SetHandle(HBITMAP value);
    // Gives the surface away (the caller deletes it); the bitmap becomes empty.
    HBITMAP ReleaseHandle();

    // The colour drawn transparently: the top-left pixel in tmAuto mode, else the fixed one.
    TColor TransparentColor();
    // clDefault returns to tmAuto; any other colour fixes it.
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode value);

    void Draw(TCanvas* canvas, const TRect& rect) override;
    // BMP files of the pixel format's depth (32 bits for pfDevice); 8-bit files keep pf8bit
    // only when they use this bitmap's palette.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // An int32 byte count, then the BMP file (0 and nothing for an empty bitmap).
    void ReadData(TStream& stream) override;
    void WriteData(TStream& stream) override;
    void SaveToPngFile(const std::string& fileName);

    // The pixels as 0xAARRGGBB, top-down (alpha as stored; 255 for formats without alpha).
    TDecodedImage ToImage();
    // Takes the pixels of a decoded picture; the format follows its colours unless given.
    void LoadFromImage(const TDecodedImage& image, TPixelFormat format = pfCustom);

    // Surface pixel access for helpers that work on 32 bits (B, G, R, A, top-down).
    uint32_t* SurfaceBits();
    int SurfaceStride() const { return FWidth * 4; }
    // The header that describes SurfaceBits to StretchDIBits and SetDIBitsToDevice.
    BITMAPINFO SurfaceInfo() const;

protected:
    void AssignTo(TPersistent* dest) override;
    void Changed(TObject* sender = nullptr) override;

private:
    friend class TBitmapCanvas;
    void EnsureSurface();
    void EnsureScanBuffer();
    void NewSurface(int width, int height);
    void FreeSurface();
    void SurfaceToScan();
    void ScanToSurface();
    void CanvasChanged(TObject*);
    HDC SourceDC();

    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FPixelFormat = pfDevice;
    HBITMAP FSurface = nullptr;
    uint32_t* FBits = nullptr;
    std::vector<uint8_t> FScan; // rows of a non-32-bit format
    bool FScanCurrent = false;  // the scan buffer holds the latest pixels
    std::unique_ptr<TBitmapCanvas> FCanvas;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clDefault;
};

} // namespace epc
