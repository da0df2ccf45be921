#include "platform/printing/Printers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/core/Arithmetic.h"
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

// Pixels drawn on a page become an image of the area drawn only, and never reach the next
// page: the page surface is cleared where it was written, not as a whole.
TEST_F(PrinterFixture, RasterDrawingBecomesImagesOfTheAreaDrawnOnly) {
    Printer().FileName = File("raster.pdf");
    Printer().BeginDoc();
    TCanvas* c = Printer().Canvas();
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetWidth(5); // a wide pen has no vector form here
    c->MoveTo(100, 100);
    c->LineTo(200, 100);
    WriteLine(c, 300, u"Between");
    c->MoveTo(100, 500);
    c->LineTo(140, 500);
    Printer().NewPage();
    c = Printer().Canvas();
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetWidth(5);
    c->MoveTo(300, 700);
    c->LineTo(300, 760);
    Printer().EndDoc();
    if (!HaveTool("pdfimages") || !HaveTool("pdftoppm")) GTEST_SKIP() << "poppler not installed";
    // Page, width and height of every image: each as small as its line.
    std::string list = RunTool("pdfimages -list '" + Printer().FileName + "' | tail -n +3");
    std::vector<std::vector<int>> images;
    std::istringstream rows(list);
    for (std::string line; std::getline(rows, line);) {
        std::istringstream f(line);
        int page, num, w, h;
        std::string type;
        if (f >> page >> num >> type >> w >> h && type == "image") images.push_back({page, w, h});
    }
    ASSERT_EQ(images.size(), 3u) << list;
    EXPECT_EQ(images[0][0], 1);
    EXPECT_LE(images[0][1], 110);
    EXPECT_LE(images[0][2], 8);
    EXPECT_EQ(images[1][0], 1);
    EXPECT_LE(images[1][1], 50);
    EXPECT_EQ(images[2][0], 2);
    EXPECT_LE(images[2][1], 8);
    EXPECT_LE(images[2][2], 70);
    TGrayPage page;
    ASSERT_TRUE(RenderPdfPage(Printer().FileName, 2, 150, page));
    EXPECT_GT(page.At(150, 100), 192); // page 1's lines stayed on page 1
    EXPECT_GT(page.At(120, 500), 192);
    EXPECT_LT(page.At(300, 730), 96);
}

namespace {

std::string MetafileFixture(const std::string& name) {
    const char* root = std::getenv("EPC_TEST_DATA");
    std::string dir = root ? std::string(root) + "/../platform/graphics/data/"
                           : std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/')) +
                                 "/../graphics/data/";
    return dir + name;
}

} // namespace

TEST_F(PrinterFixture, MetafilesPrintAsVectorsWithTheirBitmapsAsImages) {
    Printer().FileName = File("metafiles.pdf");
    Printer().BeginDoc();
    for (const char* name : {"shapes.emf", "shapes.wmf"}) {
        TPicture picture;
        picture.LoadFromFile(MetafileFixture(name));
        // The picture at its size, at the top left of the page.
        int w = MulDiv(picture.Width(), 150, 96), h = MulDiv(picture.Height(), 150, 96);
        Printer().Canvas()->StretchDraw(Rect(0, 0, w, h), picture.Graphic());
        if (std::string(name) == "shapes.emf") Printer().NewPage();
    }
    Printer().EndDoc();
    if (!HaveTool("pdfimages") || !HaveTool("pdftotext") || !HaveTool("pdftoppm"))
        GTEST_SKIP() << "poppler not installed";
    // One image a page: the bitmap the pictures hold. Shapes and lines are vectors.
    std::string list = RunTool("pdfimages -list '" + Printer().FileName + "'");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2 + 2) << list;
    std::string text = RunTool("pdftotext '" + Printer().FileName + "' -");
    EXPECT_EQ(std::count(text.begin(), text.end(), 'E'), 2) << text;
    EXPECT_NE(text.find("Exam 42"), std::string::npos) << text;
    EXPECT_NE(text.find("Bold"), std::string::npos) << text;
    for (int page : {1, 2}) {
        TGrayPage gray;
        ASSERT_TRUE(RenderPdfPage(Printer().FileName, page, 150, gray));
        // Inside the blue rectangle, and the white between it and the red ellipse.
        EXPECT_LT(gray.At(60, 40), 160);
        EXPECT_GT(gray.At(175, 47), 224);
    }
}
