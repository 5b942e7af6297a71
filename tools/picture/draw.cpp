// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "draw.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace zelp {

namespace {

// One glyph a line, seven rows top first, bit 4 the leftmost column.
constexpr uint8_t kFont[95][kGlyphHeight] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // space
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04},  // !
    {0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},  // "
    {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A},  // #
    {0x04, 0x0F, 0x14, 0x0E, 0x05, 0x1E, 0x04},  // $
    {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03},  // %
    {0x08, 0x14, 0x14, 0x08, 0x15, 0x12, 0x0D},  // &
    {0x04, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},  // '
    {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02},  // (
    {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08},  // )
    {0x00, 0x04, 0x15, 0x0E, 0x15, 0x04, 0x00},  // *
    {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00},  // +
    {0x00, 0x00, 0x00, 0x0C, 0x0C, 0x04, 0x08},  // , (drawn two rows low)
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00},  // -
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C},  // .
    {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10},  // /
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00},  // :
    {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x04, 0x08},  // ;
    {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02},  // <
    {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00},  // =
    {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08},  // >
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04},  // ?
    {0x0E, 0x11, 0x01, 0x0D, 0x15, 0x15, 0x0E},  // @
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},  // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E},  // C
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},  // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},  // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},  // F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F},  // G
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},  // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},  // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},  // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11},  // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},  // N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // O
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},  // P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D},  // Q
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},  // R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E},  // S
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},  // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A},  // W
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},  // X
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04},  // Y
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},  // Z
    {0x0E, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0E},  // [
    {0x10, 0x10, 0x08, 0x04, 0x02, 0x01, 0x01},  // backslash
    {0x0E, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0E},  // ]
    {0x04, 0x0A, 0x11, 0x00, 0x00, 0x00, 0x00},  // ^
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F},  // _
    {0x08, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},  // `
    {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F},  // a
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1E},  // b
    {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E},  // c
    {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F},  // d
    {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E},  // e
    {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08},  // f
    {0x0F, 0x11, 0x11, 0x0F, 0x01, 0x11, 0x0E},  // g (drawn two rows low)
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11},  // h
    {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E},  // i
    {0x02, 0x00, 0x06, 0x02, 0x02, 0x12, 0x0C},  // j
    {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12},  // k
    {0x0C, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E},  // l
    {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11},  // m
    {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11},  // n
    {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E},  // o
    {0x1E, 0x11, 0x11, 0x11, 0x1E, 0x10, 0x10},  // p (drawn two rows low)
    {0x0F, 0x11, 0x11, 0x11, 0x0F, 0x01, 0x01},  // q (drawn two rows low)
    {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10},  // r
    {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E},  // s
    {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06},  // t
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D},  // u
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x0A, 0x04},  // v
    {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0A},  // w
    {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11},  // x
    {0x11, 0x11, 0x11, 0x11, 0x0F, 0x01, 0x0E},  // y (drawn two rows low)
    {0x00, 0x00, 0x1F, 0x02, 0x04, 0x08, 0x1F},  // z
    {0x02, 0x04, 0x04, 0x08, 0x04, 0x04, 0x02},  // {
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},  // |
    {0x08, 0x04, 0x04, 0x02, 0x04, 0x04, 0x08},  // }
    {0x00, 0x00, 0x08, 0x15, 0x02, 0x00, 0x00},  // ~
};

uint8_t Mix(uint8_t a, uint8_t b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return static_cast<uint8_t>(std::lround(a + (b - a) * t));
}

Rgb Mix(Rgb a, Rgb b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }

}  // namespace

void SetPixel(Picture& picture, int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
    uint8_t* p = picture.At(x, y);
    if (picture.channels == 1) {
        p[0] = Luma(colour.r, colour.g, colour.b);
    } else {
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
    }
}

void FillRect(Picture& picture, int x, int y, int width, int height, Rgb colour) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + width, picture.width), y1 = std::min(y + height, picture.height);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) SetPixel(picture, xx, yy, colour);
}

void FillDisc(Picture& picture, int cx, int cy, int radius, Rgb colour) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (dx * dx + dy * dy <= radius * radius) SetPixel(picture, cx + dx, cy + dy, colour);
}

