#include "components/controls/PngImageList.h"

#include "platform/core/ScopeGuard.h"

namespace epc {

// ---- Items -----------------------------------------------------------------------------------

TPngImageCollectionItem::TPngImageCollectionItem(TCollection* Collection)
    : TCollectionItem(Collection), FPngImage(std::make_unique<TPngImage>()) {}

TPngImageCollectionItem::~TPngImageCollectionItem() = default;

void TPngImageCollectionItem::Assign(TPersistent* Source) {
    auto* other = dynamic_cast<TPngImageCollectionItem*>(Source);
    if (!other) {
        TCollectionItem::Assign(Source);
        return;
    }
    FPngImage->Assign(other->FPngImage.get());
    FName = other->FName;
    FBackground = other->FBackground;
    Changed(false);
}

void TPngImageCollectionItem::SetPngImage(TPngImage* value) {
    if (value)
        FPngImage->Assign(value);
    else
        FPngImage = std::make_unique<TPngImage>();
    Changed(false);
}

void TPngImageCollectionItem::SetBackground(TColor value) {
    if (FBackground == value) return;
    FBackground = value;
    Changed(false);
}

TPngImageCollectionItems::TPngImageCollectionItems(TPersistent* Owner)
    : TCollection(
          "TPngImageCollectionItem", [](TCollection* c) { return new TPngImageCollectionItem(c); },
          Owner) {}

// ---- Icons -----------------------------------------------------------------------------------

std::unique_ptr<TIcon> PngToIcon(TPngImage* Png, TColor Background) {
    auto icon = std::make_unique<TIcon>();
    if (!Png || Png->Empty()) return icon;
    TDecodedImage image = Png->ToImage();
    int w = image.Width, h = image.Height;
    TBitmap colour(w, h, pf32bit);
    TBitmap mask(w, h, pf1bit);
    COLORREF bg = Background == clNone ? 0 : ColorToRGB(Background);
    uint32_t* out = colour.SurfaceBits();
    for (int y = 0; y < h; ++y) {
        uint8_t* maskRow = mask.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            uint32_t p = image.Pixels[size_t(y) * w + x];
            uint32_t a = p >> 24;
            uint32_t& o = out[size_t(y) * w + x];
            if (Background == clNone) {
                o = p;
            } else {
                auto mix = [&](uint32_t c, uint32_t b) {
                    return (c * a + b * (255 - a) + 127) / 255;
                };
                uint32_t r = mix((p >> 16) & 0xFF, GetRValue(bg));
                uint32_t g = mix((p >> 8) & 0xFF, GetGValue(bg));
                uint32_t b = mix(p & 0xFF, GetBValue(bg));
                o = (a ? 0xFF000000u : 0u) | r << 16 | g << 8 | b;
            }
            uint8_t bit = uint8_t(0x80 >> (x & 7));
            if (a == 0)
                maskRow[x >> 3] |= bit;
            else
                maskRow[x >> 3] &= uint8_t(~bit);
        }
    }
    icon->SetImages(&colour, &mask);
    return icon;
}

// ---- The list --------------------------------------------------------------------------------

TPngImageList::TPngImageList(TComponent* AOwner)
    : TImageList(AOwner), FPngImages(std::make_unique<TPngImageCollectionItems>(this)) {
    FPngImages->OnUpdate = [this](TCollection*, TCollectionItem*) { CollectionChanged(); };
}

TPngImageList::~TPngImageList() {
    FPngImages->OnUpdate = nullptr;
}

void TPngImageList::CollectionChanged() {
    if (FLocked > 0) return;
    Rebuild();
    Change();
}

void TPngImageList::Assign(TPersistent* Source) {
    TImageList::Assign(Source);
    if (auto* other = dynamic_cast<TPngImageList*>(Source); other && other != this) {
        FEnabledImages = other->FEnabledImages;
        FPngImages->Assign(other->FPngImages.get());
    }
}

void TPngImageList::SetPngImages(TPngImageCollectionItems* value) {
    if (value)
        FPngImages->Assign(value);
    else
        FPngImages->Clear();
    Change();
}

void TPngImageList::SetEnabledImages(bool value) {
    if (FEnabledImages == value) return;
    FEnabledImages = value;
    Rebuild();
}

void TPngImageList::SetPngOptions(TPngOptions value) {
    if (FPngOptions == value) return;
    FPngOptions = value;
    Rebuild();
}

void TPngImageList::SetSize(int AWidth, int AHeight) {
    int oldWidth = Width(), oldHeight = Height();
    TImageList::SetSize(AWidth, AHeight);
    if (Width() != oldWidth || Height() != oldHeight) Clear();
}

std::unique_ptr<TIcon> TPngImageList::ItemIcon(TPngImageCollectionItem* Item) {
    if (FEnabledImages || FPngOptions.Empty())
        return PngToIcon(Item->PngImage(), Item->Background());
    TPngImage copy;
    copy.Assign(Item->PngImage());
    if (FPngOptions.Contains(pngBlendOnDisabled)) MakeImageBlended(&copy, 127);
    if (FPngOptions.Contains(pngGrayscaleOnDisabled)) MakeImageGrayscale(&copy, 255);
    return PngToIcon(&copy, clNone);
}

