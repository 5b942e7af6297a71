// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Reading a byte stream the way a printer does: piece by piece as it
// arrives, never stopping at a byte it does not know.
//
// Beside the decoder's commands it knows the ones a printer answers or acts
// on without printing: the real-time commands DLE EOT, DLE ENQ and DLE DC4,
// and GS a, GS r and ESC =. A byte that begins no known command is skipped
// on its own, so garbage costs nothing but itself. GS v 0 blocks come out
// row by row, so a block of any size goes through a small buffer.
#ifndef ZELP_TOOLS_ESCPOS_STREAM_H
#define ZELP_TOOLS_ESCPOS_STREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "escpos_decode.h"

namespace zelp::escpos {

enum class ItemKind {
    Command,           // a whole command of the decoder's list, GS v 0 aside
    BandStart,         // a GS v 0 header; its rows follow as BandRow items
    BandRow,           // one row of the current GS v 0 block
    StatusRequest,     // 10 04 n       DLE EOT n, real-time status
    RecoveryRequest,   // 10 05 n       DLE ENQ n, real-time request
    RealtimePulse,     // 10 14 01 m t  DLE DC4 1 m t, drawer pulse
    AutoStatus,        // 1D 61 n       GS a n, automatic status back
    TransmitStatus,    // 1D 72 n       GS r n
    SelectPeripheral,  // 1B 3D n       ESC = n
    Ignored,           // one byte that begins no known command
};

// How an item is written in logs, without spaces ("dle_eot", "band_row").
const char* ItemId(ItemKind kind);

struct Item {
    ItemKind kind = ItemKind::Ignored;
    size_t offset = 0;  // of the item's first byte in the stream
    size_t size = 0;    // bytes the item takes in the stream
    // Command, BandStart: the command (a BandStart has no data; its rows
    // come next). Its data points into the reader: valid until the next
    // Take.
    Command command;
    // BandRow: the row, widthBytes bytes, and which row of the block it is.
    const uint8_t* row = nullptr;
    size_t rowSize = 0;
    uint32_t rowIndex = 0;
    bool lastRow = false;
    // The parameters of the non-printing commands: n of DLE EOT, DLE ENQ,
    // GS a, GS r and ESC =; m and t of DLE DC4 1. Ignored: the byte.
    uint32_t n = 0;
    uint32_t m = 0;
    uint32_t t = 0;
};

// Whether bytes starting with DLE (10) are a real-time command.
enum class RealtimeMatch { Complete, NeedMore, NoMatch };
// Looks at the first bytes of `data`; on Complete, fills `item` (kind,
// size and parameters). DLE EOT takes n = 1 to 4, DLE ENQ n = 0 to 2,
// DLE DC4 fn = 1 (m = 0 or 1, t = 1 to 8); anything else is NoMatch.
RealtimeMatch MatchRealtime(const uint8_t* data, size_t size, Item* item);

// Finds real-time commands in the bytes as they arrive, wherever they are:
// inside a GS v 0 block as much as between commands, as a printer reads
// them on its receive side.
class RealtimeScanner {
public:
    // Looks at the next byte; true when it ends a real-time command, which
    // is then in `item` (offset and size as counted by this scanner).
    bool Push(uint8_t byte, Item* item);
    void Reset();

private:
    uint8_t window_[5] = {};
    size_t fill_ = 0;
    size_t seen_ = 0;  // bytes pushed so far
};

class StreamReader {
public:
    // Takes bytes from the front of `data` until one item is whole, or all
    // of them when none is; returns how many it took. `*ready` tells
    // whether `item` holds an item. It takes no byte beyond the item's end,
    // so the caller decides when the next item is read.
    size_t Take(const uint8_t* data, size_t size, Item* item, bool* ready);

    // Whether the next items are rows of a GS v 0 block.
    bool InBand() const { return bandRowsLeft_ > 0; }
    // Bytes taken into a command that is not whole yet.
    size_t Pending() const { return pending_.size() + rowFill_; }
    // Bytes taken so far.
    size_t Taken() const { return taken_; }
    // Forgets everything, as a printer switched off and on.
    void Reset();

private:
    size_t TakeRow(const uint8_t* data, size_t size, Item* item, bool* ready);
    // Looks at pending_: true with an item when one is whole; otherwise the
    // pending bytes wanted in all before looking again.
    bool Classify(Item* item, size_t* wanted);

    std::vector<uint8_t> pending_;
    std::vector<uint8_t> itemBytes_;  // the last command, for its data
    std::vector<uint8_t> row_;
    size_t rowFill_ = 0;
    size_t rowSize_ = 0;
    uint32_t bandRowsLeft_ = 0;
    uint32_t bandRows_ = 0;
    size_t rowOffset_ = 0;
    size_t taken_ = 0;
};

}  // namespace zelp::escpos

#endif
