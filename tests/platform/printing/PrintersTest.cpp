#include "platform/printing/Printers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/graphics/Graphics.h"
#include "tests/platform/printing/PrintToolSupport.h"

using namespace epc;
using namespace epc::testing;

namespace {

// A small sheet at a low resolution keeps the page surface cheap.
struct PrinterFixture : ::testing::Test {
    void SetUp() override {
        Printer().SetPaperSizeMM(100, 150);
        Printer().SetResolution(150);
        Printer().SetCopies(1);
        Printer().SetDriverCopies(false);
        Printer().ClearJobs();
    }
    void TearDown() override {
        Printer().Abort();
        Printer().PngPages = false;
        Printer().SetPaperSizeMM(210, 297);
        Printer().SetResolution(600);
    }
    std::string File(const std::string& name) {
        std::string f = OutDir() + "/" + name;
        std::filesystem::remove(f);
        return f;
    }
};

void WriteLine(TCanvas* c, int y, const std::u16string& text) {
    c->Font()->SetName("Arial");
    c->Font()->SetHeight(-40);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(100, y, text);
}

} // namespace

TEST_F(PrinterFixture, PageSizeFollowsPaperAndResolution) {
    EXPECT_EQ(Printer().PageWidth(), 591); // 100 mm at 150 dpi
    EXPECT_EQ(Printer().PageHeight(), 886);
    Printer().SetPaperSizeMM(210, 297);
    Printer().SetResolution(600);
    EXPECT_EQ(Printer().PageWidth(), 4961);
    EXPECT_EQ(Printer().PageHeight(), 7016);
    EXPECT_THROW(Printer().SetResolution(0), EPrinter);
}

TEST_F(PrinterFixture, JobWritesPdfAndLogsPages) {
    Printer().FileName = File("job.pdf");
    Printer().Title = "Report";
    Printer().BeginDoc();
    EXPECT_EQ(GetDeviceCaps(Printer().Canvas()->Handle(), LOGPIXELSX), 150);
    EXPECT_EQ(GetDeviceCaps(Printer().Canvas()->Handle(), TECHNOLOGY), DT_RASPRINTER);
    WriteLine(Printer().Canvas(), 100, u"First sheet text");
    Printer().NewPage();
    EXPECT_EQ(Printer().PageNumber(), 2);
    WriteLine(Printer().Canvas(), 100, u"Second sheet text");
    Printer().EndDoc();
    ASSERT_EQ(Printer().Jobs().size(), 1u);
    EXPECT_EQ(Printer().Jobs()[0].Pages, 2);
    EXPECT_TRUE(Printer().Jobs()[0].Completed);
    EXPECT_EQ(Printer().Jobs()[0].Title, "Report");
    ASSERT_TRUE(std::filesystem::exists(Printer().FileName));
    EXPECT_FALSE(std::filesystem::exists(Printer().FileName + ".part"));
    if (!HaveTool("pdftotext")) GTEST_SKIP() << "pdftotext not installed";
    EXPECT_EQ(PdfPageCount(Printer().FileName), 2);
    std::string text = RunTool("pdftotext -layout '" + Printer().FileName + "' -");
    auto first = text.find("First sheet text");
    auto second = text.find("Second sheet text");
    ASSERT_NE(first, std::string::npos) << text;
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, second);
}

TEST_F(PrinterFixture, AbortLeavesNoFile) {
    Printer().FileName = File("aborted.pdf");
    Printer().BeginDoc();
    WriteLine(Printer().Canvas(), 100, u"Never finished");
    Printer().Abort();
    EXPECT_FALSE(Printer().Printing());
    EXPECT_TRUE(Printer().Aborted());
    EXPECT_TRUE(Printer().Jobs().back().Aborted);
    EXPECT_FALSE(std::filesystem::exists(Printer().FileName));
    EXPECT_FALSE(std::filesystem::exists(Printer().FileName + ".part"));
}

TEST_F(PrinterFixture, CopiesGoToTheDriverOnlyWhenItMakesThem) {
    Printer().SetCopies(0);
    EXPECT_EQ(Printer().Copies(), 1);
    EXPECT_FALSE(Printer().Capabilities().Contains(TPrinterCapability::pcCopies));
    Printer().SetDriverCopies(true);
    EXPECT_TRUE(Printer().Capabilities().Contains(TPrinterCapability::pcCopies));
    Printer().SetCopies(3);
    Printer().FileName = File("copies.pdf");
    Printer().BeginDoc();
    Printer().EndDoc();
    EXPECT_EQ(Printer().Jobs().back().Copies, 3);
}

