// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "plain_page_pipeline.h"

#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "expected_bytes.h"
#include "plain_image_ops.h"
#include "ximage.h"
#include "printer_commands.h"

namespace zelp::test {
namespace {

constexpr int32_t kBandRows = 24;
constexpr int64_t kWidestBandRow = 65535;  // what the GS v 0 width field holds

// The page buffer, one line per read; from the first line that does not
// arrive in full, lines are blank: no dot on 1-bit pages, white elsewhere.
std::vector<uint8_t> readPage(cups_raster_t* ras, const cups_page_header2_t& header, uint32_t* linesRead) {
    const size_t n = header.cupsBytesPerLine;
    std::vector<uint8_t> buffer(n * header.cupsHeight, 0);
    uint32_t y = 0;
    while (y < header.cupsHeight && cupsRasterReadPixels(ras, &buffer[y * n], static_cast<unsigned>(n)) != 0) ++y;
    const uint8_t blank = header.cupsBitsPerPixel == 1 ? 0x00 : 0xFF;
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(y * n), buffer.end(), blank);
    *linesRead = y;
    return buffer;
}

void setBit(std::vector<uint8_t>& bytes, size_t byte, int bit, bool on) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> bit);
    bytes[byte] = static_cast<uint8_t>(on ? (bytes[byte] | mask) : (bytes[byte] & ~mask));
}

// Renders one page into `bitmap`; false when nothing of it is sent.
bool renderPage(cups_raster_t* ras, const cups_page_header2_t& header, const PageOptions& options,
                PlainPage* page, DotBitmap* bitmap) {
    const std::vector<uint8_t> buffer = readPage(ras, header, &page->linesRead);
    CxImage image(0);
    if (!image.CreateFromArray(buffer.data(), header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel,
                               header.cupsBytesPerLine, false)) {
        return false;
    }
    // The margin a turn adds is white on the paper: no dot on 1-bit pages,
    // the lightest level on the others.
    const int white = header.cupsBitsPerPixel == 1 ? 0 : header.cupsBitsPerPixel == 4 ? 15 : 255;
    switch (options.printRotate) {
        case 1: plain::Rotate(image, 90.0f, white); break;
        case 2: plain::Rotate(image, 180.0f, white); break;
        case 3: plain::Rotate(image, 270.0f, white); break;
        default: break;
    }
    if (image.GetBpp() > 23) plain::GrayScale(image);
    if (options.imageAlgorithm == 1) {
        plain::Threshold(image, 127);
    } else {
        plain::Dither0(image);
    }
    if (image.GetBpp() != 1 || image.GetNumColors() != 2 || image.GetBits(0) == nullptr) return false;

    page->lDelta = static_cast<int64_t>(image.GetEffWidth());
    page->cx = static_cast<int32_t>(image.GetWidth());
    page->cy = static_cast<int32_t>(image.GetHeight());
    if (page->lDelta > kWidestBandRow) return false;
    bitmap->lDelta = page->lDelta;
    bitmap->rows = page->cy;
    bitmap->bytes.clear();
    for (int32_t y = 0; y < page->cy; ++y) {
        const uint8_t* row = image.GetBits(static_cast<uint64_t>(y));
        bitmap->bytes.insert(bitmap->bytes.end(), row, row + page->lDelta);
    }
    // 1-bit pages go out as read, with nothing right of the width; every
    // other depth holds black as 0: pad with white, then invert to dots.
    const bool asRead = header.cupsBitsPerPixel == 1;
    for (int32_t y = 0; y < page->cy; ++y) {
        for (int64_t x = page->cx; x < page->lDelta * 8; ++x) {
            setBit(bitmap->bytes, static_cast<size_t>(y * page->lDelta + x / 8), static_cast<int>(x % 8), !asRead);
        }
    }
    if (!asRead) {
        for (uint8_t& byte : bitmap->bytes) byte = static_cast<uint8_t>(~byte);
    }

    auto rowIsBlank = [&](int32_t y) {
        const auto begin = bitmap->bytes.begin() + y * page->lDelta;
        return std::all_of(begin, begin + page->lDelta, [](uint8_t b) { return b == 0; });
    };
    int32_t end = page->cy;
    if (options.blankSpace != 0) {
        while (end > 0 && rowIsBlank(end - 1)) --end;
    }
    int32_t first = 0;
    if (options.leadingBlank > 0) {
        while (first < end && rowIsBlank(first)) ++first;
        if (first == end) first = 0;  // no dot: the page prints as without the option
    }
    page->firstRowSent = first;
    page->rowsSent = end - first;
    bitmap->bytes.erase(bitmap->bytes.begin(), bitmap->bytes.begin() + first * page->lDelta);
    bitmap->rows -= first;
    return true;
}

