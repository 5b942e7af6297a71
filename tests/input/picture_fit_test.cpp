// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What image_to_ZELP reads of a picture before CUPS converts it: the size
// from the first bytes, the resolution that fits it across the paper, and
// the JFIF marker a bare JPEG needs.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "picture_fit.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Bytes kPngStart = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
const Bytes kSoi = {0xFF, 0xD8};
const Bytes kApp0 = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
const Bytes kDqt = {0xFF, 0xDB, 0x00, 0x04, 0x00, 0x01};  // shortened: only its length matters here
const Bytes kDht = {0xFF, 0xC4, 0x00, 0x03, 0x00};
// Start of frame: length 11, precision 8, height 100, width 200, one component.
const Bytes kSof0 = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x64, 0x00, 0xC8, 0x01, 0x01, 0x11, 0x00};
const Bytes kSof2 = {0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x01, 0x00, 0x03, 0x8A, 0x01, 0x01, 0x11, 0x00};
const Bytes kSos = {0xFF, 0xDA, 0x00, 0x02};

TEST(PictureFit, SizeFromTheFirstBytes) {
    const struct {
        const char* name;
        Bytes bytes;
        bool known;
        uint32_t width, height;
    } cases[] = {
        {"PNG", Cat({kPngStart, {0, 0, 0x03, 0x8A, 0, 0, 0, 0xA0}}), true, 906, 160},
        {"PNG cut inside its header", Cat({kPngStart, {0, 0, 0x03}}), false, 0, 0},
        {"GIF", {'G', 'I', 'F', '8', '9', 'a', 0x40, 0x01, 0x80, 0x00}, true, 320, 128},
        {"JPEG after JFIF and tables", Cat({kSoi, kApp0, kDqt, kDht, kSof0, kSos}), true, 200, 100},
        {"JPEG without JFIF, progressive", Cat({kSoi, kDqt, kSof2}), true, 906, 256},
        {"JPEG with fill bytes before a marker", Cat({kSoi, {0xFF, 0xFF}, kSof0}), true, 200, 100},
        {"JPEG whose data starts before any frame", Cat({kSoi, kDqt, kSos, kSof0}), false, 0, 0},
        {"JPEG with a segment longer than the file", Cat({kSoi, {0xFF, 0xE1, 0x40, 0x00, 0x00}}), false, 0, 0},
        {"plain text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t width = 0;
        uint32_t height = 0;
        EXPECT_EQ(PictureSize(c.bytes.data(), c.bytes.size(), &width, &height), c.known);
        if (c.known) {
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(height, c.height);
        }
    }
}

// The printable widths are 204.30 points (80 mm paper) and 136.20 (58 mm);
// each answer is the least whole resolution at which the picture's width
// in inches, as single-precision sums give it, is no more than that.
TEST(PictureFit, LeastResolutionThatFits) {
    const float wide = 204.30f / 72.0f;
    const float narrow = 136.20f / 72.0f;
    const struct {
        uint32_t width;
        int ppi;
        float inches;
        int fit;
    } cases[] = {
        {400, 203, wide, 203},     // fits at one pixel a dot
        {576, 203, wide, 203},     // exactly the head
        {577, 203, wide, 204},     // one pixel more
        {906, 203, wide, 320},     // 906 / 319 is 2.8401 inches, over 2.8375
        {452, 203, narrow, 239},   // 452 / 238 is 1.8992 inches, over 1.8917
        {400, 100, wide, 141},     // a resolution asked for that does not fit
        {400, 600, wide, 600},     // one that does is kept
        {UINT32_MAX, 203, 0.001f, INT_MAX / 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " pixels at " << c.ppi << " ppi on " << c.inches << " in");
        EXPECT_EQ(FittingPpi(c.width, c.ppi, c.inches), c.fit);
    }
}

TEST(PictureFit, BareJpegGetsAJfifMarker) {
    const Bytes bare = Cat({kSoi, kDqt, kSof0, kSos});
    const struct {
        const char* name;
        Bytes bytes;
        bool lacks;
    } cases[] = {
        {"FF D8 FF DB", bare, true},
        {"JFIF", Cat({kSoi, kApp0, kDqt}), false},
        {"Exif", Cat({kSoi, {0xFF, 0xE1, 0x00, 0x02}}), false},
        {"PNG", kPngStart, false},
        {"too short", {0xFF, 0xD8, 0xFF}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JpegLacksAppMarker(c.bytes.data(), c.bytes.size()), c.lacks);
    }
    const Bytes mended = WithJfifMarker(bare.data(), bare.size());
    EXPECT_EQ(mended, Cat({kSoi, kApp0, kDqt, kSof0, kSos}));
    EXPECT_FALSE(JpegLacksAppMarker(mended.data(), mended.size()));
}

}  // namespace
