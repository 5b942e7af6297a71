// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "raster_bands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "debug.h"
#include "zelp_models.h"

namespace {

// GS v 0 m xL xH yL yH: normal mode, no doubling; width and rows filled in.
const unsigned char kRasterBlockHeader[kBandHeaderBytes] = {0x1D, 0x76, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00};

// The other image commands name the width in dots, 16 bits: rows are cut
// to the whole bytes that fit (65,528 dots, far wider than any head).
constexpr int64_t kMaxDotCountBytes = 0xFFFF / 8;

// ESC 3 n: line spacing n dots; ESC * 33 nL nH: 24-dot double-density bit
// image of nL + 256 nH columns, 3 bytes each, top dot in bit 7; LF prints
// the line and feeds the line spacing; ESC 2 brings the default spacing
// back for the feeds of the page end.
constexpr unsigned char kLineSpacing[] = {0x1B, 0x33};
constexpr unsigned char kBitImage24[] = {0x1B, 0x2A, 33};
constexpr unsigned char kLineFeed = 0x0A;
constexpr unsigned char kDefaultLineSpacing[] = {0x1B, 0x32};
constexpr int kColumnDots = 24;

// GS ( L pL pH m fn a bx by c xL xH yL yH: store raster graphics (m 48,
// fn 112, monochrome, no enlargement, colour 1); GS ( L 2 0 48 50 prints
// what is stored and feeds its height. pL pH count from m: the 10 bytes up
// to yH and the rows.
constexpr unsigned char kGraphicsStore[] = {0x1D, 0x28, 0x4C};
constexpr unsigned char kGraphicsStoreParams[] = {48, 112, 48, 1, 1, 49};
constexpr unsigned char kGraphicsPrint[] = {0x1D, 0x28, 0x4C, 0x02, 0x00, 48, 50};
constexpr int64_t kGraphicsParamBytes = 10;
constexpr int64_t kMaxGraphicsLength = 0xFFFF;

// GS P x y: motion units of 1/x and 1/y inch, 0 for the printer's own
// (which is 1/360 inch along the paper on some 203 dpi printers). ESC J n:
// print and feed n vertical units, at most 255 a command.
constexpr unsigned char kDotRowUnits[] = {0x1D, 0x50, 0, static_cast<unsigned char>(kZelpResolutionDpi)};
constexpr unsigned char kPrinterUnits[] = {0x1D, 0x50, 0, 0};
constexpr unsigned char kFeedUnits[] = {0x1B, 0x4A};
constexpr uint64_t kMaxFeedUnits = 255;
// Blank rows stay in a block while they cost less than a feed and the
// header of the block after it.
constexpr int64_t kFeedCost = 3 + kBandHeaderBytes;

void Append(std::vector<unsigned char>& to, const unsigned char* bytes, size_t count) {
    to.insert(to.end(), bytes, bytes + count);
}

void AppendWord(std::vector<unsigned char>& to, int64_t value) {
    to.push_back(static_cast<unsigned char>(value % 256));
    to.push_back(static_cast<unsigned char>((value / 256) % 256));
}

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

// Bytes of the row up to and including its last one with a dot.
int64_t InkBytes(const unsigned char* row, int64_t lDelta) {
    int64_t n = lDelta;
    while (n > 0 && row[n - 1] == 0) --n;
    return n;
}

}  // namespace

int64_t HeadDots(int32_t modelNumber) {
    for (const ZelpModel& model : kZelpModels) {
        if (model.modelNumber == modelNumber) return model.headDots;
    }
    return 0;
}

PageBands::PageBands(ZelpOutput& out, const ZELP_Init_Setting& settings, int64_t lDelta, int64_t width,
                     uint64_t copies)
    : out_(out),
      lDelta_(lDelta),
      copies_(copies),
      skipEnd_(settings.BlankSpace != 0),
      skipStart_(settings.LeadingBlank > 0),
      imageCommand_(settings.GraphicsCommand),
      compact_(settings.Transfer == 1) {
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
    if (copies_ > 1) {
        if (segments_.empty() || segments_.back().blank) segments_.push_back({false, 0});
        ++segments_.back().rows;
        stored_.insert(stored_.end(), row, row + lDelta_);
    }
    PutRow(row);
}

