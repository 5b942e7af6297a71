// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "escpos_render.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstring>

namespace zelp::escpos {

namespace {

constexpr size_t kGlyphWidth = 5;
constexpr size_t kGlyphHeight = 7;

// Dashes of the cut line: this many dots black, then the rest of the period
// white.
constexpr size_t kDashPeriod = 18;
constexpr size_t kDashLength = 12;
constexpr size_t kCutLineThickness = 2;
constexpr size_t kLogoBorder = 2;
// Room kept between the logo box's border and its label.
constexpr size_t kLogoPadding = 4;
constexpr size_t kLogoLargestScale = 3;

struct Glyph {
    char ch;
    uint8_t rows[kGlyphHeight];  // bit 4 the leftmost column
};

const Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const Glyph& FindGlyph(char ch) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.ch == ch) return glyph;
    }
    return kGlyphs[sizeof kGlyphs / sizeof kGlyphs[0] - 1];  // '?'
}

std::string Offset(size_t offset) {
    char text[32];
    std::snprintf(text, sizeof text, "%06llu", static_cast<unsigned long long>(offset));
    return text;
}

const char* BandMode(uint32_t m) {
    switch (m) {
        case 1: case 49: return "double width";
        case 2: case 50: return "double height";
        case 3: case 51: return "double width and height";
        default: return "unknown";
    }
}

const char* DrawerPin(uint32_t m) {
    switch (m) {
        case 0: case 48: return "pin 2";
        case 1: case 49: return "pin 5";
        default: return "unknown connector";
    }
}

// The side-log line for a command, or "" when its picture says it all.
std::string Note(const Command& c, size_t lineSpacing) {
    const std::string at = Offset(c.offset) + " " + CommandName(c.kind) + ": ";
    char text[200];
    switch (c.kind) {
        case CommandKind::Initialize:
            return at + "printer initialised (line spacing back to " +
                   std::to_string(kDefaultLineSpacingDots) + " dots)";
        case CommandKind::FeedLines:
            return "";
        case CommandKind::CutOnePoint:
            return at + "cut, one point left uncut";
        case CommandKind::CutThreePoints:
            return at + "cut, three points left uncut";
        case CommandKind::FormFeed:
            return at + "form feed; a receipt has no page top, drawn as a " +
                   std::to_string(kFormFeedGapDots) + "-dot gap";
        case CommandKind::Byte0E:
            return at + "control byte 0E";
        case CommandKind::Beeper:
            std::snprintf(text, sizeof text, "beeper, n=%u times, t=%u", c.n, c.t);
            return at + text;
        case CommandKind::DrawerKick:
            // Pulse times count in 2 ms units.
            std::snprintf(text, sizeof text, "drawer kick, %s (m=%u), on %u ms, off %u ms",
                          DrawerPin(c.m), c.m, c.t1 * 2, c.t2 * 2);
            return at + text;
        case CommandKind::PrintLogo:
            std::snprintf(text, sizeof text, "stored logo %u (m=%u), drawn as a box", c.n, c.m);
            return at + text;
        case CommandKind::DefaultLineSpacing:
        case CommandKind::SetLineSpacing:
            return at + "line spacing " + std::to_string(lineSpacing) + " dots";
        case CommandKind::BlackMarkAdjust:
            std::snprintf(text, sizeof text, "black-mark adjustment a=%u%s m=%u%s n=%u", c.a,
                          c.a == 1 ? " (print start position)" : "", c.m,
                          c.m == 0 ? " (forward)" : "", c.n);
            return at + text;
        case CommandKind::BlackMarkMode:
            std::snprintf(text, sizeof text, "black-mark mode 0x%02X", c.n);
            return at + text;
        case CommandKind::BlackMarkDistance:
            return at + "black-mark distance " + std::to_string(c.n);
        case CommandKind::BlackMarkHeight:
            return at + "black-mark height " + std::to_string(c.n);
        case CommandKind::RasterBand:
            if (c.m == 0 || c.m == 48) return "";
            std::snprintf(text, sizeof text, "mode m=%u (%s) ignored, drawn at normal size", c.m,
                          BandMode(c.m));
            return at + text;
        case CommandKind::LineFeed:
        case CommandKind::BitImage:
        case CommandKind::GraphicsStore:
        case CommandKind::GraphicsPrint:
            return "";
        case CommandKind::PrintDensity:
            // m 128 to 255 are the lighter levels, counted down from 256.
            std::snprintf(text, sizeof text, "print density level %d%s", c.m < 128 ? static_cast<int>(c.m)
                                                                                   : static_cast<int>(c.m) - 256,
                          c.m == 0 ? " (the printer's own)" : "");
            return at + text;
        case CommandKind::PrintSpeed:
            std::snprintf(text, sizeof text, "print speed level %u%s", c.m, c.m == 0 ? " (the printer's own)" : "");
            return at + text;
        case CommandKind::StatusRequest:
            return at + "real-time status request n=" + std::to_string(c.n);
        case CommandKind::AutoStatus:
            std::snprintf(text, sizeof text, "automatic status back %s (n=0x%02X)", c.n == 0 ? "off" : "on", c.n);
            return at + text;
        case CommandKind::TransmitStatus:
            return at + "status request n=" + std::to_string(c.n);
        case CommandKind::FeedUnits:
            return "";
        case CommandKind::MotionUnits:
            std::snprintf(text, sizeof text, "motion units x=%u y=%u (1/x, 1/y inch; 0 the printer's own)", c.a, c.n);
            return at + text;
    }
    return "";
}

