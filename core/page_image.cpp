// One page: raster lines in, a 1-bit page bitmap out to the printer.
#include "page_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "debug.h"
#include "raster_bands.h"
#include "ximage.h"

const unsigned char g_bitHelpMask[8] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F};

namespace {

constexpr float kQuarterTurn = 90.0f;
constexpr float kHalfTurn = 180.0f;
constexpr float kThreeQuarterTurn = 270.0f;
constexpr uint8_t kThresholdLevel = 127;
constexpr int32_t kThresholdAlgorithm = 1;

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

void reportTooWide(int64_t lDelta) {
    fprintf(stderr,
            "ERROR: Page is too wide to print: its rows need %lld bytes, the printer takes at most %lld\n",
            static_cast<long long>(lDelta), static_cast<long long>(kMaxBandRowBytes));
}

}  // namespace

namespace {

// Sets (or clears) every bit of every row from bit position cx onwards:
// whole padding bytes, then the rest of the last byte the width uses.
void fillPaddingBits(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy, bool set) {
    const int64_t pad = lDelta * 8 - cx;
    if (pad <= 0) return;
    const int64_t full = pad / 8;
    const int rest = static_cast<int>(pad % 8);
    for (int64_t r = 0; r < cy; ++r) {
        const int64_t end = (r + 1) * lDelta;
        memset(bitmap + end - full, set ? 0xFF : 0x00, static_cast<size_t>(full));
        if (rest == 0) continue;
        unsigned char& last = bitmap[end - full - 1];
        last = static_cast<unsigned char>(set ? (last | g_bitHelpMask[rest]) : (last & ~g_bitHelpMask[rest]));
    }
}

}  // namespace

void HandlerDiff2Blank(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy) {
    fillPaddingBits(bitmap, lDelta, cx, cy, true);
}

void ClearBitsRightOfWidth(unsigned char* bitmap, int64_t lDelta, int32_t cx, int32_t cy) {
    fillPaddingBits(bitmap, lDelta, cx, cy, false);
}

void ReveseBitmap(unsigned char* bitmap, int64_t length) {
    int64_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        memcpy(&word, bitmap + i, sizeof word);
        word = ~word;
        memcpy(bitmap + i, &word, sizeof word);
    }
    for (; i < length; ++i) bitmap[i] = static_cast<unsigned char>(~bitmap[i]);
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
    CxImage* image = nullptr;
    if (PageBuffersFit(header, settings->PrintRotate)) image = new (std::nothrow) CxImage(0);
    if (image == nullptr) {
        fputs("ERROR: Unable to allocate memory\n", stderr);
        SkipPageData(ras, header);
        return 1;
    }
    int64_t cjBits = 0;
    int64_t lDelta = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    unsigned char* bitmap = nullptr;
    if (LoadPageImage(ras, header, image)) bitmap = CxImageHandler(image, settings, &cjBits, &lDelta, &cx, &cy);
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
