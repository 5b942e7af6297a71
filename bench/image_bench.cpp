// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Page-sized image operations, library against the plain per-pixel
// versions in the same process: compare the ns/px counters of a pair.
//   build/bench/bench/image_bench --benchmark_filter=Dither
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "page_image.h"
#include "plain_image_ops.h"
#include "ximage.h"

namespace {

constexpr uint64_t kWidth = 576;

// Gradients, text-like black blocks and noise, as a receipt page mixes them.
std::vector<uint8_t> pagePixels(uint64_t height, uint64_t bits) {
    const uint64_t bytesPerLine = (kWidth * bits + 7) / 8;
    std::vector<uint8_t> bytes(bytesPerLine * height);
    std::mt19937 rng(42);
    for (uint64_t y = 0; y < height; ++y) {
        for (uint64_t i = 0; i < bytesPerLine; ++i) {
            const uint64_t band = (y / 200) % 3;
            uint8_t v = band == 0 ? static_cast<uint8_t>((i + y) & 0xFF)
                      : band == 1 ? ((i / 12 + y / 16) % 3 == 0 ? 0 : 255)
                                  : static_cast<uint8_t>(rng());
            bytes[y * bytesPerLine + i] = v;
        }
    }
    return bytes;
}

void makeImage(CxImage& image, const std::vector<uint8_t>& bytes, uint64_t height, uint64_t bits) {
    image.CreateFromArray(bytes.data(), kWidth, height, bits, (kWidth * bits + 7) / 8, false);
}

void setPixelCounter(benchmark::State& state, uint64_t height) {
    state.counters["ns/px"] = benchmark::Counter(static_cast<double>(kWidth * height) * 1e-9,
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

// Times `op` on a fresh image each iteration; building the image is not timed.
template <typename Op>
void runOnFreshImage(benchmark::State& state, uint64_t bits, Op op) {
    const uint64_t height = static_cast<uint64_t>(state.range(0));
    const std::vector<uint8_t> bytes = pagePixels(height, bits);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        state.PauseTiming();
        CxImage image;
        makeImage(image, bytes, height, bits);
        state.ResumeTiming();
        op(image);
        benchmark::DoNotOptimize(image.GetBits(0));
    }
    setPixelCounter(state, height);
}

void BM_CreateFromArray(benchmark::State& state) {
    const uint64_t height = static_cast<uint64_t>(state.range(0));
    const uint64_t bits = static_cast<uint64_t>(state.range(1));
    const std::vector<uint8_t> bytes = pagePixels(height, bits);
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        CxImage image;
        makeImage(image, bytes, height, bits);
        benchmark::DoNotOptimize(image.GetBits(0));
    }
    setPixelCounter(state, height);
}

void BM_GrayScale24(benchmark::State& s) { runOnFreshImage(s, 24, [](CxImage& i) { i.GrayScale(); }); }
void BM_GrayScale24_Plain(benchmark::State& s) { runOnFreshImage(s, 24, [](CxImage& i) { plain::GrayScale(i); }); }
void BM_Threshold8(benchmark::State& s) { runOnFreshImage(s, 8, [](CxImage& i) { i.Threshold(127); }); }
void BM_Threshold8_Plain(benchmark::State& s) {
    runOnFreshImage(s, 8, [](CxImage& i) { plain::Threshold(i, 127); });
}
void BM_Dither8(benchmark::State& s) { runOnFreshImage(s, 8, [](CxImage& i) { i.Dither(0); }); }
void BM_Dither8_Plain(benchmark::State& s) { runOnFreshImage(s, 8, [](CxImage& i) { plain::Dither0(i); }); }

template <int Angle, int Bits>
void BM_Rotate(benchmark::State& s) {
    runOnFreshImage(s, Bits, [](CxImage& i) { i.Rotate(static_cast<float>(Angle)); });
}
template <int Angle, int Bits>
void BM_Rotate_Plain(benchmark::State& s) {
    runOnFreshImage(s, Bits, [](CxImage& i) { plain::Rotate(i, static_cast<float>(Angle)); });
}

// Taking the bitmap out of a converted page: copy, blank-fill, invert.
void BM_BitmapExtraction(benchmark::State& state) {
    const uint64_t height = static_cast<uint64_t>(state.range(0));
    const std::vector<uint8_t> bytes = pagePixels(height, 8);
    CxImage image;
    makeImage(image, bytes, height, 8);
    image.Threshold(127);
    cups_page_header2_t header;
    memset(&header, 0, sizeof header);
    header.cupsBitsPerPixel = 8;
    header.cupsBitsPerColor = 8;
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
        int64_t cjBits = 0;
        int64_t lDelta = 0;
        int32_t cx = 0;
        int32_t cy = 0;
        unsigned char* bitmap = GetCxImageBinaryData(header, &image, &cjBits, &lDelta, &cx, &cy);
        benchmark::DoNotOptimize(bitmap);
        free(bitmap);
    }
    setPixelCounter(state, height);
}

#define PAGE_SIZES Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)

BENCHMARK(BM_CreateFromArray)->Args({2000, 8})->Args({20000, 8})->Args({2000, 24})->Args({20000, 24})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayScale24)->PAGE_SIZES;
BENCHMARK(BM_GrayScale24_Plain)->PAGE_SIZES;
BENCHMARK(BM_Threshold8)->PAGE_SIZES;
BENCHMARK(BM_Threshold8_Plain)->PAGE_SIZES;
BENCHMARK(BM_Dither8)->PAGE_SIZES;
BENCHMARK(BM_Dither8_Plain)->PAGE_SIZES;
BENCHMARK(BM_Rotate<90, 1>)->PAGE_SIZES;
BENCHMARK(BM_Rotate_Plain<90, 1>)->PAGE_SIZES;
BENCHMARK(BM_Rotate<180, 1>)->PAGE_SIZES;
BENCHMARK(BM_Rotate_Plain<180, 1>)->PAGE_SIZES;
BENCHMARK(BM_Rotate<270, 1>)->PAGE_SIZES;
BENCHMARK(BM_Rotate_Plain<270, 1>)->PAGE_SIZES;
BENCHMARK(BM_Rotate<90, 8>)->PAGE_SIZES;
BENCHMARK(BM_Rotate_Plain<90, 8>)->PAGE_SIZES;
BENCHMARK(BM_Rotate<180, 8>)->PAGE_SIZES;
BENCHMARK(BM_Rotate_Plain<180, 8>)->PAGE_SIZES;
BENCHMARK(BM_Rotate<270, 8>)->PAGE_SIZES;
BENCHMARK(BM_Rotate_Plain<270, 8>)->PAGE_SIZES;
BENCHMARK(BM_BitmapExtraction)->PAGE_SIZES;

}  // namespace

BENCHMARK_MAIN();
