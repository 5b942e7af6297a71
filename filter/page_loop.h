// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The filter's page loop: page headers and lines from the raster stream,
// handed to the page core as they arrive.
#ifndef ZELP_FILTER_PAGE_LOOP_H
#define ZELP_FILTER_PAGE_LOOP_H

#include "raster_input.h"
#include "zelp_job.h"

// Feeds every page of the stream to the job, until the stream ends or the
// job is to stop.
void ZelpPrintFlow(RasterInput& input, ZelpJob* job);

// The whole job on the raster stream read from `fd`: job start, the page
// loop, job end.
ZelpJobOutcome PrintRasterJob(int fd, const ZELP_Init_Setting& settings, const ZelpJobIo& io);

#endif
