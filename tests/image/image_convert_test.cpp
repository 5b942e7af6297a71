// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Grey-scale conversion and the fixed-level threshold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "image_test_util.h"
#include "ximage.h"

namespace {

void ExpectGreyPalette(const CxImage& image) {
    ASSERT_EQ(image.GetNumColors(), 256u);
    for (int i = 0; i < 256; ++i) {
        const tagRGBQUAD e = image.GetPalette()[i];
        ASSERT_TRUE(e.rgbBlue == i && e.rgbGreen == i && e.rgbRed == i) << "entry " << i;
    }
}

TEST(GrayScale, TrueColourLevelsAndAlphaCarried) {
    // Pixels in stored byte order, then the alpha byte.
    const std::vector<uint8_t> data = {0,   0,   255, 1, 0,   255, 0,   2, 255, 0,   0,   3,
                                       255, 255, 255, 4, 128, 128, 128, 5, 10,  20,  30,  6};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(data.data(), 6, 1, 32, 24, false));
    ASSERT_TRUE(image.SelectionCreate());
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetBpp(), 8);
    ExpectGreyPalette(image);
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{76, 149, 29, 255, 128, 21}));
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(std::vector<uint8_t>(image.AlphaGetPointer(), image.AlphaGetPointer() + 6),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(image.SelectionIsValid());
}

TEST(GrayScale, IndexedImagesTakeTheirEntriesGreyLevel) {
    struct Case { uint64_t bpp; std::vector<uint8_t> indexes, levels; };
    const Case cases[] = {
        {8, {3, 7, 200, 3}, {76, 21, 149, 76}},
        {4, {3, 7, 12, 3}, {76, 21, 149, 76}},
        {1, {1, 0, 1, 1}, {76, 21, 76, 76}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        CxImage image(4, 1, c.bpp);
        image.SetPaletteColor(1, 0, 0, 255);     // pure blue
        image.SetPaletteColor(0, 30, 20, 10);    // red 30, green 20, blue 10
        image.SetPaletteColor(3, 255, 0, 0);     // pure red
        image.SetPaletteColor(7, 30, 20, 10);
        image.SetPaletteColor(12, 0, 255, 0);    // pure green
        image.SetPaletteColor(200, 0, 255, 0);
        if (c.bpp == 1) image.SetPaletteColor(1, 255, 0, 0);
        for (int x = 0; x < 4; ++x) image.SetPixelIndex(x, 0, c.indexes[x]);
        image.SetTransIndex(c.indexes[0]);
        image.AlphaCreate();
        image.AlphaSet(2, 0, 33);
        ASSERT_TRUE(image.GrayScale());
        EXPECT_EQ(image.GetBpp(), 8);
        ExpectGreyPalette(image);
        EXPECT_EQ(Pixels(image), c.levels);
        EXPECT_EQ(image.GetTransIndex(), c.levels[0]);
        EXPECT_EQ(image.AlphaGet(2, 0), 33);
    }
}

TEST(GrayScale, FourBitGreyRampGivesSeventeenTimesTheIndex) {
    CxImage image(0);
    const uint8_t packed[4] = {0x01, 0x9F, 0x00, 0x00};
    ASSERT_TRUE(image.CreateFromArray(packed, 4, 1, 4, 4, false));
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{0, 17, 153, 255}));
}

TEST(GrayScale, RandomGreyImagesStayAsTheyWere) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> size(1, 40);
    for (int round = 0; round < 20; ++round) {
        const int w = size(rng), h = size(rng);
        const std::vector<uint8_t> levels = RandomBytes(rng, static_cast<size_t>(w * h));
        CxImage image(0);
        ASSERT_TRUE(MakeGrey(image, w, h, levels));
        ASSERT_TRUE(image.GrayScale());
        ASSERT_EQ(Pixels(image), levels) << w << " x " << h;
        ExpectGreyPalette(image);
    }
}

