// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Picture loading and saving, and the drawing helpers behind the patterns.
#include <gtest/gtest.h>

#include "draw.h"
#include "picture.h"

namespace {

using zelp::Picture;

// A byte string from a literal that may hold zero bytes.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

struct PnmCase {
    const char* name;
    std::string bytes;
    int width, height, channels;
    std::vector<uint8_t> pixels;
};

std::vector<PnmCase> PnmCases() {
    return {
        {"P1 with comment", "P1\n# made by hand\n3 2\n0 1 0\n1 1 0\n", 3, 2, 1,
         {255, 0, 255, 0, 0, 255}},
        {"P1 without separators", "P1 3 2 010110", 3, 2, 1, {255, 0, 255, 0, 0, 255}},
        {"P4, rows padded to bytes", Bytes("P4\n10 2\n\xC0\x40\x01\x80"), 10, 2, 1,
         {0, 0, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255}},
        {"P2, maxval 15", "P2 2 2 15 0 15 5 10", 2, 2, 1, {0, 255, 85, 170}},
        {"P5, maxval 255", Bytes("P5 3 1 255\n\x00\x80\xFF"), 3, 1, 1, {0, 128, 255}},
        {"P5, 16-bit samples", Bytes("P5 2 1 65535\n\xFF\xFF\x80\x00"), 2, 1, 1,
         {255, 128}},
        {"P6", Bytes("P6 1 1 255\n\x0A\x14\x1E"), 1, 1, 3, {10, 20, 30}},
    };
}

TEST(Picture, DecodesEveryNetpbmKind) {
    for (const PnmCase& c : PnmCases()) {
        SCOPED_TRACE(c.name);
        Picture p;
        std::string error;
        ASSERT_TRUE(zelp::DecodePnm(c.bytes, &p, &error)) << error;
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        EXPECT_EQ(p.channels, c.channels);
        EXPECT_EQ(p.pixels, c.pixels);
    }
}

TEST(Picture, RefusesBrokenNetpbm) {
    const std::string cases[] = {
        "P7 1 1 255\n\x00",         // unknown kind
        "P5 2 2 255\nab",           // data ends early
        "P1 2 2 0 1 0",             // plain data ends early
        "P2 0 3 255",               // zero width
        "P5 1 1 70000\n\x00\x00",   // maxval too large
        "P2 1 1",                   // no maxval
    };
    for (const std::string& bytes : cases) {
        Picture p;
        std::string error;
        EXPECT_FALSE(zelp::DecodePnm(bytes, &p, &error)) << bytes;
        EXPECT_FALSE(error.empty());
    }
}

Picture Ramp(int channels) {
    Picture p = zelp::MakePicture(7, 5, channels, 0);
    for (size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = uint8_t(i * 37);
    return p;
}

TEST(Picture, PngAndPgmFilesReadBackUnchanged) {
    struct Case {
        const char* file;
        int channels;
    } cases[] = {{"grey.png", 1}, {"colour.png", 3}, {"grey.pgm", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Picture original = Ramp(c.channels);
        const std::string path = ::testing::TempDir() + "zelp_picture_" + c.file;
        std::string error;
        ASSERT_TRUE(zelp::SavePicture(path, original, &error)) << error;
        Picture back;
        ASSERT_TRUE(zelp::LoadPicture(path, &back, &error)) << error;
        std::remove(path.c_str());
        EXPECT_EQ(back.width, original.width);
        EXPECT_EQ(back.height, original.height);
        EXPECT_EQ(back.channels, original.channels);
        EXPECT_EQ(back.pixels, original.pixels);
    }
}

TEST(Picture, LoadReportsMissingAndUnknownFiles) {
    Picture p;
    std::string error;
    EXPECT_FALSE(zelp::LoadPicture("/nonexistent/picture.png", &p, &error));
    EXPECT_NE(error.find("/nonexistent/picture.png"), std::string::npos);
    const std::string path = ::testing::TempDir() + "zelp_picture_text.txt";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hello", f);
    std::fclose(f);
    EXPECT_FALSE(zelp::LoadPicture(path, &p, &error));
    std::remove(path.c_str());
    std::string png;
    ASSERT_TRUE(zelp::EncodePng(Ramp(1), &png, &error));
    EXPECT_FALSE(zelp::DecodePng(png.substr(0, png.size() / 2), &p, &error));
}

TEST(Picture, FitToSizeCutsAndPadsWithWhite) {
    const Picture p = Ramp(1);  // 7 x 5
    const Picture fitted = zelp::FitToSize(p, 9, 3);
    ASSERT_EQ(fitted.width, 9);
    ASSERT_EQ(fitted.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(*fitted.At(x, y), x < 7 ? *p.At(x, y) : 255) << x << "," << y;
}

TEST(Draw, Ean13FollowsTheStandardEncoding) {
    EXPECT_EQ(zelp::Ean13CheckDigit("400638133393"), 1);
    EXPECT_EQ(zelp::Ean13CheckDigit("978020137962"), 4);
    EXPECT_EQ(zelp::Ean13CheckDigit("12345"), -1);
    const std::string m = zelp::Ean13Modules("4006381333931");
    ASSERT_EQ(m.size(), 95u);
    EXPECT_EQ(m.substr(0, 3), "101");
    EXPECT_EQ(m.substr(45, 5), "01010");
    EXPECT_EQ(m.substr(92, 3), "101");
    // First digit 4 gives parities L G L L G G: digit 0 as L, then 0 as G.
    EXPECT_EQ(m.substr(3, 7), "0001101");
    EXPECT_EQ(m.substr(10, 7), "0100111");
    // Right half: 3 (R code) is the first digit after the centre guard.
    EXPECT_EQ(m.substr(50, 7), "1000010");
    EXPECT_EQ(zelp::Ean13Modules("4006381333932"), "");  // wrong check digit
}

TEST(Draw, TextStaysInsideItsCellsAndClipsAtEdges) {
    Picture p = zelp::MakePicture(40, 30, 1, 255);
    zelp::DrawText(p, -3, -4, "Hg,", 2, zelp::kBlack);  // partly off the picture
    zelp::DrawText(p, 30, 25, "W", 3, zelp::kBlack);
    const std::string text = "Total 9.99";
    EXPECT_EQ(zelp::TextWidth(text, 2), (10 * 6 - 1) * 2);
    Picture line = zelp::MakePicture(zelp::TextWidth(text, 1) + 4, zelp::kCellHeight + 4, 1, 255);
    zelp::DrawText(line, 2, 2, text, 1, zelp::kBlack);
    for (int y = 0; y < line.height; ++y)
        for (int x = 0; x < line.width; ++x) {
            const bool inside = x >= 2 && x < line.width - 2 && y >= 2 && y < 2 + zelp::kGlyphRows;
            if (!inside) {
                EXPECT_EQ(*line.At(x, y), 255) << x << "," << y;
            }
        }
    for (char c = 33; c < 127; ++c) {  // every visible glyph has a dot
        bool any = false;
        for (int row = 0; row < zelp::kGlyphRows; ++row)
            for (int col = 0; col < zelp::kGlyphWidth; ++col) any |= zelp::GlyphDot(c, col, row);
        EXPECT_TRUE(any) << c;
    }
}

TEST(Draw, PatternsHaveTheirDocumentedShape) {
    Picture p;
    ASSERT_TRUE(zelp::MakePattern("gradient", 256, 2, 1, &p));
    EXPECT_EQ(*p.At(0, 1), 0);
    EXPECT_EQ(*p.At(255, 1), 255);
    EXPECT_EQ(*p.At(128, 0), 128);
    ASSERT_TRUE(zelp::MakePattern("checker", 32, 16, 1, &p));
    EXPECT_EQ(*p.At(0, 0), 0);
    EXPECT_EQ(*p.At(8, 0), 255);
    EXPECT_EQ(*p.At(8, 8), 0);
    ASSERT_TRUE(zelp::MakePattern("bars", 32, 1, 1, &p));
    EXPECT_EQ(*p.At(0, 0), 0);
    EXPECT_EQ(*p.At(31, 0), 255);
    EXPECT_EQ(*p.At(2, 0), 17);
    ASSERT_TRUE(zelp::MakePattern("checker", 0, 0, 1, &p));
    EXPECT_EQ(p.width, 576);
    EXPECT_EQ(p.height, 240);
    EXPECT_FALSE(zelp::MakePattern("plaid", 8, 8, 1, &p));

    Picture a, b, c;
    ASSERT_TRUE(zelp::MakePattern("noise", 64, 64, 42, &a));
    ASSERT_TRUE(zelp::MakePattern("noise", 64, 64, 42, &b));
    ASSERT_TRUE(zelp::MakePattern("noise", 64, 64, 43, &c));
    EXPECT_EQ(a.pixels, b.pixels) << "seed 42";
    EXPECT_NE(a.pixels, c.pixels) << "seeds 42 and 43";
}

TEST(Draw, ReceiptIsAFullWidthPageWithTextAndShades) {
    for (int width : {576, 384}) {
        SCOPED_TRACE(width);
        Picture r;
        ASSERT_TRUE(zelp::MakePattern("receipt", width, 0, 1, &r));
        EXPECT_EQ(r.width, width);
        EXPECT_GT(r.height, 600);
        int black = 0, white = 0, mid = 0;
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x) {
                const uint8_t g = r.Grey(x, y);
                black += g < 32;
                white += g > 240;
                mid += g >= 64 && g <= 192;
            }
        EXPECT_GT(black, 5000);  // text, rules and the barcode
        EXPECT_GT(white, r.width * r.height / 2);
        EXPECT_GT(mid, 5000);    // the photo and the logo
        Picture cut;
        ASSERT_TRUE(zelp::MakePattern("receipt", width, 100, 1, &cut));
        EXPECT_EQ(cut.height, 100);
    }
}

}  // namespace
