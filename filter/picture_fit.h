// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What image_to_ZELP needs to know of a picture before CUPS's imagetoraster
// turns it into raster: its size in pixels from the first bytes of the
// file, the resolution at which it fits across the printable width, and a
// JPEG that CUPS's image reader would refuse made readable.
#ifndef ZELP_FILTER_PICTURE_FIT_H
#define ZELP_FILTER_PICTURE_FIT_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Width and height in pixels of a PNG, JPEG or GIF file; false for any
// other file, or one too short or damaged to tell.
bool PictureSize(const unsigned char* bytes, size_t count, uint32_t* width, uint32_t* height);

// The pixels per inch at which a picture `width` pixels wide prints: `ppi`
// when the picture fits across `printableInches` at it, else the least
// that makes it fit, in imagetoraster's own single-precision sums (a
// picture that does not fit is turned sideways or cut into pieces there).
int FittingPpi(uint32_t width, int ppi, float printableInches);

// A JPEG whose first segment is no APPn marker (FF D8 FF DB, a bare
// quantisation table, as some cameras and tools write) is refused by CUPS's
// image reader. True when `bytes` is one.
bool JpegLacksAppMarker(const unsigned char* bytes, size_t count);

// The same JPEG with a JFIF marker (no density, square pixels) after its
// start-of-image marker: the pixels are untouched.
std::vector<unsigned char> WithJfifMarker(const unsigned char* bytes, size_t count);

#endif
