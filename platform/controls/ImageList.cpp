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

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TComponent(AOwner), FWidth(std::max(1, AWidth)), FHeight(std::max(1, AHeight)) {}

TCustomImageList::~TCustomImageList() {
    // Links outlive the list in their owners; they must not reach back into it.
    for (TChangeLink* link : FLinks)
        link->SetSender(nullptr);
    FLinks.clear();
}

void TCustomImageList::Assign(TPersistent* Source) {
    auto* other = dynamic_cast<TCustomImageList*>(Source);
    if (!other) {
        TComponent::Assign(Source);
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

void TCustomImageList::SetSize(int AWidth, int AHeight) {
    AWidth = std::max(1, AWidth);
    AHeight = std::max(1, AHeight);
    if (AWidth == FWidth && AHeight == FHeight) return;
    FWidth = AWidth;
    FHeight = AHeight;
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

void TCustomImageList::CheckIndex(int Index, bool AllowCount) const {
    int limit = AllowCount ? Count() : Count() - 1;
    if (Index < 0 || Index > limit) throw EInvalidOperation(FormatMessage(SImageIndexError, Index));
}

std::vector<TCustomImageList::TPixels> TCustomImageList::ImagesFromBitmap(TBitmap* Image,
                                                                          TBitmap* Mask,
                                                                          bool UseMaskColor,
                                                                          TColor MaskColor) const {
    std::vector<TPixels> result;
    if (!Image || Image->Empty()) return result;
    TDecodedImage src = Image->ToImage();
    // A 32-bit bitmap whose alpha is all zero carries no alpha at all.
    bool anyAlpha = false;
    for (uint32_t px : src.Pixels)
        if (px >> 24) {
            anyAlpha = true;
            break;
        }
    TDecodedImage mask;
    bool useMask = !UseMaskColor && Mask && !Mask->Empty();
    if (useMask) mask = Mask->ToImage();
    uint32_t key = 0;
    if (UseMaskColor) {
        TColor c = MaskColor == clDefault ? Image->TransparentColor() : MaskColor;
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
                if (UseMaskColor && (p & 0xFFFFFF) == key) p = 0;
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

TCustomImageList::TPixels TCustomImageList::ImageFromIcon(TIcon* Image) const {
    TPixels px(size_t(FWidth) * FHeight, 0);
    if (!Image || Image->Empty()) return px;
    TBitmap* colour = Image->ColorBitmap();
    TBitmap* mask = Image->MaskBitmap();
    auto colours = ImagesFromBitmap(colour, Image->AlphaIcon() ? nullptr : mask, false, clNone);
    if (!colours.empty()) px = std::move(colours.front());
    if (!Image->AlphaIcon())
        for (uint32_t& p : px)
            if (p) p |= 0xFF000000u;
    return px;
}

void TCustomImageList::InsertImages(int Index, std::vector<TPixels>&& Images) {
    FImages.insert(FImages.begin() + Index, std::make_move_iterator(Images.begin()),
                   std::make_move_iterator(Images.end()));
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
    if (!Image) return -1;
    int index = Count();
    InsertImages(index, ImagesFromBitmap(Image, Mask, false, clNone));
    if (Count() == index) return -1;
    Change();
    return index;
}

int TCustomImageList::AddIcon(TIcon* Image) {
    if (!Image) return -1;
    int index = Count();
    FImages.push_back(ImageFromIcon(Image));
    Change();
    return index;
}

void TCustomImageList::AddImages(TCustomImageList* Value) {
    if (!Value || Value->Count() == 0) return;
    BeginUpdate();
    // Copied first: the source may be this list.
    std::vector<TBitmap> bitmaps(size_t(Value->Count()));
    for (int i = 0; i < Value->Count(); ++i)
        Value->GetBitmap(i, &bitmaps[size_t(i)]);
    for (TBitmap& b : bitmaps)
        Add(&b, nullptr);
    EndUpdate();
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    if (!Image) return -1;
    int index = Count();
    InsertImages(index, ImagesFromBitmap(Image, nullptr, true, MaskColor));
    if (Count() == index) return -1;
    Change();
    return index;
}

void TCustomImageList::Clear() {
    if (FImages.empty()) return;
    FImages.clear();
    Change();
}

void TCustomImageList::Delete(int Index) {
    CheckIndex(Index);
    FImages.erase(FImages.begin() + Index);
    Change();
}

void TCustomImageList::Insert(int Index, TBitmap* Image, TBitmap* Mask) {
    CheckIndex(Index, true);
    if (!Image) return;
    auto images = ImagesFromBitmap(Image, Mask, false, clNone);
    if (images.empty()) return;
    InsertImages(Index, std::move(images));
    Change();
}

void TCustomImageList::InsertIcon(int Index, TIcon* Image) {
    CheckIndex(Index, true);
    if (!Image) return;
    FImages.insert(FImages.begin() + Index, ImageFromIcon(Image));
    Change();
}

void TCustomImageList::InsertMasked(int Index, TBitmap* Image, TColor MaskColor) {
    CheckIndex(Index, true);
    if (!Image) return;
    auto images = ImagesFromBitmap(Image, nullptr, true, MaskColor);
    if (images.empty()) return;
    InsertImages(Index, std::move(images));
    Change();
}

void TCustomImageList::Move(int CurIndex, int NewIndex) {
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    if (CurIndex == NewIndex) return;
    TPixels moving = std::move(FImages[size_t(CurIndex)]);
    FImages.erase(FImages.begin() + CurIndex);
    FImages.insert(FImages.begin() + NewIndex, std::move(moving));
    Change();
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
    CheckIndex(Index);
    if (!Image) return;
    auto images = ImagesFromBitmap(Image, Mask, false, clNone);
    if (images.empty()) return;
    // Only the first cell of a strip replaces the image.
    FImages[size_t(Index)] = std::move(images.front());
    Change();
}

void TCustomImageList::ReplaceIcon(int Index, TIcon* Image) {
    CheckIndex(Index);
    if (!Image) return;
    FImages[size_t(Index)] = ImageFromIcon(Image);
    Change();
}

void TCustomImageList::ReplaceMasked(int Index, TBitmap* NewImage, TColor MaskColor) {
    CheckIndex(Index);
    if (!NewImage) return;
    auto images = ImagesFromBitmap(NewImage, nullptr, true, MaskColor);
    if (images.empty()) return;
    FImages[size_t(Index)] = std::move(images.front());
    Change();
}

const uint32_t* TCustomImageList::ImagePixels(int Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return FImages[size_t(Index)].data();
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* Image) {
    const uint32_t* px = ImagePixels(Index);
    if (!px || !Image) return false;
    TDecodedImage img;
    img.Width = FWidth;
    img.Height = FHeight;
    img.Pixels.assign(px, px + size_t(FWidth) * FHeight);
    img.HasAlpha = std::any_of(img.Pixels.begin(), img.Pixels.end(),
                               [](uint32_t p) { return (p >> 24) != 0xFF; });
    Image->LoadFromImage(img, pf32bit);
    return true;
}

bool TCustomImageList::GetIcon(int Index, TIcon* Image) {
    const uint32_t* px = ImagePixels(Index);
    if (!px || !Image) return false;
    TBitmap colour, mask;
    GetBitmap(Index, &colour);
    TDecodedImage m;
    m.Width = FWidth;
    m.Height = FHeight;
    m.Pixels.resize(size_t(FWidth) * FHeight);
    for (size_t i = 0; i < m.Pixels.size(); ++i)
        m.Pixels[i] = (px[i] >> 24) ? 0xFF000000u : 0xFFFFFFFFu;
    mask.LoadFromImage(m, pf32bit);
    Image->SetImages(&colour, &mask);
    return true;
}

std::vector<uint32_t> TCustomImageList::RenderImage(int Index, TColor Bk, TColor Fg,
                                                    TDrawingStyle ADrawingStyle,
                                                    TImageType AImageType, bool Enabled) const {
    const uint32_t* src = ImagePixels(Index);
    if (!src) return {};
    std::vector<uint32_t> out(src, src + size_t(FWidth) * FHeight);
    if (AImageType == itMask) {
        for (uint32_t& p : out)
            p = (p >> 24) ? 0xFF000000u : 0xFFFFFFFFu;
        return out;
    }
    if (!Enabled) {
        // Disabled: gray and half transparent.
        for (uint32_t& p : out) {
            int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            uint32_t l = uint32_t((r * 77 + g * 151 + b * 28) >> 8);
            p = ((p >> 25) << 24) | (l << 16) | (l << 8) | l;
        }
    }
    if (ADrawingStyle == dsFocus || ADrawingStyle == dsSelected) {
        int weight = ADrawingStyle == dsFocus ? 64 : 128;
        TColor blend = Fg == clNone ? FBlendColor : Fg;
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
    } else if (ADrawingStyle == dsNormal) {
        TColor bk = Bk == clDefault ? FBkColor : Bk;
        if (bk != clNone) {
            uint32_t c = ArgbOf(bk);
            for (uint32_t& p : out)
                p = Over(p, c);
        }
    }
    return out;
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
    Draw(Canvas, X, Y, Index, FDrawingStyle, FImageType, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
    DrawEx(Canvas, X, Y, Index, FBkColor, FBlendColor, ADrawingStyle, AImageType, Enabled);
}

void TCustomImageList::DrawEx(TCanvas* Canvas, int X, int Y, int Index, TColor Bk, TColor Fg,
                              TDrawingStyle ADrawingStyle, TImageType AImageType, bool Enabled) {
    if (!Canvas || Index < 0 || Index >= Count()) return;
    DoDraw(Index, Canvas, X, Y, Bk, Fg, ADrawingStyle, AImageType, Enabled);
}

void TCustomImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, TColor Bk, TColor Fg,
                              TDrawingStyle Style, TImageType ImageType, bool Enabled) {
    std::vector<uint32_t> px = RenderImage(Index, Bk, Fg, Style, ImageType, Enabled);
    if (px.empty()) return;
    FDrawCache.Load(FWidth, FHeight, px.data(), true);
    FDrawCache.Draw(Canvas, TRect(X, Y, X + FWidth, Y + FHeight));
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
    if (!Value) return;
    if (Value->Sender() && Value->Sender() != this) Value->Sender()->UnRegisterChanges(Value);
    Value->SetSender(this);
    if (std::find(FLinks.begin(), FLinks.end(), Value) == FLinks.end()) FLinks.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
    if (!Value) return;
    auto it = std::find(FLinks.begin(), FLinks.end(), Value);
    if (it == FLinks.end()) return;
    FLinks.erase(it);
    Value->SetSender(nullptr);
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
