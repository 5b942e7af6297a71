// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "page_bounds.h"

#include <cstdio>

#include "debug.h"
#include "ximage.h"

bool PageBuffersFit(const cups_page_header2_t& header, int32_t printRotate, int64_t limit) {
    const uint64_t w = header.cupsWidth;
    const uint64_t h = header.cupsHeight;
    const uint32_t bits = header.cupsBitsPerPixel;
    const bool turned = printRotate >= 1 && printRotate <= 3;
    uint64_t fw = w;
    uint64_t fh = h;
    if (turned) CxImage::RotatedSize(90.0f * static_cast<float>(printRotate), w, h, &fw, &fh);
    const uint64_t needs[] = {
        uint64_t{header.cupsBytesPerLine} * h,       // page buffer
        CxImage::ImageBytes(w, h, bits),             // page image
        turned ? CxImage::ImageBytes(fw, fh, bits) : 0,  // turned image
        bits > 1 ? CxImage::ImageBytes(fw, fh, 8) : 0,   // grey image
        CxImage::ImageBytes(fw, fh, 1),              // two-level image and bitmap
    };
    for (const uint64_t need : needs) {
        if (need >= static_cast<uint64_t>(limit)) return false;
    }
    return true;
}

void TracePageRead(const cups_page_header2_t& header) {
    const uint32_t n = header.cupsBytesPerLine;
    char text[512] = {};
    snprintf(text, sizeof text, "GetRaw:%d,%d,%d,%d", static_cast<int>(n), static_cast<int>((int64_t{n} + 7) / 8 * 8),
             static_cast<int>(n), static_cast<int>(int64_t{n} * header.cupsHeight));
    Dbg_WriteStr(text);
}
