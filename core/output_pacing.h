// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Printer bytes sent at the printer's pace. Unpaced, a job's bytes pile up
// in pipes, sockets and serial buffers far ahead of the head: a cancelled
// job goes on printing what they hold, and a printer without handshake
// loses what overflows its buffer. Paced, a job keeps no more ahead of the
// head than about a second of printing, and never more than the printer's
// buffer holds. The lead is reckoned on a model of the printer: its print
// speed, the link's baud rate when the link has one, and the time each
// command takes (dot rows and feeds at the print speed, cuts). The bytes
// are the same either way; only when they leave changes.
#ifndef ZELP_CORE_OUTPUT_PACING_H
#define ZELP_CORE_OUTPUT_PACING_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "zelp_job.h"
#include "zelp_settings.h"

struct ZelpPace {
    double rowsPerSecond = 0;  // dot rows printed or fed a second
    double baud = 0;           // bits a second on the link; 0: a link that keeps up (network, USB)
    size_t bufferBytes = 0;    // the printer's receive buffer
    double leadSeconds = 1.0;  // printing sent ahead of the head at most
};

// The pacing a job asks for on the printer of `deviceUri`: false (send as
// fast as the link takes) when the job's Pacing is not 1, when the bytes go
// to a file or to no printer named (no URI), or when the model and so its
// speed is unknown. The speed is the model's unless PaceSpeed names one;
// the baud rate comes from a serial URI ("baud=N", 9600 when left out).
bool ZelpPaceForJob(const ZELP_Init_Setting& settings, const char* deviceUri, ZelpPace* pace);

// Reads the printer's command stream as it goes out and tells the printing
// time in it: dot rows of raster blocks, bit images and graphics, feeds
// (ESC J in the unit GS P sets, ESC d, LF in the line spacing), cuts,
// stored logos. Data bytes are never read as commands; a stream may be
// split anywhere.
class ZelpPrintTime {
public:
    explicit ZelpPrintTime(double rowsPerSecond) : rowSeconds_(1.0 / rowsPerSecond) {}

    // Reads at most `count` bytes, stopping after the byte that brings the
    // time read to `limitSeconds`; returns the bytes read and adds their
    // time to *seconds. `oneStep` reads at least one byte, or the rest of
    // a dot row of raster data, whatever the limit.
    size_t Read(const unsigned char* bytes, size_t count, double limitSeconds, double* seconds,
                bool oneStep = false);
    // Reads on to the end of the command begun, at most `count` bytes.
    size_t FinishCommand(const unsigned char* bytes, size_t count, double* seconds);
    // Within a command: a cut here would split it.
    bool InCommand() const { return state_ != State::kCommand; }

private:
    enum class State { kCommand, kHead, kData };
    // Called with the command's head gathered: sets what follows it.
    double Headed();
    double Rows(uint64_t rows) const { return static_cast<double>(rows) * rowSeconds_; }

    double rowSeconds_;
    State state_ = State::kCommand;
    unsigned char head_[16] = {};
    size_t have_ = 0;
    size_t need_ = 0;
    uint64_t dataLeft_ = 0;     // bytes of data after the head
    uint64_t rowBytes_ = 0;     // raster data: bytes a dot row (0: no rows in it)
    uint64_t rowLeft_ = 0;      // bytes left of the current row
    uint32_t lineSpacing_ = 30; // dots a line feed takes (ESC 2 and ESC @ bring back 30)
    uint32_t unitsPerInch_ = 0; // vertical motion unit (0: the printer's own)
    uint64_t storedRows_ = 0;   // of the graphics stored for GS ( L to print
};

// The clock the pacing runs on: seconds, and a wait until a time of it.
struct ZelpClock {
    void* context;
    double (*now)(void* context);
    void (*waitUntil)(void* context, double when);
};

// CLOCK_MONOTONIC, and clock_nanosleep on it.
ZelpClock ZelpSystemClock();
// CLOCK_MONOTONIC now, in seconds: the clock of the printer links too.
double ZelpMonotonicSeconds();

// A byte sink that passes every byte on to another, in order and whole,
// each piece once the printer's model has room for it.
class ZelpPacedSink {
public:
    ZelpPacedSink(const ZelpPace& pace, const ZelpByteSink& inner, const ZelpClock& clock = ZelpSystemClock());

    // The sink to hand to the job: writes through this object.
    ZelpByteSink Sink() { return ZelpByteSink{this, WriteThrough, FailureThrough}; }
    bool Write(const unsigned char* bytes, size_t count);
    // Pieces end only where a command ends: for a sink that puts the
    // printer's status requests between two writes.
    void KeepCommandsWhole() { wholeCommands_ = true; }

private:
    struct Piece {
        size_t bytes;
        double printedAt;  // when the model's head is through it
    };
    static bool WriteThrough(void* context, const unsigned char* bytes, size_t count);
    // What the sink it writes to says of a failed write.
    static const char* FailureThrough(void* context);
    // When a piece of `bytes` and `seconds` of printing may go, at the
    // earliest.
    double DueAt(size_t bytes, double seconds, double now);
    void Sent(size_t bytes, double seconds, double now);

    ZelpPace pace_;
    ZelpByteSink inner_;
    ZelpClock clock_;
    ZelpPrintTime time_;
    size_t maxLeadBytes_;
    size_t pieceBytes_;
    double pieceSeconds_;
    double headFree_ = 0;  // the model's head is through everything sent
    double linkFree_ = 0;  // the link has carried everything sent
    std::deque<Piece> pieces_;
    size_t piecesBytes_ = 0;
    bool wholeCommands_ = false;
};

// The sink a job writes to: `sink` itself, or `sink` paced when the job
// asks for pacing on the printer of `deviceUri` (the paced sink then lives
// in *holder, which must outlive the job).
ZelpByteSink ZelpPaceSink(const ZELP_Init_Setting& settings, const char* deviceUri, ZelpByteSink sink,
                          std::unique_ptr<ZelpPacedSink>* holder);

#endif
