// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "escpos_png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zelp::escpos {

namespace {

// Only plain data lives in this frame: libpng leaves it with longjmp.
bool WritePngRows(std::FILE* out, const Picture& picture, std::vector<png_bytep>* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    // A long job is far taller than libpng's default limit of a million rows.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // In a 1-bit grey PNG a set bit is white; ours is a black dot.
    png_set_invert_mono(png);
    png_write_image(png, rows->data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePicturePng(const std::string& path, const Picture& drawn, std::string* error) {
    // A stream that takes no paper still gets a picture: one blank row, the
    // least a PNG can hold.
    Picture blank;
    if (drawn.height == 0) {
        blank.width = drawn.width;
        blank.stride = drawn.stride;
        blank.height = 1;
        blank.bits.assign(blank.stride, 0);
    }
    const Picture& picture = drawn.height == 0 ? blank : drawn;
    if (picture.width == 0 || picture.width > 0x7fffffff || picture.height > 0x7fffffff) {
        *error = "cannot write " + path + ": a PNG cannot hold a picture of " +
                 std::to_string(picture.width) + " x " + std::to_string(picture.height) + " dots";
        return false;
    }
    std::vector<png_bytep> rows(picture.height);
    // libpng takes non-const rows but only reads them when writing.
    uint8_t* bits = const_cast<uint8_t*>(picture.bits.data());
    for (size_t y = 0; y < picture.height; ++y) rows[y] = bits + y * picture.stride;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = WritePngRows(out, picture, &rows);
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace zelp::escpos
