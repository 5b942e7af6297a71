// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The page core driven directly, as a front end drives it: the option
// values come from the first bytes, then each byte picks a step (start a
// page from the header fields that follow, hand over lines in chunks of any
// size, end the page, cancel, make the printer stop taking bytes).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "zelp_job.h"
#include "zelp_options.h"
#include "zelp_settings.h"

namespace {

// Option bytes an input starts with: one for each option the table had
// when the input format was set.
constexpr size_t kOptionBytes = 15;
constexpr ZelpJobLimits kFuzzLimits{int64_t{4} << 20, 3};
constexpr uint32_t kDepths[] = {1, 2, 4, 8, 16, 24, 32};

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool More() const { return pos < size; }
    uint32_t Byte() { return pos < size ? data[pos++] : 0; }
    uint32_t Word() { return Byte() | (Byte() << 8); }
};

struct State {
    bool canceled = false;
    bool printerGone = false;
};

bool printerWrite(void* context, const unsigned char*, size_t) {
    return !static_cast<State*>(context)->printerGone;
}

bool isCanceled(void* context) {
    return static_cast<State*>(context)->canceled;
}

void dropMessage(void*, const char*) {}

// The first kOptionBytes options of the table take a byte each, as they
// always have, so older inputs keep their meaning; options added since take
// small values (-1 absent, then 0 to 6) from bits of those bytes.
void settingsFromBytes(Reader& in, ZELP_Init_Setting* settings) {
    uint8_t bytes[kOptionBytes];
    for (uint8_t& byte : bytes) byte = in.Byte();
    for (size_t i = 0; i < kZelpOptionCount; ++i) {
        int32_t& field = settings->*(kZelpOptions[i].field);
        if (i < kOptionBytes) {
            field = static_cast<int8_t>(bytes[i]) % 40;
        } else {
            field = ((bytes[i % kOptionBytes] ^ bytes[(i * 7) % kOptionBytes]) & 7) - 1;
        }
    }
}

cups_page_header2_t headerFrom(Reader& in) {
    cups_page_header2_t h{};
    h.cupsBitsPerPixel = kDepths[in.Byte() % 7];
    h.cupsBitsPerColor = h.cupsBitsPerPixel == 1 ? 1 : h.cupsBitsPerPixel == 16 ? 16 : 8;
    h.cupsWidth = in.Word() % 700;
    h.cupsHeight = in.Word() % 300;
    const int64_t needed = (int64_t{h.cupsWidth} * h.cupsBitsPerPixel + 7) / 8;
    const int64_t bpl = needed + static_cast<int8_t>(in.Byte());
    h.cupsBytesPerLine = static_cast<uint32_t>(bpl < 0 ? 0 : bpl);
    h.NumCopies = in.Byte() % 4;
    return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    ZELP_Init_Setting settings{};
    settingsFromBytes(in, &settings);
    State state;
    const ZelpJobIo io{{&state, printerWrite}, {&state, isCanceled}, {nullptr, dropMessage}, kFuzzLimits};
    ZelpJob* job = ZelpStartJob(settings, io);
    cups_page_header2_t header{};
    bool inPage = false;
    bool going = true;
    std::vector<unsigned char> lines;
    while (in.More() && going) {
        switch (in.Byte() % 5) {
        case 0: {
            if (inPage) going = ZelpEndPage(job);
            header = headerFrom(in);
            const ZelpPageAction action = going ? ZelpStartPage(job, header) : ZelpPageAction::kStop;
            going = action != ZelpPageAction::kStop;
            inPage = action == ZelpPageAction::kPrint;
            break;
        }
        case 1: {
            if (!inPage) break;
            const uint32_t count = 1 + in.Byte() % 40;
            lines.assign(size_t{count} * header.cupsBytesPerLine, 0x55);
            for (unsigned char& b : lines) {
                if (!in.More()) break;
                b = static_cast<unsigned char>(in.Byte());
            }
            going = ZelpPageLines(job, lines.data(), count);
            break;
        }
        case 2:
            if (inPage) going = ZelpEndPage(job);
            inPage = false;
            break;
        case 3: state.canceled = !state.canceled; break;
        default: state.printerGone = true; break;
        }
    }
    ZelpEndJob(job);
    return 0;
}
