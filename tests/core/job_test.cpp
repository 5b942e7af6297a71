// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The line-fed core: however a front end cuts a page into line chunks, and
// however many jobs run at once, a job's bytes are the same; a printer that
// stops taking bytes ends the job.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "zelp_job.h"
#include "zelp_options.h"

namespace {

struct Page {
    cups_page_header2_t header{};
    std::vector<unsigned char> data;
    uint32_t linesSent = 0;  // the rest never comes
};

struct Job {
    ZELP_Init_Setting settings{};
    std::vector<Page> pages;
};

struct Capture {
    std::string bytes;
    std::string messages;
    size_t failAfter = SIZE_MAX;  // bytes the printer takes before it stops
};

bool captureBytes(void* context, const unsigned char* bytes, size_t count) {
    Capture* capture = static_cast<Capture*>(context);
    if (capture->bytes.size() + count > capture->failAfter) {
        errno = ENOSPC;
        return false;
    }
    capture->bytes.append(reinterpret_cast<const char*>(bytes), count);
    return true;
}

void captureMessage(void* context, const char* line) {
    static_cast<Capture*>(context)->messages += line;
}

uint32_t pick(std::mt19937& rng, uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(rng);
}

// Noise over runs of white, so that blank rows at both ends and inside
// pages come up, at every depth and option the core treats differently.
Job RandomJob(std::mt19937& rng) {
    static const uint32_t kDepths[] = {1, 4, 8, 24, 32};
    int32_t values[kZelpOptionCount];
    for (size_t i = 0; i < kZelpOptionCount; ++i) {
        const ZelpOption& option = kZelpOptions[i];
        values[i] = option.choices[pick(rng, 0, static_cast<uint32_t>(option.choiceCount - 1))].number;
    }
    Job job;
    ZelpSettingsFromValues(values, 80, &job.settings);
    if (pick(rng, 0, 2) != 0) job.settings.PrintRotate = 0;  // most pages stream
    job.settings.Centering = static_cast<int32_t>(pick(rng, 0, 1));
    const uint32_t pages = pick(rng, 1, 3);
    for (uint32_t p = 0; p < pages; ++p) {
        Page page;
        cups_page_header2_t& h = page.header;
        h.cupsBitsPerPixel = kDepths[pick(rng, 0, 4)];
        h.cupsBitsPerColor = h.cupsBitsPerPixel == 1 ? 1 : 8;
        h.cupsWidth = pick(rng, 1, 300);
        h.cupsHeight = pick(rng, 1, 130);
        const uint32_t needed = (h.cupsWidth * h.cupsBitsPerPixel + 7) / 8;
        h.cupsBytesPerLine = pick(rng, 0, 3) == 0 ? pick(rng, 1, needed + 9) : needed;
        h.NumCopies = pick(rng, 0, 3);
        page.data.resize(size_t{h.cupsBytesPerLine} * h.cupsHeight);
        const uint8_t blank = h.cupsBitsPerPixel == 1 ? 0x00 : 0xFF;
        const uint32_t inkFrom = pick(rng, 0, h.cupsHeight), inkTo = pick(rng, inkFrom, h.cupsHeight);
        for (uint32_t y = 0; y < h.cupsHeight; ++y) {
            for (uint32_t i = 0; i < h.cupsBytesPerLine; ++i) {
                const bool ink = y >= inkFrom && y < inkTo && pick(rng, 0, 3) != 0;
                page.data[size_t{y} * h.cupsBytesPerLine + i] = ink ? static_cast<uint8_t>(rng()) : blank;
            }
        }
        page.linesSent = pick(rng, 0, 4) == 0 ? pick(rng, 0, h.cupsHeight) : h.cupsHeight;
        job.pages.push_back(page);
    }
    return job;
}

// Feeds the job as a front end would; `maxChunk` bounds the size of each
// hand-over (0: whole pages).
ZelpJobOutcome Feed(const Job& job, Capture* capture, uint32_t seed = 0, uint32_t maxChunk = 0) {
    std::mt19937 rng(seed);
    const ZelpJobIo io{{capture, captureBytes}, {nullptr, nullptr}, {capture, captureMessage}, {}};
    ZelpJob* z = ZelpStartJob(job.settings, io);
    for (const Page& page : job.pages) {
        const ZelpPageAction action = ZelpStartPage(z, page.header);
        if (action == ZelpPageAction::kStop) break;
        bool going = true;
        for (uint32_t y = 0; action == ZelpPageAction::kPrint && y < page.linesSent && going;) {
            const uint32_t count = maxChunk == 0 ? page.linesSent : std::min(pick(rng, 1, maxChunk), page.linesSent - y);
            going = ZelpPageLines(z, &page.data[size_t{y} * page.header.cupsBytesPerLine], count);
            y += count;
        }
        if (!going || !ZelpEndPage(z)) break;
    }
    return ZelpEndJob(z);
}

TEST(CoreJob, ChunksOfAnySizeGiveTheSameBytes) {
    std::mt19937 rng(20261207);
    for (int n = 0; n < 150; ++n) {
        const Job job = RandomJob(rng);
        Capture whole;
        Feed(job, &whole);
        for (const uint32_t maxChunk : {1u, 2u, 25u}) {
            SCOPED_TRACE("job " + std::to_string(n) + ", chunks of 1 to " + std::to_string(maxChunk) + " lines");
            Capture chunked;
            Feed(job, &chunked, static_cast<uint32_t>(n), maxChunk);
            ASSERT_EQ(chunked.bytes, whole.bytes);
            ASSERT_EQ(chunked.messages, whole.messages);
        }
    }
}

TEST(CoreJob, JobsInThreadsGiveTheirOwnBytes) {
    std::mt19937 rng(7);
    std::vector<Job> jobs;
    std::vector<Capture> alone(8);
    for (size_t i = 0; i < alone.size(); ++i) {
        jobs.push_back(RandomJob(rng));
        Feed(jobs[i], &alone[i]);
    }
    std::vector<Capture> together(jobs.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < jobs.size(); ++i) {
        threads.emplace_back([&, i] { Feed(jobs[i], &together[i], static_cast<uint32_t>(i), 3); });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(together[i].bytes, alone[i].bytes) << "job " << i;
        EXPECT_EQ(together[i].messages, alone[i].messages) << "job " << i;
    }
}

// Wherever the printer stops taking bytes, the job stops there: what it
// took is the start of the whole job, the rest is not made, one "ERROR: "
// says why, and no page is begun after it.
TEST(CoreJob, AFailedWriteEndsTheJob) {
    std::mt19937 rng(99);
    for (int n = 0; n < 40; ++n) {
        const Job job = RandomJob(rng);
        Capture whole;
        const ZelpJobOutcome full = Feed(job, &whole);
        if (whole.bytes.empty()) continue;
        Capture failing;
        failing.failAfter = pick(rng, 0, static_cast<uint32_t>(whole.bytes.size() - 1));
        const ZelpJobOutcome outcome = Feed(job, &failing, static_cast<uint32_t>(n), 7);
        SCOPED_TRACE("job " + std::to_string(n) + ", printer stops after " + std::to_string(failing.failAfter));
        EXPECT_TRUE(outcome.printerFailed);
        EXPECT_FALSE(full.printerFailed);
        EXPECT_LE(failing.bytes.size(), failing.failAfter);
        EXPECT_EQ(failing.bytes, whole.bytes.substr(0, failing.bytes.size()));
        const std::string error = "ERROR: Unable to write print data: " + std::string(strerror(ENOSPC)) + "\n";
        const size_t at = failing.messages.find(error);
        ASSERT_NE(at, std::string::npos) << failing.messages;
        EXPECT_EQ(failing.messages.substr(at + error.size()), "") << "nothing after the failure";
        EXPECT_EQ(failing.messages.substr(0, at), whole.messages.substr(0, at));
    }
}

// Band width (bytes) and the columns that hold a dot, over all GS v 0
// blocks of a job's bytes.
struct Columns {
    int64_t bandBytes = 0;
    std::set<int64_t> dots;
};
Columns DotColumns(const std::string& bytes) {
    Columns columns;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        if (bytes.compare(at, 4, std::string("\x1D\x76\x30\x00", 4)) != 0) {
            ++at;
            continue;
        }
        const int64_t width = static_cast<uint8_t>(bytes[at + 4]) | static_cast<uint8_t>(bytes[at + 5]) << 8;
        const int64_t rows = static_cast<uint8_t>(bytes[at + 6]);
        columns.bandBytes = width;
        for (int64_t i = 0; i < width * rows; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                if (static_cast<uint8_t>(bytes[at + 8 + i]) & (0x80 >> bit)) columns.dots.insert(i % width * 8 + bit);
            }
        }
        at += static_cast<size_t>(8 + width * rows);
    }
    return columns;
}

