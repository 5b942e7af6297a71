// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// SIGTERM at random moments of a three-page job: the filter never dies of
// it, and whatever it had sent is a job that either ran to its end or was
// cancelled as the cancellation rules give.
#include <chrono>
#include <cmath>
#include <csignal>
#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "robust_harness.h"

namespace zelp::test {
namespace {

using CancelTest = FilterTest;

constexpr int kRuns = 60;

JobOptions Options() {
    JobOptions options;
    options.FeedDist_B = 1;
    options.CashDrawer = 6;  // both drawers at job end
    options.BMSetting = 2;
    options.Logo = 1;
    options.Logo_A = 2;
    options.FeedDist = 3;
    options.Cutting = 7;
    options.Beeper = 4;
    options.BlankSpace = 0;
    options.ImageAlgorithm = 1;
    return options;
}

// 1 bit with two copies, 8 bits, and 1 bit again: big enough that reading
// and rendering take a while, small enough for 60 runs.
std::vector<RasterPage> Pages() {
    std::mt19937 random(17);
    RasterPage first = MakeFilledPage(576, 300, 1, 0x00, 2);
    for (uint8_t& byte : first.data) byte = static_cast<uint8_t>(random());
    RasterPage second = GreyPage(576, 120, [](uint32_t x, uint32_t y) { return (x / 7 + y / 5) % 3 == 0 ? 0 : 255; });
    RasterPage third = MakeFilledPage(320, 200, 1, 0x00);
    for (uint8_t& byte : third.data) byte = static_cast<uint8_t>(random());
    return {first, second, third};
}

// One way a run may end: the bytes on standard output, the pages begun, and
// how much of the stream the filter must have read before the flag was set
// for it to end so. The signal goes out before the bytes past the cut are
// written, so an ending that needs more of the stream than the cut cannot be.
struct Ending {
    std::string name;
    std::string out;
    size_t pagesBegun;
    size_t bytesNeeded;
};

// Every ending the rules allow. The flag may be set before the job start
// (nothing of it sent), after it, while a page is read or rendered (its
// raster still goes out, its page end does not), after a page end (the loop
// stops there), or after the job end was begun (the job ends normally).
std::vector<Ending> AllowedEndings(const JobOptions& options, const std::vector<RasterPage>& pages,
                                   const std::vector<std::string>& rasters) {
    std::vector<Ending> endings;
    const std::string cancelled = CancelledJobEnd();
    endings.push_back({"cancelled before the job start", cancelled, 0, 0});
    endings.push_back({"cancelled before page 1", options.JobStart() + cancelled, 0, 0});
    std::string sent = options.JobStart();
    size_t read = 4;  // the sync word
    for (size_t page = 0; page < rasters.size(); ++page) {
        read += sizeof(cups_page_header2_t);
        sent += options.PageStart() + rasters[page];
        endings.push_back({"cancelled during page " + std::to_string(page + 1), sent + cancelled, page + 1, read});
        read += pages[page].data.size();
        sent += options.PageEnd();
        endings.push_back({"cancelled after page " + std::to_string(page + 1), sent + cancelled, page + 1, read});
    }
    endings.push_back({"not cancelled", sent + options.JobEnd(), rasters.size(), read});
    return endings;
}

TEST_F(CancelTest, SigtermAtRandomMoments) {
    const JobOptions options = Options();
    const std::string ppd = WritePpd(options.Defaults());
    const std::vector<RasterPage> pages = Pages();
    const std::string stream = EncodeRasterStream(pages);
    std::vector<std::string> rasters;
    std::vector<uint32_t> copies;
    for (const RasterPage& page : pages) {
        const DotBitmap dots = page.header.cupsBitsPerPixel == 1 ? OneBitDots(page) : BlackWhiteDots(page);
        rasters.push_back(Raster(dots, page.header.NumCopies));
        copies.push_back(page.header.NumCopies);
    }
    const std::vector<Ending> endings = AllowedEndings(options, pages, rasters);
    std::vector<size_t> pageEnds;
    for (size_t page = 1; page <= pages.size(); ++page) {
        pageEnds.push_back(EncodeRasterStream(std::vector<RasterPage>(pages.begin(), pages.begin() + page)).size());
    }

    const uint32_t seed = RandomSeed();
    std::cout << "seed " << seed << " (ZELP_ROBUST_SEED replays it)\n";
    std::mt19937 random(seed);
    std::map<std::string, int> seen;
    for (int run = 0; run < kRuns; ++run) {
        // Part of the stream, a pause, SIGTERM, then the rest. The signal is
        // sent once the filter's handler is in place: before that, SIGTERM
        // ends the filter as it ends any process, by the rules. The cut is
        // mostly anywhere; now and then the whole stream or the end of a
        // page (where the filter waits for the next header).
        const int kind = std::uniform_int_distribution<int>(0, 5)(random);
        size_t cut = std::uniform_int_distribution<size_t>(0, stream.size())(random);
        if (kind == 0) cut = stream.size();
        if (kind == 1) cut = pageEnds[std::uniform_int_distribution<size_t>(0, pageEnds.size() - 1)(random)];
        // Pauses spread evenly on a log scale from 10 us to 50 ms.
        const int pauseUs = static_cast<int>(std::exp(std::uniform_real_distribution<double>(std::log(10.0),
                                                                                             std::log(50000.0))(random)));
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", run " << run << ": SIGTERM " << pauseUs
                                        << " us after " << cut << " of " << stream.size() << " bytes");
        RunningProcess child;
        ASSERT_TRUE(child.Start(LaunchFor(ppd))) << child.Failure();
        const pid_t pid = OnlyChildPid();
        ASSERT_GT(pid, 0) << "cannot find the filter's process";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!CatchesSignal(pid, SIGTERM)) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the filter never installed its SIGTERM handler";
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        child.WriteStdin(stream.substr(0, cut));
        if (cut == stream.size()) child.CloseStdin();  // the job may end before the signal
        std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
        child.Signal(SIGTERM);
        child.WriteStdin(stream.substr(cut));  // the filter may stop reading before the end
        const ProcessResult result = child.Finish();

