#include <gtest/gtest.h>

#include "platform/core/Strings.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"

using namespace epc;

TEST(TextHelpers, CharacterEditsOfAnsiAndUnicodeText) {
    std::string a = "hello";
    EXPECT_EQ(CopyItemTextChars(a, 0, 2, 3), "ell");
    EXPECT_EQ(CopyItemTextChars(a, 0, 4, 99), "lo");
    EXPECT_EQ(CopyItemTextChars(a, 0, 9, 1), "");
    DeleteTextChars(a, 0, 1, 2);
    EXPECT_EQ(a, "llo");
    InsertTextChars(a, 0, 4, "!");
    EXPECT_EQ(a, "llo!");
    std::string w = WideToBytes(u"\u00E9t\u00E9");
    EXPECT_EQ(GetTextCharLength(w, rvioUnicode), 3);
    EXPECT_EQ(BytesToWide(CopyItemTextChars(w, rvioUnicode, 2, 2)), u"t\u00E9");
    DeleteTextChars(w, rvioUnicode, 2, 1);
    InsertTextChars(w, rvioUnicode, 2, WideToBytes(u"-"));
    EXPECT_EQ(BytesToWide(w), u"\u00E9-\u00E9");
    EXPECT_FALSE(IsSpaceCharAt(w, 9, rvioUnicode));
}

TEST(TextHelpers, TabsSearchesAndCaps) {
    EXPECT_EQ(ExpandTabsA("a\tb\t", 3), "a   b   ");
    EXPECT_EQ(BytesToWide(ExpandTabsW(WideToBytes(u"\tx"), 2)), u"  x");
    EXPECT_EQ(FindByteInBuffer("abc", 'c', 3), 3);
    EXPECT_EQ(FindByteInBuffer("abc", 'd', 3), 0);
    const char16_t text[] = u"xyz";
    EXPECT_EQ(FindWideChar(text, u'y', 3), text + 1);
    EXPECT_EQ(FindWideChar(text, u'q', 3), nullptr);
    EXPECT_EQ(ApplyAllCaps("abc", false, true, 0), "ABC");
    EXPECT_EQ(ApplyAllCaps("abc", false, false, 0), "abc");
    EXPECT_EQ(BytesToWide(ApplyAllCaps(WideToBytes(u"\u00E9a"), true, true, 0)), u"\u00C9A");
    EXPECT_EQ(BackslashesToSlashes("a\\b\\c.png"), "a/b/c.png");
}

TEST(TextHelpers, CodePageConversions) {
    EXPECT_EQ(BytesToWide(AnsiToUnicodeCP("\xE9", 1252)), u"\u00E9");
    EXPECT_EQ(UnicodeToAnsiCP(WideToBytes(u"\u00E9\u4E00"), 1252), "\xE9?");
    // A stray odd byte is dropped, not read past.
    EXPECT_EQ(UnicodeToAnsiCP(std::string("A\0B", 3), 1252), "A");
}

TEST(ColorModes, ConversionsForPrinting) {
    EXPECT_EQ(SystemColorToPrintable(clWindowText), clBlack);
    EXPECT_EQ(SystemColorToPrintable(clWindow), clWhite);
    EXPECT_EQ(ColorToGray(clNone), clNone);
    EXPECT_EQ(ColorToGray(clWhite), clWhite);
    TColor g = ColorToGray(clRed);
    EXPECT_EQ(GetRValue(g), GetGValue(g));
    EXPECT_EQ(GetRValue(g), 76);
    EXPECT_EQ(ApplyColorModeToTextColor(clRed, TRVColorMode::rvcmColor), clRed);
    EXPECT_EQ(ApplyColorModeToTextColor(clWindowText, TRVColorMode::rvcmPrinterColor), clBlack);
    EXPECT_EQ(ApplyColorModeToTextColor(clRed, TRVColorMode::rvcmBlackAndWhite), clBlack);
    EXPECT_EQ(ApplyColorModeToBackColor(clRed, TRVColorMode::rvcmBlackAndWhite), clWhite);
    EXPECT_EQ(ApplyColorModeToBackColor(clNone, TRVColorMode::rvcmGrayScale), clNone);
    EXPECT_EQ(ColorToHtmlHex(clRed), "#FF0000");
    EXPECT_EQ(ColorToHtmlHex(clWindowText), "#000000");
    EXPECT_EQ(ColorToHtmlHex(clNone), "");
}

