// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "raster_input.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Uncompressed raster (v1 "RaSt", v3 "RaS3", either byte order) reaches the
// caller's buffer straight from the reader, so the bytes counted there are
// the bytes delivered. Compressed streams are decoded inside libcups.
const char* const kUncompressedSyncWords[] = {"RaSt", "tSaR", "RaS3", "3SaR"};

// Largest single read: a bound on what one call may ask of libcups.
constexpr uint64_t kMaxBlockBytes = uint64_t{1} << 24;
constexpr uint64_t kSkipChunkBytes = 64 * 1024;

}  // namespace

RasterInput::RasterInput(int fd) : fd_(fd) {
    ras_ = cupsRasterOpenIO(ReadCounted, this, CUPS_RASTER_READ);
}

RasterInput::~RasterInput() {
    cupsRasterClose(ras_);
}

ssize_t RasterInput::ReadCounted(void* context, unsigned char* buffer, size_t bytes) {
    RasterInput* input = static_cast<RasterInput*>(context);
    ssize_t n;
    do {
        n = read(input->fd_, buffer, bytes);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        for (uint64_t i = input->delivered_; i < 4 && i < input->delivered_ + static_cast<uint64_t>(n); ++i) {
            input->sync_[i] = static_cast<char>(buffer[i - input->delivered_]);
        }
        input->delivered_ += static_cast<uint64_t>(n);
    }
    return n;
}

bool RasterInput::ReadsInBlocks() const {
    for (const char* word : kUncompressedSyncWords) {
        if (memcmp(sync_, word, 4) == 0) return true;
    }
    return false;
}

// Bytes that a read would get without waiting; a descriptor that cannot
// tell is taken to have plenty.
uint64_t RasterInput::BytesWaiting() const {
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0) return UINT64_MAX;
    return waiting > 0 ? static_cast<uint64_t>(waiting) : 0;
}

bool RasterInput::ReadHeader(cups_page_header2_t* header) {
    ended_ = false;
    return ras_ != nullptr && cupsRasterReadHeader2(ras_, header) != 0;
}

uint32_t RasterInput::ReadLines(unsigned char* dest, uint32_t bytesPerLine, uint32_t lines) {
    if (ras_ == nullptr || ended_ || lines == 0 || bytesPerLine == 0) return 0;
    if (!ReadsInBlocks() || bytesPerLine > kMaxBlockBytes) {
        uint32_t y = 0;
        do {
            if (cupsRasterReadPixels(ras_, dest + uint64_t{y} * bytesPerLine, bytesPerLine) == 0) {
                ended_ = true;
                return y;
            }
        } while (++y < lines && BytesWaiting() > 0);
        return y;
    }
    const uint64_t waiting = BytesWaiting() / bytesPerLine;
    const uint32_t count = static_cast<uint32_t>(
        std::max<uint64_t>(1, std::min<uint64_t>({waiting, lines, kMaxBlockBytes / bytesPerLine})));
    const uint64_t before = delivered_;
    if (cupsRasterReadPixels(ras_, dest, count * bytesPerLine) == 0) {
        ended_ = true;
        return static_cast<uint32_t>((delivered_ - before) / bytesPerLine);
    }
    return count;
}

void RasterInput::Skip(uint64_t bytes) {
    std::vector<unsigned char> scratch(static_cast<size_t>(std::min(bytes, kSkipChunkBytes)));
    while (bytes > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<uint64_t>(bytes, scratch.size()));
        if (cupsRasterReadPixels(ras_, scratch.data(), chunk) == 0) {
            ended_ = true;
            return;
        }
        bytes -= chunk;
    }
}
