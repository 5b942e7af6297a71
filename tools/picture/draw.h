// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Drawing on pictures: rectangles, discs, a 5x7 bitmap font, and the test
// patterns that zelp-rasterwrite offers, the sample receipt among them.
#ifndef ZELP_TOOLS_DRAW_H
#define ZELP_TOOLS_DRAW_H

#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"

namespace zelp {

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// All drawing clips to the picture; grey pictures take the colour's luma.
void SetPixel(Picture& picture, int x, int y, Rgb colour);
void FillRect(Picture& picture, int x, int y, int width, int height, Rgb colour);
void FillDisc(Picture& picture, int cx, int cy, int radius, Rgb colour);

// The font: glyphs 5 pixels wide and 7 high for ASCII 32 to 126, drawn in
// cells of 6 x 10 pixels; the comma, g, p, q and y sit two rows lower, so
// glyphs touch rows 0 to 8 of a cell. Each pixel is a scale x scale block.
// Other characters draw as '?'.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphRows = 9;
constexpr int kCellWidth = 6;
constexpr int kCellHeight = 10;

// Whether the glyph of `c` has a dot at column `col` (0 left), row `row` (0 top)
// of its cell.
bool GlyphDot(char c, int col, int row);
// Width in pixels of `text` at `scale`, without the spacing after the last glyph.
int TextWidth(const std::string& text, int scale);
// Draws `text` with its top left corner at (x, y).
void DrawText(Picture& picture, int x, int y, const std::string& text, int scale, Rgb colour);

// EAN-13: the check digit of 12 digits, and the 95 modules ('1' a bar) of
// the full 13-digit code. Both give an empty/negative result for bad input.
int Ean13CheckDigit(const std::string& twelveDigits);
std::string Ean13Modules(const std::string& thirteenDigits);

// Built-in patterns, all grey except the receipt (RGB):
//   gradient  left-to-right ramp from black to white
//   checker   8 x 8 black and white squares, black at the top left
//   noise     random grey levels from `seed` (the same seed, the same picture)
//   bars      16 vertical bars stepping from black to white
//   page      a long page's mix in 200-row bands: gradients, text-like
//             black blocks, noise (from `seed`)
//   receipt   the sample shop receipt, `width` wide (576 when 0), as tall as
//             its content unless `height` is given; below 240 wide it is
//             drawn 240 wide and cut
// A width or height of 0 means 576 x 240 for the others. False for an
// unknown name.
bool MakePattern(const std::string& name, int width, int height, uint32_t seed, Picture* out);
const std::vector<std::string>& PatternNames();

// The sample receipt on its own, at least 240 wide.
Picture DrawReceipt(int width);

}  // namespace zelp

#endif
