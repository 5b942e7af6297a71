// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Turning a picture into CUPS raster pages and streams at a chosen depth;
// the engine of zelp-rasterwrite.
#ifndef ZELP_TOOLS_PAGE_BUILDER_H
#define ZELP_TOOLS_PAGE_BUILDER_H

#include <cstdint>
#include <string>

#include "picture.h"
#include "raster_gen.h"

namespace zelp {

// 1, 4, 8, 16, 24 and 32 bits per pixel.
bool IsSupportedDepth(uint32_t bitsPerPixel);

// Bytes that one row of `width` pixels needs: (width x bpp + 7) / 8.
uint64_t NaturalBytesPerLine(uint32_t width, uint32_t bitsPerPixel);

// Writes row `y` of the picture as NaturalBytesPerLine bytes to `out`:
//   1  a set bit is a dark pixel (grey below 128); bit 7 the leftmost pixel
//   4  grey >> 4 (0 black); the left pixel in the high nibble
//   8  grey (0 black, 255 white)
//   16 grey x 257, big-endian, two bytes a pixel
//   24 R, G, B (a grey picture gives three equal bytes)
//   32 R, G, B, 255
// Unused bits of the last byte are 0. The depth must be supported.
void ConvertRow(const Picture& picture, int y, uint32_t bitsPerPixel, uint8_t* out);

struct PageOptions {
    uint32_t bitsPerPixel = 8;
    int64_t bytesPerLine = -1;  // -1: what the width needs; otherwise the header's value
    uint32_t copies = 1;
};

// One page showing the whole picture. Its header comes from MakePageHeader
// (colour space and bits per colour to match the depth); a cupsBytesPerLine
// below what the width needs cuts each row short, one above pads it with 0.
bool BuildPage(const Picture& picture, const PageOptions& options, RasterPage* page,
               std::string* error);

struct StreamOptions {
    uint32_t pages = 1;           // copies of the page, one after the other
    uint64_t truncateLast = 0;    // bytes cut off the end, inside the last page's pixels
    bool zeroHeightPage = false;  // a header with cupsHeight 0 after the pages
};

bool BuildStream(const RasterPage& page, const StreamOptions& options, std::string* stream,
                 std::string* error);

}  // namespace zelp

#endif
