// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The filter's entry: arguments, input, the PPD file, the page loop's end
// conditions, messages, exit status and cancellation.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "filter_harness.h"

namespace zelp::test {
namespace {

const std::string kUsage = "ERROR: raster_to_ZELP job-id user title copies options [file]\n";

// Options whose bytes show at job start and job end, so a run that sends
// nothing else is still visible.
const OptionDefaults kFramedJob = {{"FeedDist_B", "2"}, {"CashDrawer", "1"}, {"Beeper", "2"}, {"Cutting", "1"},
                                   {"BlankSpace", "0"}};
const std::string kFramedJobStart("\x1B\x40" "\x1B\x64\x02" "\x1B\x70\x00\x10\x32", 10);
const std::string kFramedJobEnd("\x1B\x42\x02\x01" "\x0E\x1B\x69", 7);

// A small 1-bit page whose bands are easy to write out: 16 rows of 72 bytes.
RasterPage SmallPage(uint8_t rowByte, uint32_t copies = 1) {
    RasterPage page = MakeFilledPage(576, 16, 1, rowByte, copies);
    return page;
}

DotBitmap BitmapOf(const RasterPage& page) {
    DotBitmap bitmap = DotBitmap::Blank(static_cast<int32_t>(page.header.cupsWidth),
                                        static_cast<int32_t>(page.header.cupsHeight));
    bitmap.bytes.assign(page.data.begin(), page.data.end());
    return bitmap;
}

using ArgCountTest = FilterTest;

TEST_F(ArgCountTest, WrongArgumentCountsPrintUsageAndFail) {
    const std::string ppd = WritePpd(kFramedJob);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"42", "tester", "receipt", "1"},
        {"42", "tester", "receipt", "1", "", "file", "extra"},
        {"42", "tester", "receipt", "1", "", "file", "extra", "more"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::Message() << args.size() + 1 << " arguments");
        Launch launch = LaunchFor(ppd);
        launch.args = args;
        launch.stdinBytes = EncodeRasterStream({SmallPage(0xFF)});
        const ProcessResult result = RunProcess(launch);
        EXPECT_EQ(result.err, kUsage);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
    }
}

