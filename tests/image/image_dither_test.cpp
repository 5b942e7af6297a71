// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Error diffusion and ordered dithering to black and white.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image_test_util.h"
#include "ximage.h"

namespace {

struct DitherCase {
    const char* name;
    int64_t method;
    int width, height;
    std::vector<uint8_t> levels, bits;
};

std::vector<uint8_t> Flat(int count, uint8_t level) { return std::vector<uint8_t>(count, level); }

TEST(Dither, WorkedExamples) {
    const DitherCase cases[] = {
        {"4x1 of 128", 0, 4, 1, Flat(4, 128), {0, 1, 0, 1}},
        {"4x2 of 128", 0, 4, 2, Flat(8, 128), {0, 1, 0, 1, 1, 0, 1, 0}},
        {"3x2 of 200 over 100", 0, 3, 2, {200, 200, 200, 100, 100, 100}, {1, 1, 1, 0, 0, 0}},
        {"128 black, 129 white", 0, 2, 1, {128, 129}, {0, 1}},
        {"all white", 0, 3, 3, Flat(9, 255), Flat(9, 1)},
        {"all black", 0, 3, 3, Flat(9, 0), Flat(9, 0)},
        {"254 passes no error", 0, 2, 1, {254, 128}, {1, 0}},
        // 250 + 56 clamps to 255 and then passes no error on.
        {"clamp above", 0, 3, 1, {128, 250, 120}, {0, 1, 0}},
        // 10 - 31 clamps to 0 and then passes no error on.
        {"clamp below", 0, 3, 1, {184, 10, 135}, {1, 0, 1}},
        // One column: only the share straight below (5/16) lands.
        {"column, 85 stays dark", 0, 1, 2, {128, 85}, {0, 0}},
        {"column, 90 turns white", 0, 1, 2, {128, 90}, {0, 1}},
        // One row: only the share to the right (7/16) lands.
        {"row, 72 stays dark", 0, 2, 1, {128, 72}, {0, 0}},
        {"row, 73 turns white", 0, 2, 1, {128, 73}, {0, 1}},
        {"Floyd-Steinberg row of 100", 0, 3, 1, Flat(3, 100), {0, 1, 0}},
        {"Burkes row", 2, 3, 1, Flat(3, 100), {0, 0, 1}},
        {"Burkes column", 2, 1, 3, Flat(3, 100), {0, 0, 1}},
        {"Stucki row", 3, 3, 1, Flat(3, 100), {0, 0, 1}},
        {"Stucki column", 3, 1, 3, Flat(3, 100), {0, 0, 1}},
        {"Jarvis row", 4, 3, 1, Flat(3, 100), {0, 0, 0}},
        {"Sierra column", 5, 1, 3, Flat(3, 100), {0, 0, 0}},
        {"Stevenson-Arce row", 6, 3, 1, Flat(3, 128), {0, 0, 1}},
        {"Stevenson-Arce column", 6, 1, 3, Flat(3, 128), {0, 0, 1}},
        {"Bayer white", 1, 4, 4, Flat(16, 255), Flat(16, 1)},
        {"Bayer 128", 1, 4, 4, Flat(16, 128), {1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1}},
        {"Bayer 64", 1, 4, 4, Flat(16, 64), {1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}},
        {"matrix 128", 7, 4, 4, Flat(16, 128), {1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1}},
        {"matrix 100", 7, 4, 4, Flat(16, 100), {1, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {"matrix black", 7, 4, 4, Flat(16, 0), Flat(16, 0)},
    };
    for (const DitherCase& c : cases) {
        SCOPED_TRACE(c.name);
        CxImage image(0);
        ASSERT_TRUE(MakeGrey(image, c.width, c.height, c.levels));
        ASSERT_TRUE(image.Dither(c.method));
        EXPECT_EQ(image.GetBpp(), 1);
        EXPECT_EQ(image.GetWidth(), c.width);
        EXPECT_EQ(Pixels(image), c.bits);
        const tagRGBQUAD black = image.GetPaletteColor(0), white = image.GetPaletteColor(1);
        EXPECT_TRUE(black.rgbBlue == 0 && black.rgbRed == 0 && black.rgbReserved == 0);
        EXPECT_TRUE(white.rgbBlue == 255 && white.rgbRed == 255 && white.rgbReserved == 0);
    }
}

TEST(Dither, UnknownMethodsAreFloydSteinberg) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    const std::vector<uint8_t> levels = RandomBytes(rng, 37 * 23);
    std::vector<std::vector<uint8_t>> results;
    for (int64_t method : {0, 8, -1, 1000}) {
        CxImage image(0);
        ASSERT_TRUE(MakeGrey(image, 37, 23, levels));
        ASSERT_TRUE(image.Dither(method));
        results.push_back(Pixels(image));
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[2], results[0]);
    EXPECT_EQ(results[3], results[0]);
}

TEST(Dither, TrueColourKeepsAlphaAndDecidesOnGrey) {
    // Blue 255 alone is grey 29: black; 200 grey: white.
    const std::vector<uint8_t> data = {255, 0, 0, 5, 200, 200, 200, 6};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(data.data(), 2, 1, 32, 8, false));
    ASSERT_TRUE(image.Dither(0));
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{0, 1}));
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(0, 0), 5);
    EXPECT_EQ(image.AlphaGet(1, 0), 6);
}

TEST(Dither, EscapeLeavesRowsUnmapped) {
    CxImage image(0);
    ASSERT_TRUE(MakeGrey(image, 4, 3, Flat(12, 255)));
    image.SetEscape(1);
    ASSERT_TRUE(image.Dither(0));
    EXPECT_EQ(Pixels(image), Flat(12, 0));
    EXPECT_EQ(image.GetEscape(), 1);
}

}  // namespace
