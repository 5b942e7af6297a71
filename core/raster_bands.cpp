// GS v 0 raster bit-image blocks, cut from the finished page bitmap.
#include "raster_bands.h"

#include <cstdio>
#include <cstring>

#include "debug.h"

namespace {

uint64_t g_copyLimit = UINT64_MAX;

// GS v 0 m xL xH yL yH: normal mode, no doubling; width and rows filled in.
const unsigned char kRasterBlockHeader[kBandHeaderBytes] = {0x1D, 0x76, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00};

void writeBand(const unsigned char* rows, int64_t lDelta, int rowCount) {
    unsigned char header[kBandHeaderBytes];
    memcpy(header, kRasterBlockHeader, sizeof header);
    header[4] = static_cast<unsigned char>(lDelta % 256);
    header[5] = static_cast<unsigned char>((lDelta / 256) % 256);
    header[6] = static_cast<unsigned char>(rowCount);
    fwrite(header, 1, sizeof header, stdout);
    fwrite(rows, 1, static_cast<size_t>(lDelta) * static_cast<size_t>(rowCount), stdout);
}

// Rows are whole 32-bit words (lDelta is a multiple of 4 for every page
// bitmap), looked at a word at a time; any tail byte by byte.
bool rowIsBlank(const unsigned char* row, int64_t lDelta) {
    int64_t i = 0;
    for (; i + 4 <= lDelta; i += 4) {
        uint32_t word;
        memcpy(&word, row + i, sizeof word);
        if (word != 0) return false;
    }
    for (; i < lDelta; ++i) {
        if (row[i] != 0) return false;
    }
    return true;
}

}  // namespace

void WriteBitmapBands(const unsigned char* bitmap, int64_t lDelta, int32_t rows) {
    int32_t row = 0;
    for (; rows - row >= kBandRows; row += kBandRows) {
        writeBand(bitmap + row * lDelta, lDelta, kBandRows);
    }
    if (rows > row) writeBand(bitmap + row * lDelta, lDelta, rows - row);
}

int32_t RowsToSend(const unsigned char* bitmap, int64_t lDelta, int32_t cy, int32_t blankSpace) {
    if (blankSpace == 0) return cy;
    int32_t blank = 0;
    while (blank < cy && rowIsBlank(bitmap + int64_t{cy - 1 - blank} * lDelta, lDelta)) ++blank;
    char text[512] = {};
    snprintf(text, sizeof text, "printLineCount=%d,pageEndBlankLines=%d", cy - blank, blank);
    Dbg_WriteStr(text);
    return cy - blank;
}

int32_t LeadingRowsToSkip(const unsigned char* bitmap, int64_t lDelta, int32_t rows, int32_t leadingBlank) {
    if (leadingBlank <= 0) return 0;
    int32_t blank = 0;
    while (blank < rows && rowIsBlank(bitmap + int64_t{blank} * lDelta, lDelta)) ++blank;
    // A page without a dot prints as it would without the option.
    if (blank == rows) return 0;
    char text[512] = {};
    snprintf(text, sizeof text, "pageStartBlankLines=%d", blank);
    Dbg_WriteStr(text);
    return blank;
}

void SetCopyLimit(uint64_t copies) {
    g_copyLimit = copies;
}

int SendPageBitmap2Printer(const cups_page_header2_t* header, const ZELP_Init_Setting* settings,
                           const unsigned char* bitmap, const int64_t* /*cjBits*/, const int64_t* lDelta,
                           const int32_t* /*cx*/, const int32_t* cy) {
    const int32_t printLineCount = RowsToSend(bitmap, *lDelta, *cy, settings->BlankSpace);
    const int32_t first = LeadingRowsToSkip(bitmap, *lDelta, printLineCount, settings->LeadingBlank);
    // A 64-bit counter: NumCopies 4,294,967,295 must end, not wrap.
    const uint64_t copies = header->NumCopies < g_copyLimit ? header->NumCopies : g_copyLimit;
    for (uint64_t copy = 1; copy <= copies; ++copy) {
        WriteBitmapBands(bitmap + first * *lDelta, *lDelta, printLineCount - first);
        fflush(stdout);
    }
    return 0;
}
