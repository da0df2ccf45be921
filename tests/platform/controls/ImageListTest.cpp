#include <gtest/gtest.h>

#include <memory>

#include "platform/controls/ImageList.h"

using namespace epc;

namespace {

constexpr uint32_t Red = 0xFFFF0000u, Green = 0xFF00FF00u, Blue = 0xFF0000FFu,
                   Magenta = 0xFFFF00FFu;

// A 32-bit strip of solid cells, each w x h, with alpha 0 everywhere (a plain bitmap).
std::unique_ptr<TBitmap> Strip(std::initializer_list<uint32_t> colours, int w = 4, int h = 4) {
    TDecodedImage img;
    img.Width = int(colours.size()) * w;
    img.Height = h;
    img.Pixels.resize(size_t(img.Width) * h);
    int cell = 0;
    for (uint32_t c : colours) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.Pixels[size_t(y) * img.Width + cell * w + x] = c;
        ++cell;
    }
    auto b = std::make_unique<TBitmap>();
    b->LoadFromImage(img, pf24bit);
    return b;
}

uint32_t At(const TCustomImageList& list, int index, int x = 1, int y = 1) {
    return list.ImagePixels(index)[size_t(y) * list.Width() + x];
}

struct TRecordingList : TImageList {
    using TImageList::TImageList;
    int Adds = 0;
    int Add(TBitmap* image, TBitmap* mask) override {
        ++Adds;
        return TImageList::Add(image, mask);
    }
};

} // namespace

TEST(ImageList, StripsAreCutIntoCellsAndEditedByIndex) {
    TImageList list(nullptr, 4, 4);
    EXPECT_EQ(list.Add(Strip({Red, Green, Blue}).get(), nullptr), 0);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(At(list, 0), Red);
    EXPECT_EQ(At(list, 2), Blue);
    EXPECT_EQ(list.Add(nullptr, nullptr), -1);

    // Inserting at 0 keeps the old ones after it in their order.
    list.Insert(0, Strip({Magenta}).get(), nullptr);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(At(list, 0), Magenta);
    EXPECT_EQ(At(list, 1), Red);
    EXPECT_EQ(At(list, 3), Blue);

    list.Move(0, 3);
    EXPECT_EQ(At(list, 0), Red);
    EXPECT_EQ(At(list, 3), Magenta);
    list.Replace(1, Strip({Blue}).get(), nullptr);
    EXPECT_EQ(At(list, 1), Blue);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(At(list, 0), Blue);

    // Appending through Insert at Count is allowed; beyond is not.
    list.Insert(3, Strip({Green}).get(), nullptr);
    EXPECT_EQ(At(list, 3), Green);
    EXPECT_THROW(list.Insert(5, Strip({Green}).get(), nullptr), EInvalidOperation);
    EXPECT_THROW(list.Delete(4), EInvalidOperation);
    EXPECT_THROW(list.Delete(-1), EInvalidOperation);
    EXPECT_THROW(list.Move(0, 4), EInvalidOperation);
    EXPECT_THROW(list.Replace(9, Strip({Green}).get(), nullptr), EInvalidOperation);
    EXPECT_EQ(list.Count(), 4);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, CellsAboveTheLargestSizeAreRefused) {
    TImageList list(nullptr, 4, 4);
    list.SetSize(MaxImageListSize, MaxImageListSize);
    EXPECT_EQ(list.Width(), MaxImageListSize);
    EXPECT_THROW(list.SetSize(MaxImageListSize + 1, 4), EInvalidOperation);
    EXPECT_THROW(list.SetHeight(MaxImageListSize + 1), EInvalidOperation);
    EXPECT_EQ(list.Height(), MaxImageListSize);
}

TEST(ImageList, SmallBitmapsArePaddedTransparentlyAndLargeOnesCropped) {
    TImageList list(nullptr, 4, 4);
    list.Add(Strip({Red}, 2, 6).get(), nullptr);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(At(list, 0, 1, 1), Red);
    EXPECT_EQ(At(list, 0, 3, 1) >> 24, 0u) << "outside the bitmap is transparent";
    EXPECT_EQ(At(list, 0, 1, 3), Red) << "rows beyond the list height are dropped";
}

