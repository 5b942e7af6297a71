// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The image object: creation, release, hand-over and row access.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ximadef.h"
#include "ximage.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// Page-sized images are megabytes: ask for huge pages where the system
// offers them, so filling one costs a few faults instead of thousands.
constexpr uint64_t kHugePageBytes = uint64_t{2} << 20;

void* AllocateZeroedBlock(uint64_t bytes) {
    if (!cximage_detail::FitsInSize(bytes)) return nullptr;
    void* block = std::calloc(1, static_cast<size_t>(bytes));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (block != nullptr && bytes >= 2 * kHugePageBytes) {
        // The whole huge pages inside the block.
        const uint64_t lead = (kHugePageBytes - reinterpret_cast<uintptr_t>(block) % kHugePageBytes) % kHugePageBytes;
        const uint64_t span = (bytes - lead) / kHugePageBytes * kHugePageBytes;
        if (span > 0) madvise(static_cast<uint8_t*>(block) + lead, static_cast<size_t>(span), MADV_HUGEPAGE);
    }
#endif
    return block;
}

constexpr char kErrorZeroSize[] = "CxImage::Create : width and height must be greater than zero";
constexpr char kErrorMemoryLimit[] = "CXIMAGE_MAX_MEMORY exceeded";
constexpr char kErrorNoMemory[] = "CxImage::Create can't allocate memory";

// Only the text and its terminating zero are written; the tail keeps its bytes.
void SetError(char (&buffer)[256], const char* text) {
    std::memcpy(buffer, text, std::strlen(text) + 1);
}

struct Depth {
    uint16_t bits;
    uint64_t colors;
};

// Any requested depth lands on one the object stores.
Depth MapDepth(uint64_t bpp) {
    if (bpp <= 1) return {1, 2};
    if (bpp <= 4) return {4, 16};
    if (bpp <= 8) return {8, 256};
    return {24, 0};
}

bool ArrayDepth(uint64_t bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
}

}  // namespace

bool cximage_detail::ExceedsMemoryLimit(uint64_t bits, uint64_t width, uint64_t height) {
    uint64_t product = 0;
    if (__builtin_mul_overflow(bits, width, &product) ||
        __builtin_mul_overflow(product, height, &product)) {
        return true;
    }
    return product / 256 > CXIMAGE_MAX_MEMORY;
}

CxImage::CxImage(uint64_t imageType) {
    Startup(imageType);
}

CxImage::CxImage(uint64_t width, uint64_t height, uint64_t bpp, uint64_t imageType) {
    Startup(imageType);
    Create(width, height, bpp, imageType);
}

CxImage::~CxImage() {
    Destroy();
}

void CxImage::Startup(uint64_t imageType) {
    pixelBlock = nullptr;
    alphaPlane = nullptr;
    selectionMask = nullptr;
    std::memset(&bitmapHeader, 0, sizeof(bitmapHeader));
    std::memset(&imageInfo, 0, sizeof(imageInfo));
    imageInfo.imageType = imageType;
    imageInfo.jpegQuality = 90;
    imageInfo.alphaMax = 255;
    imageInfo.transIndex = -1;
    imageInfo.enabled = 1;
    SetXDPI(96);
    SetYDPI(96);
}

void* CxImage::Create(uint64_t width, uint64_t height, uint64_t bpp, uint64_t imageType) {
    Destroy();
    if (width == 0 || height == 0) {
        SetError(imageInfo.lastError, kErrorZeroSize);
        return nullptr;
    }
    const Depth depth = MapDepth(bpp);
    // Checked before the header changes, so a refused size leaves it alone.
    if (cximage_detail::ExceedsMemoryLimit(depth.bits, width, height)) {
        SetError(imageInfo.lastError, kErrorMemoryLimit);
        return nullptr;
    }

    bitmapHeader.headerSize = sizeof(bitmapHeader);
    bitmapHeader.width = static_cast<int64_t>(width);
    bitmapHeader.height = static_cast<int64_t>(height);
    bitmapHeader.planes = 1;
    bitmapHeader.bitCount = depth.bits;
    bitmapHeader.compression = 0;
    bitmapHeader.colorsUsed = depth.colors;
    bitmapHeader.colorsImportant = 0;
    imageInfo.imageType = imageType;
    // Past the limit check these products stay far below 2^64.
    imageInfo.effWidth = ((depth.bits * width + 31) / 32) * 4;
    bitmapHeader.imageSize = imageInfo.effWidth * height;
    imageInfo.nearestMemoValid = 0;

    // Zeroed as a whole: black palette, and no stale bytes in rows or padding.
    const uint64_t blockSize = bitmapHeader.imageSize + 4 * depth.colors + sizeof(bitmapHeader);
    pixelBlock = static_cast<uint8_t*>(AllocateZeroedBlock(blockSize));
    if (pixelBlock == nullptr) {
        SetError(imageInfo.lastError, kErrorNoMemory);
        return nullptr;
    }
    std::memcpy(pixelBlock, &bitmapHeader, sizeof(bitmapHeader));
    imageInfo.pixelData = GetBits(0);
    return pixelBlock;
}