TEST_F(ArgCountTest, MissingRasterFileIsReportedWithTheSystemText) {
    Launch launch = LaunchFor(WritePpd(kFramedJob));
    launch.args.push_back(dir_.File("no-such-file.ras"));
    const ProcessResult result = RunProcess(launch);
    EXPECT_EQ(result.err, "ERROR: Unable to open raster file - : No such file or directory\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
}

TEST_F(ArgCountTest, NamedRasterFilePrintsLikeStandardInput) {
    const std::string ppd = WritePpd(kFramedJob);
    const std::vector<RasterPage> pages = {SmallPage(0xA5)};
    const std::string rasterPath = dir_.File("job.ras");
    ASSERT_TRUE(WriteRasterFile(rasterPath, pages));

    Launch launch = LaunchFor(ppd);
    launch.args.push_back(rasterPath);
    launch.stdinBytes = "not raster";  // must not be read
    const ProcessResult fromFile = RunProcess(launch);

    Launch fromStdinFile = LaunchFor(ppd);
    fromStdinFile.stdinFile = rasterPath;
    const ProcessResult fromRedirection = RunProcess(fromStdinFile);

    const std::string expected =
        ExpectedBytes().AddRaw(kFramedJobStart).AddBands(BitmapOf(pages[0])).AddRaw(kFramedJobEnd).Bytes();
    EXPECT_EQ(DescribeDifference(expected, fromFile.out), "");
    ExpectPagesPrinted(fromFile, 1);
    EXPECT_EQ(DescribeDifference(expected, fromRedirection.out), "");
    ExpectPagesPrinted(fromRedirection, 1);
}

// Inputs that begin no page: the job is still framed, and the run fails.
TEST_F(ArgCountTest, InputsWithoutPagesFrameTheJobAndFail) {
    const std::string ppd = WritePpd(kFramedJob);
    RasterPage noLines = SmallPage(0xFF);
    noLines.header.cupsHeight = 0;
    noLines.data.clear();
    RasterPage noBytes = SmallPage(0xFF);
    noBytes.header.cupsBytesPerLine = 0;
    noBytes.data.clear();
    const struct {
        const char* name;
        std::string stream;
    } cases[] = {
        {"empty input", ""},
        {"not a raster stream", "This is a text file, not CUPS raster.\n"},
        {"sync word only", EncodeRasterStream({})},
        {"first header with cupsHeight 0", EncodeRasterStream({noLines, SmallPage(0xFF)})},
        {"first header with cupsBytesPerLine 0", EncodeRasterStream({noBytes, SmallPage(0xFF)})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = Run(ppd, c.stream);
        EXPECT_EQ(Hex(result.out), Hex(kFramedJobStart + kFramedJobEnd));
        EXPECT_EQ(result.err, "ERROR: No pages found!\n");
        EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
    }
}

TEST_F(ArgCountTest, SecondHeaderWithoutLinesEndsTheJobAfterTheFirstPage) {
    RasterPage first = SmallPage(0x3C);
    RasterPage stop = SmallPage(0xFF);
    stop.header.cupsHeight = 0;
    stop.data.clear();
    const ProcessResult result = Run(WritePpd(kFramedJob), {first, stop, SmallPage(0xFF)});
    const std::string expected =
        ExpectedBytes().AddRaw(kFramedJobStart).AddBands(BitmapOf(first)).AddRaw(kFramedJobEnd).Bytes();
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
    ExpectPagesPrinted(result, 1);
}

TEST_F(ArgCountTest, PageLineCarriesThePageNumberAndItsCopies) {
    const RasterPage first = SmallPage(0x81, 3);
    const RasterPage second = SmallPage(0x18, 1);
    const ProcessResult result = Run(WritePpd(kFramedJob), {first, second});
    EXPECT_EQ(result.err, "PAGE: 1 3\nPAGE: 2 1\nINFO: Ready to print.\n");
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    const std::string expected = ExpectedBytes()
                                     .AddRaw(kFramedJobStart)
                                     .AddBands(BitmapOf(first))
                                     .AddBands(BitmapOf(first))
                                     .AddBands(BitmapOf(first))
                                     .AddBands(BitmapOf(second))
                                     .AddRaw(kFramedJobEnd)
                                     .Bytes();
    EXPECT_EQ(DescribeDifference(expected, result.out), "");
}

// No usable PPD file: an error naming the problem, before any printer byte.
TEST_F(ArgCountTest, UnusablePpdFileStopsBeforeAnyOutput) {
    const std::string textFile = dir_.Write("notes.ppd", "These are not the options you are looking for.\n");
    const std::string emptyFile = dir_.Write("empty.ppd", "");
    const std::string missing = dir_.File("missing.ppd");
    const struct {
        const char* name;
        std::optional<std::string> ppd;  // none: PPD unset
        std::string pathInMessage;
    } cases[] = {
        {"PPD unset", std::nullopt, ""},
        {"PPD empty", std::string(), ""},
        {"missing file", missing, missing},
        {"text file", textFile, textFile},
        {"empty file", emptyFile, emptyFile},
        {"directory", dir_.Path(), dir_.Path()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Launch launch = LaunchFor("");
        launch.setEnv.clear();
        if (c.ppd) {
            launch.setEnv.emplace_back("PPD", *c.ppd);
        } else {
            launch.unsetEnv.push_back("PPD");
        }
        launch.stdinBytes = EncodeRasterStream({SmallPage(0xFF)});
        const ProcessResult result = RunProcess(launch);
        EXPECT_EQ(result.err.rfind("ERROR: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("PPD"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line expected: " << result.err;
        if (!c.pathInMessage.empty()) {
            EXPECT_NE(result.err.find(c.pathInMessage), std::string::npos) << result.err;
        }
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
    }
}

// SIGTERM while a page's lines are still arriving: that page goes out in
// full (every copy) without its page end, no later page is begun, and the
// job ends with ESC @ alone.
TEST_F(ArgCountTest, CancellationDuringAPageFinishesItAndEndsTheJob) {
    const std::string ppd = WritePpd({{"Logo", "2"},
                                      {"Logo_A", "1"},
                                      {"FeedDist", "2"},
                                      {"Cutting", "7"},
                                      {"Beeper", "3"},
                                      {"CashDrawer", "4"},
                                      {"BlankSpace", "0"}});
    const std::string pageStart("\x1C\x70\x02\x00", 4);
    const std::string pageEnd("\x1C\x70\x01\x00" "\x1B\x64\x02" "\x1B\x64\x04\x1B\x69", 12);
    const std::vector<RasterPage> pages = {MakeFilledPage(576, 100, 1, 0x11, 1), MakeFilledPage(576, 100, 1, 0x22, 2),
                                           MakeFilledPage(576, 100, 1, 0x33, 1)};
    const std::string stream = EncodeRasterStream(pages);

    for (size_t cancelled : {size_t{0}, size_t{1}}) {
        SCOPED_TRACE(testing::Message() << "SIGTERM during page " << cancelled + 1);
        // Stop the stream in the middle of a line some way into the page.
        const size_t cut = PageDataOffset(pages, cancelled) + 30 * 72 + 10;
        const std::string pageLine = "PAGE: " + std::to_string(cancelled + 1) + " " +
                                     std::to_string(pages[cancelled].header.NumCopies) + "\n";

        RunningProcess child;
        ASSERT_TRUE(child.Start(LaunchFor(ppd))) << child.Failure();
        ASSERT_TRUE(child.WriteStdin(stream.substr(0, cut)));
        ASSERT_TRUE(child.WaitForStderr(pageLine)) << child.Err();
        ASSERT_TRUE(child.Signal(SIGTERM));
        if (cancelled == 0) {
            // Only the rest of page 1, with the input left open: the filter
            // must end without asking for another page header.
            const size_t pageEnd = EncodeRasterStream({pages[0]}).size();
            ASSERT_TRUE(child.WriteStdin(stream.substr(cut, pageEnd - cut)));
            EXPECT_TRUE(child.WaitForOutputEnd()) << "the filter waited for more input";
        } else {
            child.WriteStdin(stream.substr(cut));  // the filter may stop reading before the end
        }
        const ProcessResult result = child.Finish();

        ExpectedBytes expected;
        expected.Add({0x1B, 0x40});  // job start: no feed, drawer kick only at job end
        std::string err;
        for (size_t page = 0; page <= cancelled; ++page) {
            expected.AddRaw(pageStart);
            for (uint32_t copy = 0; copy < pages[page].header.NumCopies; ++copy) {
                expected.AddBands(BitmapOf(pages[page]));
            }
            if (page < cancelled) expected.AddRaw(pageEnd);
            err += "PAGE: " + std::to_string(page + 1) + " " + std::to_string(pages[page].header.NumCopies) + "\n";
        }
        expected.Add({0x1B, 0x40});  // job end after a cancellation
        EXPECT_EQ(DescribeDifference(expected.Bytes(), result.out), "");
        EXPECT_EQ(result.err, err + "INFO: Ready to print.\n");
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
    }
}

// Runs the filter with standard output on a printer that takes nothing:
// /dev/full, or a pipe whose reader is gone (as a backend that has died
// leaves it), SIGPIPE ignored or at its default as the scheduler leaves it.
// Returns standard error and the status.
ProcessResult RunOnDeadPrinter(const Launch& launch, const std::string& rasterPath, bool closedPipe,
                               bool ignoreSigpipe) {
    ProcessResult result;
    int errPipe[2];
    if (pipe(errPipe) != 0) return result;
    const std::vector<std::string> env = ChildEnvironment(launch);
    const pid_t pid = fork();
    if (pid == 0) {
        ResetSignalsForChild();
        int out = -1;
        if (closedPipe) {
            int p[2];
            if (pipe(p) != 0) _exit(127);
            close(p[0]);
            out = p[1];
            if (ignoreSigpipe) signal(SIGPIPE, SIG_IGN);
        } else {
            out = open("/dev/full", O_WRONLY);
        }
        const int in = open(rasterPath.c_str(), O_RDONLY);
        if (out < 0 || in < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(errPipe[1], 2);
        std::vector<char*> argv = {const_cast<char*>(launch.program.c_str())};
        for (const std::string& a : launch.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        execve(launch.program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(errPipe[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(errPipe[0], buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<size_t>(n));
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

// A printer that takes no bytes ends the job: "ERROR: " with the reason,
// no page read, exit status 1.
TEST_F(ArgCountTest, AFailedWriteToThePrinterEndsTheJob) {
    const std::string raster = dir_.Write("job.ras", EncodeRasterStream({SmallPage(0x55), SmallPage(0xAA)}));
    const struct {
        const char* name;
        bool closedPipe;
        bool ignoreSigpipe;
        int error;
    } cases[] = {
        {"disk full", false, false, ENOSPC},
        {"closed pipe, SIGPIPE ignored", true, true, EPIPE},
        {"closed pipe, SIGPIPE at its default", true, false, EPIPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result =
            RunOnDeadPrinter(LaunchFor(WritePpd(kFramedJob)), raster, c.closedPipe, c.ignoreSigpipe);
        EXPECT_EQ(result.err, "ERROR: Unable to write print data: " + std::string(strerror(c.error)) + "\n");
        EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
    }
}

}  // namespace
}  // namespace zelp::test
