// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The whole page pipeline written plainly: libcups reads one line at a
// time into a page buffer, the plain per-pixel image operations convert it,
// and the bitmap is taken out byte by byte. What it produces is what the
// built filter must write, byte for byte.
#ifndef ZELP_TESTS_DIFFERENTIAL_PLAIN_PAGE_PIPELINE_H
#define ZELP_TESTS_DIFFERENTIAL_PLAIN_PAGE_PIPELINE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelp::test {

// The printer options that shape a page; -1 when the PPD file lacks the
// option. Every other printer option is taken to be absent, so the job
// is framed by ESC @ alone.
struct PageOptions {
    int32_t imageAlgorithm = -1;
    int32_t blankSpace = -1;
    int32_t printRotate = -1;
    int32_t leadingBlank = -1;
};

// One page as the plain pipeline saw it.
struct PlainPage {
    uint32_t numCopies = 0;
    uint32_t linesRead = 0;  // lines that arrived in full
    bool sent = false;       // a bitmap was taken out (and sent NumCopies times)
    int64_t lDelta = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    int32_t firstRowSent = 0;  // leading blank rows dropped
    int32_t rowsSent = 0;      // per copy, after leading and trailing blank rows are dropped
    size_t firstByte = 0;  // offset of the page's first band in the job's bytes
};

struct PlainJob {
    bool opened = false;  // the file opened as a raster stream
    std::string bytes;    // everything the filter should write to standard output
    std::vector<PlainPage> pages;

    // Which page, band and row the byte at `offset` belongs to.
    std::string Locate(size_t offset) const;
};

// Runs the pipeline on the raster stream in the file at `rasterPath`.
PlainJob RunPlainPipeline(const std::string& rasterPath, const PageOptions& options);

}  // namespace zelp::test

#endif
