// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Shared pieces of the black-box tests of raster_to_ZELP: running the built
// filter on a PPD file and a raster stream, building pages, and reading the
// printer bytes and the trace back.
#ifndef ZELP_TESTS_FILTER_FILTER_HARNESS_H
#define ZELP_TESTS_FILTER_FILTER_HARNESS_H

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "expected_bytes.h"
#include "ppd_writer.h"
#include "process_runner.h"
#include "raster_gen.h"
#include "temp_dir.h"

namespace zelp::test {

// Option keyword and the keyword of its default choice.
using OptionDefaults = std::vector<std::pair<std::string, std::string>>;

// A PPD with the given options (choices 0 to 20 plus the default), every
// other printer option absent, and a PageSize option with the single choice
// `pageSize` as its default (no PageSize option when it is empty).
PpdContents JobPpd(const OptionDefaults& options, const std::string& pageSize = "X80MMY200MM");

// The filter's standard arguments with `options` as the option string.
std::vector<std::string> FilterArgs(const std::string& options = "");

// One GS v 0 block as found in the printer bytes.
struct Band {
    int64_t lDelta = 0;
    int rows = 0;
    std::string data;
};

// Reads consecutive GS v 0 blocks from `from` on; stops at the first byte
// that does not start one (or at a block cut short). Returns where it stopped.
size_t ParseBands(const std::string& bytes, size_t from, std::vector<Band>* bands);

// The offset in the stream of `pages` at which the line data of `pages[page]`
// begins (just after its header).
size_t PageDataOffset(const std::vector<RasterPage>& pages, size_t page);

// Pages from pixel functions.
// 1 bit: `dot(x, y)` true sets the raster bit (a dot); rows padded to bytes.
RasterPage OneBitPage(uint32_t width, uint32_t height, const std::function<bool(uint32_t, uint32_t)>& dot,
                      uint32_t copies = 1);
// 1 bit, from a picture: one string per row, '#' a set bit.
RasterPage OneBitPicture(const std::vector<std::string>& picture, uint32_t copies = 1);
// 8 bits: `grey(x, y)`, 0 black, 255 white.
RasterPage GreyPage(uint32_t width, uint32_t height, const std::function<uint8_t(uint32_t, uint32_t)>& grey);
// 4 bits: `level(x, y)` 0 to 15, the even pixel in the high half-byte.
RasterPage FourBitPage(uint32_t width, uint32_t height, const std::function<uint8_t(uint32_t, uint32_t)>& level);
// 24 or 32 bits: `pixel(x, y)` gives the bytes of the pixel in stream order
// (the first three, or all four).
using PixelBytes = std::array<uint8_t, 4>;
RasterPage ColourPage(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                      const std::function<PixelBytes(uint32_t, uint32_t)>& pixel);

// Lines of a trace file.
std::vector<std::string> TraceLines(const std::string& trace);
// The first line that starts with `prefix`, or "(no line starting with ...)".
std::string LineStartingWith(const std::vector<std::string>& lines, const std::string& prefix);

// The test fixture: a scratch directory, PPD files in it, and runs of the
// filter binary.
class FilterTest : public ::testing::Test {
protected:
    std::string WritePpd(const PpdContents& contents, const std::string& name = "test.ppd");
    std::string WritePpd(const OptionDefaults& options, const std::string& pageSize = "X80MMY200MM") {
        return WritePpd(JobPpd(options, pageSize));
    }

    // Runs the filter with the PPD and the stream on standard input.
    ProcessResult Run(const std::string& ppdPath, const std::string& stream, const std::string& options = "");
    ProcessResult Run(const std::string& ppdPath, const std::vector<RasterPage>& pages,
                      const std::string& options = "") {
        return Run(ppdPath, EncodeRasterStream(pages), options);
    }
    // As Run, with the trace written to a file whose lines land in `trace`.
    ProcessResult RunTraced(const std::string& ppdPath, const std::string& stream, const std::string& options,
                            std::vector<std::string>* trace);

    Launch LaunchFor(const std::string& ppdPath, const std::string& options = "") const;

    TempDir dir_;
};

// Expects a clean run that began `pages` pages of one copy each.
void ExpectPagesPrinted(const ProcessResult& result, int pages);

}  // namespace zelp::test

#endif
