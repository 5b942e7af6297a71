// Reduction to black and white by error diffusion or an ordered matrix.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ximadef.h"
#include "ximage.h"

namespace {

// One share of a pixel's error: weight / divisor of it goes to (x + dx, y + dy).
struct Tap {
    int8_t dx;
    int8_t dy;
    int16_t weight;
};

struct Kernel {
    const Tap* taps;
    size_t count;
    int32_t divisor;
};

// Taps are listed row by row, each row left to right: the order shares land.
constexpr Tap kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr Tap kBurkes[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4},
                           {0, 1, 8},  {1, 1, 4},  {2, 1, 2}};
constexpr Tap kStucki[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                           {2, 1, 2},  {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
constexpr Tap kJarvis[] = {{1, 0, 7},  {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                           {2, 1, 3},  {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
constexpr Tap kSierra[] = {{1, 0, 5},  {2, 0, 3},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                           {1, 1, 4},  {2, 1, 2},  {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};
constexpr Tap kStevensonArce[] = {{2, 0, 32},  {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30},
                                  {3, 1, 16},  {-2, 2, 12}, {0, 2, 26},  {2, 2, 12},
                                  {-3, 3, 5},  {-1, 3, 12}, {1, 3, 12},  {3, 3, 5}};

template <size_t N>
constexpr Kernel MakeKernel(const Tap (&taps)[N], int32_t divisor) {
    return Kernel{taps, N, divisor};
}

// Methods 2 to 6; everything else that diffuses is Floyd-Steinberg.
Kernel KernelFor(int64_t method) {
    switch (method) {
    case 2: return MakeKernel(kBurkes, 32);
    case 3: return MakeKernel(kStucki, 42);
    case 4: return MakeKernel(kJarvis, 48);
    case 5: return MakeKernel(kSierra, 32);
    case 6: return MakeKernel(kStevensonArce, 200);
    default: return MakeKernel(kFloydSteinberg, 16);
    }
}

constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
constexpr uint8_t kThresholds[4][4] = {
    {0, 192, 48, 240}, {128, 64, 176, 112}, {32, 224, 16, 208}, {160, 96, 144, 80}};

uint8_t ClampToByte(int32_t value) {
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// Decides one pixel and spreads its error into the grey image's own bytes,
// clamping at every addition: error past black or white is lost.
void DiffusePixel(CxImage& grey, CxImage& result, const Kernel& kernel, int64_t x, int64_t y) {
    const int32_t value = grey.GetPixelIndex(x, y);
    const bool white = value > 128;
    result.SetPixelIndex(x, y, white ? 1 : 0);
    const int32_t error = white ? value - 255 : value;
    if (error == 0) {
        return;
    }
    for (size_t i = 0; i < kernel.count; ++i) {
        const Tap& tap = kernel.taps[i];
        const int64_t nx = x + tap.dx;
        const int64_t ny = y + tap.dy;
        if (!grey.IsInside(nx, ny)) {
            continue;  // shares falling off the image are dropped
        }
        const int32_t share = tap.weight * error / kernel.divisor;
        grey.SetPixelIndex(nx, ny, ClampToByte(grey.GetPixelIndex(nx, ny) + share));
    }
}

bool OrderedWhite(int64_t method, int32_t value, int64_t x, int64_t y) {
    if (method == 1) {
        // A level of 16 (white) beats every matrix entry.
        return (16 * value) / 255 > kBayer[y & 3][x & 3];
    }
    return kThresholds[y & 3][x & 3] < value;
}

// Floyd-Steinberg straight on 8-bit grey rows: every pixel receives the
// same clamped additions, in the same order, as on the per-pixel route.
// Working values live in two row buffers with a margin on each side, so
// shares that fall off the image land in the margins and are dropped there;
// shares and clamps come from tables. The grey image itself is only read,
// as nothing looks at its working values afterwards.
class FloydSteinbergRows {
public:
    FloydSteinbergRows(CxImage& grey, CxImage& result)
        : grey_(grey), result_(result), width_(grey.GetWidth()),
          cur_(static_cast<size_t>(width_) + 3), next_(static_cast<size_t>(width_) + 3) {
        for (int e = kMinError; e <= kMaxError; ++e) {
            shares_[e - kMinError] = Shares{static_cast<int16_t>(7 * e / 16), static_cast<int16_t>(3 * e / 16),
                                            static_cast<int16_t>(5 * e / 16), static_cast<int16_t>(e / 16)};
        }
        for (int v = -kClampBias; v < kClampSize - kClampBias; ++v) clamp_[v + kClampBias] = ClampToByte(v);
        Load(0, next_);
    }

    void Row(int64_t y) {
        cur_.swap(next_);
        Load(y + 1, next_);
        uint8_t* out = result_.GetBits(static_cast<uint64_t>(y));
        int v = cur_[1];
        int belowLeft = next_[0];  // next[x - 1], waiting for its last share
        int below = next_[1];      // next[x], holding its share from x - 1
        int64_t x = 0;
        const auto step = [&](unsigned& bits) {
            const bool white = v > 128;
            bits = (bits << 1) | (white ? 1u : 0u);
            const Shares& sh = shares_[(white ? v - 255 : v) - kMinError];
            next_[static_cast<size_t>(x)] = clamp_[belowLeft + sh.s3 + kClampBias];
            belowLeft = clamp_[below + sh.s5 + kClampBias];
            below = clamp_[next_[static_cast<size_t>(x + 2)] + sh.s1 + kClampBias];
            v = clamp_[cur_[static_cast<size_t>(x + 2)] + sh.s7 + kClampBias];
            ++x;
        };
        for (int64_t byte = 0; byte < width_ / 8; ++byte) {
            unsigned bits = 0;
            for (int k = 0; k < 8; ++k) step(bits);
            out[byte] = static_cast<uint8_t>(bits);
        }
        const int tail = static_cast<int>(width_ & 7);
        if (tail != 0) {
            unsigned bits = 0;
            for (int k = 0; k < tail; ++k) step(bits);
            out[width_ >> 3] = static_cast<uint8_t>(bits << (8 - tail));
        }
        next_[static_cast<size_t>(width_)] = static_cast<uint8_t>(belowLeft);
    }

private:
    struct Shares {
        int16_t s7, s3, s5, s1;
    };
    static constexpr int kMinError = -127;  // white leaves at most 129 - 255
    static constexpr int kMaxError = 128;   // black leaves at most 128
    static constexpr int kClampBias = 128;  // a share moves a level by -55 .. +56
    static constexpr int kClampSize = 512;

    // Row y's grey levels into buf[1 .. width]; past the last row, a row
    // whose shares are simply never read.
    void Load(int64_t y, std::vector<uint8_t>& buf) {
        if (y < grey_.GetHeight()) memcpy(buf.data() + 1, grey_.GetBits(static_cast<uint64_t>(y)), width_);
    }

    CxImage& grey_;
    CxImage& result_;
    int64_t width_;
    std::vector<uint8_t> cur_;
    std::vector<uint8_t> next_;
    Shares shares_[kMaxError - kMinError + 1];
    uint8_t clamp_[kClampSize];
};

void DitherRow(CxImage& grey, CxImage& result, int64_t method, int64_t y) {
    const int64_t width = grey.GetWidth();
    if (method == 1 || method == 7) {
        for (int64_t x = 0; x < width; ++x) {
            result.SetPixelIndex(x, y, OrderedWhite(method, grey.GetPixelIndex(x, y), x, y) ? 1 : 0);
        }
        return;
    }
    const Kernel kernel = KernelFor(method);
    for (int64_t x = 0; x < width; ++x) {
        DiffusePixel(grey, result, kernel, x, y);
    }
}

}  // namespace

bool CxImage::Dither(int64_t method) {
    if (pixelBlock == nullptr) {
        return false;
    }
    if (bitmapHeader.bitCount == 1) {
        return true;
    }
    GrayScale();  // on failure the indexes read below are at most 15: all black

    CxImage result(0);
    result.CopyInfo(*this);
    result.Create(static_cast<uint64_t>(GetWidth()), static_cast<uint64_t>(GetHeight()), 1,
                  GetType());
    if (!result.IsValid()) {
        return false;
    }
    if (SelectionIsValid()) {
        result.SelectionCopy(*this);
    }
    if (AlphaIsValid()) {
        result.AlphaCopy(*this);
    }
    const bool floydSteinberg = method < 1 || method > 7;
    if (floydSteinberg && GetBpp() == 8) {
        FloydSteinbergRows rows(*this, result);
        cximage_detail::ForEachRow(*this, GetHeight(), [&](int64_t y) { rows.Row(y); });
    } else {
        cximage_detail::ForEachRow(*this, GetHeight(),
                                   [&](int64_t y) { DitherRow(*this, result, method, y); });
    }
    result.SetPaletteColor(0, 0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(result);
    return true;
}
