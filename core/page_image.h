// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The whole-page route: a page gathered line by line into one page image,
// then turned, reduced to grey and to two levels by the image library and
// sent at its end. Turned pages take it: a turn needs every line first.
#ifndef ZELP_CORE_PAGE_IMAGE_H
#define ZELP_CORE_PAGE_IMAGE_H

#include <cups/raster.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "printer_output.h"
#include "zelp_job.h"
#include "zelp_settings.h"

class CxImage;

// g_bitHelpMask[n] has its n lowest bits set.
extern const unsigned char g_bitHelpMask[8];

class WholePage {
public:
    WholePage();
    ~WholePage();

    // Readies the page: its lines go into the page image, or for 32-bit
    // pages and lines longer than an image row into a page buffer, taken
    // when the first lines come. False after "ERROR: Unable to allocate
    // memory" when there is no room.
    bool Begin(const cups_page_header2_t& header, ZelpOutput& out);
    // The page's next lines, cupsBytesPerLine bytes each.
    void Lines(const unsigned char* lines, uint32_t count, ZelpOutput& out);
    // Lines that never came are blank; renders the page and sends its
    // bitmap, `copies` times. 0 when the bitmap went out, 1 when the page
    // could not be rendered, or was cancelled before its first band
    // (nothing of it sent either way): `cancel` is asked between the steps
    // of the rendering and, through the image, between its rows.
    int End(ZelpOutput& out, const ZELP_Init_Setting& settings, uint64_t copies, const ZelpCancelTest& cancel);

private:
    cups_page_header2_t header_{};
    std::unique_ptr<CxImage> image_;
    struct Free {
        void operator()(unsigned char* p) const { free(p); }
    };
    // Only when the lines cannot go straight into the image.
    std::unique_ptr<unsigned char, Free> pageBuffer_;
    bool Room(ZelpOutput& out);

    bool viaBuffer_ = false;
    bool failed_ = false;  // no room for the lines: the page is not sent
    uint32_t got_ = 0;     // lines that came
    ZelpCancelTest cancel_{};  // asked by the image between its rows
};

// Where the turned picture lies in Rotate's result of `width` x `height`
// for the page of `header`, inclusive: with its one repeated row and
// column, it ends one short of the result's right and bottom edges. The
// rows and columns around it are the margin that the turn adds.
struct TurnedPictureBox {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};
TurnedPictureBox PictureBoxOfTurn(const cups_page_header2_t& header, int32_t printRotate, int64_t width,
                                  int64_t height);

// Makes the margin that a turn adds white on the paper: the turn fills it
// with the page's pixel (0, 0), which may be dark.
void WhitenTurnMargin(CxImage* image, const cups_page_header2_t& header, int32_t printRotate);

// Turns, grey-reduces and two-levels the page image, then takes out its
// bitmap (release with free()), or null.
unsigned char* CxImageHandler(CxImage* image, const cups_page_header2_t& header, const ZELP_Init_Setting& settings,
                              int64_t* cjBits, int64_t* lDelta, int32_t* cx, int32_t* cy);

// Copies the rows of a two-colour 1-bit image out so that a set bit is a
// dot and no bit right of the width is set. The geometry is filled in even
// when the result is null.
unsigned char* GetCxImageBinaryData(const cups_page_header2_t& header, CxImage* image, int64_t* cjBits,
                                    int64_t* lDelta, int32_t* cx, int32_t* cy);

// Sets every bit of every row from bit position cx onwards.
void HandlerDiff2Blank(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy);

// Complements the first `length` bytes.
void ReveseBitmap(unsigned char* bitmap, int64_t length);

// Clears every bit of every row from bit position cx onwards.
void ClearBitsRightOfWidth(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy);

// Bytes that print nothing at a page's depth: a clear bit on 1-bit pages,
// white on every other (they are inverted on the way out).
unsigned char BlankLineByte(const cups_page_header2_t& header);

// "ERROR: Page is too wide to print: ..." for rows of `lDelta` bytes.
void ReportTooWide(ZelpOutput& out, int64_t lDelta);

// Passes "format" with four numbers to the trace hook.
void TraceNumbers(const char* format, int64_t a, int64_t b, int64_t c, int64_t d);

#endif
