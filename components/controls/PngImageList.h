#pragma once
// An image list whose images are kept as PNG images with full alpha. The list's own images
// (what ordinary users of an image list read and draw) are rebuilt from the PNGs as icons
// composed on each item's background; drawing goes to the PNGs themselves, faded or grayed
// when an image is drawn disabled. Every editing operation of the image list is overridden,
// so the PNG collection and the list's images stay in step whichever one is called.

#include <memory>
#include <string>

#include "components/controls/PngFunctions.h"
#include "platform/controls/ImageList.h"
#include "platform/core/Classes.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/PngImage.h"

namespace epc {

class TPngImageCollectionItem : public TCollectionItem {
public:
    explicit TPngImageCollectionItem(TCollection* collection);
    ~TPngImageCollectionItem() override;
    std::string ClassName() const override { return "TPngImageCollectionItem"; }
    void Assign(TPersistent* source) override;

    TPngImage* PngImage() const { return FPngImage.get(); }
    // Copies the PNG (nil empties it).
    void SetPngImage(TPngImage* value);
    const std::string& Name() const { return FName; }
    void SetName(const std::string& value) { FName = value; }
    // The colour the PNG is composed on for the list's own images (clNone: kept transparent).
    TColor Background() const { return FBackground; }
    void SetBackground(TColor value);

private:
    std::unique_ptr<TPngImage> FPngImage;
    std::string FName;
    TColor FBackground = clBtnFace;
};

class TPngImageCollectionItems : public TCollection {
public:
    explicit TPngImageCollectionItems(TPersistent* owner);
    std::string ClassName() const override { return "TPngImageCollectionItems"; }
    TPngImageCollectionItem* Items(int index) const {
        return static_cast<TPngImageCollectionItem*>(TCollection::Items(index));
    }
    TPngImageCollectionItem* Add() {
        return static_cast<TPngImageCollectionItem*>(TCollection::Add());
    }
};

// The icon of a PNG: colour composed on Background (clNone keeps the PNG's alpha) and a mask
// that is white exactly where the PNG is transparent (alpha 0, or the transparent colour).
std::unique_ptr<TIcon> PngToIcon(TPngImage* png, TColor background);

class TPngImageList : public TImageList {
public:
    explicit TPngImageList(TComponent* owner);
    ~TPngImageList() override;
    std::string ClassName() const override { return "TPngImageList"; }

    void Assign(TPersistent* source) override;

    TPngImageCollectionItems* PngImages() const { return FPngImages.get(); }
    void SetPngImages(TPngImageCollectionItems* value);
    // When false, the list's own images hold the disabled look (PngOptions applied).
    bool EnabledImages() const { return FEnabledImages; }
    void SetEnabledImages(bool value);
    TPngOptions PngOptions() const { return FPngOptions; }
    void SetPngOptions(TPngOptions value);
    // A new size empties the list and its collection.
    void SetSize(int aWidth, int aHeight) override;

    // Rebuilds the list's own images from the collection (not while a change is under way).
    virtual void Rebuild();

    int Add(TBitmap* image, TBitmap* mask) override;
    int AddIcon(TIcon* image) override;
    void AddImages(TCustomImageList* value) override;
    int AddMasked(TBitmap* image, TColor maskColor) override;
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, TBitmap* image, TBitmap* mask) override;
    void InsertIcon(int index, TIcon* image) override;
    void InsertMasked(int index, TBitmap* image, TColor maskColor) override;
    void Move(int curIndex, int newIndex) override;
    void Replace(int index, TBitmap* image, TBitmap* mask) override;
    void ReplaceIcon(int index, TIcon* image) override;
    void ReplaceMasked(int index, TBitmap* newImage, TColor maskColor) override;

    // Adds a PNG as a new item (a copy); the index of the new image.
    int AddPng(TPngImage* png, TColor background = clBtnFace);

    // Where the designer showed the list on its form, stored as "Left" and "Top".
    TPoint DesignPosition() const { return FDesignPosition; }
    void SetDesignPosition(TPoint value) { FDesignPosition = value; }
    void DefineProperties(TFiler* filer) override;
    void Loaded() override;

protected:
    void DoDraw(int index, TCanvas* canvas, int x, int y, TColor bk, TColor fg, TDrawingStyle style,
                TImageType imageType, bool enabled) override;

private:
    // The icon the list keeps for an item: its own look, or the disabled look.
    std::unique_ptr<TIcon> ItemIcon(TPngImageCollectionItem* item);
    int AddItem(std::unique_ptr<TPngImage> png, TColor background);
    void InsertItem(int index, std::unique_ptr<TPngImage> png);
    void ReplaceItem(int index, std::unique_ptr<TPngImage> png);
    void CollectionChanged();
    // Holds the list's own rebuild back, and gathers the change notices, while it changes.
    class TChangeLock;

    std::unique_ptr<TPngImageCollectionItems> FPngImages;
    bool FEnabledImages = true;
    TPngOptions FPngOptions{pngBlendOnDisabled};
    int FLocked = 0;
    TPoint FDesignPosition;
};

} // namespace epc
