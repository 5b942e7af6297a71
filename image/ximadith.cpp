// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Reduction to black and white by error diffusion or an ordered matrix.
#include <cstddef>
#include <cstdint>

#include "ximadef.h"
#include "ximage.h"

namespace {

// One share of a pixel's error: weight / divisor of it goes to (x + dx, y + dy).
struct Tap {
    int8_t dx;
    int8_t dy;
    int16_t weight;
};

struct Kernel {
    const Tap* taps;
    size_t count;
    int32_t divisor;
};

// Taps are listed row by row, each row left to right: the order shares land.
constexpr Tap kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr Tap kBurkes[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4},
                           {0, 1, 8},  {1, 1, 4},  {2, 1, 2}};
constexpr Tap kStucki[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                           {2, 1, 2},  {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
constexpr Tap kJarvis[] = {{1, 0, 7},  {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                           {2, 1, 3},  {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
constexpr Tap kSierra[] = {{1, 0, 5},  {2, 0, 3},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                           {1, 1, 4},  {2, 1, 2},  {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};
constexpr Tap kStevensonArce[] = {{2, 0, 32},  {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30},
                                  {3, 1, 16},  {-2, 2, 12}, {0, 2, 26},  {2, 2, 12},
                                  {-3, 3, 5},  {-1, 3, 12}, {1, 3, 12},  {3, 3, 5}};

template <size_t N>
constexpr Kernel MakeKernel(const Tap (&taps)[N], int32_t divisor) {
    return Kernel{taps, N, divisor};
}

// Methods 2 to 6; everything else that diffuses is Floyd-Steinberg.
Kernel KernelFor(int64_t method) {
    switch (method) {
    case 2: return MakeKernel(kBurkes, 32);
    case 3: return MakeKernel(kStucki, 42);
    case 4: return MakeKernel(kJarvis, 48);
    case 5: return MakeKernel(kSierra, 32);
    case 6: return MakeKernel(kStevensonArce, 200);
    default: return MakeKernel(kFloydSteinberg, 16);
    }
}

constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
constexpr uint8_t kThresholds[4][4] = {
    {0, 192, 48, 240}, {128, 64, 176, 112}, {32, 224, 16, 208}, {160, 96, 144, 80}};

uint8_t ClampToByte(int32_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// Decides one pixel and spreads its error into the grey image's own bytes,
// clamping at every addition: error past black or white is lost.
void DiffusePixel(CxImage& grey, CxImage& result, const Kernel& kernel, int64_t x, int64_t y) {
    const int32_t value = grey.GetPixelIndex(x, y);
    const bool white = value > 128;
    result.SetPixelIndex(x, y, white ? 1 : 0);
    const int32_t error = white ? value - 255 : value;
    if (error == 0) {
        return;
    }
    for (size_t i = 0; i < kernel.count; ++i) {
        const Tap& tap = kernel.taps[i];
        const int64_t nx = x + tap.dx;
        const int64_t ny = y + tap.dy;
        if (!grey.IsInside(nx, ny)) {
            continue;  // shares falling off the image are dropped
        }
        const int32_t share = tap.weight * error / kernel.divisor;
        grey.SetPixelIndex(nx, ny, ClampToByte(grey.GetPixelIndex(nx, ny) + share));
    }
}

bool OrderedWhite(int64_t method, int32_t value, int64_t x, int64_t y) {
    if (method == 1) {
        // A level of 16 (white) beats every matrix entry.
        return (16 * value) / 255 > kBayer[y & 3][x & 3];
    }
    return kThresholds[y & 3][x & 3] < value;
}

void DitherRow(CxImage& grey, CxImage& result, int64_t method, int64_t y) {
    const int64_t width = grey.GetWidth();
    if (method == 1 || method == 7) {
        for (int64_t x = 0; x < width; ++x) {
            result.SetPixelIndex(x, y, OrderedWhite(method, grey.GetPixelIndex(x, y), x, y) ? 1 : 0);
        }
        return;
    }
    const Kernel kernel = KernelFor(method);
    for (int64_t x = 0; x < width; ++x) {
        DiffusePixel(grey, result, kernel, x, y);
    }
}

}  // namespace

bool CxImage::Dither(int64_t method) {
    if (pixelBlock == nullptr) {
        return false;
    }
    if (bitmapHeader.bitCount == 1) {
        return true;
    }
    GrayScale();  // on failure the indexes read below are at most 15: all black

    CxImage result(0);
    result.CopyInfo(*this);
    result.Create(static_cast<uint64_t>(GetWidth()), static_cast<uint64_t>(GetHeight()), 1,
                  GetType());
    if (!result.IsValid()) {
        return false;
    }
    if (SelectionIsValid()) {
        result.SelectionCopy(*this);
    }
    if (AlphaIsValid()) {
        result.AlphaCopy(*this);
    }
    const bool floydSteinberg = method < 1 || method > 7;
    if (floydSteinberg && GetBpp() == 8) {
        cximage_detail::DitherFloydSteinbergGrey(*this, result);
    } else {
        cximage_detail::ForEachRow(*this, GetHeight(),
                                   [&](int64_t y) { DitherRow(*this, result, method, y); });
    }
    result.SetPaletteColor(0, 0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(result);
    return true;
}
