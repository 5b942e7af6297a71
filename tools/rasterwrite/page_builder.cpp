// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "page_builder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace zelp {

namespace {

bool Fail(std::string* error, const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
}

// Keeps one page's bytes well inside what a test or the demo should make.
constexpr uint64_t kMaxPageBytes = uint64_t{1} << 30;

}  // namespace

bool IsSupportedDepth(uint32_t bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

uint64_t NaturalBytesPerLine(uint32_t width, uint32_t bitsPerPixel) {
    return (uint64_t{width} * bitsPerPixel + 7) / 8;
}

void ConvertRow(const Picture& picture, int y, uint32_t bitsPerPixel, uint8_t* out) {
    const int w = picture.width;
    // `out` holds this many bytes, so the count fits.
    std::memset(out, 0, size_t(NaturalBytesPerLine(uint32_t(w), bitsPerPixel)));
    for (int x = 0; x < w; ++x) {
        const uint8_t grey = picture.Grey(x, y);
        switch (bitsPerPixel) {
        case 1:
            if (grey < 128) out[x / 8] |= uint8_t(0x80 >> (x % 8));
            break;
        case 4:
            out[x / 2] |= uint8_t(x % 2 ? grey >> 4 : grey & 0xF0);
            break;
        case 8:
            out[x] = grey;
            break;
        case 16:  // grey x 257 has both bytes equal to grey
            out[2 * x] = grey;
            out[2 * x + 1] = grey;
            break;
        case 24:
        case 32: {
            const uint8_t* p = picture.At(x, y);
            uint8_t* o = out + size_t(x) * (bitsPerPixel / 8);
            const bool rgb = picture.channels == 3;
            o[0] = p[0];
            o[1] = rgb ? p[1] : p[0];
            o[2] = rgb ? p[2] : p[0];
            if (bitsPerPixel == 32) o[3] = 255;
            break;
        }
        default:
            return;
        }
    }
}

bool BuildPage(const Picture& picture, const PageOptions& options, RasterPage* page,
               std::string* error) {
    if (picture.Empty()) return Fail(error, "the picture is empty");
    if (!IsSupportedDepth(options.bitsPerPixel))
        return Fail(error, "bits per pixel must be 1, 4, 8, 16, 24 or 32, not " +
                               std::to_string(options.bitsPerPixel));
    const uint64_t natural = NaturalBytesPerLine(uint32_t(picture.width), options.bitsPerPixel);
    const uint64_t bpl = options.bytesPerLine < 0 ? natural : uint64_t(options.bytesPerLine);
    if (bpl > UINT32_MAX || bpl * uint64_t(picture.height) > kMaxPageBytes)
        return Fail(error, "the page would be larger than 1 GiB");

    page->header = MakePageHeader(uint32_t(picture.width), uint32_t(picture.height),
                                  options.bitsPerPixel, options.copies);
    page->header.cupsBytesPerLine = unsigned(bpl);
    page->data.assign(size_t(bpl) * size_t(picture.height), 0);
    // A 32-bit system cannot hold a row of 4 GiB or more.
    if (natural > std::numeric_limits<size_t>::max()) return Fail(error, "a row of the page would not fit in memory");
    std::vector<uint8_t> row(static_cast<size_t>(natural));
    const size_t keep = size_t(std::min(natural, bpl));
    for (int y = 0; y < picture.height && keep > 0; ++y) {
        ConvertRow(picture, y, options.bitsPerPixel, row.data());
        std::memcpy(page->data.data() + size_t(y) * size_t(bpl), row.data(), keep);
    }
    return true;
}

bool BuildStream(const RasterPage& page, const StreamOptions& options, std::string* stream,
                 std::string* error) {
    if (options.pages == 0) return Fail(error, "at least one page is needed");
    if (options.truncateLast > page.data.size())
        return Fail(error, "cannot cut " + std::to_string(options.truncateLast) +
                               " bytes: the last page has only " +
                               std::to_string(page.data.size()) + " bytes of pixels");
    if (options.truncateLast > 0 && options.zeroHeightPage)
        return Fail(error, "a truncated stream cannot be followed by another header");
    if (uint64_t{options.pages} * (sizeof page.header + page.data.size()) > 2 * kMaxPageBytes)
        return Fail(error, "the stream would be larger than 2 GiB");

    std::vector<RasterPage> pages(options.pages, page);
    // A shorter last page makes the encoder stop the stream inside its pixels.
    pages.back().data.resize(page.data.size() - size_t(options.truncateLast));
    if (options.zeroHeightPage) {
        RasterPage end;
        end.header = ZeroHeightHeader(page.header);
        pages.push_back(end);
    }
    *stream = EncodeRasterStream(pages);
    return true;
}

}  // namespace zelp
