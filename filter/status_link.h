// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The filter's way to a printer whose answers the backend passes back:
// printer bytes on standard output, written without blocking; the
// printer's answers on the back channel (fd 3); questions to the backend on
// the side channel (fd 4). A write that waits for the printer never stops
// the filter from reading what the printer says. The conversation itself
// (what to ask, what the answers mean, when to wait) is the page core's
// ZelpPrinterLink; this is its I/O, and the lines that tell CUPS:
// "STATE: +media-empty-error" and the like, and an "INFO: " line in words.
#ifndef ZELP_FILTER_STATUS_LINK_H
#define ZELP_FILTER_STATUS_LINK_H

#include <cstddef>
#include <set>
#include <string>

#include "printer_link.h"
#include "zelp_job.h"

class StatusLink {
public:
    StatusLink();
    StatusLink(const StatusLink&) = delete;
    StatusLink& operator=(const StatusLink&) = delete;

    // Asks the backend whether the printer's answers come back; false
    // (and nothing changed) when they do not. `modelNumber`: the printer's
    // model, whose commands a printer may be left in the middle of.
    bool Open(int32_t modelNumber);
    // The job's byte sink: each write is preceded by the link's requests
    // and waits while the printer cannot print (not once cancelled).
    ZelpByteSink Sink();
    // After the job's last byte: waits until the printer has taken it all
    // and can print (not once cancelled, nor after the connection is lost).
    void Finish();
    // Whether the connection to the printer was lost ("ERROR: " was sent).
    bool LostConnection() const { return lost_; }

private:
    static bool WriteCallback(void* context, const unsigned char* bytes, size_t count);
    static const char* FailureCallback(void* context);

    bool Write(const unsigned char* bytes, size_t count);
    // Sends the link's requests, then waits while the printer cannot print.
    bool Prepare();
    bool SendAll(const unsigned char* bytes, size_t count);
    // One round of waiting on the printer, the back channel and the side
    // channel; false once the connection is lost.
    bool Pump(double seconds, bool wantWrite);
    void AskConnected();
    void Report();
    void Lost(int error);

    ZelpPrinterLink link_;
    bool backOpen_ = true;
    bool askedConnected_ = false;
    bool waitConnected_ = false;
    bool lost_ = false;
    int lostError_ = 0;
    std::string failure_;
    // The reasons this filter shows, and the words of the last INFO line.
    std::set<std::string> shown_;
    std::string words_;
};

#endif
