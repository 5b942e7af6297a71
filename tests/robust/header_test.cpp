// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Page headers that libcups accepts but whose fields do not add up: line
// lengths that do not match the width, no width, depths the filter cannot
// print, bits per colour that contradict bits per pixel, and a height far
// beyond the data that follows.
#include <random>

#include "robust_harness.h"

namespace zelp::test {
namespace {

using HeaderTest = FilterTest;

// Frames every page visibly; blank rows are sent, and 8-bit pages are
// thresholded so that black and white pixels map to dots and gaps.
JobOptions Options() {
    JobOptions options;
    options.Logo = 1;
    options.Logo_A = 2;
    options.FeedDist = 1;
    options.Beeper = 1;
    options.BlankSpace = 0;
    options.ImageAlgorithm = 1;
    return options;
}

RasterPage RandomBits(uint32_t width, uint32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    RasterPage page = MakeFilledPage(width, height, 1, 0);
    for (uint8_t& byte : page.data) byte = static_cast<uint8_t>(random());
    return page;
}

// A page with `bpp` bits per pixel, its pixels black where (x + y) % 3 == 0
// and white elsewhere, `bpl` bytes per line (the extra bytes of a longer
// line black, so that reading them would show).
RasterPage Pattern(uint32_t width, uint32_t height, uint32_t bpp, uint32_t bpl) {
    RasterPage page = MakeFilledPage(width, height, bpp, 0x00);
    page.header.cupsBytesPerLine = bpl;
    page.data.assign(size_t{bpl} * height, 0x00);
    const uint32_t bytesPerPixel = bpp / 8;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width && (x + 1) * bytesPerPixel <= bpl; ++x) {
            const uint8_t value = (x + y) % 3 == 0 ? 0x00 : 0xFF;
            for (uint32_t i = 0; i < bytesPerPixel; ++i) page.data[size_t{y} * bpl + x * bytesPerPixel + i] = value;
        }
    }
    return page;
}

RasterPage WithBitsPerColor(RasterPage page, uint32_t bitsPerColor) {
    page.header.cupsBitsPerColor = bitsPerColor;
    return page;
}

RasterPage WithBytesPerLine(RasterPage page, uint32_t bpl, uint8_t fill) {
    page.header.cupsBytesPerLine = bpl;
    page.data.assign(size_t{bpl} * page.header.cupsHeight, fill);
    return page;
}

struct HeaderCase {
    const char* name;
    RasterPage page;
    std::string raster;  // what the page prints; empty when it is refused
};

std::vector<HeaderCase> HeaderCases() {
    std::vector<HeaderCase> cases;
    {
        // 1 bit, 576 wide, 40 bytes a line: the rest of each row prints nothing.
        RasterPage page = RandomBits(576, 3, 11);
        page.header.cupsBytesPerLine = 40;
        page.data.resize(40 * 3);
        for (size_t i = 0; i < page.data.size(); ++i) page.data[i] = static_cast<uint8_t>(0xA5 ^ i);
        DotBitmap dots = DotBitmap::Blank(576, 3);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 0; x < 40 * 8; ++x) {
                if (page.data[static_cast<size_t>(y) * 40 + static_cast<size_t>(x) / 8] & (0x80 >> (x % 8))) dots.SetDot(x, y);
            }
        }
        cases.push_back({"1 bit, line shorter than the width", page, Raster(dots)});
    }
    {
        // 1 bit, 100 wide, 20 bytes a line (13 needed): only the width prints,
        // and the next page is found where the longer lines end.
        RasterPage page = WithBytesPerLine(MakeFilledPage(100, 4, 1, 0), 20, 0xFF);
        DotBitmap dots = DotBitmap::Blank(100, 4);
        for (int32_t y = 0; y < 4; ++y) {
            for (int32_t x = 0; x < 100; ++x) dots.SetDot(x, y);
        }
        cases.push_back({"1 bit, line longer than the width", page, Raster(dots)});
    }
    {
        const RasterPage page = Pattern(10, 3, 8, 16);
        cases.push_back({"8 bits, line longer than the width", page, Raster(BlackWhiteDots(page))});
    }
    {
        const RasterPage page = Pattern(7, 3, 24, 30);
        cases.push_back({"24 bits, line longer than the width", page, Raster(BlackWhiteDots(page))});
    }
    {
        // 8 bits, 20 wide, 12 bytes a line: pixels 12 to 19 have no data. The
        // page image starts zeroed, which is black at this depth, so they
        // print as dots.
        const RasterPage page = Pattern(20, 3, 8, 12);
        DotBitmap dots = BlackWhiteDots(page, -1, 12);
        for (int32_t y = 0; y < 3; ++y) {
            for (int32_t x = 12; x < 20; ++x) dots.SetDot(x, y);
        }
        cases.push_back({"8 bits, line shorter than the width", page, Raster(dots)});
    }
    {
        RasterPage page = WithBytesPerLine(MakeFilledPage(0, 3, 8, 0), 16, 0x00);
        cases.push_back({"8 bits, width 0", page, ""});
        page = WithBytesPerLine(MakeFilledPage(0, 3, 1, 0), 9, 0xFF);
        cases.push_back({"1 bit, width 0", page, ""});
    }
    cases.push_back({"2 bits per pixel", MakeFilledPage(30, 3, 2, 0x00), ""});
    cases.push_back({"3 bits per pixel", MakeFilledPage(30, 3, 3, 0x00), ""});
    cases.push_back({"16 bits per pixel at 8 bits per colour", MakeFilledPage(30, 3, 16, 0x00), ""});
    cases.back().page.header.cupsBitsPerColor = 8;
    cases.push_back({"48 bits per pixel", MakeFilledPage(30, 3, 48, 0x00), ""});
    {
        // Bits per colour that contradict bits per pixel: the bits per pixel
        // decide how the page prints.
        const RasterPage grey = Pattern(12, 3, 8, 12);
        const RasterPage colour = Pattern(12, 3, 24, 36);
        const RasterPage alpha = Pattern(12, 3, 32, 48);
        const RasterPage bits = RandomBits(12, 3, 4);
        cases.push_back({"8 bits per pixel at 16 bits per colour", WithBitsPerColor(grey, 16), Raster(BlackWhiteDots(grey))});
        cases.push_back({"8 bits per pixel at 2 bits per colour", WithBitsPerColor(grey, 2), Raster(BlackWhiteDots(grey))});
        cases.push_back({"24 bits per pixel at 16 bits per colour", WithBitsPerColor(colour, 16), Raster(BlackWhiteDots(colour))});
        cases.push_back({"32 bits per pixel at 1 bit per colour", WithBitsPerColor(alpha, 1), Raster(BlackWhiteDots(alpha))});
        cases.push_back({"1 bit per pixel at 16 bits per colour", WithBitsPerColor(bits, 16), Raster(OneBitDots(bits))});
    }
    return cases;
}

