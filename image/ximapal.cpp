// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Palette, grey palette, nearest palette entry and pixel access.
#include <algorithm>
#include <cstring>

#include "ximage.h"

namespace {

constexpr uint64_t kHeaderBytes = sizeof(tagBITMAPINFOHEADER64);

bool SameColor(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    return std::memcmp(&a, &b, sizeof(tagRGBQUAD)) == 0;
}

int32_t Distance(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int32_t blue = a.rgbBlue - b.rgbBlue;
    const int32_t green = a.rgbGreen - b.rgbGreen;
    const int32_t red = a.rgbRed - b.rgbRed;
    return blue * blue + green * green + red * red;
}

// First entry at the smallest distance; an exact match ends the search.
uint8_t SearchNearest(const tagRGBQUAD* palette, int32_t count, const tagRGBQUAD& color) {
    int32_t best = 200000;  // above 3 x 255^2, so entry 0 always wins a place
    uint8_t bestIndex = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t distance = Distance(palette[i], color);
        if (distance == 0) {
            return static_cast<uint8_t>(i);
        }
        if (distance < best) {
            best = distance;
            bestIndex = static_cast<uint8_t>(i);
        }
    }
    return bestIndex;
}

}  // namespace

uint64_t CxImage::GetPaletteSize() const {
    return 4 * bitmapHeader.colorsUsed;
}

tagRGBQUAD* CxImage::GetPalette() const {
    if (pixelBlock == nullptr || bitmapHeader.colorsUsed == 0) {
        return nullptr;
    }
    return reinterpret_cast<tagRGBQUAD*>(pixelBlock + kHeaderBytes);
}

void CxImage::SetGrayPalette() {
    tagRGBQUAD* palette = GetPalette();
    if (palette == nullptr) {
        return;
    }
    const uint64_t count = bitmapHeader.colorsUsed;
    const uint64_t step = 255 / (count - 1);
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t level = static_cast<uint8_t>(i * step);
        palette[i].rgbBlue = level;
        palette[i].rgbGreen = level;
        palette[i].rgbRed = level;
    }
    imageInfo.nearestMemoValid = 0;
}

tagRGBQUAD CxImage::GetPaletteColor(uint8_t index) const {
    const tagRGBQUAD* palette = GetPalette();
    if (palette == nullptr || index >= bitmapHeader.colorsUsed) {
        return tagRGBQUAD{0, 0, 0, 0};
    }
    return palette[index];
}

void CxImage::SetPaletteColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue,
                              uint8_t alpha) {
    tagRGBQUAD* palette = GetPalette();
    if (palette == nullptr || index >= bitmapHeader.colorsUsed) {
        return;
    }
    palette[index] = tagRGBQUAD{blue, green, red, alpha};
    imageInfo.nearestMemoValid = 0;
}

void CxImage::SetPalette(const tagRGBQUAD* entries, uint64_t count) {
    tagRGBQUAD* palette = GetPalette();
    if (entries == nullptr || palette == nullptr) {
        return;
    }
    // Header fields are packed: take values, never references, to them.
    const uint64_t colors = bitmapHeader.colorsUsed;
    const uint64_t copied = std::min(count, colors);
    // At most 256 entries.
    std::memcpy(palette, entries, static_cast<size_t>(copied) * sizeof(tagRGBQUAD));
    imageInfo.nearestMemoValid = 0;
}

uint8_t CxImage::GetNearestIndex(tagRGBQUAD color) {
    const tagRGBQUAD* palette = GetPalette();
    if (palette == nullptr) {
        return 0;
    }
    if (imageInfo.nearestMemoValid != 0 && SameColor(imageInfo.nearestMemoColor, color)) {
        return imageInfo.nearestMemoIndex;
    }
    imageInfo.nearestMemoColor = color;
    imageInfo.nearestMemoValid = 1;
    const uint64_t colors = bitmapHeader.colorsUsed;
    const uint64_t wanted = bitmapHeader.colorsImportant != 0 ? bitmapHeader.colorsImportant : colors;
    // Never search past the palette the block holds.
    const int32_t count = static_cast<int32_t>(std::min(wanted, colors));
    imageInfo.nearestMemoIndex = count <= 0 ? 0 : SearchNearest(palette, count, color);
    return imageInfo.nearestMemoIndex;
}

uint8_t CxImage::GetPixelIndex(int64_t x, int64_t y) const {
    if (pixelBlock == nullptr || bitmapHeader.colorsUsed == 0) {
        return 0;
    }
    if (!IsInside(x, y)) {
        if (imageInfo.transIndex != -1) {
            return static_cast<uint8_t>(imageInfo.transIndex);
        }
        x = 0;
        y = 0;
    }
    const uint8_t* row = imageInfo.pixelData + static_cast<uint64_t>(y) * imageInfo.effWidth;
    switch (bitmapHeader.bitCount) {
    case 8:
        return row[x];
    case 4:
        return (x & 1) != 0 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

void CxImage::SetPixelIndex(int64_t x, int64_t y, uint8_t index) {
    if (pixelBlock == nullptr || bitmapHeader.colorsUsed == 0 || !IsInside(x, y)) {
        return;
    }
    uint8_t* row = imageInfo.pixelData + static_cast<uint64_t>(y) * imageInfo.effWidth;
    switch (bitmapHeader.bitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        const int shift = (x & 1) != 0 ? 0 : 4;
        uint8_t& byte = row[x >> 1];
        byte = static_cast<uint8_t>((byte & ~(0x0F << shift)) | ((index & 0x0F) << shift));
        break;
    }
    default: {
        const int shift = 7 - static_cast<int>(x & 7);
        uint8_t& byte = row[x >> 3];
        byte = static_cast<uint8_t>((byte & ~(1 << shift)) | ((index & 1) << shift));
        break;
    }
    }
}

tagRGBQUAD CxImage::GetPixelColor(int64_t x, int64_t y, bool withAlpha) const {
    const bool transparent = imageInfo.transIndex != -1;
    const bool indexed = bitmapHeader.bitCount < 24;
    if (pixelBlock == nullptr || !IsInside(x, y)) {
        if (!transparent) {
            return pixelBlock == nullptr ? imageInfo.transColor : GetPixelColor(0, 0, true);
        }
        return indexed ? GetPaletteColor(static_cast<uint8_t>(imageInfo.transIndex))
                       : imageInfo.transColor;
    }
    tagRGBQUAD color;
    if (bitmapHeader.colorsUsed != 0) {
        color = GetPaletteColor(GetPixelIndex(x, y));
    } else {
        const uint8_t* pixel = GetBits(static_cast<uint64_t>(y)) + 3 * x;
        color = tagRGBQUAD{pixel[0], pixel[1], pixel[2], imageInfo.transColor.rgbReserved};
    }
    if (withAlpha && alphaPlane != nullptr) {
        color.rgbReserved = AlphaGet(x, y);
    }
    return color;
}

void CxImage::SetPixelColor(int64_t x, int64_t y, tagRGBQUAD color, bool setAlpha) {
    if (pixelBlock == nullptr || !IsInside(x, y)) {
        return;
    }
    if (bitmapHeader.colorsUsed != 0) {
        SetPixelIndex(x, y, GetNearestIndex(color));
        return;
    }
    uint8_t* pixel = GetBits(static_cast<uint64_t>(y)) + 3 * x;
    pixel[0] = color.rgbBlue;
    pixel[1] = color.rgbGreen;
    pixel[2] = color.rgbRed;
    if (setAlpha) {
        AlphaSet(x, y, color.rgbReserved);
    }
}
