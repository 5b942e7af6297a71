// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// One job at a time per printer, and no job aborted while the state is
// saved (see job_guard.cpp).
#ifndef ZELP_PA_JOB_GUARD_H
#define ZELP_PA_JOB_GUARD_H

#include <pappl/pappl.h>

namespace zelp::pa {

// True while `job` has its printer to itself; every job callback runs so
// once the guard is in place.
bool HoldsPrinter(pappl_job_t* job);

// Starts the printer's next pending job, if it has one and is free.
void StartPendingJobs(pappl_printer_t* printer);

// Seconds a raster stream may send nothing before its job is ended.
void SetStreamTimeout(int seconds);

// While one lives, no job is aborted by a failed document hand-over:
// hold one around papplSystemSaveState.
class SaveGate {
public:
    SaveGate();
    ~SaveGate();
    SaveGate(const SaveGate&) = delete;
    SaveGate& operator=(const SaveGate&) = delete;
};

}  // namespace zelp::pa

#endif