bool CxImage::Destroy() {
    std::free(selectionMask);
    selectionMask = nullptr;
    std::free(alphaPlane);
    alphaPlane = nullptr;
    std::free(pixelBlock);
    pixelBlock = nullptr;
    // The geometry stays for the getters; only the row pointer would dangle.
    imageInfo.pixelData = nullptr;
    return true;
}

bool CxImage::CreateFromArray(const uint8_t* array, uint64_t width, uint64_t height,
                              uint64_t bitsPerPixel, uint64_t bytesPerLine, bool flip) {
    if (array == nullptr || !ArrayDepth(bitsPerPixel)) {
        return false;
    }
    if (Create(width, height, bitsPerPixel, 0) == nullptr) {
        return false;
    }
    if (bitsPerPixel == 32) {
        AlphaCreate();
    } else if (bitsPerPixel <= 8) {
        SetGrayPalette();
    }
    // Never read more of a source row than bytesPerLine holds.
    const uint64_t rowBytes = std::min(imageInfo.effWidth, bytesPerLine);
    const uint64_t rowPixels = std::min(width, bytesPerLine / 4);
    for (uint64_t y = 0; y < height; ++y) {
        const uint8_t* source = array + y * bytesPerLine;
        const uint64_t row = flip ? height - 1 - y : y;
        uint8_t* target = GetBits(row);
        if (bitsPerPixel != 32) {
            std::memcpy(target, source, static_cast<size_t>(rowBytes));
            continue;
        }
        // The alpha byte goes to the same row as its colour.
        for (uint64_t x = 0; x < rowPixels; ++x) {
            std::memcpy(target + 3 * x, source + 4 * x, 3);
            AlphaSet(static_cast<int64_t>(x), static_cast<int64_t>(row), source[4 * x + 3]);
        }
    }
    return true;
}

void CxImage::CopyInfo(const CxImage& source) {
    if (pixelBlock != nullptr) {
        return;
    }
    std::memcpy(&imageInfo, &source.imageInfo, sizeof(imageInfo));
    // No block of our own yet: the source's row pointer is not ours to keep.
    imageInfo.pixelData = nullptr;
}

bool CxImage::Transfer(CxImage& source) {
    if (&source == this) {
        return true;
    }
    Destroy();
    std::memcpy(&bitmapHeader, &source.bitmapHeader, sizeof(bitmapHeader));
    std::memcpy(&imageInfo, &source.imageInfo, sizeof(imageInfo));
    pixelBlock = source.pixelBlock;
    selectionMask = source.selectionMask;
    alphaPlane = source.alphaPlane;

    std::memset(&source.bitmapHeader, 0, sizeof(source.bitmapHeader));
    std::memset(&source.imageInfo, 0, sizeof(source.imageInfo));
    source.pixelBlock = nullptr;
    source.selectionMask = nullptr;
    source.alphaPlane = nullptr;
    return true;
}

uint8_t* CxImage::GetBits(uint64_t row) const {
    if (pixelBlock == nullptr) {
        return nullptr;
    }
    // The palette follows the header copy held at the start of the block.
    uint64_t headerSize = 0;
    std::memcpy(&headerSize, pixelBlock, sizeof(headerSize));
    uint8_t* firstRow = pixelBlock + headerSize + 4 * bitmapHeader.colorsUsed;
    if (row == 0) {
        return firstRow;
    }
    if (row >= static_cast<uint64_t>(bitmapHeader.height)) {
        return nullptr;
    }
    return firstRow + row * imageInfo.effWidth;
}

uint16_t CxImage::StoredDepth(uint64_t bpp) {
    return MapDepth(bpp).bits;
}

bool CxImage::IsArrayDepth(uint64_t bpp) {
    return ArrayDepth(bpp);
}

bool CxImage::SizeAllowed(uint64_t width, uint64_t height, uint64_t bpp) {
    return width != 0 && height != 0 && !cximage_detail::ExceedsMemoryLimit(MapDepth(bpp).bits, width, height);
}

uint64_t CxImage::RowBytes(uint64_t width, uint64_t bpp) {
    const uint64_t bits = MapDepth(bpp).bits;
    if (width > (UINT64_MAX - 31) / bits) return UINT64_MAX;
    return (bits * width + 31) / 32 * 4;
}

uint64_t CxImage::ImageBytes(uint64_t width, uint64_t height, uint64_t bpp) {
    const uint64_t row = RowBytes(width, bpp);
    if (height != 0 && row > UINT64_MAX / height) return UINT64_MAX;
    return row * height;
}