bool GlyphDot(char c, int col, int row) {
    if (c < 32 || c > 126) c = '?';
    // Descenders: these glyphs sit two rows lower in their cell.
    const bool low = c == ',' || c == 'g' || c == 'p' || c == 'q' || c == 'y';
    const int r = row - (low ? 2 : 0);
    if (col < 0 || col >= kGlyphWidth || r < 0 || r >= kGlyphHeight) return false;
    return (kFont[c - 32][r] >> (kGlyphWidth - 1 - col)) & 1;
}

int TextWidth(const std::string& text, int scale) {
    if (text.empty()) return 0;
    return (int(text.size()) * kCellWidth - (kCellWidth - kGlyphWidth)) * scale;
}

void DrawText(Picture& picture, int x, int y, const std::string& text, int scale, Rgb colour) {
    for (size_t i = 0; i < text.size(); ++i) {
        const int gx = x + int(i) * kCellWidth * scale;
        for (int row = 0; row < kGlyphRows; ++row)
            for (int col = 0; col < kGlyphWidth; ++col)
                if (GlyphDot(text[i], col, row))
                    FillRect(picture, gx + col * scale, y + row * scale, scale, scale, colour);
    }
}

// ---------------------------------------------------------------------------
// EAN-13

int Ean13CheckDigit(const std::string& twelveDigits) {
    if (twelveDigits.size() != 12) return -1;
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        const char c = twelveDigits[i];
        if (c < '0' || c > '9') return -1;
        sum += (c - '0') * (i % 2 ? 3 : 1);
    }
    return (10 - sum % 10) % 10;
}

std::string Ean13Modules(const std::string& thirteenDigits) {
    static const char* const kLeftOdd[10] = {"0001101", "0011001", "0010011", "0111101",
                                             "0100011", "0110001", "0101111", "0111011",
                                             "0110111", "0001011"};
    // The first digit picks, for each left-half digit, odd (L) or even (G) parity.
    static const char* const kParity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                            "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
    if (thirteenDigits.size() != 13 ||
        Ean13CheckDigit(thirteenDigits.substr(0, 12)) != thirteenDigits[12] - '0')
        return "";
    auto right = [](int d) {  // R code: the L code with bars and spaces swapped
        std::string r = kLeftOdd[d];
        for (char& c : r) c = c == '1' ? '0' : '1';
        return r;
    };
    std::string out = "101";
    const int first = thirteenDigits[0] - '0';
    for (int i = 1; i <= 6; ++i) {
        const int d = thirteenDigits[i] - '0';
        if (kParity[first][i - 1] == 'L') {
            out += kLeftOdd[d];
        } else {  // G code: the R code read backwards
            std::string g = right(d);
            out.append(g.rbegin(), g.rend());
        }
    }
    out += "01010";
    for (int i = 7; i <= 12; ++i) out += right(thirteenDigits[i] - '0');
    out += "101";
    return out;
}

// ---------------------------------------------------------------------------
// The sample receipt

namespace {

class ReceiptPainter {
public:
    explicit ReceiptPainter(int width)
        : pic_(MakePicture(width, 4000, 3, 255)), width_(width),
          scale_(width >= 480 ? 2 : 1), margin_(width >= 480 ? 16 : 8) {}

    Picture Finish() {
        y_ += 24;
        return FitToSize(pic_, width_, y_);
    }

    void Logo() {
        const int r = 48, cx = width_ / 2, cy = y_ + r;
        const Rgb brown{80, 45, 25}, cream{255, 250, 240};
        FillDisc(pic_, cx, cy, r, brown);
        for (int dy = -r; dy <= r; ++dy)  // a cream ring just inside the rim
            for (int dx = -r; dx <= r; ++dx) {
                const int d2 = dx * dx + dy * dy;
                if (d2 >= 40 * 40 && d2 <= 43 * 43) SetPixel(pic_, cx + dx, cy + dy, cream);
            }
        FillRect(pic_, cx - 18, cy - 4, 30, 24, cream);  // cup
        for (int dy = -9; dy <= 9; ++dy)                 // handle
            for (int dx = 0; dx <= 9; ++dx) {
                const int d2 = dx * dx + dy * dy;
                if (d2 >= 4 * 4 && d2 <= 8 * 8) SetPixel(pic_, cx + 12 + dx, cy + 7 + dy, cream);
            }
        FillRect(pic_, cx - 25, cy + 21, 46, 4, cream);  // saucer
        for (int i = 0; i < 3; ++i)                      // steam
            for (int y = cy - 24; y <= cy - 8; ++y) {
                const int x = cx - 11 + 9 * i + int(std::lround(2.5 * std::sin(y * 0.45 + i)));
                FillRect(pic_, x, y, 2, 1, cream);
            }
        y_ += 2 * r + 12;
        Centred("ZELP COFFEE", scale_ * 2, brown, true);
        y_ += 4;
        Centred("Coffee - Bread - Cakes", scale_, kBlack);
    }

