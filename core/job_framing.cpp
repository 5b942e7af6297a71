// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The sequences sent at job start, page start, page end and job end.
#include <algorithm>
#include <array>
#include <cstring>

#include "zelp_commands.h"
#include "zelp_options.h"

namespace {

// Vendor black-mark family (1F 1B 1F k 04 05 06 ...) and GS ( F; the
// trailing zero bytes are parameters filled in per page.
const unsigned char kBlackMarkModeFull[] = {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44};
const unsigned char kBlackMarkModeOnly[] = {0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66};
const unsigned char kBlackMarkHeight[] = {0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, 0x00};
const unsigned char kPrintStartPosition[] = {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00};
const unsigned char kBlackMarkDistance[] = {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x00, 0x00};

// Option values come from untrusted PPD keywords: wrap like the printer's
// 32-bit arithmetic instead of overflowing.
int32_t wrapped(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

template <size_t N>
unsigned char* append(unsigned char* out, const unsigned char (&bytes)[N]) {
    memcpy(out, bytes, N);
    return out + N;
}

}  // namespace

int BuildBlackMarkSetup(const ZELP_Init_Setting& settings, unsigned char* out) {
    if (settings.BMSetting == 2) {
        append(out, kBlackMarkModeOnly);
        return static_cast<int>(sizeof kBlackMarkModeOnly);
    }
    if (settings.BMSetting != 1) return 0;
    const int32_t height = wrapped(int64_t{settings.BMHeight} + 5);
    const int32_t offset = wrapped(int64_t{settings.BMOffset} + 35);
    const int32_t distance = wrapped(int64_t{settings.BMDistance} * 50 + 150);
    unsigned char* p = append(out, kBlackMarkModeFull);
    p = append(p, kBlackMarkHeight);
    p[-1] = static_cast<unsigned char>(height & 0xFF);
    p = append(p, kPrintStartPosition);
    p[-2] = static_cast<unsigned char>(offset & 0xFF);  // nL; nH stays 0
    p = append(p, kBlackMarkDistance);
    p[-2] = static_cast<unsigned char>((distance / 256) & 0xFF);  // high byte first
    p[-1] = static_cast<unsigned char>(distance & 0xFF);
    return static_cast<int>(p - out);
}

namespace {

// What every option sends at `point`, in the order the table gives.
void SendOptions(ZelpOutput& out, const ZELP_Init_Setting& settings, ZelpFramingPoint point) {
    struct Due {
        const ZelpOption* option;
        const ZelpSend* send;
    };
    std::array<Due, kZelpOptionCount * kZelpMaxSends> due{};
    size_t count = 0;
    for (const ZelpOption& option : kZelpOptions) {
        for (size_t i = 0; i < option.sendCount; ++i) {
            if (option.sends[i].point == point) due[count++] = Due{&option, &option.sends[i]};
        }
    }
    std::stable_sort(due.begin(), due.begin() + static_cast<std::ptrdiff_t>(count),
                     [](const Due& a, const Due& b) { return a.send->order < b.send->order; });
    for (size_t i = 0; i < count; ++i) {
        const ZelpSend& send = *due[i].send;
        if (send.build != nullptr) {
            std::array<unsigned char, kBlackMarkMaxBytes> work{};
            const int bytes = send.build(settings, work.data());
            outputCommand(out, command{bytes, work.data()});
        } else {
            outputCommand(out, tableEntry(*send.table, settings.*(due[i].option->field)));
        }
    }
}

}  // namespace

void jobSetup(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled) {
    if (canceled) return;
    outputCommand(out, printerInitializeCommand);
    SendOptions(out, settings, ZelpFramingPoint::kJobStart);
}

void ZelpPageSetup(ZelpOutput& out, const ZELP_Init_Setting& settings) {
    SendOptions(out, settings, ZelpFramingPoint::kPageStart);
}

void endPage(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled) {
    if (canceled) return;
    SendOptions(out, settings, ZelpFramingPoint::kPageEnd);
}

void endJob(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled) {
    if (canceled) {
        // ESC @ clears whatever the printer buffered of the cancelled page.
        outputCommand(out, printerInitializeCommand);
        return;
    }
    SendOptions(out, settings, ZelpFramingPoint::kJobEnd);
}
