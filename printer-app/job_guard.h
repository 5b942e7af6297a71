// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// One job at a time per printer (see job_guard.cpp).
#ifndef ZELP_PA_JOB_GUARD_H
#define ZELP_PA_JOB_GUARD_H

#include <pappl/pappl.h>

namespace zelp::pa {

// True while `job` has its printer to itself; every job callback runs so
// once the guard is in place.
bool HoldsPrinter(pappl_job_t* job);

}  // namespace zelp::pa

#endif
