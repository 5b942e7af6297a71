// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer bytes of one job on their way to the front end's sink:
// gathered in a buffer and handed over in large writes, before the call
// that made them returns. A failed write ends the job's output for good.
// Every write ends where a command ends, so a front end may put requests
// of its own (status queries) between two writes.
#ifndef ZELP_CORE_PRINTER_OUTPUT_H
#define ZELP_CORE_PRINTER_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zelp_job.h"

class ZelpOutput {
public:
    ZelpOutput(const ZelpByteSink& sink, ZelpMessageSink messages) : sink_(sink), messages_(messages) {}

    // Put begins a command (or a run of whole ones); PutMore adds the rest
    // of the command begun, which never goes in a write of its own.
    void Put(const unsigned char* bytes, size_t count);
    void PutMore(const unsigned char* bytes, size_t count);
    // Hands everything gathered to the sink; false once a write has failed.
    bool Deliver();
    bool Failed() const { return failed_; }

    // A line for the user through the front end's message sink.
    void Message(const char* line) const;

private:
    // Gathered bytes past this go to the sink before the next command.
    static constexpr size_t kDeliverBytes = 64 * 1024;

    ZelpByteSink sink_;
    ZelpMessageSink messages_;
    std::vector<unsigned char> buffer_;
    bool failed_ = false;
};

#endif