void TPngImageList::Rebuild() {
    if (FLocked > 0) return;
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    TImageList::Clear();
    for (int i = 0; i < FPngImages->Count(); ++i) {
        TPngImageCollectionItem* item = FPngImages->Items(i);
        if (item->PngImage()->Empty()) continue;
        TImageList::AddIcon(ItemIcon(item).get());
    }
}

int TPngImageList::AddItem(std::unique_ptr<TPngImage> Png, TColor Background) {
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    TPngImageCollectionItem* item = FPngImages->Add();
    item->SetBackground(Background);
    item->SetPngImage(Png.get());
    TImageList::AddIcon(ItemIcon(item).get());
    return Count() - 1;
}

int TPngImageList::AddPng(TPngImage* Png, TColor Background) {
    if (!Png) return -1;
    auto copy = std::make_unique<TPngImage>();
    copy->Assign(Png);
    return AddItem(std::move(copy), Background);
}

int TPngImageList::Add(TBitmap* Image, TBitmap* Mask) {
    if (!Image) return -1;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNG(Image, Mask, png.get());
    return AddItem(std::move(png), clBtnFace);
}

int TPngImageList::AddIcon(TIcon* Image) {
    if (!Image) return -1;
    auto png = std::make_unique<TPngImage>();
    ConvertIconToPNG(Image, png.get());
    return AddItem(std::move(png), clBtnFace);
}

void TPngImageList::AddImages(TCustomImageList* Value) {
    if (!Value) return;
    // Copied first: the source may be this list.
    std::vector<std::unique_ptr<TPngImage>> pngs;
    for (int i = 0; i < Value->Count(); ++i) {
        pngs.push_back(std::make_unique<TPngImage>());
        CopyImageFromImageList(pngs.back().get(), Value, i);
    }
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    for (auto& png : pngs)
        AddItem(std::move(png), clBtnFace);
}

int TPngImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    if (!Image) return -1;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNGMasked(Image, MaskColor, png.get());
    return AddItem(std::move(png), clBtnFace);
}

void TPngImageList::Clear() {
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    FPngImages->Clear();
    TImageList::Clear();
}

void TPngImageList::Delete(int Index) {
    if (Index < 0 || Index >= FPngImages->Count()) return;
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    FPngImages->Delete(Index);
    if (Index < Count()) TImageList::Delete(Index);
}

void TPngImageList::InsertItem(int Index, std::unique_ptr<TPngImage> Png) {
    CheckIndex(Index, true);
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    auto* item = static_cast<TPngImageCollectionItem*>(FPngImages->Insert(Index));
    item->SetPngImage(Png.get());
    TImageList::InsertIcon(Index, ItemIcon(item).get());
}

void TPngImageList::Insert(int Index, TBitmap* Image, TBitmap* Mask) {
    if (!Image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNG(Image, Mask, png.get());
    InsertItem(Index, std::move(png));
}

void TPngImageList::InsertIcon(int Index, TIcon* Image) {
    if (!Image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertIconToPNG(Image, png.get());
    InsertItem(Index, std::move(png));
}

void TPngImageList::InsertMasked(int Index, TBitmap* Image, TColor MaskColor) {
    if (!Image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNGMasked(Image, MaskColor, png.get());
    InsertItem(Index, std::move(png));
}

void TPngImageList::ReplaceItem(int Index, std::unique_ptr<TPngImage> Png) {
    CheckIndex(Index);
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    TPngImageCollectionItem* item = FPngImages->Items(Index);
    item->SetPngImage(Png.get());
    TImageList::ReplaceIcon(Index, ItemIcon(item).get());
}

void TPngImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
    if (!Image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNG(Image, Mask, png.get());
    ReplaceItem(Index, std::move(png));
}

void TPngImageList::ReplaceIcon(int Index, TIcon* Image) {
    if (!Image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertIconToPNG(Image, png.get());
    ReplaceItem(Index, std::move(png));
}

void TPngImageList::ReplaceMasked(int Index, TBitmap* NewImage, TColor MaskColor) {
    if (!NewImage) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNGMasked(NewImage, MaskColor, png.get());
    ReplaceItem(Index, std::move(png));
}

void TPngImageList::Move(int CurIndex, int NewIndex) {
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    if (CurIndex == NewIndex) return;
    ++FLocked;
    BeginUpdate();
    auto unlock = Finally([this] {
        --FLocked;
        EndUpdate();
    });
    FPngImages->Items(CurIndex)->SetIndex(NewIndex);
    TImageList::Move(CurIndex, NewIndex);
}

void TPngImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, TColor Bk, TColor Fg,
                           TDrawingStyle Style, TImageType ImageType, bool Enabled) {
    if (ImageType == itImage && Index >= 0 && Index < FPngImages->Count() &&
        !FPngImages->Items(Index)->PngImage()->Empty()) {
        DrawPNG(FPngImages->Items(Index)->PngImage(), Canvas,
                TRect(X, Y, X + Width(), Y + Height()), Enabled ? TPngOptions{} : FPngOptions);
        return;
    }
    TImageList::DoDraw(Index, Canvas, X, Y, Bk, Fg, Style, ImageType, Enabled);
}

} // namespace epc
