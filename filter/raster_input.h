// The raster stream, read through a counting reader so that many lines can
// be asked for in one call and a short stream still gives every line that
// arrived in full.
#ifndef ZELP_FILTER_RASTER_INPUT_H
#define ZELP_FILTER_RASTER_INPUT_H

#include <cups/raster.h>

#include <cstdint>

// Opens the raster stream on `fd` for reading; null when it holds no raster.
cups_raster_t* OpenRasterInput(int fd);
void CloseRasterInput(cups_raster_t* ras);

// Reads up to `lines` lines of `bytesPerLine` bytes into `dest` and returns
// how many arrived in full; the bytes of a line that arrived in part are
// undefined. Works on any stream; streams opened by OpenRasterInput without
// compression are read in large blocks.
uint32_t ReadRasterLines(cups_raster_t* ras, unsigned char* dest, uint32_t bytesPerLine, uint32_t lines);

#endif
