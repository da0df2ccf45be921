#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codecs/ImageCodecs.h"
#include "platform/core/Exceptions.h"
#include "tests/platform/codecs/SampleImages.h"

using namespace epc;
using samples::MakeJpeg;
using samples::TJpegKind;

namespace {

TDecodedImage Decode(const std::string& s) {
    return DecodeJpeg(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

int Red(uint32_t p) { return (p >> 16) & 0xFF; }
int Green(uint32_t p) { return (p >> 8) & 0xFF; }
int Blue(uint32_t p) { return p & 0xFF; }

}  // namespace

TEST(JpegCodec, DecodesGrayRgbAndCmyk) {
    TDecodedImage gray = Decode(MakeJpeg(32, 16, TJpegKind::Gray));
    EXPECT_EQ(gray.Width, 32);
    EXPECT_EQ(gray.Height, 16);
    EXPECT_EQ(gray.ColorType, 0);
    EXPECT_FALSE(gray.HasAlpha);
    uint32_t right = gray.Pixels[8 * 32 + 31];
    EXPECT_EQ(right >> 24, 0xFFu);
    EXPECT_NEAR(Red(right), 255, 6);
    EXPECT_EQ(Red(right), Blue(right));
    EXPECT_NEAR(Red(gray.Pixels[0]), 0, 6);

    // Red follows x, green follows y, blue is constant.
    TDecodedImage rgb = Decode(MakeJpeg(32, 16, TJpegKind::Rgb));
    EXPECT_EQ(rgb.ColorType, 2);
    uint32_t p = rgb.Pixels[15 * 32 + 31];
    EXPECT_NEAR(Red(p), 255, 12);
    EXPECT_NEAR(Green(p), 255, 12);
    EXPECT_NEAR(Blue(p), 128, 12);
    EXPECT_EQ(rgb.DpiX, 72);

    // CMYK files carry the Adobe marker, whose convention stores the inks inverted: stored
    // C = 0, M = 0, Y = 128, K = 128 give r = C * K / 255 = 0 and b = 64.
    TDecodedImage cmyk = Decode(MakeJpeg(16, 16, TJpegKind::Cmyk));
    EXPECT_EQ(cmyk.ColorType, 2);
    uint32_t q = cmyk.Pixels[0];
    EXPECT_EQ(q >> 24, 0xFFu);
    EXPECT_NEAR(Red(q), 0, 10);
    EXPECT_NEAR(Blue(q), 64, 10);
    uint32_t corner = cmyk.Pixels[15 * 16 + 15];  // C = M = 255: r = g = 128
    EXPECT_NEAR(Red(corner), 128, 10);
    EXPECT_NEAR(Green(corner), 128, 10);
}

TEST(JpegCodec, ProgressiveRestartAndArithmeticMatchBaseline) {
    TDecodedImage base = Decode(MakeJpeg(40, 24, TJpegKind::Rgb, false, 100));
    for (const std::string& other :
         {MakeJpeg(40, 24, TJpegKind::Rgb, true, 100),
          MakeJpeg(40, 24, TJpegKind::Rgb, false, 100, true),
          MakeJpeg(40, 24, TJpegKind::Rgb, true, 100, true, true)}) {
        TDecodedImage img = Decode(other);
        ASSERT_EQ(img.Pixels.size(), base.Pixels.size());
        for (size_t i = 0; i < base.Pixels.size(); ++i)
            ASSERT_NEAR(Red(img.Pixels[i]), Red(base.Pixels[i]), 4) << i;
    }
}

TEST(JpegCodec, TruncatedOrCorruptedDataRaises) {
    for (bool progressive : {false, true}) {
        std::string good = MakeJpeg(24, 24, TJpegKind::Rgb, progressive);
        // Every cut before the end-of-image marker.
        for (size_t n = 0; n + 2 < good.size(); n += 5)
            EXPECT_THROW(Decode(good.substr(0, n)), EInvalidGraphic) << n;
    }
    std::string good = MakeJpeg(24, 24, TJpegKind::Gray);
    std::string bad = good;
    size_t sof = good.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bad[sof + 4] = 7;  // sample precision
    EXPECT_THROW(Decode(bad), EInvalidGraphic);
    bad = good;
    bad[sof + 9] = 0;  // component count
    EXPECT_THROW(Decode(bad), EInvalidGraphic);
    EXPECT_THROW(DecodeJpeg(nullptr, 0), EInvalidGraphic);
    // Random garbage after a valid start never crashes, whatever it raises.
    std::srand(7);
    for (int round = 0; round < 50; ++round) {
        std::string s = good;
        for (int k = 0; k < 8; ++k) s[2 + std::rand() % (s.size() - 2)] = static_cast<char>(std::rand());
        try {
            Decode(s);
        } catch (const EInvalidGraphic&) {
        }
    }
}

TEST(JpegCodec, AbsurdSizesRaise) {
    std::string good = MakeJpeg(8, 8, TJpegKind::Gray);
    // The frame header (SOF0) holds height then width after its precision byte.
    size_t sof = good.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    std::string big = good;
    big[sof + 5] = big[sof + 7] = static_cast<char>(0x7F);  // 32 k x 32 k
    try {
        Decode(big);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(std::string(e.what()).find("JPEG"), std::string::npos);
    }
    big = good;
    big[sof + 5] = big[sof + 7] = 0x30;  // 12 k x 12 k from a few hundred bytes
    EXPECT_THROW(Decode(big), EInvalidGraphic);
}

namespace {

// A valid progressive gray picture whose every AC coefficient arrives bit by bit: 1 + 63 x 11
// scans, far more than any real file has.
std::string ManyScanJpeg() {
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k < 64; ++k) {
        scans.push_back({1, {0}, k, k, 0, 10});
        for (int al = 9; al >= 0; --al) scans.push_back({1, {0}, k, k, al + 1, al});
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = cinfo.image_height = 8;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    cinfo.scan_info = scans.data();
    cinfo.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&cinfo, TRUE);
    uint8_t row[8] = {0, 200, 30, 170, 60, 140, 90, 255};
    for (int y = 0; y < 8; ++y) {
        JSAMPROW p = row;
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

}  // namespace

TEST(JpegCodec, EndlessScansRaise) {
    // Each progressive scan costs a pass over the picture: hundreds of them are refused.
    try {
        Decode(ManyScanJpeg());
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_NE(std::string(e.what()).find("too many scans"), std::string::npos);
    }
    EXPECT_NO_THROW(Decode(MakeJpeg(16, 16, TJpegKind::Gray, true)));
}

TEST(JpegCodec, DamagedScanDataRaises) {
    // Zeroed bytes inside the entropy-coded data: a bad code or a lost marker, not a picture.
    std::string good = MakeJpeg(32, 32, TJpegKind::Rgb);
    size_t scan = good.rfind("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    std::string bad = good;
    for (size_t i = scan + 20; i < bad.size() - 10; i += 3) bad[i] = static_cast<char>(0xFF);
    EXPECT_THROW(Decode(bad), EInvalidGraphic);
}
