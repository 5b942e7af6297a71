// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Reading a printer byte stream, as raster_to_ZELP writes it, back into a
// list of commands.
//
// The decoder knows exactly the commands the filter can send, in each of its
// image commands (GS v 0; ESC * in 24-dot double density with ESC 3 n, LF
// and ESC 2; GS ( L store and print), with print density and speed
// (GS ( K), the paper feeds and motion units of compact transfer (ESC J,
// GS P), and the status requests that print nothing (DLE EOT, GS a, GS r).
// Anything else is an error: the aim is to catch a filter that
// writes stray bytes, not to be a general ESC/POS reader.
#ifndef ZELP_TOOLS_ESCPOS_DECODE_H
#define ZELP_TOOLS_ESCPOS_DECODE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelp::escpos {

enum class CommandKind {
    Initialize,         // 1B 40          ESC @
    FeedLines,          // 1B 64 n        ESC d n
    CutOnePoint,        // 1B 69          ESC i
    CutThreePoints,     // 1B 6D          ESC m
    FormFeed,           // 0C             FF
    Byte0E,             // 0E
    Beeper,             // 1B 42 n t      ESC B n t
    DrawerKick,         // 1B 70 m t1 t2  ESC p m t1 t2
    PrintLogo,          // 1C 70 n m      FS p n m
    DefaultLineSpacing, // 1B 32          ESC 2
    SetLineSpacing,     // 1B 33 n        ESC 3 n
    BlackMarkAdjust,    // 1D 28 46 pL pH a m nL nH [...]   GS ( F
    BlackMarkMode,      // 1F 1B 1F 80 04 05 06 mode
    BlackMarkDistance,  // 1F 1B 1F 81 04 05 06 dH dL
    BlackMarkHeight,    // 1F 1B 1F 82 04 05 06 hH hL
    RasterBand,         // 1D 76 30 m xL xH yL yH data      GS v 0
    LineFeed,           // 0A             LF
    BitImage,           // 1B 2A 21 nL nH data              ESC * (24-dot double density)
    GraphicsStore,      // 1D 28 4C pL pH 30 70 30 01 01 31 xL xH yL yH data   GS ( L fn 112
    GraphicsPrint,      // 1D 28 4C 02 00 30 32             GS ( L fn 50
    PrintDensity,       // 1D 28 4B 02 00 31 m              GS ( K fn 49
    PrintSpeed,         // 1D 28 4B 02 00 32 m              GS ( K fn 50
    FeedUnits,          // 1B 4A n        ESC J n
    MotionUnits,        // 1D 50 x y      GS P x y
    StatusRequest,      // 10 04 n        DLE EOT n, n 1 to 4 (real-time status)
    AutoStatus,         // 1D 61 n        GS a n (automatic status back)
    TransmitStatus,     // 1D 72 n        GS r n, n 1, 2, 49 or 50
};

constexpr size_t kCommandKindCount = 27;

// Every kind in a fixed order (the order of the enum), for listings.
extern const CommandKind kAllCommandKinds[kCommandKindCount];

// How the command is written in listings, e.g. "ESC d" or "GS v 0".
const char* CommandName(CommandKind kind);
// A short identifier without spaces, e.g. "esc_d" or "gs_v_0".
const char* CommandId(CommandKind kind);

// One decoded command. Which fields mean something depends on the kind:
//   FeedLines, SetLineSpacing: n
//   Beeper: n (times), t
//   DrawerKick: m (connector), t1, t2
//   PrintLogo: n (logo number), m
//   BlackMarkAdjust: length (pL + 256 pH), a, m, n (nL + 256 nH)
//   BlackMarkMode: n (mode byte)
//   BlackMarkDistance, BlackMarkHeight: n (the two bytes, high byte first)
//   RasterBand: m, widthBytes, rows, data
//   BitImage: m, n (columns, 24 dots each: 3 bytes, top dot in bit 7), data
//   GraphicsStore: n (width in dots), widthBytes, rows, data (rows as in a band)
//   PrintDensity, PrintSpeed: m
//   FeedUnits: n (vertical motion units)
//   MotionUnits: a (x), n (y): units of 1/x and 1/y inch, 0 the printer's own
//   StatusRequest, AutoStatus, TransmitStatus: n
struct Command {
    CommandKind kind = CommandKind::Initialize;
    size_t offset = 0;  // of the first byte in the stream
    size_t size = 0;    // bytes taken in the stream, data included
    uint32_t n = 0;
    uint32_t m = 0;
    uint32_t a = 0;
    uint32_t t = 0;
    uint32_t t1 = 0;
    uint32_t t2 = 0;
    uint32_t length = 0;
    uint32_t widthBytes = 0;
    uint32_t rows = 0;
    // Band rows, widthBytes x rows bytes, top row first. Points into the
    // decoded input: valid only while that input is.
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
};

struct DecodeResult {
    // The commands decoded, in stream order; on an error, those before it.
    std::vector<Command> commands;
    bool ok = true;
    size_t errorOffset = 0;  // start of the command that could not be read
    std::string error;       // what was wrong, without the offset
};

// Decodes `size` bytes at `data`. Never reads outside them.
DecodeResult Decode(const uint8_t* data, size_t size);

// The command as one listing line: offset (at least six digits), name and
// parameters, e.g. "000123 GS v 0 m=0 width=72 bytes rows=24".
std::string FormatCommand(const Command& command);

// Reading a stream that arrives piece by piece, as a printer's receive side
// does: the first command of what has come so far.
enum class StepStatus {
    Complete,  // `command` is whole; it takes command.size bytes
    NeedMore,  // the bytes so far begin a command that goes on
    Unknown,   // no command of the list begins this way
};

struct DecodeStep {
    StepStatus status = StepStatus::Unknown;
    // Complete: the command. NeedMore: what is known of it; a GS v 0 block
    // whose header is whole has its kind, m, widthBytes, rows, dataSize and
    // size (header and rows) set, so that the rows can be taken as they come.
    Command command;
    // NeedMore: bytes the command needs as far as the bytes so far tell,
    // more than were given.
    size_t needed = 0;
    std::string error;  // Unknown: what was wrong
};

// Decodes the command at the start of `size` bytes at `data`.
DecodeStep DecodeFirst(const uint8_t* data, size_t size);

}  // namespace zelp::escpos

#endif