// Each page sits between two good pages: it prints as given or is refused
// (framed, nothing of it sent, no message), and the page after it is read
// from where its lines end.
TEST_F(HeaderTest, PagesThatDoNotAddUp) {
    const JobOptions options = Options();
    const std::string ppd = WritePpd(options.Defaults());
    const RasterPage before = RandomBits(64, 5, 1);
    const RasterPage after = RandomBits(40, 7, 2);
    for (const HeaderCase& c : HeaderCases()) {
        SCOPED_TRACE(c.name);
        const std::string stream = EncodeRasterStream({before, c.page, after});
        std::vector<RasterPage> decoded;
        ASSERT_TRUE(DecodeRasterStream(stream, &decoded));
        ASSERT_EQ(decoded.size(), 3u) << "libcups refuses the header";

        const ProcessResult result = Run(ppd, stream);
        const std::string expected = NormalJob(options, {Raster(OneBitDots(before)), c.raster, Raster(OneBitDots(after))});
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        EXPECT_EQ(result.err, PageMessages({1, 1, 1}));
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

// Bits per colour that contradict bits per pixel, on a stream that ends
// inside the page: the rows that never arrived print blank as the bits per
// pixel give blank, not as the bits per colour would.
TEST_F(HeaderTest, ContradictingDepthsOnAShortStream) {
    const JobOptions options = Options();
    const std::string ppd = WritePpd(options.Defaults());
    const struct {
        const char* name;
        RasterPage page;
    } cases[] = {
        {"1 bit per pixel at 8 bits per colour", WithBitsPerColor(MakeFilledPage(24, 6, 1, 0xFF), 8)},
        {"1 bit per pixel at 16 bits per colour", WithBitsPerColor(MakeFilledPage(24, 6, 1, 0xFF), 16)},
        {"8 bits per pixel at 1 bit per colour", WithBitsPerColor(MakeFilledPage(24, 6, 8, 0x00), 1)},
        {"8 bits per pixel at 16 bits per colour", WithBitsPerColor(MakeFilledPage(24, 6, 8, 0x00), 16)},
        {"24 bits per pixel at 1 bit per colour", WithBitsPerColor(MakeFilledPage(24, 6, 24, 0x00), 1)},
        {"32 bits per pixel at 16 bits per colour", WithBitsPerColor(MakeFilledPage(24, 6, 32, 0x00), 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Two whole black lines and half of the third.
        RasterPage page = c.page;
        const size_t bpl = page.header.cupsBytesPerLine;
        page.data.resize(2 * bpl + bpl / 2);
        DotBitmap dots = DotBitmap::Blank(24, 6);
        for (int32_t y = 0; y < 2; ++y) {
            for (int32_t x = 0; x < 24; ++x) dots.SetDot(x, y);
        }
        const ProcessResult result = Run(ppd, {page});
        EXPECT_EQ(DescribeDifference(NormalJob(options, {Raster(dots)}), result.out), "");
        EXPECT_EQ(result.err, PageMessages({1}));
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

// A header that declares far more lines than follow: the lines that came
// print, every row after them is blank (trimmed here, so one dot below them
// would show), and the job ends when the stream does.
TEST_F(HeaderTest, HugeHeightWithAFewLines) {
    JobOptions options = Options();
    options.BlankSpace = 1;
    const std::string ppd = WritePpd(options.Defaults());
    const struct {
        const char* name;
        uint32_t width;
        uint32_t height;
        uint32_t bpp;
    } cases[] = {
        {"1 bit, 1000000 lines of 576 bytes", 4608, 1000000, 1},
        {"8 bits, 20000 lines of 576 bytes", 576, 20000, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Five lines and a few bytes of the sixth; the fifth line ends in a
        // dot, so the trimming keeps all five.
        RasterPage shown = c.bpp == 1 ? RandomBits(c.width, 5, 3) : Pattern(c.width, 5, c.bpp, c.width);
        shown.data.back() = c.bpp == 1 ? 0x01 : 0x00;
        const DotBitmap dots = c.bpp == 1 ? OneBitDots(shown) : BlackWhiteDots(shown);
        RasterPage page = shown;
        page.header.cupsHeight = c.height;
        page.data.insert(page.data.end(), 7, 0x00);
        const ProcessResult result = Run(ppd, {page});
        EXPECT_EQ(DescribeDifference(NormalJob(options, {Raster(dots)}), result.out), "");
        EXPECT_EQ(result.err, PageMessages({1}));
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

}  // namespace
}  // namespace zelp::test
