// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Rotation by 90, 180 and 270 degrees: sizes, margins and every pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "ximage.h"

namespace {

// One value per pixel: the index, or blue | green << 8 | red << 16.
uint32_t RawValue(const CxImage& image, int64_t x, int64_t y) {
    if (image.GetBpp() != 24) return RawIndex(image, x, y);
    const uint8_t* p = image.GetBits(static_cast<uint64_t>(y)) + 3 * x;
    return p[0] | p[1] << 8 | p[2] << 16;
}

uint8_t RawAlpha(const CxImage& image, int64_t x, int64_t y) {
    return image.AlphaGetPointer()[y * image.GetWidth() + x];
}

int FloorLog2(int64_t v) {
    int k = 0;
    while ((v >> (k + 1)) != 0) ++k;
    return k;
}

// The extra row (180) or column (270) that the last corner's rounding adds.
int64_t Extra(int angle, int64_t w, int64_t h) {
    const double factor = angle == 180 ? 0.9065658975290974 : 0.6043772650193983;
    return static_cast<double>(w - 1) > factor * std::ldexp(1.0, FloorLog2(h)) ? 1 : 0;
}

struct Size { int64_t width, height; };

Size TurnedSize(int angle, int64_t w, int64_t h) {
    if (angle == 90) return {h + 2, w + 2};
    if (angle == 180) return {w + 2, h + Extra(180, w, h) + 2};
    return {h + Extra(270, w, h) + 2, w + 3};
}

// Source position sampled by result position (dx, dy); false when outside.
bool SourceOf(int angle, int64_t w, int64_t h, int64_t dx, int64_t dy, int64_t& sx, int64_t& sy) {
    const int64_t none = -1;
    if (angle == 90) {
        sx = dy <= w - 1 ? w - 1 - dy : (dy == w ? 0 : none);
        sy = dx == 0 ? 0 : (dx <= h ? dx - 1 : none);
    } else if (angle == 180) {
        const int64_t l = h + Extra(180, w, h);
        sx = dx <= w - 1 ? w - 1 - dx : (dx == w ? 0 : none);
        sy = dy <= l - 1 ? l - 1 - dy : (dy == l ? 0 : none);
    } else {
        const int64_t k = h + Extra(270, w, h);
        sx = dy == 0 ? none : (dy == 1 ? 0 : (dy <= w + 1 ? dy - 2 : none));
        sy = dx <= k - 1 ? k - 1 - dx : (dx == k ? 0 : none);
    }
    return sx >= 0 && sx < w && sy >= 0 && sy < h;
}

TEST(Rotate, PageSizes) {
    struct Case { int64_t w, h; int angle; Size turned; };
    const Case cases[] = {
        {576, 1000, 90, {1002, 578}},  {576, 1000, 180, {578, 1003}}, {576, 1000, 270, {1003, 579}},
        {576, 1500, 90, {1502, 578}},  {576, 1500, 180, {578, 1502}}, {576, 1500, 270, {1502, 579}},
        {384, 600, 90, {602, 386}},    {384, 600, 180, {386, 602}},   {384, 600, 270, {603, 387}},
        {640, 1100, 90, {1102, 642}},  {640, 1100, 180, {642, 1102}}, {640, 1100, 270, {1103, 643}},
        {1, 1000, 270, {1002, 4}},     {1, 3, 270, {5, 4}},           {1, 1, 90, {3, 3}},
        // Either side of the extra row or column (height 1000: 2^9).
        {465, 1000, 180, {467, 1002}}, {466, 1000, 180, {468, 1003}},
        {310, 1000, 270, {1002, 313}}, {311, 1000, 270, {1003, 314}},
        // Any other angle: -45 degrees gives corners (7, -8), (7, 7), (13, 0).
        {10, 10, 45, {15, 17}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << " at " << c.angle);
        CxImage page(c.w, c.h, 1);
        ASSERT_TRUE(page.Rotate(static_cast<float>(c.angle)));
        EXPECT_EQ(page.GetWidth(), c.turned.width);
        EXPECT_EQ(page.GetHeight(), c.turned.height);
        EXPECT_EQ(page.GetBpp(), 1);
    }
}

TEST(Rotate, WorkedExampleWithAlpha) {
    // Pixels a..f are 1..6; each is stored as (v, 2v, 3v) with alpha 10v.
    std::vector<uint8_t> data;
    for (uint8_t v = 1; v <= 6; ++v) data.insert(data.end(), {v, uint8_t(2 * v), uint8_t(3 * v), uint8_t(10 * v)});
    struct Case { int angle; int64_t width; std::string rows; };
    const Case cases[] = {
        {90, 4, "ccf." "bbe." "aad." "aad." "...."},
        {180, 5, "....." "fedd." "cbaa." "cbaa." "....."},
        {270, 5, "....." ".daa." ".daa." ".ebb." ".fcc." "....."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        CxImage image(0);
        ASSERT_TRUE(image.CreateFromArray(data.data(), 3, 2, 32, 12, false));
        ASSERT_TRUE(image.Rotate(static_cast<float>(c.angle)));
        ASSERT_EQ(image.GetWidth(), c.width);
        ASSERT_EQ(image.GetHeight() * c.width, static_cast<int64_t>(c.rows.size()));
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const int64_t x = static_cast<int64_t>(i) % c.width, y = static_cast<int64_t>(i) / c.width;
            const uint32_t v = c.rows[i] == '.' ? 1 : static_cast<uint32_t>(c.rows[i] - 'a' + 1);
            EXPECT_EQ(RawValue(image, x, y), v | 2 * v << 8 | 3 * v << 16) << x << "," << y;
            EXPECT_EQ(RawAlpha(image, x, y), c.rows[i] == '.' ? 0 : 10 * v) << x << "," << y;
        }
    }
}

TEST(Rotate, OnePixelAtNinety) {
    const uint8_t pixel[4] = {9, 8, 7, 77};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(pixel, 1, 1, 32, 4, false));
    ASSERT_TRUE(image.Rotate(90));
    ASSERT_EQ(image.GetWidth(), 3);
    ASSERT_EQ(image.GetHeight(), 3);
    const uint8_t alpha[9] = {77, 77, 0, 77, 77, 0, 0, 0, 0};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(RawValue(image, i % 3, i / 3), 0x070809u) << i;
        EXPECT_EQ(RawAlpha(image, i % 3, i / 3), alpha[i]) << i;
    }
}

