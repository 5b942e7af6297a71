// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The command tables and the sequences that frame the job and every page,
// written out here byte by byte from the printer's command set.
#include <algorithm>
#include <optional>

#include "filter_harness.h"

namespace zelp::test {
namespace {

using FramingTest = FilterTest;

std::string B(std::initializer_list<int> bytes) { return ExpectedBytes().Add(bytes).Bytes(); }

// Two rows of an 8-dot page: F0 then 0F, each padded to 4 bytes.
RasterPage TinyPage() { return OneBitPicture({"####", "    ####"}); }
const std::string kTinyBands = B({0x1D, 0x76, 0x30, 0x00, 0x04, 0x00, 0x02, 0x00,  //
                                  0xF0, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00, 0x00});

// A complete two-page job, every byte written out.
TEST_F(FramingTest, TwoPageExampleJob) {
    const std::string ppd = WritePpd({{"FeedDist_B", "1"},
                                      {"CashDrawer", "1"},
                                      {"BMSetting", "0"},
                                      {"Logo", "2"},
                                      {"Logo_A", "0"},
                                      {"FeedDist", "6"},
                                      {"Cutting", "7"},
                                      {"Beeper", "3"}});
    const std::string page = B({0x1C, 0x70, 0x02, 0x00}) + kTinyBands +
                             B({0x1B, 0x64, 0x0A, 0x1B, 0x64, 0x04, 0x1B, 0x69});
    const std::string expected = B({0x1B, 0x40, 0x1B, 0x64, 0x01, 0x1B, 0x70, 0x00, 0x10, 0x32}) + page + page +
                                 B({0x1B, 0x42, 0x03, 0x01});
    const ProcessResult result = Run(ppd, {TinyPage(), TinyPage()});
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
    ExpectPagesPrinted(result, 2);
}

std::string Feed(int index) {
    static const int kLines[] = {0, 1, 2, 3, 4, 5, 10, 15, 20, 25, 30, 60, 90, 120, 150, 180, 210, 240};
    if (index >= 1 && index <= 17) return B({0x1B, 0x64, kLines[index]});
    if (index == 18) return B({0x1B, 0x64, 0xF0, 0x1B, 0x64, 0x1E});
    if (index == 19) return B({0x1B, 0x64, 0xF0, 0x1B, 0x64, 0x3C});
    return "";
}

// What one option value sends at each of the four framing points.
struct FramingCase {
    std::optional<int> value;  // none: the option is absent from the PPD file
    std::string jobStart;      // after ESC @
    std::string pageStart;
    std::string pageEnd;
    std::string jobEnd;
};

struct OptionCases {
    std::string option;
    std::vector<FramingCase> cases;
};

std::vector<OptionCases> FramingCases() {
    const std::string kCutHere[] = {
        "", "", "", "", "", "", "",                                            // 0 to 6
        B({0x1B, 0x64, 0x04, 0x1B, 0x69}), B({0x1B, 0x64, 0x04, 0x1B, 0x6D}),  // 7, 8
        B({0x0C, 0x1B, 0x69}), B({0x0C, 0x1B, 0x6D}),                          // 9, 10
        B({0x0E}), B({0x0E}),                                                  // 11, 12
        B({0x0E, 0x1B, 0x69}), B({0x0E, 0x1B, 0x6D}),                          // 13, 14
        ""};
    const std::string kCutAtEnd[] = {
        "",
        B({0x0E, 0x1B, 0x69}), B({0x0E, 0x1B, 0x6D}), B({0x0C, 0x1B, 0x69}), B({0x0C, 0x1B, 0x6D}),
        B({0x1B, 0x64, 0x04, 0x1B, 0x69}), B({0x1B, 0x64, 0x04, 0x1B, 0x6D}),
        "", "", "", "",
        B({0x1B, 0x69}), B({0x1B, 0x6D}),
        "", "", ""};
    OptionCases cutting{"Cutting", {}};
    for (int v = 0; v <= 15; ++v) cutting.cases.push_back({v, "", "", kCutHere[v], kCutAtEnd[v]});
    cutting.cases.push_back({16, "", "", "", ""});
    cutting.cases.push_back({std::nullopt, "", "", "", ""});

    OptionCases feedBefore{"FeedDist_B", {}};
    for (int v = 0; v <= 21; ++v) feedBefore.cases.push_back({v, Feed(v), "", "", ""});
    feedBefore.cases.push_back({31, "", "", "", ""});
    feedBefore.cases.push_back({32, "", "", "", ""});
    feedBefore.cases.push_back({std::nullopt, "", "", "", ""});
    OptionCases feedAfter{"FeedDist", {}};
    for (int v : {19, 0, 1, 6, 17, 18, 20, 31}) feedAfter.cases.push_back({v, "", "", Feed(v), ""});
    feedAfter.cases.push_back({std::nullopt, "", "", "", ""});

    OptionCases beeper{"Beeper", {}};
    for (int v = 0; v <= 16; ++v) {
        beeper.cases.push_back({v, "", "", "", v >= 1 && v <= 9 ? B({0x1B, 0x42, v, 0x01}) : ""});
    }
    beeper.cases.push_back({std::nullopt, "", "", "", ""});

    const std::string pin2 = B({0x1B, 0x70, 0x00, 0x10, 0x32});
    const std::string pin5 = B({0x1B, 0x70, 0x01, 0x10, 0x32});
    const std::string kDrawer[] = {"", pin2, pin5, pin2 + pin5, pin2, pin5, pin2 + pin5};
    OptionCases drawer{"CashDrawer", {}};
    for (int v = 0; v <= 8; ++v) {
        const std::string kick = v <= 6 ? kDrawer[v] : "";
        drawer.cases.push_back({v, v <= 3 ? kick : "", "", "", v >= 4 ? kick : ""});
    }
    drawer.cases.push_back({15, "", "", "", ""});
    drawer.cases.push_back({std::nullopt, "", "", "", ""});

    OptionCases logo{"Logo", {}};
    OptionCases logoAfter{"Logo_A", {}};
    for (int v = 0; v <= 16; ++v) {
        const std::string bytes = v >= 1 && v <= 8 ? B({0x1C, 0x70, v, 0x00}) : "";
        logo.cases.push_back({v, "", bytes, "", ""});
        logoAfter.cases.push_back({16 - v, "", "", 16 - v >= 1 && 16 - v <= 8 ? B({0x1C, 0x70, 16 - v, 0x00}) : "", ""});
    }
    logo.cases.push_back({std::nullopt, "", "", "", ""});
    logoAfter.cases.push_back({std::nullopt, "", "", "", ""});
    return {cutting, feedBefore, feedAfter, beeper, drawer, logo, logoAfter};
}

// Every value of every framing option on a two-page job. Each run sets one
// value of each option, so the run also shows the order in which the
// options' bytes follow each other at every framing point.
TEST_F(FramingTest, EachOptionAtItsFramingPoints) {
    const std::vector<OptionCases> options = FramingCases();
    size_t rounds = 0;
    for (const OptionCases& o : options) rounds = std::max(rounds, o.cases.size());
    for (size_t round = 0; round < rounds; ++round) {
        OptionDefaults defaults = {{"BlankSpace", "0"}};
        std::string chosen;
        FramingCase all;  // the bytes of every option at each point, in sending order
        auto pick = [&](const std::string& name) -> const FramingCase& {
            for (const OptionCases& o : options) {
                if (o.option == name) return o.cases[round % o.cases.size()];
            }
            return options[0].cases[0];
        };
        for (const OptionCases& o : options) {
            const FramingCase& c = pick(o.option);
            chosen += " " + o.option + "=" + (c.value ? std::to_string(*c.value) : "absent");
            if (c.value) defaults.emplace_back(o.option, std::to_string(*c.value));
        }
        all.jobStart = pick("FeedDist_B").jobStart + pick("CashDrawer").jobStart;
        all.pageStart = pick("Logo").pageStart;
        all.pageEnd = pick("Logo_A").pageEnd + pick("FeedDist").pageEnd + pick("Cutting").pageEnd;
        all.jobEnd = pick("Beeper").jobEnd + pick("CashDrawer").jobEnd + pick("Cutting").jobEnd;
        SCOPED_TRACE(chosen);

        const std::string page = all.pageStart + kTinyBands + all.pageEnd;
        const std::string expected = B({0x1B, 0x40}) + all.jobStart + page + page + all.jobEnd;
        const ProcessResult result = Run(WritePpd(defaults), {TinyPage(), TinyPage()});
        EXPECT_EQ(DescribeDifference(expected, result.out), "");
        ExpectPagesPrinted(result, 2);
    }
}

// A job without pages still sends the job-start and job-end commands.
TEST_F(FramingTest, JobWithoutPagesIsStillFramed) {
    const std::string ppd =
        WritePpd({{"FeedDist_B", "18"}, {"CashDrawer", "6"}, {"Beeper", "9"}, {"Cutting", "11"}, {"Logo", "1"}});
    const ProcessResult result = Run(ppd, std::string());
    const std::string pin2 = B({0x1B, 0x70, 0x00, 0x10, 0x32});
    const std::string pin5 = B({0x1B, 0x70, 0x01, 0x10, 0x32});
    EXPECT_EQ(Hex(result.out, 200), Hex(B({0x1B, 0x40, 0x1B, 0x64, 0xF0, 0x1B, 0x64, 0x1E}) +
                                             B({0x1B, 0x42, 0x09, 0x01}) + pin2 + pin5 + B({0x1B, 0x69}),
                                         200));
    EXPECT_EQ(result.err, "ERROR: No pages found!\n");
    EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
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