    void Centred(const std::string& text, int scale, Rgb colour, bool bold = false) {
        const int x = (width_ - TextWidth(text, scale)) / 2;
        DrawText(pic_, x, y_, text, scale, colour);
        if (bold) DrawText(pic_, x + 1, y_, text, scale, colour);
        y_ += kCellHeight * scale;
    }

    // Text at the left margin and an amount flush with the right margin.
    void Line(const std::string& left, const std::string& right, int scale = 0,
              bool bold = false) {
        if (scale == 0) scale = scale_;
        const int xr = width_ - margin_ - TextWidth(right, scale);
        for (int pass = 0; pass <= (bold ? 1 : 0); ++pass) {
            DrawText(pic_, margin_ + pass, y_, left, scale, kBlack);
            DrawText(pic_, xr + pass, y_, right, scale, kBlack);
        }
        y_ += kCellHeight * scale;
    }

    void Rule() {
        y_ += 4 * scale_;
        for (int x = margin_; x < width_ - margin_; x += 8 * scale_)
            FillRect(pic_, x, y_, 5 * scale_, scale_, kBlack);
        y_ += 6 * scale_;
    }

    void Space(int pixels) { y_ += pixels; }

    void Barcode(const std::string& digits) {
        const std::string modules = Ean13Modules(digits);
        const int module = width_ >= 480 ? 3 : 2, barHeight = 36 * module;
        const int total = (int(modules.size()) + 14) * module;  // with quiet zones
        const int x0 = (width_ - total) / 2 + 7 * module;
        for (size_t i = 0; i < modules.size(); ++i) {
            if (modules[i] != '1') continue;
            // Guard bars reach down into the digit line.
            const bool guard = i < 3 || (i >= 45 && i < 50) || i >= 92;
            FillRect(pic_, x0 + int(i) * module, y_, module, barHeight + (guard ? 5 * module : 0),
                     kBlack);
        }
        const int ty = y_ + barHeight + module;
        const int s = module == 3 ? 2 : 1;
        DrawText(pic_, x0 - 7 * module, ty, digits.substr(0, 1), s, kBlack);
        const int half = 42 * module;  // six digits under each half
        DrawText(pic_, x0 + 3 * module + (half - TextWidth(digits.substr(1, 6), s)) / 2, ty,
                 digits.substr(1, 6), s, kBlack);
        DrawText(pic_, x0 + 50 * module + (half - TextWidth(digits.substr(7, 6), s)) / 2, ty,
                 digits.substr(7, 6), s, kBlack);
        y_ = ty + kCellHeight * s + 4;
    }

    // A photo-like panel: a diagonal evening sky, a sun with a radial glow,
    // and a shaded hill in front.
    void Photo() {
        const int x0 = margin_, w = width_ - 2 * margin_, h = width_ >= 480 ? 180 : 120;
        const Rgb skyTop{40, 70, 140}, skyLow{235, 150, 85};
        const Rgb sunCore{255, 255, 240}, sunRim{250, 205, 95};
        const Rgb hillNear{20, 50, 25}, hillFar{60, 110, 60};
        const double sx = w * 0.68, sy = h * 0.45, sr = h * 0.28;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double diag = (0.35 * x / w + 0.65 * y / h);
                Rgb c = Mix(skyTop, skyLow, diag);
                const double d = std::hypot(x - sx, y - sy);
                if (d < sr + 1.5) {
                    const Rgb sun = Mix(sunCore, sunRim, std::pow(d / sr, 1.6));
                    c = Mix(sun, c, (d - sr + 0.5) / 2.0);  // soft edge
                } else {
                    c = Mix(c, sunCore, 0.3 * std::exp(-(d - sr) / (0.4 * sr)));  // glow
                }
                const double ridge = h * (0.72 + 0.08 * std::sin(x * 6.0 / w + 0.8) +
                                          0.04 * std::sin(x * 17.0 / w));
                if (y > ridge) c = Mix(hillFar, hillNear, (y - ridge) / (h - ridge + 1.0));
                SetPixel(pic_, x0 + x, y_ + y, c);
            }
        // Thin frame, as around a printed photo.
        FillRect(pic_, x0, y_, w, 2, kBlack);
        FillRect(pic_, x0, y_ + h - 2, w, 2, kBlack);
        FillRect(pic_, x0, y_, 2, h, kBlack);
        FillRect(pic_, x0 + w - 2, y_, 2, h, kBlack);
        y_ += h + 6;
    }

private:
    Picture pic_;
    int width_;
    int scale_;
    int margin_;
    int y_ = 24;
};

}  // namespace

