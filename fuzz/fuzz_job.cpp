// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The whole filter job on a raster stream, read the way the filter reads
// it (a file descriptor, block reads sized by what is waiting): the option
// values come from the first bytes, the rest is the stream. Printer bytes
// are dropped; the job's messages stay on stderr beside libFuzzer's own.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "page_loop.h"
#include "zelp_job.h"
#include "zelp_options.h"
#include "zelp_settings.h"

namespace {

// Option bytes an input starts with: one for each of the table's first
// options (LeadingBlank came later and takes bits of them).
constexpr size_t kOptionBytes = 14;
// Small buffers and few copies keep a run fast; the real limits are the
// tests' business.
constexpr ZelpJobLimits kFuzzLimits{int64_t{4} << 20, 3};

// Option values from -1 (absent) up past every table's end for the first
// kOptionBytes options of the table; LeadingBlank and the options added
// since from bits the others leave alone, so older inputs keep their
// meaning.
void settingsFromBytes(const uint8_t* bytes, ZELP_Init_Setting* settings) {
    for (size_t i = 0; i < kZelpOptionCount; ++i) {
        int32_t& field = settings->*(kZelpOptions[i].field);
        if (i < kOptionBytes) {
            field = static_cast<int8_t>(bytes[i]) % 40;
        } else {
            field = ((bytes[i % kOptionBytes] ^ bytes[(i * 7) % kOptionBytes]) & 7) - 1;
        }
    }
    settings->LeadingBlank = (bytes[0] ^ bytes[8]) & 1;
}

bool dropBytes(void*, const unsigned char*, size_t) {
    return true;
}

bool neverCanceled(void*) {
    return false;
}

void messageToStderr(void*, const char* line) {
    fputs(line, stderr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kOptionBytes) return 0;
    ZELP_Init_Setting settings{};
    settingsFromBytes(data, &settings);
    // The stream as a file of its own, so the filter's reader sees a real
    // descriptor.
    const int fd = memfd_create("fuzz-raster", 0);
    if (fd < 0) return 0;
    const uint8_t* stream = data + kOptionBytes;
    size_t left = size - kOptionBytes;
    while (left > 0) {
        const ssize_t n = write(fd, stream, left);
        if (n <= 0) break;
        stream += n;
        left -= static_cast<size_t>(n);
    }
    lseek(fd, 0, SEEK_SET);
    const ZelpJobIo io{{nullptr, dropBytes}, {nullptr, neverCanceled}, {nullptr, messageToStderr}, kFuzzLimits};
    PrintRasterJob(fd, settings, io);
    close(fd);
    return 0;
}