TEST(ImageList, MasksAndMaskColoursMakePixelsTransparent) {
    TImageList list(nullptr, 4, 4);
    auto image = Strip({Red});
    TDecodedImage withKey = image->ToImage();
    withKey.Pixels[0] = Magenta;
    image->LoadFromImage(withKey, pf24bit);

    EXPECT_EQ(list.AddMasked(image.get(), clDefault), 0); // top-left pixel is the key
    EXPECT_EQ(At(list, 0, 0, 0) >> 24, 0u);
    EXPECT_EQ(At(list, 0, 1, 0), Red);

    // Mask: white marks the transparent pixels.
    TDecodedImage m;
    m.Width = m.Height = 4;
    m.Pixels.assign(16, 0xFF000000u);
    m.Pixels[5] = 0xFFFFFFFFu;
    TBitmap mask;
    mask.LoadFromImage(m, pf1bit);
    EXPECT_EQ(list.Add(Strip({Green}).get(), &mask), 1);
    EXPECT_EQ(At(list, 1, 1, 1) >> 24, 0u);
    EXPECT_EQ(At(list, 1, 2, 1), Green);

    // The icon of an image carries the same mask back out.
    TIcon icon;
    ASSERT_TRUE(list.GetIcon(1, &icon));
    EXPECT_EQ(icon.Width(), 4);
    TDecodedImage back = icon.MaskBitmap()->ToImage();
    EXPECT_EQ(back.Pixels[5] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(back.Pixels[6] & 0xFFFFFF, 0u);
    EXPECT_EQ(list.AddIcon(&icon), 2);
    EXPECT_EQ(At(list, 2, 1, 1) >> 24, 0u);
    EXPECT_EQ(At(list, 2, 2, 1), Green);
    list.ReplaceIcon(0, &icon);
    EXPECT_EQ(At(list, 0, 2, 1), Green);
    list.InsertIcon(0, &icon);
    EXPECT_EQ(list.Count(), 4);
    list.ReplaceMasked(0, Strip({Blue}).get(), clNone);
    EXPECT_EQ(At(list, 0, 1, 1), Blue);
    list.InsertMasked(1, Strip({Red}).get(), TColor(0x0000FF)); // red key: all transparent
    EXPECT_EQ(At(list, 1, 1, 1) >> 24, 0u);

    TBitmap copy;
    EXPECT_FALSE(list.GetBitmap(9, &copy));
    ASSERT_TRUE(list.GetBitmap(0, &copy));
    EXPECT_EQ(copy.Width(), 4);
    EXPECT_EQ(copy.ToImage().Pixels[5], Blue);
}

TEST(ImageList, SizeChangesEmptyTheListAndNotify) {
    TImageList list(nullptr, 4, 4);
    list.Add(Strip({Red, Green}).get(), nullptr);
    int changes = 0;
    list.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        ++changes;
    };
    list.SetWidth(4);
    EXPECT_EQ(list.Count(), 2) << "an unchanged size keeps the images";
    EXPECT_EQ(changes, 0);
    list.SetHeight(8);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Height(), 8);
    EXPECT_GE(changes, 1);
    list.SetWidth(0);
    EXPECT_EQ(list.Width(), 1);
}

TEST(ImageList, ChangeLinksHearEveryEditAndSurviveEitherSideGoingFirst) {
    auto list = std::make_unique<TImageList>(nullptr, 4, 4);
    TChangeLink link;
    int heard = 0;
    link.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, list.get());
        ++heard;
    };
    list->RegisterChanges(&link);
    EXPECT_EQ(link.Sender(), list.get());
    list->Add(Strip({Red}).get(), nullptr);
    list->SetBkColor(clRed);
    list->Delete(0);
    EXPECT_EQ(heard, 3);

    list->BeginUpdate();
    list->Add(Strip({Red}).get(), nullptr);
    list->Add(Strip({Green}).get(), nullptr);
    EXPECT_EQ(heard, 3);
    list->EndUpdate();
    EXPECT_EQ(heard, 4) << "one notice for the whole update";

    {
        TChangeLink shortLived;
        list->RegisterChanges(&shortLived);
    } // unregisters itself
    list->Clear();
    EXPECT_EQ(heard, 5);

    list.reset();
    EXPECT_EQ(link.Sender(), nullptr);
}

