// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Writes the seed corpora of the fuzz targets (checked in under corpus/):
//   make_seed_corpus <corpus-dir>
// Job seeds: fourteen option bytes, then a small raster stream of every
// depth, several pages, truncated and zero-height variants.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "raster_gen.h"

namespace {

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string options(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    bytes.resize(14, 0);
    return bytes;
}

zelp::RasterPage gradientPage(uint32_t width, uint32_t height, uint32_t bpp) {
    zelp::RasterPage page = zelp::MakeFilledPage(width, height, bpp, 0);
    for (size_t i = 0; i < page.data.size(); ++i) page.data[i] = static_cast<uint8_t>(i * 37 / 5);
    return page;
}

bool writeJobSeeds(const std::string& dir) {
    const std::string plain = options({7, 1, 6, 3, 1, 2, 0, 0, 1, 0, 0, 0, 0, 0});
    const std::string turned = options({12, 2, 19, 9, 6, 8, 8, 1, 0, 1, 1, 3, 10, 10});
    const std::string upside = options({-1, -1, -1, -1, -1, -1, -1, 1, -1, 2, 2, -1, -1, -1});
    const std::string quarter = options({5, 0, 0, 0, 3, 0, 0, 0, 1, 3, 1, 0, -35, 100});
    bool ok = true;
    const uint32_t depths[] = {1, 4, 8, 16, 24, 32};
    for (uint32_t bpp : depths) {
        const std::string stream =
            zelp::EncodeRasterStream({gradientPage(37, 5, bpp), gradientPage(8, 3, bpp)});
        ok &= writeFile(dir + "/job/depth" + std::to_string(bpp), plain + stream);
        ok &= writeFile(dir + "/job/depth" + std::to_string(bpp) + "-turned", turned + stream);
        ok &= writeFile(dir + "/job/depth" + std::to_string(bpp) + "-cut",
                        upside + stream.substr(0, stream.size() - 7));
    }
    zelp::RasterPage copies = gradientPage(24, 30, 8);
    copies.header.NumCopies = 2;
    zelp::RasterPage last = gradientPage(9, 2, 1);
    last.header.cupsHeight = 0;
    last.data.clear();
    ok &= writeFile(dir + "/job/three-pages", quarter + zelp::EncodeRasterStream({copies, gradientPage(3, 3, 24),
                                                                                   gradientPage(5, 40, 1), last}));
    ok &= writeFile(dir + "/job/empty", plain);
    return ok;
}

bool writeImageSeeds(const std::string& dir) {
    bool ok = true;
    for (int depth = 0; depth < 5; ++depth) {
        // width, height, depth index, bytes per line, flip, then pixels and steps.
        std::string bytes = {7, 5, static_cast<char>(depth), 28, 0};
        for (int i = 0; i < 28 * 6; ++i) bytes.push_back(static_cast<char>(i * 13));
        const char steps[] = {0, 30, 1, 2, 127, 3, 0, 6, 1, 4, 2, 2, 9, 9, 9, 9, 9};
        bytes.append(steps, sizeof steps);
        ok &= writeFile(dir + "/image/depth-index" + std::to_string(depth), bytes);
    }
    return ok;
}

bool writeSettingsSeeds(const std::string& dir) {
    const char* keywords[] = {"X80MMY200MM", "X57D5MMY100MM", "X8M0MMY1D25MM", "X80MMY200MMabc", "X80MMY200",
                              "Y200MMX80MM", "x80MMy200MM", "Letter", "XMMY200MM",
                              "X12345678901234567890MMY1MM"};
    const char* optionStrings[] = {"", "Beeper=5", "Cutting=12abc Beeper=3", "Cutting=-2 PageSize=X48MMY100MM",
                                   "foo='bar baz' Cutting", "PageSize=Custom.72x200mm"};
    bool ok = true;
    int n = 0;
    for (const char* keyword : keywords) {
        const char* opts = optionStrings[n % (sizeof optionStrings / sizeof optionStrings[0])];
        ok &= writeFile(dir + "/settings/seed" + std::to_string(n++), std::string(keyword) + '\0' + opts);
    }
    return ok;
}

// Core seeds: fifteen option bytes, then steps: 0 starts a page (depth
// index, width and height as two bytes each, bytes per line beyond what the
// width needs, copies), 1 hands over lines (count - 1, then the bytes), 2
// ends the page, 3 toggles cancellation, 4 makes the printer stop.
bool writeCoreSeeds(const std::string& dir) {
    const std::string streamed = options({7, 1, 6, 3, 1, 2, 0, 0, 1, 0, 0, 0, 0, 0}) + std::string(1, 1);
    const std::string turned = options({13, 0, 2, 1, 4, 1, 1, 1, 0, 1, 1, 3, 10, 10}) + std::string(1, 1);
    const std::string threshold = options({7, 0, 3, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0}) + std::string(1, 0);
    auto page = [](int depthIndex, int width, int height, int copies) {
        return std::string{0, static_cast<char>(depthIndex), static_cast<char>(width), 0, static_cast<char>(height), 0,
                           0, static_cast<char>(copies)};
    };
    auto lines = [](int count, int bytesPerLine, int seed) {
        std::string bytes = {1, static_cast<char>(count - 1)};
        for (int i = 0; i < count * bytesPerLine; ++i) bytes.push_back(static_cast<char>((i * seed) % 251));
        return bytes;
    };
    bool ok = true;
    const int depthIndex[] = {0, 2, 3, 5, 6};
    const int bytesPerPixelTimes8[] = {1, 4, 8, 24, 32};
    for (int d = 0; d < 5; ++d) {
        const int bpl = (60 * bytesPerPixelTimes8[d] + 7) / 8;
        const std::string steps = page(depthIndex[d], 60, 50, 2) + lines(7, bpl, 37) + lines(30, bpl, 11) +
                                  std::string(1, 2) + page(depthIndex[d], 60, 30, 1) + lines(3, bpl, 5);
        ok &= writeFile(dir + "/core/streamed" + std::to_string(d), streamed + steps);
        ok &= writeFile(dir + "/core/turned" + std::to_string(d), turned + steps);
        ok &= writeFile(dir + "/core/threshold" + std::to_string(d), threshold + steps + std::string{3, 2});
    }
    ok &= writeFile(dir + "/core/printer-stops", streamed + page(3, 40, 40, 1) + lines(20, 40, 3) +
                                                     std::string(1, 4) + lines(20, 40, 7) + std::string(1, 2));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_seed_corpus <corpus-dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    if (!writeJobSeeds(dir) || !writeCoreSeeds(dir) || !writeImageSeeds(dir) || !writeSettingsSeeds(dir)) {
        fprintf(stderr, "make_seed_corpus: cannot write under %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
