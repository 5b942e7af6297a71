// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The library's operations against the plain per-pixel versions, on seeded
// random images of every depth the page pipeline meets: zero tolerance.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "plain_image_ops.h"
#include "ximage.h"

namespace {

enum class Content { Flat, Noise, Gradient };

struct Shape {
    uint64_t width;
    uint64_t height;
    uint64_t sourceBits;  // 32 builds a 24-bit image with an alpha plane
    Content content;
};

std::vector<uint8_t> makePixels(const Shape& s, uint64_t bytesPerLine, std::mt19937& rng) {
    std::vector<uint8_t> bytes(bytesPerLine * s.height);
    const uint8_t flat = static_cast<uint8_t>(rng());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint64_t x = i % bytesPerLine;
        const uint64_t y = i / bytesPerLine;
        switch (s.content) {
            case Content::Flat: bytes[i] = flat; break;
            case Content::Noise: bytes[i] = static_cast<uint8_t>(rng()); break;
            case Content::Gradient: bytes[i] = static_cast<uint8_t>((x * 7 + y * 3) & 0xFF); break;
        }
    }
    return bytes;
}

// Two identical images from the same random bytes.
void makePair(const Shape& s, std::mt19937& rng, CxImage& a, CxImage& b) {
    const uint64_t bytesPerLine = (s.width * s.sourceBits + 7) / 8;
    const std::vector<uint8_t> bytes = makePixels(s, bytesPerLine, rng);
    ASSERT_TRUE(a.CreateFromArray(bytes.data(), s.width, s.height, s.sourceBits, bytesPerLine, false));
    ASSERT_TRUE(b.CreateFromArray(bytes.data(), s.width, s.height, s.sourceBits, bytesPerLine, false));
}

std::vector<Shape> randomShapes(std::mt19937& rng) {
    const uint64_t depths[] = {1, 4, 8, 24, 32};
    const Content contents[] = {Content::Flat, Content::Noise, Content::Gradient};
    std::vector<Shape> shapes;
    for (int i = 0; i < 60; ++i) {
        shapes.push_back({rng() % 70 + 1, rng() % 70 + 1, depths[i % 5], contents[(i / 5) % 3]});
    }
    // Page-like widths and a few long pages.
    for (uint64_t bits : depths) {
        shapes.push_back({600 + rng() % 80, rng() % 40 + 1, bits, Content::Noise});
        shapes.push_back({rng() % 16 + 1, 1000 + rng() % 3000, bits, Content::Gradient});
    }
    return shapes;
}

struct Operation {
    const char* name;
    std::function<void(CxImage&)> library;
    std::function<void(CxImage&)> reference;
};

const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops = {
        {"GrayScale", [](CxImage& i) { i.GrayScale(); }, [](CxImage& i) { plain::GrayScale(i); }},
        {"Threshold(127)", [](CxImage& i) { i.Threshold(127); }, [](CxImage& i) { plain::Threshold(i, 127); }},
        {"Threshold(0)", [](CxImage& i) { i.Threshold(0); }, [](CxImage& i) { plain::Threshold(i, 0); }},
        {"Dither(0)", [](CxImage& i) { i.Dither(0); }, [](CxImage& i) { plain::Dither0(i); }},
        {"Rotate(90)", [](CxImage& i) { i.Rotate(90.0f); }, [](CxImage& i) { plain::Rotate(i, 90.0f); }},
        {"Rotate(180)", [](CxImage& i) { i.Rotate(180.0f); }, [](CxImage& i) { plain::Rotate(i, 180.0f); }},
        {"Rotate(270)", [](CxImage& i) { i.Rotate(270.0f); }, [](CxImage& i) { plain::Rotate(i, 270.0f); }},
        {"Rotate(33.5)", [](CxImage& i) { i.Rotate(33.5f); }, [](CxImage& i) { plain::Rotate(i, 33.5f); }},
        {"Rotate(-120)", [](CxImage& i) { i.Rotate(-120.0f); }, [](CxImage& i) { plain::Rotate(i, -120.0f); }},
    };
    return ops;
}

TEST(ImageDifferential, LibraryMatchesPlainOperations) {
    const uint32_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (const Shape& shape : randomShapes(rng)) {
        for (const Operation& op : operations()) {
            SCOPED_TRACE(std::string(op.name) + " on " + std::to_string(shape.width) + "x" +
                         std::to_string(shape.height) + " from " + std::to_string(shape.sourceBits) + " bits");
            CxImage library;
            CxImage reference;
            makePair(shape, rng, library, reference);
            op.library(library);
            op.reference(reference);
            ASSERT_EQ(plain::Difference(library, reference), "");
        }
    }
}

// The page pipeline's chains: turn, then grey, then two levels.
TEST(ImageDifferential, PipelineChainsMatch) {
    const uint32_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const float angles[] = {0.0f, 90.0f, 180.0f, 270.0f};
    for (int i = 0; i < 40; ++i) {
        const Shape shape{rng() % 90 + 1, rng() % 90 + 1, uint64_t{i % 2 ? 8u : 24u}, Content::Noise};
        const float angle = angles[i % 4];
        CxImage library;
        CxImage reference;
        makePair(shape, rng, library, reference);
        if (angle != 0.0f) {
            library.Rotate(angle);
            plain::Rotate(reference, angle);
        }
        library.GrayScale();
        plain::GrayScale(reference);
        library.Dither(0);
        plain::Dither0(reference);
        ASSERT_EQ(plain::Difference(library, reference), "") << "case " << i;
    }
}

}  // namespace
