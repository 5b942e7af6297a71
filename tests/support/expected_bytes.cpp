// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "expected_bytes.h"

#include <algorithm>
#include <cstdio>

namespace zelp::test {

DotBitmap DotBitmap::Blank(int32_t width, int32_t rows) {
    DotBitmap bitmap;
    bitmap.lDelta = (int64_t{width} + 31) / 32 * 4;
    bitmap.rows = rows;
    bitmap.bytes.assign(static_cast<size_t>(bitmap.lDelta * rows), 0);
    return bitmap;
}

DotBitmap DotBitmap::FromPicture(const std::vector<std::string>& picture) {
    size_t width = 0;
    for (const std::string& row : picture) width = std::max(width, row.size());
    DotBitmap bitmap = Blank(static_cast<int32_t>(width), static_cast<int32_t>(picture.size()));
    for (size_t y = 0; y < picture.size(); ++y) {
        for (size_t x = 0; x < picture[y].size(); ++x) {
            if (picture[y][x] == '#') bitmap.SetDot(static_cast<int32_t>(x), static_cast<int32_t>(y));
        }
    }
    return bitmap;
}

void DotBitmap::SetDot(int32_t x, int32_t y) {
    bytes[static_cast<size_t>(y * lDelta + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

bool DotBitmap::Dot(int32_t x, int32_t y) const {
    return (bytes[static_cast<size_t>(y * lDelta + x / 8)] & (0x80 >> (x % 8))) != 0;
}

std::string DotBitmap::RowBytes(int32_t first, int32_t count) const {
    const auto begin = bytes.begin() + first * lDelta;
    return std::string(begin, begin + count * lDelta);
}

ExpectedBytes& ExpectedBytes::Add(std::initializer_list<int> bytes) {
    for (int b : bytes) bytes_.push_back(static_cast<char>(b));
    return *this;
}

ExpectedBytes& ExpectedBytes::AddRaw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
}

ExpectedBytes& ExpectedBytes::AddBands(const DotBitmap& bitmap, int32_t rows) {
    for (int32_t row = 0; row < rows; row += 24) {
        const int32_t count = std::min(24, rows - row);
        bytes_ += BandHeader(bitmap.lDelta, count);
        bytes_ += bitmap.RowBytes(row, count);
    }
    return *this;
}

std::string BandHeader(int64_t lDelta, int rows) {
    const char header[8] = {0x1D, 0x76, 0x30, 0x00, static_cast<char>(lDelta % 256),
                            static_cast<char>((lDelta / 256) % 256), static_cast<char>(rows), 0x00};
    return std::string(header, sizeof header);
}

std::string Hex(const std::string& bytes, size_t limit) {
    std::string text;
    char cell[4];
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        snprintf(cell, sizeof cell, "%02X", static_cast<unsigned char>(bytes[i]));
        if (!text.empty()) text += ' ';
        text += cell;
    }
    if (bytes.size() > limit) text += " ...";
    return text;
}

std::string DescribeDifference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return "";
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    const size_t from = at > 16 ? at - 16 : 0;
    std::string text = "streams differ at byte " + std::to_string(at) + " (expected " +
                       std::to_string(expected.size()) + " bytes, got " + std::to_string(actual.size()) +
                       ")\n  expected from byte " + std::to_string(from) + ": " +
                       Hex(expected.substr(std::min(from, expected.size())), 48) + "\n  actual   from byte " +
                       std::to_string(from) + ": " + Hex(actual.substr(std::min(from, actual.size())), 48);
    return text;
}

}  // namespace zelp::test
