// Reduction to black and white at a fixed grey level.
#include <cstdint>

#include "ximadef.h"
#include "ximage.h"

namespace {

void ThresholdRow(const CxImage& grey, CxImage& result, uint8_t level, int64_t y) {
    const int64_t width = grey.GetWidth();
    for (int64_t x = 0; x < width; ++x) {
        result.SetPixelIndex(x, y, grey.GetPixelIndex(x, y) > level ? 1 : 0);
    }
}

// Eight-bit grey rows straight: pixels above the level set their bit; the
// new image's padding bits stay clear as created.
void ThresholdGreyRow(const uint8_t* in, uint8_t* out, int64_t width, uint8_t level) {
    int64_t x = 0;
    for (; x + 8 <= width; x += 8, in += 8) {
        unsigned bits = 0;
        for (int i = 0; i < 8; ++i) bits = (bits << 1) | (in[i] > level ? 1u : 0u);
        *out++ = static_cast<uint8_t>(bits);
    }
    if (x < width) {
        unsigned bits = 0;
        int used = 0;
        for (; x < width; ++x, ++used) bits = (bits << 1) | (*in++ > level ? 1u : 0u);
        *out = static_cast<uint8_t>(bits << (8 - used));
    }
}

}  // namespace

bool CxImage::Threshold(uint8_t level) {
    if (pixelBlock == nullptr) {
        return false;
    }
    if (bitmapHeader.bitCount == 1) {
        return true;
    }
    GrayScale();  // on failure the comparison runs on the unconverted indexes

    // A fresh image: none of this one's attributes or planes go along.
    CxImage result(static_cast<uint64_t>(GetWidth()), static_cast<uint64_t>(GetHeight()), 1, 0);
    if (!result.IsValid()) {
        return false;
    }
    if (GetBpp() == 8) {
        const int64_t width = GetWidth();
        cximage_detail::ForEachRow(*this, GetHeight(), [&](int64_t y) {
            ThresholdGreyRow(GetBits(static_cast<uint64_t>(y)), result.GetBits(static_cast<uint64_t>(y)), width,
                             level);
        });
    } else {
        // Grey conversion failed: compare whatever indexes the image holds.
        cximage_detail::ForEachRow(*this, GetHeight(),
                                   [&](int64_t y) { ThresholdRow(*this, result, level, y); });
    }
    result.SetPaletteColor(0, 0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255, 0);
    Transfer(result);
    return true;
}
