// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The alpha plane: one byte per pixel, rows of `width` bytes, no padding.
#include <cstdlib>
#include <cstring>

#include "ximadef.h"
#include "ximage.h"

namespace {

uint64_t PlaneBytes(const tagBITMAPINFOHEADER64& header) {
    return static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height);
}

}  // namespace

void CxImage::AlphaCreate() {
    // A plane only travels with pixels; an empty image gets none.
    if (alphaPlane != nullptr || pixelBlock == nullptr) {
        return;
    }
    const uint64_t bytes = PlaneBytes(bitmapHeader);
    if (!cximage_detail::FitsInSize(bytes)) return;
    alphaPlane = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
    if (alphaPlane != nullptr) {
        std::memset(alphaPlane, 255, static_cast<size_t>(bytes));
    }
}

void CxImage::AlphaDelete() {
    std::free(alphaPlane);
    alphaPlane = nullptr;
}

void CxImage::AlphaClear() {
    if (alphaPlane != nullptr) {
        std::memset(alphaPlane, 0, static_cast<size_t>(PlaneBytes(bitmapHeader)));
    }
}

bool CxImage::AlphaIsValid() const {
    return alphaPlane != nullptr;
}

void CxImage::AlphaSet(int64_t x, int64_t y, uint8_t a) {
    if (alphaPlane != nullptr && IsInside(x, y)) {
        alphaPlane[static_cast<uint64_t>(y) * static_cast<uint64_t>(bitmapHeader.width) +
                   static_cast<uint64_t>(x)] = a;
    }
}

uint8_t CxImage::AlphaGet(int64_t x, int64_t y) const {
    if (alphaPlane == nullptr || !IsInside(x, y)) {
        return 0;
    }
    return alphaPlane[static_cast<uint64_t>(y) * static_cast<uint64_t>(bitmapHeader.width) +
                      static_cast<uint64_t>(x)];
}

bool CxImage::AlphaCopy(const CxImage& source) {
    if (source.alphaPlane == nullptr || pixelBlock == nullptr ||
        source.bitmapHeader.width != bitmapHeader.width ||
        source.bitmapHeader.height != bitmapHeader.height) {
        return false;
    }
    // The source's plane exists, so its size fits.
    const size_t bytes = static_cast<size_t>(PlaneBytes(bitmapHeader));
    if (alphaPlane == nullptr) {
        alphaPlane = static_cast<uint8_t*>(std::malloc(bytes));
        if (alphaPlane == nullptr) {
            return false;
        }
    }
    std::memcpy(alphaPlane, source.alphaPlane, bytes);
    imageInfo.alphaMax = source.imageInfo.alphaMax;
    return true;
}

const uint8_t* CxImage::AlphaGetPointer() const {
    return alphaPlane;
}
