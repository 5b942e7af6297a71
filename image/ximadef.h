// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the image library's sources; not part of its interface.
#ifndef ZELP_IMAGE_XIMADEF_H
#define ZELP_IMAGE_XIMADEF_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "ximage.h"

namespace cximage_detail {

// True when bits x width x height / 256 is over CXIMAGE_MAX_MEMORY; a product
// that does not even fit in 64 bits is over it too.
bool ExceedsMemoryLimit(uint64_t bits, uint64_t width, uint64_t height);

// True when a byte count fits in size_t. A 32-bit system cannot address a
// block of 4 GiB or more: such a block is refused, as an allocation that
// fails is, where a 64-bit system would ask for it. Buffers that exist have
// sizes that fit, and so has every part of them.
inline bool FitsInSize(uint64_t bytes) {
    return bytes <= std::numeric_limits<size_t>::max();
}

// Grey level of a colour; the weights add up to 1024, so equal bytes stay put.
inline uint8_t Luminance(uint8_t blue, uint8_t green, uint8_t red) {
    return static_cast<uint8_t>((117u * blue + 601u * green + 306u * red) >> 10);
}

// Runs rowFn(y) for every row, reporting progress on `image` between rows and
// stopping early once its escape field is set.
template <typename RowFn>
void ForEachRow(CxImage& image, int64_t height, RowFn&& rowFn) {
    image.SetProgress(0);
    if (image.GetEscape() != 0) {
        return;
    }
    for (int64_t y = 0; y < height; ++y) {
        rowFn(y);
        if (y + 1 < height) {
            image.SetProgress(100 * (y + 1) / height);
            if (image.GetEscape() != 0) {
                break;
            }
        }
    }
}

// Sine and cosine of the turn, and the box of the turned picture.
struct RotationFrame {
    double s;
    double c;
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};

inline int64_t FloorToLong(double value) {
    return static_cast<int64_t>(std::floor(value));
}

// Sample positions are truncated toward zero, then narrowed to 32 bits.
inline int32_t TruncateToInt(double value) {
    return static_cast<int32_t>(static_cast<int64_t>(value));
}

inline RotationFrame FrameFor(float angle, int32_t width, int32_t height) {
    RotationFrame frame{};
    const double radians = static_cast<double>(-angle) * 1.5707963267948966 / 90.0;
    sincos(radians, &frame.s, &frame.c);
    const double s = frame.s;
    const double c = frame.c;
    const double w = width;
    const double h = height;
    const double last = w - 1.0;  // the fourth corner is (W - 1, H), not (W, H)
    const int64_t xs[4] = {0, FloorToLong(w * c - 0.0 * s), FloorToLong(0.0 * c - h * s),
                           FloorToLong(last * c - h * s)};
    const int64_t ys[4] = {0, FloorToLong(w * s + 0.0 * c), FloorToLong(0.0 * s + h * c),
                           FloorToLong(last * s + h * c)};
    frame.left = *std::min_element(xs, xs + 4);
    frame.top = *std::min_element(ys, ys + 4);
    frame.right = *std::max_element(xs, xs + 4) + 2;
    frame.bottom = *std::max_element(ys, ys + 4) + 2;
    return frame;
}

// Fills `target` for turns whose sample column depends on the result row
// alone and sample row on the result column alone, or the other way round
// (90, 180, 270 degrees), giving the same pixels as mapping each position.
// Returns false, touching nothing, for any other turn.
bool RotateSeparable(CxImage& source, CxImage& target, const RotationFrame& frame);

// Floyd-Steinberg error diffusion of an 8-bit grey image into the 1-bit
// `result` (zeroed, same size), with the progress and escape handling of
// the row loop; the grey image's own pixels are left as they were.
void DitherFloydSteinbergGrey(CxImage& grey, CxImage& result);

}  // namespace cximage_detail

#endif
