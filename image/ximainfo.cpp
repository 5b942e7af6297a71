// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Attribute getters and the resolution setters.
#include <cmath>
#include <cstdint>
#include <limits>

#include "ximage.h"

namespace {

constexpr int64_t kDefaultDpi = 96;

// Dots per inch to pixels per metre, rounded half up.
int64_t PelsPerMeter(int64_t dpi) {
    const double pels = std::floor(static_cast<double>(dpi) * 10000.0 / 254.0 + 0.5);
    // Absurd resolutions saturate rather than overflow the conversion.
    if (pels >= 9223372036854775808.0) {
        return std::numeric_limits<int64_t>::max();
    }
    return static_cast<int64_t>(pels);
}

}  // namespace

int64_t CxImage::GetWidth() const { return bitmapHeader.width; }
int64_t CxImage::GetHeight() const { return bitmapHeader.height; }
uint64_t CxImage::GetEffWidth() const { return imageInfo.effWidth; }
uint64_t CxImage::GetNumColors() const { return bitmapHeader.colorsUsed; }
uint16_t CxImage::GetBpp() const { return bitmapHeader.bitCount; }
uint64_t CxImage::GetType() const { return imageInfo.imageType; }
bool CxImage::IsValid() const { return pixelBlock != nullptr; }

bool CxImage::IsInside(int64_t x, int64_t y) const {
    return x >= 0 && x < bitmapHeader.width && y >= 0 && y < bitmapHeader.height;
}

void CxImage::SetXDPI(int64_t dpi) {
    if (dpi <= 0) {
        dpi = kDefaultDpi;
    }
    imageInfo.xDpi = dpi;
    bitmapHeader.xPelsPerMeter = PelsPerMeter(dpi);
}

void CxImage::SetYDPI(int64_t dpi) {
    if (dpi <= 0) {
        dpi = kDefaultDpi;
    }
    imageInfo.yDpi = dpi;
    bitmapHeader.yPelsPerMeter = PelsPerMeter(dpi);
}

int64_t CxImage::GetXDPI() const { return imageInfo.xDpi; }
int64_t CxImage::GetYDPI() const { return imageInfo.yDpi; }
const char* CxImage::GetLastError() const { return imageInfo.lastError; }
int64_t CxImage::GetProgress() const { return imageInfo.progress; }
void CxImage::SetProgress(int64_t percent) { imageInfo.progress = percent; }
int64_t CxImage::GetEscape() const {
    if (imageInfo.escape == 0 && escapeTest != nullptr && escapeTest(escapeContext)) return 1;
    return imageInfo.escape;
}
void CxImage::SetEscapeTest(EscapeTest test, void* context) {
    escapeTest = test;
    escapeContext = context;
}
void CxImage::SetEscape(int64_t value) { imageInfo.escape = value; }
int64_t CxImage::GetTransIndex() const { return imageInfo.transIndex; }
void CxImage::SetTransIndex(int64_t index) { imageInfo.transIndex = index; }
const tagBITMAPINFOHEADER64& CxImage::GetHeader() const { return bitmapHeader; }
const CXIMAGEINFO& CxImage::GetInfo() const { return imageInfo; }
