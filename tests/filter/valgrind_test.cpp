// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The filter under valgrind: no memory error and no leak on three-page jobs
// of every depth, a turned job, and a job whose pages fail to render.
#include <functional>
#include <ostream>

#include "filter_harness.h"

namespace zelp::test {
namespace {

RasterPage Gradient(uint32_t bpp, uint32_t width, uint32_t height) {
    switch (bpp) {
        case 1: return OneBitPage(width, height, [](uint32_t x, uint32_t y) { return (x * y) % 7 < 3; });
        case 4: return FourBitPage(width, height, [](uint32_t x, uint32_t y) { return (x + y) % 16; });
        case 8: return GreyPage(width, height, [](uint32_t x, uint32_t y) { return (x * 3 + y) % 256; });
        default:
            return ColourPage(width, height, bpp, [](uint32_t x, uint32_t y) {
                return PixelBytes{uint8_t(x), uint8_t(y * 2), uint8_t(x + y), uint8_t(x ^ y)};
            });
    }
}

struct ValgrindJob {
    const char* name;
    OptionDefaults options;
    std::function<std::vector<RasterPage>()> pages;
};

void PrintTo(const ValgrindJob& job, std::ostream* os) { *os << job.name; }

std::vector<RasterPage> FailingPages() {
    RasterPage truncated = Gradient(8, 120, 40);
    truncated.data.resize(truncated.data.size() / 3);
    return {MakeFilledPage(20, 4, 16, 0), MakeFilledPage(20, 4, 2, 0), truncated};
}

const ValgrindJob kJobs[] = {
    {"OneBit", {{"ImageAlgorithm", "0"}}, [] { return std::vector<RasterPage>{Gradient(1, 200, 50), Gradient(1, 64, 30), Gradient(1, 576, 24)}; }},
    {"FourBit", {{"ImageAlgorithm", "1"}}, [] { return std::vector<RasterPage>{Gradient(4, 200, 50), Gradient(4, 63, 30), Gradient(4, 1, 1)}; }},
    {"EightBit", {{"ImageAlgorithm", "0"}}, [] { return std::vector<RasterPage>{Gradient(8, 200, 50), Gradient(8, 65, 30), Gradient(8, 10, 3)}; }},
    {"TwentyFourBit", {{"ImageAlgorithm", "1"}}, [] { return std::vector<RasterPage>{Gradient(24, 200, 50), Gradient(24, 33, 30), Gradient(24, 5, 7)}; }},
    {"ThirtyTwoBit", {{"ImageAlgorithm", "0"}}, [] { return std::vector<RasterPage>{Gradient(32, 200, 50), Gradient(32, 31, 30), Gradient(32, 2, 2)}; }},
    {"Turned", {{"PrintRotate", "1"}, {"BMSetting", "1"}}, [] { return std::vector<RasterPage>{Gradient(8, 200, 50), Gradient(1, 64, 30), Gradient(32, 40, 20)}; }},
    {"FailingPages", {{"PrintRotate", "2"}}, FailingPages},
};

class ValgrindTest : public FilterTest, public ::testing::WithParamInterface<ValgrindJob> {};

TEST_P(ValgrindTest, ThreePageJobRunsCleanly) {
    const ValgrindJob& job = GetParam();
    OptionDefaults options = job.options;
    options.emplace_back("Cutting", "7");
    options.emplace_back("Beeper", "1");
    Launch launch = LaunchFor(WritePpd(options));
    launch.args.insert(launch.args.begin(), launch.program);
    launch.args.insert(launch.args.begin(), {"--leak-check=full", "--errors-for-leak-kinds=definite,indirect",
                                         "--error-exitcode=99"});
    launch.program = ZELP_VALGRIND;
    launch.stdinBytes = EncodeRasterStream(job.pages());
    const ProcessResult result = RunProcess(launch);
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe() << "\n" << result.err;
    EXPECT_NE(result.err.find("PAGE: 3 1\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("INFO: Ready to print.\n"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.substr(0, 2), "\x1B\x40");
}

INSTANTIATE_TEST_SUITE_P(Jobs, ValgrindTest, ::testing::ValuesIn(kJobs),
                         [](const ::testing::TestParamInfo<ValgrindJob>& info) { return info.param.name; });

}  // namespace
}  // namespace zelp::test
