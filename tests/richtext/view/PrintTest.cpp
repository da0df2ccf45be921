// Printing: pagination, page drawing and print jobs. Measured with the fixed-metric face on a
// 96 dpi printer (no scaling: 20-pixel lines) whose print area is 200 pixels high: ten lines.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/context/PlatformContext.h"
#include "platform/controls/ExtCtrls.h"
#include "platform/controls/Forms.h"
#include "platform/controls/ImageList.h"
#include "platform/graphics/Bitmap.h"
#include "platform/printing/Printers.h"
#include "platform/testing/UserActions.h"
#include "richtext/document/RVUni.h"
#include "richtext/view/PtblRV.h"
#include "tests/platform/printing/PrintToolSupport.h"
#include "tests/richtext/view/SmallPagePrintFixture.h"
#include "tests/richtext/view/TestRVData.h"

namespace epc::test {
namespace {

struct PrintFixture : SmallPagePrintFixture {
    std::vector<std::pair<int, TRVPrintingStep>> Formatting, Sending;

    void SetUp() override {
        SmallPagePrintFixture::SetUp();
        Printer().FileName = testing::OutDir() + "/view-print.pdf";
        std::filesystem::remove(Printer().FileName);
        Print->OnFormatting = [this](TCustomRichView*, int page, TRVPrintingStep step) {
            Formatting.push_back({page, step});
        };
        Print->OnSendingToPrinter = [this](TCustomRichView*, int page, TRVPrintingStep step) {
            Sending.push_back({page, step});
        };
    }
    void Lines(int count, int paraNo = 0) {
        for (int i = 0; i < count; ++i)
            Source->AppendTextParagraph("line" + std::to_string(i), 0, paraNo);
    }
    TCustomMainPtblRVData* Data() { return Print->rv()->PrintData(); }
    const TRVPageInfo& Page(int n) { return *Data()->Pages[size_t(n - 1)]; }
    std::vector<int> SentPages() const {
        std::vector<int> pages;
        for (auto& [page, step] : Sending)
            if (step == TRVPrintingStep::rvpsProceeding) pages.push_back(page);
        return pages;
    }
    int AddTallStyle(int pixels) { // a text style whose lines are that many pixels high
        return AddFixedTextStyle(*Style, pixels * 72 / 96);
    }
    void AddPicture(int height, int minPart) {
        auto bmp = std::make_unique<TBitmap>();
        bmp->SetSize(40, height);
        bmp->Canvas()->Brush()->SetColor(clBlack);
        bmp->Canvas()->FillRect(TRect(0, 0, 40, height));
        Source->AppendPicture("pic", std::move(bmp), 0);
        auto* item =
            static_cast<TRVRectItemInfo*>(Source->GetItemObject(Source->GetItemCount() - 1));
        item->Spacing = 0;
        item->MinHeightOnPage = minPart;
    }
};

TEST_F(PrintFixture, DefaultsAfterCreation) {
    TRVPrint print(nullptr);
    EXPECT_EQ(print.LeftMarginMM(), 20);
    EXPECT_EQ(print.BottomMarginMM(), 20);
    EXPECT_EQ(print.HeaderYMM(), 10);
    EXPECT_EQ(print.FooterYMM(), 10);
    EXPECT_TRUE(print.PreviewCorrection);
    EXPECT_EQ(print.ColorMode(), TRVColorMode::rvcmPrinterColor);
    EXPECT_FALSE(print.rv()->Options.Contains(TRVOption::rvoAllowSelection));
    EXPECT_TRUE(print.rv()->Options.Contains(TRVOption::rvoShowPageBreaks));
    EXPECT_FALSE(print.rv()->Visible());
    EXPECT_EQ(print.rv()->RVPrint, &print);
}

// Formatting an empty document only starts (there are no drawing items to finish); printing
// it tells its listeners of the start and the end, and writes no file.
TEST_F(PrintFixture, EmptyDocumentHasNoPagesAndPrintingItStartsAndFinishesWithoutAJob) {
    Print->StartAt = 30;
    EXPECT_EQ(Format(), 0);
    using P = std::vector<std::pair<int, TRVPrintingStep>>;
    EXPECT_EQ(Formatting, (P{{0, TRVPrintingStep::rvpsStarting}}));
    Print->PrintDocument("empty");
    EXPECT_EQ(Sending, (P{{0, TRVPrintingStep::rvpsStarting}, {0, TRVPrintingStep::rvpsFinished}}));
    EXPECT_EQ(Print->StartAt, 0);
    EXPECT_TRUE(Printer().Jobs().empty());
    EXPECT_FALSE(std::filesystem::exists(Printer().FileName));
    // A page named on an empty document is no page.
    EXPECT_THROW(Print->rv()->PrintPages(1, 1, "t", 1, false), ERichViewError);
}

TEST_F(PrintFixture, LinesFillPagesOfTenLines) {
    Lines(25);
    ASSERT_EQ(Format(), 3);
    EXPECT_EQ(Page(2).StartDrawItemNo, 10);
    EXPECT_EQ(Page(2).StartY, 200);
    EXPECT_EQ(Page(3).StartDrawItemNo, 20);
    EXPECT_EQ(Print->EndAt, 100);
    EXPECT_EQ(Formatting.front(), std::make_pair(0, TRVPrintingStep::rvpsStarting));
    EXPECT_EQ(Formatting.back(), std::make_pair(3, TRVPrintingStep::rvpsFinished));
    EXPECT_TRUE(Print->PagesFormatted());
    int first, last, part;
    Data()->GetDrawItemsRange(2, first, last, part);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 19);
    EXPECT_EQ(part, 0);
}

TEST_F(PrintFixture, FormattingAgainGivesTheSamePagesAndANewCounter) {
    Lines(15);
    Format();
    int id = Print->FormattingID();
    int second = Print->FormatPages();
    EXPECT_EQ(second, 2);
    EXPECT_EQ(Page(2).StartDrawItemNo, 10);
    EXPECT_EQ(Print->FormattingID(), id + 1);
}

TEST_F(PrintFixture, PageBreakBeforeStartsAPageUnlessThePageBeginsWithIt) {
    Lines(13);
    Source->GetItemObject(3)->SetPageBreakBefore(true);
    Source->GetItemObject(4)->SetPageBreakBefore(false);
    Source->GetItemObject(13 - 1)->SetPageBreakBefore(false);
    ASSERT_EQ(Format(), 2);
    EXPECT_EQ(Page(2).StartDrawItemNo, 3);
    Print->Clear();
    Source->GetItemObject(0)->SetPageBreakBefore(true); // the first page begins with it
    EXPECT_EQ(Format(), 2);
}

TEST_F(PrintFixture, TheSpaceBeforeAParagraphMovesWithItsLine) {
    int spaced = AddPara(*Style);
    Style->ParaStyles.GetItem(spaced).SpaceBefore = 7;
    Lines(9);                                        // 0 .. 180
    Source->AppendTextParagraph("moved", 0, spaced); // 187 .. 207: past the page
    Source->AppendTextParagraph("next", 0, 0);
    ASSERT_EQ(Format(), 2);
    const int movedTop = Data()->DrawItems[9]->Top;
    EXPECT_EQ(movedTop, 187);
    EXPECT_EQ(Page(2).StartDrawItemNo, 9);
    EXPECT_EQ(Page(2).StartY, movedTop - 7);
}

TEST_F(PrintFixture, ALineTallerThanAPageStaysOnItsPage) {
    int tall = AddTallStyle(300);
    Source->AppendTextParagraph("a", 0, 0);
    Source->AppendTextParagraph("T", tall, 0);
    Source->AppendTextParagraph("b", 0, 0);
    ASSERT_EQ(Format(), 3);
    EXPECT_EQ(Page(2).StartDrawItemNo, 1);
    EXPECT_EQ(Page(3).StartDrawItemNo, 2);
}

TEST_F(PrintFixture, ATallLastLineEndsTheDocumentOnItsPage) {
    int tall = AddTallStyle(300);
    Source->AppendTextParagraph("a", 0, 0);
    Source->AppendTextParagraph("T", tall, 0);
    ASSERT_EQ(Format(), 2);
    EXPECT_EQ(Page(2).StartDrawItemNo, 1);
    Print->Clear();
    Source->Clear();
    Source->AppendTextParagraph("T", tall, 0);
    EXPECT_EQ(Format(), 1);
}

TEST_F(PrintFixture, APictureWithoutMinimumPartIsNotCut) {
    Lines(2);
    AddPicture(450, 0);
    Lines(1);
    ASSERT_EQ(Format(), 3);
    EXPECT_EQ(Page(2).StartDrawItemNo, 2);
    EXPECT_EQ(Page(2).StartPart, 0);
    EXPECT_EQ(Page(3).StartDrawItemNo, 3);
}

TEST_F(PrintFixture, APictureWithMinimumPartContinuesOnTheNextPages) {
    Lines(2); // 40 pixels: 160 left on page 1
    AddPicture(450, 30);
    Lines(1);
    ASSERT_EQ(Format(), 3);
    auto* info = dynamic_cast<TRVMultiDrawItemInfo*>(Data()->DrawItems[2]);
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->PartsList.Count(), 3);
    auto part = [&](int k) { return static_cast<TRVImagePrintPart*>(info->PartsList.Items(k)); };
    EXPECT_EQ(part(0)->Height, 160);
    EXPECT_EQ(part(1)->Height, 200);
    EXPECT_EQ(part(1)->ImgTop, 160);
    EXPECT_EQ(part(2)->Height, 90);
    EXPECT_EQ(Page(2).StartDrawItemNo, 2);
    EXPECT_EQ(Page(2).StartPart, 2);
    EXPECT_EQ(Page(3).StartPart, 3);
    // The line after the picture follows its last part on page 3.
    int first, last, p;
    Data()->GetDrawItemsRange(3, first, last, p);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 3);
    Data()->GetDrawItemsRange(1, first, last, p);
    EXPECT_EQ(last, 2); // shared with page 2
    EXPECT_EQ(Data()->GetPageTop2(3) + 90, Data()->DrawItems[3]->Top);
}

