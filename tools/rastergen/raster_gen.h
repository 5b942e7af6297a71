// Building CUPS raster streams for tests, the demo and the benchmarks.
//
// Pages are encoded with libcups's own raster writer (uncompressed), so the
// filter reads exactly what a CUPS chain would hand it.
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
std::string EncodeRasterStream(const std::vector<RasterPage>& pages);

// Writes the stream to `path`; false (with errno set) when it cannot.
bool WriteRasterFile(const std::string& path, const std::vector<RasterPage>& pages);

}  // namespace zelp

#endif
