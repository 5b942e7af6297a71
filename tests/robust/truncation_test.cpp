// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// A two-page job whose stream ends early: at every byte of the sync word and
// of both page headers, and at chosen points in each page's pixel lines.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <random>

#include "robust_harness.h"

namespace zelp::test {
namespace {

using TruncationTest = FilterTest;

constexpr size_t kSyncBytes = 4;
constexpr size_t kHeaderBytes = sizeof(cups_page_header2_t);

// Options whose bytes show at every framing point.
JobOptions FramedOptions() {
    JobOptions options;
    options.FeedDist_B = 2;
    options.CashDrawer = 1;
    options.Logo = 3;
    options.Logo_A = 4;
    options.FeedDist = 5;
    options.Cutting = 11;  // 0E after each page, ESC i at job end
    options.Beeper = 2;
    options.BlankSpace = 0;  // blank rows are sent, so they can be seen
    options.ImageAlgorithm = 1;
    return options;
}

// Page 1: 8-bit, black and white dots in a slanted pattern. Page 2: 1-bit,
// random bits, two copies.
std::vector<RasterPage> TwoPages() {
    RasterPage grey = GreyPage(40, 6, [](uint32_t x, uint32_t y) { return (x + 3 * y) % 5 == 0 ? 0 : 255; });
    std::mt19937 random(5);
    RasterPage bits = MakeFilledPage(48, 5, 1, 0x00, 2);
    for (uint8_t& byte : bits.data) byte = static_cast<uint8_t>(random() | 0x01);
    return {grey, bits};
}

struct Outcome {
    std::string out;
    std::string err;
    int exitCode;
};

// What a stream cut after `cut` bytes prints: the pages whose header arrived
// whole, each with the lines that arrived in full and blank rows after.
Outcome OutcomeOfCut(const JobOptions& options, const std::vector<RasterPage>& pages, size_t cut) {
    std::vector<std::string> rasters;
    std::vector<uint32_t> copies;
    size_t at = kSyncBytes;
    for (const RasterPage& page : pages) {
        if (cut < at + kHeaderBytes) break;
        at += kHeaderBytes;
        const size_t bpl = page.header.cupsBytesPerLine;
        const size_t lines = std::min<size_t>(page.header.cupsHeight, (cut - at) / bpl);
        const auto rows = static_cast<int32_t>(lines);
        const DotBitmap dots = page.header.cupsBitsPerPixel == 1 ? OneBitDots(page, rows) : BlackWhiteDots(page, rows);
        rasters.push_back(Raster(dots, page.header.NumCopies));
        copies.push_back(page.header.NumCopies);
        at += page.data.size();
    }
    return {NormalJob(options, rasters), PageMessages(copies), copies.empty() ? 1 : 0};
}

// Header bytes worth a run each: the first and last 4, and the first and
// last byte of each field the filter reads.
bool StructuralHeaderByte(size_t i) {
    if (i < 4 || i >= kHeaderBytes - 4) return true;
    const size_t fields[] = {offsetof(cups_page_header2_t, NumCopies), offsetof(cups_page_header2_t, cupsWidth),
                             offsetof(cups_page_header2_t, cupsHeight), offsetof(cups_page_header2_t, cupsBitsPerColor),
                             offsetof(cups_page_header2_t, cupsBitsPerPixel),
                             offsetof(cups_page_header2_t, cupsBytesPerLine)};
    for (size_t field : fields) {
        if (i == field || i == field + 3) return true;
    }
    return false;
}

// Where the stream is cut: every byte of the sync word; in each header the
// structural bytes and `randomPerHeader` others drawn at random (every byte
// when that is 0); in each page's lines no data, inside the first line, the
// first line less one byte, the first line whole, the middle of a line, the
// last byte missing; and the whole stream.
std::vector<size_t> CutPoints(const std::vector<RasterPage>& pages, size_t randomPerHeader, std::mt19937* random) {
    std::vector<size_t> cuts;
    for (size_t c = 0; c < kSyncBytes; ++c) cuts.push_back(c);
    size_t at = kSyncBytes;
    for (const RasterPage& page : pages) {
        std::vector<size_t> others;
        for (size_t i = 0; i < kHeaderBytes; ++i) {
            if (randomPerHeader == 0 || StructuralHeaderByte(i)) {
                cuts.push_back(at + i);
            } else {
                others.push_back(at + i);
            }
        }
        std::shuffle(others.begin(), others.end(), *random);
        others.resize(std::min(others.size(), randomPerHeader));
        cuts.insert(cuts.end(), others.begin(), others.end());
        at += kHeaderBytes;
        const size_t bpl = page.header.cupsBytesPerLine;
        const size_t size = page.data.size();
        for (size_t offset : {size_t{0}, size_t{1}, bpl - 1, bpl, 2 * bpl + bpl / 2, size - 1}) cuts.push_back(at + offset);
        at += size;
    }
    cuts.push_back(at);
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

TEST_F(TruncationTest, TwoPageJobCutAnywhere) {
    const JobOptions options = FramedOptions();
    const std::string ppd = WritePpd(options.Defaults());
    const std::vector<RasterPage> pages = TwoPages();
    const std::string stream = EncodeRasterStream(pages);
    ASSERT_EQ(stream.size(), kSyncBytes + 2 * kHeaderBytes + pages[0].data.size() + pages[1].data.size());

    // Each run is mostly process start-up, so every header byte (3,600 runs)
    // is left to ZELP_ROBUST_EVERY_BYTE=1; by default a sample, drawn anew
    // each time.
    const char* everyByte = getenv("ZELP_ROBUST_EVERY_BYTE");
    const bool exhaustive = everyByte != nullptr && std::string(everyByte) == "1";
    const uint32_t seed = RandomSeed();
    std::mt19937 random(seed);
    const std::vector<size_t> cuts = CutPoints(pages, exhaustive ? 0 : SanitizedBuild() ? 16 : 120, &random);
    std::vector<Launch> launches;
    for (size_t cut : cuts) {
        Launch launch = LaunchFor(ppd);
        launch.stdinBytes = stream.substr(0, cut);
        launches.push_back(launch);
    }
    const std::vector<ProcessResult> results = RunMany(launches);
    ASSERT_EQ(results.size(), cuts.size());

    int failures = 0;
    for (size_t i = 0; i < cuts.size() && failures < 5; ++i) {
        const Outcome expected = OutcomeOfCut(options, pages, cuts[i]);
        const ProcessResult& result = results[i];
        const std::string difference = DescribeDifference(expected.out, result.out);
        const bool exitOk = result.exited && result.exitCode == expected.exitCode;
        if (difference.empty() && result.err == expected.err && exitOk) continue;
        ++failures;
        ADD_FAILURE() << "seed " << seed << ": stream cut after " << cuts[i] << " of " << stream.size() << " bytes\n"
                      << "  stdout: " << (difference.empty() ? "as expected" : difference) << "\n"
                      << "  stderr: \"" << result.err << "\", expected \"" << expected.err << "\"\n"
                      << "  status: " << result.Describe() << ", expected exit " << expected.exitCode;
    }
    std::cout << cuts.size() << " cut points" << (exhaustive ? ", every header byte" : ", header bytes sampled")
              << ", seed " << seed << "\n";
}

}  // namespace
}  // namespace zelp::test