// What the printer holds before it prints: ESC * images of the current
// line, and stored graphics.
struct Buffer {
    struct Image {
        size_t commandIndex;
        size_t left;
    };
    std::vector<Image> line;
    size_t lineWidth = 0;
    const Command* graphics = nullptr;
    size_t graphicsIndex = 0;

    void Clear() {
        line.clear();
        lineWidth = 0;
        graphics = nullptr;
    }
};

struct Drawing {
    size_t commandIndex;  // the ESC * or GS ( L fn 112 command
    size_t top;
    size_t left;
};

// The printer's vertical motion: line spacing in dot rows (set in units,
// kept in rows: GS P does not change it), and the unit, 1/N inch.
struct Motion {
    uint32_t lineSpacing;
    uint32_t unitsPerInch;
    uint32_t printerUnitsPerInch;

    // units is a command's one byte, so the rows fit any size_t.
    size_t Rows(uint32_t units) const {
        return static_cast<size_t>((uint64_t{units} * kDotRowsPerInch + unitsPerInch / 2) / unitsPerInch);
    }
};

// Dot rows a command takes; updates the motion it changes.
size_t Height(const Command& c, Motion* motion, const Buffer& buffer) {
    switch (c.kind) {
        case CommandKind::RasterBand: return c.rows;
        case CommandKind::LineFeed: return motion->lineSpacing;
        case CommandKind::GraphicsPrint: return buffer.graphics != nullptr ? buffer.graphics->rows : 0;
        case CommandKind::FeedLines: return static_cast<size_t>(c.n) * motion->lineSpacing;
        case CommandKind::FeedUnits: return motion->Rows(c.n);
        case CommandKind::FormFeed: return kFormFeedGapDots;
        case CommandKind::CutOnePoint:
        case CommandKind::CutThreePoints: return kCutHeightDots;
        case CommandKind::PrintLogo: return kLogoBoxHeightDots;
        case CommandKind::Initialize:
            motion->unitsPerInch = motion->printerUnitsPerInch;
            motion->lineSpacing = kDefaultLineSpacingDots;
            return 0;
        case CommandKind::DefaultLineSpacing: motion->lineSpacing = kDefaultLineSpacingDots; return 0;
        case CommandKind::SetLineSpacing: motion->lineSpacing = static_cast<uint32_t>(motion->Rows(c.n)); return 0;
        case CommandKind::MotionUnits: motion->unitsPerInch = c.n != 0 ? c.n : motion->printerUnitsPerInch; return 0;
        default: return 0;
    }
}

void DrawBand(Picture* picture, const Command& c, size_t top) {
    for (size_t row = 0; row < c.rows; ++row) {
        std::memcpy(&picture->bits[(top + row) * picture->stride], c.data + row * c.widthBytes,
                    c.widthBytes);
    }
}

// 24-dot columns, three bytes each, the top dot in bit 7 of the first.
void DrawColumns(Picture* picture, const Command& c, size_t top, size_t left) {
    for (size_t x = 0; x < c.n; ++x) {
        for (size_t dot = 0; dot < 24; ++dot) {
            if (c.data[x * 3 + dot / 8] & (0x80u >> (dot % 8))) picture->SetDot(left + x, top + dot);
        }
    }
}

