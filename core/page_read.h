// Reading one page of the raster stream into a page image, within the
// limit that every buffer of a page is held to.
#ifndef ZELP_FILTER_PAGE_READ_H
#define ZELP_FILTER_PAGE_READ_H

#include <cups/raster.h>

#include <cstdint>

class CxImage;

// Default limit on each buffer a page needs: 2^31 bytes.
constexpr int64_t kPageBufferLimit = int64_t{1} << 31;

// Lowers (or restores) the per-buffer limit; the fuzz harness keeps runs small with it.
void SetPageBufferLimit(int64_t bytes);

// True when every buffer the page needs (page buffer, page image, turned,
// grey and two-level images, bitmap) stays below the limit.
bool PageBuffersFit(const cups_page_header2_t* header, int32_t printRotate);

// Reads and drops the rest of a page that is not printed, so that the next
// page header is found where it belongs.
void SkipPageData(cups_raster_t* ras, const cups_page_header2_t* header);

// Reads the page's lines into one buffer (release with free()), or null
// after "ERROR: Unable to allocate memory". From the first line the stream
// does not hold in full, lines are blank: white at every depth, so that
// they print no dots.
unsigned char* CUPS_GetImageData(cups_raster_t* ras, const cups_page_header2_t* header);

// Fills `image` with the page, as CreateFromArray fills it from the page
// buffer. False when the page cannot be loaded (an unsupported depth, or no
// memory, which is reported); the page's data is consumed either way.
bool LoadPageImage(cups_raster_t* ras, const cups_page_header2_t* header, CxImage* image);

#endif
