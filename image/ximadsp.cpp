// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Reduction to black and white at a fixed grey level.
#include <cstdint>

#include "ximadef.h"
#include "ximage.h"
#include "ximarows.h"

namespace {

void ThresholdRow(const CxImage& grey, CxImage& result, uint8_t level, int64_t y) {
    const int64_t width = grey.GetWidth();
    for (int64_t x = 0; x < width; ++x) {
        result.SetPixelIndex(x, y, grey.GetPixelIndex(x, y) > level ? 1 : 0);
    }
}

}  // namespace

bool CxImage::Threshold(uint8_t level) {
    if (pixelBlock == nullptr) {
        return false;
    }
    if (bitmapHeader.bitCount == 1) {
        return true;
    }
    GrayScale();  // on failure the comparison runs on the unconverted indexes

    // A fresh image: none of this one's attributes or planes go along.
    CxImage result(static_cast<uint64_t>(GetWidth()), static_cast<uint64_t>(GetHeight()), 1, 0);
    if (!result.IsValid()) {
        return false;
    }
    if (GetBpp() == 8) {
        const int64_t width = GetWidth();
        cximage_detail::ForEachRow(*this, GetHeight(), [&](int64_t y) {
            CxThresholdRow(GetBits(static_cast<uint64_t>(y)), width, level, false,
                           result.GetBits(static_cast<uint64_t>(y)));
        });
    } else {
        // Grey conversion failed: compare whatever indexes the image holds.
        cximage_detail::ForEachRow(*this, GetHeight(),
                                   [&](int64_t y) { ThresholdRow(*this, result, level, y); });
    }
    result.SetPaletteColor(0, 0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(result);
    return true;
}
