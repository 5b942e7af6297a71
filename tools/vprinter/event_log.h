// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The virtual printer's log: one line per event, key=value fields split by
// single spaces, the first two always t= (CLOCK_MONOTONIC seconds) and
// event=, e.g.
//   t=5123.004512 event=cut command=esc_m length_mm=61.0 paper_mm=63.0
// Values never hold spaces, so `grep event=cut | sed 's/.*length_mm=//'`
// and awk read them. Each line is flushed as it is written.
#ifndef ZELP_TOOLS_VPRINTER_EVENT_LOG_H
#define ZELP_TOOLS_VPRINTER_EVENT_LOG_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace zelp::vprinter {

class EventLog {
public:
    EventLog() = default;
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Appends to `path` ("-" for standard error). False when it cannot be
    // opened. Without Open nothing is written.
    bool Open(const std::string& path);

    class Line {
    public:
        Line(EventLog* log, double now, const char* event);
        ~Line();
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;
        Line& Add(const char* key, const std::string& value);
        Line& Add(const char* key, const char* value);
        Line& Add(const char* key, uint64_t value);
        Line& Add(const char* key, int value);
        Line& Add(const char* key, uint32_t value);
        Line& Mm(const char* key, uint64_t dotRows);  // dot rows as millimetres, 0.1 mm
        Line& Seconds(const char* key, double seconds);

    private:
        EventLog* log_;
        std::string text_;
    };

    Line Event(double now, const char* event) { return Line(this, now, event); }

private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
};

// Bytes as upper-case hex without separators: "1400000C".
std::string Hex(const uint8_t* bytes, size_t size);

// CLOCK_MONOTONIC now, in seconds.
double MonotonicNow();

}  // namespace zelp::vprinter

#endif
