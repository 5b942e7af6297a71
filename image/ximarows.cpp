// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Row-at-a-time grey, threshold and Floyd-Steinberg.
//
// Floyd-Steinberg gives every pixel the same clamped additions, in the same
// order, as the per-pixel route. Two rows are decided side by side where the
// row below both has come: row y + 1 trails row y by two pixels, which is
// exactly when row y has given it every share it will get, so the two rows'
// chains of work run together. Working values live in row buffers with a
// margin on each side, where shares that fall off the image land and are
// dropped.
#include "ximarows.h"

#include <cstring>

#include "ximadef.h"

namespace {

constexpr int64_t kMargin = 1;
constexpr int64_t kLag = 2;  // how far row y + 1 trails row y
constexpr uint8_t kGreyPaletteStep4 = 17;  // 255 / 15: the 16-level grey palette

// The bits of a packed row's byte at `x` that hold pixels.
uint8_t ValidBits(int64_t x, int64_t width) {
    const int64_t used = width - x;
    return used >= 8 ? 0xFF : static_cast<uint8_t>(0xFF << (8 - used));
}

}  // namespace

void CxGreyRow(const uint8_t* row, int64_t width, uint16_t bpp, uint8_t* grey) {
    switch (bpp) {
    case 24:
        for (int64_t x = 0; x < width; ++x) {
            grey[x] = cximage_detail::Luminance(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        }
        break;
    case 4:
        for (int64_t x = 0; x < width; ++x) {
            const uint8_t index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
            grey[x] = static_cast<uint8_t>(index * kGreyPaletteStep4);
        }
        break;
    default:
        memcpy(grey, row, static_cast<size_t>(width));
        break;
    }
}

void CxThresholdRow(const uint8_t* grey, int64_t width, uint8_t level, bool dots, uint8_t* out) {
    const unsigned flip = dots ? 0xFFu : 0x00u;
    int64_t x = 0;
    for (; x + 8 <= width; x += 8, grey += 8) {
        unsigned bits = 0;
        for (int i = 0; i < 8; ++i) bits = (bits << 1) | (grey[i] > level ? 1u : 0u);
        *out++ = static_cast<uint8_t>(bits ^ flip);
    }
    if (x < width) {
        unsigned bits = 0;
        int used = 0;
        for (; x < width; ++x, ++used) bits = (bits << 1) | (*grey++ > level ? 1u : 0u);
        *out = static_cast<uint8_t>(((bits << (8 - used)) ^ flip) & ValidBits(width - used, width));
    }
}

CxFloydSteinbergRows::CxFloydSteinbergRows(int64_t width, bool dots) : width_(width), dots_(dots) {
    for (int e = kMinError; e <= kMaxError; ++e) {
        shares_[e - kMinError] = Shares{static_cast<int16_t>(7 * e / 16), static_cast<int16_t>(3 * e / 16),
                                        static_cast<int16_t>(5 * e / 16), static_cast<int16_t>(e / 16)};
    }
    for (int v = -kClampBias; v < kClampSize - kClampBias; ++v) {
        clamp_[v + kClampBias] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
    for (std::vector<uint8_t>& row : rows_) row.assign(static_cast<size_t>(width_ + 2 * kMargin), 0);
    // Whole bytes of decisions; those past the width stay 0.
    decidedA_.assign(static_cast<size_t>((width_ + 7) / 8 * 8), 0);
    decidedB_.assign(decidedA_.size(), 0);
}

int CxFloydSteinbergRows::Push(const uint8_t* grey, uint8_t* out, size_t stride) {
    Load(grey, rows_[held_]);
    if (++held_ < 3) return 0;
    Pair(out, stride);
    rows_[0].swap(rows_[2]);  // the row below the pair, with its shares, works next
    held_ = 1;
    return 2;
}

int CxFloydSteinbergRows::Settle(uint8_t* out) {
    if (held_ != 2) return 0;
    Single(false, out);
    rows_[0].swap(rows_[1]);
    held_ = 1;
    return 1;
}

int CxFloydSteinbergRows::Finish(uint8_t* out, size_t stride) {
    const int settled = Settle(out);
    if (held_ == 0) return settled;
    Single(true, out + settled * stride);
    held_ = 0;
    return settled + 1;
}

// Rows y (working values) and y + 1 (as it came); the working values of
// row y + 2 go back into its buffer. Step k decides pixel k of row y and
// pixel k - 2 of row y + 1. Row y + 1's values are kept in registers as
// row y finishes them: belowLeft/below are its pixels k - 1 and k still
// waiting for shares from row y; finished is the pixel row y has just
// finished. Row y + 2 is handled the same way by row y + 1 (underLeft/under).
void CxFloydSteinbergRows::Pair(uint8_t* out, size_t stride) {
    const uint8_t* a = rows_[0].data() + kMargin;
    const uint8_t* b = rows_[1].data() + kMargin;
    uint8_t* c = rows_[2].data() + kMargin;
    uint8_t* decA = decidedA_.data();
    uint8_t* decB = decidedB_.data();
    int vA = a[0];
    int belowLeft = 0;  // b[-1], the margin
    int below = b[0];
    int vB = 0;
    int underLeft = 0;  // c[-1], the margin
    int under = c[0];
    for (int64_t k = 0; k < width_ + kLag; ++k) {
        int finished = belowLeft;  // once row y has ended, b[k - 1] has all it gets
        if (k < width_) {
            const bool white = vA > 128;
            decA[k] = white ? 1 : 0;
            const Shares& sh = shares_[(white ? vA - 255 : vA) - kMinError];
            finished = Add(belowLeft, sh.s3);
            belowLeft = Add(below, sh.s5);
            below = Add(b[k + 1], sh.s1);
            vA = Add(a[k + 1], sh.s7);
        } else {
            belowLeft = below;
        }
        const int64_t x = k - kLag;
        if (x < -1) continue;
        if (x == -1) {
            vB = finished;  // b[0], complete: row y + 1 may begin
            continue;
        }
        const bool white = vB > 128;
        decB[x] = white ? 1 : 0;
        const Shares& sh = shares_[(white ? vB - 255 : vB) - kMinError];
        c[x - 1] = static_cast<uint8_t>(Add(underLeft, sh.s3));
        underLeft = Add(under, sh.s5);
        under = Add(c[x + 1], sh.s1);
        vB = Add(finished, sh.s7);
    }
    c[width_ - 1] = static_cast<uint8_t>(underLeft);
    Pack(decidedA_, out);
    Pack(decidedB_, out + stride);
}

// Row y alone: each pixel decided, its error spread to the right and into
// the row below (or dropped past the last row), each addition clamped.
void CxFloydSteinbergRows::Single(bool lastRow, uint8_t* out) {
    uint8_t* row = rows_[0].data() + kMargin;
    uint8_t* below = rows_[lastRow ? 2 : 1].data() + kMargin;  // past the last row: scratch
    uint8_t* decided = decidedA_.data();
    for (int64_t x = 0; x < width_; ++x) {
        const int v = row[x];
        const bool white = v > 128;
        decided[x] = white ? 1 : 0;
        const Shares& sh = shares_[(white ? v - 255 : v) - kMinError];
        row[x + 1] = static_cast<uint8_t>(Add(row[x + 1], sh.s7));
        below[x - 1] = static_cast<uint8_t>(Add(below[x - 1], sh.s3));
        below[x] = static_cast<uint8_t>(Add(below[x], sh.s5));
        below[x + 1] = static_cast<uint8_t>(Add(below[x + 1], sh.s1));
    }
    Pack(decidedA_, out);
}

// One decision a byte into a packed row; padding bits stay clear.
void CxFloydSteinbergRows::Pack(const std::vector<uint8_t>& decided, uint8_t* out) const {
    const unsigned flip = dots_ ? 0xFFu : 0x00u;
    for (int64_t x = 0; x < width_; x += 8) {
        unsigned bits = 0;
        for (int64_t i = 0; i < 8; ++i) bits = (bits << 1) | decided[static_cast<size_t>(x + i)];
        out[x >> 3] = static_cast<uint8_t>((bits ^ flip) & ValidBits(x, width_));
    }
}

// A row's grey levels after the margin; the margins only ever take shares.
void CxFloydSteinbergRows::Load(const uint8_t* grey, std::vector<uint8_t>& row) const {
    memcpy(row.data() + kMargin, grey, static_cast<size_t>(width_));
}