TEST(Records, BooleanRectsListsAndBoxes) {
    TRVBooleanRect r(true);
    EXPECT_TRUE(r.AllEqualTo(true));
    r.SetValues(true, false, true, false);
    EXPECT_TRUE(r.EqualsValues(true, false, true, false));
    EXPECT_FALSE(r.AllEqualTo(true));
    TRVIntegerList l = TRVIntegerList::CreateFilled(3, 7);
    EXPECT_EQ(l.AddIfAbsent(7), 0);
    EXPECT_EQ(l.AddIfAbsent(8), 3);
    TRVIntegerList copy = TRVIntegerList::CreateCopyOf(l);
    l.SetValue(0, 1);
    EXPECT_EQ(copy.GetValue(0), 7);
    TRVColorList colors;
    colors.AddColorIfAbsent(clNone);
    colors.AddColorIfAbsent(clRed);
    colors.AddColorIfAbsent(clRed);
    EXPECT_EQ(colors.Count(), 1);
    EXPECT_TRUE(PointInBox(0, 0, 0, 0, 2, 2));
    EXPECT_FALSE(PointInBox(2, 1, 0, 0, 2, 2));
    TRVBackgroundRect back;
    back.BorderOffsets = {1, 2, 3, 4};
    TRect rect{10, 10, 20, 20};
    back.ExpandRect(rect);
    EXPECT_EQ(rect, (TRect{9, 8, 23, 24}));
    rect = TRect{10, 10, 20, 20};
    back.ExpandRectScaled(rect, 96, 192);
    EXPECT_EQ(rect, (TRect{8, 6, 26, 28}));
}

TEST(Records, ScreenAndDeviceScalingRoundsAndSurvivesAZeroResolution) {
    const TRVScreenAndDevice printer{96, 96, 600, 300};
    EXPECT_EQ(printer.XToDevice(5), 31); // 31.25
    EXPECT_EQ(printer.XToDevice(7), 44); // 43.75
    EXPECT_EQ(printer.YToDevice(-3), -9);
    EXPECT_EQ(printer.XToScreen(625), 100);
    EXPECT_EQ(printer.YToScreen(50), 16);
    EXPECT_FALSE(printer.IsOneToOne());
    EXPECT_TRUE(TRVScreenAndDevice{}.IsOneToOne());
    // A device that reports no resolution divides by one, never fails the division (-1).
    const TRVScreenAndDevice blind{96, 96, 0, 0};
    EXPECT_EQ(blind.XToScreen(2), 192);
    EXPECT_EQ(blind.YToScreen(3), 288);
    EXPECT_EQ(blind.XToDevice(50), 0);
    EXPECT_EQ((TRVScreenAndDevice{0, 0, 300, 300}.YToDevice(2)), 600);
    EXPECT_EQ((TRVScreenAndDevice{0, 0, 0, 0}.XToDevice(7)), 7);
    TRect rect{1, 2, 3, 4};
    DeviceRectToScreen(rect, blind);
    EXPECT_EQ(rect, (TRect{96, 192, 288, 384}));
    const TRVResolutionInfo noDevice{96, 96, 0, 0};
    EXPECT_EQ(DeviceToScreenX(3, noDevice), 288);
    EXPECT_EQ(DeviceToScreenY(-1, noDevice), -96);
}

TEST(Records, HyperlinksAreTextInALinkStyleOrItemsOfAHotKind) {
    TRVStyle style(nullptr);
    style.TextStyles.Add().Jump = false;
    const int plain = style.TextStyles.Count() - 1;
    style.TextStyles.Add().Jump = true;
    const int link = style.TextStyles.Count() - 1;
    TRVTextItemInfo text(nullptr);
    text.StyleNo = link;
    EXPECT_TRUE(text.IsHyperlink(&style));
    EXPECT_FALSE(text.IsHyperlink(nullptr));
    text.StyleNo = plain;
    EXPECT_FALSE(text.IsHyperlink(&style));
    TRVHotspotItemInfo hotspot(nullptr);
    TRVGraphicItemInfo picture(nullptr);
    TRVHotGraphicItemInfo hotPicture(nullptr);
    EXPECT_TRUE(hotspot.IsHyperlink(&style));
    EXPECT_TRUE(hotPicture.IsHyperlink(nullptr));
    EXPECT_FALSE(picture.IsHyperlink(&style));
}