// Rows of the picture's two columns that are black on a drawn page.
std::vector<int> PictureRows(TCustomPrintableRV& rv, int page) {
    TBitmap sheet;
    sheet.SetSize(Printer().PageWidth(), Printer().PageHeight());
    sheet.Canvas()->Brush()->SetColor(clWhite);
    sheet.Canvas()->FillRect(TRect(0, 0, sheet.Width(), sheet.Height()));
    rv.DrawPage(page, sheet.Canvas(), false, false);
    std::vector<int> rows;
    for (int y = 0; y < sheet.Height(); ++y)
        if (sheet.Canvas()->Pixels(20, y) == clBlack && sheet.Canvas()->Pixels(2, y) == clBlack)
            rows.push_back(y);
    return rows;
}

// A picture whose rest after a full page would fall under its minimum part: the cut moves up
// so that the rest keeps the minimum, and every row is printed (none is cut off at the
// bottom), whether the picture opens the document or follows lines that leave too little room.
TEST_F(PrintFixture, ASplitPictureKeepsItsMinimumInBothPiecesAndLosesNoRows) {
    for (int lines : {0, 9}) {
        SCOPED_TRACE(lines);
        Source->Clear();
        Lines(lines);
        AddPicture(250, 60); // a full page (200) would leave 50
        Lines(1);
        const int pages = Format();
        const int firstPicturePage = lines == 0 ? 1 : 2;
        ASSERT_EQ(pages, firstPicturePage + 1);
        auto* info = dynamic_cast<TRVMultiDrawItemInfo*>(Data()->DrawItems[lines]);
        ASSERT_NE(info, nullptr);
        ASSERT_EQ(info->PartsList.Count(), 2);
        auto part = [&](int k) {
            return static_cast<TRVImagePrintPart*>(info->PartsList.Items(k));
        };
        EXPECT_EQ(part(0)->Height, 190);
        EXPECT_EQ(part(1)->Height, 60);
        EXPECT_EQ(part(1)->ImgTop, 190);
        if (lines > 0) {
            EXPECT_TRUE(PictureRows(*Print->rv(), 1).empty());
        }
        const std::vector<int> head = PictureRows(*Print->rv(), firstPicturePage);
        const std::vector<int> tail = PictureRows(*Print->rv(), firstPicturePage + 1);
        ASSERT_EQ(head.size(), 190u);
        ASSERT_EQ(tail.size(), 60u);
        EXPECT_EQ(head.front(), 0);
        EXPECT_EQ(tail.front(), 0);
    }
    // Too short to keep the minimum on both sides: the page is filled, the rest follows.
    Source->Clear();
    AddPicture(250, 130);
    ASSERT_EQ(Format(), 2);
    EXPECT_EQ(PictureRows(*Print->rv(), 1).size() + PictureRows(*Print->rv(), 2).size(), 250u);
}

