// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The three image commands, each in full and in compact transfer, give the
// same paper: seeded random jobs at every depth and turn, with copies, on
// pages as wide as each model's head, printed by the built filter, decoded
// and drawn by the project's own decoder, dot for dot alike. Compact
// transfer draws the same also on a printer whose own vertical motion unit
// is 1/360 inch (its feeds count in the unit GS P sets), and takes fewer
// bytes. With the options absent the bytes are those of GS v 0 in full.
#include <cstdlib>
#include <random>

#include "escpos_decode.h"
#include "escpos_render.h"
#include "filter_harness.h"
#include "zelp_models.h"

namespace zelp::test {
namespace {

uint32_t Pick(std::mt19937& rng, uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(rng);
}

std::string Describe(const OptionDefaults& options) {
    std::string text;
    for (const auto& [keyword, value] : options) text += keyword + "=" + value + " ";
    return text;
}

// Noise in a box between blank runs, with a blank gap across it, so that
// blocks of fewer than 24 rows, skipped blank rows, feeds and blocks cut
// short of the right edge come up.
RasterPage RandomPage(uint32_t depth, uint32_t width, std::mt19937& rng) {
    const uint32_t height = Pick(rng, 1, 90);
    const uint32_t inkFrom = Pick(rng, 0, height), inkTo = Pick(rng, inkFrom, height);
    const uint32_t gapFrom = Pick(rng, inkFrom, inkTo), gapTo = Pick(rng, gapFrom, inkTo);
    const uint32_t left = Pick(rng, 0, width - 1), right = Pick(rng, left + 1, width);
    const uint32_t seed = static_cast<uint32_t>(rng());
    auto ink = [=](uint32_t x, uint32_t y) {
        return y >= inkFrom && y < inkTo && (y < gapFrom || y >= gapTo) && x >= left && x < right &&
               ((x * 2654435761u) ^ (y * 40503u) ^ seed) % 3 != 0;
    };
    auto level = [=](uint32_t x, uint32_t y) { return ink(x, y) ? (x * 7 + y * 13 + seed) % 200 : 255; };
    switch (depth) {
        case 1: return OneBitPage(width, height, ink, Pick(rng, 1, 2));
        case 4: return FourBitPage(width, height, [=](uint32_t x, uint32_t y) { return level(x, y) / 17; });
        case 8: return GreyPage(width, height, [=](uint32_t x, uint32_t y) { return static_cast<uint8_t>(level(x, y)); });
        default:
            return ColourPage(width, height, depth, [=](uint32_t x, uint32_t y) {
                const uint8_t v = static_cast<uint8_t>(level(x, y));
                return PixelBytes{v, static_cast<uint8_t>(255 - v / 2), v, 0};
            });
    }
}

struct Paper {
    bool ok = false;
    std::string error;
    escpos::Picture picture;
};

// A receipt's look: two blocks of print in the left part, blank between
// and around them; compact transfer always saves on it.
RasterPage ReceiptPage(uint32_t width) {
    return OneBitPage(width, 140, [](uint32_t x, uint32_t y) {
        return x < 100 && ((y >= 10 && y < 40) || (y >= 100 && y < 130)) && (x + y) % 5 != 0;
    });
}

Paper Draw(const std::string& bytes, size_t widthDots, uint32_t printerUnits = escpos::kDotRowsPerInch) {
    Paper paper;
    const escpos::DecodeResult decoded = escpos::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!decoded.ok) {
        paper.error = "undecodable at byte " + std::to_string(decoded.errorOffset) + ": " + decoded.error;
        return paper;
    }
    escpos::Preview preview;
    escpos::RenderOptions options;
    options.minWidthDots = widthDots;
    options.printerUnitsPerInch = printerUnits;
    paper.ok = escpos::RenderPreview(decoded.commands, options, &preview, &paper.error);
    paper.picture = preview.picture;
    return paper;
}

void ExpectSamePaper(const Paper& paper, const Paper& reference) {
    ASSERT_TRUE(paper.ok) << paper.error;
    EXPECT_EQ(paper.picture.width, reference.picture.width);
    EXPECT_EQ(paper.picture.height, reference.picture.height);
    EXPECT_TRUE(paper.picture.bits == reference.picture.bits) << "the dots differ";
}

class ImageCommandTest : public FilterTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ImageCommandTest, EveryCommandAndTransferGivesTheSamePaper) {
    const uint32_t depth = GetParam();
    // ZELP_DIFFERENTIAL_SEED repeats a run.
    const char* fixed = getenv("ZELP_DIFFERENTIAL_SEED");
    const uint32_t seed = fixed != nullptr && *fixed != '\0' ? static_cast<uint32_t>(strtoul(fixed, nullptr, 10))
                                                             : std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (ZELP_DIFFERENTIAL_SEED)");
    std::mt19937 rng(seed);
    for (const ZelpModel& model : kZelpModels) {
        SCOPED_TRACE(model.ppdFile);
        const uint32_t width = static_cast<uint32_t>(model.headDots);
        const size_t dots = static_cast<size_t>(model.headDots);
        std::vector<RasterPage> pages = {ReceiptPage(width)};
        for (uint32_t n = Pick(rng, 1, 3); n > 0; --n) {
            pages.push_back(RandomPage(depth, width, rng));
            pages.back().header.NumCopies = Pick(rng, 1, 3);
        }
        const OptionDefaults shared = {{"ImageAlgorithm", std::to_string(Pick(rng, 0, 1))},
                                       {"BlankSpace", std::to_string(Pick(rng, 0, 1))},
                                       {"LeadingBlank", std::to_string(Pick(rng, 0, 1))},
                                       {"PrintRotate", std::to_string(Pick(rng, 0, 3))},
                                       {"FeedDist", "3"},
                                       {"Cutting", "7"}};
        SCOPED_TRACE(Describe(shared));
        const ProcessResult absent = Run(WritePpd(shared), pages);
        ASSERT_TRUE(absent.exited && absent.exitCode == 0) << absent.Describe();
        const Paper raster = Draw(absent.out, dots);
        ASSERT_TRUE(raster.ok) << raster.error;
        for (const char* command : {"0", "1", "2"}) {
            size_t fullBytes = 0;
            for (const char* transfer : {"0", "1"}) {
                SCOPED_TRACE(std::string("GraphicsCommand=") + command + " Transfer=" + transfer);
                OptionDefaults options = shared;
                options.emplace_back("GraphicsCommand", command);
                options.emplace_back("Transfer", transfer);
                const ProcessResult result = Run(WritePpd(options), pages);
                ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
                // Pictures as wide as the widest, which compact images need not reach.
                ExpectSamePaper(Draw(result.out, raster.picture.width), raster);
                if (std::string(transfer) == "0") {
                    if (std::string(command) == "0") {
                        EXPECT_EQ(DescribeDifference(absent.out, result.out), "");
                    }
                    fullBytes = result.out.size();
                    continue;
                }
                ExpectSamePaper(Draw(result.out, raster.picture.width, 360), raster);
                EXPECT_LT(result.out.size(), fullBytes);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageCommandTest, ::testing::Values(1u, 4u, 8u, 24u, 32u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return std::to_string(info.param) + "Bits";
                         });

}  // namespace
}  // namespace zelp::test
