// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// How soon printer bytes leave the filter while its input still arrives.
//
//   stream_latency FILTER PPD OPTIONS [rows-per-second] [height]
//   stream_latency --file RASTER FILTER PPD OPTIONS
//   stream_latency --declared FILTER PPD OPTIONS HEIGHT SENT
//
// Starts the filter with pipes on both ends, writes one 576-dot 8-bit page
// (dots in every row) into its input at a steady pace, and watches the
// output: for each GS v 0 block, the lag from the moment the row after its
// last row was written to the moment the block's last byte could be read.
// Prints one line of figures; the last block (which waits for the page end)
// is left out. With --file the filter reads a raster file instead, and the
// figure is when the first block could be read, against the whole run.
// With --declared the page header claims HEIGHT rows, SENT rows follow and
// the stream ends: the figure is the filter's peak resident memory.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "raster_gen.h"

namespace {

constexpr uint32_t kWidth = 576;
constexpr int kBandRows = 24;

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void SleepUntil(double when) {
    const double left = when - Now();
    if (left <= 0) return;
    timespec t;
    t.tv_sec = static_cast<time_t>(left);
    t.tv_nsec = static_cast<long>((left - static_cast<double>(t.tv_sec)) * 1e9);
    nanosleep(&t, nullptr);
}

// Grey ramps with a dark dot every few pixels: every row prints something.
zelp::RasterPage MakePage(uint32_t height) {
    zelp::RasterPage page = zelp::MakeFilledPage(kWidth, height, 8, 0xFF);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            page.data[size_t{y} * kWidth + x] = (x + y) % 7 == 0 ? 0 : static_cast<uint8_t>((x * 255) / kWidth);
        }
    }
    return page;
}

// In the child: the filter's messages would only clutter the figures.
void ToDevNull(int fd) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0) return;
    dup2(null, fd);
    close(null);
}

bool WriteAll(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

// Reads the filter's output as it comes and notes when each block was
// complete. The job starts with ESC @ and the page with nothing (the
// shipped defaults), so blocks follow one another from the first 1D 76.
void WatchOutput(int fd, std::vector<double>* blockDone, std::vector<int>* blockRows) {
    std::string seen;
    size_t at = std::string::npos;  // start of the next block header
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        const double when = Now();
        seen.append(buffer, static_cast<size_t>(n));
        if (at == std::string::npos) {
            at = seen.find(std::string("\x1D\x76\x30\x00", 4));
            if (at == std::string::npos) continue;
        }
        while (at + 8 <= seen.size() && seen.compare(at, 4, std::string("\x1D\x76\x30\x00", 4)) == 0) {
            const size_t rowBytes = static_cast<uint8_t>(seen[at + 4]) + 256u * static_cast<uint8_t>(seen[at + 5]);
            const int rows = static_cast<uint8_t>(seen[at + 6]);
            const size_t end = at + 8 + rowBytes * static_cast<size_t>(rows);
            if (end > seen.size()) break;
            blockDone->push_back(when);
            blockRows->push_back(rows);
            at = end;
        }
    }
}

// The filter on a raster file: when its first block is out, and when it ends.
int FirstBlock(const char* raster, const char* filter, const char* ppd, const char* options) {
    int out[2];
    if (pipe(out) != 0) return 1;
    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        setenv("PPD", ppd, 1);
        ToDevNull(2);
        execl(filter, filter, "1", "bench", "latency", "1", options, raster, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::vector<double> blockDone;
    std::vector<int> blockRows;
    WatchOutput(out[0], &blockDone, &blockRows);
    int status = 0;
    waitpid(pid, &status, 0);
    const double end = Now();
    if (blockDone.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "stream_latency: no blocks seen, or the filter failed\n");
        return 1;
    }
    printf("first block after %.1f ms of a %.1f ms run (%.0f%%)\n", 1e3 * (blockDone[0] - start), 1e3 * (end - start),
           100.0 * (blockDone[0] - start) / (end - start));
    return 0;
}

// A short stream that declares a long page: what it costs in memory.
int Declared(const char* filter, const char* ppd, const char* options, uint32_t height, uint32_t sent) {
    zelp::RasterPage page = MakePage(sent);
    page.header.cupsHeight = height;
    const std::string stream = zelp::EncodeRasterStream({page});
    int in[2];
    if (pipe(in) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        close(in[1]);
        ToDevNull(1);
        ToDevNull(2);
        setenv("PPD", ppd, 1);
        execl(filter, filter, "1", "bench", "latency", "1", options, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    WriteAll(in[1], stream.data(), stream.size());
    close(in[1]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    printf("%ld\n", usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && strcmp(argv[1], "--file") == 0) return FirstBlock(argv[2], argv[3], argv[4], argv[5]);
    if (argc == 7 && strcmp(argv[1], "--declared") == 0) {
        return Declared(argv[2], argv[3], argv[4], static_cast<uint32_t>(atol(argv[5])),
                        static_cast<uint32_t>(atol(argv[6])));
    }
    if (argc < 4) {
        fprintf(stderr, "usage: %s FILTER PPD OPTIONS [rows-per-second] [height]\n", argv[0]);
        return 2;
    }
    const double rate = argc > 4 ? atof(argv[4]) : 10000.0;
    const uint32_t height = argc > 5 ? static_cast<uint32_t>(atoi(argv[5])) : 4000;
    const zelp::RasterPage page = MakePage(height);
    const std::string stream = zelp::EncodeRasterStream({page});
    const size_t headerBytes = stream.size() - page.data.size();

    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        setenv("PPD", argv[2], 1);
        ToDevNull(2);
        execl(argv[1], argv[1], "1", "bench", "latency", "1", argv[3], static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::vector<double> blockDone;
    std::vector<int> blockRows;
    std::thread watcher(WatchOutput, out[0], &blockDone, &blockRows);

    // The filter has started (libraries loaded, PPD read) well before this.
    SleepUntil(Now() + 0.2);
    std::vector<double> rowWritten(height);
    WriteAll(in[1], stream.data(), headerBytes);
    const double start = Now();
    for (uint32_t y = 0; y < height; ++y) {
        SleepUntil(start + y / rate);
        WriteAll(in[1], stream.data() + headerBytes + size_t{y} * kWidth, kWidth);
        rowWritten[y] = Now();
    }
    close(in[1]);
    watcher.join();
    int status = 0;
    waitpid(pid, &status, 0);

    // Block k holds rows [first, first + rows); it is final once the row
    // after its last row has come.
    std::vector<double> lags;
    uint32_t first = 0;
    for (size_t k = 0; k + 1 < blockDone.size(); ++k) {
        const uint32_t following = first + static_cast<uint32_t>(blockRows[k]);
        if (following < height) lags.push_back(blockDone[k] - rowWritten[following]);
        first = following;
    }
    if (lags.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "stream_latency: no blocks seen, or the filter failed\n");
        return 1;
    }
    std::vector<double> sorted = lags;
    std::sort(sorted.begin(), sorted.end());
    printf("blocks %zu  lag ms: median %.2f  p99 %.2f  max %.2f  (rows written over %.0f ms)\n", blockDone.size(),
           1e3 * sorted[sorted.size() / 2], 1e3 * sorted[sorted.size() * 99 / 100], 1e3 * sorted.back(),
           1e3 * (rowWritten.back() - start));
    return 0;
}
