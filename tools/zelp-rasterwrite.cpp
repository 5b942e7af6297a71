// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-rasterwrite: makes CUPS raster streams from pictures or built-in
// patterns, for tests, the demo and the benchmarks; and counts the commands
// in a printer byte stream.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "draw.h"
#include "page_builder.h"
#include "picture.h"

namespace {

const char kUsage[] =
    "Usage: zelp-rasterwrite (--pattern NAME | --input FILE) [options] -o OUT.ras\n"
    "\n"
    "Makes a CUPS raster stream (uncompressed, version 3) showing a picture.\n"
    "\n"
    "Source (exactly one):\n"
    "  --pattern NAME         a built-in picture: gradient (black to white, left to\n"
    "                         right), checker (8x8 squares), noise (random grey,\n"
    "                         see --seed), bars (16 grey steps), receipt (the sample\n"
    "                         shop receipt, 576 wide, as tall as its content),\n"
    "                         page (a long page's mix: gradients, text-like\n"
    "                         blocks and noise in 200-row bands, see --seed)\n"
    "  --input FILE           a PNG, PGM (P2, P5), PBM (P1, P4) or PPM (P3, P6) file\n"
    "\n"
    "Page:\n"
    "  --width N, --height N  page size in dots. Patterns are drawn at this size\n"
    "                         (default 576 x 240; the receipt's height follows its\n"
    "                         content). A picture larger than the page is cut off,\n"
    "                         a smaller one padded with white, right and below.\n"
    "  --bpp N                bits per pixel, default 8:\n"
    "                           1  colour space K, a set bit is a dark pixel (grey < 128)\n"
    "                           4  colour space W, grey >> 4 (0 black)\n"
    "                           8  colour space W, grey (0 black, 255 white)\n"
    "                           16 colour space W, 16 bits per colour, grey x 257 big-endian\n"
    "                           24 colour space RGB, bytes R, G, B\n"
    "                           32 colour space RGBA, bytes R, G, B, 255\n"
    "  --bytes-per-line N     cupsBytesPerLine as given (default: what the width\n"
    "                         needs); fewer cuts each row short, more pads it with 0\n"
    "  --copies N             NumCopies in every page header (default 1)\n"
    "\n"
    "Stream:\n"
    "  --pages N              the page N times in a row (default 1)\n"
    "  --truncate-last N      end the stream N bytes early, inside the last page's\n"
    "                         pixels (at most that page's pixel bytes)\n"
    "  --zero-height-page     after the pages, a header with cupsHeight 0 (which\n"
    "                         libcups's reader takes as the end of the stream)\n"
    "  --seed N               seed of the noise pattern (default 1)\n"
    "  -o FILE                where the stream goes; - for standard output\n"
    "  --picture-out FILE     also save the page's picture (.pgm: PGM, else PNG)\n"
    "\n"
    "\n"
    "Errors go to standard error as \"zelp-rasterwrite: ...\", exit status 1.\n";

int Error(const std::string& message) {
    std::fprintf(stderr, "zelp-rasterwrite: %s\n", message.c_str());
    return 1;
}

// A whole decimal number within [lo, hi].
bool ParseNumber(const char* text, uint64_t lo, uint64_t hi, uint64_t* value) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    *value = v;
    return true;
}


}  // namespace