size_t bytesPerCopy(const PlainPage& page) {
    const size_t bands = static_cast<size_t>((page.rowsSent + kBandRows - 1) / kBandRows);
    return bands * 8 + static_cast<size_t>(page.rowsSent) * static_cast<size_t>(page.lDelta);
}

}  // namespace

PlainJob RunPlainPipeline(const std::string& rasterPath, const PageOptions& options) {
    PlainJob job;
    const int fd = open(rasterPath.c_str(), O_RDONLY);
    if (fd < 0) return job;
    cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
    if (ras == nullptr) {
        close(fd);
        return job;
    }
    job.opened = true;
    ExpectedBytes out;
    out.AddRaw(wire::Init());
    cups_page_header2_t header;
    while (cupsRasterReadHeader2(ras, &header) != 0 && header.cupsHeight != 0 && header.cupsBytesPerLine != 0) {
        PlainPage page;
        page.numCopies = header.NumCopies;
        page.firstByte = out.Bytes().size();
        DotBitmap bitmap;
        page.sent = renderPage(ras, header, options, &page, &bitmap);
        if (page.sent) {
            for (uint64_t copy = 1; copy <= header.NumCopies; ++copy) out.AddBands(bitmap, page.rowsSent);
        }
        job.pages.push_back(page);
    }
    cupsRasterClose(ras);
    close(fd);
    job.bytes = out.Bytes();
    return job;
}

std::string PlainJob::Locate(size_t offset) const {
    const PlainPage* in = nullptr;
    size_t number = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].firstByte <= offset) {
            in = &pages[i];
            number = i + 1;
        }
    }
    if (in == nullptr) return "in the job-start bytes";
    const std::string geometry = " (lDelta " + std::to_string(in->lDelta) + ", cx " + std::to_string(in->cx) +
                                 ", cy " + std::to_string(in->cy) + ", " + std::to_string(in->rowsSent) +
                                 " rows sent, " + std::to_string(in->linesRead) + " lines read)";
    const size_t perCopy = in->sent ? bytesPerCopy(*in) : 0;
    size_t at = offset - in->firstByte;
    if (perCopy == 0 || at >= perCopy * in->numCopies) {
        return "past the bands of page " + std::to_string(number) + geometry;
    }
    const size_t copy = at / perCopy;
    at %= perCopy;
    const size_t fullBand = 8 + kBandRows * static_cast<size_t>(in->lDelta);
    const size_t band = at / fullBand;
    at %= fullBand;
    std::string where = "page " + std::to_string(number) + geometry + ", copy " + std::to_string(copy + 1) +
                        ", band " + std::to_string(band + 1);
    if (at < 8) return where + ", band header byte " + std::to_string(at);
    at -= 8;
    const size_t row = static_cast<size_t>(in->firstRowSent) + band * kBandRows + at / static_cast<size_t>(in->lDelta);
    const size_t byte = at % static_cast<size_t>(in->lDelta);
    return where + ", bitmap row " + std::to_string(row) + " byte " + std::to_string(byte);
}

}  // namespace zelp::test