TEST(Records, OwningListFreesWhatItHolds) {
    static int alive = 0;
    struct Counted : TObject {
        Counted() { ++alive; }
        ~Counted() override { --alive; }
    };
    {
        TRVList list;
        list.Add(std::make_unique<Counted>());
        list.Add(std::make_unique<Counted>());
        list.Add(std::make_unique<Counted>());
        list.DeleteAndFree(0);
        EXPECT_EQ(alive, 2);
        std::unique_ptr<TObject> kept = list.DeleteWithoutFree(1);
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(list.Count(), 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(Printing, PicturePartsSplitOnlyAboveTheMinimum) {
    TRVGraphicItemInfo item(nullptr);
    item.ImageHeight = 100;
    TRVMultiImagePrintInfo info(&item);
    info.Height = 100;
    EXPECT_FALSE(info.CanSplit());
    EXPECT_EQ(info.PartsList.Count(), 0);
    EXPECT_THROW(info.SplitAt(10), ERichViewError);
    item.MinHeightOnPage = 20;
    // The answer comes with the first part: the whole picture.
    EXPECT_TRUE(info.CanSplit());
    ASSERT_EQ(info.PartsList.Count(), 1);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[0])->Height, 100);
    EXPECT_TRUE(info.FitsFirstPart(100));
    EXPECT_TRUE(info.FitsFirstPart(50));
    EXPECT_FALSE(info.FitsFirstPart(10));
    EXPECT_FALSE(info.FitsFirstPart(90));
    // A cut that would leave less than the minimum below moves up, so that both pieces keep
    // it; the rest then fits.
    EXPECT_TRUE(info.SplitAt(95));
    ASSERT_EQ(info.PartsList.Count(), 2);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[0])->Height, 80);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[1])->Height, 20);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[1])->ImgTop, 80);
    EXPECT_FALSE(info.SplitAt(40));
    // Where both pieces keep the minimum, the cut is where the room ends.
    EXPECT_TRUE(info.CanSplit());
    EXPECT_TRUE(info.SplitAt(40));
    ASSERT_EQ(info.PartsList.Count(), 2);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[0])->Height, 40);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[1])->Height, 60);
    EXPECT_EQ(static_cast<TRVImagePrintPart*>(info.PartsList[1])->ImgTop, 40);
    std::unique_ptr<TRVDrawLineInfo> dli(item.CreatePrintingDrawItem(nullptr, nullptr));
    EXPECT_NE(dynamic_cast<TRVMultiImagePrintInfo*>(dli.get()), nullptr);
}

namespace {
TColor PixelAt(TBitmap& bmp, int x, int y) {
    return bmp.Canvas()->Pixels(x, y);
}
} // namespace

TEST(Drawing, PicturesScaleToTheDeviceResolution) {
    TBitmap picture(4, 2, pf24bit);
    picture.Canvas()->Brush()->SetColor(clRed);
    picture.Canvas()->FillRect(TRect{0, 0, 4, 2});
    TCanvas device;
    device.SetOwnedHandle(CreateBufferDC(20, 20, 192, 192));
    device.Brush()->SetColor(clWhite);
    device.FillRect(TRect{0, 0, 20, 20});
    TRVResolutionInfo res;
    GetScreenAndDeviceResolution(res, &device);
    EXPECT_EQ(res.ScreenResX, 96);
    EXPECT_EQ(res.DeviceResX, 192);
    EXPECT_EQ(DeviceToScreenX(50, res), 25);
    DrawGraphicForDevice(&device, 1, 1, &picture, res);
    EXPECT_EQ(device.Pixels(1, 1), clRed);
    EXPECT_EQ(device.Pixels(8, 4), clRed);
    EXPECT_EQ(device.Pixels(9, 4), clWhite);
    EXPECT_EQ(device.Pixels(8, 5), clWhite);
}

