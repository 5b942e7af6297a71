// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Assembling the printer bytes a test expects, and saying where two byte
// streams part.
#ifndef ZELP_TESTS_SUPPORT_EXPECTED_BYTES_H
#define ZELP_TESTS_SUPPORT_EXPECTED_BYTES_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>


namespace zelp::test {

// A page bitmap as the printer gets it: `rows` rows of `lDelta` bytes, bit 7
// of a byte the leftmost dot, a set bit a dot.
struct DotBitmap {
    int64_t lDelta = 0;
    int32_t rows = 0;
    std::vector<uint8_t> bytes;

    // An all-blank bitmap wide enough for `width` dots (rows padded to
    // whole 32-bit words).
    static DotBitmap Blank(int32_t width, int32_t rows);
    // From a picture, one string per row, '#' a dot and anything else none.
    static DotBitmap FromPicture(const std::vector<std::string>& picture);

    void SetDot(int32_t x, int32_t y);
    bool Dot(int32_t x, int32_t y) const;
    // The bytes of rows [first, first + count).
    std::string RowBytes(int32_t first, int32_t count) const;
};

class ExpectedBytes {
public:
    ExpectedBytes& Add(std::initializer_list<int> bytes);
    ExpectedBytes& AddRaw(const std::string& bytes);
    // The first `rows` rows of the bitmap as GS v 0 blocks of at most 24 rows.
    ExpectedBytes& AddBands(const DotBitmap& bitmap, int32_t rows);
    ExpectedBytes& AddBands(const DotBitmap& bitmap) { return AddBands(bitmap, bitmap.rows); }

    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// The 8-byte GS v 0 block header for rows of `lDelta` bytes.
std::string BandHeader(int64_t lDelta, int rows);

// Empty when equal; else the first differing offset with the bytes around
// it in hex, and both lengths.
std::string DescribeDifference(const std::string& expected, const std::string& actual);

// Bytes as spaced hex, at most `limit` of them.
std::string Hex(const std::string& bytes, size_t limit = 64);

}  // namespace zelp::test

#endif
