// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-rasterwrite's engine: depth conversion, pages, streams, and the
// printer-output walker that the demo counts bands with.
#include <gtest/gtest.h>

#include "page_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

zelp::Picture GreyRow(const Bytes& levels) {
    zelp::Picture p = zelp::MakePicture(int(levels.size()), 1, 1, 0);
    p.pixels = levels;
    return p;
}

Bytes Convert(const zelp::Picture& p, uint32_t bpp) {
    Bytes out(zelp::NaturalBytesPerLine(uint32_t(p.width), bpp), 0xAA);
    zelp::ConvertRow(p, 0, bpp, out.data());
    return out;
}

TEST(PageBuilder, ConvertsGreyRowsToEveryDepth) {
    const zelp::Picture row = GreyRow({0, 127, 128, 255, 16, 17, 240, 100, 200, 50});
    struct Case {
        uint32_t bpp;
        Bytes expected;
    } cases[] = {
        // Dark (below 128) pixels 0, 1, 4, 5, 7, 9 are set bits; unused bits stay 0.
        {1, {0xCD, 0x40}},
        {4, {0x07, 0x8F, 0x11, 0xF6, 0xC3}},
        {8, {0, 127, 128, 255, 16, 17, 240, 100, 200, 50}},
        {16, {0, 0, 127, 127, 128, 128, 255, 255, 16, 16, 17, 17, 240, 240, 100, 100, 200, 200,
              50, 50}},
        {24, {0, 0, 0, 127, 127, 127, 128, 128, 128, 255, 255, 255, 16, 16, 16, 17, 17, 17,
              240, 240, 240, 100, 100, 100, 200, 200, 200, 50, 50, 50}},
    };
    for (const Case& c : cases) EXPECT_EQ(Convert(row, c.bpp), c.expected) << c.bpp << " bpp";
    const Bytes odd = Convert(GreyRow({0, 255, 0}), 4);  // last nibble unused
    EXPECT_EQ(odd, (Bytes{0x0F, 0x00}));
}

TEST(PageBuilder, ColourPicturesKeepTheirChannelOrder) {
    zelp::Picture p = zelp::MakePicture(2, 1, 3, 0);
    p.pixels = {10, 20, 30, 250, 240, 230};
    EXPECT_EQ(Convert(p, 24), (Bytes{10, 20, 30, 250, 240, 230}));
    EXPECT_EQ(Convert(p, 32), (Bytes{10, 20, 30, 255, 250, 240, 230, 255}));
    // Lower depths take the luma: 0.299 R + 0.587 G + 0.114 B.
    EXPECT_EQ(Convert(p, 8), (Bytes{18, 242}));
    EXPECT_EQ(Convert(p, 1), (Bytes{0x80}));
}

TEST(PageBuilder, HeadersMatchTheDepth) {
    const zelp::Picture p = GreyRow({0, 50, 100, 150, 200});
    struct Case {
        uint32_t bpp, bitsPerColor;
        cups_cspace_t space;
    } cases[] = {{1, 1, CUPS_CSPACE_K},  {4, 4, CUPS_CSPACE_W},     {8, 8, CUPS_CSPACE_W},
                 {16, 16, CUPS_CSPACE_W}, {24, 8, CUPS_CSPACE_RGB}, {32, 8, CUPS_CSPACE_RGBA}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bpp);
        zelp::PageOptions options;
        options.bitsPerPixel = c.bpp;
        options.copies = 3;
        zelp::RasterPage page;
        std::string error;
        ASSERT_TRUE(zelp::BuildPage(p, options, &page, &error)) << error;
        EXPECT_EQ(page.header.cupsBitsPerPixel, c.bpp);
        EXPECT_EQ(page.header.cupsBitsPerColor, c.bitsPerColor);
        EXPECT_EQ(page.header.cupsColorSpace, c.space);
        EXPECT_EQ(page.header.cupsBytesPerLine, (5 * c.bpp + 7) / 8);
        EXPECT_EQ(page.header.NumCopies, 3u);
        EXPECT_EQ(page.data, Convert(p, c.bpp));
    }
    zelp::PageOptions bad;
    bad.bitsPerPixel = 2;
    zelp::RasterPage page;
    std::string error;
    EXPECT_FALSE(zelp::BuildPage(p, bad, &page, &error));
}

TEST(PageBuilder, BytesPerLineCutsOrPadsEachRow) {
    zelp::Picture p = zelp::MakePicture(4, 2, 1, 0);
    p.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Case {
        int64_t bytesPerLine;
        Bytes data;
    } cases[] = {{2, {1, 2, 5, 6}}, {6, {1, 2, 3, 4, 0, 0, 5, 6, 7, 8, 0, 0}}, {0, {}}};
    for (const Case& c : cases) {
        zelp::PageOptions options;
        options.bytesPerLine = c.bytesPerLine;
        zelp::RasterPage page;
        std::string error;
        ASSERT_TRUE(zelp::BuildPage(p, options, &page, &error)) << error;
        EXPECT_EQ(page.header.cupsBytesPerLine, unsigned(c.bytesPerLine));
        EXPECT_EQ(page.data, c.data) << c.bytesPerLine;
    }
}

TEST(PageBuilder, StreamsRepeatTruncateAndEnd) {
    zelp::RasterPage page = zelp::MakeFilledPage(8, 3, 8, 0x33);
    page.data[5] = 0x44;
    struct Case {
        const char* name;
        zelp::StreamOptions options;
        size_t pagesRead;
        size_t lastPageBytes;
        size_t streamBytes;
    } cases[] = {
        {"one page", {1, 0, false}, 1, 24, 4 + 1796 + 24},
        {"three pages", {3, 0, false}, 3, 24, 4 + 3 * 1796 + 72},
        {"cut inside the last line", {2, 3, false}, 2, 16, 4 + 2 * 1796 + 45},
        {"cut all pixels", {2, 24, false}, 2, 0, 4 + 2 * 1796 + 24},
        {"zero-height header after", {2, 0, true}, 2, 24, 4 + 3 * 1796 + 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string stream, error;
        ASSERT_TRUE(zelp::BuildStream(page, c.options, &stream, &error)) << error;
        EXPECT_EQ(stream.size(), c.streamBytes);
        std::vector<zelp::RasterPage> back;
        ASSERT_TRUE(zelp::DecodeRasterStream(stream, &back));
        ASSERT_EQ(back.size(), c.pagesRead);
        EXPECT_EQ(back.front().data, page.data);
        EXPECT_EQ(back.back().data, Bytes(page.data.begin(), page.data.begin() + c.lastPageBytes));
    }
    std::string stream, error;
    EXPECT_FALSE(zelp::BuildStream(page, {1, 25, false}, &stream, &error));
    EXPECT_FALSE(zelp::BuildStream(page, {1, 1, true}, &stream, &error));
    EXPECT_FALSE(zelp::BuildStream(page, {0, 0, false}, &stream, &error));
}

}  // namespace
