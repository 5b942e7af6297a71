// Floyd-Steinberg on 8-bit grey rows, two rows at a time.
//
// Every pixel receives the same clamped additions, in the same order, as
// on the per-pixel route: row y + 1 trails row y by two pixels, which is
// exactly when row y has given it every share it will get, so the two
// rows' chains of work can run side by side. Working values live in row
// buffers with a margin on each side, where shares that fall off the image
// land and are dropped. The grey image itself is only read: nothing looks
// at its working values afterwards.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ximadef.h"
#include "ximage.h"

namespace cximage_detail {
namespace {

constexpr int kMinError = -127;  // white leaves at most 129 - 255
constexpr int kMaxError = 128;   // black leaves at most 128
constexpr int kClampBias = 128;  // a share moves a level by -55 .. +56
constexpr int kClampSize = 512;
constexpr int64_t kMargin = 1;
constexpr int64_t kLag = 2;      // how far row y + 1 trails row y

struct Shares {
    int16_t s7, s3, s5, s1;
};

class FloydSteinbergGrey {
public:
    FloydSteinbergGrey(CxImage& grey, CxImage& result) : grey_(grey), result_(result), width_(grey.GetWidth()) {
        for (int e = kMinError; e <= kMaxError; ++e) {
            shares_[e - kMinError] = Shares{static_cast<int16_t>(7 * e / 16), static_cast<int16_t>(3 * e / 16),
                                            static_cast<int16_t>(5 * e / 16), static_cast<int16_t>(e / 16)};
        }
        for (int v = -kClampBias; v < kClampSize - kClampBias; ++v) {
            clamp_[v + kClampBias] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
        for (std::vector<uint8_t>& row : rows_) row.assign(static_cast<size_t>(width_ + 2 * kMargin), 0);
        // Whole bytes of decisions; those past the width stay 0 (clear bits).
        decidedA_.assign(static_cast<size_t>((width_ + 7) / 8 * 8), 0);
        decidedB_.assign(decidedA_.size(), 0);
    }

    // Rows y and y + 1 (when there is one) into the result; called for
    // y = 0, 2, 4 ... in turn, as row y holds the shares of the rows above.
    void Rows(int64_t y) {
        const int64_t height = grey_.GetHeight();
        if (y == 0) {
            Load(0, rows_[0]);
        } else {
            rows_[0].swap(rows_[2]);  // row y came in as the row below the last pair
        }
        Load(y + 1, rows_[1]);
        Load(y + 2, rows_[2]);
        uint8_t* a = rows_[0].data() + kMargin;
        uint8_t* b = rows_[1].data() + kMargin;
        uint8_t* c = rows_[2].data() + kMargin;
        if (y + 1 >= height) {
            for (int64_t x = 0; x < width_; ++x) Pixel(a, b, x, decidedA_.data());
            Pack(decidedA_, y);
            return;
        }
        Pair(a, b, c);
        Pack(decidedA_, y);
        Pack(decidedB_, y + 1);
    }

private:
    int Add(int value, int share) const { return clamp_[value + share + kClampBias]; }

    // Rows y (`a`, working values) and y + 1 (`b`, as in the image); the
    // working values of row y + 2 go back into `c`. Step k decides pixel k
    // of row y and pixel k - 2 of row y + 1. Row y + 1's values are kept in
    // registers as row y finishes them: belowLeft/below are its pixels
    // k - 1 and k still waiting for shares from row y; finished is the
    // pixel row y has just finished. Row y + 2 is handled the same way by
    // row y + 1 (underLeft/under).
    void Pair(const uint8_t* a, const uint8_t* b, uint8_t* c) {
        uint8_t* decA = decidedA_.data();
        uint8_t* decB = decidedB_.data();
        int vA = a[0];
        int belowLeft = 0;  // b[-1], the margin
        int below = b[0];
        int vB = 0;
        int underLeft = 0;  // c[-1], the margin
        int under = c[0];
        for (int64_t k = 0; k < width_ + kLag; ++k) {
            int finished = belowLeft;  // once row y has ended, b[k - 1] has all it gets
            if (k < width_) {
                const bool white = vA > 128;
                decA[k] = white ? 1 : 0;
                const Shares& sh = shares_[(white ? vA - 255 : vA) - kMinError];
                finished = Add(belowLeft, sh.s3);
                belowLeft = Add(below, sh.s5);
                below = Add(b[k + 1], sh.s1);
                vA = Add(a[k + 1], sh.s7);
            } else {
                belowLeft = below;
            }
            const int64_t x = k - kLag;
            if (x < -1) continue;
            if (x == -1) {
                vB = finished;  // b[0], complete: row y + 1 may begin
                continue;
            }
            const bool white = vB > 128;
            decB[x] = white ? 1 : 0;
            const Shares& sh = shares_[(white ? vB - 255 : vB) - kMinError];
            c[x - 1] = static_cast<uint8_t>(Add(underLeft, sh.s3));
            underLeft = Add(under, sh.s5);
            under = Add(c[x + 1], sh.s1);
            vB = Add(finished, sh.s7);
        }
        c[width_ - 1] = static_cast<uint8_t>(underLeft);
    }

    // Decides pixel x of `row` (1 white, 0 black) and spreads its error to
    // the right and into `below`, each addition clamped.
    void Pixel(uint8_t* row, uint8_t* below, int64_t x, uint8_t* decided) const {
        const int v = row[x];
        const bool white = v > 128;
        decided[x] = white ? 1 : 0;
        const Shares& sh = shares_[(white ? v - 255 : v) - kMinError];
        row[x + 1] = clamp_[row[x + 1] + sh.s7 + kClampBias];
        below[x - 1] = clamp_[below[x - 1] + sh.s3 + kClampBias];
        below[x] = clamp_[below[x] + sh.s5 + kClampBias];
        below[x + 1] = clamp_[below[x + 1] + sh.s1 + kClampBias];
    }

    // One decision a byte into result row y, eight pixels a byte, leftmost
    // the most significant bit; the row's padding bits stay clear.
    void Pack(const std::vector<uint8_t>& decided, int64_t y) {
        uint8_t* out = result_.GetBits(static_cast<uint64_t>(y));
        for (int64_t x = 0; x < width_; x += 8) {
            unsigned bits = 0;
            for (int64_t i = 0; i < 8; ++i) bits = (bits << 1) | decided[static_cast<size_t>(x + i)];
            out[x >> 3] = static_cast<uint8_t>(bits);
        }
    }

    // Row y's grey levels after the margin; rows past the end are never
    // decided, so what they hold does not matter.
    void Load(int64_t y, std::vector<uint8_t>& row) {
        if (y < grey_.GetHeight()) {
            memcpy(row.data() + kMargin, grey_.GetBits(static_cast<uint64_t>(y)), static_cast<size_t>(width_));
        }
    }

    CxImage& grey_;
    CxImage& result_;
    int64_t width_;
    std::vector<uint8_t> rows_[3];
    std::vector<uint8_t> decidedA_;
    std::vector<uint8_t> decidedB_;
    Shares shares_[kMaxError - kMinError + 1];
    uint8_t clamp_[kClampSize];
};

}  // namespace

void DitherFloydSteinbergGrey(CxImage& grey, CxImage& result) {
    const int64_t height = grey.GetHeight();
    grey.SetProgress(0);
    if (grey.GetEscape() != 0) return;
    FloydSteinbergGrey kernel(grey, result);
    for (int64_t y = 0; y < height; y += 2) {
        kernel.Rows(y);
        // Progress as the row-by-row loop reports it after each of the rows.
        for (int64_t done = y + 1; done <= y + 2 && done < height; ++done) grey.SetProgress(100 * done / height);
        if (grey.GetEscape() != 0) break;
    }
}

}  // namespace cximage_detail
