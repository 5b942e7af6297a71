// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Small helpers for the image tests; they read rows directly so that checks
// do not lean on the accessors under test.
#ifndef ZELP_TESTS_IMAGE_TEST_UTIL_H
#define ZELP_TESTS_IMAGE_TEST_UTIL_H

#include <cstdint>
#include <random>
#include <vector>

#include "ximage.h"

// Header fields are packed and gtest binds references: hand it copies.
template <typename T>
T Field(T value) {
    return value;
}

inline uint8_t RawIndex(const CxImage& image, int64_t x, int64_t y) {
    const uint8_t* row = image.GetBits(static_cast<uint64_t>(y));
    switch (image.GetBpp()) {
    case 8: return row[x];
    case 4: return (x % 2) != 0 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    default: return (row[x / 8] >> (7 - x % 8)) & 1;
    }
}

// Pixel values row by row: indexes, or blue-green-red triples for 24 bits.
inline std::vector<uint8_t> Pixels(const CxImage& image) {
    std::vector<uint8_t> out;
    for (int64_t y = 0; y < image.GetHeight(); ++y) {
        for (int64_t x = 0; x < image.GetWidth(); ++x) {
            if (image.GetBpp() == 24) {
                const uint8_t* p = image.GetBits(static_cast<uint64_t>(y)) + 3 * x;
                out.insert(out.end(), p, p + 3);
            } else {
                out.push_back(RawIndex(image, x, y));
            }
        }
    }
    return out;
}

// An 8-bit grey image from row-major levels.
inline bool MakeGrey(CxImage& image, uint64_t width, uint64_t height,
                     const std::vector<uint8_t>& levels) {
    return image.CreateFromArray(levels.data(), width, height, 8, width, false);
}

inline std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t count) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> out(count);
    for (auto& b : out) b = static_cast<uint8_t>(byte(rng));
    return out;
}

// Every row byte including padding, plus the palette.
inline std::vector<uint8_t> BlockBytes(const CxImage& image) {
    const uint8_t* palette = reinterpret_cast<const uint8_t*>(image.GetPalette());
    std::vector<uint8_t> out(palette, palette + image.GetPaletteSize());
    const uint8_t* rows = image.GetBits(0);
    out.insert(out.end(), rows, rows + image.GetHeader().imageSize);
    return out;
}

#endif
