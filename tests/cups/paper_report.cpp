// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-paper: how much paper a printer stream takes and where the ink is on
// it, piece by piece (a piece ends at a cut), for the end-to-end tests and
// for measuring documents by hand.
//
//   zelp-paper FILE
//
// One line per piece of paper, lengths in dots (1/203 inch):
//   piece=N paper=P lead=L ink=I lines=K left=X across=A
// paper: from the start of the piece to its cut (or to the end of the
// stream); lead: blank paper before the first dot; ink: first to last dot
// row; lines: runs of dot rows apart by at least kLineGapRows blank rows
// (lines of text); left: the leftmost dot's column; across: dot columns
// from the leftmost dot to the rightmost. A piece without a dot has lead =
// paper, ink, left and across 0.
// Then one line "cuts=C pieces=M". Feeds count as the decoder draws them
// (ESC d n at the line spacing in force, ESC J n in the motion unit GS P
// set, one dot row unless it says otherwise, FF as a fixed gap); a cut takes
// no paper. Exit status 1 for a stream that does not decode.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "escpos_decode.h"
#include "escpos_render.h"

namespace {

using namespace zelp::escpos;

// Blank rows that part two lines of text: the gap between lines of 8 lpi
// text at 203 dpi is several times this, the holes inside a glyph less.
constexpr size_t kLineGapRows = 3;

struct Piece {
    size_t paper = 0;
    size_t firstInk = 0;  // valid when lastInk > 0
    size_t lastInk = 0;   // one past the last dot row
    size_t lines = 0;
    size_t blankRun = 0;  // blank rows since the last dot row
    size_t leftDot = SIZE_MAX;
    size_t rightDot = 0;
};

void Row(Piece* piece, const uint8_t* row, size_t widthBytes) {
    bool inked = false;
    for (size_t i = 0; i < widthBytes; ++i) {
        if (row[i] == 0) continue;
        inked = true;
        for (int bit = 0; bit < 8; ++bit) {
            if ((row[i] & (0x80 >> bit)) == 0) continue;
            piece->leftDot = std::min(piece->leftDot, i * 8 + bit);
            piece->rightDot = std::max(piece->rightDot, i * 8 + bit);
        }
    }
    if (inked) {
        if (piece->lastInk == 0) {
            piece->firstInk = piece->paper;
            piece->lines = 1;
        } else if (piece->blankRun >= kLineGapRows) {
            ++piece->lines;
        }
        piece->lastInk = piece->paper + 1;
        piece->blankRun = 0;
    } else {
        ++piece->blankRun;
    }
    ++piece->paper;
}

void Print(size_t index, const Piece& p) {
    const bool inked = p.lastInk > 0;
    std::printf("piece=%zu paper=%zu lead=%zu ink=%zu lines=%zu left=%zu across=%zu\n", index, p.paper,
                inked ? p.firstInk : p.paper, inked ? p.lastInk - p.firstInk : 0, p.lines, inked ? p.leftDot : 0,
                inked ? p.rightDot - p.leftDot + 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zelp-paper FILE\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) bytes.insert(bytes.end(), block, block + got);
    std::fclose(in);

    const DecodeResult decoded = Decode(bytes.data(), bytes.size());
    if (!decoded.ok) {
        std::fprintf(stderr, "zelp-paper: %s at byte %zu\n", decoded.error.c_str(), decoded.errorOffset);
        return 1;
    }
    std::vector<Piece> pieces(1);
    size_t cuts = 0;
    uint32_t spacing = kDefaultLineSpacingDots;
    uint32_t unitsPerInch = kDotRowsPerInch;
    for (const Command& c : decoded.commands) {
        size_t blank = 0;
        switch (c.kind) {
            case CommandKind::RasterBand:
                for (size_t r = 0; r < c.rows; ++r) Row(&pieces.back(), c.data + r * c.widthBytes, c.widthBytes);
                break;
            case CommandKind::FeedLines: blank = size_t{c.n} * spacing; break;
            case CommandKind::FeedUnits: blank = size_t{c.n} * kDotRowsPerInch / unitsPerInch; break;
            case CommandKind::MotionUnits: unitsPerInch = c.n != 0 ? c.n : kDotRowsPerInch; break;
            case CommandKind::FormFeed: blank = kFormFeedGapDots; break;
            case CommandKind::PrintLogo: blank = kLogoBoxHeightDots; break;
            case CommandKind::Initialize:
                unitsPerInch = kDotRowsPerInch;
                spacing = kDefaultLineSpacingDots;
                break;
            case CommandKind::DefaultLineSpacing: spacing = kDefaultLineSpacingDots; break;
            case CommandKind::SetLineSpacing: spacing = c.n; break;
            case CommandKind::CutOnePoint:
            case CommandKind::CutThreePoints:
                ++cuts;
                pieces.emplace_back();
                break;
            default: break;
        }
        pieces.back().paper += blank;
        pieces.back().blankRun += blank;
    }
    // Nothing after the last cut is no piece of paper.
    if (cuts > 0 && pieces.back().paper == 0) pieces.pop_back();
    for (size_t i = 0; i < pieces.size(); ++i) Print(i + 1, pieces[i]);
    std::printf("cuts=%zu pieces=%zu\n", cuts, pieces.size());
    return 0;
}
