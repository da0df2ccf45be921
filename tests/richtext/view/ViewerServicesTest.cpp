// The viewer's document services: list text placed at its level's left indent, shifted text
// styles, style tables read from RVF by the viewer's read modes, options and colours that reach
// the viewer, draw markers.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Forms.h"
#include "platform/controls/ImageList.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/printing/Printers.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/PtRVData.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"
#include "tests/richtext/view/SmallPagePrintFixture.h"
#include "tests/richtext/view/ViewTestSupport.h"

namespace epc {
namespace {

// Cells of 10 x 20 pixels with an ascent of 16 (see the fixed-metric face).
constexpr const char* kFixed = "Fixed Metrics Test";

void SetFixed(TFontInfo& f, TColor color) {
    f.FontName = kFixed;
    f.Size = 15;
    f.Color = color;
}

// A numbered list (0) and a bulleted one (1), both with their text at 24 and the marker at 0.
void AddLists(TRVStyle& style) {
    for (TRVListType type : {TRVListType::rvlstDecimal, TRVListType::rvlstBullet}) {
        TRVListLevel& level = style.ListStyles.Add().AddLevel();
        level.ListType = type;
        level.FormatString = type == TRVListType::rvlstDecimal ? "%0:s." : "*";
        level.Font.FontName = kFixed;
        level.Font.Size = 15;
        level.LeftIndent = 24;
        level.MarkerIndent = 0;
    }
}

class ViewerServicesTest : public ::testing::Test {
protected:
    TPlatformContext Context;
    void SetUp() override {
        Form = test::NewTestForm();
        Style = new TRVStyle(Form);
        SetFixed(Style->TextStyles[0], clBlack);
        Style->Color = clWhite;
        View = NewView(10);
    }
    TRichView* NewView(int top) {
        auto* view = new TRichView(Form);
        view->SetParent(Form);
        view->SetBounds(10, top, 300, 100);
        view->SetBorderStyle(bsNone);
        view->SetStyle(Style);
        return view;
    }
    void Show() {
        testing::ShowForm(Form);
        View->Format();
        testing::Pump();
    }
    TColor At(TRichView* view, int x, int y) { return TColor(testing::PixelAt(view, x, y)); }

