// Whole job on an in-memory raster stream: the fourteen option values come
// from the first bytes, the rest is the stream. Printer bytes go to a sink;
// the filter's messages stay on stderr beside libFuzzer's own.
#include <cups/raster.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "page_image.h"
#include "page_loop.h"
#include "page_read.h"
#include "raster_bands.h"
#include "zelp_cancel.h"
#include "zelp_commands.h"
#include "zelp_settings.h"

namespace {

constexpr size_t kOptionBytes = 14;
// Small buffers keep a run fast; the real limit is exercised by the tests.
constexpr int64_t kFuzzPageLimit = int64_t{4} << 20;
constexpr uint64_t kFuzzCopyLimit = 3;

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

ssize_t readInput(void* ctx, unsigned char* buffer, size_t bytes) {
    Input* in = static_cast<Input*>(ctx);
    const size_t n = bytes < in->size - in->pos ? bytes : in->size - in->pos;
    memcpy(buffer, in->data + in->pos, n);
    in->pos += n;
    return static_cast<ssize_t>(n);
}

// Option values from -1 (absent) up past every table's end.
void settingsFromBytes(const uint8_t* bytes, ZELP_Init_Setting* settings) {
    int32_t* fields[kOptionBytes] = {
        &settings->Cutting,    &settings->FeedDist_B,     &settings->FeedDist,    &settings->Beeper,
        &settings->CashDrawer, &settings->Logo,           &settings->Logo_A,      &settings->ImageAlgorithm,
        &settings->BlankSpace, &settings->PrintRotate,    &settings->BMSetting,   &settings->BMHeight,
        &settings->BMOffset,   &settings->BMDistance,
    };
    for (size_t i = 0; i < kOptionBytes; ++i) *fields[i] = static_cast<int8_t>(bytes[i]) % 40;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (freopen("/dev/null", "w", stdout) == nullptr) return 1;
    SetPageBufferLimit(kFuzzPageLimit);
    SetCopyLimit(kFuzzCopyLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kOptionBytes) return 0;
    ZELP_Init_Setting settings;
    settings = ZELP_Init_Setting{};
    settingsFromBytes(data, &settings);
    Input in{data + kOptionBytes, size - kOptionBytes, 0};
    Canceled = 0;
    jobSetup(settings);
    cups_raster_t* ras = cupsRasterOpenIO(readInput, &in, CUPS_RASTER_READ);
    ZelpPrintFlow(ras, &settings);
    endJob(settings);
    cupsRasterClose(ras);
    return 0;
}
