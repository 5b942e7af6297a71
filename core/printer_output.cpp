// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "printer_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void ZelpOutput::Put(const unsigned char* bytes, size_t count) {
    if (failed_ || count == 0) return;
    if (buffer_.size() >= kDeliverBytes) Deliver();
    PutMore(bytes, count);
}

void ZelpOutput::PutMore(const unsigned char* bytes, size_t count) {
    if (failed_ || count == 0) return;
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

bool ZelpOutput::Deliver() {
    if (failed_) return false;
    if (buffer_.empty()) return true;
    errno = 0;
    if (!sink_.write(sink_.context, buffer_.data(), buffer_.size())) {
        const int error = errno;
        failed_ = true;
        // The GNU strerror_r: jobs may fail in several threads at once.
        char text[256] = {};
        const char* words = sink_.failure != nullptr ? sink_.failure(sink_.context) : nullptr;
        const char* reason = error != 0 ? strerror_r(error, text, sizeof text) : "the printer took no more";
        char line[512];
        if (words != nullptr) {
            snprintf(line, sizeof line, "ERROR: %s\n", words);
        } else {
            snprintf(line, sizeof line, "ERROR: Unable to write print data: %s\n", reason);
        }
        Message(line);
    }
    buffer_.clear();
    return !failed_;
}

void ZelpOutput::Message(const char* line) const {
    if (messages_.message != nullptr) messages_.message(messages_.context, line);
}