// The same on A4 at 300 dpi with 20 mm margins, as printed: a 1200-pixel picture with a
// 300-pixel minimum opens the document; its 1200 rows all reach the paper, 300 of them on the
// second page.
TEST_F(PrintFixture, ATallPictureOnA4PrintsEveryRowOverTwoPages) {
    Printer().SetResolution(300);
    Printer().SetPaperSizeMM(210, 297);
    Print->SetLeftMarginMM(20);
    Print->SetRightMarginMM(20);
    Print->SetTopMarginMM(20);
    Print->SetBottomMarginMM(20);
    AddPicture(1200, 300);
    ASSERT_EQ(Format(), 2);
    Print->PrintDocument("tall picture");
    if (!testing::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm not installed";
    int rows[2] = {0, 0};
    for (int page = 1; page <= 2; ++page) {
        testing::TGrayPage img;
        ASSERT_TRUE(testing::RenderPdfPage(Printer().FileName, page, 96, img));
        for (int y = 0; y < img.Height; ++y)
            rows[page - 1] += img.At(76 + 20, y) < 64 && img.At(76 + 2, y) < 64;
    }
    EXPECT_NEAR(rows[0], 900, 2);
    EXPECT_NEAR(rows[1], 300, 2);
}

// A split picture opening the first page, below StartAt: what follows it on that page (here the
// first part of a second picture) lies below it too, not StartAt higher over it.
TEST_F(PrintFixture, WhatFollowsASplitPictureOnTheFirstPageStaysBelowStartAt) {
    Print->StartAt = 30;
    AddPicture(150, 10);
    AddPicture(82, 10); // 20 rows fit under the first picture
    Lines(1);
    ASSERT_EQ(Format(), 2);
    const std::vector<int> first = PictureRows(*Print->rv(), 1);
    const std::vector<int> second = PictureRows(*Print->rv(), 2);
    ASSERT_EQ(first.size(), 170u);
    EXPECT_EQ(first.front(), 30);
    EXPECT_EQ(first.back(), 199);
    ASSERT_EQ(second.size(), 62u);
    EXPECT_EQ(second.front(), 0);
}

// A picture that may be cut but whose first part does not fit goes whole to the next page:
// the page before it shows none of it, the next one all of it from its top.
TEST_F(PrintFixture, APictureMovedWholeToTheNextPageIsNotDrawnOnThePageBefore) {
    Lines(9); // 180 pixels: 20 left, less than the picture's smallest part
    AddPicture(150, 30);
    Lines(1);
    ASSERT_EQ(Format(), 2);
    EXPECT_EQ(Page(2).StartDrawItemNo, 9);
    EXPECT_EQ(Page(2).StartPart, 1);
    auto dark = [&](int page) {
        TBitmap sheet;
        sheet.SetSize(Printer().PageWidth(), Printer().PageHeight());
        sheet.Canvas()->Brush()->SetColor(clWhite);
        sheet.Canvas()->FillRect(TRect(0, 0, sheet.Width(), sheet.Height()));
        Print->rv()->DrawPage(page, sheet.Canvas(), false, false);
        std::vector<int> rows; // the rows of the picture's columns that are black
        for (int y = 0; y < sheet.Height(); ++y)
            if (sheet.Canvas()->Pixels(20, y) == clBlack && sheet.Canvas()->Pixels(2, y) == clBlack)
                rows.push_back(y);
        return rows;
    };
    std::vector<int> first = dark(1);
    EXPECT_TRUE(first.empty() || first.back() < 180) << first.back();
    std::vector<int> second = dark(2);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), 0);
    EXPECT_EQ(second.back(), 149);
    EXPECT_EQ(second.size(), 150u);
}

