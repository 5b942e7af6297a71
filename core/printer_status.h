// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What an ESC/POS printer says about itself: the bytes it sends back read
// into the state of its paper, cover and mechanism, and that state as the
// conditions both front ends report (CUPS printer-state-reasons, IPP
// printer-state-reasons, words for the shop).
//
// A printer sends two kinds of status unasked by the order of the stream:
//   DLE EOT n (n = 1 to 4), one byte each, bits 1 and 4 on, 0 and 7 off:
//     1 printer:       bit 3 offline
//     2 offline cause: bit 2 cover open, bit 3 paper fed by the button,
//                      bit 5 stopped by paper end, bit 6 error
//     3 error cause:   bit 2 mechanical, bit 3 autocutter, bit 5
//                      unrecoverable, bit 6 auto-recoverable
//     4 roll sensor:   bits 2-3 near end, bits 5-6 paper end
//   automatic status back (GS a), four bytes: the first with bits 0, 1 and
//   7 off and bit 4 on (bit 3 offline, 5 cover open, 6 paper fed), the
//   other three with bit 4 off (2nd: the error bits of DLE EOT 3; 3rd: bits
//   0-1 near end, 2-3 paper end).
// A DLE EOT answer says nothing of which n it answers: printers answer in
// the order the requests reach them, wherever they are in the stream
// (inside raster data too, which their references warn of). So every byte
// sent is scanned as the printer scans it, and each answer is matched to
// the request it answers.
#ifndef ZELP_CORE_PRINTER_STATUS_H
#define ZELP_CORE_PRINTER_STATUS_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// What the printer has said of itself, and whether it can be reached.
struct ZelpPrinterState {
    bool offline = false;      // the printer says it is not printing
    bool coverOpen = false;
    bool paperOut = false;     // roll end, or printing stopped by it
    bool nearEnd = false;      // roll near-end sensor
    bool cutterError = false;
    bool otherError = false;   // mechanical, unrecoverable or auto-recoverable
    bool unreachable = false;  // no connection to the printer at all

    // Whether bytes sent now get printed.
    bool CanPrint() const {
        return !unreachable && !offline && !coverOpen && !paperOut && !cutterError && !otherError;
    }
};

bool operator==(const ZelpPrinterState& a, const ZelpPrinterState& b);
inline bool operator!=(const ZelpPrinterState& a, const ZelpPrinterState& b) { return !(a == b); }

// A condition as the front ends report it. Two conditions may share a
// reason keyword (a cutter and any other fault are both "other").
struct ZelpCondition {
    const char* cupsReason;  // "media-empty-error", for a filter's STATE: line
    const char* ippReason;   // "media-empty", for printer-state-reasons
    const char* words;       // "Out of paper", for the shop
};

// The conditions present, most urgent first.
std::vector<const ZelpCondition*> ZelpConditionsOf(const ZelpPrinterState& state);

// The conditions' words joined ("Out of paper; Cover open"), or empty.
std::string ZelpConditionWords(const ZelpPrinterState& state);

// The reason keywords of the conditions present, each once, in the order
// of the table; `cups` picks the CUPS keywords, else the IPP ones.
std::vector<std::string> ZelpReasonsOf(const ZelpPrinterState& state, bool cups);

// Every reason keyword a printer's state may give, each once.
std::vector<std::string> ZelpAllReasons(bool cups);

// Bytes that ask: DLE EOT 1, 2, 3 and 4, the whole state in four answers.
extern const unsigned char kZelpStatusQuery[12];
// GS a n: automatic status back of the offline state, the errors and the
// roll sensors (n = 0x0E), and GS a 0 (none).
extern const unsigned char kZelpAutoStatusOn[3];
extern const unsigned char kZelpAutoStatusOff[3];

// Reads what the printer sends, against what was sent to it.
class ZelpStatusReader {
public:
    // Every byte sent to the printer, in order, requests and job alike.
    void Sent(const unsigned char* bytes, size_t count);
    // Bytes from the printer, in order.
    void Received(const unsigned char* bytes, size_t count);

    const ZelpPrinterState& State() const { return state_; }
    // DLE EOT answers still to come for what was sent.
    size_t AnswersDue() const { return due_.size(); }
    // Whether any status came at all; whether automatic status back did.
    bool HeardAny() const { return heard_ > 0; }
    // Answers and automatic status back messages read so far.
    uint64_t Heard() const { return heard_; }
    bool HeardAutoStatus() const { return asbCount_ > 0; }
    // Automatic status back messages read so far.
    uint64_t AutoStatusCount() const { return asbCount_; }
    // Bytes that answered nothing known (answers to requests that were
    // never sent, replies to other commands, line noise).
    uint64_t Unexplained() const { return unexplained_; }

private:
    void Answer(unsigned n, unsigned char byte);
    void AutoStatus();
    void Derive();

    // The request scan: 0 nothing, 1 after DLE, 2 after DLE EOT.
    int scan_ = 0;
    std::deque<unsigned char> due_;  // n of each request not answered yet
    unsigned char asb_[4] = {};
    size_t asbFill_ = 0;
    // The bits as last heard, by what they say.
    bool offline_ = false, cover_ = false, feeding_ = false, paperEndStop_ = false, errorAny_ = false;
    bool mechanical_ = false, cutter_ = false, unrecoverable_ = false, autoRecoverable_ = false;
    bool nearEnd_ = false, paperEnd_ = false;
    ZelpPrinterState state_;
    uint64_t heard_ = 0;
    uint64_t asbCount_ = 0;
    uint64_t unexplained_ = 0;
};

#endif
