// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// No page may claim more memory than a buffer of 2^31 bytes: a small stream
// that declares an enormous page ends promptly, with little memory, the
// page refused and framed, and the job goes on with the next page.
#include <fstream>
#include <sstream>

#include "measured_run.h"
#include "robust_harness.h"

namespace zelp::test {
namespace {

using MemoryTest = FilterTest;

// Far below what any refused page would take, far above a filter that
// allocated nothing for the page (the sanitizers' own share included).
constexpr long kSmallRunKiB = 256 * 1024;
constexpr uint64_t kLimit = uint64_t{1} << 31;

JobOptions Options() {
    JobOptions options;
    options.Logo = 1;
    options.Logo_A = 2;
    options.FeedDist = 1;
    options.Beeper = 1;
    options.BlankSpace = 1;
    options.ImageAlgorithm = 1;
    return options;
}

// A page of `width` x `height` at `bpp` bits per pixel whose lines hold
// `bpl` bytes, with `lines` lines of data (fewer than the height leaves the
// stream short).
RasterPage Declared(uint32_t width, uint32_t height, uint32_t bpp, uint32_t bpl, uint32_t lines, uint8_t fill) {
    RasterPage page;
    page.header = MakePageHeader(1, 1, bpp);
    page.header.cupsWidth = width;
    page.header.cupsHeight = height;
    page.header.cupsBytesPerLine = bpl;
    page.data.assign(uint64_t{bpl} * lines, fill);
    return page;
}

const RasterPage& NextPage() {
    static const RasterPage page = OneBitPicture({"#### ####", "#  # #  #", "#### ####"});
    return page;
}

std::string Describe(const MeasuredResult& run) {
    std::ostringstream text;
    text << run.result.Describe() << ", peak resident memory " << run.maxRssKiB / 1024 << " MiB";
    return text.str();
}

MeasuredResult RunStream(const Launch& launchFor, const std::string& stream) {
    Launch launch = launchFor;
    launch.stdinBytes = stream;
    return RunMeasured(launch);
}

// Pages whose buffers would reach the limit: refused with one message,
// nothing of them sent, their page end still sent, and the stream read on.
TEST_F(MemoryTest, EnormousPagesAreRefusedWithLittleMemory) {
    const JobOptions options = Options();
    const struct {
        const char* name;
        RasterPage page;
        const char* rotate;
        // A page follows; else 4 KB of 0x55 follow the header (the page's
        // lines, and past them nothing libcups takes for a header).
        bool followed;
    } cases[] = {
        // 196,605 bytes a line: 196 GB declared, 4 KB sent.
        {"24 bits, 65535 x 1000000, the stream ends after 4 KB", Declared(65535, 1000000, 24, 196605, 0, 0), "0", false},
        // An image of 2^28 bytes a row, 8 rows: exactly 2^31 bytes.
        {"1 bit, 2^31 wide, 8 lines of 1 byte", Declared(0x80000000u, 8, 1, 1, 8, 0xFF), "0", true},
        // Unturned 2^26 bytes; turned, 4 bytes a row for 2^29 + 3 rows.
        // (A page after it would be turned as well.)
        {"1 bit, 2^29 wide, turned", Declared(0x20000000u, 1, 1, 1, 0, 0xFF), "1", false},
        // The 4-bit image stays below 2^31 bytes, its 8-bit grey image not.
        {"4 bits, 65536 x 32769, grey image too big", Declared(65536, 32769, 4, 1, 32769, 0x11), "0", true},
        // 24 bits, 2.2 GB as an image from 33 KB of lines of one pixel.
        {"24 bits, 65535 x 11000, lines of one pixel", Declared(65535, 11000, 24, 3, 11000, 0x00), "0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RasterPage page = c.page;
        std::string stream;
        if (c.followed) {
            stream = EncodeRasterStream({page, NextPage()});
        } else {
            stream = EncodeRasterStream({page}) + std::string(4096, '\x55');
        }
        ASSERT_LT(stream.size(), 64u * 1024u);
        JobOptions asked = options;
        asked.PrintRotate = std::stoi(c.rotate);
        const MeasuredResult run = RunStream(LaunchFor(WritePpd(asked.Defaults())), stream);

        std::vector<std::string> rasters = {""};
        std::string err = "PAGE: 1 1\nERROR: Unable to allocate memory\n";
        if (c.followed) {
            rasters.push_back(Raster(OneBitDots(NextPage())));
            err += "PAGE: 2 1\n";
        }
        EXPECT_EQ(DescribeDifference(NormalJob(options, rasters), run.result.out), "");
        EXPECT_EQ(run.result.err, err + "INFO: Ready to print.\n");
        EXPECT_TRUE(run.result.exited && run.result.exitCode == 0) << Describe(run);
        EXPECT_LT(run.maxRssKiB, kSmallRunKiB) << Describe(run);
    }
}

// Pages whose every buffer stays just below the limit pass the memory bound.
// These are too wide for a printer block, so they are refused after it, with
// a message of their own, without touching most of what they hold (the
// sanitizers do touch their shadow of it: an eighth of its 2 GiB).
TEST_F(MemoryTest, PagesJustBelowTheLimitPassTheBound) {
    const JobOptions options = Options();
    const struct {
        const char* name;
        RasterPage page;
        const char* rotate;
    } cases[] = {
        // 2^28 - 4 bytes a row, 8 rows: 2^31 - 32 bytes.
        {"1 bit, 2^31 - 32 wide, 8 lines", Declared(0x80000000u - 32, 8, 1, 1, 8, 0xFF), "0"},
        {"1 bit, 2^29 wide, not turned", Declared(0x20000000u, 1, 1, 1, 1, 0xFF), "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JobOptions asked = options;
        asked.PrintRotate = std::stoi(c.rotate);
        const MeasuredResult run =
            RunStream(LaunchFor(WritePpd(asked.Defaults())), EncodeRasterStream({c.page, NextPage()}));
        EXPECT_EQ(DescribeDifference(NormalJob(options, {"", Raster(OneBitDots(NextPage()))}), run.result.out), "");
        const std::string firstLine = "PAGE: 1 1\n";
        const std::string tooWide = "ERROR: Page is too wide to print";
        ASSERT_EQ(run.result.err.compare(0, firstLine.size(), firstLine), 0) << run.result.err;
        EXPECT_EQ(run.result.err.compare(firstLine.size(), tooWide.size(), tooWide), 0) << run.result.err;
        const size_t lineEnd = run.result.err.find('\n', firstLine.size());
        ASSERT_NE(lineEnd, std::string::npos);
        EXPECT_EQ(run.result.err.substr(lineEnd + 1), "PAGE: 2 1\nINFO: Ready to print.\n");
        EXPECT_TRUE(run.result.exited && run.result.exitCode == 0) << Describe(run);
        const long shadowKiB = SanitizedBuild() ? static_cast<long>(kLimit / 8 / 1024) : 0;
        EXPECT_LT(run.maxRssKiB, kSmallRunKiB + shadowKiB) << Describe(run);
    }
}

// A turned page is decided from its header as an unturned one is: a header
// alone (1,800 bytes) whose page would turn into rows too wide for a block
// is refused before anything of it is held, and one that turns into a
// printable page whose lines never came is blank without being rendered.
TEST_F(MemoryTest, TurnedPagesAreDecidedFromTheirHeader) {
    const JobOptions options = Options();
    const std::string stream = EncodeRasterStream({Declared(576, 932000, 32, 2304, 0, 0)});
    ASSERT_EQ(stream.size(), 1800u);
    const struct {
        int32_t rotate;
        const char* err;
    } cases[] = {
        {1, "PAGE: 1 1\nERROR: Page is too wide to print: its rows need 116504 bytes, the printer takes at most 65535\n"},
        {2, "PAGE: 1 1\n"},
        {3, "PAGE: 1 1\nERROR: Page is too wide to print: its rows need 116504 bytes, the printer takes at most 65535\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("PrintRotate " + std::to_string(c.rotate));
        JobOptions asked = options;
        asked.PrintRotate = c.rotate;
        const MeasuredResult run = RunStream(LaunchFor(WritePpd(asked.Defaults())), stream);
        EXPECT_EQ(DescribeDifference(NormalJob(options, {""}), run.result.out), "");
        EXPECT_EQ(run.result.err, std::string(c.err) + "INFO: Ready to print.\n");
        EXPECT_TRUE(run.result.exited && run.result.exitCode == 0) << Describe(run);
        EXPECT_LT(run.maxRssKiB, kSmallRunKiB) << Describe(run);
    }
}

// Memory the machine can hand out now, from /proc/meminfo; 0 when unknown.
uint64_t AvailableBytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:") return kib * 1024;
    }
    return 0;
}

// The page buffer itself at the limit: 2^15 lines of 2^16 bytes, each line
// 8 pixels of grey and the rest unused.
RasterPage PageOfLongLines(uint32_t height, const RasterPage& shown) {
    RasterPage page = Declared(8, height, 8, 1u << 16, 0, 0);
    for (uint32_t y = 0; y < shown.header.cupsHeight; ++y) {
        page.data.insert(page.data.end(), shown.data.begin() + y * 8, shown.data.begin() + (y + 1) * 8);
        page.data.insert(page.data.end(), (1u << 16) - 8, 0x00);
    }
    return page;
}

RasterPage ShownLines() {
    return GreyPage(8, 3, [](uint32_t x, uint32_t y) { return (x + y) % 2 == 0 ? 0 : 255; });
}

TEST_F(MemoryTest, PageBufferAtTheLimitIsRefused) {
    const JobOptions options = Options();
    ASSERT_EQ(uint64_t{1u << 16} * (1u << 15), kLimit);
    const MeasuredResult refused = RunStream(LaunchFor(WritePpd(options.Defaults())),
                                             EncodeRasterStream({PageOfLongLines(1u << 15, ShownLines())}));
    EXPECT_EQ(DescribeDifference(NormalJob(options, {""}), refused.result.out), "");
    EXPECT_EQ(refused.result.err, "PAGE: 1 1\nERROR: Unable to allocate memory\nINFO: Ready to print.\n");
    EXPECT_TRUE(refused.result.exited && refused.result.exitCode == 0) << Describe(refused);
    EXPECT_LT(refused.maxRssKiB, kSmallRunKiB) << Describe(refused);
}

// One line fewer prints: the lines that came, blank after (trimmed). This
// page really takes its 2 GiB, so the case needs that much memory free.
TEST_F(MemoryTest, PageBufferJustBelowTheLimitPrints) {
    if (AvailableBytes() < 3 * kLimit) {
        GTEST_SKIP() << "less than 6 GiB of memory free: the page just below the limit is not tried";
    }
    const JobOptions options = Options();
    const RasterPage shown = ShownLines();
    const MeasuredResult printed = RunStream(LaunchFor(WritePpd(options.Defaults())),
                                             EncodeRasterStream({PageOfLongLines((1u << 15) - 1, shown)}));
    EXPECT_EQ(DescribeDifference(NormalJob(options, {Raster(BlackWhiteDots(shown))}), printed.result.out), "");
    EXPECT_EQ(printed.result.err, PageMessages({1}));
    EXPECT_TRUE(printed.result.exited && printed.result.exitCode == 0) << Describe(printed);
    // The one big buffer, and not much besides (the sanitizers' shadow of it
    // included).
    EXPECT_LT(printed.maxRssKiB, static_cast<long>((kLimit + kLimit / 4) / 1024)) << Describe(printed);
}

}  // namespace
}  // namespace zelp::test