TEST(Drawing, StyleEventsCanReplaceTheDefault) {
    TRVStyle style(nullptr);
    style.ParaStyles[0].Background.Color = clYellow;
    TBitmap page(20, 20, pf24bit);
    page.Canvas()->Brush()->SetColor(clWhite);
    page.Canvas()->FillRect(TRect{0, 0, 20, 20});
    style.DrawParaBack(page.Canvas(), 0, TRect{2, 2, 10, 10}, false, TRVColorMode::rvcmColor);
    EXPECT_EQ(PixelAt(page, 5, 5), clYellow);
    EXPECT_EQ(PixelAt(page, 12, 12), clWhite);
    int calls = 0;
    style.OnDrawParaBack = [&](TRVStyle*, TCanvas*, int, const TRect&, bool& doDefault) {
        ++calls;
        doDefault = false;
    };
    style.DrawParaBack(page.Canvas(), 0, TRect{10, 10, 18, 18}, false, TRVColorMode::rvcmColor);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(PixelAt(page, 12, 12), clWhite);
    // Printing in black and white gives a white background.
    style.OnDrawParaBack = nullptr;
    style.DrawParaBack(page.Canvas(), 0, TRect{2, 2, 10, 10}, true,
                       TRVColorMode::rvcmBlackAndWhite);
    EXPECT_EQ(PixelAt(page, 5, 5), clWhite);

    style.TextStyles[0].Size = 20;
    style.OnApplyStyle = [](TRVStyle*, TCanvas*, int, bool& doDefault) { doDefault = false; };
    page.Canvas()->Font()->SetSize(8);
    style.ApplyStyle(page.Canvas(), 0, TRVBiDiMode::rvbdUnspecified);
    EXPECT_EQ(page.Canvas()->Font()->Size(), 8);
    style.OnApplyStyle = nullptr;
    style.ApplyStyle(page.Canvas(), 0, TRVBiDiMode::rvbdUnspecified);
    EXPECT_EQ(page.Canvas()->Font()->Size(), 20);
    EXPECT_GT(GetTextWidth(page.Canvas(), "WW", false), GetTextWidth(page.Canvas(), "W", false));
    std::vector<int> extents;
    int fit = MeasureTextFit(page.Canvas(), WideToBytes(u"WWWW"), true, 25, &extents);
    ASSERT_EQ(extents.size(), 4u);
    EXPECT_LT(fit, 4);
    EXPECT_EQ(extents[3], GetTextWidth(page.Canvas(), "WWWW", false));
    EXPECT_EQ(MeasureTextFitBuf(page.Canvas(), "WWWW", 4, 25, false), fit);
}

TEST(Drawing, BreaksAndPicturesPaintThemselves) {
    TRVStyle style(nullptr);
    TBitmap page(40, 20, pf24bit);
    page.Canvas()->Brush()->SetColor(clWhite);
    page.Canvas()->FillRect(TRect{0, 0, 40, 20});
    TRVBreakItemInfo brk(nullptr, 1, TRVBreakStyle::rvbsLine, clRed);
    TRVDrawLineInfo dli;
    dli.Height = 10;
    brk.PaintFullWidth(0, 40, 0, page.Canvas(), 0, &style, TRect{0, 0, 40, 20}, &dli);
    EXPECT_EQ(PixelAt(page, 20, 5), clRed);
    EXPECT_EQ(PixelAt(page, 20, 7), clWhite);
    auto picture = std::make_unique<TBitmap>(3, 3, pf24bit);
    picture->Canvas()->Brush()->SetColor(clBlue);
    picture->Canvas()->FillRect(TRect{0, 0, 3, 3});
    std::unique_ptr<TRVGraphicItemInfo> item =
        TRVGraphicItemInfo::CreateWithGraphic(nullptr, std::move(picture), TRVVAlign::rvvaBaseline);
    EXPECT_EQ(item->GetBoxWidth(), 5);
    item->Paint(10, 10, page.Canvas(), 0, &style, nullptr);
    EXPECT_EQ(PixelAt(page, 11, 11), clBlue);
    EXPECT_EQ(PixelAt(page, 10, 10), clWhite);
    // Printed into a bitmap of its box, the picture fills it inside the border spacing.
    TBitmap print(5, 5, pf24bit);
    print.Canvas()->Brush()->SetColor(clWhite);
    print.Canvas()->FillRect(TRect{0, 0, 5, 5});
    EXPECT_TRUE(item->PrintToBitmap(&print, false, &style, TRVColorMode::rvcmColor));
    EXPECT_EQ(PixelAt(print, 1, 1), clBlue);
    EXPECT_EQ(PixelAt(print, 3, 3), clBlue);
    EXPECT_EQ(PixelAt(print, 0, 0), clWhite);
    EXPECT_EQ(PixelAt(print, 4, 4), clWhite);
}
