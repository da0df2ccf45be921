#include "components/controls/PngImageList.h"

#include "platform/controls/ControlStreaming.h"
#include "platform/core/ScopeGuard.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"

namespace epc {

// ---- Items -----------------------------------------------------------------------------------

TPngImageCollectionItem::TPngImageCollectionItem(TCollection* collection)
    : TCollectionItem(collection), FPngImage(std::make_unique<TPngImage>()) {}

TPngImageCollectionItem::~TPngImageCollectionItem() = default;

void TPngImageCollectionItem::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TPngImageCollectionItem*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
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

TPngImageCollectionItems::TPngImageCollectionItems(TPersistent* owner)
    : TCollection(
          "TPngImageCollectionItem", [](TCollection* c) { return new TPngImageCollectionItem(c); },
          owner) {}

// ---- Icons -----------------------------------------------------------------------------------

std::unique_ptr<TIcon> PngToIcon(TPngImage* png, TColor background) {
    auto icon = std::make_unique<TIcon>();
    if (!png || png->Empty()) return icon;
    TDecodedImage image = png->ToImage();
    int w = image.Width, h = image.Height;
    TBitmap colour(w, h, pf32bit);
    TBitmap mask(w, h, pf1bit);
    COLORREF bg = background == clNone ? 0 : ColorToRGB(background);
    uint32_t* out = colour.SurfaceBits();
    for (int y = 0; y < h; ++y) {
        uint8_t* maskRow = mask.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            uint32_t p = image.Pixels[size_t(y) * w + x];
            uint32_t a = p >> 24;
            uint32_t& o = out[size_t(y) * w + x];
            if (background == clNone) {
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

class TPngImageList::TChangeLock {
public:
    explicit TChangeLock(TPngImageList& list) : FList(list) {
        ++FList.FLocked;
        FList.BeginUpdate();
    }
    TChangeLock(const TChangeLock&) = delete;
    TChangeLock& operator=(const TChangeLock&) = delete;
    // The change notice at the end may reach handlers that throw; let it through.
    ~TChangeLock() noexcept(false) {
        --FList.FLocked;
        FList.EndUpdate();
    }

private:
    TPngImageList& FList;
};

TPngImageList::TPngImageList(TComponent* owner)
    : TImageList(owner), FPngImages(std::make_unique<TPngImageCollectionItems>(this)) {
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

void TPngImageList::Assign(TPersistent* source) {
    TImageList::Assign(source);
    if (auto* other = dynamic_cast<TPngImageList*>(source); other && other != this) {
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

void TPngImageList::SetSize(int aWidth, int aHeight) {
    int oldWidth = Width(), oldHeight = Height();
    TImageList::SetSize(aWidth, aHeight);
    if (Width() != oldWidth || Height() != oldHeight) Clear();
}

std::unique_ptr<TIcon> TPngImageList::ItemIcon(TPngImageCollectionItem* item) {
    if (item->PngImage()->Empty()) return std::make_unique<TIcon>();
    if (FEnabledImages || FPngOptions.Empty())
        return PngToIcon(item->PngImage(), item->Background());
    TPngImage copy;
    copy.Assign(item->PngImage());
    if (FPngOptions.Contains(pngBlendOnDisabled)) MakeImageBlended(&copy, 127);
    if (FPngOptions.Contains(pngGrayscaleOnDisabled)) MakeImageGrayscale(&copy, 255);
    return PngToIcon(&copy, clNone);
}

void TPngImageList::Rebuild() {
    if (FLocked > 0) return;
    TChangeLock lock(*this);
    TImageList::Clear();
    // An item without a PNG keeps an empty image, so that indices stay those of the items.
    for (int i = 0; i < FPngImages->Count(); ++i)
        TImageList::AddIcon(ItemIcon(FPngImages->Items(i)).get());
}

int TPngImageList::AddItem(std::unique_ptr<TPngImage> png, TColor background) {
    TChangeLock lock(*this);
    TPngImageCollectionItem* item = FPngImages->Add();
    item->SetBackground(background);
    item->SetPngImage(png.get());
    TImageList::AddIcon(ItemIcon(item).get());
    return Count() - 1;
}

int TPngImageList::AddPng(TPngImage* png, TColor background) {
    if (!png) return -1;
    auto copy = std::make_unique<TPngImage>();
    copy->Assign(png);
    return AddItem(std::move(copy), background);
}

int TPngImageList::Add(TBitmap* image, TBitmap* mask) {
    if (!image) return -1;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNG(image, mask, png.get());
    return AddItem(std::move(png), clBtnFace);
}

int TPngImageList::AddIcon(TIcon* image) {
    if (!image) return -1;
    auto png = std::make_unique<TPngImage>();
    ConvertIconToPNG(image, png.get());
    return AddItem(std::move(png), clBtnFace);
}

void TPngImageList::AddImages(TCustomImageList* value) {
    if (!value) return;
    // Copied first: the source may be this list.
    std::vector<std::unique_ptr<TPngImage>> pngs;
    for (int i = 0; i < value->Count(); ++i) {
        pngs.push_back(std::make_unique<TPngImage>());
        CopyImageFromImageList(pngs.back().get(), value, i);
    }
    BeginUpdate();
    auto end = Finally([this] { EndUpdate(); });
    for (auto& png : pngs)
        AddItem(std::move(png), clBtnFace);
}

int TPngImageList::AddMasked(TBitmap* image, TColor maskColor) {
    if (!image) return -1;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNGMasked(image, maskColor, png.get());
    return AddItem(std::move(png), clBtnFace);
}

void TPngImageList::Clear() {
    TChangeLock lock(*this);
    FPngImages->Clear();
    TImageList::Clear();
}

void TPngImageList::Delete(int index) {
    if (index < 0 || index >= FPngImages->Count()) return;
    TChangeLock lock(*this);
    FPngImages->Delete(index);
    if (index < Count()) TImageList::Delete(index);
}

void TPngImageList::InsertItem(int index, std::unique_ptr<TPngImage> png) {
    CheckIndex(index, true);
    TChangeLock lock(*this);
    auto* item = static_cast<TPngImageCollectionItem*>(FPngImages->Insert(index));
    item->SetPngImage(png.get());
    TImageList::InsertIcon(index, ItemIcon(item).get());
}

void TPngImageList::Insert(int index, TBitmap* image, TBitmap* mask) {
    if (!image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNG(image, mask, png.get());
    InsertItem(index, std::move(png));
}

void TPngImageList::InsertIcon(int index, TIcon* image) {
    if (!image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertIconToPNG(image, png.get());
    InsertItem(index, std::move(png));
}

void TPngImageList::InsertMasked(int index, TBitmap* image, TColor maskColor) {
    if (!image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNGMasked(image, maskColor, png.get());
    InsertItem(index, std::move(png));
}

void TPngImageList::ReplaceItem(int index, std::unique_ptr<TPngImage> png) {
    CheckIndex(index);
    TChangeLock lock(*this);
    TPngImageCollectionItem* item = FPngImages->Items(index);
    item->SetPngImage(png.get());
    TImageList::ReplaceIcon(index, ItemIcon(item).get());
}

void TPngImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
    if (!image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNG(image, mask, png.get());
    ReplaceItem(index, std::move(png));
}

void TPngImageList::ReplaceIcon(int index, TIcon* image) {
    if (!image) return;
    auto png = std::make_unique<TPngImage>();
    ConvertIconToPNG(image, png.get());
    ReplaceItem(index, std::move(png));
}

void TPngImageList::ReplaceMasked(int index, TBitmap* newImage, TColor maskColor) {
    if (!newImage) return;
    auto png = std::make_unique<TPngImage>();
    ConvertToPNGMasked(newImage, maskColor, png.get());
    ReplaceItem(index, std::move(png));
}

void TPngImageList::Move(int curIndex, int newIndex) {
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (curIndex == newIndex) return;
    TChangeLock lock(*this);
    FPngImages->Items(curIndex)->SetIndex(newIndex);
    TImageList::Move(curIndex, newIndex);
}

void TPngImageList::DoDraw(int index, TCanvas* canvas, int x, int y, TColor bk, TColor fg,
                           TDrawingStyle style, TImageType imageType, bool enabled) {
    if (imageType == itImage && index >= 0 && index < FPngImages->Count() &&
        !FPngImages->Items(index)->PngImage()->Empty()) {
        DrawPNG(FPngImages->Items(index)->PngImage(), canvas,
                TRect(x, y, x + Width(), y + Height()), enabled ? TPngOptions{} : FPngOptions);
        return;
    }
    TImageList::DoDraw(index, canvas, x, y, bk, fg, style, imageType, enabled);
}

// ---- Stream form ---------------------------------------------------------------------------

void TPngImageList::DefineProperties(TFiler* filer) {
    TImageList::DefineProperties(filer);
    filer->DefineProperty(
        "Left", [this](TReader& reader) { FDesignPosition.X = reader.ReadInteger(); },
        [this](TWriter& writer) { writer.WriteInteger(FDesignPosition.X); }, true);
    filer->DefineProperty(
        "Top", [this](TReader& reader) { FDesignPosition.Y = reader.ReadInteger(); },
        [this](TWriter& writer) { writer.WriteInteger(FDesignPosition.Y); }, true);
}

void TPngImageList::Loaded() {
    TImageList::Loaded();
    // The native images come from the PNGs as they were stored.
    Rebuild();
}

namespace {

// Forms hold PNG image lists with their images as PNG data.
[[maybe_unused]] const bool PngImageListRegistered = [] {
    RegisterControlProperties();
    using I = TPngImageCollectionItem;
    TPublished<I>("TPngImageCollectionItem", "TCollectionItem")
        .Object("PngImage", &I::PngImage)
        .String("Name", &I::Name, &I::SetName)
        .Color("Background", &I::Background, &I::SetBackground);
    RegisterPublishedClass("TPngImageCollectionItems", "TCollection");

    using L = TPngImageList;
    TPublished<L>("TPngImageList", "TImageList")
        .Boolean("EnabledImages", &L::EnabledImages, &L::SetEnabledImages, true)
        .Set("PngOptions", &L::PngOptions, &L::SetPngOptions,
             {"pngBlendOnDisabled", "pngGrayscaleOnDisabled"},
             int64_t(TPngOptions{pngBlendOnDisabled}.Bits()))
        .Object("PngImages", &L::PngImages);
    RegisterClass<L>("TPngImageList");
    return true;
}();

} // namespace

} // namespace epc
