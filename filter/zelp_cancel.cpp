// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "zelp_cancel.h"

volatile sig_atomic_t Canceled = 0;

void CancelJob(int /*sig*/) {
    Canceled = 1;
}

void RegCancelSig() {
    Canceled = 0;
    signal(SIGTERM, CancelJob);
}