void DrawGraphics(Picture* picture, const Command& c, size_t top) {
    for (size_t row = 0; row < c.rows; ++row) {
        for (size_t x = 0; x < c.n; ++x) {
            if (c.data[row * c.widthBytes + x / 8] & (0x80u >> (x % 8))) picture->SetDot(x, top + row);
        }
    }
}

void DrawCut(Picture* picture, size_t top) {
    const size_t first = top + (kCutHeightDots - kCutLineThickness) / 2;
    for (size_t y = first; y < first + kCutLineThickness; ++y) {
        for (size_t x = 0; x < picture->width; ++x) {
            if (x % kDashPeriod < kDashLength) picture->SetDot(x, y);
        }
    }
}

void DrawLogoBox(Picture* picture, const Command& c, size_t top) {
    const size_t width = picture->width;
    const size_t height = kLogoBoxHeightDots;
    for (size_t y = top; y < top + height; ++y) {
        const bool edgeRow = y < top + kLogoBorder || y >= top + height - kLogoBorder;
        for (size_t x = 0; x < width; ++x) {
            if (edgeRow || x < kLogoBorder || x + kLogoBorder >= width) picture->SetDot(x, y);
        }
    }
    const std::string label = "LOGO " + std::to_string(c.n);
    const size_t room = 2 * (kLogoBorder + kLogoPadding);
    size_t scale = kLogoLargestScale;
    while (scale > 1 && (TextWidth(label, scale) + room > width || kGlyphHeight * scale + room > height)) {
        --scale;
    }
    const size_t textWidth = TextWidth(label, scale);
    const size_t x = textWidth < width ? (width - textWidth) / 2 : 0;
    const size_t y = top + (height - kGlyphHeight * scale) / 2;
    DrawText(picture, x, y, label, scale);
}

}  // namespace

size_t PaperRows(const Command& command, uint32_t* lineSpacing) {
    // Without the stored graphics, their print counts no rows.
    Motion motion{*lineSpacing, kDotRowsPerInch, kDotRowsPerInch};
    const size_t rows = Height(command, &motion, Buffer{});
    *lineSpacing = motion.lineSpacing;
    return rows;
}

size_t TextWidth(const std::string& text, size_t scale) {
    if (text.empty()) return 0;
    return (text.size() * (kGlyphWidth + 1) - 1) * scale;
}

void DrawText(Picture* picture, size_t x, size_t y, const std::string& text, size_t scale) {
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph& glyph = FindGlyph(text[i]);
        const size_t left = x + i * (kGlyphWidth + 1) * scale;
        for (size_t row = 0; row < kGlyphHeight; ++row) {
            for (size_t col = 0; col < kGlyphWidth; ++col) {
                if ((glyph.rows[row] & (0x10u >> col)) == 0) continue;
                for (size_t dy = 0; dy < scale; ++dy) {
                    for (size_t dx = 0; dx < scale; ++dx) {
                        picture->SetDot(left + col * scale + dx, y + row * scale + dy);
                    }
                }
            }
        }
    }
}

bool RenderPreview(const std::vector<Command>& commands, Preview* preview, std::string* error) {
    return RenderPreview(commands, RenderOptions{}, preview, error);
}

