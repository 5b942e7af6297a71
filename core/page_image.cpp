// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// One turned page: raster lines in, a 1-bit page bitmap out to the printer.
#include "page_image.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "debug.h"
#include "page_bounds.h"
#include "raster_bands.h"
#include "ximage.h"

const unsigned char g_bitHelpMask[8] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F};

namespace {

constexpr float kQuarterTurn = 90.0f;
constexpr float kHalfTurn = 180.0f;
constexpr float kThreeQuarterTurn = 270.0f;
constexpr uint8_t kThresholdLevel = 127;
constexpr int32_t kThresholdAlgorithm = 1;
// Bytes of bitmap taken out between two looks at the image's escape.
constexpr int64_t kTakeOutBlockBytes = 4 << 20;

void rotateAsAsked(CxImage* image, int32_t printRotate) {
    switch (printRotate) {
        case 1: image->Rotate(kQuarterTurn, nullptr); break;
        case 2: image->Rotate(kHalfTurn, nullptr); break;
        case 3: image->Rotate(kThreeQuarterTurn, nullptr); break;
        default: break;
    }
}


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

unsigned char* GetCxImageBinaryData(const cups_page_header2_t& header, CxImage* image, int64_t* cjBits,
                                    int64_t* lDelta, int32_t* cx, int32_t* cy) {
    if (image->GetBpp() != 1 || image->GetNumColors() != 2 || image->GetBits(0) == nullptr) return nullptr;
    *lDelta = static_cast<int64_t>(image->GetEffWidth());
    if (*lDelta > kMaxBandRowBytes) return nullptr;  // no GS v 0 block can describe such a row
    *cx = static_cast<int32_t>(image->GetWidth());
    *cy = static_cast<int32_t>(image->GetHeight());
    *cjBits = *lDelta * *cy;
    unsigned char* bitmap = static_cast<unsigned char*>(malloc(static_cast<size_t>(*cjBits)));
    if (bitmap == nullptr) return nullptr;
    // Rows a block at a time, each row on its own, so that the image's
    // escape (a cancelled job) is heard between blocks of a large page.
    const int32_t blockRows = static_cast<int32_t>(std::max<int64_t>(1, kTakeOutBlockBytes / *lDelta));
    for (int32_t y = 0; y < *cy; y += blockRows) {
        if (image->GetEscape() != 0) {
            free(bitmap);
            return nullptr;
        }
        const int32_t rows = std::min(blockRows, *cy - y);
        unsigned char* block = bitmap + int64_t{y} * *lDelta;
        memcpy(block, image->GetBits(static_cast<uint64_t>(y)), static_cast<size_t>(rows * *lDelta));
        if (header.cupsBitsPerPixel == 1) {
            ClearBitsRightOfWidth(block, *lDelta, *cx, rows);
        } else {
            // Converted pages hold black as index 0: set the padding white,
            // then invert so that black becomes a dot and the padding
            // prints nothing.
            HandlerDiff2Blank(block, *lDelta, *cx, rows);
            ReveseBitmap(block, rows * *lDelta);
        }
    }
    return bitmap;
}

TurnedPictureBox PictureBoxOfTurn(const cups_page_header2_t& header, int32_t printRotate, int64_t width,
                                  int64_t height) {
    // A half turn keeps the page's width across; a quarter turn lays its
    // height there.
    const bool half = printRotate == 2;
    const int64_t across = half ? header.cupsWidth : header.cupsHeight;
    const int64_t down = half ? header.cupsHeight : header.cupsWidth;
    return TurnedPictureBox{width - 2 - across, height - 2 - down, width - 2, height - 2};
}

void WhitenTurnMargin(CxImage* image, const cups_page_header2_t& header, int32_t printRotate) {
    if (printRotate < 1 || printRotate > 3 || image->GetBits(0) == nullptr) return;
    const int64_t width = image->GetWidth();
    const int64_t height = image->GetHeight();
    const TurnedPictureBox box = PictureBoxOfTurn(header, printRotate, width, height);
    // White is what a blank line holds: no dot on 1-bit pages, the
    // lightest grey or colour on the others.
    const uint16_t bpp = image->GetBpp();
    const uint8_t white = static_cast<uint8_t>(BlankLineByte(header) & ((1u << std::min<uint16_t>(bpp, 8)) - 1));
    auto whiten = [&](int64_t x, int64_t y) {
        if (bpp == 24) {
            image->SetPixelColor(x, y, tagRGBQUAD{0xFF, 0xFF, 0xFF, 0}, false);
        } else {
            image->SetPixelIndex(x, y, white);
        }
    };
    for (int64_t y = 0; y < height; ++y) {
        if (y < box.top || y > box.bottom) {
            for (int64_t x = 0; x < width; ++x) whiten(x, y);
            continue;
        }
        for (int64_t x = 0; x < box.left; ++x) whiten(x, y);
        for (int64_t x = box.right + 1; x < width; ++x) whiten(x, y);
    }
}

unsigned char* CxImageHandler(CxImage* image, const cups_page_header2_t& header, const ZELP_Init_Setting& settings,
                              int64_t* cjBits, int64_t* lDelta, int32_t* cx, int32_t* cy) {
    char text[512] = {};
    snprintf(text, sizeof text, "ImageA:%d %d", settings.ImageAlgorithm, static_cast<int>(image->GetBpp()));
    Dbg_WriteStr(text);
    // A step stopped by the image's escape leaves no page to take out.
    rotateAsAsked(image, settings.PrintRotate);
    WhitenTurnMargin(image, header, settings.PrintRotate);
    if (image->GetBpp() > 23 && image->GetEscape() == 0) image->GrayScale();
    if (image->GetEscape() != 0) return nullptr;
    if (settings.ImageAlgorithm == kThresholdAlgorithm) {
        image->Threshold(kThresholdLevel);
    } else {
        image->Dither(0);
    }
    if (image->GetEscape() != 0) return nullptr;
    return GetCxImageBinaryData(header, image, cjBits, lDelta, cx, cy);
}

unsigned char BlankLineByte(const cups_page_header2_t& header) {
    return header.cupsBitsPerPixel == 1 ? 0x00 : 0xFF;
}

void ReportTooWide(ZelpOutput& out, int64_t lDelta) {
    char line[256];
    snprintf(line, sizeof line,
             "ERROR: Page is too wide to print: its rows need %lld bytes, the printer takes at most %lld\n",
             static_cast<long long>(lDelta), static_cast<long long>(kMaxBandRowBytes));
    out.Message(line);
}

void TraceNumbers(const char* format, int64_t a, int64_t b, int64_t c, int64_t d) {
    char text[512] = {};
    snprintf(text, sizeof text, format, static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
             static_cast<int>(d));
    Dbg_WriteStr(text);
}

WholePage::WholePage() = default;
WholePage::~WholePage() = default;

bool WholePage::Begin(const cups_page_header2_t& header, ZelpOutput& out) {
    header_ = header;
    got_ = 0;
    failed_ = false;
    const uint32_t bits = header.cupsBitsPerPixel;
    const bool imageDepth = bits == 1 || bits == 4 || bits == 8 || bits == 24;
    // Lines that land in image rows as they are (same depth, no longer than
    // a row) go straight into the page image; the others are gathered in a
    // page buffer and handed to CreateFromArray at the end.
    viaBuffer_ = !(imageDepth && header.cupsWidth > 0 &&
                   header.cupsBytesPerLine <= CxImage::RowBytes(header.cupsWidth, bits));
    image_.reset(new (std::nothrow) CxImage(0));
    if (image_ == nullptr) out.Message("ERROR: Unable to allocate memory\n");
    return image_ != nullptr;
}

// The page's memory is taken when its first lines come: a page of which no
// line comes costs nothing. False after "ERROR: Unable to allocate memory".
bool WholePage::Room(ZelpOutput& out) {
    if (failed_) return false;
    if (viaBuffer_ ? pageBuffer_ != nullptr : image_->IsValid()) return true;
    const uint32_t bits = header_.cupsBitsPerPixel;
    bool room;
    if (viaBuffer_) {
        pageBuffer_.reset(static_cast<unsigned char*>(calloc(header_.cupsHeight, header_.cupsBytesPerLine)));
        room = pageBuffer_ != nullptr;
    } else {
        room = image_->Create(header_.cupsWidth, header_.cupsHeight, bits, 0) != nullptr;
        if (room && bits <= 8) image_->SetGrayPalette();
    }
    if (!room) {
        failed_ = true;
        out.Message("ERROR: Unable to allocate memory\n");
    }
    return room;
}

void WholePage::Lines(const unsigned char* lines, uint32_t count, ZelpOutput& out) {
    const uint32_t n = header_.cupsBytesPerLine;
    count = std::min(count, header_.cupsHeight - got_);
    if (count == 0 || !Room(out)) return;
    if (viaBuffer_) {
        memcpy(pageBuffer_.get() + size_t{got_} * n, lines, size_t{count} * n);
    } else {
        for (uint32_t i = 0; i < count; ++i) memcpy(image_->GetBits(got_ + i), lines + size_t{i} * n, n);
    }
    got_ += count;
}

namespace {

bool AskCancel(void* context) {
    const ZelpCancelTest* cancel = static_cast<const ZelpCancelTest*>(context);
    return cancel->canceled(cancel->context);
}

// A page of which no line came, its blank lines as wide as the page, is
// blank all over, turn and margin alike: its rows are counted, not rendered.
void SendBlankPage(ZelpOutput& out, const ZELP_Init_Setting& settings, uint64_t copies,
                   const cups_page_header2_t& header) {
    uint64_t cx = header.cupsWidth;
    uint64_t cy = header.cupsHeight;
    CxImage::RotatedSize(90.0f * static_cast<float>(settings.PrintRotate), header.cupsWidth, header.cupsHeight, &cx,
                         &cy);
    const int64_t lDelta = static_cast<int64_t>(CxImage::RowBytes(cx, 1));
    TraceNumbers("cjBits=%d,lDelta=%d,cx=%d,cy=%d", lDelta * static_cast<int64_t>(cy), lDelta,
                 static_cast<int64_t>(cx), static_cast<int64_t>(cy));
    PageBands bands(out, settings, lDelta, static_cast<int64_t>(cx), copies);
    bands.BlankRows(cy);
    bands.Finish();
}

}  // namespace

int WholePage::End(ZelpOutput& out, const ZELP_Init_Setting& settings, uint64_t copies,
                   const ZelpCancelTest& cancel) {
    const uint32_t n = header_.cupsBytesPerLine;
    const uint32_t height = header_.cupsHeight;
    const bool cancellable = cancel.canceled != nullptr;
    // A turned page sends nothing before it is rendered: a cancelled job
    // leaves it out whole rather than wait for the rendering.
    auto cancelled = [&] {
        if (!cancellable || !cancel.canceled(cancel.context)) return false;
        Dbg_WriteStr("page left out: cancelled before its first band");
        return true;
    };
    if (cancelled() || failed_) return 1;
    // Lines shorter than the page's width leave the rest of each row as
    // the image starts it (index 0, black on grey pages): only a page whose
    // blank lines cover its width is blank all over.
    const bool blankCoversWidth = uint64_t{n} * 8 >= uint64_t{header_.cupsWidth} * header_.cupsBitsPerPixel;
    if (got_ == 0 && blankCoversWidth) {
        image_.reset();
        pageBuffer_.reset();
        SendBlankPage(out, settings, copies, header_);
        return 0;
    }
    if (!Room(out)) return 1;
    // From the first line that did not come in full, the page stays blank
    // rather than printing data that never came.
    if (viaBuffer_) {
        memset(pageBuffer_.get() + size_t{got_} * n, BlankLineByte(header_), size_t{height - got_} * n);
        const bool built = image_->CreateFromArray(pageBuffer_.get(), header_.cupsWidth, height,
                                                   header_.cupsBitsPerPixel, n, false);
        pageBuffer_.reset();  // the image holds the pixels now
        if (!built) return 1;
    } else {
        for (uint32_t y = got_; y < height; ++y) memset(image_->GetBits(y), BlankLineByte(header_), n);
    }
    if (cancelled()) return 1;
    if (cancellable) {
        cancel_ = cancel;
        image_->SetEscapeTest(AskCancel, &cancel_);
    }
    int64_t cjBits = 0;
    int64_t lDelta = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    unsigned char* bitmap = CxImageHandler(image_.get(), header_, settings, &cjBits, &lDelta, &cx, &cy);
    image_.reset();
    if (cancelled()) {
        free(bitmap);
        return 1;
    }
    if (bitmap == nullptr) {
        if (lDelta > kMaxBandRowBytes) ReportTooWide(out, lDelta);
        return 1;
    }
    TraceNumbers("cjBits=%d,lDelta=%d,cx=%d,cy=%d", cjBits, lDelta, cx, cy);
    SendPageBitmap2Printer(out, settings, copies, bitmap, lDelta, cx, cy);
    free(bitmap);
    return 0;
}
