// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "plain_image_ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace plain {
namespace {

uint8_t luminance(uint8_t b, uint8_t g, uint8_t r) {
    return static_cast<uint8_t>((117 * b + 601 * g + 306 * r) >> 10);
}

// Progress between rows and the escape test, as every long operation does.
template <typename Fn>
void rows(CxImage& image, int64_t height, Fn&& fn) {
    image.SetProgress(0);
    if (image.GetEscape()) return;
    for (int64_t y = 0; y < height; ++y) {
        fn(y);
        if (y + 1 < height) {
            image.SetProgress(100 * (y + 1) / height);
            if (image.GetEscape()) break;
        }
    }
}

bool newGreyLike(CxImage& grey, const CxImage& image) {
    grey.CopyInfo(image);
    if (grey.Create(image.GetWidth(), image.GetHeight(), 8, image.GetType()) == nullptr) return false;
    grey.SetGrayPalette();
    if (image.SelectionIsValid()) grey.SelectionCopy(image);
    if (image.AlphaIsValid()) grey.AlphaCopy(image);
    return true;
}

}  // namespace

bool GrayScale(CxImage& image) {
    if (!image.IsValid()) return false;
    const int64_t w = image.GetWidth();
    const int64_t h = image.GetHeight();
    if (image.GetBpp() == 24) {
        CxImage grey;
        if (!newGreyLike(grey, image)) return false;
        for (int64_t y = 0; y < h; ++y) {
            for (int64_t x = 0; x < w; ++x) {
                const tagRGBQUAD c = image.GetPixelColor(x, y, false);
                grey.SetPixelIndex(x, y, luminance(c.rgbBlue, c.rgbGreen, c.rgbRed));
            }
        }
        return image.Transfer(grey);
    }
    tagRGBQUAD* palette = image.GetPalette();
    for (uint64_t i = 0; i < image.GetNumColors(); ++i) {
        palette[i].rgbBlue = luminance(palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed);
    }
    if (image.GetTransIndex() != -1) {
        image.SetTransIndex(image.GetPaletteColor(static_cast<uint8_t>(image.GetTransIndex())).rgbBlue);
    }
    if (image.GetBpp() == 8) {
        uint8_t* bytes = image.GetBits(0);
        for (uint64_t i = 0; i < image.GetHeader().imageSize; ++i) bytes[i] = palette[bytes[i]].rgbBlue;
        image.SetGrayPalette();
        return true;
    }
    CxImage grey;
    if (!newGreyLike(grey, image)) return false;
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            grey.SetPixelIndex(x, y, image.GetPaletteColor(image.GetPixelIndex(x, y)).rgbBlue);
        }
    }
    return image.Transfer(grey);
}

bool Threshold(CxImage& image, uint8_t level) {
    if (!image.IsValid()) return false;
    if (image.GetBpp() == 1) return true;
    GrayScale(image);
    CxImage bw(image.GetWidth(), image.GetHeight(), 1, 0);
    if (!bw.IsValid()) return false;
    rows(image, image.GetHeight(), [&](int64_t y) {
        for (int64_t x = 0; x < image.GetWidth(); ++x) {
            bw.SetPixelIndex(x, y, image.GetPixelIndex(x, y) > level ? 1 : 0);
        }
    });
    bw.SetPaletteColor(0, 0, 0, 0, 0);
    bw.SetPaletteColor(1, 255, 255, 255, 0);
    return image.Transfer(bw);
}

bool Dither0(CxImage& image) {
    if (!image.IsValid()) return false;
    if (image.GetBpp() == 1) return true;
    GrayScale(image);
    CxImage bw;
    bw.CopyInfo(image);
    bw.Create(image.GetWidth(), image.GetHeight(), 1, image.GetType());
    if (!bw.IsValid()) return false;
    if (image.SelectionIsValid()) bw.SelectionCopy(image);
    if (image.AlphaIsValid()) bw.AlphaCopy(image);
    const int64_t w = image.GetWidth();
    auto spread = [&](int64_t x, int64_t y, int weight, int error) {
        const int value = image.GetPixelIndex(x, y) + weight * error / 16;
        image.SetPixelIndex(x, y, static_cast<uint8_t>(std::min(255, std::max(0, value))));
    };
    rows(image, image.GetHeight(), [&](int64_t y) {
        for (int64_t x = 0; x < w; ++x) {
            const int v = image.GetPixelIndex(x, y);
            const int error = v > 128 ? v - 255 : v;
            bw.SetPixelIndex(x, y, v > 128 ? 1 : 0);
            spread(x + 1, y, 7, error);
            spread(x - 1, y + 1, 3, error);
            spread(x, y + 1, 5, error);
            spread(x + 1, y + 1, 1, error);
        }
    });
    bw.SetPaletteColor(0, 0, 0, 0, 0);
    bw.SetPaletteColor(1, 255, 255, 255, 0);
    return image.Transfer(bw);
}

