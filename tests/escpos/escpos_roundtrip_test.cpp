// Random page bitmaps through the filter's band writer and back through the
// decoder must come out as they went in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "escpos_decode.h"
#include "raster_bands.h"

namespace zelp::escpos {
namespace {

// Runs SendPageBitmap2Printer with standard output sent to a temporary file
// and returns what it wrote; false when the redirection fails.
bool CaptureBands(const std::vector<uint8_t>& bitmap, int64_t lDelta, int32_t cy, uint32_t copies,
                  std::vector<uint8_t>* written) {
    char path[] = "/tmp/escpos-roundtrip-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    unlink(path);
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0 || dup2(fd, STDOUT_FILENO) < 0) {
        close(fd);
        return false;
    }

    cups_page_header2_t header{};
    header.NumCopies = copies;
    ZELP_Init_Setting settings{};
    settings.pageHeader = &header;
    settings.BlankSpace = 0;  // every row goes out, trailing blank ones too
    const int64_t cjBits = lDelta * cy;
    const int32_t cx = static_cast<int32_t>(lDelta * 8);
    SendPageBitmap2Printer(&header, &settings, bitmap.data(), &cjBits, &lDelta, &cx, &cy);

    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    written->clear();
    uint8_t block[65536];
    ssize_t got;
    if (lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return false;
    }
    while ((got = read(fd, block, sizeof block)) > 0) written->insert(written->end(), block, block + got);
    close(fd);
    return got == 0;
}

TEST(RoundTrip, RandomBitmapsComeBackIdentical) {
    const uint32_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 60; ++round) {
        const int64_t lDelta = 4 * static_cast<int64_t>(1 + rng() % 40);  // 32 to 1280 dots
        const int32_t cy = static_cast<int32_t>(1 + rng() % 100);
        const uint32_t copies = 1 + rng() % 2;
        SCOPED_TRACE("lDelta " + std::to_string(lDelta) + " cy " + std::to_string(cy) + " copies " +
                     std::to_string(copies));
        std::vector<uint8_t> bitmap(static_cast<size_t>(lDelta * cy));
        // Sparse, dense and plain random rows, so blank and full rows occur.
        for (uint8_t& byte : bitmap) {
            const uint32_t kind = rng() % 4;
            byte = kind == 0 ? 0 : kind == 1 ? 0xFF : static_cast<uint8_t>(rng());
        }

        std::vector<uint8_t> written;
        ASSERT_TRUE(CaptureBands(bitmap, lDelta, cy, copies, &written));
        const DecodeResult decoded = Decode(written.data(), written.size());
        ASSERT_TRUE(decoded.ok) << decoded.error << " at byte offset " << decoded.errorOffset;

        std::vector<uint8_t> rows;
        for (const Command& c : decoded.commands) {
            ASSERT_EQ(c.kind, CommandKind::RasterBand) << FormatCommand(c);
            EXPECT_EQ(c.m, 0u);
            EXPECT_EQ(c.widthBytes, static_cast<uint32_t>(lDelta));
            EXPECT_GE(c.rows, 1u);
            EXPECT_LE(c.rows, 24u);
            rows.insert(rows.end(), c.data, c.data + c.dataSize);
        }
        std::vector<uint8_t> expected;
        for (uint32_t copy = 0; copy < copies; ++copy) expected.insert(expected.end(), bitmap.begin(), bitmap.end());
        ASSERT_EQ(rows, expected);
    }
}

}  // namespace
}  // namespace zelp::escpos