TEST(Threshold, LevelsSplitBlackFromWhite) {
    const std::vector<uint8_t> levels = {0, 1, 126, 127, 128, 129, 200, 254, 255};
    struct Case { uint8_t level; std::vector<uint8_t> bits; };
    const Case cases[] = {
        {127, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {128, {0, 0, 0, 0, 0, 1, 1, 1, 1}},
        {255, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0, {0, 1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.level));
        CxImage image(0);
        ASSERT_TRUE(MakeGrey(image, levels.size(), 1, levels));
        ASSERT_TRUE(image.Threshold(c.level));
        EXPECT_EQ(image.GetBpp(), 1);
        EXPECT_EQ(Pixels(image), c.bits);
    }
}

TEST(Threshold, TrueColourDropsPlanesAndGetsBlackAndWhite) {
    const uint8_t pixel[4] = {200, 200, 200, 17};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(pixel, 1, 1, 32, 4, false));
    ASSERT_TRUE(image.SelectionCreate());
    image.SetXDPI(203);
    ASSERT_TRUE(image.Threshold(127));
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{1}));
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_FALSE(image.SelectionIsValid());
    EXPECT_EQ(image.GetXDPI(), 96);  // attributes of a fresh image
    const tagRGBQUAD black = image.GetPaletteColor(0), white = image.GetPaletteColor(1);
    EXPECT_TRUE(black.rgbBlue == 0 && black.rgbGreen == 0 && black.rgbRed == 0 && black.rgbReserved == 0);
    EXPECT_TRUE(white.rgbBlue == 255 && white.rgbGreen == 255 && white.rgbRed == 255 &&
                white.rgbReserved == 0);
}

TEST(Threshold, EscapeLeavesRowsUnmapped) {
    CxImage image(0);
    ASSERT_TRUE(MakeGrey(image, 5, 3, std::vector<uint8_t>(15, 255)));
    image.SetEscape(1);
    ASSERT_TRUE(image.Threshold(127));
    EXPECT_EQ(Pixels(image), std::vector<uint8_t>(15, 0));
    EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 255);
}

TEST(BlackAndWhiteImages, ThresholdAndDitherChangeNothing) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> size(1, 60);
    for (int round = 0; round < 20; ++round) {
        const int w = size(rng), h = size(rng);
        const std::vector<uint8_t> data = RandomBytes(rng, static_cast<size_t>(h * ((w + 7) / 8)));
        CxImage image(0);
        ASSERT_TRUE(image.CreateFromArray(data.data(), w, h, 1, (w + 7) / 8, false));
        image.SetPaletteColor(0, 10, 200, 30, 4);
        image.AlphaCreate();
        const std::vector<uint8_t> before = BlockBytes(image);
        ASSERT_TRUE(image.Threshold(static_cast<uint8_t>(rng())));
        ASSERT_TRUE(image.Dither(round % 9));
        ASSERT_EQ(BlockBytes(image), before) << w << " x " << h;
        ASSERT_TRUE(image.AlphaIsValid());
    }
}

TEST(Conversions, EmptyImagesAreRefused) {
    CxImage image(0);
    EXPECT_FALSE(image.GrayScale());
    EXPECT_FALSE(image.Threshold(127));
    EXPECT_FALSE(image.Dither(0));
    EXPECT_FALSE(image.Rotate(90));
}

}  // namespace

// A test that GetEscape asks stops the long operations between rows, as a
// set escape field does: rows past the stop stay as the result was created
// (zero), where without the test every row is converted.
TEST(EscapeTest, StopsLongOperationsBetweenRows) {
    struct Ask {
        int calls = 0;
        static bool StopAfterTwo(void* context) { return ++static_cast<Ask*>(context)->calls > 2; }
    };
    const struct {
        const char* name;
        uint64_t width, height, bpp;
        bool (*run)(CxImage&);
    } cases[] = {
        {"Rotate(90), rows picking columns", 600, 64, 8, [](CxImage& i) { return i.Rotate(90.0f); }},
        {"Rotate(180), rows picking rows", 64, 600, 8, [](CxImage& i) { return i.Rotate(180.0f); }},
        {"GrayScale of true colour", 64, 600, 24, [](CxImage& i) { return i.GrayScale(); }},
        {"Threshold", 64, 600, 8, [](CxImage& i) { return i.Threshold(127); }},
        {"Dither(0)", 64, 600, 8, [](CxImage& i) { return i.Dither(0); }},
    };
    for (const auto& c : cases) {
        for (const bool asked : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (asked ? ", stopped by the test" : ", not stopped"));
            CxImage image(c.width, c.height, c.bpp);
            if (c.bpp == 8) image.SetGrayPalette();
            for (uint64_t y = 0; y < c.height; ++y) memset(image.GetBits(y), 0xFF, image.GetEffWidth());
            Ask ask;
            if (asked) image.SetEscapeTest(Ask::StopAfterTwo, &ask);
            ASSERT_TRUE(c.run(image));
            const uint8_t* last = image.GetBits(static_cast<uint64_t>(image.GetHeight() - 1));
            const bool lastRowUntouched = std::all_of(last, last + image.GetEffWidth(), [](uint8_t b) { return b == 0; });
            EXPECT_EQ(lastRowUntouched, asked);
            EXPECT_EQ(ask.calls > 0, asked);
        }
    }
}
