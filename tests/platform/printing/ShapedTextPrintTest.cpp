// Reordered and shaped text on a printer page goes to the PDF as glyphs of the embedded font.

#include <gtest/gtest.h>

#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/printing/Printers.h"
#include "tests/platform/printing/PrintToolSupport.h"

using namespace epc;
using namespace epc::testing;

namespace {

TEST(PrintShapedText, RightToLeftTextPrintsAsVectorGlyphs) {
    Printer().SetPaperSizeMM(100, 150);
    Printer().SetResolution(150);
    Printer().FileName = OutDir() + "/arabic.pdf";
    Printer().BeginDoc();
    TCanvas* c = Printer().Canvas();
    c->Font()->SetName("DejaVu Sans");
    c->Font()->SetHeight(-40);
    c->Brush()->SetStyle(bsClear);
    const std::u16string word = u"\u0645\u0631\u062D\u0628\u0627"; // joined letters
    SIZE size;
    GetTextExtentPoint32W(c->Handle(), word.data(), int(word.size()), &size);
    c->TextOut(100, 100, word);
    Printer().EndDoc();
    Printer().SetPaperSizeMM(210, 297);
    Printer().SetResolution(600);
    if (!HaveTool("pdfimages") || !HaveTool("pdftoppm")) GTEST_SKIP() << "poppler not installed";
    std::string list = RunTool("pdfimages -list '" + Printer().FileName + "'");
    EXPECT_EQ(list.find("image"), list.rfind("image")) << list; // no picture on the page
    EXPECT_NE(RunTool("pdffonts '" + Printer().FileName + "'").find("DejaVuSans"),
              std::string::npos);
    // The word's ink spans its measured width, where it was drawn.
    TGrayPage page;
    ASSERT_TRUE(RenderPdfPage(Printer().FileName, 1, 150, page));
    int left, top, right, bottom;
    ASSERT_TRUE(page.InkBox(left, top, right, bottom));
    EXPECT_NEAR(left, 100, 4);
    EXPECT_NEAR(right, 100 + size.cx, 8); // less the last letter's side bearing
}

} // namespace
