// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Printer settings: PPD defaults, job options over them, absent options,
// the number read from a choice keyword, and the PageSize keyword.
#include <algorithm>
#include <cstdio>

#include "filter_harness.h"

namespace zelp::test {
namespace {

using SettingsTest = FilterTest;

// A page with dots in its first rows only, so that trimming of trailing
// blank rows (BlankSpace) shows in the number of rows sent.
RasterPage TopDotsPage() {
    return OneBitPage(64, 30, [](uint32_t x, uint32_t y) { return y < 5 && x % 3 == 0; });
}

// Black-mark set-up for BMSetting 1, with the height byte as given.
std::string BlackMarkWithHeight(uint8_t hL, uint8_t nL = 0x2D, uint8_t dH = 0x02, uint8_t dL = 0x8A) {
    const unsigned char bytes[] = {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44,         //
                                   0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, hL,     //
                                   0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, nL,   0x00,   //
                                   0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, dH,   dL};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// The option value is the number that begins the chosen keyword, the job's
// option string replacing the PPD's default.
TEST_F(SettingsTest, ChosenKeywordGivesTheValue) {
    PpdContents contents = JobPpd({{"BMSetting", "1"}, {"BMOffset", "10"}, {"BMDistance", "10"}, {"BlankSpace", "0"}});
    contents.options.push_back(PpdOption{"Beeper", "3", {"0", "3", "5", "12abc", "abc", "-2"}});
    contents.options.push_back(PpdOption{"BMHeight", "3", {"3", "12abc", "abc", "-2", "007"}});
    contents.options.push_back(PpdOption{"FeedDist", "12abc", {"0", "6", "12abc"}});
    const std::string ppd = WritePpd(contents);
    const RasterPage page = TopDotsPage();
    DotBitmap bitmap = DotBitmap::Blank(64, 30);
    bitmap.bytes.assign(page.data.begin(), page.data.end());

    const struct {
        const char* options;
        std::string beeper;    // job end
        uint8_t heightByte;    // BMHeight + 5
        std::string feed;      // page end
    } cases[] = {
        {"", std::string("\x1B\x42\x03\x01", 4), 0x08, std::string("\x1B\x64\x5A", 3)},
        {"Beeper=5", std::string("\x1B\x42\x05\x01", 4), 0x08, std::string("\x1B\x64\x5A", 3)},
        {"Beeper=12abc", "", 0x08, std::string("\x1B\x64\x5A", 3)},  // 12: past the beeper entries
        {"Beeper=abc", "", 0x08, std::string("\x1B\x64\x5A", 3)},    // 0: empty entry
        {"Beeper=-2", "", 0x08, std::string("\x1B\x64\x5A", 3)},
        {"BMHeight=12abc", std::string("\x1B\x42\x03\x01", 4), 0x11, std::string("\x1B\x64\x5A", 3)},
        {"BMHeight=abc", std::string("\x1B\x42\x03\x01", 4), 0x05, std::string("\x1B\x64\x5A", 3)},
        {"BMHeight=-2", std::string("\x1B\x42\x03\x01", 4), 0x03, std::string("\x1B\x64\x5A", 3)},
        {"BMHeight=007", std::string("\x1B\x42\x03\x01", 4), 0x0C, std::string("\x1B\x64\x5A", 3)},
        {"FeedDist=6 Beeper=5", std::string("\x1B\x42\x05\x01", 4), 0x08, std::string("\x1B\x64\x0A", 3)},
        {"FeedDist=0", std::string("\x1B\x42\x03\x01", 4), 0x08, ""},
        // Options the PPD does not know leave the defaults in force.
        {"copies=2 Unknown=7 media=X80MMY200MM", std::string("\x1B\x42\x03\x01", 4), 0x08,
         std::string("\x1B\x64\x5A", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const ProcessResult result = Run(ppd, {page}, c.options);
        const std::string expected = ExpectedBytes()
                                         .Add({0x1B, 0x40})
                                         .AddRaw(BlackMarkWithHeight(c.heightByte))
                                         .AddBands(bitmap)
                                         .AddRaw(c.feed)
                                         .AddRaw(c.beeper)
                                         .Bytes();
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        ExpectPagesPrinted(result, 1);
    }
}

// Every option absent (-1): ESC @ at job start and nothing else around the
// raster; BlankSpace -1 counts as on, so trailing blank rows are left out.
TEST_F(SettingsTest, AllOptionsAbsentSendOnlyInitialisation) {
    const RasterPage page = TopDotsPage();
    DotBitmap bitmap = DotBitmap::Blank(64, 30);
    bitmap.bytes.assign(page.data.begin(), page.data.end());
    const std::string expected = ExpectedBytes().Add({0x1B, 0x40}).AddBands(bitmap, 5).AddBands(bitmap, 5).Bytes();
    const ProcessResult result = Run(WritePpd(OptionDefaults{}), {page, page});
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
    ExpectPagesPrinted(result, 2);
}

// An option in the PPD without a usable default, and not chosen by the job,
// is absent (-1) too. BlankSpace shows it: -1 trims, 0 would not.
TEST_F(SettingsTest, OptionWithoutUsableDefaultIsAbsent) {
    const RasterPage page = TopDotsPage();
    DotBitmap bitmap = DotBitmap::Blank(64, 30);
    bitmap.bytes.assign(page.data.begin(), page.data.end());
    const struct {
        const char* name;
        PpdOption blankSpace;
        const char* options;
        int rowsSent;
    } cases[] = {
        {"no default line", {"BlankSpace", std::nullopt, {"0", "1"}}, "", 5},
        {"default names no choice", {"BlankSpace", "0", {"1", "2"}}, "", 5},
        {"no default, job chooses 0", {"BlankSpace", std::nullopt, {"0", "1"}}, "BlankSpace=0", 30},
        {"default 0", {"BlankSpace", "0", {"0", "1"}}, "", 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PpdContents contents = JobPpd({});
        contents.options.push_back(c.blankSpace);
        const ProcessResult result = Run(WritePpd(contents), {page}, c.options);
        const std::string expected = ExpectedBytes().Add({0x1B, 0x40}).AddBands(bitmap, c.rowsSent).Bytes();
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        ExpectPagesPrinted(result, 1);
    }
}

std::string SizeLine(double width, double height) {
    char text[128];
    snprintf(text, sizeof text, "pageWidth = %f pageHeight = %f", width, height);
    return text;
}

// The page size read from the chosen PageSize keyword, seen in the trace.
TEST_F(SettingsTest, PageSizeKeywordForms) {
    const std::string digits19 = "0000000000000000080";  // 19 characters: still fits
    const std::string digits20 = "00000000000000000080";
    const struct {
        std::string keyword;
        double width;
        double height;
    } cases[] = {
        {"X80MMY200MM", 80.0, 200.0},
        {"X57D5MMY100MM", 57.5, 100.0},
        {"X8M0MMY1D25MM", 80.0, 1.25},
        {"X80MMY200MMabc", 80.0, 200.0},
        {"X80MMY200", 0.0, 0.0},
        {"Y200MMX80MM", 0.0, 0.0},
        {"x80MMy200MM", 0.0, 0.0},
        {"Letter", 0.0, 0.0},
        {"XMMY200MM", 0.0, 200.0},
        // Width and height texts hold at most 19 characters (keywords
        // themselves stop at 40 characters in a PPD file).
        {"X" + digits19 + "MMY200MM", 80.0, 200.0},
        {"X80MMY" + digits19 + "MM", 80.0, 80.0},
        {"X" + digits20 + "MMY200MM", 0.0, 0.0},
        {"X80MMY" + digits20 + "MM", 0.0, 0.0},
        {"X" + std::string(30, '7') + "MMY2MM", 0.0, 0.0},
        {"X1D" + std::string(17, '5') + "MMY2MM", 1.5555555555555555, 2.0},
        {"X80MMY200MM" + std::string(29, 'Q'), 80.0, 200.0},
    };
    const RasterPage page = MakeFilledPage(64, 2, 1, 0x80);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyword);
        std::vector<std::string> trace;
        const ProcessResult result = RunTraced(WritePpd(OptionDefaults{}, c.keyword), EncodeRasterStream({page}),
                                               "", &trace);
        ExpectPagesPrinted(result, 1);
        const auto label = std::find(trace.begin(), trace.end(), "PageSize:");
        ASSERT_NE(label, trace.end());
        ASSERT_NE(label + 1, trace.end());
        EXPECT_EQ(*(label + 1), c.keyword);
        EXPECT_EQ(LineStartingWith(trace, "pageWidth = "), SizeLine(c.width, c.height));
    }
}

// The job's PageSize choice replaces the default; a PPD without a usable
// PageSize leaves the size 0 and the job goes on.
TEST_F(SettingsTest, PageSizeChoiceAndMissingPageSize) {
    PpdContents twoSizes = JobPpd({});
    twoSizes.options = {PpdOption{"PageSize", "X80MMY200MM", {"X80MMY200MM", "X57D5MMY100MM"}}};
    const struct {
        const char* name;
        PpdContents contents;
        const char* options;
        double width;
        double height;
    } cases[] = {
        {"default", twoSizes, "", 80.0, 200.0},
        {"chosen by the job", twoSizes, "PageSize=X57D5MMY100MM", 57.5, 100.0},
        {"no PageSize option", JobPpd({}, ""), "", 0.0, 0.0},
        {"no default line", {20, {PpdOption{"PageSize", std::nullopt, {"X80MMY200MM"}}}}, "", 0.0, 0.0},
        {"default names no choice", {20, {PpdOption{"PageSize", "X90MMY100MM", {"X80MMY200MM"}}}}, "", 0.0, 0.0},
    };
    const RasterPage page = MakeFilledPage(64, 2, 1, 0x80);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> trace;
        const ProcessResult result = RunTraced(WritePpd(c.contents), EncodeRasterStream({page}), c.options, &trace);
        ExpectPagesPrinted(result, 1);
        EXPECT_EQ(Hex(result.out.substr(0, 2)), "1B 40");
        EXPECT_EQ(LineStartingWith(trace, "pageWidth = "), SizeLine(c.width, c.height));
    }
}

}  // namespace
}  // namespace zelp::test
