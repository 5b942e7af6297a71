// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The three image commands give the same paper: seeded random jobs at every
// depth on pages as wide as each model's head, printed by the built filter
// with GS v 0, ESC * and GS ( L, decoded and drawn by the project's own
// decoder, dot for dot alike. With the option absent the bytes are those
// of GS v 0.
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

// Noise between blank runs, so that blocks of fewer than 24 rows and
// skipped blank rows come up.
RasterPage RandomPage(uint32_t depth, uint32_t width, std::mt19937& rng) {
    const uint32_t height = Pick(rng, 1, 90);
    const uint32_t inkFrom = Pick(rng, 0, height), inkTo = Pick(rng, inkFrom, height);
    const uint32_t seed = static_cast<uint32_t>(rng());
    auto ink = [=](uint32_t x, uint32_t y) {
        return y >= inkFrom && y < inkTo && ((x * 2654435761u) ^ (y * 40503u) ^ seed) % 3 != 0;
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

Paper Draw(const std::string& bytes) {
    Paper paper;
    const escpos::DecodeResult decoded = escpos::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!decoded.ok) {
        paper.error = "undecodable at byte " + std::to_string(decoded.errorOffset) + ": " + decoded.error;
        return paper;
    }
    escpos::Preview preview;
    paper.ok = escpos::RenderPreview(decoded.commands, &preview, &paper.error);
    paper.picture = preview.picture;
    return paper;
}

class ImageCommandTest : public FilterTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(ImageCommandTest, EveryCommandGivesTheSamePaper) {
    const uint32_t depth = GetParam();
    // ZELP_DIFFERENTIAL_SEED repeats a run.
    const char* fixed = getenv("ZELP_DIFFERENTIAL_SEED");
    const uint32_t seed = fixed != nullptr && *fixed != '\0' ? static_cast<uint32_t>(strtoul(fixed, nullptr, 10))
                                                             : std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (ZELP_DIFFERENTIAL_SEED)");
    std::mt19937 rng(seed);
    for (const ZelpModel& model : kZelpModels) {
        SCOPED_TRACE(model.ppdFile);
        std::vector<RasterPage> pages;
        for (uint32_t n = Pick(rng, 1, 3); n > 0; --n) {
            pages.push_back(RandomPage(depth, static_cast<uint32_t>(model.headDots), rng));
        }
        const OptionDefaults shared = {{"ImageAlgorithm", std::to_string(Pick(rng, 0, 1))},
                                       {"BlankSpace", std::to_string(Pick(rng, 0, 1))},
                                       {"LeadingBlank", std::to_string(Pick(rng, 0, 1))},
                                       {"PrintRotate", std::to_string(Pick(rng, 0, 2) == 0 ? 2 : 0)},
                                       {"FeedDist", "3"},
                                       {"Cutting", "7"}};
        const ProcessResult absent = Run(WritePpd(shared), pages);
        ASSERT_TRUE(absent.exited && absent.exitCode == 0) << absent.Describe();
        const Paper raster = Draw(absent.out);
        ASSERT_TRUE(raster.ok) << raster.error;
        for (const char* command : {"0", "1", "2"}) {
            SCOPED_TRACE(std::string("GraphicsCommand=") + command);
            OptionDefaults options = shared;
            options.emplace_back("GraphicsCommand", command);
            const ProcessResult result = Run(WritePpd(options), pages);
            ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
            if (std::string(command) == "0") {
                EXPECT_EQ(DescribeDifference(absent.out, result.out), "");
            }
            const Paper paper = Draw(result.out);
            ASSERT_TRUE(paper.ok) << paper.error;
            EXPECT_EQ(paper.picture.width, raster.picture.width);
            EXPECT_EQ(paper.picture.height, raster.picture.height);
            EXPECT_TRUE(paper.picture.bits == raster.picture.bits) << "the dots differ";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ImageCommandTest, ::testing::Values(1u, 4u, 8u, 24u, 32u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) {
                             return std::to_string(info.param) + "Bits";
                         });

}  // namespace
}  // namespace zelp::test
