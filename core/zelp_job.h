// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The page core: one print job, turned into printer bytes page by page and
// line by line as its raster arrives. Front ends (the CUPS filter, the
// Printer Application) read their own input and feed it here; the core
// owns nothing of the process, so jobs may run side by side in threads.
//
//   job = ZelpStartJob(settings, io)          job-start sequence
//   for each page:
//     ZelpStartPage(job, header)              page-start sequence
//     ZelpPageLines(job, lines, count) ...    bands, as their rows are final
//     ZelpEndPage(job)                        page-end sequence
//   ZelpEndJob(job)                           job-end sequence, job freed
//
// Bytes that a call makes reach the printer sink before the call returns.
#ifndef ZELP_FILTER_JOB_H
#define ZELP_FILTER_JOB_H

#include <cups/raster.h>

#include <cstddef>
#include <cstdint>

#include "zelp_settings.h"

// Where the printer bytes go: `write` takes all `count` bytes, or returns
// false with errno set. After a failure the job writes nothing more. Each
// write ends where a command ends. `failure`, when given, may say in words
// what went wrong for the "ERROR: " line (null: the system's error text).
struct ZelpByteSink {
    void* context;
    bool (*write)(void* context, const unsigned char* bytes, size_t count);
    const char* (*failure)(void* context) = nullptr;
};

// Asked where a job may stop (before a page, after a page, at job end);
// true once the job is cancelled. A begun page is always sent in full.
struct ZelpCancelTest {
    void* context;
    bool (*canceled)(void* context);
};

// Lines for the user, newline included: "PAGE: 1 1\n", "ERROR: ...\n".
struct ZelpMessageSink {
    void* context;
    void (*message)(void* context, const char* line);
};

// Bounds that keep a job's resources small; the defaults are the filter's.
struct ZelpJobLimits {
    int64_t pageBufferBytes = int64_t{1} << 31;  // every buffer of a page stays below this
    uint64_t copies = UINT64_MAX;                // copies of a page at most
};

struct ZelpJobIo {
    ZelpByteSink printer;
    ZelpCancelTest cancel;
    ZelpMessageSink messages;
    ZelpJobLimits limits;
};

struct ZelpJob;

// What the front end does with the page whose header it handed over.
enum class ZelpPageAction {
    kPrint,  // the page is begun: hand over its lines, then end it
    kSkip,   // the page is begun but cannot be printed: read past its lines, then end it
    kStop,   // no page: end the job (a header without lines, or a cancelled job)
};

// Starts a job and sends the job-start sequence (nothing when already
// cancelled). Null only when there is no memory for the job.
ZelpJob* ZelpStartJob(const ZELP_Init_Setting& settings, const ZelpJobIo& io);

// Starts a page: decides from the header alone whether it can be printed
// and sends the page-start sequence and the "PAGE:" message.
ZelpPageAction ZelpStartPage(ZelpJob* job, const cups_page_header2_t& header);

// Hands over the page's next `count` lines, cupsBytesPerLine bytes each;
// lines past cupsHeight are ignored. False once the job cannot go on (a
// failed write): stop reading and end the job.
bool ZelpPageLines(ZelpJob* job, const unsigned char* lines, uint32_t count);

// Ends the page: lines that never came print as blank, copies follow, then
// the page-end sequence. False when the job is to stop here (cancelled, or
// a failed write).
bool ZelpEndPage(ZelpJob* job);

struct ZelpJobOutcome {
    int pages;           // pages begun
    bool printerFailed;  // a write to the printer failed ("ERROR: " was sent)
};

// Sends the job-end sequence (only printer initialisation after a
// cancellation) and frees the job.
ZelpJobOutcome ZelpEndJob(ZelpJob* job);

#endif
