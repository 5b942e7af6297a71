// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "printer_status.h"

#include <algorithm>

const unsigned char kZelpStatusQuery[12] = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02,
                                            0x10, 0x04, 0x03, 0x10, 0x04, 0x04};
const unsigned char kZelpAutoStatusOn[3] = {0x1D, 0x61, 0x0E};
const unsigned char kZelpAutoStatusOff[3] = {0x1D, 0x61, 0x00};

namespace {

constexpr unsigned char kDle = 0x10;
constexpr unsigned char kEot = 0x04;
constexpr unsigned char kXon = 0x11;
constexpr unsigned char kXoff = 0x13;

// The fixed bits that tell the kinds of status byte apart.
constexpr unsigned char kKindMask = 0x93;
constexpr unsigned char kRealtimeAnswer = 0x12;  // bits 1 and 4 on, 0 and 7 off
constexpr unsigned char kAutoStatusFirst = 0x10; // bit 4 on, 0, 1 and 7 off

bool Bit(unsigned char byte, unsigned char mask) { return (byte & mask) != 0; }

struct Row {
    bool ZelpPrinterState::*flag;  // null: offline without a cause of its own
    ZelpCondition condition;
};

// Most urgent first: what the shop must do before anything prints.
const Row kRows[] = {
    {&ZelpPrinterState::unreachable, {"offline-report", "offline", "Printer off or not connected"}},
    {&ZelpPrinterState::coverOpen, {"cover-open-error", "cover-open", "Cover open"}},
    {&ZelpPrinterState::paperOut, {"media-empty-error", "media-empty", "Out of paper"}},
    {&ZelpPrinterState::cutterError, {"other-error", "other", "Cutter error"}},
    {&ZelpPrinterState::otherError, {"other-error", "other", "Printer error"}},
    {nullptr, {"offline-report", "offline", "Printer offline"}},
    {&ZelpPrinterState::nearEnd, {"media-low-report", "media-low", "Paper running low"}},
};

bool Present(const Row& row, const ZelpPrinterState& s) {
    // An empty roll says nothing more by being near its end.
    if (row.flag == &ZelpPrinterState::nearEnd) return s.nearEnd && !s.paperOut;
    if (row.flag != nullptr) return s.*(row.flag);
    return s.offline && !s.unreachable && !s.coverOpen && !s.paperOut && !s.cutterError && !s.otherError;
}

}  // namespace

bool operator==(const ZelpPrinterState& a, const ZelpPrinterState& b) {
    return a.offline == b.offline && a.coverOpen == b.coverOpen && a.paperOut == b.paperOut &&
           a.nearEnd == b.nearEnd && a.cutterError == b.cutterError && a.otherError == b.otherError &&
           a.unreachable == b.unreachable;
}

std::vector<const ZelpCondition*> ZelpConditionsOf(const ZelpPrinterState& state) {
    std::vector<const ZelpCondition*> present;
    for (const Row& row : kRows) {
        if (Present(row, state)) present.push_back(&row.condition);
    }
    return present;
}

std::string ZelpConditionWords(const ZelpPrinterState& state) {
    std::string words;
    for (const ZelpCondition* c : ZelpConditionsOf(state)) words += (words.empty() ? "" : "; ") + std::string(c->words);
    return words;
}

std::vector<std::string> ZelpReasonsOf(const ZelpPrinterState& state, bool cups) {
    std::vector<std::string> reasons;
    for (const ZelpCondition* c : ZelpConditionsOf(state)) {
        const std::string reason = cups ? c->cupsReason : c->ippReason;
        if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) reasons.push_back(reason);
    }
    return reasons;
}

std::vector<std::string> ZelpAllReasons(bool cups) {
    std::vector<std::string> reasons;
    for (const Row& row : kRows) {
        const std::string reason = cups ? row.condition.cupsReason : row.condition.ippReason;
        if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) reasons.push_back(reason);
    }
    return reasons;
}

void ZelpStatusReader::Sent(const unsigned char* bytes, size_t count) {
    // As a printer's receive side: DLE EOT n with n 1 to 4, anywhere; a
    // byte that breaks the pattern may begin the next one.
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        if (scan_ == 2 && b >= 1 && b <= 4) {
            due_.push_back(b);
            scan_ = 0;
        } else if (scan_ == 1 && b == kEot) {
            scan_ = 2;
        } else {
            scan_ = b == kDle ? 1 : 0;
        }
    }
}

void ZelpStatusReader::Received(const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = bytes[i];
        if (asbFill_ > 0) {
            // The rest of automatic status back: bit 4 off, only flow
            // control may come between. Anything else breaks it off.
            if (b == kXon || b == kXoff) continue;
            if ((b & 0x90) == 0) {
                asb_[asbFill_++] = b;
                if (asbFill_ == 4) AutoStatus();
                continue;
            }
            asbFill_ = 0;
            ++unexplained_;
        }
        if ((b & kKindMask) == kAutoStatusFirst) {
            asb_[0] = b;
            asbFill_ = 1;
        } else if ((b & kKindMask) == kRealtimeAnswer && !due_.empty()) {
            const unsigned n = due_.front();
            due_.pop_front();
            Answer(n, b);
        } else {
            ++unexplained_;
        }
    }
}

void ZelpStatusReader::Answer(unsigned n, unsigned char byte) {
    ++heard_;
    switch (n) {
        case 1:
            offline_ = Bit(byte, 0x08);
            break;
        case 2:
            cover_ = Bit(byte, 0x04);
            feeding_ = Bit(byte, 0x08);
            paperEndStop_ = Bit(byte, 0x20);
            errorAny_ = Bit(byte, 0x40);
            break;
        case 3:
            mechanical_ = Bit(byte, 0x04);
            cutter_ = Bit(byte, 0x08);
            unrecoverable_ = Bit(byte, 0x20);
            autoRecoverable_ = Bit(byte, 0x40);
            break;
        default:
            // Either bit of a pair: printers with one sensor set one.
            nearEnd_ = Bit(byte, 0x0C);
            paperEnd_ = Bit(byte, 0x60);
            break;
    }
    Derive();
}

void ZelpStatusReader::AutoStatus() {
    asbFill_ = 0;
    ++heard_;
    ++asbCount_;
    offline_ = Bit(asb_[0], 0x08);
    cover_ = Bit(asb_[0], 0x20);
    feeding_ = Bit(asb_[0], 0x40);
    mechanical_ = Bit(asb_[1], 0x04);
    cutter_ = Bit(asb_[1], 0x08);
    unrecoverable_ = Bit(asb_[1], 0x20);
    autoRecoverable_ = Bit(asb_[1], 0x40);
    errorAny_ = mechanical_ || cutter_ || unrecoverable_ || autoRecoverable_;
    nearEnd_ = Bit(asb_[2], 0x03);
    paperEnd_ = Bit(asb_[2], 0x0C);
    // No bit of its own says "stopped by paper end": the roll says it.
    paperEndStop_ = paperEnd_;
    Derive();
}

void ZelpStatusReader::Derive() {
    state_.offline = offline_ || feeding_;
    state_.coverOpen = cover_;
    state_.paperOut = paperEnd_ || paperEndStop_;
    state_.nearEnd = nearEnd_;
    state_.cutterError = cutter_;
    state_.otherError = mechanical_ || unrecoverable_ || autoRecoverable_ || (errorAny_ && !cutter_);
}