Picture DrawReceipt(int width) {
    if (width <= 0) width = 576;
    width = std::max(width, 240);  // narrower has no room for the barcode
    ReceiptPainter p(width);
    p.Logo();
    p.Space(6);
    p.Centred("14 Harbour Street, Brightsea", width >= 480 ? 2 : 1, kBlack);
    p.Centred("Tel 01632 960418", width >= 480 ? 2 : 1, kBlack);
    p.Rule();
    p.Line("2024-03-14 09:41", "Till 2");
    p.Line("Receipt 0417", "Served by Ana");
    p.Rule();
    p.Line("2 x Flat white", "6.40");
    p.Line("1 x Sourdough loaf", "4.20");
    p.Line("3 x Almond croissant", "8.85");
    p.Line("1 x Orange juice", "2.95");
    p.Line("1 x Carrot cake", "3.60");
    p.Line("Loyalty discount", "-1.00");
    p.Rule();
    p.Line("TOTAL", "25.00", width >= 480 ? 3 : 2, true);
    p.Space(4);
    p.Line("VAT 20% included", "4.17");
    p.Line("Card payment", "25.00");
    p.Line("Change", "0.00");
    p.Rule();
    p.Space(6);
    const std::string code = "501234567890";
    p.Barcode(code + char('0' + Ean13CheckDigit(code)));
    p.Space(10);
    p.Photo();
    p.Centred("Sunset from our terrace", 1, kBlack);
    p.Space(14);
    p.Centred("Thank you for your visit!", width >= 480 ? 2 : 1, kBlack, true);
    p.Space(4);
    p.Centred("Returns within 28 days with this receipt", 1, kBlack);
    return p.Finish();
}

// ---------------------------------------------------------------------------
// Patterns

const std::vector<std::string>& PatternNames() {
    static const std::vector<std::string> names = {"gradient", "checker", "noise", "bars",
                                                   "receipt", "page"};
    return names;
}

bool MakePattern(const std::string& name, int width, int height, uint32_t seed, Picture* out) {
    if (name == "receipt") {
        Picture receipt = DrawReceipt(width);
        // Narrower than the layout allows: drawn at its narrowest, then cut.
        const int w = width > 0 ? width : receipt.width;
        const int h = height > 0 ? height : receipt.height;
        *out = (w != receipt.width || h != receipt.height) ? FitToSize(receipt, w, h)
                                                           : std::move(receipt);
        return true;
    }
    if (width <= 0) width = 576;
    if (height <= 0) height = 240;
    Picture p = MakePicture(width, height, 1, 255);
    if (name == "gradient") {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                *p.At(x, y) = width == 1 ? 0 : uint8_t((x * 255 + (width - 1) / 2) / (width - 1));
    } else if (name == "checker") {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) *p.At(x, y) = ((x / 8 + y / 8) % 2) ? 255 : 0;
    } else if (name == "noise") {
        std::mt19937 rng(seed);  // mt19937's sequence is fixed by the standard
        for (uint8_t& v : p.pixels) v = uint8_t(rng() >> 24);
    } else if (name == "page") {
        // A long receipt's mix, in bands of 200 rows: diagonal gradients,
        // text-like black blocks on white, and noise.
        std::mt19937 rng(seed);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int band = (y / 200) % 3;
                uint8_t v = 255;
                if (band == 0) {
                    v = uint8_t((x + y) & 0xFF);
                } else if (band == 1) {
                    const bool glyph = (x / 6) % 7 != 6 && (y / 12) % 2 == 0 && (x * 7 + y * 3) % 5 != 0;
                    v = glyph ? 0 : 255;
                } else {
                    v = uint8_t(rng() >> 24);
                }
                *p.At(x, y) = v;
            }
        }
    } else if (name == "bars") {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) *p.At(x, y) = uint8_t((x * 16 / width) * 17);
    } else {
        return false;
    }
    *out = std::move(p);
    return true;
}

}  // namespace zelp
