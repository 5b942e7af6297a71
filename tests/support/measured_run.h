// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Running a program to its end with its output streams in unnamed files, so
// that it can be reaped with wait4 and its peak resident memory read, and so
// that it can be started with standard input closed.
#ifndef ZELP_TESTS_SUPPORT_MEASURED_RUN_H
#define ZELP_TESTS_SUPPORT_MEASURED_RUN_H

#include "process_runner.h"

namespace zelp::test {

struct MeasuredResult {
    ProcessResult result;
    long maxRssKiB = 0;  // ru_maxrss of the child: its peak resident memory
};

// How the child's standard input is set up.
enum class StdinMode {
    kFromLaunch,  // `stdinFile` when named, else the bytes of `stdinBytes`
    kClosed,      // descriptor 0 closed before exec
};

// Runs the program to its end (the hang guard of RunProcess applies).
MeasuredResult RunMeasured(const Launch& launch, StdinMode stdinMode = StdinMode::kFromLaunch);

}  // namespace zelp::test

#endif
