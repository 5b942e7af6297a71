// Rendering one raster page into a 1-bit page bitmap (a set bit is a dot)
// and sending it.
#ifndef ZELP_FILTER_PAGE_IMAGE_H
#define ZELP_FILTER_PAGE_IMAGE_H

#include <cups/raster.h>

#include <cstdint>

#include "zelp_settings.h"

class CxImage;

// Default limit on each buffer a page needs: 2^31 bytes.
constexpr int64_t kPageBufferLimit = int64_t{1} << 31;

// Lowers (or restores) the per-buffer limit; the fuzz harness keeps runs small with it.
void SetPageBufferLimit(int64_t bytes);

// True when every buffer the page needs (page buffer, page image, turned,
// grey and two-level images, bitmap) stays below the limit.
bool PageBuffersFit(const cups_page_header2_t* header, int32_t printRotate);

// g_bitHelpMask[n] has its n lowest bits set.
extern const unsigned char g_bitHelpMask[8];

// Reads, renders and sends one page: 0 when its bitmap went out, 1 when the
// page could not be rendered (nothing of it sent).
int ZelpPrintImage(cups_raster_t* ras, cups_page_header2_t* header, ZELP_Init_Setting* settings);

// Reads the page's lines into one buffer (release with free()), or null
// after "ERROR: Unable to allocate memory". Lines the stream no longer holds
// are left blank: white at every depth, so that they print no dots.
unsigned char* CUPS_GetImageData(cups_raster_t* ras, const cups_page_header2_t* header);

// Turns, grey-reduces and two-levels the page image, then takes out its
// bitmap (release with free()), or null.
unsigned char* CxImageHandler(CxImage* image, const ZELP_Init_Setting* settings, int64_t* cjBits,
                              int64_t* lDelta, int32_t* cx, int32_t* cy);

// Copies the rows of a two-colour 1-bit image out so that a set bit is a
// dot and no bit right of the width is set. The geometry is filled in even
// when the result is null.
unsigned char* GetCxImageBinaryData(const ZELP_Init_Setting* settings, CxImage* image, int64_t* cjBits,
                                    int64_t* lDelta, int32_t* cx, int32_t* cy);

// Sets every bit of every row from bit position cx onwards.
void HandlerDiff2Blank(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy);

// Complements the first `length` bytes.
void ReveseBitmap(unsigned char* bitmap, int64_t length);

// Clears every bit of every row from bit position cx onwards.
void ClearBitsRightOfWidth(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy);

#endif
