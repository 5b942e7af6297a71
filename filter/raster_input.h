// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The raster stream of one job, read from a file descriptor through a
// counting reader: many lines are asked for in one call, never more than
// are waiting (so rows reach the printer as they arrive), and a short
// stream still gives every line that arrived in full.
#ifndef ZELP_FILTER_RASTER_INPUT_H
#define ZELP_FILTER_RASTER_INPUT_H

#include <cups/raster.h>

#include <cstdint>

class RasterInput {
public:
    // Opens the raster stream on `fd` (not closed here); Stream() is null
    // when it holds no raster.
    explicit RasterInput(int fd);
    ~RasterInput();
    RasterInput(const RasterInput&) = delete;
    RasterInput& operator=(const RasterInput&) = delete;

    cups_raster_t* Stream() const { return ras_; }
    bool ReadHeader(cups_page_header2_t* header);

    // Reads 1 to `lines` lines of `bytesPerLine` bytes into `dest`: what is
    // waiting, or when nothing is, the next line as soon as it comes.
    // Returns how many lines arrived in full; Ended() is true from the
    // first read that came up short (the stream ended or broke) until the
    // next header is read. The bytes of a line that arrived in part are
    // undefined.
    uint32_t ReadLines(unsigned char* dest, uint32_t bytesPerLine, uint32_t lines);
    bool Ended() const { return ended_; }

    // Reads and drops `bytes` bytes of pixel data (a page not printed).
    void Skip(uint64_t bytes);

private:
    static ssize_t ReadCounted(void* context, unsigned char* buffer, size_t bytes);
    bool ReadsInBlocks() const;
    uint64_t BytesWaiting() const;

    int fd_;
    uint64_t delivered_ = 0;  // bytes handed to libcups so far
    char sync_[4] = {};
    bool ended_ = false;
    cups_raster_t* ras_ = nullptr;
};

#endif
