// Rendering one raster page into a 1-bit page bitmap (a set bit is a dot)
// and sending it.
#ifndef ZELP_FILTER_PAGE_IMAGE_H
#define ZELP_FILTER_PAGE_IMAGE_H

#include <cups/raster.h>

#include <cstdint>

#include "page_read.h"
#include "zelp_settings.h"

class CxImage;

// g_bitHelpMask[n] has its n lowest bits set.
extern const unsigned char g_bitHelpMask[8];

// Reads, renders and sends one page: 0 when its bitmap went out, 1 when the
// page could not be rendered (nothing of it sent).
int ZelpPrintImage(cups_raster_t* ras, cups_page_header2_t* header, ZELP_Init_Setting* settings);

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
