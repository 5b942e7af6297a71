// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The virtual receipt printer itself, without any link: a receive buffer
// drained by a print mechanism at a set speed, a roll of paper with a
// near-end and an end sensor, a cover, a cutter that can fail and a drawer
// connector. Time comes in from the caller (seconds on a monotonic clock),
// so the model never sleeps and a test can drive it step by step.
//
// As an ESC/POS printer does:
//  - real-time commands (DLE EOT, DLE ENQ, DLE DC4) are acted on as the
//    bytes arrive, before the buffer, wherever they are in the stream, also
//    while the printer is stopped; everything else waits its turn in the
//    buffer;
//  - while stopped (paper end, cover open, cutter error) it reads nothing
//    from its buffer, so GS a and GS r wait too, but it goes on receiving
//    until the buffer is full;
//  - raster rows and feeds cost paper and time, other commands are
//    instant;
//  - at paper end it stops where it is, and goes on from there once paper
//    is loaded again.
#ifndef ZELP_TOOLS_VPRINTER_PRINTER_MODEL_H
#define ZELP_TOOLS_VPRINTER_PRINTER_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "escpos_decode.h"
#include "escpos_stream.h"
#include "event_log.h"
#include "status_bytes.h"

namespace zelp::vprinter {

// A 203 dpi head: 8 dot rows to the millimetre.
constexpr uint32_t kDotsPerMm = 8;

struct PrinterConfig {
    size_t bufferBytes = 4096;
    double speedMmPerSecond = 150;
    uint64_t rollMm = 50000;   // a new roll
    uint64_t nearEndMm = 1000; // paper left when the near-end sensor trips; 0: no sensor
    size_t widthDots = 576;    // the head; wider rows are cut off
    bool answerStatus = true;  // false: no back channel at all
    bool flowControl = true;   // false: bytes beyond a full buffer are lost
};

struct Counters {
    uint64_t received = 0;  // bytes that came over the link
    uint64_t dropped = 0;   // of them, lost to a full buffer (no flow control)
    uint64_t read = 0;      // taken from the buffer by the mechanism
    uint64_t dotRows = 0;   // raster rows printed
    uint64_t paperRows = 0; // paper moved, in dot rows
    uint64_t cuts = 0;
    uint64_t statusBytes = 0;  // sent back
};

class Printer {
public:
    Printer(const PrinterConfig& config, EventLog* log, double now);

    // --- The link ---
    // Bytes the buffer takes now.
    size_t Room() const;
    // Whether to read the link now: as a printer that says busy once its
    // buffer is full and ready once a good part of it is free again, so it
    // takes bytes in bites rather than row by row.
    bool ReadyForData() const;
    // Bytes read from the link: scanned for real-time commands, then kept
    // (those beyond a full buffer dropped). Prints what time allows.
    void Receive(const uint8_t* data, size_t size, double now);
    // Prints what time allows.
    void Advance(double now);
    // When Advance next has something to do; a huge value when nothing.
    double WakeAt() const;
    // Status bytes for the host, taken.
    std::string TakeOutput();
    // Nothing buffered, nothing being printed.
    bool Idle() const;

    // --- Things done to the printer (its state) ---
    void PaperOut(double now);
    void LoadPaper(uint64_t mm, double now);  // 0: a roll of the set length
    void ForceNearEnd(bool on, double now);    // off: back to the roll's own reading
    void SetCover(bool open, double now);
    void CutterFail(double now);  // the cutter fails now
    void CutterJam(double now);   // the next cut fails
    void CutterFix(double now);   // jam cleared; a failed cut is made now
    void SetDrawer(bool high, double now);
    void PowerOff(double now);  // the buffer and settings are lost
    void PowerOn(double now);
    bool Powered() const { return powered_; }
    const PrinterConfig& Config() const { return config_; }

    // "powered=1 online=1 paper=present ..." for the control reply.
    std::string Describe() const;
    void LogCounters(double now, const char* when);
    const Counters& Count() const { return counters_; }
    // The paper printed so far, as a PNG file (written whole, then renamed
    // into place).
    bool SavePicture(const std::string& path, std::string* error) const;

private:
    // A command as printed, with its own copy of its data.
    struct Printed {
        escpos::Command command;
        std::vector<uint8_t> data;
    };
    enum class Motion { None, Row, Command };

    bool CanPrint() const;
    bool PaperOutNow() const { return paperLeftRows_ == 0; }
    bool NearEndNow() const;
    StatusState State() const;
    void Realtime(const escpos::Item& item, double now);
    void Execute(const escpos::Item& item, double now);
    void ExecuteCommand(const escpos::Command& command, double now);
    void StartMotion(uint64_t rows);
    bool Move(double now);
    void FinishMotion(double now);
    void NoteIgnored(const escpos::Item& item);
    void FlushIgnored(double now);
    void Send(const uint8_t* bytes, size_t size);
    // Logs sensor and online changes and sends ASB when an enabled item
    // changed.
    void Refresh(double now);
    void Consume(size_t bytes);

    PrinterConfig config_;
    EventLog* log_;
    double rowsPerSecond_;
    size_t maxRowBytes_;

    bool powered_ = true;
    bool coverOpen_ = false;
    bool cutterJammed_ = false;
    bool cutterError_ = false;
    bool drawerHigh_ = false;
    bool nearEndForced_ = false;
    uint64_t paperLeftRows_;

    // Receive buffer: bytes from head_ on.
    std::vector<uint8_t> buffer_;
    size_t head_ = 0;
    bool busy_ = false;  // filled up; ready again once a good part is free
    escpos::RealtimeScanner scanner_;
    escpos::StreamReader reader_;

    // The mechanism.
    double freeAt_;
    Motion motion_ = Motion::None;
    uint64_t motionRows_ = 0;   // left of the motion under way
    uint64_t motionTotal_ = 0;
    bool moreWork_ = false;     // Advance stopped before the work ran out
    escpos::Command motionCommand_;
    escpos::Command band_;      // the GS v 0 block being printed
    std::vector<uint8_t> motionRow_;
    bool lastRow_ = false;
    uint64_t cutLengthRows_ = 0;  // paper before the cut being made
    uint64_t sinceCutRows_ = 0;
    bool haveHeld_ = false;       // a cut waiting for the cutter
    escpos::Command held_;
    uint32_t lineSpacing_;
    bool peripheralEnabled_ = true;
    uint8_t asbMask_ = 0;
    AsbBytes lastAsb_{};
    uint64_t ignoredBytes_ = 0;
    size_t ignoredOffset_ = 0;

    std::vector<Printed> paper_;
    std::string output_;
    Counters counters_;

    // What was last logged, to log changes only.
    StatusState logged_;
    bool loggedOnline_ = true;
    std::string loggedReasons_;
    double offlineSince_ = 0;
};

}  // namespace zelp::vprinter

#endif
