// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The sequences that frame the job and every page, against the tests' own
// table of printer commands; the image commands byte by byte.
#include <algorithm>

#include "filter_harness.h"
#include "printer_commands.h"

namespace zelp::test {
namespace {

using FramingTest = FilterTest;

std::string B(std::initializer_list<int> bytes) { return ExpectedBytes().Add(bytes).Bytes(); }

// Two rows of an 8-dot page: F0 then 0F, each padded to 4 bytes.
RasterPage TinyPage() { return OneBitPicture({"####", "    ####"}); }
const std::string kTinyBands = B({0x1D, 0x76, 0x30, 0x00, 0x04, 0x00, 0x02, 0x00,  //
                                  0xF0, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00});

// A complete two-page job.
TEST_F(FramingTest, TwoPageExampleJob) {
    const wire::Values values = {{"FeedDist_B", 1}, {"CashDrawer", 1}, {"BMSetting", 0}, {"Logo", 2},
                                 {"Logo_A", 0},     {"FeedDist", 6},   {"Cutting", 7},   {"Beeper", 3}};
    OptionDefaults ppd;
    for (const auto& [keyword, value] : values) ppd.emplace_back(keyword, std::to_string(value));
    const std::string page =
        wire::At(wire::Point::kPageStart, values) + kTinyBands + wire::At(wire::Point::kPageEnd, values);
    const std::string expected =
        wire::Init() + wire::At(wire::Point::kJobStart, values) + page + page + wire::At(wire::Point::kJobEnd, values);
    const ProcessResult result = Run(WritePpd(ppd), {TinyPage(), TinyPage()});
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
    ExpectPagesPrinted(result, 2);
}

// Every framing option of the tests' command table at every choice, past
// its table and absent, on a two-page job. Each run sets one value of each
// option, so the run also shows the order in which the options' bytes
// follow each other at every framing point.
TEST_F(FramingTest, EachOptionAtItsFramingPoints) {
    std::vector<std::pair<std::string, std::vector<int32_t>>> tried;
    size_t rounds = 0;
    for (const std::string& keyword : wire::FramingOptions()) {
        std::vector<int32_t> values = {-1};
        const int32_t count = std::max(wire::ChoiceCount(keyword), 3);
        for (int32_t v = 0; v <= count + 1; ++v) values.push_back(v);
        values.push_back(31);
        values.push_back(255);
        rounds = std::max(rounds, values.size());
        tried.emplace_back(keyword, values);
    }
    for (size_t round = 0; round < rounds; ++round) {
        OptionDefaults ppd = {{"BlankSpace", "0"}};
        wire::Values values;
        std::string chosen;
        for (size_t i = 0; i < tried.size(); ++i) {
            const auto& [keyword, choices] = tried[i];
            // Offsets between the options, so that values meet in new pairs.
            const int32_t v = choices[(round + i) % choices.size()];
            chosen += " " + keyword + "=" + (v < 0 ? std::string("absent") : std::to_string(v));
            if (v < 0) continue;
            values[keyword] = v;
            ppd.emplace_back(keyword, std::to_string(v));
        }
        SCOPED_TRACE(chosen);
        const std::string page =
            wire::At(wire::Point::kPageStart, values) + kTinyBands + wire::At(wire::Point::kPageEnd, values);
        const std::string expected =
            wire::Init() + wire::At(wire::Point::kJobStart, values) + page + page + wire::At(wire::Point::kJobEnd, values);
        const ProcessResult result = Run(WritePpd(ppd), {TinyPage(), TinyPage()});
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        ExpectPagesPrinted(result, 2);
    }
}

// A job without pages still sends the job-start and job-end commands.
TEST_F(FramingTest, JobWithoutPagesIsStillFramed) {
    const wire::Values values = {{"FeedDist_B", 18}, {"CashDrawer", 6}, {"Beeper", 9}, {"Cutting", 11}, {"Logo", 1}};
    OptionDefaults ppd;
    for (const auto& [keyword, value] : values) ppd.emplace_back(keyword, std::to_string(value));
    const ProcessResult result = Run(WritePpd(ppd), std::string());
    EXPECT_EQ(Hex(result.out, 200),
              Hex(wire::Init() + wire::At(wire::Point::kJobStart, values) + wire::At(wire::Point::kJobEnd, values), 200));
    EXPECT_EQ(result.err, "ERROR: No pages found!\n");
    EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
}

// The tiny page in each image command, every byte written out; the
// default sends today's GS v 0 block. ESC *: line spacing 2 rows, 32
// columns of 3 bytes (the first row's dots in bit 7, the second's in bit
// 6), LF, and the default line spacing back after the page.
TEST_F(FramingTest, ImageCommands) {
    std::string columns;
    for (int x = 0; x < 32; ++x) columns += B({x < 4 ? 0x80 : x < 8 ? 0x40 : 0x00, 0x00, 0x00});
    const struct {
        const char* value;  // nullptr: the option is absent
        std::string bytes;
    } cases[] = {
        {nullptr, kTinyBands},
        {"0", kTinyBands},
        {"7", kTinyBands},
        {"1", B({0x1B, 0x33, 0x02, 0x1B, 0x2A, 0x21, 0x20, 0x00}) + columns + B({0x0A, 0x1B, 0x32})},
        {"2", B({0x1D, 0x28, 0x4C, 0x12, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x20, 0x00, 0x02, 0x00,  //
                 0xF0, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00,                                            //
                 0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x32})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "absent");
        OptionDefaults ppd = {{"BlankSpace", "0"}};
        if (c.value != nullptr) ppd.emplace_back("GraphicsCommand", c.value);
        const ProcessResult result = Run(WritePpd(ppd), {TinyPage(), TinyPage()});
        EXPECT_EQ(DescribeDifference(wire::Init() + c.bytes + c.bytes, result.out), "");
        ExpectPagesPrinted(result, 2);
    }
}

// Black-mark set-up at every page start, before the page's logo.
TEST_F(FramingTest, BlackMarkSetup) {
    auto full = [](int hL, int nL, int dH, int dL) {
        return B({0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44,        //
                  0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, hL,    //
                  0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, nL,   0x00,  //
                  0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, dH,   dL});
    };
    const std::string modeOnly = B({0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66});
    const struct {
        const char* name;
        OptionDefaults options;
        std::string bytes;
    } cases[] = {
        {"height 3, offset 10, distance 10", {{"BMSetting", "1"}, {"BMHeight", "3"}, {"BMOffset", "10"}, {"BMDistance", "10"}},
         full(0x08, 0x2D, 0x02, 0x8A)},
        {"parameters absent", {{"BMSetting", "1"}}, full(0x04, 0x22, 0x00, 0x64)},
        {"offset 221 wraps nL", {{"BMSetting", "1"}, {"BMOffset", "221"}}, full(0x04, 0x00, 0x00, 0x64)},
        {"distance 652", {{"BMSetting", "1"}, {"BMDistance", "652"}}, full(0x04, 0x22, 0x7F, 0xEE)},
        {"distance 1400 keeps low bytes", {{"BMSetting", "1"}, {"BMDistance", "1400"}}, full(0x04, 0x22, 0x12, 0x06)},
        {"distance -9", {{"BMSetting", "1"}, {"BMDistance", "-9"}}, full(0x04, 0x22, 0xFF, 0xD4)},
        {"height 300 wraps hL", {{"BMSetting", "1"}, {"BMHeight", "300"}}, full(0x31, 0x22, 0x00, 0x64)},
        {"mode only", {{"BMSetting", "2"}, {"BMHeight", "3"}, {"BMOffset", "10"}, {"BMDistance", "10"}}, modeOnly},
        {"off", {{"BMSetting", "0"}, {"BMHeight", "3"}}, ""},
        {"unknown setting 3", {{"BMSetting", "3"}, {"BMHeight", "3"}}, ""},
        {"setting absent", {{"BMHeight", "3"}, {"BMOffset", "10"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OptionDefaults options = c.options;
        options.emplace_back("Logo", "4");
        options.emplace_back("BlankSpace", "0");
        const std::string page = c.bytes + B({0x1C, 0x70, 0x04, 0x00}) + kTinyBands;
        const std::string expected = B({0x1B, 0x40}) + page + page + page;
        const ProcessResult result = Run(WritePpd(options), {TinyPage(), TinyPage(), TinyPage()});
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        ExpectPagesPrinted(result, 3);
    }
}

}  // namespace
}  // namespace zelp::test
