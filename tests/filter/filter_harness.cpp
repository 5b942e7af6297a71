// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "filter_harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace zelp::test {

PpdContents JobPpd(const OptionDefaults& options, const std::string& pageSize) {
    PpdContents contents;
    if (!pageSize.empty()) contents.options.push_back(PpdOption{"PageSize", pageSize, {pageSize}});
    for (const auto& [keyword, value] : options) contents.options.push_back(NumberedOption(keyword, value));
    return contents;
}

std::vector<std::string> FilterArgs(const std::string& options) {
    return {"42", "tester", "receipt", "1", options};
}

size_t ParseBands(const std::string& bytes, size_t from, std::vector<Band>* bands) {
    static const std::string kStart("\x1D\x76\x30\x00", 4);
    size_t at = from;
    while (at + 8 <= bytes.size() && bytes.compare(at, 4, kStart) == 0 && bytes[at + 7] == 0) {
        Band band;
        band.lDelta = static_cast<uint8_t>(bytes[at + 4]) + 256 * static_cast<uint8_t>(bytes[at + 5]);
        band.rows = static_cast<uint8_t>(bytes[at + 6]);
        const size_t size = static_cast<size_t>(band.lDelta) * static_cast<size_t>(band.rows);
        if (at + 8 + size > bytes.size()) break;
        band.data = bytes.substr(at + 8, size);
        bands->push_back(band);
        at += 8 + size;
    }
    return at;
}

size_t PageDataOffset(const std::vector<RasterPage>& pages, size_t page) {
    const std::vector<RasterPage> through(pages.begin(), pages.begin() + static_cast<std::ptrdiff_t>(page) + 1);
    return EncodeRasterStream(through).size() - pages[page].data.size();
}

RasterPage OneBitPage(uint32_t width, uint32_t height, const std::function<bool(uint32_t, uint32_t)>& dot,
                      uint32_t copies) {
    RasterPage page = MakeFilledPage(width, height, 1, 0x00, copies);
    const uint32_t bpl = page.header.cupsBytesPerLine;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (dot(x, y)) page.data[size_t{y} * bpl + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    return page;
}

RasterPage OneBitPicture(const std::vector<std::string>& picture, uint32_t copies) {
    size_t width = 0;
    for (const std::string& row : picture) width = std::max(width, row.size());
    return OneBitPage(
        static_cast<uint32_t>(width), static_cast<uint32_t>(picture.size()),
        [&](uint32_t x, uint32_t y) { return x < picture[y].size() && picture[y][x] == '#'; }, copies);
}

RasterPage GreyPage(uint32_t width, uint32_t height, const std::function<uint8_t(uint32_t, uint32_t)>& grey) {
    RasterPage page = MakeFilledPage(width, height, 8, 0xFF);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) page.data[size_t{y} * page.header.cupsBytesPerLine + x] = grey(x, y);
    }
    return page;
}

RasterPage FourBitPage(uint32_t width, uint32_t height, const std::function<uint8_t(uint32_t, uint32_t)>& level) {
    RasterPage page = MakeFilledPage(width, height, 4, 0xFF);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t& byte = page.data[size_t{y} * page.header.cupsBytesPerLine + x / 2];
            const uint8_t value = level(x, y) & 0x0F;
            byte = (x % 2 == 0) ? static_cast<uint8_t>((byte & 0x0F) | (value << 4))
                                : static_cast<uint8_t>((byte & 0xF0) | value);
        }
    }
    return page;
}

RasterPage ColourPage(uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                      const std::function<PixelBytes(uint32_t, uint32_t)>& pixel) {
    RasterPage page = MakeFilledPage(width, height, bitsPerPixel, 0xFF);
    const uint32_t bytes = bitsPerPixel / 8;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const PixelBytes p = pixel(x, y);
            for (uint32_t i = 0; i < bytes; ++i) page.data[size_t{y} * page.header.cupsBytesPerLine + x * bytes + i] = p[i];
        }
    }
    return page;
}

std::vector<std::string> TraceLines(const std::string& trace) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string LineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) return line;
    }
    return "(no line starting with \"" + prefix + "\")";
}

std::string FilterTest::WritePpd(const PpdContents& contents, const std::string& name) {
    const std::string path = dir_.Write(name, BuildPpd(contents));
    EXPECT_FALSE(path.empty()) << "cannot write " << name << " in " << dir_.Path();
    return path;
}

Launch FilterTest::LaunchFor(const std::string& ppdPath, const std::string& options) const {
    Launch launch;
    // ZELP_FILTER_UNDER_TEST runs the suite against another build of the filter.
    const char* other = getenv("ZELP_FILTER_UNDER_TEST");
    launch.program = other != nullptr && *other != '\0' ? other : ZELP_FILTER_BINARY;
    launch.args = FilterArgs(options);
    launch.setEnv = {{"PPD", ppdPath}};
    launch.unsetEnv = {"ZELP_TRACE"};
    return launch;
}

ProcessResult FilterTest::Run(const std::string& ppdPath, const std::string& stream, const std::string& options) {
    Launch launch = LaunchFor(ppdPath, options);
    launch.stdinBytes = stream;
    return RunProcess(launch);
}

ProcessResult FilterTest::RunTraced(const std::string& ppdPath, const std::string& stream,
                                    const std::string& options, std::vector<std::string>* trace) {
    const std::string tracePath = dir_.File("trace.txt");
    std::remove(tracePath.c_str());
    Launch launch = LaunchFor(ppdPath, options);
    launch.stdinBytes = stream;
    launch.unsetEnv.clear();
    launch.setEnv.emplace_back("ZELP_TRACE", tracePath);
    ProcessResult result = RunProcess(launch);
    *trace = TraceLines(TempDir::Read(tracePath));
    return result;
}

void ExpectPagesPrinted(const ProcessResult& result, int pages) {
    std::string expected;
    for (int page = 1; page <= pages; ++page) expected += "PAGE: " + std::to_string(page) + " 1\n";
    expected += "INFO: Ready to print.\n";
    EXPECT_EQ(result.err, expected);
    EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
}

}  // namespace zelp::test
