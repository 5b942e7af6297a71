// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Raster input that cannot be read: files that cannot be opened, a file
// without read permission, a directory, an endless device, and standard
// input closed before the filter starts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "measured_run.h"
#include "robust_harness.h"

namespace zelp::test {
namespace {

using InputTest = FilterTest;

// Options whose bytes show at job start and job end.
JobOptions FramedOptions() {
    JobOptions options;
    options.FeedDist_B = 3;
    options.CashDrawer = 2;
    options.Beeper = 4;
    options.Cutting = 2;
    options.BlankSpace = 0;
    return options;
}

// The system's text for why `path` cannot be opened for reading, or an empty
// string when it can.
std::string OpenError(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        close(fd);
        return "";
    }
    return strerror(errno);
}

// Paths that cannot be opened whoever runs the test: the filter reports the
// system's reason, writes nothing on standard output and fails.
TEST_F(InputTest, RasterFileThatCannotBeOpened) {
    const std::string ppd = WritePpd(FramedOptions().Defaults());
    const std::string regular = dir_.Write("job.ras", EncodeRasterStream({MakeFilledPage(8, 2, 1, 0xFF)}));
    const std::string loop = dir_.File("loop");
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0) << strerror(errno);
    const std::string dangling = dir_.File("dangling");
    ASSERT_EQ(symlink(dir_.File("gone").c_str(), dangling.c_str()), 0) << strerror(errno);
    const std::vector<std::string> paths = {
        regular + "/page.ras",                         // through a regular file
        loop,                                          // a link to itself
        dangling,                                      // a link to nothing
        dir_.File(std::string(300, 'r')),              // a name longer than any file system takes
    };
    std::vector<Launch> launches;
    for (const std::string& path : paths) {
        Launch launch = LaunchFor(ppd);
        launch.args.push_back(path);
        launches.push_back(launch);
    }
    // Each run waits a second after its message: run them side by side.
    const std::vector<ProcessResult> results = RunMany(launches, launches.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].substr(0, 120));
        const std::string reason = OpenError(paths[i]);
        ASSERT_NE(reason, "") << "the path opens";
        EXPECT_EQ(results[i].err, "ERROR: Unable to open raster file - : " + reason + "\n");
        EXPECT_EQ(results[i].out, "");
        EXPECT_TRUE(results[i].exited && results[i].exitCode == 1) << results[i].Describe();
    }
}

TEST_F(InputTest, RasterFileWithoutReadPermission) {
    const std::string path = dir_.Write("locked.ras", EncodeRasterStream({MakeFilledPage(8, 2, 1, 0xFF)}));
    ASSERT_EQ(chmod(path.c_str(), 0), 0) << strerror(errno);
    const std::string reason = OpenError(path);
    if (reason.empty()) {
        GTEST_SKIP() << "this test runs with the right to read any file (as root): a file without read "
                        "permission still opens, so the case cannot be made here";
    }
    Launch launch = LaunchFor(WritePpd(FramedOptions().Defaults()));
    launch.args.push_back(path);
    const ProcessResult result = RunProcess(launch);
    EXPECT_EQ(result.err, "ERROR: Unable to open raster file - : " + reason + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
}

// Inputs that open but hold no raster stream: the job is framed, no page is
// begun, and the run fails as for an empty stream.
TEST_F(InputTest, InputThatOpensButHoldsNoRaster) {
    const JobOptions options = FramedOptions();
    const std::string ppd = WritePpd(options.Defaults());
    Launch directoryArgument = LaunchFor(ppd);
    directoryArgument.args.push_back(dir_.Path());
    Launch directoryOnStdin = LaunchFor(ppd);
    directoryOnStdin.stdinFile = dir_.Path();
    Launch endlessZeros = LaunchFor(ppd);
    endlessZeros.args.push_back("/dev/zero");
    const struct {
        const char* name;
        Launch launch;
    } cases[] = {
        {"a directory named as the file", directoryArgument},
        {"a directory on standard input", directoryOnStdin},
        {"an endless stream of zero bytes", endlessZeros},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult result = RunProcess(c.launch);
        EXPECT_EQ(Hex(result.out), Hex(NormalJob(options, {})));
        EXPECT_EQ(result.err, PageMessages({}));
        EXPECT_TRUE(result.exited && result.exitCode == 1) << result.Describe();
    }
}

// Standard input closed before exec: without a file argument nothing can be
// read and no page is begun; with one, the file takes descriptor 0 and the
// job prints as usual.
TEST_F(InputTest, StandardInputClosed) {
    const JobOptions options = FramedOptions();
    const std::string ppd = WritePpd(options.Defaults());
    const RasterPage page = OneBitPicture({"# # # #", " # # # #"});
    const std::string rasterPath = dir_.Write("job.ras", EncodeRasterStream({page}));

    const MeasuredResult noFile = RunMeasured(LaunchFor(ppd), StdinMode::kClosed);
    EXPECT_EQ(Hex(noFile.result.out), Hex(NormalJob(options, {})));
    EXPECT_EQ(noFile.result.err, PageMessages({}));
    EXPECT_TRUE(noFile.result.exited && noFile.result.exitCode == 1) << noFile.result.Describe();

    Launch withFile = LaunchFor(ppd);
    withFile.args.push_back(rasterPath);
    const MeasuredResult named = RunMeasured(withFile, StdinMode::kClosed);
    EXPECT_EQ(DescribeDifference(NormalJob(options, {Raster(OneBitDots(page))}), named.result.out), "");
    EXPECT_EQ(named.result.err, PageMessages({1}));
    EXPECT_TRUE(named.result.exited && named.result.exitCode == 0) << named.result.Describe();
}

}  // namespace
}  // namespace zelp::test
