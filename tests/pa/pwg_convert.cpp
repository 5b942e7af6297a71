// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-pwgconvert: turns an 8-bit grey CUPS raster stream (as
// zelp-rasterwrite makes it) into PWG raster, the form IPP clients send.
//
//   zelp-pwgconvert [--black] [--copies N] IN.ras OUT.pwg
//
// --black writes 8-bit black (0 white) instead of sGray; --copies sets
// NumCopies in every page header (0 allowed). Exit status 1 on any failure.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    bool black = false;
    long copies = -1;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (strcmp(argv[i], "--black") == 0) {
            black = true;
        } else if (strcmp(argv[i], "--copies") == 0 && i + 1 < argc) {
            copies = strtol(argv[++i], nullptr, 10);
        } else {
            break;
        }
    }
    if (argc - i != 2) {
        fputs("usage: zelp-pwgconvert [--black] [--copies N] IN.ras OUT.pwg\n", stderr);
        return 1;
    }
    const int in = open(argv[i], O_RDONLY);
    const int out = open(argv[i + 1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        perror("zelp-pwgconvert");
        return 1;
    }
    cups_raster_t* reader = cupsRasterOpen(in, CUPS_RASTER_READ);
    cups_raster_t* writer = cupsRasterOpen(out, CUPS_RASTER_WRITE_PWG);
    cups_page_header2_t header;
    int pages = 0;
    bool ok = reader != nullptr && writer != nullptr;
    while (ok && cupsRasterReadHeader2(reader, &header)) {
        if (header.cupsBitsPerPixel != 8) {
            fputs("zelp-pwgconvert: only 8-bit grey pages\n", stderr);
            ok = false;
            break;
        }
        cups_page_header2_t pwg = header;
        pwg.cupsColorSpace = black ? CUPS_CSPACE_K : CUPS_CSPACE_SW;
        pwg.cupsColorOrder = CUPS_ORDER_CHUNKED;
        pwg.cupsBitsPerColor = 8;
        pwg.cupsNumColors = 1;
        pwg.HWResolution[0] = pwg.HWResolution[1] = 203;
        pwg.PageSize[0] = static_cast<unsigned>(header.cupsWidth * 72 / 203);
        pwg.PageSize[1] = static_cast<unsigned>(header.cupsHeight * 72 / 203);
        pwg.cupsPageSize[0] = static_cast<float>(pwg.PageSize[0]);
        pwg.cupsPageSize[1] = static_cast<float>(pwg.PageSize[1]);
        pwg.ImagingBoundingBox[2] = pwg.PageSize[0];
        pwg.ImagingBoundingBox[3] = pwg.PageSize[1];
        if (copies >= 0) pwg.NumCopies = static_cast<unsigned>(copies);
        strcpy(pwg.MediaClass, "PwgRaster");
        ok = cupsRasterWriteHeader2(writer, &pwg) != 0;
        std::vector<unsigned char> line(header.cupsBytesPerLine);
        for (unsigned y = 0; ok && y < header.cupsHeight; ++y) {
            ok = cupsRasterReadPixels(reader, line.data(), header.cupsBytesPerLine) == header.cupsBytesPerLine;
            if (black) {
                for (unsigned char& v : line) v = static_cast<unsigned char>(255 - v);
            }
            ok = ok && cupsRasterWritePixels(writer, line.data(), header.cupsBytesPerLine) == header.cupsBytesPerLine;
        }
        ++pages;
    }
    if (reader != nullptr) cupsRasterClose(reader);
    if (writer != nullptr) cupsRasterClose(writer);
    close(in);
    if (close(out) != 0) ok = false;
    if (!ok || pages == 0) {
        fputs("zelp-pwgconvert: conversion failed\n", stderr);
        return 1;
    }
    return 0;
}