int main(int argc, char** argv) {
    std::string pattern, input, output, pictureOut;
    uint64_t width = 0, height = 0, bpp = 8, copies = 1, pages = 1, truncate = 0, seed = 1;
    int64_t bytesPerLine = -1;
    bool zeroHeight = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](uint64_t lo, uint64_t hi, uint64_t* out) {
            if (!ParseNumber(value, lo, hi, out)) return false;
            ++i;
            return true;
        };
        auto text = [&](std::string* out) {
            if (value == nullptr) return false;
            *out = value;
            ++i;
            return true;
        };
        const std::string bad = arg + " needs ";
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--pattern") {
            if (!text(&pattern)) return Error(bad + "a pattern name");
        } else if (arg == "--input") {
            if (!text(&input)) return Error(bad + "a file");
        } else if (arg == "-o" || arg == "--output") {
            if (!text(&output)) return Error(bad + "a file");
        } else if (arg == "--picture-out") {
            if (!text(&pictureOut)) return Error(bad + "a file");
        } else if (arg == "--width") {
            if (!number(1, zelp::kMaxPictureSide, &width)) return Error(bad + "a number from 1 to 65536");
        } else if (arg == "--height") {
            if (!number(1, 1u << 20, &height)) return Error(bad + "a number from 1 to 1048576");
        } else if (arg == "--bpp") {
            if (!number(1, 32, &bpp) || !zelp::IsSupportedDepth(uint32_t(bpp)))
                return Error(bad + "1, 4, 8, 16, 24 or 32");
        } else if (arg == "--bytes-per-line") {
            uint64_t v = 0;
            if (!number(0, UINT32_MAX, &v)) return Error(bad + "a number from 0 to 4294967295");
            bytesPerLine = int64_t(v);
        } else if (arg == "--copies") {
            if (!number(0, UINT32_MAX, &copies)) return Error(bad + "a number from 0 to 4294967295");
        } else if (arg == "--pages") {
            if (!number(1, 100000, &pages)) return Error(bad + "a number from 1 to 100000");
        } else if (arg == "--truncate-last") {
            if (!number(0, UINT64_MAX, &truncate)) return Error(bad + "a number of bytes");
        } else if (arg == "--seed") {
            if (!number(0, UINT32_MAX, &seed)) return Error(bad + "a number from 0 to 4294967295");
        } else if (arg == "--zero-height-page") {
            zeroHeight = true;
        } else {
            return Error("unknown argument " + arg + " (see --help)");
        }
    }
    if (pattern.empty() == input.empty()) return Error("give either --pattern or --input (see --help)");
    if (output.empty()) return Error("no output file: give -o FILE (see --help)");

    zelp::Picture picture;
    std::string why;
    if (!pattern.empty()) {
        if (!zelp::MakePattern(pattern, int(width), int(height), uint32_t(seed), &picture))
            return Error("unknown pattern " + pattern + " (gradient, checker, noise, bars, receipt)");
    } else {
        if (!zelp::LoadPicture(input, &picture, &why)) return Error(why);
        if (width != 0 || height != 0)
            picture = zelp::FitToSize(picture, width ? int(width) : picture.width,
                                      height ? int(height) : picture.height);
    }
    if (uint64_t(picture.width) * uint64_t(picture.height) > (uint64_t{1} << 28))
        return Error("the page has more than 2^28 pixels");
    if (!pictureOut.empty() && !zelp::SavePicture(pictureOut, picture, &why)) return Error(why);

    zelp::PageOptions pageOptions;
    pageOptions.bitsPerPixel = uint32_t(bpp);
    pageOptions.bytesPerLine = bytesPerLine;
    pageOptions.copies = uint32_t(copies);
    zelp::RasterPage page;
    if (!zelp::BuildPage(picture, pageOptions, &page, &why)) return Error(why);

    zelp::StreamOptions streamOptions;
    streamOptions.pages = uint32_t(pages);
    streamOptions.truncateLast = truncate;
    streamOptions.zeroHeightPage = zeroHeight;
    std::string stream;
    if (!zelp::BuildStream(page, streamOptions, &stream, &why)) return Error(why);

    FILE* out = output == "-" ? stdout : std::fopen(output.c_str(), "wb");
    if (out == nullptr) return Error(output + ": " + std::strerror(errno));
    const bool written = std::fwrite(stream.data(), 1, stream.size(), out) == stream.size();
    const bool closed = (out == stdout ? std::fflush(out) : std::fclose(out)) == 0;
    if (!written || !closed) return Error(output + ": write error");
    return 0;
}
