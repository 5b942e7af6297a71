// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// escpos-preview: shows what the printer would print from a byte stream that
// raster_to_ZELP wrote, as a PNG picture of the paper and a side log.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "escpos_decode.h"
#include "escpos_render.h"

namespace {

using namespace zelp::escpos;

constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;

void PrintHelp() {
    std::printf(
        "Usage: escpos-preview [--log] [--summary] [--head-dots N] [-o OUT.png] [INPUT|-]\n"
        "\n"
        "Reads the printer byte stream that raster_to_ZELP writes (from INPUT, or from\n"
        "standard input when INPUT is '-' or missing) and shows what the printer would\n"
        "print.\n"
        "\n"
        "  -o OUT.png  write a picture of the paper: one pixel per printer dot, white\n"
        "              paper, black dots, first dot row at the top. Without -o no\n"
        "              picture is written.\n"
        "  --log       list every command: byte offset, name, parameters\n"
        "  --summary   print counts as 'key: value' lines (commands by kind, bands,\n"
        "              dot rows, dots set, band widths in bytes, cuts, paper size)\n"
        "              instead of the side log\n"
        "  --head-dots N  draw the paper N dots wide, the print head's width (576 on\n"
        "              80 mm paper, 384 on 58 mm paper), so that a band narrower than\n"
        "              the head shows where it lands; a wider band widens the paper\n"
        "  -h, --help  show this text\n"
        "\n"
        "The picture: GS v 0 bands one under the other at their true size (the mode\n"
        "byte m is ignored and noted); ESC d n as n lines of blank paper at %u dots per\n"
        "line, or at the spacing set by ESC 3 n (n dots) until ESC 2 or ESC @ sets it\n"
        "back to %u; FF as a %zu-dot gap (a receipt has no page top); FS p n as a box\n"
        "labelled LOGO n; ESC i and ESC m as a dashed line across the paper. The paper\n"
        "is as wide as the widest band (or --head-dots), or %zu dots when there is\n"
        "none.\n"
        "\n"
        "Side log (standard output): ESC @, byte 0E, FF, cuts, beeper (ESC B), drawer\n"
        "kicks (ESC p), stored logos, line spacing and the black-mark commands\n"
        "(GS ( F and 1F 1B 1F 80/81/82), one line each with its byte offset.\n"
        "Output order: the --log listing, then the side log or the --summary lines.\n"
        "\n"
        "Exit status: 0 when the whole stream was read; 1 for a malformed stream (a\n"
        "truncated command, an unknown command byte; the message names the byte\n"
        "offset, and commands before it are still listed), an unreadable input or a\n"
        "picture that cannot be written; 2 for a wrong command line.\n",
        kDefaultLineSpacingDots, kDefaultLineSpacingDots, kFormFeedGapDots,
        kDefaultPaperWidthDots);
}

bool ReadAll(std::FILE* in, std::vector<uint8_t>* bytes) {
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        bytes->insert(bytes->end(), block, block + got);
    }
    return std::ferror(in) == 0;
}

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

bool WritePng(const std::string& path, const Picture& drawn, std::string* error) {
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

}  // namespace

int main(int argc, char** argv) {
    bool listCommands = false;
    bool summary = false;
    size_t headDots = 0;
    std::string outPath;
    std::string inPath;
    bool haveInput = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            PrintHelp();
            return 0;
        } else if (arg == "--log") {
            listCommands = true;
        } else if (arg == "--summary") {
            summary = true;
        } else if (arg == "--head-dots") {
            char* end = nullptr;
            const long dots = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
            if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || dots < 1 || dots > 65535 * 8) {
                std::fprintf(stderr, "escpos-preview: --head-dots needs a number of dots from 1 to %d\n", 65535 * 8);
                return kExitUsage;
            }
            headDots = static_cast<size_t>(dots);
            ++i;
        } else if (arg == "-o") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "escpos-preview: -o needs a file name\n");
                return kExitUsage;
            }
            outPath = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "escpos-preview: unknown option %s (see --help)\n", arg.c_str());
            return kExitUsage;
        } else if (haveInput) {
            std::fprintf(stderr, "escpos-preview: only one input may be named\n");
            return kExitUsage;
        } else {
            inPath = arg;
            haveInput = true;
        }
    }

    std::vector<uint8_t> bytes;
    const bool fromStdin = !haveInput || inPath == "-";
    std::FILE* in = fromStdin ? stdin : std::fopen(inPath.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "escpos-preview: cannot open %s: %s\n", inPath.c_str(),
                     std::strerror(errno));
        return kExitMalformed;
    }
    const bool read = ReadAll(in, &bytes);
    if (!fromStdin) std::fclose(in);
    if (!read) {
        std::fprintf(stderr, "escpos-preview: cannot read %s\n",
                     fromStdin ? "standard input" : inPath.c_str());
        return kExitMalformed;
    }

    const DecodeResult decoded = Decode(bytes.data(), bytes.size());
    if (listCommands) {
        for (const Command& c : decoded.commands) std::printf("%s\n", FormatCommand(c).c_str());
    }
    if (!decoded.ok) {
        std::fflush(stdout);
        std::fprintf(stderr, "escpos-preview: %s at byte offset %llu\n", decoded.error.c_str(),
                     static_cast<unsigned long long>(decoded.errorOffset));
        return kExitMalformed;
    }

    Preview preview;
    std::string error;
    if (!RenderPreview(decoded.commands, &preview, &error, headDots)) {
        std::fprintf(stderr, "escpos-preview: %s\n", error.c_str());
        return kExitMalformed;
    }
    if (summary) {
        const Summary counts = Summarize(decoded.commands, bytes.size());
        for (const std::string& line : FormatSummary(counts, &preview.picture)) {
            std::printf("%s\n", line.c_str());
        }
    } else {
        for (const std::string& note : preview.notes) std::printf("%s\n", note.c_str());
    }
    if (!outPath.empty() && !WritePng(outPath, preview.picture, &error)) {
        std::fflush(stdout);
        std::fprintf(stderr, "escpos-preview: %s\n", error.c_str());
        return kExitMalformed;
    }
    return std::fflush(stdout) == 0 ? 0 : kExitMalformed;
}
