// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "picture_fit.h"

#include <climits>
#include <cstring>

namespace {

uint32_t Big16(const unsigned char* p) {
    return uint32_t{p[0]} << 8 | p[1];
}

uint32_t Big32(const unsigned char* p) {
    return Big16(p) << 16 | Big16(p + 2);
}

bool PngSize(const unsigned char* bytes, size_t count, uint32_t* width, uint32_t* height) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    // The signature, then the IHDR chunk: length, type, width, height.
    if (count < 24 || memcmp(bytes, kSignature, 8) != 0 || memcmp(bytes + 12, "IHDR", 4) != 0) return false;
    *width = Big32(bytes + 16);
    *height = Big32(bytes + 20);
    return true;
}

bool GifSize(const unsigned char* bytes, size_t count, uint32_t* width, uint32_t* height) {
    if (count < 10 || (memcmp(bytes, "GIF87a", 6) != 0 && memcmp(bytes, "GIF89a", 6) != 0)) return false;
    *width = bytes[6] | uint32_t{bytes[7]} << 8;
    *height = bytes[8] | uint32_t{bytes[9]} << 8;
    return true;
}

// The first start-of-frame segment gives the size; segments before it are
// stepped over by their lengths.
bool JpegSize(const unsigned char* bytes, size_t count, uint32_t* width, uint32_t* height) {
    if (count < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    size_t at = 2;
    while (at < count) {
        if (bytes[at] != 0xFF) return false;
        while (at < count && bytes[at] == 0xFF) ++at;  // fill bytes
        if (at >= count) return false;
        const unsigned char marker = bytes[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA) return false;  // image end or data before any frame
        if (at + 2 > count) return false;
        const size_t length = Big16(bytes + at);
        if (length < 2 || at + length > count) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7) return false;
            *height = Big16(bytes + at + 3);  // after the length and the sample precision
            *width = Big16(bytes + at + 5);
            return true;
        }
        at += length;
    }
    return false;
}

}  // namespace

bool PictureSize(const unsigned char* bytes, size_t count, uint32_t* width, uint32_t* height) {
    return PngSize(bytes, count, width, height) || JpegSize(bytes, count, width, height) ||
           GifSize(bytes, count, width, height);
}

int FittingPpi(uint32_t width, int ppi, float printableInches) {
    if (ppi < 1 || !(printableInches > 0.0f)) return ppi;
    const double least = static_cast<double>(width) / static_cast<double>(printableInches);
    if (least >= INT_MAX / 2) return INT_MAX / 2;  // no picture so wide prints anyway
    int fit = ppi;
    if (least > fit + 1) fit = static_cast<int>(least) - 1;
    while (static_cast<float>(width) / static_cast<float>(fit) > printableInches) ++fit;
    return fit;
}

bool JpegLacksAppMarker(const unsigned char* bytes, size_t count) {
    return count >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF &&
           !(bytes[3] >= 0xE0 && bytes[3] <= 0xEF);
}

std::vector<unsigned char> WithJfifMarker(const unsigned char* bytes, size_t count) {
    // APP0 "JFIF", version 1.1, no density unit, aspect 1:1, no thumbnail.
    static const unsigned char kJfif[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01,
                                          0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    std::vector<unsigned char> out(bytes, bytes + 2);
    out.insert(out.end(), kJfif, kJfif + sizeof kJfif);
    out.insert(out.end(), bytes + 2, bytes + count);
    return out;
}
