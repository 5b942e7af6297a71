// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "escpos_decode.h"
#include "escpos_render.h"

namespace zelp::escpos {
namespace {

using Bytes = std::vector<uint8_t>;

void AppendBand(Bytes* stream, uint32_t widthBytes, uint32_t rows, std::mt19937* rng) {
    const uint8_t header[] = {0x1D, 0x76, 0x30, 0x00, static_cast<uint8_t>(widthBytes & 0xFF),
                              static_cast<uint8_t>(widthBytes >> 8), static_cast<uint8_t>(rows),
                              0x00};
    stream->insert(stream->end(), header, header + sizeof header);
    for (uint32_t i = 0; i < widthBytes * rows; ++i) stream->push_back(static_cast<uint8_t>((*rng)()));
}

// Decodes and renders; the stream must stay alive while the commands are used.
Preview Render(const Bytes& stream, std::vector<Command>* commands = nullptr, const RenderOptions& options = {}) {
    const DecodeResult decoded = Decode(stream.data(), stream.size());
    EXPECT_TRUE(decoded.ok) << decoded.error;
    Preview preview;
    std::string error;
    EXPECT_TRUE(RenderPreview(decoded.commands, options, &preview, &error)) << error;
    if (commands != nullptr) *commands = decoded.commands;
    return preview;
}

size_t DotsInRows(const Picture& p, size_t first, size_t end) {
    size_t count = 0;
    for (size_t y = first; y < end; ++y) {
        for (size_t x = 0; x < p.width; ++x) count += p.Dot(x, y) ? 1 : 0;
    }
    return count;
}

TEST(Render, BandsStackAtTrueSizeOnPaperAsWideAsTheWidest) {
    std::mt19937 rng(7);
    Bytes stream;
    AppendBand(&stream, 4, 3, &rng);
    stream.insert(stream.end(), {0x1B, 0x64, 0x02});
    AppendBand(&stream, 9, 5, &rng);
    std::vector<Command> commands;
    const Preview preview = Render(stream, &commands);
    const Picture& p = preview.picture;
    EXPECT_EQ(p.width, 72u);
    EXPECT_EQ(p.height, 3u + 2 * kDefaultLineSpacingDots + 5u);
    ASSERT_EQ(preview.placements.size(), 3u);
    const size_t tops[] = {0, 3, 3 + 2 * kDefaultLineSpacingDots};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(preview.placements[i].commandIndex, i);
        EXPECT_EQ(preview.placements[i].top, tops[i]);
    }
    // Every dot of each band where it belongs, nothing right of a narrow band.
    for (size_t index : {size_t{0}, size_t{2}}) {
        const Command& band = commands[index];
        const size_t top = preview.placements[index].top;
        for (size_t y = 0; y < band.rows; ++y) {
            for (size_t x = 0; x < p.width; ++x) {
                const bool expected = x < band.widthBytes * 8u &&
                                      (band.data[y * band.widthBytes + x / 8] & (0x80 >> (x % 8))) != 0;
                ASSERT_EQ(p.Dot(x, top + y), expected) << "band " << index << " x " << x << " y " << y;
            }
        }
    }
    EXPECT_EQ(DotsInRows(p, 3, 3 + 2 * kDefaultLineSpacingDots), 0u);
}

struct FeedCase {
    const char* name;
    Bytes stream;
    size_t height;
    uint32_t printerUnits = kDotRowsPerInch;  // the vertical unit after ESC @ and GS P 0 0, 1/N inch
};

// Test names already say which case failed; no byte dump of the case.
void PrintTo(const FeedCase& tc, std::ostream* os) { *os << tc.name; }

class RenderFeed : public ::testing::TestWithParam<FeedCase> {};

TEST_P(RenderFeed, TakesBlankPaperAtTheCurrentSpacing) {
    const FeedCase& tc = GetParam();
    RenderOptions options;
    options.printerUnitsPerInch = tc.printerUnits;
    const Preview preview = Render(tc.stream, nullptr, options);
    EXPECT_EQ(preview.picture.height, tc.height);
    EXPECT_EQ(preview.picture.width, kDefaultPaperWidthDots);
    EXPECT_EQ(DotsInRows(preview.picture, 0, preview.picture.height), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Spacing, RenderFeed,
    ::testing::Values(
        FeedCase{"default", {0x1B, 0x64, 0x03}, 3 * kDefaultLineSpacingDots},
        FeedCase{"zero_lines", {0x1B, 0x64, 0x00}, 0},
        FeedCase{"set_spacing", {0x1B, 0x33, 24, 0x1B, 0x64, 0x02}, 48},
        FeedCase{"spacing_applies_after_only", {0x1B, 0x64, 0x01, 0x1B, 0x33, 10, 0x1B, 0x64, 0x01},
                 kDefaultLineSpacingDots + 10},
        FeedCase{"esc_2_resets", {0x1B, 0x33, 24, 0x1B, 0x32, 0x1B, 0x64, 0x01}, kDefaultLineSpacingDots},
        FeedCase{"esc_at_resets", {0x1B, 0x33, 24, 0x1B, 0x40, 0x1B, 0x64, 0x01}, kDefaultLineSpacingDots},
        FeedCase{"two_feeds", {0x1B, 0x64, 0xF0, 0x1B, 0x64, 0x1E}, 270 * kDefaultLineSpacingDots},
        FeedCase{"form_feed", {0x0C}, kFormFeedGapDots},
        // ESC J n feeds n vertical units, GS P 0 y makes them 1/y inch (0: the
        // printer's own), ESC 3 counts in them too; rounded to dot rows.
        FeedCase{"esc_j", {0x1B, 0x4A, 0xFF}, 255},
        FeedCase{"esc_j_half_units", {0x1B, 0x4A, 36}, 20, 360},
        FeedCase{"gs_p_dot_units", {0x1D, 0x50, 0x00, 0xCB, 0x1B, 0x4A, 36}, 36, 360},
        FeedCase{"gs_p_0_printer_units", {0x1D, 0x50, 0x00, 0xCB, 0x1D, 0x50, 0x00, 0x00, 0x1B, 0x4A, 36}, 20, 360},
        FeedCase{"esc_at_printer_units", {0x1D, 0x50, 0x00, 0x65, 0x1B, 0x40, 0x1B, 0x4A, 10}, 10},
        FeedCase{"esc_3_in_units", {0x1D, 0x50, 0x00, 0x65, 0x1B, 0x33, 12, 0x1D, 0x50, 0x00, 0x00, 0x1B, 0x64, 0x01},
                 24}),
    [](const auto& info) { return std::string(info.param.name); });

// Images that the printer buffers before it prints them: an ESC * line
// goes down from the line's top, 24 dots whatever the spacing (rows past
// the paper are left out), and is printed by LF or ESC d; GS ( L graphics
// by fn 50, feeding their height. ESC @ drops what is buffered.
struct ImageCase {
    const char* name;
    Bytes stream;
    size_t height;
    std::vector<std::pair<size_t, size_t>> dots;  // every dot set, (x, y)
};

void PrintTo(const ImageCase& tc, std::ostream* os) { *os << tc.name; }

class RenderImage : public ::testing::TestWithParam<ImageCase> {};

TEST_P(RenderImage, DrawsWhatIsPrintedWhereItIsPrinted) {
    const ImageCase& tc = GetParam();
    const Preview preview = Render(tc.stream);
    const Picture& p = preview.picture;
    EXPECT_EQ(p.height, tc.height);
    for (const auto& [x, y] : tc.dots) EXPECT_TRUE(p.Dot(x, y)) << x << "," << y;
    EXPECT_EQ(DotsInRows(p, 0, p.height), tc.dots.size());
}

INSTANTIATE_TEST_SUITE_P(
    Buffered, RenderImage,
    ::testing::Values(
        ImageCase{"columns_line", {0x1B, 0x33, 24, 0x1B, 0x2A, 33, 2, 0, 0x80, 0x00, 0x01, 0x00, 0x40, 0x00, 0x0A},
                  24, {{0, 0}, {0, 23}, {1, 9}}},
        ImageCase{"columns_below_spacing_overlap_the_next_line",
                  {0x1B, 0x33, 2, 0x1B, 0x2A, 33, 1, 0, 0x40, 0x00, 0x01, 0x0A, 0x1B, 0x33, 24, 0x0A},
                  26, {{0, 1}, {0, 23}}},
        ImageCase{"columns_past_the_paper", {0x1B, 0x33, 2, 0x1B, 0x2A, 33, 1, 0, 0x80, 0x00, 0x01, 0x0A}, 2,
                  {{0, 0}}},
        ImageCase{"columns_side_by_side", {0x1B, 0x2A, 33, 1, 0, 0x80, 0, 0, 0x1B, 0x2A, 33, 1, 0, 0x80, 0, 0,
                                           0x1B, 0x64, 0x01},
                  kDefaultLineSpacingDots, {{0, 0}, {1, 0}}},
        ImageCase{"columns_never_printed", {0x1B, 0x2A, 33, 1, 0, 0xFF, 0xFF, 0xFF}, 0, {}},
        ImageCase{"columns_dropped_by_init", {0x1B, 0x2A, 33, 1, 0, 0xFF, 0xFF, 0xFF, 0x1B, 0x40, 0x0A},
                  kDefaultLineSpacingDots, {}},
        ImageCase{"graphics", {0x1D, 0x28, 0x4C, 0x0C, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x08, 0x00, 0x02,
                               0x00, 0x81, 0x18, 0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x32},
                  2, {{0, 0}, {7, 0}, {3, 1}, {4, 1}}},
        ImageCase{"graphics_printed_once", {0x1D, 0x28, 0x4C, 0x0B, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01, 0x31, 0x08,
                                            0x00, 0x01, 0x00, 0x80, 0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x32,
                                            0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x32},
                  1, {{0, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Render, CutIsADashedLineAcrossThePaper) {
    for (uint8_t cut : {uint8_t{0x69}, uint8_t{0x6D}}) {
        SCOPED_TRACE(cut);
        const Preview preview = Render({0x1B, cut});
        const Picture& p = preview.picture;
        ASSERT_EQ(p.height, kCutHeightDots);
        EXPECT_EQ(DotsInRows(p, 0, 2), 0u);
        EXPECT_EQ(DotsInRows(p, p.height - 2, p.height), 0u);
        size_t dashedRows = 0;
        for (size_t y = 0; y < p.height; ++y) {
            const size_t dots = DotsInRows(p, y, y + 1);
            if (dots == 0) continue;
            // Dashes: most of the row, with gaps, from the left edge to near the right.
            size_t gaps = 0;
            for (size_t x = 1; x < p.width; ++x) gaps += (p.Dot(x - 1, y) && !p.Dot(x, y)) ? 1 : 0;
            EXPECT_GT(dots, p.width / 2);
            EXPECT_GT(gaps, p.width / 40);
            EXPECT_TRUE(p.Dot(0, y));
            ++dashedRows;
        }
        EXPECT_GE(dashedRows, 1u);
        ASSERT_EQ(preview.notes.size(), 1u);
        EXPECT_NE(preview.notes[0].find(cut == 0x69 ? "one point" : "three points"), std::string::npos);
    }
}

// Dots strictly inside the box border, as one string per row.
std::string BoxInside(const Picture& p, size_t top) {
    std::string inside;
    for (size_t y = top + 3; y + 3 < top + kLogoBoxHeightDots; ++y) {
        for (size_t x = 3; x + 3 < p.width; ++x) inside += p.Dot(x, y) ? '#' : '.';
        inside += '\n';
    }
    return inside;
}

TEST(Render, LogoIsABorderedBoxWithACentredLabel) {
    const Preview two = Render({0x1C, 0x70, 0x02, 0x00});
    const Preview three = Render({0x1C, 0x70, 0x03, 0x00});
    const Picture& p = two.picture;
    ASSERT_EQ(p.height, kLogoBoxHeightDots);
    for (size_t x = 0; x < p.width; ++x) {
        ASSERT_TRUE(p.Dot(x, 0) && p.Dot(x, p.height - 1)) << x;
    }
    for (size_t y = 0; y < p.height; ++y) {
        ASSERT_TRUE(p.Dot(0, y) && p.Dot(p.width - 1, y)) << y;
    }
    // The label: present, centred, and naming the logo.
    size_t left = p.width, right = 0;
    for (size_t y = 3; y + 3 < p.height; ++y) {
        for (size_t x = 3; x + 3 < p.width; ++x) {
            if (!p.Dot(x, y)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ASSERT_LT(left, right);
    const long slack = static_cast<long>(left) - static_cast<long>(p.width - 1 - right);
    EXPECT_LE(std::labs(slack), 4) << left << " " << right;
    EXPECT_NE(BoxInside(p, 0), BoxInside(three.picture, 0));
}

struct NoteCase {
    const char* name;
    Bytes stream;  // one command at offset 2, after ESC @
    const char* text;
};

// Test names already say which case failed; no byte dump of the case.
void PrintTo(const NoteCase& tc, std::ostream* os) { *os << tc.name; }

class RenderNote : public ::testing::TestWithParam<NoteCase> {};

TEST_P(RenderNote, GoesToTheSideLogWithItsOffset) {
    const NoteCase& tc = GetParam();
    Bytes stream = {0x1B, 0x40};
    stream.insert(stream.end(), tc.stream.begin(), tc.stream.end());
    const Preview preview = Render(stream);
    ASSERT_EQ(preview.notes.size(), 2u);
    EXPECT_NE(preview.notes[0].find("000000 ESC @"), std::string::npos) << preview.notes[0];
    EXPECT_EQ(preview.notes[1].rfind("000002 ", 0), 0u) << preview.notes[1];
    EXPECT_NE(preview.notes[1].find(tc.text), std::string::npos) << preview.notes[1];
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RenderNote,
    ::testing::Values(
        NoteCase{"beeper", {0x1B, 0x42, 0x03, 0x01}, "beeper, n=3"},
        NoteCase{"drawer_pin2", {0x1B, 0x70, 0x00, 0x10, 0x32}, "pin 2 (m=0), on 32 ms, off 100 ms"},
        NoteCase{"drawer_pin5", {0x1B, 0x70, 0x01, 0x10, 0x32}, "pin 5"},
        NoteCase{"byte_0e", {0x0E}, "0E"},
        NoteCase{"form_feed", {0x0C}, "form feed"},
        NoteCase{"bm_mode", {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66}, "black-mark mode 0x66"},
        NoteCase{"bm_height", {0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, 0x08}, "height 8"},
        NoteCase{"bm_distance", {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x02, 0x8A}, "distance 650"},
        NoteCase{"adjust", {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x2D, 0x00}, "n=45"},
        NoteCase{"band_mode", {0x1D, 0x76, 0x30, 0x01, 0x01, 0x00, 0x01, 0x00, 0xFF}, "ignored"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Render, RefusesAPictureBeyondTheLimit) {
    // 255 lines of 255 dots per command: a few hundred commands pass the limit.
    Bytes stream = {0x1B, 0x33, 0xFF};
    for (int i = 0; i < 400; ++i) stream.insert(stream.end(), {0x1B, 0x64, 0xFF});
    const DecodeResult decoded = Decode(stream.data(), stream.size());
    ASSERT_TRUE(decoded.ok);
    Preview preview;
    std::string error;
    EXPECT_FALSE(RenderPreview(decoded.commands, &preview, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

std::map<std::string, std::string> SummaryMap(const std::vector<std::string>& lines) {
    std::map<std::string, std::string> values;
    for (const std::string& line : lines) {
        const size_t colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << line;
        EXPECT_TRUE(values.emplace(line.substr(0, colon), line.substr(colon + 2)).second) << line;
    }
    return values;
}

TEST(Summary, CountsBandsDotsWidthsAndCuts) {
    std::mt19937 rng(11);
    Bytes stream = {0x1B, 0x40, 0x1C, 0x70, 0x01, 0x00};
    AppendBand(&stream, 4, 24, &rng);
    AppendBand(&stream, 9, 3, &rng);
    AppendBand(&stream, 4, 2, &rng);
    stream.insert(stream.end(), {0x1B, 0x64, 0x04, 0x1B, 0x69, 0x1B, 0x64, 0x01, 0x0E, 0x1B, 0x6D});
    std::vector<Command> commands;
    const Preview preview = Render(stream, &commands);
    size_t dots = 0;
    for (const Command& c : commands) {
        for (size_t y = 0; c.kind == CommandKind::RasterBand && y < c.rows; ++y) {
            for (size_t x = 0; x < c.widthBytes * 8u; ++x) {
                dots += (c.data[y * c.widthBytes + x / 8] >> (7 - x % 8)) & 1;
            }
        }
    }
    auto values = SummaryMap(FormatSummary(Summarize(commands, stream.size()), &preview.picture));
    EXPECT_EQ(values["bytes"], std::to_string(stream.size()));
    EXPECT_EQ(values["commands"], "10");
    EXPECT_EQ(values["bands"], "3");
    EXPECT_EQ(values["dot_rows"], "29");
    EXPECT_EQ(values["dots_set"], std::to_string(dots));
    EXPECT_EQ(values["band_width_bytes"], "4,9");
    EXPECT_EQ(values["cuts"], "2");
    EXPECT_EQ(values["feed_lines"], "5");
    EXPECT_EQ(values["logos"], "1");
    EXPECT_EQ(values["count_gs_v_0"], "3");
    EXPECT_EQ(values["count_esc_d"], "2");
    EXPECT_EQ(values["count_byte_0e"], "1");
    EXPECT_EQ(values["count_esc_p"], "0");
    EXPECT_EQ(values["paper_width_dots"], "72");
    EXPECT_EQ(values["paper_height_dots"], std::to_string(preview.picture.height));
    for (CommandKind kind : kAllCommandKinds) {
        EXPECT_EQ(values.count(std::string("count_") + CommandId(kind)), 1u) << CommandId(kind);
    }
    EXPECT_EQ(SummaryMap(FormatSummary(Summarize({}, 0), nullptr))["band_width_bytes"], "none");
}

}  // namespace
}  // namespace zelp::escpos
