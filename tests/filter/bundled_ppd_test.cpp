// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The filter with the PPD files the project installs.
#include "filter_harness.h"

namespace zelp::test {
namespace {

using BundledPpdTest = FilterTest;

// Dark where (x / 8 + y) is even: stripes that survive either algorithm.
RasterPage Stripes(uint32_t width, uint32_t height) {
    return GreyPage(width, height, [](uint32_t x, uint32_t y) { return (x / 8 + y) % 2 == 0 ? 0 : 255; });
}

TEST_F(BundledPpdTest, DefaultsPrintAPageAsWideAsTheHead) {
    const struct {
        const char* ppd;
        uint32_t dots;
    } cases[] = {{ZELP_PPD_80, 576}, {ZELP_PPD_58, 384}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ppd);
        const ProcessResult result = Run(c.ppd, {Stripes(c.dots, 60)});
        ExpectPagesPrinted(result, 1);
        ASSERT_EQ(Hex(result.out.substr(0, 2)), "1B 40");
        const size_t band = result.out.find(std::string("\x1D\x76\x30\x00", 4));
        ASSERT_NE(band, std::string::npos);
        std::vector<Band> bands;
        ParseBands(result.out, band, &bands);
        ASSERT_FALSE(bands.empty());
        EXPECT_EQ(bands[0].lDelta, c.dots / 8);
    }
}

TEST_F(BundledPpdTest, JobOptionsChooseEveryCommand) {
    const std::string options =
        "Cutting=13 FeedDist_B=2 FeedDist=19 Beeper=4 CashDrawer=6 Logo=1 Logo_A=8 ImageAlgorithm=1 "
        "BlankSpace=0 PrintRotate=0 BMSetting=2 PageSize=X72MMY100MM";
    const RasterPage page = Stripes(576, 30);
    DotBitmap dots = DotBitmap::Blank(576, 30);
    for (int32_t y = 0; y < 30; ++y) {
        for (int32_t x = 0; x < 576; ++x) {
            if ((x / 8 + y) % 2 == 0) dots.SetDot(x, y);
        }
    }
    const std::string expected = ExpectedBytes()
                                     .Add({0x1B, 0x40, 0x1B, 0x64, 0x02})
                                     .Add({0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66, 0x1C, 0x70, 0x01, 0x00})
                                     .AddBands(dots)
                                     .Add({0x1C, 0x70, 0x08, 0x00, 0x1B, 0x64, 0xF0, 0x1B, 0x64, 0x3C, 0x0E, 0x1B, 0x69})
                                     .Add({0x1B, 0x42, 0x04, 0x01})
                                     .Add({0x1B, 0x70, 0x00, 0x10, 0x32, 0x1B, 0x70, 0x01, 0x10, 0x32})
                                     .Bytes();
    std::vector<std::string> trace;
    const ProcessResult result = RunTraced(ZELP_PPD_80, EncodeRasterStream({page}), options, &trace);
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
    ExpectPagesPrinted(result, 1);
    EXPECT_EQ(LineStartingWith(trace, "pageWidth = "), "pageWidth = 72.000000 pageHeight = 100.000000");
}

}  // namespace
}  // namespace zelp::test
