// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-rasterinfo: lists the page headers of a CUPS raster stream, so the
// end-to-end tests can see what CUPS's own filters hand to raster_to_ZELP.
//
//   zelp-rasterinfo [FILE]     (standard input when FILE is missing)
//
// One line per page:
//   page=N width=W height=H bits_per_color=B bits_per_pixel=P
//   bytes_per_line=L color_space=C copies=K
// Exit status 1 when the input holds no page or a page is cut short.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: zelp-rasterinfo [FILE]\n");
        return 2;
    }
    const int fd = argc == 2 ? open(argv[1], O_RDONLY) : 0;
    if (fd < 0) {
        std::perror("zelp-rasterinfo: cannot open the raster file");
        return 1;
    }
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    if (raster == nullptr) {
        std::fprintf(stderr, "zelp-rasterinfo: not a CUPS raster stream\n");
        if (fd != 0) close(fd);
        return 1;
    }
    cups_page_header2_t header;
    unsigned pages = 0;
    bool whole = true;
    std::vector<unsigned char> line;
    while (whole && cupsRasterReadHeader2(raster, &header)) {
        ++pages;
        std::printf("page=%u width=%u height=%u bits_per_color=%u bits_per_pixel=%u "
                    "bytes_per_line=%u color_space=%d copies=%u\n",
                    pages, header.cupsWidth, header.cupsHeight, header.cupsBitsPerColor,
                    header.cupsBitsPerPixel, header.cupsBytesPerLine,
                    static_cast<int>(header.cupsColorSpace), header.NumCopies);
        line.resize(header.cupsBytesPerLine);
        for (unsigned y = 0; y < header.cupsHeight; ++y) {
            if (header.cupsBytesPerLine == 0 ||
                cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine) !=
                    header.cupsBytesPerLine) {
                std::fprintf(stderr, "zelp-rasterinfo: page %u ends at line %u of %u\n", pages,
                             y, header.cupsHeight);
                whole = false;
                break;
            }
        }
    }
    cupsRasterClose(raster);
    if (fd != 0) close(fd);
    if (pages == 0) std::fprintf(stderr, "zelp-rasterinfo: no page in the stream\n");
    return (pages > 0 && whole) ? 0 : 1;
}
