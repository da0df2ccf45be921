// Text on a printer page is drawn with the faces the text layer loaded: blanks the face lacks
// stay text, and lending a face to the PDF leaves measuring with it as it was.

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/printing/Printers.h"
#include "platform/text/FontEngine.h"
#include "tests/platform/printing/PrintToolSupport.h"

using namespace epc;
using namespace epc::testing;

namespace {

struct TBigEndian {
    std::string Bytes;
    void U16(int v) {
        Bytes += char((v >> 8) & 0xFF);
        Bytes += char(v & 0xFF);
    }
    void U32(uint32_t v) {
        U16(int(v >> 16));
        U16(int(v & 0xFFFF));
    }
    void Pad() {
        while (Bytes.size() % 4)
            Bytes += '\0';
    }
};

void NameString(TBigEndian& records, std::string& strings, int id, const std::string& text) {
    records.U16(3); // Windows, Unicode BMP, US English
    records.U16(1);
    records.U16(0x409);
    records.U16(id);
    records.U16(int(text.size() * 2));
    records.U16(int(strings.size()));
    for (char c : text) {
        strings += '\0';
        strings += c;
    }
}

// A TrueType face "Blank Test Sans" of boxes for the printable ASCII characters and an empty
// space: it lacks the soft hyphen and every other blank, which the installed faces all have.
std::string BoxFont() {
    constexpr int kGlyphs = 96; // .notdef, space, 0x21..0x7E
    constexpr int kBoxBytes = 36;
    struct TTable {
        const char* Tag;
        TBigEndian Data;
    };
    std::vector<TTable> tables(9);
    auto table = [&](size_t i, const char* tag) -> TBigEndian& {
        tables[i].Tag = tag;
        return tables[i].Data;
    };
    TBigEndian& cmap = table(0, "cmap");
    cmap.U16(0), cmap.U16(1), cmap.U16(3), cmap.U16(1), cmap.U32(12);
    for (int v :
         {4, 32, 0, 4, 4, 1, 0, 0x7E, 0xFFFF, 0, 0x20, 0xFFFF, (1 - 0x20) & 0xFFFF, 1, 0, 0})
        cmap.U16(v);
    TBigEndian& glyf = table(1, "glyf");
    for (int g = 2; g < kGlyphs; ++g) {
        for (int v : {1, 50, 0, 450, 700, 3, 0}) // one contour, its box, its last point
            glyf.U16(v);
        glyf.U32(0x01010101);                          // four points on the curve
        for (int v : {50, 0, 400, 0, 0, 700, 0, -700}) // clockwise from the bottom left
            glyf.U16(v & 0xFFFF);
        glyf.U16(0);
    }
    TBigEndian& head = table(2, "head");
    head.U32(0x00010000), head.U32(0x00010000), head.U32(0), head.U32(0x5F0F3CF5);
    for (int v : {1, 1000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 450, 700, 0, 8, 2, 1, 0})
        head.U16(v);
    TBigEndian& hhea = table(3, "hhea");
    hhea.U32(0x00010000);
    for (int v : {800, -200, 0, 500, 0, 50, 450, 1, 0, 0, 0, 0, 0, 0, 0, kGlyphs})
        hhea.U16(v & 0xFFFF);
    TBigEndian& hmtx = table(4, "hmtx");
    for (int g = 0; g < kGlyphs; ++g)
        hmtx.U16(500), hmtx.U16(g < 2 ? 0 : 50);
    TBigEndian& loca = table(5, "loca");
    for (int g = 0; g <= kGlyphs; ++g)
        loca.U32(uint32_t(g < 2 ? 0 : (g - 2) * kBoxBytes));
    TBigEndian& maxp = table(6, "maxp");
    maxp.U32(0x00010000);
    for (int v : {kGlyphs, 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0})
        maxp.U16(v);
    TBigEndian& name = table(7, "name");
    TBigEndian records;
    std::string strings;
    NameString(records, strings, 1, "Blank Test Sans");
    NameString(records, strings, 2, "Regular");
    NameString(records, strings, 4, "Blank Test Sans");
    NameString(records, strings, 6, "BlankTestSans");
    name.U16(0), name.U16(4), name.U16(6 + 4 * 12);
    name.Bytes += records.Bytes + strings;
    TBigEndian& post = table(8, "post");
    post.U32(0x00030000), post.U32(0), post.U16(-100 & 0xFFFF), post.U16(50);
    for (int i = 0; i < 5; ++i)
        post.U32(0);

    TBigEndian file;
    file.U32(0x00010000);
    for (int v : {9, 128, 3, 9 * 16 - 128})
        file.U16(v);
    uint32_t offset = uint32_t(12 + 16 * tables.size());
    std::string data;
    for (TTable& t : tables) {
        const uint32_t length = uint32_t(t.Data.Bytes.size());
        t.Data.Pad();
        uint32_t sum = 0;
        for (size_t i = 0; i < t.Data.Bytes.size(); i += 4)
            for (size_t k = 0; k < 4; ++k)
                sum += uint32_t(uint8_t(t.Data.Bytes[i + k])) << (24 - 8 * k);
        file.Bytes += t.Tag;
        file.U32(sum);
        file.U32(offset + uint32_t(data.size()));
        file.U32(length);
        data += t.Data.Bytes;
    }
    return file.Bytes + data;
}

struct TextFacePrint : ::testing::Test {
    void SetUp() override {
        Printer().SetPaperSizeMM(100, 150);
        Printer().SetResolution(150);
    }
    void TearDown() override {
        Printer().Abort();
        Printer().SetPaperSizeMM(210, 297);
        Printer().SetResolution(600);
    }
    // Starts a job writing Name in the output folder, its canvas set to the face given.
    TCanvas* BeginJob(const std::string& name, const char* face, int height) {
        Printer().FileName = OutDir() + "/" + name;
        Printer().BeginDoc();
        TCanvas* c = Printer().Canvas();
        c->Font()->SetName(face);
        c->Font()->SetHeight(height);
        c->Brush()->SetStyle(bsClear);
        return c;
    }
};

// Soft hyphen, ideographic space and line separator in a face that lacks them (every installed
// face has the soft hyphen): the blanks alone must not send the run to the pixels.
TEST_F(TextFacePrint, BlanksTheFaceLacksStayText) {
    ResolveFontFamily(u"Arial"); // fontconfig is set up as the text layer does it
    const std::string fontFile = OutDir() + "/blank-test-sans.ttf";
    std::ofstream(fontFile, std::ios::binary) << BoxFont();
    ASSERT_TRUE(FcConfigAppFontAddFile(FcConfigGetCurrent(),
                                       reinterpret_cast<const FcChar8*>(fontFile.c_str())));
    ASSERT_EQ(ResolveFontFamily(u"Blank Test Sans"), u"Blank Test Sans");

    TCanvas* c = BeginJob("blanks.pdf", "Blank Test Sans", -40);
    c->TextOut(50, 50, u"Soft\u00ADhyphen");
    c->TextOut(50, 150, u"Wide\u3000space");
    c->TextOut(50, 250, u"Line\u2028end");
    Printer().EndDoc();
    if (!HaveTool("pdfimages") || !HaveTool("pdftotext")) GTEST_SKIP() << "poppler not installed";
    std::string images = RunTool("pdfimages -list '" + Printer().FileName + "'");
    EXPECT_EQ(images.find("image"), images.rfind("image")) << images; // the header only
    EXPECT_NE(RunTool("pdffonts '" + Printer().FileName + "'").find("BlankTestSans"),
              std::string::npos);
    std::string text = RunTool("pdftotext '" + Printer().FileName + "' -");
    for (const char* word : {"Soft", "hyphen", "Wide", "space", "Line", "end"})
        EXPECT_NE(text.find(word), std::string::npos) << word << " in " << text;
}

// The soft hyphen shows nothing on the screen, though the face's glyph for it is a hyphen:
// the page shows nothing there either.
TEST_F(TextFacePrint, BlanksWithInkInTheFacePrintNothing) {
    BeginJob("soft-hyphen.pdf", "Arial", -40)->TextOut(50, 50, u"co\u00ADoperate and\u00A0more");
    Printer().EndDoc();
    if (!HaveTool("pdftotext")) GTEST_SKIP() << "poppler not installed";
    std::string text = RunTool("pdftotext '" + Printer().FileName + "' -");
    EXPECT_EQ(text.find('-'), std::string::npos) << text;
    EXPECT_EQ(text.find("\xC2\xAD"), std::string::npos) << text;
    EXPECT_NE(text.find("operate"), std::string::npos) << text;
    EXPECT_NE(text.find("more"), std::string::npos) << text;
}

// Embedding sizes the lent face as it needs (the font program is made at another size); code
// points first measured after the job measure as in an instance that was never printed with.
TEST_F(TextFacePrint, PrintingLeavesMeasuringAsItWas) {
    BeginJob("measured.pdf", "Liberation Serif", -37)->TextOut(50, 50, u"Printed");
    Printer().EndDoc();

    HDC dc = CreateDCA(nullptr, nullptr, nullptr, nullptr);
    TCanvas measure;
    measure.SetHandle(dc);
    measure.Font()->SetName("Liberation Serif");
    measure.Font()->SetHeight(-37);
    const std::u16string later = u"WQmz@%&";
    const int printedWith = measure.TextWidth(later);
    measure.Font()->SetStyle(TFontStyles{fsUnderline}); // another instance of the same face
    EXPECT_EQ(printedWith, measure.TextWidth(later));
    EXPECT_GT(printedWith, 7 * 10);
    measure.SetHandle(nullptr);
    DeleteDC(dc);
}

} // namespace
