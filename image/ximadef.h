// Helpers shared by the image library's sources; not part of its interface.
#ifndef ZELP_IMAGE_XIMADEF_H
#define ZELP_IMAGE_XIMADEF_H

#include <cstdint>

#include "ximage.h"

namespace cximage_detail {

// True when bits x width x height / 256 is over CXIMAGE_MAX_MEMORY; a product
// that does not even fit in 64 bits is over it too.
bool ExceedsMemoryLimit(uint64_t bits, uint64_t width, uint64_t height);

// Grey level of a colour; the weights add up to 1024, so equal bytes stay put.
inline uint8_t Luminance(uint8_t blue, uint8_t green, uint8_t red) {
    return static_cast<uint8_t>((117u * blue + 601u * green + 306u * red) >> 10);
}

// Runs rowFn(y) for every row, reporting progress on `image` between rows and
// stopping early once its escape field is set.
template <typename RowFn>
void ForEachRow(CxImage& image, int64_t height, RowFn&& rowFn) {
    image.SetProgress(0);
    if (image.GetEscape() != 0) {
        return;
    }
    for (int64_t y = 0; y < height; ++y) {
        rowFn(y);
        if (y + 1 < height) {
            image.SetProgress(100 * (y + 1) / height);
            if (image.GetEscape() != 0) {
                break;
            }
        }
    }
}

}  // namespace cximage_detail

#endif