bool Rotate(CxImage& image, float angle, int outside) {
    if (!image.IsValid()) return false;
    const float negated = -angle;
    const double a = static_cast<double>(negated) * 1.5707963267948966 / 90.0;
    const double s = std::sin(a);
    const double c = std::cos(a);
    const int32_t W = static_cast<int32_t>(image.GetWidth());
    const int32_t H = static_cast<int32_t>(image.GetHeight());
    const int64_t xs[4] = {0, static_cast<int64_t>(std::floor(W * c - 0 * s)),
                           static_cast<int64_t>(std::floor(0 * c - H * s)),
                           static_cast<int64_t>(std::floor((W - 1) * c - H * s))};
    const int64_t ys[4] = {0, static_cast<int64_t>(std::floor(W * s + 0 * c)),
                           static_cast<int64_t>(std::floor(0 * s + H * c)),
                           static_cast<int64_t>(std::floor((W - 1) * s + H * c))};
    const int64_t left = *std::min_element(xs, xs + 4);
    const int64_t top = *std::min_element(ys, ys + 4);
    const int64_t right = *std::max_element(xs, xs + 4) + 2;
    const int64_t bottom = *std::max_element(ys, ys + 4) + 2;
    const int32_t newW = static_cast<int32_t>(right - left);
    const int32_t newH = static_cast<int32_t>(bottom - top);

    CxImage turned;
    turned.CopyInfo(image);
    turned.Create(static_cast<uint64_t>(newW), static_cast<uint64_t>(newH), image.GetBpp(), image.GetType());
    turned.SetPalette(image.GetPalette(), 256);
    if (image.AlphaIsValid()) {
        turned.AlphaCreate();
        turned.AlphaClear();
    }
    const bool indexed = image.GetNumColors() != 0;
    for (int64_t dy = 0, y = top; y <= bottom; ++y, ++dy) {
        const double ys_ = static_cast<double>(y) * s;
        const double yc = static_cast<double>(y) * c;
        for (int64_t dx = 0, x = left; x <= right; ++x, ++dx) {
            const int32_t sx = static_cast<int32_t>((static_cast<double>(x) * c + ys_) - 0.5);
            const int32_t sy = static_cast<int32_t>((yc - static_cast<double>(x) * s) - 0.5);
            const bool replaced = outside >= 0 && !image.IsInside(sx, sy);
            const uint8_t level = static_cast<uint8_t>(outside);
            if (indexed) {
                turned.SetPixelIndex(dx, dy, replaced ? level : image.GetPixelIndex(sx, sy));
            } else {
                turned.SetPixelColor(dx, dy, replaced ? tagRGBQUAD{level, level, level, 0} : image.GetPixelColor(sx, sy, true),
                                     false);
            }
            turned.AlphaSet(dx, dy, image.AlphaGet(sx, sy));
        }
    }
    return image.Transfer(turned);
}

std::string Difference(const CxImage& a, const CxImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp()) {
        return "geometry " + std::to_string(a.GetWidth()) + "x" + std::to_string(a.GetHeight()) + "@" +
               std::to_string(a.GetBpp()) + " vs " + std::to_string(b.GetWidth()) + "x" +
               std::to_string(b.GetHeight()) + "@" + std::to_string(b.GetBpp());
    }
    if (a.IsValid() != b.IsValid()) return "one image holds no pixels";
    if (!a.IsValid()) return "";
    if (a.GetPaletteSize() != b.GetPaletteSize() ||
        (a.GetPaletteSize() != 0 && memcmp(a.GetPalette(), b.GetPalette(), a.GetPaletteSize()) != 0)) {
        return "palette";
    }
    for (int64_t y = 0; y < a.GetHeight(); ++y) {
        if (memcmp(a.GetBits(y), b.GetBits(y), a.GetEffWidth()) != 0) return "row " + std::to_string(y);
    }
    if (a.AlphaIsValid() != b.AlphaIsValid()) return "alpha plane present in one only";
    if (a.AlphaIsValid() &&
        memcmp(a.AlphaGetPointer(), b.AlphaGetPointer(), static_cast<size_t>(a.GetWidth() * a.GetHeight())) != 0) {
        return "alpha plane";
    }
    return "";
}

}  // namespace plain
