#pragma once
// An image list: a row of equally sized pictures addressed by index, drawn by index into a
// canvas. Each image is kept as straight-alpha 0xAARRGGBB pixels; bitmaps come in with a mask
// (white: transparent) or a mask colour, icons with their own mask or alpha. Every editing
// operation is virtual, so that a descendant keeping its own copy of the pictures (another
// format, extra attributes) can stay in step whichever operation its users call.
//
// Users that want to hear of changes register a TChangeLink; the list also fires OnChange.
// Changing Width or Height empties the list.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/PixelDraw.h"

namespace epc {

inline constexpr const char* SImageIndexError = "Image list index out of bounds (%d)";

// dsFocus blends a quarter of the blend colour in, dsSelected half; dsNormal draws over the
// background colour when it is not clNone; dsTransparent ignores the background colour.
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
// itImage draws the picture, itMask its mask (black where opaque, white where transparent).
enum TImageType { itImage, itMask };

class TCustomImageList;

// One user's registration for change notices. Destroying the link unregisters it; destroying
// the list clears Sender.
class TChangeLink {
public:
    TChangeLink() = default;
    TChangeLink(const TChangeLink&) = delete;
    TChangeLink& operator=(const TChangeLink&) = delete;
    virtual ~TChangeLink();

    TCustomImageList* Sender() const { return FSender; }
    void SetSender(TCustomImageList* value) { FSender = value; }
    TNotifyEvent OnChange;

    virtual void Change();

private:
    TCustomImageList* FSender = nullptr;
};

// The largest cell an image list takes, in either direction: every image is a cell of pixels,
// and a stored list must not make a list of huge cells out of a few bytes.
inline constexpr int MaxImageListSize = 256;

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* owner);
    TCustomImageList(TComponent* owner, int width, int height);
    ~TCustomImageList() override;
    std::string ClassName() const override { return "TCustomImageList"; }

    // From another image list: size, colours, styles and every image.
    void Assign(TPersistent* source) override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // A changed size (at least 1 pixel) empties the list; a size above MaxImageListSize raises
    // EInvalidOperation.
    virtual void SetWidth(int value);
    virtual void SetHeight(int value);
    virtual void SetSize(int width, int height);
    int Count() const { return int(FImages.size()); }

    TColor BkColor() const { return FBkColor; }
    void SetBkColor(TColor value);
    TColor BlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor value);
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle value);
    TImageType ImageType() const { return FImageType; }
    void SetImageType(TImageType value);

    // ---- Editing (virtual) -------------------------------------------------------------------
    // A bitmap wider than Width is cut into as many images as fit (at least one); each image
    // takes the top-left Width x Height pixels of its cell, padding transparently. A nil image
    // adds nothing and answers -1; otherwise the answer is the index of the first new image.
    virtual int Add(TBitmap* image, TBitmap* mask);
    virtual int AddIcon(TIcon* image);
    // Every image of Value is appended (fitted to this list's size).
    virtual void AddImages(TCustomImageList* value);
    // Pixels of MaskColor are transparent; clDefault means the bitmap's transparent colour.
    virtual int AddMasked(TBitmap* image, TColor maskColor);
    virtual void Clear();
    virtual void Delete(int index);
    // Index may be Count (append). Out-of-range indices raise EInvalidOperation.
    virtual void Insert(int index, TBitmap* image, TBitmap* mask);
    virtual void InsertIcon(int index, TIcon* image);
    virtual void InsertMasked(int index, TBitmap* image, TColor maskColor);
    virtual void Move(int curIndex, int newIndex);
    virtual void Replace(int index, TBitmap* image, TBitmap* mask);
    virtual void ReplaceIcon(int index, TIcon* image);
    virtual void ReplaceMasked(int index, TBitmap* newImage, TColor maskColor);

    // ---- Reading -----------------------------------------------------------------------------
    // Image is resized to Width x Height, 32 bits with the image's alpha; false for a bad index
    // or a nil bitmap.
    bool GetBitmap(int index, TBitmap* image);
    // The icon gets a colour bitmap and its mask (white where transparent).
    bool GetIcon(int index, TIcon* image);
    // The pixels of an image (nil for a bad index), Width * Height of 0xAARRGGBB, top-down.
    const uint32_t* ImagePixels(int index) const;

    // ---- Drawing -----------------------------------------------------------------------------
    // With the list's DrawingStyle, ImageType, BkColor and BlendColor.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
    void Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle drawingStyle,
              TImageType imageType, bool enabled = true);
    // With explicit colours: Bk under dsNormal, Fg as the blend colour (clNone: the list's
    // BlendColor; clDefault: the highlight colour).
    void DrawEx(TCanvas* canvas, int x, int y, int index, TColor bk, TColor fg,
                TDrawingStyle drawingStyle, TImageType imageType = itImage, bool enabled = true);
    // The final pixels a draw would blend over the target (straight alpha), for tests and
    // for callers that compose themselves. Empty for a bad index.
    std::vector<uint32_t> RenderImage(int index, TColor bk, TColor fg, TDrawingStyle drawingStyle,
                                      TImageType imageType, bool enabled) const;

    // ---- Change notices ----------------------------------------------------------------------
    void RegisterChanges(TChangeLink* value);
    void UnRegisterChanges(TChangeLink* value);
    // Nested: notices are held back until the outermost EndUpdate, which sends one if
    // anything changed.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    TNotifyEvent OnChange;

protected:
    // Tells the links and OnChange (held back while updating).
    virtual void Change();
    // Draws one prepared image; a descendant with its own pictures may draw them instead.
    virtual void DoDraw(int index, TCanvas* canvas, int x, int y, TColor bk, TColor fg,
                        TDrawingStyle style, TImageType imageType, bool enabled);
    void CheckIndex(int index, bool allowCount = false) const;

    using TPixels = std::vector<uint32_t>;
    // Images cut from a bitmap, fitted to the list's size.
    std::vector<TPixels> ImagesFromBitmap(TBitmap* image, TBitmap* mask, bool useMaskColor,
                                          TColor maskColor) const;
    TPixels ImageFromIcon(TIcon* image) const;
    void InsertImages(int index, std::vector<TPixels>&& images);

private:
    int FWidth = 16;
    int FHeight = 16;
    TColor FBkColor = clNone;
    TColor FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = dsNormal;
    TImageType FImageType = itImage;
    std::vector<TPixels> FImages;
    std::vector<TChangeLink*> FLinks;
    int FUpdateCount = 0;
    bool FChangePending = false;
    // One device-independent section of the image size, reused by every draw.
    TDibCache FDrawCache;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
    std::string ClassName() const override { return "TImageList"; }
};

} // namespace epc
