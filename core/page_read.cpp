#include "page_read.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "debug.h"
#include "raster_input.h"
#include "ximage.h"

namespace {

// Every buffer a page needs is limited to what a signed 32-bit size can
// describe, so that no stream, however small, can claim gigabytes.
int64_t g_pageBufferLimit = kPageBufferLimit;
constexpr uint64_t kSkipChunkBytes = 64 * 1024;
// Lines gathered per read when they must be copied into padded rows.
constexpr uint64_t kReadBlockBytes = 1024 * 1024;

// Bytes that print nothing at a page's depth: a clear bit on 1-bit pages,
// white on every other (they are inverted later).
unsigned char blankByteFor(const cups_page_header2_t* header) {
    return header->cupsBitsPerPixel == 1 ? 0x00 : 0xFF;
}

void traceGetRaw(uint32_t n, uint32_t height) {
    char text[512] = {};
    const int64_t size = int64_t{n} * height;
    snprintf(text, sizeof text, "GetRaw:%d,%d,%d,%d", static_cast<int>(n), static_cast<int>((int64_t{n} + 7) / 8 * 8),
             static_cast<int>(n), static_cast<int>(size));
    Dbg_WriteStr(text);
}

void reportNoMemory() {
    fputs("ERROR: Unable to allocate memory\n", stderr);
}

// Bytes of an image at `bits` per pixel (as the image library maps depths)
// of the given size, saturating far above any limit.
int64_t imageBytes(uint32_t bits, uint64_t width, uint64_t height) {
    const uint64_t mapped = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
    const uint64_t rowBytes = (mapped * width + 31) / 32 * 4;
    if (height != 0 && rowBytes > (uint64_t{1} << 62) / height) return INT64_MAX;
    return static_cast<int64_t>(rowBytes * height);
}

// Lines that land in the image rows as they are (same depth, no wider than
// a row) are read straight into the page image: no page buffer, no copy.
bool readsStraightIntoImage(const cups_page_header2_t* header) {
    const uint32_t bits = header->cupsBitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    const uint64_t rowBytes = (uint64_t{bits} * header->cupsWidth + 31) / 32 * 4;
    return header->cupsWidth > 0 && header->cupsBytesPerLine <= rowBytes;
}

// Lines into image rows that are longer than the lines (row padding):
// gathered in blocks, then copied. Returns the whole lines read.
uint32_t readIntoPaddedRows(cups_raster_t* ras, CxImage* image, uint32_t n, uint32_t height) {
    std::vector<unsigned char> block(std::max<uint64_t>(n, kReadBlockBytes / n * n));
    const uint32_t perBlock = static_cast<uint32_t>(block.size() / n);
    uint32_t got = 0;
    while (got < height) {
        const uint32_t want = std::min(perBlock, height - got);
        const uint32_t lines = ReadRasterLines(ras, block.data(), n, want);
        for (uint32_t i = 0; i < lines; ++i) memcpy(image->GetBits(got + i), &block[uint64_t{i} * n], n);
        got += lines;
        if (lines < want) break;
    }
    return got;
}

// Builds the page image as CreateFromArray would from a page buffer of the
// same lines.
bool readPageIntoImage(cups_raster_t* ras, const cups_page_header2_t* header, CxImage* image) {
    const uint32_t n = header->cupsBytesPerLine;
    const uint32_t height = header->cupsHeight;
    traceGetRaw(n, height);
    if (image->Create(header->cupsWidth, height, header->cupsBitsPerPixel, 0) == nullptr) {
        reportNoMemory();
        SkipPageData(ras, header);
        return false;
    }
    if (header->cupsBitsPerPixel <= 8) image->SetGrayPalette();
    const uint32_t got = image->GetEffWidth() == n ? ReadRasterLines(ras, image->GetBits(0), n, height)
                                                   : readIntoPaddedRows(ras, image, n, height);
    for (uint32_t y = got; y < height; ++y) memset(image->GetBits(y), blankByteFor(header), n);
    return true;
}

// The page image from a page buffer: for 32-bit pages (colour and alpha
// split), lines wider than an image row, and depths the image refuses.
bool readPageViaBuffer(cups_raster_t* ras, const cups_page_header2_t* header, CxImage* image) {
    unsigned char* pageBuffer = CUPS_GetImageData(ras, header);
    if (pageBuffer == nullptr) return false;
    const bool built = image->CreateFromArray(pageBuffer, header->cupsWidth, header->cupsHeight,
                                              header->cupsBitsPerPixel, header->cupsBytesPerLine, false);
    free(pageBuffer);  // the image holds the pixels now
    return built;
}

}  // namespace

void SetPageBufferLimit(int64_t bytes) {
    g_pageBufferLimit = bytes;
}

bool PageBuffersFit(const cups_page_header2_t* header, int32_t printRotate) {
    const uint64_t w = header->cupsWidth;
    const uint64_t h = header->cupsHeight;
    const uint32_t bits = header->cupsBitsPerPixel;
    // Rotation adds up to three pixels each way and may swap the sides.
    const bool turned = printRotate >= 1 && printRotate <= 3;
    const bool quarter = printRotate == 1 || printRotate == 3;
    const uint64_t fw = !turned ? w : quarter ? h + 3 : w + 3;
    const uint64_t fh = !turned ? h : quarter ? w + 3 : h + 3;
    const int64_t needs[] = {
        static_cast<int64_t>(uint64_t{header->cupsBytesPerLine} * h),  // page buffer
        imageBytes(bits, w, h),                                        // page image
        turned ? imageBytes(bits, fw, fh) : 0,                          // turned image
        bits > 1 ? imageBytes(8, fw, fh) : 0,                           // grey image
        imageBytes(1, fw, fh),                                          // two-level image and bitmap
    };
    for (const int64_t need : needs) {
        if (need < 0 || need >= g_pageBufferLimit) return false;
    }
    return true;
}

void SkipPageData(cups_raster_t* ras, const cups_page_header2_t* header) {
    static unsigned char scratch[kSkipChunkBytes];
    uint64_t left = uint64_t{header->cupsBytesPerLine} * header->cupsHeight;
    while (left > 0) {
        const unsigned chunk = static_cast<unsigned>(left < kSkipChunkBytes ? left : kSkipChunkBytes);
        if (cupsRasterReadPixels(ras, scratch, chunk) == 0) return;
        left -= chunk;
    }
}

unsigned char* CUPS_GetImageData(cups_raster_t* ras, const cups_page_header2_t* header) {
    const int64_t n = header->cupsBytesPerLine;
    const int64_t size = n * int64_t{header->cupsHeight};
    traceGetRaw(header->cupsBytesPerLine, header->cupsHeight);
    unsigned char* buffer = size < g_pageBufferLimit ? static_cast<unsigned char*>(malloc(size)) : nullptr;
    if (buffer == nullptr) {
        reportNoMemory();
        return nullptr;
    }
    memset(buffer, 0, static_cast<size_t>(size));
    const uint32_t got = ReadRasterLines(ras, buffer, header->cupsBytesPerLine, header->cupsHeight);
    // From the first line that did not arrive in full, the page stays blank
    // rather than printing data that never came.
    memset(buffer + got * n, blankByteFor(header), static_cast<size_t>(size - got * n));
    return buffer;
}

bool LoadPageImage(cups_raster_t* ras, const cups_page_header2_t* header, CxImage* image) {
    return readsStraightIntoImage(header) ? readPageIntoImage(ras, header, image)
                                          : readPageViaBuffer(ras, header, image);
}
