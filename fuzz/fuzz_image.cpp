// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The image library: random geometry and depth, CreateFromArray, then a
// random sequence of operations and pixel and palette accesses.
#include <cstdint>
#include <vector>

#include "ximage.h"

namespace {

class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool empty() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

constexpr uint64_t kDepths[] = {1, 4, 8, 24, 32, 2, 16};
constexpr int kMaxSide = 64;
constexpr int kMaxSteps = 8;

void runStep(CxImage& image, Bytes& in) {
    switch (in.next() % 7) {
        case 0: image.Rotate(static_cast<float>(static_cast<int8_t>(in.next())) * 3.0f, nullptr); break;
        case 1: image.GrayScale(); break;
        case 2: image.Threshold(in.next()); break;
        case 3: image.Dither(static_cast<int8_t>(in.next()) % 10); break;
        case 4: {
            // Coordinates from -128 to 127: outside the image as often as in.
            const int64_t x = int64_t{in.next()} - 128;
            const int64_t y = int64_t{in.next()} - 128;
            image.SetPixelIndex(x, y, in.next());
            image.SetPixelColor(x, y, tagRGBQUAD{in.next(), in.next(), in.next(), in.next()}, in.next() & 1);
            (void)image.GetPixelColor(x, y, true);
            break;
        }
        case 5: image.SetPaletteColor(in.next(), in.next(), in.next(), in.next(), in.next()); break;
        default: {
            CxImage turned;
            image.Rotate(90.0f * static_cast<float>(in.next() % 4), &turned);
            (void)turned.GetNearestIndex(tagRGBQUAD{in.next(), in.next(), in.next(), 0});
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    const uint64_t width = in.next() % kMaxSide + 1;
    const uint64_t height = in.next() % kMaxSide + 1;
    const uint64_t bpp = kDepths[in.next() % (sizeof kDepths / sizeof kDepths[0])];
    const uint64_t bytesPerLine = in.next() % (kMaxSide * 4 + 1);
    const bool flip = in.next() & 1;
    std::vector<uint8_t> pixels(bytesPerLine * height);
    for (uint8_t& p : pixels) p = in.next();

    CxImage image;
    if (!image.CreateFromArray(pixels.data(), width, height, bpp, bytesPerLine, flip)) return 0;
    for (int step = 0; step < kMaxSteps && !in.empty(); ++step) runStep(image, in);
    return 0;
}
