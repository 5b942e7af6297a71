// Grey-scale conversion and rotation.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ximadef.h"
#include "ximage.h"

namespace {

using cximage_detail::Luminance;

// A blank 8-bit grey image beside `source`, with its attributes and planes.
bool MakeGreyImage(const CxImage& source, CxImage& grey) {
    grey.CopyInfo(source);
    if (grey.Create(static_cast<uint64_t>(source.GetWidth()),
                    static_cast<uint64_t>(source.GetHeight()), 8, source.GetType()) == nullptr) {
        return false;
    }
    grey.SetGrayPalette();
    if (source.SelectionIsValid()) {
        grey.SelectionCopy(source);
    }
    if (source.AlphaIsValid()) {
        grey.AlphaCopy(source);
    }
    return true;
}

void GreyFromTrueColour(const CxImage& source, CxImage& grey) {
    const int64_t width = source.GetWidth();
    for (int64_t y = 0; y < source.GetHeight(); ++y) {
        const uint8_t* in = source.GetBits(static_cast<uint64_t>(y));
        uint8_t* out = grey.GetBits(static_cast<uint64_t>(y));
        for (int64_t x = 0; x < width; ++x) {
            out[x] = Luminance(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
        }
    }
}

// Each palette entry keeps its grey level in its blue byte, and the
// transparent index follows its entry.
void PutGreyInPaletteBlue(CxImage& image) {
    tagRGBQUAD* palette = image.GetPalette();
    for (uint64_t i = 0; i < image.GetNumColors(); ++i) {
        palette[i].rgbBlue = Luminance(palette[i].rgbBlue, palette[i].rgbGreen, palette[i].rgbRed);
    }
    if (image.GetTransIndex() != -1) {
        const uint8_t entry = static_cast<uint8_t>(image.GetTransIndex());
        image.SetTransIndex(image.GetPaletteColor(entry).rgbBlue);
    }
}

// Every byte of the rows, padding too, is an index into a 256-entry palette.
void RemapBytesThroughBlue(CxImage& image) {
    const tagRGBQUAD* palette = image.GetPalette();
    uint8_t* bytes = image.GetBits(0);
    const uint64_t count = image.GetHeader().imageSize;
    for (uint64_t i = 0; i < count; ++i) {
        bytes[i] = palette[bytes[i]].rgbBlue;
    }
}

void GreyFromIndexed(const CxImage& source, CxImage& grey) {
    const tagRGBQUAD* palette = source.GetPalette();
    const int64_t width = source.GetWidth();
    for (int64_t y = 0; y < source.GetHeight(); ++y) {
        uint8_t* out = grey.GetBits(static_cast<uint64_t>(y));
        for (int64_t x = 0; x < width; ++x) {
            out[x] = palette[source.GetPixelIndex(x, y)].rgbBlue;
        }
    }
}

// Sine and cosine of the turn, and the box of the turned picture.
struct RotationFrame {
    double s;
    double c;
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};

int64_t FloorToLong(double value) {
    return static_cast<int64_t>(std::floor(value));
}

// Sample positions are truncated toward zero, then narrowed to 32 bits.
int32_t TruncateToInt(double value) {
    return static_cast<int32_t>(static_cast<int64_t>(value));
}

RotationFrame FrameFor(float angle, int32_t width, int32_t height) {
    RotationFrame frame{};
    const double radians = static_cast<double>(-angle) * 1.5707963267948966 / 90.0;
    sincos(radians, &frame.s, &frame.c);
    const double s = frame.s;
    const double c = frame.c;
    const double w = width;
    const double h = height;
    const double last = w - 1.0;  // the fourth corner is (W - 1, H), not (W, H)
    const int64_t xs[4] = {0, FloorToLong(w * c - 0.0 * s), FloorToLong(0.0 * c - h * s),
                           FloorToLong(last * c - h * s)};
    const int64_t ys[4] = {0, FloorToLong(w * s + 0.0 * c), FloorToLong(0.0 * s + h * c),
                           FloorToLong(last * s + h * c)};
    frame.left = *std::min_element(xs, xs + 4);
    frame.top = *std::min_element(ys, ys + 4);
    frame.right = *std::max_element(xs, xs + 4) + 2;
    frame.bottom = *std::max_element(ys, ys + 4) + 2;
    return frame;
}

// One result row by inverse mapping; x runs one past the result's width.
void MapRow(const CxImage& source, CxImage& target, const RotationFrame& frame, int64_t y,
            int64_t dy) {
    const bool indexed = source.GetNumColors() != 0;
    const double ys = static_cast<double>(y) * frame.s;
    const double yc = static_cast<double>(y) * frame.c;
    int64_t dx = 0;
    for (int64_t x = frame.left; x <= frame.right; ++x, ++dx) {
        const double fx = static_cast<double>(x);
        const int32_t sx = TruncateToInt((fx * frame.c + ys) - 0.5);
        const int32_t sy = TruncateToInt((yc - fx * frame.s) - 0.5);
        if (indexed) {
            target.SetPixelIndex(dx, dy, source.GetPixelIndex(sx, sy));
        } else {
            target.SetPixelColor(dx, dy, source.GetPixelColor(sx, sy, true), false);
        }
        target.AlphaSet(dx, dy, source.AlphaGet(sx, sy));
    }
}

// Rows run one past the result's height; progress may so pass 100.
void MapRows(CxImage& source, CxImage& target, const RotationFrame& frame, int64_t newHeight) {
    source.SetProgress(0);
    if (source.GetEscape() != 0 || !target.IsValid()) {
        return;
    }
    int64_t dy = 0;
    for (int64_t y = frame.top; y <= frame.bottom; ++y, ++dy) {
        MapRow(source, target, frame, y, dy);
        source.SetProgress(100 * (dy + 1) / newHeight);
        if (source.GetEscape() != 0) {
            break;
        }
    }
}

}  // namespace

bool CxImage::GrayScale() {
    if (pixelBlock == nullptr) {
        return false;
    }
    if (bitmapHeader.bitCount == 24) {
        CxImage grey(0);
        if (!MakeGreyImage(*this, grey)) {
            return false;
        }
        GreyFromTrueColour(*this, grey);
        Transfer(grey);
        return true;
    }
    PutGreyInPaletteBlue(*this);
    if (bitmapHeader.bitCount == 8) {
        RemapBytesThroughBlue(*this);
        SetGrayPalette();
        return true;
    }
    CxImage grey(0);
    if (!MakeGreyImage(*this, grey)) {
        return false;
    }
    GreyFromIndexed(*this, grey);
    Transfer(grey);
    return true;
}

bool CxImage::Rotate(float angle, CxImage* destination) {
    // A non-finite angle has no picture box; treat it like a missing image.
    if (pixelBlock == nullptr || !std::isfinite(angle)) {
        return false;
    }
    const RotationFrame frame = FrameFor(angle, static_cast<int32_t>(GetWidth()),
                                         static_cast<int32_t>(GetHeight()));
    const int32_t newWidth = static_cast<int32_t>(frame.right - frame.left);
    const int32_t newHeight = static_cast<int32_t>(frame.bottom - frame.top);

    CxImage turned(0);
    turned.CopyInfo(*this);
    // A failed creation maps nothing and leaves the receiver empty.
    turned.Create(static_cast<uint64_t>(newWidth), static_cast<uint64_t>(newHeight), GetBpp(),
                  GetType());
    turned.SetPalette(GetPalette(), 256);
    if (AlphaIsValid()) {
        turned.AlphaCreate();
        turned.AlphaClear();
    }
    MapRows(*this, turned, frame, newHeight);
    CxImage& receiver = destination != nullptr ? *destination : *this;
    receiver.Transfer(turned);
    return true;
}
