// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Small pictures for making test pages: grey or RGB, 8 bits a sample,
// loaded from and saved to PNG and the netpbm formats.
#ifndef ZELP_TOOLS_PICTURE_H
#define ZELP_TOOLS_PICTURE_H

#include <cstdint>
#include <string>
#include <vector>

namespace zelp {

struct Picture {
    int width = 0;
    int height = 0;
    int channels = 1;             // 1: grey (0 black, 255 white); 3: R, G, B
    std::vector<uint8_t> pixels;  // rows top first, `channels` bytes a pixel

    bool Empty() const { return width <= 0 || height <= 0; }
    uint8_t* At(int x, int y) { return &pixels[(size_t(y) * width + x) * channels]; }
    const uint8_t* At(int x, int y) const { return &pixels[(size_t(y) * width + x) * channels]; }
    // The pixel's grey level (luma for RGB pictures).
    uint8_t Grey(int x, int y) const;
};

// Largest width or height accepted by the loaders; keeps sizes far from overflow.
constexpr int kMaxPictureSide = 1 << 16;

Picture MakePicture(int width, int height, int channels, uint8_t fill);

// Rec. 601 luma, rounded: 0.299 R + 0.587 G + 0.114 B.
uint8_t Luma(uint8_t r, uint8_t g, uint8_t b);

// The same picture with one grey channel.
Picture ToGrey(const Picture& picture);

// A copy `width` x `height` large: the picture at the top left, cut off or
// padded with white to the right and below.
Picture FitToSize(const Picture& picture, int width, int height);

// Decoders. PNM: P1 and P4 (PBM, 1 is black), P2 and P5 (PGM, any maxval up
// to 65535, scaled to 0-255), P3 and P6 (PPM, to RGB). PNG: any PNG; grey
// files load as grey, colour files as RGB, transparency over white.
// Failures leave a short reason in `error`.
bool DecodePnm(const std::string& bytes, Picture* out, std::string* error);
bool DecodePng(const std::string& bytes, Picture* out, std::string* error);
// Reads a file and picks the decoder by its first bytes.
bool LoadPicture(const std::string& path, Picture* out, std::string* error);

// Encoders: PNG keeps grey or RGB; PGM (P5, maxval 255) stores grey levels.
bool EncodePng(const Picture& picture, std::string* bytes, std::string* error);
std::string EncodePgm(const Picture& picture);
// Saves as PNG or PGM, chosen by the file name's ending (.pgm, else PNG).
bool SavePicture(const std::string& path, const Picture& picture, std::string* error);

}  // namespace zelp

#endif
