// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Block reads of the raster stream give exactly the lines that arrived in
// full, wherever the stream is cut, and the same bytes as line-by-line reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "raster_gen.h"
#include "raster_input.h"

namespace {

struct Cut {
    std::string stream;
    size_t pixelStart;  // offset of the page's first pixel byte
};

Cut makeStream(uint32_t width, uint32_t height, uint32_t bits) {
    zelp::RasterPage page = zelp::MakeFilledPage(width, height, bits, 0);
    for (size_t i = 0; i < page.data.size(); ++i) page.data[i] = static_cast<uint8_t>(i * 131 + 7);
    const std::string stream = zelp::EncodeRasterStream({page});
    return {stream, stream.size() - page.data.size()};
}

// Reads the first page's lines from `bytes` through a pipe-less temp file,
// by the filter's reader (as many calls as it takes) or line by line.
uint32_t readLines(const std::string& bytes, std::vector<unsigned char>& out, uint32_t* bytesPerLine,
                   bool viaOwnReader) {
    FILE* file = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), file);
    fflush(file);
    rewind(file);
    const int fd = fileno(file);
    cups_page_header2_t header;
    uint32_t got = 0;
    if (viaOwnReader) {
        RasterInput input(fd);
        if (input.ReadHeader(&header)) {
            *bytesPerLine = header.cupsBytesPerLine;
            out.assign(uint64_t{header.cupsBytesPerLine} * header.cupsHeight, 0);
            while (got < header.cupsHeight && !input.Ended()) {
                got += input.ReadLines(out.data() + uint64_t{got} * header.cupsBytesPerLine, header.cupsBytesPerLine,
                                       header.cupsHeight - got);
            }
        }
    } else {
        cups_raster_t* ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
        if (ras != nullptr && cupsRasterReadHeader2(ras, &header)) {
            *bytesPerLine = header.cupsBytesPerLine;
            out.assign(uint64_t{header.cupsBytesPerLine} * header.cupsHeight, 0);
            while (got < header.cupsHeight &&
                   cupsRasterReadPixels(ras, out.data() + uint64_t{got} * header.cupsBytesPerLine,
                                        header.cupsBytesPerLine) != 0) {
                ++got;
            }
        }
        cupsRasterClose(ras);
    }
    fclose(file);
    return got;
}

TEST(RasterInput, CutStreamsKeepEveryWholeLine) {
    const struct {
        uint32_t width, height, bits;
    } pages[] = {{576, 9, 8}, {13, 40, 1}, {7, 5, 24}};
    for (const auto& p : pages) {
        const Cut cut = makeStream(p.width, p.height, p.bits);
        for (size_t end = cut.pixelStart; end <= cut.stream.size(); ++end) {
            SCOPED_TRACE("page " + std::to_string(p.width) + "x" + std::to_string(p.height) + "@" +
                         std::to_string(p.bits) + " cut at " + std::to_string(end));
            const std::string bytes = cut.stream.substr(0, end);
            std::vector<unsigned char> blocks;
            std::vector<unsigned char> lines;
            uint32_t n = 0;
            const uint32_t gotBlocks = readLines(bytes, blocks, &n, true);
            const uint32_t gotLines = readLines(bytes, lines, &n, false);
            ASSERT_EQ(gotBlocks, (end - cut.pixelStart) / n);
            ASSERT_EQ(gotBlocks, gotLines);
            ASSERT_EQ(0, memcmp(blocks.data(), lines.data(), uint64_t{gotBlocks} * n));
            ASSERT_EQ(0, memcmp(blocks.data(), cut.stream.data() + cut.pixelStart, uint64_t{gotBlocks} * n));
        }
    }
}

}  // namespace
