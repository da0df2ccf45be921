#include "platform/controls/ImageList.h"

#include <algorithm>

namespace epc {

namespace {

uint32_t ArgbOf(TColor color) {
    COLORREF c = ColorToRGB(color);
    return 0xFF000000u | (uint32_t(c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

uint32_t Mix(uint32_t a, uint32_t b, int weightB) {
    // Channel-wise, weightB of 255 parts taken from b; the alpha of a is kept.
    uint32_t out = a & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        out |= uint32_t((ca * (255 - weightB) + cb * weightB + 127) / 255) << shift;
    }
    return out;
}

// Straight-alpha pixel over an opaque colour.
uint32_t Over(uint32_t px, uint32_t bk) {
    int a = int(px >> 24);
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        int cs = int((px >> shift) & 0xFF), cb = int((bk >> shift) & 0xFF);
        out |= uint32_t((cs * a + cb * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

} // namespace

// ---- TChangeLink ---------------------------------------------------------------------------

TChangeLink::~TChangeLink() {
    if (FSender) FSender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
    if (OnChange) OnChange(FSender);
}

// ---- TCustomImageList ----------------------------------------------------------------------

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::TCustomImageList(TComponent* owner, int width, int height)
    : TComponent(owner), FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

TCustomImageList::~TCustomImageList() {
    // Links outlive the list in their owners; they must not reach back into it.
    for (TChangeLink* link : FLinks)
        link->SetSender(nullptr);
    FLinks.clear();
}

void TCustomImageList::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TCustomImageList*>(source);
    if (!other) {
        TComponent::Assign(source);
        return;
    }
    if (other == this) return;
    BeginUpdate();
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FBkColor = other->FBkColor;
    FBlendColor = other->FBlendColor;
    FDrawingStyle = other->FDrawingStyle;
    FImageType = other->FImageType;
    Clear();
    AddImages(other);
    FChangePending = true;
    EndUpdate();
}

void TCustomImageList::SetWidth(int value) {
    SetSize(value, FHeight);
}

void TCustomImageList::SetHeight(int value) {
    SetSize(FWidth, value);
}

void TCustomImageList::SetSize(int width, int height) {
    width = std::max(1, width);
    height = std::max(1, height);
    if (width > MaxImageListSize || height > MaxImageListSize)
        throw EInvalidOperation("Invalid image size");
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    // Existing images no longer fit the cell size; the list starts over.
    Clear();
    Change();
}

void TCustomImageList::SetBkColor(TColor value) {
    if (FBkColor == value) return;
    FBkColor = value;
    Change();
}

void TCustomImageList::SetBlendColor(TColor value) {
    if (FBlendColor == value) return;
    FBlendColor = value;
    Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle value) {
    if (FDrawingStyle == value) return;
    FDrawingStyle = value;
    Change();
}

void TCustomImageList::SetImageType(TImageType value) {
    if (FImageType == value) return;
    FImageType = value;
    Change();
}

void TCustomImageList::CheckIndex(int index, bool allowCount) const {
    int limit = allowCount ? Count() : Count() - 1;
    if (index < 0 || index > limit) throw EInvalidOperation(FormatMessage(SImageIndexError, index));
}

std::vector<TCustomImageList::TPixels> TCustomImageList::ImagesFromBitmap(TBitmap* image,
                                                                          TBitmap* maskBitmap,
                                                                          bool useMaskColor,
                                                                          TColor maskColor) const {
    std::vector<TPixels> result;
    if (!image || image->Empty()) return result;
    TDecodedImage src = image->ToImage();
    // A 32-bit bitmap whose alpha is all zero carries no alpha at all.
    bool anyAlpha = false;
    for (uint32_t px : src.Pixels)
        if (px >> 24) {
            anyAlpha = true;
            break;
        }
    TDecodedImage mask;
    bool useMask = !useMaskColor && maskBitmap && !maskBitmap->Empty();
    if (useMask) mask = maskBitmap->ToImage();
    uint32_t key = 0;
    if (useMaskColor) {
        TColor c = maskColor == clDefault ? image->TransparentColor() : maskColor;
        key = ArgbOf(c) & 0xFFFFFF;
    }
    int cells = std::max(1, src.Width / FWidth);
    for (int cell = 0; cell < cells; ++cell) {
        TPixels px(size_t(FWidth) * FHeight, 0);
        for (int y = 0; y < std::min(FHeight, src.Height); ++y) {
            for (int x = 0; x < FWidth; ++x) {
                int sx = cell * FWidth + x;
                if (sx >= src.Width) break;
                uint32_t p = src.Pixels[size_t(y) * src.Width + sx];
                if (!anyAlpha) p |= 0xFF000000u;
                if (useMaskColor && (p & 0xFFFFFF) == key) p = 0;
                if (useMask && sx < mask.Width && y < mask.Height &&
                    (mask.Pixels[size_t(y) * mask.Width + sx] & 0xFFFFFF) != 0)
                    p = 0;
                px[size_t(y) * FWidth + x] = p;
            }
        }
        result.push_back(std::move(px));
    }
    return result;
}

TCustomImageList::TPixels TCustomImageList::ImageFromIcon(TIcon* image) const {
    TPixels px(size_t(FWidth) * FHeight, 0);
    if (!image || image->Empty()) return px;
    TBitmap* colour = image->ColorBitmap();
    TBitmap* mask = image->MaskBitmap();
    auto colours = ImagesFromBitmap(colour, image->AlphaIcon() ? nullptr : mask, false, clNone);
    if (!colours.empty()) px = std::move(colours.front());
    if (!image->AlphaIcon())
        for (uint32_t& p : px)
            if (p) p |= 0xFF000000u;
    return px;
}

void TCustomImageList::InsertImages(int index, std::vector<TPixels>&& images) {
    FImages.insert(FImages.begin() + index, std::make_move_iterator(images.begin()),
                   std::make_move_iterator(images.end()));
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
    if (!image) return -1;
    int index = Count();
    InsertImages(index, ImagesFromBitmap(image, mask, false, clNone));
    if (Count() == index) return -1;
    Change();
    return index;
}

int TCustomImageList::AddIcon(TIcon* image) {
    if (!image) return -1;
    int index = Count();
    FImages.push_back(ImageFromIcon(image));
    Change();
    return index;
}

void TCustomImageList::AddImages(TCustomImageList* value) {
    if (!value || value->Count() == 0) return;
    BeginUpdate();
    // Copied first: the source may be this list.
    std::vector<TBitmap> bitmaps(size_t(value->Count()));
    for (int i = 0; i < value->Count(); ++i)
        value->GetBitmap(i, &bitmaps[size_t(i)]);
    for (TBitmap& b : bitmaps)
        Add(&b, nullptr);
    EndUpdate();
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
    if (!image) return -1;
    int index = Count();
    InsertImages(index, ImagesFromBitmap(image, nullptr, true, maskColor));
    if (Count() == index) return -1;
    Change();
    return index;
}

void TCustomImageList::Clear() {
    if (FImages.empty()) return;
    FImages.clear();
    Change();
}

void TCustomImageList::Delete(int index) {
    CheckIndex(index);
    FImages.erase(FImages.begin() + index);
    Change();
}

void TCustomImageList::Insert(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index, true);
    if (!image) return;
    auto images = ImagesFromBitmap(image, mask, false, clNone);
    if (images.empty()) return;
    InsertImages(index, std::move(images));
    Change();
}

void TCustomImageList::InsertIcon(int index, TIcon* image) {
    CheckIndex(index, true);
    if (!image) return;
    FImages.insert(FImages.begin() + index, ImageFromIcon(image));
    Change();
}

void TCustomImageList::InsertMasked(int index, TBitmap* image, TColor maskColor) {
    CheckIndex(index, true);
    if (!image) return;
    auto images = ImagesFromBitmap(image, nullptr, true, maskColor);
    if (images.empty()) return;
    InsertImages(index, std::move(images));
    Change();
}

void TCustomImageList::Move(int curIndex, int newIndex) {
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (curIndex == newIndex) return;
    TPixels moving = std::move(FImages[size_t(curIndex)]);
    FImages.erase(FImages.begin() + curIndex);
    FImages.insert(FImages.begin() + newIndex, std::move(moving));
    Change();
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index);
    if (!image) return;
    auto images = ImagesFromBitmap(image, mask, false, clNone);
    if (images.empty()) return;
    // Only the first cell of a strip replaces the image.
    FImages[size_t(index)] = std::move(images.front());
    Change();
}

void TCustomImageList::ReplaceIcon(int index, TIcon* image) {
    CheckIndex(index);
    if (!image) return;
    FImages[size_t(index)] = ImageFromIcon(image);
    Change();
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* newImage, TColor maskColor) {
    CheckIndex(index);
    if (!newImage) return;
    auto images = ImagesFromBitmap(newImage, nullptr, true, maskColor);
    if (images.empty()) return;
    FImages[size_t(index)] = std::move(images.front());
    Change();
}

const uint32_t* TCustomImageList::ImagePixels(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FImages[size_t(index)].data();
}

bool TCustomImageList::GetBitmap(int index, TBitmap* image) {
    const uint32_t* px = ImagePixels(index);
    if (!px || !image) return false;
    TDecodedImage img;
    img.Width = FWidth;
    img.Height = FHeight;
    img.Pixels.assign(px, px + size_t(FWidth) * FHeight);
    img.HasAlpha = std::any_of(img.Pixels.begin(), img.Pixels.end(),
                               [](uint32_t p) { return (p >> 24) != 0xFF; });
    image->LoadFromImage(img, pf32bit);
    return true;
}

bool TCustomImageList::GetIcon(int index, TIcon* image) {
    const uint32_t* px = ImagePixels(index);
    if (!px || !image) return false;
    TBitmap colour, mask;
    GetBitmap(index, &colour);
    TDecodedImage m;
    m.Width = FWidth;
    m.Height = FHeight;
    m.Pixels.resize(size_t(FWidth) * FHeight);
    for (size_t i = 0; i < m.Pixels.size(); ++i)
        m.Pixels[i] = (px[i] >> 24) ? 0xFF000000u : 0xFFFFFFFFu;
    mask.LoadFromImage(m, pf32bit);
    image->SetImages(&colour, &mask);
    return true;
}

std::vector<uint32_t> TCustomImageList::RenderImage(int index, TColor background, TColor fg,
                                                    TDrawingStyle drawingStyle,
                                                    TImageType imageType, bool enabled) const {
    const uint32_t* src = ImagePixels(index);
    if (!src) return {};
    std::vector<uint32_t> out(src, src + size_t(FWidth) * FHeight);
    if (imageType == itMask) {
        for (uint32_t& p : out)
            p = (p >> 24) ? 0xFF000000u : 0xFFFFFFFFu;
        return out;
    }
    if (!enabled) {
        // Disabled: gray and half transparent.
        for (uint32_t& p : out) {
            int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            uint32_t l = uint32_t((r * 77 + g * 151 + b * 28) >> 8);
            p = ((p >> 25) << 24) | (l << 16) | (l << 8) | l;
        }
    }
    if (drawingStyle == dsFocus || drawingStyle == dsSelected) {
        int weight = drawingStyle == dsFocus ? 64 : 128;
        TColor blend = fg == clNone ? FBlendColor : fg;
        if (blend == clDefault) blend = clHighlight;
        if (blend == clNone) {
            // No blend colour: the image fades into what lies below.
            for (uint32_t& p : out)
                p = (p & 0xFFFFFF) | (((p >> 24) * uint32_t(256 - weight) + 128) >> 8 << 24);
        } else {
            uint32_t c = ArgbOf(blend);
            for (uint32_t& p : out)
                if (p >> 24) p = Mix(p, c, weight);
        }
    } else if (drawingStyle == dsNormal) {
        TColor bk = background == clDefault ? FBkColor : background;
        if (bk != clNone) {
            uint32_t c = ArgbOf(bk);
            for (uint32_t& p : out)
                p = Over(p, c);
        }
    }
    return out;
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
    Draw(canvas, x, y, index, FDrawingStyle, FImageType, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle drawingStyle,
                            TImageType imageType, bool enabled) {
    DrawEx(canvas, x, y, index, FBkColor, FBlendColor, drawingStyle, imageType, enabled);
}

void TCustomImageList::DrawEx(TCanvas* canvas, int x, int y, int index, TColor bk, TColor fg,
                              TDrawingStyle drawingStyle, TImageType imageType, bool enabled) {
    if (!canvas || index < 0 || index >= Count()) return;
    DoDraw(index, canvas, x, y, bk, fg, drawingStyle, imageType, enabled);
}

void TCustomImageList::DoDraw(int index, TCanvas* canvas, int x, int y, TColor bk, TColor fg,
                              TDrawingStyle style, TImageType imageType, bool enabled) {
    std::vector<uint32_t> px = RenderImage(index, bk, fg, style, imageType, enabled);
    if (px.empty()) return;
    FDrawCache.Load(FWidth, FHeight, px.data(), true);
    FDrawCache.Draw(canvas, TRect(x, y, x + FWidth, y + FHeight));
}

void TCustomImageList::RegisterChanges(TChangeLink* value) {
    if (!value) return;
    if (value->Sender() && value->Sender() != this) value->Sender()->UnRegisterChanges(value);
    value->SetSender(this);
    if (std::find(FLinks.begin(), FLinks.end(), value) == FLinks.end()) FLinks.push_back(value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* value) {
    if (!value) return;
    auto it = std::find(FLinks.begin(), FLinks.end(), value);
    if (it == FLinks.end()) return;
    FLinks.erase(it);
    value->SetSender(nullptr);
}

void TCustomImageList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangePending) Change();
}

void TCustomImageList::Change() {
    if (FUpdateCount > 0) {
        FChangePending = true;
        return;
    }
    FChangePending = false;
    // A link's handler may unregister links (even itself): walk a copy and skip the gone.
    std::vector<TChangeLink*> links = FLinks;
    for (TChangeLink* link : links)
        if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end()) link->Change();
    if (OnChange) OnChange(this);
}

} // namespace epc
