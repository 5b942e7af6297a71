// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The streaming route for pages that are not turned: each line becomes a
// grey row, then a row of dots, as soon as it arrives (error diffusion
// decides a row once the row below has come), and goes on to the bands.
// Nothing of the page is kept but a few rows.
#ifndef ZELP_CORE_PAGE_STREAM_H
#define ZELP_CORE_PAGE_STREAM_H

#include <cups/raster.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "raster_bands.h"
#include "ximarows.h"
#include "zelp_settings.h"

class StreamPage {
public:
    // `bands` takes the rows; lDelta is its row size.
    StreamPage(const cups_page_header2_t& header, const ZELP_Init_Setting& settings, int64_t lDelta,
               PageBands& bands);

    // The page's next lines, cupsBytesPerLine bytes each. Every row they
    // make final has reached the bands when this returns.
    void Lines(const unsigned char* lines, uint32_t count);
    // Lines that never came are blank; the last rows are decided and the
    // bands finished.
    void End();

private:
    void Line(const unsigned char* line);
    const unsigned char* ImageRow(const unsigned char* line);
    void Decided(int rows);

    cups_page_header2_t header_;
    int64_t lDelta_;
    int64_t width_;
    uint32_t bits_;
    uint16_t depth_;       // the depth the page image would store
    uint64_t imageBytes_;  // bytes of a line that land in an image row
    bool threshold_;
    PageBands& bands_;
    std::unique_ptr<CxFloydSteinbergRows> diffusion_;
    uint32_t got_ = 0;      // lines that came
    std::vector<unsigned char> imageRow_;  // a line as the page image would hold it
    std::vector<unsigned char> grey_;
    std::vector<unsigned char> dots_;      // decided rows, two at most
};

#endif
