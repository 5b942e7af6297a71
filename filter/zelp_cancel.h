// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Job cancellation: the scheduler sends SIGTERM; the handler only sets a flag.
#ifndef ZELP_FILTER_CANCEL_H
#define ZELP_FILTER_CANCEL_H

#include <csignal>

extern volatile sig_atomic_t Canceled;

void CancelJob(int sig);
void RegCancelSig();

#endif
