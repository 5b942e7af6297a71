// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The selection mask: same geometry as the alpha plane.
#include <cstdlib>
#include <cstring>

#include "ximadef.h"
#include "ximage.h"

namespace {

uint64_t MaskBytes(const tagBITMAPINFOHEADER64& header) {
    return static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height);
}

}  // namespace

bool CxImage::SelectionCreate() {
    if (pixelBlock == nullptr) {
        return false;
    }
    const uint64_t bytes = MaskBytes(bitmapHeader);
    if (selectionMask == nullptr) {
        if (!cximage_detail::FitsInSize(bytes)) return false;
        selectionMask = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(bytes)));
        return selectionMask != nullptr;
    }
    std::memset(selectionMask, 0, static_cast<size_t>(bytes));
    return true;
}

bool CxImage::SelectionDelete() {
    std::free(selectionMask);
    selectionMask = nullptr;
    imageInfo.selectionBox.left = bitmapHeader.width;
    imageInfo.selectionBox.top = 0;
    imageInfo.selectionBox.right = 0;
    imageInfo.selectionBox.bottom = bitmapHeader.height;
    return true;
}

bool CxImage::SelectionCopy(const CxImage& source) {
    if (source.selectionMask == nullptr || pixelBlock == nullptr ||
        source.bitmapHeader.width != bitmapHeader.width ||
        source.bitmapHeader.height != bitmapHeader.height) {
        return false;
    }
    // The source's mask exists, so its size fits.
    const size_t bytes = static_cast<size_t>(MaskBytes(bitmapHeader));
    if (selectionMask == nullptr) {
        selectionMask = static_cast<uint8_t*>(std::malloc(bytes));
        if (selectionMask == nullptr) {
            return false;
        }
    }
    std::memcpy(selectionMask, source.selectionMask, bytes);
    imageInfo.selectionBox = source.imageInfo.selectionBox;
    return true;
}

bool CxImage::SelectionIsValid() const {
    return selectionMask != nullptr;
}

const uint8_t* CxImage::SelectionGetPointer() const {
    return selectionMask;
}