        ASSERT_TRUE(result.exited) << "the filter did not exit: " << result.Describe();
        const Ending* ending = nullptr;
        for (const Ending& candidate : endings) {
            if (candidate.out == result.out) ending = &candidate;
        }
        if (ending == nullptr) {
            // Name the allowed ending that shares the longest start with it.
            const Ending* nearest = &endings[0];
            size_t nearestCommon = 0;
            for (const Ending& candidate : endings) {
                size_t common = 0;
                while (common < candidate.out.size() && common < result.out.size() &&
                       candidate.out[common] == result.out[common]) {
                    ++common;
                }
                if (common > nearestCommon) {
                    nearestCommon = common;
                    nearest = &candidate;
                }
            }
            ADD_FAILURE() << "standard output is no allowed ending; nearest is \"" << nearest->name << "\": "
                          << DescribeDifference(nearest->out, result.out) << "\nstandard error: " << result.err;
            continue;
        }
        ++seen[ending->name];
        EXPECT_LE(ending->bytesNeeded, cut) << "\"" << ending->name << "\" needs " << ending->bytesNeeded
                                            << " bytes read before the signal, but only " << cut << " had been sent";
        if (ending->name == "not cancelled") {
            EXPECT_EQ(cut, stream.size()) << "the job ended before its input did";
        }
        const std::vector<uint32_t> begun(copies.begin(), copies.begin() + static_cast<std::ptrdiff_t>(ending->pagesBegun));
        EXPECT_EQ(result.err, PageMessages(begun)) << ending->name;
        EXPECT_EQ(result.exitCode, begun.empty() ? 1 : 0) << ending->name;
    }
    std::cout << "endings seen:";
    for (const auto& [name, count] : seen) std::cout << " " << name << " x" << count << ";";
    std::cout << "\n";
}

// A turned page sends nothing until all of it is rendered. Cancelled while
// its lines still come, it is left out whole: no raster and no page end,
// the job ended as a cancelled one.
TEST_F(CancelTest, TurnedPageWithoutABandIsLeftOut) {
    JobOptions options = Options();
    const RasterPage page = GreyPage(200, 300, [](uint32_t x, uint32_t y) { return (x + y) % 5 == 0 ? 0 : 255; });
    const std::string stream = EncodeRasterStream({page});
    const size_t cut = stream.size() / 2;  // inside the page's lines
    for (const int32_t rotate : {1, 2, 3}) {
        SCOPED_TRACE("PrintRotate " + std::to_string(rotate));
        options.PrintRotate = rotate;
        RunningProcess child;
        ASSERT_TRUE(child.Start(LaunchFor(WritePpd(options.Defaults())))) << child.Failure();
        const pid_t pid = OnlyChildPid();
        ASSERT_GT(pid, 0) << "cannot find the filter's process";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!CatchesSignal(pid, SIGTERM)) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the filter never installed its SIGTERM handler";
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        child.WriteStdin(stream.substr(0, cut));
        ASSERT_TRUE(child.WaitForStderr("PAGE: 1 1\n")) << "the page was never begun";
        child.Signal(SIGTERM);
        child.WriteStdin(stream.substr(cut));
        const ProcessResult result = child.Finish();
        EXPECT_EQ(DescribeDifference(options.JobStart() + options.PageStart() + CancelledJobEnd(), result.out), "");
        EXPECT_EQ(result.err, PageMessages({1}));
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

}  // namespace
}  // namespace zelp::test
