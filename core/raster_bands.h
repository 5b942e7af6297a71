// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The rows of one page on their way out as blocks of at most 24 dot rows,
// in the image command the settings choose (GS v 0, ESC * or GS ( L; each
// gives the same dots on paper). Rows come in page order as they become final; blank rows at
// the top (LeadingBlank) and at the end (BlankSpace) are held back and
// counted, not stored, and every other row leaves with its block. Copies
// after the first replay what the first one sent.
//
// Compact transfer (Transfer 1) gives the same paper in fewer bytes: a run
// of blank rows goes as paper feeds (ESC J, in vertical motion units that
// GS P sets to one dot row for the page's bands and back to the printer's
// own after them) unless a few bytes of blank rows in the block cost less,
// and each block is only as wide as its rightmost dot needs, printed from
// the left margin as before (so nothing moves sideways on any printer).
#ifndef ZELP_CORE_RASTER_BANDS_H
#define ZELP_CORE_RASTER_BANDS_H

#include <cstdint>
#include <vector>

#include "printer_output.h"
#include "zelp_settings.h"

// Dot rows per GS v 0 block: the most a block may hold.
constexpr int kBandRows = 24;
// Bytes before a block's rows: GS v 0 m xL xH yL yH.
constexpr int kBandHeaderBytes = 8;
// The width field is 16 bits: a wider row cannot be described.
constexpr int64_t kMaxBandRowBytes = 0xFFFF;

// Dots across the print head of the printer model (the PPD's model
// number); 0 when the model is not known.
int64_t HeadDots(int32_t modelNumber);

class PageBands {
public:
    // Rows of `lDelta` bytes of which the first `width` bits are the page's
    // dots (dots set, bits past the width clear), each copy sent `copies`
    // times in all. With Centering on, rows narrower than the print head go
    // out as wide as the head, the page in its middle.
    PageBands(ZelpOutput& out, const ZELP_Init_Setting& settings, int64_t lDelta, int64_t width, uint64_t copies);

    // The page's next row.
    void Row(const unsigned char* row);
    // The page's next `count` rows, all blank.
    void BlankRows(uint64_t count);
    // After the last row: the trace of what was left out, the first copy's
    // last block, then the other copies.
    void Finish();

    // Page row of the first row sent, -1 until it is known (nothing sent yet).
    int64_t FirstSentRow() const { return firstSent_; }

private:
    void Hold(uint64_t count);
    void SendHeld();
    void Send(const unsigned char* row);
    void SendBlank(uint64_t count);
    void PutBlank(uint64_t count);
    void EmitBand();
    void EmitColumns();
    void EmitGraphics();
    void Replay();
    void PutRow(const unsigned char* row);
    void EndCopy();
    // Compact transfer.
    void CompactBlank(uint64_t count);
    void SettleBlank();
    void Feed(uint64_t rows);
    void UseDotUnits();
    int64_t BandWidth() const { return compact_ ? bandWidth_ : lDelta_; }

    struct Segment {
        bool blank;
        uint64_t rows;
    };

    const unsigned char* Placed(const unsigned char* row);

    ZelpOutput& out_;
    int64_t lDelta_;          // bytes of a row as sent
    int64_t shift_ = 0;       // dots the page moves right on the head
    int64_t pageBytes_ = 0;   // bytes of an incoming row that hold dots, when it moves
    std::vector<unsigned char> placed_;
    uint64_t copies_;
    bool skipEnd_;    // BlankSpace: trailing blank rows are left out
    bool skipStart_;  // LeadingBlank: leading blank rows are left out
    int32_t imageCommand_;  // GraphicsCommand
    bool compact_;          // Transfer 1
    bool columnsSent_ = false;  // an ESC * line changed the line spacing
    bool dotUnits_ = false;     // GS P set the vertical motion unit to one dot row
    uint64_t blankRun_ = 0;     // compact: blank rows not yet fed nor put in a block
    int64_t bandWidth_ = 0;     // compact: bytes up to the last dot of the block's rows
    int64_t rows_ = 0;         // rows seen
    int64_t firstDot_ = -1;    // page row of the first and last dotted rows
    int64_t lastDot_ = -1;
    int64_t firstSent_ = -1;
    uint64_t held_ = 0;        // blank rows after the last row sent
    int64_t heldStart_ = 0;    // page row of the first of them
    std::vector<unsigned char> band_;
    std::vector<unsigned char> encoded_;  // a block in ESC * or GS ( L
    int bandRows_ = 0;
    // What the first copy sent, for the others: blank runs counted.
    std::vector<Segment> segments_;
    std::vector<unsigned char> stored_;
};

// Sends a whole page bitmap (cy rows of lDelta bytes, cx dots wide) through
// PageBands. Always returns 0.
int SendPageBitmap2Printer(ZelpOutput& out, const ZELP_Init_Setting& settings, uint64_t copies,
                           const unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy);

#endif
