// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The conversation with a printer that answers, without the I/O: what to
// ask and when, what the answers mean, and whether the job's bytes may go.
// A front end owns the connection, asks this object at each step, and
// tells it what went out and what came back:
//
//   link = ZelpPrinterLink(now, ...)
//   before each piece of the job (at a command boundary):
//     TakeRequests(now, &out)       requests to send first (status queries,
//                                   automatic status back on and off)
//     while !MaySend(now): wait, reading; TakeRequests again now and then
//   Sent(bytes) for every byte written, Received(bytes) for every byte read
//   after the last piece: Finish(now), then send what TakeRequests gives
//   while Finished(now, drained) says kWaiting
//
// The printer is asked for its state before the job's first byte. A printer
// that answers nothing within answerSeconds cannot answer (no back channel,
// or no such command): the job goes on as it would without asking. A
// printer that answers and can print is asked for automatic status back
// (GS a), which it answers from its buffer, in turn: no answer within
// probeSeconds means it is still in the middle of a command (a job whose
// connection was lost left it there), and zero bytes enough to end any
// command the page core sends go first, so the job starts clean. GS a is
// asked for again right after the job's first piece (ESC @, which begins
// it, may reset it). Requests follow between pieces: now and then while
// nothing comes unasked, and every progressBytes of the job, whose answers
// come as the printer takes the job in, so that a printer gone silent shows.
// While it cannot print, the job waits; at the end it waits until the
// printer has taken everything and can print, so that what it reports is
// true until the receipt is out.
#ifndef ZELP_CORE_PRINTER_LINK_H
#define ZELP_CORE_PRINTER_LINK_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "printer_status.h"

struct ZelpLinkTimes {
    double answerSeconds = 1.0;  // a printer silent this long cannot answer
    double probeSeconds = 0.5;   // for the first automatic status back
    double pollSeconds = 1.0;    // between requests while nothing comes unasked
    // Job bytes between requests: well under a second of printing.
    uint64_t progressBytes = 32768;
    // At the end: a printer that answered before and has said nothing for
    // this long, though the front end has nothing left in flight and it
    // can print, has stopped answering (its connection is gone).
    double silenceSeconds = 10.0;
};

// Where the end of a job stands.
enum class ZelpLinkEnd {
    kWaiting,   // the printer has not taken everything yet, or cannot print
    kDone,      // it has taken everything and can print
    kNoAnswer,  // it stopped answering before it had taken everything
};

enum class ZelpLinkPhase {
    kAsking,       // the first answers are awaited
    kAnswering,    // the printer answers: its state is known
    kSilent,       // no answer came: the job goes on as it would unasked
    kUnreachable,  // the way to the printer is not connected yet
};

class ZelpPrinterLink {
public:
    // `commands`: the job's pieces are whole commands (false for a stream
    // passed on unchanged: nothing is asked inside it, nor is it probed).
    // `resyncBytes`: the zero bytes that end any command the printer may
    // be in the middle of (ZelpResyncBytes).
    ZelpPrinterLink(double now, bool commands, size_t resyncBytes, const ZelpLinkTimes& times = {});

    // Requests to send now, ahead of any further job byte; the front end
    // calls it only where a command may begin (never inside one).
    void TakeRequests(double now, std::vector<unsigned char>* out);
    // Whether job bytes may go now.
    bool MaySend(double now);
    // Every byte written to the printer, requests included, in order.
    void Sent(const unsigned char* bytes, size_t count);
    // Every byte the printer sent.
    void Received(const unsigned char* bytes, size_t count, double now);
    // Whether the way to the printer is connected (a backend still
    // connecting is not); unknown counts as connected.
    void SetConnected(bool connected, double now);

    // After the job's last byte: the closing requests follow (`ask` false:
    // none, for a stream that may end inside a command).
    void Finish(double now, bool ask = true);
    // Whether the job is over for the printer: it has taken every byte (its
    // answer to the last request came; without one, `drained`: the front
    // end has nothing left in flight) and can print.
    ZelpLinkEnd Finished(double now, bool drained);

    ZelpLinkPhase Phase() const { return phase_; }
    // What the printer last said, settled (not half-way through a set of
    // answers), with `unreachable` while the way to it is not connected.
    ZelpPrinterState State() const;
    const ZelpStatusReader& Reader() const { return reader_; }

private:
    void Update(double now);
    void Query(double now, std::vector<unsigned char>* out);
    void Append(const unsigned char* bytes, size_t count, std::vector<unsigned char>* out);

    ZelpLinkTimes times_;
    bool commands_;
    size_t resync_;
    ZelpStatusReader reader_;
    ZelpLinkPhase phase_ = ZelpLinkPhase::kAsking;
    ZelpPrinterState settled_;
    uint64_t asbSettled_ = 0;
    double deadline_;
    double lastQuery_ = 0;
    bool connected_ = true;
    bool queried_ = false;
    bool asbAsked_ = false;
    bool finishing_ = false;
    bool finishAsked_ = false;
    bool finishAnswer_ = false;  // an answer to the closing requests is due
    double drainedSince_ = -1;
    double heardAt_ = 0;
    uint64_t heard_ = 0;
    uint64_t sent_ = 0;
    uint64_t requestBytes_ = 0;
    uint64_t polledAt_ = 0;  // sent_ at the last request
    // The probe: GS a before the job, answered from the printer's buffer.
    enum class Probe { kNotYet, kAsked, kDone } probe_ = Probe::kNotYet;
    double probedAt_ = 0;
    uint64_t probeAsb_ = 0;
};

// Zero bytes that complete any command the page core may have left
// unfinished on a printer of this model: a whole raster block.
size_t ZelpResyncBytes(int32_t modelNumber);

#endif
