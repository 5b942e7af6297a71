// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "event_log.h"

#include <time.h>

namespace zelp::vprinter {

namespace {

// Printers here have 203 dpi heads: 8 dot rows to the millimetre.
constexpr uint64_t kRowsPerMm = 8;

}  // namespace

EventLog::~EventLog() {
    if (owned_ && file_ != nullptr) std::fclose(file_);
}

bool EventLog::Open(const std::string& path) {
    if (path == "-") {
        file_ = stderr;
        return true;
    }
    file_ = std::fopen(path.c_str(), "ae");
    owned_ = file_ != nullptr;
    return file_ != nullptr;
}

EventLog::Line::Line(EventLog* log, double now, const char* event) : log_(log) {
    char head[64];
    std::snprintf(head, sizeof head, "t=%.6f event=", now);
    text_ = std::string(head) + event;
}

EventLog::Line::~Line() {
    if (log_->file_ == nullptr) return;
    text_ += '\n';
    std::fwrite(text_.data(), 1, text_.size(), log_->file_);
    std::fflush(log_->file_);
}

EventLog::Line& EventLog::Line::Add(const char* key, const std::string& value) {
    text_ += ' ';
    text_ += key;
    text_ += '=';
    for (char c : value) text_ += (c == ' ' || c == '\n') ? '_' : c;
    return *this;
}

EventLog::Line& EventLog::Line::Add(const char* key, const char* value) {
    return Add(key, std::string(value));
}

EventLog::Line& EventLog::Line::Add(const char* key, uint64_t value) {
    return Add(key, std::to_string(value));
}

EventLog::Line& EventLog::Line::Add(const char* key, int value) {
    return Add(key, std::to_string(value));
}

EventLog::Line& EventLog::Line::Add(const char* key, uint32_t value) {
    return Add(key, std::to_string(value));
}

EventLog::Line& EventLog::Line::Mm(const char* key, uint64_t dotRows) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%llu",
                  static_cast<unsigned long long>(dotRows / kRowsPerMm),
                  static_cast<unsigned long long>(dotRows % kRowsPerMm * 10 / kRowsPerMm));
    return Add(key, text);
}

EventLog::Line& EventLog::Line::Seconds(const char* key, double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return Add(key, text);
}

std::string Hex(const uint8_t* bytes, size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

double MonotonicNow() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace zelp::vprinter
