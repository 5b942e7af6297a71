// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "escpos_decode.h"

namespace zelp::escpos {
namespace {

using Bytes = std::vector<uint8_t>;

DecodeResult DecodeBytes(const Bytes& bytes) { return Decode(bytes.data(), bytes.size()); }

struct CommandCase {
    const char* name;
    Bytes bytes;
    CommandKind kind;
    const char* listing;  // the --log line, parameters worked out by hand
};

// Test names already say which case failed; no byte dump of the case.
void PrintTo(const CommandCase& tc, std::ostream* os) { *os << tc.name; }

class DecodeCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(DecodeCommand, ReadsKindSizeAndParameters) {
    const CommandCase& tc = GetParam();
    // A leading ESC @ puts the command at a non-zero offset.
    Bytes stream = {0x1B, 0x40};
    stream.insert(stream.end(), tc.bytes.begin(), tc.bytes.end());
    const DecodeResult result = DecodeBytes(stream);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.commands.size(), 2u);
    const Command& c = result.commands[1];
    EXPECT_EQ(c.kind, tc.kind);
    EXPECT_EQ(c.offset, 2u);
    EXPECT_EQ(c.size, tc.bytes.size());
    EXPECT_EQ(FormatCommand(c), tc.listing);
    if (tc.kind == CommandKind::RasterBand) {
        EXPECT_EQ(c.dataSize, size_t{c.widthBytes} * c.rows);
        EXPECT_EQ(c.data, stream.data() + 2 + 8);
    }
}

// A GS v 0 block with made-up row bytes.
Bytes Band(uint8_t m, uint32_t widthBytes, uint32_t rows) {
    Bytes bytes = {0x1D, 0x76, 0x30, m, static_cast<uint8_t>(widthBytes & 0xFF),
                   static_cast<uint8_t>(widthBytes >> 8), static_cast<uint8_t>(rows & 0xFF),
                   static_cast<uint8_t>(rows >> 8)};
    for (uint32_t i = 0; i < widthBytes * rows; ++i) bytes.push_back(static_cast<uint8_t>(i * 37));
    return bytes;
}

std::vector<CommandCase> CommandCases() {
    using K = CommandKind;
    return {
        {"init", {0x1B, 0x40}, K::Initialize, "000002 ESC @"},
        {"feed", {0x1B, 0x64, 0x0A}, K::FeedLines, "000002 ESC d n=10"},
        {"cut_one_point", {0x1B, 0x69}, K::CutOnePoint, "000002 ESC i"},
        {"cut_three_points", {0x1B, 0x6D}, K::CutThreePoints, "000002 ESC m"},
        {"form_feed", {0x0C}, K::FormFeed, "000002 FF"},
        {"byte_0e", {0x0E}, K::Byte0E, "000002 0E"},
        {"beeper", {0x1B, 0x42, 0x03, 0x01}, K::Beeper, "000002 ESC B n=3 t=1"},
        {"drawer", {0x1B, 0x70, 0x01, 0x10, 0x32}, K::DrawerKick, "000002 ESC p m=1 t1=16 t2=50"},
        {"logo", {0x1C, 0x70, 0x02, 0x00}, K::PrintLogo, "000002 FS p n=2 m=0"},
        {"default_spacing", {0x1B, 0x32}, K::DefaultLineSpacing, "000002 ESC 2"},
        {"set_spacing", {0x1B, 0x33, 0x18}, K::SetLineSpacing, "000002 ESC 3 n=24"},
        {"adjust", {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x2D, 0x00}, K::BlackMarkAdjust,
         "000002 GS ( F length=4 a=1 m=0 n=45"},
        {"adjust_low_byte_first", {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x01, 0x2D, 0x01},
         K::BlackMarkAdjust, "000002 GS ( F length=4 a=1 m=1 n=301"},
        {"adjust_longer", {0x1D, 0x28, 0x46, 0x06, 0x00, 0x01, 0x00, 0x07, 0x00, 0xAA, 0xBB},
         K::BlackMarkAdjust, "000002 GS ( F length=6 a=1 m=0 n=7"},
        {"bm_mode", {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44}, K::BlackMarkMode,
         "000002 1F 1B 1F 80 mode=0x44"},
        {"bm_distance_high_byte_first", {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x7F, 0xEE},
         K::BlackMarkDistance, "000002 1F 1B 1F 81 distance=32750"},
        {"bm_height", {0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, 0x08}, K::BlackMarkHeight,
         "000002 1F 1B 1F 82 height=8"},
        {"band", Band(0, 2, 3), K::RasterBand, "000002 GS v 0 m=0 width=2 bytes rows=3"},
        {"band_wide", Band(0, 256, 1), K::RasterBand, "000002 GS v 0 m=0 width=256 bytes rows=1"},
        {"band_mode", Band(1, 1, 2), K::RasterBand, "000002 GS v 0 m=1 width=1 bytes rows=2"},
        {"band_empty", Band(0, 0, 5), K::RasterBand, "000002 GS v 0 m=0 width=0 bytes rows=5"},
        {"line_feed", {0x0A}, K::LineFeed, "000002 LF"},
        {"bit_image", {0x1B, 0x2A, 0x21, 0x02, 0x00, 1, 2, 3, 4, 5, 6}, K::BitImage, "000002 ESC * m=33 columns=2"},
        {"graphics_store", {0x1D, 0x28, 0x4C, 0x0C, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x09, 0x00, 0x01, 0x00,
                            0xFF, 0x80},
         K::GraphicsStore, "000002 GS ( L fn 112 width=9 dots rows=1"},
        {"graphics_print", {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x32}, K::GraphicsPrint, "000002 GS ( L fn 50"},
        {"density", {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x31, 0xFC}, K::PrintDensity, "000002 GS ( K fn 49 m=252"},
        {"speed", {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 0x09}, K::PrintSpeed, "000002 GS ( K fn 50 m=9"},
        {"status_request", {0x10, 0x04, 0x04}, K::StatusRequest, "000002 DLE EOT n=4"},
        {"auto_status", {0x1D, 0x61, 0x0E}, K::AutoStatus, "000002 GS a n=14"},
        {"transmit_status", {0x1D, 0x72, 0x31}, K::TransmitStatus, "000002 GS r n=49"},
        {"feed_units", {0x1B, 0x4A, 0xFF}, K::FeedUnits, "000002 ESC J n=255"},
        {"motion_units", {0x1D, 0x50, 0x00, 0xCB}, K::MotionUnits, "000002 GS P x=0 y=203"},
    };
}

INSTANTIATE_TEST_SUITE_P(Kinds, DecodeCommand, ::testing::ValuesIn(CommandCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct MalformedCase {
    const char* name;
    Bytes bytes;       // follows a leading ESC @ at offset 0
    const char* what;  // must appear in the error text
};

// Test names already say which case failed; no byte dump of the case.
void PrintTo(const MalformedCase& tc, std::ostream* os) { *os << tc.name; }

class DecodeMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(DecodeMalformed, ReportsTheCommandOffsetAndKeepsThePrefix) {
    const MalformedCase& tc = GetParam();
    Bytes stream = {0x1B, 0x40};
    stream.insert(stream.end(), tc.bytes.begin(), tc.bytes.end());
    // Exactly sized, so any read past the end shows under the sanitizer.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[stream.size()]);
    std::copy(stream.begin(), stream.end(), exact.get());
    const DecodeResult result = Decode(exact.get(), stream.size());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorOffset, 2u);
    EXPECT_NE(result.error.find(tc.what), std::string::npos) << result.error;
    ASSERT_EQ(result.commands.size(), 1u);
    EXPECT_EQ(result.commands[0].kind, CommandKind::Initialize);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DecodeMalformed,
    ::testing::Values(
        MalformedCase{"unknown_byte", {0x41}, "unknown command byte 0x41"},
        MalformedCase{"carriage_return", {0x0D}, "unknown command byte 0x0D"},
        MalformedCase{"bit_image_8_dot", {0x1B, 0x2A, 0x00, 0x01, 0x00, 0xFF}, "ESC * mode 0"},
        MalformedCase{"truncated_bit_image", {0x1B, 0x2A, 0x21, 0x02, 0x00, 1, 2, 3, 4, 5}, "truncated ESC * image"},
        MalformedCase{"print_control_length", {0x1D, 0x28, 0x4B, 0x03, 0x00, 0x31, 0x00, 0x00}, "GS ( K parameter"},
        MalformedCase{"print_control_function", {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x30, 0x01}, "GS ( K function 48"},
        MalformedCase{"graphics_function", {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x45}, "GS ( L function 69"},
        MalformedCase{"graphics_enlarged", {0x1D, 0x28, 0x4C, 0x0B, 0x00, 0x30, 0x70, 0x30, 0x02, 0x01, 0x31, 0x08,
                                            0x00, 0x01, 0x00, 0xFF},
                      "monochrome at normal size"},
        MalformedCase{"graphics_data_size", {0x1D, 0x28, 0x4C, 0x0C, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x08,
                                             0x00, 0x01, 0x00, 0xFF, 0x00},
                      "with 2 data bytes"},
        MalformedCase{"unknown_esc", {0x1B, 0x7A}, "unknown command ESC 0x7A"},
        MalformedCase{"unknown_fs", {0x1C, 0x71, 0x01, 0x00}, "unknown command FS 0x71"},
        MalformedCase{"unknown_gs", {0x1D, 0x99}, "unknown command GS 0x99"},
        MalformedCase{"unknown_gs_v", {0x1D, 0x76, 0x31, 0, 1, 0, 1, 0, 0}, "GS v 0x31"},
        MalformedCase{"unknown_gs_paren", {0x1D, 0x28, 0x41, 4, 0, 1, 0, 0, 0}, "GS ( 0x41"},
        MalformedCase{"adjust_too_short", {0x1D, 0x28, 0x46, 0x02, 0x00, 0x01, 0x00},
                      "length 2"},
        MalformedCase{"unknown_1f", {0x1F, 0x20, 0x1F}, "unknown command 1F"},
        MalformedCase{"dle_eot_n", {0x10, 0x04, 0x05}, "DLE EOT n=5"},
        MalformedCase{"unknown_dle", {0x10, 0x05, 0x01}, "unknown command DLE 0x05"},
        MalformedCase{"gs_r_n", {0x1D, 0x72, 0x03}, "GS r n=3"},
        MalformedCase{"unknown_vendor", {0x1F, 0x1B, 0x1F, 0x83, 0x04, 0x05, 0x06, 0x00},
                      "unknown vendor command 1F 1B 1F 0x83"},
        MalformedCase{"vendor_bad_magic", {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x07, 0x44},
                      "without 04 05 06"},
        MalformedCase{"vendor_bad_magic_short", {0x1F, 0x1B, 0x1F, 0x81, 0x05}, "without 04 05 06"},
        MalformedCase{"lone_esc", {0x1B}, "truncated ESC command"},
        MalformedCase{"truncated_feed", {0x1B, 0x64}, "truncated ESC d"},
        MalformedCase{"truncated_spacing", {0x1B, 0x33}, "truncated ESC 3"},
        MalformedCase{"truncated_beeper", {0x1B, 0x42, 0x03}, "truncated ESC B"},
        MalformedCase{"truncated_drawer", {0x1B, 0x70, 0x00, 0x10}, "truncated ESC p"},
        MalformedCase{"truncated_logo", {0x1C, 0x70, 0x01}, "truncated FS p"},
        MalformedCase{"truncated_adjust", {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x2D},
                      "truncated GS ( F"},
        MalformedCase{"truncated_vendor", {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x01},
                      "truncated 1F 1B 1F 81"},
        MalformedCase{"truncated_band_header", {0x1D, 0x76, 0x30, 0x00, 0x02},
                      "truncated GS v 0 header"},
        MalformedCase{"truncated_band_data", {0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x03, 0x00, 1, 2, 3, 4, 5},
                      "truncated GS v 0 block"},
        // The largest block the header can describe, with almost no data.
        MalformedCase{"huge_band", {0x1D, 0x76, 0x30, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
                      "needs 4294836225 data bytes, 1 left"}),
    [](const auto& info) { return std::string(info.param.name); });

// One of every command the filter sends, in a plausible order.
Bytes SampleStream() {
    return {0x1B, 0x40, 0x1B, 0x64, 0x01, 0x1B, 0x70, 0x00, 0x10, 0x32,
            0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44,
            0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, 0x08,
            0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x2D, 0x00,
            0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x02, 0x8A,
            0x1C, 0x70, 0x02, 0x00,
            0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0xF0, 0x0F, 0xAA, 0x55,
            0x1B, 0x33, 0x10, 0x1B, 0x32, 0x0C, 0x0E, 0x1B, 0x69, 0x1B, 0x6D,
            0x1B, 0x42, 0x03, 0x01,
            0x1D, 0x28, 0x4B, 0x02, 0x00, 0x31, 0x02, 0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 0x05,
            0x1B, 0x2A, 0x21, 0x01, 0x00, 0x80, 0x00, 0x01, 0x0A,
            0x1D, 0x28, 0x4C, 0x0B, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x08, 0x00, 0x01, 0x00, 0x81,
            0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x32,
            0x1D, 0x50, 0x00, 0xCB, 0x1B, 0x4A, 0xFF,
            0x10, 0x04, 0x01, 0x1D, 0x61, 0x0E, 0x1D, 0x72, 0x01};
}

TEST(DecodeTruncated, EveryPrefixDecodesWholeCommandsOrNamesTheCutOne) {
    const Bytes full = SampleStream();
    const DecodeResult whole = DecodeBytes(full);
    ASSERT_TRUE(whole.ok) << whole.error;
    ASSERT_EQ(whole.commands.size(), kCommandKindCount);
    for (size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
        std::unique_ptr<uint8_t[]> exact(new uint8_t[length + 1]);
        std::copy(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length), exact.get());
        const DecodeResult part = Decode(exact.get(), length);
        // The commands that fit whole, and the one the cut falls in.
        size_t complete = 0;
        while (complete < whole.commands.size() &&
               whole.commands[complete].offset + whole.commands[complete].size <= length) {
            ++complete;
        }
        ASSERT_EQ(part.commands.size(), complete);
        for (size_t i = 0; i < complete; ++i) {
            EXPECT_EQ(part.commands[i].kind, whole.commands[i].kind);
            EXPECT_EQ(part.commands[i].offset, whole.commands[i].offset);
        }
        const bool atBoundary = complete == whole.commands.size() ||
                                whole.commands[complete].offset == length;
        EXPECT_EQ(part.ok, atBoundary) << part.error;
        if (!atBoundary) {
            EXPECT_EQ(part.errorOffset, whole.commands[complete].offset);
        }
    }
}

TEST(DecodeRandom, CommandsTileTheStreamUpToTheError) {
    const uint32_t seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    // Bytes biased towards command starts so that decoding gets somewhere.
    const uint8_t common[] = {0x1B, 0x1C, 0x1D, 0x1F, 0x0C, 0x0E, 0x40, 0x64, 0x76, 0x30, 0x00, 0x01};
    for (int round = 0; round < 2000; ++round) {
        const size_t size = rng() % 64;
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[size + 1]);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = (rng() % 2) ? common[rng() % sizeof common] : static_cast<uint8_t>(rng());
        }
        const DecodeResult result = Decode(bytes.get(), size);
        size_t next = 0;
        for (const Command& c : result.commands) {
            ASSERT_EQ(c.offset, next);
            ASSERT_GT(c.size, 0u);
            next += c.size;
        }
        ASSERT_LE(next, size);
        if (result.ok) {
            ASSERT_EQ(next, size);
        } else {
            ASSERT_EQ(result.errorOffset, next);
            ASSERT_FALSE(result.error.empty());
        }
    }
}

}  // namespace
}  // namespace zelp::escpos
