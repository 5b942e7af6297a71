// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "page_loop.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// Lines gathered per read: enough for long reads, few enough that the
// first rows of a page reach the printer early.
constexpr uint64_t kChunkBytes = 64 * 1024;

struct Free {
    void operator()(unsigned char* p) const { free(p); }
};

// Hands the page's lines to the job as they come. False when the job
// cannot go on.
bool FeedPage(RasterInput& input, ZelpJob* job, const cups_page_header2_t& header) {
    const uint32_t bytesPerLine = header.cupsBytesPerLine;
    if (bytesPerLine == 0 || header.cupsHeight == 0) return true;  // the core never begins such a page
    const uint32_t perChunk = static_cast<uint32_t>(std::max<uint64_t>(1, kChunkBytes / bytesPerLine));
    const uint32_t chunkLines = std::min(perChunk, header.cupsHeight);
    // Untouched until lines arrive: a page that declares long lines and
    // sends few costs what it sends.
    std::unique_ptr<unsigned char, Free> chunk(static_cast<unsigned char*>(malloc(uint64_t{chunkLines} * bytesPerLine)));
    if (chunk == nullptr) return true;  // the page prints blank, as lines that never came
    for (uint32_t got = 0; got < header.cupsHeight && !input.Ended();) {
        const uint32_t lines = input.ReadLines(chunk.get(), bytesPerLine, std::min(chunkLines, header.cupsHeight - got));
        if (lines > 0 && !ZelpPageLines(job, chunk.get(), lines)) return false;
        got += lines;
    }
    return true;
}

}  // namespace

void ZelpPrintFlow(RasterInput& input, ZelpJob* job) {
    cups_page_header2_t header;
    while (input.ReadHeader(&header)) {
        const ZelpPageAction action = ZelpStartPage(job, header);
        if (action == ZelpPageAction::kStop) break;
        if (action == ZelpPageAction::kSkip) {
            input.Skip(uint64_t{header.cupsBytesPerLine} * header.cupsHeight);
        } else if (!FeedPage(input, job, header)) {
            break;
        }
        if (!ZelpEndPage(job)) break;
    }
}

ZelpJobOutcome PrintRasterJob(int fd, const ZELP_Init_Setting& settings, const ZelpJobIo& io) {
    ZelpJob* job = ZelpStartJob(settings, io);
    if (job == nullptr) return ZelpJobOutcome{0, false};
    {
        RasterInput input(fd);
        ZelpPrintFlow(input, job);
        // The job ends before the stream closes, as the scheduler expects.
        return ZelpEndJob(job);
    }
}
