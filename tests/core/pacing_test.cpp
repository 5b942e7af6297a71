// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Paced output: the printing time read from a command stream, however it
// is split; which jobs are paced and at what speed and baud rate; and, on
// a clock of the test's own, a paced job's bytes arrive whole, no sooner
// than a second of printing ahead of a printer at the set speed and no
// later than that printer needs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "output_pacing.h"
#include "zelp_options.h"

namespace {

using Bytes = std::vector<unsigned char>;

// 1,000 dot rows a second: a dot row is a millisecond.
constexpr double kRowsPerSecond = 1000;

struct TimeCase {
    const char* name;
    Bytes stream;
    double seconds;
};

// Hand-counted: data bytes that look like commands (ESC i, LF) must not
// count as such.
const TimeCase kTimeCases[] = {
    {"raster rows", {0x1D, 0x76, 0x30, 0, 2, 0, 3, 0, 0x1B, 0x69, 0x0A, 0x0A, 0x1B, 0x69}, 0.003},
    {"ESC d at the default spacing", {0x1B, 0x64, 4}, 0.120},
    {"ESC 3 then ESC 2", {0x1B, 0x33, 10, 0x1B, 0x64, 2, 0x1B, 0x32, 0x1B, 0x64, 1}, 0.050},
    {"ESC J in dot rows, then in half dots", {0x1D, 0x50, 0, 203, 0x1B, 0x4A, 255, 0x1D, 0x50, 0, 101, 0x1B, 0x4A, 100},
     0.455},
    {"ESC @ brings the spacing back", {0x1B, 0x33, 5, 0x1B, 0x40, 0x0A}, 0.030},
    {"cuts", {0x1B, 0x69, 0x1B, 0x6D, 0x1D, 0x56, 66, 8}, 0.308},
    {"ESC * printed by its LF",
     {0x1B, 0x33, 24, 0x1B, 0x2A, 33, 2, 0, 0x0A, 0x0A, 0x1B, 0x64, 0x0A, 0x0A, 0x0A}, 0.024},
    {"GS ( L stored, then printed",
     {0x1D, 0x28, 0x4C, 12, 0, 48, 112, 48, 1, 1, 49, 8, 0, 2, 0, 0x0A, 0x0C, 0x1D, 0x28, 0x4C, 2, 0, 48, 50}, 0.002},
    {"status requests, drawer, beeper, black mark take no time",
     {0x10, 0x04, 1, 0x1D, 0x72, 1, 0x1D, 0x61, 0, 0x1B, 0x70, 0, 0x10, 0x32, 0x1B, 0x42, 3, 1,
      0x1F, 0x1B, 0x1F, 0x82, 4, 5, 6, 0x0A, 0x0A, 0x1D, 0x28, 0x4B, 2, 0, 0x32, 0x0A},
     0},
    {"stored logo", {0x1C, 0x70, 1, 0}, 0.064},
};

double TimeWhole(const Bytes& stream) {
    ZelpPrintTime time(kRowsPerSecond);
    double seconds = 0;
    EXPECT_EQ(time.Read(stream.data(), stream.size(), 1e9, &seconds), stream.size());
    return seconds;
}

TEST(PrintTime, CommandsAsTheHeadSpendsThem) {
    for (const TimeCase& c : kTimeCases) {
        EXPECT_NEAR(TimeWhole(c.stream), c.seconds, 1e-9) << c.name;
        // Split at every byte, and stopped early by a small time limit.
        ZelpPrintTime time(kRowsPerSecond);
        double seconds = 0;
        for (size_t at = 0; at < c.stream.size();) {
            at += time.Read(c.stream.data() + at, c.stream.size() - at, 1e-6, &seconds);
        }
        EXPECT_NEAR(seconds, c.seconds, 1e-9) << c.name << ", read in pieces";
    }
}

struct ForJobCase {
    const char* name;
    const char* uri;
    int32_t pacing;
    int32_t modelNumber;
    int32_t speedMm;  // the PaceSpeed amount, 0 for the model's
    bool paced;
    double rowsPerSecond;
    double baud;
};

const ForJobCase kForJobCases[] = {
    {"network printer, 80 mm model", "socket://10.0.0.5:9100", 1, 80, 0, true, 2000, 0},
    {"58 mm model", "usb://ZELP/Receipt", 1, 58, 0, true, 1200, 0},
    {"a speed chosen", "socket://10.0.0.5", 1, 80, 50, true, 400, 0},
    {"CUPS's serial spelling", "serial:/dev/ttyUSB0?baud=115200+bits=8+flow=hard", 1, 80, 0, true, 2000, 115200},
    {"the Printer Application's", "serial:///dev/rfcomm0?flow=xonxoff&baud=19200", 1, 80, 0, true, 2000, 19200},
    {"serial without a baud rate", "serial:/dev/ttyS0", 1, 80, 0, true, 2000, 9600},
    {"pacing off", "socket://10.0.0.5", 0, 80, 0, false, 0, 0},
    {"a file", "file:///tmp/out.prn", 1, 80, 0, false, 0, 0},
    {"no printer named (cupsfilter)", nullptr, 1, 80, 0, false, 0, 0},
    {"unknown model", "socket://10.0.0.5", 1, 12345, 0, false, 0, 0},
    {"unknown model, speed chosen", "socket://10.0.0.5", 1, 12345, 100, true, 800, 0},
};

TEST(PaceForJob, PacedJobsTheirSpeedAndLink) {
    const ZelpOption* speed = ZelpFindOptionByIppName("zelp-pacing-speed");
    ASSERT_NE(speed, nullptr);
    for (const ForJobCase& c : kForJobCases) {
        ZELP_Init_Setting settings{};
        settings.Pacing = c.pacing;
        settings.modelNumber = c.modelNumber;
        const ZelpChoice* choice = ZelpFindChoiceByAmount(*speed, c.speedMm);
        ASSERT_NE(choice, nullptr) << c.name;
        settings.PaceSpeed = choice->number;
        ZelpPace pace;
        ASSERT_EQ(ZelpPaceForJob(settings, c.uri, &pace), c.paced) << c.name;
        if (!c.paced) continue;
        EXPECT_EQ(pace.rowsPerSecond, c.rowsPerSecond) << c.name;
        EXPECT_EQ(pace.baud, c.baud) << c.name;
        EXPECT_GT(pace.bufferBytes, 0u) << c.name;
    }
}

// The test's clock: waiting moves it on at once.
struct FakeClock {
    double now = 1000;
    static double Now(void* c) { return static_cast<FakeClock*>(c)->now; }
    static void WaitUntil(void* c, double when) {
        auto* clock = static_cast<FakeClock*>(c);
        clock->now = std::max(clock->now, when);
    }
};

struct Arrival {
    double at;
    size_t bytes;  // written up to then, this write included
};

struct Printer {
    FakeClock* clock;
    Bytes got;
    std::vector<Arrival> arrivals;
    size_t failAfter = SIZE_MAX;
    static bool Write(void* c, const unsigned char* bytes, size_t count) {
        auto* p = static_cast<Printer*>(c);
        if (p->got.size() + count > p->failAfter) return false;
        p->got.insert(p->got.end(), bytes, bytes + count);
        p->arrivals.push_back({p->clock->now, p->got.size()});
        return true;
    }
};

struct PaceCase {
    const char* name;
    double baud;
    size_t bufferBytes;
    uint32_t rows;
    uint32_t rowBytes;
};

// Uniform raster, so the printer's progress is a straight line: one block
// header, then rows at the print speed, or at the link's pace where that
// is slower.
const PaceCase kPaceCases[] = {
    {"network, dense rows fill the buffer first", 0, 4096, 6000, 72},
    {"network, a large buffer: the second of printing first", 0, 1 << 20, 6000, 72},
    {"network, narrow rows", 0, 4096, 6000, 2},
    {"9,600 baud: the link is slower than the head", 9600, 4096, 255, 72},
    {"115,200 baud", 115200, 4096, 3000, 16},
};

TEST(PacedSink, SameBytesNeitherAheadNorLate) {
    for (const PaceCase& c : kPaceCases) {
        Bytes stream;
        for (uint32_t first = 0; first < c.rows; first += 255) {
            const uint32_t rows = std::min<uint32_t>(255, c.rows - first);
            const Bytes header = {0x1D, 0x76, 0x30, 0, static_cast<unsigned char>(c.rowBytes), 0,
                                  static_cast<unsigned char>(rows), 0};
            stream.insert(stream.end(), header.begin(), header.end());
            for (uint32_t i = 0; i < rows * c.rowBytes; ++i) stream.push_back(static_cast<unsigned char>(i * 7 + first));
        }
        FakeClock clock;
        const double start = clock.now;
        Printer printer{&clock, {}, {}};
        ZelpPace pace;
        pace.rowsPerSecond = kRowsPerSecond;
        pace.baud = c.baud;
        pace.bufferBytes = c.bufferBytes;
        ZelpPacedSink paced(pace, ZelpByteSink{&printer, Printer::Write}, ZelpClock{&clock, FakeClock::Now, FakeClock::WaitUntil});
        // Handed over as the core hands it: 64 KB at a time.
        for (size_t at = 0; at < stream.size(); at += 65536) {
            ASSERT_TRUE(paced.Sink().write(&paced, stream.data() + at, std::min<size_t>(65536, stream.size() - at)));
        }
        ASSERT_EQ(printer.got, stream) << c.name;

        // Bytes a second: of the head at the print speed, of the link.
        const double rowRate = kRowsPerSecond * (c.rowBytes + 8.0 / 255);
        const double linkRate = c.baud > 0 ? c.baud / 10 : 1e12;
        const double rate = std::min(rowRate, linkRate);
        const double allowedBytes = std::min(static_cast<double>(c.bufferBytes), rate * pace.leadSeconds);
        size_t before = 0;
        for (const Arrival& a : printer.arrivals) {
            // Where the head (or the link) is by now: the job keeps no more
            // than the lead ahead of it, and it never waits for bytes.
            const double done = (a.at - start) * rate;
            EXPECT_LE(static_cast<double>(a.bytes) - done, allowedBytes * 1.01 + 16) << c.name << " at " << a.at - start;
            EXPECT_GE(static_cast<double>(before) + c.rowBytes + 8, std::min(done, static_cast<double>(stream.size())))
                << c.name << " waited at " << a.at - start;
            before = a.bytes;
        }
        // The last bytes went while the head still had work: no later than
        // an unpaced job's printing would end.
        const double printEnd = static_cast<double>(stream.size()) / rate;
        EXPECT_LE(printer.arrivals.back().at - start, printEnd) << c.name;
        EXPECT_GE(printer.arrivals.back().at - start, printEnd - pace.leadSeconds - 0.2) << c.name;
    }
}

// For a sink that puts status requests between writes, every piece ends
// where a command ends: bands of 24 rows with feeds between, written in one
// piece as the core delivers them.
TEST(PacedSink, WholeCommandsKeepEveryPieceAtACommandEnd) {
    Bytes stream;
    std::vector<size_t> ends;
    for (int band = 0; band < 40; ++band) {
        const Bytes head = {0x1D, 0x76, 0x30, 0, 72, 0, 24, 0};
        stream.insert(stream.end(), head.begin(), head.end());
        for (int i = 0; i < 72 * 24; ++i) stream.push_back(static_cast<unsigned char>(i % 3 == 0 ? 0x1B : 0x10));
        ends.push_back(stream.size());
        stream.insert(stream.end(), {0x1B, 0x4A, 40});
        ends.push_back(stream.size());
    }
    FakeClock clock;
    Printer printer{&clock, {}, {}};
    ZelpPace pace;
    pace.rowsPerSecond = kRowsPerSecond;
    pace.bufferBytes = 4096;
    ZelpPacedSink paced(pace, ZelpByteSink{&printer, Printer::Write}, ZelpClock{&clock, FakeClock::Now, FakeClock::WaitUntil});
    paced.KeepCommandsWhole();
    ASSERT_TRUE(paced.Write(stream.data(), stream.size()));
    ASSERT_EQ(printer.got, stream);
    ASSERT_GT(printer.arrivals.size(), 20u);
    for (const Arrival& a : printer.arrivals) {
        EXPECT_TRUE(std::find(ends.begin(), ends.end(), a.bytes) != ends.end()) << "a piece ends at " << a.bytes;
    }
}

TEST(PacedSink, AFailedWriteEndsTheJob) {
    FakeClock clock;
    Printer printer{&clock, {}, {}};
    printer.failAfter = 100;
    ZelpPace pace;
    pace.rowsPerSecond = kRowsPerSecond;
    pace.bufferBytes = 64;
    ZelpPacedSink paced(pace, ZelpByteSink{&printer, Printer::Write}, ZelpClock{&clock, FakeClock::Now, FakeClock::WaitUntil});
    const Bytes blank(1000, 0);
    EXPECT_FALSE(paced.Write(blank.data(), blank.size()));
    EXPECT_LE(printer.got.size(), 100u);
}

}  // namespace
