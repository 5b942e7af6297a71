// Sending a page bitmap as GS v 0 raster blocks of at most 24 dot rows.
#ifndef ZELP_FILTER_RASTER_BANDS_H
#define ZELP_FILTER_RASTER_BANDS_H

#include <cups/raster.h>

#include <cstdint>

#include "zelp_settings.h"

// Dot rows per GS v 0 block: the most a block may hold.
constexpr int kBandRows = 24;
// Bytes before a block's rows: GS v 0 m xL xH yL yH.
constexpr int kBandHeaderBytes = 8;
// The width field is 16 bits: a wider row cannot be described.
constexpr int64_t kMaxBandRowBytes = 0xFFFF;

// Writes the first `rows` rows of the bitmap (each lDelta bytes) as GS v 0
// blocks to standard output, without a flush.
void WriteBitmapBands(const unsigned char* bitmap, int64_t lDelta, int32_t rows);

// Number of rows left to send: cy, less the trailing blank rows when
// BlankSpace is on.
int32_t RowsToSend(const unsigned char* bitmap, int64_t lDelta, int32_t cy, int32_t blankSpace);

// Number of blank rows at the top of the first `rows` rows that are left out
// when LeadingBlank is on: 0 when it is off or when the page has no dot.
int32_t LeadingRowsToSkip(const unsigned char* bitmap, int64_t lDelta, int32_t rows, int32_t leadingBlank);

// Caps the copies of each page (default: as many as the header asks for,
// up to 4,294,967,295); the fuzz harness keeps runs short with it.
void SetCopyLimit(uint64_t copies);

// Writes the page bitmap once per copy in the page header, flushing after
// each copy. Always returns 0.
int SendPageBitmap2Printer(const cups_page_header2_t* header, const ZELP_Init_Setting* settings,
                           const unsigned char* bitmap, const int64_t* cjBits, const int64_t* lDelta,
                           const int32_t* cx, const int32_t* cy);

#endif
