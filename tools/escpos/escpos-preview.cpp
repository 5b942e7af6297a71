// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// escpos-preview: shows what the printer would print from a byte stream that
// raster_to_ZELP wrote, as a PNG picture of the paper and a side log.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "escpos_decode.h"
#include "escpos_png.h"
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
        "line, or at the spacing set by ESC 3 n (n units) until ESC 2 or ESC @ sets it\n"
        "back to %u; ESC J n as n units of blank paper, a unit one dot row unless\n"
        "GS P x y sets 1/y inch; FF as a %zu-dot gap (a receipt has no page top);\n"
        "FS p n as a box labelled LOGO n; ESC i and ESC m as a dashed line across\n"
        "the paper. The other image commands: an ESC * line (24-dot double density)\n"
        "printed by LF at the line's top, LF feeding the line spacing; GS ( L\n"
        "graphics (fn 112) printed by fn 50, feeding their height. The paper is as\n"
        "wide as the widest image (or --head-dots), or %zu dots when there is none.\n"
        "\n"
        "Side log (standard output): ESC @, byte 0E, FF, cuts, beeper (ESC B), drawer\n"
        "kicks (ESC p), stored logos, line spacing and the black-mark commands\n"
        "(GS ( F and 1F 1B 1F 80/81/82), print density and speed (GS ( K) and\n"
        "motion units (GS P), one line each with its byte offset.\n"
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

}  // namespace

int main(int argc, char** argv) {
    bool listCommands = false;
    bool summary = false;
    RenderOptions render;
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
            render.minWidthDots = static_cast<size_t>(dots);
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
    if (!RenderPreview(decoded.commands, render, &preview, &error)) {
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
    if (!outPath.empty() && !WritePicturePng(outPath, preview.picture, &error)) {
        std::fflush(stdout);
        std::fprintf(stderr, "escpos-preview: %s\n", error.c_str());
        return kExitMalformed;
    }
    return std::fflush(stdout) == 0 ? 0 : kExitMalformed;
}
