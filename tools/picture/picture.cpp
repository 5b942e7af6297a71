// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "picture.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelp {

uint8_t Picture::Grey(int x, int y) const {
    const uint8_t* p = At(x, y);
    return channels == 1 ? p[0] : Luma(p[0], p[1], p[2]);
}

Picture MakePicture(int width, int height, int channels, uint8_t fill) {
    Picture p;
    if (width <= 0 || height <= 0 || (channels != 1 && channels != 3)) return p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.pixels.assign(size_t(width) * height * channels, fill);
    return p;
}

uint8_t Luma(uint8_t r, uint8_t g, uint8_t b) {
    // Weights scaled by 1000 so the result is exact integer rounding.
    return static_cast<uint8_t>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}

Picture ToGrey(const Picture& picture) {
    if (picture.channels == 1) return picture;
    Picture grey = MakePicture(picture.width, picture.height, 1, 0);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) *grey.At(x, y) = picture.Grey(x, y);
    return grey;
}

Picture FitToSize(const Picture& picture, int width, int height) {
    Picture out = MakePicture(width, height, picture.channels, 255);
    const int w = std::min(width, picture.width);
    const int h = std::min(height, picture.height);
    for (int y = 0; y < h; ++y)
        std::memcpy(out.At(0, y), picture.At(0, y), size_t(w) * picture.channels);
    return out;
}

// ---------------------------------------------------------------------------
// netpbm

namespace {

class PnmReader {
public:
    explicit PnmReader(const std::string& bytes) : bytes_(bytes) {}

    // Skips white space and # comments, then reads a decimal number.
    bool Number(long* value) {
        SkipSpace();
        if (pos_ >= bytes_.size() || !std::isdigit(static_cast<unsigned char>(bytes_[pos_])))
            return false;
        long v = 0;
        while (pos_ < bytes_.size() && std::isdigit(static_cast<unsigned char>(bytes_[pos_]))) {
            v = v * 10 + (bytes_[pos_++] - '0');
            if (v > 1L << 30) return false;
        }
        *value = v;
        return true;
    }

    // P1 allows bits without separators ("0110"): one digit at a time.
    bool Bit(int* bit) {
        SkipSpace();
        if (pos_ >= bytes_.size() || (bytes_[pos_] != '0' && bytes_[pos_] != '1')) return false;
        *bit = bytes_[pos_++] - '0';
        return true;
    }

    // The single white-space byte between the header and binary samples.
    bool EndOfHeader() {
        if (pos_ >= bytes_.size() || !std::isspace(static_cast<unsigned char>(bytes_[pos_])))
            return false;
        ++pos_;
        return true;
    }

