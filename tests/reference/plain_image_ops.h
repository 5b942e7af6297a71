// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Plain per-pixel versions of the image operations the page pipeline runs,
// written over the library's public pixel accessors. They are the yardstick
// that the library's own implementations must match byte for byte.
#ifndef ZELP_TESTS_PLAIN_IMAGE_OPS_H
#define ZELP_TESTS_PLAIN_IMAGE_OPS_H

#include <cstdint>
#include <string>

#include "ximage.h"

namespace plain {

bool GrayScale(CxImage& image);
bool Threshold(CxImage& image, uint8_t level);
bool Dither0(CxImage& image);  // Floyd-Steinberg, method 0
// With `outside` 0 to 255, positions that sample outside the source take
// it instead of the library's fill: that index on palette images, that
// grey on true-colour ones.
bool Rotate(CxImage& image, float angle, int outside = -1);

// Empty when both images hold the same geometry, depth, palette, rows
// (padding included) and alpha plane; otherwise the first difference.
std::string Difference(const CxImage& a, const CxImage& b);

}  // namespace plain

#endif