TEST_F(PrinterFixture, PrinterContextMeasuresAsTheMode) {
    const TDeviceMode* mode = Printer().LockDeviceMode();
    EXPECT_EQ(Printer().DeviceModeLocks(), 1);
    HDC dc = CreateDCA("cairo", "PDF", "", mode);
    Printer().UnlockDeviceMode();
    EXPECT_EQ(Printer().DeviceModeLocks(), 0);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 150);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 591);
    DeleteDC(dc);
}

// Text stays where the layout measured it, fills and raster drawing land where they were drawn
// and keep their order (a later fill covers earlier text).
TEST_F(PrinterFixture, DrawingLandsWhereItWasDrawn) {
    Printer().FileName = File("geometry.pdf");
    Printer().BeginDoc();
    TCanvas* c = Printer().Canvas();
    WriteLine(c, 100, u"Measured");
    int width = c->TextWidth(u"Measured");
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(clBlack);
    c->FillRect(TRect(300, 400, 400, 500)); // vector fill
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetWidth(3);
    c->MoveTo(100, 700); // a line: drawn through the pixels
    c->LineTo(500, 700);
    WriteLine(c, 300, u"Hidden");
    c->Brush()->SetColor(clWhite);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(TRect(50, 280, 550, 360)); // covers "Hidden"
    Printer().EndDoc();
    if (!HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm not installed";
    TGrayPage page;
    ASSERT_TRUE(RenderPdfPage(Printer().FileName, 1, 150, page));
    ASSERT_EQ(page.Width, 591);
    EXPECT_LT(page.At(350, 450), 64);
    EXPECT_GT(page.At(299 - 5, 450), 192);
    EXPECT_LT(page.At(300, 700), 64);
    EXPECT_GT(page.At(300, 690), 192);
    // The text's ink lies within the measured run.
    int inkLeft = page.Width, inkRight = -1;
    for (int y = 100; y < 150; ++y)
        for (int x = 0; x < page.Width; ++x)
            if (page.At(x, y) < 128)
                inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
    EXPECT_GE(inkLeft, 100);
    EXPECT_LE(inkRight, 100 + width);
    EXPECT_GT(inkRight, 100 + width - 20);
    for (int y = 285; y < 355; ++y)
        for (int x = 60; x < 540; ++x)
            ASSERT_GT(page.At(x, y), 192) << x << "," << y;
    std::string text = RunTool("pdftotext '" + Printer().FileName + "' -");
    EXPECT_NE(text.find("Measured"), std::string::npos);
}

TEST_F(PrinterFixture, PngPagesGoNextToThePdf) {
    Printer().FileName = File("pages.pdf");
    std::filesystem::remove(OutDir() + "/pages-1.png");
    std::filesystem::remove(OutDir() + "/pages-2.png");
    Printer().PngPages = true;
    Printer().BeginDoc();
    WriteLine(Printer().Canvas(), 100, u"One");
    Printer().NewPage();
    Printer().EndDoc();
    EXPECT_TRUE(std::filesystem::exists(OutDir() + "/pages-1.png"));
    EXPECT_TRUE(std::filesystem::exists(OutDir() + "/pages-2.png"));
    EXPECT_FALSE(std::filesystem::exists(OutDir() + "/pages-3.png"));
}

TEST_F(PrinterFixture, ThinSolidRulesPrintAsVectors) {
    Printer().FileName = File("rules.pdf");
    Printer().BeginDoc();
    TCanvas* c = Printer().Canvas();
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetWidth(1);
    c->MoveTo(100, 200); // right to left and bottom to top: the same pixels as a rectangle
    c->LineTo(40, 200);
    c->MoveTo(300, 500);
    c->LineTo(300, 100);
    Printer().EndDoc();
    if (!HaveTool("pdfimages") || !HaveTool("pdftoppm")) GTEST_SKIP() << "poppler not installed";
    // No picture on the page: both rules went out as vector fills.
    std::string list = RunTool("pdfimages -list '" + Printer().FileName + "'");
    EXPECT_EQ(list.find("image"), list.rfind("image")) << list; // the header's "image" only
    TGrayPage page;
    ASSERT_TRUE(RenderPdfPage(Printer().FileName, 1, 150, page));
    EXPECT_LT(page.At(70, 200), 96);
    EXPECT_GT(page.At(70, 204), 192);
    EXPECT_LT(page.At(300, 300), 96);
    EXPECT_GT(page.At(304, 300), 192);
}
