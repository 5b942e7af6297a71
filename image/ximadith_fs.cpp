// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Floyd-Steinberg on an 8-bit grey image, row by row through the same
// kernel that converts pages as their rows arrive.
#include <cstdint>

#include "ximadef.h"
#include "ximage.h"
#include "ximarows.h"

namespace cximage_detail {

void DitherFloydSteinbergGrey(CxImage& grey, CxImage& result) {
    const int64_t height = grey.GetHeight();
    const size_t stride = static_cast<size_t>(result.GetEffWidth());
    grey.SetProgress(0);
    if (grey.GetEscape() != 0) return;
    CxFloydSteinbergRows kernel(grey.GetWidth(), false);
    int64_t decided = 0;
    for (int64_t y = 0; y < height; ++y) {
        const int64_t before = decided;
        decided += kernel.Push(grey.GetBits(static_cast<uint64_t>(y)), result.GetBits(static_cast<uint64_t>(decided)),
                               stride);
        // Progress as the row-by-row loop reports it after each row but the last.
        for (int64_t done = before + 1; done <= decided && done < height; ++done) {
            grey.SetProgress(100 * done / height);
        }
        if (grey.GetEscape() != 0) return;
    }
    const int64_t before = decided;
    decided += kernel.Finish(result.GetBits(static_cast<uint64_t>(decided)), stride);
    for (int64_t done = before + 1; done <= decided && done < height; ++done) grey.SetProgress(100 * done / height);
}

}  // namespace cximage_detail
