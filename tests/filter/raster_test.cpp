// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Page rendering and raster output: bands, copies, trailing blank rows,
// every page depth with threshold and error diffusion, rotation, and the
// pages that are not sent.
#include <algorithm>
#include <climits>
#include <random>

#include "filter_harness.h"

namespace zelp::test {
namespace {

using RasterTest = FilterTest;

const std::string kInit("\x1B\x40", 2);

DotBitmap BitmapOfOneBitPage(const RasterPage& page) {
    DotBitmap bitmap = DotBitmap::Blank(static_cast<int32_t>(page.header.cupsWidth),
                                        static_cast<int32_t>(page.header.cupsHeight));
    const uint32_t bpl = page.header.cupsBytesPerLine;
    for (uint32_t y = 0; y < page.header.cupsHeight; ++y) {
        for (uint32_t x = 0; x < page.header.cupsWidth; ++x) {
            if (page.data[y * bpl + x / 8] & (0x80 >> (x % 8))) bitmap.SetDot(static_cast<int32_t>(x), static_cast<int32_t>(y));
        }
    }
    return bitmap;
}

RasterPage RandomOneBitPage(uint32_t width, uint32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    RasterPage page = MakeFilledPage(width, height, 1, 0);
    for (uint8_t& byte : page.data) byte = static_cast<uint8_t>(random() | 0x01);  // no blank row
    return page;
}

TEST_F(RasterTest, PagesGoOutInBlocksOfAtMost24Rows) {
    const std::string ppd = WritePpd({{"BlankSpace", "0"}});
    const struct {
        uint32_t rows;
        std::vector<int> blocks;
    } cases[] = {
        {24, {24}}, {48, {24, 24}}, {50, {24, 24, 2}}, {1, {1}}, {23, {23}}, {25, {24, 1}}, {73, {24, 24, 24, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows");
        const RasterPage page = RandomOneBitPage(576, c.rows, c.rows);
        const ProcessResult result = Run(ppd, {page});
        ExpectPagesPrinted(result, 1);
        ASSERT_EQ(Hex(result.out.substr(0, 2)), "1B 40");
        std::vector<Band> bands;
        EXPECT_EQ(ParseBands(result.out, 2, &bands), result.out.size());
        std::vector<int> blocks;
        std::string rows;
        for (const Band& band : bands) {
            EXPECT_EQ(band.lDelta, 72);
            blocks.push_back(band.rows);
            rows += band.data;
        }
        EXPECT_EQ(blocks, c.blocks);
        EXPECT_TRUE(rows == std::string(page.data.begin(), page.data.end())) << "row bytes differ from the raster";
    }
}

TEST_F(RasterTest, BlockWidthFieldCountsRowBytes) {
    const std::string ppd = WritePpd({{"BlankSpace", "0"}});
    const struct {
        uint32_t width;
        std::string header;
    } cases[] = {
        {576, "1D 76 30 00 48 00 03 00"},
        {2048, "1D 76 30 00 00 01 03 00"},
        {2017, "1D 76 30 00 00 01 03 00"},
        {2016, "1D 76 30 00 FC 00 03 00"},
        {33, "1D 76 30 00 08 00 03 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " dots");
        const ProcessResult result = Run(ppd, {MakeFilledPage(c.width, 3, 1, 0xFF)});
        ExpectPagesPrinted(result, 1);
        EXPECT_EQ(Hex(result.out.substr(2, 8)), c.header);
    }
}

TEST_F(RasterTest, EveryCopyRepeatsTheBlocks) {
    const std::string ppd = WritePpd({{"BlankSpace", "0"}, {"Logo", "1"}, {"Logo_A", "2"}});
    for (uint32_t copies : {0u, 1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << copies << " copies");
        RasterPage page = RandomOneBitPage(64, 30, 7);
        page.header.NumCopies = copies;
        const ProcessResult result = Run(ppd, {page});
        ExpectedBytes expected;
        expected.AddRaw(kInit).Add({0x1C, 0x70, 0x01, 0x00});
        for (uint32_t copy = 0; copy < copies; ++copy) expected.AddBands(BitmapOfOneBitPage(page));
        expected.Add({0x1C, 0x70, 0x02, 0x00});
        EXPECT_EQ(DescribeDifference(expected.Bytes(), result.out), "");
        EXPECT_EQ(result.err, "PAGE: 1 " + std::to_string(copies) + "\nINFO: Ready to print.\n");
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

// With BlankSpace on, only the run of blank rows that ends the page is left
// out, for every copy; with LeadingBlank on, the run that starts it as well.
// A page without a dot prints as it would without LeadingBlank.
TEST_F(RasterTest, BlankRowsAtTheEnds) {
    auto rowsWithDots = [](std::function<bool(uint32_t)> dotted) {
        return OneBitPage(64, 50, [dotted](uint32_t x, uint32_t y) { return dotted(y) && (x + y) % 5 == 0; });
    };
    const RasterPage tailBlank = rowsWithDots([](uint32_t y) { return y < 30; });
    const RasterPage allBlank = rowsWithDots([](uint32_t) { return false; });
    const RasterPage gaps = rowsWithDots([](uint32_t y) { return y >= 5 && (y < 10 || y >= 20); });
    const RasterPage lastRowDot = OneBitPage(64, 50, [](uint32_t x, uint32_t y) { return y == 49 && x == 63; });
    const RasterPage middle = rowsWithDots([](uint32_t y) { return y >= 7 && y < 40; });
    using Opt = std::optional<std::string>;  // none: the option is absent (-1)
    const struct {
        const char* name;
        RasterPage page;
        Opt blankSpace;
        Opt leadingBlank;
        uint32_t copies;
        int firstRow;             // first bitmap row sent
        std::vector<int> blocks;  // of each copy
    } cases[] = {
        {"rows 30-49 blank", tailBlank, "1", Opt(), 1, 0, {24, 6}},
        {"rows 30-49 blank, two copies", tailBlank, "1", Opt(), 2, 0, {24, 6}},
        {"rows 30-49 blank, BlankSpace absent", tailBlank, Opt(), Opt(), 1, 0, {24, 6}},
        {"rows 30-49 blank, BlankSpace 0", tailBlank, "0", Opt(), 1, 0, {24, 24, 2}},
        {"all rows blank", allBlank, "1", Opt(), 2, 0, {}},
        {"all rows blank, BlankSpace 0", allBlank, "0", Opt(), 1, 0, {24, 24, 2}},
        {"blank rows at the top and in the middle", gaps, "1", Opt(), 1, 0, {24, 24, 2}},
        {"one dot in the last row", lastRowDot, "1", Opt(), 1, 0, {24, 24, 2}},
        {"rows 7-39 dotted, LeadingBlank 0", middle, "1", "0", 1, 0, {24, 16}},
        {"rows 7-39 dotted, LeadingBlank 1", middle, "1", "1", 2, 7, {24, 9}},
        {"rows 7-39 dotted, LeadingBlank 1, BlankSpace 0", middle, "0", "1", 1, 7, {24, 19}},
        {"top gap and middle gap, LeadingBlank 1", gaps, "1", "1", 1, 5, {24, 21}},
        {"one dot in the last row, LeadingBlank 1", lastRowDot, "1", "1", 1, 49, {1}},
        {"all rows blank, LeadingBlank 1", allBlank, "1", "1", 1, 0, {}},
        {"all rows blank, LeadingBlank 1, BlankSpace 0", allBlank, "0", "1", 1, 0, {24, 24, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OptionDefaults options;
        if (c.blankSpace) options.emplace_back("BlankSpace", *c.blankSpace);
        if (c.leadingBlank) options.emplace_back("LeadingBlank", *c.leadingBlank);
        RasterPage page = c.page;
        page.header.NumCopies = c.copies;
        const ProcessResult result = Run(WritePpd(options), {page});
        const DotBitmap bitmap = BitmapOfOneBitPage(page);
        int rows = 0;
        for (int block : c.blocks) rows += block;
        const int32_t width = static_cast<int32_t>(bitmap.lDelta * 8);
        DotBitmap sent = DotBitmap::Blank(width, rows);
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < width; ++x) {
                if (bitmap.Dot(x, y + c.firstRow)) sent.SetDot(x, y);
            }
        }
        ExpectedBytes expected;
        expected.AddRaw(kInit);
        for (uint32_t copy = 0; copy < c.copies; ++copy) expected.AddBands(sent);
        EXPECT_EQ(DescribeDifference(expected.Bytes(), result.out), "");
        std::vector<Band> bands;
        ParseBands(result.out, 2, &bands);
        std::vector<int> blocks;
        for (size_t i = 0; i < bands.size() / c.copies; ++i) blocks.push_back(bands[i].rows);
        EXPECT_EQ(blocks, c.blocks);
    }
}

// What each depth prints, as a picture of dots. Converted pages print dark
// as dots; 1-bit pages print their set bits.
struct DepthCase {
    const char* name;
    RasterPage page;
    int algorithm;  // ImageAlgorithm: 1 threshold, 0 error diffusion
    std::vector<std::string> dots;
};

RasterPage WithBitsPerColor(RasterPage page, uint32_t bitsPerColor) {
    page.header.cupsBitsPerColor = bitsPerColor;
    return page;
}

std::vector<DepthCase> DepthCases() {
    const std::vector<uint8_t> greys = {127, 128, 0, 255, 126, 129, 64, 200, 127, 128};
    const RasterPage grey10 = GreyPage(10, 2, [&](uint32_t x, uint32_t) { return greys[x]; });
    const std::vector<std::string> grey10Dots = {"# # # # # ", "# # # # # "};
    // Pixel bytes in stream order: the first byte weighs as blue.
    const std::vector<PixelBytes> colours = {
        {255, 0, 0, 0}, {0, 0, 255, 255}, {0, 255, 0, 7}, {128, 128, 128, 0}, {127, 127, 127, 128}, {10, 20, 30, 9}};
    auto colourPage = [&](uint32_t bpp) {
        return ColourPage(6, 1, bpp, [&](uint32_t x, uint32_t) { return colours[x]; });
    };
    const std::vector<std::string> colourDots = {"##  ##"};
    const RasterPage checker4 = GreyPage(4, 2, [](uint32_t, uint32_t) { return 128; });
    const RasterPage levels4 = FourBitPage(8, 2, [](uint32_t x, uint32_t y) {
        static const uint8_t kRow0[] = {0, 15, 7, 8, 0, 15, 1, 14};
        return y == 0 ? kRow0[x] : 0;
    });
    return {
        {"1 bit, 576 wide", RandomOneBitPage(576, 3, 99), 0, {}},
        {"1 bit, 500 wide", MakeFilledPage(500, 2, 1, 0xFF), 0, {std::string(500, '#'), std::string(500, '#')}},
        {"1 bit, 500 wide, threshold", MakeFilledPage(500, 2, 1, 0xFF), 1, {std::string(500, '#'), std::string(500, '#')}},
        {"8 bit threshold, 10 wide", grey10, 1, grey10Dots},
        {"8 bit diffusion, white", MakeFilledPage(16, 3, 8, 0xFF), 0, {"", "", ""}},
        {"8 bit diffusion, black", MakeFilledPage(13, 3, 8, 0x00), 0, {std::string(13, '#'), std::string(13, '#'), std::string(13, '#')}},
        {"8 bit diffusion, 4x1 grey 128", GreyPage(4, 1, [](uint32_t, uint32_t) { return 128; }), 0, {"# # "}},
        {"8 bit diffusion, 4x2 grey 128", checker4, 0, {"# # ", " # #"}},
        {"8 bit diffusion, rows 200 and 100", GreyPage(3, 2, [](uint32_t, uint32_t y) { return y == 0 ? 200 : 100; }), 0, {"   ", "###"}},
        {"8 bit threshold, 4x2 grey 128", checker4, 1, {"    ", "    "}},
        {"24 bit threshold", colourPage(24), 1, colourDots},
        {"32 bit threshold", colourPage(32), 1, colourDots},
        {"24 bit diffusion, grey 128", ColourPage(4, 1, 24, [](uint32_t, uint32_t) { return PixelBytes{128, 128, 128, 0}; }), 0, {"# # "}},
        {"32 bit diffusion, black", MakeFilledPage(5, 2, 32, 0x00), 0, {"#####", "#####"}},
        {"4 bit threshold", levels4, 1, {"# # # # ", "########"}},
        {"4 bit diffusion", FourBitPage(8, 1, [](uint32_t x, uint32_t) { return x % 2 == 0 ? 0 : 15; }), 0, {"# # # # "}},
        // The depth decides the polarity, whatever cupsBitsPerColor says.
        {"8 bit page claiming 1 bit per colour", WithBitsPerColor(grey10, 1), 1, grey10Dots},
        {"1 bit page claiming 8 bits per colour", WithBitsPerColor(MakeFilledPage(12, 1, 1, 0xF0), 8), 1, {"####    ####"}},
        {"24 bit page claiming 1 bit per colour", WithBitsPerColor(colourPage(24), 1), 1, colourDots},
        {"4 bit page claiming 8 bits per colour", WithBitsPerColor(levels4, 8), 1, {"# # # # ", "########"}},
    };
}

TEST_F(RasterTest, DepthsAndAlgorithms) {
    for (const DepthCase& c : DepthCases()) {
        SCOPED_TRACE(c.name);
        const std::string ppd = WritePpd({{"BlankSpace", "0"}, {"ImageAlgorithm", std::to_string(c.algorithm)}});
        const ProcessResult result = Run(ppd, {c.page});
        ExpectPagesPrinted(result, 1);
        // 1-bit pages without a picture: the raster bits themselves.
        const DotBitmap bitmap = c.dots.empty() ? BitmapOfOneBitPage(c.page) : [&] {
            DotBitmap b = DotBitmap::Blank(static_cast<int32_t>(c.page.header.cupsWidth),
                                           static_cast<int32_t>(c.dots.size()));
            for (size_t y = 0; y < c.dots.size(); ++y) {
                for (size_t x = 0; x < c.dots[y].size(); ++x) {
                    if (c.dots[y][x] == '#') b.SetDot(static_cast<int32_t>(x), static_cast<int32_t>(y));
                }
            }
            return b;
        }();
        const std::string expected = ExpectedBytes().AddRaw(kInit).AddBands(bitmap).Bytes();
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
    }
}

// A 32-bit page prints as the 24-bit page made of the first three bytes of
// each pixel, whatever the fourth byte holds.
TEST_F(RasterTest, ThirtyTwoBitPagesPrintLikeTwentyFourBit) {
    const uint32_t seed = std::random_device()();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    std::vector<PixelBytes> pixels(37 * 29);
    for (PixelBytes& p : pixels) p = {uint8_t(random()), uint8_t(random()), uint8_t(random()), uint8_t(random())};
    auto pixel = [&](uint32_t x, uint32_t y) { return pixels[y * 37 + x]; };
    const RasterPage page24 = ColourPage(37, 29, 24, pixel);
    const RasterPage page32 = ColourPage(37, 29, 32, pixel);
    for (const char* algorithm : {"0", "1"}) {
        SCOPED_TRACE(testing::Message() << "ImageAlgorithm " << algorithm);
        const std::string ppd = WritePpd({{"BlankSpace", "0"}, {"ImageAlgorithm", algorithm}});
        const ProcessResult result24 = Run(ppd, {page24});
        const ProcessResult result32 = Run(ppd, {page32});
        ExpectPagesPrinted(result24, 1);
        ExpectPagesPrinted(result32, 1);
        EXPECT_EQ(DescribeDifference(result24.out, result32.out), "");
        // Random colours give both dots and gaps.
        std::vector<Band> bands;
        ParseBands(result24.out, 2, &bands);
        std::string rows;
        for (const Band& band : bands) rows += band.data;
        EXPECT_EQ(rows.size(), 29u * 8u);
        EXPECT_NE(rows.find_first_not_of('\0'), std::string::npos);
        EXPECT_NE(rows.find_first_not_of('\xFF'), std::string::npos);
    }
}

// Depths the image step cannot take: the page is begun and framed, its
// raster is not sent, and the job goes on with the next page.
TEST_F(RasterTest, UnsupportedDepthsAreNotSent) {
    const std::string ppd =
        WritePpd({{"BlankSpace", "0"}, {"Logo", "1"}, {"Logo_A", "2"}, {"FeedDist", "1"}, {"Cutting", "7"}});
    const std::string pageStart("\x1C\x70\x01\x00", 4);
    const std::string pageEnd("\x1C\x70\x02\x00" "\x1B\x64\x01" "\x1B\x64\x04\x1B\x69", 12);
    const RasterPage next = RandomOneBitPage(64, 5, 3);
    const struct {
        const char* name;
        RasterPage page;
    } cases[] = {
        {"16 bits per colour", MakeFilledPage(20, 4, 16, 0x00)},
        {"2 bits per pixel", MakeFilledPage(20, 4, 2, 0x00)},
        {"48 bits per pixel", MakeFilledPage(20, 4, 48, 0x00)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = Run(ppd, {c.page, next});
        const std::string expected = ExpectedBytes()
                                         .AddRaw(kInit)
                                         .AddRaw(pageStart + pageEnd + pageStart)
                                         .AddBands(BitmapOfOneBitPage(next))
                                         .AddRaw(pageEnd)
                                         .Bytes();
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        ExpectPagesPrinted(result, 2);
    }
}

// A stream that ends inside a page: the rows read in full print, every row
// from the first one cut short prints blank, at every depth and with both
// algorithms.
TEST_F(RasterTest, RowsMissingFromAShortStreamPrintBlank) {
    const uint32_t kWidth = 16;
    const uint32_t kHeight = 30;
    for (uint32_t bpp : {1u, 4u, 8u, 24u, 32u}) {
        for (const char* algorithm : {"1", "0"}) {
            for (bool midRow : {true, false}) {
                SCOPED_TRACE(testing::Message() << bpp << " bits, ImageAlgorithm " << algorithm
                                                << (midRow ? ", cut inside row 10" : ", cut after row 9"));
                // Every pixel that arrives is black.
                RasterPage page = MakeFilledPage(kWidth, kHeight, bpp, bpp == 1 ? 0xFF : 0x00);
                const size_t bpl = page.header.cupsBytesPerLine;
                page.data.resize(10 * bpl + (midRow ? bpl / 2 : 0));
                const ProcessResult result =
                    Run(WritePpd({{"BlankSpace", "0"}, {"ImageAlgorithm", algorithm}}), {page});
                DotBitmap bitmap = DotBitmap::Blank(kWidth, kHeight);
                for (int32_t y = 0; y < 10; ++y) {
                    for (int32_t x = 0; x < static_cast<int32_t>(kWidth); ++x) bitmap.SetDot(x, y);
                }
                const std::string expected = ExpectedBytes().AddRaw(kInit).AddBands(bitmap).Bytes();
                EXPECT_EQ(DescribeDifference(expected, result.out), "");
                ExpectPagesPrinted(result, 1);
            }
        }
    }
}

// A 32-bit page whose rows hold fewer bytes than four per pixel prints the
// whole pixels its rows hold (run under the sanitizers this also shows that
// nothing past the page buffer is read).
TEST_F(RasterTest, ThirtyTwoBitRowsShorterThanTheWidth) {
    for (const char* algorithm : {"1", "0"}) {
        SCOPED_TRACE(testing::Message() << "ImageAlgorithm " << algorithm);
        RasterPage page = MakeFilledPage(10, 3, 32, 0xFF);
        page.header.cupsBytesPerLine = 32;  // 8 whole pixels
        page.data.assign(32 * 3, 0xFF);
        for (size_t y = 0; y < 3; ++y) {
            for (size_t x = 0; x < 8; x += 2) {
                for (size_t i = 0; i < 3; ++i) page.data[y * 32 + x * 4 + i] = 0x00;  // black at even x
            }
        }
        const ProcessResult result = Run(WritePpd({{"BlankSpace", "0"}, {"ImageAlgorithm", algorithm}}), {page});
        ExpectPagesPrinted(result, 1);
        std::vector<Band> bands;
        ASSERT_EQ(ParseBands(result.out, 2, &bands), result.out.size());
        ASSERT_EQ(bands.size(), 1u);
        EXPECT_EQ(bands[0].lDelta, 4);
        ASSERT_EQ(bands[0].rows, 3);
        for (int y = 0; y < 3; ++y) {
            SCOPED_TRACE(testing::Message() << "row " << y);
            const std::string row = bands[0].data.substr(static_cast<size_t>(y) * 4, 4);
            EXPECT_EQ(static_cast<uint8_t>(row[0]), 0xAA);  // the 8 pixels the row holds
            EXPECT_EQ(static_cast<uint8_t>(row[1]) & 0x3F, 0) << "bits right of the width";
            EXPECT_EQ(Hex(row.substr(2)), "00 00");
        }
    }
}

// A bitmap row wider than a GS v 0 block can describe (65,535 bytes) is not
// sent; the page is still framed and counted.
TEST_F(RasterTest, RowsTooWideForABlockAreNotSent) {
    const std::string pageStart("\x1C\x70\x01\x00", 4);
    const std::string pageEnd("\x1C\x70\x02\x00" "\x1B\x64\x01", 7);
    const struct {
        const char* name;
        RasterPage page;
        const char* rotate;
        std::string header;  // of the block when the row still fits; empty when refused
    } cases[] = {
        {"8 x 600000 turned by 90", MakeFilledPage(8, 600000, 1, 0x00), "1", ""},
        {"524288 wide", MakeFilledPage(524288, 2, 1, 0x80), "0", ""},
        {"524256 wide: 65532 bytes still fit", MakeFilledPage(524256, 2, 1, 0x80), "0", "1D 76 30 00 FC FF 02 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ppd = WritePpd(
            {{"BlankSpace", "0"}, {"Logo", "1"}, {"Logo_A", "2"}, {"FeedDist", "1"}, {"PrintRotate", c.rotate}});
        const ProcessResult result = Run(ppd, {c.page});
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
        if (c.header.empty()) {
            EXPECT_EQ(Hex(result.out), Hex(kInit + pageStart + pageEnd));
            const std::string firstLine = "PAGE: 1 1\n";
            ASSERT_EQ(result.err.compare(0, firstLine.size(), firstLine), 0) << result.err;
            const std::string rest = result.err.substr(firstLine.size());
            EXPECT_EQ(rest.rfind("ERROR: ", 0), 0u) << result.err;
            const size_t lineEnd = rest.find('\n');
            ASSERT_NE(lineEnd, std::string::npos);
            EXPECT_EQ(rest.substr(lineEnd + 1), "INFO: Ready to print.\n");
        } else {
            ExpectPagesPrinted(result, 1);
            EXPECT_EQ(Hex(result.out.substr(0, 6)), Hex(kInit + pageStart));
            EXPECT_EQ(Hex(result.out.substr(6, 8)), c.header);
            EXPECT_EQ(result.out.size(), 6 + 8 + 2 * 65532 + pageEnd.size());
            EXPECT_EQ(Hex(result.out.substr(result.out.size() - pageEnd.size())), Hex(pageEnd));
        }
    }
}

// Turned pages: the sizes of the result, in the trace and in the blocks.
TEST_F(RasterTest, RotationSizes) {
    const RasterPage page = MakeFilledPage(576, 1000, 1, 0x00);
    const struct {
        std::optional<std::string> rotate;
        int cx, cy, lDelta;
    } cases[] = {
        {"1", 1002, 578, 128}, {"2", 578, 1003, 76}, {"3", 1003, 579, 128},
        {"0", 576, 1000, 72},  {std::nullopt, 576, 1000, 72}, {"4", 576, 1000, 72}, {"-1", 576, 1000, 72},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("PrintRotate " + c.rotate.value_or("absent"));
        OptionDefaults options = {{"BlankSpace", "0"}};
        if (c.rotate) options.emplace_back("PrintRotate", *c.rotate);
        std::vector<std::string> trace;
        const ProcessResult result = RunTraced(WritePpd(options), EncodeRasterStream({page}), "", &trace);
        ExpectPagesPrinted(result, 1);
        const std::string sizes = "cjBits=" + std::to_string(c.lDelta * c.cy) + ",lDelta=" + std::to_string(c.lDelta) +
                                  ",cx=" + std::to_string(c.cx) + ",cy=" + std::to_string(c.cy);
        EXPECT_EQ(LineStartingWith(trace, "cjBits="), sizes);
        std::vector<Band> bands;
        EXPECT_EQ(ParseBands(result.out, 2, &bands), result.out.size());
        int rows = 0;
        for (const Band& band : bands) {
            EXPECT_EQ(band.lDelta, c.lDelta);
            rows += band.rows;
        }
        EXPECT_EQ(rows, c.cy);
    }
}

// A 3 x 2 page (pixels a b c over d e f) turned by each angle: the result is
// the picture below, worked out by hand from the rotation's pixel mapping,
// '.' being the margin that the turn adds, which prints no dot even when
// pixel a (whose value the turn fills it with) is a dot. Each run sets one
// source pixel only.
TEST_F(RasterTest, TurnedPagesPlaceEveryPixel) {
    const struct {
        const char* rotate;
        std::vector<std::string> picture;
    } cases[] = {
        {"0", {"abc", "def"}},
        {"1", {"ccf.", "bbe.", "aad.", "aad.", "...."}},
        {"2", {".....", "fedd.", "cbaa.", "cbaa.", "....."}},
        {"3", {".....", ".daa.", ".daa.", ".ebb.", ".fcc.", "....."}},
    };
    for (const auto& c : cases) {
        const std::string ppd = WritePpd({{"BlankSpace", "0"}, {"PrintRotate", c.rotate}});
        for (char letter : std::string("abcdef")) {
            SCOPED_TRACE(testing::Message() << "PrintRotate " << c.rotate << ", pixel " << letter << " set");
            const std::string letters = "abcdef";
            const RasterPage page = OneBitPage(3, 2, [&](uint32_t x, uint32_t y) { return letters[y * 3 + x] == letter; });
            DotBitmap expectedDots = DotBitmap::Blank(static_cast<int32_t>(c.picture[0].size()),
                                                      static_cast<int32_t>(c.picture.size()));
            for (size_t y = 0; y < c.picture.size(); ++y) {
                for (size_t x = 0; x < c.picture[y].size(); ++x) {
                    const char at = c.picture[y][x];
                    if (at == letter) {
                        expectedDots.SetDot(static_cast<int32_t>(x), static_cast<int32_t>(y));
                    }
                }
            }
            const ProcessResult result = Run(ppd, {page});
            ExpectPagesPrinted(result, 1);
            const std::string expected = ExpectedBytes().AddRaw(kInit).AddBands(expectedDots).Bytes();
            EXPECT_EQ(DescribeDifference(expected, result.out), "");
        }
    }
}

// A 96 x 400 page of which only 60 lines came, framed in black from its
// pixel (0, 0) on: turned, the margin the turn adds prints no dot, so the
// blank rows of the lines that never came are left out as on an unturned
// page. Rows and dot columns worked out from the rotation's pixel mapping
// (the picture's repeated row and column included).
TEST_F(RasterTest, TurnedMarginPrintsNoDot) {
    RasterPage page = GreyPage(96, 60, [](uint32_t x, uint32_t y) { return x == 0 || x == 95 || y == 0 || y == 59 ? 0 : 255; });
    page.header.cupsHeight = 400;  // the stream ends after line 60
    const struct {
        const char* rotate;
        int rows;
        int firstDot, lastDot;  // columns
    } cases[] = {{"1", 97, 0, 60}, {"2", 61, 0, 96}, {"3", 97, 340, 400}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("PrintRotate ") + c.rotate);
        const ProcessResult result =
            Run(WritePpd({{"BlankSpace", "1"}, {"LeadingBlank", "1"}, {"PrintRotate", c.rotate}}), {page});
        ExpectPagesPrinted(result, 1);
        std::vector<Band> bands;
        EXPECT_EQ(ParseBands(result.out, 2, &bands), result.out.size());
        int rows = 0;
        int firstDot = INT32_MAX;
        int lastDot = -1;
        for (const Band& band : bands) {
            rows += band.rows;
            for (size_t i = 0; i < band.data.size(); ++i) {
                for (int bit = 0; bit < 8; ++bit) {
                    if ((static_cast<uint8_t>(band.data[i]) & (0x80 >> bit)) == 0) continue;
                    const int x = static_cast<int>(i % static_cast<size_t>(band.lDelta)) * 8 + bit;
                    firstDot = std::min(firstDot, x);
                    lastDot = std::max(lastDot, x);
                }
            }
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(firstDot, c.firstDot);
        EXPECT_EQ(lastDot, c.lastDot);
    }
}

}  // namespace
}  // namespace zelp::test
