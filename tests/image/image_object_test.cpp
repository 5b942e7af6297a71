// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Creation, limits, hand-over, resolution and the companion planes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "ximadef.h"
#include "ximage.h"

namespace {

const char kZeroSize[] = "CxImage::Create : width and height must be greater than zero";
const char kLimit[] = "CXIMAGE_MAX_MEMORY exceeded";

TEST(ImageCreate, RowsArePaddedToWholeWords) {
    struct Case { uint64_t bpp, width, effWidth; };
    const Case cases[] = {{1, 576, 72}, {1, 100, 16}, {1, 1, 4},  {8, 5, 8},
                          {24, 3, 12},  {24, 5, 16},  {4, 9, 8},  {32, 5, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bpp << " bits x " << c.width);
        CxImage image(c.width, 3, c.bpp);
        EXPECT_EQ(image.GetEffWidth(), c.effWidth);
        EXPECT_EQ(Field(image.GetHeader().imageSize), 3 * c.effWidth);
    }
}

TEST(ImageCreate, MapsDepthsAndZeroesTheBlock) {
    struct Case { uint64_t bpp; uint16_t bits; uint64_t colors; };
    const Case cases[] = {{0, 1, 2},   {1, 1, 2},  {2, 4, 16}, {4, 4, 16},  {5, 8, 256},
                          {8, 8, 256}, {9, 24, 0}, {24, 24, 0}, {32, 24, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bpp " << c.bpp);
        CxImage image(7, 2, c.bpp);
        ASSERT_TRUE(image.IsValid());
        const tagBITMAPINFOHEADER64& h = image.GetHeader();
        EXPECT_EQ(Field(h.bitCount), c.bits);
        EXPECT_EQ(image.GetNumColors(), c.colors);
        EXPECT_EQ(image.GetPaletteSize(), 4 * c.colors);
        EXPECT_EQ(image.GetPalette() == nullptr, c.colors == 0);
        EXPECT_EQ(Field(h.headerSize), 76u);
        EXPECT_EQ(Field(h.planes), 1u);
        EXPECT_EQ(Field(h.xPelsPerMeter), 3780);
        // The block opens with the header copy, then palette and rows, all zero.
        const uint8_t* block = image.GetBits(0) - image.GetPaletteSize() - 76;
        EXPECT_EQ(std::memcmp(block, &h, 76), 0);
        for (uint8_t b : BlockBytes(image)) ASSERT_EQ(b, 0);
    }
}

TEST(ImageCreate, MemoryLimitBoundaries) {
    struct Case { uint64_t bits, width, height; bool exceeds; };
    const Case cases[] = {
        {1, 65536000256ull, 1, true},  {1, 65536000255ull, 1, false},
        {4, 16384000064ull, 1, true},  {4, 16384000063ull, 1, false},
        {8, 8192000032ull, 1, true},   {8, 8192000031ull, 1, false},
        {24, 2730666678ull, 1, true},  {24, 2730666677ull, 1, false},
        {1, 256000, 256001, true},     {1, 256000, 256000, false},
        // Products that wrap 64 bits would otherwise look small.
        {1, 1ull << 32, 1ull << 32, true}, {8, 1ull << 61, 1, true}, {24, 1ull << 60, 16, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.width << " x " << c.height);
        EXPECT_EQ(cximage_detail::ExceedsMemoryLimit(c.bits, c.width, c.height), c.exceeds);
    }
}

TEST(ImageCreate, RefusedSizesLeaveTheHeaderAlone) {
    struct Case { uint64_t width, height, bpp; };
    const Case cases[] = {{65536000256ull, 1, 1}, {1, 65536000256ull, 1}, {16384000064ull, 1, 3},
                          {8192000032ull, 1, 8},  {2730666678ull, 1, 32}, {1ull << 32, 1ull << 32, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " at " << c.bpp);
        CxImage image(5, 4, 8);
        const tagBITMAPINFOHEADER64 before = image.GetHeader();
        EXPECT_EQ(image.Create(c.width, c.height, c.bpp, 0), nullptr);
        EXPECT_STREQ(image.GetLastError(), kLimit);
        EXPECT_EQ(std::memcmp(&before, &image.GetHeader(), sizeof(before)), 0);
        EXPECT_FALSE(image.IsValid());
    }
}

// Sizes within the memory limit that a 32-bit system cannot address: the
// block is refused as an allocation that fails, and a companion plane of
// 4 GiB or more is not made (cut to 32 bits, its size would leave the
// plane smaller than the pixels that index it).
TEST(ImageCreate, SizesPast32BitsAreRefusedOnA32BitSystem) {
    if (sizeof(size_t) > 4) GTEST_SKIP() << "a 64-bit system addresses these sizes";
    // 24 bits, 40000 x 40000: 4.8 GB.
    ASSERT_FALSE(cximage_detail::ExceedsMemoryLimit(24, 40000, 40000));
    CxImage big(0);
    EXPECT_EQ(big.Create(40000, 40000, 24, 0), nullptr);
    EXPECT_STREQ(big.GetLastError(), "CxImage::Create can't allocate memory");
    EXPECT_FALSE(big.IsValid());

    // 1 bit, 70000 x 70000: a block of 612 MB, but 4.9 G pixels of one
    // byte each in the alpha plane and the selection.
    CxImage wide(70000, 70000, 1);
    ASSERT_TRUE(wide.IsValid());
    wide.AlphaCreate();
    EXPECT_FALSE(wide.AlphaIsValid());
    EXPECT_FALSE(wide.SelectionCreate());
    EXPECT_FALSE(wide.SelectionIsValid());
    wide.AlphaSet(69999, 69999, 7);
    EXPECT_EQ(wide.AlphaGet(69999, 69999), 0);
}

TEST(ImageCreate, ZeroSizeIsRefusedAndTextsOverwriteOnlyTheirLength) {
    CxImage image(0);
    EXPECT_EQ(image.Create(0, 10, 8, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), kZeroSize);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.Create(10, 0, 8, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), kZeroSize);
    // The shorter text leaves the tail of the longer one behind its zero.
    EXPECT_EQ(image.Create(1ull << 40, 1ull << 40, 8, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), kLimit);
    EXPECT_STREQ(image.GetLastError() + sizeof(kLimit), kZeroSize + sizeof(kLimit));
}

TEST(ImageObject, StartupDestroyAndRows) {
    CxImage empty(7);
    EXPECT_EQ(empty.GetType(), 7u);
    EXPECT_EQ(empty.GetWidth(), 0);
    EXPECT_EQ(empty.GetTransIndex(), -1);
    EXPECT_EQ(empty.GetXDPI(), 96);
    EXPECT_EQ(empty.GetBits(0), nullptr);

    CxImage image(10, 4, 8);
    EXPECT_EQ(image.GetBits(0), image.GetInfo().pixelData);
    EXPECT_EQ(image.GetBits(3), image.GetBits(0) + 3 * image.GetEffWidth());
    EXPECT_EQ(image.GetBits(4), nullptr);
    image.AlphaCreate();
    ASSERT_TRUE(image.SelectionCreate());
    EXPECT_TRUE(image.Destroy());
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_FALSE(image.SelectionIsValid());
    EXPECT_EQ(image.GetBits(0), nullptr);
    EXPECT_EQ(image.GetWidth(), 10);
    EXPECT_EQ(image.GetHeight(), 4);
    EXPECT_EQ(image.GetBpp(), 8);
}

TEST(ImageObject, TransferMovesBuffersAndEmptiesTheSource) {
    CxImage source(6, 3, 4, 5);
    source.AlphaCreate();
    ASSERT_TRUE(source.SelectionCreate());
    const uint8_t* rows = source.GetBits(0);
    const uint8_t* alpha = source.AlphaGetPointer();
    const uint8_t* mask = source.SelectionGetPointer();
    CxImage target(2, 2, 24);
    EXPECT_TRUE(target.Transfer(source));
    EXPECT_EQ(target.GetBits(0), rows);
    EXPECT_EQ(target.AlphaGetPointer(), alpha);
    EXPECT_EQ(target.SelectionGetPointer(), mask);
    EXPECT_EQ(target.GetWidth(), 6);
    EXPECT_EQ(target.GetBpp(), 4);
    EXPECT_EQ(target.GetType(), 5u);
    EXPECT_FALSE(source.IsValid());
    EXPECT_FALSE(source.AlphaIsValid());
    EXPECT_FALSE(source.SelectionIsValid());
    EXPECT_EQ(source.GetWidth(), 0);
    EXPECT_EQ(source.GetHeight(), 0);
    EXPECT_EQ(source.GetTransIndex(), 0);
}

TEST(ImageObject, ResolutionSetters) {
    struct Case { int64_t dpi, stored, perMetre; };
    const Case cases[] = {{72, 72, 2835}, {96, 96, 3780}, {203, 203, 7992},
                          {300, 300, 11811}, {0, 96, 3780}, {-5, 96, 3780}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        CxImage image(2, 2, 1);
        image.SetXDPI(c.dpi);
        image.SetYDPI(c.dpi);
        EXPECT_EQ(image.GetXDPI(), c.stored);
        EXPECT_EQ(image.GetYDPI(), c.stored);
        EXPECT_EQ(Field(image.GetHeader().xPelsPerMeter), c.perMetre);
        EXPECT_EQ(Field(image.GetHeader().yPelsPerMeter), c.perMetre);
        // The copy inside the block keeps its value until the next Create.
        tagBITMAPINFOHEADER64 copy;
        std::memcpy(&copy, image.GetBits(0) - image.GetPaletteSize() - 76, sizeof(copy));
        EXPECT_EQ(Field(copy.xPelsPerMeter), 3780);
    }
}

TEST(ImageFromArray, RowStridesAndFlip) {
    const std::vector<uint8_t> wide = {1, 2, 3, 9, 7, 7, 4, 5, 6, 8, 7, 7};
    CxImage image(0);
    ASSERT_TRUE(image.CreateFromArray(wide.data(), 3, 2, 8, 6, false));
    EXPECT_EQ(std::vector<uint8_t>(image.GetBits(0), image.GetBits(0) + 4),
              (std::vector<uint8_t>{1, 2, 3, 9}));
    EXPECT_EQ(std::vector<uint8_t>(image.GetBits(1), image.GetBits(1) + 4),
              (std::vector<uint8_t>{4, 5, 6, 8}));
    ASSERT_TRUE(image.CreateFromArray(wide.data(), 3, 2, 8, 6, true));
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{4, 5, 6, 1, 2, 3}));

    // A short stride fills only the bytes it holds; the rest stays zero.
    const std::vector<uint8_t> narrow = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(image.CreateFromArray(narrow.data(), 2, 2, 24, 3, false));
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0}));

    // Refused depths and a null array leave the image as it was.
    EXPECT_FALSE(image.CreateFromArray(narrow.data(), 2, 2, 16, 4, false));
    EXPECT_FALSE(image.CreateFromArray(nullptr, 2, 2, 8, 4, false));
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0}));
}

