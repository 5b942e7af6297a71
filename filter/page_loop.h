// The page loop: one page header after another until the stream ends, a
// header has no lines, or the job is cancelled.
#ifndef ZELP_FILTER_PAGE_LOOP_H
#define ZELP_FILTER_PAGE_LOOP_H

#include <cups/raster.h>

#include "zelp_settings.h"

// Returns the number of pages begun.
int ZelpPrintFlow(cups_raster_t* ras, ZELP_Init_Setting* settings);

#endif