TEST(ImageList, DescendantsSeeEveryAddThroughTheVirtualOperations) {
    TRecordingList list(nullptr, 4, 4);
    TImageList other(nullptr, 4, 4);
    other.Add(Strip({Red, Green, Blue}).get(), nullptr);
    list.AddImages(&other);
    EXPECT_EQ(list.Adds, 3);
    EXPECT_EQ(At(list, 1), Green);
    list.AddImages(&list); // a list can double itself
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(At(list, 5), Blue);

    TImageList copy(nullptr);
    other.SetBlendColor(clBlue);
    copy.Assign(&other);
    EXPECT_EQ(copy.Width(), 4);
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.BlendColor(), clBlue);
}

TEST(ImageList, DrawingStylesBlendMaskAndFade) {
    TImageList list(nullptr, 2, 1);
    TDecodedImage img;
    img.Width = 2;
    img.Height = 1;
    img.Pixels = {0xFFFF0000u, 0x00000000u}; // red, then fully transparent
    TBitmap b;
    b.LoadFromImage(img, pf32bit);
    list.Add(&b, nullptr);

    auto px = list.RenderImage(0, clNone, clNone, dsTransparent, itImage, true);
    EXPECT_EQ(px[0], Red);
    EXPECT_EQ(px[1] >> 24, 0u);
    // dsNormal with a background colour composes the picture over it.
    px = list.RenderImage(0, clBlue, clNone, dsNormal, itImage, true);
    EXPECT_EQ(px[1], Blue);
    // Selected blends half of the blend colour in.
    px = list.RenderImage(0, clNone, clBlue, dsSelected, itImage, true);
    EXPECT_EQ(px[0], 0xFF7F0080u);
    px = list.RenderImage(0, clNone, clBlue, dsFocus, itImage, true);
    EXPECT_EQ(px[0] & 0xFF, 0x40u);
    // Without a blend colour a selected image fades to half alpha.
    px = list.RenderImage(0, clNone, clNone, dsSelected, itImage, true);
    EXPECT_EQ(px[0], 0x80FF0000u);
    px = list.RenderImage(0, clNone, clNone, dsNormal, itMask, true);
    EXPECT_EQ(px[0], 0xFF000000u);
    EXPECT_EQ(px[1], 0xFFFFFFFFu);
    // Disabled: gray, half transparent.
    px = list.RenderImage(0, clNone, clNone, dsTransparent, itImage, false);
    EXPECT_EQ(px[0] >> 24, 0x7Fu);
    EXPECT_EQ((px[0] >> 16) & 0xFF, px[0] & 0xFF);

    // Onto a canvas: the red pixel lands, the transparent one leaves the target alone.
    TBitmap target(4, 2, pf32bit);
    target.Canvas()->Brush()->SetColor(clLime);
    target.Canvas()->FillRect(TRect(0, 0, 4, 2));
    list.Draw(target.Canvas(), 1, 1, 0);
    list.Draw(target.Canvas(), 0, 0, 7); // a bad index draws nothing
    TDecodedImage out = target.ToImage();
    EXPECT_EQ(out.Pixels[5] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(out.Pixels[6] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(out.Pixels[0] & 0xFFFFFF, 0x00FF00u);
    // The next draw shows its own pixels, not the previous image's.
    list.Add(Strip({Blue}, 2, 1).get(), nullptr);
    list.Draw(target.Canvas(), 2, 0, 1);
    out = target.ToImage();
    EXPECT_EQ(out.Pixels[2] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(out.Pixels[5] & 0xFFFFFF, 0xFF0000u);
}