TEST_F(PrintFixture, CopiesAndCollationWithoutDriverCopies) {
    Lines(15);
    Format();
    Printer().SetCopies(2);
    Print->PrintDocument("collated", 3, true);
    EXPECT_EQ(SentPages(), (std::vector<int>{1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(Printer().Jobs().back().Pages, 6);
    EXPECT_EQ(Printer().Jobs().back().Copies, 1);
    EXPECT_EQ(Printer().Copies(), 2); // given back
    Sending.clear();
    Print->PrintDocument("uncollated", 3, false);
    EXPECT_EQ(SentPages(), (std::vector<int>{1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(Sending.front().second, TRVPrintingStep::rvpsStarting);
    EXPECT_EQ(Sending.back().second, TRVPrintingStep::rvpsFinished);
}

// The finishing notification comes when the printer has its own number of copies back.
TEST_F(PrintFixture, TheFinishingNotificationSeesThePrintersCopiesBack) {
    Lines(3);
    Format();
    Printer().SetCopies(5);
    int copiesAtFinish = 0;
    Print->OnSendingToPrinter = [&](TCustomRichView*, int, TRVPrintingStep step) {
        if (step == TRVPrintingStep::rvpsFinished) copiesAtFinish = Printer().Copies();
    };
    Print->PrintDocument("copies", 2, true);
    EXPECT_EQ(copiesAtFinish, 5);
}

TEST_F(PrintFixture, DriverCopiesMakeOnePassAndCopiesBelowOnePrintOne) {
    Lines(15);
    Format();
    Printer().SetDriverCopies(true);
    Print->PrintDocument("driver", 3, true);
    EXPECT_EQ(SentPages(), (std::vector<int>{1, 2}));
    EXPECT_EQ(Printer().Jobs().back().Copies, 3);
    EXPECT_EQ(Printer().Copies(), 1);
    Printer().SetDriverCopies(false);
    Sending.clear();
    Print->PrintDocument("none", 0, true);
    EXPECT_EQ(SentPages(), (std::vector<int>{1, 2}));
    Sending.clear();
    Print->PrintDocument("negative", -4, false);
    EXPECT_EQ(SentPages(), (std::vector<int>{1, 2}));
}

TEST_F(PrintFixture, APageThatFailsToDrawAbortsTheJob) {
    Lines(15);
    Format();
    Printer().SetCopies(4);
    Print->OnPagePrepaint = [](TRVPrint*, int pageNo, TCanvas*, bool, const TRect&, const TRect&) {
        if (pageNo == 2) throw Exception("out of paper");
    };
    EXPECT_THROW(Print->PrintDocument("failing", 2, true), Exception);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_TRUE(Printer().Jobs().back().Aborted);
    EXPECT_FALSE(std::filesystem::exists(Printer().FileName));
    EXPECT_EQ(Printer().Copies(), 4);
}

TEST_F(PrintFixture, InvalidPagesAndMissingStyleRaise) {
    Lines(3);
    Format();
    TBitmap bmp;
    bmp.SetSize(10, 10);
    try {
        Print->rv()->DrawPage(2, bmp.Canvas(), false, false);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Invalid page number is specified for printing");
    }
    EXPECT_THROW(Print->rv()->PrintPages(0, 1, "t", 1, false), ERichViewError);
    Print->rv()->SetStyle(nullptr);
    try {
        Print->rv()->DrawPage(1, bmp.Canvas(), false, false);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Style of printable TRichView component is not assigned");
    }
}

TEST_F(PrintFixture, ClearingTheSourceDropsTheSharedItems) {
    Lines(15);
    Format();
    Source->Clear();
    EXPECT_EQ(Print->rv()->GetItemCount(), 0);
    EXPECT_EQ(Print->PagesCount(), 0);
    EXPECT_FALSE(Print->PagesFormatted());
    EXPECT_EQ(Print->FormatPages(), 0);
}

TEST_F(PrintFixture, FreeingTheSourceFirstLeavesNothingDangling) {
    Lines(15);
    Format();
    Source.reset();
    EXPECT_EQ(Print->FormatPages(), 0);
    Print->PrintDocument("gone");
    EXPECT_TRUE(Printer().Jobs().empty());
}

TEST_F(PrintFixture, ClearingThePrintComponentLeavesTheSourceItsDocument) {
    Lines(3);
    Format();
    Print->Clear();
    EXPECT_EQ(Source->GetItemCount(), 3);
    EXPECT_EQ(Print->rv()->GetItemCount(), 0);
    EXPECT_FALSE(Print->PagesFormatted());
    Source->Clear(); // no longer watched: nothing to tell
}

TEST_F(PrintFixture, MirroredMarginsSwapOnEvenPages) {
    Lines(25);
    Print->SetLeftMarginMM(10);  // 38 px
    Print->SetRightMarginMM(30); // 113 px
    Print->SetMirrorMargins(true);
    Format();
    std::vector<TRect> areas, sheets;
    Print->OnPagePrepaint = [&](TRVPrint*, int, TCanvas*, bool, const TRect& page,
                                const TRect& area) {
        areas.push_back(area);
        sheets.push_back(page);
    };
    Print->PrintDocument("mirrored");
    ASSERT_EQ(areas.size(), size_t(Print->PagesCount()));
    EXPECT_EQ(areas[0].Left, 38);
    EXPECT_EQ(areas[1].Left, 113);
    EXPECT_EQ(areas[2].Left, 38);
    EXPECT_EQ(areas[0].Width(), areas[1].Width());
    EXPECT_EQ(sheets[1], TRect(0, 0, Printer().PageWidth(), Printer().PageHeight()));
    Print->SetMirrorMargins(false);
    areas.clear();
    sheets.clear();
    Print->PrintDocument("plain");
    EXPECT_EQ(areas[1].Left, 38);
}

// A picture cut over three pages: each page shows its part at the top of the print area, the
// part's height and no more, at the picture's own size.
TEST_F(PrintFixture, SplitPicturePartsPrintAtTheirPlaces) {
    Print->SetLeftMarginMM(10); // 38 px
    Lines(2);
    AddPicture(450, 30);
    ASSERT_EQ(Format(), 3);
    Print->PrintDocument("picture");
    if (!testing::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm not installed";
    const int expectedTop[] = {40, 0, 0};
    const int expectedBottom[] = {199, 199, 89};
    for (int page = 1; page <= 3; ++page) {
        testing::TGrayPage img;
        ASSERT_TRUE(testing::RenderPdfPage(Printer().FileName, page, 96, img));
        int l, t, r, b;
        // Two columns of the picture: the text of page 1 leaves a gap at x = 58.
        int top = -1, bottom = -1;
        for (int y = 0; y < img.Height; ++y)
            if (img.At(38 + 20, y) < 64 && img.At(38 + 2, y) < 64) {
                if (top < 0) top = y;
                bottom = y;
            }
        EXPECT_NEAR(top, expectedTop[page - 1], 1) << page;
        EXPECT_NEAR(bottom, expectedBottom[page - 1], 1) << page;
        if (page == 1) continue; // the text lines share page 1
        ASSERT_TRUE(img.InkBox(l, t, r, b, 64));
        EXPECT_NEAR(l, 38, 1) << page;
        EXPECT_NEAR(r, 38 + 39, 1) << page;
    }
}

// On a printer of twice the screen's resolution a picture keeps its size on paper.
TEST_F(PrintFixture, PicturesKeepTheirSizeOnPaper) {
    Printer().SetResolution(192);
    AddPicture(50, 0);
    ASSERT_EQ(Format(), 1);
    EXPECT_EQ(Data()->DrawItems[0]->Height, 100);
    Print->PrintDocument("picture size");
    if (!testing::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm not installed";
    testing::TGrayPage img;
    ASSERT_TRUE(testing::RenderPdfPage(Printer().FileName, 1, 96, img));
    int l, t, r, b;
    ASSERT_TRUE(img.InkBox(l, t, r, b, 64));
    EXPECT_NEAR(l, 0, 1);
    EXPECT_NEAR(t, 0, 1);
    EXPECT_NEAR(r, 39, 1);
    EXPECT_NEAR(b, 49, 1);
}

// The page background follows the colour mode, and a transparent background leaves the sheet.
TEST_F(PrintFixture, BackgroundColourFollowsTheColourMode) {
    Lines(1);
    Source->SetColor(TColor(0x0000FF)); // red
    Format();
    auto backAt = [&](TRVColorMode mode, bool transparent) {
        Print->SetColorMode(mode);
        Print->SetTransparentBackground(transparent);
        TBitmap sheet;
        sheet.SetSize(Printer().PageWidth(), Printer().PageHeight());
        sheet.Canvas()->Brush()->SetColor(clWhite);
        sheet.Canvas()->FillRect(TRect(0, 0, sheet.Width(), sheet.Height()));
        Print->rv()->DrawPage(1, sheet.Canvas(), false, false);
        return sheet.Canvas()->Pixels(300, 150);
    };
    EXPECT_EQ(backAt(TRVColorMode::rvcmColor, false), TColor(0x0000FF));
    EXPECT_EQ(backAt(TRVColorMode::rvcmPrinterColor, false), TColor(0x0000FF));
    EXPECT_EQ(backAt(TRVColorMode::rvcmGrayScale, false), ColorToGray(TColor(0x0000FF)));
    EXPECT_EQ(backAt(TRVColorMode::rvcmColor, true), clWhite);
}

// Under a picture's border spacing lies the document's colour, none with a transparent
// background.
TEST_F(PrintFixture, ATransparentBackgroundLeavesNoColourAroundPictures) {
    Source->SetColor(TColor(0x0000FF)); // red
    AddPicture(40, 0);
    static_cast<TRVRectItemInfo*>(Source->GetItemObject(0))->Spacing = 5;
    Format();
    auto ringAt = [&](bool transparent) {
        Print->SetTransparentBackground(transparent);
        TBitmap sheet;
        sheet.SetSize(Printer().PageWidth(), Printer().PageHeight());
        Print->rv()->DrawPage(1, sheet.Canvas(), false, false);
        const TRVDrawLineInfo* d = Data()->DrawItems[0];
        return sheet.Canvas()->Pixels(d->Left + 2, d->Top + 2);
    };
    EXPECT_EQ(ringAt(false), TColor(0x0000FF));
    EXPECT_EQ(ringAt(true), clWhite);
    Source->Clear();
}

// Header and footer documents print on every page, above and below the body text.
TEST_F(PrintFixture, HeaderAndFooterPrintOnEveryPage) {
    Printer().SetPaperSizeMM(100, 100); // 378 x 378 px
    TRVStyle style(nullptr);
    style.TextStyles.GetItem(0).FontName = "Arial";
    style.TextStyles.GetItem(0).Size = 10;
    TRichView header(nullptr), footer(nullptr);
    header.SetStyle(&style);
    footer.SetStyle(&style);
    header.AppendTextParagraph("Top line", 0, 0);
    footer.AppendTextParagraph("Bottom line", 0, 0);
    Source->SetStyle(&style);
    for (int i = 0; i < 40; ++i)
        Source->AppendTextParagraph("Body " + std::to_string(i), 0, 0);
    Print->SetTopMarginMM(20);
    Print->SetBottomMarginMM(20);
    Print->SetHeader(&header);
    Print->SetFooter(&footer);
    int pages = Format();
    ASSERT_GE(pages, 2);
    Print->PrintDocument("with header");
    if (!testing::HaveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    for (int page = 1; page <= pages; ++page) {
        std::string text =
            testing::RunTool("pdftotext -f " + std::to_string(page) + " -l " +
                             std::to_string(page) + " '" + Printer().FileName + "' -");
        auto top = text.find("Top line");
        auto body = text.find("Body ");
        auto bottom = text.find("Bottom line");
        ASSERT_NE(top, std::string::npos) << page;
        ASSERT_NE(bottom, std::string::npos) << page;
        EXPECT_LT(top, body) << page;
        EXPECT_LT(body, bottom) << page;
    }
    Print->Clear();
    Source->Clear();
}

// A report on A4 at 150 dpi in a real face: the PDF has its pages, its text in order, and the
// ink of every page lies inside the margins the component was given.
TEST_F(PrintFixture, ReportPdfKeepsItsTextInOrderInsideTheMargins) {
    Printer().SetResolution(150);
    Printer().SetPaperSizeMM(210, 297);
    TRVStyle style(nullptr);
    style.TextStyles.GetItem(0).FontName = "Arial";
    style.TextStyles.GetItem(0).Size = 12;
    Source->SetStyle(&style);
    for (int i = 1; i <= 120; ++i)
        Source->AppendTextParagraph("Paragraph " + std::to_string(i) +
                                        " of the printed report with enough words to wrap.",
                                    0, 0);
    Print->SetLeftMarginMM(25);
    Print->SetRightMarginMM(20);
    Print->SetTopMarginMM(30);
    Print->SetBottomMarginMM(20);
    int pages = Format();
    ASSERT_GE(pages, 3);
    Print->PrintDocument("report");
    ASSERT_TRUE(std::filesystem::exists(Printer().FileName));
    EXPECT_EQ(Printer().Jobs().back().Pages, pages);
    if (!testing::HaveTool("pdftotext") || !testing::HaveTool("pdftoppm"))
        GTEST_SKIP() << "poppler tools not installed";
    EXPECT_EQ(testing::PdfPageCount(Printer().FileName), pages);
    std::string text = testing::RunTool("pdftotext '" + Printer().FileName + "' -");
    size_t at = 0;
    for (int i = 1; i <= 120; ++i) {
        size_t next = text.find("Paragraph " + std::to_string(i) + " ", at);
        ASSERT_NE(next, std::string::npos) << i;
        at = next;
    }
    const int dpi = 150;
    for (int page = 1; page <= pages; ++page) {
        testing::TGrayPage img;
        ASSERT_TRUE(testing::RenderPdfPage(Printer().FileName, page, dpi, img));
        int l, t, r, b;
        ASSERT_TRUE(img.InkBox(l, t, r, b));
        EXPECT_GE(l, 25 * dpi * 10 / 254) << page;
        EXPECT_GE(t, 30 * dpi * 10 / 254) << page;
        EXPECT_LE(r, img.Width - 20 * dpi * 10 / 254) << page;
        EXPECT_LE(b, img.Height - 20 * dpi * 10 / 254) << page;
    }
    Source->Clear();
}

// ---- Every kind of item on the page

// A 16-pixel black square: the picture of image-list bullets and hotspots.
std::unique_ptr<TImageList> BlackSquares() {
    auto list = std::make_unique<TImageList>(nullptr);
    list->SetWidth(16);
    list->SetHeight(16);
    TBitmap image(16, 16, pf24bit);
    image.Canvas()->Brush()->SetColor(clBlack);
    image.Canvas()->FillRect(TRect(0, 0, 16, 16));
    list->Add(&image, nullptr);
    return list;
}

int DrawItemOf(TCustomMainPtblRVData* data, int itemNo) {
    for (int i = 0; i < data->DrawItems.Count(); ++i)
        if (data->DrawItems[i]->ItemNo == itemNo) return i;
    return -1;
}

// A rule spans the print area's width at the middle of its line, list numbers and bullets
// print as text, and image-list pictures print where the layout put them.
TEST_F(PrintFixture, RulesMarkersAndImageListPicturesPrintWhereTheyAreLaidOut) {
    Printer().SetPaperSizeMM(100, 100);
    Source->RightMargin = 20; // the rule ends 20 pixels before the paper's edge
    Style->TextStyles.GetItem(0).FontName = "Arial";
    TRVListInfo& numbered = Style->ListStyles.Add();
    TRVListLevel& level = numbered.AddLevel();
    level.ListType = TRVListType::rvlstDecimal;
    level.FormatString = "%0:s.";
    level.Font.FontName = "Arial";
    auto images = BlackSquares();
    TCustomRVData* data = Source->RVData();
    Lines(1);
    Source->AppendBreakLine(3, TRVBreakStyle::rvbsLine, clBlack);
    for (const char* step : {"First step", "Second step"}) {
        Source->AppendTextParagraph(step, 0, 0);
        data->SetParagraphMarker(data->ItemCount() - 1, 0, 0, 1, false);
    }
    Source->AppendTextParagraph("x", 0, 0);
    data->AddBullet("bullet", 0, images.get(), 0, -1);
    Source->AppendTextParagraph("      ", 0, -1);
    data->AddHotspot("hotspot", 0, 0, images.get(), 0, -1);
    ASSERT_EQ(Format(), 1);
    Print->PrintDocument("items");
    if (!testing::HaveTool("pdftoppm") || !testing::HaveTool("pdftotext"))
        GTEST_SKIP() << "poppler tools not installed";
    const std::string text = testing::RunTool("pdftotext '" + Printer().FileName + "' -");
    EXPECT_NE(text.find("1."), std::string::npos) << text;
    EXPECT_NE(text.find("2."), std::string::npos) << text;
    EXPECT_LT(text.find("1."), text.find("First step"));
    testing::TGrayPage img;
    ASSERT_TRUE(testing::RenderPdfPage(Printer().FileName, 1, 96, img));
    const TRVDrawLineInfo* rule = Data()->DrawItems[DrawItemOf(Data(), 1)];
    const int y = rule->Top + rule->Height / 2;
    for (int x : {rule->Left, rule->Left + rule->Width / 2, rule->Left + rule->Width - 1})
        EXPECT_LT(img.At(x, y), 96) << x;
    EXPECT_GT(img.At(rule->Left + rule->Width + 2, y), 192);
    EXPECT_GT(img.At(rule->Left + rule->Width / 2, rule->Top), 192);
    for (int itemNo : {data->ItemCount() - 3, data->ItemCount() - 1}) {
        const TRVDrawLineInfo* d = Data()->DrawItems[DrawItemOf(Data(), itemNo)];
        EXPECT_LT(img.At(d->Left + d->Width / 2, d->Top + d->Height / 2), 64) << itemNo;
        EXPECT_GT(img.At(d->Left + d->Width + 3, d->Top + d->Height / 2), 192) << itemNo;
    }
    Source->Clear();
}

// An embedded control prints the picture OnPrintComponent gives; a control that cannot paint
// (no window and no form to make one) prints nothing and stops nothing.
TEST_F(PrintFixture, EmbeddedControlsPrintThePictureTheEventGives) {
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(0, 0, 60, 30);
    panel->SetColor(clBlack);
    Source->RVData()->AddControlItem("panel", TRVComponentPtr(panel), 0, TRVVAlign::rvvaBaseline);
    ASSERT_EQ(Format(), 1);
    const TRVDrawLineInfo* d = Data()->DrawItems[0];
    auto centre = [&] {
        TBitmap sheet;
        sheet.SetSize(Printer().PageWidth(), Printer().PageHeight());
        sheet.Canvas()->Brush()->SetColor(clWhite);
        sheet.Canvas()->FillRect(TRect(0, 0, sheet.Width(), sheet.Height()));
        Print->rv()->DrawPage(1, sheet.Canvas(), false, false);
        return sheet.Canvas()->Pixels(d->Left + d->Width / 2, d->Top + d->Height / 2);
    };
    EXPECT_EQ(centre(), clWhite);
    TControl* asked = nullptr;
    Print->OnPrintComponent = [&](TCustomRVPrint*, TControl* control,
                                  std::unique_ptr<TBitmap>& image) {
        asked = control;
        image = std::make_unique<TBitmap>(60, 30, pf24bit);
        image->Canvas()->Brush()->SetColor(clRed);
        image->Canvas()->FillRect(TRect(0, 0, 60, 30));
    };
    EXPECT_EQ(centre(), clRed);
    EXPECT_EQ(asked, panel);
    Print->OnPrintComponent = [](TCustomRVPrint*, TControl*, std::unique_ptr<TBitmap>&) {};
    EXPECT_EQ(centre(), clWhite);
    Print->PrintDocument("control");
    EXPECT_TRUE(Printer().Jobs().back().Completed);
    Source->Clear();
}

// Freeing the viewer a header came from drops the header only: the body still prints.
TEST_F(PrintFixture, FreeingTheHeaderSourceDropsOnlyTheHeader) {
    Lines(3);
    auto header = std::make_unique<TRichView>(nullptr);
    header->SetStyle(Style.get());
    header->AppendTextParagraph("head", 0, 0);
    auto footer = std::make_unique<TRichView>(nullptr);
    footer->SetStyle(Style.get());
    footer->AppendTextParagraph("foot", 0, 0);
    Print->SetHeader(header.get());
    Print->SetFooter(footer.get());
    ASSERT_EQ(Format(), 1);
    auto* data = static_cast<TPrintableRVData*>(Data());
    header.reset();
    EXPECT_FALSE(data->Header);
    EXPECT_TRUE(data->Footer);
    EXPECT_TRUE(Print->PagesFormatted());
    ASSERT_EQ(Print->PagesCount(), 1);
    EXPECT_EQ(Data()->ItemCount(), 3);
    footer->Clear();
    EXPECT_FALSE(data->Footer);
    Print->PrintDocument("body only");
    EXPECT_TRUE(Printer().Jobs().back().Completed);
    // The body's source still counts: freeing it empties the job.
    Source.reset();
    EXPECT_EQ(Data()->ItemCount(), 0);
    EXPECT_FALSE(Print->PagesFormatted());
}

// While a page is drawn, the 'current page' range gives its drawing items, with the parts of
// a picture split over pages at either end.
TEST_F(PrintFixture, CurrentPageRangeFollowsThePageBeingDrawn) {
    Lines(2);
    AddPicture(450, 30);
    Lines(1);
    ASSERT_EQ(Format(), 3);
    struct Seen {
        int First, FirstPart, Last, LastPart, RangeFirst, RangeLast;
    };
    std::vector<Seen> seen;
    Print->OnPagePrepaint = [&](TRVPrint*, int, TCanvas*, bool, const TRect&, const TRect&) {
        Seen s{};
        Data()->GetCurrentPageRange(s.First, s.FirstPart, s.Last, s.LastPart);
        Data()->GetSelectionRange(TRVSelectionRangeKind::rvsrkCurrentPage, s.RangeFirst,
                                  s.RangeLast);
        seen.push_back(s);
    };
    Print->PrintDocument("ranges");
    ASSERT_EQ(seen.size(), 3u);
    // Drawing items: two lines, the picture (2) and the last line (3).
    EXPECT_EQ((std::vector<int>{seen[0].First, seen[0].FirstPart, seen[0].Last, seen[0].LastPart}),
              (std::vector<int>{0, 0, 2, 1}));
    EXPECT_EQ((std::vector<int>{seen[1].First, seen[1].FirstPart, seen[1].Last, seen[1].LastPart}),
              (std::vector<int>{2, 2, 2, 2}));
    EXPECT_EQ((std::vector<int>{seen[2].First, seen[2].FirstPart, seen[2].Last, seen[2].LastPart}),
              (std::vector<int>{2, 3, 3, 0}));
    EXPECT_EQ(seen[2].RangeFirst, 2);
    EXPECT_EQ(seen[2].RangeLast, 3);
    int first = 0, firstPart = 0, last = 0, lastPart = 0;
    Print->Clear();
    EXPECT_FALSE(Data()->GetCurrentPageRange(first, firstPart, last, lastPart));
}

// A layout record's optional pair reaches the printable document only with its flag.
TEST_F(PrintFixture, LayoutRecordPairAndFlagsReachThePrintableDocument) {
    TRVLayoutInfo layout;
    layout.LeftMargin = 7;
    layout.UsePair = true;
    layout.Pair1 = 3;
    layout.Pair2 = 4;
    layout.Flag7 = true;
    Print->rv()->ApplyLayoutInfo(layout);
    int a = 0, b = 0;
    EXPECT_EQ(Print->rv()->LeftMargin, 7);
    EXPECT_TRUE(Data()->GetLayoutPair(a, b));
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
    EXPECT_TRUE(Data()->GetFlags().Contains(TRVFlag::Reserved7));
    layout.UsePair = false;
    layout.Flag7 = false;
    Print->rv()->ApplyLayoutInfo(layout);
    EXPECT_FALSE(Data()->GetLayoutPair(a, b));
    EXPECT_EQ(a, -1);
    EXPECT_EQ(b, -1);
    EXPECT_FALSE(Data()->GetFlags().Contains(TRVFlag::CanUseDeviceFit));
    EXPECT_FALSE(Data()->GetFlags().Contains(TRVFlag::Reserved7));
}

// Around a picture (its border spacing) shows the piece of the tiled background picture that
// lies there, not the document's colour; a paragraph colour covers it.
TEST_F(PrintFixture, PicturesPrintOverTheirPieceOfTheBackgroundPicture) {
    Print->SetLeftMarginMM(5); // the print area begins 19 pixels in, 19 pixels down
    Print->SetTopMarginMM(5);
    TBitmap tile(16, 16, pf24bit); // four quadrants of four colours
    const TColor colours[] = {clRed, clLime, clBlue, clYellow};
    for (int q = 0; q < 4; ++q) {
        tile.Canvas()->Brush()->SetColor(colours[q]);
        tile.Canvas()->FillRect(TRect(q % 2 * 8, q / 2 * 8, q % 2 * 8 + 8, q / 2 * 8 + 8));
    }
    Source->SetBackgroundBitmap(&tile);
    Source->SetBackgroundStyle(TBackgroundStyle::bsTiled);
    Lines(1);
    Source->AppendTextParagraph("x ", 0, 0);
    AddPicture(40, 0);
    auto* pic = static_cast<TRVRectItemInfo*>(Source->GetItemObject(2));
    pic->Spacing = 6;
    TParaInfo& coloured = Style->ParaStyles.Add(); // 1
    coloured.Background.Color = clWhite;
    ASSERT_EQ(Format(), 1);
    const TRVDrawLineInfo* d = Data()->DrawItems[DrawItemOf(Data(), 2)];
    auto sheet = [&] {
        auto bmp = std::make_unique<TBitmap>();
        bmp->SetSize(Printer().PageWidth(), Printer().PageHeight());
        Print->rv()->DrawPage(1, bmp->Canvas(), false, false);
        return bmp;
    };
    auto page = sheet();
    // Every pixel of the ring has the tile's colour at its place in the print area.
    int wrong = 0;
    for (int y = 0; y < d->Height; ++y)
        for (int x = 0; x < d->Width; ++x) {
            if (x >= 6 && x < d->Width - 6 && y >= 6 && y < d->Height - 6) continue;
            const int px = 19 + d->Left + x, py = 19 + d->Top + y;
            wrong += page->Canvas()->Pixels(px, py) !=
                     tile.Canvas()->Pixels((px - 19) % 16, (py - 19) % 16);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(page->Canvas()->Pixels(19 + d->Left + 20, 19 + d->Top + 20), clBlack);
    Source->RVData()->GetItem(1)->ParaNo = 1;
    Source->RVData()->GetItem(2)->ParaNo = 1;
    Format();
    d = Data()->DrawItems[DrawItemOf(Data(), 2)];
    page = sheet();
    EXPECT_EQ(page->Canvas()->Pixels(19 + d->Left + 2, 19 + d->Top + 2), clWhite);
    Source->Clear();
}

// Clipping to the margins lasts one page: the header of the next page, above the print area,
// still prints.
TEST_F(PrintFixture, ClippingToTheMarginsLastsOnePage) {
    Style->TextStyles.GetItem(0).FontName = "Arial";
    Lines(10);
    auto header = std::make_unique<TRichView>(nullptr);
    header->SetStyle(Style.get());
    header->AppendTextParagraph("head", 0, 0);
    Print->SetHeader(header.get());
    Print->SetHeaderYMM(2);
    Print->SetTopMarginMM(10);
    Print->ClipMargins = true;
    ASSERT_GE(Format(), 2);
    Print->PrintDocument("clipped");
    if (!testing::HaveTool("pdftotext")) GTEST_SKIP() << "poppler tools not installed";
    for (int page : {1, 2}) {
        const std::string text =
            testing::RunTool("pdftotext -f " + std::to_string(page) + " -l " +
                             std::to_string(page) + " '" + Printer().FileName + "' -");
        EXPECT_NE(text.find("head"), std::string::npos) << page << ": " << text;
    }
    Print->Clear();
}

// A paragraph's background and border keep their distance from the text on paper: their
// offsets and the border's width are screen pixels, scaled to the printer. The border goes
// around the background.
TEST_F(PrintFixture, ParagraphBackgroundAndBorderOffsetsScaleToThePrinter) {
    Printer().SetResolution(192);              // two printer pixels to a screen pixel
    TParaInfo& note = Style->ParaStyles.Add(); // 1
    note.LeftIndent = 30;
    note.Background.Color = clYellow;
    note.Background.BorderOffsets = TRVRect{10, 10, 10, 10};
    note.Border.Style = TRVBorderStyle::rvbSingle;
    note.Border.Color = clRed;
    note.Border.BorderOffsets = TRVRect{15, 15, 15, 15};
    Lines(1);
    Lines(1, 1);
    ASSERT_EQ(Format(), 1);
    TBitmap sheet;
    sheet.SetSize(Printer().PageWidth(), Printer().PageHeight());
    sheet.Canvas()->Brush()->SetColor(clWhite);
    sheet.Canvas()->FillRect(TRect(0, 0, sheet.Width(), sheet.Height()));
    Print->rv()->DrawPage(1, sheet.Canvas(), false, false);
    const TRVDrawLineInfo* d = Data()->DrawItems[1];
    ASSERT_EQ(d->Left, 60);
    const int y = d->Top + d->Height / 2;
    auto at = [&](int x) { return sheet.Canvas()->Pixels(x, y); };
    EXPECT_EQ(at(41), clYellow); // the background reaches 20 pixels left of the text
    EXPECT_EQ(at(38), clWhite);
    EXPECT_EQ(at(10), clRed); // the border 30 pixels left of that, two pixels wide
    EXPECT_EQ(at(9), clRed);
    EXPECT_EQ(at(7), clWhite);
    Source->Clear();
}

// A full-line item that says where it was asked to print.
class TPrintSpy : public TRVFullLineItemInfo {
public:
    explicit TPrintSpy(TCustomRVData* data) : TRVFullLineItemInfo(data) { StyleNo = -20; }
    int GetBoxWidth() const override { return 100; }
    int GetBoxHeight() const override { return 20; }
    void Print(TCanvas*, int x, int y, bool, bool, const TRVScreenAndDevice*, TRVColorMode, int,
               TRVDrawLineInfo*, TCustomRVData*) override {
        At.push_back({x, y});
    }
    std::vector<std::pair<int, int>> At;
};

// Items that print themselves get their own place: a full-line item keeps its paragraph's
// indent and alignment.
TEST_F(PrintFixture, FullLineItemsPrintAtTheirIndentAndAlignment) {
    Source->LeftMargin = 10;
    TParaInfo& indented = Style->ParaStyles.Add(); // 1
    indented.LeftIndent = 30;
    TParaInfo& centred = Style->ParaStyles.Add(); // 2
    centred.Alignment = TRVAlignment::rvaCenter;
    std::vector<TPrintSpy*> spies;
    for (int para : {0, 1, 2}) {
        auto spy = std::make_unique<TPrintSpy>(Source->RVData());
        spy->ParaNo = para;
        spies.push_back(spy.get());
        Source->RVData()->AppendItem("", std::move(spy));
    }
    Print->SetLeftMarginMM(10); // 38 pixels
    Print->SetRightMarginMM(5); // 19 pixels
    ASSERT_EQ(Format(), 1);
    Print->PrintDocument("spies");
    const int text = 378 - 38 - 19 - 10; // the print area less the document's margins
    const std::vector<int> left = {38 + 10, 38 + 10 + 30, 38 + 10 + (text - 100) / 2};
    for (size_t i = 0; i < spies.size(); ++i) {
        ASSERT_EQ(spies[i]->At.size(), 1u) << i;
        EXPECT_EQ(spies[i]->At[0].first, left[i]) << i;
        EXPECT_EQ(spies[i]->At[0].second, 20 * int(i)) << i;
    }
    Source->Clear();
}

// At the printer's resolution a list number sits on its line's baseline, as on the screen.
TEST_F(PrintFixture, ListNumbersSitOnTheBaselineOfTheirText) {
    Printer().SetResolution(600);
    Printer().SetPaperSizeMM(60, 30);
    Style->TextStyles.GetItem(0).FontName = "Arial";
    Style->TextStyles.GetItem(0).Size = 11;
    TRVListLevel& level = Style->ListStyles.Add().AddLevel();
    level.ListType = TRVListType::rvlstDecimal;
    level.FormatString = "%0:s.";
    level.Font.FontName = "Arial";
    level.Font.Size = 11;
    TCustomRVData* data = Source->RVData();
    Source->AppendTextParagraph("1.", 0, 0); // the marker's own text, drawn as text
    data->SetParagraphMarker(0, 0, 0, 1, false);
    ASSERT_EQ(Format(), 1);
    ASSERT_EQ(Data()->DrawItems.Count(), 2);
    Print->PrintDocument("list");
    if (!testing::HaveTool("pdftoppm")) GTEST_SKIP() << "poppler tools not installed";
    testing::TGrayPage img;
    ASSERT_TRUE(testing::RenderPdfPage(Printer().FileName, 1, 600, img));
    // The lowest inked row inside a drawing item's box.
    auto inkBottom = [&](const TRVDrawLineInfo* d) {
        int bottom = -1;
        for (int y = 0; y < img.Height; ++y)
            for (int x = d->Left; x < d->Left + d->Width; ++x)
                if (img.At(x, y) < 128) bottom = y;
        return bottom;
    };
    // The line's text stands its font's external leading (3 pixels here) above the baseline;
    // a marker set from its box's top fell 6 pixels below the text.
    const int marker = inkBottom(Data()->DrawItems[0]);
    const int text = inkBottom(Data()->DrawItems[1]);
    ASSERT_GT(text, 0);
    EXPECT_GE(marker, text);
    EXPECT_LE(marker, text + 4);
    Source->Clear();
}

// On a form, the hidden viewer is a child of the form; freeing the form frees both once.
TEST_F(PrintFixture, ThePrintableViewerLivesOnItsOwnersWindow) {
    TPlatformContext context;
    auto* form = Application->CreateForm<TForm>();
    auto* print = new TRVPrint(form);
    EXPECT_EQ(print->rv()->Parent(), form);
    EXPECT_FALSE(print->rv()->Visible());
    print->TakeDocumentFrom(Source.get());
    print->Loaded();
    FreeComponent(form);
}

} // namespace
} // namespace epc::test
