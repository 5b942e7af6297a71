// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The filter with the PPD files the project installs.
#include "filter_harness.h"
#include "printer_commands.h"
#include "zelp_models.h"

namespace zelp::test {
namespace {

using BundledPpdTest = FilterTest;

// Dark where (x / 8 + y) is even: stripes that survive either algorithm.
RasterPage Stripes(uint32_t width, uint32_t height) {
    return GreyPage(width, height, [](uint32_t x, uint32_t y) { return (x / 8 + y) % 2 == 0 ? 0 : 255; });
}

std::string PpdPath(const char* file) { return std::string(ZELP_PPD_DIR) + "/" + file; }

TEST_F(BundledPpdTest, DefaultsPrintAPageAsWideAsTheHead) {
    for (const ZelpModel& model : kZelpModels) {
        SCOPED_TRACE(model.ppdFile);
        const uint32_t dots = static_cast<uint32_t>(model.headDots);
        const ProcessResult result = Run(PpdPath(model.ppdFile), {Stripes(dots, 60)});
        ExpectPagesPrinted(result, 1);
        ASSERT_EQ(Hex(result.out.substr(0, 2)), "1B 40");
        const size_t band = result.out.find(std::string("\x1D\x76\x30\x00", 4));
        ASSERT_NE(band, std::string::npos);
        std::vector<Band> bands;
        ParseBands(result.out, band, &bands);
        ASSERT_FALSE(bands.empty());
        EXPECT_EQ(bands[0].lDelta, dots / 8);
    }
}

TEST_F(BundledPpdTest, JobOptionsChooseEveryCommand) {
    const wire::Values values = {{"Cutting", 13}, {"FeedDist_B", 2}, {"FeedDist", 19}, {"Beeper", 4},
                                 {"CashDrawer", 6}, {"Logo", 1},      {"Logo_A", 8},    {"BMSetting", 2},
                                 {"Darkness", 3},   {"Speed", 5}};
    std::string options = "ImageAlgorithm=1 BlankSpace=0 PrintRotate=0 PageSize=X72MMY100MM";
    for (const auto& [keyword, value] : values) options += " " + keyword + "=" + std::to_string(value);
    const RasterPage page = Stripes(576, 30);
    DotBitmap dots = DotBitmap::Blank(576, 30);
    for (int32_t y = 0; y < 30; ++y) {
        for (int32_t x = 0; x < 576; ++x) {
            if ((x / 8 + y) % 2 == 0) dots.SetDot(x, y);
        }
    }
    const std::string expected = ExpectedBytes()
                                     .AddRaw(wire::Init() + wire::At(wire::Point::kJobStart, values))
                                     .AddRaw(wire::At(wire::Point::kPageStart, values))
                                     .AddBands(dots)
                                     .AddRaw(wire::At(wire::Point::kPageEnd, values))
                                     .AddRaw(wire::At(wire::Point::kJobEnd, values))
                                     .Bytes();
    std::vector<std::string> trace;
    const ProcessResult result = RunTraced(PpdPath("zelp80.ppd"), EncodeRasterStream({page}), options, &trace);
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
    ExpectPagesPrinted(result, 1);
    EXPECT_EQ(LineStartingWith(trace, "pageWidth = "), "pageWidth = 72.000000 pageHeight = 100.000000");
}

}  // namespace
}  // namespace zelp::test
