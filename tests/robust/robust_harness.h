// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Shared pieces of the bad-input tests of raster_to_ZELP: the printer bytes
// a job's options frame it with, from the tests' table of printer commands; pages
// and their expected dots; many runs at once; a look at a running child.
#ifndef ZELP_TESTS_ROBUST_ROBUST_HARNESS_H
#define ZELP_TESTS_ROBUST_ROBUST_HARNESS_H

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "filter_harness.h"

namespace zelp::test {

// The job's printer options as the PPD defaults give them; an option left
// empty is absent from the PPD file (value -1).
struct JobOptions {
    std::optional<int32_t> Cutting, FeedDist_B, FeedDist, Beeper, CashDrawer, Logo, Logo_A, ImageAlgorithm,
        BlankSpace, PrintRotate, BMSetting, BMHeight, BMOffset, BMDistance, Darkness, Speed;

    // The PPD defaults for the options that are present.
    OptionDefaults Defaults() const;

    // The bytes each framing point sends with these options, from the
    // tests' table of printer commands.
    std::string JobStart() const;
    std::string PageStart() const;
    std::string PageEnd() const;
    std::string JobEnd() const;
};

// ESC @: all that the job end sends after a cancellation.
std::string CancelledJobEnd();

// A whole job that was not cancelled: job start, each page framed around its
// raster (all copies; empty when the page was not sent), job end.
std::string NormalJob(const JobOptions& options, const std::vector<std::string>& rasters);

// "PAGE: n copies" for each page begun, then "INFO: Ready to print.", or
// "ERROR: No pages found!" when no page was begun.
std::string PageMessages(const std::vector<uint32_t>& copies);

// Dots of a 1-bit page as the printer gets them: the raster's set bits of
// its first `rows` lines (all lines when negative), rows beyond blank.
DotBitmap OneBitDots(const RasterPage& page, int32_t rows = -1);
// Dots of a page whose pixels are black or white only (8 bits: grey 0 or
// 255; 24 and 32 bits: the first three bytes all 0 or all 255), read from
// the first `pixelsPerLine` pixels of each of the first `rows` lines.
DotBitmap BlackWhiteDots(const RasterPage& page, int32_t rows = -1, int32_t pixelsPerLine = -1);

// The GS v 0 blocks of the bitmap, once per copy.
std::string Raster(const DotBitmap& bitmap, uint32_t copies = 1);

// Runs every launch to its end, `parallel` at a time. Each child's input
// must fit a pipe's buffer; the runs are independent and mostly process
// start-up, so the machine's cores share them.
std::vector<ProcessResult> RunMany(const std::vector<Launch>& launches, size_t parallel = 4);

// The one child of this process (the filter a RunningProcess started), or -1.
pid_t OnlyChildPid();
// True once process `pid` has a handler of its own for `sig`.
bool CatchesSignal(pid_t pid, int sig);

// Seed for a randomised case: ZELP_ROBUST_SEED when set (to replay a run),
// else a fresh one. Cases print it.
uint32_t RandomSeed();

// True when this build runs under the address and undefined-behaviour
// sanitizers, where every process start costs several times as much.
bool SanitizedBuild();

}  // namespace zelp::test

#endif
