// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Printer options from untrusted PPD files and option strings: keywords that
// are not numbers, values outside every table, 32-bit extremes, PageSize
// keywords that do not parse, PPD files that libcups refuses or only half
// understands, and malformed or enormous option strings.
#include <cstdio>

#include "robust_harness.h"

namespace zelp::test {
namespace {

using SettingsInputTest = FilterTest;

// Two small 1-bit pages.
std::vector<RasterPage> TwoPages() {
    return {OneBitPicture({"#  #  #  #", " ## ## ## "}), OneBitPicture({"########", "", "#"})};
}

std::vector<std::string> Rasters(const std::vector<RasterPage>& pages) {
    std::vector<std::string> rasters;
    for (const RasterPage& page : pages) rasters.push_back(Raster(OneBitDots(page)));
    return rasters;
}

// Expects the two pages framed as `options` give.
void ExpectTwoPageJob(const ProcessResult& result, const JobOptions& options) {
    EXPECT_EQ(DescribeDifference(NormalJob(options, Rasters(TwoPages())), result.out), "");
    EXPECT_EQ(result.err, PageMessages({1, 1}));
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
}

JobOptions Resolved(std::initializer_list<std::pair<std::optional<int32_t> JobOptions::*, int32_t>> values) {
    JobOptions options;
    for (const auto& [field, value] : values) options.*field = value;
    return options;
}

// Option values outside what the command tables hold send nothing; black-mark
// parameters wrap as 32-bit values.
TEST_F(SettingsInputTest, OptionValuesOutsideTheTables) {
    using J = JobOptions;
    const struct {
        const char* name;
        OptionDefaults ppd;
        JobOptions expected;
    } cases[] = {
        {"keywords that are not plain numbers",
         {{"Cutting", "full"}, {"FeedDist", "+6"}, {"Beeper", "3x"}, {"Logo", "0x4"}, {"Logo_A", "1e3"},
          {"CashDrawer", "--2"}, {"FeedDist_B", "-0"}},
         Resolved({{&J::Cutting, 0}, {&J::FeedDist, 6}, {&J::Beeper, 3}, {&J::Logo, 0}, {&J::Logo_A, 1},
                   {&J::CashDrawer, 0}, {&J::FeedDist_B, 0}})},
        {"negative",
         {{"Cutting", "-5"}, {"FeedDist_B", "-3"}, {"FeedDist", "-2"}, {"Beeper", "-9"}, {"CashDrawer", "-2"},
          {"Logo", "-7"}, {"Logo_A", "-16"}, {"BMSetting", "-5"}},
         Resolved({{&J::Cutting, -5}, {&J::FeedDist_B, -3}, {&J::FeedDist, -2}, {&J::Beeper, -9},
                   {&J::CashDrawer, -2}, {&J::Logo, -7}, {&J::Logo_A, -16}, {&J::BMSetting, -5}})},
        {"past the tables",
         {{"Cutting", "99"}, {"FeedDist_B", "32"}, {"FeedDist", "1000"}, {"Beeper", "10"}, {"CashDrawer", "100"},
          {"Logo", "9"}, {"Logo_A", "16"}, {"BMSetting", "99"}},
         Resolved({{&J::Cutting, 99}, {&J::FeedDist_B, 32}, {&J::FeedDist, 1000}, {&J::Beeper, 10},
                   {&J::CashDrawer, 100}, {&J::Logo, 9}, {&J::Logo_A, 16}, {&J::BMSetting, 99}})},
        {"32-bit extremes",
         {{"Cutting", "2147483647"}, {"FeedDist", "-2147483648"}, {"Beeper", "2147483647"},
          {"CashDrawer", "-2147483648"}, {"Logo", "2147483647"}, {"Logo_A", "-2147483648"}, {"BMSetting", "1"},
          {"BMHeight", "2147483647"}, {"BMOffset", "-2147483648"}, {"BMDistance", "2147483647"}},
         Resolved({{&J::Cutting, 2147483647}, {&J::FeedDist, INT32_MIN}, {&J::Beeper, 2147483647},
                   {&J::CashDrawer, INT32_MIN}, {&J::Logo, 2147483647}, {&J::Logo_A, INT32_MIN}, {&J::BMSetting, 1},
                   {&J::BMHeight, 2147483647}, {&J::BMOffset, INT32_MIN}, {&J::BMDistance, 2147483647}})},
        {"black mark at the other extremes",
         {{"BMSetting", "1"}, {"BMHeight", "-2147483648"}, {"BMOffset", "2147483647"}, {"BMDistance", "-2147483648"}},
         Resolved({{&J::BMSetting, 1}, {&J::BMHeight, INT32_MIN}, {&J::BMOffset, 2147483647},
                   {&J::BMDistance, INT32_MIN}})},
        // Numbers beyond 32 bits land outside every table however they are
        // narrowed (clamped or wrapped).
        {"beyond 32 bits",
         {{"Cutting", "99999999999"}, {"Beeper", "-99999999999"}, {"FeedDist_B", "99999999999"}},
         Resolved({{&J::Cutting, 99}, {&J::Beeper, -99}, {&J::FeedDist_B, 99}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = Run(WritePpd(c.ppd), TwoPages());
        ExpectTwoPageJob(result, c.expected);
    }
}

// ImageAlgorithm, PrintRotate and BlankSpace outside their meaningful values:
// any ImageAlgorithm but 1 diffuses, any PrintRotate but 1 to 3 leaves the
// page unturned, any BlankSpace but 0 trims.
TEST_F(SettingsInputTest, ModeOptionsOutsideTheirValues) {
    // Two rows of grey 128 over two white rows: diffusion gives a checker,
    // the threshold nothing.
    const RasterPage page = GreyPage(4, 4, [](uint32_t, uint32_t y) { return y < 2 ? 128 : 255; });
    DotBitmap checker = DotBitmap::FromPicture({"# # ", " # #", "    ", "    "});
    const DotBitmap blank = DotBitmap::Blank(4, 4);
    const struct {
        const char* algorithm;
        const char* rotate;
        const char* blankSpace;
        std::string raster;
    } cases[] = {
        {"-5", "-90", "-3", ExpectedBytes().AddBands(checker, 2).Bytes()},
        {"99", "90", "2", ExpectedBytes().AddBands(checker, 2).Bytes()},
        {"2147483647", "-2147483648", "-2147483648", ExpectedBytes().AddBands(checker, 2).Bytes()},
        {"0", "2147483647", "0", Raster(checker)},
        {"1", "4", "0", Raster(blank)},
        {"1", "-1", "7", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "ImageAlgorithm " << c.algorithm << ", PrintRotate " << c.rotate
                                        << ", BlankSpace " << c.blankSpace);
        const ProcessResult result = Run(
            WritePpd({{"ImageAlgorithm", c.algorithm}, {"PrintRotate", c.rotate}, {"BlankSpace", c.blankSpace}}),
            {page});
        EXPECT_EQ(DescribeDifference(NormalJob(JobOptions(), {c.raster}), result.out), "");
        EXPECT_EQ(result.err, PageMessages({1}));
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

std::string SizeLine(float width, float height) {
    char text[128];
    snprintf(text, sizeof text, "pageWidth = %f pageHeight = %f", static_cast<double>(width),
             static_cast<double>(height));
    return text;
}

// PageSize keywords that do not read as X<width>MMY<height>MM, or only in
// part: the page size is 0 (or what the digits give) and the job prints.
TEST_F(SettingsInputTest, PageSizeThatDoesNotParse) {
    const struct {
        const char* name;
        PpdContents ppd;
        float width;
        float height;
    } cases[] = {
        {"X", JobPpd({}, "X"), 0.0f, 0.0f},
        {"XY", JobPpd({}, "XY"), 0.0f, 0.0f},
        {"X80MMY", JobPpd({}, "X80MMY"), 0.0f, 0.0f},
        {"XMMYMM", JobPpd({}, "XMMYMM"), 0.0f, 0.0f},
        {"XDDDMMYDMM", JobPpd({}, "XDDDMMYDMM"), 0.0f, 0.0f},
        {"X1D2D3MMY4D5D6MM", JobPpd({}, "X1D2D3MMY4D5D6MM"), 1.2f, 4.5f},
        {"XD5MMYD25MM", JobPpd({}, "XD5MMYD25MM"), 0.5f, 0.25f},
        {"X-80MMY200MM", JobPpd({}, "X-80MMY200MM"), 0.0f, 0.0f},
        {"X80mmY200mm", JobPpd({}, "X80mmY200mm"), 0.0f, 0.0f},
        {"X80MMY200MMM", JobPpd({}, "X80MMY200MMM"), 80.0f, 200.0f},
        {"empty default", {20, {PpdOption{"PageSize", "", {"X80MMY200MM"}}}}, 0.0f, 0.0f},
    };
    const std::vector<RasterPage> pages = TwoPages();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> trace;
        const ProcessResult result = RunTraced(WritePpd(c.ppd), EncodeRasterStream(pages), "", &trace);
        ExpectTwoPageJob(result, JobOptions());
        EXPECT_EQ(LineStartingWith(trace, "pageWidth = "), SizeLine(c.width, c.height));
    }
}

// The lines every test PPD file begins with, before its options.
std::string PpdPreamble() { return BuildPpd(PpdContents{}); }

std::string PickOne(const std::string& keyword, const std::string& defaultChoice,
                    const std::vector<std::string>& choices, bool closed = true) {
    std::string text = "*OpenUI *" + keyword + "/" + keyword + ": PickOne\n*Default" + keyword + ": " +
                       defaultChoice + "\n";
    for (const std::string& choice : choices) text += "*" + keyword + " " + choice + "/" + choice + ": \"\"\n";
    if (closed) text += "*CloseUI: *" + keyword + "\n";
    return text;
}

// Files libcups refuses as PPD files: the filter names the file in one
// "ERROR: " line and stops before any printer byte.
TEST_F(SettingsInputTest, FilesThatAreNoPpd) {
    const std::string rasterAsPpd = dir_.Write("raster.ppd", EncodeRasterStream(TwoPages()));
    const std::string binary = dir_.Write("binary.ppd", std::string("\x00\x01\x02\xFF\xFEPPD", 8));
    const std::string bom = dir_.Write("bom.ppd", "\xEF\xBB\xBF" + PpdPreamble());
    const std::string plain = dir_.Write("plain.txt", PpdPreamble());
    const std::string junkLine = dir_.Write("junk.ppd", PpdPreamble() + std::string("\x01\x02\xFF\xFE\x7F junk\n", 11));
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"a raster stream", rasterAsPpd},
        {"binary bytes", binary},
        {"a byte-order mark before the first line", bom},
        {"a line of control bytes", junkLine},
        {"/dev/null", "/dev/null"},
        {"a path through a regular file", plain + "/test.ppd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = Run(c.path, TwoPages());
        EXPECT_EQ(result.err.rfind("ERROR: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("PPD"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.path), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line expected: " << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
    }
}

// Damaged PPD files that libcups still opens: the filter reads what libcups
// makes of them. The job asks for Cutting 7 and Beeper 5 in each.
TEST_F(SettingsInputTest, DamagedPpdFilesThatStillOpen) {
    std::vector<std::string> thousands;
    for (int n = 0; n < 2000; ++n) thousands.push_back(std::to_string(n));
    using J = JobOptions;
    const struct {
        const char* name;
        std::string text;
        JobOptions expected;
    } cases[] = {
        // The open quote runs to the end of the file: choice 7 and the
        // Beeper option are swallowed by it.
        {"unbalanced quote",
         PpdPreamble() + "*OpenUI *Cutting/Cutting: PickOne\n*DefaultCutting: 1\n*Cutting 1/1: \"\n" +
             "*Cutting 7/7: \"\"\n*CloseUI: *Cutting\n" + PickOne("Beeper", "3", {"3", "5"}),
         Resolved({{&J::Cutting, 1}})},
        {"no CloseUI", PpdPreamble() + PickOne("Cutting", "1", {"1", "7"}, false) + PickOne("Beeper", "3", {"3", "5"}),
         Resolved({{&J::Cutting, 7}, {&J::Beeper, 5}})},
        {"an option twice", PpdPreamble() + PickOne("Cutting", "1", {"1"}) + PickOne("Cutting", "9", {"9", "7"}),
         Resolved({{&J::Cutting, 7}})},
        {"2000 choices", PpdPreamble() + PickOne("Cutting", "1700", thousands), Resolved({{&J::Cutting, 7}})},
        // A line that begins with a zero byte reads as empty.
        {"a line of control bytes after a zero byte",
         PpdPreamble() + PickOne("Cutting", "1", {"1", "7"}) + std::string("\x00\x01\x02\xFF\xFE junk\n", 11) +
             PickOne("Beeper", "3", {"3"}),
         Resolved({{&J::Cutting, 7}, {&J::Beeper, 3}})},
        {"cut off inside an option", PpdPreamble() + PickOne("Beeper", "4", {"4", "5"}) + "*OpenUI *Cutting/Cut",
         Resolved({{&J::Beeper, 5}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = Run(dir_.Write("damaged.ppd", c.text), TwoPages(), "Cutting=7 Beeper=5");
        ExpectTwoPageJob(result, c.expected);
    }
}

// Option strings as libcups parses them: what it makes a choice of replaces
// the default; everything else leaves the default in force.
TEST_F(SettingsInputTest, MalformedAndEnormousOptionStrings) {
    const std::string ppd = WritePpd({{"Cutting", "1"}, {"FeedDist", "2"}, {"Beeper", "3"}, {"Logo", "4"}});
    using J = JobOptions;
    const JobOptions defaults = Resolved({{&J::Cutting, 1}, {&J::FeedDist, 2}, {&J::Beeper, 3}, {&J::Logo, 4}});
    auto with = [&](std::initializer_list<std::pair<std::optional<int32_t> J::*, int32_t>> values) {
        JobOptions options = defaults;
        for (const auto& [field, value] : values) options.*field = value;
        return options;
    };
    // A single argument may hold at most 128 KiB (less its terminating zero)
    // on Linux, so this is as enormous as an option string can get.
    constexpr size_t kLargest = 128 * 1024 - 1;
    // About 1,300 options of 100 bytes each (libcups grows its option list
    // one entry at a time, which the sanitizers make slow for many more).
    std::string manyOptions;
    for (int n = 0; manyOptions.size() < kLargest - 128; ++n) {
        manyOptions += "option" + std::to_string(n) + std::string(90, 'x') + "=" + std::to_string(n % 21) + " ";
    }
    manyOptions += "Cutting=7";
    const struct {
        const char* name;
        std::string options;
        JobOptions expected;
    } cases[] = {
        {"empty", "", defaults},
        {"blanks", "  ", defaults},
        {"=", "=", defaults},
        {"Cutting=", "Cutting=", defaults},
        {"open double quote", "Cutting=\"7", with({{&J::Cutting, 7}})},
        {"open single quote swallows the rest", "Cutting='7 Beeper=5", defaults},
        {"name without value", "Cutting=7 FeedDist", with({{&J::Cutting, 7}})},
        {"names in other case", "cutting=7 BEEPER=5", with({{&J::Cutting, 7}, {&J::Beeper, 5}})},
        {"the last of two wins", "Cutting=7 Cutting=5", with({{&J::Cutting, 5}})},
        {"a value without a name ends the list", "a=1 =2 Cutting=7", defaults},
        {"list value", "Cutting=7,8", defaults},
        {"braces", "Cutting={7}", defaults},
        {"two equals signs", "Cutting=7=8", defaults},
        {"no-prefix", "noCutting", defaults},
        {"a lone backslash", "\\", defaults},
        {"escaped digit", "Cutting=\\7", with({{&J::Cutting, 7}})},
        {"escaped blank", "Cutting=7\\ Beeper=5", defaults},
        {"blanks around =", "Cutting = 7", defaults},
        {"leading zero", "Cutting=07", defaults},
        {"128 KiB of digits", "Beeper=" + std::string(kLargest - 7, '9'), defaults},
        {"128 KiB in an open quote", "Cutting=\"" + std::string(kLargest - 9, 'a'), defaults},
        {"128 KiB of options, the last one ours", manyOptions, with({{&J::Cutting, 7}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = Run(ppd, TwoPages(), c.options);
        ExpectTwoPageJob(result, c.expected);
    }
}

}  // namespace
}  // namespace zelp::test
