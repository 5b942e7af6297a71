// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Palette entries, nearest-colour search and pixel access.
#include <gtest/gtest.h>

#include <vector>

#include "image_test_util.h"
#include "ximage.h"

namespace {

tagRGBQUAD Bgr(uint8_t b, uint8_t g, uint8_t r, uint8_t a = 0) { return tagRGBQUAD{b, g, r, a}; }

void ExpectColor(const tagRGBQUAD& got, const tagRGBQUAD& want) {
    EXPECT_EQ(got.rgbBlue, want.rgbBlue);
    EXPECT_EQ(got.rgbGreen, want.rgbGreen);
    EXPECT_EQ(got.rgbRed, want.rgbRed);
    EXPECT_EQ(got.rgbReserved, want.rgbReserved);
}

TEST(PixelIndex, PackingOfOneAndFourBits) {
    CxImage bits(16, 1, 1);
    bits.SetPixelIndex(9, 0, 1);
    EXPECT_EQ(bits.GetBits(0)[1], 0x40);
    bits.SetPixelIndex(9, 0, 2);  // only the low bit is stored
    EXPECT_EQ(bits.GetBits(0)[1], 0x00);
    bits.SetPixelIndex(0, 0, 1);
    EXPECT_EQ(bits.GetBits(0)[0], 0x80);
    EXPECT_EQ(bits.GetPixelIndex(0, 0), 1);

    CxImage nibbles(6, 1, 4);
    nibbles.SetPixelIndex(3, 0, 5);
    nibbles.SetPixelIndex(2, 0, 31);
    EXPECT_EQ(nibbles.GetBits(0)[1], 0xF5);
    EXPECT_EQ(nibbles.GetPixelIndex(2, 0), 15);
    EXPECT_EQ(nibbles.GetPixelIndex(3, 0), 5);

    CxImage bytes(5, 2, 8);  // rows of 8 bytes
    bytes.SetPixelIndex(3, 1, 200);
    EXPECT_EQ(bytes.GetBits(0)[8 + 3], 200);
    EXPECT_EQ(bytes.GetPixelIndex(3, 1), 200);

    CxImage colour(2, 1, 24);
    colour.GetBits(0)[0] = 7;
    colour.SetPixelIndex(0, 0, 3);
    EXPECT_EQ(colour.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(colour.GetBits(0)[0], 7);
}

TEST(PixelIndex, OutsideFallsBackToTransparentIndexOrFirstPixel) {
    struct Case { int64_t x, y; };
    const Case points[] = {{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {-5, 9}};
    CxImage image(4, 3, 8);
    image.SetPixelIndex(0, 0, 42);
    image.SetPixelIndex(3, 2, 7);
    for (const Case& p : points) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        image.SetTransIndex(-1);
        EXPECT_EQ(image.GetPixelIndex(p.x, p.y), 42);
        image.SetTransIndex(3);
        EXPECT_EQ(image.GetPixelIndex(p.x, p.y), 3);
        image.SetPixelIndex(p.x, p.y, 99);  // ignored outside
    }
    image.SetTransIndex(-1);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 42);
    EXPECT_EQ(image.GetPixelIndex(3, 2), 7);
}

TEST(NearestIndex, SearchAnswers) {
    struct Case { uint64_t bpp; tagRGBQUAD color; uint8_t index; };
    const Case cases[] = {
        {1, Bgr(127, 127, 127), 0}, {1, Bgr(128, 128, 128), 1}, {1, Bgr(0, 0, 255), 0},
        {8, Bgr(30, 20, 10), 20},   {8, Bgr(1, 2, 2), 2},      {4, Bgr(8, 8, 8), 0},
        {4, Bgr(9, 9, 9), 1},       {4, Bgr(255, 255, 255), 15},
    };
    const uint8_t zero[4] = {0, 0, 0, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bpp << " bits, wanted " << int(c.index));
        CxImage image(0);
        ASSERT_TRUE(image.CreateFromArray(zero, 1, 1, c.bpp, 4, false));
        EXPECT_EQ(image.GetNearestIndex(c.color), c.index);
    }
}

