// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
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

bool appendTo(void* context, const unsigned char* bytes, size_t count) {
    static_cast<std::vector<uint8_t>*>(context)->insert(static_cast<std::vector<uint8_t>*>(context)->end(), bytes,
                                                        bytes + count);
    return true;
}

// What SendPageBitmap2Printer writes for the bitmap.
bool CaptureBands(const std::vector<uint8_t>& bitmap, int64_t lDelta, int32_t cy, uint32_t copies,
                  std::vector<uint8_t>* written) {
    written->clear();
    ZelpOutput out(ZelpByteSink{written, appendTo, nullptr}, ZelpMessageSink{nullptr, nullptr});
    ZELP_Init_Setting settings{};
    settings.BlankSpace = 0;  // every row goes out, trailing blank ones too
    SendPageBitmap2Printer(out, settings, copies, bitmap.data(), lDelta, static_cast<int32_t>(lDelta * 8), cy);
    return out.Deliver();
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
