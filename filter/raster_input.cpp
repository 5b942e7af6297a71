#include "raster_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Uncompressed raster (v1 "RaSt", v3 "RaS3", either byte order) reaches the
// caller's buffer straight from the reader, so the bytes counted there are
// the bytes delivered. Compressed streams are decoded inside libcups.
const char* const kUncompressedSyncWords[] = {"RaSt", "tSaR", "RaS3", "3SaR"};

// Largest single read: a bound on what one call may ask of libcups.
constexpr uint64_t kMaxBlockBytes = uint64_t{1} << 24;

struct CountingReader {
    int fd = -1;
    uint64_t delivered = 0;
    char sync[4] = {};
    cups_raster_t* ras = nullptr;
};

// One stream per process: the filter reads one job.
CountingReader g_reader;

ssize_t readCounted(void* ctx, unsigned char* buffer, size_t bytes) {
    CountingReader* reader = static_cast<CountingReader*>(ctx);
    ssize_t n;
    do {
        n = read(reader->fd, buffer, bytes);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        for (uint64_t i = reader->delivered; i < 4 && i < reader->delivered + static_cast<uint64_t>(n); ++i) {
            reader->sync[i] = static_cast<char>(buffer[i - reader->delivered]);
        }
        reader->delivered += static_cast<uint64_t>(n);
    }
    return n;
}

bool readsInBlocks(cups_raster_t* ras) {
    if (ras == nullptr || ras != g_reader.ras) return false;
    for (const char* word : kUncompressedSyncWords) {
        if (memcmp(g_reader.sync, word, 4) == 0) return true;
    }
    return false;
}

uint32_t readLineByLine(cups_raster_t* ras, unsigned char* dest, uint32_t bytesPerLine, uint32_t lines) {
    for (uint32_t y = 0; y < lines; ++y) {
        if (cupsRasterReadPixels(ras, dest + uint64_t{y} * bytesPerLine, bytesPerLine) == 0) return y;
    }
    return lines;
}

}  // namespace

cups_raster_t* OpenRasterInput(int fd) {
    g_reader = CountingReader{};
    g_reader.fd = fd;
    g_reader.ras = cupsRasterOpenIO(readCounted, &g_reader, CUPS_RASTER_READ);
    return g_reader.ras;
}

void CloseRasterInput(cups_raster_t* ras) {
    if (ras == g_reader.ras) g_reader.ras = nullptr;
    cupsRasterClose(ras);
}

uint32_t ReadRasterLines(cups_raster_t* ras, unsigned char* dest, uint32_t bytesPerLine, uint32_t lines) {
    if (!readsInBlocks(ras) || bytesPerLine == 0 || bytesPerLine > kMaxBlockBytes) {
        return readLineByLine(ras, dest, bytesPerLine, lines);
    }
    const uint32_t perBlock = static_cast<uint32_t>(kMaxBlockBytes / bytesPerLine);
    uint32_t done = 0;
    while (done < lines) {
        const uint32_t count = lines - done < perBlock ? lines - done : perBlock;
        const uint64_t before = g_reader.delivered;
        unsigned char* at = dest + uint64_t{done} * bytesPerLine;
        if (cupsRasterReadPixels(ras, at, count * bytesPerLine) == 0) {
            return done + static_cast<uint32_t>((g_reader.delivered - before) / bytesPerLine);
        }
        done += count;
    }
    return done;
}
