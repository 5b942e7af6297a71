// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "escpos_stream.h"

#include <algorithm>
#include <cstring>

namespace zelp::escpos {

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kEnq = 0x05;
constexpr uint8_t kDc4 = 0x14;
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kGs = 0x1D;

// Commands of three bytes, a prefix and one parameter, that the decoder's
// list leaves out because the filter does not send them (yet): a printer
// acts on them.
struct ShortCommand {
    uint8_t first;
    uint8_t second;
    ItemKind kind;
};
constexpr ShortCommand kShortCommands[] = {
    {kGs, 0x61, ItemKind::AutoStatus},        // GS a n
    {kGs, 0x72, ItemKind::TransmitStatus},    // GS r n
    {kEsc, 0x3D, ItemKind::SelectPeripheral}, // ESC = n
};

}  // namespace

const char* ItemId(ItemKind kind) {
    switch (kind) {
        case ItemKind::Command: return "command";
        case ItemKind::BandStart: return "band_start";
        case ItemKind::BandRow: return "band_row";
        case ItemKind::StatusRequest: return "dle_eot";
        case ItemKind::RecoveryRequest: return "dle_enq";
        case ItemKind::RealtimePulse: return "dle_dc4";
        case ItemKind::AutoStatus: return "gs_a";
        case ItemKind::TransmitStatus: return "gs_r";
        case ItemKind::SelectPeripheral: return "esc_eq";
        case ItemKind::Ignored: return "ignored";
    }
    return "unknown";
}

RealtimeMatch MatchRealtime(const uint8_t* data, size_t size, Item* item) {
    if (size == 0) return RealtimeMatch::NeedMore;
    if (data[0] != kDle) return RealtimeMatch::NoMatch;
    if (size < 2) return RealtimeMatch::NeedMore;
    const uint8_t fn = data[1];
    if (fn != kEot && fn != kEnq && fn != kDc4) return RealtimeMatch::NoMatch;
    if (size < 3) return RealtimeMatch::NeedMore;
    const uint8_t n = data[2];
    if (fn == kEot || fn == kEnq) {
        const bool inRange = fn == kEot ? (n >= 1 && n <= 4) : (n >= 1 && n <= 2);
        if (!inRange) return RealtimeMatch::NoMatch;
        item->kind = fn == kEot ? ItemKind::StatusRequest : ItemKind::RecoveryRequest;
        item->size = 3;
        item->n = n;
        return RealtimeMatch::Complete;
    }
    // DLE DC4: only fn 1, the drawer pulse, is read; its m is the connector
    // and t the pulse time in 100 ms.
    if (n != 1) return RealtimeMatch::NoMatch;
    if (size >= 4 && data[3] > 1) return RealtimeMatch::NoMatch;
    if (size < 5) return RealtimeMatch::NeedMore;
    if (data[4] < 1 || data[4] > 8) return RealtimeMatch::NoMatch;
    item->kind = ItemKind::RealtimePulse;
    item->size = 5;
    item->n = n;
    item->m = data[3];
    item->t = data[4];
    return RealtimeMatch::Complete;
}

bool RealtimeScanner::Push(uint8_t byte, Item* item) {
    ++seen_;
    if (fill_ == 0) {
        if (byte != kDle) return false;
        window_[fill_++] = byte;
        return false;
    }
    window_[fill_++] = byte;
    Item found;
    switch (MatchRealtime(window_, fill_, &found)) {
        case RealtimeMatch::Complete:
            found.offset = seen_ - found.size;
            *item = found;
            fill_ = 0;
            return true;
        case RealtimeMatch::NeedMore:
            return false;
        case RealtimeMatch::NoMatch:
            break;
    }
    // The byte that broke the pattern may begin the next one.
    fill_ = 0;
    if (byte == kDle) window_[fill_++] = byte;
    return false;
}

void RealtimeScanner::Reset() {
    fill_ = 0;
    seen_ = 0;
}

void StreamReader::Reset() { *this = StreamReader(); }