TEST(ImageFromArray, IndexedDepthsGetTheGreyPalette) {
    struct Case { uint64_t bpp; uint64_t colors; uint8_t step; };
    const Case cases[] = {{1, 2, 255}, {4, 16, 17}, {8, 256, 1}};
    const uint8_t data[4] = {0x5A, 0x5A, 0x5A, 0x5A};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        CxImage image(0);
        ASSERT_TRUE(image.CreateFromArray(data, 1, 1, c.bpp, 4, false));
        ASSERT_EQ(image.GetNumColors(), c.colors);
        for (uint64_t i = 0; i < c.colors; ++i) {
            const tagRGBQUAD e = image.GetPalette()[i];
            const uint8_t level = static_cast<uint8_t>(i * c.step);
            EXPECT_EQ(e.rgbBlue, level);
            EXPECT_EQ(e.rgbGreen, level);
            EXPECT_EQ(e.rgbRed, level);
            EXPECT_EQ(e.rgbReserved, 0);
        }
    }
}

TEST(ImageFromArray, ThirtyTwoBitsKeepAlphaWithItsPixel) {
    // Two rows of two pixels, B G R A.
    const std::vector<uint8_t> data = {1, 2, 3, 10, 4, 5, 6, 20, 7, 8, 9, 30, 11, 12, 13, 40};
    struct Case { bool flip; uint64_t stride; std::vector<uint8_t> pixels, alpha; };
    const Case cases[] = {
        {false, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13}, {10, 20, 30, 40}},
        {true, 8, {7, 8, 9, 11, 12, 13, 1, 2, 3, 4, 5, 6}, {30, 40, 10, 20}},
        // A stride of one pixel copies that pixel only (height 2 x 4 bytes read).
        {false, 4, {1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0}, {10, 255, 20, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flip " << c.flip << " stride " << c.stride);
        CxImage image(0);
        ASSERT_TRUE(image.CreateFromArray(data.data(), 2, 2, 32, c.stride, c.flip));
        EXPECT_EQ(image.GetBpp(), 24);
        EXPECT_EQ(Pixels(image), c.pixels);
        ASSERT_TRUE(image.AlphaIsValid());
        EXPECT_EQ(std::vector<uint8_t>(image.AlphaGetPointer(), image.AlphaGetPointer() + 4), c.alpha);
    }
}

TEST(ImagePlanes, AlphaAndSelection) {
    CxImage image(3, 2, 8);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);  // no plane yet
    image.AlphaCreate();
    EXPECT_EQ(image.AlphaGet(2, 1), 255);
    image.AlphaSet(1, 1, 9);
    image.AlphaSet(3, 0, 1);
    image.AlphaSet(-1, 0, 1);
    const uint8_t* plane = image.AlphaGetPointer();
    EXPECT_EQ(std::vector<uint8_t>(plane, plane + 6), (std::vector<uint8_t>{255, 255, 255, 255, 9, 255}));
    EXPECT_EQ(image.AlphaGet(0, 2), 0);
    CxImage other(2, 3, 8);
    EXPECT_FALSE(other.AlphaCopy(image));
    EXPECT_FALSE(other.AlphaIsValid());
    CxImage same(3, 2, 1);
    EXPECT_TRUE(same.AlphaCopy(image));
    EXPECT_EQ(same.AlphaGet(1, 1), 9);
    image.AlphaClear();
    EXPECT_EQ(image.AlphaGet(2, 1), 0);

    EXPECT_FALSE(same.SelectionCopy(image));  // no mask to copy
    ASSERT_TRUE(image.SelectionCreate());
    EXPECT_FALSE(other.SelectionCopy(image));
    EXPECT_TRUE(same.SelectionCopy(image));
    EXPECT_TRUE(same.SelectionDelete());
    EXPECT_FALSE(same.SelectionIsValid());
    const tagRECT box = same.GetInfo().selectionBox;
    EXPECT_EQ(box.left, 3);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 0);
    EXPECT_EQ(box.bottom, 2);
}

}  // namespace
