// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "raster_bands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "debug.h"

namespace {

// GS v 0 m xL xH yL yH: normal mode, no doubling; width and rows filled in.
const unsigned char kRasterBlockHeader[kBandHeaderBytes] = {0x1D, 0x76, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00};

// True when the row's `lDelta` bytes are all zero. Rows are whole 32-bit
// words for every page bitmap; any tail goes byte by byte.
bool RowIsBlank(const unsigned char* row, int64_t lDelta) {
    int64_t i = 0;
    for (; i + 8 <= lDelta; i += 8) {
        uint64_t word;
        memcpy(&word, row + i, sizeof word);
        if (word != 0) return false;
    }
    for (; i < lDelta; ++i) {
        if (row[i] != 0) return false;
    }
    return true;
}

}  // namespace

int64_t HeadDots(int32_t modelNumber) {
    switch (modelNumber) {
        case 80: return 576;  // 72 mm at 203 dpi, on 80 mm paper
        case 58: return 384;  // 48 mm, on 58 mm paper
        default: return 0;
    }
}

PageBands::PageBands(ZelpOutput& out, const ZELP_Init_Setting& settings, int64_t lDelta, int64_t width,
                     uint64_t copies)
    : out_(out),
      lDelta_(lDelta),
      copies_(copies),
      skipEnd_(settings.BlankSpace != 0),
      skipStart_(settings.LeadingBlank > 0) {
    const int64_t head = settings.Centering == 1 ? HeadDots(settings.modelNumber) : 0;
    if (width > 0 && width < head) {
        // Whole 32-bit words, as every other row is sent.
        lDelta_ = (head + 31) / 32 * 4;
        shift_ = (head - width) / 2;
        pageBytes_ = (width + 7) / 8;
        placed_.resize(static_cast<size_t>(lDelta_));
    }
    band_.resize(static_cast<size_t>(lDelta_ * kBandRows));
}

// The row as wide as the head, its dots moved right by shift_.
const unsigned char* PageBands::Placed(const unsigned char* row) {
    std::fill(placed_.begin(), placed_.end(), 0);
    const int64_t first = shift_ / 8;
    const int bits = static_cast<int>(shift_ % 8);
    for (int64_t i = 0; i < pageBytes_; ++i) {
        if (row[i] == 0) continue;
        placed_[static_cast<size_t>(first + i)] |= static_cast<unsigned char>(row[i] >> bits);
        if (bits != 0 && first + i + 1 < lDelta_) {
            placed_[static_cast<size_t>(first + i + 1)] |= static_cast<unsigned char>(row[i] << (8 - bits));
        }
    }
    return placed_.data();
}

void PageBands::Row(const unsigned char* row) {
    if (!placed_.empty()) row = Placed(row);
    const int64_t y = rows_++;
    if (RowIsBlank(row, lDelta_)) {
        Hold(1);
        return;
    }
    if (firstDot_ < 0) {
        firstDot_ = y;
        // The blank rows above the first dot are left out.
        if (skipStart_) held_ = 0;
    }
    lastDot_ = y;
    SendHeld();
    if (firstSent_ < 0) firstSent_ = y;
    Send(row);
}

void PageBands::BlankRows(uint64_t count) {
    rows_ += static_cast<int64_t>(count);
    Hold(count);
}

// Blank rows wait while they may still turn out to be leading or trailing
// ones; with neither kind left out they go at once.
void PageBands::Hold(uint64_t count) {
    if (held_ == 0) heldStart_ = rows_ - static_cast<int64_t>(count);
    held_ += count;
    const bool mayLead = skipStart_ && firstDot_ < 0;
    if (!mayLead && !skipEnd_) SendHeld();
}

void PageBands::SendHeld() {
    if (held_ == 0) return;
    if (firstSent_ < 0) firstSent_ = heldStart_;
    SendBlank(held_);
    held_ = 0;
}

void PageBands::Send(const unsigned char* row) {
    if (copies_ == 0) return;
    memcpy(&band_[static_cast<size_t>(bandRows_ * lDelta_)], row, static_cast<size_t>(lDelta_));
    if (copies_ > 1) {
        if (segments_.empty() || segments_.back().blank) segments_.push_back({false, 0});
        ++segments_.back().rows;
        stored_.insert(stored_.end(), row, row + lDelta_);
    }
    if (++bandRows_ == kBandRows) EmitBand();
}

void PageBands::SendBlank(uint64_t count) {
    if (copies_ == 0 || count == 0) return;
    if (copies_ > 1) {
        if (segments_.empty() || !segments_.back().blank) segments_.push_back({true, 0});
        segments_.back().rows += count;
    }
    PutBlank(count);
}

void PageBands::PutBlank(uint64_t count) {
    while (count > 0) {
        const uint64_t room = static_cast<uint64_t>(kBandRows - bandRows_);
        const uint64_t take = count < room ? count : room;
        memset(&band_[static_cast<size_t>(bandRows_ * lDelta_)], 0, static_cast<size_t>(take * lDelta_));
        bandRows_ += static_cast<int>(take);
        count -= take;
        if (bandRows_ == kBandRows) EmitBand();
    }
}

void PageBands::EmitBand() {
    if (bandRows_ == 0) return;
    unsigned char header[kBandHeaderBytes];
    memcpy(header, kRasterBlockHeader, sizeof header);
    header[4] = static_cast<unsigned char>(lDelta_ % 256);
    header[5] = static_cast<unsigned char>((lDelta_ / 256) % 256);
    header[6] = static_cast<unsigned char>(bandRows_);
    out_.Put(header, sizeof header);
    out_.Put(band_.data(), static_cast<size_t>(bandRows_ * lDelta_));
    bandRows_ = 0;
}

void PageBands::Finish() {
    if (skipEnd_) {
        const int64_t printLineCount = lastDot_ + 1;
        char text[512] = {};
        snprintf(text, sizeof text, "printLineCount=%d,pageEndBlankLines=%d", static_cast<int>(printLineCount),
                 static_cast<int>(rows_ - printLineCount));
        Dbg_WriteStr(text);
    }
    if (skipStart_ && firstDot_ >= 0) {
        char text[512] = {};
        snprintf(text, sizeof text, "pageStartBlankLines=%d", static_cast<int>(firstDot_));
        Dbg_WriteStr(text);
    }
    // A page without a dot prints as it would without LeadingBlank.
    if (!skipEnd_) SendHeld();
    held_ = 0;
    EmitBand();
    Replay();
}

void PageBands::Replay() {
    // A 64-bit counter: NumCopies 4,294,967,295 must end, not wrap.
    for (uint64_t copy = 2; copy <= copies_ && !out_.Failed(); ++copy) {
        const unsigned char* row = stored_.data();
        for (const Segment& segment : segments_) {
            if (segment.blank) {
                PutBlank(segment.rows);
                continue;
            }
            for (uint64_t i = 0; i < segment.rows; ++i, row += lDelta_) {
                memcpy(&band_[static_cast<size_t>(bandRows_ * lDelta_)], row, static_cast<size_t>(lDelta_));
                if (++bandRows_ == kBandRows) EmitBand();
            }
        }
        EmitBand();
    }
}

int SendPageBitmap2Printer(ZelpOutput& out, const ZELP_Init_Setting& settings, uint64_t copies,
                           const unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy) {
    PageBands bands(out, settings, lDelta, cx, copies);
    for (int32_t y = 0; y < cy; ++y) bands.Row(bitmap + int64_t{y} * lDelta);
    bands.Finish();
    return 0;
}
