// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Turns whose sampling separates into a column table and a row table
// (90, 180 and 270 degrees): whole rows and cache-sized bands instead of a
// floating-point mapping and two checked accessors per pixel. The tables
// come from the same arithmetic as the per-position mapping, so every
// result position samples the same source position.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ximadef.h"
#include "ximage.h"

namespace cximage_detail {
namespace {

// Result rows per band: enough that each source row visited gives a whole
// strip of pixels, few enough that the band's rows stay in cache.
constexpr int64_t kBandRows = 256;

int32_t SampleX(const RotationFrame& f, int64_t x, int64_t y) {
    const double ys = static_cast<double>(y) * f.s;
    return TruncateToInt((static_cast<double>(x) * f.c + ys) - 0.5);
}

int32_t SampleY(const RotationFrame& f, int64_t x, int64_t y) {
    const double yc = static_cast<double>(y) * f.c;
    return TruncateToInt((yc - static_cast<double>(x) * f.s) - 0.5);
}

// Where each result row and column samples. In `rowsPickColumns` form, row
// dy reads source column byRow[dy] and column dx reads source row byColumn[dx];
// otherwise row dy reads source row byRow[dy] and column dx source column
// byColumn[dx]. Each sample is monotonic along a row and along a column,
// so equal ends prove the whole line equal.
struct SampleTables {
    bool rowsPickColumns;
    std::vector<int32_t> byRow;
    std::vector<int32_t> byColumn;
};

bool BuildTables(const RotationFrame& f, int64_t width, int64_t height, bool rowsPickColumns, SampleTables& t) {
    const int64_t lastX = f.left + width - 1;
    const int64_t lastY = f.top + height - 1;
    t.rowsPickColumns = rowsPickColumns;
    t.byRow.resize(static_cast<size_t>(height));
    t.byColumn.resize(static_cast<size_t>(width));
    for (int64_t dy = 0; dy < height; ++dy) {
        const int64_t y = f.top + dy;
        const int32_t first = rowsPickColumns ? SampleX(f, f.left, y) : SampleY(f, f.left, y);
        const int32_t last = rowsPickColumns ? SampleX(f, lastX, y) : SampleY(f, lastX, y);
        if (first != last) return false;
        t.byRow[static_cast<size_t>(dy)] = first;
    }
    for (int64_t dx = 0; dx < width; ++dx) {
        const int64_t x = f.left + dx;
        const int32_t first = rowsPickColumns ? SampleY(f, x, f.top) : SampleX(f, x, f.top);
        const int32_t last = rowsPickColumns ? SampleY(f, x, lastY) : SampleX(f, x, lastY);
        if (first != last) return false;
        t.byColumn[static_cast<size_t>(dx)] = first;
    }
    return true;
}

// Raw pixel access by depth; targets are zero when created, so packed
// depths only OR their bits in.
template <int Bits>
struct Pixels;

template <>
struct Pixels<1> {
    static uint32_t Get(const uint8_t* row, int64_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }
    static void Put(uint8_t* row, int64_t x, uint32_t v) {
        row[x >> 3] = static_cast<uint8_t>(row[x >> 3] | ((v & 1u) << (7 - (x & 7))));
    }
};

template <>
struct Pixels<4> {
    static uint32_t Get(const uint8_t* row, int64_t x) {
        return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
    }
    static void Put(uint8_t* row, int64_t x, uint32_t v) {
        row[x >> 1] = static_cast<uint8_t>(row[x >> 1] | ((v & 0x0Fu) << ((x & 1) ? 0 : 4)));
    }
};

template <>
struct Pixels<8> {
    static uint32_t Get(const uint8_t* row, int64_t x) { return row[x]; }
    static void Put(uint8_t* row, int64_t x, uint32_t v) { row[x] = static_cast<uint8_t>(v); }
};

template <>
struct Pixels<24> {
    static uint32_t Get(const uint8_t* row, int64_t x) {
        const uint8_t* p = row + 3 * x;
        return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    }
    static void Put(uint8_t* row, int64_t x, uint32_t v) {
        uint8_t* p = row + 3 * x;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
    }
};

// What a sample outside the source reads: the transparent index or colour
// when one is set, else pixel (0, 0).
template <int Bits>
uint32_t FillValue(const CxImage& source) {
    const int64_t trans = source.GetTransIndex();
    if (trans == -1) return Pixels<Bits>::Get(source.GetBits(0), 0);
    if (Bits < 24) return static_cast<uint8_t>(trans);
    const tagRGBQUAD c = source.GetInfo().transColor;
    return c.rgbBlue | (uint32_t{c.rgbGreen} << 8) | (uint32_t{c.rgbRed} << 16);
}

// Source row pointers by sample row (null outside), source columns by
// sample column (-1 outside).
struct SourceView {
    const CxImage& image;
    int64_t width;
    int64_t height;
    const uint8_t* Row(int32_t sy) const {
        return (sy >= 0 && sy < height) ? image.GetBits(static_cast<uint64_t>(sy)) : nullptr;
    }
    bool ColumnInside(int32_t sx) const { return sx >= 0 && sx < width; }
};

template <int Bits>
void MapRowsPickRows(const SourceView& src, CxImage& target, const SampleTables& t, uint32_t fill) {
    const int64_t width = target.GetWidth();
    // Like the per-position mapping, no further row once escape is set.
    for (int64_t dy = 0; dy < target.GetHeight() && src.image.GetEscape() == 0; ++dy) {
        const uint8_t* in = src.Row(t.byRow[static_cast<size_t>(dy)]);
        uint8_t* out = target.GetBits(static_cast<uint64_t>(dy));
        for (int64_t dx = 0; dx < width; ++dx) {
            const int32_t sx = t.byColumn[static_cast<size_t>(dx)];
            Pixels<Bits>::Put(out, dx, (in != nullptr && src.ColumnInside(sx)) ? Pixels<Bits>::Get(in, sx) : fill);
        }
    }
}

// One result column of a band, pixel by pixel: row r of the band reads
// source column byRow[band + r] of the source row `in` (null outside).
template <int Bits>
void MapColumn(const SourceView& src, uint8_t* const* out, const SampleTables& t, int64_t band, int64_t rows,
               int64_t dx, const uint8_t* in, uint32_t fill) {
    for (int64_t r = 0; r < rows; ++r) {
        const int32_t sx = t.byRow[static_cast<size_t>(band + r)];
        Pixels<Bits>::Put(out[r], dx, (in != nullptr && src.ColumnInside(sx)) ? Pixels<Bits>::Get(in, sx) : fill);
    }
}

// True when the band's rows read one run of source columns, all inside,
// in order either way; `first` and `step` then describe it.
bool ColumnRun(const SourceView& src, const SampleTables& t, int64_t band, int64_t rows, int32_t* first,
               int32_t* step) {
    *first = t.byRow[static_cast<size_t>(band)];
    *step = rows > 1 ? t.byRow[static_cast<size_t>(band + 1)] - *first : 1;
    if (*step != 1 && *step != -1) return false;
    for (int64_t r = 0; r < rows; ++r) {
        const int32_t sx = t.byRow[static_cast<size_t>(band + r)];
        if (sx != *first + *step * r || !src.ColumnInside(sx)) return false;
    }
    return true;
}

// Rows pick source columns: a band of result rows reads a narrow strip of
// each source row, so source and result both stay in cache. At 8 bits,
// where a band's rows read one run of source columns, eight result columns
// are gathered from eight source rows and stored together; the margins
// that read outside the source go pixel by pixel.
template <int Bits>
void MapRowsPickColumns(const SourceView& src, CxImage& target, const SampleTables& t, uint32_t fill) {
    constexpr int64_t kGroup = Bits == 8 ? 8 : 1;
    const int64_t width = target.GetWidth();
    const int64_t height = target.GetHeight();
    uint8_t* out[kBandRows];
    // Like the per-position mapping, no further band once escape is set.
    for (int64_t band = 0; band < height && src.image.GetEscape() == 0; band += kBandRows) {
        const int64_t rows = std::min(kBandRows, height - band);
        for (int64_t r = 0; r < rows; ++r) out[r] = target.GetBits(static_cast<uint64_t>(band + r));
        int32_t first = 0;
        int32_t step = 0;
        const bool run = Bits == 8 && ColumnRun(src, t, band, rows, &first, &step);
        for (int64_t dx = 0; dx < width; dx += kGroup) {
            const int64_t group = std::min(kGroup, width - dx);
            const uint8_t* in[kGroup];
            bool inside = run && group == kGroup;
            for (int64_t k = 0; k < group; ++k) {
                in[k] = src.Row(t.byColumn[static_cast<size_t>(dx + k)]);
                inside = inside && in[k] != nullptr;
            }
            if (!inside) {
                for (int64_t k = 0; k < group; ++k) MapColumn<Bits>(src, out, t, band, rows, dx + k, in[k], fill);
                continue;
            }
            for (int64_t k = 0; k < kGroup; ++k) in[k] += first;
            for (int64_t r = 0; r < rows; ++r) {
                const int64_t at = step * r;
                uint8_t gathered[kGroup] = {};
                for (int64_t k = 0; k < kGroup; ++k) gathered[k] = in[k][at];
                memcpy(out[r] + dx, gathered, kGroup);
            }
        }
    }
}

template <int Bits>
void MapPixels(const SourceView& src, CxImage& target, const SampleTables& t) {
    const uint32_t fill = FillValue<Bits>(src.image);
    if (t.rowsPickColumns) {
        MapRowsPickColumns<Bits>(src, target, t, fill);
    } else {
        MapRowsPickRows<Bits>(src, target, t, fill);
    }
}

// The alpha value moves with its pixel; samples outside the source give 0.
void MapAlpha(const SourceView& src, CxImage& target, const SampleTables& t) {
    const int64_t width = target.GetWidth();
    for (int64_t dy = 0; dy < target.GetHeight(); ++dy) {
        for (int64_t dx = 0; dx < width; ++dx) {
            const int32_t a = t.byRow[static_cast<size_t>(dy)];
            const int32_t b = t.byColumn[static_cast<size_t>(dx)];
            const int32_t sx = t.rowsPickColumns ? a : b;
            const int32_t sy = t.rowsPickColumns ? b : a;
            target.AlphaSet(dx, dy, src.image.AlphaGet(sx, sy));
        }
    }
}

}  // namespace

bool RotateSeparable(CxImage& source, CxImage& target, const RotationFrame& frame) {
    if (source.GetEscape() != 0 || !target.IsValid()) return false;
    const int64_t width = target.GetWidth();
    const int64_t height = target.GetHeight();
    SampleTables tables;
    if (!BuildTables(frame, width, height, true, tables) && !BuildTables(frame, width, height, false, tables)) {
        return false;
    }
    const SourceView src{source, source.GetWidth(), source.GetHeight()};
    switch (source.GetBpp()) {
        case 1: MapPixels<1>(src, target, tables); break;
        case 4: MapPixels<4>(src, target, tables); break;
        case 8: MapPixels<8>(src, target, tables); break;
        case 24: MapPixels<24>(src, target, tables); break;
        default: return false;
    }
    if (target.AlphaIsValid()) MapAlpha(src, target, tables);
    // The per-position loop runs one row past the result and reports each.
    source.SetProgress(100 * (height + 1) / height);
    return true;
}

}  // namespace cximage_detail
