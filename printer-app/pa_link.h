// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The Printer Application listens to its printers: status read while idle
// (PAPPL's status callback) and while printing (the job's connection), the
// printer's state as printer-state-reasons (media-empty, media-low,
// cover-open, offline, other), jobs that wait while the printer cannot
// print and end only once it has taken their bytes. The conversation is
// the page core's ZelpPrinterLink; here is its I/O.
//
// Network printers (socket://) are read: the job's connection is PAPPL's,
// written and read without blocking so that a printer that holds the job
// back is still heard. Other devices print as they always did.
#ifndef ZELP_PA_LINK_H
#define ZELP_PA_LINK_H

#include <pappl/pappl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "printer_link.h"
#include "zelp_job.h"

namespace zelp::pa {

class JobLink {
public:
    // The link for a job printing on `device`, or null: the job does not
    // read status (its zelp-read-status is off), or the device is not a
    // network printer. `commands`: the job's bytes are the page core's,
    // whole commands a write (false for a document passed on unchanged,
    // between whose pieces nothing may be put).
    static std::unique_ptr<JobLink> Open(pappl_job_t* job, pappl_device_t* device, bool readStatus, bool commands);
    ~JobLink();
    JobLink(const JobLink&) = delete;
    JobLink& operator=(const JobLink&) = delete;

    ZelpByteSink Sink();
    // Writes bytes outside the page core (a document passed on unchanged).
    bool Write(const unsigned char* bytes, size_t count);
    // After the job's last byte: waits until the printer has taken it all
    // and can print (not once the job is cancelled). False when the
    // connection was lost; the job's message then says so.
    bool Finish();
    bool LostConnection() const { return lost_; }

private:
    JobLink(pappl_job_t* job, pappl_device_t* device, int fd, bool commands, int32_t modelNumber);
    static bool WriteCallback(void* context, const unsigned char* bytes, size_t count);
    static const char* FailureCallback(void* context);

    bool Prepare();
    bool SendAll(const unsigned char* bytes, size_t count);
    bool Pump(double seconds, bool wantWrite);
    bool Drained() const;
    void Report();
    void Lost(int error);

    pappl_job_t* job_;
    pappl_printer_t* printer_;
    pappl_device_t* device_;
    int fd_;
    bool commands_;
    bool begun_ = false;
    ZelpPrinterLink link_;
    bool lost_ = false;
    int lostError_ = 0;
    std::string failure_;
    bool reported_ = false;
    ZelpPrinterState shown_;
    bool waiting_ = false;
    std::string message_;  // the job's message as last set while it waits
};

// pappl_pr_status_cb_t: asks an idle network printer for its state over a
// connection of its own, bounded in time; a printer that does not answer
// is not asked again for a while.
bool StatusCallback(pappl_printer_t* printer);

// Before PAPPL opens the device for a job: while a network printer cannot
// be reached, the job waits pending and the printer shows "offline".
void WaitForPrinter(pappl_job_t* job);

}  // namespace zelp::pa

#endif
