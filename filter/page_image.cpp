// One page: raster lines in, a 1-bit page bitmap out to the printer.
#include "page_image.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "debug.h"
#include "raster_input.h"
#include "raster_bands.h"
#include "ximage.h"

const unsigned char g_bitHelpMask[8] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F};

namespace {

// Every buffer a page needs is limited to what a signed 32-bit size can
// describe, so that no stream, however small, can claim gigabytes.
int64_t g_pageBufferLimit = kPageBufferLimit;
constexpr uint64_t kSkipChunkBytes = 64 * 1024;
// Lines gathered per read when they must be copied into padded rows.
constexpr uint64_t kReadBlockBytes = 1024 * 1024;

constexpr float kQuarterTurn = 90.0f;
constexpr float kHalfTurn = 180.0f;
constexpr float kThreeQuarterTurn = 270.0f;
constexpr uint8_t kThresholdLevel = 127;
constexpr int32_t kThresholdAlgorithm = 1;

// Bytes that print nothing at a page's depth: a clear bit on 1-bit pages,
// white on every other (they are inverted later).
unsigned char blankByteFor(const cups_page_header2_t* header) {
    return header->cupsBitsPerPixel == 1 ? 0x00 : 0xFF;
}

void traceFormat(const char* format, int64_t a, int64_t b, int64_t c, int64_t d) {
    char text[512] = {};
    snprintf(text, sizeof text, format, static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
             static_cast<int>(d));
    Dbg_WriteStr(text);
}

void rotateAsAsked(CxImage* image, int32_t printRotate) {
    switch (printRotate) {
        case 1: image->Rotate(kQuarterTurn, nullptr); break;
        case 2: image->Rotate(kHalfTurn, nullptr); break;
        case 3: image->Rotate(kThreeQuarterTurn, nullptr); break;
        default: break;
    }
}

// Bytes of an image at `bits` per pixel (as the image library maps depths)
// of the given size, saturating far above any limit.
int64_t imageBytes(uint32_t bits, uint64_t width, uint64_t height) {
    const uint64_t mapped = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
    const uint64_t rowBytes = (mapped * width + 31) / 32 * 4;
    if (height != 0 && rowBytes > (uint64_t{1} << 62) / height) return INT64_MAX;
    return static_cast<int64_t>(rowBytes * height);
}

// Reads and drops the rest of a page that is not printed, so that the next
// page header is found where it belongs.
void skipPageData(cups_raster_t* ras, const cups_page_header2_t* header) {
    static unsigned char scratch[kSkipChunkBytes];
    uint64_t left = uint64_t{header->cupsBytesPerLine} * header->cupsHeight;
    while (left > 0) {
        const unsigned chunk = static_cast<unsigned>(left < kSkipChunkBytes ? left : kSkipChunkBytes);
        if (cupsRasterReadPixels(ras, scratch, chunk) == 0) return;
        left -= chunk;
    }
}

void reportTooWide(int64_t lDelta) {
    fprintf(stderr,
            "ERROR: Page is too wide to print: its rows need %lld bytes, the printer takes at most %lld\n",
            static_cast<long long>(lDelta), static_cast<long long>(kMaxBandRowBytes));
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

namespace {

// Lines that land in the image rows as they are (same depth, no wider than
// a row) are read straight into the page image: no page buffer, no copy.
bool ReadsStraightIntoImage(const cups_page_header2_t* header) {
    const uint32_t bits = header->cupsBitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    const uint64_t rowBytes = (uint64_t{bits} * header->cupsWidth + 31) / 32 * 4;
    return header->cupsWidth > 0 && header->cupsBytesPerLine <= rowBytes;
}

// Builds the page image as CreateFromArray would from a page buffer of the
// same lines. False, after the allocation message, when it cannot.
bool ReadPageIntoImage(cups_raster_t* ras, const cups_page_header2_t* header, CxImage* image) {
    const uint32_t n = header->cupsBytesPerLine;
    const uint32_t height = header->cupsHeight;
    traceFormat("GetRaw:%d,%d,%d,%d", n, (int64_t{n} + 7) / 8 * 8, n, int64_t{n} * height);
    if (image->Create(header->cupsWidth, height, header->cupsBitsPerPixel, 0) == nullptr) {
        fputs("ERROR: Unable to allocate memory\n", stderr);
        skipPageData(ras, header);
        return false;
    }
    if (header->cupsBitsPerPixel <= 8) image->SetGrayPalette();
    const uint64_t rowBytes = image->GetEffWidth();
    uint32_t got = 0;
    if (rowBytes == n) {
        got = ReadRasterLines(ras, image->GetBits(0), n, height);
    } else {
        std::vector<unsigned char> block(std::max<uint64_t>(n, kReadBlockBytes / n * n));
        const uint32_t perBlock = static_cast<uint32_t>(block.size() / n);
        while (got < height) {
            const uint32_t want = std::min(perBlock, height - got);
            const uint32_t lines = ReadRasterLines(ras, block.data(), n, want);
            for (uint32_t i = 0; i < lines; ++i) memcpy(image->GetBits(got + i), &block[uint64_t{i} * n], n);
            got += lines;
            if (lines < want) break;
        }
    }
    for (uint32_t y = got; y < height; ++y) memset(image->GetBits(y), blankByteFor(header), n);
    return true;
}

// The page image from a page buffer: for 32-bit pages (colour and alpha
// split) and lines wider than an image row.
bool ReadPageViaBuffer(cups_raster_t* ras, const cups_page_header2_t* header, CxImage* image) {
    unsigned char* pageBuffer = CUPS_GetImageData(ras, header);
    if (pageBuffer == nullptr) return false;
    const bool built = image->CreateFromArray(pageBuffer, header->cupsWidth, header->cupsHeight,
                                              header->cupsBitsPerPixel, header->cupsBytesPerLine, false);
    free(pageBuffer);  // the image holds the pixels now
    return built;
}

}  // namespace

unsigned char* CUPS_GetImageData(cups_raster_t* ras, const cups_page_header2_t* header) {
    const int64_t n = header->cupsBytesPerLine;
    const int64_t size = n * int64_t{header->cupsHeight};
    traceFormat("GetRaw:%d,%d,%d,%d", n, (n + 7) / 8 * 8, n, size);
    unsigned char* buffer = size < g_pageBufferLimit ? static_cast<unsigned char*>(malloc(size)) : nullptr;
    if (buffer == nullptr) {
        fputs("ERROR: Unable to allocate memory\n", stderr);
        return nullptr;
    }
    memset(buffer, 0, static_cast<size_t>(size));
    const uint32_t got = ReadRasterLines(ras, buffer, header->cupsBytesPerLine, header->cupsHeight);
    // From the first line that did not arrive in full, the page stays blank
    // rather than printing data that never came.
    memset(buffer + got * n, blankByteFor(header), static_cast<size_t>(size - got * n));
    return buffer;
}

void HandlerDiff2Blank(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy) {
    const int64_t pad = lDelta * 8 - cx;
    if (pad <= 0) return;
    const int64_t full = pad / 8;
    const int rest = static_cast<int>(pad % 8);
    for (int64_t r = 0; r < cy; ++r) {
        const int64_t end = (r + 1) * lDelta;
        memset(bitmap + end - full, 0xFF, static_cast<size_t>(full));
        if (rest > 0) bitmap[end - full - 1] |= g_bitHelpMask[rest];
    }
}

void ReveseBitmap(unsigned char* bitmap, int64_t length) {
    for (int64_t i = 0; i < length; ++i) bitmap[i] = static_cast<unsigned char>(~bitmap[i]);
}

void ClearBitsRightOfWidth(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy) {
    const int64_t pad = lDelta * 8 - cx;
    if (pad <= 0) return;
    const int64_t full = pad / 8;
    const int rest = static_cast<int>(pad % 8);
    for (int64_t r = 0; r < cy; ++r) {
        const int64_t end = (r + 1) * lDelta;
        memset(bitmap + end - full, 0x00, static_cast<size_t>(full));
        if (rest > 0) bitmap[end - full - 1] &= static_cast<unsigned char>(~g_bitHelpMask[rest]);
    }
}

unsigned char* GetCxImageBinaryData(const ZELP_Init_Setting* settings, CxImage* image, int64_t* cjBits,
                                    int64_t* lDelta, int32_t* cx, int32_t* cy) {
    if (image->GetBpp() != 1 || image->GetNumColors() != 2 || image->GetBits(0) == nullptr) return nullptr;
    *lDelta = static_cast<int64_t>(image->GetEffWidth());
    if (*lDelta > kMaxBandRowBytes) return nullptr;  // no GS v 0 block can describe such a row
    *cx = static_cast<int32_t>(image->GetWidth());
    *cy = static_cast<int32_t>(image->GetHeight());
    *cjBits = *lDelta * *cy;
    unsigned char* bitmap = static_cast<unsigned char*>(malloc(static_cast<size_t>(*cjBits)));
    if (bitmap == nullptr) return nullptr;
    memcpy(bitmap, image->GetBits(0), static_cast<size_t>(*cjBits));
    if (settings->pageHeader->cupsBitsPerPixel == 1) {
        ClearBitsRightOfWidth(bitmap, *lDelta, *cx, *cy);
    } else {
        // Converted pages hold black as index 0: set the padding white, then
        // invert so that black becomes a dot and the padding prints nothing.
        HandlerDiff2Blank(bitmap, *lDelta, *cx, *cy);
        ReveseBitmap(bitmap, *cjBits);
    }
    return bitmap;
}

unsigned char* CxImageHandler(CxImage* image, const ZELP_Init_Setting* settings, int64_t* cjBits,
                              int64_t* lDelta, int32_t* cx, int32_t* cy) {
    char text[512] = {};
    snprintf(text, sizeof text, "ImageA:%d %d", settings->ImageAlgorithm, static_cast<int>(image->GetBpp()));
    Dbg_WriteStr(text);
    rotateAsAsked(image, settings->PrintRotate);
    if (image->GetBpp() > 23) image->GrayScale();
    if (settings->ImageAlgorithm == kThresholdAlgorithm) {
        image->Threshold(kThresholdLevel);
    } else {
        image->Dither(0);
    }
    return GetCxImageBinaryData(settings, image, cjBits, lDelta, cx, cy);
}

int ZelpPrintImage(cups_raster_t* ras, cups_page_header2_t* header, ZELP_Init_Setting* settings) {
    if (!PageBuffersFit(header, settings->PrintRotate)) {
        fputs("ERROR: Unable to allocate memory\n", stderr);
        skipPageData(ras, header);
        return 1;
    }
    CxImage* image = new (std::nothrow) CxImage(0);
    if (image == nullptr) {
        fputs("ERROR: Unable to allocate memory\n", stderr);
        skipPageData(ras, header);
        return 1;
    }
    const bool built = ReadsStraightIntoImage(header) ? ReadPageIntoImage(ras, header, image)
                                                      : ReadPageViaBuffer(ras, header, image);
    if (!built) {
        delete image;
        return 1;
    }
    int64_t cjBits = 0;
    int64_t lDelta = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    unsigned char* bitmap = CxImageHandler(image, settings, &cjBits, &lDelta, &cx, &cy);
    delete image;
    if (bitmap == nullptr) {
        if (lDelta > kMaxBandRowBytes) reportTooWide(lDelta);
        return 1;
    }
    traceFormat("cjBits=%d,lDelta=%d,cx=%d,cy=%d", cjBits, lDelta, cx, cy);
    SendPageBitmap2Printer(header, settings, bitmap, &cjBits, &lDelta, &cx, &cy);
    free(bitmap);
    return 0;
}
