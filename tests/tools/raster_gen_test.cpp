// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Streams from raster_gen read back through libcups's own reader.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "raster_gen.h"

namespace {

using zelp::RasterPage;

RasterPage RandomPage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t seed,
                      int64_t bytesPerLine = -1, uint32_t copies = 1) {
    RasterPage page = zelp::MakeFilledPage(width, height, bpp, 0, copies);
    if (bytesPerLine >= 0) {
        page.header.cupsBytesPerLine = unsigned(bytesPerLine);
        page.data.resize(size_t(bytesPerLine) * height);
    }
    std::mt19937 rng(seed);
    for (uint8_t& b : page.data) b = uint8_t(rng());
    return page;
}

bool SameHeader(const cups_page_header2_t& a, const cups_page_header2_t& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct DepthCase {
    const char* name;
    uint32_t width, height, bpp;
    int64_t bytesPerLine;  // -1: natural
    uint32_t copies;
};

// Headers the filter tests need, odd ones included: all must survive a
// round trip through libcups's writer and reader unchanged.
const DepthCase kDepths[] = {
    {"1 bit", 576, 30, 1, -1, 1},
    {"1 bit, width not a byte multiple", 500, 3, 1, -1, 2},
    {"4 bit", 11, 5, 4, -1, 1},
    {"8 bit", 33, 7, 8, -1, 0},
    {"8 bit, short lines", 33, 7, 8, 10, 1},
    {"8 bit, long lines", 10, 4, 8, 24, 1},
    {"16 bit", 9, 4, 16, -1, 1},
    {"24 bit", 7, 3, 24, -1, 1},
    {"32 bit, short lines", 10, 4, 32, 20, 1},
    {"2 bit", 10, 4, 2, -1, 1},
    {"3 bit", 10, 4, 3, -1, 1},
    {"many copies", 8, 1, 8, -1, 4294967295u},
};

TEST(RasterGen, PagesOfEveryDepthReadBackAsWritten) {
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(c.name);
        const uint32_t seed = c.width * 131 + c.bpp;
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<RasterPage> pages = {RandomPage(c.width, c.height, c.bpp, seed, c.bytesPerLine, c.copies),
                                         RandomPage(c.width, c.height, c.bpp, seed + 1, c.bytesPerLine, c.copies)};
        std::vector<RasterPage> back;
        ASSERT_TRUE(zelp::DecodeRasterStream(zelp::EncodeRasterStream(pages), &back));
        ASSERT_EQ(back.size(), pages.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_TRUE(SameHeader(back[i].header, pages[i].header)) << "page " << i;
            EXPECT_EQ(back[i].data, pages[i].data) << "page " << i;
        }
    }
}

TEST(RasterGen, HandWrittenPageIsByteForByteWhatLibcupsWrites) {
    const RasterPage page = RandomPage(20, 6, 24, 7);
    std::string raw = zelp::RasterSyncWord();
    zelp::AppendRawPage(raw, page);
    EXPECT_EQ(raw, zelp::EncodeRasterStream({page}));
    EXPECT_EQ(raw.size(), 4 + sizeof(cups_page_header2_t) + page.data.size());
}

TEST(RasterGen, StreamEndingInsideTheLastPageKeepsTheLinesReadInFull) {
    const RasterPage first = RandomPage(16, 5, 8, 1);
    struct Case {
        size_t cut;       // bytes missing from the last page
        size_t fullLines; // lines that still read
    } cases[] = {{0, 5}, {1, 4}, {16, 4}, {17, 3}, {80, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("cut " + std::to_string(c.cut));
        RasterPage last = RandomPage(16, 5, 8, 2);
        const std::vector<uint8_t> whole = last.data;
        last.data.resize(whole.size() - c.cut);
        std::vector<RasterPage> back;
        ASSERT_TRUE(zelp::DecodeRasterStream(zelp::EncodeRasterStream({first, last}), &back));
        ASSERT_EQ(back.size(), 2u);
        EXPECT_EQ(back[0].data, first.data);
        EXPECT_EQ(back[1].data, std::vector<uint8_t>(whole.begin(), whole.begin() + c.fullLines * 16));
    }
}

TEST(RasterGen, ReaderStopsAtHeadersItRefuses) {
    const RasterPage good = RandomPage(8, 2, 8, 3);
    RasterPage zeroHeight;
    zeroHeight.header = zelp::ZeroHeightHeader(good.header);
    RasterPage zeroBytesPerLine = good;  // libcups's writer cannot take this one
    zeroBytesPerLine.header.cupsBytesPerLine = 0;
    zeroBytesPerLine.data.clear();
    RasterPage deepColour = RandomPage(8, 2, 8, 4);
    deepColour.header.cupsBitsPerColor = 17;

    for (const RasterPage& refused : {zeroHeight, zeroBytesPerLine, deepColour}) {
        const std::string stream = zelp::EncodeRasterStream({good, refused, good});
        // The refused header sits right after the first page, as written.
        const size_t at = 4 + sizeof(cups_page_header2_t) + good.data.size();
        ASSERT_GE(stream.size(), at + sizeof(cups_page_header2_t));
        EXPECT_EQ(std::memcmp(stream.data() + at, &refused.header, sizeof refused.header), 0);
        std::vector<RasterPage> back;
        ASSERT_TRUE(zelp::DecodeRasterStream(stream, &back));
        EXPECT_EQ(back.size(), 1u);
    }
}

TEST(RasterGen, WritesFilesAndRefusesBadPaths) {
    const std::vector<RasterPage> pages = {zelp::MakeFilledPage(4, 2, 8, 0x7F)};
    const std::string path = ::testing::TempDir() + "raster_gen_test.ras";
    ASSERT_TRUE(zelp::WriteRasterFile(path, pages));
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string bytes(4096, '\0');
    bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(bytes, zelp::EncodeRasterStream(pages));
    EXPECT_FALSE(zelp::WriteRasterFile("/nonexistent-dir/x.ras", pages));
}

}  // namespace
