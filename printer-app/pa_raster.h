// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Printing through the page core: PAPPL's raster callbacks, and the same
// path for pages that this program lays out itself (pictures, test page).
#ifndef ZELP_PA_RASTER_H
#define ZELP_PA_RASTER_H

#include <cups/raster.h>
#include <pappl/pappl.h>

#include <cstdint>

#include "zelp_settings.h"

namespace zelp::pa {

struct Model;

// Logs an error when a job callback runs without its printer to itself.
void WarnUnguarded(pappl_job_t* job);

// Sets rstartjob .. rendjob in the driver data. The job's "copies" prints
// each page that many times as pages of their own, framed and cut, as
// CUPS hands copies to the filter; PAPPL leaves them to the driver.
void SetRasterCallbacks(pappl_pr_driver_data_t* data);

// Prints one page of 8-bit grey rows (0 black), `width` bytes each, as a
// job of its own through the same callbacks, the job's copies included.
bool PrintGreyPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, uint32_t width,
                   uint32_t height, const unsigned char* rows);

// The job's settings: its own options, else the printer's defaults, else
// the table's; every value that names no choice is logged and skipped.
void ResolveJobSettings(pappl_job_t* job, pappl_pr_options_t* options, const Model& model,
                        ZELP_Init_Setting* settings);

// How a page's lines are fitted to the head: the pixels kept from each
// line (a line wider than the head keeps its middle), and whether grey
// levels are inverted (8-bit black, 0 white).
struct LineFit {
    uint32_t offsetBytes = 0;  // first byte of the line that is kept
    uint32_t keptBytes = 0;    // bytes of the line handed on
    bool invert = false;
};

// The header handed to the core for an arriving page and how its lines
// are fitted: centred onto `headDots`, black turned into grey, no copies
// meaning one.
cups_page_header2_t FitPageHeader(const cups_page_header2_t& arriving, int headDots, LineFit* fit);

// Applies the fit to one arriving line; `out` holds fit.keptBytes.
void FitLine(const LineFit& fit, const unsigned char* line, unsigned char* out);

}  // namespace zelp::pa

#endif