// With Centering on, a page narrower than the print head (576 dots on the
// 80 mm model, 384 on the 58 mm one) goes out as wide as the head, moved
// right by half of what it lacks; turned pages by their turned width. Off,
// or for a page as wide as the head, the bytes are those of today.
TEST(CoreJob, CentringPlacesNarrowPagesInTheMiddleOfTheHead) {
    const struct {
        const char* name;
        uint32_t width, height;
        int32_t rotate, model;
        int64_t bandBytes;
        std::set<int64_t> dots;
    } cases[] = {
        // (576 - 452) / 2 = 62
        {"452 wide on the 80 mm head", 452, 30, 0, 80, 72, {62, 62 + 451}},
        // Turned by 180: 42 wide, the page's columns 39 and 0 (repeated) at
        // 0, 39 and 40; (576 - 42) / 2 = 267.
        {"40 wide turned by 180", 40, 30, 2, 80, 72, {267, 267 + 39, 267 + 40}},
        // (384 - 300) / 2 = 42
        {"300 wide on the 58 mm head", 300, 30, 0, 58, 48, {42, 42 + 299}},
        {"452 wide is wider than the 58 mm head", 452, 30, 0, 58, 60, {0, 451}},
        {"576 wide fills the 80 mm head", 576, 30, 0, 80, 72, {0, 575}},
        {"unknown model", 452, 30, 0, 0, 60, {0, 451}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Job job;
        job.settings.BlankSpace = 1;
        job.settings.PrintRotate = c.rotate;
        job.settings.modelNumber = c.model;
        Page page;
        page.header.cupsBitsPerPixel = page.header.cupsBitsPerColor = 1;
        page.header.cupsWidth = c.width;
        page.header.cupsHeight = c.height;
        page.header.cupsBytesPerLine = (c.width + 7) / 8;
        page.header.NumCopies = 2;
        page.data.assign(size_t{page.header.cupsBytesPerLine} * c.height, 0);
        for (uint32_t y = 0; y < c.height; ++y) {  // a dot at the page's left and right edges
            page.data[y * page.header.cupsBytesPerLine] |= 0x80;
            page.data[y * page.header.cupsBytesPerLine + (c.width - 1) / 8] |= static_cast<uint8_t>(0x80 >> ((c.width - 1) % 8));
        }
        page.linesSent = c.height;
        job.pages.push_back(page);
        Capture off;
        Feed(job, &off);
        job.settings.Centering = 1;
        Capture on;
        Feed(job, &on);
        const Columns placed = DotColumns(on.bytes);
        EXPECT_EQ(placed.bandBytes, c.bandBytes);
        EXPECT_EQ(placed.dots, c.dots);
        if (*c.dots.begin() == 0) {
            EXPECT_EQ(on.bytes, off.bytes);  // not moved: today's bytes
        } else {
            EXPECT_NE(DotColumns(off.bytes).dots, c.dots);  // off: from the left edge
        }
    }
}

}  // namespace