TEST(Rotate, DestinationProgressAndEscape) {
    CxImage source(0);
    ASSERT_TRUE(MakeGrey(source, 3, 2, {1, 2, 3, 4, 5, 6}));
    CxImage turned(0);
    ASSERT_TRUE(source.Rotate(90, &turned));
    EXPECT_EQ(source.GetWidth(), 3);
    EXPECT_EQ(Pixels(source), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Pixels(turned), (std::vector<uint8_t>{3, 3, 6, 1, 2, 2, 5, 1, 1, 1, 4, 1, 1, 1, 4, 1, 1, 1, 1, 1}));
    EXPECT_EQ(source.GetProgress(), 120);  // six rows mapped for a result five high

    source.SetEscape(1);
    ASSERT_TRUE(source.Rotate(90, &turned));
    EXPECT_EQ(source.GetProgress(), 0);
    EXPECT_EQ(turned.GetWidth(), 4);
    EXPECT_EQ(Pixels(turned), std::vector<uint8_t>(20, 0));
}

TEST(Rotate, RandomImagesFollowTheMappingTable) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> size(1, 140);
    const uint64_t depths[] = {1, 4, 8, 24};
    for (int round = 0; round < 48; ++round) {
        const int64_t h = size(rng);
        const uint64_t bpp = depths[round % 4];
        const bool alpha = (round / 4) % 2 == 1;
        const int angle = 90 * (1 + round % 3);
        int64_t w = size(rng);
        if (round % 8 >= 6 && angle != 90) {
            // Land right on the edge of the extra row or column.
            const double factor = angle == 180 ? 0.9065658975290974 : 0.6043772650193983;
            w = static_cast<int64_t>(factor * std::ldexp(1.0, FloorLog2(h))) + 1 + round % 2;
        }
        SCOPED_TRACE(testing::Message() << w << " x " << h << ", " << bpp << " bits, alpha " << alpha
                                        << ", " << angle << " degrees");
        CxImage source(w, h, bpp);
        for (int64_t y = 0; y < h; ++y) {
            const std::vector<uint8_t> row = RandomBytes(rng, source.GetEffWidth());
            std::memcpy(source.GetBits(y), row.data(), row.size());
        }
        const std::vector<uint8_t> palette = RandomBytes(rng, source.GetPaletteSize());
        if (!palette.empty()) std::memcpy(source.GetPalette(), palette.data(), palette.size());
        if (alpha) {
            source.AlphaCreate();
            for (int64_t i = 0; i < w * h; ++i) source.AlphaSet(i % w, i / w, static_cast<uint8_t>(rng()));
        }
        CxImage turned(0);
        ASSERT_TRUE(source.Rotate(static_cast<float>(angle), &turned));
        const Size expected = TurnedSize(angle, w, h);
        ASSERT_EQ(turned.GetWidth(), expected.width);
        ASSERT_EQ(turned.GetHeight(), expected.height);
        ASSERT_EQ(turned.GetBpp(), source.GetBpp());
        ASSERT_EQ(turned.AlphaIsValid(), alpha);
        if (!palette.empty()) {
            ASSERT_EQ(0, std::memcmp(turned.GetPalette(), palette.data(), palette.size()));
        }
        for (int64_t dy = 0; dy < expected.height; ++dy) {
            for (int64_t dx = 0; dx < expected.width; ++dx) {
                int64_t sx = 0, sy = 0;
                const bool inside = SourceOf(angle, w, h, dx, dy, sx, sy);
                const uint32_t want = inside ? RawValue(source, sx, sy) : RawValue(source, 0, 0);
                ASSERT_EQ(RawValue(turned, dx, dy), want) << "at " << dx << "," << dy;
                if (alpha) {
                    ASSERT_EQ(RawAlpha(turned, dx, dy), inside ? RawAlpha(source, sx, sy) : 0)
                        << "alpha at " << dx << "," << dy;
                }
            }
        }
    }
}

}  // namespace
