// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Building CUPS raster streams for tests, the demo and the benchmarks.
//
// Pages are encoded with libcups's own raster writer (uncompressed), so the
// filter reads exactly what a CUPS chain would hand it.
//
// What libcups 2.4 (Debian 12) takes, found by trying it:
//
// Writer (cupsRasterOpenIO with CUPS_RASTER_WRITE, cupsRasterWriteHeader2,
// cupsRasterWritePixels): it checks nothing. Every header is written as given,
// byte for byte (cupsHeight 0, 16 bits per colour, 2 or 3 bits per pixel, a
// cupsBytesPerLine smaller or larger than the width needs, cupsWidth 0), and
// pixel bytes go out unchanged, 16-bit samples included. The one header it
// cannot take is cupsBytesPerLine 0: cupsRasterWritePixels then divides by
// zero (SIGFPE). Such pages are written by hand here (AppendRawPage).
//
// Reader (cupsRasterReadHeader2): it refuses, returning 0 as at the end of the
// stream, a header with cupsHeight 0, cupsBytesPerLine 0, cupsBitsPerColor 0
// or above 16, cupsBitsPerPixel 0 or above 240, or a cupsBytesPerLine that is
// not a whole number of pixels ((cupsBitsPerPixel + 7) / 8 bytes each, so 24
// bits per pixel with 10 bytes per line is refused). It accepts cupsWidth 0,
// 16 bits per colour, 2 or 3 bits per pixel, and a cupsBytesPerLine smaller
// or larger than (cupsWidth x cupsBitsPerPixel + 7) / 8. It fills in
// cupsNumColors when the header has 0 there; MakePageHeader sets it, so a
// header reads back exactly as written. A stream that ends inside a line:
// cupsRasterReadPixels returns 0 for that line.
#ifndef ZELP_TOOLS_RASTER_GEN_H
#define ZELP_TOOLS_RASTER_GEN_H

#include <cups/raster.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zelp {

// A page as it goes into the stream: its header and the bytes of its lines.
// `data` normally holds cupsBytesPerLine x cupsHeight bytes; a shorter
// `data` writes only what it holds, which leaves the stream short (use it
// only for the last page).
struct RasterPage {
    cups_page_header2_t header;
    std::vector<uint8_t> data;
};

// A header that libcups accepts and the filter reads: the given size and
// depth at 203 dpi, bits per colour and colour space to match the depth
// (1: K, 4 and 8: W, 16: W at 16 bits per colour, 24: RGB, 32: RGBA,
// other depths: 8 bits per colour), cupsBytesPerLine = (width x bpp + 7) / 8.
cups_page_header2_t MakePageHeader(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                                   uint32_t copies = 1);

// A page whose lines are all `fill`.
RasterPage MakeFilledPage(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint8_t fill,
                          uint32_t copies = 1);

// The whole stream as bytes: sync word, then each page's header and lines.
// Pages with cupsBytesPerLine 0 are written by hand (see above); all others
// go through libcups's writer.
std::string EncodeRasterStream(const std::vector<RasterPage>& pages);

// Writes the stream to `path`; false (with errno set) when it cannot.
bool WriteRasterFile(const std::string& path, const std::vector<RasterPage>& pages);

// The four bytes that open an uncompressed stream: "RaS3" as a native 32-bit
// word (so "3SaR" on little-endian machines).
std::string RasterSyncWord();

// Appends one page in the writer's uncompressed layout without libcups: the
// 1796-byte header in native byte order, then `data` as it is. `stream` must
// already start with RasterSyncWord().
void AppendRawPage(std::string& stream, const RasterPage& page);

// A header with cupsHeight 0 after the given one's other fields: libcups's
// reader takes it as the end of the stream.
cups_page_header2_t ZeroHeightHeader(const cups_page_header2_t& like);

// Reads a stream back with libcups's reader (cupsRasterReadHeader2 and
// cupsRasterReadPixels, one line at a time). Each page's `data` holds the
// lines read in full; reading stops at the first header the reader refuses.
// False when `bytes` does not open as a raster stream.
bool DecodeRasterStream(const std::string& bytes, std::vector<RasterPage>* pages);

}  // namespace zelp

#endif
