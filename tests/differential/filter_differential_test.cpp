// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The built filter against the plain page pipeline on seeded random jobs:
// every depth, lines shorter and longer than the width needs, copies,
// several pages, streams cut inside the last page, each rotation, both
// two-level methods, trimming on and off. Zero tolerance.
#include <array>
#include <cstdlib>
#include <random>
#include <sstream>

#include "filter_harness.h"
#include "plain_page_pipeline.h"

namespace zelp::test {
namespace {

enum class Content { Flat, Noise, Gradient, NoiseOverBlank };
enum class LineLength { AsNeeded, Longer, Shorter };

const char* contentName(Content c) {
    switch (c) {
        case Content::Flat: return "flat";
        case Content::Noise: return "noise";
        case Content::Gradient: return "gradient";
        case Content::NoiseOverBlank: return "noise over blank rows";
    }
    return "?";
}

struct PageCase {
    uint32_t bitsPerPixel;
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerLine;
    uint32_t copies;
    Content content;
};

struct JobCase {
    PageOptions options;
    bool fromFile = false;  // the raster named on the command line, else on standard input
    std::vector<PageCase> pages;
    bool cut = false;       // the stream ends inside the last page
    size_t keptBytes = 0;   // of the last page's line data, when cut

    std::string Describe() const {
        std::ostringstream text;
        text << "PrintRotate " << options.printRotate << ", ImageAlgorithm " << options.imageAlgorithm
             << ", BlankSpace " << options.blankSpace << ", LeadingBlank " << options.leadingBlank << ", raster " << (fromFile ? "named" : "on stdin");
        for (size_t i = 0; i < pages.size(); ++i) {
            const PageCase& p = pages[i];
            text << "\n  page " << i + 1 << ": " << p.bitsPerPixel << " bpp " << p.width << "x" << p.height << ", "
                 << p.bytesPerLine << " bytes per line, " << p.copies << (p.copies == 1 ? " copy, " : " copies, ")
                 << contentName(p.content);
        }
        if (cut) text << "\n  stream cut after " << keptBytes << " bytes of the last page's lines";
        return text.str();
    }
};

// One row of the table: a kind of job, and how many of them to run.
struct JobMix {
    const char* name;
    int jobs;
    int maxPages;
    uint32_t minWidth, maxWidth;
    uint32_t minHeight, maxHeight;
    int shortLinesPercent;  // pages whose lines hold less than the width needs
    int cutPercent;         // jobs cut inside the last page
};

// gtest names the table row in its messages by this.
void PrintTo(const JobMix& mix, std::ostream* out) {
    *out << mix.name;
}

const JobMix kMixes[] = {
    {"SmallPages", 16, 4, 1, 70, 1, 70, 15, 20},
    {"ShortLines", 5, 3, 1, 70, 1, 70, 100, 20},
    {"CutStreams", 6, 3, 1, 70, 1, 70, 15, 100},
    {"WidePages", 6, 3, 601, 700, 1, 70, 15, 25},
    {"LongPages", 4, 2, 1, 70, 1000, 3000, 15, 25},
    {"LargePages", 2, 1, 576, 700, 1000, 2000, 0, 50},
};

uint32_t pick(std::mt19937& rng, uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(rng);
}

template <typename T, size_t N>
T pickFrom(std::mt19937& rng, const T (&values)[N]) {
    return values[pick(rng, 0, N - 1)];
}

uint32_t lineLength(uint32_t bpp, uint32_t width, LineLength kind, std::mt19937& rng) {
    // libcups takes only whole pixels per line at 8 bits and more.
    const uint32_t unit = bpp >= 8 ? bpp / 8 : 1;
    const uint32_t needed = static_cast<uint32_t>((uint64_t{width} * bpp + 7) / 8);
    switch (kind) {
        case LineLength::AsNeeded: return needed;
        case LineLength::Longer: return needed + unit * pick(rng, 1, 9);
        case LineLength::Shorter: return needed > unit ? unit * pick(rng, 1, needed / unit - 1) : needed;
    }
    return needed;
}

JobCase randomJob(const JobMix& mix, std::mt19937& rng) {
    static const int32_t kRotations[] = {-1, 0, 1, 2, 3};
    // -1 (absent) selects error diffusion and counts as trimming on.
    static const int32_t kAlgorithms[] = {0, 1, 0, 1, -1};
    static const int32_t kBlankSpace[] = {0, 1, 0, 1, -1};
    static const int32_t kLeadingBlank[] = {0, 1, -1};
    static const uint32_t kDepths[] = {1, 4, 8, 24, 32};
    static const Content kContents[] = {Content::Flat, Content::Noise, Content::Gradient, Content::NoiseOverBlank};
    JobCase job;
    job.options.printRotate = pickFrom(rng, kRotations);
    job.options.imageAlgorithm = pickFrom(rng, kAlgorithms);
    job.options.blankSpace = pickFrom(rng, kBlankSpace);
    job.options.leadingBlank = pickFrom(rng, kLeadingBlank);
    job.fromFile = pick(rng, 0, 1) == 1;
    const uint32_t pages = pick(rng, 1, static_cast<uint32_t>(mix.maxPages));
    for (uint32_t i = 0; i < pages; ++i) {
        PageCase page;
        page.bitsPerPixel = pickFrom(rng, kDepths);
        page.width = pick(rng, mix.minWidth, mix.maxWidth);
        page.height = pick(rng, mix.minHeight, mix.maxHeight);
        page.copies = pick(rng, 0, 2);
        page.content = pickFrom(rng, kContents);
        const LineLength kind = static_cast<int>(pick(rng, 0, 99)) < mix.shortLinesPercent ? LineLength::Shorter
                                : pick(rng, 0, 1) == 0                                      ? LineLength::AsNeeded
                                                                                            : LineLength::Longer;
        page.bytesPerLine = lineLength(page.bitsPerPixel, page.width, kind, rng);
        job.pages.push_back(page);
    }
    job.cut = static_cast<int>(pick(rng, 0, 99)) < mix.cutPercent;
    if (job.cut) {
        const PageCase& last = job.pages.back();
        job.keptBytes = pick(rng, 0, last.bytesPerLine * last.height - 1);
    }
    return job;
}

// Packs one pixel given as up to four sample bytes (255 white) into a line;
// 1-bit pages take a dark sample below `threshold` as a dot.
void putPixel(std::vector<uint8_t>& line, uint32_t x, uint32_t bpp, const std::array<uint8_t, 4>& s,
              uint8_t threshold) {
    switch (bpp) {
        case 1: {
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
            line[x / 8] = static_cast<uint8_t>(s[0] < threshold ? line[x / 8] | mask : line[x / 8] & ~mask);
            break;
        }
        case 4: {
            uint8_t& byte = line[x / 2];
            const uint8_t level = s[0] >> 4;
            byte = x % 2 == 0 ? static_cast<uint8_t>((byte & 0x0F) | (level << 4))
                              : static_cast<uint8_t>((byte & 0xF0) | level);
            break;
        }
        default:
            for (uint32_t i = 0; i < bpp / 8; ++i) line[size_t{x} * (bpp / 8) + i] = s[i];
            break;
    }
}

RasterPage buildPage(const PageCase& c, std::mt19937& rng) {
    RasterPage page{MakePageHeader(c.width, c.height, c.bitsPerPixel, c.copies), {}};
    page.header.cupsBytesPerLine = c.bytesPerLine;
    const size_t needed = (size_t{c.width} * c.bitsPerPixel + 7) / 8;
    std::vector<uint8_t> line(std::max<size_t>(needed, c.bytesPerLine));
    page.data.reserve(size_t{c.bytesPerLine} * c.height);

    static const uint8_t kFlatLevels[] = {0, 127, 128, 255};
    std::array<uint8_t, 4> flat;
    for (uint8_t& v : flat) v = static_cast<uint8_t>(rng());
    if (pick(rng, 0, 1) == 0) flat.fill(pickFrom(rng, kFlatLevels));
    const uint32_t blankFrom = c.content == Content::NoiseOverBlank ? pick(rng, 0, c.height) : c.height;
    const std::array<uint8_t, 4> white = {255, 255, 255, 255};

    for (uint32_t y = 0; y < c.height; ++y) {
        // Random bytes wherever no pixel is written: padding and spare bits.
        for (uint8_t& byte : line) byte = static_cast<uint8_t>(rng());
        const bool noise = c.content == Content::Noise || (c.content == Content::NoiseOverBlank && y < blankFrom);
        for (uint32_t x = 0; x < c.width && !noise; ++x) {
            std::array<uint8_t, 4> s = flat;
            uint8_t threshold = 128;
            if (y >= blankFrom) {
                s = white;
            } else if (c.content == Content::Gradient) {
                const uint32_t g = (x * 255 / std::max(c.width - 1, 1u) + y * 255 / std::max(c.height - 1, 1u)) / 2;
                s = {static_cast<uint8_t>(g), static_cast<uint8_t>(255 - g), static_cast<uint8_t>((x + y) * 3),
                     static_cast<uint8_t>(rng())};
                threshold = static_cast<uint8_t>((x * 37 + y * 91) & 0xFF);  // a ramp of dots on 1-bit pages
            }
            putPixel(line, x, c.bitsPerPixel, s, threshold);
        }
        page.data.insert(page.data.end(), line.begin(), line.begin() + c.bytesPerLine);
    }
    return page;
}

uint32_t runSeed() {
    const char* fixed = getenv("ZELP_DIFFERENTIAL_SEED");
    if (fixed != nullptr && *fixed != '\0') return static_cast<uint32_t>(strtoul(fixed, nullptr, 10));
    return std::random_device{}();
}

std::string expectedMessages(const PlainJob& plain) {
    std::string text;
    for (size_t i = 0; i < plain.pages.size(); ++i) {
        text += "PAGE: " + std::to_string(i + 1) + " " + std::to_string(plain.pages[i].numCopies) + "\n";
    }
    return text + "INFO: Ready to print.\n";
}

class FilterDifferentialTest : public FilterTest, public ::testing::WithParamInterface<JobMix> {};

TEST_P(FilterDifferentialTest, PrinterBytesEqualThePlainPipeline) {
    const JobMix& mix = GetParam();
    const uint32_t seed = runSeed();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (ZELP_DIFFERENTIAL_SEED=" + std::to_string(seed) +
                 " repeats this run)");
    std::mt19937 rng(seed);
    for (int j = 0; j < mix.jobs; ++j) {
        const JobCase job = randomJob(mix, rng);
        const std::string what = std::string(mix.name) + " job " + std::to_string(j + 1) + ": " + job.Describe();
        SCOPED_TRACE(what);
        std::vector<RasterPage> pages;
        for (const PageCase& page : job.pages) pages.push_back(buildPage(page, rng));
        if (job.cut) pages.back().data.resize(job.keptBytes);
        const std::string stream = EncodeRasterStream(pages);
        const std::string rasterPath = dir_.Write("job.ras", stream);
        ASSERT_FALSE(rasterPath.empty());

        const PlainJob plain = RunPlainPipeline(rasterPath, job.options);
        ASSERT_TRUE(plain.opened);
        ASSERT_EQ(plain.pages.size(), job.pages.size()) << "the plain reader did not find every page";

        // Only these options are in the PPD: the rest are absent, so
        // ESC @ alone frames the job.
        OptionDefaults options;
        const std::pair<const char*, int32_t> present[] = {{"ImageAlgorithm", job.options.imageAlgorithm},
                                                           {"BlankSpace", job.options.blankSpace},
                                                           {"PrintRotate", job.options.printRotate},
                                                           {"LeadingBlank", job.options.leadingBlank}};
        for (const auto& [keyword, value] : present) {
            if (value != -1) options.emplace_back(keyword, std::to_string(value));
        }
        Launch launch = LaunchFor(WritePpd(options));
        if (job.fromFile) {
            launch.args.push_back(rasterPath);
        } else {
            launch.stdinBytes = stream;
        }
        const ProcessResult result = RunProcess(launch);

        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
        EXPECT_EQ(result.err, expectedMessages(plain));
        const std::string difference = DescribeDifference(plain.bytes, result.out);
        if (!difference.empty()) {
            size_t at = 0;
            while (at < plain.bytes.size() && at < result.out.size() && plain.bytes[at] == result.out[at]) ++at;
            ADD_FAILURE() << difference << "\n  first difference: " << plain.Locate(at);
        }
        // The first failing job tells all; the rest would repeat it.
        if (HasFailure()) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, FilterDifferentialTest, ::testing::ValuesIn(kMixes),
                         [](const ::testing::TestParamInfo<JobMix>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelp::test
