// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "raster_gen.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelp {

namespace {

constexpr unsigned kDpi = 203;

ssize_t AppendToString(void* ctx, unsigned char* buffer, size_t length) {
    static_cast<std::string*>(ctx)->append(reinterpret_cast<const char*>(buffer), length);
    return static_cast<ssize_t>(length);
}

struct ReadCursor {
    const std::string* bytes;
    size_t pos;
};

ssize_t ReadFromString(void* ctx, unsigned char* buffer, size_t length) {
    auto* cursor = static_cast<ReadCursor*>(ctx);
    size_t n = std::min(length, cursor->bytes->size() - cursor->pos);
    std::copy_n(cursor->bytes->begin() + static_cast<std::ptrdiff_t>(cursor->pos), n, buffer);
    cursor->pos += n;
    return static_cast<ssize_t>(n);
}

// What a page of each depth declares about its colours.
struct DepthModel {
    uint32_t bitsPerPixel;
    uint32_t bitsPerColor;
    cups_cspace_t colorSpace;
    uint32_t colors;
};

constexpr DepthModel kDepthModels[] = {
    {1, 1, CUPS_CSPACE_K, 1},     {4, 4, CUPS_CSPACE_W, 1},      {8, 8, CUPS_CSPACE_W, 1},
    {16, 16, CUPS_CSPACE_W, 1},   {24, 8, CUPS_CSPACE_RGB, 3},   {32, 8, CUPS_CSPACE_RGBA, 4},
};

// The odd depths that tests use to see pages refused declare 8-bit grey.
const DepthModel& ModelFor(uint32_t bitsPerPixel) {
    for (const DepthModel& model : kDepthModels) {
        if (model.bitsPerPixel == bitsPerPixel) return model;
    }
    return kDepthModels[2];
}

}  // namespace

cups_page_header2_t MakePageHeader(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                                   uint32_t copies) {
    cups_page_header2_t h;
    std::memset(&h, 0, sizeof h);
    std::snprintf(h.MediaClass, sizeof h.MediaClass, "%s", "PwgRaster");
    h.HWResolution[0] = kDpi;
    h.HWResolution[1] = kDpi;
    // Page size in points, as a RIP would have it for this many dots.
    h.PageSize[0] = static_cast<unsigned>((uint64_t{width} * 72 + kDpi / 2) / kDpi);
    h.PageSize[1] = static_cast<unsigned>((uint64_t{height} * 72 + kDpi / 2) / kDpi);
    h.ImagingBoundingBox[2] = h.PageSize[0];
    h.ImagingBoundingBox[3] = h.PageSize[1];
    h.cupsPageSize[0] = static_cast<float>(width) * 72.0f / kDpi;
    h.cupsPageSize[1] = static_cast<float>(height) * 72.0f / kDpi;
    h.NumCopies = copies;
    h.Orientation = CUPS_ORIENT_0;
    h.cupsWidth = width;
    h.cupsHeight = height;
    h.cupsBitsPerPixel = bitsPerPixel;
    h.cupsBytesPerLine = static_cast<unsigned>((uint64_t{width} * bitsPerPixel + 7) / 8);
    h.cupsColorOrder = CUPS_ORDER_CHUNKED;
    h.cupsBorderlessScalingFactor = 1.0f;

    const DepthModel& model = ModelFor(bitsPerPixel);
    h.cupsBitsPerColor = model.bitsPerColor;
    h.cupsColorSpace = model.colorSpace;
    h.cupsNumColors = model.colors;
    return h;
}

RasterPage MakeFilledPage(uint32_t width, uint32_t height, uint32_t bitsPerPixel, uint8_t fill,
                          uint32_t copies) {
    RasterPage page;
    page.header = MakePageHeader(width, height, bitsPerPixel, copies);
    page.data.assign(size_t{page.header.cupsBytesPerLine} * height, fill);
    return page;
}

std::string RasterSyncWord() {
    const uint32_t sync = CUPS_RASTER_SYNC;
    return std::string(reinterpret_cast<const char*>(&sync), sizeof sync);
}

void AppendRawPage(std::string& stream, const RasterPage& page) {
    stream.append(reinterpret_cast<const char*>(&page.header), sizeof page.header);
    stream.append(reinterpret_cast<const char*>(page.data.data()), page.data.size());
}

std::string EncodeRasterStream(const std::vector<RasterPage>& pages) {
    std::string out;
    cups_raster_t* r = cupsRasterOpenIO(AppendToString, &out, CUPS_RASTER_WRITE);
    if (r == nullptr) {
        // Never seen in practice; the hand-written layout is the same bytes.
        out = RasterSyncWord();
        for (const RasterPage& page : pages) AppendRawPage(out, page);
        return out;
    }
    for (const RasterPage& page : pages) {
        // The uncompressed writer passes every write straight to the callback,
        // so a page appended by hand lands in order between libcups's pages.
        if (page.header.cupsBytesPerLine == 0) {
            AppendRawPage(out, page);
            continue;
        }
        cups_page_header2_t header = page.header;  // the writer wants it mutable
        cupsRasterWriteHeader2(r, &header);
        if (!page.data.empty()) {
            std::vector<uint8_t> data = page.data;
            cupsRasterWritePixels(r, data.data(), static_cast<unsigned>(data.size()));
        }
    }
    cupsRasterClose(r);
    return out;
}

bool WriteRasterFile(const std::string& path, const std::vector<RasterPage>& pages) {
    const std::string bytes = EncodeRasterStream(pages);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written) errno = writeErrno;
    return written && closed;
}

cups_page_header2_t ZeroHeightHeader(const cups_page_header2_t& like) {
    cups_page_header2_t h = like;
    h.cupsHeight = 0;
    return h;
}

bool DecodeRasterStream(const std::string& bytes, std::vector<RasterPage>* pages) {
    pages->clear();
    ReadCursor cursor{&bytes, 0};
    cups_raster_t* r = cupsRasterOpenIO(ReadFromString, &cursor, CUPS_RASTER_READ);
    if (r == nullptr) return false;
    RasterPage page;
    while (cupsRasterReadHeader2(r, &page.header)) {
        // Line by line into a growing buffer: a damaged header cannot make
        // this allocate more than the stream holds.
        const unsigned bpl = page.header.cupsBytesPerLine;
        std::vector<uint8_t> line(bpl);
        page.data.clear();
        uint32_t lines = 0;
        while (lines < page.header.cupsHeight &&
               cupsRasterReadPixels(r, line.data(), bpl) == bpl) {
            page.data.insert(page.data.end(), line.begin(), line.end());
            ++lines;
        }
        pages->push_back(page);
        if (lines < page.header.cupsHeight) break;  // the stream ended inside this page
    }
    cupsRasterClose(r);
    return true;
}

}  // namespace zelp