    TForm* Form = nullptr;
    TRVStyle* Style = nullptr;
    TRichView* View = nullptr;
};

// The drawing items of the item's text: the left of each piece.
std::string TextLefts(TCustomRVFormattedData& data) {
    std::string s;
    for (int i = 0; i < data.DrawItems.Count(); ++i) {
        const TRVDrawLineInfo* d = data.DrawItems[i];
        if (data.GetItemStyleNo(d->ItemNo) >= 0) s += std::to_string(d->Left) + " ";
    }
    return s;
}

TEST_F(ViewerServicesTest, ListTextStartsAtTheLevelsLeftIndentOnEveryLine) {
    AddLists(*Style);
    View->LeftMargin = 5;
    View->RightMargin = 5;
    // 12 characters of 10 pixels fit the 290 - 24 pixels after the indent: the text wraps.
    for (int list = 0; list < 2; ++list) {
        View->AppendTextParagraph("aaaa bbbb cccc dddd eeee ffff gggg hhhh", 0, 0);
        View->ApplyParagraphMarker(View->GetItemCount() - 1, list, 0, 1, false);
    }
    Show();
    TCustomRVFormattedData& data = *View->RVData();
    // Both lines of both lists: 5 (margin) + 24.
    EXPECT_EQ(TextLefts(data), "29 29 29 29 ");
    // The first glyph of the numbered list's text (and not the marker) sits at 29.
    EXPECT_EQ(At(View, 29 + 4, 5 + 8), TColor(ColorToRGB(clBlack)));
    EXPECT_EQ(At(View, 29, 5 + 8), TColor(ColorToRGB(clWhite)));
    EXPECT_EQ(At(View, 29 - 4, 5 + 8), TColor(ColorToRGB(clWhite)));
}

TEST_F(ViewerServicesTest, AWideMarkerPushesTheTextOn) {
    AddLists(*Style);
    Style->ListStyles[0].Levels[0]->FormatString = "(%0:s) --";
    View->AppendTextParagraph("text", 0, 0);
    View->ApplyParagraphMarker(0, 0, 0, 1, false);
    Show();
    // "(1) --" is 60 pixels wide, wider than the 24 to the indent.
    EXPECT_EQ(TextLefts(*View->RVData()), "65 ");
}

TEST_F(ViewerServicesTest, ShiftedTextStylesMoveTheirTextOffTheBaseline) {
    TFontInfo& up = Style->TextStyles.Add(); // 1: raised by half the font height
    SetFixed(up, clRed);
    up.VShift = 50;
    TFontInfo& down = Style->TextStyles.Add(); // 2: lowered by a quarter
    SetFixed(down, clBlue);
    down.VShift = -25;
    View->AppendTextParagraph("a", 0, 0);
    View->AppendTextParagraph("b", 1, -1);
    View->AppendTextParagraph("c", 2, -1);
    Show();
    const TRVDrawLines& d = View->RVData()->DrawItems;
    ASSERT_EQ(d.Count(), 3);
    // The raised piece lifts the line: the plain one sits 10 pixels below it, the lowered one
    // 5 pixels further down.
    EXPECT_EQ(d[1]->Top, 5);
    EXPECT_EQ(d[0]->Top, 15);
    EXPECT_EQ(d[2]->Top, 20);
    EXPECT_EQ(At(View, 5 + 10 + 4, 5 + 8), TColor(ColorToRGB(clRed)));
    EXPECT_EQ(At(View, 5 + 20 + 4, 20 + 8), TColor(ColorToRGB(clBlue)));
    // Stored and read back with the style.
    TMemoryStream rvf;
    View->RVFOptions.Include(TRVFOption::rvfoSaveTextStyles);
    View->WriteRvfStream(rvf, false);
    Style->TextStyles[1].VShift = 0;
    rvf.SetPosition(0);
    View->RVFTextStylesReadMode = TRVFReaderStyleMode::rvf_sInsertMap;
    ASSERT_TRUE(View->ReadRvfStream(rvf));
    EXPECT_EQ(Style->TextStyles[1].VShift, 50);
}

TEST_F(ViewerServicesTest, CentredLineKeepsItsOnlyTrailingSpace) {
    TParaInfo& centred = Style->ParaStyles.Add();
    centred.Alignment = TRVAlignment::rvaCenter;
    View->SetBounds(10, 10, 110, 100); // text width 100
    // The same paragraph twice: one line start ends where the next paragraph begins, the
    // other where the document ends; both keep their space and stand alike.
    View->AppendTextParagraph("hello ", 0, 1);
    View->AppendTextParagraph("hello ", 0, 1);
    Show();
    const TRVDrawLines& d = View->RVData()->DrawItems;
    ASSERT_EQ(d.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(d[i]->Length, 6) << i;
        EXPECT_EQ(d[i]->Left, 25) << i;
    }
}

// Two viewers on one sheet: loading RVF with its style tables into one merges them, so the
// other's text keeps its look.
TEST_F(ViewerServicesTest, MergingStoredStylesLeavesTheOtherViewerAlone) {
    TFontInfo& red = Style->TextStyles.Add(); // 1
    SetFixed(red, clRed);
    TRichView* other = NewView(120);
    other->AppendTextParagraph("red", 1, 0);
    Show();
    other->Format();
    testing::Pump();
    auto picture = [&] {
        std::string s;
        for (int y = 0; y < 30; y += 2)
            for (int x = 0; x < 60; x += 2)
                s += std::to_string(At(other, x, y)) + ",";
        return s;
    };
    const std::string before = picture();
    EXPECT_EQ(At(other, 5 + 4, 5 + 8), TColor(ColorToRGB(clRed)));

    // A stream from another sheet: its only text style is large and blue.
    TRVStyle foreign(nullptr);
    SetFixed(foreign.TextStyles[0], clBlue);
    foreign.TextStyles[0].Size = 30;
    auto source = std::make_unique<TRichView>(nullptr);
    source->SetStyle(&foreign);
    source->RVFOptions.Include(TRVFOption::rvfoSaveTextStyles);
    source->RVFOptions.Include(TRVFOption::rvfoSaveParaStyles);
    source->AppendTextParagraph("blue", 0, 0);
    TMemoryStream rvf;
    source->WriteRvfStream(rvf, false);

    rvf.SetPosition(0);
    ASSERT_TRUE(View->ReadRvfStream(rvf)); // merge mode by default
    View->Format();
    other->Invalidate();
    testing::Pump();
    ASSERT_EQ(Style->TextStyles.Count(), 3);
    EXPECT_EQ(View->GetItemStyleNo(0), 2);
    EXPECT_EQ(Style->TextStyles[2].Color, clBlue);
    EXPECT_EQ(picture(), before);

    // Ignoring keeps the sheet as it is; the items keep their stored numbers.
    View->RVFTextStylesReadMode = TRVFReaderStyleMode::rvf_sIgnore;
    rvf.SetPosition(0);
    ASSERT_TRUE(View->ReadRvfStream(rvf));
    EXPECT_EQ(Style->TextStyles.Count(), 3);
    EXPECT_EQ(View->GetItemStyleNo(0), 0);

    // Replacing puts the stream's table in place of the sheet's.
    View->RVFTextStylesReadMode = TRVFReaderStyleMode::rvf_sInsertMap;
    rvf.SetPosition(0);
    ASSERT_TRUE(View->ReadRvfStream(rvf));
    EXPECT_EQ(Style->TextStyles.Count(), 1);
    EXPECT_EQ(Style->TextStyles[0].Color, clBlue);
}

TEST_F(ViewerServicesTest, DocumentOptionsAndStoredColourReachTheViewer) {
    TCustomRVData* data = View->RVData();
    data->SetOptions(TRVOptions::FromBits(5));
    EXPECT_EQ(View->Options.Bits(), 5u);
    data->SetRVFOptions(TRVFOptions{TRVFOption::rvfoSaveBack, TRVFOption::rvfoLoadBack});
    EXPECT_TRUE(View->RVFOptions.Contains(TRVFOption::rvfoLoadBack));
    data->SetRTFOptions(TRVRTFOptions{TRVRTFOption::rvrtfSaveStyleSheet});
    EXPECT_EQ(View->RTFOptions.Bits(), 1u);

    // A stored background colour of clNone (stored with a background picture) replaces the
    // viewer's colour too.
    TBitmap tile(4, 4, pf24bit);
    View->SetBackgroundBitmap(&tile);
    View->SetBackgroundStyle(TBackgroundStyle::bsTiled);
    View->SetColor(clNone);
    View->AppendTextParagraph("x", 0, 0);
    TMemoryStream rvf;
    View->WriteRvfStream(rvf, false);
    View->SetColor(clYellow);
    rvf.SetPosition(0);
    ASSERT_TRUE(View->ReadRvfStream(rvf));
    EXPECT_EQ(View->Color(), clNone);
}

TEST_F(ViewerServicesTest, DrawMarkerListsAreMadeOnDemandAndClearedTogether) {
    TRichViewRVData* data = View->RVData();
    EXPECT_EQ(data->DrawMarkers(0, false), nullptr);
    EXPECT_EQ(data->DrawMarkers(3, true), nullptr);
    for (int list = 0; list < 3; ++list)
        data->DrawMarkers(list, true)->push_back({0, 1, 2, clRed});
    EXPECT_EQ(data->DrawMarkers(2, false)->size(), 1u);
    View->ClearDrawMarkers();
    for (int list = 0; list < 3; ++list)
        EXPECT_EQ(data->DrawMarkers(list, false), nullptr);
}

// Printed at twice the screen's resolution, list text starts at twice the left indent.
class ListPrintTest : public test::SmallPagePrintFixture {};

TEST_F(ListPrintTest, PrintedListTextStartsAtTheScaledLeftIndent) {
    Printer().SetResolution(192);
    AddLists(*Style);
    for (int list = 0; list < 2; ++list) {
        Source->AppendTextParagraph("aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj", 0, 0);
        Source->ApplyParagraphMarker(Source->GetItemCount() - 1, list, 0, 1, false);
    }
    ASSERT_GE(Format(), 1);
    TCustomRVFormattedData& data = *Print->rv()->PrintData();
    std::string lefts = TextLefts(data);
    ASSERT_FALSE(lefts.empty());
    // At least two lines per paragraph, each at 48.
    EXPECT_GE(lefts.size() / 3, 4u) << lefts;
    for (size_t p = 0; p < lefts.size(); p += 3)
        EXPECT_EQ(lefts.substr(p, 3), "48 ") << lefts;
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(ViewerServicesTest, LargeImageIndexesReadAsZeroWhenTheOptionSaysSo) {
    TCustomImageList images(nullptr, 8, 8);
    TBitmap square(8, 8, pf24bit);
    images.Add(&square, nullptr);
    View->OnRVFImageListNeeded = [&](TCustomRichView*, int, TCustomImageList*& list) {
        list = &images;
    };
    View->RVData()->AddBullet("b", 3, &images, 0, 0);
    View->RVData()->AddHotspot("h", 0, 5, &images, 0, 0);
    TMemoryStream rvf;
    View->WriteRvfStream(rvf, false);
    auto indexes = [&] {
        auto* bullet = static_cast<TRVBulletItemInfo*>(View->GetItemObject(0));
        auto* hotspot = static_cast<TRVHotspotItemInfo*>(View->GetItemObject(1));
        return std::to_string(bullet->ImageIndex) + " " + std::to_string(hotspot->HotImageIndex);
    };
    rvf.SetPosition(0);
    ASSERT_TRUE(View->ReadRvfStream(rvf));
    EXPECT_EQ(indexes(), "3 5");
    View->RVFOptions.Include(TRVFOption::rvfoConvLargeImageIdxToZero);
    rvf.SetPosition(0);
    ASSERT_TRUE(View->ReadRvfStream(rvf));
    EXPECT_EQ(indexes(), "0 0");
}

} // namespace
} // namespace epc