bool RenderPreview(const std::vector<Command>& commands, const RenderOptions& options, Preview* preview,
                   std::string* error) {
    *preview = Preview();
    size_t widestBytes = 0;
    for (const Command& c : commands) {
        size_t bytes = 0;
        if (c.kind == CommandKind::RasterBand || c.kind == CommandKind::GraphicsStore) bytes = c.widthBytes;
        if (c.kind == CommandKind::BitImage) bytes = (c.n + 7) / 8;
        if (bytes > widestBytes) widestBytes = bytes;
    }
    Picture& picture = preview->picture;
    picture.width = widestBytes > 0 ? widestBytes * 8 : kDefaultPaperWidthDots;
    if (options.minWidthDots > picture.width) picture.width = options.minWidthDots;
    picture.stride = (picture.width + 7) / 8;
    const size_t maxHeight = kMaxPictureBytes / picture.stride;

    // Layout first, so the picture is taken once at its final size.
    const uint32_t printerUnits = options.printerUnitsPerInch != 0 ? options.printerUnitsPerInch : kDotRowsPerInch;
    Motion motion{kDefaultLineSpacingDots, printerUnits, printerUnits};
    size_t height = 0;
    Buffer buffer;
    std::vector<Drawing> drawings;
    for (size_t i = 0; i < commands.size(); ++i) {
        const Command& c = commands[i];
        const size_t taken = Height(c, &motion, buffer);
        const std::string note = Note(c, motion.lineSpacing);
        if (!note.empty()) preview->notes.push_back(note);
        switch (c.kind) {
            case CommandKind::Initialize: buffer.Clear(); break;
            case CommandKind::BitImage:
                buffer.line.push_back({i, buffer.lineWidth});
                buffer.lineWidth += c.n;
                break;
            case CommandKind::GraphicsStore:
                buffer.graphics = &c;
                buffer.graphicsIndex = i;
                break;
            case CommandKind::LineFeed:
            case CommandKind::FeedLines:
            case CommandKind::FeedUnits:
                for (const Buffer::Image& image : buffer.line) drawings.push_back({image.commandIndex, height, image.left});
                buffer.line.clear();
                buffer.lineWidth = 0;
                break;
            case CommandKind::GraphicsPrint:
                if (buffer.graphics != nullptr) drawings.push_back({buffer.graphicsIndex, height, 0});
                buffer.graphics = nullptr;
                break;
            default: break;
        }
        if (taken == 0) continue;
        if (taken > maxHeight - height) {
            *error = "picture too large (more than " + std::to_string(maxHeight) + " dot rows of " +
                     std::to_string(picture.width) + " dots)";
            return false;
        }
        preview->placements.push_back({i, height, taken});
        height += taken;
    }
    picture.height = height;
    picture.bits.assign(picture.stride * height, 0);

    for (const Placement& place : preview->placements) {
        const Command& c = commands[place.commandIndex];
        switch (c.kind) {
            case CommandKind::RasterBand: DrawBand(&picture, c, place.top); break;
            case CommandKind::CutOnePoint:
            case CommandKind::CutThreePoints: DrawCut(&picture, place.top); break;
            case CommandKind::PrintLogo: DrawLogoBox(&picture, c, place.top); break;
            default: break;  // feeds and gaps: blank paper
        }
    }
    for (const Drawing& drawing : drawings) {
        const Command& c = commands[drawing.commandIndex];
        if (c.kind == CommandKind::BitImage) DrawColumns(&picture, c, drawing.top, drawing.left);
        if (c.kind == CommandKind::GraphicsStore) DrawGraphics(&picture, c, drawing.top);
    }
    return true;
}

Summary Summarize(const std::vector<Command>& commands, size_t streamBytes) {
    Summary s;
    s.bytes = streamBytes;
    s.commands = commands.size();
    for (const Command& c : commands) {
        ++s.perKind[static_cast<size_t>(c.kind)];
        switch (c.kind) {
            case CommandKind::RasterBand: {
                ++s.bands;
                s.dotRows += c.rows;
                for (size_t i = 0; i < c.dataSize; ++i) {
                    s.dotsSet += std::bitset<8>(c.data[i]).count();
                }
                bool seen = false;
                for (uint32_t w : s.bandWidths) seen = seen || w == c.widthBytes;
                if (!seen) s.bandWidths.push_back(c.widthBytes);
                break;
            }
            case CommandKind::CutOnePoint:
            case CommandKind::CutThreePoints: ++s.cuts; break;
            case CommandKind::FeedLines: s.feedLines += c.n; break;
            case CommandKind::PrintLogo: ++s.logos; break;
            default: break;
        }
    }
    return s;
}

std::vector<std::string> FormatSummary(const Summary& s, const Picture* picture) {
    std::vector<std::string> lines;
    auto add = [&lines](const std::string& key, const std::string& value) {
        lines.push_back(key + ": " + value);
    };
    add("bytes", std::to_string(s.bytes));
    add("commands", std::to_string(s.commands));
    for (CommandKind kind : kAllCommandKinds) {
        add(std::string("count_") + CommandId(kind),
            std::to_string(s.perKind[static_cast<size_t>(kind)]));
    }
    add("bands", std::to_string(s.bands));
    add("dot_rows", std::to_string(s.dotRows));
    add("dots_set", std::to_string(s.dotsSet));
    std::string widths;
    for (uint32_t w : s.bandWidths) widths += (widths.empty() ? "" : ",") + std::to_string(w);
    add("band_width_bytes", widths.empty() ? "none" : widths);
    add("feed_lines", std::to_string(s.feedLines));
    add("logos", std::to_string(s.logos));
    add("cuts", std::to_string(s.cuts));
    if (picture != nullptr) {
        add("paper_width_dots", std::to_string(picture->width));
        add("paper_height_dots", std::to_string(picture->height));
    }
    return lines;
}

}  // namespace zelp::escpos