void PageBands::PutRow(const unsigned char* row) {
    if (compact_) {
        SettleBlank();
        bandWidth_ = std::max(bandWidth_, InkBytes(row, lDelta_));
    }
    memcpy(&band_[static_cast<size_t>(bandRows_ * lDelta_)], row, static_cast<size_t>(lDelta_));
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
    if (compact_) {
        CompactBlank(count);
        return;
    }
    while (count > 0) {
        const uint64_t room = static_cast<uint64_t>(kBandRows - bandRows_);
        const uint64_t take = count < room ? count : room;
        memset(&band_[static_cast<size_t>(bandRows_ * lDelta_)], 0, static_cast<size_t>(take * lDelta_));
        bandRows_ += static_cast<int>(take);
        count -= take;
        if (bandRows_ == kBandRows) EmitBand();
    }
}

// A blank run waits until the next dotted row or the copy's end says where
// it goes; an ESC * line takes blank rows up to its 24 for nothing.
void PageBands::CompactBlank(uint64_t count) {
    if (imageCommand_ == 1 && bandRows_ > 0) {
        const uint64_t take = std::min<uint64_t>(count, static_cast<uint64_t>(kBandRows - bandRows_));
        memset(&band_[static_cast<size_t>(bandRows_ * lDelta_)], 0, static_cast<size_t>(take * lDelta_));
        bandRows_ += static_cast<int>(take);
        count -= take;
        if (bandRows_ == kBandRows) EmitBand();
    }
    blankRun_ += count;
    // The block is closed as soon as the run costs more in it than fed.
    const bool fits = blankRun_ < static_cast<uint64_t>(kBandRows - bandRows_) &&
                      static_cast<int64_t>(blankRun_) * bandWidth_ < kFeedCost;
    if (bandRows_ > 0 && !fits) EmitBand();
    if (bandRows_ == 0 && blankRun_ >= kMaxFeedUnits) {
        const uint64_t whole = blankRun_ - blankRun_ % kMaxFeedUnits;
        Feed(whole);
        blankRun_ -= whole;
    }
}

// The blank run so far goes into the open block (CompactBlank left it open
// only when that costs less), else as feeds.
void PageBands::SettleBlank() {
    if (blankRun_ == 0) return;
    if (bandRows_ > 0) {
        memset(&band_[static_cast<size_t>(bandRows_ * lDelta_)], 0, static_cast<size_t>(blankRun_ * lDelta_));
        bandRows_ += static_cast<int>(blankRun_);
    } else {
        Feed(blankRun_);
    }
    blankRun_ = 0;
}

void PageBands::Feed(uint64_t rows) {
    UseDotUnits();
    while (rows > 0) {
        const uint64_t n = std::min(rows, kMaxFeedUnits);
        out_.Put(kFeedUnits, sizeof kFeedUnits);
        const unsigned char units = static_cast<unsigned char>(n);
        out_.PutMore(&units, 1);
        rows -= n;
    }
}

// Before the page's first command that counts in vertical units (ESC J, and
// ESC 3 of the ESC * lines): one unit one dot row; Finish sets the
// printer's own back.
void PageBands::UseDotUnits() {
    if (dotUnits_) return;
    out_.Put(kDotRowUnits, sizeof kDotRowUnits);
    dotUnits_ = true;
}

void PageBands::EndCopy() {
    if (compact_) SettleBlank();
    EmitBand();
}