size_t StreamReader::Take(const uint8_t* data, size_t size, Item* item, bool* ready) {
    *ready = false;
    if (data == nullptr) size = 0;
    if (bandRowsLeft_ > 0) return TakeRow(data, size, item, ready);
    size_t used = 0;
    for (;;) {
        size_t wanted = 0;
        if (Classify(item, &wanted)) {
            *ready = true;
            return used;
        }
        if (used == size) return used;
        const size_t more = std::min(wanted - pending_.size(), size - used);
        pending_.insert(pending_.end(), data + used, data + used + more);
        used += more;
        taken_ += more;
    }
}

size_t StreamReader::TakeRow(const uint8_t* data, size_t size, Item* item, bool* ready) {
    // Bytes taken ahead while the header was read come first.
    const size_t early = std::min(rowSize_ - rowFill_, pending_.size());
    if (early > 0) {
        std::memcpy(row_.data() + rowFill_, pending_.data(), early);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(early));
        rowFill_ += early;
    }
    const size_t used = std::min(rowSize_ - rowFill_, size);
    if (used > 0) std::memcpy(row_.data() + rowFill_, data, used);
    rowFill_ += used;
    taken_ += used;
    if (rowFill_ < rowSize_) return used;

    *item = Item();
    item->kind = ItemKind::BandRow;
    item->offset = rowOffset_;
    item->size = rowSize_;
    item->row = row_.data();
    item->rowSize = rowSize_;
    item->rowIndex = bandRows_ - bandRowsLeft_;
    item->lastRow = bandRowsLeft_ == 1;
    rowOffset_ += rowSize_;
    rowFill_ = 0;
    --bandRowsLeft_;
    *ready = true;
    return used;
}

bool StreamReader::Classify(Item* item, size_t* wanted) {
    const uint8_t* p = pending_.data();
    const size_t n = pending_.size();
    if (n == 0) {
        *wanted = 1;
        return false;
    }
    Item out;
    out.offset = taken_ - n;
    auto finish = [&](size_t size) {
        out.size = size;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(size));
        *item = out;
        return true;
    };

    if (p[0] == kDle) {
        switch (MatchRealtime(p, n, &out)) {
            case RealtimeMatch::Complete: return finish(out.size);
            case RealtimeMatch::NeedMore: *wanted = n + 1; return false;
            case RealtimeMatch::NoMatch: break;
        }
    }
    for (const ShortCommand& sc : kShortCommands) {
        if (p[0] != sc.first) continue;
        if (n < 2) {
            *wanted = 2;
            return false;
        }
        if (p[1] != sc.second) continue;
        if (n < 3) {
            *wanted = 3;
            return false;
        }
        out.kind = sc.kind;
        out.n = p[2];
        return finish(3);
    }

    const DecodeStep step = DecodeFirst(p, n);
    const Command& c = step.command;
    const bool bandHeader = c.kind == CommandKind::RasterBand && c.size >= c.dataSize &&
                            n >= c.size - c.dataSize && step.status != StepStatus::Unknown;
    if (bandHeader) {
        out.kind = ItemKind::BandStart;
        out.command = c;
        out.command.offset = out.offset;
        out.command.data = nullptr;
        const size_t header = c.size - c.dataSize;
        bandRows_ = c.rows;
        bandRowsLeft_ = c.rows;
        rowSize_ = c.widthBytes;
        row_.assign(rowSize_, 0);
        rowFill_ = 0;
        rowOffset_ = out.offset + header;
        return finish(header);
    }
    switch (step.status) {
        case StepStatus::Complete:
            // Keep the command's bytes while the caller looks at its data.
            itemBytes_.assign(p, p + c.size);
            out.kind = ItemKind::Command;
            out.command = DecodeFirst(itemBytes_.data(), itemBytes_.size()).command;
            out.command.offset = out.offset;
            return finish(c.size);
        case StepStatus::NeedMore:
            // Without a count from the decoder, take twice as much: a long
            // command costs a few looks, not one per byte.
            *wanted = step.needed > n ? step.needed : 2 * n;
            return false;
        case StepStatus::Unknown:
            break;
    }
    out.kind = ItemKind::Ignored;
    out.n = p[0];
    return finish(1);
}

}  // namespace zelp::escpos