TEST(NearestIndex, TiesGoToTheLowerIndex) {
    CxImage image(1, 1, 8);
    for (int i = 0; i < 256; ++i) image.SetPaletteColor(i, 255, 255, 255);
    image.SetPaletteColor(5, 100, 100, 100);
    image.SetPaletteColor(9, 102, 102, 102);
    EXPECT_EQ(image.GetNearestIndex(Bgr(101, 101, 101)), 5);
    image.SetPaletteColor(9, 100, 100, 100);
    EXPECT_EQ(image.GetNearestIndex(Bgr(100, 100, 100)), 5);
    EXPECT_EQ(image.GetNearestIndex(Bgr(255, 255, 255)), 0);
}

TEST(NearestIndex, MemoAndItsInvalidation) {
    CxImage image(0);
    const uint8_t zero[4] = {0, 0, 0, 0};
    ASSERT_TRUE(image.CreateFromArray(zero, 1, 1, 1, 4, false));
    const tagRGBQUAD light = Bgr(200, 200, 200);
    tagRGBQUAD* palette = image.GetPalette();
    auto swapBehindItsBack = [&] { palette[0] = Bgr(255, 255, 255); palette[1] = Bgr(0, 0, 0); };

    EXPECT_EQ(image.GetNearestIndex(light), 1);
    swapBehindItsBack();
    EXPECT_EQ(image.GetNearestIndex(light), 1);  // the memo answers
    image.SetPaletteColor(5, 1, 2, 3);           // out of range: nothing, memo kept
    EXPECT_EQ(image.GetNearestIndex(light), 1);
    ExpectColor(image.GetPaletteColor(5), Bgr(0, 0, 0));
    image.SetPaletteColor(1, 0, 0, 0);
    EXPECT_EQ(image.GetNearestIndex(light), 0);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetNearestIndex(light), 1);

    std::vector<tagRGBQUAD> entries(256, Bgr(9, 9, 9));
    entries[0] = Bgr(250, 250, 250, 4);
    entries[1] = Bgr(1, 2, 3, 5);
    image.SetPalette(entries.data(), 256);
    ExpectColor(image.GetPaletteColor(0), entries[0]);
    ExpectColor(image.GetPaletteColor(1), entries[1]);
    EXPECT_EQ(image.GetNearestIndex(light), 0);
}

TEST(PixelColor, AlphaReadAndWrite) {
    CxImage indexed(2, 1, 8);
    indexed.SetGrayPalette();
    indexed.AlphaCreate();
    indexed.SetPixelColor(1, 0, Bgr(60, 60, 60, 7), true);
    EXPECT_EQ(indexed.GetPixelIndex(1, 0), 60);
    EXPECT_EQ(indexed.AlphaGet(1, 0), 255);

    CxImage colour(2, 1, 24);
    colour.SetPixelColor(1, 0, Bgr(1, 2, 3, 7), true);
    ExpectColor(colour.GetPixelColor(1, 0, true), Bgr(1, 2, 3, 0));  // no plane: reserved 0
    colour.AlphaCreate();
    colour.SetPixelColor(1, 0, Bgr(4, 5, 6, 7), false);
    EXPECT_EQ(colour.AlphaGet(1, 0), 255);
    colour.SetPixelColor(1, 0, Bgr(4, 5, 6, 7), true);
    ExpectColor(colour.GetPixelColor(1, 0, true), Bgr(4, 5, 6, 7));
    ExpectColor(colour.GetPixelColor(1, 0, false), Bgr(4, 5, 6, 0));

    colour.SetPixelColor(0, 0, Bgr(8, 9, 10, 11), true);
    colour.SetPixelColor(2, 0, Bgr(50, 50, 50, 50), true);  // outside: ignored
    ExpectColor(colour.GetPixelColor(-1, -1, false), Bgr(8, 9, 10, 11));
    ExpectColor(colour.GetPixelColor(2, 0, true), Bgr(8, 9, 10, 11));

    CxImage empty(0);
    ExpectColor(empty.GetPixelColor(0, 0, true), Bgr(0, 0, 0));
}

TEST(PixelColor, IndexedReadsThePaletteEntry) {
    CxImage image(3, 1, 4);
    image.SetPaletteColor(6, 30, 20, 10, 99);
    image.SetPixelIndex(2, 0, 6);
    ExpectColor(image.GetPixelColor(2, 0, true), Bgr(10, 20, 30, 99));
    image.SetTransIndex(6);
    ExpectColor(image.GetPixelColor(5, 0, true), Bgr(10, 20, 30, 99));
}

}  // namespace
