// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Grey-scale conversion and rotation.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ximadef.h"
#include "ximage.h"

namespace {

using cximage_detail::FrameFor;
using cximage_detail::Luminance;
using cximage_detail::RotationFrame;
using cximage_detail::TruncateToInt;

// A blank 8-bit grey image beside `source`, with its attributes and planes.
bool MakeGreyImage(const CxImage& source, CxImage& grey) {
    grey.CopyInfo(source);
    if (grey.Create(static_cast<uint64_t>(source.GetWidth()),
                    static_cast<uint64_t>(source.GetHeight()), 8, source.GetType()) == nullptr) {
        return false;
    }
    grey.SetGrayPalette();
    if (source.SelectionIsValid()) {
        grey.SelectionCopy(source);
    }
    if (source.AlphaIsValid()) {
        grey.AlphaCopy(source);
    }
    return true;
}

void GreyFromTrueColour(const CxImage& source, CxImage& grey) {
    const int64_t width = source.GetWidth();
    for (int64_t y = 0; y < source.GetHeight() && source.GetEscape() == 0; ++y) {
        const uint8_t* in = source.GetBits(static_cast<uint64_t>(y));
        uint8_t* out = grey.GetBits(static_cast<uint64_t>(y));
        for (int64_t x = 0; x < width; ++x) {
            out[x] = Luminance(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
        }
    }
}

// Each palette entry keeps its grey level in its blue byte, and the
// transparent index follows its entry.
void PutGreyInPaletteBlue(CxImage& image) {
    tagRGBQUAD* palette = image.GetPalette();
    for (uint64_t i = 0; i < image.GetNumColors(); ++i) {
        palette[i].rgbBlue = Luminance(palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed);
    }
    if (image.GetTransIndex() != -1) {
        const uint8_t entry = static_cast<uint8_t>(image.GetTransIndex());
        image.SetTransIndex(image.GetPaletteColor(entry).rgbBlue);
    }
}

// Every byte of the rows, padding too, is an index into a 256-entry palette.
void RemapBytesThroughBlue(CxImage& image) {
    const tagRGBQUAD* palette = image.GetPalette();
    bool identity = true;
    for (int i = 0; i < 256 && identity; ++i) identity = palette[i].rgbBlue == i;
    if (identity) {
        return;  // already grey levels: every byte would map to itself
    }
    uint8_t* bytes = image.GetBits(0);
    const uint64_t count = image.GetHeader().imageSize;
    for (uint64_t i = 0; i < count; ++i) {
        bytes[i] = palette[bytes[i]].rgbBlue;
    }
}

void GreyFromIndexed(const CxImage& source, CxImage& grey) {
    const tagRGBQUAD* palette = source.GetPalette();
    const int64_t width = source.GetWidth();
    for (int64_t y = 0; y < source.GetHeight(); ++y) {
        uint8_t* out = grey.GetBits(static_cast<uint64_t>(y));
        for (int64_t x = 0; x < width; ++x) {
            out[x] = palette[source.GetPixelIndex(x, y)].rgbBlue;
        }
    }
}

// One result row by inverse mapping; x runs one past the result's width.
void MapRow(const CxImage& source, CxImage& target, const RotationFrame& frame, int64_t y,
            int64_t dy) {
    const bool indexed = source.GetNumColors() != 0;
    const double ys = static_cast<double>(y) * frame.s;
    const double yc = static_cast<double>(y) * frame.c;
    int64_t dx = 0;
    for (int64_t x = frame.left; x <= frame.right; ++x, ++dx) {
        const double fx = static_cast<double>(x);
        const int32_t sx = TruncateToInt((fx * frame.c + ys) - 0.5);
        const int32_t sy = TruncateToInt((yc - fx * frame.s) - 0.5);
        if (indexed) {
            target.SetPixelIndex(dx, dy, source.GetPixelIndex(sx, sy));
        } else {
            target.SetPixelColor(dx, dy, source.GetPixelColor(sx, sy, true), false);
        }
        target.AlphaSet(dx, dy, source.AlphaGet(sx, sy));
    }
}

// Rows run one past the result's height; progress may so pass 100.
void MapRows(CxImage& source, CxImage& target, const RotationFrame& frame, int64_t newHeight) {
    source.SetProgress(0);
    if (source.GetEscape() != 0 || !target.IsValid()) {
        return;
    }
    int64_t dy = 0;
    for (int64_t y = frame.top; y <= frame.bottom; ++y, ++dy) {
        MapRow(source, target, frame, y, dy);
        source.SetProgress(100 * (dy + 1) / newHeight);
        if (source.GetEscape() != 0) {
            break;
        }
    }
}

}  // namespace

bool CxImage::GrayScale() {
    if (pixelBlock == nullptr) {
        return false;
    }
    if (bitmapHeader.bitCount == 24) {
        CxImage grey(0);
        if (!MakeGreyImage(*this, grey)) {
            return false;
        }
        GreyFromTrueColour(*this, grey);
        Transfer(grey);
        return true;
    }
    PutGreyInPaletteBlue(*this);
    if (bitmapHeader.bitCount == 8) {
        RemapBytesThroughBlue(*this);
        SetGrayPalette();
        return true;
    }
    CxImage grey(0);
    if (!MakeGreyImage(*this, grey)) {
        return false;
    }
    GreyFromIndexed(*this, grey);
    Transfer(grey);
    return true;
}

bool CxImage::Rotate(float angle, CxImage* destination) {
    // A non-finite angle has no picture box; treat it like a missing image.
    if (pixelBlock == nullptr || !std::isfinite(angle)) {
        return false;
    }
    const RotationFrame frame = FrameFor(angle, static_cast<int32_t>(GetWidth()),
                                         static_cast<int32_t>(GetHeight()));
    const int32_t newWidth = static_cast<int32_t>(frame.right - frame.left);
    const int32_t newHeight = static_cast<int32_t>(frame.bottom - frame.top);

    CxImage turned(0);
    turned.CopyInfo(*this);
    // A failed creation maps nothing and leaves the receiver empty.
    turned.Create(static_cast<uint64_t>(newWidth), static_cast<uint64_t>(newHeight), GetBpp(),
                  GetType());
    turned.SetPalette(GetPalette(), 256);
    if (AlphaIsValid()) {
        turned.AlphaCreate();
        turned.AlphaClear();
    }
    // Quarter turns map whole rows and columns: same positions, row-wise.
    if (!cximage_detail::RotateSeparable(*this, turned, frame)) {
        MapRows(*this, turned, frame, newHeight);
    }
    CxImage& receiver = destination != nullptr ? *destination : *this;
    receiver.Transfer(turned);
    return true;
}

void CxImage::RotatedSize(float angle, uint64_t width, uint64_t height, uint64_t* newWidth, uint64_t* newHeight) {
    // Rotate works on 32-bit sizes; past them there is no picture box.
    if (!std::isfinite(angle) || width > INT32_MAX || height > INT32_MAX) {
        *newWidth = UINT64_MAX;
        *newHeight = UINT64_MAX;
        return;
    }
    const RotationFrame frame = FrameFor(angle, static_cast<int32_t>(width), static_cast<int32_t>(height));
    *newWidth = static_cast<uint64_t>(static_cast<int32_t>(frame.right - frame.left));
    *newHeight = static_cast<uint64_t>(static_cast<int32_t>(frame.bottom - frame.top));
}