void PageBands::EmitBand() {
    if (bandRows_ == 0) return;
    if (imageCommand_ == 1 || imageCommand_ == 2) {
        if (imageCommand_ == 1) EmitColumns();
        if (imageCommand_ == 2) EmitGraphics();
        if (compact_ && imageCommand_ == 1) UseDotUnits();
        out_.Put(encoded_.data(), encoded_.size());
        bandRows_ = 0;
        bandWidth_ = 0;
        return;
    }
    const int64_t width = BandWidth();
    unsigned char header[kBandHeaderBytes];
    memcpy(header, kRasterBlockHeader, sizeof header);
    header[4] = static_cast<unsigned char>(width % 256);
    header[5] = static_cast<unsigned char>((width / 256) % 256);
    header[6] = static_cast<unsigned char>(bandRows_);
    out_.Put(header, sizeof header);
    if (width == lDelta_) {
        out_.PutMore(band_.data(), static_cast<size_t>(bandRows_ * lDelta_));
    } else {
        for (int row = 0; row < bandRows_; ++row) {
            out_.PutMore(&band_[static_cast<size_t>(row * lDelta_)], static_cast<size_t>(width));
        }
    }
    bandRows_ = 0;
    bandWidth_ = 0;
}

// The block as one line of 24-dot columns, its rows at the top and blank
// below; the line spacing is the block's rows, so the next block starts
// right under them.
void PageBands::EmitColumns() {
    const int64_t width = std::min(BandWidth(), kMaxDotCountBytes);
    const int64_t dots = width * 8;
    encoded_.clear();
    Append(encoded_, kLineSpacing, sizeof kLineSpacing);
    encoded_.push_back(static_cast<unsigned char>(bandRows_));
    Append(encoded_, kBitImage24, sizeof kBitImage24);
    AppendWord(encoded_, dots);
    const size_t data = encoded_.size();
    encoded_.resize(data + static_cast<size_t>(dots) * (kColumnDots / 8), 0);
    for (int row = 0; row < bandRows_; ++row) {
        const unsigned char* line = &band_[static_cast<size_t>(row * lDelta_)];
        const unsigned char bit = static_cast<unsigned char>(0x80 >> (row % 8));
        const size_t part = static_cast<size_t>(row / 8);
        for (int64_t x = 0; x < dots; ++x) {
            if (line[x / 8] & (0x80 >> (x % 8))) encoded_[data + static_cast<size_t>(x) * 3 + part] |= bit;
        }
    }
    encoded_.push_back(kLineFeed);
    columnsSent_ = true;
}

// The block as graphics stored and printed; rows that would make the
// command longer than its length field go in a block of their own.
void PageBands::EmitGraphics() {
    const int64_t width = std::min(BandWidth(), kMaxDotCountBytes);
    const int64_t rowsPerBlock = (kMaxGraphicsLength - kGraphicsParamBytes) / width;
    encoded_.clear();
    for (int64_t first = 0; first < bandRows_; first += rowsPerBlock) {
        const int64_t rows = bandRows_ - first < rowsPerBlock ? bandRows_ - first : rowsPerBlock;
        Append(encoded_, kGraphicsStore, sizeof kGraphicsStore);
        AppendWord(encoded_, kGraphicsParamBytes + rows * width);
        Append(encoded_, kGraphicsStoreParams, sizeof kGraphicsStoreParams);
        AppendWord(encoded_, width * 8);
        AppendWord(encoded_, rows);
        for (int64_t row = first; row < first + rows; ++row) {
            Append(encoded_, &band_[static_cast<size_t>(row * lDelta_)], static_cast<size_t>(width));
        }
        Append(encoded_, kGraphicsPrint, sizeof kGraphicsPrint);
    }
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
    EndCopy();
    Replay();
    if (columnsSent_) out_.Put(kDefaultLineSpacing, sizeof kDefaultLineSpacing);
    if (dotUnits_) out_.Put(kPrinterUnits, sizeof kPrinterUnits);
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
            for (uint64_t i = 0; i < segment.rows; ++i, row += lDelta_) PutRow(row);
        }
        EndCopy();
    }
}

int SendPageBitmap2Printer(ZelpOutput& out, const ZELP_Init_Setting& settings, uint64_t copies,
                           const unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy) {
    PageBands bands(out, settings, lDelta, cx, copies);
    for (int32_t y = 0; y < cy; ++y) bands.Row(bitmap + int64_t{y} * lDelta);
    bands.Finish();
    return 0;
}