    size_t Remaining() const { return bytes_.size() - pos_; }
    const uint8_t* Here() const { return reinterpret_cast<const uint8_t*>(bytes_.data()) + pos_; }

private:
    void SkipSpace() {
        while (pos_ < bytes_.size()) {
            const char c = bytes_[pos_];
            if (c == '#') {
                while (pos_ < bytes_.size() && bytes_[pos_] != '\n') ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else {
                break;
            }
        }
    }

    const std::string& bytes_;
    size_t pos_ = 2;  // past the magic number
};

uint8_t Scale(long sample, long maxval) {
    if (sample > maxval) sample = maxval;
    return static_cast<uint8_t>((sample * 255 + maxval / 2) / maxval);
}

bool Fail(std::string* error, const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
}

}  // namespace

bool DecodePnm(const std::string& bytes, Picture* out, std::string* error) {
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
        return Fail(error, "not a netpbm file");
    const int kind = bytes[1] - '0';
    const bool bitmap = kind == 1 || kind == 4;
    const bool plain = kind <= 3;
    const int channels = (kind == 3 || kind == 6) ? 3 : 1;

    PnmReader in(bytes);
    long width = 0, height = 0, maxval = 1;
    if (!in.Number(&width) || !in.Number(&height)) return Fail(error, "bad netpbm header");
    if (!bitmap && !in.Number(&maxval)) return Fail(error, "bad netpbm header");
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return Fail(error, "netpbm size out of range");
    if (maxval <= 0 || maxval > 65535) return Fail(error, "netpbm maxval out of range");

    Picture p = MakePicture(int(width), int(height), channels, 0);
    const size_t samples = p.pixels.size();

    if (plain) {
        for (size_t i = 0; i < samples; ++i) {
            if (bitmap) {
                int bit = 0;
                if (!in.Bit(&bit)) return Fail(error, "netpbm data ends early");
                p.pixels[i] = bit ? 0 : 255;
            } else {
                long v = 0;
                if (!in.Number(&v)) return Fail(error, "netpbm data ends early");
                p.pixels[i] = Scale(v, maxval);
            }
        }
    } else if (bitmap) {
        if (!in.EndOfHeader()) return Fail(error, "bad netpbm header");
        const size_t rowBytes = (size_t(width) + 7) / 8;
        if (in.Remaining() < rowBytes * height) return Fail(error, "netpbm data ends early");
        const uint8_t* src = in.Here();
        for (long y = 0; y < height; ++y)
            for (long x = 0; x < width; ++x) {
                const bool dark = src[y * rowBytes + x / 8] & (0x80 >> (x % 8));
                *p.At(int(x), int(y)) = dark ? 0 : 255;
            }
    } else {
        if (!in.EndOfHeader()) return Fail(error, "bad netpbm header");
        const size_t sampleBytes = maxval > 255 ? 2 : 1;
        if (in.Remaining() < samples * sampleBytes) return Fail(error, "netpbm data ends early");
        const uint8_t* src = in.Here();
        for (size_t i = 0; i < samples; ++i) {
            const long v = sampleBytes == 2 ? (src[2 * i] << 8 | src[2 * i + 1]) : src[i];
            p.pixels[i] = Scale(v, maxval);
        }
    }
    *out = std::move(p);
    return true;
}

std::string EncodePgm(const Picture& picture) {
    const Picture grey = ToGrey(picture);
    std::string out = "P5\n" + std::to_string(grey.width) + " " + std::to_string(grey.height) +
                      "\n255\n";
    out.append(reinterpret_cast<const char*>(grey.pixels.data()), grey.pixels.size());
    return out;
}

// ---------------------------------------------------------------------------
// PNG, through libpng's simplified interface (no setjmp on our side)

bool DecodePng(const std::string& bytes, Picture* out, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return Fail(error, std::string("PNG: ") + image.message);
    if (image.width == 0 || image.height == 0 || image.width > kMaxPictureSide ||
        image.height > kMaxPictureSide) {
        png_image_free(&image);
        return Fail(error, "PNG size out of range");
    }
    // Keep grey files grey: no colour conversion, so levels come back exact.
    const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    Picture p = MakePicture(int(image.width), int(image.height), colour ? 3 : 1, 255);
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&image, &white, p.pixels.data(), 0, nullptr)) {
        std::string why = std::string("PNG: ") + image.message;
        png_image_free(&image);
        return Fail(error, why);
    }
    *out = std::move(p);
    return true;
}

bool EncodePng(const Picture& picture, std::string* bytes, std::string* error) {
    if (picture.Empty()) return Fail(error, "empty picture");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = picture.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.pixels.data(), 0, nullptr))
        return Fail(error, std::string("PNG: ") + image.message);
    bytes->assign(size, '\0');
    if (!png_image_write_to_memory(&image, &(*bytes)[0], &size, 0, picture.pixels.data(), 0,
                                   nullptr))
        return Fail(error, std::string("PNG: ") + image.message);
    bytes->resize(size);
    return true;
}

// ---------------------------------------------------------------------------
// files

namespace {

bool ReadFile(const std::string& path, std::string* bytes, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return Fail(error, path + ": " + std::strerror(errno));
    bytes->clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) return Fail(error, path + ": read error");
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return Fail(error, path + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) return Fail(error, path + ": write error");
    return true;
}

bool EndsWith(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

}  // namespace

bool LoadPicture(const std::string& path, Picture* out, std::string* error) {
    std::string bytes, why;
    if (!ReadFile(path, &bytes, error)) return false;
    bool ok = false;
    if (bytes.size() >= 8 && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) == 0)
        ok = DecodePng(bytes, out, &why);
    else if (bytes.size() >= 2 && bytes[0] == 'P')
        ok = DecodePnm(bytes, out, &why);
    else
        why = "not a PNG, PGM, PBM or PPM file";
    return ok || Fail(error, path + ": " + why);
}

bool SavePicture(const std::string& path, const Picture& picture, std::string* error) {
    if (picture.Empty()) return Fail(error, "empty picture");
    std::string bytes;
    if (EndsWith(path, ".pgm")) {
        bytes = EncodePgm(picture);
    } else if (!EncodePng(picture, &bytes, error)) {
        return false;
    }
    return WriteFile(path, bytes, error);
}

}  // namespace zelp
