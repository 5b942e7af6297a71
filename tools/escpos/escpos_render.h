// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Drawing a decoded command list as the paper that would come out of the
// printer, plus the notes and counts that go beside the picture.
#ifndef ZELP_TOOLS_ESCPOS_RENDER_H
#define ZELP_TOOLS_ESCPOS_RENDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "escpos_decode.h"

namespace zelp::escpos {

// Paper width when the stream has no band to take it from (a 72 mm head).
constexpr size_t kDefaultPaperWidthDots = 576;
// Dot rows per inch along the paper.
constexpr uint32_t kDotRowsPerInch = 203;
// Dots per line for ESC d until ESC 3 n sets another spacing; ESC 2 and
// ESC @ come back to it.
constexpr uint32_t kDefaultLineSpacingDots = 30;
// A receipt has no page top to feed to: FF is drawn as this much paper.
constexpr size_t kFormFeedGapDots = 60;
// Paper taken by a cut; the dashed line runs through its middle.
constexpr size_t kCutHeightDots = 16;
// Height of the box that stands for a stored logo.
constexpr size_t kLogoBoxHeightDots = 64;
// The picture is refused beyond this many bytes of packed dots (2^33 dots).
constexpr size_t kMaxPictureBytes = size_t{1} << 30;

// One bit per dot, rows top first, bit 7 of a byte the leftmost dot, a set
// bit a black dot: the layout of the bands themselves.
struct Picture {
    size_t width = 0;
    size_t height = 0;
    size_t stride = 0;  // bytes per row: width / 8 rounded up
    std::vector<uint8_t> bits;

    bool Dot(size_t x, size_t y) const {
        return x < width && y < height && (bits[y * stride + x / 8] & (0x80u >> (x % 8))) != 0;
    }
    void SetDot(size_t x, size_t y) {
        if (x < width && y < height) bits[y * stride + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
};

// Where a command that takes paper was put. An image that comes into the
// printer's buffer first (ESC *, GS ( L fn 112) is drawn at the top of the
// command that prints it (LF, ESC d, GS ( L fn 50).
struct Placement {
    size_t commandIndex = 0;
    size_t top = 0;     // first dot row
    size_t height = 0;  // dot rows taken
};

struct Preview {
    Picture picture;
    std::vector<Placement> placements;  // in stream order
    // Side log: one line per command that leaves no mark of its own, or
    // whose mark says less than it does ("000012 ESC B: beeper ...").
    std::vector<std::string> notes;
};

// The printer a picture is drawn for.
struct RenderOptions {
    // The paper is at least this wide (the widest image widens it).
    size_t minWidthDots = 0;
    // The vertical motion unit (1/N inch) of ESC J and ESC 3 after ESC @ and
    // GS P with y 0: a dot row on most 203 dpi printers, 1/360 inch on some.
    uint32_t printerUnitsPerInch = kDotRowsPerInch;
};

// Lays out and draws every command. LF feeds the line spacing, and an
// ESC * line printed by it is drawn from the line's top, 24 dots down
// whatever the spacing (rows past the picture's end are left out); GS ( L
// fn 50 feeds the height of the graphics it prints. False, with `error` set, only when the
// picture would exceed kMaxPictureBytes.
bool RenderPreview(const std::vector<Command>& commands, Preview* preview, std::string* error);
// Vertical units (ESC J n, ESC 3 n) count n / y inch as GS P x y last set
// them, rounded to whole dot rows.
bool RenderPreview(const std::vector<Command>& commands, const RenderOptions& options, Preview* preview,
                   std::string* error);

// Dot rows of paper `command` takes in the picture. ESC 3 n, ESC 2 and
// ESC @ set `*lineSpacing`, which starts at kDefaultLineSpacingDots; ESC d n
// feeds by it, ESC J n feeds n rows (a printer whose vertical unit is one
// dot row, whatever GS P says). For a printer model that pays for paper row
// by row; the print of stored graphics (GS ( L fn 50) counts no rows here.
size_t PaperRows(const Command& command, uint32_t* lineSpacing);

// Draws `text` (digits, capitals, space and a little punctuation; other
// characters as '?') in 5x7 glyphs scaled by `scale`, the top left corner
// of the first glyph at (x, y). Dots outside the picture are dropped.
void DrawText(Picture* picture, size_t x, size_t y, const std::string& text, size_t scale);
// Width in dots of `text` drawn at `scale` (one blank column between glyphs).
size_t TextWidth(const std::string& text, size_t scale);

// Counts over a decoded stream.
struct Summary {
    size_t bytes = 0;
    size_t commands = 0;
    size_t perKind[kCommandKindCount] = {};
    size_t bands = 0;
    size_t dotRows = 0;  // rows of all bands together
    size_t dotsSet = 0;  // set bits in all band rows
    size_t cuts = 0;     // ESC i and ESC m
    size_t feedLines = 0;
    size_t logos = 0;
    std::vector<uint32_t> bandWidths;  // distinct widths in bytes, first seen first
};

Summary Summarize(const std::vector<Command>& commands, size_t streamBytes);

// "key: value" lines in a fixed order; every key is always present.
// `picture` may be null (no paper size lines then).
std::vector<std::string> FormatSummary(const Summary& summary, const Picture* picture);

}  // namespace zelp::escpos

#endif
