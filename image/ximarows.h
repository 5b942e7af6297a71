// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The image library's grey and two-level conversions one row at a time, for
// pictures that are converted while their rows arrive. Each gives exactly
// the levels and decisions of the whole-image operation: GrayScale of a
// grey-palette or 24-bit image, Threshold, and Dither(0) (Floyd-Steinberg).
//
// Two-level rows are packed eight pixels a byte, the leftmost pixel in the
// most significant bit, bits past the width clear. A set bit is white, as
// in the library's 1-bit images, or black when the caller asks for dots.
#ifndef ZELP_IMAGE_XIMAROWS_H
#define ZELP_IMAGE_XIMAROWS_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Grey levels of one image row of `width` pixels at `bpp` 4 or 8 (grey
// palette) or 24 (blue, green, red), as GrayScale makes them.
void CxGreyRow(const uint8_t* row, int64_t width, uint16_t bpp, uint8_t* grey);

// Packs `grey > level` (white) of each pixel; with `dots`, the complement.
void CxThresholdRow(const uint8_t* grey, int64_t width, uint8_t level, bool dots, uint8_t* out);

// Floyd-Steinberg over grey rows handed over one after another. A row is
// decided once the row below it has come, since that is when its shares
// have somewhere to go; rows are decided two at a time where they can be.
class CxFloydSteinbergRows {
public:
    CxFloydSteinbergRows(int64_t width, bool dots);

    // Takes the next row (`width` grey levels). Rows it makes decidable are
    // written to `out`, one packed row every `stride` bytes; returns how
    // many (0 to 2).
    int Push(const uint8_t* grey, uint8_t* out, size_t stride);
    // Decides the row that waits for a partner, if the row below it has
    // come: 0 or 1 rows.
    int Settle(uint8_t* out);
    // The image has ended: decides the rows still held (0 to 2), shares
    // below the last row being dropped.
    int Finish(uint8_t* out, size_t stride);

private:
    int Add(int value, int share) const { return clamp_[value + share + kClampBias]; }
    void Pair(uint8_t* out, size_t stride);
    void Single(bool lastRow, uint8_t* out);
    void Pack(const std::vector<uint8_t>& decided, uint8_t* out) const;
    void Load(const uint8_t* grey, std::vector<uint8_t>& row) const;

    static constexpr int kMinError = -127;  // white leaves at most 129 - 255
    static constexpr int kMaxError = 128;   // black leaves at most 128
    static constexpr int kClampBias = 128;  // a share moves a level by -55 .. +56
    static constexpr int kClampSize = 512;

    struct Shares {
        int16_t s7, s3, s5, s1;
    };

    int64_t width_;
    bool dots_;
    int held_ = 0;  // rows taken, not yet decided: the first is a working row
    std::vector<uint8_t> rows_[3];
    std::vector<uint8_t> decidedA_;
    std::vector<uint8_t> decidedB_;
    Shares shares_[kMaxError - kMinError + 1];
    uint8_t clamp_[kClampSize];
};

#endif
